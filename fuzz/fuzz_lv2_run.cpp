// The LV2 plug-in's run() with any control port values (any bit pattern) and any
// atom sequences (any sizes, types, frames and MIDI bytes) between blocks.

#include "fuzz/fuzz_support.h"
#include "plugins/lv2/lv2_ports.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <string>
#include <vector>

extern "C" const LV2_Descriptor* lv2_descriptor(uint32_t index);

namespace {

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    static std::vector<std::string> uris;
    for (size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

constexpr uint32_t kMaxFrames = 2048;
constexpr size_t kSequenceBytes = 2048;

// A sequence of up to eight events, each of any frame, type and size, with any bytes;
// the sequence's own size may cut the last event short.
void fillSequence(fuzz::Bytes& in, uint8_t* buffer, LV2_URID sequenceType, LV2_URID midiType) {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(buffer);
    sequence->atom.type = sequenceType;
    sequence->body.unit = in.u8() < 240 ? 0 : in.u32();
    sequence->body.pad = 0;
    uint32_t used = sizeof(LV2_Atom_Sequence_Body);
    const int events = in.u8() % 9;
    for (int e = 0; e < events; ++e) {
        const uint32_t payload = in.u8() % 16;
        const uint32_t step = sizeof(LV2_Atom_Event) + ((payload + 7u) & ~7u);
        if (sizeof(LV2_Atom) + used + step > kSequenceBytes) break;
        auto* event = reinterpret_cast<LV2_Atom_Event*>(buffer + sizeof(LV2_Atom) + used);
        event->time.frames = in.u8() < 200 ? int64_t(in.u16() % (kMaxFrames + 64)) - 32
                                           : int64_t(in.u32()) << (in.u8() % 32);
        event->body.type = in.u8() < 220 ? midiType : in.u32();
        // Mostly the size written, sometimes a size that claims more than is there.
        event->body.size = in.u8() < 240 ? payload : in.u32();
        auto* bytes = reinterpret_cast<uint8_t*>(event + 1);
        for (uint32_t b = 0; b < payload; ++b)
            bytes[b] = b == 0 && in.u8() < 200 ? uint8_t(0x80 | (in.u8() & 0x7F)) : in.u8();
        used += step;
    }
    const uint32_t trim = in.u8() < 240 ? 0 : in.u8() % 24;
    sequence->atom.size = used > trim ? used - trim : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    random_source::seed = 1; // a crash reproduces from its input alone

    LV2_URID_Map map{nullptr, mapUri};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    const LV2_Descriptor* descriptor = lv2_descriptor(0);
    const double rates[] = {44100.0, 48000.0, 22050.0, 96000.0};
    LV2_Handle plugin = descriptor->instantiate(descriptor, rates[in.u8() % 4], "", features);
    if (!plugin) std::abort();

    float controls[kNumParameters];
    float applied[kNumParameters]; // the last finite value of each port
    for (int i = 0; i < kNumParameters; ++i) {
        controls[i] = applied[i] = kParameterTable[i].defaultValue;
        descriptor->connect_port(plugin, i, &controls[i]);
    }
    alignas(8) static uint8_t sequence[kSequenceBytes];
    static float outputs[2][kMaxFrames];
    descriptor->connect_port(plugin, lv2_ports::kMidiIn, sequence);
    descriptor->connect_port(plugin, lv2_ports::kLeftOut, outputs[0]);
    descriptor->connect_port(plugin, lv2_ports::kRightOut, outputs[1]);
    descriptor->activate(plugin);
    const LV2_URID sequenceType = mapUri(nullptr, LV2_ATOM__Sequence);
    const LV2_URID midiType = mapUri(nullptr, LV2_MIDI__MidiEvent);

    for (int block = 0; block < 64 && !in.empty(); ++block) {
        const int changes = in.u8() % 6;
        for (int c = 0; c < changes; ++c) {
            const int index = in.u8() % kNumParameters;
            controls[index] = in.u8() < 128 ? in.u8() / 255.0f : in.anyFloat();
        }
        fillSequence(in, sequence, sequenceType, midiType);
        const uint32_t frames = in.u16() % (kMaxFrames + 1);

        // Known and reported: a finite value far outside 0..1 can overflow the engine's
        // single-precision factors, so the output need not be finite while one is set.
        bool finite = true;
        for (int i = 0; i < kNumParameters; ++i) {
            if (std::isfinite(controls[i])) applied[i] = controls[i];
            if (std::fabs(applied[i]) > 1e6f) finite = false;
        }
        fuzz::markUnwritten(outputs);
        descriptor->run(plugin, frames);
        fuzz::checkWritten(outputs, frames, finite);
    }
    descriptor->deactivate(plugin);
    descriptor->cleanup(plugin);
    return 0;
}
