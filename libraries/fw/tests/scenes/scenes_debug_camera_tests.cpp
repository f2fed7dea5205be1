#include <cmath>

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Transform.h"
#include "platform/win32.h"
#include "scenes_test_support.h"

namespace {

constexpr float kPi = 3.14159265f;

class DebugCameraTest : public SceneTest {
protected:
    // Registers a camera on its own transform and makes it active.
    fw_Camera* AddCamera(fw_DebugCamera& dc, const std::string& name, fw_Transform& t) {
        auto* c = new fw_Camera(&t);
        dc.RegisterCamera(name, c);
        return c;
    }
    void Drag(bool left, bool middle, bool right, int dx, int dy) {
        fw_MouseState& m = GetMouseState();
        m.left.held = left;
        m.middle.held = middle;
        m.right.held = right;
        m.deltaX = dx;
        m.deltaY = dy;
    }
    float Distance(const fw_DebugCamera& dc) const {
        D3DXVECTOR3 d = dc.GetPosition() - dc.GetLookAt();
        return D3DXVec3Length(&d);
    }
};

}  // namespace

TEST_F(DebugCameraTest, NewCameraLooksDownMinusZ) {
    fw_DebugCamera dc;
    EXPECT_TRUE(dc.IsEnabled());
    EXPECT_EQ(dc.GetPosition(), D3DXVECTOR3(0, 0, 10));
    EXPECT_EQ(dc.GetAngles(), D3DXVECTOR3(0, 0, 0));
    D3DXVECTOR3 f, r, u;
    dc.GetBasis(f, r, u);
    ExpectVecNear(f, D3DXVECTOR3(0, 0, -1));
    ExpectVecNear(r, D3DXVECTOR3(1, 0, 0));
    ExpectVecNear(u, D3DXVECTOR3(0, 1, 0));
}

TEST_F(DebugCameraTest, AnglesFromPositionAndLookAt) {
    fw_DebugCamera dc;
    dc.SetPosition(D3DXVECTOR3(0, 0, -10));
    EXPECT_NEAR(dc.GetAngles().y, kPi, 1e-6f);
    EXPECT_NEAR(dc.GetAngles().x, 0.0f, 1e-6f);
    dc.SetPosition(D3DXVECTOR3(0, 10, 0));
    EXPECT_NEAR(dc.GetAngles().y, kPi / 2, 1e-6f);
    EXPECT_NEAR(dc.GetAngles().x, -kPi / 2, 1e-6f);
    // A general pose: forward points from the position to the look-at point.
    dc.SetLookAt(D3DXVECTOR3(1, 2, 3));
    dc.SetPosition(D3DXVECTOR3(-4, 6, 8));
    D3DXVECTOR3 f, r, u, d = dc.GetLookAt() - dc.GetPosition();
    D3DXVec3Normalize(&d, &d);
    dc.GetBasis(f, r, u);
    ExpectVecNear(f, d);
    EXPECT_EQ(dc.GetAngles().z, 0.0f);
    // Zero direction: no NaN.
    dc.SetPosition(D3DXVECTOR3(1, 2, 3));
    EXPECT_FALSE(std::isnan(dc.GetAngles().x));
    EXPECT_FALSE(std::isnan(dc.GetAngles().y));
}

TEST_F(DebugCameraTest, FirstCameraInNameOrderBecomesActive) {
    fw_DebugCamera dc;
    dc.UpdateCameras();
    EXPECT_EQ(dc.GetActiveCamera(), nullptr);
    fw_Transform tb, ta;
    AddCamera(dc, "b", tb);
    fw_Camera* a = AddCamera(dc, "a", ta);
    dc.UpdateCameras();
    EXPECT_EQ(dc.GetActiveCamera(), a);
    dc.SetActiveCamera("nope");
    EXPECT_EQ(dc.GetActiveCamera(), a);
    dc.SetActiveCamera("b");
    EXPECT_EQ(dc.GetActiveCamera(), dc.GetCameras().at("b"));
}

