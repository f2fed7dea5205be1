// The framework's texture table, its named render targets and the run's shared resources.
#include <string>
#include <vector>

#include "fw_DebugCamera.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Mesh.h"
#include "fw_PostEffects.h"
#include "fw_Release.h"
#include "fw_Scene.h"
#include "fw_Texture.h"
#include "platform/crt.h"
#include "platform/d3d10.h"
#include "platform/d3dx10effect.h"
#include "platform/regular_file.h"

namespace {

constexpr uint32_t kRenderTarget = D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET;  // 0x28
constexpr size_t kNoiseBytes = 128 * 128 * 128;

// Puts texture into the table under name (replacing the entry) and into the owned set.
void Register(fw_Framework& fw, const std::string& name, fw_Texture* texture) {
    if (!texture)
        return;
    fw.mTextures[name] = texture;
    fw.mOwnedTextures.insert(texture);
}

// Up to kNoiseBytes of path; the rest of the volume stays zero. A missing file is not
// reported; one that is no regular file or cannot be read is, and leaves the volume zero.
std::vector<uint8_t> ReadNoise(const char* path) {
    std::vector<uint8_t> volume;
    std::string error;
    const RegularFileRead read = ReadRegularFileStart(PlatformResolveFileName(path), kNoiseBytes, volume, &error);
    if (read != RegularFileRead::Ok && read != RegularFileRead::NotFound)
        fw_Log::Write(fw_Log::kWarning, "The noise volume is left empty: %s.", error.c_str());
    volume.resize(kNoiseBytes, 0);
    return volume;
}

}  // namespace

fw_Texture* fw_Framework::FindTexture(const std::string& name) const {
    auto entry = mTextures.find(name);
    return entry == mTextures.end() ? nullptr : entry->second;
}

bool fw_Framework::HasTexture(const std::string& name) const {
    return mTextures.count(name) != 0;
}

void fw_Framework::AddTexture(const std::string& name, fw_Texture* texture) {
    mTextures[name] = texture;
    if (texture)
        mOwnedTextures.insert(texture);
}

bool fw_Framework::OwnsTexture(const fw_Texture* texture) const {
    return mOwnedTextures.count(const_cast<fw_Texture*>(texture)) != 0;
}

fw_Texture* fw_Framework::FindOrLoadTexture(const std::string& name) {
    auto it = mTextures.find(name);
    if (it != mTextures.end())
        return it->second;
    fw_Texture* texture = fw_Texture::LoadFromFile(name);
    Register(*this, name, texture);
    return texture;
}

fw_Texture* fw_Framework::FindOrCreateTexture(const std::string& name, const std::function<fw_Texture*()>& factory) {
    auto it = mTextures.find(name);
    if (it != mTextures.end())
        return it->second;
    if (!factory) {
        fw_Log::Write(fw_Log::kError, "FindOrCreateTexture: no factory for the texture <%s>.", name.c_str());
        return nullptr;
    }
    fw_Texture* texture = factory();
    Register(*this, name, texture);
    return texture;
}

void fw_Framework::ReleaseTextures() {
    for (fw_Texture* texture : mOwnedTextures) {
        if (texture == mSwapChainTexture)
            mSwapChainTexture = nullptr;
        ReleaseAndDelete(texture);
    }
    mOwnedTextures.clear();
    mTextures.clear();
}

void CreateDownsampleChain(const std::string& name, uint32_t bindFlags, DXGI_FORMAT format, int32_t width,
                           int32_t height) {
    if (width < 1 || height < 1 || !gFramework)
        return;
    for (int32_t level = 0;; ++level) {
        const std::string levelName = level == 0 ? name : name + "_downsample" + std::to_string(level);
        Register(
            *gFramework, levelName,
            new fw_Texture(bindFlags, format, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1, nullptr));
        width /= 2;
        height /= 2;
        if (width >= 1 && height < 1)
            height = 1;
        if (width < 1 && height >= 1)
            width = 1;
        if (width < 1)
            break;
    }
}

