// Camera and eye variables on the software device's shared pool, against matrices worked
// out by hand.
#include "core_support.h"

#include <cmath>
#include <fstream>

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"

namespace {

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

class CameraVariables : public testing::Test {
protected:
    void SetUp() override
    {
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
        camera = scene.GetDebugCamera()->GetActiveCamera();
        ASSERT_NE(nullptr, camera);
        camera->mView = Translation(1, 2, 3);
        camera->mPreviousView = Translation(4, 5, 6);
        D3DXMatrixIdentity(&camera->mProjection);
        camera->mProjection._11 = 2.0f;
        camera->mProjection._43 = -1.0f;
        fw_Framework::AddScene(&scene);
    }
    void TearDown() override
    {
        if (fw_Framework::mEffectPool)
            fw_Framework::mEffectPool->Release();
        fw_Framework::mEffectPool = nullptr;
        framework.reset();
        core_test::ResetFramework();
    }
    D3DXMATRIX Matrix(ID3D10EffectMatrixVariable* variable)
    {
        D3DXMATRIX m;
        EXPECT_EQ(S_OK, variable->GetMatrix(&m._11));
        return m;
    }
    D3DXVECTOR4 Vector(ID3D10EffectVectorVariable* variable)
    {
        D3DXVECTOR4 v;
        EXPECT_EQ(S_OK, variable->GetFloatVector(&v.x));
        return v;
    }

    core_test::TempDir dir;
    std::unique_ptr<fw_Framework> framework;
    core_test::CountingScene scene{"cam.xml"};
    fw_Camera* camera = nullptr;
};

TEST_F(CameraVariables, FrameVariables)
{
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

TEST_F(CameraVariables, MonoEyeIsTheIdentityAndStereoConstantsXIsNegativeZero)
{
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

TEST_F(CameraVariables, ProjectionScaleTwoHalvesTheDepthTerm)
{
    scene.projectionScale = 2.0f;
    framework->SetEyeVariables(0);
    const D3DXVECTOR4 constants = Vector(framework->mStereoConstantsVar);
    EXPECT_EQ(2.0f, constants.z);
    EXPECT_EQ(0.5f, constants.w);
    EXPECT_FLOAT_EQ(-0.5f, framework->mProjection.m[14]);  // P._43 * 0.5
}

TEST_F(CameraVariables, StereoEyeOffsets)
{
    fw_Framework::mStereoActive = true;
    fw_Framework::mEyeSeparation = 0.1f;
    fw_Framework::mStereoSeparation = 0.05f;
    fw_Framework::mStereoConvergence = 4.0f;
    // s = 0.1 * 6 (no "Separation" track) * 0.05 = 0.03; P._11 = 2.
    const fw_FrameMatrix left = framework->StereoEyeMatrix(0);
    const fw_FrameMatrix right = framework->StereoEyeMatrix(1);
    EXPECT_NEAR(0.015f, left.m[8], 1e-7f);    // _31
    EXPECT_NEAR(-0.06f, left.m[12], 1e-7f);   // _41
    EXPECT_NEAR(-0.015f, right.m[8], 1e-7f);
    EXPECT_NEAR(0.06f, right.m[12], 1e-7f);
    framework->SetEyeVariables(1);
    const D3DXVECTOR4 constants = Vector(framework->mStereoConstantsVar);
    EXPECT_NEAR(-0.06f, constants.x, 1e-7f);
    EXPECT_FLOAT_EQ(8.0f, constants.y);  // convergence / near
}

TEST_F(CameraVariables, WorldMatricesAndTheLocalEye)
{
    framework->SetEyeVariables(0);
    const D3DXMATRIX world = Translation(10, 0, 0);
    framework->SetWorldMatrix(&world);
    EXPECT_EQ(world, Matrix(framework->mWorldVar));
    EXPECT_EQ(world, Matrix(framework->mWorldBackInTimeVar));
    EXPECT_EQ(D3DXVECTOR4(-11.0f, -2.0f, -3.0f, 1.0f), Vector(framework->mEyePositionLocalVar));
}

} // namespace
