#pragma once
// The framework's own small vectors and matrices. Unlike the extension library's types
// these act on column vectors: a point p maps to M p, a product A * B applies B first,
// and a fw_Matrix34 carries its translation in column 3. Hand a fw_Matrix4 to an effect
// through Transposed().

#include <array>
#include <cstdint>
#include <optional>

#include "platform/d3dx10math.h"

struct fw_Vector2 {
    float x, y;
    fw_Vector2() = default;
    fw_Vector2(float x_, float y_) : x(x_), y(y_) {}
};

struct fw_Vector3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    fw_Vector3() = default;
    fw_Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    fw_Vector3 operator-() const { return fw_Vector3(-x, -y, -z); }
    fw_Vector3 operator+(const fw_Vector3& o) const { return fw_Vector3(x + o.x, y + o.y, z + o.z); }
    fw_Vector3 operator-(const fw_Vector3& o) const { return fw_Vector3(x - o.x, y - o.y, z - o.z); }
    fw_Vector3 operator*(float f) const { return fw_Vector3(x * f, y * f, z * f); }
    fw_Vector3& operator+=(const fw_Vector3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    fw_Vector3& operator-=(const fw_Vector3& o) {
        x -= o.x;
        y -= o.y;
        z -= o.z;
        return *this;
    }
    fw_Vector3& operator*=(float f) {
        x *= f;
        y *= f;
        z *= f;
        return *this;
    }
    fw_Vector3& operator/=(float f) {
        x /= f;
        y /= f;
        z /= f;
        return *this;
    }
    bool operator==(const fw_Vector3& o) const { return x == o.x && y == o.y && z == o.z; }

    float Length() const;
    float LengthSquared() const;
    // A zero-length vector is returned, or left, unchanged.
    fw_Vector3 Normalized() const;
    void Normalize();
    fw_Vector3 Cross(const fw_Vector3& b) const;
};

struct fw_Vector4 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    fw_Vector4() = default;
    fw_Vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    fw_Vector4 operator+(const fw_Vector4& o) const { return fw_Vector4(x + o.x, y + o.y, z + o.z, w + o.w); }
    fw_Vector4 operator*(float f) const { return fw_Vector4(x * f, y * f, z * f, w * f); }
    bool operator==(const fw_Vector4& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
};

float Dot(const fw_Vector3& a, const fw_Vector3& b);
float Dot(const fw_Vector4& a, const fw_Vector4& b);

struct fw_Matrix34;

// Row-major 3x3: element (r, c) at index 3r + c.
struct fw_Matrix3 {
    float m[9] = {};

    fw_Matrix3() = default;
    explicit fw_Matrix3(float diagonal);
    fw_Matrix3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21, float m22);
    explicit fw_Matrix3(const fw_Matrix34& a);

    float& operator()(int r, int c) { return m[3 * r + c]; }
    float operator()(int r, int c) const { return m[3 * r + c]; }
    void SetColumn(int i, const fw_Vector3& v);
    static fw_Matrix3 FromColumns(const fw_Vector3& a, const fw_Vector3& b, const fw_Vector3& c);
    float Trace() const;
};

// Three rows of four; columns 0-2 are the linear part, column 3 the translation, and the
// fourth row is implicitly (0, 0, 0, 1).
struct fw_Matrix34 {
    float m[12] = {};

    fw_Matrix34() = default;
    explicit fw_Matrix34(const fw_Matrix3& l);
    fw_Matrix34(const fw_Vector3& row0, const fw_Vector3& row1, const fw_Vector3& row2, float t0, float t1, float t2);

    float& operator()(int r, int c) { return m[4 * r + c]; }
    float operator()(int r, int c) const { return m[4 * r + c]; }
    fw_Vector3 GetTranslation() const;
    fw_Vector3 operator*(const fw_Vector3& p) const;
    fw_Matrix34 operator*(const fw_Matrix34& b) const;
};

// Row-major 4x4: element (r, c) at index 4r + c.
struct fw_Matrix4 {
    float m[16] = {};

