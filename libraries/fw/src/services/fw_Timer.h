#pragma once
// Clocks on the high-resolution performance counter.

#include <cstdint>

// The clock the show runs on: accumulates seconds only while running, scaled by the
// factor given at each advance. Created paused.
class fw_Timer {
public:
    fw_Timer();

    // Running: adds the counter time since the last advance, times scale. Paused: only
    // moves the reference point, so paused time is never counted.
    void Advance(float scale);
    // Advance(1.0), then zero seconds, running; returns the seconds before the restart.
    double Restart();
    bool IsPaused() const { return paused; }
    // Flip the pause flag only; the next Advance does the bookkeeping.
    void Pause() { paused = true; }
    void Resume() { paused = false; }
    double GetSeconds() const { return seconds; }
    // seconds = a - b, reference point = now; the pause flag is left alone.
    void SetSeconds(double a, double b);

    // Written directly by the sync timer when it seeks.
    double seconds;
    int64_t lastCounter;
    bool paused;
};

// An independent stopwatch for measuring stretches of code.
class fw_PerfStopwatch {
public:
    fw_PerfStopwatch();
    void Start();
    void Stop();
    void Reset();
    bool IsRunning() const { return running; }
    double Elapsed() const;

private:
    bool running;
    double accumulated;
    int64_t startCounter;
};

// The performance counter now.
int64_t fw_ReadPerformanceCounter();
