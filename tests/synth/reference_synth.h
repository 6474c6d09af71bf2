// A second, deliberately plain implementation of Quillo's sound, written from the
// sound's definition rather than from the engine code, for sample-exact comparison.
//
// Everything a rendered sample depends on is here: the wavetables, the pitch table,
// both oscillators with glide and sync, the LFOs, the envelopes, the filter, the
// parameter mappings and the block and frame rules of the render loop. Notes are
// driven directly (fresh, legato, release), not through a note memory. Speed does
// not matter; clarity does: one step per line, in the order of the definition.
//
// Precision: values named float are stored as float; the arithmetic runs in double.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace reference {

constexpr int kPoints = 512;

struct Random {
    uint32_t seed = 1;
    int next() {
        seed = seed * 214013u + 2531011u;
        return static_cast<int>((seed >> 16) & 0x7FFF);
    }
    double sample() { return next() / 32767.0 * 2.0 - 1.0; }
};

// Linear interpolation in a 512-point table at a position in table points.
inline double readTable(const float* table, double position) {
    const int i = static_cast<int>(position);
    const double fraction = position - i;
    const double a = table[i & 511];
    const double b = table[(i + 1) & 511];
    return a + fraction * (b - a);
}

inline void fillPitchTable(double* pitch) {
    pitch[0] = 8.175798915636872;
    for (int n = 1; n < 128; ++n)
        pitch[n] = pitch[n - 1] * 1.059463094359;
}

inline void fillSine(float* sine) {
    for (int p = 0; p < kPoints; ++p)
        sine[p] = static_cast<float>(std::sin(p * 6.283185307179586 * 0.001953125));
}

struct Tables {
    std::vector<float> saw = std::vector<float>(128 * kPoints);
    std::vector<float> triangle = std::vector<float>(128 * kPoints);
    float sine[kPoints];

    float* sawOf(int note) { return &saw[note * kPoints]; }
    float* triangleOf(int note) { return &triangle[note * kPoints]; }
    double s(int x) const { return sine[x & 511]; }

    void build(float sampleRate) {
        double frequency[128];
        fillPitchTable(frequency);
        fillSine(sine);

        const double w3 = 0.3333333333333333, w6 = 0.16666666666666666, w7 = 0.14285714285714285;
        for (int j = 0; j < kPoints; ++j) {
            double sum = 0.0;
            sum += s(j);
            sum += 0.5 * s(2 * j);
            sum += w3 * s(3 * j);
            sum += 0.25 * s(4 * j);
            sum += 0.2 * s(5 * j);
            sum += w6 * s(6 * j);
            sum += w7 * s(7 * j);
            sum += 0.125 * s(8 * j);
            sawOf(127)[j] = static_cast<float>(sum * 0.5);

            double tri = 0.0;
            for (int k = 1; k <= 7; k += 2)
                tri += (4.0 / (k * k)) * -1.0 * s(k * j + 128);
            triangleOf(127)[j] = static_cast<float>(tri * -0.2);
        }

        const double half = double(sampleRate) * 0.5;
        int h = 8;
        for (int note = 126; note >= 0; --note) {
            const int n = static_cast<int>(half / frequency[note]);
            if (n > 384 || n <= h) {
                for (int j = 0; j < kPoints; ++j) {
                    sawOf(note)[j] = sawOf(note + 1)[j];
                    triangleOf(note)[j] = triangleOf(note + 1)[j];
                }
                continue;
            }
            for (int j = 0; j < kPoints; ++j) {
                double sawSum = 0.0;
                for (int m = h + 1; m <= n; ++m)
                    sawSum += (1.0 / m) * s(m * j);
                sawOf(note)[j] =
                    static_cast<float>(sawOf(note + 1)[j] + static_cast<float>(0.5 * sawSum));

                double triSum = 0.0;
                for (int d = h + 1; d <= n; ++d)
                    if (d % 2 == 1) triSum += (4.0 / (double(d) * d)) * -1.0 * s(d * j + 128);
                triangleOf(note)[j] =
                    static_cast<float>(triangleOf(note + 1)[j] + static_cast<float>(-0.2 * triSum));
            }
            h = n;
        }
    }
};

inline int fiveWay(float x) {
    return x < 0.2f ? 0 : x < 0.4f ? 1 : x < 0.6f ? 2 : x < 0.8f ? 3 : 4;
}
inline int fourWay(float x) {
    return x < 0.25f ? 0 : x < 0.5f ? 1 : x < 0.75f ? 2 : 3;
}

