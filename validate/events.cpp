#include "validate/events.h"

#include <algorithm>

namespace quillo::validate {
namespace {

// A GM System On message: a common dump that every synth sees now and then.
const char kSysExDump[] = {'\xF0', '\x7E', '\x7F', '\x09', '\x01', '\xF7'};

int32_t uniform(std::mt19937_64& rng, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(rng);
}

} // namespace

ScriptEvent midiEvent(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2) {
    ScriptEvent event;
    event.deltaFrames = deltaFrames;
    event.bytes = {status, data1, data2};
    return event;
}

EventList::EventList(size_t capacity)
    : capacity_(capacity), header_(2 + std::max<size_t>(capacity, 2), nullptr), midi_(capacity),
      sysex_(capacity), other_(capacity) {}

void EventList::clear() {
    list()->numEvents = 0;
}

bool EventList::assign(const std::vector<ScriptEvent>& events) {
    const size_t count = std::min(events.size(), capacity_);
    for (size_t i = 0; i < count; ++i) {
        const ScriptEvent& source = events[i];
        switch (source.kind) {
        case ScriptEvent::Kind::Midi: {
            VstMidiEvent& event = midi_[i];
            event = VstMidiEvent{};
            event.type = kVstMidiType;
            event.byteSize = sizeof(VstMidiEvent);
            event.deltaFrames = source.deltaFrames;
            for (size_t b = 0; b < 3; ++b)
                event.midiData[b] = static_cast<char>(source.bytes[b]);
            slots()[i] = reinterpret_cast<VstEvent*>(&event);
            break;
        }
        case ScriptEvent::Kind::SysEx: {
            VstMidiSysexEvent& event = sysex_[i];
            event = VstMidiSysexEvent{};
            event.type = kVstSysExType;
            event.byteSize = sizeof(VstMidiSysexEvent);
            event.deltaFrames = source.deltaFrames;
            event.dumpBytes = sizeof kSysExDump;
            event.sysexDump = const_cast<char*>(kSysExDump);
            slots()[i] = reinterpret_cast<VstEvent*>(&event);
            break;
        }
        case ScriptEvent::Kind::Other: {
            VstEvent& event = other_[i];
            event = VstEvent{};
            event.type = source.type;
            event.byteSize = sizeof(VstEvent);
            event.deltaFrames = source.deltaFrames;
            slots()[i] = &event;
            break;
        }
        }
    }
    list()->numEvents = static_cast<int32_t>(count);
    return count == events.size();
}

ScriptEvent RandomMidi::noteOn(uint8_t channel, uint8_t key, uint8_t velocity) {
    uint16_t& count = held_[channel * 128 + key];
    if (velocity == 0) {
        if (count > 0) --count;
    } else {
        ++count;
    }
    return midiEvent(0, static_cast<uint8_t>(0x90 | channel), key, velocity);
}

ScriptEvent RandomMidi::noteOff(uint8_t channel, uint8_t key) {
    uint16_t& count = held_[channel * 128 + key];
    if (count > 0) --count;
    return midiEvent(0, static_cast<uint8_t>(0x80 | channel), key,
                     static_cast<uint8_t>(uniform(rng_, 0, 127)));
}

ScriptEvent RandomMidi::randomEvent() {
    const auto channel = static_cast<uint8_t>(uniform(rng_, 0, 15));
    const auto data = [&] { return static_cast<uint8_t>(uniform(rng_, 0, 127)); };
    const int32_t roll = uniform(rng_, 0, 99);

    if (roll < 36) {
        // Mostly playable keys, sometimes the extremes; now and then velocity 0.
        const auto key = static_cast<uint8_t>(roll < 30 ? uniform(rng_, 28, 100) : data());
        const auto velocity =
            static_cast<uint8_t>(uniform(rng_, 0, 15) == 0 ? 0 : uniform(rng_, 1, 127));
        return noteOn(channel, key, velocity);
    }
    if (roll < 60) {
        // Usually a key that is down, so notes end as well as start.
        std::vector<uint16_t> down;
        for (uint16_t i = 0; i < held_.size(); ++i)
            if (held_[i] > 0) down.push_back(i);
        if (!down.empty() && roll < 56) {
            const uint16_t slot = down[uniform(rng_, 0, static_cast<int32_t>(down.size()) - 1)];
            return noteOff(static_cast<uint8_t>(slot / 128), static_cast<uint8_t>(slot % 128));
        }
        return noteOff(channel, data());
    }
    if (roll < 76) {
        static const uint8_t special[] = {1, 7, 10, 11, 64, 120, 121, 123, 126, 127};
        const uint8_t controller =
            uniform(rng_, 0, 2) == 0 ? data() : special[uniform(rng_, 0, sizeof special - 1)];
        return midiEvent(0, static_cast<uint8_t>(0xB0 | channel), controller, data());
    }
    if (roll < 83) return midiEvent(0, static_cast<uint8_t>(0xE0 | channel), data(), data());
    if (roll < 86) return midiEvent(0, static_cast<uint8_t>(0xD0 | channel), data(), 0);
    if (roll < 89) return midiEvent(0, static_cast<uint8_t>(0xA0 | channel), data(), data());
    if (roll < 91) return midiEvent(0, static_cast<uint8_t>(0xC0 | channel), data(), 0);
    if (roll < 94) {
        static const uint8_t system[] = {0xF1, 0xF2, 0xF3, 0xF6, 0xF8,
                                         0xFA, 0xFB, 0xFC, 0xFE, 0xFF};
        return midiEvent(0, system[uniform(rng_, 0, sizeof system - 1)], data(), data());
    }
    ScriptEvent event;
    if (roll < 97) {
        event.kind = ScriptEvent::Kind::SysEx;
    } else {
        // Audio, video, parameter and trigger events of old hosts, and unknown types.
        static const int32_t types[] = {2, 3, 4, 5, 7, 0, -1};
        event.kind = ScriptEvent::Kind::Other;
        event.type = types[uniform(rng_, 0, sizeof types / sizeof types[0] - 1)];
    }
    return event;
}

void RandomMidi::fillBlock(int32_t frames, double sampleRate, double eventsPerSecond,
                           std::vector<ScriptEvent>& out) {
    out.clear();
    if (frames <= 0) return;
    const double expected = eventsPerSecond * frames / sampleRate;
    int32_t count = std::poisson_distribution<int32_t>(expected)(rng_);
    count = std::min(count, 256);
    // Hosts deliver a block's events in time order. The frames are drawn first so
    // that the events are made in that order too, and the keys counted as held are
    // the ones a plug-in hears held.
    std::vector<int32_t> at(static_cast<size_t>(count));
    for (int32_t& frame : at)
        frame = uniform(rng_, 0, frames - 1);
    std::sort(at.begin(), at.end());
    for (int32_t frame : at) {
        ScriptEvent event = randomEvent();
        event.deltaFrames = frame;
        out.push_back(event);
    }
}

void RandomMidi::releaseAll(std::vector<ScriptEvent>& out) {
    out.clear();
    for (uint8_t channel = 0; channel < 16; ++channel)
        out.push_back(midiEvent(0, static_cast<uint8_t>(0xB0 | channel), 64, 0));
    for (uint16_t slot = 0; slot < held_.size(); ++slot) {
        while (held_[slot] > 0)
            out.push_back(
                noteOff(static_cast<uint8_t>(slot / 128), static_cast<uint8_t>(slot % 128)));
    }
    for (uint8_t channel = 0; channel < 16; ++channel) {
        const auto status = static_cast<uint8_t>(0xB0 | channel);
        for (uint8_t controller : {121, 123, 120, 126})
            out.push_back(midiEvent(0, status, controller, 0));
    }
}

void randomParameterWrites(std::mt19937_64& rng, int32_t numParams, int32_t frames,
                           int32_t perFrames, std::vector<ParameterWrite>& out) {
    out.clear();
    if (numParams <= 0) return;
    const double expected = static_cast<double>(frames) / perFrames;
    int32_t count = std::poisson_distribution<int32_t>(std::max(expected, 0.05))(rng);
    count = std::min(count, 64);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (int32_t i = 0; i < count; ++i)
        out.push_back({uniform(rng, 0, numParams - 1), value(rng)});
}

std::vector<ScriptBlock> randomScript(uint64_t seed, int32_t numParams, double sampleRate,
                                      int32_t totalFrames, int32_t maxFrames) {
    RandomMidi midi(seed);
    std::vector<ScriptBlock> script;
    int32_t done = 0;
    while (done < totalFrames) {
        ScriptBlock block;
        // Half the blocks short, as from hosts that split blocks at automation points.
        block.frames = uniform(midi.rng(), 0, 1) ? uniform(midi.rng(), 1, std::min(64, maxFrames))
                                                 : uniform(midi.rng(), 1, maxFrames);
        randomParameterWrites(midi.rng(), numParams, block.frames, 512, block.parameters);
        midi.fillBlock(block.frames, sampleRate, 30.0, block.events);
        done += block.frames;
        script.push_back(std::move(block));
    }
    return script;
}

} // namespace quillo::validate
