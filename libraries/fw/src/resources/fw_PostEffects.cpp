#include "fw_PostEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "fw_Convert.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_ScreenQuad.h"
#include "fw_SyncTimer.h"
#include "fw_Texture.h"
#include "sync/device.h"
#include "sync/track.h"

namespace {

ID3D10Device* Device() {
    return fw_Framework::mDevice;
}

// The single-precision constant 0.01 times value, in double precision, rounded to float.
float TimesHundredth(float value) {
    return static_cast<float>(static_cast<double>(value) * static_cast<double>(0.01f));
}

// The shake factor: one draw of the C runtime's generator, (r / 32767) to the power 10.
float ShakeFactor() {
    const float u = static_cast<float>(static_cast<double>(std::rand()) / 32767.0);
    return static_cast<float>(std::pow(static_cast<double>(u), 10.0));
}

// base + shake x 0.1 x f, one draw per call.
float Shaken(const char* baseTrack, float baseDefault, const char* shakeTrack) {
    const double base = fw_Framework::GetSyncValueNow(baseTrack, baseDefault);
    const double shake = fw_Framework::GetSyncValueNow(shakeTrack, 0.0f);
    const double f = ShakeFactor();
    return static_cast<float>(base + shake * static_cast<double>(0.1f) * f);
}

// Render width over render height, as floats divided in double precision.
float RenderAspect() {
    return static_cast<float>(static_cast<double>(static_cast<float>(fw_Framework::mRenderWidth)) /
                              static_cast<double>(static_cast<float>(fw_Framework::mRenderHeight)));
}

// 1.6 x s / aspect: the overlay's vertical scale for the render aspect.
float AspectScale(float s) {
    return static_cast<float>(static_cast<double>(s) * static_cast<double>(1.6f) / static_cast<double>(RenderAspect()));
}

// The flare weight of one axis: rising from 0 at 0.89 to 1 at the border, falling back to
// 0 at 1.22.
float FlareAxisFactor(float coordinate) {
    const double a = std::fabs(static_cast<double>(coordinate));
    if (a < 1.0) {
        const double t =
            std::clamp(static_cast<float>((a - static_cast<double>(0.89f)) / 0.11000001430511475), 0.0f, 1.0f);
        return static_cast<float>(t * t * (3.0 - 2.0 * t));
    }
    const double t = std::clamp(static_cast<float>((a - 1.0) / 0.2200000286102295), 0.0f, 1.0f);
    return static_cast<float>(1.0 - t * t * (3.0 - 2.0 * t));
}

// Both textures exist and have one width and one height.
bool SameSize(const fw_Texture* a, const fw_Texture* b) {
    return a && b && a->GetWidth() == b->GetWidth() && a->GetHeight() == b->GetHeight();
}

fw_Texture* FindOrLoad(const std::string& name) {
    return gFramework ? gFramework->FindOrLoadTexture(name) : nullptr;
}

const char* const kFlareImages[4] = {"./prism-depot-lens-flares/02_quell.png", "./flare1.png",
                                     "./prism-depot-lens-flares/48_quell.png",
                                     "./prism-depot-lens-flares/49_quell.png"};

}  // namespace

fw_PostEffects::fw_PostEffects() : mEffect(nullptr), mQuad(nullptr) {}

fw_PostEffects::~fw_PostEffects() {
    Release();
}

void fw_PostEffects::Load() {
    Release();
    mEffect = new fw_Effect("fw_PostEffects.fx", fw_Framework::mEffectPool);
    mQuad = new fw_ScreenQuad(mEffect->GetTechnique("LightByDepth"));
    if (gFramework)
        SetTexture("texVignette", gFramework->FindOrLoadTexture("vignette.jpg"));
}

void fw_PostEffects::Release() {
    if (mEffect) {
        delete mEffect;
        mEffect = nullptr;
    }
    if (mQuad) {
        delete mQuad;
        mQuad = nullptr;
    }
}

void fw_PostEffects::DrawQuad(ID3D10EffectTechnique* technique) {
    if (mQuad)
        mDrawCount += mQuad->Draw(technique);
}

void fw_PostEffects::RunTechnique(const std::string& name) {
    if (mEffect)
        DrawQuad(mEffect->GetTechnique(name));
}

void fw_PostEffects::BindTarget(fw_Texture* target) {
    ID3D10Device* device = Device();
    if (!device)
        return;
    if (target) {
        ID3D10RenderTargetView* view = target->mRenderTargetView;
        device->OMSetRenderTargets(1, &view, nullptr);
        device->RSSetViewports(1, &target->mViewport);
    } else {
        device->OMSetRenderTargets(0, nullptr, nullptr);
        device->RSSetViewports(0, nullptr);
    }
}

