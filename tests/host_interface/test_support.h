// Stand-ins for a host and a plug-in class, for the host interface tests.
#pragma once

#include "host_interface/audio_effect_x.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

// ---- A host that records every request ----

struct HostCall {
    AEffect* effect = nullptr;
    int32_t opcode = 0;
    int32_t index = 0;
    intptr_t value = 0;
    void* ptr = nullptr;
    float opt = 0.0f;

    bool operator==(const HostCall& other) const {
        return effect == other.effect && opcode == other.opcode && index == other.index &&
               value == other.value && ptr == other.ptr && opt == other.opt;
    }
};

inline std::ostream& operator<<(std::ostream& out, const HostCall& call) {
    return out << "{effect " << call.effect << ", opcode " << call.opcode << ", index "
               << call.index << ", value " << call.value << ", ptr " << call.ptr << ", opt "
               << call.opt << "}";
}

// The callback is a plain function, so the recorder is global; reset it per test.
struct FakeHost {
    static inline std::vector<HostCall> calls;
    static inline std::map<int32_t, intptr_t> answers; // by opcode; 0 when absent

    static void reset() {
        calls.clear();
        answers.clear();
    }

    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt) {
        calls.push_back({effect, opcode, index, value, ptr, opt});
        auto answer = answers.find(opcode);
        return answer == answers.end() ? 0 : answer->second;
    }
};

// ---- A plug-in class with nothing of its own: the base behaviour ----

class BareEffect : public AudioEffectX {
  public:
    explicit BareEffect(AudioMasterCallback host = nullptr, int32_t programs = 32,
                        int32_t params = 36)
        : AudioEffectX(host, programs, params) {}

    void processReplacing(float**, float**, int32_t) override {}

    // Read access for the tests.
    AudioMasterCallback host() const { return audioMaster; }
    int32_t programCount() const { return numPrograms; }
    int32_t paramCount() const { return numParams; }
    void attachEditor(AEffEditor* newEditor) { editor = newEditor; }
};

// ---- An editor that records what it is asked ----

struct EditorLog {
    std::vector<std::string> calls;
    VstKeyCode lastKey{};
    int32_t knobMode = -1;
    bool destroyed = false;
};

class FakeEditor : public AEffEditor {
  public:
    explicit FakeEditor(EditorLog& log) : log(log) {}
    ~FakeEditor() override { log.destroyed = true; }

    bool getRect(ERect** rect) override {
        log.calls.push_back("getRect");
        *rect = &area;
        return true;
    }
    bool open(void*) override { return note("open"), true; }
    void close() override { note("close"); }
    void idle() override { note("idle"); }
    bool onKeyDown(VstKeyCode& key) override { return log.lastKey = key, note("onKeyDown"), true; }
    bool onKeyUp(VstKeyCode& key) override { return log.lastKey = key, note("onKeyUp"), false; }
    bool setKnobMode(int32_t mode) override { return log.knobMode = mode, note("knob"), true; }

    ERect area{0, 0, 100, 200};

  private:
    void note(const char* name) { log.calls.push_back(name); }
    EditorLog& log;
};

// ---- A plug-in class that records which operation the dispatcher called ----

// One operation call: its name and up to two integer, two pointer and one float argument
// in the order the operation takes them.
struct OpCall {
    std::string name;
    intptr_t a = 0;
    intptr_t b = 0;
    const void* p = nullptr;
    const void* q = nullptr;
    float f = 0.0f;

    bool operator==(const OpCall& other) const {
        return name == other.name && a == other.a && b == other.b && p == other.p && q == other.q &&
               f == other.f;
    }
};

inline std::ostream& operator<<(std::ostream& out, const OpCall& call) {
    return out << call.name << "(" << call.a << ", " << call.b << ", " << call.p << ", " << call.q
               << ", " << call.f << ")";
}

class ProbeEffect : public AudioEffectX {
  public:
    ProbeEffect() : AudioEffectX(nullptr, 32, 36) {}

    std::vector<OpCall> calls;
    bool boolAnswer = true;
    int32_t intAnswer = 77;

    void processReplacing(float** in, float** out, int32_t n) override {
        note({"processReplacing", n, 0, in, out});
    }
    void processDoubleReplacing(double** in, double** out, int32_t n) override {
        note({"processDoubleReplacing", n, 0, in, out});
    }
    void process(float** in, float** out, int32_t n) override { note({"process", n, 0, in, out}); }

    void open() override { note({"open"}); }
    void close() override { note({"close"}); }
    void suspend() override { note({"suspend"}); }
    void resume() override { note({"resume"}); }
    void setSampleRate(float rate) override {
        note({"setSampleRate", 0, 0, nullptr, nullptr, rate});
    }
    void setBlockSize(int32_t size) override { note({"setBlockSize", size}); }
    void setParameter(int32_t index, float value) override {
        note({"setParameter", index, 0, nullptr, nullptr, value});
    }
    float getParameter(int32_t index) override { return note({"getParameter", index}), 0.625f; }
    void setParameterAutomated(int32_t index, float value) override {
        note({"setParameterAutomated", index, 0, nullptr, nullptr, value});
    }
    void setProgram(int32_t program) override { note({"setProgram", program}); }
    int32_t getProgram() override { return note({"getProgram"}), intAnswer; }
    void setProgramName(char* name) override { note({"setProgramName", 0, 0, name}); }
    void getProgramName(char* name) override { note({"getProgramName", 0, 0, name}); }
    void getParameterLabel(int32_t i, char* t) override { note({"getParameterLabel", i, 0, t}); }
    void getParameterDisplay(int32_t i, char* t) override {
        note({"getParameterDisplay", i, 0, t});
    }
    void getParameterName(int32_t i, char* t) override { note({"getParameterName", i, 0, t}); }
    int32_t getChunk(void** data, bool isPreset) override {
        return note({"getChunk", isPreset, 0, data}), intAnswer;
    }
    int32_t setChunk(void* data, int32_t size, bool isPreset) override {
        return note({"setChunk", size, isPreset, data}), intAnswer;
    }