struct Envelope {
    float sampleRate = 44100;
    float level = 0, attack = 0.001f, decay = 0.001f, sustain = 0, release = 0.001f;
    int state = 1;

    float stepFor(float seconds) const {
        if (seconds <= 0) seconds = 0.001f;
        return static_cast<float>(1.0 / (double(sampleRate) * double(seconds)));
    }
    float tick() {
        switch (state) {
        case 1:
            level = static_cast<float>(double(level) + attack);
            if (level >= 1.0f) level = 1.0f, state = 2;
            break;
        case 2:
            level = static_cast<float>(double(level) - decay);
            if (sustain >= level) level = sustain, state = 3;
            break;
        case 3: level = sustain; break;
        case 4:
            level = static_cast<float>(double(level) - release);
            if (level <= 0.0f) level = 0.0f, state = 99;
            break;
        }
        return level;
    }
};

struct Lfo {
    float sine[kPoints];
    double phaseScale = 512.0 / 44100.0;
    float increment = 0, depth = 0;
    double phase = 0;
    int shape = 0, destination = 0;

    float tick(float& held, Random& random) {
        phase += increment;
        bool wrapped = false;
        if (phase > 512.0) phase -= 512.0, wrapped = true;
        double value = 0;
        switch (shape) {
        case 0: {
            const int i = static_cast<int>(phase);
            const double a = sine[i & 511], b = sine[(i + 1) & 511];
            value = a + (b - a) * (phase - i);
            break;
        }
        case 1: value = phase < 256.0 ? -1.0 : 1.0; break;
        case 2: value = phase * 0.001953125 * 2.0 - 1.0; break;
        case 3:
            if (wrapped) held = static_cast<float>(random.sample());
            value = held;
            break;
        }
        return static_cast<float>(double(depth) * double(static_cast<float>(value)));
    }
};

struct Filter {
    float sampleRate = 44100;
    int mode = 0;
    float w = 0, resonance = 1;
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double span = 0;

