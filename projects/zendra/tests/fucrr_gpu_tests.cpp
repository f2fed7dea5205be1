// The tetra simulation on the software device, with pixels read back: steps, rigidity,
// scenarios and the instanced draw.
#include <cmath>
#include <cstdlib>

#include "fucrr_support.h"
#include "fw_Effect.h"
#include "platform/d3dx10math.h"
#include "platform/d3dx10tex.h"

namespace fucrrtest {
namespace {

namespace fs = boost::filesystem;

constexpr float kReferenceEdge = 18.9817f;

float Distance(const float* a, const float* b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// Largest relative deviation of an edge from `edge` over all tetrahedra.
float WorstEdgeError(const std::vector<float>& state, float edge) {
    float worst = 0.0f;
    for (size_t n = 0; n < state.size() / 12; ++n) {
        const float* c = &state[n * 12];
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                worst = std::max(worst, std::fabs(Distance(c + i * 3, c + j * 3) - edge) / edge);
    }
    return worst;
}

class Simulation : public FucrrTest {
protected:
    void SetUp() override {
        FucrrTest::SetUp();
        const std::vector<FftRecord>& music = MusicTable();
        if (!music.empty())
            WriteCache(FucrrEffect::kFftCachePath, music);
        effect = std::make_unique<FucrrEffect>();
        tracks.SetConstant("Obj_MainType", 3.0f);
        tracks.SetConstant("FFT_Scale", 1.2f);
        tracks.SetConstant("FFT_LookAhead", 0.03f);
    }
    void TearDown() override {
        effect.reset();
        FucrrTest::TearDown();
    }
    // Frames of 1/60 s from `from` until `steps` steps have run (the first call re-arms the
    // triggers without stepping).
    void Run(float from, int steps) {
        SimulationTime = from;
        UpdateAt(*effect, from);
        for (int frame = 1; frame <= steps / 2; ++frame)
            UpdateAt(*effect, from + frame / 60.0f + 0.001f);
    }
    std::unique_ptr<FucrrEffect> effect;
};

TEST_F(Simulation, StepsMoveTheSwarmAndKeepEveryTetrahedronRigid) {
    if (MusicTable().empty())
        GTEST_SKIP() << "the audio module is not built";
    const std::vector<float> start = ReadState(*effect, 1);
    ASSERT_LT(WorstEdgeError(start, kReferenceEdge), 1e-4);
    // Five seconds of the first drop: kick and bass.
    Run(60.0f, 600);
    const std::vector<float> state = ReadState(*effect, (effect->mRing + 1) % 3);
    float moved = 0.0f, radius = 0.0f;
    for (int n = 0; n < FucrrEffect::kTetraCount; ++n) {
        float c0[3] = {}, c1[3] = {};
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k) {
                c0[k] += start[n * 12 + i * 3 + k] * 0.25f;
                c1[k] += state[n * 12 + i * 3 + k] * 0.25f;
            }
        moved = std::max(moved, Distance(c0, c1));
        radius += std::sqrt(c1[0] * c1[0] + c1[1] * c1[1] + c1[2] * c1[2]) / FucrrEffect::kTetraCount;
        ASSERT_TRUE(std::isfinite(c1[0] + c1[1] + c1[2])) << n;
    }
    EXPECT_GT(moved, 1.0f);
    // Held near the sphere of radius 15.
    EXPECT_GT(radius, 10.0f);
    EXPECT_LT(radius, 22.0f);
    EXPECT_LT(WorstEdgeError(state, kReferenceEdge), 0.01f);
}

TEST_F(Simulation, SavedScenarioLoadsBackTheSameState) {
    Run(61.0f, 40);
    effect->SaveMatrixTextures(7);
    const int ring = effect->mRing;
    const std::vector<float> older = ReadState(*effect, ring);
    const std::vector<float> newer = ReadState(*effect, (ring + 1) % 3);
    Run(70.0f, 30);
    effect->ResetTetras();
    effect->mRing = ring;
    effect->LoadScenario(7);
    EXPECT_EQ(older, ReadState(*effect, ring));
    EXPECT_EQ(newer, ReadState(*effect, (ring + 1) % 3));
    EXPECT_NE(older, newer);
}

TEST_F(Simulation, StoredScenarioTwoStaysRigidAtItsOwnSize) {
    tracks.SetConstant("FFT_Load", 2.0f);
    Run(200.0f, 2);  // re-arms, then loads scenario 2
    const std::vector<float> loaded = ReadState(*effect, (effect->mRing + 1) % 3);
    const float edge = Distance(&loaded[0], &loaded[3]);
    // The data set stores the scenario's frames at the reference size (the drawn shard is
    // the smaller mesh inside each frame).
    EXPECT_NEAR(kReferenceEdge, edge, 0.05f);
    Run(200.1f, 240);
    EXPECT_LT(WorstEdgeError(ReadState(*effect, (effect->mRing + 1) % 3), edge), 0.01f);
}

// ---- drawing ---------------------------------------------------------------------------------

class Drawing : public Simulation {
protected:
    // Colour and depth targets of w x h, a camera at `eye` looking at the origin, the light
    // above, the light probe; returns the picture after one draw.
    restest::Picture Draw(bool depthPass, uint32_t w, uint32_t h, const D3DXVECTOR3& eye) {
        fw_Texture colour(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE,
                          depthPass ? DXGI_FORMAT_R32G32_FLOAT : DXGI_FORMAT_R16G16B16A16_FLOAT, w, h, 1, nullptr);
        fw_Texture depth(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, w, h, 1, nullptr);
        SetCamera(eye, float(w) / float(h));
        if (depthPass)
            colour.ClearColor2(150.0f, 22500.0f);
        else
            colour.ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        depth.ClearDepth(1.0f);
        device->OMSetRenderTargets(1, &colour.mRenderTargetView, depth.mDepthStencilView);
        device->RSSetViewports(1, &colour.mViewport);
        effect->BindMatrixTextures(depthPass);
        restest::Picture picture = restest::ReadBack(colour.mTexture2D);
        if (const char* folder = std::getenv("FUCRR_SHOT_DIR"); folder && !depthPass) {
            const std::string name = std::string(folder) + "/" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                                     std::to_string(w) + ".png";
            SavePng(picture, name);
        }
        colour.Release();
        depth.Release();
        return picture;
    }
    void SetCamera(const D3DXVECTOR3& eye, float aspect) {
        const D3DXVECTOR3 at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
        D3DXMATRIX view, projection, viewProjection;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, 0.8f, aspect, 1.0f, 300.0f);
        D3DXMatrixMultiply(&viewProjection, &view, &projection);
        fw_Effect& fx = *effect->GetPyramidEffect();
        fx.SetMatrix("View", &view._11);
        fx.SetMatrix("ViewProjection", &viewProjection._11);
        fx.SetFloat4("EyePositionWorld", eye.x, eye.y, eye.z, 1.0f);
        // The light 40 above, looking down with a 90 degree cone, near 1, far 200.
        D3DXMATRIX lightView, lightProjection, light;
        const D3DXVECTOR3 lightPos(0.0f, 40.0f, 0.0f), lightAt(0.0f, 0.0f, 0.0f), lightUp(0.0f, 0.0f, 1.0f);
        D3DXMatrixLookAtLH(&lightView, &lightPos, &lightAt, &lightUp);
        D3DXMatrixPerspectiveFovLH(&lightProjection, 1.5707964f, 1.0f, 1.0f, 200.0f);
        D3DXMatrixMultiply(&light, &lightView, &lightProjection);
        fx.SetMatrix("gLightViewProjection", &light._11);
        fx.SetFloat4("gLightPositionWorldSpace", lightPos.x, lightPos.y, lightPos.z, 0.0f);
        fx.SetTexture("gLightProbeTex", gFramework->FindOrLoadTexture("350.dds"));
    }
    static void SavePng(const restest::Picture& picture, const std::string& path) {
        std::vector<uint32_t> texels(picture.rgba.size() / 4);
        for (size_t i = 0; i < texels.size(); ++i) {
            uint32_t rgba = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const float v = std::pow(std::clamp(picture.rgba[i * 4 + c], 0.0f, 1.0f), 1.0f / 2.2f);
                rgba |= uint32_t(v * 255.0f + 0.5f) << (8 * c);
            }
            texels[i] = rgba;
        }
        fw_Texture image(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, picture.width, picture.height, 1,
                         texels.data());
        D3DX10SaveTextureToFileA(image.mTexture2D, D3DX10_IFF_PNG, path.c_str());
        image.Release();
    }
    static int Lit(const restest::Picture& picture, float threshold) {
        int lit = 0;
        for (size_t i = 0; i < picture.rgba.size(); i += 4)
            lit += picture.rgba[i] + picture.rgba[i + 1] + picture.rgba[i + 2] > threshold;
        return lit;
    }
};

