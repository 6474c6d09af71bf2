// A small instrument for testing the host side. It records everything its host
// does (see probe_log.h) and plays a gate: from a note-on to its note-off the
// output is "Level", then it rings on for "Ring" × 10 seconds, then silence.
// Built in variants (see CMakeLists.txt) that are broken in one way each.
#include "tests/hosting/probe_log.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifndef PROBE_INPUTS
#define PROBE_INPUTS 0
#endif
#ifndef PROBE_OUTPUTS
#define PROBE_OUTPUTS 2
#endif
#ifndef PROBE_SYNTH
#define PROBE_SYNTH 1
#endif

namespace {

ProbeLog probeLog; // one per library; reset by every entry call

struct Probe {
    AEffect effect{};
    AudioMasterCallback host = nullptr;
    float level = 0.5f;
    float ring = 0.0f;
    float sampleRate = 44100.0f;
    bool gate = false;
    int64_t ringLeft = 0;
    std::vector<ProbeEvent> pending;
};

Probe* probeOf(AEffect* effect) {
    return static_cast<Probe*>(effect->object);
}

intptr_t ask(Probe* probe, int32_t opcode, intptr_t value = 0, void* ptr = nullptr) {
    return probe->host(&probe->effect, opcode, 0, value, ptr, 0.0f);
}

void askTheHost(Probe* probe) {
    ProbeLog& log = probeLog;
    log.sampleRateAnswer = ask(probe, audioMasterGetSampleRate);
    log.blockSizeAnswer = ask(probe, audioMasterGetBlockSize);
    log.processLevelAnswer = ask(probe, audioMasterGetCurrentProcessLevel);
    log.wantMidiAnswer = ask(probe, audioMasterWantMidi, 1);
    char sendEvents[] = "sendVstEvents", sendMidi[] = "sendVstMidiEvent",
         receiveEvents[] = "receiveVstEvents", unknown[] = "flyToTheMoon";
    log.canDoSendVstEvents = ask(probe, audioMasterCanDo, 0, sendEvents);
    log.canDoSendVstMidiEvent = ask(probe, audioMasterCanDo, 0, sendMidi);
    log.canDoReceiveVstEvents = ask(probe, audioMasterCanDo, 0, receiveEvents);
    log.canDoUnknown = ask(probe, audioMasterCanDo, 0, unknown);
    char text[65] = {};
    ask(probe, audioMasterGetVendorString, 0, text);
    log.vendor = text;
    std::memset(text, 0, sizeof text);
    ask(probe, audioMasterGetProductString, 0, text);
    log.product = text;
    log.vendorVersionAnswer = ask(probe, audioMasterGetVendorVersion);
}

[[maybe_unused]] intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                   void* ptr, float opt) {
    Probe* probe = probeOf(effect);
    if (opcode != effVendorSpecific && opcode != effGetParamName) probeLog.calls.push_back(opcode);
    switch (opcode) {
    case effClose: delete probe; return 1;
    case effSetSampleRate: probe->sampleRate = opt; return 0;
    case effMainsChanged:
        if (value) askTheHost(probe);
        return 0;
    case effGetParamName:
        std::strcpy(static_cast<char*>(ptr), index == 0 ? "Level" : "Ring");
        return 0;
    case effGetParamDisplay: std::strcpy(static_cast<char*>(ptr), "probe"); return 0;
    case effGetEffectName:
    case effGetProductString: std::strcpy(static_cast<char*>(ptr), "Probe"); return 1;
    case effGetPlugCategory: return PROBE_SYNTH ? kPlugCategSynth : kPlugCategEffect;
    case effProcessEvents: {
        const auto* events = static_cast<const VstEvents*>(ptr);
        VstEvent* const* list = events->events;
        for (int32_t i = 0; i < events->numEvents; ++i) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(list[i]);
            ProbeEvent event{probeLog.framesProcessed + midi->deltaFrames, midi->deltaFrames, {}};
            std::memcpy(event.bytes, midi->midiData, 3);
            probeLog.events.push_back(event);
            probe->pending.push_back(event);
        }
        return 1;
    }
    case effVendorSpecific:
        return index == kProbeLogRequest ? reinterpret_cast<intptr_t>(&probeLog) : 0;
    default: return 0;
    }
}

