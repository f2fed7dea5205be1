// The final passes: vignette (plain, with an overlay, with lens flares) and the three-way
// fade: their variables, track reads, random draws, bindings and what they draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "resources_post_support.h"

using namespace restest;

namespace {

// The shake factor the passes derive from one draw r.
float Factor(int r) {
    const float u = static_cast<float>(static_cast<double>(r) / 32767.0);
    return static_cast<float>(std::pow(static_cast<double>(u), 10.0));
}

// The values srand(seed) gives, in order.
std::vector<int> Sequence(unsigned seed, int count) {
    srand(seed);
    std::vector<int> values(count);
    for (int& v : values)
        v = rand();
    return values;
}

class FinalTest : public PostPassTest {
protected:
    // Every flare image and "overlay1.png": plain white, opaque.
    void WriteFlaresAndOverlay(uint32_t overlayColour = 0xFF0000FFu) {
        for (const char* name : {"prism-depot-lens-flares/02_quell.png", "flare1.png",
                                 "prism-depot-lens-flares/48_quell.png", "prism-depot-lens-flares/49_quell.png"})
            WriteImage(project->Path(std::string("data/") + name), 8, 8, 0xFFFFFFFFu);
        WriteImage(project->Path("data/overlay1.png"), 8, 8, overlayColour);
    }
    bool Loaded(const std::string& name) const { return gFramework->mTextures.count(name) != 0; }
};

// ---- track defaults, random draws and read order ------------------------------------------

TEST_F(FinalTest, WithoutKeysThePlainVignetteRunsAndEachShakenValueDrawsOnce) {
    fw_Texture* source = FloatTarget(16, 10, 0.5f, 0.5f, 0.5f);
    fw_Texture* target = FloatTarget(16, 10, 0.0f, 0.0f, 0.0f);
    const std::vector<int> expected = Sequence(77, 3);
    srand(77);
    const uint64_t draws = post.GetDrawCount();
    post.UpdateVignette(source, target, 0.0f);
    EXPECT_EQ(draws + 1, post.GetDrawCount());
    EXPECT_EQ(expected[2], rand()) << "two draws: the intensity and the fade";
    EXPECT_EQ(1.0f, Scalar("gFade"));
    EXPECT_EQ((std::vector<float>{1, 1, 1, 1}), Vector("gColorExponents"));
    EXPECT_EQ(0.0f, Scalar("gGlitch"));
    EXPECT_EQ(0.0f, Scalar("gChromaDistortion"));
    EXPECT_EQ(1.0f, Scalar("gVignetteIntensity"));
    EXPECT_EQ(0.0f, Scalar("gGrayOut"));
    EXPECT_EQ((std::vector<std::string>{"VignetteIntensity", "vignetteShake", "Post_Fade", "Post_FadeShake",
                                        "Post_Scale", "Post_BlueExp", "Post_GreenExp", "Post_RedExp", "overlayIndex",
                                        "Post_ChromaDistort", "Post_Glitch"}),
              sync.asked);
    EXPECT_EQ(source->mShaderResourceView, View("texColorBufferForVignette"));
    EXPECT_EQ(nullptr, View("texOverlay"));

    srand(77);
    post.TriFade(0.0f, source, source, source);
    EXPECT_EQ(expected[1], rand()) << "TriFade: one draw for the fade";
    srand(77);
    post.VignetteWithFlare(0.0f, 0.0f, source);
    EXPECT_EQ(expected[1], rand()) << "VignetteWithFlare: one draw for the fade";
    Free(source);
    Free(target);
}

TEST_F(FinalTest, ShakenValuesAddTheShakeTimesATenthTimesTheFactor) {
    fw_Texture* target = FloatTarget(8, 8, 0, 0, 0);
    sync.SetConstant("Post_Fade", 0.5f);
    sync.SetConstant("Post_FadeShake", 3.0f);
    sync.SetConstant("VignetteIntensity", 0.25f);
    sync.SetConstant("vignetteShake", -2.0f);
    // Look for a seed whose draws give factors well above zero.
    unsigned seed = 1;
    while (Factor(Sequence(seed, 1)[0]) < 0.3f || Factor(Sequence(seed, 2)[1]) < 0.3f)
        ++seed;
    const std::vector<int> r = Sequence(seed, 2);
    srand(seed);
    post.UpdateVignette(target, target, 0.75f);
    EXPECT_FLOAT_EQ(static_cast<float>(0.25 + Factor(r[0]) * (-2.0 * double(0.1f))), Scalar("gVignetteIntensity"));
    EXPECT_FLOAT_EQ(static_cast<float>(0.5 + 3.0 * double(0.1f) * Factor(r[1])), Scalar("gFade"));
    EXPECT_EQ(0.75f, Scalar("gGrayOut"));
    Free(target);
}

TEST_F(FinalTest, ColourTracksFeedTheirVariablesScaled) {
    fw_Texture* target = FloatTarget(8, 8, 0, 0, 0);
    sync.SetConstant("Post_RedExp", 2.0f);
    sync.SetConstant("Post_GreenExp", 3.0f);
    sync.SetConstant("Post_BlueExp", 4.0f);
    sync.SetConstant("Post_Scale", 0.5f);
    sync.SetConstant("Post_Glitch", 0.25f);
    sync.SetConstant("Post_ChromaDistort", 3.0f);
    post.UpdateVignette(target, target, 0.0f);
    EXPECT_EQ((std::vector<float>{2, 3, 4, 0.5f}), Vector("gColorExponents"));
    EXPECT_EQ(0.25f, Scalar("gGlitch"));
    EXPECT_EQ(static_cast<float>(3.0 * double(0.01f)), Scalar("gChromaDistortion"));
    Free(target);
}

// ---- overlays ----------------------------------------------------------------------------

TEST_F(FinalTest, OverlayIndexIsTruncatedTowardZero) {
    fw_Texture* target = FloatTarget(8, 8, 0, 0, 0);
    sync.SetConstant("overlayIndex", 2.9f);
    post.UpdateVignette(target, target, 0.0f);
    EXPECT_TRUE(Loaded("overlay2.png"));
    EXPECT_EQ(2, Int("gOverlayIndex"));
    EXPECT_EQ(gFramework->mTextures["overlay2.png"]->mShaderResourceView, View("texOverlay"));

    sync.SetConstant("overlayIndex", -1.5f);
    post.UpdateVignette(target, target, 0.0f);
    EXPECT_TRUE(Loaded("overlay-1.png"));
    EXPECT_EQ(-1, Int("gOverlayIndex"));

    const size_t textures = gFramework->mTextures.size();
    sync.SetConstant("overlayIndex", 0.99f);
    sync.asked.clear();
    post.UpdateVignette(target, target, 0.0f);
    EXPECT_EQ(textures, gFramework->mTextures.size());
    EXPECT_EQ(-1, Int("gOverlayIndex")) << "no overlay leaves the last value";
    EXPECT_EQ(0, std::count(sync.asked.begin(), sync.asked.end(), "overlayScale"));
    Free(target);
}

TEST_F(FinalTest, OverlayIndicesBeyondTheIntegerRangeSaturateAndNaNSelectsNone) {
    fw_Texture* target = FloatTarget(8, 8, 0, 0, 0);
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        const char* image;
    } cases[] = {{inf, "overlay2147483647.png"},
                 {-inf, "overlay-2147483648.png"},
                 {3e9f, "overlay2147483647.png"},
                 {-1e20f, "overlay-2147483648.png"}};
    for (const auto& c : cases) {
        sync.SetConstant("overlayIndex", c.value);
        post.UpdateVignette(target, target, 0.0f);
        EXPECT_TRUE(Loaded(c.image)) << c.value;
    }
    EXPECT_EQ(INT32_MIN, Int("gOverlayIndex"));
    const size_t textures = gFramework->mTextures.size();
    const uint64_t draws = post.GetDrawCount();
    sync.SetConstant("overlayIndex", std::nanf(""));
    post.UpdateVignette(target, target, 0.0f);
    EXPECT_EQ(textures, gFramework->mTextures.size());
    EXPECT_EQ(draws + 1, post.GetDrawCount());
    Free(target);
}

