#include "fw_Math.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/crt.h"

namespace {

inline double D(float f) {
    return static_cast<double>(f);
}
inline float F(double d) {
    return static_cast<float>(d);
}

// Each value is rounded to float, as the stored product of two floats would be.
inline float Cos(float a) {
    return F(std::cos(D(a)));
}
inline float Sin(float a) {
    return F(std::sin(D(a)));
}

}  // namespace

// --- vectors ------------------------------------------------------------------------

float fw_Vector3::Length() const {
    return F(std::sqrt(D(x) * x + D(y) * y + D(z) * z));
}

float fw_Vector3::LengthSquared() const {
    return F(D(x) * x + D(y) * y + D(z) * z);
}

fw_Vector3 fw_Vector3::Normalized() const {
    fw_Vector3 r(*this);
    r.Normalize();
    return r;
}

void fw_Vector3::Normalize() {
    float len = Length();
    if (len == 0.0f)
        return;
    x /= len;
    y /= len;
    z /= len;
}

fw_Vector3 fw_Vector3::Cross(const fw_Vector3& b) const {
    return fw_Vector3(F(D(y) * b.z - D(z) * b.y), F(D(z) * b.x - D(x) * b.z), F(D(x) * b.y - D(y) * b.x));
}

float Dot(const fw_Vector3& a, const fw_Vector3& b) {
    return F(D(a.x) * b.x + D(a.y) * b.y + D(a.z) * b.z);
}

float Dot(const fw_Vector4& a, const fw_Vector4& b) {
    return F(D(a.x) * b.x + D(a.y) * b.y + D(a.z) * b.z + D(a.w) * b.w);
}

// --- fw_Matrix3 ---------------------------------------------------------------------

fw_Matrix3::fw_Matrix3(float diagonal) {
    m[0] = m[4] = m[8] = diagonal;
}

fw_Matrix3::fw_Matrix3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
                       float m22)
    : m{m00, m01, m02, m10, m11, m12, m20, m21, m22} {}

fw_Matrix3::fw_Matrix3(const fw_Matrix34& a) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            (*this)(r, c) = a(r, c);
}

void fw_Matrix3::SetColumn(int i, const fw_Vector3& v) {
    (*this)(0, i) = v.x;
    (*this)(1, i) = v.y;
    (*this)(2, i) = v.z;
}

fw_Matrix3 fw_Matrix3::FromColumns(const fw_Vector3& a, const fw_Vector3& b, const fw_Vector3& c) {
    fw_Matrix3 r;
    r.SetColumn(0, a);
    r.SetColumn(1, b);
    r.SetColumn(2, c);
    return r;
}

float fw_Matrix3::Trace() const {
    return F(D(m[0]) + m[4] + m[8]);
}

// --- fw_Matrix34 --------------------------------------------------------------------

fw_Matrix34::fw_Matrix34(const fw_Matrix3& l) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            (*this)(r, c) = l(r, c);
}

fw_Matrix34::fw_Matrix34(const fw_Vector3& row0, const fw_Vector3& row1, const fw_Vector3& row2, float t0, float t1,
                         float t2)
    : m{row0.x, row0.y, row0.z, t0, row1.x, row1.y, row1.z, t1, row2.x, row2.y, row2.z, t2} {}

fw_Vector3 fw_Matrix34::GetTranslation() const {
    return fw_Vector3(m[3], m[7], m[11]);
}

fw_Vector3 fw_Matrix34::operator*(const fw_Vector3& p) const {
    const fw_Matrix34& a = *this;
    auto row = [&](int i) { return F(D(a(i, 3)) + D(a(i, 0)) * p.x + D(a(i, 1)) * p.y + D(a(i, 2)) * p.z); };
    return fw_Vector3(row(0), row(1), row(2));
}

fw_Matrix34 fw_Matrix34::operator*(const fw_Matrix34& b) const {
    const fw_Matrix34& a = *this;
    fw_Matrix34 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = D(a(i, 0)) * b(0, j) + D(a(i, 1)) * b(1, j) + D(a(i, 2)) * b(2, j);
            if (j == 3)
                s += a(i, 3);
            r(i, j) = F(s);
        }
    return r;
}

// --- fw_Matrix4 ---------------------------------------------------------------------

fw_Matrix4::fw_Matrix4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
                       float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33)
    : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}

fw_Matrix4::fw_Matrix4(const fw_Matrix34& a) {
    std::memcpy(m, a.m, sizeof(a.m));
    m[15] = 1.0f;
}

