#include "render/options.h"

#include "hosting/command_line.h"
#include "hosting/user_error.h"
#include "render/random_patch.h"

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
constexpr int32_t kMaxJobs = 128; // each writes an output at a time (see output_target.cpp)
constexpr int64_t kMaxCount = 100000000;

// The items between the commas, empty ones too.
std::vector<std::string> commaItems(const std::string& text) {
    std::vector<std::string> items;
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

// "1,3,5-8": whole numbers and ranges from lowest to highest.
std::vector<int> parseNumberList(const std::string& option, const std::string& text, int lowest,
                                 int highest) {
    std::vector<int> numbers;
    auto refuse = [&] {
        return UsageError(option + ": '" + text + "' is not a list of numbers from " +
                          std::to_string(lowest) + " to " + std::to_string(highest) +
                          " (such as 1,3,5-8)");
    };
    for (const std::string& item : commaItems(text)) {
        const size_t dash = item.find('-', 1);
        long long first = 0;
        long long last = 0;
        if (!hosting::parseInteger(item.substr(0, dash), first)) throw refuse();
        last = first;
        if (dash != std::string::npos && !hosting::parseInteger(item.substr(dash + 1), last))
            throw refuse();
        if (first < lowest || last > highest || first > last) throw refuse();
        for (long long n = first; n <= last; ++n)
            numbers.push_back(static_cast<int>(n));
    }
    return numbers;
}

// "flac", "s16", "flac,s16": a file type, an encoding or both.
void parseFormat(const std::string& text, Options& options) {
    for (const std::string& item : commaItems(text)) {
        if (const auto type = fileTypeNamed(item)) {
            options.fileType = type;
        } else if (const auto encoding = encodingNamed(item)) {
            options.encoding = encoding;
        } else {
            throw UsageError("--format: '" + item +
                             "' is none of wav, flac, ogg, aiff, raw, f32, s16, s24");
        }
    }
}

std::string nonEmpty(const std::string& option, const std::string& value) {
    if (value.empty()) throw UsageError(option + ": empty name");
    return value;
}

// What no single option can see wrong.
void checkTogether(const Options& options) {
    if (options.gainDb && options.normalizeDbfs) {
        throw UsageError("give --gain or --normalize, not both");
    }
    if (!options.vary.empty() && !options.randomSeed) {
        throw UsageError("--vary names what --random-params draws; give a seed");
    }
}

} // namespace

