// Value-to-text operations: the texts, and the bounds of the caller's buffer.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

constexpr char kGuard = '#';

// Runs a text operation on a guarded buffer and returns its text; fails when anything
// outside text[0..maxLen] changed or text[maxLen] is not zero.
template <typename Operation> std::string textOf(Operation operation, int32_t maxLen = 8) {
    char buffer[64];
    std::memset(buffer, kGuard, sizeof(buffer));
    char* text = buffer + 8;
    operation(text, maxLen);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(buffer[i], kGuard) << "before the text";
    for (char* after = text + std::max(maxLen, -1) + 1; after < buffer + sizeof(buffer); ++after)
        EXPECT_EQ(*after, kGuard) << "past maxLen " << maxLen;
    if (maxLen < 0) {
        EXPECT_EQ(*text, kGuard) << "negative maxLen writes nothing";
        return {};
    }
    EXPECT_EQ(text[maxLen], 0);
    return text;
}

BareEffect effect; // sample rate 44100

std::string dB(float value, int32_t maxLen = 8) {
    return textOf([=](char* t, int32_t n) { effect.dB2string(value, t, n); }, maxLen);
}
std::string hz(float samples, int32_t maxLen = 8) {
    return textOf([=](char* t, int32_t n) { effect.Hz2string(samples, t, n); }, maxLen);
}
std::string ms(float samples, int32_t maxLen = 8) {
    return textOf([=](char* t, int32_t n) { effect.ms2string(samples, t, n); }, maxLen);
}
std::string number(float value, int32_t maxLen = 8) {
    return textOf([=](char* t, int32_t n) { effect.float2string(value, t, n); }, maxLen);
}
std::string integer(int32_t value, int32_t maxLen = 8) {
    return textOf([=](char* t, int32_t n) { effect.int2string(value, t, n); }, maxLen);
}

TEST(ValueText, Decibels) {
    EXPECT_EQ(dB(1.0f), "0.000000");
    EXPECT_EQ(dB(0.5f), "-6.02060");
    EXPECT_EQ(dB(0.25f), "-12.0412");
    EXPECT_EQ(dB(0.001f), "-60.0000");
    EXPECT_EQ(dB(2.0f), "6.020600");
    EXPECT_EQ(dB(0.0f), "-oo");
    EXPECT_EQ(dB(-1.0f), "-oo");
    EXPECT_EQ(dB(0.0f, 2), "-o");
}

TEST(ValueText, FloatsAreTruncatedToEightCharacters) {
    EXPECT_EQ(number(0.0f), "0.000000");
    EXPECT_EQ(number(0.5f), "0.500000");
    EXPECT_EQ(number(-0.5f), "-0.50000");
    EXPECT_EQ(number(-12.25f), "-12.2500");
    EXPECT_EQ(number(1234.5678f), "1234.567");
    EXPECT_EQ(number(20000.0f), "20000.00");
    EXPECT_EQ(number(1234567.0f), "1234567.");
    EXPECT_EQ(number(-123456.0f), "-123456.");
    EXPECT_EQ(number(-10000000.0f), "Huge!");
    EXPECT_EQ(number(100000000.0f), "Huge!");
    EXPECT_EQ(number(99999999.0f), "Huge!"); // the float nearest is 100000000
    EXPECT_EQ(number(std::numeric_limits<float>::infinity()), "Huge!");
}

// Integer parts with no room left for the point read as whole numbers, never cut.
TEST(ValueText, LongIntegerPartsAreWrittenWhole) {
    EXPECT_EQ(number(12345678.0f), "12345678");
    EXPECT_EQ(number(-1234567.0f), "-1234567");
    EXPECT_EQ(number(12345678.0f, 4), "Huge");
    EXPECT_EQ(number(std::numeric_limits<float>::quiet_NaN()), "NaN");
}

TEST(ValueText, Integers) {
    EXPECT_EQ(integer(7), "7");
    EXPECT_EQ(integer(-7), "-7");
    EXPECT_EQ(integer(99999999), "99999999");
    EXPECT_EQ(integer(100000000), "Huge!");
    EXPECT_EQ(integer(1000), "1000");
    EXPECT_EQ(integer(0), "0");
    EXPECT_EQ(integer(-999999999, 10), "-999999999");
    EXPECT_EQ(integer(std::numeric_limits<int32_t>::min()), "Huge!");
}

TEST(ValueText, SamplesAsHertzAndMilliseconds) {
    EXPECT_EQ(hz(0.0f), "0.000000");
    EXPECT_EQ(hz(100.0f), "441.0000");
    EXPECT_EQ(hz(1.0f), "44100.00");
    EXPECT_EQ(ms(44100.0f), "1000.000");
    EXPECT_EQ(ms(441.0f), "10.00000");
    EXPECT_EQ(ms(1.0f), "0.022675");
}

TEST(ValueText, ConversionsUseTheVirtualRateAndFormatter) {
    struct Effect : BareEffect {
        float getSampleRate() override { return 1000.0f; }
        void float2string(float value, char* text, int32_t maxLen) override {
            lastValue = value;
            BareEffect::float2string(value, text, maxLen);
        }
        float lastValue = 0.0f;
    } custom;
    char text[9];
    custom.Hz2string(4.0f, text, 8);
    EXPECT_STREQ(text, "250.0000");
    custom.ms2string(500.0f, text, 8);
    EXPECT_EQ(custom.lastValue, 500.0f);
    custom.dB2string(10.0f, text, 8);
    EXPECT_EQ(custom.lastValue, 20.0f);
}

TEST(ValueText, SmallMaxLenCutsAndTerminates) {
    EXPECT_EQ(number(0.5f, 3), "0.5");
    EXPECT_EQ(number(1234.5678f, 6), "1234.5");
    EXPECT_EQ(number(-12.25f, 2), "-1");
    EXPECT_EQ(number(20000.0f, 3), "200");
    EXPECT_EQ(number(0.5f, 0), "");
    EXPECT_EQ(integer(-12345, 3), "-12");
    EXPECT_EQ(integer(100000000, 2), "Hu");
    EXPECT_EQ(hz(1.0f, 5), "44100");
    EXPECT_EQ(ms(1.0f, 4), "0.02");
}

// The whole first maxLen bytes are zero-filled past a short text.
TEST(ValueText, ShortTextsZeroFillTheField) {
    char text[12];
    std::memset(text, kGuard, sizeof(text));
    effect.int2string(7, text, 8);
    EXPECT_EQ(std::memcmp(text, "7\0\0\0\0\0\0\0\0", 9), 0);
    EXPECT_EQ(text[9], kGuard);
}

TEST(ValueText, NegativeMaxLenWritesNothing) {
    number(0.5f, -1);
    number(1e9f, -3);
    number(12345678.0f, -1);
    integer(7, -1);
    integer(0, -2);
    dB(0.0f, -1);
    dB(0.5f, -1);
    hz(100.0f, -1);
    ms(100.0f, -5);
}

} // namespace
