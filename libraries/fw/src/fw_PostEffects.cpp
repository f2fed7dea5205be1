#include "fw_PostEffects.h"

#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_ScreenQuad.h"
#include "fw_SyncTimer.h"
#include "fw_Texture.h"
#include "sync/device.h"
#include "sync/track.h"

namespace {

ID3D10Device* Device() { return fw_Framework::mDevice; }

// The single-precision constant 0.01 times value, in double precision, rounded to float.
float TimesHundredth(float value) { return static_cast<float>(static_cast<double>(value) * static_cast<double>(0.01f)); }

}  // namespace

fw_PostEffects::fw_PostEffects() : mEffect(nullptr), mQuad(nullptr) {}

fw_PostEffects::~fw_PostEffects() { Release(); }

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

void fw_PostEffects::Copy(fw_Texture* source, fw_Texture* target) {
    SetTexture("texView1", source);
    BindTarget(target);
    RunTechnique("Copy");
}

void fw_PostEffects::Blur5Taps(fw_Texture* source, fw_Texture* scratch, fw_Texture* result) {
    if (scratch == source) {
        fw_Log::Write(0, "Blur5Taps: the scratch texture must differ from the source; nothing is blurred.");
        return;
    }
    if (mEffect && source) {
        mEffect->SetFloat4("gPixelDimInv", static_cast<float>(1.0 / static_cast<double>(source->mViewport.Width)),
                           static_cast<float>(1.0 / static_cast<double>(source->mViewport.Height)), 0.0f, 0.0f);
    }
    BindTarget(scratch);
    SetTexture("texView1", source);
    RunTechnique("BlurHorizontal5Taps");
    BindTarget(result);
    SetTexture("texView1", scratch);
    RunTechnique("BlurVertical5Taps");
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
        fw_Log::Write(0, "Bloom: the render target <%s> does not exist; bloom is skipped.", firstMissing.c_str());
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

    for (int level = 3; level <= 6; ++level) {
        for (int i = 0; i < 3; ++i) {
            BindTarget(chain2[level]);
            SetTexture("texView1", chain1[level]);
            RunTechnique("BlurHorizontal5Taps");
            BindTarget(chain1[level]);
            SetTexture("texView1", chain2[level]);
            RunTechnique("BlurVertical5Taps");
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
