#include "presets/sound_measures.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

constexpr int kFrame = 2048;
constexpr int kBands = 26; // 50 Hz * 2^(k/3), k = 0..25: up to 16 kHz
constexpr double kSpectrumFloor = -80.0;
constexpr double kEnvelopeFloor = -60.0;

double bandCentre(int band) {
    return 50.0 * std::pow(2.0, band / 3.0);
}

void fft(std::vector<std::complex<double>>& x) {
    const size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const double angle = -2.0 * M_PI / double(length);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += length) {
            std::complex<double> w(1.0);
            for (size_t k = 0; k < length / 2; ++k) {
                const auto u = x[i + k];
                const auto v = x[i + k + length / 2] * w;
                x[i + k] = u + v;
                x[i + k + length / 2] = u - v;
                w *= step;
            }
        }
    }
}

} // namespace

double peakDb(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    return 20.0 * std::log10(double(peak));
}

std::vector<double> bandSpectrum(const std::vector<float>& samples, double sampleRate) {
    std::vector<double> power(kBands, 0.0);
    std::vector<std::complex<double>> frame(kFrame);
    for (size_t start = 0; start + kFrame <= samples.size(); start += kFrame / 2) {
        for (int i = 0; i < kFrame; ++i) {
            const double window = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / kFrame);
            frame[size_t(i)] = samples[start + size_t(i)] * window;
        }
        fft(frame);
        for (int bin = 1; bin < kFrame / 2; ++bin) {
            const double hz = bin * sampleRate / kFrame;
            const int band = int(std::lround(3.0 * std::log2(hz / 50.0)));
            if (band >= 0 && band < kBands) power[size_t(band)] += std::norm(frame[size_t(bin)]);
        }
    }
    double total = 0.0;
    for (double p : power)
        total += p;
    std::vector<double> db(kBands, kSpectrumFloor);
    if (total <= 0.0) return db;
    for (int b = 0; b < kBands; ++b)
        if (power[size_t(b)] > 0.0)
            db[size_t(b)] = std::max(kSpectrumFloor, 10.0 * std::log10(power[size_t(b)] / total));
    return db;
}

std::vector<double> levelEnvelope(const std::vector<float>& samples, double sampleRate) {
    const auto frame = static_cast<size_t>(sampleRate * 0.01);
    std::vector<double> rms;
    for (size_t start = 0; start + frame <= samples.size(); start += frame) {
        double sum = 0.0;
        for (size_t i = start; i < start + frame; ++i)
            sum += double(samples[i]) * samples[i];
        rms.push_back(std::sqrt(sum / double(frame)));
    }
    const double loudest = rms.empty() ? 0.0 : *std::max_element(rms.begin(), rms.end());
    std::vector<double> db;
    for (double r : rms)
        db.push_back(r > 0.0 && loudest > 0.0
                         ? std::max(kEnvelopeFloor, 20.0 * std::log10(r / loudest))
                         : kEnvelopeFloor);
    return db;
}

double spectralCentroid(const std::vector<double>& bands) {
    double weighted = 0.0, total = 0.0;
    for (size_t b = 0; b < bands.size(); ++b) {
        const double p = std::pow(10.0, bands[b] / 10.0);
        weighted += p * bandCentre(int(b));
        total += p;
    }
    return total > 0.0 ? weighted / total : 0.0;
}

double meanDifference(const std::vector<double>& a, const std::vector<double>& b, double pad) {
    const size_t n = std::max(a.size(), b.size());
    if (n == 0) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += std::fabs((i < a.size() ? a[i] : pad) - (i < b.size() ? b[i] : pad));
    return sum / double(n);
}
