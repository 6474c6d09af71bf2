// Calls back into the host: opcode and fields of each request, the result made of the
// host's answer, and the answer without a host. Then the flag setters.

#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

int someRecord;
char someText[32];
void* const R = &someRecord;

struct HostCallRow {
    const char* name;
    HostCall request; // effect is filled in by the test
    intptr_t hostAnswer;
    intptr_t result;
    intptr_t resultWithoutHost;
    std::function<intptr_t(BareEffect&)> call;
};

intptr_t address(const void* pointer) {
    return reinterpret_cast<intptr_t>(pointer);
}

const std::vector<HostCallRow>& rows() {
    using E = BareEffect;
    const intptr_t AR = address(R), AT = address(someText); // host answers that are addresses
    // clang-format off
    static const std::vector<HostCallRow> table = {
        // name, request, host's answer, result, result without a host
        {"getMasterVersion", {nullptr, audioMasterVersion}, 2400, 2400, 1,
         [](E& e) { return e.getMasterVersion(); }},
        {"getMasterVersion of 0", {nullptr, audioMasterVersion}, 0, 1, 1,
         [](E& e) { return e.getMasterVersion(); }},
        {"getCurrentUniqueId", {nullptr, audioMasterCurrentId}, 1234, 1234, 0,
         [](E& e) { return e.getCurrentUniqueId(); }},
        {"isInputConnected", {nullptr, audioMasterPinConnected, 3, 0}, 0, 1, 1,
         [](E& e) { return intptr_t{e.isInputConnected(3)}; }},
        {"isInputConnected, host says no", {nullptr, audioMasterPinConnected, 3, 0}, 1, 0, 1,
         [](E& e) { return intptr_t{e.isInputConnected(3)}; }},
        {"isOutputConnected", {nullptr, audioMasterPinConnected, 1, 1}, 0, 1, 1,
         [](E& e) { return intptr_t{e.isOutputConnected(1)}; }},
        {"getTimeInfo", {nullptr, audioMasterGetTime, 0, kVstTempoValid}, AR, AR, 0,
         [](E& e) { return address(e.getTimeInfo(kVstTempoValid)); }},
        {"tempoAt", {nullptr, audioMasterTempoAt, 0, 4410}, 1200000, 1200000, 0,
         [](E& e) { return intptr_t{e.tempoAt(4410)}; }},
        {"getNumAutomatableParameters", {nullptr, audioMasterGetNumAutomatableParameters}, 8, 8, 0,
         [](E& e) { return e.getNumAutomatableParameters(); }},
        {"getParameterQuantization", {nullptr, audioMasterGetParameterQuantization}, 16, 16, 0,
         [](E& e) { return e.getParameterQuantization(); }},
        {"ioChanged", {nullptr, audioMasterIOChanged}, 5, 1, 0,
         [](E& e) { return intptr_t{e.ioChanged()}; }},
        {"needIdle", {nullptr, audioMasterNeedIdle}, 0, 0, 0,
         [](E& e) { return intptr_t{e.needIdle()}; }},
        {"sizeWindow", {nullptr, audioMasterSizeWindow, 640, 480}, 1, 1, 0,
         [](E& e) { return intptr_t{e.sizeWindow(640, 480)}; }},
        {"getInputLatency", {nullptr, audioMasterGetInputLatency}, 64, 64, 0,
         [](E& e) { return e.getInputLatency(); }},
        {"getOutputLatency", {nullptr, audioMasterGetOutputLatency}, 65, 65, 0,
         [](E& e) { return e.getOutputLatency(); }},
        {"getPreviousPlug", {nullptr, audioMasterGetPreviousPlug}, AR, AR, 0,
         [](E& e) { return address(e.getPreviousPlug(2)); }},
        {"getNextPlug", {nullptr, audioMasterGetNextPlug}, AR, AR, 0,
         [](E& e) { return address(e.getNextPlug(2)); }},
        {"willProcessReplacing", {nullptr, audioMasterWillReplaceOrAccumulate}, 2, 2, 0,
         [](E& e) { return e.willProcessReplacing(); }},
        {"getCurrentProcessLevel", {nullptr, audioMasterGetCurrentProcessLevel}, 4, 4, 0,
         [](E& e) { return e.getCurrentProcessLevel(); }},
        {"getAutomationState", {nullptr, audioMasterGetAutomationState}, 3, 3, 0,
         [](E& e) { return e.getAutomationState(); }},
        {"offlineStart", {nullptr, audioMasterOfflineStart, 2, 5, R}, 1, 1, 0,
         [](E& e) { return intptr_t{e.offlineStart(static_cast<VstAudioFile*>(R), 5, 2)}; }},
        {"offlineRead", {nullptr, audioMasterOfflineRead, 1, 7, R}, 9, 1, 0,
         [](E& e) { return intptr_t{e.offlineRead(static_cast<VstOfflineTask*>(R), 7, true)}; }},
        {"offlineRead, not the source", {nullptr, audioMasterOfflineRead, 0, 7, R}, 0, 0, 0,
         [](E& e) { return intptr_t{e.offlineRead(static_cast<VstOfflineTask*>(R), 7, false)}; }},
        {"offlineWrite", {nullptr, audioMasterOfflineWrite, 0, 6, R}, 1, 1, 0,
         [](E& e) { return intptr_t{e.offlineWrite(static_cast<VstOfflineTask*>(R), 6)}; }},
        {"offlineGetCurrentPass", {nullptr, audioMasterOfflineGetCurrentPass}, 42, 1, 0,
         [](E& e) { return e.offlineGetCurrentPass(); }},
        {"offlineGetCurrentMetaPass", {nullptr, audioMasterOfflineGetCurrentMetaPass}, -3, 1, 0,
         [](E& e) { return e.offlineGetCurrentMetaPass(); }},
        {"getOutputSpeakerArrangement",
         {nullptr, audioMasterGetOutputSpeakerArrangement}, AR, AR, 0,
         [](E& e) { return address(e.getOutputSpeakerArrangement()); }},
        {"getInputSpeakerArrangement",
         {nullptr, audioMasterGetInputSpeakerArrangement}, AR, AR, 0,
         [](E& e) { return address(e.getInputSpeakerArrangement()); }},
        {"getHostVendorString", {nullptr, audioMasterGetVendorString, 0, 0, someText}, 1, 1, 0,
         [](E& e) { return intptr_t{e.getHostVendorString(someText)}; }},
        {"getHostProductString", {nullptr, audioMasterGetProductString, 0, 0, someText}, 0, 0, 0,
         [](E& e) { return intptr_t{e.getHostProductString(someText)}; }},
        {"getHostVendorVersion", {nullptr, audioMasterGetVendorVersion}, 1100, 1100, 0,
         [](E& e) { return e.getHostVendorVersion(); }},
        {"hostVendorSpecific", {nullptr, audioMasterVendorSpecific, 1, 2, R, 0.5f}, -77, -77, 0,
         [](E& e) { return e.hostVendorSpecific(1, 2, R, 0.5f); }},
        {"canHostDo", {nullptr, audioMasterCanDo, 0, 0, someText}, -1, 1, 0,
         [](E& e) { return intptr_t{e.canHostDo(someText)}; }},
        {"getHostLanguage", {nullptr, audioMasterGetLanguage}, 2, 2, 0,
         [](E& e) { return e.getHostLanguage(); }},
        {"openWindow", {nullptr, audioMasterOpenWindow, 0, 0, R}, AT, AT, 0,
         [](E& e) { return address(e.openWindow(static_cast<VstWindow*>(R))); }},
        {"closeWindow", {nullptr, audioMasterCloseWindow, 0, 0, R}, 1, 1, 0,
         [](E& e) { return intptr_t{e.closeWindow(static_cast<VstWindow*>(R))}; }},
        {"getDirectory", {nullptr, audioMasterGetDirectory}, AT, AT, 0,
         [](E& e) { return address(e.getDirectory()); }},
        {"updateDisplay", {nullptr, audioMasterUpdateDisplay}, 1, 1, 0,
         [](E& e) { return intptr_t{e.updateDisplay()}; }},
        {"beginEdit", {nullptr, audioMasterBeginEdit, 12}, 1, 1, 0,
         [](E& e) { return intptr_t{e.beginEdit(12)}; }},
        {"endEdit", {nullptr, audioMasterEndEdit, 12}, 1, 1, 0,
         [](E& e) { return intptr_t{e.endEdit(12)}; }},
        {"openFileSelector", {nullptr, audioMasterOpenFileSelector, 0, 0, R}, 1, 1, 0,
         [](E& e) { return intptr_t{e.openFileSelector(static_cast<VstFileSelect*>(R))}; }},
        {"closeFileSelector", {nullptr, audioMasterCloseFileSelector, 0, 0, R}, 1, 1, 0,
         [](E& e) { return intptr_t{e.closeFileSelector(static_cast<VstFileSelect*>(R))}; }},
        {"getChunkFile", {nullptr, audioMasterGetChunkFile, 0, 0, R}, 1, 1, 0,
         [](E& e) { return intptr_t{e.getChunkFile(R)}; }},
        {"masterIdle", {nullptr, audioMasterIdle}, 1, 0, 0,
         [](E& e) { return e.masterIdle(), intptr_t{0}; }},
        {"wantEvents", {nullptr, audioMasterWantMidi, 0, 1}, 1, 0, 0,
         [](E& e) { return e.wantEvents(), intptr_t{0}; }},
        {"setOutputSamplerate",
         {nullptr, audioMasterSetOutputSampleRate, 0, 0, nullptr, 96000.0f}, 1, 0, 0,
         [](E& e) { return e.setOutputSamplerate(96000.0f), intptr_t{0}; }},
    };
    // clang-format on
    return table;
}

