// quillo-bench-host: renders one MIDI phrase through several VST 2 instruments and
// Quillo's exact floor kernels (bench/floor_kernels.h), interleaved, and prints the
// processing time per rendered sample of each.
//
// Only the processing is timed: the events and processReplacing calls of every
// block. Loading the library, creating and setting up the instance and closing it
// are timed apart and reported as start-up; nothing is written to disk. Each round
// renders every case once, starting from a different case each round, so that a
// machine shared with other work slows all cases alike; the medians over the rounds
// are compared. Times are the processor time of the rendering thread, so the moments
// another process holds the core are not counted.
//
// Under callgrind (--collect-atstart=no) only the timed processing is collected.

#include "bench/floor_kernels.h"
#include "hosting/lv2_plugin.h"
#include "hosting/midi_event_list.h"
#include "hosting/plugin_instance.h"
#include "hosting/plugin_library.h"
#include "hosting/process_buffers.h"
#include "render/midi_file.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quillo::hosting;

// The processor time of the calling thread: on a machine shared with other work, the
// time another process holds this core is not counted against the instrument.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<Clock>;
    static constexpr bool is_steady = true;
    static time_point now() {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(duration(int64_t(t.tv_sec) * 1000000000 + t.tv_nsec));
    }
};

namespace {

struct Setting {
    std::string name;
    float value;
};

struct Case {
    std::string name;
    std::string plugin; // a VST 2 library or an LV2 bundle or URI, or
    std::string floor;  // the patch of a floor kernel
    std::vector<Setting> settings;
    std::shared_ptr<PluginLibrary> library;
    std::shared_ptr<Lv2Library> lv2;
    std::vector<double> nsPerSample; // one per round
    std::vector<double> startupMs;
    std::vector<double> closeMs;
    float peak = 0.0f;
    uint64_t output = 0; // a hash of the last round's output
};

using Event = quillo::render::TimedMidiEvent;

struct Options {
    std::string midiFile;
    int rounds = 5;
    double rate = 44100.0;
    int32_t block = 512;
    double seconds = -1.0; // the file's length
    std::vector<Case> cases;
    std::vector<std::pair<std::string, std::string>> ratios;
    std::vector<std::pair<std::string, std::string>> startRatios;
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "quillo-bench-host: %s\n", message.c_str());
    std::exit(2);
}

const char* kUsage =
    "Usage: quillo-bench-host [options] MIDI-FILE --case NAME PLUGIN [--param NAME=VALUE]...\n"
    "  --case NAME PLUGIN    an instrument to time: a VST 2 library, or an LV2 bundle or\n"
    "                        URI (repeatable)\n"
    "  --param NAME=VALUE    set a parameter of the last case (repeatable)\n"
    "  --floor NAME PATCH    time Quillo's floor kernel for PATCH (default, fullmod)\n"
    "  --ratio A/B           print median(A) / median(B) (repeatable)\n"
    "  --start-ratio A/B     the same for the start-up times (repeatable)\n"
    "  --rounds N            rounds over all cases (default 5)\n"
    "  --rate HZ             sample rate (default 44100)\n"
    "  --block N             frames per block (default 512)\n"
    "  --seconds S           render S seconds (default: the MIDI file's length)\n";

