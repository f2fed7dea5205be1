// The synthesiser: schedules the score's layers as note events, renders each instrument
// into its own bus (in parallel), then mixes with side-chain ducking, delay and reverb.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

#include "common.h"
#include "music.h"

namespace datagen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSr = kSampleRate;

uint32_t Fnv1a(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text)
        h = (h ^ c) * 16777619u;
    return h;
}

double MidiToHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

struct Event {
    double start = 0;        // seconds
    double duration = 0;     // seconds the note is held
    std::vector<int> notes;  // MIDI notes (drums: none)
    float velocity = 1.0f;
    uint32_t seed = 0;
    int index = 0;  // running number within its bus
};

struct Sweep {
    double start, end;
    float from, to;
};

struct Bus {
    std::string instrument;
    std::vector<Event> events;
    std::vector<Sweep> sweeps;
    StereoBuffer audio;
};

// Band-limited sawtooth step correction.
inline double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct Saw {
    double phase = 0;
    double Next(double hz) {
        double dt = hz / kSr;
        double v = 2.0 * phase - 1.0 - PolyBlep(phase, dt);
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return v;
    }
};

struct Square {
    double phase = 0;
    double Next(double hz) {
        double dt = hz / kSr;
        double v = phase < 0.5 ? 1.0 : -1.0;
        v += PolyBlep(phase, dt);
        double shifted = phase + 0.5 >= 1.0 ? phase - 0.5 : phase + 0.5;
        v -= PolyBlep(shifted, dt);
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return v;
    }
};

