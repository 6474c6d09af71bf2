#include "render/job.h"

#include "hosting/user_error.h"
#include "render/audio_file.h"
#include "render/demo.h"
#include "render/midi_file.h"
#include "render/output_target.h"
#include "render/patch.h"
#include "render/renderer.h"
#include "render/report.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <thread>
#include <unistd.h>

namespace quillo::render {
namespace {

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

} // namespace

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

} // namespace quillo::render
