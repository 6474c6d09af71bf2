// quillo-render: renders MIDI files, or the built-in demo phrase, through a VST 2
// instrument into audio files.
#include "hosting/user_error.h"
#include "render/audio_file.h"
#include "render/demo.h"
#include "render/instrument.h"
#include "render/midi_file.h"
#include "render/options.h"
#include "render/output_target.h"
#include "render/plugin_report.h"
#include "render/plugin_search.h"
#include "render/renderer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <set>
#include <thread>
#include <unistd.h>

using namespace quillo;
using namespace quillo::render;

namespace {

using Clock = std::chrono::steady_clock;

void warn(const std::string& about, const std::string& text) {
    std::cerr << "quillo-render: warning: " << about << ": " << text << "\n";
}

// The program first, then the parameters, so --param adjusts the chosen program.
void applySettings(Instrument& plugin, const Options& options) {
    if (options.program) {
        const int32_t programs = plugin.numPrograms();
        if (*options.program >= programs) {
            throw UserError("--program " + std::to_string(*options.program) + ": " +
                            (programs > 0
                                 ? "the plug-in has " + std::to_string(programs) +
                                       " programs (0 to " + std::to_string(programs - 1) + ")"
                                 : std::string("the plug-in has no programs")));
        }
        plugin.setProgram(*options.program);
    }
    for (const hosting::ParameterSetting& setting : options.parameters) {
        const auto [index, value] = hosting::resolveParameter(plugin, setting);
        plugin.setParam(index, value);
    }
}

// Quillo's noise and sample-and-hold draw from a generator kept per thread; a
// render on a fresh thread starts from the same seed every time, so a second
// pass or the next file renders as a lone render would.
template <typename Work> auto onFreshThread(Work work) -> decltype(work()) {
    std::optional<decltype(work())> result;
    std::exception_ptr error;
    std::thread([&] {
        try {
            result.emplace(work());
        } catch (...) {
            error = std::current_exception();
        }
    }).join();
    if (error) std::rethrow_exception(error);
    return std::move(*result);
}

std::string formatDuration(double seconds) {
    char text[32];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    } else {
        std::snprintf(text, sizeof text, "%d:%05.2f", static_cast<int>(seconds / 60),
                      std::fmod(seconds, 60.0));
    }
    return text;
}

// A bar on stderr, redrawn at most ten times a second; the tail shows as a
// count of seconds, since its length is not known in advance.
class ProgressBar {
  public:
    explicit ProgressBar(double sampleRate) : sampleRate_(sampleRate) {}
    ~ProgressBar() {
        if (drawn_) std::fputs("\r\033[K", stderr);
    }

    void update(int64_t done, int64_t end) {
        const auto now = Clock::now();
        if (drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        drawn_ = true;
        constexpr int kWidth = 40;
        const double fraction = end > 0 ? std::min(1.0, static_cast<double>(done) / end) : 1.0;
        const int filled = static_cast<int>(fraction * kWidth);
        std::string bar(filled, '#');
        bar.append(kWidth - filled, '-');
        std::fprintf(stderr, "\r[%s] %3d%%  %s", bar.c_str(), static_cast<int>(fraction * 100),
                     formatDuration(done / sampleRate_).c_str());
        if (done > end) std::fprintf(stderr, " (tail +%.1f s)", (done - end) / sampleRate_);
        std::fputs("\033[K", stderr);
        std::fflush(stderr);
    }

  private:
    double sampleRate_;
    bool drawn_ = false;
    Clock::time_point lastDraw_;
};

std::string decibels(float level) {
    if (!(level > 0.0f)) return "-inf dBFS (silent)";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(level));
    return text;
}

std::string channelList(uint16_t channels) {
    std::string list;
    for (int c = 0; c < 16; ++c)
        if (channels >> c & 1) list += (list.empty() ? "" : ",") + std::to_string(c + 1);
    return list.empty() ? "none" : list;
}

