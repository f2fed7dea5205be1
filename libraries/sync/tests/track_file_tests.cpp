#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "sync/track.h"
#include "track_file_writer.h"

using namespace sync_test;
namespace fs = boost::filesystem;

class TrackFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / fs::unique_path("track-file-%%%%-%%%%");
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(TrackFile, ReadsRecordsSortedWithLastDuplicateWinning) {
    WriteFile(Path("a.track"), TrackBytes(4, {{20, 2.0f, 1}, {5, 0.5f, 2}, {20, 3.0f, 3}, {0, -1.0f, 0}}));
    sync::Track track("a");
    ASSERT_TRUE(sync::LoadTrackFile(track, Path("a.track")));
    ASSERT_EQ(track.KeyCount(), 3u);
    auto it = track.keys.begin();
    EXPECT_EQ(it->first, 0u);
    EXPECT_EQ(it->second.value, -1.0f);
    ++it;
    EXPECT_EQ(it->first, 5u);
    EXPECT_EQ(it->second.type, 2);
    ++it;
    EXPECT_EQ(it->first, 20u);
    EXPECT_EQ(it->second.value, 3.0f);
    EXPECT_EQ(it->second.type, 3);
}

TEST_F(TrackFile, TypeByteIsStoredUnchangedAndEvaluatesAsStep) {
    WriteFile(Path("t.track"), TrackBytes(2, {{0, 1.0f, 200}, {10, 2.0f, 1}}));
    sync::Track track("t");
    ASSERT_TRUE(sync::LoadTrackFile(track, Path("t.track")));
    EXPECT_EQ(track.FindKey(0)->type, 200);
    EXPECT_EQ(track.GetValue(5.0f), 1.0f);
}

TEST_F(TrackFile, CountZeroAndEmptyFilesGiveNoKeys) {
    WriteFile(Path("zero.track"), TrackBytes(0, {}));
    WriteFile(Path("empty.track"), "");
    WriteFile(Path("short.track"), std::string("\x01\x00", 2));
    for (const char* name : {"zero.track", "empty.track", "short.track"}) {
        sync::Track track(name);
        EXPECT_TRUE(sync::LoadTrackFile(track, Path(name))) << name;
        EXPECT_FALSE(track.HasKeys()) << name;
    }
}

TEST_F(TrackFile, TruncatedFileKeepsCompleteRecords) {
    std::string bytes = TrackBytes(3, {{1, 1.0f, 0}, {2, 2.0f, 0}, {3, 3.0f, 0}});
    bytes.resize(bytes.size() - 1);  // the third record lacks its type byte
    WriteFile(Path("cut.track"), bytes);
    sync::Track track("cut");
    EXPECT_TRUE(sync::LoadTrackFile(track, Path("cut.track")));
    EXPECT_EQ(track.KeyCount(), 2u);
    EXPECT_FALSE(track.IsKeyFrame(3));
}

TEST_F(TrackFile, AbsurdCountStopsAtEndOfData) {
    WriteFile(Path("huge.track"), TrackBytes(0xFFFFFFFFu, {{1, 1.0f, 0}, {9, 9.0f, 1}}));
    sync::Track track("huge");
    EXPECT_TRUE(sync::LoadTrackFile(track, Path("huge.track")));
    EXPECT_EQ(track.KeyCount(), 2u);
}

TEST_F(TrackFile, BytesAfterTheLastRecordAreIgnored) {
    WriteFile(Path("tail.track"), TrackBytes(1, {{4, 4.0f, 0}, {5, 5.0f, 0}}));
    sync::Track track("tail");
    EXPECT_TRUE(sync::LoadTrackFile(track, Path("tail.track")));
    EXPECT_EQ(track.KeyCount(), 1u);
}

TEST_F(TrackFile, MissingFileOrDirectoryFailsAndLeavesTrackAlone) {
    sync::Track track("keep");
    track.SetKey(1, sync::TrackKey{1.0f, 0});
    EXPECT_FALSE(sync::LoadTrackFile(track, Path("absent.track")));
    fs::create_directories(dir / "dir.track");
    EXPECT_FALSE(sync::LoadTrackFile(track, Path("dir.track")));
    EXPECT_EQ(track.KeyCount(), 1u);
}

TEST_F(TrackFile, ManyRecordsInAnyOrderKeepTheLastRecordOfEachRow) {
    // More records than one read batch, rows falling and repeating: the last record of a
    // row wins within a batch and across batches.
    constexpr uint32_t kCount = 150001;
    std::vector<Record> records;
    std::vector<float> last(1000, -1.0f);
    for (uint32_t i = 0; i < kCount; ++i) {
        const uint32_t row = 999 - (i * 7919u) % 1000;
        records.push_back({row, static_cast<float>(i), static_cast<uint8_t>(i % 5)});
        last[row] = static_cast<float>(i);
    }
    WriteFile(Path("many.track"), TrackBytes(kCount, records));
    sync::Track track("many");
    ASSERT_TRUE(sync::LoadTrackFile(track, Path("many.track")));
    ASSERT_EQ(track.KeyCount(), 1000u);
    for (uint32_t row = 0; row < 1000; ++row) {
        const sync::TrackKey* key = track.FindKey(row);
        ASSERT_NE(key, nullptr) << row;
        ASSERT_EQ(key->value, last[row]) << row;
        ASSERT_EQ(key->type, static_cast<int32_t>(last[row]) % 5) << row;
    }
    // Merged a few records at a time, the keys grow by many merges and still hold no room
    // beyond their rows.
    sync::Track batched("batched");
    ASSERT_TRUE(sync::LoadTrackFileInBatches(batched, Path("many.track"), 7));
    ASSERT_EQ(batched.KeyCount(), 1000u);
    for (size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(batched.keys[i].first, track.keys[i].first) << i;
        ASSERT_EQ(batched.keys[i].second.value, track.keys[i].second.value) << i;
    }
    EXPECT_EQ(batched.keys.capacity(), 1000u);
}

TEST_F(TrackFile, FilesBeyondTheSizeLimitAreRefusedNamingTheFile) {
    // Zero records fill both files after the first; a count past the end reads them all.
    WriteFile(Path("full.track"), TrackBytes(0xFFFFFFFFu, {{7, 7.0f, 0}}));
    fs::resize_file(dir / "full.track", sync::kMaxTrackFileBytes);
    WriteFile(Path("over.track"), TrackBytes(0xFFFFFFFFu, {{7, 7.0f, 0}}));
    fs::resize_file(dir / "over.track", sync::kMaxTrackFileBytes + 1);

    sync::Track track("limit");
    std::string refusal;
    ASSERT_TRUE(sync::LoadTrackFile(track, Path("full.track"), &refusal));
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(track.KeyCount(), 2u);
    EXPECT_EQ(track.FindKey(0)->value, 0.0f);

    EXPECT_FALSE(sync::LoadTrackFile(track, Path("over.track"), &refusal));
    EXPECT_NE(refusal.find(Path("over.track")), std::string::npos) << refusal;
    EXPECT_NE(refusal.find(std::to_string(sync::kMaxTrackFileBytes)), std::string::npos) << refusal;
    EXPECT_EQ(track.KeyCount(), 2u) << "a refused file leaves the track as it was";
}
