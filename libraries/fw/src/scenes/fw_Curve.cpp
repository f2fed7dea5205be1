#include "fw_Curve.h"

#include <bit>
#include <cmath>
#include <locale>
#include <sstream>

std::string fw_CurveKey::ToString() const {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << time << ' ' << value << ' ' << inTangent << ' ' << outTangent;
    return out.str();
}

float NextFloatUp(float x) {
    if (x == 0.0f)
        return std::bit_cast<float>(0x00800000u);
    return std::bit_cast<float>(x > 0.0f ? std::bit_cast<uint32_t>(x) + 1 : std::bit_cast<uint32_t>(x) - 1);
}

float NextFloatDown(float x) {
    if (x == 0.0f)
        return std::bit_cast<float>(0x80800000u);
    return std::bit_cast<float>(x > 0.0f ? std::bit_cast<uint32_t>(x) - 1 : std::bit_cast<uint32_t>(x) + 1);
}

int fw_Curve::FindKeyAtOrBefore(float t) {
    const int n = GetKeyCount();
    if (n == 0)
        return -1;
    if (mCachedIndex < 0 || mCachedIndex >= n)
        mCachedIndex = 0;
    if (t >= mKeys[mCachedIndex].time) {
        while (mCachedIndex + 1 < n && mKeys[mCachedIndex + 1].time <= t)
            ++mCachedIndex;
        return mCachedIndex;
    }
    int i = mCachedIndex - 1;
    while (i >= 0 && mKeys[i].time > t) {
        mCachedIndex = i;
        --i;
    }
    return i;
}

int fw_Curve::FindKeyAtOrAfter(float t) {
    const int n = GetKeyCount();
    if (n == 0)
        return -1;
    if (mCachedIndex < 0 || mCachedIndex >= n)
        mCachedIndex = 0;
    if (mKeys[mCachedIndex].time >= t) {
        while (mCachedIndex > 0 && mKeys[mCachedIndex - 1].time >= t)
            --mCachedIndex;
        return mCachedIndex;
    }
    int i = mCachedIndex + 1;
    while (i < n && mKeys[i].time < t) {
        mCachedIndex = i;
        ++i;
    }
    return i < n ? i : -1;
}

int fw_Curve::FindKeyBefore(float t) {
    return FindKeyAtOrBefore(NextFloatDown(t));
}

int fw_Curve::FindKeyAfter(float t) {
    return FindKeyAtOrAfter(NextFloatUp(t));
}

int fw_Curve::InsertKey(float t, float value, float inTangent, float outTangent) {
    if (std::isnan(t))
        return -1;
    const int i = FindKeyAtOrBefore(t);
    if (i != -1 && mKeys[i].time == t) {
        mKeys[i].value = value;
        mKeys[i].inTangent = inTangent;
        mKeys[i].outTangent = outTangent;
        return i;
    }
    mKeys.insert(mKeys.begin() + (i + 1), fw_CurveKey{t, value, inTangent, outTangent});
    return i + 1;
}

void fw_Curve::RemoveKeys(float t0, float t1) {
    const int first = FindKeyAtOrAfter(t0);
    const int last = FindKeyAtOrBefore(t1);
    if (first == -1 || last == -1 || first > last)
        return;
    mKeys.erase(mKeys.begin() + first, mKeys.begin() + last + 1);
    mCachedIndex = 0;
}

void fw_Curve::Evaluate(float t) {
    mCachedIndex = 0;
    const int n = GetKeyCount();
    if (n == 0) {
        mValue = 0.0f;
        mSlope = 0.0f;
        return;
    }
    if (t >= mKeys[n - 1].time) {
        mValue = mKeys[n - 1].value;
        mSlope = 0.0f;
        return;
    }
    if (!(t > mKeys[0].time)) {  // also a time that is not a number
        mValue = mKeys[0].value;
        mSlope = 0.0f;
        return;
    }
    const int i = FindKeyAtOrBefore(t);
    const fw_CurveKey& k0 = mKeys[i];
    const fw_CurveKey& k1 = mKeys[i + 1];
    const double h = static_cast<float>(double(k1.time) - k0.time);
    const double s = static_cast<float>(double(t) - k0.time);
    const double d = double(k1.value) - k0.value;
    const double a = static_cast<float>((double(k1.inTangent) + k0.outTangent) / (h * h) - 2.0 * d / (h * h * h));
    const double b = static_cast<float>(3.0 * d / (h * h) - (double(k1.inTangent) + 2.0 * k0.outTangent) / h);
    mValue = static_cast<float>(((a * s + b) * s + k0.outTangent) * s + k0.value);
    mSlope = static_cast<float>((3.0 * a * s + 2.0 * b) * s + k0.outTangent);
}

float fw_Curve::AutoTangent(int i) const {
    const int n = GetKeyCount();
    if (n <= 1 || i < 0 || i >= n)
        return 0.0f;
    auto slope = [this](int a, int b) {
        return static_cast<float>((double(mKeys[b].value) - mKeys[a].value) / (double(mKeys[b].time) - mKeys[a].time));
    };
    if (i == 0)
        return slope(0, 1);
    if (i == n - 1)
        return slope(n - 2, n - 1);
    return slope(i - 1, i + 1);
}

bool fw_Curve::HasAutoTangents(int i) const {
    if (i < 0 || i >= GetKeyCount())
        return false;
    const double a = AutoTangent(i);
    const double tolerance = 1e-6f;
    auto matches = [a, tolerance](double x) {
        const double d = std::fabs(x - a);
        return d < tolerance || d / std::fmax(std::fabs(a), std::fabs(x)) < tolerance;
    };
    return matches(mKeys[i].inTangent) && matches(mKeys[i].outTangent);
}

int fw_Curve::SetKey(float t, float value) {
    if (std::isnan(t))
        return -1;
    const int before = FindKeyBefore(t);
    const int after = FindKeyAfter(t);
    const bool beforeAuto = before != -1 && HasAutoTangents(before);
    const bool afterAuto = after != -1 && HasAutoTangents(after);
    const int i = InsertKey(t, value, 0.0f, 0.0f);
    const float g = AutoTangent(i);
    InsertKey(t, value, g, g);
    mCachedIndex = 0;
    if (beforeAuto) {
        const float gb = AutoTangent(i - 1);
        mKeys[i - 1].inTangent = mKeys[i - 1].outTangent = gb;
    }
    if (afterAuto) {
        const float ga = AutoTangent(i + 1);
        mKeys[i + 1].inTangent = mKeys[i + 1].outTangent = ga;
    }
    return i;
}

std::string fw_Curve::KeysToString(const std::string& separator) const {
    std::string out;
    for (size_t k = 0; k < mKeys.size(); ++k) {
        if (k)
            out += separator;
        out += mKeys[k].ToString();
    }
    return out;
}
