#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fw_Timer.h"
#include "platform/win32.h"

namespace {

double Frequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
}

void Wait(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

TEST(Clock, CreatedPausedAtZero) {
    const int64_t before = fw_ReadPerformanceCounter();
    fw_Timer timer;
    EXPECT_TRUE(timer.IsPaused());
    EXPECT_EQ(timer.GetSeconds(), 0.0);
    EXPECT_GE(timer.lastCounter, before);
}

TEST(Clock, PausedClockKeepsItsSecondsAndResumesWhereItStopped) {
    fw_Timer timer;
    timer.SetSeconds(3.0, 0.0);
    for (int i = 0; i < 5; ++i) {
        Wait(4);
        timer.Advance(1.0f);
    }
    EXPECT_EQ(timer.GetSeconds(), 3.0);

    Wait(20);
    timer.Resume();
    EXPECT_FALSE(timer.IsPaused());
    // Resume alone reads no counter; the next advance counts from the last paused one.
    const int64_t reference = timer.lastCounter;
    Wait(10);
    timer.Advance(1.0f);
    const double expected = 3.0 + static_cast<double>(timer.lastCounter - reference) / Frequency();
    EXPECT_DOUBLE_EQ(timer.GetSeconds(), expected);
    // The time since the last (paused) advance counts: both waits, 30 ms at least.
    EXPECT_GE(timer.GetSeconds(), 3.029);
}

TEST(Clock, ScaleMultipliesTheRealTime) {
    fw_Timer timer;
    timer.Resume();
    timer.Advance(1.0f);
    const double start = timer.GetSeconds();
    int64_t reference = timer.lastCounter;
    Wait(20);
    timer.Advance(0.5f);
    const double half = static_cast<double>(timer.lastCounter - reference) * 0.5 / Frequency();
    EXPECT_DOUBLE_EQ(timer.GetSeconds() - start, half);
    EXPECT_GT(half, 0.009);

    const double before = timer.GetSeconds();
    reference = timer.lastCounter;
    Wait(5);
    timer.Advance(0.0f);
    EXPECT_EQ(timer.GetSeconds(), before);
    EXPECT_GT(timer.lastCounter, reference);  // the reference point still moves
}

TEST(Clock, SetSecondsSubtractsAndKeepsThePauseFlag) {
    fw_Timer timer;
    timer.SetSeconds(10.0, 2.5);
    EXPECT_EQ(timer.GetSeconds(), 7.5);
    EXPECT_TRUE(timer.IsPaused());
    timer.Resume();
    timer.SetSeconds(1.0, 0.25);
    EXPECT_EQ(timer.GetSeconds(), 0.75);
    EXPECT_FALSE(timer.IsPaused());
}

TEST(Clock, RestartReturnsTheOldSecondsAndRunsFromZero) {
    fw_Timer timer;
    timer.SetSeconds(4.0, 0.0);
    const double before = timer.Restart();  // paused: the advance adds nothing
    EXPECT_EQ(before, 4.0);
    EXPECT_EQ(timer.GetSeconds(), 0.0);
    EXPECT_FALSE(timer.IsPaused());
    Wait(10);
    const double ran = timer.Restart();
    EXPECT_GT(ran, 0.009);
    EXPECT_LT(ran, 1.0);
    EXPECT_EQ(timer.GetSeconds(), 0.0);
}

TEST(Stopwatch, AddsIntervalsAndIgnoresRedundantCalls) {
    fw_PerfStopwatch watch;
    EXPECT_FALSE(watch.IsRunning());
    EXPECT_EQ(watch.Elapsed(), 0.0);
    watch.Stop();  // stopped: nothing happens
    EXPECT_EQ(watch.Elapsed(), 0.0);

    watch.Start();
    Wait(10);
    watch.Stop();
    const double first = watch.Elapsed();
    EXPECT_GT(first, 0.009);
    Wait(30);  // not counted
    watch.Stop();
    EXPECT_EQ(watch.Elapsed(), first);

    watch.Start();
    Wait(10);
    const double running = watch.Elapsed();
    EXPECT_TRUE(watch.IsRunning());  // Elapsed does not stop it
    EXPECT_GT(running, first + 0.009);
    watch.Stop();
    EXPECT_GE(watch.Elapsed(), running);
    EXPECT_LT(watch.Elapsed(), first + 0.03 + 0.5);

    watch.Reset();
    EXPECT_FALSE(watch.IsRunning());
    EXPECT_EQ(watch.Elapsed(), 0.0);
}
