#pragma once
// The sync library's timer on the framework's demo clock, keeping the music in step.

#include "sync/timer.h"

class fw_SyncTimer : public sync::Timer {
public:
    // Rows per second: the float nearest 1024 / 60 (128 beats a minute, 8 rows a beat).
    static constexpr double kRowRate = 17.066667556762695;

    ~fw_SyncTimer() override = default;
    // Pause / resume the demo clock and the music together.
    void Pause() override;
    void Play() override;
    float GetRow() override;
    // Moves clock and music to the row and leaves the clock paused; the caller resumes.
    void SetRow(float row) override;
    bool IsPlaying() override;
    virtual float GetTime();

    static float GetRowRate() { return static_cast<float>(kRowRate); }
};