fw_Matrix4 fw_Matrix4::Identity() {
    return fw_Matrix4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

fw_Matrix4 fw_Matrix4::Transposed() const {
    fw_Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r(i, j) = (*this)(j, i);
    return r;
}

fw_Vector4 fw_Matrix4::GetColumn(int j) const {
    return fw_Vector4((*this)(0, j), (*this)(1, j), (*this)(2, j), (*this)(3, j));
}

fw_Matrix4& fw_Matrix4::operator/=(float f) {
    for (float& e : m)
        e /= f;
    return *this;
}

fw_Matrix4 fw_Matrix4::operator*(const fw_Matrix4& b) const {
    const fw_Matrix4& a = *this;
    fw_Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r(i, j) = F(D(a(i, 0)) * b(0, j) + D(a(i, 1)) * b(1, j) + D(a(i, 2)) * b(2, j) + D(a(i, 3)) * b(3, j));
    return r;
}

std::optional<fw_Matrix4> fw_Matrix4::TryInverse() const {
    auto e = [this](int r, int c) { return D((*this)(r, c)); };
    // 2x2 minors of rows 0-1 and of rows 2-3, each rounded to float.
    const double s0 = F(e(0, 0) * e(1, 1) - e(0, 1) * e(1, 0));
    const double s1 = F(e(0, 0) * e(1, 2) - e(0, 2) * e(1, 0));
    const double s2 = F(e(0, 0) * e(1, 3) - e(0, 3) * e(1, 0));
    const double s3 = F(e(0, 1) * e(1, 2) - e(0, 2) * e(1, 1));
    const double s4 = F(e(0, 1) * e(1, 3) - e(0, 3) * e(1, 1));
    const double s5 = F(e(0, 2) * e(1, 3) - e(0, 3) * e(1, 2));
    const double c0 = F(e(2, 0) * e(3, 1) - e(2, 1) * e(3, 0));
    const double c1 = F(e(2, 0) * e(3, 2) - e(2, 2) * e(3, 0));
    const double c2 = F(e(2, 0) * e(3, 3) - e(2, 3) * e(3, 0));
    const double c3 = F(e(2, 1) * e(3, 2) - e(2, 2) * e(3, 1));
    const double c4 = F(e(2, 1) * e(3, 3) - e(2, 3) * e(3, 1));
    const double c5 = F(e(2, 2) * e(3, 3) - e(2, 3) * e(3, 2));
    const float det = F(s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0);
    if (det == 0.0f)
        return std::nullopt;

    const double adj[16] = {
        e(1, 1) * c5 - e(1, 2) * c4 + e(1, 3) * c3,  -e(0, 1) * c5 + e(0, 2) * c4 - e(0, 3) * c3,
        e(3, 1) * s5 - e(3, 2) * s4 + e(3, 3) * s3,  -e(2, 1) * s5 + e(2, 2) * s4 - e(2, 3) * s3,
        -e(1, 0) * c5 + e(1, 2) * c2 - e(1, 3) * c1, e(0, 0) * c5 - e(0, 2) * c2 + e(0, 3) * c1,
        -e(3, 0) * s5 + e(3, 2) * s2 - e(3, 3) * s1, e(2, 0) * s5 - e(2, 2) * s2 + e(2, 3) * s1,
        e(1, 0) * c4 - e(1, 1) * c2 + e(1, 3) * c0,  -e(0, 0) * c4 + e(0, 1) * c2 - e(0, 3) * c0,
        e(3, 0) * s4 - e(3, 1) * s2 + e(3, 3) * s0,  -e(2, 0) * s4 + e(2, 1) * s2 - e(2, 3) * s0,
        -e(1, 0) * c3 + e(1, 1) * c1 - e(1, 2) * c0, e(0, 0) * c3 - e(0, 1) * c1 + e(0, 2) * c0,
        -e(3, 0) * s3 + e(3, 1) * s1 - e(3, 2) * s0, e(2, 0) * s3 - e(2, 1) * s1 + e(2, 2) * s0,
    };
    fw_Matrix4 r;
    for (int i = 0; i < 16; ++i)
        r.m[i] = F(adj[i]) / det;
    return r;
}

// --- builders -----------------------------------------------------------------------

namespace fw_Math {

fw_Matrix34 RotationX(float angle) {
    float c = Cos(angle), s = Sin(angle);
    return fw_Matrix34(fw_Vector3(1, 0, 0), fw_Vector3(0, c, -s), fw_Vector3(0, s, c), 0, 0, 0);
}

fw_Matrix34 RotationY(float angle) {
    float c = Cos(angle), s = Sin(angle);
    return fw_Matrix34(fw_Vector3(c, 0, s), fw_Vector3(0, 1, 0), fw_Vector3(-s, 0, c), 0, 0, 0);
}

fw_Matrix34 RotationZ(float angle) {
    float c = Cos(angle), s = Sin(angle);
    return fw_Matrix34(fw_Vector3(c, -s, 0), fw_Vector3(s, c, 0), fw_Vector3(0, 0, 1), 0, 0, 0);
}

fw_Matrix34 Translation(const fw_Vector3& t) {
    return fw_Matrix34(fw_Vector3(1, 0, 0), fw_Vector3(0, 1, 0), fw_Vector3(0, 0, 1), t.x, t.y, t.z);
}

fw_Matrix34 RotationAxis(const fw_Vector3& axis, float angle) {
    const float len = axis.Length();
    const fw_Vector3 n = len == 0.0f ? axis : fw_Vector3(axis.x / len, axis.y / len, axis.z / len);
    fw_Vector3 u, v;
    // A short but non-zero axis would fail the basis test: build the basis on the unit axis.
    if (!OrthonormalBasis(axis, u, v) && len != 0.0f)
        OrthonormalBasis(n, u, v);
    fw_Matrix34 b(fw_Matrix3::FromColumns(u, v, n));
    fw_Matrix34 bt;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            bt(r, c) = b(c, r);
    return (b * RotationZ(angle)) * bt;
}

fw_Matrix34 Reflection(const fw_Plane& plane) {
    const fw_Vector3& n = plane.normal;
    const float nv[3] = {n.x, n.y, n.z};
    fw_Matrix34 r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            r(i, j) = F((i == j ? 1.0 : 0.0) - 2.0 * nv[i] * nv[j]);
        r(i, 3) = F(2.0 * plane.distance * nv[i]);
    }
    return r;
}

fw_Matrix4 PerspectiveFov(float fovY, float aspect, float nearZ, float farZ) {
    const float top = F(D(nearZ) * std::tan(D(fovY) / 2.0));
    const float right = F(D(top) * aspect);
    fw_Matrix4 r;
    r(0, 0) = F(D(nearZ) / right);
    r(1, 1) = F(D(nearZ) / top);
    r(2, 2) = F(D(farZ) / (D(farZ) - nearZ));
    r(2, 3) = F(-D(nearZ) * farZ / (D(farZ) - nearZ));
    r(3, 2) = 1.0f;
    return r;
}

fw_Matrix4 PerspectiveOffCenter(float left, float right, float bottom, float top, float nearZ, float farZ) {
    fw_Matrix4 r;
    r(0, 0) = F(2.0 * nearZ / (D(right) - left));
    r(0, 2) = F(-(D(left) + right) / (D(right) - left));
    r(1, 1) = F(2.0 * nearZ / (D(top) - bottom));
    r(1, 2) = F(-(D(bottom) + top) / (D(top) - bottom));
    r(2, 2) = F(D(farZ) / (D(farZ) - nearZ));
    r(2, 3) = F(-D(nearZ) * farZ / (D(farZ) - nearZ));
    r(3, 2) = 1.0f;
    return r;
}

bool OrthonormalBasis(const fw_Vector3& d, fw_Vector3& u, fw_Vector3& v) {
    const fw_Vector3 a(0.0f, -d.z, d.y);  // X x d
    const fw_Vector3 b(d.z, 0.0f, -d.x);  // Y x d
    const float la = a.Length(), lb = b.Length();
    const bool aZero = AlmostEqual(la, 0.0f, 1e-6f, 1e-6f);
    const bool bZero = AlmostEqual(lb, 0.0f, 1e-6f, 1e-6f);
    if (aZero && bZero)
        return false;
    u = lb > la ? fw_Vector3(b.x / lb, b.y / lb, b.z / lb) : fw_Vector3(a.x / la, a.y / la, a.z / la);
    fw_Vector3 w = d.Cross(u);
    const float lw = w.Length();
    v = lw == 0.0f ? w : fw_Vector3(w.x / lw, w.y / lw, w.z / lw);
    return true;
}

fw_Vector3 Reflect(const fw_Vector3& v, const fw_Vector3& n) {
    const double k = 2.0 * Dot(v, n);
    return fw_Vector3(F(v.x - k * n.x), F(v.y - k * n.y), F(v.z - k * n.z));
}

float RayPlaneIntersect(const fw_Ray& ray, const fw_Plane& plane) {
    const double num = D(plane.distance) - Dot(plane.normal, ray.origin);
    const double den = Dot(plane.normal, ray.direction);
    return F(num / den);
}

fw_Vector4 QuaternionFromMatrix(const fw_Matrix3& m) {
    auto e = [&m](int r, int c) { return D(m(r, c)); };
    const float trace = F((e(1, 1) + e(0, 0)) + e(2, 2));
    float q0, q1, q2, q3;
    if (trace > 0.0f) {
        const float s = F(0.5 / std::sqrt(D(trace) + 1.0));
        q0 = F(0.25 / s);
        q1 = F((e(1, 2) - e(2, 1)) * s);
        q2 = F((e(2, 0) - e(0, 2)) * s);
        q3 = F((e(0, 1) - e(1, 0)) * s);
    } else if (m(1, 1) < m(0, 0) && m(0, 0) > m(2, 2)) {
        const float s = F(2.0 * std::sqrt(e(0, 0) + 1.0 - e(1, 1) - e(2, 2)));
        q0 = F((e(1, 2) - e(2, 1)) / s);
        q1 = F(0.25 * s);
        q2 = F((e(1, 0) + e(0, 1)) / s);
        q3 = F((e(2, 0) + e(0, 2)) / s);
    } else if (m(1, 1) > m(2, 2)) {
        const float s = F(2.0 * std::sqrt(e(1, 1) + 1.0 - e(0, 0) - e(2, 2)));
        q0 = F((e(2, 0) - e(0, 2)) / s);
        q1 = F((e(1, 0) + e(0, 1)) / s);
        q2 = F(0.25 * s);
        q3 = F((e(2, 1) + e(1, 2)) / s);
    } else {
        const float s = F(2.0 * std::sqrt(e(2, 2) + 1.0 - e(0, 0) - e(1, 1)));
        q0 = F((e(0, 1) - e(1, 0)) / s);
        q1 = F((e(2, 0) + e(0, 2)) / s);
        q2 = F((e(2, 1) + e(1, 2)) / s);
        q3 = F(0.25 * s);
    }
    return fw_Vector4(q0, q1, q2, q3);
}

fw_Vector3 RotateByQuaternion(const fw_Vector4& q, const fw_Vector3& v) {
    const double w = q.x;
    const fw_Vector3 u(q.y, q.z, q.w);
    const fw_Vector3 uxv = u.Cross(v);
    const fw_Vector3 uxuxv = u.Cross(uxv);
    const double uv = Dot(u, v);
    auto comp = [&](double vi, double uxvi, double ui, double uuvi) {
        return F(w * w * vi - 2.0 * w * uxvi + uv * ui + uuvi);
    };
    return fw_Vector3(comp(v.x, uxv.x, u.x, uxuxv.x), comp(v.y, uxv.y, u.y, uxuxv.y), comp(v.z, uxv.z, u.z, uxuxv.z));
}

float CircleSegmentArea(float r, float d) {
    const double pi = D(3.1415927f);
    const float h = F(D(r) * r - D(d) * d);
    const float disc = F(pi * r * r);
    if (h <= 0.0f)
        return d > 0.0f ? 0.0f : disc;
    const double ad = std::fabs(D(d));
    const float cap = F(D(r) * r * std::acos(ad / r) - ad * std::sqrt(D(h)));
    return d > 0.0f ? cap : F(D(disc) - cap);
}

}  // namespace fw_Math

