// Speaker arrangements: allocation, copying of speakers, matching a source.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

VstSpeakerProperties speaker(float azimuth, const char* name, int32_t type) {
    VstSpeakerProperties result{};
    result.azimuth = azimuth;
    result.elevation = azimuth / 2;
    result.radius = 1.0f;
    result.reserved = 0.25f;
    std::strncpy(result.name, name, sizeof(result.name));
    result.type = type;
    std::memset(result.future, 0x3C, sizeof(result.future));
    return result;
}

TEST(SpeakerArrangement, AllocateGivesAZeroFilledBlockAndReplacesAnOldOne) {
    BareEffect effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 3));
    ASSERT_NE(arrangement, nullptr);
    EXPECT_EQ(arrangement->type, 0);
    EXPECT_EQ(arrangement->numChannels, 3);
    const VstSpeakerProperties zero{};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::memcmp(&arrangement->speakers[i], &zero, sizeof(zero)), 0);
    }

    // The old block is released (the sanitizer build would report a leak otherwise).
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 1));
    EXPECT_EQ(arrangement->numChannels, 1);

    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_TRUE(effect.deallocateArrangement(nullptr));
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
}

TEST(SpeakerArrangement, CopySpeakerCutsTheNameTo63Characters) {
    BareEffect effect;
    VstSpeakerProperties from = speaker(30.0f, "", 4);
    std::memset(from.name, 'n', sizeof(from.name)); // 64 characters, no terminator
    VstSpeakerProperties to{};
    std::memset(&to, 0x7F, sizeof(to));

    ASSERT_TRUE(effect.copySpeaker(&to, &from));
    EXPECT_EQ(std::string(to.name), std::string(63, 'n'));
    EXPECT_EQ(to.azimuth, 30.0f);
    EXPECT_EQ(to.elevation, 15.0f);
    EXPECT_EQ(to.radius, 1.0f);
    EXPECT_EQ(to.reserved, 0.25f);
    EXPECT_EQ(to.type, 4);
    EXPECT_EQ(std::memcmp(to.future, from.future, sizeof(to.future)), 0);

    EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
}

TEST(SpeakerArrangement, MatchCopiesATwoChannelSource) {
    BareEffect effect;
    VstSpeakerArrangement* source = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&source, 2)); // a 232-byte block
    source->type = 1;
    source->numChannels = 2;
    source->speakers[0] = speaker(-30.0f, "L", 1);
    source->speakers[1] = speaker(30.0f, "R", 2);

    VstSpeakerArrangement* target = nullptr;
    effect.allocateArrangement(&target, 5); // replaced by the match
    ASSERT_TRUE(effect.matchArrangement(&target, source));
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(std::memcmp(target, source, 8 + 2 * 112), 0);

    EXPECT_FALSE(effect.matchArrangement(&target, nullptr));
    effect.deallocateArrangement(&target);
    effect.deallocateArrangement(&source);
}

// matchArrangement goes through the virtual operations, so a replaced one is used.
TEST(SpeakerArrangement, MatchUsesTheVirtualOperations) {
    struct Effect : BareEffect {
        bool copySpeaker(VstSpeakerProperties*, VstSpeakerProperties*) override {
            return ++copies < 2;
        }
        bool allocateArrangement(VstSpeakerArrangement** arrangement, int32_t n) override {
            ++allocations;
            return BareEffect::allocateArrangement(arrangement, n);
        }
        int copies = 0;
        int allocations = 0;
    };

    VstSpeakerArrangement source{};
    source.numChannels = 3;
    Effect effect;
    VstSpeakerArrangement* target = nullptr;
    EXPECT_FALSE(effect.matchArrangement(&target, &source));
    EXPECT_EQ(effect.allocations, 1);
    EXPECT_EQ(effect.copies, 2); // stops at the first refused speaker
    effect.deallocateArrangement(&target);
}

} // namespace