TEST_F(FinalTest, OverlayScaleIsInvertedAndCorrectedForTheAspect) {
    fw_Texture* target = FloatTarget(8, 8, 0, 0, 0);
    sync.SetConstant("overlayIndex", 1.0f);
    sync.SetConstant("overlayScale", 0.0f);
    sync.SetConstant("overlayAlphaScale", 0.5f);
    post.UpdateVignette(target, target, 0.0f);
    EXPECT_EQ((std::vector<float>{0, 0, 0, 0}), Vector("gOverlayUVscale"));
    EXPECT_EQ(0.5f, Scalar("gOverlayAlphaScale"));

    sync.SetConstant("overlayScale", 2.0f);
    post.UpdateVignette(target, target, 0.0f);
    EXPECT_EQ((std::vector<float>{0.5f, 0.5f, 0, 0}), Vector("gOverlayUVscale"));

    fw_Framework::mRenderWidth = 1920;  // aspect 2.4
    post.UpdateVignette(target, target, 0.0f);
    const float aspect = static_cast<float>(1920.0 / 800.0);
    EXPECT_EQ((std::vector<float>{0.5f, static_cast<float>(0.5 * double(1.6f) / double(aspect)), 0, 0}),
              Vector("gOverlayUVscale"));
    Free(target);
}

