// The screen quad and the post passes on the software device: what they draw, where, and
// how many times.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "fw_Effect.h"
#include "fw_Log.h"
#include "fw_PostEffects.h"
#include "fw_Release.h"
#include "fw_ScreenQuad.h"
#include "platform/d3dx10effect.h"
#include "resources_support.h"

using namespace restest;

namespace {

constexpr DXGI_FORMAT kFloat4 = DXGI_FORMAT_R32G32B32A32_FLOAT;

const char* kQuadEffect = R"(
blend_state Add { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; };
depth_stencil_state NoDepth { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state NoCull { CullMode = NONE; };
void VS(in vec3 pos : POSITION, out vec4 hpos : SV_Position) { hpos = vec4(pos, 1.0); }
void QuarterPS(out vec4 color : SV_Target0) { color = vec4(0.25); }
technique Twice {
    pass A { VertexShader = VS; PixelShader = QuarterPS; BlendState = Add; DepthStencilState = NoDepth; RasterizerState = NoCull; }
    pass B { VertexShader = VS; PixelShader = QuarterPS; BlendState = Add; DepthStencilState = NoDepth; RasterizerState = NoCull; }
}
)";

fw_Texture* Target(uint32_t w, uint32_t h, float value) {
    fw_Texture* t = new fw_Texture(kTargetBindFlags, kFloat4, w, h, 1, nullptr);
    t->ClearGrey(value);
    return t;
}

void Delete(fw_Texture* t) {
    ReleaseAndDelete(t);
}

void Bind(ID3D10Device* device, fw_Texture* t, UINT viewports = 1) {
    device->OMSetRenderTargets(1, &t->mRenderTargetView, nullptr);
    D3D10_VIEWPORT vp[3] = {t->mViewport, t->mViewport, t->mViewport};
    device->RSSetViewports(viewports, vp);
}

class QuadTest : public ResourceTest {
protected:
    void SetUp() override {
        ResourceTest::SetUp();
        project->Write("src/shaders/quad.fx", kQuadEffect);
        effect = std::make_unique<fw_Effect>("quad.fx", nullptr);
        ASSERT_TRUE(effect->IsValid());
        quad = std::make_unique<fw_ScreenQuad>(effect->GetTechnique("Twice"));
    }
    void TearDown() override {
        quad.reset();
        effect.reset();
        ResourceTest::TearDown();
    }
    std::unique_ptr<fw_Effect> effect;
    std::unique_ptr<fw_ScreenQuad> quad;
};

TEST_F(QuadTest, EachPassIsAppliedAndDrawnOnce) {
    ASSERT_NE(nullptr, quad->mInputLayout);
    fw_Texture* t = Target(4, 4, 0.0f);
    Bind(device, t);
    EXPECT_EQ(2u, quad->Draw(effect->GetTechnique("Twice")));
    const Picture p = ReadBack(t->mTexture2D);
    EXPECT_FLOAT_EQ(0.5f, p.At(0, 0)[0]);
    EXPECT_FLOAT_EQ(0.5f, p.At(3, 3)[1]);
    Delete(t);
}

TEST_F(QuadTest, AnInvalidTechniqueDrawsNothing) {
    fw_Texture* t = Target(4, 4, 0.125f);
    Bind(device, t);
    EXPECT_EQ(0u, quad->Draw(effect->GetTechnique("Missing")));
    EXPECT_EQ(0u, quad->Draw(nullptr));
    EXPECT_FLOAT_EQ(0.125f, ReadBack(t->mTexture2D).At(2, 2)[0]);
    Delete(t);
}

TEST_F(QuadTest, DrawInRectReplacesEveryViewportAndRestoresThem) {
    fw_Texture* t = Target(8, 8, 0.0f);
    Bind(device, t, 3);
    const RECT rect = {2, 1, 5, 4};
    EXPECT_EQ(2u, quad->DrawInRect(rect, effect->GetTechnique("Twice")));
    const Picture p = ReadBack(t->mTexture2D);
    EXPECT_FLOAT_EQ(0.5f, p.At(2, 1)[0]);
    EXPECT_FLOAT_EQ(0.5f, p.At(4, 3)[0]);
    EXPECT_FLOAT_EQ(0.0f, p.At(5, 3)[0]);
    EXPECT_FLOAT_EQ(0.0f, p.At(4, 4)[0]);
    EXPECT_FLOAT_EQ(0.0f, p.At(1, 1)[0]);
    UINT count = 16;
    D3D10_VIEWPORT after[16] = {};
    device->RSGetViewports(&count, after);
    ASSERT_EQ(3u, count);
    for (UINT i = 0; i < 3; ++i) {
        EXPECT_EQ(8u, after[i].Width);
        EXPECT_EQ(0, after[i].TopLeftX);
    }
    Delete(t);
}

TEST_F(QuadTest, AnInvertedRectangleClampsToNothing) {
    fw_Texture* t = Target(8, 8, 0.0f);
    Bind(device, t);
    const RECT inverted = {6, 6, 2, 2};
    quad->DrawInRect(inverted, effect->GetTechnique("Twice"));
    const Picture p = ReadBack(t->mTexture2D);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            ASSERT_EQ(0.0f, p.At(x, y)[0]) << x << "," << y;
    UINT count = 16;
    D3D10_VIEWPORT after[16] = {};
    device->RSGetViewports(&count, after);
    EXPECT_EQ(1u, count);
    EXPECT_EQ(8u, after[0].Height);

    device->RSSetViewports(0, nullptr);
    EXPECT_EQ(2u, quad->DrawInRect({0, 0, 4, 4}, effect->GetTechnique("Twice")));
    count = 16;
    device->RSGetViewports(&count, after);
    EXPECT_EQ(0u, count);
    Delete(t);
}

TEST_F(QuadTest, ReleaseTwiceIsHarmless) {
    quad->Release();
    EXPECT_EQ(nullptr, quad->mVertexBuffer);
    EXPECT_EQ(nullptr, quad->mIndexBuffer);
    EXPECT_EQ(nullptr, quad->mInputLayout);
    quad->Release();
}

class PostTest : public ResourceTest {
protected:
    void SetUp() override {
        ResourceTest::SetUp();
        fw_Framework::mEffectPool = CreateSharedEffectPool();
        ASSERT_NE(nullptr, fw_Framework::mEffectPool);
        fw_Framework::mPostEffects = &post;
        post.Load();
        ASSERT_TRUE(post.IsLoaded());
        fw_Framework::mSyncDevice = &sync;
    }
    void TearDown() override {
        post.Release();
        fw_Framework::mPostEffects = nullptr;
        ResourceTest::TearDown();
    }
    std::vector<float> Vector(const char* name) {
        std::vector<float> v(4);
        post.GetEffect()->GetVariable(name)->AsVector()->GetFloatVector(v.data());
        return v;
    }
    // The two chains Bloom reads, at 64 x 64 and below, in a format the tests read back.
    void MakeBloomChains() {
        CreateDownsampleChain("r16g16b16a16f_1", kTargetBindFlags, kFloat4, 64, 64);
        CreateDownsampleChain("r16g16b16a16f_2", kTargetBindFlags, kFloat4, 64, 64);
    }
    fw_PostEffects post;
    TestSyncDevice sync;
};

TEST_F(PostTest, CopyIntoASmallerTargetAverages) {
    const float texels[16] = {0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 1, 3, 3, 3, 1};
    fw_Texture source(kTargetBindFlags, kFloat4, 2, 2, 1, texels);
    fw_Texture* small = Target(1, 1, 0.0f);
    const uint64_t draws = post.GetDrawCount();
    post.Copy(&source, small);
    EXPECT_EQ(draws + 1, post.GetDrawCount());
    EXPECT_NEAR(1.5f, ReadBack(small->mTexture2D).At(0, 0)[0], 1e-5);
    source.Release();
    Delete(small);
}

TEST_F(PostTest, APassWithoutATargetUnbindsEveryTargetAndViewportAndDrawsNowhere) {
    fw_Texture* source = Target(4, 4, 1.0f);
    fw_Texture* bound = Target(4, 4, 0.5f);
    Bind(device, bound, 2);
    const uint64_t draws = post.GetDrawCount();
    post.Copy(source, nullptr);
    EXPECT_EQ(draws + 1, post.GetDrawCount());
    ID3D10RenderTargetView* view = nullptr;
    ID3D10DepthStencilView* depth = nullptr;
    device->OMGetRenderTargets(1, &view, &depth);
    EXPECT_EQ(nullptr, view);
    EXPECT_EQ(nullptr, depth);
    UINT count = 16;
    D3D10_VIEWPORT vp[16] = {};
    device->RSGetViewports(&count, vp);
    EXPECT_EQ(0u, count);
    EXPECT_FLOAT_EQ(0.5f, ReadBack(bound->mTexture2D).At(1, 1)[0]);
    Delete(source);
    Delete(bound);
}

TEST_F(PostTest, Blur5TapsInPlaceSpreadsAnImpulseWithBinomialWeights) {
    std::vector<float> texels(16 * 4, 0.0f);
    texels[8 * 4] = 16.0f;
    fw_Texture source(kTargetBindFlags, kFloat4, 16, 1, 1, texels.data());
    fw_Texture* scratch = Target(16, 1, 0.0f);
    post.Blur5Taps(&source, scratch, &source);
    const Picture result = ReadBack(source.mTexture2D);
    EXPECT_NEAR(6.0f, result.At(8, 0)[0], 1e-4);
    EXPECT_NEAR(4.0f, result.At(7, 0)[0], 1e-4);
    EXPECT_NEAR(4.0f, result.At(9, 0)[0], 1e-4);
    EXPECT_NEAR(1.0f, result.At(6, 0)[0], 1e-4);
    EXPECT_NEAR(0.0f, result.At(5, 0)[0], 1e-4);
    const Picture horizontal = ReadBack(scratch->mTexture2D);  // the horizontal pass
    EXPECT_NEAR(6.0f, horizontal.At(8, 0)[0], 1e-4);
    EXPECT_NEAR(1.0f, horizontal.At(10, 0)[0], 1e-4);
    EXPECT_EQ((std::vector<float>{1.0f / 16, 1.0f, 0, 0}), Vector("gPixelDimInv"));
    source.Release();
    Delete(scratch);
}

TEST_F(PostTest, Blur5TapsWithinTheChangedTexelsEqualsTheWholeBlur) {
    // One value with a block that differs: blurred whole, and only where it can change.
    std::vector<float> texels(24 * 20 * 4, 150.0f);
    for (uint32_t y = 9; y < 12; ++y)
        for (uint32_t x = 5; x < 8; ++x)
            texels[(y * 24 + x) * 4] = texels[(y * 24 + x) * 4 + 1] = 3.0f * float(x + y);
    fw_Texture whole(kTargetBindFlags, kFloat4, 24, 20, 1, texels.data());
    fw_Texture within(kTargetBindFlags, kFloat4, 24, 20, 1, texels.data());
    fw_Texture* scratch = Target(24, 20, -1.0f);
    post.Blur5Taps(&whole, scratch, &whole);
    scratch->ClearGrey(-1.0f);  // what the rectangle's passes leave alone must not be read
    const RECT changed{5, 9, 8, 12};
    post.Blur5Taps(&within, scratch, &within, &changed);
    const Picture expected = ReadBack(whole.mTexture2D), got = ReadBack(within.mTexture2D);
    EXPECT_NE(150.0f, expected.At(3, 10)[0]);  // the blur reaches two texels out
    EXPECT_EQ(expected.rgba, got.rgba);
    EXPECT_EQ(-1.0f, ReadBack(scratch->mTexture2D).At(20, 2)[0]);  // drawn only near the block
    const RECT none{4, 4, 4, 9};
    post.Blur5Taps(&within, scratch, &within, &none);  // nothing differs: nothing to blur
    EXPECT_EQ(expected.rgba, ReadBack(within.mTexture2D).rgba);
    whole.Release();
    within.Release();
    Delete(scratch);
}

TEST_F(PostTest, Blur5TapsRefusesAScratchThatIsTheSource) {
    fw_Texture* source = Target(8, 8, 0.75f);
    const uint64_t draws = post.GetDrawCount();
    post.Blur5Taps(source, source, source);
    EXPECT_EQ(draws, post.GetDrawCount());
    EXPECT_FLOAT_EQ(0.75f, ReadBack(source->mTexture2D).At(4, 4)[0]);
    Delete(source);
}

TEST_F(PostTest, BloomBlursInOneRoundUnderHalfATexelAndAddsTheScaledLevels) {
    MakeBloomChains();
    fw_Texture* source = Target(64, 64, 3.0f);
    fw_Texture* destination = Target(64, 64, 0.5f);
    // The step of a 1 x 1 texture is at least a texel of every level: three rounds each.
    fw_Texture* tiny = Target(1, 1, 0.0f);
    fw_Texture* scratch = Target(1, 1, 0.0f);
    post.Blur5Taps(tiny, scratch, tiny);
    uint64_t draws = post.GetDrawCount();
    post.Bloom(source, destination);
    EXPECT_EQ(draws + 32, post.GetDrawCount());
    // The effect's own step after loading (1/1024): a round each way and level.
    post.Load();
    destination->ClearColor(0.5f, 0.5f, 0.5f, 0.5f);
    draws = post.GetDrawCount();
    post.Bloom(source, destination);
    EXPECT_EQ(draws + 16, post.GetDrawCount());
    // Bright part 2 on every level, four levels, scale 0.01.
    const Picture p = ReadBack(destination->mTexture2D);
    EXPECT_NEAR(0.58f, p.At(10, 50)[0], 1e-3);
    EXPECT_NEAR(0.58f, p.At(63, 0)[2], 1e-3);
    EXPECT_NEAR(0.5f, p.At(5, 5)[3], 1e-5);
    EXPECT_NEAR(2.0f, ReadBack(gFramework->mTextures["r16g16b16a16f_1_downsample6"]->mTexture2D).At(0, 0)[1], 1e-3);
    Delete(source);
    Delete(destination);
    Delete(tiny);
    Delete(scratch);
}

TEST_F(PostTest, BloomReadsItsTracksAndLeavesThePixelSizeAlone) {
    MakeBloomChains();
    fw_Texture* source = Target(64, 64, 3.0f);
    fw_Texture* destination = Target(64, 64, 0.0f);
    fw_Texture* scratch = Target(64, 64, 0.0f);
    post.Blur5Taps(destination, scratch, destination);
    sync.SetConstant("Post_Bloom", 200.0f);
    sync.SetConstant("bloomCutoff", 2.5f);
    post.Bloom(source, destination);
    EXPECT_EQ((std::vector<std::string>{"Post_Bloom", "bloomCutoff"}), sync.asked);
    EXPECT_NEAR(4 * 0.5f * 2.0f, ReadBack(destination->mTexture2D).At(32, 32)[0], 1e-3);
    EXPECT_EQ((std::vector<float>{1.0f / 64, 1.0f / 64, 0, 0}), Vector("gPixelDimInv"));
    float cutoff = 0;
    post.GetEffect()->GetVariable("gBrightnessCutoff")->AsScalar()->GetFloat(&cutoff);
    EXPECT_EQ(2.5f, cutoff);
    Delete(source);
    Delete(destination);
    Delete(scratch);
}

TEST_F(PostTest, BloomAtZeroScaleLeavesTheDestinationAndReadsNoOtherTrack) {
    MakeBloomChains();
    fw_Texture* source = Target(64, 64, 3.0f);
    fw_Texture* destination = Target(64, 64, 0.25f);
    sync.SetConstant("Post_Bloom", 0.0f);
    const uint64_t draws = post.GetDrawCount();
    post.Bloom(source, destination);
    EXPECT_EQ(draws, post.GetDrawCount());
    EXPECT_FLOAT_EQ(0.25f, ReadBack(destination->mTexture2D).At(1, 1)[0]);
    EXPECT_EQ((std::vector<std::string>{"Post_Bloom"}), sync.asked);
    sync.SetConstant("Post_Bloom", -3.0f);
    post.Bloom(source, destination);
    EXPECT_EQ(draws, post.GetDrawCount());
    Delete(source);
    Delete(destination);
}

TEST_F(PostTest, BloomWithoutItsTargetsSkipsWithOneLogLine) {
    CreateDownsampleChain("r16g16b16a16f_1", kTargetBindFlags, kFloat4, 64, 64);  // no second chain
    fw_Texture* source = Target(64, 64, 3.0f);
    fw_Texture* destination = Target(64, 64, 0.25f);
    const std::string logPath = project->Path("bloom.log");
    fw_Log::OpenLogFile(logPath);
    const uint64_t draws = post.GetDrawCount();
    post.Bloom(source, destination);
    fw_Log::OpenLogFile("");
    EXPECT_EQ(draws, post.GetDrawCount());
    EXPECT_FLOAT_EQ(0.25f, ReadBack(destination->mTexture2D).At(1, 1)[0]);
    std::ifstream in(logPath);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(1, std::count(log.begin(), log.end(), '\n')) << log;
    EXPECT_NE(std::string::npos, log.find("r16g16b16a16f_2_downsample3")) << log;
    Delete(source);
    Delete(destination);
}

TEST_F(PostTest, HighQualityDownScaleLeavesClearedBarsAboveAndBelow) {
    fw_Texture* backbuffer = Target(8, 20, 1.0f);
    fw_Framework::mSwapChainTexture = backbuffer;
    fw_Texture* source = Target(16, 40, 0.25f);
    post.HighQualityDownScale(source, 3);
    Picture p = ReadBack(backbuffer->mTexture2D);
    for (uint32_t y : {0u, 2u, 17u, 19u})
        EXPECT_EQ(0.0f, p.At(4, y)[0]) << y;
    EXPECT_EQ(0.0f, p.At(4, 0)[3]);
    for (uint32_t y : {3u, 10u, 16u})
        EXPECT_NEAR(0.25f, p.At(4, y)[0], 1e-5) << y;
    UINT count = 16;
    D3D10_VIEWPORT vp[16] = {};
    device->RSGetViewports(&count, vp);
    ASSERT_EQ(1u, count);
    EXPECT_EQ(3, vp[0].TopLeftY);
    EXPECT_EQ(14u, vp[0].Height);

    backbuffer->ClearGrey(1.0f);
    post.HighQualityDownScale(source, 0);
    p = ReadBack(backbuffer->mTexture2D);
    EXPECT_NEAR(0.25f, p.At(4, 0)[0], 1e-5);
    EXPECT_NEAR(0.25f, p.At(4, 19)[0], 1e-5);

    post.HighQualityDownScale(source, 15);  // bars taller than the buffer: nothing left to draw
    count = 16;
    device->RSGetViewports(&count, vp);
    EXPECT_EQ(0u, vp[0].Height);
    fw_Framework::mSwapChainTexture = nullptr;
    Delete(backbuffer);
    Delete(source);
}

TEST_F(PostTest, HighQualityDownScaleWithANegativeBarDrawsPastBothEdges) {
    fw_Texture* backbuffer = Target(8, 20, 0.5f);
    fw_Framework::mSwapChainTexture = backbuffer;
    // The top fifth of the source is 1, the rest 0.25.
    std::vector<float> texels(16 * 40 * 4, 0.25f);
    std::fill(texels.begin(), texels.begin() + 16 * 8 * 4, 1.0f);
    fw_Texture source(kTargetBindFlags, kFloat4, 16, 40, 1, texels.data());
    post.HighQualityDownScale(&source, -2);
    UINT count = 16;
    D3D10_VIEWPORT vp[16] = {};
    device->RSGetViewports(&count, vp);
    ASSERT_EQ(1u, count);
    EXPECT_EQ(-2, vp[0].TopLeftY);
    EXPECT_EQ(24u, vp[0].Height);
    // 24 rows of picture from y = -2: its top fifth ends inside row 2, and nothing is cleared.
    const Picture p = ReadBack(backbuffer->mTexture2D);
    EXPECT_NEAR(1.0f, p.At(4, 0)[0], 1e-5);
    EXPECT_NEAR(0.25f, p.At(4, 4)[0], 1e-5);
    EXPECT_NEAR(0.25f, p.At(4, 19)[0], 1e-5);
    fw_Framework::mSwapChainTexture = nullptr;
    Delete(backbuffer);
    source.Release();
}

}  // namespace
