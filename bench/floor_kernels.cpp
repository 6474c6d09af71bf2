#include "bench/floor_kernels.h"

#include "bench/patches.h"

#include "synth/render_steps.h"
#include "synth/synth_core.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

using namespace render_steps;
using engine::floatBits;

using Settings = bench_patches::Settings;

// The patch: an instance of the instrument set up as the benchmark sets Quillo up. The
// floors take their tables and every value derived from a parameter from it, so those are
// the instrument's own to the bit; nothing of it runs in a floor's loop.
class Patch : public SynthCore {
  public:
    Patch(float rate, const Settings& settings) {
        setSampleRate(rate);
        for (const auto& [index, value] : settings)
            setParameter(index, value);
    }
    BlockValues block() const {
        return blockValues(parameters[kOscMix], parameters[kEnv1Depth], parameters[kEnv2Depth],
                           parameters[kVolume]);
    }
    using SynthCore::envelope1;
    using SynthCore::envelope2;
    using SynthCore::filter;
    using SynthCore::lfo1;
    using SynthCore::lfo2;
    using SynthCore::oscillators;
    using SynthCore::parameters;
    using SynthCore::wavetables;
};

// What every floor keeps between blocks: the voice, its envelopes and the filter's
// history, and the note handling of a part whose notes do not overlap.
class Voice : public FloorKernel {
  public:
    Voice(float rate, const Settings& settings)
        : patch(std::make_unique<Patch>(rate, settings)), block(patch->block()),
          envelope1(patch->envelope1), envelope2(patch->envelope2) {
        const OscillatorPair& osc = patch->oscillators;
        currentFrequency = osc.currentFrequency;
        osc2Ratio = osc.tuning2 / osc.tuning1;
    }

    void noteOn(uint8_t key, int32_t deltaFrames) override {
        held = key;
        note = key;
        pendingOffset = deltaFrames;
        active = true;
        phase1 = phase2 = 0.0;
        retune();
        startGlide();
        envelope1.start();
        envelope2.start();
    }

    void noteOff(uint8_t key) override {
        if (key != held) return;
        held = -1;
        envelope1.release();
        envelope2.release();
    }

    void render(float* left, float* right, int32_t frames) override {
        if (envelope1.state == Envelope::Finished && envelope2.state == Envelope::Finished)
            active = false;
        if (!active) {
            std::fill(left, left + frames, 0.0f);
            std::fill(right, right + frames, 0.0f);
            return;
        }
        retune();
        int32_t first = 0;
        if (pendingOffset >= 0) {
            first = pendingOffset >= frames ? 0 : pendingOffset;
            std::fill(left, left + first, 0.0f);
            std::fill(right, right + first, 0.0f);
            pendingOffset = 0;
        }
        renderFrom(left, right, first, frames);
    }

  protected:
    virtual void startGlide() {}
    virtual void renderFrom(float* left, float* right, int32_t first, int32_t frames) = 0;

    void retune() {
        const OscillatorPair& osc = patch->oscillators;
        targetFrequency = osc.pitchTable[note] * osc.tuning1;
    }

    std::unique_ptr<Patch> patch;
    const BlockValues block;
    Envelope envelope1, envelope2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double phase1 = 0, phase2 = 0;
    double targetFrequency = 0, currentFrequency, osc2Ratio;
    int held = -1, note = 0;
    int32_t pendingOffset = 0;
    bool active = false;
};

// With "RingMod" at 0, (o2 x 0) x o1 + o1 is o1 unless o1 is a zero, whose sign the
// formula may change.
inline float withoutRingModulation(float o1, float o2) {
    return o1 != 0.0f ? o1 : ringModulated(o1, o2, 0.0f);
}

// The default program: saw against saw at a steady pitch, the cutoff standing at 1.
class DefaultFloor : public Voice {
  public:
    explicit DefaultFloor(float rate) : Voice(rate, {}) {}

  private:
    void renderFrom(float* left, float* right, int32_t first, int32_t frames) override {
        const OscillatorPair& osc = patch->oscillators;
        const WavetableBank& tables = patch->wavetables;
        const ResonantFilter& filter = patch->filter;
        const double f1 = targetFrequency, f2 = osc2Ratio * f1;
        const double advance1 = osc.phaseScale * f1, advance2 = f2 * osc.phaseScale;
        const float* saw1 = tables.sawTable(engine::tableNote(f1));
        const float* saw2 = tables.sawTable(engine::tableNote(f2));
        const double b0 = filter.b0, b1 = filter.b1, b2 = filter.b2, a1 = filter.a1, a2 = filter.a2;
        for (int32_t i = first; i < frames; ++i) {
            envelope1.tick();
            const float e2 = envelope2.tick();
            phase1 += advance1;
            phase2 += advance2;
            engine::wrapPhase(phase1);
            engine::wrapPhase(phase2);
            const float o2 = static_cast<float>(engine::readTable(saw2, phase2));
            const float o1 =
                withoutRingModulation(static_cast<float>(engine::readTable(saw1, phase1)), o2);
            const float x = oscillatorMix(o1, o2, block);
            const float y = ResonantFilter::step(b0, b1, b2, a1, a2, x1, x2, y1, y2, x);
            const float out = withVolume(amplitude(y, 0.0f, e2, block.depth2), block.volume);
            left[i] = out;
            right[i] = out;
        }
    }
};

