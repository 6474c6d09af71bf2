#include "render/job.h"

#include "hosting/user_error.h"
#include "render/audio_file.h"
#include "render/automation.h"
#include "render/demo.h"
#include "render/midi_file.h"
#include "render/output_target.h"
#include "render/patch.h"
#include "render/plugin_search.h"
#include "render/random_patch.h"
#include "render/renderer.h"
#include "render/report.h"
#include "render/sidecar.h"
#include "render/writer_thread.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
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

// Making and closing instances, and their settings, one job at a time: plug-ins
// need not expect two threads in their set-up at once. Only the blocks run side by
// side.
std::mutex setUpLock;

Score loadScore(const Job& job, JobReport& report) {
    const Options& options = job.options;
    if (job.input.empty()) {
        return options.notes.empty() ? demoScore(options.sampleRate)
                                     : notesScore(options.notes, options.sampleRate);
    }
    const std::string name = job.input == "-" ? "standard input" : job.input;
    const MidiFile file = readMidiFile(job.input);
    for (const std::string& warning : file.warnings)
        warn(report.messages(), name, warning);
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
    if (options.verbose) describeFile(report.messages(), name, file, score, options.sampleRate);
    return score;
}

// An instance of the instrument, made and closed under the set-up lock.
class Instance {
  public:
    Instance(InstrumentLibrary& library, const Options& options) {
        std::lock_guard<std::mutex> setUp(setUpLock);
        plugin_ = library.instantiate(options.sampleRate, options.blockSize);
    }
    ~Instance() {
        std::lock_guard<std::mutex> setUp(setUpLock);
        plugin_.reset();
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    Instrument& operator*() { return *plugin_; }
    Instrument* operator->() { return plugin_.get(); }

  private:
    std::unique_ptr<Instrument> plugin_;
};

// The parameters as they stand, and, for sidecars, which --random-params drew.
void settle(Instrument& plugin, const Options& options, JobResult& into) {
    into.parameters.clear();
    for (int32_t index = 0; index < plugin.numParams(); ++index) {
        into.parameters.push_back(
            {index, plugin.paramName(index), plugin.param(index), plugin.paramText(index)});
    }
    into.varied.clear();
    if (options.randomSeed) {
        for (int32_t index : variedParameters(plugin, options.vary))
            into.varied.push_back(plugin.paramName(index));
    }
}

// One pass through a fresh instance of the instrument; settled, when given, learns the
// parameters as the render begins.
RenderResult renderPass(InstrumentLibrary& library, const Options& options, const Score& score,
                        const Automation& automation, const AudioSink& sink,
                        const ProgressListener& progress, JobResult* settled = nullptr,
                        const BlockLender& lend = {}) {
    return onFreshThread([&] {
        Instance plugin(library, options);
        RenderSettings settings;
        settings.sampleRate = options.sampleRate;
        settings.blockSize = options.blockSize;
        settings.blocks = options.fixedBlocks ? BlockMode::FixedGrid : BlockMode::SplitAtEvents;
        settings.tailSeconds = options.tailSeconds;
        // The built-in notes are as long as their last note's second, tail or not,
        // so that each file of a dataset lasts the same.
        const std::optional<double> length = options.lengthSeconds || options.notes.empty()
                                                 ? options.lengthSeconds
                                                 : notesSeconds(options.notes);
        if (length) settings.lengthFrames = frameAt(*length, options.sampleRate);
        std::vector<ResolvedChange> changes;
        {
            std::lock_guard<std::mutex> setUp(setUpLock);
            applySettings(*plugin, options);
            if (settled) settle(*plugin, options, *settled);
            // The demo names Quillo's parameters; another instrument just plays the notes.
            changes = resolveParameters(*plugin, score, /*skipUnknown=*/options.demo);
            const std::vector<ResolvedChange> automated =
                resolveAutomation(automation, *plugin, score.tempo, options.sampleRate);
            changes.insert(changes.end(), automated.begin(), automated.end());
            std::stable_sort(
                changes.begin(), changes.end(),
                [](const ResolvedChange& a, const ResolvedChange& b) { return a.frame < b.frame; });
            plugin->start();
        }
        const RenderResult result =
            renderScore(*plugin, score, changes, settings, sink, progress, lend);
        std::lock_guard<std::mutex> setUp(setUpLock);
        plugin->stop();
        return result;
    });
}

} // namespace

Job planJob(const Options& options, const std::string& input, const std::string& place) {
    Job job;
    job.options = options;
    job.input = input;
    job.place = place;
    job.output =
        !options.output.empty()
            ? options.output
            : defaultOutputFor(input.empty() ? "demo" : input,
                               options.fileType.value_or(FileType::Wav), options.outputDirectory);
    try {
        job.format = resolveFormat(options, job.output);
    } catch (const UsageError& error) {
        throw UsageError((place.empty() ? "" : place + ": ") + error.what());
    }
    return job;
}

