// The generator's readers and writers: the timeline and score formats, track files, the
// synthesiser's determinism and the generator run as a whole.

#include <gtest/gtest.h>

#include <sync/sync.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common.h"
#include "music.h"
#include "timeline.h"
#include "track_names.h"

namespace fs = std::filesystem;
using namespace datagen;

namespace {

// A timeline that keys GotoRow and declares every other track default, plus `body`.
std::string TimelineText(const std::string& body, const std::string& sections = "section a 0 2\nsection b 2 2\nend 4\n",
                         const std::string& skip = "") {
    std::string text = sections + "track GotoRow\n  0 -1\n  end 0\n" + body + "\n";
    for (const KnownTrack& t : kKnownTracks) {
        std::string name(t.name);
        if (name != "GotoRow" && body.find("track " + name + "\n") == std::string::npos && name != skip)
            text += "default " + name + "  # not used here\n";
    }
    return text;
}

std::string ErrorOf(const std::string& text) {
    try {
        ParseTimeline(text, "t.timeline");
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(TimelineFormat, PositionsCountBarsBeatsAndRowsFromSections) {
    Timeline t = ParseTimeline(
        TimelineText("track VLight\n  a 1\n  b 2 linear\n  b+1:2 3 smooth\n  1:3:7 4 catmull\n  end 5 ramp\n"),
        "t.timeline");
    const std::vector<TimelineKey>& keys = t.tracks.at("VLight");
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(keys[0].row, 0u);
    EXPECT_EQ(keys[1].row, 32u + 24 + 7);  // bar 1, beat 3, row 7
    EXPECT_EQ(keys[1].type, 4);
    EXPECT_EQ(keys[2].row, 64u);
    EXPECT_EQ(keys[2].type, 1);
    EXPECT_EQ(keys[3].row, 96u + 16);
    EXPECT_EQ(keys[3].type, 2);
    EXPECT_EQ(keys[4].row, 128u);
    EXPECT_EQ(keys[4].type, 3);
    EXPECT_EQ(t.EndRow(), 128u);
}

TEST(TimelineFormat, PulsesRiseOnEveryPeriodAndDecayLinearly) {
    Timeline t = ParseTimeline(TimelineText("track Post_Bloom\n  pulse a b 8 100 20 6\n"), "t.timeline");
    const std::vector<TimelineKey>& keys = t.tracks.at("Post_Bloom");
    ASSERT_EQ(keys.size(), 16u);  // 64 rows / 8, two keys each
    EXPECT_EQ(keys[0].row, 0u);
    EXPECT_EQ(keys[0].value, 100.0f);
    EXPECT_EQ(keys[0].type, 1);
    EXPECT_EQ(keys[1].row, 6u);
    EXPECT_EQ(keys[1].value, 20.0f);
    EXPECT_EQ(keys[1].type, 0);
    EXPECT_EQ(keys[15].row, 62u);
}

TEST(TimelineFormat, RejectsMistakesWithTheirLine) {
    EXPECT_NE(ErrorOf(TimelineText("track VLigth\n  0 1\n")).find("t.timeline:"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("track VLigth\n  0 1\n")).find("'VLigth'"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("", "section a 0 2\nsection b 3 2\nend 5\n")).find("must start at bar 2"),
              std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("", "section a 0 2\nend 3\n")).find("end mark"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("track VLight\n  0 1\n  0:0:0 2\n")).find("two keys on row 0"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("track VLight\n  5 1\n")).find("after the end mark"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("track VLight\n  0 1 bouncy\n")).find("interpolation"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("track VLight\n  0:4 1\n")).find("beat is 0 to 3"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("track VLight\n  c 1\n")).find("unknown section 'c'"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("", "section a 0 2\nsection b 2 2\nend 4\n", "VLight"))
                  .find("'VLight' is neither keyed nor"),
              std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("default VLight\n")).find("why"), std::string::npos);
    EXPECT_NE(ErrorOf(TimelineText("track VLight\n  0 1\ntrack VLight\n  1 2\n")).find("twice"), std::string::npos);
    EXPECT_EQ(ErrorOf(TimelineText("track VLight\n  0 1\n")), "");
}

TEST(TimelineFormat, GotoRowMustPlayOnAndStopAtTheEndMark) {
    std::string sections = "section a 0 2\nend 2\n";
    auto with = [&](const std::string& gotoKeys) {
        std::string text = sections + "track GotoRow\n" + gotoKeys;
        for (const KnownTrack& t : kKnownTracks)
            if (t.name != "GotoRow")
                text += "default " + std::string(t.name) + " # unused\n";
        return ErrorOf(text);
    };
    EXPECT_EQ(with("  0 -1\n  end 0\n"), "");
    EXPECT_NE(with("  0 -1\n  1 0\n"), "");      // stops before the end mark
    EXPECT_NE(with("  0 -1\n  end 0.5\n"), "");  // seeks instead of stopping
    EXPECT_NE(with("  0 0\n  end 0\n"), "");     // would stop at once
    EXPECT_NE(with("  end 0\n"), "");            // no play-on key at row 0
}

TEST(TrackFiles, RoundTripThroughTheSyncLibrary) {
    std::vector<TimelineKey> keys = {{0, -1.0f, 0}, {17, 2.5f, 1}, {4096, 0.0f, 4}, {70000, 1e-3f, 2}};
    std::string bytes = TrackFileBytes(keys);
    ASSERT_EQ(bytes.size(), 4u + 9 * keys.size());
    fs::path path = fs::temp_directory_path() / "zendra_roundtrip.track";
    WriteFile(path, bytes);
    sync::Track track("x");
    ASSERT_TRUE(sync::LoadTrackFile(track, path.string()));
    ASSERT_EQ(track.KeyCount(), keys.size());
    for (const TimelineKey& k : keys) {
        const sync::TrackKey* got = track.FindKey(k.row);
        ASSERT_NE(got, nullptr) << k.row;
        EXPECT_EQ(got->value, k.value);
        EXPECT_EQ(got->type, k.type);
    }
    EXPECT_EQ(track.GetValue(17.0f + (4096 - 17) / 2.0f), 1.25f);  // linear half-way to 0
    fs::remove(path);
}

TEST(TrackFiles, DefaultTracksGetAFileWithoutKeys) {
    Timeline t = ParseTimeline(TimelineText("track VLight\n  0 1\n"), "t.timeline");
    fs::path dir = fs::temp_directory_path() / "zendra_default_tracks";
    fs::remove_all(dir);
    WriteTrackFiles(t, dir);
    EXPECT_EQ(fs::file_size(dir / "sync" / "sync_Scene.track"), 4u);
    EXPECT_EQ(fs::file_size(dir / "sync" / "sync_VLight.track"), 13u);
    size_t files = std::distance(fs::directory_iterator(dir / "sync"), fs::directory_iterator());
    EXPECT_EQ(files, kKnownTracks.size());
    fs::remove_all(dir);
}

Score ContentScore() {
    fs::path file = fs::path(ZENDRA_CONTENT_DIR) / "score.txt";
    return ParseScore(ReadTextFile(file), file.string());
}

TEST(Content, TheTimelineFollowsTheMusicSectionBySection) {
    fs::path file = fs::path(ZENDRA_CONTENT_DIR) / "demo.timeline";
    Timeline timeline = ParseTimeline(ReadTextFile(file), file.string());
    Score score = ContentScore();
    ASSERT_EQ(timeline.sections.size(), score.sections.size());
    for (size_t i = 0; i < score.sections.size(); ++i) {
        EXPECT_EQ(timeline.sections[i].name, score.sections[i].name);
        EXPECT_EQ(timeline.sections[i].firstBar, score.sections[i].firstBar);
        EXPECT_EQ(timeline.sections[i].bars, score.sections[i].bars);
    }
    EXPECT_EQ(timeline.endBar, score.Bars());
    // At 128 BPM and 8 rows a beat the end mark falls where the last bar of music ends.
    EXPECT_NEAR(timeline.EndRow() / 17.066668, score.Bars() * score.SecondsPerBar(), 0.01);
    EXPECT_NEAR(score.Bars() * score.SecondsPerBar(), 240.0, 6.0);
}

TEST(Content, TheTestTimelineEndsAfterAFewSeconds) {
    fs::path file = fs::path(ZENDRA_CONTENT_DIR) / "test.timeline";
    Timeline timeline = ParseTimeline(ReadTextFile(file), file.string());
    double seconds = timeline.EndRow() / 17.066668;
    EXPECT_GT(seconds, 2.0);
    EXPECT_LT(seconds, 10.0);
}

TEST(ScoreFormat, RejectsMistakesWithTheirLine) {
    auto error = [](const std::string& text) {
        try {
            ParseScore(text, "s.txt");
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    const std::string ok = "tempo 128\nprogression p Am F\ndrums k x...x...x...x...\nsection a 0 8 p : kick=k pad\n";
    EXPECT_EQ(error(ok), "");
    EXPECT_NE(error("progression p Am H7\n").find("s.txt:1: unknown chord 'H7'"), std::string::npos);
    EXPECT_NE(error("drums k x...x...\n").find("16 steps"), std::string::npos);
    EXPECT_NE(error("tempo 128\nprogression p Am\nsection a 0 4 p : pad\n").find("8 or 16 bars"), std::string::npos);
    EXPECT_NE(error("progression p Am\nsection a 0 8 p : kick=nope\n").find("unknown drum pattern"), std::string::npos);
    EXPECT_NE(error("progression p Am\nsection a 0 8 p : tuba\n").find("unknown instrument"), std::string::npos);
    EXPECT_NE(error("melody m A4:3 C5:3\n").find("whole bars"), std::string::npos);
    EXPECT_NE(error("progression p Am\nsection a 8 8 p : pad\n").find("start at bar 0"), std::string::npos);
}

TEST(ScoreFormat, ChordsNotesAndSharpsAreRead) {
    Score s = ParseScore("progression p F#m7 Bbmaj7 Esus4\nmelody m F#5:8 .:8\nsection a 0 8 p : lead=m\n", "s.txt");
    const std::vector<Chord>& p = s.progressions.at("p");
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].root, 6);
    EXPECT_EQ(p[0].intervals, (std::vector<int>{0, 3, 7, 10}));
    EXPECT_EQ(p[1].root, 10);
    EXPECT_EQ(p[2].intervals, (std::vector<int>{0, 5, 7}));
    const std::vector<MelodyNote>& m = s.melodies.at("m");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].note, 78);  // F#5
    EXPECT_EQ(m[1].note, -1);
}

