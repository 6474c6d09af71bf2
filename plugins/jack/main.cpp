// quillo-jack: Quillo as a JACK client, played from a MIDI keyboard without a host.

#include "hosting/command_line.h"
#include "hosting/parameter_access.h"
#include "hosting/user_error.h"
#include "plugins/jack/jack_synth.h"
#include "plugins/jack/parameter_probe.h"
#include "presets/factory_bank.h"
#include "presets/preset_loading.h"
#include "synth/identity.h"

#include <jack/jack.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum ExitStatus { kOk = 0, kFailure = 1, kUsageError = 2, kAllocated = 3 };

const char* const kUsage =
    "Usage: quillo-jack [options]\n"
    "Quillo as a JACK client: one MIDI input, two audio outputs.\n"
    "\n"
    "  -n, --name NAME           JACK client name (default: quillo)\n"
    "      --connect-midi PATTERN\n"
    "                            connect every MIDI output whose name matches (a regular\n"
    "                            expression) to Quillo's input\n"
    "      --connect-audio PATTERN\n"
    "                            connect Quillo's outputs to the first two audio inputs\n"
    "                            whose names match\n"
    "  -a, --auto-connect        connect every physical MIDI input and the first two\n"
    "                            playback ports\n"
    "      --bank FILE.fxb       load a VST 2 bank of Quillo programs into programs\n"
    "                            0..31 and select the one it marks as current\n"
    "      --program N           select program N (0..31) before playing\n"
    "      --preset NAME, --preset FILE.fxp\n"
    "                            play a factory preset (any case) or a VST 2 program\n"
    "                            file made for Quillo; applied after --bank and --program\n"
    "      --param NAME=VALUE, --param INDEX=VALUE\n"
    "                            set a parameter: a normalised number 0..1, or the\n"
    "                            value's text for a choice (Wave1=Pulse); names in any\n"
    "                            case; repeatable; applied after --program\n"
    "      --list-presets        print the factory presets' names\n"
    "  -q, --quiet               no status line and no summary\n"
    "  -h, --help                print this help\n"
    "      --version             print the version\n"
    "\n"
    "While it runs, standard input takes commands, one per line:\n"
    "  param NAME=VALUE    program N    quit\n"
    "MIDI program changes select programs 0..31. SIGINT or SIGTERM closes the client.\n"
    "\n"
    "Exit status: 0 when closed by a signal or 'quit'; 1 when a preset or bank cannot be\n"
    "read, no JACK server runs or the server shuts down; 2 for a mistake on the command\n"
    "line.\n";

using quillo::UsageError;
using quillo::UserError;

struct Setting {
    int32_t index;
    float value;
};

struct Options {
    std::string name = "quillo";
    std::vector<std::string> midiPatterns;
    std::vector<std::string> audioPatterns;
    bool autoConnect = false;
    std::optional<LoadedBank> bank;
    std::optional<int32_t> program;
    std::optional<LoadedProgram> preset;
    std::vector<Setting> parameters;
    bool quiet = false;
};

Setting parameterSetting(ParameterProbe& probe, const std::string& text) {
    const auto [index, value] =
        quillo::hosting::resolveParameter(probe, quillo::hosting::parseParameter(text));
    return {index, value};
}

Options parse(int argc, char** argv, ParameterProbe& probe) {
    Options options;
    bool help = false, version = false, listPresets = false;
    quillo::hosting::CommandLine line;
    line.flag("-h, --help", help);
    line.flag("--version", version);
    line.option("-n, --name", [&](const std::string& v) { options.name = v; });
    line.option("--connect-midi", [&](const std::string& v) { options.midiPatterns.push_back(v); });
    line.option("--connect-audio",
                [&](const std::string& v) { options.audioPatterns.push_back(v); });
    line.flag("-a, --auto-connect", options.autoConnect);
    line.option("--bank", [&](const std::string& v) {
        options.bank = loadBank(v, identity::kVst2UniqueId, kNumParameters, kNumPrograms);
    });
    line.option("--program", [&](const std::string& v) {
        options.program =
            static_cast<int32_t>(quillo::hosting::wholeNumber("--program", v, 0, kNumPrograms - 1));
    });
    line.option("--preset", [&](const std::string& v) {
        options.preset = loadPreset(v, identity::kVst2UniqueId, kNumParameters, true);
    });
    line.option("--param", [&](const std::string& v) {
        options.parameters.push_back(parameterSetting(probe, v));
    });
    line.flag("--list-presets", listPresets);
    line.flag("-q, --quiet", options.quiet);
    const std::vector<std::string> rest =
        line.parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!rest.empty()) throw UsageError("'" + rest.front() + "': quillo-jack takes no files");
    if (help) {
        std::cout << kUsage;
        std::exit(kOk);
    }
    if (version) {
        std::cout << "quillo-jack " << identity::versionText() << "\n";
        std::exit(kOk);
    }
    if (listPresets) {
        for (int p = 0; p < kNumFactoryPresets; ++p)
            std::cout << kFactoryPresets[p].name << "\n";
        std::exit(kOk);
    }
    return options;
}

std::atomic<int> stopSignal{0};

void onSignal(int signal) {
    stopSignal = signal;
}

