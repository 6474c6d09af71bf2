// The command line of quillo-render.
#pragma once

#include "hosting/parameter_access.h"
#include "render/audio_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillo::render {

struct Options {
    std::vector<std::string> midiFiles; // "-" for standard input
    std::string output;                 // "-" for standard output
    std::string outputDirectory;
    std::optional<FileType> fileType;
    std::optional<Encoding> encoding;
    bool mono = false;
    std::string plugin; // empty: look for quillo.so
    int32_t sampleRate = 44100;
    int32_t blockSize = 512;
    bool fixedBlocks = false;
    std::string bank; // a VST 2 bank file
    std::optional<int32_t> program;
    std::string preset; // a factory or LV2 preset's name, or a VST 2 program file
    std::vector<hosting::ParameterSetting> parameters;
    std::string savePreset;             // a VST 2 program file to write the settings into
    std::string automation;             // a JSON file of parameter changes over time
    std::optional<uint64_t> randomSeed; // --random-params
    std::vector<std::string> vary;      // the parameters drawn; empty: all but "Volume"
    bool sidecar = false;               // a JSON file beside the output: what made it
    std::vector<std::string> fromSidecars;
    std::vector<std::string> arguments; // the command line as given
    double tailSeconds = 5.0;
    std::optional<double> lengthSeconds;
    std::vector<int> channels; // 1 to 16; empty: all
    std::vector<int> tracks;   // from 1; empty: all
    std::optional<double> gainDb;
    std::optional<double> normalizeDbfs;
    std::vector<int> notes; // the built-in notes, instead of a MIDI file
    std::string dataset;    // a folder of random patches
    int64_t count = 0;      // how many
    int32_t jobs = 0;       // renders at once; 0: one per core
    std::string batch;      // a job list
    bool demo = false;
    bool listParams = false;
    bool listPrograms = false;
    bool listPresets = false;
    bool info = false;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Throws UsageError with a one-line message for anything it cannot accept.
Options parseOptions(const std::vector<std::string>& arguments);

std::string usage();

// A job's options: the arguments, as the command line takes them, over the command
// line's options; the arguments' files become the MIDI files. Throws UsageError.
Options jobOptions(const Options& base, const std::vector<std::string>& arguments);

// The output for a MIDI file: its name with the type's extension, in the output
// directory when one is given.
std::string defaultOutputFor(const std::string& midiFile, FileType type,
                             const std::string& outputDirectory = {});

// The file's format: the chosen type, else the one the output's extension names,
// else WAV; the chosen encoding, else the type's usual one. Throws UsageError
// when the type cannot hold the encoding.
AudioFormat resolveFormat(const Options& options, const std::string& output);

} // namespace quillo::render
