// Measures of a rendered sound, for the gallery and for keeping the presets apart.
#pragma once

#include <vector>

// Largest absolute sample, in dBFS (-inf for silence).
double peakDb(const std::vector<float>& samples);

// Where the power lies: the mean power over 2048-sample Hann-windowed frames, summed
// into third-octave bands from 50 Hz to 16 kHz, in dB relative to the whole (so
// the level does not count, only the balance). Bands below -80 dB read -80.
std::vector<double> bandSpectrum(const std::vector<float>& samples, double sampleRate);

// How the level moves: RMS over 10 ms frames in dB relative to the loudest frame,
// floored at -60.
std::vector<double> levelEnvelope(const std::vector<float>& samples, double sampleRate);

// Power-weighted mean frequency of the bands, in Hz.
double spectralCentroid(const std::vector<double>& bands);

// Mean absolute difference in dB; the shorter envelope is padded with its floor.
double meanDifference(const std::vector<double>& a, const std::vector<double>& b, double pad);
