#pragma once
// The readable timeline (content/*.timeline) and its translation into track files.

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace datagen {

inline constexpr int kRowsPerBeat = 8;
inline constexpr int kBeatsPerBar = 4;
inline constexpr int kRowsPerBar = kRowsPerBeat * kBeatsPerBar;

struct TimelineKey {
    uint32_t row = 0;
    float value = 0.0f;
    uint8_t type = 0;  // 0 step, 1 linear, 2 smooth, 3 ramp, 4 CatmullRom
};

struct TimelineSection {
    std::string name;
    int firstBar = 0;
    int bars = 0;
};

struct Timeline {
    std::vector<TimelineSection> sections;                   // in order, back to back from bar 0
    int endBar = 0;                                          // the end mark, at the end of the last section
    std::map<std::string, std::vector<TimelineKey>> tracks;  // keys sorted by row
    std::map<std::string, std::string> defaults;             // track -> reason it is left unkeyed

    uint32_t EndRow() const { return static_cast<uint32_t>(endBar * kRowsPerBar); }
};

// Parses and checks a timeline: sections of whole bars back to back, every known
// track keyed or declared default, no unknown names, "GotoRow" -1 from row 0 and 0 at
// the end mark. Throws Error with file and line on any fault.
Timeline ParseTimeline(const std::string& text, const std::string& fileName);

// The bytes of one track file: a uint32 count and 9-byte records, little-endian.
std::string TrackFileBytes(const std::vector<TimelineKey>& keys);

// Writes sync/sync_<Name>.track under dataDir for every known track (defaults get a
// file without keys, so that every track the program asks for has its file).
void WriteTrackFiles(const Timeline& timeline, const std::filesystem::path& dataDir);

}  // namespace datagen