// ---- three-way fade ----------------------------------------------------------------------

TEST_F(FinalTest, TriFadeSetsItsInputsAndDrawsIntoTheBoundTarget) {
    fw_Texture* a = FloatTarget(8, 8, 1, 0, 0);
    fw_Texture* b = FloatTarget(8, 8, 0, 1, 0);
    fw_Texture* c = FloatTarget(8, 8, 0, 0, 1);
    fw_Texture* out = FloatTarget(8, 8, 0, 0, 0);
    device->OMSetRenderTargets(1, &out->mRenderTargetView, nullptr);
    D3D10_VIEWPORT half = out->mViewport;
    half.Width = 4;
    device->RSSetViewports(1, &half);
    sync.SetConstant("Post_Glitch", 0.5f);
    post.TriFade(0.25f, a, b, c);
    EXPECT_EQ(0.25f, Scalar("gTriFadeParameter"));
    EXPECT_EQ((std::vector<float>{1, 1, 0, 0}), Vector("gOverlayUVscale"));
    EXPECT_EQ(0.5f, Scalar("gGlitch"));
    EXPECT_EQ(a->mShaderResourceView, View("texView1"));
    EXPECT_EQ(b->mShaderResourceView, View("texView2"));
    EXPECT_EQ(c->mShaderResourceView, View("texView3"));
    EXPECT_EQ(out->mRenderTargetView, BoundTarget());
    ASSERT_EQ(1u, BoundViewports().size());
    EXPECT_EQ(4u, BoundViewports()[0].Width);
    const Picture p = ReadBack(out->mTexture2D);
    EXPECT_GT(p.At(1, 4)[0] + p.At(1, 4)[1], 0.5f);
    EXPECT_EQ(0.0f, p.At(6, 4)[1]) << "outside the bound viewport";

    fw_Framework::mRenderWidth = 1600;  // aspect 2
    post.TriFade(0.0f, a, b, c);
    EXPECT_EQ((std::vector<float>{1, 0.8f, 0, 0}), Vector("gOverlayUVscale"));
    for (fw_Texture* t : {a, b, c, out})
        Free(t);
}

