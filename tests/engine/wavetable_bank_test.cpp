#include "engine/wavetable_bank.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<WavetableBank> bankAt(float rate) {
    auto bank = std::make_unique<WavetableBank>();
    bank->rebuild(rate);
    return bank;
}

bool samePoints(const float* a, const float* b) {
    return std::memcmp(a, b, 512 * sizeof(float)) == 0;
}

bool sameTables(const WavetableBank& bank, int noteA, int noteB) {
    return samePoints(bank.sawTable(noteA), bank.sawTable(noteB)) &&
           samePoints(bank.triangleTable(noteA), bank.triangleTable(noteB));
}

// Notes whose tables differ from those of the note above, highest first.
std::vector<int> notesAddingHarmonics(const WavetableBank& bank) {
    std::vector<int> notes;
    for (int note = 126; note >= 0; --note)
        if (!sameTables(bank, note, note + 1)) notes.push_back(note);
    return notes;
}

// Amplitude of harmonic k in one 512-point cycle.
double harmonicAmplitude(const float* table, int k) {
    std::complex<double> sum = 0;
    for (int j = 0; j < 512; ++j)
        sum += static_cast<double>(table[j]) * std::polar(1.0, -2 * M_PI * k * j / 512);
    return std::abs(sum) * 2 / 512;
}

double sineAt(const WavetableBank& bank, int x) {
    return bank.sineTable()[x & 511];
}

TEST(WavetableBank, SineAndTopTablesAreTheSameAtEveryRate) {
    const double sawWeights[8] = {
        1.0, 0.5, 0.3333333333333333, 0.25, 0.2, 0.16666666666666666, 0.14285714285714285, 0.125};
    for (float rate : {22050.0f, 44100.0f, 96000.0f}) {
        auto bank = bankAt(rate);
        EXPECT_EQ(bank->sineTable()[0], 0.0f);
        EXPECT_EQ(bank->sineTable()[128], 1.0f);
        EXPECT_EQ(bank->sineTable()[384], -1.0f);
        EXPECT_EQ(bank->sawTable(127)[128], 0.36190477f);
        EXPECT_EQ(bank->triangleTable(127)[0], 0.93721545f);
        EXPECT_EQ(bank->triangleTable(127)[256], -0.93721545f);

        for (int j = 0; j < 512; ++j) {
            double saw = 0.0, triangle = 0.0;
            for (int k = 1; k <= 8; ++k)
                saw += sawWeights[k - 1] * sineAt(*bank, k * j);
            for (int k = 1; k <= 7; k += 2)
                triangle += 4.0 / (k * k) * -1.0 * sineAt(*bank, k * j + 128);
            ASSERT_EQ(bank->sawTable(127)[j], static_cast<float>(saw * 0.5)) << j;
            ASSERT_EQ(bank->triangleTable(127)[j], static_cast<float>(triangle * -0.2)) << j;
        }
    }
}

TEST(WavetableBank, LowerNotesAddOnlyTheNewHarmonics) {
    auto bank = bankAt(44100);
    for (int j = 0; j < 512; ++j) {
        // Note 98 is the first to add: harmonic 9, to both saw and triangle.
        const float saw9 = static_cast<float>(0.5 * ((1.0 / 9) * sineAt(*bank, 9 * j)));
        const float tri9 =
            static_cast<float>(-0.2 * (4.0 / 81 * -1.0 * sineAt(*bank, 9 * j + 128)));
        ASSERT_EQ(bank->sawTable(98)[j], static_cast<float>(double(bank->sawTable(127)[j]) + saw9));
        ASSERT_EQ(bank->triangleTable(98)[j],
                  static_cast<float>(double(bank->triangleTable(127)[j]) + tri9));
        // Note 96 adds harmonic 10: an even one, so its triangle stays that of note 97.
        const float saw10 = static_cast<float>(0.5 * ((1.0 / 10) * sineAt(*bank, 10 * j)));
        ASSERT_EQ(bank->sawTable(96)[j], static_cast<float>(double(bank->sawTable(97)[j]) + saw10));
    }
    EXPECT_TRUE(samePoints(bank->triangleTable(96), bank->triangleTable(97)));
}

