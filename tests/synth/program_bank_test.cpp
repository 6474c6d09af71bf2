// The 32 programs: selecting, editing, loading and naming them.

#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::string programName(VstXSynth& synth) {
    char name[64];
    std::memset(name, 'x', sizeof name);
    synth.getProgramName(name);
    return name;
}

TEST(Programs, AllStartAsIdenticalDefaults) {
    auto synth = makeSynth();
    for (int p = 0; p < kNumPrograms; ++p) {
        synth->setProgram(p);
        EXPECT_EQ(programName(*synth), "----");
        for (int i = 0; i < kNumParameters; ++i)
            ASSERT_EQ(synth->getParameter(i), kParameterTable[i].defaultValue) << p << ' ' << i;
    }
}

TEST(Programs, AnEditSurvivesSwitchingAwayAndBack) {
    auto synth = makeSynth();
    synth->setParameter(kPulseWidth1, 0.7f);
    synth->setProgram(1);
    EXPECT_EQ(synth->getParameter(kPulseWidth1), 0.5f);
    EXPECT_EQ(synth->programs[1].values[kPulseWidth1], 0.5f);
    EXPECT_EQ(synth->oscillators.pulseWidth1, 256.0);
    synth->setProgram(0);
    EXPECT_EQ(synth->getParameter(kPulseWidth1), 0.7f);
    EXPECT_EQ(synth->oscillators.pulseWidth1, double(0.7f) * 512.0);
}

TEST(Programs, LoadingSetsEveryValueAndLeavesTheRecordUnchanged) {
    auto synth = makeSynth();
    ProgramRecord& record = synth->programs[5];
    for (int i = 0; i < kNumParameters; ++i)
        record.values[i] = static_cast<float>(i) / 40.0f;
    const ProgramRecord before = record;

    synth->setProgram(5);
    EXPECT_EQ(synth->currentProgram(), 5);
    for (int i = 0; i < kNumParameters; ++i) {
        EXPECT_EQ(synth->getParameter(i), before.values[i]) << i;
        EXPECT_EQ(record.values[i], before.values[i]) << i;
    }
    EXPECT_EQ(synth->oscillators.wave2, OscillatorPair::Saw); // 4/40
    EXPECT_EQ(synth->lfo2.destination, Lfo::ToVolume);        // 34/40
    EXPECT_EQ(synth->filter.mode, ResonantFilter::LowPass);   // 14/40
}

TEST(Programs, GlideTypeIsLoadedBeforeGlideAmount) {
    auto synth = makeSynth();
    synth->programs[2].values[kGlideType] = 0.7f;
    synth->programs[2].values[kGlideAmount] = 0.2f;
    synth->programs[3].values[kGlideType] = 0.2f;
    synth->programs[3].values[kGlideAmount] = 0.2f;

    synth->setProgram(2);
    EXPECT_TRUE(synth->oscillators.glideDepthMode);
    EXPECT_EQ(synth->oscillators.glideRate, std::pow(2.0, (1.0 - double(0.2f) * 0.99) * 0.000833));

    synth->setProgram(3);
    EXPECT_FALSE(synth->oscillators.glideDepthMode);
    EXPECT_NEAR(synth->oscillators.glideTime, 0.1296, 1e-6);
}

TEST(Programs, LoadingLeavesTheVoiceAlone) {
    auto synth = makeSynth();
    EventList notes;
    send(*synth, notes.noteOn(60, 100));
    render(*synth, 64);
    const float level = synth->envelope2.level;

    synth->setProgram(7);
    EXPECT_TRUE(synth->voiceActive);
    EXPECT_EQ(synth->currentNote, 60);
    EXPECT_EQ(synth->envelope2.state, Envelope::Attack);
    EXPECT_EQ(synth->envelope2.level, level);
    EXPECT_EQ(synth->noteMemory.slots[0].key, 60);
}

TEST(Programs, NumbersOutsideTheBankAreIgnored) {
    auto synth = makeSynth();
    synth->setProgram(4);
    synth->setProgram(-1);
    synth->setProgram(32);
    EXPECT_EQ(synth->currentProgram(), 4);
}

TEST(ProgramNames, RenamingAffectsOnlyTheCurrentProgram) {
    auto synth = makeSynth();
    std::string name = "Twenty-three characters";
    name.resize(23);
    synth->setProgram(9);
    synth->setProgramName(name.data());
    EXPECT_EQ(programName(*synth), name);
    synth->setProgram(8);
    EXPECT_EQ(programName(*synth), "----");
    synth->setProgram(9);
    EXPECT_EQ(programName(*synth), name);
}

TEST(ProgramNames, LongerNamesAreCutToTheField) {
    auto synth = makeSynth();
    std::string name = "A name far longer than the field can hold";
    synth->setProgramName(name.data());
    EXPECT_EQ(programName(*synth), name.substr(0, 23));
    // The neighbouring record is untouched.
    EXPECT_EQ(synth->programs[1].values[0], 0.0f);
    EXPECT_STREQ(synth->programs[1].name, "----");
}

TEST(ProgramNames, NullBuffersAreLeftAlone) {
    auto synth = makeSynth();
    synth->setProgramName(nullptr);
    synth->getProgramName(nullptr);
    EXPECT_EQ(programName(*synth), "----");
}

} // namespace
