#include "render/options.h"

#include "hosting/user_error.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace quillo::render {
namespace {

constexpr int32_t kMaxSampleRate = 1536000;
constexpr int32_t kMaxBlockSize = 1 << 20;

bool parseInteger(const std::string& text, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

int32_t positiveInteger(const std::string& option, const std::string& text, int32_t limit) {
    long long value = 0;
    if (!parseInteger(text, value) || value <= 0) {
        throw UsageError(option + ": '" + text + "' is not a positive whole number");
    }
    if (value > limit) {
        throw UsageError(option + ": " + text + " is too large (at most " + std::to_string(limit) +
                         ")");
    }
    return static_cast<int32_t>(value);
}

// "1,3,5-8": whole numbers and ranges from lowest to highest.
std::vector<int> parseNumberList(const std::string& option, const std::string& text, int lowest,
                                 int highest) {
    std::vector<int> numbers;
    size_t start = 0;
    auto refuse = [&] {
        return UsageError(option + ": '" + text + "' is not a list of numbers from " +
                          std::to_string(lowest) + " to " + std::to_string(highest) +
                          " (such as 1,3,5-8)");
    };
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        const size_t dash = item.find('-', 1);
        long long first = 0;
        long long last = 0;
        if (!parseInteger(item.substr(0, dash), first)) throw refuse();
        last = first;
        if (dash != std::string::npos && !parseInteger(item.substr(dash + 1), last)) throw refuse();
        if (first < lowest || last > highest || first > last) throw refuse();
        for (long long n = first; n <= last; ++n)
            numbers.push_back(static_cast<int>(n));
        start = comma + 1;
    }
    return numbers;
}

ParameterSetting parseParameter(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
        throw UsageError("--param: '" + text + "' is not NAME=VALUE or INDEX=VALUE");
    }
    ParameterSetting setting;
    setting.text = text;
    const std::string key = text.substr(0, equals);
    const std::string value = text.substr(equals + 1);
    // A number from 0 to 1 is the normalised value; anything else is matched
    // against the texts the plug-in shows ("Pulse", "Hi-pass", "50").
    double number = 0.0;
    if (parseNumber(value, number) && number >= 0.0 && number <= 1.0) {
        setting.value = static_cast<float>(number);
    } else {
        setting.valueText = value;
    }
    long long index = 0;
    if (parseInteger(key, index)) {
        if (index < 0 || index > INT32_MAX) {
            throw UsageError("--param " + text + ": no parameter has index " + key);
        }
        setting.index = static_cast<int32_t>(index);
    } else {
        setting.name = key;
    }
    return setting;
}

// "flac", "s16", "flac,s16": a file type, an encoding or both.
void parseFormat(const std::string& text, Options& options) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        if (const auto type = fileTypeNamed(item)) {
            options.fileType = type;
        } else if (const auto encoding = encodingNamed(item)) {
            options.encoding = encoding;
        } else {
            throw UsageError("--format: '" + item +
                             "' is none of wav, flac, ogg, aiff, raw, f32, s16, s24");
        }
        start = comma + 1;
    }
}

double parseDecibels(const std::string& option, const std::string& text, double lowest,
                     double highest) {
    double value = 0.0;
    if (!parseNumber(text, value) || value < lowest || value > highest) {
        char range[64];
        std::snprintf(range, sizeof range, "%g to %g", lowest, highest);
        throw UsageError(option + ": '" + text + "' is not a level in dB from " + range);
    }
    return value;
}

} // namespace

