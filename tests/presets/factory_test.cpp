// The factory bank: every preset sounds at a sensible level, no two sound alike, and
// a preset sounds the same to the bit however it reaches the instrument: as values,
// as the .fxp file through the VST 2 plug-in, or as the LV2 preset a host loads.

#include "lv2_leg.h"

#include "hosting/midi_event_list.h"
#include "hosting/plugin_instance.h"
#include "presets/audition.h"
#include "presets/factory_files.h"
#include "presets/sound_measures.h"
#include "synth/identity.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/presets/presets.h>

#include <cmath>
#include <map>
#include <string>
#include <thread>

namespace {

constexpr double kRate = 44100.0;

// A spectral and envelope distance: the mean difference in dB of the third-octave
// balance plus that of the 10 ms level envelope, over the same probe (a staccato note,
// a long note and its release). Two presets closer than this would sound like one
// preset to a musician stepping through the bank.
constexpr double kNearDuplicate = 6.0;

std::vector<float> audition(const FactoryPreset& preset) {
    return renderPhrase(preset.values, auditionPhrase(preset.audition, kRate), kRate);
}

// The VST 2 plug-in, loaded as a host loads it, fed the program file as a host loads
// one: every value through setParameter, the name through effSetProgramName.
std::vector<float> renderThroughVst2(const vst2_files::ProgramFile& file, const Phrase& phrase) {
    std::vector<float> out;
    std::thread([&] {
        using namespace quillo::hosting;
        auto plugin =
            PluginInstance::create(PluginLibrary::open(QUILLO_VST2_BINARY), HostSettings{});
        plugin->open();
        plugin->setSampleRate(kRate);
        plugin->setBlockSize(512);
        ASSERT_EQ(plugin->uniqueId(), file.pluginId);
        ASSERT_EQ(plugin->numParams(), int32_t(file.values.size()));
        for (int32_t i = 0; i < plugin->numParams(); ++i)
            plugin->setParam(i, file.values[size_t(i)]);
        std::array<char, 28> name = file.nameField;
        plugin->dispatch(effSetProgramName, 0, 0, name.data());
        plugin->resume();
        MidiEventList events(16);
        PhrasePlayer player;
        player.midi = [&](const uint8_t* bytes) { events.add(0, bytes, 3); };
        player.render = [&](float* left, float* right, int32_t frames) {
            plugin->processEvents(events.vstEvents());
            events.clear();
            float* outputs[] = {left, right};
            plugin->processReplacing(nullptr, outputs, frames);
        };
        out = playPhrase(phrase, kRate, 512, 8.0, player);
        plugin->suspend();
        plugin->close();
    }).join();
    return out;
}

std::vector<float> renderThroughLv2(const float* ports, const Phrase& phrase) {
    Lv2Leg leg(kRate, ports);
    PhrasePlayer player;
    player.midi = [&](const uint8_t* bytes) { leg.midi(bytes, 0); };
    player.render = [&](float* left, float* right, int32_t frames) {
        leg.run(left, right, uint32_t(frames));
    };
    return playPhrase(phrase, kRate, 512, 8.0, player);
}

// The bundle's presets as lilv gives them to a host: label -> port values.
std::map<std::string, std::vector<float>> lv2Presets() {
    std::map<std::string, std::vector<float>> presets;
    LilvWorld* world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, QUILLO_LV2_BUNDLE);
    lilv_world_load_bundle(world, bundle);
    LilvNode* uri = lilv_new_uri(world, lv2_ports::kUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    EXPECT_NE(plugin, nullptr);
    UridMap map;
    auto* mapFeature = static_cast<LV2_URID_Map*>(map.feature()->data);
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNodes* related = plugin ? lilv_plugin_get_related(plugin, presetClass) : nullptr;
    LILV_FOREACH(nodes, i, related) {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(world, preset);
        LilvState* state = lilv_state_new_from_world(world, mapFeature, preset);
        EXPECT_NE(state, nullptr) << lilv_node_as_uri(preset);
        if (!state) continue;
        struct Ports {
            const LilvPlugin* plugin;
            LilvWorld* world;
            std::vector<float> values = std::vector<float>(kNumParameters, -1.0f);
        } ports{plugin, world};
        lilv_state_restore(
            state, nullptr,
            [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
                auto& p = *static_cast<Ports*>(data);
                LilvNode* node = lilv_new_string(p.world, symbol);
                const LilvPort* port = lilv_plugin_get_port_by_symbol(p.plugin, node);
                lilv_node_free(node);
                ASSERT_NE(port, nullptr) << symbol;
                ASSERT_EQ(size, sizeof(float));
                p.values.at(lilv_port_get_index(p.plugin, port)) =
                    *static_cast<const float*>(value);
            },
            &ports, 0, nullptr);
        presets[lilv_state_get_label(state)] = ports.values;
        lilv_state_free(state);
    }
    lilv_nodes_free(related);
    lilv_node_free(presetClass);
    lilv_node_free(uri);
    lilv_node_free(bundle);
    lilv_world_free(world);
    return presets;
}

} // namespace

