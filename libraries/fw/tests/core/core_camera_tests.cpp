// Camera and eye variables on the software device's shared pool, against matrices worked
// out by hand; the stereo driver and the CUDA runtime as this platform has them (absent).
#include "core_support.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Release.h"
#include "fw_Texture.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"

namespace {

D3DXMATRIX Translation(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

class CameraVariables : public testing::Test {
protected:
    void SetUp() override {
        core_test::ResetFramework();
        fw_Framework::mDevice = core_test::SharedSoftwareDevice();
        ASSERT_NE(nullptr, fw_Framework::mDevice);
        fw_Log::SetAlertMode(0);
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "core_tests");
        fw_Framework::mFrameworkRoot = core_test::FrameworkSourceRoot();
        fw_Framework::mEffectPool = CreateSharedEffectPool();
        ASSERT_NE(nullptr, fw_Framework::mEffectPool);
        framework->LookUpPoolVariables();
        ASSERT_NE(nullptr, framework->mStereoConstantsVar);
        ASSERT_TRUE(framework->mStereoConstantsVar->IsValid());

        dir.MakeDir("data");
        std::ofstream("data/cam.xml")
            << "<scene><transforms><trans name=\"cam\" translateX=\"0 0 0 0\" translateY=\"0 0 0 0\""
               " translateZ=\"0 0 0 0\" rotateX=\"0 0 0 0\" rotateY=\"0 0 0 0\" rotateZ=\"0 0 0 0\""
               " scaleX=\"0 1 0 0\" scaleY=\"0 1 0 0\" scaleZ=\"0 1 0 0\"/></transforms>"
               "<cameras><camera name=\"cam\" nearz=\"0.5\" farz=\"100\" vFOV=\"1.2\" aspect=\"2\"/></cameras></scene>";
        scene.LoadXml();
        ASSERT_NE(nullptr, scene.GetDebugCamera());
        scene.GetDebugCamera()->SetActiveCamera("cam");
        fw_Camera* camera = scene.GetDebugCamera()->GetActiveCamera();
        ASSERT_NE(nullptr, camera);
        camera->mView = Translation(1, 2, 3);
        camera->mPreviousView = Translation(4, 5, 6);
        D3DXMatrixIdentity(&camera->mProjection);
        camera->mProjection._11 = 2.0f;
        camera->mProjection._43 = -1.0f;
        fw_Framework::AddScene(&scene);
    }
    void TearDown() override {
        if (fw_Framework::mEffectPool)
            fw_Framework::mEffectPool->Release();
        fw_Framework::mEffectPool = nullptr;
        framework.reset();
        core_test::ResetFramework();
    }
    D3DXMATRIX Matrix(ID3D10EffectMatrixVariable* variable) {
        D3DXMATRIX m;
        EXPECT_EQ(S_OK, variable->GetMatrix(&m._11));
        return m;
    }
    D3DXVECTOR4 Vector(ID3D10EffectVectorVariable* variable) {
        D3DXVECTOR4 v;
        EXPECT_EQ(S_OK, variable->GetFloatVector(&v.x));
        return v;
    }

    core_test::TempDir dir;
    std::unique_ptr<fw_Framework> framework;
    core_test::CountingScene scene{"cam.xml"};
};

TEST_F(CameraVariables, FrameVariables) {
    fw_Framework::mRenderWidth = 640;
    fw_Framework::mRenderHeight = 400;
    framework->SetCameraVariables();
    EXPECT_EQ(Translation(1, 2, 3), Matrix(framework->mViewVar));
    // View x projection: the translation row picks up _43 of the projection in w.
    D3DXMATRIX vp = Matrix(framework->mViewProjectionVar);
    EXPECT_FLOAT_EQ(2.0f, vp._41);
    EXPECT_FLOAT_EQ(2.0f, vp._42);
    EXPECT_FLOAT_EQ(2.0f, vp._43);  // 3 * 1 + 1 * (-1)
    EXPECT_FLOAT_EQ(2.0f, vp._11);
    EXPECT_EQ(Translation(4, 5, 6), Matrix(framework->mViewBackInTimeVar));
    EXPECT_EQ(Translation(-1, -2, -3), Matrix(framework->mViewInverseVar));
    const float e = static_cast<float>(double(static_cast<float>(std::tan(0.6))) * 0.5);
    const D3DXVECTOR4 frustum = Vector(framework->mNearXYZFarZVar);
    EXPECT_FLOAT_EQ(2.0f * e, frustum.x);
    EXPECT_FLOAT_EQ(e, frustum.y);
    EXPECT_FLOAT_EQ(0.5f, frustum.z);
    EXPECT_FLOAT_EQ(100.0f, frustum.w);
    const D3DXVECTOR4 dim = Vector(framework->mRenderDimVar);
    EXPECT_EQ(D3DXVECTOR4(640.0f, 400.0f, 1.0f / 640.0f, 1.0f / 400.0f), dim);
}

TEST_F(CameraVariables, MonoEyeIsTheIdentityAndStereoConstantsXIsNegativeZero) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    const fw_FrameMatrix e = framework->StereoEyeMatrix(0);
    EXPECT_EQ(0, std::memcmp(e.m, &identity, sizeof e.m));
    framework->SetEyeVariables(0);
    const D3DXVECTOR4 constants = Vector(framework->mStereoConstantsVar);
    EXPECT_EQ(0.0f, constants.x);
    EXPECT_TRUE(std::signbit(constants.x));
    EXPECT_EQ(1.0f, constants.y);
    EXPECT_EQ(1.0f, constants.z);
    EXPECT_EQ(1.0f, constants.w);
    // The eye sits at the inverse view's translation.
    EXPECT_FLOAT_EQ(-1.0f, framework->mEyePositionWorld[0]);
    EXPECT_FLOAT_EQ(-2.0f, framework->mEyePositionWorld[1]);
    EXPECT_FLOAT_EQ(-3.0f, framework->mEyePositionWorld[2]);
    const D3DXVECTOR4 eye = Vector(framework->mEyePositionWorldVar);
    EXPECT_FLOAT_EQ(-3.0f, eye.z);
}