[[maybe_unused]] void setParameter(AEffect* effect, int32_t index, float value) {
    if (index == 0) {
        probeOf(effect)->level = value;
        probeLog.levelChanges.push_back(probeLog.framesProcessed);
    } else if (index == 1) {
        probeOf(effect)->ring = value;
    }
}

[[maybe_unused]] float getParameter(AEffect* effect, int32_t index) {
    return index == 0 ? probeOf(effect)->level : index == 1 ? probeOf(effect)->ring : 0.0f;
}

[[maybe_unused]] void processReplacing(AEffect* effect, float** inputs, float** outputs,
                                       int32_t frames) {
    Probe* probe = probeOf(effect);
    ProbeLog& log = probeLog;
    log.calls.push_back(kProbeProcessCall);
#ifdef PROBE_CRASH
    if (log.framesProcessed > 0) std::abort(); // a plug-in failing in mid-render
#endif
    log.blockFrames.push_back(frames);
    if (auto* time = reinterpret_cast<VstTimeInfo*>(ask(probe, audioMasterGetTime))) {
        log.blockTimes.push_back(*time);
    }
    for (int c = 0; c < PROBE_INPUTS; ++c) {
        for (int32_t i = 0; i < frames; ++i) {
            if (inputs[c][i] != 0.0f) log.inputsWereSilent = false;
        }
    }
#ifdef PROBE_EVENTS_AT_BLOCK_START
    for (ProbeEvent& event : probe->pending) // as if every event came at the block's start
        event.deltaFrames = 0;
#endif
    size_t next = 0;
    for (int32_t i = 0; i < frames; ++i) {
        for (; next < probe->pending.size() && probe->pending[next].deltaFrames <= i; ++next) {
            const uint8_t* bytes = probe->pending[next].bytes;
            const bool on = (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0;
            const bool off = (bytes[0] & 0xF0) == 0x80 || ((bytes[0] & 0xF0) == 0x90 && !on);
            if (on) probe->gate = true;
            if (off && probe->gate) {
                probe->gate = false;
                probe->ringLeft = static_cast<int64_t>(probe->ring * 10.0f * probe->sampleRate);
            }
        }
        float sample = 0.0f;
        if (probe->gate) {
            sample = probe->level;
        } else if (probe->ringLeft > 0) {
            sample = probe->level;
            --probe->ringLeft;
        }
        for (int c = 0; c < PROBE_OUTPUTS; ++c)
            outputs[c][i] = c == 0 ? sample : -sample;
    }
    probe->pending.clear();
    log.framesProcessed += frames;
}

} // namespace

#ifndef PROBE_NO_ENTRY
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(AudioMasterCallback host) {
    probeLog = ProbeLog{};
    probeLog.versionAnswer = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    probeLog.versionAskedWithNullEffect = true;
#if defined(PROBE_NULL_ENTRY)
    return nullptr;
#elif defined(PROBE_BAD_MAGIC)
    // A host must not touch a record with the wrong magic, not even to close it,
    // so this one is never freed: keep it static.
    static AEffect impostor{};
    impostor.magic = fourCharCode('N', 'o', 'p', 'e');
    return &impostor;
#endif
    auto* probe = new Probe;
    probe->host = host;
    AEffect& effect = probe->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatch;
    effect.setParameter = setParameter;
    effect.getParameter = getParameter;
    effect.processReplacing = processReplacing;
    effect.numPrograms = 1;
    effect.numParams = 2;
    effect.numInputs = PROBE_INPUTS;
    effect.numOutputs = PROBE_OUTPUTS;
    effect.flags = effFlagsCanReplacing | (PROBE_SYNTH ? effFlagsIsSynth : 0);
    effect.uniqueID = fourCharCode('p', 'r', 'b', '1');
    effect.version = 1;
    effect.object = probe;
    return &effect;
}
#else
extern "C" __attribute__((visibility("default"))) int probeHasNoEntryPoint() {
    return 1;
}
#endif