struct AddingRange {
    float rate;
    int first;
    int last;
};

class WavetableBankRanges : public testing::TestWithParam<AddingRange> {};

TEST_P(WavetableBankRanges, OnlyNotesBetweenFirstAndLastAddHarmonics) {
    const AddingRange range = GetParam();
    auto bank = bankAt(range.rate);
    const std::vector<int> adding = notesAddingHarmonics(*bank);
    ASSERT_FALSE(adding.empty());
    EXPECT_EQ(adding.front(), range.first);
    EXPECT_EQ(adding.back(), range.last);
    for (int note = range.first + 1; note < 127; ++note)
        EXPECT_TRUE(sameTables(*bank, note, 127)) << note;
    for (int note = 0; note < range.last; ++note)
        EXPECT_TRUE(sameTables(*bank, note, range.last)) << note;
    for (int note = 0; note < 128; ++note)
        ASSERT_EQ(bank->sawTable(note)[0], 0.0f) << note;
}

INSTANTIATE_TEST_SUITE_P(Rates, WavetableBankRanges,
                         testing::Values(AddingRange{44100, 98, 34}, AddingRange{48000, 100, 36},
                                         AddingRange{96000, 112, 48}));

TEST(WavetableBank, At44100) {
    auto bank = bankAt(44100);
    EXPECT_EQ(notesAddingHarmonics(*bank).size(), 62u);
    EXPECT_EQ(bank->sawTable(0)[1], 0.80832601f);
    EXPECT_EQ(bank->sawTable(0)[511], -0.80832601f);

    auto peak = [](const float* points, int count) {
        float most = 0;
        for (int i = 0; i < count; ++i)
            most = std::max(most, std::fabs(points[i]));
        return most;
    };
    EXPECT_NEAR(peak(bank->sawTable(0), 512), 0.8308, 1e-4); // the fullest tables
    EXPECT_NEAR(peak(bank->triangleTable(0), 512), 0.9859, 1e-4);
    EXPECT_LE(peak(bank->sawTable(0), 128 * 512), 0.923f); // the whole bank
    EXPECT_LE(peak(bank->triangleTable(0), 128 * 512), 0.986f);

    // Harmonic content: note 98 holds 9 harmonics, the fullest triangle no even one.
    EXPECT_NEAR(harmonicAmplitude(bank->sawTable(98), 9), 0.5 / 9, 1e-6);
    EXPECT_NEAR(harmonicAmplitude(bank->sawTable(98), 10), 0.0, 1e-6);
    for (int k = 2; k <= 256; k += 2)
        EXPECT_NEAR(harmonicAmplitude(bank->triangleTable(0), k), 0.0, 1e-6) << k;
    EXPECT_NEAR(harmonicAmplitude(bank->triangleTable(0), 3), 0.8 / 9, 1e-6);
}

// A rebuild gives the tables of the new rate whatever was built before, including when it
// finds nothing to rewrite: the same rate again, or a rate a hair away that gives every
// note the same harmonics.
TEST(WavetableBank, RebuildDependsOnTheRateAlone) {
    auto reused = bankAt(22050);
    for (float rate : {48000.0f, 44100.0f, 44100.0f, std::nextafter(44100.0f, 0.0f), 44101.0f,
                       96000.0f, 48000.0f}) {
        reused->rebuild(rate);
        auto fresh = bankAt(rate);
        ASSERT_EQ(std::memcmp(fresh->points, reused->points, sizeof fresh->points), 0) << rate;
    }

    // So low that no note has more than 8 harmonics below half the rate: all top tables.
    auto low = bankAt(100);
    for (int note = 0; note < 127; ++note)
        ASSERT_TRUE(sameTables(*low, note, 127)) << note;
}

} // namespace
