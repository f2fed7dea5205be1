#include "platform/d3dx10math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kEps = 1e-6f;

D3DXVECTOR3 Point(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, &p, &m);
    return D3DXVECTOR3(r.x, r.y, r.z);
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    EXPECT_NEAR(a.x, b.x, kEps);
    EXPECT_NEAR(a.y, b.y, kEps);
    EXPECT_NEAR(a.z, b.z, kEps);
}

D3DXMATRIX Sample() {
    return D3DXMATRIX(2, 0, 1, 0, 1, 3, 0, 0, 0, 1, 4, 0, 5, 6, 7, 1);
}

}  // namespace

TEST(D3DXMatrixLayout, MembersAliasTheArrayRowByRow) {
    D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m._12, 2.0f);
    EXPECT_EQ(m.m[0][1], 2.0f);
    EXPECT_EQ(m._41, 13.0f);
    EXPECT_EQ(m.m[3][0], 13.0f);
    EXPECT_EQ(m(2, 3), 12.0f);
    const float* f = m;
    EXPECT_EQ(f[6], 7.0f);
    static_assert(sizeof(D3DXMATRIX) == 64);
    static_assert(sizeof(D3DXVECTOR3) == 12);
    static_assert(sizeof(D3DXVECTOR4) == 16);
    static_assert(sizeof(D3DXCOLOR) == 16);
}

TEST(D3DXMatrixProduct, LeftOperandAppliesFirst) {
    D3DXMATRIX t, r, tr, rt;
    D3DXMatrixTranslation(&t, 1, 0, 0);
    D3DXMatrixRotationZ(&r, D3DX_PI / 2);
    D3DXMatrixMultiply(&tr, &t, &r);
    rt = r * t;
    // Translate then rotate: (0,0,0) -> (1,0,0) -> (0,1,0).
    ExpectNear(Point(D3DXVECTOR3(0, 0, 0), tr), D3DXVECTOR3(0, 1, 0));
    // Rotate then translate: (0,0,0) stays, then moves to (1,0,0).
    ExpectNear(Point(D3DXVECTOR3(0, 0, 0), rt), D3DXVECTOR3(1, 0, 0));
    D3DXMATRIX inPlace = t;
    inPlace *= r;
    EXPECT_EQ(inPlace, tr);
}

TEST(D3DXMatrixProduct, OutputMayAliasAnInput) {
    D3DXMATRIX a = Sample(), b = Sample(), expect;
    D3DXMatrixMultiply(&expect, &a, &b);
    D3DXMatrixMultiply(&a, &a, &b);
    EXPECT_EQ(a, expect);
    // Hand-computed element: row 0 of Sample times column 0 of Sample.
    EXPECT_FLOAT_EQ(expect._11, 2 * 2 + 0 * 1 + 1 * 0 + 0 * 5);
    EXPECT_FLOAT_EQ(expect._41, 5 * 2 + 6 * 1 + 7 * 0 + 1 * 5);
}

TEST(D3DXRotations, MapTheAxesAsRowVectors) {
    D3DXMATRIX m;
    D3DXMatrixRotationX(&m, D3DX_PI / 2);
    ExpectNear(Point(D3DXVECTOR3(0, 1, 0), m), D3DXVECTOR3(0, 0, 1));
    EXPECT_NEAR(m._23, 1.0f, kEps);
    EXPECT_NEAR(m._32, -1.0f, kEps);
    D3DXMatrixRotationY(&m, D3DX_PI / 2);
    ExpectNear(Point(D3DXVECTOR3(0, 0, 1), m), D3DXVECTOR3(1, 0, 0));
    EXPECT_NEAR(m._13, -1.0f, kEps);
    EXPECT_NEAR(m._31, 1.0f, kEps);
    D3DXMatrixRotationZ(&m, D3DX_PI / 2);
    ExpectNear(Point(D3DXVECTOR3(1, 0, 0), m), D3DXVECTOR3(0, 1, 0));
    EXPECT_NEAR(m._12, 1.0f, kEps);
    EXPECT_NEAR(m._21, -1.0f, kEps);
}