// -v: what the file holds and what of it is sent.
void describeFile(const std::string& name, const MidiFile& file, const Score& score, int32_t rate) {
    std::string timing;
    if (file.ticksPerQuarter > 0) {
        timing = std::to_string(file.ticksPerQuarter) + " ticks a quarter note";
    } else {
        timing = "SMPTE time, " +
                 std::string(file.smpteFramesPerSecond == 29
                                 ? "29.97"
                                 : std::to_string(file.smpteFramesPerSecond)) +
                 " frames a second of " + std::to_string(file.ticksPerFrame) + " ticks";
    }
    std::fprintf(stderr, "%s: type %d, %zu track%s, %s\n", name.c_str(), file.type,
                 file.tracks.size(), file.tracks.size() == 1 ? "" : "s", timing.c_str());
    size_t tempoChanges = 0;
    double slowest = 0.0;
    double fastest = 0.0;
    for (size_t t = 0; t < file.tracks.size(); ++t) {
        const MidiTrack& track = file.tracks[t];
        uint16_t channels = 0;
        for (const TrackEvent& event : track.events)
            channels |= static_cast<uint16_t>(1u << (event.bytes[0] & 0x0F));
        const bool several = (channels & (channels - 1)) != 0;
        std::fprintf(
            stderr, "  track %zu%s: %zu events%s%s%s\n", t + 1,
            track.name.empty() ? "" : (" '" + track.name + "'").c_str(), track.events.size(),
            channels ? (several ? " on channels " : " on channel ") : "",
            channels ? channelList(channels).c_str() : "", track.hasEnd ? "" : ", no End of Track");
        for (const TimingEvent& change : track.timing) {
            if (!change.microsecondsPerQuarter) continue;
            const double bpm = 60e6 / change.microsecondsPerQuarter;
            slowest = tempoChanges ? std::min(slowest, bpm) : bpm;
            fastest = tempoChanges ? std::max(fastest, bpm) : bpm;
            ++tempoChanges;
        }
    }
    if (tempoChanges == 0) {
        std::fprintf(stderr, "  no tempo event: 120 bpm\n");
    } else {
        std::fprintf(stderr, "  %zu tempo event%s: %.4g", tempoChanges,
                     tempoChanges == 1 ? "" : "s", slowest);
        if (fastest != slowest) std::fprintf(stderr, " to %.4g", fastest);
        std::fprintf(stderr, " bpm\n");
    }
    for (const std::string& chunk : file.skippedChunks)
        std::fprintf(stderr, "  chunk '%s' skipped\n", chunk.c_str());
    size_t inFile = 0;
    for (const MidiTrack& track : file.tracks)
        inFile += track.events.size();
    std::fprintf(stderr,
                 "  %zu of %zu channel events chosen; the last at %s, the tracks end at %s\n",
                 score.events.size(), inFile,
                 formatDuration(static_cast<double>(score.endFrame) / rate).c_str(),
                 formatDuration(static_cast<double>(score.fileEndFrame) / rate).c_str());
}

void describeEnd(const RenderResult& result, const Options& options) {
    const char* why = "the tail fell silent for a quarter of a second";
    if (result.end == RenderEnd::Length) why = "it reached --length";
    if (result.end == RenderEnd::TailLimit) why = "the tail reached --tail";
    std::fprintf(stderr, "  %zu events sent; the render ended at %s: %s\n", result.eventsSent,
                 formatDuration(static_cast<double>(result.frames) / options.sampleRate).c_str(),
                 why);
}

struct Job {
    std::string input; // a MIDI file, "-", or empty for the demo
    std::string output;
};

Score loadScore(const Job& job, const Options& options) {
    if (job.input.empty()) return demoScore(options.sampleRate);
    const std::string name = job.input == "-" ? "standard input" : job.input;
    const MidiFile file = readMidiFile(job.input);
    for (const std::string& warning : file.warnings)
        warn(name, warning);
    EventSelection selection;
    if (!options.channels.empty()) {
        selection.channels = 0;
        for (int channel : options.channels)
            selection.channels |= static_cast<uint16_t>(1u << (channel - 1));
    }
    for (int track : options.tracks) {
        if (track > static_cast<int>(file.tracks.size())) {
            throw UserError(name + ": --track " + std::to_string(track) + ": the file has " +
                            std::to_string(file.tracks.size()) +
                            (file.tracks.size() == 1 ? " track" : " tracks"));
        }
    }
    selection.tracks = options.tracks;
    Score score = placeEvents(file, options.sampleRate, selection);
    if (options.verbose) describeFile(name, file, score, options.sampleRate);
    return score;
}

// One pass through a fresh instance of the instrument.
RenderResult renderPass(InstrumentLibrary& library, const Options& options, const Score& score,
                        const AudioSink& sink, const ProgressListener& progress) {
    return onFreshThread([&] {
        auto plugin = library.instantiate(options.sampleRate, options.blockSize);
        applySettings(*plugin, options);
        // The demo names Quillo's parameters; another instrument just plays the notes.
        const std::vector<ResolvedChange> changes =
            resolveParameters(*plugin, score, /*skipUnknown=*/options.demo);
        RenderSettings settings;
        settings.sampleRate = options.sampleRate;
        settings.blockSize = options.blockSize;
        settings.blocks = options.fixedBlocks ? BlockMode::FixedGrid : BlockMode::SplitAtEvents;
        settings.tailSeconds = options.tailSeconds;
        if (options.lengthSeconds) {
            settings.lengthFrames = frameAt(*options.lengthSeconds, options.sampleRate);
        }
        plugin->start();
        const RenderResult result = renderScore(*plugin, score, changes, settings, sink, progress);
        plugin->stop();
        return result;
    });
}

