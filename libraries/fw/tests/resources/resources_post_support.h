#pragma once
// Shared fixture of the final and further post-pass tests: the post passes loaded into a
// pool on the software device, with a sync device of settable tracks, a radial vignette
// image and the render size set.

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fw_Effect.h"
#include "fw_PostEffects.h"
#include "platform/d3dx10effect.h"
#include "resources_support.h"

namespace restest {

constexpr DXGI_FORMAT kPostFloat4 = DXGI_FORMAT_R32G32B32A32_FLOAT;

// Writes a w x h RGBA8 image (format from the extension) with texels from texel(x, y),
// packed 0xAABBGGRR.
void WriteImageWith(const std::string& path, uint32_t w, uint32_t h,
                    const std::function<uint32_t(uint32_t, uint32_t)>& texel);

// A float render target filled with one colour; Free releases and deletes it.
fw_Texture* FloatTarget(uint32_t w, uint32_t h, float r, float g, float b, float a = 1.0f);
// A float texture with texels from texel(x, y).
fw_Texture* FloatImage(uint32_t w, uint32_t h, const std::function<std::vector<float>(uint32_t, uint32_t)>& texel);
void Free(fw_Texture* t);

class PostPassTest : public ResourceTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::vector<float> Vector(const char* name);
    float Scalar(const char* name);
    int Int(const char* name);
    // The view a shader-resource variable holds (no reference kept).
    ID3D10ShaderResourceView* View(const char* name);
    // The bound render target view and viewports.
    ID3D10RenderTargetView* BoundTarget();
    std::vector<D3D10_VIEWPORT> BoundViewports();
    // Sets the shared "Time".
    void SetTime(float seconds);
    // Saves a target as PNG under $ZENDRA_POST_PNG_DIR when it is set (for looking at).
    void SavePicture(fw_Texture* t, const std::string& name);

    fw_PostEffects post;
    TestSyncDevice sync;
};

}  // namespace restest