TEST(Synthesiser, RendersTheSameSamplesEveryTime) {
    Score score = ContentScore();
    StereoBuffer a = RenderScore(score, 3.0), b = RenderScore(score, 3.0);
    ASSERT_EQ(a.Frames(), static_cast<size_t>(3.0 * kSampleRate));
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    EXPECT_EQ(EncodeMp3(a), EncodeMp3(b));
    float peak = 0;
    for (float v : a.left)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.5f);
    EXPECT_LE(peak, 0.85f);
    EXPECT_NE(a.left, a.right) << "stereo, not two copies of mono";
}

// Runs the generator on the content folder; returns its exit status.
int Generate(const fs::path& out, const std::string& extra) {
    std::string command = std::string("\"") + ZENDRA_DATAGEN + "\" --content \"" + ZENDRA_CONTENT_DIR + "\" --out \"" +
                          out.string() + "\" " + extra + " > /dev/null 2>&1";
    return std::system(command.c_str());
}

TEST(Generator, TwoRunsWriteTheSameBytes) {
    fs::path base = fs::temp_directory_path() / "zendra_determinism";
    fs::remove_all(base);
    const std::string args = "--timeline test.timeline --music-seconds 4";
    ASSERT_EQ(Generate(base / "a", args), 0);
    ASSERT_EQ(Generate(base / "b", args), 0);
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(base / "a")) {
        if (!entry.is_regular_file())
            continue;
        fs::path other = base / "b" / fs::relative(entry.path(), base / "a");
        ASSERT_TRUE(fs::exists(other)) << other;
        EXPECT_EQ(ReadTextFile(entry.path()), ReadTextFile(other)) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 90u);
    size_t filesB = std::distance(fs::recursive_directory_iterator(base / "b"), fs::recursive_directory_iterator());
    size_t filesA = std::distance(fs::recursive_directory_iterator(base / "a"), fs::recursive_directory_iterator());
    EXPECT_EQ(filesA, filesB);
    fs::remove_all(base);
}

