// quillo-render: renders a MIDI file, or the built-in demo phrase, through a
// VST 2 instrument into a WAV file.
#include "render/audio_file.h"
#include "render/demo.h"
#include "render/instrument.h"
#include "render/midi_file.h"
#include "render/options.h"
#include "render/output_target.h"
#include "render/plugin_report.h"
#include "render/plugin_search.h"
#include "render/render_error.h"
#include "render/renderer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

using namespace quillo;
using namespace quillo::render;

namespace {

using Clock = std::chrono::steady_clock;

// The program first, then the parameters, so --param adjusts the chosen program.
void applySettings(Instrument& plugin, const Options& options) {
    if (options.program) {
        const int32_t programs = plugin.numPrograms();
        if (*options.program >= programs) {
            throw RenderError("--program " + std::to_string(*options.program) + ": " +
                              (programs > 0
                                   ? "the plug-in has " + std::to_string(programs) +
                                         " programs (0 to " + std::to_string(programs - 1) + ")"
                                   : std::string("the plug-in has no programs")));
        }
        plugin.setProgram(*options.program);
    }
    for (const ParameterSetting& setting : options.parameters) {
        int32_t index = setting.index;
        if (!setting.name.empty()) {
            index = findParam(plugin, setting.name);
            if (index < 0) {
                throw RenderError("--param " + setting.text + ": the plug-in has no parameter '" +
                                  setting.name + "' (see --list-params)");
            }
        } else if (index >= plugin.numParams()) {
            throw RenderError("--param " + setting.text + ": index out of range (the plug-in has " +
                              std::to_string(plugin.numParams()) + " parameters, 0 to " +
                              std::to_string(plugin.numParams() - 1) + ")");
        }
        plugin.setParam(index, setting.value);
    }
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

int run(const Options& options) {
    if (options.help) {
        std::cout << usage();
        return 0;
    }
    const std::string pluginPath = options.plugin.empty() ? findDefaultPlugin() : options.plugin;

    const auto library = InstrumentLibrary::open(pluginPath);
    if (options.info || options.listParams) {
        auto plugin = library->instantiate(options.sampleRate, options.blockSize);
        applySettings(*plugin, options);
        if (options.info) plugin->describe(std::cout);
        if (options.info && options.listParams) std::cout << "\n";
        if (options.listParams) printParameters(*plugin, std::cout);
        return 0;
    }

    std::error_code sameFileError;
    if (!options.midiFile.empty() && options.output != "-" &&
        std::filesystem::equivalent(options.output, options.midiFile, sameFileError)) {
        throw RenderError(options.output + ": the output would overwrite the MIDI file");
    }
    Score score;
    if (options.demo) {
        score = demoScore(options.sampleRate);
    } else {
        const MidiFile file = readMidiFile(options.midiFile);
        for (const std::string& warning : file.warnings)
            std::cerr << "quillo-render: warning: " << options.midiFile << ": " << warning << "\n";
        EventSelection selection;
        if (!options.channels.empty()) {
            selection.channels = 0;
            for (int channel : options.channels)
                selection.channels |= static_cast<uint16_t>(1u << (channel - 1));
        }
        for (int track : options.tracks) {
            if (track > static_cast<int>(file.tracks.size())) {
                throw RenderError(options.midiFile + ": --track " + std::to_string(track) +
                                  ": the file has " + std::to_string(file.tracks.size()) +
                                  (file.tracks.size() == 1 ? " track" : " tracks"));
            }
        }
        selection.tracks = options.tracks;
        score = placeEvents(file, options.sampleRate, selection);
    }
    auto target = OutputTarget::open(options.output, needsSeeking(options.format.type));
    AudioFileWriter writer(*target, options.sampleRate, options.format);
    auto plugin = library->instantiate(options.sampleRate, options.blockSize);
    applySettings(*plugin, options);
    // The demo names Quillo's parameters; another instrument just plays the notes.
    const std::vector<ResolvedChange> changes =
        resolveParameters(*plugin, score, /*skipUnknown=*/options.demo);

    RenderSettings settings;
    settings.sampleRate = options.sampleRate;
    settings.blockSize = options.blockSize;
    settings.blocks = options.fixedBlocks ? BlockMode::FixedGrid : BlockMode::SplitAtEvents;
    settings.tailSeconds = options.tailSeconds;
    if (options.lengthSeconds)
        settings.lengthFrames = frameAt(*options.lengthSeconds, options.sampleRate);

    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    std::optional<ProgressBar> bar;
    if (showProgress) bar.emplace(options.sampleRate);
    const auto started = Clock::now();
    plugin->start();
    const RenderResult result = renderScore(
        *plugin, score, changes, settings,
        [&writer](const float* left, const float* right, int32_t frames) {
            writer.write(left, right, frames);
        },
        [&bar](int64_t done, int64_t end) {
            if (bar) bar->update(done, end);
        });
    plugin->stop();
    plugin.reset();
    writer.finish();
    target->commit();
    const double taken = std::chrono::duration<double>(Clock::now() - started).count();
    bar.reset();

    if (result.end == RenderEnd::TailLimit) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "still sounding when the %g s tail ran out (a longer --tail lets it end)",
                      options.tailSeconds);
        std::cerr << "quillo-render: warning: " << target->name() << ": " << text << "\n";
    }
    if (!options.quiet) {
        const double seconds = static_cast<double>(result.frames) / options.sampleRate;
        char peak[32];
        if (result.peak > 0.0f) {
            std::snprintf(peak, sizeof peak, "%.1f dBFS", 20.0 * std::log10(result.peak));
        } else {
            std::snprintf(peak, sizeof peak, "-inf dBFS (silent)");
        }
        char speed[32] = "";
        if (taken > 0.0) std::snprintf(speed, sizeof speed, ", %.1fx real time", seconds / taken);
        // With the audio on standard output, the summary goes to stderr.
        std::fprintf(target->isStream() && options.output == "-" ? stderr : stdout,
                     "%s: %s of audio (%lld frames, %d Hz, %s), peak %s, %s %d, rendered in "
                     "%.2f s%s\n",
                     target->name().c_str(), formatDuration(seconds).c_str(),
                     static_cast<long long>(result.frames), options.sampleRate,
                     formatLabel(options.format).c_str(), peak,
                     options.fixedBlocks ? "fixed blocks of" : "blocks split at events, up to",
                     options.blockSize, taken, speed);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    installOutputSignalHandlers();
    Options options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const RenderError& error) {
        std::cerr << "quillo-render: " << error.what() << "\n";
        return 2;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::cerr << "quillo-render: " << error.what() << "\n";
        return 1;
    }
}