TEST_F(FinalTest, TriFadeShowsTheFirstAtZeroTheSecondAtHalfTheThirdAtOne) {
    fw_Texture* a = FloatTarget(8, 8, 0.8f, 0.1f, 0.1f);
    fw_Texture* b = FloatTarget(8, 8, 0.1f, 0.8f, 0.1f);
    fw_Texture* c = FloatTarget(8, 8, 0.1f, 0.1f, 0.8f);
    fw_Texture* out = FloatTarget(8, 8, 0, 0, 0);
    device->OMSetRenderTargets(1, &out->mRenderTargetView, nullptr);
    device->RSSetViewports(1, &out->mViewport);
    const struct {
        float parameter, r, g, b;
    } cases[] = {
        {0.0f, 0.8f, 0.1f, 0.1f}, {0.5f, 0.1f, 0.8f, 0.1f}, {1.0f, 0.1f, 0.1f, 0.8f}, {0.75f, 0.1f, 0.45f, 0.45f}};
    for (const auto& k : cases) {
        post.TriFade(k.parameter, a, b, c);
        const Picture p = ReadBack(out->mTexture2D);
        const float* px = p.At(3, 5);
        EXPECT_NEAR(k.r, px[0], 1e-5) << k.parameter;
        EXPECT_NEAR(k.g, px[1], 1e-5) << k.parameter;
        EXPECT_NEAR(k.b, px[2], 1e-5) << k.parameter;
    }
    // Fade and exponents grade the first image; the others come graded already.
    sync.SetConstant("Post_Fade", 0.0f);
    post.TriFade(0.0f, a, b, c);
    EXPECT_EQ(0.0f, ReadBack(out->mTexture2D).At(3, 5)[0]);
    post.TriFade(1.0f, a, b, c);
    EXPECT_NEAR(0.8f, ReadBack(out->mTexture2D).At(3, 5)[2], 1e-5);
    for (fw_Texture* t : {a, b, c, out})
        Free(t);
}

// ---- lens flares ---------------------------------------------------------------------------

class FlareTest : public FinalTest {
protected:
    std::vector<float> Sizes() {
        return {Vector("gFlareData1")[2], Vector("gFlareData2")[2], Vector("gFlareData3")[2], Vector("gFlareData4")[2]};
    }
};

TEST_F(FlareTest, FlareDataFollowTheEdgeWeight) {
    fw_Texture* source = FloatTarget(8, 8, 0, 0, 0);
    post.VignetteWithFlare(0.0f, 0.0f, source);
    EXPECT_EQ((std::vector<float>{2, 0, 0.7f, 0.35f}), Sizes());
    post.VignetteWithFlare(1.0f, 0.0f, source);
    EXPECT_EQ((std::vector<float>{4, 0.1f, 1.4f, 0.7f}), Sizes());
    post.VignetteWithFlare(0.945f, 0.0f, source);
    EXPECT_NEAR(3.0f, Sizes()[0], 1e-5) << "edge weight 0.5";
    EXPECT_NEAR(0.05f, Sizes()[1], 1e-6);
    post.VignetteWithFlare(1.3f, 0.0f, source);
    EXPECT_EQ((std::vector<float>{2, 0, 0.7f, 0.35f}), Sizes());
    post.VignetteWithFlare(-0.5f, 1.0f, source);  // the top border
    EXPECT_EQ(4.0f, Sizes()[0]);

    post.VignetteWithFlare(0.25f, -0.5f, source);
    EXPECT_EQ((std::vector<float>{0.25f, 0.5f, 2, 1}), Vector("gFlareData1"));
    EXPECT_EQ((std::vector<float>{0.25f, 0.5f, 0, 0.45f}), Vector("gFlareData2"));
    EXPECT_EQ((std::vector<float>{-0.25f, -0.5f, 0.7f, 1}), Vector("gFlareData3"));
    EXPECT_EQ((std::vector<float>{-0.25f, -0.5f, 0.35f, 1}), Vector("gFlareData4"));
    Free(source);
}

TEST_F(FlareTest, ALightThatIsNotFiniteHasNoEdgeWeightAndFiniteData) {
    fw_Texture* source = FloatTarget(8, 8, 0, 0, 0);
    const float inf = std::numeric_limits<float>::infinity();
    for (auto [x, y] : {std::pair{std::nanf(""), 0.0f}, std::pair{inf, 0.5f}, std::pair{0.5f, -inf}}) {
        post.VignetteWithFlare(x, y, source);
        EXPECT_EQ((std::vector<float>{2, 0, 0.7f, 0.35f}), Sizes()) << x << "," << y;
        for (const char* name : {"gFlareData1", "gFlareData2", "gFlareData3", "gFlareData4"})
            for (float v : Vector(name))
                EXPECT_TRUE(std::isfinite(v)) << name;
    }
    Free(source);
}