void catchSignals() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Started in the background from a terminal, reading the terminal must not stop
    // the program: the read fails instead, and commands end.
    signal(SIGTTIN, SIG_IGN);
}

std::string decibels(float peak) {
    if (peak <= 0.0f) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(double(peak)));
    return text;
}

// Reads whole lines from standard input without blocking; false once input ends.
class CommandReader {
  public:
    bool poll(std::vector<std::string>& lines) {
        if (done_) return false;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        while (::poll(&in, 1, 0) > 0) {
            char chunk[512];
            const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0) {
                done_ = true;
                break;
            }
            pending_.append(chunk, static_cast<size_t>(got));
        }
        for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            lines.push_back(pending_.substr(0, end));
            pending_.erase(0, end + 1);
        }
        return !done_;
    }

  private:
    std::string pending_;
    bool done_ = false;
};

// One command line; false for "quit".
bool runCommand(JackSynth& synth, ParameterProbe& probe, const std::string& line) {
    std::istringstream words(line);
    std::string verb, argument;
    words >> verb >> argument;
    try {
        if (verb.empty()) return true;
        if (verb == "quit") return false;
        if (verb == "param") {
            const Setting setting = parameterSetting(probe, argument);
            synth.sendParameter(setting.index, setting.value);
        } else if (verb == "program") {
            synth.sendProgram(static_cast<int32_t>(
                quillo::hosting::wholeNumber("program", argument, 0, kNumPrograms - 1)));
        } else {
            std::cerr << "quillo-jack: unknown command '" << verb
                      << "' (param NAME=VALUE, program N, quit)\n";
        }
    } catch (const UserError& error) {
        std::cerr << "quillo-jack: " << error.what() << "\n";
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    ParameterProbe probe;
    Options options;
    try {
        options = parse(argc, argv, probe);
    } catch (const UsageError& error) {
        std::cerr << "quillo-jack: " << error.what() << "\n";
        return kUsageError;
    } catch (const UserError& error) { // a preset or bank that cannot be read
        std::cerr << "quillo-jack: " << error.what() << "\n";
        return kFailure;
    }

    catchSignals();
    std::unique_ptr<JackSynth> synth;
    try {
        synth = std::make_unique<JackSynth>(options.name);
        // Applied in the first period, before any MIDI, in this order: the bank into
        // the programs, the program, the preset over it, single parameters last.
        if (options.bank) {
            for (size_t p = 0; p < options.bank->programs.size(); ++p) {
                synth->sendProgram(static_cast<int32_t>(p));
                for (int32_t i = 0; i < kNumParameters; ++i)
                    synth->sendParameter(i, options.bank->programs[p].values[size_t(i)]);
            }
            synth->sendProgram(options.bank->currentProgram);
        }
        if (options.program) synth->sendProgram(*options.program);
        if (options.preset) {
            for (int32_t i = 0; i < kNumParameters; ++i)
                synth->sendParameter(i, options.preset->values[size_t(i)]);
        }
        for (const Setting& setting : options.parameters)
            synth->sendParameter(setting.index, setting.value);
        synth->activate();
    } catch (const JackError& error) {
        std::cerr << "quillo-jack: " << error.what() << "\n";
        return kFailure;
    }

    int connections = 0;
    for (const std::string& pattern : options.midiPatterns)
        connections += synth->connectMidiFrom(pattern.c_str());
    for (const std::string& pattern : options.audioPatterns)
        connections += synth->connectAudioTo(pattern.c_str());
    if (options.autoConnect) {
        connections += synth->connectMidiFrom(nullptr, JackPortIsPhysical);
        connections += synth->connectAudioTo(nullptr, JackPortIsPhysical);
    }
    const bool showStatus = !options.quiet && isatty(STDERR_FILENO);
    if (!options.quiet)
        std::cerr << "quillo-jack: playing as '" << synth->clientName() << "' (" << connections
                  << " connections made)\n";

    CommandReader commands;
    bool quit = false;
    int tick = 0;
    while (!stopSignal && !quit && !synth->serverGone()) {
        std::vector<std::string> lines;
        commands.poll(lines);
        for (const std::string& line : lines)
            quit = quit || !runCommand(*synth, probe, line);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!showStatus || ++tick % 5 != 0) continue;
        const JackSynth::Status status = synth->takeStatus();
        std::cerr << "\rquillo-jack: " << status.sampleRate << " Hz, " << status.bufferSize
                  << " frames | " << status.notes << " notes | " << status.xruns << " xruns | peak "
                  << decibels(status.peak) << "\x1b[K" << std::flush;
    }
    if (showStatus) std::cerr << "\n";

    if (synth->serverGone()) {
        const std::string reason = synth->shutdownReason();
        std::cerr << "quillo-jack: the JACK server shut down"
                  << (reason.empty() ? "" : ": " + reason) << "\n";
        return kFailure;
    }
    const JackSynth::Status status = synth->takeStatus();
    const uint64_t allocations = synth->allocationsWhileProcessing();
    synth.reset();
    if (allocations) {
        std::cerr << "quillo-jack: the process callback called the allocator " << allocations
                  << " times\n";
        return kAllocated;
    }
    if (!options.quiet)
        std::cerr << "quillo-jack: closed after " << status.notes << " notes, " << status.xruns
                  << " xruns\n";
    return kOk;
}
