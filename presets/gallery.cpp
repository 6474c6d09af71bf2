// quillo-gallery: renders every factory preset's audition phrase.
//
//   quillo-gallery --stats            one line of measures per preset
//   quillo-gallery WAV-DIR PAGE-DIR   <slug>.wav into WAV-DIR, and into PAGE-DIR one
//                                     page of parameters per preset and the index
//                                     README.md, which shows <slug>.png beside each
//                                     (scripts/gallery.sh draws those with sox)
#include "presets/audition.h"
#include "presets/factory_bank.h"
#include "presets/sound_measures.h"

#include <sndfile.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

constexpr double kRate = 44100.0;

std::vector<float> render(const FactoryPreset& preset) {
    return renderPhrase(preset.values, auditionPhrase(preset.audition, kRate), kRate);
}

void writeWav(const std::string& path, const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = int(kRate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    const sf_count_t written = sf_writef_float(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
    if (written != sf_count_t(samples.size())) throw std::runtime_error(path + ": short write");
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) throw std::runtime_error(path + ": cannot write");
}

std::string decimal(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", double(value));
    return text;
}

std::string parameterPage(const FactoryPreset& preset) {
    std::ostringstream out;
    out << "# " << preset.name << "\n\n"
        << preset.about << "\n\n"
        << "![Spectrogram of " << preset.name << "](" << preset.slug << ".png)\n\n"
        << "Audition: " << auditionName(preset.audition) << " phrase. In `presets/factory.txt`, "
        << "and as `" << preset.slug << ".fxp` and the LV2 preset \"" << preset.name << "\".\n\n"
        << "| # | Parameter | Value | Shows |\n| ---: | --- | ---: | --- |\n";
    for (int i = 0; i < kNumParameters; ++i)
        out << "| " << i << " | " << kParameterTable[i].name << " | " << decimal(preset.values[i])
            << " | " << preset.texts[i] << " |\n";
    out << "\n[All sounds](README.md)\n";
    return out.str();
}

std::string indexPage() {
    std::ostringstream out;
    out << "# Quillo's factory sounds\n\n"
        << "Each preset playing its audition phrase (a bass line, a lead melody with slurs "
           "and leaps, held chords as one line, a tune, a few hits or long notes), drawn "
           "as a spectrogram: time runs left to right over the phrase, frequency up to "
           "11 kHz, brighter is louder. The name leads to the preset's 36 parameters.\n\n"
        << "Written by `make gallery` from `presets/factory.txt`.\n\n"
        << "| Preset | Sound |\n| --- | --- |\n";
    for (int i = 0; i < kNumFactoryPresets; ++i) {
        const FactoryPreset& preset = kFactoryPresets[i];
        out << "| **[" << preset.name << "](" << preset.slug << ".md)**<br>" << preset.about
            << "<br>*" << auditionName(preset.audition) << " phrase* | ![" << preset.name << "]("
            << preset.slug << ".png) |\n";
    }
    return out.str();
}

void printStats() {
    std::printf("%-24s %-7s %8s %7s %9s\n", "preset", "phrase", "peak dB", "sec", "centroid");
    for (int i = 0; i < kNumFactoryPresets; ++i) {
        const FactoryPreset& preset = kFactoryPresets[i];
        const std::vector<float> samples = render(preset);
        std::printf("%-24s %-7s %8.1f %7.2f %9.0f\n", preset.name, auditionName(preset.audition),
                    peakDb(samples), double(samples.size()) / kRate,
                    spectralCentroid(bandSpectrum(samples, kRate)));
    }
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && std::string(argv[1]) == "--stats") {
            printStats();
            return 0;
        }
        if (argc != 3) {
            std::cerr << "usage: quillo-gallery --stats | quillo-gallery WAV-DIR PAGE-DIR\n";
            return 2;
        }
        const std::string wavDir = argv[1], pageDir = argv[2];
        for (int i = 0; i < kNumFactoryPresets; ++i) {
            const FactoryPreset& preset = kFactoryPresets[i];
            writeWav(wavDir + "/" + preset.slug + ".wav", render(preset));
            writeText(pageDir + "/" + preset.slug + ".md", parameterPage(preset));
        }
        writeText(pageDir + "/README.md", indexPage());
    } catch (const std::exception& error) {
        std::cerr << "quillo-gallery: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