TEST(D3DXRotations, AxisAgreesWithTheAxisRotations) {
    D3DXMATRIX a, y;
    D3DXVECTOR3 axis(0, 5, 0);  // not normalised
    D3DXMatrixRotationAxis(&a, &axis, 0.7f);
    D3DXMatrixRotationY(&y, 0.7f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], y.m[r][c], kEps) << r << "," << c;
    D3DXMATRIX ypr, expect, x, z;
    D3DXMatrixRotationYawPitchRoll(&ypr, 0.3f, 0.4f, 0.5f);
    D3DXMatrixRotationZ(&z, 0.5f);
    D3DXMatrixRotationX(&x, 0.4f);
    D3DXMatrixRotationY(&y, 0.3f);
    expect = z * x * y;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(ypr.m[r][c], expect.m[r][c], kEps);
}

TEST(D3DXPerspective, FovRHElements) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovRH(&p, D3DX_PI / 2, 2.0f, 1.0f, 101.0f);
    // cot(pi/4) = 1.
    EXPECT_NEAR(p._11, 0.5f, kEps);
    EXPECT_NEAR(p._22, 1.0f, kEps);
    EXPECT_FLOAT_EQ(p._33, 101.0f / (1.0f - 101.0f));
    EXPECT_EQ(p._34, -1.0f);
    EXPECT_FLOAT_EQ(p._43, 101.0f / (1.0f - 101.0f));
    EXPECT_EQ(p._44, 0.0f);
    EXPECT_EQ(p._12, 0.0f);
    EXPECT_EQ(p._41, 0.0f);
    // The near plane maps to depth 0 and the far plane to 1 (points on -Z).
    D3DXVECTOR3 n(0, 0, -1), f(0, 0, -101), r;
    D3DXVec3TransformCoord(&r, &n, &p);
    EXPECT_NEAR(r.z, 0.0f, kEps);
    D3DXVec3TransformCoord(&r, &f, &p);
    EXPECT_NEAR(r.z, 1.0f, kEps);
}

TEST(D3DXPerspective, FovLHLooksDownPlusZ) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 2, 1.0f, 1.0f, 10.0f);
    EXPECT_EQ(p._34, 1.0f);
    D3DXVECTOR3 f(0, 0, 10), r;
    D3DXVec3TransformCoord(&r, &f, &p);
    EXPECT_NEAR(r.z, 1.0f, kEps);
}

TEST(D3DXInverse, InvertsAndReportsTheDeterminant) {
    D3DXMATRIX m = Sample(), inv, prod, id;
    float det = 0.0f;
    ASSERT_EQ(D3DXMatrixInverse(&inv, &det, &m), &inv);
    // det of the upper 3x3: 2*(12-0) - 0 + 1*(1-0) = 25.
    EXPECT_FLOAT_EQ(det, 25.0f);
    D3DXMatrixMultiply(&prod, &m, &inv);
    D3DXMatrixIdentity(&id);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(prod.m[r][c], id.m[r][c], 1e-5f);
}