    fw_Matrix4() = default;
    fw_Matrix4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13, float m20,
               float m21, float m22, float m23, float m30, float m31, float m32, float m33);
    explicit fw_Matrix4(const fw_Matrix34& a);
    static fw_Matrix4 Identity();

    float& operator()(int r, int c) { return m[4 * r + c]; }
    float operator()(int r, int c) const { return m[4 * r + c]; }
    fw_Matrix4 Transposed() const;
    fw_Vector4 GetColumn(int j) const;
    fw_Matrix4& operator/=(float f);
    fw_Matrix4 operator*(const fw_Matrix4& b) const;
    // Empty when the determinant is exactly zero.
    std::optional<fw_Matrix4> TryInverse() const;
    std::optional<fw_Matrix4> Inverse() const { return TryInverse(); }
};

struct fw_Ray {
    fw_Vector3 origin;
    fw_Vector3 direction;
};

// The points p with Dot(normal, p) == distance.
struct fw_Plane {
    fw_Vector3 normal;
    float distance;
};

namespace fw_Math {

fw_Matrix34 RotationX(float angle);
fw_Matrix34 RotationY(float angle);
fw_Matrix34 RotationZ(float angle);
fw_Matrix34 Translation(const fw_Vector3& t);
// Right-handed rotation about the axis; a zero axis gives the zero matrix.
fw_Matrix34 RotationAxis(const fw_Vector3& axis, float angle);
fw_Matrix34 Reflection(const fw_Plane& plane);
// Left-handed, depth 0 at near and 1 at far, for column vectors.
fw_Matrix4 PerspectiveFov(float fovY, float aspect, float nearZ, float farZ);
fw_Matrix4 PerspectiveOffCenter(float left, float right, float bottom, float top, float nearZ, float farZ);

// Unit u and v perpendicular to d and to each other; false (u and v untouched) when d is
// too short.
bool OrthonormalBasis(const fw_Vector3& d, fw_Vector3& u, fw_Vector3& v);
fw_Vector3 Reflect(const fw_Vector3& v, const fw_Vector3& n);
// The ray parameter of the hit; a parallel ray gives an infinity or NaN.
float RayPlaneIntersect(const fw_Ray& ray, const fw_Plane& plane);
// Quaternions are (w, x, y, z) in a fw_Vector4's (x, y, z, w).
fw_Vector4 QuaternionFromMatrix(const fw_Matrix3& m);
fw_Vector3 RotateByQuaternion(const fw_Vector4& q, const fw_Vector3& v);
float CircleSegmentArea(float r, float d);

}  // namespace fw_Math

// Rows (t, 0), (s, 0), (n, 0), (0, 0, 0, 1): in the extension library's row-vector layout
// it turns the z axis into the normalised direction n.
D3DXMATRIX MatrixFromDirection(const fw_Vector3& direction);
float TriangleArea(const fw_Vector3& e1, const fw_Vector3& e2);

float CatmullRom(const float p[4], float x, float lo, float hi);
float SmoothStep(float x, float lo, float hi);
float Damp(float a, float b, float exponent, float rate);
// rand() * (hi - lo) / 32767 + lo with the process-wide 15-bit generator.
float RandomRange(float lo, float hi);

// Keeps a block that seeds the generator from changing what the code around it draws:
// draws one value when it begins (and seeds the generator when given a seed), and seeds
// the generator with that value when it ends.
class fw_ScopedRandState {
public:
    fw_ScopedRandState();
    explicit fw_ScopedRandState(unsigned seed);
    ~fw_ScopedRandState();
    fw_ScopedRandState(const fw_ScopedRandState&) = delete;
    fw_ScopedRandState& operator=(const fw_ScopedRandState&) = delete;

private:
    int mSaved;
};
uint32_t GreatestCommonDivisor(uint32_t a, uint32_t b);
uint64_t NextPowerOfTwo(uint64_t v);
uint64_t PreviousPowerOfTwo(uint64_t v);
bool AlmostEqual(float a, float b, float relTol, float absTol);
float MinF(float a, float b);

// Four bytes: sign and exponent - 63 in byte 0, then the top 23 mantissa bits.
std::array<uint8_t, 4> PackFloat32(float f);
float UnpackFloat32(const uint8_t bytes[4]);