void renderJob(InstrumentLibrary& library, const Options& options, const Job& job) {
    std::error_code sameFileError;
    if (!job.input.empty() && job.input != "-" && job.output != "-" &&
        std::filesystem::equivalent(job.output, job.input, sameFileError)) {
        throw UserError(job.output + ": the output would overwrite the MIDI file");
    }
    const AudioFormat format = resolveFormat(options, job.output);
    const Score score = loadScore(job, options);
    const auto started = Clock::now();

    // The render is deterministic: a first pass finds the peak, the second writes.
    float gain = options.gainDb ? static_cast<float>(std::pow(10.0, *options.gainDb / 20)) : 1.0f;
    if (options.normalizeDbfs) {
        const RenderResult measured =
            renderPass(library, options, score, [](const float*, const float*, int32_t) {}, {});
        if (measured.peak > 0.0f) {
            gain = static_cast<float>(std::pow(10.0, *options.normalizeDbfs / 20) / measured.peak);
        }
    }

    auto target = OutputTarget::open(job.output, needsSeeking(format.type));
    AudioFileWriter writer(*target, options.sampleRate, format);
    writer.setGain(gain);
    std::optional<ProgressBar> bar;
    if (!options.quiet && isatty(STDERR_FILENO)) bar.emplace(options.sampleRate);
    const RenderResult result = renderPass(
        library, options, score,
        [&writer](const float* left, const float* right, int32_t frames) {
            writer.write(left, right, frames);
        },
        [&bar](int64_t done, int64_t end) {
            if (bar) bar->update(done, end);
        });
    writer.finish();
    target->commit();
    const double taken = std::chrono::duration<double>(Clock::now() - started).count();
    bar.reset();

    const std::string& name = target->name();
    if (options.verbose) describeEnd(result, options);
    if (result.end == RenderEnd::TailLimit) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "still sounding when the %g s tail ran out (a longer --tail lets it end)",
                      options.tailSeconds);
        warn(name, text);
    }
    if (writer.clippedSamples() > 0) {
        warn(name, std::to_string(writer.clippedSamples()) +
                       " samples clipped (the render peaks at " + decibels(result.peak * gain) +
                       "); lower --gain or use --normalize");
    }
    if (!options.quiet) {
        const double seconds = static_cast<double>(result.frames) / options.sampleRate;
        std::string level = "peak " + decibels(writer.peak());
        if (gain != 1.0f) {
            char text[48];
            std::snprintf(text, sizeof text, " after %+.1f dB", 20.0 * std::log10(gain));
            level += text;
        }
        char speed[32] = "";
        if (taken > 0.0) std::snprintf(speed, sizeof speed, ", %.1fx real time", seconds / taken);
        // With the audio on standard output, the summary goes to stderr.
        std::fprintf(job.output == "-" ? stderr : stdout,
                     "%s: %s of audio (%lld frames, %d Hz, %s), %s, %s %d, rendered in %.2f s%s\n",
                     name.c_str(), formatDuration(seconds).c_str(),
                     static_cast<long long>(result.frames), options.sampleRate,
                     formatLabel(format).c_str(), level.c_str(),
                     options.fixedBlocks ? "fixed blocks of" : "blocks split at events, up to",
                     options.blockSize, taken, speed);
    }
}

std::vector<Job> jobsOf(const Options& options) {
    if (options.demo) {
        const std::string output =
            !options.output.empty()
                ? options.output
                : defaultOutputFor("demo", options.fileType.value_or(FileType::Wav),
                                   options.outputDirectory);
        return {{"", output}};
    }
    std::vector<Job> jobs;
    std::set<std::string> outputs;
    for (const std::string& input : options.midiFiles) {
        const std::string output =
            !options.output.empty()
                ? options.output
                : defaultOutputFor(input, options.fileType.value_or(FileType::Wav),
                                   options.outputDirectory);
        if (output != "-" &&
            !outputs.insert(std::filesystem::absolute(output).lexically_normal()).second) {
            throw UsageError(input + ": its output " + output + " is also another MIDI file's");
        }
        jobs.push_back({input, output});
    }
    return jobs;
}

int run(const Options& options) {
    if (options.help) {
        std::cout << usage();
        return 0;
    }
    if (options.version) {
        std::cout << "quillo-render " QUILLO_VERSION "\n";
        return 0;
    }
    const std::vector<Job> jobs = jobsOf(options);
    std::error_code madeDirectory;
    if (!options.outputDirectory.empty()) {
        std::filesystem::create_directories(options.outputDirectory, madeDirectory);
    }
    const std::string pluginPath = options.plugin.empty() ? findDefaultPlugin() : options.plugin;
    const auto library = InstrumentLibrary::open(pluginPath);
    if (options.info || options.listParams || options.listPrograms) {
        auto plugin = library->instantiate(options.sampleRate, options.blockSize);
        applySettings(*plugin, options);
        if (options.info) plugin->describe(std::cout);
        if (options.listParams) {
            if (options.info) std::cout << "\n";
            printParameters(*plugin, std::cout);
        }
        if (options.listPrograms) {
            if (options.info || options.listParams) std::cout << "\n";
            printPrograms(*plugin, std::cout);
        }
        return 0;
    }

    // Each file on its own: one that fails is reported, the others still render.
    int status = 0;
    for (const Job& job : jobs) {
        try {
            renderJob(*library, options, job);
        } catch (const UsageError&) {
            throw;
        } catch (const UserError& error) {
            if (jobs.size() == 1) throw;
            std::cerr << "quillo-render: " << error.what() << "\n";
            status = 1;
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    installOutputSignalHandlers();
    try {
        return run(parseOptions(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const UsageError& error) {
        std::cerr << "quillo-render: " << error.what() << "\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "quillo-render: " << error.what() << "\n";
        return 1;
    }
}