Options parse(int argc, char** argv) {
    Options options;
    auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) fail(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--case") {
            Case c;
            c.name = value(i);
            c.plugin = value(i);
            options.cases.push_back(c);
        } else if (arg == "--floor") {
            Case c;
            c.name = value(i);
            c.floor = value(i);
            if (!makeFloorKernel(c.floor, 44100.0f)) fail("--floor: no kernel for " + c.floor);
            options.cases.push_back(c);
        } else if (arg == "--param") {
            if (options.cases.empty() || !options.cases.back().floor.empty())
                fail("--param must follow a --case");
            const std::string text = value(i);
            const size_t equals = text.rfind('=');
            if (equals == std::string::npos) fail("--param " + text + ": expected NAME=VALUE");
            options.cases.back().settings.push_back(
                {text.substr(0, equals), std::stof(text.substr(equals + 1))});
        } else if (arg == "--ratio" || arg == "--start-ratio") {
            const std::string text = value(i);
            const size_t slash = text.find('/');
            if (slash == std::string::npos) fail(arg + " " + text + ": expected A/B");
            (arg == "--ratio" ? options.ratios : options.startRatios)
                .push_back({text.substr(0, slash), text.substr(slash + 1)});
        } else if (arg == "--rounds") {
            options.rounds = std::stoi(value(i));
        } else if (arg == "--rate") {
            options.rate = std::stod(value(i));
        } else if (arg == "--block") {
            options.block = std::stoi(value(i));
        } else if (arg == "--seconds") {
            options.seconds = std::stod(value(i));
        } else if (!arg.empty() && arg[0] == '-') {
            fail("unknown option " + arg + "\n" + kUsage);
        } else {
            options.midiFile = arg;
        }
    }
    if (options.midiFile.empty() || options.cases.empty()) fail(std::string("\n") + kUsage);
    if (options.rounds < 1 || options.block < 1 || options.rate <= 0) fail("bad numbers");
    return options;
}

// Every channel message of every track, at its frame; also the file's length.
std::vector<Event> loadEvents(const std::string& path, double rate, double& seconds) {
    quillo::render::Score score;
    try {
        score = quillo::render::placeEvents(quillo::render::readMidiFile(path),
                                            static_cast<int32_t>(rate));
    } catch (const std::exception& error) {
        fail(error.what());
    }
    seconds = static_cast<double>(score.fileEndFrame) / rate;
    return score.events;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// FNV-1a over the bits of the samples.
void hashSamples(uint64_t& hash, const float* samples, int32_t n) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    for (size_t i = 0; i < n * sizeof(float); ++i)
        hash = (hash ^ bytes[i]) * 0x100000001B3ull;
}

// Renders the phrase block by block and times the blocks alone. block(at, length, next)
// sends the events of the block from `next` on (moving it past them), renders and
// returns the left output.
template <typename Block>
void timeBlocks(Case& c, const Options& options, int64_t frames, Block block) {
    float peak = 0.0f;
    uint64_t hash = 0xCBF29CE484222325ull;
    size_t next = 0;
    Clock::duration elapsed{};
    for (int64_t at = 0; at < frames; at += options.block) {
        const int32_t length = static_cast<int32_t>(std::min<int64_t>(options.block, frames - at));
        CALLGRIND_TOGGLE_COLLECT;
        const Clock::time_point start = Clock::now();
        const float* left = block(at, length, next);
        elapsed += Clock::now() - start;
        CALLGRIND_TOGGLE_COLLECT;
        for (int32_t i = 0; i < length; ++i)
            peak = std::max(peak, std::fabs(left[i]));
        hashSamples(hash, left, length);
    }
    const double ns = std::chrono::duration<double, std::nano>(elapsed).count();
    c.nsPerSample.push_back(ns / static_cast<double>(frames));
    c.peak = std::max(c.peak, peak);
    c.output = hash;
}

// One complete render of the phrase by a floor kernel, timed as a plug-in is.
void runFloorOnce(Case& c, const Options& options, const std::vector<Event>& events,
                  int64_t frames) {
    const Clock::time_point created = Clock::now();
    std::unique_ptr<FloorKernel> kernel =
        makeFloorKernel(c.floor, static_cast<float>(options.rate));
    c.startupMs.push_back(millisecondsSince(created));

    std::vector<float> left(options.block), right(options.block);
    timeBlocks(c, options, frames, [&](int64_t at, int32_t length, size_t& next) {
        for (; next < events.size() && events[next].frame < at + length; ++next) {
            const uint8_t* bytes = events[next].bytes;
            const uint8_t kind = bytes[0] & 0xF0;
            if (kind == 0x90 && bytes[2] != 0)
                kernel->noteOn(bytes[1], static_cast<int32_t>(events[next].frame - at));
            else if (kind == 0x90 || kind == 0x80)
                kernel->noteOff(bytes[1]);
        }
        kernel->render(left.data(), right.data(), length);
        return left.data();
    });
    c.closeMs.push_back(0.0);
}

