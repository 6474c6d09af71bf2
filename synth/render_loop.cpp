// The instrument's audio path: one fixed chain per sample, the same sample on both outputs.
//
// LFO 1 and LFO 2, envelope 1 and 2, the oscillator pair, ring modulation and mix,
// the filter recomputed from the modulated cutoff, amplitude and master volume. The
// LFOs' sample-and-hold and the noise oscillators share one random source, so the
// order of the ticks is part of the sound. A silent voice advances nothing.
//
// renderSampleBySample below is the chain as it is defined. The staged path after it
// renders the same bits faster: what stays fixed for a block is worked out once (which
// LFOs reach anything, whether the pitch and the cutoff move), and a stretch of frames
// runs stage by stage, every sample still computed by the same operations in the same
// order.

#include "synth/render_steps.h"
#include "synth/synth_core.h"

#include <algorithm>

void SynthCore::render(float* left, float* right, int32_t sampleFrames) {
    const int32_t frames = std::max(sampleFrames, 0);

    // The block in which both envelopes finish is rendered to its end; the voice is
    // ended here, at the start of the next one.
    if (envelope1.state == Envelope::Finished && envelope2.state == Envelope::Finished)
        voiceActive = false;
    if (!voiceActive) {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
        return;
    }

    // Tuning changes reach a held note here, once per block.
    oscillators.retune(currentNote);
    const render_steps::BlockValues block = render_steps::blockValues(
        parameters[kOscMix], parameters[kEnv1Depth], parameters[kEnv2Depth], parameters[kVolume]);

    // A fresh note starts at its delta frames; an offset beyond the block starts it at
    // once, and a negative one is ignored.
    int32_t first = 0;
    if (pendingNoteOffset >= 0) {
        first = pendingNoteOffset >= sampleFrames ? 0 : pendingNoteOffset;
        std::fill(left, left + first, 0.0f);
        std::fill(right, right + first, 0.0f);
        pendingNoteOffset = 0;
    }

    renderFrames(left, right, first, frames, block);
}

// The chain, one sample at a time: what every other way of rendering must match to the
// bit. The order of the ticks fixes the random draws: LFO 1's sample-and-hold, LFO 2's,
// oscillator 1's noise, oscillator 2's.
void SynthCore::renderSampleBySample(float* left, float* right, int32_t first, int32_t frames,
                                     const render_steps::BlockValues& block) {
    using namespace render_steps;
    for (int32_t frame = first; frame < frames; ++frame) {
        float l1 = 0.0f, l2 = 0.0f;
        if (isRouted(lfo1.destination))
            l1 = lfo1.tick(heldValue);
        else
            lfo1.advance(heldValue);
        if (isRouted(lfo2.destination))
            l2 = lfo2.tick(heldValue);
        else
            lfo2.advance(heldValue);
        const float e1 = envelope1.tick();
        const float e2 = envelope2.tick();
        const Modulation mod = modulation(lfo1.destination, l1, lfo2.destination, l2);

        const OscillatorPair::Output osc = oscillators.tick(mod.pitch, mod.pulseWidth);
        const float o1 = ringModulated(osc.out1, osc.out2, parameters[kRingMod]);
        const float x = oscillatorMix(o1, osc.out2, block);

        filter.setCutoff(modulatedCutoff(e1, block.depth1, parameters[kCutoff], mod.cutoff));
        const float y = filter.process(x);

        const float out = withVolume(amplitude(y, mod.volume, e2, block.depth2), block.volume);
        left[frame] = out;
        right[frame] = out;
    }
}

// The staged path. A block is rendered in stretches of up to kStretch frames, one stage
// at a time: modulation (the LFOs, where they reach anything), the oscillators with ring
// modulation and mix, then the filter with the envelopes, amplitude and volume, for a
// cutoff that stands or one that moves. Each stage keeps its running state in registers,
// and the processor overlaps many samples of one stage where a whole sample's chain would
// fill its window. The stages only meet through the values passed down the chain, so
// every sample is computed by the same operations as in one pass; the exception is the
// random source, which both the LFOs' sample-and-hold and the noise oscillators draw
// from: with both in play, their draws must alternate sample by sample, and the chain
// runs as one.

