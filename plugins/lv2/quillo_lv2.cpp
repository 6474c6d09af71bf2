// Quillo as an LV2 instrument: the 36 parameters as control ports, MIDI in as an atom
// sequence, two audio outputs.
//
// run() does what a VST 2 host's block does: parameter changes first (the ports that
// moved, in index order), then the block's MIDI events each with its frame, then the
// whole block renders. Blocks are never split at events, so both formats give the
// same samples. Nothing in run() allocates, locks or blocks.

#include "engine/engine_util.h"
#include "plugins/lv2/lv2_ports.h"
#include "synth/synth_core.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

struct QuilloLv2 {
    // The instrument is about half a megabyte: it gets its own allocation.
    SynthCore core;
    const float* controls[kNumParameters] = {};
    const LV2_Atom_Sequence* midiIn = nullptr;
    float* left = nullptr;
    float* right = nullptr;
    // The bits of the value each control port had when it was last applied.
    uint32_t applied[kNumParameters];
    LV2_URID midiEvent = 0;
    LV2_URID frameTime = 0;
};

const LV2_URID_Map* findMap(const LV2_Feature* const* features) {
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            return static_cast<const LV2_URID_Map*>(features[i]->data);
    return nullptr;
}

// Built at 44100 Hz with program 0 and then set to the host's rate, as a VST 2 host
// creates the plug-in and then tells it the rate, so that values derived at creation
// come out the same in both formats.
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    const LV2_URID_Map* map = findMap(features);
    if (!map) return nullptr;
    QuilloLv2* self = nullptr;
    try {
        self = new QuilloLv2;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    self->core.setSampleRate(static_cast<float>(rate));
    for (int32_t i = 0; i < kNumParameters; ++i)
        self->applied[i] = engine::floatBits(self->core.getParameter(i));
    self->midiEvent = map->map(map->handle, LV2_MIDI__MidiEvent);
    self->frameTime = map->map(map->handle, LV2_ATOM__frameTime);
    return self;
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) {
    auto* self = static_cast<QuilloLv2*>(instance);
    if (port < lv2_ports::kMidiIn)
        self->controls[port] = static_cast<const float*>(data);
    else if (port == lv2_ports::kMidiIn)
        self->midiIn = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port == lv2_ports::kLeftOut)
        self->left = static_cast<float*>(data);
    else if (port == lv2_ports::kRightOut)
        self->right = static_cast<float*>(data);
}

// A VST 2 host resumes and suspends; Quillo's resume only asks the host for MIDI,
// which an LV2 host sends through the port, and suspend does nothing.
void activate(LV2_Handle) {}
void deactivate(LV2_Handle) {}

void applyControls(QuilloLv2& self) {
    for (int32_t i = 0; i < kNumParameters; ++i) {
        if (!self.controls[i]) continue;
        const float value = *self.controls[i];
        const uint32_t bits = engine::floatBits(value);
        // A non-finite value is not applied, as the instrument ignores it.
        if (bits == self.applied[i] || !std::isfinite(value)) continue;
        self.applied[i] = bits;
        self.core.setParameter(i, value);
    }
}

// Each MIDI event of the sequence in order, at its frame. Events are read only as far
// as the sequence's own size reaches.
void receiveEvents(QuilloLv2& self) {
    const LV2_Atom_Sequence* sequence = self.midiIn;
    if (!sequence || sequence->atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
    const bool framed = sequence->body.unit == 0 || sequence->body.unit == self.frameTime;
    const auto* body = reinterpret_cast<const uint8_t*>(&sequence->body);
    const uint32_t end = sequence->atom.size;
    uint32_t offset = sizeof(LV2_Atom_Sequence_Body);
    while (end - offset >= sizeof(LV2_Atom_Event)) {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(body + offset);
        const uint32_t size = event->body.size;
        if (size > end - offset - sizeof(LV2_Atom_Event)) break;
        if (event->body.type == self.midiEvent && size > 0) {
            uint8_t bytes[3] = {0, 0, 0};
            std::memcpy(bytes, event + 1, size < 3 ? size : 3);
            int64_t frame = framed ? event->time.frames : 0;
            if (frame < INT32_MIN) frame = INT32_MIN;
            if (frame > INT32_MAX) frame = INT32_MAX;
            self.core.receiveMidi(bytes, static_cast<int32_t>(frame));
        }
        // Events are padded to 8 bytes.
        const uint64_t next = offset + sizeof(LV2_Atom_Event) + ((uint64_t(size) + 7u) & ~7ull);
        if (next >= end) break;
        offset = static_cast<uint32_t>(next);
    }
}

void run(LV2_Handle instance, uint32_t frames) {
    auto& self = *static_cast<QuilloLv2*>(instance);
    applyControls(self);
    receiveEvents(self);
    if (!self.left || !self.right) return;
    self.core.render(self.left, self.right, static_cast<int32_t>(frames));
}

void cleanup(LV2_Handle instance) {
    delete static_cast<QuilloLv2*>(instance);
}

const void* extensionData(const char*) {
    return nullptr;
}

const LV2_Descriptor kDescriptor = {lv2_ports::kUri, instantiate, connectPort,  activate, run,
                                    deactivate,      cleanup,     extensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor*
lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
