#include "render/options.h"

#include "render/render_error.h"

#include <cerrno>
#include <cmath>
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
        throw RenderError(option + ": '" + text + "' is not a positive whole number");
    }
    if (value > limit) {
        throw RenderError(option + ": " + text + " is too large (at most " + std::to_string(limit) +
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
        return RenderError(option + ": '" + text + "' is not a list of numbers from " +
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
    const size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0) {
        throw RenderError("--param: '" + text + "' is not NAME=VALUE or INDEX=VALUE");
    }
    ParameterSetting setting;
    setting.text = text;
    const std::string key = text.substr(0, equals);
    double value = 0.0;
    if (!parseNumber(text.substr(equals + 1), value) || value < 0.0 || value > 1.0) {
        throw RenderError("--param " + text + ": the value must be a number from 0 to 1");
    }
    setting.value = static_cast<float>(value);
    long long index = 0;
    if (parseInteger(key, index)) {
        if (index < 0 || index > INT32_MAX) {
            throw RenderError("--param " + text + ": no parameter has index " + key);
        }
        setting.index = static_cast<int32_t>(index);
    } else {
        setting.name = key;
    }
    return setting;
}

Encoding parseFormat(const std::string& text) {
    if (const auto encoding = encodingNamed(text)) return *encoding;
    throw RenderError("--format: '" + text + "' is not one of f32, s16, s24");
}

} // namespace

std::string usage() {
    return R"(Usage: quillo-render [options] [MIDI-FILE]

Renders a Standard MIDI File (type 0 or 1) through a VST 2 instrument to a WAV file.

Output:
  -o, --output FILE     WAV file to write (default: MIDI-FILE with .wav);
                        - for standard output
      --format FORMAT   f32 (default), s16 or s24
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
                        set a parameter (normalised 0..1; names in any case;
                        repeatable; applied after --program)
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
      --list-params     print every parameter's index, name, value and text
      --info            print the plug-in's identity, capabilities and parameters
  -q, --quiet           no progress bar and no summary
  -h, --help            print this help
)";
}

std::string defaultOutputFor(const std::string& midiFile) {
    return std::filesystem::path(midiFile).replace_extension(".wav").string();
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
            if (i + 1 >= arguments.size()) throw RenderError(argument + " needs a value");
            return arguments[++i];
        };
        auto noValue = [&] {
            if (hasAttached) throw RenderError(argument + " takes no value");
        };

        if (argument == "-o" || argument == "--output") {
            options.output = value();
            if (options.output.empty()) throw RenderError(argument + ": empty file name");
        } else if (argument == "--format") {
            options.format.encoding = parseFormat(value());
        } else if (argument == "--plugin") {
            options.plugin = value();
            if (options.plugin.empty()) throw RenderError("--plugin: empty path");
        } else if (argument == "--rate") {
            options.sampleRate = positiveInteger("--rate", value(), kMaxSampleRate);
        } else if (argument == "--block") {
            options.blockSize = positiveInteger("--block", value(), kMaxBlockSize);
        } else if (argument == "--program") {
            const std::string text = value();
            long long program = 0;
            if (!parseInteger(text, program) || program < 0 || program > INT32_MAX) {
                throw RenderError("--program: '" + text + "' is not a program number");
            }
            options.program = static_cast<int32_t>(program);
        } else if (argument == "--param") {
            options.parameters.push_back(parseParameter(value()));
        } else if (argument == "--tail") {
            const std::string text = value();
            double seconds = 0.0;
            if (!parseNumber(text, seconds) || seconds < 0.0 || seconds > 3600.0) {
                throw RenderError("--tail: '" + text + "' is not a number of seconds (0 to 3600)");
            }
            options.tailSeconds = seconds;
        } else if (argument == "--length") {
            const std::string text = value();
            double seconds = 0.0;
            if (!parseNumber(text, seconds) || seconds < 0.0 || seconds > 86400.0) {
                throw RenderError("--length: '" + text +
                                  "' is not a number of seconds (0 to 86400)");
            }
            options.lengthSeconds = seconds;
        } else if (argument == "--channel") {
            for (int channel : parseNumberList("--channel", value(), 1, 16))
                options.channels.push_back(channel);
        } else if (argument == "--track") {
            for (int track : parseNumberList("--track", value(), 1, 65535))
                options.tracks.push_back(track);
        } else if (argument == "--fixed-blocks") {
            noValue();
            options.fixedBlocks = true;
        } else if (argument == "--demo") {
            noValue();
            options.demo = true;
        } else if (argument == "--list-params") {
            noValue();
            options.listParams = true;
        } else if (argument == "--info") {
            noValue();
            options.info = true;
        } else if (argument == "-q" || argument == "--quiet") {
            noValue();
            options.quiet = true;
        } else if (argument == "-h" || argument == "--help") {
            noValue();
            options.help = true;
        } else if (argument == "--") {
            files.insert(files.end(), arguments.begin() + static_cast<long>(i) + 1,
                         arguments.end());
            break;
        } else if (argument.size() > 1 && argument[0] == '-') {
            throw RenderError("unknown option " + argument + " (see --help)");
        } else {
            files.push_back(argument);
        }
    }

    if (options.help) return options;
    if (files.size() > 1) throw RenderError("more than one MIDI file given: " + files[1]);
    if (!files.empty()) options.midiFile = files[0];
    const bool rendering = !options.listParams && !options.info;
    if (options.demo && !options.midiFile.empty()) {
        throw RenderError("--demo plays its own phrase; give no MIDI file with it");
    }
    if (rendering && !options.demo && options.midiFile.empty()) {
        throw RenderError("no MIDI file given (see --help)");
    }
    if (rendering && options.output.empty()) {
        options.output = options.demo ? "demo.wav" : defaultOutputFor(options.midiFile);
    }
    return options;
}

} // namespace quillo::render
