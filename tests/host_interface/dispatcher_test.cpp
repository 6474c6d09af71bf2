// The opcode tables: which operation each opcode reaches, with which arguments, and
// what the host gets back; then the answers of the base operations themselves.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

char textBuffer[64];
int record1, record2; // stand-ins for host records the dispatcher only hands on
void* const P = textBuffer;
void* const R1 = &record1;
void* const R2 = &record2;
const intptr_t A1 = reinterpret_cast<intptr_t>(R1); // R1 passed in value

struct Row {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    OpCall expected;
    intptr_t answer; // with bool operations answering true and int operations 77
};

// Runs each row on a fresh probe: exactly one operation, with the expected arguments.
void checkRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        ProbeEffect effect;
        SCOPED_TRACE("opcode " + std::to_string(row.opcode));
        EXPECT_EQ(effect.dispatcher(row.opcode, row.index, row.value, row.ptr, row.opt),
                  row.answer);
        ASSERT_EQ(effect.calls.size(), 1u);
        EXPECT_EQ(effect.calls[0], row.expected);
    }
}

TEST(CoreDispatch, EachOpcodeReachesItsOperation) {
    // clang-format off
    checkRows({
        {effOpen, 0, 0, nullptr, 0, {"open"}, 0},
        {effClose, 0, 0, nullptr, 0, {"close"}, 0},
        {effSetProgram, 5, 31, nullptr, 0, {"setProgram", 31}, 0},
        {effGetProgram, 0, 0, nullptr, 0, {"getProgram"}, 77},
        {effSetProgramName, 0, 0, P, 0, {"setProgramName", 0, 0, P}, 0},
        {effGetProgramName, 0, 0, P, 0, {"getProgramName", 0, 0, P}, 0},
        {effGetParamLabel, 4, 0, P, 0, {"getParameterLabel", 4, 0, P}, 0},
        {effGetParamDisplay, 5, 0, P, 0, {"getParameterDisplay", 5, 0, P}, 0},
        {effGetParamName, 6, 0, P, 0, {"getParameterName", 6, 0, P}, 0},
        {effSetSampleRate, 0, 0, nullptr, 48000.0f,
         {"setSampleRate", 0, 0, nullptr, nullptr, 48000.0f}, 0},
        {effSetBlockSize, 0, 512, nullptr, 0, {"setBlockSize", 512}, 0},
        {effMainsChanged, 0, 0, nullptr, 0, {"suspend"}, 0},
        {effMainsChanged, 0, 1, nullptr, 0, {"resume"}, 0},
        {effMainsChanged, 0, 2, nullptr, 0, {"resume"}, 0},
        {effMainsChanged, 0, -1, nullptr, 0, {"resume"}, 0},
        {effGetChunk, 1, 0, R1, 0, {"getChunk", 1, 0, R1}, 77},
        {effGetChunk, 0, 0, R1, 0, {"getChunk", 0, 0, R1}, 77},
        {effSetChunk, 3, 4096, R1, 0, {"setChunk", 4096, 1, R1}, 77},
    });
    // clang-format on
}

TEST(CoreDispatch, ProgramNumberIsRangeCheckedOnValue) {
    for (intptr_t program : {intptr_t{32}, intptr_t{-1}, intptr_t{1000}, intptr_t{-1000}}) {
        ProbeEffect effect;
        EXPECT_EQ(effect.dispatcher(effSetProgram, 0, program, nullptr, 0), 0);
        EXPECT_TRUE(effect.calls.empty()) << program;
    }
    // index is not the program number
    ProbeEffect effect;
    effect.dispatcher(effSetProgram, 40, 0, nullptr, 0);
    ASSERT_EQ(effect.calls.size(), 1u);
    EXPECT_EQ(effect.calls[0], (OpCall{"setProgram", 0}));

    BareEffect bare;
    bare.dispatcher(effSetProgram, 0, 31, nullptr, 0);
    bare.dispatcher(effSetProgram, 0, 32, nullptr, 0);
    bare.dispatcher(effSetProgram, 0, -1, nullptr, 0);
    EXPECT_EQ(bare.dispatcher(effGetProgram, 0, 0, nullptr, 0), 31);
}

TEST(CoreDispatch, OpcodesWithoutOperationAnswerZeroOrIdentify) {
    ProbeEffect effect;
    for (int32_t opcode : std::initializer_list<int32_t>{
             effGetVu, effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep,
             effEditGetRect, effEditOpen, effEditClose, effEditIdle, 80, 1000, -1}) {
        EXPECT_EQ(effect.dispatcher(opcode, 1, 1, P, 1.0f), 0) << opcode;
    }
    EXPECT_EQ(effect.dispatcher(effIdentify, 0, 0, nullptr, 0), 0x4E764566);
    EXPECT_EQ(effect.dispatcher(effIdentify, 9, -9, P, 3.0f), 1316373862);
    EXPECT_TRUE(effect.calls.empty());
}

