#include <cmath>
#include <cstdio>
#include <fstream>

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Scene.h"
#include "fw_SyncCamera.h"
#include "fw_Transform.h"
#include "platform/crt.h"
#include "scenes_test_support.h"

#include <boost/filesystem.hpp>

namespace {

const char* kOneCamera =
    "<scene><transforms>"
    "<trans name=\"cam\" translateX=\"0 0 0 0\" translateY=\"0 0 0 0\" translateZ=\"0 0 0 0\""
    " rotateX=\"0 0 0 0\" rotateY=\"0 0 0 0\" rotateZ=\"0 0 0 0\""
    " scaleX=\"0 1 0 0\" scaleY=\"0 1 0 0\" scaleZ=\"0 1 0 0\"/>"
    "</transforms><cameras><camera name=\"cam\" nearz=\"0.1\" farz=\"100\" nearfocus=\"1\" farfocus=\"2\""
    " vFOV=\"0.8\" aspect=\"1.6\"/></cameras></scene>";

class SyncCameraTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        old = boost::filesystem::current_path();
        dir = boost::filesystem::temp_directory_path() / boost::filesystem::unique_path("synccam-%%%%%%");
        boost::filesystem::create_directories(dir / "data");
        boost::filesystem::current_path(dir);
        std::ofstream(dir / "data" / "sync.xml") << kOneCamera;
        scene = std::make_unique<fw_Scene>("sync.xml");
        scene->LoadXml();
        scene->GetDebugCamera()->UpdateCameras();
        camera = scene->GetDebugCamera()->GetActiveCamera();
        ASSERT_NE(camera, nullptr);
        timer->paused = true;
    }
    void TearDown() override {
        scene.reset();
        boost::filesystem::current_path(old);
        boost::filesystem::remove_all(dir);
        SceneTest::TearDown();
    }
    D3DXVECTOR3 Position() const { return camera->mTransform->GetTranslation(); }
    // Where the view puts a world point.
    D3DXVECTOR3 InView(const D3DXVECTOR3& p) const { return TransformPoint(p, camera->mView); }

    boost::filesystem::path old, dir;
    std::unique_ptr<fw_Scene> scene;
    fw_Camera* camera = nullptr;
};

}  // namespace

TEST_F(SyncCameraTest, EmptyTracksPlaceTheCameraOnPlusZ) {
    UpdateSyncCamera(scene.get());
    ExpectVecNear(Position(), D3DXVECTOR3(0, 0, 20));
    EXPECT_EQ(camera->mTransform->GetRotation(), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(camera->mTransform->GetRotationOrder(), 1);
    ExpectVecNear(InView(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(0, 0, -20));
    EXPECT_EQ(camera->mView, camera->mPreviousView);
}

TEST_F(SyncCameraTest, YawNinetyLooksAlongMinusX) {
    device.Set("cam_Yaw", 90);
    UpdateSyncCamera(scene.get());
    ExpectVecNear(Position(), D3DXVECTOR3(20, 0, 0));
    ExpectVecNear(InView(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(0, 0, -20));
    ExpectVecNear(InView(D3DXVECTOR3(10, 0, 0)), D3DXVECTOR3(0, 0, -10));
}

TEST_F(SyncCameraTest, PitchNinetyLooksStraightDown) {
    device.Set("cam_Pitch", 90);
    UpdateSyncCamera(scene.get());
    ExpectVecNear(Position(), D3DXVECTOR3(0, 20, 0));
    ExpectVecNear(InView(D3DXVECTOR3(0, 10, 0)), D3DXVECTOR3(0, 0, -10));
}

TEST_F(SyncCameraTest, DistanceAndLookAt) {
    device.Set("cam_DistToLookAt", 5);
    device.Set("cam_LookAtY", 1);
    UpdateSyncCamera(scene.get());
    ExpectVecNear(Position(), D3DXVECTOR3(0, 1, 5));
    ExpectVecNear(InView(D3DXVECTOR3(0, 1, 0)), D3DXVECTOR3(0, 0, -5));
}

TEST_F(SyncCameraTest, OffsetShiftsWithoutTurning) {
    device.Set("cam_OffsetX", 2);
    UpdateSyncCamera(scene.get());
    ExpectVecNear(Position(), D3DXVECTOR3(2, 0, 20));
    EXPECT_EQ(camera->mTransform->GetRotation(), D3DXVECTOR3(0, 0, 0));
}

TEST_F(SyncCameraTest, ShakeOnlyWhileTheClockRuns) {
    device.Set("cam_Shake", 100);
    srand(7);
    UpdateSyncCamera(scene.get());
    const D3DXMATRIX first = camera->mView;
    UpdateSyncCamera(scene.get());
    EXPECT_EQ(camera->mView, first);
    const int next = rand();
    srand(7);
    EXPECT_EQ(rand(), next);  // no draws while paused
    srand(7);
    timer->paused = false;
    UpdateSyncCamera(scene.get());
    EXPECT_NE(camera->mView, first);
    const D3DXVECTOR3 r = camera->mTransform->GetRotation();
    // Jitter of at most 100 * 0.005 radians on each angle.
    EXPECT_LE(std::fabs(r.x), 0.5f + 1e-6f);
    EXPECT_LE(std::fabs(r.y), 0.5f + 1e-6f);
    EXPECT_GT(std::fabs(r.x) + std::fabs(r.y) + std::fabs(r.z), 0.0f);
}

TEST_F(SyncCameraTest, ShakeDrawsYawPitchRollInOrder) {
    device.Set("cam_Yaw", 30);
    device.Set("cam_Pitch", 10);
    device.Set("cam_Roll", 5);
    device.Set("cam_Shake", 3);
    timer->paused = false;
    auto radians = [](double degrees) { return float(degrees * double(3.1415927f) / 180.0); };
    const double amplitude = float(3.0 * double(0.005f));
    // Seeds whose draws show a rounding of the jitter to float before it is added.
    for (unsigned seed : {14u, 23u, 70u}) {
        srand(seed);
        const int ry = rand(), rp = rand(), rr = rand();
        auto jittered = [&](float angle, int r) { return float(angle + amplitude * (2.0 * r / 32767.0 - 1.0)); };
        const float yaw = jittered(radians(30), ry), pitch = jittered(radians(10), rp), roll = jittered(radians(5), rr);
        srand(seed);
        UpdateSyncCamera(scene.get());
        const D3DXVECTOR3 r = camera->mTransform->GetRotation();
        EXPECT_EQ(r.x, -pitch) << seed;
        EXPECT_EQ(r.y, yaw) << seed;
        EXPECT_EQ(r.z, -roll) << seed;
    }
}

TEST_F(SyncCameraTest, NoActiveCameraDoesNothing) {
    std::ofstream(dir / "data" / "empty.xml") << "<scene/>";
    fw_Scene empty("empty.xml");
    empty.LoadXml();
    srand(3);
    timer->paused = false;
    UpdateSyncCamera(&empty);
    EXPECT_EQ(empty.GetDebugCamera()->GetActiveCamera(), nullptr);
    srand(3);
    const int expect = rand();
    srand(3);
    UpdateSyncCamera(&empty);
    EXPECT_EQ(rand(), expect);  // nothing drawn
    UpdateSyncCamera(nullptr);
}
