#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "sync/device.h"
#include "track_file_writer.h"

using namespace sync_test;
namespace fs = boost::filesystem;

namespace {

class FixedTimer : public sync::Timer {
public:
    void Pause() override { playing = false; }
    void Play() override { playing = true; }
    float GetRow() override { return row; }
    void SetRow(float r) override { row = r; }
    bool IsPlaying() override { return playing; }
    float row = 0.0f;
    bool playing = false;
};

}  // namespace

class PlayerDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / fs::unique_path("sync-device-%%%%-%%%%");
        fs::create_directories(dir / "sync");
        base = (dir / "sync" / "sync").string();
        device.reset(sync::CreatePlayerDevice(base, &timer));
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& track, const std::string& bytes) { WriteFile(base + "_" + track + ".track", bytes); }

    fs::path dir;
    std::string base;
    FixedTimer timer;
    std::unique_ptr<sync::PlayerDevice> device;
};

TEST_F(PlayerDeviceTest, TrackFileNameFollowsBaseName) {
    EXPECT_EQ(device->name, base);
    EXPECT_EQ(device->TrackFileName("cam_Rot X"), base + "_cam_Rot X.track");
}

TEST_F(PlayerDeviceTest, SameNameSamePointerAndFileReadOnce) {
    Write("GotoRow", TrackBytes(1, {{0, -1.0f, 0}}));
    sync::Track* first = device->GetTrack("GotoRow");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetValue(timer.GetRow()), -1.0f);

    // Changing or removing the file does not affect the track any more.
    Write("GotoRow", TrackBytes(1, {{0, 5.0f, 0}}));
    EXPECT_EQ(device->GetTrack("GotoRow"), first);
    EXPECT_EQ(first->GetValue(0.0f), -1.0f);
    EXPECT_EQ(device->tracks.size(), 1u);
}

TEST_F(PlayerDeviceTest, MissingFileGivesEmptyTrackThatIsNotRetried) {
    sync::Track* track = device->GetTrack("Scene");
    ASSERT_NE(track, nullptr);
    EXPECT_FALSE(track->HasKeys());
    Write("Scene", TrackBytes(1, {{0, 2.0f, 0}}));
    EXPECT_EQ(device->GetTrack("Scene"), track);
    EXPECT_FALSE(track->HasKeys());
}

TEST_F(PlayerDeviceTest, OnlyAFileRefusedForItsSizeIsReported) {
    Write("Big", TrackBytes(1, {{0, 2.0f, 0}}));
    fs::resize_file(base + "_Big.track", sync::kMaxTrackFileBytes + 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(device->GetTrack("Big")->HasKeys());
    EXPECT_NE(testing::internal::GetCapturedStderr().find(base + "_Big.track"), std::string::npos);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(device->GetTrack("Absent")->HasKeys());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(PlayerDeviceTest, NamesAreCaseSensitive) {
    Write("fade", TrackBytes(1, {{0, 1.0f, 0}}));
    Write("Fade", TrackBytes(1, {{0, 2.0f, 0}}));
    sync::Track* lower = device->GetTrack("fade");
    sync::Track* upper = device->GetTrack("Fade");
    EXPECT_NE(lower, upper);
    EXPECT_EQ(lower->GetValue(0.0f), 1.0f);
    EXPECT_EQ(upper->GetValue(0.0f), 2.0f);
    EXPECT_EQ(upper->GetName(), "Fade");
}

TEST_F(PlayerDeviceTest, DefaultHooksDoNothing) {
    EXPECT_TRUE(device->Update(0.0f));
    EXPECT_TRUE(device->Update(-5.0f));
    EXPECT_EQ(device->GetJumpTime(0), -1.0f);
    device->OnPauseToggled();
    device->NotifyRow(0, 3.0f);
    EXPECT_EQ(sync::PlayerDevice::NullQuery(), 0);
    std::unique_ptr<sync::Device> generic(sync::CreateSyncDevice(base, &timer));
    EXPECT_EQ(generic->name, base);
    EXPECT_NE(generic->GetTrack("x"), nullptr);
}

TEST(TrackList, FindTrackReturnsFirstOfDuplicateNames) {
    sync::TrackList list;
    EXPECT_EQ(list.FindTrack("a"), -1);
    EXPECT_EQ(list.AddTrack("a"), 0);
    EXPECT_EQ(list.AddTrack("b"), 1);
    EXPECT_EQ(list.AddTrack("a"), 2);
    EXPECT_EQ(list.FindTrack("a"), 0);
    EXPECT_EQ(list.FindTrack("b"), 1);
    EXPECT_EQ(list.FindTrack("A"), -1);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_NE(list[0], list[2]);
}
