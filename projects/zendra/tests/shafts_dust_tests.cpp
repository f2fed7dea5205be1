// Light shafts and dust: vertex data from the C runtime generator, loading, the dust's
// track variables, release, and what they draw on the software device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "DustEffect.h"
#include "VolumetricLight.h"
#include "fw_Log.h"
#include "platform/crt.h"
#include "resources_support.h"
#include "shafts_dust_support.h"

namespace {

using namespace shaftsdust;
using restest::Picture;
const float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

// The original runtime's generator, apart from rand(), to predict it.
struct Generator {
    uint32_t state;
    float Next() { return float((state = state * 214013u + 2531011u) >> 16 & 0x7FFF); }
    float Signed(double scale) { return float((double(Next()) * 2.0 / 32767.0 - 1.0) * scale); }
};

struct Stats {
    double sum = 0.0, maximum = 0.0;
    size_t lit = 0;
    bool finite = true;
};

Stats Region(const Picture& p, int x0, int y0, int x1, int y1) {
    Stats s;
    for (int y = std::max(y0, 0); y < std::min<int>(y1, p.height); ++y)
        for (int x = std::max(x0, 0); x < std::min<int>(x1, p.width); ++x) {
            const float* c = p.At(x, y);
            const float l = c[0] + c[1] + c[2];
            s.finite = s.finite && std::isfinite(l) && std::isfinite(c[3]);
            s.sum += l;
            s.maximum = std::max<double>(s.maximum, l);
            s.lit += l > 1e-4f;
        }
    return s;
}
Stats Whole(const Picture& p) {
    return Region(p, 0, 0, int(p.width), int(p.height));
}

// Mean luminance around the pixel of a world point.
double Around(const Picture& p, const Camera& camera, D3DXVECTOR3 world, int r = 3) {
    const D3DXVECTOR2 c = camera.Pixel(world, p.width, p.height);
    return Region(p, int(c.x) - r, int(c.y) - r, int(c.x) + r + 1, int(c.y) + r + 1).sum / ((2 * r + 1) * (2 * r + 1));
}

bool AlphaIs(const Picture& p, float alpha) {
    for (size_t i = 3; i < p.rgba.size(); i += 4)
        if (p.rgba[i] != alpha)
            return false;
    return true;
}

class ShaftsDustTest : public restest::ResourceTest {
protected:
    void SetUp() override {
        ResourceTest::SetUp();
        fw_Log::SetEcho(std::getenv("SHAFTS_DUST_LOG") != nullptr);
        UseProductionRoots();
        ASSERT_NE(nullptr, fw_Framework::mEffectPool);
        fw_Framework::mSyncDevice = &sync;
    }
    void TearDown() override {
        fw_Framework::mDevice->ClearState();
        ResourceTest::TearDown();
    }
    restest::TestSyncDevice sync;
};

// ---- vertex data, loading, release ---------------------------------------------------------

using ShaftsDustData = ShaftsDustTest;

TEST_F(ShaftsDustData, ShaftsAreSixThousandVerticesFromTheGeneratorInItsState) {
    srand(77);
    Generator expected{77};
    VolumetricLight shafts;
    EXPECT_EQ(1000, shafts.mCount);
    EXPECT_TRUE(shafts.GetEffect()->GetTechnique("lightShaft")->IsValid());
    EXPECT_NE(nullptr, shafts.mInputLayout);
    D3D10_BUFFER_DESC desc = {};
    shafts.mVertexBuffer->GetDesc(&desc);
    EXPECT_EQ(D3D10_USAGE_IMMUTABLE, desc.Usage);
    const auto vertices = ReadVertices<VolumetricLight::Vertex>(shafts.mVertexBuffer);
    ASSERT_EQ(6000u * 8u, desc.ByteWidth);
    ASSERT_EQ(6000u, vertices.size());
    for (int s = 0; s < 1000; ++s) {
        const float a = expected.Signed(10.0), b = expected.Signed(10.0);
        for (int i = 0; i < 6; ++i) {
            const float* v = vertices[s * 6 + i].position;
            ASSERT_TRUE(v[0] == a && v[1] == b) << "shaft " << s << " vertex " << i;
            ASSERT_TRUE(std::fabs(v[0]) <= 10.0f && std::fabs(v[1]) <= 10.0f);
        }
    }
    // Two draws a shaft, no seeding: the sequence goes on from there.
    EXPECT_EQ(int(expected.Next()), rand());
}

TEST_F(ShaftsDustData, DustIsThirtyNineHundredVerticesInRangeFromTheGeneratorInItsState) {
    srand(5);
    Generator expected{5};
    DustEffect dust;
    EXPECT_EQ(1300, dust.mCount);
    EXPECT_TRUE(dust.mEffect->GetTechnique("dust")->IsValid());
    EXPECT_NE(nullptr, dust.mInputLayout);
    // The sprite, bound once.
    ID3D10ShaderResourceView* view = nullptr;
    dust.mEffect->GetVariable("gTexture")->AsShaderResource()->GetResource(&view);
    ASSERT_TRUE(gFramework->HasTexture("./data/dustParticle.png"));
    EXPECT_EQ(gFramework->FindTexture("./data/dustParticle.png")->mShaderResourceView, view);
    if (view)
        view->Release();
    const auto vertices = ReadVertices<DustEffect::Vertex>(dust.mVertexBuffer);
    ASSERT_EQ(3900u, vertices.size());
    for (int p = 0; p < 1300; ++p) {
        const float a = expected.Signed(1.0), b = expected.Signed(1.0), c = expected.Signed(1.0);
        const float d = float(double(expected.Next()) / 32767.0);
        for (int i = 0; i < 3; ++i) {
            const float* v = vertices[p * 3 + i].position;
            ASSERT_TRUE(v[0] == a && v[1] == b && v[2] == c && v[3] == d) << "particle " << p << " vertex " << i;
            for (int k = 0; k < 3; ++k)
                ASSERT_TRUE(v[k] >= -1.0f && v[k] <= 1.0f);
            ASSERT_TRUE(v[3] >= 0.0f && v[3] <= 1.0f);
        }
    }
    EXPECT_EQ(int(expected.Next()), rand());
}

template <typename Effect>
void ReleaseThenDestroy(restest::TestSyncDevice& sync) {
    auto effect = std::make_unique<Effect>();
    ID3D10Buffer* buffer = effect->mVertexBuffer;
    ID3D10InputLayout* layout = effect->mInputLayout;
    ASSERT_TRUE(buffer && layout && effect->mEffect);
    buffer->AddRef();
    layout->AddRef();
    effect->Release();
    EXPECT_TRUE(!effect->mEffect && !effect->mVertexBuffer && !effect->mInputLayout);
    // Only the test's references are left: each was released exactly once.
    EXPECT_EQ(0u, buffer->Release());
    EXPECT_EQ(0u, layout->Release());
    effect->Release();
    sync.asked.clear();
    effect->Draw();  // nothing to draw with: no track read, no draw
    EXPECT_TRUE(sync.asked.empty());
    effect.reset();  // frees nothing twice (the sanitizer build checks it)
}

TEST_F(ShaftsDustData, ReleaseFreesEachObjectOnceAndTheDestructorNothingMore) {
    ReleaseThenDestroy<VolumetricLight>(sync);
    ReleaseThenDestroy<DustEffect>(sync);
}

// ---- the dust's variables ----------------------------------------------------------------

TEST_F(ShaftsDustData, DustVariablesFromTheFourTracks) {
    DustEffect dust;
    auto check = [&](D3DXVECTOR4 dof, float colour) {
        dust.Draw();
        D3DXVECTOR4 v, pool;
        float f = -1.0f;
        dust.mEffect->GetVariable("gDepthOfFieldParameters")->AsVector()->GetFloatVector(&v.x);
        dust.mEffect->GetVariable("gColorScale")->AsScalar()->GetFloat(&f);
        // The pool's value: the scene's effects see the same vector.
        fw_Framework::mEffectPool->AsEffect()
            ->GetVariableByName("gDepthOfFieldParameters")
            ->AsVector()
            ->GetFloatVector(&pool.x);
        EXPECT_EQ(dof, v);
        EXPECT_EQ(v, pool);
        EXPECT_EQ(colour, f);
    };
    dust.mEffect->SetFloat("gColorScale", 7.0f);
    check(D3DXVECTOR4(20.0f, float(50.0 * double(0.001f)), float(50.0 * double(0.01f)), 0.0f), 1.0f);
    EXPECT_EQ((std::vector<std::string>{"DOF_Focus", "DOF_Scale", "DOF_Clamp", "DUST_ColorScale"}), sync.asked);
    const char* names[4] = {"DOF_Focus", "DOF_Scale", "DOF_Clamp", "DUST_ColorScale"};
    const float keyed[4] = {34.0f, 110.0f, 80.0f, 1.6f};
    for (int i = 0; i < 4; ++i)
        sync.SetConstant(names[i], keyed[i]);
    check(D3DXVECTOR4(34.0f, float(110.0 * double(0.001f)), float(80.0 * double(0.01f)), 0.0f), 1.6f);
    // Undefined values give the defaults: no NaN or infinity reaches the picture.
    const float undefined[4] = {kNaN, kInf, -kInf, kNaN};
    for (int i = 0; i < 4; ++i)
        sync.SetConstant(names[i], undefined[i]);
    check(D3DXVECTOR4(20.0f, 0.05f, 0.5f, 0.0f), 1.0f);
}

// ---- light shafts on the software device ---------------------------------------------------

class LightShaftPicture : public ShaftsDustTest {
protected:
    static constexpr uint32_t W = 200, H = 125;
    void SetUp() override {
        ShaftsDustTest::SetUp();
        srand(1);
        shafts = std::make_unique<VolumetricLight>();
        // Beside the light's axis at mid height, looking at the cone from the side.
        camera = SetCamera(D3DXVECTOR3(0.0f, 8.0f, 32.0f), D3DXVECTOR3(0.0f, 8.0f, 0.0f), W, H, 2.0f);
        UseMap(MakeVarianceMap(64, 20.0f, 0.0f));
        Light(0.015f);
        target = std::make_unique<Target>(W, H);
    }
    void TearDown() override {
        shafts.reset();
        target.reset();
        map->Release();
        ShaftsDustTest::TearDown();
    }
    void UseMap(fw_Texture* next) {
        if (map)
            map->Release();
        map.reset(next);
        shafts->mEffect->SetTexture("gDepthVarianceTexture", map.get());
    }
    void Light(float intensity) {
        SetLight(*shafts->mEffect, 20.0f, 90.0f, intensity, map.get());
        SetShaftCameraVariables(*shafts->mEffect, camera);
    }
    Picture Render(float clear = 0.0f, float depth = 1.0f) {
        target->Clear(clear, clear, clear, 0.5f, depth);
        target->Bind();
        shafts->Draw();
        return restest::ReadBack(target->colour.mTexture2D);
    }
    std::unique_ptr<VolumetricLight> shafts;
    std::unique_ptr<fw_Texture> map;
    std::unique_ptr<Target> target;
    Camera camera;
};

TEST_F(LightShaftPicture, LightFallsBelowTheLightWithinTheConeAndNowhereElse) {
    const Picture picture = Render();
    EXPECT_TRUE(Whole(picture).finite);
    EXPECT_TRUE(AlphaIs(picture, 0.5f));
    for (float y : {14.0f, 6.0f, 0.0f})
        EXPECT_GT(Around(picture, camera, D3DXVECTOR3(0.0f, y, 0.0f)), 0.01) << y;
    EXPECT_GT(Around(picture, camera, D3DXVECTOR3(0.0f, 16.0f, 0.0f)),
              Around(picture, camera, D3DXVECTOR3(0.0f, -6.0f, 0.0f)));
    // Nothing above the light, nothing beside the cone (5 below the light its radius is under 5).
    const int lightRow = int(camera.Pixel(D3DXVECTOR3(0.0f, 20.0f, 0.0f), W, H).y);
    EXPECT_EQ(0u, Region(picture, 0, 0, int(W), lightRow - 2).lit);
    const D3DXVECTOR2 left = camera.Pixel(D3DXVECTOR3(-12.0f, 15.0f, 0.0f), W, H);
    const D3DXVECTOR2 right = camera.Pixel(D3DXVECTOR3(12.0f, 15.0f, 0.0f), W, H);
    EXPECT_EQ(0u, Region(picture, 0, int(left.y) - 3, int(left.x), int(left.y) + 3).lit);
    EXPECT_EQ(0u, Region(picture, int(right.x) + 1, int(right.y) - 3, int(W), int(right.y) + 3).lit);
    // Hidden behind nearer depth.
    EXPECT_EQ(0u, Whole(Render(0.0f, 0.0f)).lit);
}

TEST_F(LightShaftPicture, AdditiveAndLinearInTheIntensity) {
    target = std::make_unique<Target>(W, H, DXGI_FORMAT_R32G32B32A32_FLOAT);  // exact sums
    const Picture once = Render(), onGrey = Render(0.25f);
    Light(0.03f);
    const Picture twice = Render();
    ASSERT_GT(Whole(once).lit, 500u);
    for (size_t i = 0; i < once.rgba.size(); i += 4) {
        ASSERT_NEAR(once.rgba[i] + 0.25f, onGrey.rgba[i], 1e-4f) << i / 4;
        ASSERT_NEAR(once.rgba[i] * 2.0f, twice.rgba[i], 1e-4f + once.rgba[i] * 1e-4f) << i / 4;
    }
}

TEST_F(LightShaftPicture, TheShadowCasterEndsTheShaftsBehindIt) {
    const int below = int(camera.Pixel(D3DXVECTOR3(0.0f, 13.0f, 0.0f), W, H).y);
    EXPECT_GT(Region(Render(), 0, below, int(W), int(H)).lit, 300u);
    // A caster 4 below the light across the cone: lit above it, dark beyond.
    UseMap(MakeVarianceMap(64, 20.0f, 0.0f, 4.0f));
    Picture picture = Render();
    EXPECT_GT(Around(picture, camera, D3DXVECTOR3(0.0f, 17.5f, 0.0f)), 0.02);
    EXPECT_EQ(0u, Region(picture, 0, below, int(W), int(H)).lit);
    // The caster on the rays to world x < 0 only (the left of the picture).
    UseMap(MakeVarianceMap(64, 20.0f, 0.0f, 4.0f, true));
    picture = Render();
    EXPECT_GT(Around(picture, camera, D3DXVECTOR3(5.0f, 6.0f, 0.0f), 2), 0.01);
    EXPECT_LT(Around(picture, camera, D3DXVECTOR3(-5.0f, 6.0f, 0.0f), 2), 1e-4);
}

TEST_F(LightShaftPicture, DarkOrUndefinedLightDrawsNothing) {
    for (float intensity : {0.0f, -0.5f, kNaN, kInf}) {
        shafts->mEffect->SetFloat("gLightIntensity", intensity);
        const Stats s = Whole(Render());
        EXPECT_TRUE(s.finite && s.lit == 0u) << intensity;
    }
    // Undefined matrices (a cone of 0 degrees): no shaft, no NaN in the target.
    Light(0.015f);
    float undefined[16];
    std::fill(std::begin(undefined), std::end(undefined), kNaN);
    shafts->mEffect->SetMatrix("gLightInverseViewProjection", undefined);
    const Stats s = Whole(Render());
    EXPECT_TRUE(s.finite && s.lit == 0u);
}

TEST_F(LightShaftPicture, OneDrawCoversEveryShaftOfTheBuffer) {
    // One shaft inside the cone, first and last in the buffer in turn.
    for (int inside : {0, 999}) {
        std::vector<VolumetricLight::Vertex> vertices(6000, VolumetricLight::Vertex{{10.0f, 10.0f}});
        std::fill_n(vertices.begin() + inside * 6, 6, VolumetricLight::Vertex{{0.5f, 0.0f}});
        ReplaceVertices(shafts->mVertexBuffer, vertices);
        const Stats s = Whole(Render());
        EXPECT_TRUE(s.lit > 20u && s.lit < W * H / 8) << inside;
    }
}

// ---- dust on the software device -----------------------------------------------------------

class DustPicture : public ShaftsDustTest {
protected:
    static constexpr uint32_t W = 240, H = 150;
    void SetUp() override {
        ShaftsDustTest::SetUp();
        srand(3);
        dust = std::make_unique<DustEffect>();
        target = std::make_unique<Target>(W, H);
        camera = SetCamera(D3DXVECTOR3(0.0f, 8.0f, 30.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), W, H, 4.0f);
    }
    void TearDown() override {
        dust.reset();
        target.reset();
        ShaftsDustTest::TearDown();
    }
    Picture Render(float depth = 1.0f) {
        target->Clear(0.0f, 0.0f, 0.0f, 0.25f, depth);
        target->Bind();
        dust->Draw();
        return restest::ReadBack(target->colour.mTexture2D);
    }
    std::unique_ptr<DustEffect> dust;
    std::unique_ptr<Target> target;
    Camera camera;
};

TEST_F(DustPicture, MotesAllOverThePictureWhereverTheCameraIs) {
    const Picture picture = Render();
    const Stats s = Whole(picture);
    EXPECT_TRUE(s.finite && AlphaIs(picture, 0.25f));
    EXPECT_TRUE(s.lit > W * H / 100 && s.lit < W * H / 2) << s.lit;
    for (int q = 0; q < 4; ++q)
        EXPECT_GT(Region(picture, q % 2 * W / 2, q / 2 * H / 2, (q % 2 + 1) * W / 2, (q / 2 + 1) * H / 2).lit, 10u)
            << q;
    EXPECT_EQ(0u, Whole(Render(0.0f)).lit);  // hidden behind nearer depth
    camera = SetCamera(D3DXVECTOR3(900.0f, 300.0f, -700.0f), D3DXVECTOR3(890.0f, 300.0f, -710.0f), W, H, 4.0f);
    EXPECT_GT(Whole(Render()).lit, s.lit / 3);
}

TEST_F(DustPicture, ColourScaleScalesTheLightAndNoneOrNegativeDrawsNothing) {
    const Picture one = Render();
    sync.SetConstant("DUST_ColorScale", 2.0f);
    const Picture two = Render();
    ASSERT_GT(Whole(one).lit, 100u);
    for (size_t i = 0; i < one.rgba.size(); i += 4)
        ASSERT_NEAR(one.rgba[i] * 2.0f, two.rgba[i], 2e-3f + one.rgba[i] * 4e-3f) << i / 4;
    for (float scale : {0.0f, -1.0f}) {
        sync.SetConstant("DUST_ColorScale", scale);
        EXPECT_EQ(0u, Whole(Render()).lit) << scale;
    }
    // Undefined tracks draw the default picture.
    for (const char* name : {"DOF_Focus", "DOF_Scale", "DOF_Clamp", "DUST_ColorScale"})
        sync.SetConstant(name, kNaN);
    EXPECT_EQ(one.rgba, Render().rgba);
}

TEST_F(DustPicture, DefocusSpreadsMotesIntoLargerDimmerDiscs) {
    sync.SetConstant("DOF_Scale", 0.0f);
    const Stats sharp = Whole(Render());
    sync.SetConstant("DOF_Scale", 200.0f);
    sync.SetConstant("DOF_Clamp", 100.0f);
    const Stats blurred = Whole(Render());
    EXPECT_GT(blurred.lit, sharp.lit * 3);
    EXPECT_LT(blurred.maximum, sharp.maximum);
    sync.SetConstant("DOF_Clamp", 0.0f);  // no blur allowed: as sharp as none
    EXPECT_EQ(sharp.lit, Whole(Render()).lit);
}

TEST_F(DustPicture, OneDrawCoversEveryParticleOfTheBuffer) {
    // Looking down -z from the origin: one particle in front, the rest behind the eye.
    camera = SetCamera(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, -1.0f), W, H, 0.0f);
    for (int inside : {0, 1299}) {
        std::vector<DustEffect::Vertex> vertices(3900, DustEffect::Vertex{{0.0f, 0.0f, 0.3f, 0.5f}});
        std::fill_n(vertices.begin() + inside * 3, 3, DustEffect::Vertex{{0.0f, 0.0f, -0.6f, 0.5f}});
        ReplaceVertices(dust->mVertexBuffer, vertices);
        const Stats s = Whole(Render());
        EXPECT_TRUE(s.lit > 3u && s.lit < W * H / 10) << inside;
    }
}

