#pragma once
// Shared set-up of the resource tests: a headless software device, the framework object,
// temporary project trees, texture read-back and a sync device with settable tracks.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "fw_Framework.h"
#include "fw_Texture.h"
#include "platform/d3d10.h"
#include "sync/device.h"
#include "sync/track.h"

namespace restest {

namespace fs = boost::filesystem;

// A render target that is also read as a texture.
constexpr UINT kTargetBindFlags = D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET;

// The framework's source folder (libraries/fw).
std::string SourceRoot();

// A temporary tree that serves as project root; removed on destruction.
class TempTree {
public:
    TempTree();
    ~TempTree();
    void Write(const std::string& relative, const std::string& content) const;
    std::string Path(const std::string& relative = "") const;
    fs::path root;
};

// An RGBA float picture of a 2D texture's subresource 0 (any of the formats the tests use:
// R32G32B32A32_FLOAT, R16G16B16A16_FLOAT, R32G32_FLOAT, R32_FLOAT, R8G8B8A8_UNORM, R8_UNORM).
struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<float> rgba;  // 4 a texel, rows from the top
    const float* At(uint32_t x, uint32_t y) const { return &rgba[(y * width + x) * 4]; }
};
Picture ReadBack(ID3D10Texture2D* texture);
// A default-usage description of one mip level.
D3D10_TEXTURE2D_DESC TextureDesc(UINT w, UINT h, DXGI_FORMAT format, UINT bindFlags, UINT arraySize = 1,
                                 UINT miscFlags = 0);
// Raw bytes of slice z of a volume (tightly packed rows).
std::vector<uint8_t> ReadVolumeSlice(ID3D10Texture3D* texture, uint32_t z);

// Writes a w x h RGBA8 image file (format from the extension) with one colour.
void WriteImage(const std::string& path, uint32_t w, uint32_t h, uint32_t rgba);

// A sync device whose tracks the tests fill with keys.
class TestSyncDevice : public sync::Device {
public:
    TestSyncDevice() : sync::Device("test") {}
    sync::Track* GetTrack(const std::string& name) override;
    bool Update(float) override { return true; }
    void SetConstant(const std::string& name, float value);
    std::map<std::string, std::unique_ptr<sync::Track>> tracks;
    std::vector<std::string> asked;  // names in order of GetTrack calls
};

// Base fixture: device, framework object with roots at the source tree and a temporary
// project, an empty table; releases everything afterwards.
class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    ID3D10Device* device = nullptr;
    std::unique_ptr<TempTree> project;
    std::unique_ptr<fw_Framework> framework;
};

}  // namespace restest