TEST(ExtendedDispatch, EachOpcodeReachesItsOperation) {
    // clang-format off
    checkRows({
        {effProcessEvents, 0, 0, R1, 0, {"processEvents", 0, 0, R1}, 77},
        {effCanBeAutomated, 40, 0, nullptr, 0, {"canBeAutomated", 40}, 1},
        {effString2Parameter, 3, 0, P, 0, {"string2parameter", 3, 0, P}, 1},
        {effGetProgramNameIndexed, 3, 7, P, 0, {"getProgramNameIndexed", 7, 3, P}, 1},
        {effGetInputProperties, 1, 0, R1, 0, {"getInputProperties", 1, 0, R1}, 1},
        {effGetOutputProperties, 1, 0, R1, 0, {"getOutputProperties", 1, 0, R1}, 1},
        {effGetPlugCategory, 0, 0, nullptr, 0, {"getPlugCategory"}, 77},
        {effOfflineNotify, 1, 4, R1, 0, {"offlineNotify", 4, 1, R1}, 1},
        {effOfflineNotify, 0, 4, R1, 0, {"offlineNotify", 4, 0, R1}, 1},
        {effOfflinePrepare, 0, 2, R1, 0, {"offlinePrepare", 2, 0, R1}, 1},
        {effOfflineRun, 0, 2, R1, 0, {"offlineRun", 2, 0, R1}, 1},
        {effProcessVarIo, 0, 0, R1, 0, {"processVariableIo", 0, 0, R1}, 1},
        {effSetSpeakerArrangement, 0, A1, R2, 0, {"setSpeakerArrangement", 0, 0, R1, R2}, 1},
        {effSetBypass, 0, 5, nullptr, 0, {"setBypass", 1}, 1},
        {effSetBypass, 0, 0, nullptr, 0, {"setBypass", 0}, 1},
        {effGetEffectName, 0, 0, P, 0, {"getEffectName", 0, 0, P}, 1},
        {effGetVendorString, 0, 0, P, 0, {"getVendorString", 0, 0, P}, 1},
        {effGetProductString, 0, 0, P, 0, {"getProductString", 0, 0, P}, 1},
        {effGetVendorVersion, 0, 0, nullptr, 0, {"getVendorVersion"}, 77},
        {effVendorSpecific, 2, 3, R1, 0.5f, {"vendorSpecific", 2, 3, R1, nullptr, 0.5f}, 77},
        {effCanDo, 0, 0, P, 0, {"canDo", 0, 0, P}, 77},
        {effGetTailSize, 0, 0, nullptr, 0, {"tailSize"}, 77},
        {effGetParameterProperties, 2, 0, R1, 0, {"getParameterProperties", 2, 0, R1}, 1},
        {effGetVstVersion, 0, 0, nullptr, 0, {"getVstVersion"}, 77},
        {effGetMidiProgramName, 9, 0, R1, 0, {"getMidiProgramName", 9, 0, R1}, 77},
        {effGetCurrentMidiProgram, 9, 0, R1, 0, {"getCurrentMidiProgram", 9, 0, R1}, 77},
        {effGetMidiProgramCategory, 9, 0, R1, 0, {"getMidiProgramCategory", 9, 0, R1}, 77},
        {effHasMidiProgramsChanged, 9, 0, nullptr, 0, {"hasMidiProgramsChanged", 9}, 1},
        {effGetMidiKeyName, 9, 0, R1, 0, {"getMidiKeyName", 9, 0, R1}, 1},
        {effBeginSetProgram, 0, 0, nullptr, 0, {"beginSetProgram"}, 1},
        {effEndSetProgram, 0, 0, nullptr, 0, {"endSetProgram"}, 1},
        {effGetSpeakerArrangement, 0, A1, R2, 0, {"getSpeakerArrangement", 0, 0, R1, R2}, 1},
        {effShellGetNextPlugin, 0, 0, P, 0, {"getNextShellPlugin", 0, 0, P}, 77},
        {effStartProcess, 0, 0, nullptr, 0, {"startProcess"}, 77},
        {effStopProcess, 0, 0, nullptr, 0, {"stopProcess"}, 77},
        {effSetTotalSampleToProcess, 0, 12345, nullptr, 0, {"setTotalSample", 12345}, 77},
        {effSetPanLaw, 0, 1, nullptr, 0.7f, {"setPanLaw", 1, 0, nullptr, nullptr, 0.7f}, 1},
        {effBeginLoadBank, 0, 0, R1, 0, {"beginLoadBank", 0, 0, R1}, 77},
        {effBeginLoadProgram, 0, 0, R1, 0, {"beginLoadProgram", 0, 0, R1}, 77},
        {effSetProcessPrecision, 0, 1, nullptr, 0, {"setProcessPrecision", 1}, 1},
        {effGetNumMidiInputChannels, 0, 0, nullptr, 0, {"midiInputs"}, 77},
        {effGetNumMidiOutputChannels, 0, 0, nullptr, 0, {"midiOutputs"}, 77},
        // Core opcodes pass through the extended dispatcher unchanged.
        {effSetProgram, 0, 3, nullptr, 0, {"setProgram", 3}, 0},
        {effGetParamDisplay, 8, 0, P, 0, {"getParameterDisplay", 8, 0, P}, 0},
    });
    // clang-format on
}

