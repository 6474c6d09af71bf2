// Every dispatcher opcode from 0 to 127, as a host with nothing special in mind
// would send it: small numbers, zero-filled buffers with guards around them.

#include "validate/check.h"
#include "validate/guarded_bytes.h"
#include "validate/session.h"

namespace quillo::validate {
namespace {

const char* const kOpcodeNames[] = {"effOpen",
                                    "effClose",
                                    "effSetProgram",
                                    "effGetProgram",
                                    "effSetProgramName",
                                    "effGetProgramName",
                                    "effGetParamLabel",
                                    "effGetParamDisplay",
                                    "effGetParamName",
                                    "effGetVu",
                                    "effSetSampleRate",
                                    "effSetBlockSize",
                                    "effMainsChanged",
                                    "effEditGetRect",
                                    "effEditOpen",
                                    "effEditClose",
                                    "effEditDraw",
                                    "effEditMouse",
                                    "effEditKey",
                                    "effEditIdle",
                                    "effEditTop",
                                    "effEditSleep",
                                    "effIdentify",
                                    "effGetChunk",
                                    "effSetChunk",
                                    "effProcessEvents",
                                    "effCanBeAutomated",
                                    "effString2Parameter",
                                    "effGetNumProgramCategories",
                                    "effGetProgramNameIndexed",
                                    "effCopyProgram",
                                    "effConnectInput",
                                    "effConnectOutput",
                                    "effGetInputProperties",
                                    "effGetOutputProperties",
                                    "effGetPlugCategory",
                                    "effGetCurrentPosition",
                                    "effGetDestinationBuffer",
                                    "effOfflineNotify",
                                    "effOfflinePrepare",
                                    "effOfflineRun",
                                    "effProcessVarIo",
                                    "effSetSpeakerArrangement",
                                    "effSetBlockSizeAndSampleRate",
                                    "effSetBypass",
                                    "effGetEffectName",
                                    "effGetErrorText",
                                    "effGetVendorString",
                                    "effGetProductString",
                                    "effGetVendorVersion",
                                    "effVendorSpecific",
                                    "effCanDo",
                                    "effGetTailSize",
                                    "effIdle",
                                    "effGetIcon",
                                    "effSetViewPosition",
                                    "effGetParameterProperties",
                                    "effKeysRequired",
                                    "effGetVstVersion",
                                    "effEditKeyDown",
                                    "effEditKeyUp",
                                    "effSetEditKnobMode",
                                    "effGetMidiProgramName",
                                    "effGetCurrentMidiProgram",
                                    "effGetMidiProgramCategory",
                                    "effHasMidiProgramsChanged",
                                    "effGetMidiKeyName",
                                    "effBeginSetProgram",
                                    "effEndSetProgram",
                                    "effGetSpeakerArrangement",
                                    "effShellGetNextPlugin",
                                    "effStartProcess",
                                    "effStopProcess",
                                    "effSetTotalSampleToProcess",
                                    "effSetPanLaw",
                                    "effBeginLoadBank",
                                    "effBeginLoadProgram",
                                    "effSetProcessPrecision",
                                    "effGetNumMidiInputChannels",
                                    "effGetNumMidiOutputChannels"};
static_assert(sizeof kOpcodeNames / sizeof kOpcodeNames[0] == effGetNumMidiOutputChannels + 1);

std::string opcodeName(int32_t opcode) {
    const std::string number = "opcode " + std::to_string(opcode);
    if (opcode >= 0 && opcode <= effGetNumMidiOutputChannels)
        return number + " (" + kOpcodeNames[opcode] + ")";
    return number;
}

// Opcodes that no sweep can send blindly, and why. A plug-in without an editor
// gets the editor opcodes too: it must answer them with 0 and touch nothing.
const char* skipReason(int32_t opcode, bool hasEditor) {
    switch (opcode) {
    case effClose: return "destroys the instance";
    case effSetChunk: return "needs chunk data the plug-in made";
    case effProcessVarIo: return "needs a VstVariableIo with audio buffers";
    default: break;
    }
    if (!hasEditor) return nullptr;
    switch (opcode) {
    case effEditGetRect: return "editor: only asked before opening it";
    case effEditOpen: return "editor: needs a window of the host's";
    case effEditClose: return "editor: closes an editor that was never opened";
    case effEditIdle:
    case effEditKeyDown:
    case effEditKeyUp:
    case effSetEditKnobMode: return "editor: only sent while it is open";
    default: return nullptr;
    }
}

bool hasEditor(hosting::PluginInstance& plugin) {
    return (plugin.flags() & effFlagsHasEditor) != 0;
}

struct Call {
    int32_t index = 0;
    intptr_t value = 0;
    float opt = 0.0f;
    size_t bufferSize = 1024;  // room for any record an opcode carries
    bool text = false;         // the plug-in writes a zero-terminated text
    bool secondBuffer = false; // value points at a second buffer (speaker arrangements)
};

// Benign arguments: a sample rate and block size a host would use, program 0,
// parameter 0, and text buffers of the sizes the interface gives.
Call benignCall(int32_t opcode) {
    Call call;
    switch (opcode) {
    case effSetSampleRate: call.opt = 44100.0f; break;
    case effSetBlockSize: call.value = 512; break;
    case effSetBlockSizeAndSampleRate:
        call.value = 512;
        call.opt = 44100.0f;
        break;
    case effGetProgramName:
    case effGetProgramNameIndexed:
        call.bufferSize = 24;
        call.text = true;
        break;
    case effSetProgramName: call.bufferSize = 24; break;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        call.bufferSize = 64;
        call.text = true;
        break;
    case effGetEffectName:
        call.bufferSize = 32;
        call.text = true;
        break;
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
        call.bufferSize = 64;
        call.text = true;
        break;
    case effGetErrorText:
        call.bufferSize = 256;
        call.text = true;
        break;
    case effSetSpeakerArrangement:
    case effGetSpeakerArrangement: call.secondBuffer = true; break;
    default: break;
    }
    return call;
}

// Sends one opcode; fails on a write outside the buffers or an unterminated text.
intptr_t sendBenign(hosting::PluginInstance& plugin, int32_t opcode) {
    const Call call = benignCall(opcode);
    GuardedBytes buffer(call.bufferSize);
    GuardedBytes second(1024);
    const intptr_t value =
        call.secondBuffer ? reinterpret_cast<intptr_t>(second.data()) : call.value;
    const intptr_t answer = plugin.dispatch(opcode, call.index, value, buffer.data(), call.opt);
    std::string damage = buffer.damage();
    if (damage.empty() && call.secondBuffer) damage = second.damage();
    expect(damage.empty(), opcodeName(opcode) + " " + damage);
    expect(!call.text || buffer.terminated(), opcodeName(opcode) +
                                                  " left its text unterminated in " +
                                                  std::to_string(call.bufferSize) + " bytes");
    return answer;
}

void sweep(const Context& context, hosting::PluginInstance& plugin, const std::string& state) {
    for (int32_t opcode = 0; opcode < 128; ++opcode) {
        if (skipReason(opcode, hasEditor(plugin))) continue;
        progress(opcodeName(opcode) + " on " + state);
        const intptr_t answer = sendBenign(plugin, opcode);
        // A suspend is followed by a resume so the rest of the sweep meets a
        // running instance, as it would in a host.
        if (opcode == effMainsChanged) plugin.dispatch(effMainsChanged, 0, 1);
        if (context.promises().unknownOpcodesAnswerZero && opcode > effGetNumMidiOutputChannels)
            expect(answer == 0, opcodeName(opcode) + " answered " + std::to_string(answer));
    }
}

std::string everyOpcodeWithBenignArguments(const Context& context) {
    // Hosts ask questions before opening an instance, and again while it runs.
    Session session(context, 44100.0, 512);
    {
        auto fresh = context.create();
        sweep(context, *fresh, "a new instance");
    }
    sweep(context, session.plugin(), "a running instance");

    // Back to a clean running state, then it must still play.
    progress("rendering after the sweep");
    session.plugin().dispatch(effMainsChanged, 0, 0);
    session.plugin().dispatch(effMainsChanged, 0, 1);
    session.plugin().dispatch(effStartProcess);
    session.render(512, {midiEvent(0, 0x90, 60, 100)});
    session.renderFor(4096, 512);

    std::string skipped;
    for (int32_t opcode = 0; opcode < 128; ++opcode) {
        if (const char* reason = skipReason(opcode, hasEditor(session.plugin())))
            skipped += (skipped.empty() ? "" : "; ") + std::to_string(opcode) + " " +
                       kOpcodeNames[opcode] + ": " + reason;
    }
    return "skipped " + skipped;
}

} // namespace

void addOpcodeCheck(std::vector<Check>& checks) {
    checks.push_back({"every opcode 0..127 with benign arguments", everyOpcodeWithBenignArguments});
}

} // namespace quillo::validate
