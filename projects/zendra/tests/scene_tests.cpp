// The kaleidoscope scene on the software device with the generated data: object slots,
// loading, the per-frame update, the kaleidoscope and crystal drawing, the render branches
// and the variance shadow map.
#include <cmath>
#include <unistd.h>

#include <gtest/gtest.h>

#include "Caleidoscope.h"
#include "fw_Camera.h"
#include "fw_Effect.h"
#include "fw_Mesh.h"
#include "fw_PostEffects.h"
#include "fw_Texture.h"
#include "platform/crt.h"
#include "resources_support.h"

namespace {

class SceneTest : public restest::ResourceTest {
protected:
    void SetUp() override {
        ResourceTest::SetUp();
        char buffer[4096];
        ASSERT_NE(nullptr, getcwd(buffer, sizeof(buffer)));
        previousDirectory = buffer;
        // Meshes and the scene description are opened under "./data/".
        ASSERT_EQ(0, chdir(ZENDRA_PROJECT_DIR));
        fw_Framework::mProjectRoot = ZENDRA_PROJECT_DIR;
        fw_Framework::mSyncDevice = &tracks;
        gFramework->LoadSharedResources();
        fw_Framework::mPostEffects = new fw_PostEffects();
        fw_Framework::mPostEffects->Load();
        fw_Framework::mScenes = {&scene};
        fw_Framework::mCurrentScene = 0;
        // The sync camera stays out of the way unless a test wants it.
        tracks.SetConstant("Camera", -1.0f);
    }
    void TearDown() override {
        scene.ReleaseResources();
        fw_Framework::mScenes.clear();
        delete fw_Framework::mPostEffects;
        fw_Framework::mPostEffects = nullptr;
        ResourceTest::TearDown();
        ASSERT_EQ(0, chdir(previousDirectory.c_str()));
    }
    void Load() {
        scene.LoadXml();
        scene.LoadResources();
    }
    void Frame() {
        scene.Update();
        scene.Render();
    }
    fw_Texture* Target(const char* name) { return gFramework->FindTexture(name); }