// ---- a frame like the show's ----------------------------------------------------------------

// The light 20 above a sphere of radius 4, the camera orbiting it (angle, distance, height);
// dust into the scene colour, shafts into their own target. With SHAFTS_DUST_PNG_DIR set,
// each frame is saved there.
class ShowFrame : public ShaftsDustTest, public testing::WithParamInterface<std::tuple<float, float, float>> {};

TEST_P(ShowFrame, ShaftsUnderTheLightShadowedBelowTheSphereAndDustAround) {
    const auto [angle, distance, height] = GetParam();
    constexpr uint32_t W = 640, H = 400;
    srand(1);
    DustEffect dust;
    VolumetricLight shafts;
    const Camera camera = SetCamera(D3DXVECTOR3(distance * std::sin(angle), height, distance * std::cos(angle)),
                                    D3DXVECTOR3(0.0f, 4.0f, 0.0f), W, H, 12.0f);
    sync.SetConstant("DOF_Focus", distance);
    Target scene(W, H), light(W, H);
    scene.Clear(0.008f, 0.010f, 0.018f, 0.0f);
    scene.Bind();
    dust.Draw();
    const Picture motes = restest::ReadBack(scene.colour.mTexture2D);
    Picture shafted[2];
    for (int sphere : {0, 1}) {
        std::unique_ptr<fw_Texture> map(MakeVarianceMap(512, 20.0f, sphere ? 4.0f : 0.0f));
        SetLight(*shafts.mEffect, 20.0f, 90.0f, float(90.0 * double(0.0003f)), map.get());
        SetShaftCameraVariables(*shafts.mEffect, camera);
        light.Clear(0.0f, 0.0f, 0.0f, 0.0f);
        light.Bind();
        shafts.Draw();
        shafted[sphere] = restest::ReadBack(light.colour.mTexture2D);
        map->Release();
    }
    EXPECT_GT(Whole(motes).lit, W * H / 200);
    EXPECT_GT(Whole(shafted[1]).lit, W * H / 20);
    // The sphere takes light away, and only below its top.
    const int top = int(camera.Pixel(D3DXVECTOR3(0.0f, 4.0f, 0.0f), W, H).y) - 8;
    EXPECT_LT(Whole(shafted[1]).sum, Whole(shafted[0]).sum * 0.98);
    EXPECT_NEAR(Region(shafted[1], 0, 0, int(W), top).sum, Region(shafted[0], 0, 0, int(W), top).sum,
                Region(shafted[0], 0, 0, int(W), top).sum * 0.01);
    if (const char* dir = std::getenv("SHAFTS_DUST_PNG_DIR")) {
        std::vector<float> sum(motes.rgba);
        for (size_t i = 0; i < sum.size(); ++i)
            sum[i] += shafted[1].rgba[i];
        EXPECT_TRUE(SavePng(std::string(dir) + "/frame_" + std::to_string(int(angle * 100)) + ".png", sum, W, H));
    }
}

INSTANTIATE_TEST_SUITE_P(Orbit, ShowFrame,
                         testing::Values(std::make_tuple(0.0f, 30.0f, 6.0f), std::make_tuple(0.9f, 24.0f, -2.0f),
                                         std::make_tuple(2.3f, 38.0f, 16.0f)));

}  // namespace