void fw_Framework::PickDepth() {
    if (!mPickRequest)
        return;
    mPickRequest = false;
    auto it = mTextures.find("d32f_backbuffer");
    if (it == mTextures.end() || !it->second->mTexture2D || !mDevice)
        return;
    fw_Texture* depth = it->second;
    const uint32_t width = depth->GetWidth(), height = depth->GetHeight();
    if (width == 0 || height == 0)
        return;

    D3D10_TEXTURE2D_DESC desc = {};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = static_cast<DXGI_FORMAT>(depth->GetFormat());
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D10_USAGE_STAGING;
    desc.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    ID3D10Texture2D* staging = nullptr;
    if (FAILED(mDevice->CreateTexture2D(&desc, nullptr, &staging)) || !staging)
        return;
    mDevice->CopyResource(staging, depth->mTexture2D);
    D3D10_MAPPED_TEXTURE2D mapped = {};
    if (SUCCEEDED(staging->Map(0, D3D10_MAP_READ, 0, &mapped)) && mapped.pData) {
        // The texel under the pick, kept inside the buffer.
        int64_t x = static_cast<int64_t>(static_cast<double>(mPickX) * static_cast<double>(mScale));
        int64_t y = static_cast<int64_t>(static_cast<double>(mPickY) * static_cast<double>(mScale));
        x = x < 0 ? 0 : (x >= width ? width - 1 : x);
        y = y < 0 ? 0 : (y >= height ? height - 1 : y);
        const float* row = reinterpret_cast<const float*>(static_cast<const uint8_t*>(mapped.pData) +
                                                          static_cast<size_t>(mapped.RowPitch) * y);
        const double d = row[x];
        // _43 / (d + _33) of the row-major projection.
        const float distance =
            static_cast<float>(static_cast<double>(mProjection.m[14]) / (d + static_cast<double>(mProjection.m[10])));
        const float u = static_cast<float>(static_cast<double>(x) / width);
        const float v = static_cast<float>(1.0 - static_cast<double>(y) / height);
        staging->Unmap(0);
        fw_Scene* scene = mCurrentScene < mScenes.size() ? mScenes[mCurrentScene] : nullptr;
        if (scene && scene->GetDebugCamera())
            scene->GetDebugCamera()->MoveToPickedPoint(u, v, distance);
    }
    staging->Release();
}

namespace {

// Meshes find their materials' techniques and textures through the effects and the table.
void InstallMeshServices() {
    fw_MeshServices& services = GetMeshServices();
    services.getTechnique = [](fw_Effect* effect, const std::string& name) -> ID3D10EffectTechnique* {
        return effect ? effect->GetTechnique(name) : nullptr;
    };
    services.findOrLoadTexture = [](const std::string& name) -> ID3D10ShaderResourceView* {
        fw_Texture* texture = gFramework ? gFramework->FindOrLoadTexture(name) : nullptr;
        return texture ? texture->mShaderResourceView : nullptr;
    };
}

}  // namespace

