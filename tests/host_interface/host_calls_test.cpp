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
    std::function<intptr_t(BareEffect&)> call;
    HostCall request; // effect is filled in by the test
    intptr_t hostAnswer;
    intptr_t result;
    intptr_t resultWithoutHost;
};

intptr_t address(const void* pointer) {
    return reinterpret_cast<intptr_t>(pointer);
}

const std::vector<HostCallRow>& rows() {
    using E = BareEffect;
    static const std::vector<HostCallRow> table = {
        {"getMasterVersion",
         [](E& e) { return e.getMasterVersion(); },
         {nullptr, audioMasterVersion},
         2400,
         2400,
         1},
        {"getMasterVersion of 0",
         [](E& e) { return e.getMasterVersion(); },
         {nullptr, audioMasterVersion},
         0,
         1,
         1},
        {"getCurrentUniqueId",
         [](E& e) { return e.getCurrentUniqueId(); },
         {nullptr, audioMasterCurrentId},
         1234,
         1234,
         0},
        {"isInputConnected",
         [](E& e) { return intptr_t{e.isInputConnected(3)}; },
         {nullptr, audioMasterPinConnected, 3, 0},
         0,
         1,
         1},
        {"isInputConnected, host says no",
         [](E& e) { return intptr_t{e.isInputConnected(3)}; },
         {nullptr, audioMasterPinConnected, 3, 0},
         1,
         0,
         1},
        {"isOutputConnected",
         [](E& e) { return intptr_t{e.isOutputConnected(1)}; },
         {nullptr, audioMasterPinConnected, 1, 1},
         0,
         1,
         1},
        {"getTimeInfo",
         [](E& e) { return address(e.getTimeInfo(kVstTempoValid)); },
         {nullptr, audioMasterGetTime, 0, kVstTempoValid},
         address(R),
         address(R),
         0},
        {"tempoAt",
         [](E& e) { return intptr_t{e.tempoAt(4410)}; },
         {nullptr, audioMasterTempoAt, 0, 4410},
         1200000,
         1200000,
         0},
        {"getNumAutomatableParameters",
         [](E& e) { return e.getNumAutomatableParameters(); },
         {nullptr, audioMasterGetNumAutomatableParameters},
         8,
         8,
         0},
        {"getParameterQuantization",
         [](E& e) { return e.getParameterQuantization(); },
         {nullptr, audioMasterGetParameterQuantization},
         16,
         16,
         0},
        {"ioChanged",
         [](E& e) { return intptr_t{e.ioChanged()}; },
         {nullptr, audioMasterIOChanged},
         5,
         1,
         0},
        {"needIdle",
         [](E& e) { return intptr_t{e.needIdle()}; },
         {nullptr, audioMasterNeedIdle},
         0,
         0,
         0},
        {"sizeWindow",
         [](E& e) { return intptr_t{e.sizeWindow(640, 480)}; },
         {nullptr, audioMasterSizeWindow, 640, 480},
         1,
         1,
         0},
        {"getInputLatency",
         [](E& e) { return e.getInputLatency(); },
         {nullptr, audioMasterGetInputLatency},
         64,
         64,
         0},
        {"getOutputLatency",
         [](E& e) { return e.getOutputLatency(); },
         {nullptr, audioMasterGetOutputLatency},
         65,
         65,
         0},
        {"getPreviousPlug",
         [](E& e) { return address(e.getPreviousPlug(2)); },
         {nullptr, audioMasterGetPreviousPlug},
         address(R),
         address(R),
         0},
        {"getNextPlug",
         [](E& e) { return address(e.getNextPlug(2)); },
         {nullptr, audioMasterGetNextPlug},
         address(R),
         address(R),
         0},
        {"willProcessReplacing",
         [](E& e) { return e.willProcessReplacing(); },
         {nullptr, audioMasterWillReplaceOrAccumulate},
         2,
         2,
         0},
        {"getCurrentProcessLevel",
         [](E& e) { return e.getCurrentProcessLevel(); },
         {nullptr, audioMasterGetCurrentProcessLevel},
         4,
         4,
         0},
        {"getAutomationState",
         [](E& e) { return e.getAutomationState(); },
         {nullptr, audioMasterGetAutomationState},
         3,
         3,
         0},
        {"offlineStart",
         [](E& e) { return intptr_t{e.offlineStart(static_cast<VstAudioFile*>(R), 5, 2)}; },
         {nullptr, audioMasterOfflineStart, 2, 5, R},
         1,
         1,
         0},
        {"offlineRead",
         [](E& e) { return intptr_t{e.offlineRead(static_cast<VstOfflineTask*>(R), 7, true)}; },
         {nullptr, audioMasterOfflineRead, 1, 7, R},
         9,
         1,
         0},
        {"offlineRead, not the source",
         [](E& e) { return intptr_t{e.offlineRead(static_cast<VstOfflineTask*>(R), 7, false)}; },
         {nullptr, audioMasterOfflineRead, 0, 7, R},
         0,
         0,
         0},
        {"offlineWrite",
         [](E& e) { return intptr_t{e.offlineWrite(static_cast<VstOfflineTask*>(R), 6)}; },
         {nullptr, audioMasterOfflineWrite, 0, 6, R},
         1,
         1,
         0},
        {"offlineGetCurrentPass",
         [](E& e) { return e.offlineGetCurrentPass(); },
         {nullptr, audioMasterOfflineGetCurrentPass},
         42,
         1,
         0},
        {"offlineGetCurrentMetaPass",
         [](E& e) { return e.offlineGetCurrentMetaPass(); },
         {nullptr, audioMasterOfflineGetCurrentMetaPass},
         -3,
         1,
         0},
        {"getOutputSpeakerArrangement",
         [](E& e) { return address(e.getOutputSpeakerArrangement()); },
         {nullptr, audioMasterGetOutputSpeakerArrangement},
         address(R),
         address(R),
         0},
        {"getInputSpeakerArrangement",
         [](E& e) { return address(e.getInputSpeakerArrangement()); },
         {nullptr, audioMasterGetInputSpeakerArrangement},
         address(R),
         address(R),
         0},
        {"getHostVendorString",
         [](E& e) { return intptr_t{e.getHostVendorString(someText)}; },
         {nullptr, audioMasterGetVendorString, 0, 0, someText},
         1,
         1,
         0},
        {"getHostProductString",
         [](E& e) { return intptr_t{e.getHostProductString(someText)}; },
         {nullptr, audioMasterGetProductString, 0, 0, someText},
         0,
         0,
         0},
        {"getHostVendorVersion",
         [](E& e) { return e.getHostVendorVersion(); },
         {nullptr, audioMasterGetVendorVersion},
         1100,
         1100,
         0},
        {"hostVendorSpecific",
         [](E& e) { return e.hostVendorSpecific(1, 2, R, 0.5f); },
         {nullptr, audioMasterVendorSpecific, 1, 2, R, 0.5f},
         -77,
         -77,
         0},
        {"canHostDo",
         [](E& e) { return intptr_t{e.canHostDo(someText)}; },
         {nullptr, audioMasterCanDo, 0, 0, someText},
         -1,
         1,
         0},
        {"getHostLanguage",
         [](E& e) { return e.getHostLanguage(); },
         {nullptr, audioMasterGetLanguage},
         2,
         2,
         0},
        {"openWindow",
         [](E& e) { return address(e.openWindow(static_cast<VstWindow*>(R))); },
         {nullptr, audioMasterOpenWindow, 0, 0, R},
         address(someText),
         address(someText),
         0},
        {"closeWindow",
         [](E& e) { return intptr_t{e.closeWindow(static_cast<VstWindow*>(R))}; },
         {nullptr, audioMasterCloseWindow, 0, 0, R},
         1,
         1,
         0},
        {"getDirectory",
         [](E& e) { return address(e.getDirectory()); },
         {nullptr, audioMasterGetDirectory},
         address(someText),
         address(someText),
         0},
        {"updateDisplay",
         [](E& e) { return intptr_t{e.updateDisplay()}; },
         {nullptr, audioMasterUpdateDisplay},
         1,
         1,
         0},
        {"beginEdit",
         [](E& e) { return intptr_t{e.beginEdit(12)}; },
         {nullptr, audioMasterBeginEdit, 12},
         1,
         1,
         0},
        {"endEdit",
         [](E& e) { return intptr_t{e.endEdit(12)}; },
         {nullptr, audioMasterEndEdit, 12},
         1,
         1,
         0},
        {"openFileSelector",
         [](E& e) { return intptr_t{e.openFileSelector(static_cast<VstFileSelect*>(R))}; },
         {nullptr, audioMasterOpenFileSelector, 0, 0, R},
         1,
         1,
         0},
        {"closeFileSelector",
         [](E& e) { return intptr_t{e.closeFileSelector(static_cast<VstFileSelect*>(R))}; },
         {nullptr, audioMasterCloseFileSelector, 0, 0, R},
         1,
         1,
         0},
        {"getChunkFile",
         [](E& e) { return intptr_t{e.getChunkFile(R)}; },
         {nullptr, audioMasterGetChunkFile, 0, 0, R},
         1,
         1,
         0},
        {"masterIdle",
         [](E& e) { return e.masterIdle(), intptr_t{0}; },
         {nullptr, audioMasterIdle},
         1,
         0,
         0},
        {"wantEvents",
         [](E& e) { return e.wantEvents(), intptr_t{0}; },
         {nullptr, audioMasterWantMidi, 0, 1},
         1,
         0,
         0},
        {"setOutputSamplerate",
         [](E& e) { return e.setOutputSamplerate(96000.0f), intptr_t{0}; },
         {nullptr, audioMasterSetOutputSampleRate, 0, 0, nullptr, 96000.0f},
         1,
         0,
         0},
    };
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
