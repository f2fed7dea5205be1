#pragma once

namespace sync {

// The clock that drives playback; the host implements it.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void Pause() = 0;
    virtual void Play() = 0;
    virtual float GetRow() = 0;
    virtual void SetRow(float row) = 0;
    virtual bool IsPlaying() = 0;
};

}  // namespace sync