TEST_F(DebugCameraTest, FreeCameraPlacesTheActiveCamera) {
    fw_DebugCamera dc;
    fw_Transform t;
    fw_Camera* c = AddCamera(dc, "cam", t);
    dc.SetPosition(D3DXVECTOR3(0, 0, -10));
    dc.UpdateCameras();
    EXPECT_EQ(t.GetTranslation(), D3DXVECTOR3(0, 0, -10));
    ExpectVecNear(TransformPoint(D3DXVECTOR3(0, 0, 0), c->mView), D3DXVECTOR3(0, 0, -10));
    EXPECT_EQ(c->mView, c->mPreviousView);
    // Disabled: the camera follows its transform's curves.
    std::unique_ptr<fw_Curve> x(new fw_Curve());
    x->InsertKey(0, 3, 0, 0);
    t.SetChannelCurve(0, x.get());
    dc.SetEnabled(false);
    dc.UpdateCameras();
    EXPECT_EQ(t.GetTranslation().x, 3.0f);
}

TEST_F(DebugCameraTest, LeftDragOrbitsAtConstantDistance) {
    fw_DebugCamera dc;
    Drag(true, false, false, 10, 0);
    dc.Update();
    EXPECT_NEAR(dc.GetAngles().y, -0.1f, 1e-6f);
    EXPECT_NEAR(Distance(dc), 10.0f, 1e-5f);
    EXPECT_NEAR(dc.GetPosition().x, 10.0f * std::sin(-0.1f), 1e-5f);
    Drag(true, false, false, 0, -20);
    dc.Update();
    EXPECT_NEAR(dc.GetAngles().x, 0.2f, 1e-6f);
    EXPECT_NEAR(Distance(dc), 10.0f, 1e-5f);
    EXPECT_LT(dc.GetPosition().y, 0.0f);  // positive pitch puts the camera below the look-at point
}

TEST_F(DebugCameraTest, ControlAndShiftSlowTheMouseDown) {
    // The key state as a key message taken from the thread's queue sets it.
    auto key = [](int virtualKey, bool down) {
        PostThreadMessageA(GetCurrentThreadId(), down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), 0);
        MSG message;
        while (PeekMessageA(&message, reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)), WM_KEYDOWN, WM_KEYUP,
                            PM_REMOVE)) {
        }
    };
    struct Case {
        bool control, shift;
        float yaw;
    };
    for (const Case& c : {Case{false, true, -0.1f}, Case{true, false, -0.01f}, Case{true, true, -0.0001f}}) {
        SCOPED_TRACE(testing::Message() << "control " << c.control << ", shift " << c.shift);
        key(VK_CONTROL, c.control);
        key(VK_SHIFT, c.shift);
        fw_DebugCamera dc;
        Drag(true, false, false, 10, 0);
        dc.Update();
        EXPECT_NEAR(dc.GetAngles().y, c.yaw, 1e-7f);
        // The dolly takes the same factor: 20 pixels down at 0.1 cover 1 percent.
        fw_DebugCamera dolly;
        Drag(false, false, true, 0, 20);
        dolly.Update();
        EXPECT_NEAR(dolly.GetPosition().z, 10.0f + c.yaw * 10.0f, 1e-5f);
    }
    key(VK_CONTROL, false);
    key(VK_SHIFT, false);
}

TEST_F(DebugCameraTest, RightDragDollies) {
    fw_DebugCamera dc;
    Drag(false, false, true, 0, 20);  // down: toward the look-at point, 10 percent
    dc.Update();
    ExpectVecNear(dc.GetPosition(), D3DXVECTOR3(0, 0, 9));
    EXPECT_EQ(dc.GetAngles(), D3DXVECTOR3(0, 0, 0));
    Drag(true, false, true, 50, 0);  // right and left together: dolly only
    dc.Update();
    EXPECT_EQ(dc.GetAngles(), D3DXVECTOR3(0, 0, 0));
    Drag(false, true, true, 0, 20);  // right and middle: both points move
    dc.Update();
    ExpectVecNear(dc.GetPosition(), D3DXVECTOR3(0, 0, 8.1f));
    ExpectVecNear(dc.GetLookAt(), D3DXVECTOR3(0, 0, -0.9f));
}

TEST_F(DebugCameraTest, DollyNeverReachesTheLookAtPoint) {
    fw_DebugCamera dc;
    Drag(false, false, true, 0, 400);  // a factor of 2 unclamped would pass through
    dc.Update();
    EXPECT_GT(dc.GetPosition().z, 0.0f);
    EXPECT_LT(dc.GetPosition().z, 10.0f);
}

