// The one track read: find the track by name on the sync device, take its value at a row
// when it has keys, else the caller's default. Every reader of the framework and of the
// production goes through these two operations (and the key values, for loading ahead).
#include "fw_Framework.h"
#include "fw_SyncTimer.h"
#include "sync/device.h"
#include "sync/timer.h"
#include "sync/track.h"

float SimulationTime = 0.0f;

namespace {

float TrackAt(const std::string& name, float defaultValue, float row) {
    if (!fw_Framework::mSyncDevice)
        return defaultValue;
    sync::Track* track = fw_Framework::mSyncDevice->GetTrack(name);
    if (!track || !track->HasKeys())
        return defaultValue;
    return track->GetValue(row);
}

}  // namespace

float fw_Framework::GetSyncValue(const std::string& name, float defaultValue) {
    return TrackAt(name, defaultValue, static_cast<float>(double(SimulationTime) * fw_SyncTimer::kRowRate));
}

std::vector<float> fw_Framework::GetSyncKeyValues(const std::string& name) {
    std::vector<float> values;
    if (sync::Track* track = mSyncDevice ? mSyncDevice->GetTrack(name) : nullptr)
        for (const sync::Track::Entry& entry : track->keys)
            values.push_back(entry.second.value);
    return values;
}

float fw_Framework::GetSyncValueNow(const std::string& name, float defaultValue) {
    // Through the interface: this library does not hold the timer's implementation.
    sync::Timer* timer = mSyncTimer;
    return TrackAt(name, defaultValue, timer ? timer->GetRow() : 0.0f);
}