TEST_F(FlareTest, FlaresLoadTheirImagesAndLeaveBindingsAndOtherVariablesAlone) {
    WriteFlaresAndOverlay();
    fw_Texture* source = FloatTarget(8, 8, 0, 0, 0);
    fw_Texture* out = FloatTarget(8, 8, 0, 0, 0);
    device->OMSetRenderTargets(1, &out->mRenderTargetView, nullptr);
    D3D10_VIEWPORT vp = out->mViewport;
    vp.TopLeftY = 2;
    vp.Height = 3;
    device->RSSetViewports(1, &vp);
    post.GetEffect()->SetFloat("gVignetteIntensity", 0.3f);
    post.GetEffect()->SetFloat("gGrayOut", 0.6f);
    post.GetEffect()->SetFloat4("gOverlayUVscale", 2, 3, 4, 5);
    const uint64_t draws = post.GetDrawCount();
    post.VignetteWithFlare(0.2f, 0.2f, source);
    EXPECT_EQ(draws + 1, post.GetDrawCount());
    const char* images[] = {"./prism-depot-lens-flares/02_quell.png", "./flare1.png",
                            "./prism-depot-lens-flares/48_quell.png", "./prism-depot-lens-flares/49_quell.png"};
    const char* variables[] = {"gFlareTexture1", "gFlareTexture2", "gFlareTexture3", "gFlareTexture4"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(Loaded(images[i])) << images[i];
        EXPECT_EQ(gFramework->mTextures[images[i]]->mShaderResourceView, View(variables[i]));
    }
    EXPECT_EQ(source->mShaderResourceView, View("texColorBufferForVignette"));
    EXPECT_FLOAT_EQ(0.3f, Scalar("gVignetteIntensity"));
    EXPECT_FLOAT_EQ(0.6f, Scalar("gGrayOut"));
    EXPECT_EQ((std::vector<float>{2, 3, 4, 5}), Vector("gOverlayUVscale"));
    EXPECT_EQ(out->mRenderTargetView, BoundTarget());
    ASSERT_EQ(1u, BoundViewports().size());
    EXPECT_EQ(2, BoundViewports()[0].TopLeftY);
    const Picture p = ReadBack(out->mTexture2D);
    EXPECT_EQ(0.0f, p.At(4, 0)[0]) << "above the bound viewport";
    EXPECT_GT(p.At(4, 3)[0], 0.0f) << "the white flares";
    Free(source);
    Free(out);
}

TEST_F(FinalTest, VignetteWithOverlayBindsItsTargetAndLeavesItBound) {
    fw_Texture* source = FloatTarget(8, 8, 0, 0, 0);
    fw_Texture* target = FloatTarget(16, 10, 0, 0, 0);
    fw_Texture* other = FloatTarget(4, 4, 0, 0, 0);
    device->OMSetRenderTargets(1, &other->mRenderTargetView, nullptr);
    device->RSSetViewports(1, &other->mViewport);
    post.VignetteWithOverlay(source, target, 0.5f, 0.25f);
    EXPECT_EQ(target->mRenderTargetView, BoundTarget());
    ASSERT_EQ(1u, BoundViewports().size());
    EXPECT_EQ(16u, BoundViewports()[0].Width);
    EXPECT_EQ(10u, BoundViewports()[0].Height);
    EXPECT_EQ(0.5f, Scalar("gVignetteIntensity"));
    EXPECT_EQ(0.25f, Scalar("gGrayOut"));
    for (fw_Texture* t : {source, target, other})
        Free(t);
}

// ---- what the grade draws ------------------------------------------------------------------

class GradeTest : public FinalTest {
protected:
    void SetUp() override {
        FinalTest::SetUp();
        source = FloatTarget(64, 40, 0.5f, 0.5f, 0.5f);
        target = FloatTarget(64, 40, 0, 0, 0);
    }
    void TearDown() override {
        Free(source);
        Free(target);
        FinalTest::TearDown();
    }
    const float* At(uint32_t x, uint32_t y) {
        picture = ReadBack(target->mTexture2D);
        return picture.At(x, y);
    }
    fw_Texture* source = nullptr;
    fw_Texture* target = nullptr;
    Picture picture;
};