void fw_PostEffects::SetTexture(const char* name, fw_Texture* texture) {
    if (mEffect)
        mEffect->SetTexture(name, texture);
}

void fw_PostEffects::SetFloat(const char* name, float value) {
    if (mEffect)
        mEffect->SetFloat(name, value);
}

void fw_PostEffects::SetFloat4(const char* name, float x, float y, float z, float w) {
    if (mEffect)
        mEffect->SetFloat4(name, x, y, z, w);
}

void fw_PostEffects::SetPixelDimInv(fw_Texture* texture, double scale) {
    if (!texture)
        return;
    SetFloat4("gPixelDimInv", static_cast<float>(scale / static_cast<double>(texture->mViewport.Width)),
              static_cast<float>(scale / static_cast<double>(texture->mViewport.Height)), 0.0f, 0.0f);
}

void fw_PostEffects::SetFade() {
    SetFloat("gFade", Shaken("Post_Fade", 1.0f, "Post_FadeShake"));
}

void fw_PostEffects::SetColorExponents() {
    const float scale = fw_Framework::GetSyncValueNow("Post_Scale", 1.0f);
    const float blue = fw_Framework::GetSyncValueNow("Post_BlueExp", 1.0f);
    const float green = fw_Framework::GetSyncValueNow("Post_GreenExp", 1.0f);
    const float red = fw_Framework::GetSyncValueNow("Post_RedExp", 1.0f);
    SetFloat4("gColorExponents", red, green, blue, scale);
}

void fw_PostEffects::SetGlitch() {
    const float glitch = fw_Framework::GetSyncValueNow("Post_Glitch", 0.0f);
    mGlitchOn = !(glitch <= 0.0f);
    SetFloat("gGlitch", glitch);
}

void fw_PostEffects::RunFinalTechnique(const std::string& name) {
    RunTechnique(mGlitchOn ? name : name + "NoGlitch");
}

void fw_PostEffects::SetChromaDistortion() {
    SetFloat("gChromaDistortion", TimesHundredth(fw_Framework::GetSyncValueNow("Post_ChromaDistort", 0.0f)));
}

void fw_PostEffects::Copy(fw_Texture* source, fw_Texture* target) {
    SetTexture("texView1", source);
    BindTarget(target);
    RunTechnique("Copy");
}

void fw_PostEffects::Blur5Taps(fw_Texture* source, fw_Texture* scratch, fw_Texture* result, const RECT* changed) {
    if (scratch == source) {
        fw_Log::Write(fw_Log::kPlain,
                      "Blur5Taps: the scratch texture must differ from the source; nothing is blurred.");
        return;
    }
    // Three textures of one size: every tap on a texel centre, read texel by texel.
    const bool texels = SameSize(source, scratch) && SameSize(source, result);
    SetPixelDimInv(source, 1.0);
    // Each pass over its whole target, or only over area.
    const auto pass = [&](fw_Texture* target, fw_Texture* input, const char* technique, const RECT* area) {
        BindTarget(target);
        SetTexture("texView1", input);
        if (!area)
            RunTechnique(technique);
        else if (mEffect && mQuad)
            mDrawCount += mQuad->DrawInRect(*area, mEffect->GetTechnique(technique));
    };
    RECT horizontal = {}, vertical = {};
    const bool within = texels && changed && result == source;
    if (within) {
        // Outside changed widened by the two-texel reach the blur of the one value is that
        // value, which the source holds already; the vertical pass reads two rows more of
        // the horizontal one.
        if (changed->right <= changed->left || changed->bottom <= changed->top)
            return;
        const LONG width = LONG(source->GetWidth()), height = LONG(source->GetHeight());
        const auto widened = [&](LONG rows) {
            return RECT{std::max<LONG>(changed->left - 2, 0), std::max<LONG>(changed->top - 2 - rows, 0),
                        std::min<LONG>(changed->right + 2, width), std::min<LONG>(changed->bottom + 2 + rows, height)};
        };
        horizontal = widened(2);
        vertical = widened(0);
    }
    pass(scratch, source, texels ? "BlurHorizontal5Texels" : "BlurHorizontal5Taps", within ? &horizontal : nullptr);
    pass(result, scratch, texels ? "BlurVertical5Texels" : "BlurVertical5Taps", within ? &vertical : nullptr);
}