namespace {

using namespace render_steps;

constexpr int32_t kStretch = ResonantFilter::kMaxStretch; // frames rendered stage by stage

// The values passed down the chain in a stretch, one per frame.
struct StretchValues {
    // What the LFOs add to each destination (written only where an LFO is routed).
    float pitch[kStretch], pulseWidth[kStretch], cutoff[kStretch], volume[kStretch];
    float mix[kStretch]; // the oscillators after ring modulation and mix: the filter's input
};

// The state a stretch runs on: taken from the units at its start and given back at its
// end, so that no stage goes through memory for it from one sample to the next. The
// stages are inlined into each stretch variant for the same reason.
struct RunningState {
    double lfoPhase1, lfoPhase2;
    Envelope envelope1, envelope2;
    double x1, x2, y1, y2; // the filter's history
};

// Both LFOs over the stretch, and what they add to each destination. An LFO routed
// nowhere only moves on (a sample-and-hold one still draws on its wraps); its output
// would be thrown away.
[[gnu::always_inline]] inline void modulationStage(const Lfo& lfo1, const Lfo& lfo2,
                                                   float& heldValue, RunningState& run, int32_t n,
                                                   StretchValues& values) {
    const bool routed1 = isRouted(lfo1.destination), routed2 = isRouted(lfo2.destination);
    for (int32_t i = 0; i < n; ++i) {
        float l1 = 0.0f, l2 = 0.0f;
        if (routed1)
            l1 = lfo1.tickAt(run.lfoPhase1, heldValue);
        else
            lfo1.advanceAt(run.lfoPhase1, heldValue);
        if (routed2)
            l2 = lfo2.tickAt(run.lfoPhase2, heldValue);
        else
            lfo2.advanceAt(run.lfoPhase2, heldValue);
        const Modulation mod = modulation(lfo1.destination, l1, lfo2.destination, l2);
        values.pitch[i] = mod.pitch;
        values.pulseWidth[i] = mod.pulseWidth;
        values.cutoff[i] = mod.cutoff;
        values.volume[i] = mod.volume;
    }
}

// With no LFO routed anywhere the modulation stage does not run, and the filter stages
// move the LFOs on beside the feedback, where it costs nothing.
[[gnu::always_inline]] inline void advanceUnroutedLfos(const Lfo& lfo1, const Lfo& lfo2,
                                                       float& heldValue, RunningState& run) {
    lfo1.advanceAt(run.lfoPhase1, heldValue);
    lfo2.advanceAt(run.lfoPhase2, heldValue);
}

// The oscillators, ring modulation and mix. With a steady pitch one frequency step serves
// the whole stretch; otherwise the pitch factors come first, apart: each power of two is
// a long computation that depends on nothing but its own sample's modulation.
template <bool kSteadyPitch, bool kModulated>
[[gnu::always_inline]] inline void oscillatorStage(OscillatorPair& oscillators, float ringMod,
                                                   const BlockValues& block, int32_t n,
                                                   StretchValues& values) {
    double pitchFactor[kStretch];
    if (!kSteadyPitch) {
        for (int32_t i = 0; i < n; ++i)
            pitchFactor[i] = oscillators.pitchFactor(kModulated ? values.pitch[i] : 0.0f);
    }
    OscillatorPair::Step step{};
    if (kSteadyPitch) step = oscillators.frequencyStep(0.0f);
    const bool ringOff = engine::floatBits(ringMod) == 0; // +0
    for (int32_t i = 0; i < n; ++i) {
        const float pw = kModulated ? values.pulseWidth[i] : 0.0f;
        const OscillatorPair::Output osc =
            kSteadyPitch ? oscillators.play(step, pw)
                         : oscillators.play(oscillators.frequencyStepFor(pitchFactor[i]), pw);
        // With "RingMod" at +0 the product term is a signed zero, and adding it to a
        // non-zero o1 gives o1 exactly.
        const float o1 = ringOff && (engine::floatBits(osc.out1) & 0x7FFFFFFFu) != 0
                             ? osc.out1
                             : ringModulated(osc.out1, osc.out2, ringMod);
        values.mix[i] = oscillatorMix(o1, osc.out2, block);
    }
}

// The envelopes, the filter, amplitude and volume, for a cutoff that stands still:
// without envelope 1's depth or a cutoff LFO, e1 x depth1 is a zero whose sign is
// depth1's for any level an envelope holds (finite and not negative), the level before
// this stretch included, so one setCutoff serves the stretch. The filter's feedback sets
// the pace here, and the rest fits in beside it.
template <bool kModulated>
[[gnu::always_inline]] inline void
standingCutoffStage(ResonantFilter& filter, float baseCutoff, const BlockValues& block,
                    const Lfo& lfo1, const Lfo& lfo2, float& heldValue, RunningState& run,
                    const StretchValues& values, int32_t n, float* left, float* right) {
    filter.setCutoff(modulatedCutoff(run.envelope1.level, block.depth1, baseCutoff, 0.0f));
    for (int32_t i = 0; i < n; ++i) {
        if (!kModulated) advanceUnroutedLfos(lfo1, lfo2, heldValue, run);
        run.envelope1.tick();
        const float e2 = run.envelope2.tick();
        const float y = filter.processWith(run.x1, run.x2, run.y1, run.y2, values.mix[i]);
        const float out = withVolume(
            amplitude(y, kModulated ? values.volume[i] : 0.0f, e2, block.depth2), block.volume);
        left[i] = out;
        right[i] = out;
    }
}

// The same for a cutoff that envelope 1 or an LFO moves: the envelopes and the cutoffs
// first, then the filter's coefficients for the whole stretch (worked out stage by stage,
// apart from its history), then the feedback over them.
template <bool kModulated>
[[gnu::always_inline]] inline void
movingCutoffStage(ResonantFilter& filter, float baseCutoff, const BlockValues& block,
                  const Lfo& lfo1, const Lfo& lfo2, float& heldValue, RunningState& run,
                  const StretchValues& values, int32_t n, float* left, float* right) {
    float cutoff[kStretch] = {}, e2[kStretch];
    for (int32_t i = 0; i < n; ++i) {
        if (!kModulated) advanceUnroutedLfos(lfo1, lfo2, heldValue, run);
        const float e1 = run.envelope1.tick();
        e2[i] = run.envelope2.tick();
        cutoff[i] =
            modulatedCutoff(e1, block.depth1, baseCutoff, kModulated ? values.cutoff[i] : 0.0f);
    }
    ResonantFilter::CoefficientStretch coefficients;
    filter.setCutoffs(cutoff, n, coefficients);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t k = coefficients.set[i];
        const float y = ResonantFilter::step(
            coefficients.b0[k], coefficients.b1[k], coefficients.b2[k], coefficients.a1[k],
            coefficients.a2[k], run.x1, run.x2, run.y1, run.y2, values.mix[i]);
        const float out = withVolume(
            amplitude(y, kModulated ? values.volume[i] : 0.0f, e2[i], block.depth2), block.volume);
        left[i] = out;
        right[i] = out;
    }
}

} // namespace

