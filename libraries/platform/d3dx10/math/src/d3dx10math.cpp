#include "platform/d3dx10math.h"

#include <cmath>

namespace {

inline double Sq(double v) {
    return v * v;
}

}  // namespace

// --- colour -------------------------------------------------------------------------

D3DXCOLOR::D3DXCOLOR(DWORD argb)
    : r(static_cast<FLOAT>((argb >> 16) & 0xFF) / 255.0f),
      g(static_cast<FLOAT>((argb >> 8) & 0xFF) / 255.0f),
      b(static_cast<FLOAT>(argb & 0xFF) / 255.0f),
      a(static_cast<FLOAT>((argb >> 24) & 0xFF) / 255.0f) {}

D3DXCOLOR::operator DWORD() const {
    auto channel = [](FLOAT c) -> DWORD {
        if (!(c > 0.0f))
            return 0;  // NaN and negatives
        if (c >= 1.0f)
            return 0xFF;
        return static_cast<DWORD>(c * 255.0f + 0.5f);
    };
    return (channel(a) << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
}

D3DXCOLOR* D3DXColorLerp(D3DXCOLOR* out, const D3DXCOLOR* a, const D3DXCOLOR* b, FLOAT s) {
    *out = D3DXCOLOR(a->r + s * (b->r - a->r), a->g + s * (b->g - a->g), a->b + s * (b->b - a->b),
                     a->a + s * (b->a - a->a));
    return out;
}

// --- matrix members -----------------------------------------------------------------

D3DXMATRIX::D3DXMATRIX(const FLOAT* f) {
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] = f[i];
}

D3DXMATRIX::D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
                       FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
    _11 = f11;
    _12 = f12;
    _13 = f13;
    _14 = f14;
    _21 = f21;
    _22 = f22;
    _23 = f23;
    _24 = f24;
    _31 = f31;
    _32 = f32;
    _33 = f33;
    _34 = f34;
    _41 = f41;
    _42 = f42;
    _43 = f43;
    _44 = f44;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& o) {
    D3DXMatrixMultiply(this, this, &o);
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& o) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] += o.m[r][c];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& o) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] -= o.m[r][c];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(FLOAT f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] *= f;
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator/=(FLOAT f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] /= f;
    return *this;
}

D3DXMATRIX D3DXMATRIX::operator-() const {
    D3DXMATRIX out(*this);
    return out *= -1.0f;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& o) const {
    D3DXMATRIX out;
    D3DXMatrixMultiply(&out, this, &o);
    return out;
}

D3DXMATRIX D3DXMATRIX::operator+(const D3DXMATRIX& o) const {
    D3DXMATRIX out(*this);
    return out += o;
}
D3DXMATRIX D3DXMATRIX::operator-(const D3DXMATRIX& o) const {
    D3DXMATRIX out(*this);
    return out -= o;
}
D3DXMATRIX D3DXMATRIX::operator*(FLOAT f) const {
    D3DXMATRIX out(*this);
    return out *= f;
}
D3DXMATRIX D3DXMATRIX::operator/(FLOAT f) const {
    D3DXMATRIX out(*this);
    return out /= f;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& o) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != o.m[r][c])
                return false;
    return true;
}

// --- vectors ------------------------------------------------------------------------

FLOAT D3DXVec2Length(const D3DXVECTOR2* v) {
    return static_cast<FLOAT>(std::sqrt(Sq(v->x) + Sq(v->y)));
}

FLOAT D3DXVec2Dot(const D3DXVECTOR2* a, const D3DXVECTOR2* b) {
    return static_cast<FLOAT>(double(a->x) * b->x + double(a->y) * b->y);
}

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v) {
    double len = std::sqrt(Sq(v->x) + Sq(v->y));
    if (len == 0.0) {
        *out = D3DXVECTOR2(0.0f, 0.0f);
    } else {
        *out = D3DXVECTOR2(static_cast<FLOAT>(v->x / len), static_cast<FLOAT>(v->y / len));
    }
    return out;
}

FLOAT D3DXVec3Length(const D3DXVECTOR3* v) {
    return static_cast<FLOAT>(std::sqrt(Sq(v->x) + Sq(v->y) + Sq(v->z)));
}

FLOAT D3DXVec3LengthSq(const D3DXVECTOR3* v) {
    return static_cast<FLOAT>(Sq(v->x) + Sq(v->y) + Sq(v->z));
}

