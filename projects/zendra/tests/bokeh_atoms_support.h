#pragma once
// Shared by the bokeh and atoms tests and benchmark: the framework on the software device
// with the production's roots and shared pool, targets, sources and read-back.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d3d10_read_back.h"
#include "fw_Framework.h"
#include "fw_Release.h"
#include "fw_Texture.h"
#include "resources_support.h"

namespace bokehatoms {

// The resource fixture with effects and images from the production, a fresh shared pool,
// the given render size and a sync device with settable tracks.
class EffectTest : public restest::ResourceTest {
protected:
    void SetUp() override;
    void TearDown() override;
    void SetRenderSize(int32_t width, int32_t height);
    restest::TestSyncDevice sync;
};

// A texture that gives its views and resource back when it goes.
using TexturePtr = std::unique_ptr<fw_Texture, fw_ReleaseAndDelete>;

// A colour target of the size and format; Bind makes it the only target, with its viewport.
struct Target {
    Target(uint32_t width, uint32_t height, DXGI_FORMAT format);
    void Bind() const;
    restest::Picture Read() const;
    TexturePtr texture;
};

// A shader-resource texture from RGBA floats (R16G16B16A16_FLOAT) or bytes (R8G8B8A8_UNORM).
TexturePtr FloatSource(uint32_t width, uint32_t height, const std::vector<float>& rgba);
TexturePtr ByteSource(uint32_t width, uint32_t height, const std::vector<uint32_t>& rgba);

// The bytes of a buffer (copied through a staging buffer).
using d3d10test::ReadBuffer;

// The reference count an object has once the caller's extra reference is given back.
ULONG CountAfterRelease(IUnknown* object);

// A picture tone mapped to 8 bits and written as PNG under the tests' output folder;
// returns the path, empty on failure.
std::string SavePng(const std::string& name, const restest::Picture& picture);

}  // namespace bokehatoms