TEST(D3DXInverse, SingularReturnsNullAndLeavesTheOutput) {
    D3DXMATRIX singular(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1);
    D3DXMATRIX out(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
    const D3DXMATRIX before = out;
    float det = 5.0f;
    EXPECT_EQ(D3DXMatrixInverse(&out, &det, &singular), nullptr);
    EXPECT_EQ(out, before);
    EXPECT_EQ(det, 0.0f);
    D3DXMATRIX zero;
    EXPECT_EQ(D3DXMatrixInverse(&out, nullptr, &zero), nullptr);
    EXPECT_EQ(out, before);
}

TEST(D3DXMatrixBuilders, TranslationScalingTranspose) {
    D3DXMATRIX t, s, tt;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    EXPECT_EQ(t._41, 1.0f);
    EXPECT_EQ(t._42, 2.0f);
    EXPECT_EQ(t._43, 3.0f);
    EXPECT_EQ(t._14, 0.0f);
    D3DXMatrixTranspose(&tt, &t);
    EXPECT_EQ(tt._14, 1.0f);
    EXPECT_EQ(tt._41, 0.0f);
    D3DXMatrixScaling(&s, 2, 3, 4);
    ExpectNear(Point(D3DXVECTOR3(1, 1, 1), s * t), D3DXVECTOR3(3, 5, 7));
    D3DXMatrixTranspose(&t, &t);  // aliasing
    EXPECT_EQ(t, tt);
}

TEST(D3DXVectorTransforms, PointCoordAndNormal) {
    D3DXMATRIX m = Sample();
    D3DXVECTOR3 v(1, 1, 1), r;
    D3DXVECTOR4 r4;
    D3DXVec3Transform(&r4, &v, &m);
    EXPECT_EQ(r4, D3DXVECTOR4(2 + 1 + 0 + 5, 0 + 3 + 1 + 6, 1 + 0 + 4 + 7, 1));
    D3DXVec3TransformNormal(&r, &v, &m);
    EXPECT_EQ(r, D3DXVECTOR3(3, 4, 5));
    D3DXMATRIX w(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2);
    D3DXVECTOR3 p(2, 4, 6);
    D3DXVec3TransformCoord(&r, &p, &w);
    EXPECT_EQ(r, D3DXVECTOR3(1, 2, 3));
    D3DXVECTOR4 h(1, 2, 3, 0);
    D3DXVec4Transform(&r4, &h, &m);
    EXPECT_EQ(r4, D3DXVECTOR4(2 + 2 + 0, 0 + 6 + 3, 1 + 0 + 12, 0));
}

TEST(D3DXVectors, NormalizeKeepsZeroAndScalesOthers) {
    D3DXVECTOR3 zero(0, 0, 0), out(7, 7, 7);
    D3DXVec3Normalize(&out, &zero);
    EXPECT_EQ(out, D3DXVECTOR3(0, 0, 0));
    EXPECT_FALSE(std::isnan(out.x));
    D3DXVECTOR3 v(3, 0, 4);
    D3DXVec3Normalize(&out, &v);
    ExpectNear(out, D3DXVECTOR3(0.6f, 0, 0.8f));
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 5.0f);
    EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&v), 25.0f);
}

TEST(D3DXVectors, DotCrossLerp) {
    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), r;
    D3DXVec3Cross(&r, &x, &y);
    EXPECT_EQ(r, D3DXVECTOR3(0, 0, 1));
    D3DXVec3Cross(&x, &x, &y);  // aliasing
    EXPECT_EQ(x, D3DXVECTOR3(0, 0, 1));
    D3DXVECTOR3 a(1, 2, 3), b(4, 5, 6);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 32.0f);
    D3DXVec3Lerp(&r, &a, &b, 0.5f);
    EXPECT_EQ(r, D3DXVECTOR3(2.5f, 3.5f, 4.5f));
    EXPECT_EQ(a + b, D3DXVECTOR3(5, 7, 9));
    EXPECT_EQ(b - a, D3DXVECTOR3(3, 3, 3));
    EXPECT_EQ(2.0f * a, D3DXVECTOR3(2, 4, 6));
    EXPECT_EQ(-a, D3DXVECTOR3(-1, -2, -3));
}

TEST(D3DXColor, ConvertsFromAndToArgb) {
    D3DXCOLOR c(0xFF804000u);
    EXPECT_FLOAT_EQ(c.a, 1.0f);
    EXPECT_FLOAT_EQ(c.r, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.b, 0.0f);
    EXPECT_EQ(static_cast<DWORD>(c), 0xFF804000u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(2.0f, -1.0f, 0.5f, 0.0f)), 0x00FF0080u);
}
