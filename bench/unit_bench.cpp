// Micro-benchmarks of the engine units and of whole blocks, with Google Benchmark.
//
// Per-sample units report the time of one tick; the block benchmarks report it per
// rendered sample as well ("per sample" counter), so they read beside the
// whole-plug-in comparison of quillo-bench-host.

#include "bench/patches.h"
#include "engine/envelope.h"
#include "engine/lfo.h"
#include "engine/oscillator_pair.h"
#include "engine/resonant_filter.h"
#include "engine/wavetable_bank.h"
#include "plugins/vst2/vst_x_synth.h"
#include "synth/parameters.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;
constexpr int kSequence = 4096; // length of the precomputed modulation sequences

// A slow sine in 0..1 or -depth..depth, one value per tick.
std::vector<float> sineSequence(float offset, float depth, double cycles) {
    std::vector<float> values(kSequence);
    for (int i = 0; i < kSequence; ++i)
        values[i] = offset + depth * static_cast<float>(
                                         std::sin(6.283185307179586 * cycles * i / kSequence));
    return values;
}

// --- Oscillator pair --------------------------------------------------------------

enum OscillatorVariant { kSteadyPitch, kPitchModulation, kGliding };
const float kWaveValues[] = {0.0f, 0.3f, 0.5f, 0.7f, 0.9f}; // saw, pulse, tri, sine, noise

struct OscillatorBench {
    std::unique_ptr<WavetableBank> bank = std::make_unique<WavetableBank>();
    OscillatorPair pair;

    explicit OscillatorBench(int wave, bool glide) {
        bank->rebuild(kRate);
        pair.init();
        pair.tables = bank.get();
        pair.setSampleRate(kRate);
        pair.tuning2 = tuningFactor(0.5f, 0.51f);
        pair.setPulseWidth1(0.3f);
        pair.setPulseWidth2(0.7f);
        pair.setWave1(kWaveValues[wave]);
        pair.setWave2(kWaveValues[wave]);
        pair.glideEnabled = glide;
        pair.setGlide(0.0f, 0.0f); // Time mode, 0.01 s
        pair.glideTime = 0.05;
        pair.startNote(60);
    }
};