FLOAT D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    return static_cast<FLOAT>(double(a->x) * b->x + double(a->y) * b->y + double(a->z) * b->z);
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    D3DXVECTOR3 r(static_cast<FLOAT>(double(a->y) * b->z - double(a->z) * b->y),
                  static_cast<FLOAT>(double(a->z) * b->x - double(a->x) * b->z),
                  static_cast<FLOAT>(double(a->x) * b->y - double(a->y) * b->x));
    *out = r;
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    double len = std::sqrt(Sq(v->x) + Sq(v->y) + Sq(v->z));
    if (len == 0.0) {
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    } else {
        *out =
            D3DXVECTOR3(static_cast<FLOAT>(v->x / len), static_cast<FLOAT>(v->y / len), static_cast<FLOAT>(v->z / len));
    }
    return out;
}

D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b, FLOAT s) {
    *out = D3DXVECTOR3(a->x + s * (b->x - a->x), a->y + s * (b->y - a->y), a->z + s * (b->z - a->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3* v, FLOAT s) {
    *out = *v * s;
    return out;
}

D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    *out = *a + *b;
    return out;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    *out = *a - *b;
    return out;
}

namespace {

// Row vector (x, y, z, w) times M, each sum formed in double.
void RowTimes(const double v[4], const D3DXMATRIX& m, double r[4]) {
    for (int c = 0; c < 4; ++c)
        r[c] = v[0] * m.m[0][c] + v[1] * m.m[1][c] + v[2] * m.m[2][c] + v[3] * m.m[3][c];
}

}  // namespace

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    double in[4] = {v->x, v->y, v->z, 1.0}, r[4];
    RowTimes(in, *m, r);
    *out = D3DXVECTOR4(FLOAT(r[0]), FLOAT(r[1]), FLOAT(r[2]), FLOAT(r[3]));
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    double in[4] = {v->x, v->y, v->z, 1.0}, r[4];
    RowTimes(in, *m, r);
    *out = D3DXVECTOR3(FLOAT(r[0] / r[3]), FLOAT(r[1] / r[3]), FLOAT(r[2] / r[3]));
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    double in[4] = {v->x, v->y, v->z, 0.0}, r[4];
    RowTimes(in, *m, r);
    *out = D3DXVECTOR3(FLOAT(r[0]), FLOAT(r[1]), FLOAT(r[2]));
    return out;
}

FLOAT D3DXVec4Length(const D3DXVECTOR4* v) {
    return static_cast<FLOAT>(std::sqrt(Sq(v->x) + Sq(v->y) + Sq(v->z) + Sq(v->w)));
}

FLOAT D3DXVec4Dot(const D3DXVECTOR4* a, const D3DXVECTOR4* b) {
    return static_cast<FLOAT>(double(a->x) * b->x + double(a->y) * b->y + double(a->z) * b->z + double(a->w) * b->w);
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* out, const D3DXVECTOR4* v) {
    double len = std::sqrt(Sq(v->x) + Sq(v->y) + Sq(v->z) + Sq(v->w));
    if (len == 0.0) {
        *out = D3DXVECTOR4();
    } else {
        *out = D3DXVECTOR4(FLOAT(v->x / len), FLOAT(v->y / len), FLOAT(v->z / len), FLOAT(v->w / len));
    }
    return out;
}

D3DXVECTOR4* D3DXVec4Lerp(D3DXVECTOR4* out, const D3DXVECTOR4* a, const D3DXVECTOR4* b, FLOAT s) {
    *out = D3DXVECTOR4(a->x + s * (b->x - a->x), a->y + s * (b->y - a->y), a->z + s * (b->z - a->z),
                       a->w + s * (b->w - a->w));
    return out;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m) {
    double in[4] = {v->x, v->y, v->z, v->w}, r[4];
    RowTimes(in, *m, r);
    *out = D3DXVECTOR4(FLOAT(r[0]), FLOAT(r[1]), FLOAT(r[2]), FLOAT(r[3]));
    return out;
}

// --- matrices -----------------------------------------------------------------------

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m) {
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    return *m == id ? TRUE : FALSE;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = static_cast<FLOAT>(double(a->m[i][0]) * b->m[0][j] + double(a->m[i][1]) * b->m[1][j] +
                                           double(a->m[i][2]) * b->m[2][j] + double(a->m[i][3]) * b->m[3][j]);
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m->m[j][i];
    *out = r;
    return out;
}