    bool canParameterBeAutomated(int32_t i) override { return yes({"canBeAutomated", i}); }
    bool string2parameter(int32_t i, char* t) override {
        return yes({"string2parameter", i, 0, t});
    }
    bool getParameterProperties(int32_t i, VstParameterProperties* p) override {
        return yes({"getParameterProperties", i, 0, p});
    }
    bool getProgramNameIndexed(int32_t category, int32_t i, char* t) override {
        return yes({"getProgramNameIndexed", category, i, t});
    }
    bool beginSetProgram() override { return yes({"beginSetProgram"}); }
    bool endSetProgram() override { return yes({"endSetProgram"}); }
    int32_t beginLoadBank(VstPatchChunkInfo* p) override {
        return number({"beginLoadBank", 0, 0, p});
    }
    int32_t beginLoadProgram(VstPatchChunkInfo* p) override {
        return number({"beginLoadProgram", 0, 0, p});
    }
    bool getInputProperties(int32_t i, VstPinProperties* p) override {
        return yes({"getInputProperties", i, 0, p});
    }
    bool getOutputProperties(int32_t i, VstPinProperties* p) override {
        return yes({"getOutputProperties", i, 0, p});
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        return yes({"setSpeakerArrangement", 0, 0, in, out});
    }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        return yes({"getSpeakerArrangement", 0, 0, in, out});
    }
    bool setBypass(bool on) override { return yes({"setBypass", on}); }
    bool setPanLaw(int32_t type, float gain) override {
        return yes({"setPanLaw", type, 0, nullptr, nullptr, gain});
    }
    bool setProcessPrecision(int32_t precision) override {
        return yes({"setProcessPrecision", precision});
    }
    int32_t getNumMidiInputChannels() override { return number({"midiInputs"}); }
    int32_t getNumMidiOutputChannels() override { return number({"midiOutputs"}); }
    int32_t processEvents(VstEvents* e) override { return number({"processEvents", 0, 0, e}); }
    int32_t startProcess() override { return number({"startProcess"}); }
    int32_t stopProcess() override { return number({"stopProcess"}); }
    bool processVariableIo(VstVariableIo* io) override {
        return yes({"processVariableIo", 0, 0, io});
    }
    int32_t setTotalSampleToProcess(int32_t v) override { return number({"setTotalSample", v}); }
    int32_t getGetTailSize() override { return number({"tailSize"}); }
    bool getEffectName(char* t) override { return yes({"getEffectName", 0, 0, t}); }
    bool getVendorString(char* t) override { return yes({"getVendorString", 0, 0, t}); }
    bool getProductString(char* t) override { return yes({"getProductString", 0, 0, t}); }
    int32_t getVendorVersion() override { return number({"getVendorVersion"}); }
    intptr_t vendorSpecific(int32_t i, intptr_t v, void* p, float f) override {
        return number({"vendorSpecific", i, v, p, nullptr, f});
    }
    int32_t canDo(char* t) override { return number({"canDo", 0, 0, t}); }
    int32_t getVstVersion() override { return number({"getVstVersion"}); }
    int32_t getPlugCategory() override { return number({"getPlugCategory"}); }
    int32_t getMidiProgramName(int32_t c, MidiProgramName* p) override {
        return number({"getMidiProgramName", c, 0, p});
    }
    int32_t getCurrentMidiProgram(int32_t c, MidiProgramName* p) override {
        return number({"getCurrentMidiProgram", c, 0, p});
    }
    int32_t getMidiProgramCategory(int32_t c, MidiProgramCategory* p) override {
        return number({"getMidiProgramCategory", c, 0, p});
    }
    bool hasMidiProgramsChanged(int32_t c) override { return yes({"hasMidiProgramsChanged", c}); }
    bool getMidiKeyName(int32_t c, MidiKeyName* p) override {
        return yes({"getMidiKeyName", c, 0, p});
    }
    int32_t getNextShellPlugin(char* t) override { return number({"getNextShellPlugin", 0, 0, t}); }
    bool offlineNotify(VstAudioFile* files, int32_t count, bool start) override {
        return yes({"offlineNotify", count, start, files});
    }
    bool offlinePrepare(VstOfflineTask* tasks, int32_t count) override {
        return yes({"offlinePrepare", count, 0, tasks});
    }
    bool offlineRun(VstOfflineTask* tasks, int32_t count) override {
        return yes({"offlineRun", count, 0, tasks});
    }
    void setBlockSizeAndSampleRate(int32_t size, float rate) override {
        note({"setBlockSizeAndSampleRate", size, 0, nullptr, nullptr, rate});
    }

  private:
    void note(OpCall call) { calls.push_back(std::move(call)); }
    bool yes(OpCall call) { return note(std::move(call)), boolAnswer; }
    int32_t number(OpCall call) { return note(std::move(call)), intAnswer; }
};
