// The command line of quillo-render.
#pragma once

#include "render/audio_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillo::render {

// --param NAME=VALUE or INDEX=VALUE.
struct ParameterSetting {
    std::string name; // empty when given by index
    int32_t index = -1;
    float value = 0.0f;
    std::string text; // as written, for messages
};

struct Options {
    std::string midiFile;
    std::string output;
    AudioFormat format;
    std::string plugin; // empty: look for quillo.so
    int32_t sampleRate = 44100;
    int32_t blockSize = 512;
    bool fixedBlocks = false;
    std::optional<int32_t> program;
    std::vector<ParameterSetting> parameters;
    double tailSeconds = 5.0;
    std::optional<double> lengthSeconds;
    std::vector<int> channels; // 1 to 16; empty: all
    std::vector<int> tracks;   // from 1; empty: all
    bool demo = false;
    bool listParams = false;
    bool info = false;
    bool quiet = false;
    bool help = false;
};

// Throws RenderError with a one-line message for anything it cannot accept.
Options parseOptions(const std::vector<std::string>& arguments);

std::string usage();

// The default output name: the MIDI file's name with ".wav".
std::string defaultOutputFor(const std::string& midiFile);

} // namespace quillo::render