    restest::TestSyncDevice tracks;
    Caleidoscope scene{"caleidoscope.xml"};
    std::string previousDirectory;
};

bool SameMatrix(const fw_Matrix34& a, const fw_Matrix34& b) {
    for (int i = 0; i < 12; ++i)
        if (a.m[i] != b.m[i])
            return false;
    return true;
}

TEST_F(SceneTest, ObjectTypesSelectTheirMeshAndTechnique) {
    Load();
    fw_Mesh* mesh = nullptr;
    ID3D10EffectTechnique* technique = nullptr;
    for (int32_t type : {6, 255, -1, 3}) {
        scene.SelectMeshTechnique(type, mesh, technique, true);
        EXPECT_EQ(scene.mSphere, mesh) << type;
        EXPECT_EQ(scene.mEffect->GetTechnique("sphere"), technique) << type;
    }
    scene.SelectMeshTechnique(1, mesh, technique, true);
    EXPECT_EQ(scene.mKuben, mesh);
    EXPECT_EQ(scene.mEffect->GetTechnique("mainCube"), technique);
    scene.SelectMeshTechnique(1, mesh, technique, false);
    EXPECT_EQ(scene.mKuben, mesh);
    EXPECT_EQ(scene.mEffect->GetTechnique("cube"), technique);
    EXPECT_TRUE(technique->IsValid());
    scene.SelectMeshTechnique(5, mesh, technique, true);
    EXPECT_EQ(scene.mSmallCrystals, mesh);
}

TEST_F(SceneTest, LoadingTwiceKeepsOneOfEachAndTheSameShadowTargets) {
    Load();
    fw_Texture* shadow[3] = {scene.mVarianceShadowDepth, scene.mVarianceShadow0, scene.mVarianceShadow};
    for (fw_Texture* target : shadow)
        ASSERT_NE(nullptr, target);
    EXPECT_EQ(1024u, scene.mVarianceShadow0->GetWidth());
    EXPECT_EQ(uint32_t(DXGI_FORMAT_R32G32_FLOAT), scene.mVarianceShadow0->GetFormat());
    scene.Update();
    ASSERT_NE(nullptr, scene.mMainMesh);

    scene.ReleaseResources();
    EXPECT_EQ(nullptr, scene.mEffect);
    EXPECT_EQ(nullptr, scene.mFucrr);
    EXPECT_EQ(nullptr, scene.mMainMesh);  // not left pointing at a deleted mesh
    EXPECT_EQ(nullptr, scene.mMainTechnique);
    EXPECT_EQ(nullptr, scene.mVarianceShadow0);  // nor at the table's released targets
    Load();
    EXPECT_EQ(shadow[0], scene.mVarianceShadowDepth);
    EXPECT_EQ(shadow[1], scene.mVarianceShadow0);
    EXPECT_EQ(shadow[2], scene.mVarianceShadow);
    // A load over a load replaces everything (the sanitizer build sees a leak otherwise).
    Load();
    for (void* member :
         {(void*)scene.mEffect, (void*)scene.mFucrr, (void*)scene.mBokeh, (void*)scene.mDust, (void*)scene.mLightShafts,
          (void*)scene.mAtoms, (void*)scene.mSphere, (void*)scene.mWireframe1})
        EXPECT_NE(nullptr, member);
}

TEST_F(SceneTest, LoadingLoadsTheFlipCardOfEveryKeyAndTheDust) {
    sync::Track* images = tracks.GetTrack("Atoms_Image");
    images->SetKey(0, {2.0f, sync::Step});
    images->SetKey(640, {3.0f, sync::Step});
    Load();
    for (const char* name : {"flipcard2.png", "flipcard3.png", "dust.png"})
        EXPECT_TRUE(gFramework->HasTexture(name)) << name;
}

TEST_F(SceneTest, AuxiliaryObjectsFollowTheSeedAndReseedTheGenerator) {
    Load();
    tracks.SetConstant("rndSeed", 7.0f);
    tracks.SetConstant("Obj_NumAux", 5.0f);
    tracks.SetConstant("Obj_AuxScale", 1.5f);
    srand(1234);
    scene.Update();
    ASSERT_EQ(5u, scene.mAuxTransforms.size());
    const std::vector<fw_Matrix34> first = scene.mAuxTransforms;
    rand();
    scene.Update();
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_TRUE(SameMatrix(first[i], scene.mAuxTransforms[i])) << i;
    // Objects lie 14 to 34 from the centre before the height offset; sizes scale with a.
    for (const fw_Matrix34& m : first) {
        const double scale =
            std::sqrt(double(m(0, 0)) * m(0, 0) + double(m(1, 0)) * m(1, 0) + double(m(2, 0)) * m(2, 0));
        EXPECT_GE(scale, 0.5 * 3.0 * 0.4 - 1e-5);
        EXPECT_LE(scale, 1.0 * 3.0 * 0.4 + 1e-5);
    }
    tracks.SetConstant("rndSeed", 8.0f);
    scene.Update();
    EXPECT_FALSE(SameMatrix(first[0], scene.mAuxTransforms[0]));

    for (float count : {-3.0f, 0.0f}) {
        tracks.SetConstant("Obj_NumAux", count);
        srand(99);
        const int saved = rand();
        srand(static_cast<unsigned>(saved));
        const int expected = rand();
        srand(99);
        scene.Update();
        EXPECT_TRUE(scene.mAuxTransforms.empty());
        EXPECT_EQ(expected, rand()) << "re-seeded with the saved number for " << count;
    }
    EXPECT_EQ(0.0f, AuxPosition(fw_Vector3(0, 0, 0), 20.0f).x);
    EXPECT_EQ(0.0f, AuxPosition(fw_Vector3(0, 0, 0), 20.0f).y);
    const fw_Vector3 p = AuxPosition(fw_Vector3(0, 3, 4), 10.0f);
    EXPECT_FLOAT_EQ(6.0f, p.y);
    EXPECT_FLOAT_EQ(8.0f, p.z);
}

TEST_F(SceneTest, TrackValuesBeyondIntegersAndTooManyObjectsAreBounded) {
    Load();
    tracks.SetConstant("Obj_NumAux", 1e12f);
    scene.Update();
    EXPECT_EQ(size_t(Caleidoscope::kMaxAuxObjects), scene.mAuxTransforms.size());
    tracks.SetConstant("Obj_NumAux", NAN);
    tracks.SetConstant("Obj_MainType", NAN);
    scene.Update();
    EXPECT_TRUE(scene.mAuxTransforms.empty());
    EXPECT_EQ(0, scene.mMainType);
    EXPECT_EQ(scene.mRomstasjon, scene.mMainMesh);
    tracks.SetConstant("Obj_MainType", -1e20f);
    scene.Update();
    EXPECT_EQ(INT32_MIN, scene.mMainType);
    EXPECT_EQ(scene.mSphere, scene.mMainMesh);
}

TEST_F(SceneTest, TypeTwoTurnsAboutOneAxisOnly) {
    Load();
    tracks.SetConstant("Obj_MainRot", 3.0f);
    tracks.SetConstant("Obj_MainScale", 2.0f);
    tracks.SetConstant("Obj_MainType", 2.0f);
    scene.Update();
    const fw_Matrix34 expected = fw_Math::RotationY(static_cast<float>(3.0 * double(0.2f)));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(expected(r, c) * 0.8f, scene.mMainTransform(r, c), 1e-6f);
    for (float type : {0.0f, -1.0f}) {
        tracks.SetConstant("Obj_MainType", type);
        scene.Update();
        // Three axes: the vertical axis no longer stays vertical.
        EXPECT_GT(std::fabs(scene.mMainTransform(0, 1)) + std::fabs(scene.mMainTransform(2, 1)), 0.05f);
    }
}

TEST_F(SceneTest, LightMatricesStayFiniteForAnyFieldOfView) {
    const float light[3] = {0.0f, 20.0f, 0.0f};
    const fw_Matrix4 straight = LightViewProjection(light, 90.0f);
    EXPECT_NEAR(1.0f, straight(0, 0), 1e-6f);  // c = 1 / tan(45 degrees)
    for (float fov : {0.0f, 180.0f, 360.0f, -5.0f, NAN, INFINITY}) {
        const fw_Matrix4 m = LightViewProjection(light, fov);
        const auto inverse = m.Inverse();
        ASSERT_TRUE(inverse.has_value()) << fov;
        for (int i = 0; i < 16; ++i) {
            EXPECT_TRUE(std::isfinite(m.m[i])) << fov;
            EXPECT_TRUE(std::isfinite(inverse->m[i])) << fov;
        }
    }
    // The light looks straight down: a point below it lands in the middle of its view.
    const fw_Matrix4 m = LightViewProjection(light, 60.0f);
    const float p[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float out[4] = {};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[r] += m(r, c) * p[c];
    EXPECT_NEAR(0.0f, out[0] / out[3], 1e-5f);
    EXPECT_NEAR(0.0f, out[1] / out[3], 1e-5f);
    EXPECT_NEAR(20.0f, out[3], 1e-4f);
}

TEST_F(SceneTest, FlaresOfALightInOrBehindTheCameraPlaneAreOffScreen) {
    fw_Camera camera(nullptr);
    D3DXMatrixIdentity(&camera.mView);
    D3DXMatrixIdentity(&camera.mProjection);
    camera.mProjection._34 = 1.0f;  // w = z
    camera.mProjection._44 = 0.0f;
    float x = 0.0f, y = 0.0f;
    const float behind[3] = {1.0f, 1.0f, -5.0f};
    const float inPlane[3] = {1.0f, 1.0f, 0.0f};
    const float ahead[3] = {1.0f, -2.0f, 4.0f};
    EXPECT_FALSE(LightScreenPosition(behind, &camera, x, y));
    EXPECT_FALSE(LightScreenPosition(inPlane, &camera, x, y));
    ASSERT_TRUE(LightScreenPosition(ahead, &camera, x, y));
    EXPECT_FLOAT_EQ(0.25f, x);
    EXPECT_FLOAT_EQ(-0.5f, y);
    EXPECT_FALSE(LightScreenPosition(ahead, nullptr, x, y));
}

TEST_F(SceneTest, MirrorSegmentsAlternateTheirCullingAndStartFromTheAxes) {
    EXPECT_STREQ("caleidoscope", MirrorTechniqueName(0, false));
    EXPECT_STREQ("caleidoscope_cull_back", MirrorTechniqueName(1, false));
    EXPECT_STREQ("caleidoscope", MirrorTechniqueName(4, false));
    EXPECT_STREQ("varianceDepthCaleidoscope_cull_back", MirrorTechniqueName(5, true));
    fw_Vector3 m1, m2;
    MirrorPlanes(fw_Math::RotationZ(0.0f), 0, m1, m2);
    EXPECT_FLOAT_EQ(1.0f, m1.x);
    EXPECT_FLOAT_EQ(0.0f, m1.y);
    EXPECT_NEAR(0.0f, m1.z, 1e-7f);
    EXPECT_NEAR(-0.5f, m2.x, 1e-6f);
    EXPECT_NEAR(-0.8660254f, m2.z, 1e-6f);
    // Neighbouring segments share their plane: segment k's second is -(k+1)'s first.
    for (int k = 0; k < 5; ++k) {
        fw_Vector3 a1, a2, b1, b2;
        MirrorPlanes(fw_Math::RotationX(0.7f), k, a1, a2);
        MirrorPlanes(fw_Math::RotationX(0.7f), k + 1, b1, b2);
        EXPECT_NEAR(-a2.x, b1.x, 1e-6f);
        EXPECT_NEAR(-a2.y, b1.y, 1e-6f);
        EXPECT_NEAR(-a2.z, b1.z, 1e-6f);
    }
}

TEST_F(SceneTest, CrystalsGrowWithTheCounter) {
    Load();
    tracks.SetConstant("Obj_MainType", 5.0f);
    scene.Update();
    const fw_Matrix34 identity = fw_Math::RotationX(0.0f);
    ID3D10EffectTechnique* plain = scene.mEffect->GetTechnique("plain");
    const auto drawsFor = [&](float grown, float growType) {
        tracks.SetConstant("CRSTL_Num", grown);
        tracks.SetConstant("CRSTL_GrowType", growType);
        const uint64_t before = scene.GetMeshDrawCount();
        scene.DrawCaleidoscope(5, scene.mSmallCrystals, false, 0.0f, identity, plain, false);
        return scene.GetMeshDrawCount() - before;
    };
    EXPECT_EQ(0u, drawsFor(0.0f, 0.0f));
    EXPECT_EQ(10u + 8u + 6u + 4u + 2u, drawsFor(10.0f, 0.0f));  // paths 0 to 4, first step only
    EXPECT_EQ(4800u, drawsFor(300.0f, 0.0f));
    EXPECT_EQ(4800u, drawsFor(300.0f, 5.0f));
    // Mirrored crystals are six copies of the mesh, no crystals.
    const uint64_t before = scene.GetMeshDrawCount();
    scene.DrawCaleidoscope(5, scene.mSmallCrystals, true, 0.0f, identity, plain, false);
    EXPECT_EQ(6u, scene.GetMeshDrawCount() - before);

    EXPECT_EQ(0, CrystalVariant(4.0f));
    EXPECT_EQ(1, CrystalVariant(5.9f));
    EXPECT_EQ(3, CrystalVariant(-1.0f));
    EXPECT_EQ(2, CrystalVariant(-6.0f));
    EXPECT_EQ(0, CrystalVariant(NAN));
    EXPECT_EQ(3, CrystalVariant(1e30f));  // INT32_MAX mod 4

    // The generator comes back to the number drawn before the call.
    srand(5);
    const int saved = rand();
    srand(static_cast<unsigned>(saved));
    const int expected = rand();
    srand(5);
    drawsFor(300.0f, 1.0f);
    EXPECT_EQ(expected, rand());

    // A mesh without ranges draws nothing.
    fw_Mesh empty("./data/", "no-such-mesh.obj", nullptr);
    const uint64_t none = scene.GetMeshDrawCount();
    tracks.SetConstant("CRSTL_Num", 300.0f);
    scene.DrawCaleidoscope(5, &empty, false, 0.0f, identity, plain, false);
    EXPECT_EQ(none, scene.GetMeshDrawCount());
}

TEST_F(SceneTest, RenderBranchesFollowTheirTracks) {
    Load();
    // Without keys: light on, transition on with card 1, fade 0.
    Frame();
    EXPECT_TRUE(gFramework->HasTexture("flipcard1.png"));
    EXPECT_FALSE(gFramework->HasTexture("flipcard2.png"));

    tracks.SetConstant("Atoms_Image", 2.7f);
    Frame();
    EXPECT_TRUE(gFramework->HasTexture("flipcard2.png"));

    // At 1 the vignette writes the back buffer itself and no card is looked up.
    tracks.SetConstant("Atoms_Param", 1.0f);
    tracks.SetConstant("Atoms_Image", 3.0f);
    Target("backbuffer")->ClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    Frame();
    EXPECT_FALSE(gFramework->HasTexture("flipcard3.png"));
    const restest::Picture picture = restest::ReadBack(Target("backbuffer")->mTexture2D);
    ASSERT_GT(picture.width, 0u);
    EXPECT_LT(picture.At(0, 0)[0], 0.9f) << "the back buffer was written";

    // No main object: the auxiliary objects and the 216 ring draws remain.
    tracks.SetConstant("Obj_MainType", -1.0f);
    tracks.SetConstant("Obj_NumAux", 3.0f);
    tracks.SetConstant("Obj_BackFade", 0.0f);
    uint64_t before = scene.GetMeshDrawCount();
    Frame();
    EXPECT_EQ(3u + 216u, scene.GetMeshDrawCount() - before);
    tracks.SetConstant("Obj_BackFade", 0.5f);
    before = scene.GetMeshDrawCount();
    Frame();
    EXPECT_EQ(3u + 216u + 1u, scene.GetMeshDrawCount() - before);
    // Faded out, the fade variable keeps its last value.
    tracks.SetConstant("Obj_BackFade", -1.0f);
    Frame();
    float fade = 0.0f;
    scene.mEffect->GetVariable("gBackgroundMeshFade")->AsScalar()->GetFloat(&fade);
    EXPECT_EQ(0.5f, fade);
}

TEST_F(SceneTest, ShadowMapHoldsTheClearMomentsWithoutAMainObjectAndStaysWhenTheLightIsOff) {
    Load();
    tracks.SetConstant("Obj_MainType", -1.0f);
    Frame();
    restest::Picture map = restest::ReadBack(scene.mVarianceShadow0->mTexture2D);
    ASSERT_EQ(1024u, map.width);
    for (uint32_t y : {0u, 511u, 1023u})
        for (uint32_t x : {0u, 300u, 1023u}) {
            EXPECT_NEAR(150.0f, map.At(x, y)[0], 1e-3f);
            EXPECT_NEAR(22500.0f, map.At(x, y)[1], 0.5f);
        }

    // The main object casts a shadow: something nearer than 150 right below the light.
    tracks.SetConstant("Obj_MainType", 0.0f);
    Frame();
    map = restest::ReadBack(scene.mVarianceShadow0->mTexture2D);
    EXPECT_LT(map.At(512, 512)[0], 149.0f);

    // Light off: no pass, the map keeps what it had.
    tracks.SetConstant("VLight", 0.0f);
    scene.mVarianceShadow0->ClearColor(7.0f, 49.0f, 0.0f, 0.0f);
    Frame();
    map = restest::ReadBack(scene.mVarianceShadow0->mTexture2D);
    EXPECT_EQ(7.0f, map.At(512, 512)[0]);

    // A missing target skips the pass.
    tracks.SetConstant("VLight", 50.0f);
    fw_Texture* kept = scene.mVarianceShadow;
    scene.mVarianceShadow = nullptr;
    Frame();
    map = restest::ReadBack(scene.mVarianceShadow0->mTexture2D);
    EXPECT_EQ(7.0f, map.At(512, 512)[0]);
    scene.mVarianceShadow = kept;
}

TEST_F(SceneTest, ShadowCasterRectHoldsEveryTexelTheShadowPassChanges) {
    Load();
    tracks.SetConstant("Obj_MainScale", 1.7f);
    tracks.SetConstant("Obj_MainRot", 40.0f);
    tracks.SetConstant("Obj_CaleidoRot", 0.8f);
    tracks.SetConstant("Penrose1", 9.0f);
    tracks.SetConstant("Penrose2", 6.0f);
    tracks.SetConstant("Penrose3", 4.0f);
    tracks.SetConstant("CRSTL_Num", 300.0f);
    int smaller = 0;
    for (const float type : {0.0f, 1.0f, 2.0f, 4.0f, 5.0f})
        for (const float mirrored : {0.0f, 1.0f}) {
            tracks.SetConstant("Obj_MainType", type);
            tracks.SetConstant("Obj_MainCaleido", mirrored);
            Frame();
            const RECT rect = scene.ShadowCasterRect();
            smaller += (rect.right - rect.left) * (rect.bottom - rect.top) < 1024 * 1024;
            const restest::Picture map = restest::ReadBack(scene.mVarianceShadow0->mTexture2D);
            int changed = 0, outside = 0;
            for (uint32_t y = 0; y < 1024; ++y)
                for (uint32_t x = 0; x < 1024; ++x)
                    if (map.At(x, y)[0] != 150.0f) {
                        ++changed;  // the blur reaches two texels out
                        outside += LONG(x) < rect.left - 2 || LONG(x) >= rect.right + 2 || LONG(y) < rect.top - 2 ||
                                   LONG(y) >= rect.bottom + 2;
                    }
            EXPECT_GT(changed, 0) << "type " << type << " mirrored " << mirrored;
            EXPECT_EQ(0, outside) << "type " << type << " mirrored " << mirrored;
        }
    EXPECT_GT(smaller, 0);
}

TEST_F(SceneTest, AFrameLightsTheScene) {
    Load();
    tracks.SetConstant("Camera", 0.0f);
    tracks.SetConstant("Atoms_Param", 1.0f);
    tracks.SetConstant("Obj_MainType", 2.0f);
    tracks.SetConstant("Obj_MainScale", 2.0f);
    tracks.SetConstant("cam_DistToLookAt", 30.0f);
    // The framework's own frame: camera, animation, update, render (after its first three).
    for (int frame = 0; frame < 5; ++frame)
        gFramework->RenderFrame();
    const restest::Picture picture = restest::ReadBack(Target("backbuffer")->mTexture2D);
    ASSERT_GT(picture.width, 0u);
    size_t lit = 0;
    for (size_t i = 0; i < picture.rgba.size(); i += 4) {
        ASSERT_FALSE(std::isnan(picture.rgba[i]));
        lit += picture.rgba[i] + picture.rgba[i + 1] + picture.rgba[i + 2] > 0.1f;
    }
    EXPECT_GT(lit, picture.rgba.size() / 4 / 20) << "at least a twentieth of the picture is lit";
    // The diamond stands in the middle of the picture, lit.
    const float* centre = picture.At(picture.width / 2, picture.height / 2);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 0.1f);
}

}  // namespace
