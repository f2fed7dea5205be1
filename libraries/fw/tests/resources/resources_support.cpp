#include "resources_support.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include "d3d10_read_back.h"
#include "fw_Log.h"
#include "platform/d3dx10tex.h"
#include "platform/image_codec.h"

// The framework object without start-up. The main road's library defines the real one;
// these stand in where the tests link without it.
__attribute__((weak)) fw_Framework::fw_Framework(NoStartup, const std::string& applicationName) {
    mApplicationName = applicationName;
    gFramework = this;
}
__attribute__((weak)) fw_Framework::~fw_Framework() {
    if (gFramework == this)
        gFramework = nullptr;
}

namespace restest {

std::string SourceRoot() {
    return FW_SOURCE_ROOT;
}

TempTree::TempTree() {
    root = fs::temp_directory_path() / fs::unique_path("fwres-%%%%-%%%%");
    fs::create_directories(root / "data");
    fs::create_directories(root / "src" / "shaders");
}

TempTree::~TempTree() {
    boost::system::error_code ec;
    fs::remove_all(root, ec);
}

void TempTree::Write(const std::string& relative, const std::string& content) const {
    const fs::path p = root / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p.string(), std::ios::binary) << content;
}

std::string TempTree::Path(const std::string& relative) const {
    return relative.empty() ? root.string() : (root / relative).string();
}

D3D10_TEXTURE2D_DESC TextureDesc(UINT w, UINT h, DXGI_FORMAT format, UINT bindFlags, UINT arraySize, UINT miscFlags) {
    D3D10_TEXTURE2D_DESC desc = {};
    desc.Width = w;
    desc.Height = h;
    desc.MipLevels = 1;
    desc.ArraySize = arraySize;
    desc.Format = format;
    desc.SampleDesc.Count = 1;
    desc.BindFlags = bindFlags;
    desc.MiscFlags = miscFlags;
    return desc;
}

Picture ReadBack(ID3D10Texture2D* texture) {
    Picture picture;
    d3d10test::TextureCopy copy;
    if (!d3d10test::ReadTexture(texture, copy))
        return picture;
    const D3D10_TEXTURE2D_DESC& desc = copy.desc;
    picture.width = desc.Width;
    picture.height = desc.Height;
    picture.rgba.assign(desc.Width * desc.Height * 4, 0.0f);
    for (uint32_t y = 0; y < desc.Height; ++y) {
        const uint8_t* row = copy.Row(y);
        for (uint32_t x = 0; x < desc.Width; ++x) {
            float* out = &picture.rgba[(y * desc.Width + x) * 4];
            switch (desc.Format) {
                case DXGI_FORMAT_R32G32B32A32_FLOAT:
                    std::memcpy(out, row + x * 16, 16);
                    break;
                case DXGI_FORMAT_R16G16B16A16_FLOAT: {
                    uint16_t h[4];
                    std::memcpy(h, row + x * 8, 8);
                    for (int c = 0; c < 4; ++c)
                        out[c] = image_codec::HalfToFloat(h[c]);
                    break;
                }
                case DXGI_FORMAT_R32G32_FLOAT:
                    std::memcpy(out, row + x * 8, 8);
                    break;
                case DXGI_FORMAT_R32_FLOAT:
                case DXGI_FORMAT_D32_FLOAT:
                    std::memcpy(out, row + x * 4, 4);
                    break;
                case DXGI_FORMAT_R8_UNORM:
                    out[0] = row[x] / 255.0f;
                    break;
                default:  // RGBA8
                    for (int c = 0; c < 4; ++c)
                        out[c] = row[x * 4 + c] / 255.0f;
                    break;
            }
        }
    }
    return picture;
}

std::vector<uint8_t> ReadVolumeSlice(ID3D10Texture3D* texture, uint32_t z) {
    std::vector<uint8_t> bytes;
    ID3D10Device* device = fw_Framework::mDevice;
    D3D10_TEXTURE3D_DESC desc = {};
    texture->GetDesc(&desc);
    desc.Usage = D3D10_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    ID3D10Texture3D* staging = nullptr;
    if (FAILED(device->CreateTexture3D(&desc, nullptr, &staging)))
        return bytes;
    device->CopyResource(staging, texture);
    D3D10_MAPPED_TEXTURE3D mapped = {};
    if (SUCCEEDED(staging->Map(0, D3D10_MAP_READ, 0, &mapped))) {
        const uint32_t rowBytes = RowPitchOf(desc.Format, desc.Width);
        for (uint32_t y = 0; y < desc.Height; ++y) {
            const uint8_t* row =
                static_cast<const uint8_t*>(mapped.pData) + size_t(mapped.DepthPitch) * z + size_t(mapped.RowPitch) * y;
            bytes.insert(bytes.end(), row, row + rowBytes);
        }
        staging->Unmap(0);
    }
    staging->Release();
    return bytes;
}

void WriteImage(const std::string& path, uint32_t w, uint32_t h, uint32_t rgba) {
    fs::create_directories(fs::path(path).parent_path());
    std::vector<uint32_t> texels(size_t(w) * h, rgba);
    fw_Texture image(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, w, h, 1, texels.data());
    D3DX10_IMAGE_FILE_FORMAT format = D3DX10_IFF_PNG;
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0)
        format = D3DX10_IFF_JPG;
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".bmp") == 0)
        format = D3DX10_IFF_BMP;
    ASSERT_EQ(S_OK, D3DX10SaveTextureToFileA(image.mTexture2D, format, path.c_str()));
    image.Release();
}

sync::Track* TestSyncDevice::GetTrack(const std::string& name) {
    asked.push_back(name);
    auto& slot = tracks[name];
    if (!slot)
        slot = std::make_unique<sync::Track>(name);
    return slot.get();
}

void TestSyncDevice::SetConstant(const std::string& name, float value) {
    auto& slot = tracks[name];
    if (!slot)
        slot = std::make_unique<sync::Track>(name);
    sync::TrackKey key;
    key.value = value;
    slot->SetKey(0, key);
}

void ResourceTest::SetUp() {
    static ID3D10Device* shared = nullptr;
    if (!shared) {
        static int marker;
        ASSERT_EQ(S_OK, D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0,
                                          D3D10_SDK_VERSION, &shared));
    }
    device = shared;
    fw_Framework::ResetState();
    fw_Framework::mDevice = device;
    fw_Log::SetAlertMode(0);
    framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "resources_tests");
    project = std::make_unique<TempTree>();
    fw_Framework::mFrameworkRoot = SourceRoot();
    fw_Framework::mProjectRoot = project->Path();
}

void ResourceTest::TearDown() {
    if (gFramework) {
        gFramework->ReleaseSharedResources();
    }
    framework.reset();
    project.reset();
    device->ClearState();
    fw_Framework::ResetState();
}

}  // namespace restest
