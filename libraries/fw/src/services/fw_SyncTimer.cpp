#include "fw_SyncTimer.h"

#include <cmath>

#include "fw_Framework.h"
#include "fw_Music.h"
#include "fw_Timer.h"

// The demo clock is created by the run loop, after the sync timer: every operation
// works without it (no clock: paused, at time 0).

void fw_SyncTimer::Pause() {
    if (fw_Framework::mDemoTimer)
        fw_Framework::mDemoTimer->paused = true;
    if (fw_Framework::mMusic)
        fw_Framework::mMusic->Pause();
}

void fw_SyncTimer::Play() {
    float t = 0.0f;
    if (fw_Framework::mDemoTimer) {
        fw_Framework::mDemoTimer->paused = false;
        t = static_cast<float>(fw_Framework::mDemoTimer->seconds);
    }
    if (fw_Framework::mMusic)
        fw_Framework::mMusic->Play(t);
}

float fw_SyncTimer::GetRow() {
    return static_cast<float>(static_cast<double>(GetTime()) * kRowRate);
}

void fw_SyncTimer::SetRow(float row) {
    float t = static_cast<float>(static_cast<double>(row) / kRowRate);
    if (std::floor(row) == row && std::isfinite(row)) {
        // Step up until the row at t floors to the requested row, never the one before.
        while (std::floor(static_cast<float>(static_cast<double>(t) * kRowRate)) < row) {
            const float next = std::nextafter(t, INFINITY);
            // From 0 the step goes straight to the smallest normal float.
            t = (t == 0.0f) ? 1.1754944e-38f : next;
        }
    }
    if (fw_Framework::mDemoTimer) {
        fw_Framework::mDemoTimer->lastCounter = fw_ReadPerformanceCounter();
        fw_Framework::mDemoTimer->seconds = t;
        fw_Framework::mDemoTimer->paused = true;
    }
    if (fw_Framework::mMusic)
        fw_Framework::mMusic->SetPosition(t);
}

bool fw_SyncTimer::IsPlaying() {
    return fw_Framework::mDemoTimer != nullptr && !fw_Framework::mDemoTimer->paused;
}

float fw_SyncTimer::GetTime() {
    return fw_Framework::mDemoTimer ? static_cast<float>(fw_Framework::mDemoTimer->seconds) : 0.0f;
}