void fw_PostEffects::Bloom(fw_Texture* source, fw_Texture* destination) {
    const float scale = TimesHundredth(fw_Framework::GetSyncValueNow("Post_Bloom", 1.0f));
    if (!(scale > 0.0f))
        return;
    if (!gFramework)
        return;

    fw_Texture* chain1[7] = {};
    fw_Texture* chain2[7] = {};
    auto find = [](const std::string& name) -> fw_Texture* {
        auto it = gFramework->mTextures.find(name);
        return it != gFramework->mTextures.end() ? it->second : nullptr;
    };
    std::string firstMissing;
    for (int level = 1; level <= 6; ++level) {
        chain1[level] = find("r16g16b16a16f_1_downsample" + std::to_string(level));
        if (!chain1[level] && firstMissing.empty())
            firstMissing = "r16g16b16a16f_1_downsample" + std::to_string(level);
    }
    for (int level = 3; level <= 6; ++level) {
        chain2[level] = find("r16g16b16a16f_2_downsample" + std::to_string(level));
        if (!chain2[level] && firstMissing.empty())
            firstMissing = "r16g16b16a16f_2_downsample" + std::to_string(level);
    }
    if (!firstMissing.empty()) {
        fw_Log::Write(fw_Log::kPlain, "Bloom: the render target <%s> does not exist; bloom is skipped.",
                      firstMissing.c_str());
        return;
    }

    Copy(source, chain1[1]);
    Copy(chain1[1], chain1[2]);
    Copy(chain1[2], chain2[3]);

    BindTarget(chain1[3]);
    SetTexture("texView1", chain2[3]);
    if (mEffect)
        mEffect->SetFloat("gBrightnessCutoff", fw_Framework::GetSyncValueNow("bloomCutoff", 1.0f));
    RunTechnique("BrightPass");

    float pixelDimInv[4] = {};
    const bool knownStep =
        mEffect && SUCCEEDED(mEffect->GetVariable("gPixelDimInv")->AsVector()->GetFloatVector(pixelDimInv));
    for (int level = 3; level <= 6; ++level) {
        // Three rounds of the five-tap blur each way, with the step last set (that of the
        // shadow map's blur); as one round of seven texels where the step is under half a
        // texel and the two levels have one size (each pass waits for the one before it, which
        // on these small targets costs more than the taps).
        const double stepX = double(pixelDimInv[0]) * chain1[level]->mViewport.Width;
        const double stepY = double(pixelDimInv[1]) * chain1[level]->mViewport.Height;
        const bool oneRound = knownStep && SameSize(chain1[level], chain2[level]) && stepX >= 0.0 && stepX < 0.5 &&
                              stepY >= 0.0 && stepY < 0.5;
        for (int i = 0; i < (oneRound ? 1 : 3); ++i) {
            BindTarget(chain2[level]);
            SetTexture("texView1", chain1[level]);
            RunTechnique(oneRound ? "BlurHorizontal5ThreeRounds" : "BlurHorizontal5Taps");
            BindTarget(chain1[level]);
            SetTexture("texView1", chain2[level]);
            RunTechnique(oneRound ? "BlurVertical5ThreeRounds" : "BlurVertical5Taps");
        }
        if (level < 6)
            Copy(chain1[level], chain1[level + 1]);
    }

    BindTarget(destination);
    SetTexture("texView1", chain1[3]);
    SetTexture("texView2", chain1[4]);
    SetTexture("texView3", chain1[5]);
    SetTexture("texView4", chain1[6]);
    if (mEffect)
        mEffect->SetFloat("gBloomBlendScale", scale);
    RunTechnique("BloomBlend");
}

void fw_PostEffects::HighQualityDownScale(fw_Texture* source, int32_t bar) {
    fw_Texture* target = fw_Framework::mSwapChainTexture;
    ID3D10Device* device = Device();
    if (!target || !device)
        return;
    if (bar > 0)
        target->ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    // A negative bar moves the picture up and makes it taller than the buffer.
    const D3D10_VIEWPORT viewport = target->InsetViewport(bar);
    ID3D10RenderTargetView* view = target->mRenderTargetView;
    device->OMSetRenderTargets(1, &view, nullptr);
    device->RSSetViewports(1, &viewport);
    SetTexture("texView1", source);
    RunTechnique("HighQualityDownScale");
}

// ---- final passes ---------------------------------------------------------------------

void fw_PostEffects::TriFade(float parameter, fw_Texture* first, fw_Texture* second, fw_Texture* third) {
    SetFloat("gTriFadeParameter", parameter);
    SetFade();
    SetColorExponents();
    SetGlitch();
    SetFloat4("gOverlayUVscale", 1.0f, AspectScale(1.0f), 0.0f, 0.0f);
    SetTexture("texView1", first);
    SetTexture("texView2", second);
    SetTexture("texView3", third);
    RunFinalTechnique("TriFade");
}

