#include "fw_Camera.h"
#include "fw_Transform.h"
#include "scenes_test_support.h"

#include "platform/crt.h"

namespace {

constexpr float kHalfPi = 1.5707964f;

fw_Curve* Constant(float value) {
    auto* c = new fw_Curve();
    c->InsertKey(0, value, 0, 0);
    return c;
}

fw_Curve* Ramp(float v0, float v1) {
    auto* c = new fw_Curve();
    c->InsertKey(0, v0, v1 - v0, v1 - v0);
    c->InsertKey(1, v1, v1 - v0, v1 - v0);
    return c;
}

}  // namespace

using TransformTest = SceneTest;
using CameraTest = SceneTest;

TEST_F(TransformTest, NewTransformIsTheIdentity) {
    fw_Transform t;
    t.Update();
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    EXPECT_EQ(t.GetWorld(), id);
    EXPECT_STREQ(fw_Transform::ChannelName(0), "translateX");
    EXPECT_STREQ(fw_Transform::ChannelName(8), "scaleZ");
    EXPECT_STREQ(fw_Transform::ChannelName(9), "unknown");
    EXPECT_STREQ(fw_Transform::ChannelName(-1), "unknown");
}

TEST_F(TransformTest, WorldIsScaleRotationTranslation) {
    fw_Transform t;
    t.SetTranslation(D3DXVECTOR3(1, 2, 3));
    t.SetScale(D3DXVECTOR3(2, 2, 2));
    EXPECT_EQ(t.GetWorld(), D3DXMATRIX(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1));
    t.SetRotation(D3DXVECTOR3(0, kHalfPi, 0));
    // (0,0,1): scaled to (0,0,2), turned to (2,0,0), moved to (3,2,3).
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 1), t.GetWorld()), D3DXVECTOR3(3, 2, 3));
}

TEST_F(TransformTest, RotationOrders) {
    fw_Transform t;
    t.SetRotation(D3DXVECTOR3(0, kHalfPi, 0));
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 1), t.GetWorld()), D3DXVECTOR3(1, 0, 0));

    fw_Transform a, b;
    b.SetRotationOrderZXY();
    a.SetRotation(D3DXVECTOR3(kHalfPi, 0, kHalfPi));
    b.SetRotation(D3DXVECTOR3(kHalfPi, 0, kHalfPi));
    D3DXMATRIX rx, rz;
    D3DXMatrixRotationX(&rx, kHalfPi);
    D3DXMatrixRotationZ(&rz, kHalfPi);
    ExpectMatrixNear(a.GetWorld(), rx * rz);  // X first, then Z
    ExpectMatrixNear(b.GetWorld(), rz * rx);  // Z first, then X
    // Order 0: +Y -> +Z (X) -> +Z (Z); order 1: +Y -> -X (Z) -> -X (X).
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 1, 0), a.GetWorld()), D3DXVECTOR3(0, 0, 1));
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 1, 0), b.GetWorld()), D3DXVECTOR3(-1, 0, 0));
}

TEST_F(TransformTest, UpdateTakesTheCurveValues) {
    fw_Transform t;
    std::unique_ptr<fw_Curve> tx(Constant(4)), ry(Constant(kHalfPi)), sz(Constant(3));
    t.SetChannelCurve(0, tx.get());
    t.SetChannelCurve(4, ry.get());
    t.SetChannelCurve(8, sz.get());
    t.Evaluate(0.5f);
    EXPECT_EQ(t.GetTranslation(), D3DXVECTOR3(4, 0, 0));
    EXPECT_EQ(t.GetScale(), D3DXVECTOR3(1, 1, 3));
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 1), t.GetWorld()), D3DXVECTOR3(7, 0, 0));
}

TEST_F(TransformTest, ShakeJittersTheRotationWithinItsAmplitude) {
    fw_Transform t;
    t.SetShake(2.0f);
    srand(1);
    t.Update();
    // First draws of the sequence: 41, 18467, 6334.
    const double a = 2.0 * 0.05f;
    EXPECT_FLOAT_EQ(t.GetRotation().x, float(a * (2.0 * 41 / 32767.0 - 1.0)));
    EXPECT_FLOAT_EQ(t.GetRotation().y, float(a * (2.0 * 18467 / 32767.0 - 1.0)));
    EXPECT_FLOAT_EQ(t.GetRotation().z, float(a * (2.0 * 6334 / 32767.0 - 1.0)));
}

TEST_F(TransformTest, DeleteCurvesFreesOnlyOwnedCurves) {
    auto* scene = Constant(1);  // belongs to the caller, as a scene's curves do
    auto* owned = Constant(2);
    {
        fw_Transform t;
        t.SetChannelCurve(0, scene);
        t.SetChannelCurve(1, owned, true);
        t.DeleteCurves();
        EXPECT_EQ(t.GetChannelCurve(0), nullptr);
        EXPECT_EQ(t.GetChannelCurve(1), nullptr);
    }
    // Still alive (a sanitizer build reports a use after free otherwise).
    scene->Evaluate(0);
    EXPECT_EQ(scene->GetValue(), 1.0f);
    delete scene;
}

