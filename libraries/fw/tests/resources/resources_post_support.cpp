#include "resources_post_support.h"

#include <cstdlib>

#include "fw_Release.h"
#include "platform/d3dx10tex.h"

namespace restest {

void WriteImageWith(const std::string& path, uint32_t w, uint32_t h,
                    const std::function<uint32_t(uint32_t, uint32_t)>& texel) {
    fs::create_directories(fs::path(path).parent_path());
    std::vector<uint32_t> texels(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            texels[size_t(y) * w + x] = texel(x, y);
    fw_Texture image(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, w, h, 1, texels.data());
    const bool jpg = path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0;
    ASSERT_EQ(S_OK, D3DX10SaveTextureToFileA(image.mTexture2D, jpg ? D3DX10_IFF_JPG : D3DX10_IFF_PNG, path.c_str()));
    image.Release();
}

fw_Texture* FloatTarget(uint32_t w, uint32_t h, float r, float g, float b, float a) {
    fw_Texture* t =
        new fw_Texture(D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET, kPostFloat4, w, h, 1, nullptr);
    t->ClearColor(r, g, b, a);
    return t;
}

fw_Texture* FloatImage(uint32_t w, uint32_t h, const std::function<std::vector<float>(uint32_t, uint32_t)>& texel) {
    std::vector<float> texels(size_t(w) * h * 4);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const std::vector<float> c = texel(x, y);
            std::copy(c.begin(), c.begin() + 4, texels.begin() + (size_t(y) * w + x) * 4);
        }
    return new fw_Texture(D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET, kPostFloat4, w, h, 1, texels.data());
}

void Free(fw_Texture* t) {
    ReleaseAndDelete(t);
}

void PostPassTest::SetUp() {
    ResourceTest::SetUp();
    // White in the middle, falling to 0.1 in the corners.
    WriteImageWith(project->Path("data/vignette.jpg"), 160, 100, [](uint32_t x, uint32_t y) {
        const double u = (x + 0.5) / 80.0 - 1.0, v = (y + 0.5) / 50.0 - 1.0;
        const double d = std::min(1.0, std::sqrt(u * u + v * v) / std::sqrt(2.0));
        const double k = 1.0 - 0.9 * d * d;
        const uint32_t b = static_cast<uint32_t>(std::lround(k * 255.0));
        return 0xFF000000u | b << 16 | b << 8 | b;
    });
    fw_Framework::mEffectPool = CreateSharedEffectPool();
    ASSERT_NE(nullptr, fw_Framework::mEffectPool);
    fw_Framework::mPostEffects = &post;
    post.Load();
    ASSERT_TRUE(post.IsLoaded());
    ASSERT_TRUE(post.GetEffect()->IsValid());
    fw_Framework::mSyncDevice = &sync;
}

void PostPassTest::TearDown() {
    post.Release();
    fw_Framework::mPostEffects = nullptr;
    ResourceTest::TearDown();
}

std::vector<float> PostPassTest::Vector(const char* name) {
    std::vector<float> v(4, -12345.0f);
    post.GetEffect()->GetVariable(name)->AsVector()->GetFloatVector(v.data());
    return v;
}

float PostPassTest::Scalar(const char* name) {
    float v = -12345.0f;
    post.GetEffect()->GetVariable(name)->AsScalar()->GetFloat(&v);
    return v;
}

int PostPassTest::Int(const char* name) {
    int v = -12345;
    post.GetEffect()->GetVariable(name)->AsScalar()->GetInt(&v);
    return v;
}

ID3D10ShaderResourceView* PostPassTest::View(const char* name) {
    ID3D10ShaderResourceView* view = nullptr;
    post.GetEffect()->GetVariable(name)->AsShaderResource()->GetResource(&view);
    if (view)
        view->Release();
    return view;
}

ID3D10RenderTargetView* PostPassTest::BoundTarget() {
    ID3D10RenderTargetView* view = nullptr;
    device->OMGetRenderTargets(1, &view, nullptr);
    if (view)
        view->Release();
    return view;
}

std::vector<D3D10_VIEWPORT> PostPassTest::BoundViewports() {
    UINT count = 16;
    D3D10_VIEWPORT vp[16] = {};
    device->RSGetViewports(&count, vp);
    return std::vector<D3D10_VIEWPORT>(vp, vp + count);
}

void PostPassTest::SetTime(float seconds) {
    post.GetEffect()->GetVariable("Time")->AsScalar()->SetFloat(seconds);
}

void PostPassTest::SavePicture(fw_Texture* t, const std::string& name) {
    const char* folder = std::getenv("ZENDRA_POST_PNG_DIR");
    if (!folder || !*folder || !t)
        return;
    fw_Texture rgba8(D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET, DXGI_FORMAT_R8G8B8A8_UNORM, t->GetWidth(),
                     t->GetHeight(), 1, nullptr);
    post.Copy(t, &rgba8);
    fs::create_directories(folder);
    D3DX10SaveTextureToFileA(rgba8.mTexture2D, D3DX10_IFF_PNG, (fs::path(folder) / (name + ".png")).string().c_str());
    rgba8.Release();
}

}  // namespace restest
