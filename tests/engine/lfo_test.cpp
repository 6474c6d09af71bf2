#include "engine/lfo.h"

#include "engine/random_source.h"
#include "lcg_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

Lfo lfoAt44100(float shape, float depth) {
    Lfo lfo;
    lfo.setSampleRate(44100);
    lfo.setShape(shape);
    lfo.depth = depth;
    return lfo;
}

TEST(Lfo, RateRunsFromATenthTo50Point1Hz) {
    Lfo lfo = lfoAt44100(0, 1);
    lfo.setRate(0);
    EXPECT_EQ(lfo.increment, static_cast<float>(static_cast<double>(0.1f) * (512.0 / 44100)));
    EXPECT_NEAR(lfo.increment, 0.0011610, 1e-7); // a cycle of about 441000 samples
    lfo.setRate(1);
    EXPECT_EQ(lfo.increment,
              static_cast<float>((50.0 + static_cast<double>(0.1f)) * (512.0 / 44100)));

    lfo.phase = 100;
    lfo.setSampleRate(48000); // keeps the increment and the phase until the rate is set again
    EXPECT_EQ(lfo.increment,
              static_cast<float>((50.0 + static_cast<double>(0.1f)) * (512.0 / 44100)));
    EXPECT_EQ(lfo.phase, 100.0);
}

TEST(Lfo, BoundariesBelongToTheUpperChoice) {
    Lfo lfo;
    const std::pair<float, Lfo::Shape> shapes[] = {{0.2499f, Lfo::Sine},
                                                   {0.25f, Lfo::Square},
                                                   {0.5f, Lfo::Saw},
                                                   {0.75f, Lfo::SampleAndHold},
                                                   {1.0f, Lfo::SampleAndHold}};
    for (const auto& [x, shape] : shapes) {
        lfo.setShape(x);
        EXPECT_EQ(lfo.shape, shape) << x;
    }
    const std::pair<float, Lfo::Destination> destinations[] = {{0.1999f, Lfo::ToNothing},
                                                               {0.2f, Lfo::ToPitch},
                                                               {0.4f, Lfo::ToPulseWidth},
                                                               {0.6f, Lfo::ToCutoff},
                                                               {0.8f, Lfo::ToVolume}};
    for (const auto& [x, destination] : destinations) {
        lfo.setDestination(x);
        EXPECT_EQ(lfo.destination, destination) << x;
    }
}

TEST(Lfo, SquareAndSawFollowThePhase) {
    float held = 0;
    Lfo square = lfoAt44100(0.25f, 0.5f);
    square.increment = 128;
    for (float expected : {-0.5f, 0.5f, 0.5f, 0.5f, -0.5f}) // 128, 256, 384, 512 (stays), 128
        EXPECT_EQ(square.tick(held), expected);

    Lfo saw = lfoAt44100(0.5f, 1);
    saw.increment = 1;
    saw.phase = 510.5;
    EXPECT_EQ(saw.tick(held), static_cast<float>(511.5 / 256 - 1)); // just before the wrap
    EXPECT_EQ(saw.tick(held), static_cast<float>(0.5 / 256 - 1));   // just after it
}

TEST(Lfo, SineInterpolatesItsOwnTable) {
    Lfo lfo = lfoAt44100(0, 0.8f);
    lfo.setRate(0.3f);
    float held = 0;
    double phase = 0;
    for (int i = 0; i < 20000; ++i) {
        phase += lfo.increment;
        if (phase > 512) phase -= 512;
        const int index = static_cast<int>(phase);
        const double a = static_cast<float>(std::sin(index * 6.283185307179586 * 0.001953125));
        const double b =
            static_cast<float>(std::sin(((index + 1) & 511) * 6.283185307179586 * 0.001953125));
        const float value = static_cast<float>(a + (b - a) * (phase - index));
        ASSERT_EQ(lfo.tick(held), static_cast<float>(static_cast<double>(0.8f) * value)) << i;
    }
}

TEST(Lfo, SampleAndHoldIsSharedAndRenewedOnEachWrap) {
    Lfo first = lfoAt44100(1, 1);
    Lfo second = lfoAt44100(1, 0.5f);
    first.increment = 200; // wraps on its third tick
    second.increment = 1;  // never wraps here
    random_source::seed = 12345;
    float held = 0;

    EXPECT_EQ(first.tick(held), 0.0f); // nothing drawn yet
    EXPECT_EQ(first.tick(held), 0.0f);
    EXPECT_EQ(second.tick(held), 0.0f);
    const uint32_t drawn = lcg_reference::step(12345);
    const float value = static_cast<float>(lcg_reference::resultOf(drawn) / 32767.0 * 2.0 - 1.0);
    EXPECT_EQ(first.tick(held), value);
    EXPECT_EQ(held, value);
    EXPECT_EQ(second.tick(held), static_cast<float>(0.5 * value)); // each scales by its depth
    EXPECT_EQ(random_source::seed, drawn);

    first.depth = 0; // silent, but still draws on its wraps
    first.phase = 511;
    EXPECT_EQ(first.tick(held), 0.0f);
    EXPECT_EQ(random_source::seed, lcg_reference::step(drawn));
}

} // namespace
