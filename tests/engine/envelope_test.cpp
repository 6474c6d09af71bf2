#include "engine/envelope.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

Envelope envelopeAt44100() {
    Envelope env;
    env.setSampleRate(44100);
    return env;
}

std::vector<float> ticks(Envelope& env, int count) {
    std::vector<float> levels;
    for (int i = 0; i < count; ++i)
        levels.push_back(env.tick());
    return levels;
}

TEST(Envelope, TimesBecomeStepsWhenSet) {
    Envelope env = envelopeAt44100();
    const float shortest = static_cast<float>(1.0 / (44100.0 * static_cast<double>(0.001f)));
    env.setAttack(0);
    EXPECT_EQ(env.attackStep, shortest);
    EXPECT_NEAR(env.attackStep, 0.022675736, 1e-9);
    env.setDecay(-3);
    EXPECT_EQ(env.decayStep, shortest);
    env.setRelease(2);
    EXPECT_EQ(env.releaseStep, static_cast<float>(1.0 / 88200.0));

    env.setSampleRate(48000); // steps keep their 44100 values until set again
    EXPECT_EQ(env.attackStep, shortest);
    EXPECT_EQ(env.releaseStep, static_cast<float>(1.0 / 88200.0));
}

TEST(Envelope, AttackEndsExactlyAtOne) {
    Envelope env = envelopeAt44100();
    env.setAttack(0);
    env.start();
    const std::vector<float> levels = ticks(env, 45);
    EXPECT_LT(levels[43], 1.0f);
    EXPECT_EQ(levels[44], 1.0f); // the 45th tick
    EXPECT_EQ(env.state, Envelope::Decay);

    env.attackStep = 0.25f;
    env.start();
    EXPECT_EQ(ticks(env, 4), (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
    EXPECT_EQ(env.state, Envelope::Decay);
}

TEST(Envelope, DecayStopsAtTheSustainLevel) {
    Envelope env = envelopeAt44100();
    env.decayStep = 0.3f;

    env.setSustain(1);
    env.level = 1;
    env.state = Envelope::Decay;
    EXPECT_EQ(env.tick(), 1.0f);
    EXPECT_EQ(env.state, Envelope::Sustain);

    env.setSustain(-0.2f);
    EXPECT_EQ(env.sustainLevel, 0.0f);
    env.level = 1;
    env.state = Envelope::Decay;
    ticks(env, 3);
    EXPECT_EQ(env.state, Envelope::Decay);
    EXPECT_EQ(env.tick(), 0.0f); // 1 - 4 x 0.3 < 0: clamped to the sustain level
    EXPECT_EQ(env.state, Envelope::Sustain);
    EXPECT_EQ(env.tick(), 0.0f); // held, not finished

    env.setSustain(0.5f); // sustain follows at once
    EXPECT_EQ(env.tick(), 0.5f);

    env.setSustain(1.5f); // no upper clamp: decay ends on its first tick, raised to 1.5
    env.level = 1;
    env.state = Envelope::Decay;
    EXPECT_EQ(env.tick(), 1.5f);
    EXPECT_EQ(env.state, Envelope::Sustain);

    env.setSustain(0.2f); // raised above the level mid-decay: jumps up to it
    env.level = 0.5f;
    env.state = Envelope::Decay;
    env.tick();
    env.setSustain(0.45f);
    EXPECT_EQ(env.tick(), 0.45f);
}

TEST(Envelope, ReleaseFromTheCurrentLevelToFinished) {
    Envelope env = envelopeAt44100();
    env.releaseStep = 0.125f;
    env.attackStep = 0.25f;
    env.start();
    ticks(env, 2); // 0.5, still in attack
    env.release();
    EXPECT_EQ(ticks(env, 6), (std::vector<float>{0.375f, 0.25f, 0.125f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(env.state, Envelope::Finished);

    env.release(); // a released finished envelope finishes again on its next tick
    EXPECT_EQ(env.tick(), 0.0f);
    EXPECT_EQ(env.state, Envelope::Finished);

    env.start();
    EXPECT_EQ(env.tick(), 0.25f);
}

} // namespace
