// Audio processing across sample rates and block sizes, with random MIDI and
// automation, and the host-side changes that happen between blocks.

#include "validate/check.h"
#include "validate/events.h"
#include "validate/session.h"
#include "validate/silence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace quillo::validate {
namespace {

constexpr float kAudible = 1.0e-3f; // -60 dBFS

const double kSampleRates[] = {1234.5678, 22050.0, 44100.0,  48000.0,
                               88200.0,   96000.0, 192000.0, 768000.0};
const int32_t kBlockSizes[] = {1, 2, 10, 17, 64, 333, 512, 1024, 2027, 4096, 16384};
constexpr int32_t kLargestBlock = 16384;
constexpr int32_t kRandomBlockLimit = 4096;

std::string formatted(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::vector<float> readParameters(hosting::PluginInstance& plugin) {
    std::vector<float> values;
    for (int32_t i = 0; i < plugin.numParams(); ++i)
        values.push_back(plugin.param(i));
    return values;
}

void restoreParameters(hosting::PluginInstance& plugin, const std::vector<float>& values) {
    for (int32_t i = 0; i < static_cast<int32_t>(values.size()); ++i)
        plugin.setParam(i, values[i]);
}

struct PhaseResult {
    float peak = 0.0f;
    double tailSeconds = 0.0;
};

// Plays random MIDI with random automation for a while, then puts the patch back,
// lets go of everything and waits for silence. blockSize 0 means a random size on
// every call.
PhaseResult playThenRelease(Session& session, RandomMidi& midi, const std::vector<float>& patch,
                            int32_t blockSize, int64_t soundingFrames, const SilenceRule& rule) {
    auto& rng = midi.rng();
    std::uniform_int_distribution<int32_t> anySize(1, kRandomBlockLimit);
    std::uniform_int_distribution<int32_t> smallSize(1, 64);
    const auto nextSize = [&] {
        if (blockSize > 0) return blockSize;
        return rng() % 2 ? smallSize(rng) : anySize(rng);
    };

    PhaseResult result;
    ScriptBlock block;
    for (int64_t done = 0; done < soundingFrames; done += block.frames) {
        block.frames = nextSize();
        randomParameterWrites(rng, session.plugin().numParams(), block.frames, 1024,
                              block.parameters);
        // Something sounds from the first block on; made before the block's other
        // events, as it comes before them.
        if (done == 0) {
            const ScriptEvent first = midi.noteOn(0, 60, 100);
            midi.fillBlock(block.frames, session.sampleRate(), 25.0, block.events);
            block.events.insert(block.events.begin(), first);
        } else {
            midi.fillBlock(block.frames, session.sampleRate(), 25.0, block.events);
        }
        try {
            result.peak = std::max(result.peak, session.render(block));
        } catch (const CheckFailed& failure) {
            fail(formatted("%.3f s in: ", static_cast<double>(done) / session.sampleRate()) +
                 failure.what());
        }
    }
    restoreParameters(session.plugin(), patch);
    const int32_t tailBlock = blockSize > 0 ? blockSize : 512;
    releaseEverything(session, midi, tailBlock);
    result.tailSeconds = renderUntilSilent(session, tailBlock, rule);
    return result;
}

// Every block size at one sample rate, then a random size on every call.
std::string processesAtRate(const Context& context, double rate) {
    const SilenceRule rule = SilenceRule::forContext(context);
    const double seconds = context.quick() ? 0.15 : 0.5;
    progress("setting up the instance");
    Session session(context, rate, kLargestBlock);
    const std::vector<float> patch = readParameters(session.plugin());
    RandomMidi midi(context.seed() ^ static_cast<uint64_t>(rate * 1000.0));

    float peak = 0.0f;
    double longestTail = 0.0;
    std::vector<int32_t> settings(std::begin(kBlockSizes), std::end(kBlockSizes));
    settings.push_back(0);
    for (int32_t size : settings) {
        const std::string label =
            size > 0 ? "block size " + std::to_string(size) : "random block sizes";
        progress(label);
        session.changeBlockSize(size > 0 ? size : kRandomBlockLimit);
        const int64_t frames = std::max<int64_t>(std::llround(seconds * rate), 3 * int64_t{size});
        try {
            const PhaseResult result = playThenRelease(session, midi, patch, size, frames, rule);
            peak = std::max(peak, result.peak);
            longestTail = std::max(longestTail, result.tailSeconds);
        } catch (const CheckFailed& failure) {
            fail(label + ": " + failure.what());
        }
    }
    return formatted("12 block settings, peak %.1f dBFS, silent %.3f s after release at most",
                     dbfs(peak), longestTail);
}

// The baseline the signal checks rely on; a plain note-off, so the tail is the
// instrument's own release.
std::string heldNoteSounds(const Context& context) {
    const SilenceRule rule = SilenceRule::forContext(context);
    Session session(context, 44100.0, 512);
    session.render(512, {midiEvent(0, 0x90, 60, 100)});
    const float peak = session.renderFor(22050, 512);
    expect(peak > kAudible, formatted("a held note peaks at %.1f dBFS", dbfs(peak)));
    session.render(512, {midiEvent(0, 0x80, 60, 64)});
    const double tail = renderUntilSilent(session, 512, rule);
    return formatted("peak %.1f dBFS, silent %.3f s after the note-off", dbfs(peak), tail);
}

// Hosts change the rate between blocks, properly suspended or not.
std::string sampleRateChangesBetweenBlocks(const Context& context) {
    const SilenceRule rule = SilenceRule::forContext(context);
    Session session(context, 44100.0, 1024);
    RandomMidi midi(context.seed());
    session.render(256, {midi.noteOn(0, 57, 100)});
    const bool sounded = session.renderFor(8820, 256) > kAudible;

    struct Change {
        double rate;
        bool suspend;
    };
    for (const Change change :
         {Change{48000.0, false}, Change{96000.0, true}, Change{22050.0, false},
          Change{192000.0, true}, Change{44100.0, false}}) {
        progress(formatted("changing to %.0f Hz", change.rate));
        if (change.suspend)
            session.changeSampleRate(change.rate);
        else
            session.plugin().setSampleRate(change.rate);
        session.renderFor(static_cast<int32_t>(change.rate * 0.1), 256);
    }
    releaseEverything(session, midi, 256);
    renderUntilSilent(session, 256, rule);

    // A new note after all the changes still plays.
    session.render(256, {midi.noteOn(0, 64, 100)});
    const float peak = session.renderFor(8820, 256);
    expect(!sounded || peak > kAudible,
           formatted("a note after the rate changes peaks at %.1f dBFS", dbfs(peak)));
    return {};
}

// Suspend and resume while a note sounds, as hosts do when the transport stops
// or the audio device is reconfigured.
std::string mainsOffAndOnWhileNoteSounds(const Context& context) {
    const SilenceRule rule = SilenceRule::forContext(context);
    Session session(context, 44100.0, 512);
    RandomMidi midi(context.seed());
    session.render(512, {midi.noteOn(0, 60, 100)});
    const bool sounded = session.renderFor(8192, 512) > kAudible;
    for (int i = 0; i < 5; ++i) {
        session.plugin().suspend();
        session.plugin().resume();
        session.renderFor(2048, 512);
    }
    releaseEverything(session, midi, 512);
    renderUntilSilent(session, 512, rule);
    session.render(512, {midi.noteOn(0, 62, 100)});
    const float peak = session.renderFor(8192, 512);
    expect(!sounded || peak > kAudible,
           formatted("a note after suspend and resume peaks at %.1f dBFS", dbfs(peak)));
    return {};
}

// A host with a broken audio setup may announce a rate of 0 or worse. Any plug-in
// must survive such rates and play again once a real rate comes; one that promises
// to ignore them must also keep its output valid while they are set.
std::string invalidSampleRatesDoNoHarm(const Context& context) {
    Session session(context, 44100.0, 512);
    RandomMidi midi(context.seed());
    session.render(512, {midi.noteOn(0, 60, 100)});
    session.renderFor(4096, 512);
    const float invalid[] = {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
    std::string tolerated;
    for (float rate : invalid) {
        progress(formatted("sample rate %g", rate));
        session.plugin().dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        session.plugin().suspend();
        session.plugin().dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        session.plugin().resume();
        try {
            session.renderFor(2048, 512);
        } catch (const CheckFailed& failure) {
            if (context.promises().ignoresInvalidSampleRates)
                fail(formatted("at sample rate %g: ", rate) + failure.what());
            tolerated = failure.what();
        }
    }
    progress("back at 44100 Hz");
    session.changeSampleRate(44100.0);
    releaseEverything(session, midi, 512);
    session.renderFor(22050, 512);
    session.render(512, {midi.noteOn(0, 60, 100)});
    session.renderFor(8192, 512);
    return tolerated.empty() ? "" : "output while the rate was invalid: " + tolerated;
}

} // namespace

void addProcessingChecks(std::vector<Check>& checks) {
    checks.push_back({"a held note sounds and then falls silent", heldNoteSounds});
    for (double rate : kSampleRates) {
        checks.push_back(
            {formatted("processing at %g Hz, every block size and random sizes", rate),
             [rate](const Context& context) { return processesAtRate(context, rate); }});
    }
    checks.push_back({"sample-rate changes between blocks", sampleRateChangesBetweenBlocks});
    checks.push_back(
        {"effMainsChanged off and on while a note sounds", mainsOffAndOnWhileNoteSounds});
    checks.push_back(
        {"non-positive and non-finite sample rates do no harm", invalidSampleRatesDoNoHarm});
}

} // namespace quillo::validate