TEST_F(CameraVariables, ProjectionScaleTwoHalvesTheDepthTerm) {
    scene.projectionScale = 2.0f;
    framework->SetEyeVariables(0);
    const D3DXVECTOR4 constants = Vector(framework->mStereoConstantsVar);
    EXPECT_EQ(2.0f, constants.z);
    EXPECT_EQ(0.5f, constants.w);
    EXPECT_FLOAT_EQ(-0.5f, framework->mProjection.m[14]);  // P._43 * 0.5
}

TEST_F(CameraVariables, StereoEyeOffsets) {
    fw_Framework::mStereoActive = true;
    fw_Framework::mEyeSeparation = 0.1f;
    fw_Framework::mStereoSeparation = 0.05f;
    fw_Framework::mStereoConvergence = 4.0f;
    // s = 0.1 * 6 (no "Separation" track) * 0.05 = 0.03; P._11 = 2.
    const fw_FrameMatrix left = framework->StereoEyeMatrix(0);
    const fw_FrameMatrix right = framework->StereoEyeMatrix(1);
    EXPECT_NEAR(0.015f, left.m[8], 1e-7f);   // _31
    EXPECT_NEAR(-0.06f, left.m[12], 1e-7f);  // _41
    EXPECT_NEAR(-0.015f, right.m[8], 1e-7f);
    EXPECT_NEAR(0.06f, right.m[12], 1e-7f);
    framework->SetEyeVariables(1);
    const D3DXVECTOR4 constants = Vector(framework->mStereoConstantsVar);
    EXPECT_NEAR(-0.06f, constants.x, 1e-7f);
    EXPECT_FLOAT_EQ(8.0f, constants.y);  // convergence / near
}