// An LV2 instrument, driven as quillo-render drives one: each block's MIDI as an atom
// sequence, then run, its outputs into left and right.
void runLv2Once(Case& c, const Options& options, const std::vector<Event>& events, int64_t frames) {
    const Clock::time_point created = Clock::now();
    Lv2Instance plugin(c.lv2, options.rate, options.block);
    for (const Setting& s : c.settings) {
        const auto& ports = c.lv2->ports();
        const auto port = std::find_if(ports.begin(), ports.end(), [&](const Lv2Port& p) {
            return p.kind == Lv2Port::Kind::ControlIn && (p.name == s.name || p.symbol == s.name);
        });
        if (port == ports.end()) fail(c.name + ": no control '" + s.name + "'");
        plugin.control(port->index) = port->minimum + s.value * (port->maximum - port->minimum);
    }
    plugin.activate();
    c.startupMs.push_back(millisecondsSince(created));

    std::vector<float> left(options.block), right(options.block);
    std::vector<Lv2Instance::MidiEvent> list;
    list.reserve(256);
    timeBlocks(c, options, frames, [&](int64_t at, int32_t length, size_t& next) {
        list.clear();
        for (; next < events.size() && events[next].frame < at + length && list.size() < 256;
             ++next)
            list.push_back({events[next].frame - at, events[next].bytes,
                            static_cast<uint32_t>(events[next].length)});
        plugin.run(list.data(), list.size(), left.data(), right.data(), length);
        return left.data();
    });
    c.closeMs.push_back(0.0);
}

