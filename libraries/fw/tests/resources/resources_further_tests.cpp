// The further post passes: draw counts and orders, the inputs they refuse to overwrite,
// "gPixelDimInv" as each leaves it, the tone map's luminance chain, and what they draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <tuple>

#include "fw_Log.h"
#include "resources_post_support.h"

using namespace restest;

namespace {

class FurtherTest : public PostPassTest {
protected:
    // The log lines written while f runs.
    template <typename F>
    std::string Logged(F f) {
        const std::string path = project->Path("further" + std::to_string(++logs) + ".log");
        fw_Log::OpenLogFile(path);
        f();
        fw_Log::OpenLogFile("");
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    int logs = 0;
    static long Lines(const std::string& log) { return std::count(log.begin(), log.end(), '\n'); }
    static fw_Texture* Find(const std::string& name) {
        auto it = gFramework->mTextures.find(name);
        return it == gFramework->mTextures.end() ? nullptr : it->second;
    }
};

// A picture sharp in the left half (depth 0) and out of focus in the right (depth 1).
fw_Texture* HalfDepth(uint32_t w, uint32_t h) {
    return FloatImage(w, h, [w](uint32_t x, uint32_t) {
        const float z = x < w / 2 ? 0.0f : 1.0f;
        return std::vector<float>{z, z, z, 1.0f};
    });
}

fw_Texture* Checker(uint32_t w, uint32_t h) {
    return FloatImage(w, h, [](uint32_t x, uint32_t y) {
        const float v = (x + y) % 2 ? 1.0f : 0.0f;
        return std::vector<float>{v, v, v, 1.0f};
    });
}

// ---- depth of field ------------------------------------------------------------------------

TEST_F(FurtherTest, DepthOfFieldDrawsElevenTimesAndNeverWritesTheColour) {
    fw_Texture* depth = HalfDepth(32, 16);
    fw_Texture* colour = Checker(32, 16);
    fw_Texture* output = FloatTarget(32, 16, 0, 0, 0);
    fw_Texture* temporary = FloatTarget(32, 16, 0, 0, 0);
    const Picture before = ReadBack(colour->mTexture2D);
    for (bool highQuality : {false, true}) {
        const uint64_t draws = post.GetDrawCount();
        post.DepthOfField(0.0f, 0.5f, depth, colour, output, temporary, highQuality);
        EXPECT_EQ(draws + 11, post.GetDrawCount());
        EXPECT_EQ(before.rgba, ReadBack(colour->mTexture2D).rgba);
        EXPECT_EQ((std::vector<float>{0.0f, 0.5f, 0, 0}), Vector("gFocusMaxZ"));
        EXPECT_EQ(depth->mShaderResourceView, View("texView1"));
        EXPECT_EQ(colour->mShaderResourceView, View("texView2"));
        EXPECT_EQ(temporary->mShaderResourceView, View("texView3"));
        EXPECT_EQ(output->mRenderTargetView, BoundTarget());
        // In focus: the checker as it is; out of focus: blurred towards its mean.
        const Picture p = ReadBack(output->mTexture2D);
        EXPECT_EQ(before.At(4, 8)[0], p.At(4, 8)[0]);
        EXPECT_EQ(before.At(5, 8)[0], p.At(5, 8)[0]);
        EXPECT_NEAR(0.5f, p.At(26, 8)[0], 0.15f) << highQuality;
        EXPECT_NEAR(0.5f, p.At(27, 8)[0], 0.15f) << highQuality;
    }
    for (fw_Texture* t : {depth, colour, output, temporary})
        Free(t);
}

TEST_F(FurtherTest, DepthOfFieldWithALowResolutionScratchDrawsFourTimes) {
    fw_Texture* depth = HalfDepth(32, 16);
    fw_Texture* colour = Checker(32, 16);
    fw_Texture* output = FloatTarget(32, 16, 0, 0, 0);
    fw_Texture* temporary = FloatTarget(32, 16, 0, 0, 0);
    fw_Texture* scratch = FloatTarget(16, 8, 0, 0, 0, 0);
    const Picture before = ReadBack(colour->mTexture2D);
    const uint64_t draws = post.GetDrawCount();
    post.DepthOfField(0.0f, 0.5f, depth, colour, output, temporary, true, scratch);
    EXPECT_EQ(draws + 4, post.GetDrawCount());
    EXPECT_EQ(before.rgba, ReadBack(colour->mTexture2D).rgba);
    EXPECT_FLOAT_EQ(1.0f, ReadBack(scratch->mTexture2D).At(3, 3)[3]) << "the horizontal pass wrote the scratch";
    EXPECT_EQ(before.At(4, 8)[0], ReadBack(output->mTexture2D).At(4, 8)[0]);
    for (fw_Texture* t : {depth, colour, output, temporary, scratch})
        Free(t);
}

TEST_F(FurtherTest, DepthOfFieldRefusesTargetsThatAreInputs) {
    fw_Texture* depth = HalfDepth(8, 8);
    fw_Texture* colour = Checker(8, 8);
    fw_Texture* other = FloatTarget(8, 8, 0.25f, 0.25f, 0.25f);
    fw_Texture* scratch = FloatTarget(4, 4, 0, 0, 0);
    const Picture before = ReadBack(colour->mTexture2D);
    const struct {
        fw_Texture *output, *temporary, *scratch;
    } cases[] = {{colour, other, nullptr}, {other, colour, nullptr}, {other, scratch, colour},
                 {depth, other, nullptr},  {other, other, nullptr},  {other, scratch, scratch}};
    for (const auto& c : cases) {
        const uint64_t draws = post.GetDrawCount();
        const std::string log =
            Logged([&] { post.DepthOfField(0.0f, 1.0f, depth, colour, c.output, c.temporary, false, c.scratch); });
        EXPECT_EQ(draws, post.GetDrawCount());
        EXPECT_EQ(1, Lines(log)) << log;
        EXPECT_NE(std::string::npos, log.find("DepthOfField")) << log;
    }
    EXPECT_EQ(before.rgba, ReadBack(colour->mTexture2D).rgba);
    EXPECT_FLOAT_EQ(0.25f, ReadBack(other->mTexture2D).At(3, 3)[0]);
    for (fw_Texture* t : {depth, colour, other, scratch})
        Free(t);
}

// ---- downsample and blur, exponential blur -------------------------------------------------

TEST_F(FurtherTest, DownsampleAndBlurHalvesTwiceAndBlursTheThirdAQuarterTexelAtATime) {
    // A bright square in the middle of 32 x 32.
    fw_Texture* first = FloatImage(32, 32, [](uint32_t x, uint32_t y) {
        const float v = (x >= 12 && x < 20 && y >= 12 && y < 20) ? 1.0f : 0.0f;
        return std::vector<float>{v, v, v, 1.0f};
    });
    fw_Texture* second = FloatTarget(16, 16, 0, 0, 0);
    fw_Texture* third = FloatTarget(8, 8, 0, 0, 0);
    fw_Texture* scratch = FloatTarget(8, 8, 0, 0, 0);
    const uint64_t draws = post.GetDrawCount();
    post.DownsampleAndBlur(first, second, third, scratch);
    EXPECT_EQ(draws + 10, post.GetDrawCount());
    EXPECT_EQ((std::vector<float>{0.25f / 8, 0.25f / 8, 0, 0}), Vector("gPixelDimInv"));
    EXPECT_NEAR(1.0f, ReadBack(second->mTexture2D).At(7, 7)[0], 1e-5);
    const Picture p = ReadBack(third->mTexture2D);
    float sum = 0.0f;
    for (float v : p.rgba)
        sum += v;
    EXPECT_NEAR(4.0f * 3.0f + 64.0f, sum, 1e-3) << "four lit texels (three channels), blurred without loss";
    EXPECT_LT(p.At(3, 3)[0], 0.9f) << "blurred";
    EXPECT_FLOAT_EQ(p.At(3, 3)[0], p.At(4, 4)[0]);
    EXPECT_GT(p.At(5, 3)[0], 0.0f) << "spread beyond the square";
    EXPECT_LT(p.At(0, 0)[0], 0.01f);
    for (fw_Texture* t : {first, second, third, scratch})
        Free(t);
}

TEST_F(FurtherTest, DownsampleAndBlurRefusesTargetsThatAreTheSource) {
    fw_Texture* first = FloatTarget(16, 16, 0.75f, 0.75f, 0.75f);
    fw_Texture* other = FloatTarget(8, 8, 0, 0, 0);
    for (auto [second, third, scratch] :
         {std::tuple{first, other, other}, std::tuple{other, first, other}, std::tuple{other, other, first}}) {
        const uint64_t draws = post.GetDrawCount();
        const std::string log = Logged([&] { post.DownsampleAndBlur(first, second, third, scratch); });
        EXPECT_EQ(draws, post.GetDrawCount());
        EXPECT_EQ(1, Lines(log)) << log;
    }
    EXPECT_FLOAT_EQ(0.75f, ReadBack(first->mTexture2D).At(5, 5)[0]);
    Free(first);
    Free(other);
}

TEST_F(FurtherTest, ExpBlurSpreadsAnImpulseFallingOffWithDistance) {
    fw_Texture* impulse = FloatImage(16, 16, [](uint32_t x, uint32_t y) {
        const float v = (x == 8 && y == 8) ? 1.0f : 0.0f;
        return std::vector<float>{v, v, v, 1.0f};
    });
    fw_Texture* target = FloatTarget(16, 16, 0, 0, 0);
    post.ExpBlur(impulse, target);
    EXPECT_EQ((std::vector<float>{1.0f / 16, 1.0f / 16, 0, 0}), Vector("gPixelDimInv"));
    const Picture p = ReadBack(target->mTexture2D);
    EXPECT_GT(p.At(8, 8)[0], p.At(9, 8)[0]);
    EXPECT_GT(p.At(9, 8)[0], p.At(10, 9)[0]);
    EXPECT_GT(p.At(11, 8)[0], 0.0f);
    EXPECT_EQ(0.0f, p.At(12, 8)[0]);
    EXPECT_FLOAT_EQ(p.At(7, 8)[0], p.At(9, 8)[0]);
    Free(impulse);
    Free(target);
}

// ---- tone map ------------------------------------------------------------------------------

TEST_F(FurtherTest, ToneMapCreatesTenHalvingLuminanceTargetsOnFirstUse) {
    fw_Framework::mRenderWidth = 64;
    fw_Framework::mRenderHeight = 40;
    fw_Texture* source = FloatTarget(64, 40, 0.5f, 0.5f, 0.5f);
    fw_Texture* target = FloatTarget(64, 40, 0, 0, 0);
    const uint64_t draws = post.GetDrawCount();
    post.ToneMap(source, target);
    EXPECT_EQ(draws + 11, post.GetDrawCount());
    const uint32_t sizes[11][2] = {{0, 0}, {32, 20}, {16, 10}, {8, 5}, {4, 2}, {2, 1},
                                   {1, 1}, {1, 1},   {1, 1},   {1, 1}, {1, 1}};
    for (int level = 1; level <= 10; ++level) {
        fw_Texture* t = Find("r32f_downsample" + std::to_string(level));
        ASSERT_NE(nullptr, t) << level;
        EXPECT_EQ(sizes[level][0], t->GetWidth()) << level;
        EXPECT_EQ(sizes[level][1], t->GetHeight()) << level;
        EXPECT_EQ(DXGI_FORMAT_R32_FLOAT, static_cast<DXGI_FORMAT>(t->GetFormat()));
        EXPECT_EQ(1u, gFramework->mOwnedTextures.count(t));
    }
    fw_Texture* last = Find("r32f_downsample10");
    EXPECT_EQ(last->mShaderResourceView, View("texView2"));
    EXPECT_EQ((std::vector<float>{1.0f / 64, 1.0f / 40, 0, 0}), Vector("gPixelDimInv"));
    // The key of a uniform picture is its luminance: it maps to 0.18, then x / (1 + x).
    EXPECT_NEAR(std::log(0.5f + 1e-4f), ReadBack(last->mTexture2D).At(0, 0)[0], 1e-4);
    EXPECT_NEAR(0.18f / 1.18f, ReadBack(target->mTexture2D).At(10, 10)[0], 1e-3);

    const size_t textures = gFramework->mTextures.size();
    post.ToneMap(source, target);
    EXPECT_EQ(textures, gFramework->mTextures.size()) << "found, not created again";
    EXPECT_EQ(last, Find("r32f_downsample10"));
    Free(source);
    Free(target);
}

TEST_F(FurtherTest, ToneMapWithoutASourceSkipsWithOneLogLine) {
    fw_Texture* target = FloatTarget(8, 8, 0.3f, 0.3f, 0.3f);
    const uint64_t draws = post.GetDrawCount();
    const std::string log = Logged([&] { post.ToneMap(nullptr, target); });
    EXPECT_EQ(draws, post.GetDrawCount());
    EXPECT_EQ(1, Lines(log)) << log;
    EXPECT_EQ(nullptr, Find("r32f_downsample1"));
    EXPECT_FLOAT_EQ(0.3f, ReadBack(target->mTexture2D).At(1, 1)[0]);
    Free(target);
}

// ---- the other passes ----------------------------------------------------------------------

TEST_F(FurtherTest, AlbedoDirectionalBlurLightByDepthAndTheSimpleDownscale) {
    fw_Texture* albedo = FloatTarget(8, 8, 0.5f, 1.0f, 0.25f);
    fw_Texture* light = FloatTarget(8, 8, 0.5f, 0.5f, 2.0f);
    fw_Texture* target = FloatTarget(8, 8, 0, 0, 0);
    post.Albedo(albedo, light, target);
    const Picture albedoPicture = ReadBack(target->mTexture2D);
    const float* px = albedoPicture.At(2, 2);
    EXPECT_NEAR(0.25f, px[0], 1e-6);
    EXPECT_NEAR(0.5f, px[1], 1e-6);
    EXPECT_NEAR(0.5f, px[2], 1e-6);

    // A vertical line smeared sideways by a horizontal velocity, not vertically.
    fw_Texture* line = FloatImage(16, 16, [](uint32_t x, uint32_t) {
        const float v = x == 8 ? 1.0f : 0.0f;
        return std::vector<float>{v, v, v, 1.0f};
    });
    fw_Texture* velocity = FloatTarget(16, 16, 0.25f, 0.0f, 0.0f);
    fw_Texture* blurred = FloatTarget(16, 16, 0, 0, 0);
    post.DirectionalBlur(line, velocity, blurred);
    EXPECT_EQ(velocity->mShaderResourceView, View("gVelocityTex"));
    EXPECT_EQ(line->mShaderResourceView, View("gColorTex"));
    Picture p = ReadBack(blurred->mTexture2D);
    EXPECT_LT(p.At(8, 4)[0], 0.5f);
    EXPECT_GT(p.At(10, 4)[0], 0.0f);
    EXPECT_FLOAT_EQ(p.At(10, 4)[0], p.At(10, 12)[0]);

    fw_Texture* depth = FloatTarget(8, 8, 0.5f, 0.0f, 0.0f);
    device->OMSetRenderTargets(1, &target->mRenderTargetView, nullptr);
    device->RSSetViewports(1, &target->mViewport);
    post.LightByDepth(depth);
    EXPECT_EQ(target->mRenderTargetView, BoundTarget());
    EXPECT_NEAR(0.5f, ReadBack(target->mTexture2D).At(3, 3)[0], 1e-6);

    fw_Texture* big = FloatTarget(16, 16, 0.75f, 0.75f, 0.75f);
    fw_Texture* small = FloatTarget(4, 4, 0, 0, 0);
    post.HighQualityDownScaleSimple(big, small);
    EXPECT_EQ(small->mRenderTargetView, BoundTarget());
    EXPECT_EQ(4u, BoundViewports()[0].Width);
    EXPECT_NEAR(0.75f, ReadBack(small->mTexture2D).At(3, 3)[0], 1e-6);
    for (fw_Texture* t : {albedo, light, target, line, velocity, blurred, depth, big, small})
        Free(t);
}

}  // namespace