// Topology-preserving state-variable filter.
struct Svf {
    double ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 1;
    double low = 0, band = 0, high = 0;
    void Set(double hz, double resonance) {
        hz = std::clamp(hz, 10.0, kSr * 0.45);
        double g = std::tan(kPi * hz / kSr);
        k = 1.0 / resonance;
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void Run(double v0) {
        double v3 = v0 - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        low = v2;
        band = v1;
        high = v0 - k * v1 - v2;
    }
};

// Attack, exponential decay to sustain, exponential release after the hold time.
double Adsr(double t, double hold, double attack, double decay, double sustain, double release) {
    auto held = [&](double x) {
        if (x < attack)
            return x / attack;
        return sustain + (1.0 - sustain) * std::exp(-(x - attack) / decay);
    };
    if (t < hold)
        return held(t);
    return held(hold) * std::exp(-(t - hold) / release);
}

// Equal-power pan position, -1 left to 1 right; unity in the centre.
struct PanGain {
    double l, r;
    explicit PanGain(double pan) {
        double a = (pan + 1.0) * 0.25 * kPi;
        l = std::cos(a) * std::numbers::sqrt2;
        r = std::sin(a) * std::numbers::sqrt2;
    }
    void Add(double v, float& left, float& right) const {
        left += static_cast<float>(v * l);
        right += static_cast<float>(v * r);
    }
};

// Renders one event into the bus; `length` is the seconds the voice sounds in all. The
// last 8 ms fade out, so that cutting a voice off never clicks.
template <class Voice>
void RenderVoice(Bus& bus, const Event& e, double length, Voice voice) {
    size_t frames = bus.audio.Frames();
    size_t first = static_cast<size_t>(std::llround(e.start * kSr));
    size_t count = static_cast<size_t>(length * kSr);
    const double fade = 0.008 * kSr;
    for (size_t i = 0; i < count && first + i < frames; ++i) {
        double t = i / kSr;
        float l = 0.0f, r = 0.0f;
        voice(t, l, r);
        float g = static_cast<float>(std::min(1.0, (count - i) / fade));
        bus.audio.left[first + i] += l * g;
        bus.audio.right[first + i] += r * g;
    }
}

void RenderKick(Bus& bus, const Event& e) {
    double phase = 0;
    Rng rng(e.seed);
    RenderVoice(bus, e, 0.55, [&](double t, float& l, float& r) {
        double hz = 46.0 + 115.0 * std::exp(-t / 0.032) + 260.0 * std::exp(-t / 0.004);
        phase += hz / kSr;
        double amp = std::min(1.0, t / 0.002) * std::exp(-std::max(0.0, t - 0.06) / 0.22);
        double body = std::tanh(1.9 * std::sin(2 * kPi * phase)) * amp;
        double click = rng.Signed() * std::exp(-t / 0.0025) * 0.25;
        double v = (body + click) * 0.95 * e.velocity;
        l += static_cast<float>(v);
        r += static_cast<float>(v);
    });
}

void RenderClap(Bus& bus, const Event& e) {
    Rng rng(e.seed);
    Svf bp;
    bp.Set(1250, 1.4);
    const PanGain pan((e.index % 2) ? 0.08 : -0.08);
    RenderVoice(bus, e, 0.45, [&](double t, float& l, float& r) {
        double env = 0;
        for (double burst : {0.0, 0.011, 0.023})
            if (t >= burst)
                env += std::exp(-(t - burst) / 0.005);
        if (t >= 0.03)
            env += 0.9 * std::exp(-(t - 0.03) / 0.13);
        bp.Run(rng.Signed());
        double v = bp.band * env * 1.3 * e.velocity;
        pan.Add(v, l, r);
    });
}

void RenderSnare(Bus& bus, const Event& e) {
    Rng rng(e.seed);
    Svf bp;
    bp.Set(2600, 0.8);
    double phase = 0;
    RenderVoice(bus, e, 0.35, [&](double t, float& l, float& r) {
        bp.Run(rng.Signed());
        phase += (185.0 + 60.0 * std::exp(-t / 0.01)) / kSr;
        double v = bp.band * std::exp(-t / 0.12) * 1.1 + std::sin(2 * kPi * phase) * std::exp(-t / 0.045) * 0.55;
        v *= e.velocity;
        l += static_cast<float>(v);
        r += static_cast<float>(v);
    });
}

void RenderHat(Bus& bus, const Event& e, bool open) {
    Rng rng(e.seed);
    Svf hp, bp;
    hp.Set(7200, 0.7);
    bp.Set(4650, 2.5);  // the spectrum band the simulation's treble record listens to
    double decay = open ? 0.2 : 0.032;
    const PanGain pan(open ? -0.25 : 0.2);
    RenderVoice(bus, e, open ? 0.7 : 0.16, [&](double t, float& l, float& r) {
        double n = rng.Signed();
        hp.Run(n);
        bp.Run(n);
        double v = (hp.high * 0.6 + bp.band * 0.9) * std::exp(-t / decay) * std::min(1.0, t / 0.0008) * e.velocity;
        pan.Add(v, l, r);
    });
}

void RenderBass(Bus& bus, const Event& e) {
    Saw a, b;
    a.phase = 0.1;
    b.phase = 0.6;
    double sub = 0;
    Svf lp;
    double hz = MidiToHz(e.notes[0]);
    RenderVoice(bus, e, e.duration + 0.08, [&](double t, float& l, float& r) {
        if ((static_cast<int>(t * kSr) & 15) == 0)
            lp.Set(140.0 + 1700.0 * std::exp(-t / 0.09), 1.5);
        double osc = (a.Next(hz * 0.996) + b.Next(hz * 1.004)) * 0.5;
        lp.Run(osc);
        sub += hz / kSr;
        double s = std::sin(2 * kPi * sub);
        double env = Adsr(t, e.duration, 0.003, 0.15, 0.8, 0.03);
        double v = std::tanh((lp.low * 0.9 + s * 0.8) * 1.4) * env * 0.8 * e.velocity;
        l += static_cast<float>(v);
        r += static_cast<float>(v);
    });
}

void RenderPad(Bus& bus, const Event& e) {
    struct Osc {
        Saw saw;
        double detune;
        PanGain pan{0.0};
    };
    std::vector<Osc> oscs;
    std::vector<double> hz;
    Rng rng(e.seed);
    for (int note : e.notes)
        for (double cents : {-11.0, 0.0, 11.0}) {
            Osc o;
            o.saw.phase = rng.Uniform();
            o.detune = std::pow(2.0, cents / 1200.0);
            o.pan = PanGain(cents / 11.0 * 0.7);
            oscs.push_back(o);
            hz.push_back(MidiToHz(note));
        }
    Svf lpL, lpR;
    double gain = 0.16 / std::sqrt(static_cast<double>(e.notes.size()));
    RenderVoice(bus, e, e.duration + 1.2, [&](double t, float& l, float& r) {
        if ((static_cast<int>(t * kSr) & 31) == 0) {
            double wobble = 1.0 + 0.25 * std::sin(2 * kPi * 0.23 * (e.start + t));
            lpL.Set(1900.0 * wobble, 0.9);
            lpR.Set(2100.0 * wobble, 0.9);
        }
        float sl = 0, sr = 0;
        for (size_t i = 0; i < oscs.size(); ++i)
            oscs[i].pan.Add(oscs[i].saw.Next(hz[i] * oscs[i].detune), sl, sr);
        lpL.Run(sl);
        lpR.Run(sr);
        double env = Adsr(t, e.duration, 0.35, 1.0, 1.0, 0.45) * gain * e.velocity;
        l += static_cast<float>(lpL.low * env);
        r += static_cast<float>(lpR.low * env);
    });
}

void RenderLead(Bus& bus, const Event& e) {
    Saw a, b;
    b.phase = 0.37;
    Square sq;
    Svf lp;
    double base = e.notes[0];
    RenderVoice(bus, e, e.duration + 0.3, [&](double t, float& l, float& r) {
        double vib = t > 0.2 ? 0.12 * std::sin(2 * kPi * 5.5 * (t - 0.2)) * std::min(1.0, (t - 0.2) / 0.3) : 0.0;
        double hz = MidiToHz(base + vib);
        if ((static_cast<int>(t * kSr) & 15) == 0)
            lp.Set(900.0 + 4200.0 * std::exp(-t / 0.22), 1.3);
        double osc = a.Next(hz) * 0.5 + b.Next(hz * 1.006) * 0.5 + sq.Next(hz * 0.5) * 0.3;
        lp.Run(osc);
        double v = lp.low * Adsr(t, e.duration, 0.006, 0.3, 0.75, 0.12) * 0.42 * e.velocity;
        l += static_cast<float>(v);
        r += static_cast<float>(v);
    });
}

void RenderArp(Bus& bus, const Event& e) {
    Saw a;
    Square b;
    Svf lp;
    double hz = MidiToHz(e.notes[0]);
    const PanGain pan((e.index % 2) ? 0.45 : -0.45);
    RenderVoice(bus, e, 0.5, [&](double t, float& l, float& r) {
        if ((static_cast<int>(t * kSr) & 15) == 0)
            lp.Set(350.0 + 3800.0 * std::exp(-t / 0.05), 1.1);
        lp.Run(a.Next(hz) * 0.6 + b.Next(hz * 1.003) * 0.4);
        double v = lp.low * std::min(1.0, t / 0.002) * std::exp(-t / 0.16) * 0.38 * e.velocity;
        pan.Add(v, l, r);
    });
}

void RenderRiser(Bus& bus, const Event& e) {
    Rng rng(e.seed);
    Svf bpL, bpR;
    Saw saw;
    RenderVoice(bus, e, e.duration, [&](double t, float& l, float& r) {
        double x = t / e.duration;
        if ((static_cast<int>(t * kSr) & 31) == 0) {
            double hz = 300.0 * std::pow(30.0, x);
            bpL.Set(hz, 2.2);
            bpR.Set(hz * 1.07, 2.2);
        }
        bpL.Run(rng.Signed());
        bpR.Run(rng.Signed());
        double tone = saw.Next(110.0 * std::pow(4.0, x)) * 0.12;
        double amp = x * x * 0.5 * e.velocity;
        l += static_cast<float>((bpL.band * 1.6 + tone) * amp);
        r += static_cast<float>((bpR.band * 1.6 + tone) * amp);
    });
}

void RenderImpact(Bus& bus, const Event& e) {
    Rng rng(e.seed);
    Svf hpL, hpR;
    hpL.Set(2500, 0.7);
    hpR.Set(2600, 0.7);
    double phase = 0;
    RenderVoice(bus, e, 3.0, [&](double t, float& l, float& r) {
        phase += (38.0 + 40.0 * std::exp(-t / 0.15)) / kSr;
        double boom = std::sin(2 * kPi * phase) * std::exp(-t / 0.9) * 0.8;
        hpL.Run(rng.Signed());
        hpR.Run(rng.Signed());
        double crash = std::exp(-t / 0.8) * 0.35;
        l += static_cast<float>((boom + hpL.high * crash) * e.velocity);
        r += static_cast<float>((boom + hpR.high * crash) * e.velocity);
    });
}

// Low-pass sweeps of a bus: outside every sweep the bus passes unfiltered.
void ApplySweeps(Bus& bus) {
    if (bus.sweeps.empty())
        return;
    Svf l, r;
    size_t frames = bus.audio.Frames();
    for (const Sweep& s : bus.sweeps) {
        size_t a = static_cast<size_t>(s.start * kSr), b = std::min(frames, static_cast<size_t>(s.end * kSr));
        for (size_t i = a; i < b; ++i) {
            if (((i - a) & 15) == 0) {
                double x = (i / kSr - s.start) / (s.end - s.start);
                double hz = s.from * std::pow(static_cast<double>(s.to) / s.from, x);
                l.Set(hz, 0.8);
                r.Set(hz, 0.8);
            }
            l.Run(bus.audio.left[i]);
            r.Run(bus.audio.right[i]);
            bus.audio.left[i] = static_cast<float>(l.low);
            bus.audio.right[i] = static_cast<float>(r.low);
        }
    }
}

void RenderEvents(Bus& bus) {
    for (const Event& e : bus.events) {
        const std::string& in = bus.instrument;
        if (in == "kick")
            RenderKick(bus, e);
        else if (in == "clap")
            RenderClap(bus, e);
        else if (in == "snare")
            RenderSnare(bus, e);
        else if (in == "hat")
            RenderHat(bus, e, false);
        else if (in == "ohat")
            RenderHat(bus, e, true);
        else if (in == "bass")
            RenderBass(bus, e);
        else if (in == "pad")
            RenderPad(bus, e);
        else if (in == "lead")
            RenderLead(bus, e);
        else if (in == "arp")
            RenderArp(bus, e);
        else if (in == "riser")
            RenderRiser(bus, e);
        else if (in == "impact")
            RenderImpact(bus, e);
    }
}

// Renders a bus; the pads, the heaviest voices, in three lanes of interleaved events on
// threads of their own, summed in lane order (so the result does not depend on timing).
void RenderBus(Bus& bus) {
    const int lanes = bus.instrument == "pad" ? 3 : 1;
    if (lanes == 1) {
        RenderEvents(bus);
    } else {
        std::vector<Bus> parts(lanes);
        for (int k = 0; k < lanes; ++k) {
            parts[k].instrument = bus.instrument;
            parts[k].audio.left.assign(bus.audio.Frames(), 0.0f);
            parts[k].audio.right.assign(bus.audio.Frames(), 0.0f);
            for (size_t i = k; i < bus.events.size(); i += lanes)
                parts[k].events.push_back(bus.events[i]);
        }
        std::vector<std::thread> workers;
        for (Bus& part : parts)
            workers.emplace_back([&part] { RenderEvents(part); });
        for (std::thread& w : workers)
            w.join();
        for (const Bus& part : parts)
            for (size_t i = 0; i < bus.audio.Frames(); ++i) {
                bus.audio.left[i] += part.audio.left[i];
                bus.audio.right[i] += part.audio.right[i];
            }
    }
    ApplySweeps(bus);
}

// Freeverb-style stereo reverb.
class Reverb {
public:
    Reverb() {
        const int combs[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        const int allpasses[] = {556, 441, 341, 225};
        for (int c = 0; c < 2; ++c) {
            int spread = c ? 23 : 0;
            for (int n : combs)
                mComb[c].push_back({std::vector<float>(n + spread), 0, 0.0f});
            for (int n : allpasses)
                mAllpass[c].push_back({std::vector<float>(n + spread), 0, 0.0f});
        }
    }
    void Process(float inL, float inR, float& outL, float& outR) {
        float input = (inL + inR) * 0.015f;
        float out[2] = {0, 0};
        for (int c = 0; c < 2; ++c) {
            for (Line& comb : mComb[c]) {
                float y = comb.buffer[comb.pos];
                comb.filter = y * (1 - kDamp) + comb.filter * kDamp;
                comb.buffer[comb.pos] = input + comb.filter * kRoom;
                if (++comb.pos == comb.buffer.size())
                    comb.pos = 0;
                out[c] += y;
            }
            for (Line& ap : mAllpass[c]) {
                float b = ap.buffer[ap.pos];
                float y = -out[c] + b;
                ap.buffer[ap.pos] = out[c] + b * 0.5f;
                if (++ap.pos == ap.buffer.size())
                    ap.pos = 0;
                out[c] = y;
            }
        }
        outL = out[0] * 0.85f + out[1] * 0.15f;
        outR = out[1] * 0.85f + out[0] * 0.15f;
    }

private:
    struct Line {
        std::vector<float> buffer;
        size_t pos;
        float filter;
    };
    static constexpr float kRoom = 0.86f;
    static constexpr float kDamp = 0.35f;
    std::vector<Line> mComb[2], mAllpass[2];
};

struct SendLevels {
    float reverb, delay, duck, gain;
};

SendLevels Levels(const std::string& in) {
    if (in == "kick")
        return {0.02f, 0.0f, 0.0f, 1.0f};
    if (in == "clap")
        return {0.3f, 0.05f, 0.0f, 0.5f};
    if (in == "snare")
        return {0.25f, 0.0f, 0.0f, 0.42f};
    if (in == "hat")
        return {0.08f, 0.0f, 0.2f, 0.3f};
    if (in == "ohat")
        return {0.12f, 0.0f, 0.3f, 0.22f};
    if (in == "bass")
        return {0.0f, 0.0f, 0.92f, 0.42f};
    if (in == "pad")
        return {0.35f, 0.0f, 0.8f, 1.4f};
    if (in == "lead")
        return {0.3f, 0.3f, 0.35f, 0.55f};
    if (in == "arp")
        return {0.3f, 0.35f, 0.6f, 0.55f};
    if (in == "riser")
        return {0.4f, 0.0f, 0.0f, 0.28f};
    return {0.45f, 0.0f, 0.0f, 0.6f};  // impact
}

void Schedule(const Score& score, std::map<std::string, Bus>& buses) {
    const double stepSeconds = 60.0 / score.bpm / 4.0;
    for (const ScoreSection& section : score.sections) {
        const std::vector<Chord>& progression = score.progressions.at(section.progression);
        const double sectionStart = section.firstBar * 16 * stepSeconds;
        const double sectionLength = section.bars * 16 * stepSeconds;
        auto chordAt = [&](int step) { return progression[(step / 16) % progression.size()]; };
        for (const ScoreLayer& layer : section.layers) {
            Bus& bus = buses[layer.instrument];
            bus.instrument = layer.instrument;
            auto gainAt = [&](double t) {
                double x = std::clamp((t - sectionStart) / sectionLength, 0.0, 1.0);
                return static_cast<float>(layer.gainFrom + (layer.gainTo - layer.gainFrom) * x);
            };
            auto add = [&](double start, double duration, std::vector<int> notes, float velocity) {
                Event e;
                e.start = start;
                e.duration = duration;
                e.notes = std::move(notes);
                e.velocity = velocity * gainAt(start);
                e.index = static_cast<int>(bus.events.size());
                e.seed = Fnv1a(layer.instrument) * 2654435761u + static_cast<uint32_t>(std::llround(start * 1000.0));
                if (e.velocity > 0.0f)
                    bus.events.push_back(std::move(e));
            };
            if (layer.cutoffFrom > 0)
                bus.sweeps.push_back({sectionStart, sectionStart + sectionLength, layer.cutoffFrom, layer.cutoffTo});
            const int steps = section.bars * 16;
            const std::string& in = layer.instrument;
            if (score.drums.count(layer.pattern) && in != "bass") {
                const std::string& p = score.drums.at(layer.pattern);
                for (int s = 0; s < steps; ++s) {
                    char c = p[s % p.size()];
                    if (c != '.')
                        add(sectionStart + s * stepSeconds, stepSeconds, {}, c == 'x' ? 1.0f : 0.55f);
                }
            } else if (in == "bass") {
                const std::string& p = score.basses.at(layer.pattern);
                for (int s = 0; s < steps; ++s) {
                    char c = p[s % p.size()];
                    if (c == '.' || c == '-')
                        continue;
                    int hold = 1;
                    while (s + hold < steps && p[(s + hold) % p.size()] == '-')
                        ++hold;
                    int root = 28 + (chordAt(s).root - 4 + 12) % 12;  // E1 .. D#2
                    int note = root + (c == 'f' ? 7 : c == 'o' ? 12 : 0);
                    add(sectionStart + s * stepSeconds, hold * stepSeconds * 0.85, {note}, 1.0f);
                }
            } else if (in == "pad") {
                for (int bar = 0; bar < section.bars; ++bar) {
                    const Chord& chord = chordAt(bar * 16);
                    std::vector<int> notes;
                    int root = 48 + chord.root;  // octave 3; the bass holds the low end
                    notes.push_back(root);
                    for (int interval : chord.intervals) {
                        int n = root + interval;
                        while (n < 55)
                            n += 12;
                        notes.push_back(n);
                    }
                    notes.push_back(root + chord.intervals[1] + 12);
                    add(sectionStart + bar * 16 * stepSeconds, 16 * stepSeconds, notes, 1.0f);
                }
            } else if (in == "lead") {
                const std::vector<MelodyNote>& melody = score.melodies.at(layer.pattern);
                int s = 0;
                for (size_t i = 0; s < steps; i = (i + 1) % melody.size()) {
                    if (melody[i].note >= 0)
                        add(sectionStart + s * stepSeconds, melody[i].steps * stepSeconds * 0.92, {melody[i].note},
                            1.0f);
                    s += melody[i].steps;
                }
            } else if (in == "arp") {
                const std::vector<int>& p = score.arps.at(layer.pattern);
                for (int s = 0; s < steps; ++s) {
                    int index = p[s % p.size()];
                    if (index < 0)
                        continue;
                    const Chord& chord = chordAt(s);
                    int n = static_cast<int>(std::min<size_t>(chord.intervals.size(), 3));
                    int note = 60 + chord.root + chord.intervals[index % n] + 12 * (index / n);
                    if (note > 86)
                        note -= 12;
                    add(sectionStart + s * stepSeconds, stepSeconds, {note}, 1.0f);
                }
            } else if (in == "riser") {
                add(sectionStart, sectionLength, {}, 1.0f);
            } else if (in == "impact") {
                add(sectionStart, 0.0, {}, 1.0f);
            }
        }
    }
    for (auto& [name, bus] : buses)
        std::stable_sort(bus.events.begin(), bus.events.end(),
                         [](const Event& a, const Event& b) { return a.start < b.start; });
}

}  // namespace

StereoBuffer RenderScore(const Score& score, double seconds) {
    const double tail = 3.0;
    double length = score.Bars() * score.SecondsPerBar() + tail;
    bool truncated = seconds > 0 && seconds < length;
    if (truncated)
        length = seconds;
    const size_t frames = static_cast<size_t>(length * kSr);

    std::map<std::string, Bus> buses;
    Schedule(score, buses);
    std::vector<Bus*> order;
    for (auto& [name, bus] : buses) {
        bus.audio.left.assign(frames, 0.0f);
        bus.audio.right.assign(frames, 0.0f);
        order.push_back(&bus);
    }
    {
        std::vector<std::thread> workers;
        for (Bus* bus : order)
            workers.emplace_back([bus] { RenderBus(*bus); });
        for (std::thread& w : workers)
            w.join();
    }

    // Side-chain: everything marked to duck dips under each kick and swells back.
    std::vector<float> duck(frames, 0.0f);
    if (buses.count("kick"))
        for (const Event& e : buses["kick"].events) {
            size_t a = static_cast<size_t>(e.start * kSr);
            for (size_t i = 0; i < static_cast<size_t>(0.4 * kSr) && a + i < frames; ++i) {
                double t = i / kSr;
                double d =
                    std::min(1.0, t / 0.003) * std::exp(-t / 0.09) * std::min(1.0, static_cast<double>(e.velocity));
                duck[a + i] = std::max(duck[a + i], static_cast<float>(d));
            }
        }

    StereoBuffer mix, sendReverb, sendDelay;
    for (StereoBuffer* b : {&mix, &sendReverb, &sendDelay}) {
        b->left.assign(frames, 0.0f);
        b->right.assign(frames, 0.0f);
    }
    // Each frame sums the buses in the same order, so splitting the frames between
    // threads changes nothing in the result.
    {
        const size_t chunks = 8, chunk = (frames + chunks - 1) / chunks;
        std::vector<std::thread> workers;
        for (size_t c = 0; c < chunks; ++c)
            workers.emplace_back([&, c] {
                size_t first = c * chunk, last = std::min(frames, first + chunk);
                for (Bus* bus : order) {
                    SendLevels lv = Levels(bus->instrument);
                    for (size_t i = first; i < last; ++i) {
                        float g = lv.gain * (1.0f - lv.duck * duck[i]);
                        float l = bus->audio.left[i] * g, r = bus->audio.right[i] * g;
                        mix.left[i] += l;
                        mix.right[i] += r;
                        sendReverb.left[i] += l * lv.reverb;
                        sendReverb.right[i] += r * lv.reverb;
                        sendDelay.left[i] += l * lv.delay;
                        sendDelay.right[i] += r * lv.delay;
                    }
                }
            });
        for (std::thread& w : workers)
            w.join();
    }
    for (Bus* bus : order) {
        bus->audio.left = {};
        bus->audio.right = {};
    }

    // Ping-pong delay of a dotted eighth, darkened on each repeat.
    const size_t delayFrames = static_cast<size_t>(0.75 * 60.0 / score.bpm * kSr);
    std::vector<float> dl(delayFrames, 0.0f), dr(delayFrames, 0.0f);
    float lpL = 0, lpR = 0;
    Reverb reverb;
    for (size_t i = 0, p = 0; i < frames; ++i) {
        float outL = dl[p], outR = dr[p];
        lpL += (outL - lpL) * 0.35f;
        lpR += (outR - lpR) * 0.35f;
        dl[p] = sendDelay.left[i] + lpR * 0.45f;
        dr[p] = sendDelay.right[i] * 0.3f + lpL * 0.45f;
        if (++p == delayFrames)
            p = 0;
        mix.left[i] += outL * 0.7f;
        mix.right[i] += outR * 0.7f;
        float rl, rr;
        reverb.Process(sendReverb.left[i] + outL * 0.2f, sendReverb.right[i] + outR * 0.2f, rl, rr);
        mix.left[i] += rl;
        mix.right[i] += rr;
    }

    // Master: DC block, fade at the very end, peak at -1.5 dBFS.
    double xl = 0, yl = 0, xr = 0, yr = 0;
    float peak = 0;
    for (size_t i = 0; i < frames; ++i) {
        double l = mix.left[i], r = mix.right[i];
        yl = l - xl + 0.9995 * yl;
        xl = l;
        yr = r - xr + 0.9995 * yr;
        xr = r;
        double fade = std::min(1.0, (frames - i) / (kSr * (truncated ? 0.05 : tail * 0.8)));
        mix.left[i] = static_cast<float>(yl * fade);
        mix.right[i] = static_cast<float>(yr * fade);
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    }
    const float target = static_cast<float>(std::pow(10.0, -1.5 / 20.0));
    if (peak > 0)
        for (size_t i = 0; i < frames; ++i) {
            mix.left[i] *= target / peak;
            mix.right[i] *= target / peak;
        }
    return mix;
}

}  // namespace datagen