TEST_F(GradeTest, TheVignetteDarkensTheCornersByTheIntensity) {
    post.UpdateVignette(source, target, 0.0f);
    const float centre = At(32, 20)[0];
    EXPECT_NEAR(0.5f, centre, 0.02f);
    EXPECT_LT(At(0, 0)[0], centre * 0.3f);
    EXPECT_LT(At(63, 39)[1], centre * 0.3f);
    const float edge = At(32, 0)[2], corner = At(0, 0)[2];
    EXPECT_LT(edge, centre);
    EXPECT_GT(edge, corner);

    sync.SetConstant("VignetteIntensity", 0.0f);
    post.UpdateVignette(source, target, 0.0f);
    EXPECT_FLOAT_EQ(0.5f, At(0, 0)[0]);
    sync.SetConstant("VignetteIntensity", 0.5f);
    post.UpdateVignette(source, target, 0.0f);
    EXPECT_GT(At(0, 0)[0], 0.25f);
    EXPECT_LT(At(0, 0)[0], 0.4f);
}

TEST_F(GradeTest, FadeZeroGivesBlackInEveryVignettePass) {
    WriteFlaresAndOverlay();
    sync.SetConstant("Post_Fade", 0.0f);
    post.UpdateVignette(source, target, 0.0f);
    EXPECT_EQ(0.0f, At(32, 20)[0]);
    sync.SetConstant("overlayIndex", 1.0f);
    post.UpdateVignette(source, target, 0.0f);
    EXPECT_EQ(0.0f, At(32, 20)[0]);
    device->OMSetRenderTargets(1, &target->mRenderTargetView, nullptr);
    post.VignetteWithFlare(0.0f, 0.0f, source);
    EXPECT_EQ(0.0f, At(32, 20)[0]);
    EXPECT_EQ(0.0f, At(33, 21)[1]);

    sync.SetConstant("Post_Fade", 0.5f);
    sync.SetConstant("overlayIndex", 0.0f);
    post.VignetteWithOverlay(source, target, 0.0f, 0.0f);
    EXPECT_NEAR(0.25f, At(32, 20)[2], 1e-6) << "0.5 halves the picture";
}

TEST_F(GradeTest, ARedExponentChangesRedOnlyAndTheScaleAllChannels) {
    sync.SetConstant("Post_RedExp", 2.0f);
    post.VignetteWithOverlay(source, target, 0.0f, 0.0f);
    EXPECT_NEAR(0.25f, At(10, 10)[0], 1e-6);
    EXPECT_NEAR(0.5f, At(10, 10)[1], 1e-6);
    EXPECT_NEAR(0.5f, At(10, 10)[2], 1e-6);
    sync.SetConstant("Post_Scale", 1.5f);
    post.VignetteWithOverlay(source, target, 0.0f, 0.0f);
    EXPECT_NEAR(0.375f, At(10, 10)[0], 1e-6);
    EXPECT_NEAR(0.75f, At(10, 10)[1], 1e-6);
}

TEST_F(GradeTest, GreyOutTakesTheColourAway) {
    fw_Texture* colour = FloatTarget(64, 40, 0.9f, 0.2f, 0.1f);
    post.VignetteWithOverlay(colour, target, 0.0f, 1.0f);
    const float* px = At(20, 20);
    EXPECT_NEAR(px[0], px[1], 1e-6);
    EXPECT_NEAR(px[1], px[2], 1e-6);
    post.VignetteWithOverlay(colour, target, 0.0f, 0.0f);
    EXPECT_NEAR(0.9f, At(20, 20)[0], 1e-6);
    Free(colour);
}

TEST_F(GradeTest, ChromaticDistortionSamplesRedAndBlueApartAlongTheRadius) {
    // A white disc in the middle on black.
    fw_Texture* disc = FloatImage(64, 40, [](uint32_t x, uint32_t y) {
        const float d = std::hypot(x + 0.5f - 32.0f, y + 0.5f - 20.0f);
        const float v = d < 12.0f ? 1.0f : 0.0f;
        return std::vector<float>{v, v, v, 1.0f};
    });
    sync.SetConstant("Post_ChromaDistort", 20.0f);  // 0.2
    post.VignetteWithOverlay(disc, target, 0.0f, 0.0f);
    // Just outside the disc, red is read from further out (black) and blue from further in.
    const float* rim = At(32 + 13, 20);
    EXPECT_EQ(0.0f, rim[0]);
    EXPECT_EQ(0.0f, rim[1]);
    EXPECT_GT(rim[2], 0.5f);
    // Just inside it, red falls off first.
    const float* inside = At(32 + 10, 20);
    EXPECT_LT(inside[0], 0.5f);
    EXPECT_GT(inside[1], 0.99f);
    EXPECT_GT(inside[2], 0.99f);
    EXPECT_GT(At(32, 20)[0], 0.99f) << "the centre does not move";
    Free(disc);
}