TEST(ExtendedDispatch, BoolAnswersWidenToZeroAndIntegersPassUnchanged) {
    ProbeEffect effect;
    effect.boolAnswer = false;
    effect.intAnswer = -1;
    EXPECT_EQ(effect.dispatcher(effCanBeAutomated, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effGetEffectName, 0, 0, P, 0), 0);
    EXPECT_EQ(effect.dispatcher(effCanDo, 0, 0, P, 0), -1);
    EXPECT_EQ(effect.dispatcher(effGetCurrentMidiProgram, 0, 0, R1, 0), -1);
}

TEST(ExtendedDispatch, DeprecatedOpcodesAnswerZeroAndCallNothing) {
    ProbeEffect effect;
    for (int32_t opcode :
         {effGetNumProgramCategories, effCopyProgram, effConnectInput, effConnectOutput,
          effGetCurrentPosition, effGetDestinationBuffer, effSetBlockSizeAndSampleRate,
          effGetErrorText, effIdle, effGetIcon, effSetViewPosition, effKeysRequired}) {
        EXPECT_EQ(effect.dispatcher(opcode, 64, 256, P, 48000.0f), 0) << opcode;
    }
    EXPECT_TRUE(effect.calls.empty());
}

// Opcodes that read or write through ptr (or through value as an address) must not
// touch a null pointer: no operation runs and the host gets 0.
TEST(Dispatch, NullPointersReachNoOperation) {
    const int32_t pointerOpcodes[] = {
        effSetProgramName,
        effGetProgramName,
        effGetParamLabel,
        effGetParamDisplay,
        effGetParamName,
        effGetChunk,
        effSetChunk,
        effProcessEvents,
        effString2Parameter,
        effGetProgramNameIndexed,
        effGetInputProperties,
        effGetOutputProperties,
        effOfflineNotify,
        effOfflinePrepare,
        effOfflineRun,
        effProcessVarIo,
        effSetSpeakerArrangement,
        effGetEffectName,
        effGetVendorString,
        effGetProductString,
        effCanDo,
        effGetParameterProperties,
        effGetMidiProgramName,
        effGetMidiProgramCategory,
        effGetMidiKeyName,
        effGetSpeakerArrangement,
        effShellGetNextPlugin,
        effBeginLoadBank,
        effBeginLoadProgram,
    };
    for (int32_t opcode : pointerOpcodes) {
        ProbeEffect effect;
        BareEffect bare; // its base operations write through the pointer
        EXPECT_EQ(effect.dispatcher(opcode, 1, A1, nullptr, 0), 0) << opcode;
        EXPECT_EQ(bare.dispatcher(opcode, 1, A1, nullptr, 0), 0) << opcode;
        EXPECT_TRUE(effect.calls.empty()) << opcode;
    }
    // "No MIDI programs" needs no record: the answer stays -1 with a null one.
    EXPECT_EQ(BareEffect().dispatcher(effGetCurrentMidiProgram, 0, 0, nullptr, 0), -1);
    // The speaker-arrangement opcodes also take value as an address.
    for (int32_t opcode : {effSetSpeakerArrangement, effGetSpeakerArrangement}) {
        ProbeEffect effect;
        BareEffect bare;
        EXPECT_EQ(effect.dispatcher(opcode, 0, 0, R2, 0), 0) << opcode;
        EXPECT_EQ(bare.dispatcher(opcode, 0, 0, R2, 0), 0) << opcode;
        EXPECT_TRUE(effect.calls.empty()) << opcode;
    }
}

// ---- The base answers, as a plug-in class that replaces nothing gets them ----