TEST_F(CameraVariables, StereoEyeProductsUseTheSeparationTrackAndTheProjectionScale) {
    core_test::FakeSyncDevice device;
    core_test::StartFrameClocks(&device);
    fw_Framework::mStereoActive = false;
    framework->StereoEyeMatrix(0);
    EXPECT_EQ(0u, device.tracks.count("Separation")) << "a mono eye reads no track";

    fw_Framework::mStereoActive = true;
    fw_Framework::mEyeSeparation = 0.1f;
    fw_Framework::mStereoSeparation = 0.05f;
    fw_Framework::mStereoConvergence = 4.0f;
    device.SetConstant("Separation", 2.0f);
    scene.projectionScale = 2.0f;
    // s = 0.1 * 2 * 0.05 = 0.01: E._31 = s / 2 = 0.005, E._41 = -s * 4 / 2 = -0.02, then
    // E._41 and P._43 times k = 0.5: -0.01 and -0.5.
    framework->SetEyeVariables(0);
    const float a = 0.005f, b = -0.01f;
    // V x E: the view's translation row (1, 2, 3, 1) picks up 3 a + b in x.
    const float* view = framework->mView.m;
    EXPECT_NEAR(a, view[8], 1e-7f);
    EXPECT_NEAR(1.0f + 3 * a + b, view[12], 1e-6f);
    EXPECT_FLOAT_EQ(2.0f, view[13]);
    EXPECT_FLOAT_EQ(3.0f, view[14]);
    EXPECT_NEAR(4.0f + 6 * a + b, framework->mViewBackInTime.m[12], 1e-6f);
    // E x P (not P x E): rows 3 and 4 are (2 a, 0, 1, 0) and (2 b, 0, -0.5, 1).
    const float* projection = framework->mProjection.m;
    EXPECT_NEAR(2 * a, projection[8], 1e-7f);
    EXPECT_NEAR(2 * b, projection[12], 1e-7f);
    EXPECT_FLOAT_EQ(-0.5f, projection[14]);
    EXPECT_FLOAT_EQ(1.0f, projection[15]);
    // V x (E x P): translation row (2 + 3 * 2 a + 2 b, 2, 3 - 0.5, 1).
    const float* viewProjection = framework->mViewProjection.m;
    EXPECT_NEAR(2.0f + 6 * a + 2 * b, viewProjection[12], 1e-6f);
    EXPECT_FLOAT_EQ(2.5f, viewProjection[14]);
    EXPECT_NEAR(4.0f * 2 + 6 * 2 * a + 2 * b, framework->mViewProjectionBackInTime.m[12], 1e-6f);
    // The effect variables carry the same products.
    const D3DXMATRIX shownView = Matrix(framework->mViewVar);
    EXPECT_EQ(0, std::memcmp(view, &shownView, sizeof framework->mView.m));
    const D3DXMATRIX shownViewProjection = Matrix(framework->mViewProjectionVar);
    EXPECT_EQ(0, std::memcmp(viewProjection, &shownViewProjection, sizeof framework->mViewProjection.m));
    // The eye: the translation of inverse(V x E) = inverse(E) x inverse(V), (-b - 1, -2, -3).
    EXPECT_NEAR(-b - 1.0f, framework->mEyePositionWorld[0], 1e-6f);
    EXPECT_FLOAT_EQ(-2.0f, framework->mEyePositionWorld[1]);
    EXPECT_FLOAT_EQ(-3.0f, framework->mEyePositionWorld[2]);
    const D3DXVECTOR4 constants = Vector(framework->mStereoConstantsVar);
    EXPECT_NEAR(-b, constants.x, 1e-7f);
    EXPECT_FLOAT_EQ(8.0f, constants.y);
    EXPECT_EQ(2.0f, constants.z);
    EXPECT_EQ(0.5f, constants.w);
}

TEST_F(CameraVariables, WorldMatricesAndTheLocalEye) {
    framework->SetEyeVariables(0);
    const D3DXMATRIX world = Translation(10, 0, 0);
    framework->SetWorldMatrix(&world);
    EXPECT_EQ(world, Matrix(framework->mWorldVar));
    EXPECT_EQ(world, Matrix(framework->mWorldBackInTimeVar));
    EXPECT_EQ(D3DXVECTOR4(-11.0f, -2.0f, -3.0f, 1.0f), Vector(framework->mEyePositionLocalVar));
}

}  // namespace

// --- the stereo driver and the CUDA runtime, both absent on this platform -------------------

