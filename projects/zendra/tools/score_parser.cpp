// Reads the score text: progressions, patterns and the arrangement of sections.

#include <algorithm>
#include <cctype>

#include "common.h"
#include "music.h"

namespace datagen {

namespace {

const char* const kInstruments[] = {"kick", "clap", "snare", "hat",   "ohat",  "bass",
                                    "pad",  "lead", "arp",   "riser", "impact"};

int PitchClass(char letter) {
    static const int classes[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    return classes[letter - 'A'];
}

bool ParseChord(const std::string& symbol, Chord& chord) {
    if (symbol.empty() || symbol[0] < 'A' || symbol[0] > 'G')
        return false;
    int root = PitchClass(symbol[0]);
    size_t i = 1;
    if (i < symbol.size() && (symbol[i] == '#' || symbol[i] == 'b')) {
        root += symbol[i] == '#' ? 1 : -1;
        ++i;
    }
    std::string quality = symbol.substr(i);
    static const std::map<std::string, std::vector<int>> qualities = {
        {"", {0, 4, 7}},       {"m", {0, 3, 7}},        {"7", {0, 4, 7, 10}},
        {"m7", {0, 3, 7, 10}}, {"maj7", {0, 4, 7, 11}}, {"sus2", {0, 2, 7}},
        {"sus4", {0, 5, 7}},   {"add9", {0, 4, 7, 14}}, {"madd9", {0, 3, 7, 14}},
    };
    auto it = qualities.find(quality);
    if (it == qualities.end())
        return false;
    chord.symbol = symbol;
    chord.root = (root + 12) % 12;
    chord.intervals = it->second;
    return true;
}

// "A4", "C#5", "Eb3" -> MIDI note (C4 = 60).
bool ParseNote(const std::string& text, int& note) {
    if (text.size() < 2 || text[0] < 'A' || text[0] > 'G')
        return false;
    int pc = PitchClass(text[0]);
    size_t i = 1;
    if (text[i] == '#' || text[i] == 'b') {
        pc += text[i] == '#' ? 1 : -1;
        ++i;
    }
    if (i + 1 != text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
        return false;
    note = (text[i] - '0' + 1) * 12 + pc;
    return true;
}

class ScoreParser {
public:
    explicit ScoreParser(std::string file) : mFile(std::move(file)) {}

    Score Parse(const std::string& text) {
        std::vector<std::string> lines = SplitLines(text);
        for (size_t n = 0; n < lines.size(); ++n) {
            mLine = static_cast<int>(n) + 1;
            std::vector<std::string> t = Tokenize(lines[n]);
            if (t.empty())
                continue;
            const std::string& word = t[0];
            if (word == "tempo") {
                Expect(t.size() == 2, "tempo <beats per minute>");
                mScore.bpm = ParseNumber(t[1], mFile, mLine);
                Expect(mScore.bpm > 20 && mScore.bpm < 400, "tempo out of range");
            } else if (word == "progression") {
                Expect(t.size() >= 3, "progression <name> <chord>...");
                std::vector<Chord>& chords = New(mScore.progressions, t[1]);
                for (size_t i = 2; i < t.size(); ++i) {
                    Chord c;
                    Expect(ParseChord(t[i], c), "unknown chord '" + t[i] + "'");
                    chords.push_back(c);
                }
            } else if (word == "drums" || word == "bass") {
                Expect(t.size() == 3, word + " <name> <steps>, bars separated by '|'");
                std::string steps = Steps(t[2], word == "drums" ? "xo." : "rfo-.");
                New(word == "drums" ? mScore.drums : mScore.basses, t[1]) = steps;
            } else if (word == "melody") {
                Expect(t.size() >= 3, "melody <name> <note:sixteenths>...");
                std::vector<MelodyNote>& notes = New(mScore.melodies, t[1]);
                int total = 0;
                for (size_t i = 2; i < t.size(); ++i) {
                    if (t[i] == "|")
                        continue;
                    size_t colon = t[i].find(':');
                    Expect(colon != std::string::npos, "melody notes are <note>:<sixteenths>, '.' for a rest");
                    MelodyNote m;
                    std::string pitch = t[i].substr(0, colon);
                    if (pitch != ".")
                        Expect(ParseNote(pitch, m.note), "unknown note '" + pitch + "'");
                    m.steps = static_cast<int>(ParseNumber(t[i].substr(colon + 1), mFile, mLine));
                    Expect(m.steps > 0, "a note lasts at least one sixteenth");
                    total += m.steps;
                    notes.push_back(m);
                }
                Expect(total % 16 == 0, "melody '" + t[1] + "' does not fill whole bars");
            } else if (word == "arp") {
                Expect(t.size() >= 3, "arp <name> <chord tone | .>...");
                std::vector<int>& steps = New(mScore.arps, t[1]);
                for (size_t i = 2; i < t.size(); ++i)
                    steps.push_back(t[i] == "." ? -1 : static_cast<int>(ParseNumber(t[i], mFile, mLine)));
                Expect(steps.size() % 16 == 0, "arp '" + t[1] + "' does not fill whole bars");
            } else if (word == "section") {
                ParseSection(t);
            } else {
                Fail(mFile, mLine, "unknown word '" + word + "'");
            }
        }
        Expect(!mScore.sections.empty(), "the score has no sections");
        return std::move(mScore);
    }

private:
    void Expect(bool ok, const std::string& message) {
        if (!ok)
            Fail(mFile, mLine, message);
    }

    template <class T>
    T& New(std::map<std::string, T>& map, const std::string& name) {
        Expect(!map.count(name), "'" + name + "' is defined twice");
        return map[name];
    }

    std::string Steps(const std::string& text, const std::string& allowed) {
        std::string steps;
        for (char c : text) {
            if (c == '|')
                continue;
            Expect(allowed.find(c) != std::string::npos, std::string("step '") + c + "' is not one of " + allowed);
            steps.push_back(c);
        }
        Expect(!steps.empty() && steps.size() % 16 == 0, "patterns are whole bars of 16 steps");
        return steps;
    }

    void ParseSection(const std::vector<std::string>& t) {
        // section <name> <first bar> <bars> <progression> : <layer>...
        Expect(t.size() >= 6 && t[5] == ":", "section <name> <first bar> <bars> <progression> : <layer>...");
        ScoreSection s;
        s.name = t[1];
        s.firstBar = static_cast<int>(ParseNumber(t[2], mFile, mLine));
        s.bars = static_cast<int>(ParseNumber(t[3], mFile, mLine));
        s.progression = t[4];
        int expected = mScore.sections.empty() ? 0 : mScore.sections.back().firstBar + mScore.sections.back().bars;
        Expect(s.firstBar == expected, "section '" + s.name + "' must start at bar " + std::to_string(expected));
        Expect(s.bars == 8 || s.bars == 16, "sections last 8 or 16 bars");
        Expect(mScore.progressions.count(s.progression), "unknown progression '" + s.progression + "'");
        for (size_t i = 6; i < t.size(); ++i)
            s.layers.push_back(ParseLayer(t[i]));
        mScore.sections.push_back(std::move(s));
    }

    // <instrument>[=pattern][@gain[>gain]][~hz>hz]
    ScoreLayer ParseLayer(const std::string& text) {
        ScoreLayer layer;
        std::string rest = text;
        size_t tilde = rest.find('~');
        if (tilde != std::string::npos) {
            std::string sweep = rest.substr(tilde + 1);
            rest = rest.substr(0, tilde);
            size_t gt = sweep.find('>');
            Expect(gt != std::string::npos, "a sweep is ~<from Hz>><to Hz>");
            layer.cutoffFrom = static_cast<float>(ParseNumber(sweep.substr(0, gt), mFile, mLine));
            layer.cutoffTo = static_cast<float>(ParseNumber(sweep.substr(gt + 1), mFile, mLine));
            Expect(layer.cutoffFrom > 20 && layer.cutoffTo > 20, "sweep frequencies must be above 20 Hz");
        }
        size_t at = rest.find('@');
        if (at != std::string::npos) {
            std::string gain = rest.substr(at + 1);
            rest = rest.substr(0, at);
            size_t gt = gain.find('>');
            layer.gainFrom = static_cast<float>(ParseNumber(gain.substr(0, gt), mFile, mLine));
            layer.gainTo = gt == std::string::npos ? layer.gainFrom
                                                   : static_cast<float>(ParseNumber(gain.substr(gt + 1), mFile, mLine));
        }
        size_t eq = rest.find('=');
        layer.instrument = rest.substr(0, eq);
        if (eq != std::string::npos)
            layer.pattern = rest.substr(eq + 1);
        Expect(std::find(std::begin(kInstruments), std::end(kInstruments), layer.instrument) != std::end(kInstruments),
               "unknown instrument '" + layer.instrument + "'");
        const std::string& in = layer.instrument;
        bool drum = in == "kick" || in == "clap" || in == "snare" || in == "hat" || in == "ohat";
        if (drum)
            Expect(mScore.drums.count(layer.pattern), "unknown drum pattern '" + layer.pattern + "'");
        else if (in == "bass")
            Expect(mScore.basses.count(layer.pattern), "unknown bass pattern '" + layer.pattern + "'");
        else if (in == "lead")
            Expect(mScore.melodies.count(layer.pattern), "unknown melody '" + layer.pattern + "'");
        else if (in == "arp")
            Expect(mScore.arps.count(layer.pattern), "unknown arp '" + layer.pattern + "'");
        else
            Expect(layer.pattern.empty(), "'" + in + "' takes no pattern");
        return layer;
    }

    std::string mFile;
    int mLine = 0;
    Score mScore;
};

}  // namespace

Score ParseScore(const std::string& text, const std::string& fileName) {
    return ScoreParser(fileName).Parse(text);
}

}  // namespace datagen
