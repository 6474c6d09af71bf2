// A small, well-behaved VST 2 instrument that can be broken on purpose, one way
// at a time, to show that quillo-validate catches each fault. The fault is read
// from the environment variable QUILLO_FAULT when an instance is created:
//
//   alloc        allocates inside processReplacing
//   overrun      writes one frame past the block
//   unwritten    leaves the second half of every block untouched
//   nan          a NaN shortly after each note-on
//   drift        parameters come back rounded to 1/100
//   long-name    parameter names of 80 characters
//   crash        dies on effVendorSpecific
//   no-release   ignores note-offs and controller 126
//   shared       keeps its oscillator phase in a global, shared by instances
//   forget       a program switch loses the edits of the program left
//
// and faults that only break what it may promise (quillo-validate --promise):
//
//   hiss         a hiss at -180 dBFS that never stops (exact-silence)
//   odd-opcodes  answers 1 to the opcodes past the interface's last (unknown-opcodes-answer-0)
//   short-names  keeps 15 characters of a program name (program-names 23)
//   any-rate     takes any sample rate and plays NaN while it is not a real one
//                (ignores-invalid-sample-rates)
//
// Without a fault it passes every check and keeps all those promises: a sine per
// note, two parameters ("Gain", "Pitch"), two programs.
#include "host_interface/aeffect.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr int32_t kParams = 2;
constexpr int32_t kPrograms = 2;

double sharedPhase = 0.0;

struct Faulty {
    AEffect effect{};
    std::string fault;
    float params[kPrograms][kParams] = {{0.5f, 0.5f}, {0.25f, 0.75f}};
    int32_t program = 0;
    char programNames[kPrograms][24] = {"First", "Second"};
    float sampleRate = 44100.0f;
    double phase = 0.0;
    int32_t key = -1;
    int32_t framesSinceNoteOn = 0;

    bool is(const char* name) const { return fault == name; }
    float param(int32_t index) const { return params[program][index]; }
};

Faulty* self(AEffect* effect) {
    return static_cast<Faulty*>(effect->object);
}

void copyText(void* ptr, const char* text, size_t size) {
    std::snprintf(static_cast<char*>(ptr), size, "%s", text);
}

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt) {
    Faulty* faulty = self(effect);
    switch (opcode) {
    case effClose: delete faulty; return 1;
    case effSetProgram:
        if (value < 0 || value >= kPrograms) return 0;
        if (faulty->is("forget")) {
            faulty->params[faulty->program][0] = 0.5f;
            faulty->params[faulty->program][1] = 0.5f;
        }
        faulty->program = static_cast<int32_t>(value);
        return 0;
    case effGetProgram: return faulty->program;
    case effSetProgramName:
        if (ptr)
            copyText(faulty->programNames[faulty->program], static_cast<char*>(ptr),
                     faulty->is("short-names") ? 16 : 24);
        return 0;
    case effGetProgramName:
        if (ptr) copyText(ptr, faulty->programNames[faulty->program], 24);
        return 0;
    case effGetParamName:
        if (!ptr || index < 0 || index >= kParams) return 0;
        if (faulty->is("long-name")) {
            std::memset(ptr, 'n', 80);
            static_cast<char*>(ptr)[80] = 0;
        } else {
            copyText(ptr, index == 0 ? "Gain" : "Pitch", 64);
        }
        return 0;
    case effGetParamLabel:
        if (ptr) copyText(ptr, "", 64);
        return 0;
    case effGetParamDisplay:
        if (ptr && index >= 0 && index < kParams)
            std::snprintf(static_cast<char*>(ptr), 64, "%.2f",
                          static_cast<double>(faulty->param(index)));
        return 0;
    case effSetSampleRate:
        if ((opt > 0.0f && std::isfinite(opt)) || faulty->is("any-rate")) faulty->sampleRate = opt;
        return 0;
    case effProcessEvents: {
        auto* events = static_cast<VstEvents*>(ptr);
        if (!events) return 0;
        VstEvent* const* list = events->events;
        for (int32_t i = 0; i < events->numEvents; ++i) {
            if (!list[i] || list[i]->type != kVstMidiType) continue;
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(list[i]);
            const int status = static_cast<uint8_t>(midi->midiData[0]) & 0xF0;
            const int data1 = static_cast<uint8_t>(midi->midiData[1]) & 0x7F;
            const int data2 = static_cast<uint8_t>(midi->midiData[2]) & 0x7F;
            if (status == 0x90 && data2 > 0) {
                faulty->key = data1;
                faulty->framesSinceNoteOn = 0;
            } else if (faulty->is("no-release")) {
                continue;
            } else if ((status == 0x80 || status == 0x90) && data1 == faulty->key) {
                faulty->key = -1;
            } else if (status == 0xB0 && (data1 == 123 || data1 == 126)) {
                faulty->key = -1;
            }
        }
        return 1;
    }
    case effGetEffectName: copyText(ptr, "Faulty", 32); return 1;
    case effGetVendorString: copyText(ptr, "Quillo tests", 64); return 1;
    case effGetProductString: copyText(ptr, "Faulty", 64); return 1;
    case effVendorSpecific:
        if (faulty->is("crash")) std::raise(SIGSEGV);
        return 0;
    case effCanDo: {
        const char* text = static_cast<const char*>(ptr);
        if (!text) return 0;
        return std::strcmp(text, "receiveVstEvents") == 0 ||
                       std::strcmp(text, "receiveVstMidiEvent") == 0
                   ? 1
                   : -1;
    }
    case effGetPlugCategory: return kPlugCategSynth;
    case effGetVstVersion: return 2400;
    default: return faulty->is("odd-opcodes") && opcode > effGetNumMidiOutputChannels ? 1 : 0;
    }
}