// One complete render of the phrase by one case.
void runOnce(Case& c, const Options& options, const std::vector<Event>& events, int64_t frames) {
    if (!c.floor.empty()) return runFloorOnce(c, options, events, frames);
    if (c.lv2) return runLv2Once(c, options, events, frames);

    HostSettings settings;
    settings.sampleRate = options.rate;
    settings.blockSize = options.block;
    settings.product = "quillo-bench-host";

    const Clock::time_point created = Clock::now();
    auto plugin = PluginInstance::create(c.library, settings);
    plugin->open();
    plugin->setSampleRate(options.rate);
    plugin->setBlockSize(options.block);
    for (const Setting& s : c.settings) {
        const int32_t index = plugin->findParam(s.name);
        if (index < 0) fail(c.name + ": no parameter '" + s.name + "'");
        plugin->setParam(index, s.value);
    }
    plugin->resume();
    c.startupMs.push_back(millisecondsSince(created));

    ProcessBuffers buffers(plugin->numInputs(), plugin->numOutputs(), options.block);
    MidiEventList list(256);
    timeBlocks(c, options, frames, [&](int64_t at, int32_t length, size_t& next) {
        list.clear();
        for (; next < events.size() && events[next].frame < at + length && !list.full(); ++next)
            list.add(static_cast<int32_t>(events[next].frame - at), events[next].bytes,
                     events[next].length);
        if (!list.empty()) plugin->processEvents(list.vstEvents());
        plugin->processReplacing(buffers.inputs(), buffers.outputs(), length);
        return static_cast<const float*>(buffers.output(0));
    });

    const Clock::time_point closing = Clock::now();
    plugin.reset(); // effClose
    c.closeMs.push_back(millisecondsSince(closing));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

const Case* find(const std::vector<Case>& cases, const std::string& name) {
    for (const Case& c : cases)
        if (c.name == name) return &c;
    fail("--ratio names an unknown case '" + name + "'");
}

} // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    double fileSeconds = 0.0;
    const std::vector<Event> events = loadEvents(options.midiFile, options.rate, fileSeconds);
    const double seconds = options.seconds >= 0 ? options.seconds : fileSeconds;
    const int64_t frames = static_cast<int64_t>(std::llround(seconds * options.rate));
    if (frames < 1) fail("nothing to render");

    std::map<std::string, double> loadMs;
    try {
        for (Case& c : options.cases) {
            if (!c.floor.empty()) continue;
            const Clock::time_point start = Clock::now();
            if (Lv2Library::looksLikeLv2(c.plugin))
                c.lv2 = Lv2Library::open(c.plugin);
            else
                c.library = PluginLibrary::open(c.plugin);
            loadMs[c.name] = millisecondsSince(start);
        }
        std::printf("%s: %.2f s, %lld frames at %.0f Hz, blocks of %d, %d rounds\n",
                    options.midiFile.c_str(), seconds, static_cast<long long>(frames), options.rate,
                    options.block, options.rounds);
        std::fflush(stdout);
        const size_t n = options.cases.size();
        for (int round = 0; round < options.rounds; ++round)
            for (size_t k = 0; k < n; ++k)
                runOnce(options.cases[(round + k) % n], options, events, frames);
    } catch (const std::exception& error) {
        fail(error.what());
    }

    std::printf("\n%-16s %10s %8s %8s   %-34s %9s %8s %8s  %-16s\n", "case", "ns/sample", "min",
                "max", "every round", "start ms", "close ms", "peak", "output");
    for (const Case& c : options.cases) {
        std::string rounds;
        for (double v : c.nsPerSample) {
            char text[16];
            std::snprintf(text, sizeof text, "%.1f ", v);
            rounds += text;
        }
        std::printf("%-16s %10.2f %8.2f %8.2f   %-34s %9.2f %8.2f %8.4f  %016llx\n", c.name.c_str(),
                    median(c.nsPerSample),
                    *std::min_element(c.nsPerSample.begin(), c.nsPerSample.end()),
                    *std::max_element(c.nsPerSample.begin(), c.nsPerSample.end()), rounds.c_str(),
                    median(c.startupMs), median(c.closeMs), c.peak,
                    static_cast<unsigned long long>(c.output));
    }
    std::printf("(start ms: instance creation, open, rate, block, parameters and resume; "
                "library loading once:");
    for (const Case& c : options.cases)
        if (c.floor.empty()) std::printf(" %s %.1f ms", c.name.c_str(), loadMs[c.name]);
    std::printf(")\n(output: a hash of the left channel's samples)\n");

    // The medians are the figure to quote; the best rounds, the least disturbed by other
    // work on a shared machine, are printed beside them.
    if (!options.ratios.empty() || !options.startRatios.empty())
        std::printf("\n%-34s %8s %8s\n", "ratio", "median", "best");
    for (const auto& [a, b] : options.ratios) {
        const Case* first = find(options.cases, a);
        const Case* second = find(options.cases, b);
        const double ratio = median(first->nsPerSample) / median(second->nsPerSample);
        const double best =
            *std::min_element(first->nsPerSample.begin(), first->nsPerSample.end()) /
            *std::min_element(second->nsPerSample.begin(), second->nsPerSample.end());
        std::printf("%-34s %8.3f %8.3f  (%s is %.2f times %s)%s\n", (a + " / " + b).c_str(), ratio,
                    best, a.c_str(), ratio < 1 ? 1 / ratio : ratio,
                    ratio < 1 ? ("faster than " + b).c_str() : ("the cost of " + b).c_str(),
                    second->floor.empty()             ? ""
                    : first->output == second->output ? ", the same output"
                                                      : ", BUT THE OUTPUTS DIFFER");
    }
    for (const auto& [a, b] : options.startRatios) {
        const double ratio =
            median(find(options.cases, a)->startupMs) / median(find(options.cases, b)->startupMs);
        std::printf("%-34s %8.3f           (start-up of %s: %.2f times %s's)\n",
                    ("start " + a + " / " + b).c_str(), ratio, a.c_str(), ratio, b.c_str());
    }
    return 0;
}