TEST_F(GradeTest, GlitchShiftsLinesAndBlocksAndChangesWithTime) {
    fw_Texture* ramp = FloatImage(64, 40, [](uint32_t x, uint32_t) {
        const float v = (x + 0.5f) / 64.0f;
        return std::vector<float>{v, v, v, 1.0f};
    });
    post.VignetteWithOverlay(ramp, target, 0.0f, 0.0f);
    const Picture clean = ReadBack(target->mTexture2D);
    sync.SetConstant("Post_Glitch", 1.0f);
    SetTime(3.0f);
    post.VignetteWithOverlay(ramp, target, 0.0f, 0.0f);
    const Picture glitched = ReadBack(target->mTexture2D);
    SetTime(7.5f);
    post.VignetteWithOverlay(ramp, target, 0.0f, 0.0f);
    const Picture later = ReadBack(target->mTexture2D);
    int moved = 0, differs = 0;
    for (uint32_t y = 0; y < 40; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            moved += std::fabs(clean.At(x, y)[0] - glitched.At(x, y)[0]) > 0.01f;
            differs += std::fabs(later.At(x, y)[0] - glitched.At(x, y)[0]) > 0.01f;
        }
    EXPECT_GT(moved, 64 * 40 / 10);
    EXPECT_LT(moved, 64 * 40);
    EXPECT_GT(differs, 64 * 40 / 10);
    EXPECT_NEAR(clean.At(10, 10)[0], (10 + 0.5f) / 64.0f, 1e-5) << "no glitch: the picture as it is";
    Free(ramp);
}

TEST_F(GradeTest, TheOverlayIsCompositedByItsScaleAndAlpha) {
    WriteFlaresAndOverlay(0xFF0000FFu);  // opaque red
    sync.SetConstant("overlayIndex", 1.0f);
    sync.SetConstant("overlayAlphaScale", 0.5f);
    post.VignetteWithOverlay(source, target, 0.0f, 0.0f);
    EXPECT_NEAR(0.75f, At(32, 20)[0], 1e-3);
    EXPECT_NEAR(0.25f, At(32, 20)[1], 1e-3);
    EXPECT_NEAR(0.75f, At(0, 0)[0], 1e-3) << "scale 1 covers the picture";
    sync.SetConstant("overlayScale", 0.5f);  // half the size, in the middle
    post.VignetteWithOverlay(source, target, 0.0f, 0.0f);
    EXPECT_NEAR(0.75f, At(32, 20)[0], 1e-3);
    EXPECT_NEAR(0.5f, At(4, 3)[0], 1e-3);
    EXPECT_NEAR(0.5f, At(60, 37)[1], 1e-3);
    sync.SetConstant("overlayAlphaScale", 0.0f);
    post.VignetteWithOverlay(source, target, 0.0f, 0.0f);
    EXPECT_NEAR(0.5f, At(32, 20)[0], 1e-6);
}

TEST_F(GradeTest, FlaresAddLightAroundTheLightAndItsReflection) {
    WriteFlaresAndOverlay();
    device->OMSetRenderTargets(1, &target->mRenderTargetView, nullptr);
    device->RSSetViewports(1, &target->mViewport);
    fw_Texture* black = FloatTarget(64, 40, 0, 0, 0);
    post.GetEffect()->SetFloat("gVignetteIntensity", 0.0f);
    // Light in the upper right: flare 1 (size 2) around it, the reflections in the lower left.
    post.VignetteWithFlare(0.5f, 0.5f, black);
    EXPECT_NEAR(1.0f, At(48, 10)[0], 1e-3) << "flare 1 at the light";
    EXPECT_NEAR(2.0f, At(16, 30)[0], 1e-3) << "flares 3 and 4 at the reflection";
    EXPECT_NEAR(1.0f, At(22, 23)[0], 1e-3) << "flare 3 only";
    EXPECT_EQ(0.0f, At(63, 39)[0]) << "nothing far from both";
    Free(black);
}