    void setSampleRate(float rate) {
        sampleRate = rate;
        span = std::log(double(rate) * 0.25 / 40.0) / std::log(2.0);
    }
    void setCutoff(float c) {
        if (c > 1.0f) c = 1.0f;
        if (c < 0.0f) c = 0.0f;
        const double f = std::pow(2.0, double(c) * span) * 40.0;
        w = static_cast<float>(f / double(sampleRate) * double(6.2831855f));
        update();
    }
    void update() {
        const double cw = std::cos(double(w));
        const double alpha = std::sin(double(w)) / double(resonance);
        if (mode == 0) {
            b0 = (1.0 - cw) * 0.5, b1 = 1.0 - cw, b2 = (1.0 - cw) * 0.5;
        } else {
            b0 = (1.0 + cw) * 0.5, b1 = -(1.0 + cw), b2 = (1.0 + cw) * 0.5;
        }
        const double a0 = 1.0 + alpha;
        a1 = -2.0 * cw;
        a2 = 1.0 - alpha;
        b0 /= a0, b1 /= a0, b2 /= a0, a1 /= a0, a2 /= a0;
    }
    float process(float x) {
        const float y = static_cast<float>(b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2);
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

struct Synth {
    float sampleRate = 44100;
    Tables tables;
    double pitch[128];
    Random random;

    float p[36] = {};

    // Oscillators.
    double phaseScale = 512.0 / 44100.0;
    double target = 1, current = 1, phase1 = 0, phase2 = 0;
    double tuning1 = 1, tuning2 = 1, ratio = 1;
    double pulseWidth1 = 0, pulseWidth2 = 0;
    int wave1 = 0, wave2 = 0;
    bool sync = false, glide = false, depthMode = false;
    double glideRate = 0, glideTime = 0, glideMultiplier = 0;

    Lfo lfo[2];
    float held = 0;
    Envelope env[2];
    Filter filter;

    bool active = false;
    int note = 0;
    int offset = 0;

    explicit Synth(const float* parameters) {
        tables.build(sampleRate);
        fillPitchTable(pitch);
        fillSine(lfo[0].sine);
        fillSine(lfo[1].sine);
        filter.setSampleRate(sampleRate);
        for (int i = 0; i < 36; ++i)
            set(i, parameters[i]);
    }

    // A new rate rebuilds the tables and the rate factors only. Values already worked
    // out from parameters (envelope steps, LFO increments, the glide rate and multiplier)
    // keep the rate they were worked out at, and nothing restarts.
    void setSampleRate(float rate) {
        sampleRate = rate;
        tables.build(rate);
        phaseScale = 512.0 / double(rate);
        filter.setSampleRate(rate);
        for (Envelope& e : env)
            e.sampleRate = rate;
        for (Lfo& l : lfo)
            l.phaseScale = 512.0 / double(rate);
    }

    // A program load is the 36 parameters set in index order.
    void loadProgram(const float* values) {
        for (int i = 0; i < 36; ++i)
            set(i, values[i]);
    }

    static float envelopeSeconds(float n) {
        const float power = static_cast<float>(std::pow(2.0, double(n)));
        return static_cast<float>((double(power) - 1.0) * double(4.99f) + double(0.01f));
    }
    static double tuning(float coarse, float fine) {
        return std::pow(1.059463094359,
                        (double(coarse) * 24.0 - 12.0) + (double(fine) * 2.0 - 1.0));
    }
    static double depthRate(float amount) {
        return std::pow(2.0, (1.0 - double(amount) * 0.99) * 0.000833);
    }

    // The effect of one parameter, as the plug-in applies it when the host sets it.
    void set(int index, float n) {
        p[index] = n;
        Envelope& e = env[index < 22 ? 0 : 1];
        Lfo& l = lfo[index < 31 ? 0 : 1];
        switch (index) {
        case 0: wave1 = fiveWay(n); break;
        case 4: wave2 = fiveWay(n); break;
        case 1:
        case 2: tuning1 = tuning(p[2], p[1]); break;
        case 5:
        case 6: tuning2 = tuning(p[6], p[5]); break;
        case 3: pulseWidth1 = double(n) * 512.0; break;
        case 7: pulseWidth2 = double(n) * 508.0 + 2.0; break;
        case 9: sync = n > 0.5f; break;
        case 11: glide = n > 0.5f; break;
        case 12:
            depthMode = n >= 0.5f;
            if (depthMode)
                glideRate = depthRate(p[13]);
            else
                glideTime = double(p[13]) * double(p[13]) * 2.99 + 0.01;
            break;
        case 13:
            if (p[12] < 0.5f)
                glideTime = double(n) * double(n) * 2.99 + 0.01;
            else
                glideRate = depthRate(n);
            break;
        case 14: filter.mode = n >= 0.5f ? 1 : 0, filter.update(); break;
        case 15: filter.setCutoff(n); break;
        case 16: {
            const float r = static_cast<float>(double(n) * 9.0 + 1.0);
            filter.resonance = static_cast<float>(double(r) * double(r));
            filter.update();
            break;
        }
        case 17:
        case 22: e.attack = e.stepFor(envelopeSeconds(n)); break;
        case 18:
        case 23: e.decay = e.stepFor(envelopeSeconds(n)); break;
        case 19:
        case 24: e.sustain = n < 0 ? 0.0f : n; break;
        case 20:
        case 25: e.release = e.stepFor(envelopeSeconds(n)); break;
        case 27:
        case 31: l.shape = fourWay(n); break;
        case 28:
        case 32:
            l.increment =
                static_cast<float>((double(n) * double(n) * 50.0 + double(0.1f)) * l.phaseScale);
            break;
        case 29:
        case 33: l.depth = n; break;
        case 30:
        case 34: l.destination = fiveWay(n); break;
        default: break; // read by the render loop
        }
    }

    void retune(int key) {
        target = pitch[key] * tuning1;
        ratio = tuning2 / tuning1;
    }
    void startNote(int key) {
        phase1 = 0, phase2 = 0;
        retune(key);
        if (!depthMode)
            glideMultiplier = std::pow(target / current, 1.0 / (double(sampleRate) * glideTime));
    }

    // A note with nothing else held: the envelopes restart and it begins at `delta`.
    void freshNote(int key, int delta) {
        note = key, offset = delta, active = true;
        startNote(key);
        for (Envelope& e : env)
            e.level = 0, e.state = 1;
    }
    // A note played over a held one, or the fall-back to a held one.
    void legatoNote(int key) {
        note = key;
        startNote(key);
    }
    void releaseNote() {
        for (Envelope& e : env)
            e.state = 4;
    }

    static int tableNote(double f) {
        return static_cast<int>(std::log(f / 8.1757989156) * 17.31234049066756) & 127;
    }

    double oscillator(int wave, const float* sawTable, const float* triTable, double phase,
                      double pulseEnd) {
        switch (wave) {
        case 0: return readTable(sawTable, phase);
        case 1: return 0.5 * (readTable(sawTable, phase) - readTable(sawTable, pulseEnd));
        case 2: return readTable(triTable, phase);
        case 3: return readTable(tables.sine, phase);
        default: return random.sample();
        }
    }

    void tickOscillators(float pm, float pw, float& o1, float& o2) {
        if (!glide)
            current = target;
        else if (depthMode) {
            if (target > current)
                current = current * glideRate;
            else if (target < current)
                current = current * (1.0 / glideRate);
            else
                current = target;
        } else {
            if (current < target && glideMultiplier > 1.0)
                current = current * glideMultiplier;
            else if (current > target && glideMultiplier < 1.0)
                current = current * glideMultiplier;
            else
                current = target;
        }
        const double f1 = std::pow(2.0, double(pm)) * current;
        const double f2 = ratio * f1;
        const int note1 = tableNote(f1);
        const int note2 = tableNote(f2);

        phase1 += phaseScale * f1;
        phase2 += ratio * f1 * phaseScale;
        if (phase1 > 512.0) phase1 -= 512.0;
        if (phase2 > 512.0) {
            phase2 -= 512.0;
            if (sync) phase1 = phase2;
        }

        const double q1 = (pulseWidth1 + phase1) + double(pw) * double(506.88f);
        const double q2 = pulseWidth2 + phase2;
        o1 = static_cast<float>(
            oscillator(wave1, tables.sawOf(note1), tables.triangleOf(note1), phase1, q1));
        o2 = static_cast<float>(
            oscillator(wave2, tables.sawOf(note2), tables.triangleOf(note2), phase2, q2));
    }

    void render(float* out, int frames) {
        if (env[0].state == 99 && env[1].state == 99) active = false;
        if (!active) {
            for (int i = 0; i < frames; ++i)
                out[i] = 0.0f;
            return;
        }
        retune(note);
        const float mix = p[8];
        const float gain1 = mix > 0.5f ? static_cast<float>(0.5 - (double(mix) - 0.5)) : 0.5f;
        const float gain2 = mix > 0.5f ? 0.5f : mix;
        const float depth1 = static_cast<float>(double(p[21]) * 2.0 - 1.0);
        const float depth2 = static_cast<float>(double(p[26]) * 2.0 - 1.0);
        const float volume = p[35];

        int start = 0;
        if (offset >= 0) {
            start = offset >= frames ? 0 : offset;
            for (int i = 0; i < start; ++i)
                out[i] = 0.0f;
            offset = 0;
        }
        for (int i = start; i < frames; ++i) {
            const float l1 = lfo[0].tick(held, random);
            const float l2 = lfo[1].tick(held, random);
            const float e1 = env[0].tick();
            const float e2 = env[1].tick();

            float pm = 0, pw = 0, cm = 0, vm = 0;
            if (lfo[0].destination == 1) pm = l1;
            if (lfo[1].destination == 1) pm = static_cast<float>(double(pm) + double(l2));
            if (lfo[0].destination == 2) pw = static_cast<float>((double(l1) + 1.0) * 0.5);
            if (lfo[1].destination == 2)
                pw = static_cast<float>(double(pw) + (double(l2) + 1.0) * 0.5);
            if (lfo[0].destination == 3) cm = l1;
            if (lfo[1].destination == 3) cm = static_cast<float>(double(cm) + double(l2));
            if (lfo[0].destination == 4) vm = l1;
            if (lfo[1].destination == 4) vm = static_cast<float>(double(vm) + double(l2));

            float o1, o2;
            tickOscillators(pm, pw, o1, o2);
            o1 = static_cast<float>((double(o2) * double(p[10])) * double(o1) + double(o1));
            const float x = static_cast<float>(double(o2) * gain2 + double(o1) * gain1);
            const float c = static_cast<float>((double(e1) * depth1 + double(p[15])) + double(cm));
            filter.setCutoff(c);
            const float y = filter.process(x);
            const float s = static_cast<float>(
                double(y) * (((double(vm) + 1.0) * 0.5) * (double(e2) * depth2)));
            out[i] = static_cast<float>(double(s) * volume);
        }
    }
};

} // namespace reference
