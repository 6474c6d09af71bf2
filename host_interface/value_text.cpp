// Value-to-text operations for the host's generic parameter view.
//
// Every operation writes at most maxLen characters and a zero byte at text[maxLen],
// so the caller's buffer holds maxLen + 1 bytes. A negative maxLen writes nothing.

#include "host_interface/audio_effect.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kFieldWidth = 8; // characters of a number text before the maxLen limit
const char kHuge[] = "Huge!";

// Copies at most maxLen characters, zero-fills the rest of the first maxLen bytes
// and terminates at maxLen.
void boundedCopy(char* text, const char* source, int32_t maxLen) {
    if (maxLen < 0) return;
    std::strncpy(text, source, static_cast<size_t>(maxLen));
    text[maxLen] = 0;
}

// Appends as much of source as keeps the text within maxLen characters.
void boundedAppend(char* text, const char* source, int32_t maxLen) {
    if (maxLen < 0) return;
    size_t length = std::strlen(text);
    while (*source && length < static_cast<size_t>(maxLen))
        text[length++] = *source++;
    text[length] = 0;
    text[maxLen] = 0;
}

// Writes the integer part of v in front of end, with an optional minus sign.
// Returns the first character written.
char* writeWholeDigits(double v, bool negative, char* end) {
    char* first = end;
    *--first = 0;
    double n = std::floor(v);
    do {
        *--first = static_cast<char>('0' + static_cast<int>(std::fmod(n, 10.0)));
        n = n / 10.0;
    } while (n >= 1.0);
    if (negative) *--first = '-';
    return first;
}

} // namespace

void AudioEffect::dB2string(float value, char* text, int32_t maxLen) {
    if (value <= 0.0f) {
        boundedCopy(text, "-oo", maxLen);
        return;
    }
    const float log = static_cast<float>(std::log10(static_cast<double>(value)));
    float2string(static_cast<float>(20.0 * log), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, int32_t maxLen) {
    if (samples == 0.0f) {
        float2string(0.0f, text, maxLen);
        return;
    }
    const double hertz = static_cast<double>(getSampleRate()) / samples;
    float2string(static_cast<float>(hertz), text, maxLen);
}

// No test for a zero rate: the rate is always set.
void AudioEffect::ms2string(float samples, char* text, int32_t maxLen) {
    const double milliseconds = static_cast<double>(samples) * 1000.0 / getSampleRate();
    float2string(static_cast<float>(milliseconds), text, maxLen);
}

// Eight characters: sign, integer digits, point, fraction digits. The fraction is
// truncated, never rounded, so 1234.5678 reads "1234.567".
void AudioEffect::float2string(float value, char* text, int32_t maxLen) {
    if (maxLen < 0) return;

    double v = value;
    if (std::isnan(v)) return boundedCopy(text, "NaN", maxLen);
    int count = 0;
    const bool negative = v < 0.0;
    if (negative) {
        v = -v;
        count = 1;
        if (v > 9999999.0) return boundedCopy(text, kHuge, maxLen);
    } else if (v > 99999999.0) {
        return boundedCopy(text, kHuge, maxLen);
    }

    // Integer part, right to left, in front of the point. n is divided without
    // rounding, so it keeps a fraction; the digit is the truncated remainder.
    char field[kFieldWidth + 2];
    char* first = &field[kFieldWidth + 1];
    *first = 0;
    *--first = '.';
    ++count;
    double n = std::floor(v);
    *--first = static_cast<char>('0' + static_cast<int>(std::fmod(n, 10.0)));
    n = n / 10.0;
    ++count;
    while (n >= 1.0 && count < kFieldWidth) {
        *--first = static_cast<char>('0' + static_cast<int>(std::fmod(n, 10.0)));
        n = n / 10.0;
        ++count;
    }

    if (n >= 1.0) {
        // The integer part leaves no room for the point: the whole number without
        // a fraction, or "Huge!" when even that does not fit. Never a cut number.
        char digits[kFieldWidth + 8];
        const char* whole = writeWholeDigits(v, negative, &digits[sizeof(digits)]);
        const bool fits = static_cast<int32_t>(std::strlen(whole)) <= maxLen;
        return boundedCopy(text, fits ? whole : kHuge, maxLen);
    }

    if (negative) *--first = '-';
    boundedCopy(text, first, maxLen);
    if (count >= kFieldWidth) return;

    // Fraction digits, right to left, truncated.
    const int fractionDigits = kFieldWidth - count;
    char fraction[kFieldWidth + 1];
    fraction[fractionDigits] = 0;
    double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
    for (int i = fractionDigits - 1; i >= 0; --i) {
        if (m <= 0.0) {
            fraction[i] = '0';
        } else {
            fraction[i] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
            m = m / 10.0;
        }
    }
    boundedAppend(text, fraction, maxLen);
}

// Whole numbers from -999999999 to 99999999; anything outside reads "Huge!".
void AudioEffect::int2string(int32_t value, char* text, int32_t maxLen) {
    if (maxLen < 0) return;
    if (value >= 100000000 || value < -999999999) return boundedCopy(text, kHuge, maxLen);

    if (value < 0) {
        boundedCopy(text, "-", maxLen);
        value = -value;
    } else {
        boundedCopy(text, "", maxLen);
    }
    if (value == 0) return boundedAppend(text, "0", maxLen);

    bool leading = true;
    for (int32_t divisor = 100000000; divisor >= 1; divisor /= 10) {
        const int32_t digit = value / divisor;
        value -= digit * divisor;
        if (digit > 0) leading = false;
        if (leading) continue;
        const char character[2] = {static_cast<char>('0' + digit), 0};
        boundedAppend(text, character, maxLen);
    }
}
