#include "sync/track.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace sync {

Track::Track(std::string trackName) : keys(), name(std::move(trackName)) {}

Track::~Track() = default;

int32_t FloorRow(float row) {
    const double r = std::floor(static_cast<double>(row));
    if (!(r >= -2147483648.0 && r < 2147483648.0))
        return INT32_MIN;  // 0x80000000
    return static_cast<int32_t>(r);
}

namespace {

// Position of the row within the stretch [a, b), rounded to float.
float StretchT(const Track::Entry& a, const Track::Entry& b, float row) {
    const double t = (static_cast<double>(row) - static_cast<double>(a.first)) /
                     (static_cast<double>(b.first) - static_cast<double>(a.first));
    return static_cast<float>(t);
}

float Blend(const Track::Entry& a, const Track::Entry& b, float s) {
    const float d = static_cast<float>(static_cast<double>(b.second.value) - static_cast<double>(a.second.value));
    return static_cast<float>(static_cast<double>(a.second.value) + static_cast<double>(d) * static_cast<double>(s));
}

}  // namespace

float Track::InterpolateStep(const Entry& a, const Entry&, float) {
    return a.second.value;
}

float Track::InterpolateLinear(const Entry& a, const Entry& b, float row) {
    const double t = StretchT(a, b, row);
    return Blend(a, b, static_cast<float>(t));
}

float Track::InterpolateSmooth(const Entry& a, const Entry& b, float row) {
    const double t = StretchT(a, b, row);
    return Blend(a, b, static_cast<float>(t * t * (3.0 - 2.0 * t)));
}

float Track::InterpolateRamp(const Entry& a, const Entry& b, float row) {
    const double t = StretchT(a, b, row);
    return Blend(a, b, static_cast<float>(t * t));
}

float Track::InterpolateCatmullRom(const Entry& p0, const Entry& p1, const Entry& p2, const Entry& p3, float row) {
    const double t = StretchT(p1, p2, row);
    const double t2 = static_cast<float>(t * t);
    const double t3 = static_cast<float>(t2 * t);
    const double v0 = p0.second.value, v1 = p1.second.value;
    const double v2 = p2.second.value, v3 = p3.second.value;
    return static_cast<float>(0.5 * ((3.0 * t3 - 5.0 * t2 + 2.0) * v1 + (2.0 * t2 - t3 - t) * v0 +
                                     (4.0 * t2 - 3.0 * t3 + t) * v2 + (t3 - t2) * v3));
}

float Track::GetValue(float row) const {
    if (keys.empty())
        return 0.0f;

    // Rows compare as unsigned: a negative floor lies after every key.
    const uint32_t r = static_cast<uint32_t>(FloorRow(row));
    const auto next =
        std::upper_bound(keys.begin(), keys.end(), r, [](uint32_t at, const Entry& key) { return at < key.first; });
    if (next == keys.begin())
        return next->second.value;
    if (next == keys.end())
        return std::prev(next)->second.value;

    const auto prev = std::prev(next);
    switch (prev->second.type) {
        case Linear:
            return InterpolateLinear(*prev, *next, row);
        case Smooth:
            return InterpolateSmooth(*prev, *next, row);
        case Ramp:
            return InterpolateRamp(*prev, *next, row);
        case CatmullRom: {
            const auto p0 = prev == keys.begin() ? prev : std::prev(prev);
            const auto after = std::next(next);
            const auto p3 = after == keys.end() ? next : after;
            return InterpolateCatmullRom(*p0, *prev, *next, *p3, row);
        }
        default:
            return InterpolateStep(*prev, *next, row);
    }
}

Track::KeyMap::const_iterator Track::LowerBound(uint32_t row) const {
    return std::lower_bound(keys.begin(), keys.end(), row,
                            [](const Entry& key, uint32_t at) { return key.first < at; });
}

TrackKey* Track::FindKey(uint32_t row) {
    return const_cast<TrackKey*>(static_cast<const Track*>(this)->FindKey(row));
}

const TrackKey* Track::FindKey(uint32_t row) const {
    const auto it = LowerBound(row);
    return it == keys.end() || it->first != row ? nullptr : &it->second;
}

bool Track::IsKeyFrame(uint32_t row) const {
    return FindKey(row) != nullptr;
}

void Track::SetKey(uint32_t row, const TrackKey& key) {
    const auto it = LowerBound(row);
    if (it != keys.end() && it->first == row)
        keys[static_cast<size_t>(it - keys.begin())].second = key;
    else
        keys.insert(it, Entry{row, key});
}

size_t Track::DeleteKey(uint32_t row) {
    const auto it = LowerBound(row);
    if (it == keys.end() || it->first != row)
        return 0;
    keys.erase(it);
    return 1;
}

void Track::Clear() {
    keys.clear();
}

void Track::InitKeys() {
    keys = KeyMap();
}

void Track::DestroyKeys() {
    KeyMap().swap(keys);
}

}  // namespace sync
