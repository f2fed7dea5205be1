#include "timeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common.h"
#include "track_names.h"

namespace datagen {

namespace {

int KeyTypeFromToken(const std::string& token, const std::string& file, int line) {
    static const char* const names[] = {"step", "linear", "smooth", "ramp", "catmull"};
    for (int i = 0; i < 5; ++i)
        if (token == names[i] || token == std::to_string(i))
            return i;
    Fail(file, line, "unknown interpolation '" + token + "' (step, linear, smooth, ramp, catmull or 0..4)");
}

class Parser {
public:
    Parser(const std::string& file) : mFile(file) {}

    Timeline Parse(const std::string& text) {
        std::vector<std::string> lines = SplitLines(text);
        std::string current;  // track whose keys follow
        for (size_t i = 0; i < lines.size(); ++i) {
            mLine = static_cast<int>(i) + 1;
            std::vector<std::string> t = Tokenize(lines[i]);
            if (t.empty())
                continue;
            const std::string& word = t[0];
            if (word == "section") {
                Expect(t.size() == 4, "section <name> <first bar> <bars>");
                AddSection(t[1], Int(t[2]), Int(t[3]));
                current.clear();
            } else if (word == "end" && current.empty()) {  // inside a track, "end" is a position
                Expect(t.size() == 2, "end <bar>");
                mTimeline.endBar = Bar(t[1]);
                current.clear();
            } else if (word == "track") {
                Expect(t.size() == 2, "track <Name>");
                current = t[1];
                CheckName(current);
                if (mTimeline.tracks.count(current) || mTimeline.defaults.count(current))
                    Fail(mFile, mLine, "track '" + current + "' appears twice");
                mTimeline.tracks[current];
                mTrackLine[current] = mLine;
            } else if (word == "default") {
                Expect(t.size() >= 2, "default <Name>... [# reason]");
                std::string reason = Comment(lines[i]);
                if (reason.empty())
                    Fail(mFile, mLine, "say after '#' why the track keeps its default");
                for (size_t k = 1; k < t.size(); ++k) {
                    CheckName(t[k]);
                    if (mTimeline.tracks.count(t[k]) || mTimeline.defaults.count(t[k]))
                        Fail(mFile, mLine, "track '" + t[k] + "' appears twice");
                    mTimeline.defaults[t[k]] = reason;
                }
                current.clear();
            } else if (word == "pulse") {
                // pulse <from> <to> <period rows> <peak> <base> <decay rows>
                Expect(!current.empty(), "pulse outside a track");
                Expect(t.size() == 7, "pulse <from> <to> <period rows> <peak> <base> <decay rows>");
                uint32_t from = Position(t[1]), to = Position(t[2]);
                int period = Int(t[3]);
                float peak = Float(t[4]), base = Float(t[5]);
                int decay = Int(t[6]);
                Expect(period > 0 && decay > 0 && decay < period && from < to, "bad pulse range");
                for (uint32_t row = from; row < to; row += static_cast<uint32_t>(period)) {
                    AddKey(current, {row, peak, 1});
                    AddKey(current, {row + static_cast<uint32_t>(decay), base, 0});
                }
            } else {
                Expect(!current.empty(), "key outside a track (or unknown word '" + word + "')");
                Expect(t.size() == 2 || t.size() == 3, "<position> <value> [step|linear|smooth|ramp|catmull]");
                TimelineKey key;
                key.row = Position(t[0]);
                key.value = Float(t[1]);
                key.type = static_cast<uint8_t>(t.size() == 3 ? KeyTypeFromToken(t[2], mFile, mLine) : 0);
                AddKey(current, key);
            }
        }
        mLine = static_cast<int>(lines.size());
        Check();
        return std::move(mTimeline);
    }

private:
    void Expect(bool ok, const std::string& message) {
        if (!ok)
            Fail(mFile, mLine, message);
    }

    static std::string Comment(const std::string& line) {
        size_t hash = line.find('#');
        if (hash == std::string::npos)
            return {};
        std::string text = line.substr(hash + 1);
        size_t b = text.find_first_not_of(" \t");
        size_t e = text.find_last_not_of(" \t\r");
        return b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
    }

    int Int(const std::string& token) {
        double v = ParseNumber(token, mFile, mLine);
        Expect(v == std::floor(v) && std::fabs(v) < 1e7, "not a whole number: '" + token + "'");
        return static_cast<int>(v);
    }

    float Float(const std::string& token) { return static_cast<float>(ParseNumber(token, mFile, mLine)); }

    void CheckName(const std::string& name) {
        if (!FindKnownTrack(name))
            Fail(mFile, mLine, "no part of the program reads a track named '" + name + "'");
    }

    void AddSection(const std::string& name, int firstBar, int bars) {
        int expected =
            mTimeline.sections.empty() ? 0 : mTimeline.sections.back().firstBar + mTimeline.sections.back().bars;
        Expect(firstBar == expected, "section '" + name + "' must start at bar " + std::to_string(expected));
        Expect(bars > 0, "a section lasts at least one bar");
        for (const TimelineSection& s : mTimeline.sections)
            Expect(s.name != name, "section '" + name + "' appears twice");
        mTimeline.sections.push_back({name, firstBar, bars});
    }