void requireDistinctOutputs(const std::vector<Job>& jobs) {
    std::map<std::string, const Job*> outputs;
    for (const Job& job : jobs) {
        const std::string key =
            job.output == "-" ? "-" : std::filesystem::absolute(job.output).lexically_normal();
        const auto [first, added] = outputs.emplace(key, &job);
        if (added) continue;
        const Job& other = *first->second;
        throw UsageError((job.place.empty() ? job.input : job.place) + ": its output " +
                         job.output + " is also " +
                         (other.place.empty() ? "another MIDI file's" : "that of " + other.place));
    }
}

InstrumentLibrary& Libraries::get(const Options& options) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string& key = options.plugin;
    if (const auto failed = failed_.find(key); failed != failed_.end())
        throw UserError(failed->second);
    if (const auto opened = opened_.find(key); opened != opened_.end()) return *opened->second;
    try {
        const std::string path = key.empty() ? findDefaultPlugin() : key;
        return *(opened_[key] = InstrumentLibrary::open(path));
    } catch (const UserError& error) {
        failed_[key] = error.what();
        throw;
    }
}

bool writesSidecar(const Job& job) {
    return (job.options.sidecar || job.options.randomSeed) && job.output != "-";
}

JobResult renderJob(InstrumentLibrary& library, const Job& job, JobReport& report,
                    bool writeAside) {
    const Options& options = job.options;
    std::error_code sameFileError;
    if (!job.input.empty() && job.input != "-" && job.output != "-" &&
        std::filesystem::equivalent(job.output, job.input, sameFileError)) {
        throw UserError(job.output + ": the output would overwrite the MIDI file");
    }
    if (!options.outputDirectory.empty() && job.output != "-") {
        std::error_code madeDirectory; // if it failed, opening the output says why
        std::filesystem::create_directories(std::filesystem::path(job.output).parent_path(),
                                            madeDirectory);
    }
    const AudioFormat& format = job.format;
    const auto started = Clock::now();
    const Score score = loadScore(job, report);
    const Automation automation =
        options.automation.empty() ? Automation{} : readAutomation(options.automation);

    // The render is deterministic: a first pass finds the peak, the second writes.
    float gain = options.gainDb ? static_cast<float>(std::pow(10.0, *options.gainDb / 20)) : 1.0f;
    if (options.normalizeDbfs) {
        const RenderResult measured = renderPass(library, options, score, automation,
                                                 [](const float*, const float*, int32_t) {}, {});
        if (measured.peak > 0.0f) {
            gain = static_cast<float>(std::pow(10.0, *options.normalizeDbfs / 20) / measured.peak);
        }
    }

    auto target = OutputTarget::open(job.output, needsSeeking(format.type));
    AudioFileWriter writer(*target, options.sampleRate, format);
    writer.setGain(gain);
    std::optional<ProgressBar> bar;
    if (!options.quiet && !report.collecting() && isatty(STDERR_FILENO))
        bar.emplace(options.sampleRate);
    JobResult outcome;
    std::optional<WriterThread> aside;
    if (writeAside) aside.emplace(writer, options.blockSize);
    const RenderResult result = renderPass(
        library, options, score, automation,
        [&](const float* left, const float* right, int32_t frames) {
            if (aside) {
                aside->write(left, right, frames);
            } else {
                writer.write(left, right, frames);
            }
        },
        [&bar](int64_t done, int64_t end) {
            if (bar) bar->update(done, end);
        },
        &outcome,
        aside ? BlockLender([&aside](int32_t frames) { return aside->lend(frames); })
              : BlockLender());
    if (aside) aside->finish();
    writer.finish();
    target->commit();
    outcome.render = result;
    outcome.peak = writer.peak();
    if (writesSidecar(job)) writeSidecar(job, library.path(), outcome);
    const double taken = std::chrono::duration<double>(Clock::now() - started).count();
    bar.reset();

    const std::string& name = target->name();
    if (options.verbose) describeEnd(report.messages(), result, options, taken);
    if (result.end == RenderEnd::TailLimit) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "still sounding when the %g s tail ran out (a longer --tail lets it end)",
                      options.tailSeconds);
        warn(report.messages(), name, text);
    }
    if (writer.clippedSamples() > 0) {
        warn(report.messages(), name,
             std::to_string(writer.clippedSamples()) + " samples clipped (the render peaks at " +
                 decibels(result.peak * gain) + "); lower --gain or use --normalize");
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
        report.summary(job.output == "-") << textf(
            "%s: %s of audio (%lld frames, %d Hz, %s), %s, %s %d, rendered in %.2f s%s\n",
            name.c_str(), formatDuration(seconds).c_str(), static_cast<long long>(result.frames),
            options.sampleRate, formatLabel(format).c_str(), level.c_str(),
            options.fixedBlocks ? "fixed blocks of" : "blocks split at events, up to",
            options.blockSize, taken, speed);
    }
    return outcome;
}

} // namespace quillo::render