void BM_OscillatorTick(benchmark::State& state) {
    const int wave = static_cast<int>(state.range(0));
    const auto variant = static_cast<OscillatorVariant>(state.range(1));
    OscillatorBench bench(wave, variant == kGliding);
    // A vibrato of +-0.05 octave, or none.
    const std::vector<float> pitch = variant == kPitchModulation ? sineSequence(0.0f, 0.05f, 3.0)
                                                                 : std::vector<float>(kSequence);
    size_t i = 0;
    bool high = false;
    for (auto _ : state) {
        if (variant == kGliding && (i % kSequence) == 0) { // glides of 4 octaves, 0.05 s each
            high = !high;
            bench.pair.startNote(high ? 84 : 36);
        }
        const OscillatorPair::Output out = bench.pair.tick(pitch[i++ % kSequence], 0.0f);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OscillatorTick)
    ->ArgNames({"wave", "variant"})
    ->ArgsProduct({{0, 1, 2, 3, 4}, {kSteadyPitch, kPitchModulation, kGliding}});

// --- Filter -----------------------------------------------------------------------

// One cutoff update and one sample, as the render loop does them: a cutoff that moves
// every sample (an envelope or LFO sweep) or one that stands still.
void BM_FilterCutoffAndSample(benchmark::State& state) {
    const bool sweep = state.range(0) != 0;
    ResonantFilter filter;
    filter.setSampleRate(kRate);
    filter.setResonance(resonanceDivisor(0.7f));
    const std::vector<float> cutoff =
        sweep ? sineSequence(0.5f, 0.4f, 2.0) : std::vector<float>(kSequence, 0.6f);
    const std::vector<float> input = sineSequence(0.0f, 0.5f, 50.0);
    size_t i = 0;
    for (auto _ : state) {
        filter.setCutoff(cutoff[i % kSequence]);
        benchmark::DoNotOptimize(filter.process(input[i % kSequence]));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FilterCutoffAndSample)->ArgName("sweep")->Arg(0)->Arg(1);

// The sweep's coefficients a stretch of 64 samples at a time, as the render loop works
// out a moving cutoff: the time per sample, in the widest form this processor runs.
void BM_FilterCutoffStretch(benchmark::State& state) {
    ResonantFilter filter;
    filter.setSampleRate(kRate);
    filter.setResonance(resonanceDivisor(0.7f));
    const std::vector<float> cutoff = sineSequence(0.5f, 0.4f, 2.0);
    constexpr int32_t kStretch = ResonantFilter::kMaxStretch;
    ResonantFilter::CoefficientStretch stretch;
    size_t i = 0;
    for (auto _ : state) {
        filter.setCutoffs(cutoff.data() + i, kStretch, stretch);
        benchmark::DoNotOptimize(stretch.b0[stretch.set[kStretch - 1]]);
        i = (i + kStretch) % kSequence;
    }
    state.SetItemsProcessed(state.iterations() * kStretch);
    state.counters["per sample"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kStretch),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FilterCutoffStretch);

// Silent input. From a zero history the output is exactly zero; after a sound it decays
// into subnormal floats, where the rounding of the feedback keeps it cycling for good
// (the "subnormal" counter is their share). Both should cost the same.
void BM_FilterSilentInput(benchmark::State& state) {
    const bool excited = state.range(0) != 0;
    ResonantFilter filter;
    filter.setSampleRate(kRate);
    filter.setResonance(resonanceDivisor(0.9f));
    filter.setCutoff(0.5f);
    for (int i = 0; excited && i < 64; ++i)
        filter.process(i % 16 < 8 ? 1.0f : -1.0f);
    for (int i = 0; i < 200000; ++i) // past the audible decay
        filter.process(0.0f);
    int64_t subnormal = 0;
    for (auto _ : state) {
        filter.setCutoff(0.5f);
        const float y = filter.process(0.0f);
        subnormal += std::fpclassify(y) == FP_SUBNORMAL;
        benchmark::DoNotOptimize(y);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["subnormal"] = static_cast<double>(subnormal) / state.iterations();
}
BENCHMARK(BM_FilterSilentInput)->ArgName("after_sound")->Arg(0)->Arg(1);

// --- Envelope and LFO ---------------------------------------------------------------

// Attack, decay and sustain in turn, restarted every 4096 ticks.
void BM_EnvelopeTick(benchmark::State& state) {
    Envelope envelope;
    envelope.setSampleRate(kRate);
    envelope.setAttack(0.02f);
    envelope.setDecay(0.03f);
    envelope.setSustain(0.5f);
    envelope.setRelease(0.05f);
    size_t i = 0;
    for (auto _ : state) {
        if (++i % kSequence == 0) envelope.start();
        benchmark::DoNotOptimize(envelope.tick());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EnvelopeTick);

void BM_LfoTick(benchmark::State& state) {
    const float shapes[] = {0.0f, 0.3f, 0.6f, 0.9f}; // sine, square, saw, sample-and-hold
    Lfo lfo;
    lfo.setSampleRate(kRate);
    lfo.setShape(shapes[state.range(0)]);
    lfo.setRate(0.5f);
    lfo.depth = 0.5f;
    lfo.setDestination(0.3f);
    float held = 0.0f;
    for (auto _ : state)
        benchmark::DoNotOptimize(lfo.tick(held));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LfoTick)->ArgName("shape")->DenseRange(0, 3);

// --- Set-up costs -------------------------------------------------------------------

// Every point rewritten: the bank is told it holds nothing, or it would find its tables
// already right for the rate and leave them.
void BM_WavetableRebuild(benchmark::State& state) {
    auto bank = std::make_unique<WavetableBank>();
    const float rate = static_cast<float>(state.range(0));
    for (auto _ : state) {
        bank->built = false;
        bank->rebuild(rate);
        benchmark::DoNotOptimize(bank->points[1000]);
    }
}
BENCHMARK(BM_WavetableRebuild)
    ->ArgName("rate")
    ->Arg(44100)
    ->Arg(96000)
    ->Unit(benchmark::kMillisecond);

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// What a host pays to create an instance (engine set-up at 44100 Hz, 32 programs,
// program 0 loaded) and to close it again.
void BM_InstanceCreateAndClose(benchmark::State& state) {
    for (auto _ : state) {
        AudioEffect* instance = createEffectInstance(hostCallback);
        benchmark::ClobberMemory();
        AEffect* effect = instance->getAeffect();
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
}
BENCHMARK(BM_InstanceCreateAndClose)->Unit(benchmark::kMillisecond);

// --- Whole blocks -------------------------------------------------------------------

struct Patch {
    const char* name;
    std::vector<std::pair<ParameterIndex, float>> settings;
};

// The patches of the whole-plug-in comparison (scripts/bench.sh).
const Patch kPatches[] = {
    {"default", {}},
    {"full-modulation", bench_patches::kFullModulation},
    {"silent-input", {{kWave1, 0.3f}, {kPulseWidth1, 0.0f}, {kOscMix, 0.0f}}},
};

// A note-on or note-off as a one-event list.
struct OneEvent {
    VstMidiEvent midi{};
    VstEvents list{};

    OneEvent(int status, int key, int velocity) {
        midi.type = kVstMidiType;
        midi.byteSize = sizeof(VstMidiEvent);
        midi.midiData[0] = static_cast<char>(status);
        midi.midiData[1] = static_cast<char>(key);
        midi.midiData[2] = static_cast<char>(velocity);
        list.numEvents = 1;
        list.events[0] = reinterpret_cast<VstEvent*>(&midi);
    }
};

// 512-frame blocks of a sounding voice: a new note every 40 blocks (about 0.46 s),
// released 4 blocks before the next.
void BM_RenderBlock(benchmark::State& state) {
    const Patch& patch = kPatches[state.range(0)];
    AEffect* effect = createEffectInstance(hostCallback)->getAeffect();
    for (const auto& [index, value] : patch.settings)
        effect->setParameter(effect, index, value);
    constexpr int kFrames = 512;
    std::vector<float> left(kFrames), right(kFrames);
    float* outputs[2] = {left.data(), right.data()};
    const int keys[] = {48, 55, 60, 63, 67, 72, 43, 51};
    int block = 0;
    int key = keys[0];
    for (auto _ : state) {
        if (block % 40 == 0) {
            key = keys[(block / 40) % 8];
            OneEvent on(0x90, key, 100);
            effect->dispatcher(effect, effProcessEvents, 0, 0, &on.list, 0.0f);
        } else if (block % 40 == 36) {
            OneEvent off(0x80, key, 64);
            effect->dispatcher(effect, effProcessEvents, 0, 0, &off.list, 0.0f);
        }
        effect->processReplacing(effect, nullptr, outputs, kFrames);
        benchmark::DoNotOptimize(left[kFrames - 1]);
        ++block;
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    state.SetLabel(patch.name);
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.counters["per sample"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kFrames),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderBlock)->ArgName("patch")->DenseRange(0, 2);

} // namespace

BENCHMARK_MAIN();
