#include "bokeh_atoms_support.h"

#include <algorithm>
#include <cmath>

#include <boost/filesystem.hpp>

#include "fw_Effect.h"
#include "fw_Release.h"
#include "platform/d3dx10tex.h"

namespace bokehatoms {

void EffectTest::SetUp() {
    restest::ResourceTest::SetUp();
    fw_Framework::mProjectRoot = ZENDRA_PROJECT_DIR;
    fw_Framework::mEffectPool = CreateSharedEffectPool();
    fw_Framework::mSyncDevice = &sync;
    SetRenderSize(1280, 800);
}

void EffectTest::TearDown() {
    fw_Framework::mSyncDevice = nullptr;
    restest::ResourceTest::TearDown();
}

void EffectTest::SetRenderSize(int32_t width, int32_t height) {
    fw_Framework::mRenderWidth = width;
    fw_Framework::mRenderHeight = height;
}

Target::Target(uint32_t width, uint32_t height, DXGI_FORMAT format)
    : texture(
          new fw_Texture(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, format, width, height, 1, nullptr)) {
    texture->ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void Target::Bind() const {
    ID3D10Device* device = fw_Framework::mDevice;
    ID3D10RenderTargetView* view = texture->mRenderTargetView;
    device->OMSetRenderTargets(1, &view, nullptr);
    device->RSSetViewports(1, &texture->mViewport);
}

restest::Picture Target::Read() const {
    return restest::ReadBack(texture->mTexture2D);
}

TexturePtr FloatSource(uint32_t width, uint32_t height, const std::vector<float>& rgba) {
    return TexturePtr(
        new fw_Texture(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R32G32B32A32_FLOAT, width, height, 1, rgba.data()));
}

TexturePtr ByteSource(uint32_t width, uint32_t height, const std::vector<uint32_t>& rgba) {
    return TexturePtr(
        new fw_Texture(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, width, height, 1, rgba.data()));
}

ULONG CountAfterRelease(IUnknown* object) {
    return object->Release();
}

std::string SavePng(const std::string& name, const restest::Picture& picture) {
    boost::system::error_code ec;
    boost::filesystem::create_directories(BOKEH_ATOMS_OUTPUT_DIR, ec);
    const std::string path = std::string(BOKEH_ATOMS_OUTPUT_DIR) + "/" + name;
    std::vector<uint32_t> texels(size_t(picture.width) * picture.height);
    for (size_t i = 0; i < texels.size(); ++i) {
        uint32_t texel = 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            // A soft shoulder above 1 so that bright discs keep their shape.
            float v = std::max(picture.rgba[i * 4 + c], 0.0f);
            v = v <= 0.8f ? v : 0.8f + 0.2f * (1.0f - std::exp(-(v - 0.8f) * 5.0f));
            texel |= std::min(static_cast<uint32_t>(std::lround(v * 255.0f)), 255u) << (8 * c);
        }
        texels[i] = texel;
    }
    fw_Texture image(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, picture.width, picture.height, 1,
                     texels.data());
    const bool saved = SUCCEEDED(D3DX10SaveTextureToFileA(image.mTexture2D, D3DX10_IFF_PNG, path.c_str()));
    image.Release();
    return saved ? path : std::string();
}

}  // namespace bokehatoms