TEST_F(TransformTest, XmlAttributesListTheCurves) {
    fw_Transform t;
    std::unique_ptr<fw_Curve> tx(new fw_Curve()), rz(new fw_Curve());
    tx->InsertKey(0, 1, 0, 0);
    tx->InsertKey(2, 3, 0.5f, 0.5f);
    rz->InsertKey(1, 0.25f, 0, 0);
    t.SetChannelCurve(0, tx.get());
    t.SetChannelCurve(5, rz.get());
    EXPECT_EQ(t.ToXmlAttributes("\n    "),
              "\n    translateX=\"\n        0 1 0 0\n        2 3 0.5 0.5\""
              "\n    rotateZ=\"\n        1 0.25 0 0\"");
    EXPECT_EQ(fw_Transform().ToXmlAttributes(" "), "");
}

TEST_F(TransformTest, TranslationCurvesTransformToTheSmallestKeyCount) {
    fw_Transform t;
    std::unique_ptr<fw_Curve> x(new fw_Curve()), y(new fw_Curve()), z(new fw_Curve());
    x->InsertKey(0, 1, 1, 1);
    x->InsertKey(1, 2, 0, 0);
    x->InsertKey(2, 3, 0, 0);
    y->InsertKey(0, 0, 0, 0);
    y->InsertKey(1, 0, 0, 0);
    z->InsertKey(0, 0, 0, 0);  // one key only
    t.SetChannelCurve(0, x.get());
    t.SetChannelCurve(1, y.get());
    t.SetChannelCurve(2, z.get());
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 10, 20, 30);
    t.TransformTranslationCurves(m);
    EXPECT_EQ(x->GetKeys()[0].value, 11.0f);
    EXPECT_EQ(y->GetKeys()[0].value, 20.0f);
    EXPECT_EQ(z->GetKeys()[0].value, 30.0f);
    EXPECT_EQ(x->GetKeys()[0].outTangent, 1.0f);  // directions ignore the translation
    EXPECT_EQ(x->GetKeys()[1].value, 2.0f);       // beyond the shortest curve: untouched
    EXPECT_EQ(y->GetKeys()[1].value, 0.0f);
    D3DXMATRIX r;
    D3DXMatrixRotationZ(&r, kHalfPi);
    t.TransformTranslationCurves(r);
    EXPECT_NEAR(x->GetKeys()[0].outTangent, 0.0f, 1e-6f);
    EXPECT_NEAR(y->GetKeys()[0].outTangent, 1.0f, 1e-6f);
}

TEST_F(CameraTest, DefaultsAndRenderAspectProjection) {
    fw_Transform t;
    fw_Camera c(&t);
    EXPECT_FLOAT_EQ(c.mFov, 0.7853982f);
    EXPECT_FLOAT_EQ(c.mNear, 0.005f);
    EXPECT_FLOAT_EQ(c.mFar, 100.0f);
    EXPECT_FLOAT_EQ(c.mAspect, 1.7777778f);
    D3DXMATRIX expect;
    D3DXMatrixPerspectiveFovRH(&expect, 0.7853982f, 1600.0f / 900.0f, 0.005f, 100.0f);
    EXPECT_EQ(c.mProjection, expect);
    c.SetProjection(1.0f, 1.0f, 50.0f, 3.0f, 9.0f, 4.0f);
    D3DXMatrixPerspectiveFovRH(&expect, 1.0f, 1600.0f / 900.0f, 1.0f, 50.0f);
    EXPECT_EQ(c.mProjection, expect);  // the aspect member does not enter
    EXPECT_EQ(c.mAspect, 4.0f);
    EXPECT_EQ(c.mNearFocus, 3.0f);
    EXPECT_EQ(c.mFarFocus, 9.0f);
}

TEST_F(CameraTest, ViewLooksDownMinusZFromItsPosition) {
    fw_Transform t;
    t.SetTranslation(D3DXVECTOR3(0, 0, 10));
    fw_Camera c(&t);
    c.InitView();
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 10), c.mView), D3DXVECTOR3(0, 0, 0));
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 0), c.mView), D3DXVECTOR3(0, 0, -10));
    EXPECT_EQ(c.mPreviousView, c.mView);
    // Turned by yaw pi/2 at (10, 0, 0): the origin is straight ahead.
    t.SetTranslation(D3DXVECTOR3(10, 0, 0));
    t.SetRotation(D3DXVECTOR3(0, kHalfPi, 0));
    c.InitView();
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 0), c.mView), D3DXVECTOR3(0, 0, -10));
    t.SetScale(D3DXVECTOR3(5, 5, 5));
    D3DXMATRIX before = c.mView;
    c.InitView();
    EXPECT_EQ(c.mView, before);  // scale does not enter the view
}

TEST_F(CameraTest, UpdateKeepsThePreviousView) {
    fw_Transform t;
    std::unique_ptr<fw_Curve> z(Ramp(0.0f, 60.0f));  // 60 units a second along Z
    t.SetChannelCurve(2, z.get());
    fw_Camera c(&t);
    timer->seconds = 0.75;
    fw_Framework::mSceneStartTime = 0.25f;
    c.Update();
    // Scene time 0.5: z = 30 now and 29 one sixtieth earlier.
    EXPECT_NEAR(t.GetTranslation().z, 30.0f, 1e-4f);
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 30), c.mView), D3DXVECTOR3(0, 0, 0), 1e-4f);
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 29), c.mPreviousView), D3DXVECTOR3(0, 0, 0), 1e-4f);

    fw_Transform still;
    std::unique_ptr<fw_Curve> k(Constant(5));
    still.SetChannelCurve(0, k.get());
    fw_Camera s(&still);
    s.Update();
    EXPECT_EQ(s.mView, s.mPreviousView);
    fw_Camera none(nullptr);
    none.Update();
    none.InitView();
}