namespace {

// Cofactor expansion in double: the adjugate (transposed cofactors) and the determinant.
double Adjugate(const D3DXMATRIX& mat, double adj[4][4]) {
    double a[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            a[r][c] = mat.m[r][c];
    double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
    double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (adj) {
        adj[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
        adj[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
        adj[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
        adj[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;
        adj[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
        adj[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
        adj[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
        adj[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
        adj[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
        adj[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
        adj[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
        adj[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;
        adj[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
        adj[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
        adj[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
        adj[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;
    }
    return det;
}

}  // namespace

FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* m) {
    return static_cast<FLOAT>(Adjugate(*m, nullptr));
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m) {
    double adj[4][4];
    double det = Adjugate(*m, adj);
    if (determinant)
        *determinant = static_cast<FLOAT>(det);
    if (det == 0.0 || !std::isfinite(det))
        return nullptr;
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = static_cast<FLOAT>(adj[i][j] / det);
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz) {
    *out = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle) {
    FLOAT c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle) {
    FLOAT c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle) {
    FLOAT c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, FLOAT angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f)
        return D3DXMatrixIdentity(out);
    double c = std::cos(double(angle)), s = std::sin(double(angle)), t = 1.0 - c;
    double x = n.x, y = n.y, z = n.z;
    // Transposed of the column-vector form, so that p * M turns p about n.
    *out = D3DXMATRIX(FLOAT(t * x * x + c), FLOAT(t * x * y + s * z), FLOAT(t * x * z - s * y), 0,
                      FLOAT(t * x * y - s * z), FLOAT(t * y * y + c), FLOAT(t * y * z + s * x), 0,
                      FLOAT(t * x * z + s * y), FLOAT(t * y * z - s * x), FLOAT(t * z * z + c), 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, FLOAT yaw, FLOAT pitch, FLOAT roll) {
    D3DXMATRIX z, x, y;
    D3DXMatrixRotationZ(&z, roll);
    D3DXMatrixRotationX(&x, pitch);
    D3DXMatrixRotationY(&y, yaw);
    D3DXMATRIX zx = z * x;
    return D3DXMatrixMultiply(out, &zx, &y);
}

namespace {

D3DXMATRIX* LookAt(D3DXMATRIX* out, const D3DXVECTOR3& eye, const D3DXVECTOR3& zaxis, const D3DXVECTOR3& up) {
    D3DXVECTOR3 xaxis, yaxis, tmp;
    D3DXVec3Cross(&tmp, &up, &zaxis);
    D3DXVec3Normalize(&xaxis, &tmp);
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *out = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0, xaxis.y, yaxis.y, zaxis.y, 0, xaxis.z, yaxis.z, zaxis.z, 0,
                      -D3DXVec3Dot(&xaxis, &eye), -D3DXVec3Dot(&yaxis, &eye), -D3DXVec3Dot(&zaxis, &eye), 1);
    return out;
}

}  // namespace

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up) {
    D3DXVECTOR3 z = *eye - *at;
    D3DXVec3Normalize(&z, &z);
    return LookAt(out, *eye, z, *up);
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up) {
    D3DXVECTOR3 z = *at - *eye;
    D3DXVec3Normalize(&z, &z);
    return LookAt(out, *eye, z, *up);
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf) {
    double ys = 1.0 / std::tan(double(fovy) * 0.5);
    double xs = ys / aspect;
    double d = double(zn) - double(zf);
    *out = D3DXMATRIX(FLOAT(xs), 0, 0, 0, 0, FLOAT(ys), 0, 0, 0, 0, FLOAT(zf / d), -1, 0, 0, FLOAT(double(zn) * zf / d),
                      0);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf) {
    double ys = 1.0 / std::tan(double(fovy) * 0.5);
    double xs = ys / aspect;
    double d = double(zf) - double(zn);
    *out = D3DXMATRIX(FLOAT(xs), 0, 0, 0, 0, FLOAT(ys), 0, 0, 0, 0, FLOAT(zf / d), 1, 0, 0, FLOAT(-double(zn) * zf / d),
                      0);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* out, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
    double d = double(zn) - double(zf);
    *out =
        D3DXMATRIX(FLOAT(2.0 / w), 0, 0, 0, 0, FLOAT(2.0 / h), 0, 0, 0, 0, FLOAT(1.0 / d), 0, 0, 0, FLOAT(zn / d), 1);
    return out;
}