TEST(BaseAnswers, CoreOperations) {
    BareEffect effect;
    char name[32] = "untouched";
    effect.dispatcher(effGetProgramName, 0, 0, name, 0);
    EXPECT_STREQ(name, "");
    std::strcpy(name, "untouched");
    effect.dispatcher(effGetParamLabel, 0, 0, name, 0);
    EXPECT_STREQ(name, "");

    void* chunk = R1;
    EXPECT_EQ(effect.dispatcher(effGetChunk, 0, 0, &chunk, 0), 0);
    EXPECT_EQ(chunk, R1);
    EXPECT_EQ(effect.dispatcher(effSetChunk, 1, 1 << 20, R1, 0), 0);

    effect.dispatcher(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect.dispatcher(effSetBlockSize, 0, 256, nullptr, 0);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    EXPECT_EQ(effect.getBlockSize(), 256);
    EXPECT_EQ(effect.getParameter(3), 0.0f);
    EXPECT_EQ(effect.getVu(), 0.0f);
}

TEST(BaseAnswers, ExtendedOperations) {
    BareEffect effect;
    EXPECT_EQ(effect.dispatcher(effCanBeAutomated, 99, 0, nullptr, 0), 1);
    EXPECT_EQ(effect.dispatcher(effGetVstVersion, 0, 0, nullptr, 0), 2400);
    EXPECT_EQ(effect.dispatcher(effGetNumMidiInputChannels, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effGetNumMidiOutputChannels, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effGetTailSize, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effSetTotalSampleToProcess, 0, 12345, nullptr, 0), 12345);
    EXPECT_EQ(effect.dispatcher(effGetVendorVersion, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effCanDo, 0, 0, textBuffer, 0), 0);
    EXPECT_EQ(effect.dispatcher(effProcessEvents, 0, 0, R1, 0), 0);

    char midiProgram[64] = {};
    const intptr_t current = effect.dispatcher(effGetCurrentMidiProgram, 0, 0, midiProgram, 0);
    EXPECT_EQ(current, -1);
    EXPECT_EQ(static_cast<uint32_t>(current), 4294967295u);

    char text[32] = "untouched";
    EXPECT_EQ(effect.dispatcher(effGetProgramNameIndexed, 0, 0, text, 0), 0);
    EXPECT_STREQ(text, "untouched");

    VstSpeakerArrangement arrangement{};
    VstSpeakerArrangement* input = &arrangement;
    VstSpeakerArrangement* output = &arrangement;
    EXPECT_EQ(effect.dispatcher(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input),
                                &output, 0),
              0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST(BaseAnswers, PlugCategoryFollowsTheSynthFlag) {
    BareEffect effect;
    EXPECT_EQ(effect.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0), kPlugCategUnknown);
    effect.isSynth();
    EXPECT_EQ(effect.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0), kPlugCategSynth);
}

TEST(BaseAnswers, OpcodeFortyThreeChangesNeitherRateNorBlockSize) {
    BareEffect effect;
    EXPECT_EQ(effect.dispatcher(effSetBlockSizeAndSampleRate, 0, 64, nullptr, 22050.0f), 0);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

// ---- Editor opcodes ----

TEST(EditorDispatch, WithoutAnEditorNothingIsTouched) {
    BareEffect effect;
    ERect* rect = reinterpret_cast<ERect*>(R1);
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0), 0);
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(R1));
    for (int32_t opcode : {effEditOpen, effEditClose, effEditIdle, effEditKeyDown, effEditKeyUp,
                           effSetEditKnobMode}) {
        EXPECT_EQ(effect.dispatcher(opcode, 65, 1, R1, 2.0f), 0) << opcode;
    }
}

TEST(EditorDispatch, AnAttachedEditorIsCalledAndDestroyedWithTheObject) {
    EditorLog log;
    {
        BareEffect effect;
        auto* editor = new FakeEditor(log);
        effect.attachEditor(editor);

        ERect* rect = nullptr;
        EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0), 1);
        EXPECT_EQ(rect, &editor->area);
        EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, nullptr, 0), 0);
        EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, R1, 0), 1);
        EXPECT_EQ(effect.dispatcher(effEditIdle, 0, 0, nullptr, 0), 0);
        EXPECT_EQ(effect.dispatcher(effEditClose, 0, 0, nullptr, 0), 0);

        // Key record: character from index, low bytes of value and of opt truncated.
        EXPECT_EQ(effect.dispatcher(effEditKeyDown, 'a', 0x1234, nullptr, 0x105 + 0.9f), 1);
        EXPECT_EQ(log.lastKey.character, 'a');
        EXPECT_EQ(log.lastKey.virt, 0x34);
        EXPECT_EQ(log.lastKey.modifier, 0x05);
        EXPECT_EQ(effect.dispatcher(effEditKeyUp, 'b', 7, nullptr, 1e20f), 0);
        EXPECT_EQ(log.lastKey.character, 'b');
        EXPECT_EQ(log.lastKey.modifier, 0); // no integer to truncate to

        EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0), 1);
        EXPECT_EQ(log.knobMode, 2);
        EXPECT_EQ(log.calls, (std::vector<std::string>{"getRect", "open", "idle", "close",
                                                       "onKeyDown", "onKeyUp", "knob"}));
        EXPECT_FALSE(log.destroyed);
    }
    EXPECT_TRUE(log.destroyed);
}

} // namespace