    // <bar>[+n|-n] where <bar> is a number or a section name (its first bar), or "end".
    int Bar(const std::string& token) {
        size_t sign = token.find_first_of("+-", 1);
        std::string base = token.substr(0, sign);
        int bar = 0;
        if (base == "end") {
            Expect(mTimeline.endBar > 0, "'end' used before the end mark is set");
            bar = mTimeline.endBar;
        } else if (!base.empty() && (std::isdigit(static_cast<unsigned char>(base[0])))) {
            bar = Int(base);
        } else {
            auto it = std::find_if(mTimeline.sections.begin(), mTimeline.sections.end(),
                                   [&](const TimelineSection& s) { return s.name == base; });
            Expect(it != mTimeline.sections.end(), "unknown section '" + base + "'");
            bar = it->firstBar;
        }
        if (sign != std::string::npos) {
            int offset = Int(token.substr(sign + 1));
            bar += token[sign] == '+' ? offset : -offset;
        }
        Expect(bar >= 0, "position before bar 0: '" + token + "'");
        return bar;
    }

    // <bar>[:beat[:row]]
    uint32_t Position(const std::string& token) {
        std::vector<std::string> parts;
        size_t start = 0;
        while (true) {
            size_t colon = token.find(':', start);
            parts.push_back(token.substr(start, colon - start));
            if (colon == std::string::npos)
                break;
            start = colon + 1;
        }
        Expect(parts.size() <= 3, "position is <bar>[:beat[:row]]: '" + token + "'");
        int row = Bar(parts[0]) * kRowsPerBar;
        if (parts.size() > 1) {
            int beat = Int(parts[1]);
            Expect(beat >= 0 && beat < kBeatsPerBar, "beat is 0 to 3: '" + token + "'");
            row += beat * kRowsPerBeat;
        }
        if (parts.size() > 2) {
            int sub = Int(parts[2]);
            Expect(sub >= 0 && sub < kRowsPerBeat, "row within a beat is 0 to 7: '" + token + "'");
            row += sub;
        }
        return static_cast<uint32_t>(row);
    }

    void AddKey(const std::string& track, const TimelineKey& key) {
        std::vector<TimelineKey>& keys = mTimeline.tracks[track];
        for (const TimelineKey& k : keys)
            Expect(k.row != key.row, "two keys on row " + std::to_string(key.row) + " of '" + track + "'");
        keys.push_back(key);
        std::sort(keys.begin(), keys.end(), [](const TimelineKey& a, const TimelineKey& b) { return a.row < b.row; });
    }

    void Check() {
        Expect(!mTimeline.sections.empty(), "the timeline has no sections");
        const TimelineSection& last = mTimeline.sections.back();
        Expect(mTimeline.endBar == last.firstBar + last.bars, "the end mark must be at bar " +
                                                                  std::to_string(last.firstBar + last.bars) +
                                                                  ", the end of the last section");
        for (const KnownTrack& known : kKnownTracks) {
            std::string name(known.name);
            bool keyed = mTimeline.tracks.count(name) != 0;
            if (!keyed && !mTimeline.defaults.count(name))
                Fail(mFile, mLine, "track '" + name + "' is neither keyed nor declared default");
            if (keyed && mTimeline.tracks[name].empty())
                Fail(mFile, mTrackLine[name], "track '" + name + "' has no keys");
        }
        for (const auto& [name, keys] : mTimeline.tracks)
            for (const TimelineKey& k : keys)
                if (k.row > mTimeline.EndRow())
                    Fail(mFile, mTrackLine[name], "track '" + name + "' has a key after the end mark");
        // The show ends at the end mark: -1 (play on) from row 0, 0 (stop) at the end.
        auto it = mTimeline.tracks.find("GotoRow");
        Expect(it != mTimeline.tracks.end(), "'GotoRow' must be keyed");
        const std::vector<TimelineKey>& g = it->second;
        bool ok = g.size() == 2 && g[0].row == 0 && g[0].value == -1.0f && g[0].type == 0 &&
                  g[1].row == mTimeline.EndRow() && g[1].value == 0.0f;
        if (!ok)
            Fail(mFile, mTrackLine["GotoRow"],
                 "'GotoRow' must hold -1 (step) from row 0 and 0 at the end mark, row " +
                     std::to_string(mTimeline.EndRow()));
    }

    std::string mFile;
    int mLine = 0;
    Timeline mTimeline;
    std::map<std::string, int> mTrackLine;
};

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

Timeline ParseTimeline(const std::string& text, const std::string& fileName) {
    return Parser(fileName).Parse(text);
}

std::string TrackFileBytes(const std::vector<TimelineKey>& keys) {
    std::string out;
    PutU32(out, static_cast<uint32_t>(keys.size()));
    for (const TimelineKey& key : keys) {
        PutU32(out, key.row);
        uint32_t bits;
        std::memcpy(&bits, &key.value, sizeof bits);
        PutU32(out, bits);
        out.push_back(static_cast<char>(key.type));
    }
    return out;
}

void WriteTrackFiles(const Timeline& timeline, const std::filesystem::path& dataDir) {
    std::filesystem::create_directories(dataDir / "sync");
    static const std::vector<TimelineKey> none;
    for (const KnownTrack& known : kKnownTracks) {
        std::string name(known.name);
        auto it = timeline.tracks.find(name);
        const std::vector<TimelineKey>& keys = it == timeline.tracks.end() ? none : it->second;
        WriteFile(dataDir / "sync" / ("sync_" + name + ".track"), TrackFileBytes(keys));
    }
}

}  // namespace datagen