std::string usage() {
    return R"(Usage: quillo-render [options] MIDI-FILE...
       quillo-render --demo [options]
       quillo-render --info | --list-params | --list-programs [options]

Renders Standard MIDI Files through a VST 2 instrument into audio files, one
output for each MIDI file. - reads a MIDI file from standard input.

Output:
  -o, --output FILE     file to write (default: the MIDI file's name with the
                        format's extension); - for standard output
      --output-dir DIR  write the outputs into DIR (made if missing), named after
                        the MIDI files
      --format FORMAT   wav, flac, ogg (Vorbis), aiff or raw, and the samples:
                        f32, s16 or s24 (such as flac or wav,s16; default: from
                        the output's extension, else wav; f32 for wav and raw,
                        s24 for flac and aiff)
      --mono            one channel instead of two
      --gain DB         change the level by DB decibels
      --normalize[=DBFS]
                        set the peak to DBFS (default 0); the render runs twice
Plug-in:
      --plugin PATH     VST 2 instrument (default: quillo.so beside this program,
                        then ../lib/vst, ~/.vst, /usr/local/lib/vst, /usr/lib/vst)
      --rate HZ         sample rate (default 44100)
      --block N         largest processing block in frames (default 512); blocks
                        are split at every event, so each acts at its own frame
      --fixed-blocks    blocks of exactly --block frames, events inside them,
                        as a DAW plays
      --program N       select program N before rendering
      --param NAME=VALUE, --param INDEX=VALUE
                        set a parameter, by its normalised value from 0 to 1 or
                        by the text the plug-in shows (--param Wave1=Pulse);
                        names in any case; repeatable; applied after --program
      --tail SECONDS    longest time rendered after the last event, stopping
                        early once the output is silent (default 5)
      --length SECONDS  render exactly this long, whatever the music and tail
MIDI:
      --channel LIST    send only these channels (1 to 16, such as 1,3-4;
                        repeatable)
      --track LIST      send only these tracks (from 1, as sequencers number
                        them; repeatable)
Other modes:
      --demo            render a built-in phrase instead of a MIDI file
      --info            print the plug-in's identity, capabilities and parameters
      --list-params     print every parameter's index, name, value and text
      --list-programs   print every program's number and name
  -q, --quiet           no progress bar and no summary
  -v, --verbose         tell about the MIDI files, what is sent and why the
                        render ended
  -h, --help            print this help
      --version         print the version

Exit status: 0 when everything was rendered, 1 when a render failed (a MIDI
file, the plug-in or an output), 2 when the command line is wrong.
)";
}

std::string defaultOutputFor(const std::string& midiFile, FileType type,
                             const std::string& outputDirectory) {
    std::filesystem::path path(midiFile);
    path.replace_extension(extensionOf(type));
    if (!outputDirectory.empty()) path = std::filesystem::path(outputDirectory) / path.filename();
    return path.string();
}

