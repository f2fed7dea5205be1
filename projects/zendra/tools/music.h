#pragma once
// The score (content/score.txt), its synthesiser and the MP3 encoder.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace datagen {

inline constexpr int kSampleRate = 44100;

struct Chord {
    std::string symbol;
    int root = 0;                // pitch class, 0 = C
    std::vector<int> intervals;  // semitones above the root, root (0) included
};

struct ScoreLayer {
    std::string instrument;
    std::string pattern;  // drum, bass, melody or arp pattern; empty where none is needed
    float gainFrom = 1.0f, gainTo = 1.0f;
    float cutoffFrom = 0.0f, cutoffTo = 0.0f;  // low-pass sweep over the section in Hz; 0: none
};

struct ScoreSection {
    std::string name;
    int firstBar = 0;
    int bars = 0;
    std::string progression;
    std::vector<ScoreLayer> layers;
};

struct MelodyNote {
    int note = -1;  // MIDI note; -1 rest
    int steps = 1;  // sixteenths
};

struct Score {
    double bpm = 128.0;
    std::map<std::string, std::vector<Chord>> progressions;
    std::map<std::string, std::string> drums;  // step strings, a multiple of 16 steps
    std::map<std::string, std::string> basses;
    std::map<std::string, std::vector<MelodyNote>> melodies;
    std::map<std::string, std::vector<int>> arps;  // chord-tone index per step, -1 rest
    std::vector<ScoreSection> sections;

    int Bars() const { return sections.empty() ? 0 : sections.back().firstBar + sections.back().bars; }
    double SecondsPerBar() const { return 4.0 * 60.0 / bpm; }
};

Score ParseScore(const std::string& text, const std::string& fileName);

struct StereoBuffer {
    std::vector<float> left, right;
    size_t Frames() const { return left.size(); }
};

// Renders the score from its start, stopping after `seconds` (<= 0: the whole piece and
// its reverb tail). Deterministic: the same samples on every run.
StereoBuffer RenderScore(const Score& score, double seconds);

// Joint-stereo MP3 at 44.1 kHz, 192 kbit/s, without ID3 tags (so the bytes depend on the
// samples alone), with the encoder-delay header that lets decoders trim the padding.
std::string EncodeMp3(const StereoBuffer& audio);

}  // namespace datagen