TEST_F(Drawing, SwarmIsVisibleInTheMiddleAndNotAtTheBorder) {
    Run(60.0f, 240);
    const restest::Picture picture = Draw(false, 320, 200, D3DXVECTOR3(0.0f, 15.0f, -70.0f));
    ASSERT_EQ(320u, picture.width);
    const int lit = Lit(picture, 0.05f);
    EXPECT_GT(lit, 320 * 200 / 8);
    EXPECT_LT(lit, 320 * 200 * 9 / 10);
    EXPECT_GT(picture.At(160, 100)[0] + picture.At(160, 100)[1] + picture.At(160, 100)[2], 0.02f);
    EXPECT_EQ(0.0f, picture.At(2, 2)[0] + picture.At(2, 2)[1] + picture.At(2, 2)[2]);
    // Alpha holds the distance from the eye for the depth-of-field passes.
    EXPECT_GT(picture.At(160, 100)[3], 70.0f - 32.0f);
    EXPECT_LT(picture.At(160, 100)[3], 70.0f + 32.0f);
}

TEST_F(Drawing, ScenarioSwarmPicture) {
    tracks.SetConstant("FFT_Load", 2.0f);
    Run(190.0f, 120);
    const restest::Picture picture = Draw(false, 640, 400, D3DXVECTOR3(10.0f, 20.0f, -45.0f));
    EXPECT_GT(Lit(picture, 0.05f), 640 * 400 / 20);
}