namespace {

std::vector<std::string> gAlerts;

int RecordingBox(HWND, const char* text, const char*, UINT) {
    gAlerts.push_back(text);
    return IDOK;
}

// Alerts go to standard error, where a death test reads them.
int ErrorStreamBox(HWND, const char* text, const char*, UINT) {
    std::fprintf(stderr, "box: %s\n", text);
    return IDOK;
}

class AbsentDrivers : public testing::Test {
protected:
    void SetUp() override {
        core_test::ResetFramework();
        gAlerts.clear();
        fw_Log::SetAlertMode(1);
        fw_GetAlertPlatform().messageBox = RecordingBox;
    }
    void TearDown() override {
        fw_GetAlertPlatform() = fw_DefaultAlertPlatform();
        fw_Log::SetAlertMode(0);
        core_test::ResetFramework();
    }
};

TEST_F(AbsentDrivers, StereoInitialisationFailsWithTheCardNotice) {
    EXPECT_EQ(E_FAIL, fw_Framework::InitStereo());
    EXPECT_FALSE(fw_Framework::mStereoAvailable);
    EXPECT_EQ((std::vector<std::string>{"This software is designed for NVIDIA GF100-based cards,\n"
                                        "and requires an NVIDIA based GPU to run."}),
              gAlerts);
}

TEST_F(AbsentDrivers, StereoHandleFailuresAreShownAndTheDefaultsStay) {
    fw_Framework::InitStereoHandle();
    EXPECT_EQ((std::vector<std::string>{"NvAPI_Stereo_CreateHandleFromIUnknown failed: NVAPI_NO_IMPLEMENTATION",
                                        "NvAPI_Stereo_GetEyeSeparation failed: NVAPI_NO_IMPLEMENTATION",
                                        "NvAPI_Stereo_SetNotificationMessage failed: NVAPI_NO_IMPLEMENTATION"}),
              gAlerts);
    EXPECT_EQ(nullptr, fw_Framework::mStereoHandle);
    EXPECT_EQ(0.1f, fw_Framework::mEyeSeparation);
    fw_Framework::DestroyStereoHandle();  // no handle: nothing
    EXPECT_EQ(nullptr, fw_Framework::mStereoHandle);
}

TEST_F(AbsentDrivers, PollingWithoutADriverGivesTheDefaultSeparationAndConvergence) {
    fw_Framework::mStereoActive = true;
    fw_Framework::PollStereo();
    EXPECT_FALSE(fw_Framework::mStereoActive);
    EXPECT_EQ(static_cast<float>(50.0 * double(0.001f)), fw_Framework::mStereoSeparation);
    EXPECT_EQ(4.0f, fw_Framework::mStereoConvergence);
    EXPECT_TRUE(gAlerts.empty());
}

TEST_F(AbsentDrivers, RegisteringWithCudaNeedsTheRuntime) {
    ID3D10Device* device = core_test::SharedSoftwareDevice();
    ASSERT_NE(nullptr, device);
    fw_Framework::mDevice = device;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fw_GetAlertPlatform().messageBox = ErrorStreamBox;
            fw_Texture* texture = NewRenderTexture(D3D10_BIND_RENDER_TARGET, DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4);
            texture->RegisterWithCuda(0, 0);
        },
        testing::ExitedWithCode(20), "box: Could not load cudart32_50_35.dll");
    // A registered texture is unregistered when it is released.
    EXPECT_EXIT(
        {
            fw_GetAlertPlatform().messageBox = ErrorStreamBox;
            fw_Texture* texture = NewRenderTexture(D3D10_BIND_RENDER_TARGET, DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4);
            texture->mCudaRegistered = true;
            texture->Release();
        },
        testing::ExitedWithCode(20), "box: Could not load cudart32_50_35.dll");
    EXPECT_EXIT(
        {
            fw_GetAlertPlatform().messageBox = ErrorStreamBox;
            fw_Framework::CudaShutdown();
        },
        testing::ExitedWithCode(20), "box: Could not load cudart32_50_35.dll");
    // Without a resource, or unregistered, nothing reaches for the runtime.
    fw_Texture empty;
    empty.mCudaRegistered = true;
    empty.Release();
    EXPECT_FALSE(empty.mCudaRegistered);
    fw_Texture* texture = NewRenderTexture(D3D10_BIND_RENDER_TARGET, DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4);
    ReleaseAndDelete(texture);
    EXPECT_TRUE(gAlerts.empty());
}

}  // namespace