AudioFormat resolveFormat(const Options& options, const std::string& output) {
    AudioFormat format;
    format.type = options.fileType.value_or(fileTypeOfPath(output).value_or(FileType::Wav));
    format.encoding = options.encoding.value_or(defaultEncoding(format.type));
    format.channels = options.mono ? 1 : 2;
    if (!holds(format.type, format.encoding)) {
        throw UsageError(std::string("--format: ") + fileTypeName(format.type) + " holds no " +
                         encodingName(format.encoding) + " samples (s16 or s24)");
    }
    return format;
}

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    std::vector<std::string> files;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        std::string attached; // value given as --option=VALUE
        bool hasAttached = false;
        if (argument.rfind("--", 0) == 0 && argument.find('=') != std::string::npos) {
            const size_t equals = argument.find('=');
            attached = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
            hasAttached = true;
        }
        auto value = [&]() -> std::string {
            if (hasAttached) return attached;
            if (i + 1 >= arguments.size()) throw UsageError(argument + " needs a value");
            return arguments[++i];
        };
        auto noValue = [&] {
            if (hasAttached) throw UsageError(argument + " takes no value");
        };

        if (argument == "-o" || argument == "--output") {
            options.output = value();
            if (options.output.empty()) throw UsageError(argument + ": empty file name");
        } else if (argument == "--output-dir") {
            options.outputDirectory = value();
            if (options.outputDirectory.empty()) throw UsageError("--output-dir: empty name");
        } else if (argument == "--format") {
            parseFormat(value(), options);
        } else if (argument == "--mono") {
            noValue();
            options.mono = true;
        } else if (argument == "--gain") {
            options.gainDb = parseDecibels("--gain", value(), -120.0, 60.0);
        } else if (argument == "--normalize") {
            // The level only as --normalize=DBFS: a negative level would look like an option.
            options.normalizeDbfs =
                hasAttached ? parseDecibels("--normalize", attached, -120.0, 0.0) : 0.0;
        } else if (argument == "--plugin") {
            options.plugin = value();
            if (options.plugin.empty()) throw UsageError("--plugin: empty path");
        } else if (argument == "--rate") {
            options.sampleRate = positiveInteger("--rate", value(), kMaxSampleRate);
        } else if (argument == "--block") {
            options.blockSize = positiveInteger("--block", value(), kMaxBlockSize);
        } else if (argument == "--fixed-blocks") {
            noValue();
            options.fixedBlocks = true;
        } else if (argument == "--program") {
            const std::string text = value();
            long long program = 0;
            if (!parseInteger(text, program) || program < 0 || program > INT32_MAX) {
                throw UsageError("--program: '" + text + "' is not a program number");
            }
            options.program = static_cast<int32_t>(program);
        } else if (argument == "--param") {
            options.parameters.push_back(parseParameter(value()));
        } else if (argument == "--tail") {
            const std::string text = value();
            double seconds = 0.0;
            if (!parseNumber(text, seconds) || seconds < 0.0 || seconds > 3600.0) {
                throw UsageError("--tail: '" + text + "' is not a number of seconds (0 to 3600)");
            }
            options.tailSeconds = seconds;
        } else if (argument == "--length") {
            const std::string text = value();
            double seconds = 0.0;
            if (!parseNumber(text, seconds) || seconds < 0.0 || seconds > 86400.0) {
                throw UsageError("--length: '" + text +
                                 "' is not a number of seconds (0 to 86400)");
            }
            options.lengthSeconds = seconds;
        } else if (argument == "--channel") {
            for (int channel : parseNumberList("--channel", value(), 1, 16))
                options.channels.push_back(channel);
        } else if (argument == "--track") {
            for (int track : parseNumberList("--track", value(), 1, 65535))
                options.tracks.push_back(track);
        } else if (argument == "--demo") {
            noValue();
            options.demo = true;
        } else if (argument == "--list-params") {
            noValue();
            options.listParams = true;
        } else if (argument == "--list-programs") {
            noValue();
            options.listPrograms = true;
        } else if (argument == "--info") {
            noValue();
            options.info = true;
        } else if (argument == "-q" || argument == "--quiet") {
            noValue();
            options.quiet = true;
        } else if (argument == "-v" || argument == "--verbose") {
            noValue();
            options.verbose = true;
        } else if (argument == "-h" || argument == "--help") {
            noValue();
            options.help = true;
        } else if (argument == "--version") {
            noValue();
            options.version = true;
        } else if (argument == "--") {
            files.insert(files.end(), arguments.begin() + static_cast<long>(i) + 1,
                         arguments.end());
            break;
        } else if (argument.size() > 1 && argument[0] == '-') {
            throw UsageError("unknown option " + argument + " (see --help)");
        } else {
            files.push_back(argument);
        }
    }

    if (options.help || options.version) return options;
    options.midiFiles = files;
    const bool rendering = !options.listParams && !options.info && !options.listPrograms;
    if (options.demo && !files.empty()) {
        throw UsageError("--demo plays its own phrase; give no MIDI file with it");
    }
    if (rendering && !options.demo && files.empty()) {
        throw UsageError("no MIDI file given (see --help)");
    }
    if (files.size() > 1 && !options.output.empty()) {
        throw UsageError("-o names one output; for several MIDI files use --output-dir");
    }
    if (!options.output.empty() && !options.outputDirectory.empty()) {
        throw UsageError("give -o or --output-dir, not both");
    }
    if (rendering && options.output.empty() && std::count(files.begin(), files.end(), "-") > 0) {
        throw UsageError("a MIDI file from standard input needs -o FILE");
    }
    if (std::count(files.begin(), files.end(), "-") > 1) {
        throw UsageError("standard input can be read only once");
    }
    if (options.gainDb && options.normalizeDbfs) {
        throw UsageError("give --gain or --normalize, not both");
    }
    return options;
}

} // namespace quillo::render