D3DXMATRIX MatrixFromDirection(const fw_Vector3& direction) {
    D3DXVECTOR3 dir(direction.x, direction.y, direction.z), nd;
    D3DXVec3Normalize(&nd, &dir);
    const fw_Vector3 n(nd.x, nd.y, nd.z);
    const fw_Vector3 a(0.0f, -n.z, n.y), b(n.z, 0.0f, -n.x);
    const float la = a.Length(), lb = b.Length();
    const fw_Vector3 t = lb > la ? fw_Vector3(b.x / lb, b.y / lb, b.z / lb) : fw_Vector3(a.x / la, a.y / la, a.z / la);
    const fw_Vector3 s = n.Cross(t);
    return D3DXMATRIX(t.x, t.y, t.z, 0, s.x, s.y, s.z, 0, n.x, n.y, n.z, 0, 0, 0, 0, 1);
}

float TriangleArea(const fw_Vector3& e1, const fw_Vector3& e2) {
    const float l = e1.Length();
    const fw_Vector3 e(e1.x / l, e1.y / l, e1.z / l);
    const double k = Dot(e2, e);
    const fw_Vector3 perp(F(e2.x - k * e.x), F(e2.y - k * e.y), F(e2.z - k * e.z));
    return F(0.5 * l * perp.Length());
}