// The full-modulation patch: LFO 1 (sine) on the pitch, LFO 2 (sine) on the cutoff,
// envelope 1 on the cutoff, a "Time" glide, pulse against saw. A moving pitch and cutoff
// need, per sample, the library's power of two for the pitch and its sine and cosine for
// the filter, with the cutoff's angle and the coefficients' divisions. Done in one pass
// with the chain, those long computations leave the processor no room to overlap samples;
// the floor does them for a stretch of samples first, as few calls as the output allows
// (the coefficients come from the filter's stretch kernel, the fastest exact way known
// here), then runs the chain over them.
class FullModulationFloor : public Voice {
  public:
    explicit FullModulationFloor(float rate)
        : Voice(rate, bench_patches::kFullModulation), filter(patch->filter) {
        noteBrackets.build();
    }

  private:
    static constexpr int32_t kStretch = ResonantFilter::kMaxStretch;

    void startGlide() override {
        const OscillatorPair& osc = patch->oscillators;
        glideMultiplier =
            std::pow(targetFrequency / currentFrequency, 1.0 / (osc.sampleRate * osc.glideTime));
    }

    // The sine shape of an LFO, depth applied.
    static float lfoSine(const Lfo& lfo, double& phase) {
        phase += lfo.increment;
        engine::wrapPhase(phase);
        const int32_t i = engine::truncateToInt32(phase);
        const double fraction = phase - i;
        const double a = lfo.sineTable[static_cast<uint32_t>(i) & engine::kTableMask];
        const double b = lfo.sineTable[(static_cast<uint32_t>(i) + 1u) & engine::kTableMask];
        const double value = a + (b - a) * fraction;
        return static_cast<float>(lfo.depth * static_cast<double>(static_cast<float>(value)));
    }

    void renderFrom(float* left, float* right, int32_t first, int32_t frames) override {
        for (int32_t start = first; start < frames; start += kStretch)
            renderStretch(left + start, right + start, std::min(kStretch, frames - start));
    }

    void renderStretch(float* left, float* right, int32_t n) {
        const OscillatorPair& osc = patch->oscillators;
        const WavetableBank& tables = patch->wavetables;
        const float baseCutoff = patch->parameters[kCutoff];

        // The LFOs, the envelopes and the cutoffs; then the pitch's powers of two, whose
        // calls would otherwise interrupt the LFOs' and envelopes' running values.
        float cutoff[kStretch] = {}, e2[kStretch], pitch[kStretch];
        double pitchFactor[kStretch];
        for (int32_t i = 0; i < n; ++i) {
            pitch[i] = lfoSine(patch->lfo1, lfoPhase1);
            const float cutoffModulation =
                static_cast<float>(0.0 + static_cast<double>(lfoSine(patch->lfo2, lfoPhase2)));
            const float e1 = envelope1.tick();
            e2[i] = envelope2.tick();
            cutoff[i] = modulatedCutoff(e1, block.depth1, baseCutoff, cutoffModulation);
        }
        for (int32_t i = 0; i < n; ++i) {
            if (floatBits(pitch[i]) != lastPitch) {
                lastPitch = floatBits(pitch[i]);
                lastPitchFactor = std::pow(2.0, static_cast<double>(pitch[i]));
            }
            pitchFactor[i] = lastPitchFactor;
        }
        ResonantFilter::CoefficientStretch coefficients;
        filter.setCutoffs(cutoff, n, coefficients);

        for (int32_t i = 0; i < n; ++i) {
            const double current = currentFrequency;
            if ((current < targetFrequency && glideMultiplier > 1.0) ||
                (current > targetFrequency && glideMultiplier < 1.0))
                currentFrequency = current * glideMultiplier;
            else
                currentFrequency = targetFrequency;
            const double f1 = pitchFactor[i] * currentFrequency;
            const double f2 = osc2Ratio * f1;
            note1 = noteBrackets.find(f1, note1);
            note2 = noteBrackets.find(f2, note2);
            phase1 += osc.phaseScale * f1;
            phase2 += f2 * osc.phaseScale;
            engine::wrapPhase(phase1);
            engine::wrapPhase(phase2);
            const float o2 = static_cast<float>(engine::readTable(tables.sawTable(note2), phase2));
            const float pulse = static_cast<float>(engine::pulseSample(
                tables.sawTable(note1), phase1,
                (osc.pulseWidth1 + phase1) + 0.0 * static_cast<double>(506.88f)));
            const float x = oscillatorMix(withoutRingModulation(pulse, o2), o2, block);
            const int32_t k = coefficients.set[i];
            const float y =
                ResonantFilter::step(coefficients.b0[k], coefficients.b1[k], coefficients.b2[k],
                                     coefficients.a1[k], coefficients.a2[k], x1, x2, y1, y2, x);
            const float out = withVolume(amplitude(y, 0.0f, e2[i], block.depth2), block.volume);
            left[i] = out;
            right[i] = out;
        }
    }

    ResonantFilter filter; // its coefficients and caches, the floor's own
    engine::NoteBrackets noteBrackets;
    double lfoPhase1 = 0, lfoPhase2 = 0;
    uint32_t lastPitch = floatBits(0.0f);
    double lastPitchFactor = 1.0;
    double glideMultiplier = 0;
    int32_t note1 = 0, note2 = 0;
};

} // namespace

std::unique_ptr<FloorKernel> makeFloorKernel(const std::string& patch, float sampleRate) {
    if (patch == "default") return std::make_unique<DefaultFloor>(sampleRate);
    if (patch == "fullmod") return std::make_unique<FullModulationFloor>(sampleRate);
    return nullptr;
}
