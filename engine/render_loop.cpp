// VstXSynth's audio path: one fixed chain per sample, the same sample on both outputs.
//
// LFO 1 and LFO 2, envelope 1 and 2, the oscillator pair, ring modulation and mix,
// the filter recomputed from the modulated cutoff, amplitude and master volume. The
// LFOs' sample-and-hold and the noise oscillators share one random source, so the
// order of the ticks is part of the sound. A silent voice advances nothing.

#include "synth/render_steps.h"
#include "synth/vst_x_synth.h"

#include <algorithm>

void VstXSynth::processReplacing(float** /*inputs*/, float** outputs, int32_t sampleFrames) {
    if (!outputs || !outputs[0] || !outputs[1]) return;
    float* left = outputs[0];
    float* right = outputs[1];
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

    for (int32_t frame = first; frame < frames; ++frame) {
        // An LFO routed nowhere only moves on (a sample-and-hold one still draws on its
        // wraps); its output would be thrown away.
        float l1 = 0.0f, l2 = 0.0f;
        if (render_steps::isRouted(lfo1.destination))
            l1 = lfo1.tick(heldValue);
        else
            lfo1.advance(heldValue);
        if (render_steps::isRouted(lfo2.destination))
            l2 = lfo2.tick(heldValue);
        else
            lfo2.advance(heldValue);
        const float e1 = envelope1.tick();
        const float e2 = envelope2.tick();
        const render_steps::Modulation mod =
            render_steps::modulation(lfo1.destination, l1, lfo2.destination, l2);

        const OscillatorPair::Output osc = oscillators.tick(mod.pitch, mod.pulseWidth);
        const float o1 = render_steps::ringModulated(osc.out1, osc.out2, parameters[kRingMod]);
        const float x = render_steps::oscillatorMix(o1, osc.out2, block);

        const float c =
            render_steps::modulatedCutoff(e1, block.depth1, parameters[kCutoff], mod.cutoff);
        filter.setCutoff(c);
        const float y = filter.process(x);

        const float s = render_steps::amplitude(y, mod.volume, e2, block.depth2);
        const float out = render_steps::withVolume(s, block.volume);
        left[frame] = out;
        right[frame] = out;
    }
}
