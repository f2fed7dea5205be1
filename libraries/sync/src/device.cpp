#include "sync/device.h"

#include <cstdio>

namespace sync {

TrackList::~TrackList() {
    for (Track* track : mTracks)
        delete track;
}

int TrackList::FindTrack(const std::string& name) const {
    const auto it = mFirstIndex.find(name);
    return it == mFirstIndex.end() ? -1 : it->second;
}

int TrackList::AddTrack(const std::string& name) {
    mTracks.push_back(new Track(name));
    const int index = static_cast<int>(mTracks.size()) - 1;
    mFirstIndex.emplace(name, index);  // keeps an earlier track of the same name
    return index;
}

PlayerDevice::PlayerDevice(const std::string& base, Timer* deviceTimer) : Device(base), tracks(), timer(deviceTimer) {}

PlayerDevice::~PlayerDevice() = default;

std::string PlayerDevice::TrackFileName(const std::string& trackName) const {
    return name + "_" + trackName + ".track";
}

Track* PlayerDevice::GetTrack(const std::string& trackName) {
    const int index = tracks.FindTrack(trackName);
    if (index >= 0)
        return tracks[index];
    Track* track = tracks[tracks.AddTrack(trackName)];
    // A missing or unreadable file stays silent; a file refused for its size is reported.
    std::string refusal;
    if (!LoadTrackFile(*track, TrackFileName(trackName), &refusal) && !refusal.empty())
        std::fprintf(stderr, "%s\n", refusal.c_str());
    return track;
}

bool PlayerDevice::Update(float) {
    return true;
}

PlayerDevice* CreatePlayerDevice(const std::string& base, Timer* timer) {
    return new PlayerDevice(base, timer);
}

Device* CreateSyncDevice(const std::string& base, Timer* timer) {
    return CreatePlayerDevice(base, timer);
}

}  // namespace sync