void fw_Framework::LoadSharedResources() {
    InstallMeshServices();

    // The shared pool and the handles of its variables.
    SafeRelease(mEffectPool);
    mEffectPool = CreateSharedEffectPool();
    ID3D10Effect* pool = mEffectPool ? mEffectPool->AsEffect() : nullptr;
    auto variable = [pool](const char* name) -> ID3D10EffectVariable* {
        return pool ? pool->GetVariableByName(name) : nullptr;
    };
    auto matrix = [&](const char* name) { return pool ? variable(name)->AsMatrix() : nullptr; };
    auto vector = [&](const char* name) { return pool ? variable(name)->AsVector() : nullptr; };
    auto scalar = [&](const char* name) { return pool ? variable(name)->AsScalar() : nullptr; };
    mWorldVar = matrix("World");
    mViewVar = matrix("View");
    mViewProjectionVar = matrix("ViewProjection");
    mWorldBackInTimeVar = matrix("World_BackInTime");
    mViewBackInTimeVar = matrix("View_BackInTime");
    mViewProjectionBackInTimeVar = matrix("ViewProjection_BackInTime");
    mViewInverseVar = matrix("ViewInverse");
    mEyePositionWorldVar = vector("EyePositionWorld");
    mEyePositionLocalVar = vector("EyePositionLocal");
    mStereoConstantsVar = vector("StereoConstants");
    mNearXYZFarZVar = vector("NearXYZFarZ");
    mRenderDimVar = vector("RenderDim");
    mTimeVar = scalar("Time");
    mLightPositionWorldVar = vector("LightPositionWorld");
    mLightViewProjectionVar = matrix("LightViewProjection");
    mAmbientVar = vector("Ambient");
    mDiffuseVar = vector("Diffuse");
    mSpecularVar = vector("Specular");
    mSpecularPowerVar = scalar("SpecularPower");

    // The noise volume.
    {
        const std::vector<uint8_t> noise = ReadNoise("data/noise.bin");
        fw_Texture* volume =
            new fw_Texture(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8_UNORM, 128, 128, 128, noise.data());
        Register(*this, "noise.dds", volume);
        if (pool)
            variable("gNoiseTexture")->AsShaderResource()->SetResource(volume->mShaderResourceView);
    }

    if (mPostEffects)
        mPostEffects->Load();

    const uint32_t w = static_cast<uint32_t>(mRenderWidth > 0 ? mRenderWidth : 1);
    const uint32_t h = static_cast<uint32_t>(mRenderHeight > 0 ? mRenderHeight : 1);
    auto target = [&](const char* name, DXGI_FORMAT format) {
        Register(*this, name, new fw_Texture(kRenderTarget, format, w, h, 1, nullptr));
    };
    target("r16g16b16a16f_3", DXGI_FORMAT_R16G16B16A16_FLOAT);
    target("r16g16b16a16f_4", DXGI_FORMAT_R16G16B16A16_FLOAT);
    target("r16g16b16a16f_5", DXGI_FORMAT_R16G16B16A16_FLOAT);
    target("r16g16f_1", DXGI_FORMAT_R16G16_FLOAT);
    target("r32f_2", DXGI_FORMAT_R32_FLOAT);
    CreateDownsampleChain("r16g16b16a16f_1", kRenderTarget, DXGI_FORMAT_R16G16B16A16_FLOAT, mRenderWidth,
                          mRenderHeight);
    CreateDownsampleChain("r16g16b16a16f_2", kRenderTarget, DXGI_FORMAT_R16G16B16A16_FLOAT, mRenderWidth,
                          mRenderHeight);
    CreateDownsampleChain("r32f_1", kRenderTarget, DXGI_FORMAT_R32_FLOAT, mRenderWidth, mRenderHeight);
    target("r8g8b8a8_1", DXGI_FORMAT_R8G8B8A8_UNORM);
    target("r8g8b8a8_2", DXGI_FORMAT_R8G8B8A8_UNORM);
    target("r8g8b8a8_3", DXGI_FORMAT_R8G8B8A8_UNORM);
    target("r8g8b8a8_4", DXGI_FORMAT_R8G8B8A8_UNORM);

    // The swap chain's buffer; without a swap chain (a headless device) "backbuffer" is a
    // render-size texture of its own.
    ID3D10Texture2D* buffer = nullptr;
    if (mSwapChain)
        mSwapChain->GetBuffer(0, __uuidof(ID3D10Texture2D), reinterpret_cast<void**>(&buffer));
    if (buffer) {
        mSwapChainTexture = new fw_Texture(buffer, kRenderTarget);
        if (mSwapChainTexture->GetWidth() != w || mSwapChainTexture->GetHeight() != h) {
            fw_Log::Write(fw_Log::kPlain, "LoadResources: Creating extra backbuffer of dimensions (%d, %d).",
                          mRenderWidth, mRenderHeight);
            Register(*this, "realBackbuffer", mSwapChainTexture);
            target("backbuffer", DXGI_FORMAT_R8G8B8A8_UNORM);
        } else {
            Register(*this, "backbuffer", mSwapChainTexture);
        }
    } else {
        target("backbuffer", DXGI_FORMAT_R8G8B8A8_UNORM);
    }

    Register(*this, "d32f_backbuffer",
             new fw_Texture(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, w, h, 1, nullptr));
}

void fw_Framework::ReleasePostEffects() {
    if (mPostEffects)
        mPostEffects->Release();
}

void fw_Framework::ReleaseSharedResources() {
    ReleasePostEffects();
    ReleaseTextures();
    mWorldVar = mViewVar = mViewProjectionVar = nullptr;
    mWorldBackInTimeVar = mViewBackInTimeVar = mViewProjectionBackInTimeVar = nullptr;
    mViewInverseVar = mLightViewProjectionVar = nullptr;
    mEyePositionWorldVar = mEyePositionLocalVar = mStereoConstantsVar = nullptr;
    mNearXYZFarZVar = mRenderDimVar = mLightPositionWorldVar = nullptr;
    mAmbientVar = mDiffuseVar = mSpecularVar = nullptr;
    mTimeVar = mSpecularPowerVar = nullptr;
    ReleaseFonts();
    SafeRelease(mEffectPool);
}

// A name whose second character is ':' is used unchanged, as is one that begins with '/';
// "./data/x" lies under the project root, any other name under its data folder.
std::string fw_Framework::ResolveDataPath(const std::string& path) {
    if ((path.size() > 1 && path[1] == ':') || (!path.empty() && path[0] == '/'))
        return path;
    if (path.compare(0, 7, "./data/") == 0)
        return mProjectRoot + path.substr(1);
    return mProjectRoot + "/data/" + path;
}