TEST(HostCalls, EachRequestCarriesItsOpcodeAndFields) {
    for (const HostCallRow& row : rows()) {
        SCOPED_TRACE(row.name);
        FakeHost::reset();
        FakeHost::answers[row.request.opcode] = row.hostAnswer;
        BareEffect effect(&FakeHost::callback);
        EXPECT_EQ(row.call(effect), row.result);

        HostCall expected = row.request;
        expected.effect = effect.getAeffect();
        ASSERT_EQ(FakeHost::calls.size(), 1u);
        EXPECT_EQ(FakeHost::calls[0], expected);
    }
}

TEST(HostCalls, WithoutAHostEachAnswersItsDefault) {
    for (const HostCallRow& row : rows()) {
        BareEffect effect;
        EXPECT_EQ(row.call(effect), row.resultWithoutHost) << row.name;
    }
}

TEST(HostCalls, NullSelectorsAndPathsAreRefusedBeforeAsking) {
    FakeHost::reset();
    FakeHost::answers[audioMasterOpenFileSelector] = 1;
    BareEffect effect(&FakeHost::callback);
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(FakeHost::calls.empty());
}

TEST(HostCalls, SetParameterAutomatedSetsThenReports) {
    struct Effect : BareEffect {
        using BareEffect::BareEffect;
        void setParameter(int32_t index, float value) override {
            lastIndex = index;
            lastValue = value;
            hostCallsBefore = FakeHost::calls.size();
        }
        int32_t lastIndex = -1;
        float lastValue = 0.0f;
        size_t hostCallsBefore = 99;
    };

    FakeHost::reset();
    FakeHost::answers[audioMasterAutomate] = 5;
    Effect effect(&FakeHost::callback);
    effect.setParameterAutomated(9, 0.75f);
    EXPECT_EQ(effect.lastIndex, 9);
    EXPECT_EQ(effect.lastValue, 0.75f);
    EXPECT_EQ(effect.hostCallsBefore, 0u);
    ASSERT_EQ(FakeHost::calls.size(), 1u);
    EXPECT_EQ(FakeHost::calls[0],
              (HostCall{effect.getAeffect(), audioMasterAutomate, 9, 0, nullptr, 0.75f}));

    Effect alone;
    alone.setParameterAutomated(3, 0.5f);
    EXPECT_EQ(alone.lastIndex, 3);
    EXPECT_EQ(alone.lastValue, 0.5f);
}