TEST_F(DebugCameraTest, MiddleDragPansWithTheCursor) {
    fw_DebugCamera dc;
    Drag(false, true, false, 10, 0);
    dc.Update();  // no active camera: nothing happens
    EXPECT_EQ(dc.GetPosition(), D3DXVECTOR3(0, 0, 10));
    fw_Transform t;
    fw_Camera* c = AddCamera(dc, "cam", t);
    dc.UpdateCameras();
    dc.Update();
    // One pixel at the look-at depth: 10 * tan(fov / 2) / (800 / 2).
    const float s = 10.0f * std::tan(c->mFov / 2) / 400.0f;
    ExpectVecNear(dc.GetPosition(), D3DXVECTOR3(-10 * s, 0, 10));
    ExpectVecNear(dc.GetLookAt(), D3DXVECTOR3(-10 * s, 0, 0));
    Drag(false, true, false, 0, 10);
    dc.Update();
    EXPECT_NEAR(dc.GetPosition().y, 10 * s, 1e-5f);
    // Fullscreen uses the display height.
    fw_Framework::mFullscreen = true;
    fw_Framework::mDisplayHeight = 400;
    D3DXVECTOR3 p = dc.ScreenPanVector(1, 0);
    EXPECT_NEAR(p.x, -2 * s, 1e-6f);
}

TEST_F(DebugCameraTest, DisabledCameraIgnoresTheMouse) {
    fw_DebugCamera dc;
    dc.SetEnabled(false);
    Drag(true, false, false, 10, 10);
    dc.Update();
    EXPECT_EQ(dc.GetPosition(), D3DXVECTOR3(0, 0, 10));
}

TEST_F(DebugCameraTest, PickedPointAndTransformPose) {
    fw_DebugCamera dc;
    dc.MoveToPickedPoint(0.5f, 0.5f, 3);  // no active camera
    EXPECT_EQ(dc.GetLookAt(), D3DXVECTOR3(0, 0, 0));
    fw_Transform t;
    AddCamera(dc, "cam", t);
    dc.UpdateCameras();
    dc.MoveToPickedPoint(0.5f, 0.5f, 3);
    ExpectVecNear(dc.GetLookAt(), D3DXVECTOR3(0, 0, 7));
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 1, 2, 3);
    dc.TransformPose(m);
    ExpectVecNear(dc.GetPosition(), D3DXVECTOR3(1, 2, 13));
    ExpectVecNear(dc.GetLookAt(), D3DXVECTOR3(1, 2, 10));
    ExpectVecNear(t.GetTranslation(), D3DXVECTOR3(1, 2, 13));
}

TEST_F(DebugCameraTest, DumpPoseAsCByteForByte) {
    fw_DebugCamera dc;
    dc.LoadCompiledPose();
    EXPECT_FLOAT_EQ(dc.GetPosition().x, 18.05987f);
    EXPECT_FLOAT_EQ(dc.GetAngles().y, 45.813705f);
    EXPECT_EQ(dc.DumpPoseAsC(),
              "static unsigned int gDebugCamData[] = {\n"
              "    0x3faa9af4, 0xbf684178, 0xbe678e4a,\n"
              "    0x41907a9d, 0xc0ad3bad, 0xc095fa93,\n"
              "    0x3e8261ed, 0x4237413c, 0x00000000,\n"
              "};");
}

TEST_F(DebugCameraTest, DumpActiveCameraXmlByteForByte) {
    fw_DebugCamera dc;
    EXPECT_EQ(dc.DumpActiveCameraXml(), "No active camera");
    fw_Transform t;
    std::unique_ptr<fw_Curve> x(new fw_Curve()), ry(new fw_Curve());
    x->InsertKey(0, 1, 0, 0);
    x->InsertKey(2.5f, -3, 0.5f, 0.5f);
    ry->InsertKey(0, 0.25f, 0, 0);
    t.SetChannelCurve(0, x.get());
    t.SetChannelCurve(4, ry.get());
    AddCamera(dc, "camera1", t);
    dc.SetActiveCamera("camera1");
    EXPECT_EQ(dc.DumpActiveCameraXml(),
              "<trans name=\"camera1\"\n"
              "    translateX=\"\n"
              "        0 1 0 0\n"
              "        2.5 -3 0.5 0.5\"\n"
              "    rotateY=\"\n"
              "        0 0.25 0 0\"/>");
}
