#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sync {

enum KeyType : int32_t {
    Step = 0,
    Linear = 1,
    Smooth = 2,
    Ramp = 3,
    CatmullRom = 4,
};

struct TrackKey {
    float value = 0.0f;
    int32_t type = Step;  // any number outside 1..4 evaluates as Step
};

// A named function of the row, defined by keys at integer rows.
class Track {
public:
    // The keys ascending by row (compared unsigned), one a row: an ordered map held as a
    // sorted array, 12 bytes a key.
    using Entry = std::pair<uint32_t, TrackKey>;  // {row, key}
    using KeyMap = std::vector<Entry>;

    explicit Track(std::string name);
    ~Track();
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;
    Track(Track&&) = default;
    Track& operator=(Track&&) = default;

    const std::string& GetName() const { return name; }
    bool HasKeys() const { return !keys.empty(); }
    size_t KeyCount() const { return keys.size(); }

    // Value at a fractional row; 0 for a track without keys.
    float GetValue(float row) const;

    TrackKey* FindKey(uint32_t row);
    const TrackKey* FindKey(uint32_t row) const;
    bool IsKeyFrame(uint32_t row) const;
    void SetKey(uint32_t row, const TrackKey& key);
    size_t DeleteKey(uint32_t row);
    void Clear();

    void InitKeys();
    void DestroyKeys();

    static float InterpolateStep(const Entry& a, const Entry& b, float row);
    static float InterpolateLinear(const Entry& a, const Entry& b, float row);
    static float InterpolateSmooth(const Entry& a, const Entry& b, float row);
    static float InterpolateRamp(const Entry& a, const Entry& b, float row);
    static float InterpolateCatmullRom(const Entry& p0, const Entry& p1, const Entry& p2, const Entry& p3, float row);

    KeyMap keys;
    std::string name;

private:
    // The first key at or after the row.
    KeyMap::const_iterator LowerBound(uint32_t row) const;
};

// floor(row) as the 32-bit row index the evaluation searches with. Rows that have no
// 32-bit floor (NaN, infinities, |row| >= 2^31) give 0x80000000, as the original
// platform's conversion does.
int32_t FloorRow(float row);

// Track file layout: a little-endian uint32 record count, then records of a uint32 row, a
// float32 value and a type byte, packed.
constexpr size_t kTrackHeaderBytes = 4;
constexpr size_t kTrackRecordBytes = 9;
// Records LoadTrackFile reads and merges into the keys at a time, at least (as many as the
// track has keys when it has more).
constexpr size_t kTrackReadBatch = size_t{1} << 16;
// Larger track files are refused: 466,033 records, a key on every row (17.07 a second) of a
// show seven and a half hours long.
constexpr uint64_t kMaxTrackFileBytes = uint64_t{4} << 20;

// Reads a track file into the track. Returns false, leaving the track as it was, when the
// path cannot be opened as a regular file (a pipe or a device is not opened for reading) or
// the file is larger than kMaxTrackFileBytes; for the latter `refusal`, when given, receives a
// message naming the file. Records are kept up to the first incomplete one.
bool LoadTrackFile(Track& track, const std::string& path, std::string* refusal = nullptr);
// LoadTrackFile with the records merged `minBatch` at a time at least, for the tests.
bool LoadTrackFileInBatches(Track& track, const std::string& path, size_t minBatch, std::string* refusal = nullptr);

}  // namespace sync