void setParameter(AEffect* effect, int32_t index, float value) {
    Faulty* faulty = self(effect);
    if (index < 0 || index >= kParams) return;
    if (faulty->is("drift")) value = std::round(value * 100.0f) / 100.0f;
    faulty->params[faulty->program][index] = value;
}

float getParameter(AEffect* effect, int32_t index) {
    Faulty* faulty = self(effect);
    return index >= 0 && index < kParams ? faulty->param(index) : 0.0f;
}

void processReplacing(AEffect* effect, float** /*inputs*/, float** outputs, int32_t frames) {
    Faulty* faulty = self(effect);
    if (faulty->is("alloc")) delete new std::vector<float>(16);
    double& phase = faulty->is("shared") ? sharedPhase : faulty->phase;
    const int32_t written = faulty->is("unwritten") ? frames / 2 : frames;
    const double frequency = 440.0 * std::pow(2.0, (faulty->key - 69) / 12.0) *
                             (0.5 + static_cast<double>(faulty->param(1)));
    const bool realRate = faulty->sampleRate > 0.0f && std::isfinite(faulty->sampleRate);
    for (int32_t i = 0; i < written; ++i) {
        float sample = faulty->is("hiss") ? 1.0e-9f : 0.0f;
        if (!realRate) {
            sample = std::numeric_limits<float>::quiet_NaN();
        } else if (faulty->key >= 0) {
            sample = static_cast<float>(std::sin(phase) * 0.5 * faulty->param(0));
            phase += 2.0 * M_PI * frequency / faulty->sampleRate;
            if (phase > 2.0 * M_PI) phase -= 2.0 * M_PI;
            if (faulty->is("nan") && ++faulty->framesSinceNoteOn == 100)
                sample = std::numeric_limits<float>::quiet_NaN();
        }
        outputs[0][i] = sample;
        outputs[1][i] = sample;
    }
    if (faulty->is("overrun")) outputs[1][frames] = 0.0f;
}

void process(AEffect*, float**, float**, int32_t) {}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(AudioMasterCallback host) {
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    auto* faulty = new Faulty;
    const char* fault = std::getenv("QUILLO_FAULT");
    faulty->fault = fault ? fault : "";
    AEffect& effect = faulty->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatch;
    effect.process = process;
    effect.setParameter = setParameter;
    effect.getParameter = getParameter;
    effect.numPrograms = kPrograms;
    effect.numParams = kParams;
    effect.numInputs = 0;
    effect.numOutputs = 2;
    effect.flags = effFlagsCanReplacing | effFlagsIsSynth;
    effect.ioRatio = 1.0f;
    effect.object = faulty;
    effect.uniqueID = fourCharCode('F', 'a', 'l', 't');
    effect.version = 1;
    effect.processReplacing = processReplacing;
    return &effect;
}
