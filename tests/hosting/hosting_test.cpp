// The hosting library against the probe plug-in: loading and its failures, the
// host's answers, the lifecycle, and the event list.
#include "hosting/midi_event_list.h"
#include "hosting/user_error.h"
#include "tests/hosting/probe.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace quillo::hosting;
using quillo::UserError;

namespace {

std::string loadError(const std::string& path) {
    try {
        PluginInstance::create(PluginLibrary::open(path));
    } catch (const UserError& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(Hosting, RefusesLibrariesThatAreNotVst2PlugIns) {
    EXPECT_EQ(loadError("/nonexistent/plugin.so"), "no such plug-in file");
    const std::string text = testing::TempDir() + "not_a_library.so";
    std::ofstream(text) << "not a library\n";
    EXPECT_NE(loadError(text).find("cannot load as a plug-in library"), std::string::npos);
    EXPECT_EQ(loadError(probePath("no_entry")),
              "not a VST 2 plug-in: exports neither VSTPluginMain nor main");
    EXPECT_EQ(loadError(probePath("null_entry")),
              "not a VST 2 plug-in: its entry point returned no effect");
    EXPECT_EQ(loadError(probePath("bad_magic")),
              "not a VST 2 plug-in: the effect record has the wrong magic");

    EXPECT_TRUE(loadProbe("synth").plugin->isInstrument());
    EXPECT_FALSE(loadProbe("effect").plugin->isInstrument());
}

TEST(Hosting, AnswersTheHostCallsOfEachInstanceAndRunsTheLifecycleInOrder) {
    HostSettings settings;
    settings.sampleRate = 48000;
    settings.blockSize = 256;
    settings.product = "probe host";
    LoadedProbe probe = loadProbe("synth", settings);
    // A second instance with other settings must not disturb the first.
    LoadedProbe other = loadProbe("mono");

    const ProbeLog& log = *probe.log;
    EXPECT_TRUE(log.versionAskedWithNullEffect);
    EXPECT_EQ(log.versionAnswer, 2400);

    PluginInstance& plugin = *probe.plugin;
    plugin.open();
    plugin.setSampleRate(48000);
    plugin.setBlockSize(256);
    plugin.resume();
    EXPECT_EQ(log.sampleRateAnswer, 48000);
    EXPECT_EQ(log.blockSizeAnswer, 256);
    EXPECT_EQ(log.processLevelAnswer, kVstProcessLevelOffline);
    EXPECT_EQ(log.wantMidiAnswer, 1);
    EXPECT_TRUE(plugin.host().midiWanted());
    EXPECT_EQ(log.canDoSendVstEvents, 1);
    EXPECT_EQ(log.canDoSendVstMidiEvent, 1);
    EXPECT_EQ(log.canDoReceiveVstEvents, 1);
    EXPECT_EQ(log.canDoUnknown, 0);
    EXPECT_EQ(log.vendor, "Mirefold");
    EXPECT_EQ(log.product, "probe host");
    EXPECT_EQ(log.vendorVersionAnswer, 1000);
    EXPECT_EQ(plugin.host().answer(plugin.effect(), 9999, 0, 0, nullptr, 0.0f), 0);

    plugin.close(); // suspends first
    EXPECT_EQ(log.calls,
              (std::vector<int32_t>{effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged,
                                    effStartProcess, effStopProcess, effMainsChanged, effClose}));
    EXPECT_EQ(plugin.effect(), nullptr);
}

TEST(Hosting, FindsParametersByNameWithoutRegardToCase) {
    LoadedProbe probe = loadProbe();
    EXPECT_EQ(probe.plugin->findParam("level"), 0);
    EXPECT_EQ(probe.plugin->findParam("RING"), 1);
    EXPECT_EQ(probe.plugin->findParam("Rin"), -1);
}

TEST(Hosting, EventListFillsAVstEventsUpToItsCapacity) {
    MidiEventList list(3);
    const uint8_t noteOn[3] = {0x90, 60, 100};
    const uint8_t program[2] = {0xC0, 7};
    EXPECT_TRUE(list.add(5, noteOn, 3));
    EXPECT_TRUE(list.add(6, program, 2));
    EXPECT_TRUE(list.add(7, noteOn, 3));
    EXPECT_TRUE(list.full());
    EXPECT_FALSE(list.add(8, noteOn, 3));

    VstEvents* events = list.vstEvents();
    ASSERT_EQ(events->numEvents, 3);
    VstEvent* const* slots = events->events;
    for (int i = 0; i < 3; ++i) {
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(slots[i]);
        EXPECT_EQ(midi->type, kVstMidiType);
        EXPECT_EQ(midi->byteSize, static_cast<int32_t>(sizeof(VstMidiEvent)));
        EXPECT_EQ(midi->deltaFrames, 5 + i);
    }
    const auto* second = reinterpret_cast<const VstMidiEvent*>(slots[1]);
    EXPECT_EQ(static_cast<uint8_t>(second->midiData[0]), 0xC0);
    EXPECT_EQ(second->midiData[1], 7);
    EXPECT_EQ(second->midiData[2], 0);

    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(events->numEvents, 0);
}