TEST_F(Drawing, DepthPassWritesDistanceAndItsSquareFromTheLight) {
    const restest::Picture picture = Draw(true, 256, 256, D3DXVECTOR3(0.0f, 15.0f, -70.0f));
    // "depth" draws from the light 40 above the swarm.
    int covered = 0;
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x) {
            const float* t = picture.At(x, y);
            if (t[0] < 150.0f) {
                ++covered;
                ASSERT_GT(t[0], 5.0f);
                ASSERT_NEAR(t[0] * t[0], t[1], t[1] * 1e-4f);
            }
        }
    EXPECT_GT(covered, 256 * 256 / 10);
    EXPECT_EQ(150.0f, picture.At(0, 0)[0]);
}

class WithoutMesh : public FucrrTest {};

TEST_F(WithoutMesh, NothingIsDrawnAndNothingCrashes) {
    fs::remove(project->Path("data/fucrr.obj"));
    FucrrEffect effect;
    EXPECT_EQ(nullptr, effect.mVertexBuffer);
    EXPECT_EQ(0, effect.mTrianglesPerInstance);
    fw_Texture colour(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R16G16B16A16_FLOAT, 64, 64, 1,
                      nullptr);
    colour.ClearColor(0.25f, 0.0f, 0.0f, 1.0f);
    device->OMSetRenderTargets(1, &colour.mRenderTargetView, nullptr);
    device->RSSetViewports(1, &colour.mViewport);
    effect.BindMatrixTextures(false);
    effect.BindMatrixTextures(true);
    const restest::Picture picture = restest::ReadBack(colour.mTexture2D);
    for (size_t i = 0; i < picture.rgba.size(); i += 4)
        ASSERT_EQ(0.25f, picture.rgba[i]);
    // The simulation itself still runs.
    tracks.SetConstant("Obj_MainType", 3.0f);
    UpdateAt(effect, 0.0f);
    UpdateAt(effect, 4.5f / 120.0f);
    EXPECT_EQ(1, effect.mRing);
    colour.Release();
}

}  // namespace
}  // namespace fucrrtest