// --- scalars ------------------------------------------------------------------------

float CatmullRom(const float p[4], float x, float lo, float hi) {
    const double t = F((D(x) - lo) / (D(hi) - lo));
    const double t2 = t * t, t3 = t2 * t;
    return F(0.5 * ((3 * t3 - 5 * t2 + 2) * p[1] + (2 * t2 - t3 - t) * p[0] + (4 * t2 - 3 * t3 + t) * p[2] +
                    (t3 - t2) * p[3]));
}

float SmoothStep(float x, float lo, float hi) {
    float t = F((D(x) - lo) / (D(hi) - lo));
    if (t < 0.0f)
        t = 0.0f;
    if (!(t < 1.0f))
        t = 1.0f;  // also NaN
    return F(D(t) * t * (3.0 - 2.0 * t));
}

float Damp(float a, float b, float exponent, float rate) {
    const float k = F(std::pow(1.0 - rate, D(exponent)));
    return F(D(a) * k + D(b) * (1.0 - k));
}

float RandomRange(float lo, float hi) {
    return F(D(rand()) * (D(hi) - lo) / 32767.0 + lo);
}

fw_ScopedRandState::fw_ScopedRandState() : mSaved(rand()) {}

fw_ScopedRandState::fw_ScopedRandState(unsigned seed) : fw_ScopedRandState() {
    srand(seed);
}

