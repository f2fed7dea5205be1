#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "sync/timer.h"
#include "sync/track.h"

namespace sync {

// Owned tracks in order of creation; a track's index never changes.
class TrackList {
public:
    TrackList() = default;
    ~TrackList();
    TrackList(const TrackList&) = delete;
    TrackList& operator=(const TrackList&) = delete;

    // Index of the first track with exactly this name, or -1.
    int FindTrack(const std::string& name) const;
    // Appends a new empty track and returns its index.
    int AddTrack(const std::string& name);

    Track* operator[](size_t index) const { return mTracks[index]; }
    size_t size() const { return mTracks.size(); }

private:
    std::vector<Track*> mTracks;
    std::unordered_map<std::string, int> mFirstIndex;  // name -> first track of that name
};

class Device {
public:
    explicit Device(std::string deviceName) : name(std::move(deviceName)) {}
    virtual ~Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    virtual Track* GetTrack(const std::string& trackName) = 0;
    virtual bool Update(float row) = 0;
    virtual void OnPauseToggled() {}
    virtual float GetJumpTime(int) { return -1.0f; }
    virtual void NotifyRow(int, float) {}

    std::string name;
};

// Reads each track from its file the first time it is asked for.
class PlayerDevice : public Device {
public:
    PlayerDevice(const std::string& base, Timer* timer);
    ~PlayerDevice() override;

    Track* GetTrack(const std::string& trackName) override;
    bool Update(float row) override;

    // base + "_" + name + ".track"
    std::string TrackFileName(const std::string& trackName) const;
    static int NullQuery() { return 0; }

    TrackList tracks;
    Timer* timer;
};

PlayerDevice* CreatePlayerDevice(const std::string& base, Timer* timer);
Device* CreateSyncDevice(const std::string& base, Timer* timer);

}  // namespace sync
