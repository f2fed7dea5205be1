#pragma once
// Hermite curves over scene-local time: time-sorted keys with value and in/out slopes,
// held constant outside the keys.

#include <cstdint>
#include <string>
#include <vector>

struct fw_CurveKey {
    float time = 0.0f;  // seconds of scene-local time
    float value = 0.0f;
    float inTangent = 0.0f;   // value per second, arriving from the left
    float outTangent = 0.0f;  // value per second, leaving to the right

    // "time value in out", each in the default stream format.
    std::string ToString() const;
};
static_assert(sizeof(fw_CurveKey) == 16);

// The next float above / below x; zero steps to the smallest normal number.
float NextFloatUp(float x);
float NextFloatDown(float x);

class fw_Curve {
public:
    fw_Curve() = default;

    int FindKeyAtOrBefore(float t);
    int FindKeyAtOrAfter(float t);
    int FindKeyBefore(float t);
    int FindKeyAfter(float t);
    // Adds a key or overwrites the key of exactly that time; returns its index, or -1
    // (nothing changed) for a time that is not a number.
    int InsertKey(float t, float value, float inTangent, float outTangent);
    void RemoveKeys(float t0, float t1);
    // Stores value and slope at t; a curve without keys gives 0 and 0.
    void Evaluate(float t);
    float AutoTangent(int index) const;
    bool HasAutoTangents(int index) const;
    // A key with automatic tangents; automatic neighbours are refreshed. Returns the
    // key's index, or -1 for a time that is not a number.
    int SetKey(float t, float value);
    std::string KeysToString(const std::string& separator) const;

    float GetValue() const { return mValue; }
    float GetSlope() const { return mSlope; }
    const std::vector<fw_CurveKey>& GetKeys() const { return mKeys; }
    int GetKeyCount() const { return static_cast<int>(mKeys.size()); }
    // Value and tangents of a key may be edited in place; its time may not.
    fw_CurveKey& KeyAt(int index) { return mKeys[static_cast<size_t>(index)]; }
    int GetCachedIndex() const { return mCachedIndex; }
    void ResetCachedIndex() { mCachedIndex = 0; }

private:
    int32_t mCachedIndex = 0;
    std::vector<fw_CurveKey> mKeys;
    float mValue = 0.0f;
    float mSlope = 0.0f;
};