TEST(FactoryBank, EveryPresetPlaysItsAuditionBetweenMinus18AndMinus1Dbfs) {
    ASSERT_GE(kNumFactoryPresets, 24);
    for (int p = 0; p < kNumFactoryPresets; ++p) {
        const FactoryPreset& preset = kFactoryPresets[p];
        const std::vector<float> samples = audition(preset);
        ASSERT_FALSE(samples.empty());
        for (float s : samples)
            ASSERT_TRUE(std::isfinite(s)) << preset.name;
        const double peak = peakDb(samples);
        EXPECT_GE(peak, -18.0) << preset.name;
        EXPECT_LE(peak, -1.0) << preset.name;
        // Every phrase ends in silence well before its tail runs out.
        EXPECT_EQ(samples.back(), 0.0f) << preset.name;
    }
}

TEST(FactoryBank, NoTwoPresetsSoundAlike) {
    struct Measures {
        std::vector<double> spectrum, envelope;
    };
    std::vector<Measures> measures;
    for (int p = 0; p < kNumFactoryPresets; ++p) {
        const std::vector<float> probe =
            renderPhrase(kFactoryPresets[p].values, probePhrase(kRate), kRate);
        measures.push_back({bandSpectrum(probe, kRate), levelEnvelope(probe, kRate)});
    }
    for (int a = 0; a < kNumFactoryPresets; ++a) {
        for (int b = a + 1; b < kNumFactoryPresets; ++b) {
            const double distance =
                meanDifference(measures[a].spectrum, measures[b].spectrum, -80.0) +
                meanDifference(measures[a].envelope, measures[b].envelope, -60.0);
            printf("%6.2f %6.2f %s | %s\n",
                   meanDifference(measures[a].spectrum, measures[b].spectrum, -80.0),
                   meanDifference(measures[a].envelope, measures[b].envelope, -60.0),
                   kFactoryPresets[a].name, kFactoryPresets[b].name);
            EXPECT_GE(distance, kNearDuplicate)
                << kFactoryPresets[a].name << " and " << kFactoryPresets[b].name;
        }
    }
}

// Every preset through the values, its .fxp and its LV2 preset: the same bytes.
TEST(FactoryBank, EachPresetSoundsTheSameThroughValuesFxpAndLv2) {
    const std::map<std::string, std::vector<float>> lv2 = lv2Presets();
    EXPECT_EQ(lv2.size(), size_t(kNumFactoryPresets));
    const vst2_files::BankFile bank =
        vst2_files::decodeBank(vst2_files::readFile(QUILLO_PRESET_DIR "/quillo-factory.fxb"));
    ASSERT_EQ(bank.programs.size(), 32u);
    for (int p = 0; p < kNumFactoryPresets; ++p) {
        const FactoryPreset& preset = kFactoryPresets[p];
        SCOPED_TRACE(preset.name);
        const vst2_files::ProgramFile file = vst2_files::decodeProgram(vst2_files::readFile(
            std::string(QUILLO_PRESET_DIR "/") + factoryProgramFileName(preset)));
        EXPECT_EQ(file.name(), preset.name);
        EXPECT_EQ(file.pluginId, identity::kVst2UniqueId);
        EXPECT_EQ(vst2_files::encode(bank.programs[size_t(p)]), vst2_files::encode(file));
        ASSERT_EQ(lv2.count(preset.name), 1u);

        const Phrase phrase = auditionPhrase(preset.audition, kRate);
        const std::vector<float> values = renderPhrase(preset.values, phrase, kRate);
        const std::vector<float> fxp = renderThroughVst2(file, phrase);
        const std::vector<float> ports = renderThroughLv2(lv2.at(preset.name).data(), phrase);
        ASSERT_EQ(fxp.size(), values.size());
        ASSERT_EQ(ports.size(), values.size());
        EXPECT_EQ(std::memcmp(fxp.data(), values.data(), values.size() * 4), 0);
        EXPECT_EQ(std::memcmp(ports.data(), values.data(), values.size() * 4), 0);
    }
    for (size_t p = size_t(kNumFactoryPresets); p < bank.programs.size(); ++p)
        EXPECT_EQ(bank.programs[p].name(), "Init");
}