fw_ScopedRandState::~fw_ScopedRandState() {
    srand(static_cast<unsigned>(mSaved));
}

uint32_t GreatestCommonDivisor(uint32_t a, uint32_t b) {
    while (b != 0) {
        uint32_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

uint64_t NextPowerOfTwo(uint64_t v) {
    if (v == 0)
        return 0;
    if (v > (uint64_t(1) << 63))
        return 0;
    uint64_t p = 1;
    while (p < v)
        p <<= 1;
    return p;
}

uint64_t PreviousPowerOfTwo(uint64_t v) {
    if (v == 0)
        return 0;
    uint64_t p = uint64_t(1) << 63;
    while (!(p & v))
        p >>= 1;
    return p;
}

bool AlmostEqual(float a, float b, float relTol, float absTol) {
    const double d = std::fabs(D(a) - b);
    if (d < absTol)
        return true;
    const double larger = std::fmax(std::fabs(D(a)), std::fabs(D(b)));
    return d / larger < relTol;
}

float MinF(float a, float b) {
    return b < a ? b : a;
}

std::array<uint8_t, 4> PackFloat32(float f) {
    std::array<uint8_t, 4> out{0, 0, 0, 0};
    if (f == 0.0f)
        return out;
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    const uint8_t sign = (bits >> 31) ? 0x80 : 0x00;
    int exponent = int((bits >> 23) & 0xFF);
    uint32_t mantissa = bits & 0x7FFFFF;
    if (exponent < 64) {
        exponent = 64;
        mantissa = 0;
    } else if (exponent > 190) {
        exponent = 190;
        mantissa = 0x7FFFFF;
    }
    out[0] = uint8_t(sign | uint8_t(exponent - 63));
    out[1] = uint8_t(mantissa >> 15);
    out[2] = uint8_t(mantissa >> 7);
    out[3] = uint8_t((mantissa & 0x7F) << 1);
    return out;
}

float UnpackFloat32(const uint8_t bytes[4]) {
    if (bytes[0] == 0)
        return 0.0f;
    const uint32_t sign = (bytes[0] & 0x80) ? 0x80000000u : 0u;
    const uint32_t exponent = uint32_t(bytes[0] & 0x7F) + 63;
    const uint32_t mantissa = (uint32_t(bytes[1]) << 15) | (uint32_t(bytes[2]) << 7) | (uint32_t(bytes[3]) >> 1);
    const uint32_t bits = sign | (exponent << 23) | mantissa;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}