void fw_PostEffects::VignetteWithFlare(float lightX, float lightY, fw_Texture* source) {
    SetTexture("texColorBufferForVignette", source);
    SetChromaDistortion();
    SetGlitch();
    SetFade();
    SetColorExponents();

    // The caller divides by w: a light at infinity has no screen position.
    if (!std::isfinite(lightX) || !std::isfinite(lightY)) {
        lightX = 0.0f;
        lightY = 0.0f;
    }
    const double fx = FlareAxisFactor(lightX), fy = FlareAxisFactor(lightY);
    const double edge = static_cast<float>(1.0 - (1.0 - fx) * (1.0 - fy));
    const double x = lightX, y = lightY;
    const float data[4][4] = {
        {static_cast<float>(x), static_cast<float>(-y), static_cast<float>(2.0 * (edge + 1.0)), 1.0f},
        {static_cast<float>(x), static_cast<float>(-y), static_cast<float>(static_cast<double>(0.1f) * edge), 0.45f},
        {static_cast<float>(-x), static_cast<float>(y), static_cast<float>(static_cast<double>(0.7f) * (edge + 1.0)),
         1.0f},
        {static_cast<float>(-x), static_cast<float>(y), static_cast<float>(static_cast<double>(0.35f) * (edge + 1.0)),
         1.0f},
    };
    for (int i = 0; i < 4; ++i) {
        const std::string number = std::to_string(i + 1);
        fw_Texture* image = FindOrLoad(kFlareImages[i]);
        SetTexture(("gFlareTexture" + number).c_str(), image);
        SetFloat4(("gFlareData" + number).c_str(), data[i][0], data[i][1], data[i][2], data[i][3]);
    }
    RunFinalTechnique("VignetteWithFlare");
}

void fw_PostEffects::UpdateVignette(fw_Texture* source, fw_Texture* target, float greyOut) {
    const long double base = fw_Framework::GetSyncValueNow("VignetteIntensity", 1.0f);
    const long double shake = fw_Framework::GetSyncValueNow("vignetteShake", 0.0f);
    const long double f = ShakeFactor();
    const float intensity = static_cast<float>(base + f * (shake * static_cast<long double>(0.1f)));
    VignetteWithOverlay(source, target, intensity, greyOut);
}

void fw_PostEffects::VignetteWithOverlay(fw_Texture* source, fw_Texture* target, float intensity, float greyOut) {
    SetFloat("gVignetteIntensity", intensity);
    SetFloat("gGrayOut", greyOut);
    SetTexture("texColorBufferForVignette", source);
    SetFade();
    SetColorExponents();
    BindTarget(target);
    const int32_t overlay = fw_FloatToInt(fw_Framework::GetSyncValueNow("overlayIndex", 0.0f));
    SetChromaDistortion();
    SetGlitch();
    if (overlay == 0) {
        RunFinalTechnique("Vignette");
        return;
    }
    float s = fw_Framework::GetSyncValueNow("overlayScale", 1.0f);
    if (s != 0.0f)
        s = static_cast<float>(1.0 / static_cast<double>(s));
    SetFloat4("gOverlayUVscale", s, AspectScale(s), 0.0f, 0.0f);
    SetFloat("gOverlayAlphaScale", fw_Framework::GetSyncValueNow("overlayAlphaScale", 1.0f));
    SetTexture("texOverlay", FindOrLoad("overlay" + std::to_string(overlay) + ".png"));
    if (mEffect)
        mEffect->SetInt("gOverlayIndex", overlay);
    RunFinalTechnique("VignetteWithOverlay");
}

// ---- further passes --------------------------------------------------------------------

void fw_PostEffects::Albedo(fw_Texture* first, fw_Texture* second, fw_Texture* target) {
    SetTexture("texView1", first);
    SetTexture("texView2", second);
    BindTarget(target);
    RunTechnique("Albedo");
}

void fw_PostEffects::ExpBlur(fw_Texture* source, fw_Texture* target) {
    SetPixelDimInv(source, 1.0);
    SetTexture("texView1", source);
    BindTarget(target);
    RunTechnique("ExpBlur");
}