std::string usage() {
    return R"(Usage: quillo-render [options] MIDI-FILE...
       quillo-render --demo | --notes LIST [options]
       quillo-render --batch FILE [options]
       quillo-render --dataset DIR --count K [options] [MIDI-FILE]
       quillo-render --from-sidecar FILE [options]
       quillo-render --info | --list-params | --list-programs | --list-presets
                     [options]
       quillo-render --save-preset FILE.fxp [options]

Renders Standard MIDI Files through a VST 2 or LV2 instrument into audio files,
one output for each MIDI file, several at once. - reads a MIDI file from standard
input.

Output:
  -o, --output FILE     file to write (default: the MIDI file's name with the
                        format's extension); - for standard output
      --output-dir DIR  write the outputs into DIR (made if missing), named after
                        the MIDI files, or as the jobs of a batch name them
      --format FORMAT   wav, flac, ogg (Vorbis), aiff or raw, and the samples:
                        f32, s16 or s24 (such as flac or wav,s16; default: from
                        the output's extension, else wav; f32 for wav and raw,
                        s24 for flac and aiff)
      --mono            one channel instead of two
      --gain DB         change the level by DB decibels
      --normalize[=DBFS]
                        set the peak to DBFS (default 0); the render runs twice
Plug-in:
      --plugin PATH     a VST 2 library, an LV2 bundle folder or an LV2 plug-in
                        URI (default: quillo.so beside this program, then
                        ../lib/vst, ~/.vst, /usr/local/lib/vst, /usr/lib/vst)
      --rate HZ         sample rate (default 44100)
      --block N         largest processing block in frames (default 512); blocks
                        are split at every event, so each acts at its own frame
      --fixed-blocks    blocks of exactly --block frames, events inside them,
                        as a DAW plays
      --bank FILE.fxb   load a VST 2 bank into the plug-in's programs and select
                        the program it marks as current
      --program N       select program N before rendering
      --preset NAME, --preset FILE.fxp
                        apply a factory preset of Quillo or an LV2 preset of the
                        plug-in by name (any case), or a VST 2 program file made
                        for the plug-in; after --bank and --program
      --param NAME=VALUE, --param INDEX=VALUE
                        set a parameter, by its normalised value from 0 to 1 or
                        by the text the plug-in shows (--param Wave1=Pulse);
                        names in any case; repeatable; applied last
      --save-preset FILE.fxp
                        write the settings as a VST 2 program file named after
                        FILE; without a MIDI file nothing is rendered
      --random-params SEED
                        draw the parameters --vary names from SEED (a whole
                        number), the same on every machine; after --preset,
                        before --param; writes a sidecar
      --vary NAMES      the parameters drawn, by name or index, separated by
                        commas (default: all but Volume); repeatable
      --automation FILE move parameters during the render, as the points of a
                        JSON file say: times in seconds, beats or frames, steps
                        or linear ramps moved every 32 frames
      --tail SECONDS    longest time rendered after the last event, stopping
                        early once the output is silent (default 5)
      --length SECONDS  render exactly this long, whatever the music and tail
MIDI:
      --channel LIST    send only these channels (1 to 16, such as 1,3-4;
                        repeatable)
      --track LIST      send only these tracks (from 1, as sequencers number
                        them; repeatable)
Sidecars:
      --sidecar         write OUTPUT.json beside each output: the plug-in, every
                        parameter's value and text, the MIDI file and the options
      --from-sidecar FILE
                        render again what a sidecar describes, to the output it
                        names unless -o or --output-dir says otherwise; options
                        given here change it; repeatable
Datasets:
      --dataset DIR     render --count random patches (see --random-params, seed
                        0 unless given) into DIR on every core, with a sidecar
                        each and manifest.csv and manifest.jsonl mapping every
                        file to its parameters and notes
      --count K         how many; without a MIDI file each plays --notes 48,60,72
Batches:
      --jobs N          render up to N outputs at once, each through its own
                        instance of the plug-in (default: one per core)
      --batch FILE      render the jobs a file lists, one a line: CSV with a
                        header or JSON Lines, naming per job the MIDI file, the
                        output and any option of the render
Other modes:
      --demo            render a built-in phrase instead of a MIDI file
      --notes LIST      play these keys (MIDI numbers, such as 48,60,72: each
                        held a second, then a second for its release) instead of
                        a MIDI file
      --info            print the plug-in's identity, capabilities and parameters
      --list-params     print every parameter's index, name, value and text
      --list-programs   print every program's number and name
      --list-presets    print the presets --preset takes by name
  -q, --quiet           no progress bar and no summary
  -v, --verbose         tell about the MIDI files, what is sent and why the
                        render ended
  -h, --help            print this help
      --version         print the version

Exit status: 0 when everything was rendered, 1 when a render failed (a MIDI
file, the plug-in or an output; the other jobs still render), 2 when the command
line or a job list is wrong.
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

namespace {

// Every option, parsed into the options.
void declareOptions(hosting::CommandLine& line, Options& options) {
    line.option("-o, --output", [&](const std::string& v) { options.output = nonEmpty("-o", v); });
    line.option("--output-dir", [&](const std::string& v) {
        options.outputDirectory = nonEmpty("--output-dir", v);
    });
    line.option("--format", [&](const std::string& v) { parseFormat(v, options); });
    line.flag("--mono", options.mono);
    line.option("--gain", [&](const std::string& v) {
        options.gainDb = hosting::numberIn("--gain", v, -120.0, 60.0, "a level in dB");
    });
    line.optionalValue("--normalize", [&](const std::optional<std::string>& v) {
        options.normalizeDbfs =
            v ? hosting::numberIn("--normalize", *v, -120.0, 0.0, "a level in dBFS") : 0.0;
    });
    line.option("--plugin",
                [&](const std::string& v) { options.plugin = nonEmpty("--plugin", v); });
    line.option("--rate", [&](const std::string& v) {
        options.sampleRate = hosting::positiveInteger("--rate", v, kMaxSampleRate);
    });
    line.option("--block", [&](const std::string& v) {
        options.blockSize = hosting::positiveInteger("--block", v, kMaxBlockSize);
    });
    line.flag("--fixed-blocks", options.fixedBlocks);
    line.option("--bank", [&](const std::string& v) { options.bank = nonEmpty("--bank", v); });
    line.option("--preset",
                [&](const std::string& v) { options.preset = nonEmpty("--preset", v); });
    line.option("--save-preset",
                [&](const std::string& v) { options.savePreset = nonEmpty("--save-preset", v); });
    line.option("--program", [&](const std::string& v) {
        options.program = static_cast<int32_t>(hosting::wholeNumber("--program", v, 0, INT32_MAX));
    });
    line.option("--param", [&](const std::string& v) {
        options.parameters.push_back(hosting::parseParameter(v));
    });
    line.option("--random-params", [&](const std::string& v) {
        options.randomSeed =
            static_cast<uint64_t>(hosting::wholeNumber("--random-params", v, 0, kMaxSeed));
    });
    line.option("--vary", [&](const std::string& v) {
        for (const std::string& name : commaItems(v))
            options.vary.push_back(nonEmpty("--vary", name));
    });
    line.flag("--sidecar", options.sidecar);
    line.option("--from-sidecar", [&](const std::string& v) {
        options.fromSidecars.push_back(nonEmpty("--from-sidecar", v));
    });
    line.option("--automation",
                [&](const std::string& v) { options.automation = nonEmpty("--automation", v); });
    line.option("--tail", [&](const std::string& v) {
        options.tailSeconds = hosting::numberIn("--tail", v, 0.0, 3600.0, "a number of seconds");
    });
    line.option("--length", [&](const std::string& v) {
        options.lengthSeconds =
            hosting::numberIn("--length", v, 0.0, 86400.0, "a number of seconds");
    });
    line.option("--channel", [&](const std::string& v) {
        for (int channel : parseNumberList("--channel", v, 1, 16))
            options.channels.push_back(channel);
    });
    line.option("--track", [&](const std::string& v) {
        for (int track : parseNumberList("--track", v, 1, 65535))
            options.tracks.push_back(track);
    });
    line.flag("--demo", options.demo);
    line.option("--notes", [&](const std::string& v) {
        for (int key : parseNumberList("--notes", v, 0, 127))
            options.notes.push_back(key);
    });
    line.option("--dataset",
                [&](const std::string& v) { options.dataset = nonEmpty("--dataset", v); });
    line.option("--count", [&](const std::string& v) {
        options.count = hosting::wholeNumber("--count", v, 1, kMaxCount);
    });
    line.option("--jobs", [&](const std::string& v) {
        options.jobs = hosting::positiveInteger("--jobs", v, kMaxJobs);
    });
    line.option("--batch", [&](const std::string& v) { options.batch = nonEmpty("--batch", v); });
    line.flag("--list-params", options.listParams);
    line.flag("--list-programs", options.listPrograms);
    line.flag("--list-presets", options.listPresets);
    line.flag("--info", options.info);
    line.flag("-q, --quiet", options.quiet);
    line.flag("-v, --verbose", options.verbose);
    line.flag("-h, --help", options.help);
    line.flag("--version", options.version);
}

} // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    hosting::CommandLine line;
    declareOptions(line, options);
    const std::vector<std::string> files = line.parse(arguments);
    options.arguments = arguments;

    if (options.help || options.version) return options;
    options.midiFiles = files;
    const bool rendering = !options.listParams && !options.info && !options.listPrograms &&
                           !options.listPresets &&
                           (options.savePreset.empty() || !files.empty() || options.demo);
    if (options.demo && !files.empty()) {
        throw UsageError("--demo plays its own phrase; give no MIDI file with it");
    }
    if (!options.notes.empty() && (options.demo || (!files.empty() && options.dataset.empty())))
        throw UsageError("--notes plays instead of a MIDI file; give no MIDI file nor --demo");
    if (options.dataset.empty() != (options.count == 0))
        throw UsageError("--dataset DIR and --count K go together");
    if (!options.dataset.empty()) {
        if (files.size() > 1 || (!files.empty() && !options.notes.empty()))
            throw UsageError("a dataset plays one MIDI file, or --notes");
        if (options.demo || !options.batch.empty() || !options.fromSidecars.empty() ||
            !options.output.empty() || !options.outputDirectory.empty() ||
            !options.savePreset.empty())
            throw UsageError("--dataset names its own outputs and inputs; give no -o, "
                             "--output-dir, --demo, --batch, --from-sidecar nor --save-preset");
        if (std::count(files.begin(), files.end(), "-") > 0)
            throw UsageError("a dataset reads its MIDI file for every patch; give a file");
        checkTogether(options);
        return options;
    }
    const bool sidecars = !options.fromSidecars.empty();
    if (sidecars && (!files.empty() || options.demo || !options.batch.empty()))
        throw UsageError("--from-sidecar names the MIDI file; give none, nor --demo or --batch");
    if (sidecars && options.fromSidecars.size() > 1 && !options.output.empty())
        throw UsageError("-o names one output; for several sidecars use --output-dir");
    if (rendering && !options.demo && files.empty() && options.batch.empty() && !sidecars &&
        options.notes.empty()) {
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
    if (!options.batch.empty()) {
        if (!files.empty() || options.demo)
            throw UsageError("--batch names the MIDI files; give none on the command line");
        if (!options.output.empty())
            throw UsageError("--batch names each job's output; give no -o");
    }
    checkTogether(options);
    return options;
}

Options jobOptions(const Options& base, const std::vector<std::string>& arguments) {
    Options options = base;
    options.batch.clear();
    hosting::CommandLine line;
    declareOptions(line, options);
    options.midiFiles = line.parse(arguments);
    // A job's own output goes into the folder unless it names its place whole.
    if (!options.output.empty() && !options.outputDirectory.empty() && options.output != "-" &&
        std::filesystem::path(options.output).is_relative()) {
        options.output = (std::filesystem::path(options.outputDirectory) / options.output).string();
    }
    checkTogether(options);
    return options;
}

} // namespace quillo::render