// A soft lens-flare image: a glow (0), a ring (1), a hexagonal ghost (2) or a disc (3).
void WriteFlareImage(const std::string& path, int kind, float r, float g, float b) {
    WriteImageWith(path, 128, 128, [=](uint32_t x, uint32_t y) {
        const double u = (x + 0.5) / 64.0 - 1.0, v = (y + 0.5) / 64.0 - 1.0, d = std::hypot(u, v);
        const double angle = std::atan2(v, u), sector = std::fmod(angle + 20.0 * M_PI, M_PI / 3.0) - M_PI / 6.0;
        const double k[4] = {
            std::exp(-d * 6.0) + 0.2 * std::exp(-d * 2.0), std::exp(-std::pow((d - 0.7) / 0.08, 2)) * 0.6,
            (d * std::cos(sector) / std::cos(M_PI / 6.0) < 0.75 ? 0.25 : 0.0), std::max(0.0, 1.0 - d / 0.9) * 0.35};
        const double a = std::clamp(k[kind], 0.0, 1.0) * std::clamp((1.0 - d) / 0.15, 0.0, 1.0);
        auto byte = [a](float c) { return static_cast<uint32_t>(std::lround(std::clamp(a * c, 0.0, 1.0) * 255.0)); };
        return 0xFF000000u | byte(b) << 16 | byte(g) << 8 | byte(r);
    });
}

// Pictures for people to look at: the grade, the flares and the glitch over a test picture.
TEST_F(FinalTest, GradedPicturesKeepTheMiddleAndDarkenTheBorders) {
    WriteFlareImage(project->Path("data/prism-depot-lens-flares/02_quell.png"), 0, 1.0f, 0.94f, 0.85f);
    WriteFlareImage(project->Path("data/flare1.png"), 1, 1.0f, 0.85f, 0.63f);
    WriteFlareImage(project->Path("data/prism-depot-lens-flares/48_quell.png"), 2, 0.63f, 0.78f, 1.0f);
    WriteFlareImage(project->Path("data/prism-depot-lens-flares/49_quell.png"), 3, 1.0f, 0.7f, 0.88f);
    fw_Texture* scene = FloatImage(320, 200, [](uint32_t x, uint32_t y) {
        const float u = x / 320.0f, v = y / 200.0f;
        const bool stripe = (static_cast<int>(u * 10) + static_cast<int>(v * 6)) % 2 == 0;
        const float sky = 1.0f - v;
        return std::vector<float>{0.2f + 0.6f * sky * (stripe ? 1.0f : 0.7f), 0.35f + 0.4f * u,
                                  0.6f * sky + 0.3f * (stripe ? 0.0f : 1.0f), 1.0f};
    });
    fw_Texture* out = FloatTarget(320, 200, 0, 0, 0);
    post.UpdateVignette(scene, out, 0.0f);
    SavePicture(scene, "source");
    SavePicture(out, "vignette");
    const Picture graded = ReadBack(out->mTexture2D), original = ReadBack(scene->mTexture2D);
    EXPECT_NEAR(original.At(160, 100)[1], graded.At(160, 100)[1], 0.02f);
    EXPECT_LT(graded.At(2, 2)[1], original.At(2, 2)[1] * 0.3f);

    sync.SetConstant("Post_Glitch", 0.6f);
    sync.SetConstant("Post_ChromaDistort", 1.5f);
    SetTime(2.0f);
    post.UpdateVignette(scene, out, 0.0f);
    SavePicture(out, "glitch");
    sync.SetConstant("Post_Glitch", 0.0f);
    sync.SetConstant("Post_ChromaDistort", 0.0f);
    device->OMSetRenderTargets(1, &out->mRenderTargetView, nullptr);
    device->RSSetViewports(1, &out->mViewport);
    post.VignetteWithFlare(0.6f, 0.55f, scene);
    SavePicture(out, "flare");
    EXPECT_GT(ReadBack(out->mTexture2D).At(256, 45)[1], original.At(256, 45)[1]);
    Free(scene);
    Free(out);
}

}  // namespace