void fw_PostEffects::DownsampleAndBlur(fw_Texture* first, fw_Texture* second, fw_Texture* third, fw_Texture* scratch) {
    if (first && (second == first || third == first || scratch == first)) {
        fw_Log::Write(fw_Log::kPlain, "DownsampleAndBlur: a target is the source texture; nothing is drawn.");
        return;
    }
    Copy(first, second);
    Copy(second, third);
    SetPixelDimInv(third, 0.25);
    for (int i = 0; i < 4; ++i) {
        BindTarget(scratch);
        SetTexture("texView1", third);
        RunTechnique("BlurHorizontal");
        BindTarget(third);
        SetTexture("texView1", scratch);
        RunTechnique("BlurVertical");
    }
}

void fw_PostEffects::DirectionalBlur(fw_Texture* colour, fw_Texture* velocity, fw_Texture* target) {
    SetTexture("gVelocityTex", velocity);
    SetTexture("gColorTex", colour);
    BindTarget(target);
    RunTechnique("DirectionalBlur");
}

void fw_PostEffects::DepthOfField(float focusA, float focusB, fw_Texture* auxiliary, fw_Texture* colour,
                                  fw_Texture* output, fw_Texture* temporary, bool highQuality,
                                  fw_Texture* lowResScratch) {
    fw_Texture* horizontalTarget = lowResScratch ? lowResScratch : output;
    auto isInput = [&](fw_Texture* t) { return t && (t == colour || t == auxiliary); };
    if (isInput(output) || isInput(temporary) || isInput(lowResScratch) ||
        (horizontalTarget && horizontalTarget == temporary)) {
        fw_Log::Write(fw_Log::kPlain,
                      "DepthOfField: an output, temporary or scratch texture is an input or the temporary; "
                      "nothing is drawn.");
        return;
    }
    int iterations = 5;
    fw_Texture* start = colour;
    if (lowResScratch) {
        Copy(colour, temporary);
        iterations = 1;
        start = temporary;
        highQuality = false;
    }
    SetFloat4("gFocusMaxZ", focusA, focusB, 0.0f, 0.0f);
    SetTexture("texView1", auxiliary);
    const char* horizontal = highQuality ? "DOF_HighQualityBlurHorizontal" : "DOF_BlurHorizontal";
    const char* vertical = highQuality ? "DOF_HighQualityBlurVertical" : "DOF_BlurVertical";
    for (int i = 0; i < iterations; ++i) {
        SetTexture("texView2", i == 0 ? start : temporary);
        BindTarget(horizontalTarget);
        RunTechnique(horizontal);
        SetTexture("texView2", horizontalTarget);
        BindTarget(temporary);
        RunTechnique(vertical);
    }
    SetTexture("texView2", colour);
    SetTexture("texView3", temporary);
    BindTarget(output);
    RunTechnique("DOF");
}

void fw_PostEffects::LightByDepth(fw_Texture* source) {
    SetTexture("texView1", source);
    RunTechnique("LightByDepth");
}

void fw_PostEffects::HighQualityDownScaleSimple(fw_Texture* source, fw_Texture* target) {
    SetTexture("texView1", source);
    BindTarget(target);
    RunTechnique("HighQualityDownScale");
}

namespace {

// "r32f_downsample<level>": a single-channel target of the render size halved level
// times (at least 1 x 1), created on first use.
fw_Texture* LuminanceLevel(int level) {
    if (!gFramework)
        return nullptr;
    return gFramework->FindOrCreateTexture("r32f_downsample" + std::to_string(level), [level] {
        const uint32_t w = static_cast<uint32_t>(std::max<int64_t>(1, int64_t{fw_Framework::mRenderWidth} >> level));
        const uint32_t h = static_cast<uint32_t>(std::max<int64_t>(1, int64_t{fw_Framework::mRenderHeight} >> level));
        return NewRenderTexture(static_cast<D3D10_BIND_FLAG>(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE),
                                DXGI_FORMAT_R32_FLOAT, w, h);
    });
}

}  // namespace

void fw_PostEffects::ToneMap(fw_Texture* source, fw_Texture* target) {
    if (!source) {
        fw_Log::Write(fw_Log::kPlain, "ToneMap: no source texture; nothing is drawn.");
        return;
    }
    SetPixelDimInv(source, 1.0);
    SetTexture("texView1", source);
    BindTarget(LuminanceLevel(1));
    RunTechnique("RGB_to_KeyLuminance");
    fw_Texture* levels[11] = {};
    for (int level = 1; level <= 10; ++level)
        levels[level] = LuminanceLevel(level);
    for (int level = 1; level < 10; ++level)
        Copy(levels[level], levels[level + 1]);
    SetTexture("texView1", source);
    SetTexture("texView2", levels[10]);
    BindTarget(target);
    RunTechnique("ToneMap");
}
