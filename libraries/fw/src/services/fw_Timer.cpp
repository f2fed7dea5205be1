#include "fw_Timer.h"

#include "platform/win32.h"

namespace {

// 1 / counter frequency; computed by the first stopwatch.
double secondsPerTick = 0.0;

int64_t CounterFrequency() {
    LARGE_INTEGER frequency;
    frequency.QuadPart = 0;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

}  // namespace

int64_t fw_ReadPerformanceCounter() {
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

fw_Timer::fw_Timer() : seconds(0.0), lastCounter(fw_ReadPerformanceCounter()), paused(true) {}

void fw_Timer::Advance(float scale) {
    const int64_t now = fw_ReadPerformanceCounter();
    if (!paused) {
        const double ticks = static_cast<double>(now - lastCounter);
        seconds += ticks * static_cast<double>(scale) / static_cast<double>(CounterFrequency());
    }
    lastCounter = now;
}

double fw_Timer::Restart() {
    Advance(1.0f);
    const double before = seconds;
    lastCounter = fw_ReadPerformanceCounter();
    seconds = 0.0;
    paused = false;
    return before;
}

void fw_Timer::SetSeconds(double a, double b) {
    lastCounter = fw_ReadPerformanceCounter();
    seconds = a - b;
}

fw_PerfStopwatch::fw_PerfStopwatch() : running(false), accumulated(0.0), startCounter(0) {
    if (secondsPerTick == 0.0)
        secondsPerTick = 1.0 / static_cast<double>(CounterFrequency());
}

void fw_PerfStopwatch::Start() {
    if (running)
        return;
    running = true;
    startCounter = fw_ReadPerformanceCounter();
}

void fw_PerfStopwatch::Stop() {
    if (!running)
        return;
    const int64_t now = fw_ReadPerformanceCounter();
    running = false;
    accumulated += static_cast<double>(now - startCounter) * secondsPerTick;
    startCounter = now;
}

void fw_PerfStopwatch::Reset() {
    running = false;
    accumulated = 0.0;
}

double fw_PerfStopwatch::Elapsed() const {
    if (!running)
        return accumulated;
    return accumulated + static_cast<double>(fw_ReadPerformanceCounter() - startCounter) * secondsPerTick;
}