TEST(Generator, NewMusicRemovesTheStaleSpectrumCache) {
    fs::path dir = fs::temp_directory_path() / "zendra_fft_cache";
    fs::remove_all(dir);
    ASSERT_EQ(Generate(dir, "--only music --music-seconds 2"), 0);
    WriteFile(dir / "fft.dat", std::string(64, 'x'));
    ASSERT_EQ(Generate(dir, "--only music --music-seconds 2"), 0);
    EXPECT_TRUE(fs::exists(dir / "fft.dat")) << "the same music keeps its cache";
    ASSERT_EQ(Generate(dir, "--only music --music-seconds 3"), 0);
    EXPECT_FALSE(fs::exists(dir / "fft.dat")) << "other music drops it";
    fs::remove_all(dir);
}

TEST(Generator, FailsWithTheFileAndLineOfABadSource) {
    fs::path base = fs::temp_directory_path() / "zendra_bad_content";
    fs::remove_all(base);
    fs::create_directories(base / "content");
    WriteFile(base / "content" / "bad.timeline", "section a 0 1\nend 1\ntrack Nope\n  0 1\n");
    std::string command = std::string("\"") + ZENDRA_DATAGEN + "\" --content \"" + (base / "content").string() +
                          "\" --out \"" + (base / "out").string() + "\" --timeline bad.timeline --only tracks 2> \"" +
                          (base / "err.txt").string() + "\"";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_NE(ReadTextFile(base / "err.txt").find("bad.timeline:3:"), std::string::npos);
    EXPECT_FALSE(fs::exists(base / "out" / "sync")) << "nothing half-written";
    fs::remove_all(base);
}

}  // namespace
