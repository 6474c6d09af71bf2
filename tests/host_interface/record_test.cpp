// The effect record an AudioEffect fills in, and the record functions that forward
// the host's calls to the object.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Record, BaseValuesAfterConstruction) {
    for (AudioMasterCallback host : {AudioMasterCallback{nullptr}, &FakeHost::callback}) {
        BareEffect effect(host, 32, 36);
        const AEffect& record = *effect.getAeffect();

        EXPECT_EQ(record.magic, 0x56737450);
        EXPECT_EQ(record.numPrograms, 32);
        EXPECT_EQ(record.numParams, 36);
        EXPECT_EQ(record.numInputs, 1);
        EXPECT_EQ(record.numOutputs, 2);
        EXPECT_EQ(record.flags, effFlagsCanReplacing);
        EXPECT_EQ(record.resvd1, 0);
        EXPECT_EQ(record.resvd2, 0);
        EXPECT_EQ(record.initialDelay, 0);
        EXPECT_EQ(record.realQualities, 0);
        EXPECT_EQ(record.offQualities, 0);
        EXPECT_EQ(record.ioRatio, 1.0f);
        EXPECT_EQ(record.object, static_cast<AudioEffect*>(&effect));
        EXPECT_EQ(record.user, nullptr);
        EXPECT_EQ(record.uniqueID, 0x4E6F4566); // 'NoEf'
        EXPECT_EQ(record.version, 1);
        EXPECT_NE(record.dispatcher, nullptr);
        EXPECT_NE(record.process, nullptr);
        EXPECT_NE(record.setParameter, nullptr);
        EXPECT_NE(record.getParameter, nullptr);
        EXPECT_NE(record.processReplacing, nullptr);
        EXPECT_NE(record.processDoubleReplacing, nullptr);
        const char zeros[sizeof(record.future)] = {};
        EXPECT_EQ(std::memcmp(record.future, zeros, sizeof(zeros)), 0);

        EXPECT_EQ(effect.host(), host);
        EXPECT_EQ(effect.getSampleRate(), 44100.0f);
        EXPECT_EQ(effect.getBlockSize(), 1024);
        EXPECT_EQ(effect.programCount(), 32);
        EXPECT_EQ(effect.paramCount(), 36);
        EXPECT_EQ(effect.getProgram(), 0);
        EXPECT_EQ(effect.getEditor(), nullptr);
    }
}

TEST(Record, SettersWriteTheirField) {
    BareEffect effect;
    effect.setUniqueID(fourCharCode('q', 'l', 'o', '1'));
    effect.setNumInputs(0);
    effect.setNumOutputs(6);
    effect.setInitialDelay(128);
    effect.setRealtimeQualities(3);
    effect.setOfflineQualities(4);
    const AEffect& record = *effect.getAeffect();
    EXPECT_EQ(record.uniqueID, 1902931761);
    EXPECT_EQ(record.numInputs, 0);
    EXPECT_EQ(record.numOutputs, 6);
    EXPECT_EQ(record.initialDelay, 128);
    EXPECT_EQ(record.realQualities, 3);
    EXPECT_EQ(record.offQualities, 4);
}

TEST(RecordFunctions, ForwardToTheObjectsOperations) {
    ProbeEffect effect;
    AEffect* record = effect.getAeffect();
    float left[4], right[4];
    float* buffers[] = {left, right};
    double* doubles[2] = {};

    record->setParameter(record, 7, 0.25f);
    EXPECT_EQ(record->getParameter(record, 7), 0.625f);
    record->processReplacing(record, nullptr, buffers, 4);
    record->processDoubleReplacing(record, doubles, doubles, 3);
    record->process(record, buffers, buffers, 2);
    EXPECT_EQ(record->dispatcher(record, effGetVstVersion, 0, 0, nullptr, 0), 77);

    // setParameter is not the automated variant: the host hears nothing of it.
    const std::vector<OpCall> expected = {
        {"setParameter", 7, 0, nullptr, nullptr, 0.25f},
        {"getParameter", 7},
        {"processReplacing", 4, 0, nullptr, buffers},
        {"processDoubleReplacing", 3, 0, doubles, doubles},
        {"process", 2, 0, buffers, buffers},
        {"getVstVersion"},
    };
    EXPECT_EQ(effect.calls, expected);
}

// A probe on the heap that reports its own destruction.
class ClosingEffect : public BareEffect {
  public:
    ClosingEffect(int& closes, bool& destroyed) : closes(closes), destroyed(destroyed) {}
    ~ClosingEffect() override { destroyed = true; }
    void close() override { ++closes; }

  private:
    int& closes;
    bool& destroyed;
};

TEST(RecordFunctions, CloseRunsTheObjectsCloseThenDestroysItAndAnswersOne) {
    int closes = 0;
    bool destroyed = false;
    auto* effect = new ClosingEffect(closes, destroyed);
    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0), 0);
    EXPECT_FALSE(destroyed);

    AEffect* record = effect->getAeffect();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(destroyed);
}

} // namespace
