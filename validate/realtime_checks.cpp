// What an audio thread needs from a plug-in: no allocation, the same output for
// the same input, no harm from a parameter written on another thread, and no
// cost explosion when the signal fades into subnormal numbers.

#include "validate/check.h"
#include "validate/events.h"
#include "validate/session.h"
#include "validate/silence.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <random>
#include <thread>

namespace quillo::validate {
namespace {

std::string formatted(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// A random stream at a common rate with block sizes up to 4096, counting every
// allocator call made inside processEvents and processReplacing.
std::string noAllocationInAudioPath(const Context& context) {
    const double rate = 44100.0;
    const int32_t seconds = context.quick() ? 1 : 3;
    const auto script = randomScript(context.seed(), context.numParams(), rate,
                                     static_cast<int32_t>(rate) * seconds, 4096);
    Session session(context, rate, 4096);
    RandomMidi midi(context.seed() + 1);
    session.countAllocations(true);
    for (const ScriptBlock& block : script)
        session.render(block);
    releaseEverything(session, midi, 512);
    session.renderFor(22050, 512);
    session.countAllocations(false);
    expect(session.eventAllocations() == 0 && session.processAllocations() == 0,
           std::to_string(session.eventAllocations()) + " allocator calls in processEvents, " +
               std::to_string(session.processAllocations()) + " in processReplacing over " +
               std::to_string(script.size() + 44) + " blocks");
    return std::to_string(script.size()) + " blocks of random size";
}

struct Recording {
    std::vector<float> samples; // all outputs, block after block
    std::string error;
};

// One instance, created, played and closed on the calling thread.
void record(const Context& context, const std::vector<ScriptBlock>& script, Recording& out) {
    try {
        Session session(context, 48000.0, 1024);
        for (const ScriptBlock& block : script) {
            session.render(block);
            for (int32_t c = 0; c < session.numOutputs(); ++c)
                out.samples.insert(out.samples.end(), session.output(c),
                                   session.output(c) + block.frames);
        }
    } catch (const std::exception& error) {
        out.error = error.what();
    }
}

// Rendering offline twice must give the same file twice.
std::string identicalInputIdenticalOutput(const Context& context) {
    const auto script = randomScript(context.seed(), context.numParams(), 48000.0,
                                     context.quick() ? 24000 : 96000, 1024);
    Recording first;
    Recording second;
    std::thread a([&] { record(context, script, first); });
    std::thread b([&] { record(context, script, second); });
    a.join();
    b.join();
    expect(first.error.empty(), "first instance: " + first.error);
    expect(second.error.empty(), "second instance: " + second.error);
    expect(first.samples.size() == second.samples.size(), "different output lengths");
    for (size_t i = 0; i < first.samples.size(); ++i) {
        if (std::memcmp(&first.samples[i], &second.samples[i], sizeof(float)) != 0)
            fail(formatted("outputs differ at sample %.0f of %.0f: %.9g", static_cast<double>(i),
                           static_cast<double>(first.samples.size()), first.samples[i]) +
                 formatted(" against %.9g", second.samples[i]));
    }
    const bool silent =
        std::all_of(first.samples.begin(), first.samples.end(), [](float s) { return s == 0.0f; });
    expect(!silent, "both instances stayed silent");
    return std::to_string(script.size()) + " blocks, " + std::to_string(first.samples.size()) +
           " samples alike";
}

// The plug-in takes no locks by design; a host's editor thread writing
// parameters during rendering must still not crash it or corrupt its output.
std::string parametersWrittenFromAnotherThread(const Context& context) {
    if (context.numParams() == 0) skip("no parameters");
    Session session(context, 44100.0, 32);
    // Parameters that change at every sample may drive filters anywhere; what
    // counts here is that no torn state turns into a crash, a NaN or an infinity.
    session.setSampleLimit(std::numeric_limits<float>::infinity());
    RandomMidi midi(context.seed());
    session.render(32, {midi.noteOn(0, 60, 100)});

    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::atomic<uint64_t> writes{0};
    std::thread writer([&] {
        std::mt19937_64 rng(context.seed() + 7);
        std::uniform_int_distribution<int32_t> index(0, context.numParams() - 1);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        started = true;
        while (!done) {
            session.plugin().setParam(index(rng), value(rng));
            ++writes;
        }
    });
    while (!started)
        std::this_thread::yield();
    std::string error;
    try {
        for (int block = 0; block < 500; ++block) {
            if (block % 100 == 50) session.render(32, {midi.noteOn(0, 64, 90)});
            session.render(32);
        }
    } catch (const std::exception& failure) {
        error = failure.what();
    }
    done = true;
    writer.join();
    expect(error.empty(), error);
    return std::to_string(writes.load()) + " writes during the 500 blocks";
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double timedRender(Session& session, int32_t frames) {
    const double start = threadSeconds();
    session.renderFor(frames, 256);
    return threadSeconds() - start;
}

struct CostPair {
    double sounding = 1e30;
    double quiet = 1e30;
    float quietPeak = 0.0f;
};

// Renders a sounding instance and a quiet one, fresh for each trial, and keeps the
// cheapest time of each. prepare sets up a session, and makes it quiet when asked.
template <typename Prepare>
CostPair measureCosts(const Context& context, int trials, int32_t frames, Prepare prepare) {
    CostPair cost;
    for (int trial = 0; trial < trials; ++trial) {
        for (bool quiet : {false, true}) {
            Session session(context, 44100.0, 256);
            prepare(session, quiet);
            const double seconds = timedRender(session, frames);
            if (quiet) {
                cost.quiet = std::min(cost.quiet, seconds);
                cost.quietPeak = session.renderFor(256, 256);
            } else {
                cost.sounding = std::min(cost.sounding, seconds);
            }
        }
    }
    return cost;
}

void apply(hosting::PluginInstance& plugin, const std::vector<ParameterSetting>& settings) {
    for (const ParameterSetting& setting : settings) {
        const int32_t index = plugin.findParam(setting.name);
        expect(index >= 0, "no parameter \"" + setting.name + "\" for the near-silence promise");
        plugin.setParam(index, setting.value);
    }
}

// A held note against the time after it went quiet: released, or set quiet the
// way the plug-in promises, when envelopes, filters and effects fade towards zero.
std::string nearSilenceCostsNoMore(const Context& context) {
    const int trials = context.quick() ? 3 : 5;
    const int32_t frames = context.quick() ? 22050 : 44100;
    const Promises& promises = context.promises();
    const bool promised = !promises.nearSilenceBy.empty();
    const CostPair cost = measureCosts(context, trials, frames, [&](Session& session, bool quiet) {
        if (promised) apply(session.plugin(), promises.nearSilencePatch);
        session.render(256, {midiEvent(0, 0x90, 60, 100)});
        session.renderFor(4410, 256);
        if (!quiet) return;
        if (promised)
            apply(session.plugin(), promises.nearSilenceBy);
        else
            session.render(256, {midiEvent(0, 0x80, 60, 64)});
    });
    const double ratio = cost.quiet / cost.sounding;
    std::string what = "released note against a held one";
    if (promised) {
        what = "held note made quiet by";
        for (const ParameterSetting& setting : promises.nearSilenceBy)
            what += " " + setting.name + formatted("=%g", setting.value);
        what += " against a sounding one";
    }
    const std::string summary =
        formatted("ratio %.2f, ", ratio) + what +
        formatted(" (%.1f ms against %.1f ms of CPU for 1 s of audio at 44.1 kHz",
                  cost.quiet * 1e3 * 44100.0 / frames, cost.sounding * 1e3 * 44100.0 / frames) +
        formatted(", quiet peak %.3g)", cost.quietPeak);
    expect(ratio <= 2.0, summary);
    return summary;
}

} // namespace

void addRealtimeChecks(std::vector<Check>& checks) {
    checks.push_back(
        {"no memory allocation in processEvents and processReplacing", noAllocationInAudioPath});
    checks.push_back({"two fresh instances on their own threads render identical output",
                      identicalInputIdenticalOutput});
    checks.push_back(
        {"parameters written from a second thread while rendering 500 blocks: output stays finite",
         parametersWrittenFromAnotherThread});
    checks.push_back({"near-silent and subnormal signals cost at most twice a sounding one",
                      nearSilenceCostsNoMore});
}

} // namespace quillo::validate
