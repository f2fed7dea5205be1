#include <gtest/gtest.h>

#include <cmath>

#include "fw_Framework.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"

namespace {

// The framework's demo clock for one test; no music player.
class SyncTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fw_Framework::mMusic = nullptr;
        fw_Framework::mDemoTimer = &clock;
    }
    void TearDown() override { fw_Framework::mDemoTimer = nullptr; }

    fw_Timer clock;
    fw_SyncTimer timer;
};

}  // namespace

TEST_F(SyncTimerTest, EveryWholeRowComesBackAsThatRow) {
    for (int n = 0; n <= 100000; ++n) {
        timer.SetRow(static_cast<float>(n));
        const float row = timer.GetRow();
        ASSERT_EQ(std::floor(row), static_cast<float>(n)) << "row " << n << " came back as " << row;
    }
}

TEST_F(SyncTimerTest, RowZeroIsTimeZero) {
    clock.SetSeconds(5.0, 0.0);
    timer.SetRow(0.0f);
    EXPECT_EQ(clock.GetSeconds(), 0.0);
    EXPECT_EQ(timer.GetRow(), 0.0f);
}

TEST_F(SyncTimerTest, RowsAreSecondsTimesTheRate) {
    EXPECT_FLOAT_EQ(fw_SyncTimer::GetRowRate(), 17.066668f);
    clock.SetSeconds(2.0, 0.0);
    EXPECT_EQ(timer.GetTime(), 2.0f);
    EXPECT_EQ(timer.GetRow(), static_cast<float>(2.0 * 17.066667556762695));
    // A fractional row is not adjusted.
    timer.SetRow(10.5f);
    EXPECT_EQ(clock.GetSeconds(), static_cast<double>(static_cast<float>(10.5 / 17.066667556762695)));
}

TEST_F(SyncTimerTest, SetRowLeavesARunningClockPaused) {
    timer.Play();
    EXPECT_TRUE(timer.IsPlaying());
    timer.SetRow(100.0f);
    EXPECT_FALSE(timer.IsPlaying());
    EXPECT_TRUE(clock.IsPaused());
    timer.Play();
    EXPECT_TRUE(timer.IsPlaying());
    timer.Pause();
    EXPECT_FALSE(timer.IsPlaying());
}

TEST(SyncTimerWithoutClock, EveryOperationIsSafeBeforeTheRunLoop) {
    fw_Framework::mDemoTimer = nullptr;
    fw_Framework::mMusic = nullptr;
    fw_SyncTimer timer;
    timer.Play();
    timer.SetRow(12.0f);
    timer.Pause();
    EXPECT_FALSE(timer.IsPlaying());
    EXPECT_EQ(timer.GetRow(), 0.0f);
    EXPECT_EQ(timer.GetTime(), 0.0f);
}