TEST(HostCalls, UpdateSampleRateAndBlockSizeKeepTheOldValueOnNonPositiveAnswers) {
    FakeHost::reset();
    BareEffect effect(&FakeHost::callback);

    FakeHost::answers[audioMasterGetSampleRate] = 0;
    FakeHost::answers[audioMasterGetBlockSize] = -1;
    EXPECT_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);

    FakeHost::answers[audioMasterGetSampleRate] = 48000;
    FakeHost::answers[audioMasterGetBlockSize] = 512;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.updateBlockSize(), 512);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    EXPECT_EQ(effect.getBlockSize(), 512);

    BareEffect alone;
    EXPECT_EQ(alone.updateSampleRate(), 44100.0);
    EXPECT_EQ(alone.updateBlockSize(), 1024);
}

TEST(FlagSetters, EachSetsAndClearsOnlyItsBit) {
    using Setter = void (*)(BareEffect&, bool);
    const std::pair<Setter, int32_t> setters[] = {
        {[](BareEffect& e, bool s) { e.canProcessReplacing(s); }, 0x10},
        {[](BareEffect& e, bool s) { e.canDoubleReplacing(s); }, 0x1000},
        {[](BareEffect& e, bool s) { e.programsAreChunks(s); }, 0x20},
        {[](BareEffect& e, bool s) { e.hasVu(s); }, 0x4},
        {[](BareEffect& e, bool s) { e.hasClip(s); }, 0x2},
        {[](BareEffect& e, bool s) { e.canMono(s); }, 0x8},
        {[](BareEffect& e, bool s) { e.isSynth(s); }, 0x100},
        {[](BareEffect& e, bool s) { e.noTail(s); }, 0x200},
        {[](BareEffect& e, bool s) { e.wantAsyncOperation(s); }, 0x400},
        {[](BareEffect& e, bool s) { e.hasExternalBuffer(s); }, 0x800},
    };
    for (const auto& [setter, bit] : setters) {
        BareEffect effect;
        int32_t& flags = effect.getAeffect()->flags;
        flags = 0x5A5A & ~bit;
        setter(effect, true);
        EXPECT_EQ(flags, (0x5A5A & ~bit) | bit) << bit;
        setter(effect, false);
        EXPECT_EQ(flags, 0x5A5A & ~bit) << bit;
    }

    BareEffect synth;
    synth.isSynth();
    EXPECT_EQ(synth.getAeffect()->flags, 0x110);
    synth.canProcessReplacing(false);
    EXPECT_EQ(synth.getAeffect()->flags, 0x100);
}

} // namespace