// Picks the way the block runs, once: sample by sample where the random draws must
// alternate, otherwise the staged variant for what moves in this block.
void SynthCore::renderFrames(float* left, float* right, int32_t first, int32_t frames,
                             const BlockValues& block) {
    const bool sampleAndHold = lfo1.shape == Lfo::SampleAndHold || lfo2.shape == Lfo::SampleAndHold;
    const bool noise =
        oscillators.wave1 == OscillatorPair::Noise || oscillators.wave2 == OscillatorPair::Noise;
    if (sampleAndHold && noise) {
        renderSampleBySample(left, right, first, frames, block);
        return;
    }
    const bool modulated = isRouted(lfo1.destination) || isRouted(lfo2.destination);
    const bool pitchRouted = lfo1.destination == Lfo::ToPitch || lfo2.destination == Lfo::ToPitch;
    // With no pitch LFO and no glide under way, every sample's frequency work gives the
    // same step.
    const bool steadyPitch = !pitchRouted && oscillators.pitchStandsStill();
    const bool movingCutoff = block.depth1 != 0.0f || lfo1.destination == Lfo::ToCutoff ||
                              lfo2.destination == Lfo::ToCutoff;

    using Stretch = void (SynthCore::*)(float*, float*, int32_t, const BlockValues&);
    static constexpr Stretch kStretches[2][2][2] = {
        {{&SynthCore::renderStretch<false, false, false>,
          &SynthCore::renderStretch<false, false, true>},
         {&SynthCore::renderStretch<false, true, false>,
          &SynthCore::renderStretch<false, true, true>}},
        {{&SynthCore::renderStretch<true, false, false>,
          &SynthCore::renderStretch<true, false, true>},
         {&SynthCore::renderStretch<true, true, false>,
          &SynthCore::renderStretch<true, true, true>}}};
    const Stretch stretch = kStretches[steadyPitch][modulated][movingCutoff];
    for (int32_t start = first; start < frames; start += kStretch)
        (this->*stretch)(left + start, right + start, std::min(kStretch, frames - start), block);
}

// One stretch, stage by stage, on the running state taken from the units.
template <bool kSteadyPitch, bool kModulated, bool kMovingCutoff>
void SynthCore::renderStretch(float* left, float* right, int32_t n, const BlockValues& block) {
    RunningState run;
    run.lfoPhase1 = lfo1.phase;
    run.lfoPhase2 = lfo2.phase;
    StretchValues values;

    if (kModulated) modulationStage(lfo1, lfo2, heldValue, run, n, values);
    oscillatorStage<kSteadyPitch, kModulated>(oscillators, parameters[kRingMod], block, n, values);
    // Taken only now: held through the oscillators' stage, these would be saved and
    // restored around every power of two it takes.
    run.envelope1 = envelope1;
    run.envelope2 = envelope2;
    run.x1 = filter.x1;
    run.x2 = filter.x2;
    run.y1 = filter.y1;
    run.y2 = filter.y2;
    if (kMovingCutoff)
        movingCutoffStage<kModulated>(filter, parameters[kCutoff], block, lfo1, lfo2, heldValue,
                                      run, values, n, left, right);
    else
        standingCutoffStage<kModulated>(filter, parameters[kCutoff], block, lfo1, lfo2, heldValue,
                                        run, values, n, left, right);

    lfo1.phase = run.lfoPhase1;
    lfo2.phase = run.lfoPhase2;
    envelope1 = run.envelope1;
    envelope2 = run.envelope2;
    filter.x1 = run.x1;
    filter.x2 = run.x2;
    filter.y1 = run.y1;
    filter.y2 = run.y2;
}
