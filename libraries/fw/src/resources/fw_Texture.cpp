#include "fw_Texture.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Release.h"
#include "platform/d3dx10tex.h"
#include "platform/file_text.h"

namespace {

ID3D10Device* Device() {
    return fw_Framework::mDevice;
}

// The picture that stands in for an image that cannot be read at all: an 8 x 8 checker
// of magenta and black.
ID3D10ShaderResourceView* CreateErrorImageView() {
    if (!Device())
        return nullptr;
    constexpr uint32_t kSize = 8;
    uint32_t texels[kSize * kSize];
    for (uint32_t y = 0; y < kSize; ++y)
        for (uint32_t x = 0; x < kSize; ++x)
            texels[y * kSize + x] = ((x / 2 + y / 2) & 1) ? 0xFF000000u : 0xFFFF00FFu;
    D3D10_TEXTURE2D_DESC desc = {};
    desc.Width = kSize;
    desc.Height = kSize;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D10_USAGE_DEFAULT;
    desc.BindFlags = D3D10_BIND_SHADER_RESOURCE;
    D3D10_SUBRESOURCE_DATA data = {texels, kSize * 4, kSize * kSize * 4};
    ID3D10Texture2D* texture = nullptr;
    if (FAILED(Device()->CreateTexture2D(&desc, &data, &texture)) || !texture)
        return nullptr;
    ID3D10ShaderResourceView* view = nullptr;
    Device()->CreateShaderResourceView(texture, nullptr, &view);
    texture->Release();  // the view keeps the resource
    return view;
}

struct SaveFormat {
    const char* extension;
    D3DX10_IMAGE_FILE_FORMAT format;
};
const SaveFormat kSaveFormats[] = {
    {".bmp", D3DX10_IFF_BMP},   {".jpg", D3DX10_IFF_JPG}, {".png", D3DX10_IFF_PNG}, {".dds", D3DX10_IFF_DDS},
    {".tiff", D3DX10_IFF_TIFF}, {".gif", D3DX10_IFF_GIF}, {".wmp", D3DX10_IFF_WMP},
};

bool EndsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

uint32_t BytesPerPixel(DXGI_FORMAT format) {
    const uint32_t f = static_cast<uint32_t>(format);
    if (f >= 1 && f <= 4)
        return 16;
    if (f >= 5 && f <= 8)
        return 12;
    if (f >= 9 && f <= 22)
        return 8;
    if (f >= 48 && f <= 59)
        return 2;
    if (f >= 60 && f <= 66)
        return 1;
    return 4;
}

namespace {
// Bytes of one 4 x 4 block of a block-compressed format; 0 for every other format.
uint32_t BlockBytes(uint32_t f) {
    if ((f >= 70 && f <= 72) || (f >= 79 && f <= 81))
        return 8;  // BC1, BC4
    if ((f >= 73 && f <= 78) || (f >= 82 && f <= 84))
        return 16;  // BC2, BC3, BC5
    return 0;
}
}  // namespace

uint32_t RowPitchOf(DXGI_FORMAT format, uint32_t width) {
    const uint32_t f = static_cast<uint32_t>(format);
    if (const uint32_t block = BlockBytes(f))
        return ((width + 3) / 4) * block;
    switch (f) {
        case 66:  // R1_UNORM: one bit a texel
            return (width + 7) / 8;
        case 68:  // R8G8_B8G8, G8R8_G8B8: four bytes per pair of texels
        case 69:
            return ((width + 1) / 2) * 4;
        case 85:  // B5G6R5, B5G5R5A1
        case 86:
        case 115:  // B4G4R4A4
            return width * 2;
        default:
            return width * BytesPerPixel(format);
    }
}

uint32_t RowCountOf(DXGI_FORMAT format, uint32_t height) {
    return BlockBytes(static_cast<uint32_t>(format)) ? (height + 3) / 4 : height;
}

fw_Texture* NewRenderTexture(D3D10_BIND_FLAG bindFlags, DXGI_FORMAT format, uint32_t width, uint32_t height) {
    return new fw_Texture(bindFlags, format, width, height, 1, nullptr);
}

fw_Texture::fw_Texture()
    : mRenderTargetView(nullptr),
      mShaderResourceView(nullptr),
      mDepthStencilView(nullptr),
      mViewport(),
      mCudaRegistered(false),
      mTexture2D(nullptr),
      mTexture3D(nullptr) {}

fw_Texture::fw_Texture(uint32_t bindFlags, DXGI_FORMAT format, uint32_t width, uint32_t height, uint32_t depth,
                       const void* data)
    : fw_Texture() {
    ID3D10Device* device = Device();
    if (!device)
        return;
    const bool is2D = depth == 1;
    if (is2D) {
        D3D10_TEXTURE2D_DESC desc = {};
        desc.Width = width;
        desc.Height = height;
        desc.MipLevels = 1;
        desc.ArraySize = 1;
        desc.Format = format;
        desc.SampleDesc.Count = 1;
        desc.SampleDesc.Quality = 0;
        desc.Usage = D3D10_USAGE_DEFAULT;
        desc.BindFlags = bindFlags;
        device->CreateTexture2D(&desc, nullptr, &mTexture2D);
    } else {
        D3D10_TEXTURE3D_DESC desc = {};
        desc.Width = width;
        desc.Height = height;
        desc.Depth = depth;
        desc.MipLevels = 1;
        desc.Format = format;
        desc.Usage = D3D10_USAGE_DEFAULT;
        desc.BindFlags = bindFlags;
        device->CreateTexture3D(&desc, nullptr, &mTexture3D);
    }
    ID3D10Resource* resource = GetResource();
    if (!resource)
        return;

    if (bindFlags & D3D10_BIND_SHADER_RESOURCE) {
        D3D10_SHADER_RESOURCE_VIEW_DESC desc = {};
        desc.Format = format;
        if (is2D) {
            desc.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
            desc.Texture2D.MostDetailedMip = 0;
            desc.Texture2D.MipLevels = 1;
        } else {
            desc.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE3D;
            desc.Texture3D.MostDetailedMip = 0;
            desc.Texture3D.MipLevels = 1;
        }
        device->CreateShaderResourceView(resource, &desc, &mShaderResourceView);
    }
    if (bindFlags & D3D10_BIND_RENDER_TARGET) {
        D3D10_RENDER_TARGET_VIEW_DESC desc = {};
        desc.Format = format;
        if (is2D) {
            desc.ViewDimension = D3D10_RTV_DIMENSION_TEXTURE2D;
            desc.Texture2D.MipSlice = 0;
        } else {
            desc.ViewDimension = D3D10_RTV_DIMENSION_TEXTURE3D;
            desc.Texture3D.MipSlice = 0;
            desc.Texture3D.FirstWSlice = 0;
            desc.Texture3D.WSize = depth;
        }
        device->CreateRenderTargetView(resource, &desc, &mRenderTargetView);
        mViewport = {0, 0, width, height, 0.0f, 1.0f};
    }
    if (bindFlags & D3D10_BIND_DEPTH_STENCIL) {
        D3D10_DEPTH_STENCIL_VIEW_DESC desc = {};
        desc.Format = format;
        desc.ViewDimension = D3D10_DSV_DIMENSION_TEXTURE2D;
        desc.Texture2D.MipSlice = 0;
        device->CreateDepthStencilView(resource, &desc, &mDepthStencilView);
    }
    if (data) {
        const uint32_t rowPitch = RowPitchOf(format, width);
        const uint32_t depthPitch = rowPitch * RowCountOf(format, height);
        device->UpdateSubresource(resource, 0, nullptr, data, rowPitch, depthPitch);
    }
}

fw_Texture::fw_Texture(ID3D10Texture2D* texture, uint32_t bindFlags) : fw_Texture() {
    if (!texture)
        return;
    D3D10_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    mTexture2D = texture;
    ID3D10Device* device = Device();
    if (!device)
        return;
    if (bindFlags & D3D10_BIND_SHADER_RESOURCE) {
        D3D10_SHADER_RESOURCE_VIEW_DESC view = {};
        view.Format = desc.Format;
        view.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
        view.Texture2D.MostDetailedMip = 0;
        view.Texture2D.MipLevels = 1;
        device->CreateShaderResourceView(texture, &view, &mShaderResourceView);
    }
    if (bindFlags & D3D10_BIND_RENDER_TARGET) {
        D3D10_RENDER_TARGET_VIEW_DESC view = {};
        view.Format = desc.Format;
        view.ViewDimension = D3D10_RTV_DIMENSION_TEXTURE2D;
        view.Texture2D.MipSlice = 0;
        device->CreateRenderTargetView(texture, &view, &mRenderTargetView);
        mViewport = {0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
    }
}

fw_Texture* fw_Texture::LoadFromFile(const std::string& name) {
    fw_Texture* texture = new fw_Texture();
    std::string path = fw_Framework::ResolveDataPath(name);
    for (int attempt = 0; attempt < 2; ++attempt) {
        HRESULT hr = E_FAIL;
        if (Device())
            hr = D3DX10CreateShaderResourceViewFromFileA(Device(), path.c_str(), nullptr, nullptr,
                                                         &texture->mShaderResourceView, nullptr);
        if (SUCCEEDED(hr) && texture->mShaderResourceView)
            break;
        SafeRelease(texture->mShaderResourceView);
        fw_Log::Write(fw_Log::kWarning,
                      "Could not create a texture from the image file <%s>.  The path does not refer to a regular "
                      "file or the image is corrupt.  The texture will use a generic error image instead.",
                      EscapeFileText(path).c_str());
        path = "./data/missing.png";
    }
    if (!texture->mShaderResourceView)
        texture->mShaderResourceView = CreateErrorImageView();
    if (!texture->mShaderResourceView)
        return texture;

    D3D10_SHADER_RESOURCE_VIEW_DESC desc = {};
    texture->mShaderResourceView->GetDesc(&desc);
    ID3D10Resource* resource = nullptr;
    texture->mShaderResourceView->GetResource(&resource);
    if (!resource)
        return texture;
    D3D10_RESOURCE_DIMENSION type = D3D10_RESOURCE_DIMENSION_UNKNOWN;
    resource->GetType(&type);
    const bool flat =
        desc.ViewDimension == D3D10_SRV_DIMENSION_TEXTURE2D || desc.ViewDimension == D3D10_SRV_DIMENSION_TEXTURECUBE;
    if (flat && type == D3D10_RESOURCE_DIMENSION_TEXTURE2D)
        texture->mTexture2D = static_cast<ID3D10Texture2D*>(resource);
    else if (desc.ViewDimension == D3D10_SRV_DIMENSION_TEXTURE3D && type == D3D10_RESOURCE_DIMENSION_TEXTURE3D)
        texture->mTexture3D = static_cast<ID3D10Texture3D*>(resource);
    else
        resource->Release();
    return texture;
}

bool fw_Texture::SaveToFile(const std::string& name) {
    if (!GetResource())
        return false;
    const SaveFormat* format = nullptr;
    for (const SaveFormat& candidate : kSaveFormats) {
        if (EndsWith(name, candidate.extension)) {
            format = &candidate;
            break;
        }
    }
    if (!format) {
        fw_Log::Write(fw_Log::kWarning,
                      "The texture was not saved to <%s>: the name ends with no known image file extension.",
                      EscapeFileText(name).c_str());
        return false;
    }
    const std::string path = fw_Framework::mProjectRoot + "/data/" + name;
    if (mTexture2D)
        return SUCCEEDED(D3DX10SaveTextureToFileA(mTexture2D, format->format, path.c_str()));
    if (format->format == D3DX10_IFF_DDS)
        return SUCCEEDED(D3DX10SaveTextureToFileA(mTexture3D, format->format, path.c_str()));

    const uint32_t w = GetWidth(), h = GetHeight(), d = GetDepth();
    fw_Texture slice(0, static_cast<DXGI_FORMAT>(GetFormat()), w, h, 1, nullptr);
    if (!slice.mTexture2D || !Device())
        return false;
    const std::string stem = path.substr(0, path.size() - std::strlen(format->extension));
    bool ok = true;
    for (uint32_t i = 0; i < d; ++i) {
        const D3D10_BOX box = {0, 0, i, w, h, i + 1};
        Device()->CopySubresourceRegion(slice.mTexture2D, 0, 0, 0, 0, mTexture3D, 0, &box);
        char number[16];
        std::snprintf(number, sizeof number, "%04u", i);
        const std::string slicePath = stem + number + format->extension;
        ok = SUCCEEDED(D3DX10SaveTextureToFileA(slice.mTexture2D, format->format, slicePath.c_str())) && ok;
    }
    slice.Release();
    return ok;
}

void fw_Texture::CopyFrom(const fw_Texture& other) {
    if (!Device())
        return;
    if (mTexture2D) {
        if (other.mTexture2D)
            Device()->CopyResource(mTexture2D, other.mTexture2D);
    } else if (mTexture3D && other.mTexture3D) {
        Device()->CopyResource(mTexture3D, other.mTexture3D);
    }
}

void fw_Texture::CopyTo(ID3D10Resource* destination) {
    ID3D10Resource* resource = GetResource();
    if (resource && destination && Device())
        Device()->CopyResource(destination, resource);
}

void fw_Texture::CopyToStagingAt(uint32_t x) {
    ID3D10Resource* resource = GetResource();
    if (resource && fw_Framework::mScreenshotTexture && Device())
        Device()->CopySubresourceRegion(fw_Framework::mScreenshotTexture, 0, x, 0, 0, resource, 0, nullptr);
}

HRESULT fw_Texture::Map2D(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE2D* mapped) {
    if (!mTexture2D)
        return E_FAIL;
    return mTexture2D->Map(subresource, mapType, mapFlags, mapped);
}

HRESULT fw_Texture::Map3D(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE3D* mapped) {
    if (!mTexture3D)
        return E_FAIL;
    return mTexture3D->Map(subresource, mapType, mapFlags, mapped);
}

void fw_Texture::Unmap(UINT subresource) {
    if (mTexture2D)
        mTexture2D->Unmap(subresource);
    else if (mTexture3D)
        mTexture3D->Unmap(subresource);
}

ID3D10Resource* fw_Texture::GetResource() const {
    if (mTexture2D)
        return mTexture2D;
    return mTexture3D;
}

uint32_t fw_Texture::GetDescField(_DescFieldName field) const {
    if (mTexture2D) {
        D3D10_TEXTURE2D_DESC d = {};
        mTexture2D->GetDesc(&d);
        switch (field) {
            case width:
                return d.Width;
            case height:
                return d.Height;
            case depth:
                return 1;
            case mips:
                return d.MipLevels;
            case arraySize:
                return d.ArraySize;
            case format:
                return static_cast<uint32_t>(d.Format);
            case sampleDescCount:
                return d.SampleDesc.Count;
            case sampleDescQuality:
                return d.SampleDesc.Quality;
            case usage:
                return static_cast<uint32_t>(d.Usage);
            case bindFlags:
                return d.BindFlags;
            case cpuAccessFlags:
                return d.CPUAccessFlags;
            case miscFlags:
                return d.MiscFlags;
        }
        return 0;
    }
    if (mTexture3D) {
        D3D10_TEXTURE3D_DESC d = {};
        mTexture3D->GetDesc(&d);
        switch (field) {
            case width:
                return d.Width;
            case height:
                return d.Height;
            case depth:
                return d.Depth;
            case mips:
                return d.MipLevels;
            case arraySize:
                return 1;
            case format:
                return static_cast<uint32_t>(d.Format);
            case sampleDescCount:
                return 1;
            case sampleDescQuality:
                return 0;
            case usage:
                return static_cast<uint32_t>(d.Usage);
            case bindFlags:
                return d.BindFlags;
            case cpuAccessFlags:
                return d.CPUAccessFlags;
            case miscFlags:
                return d.MiscFlags;
        }
    }
    return 0;
}

uint32_t fw_Texture::GetWidth() const {
    return GetDescField(width);
}
uint32_t fw_Texture::GetHeight() const {
    return GetDescField(height);
}
uint32_t fw_Texture::GetDepth() const {
    return mTexture3D && !mTexture2D ? GetDescField(depth) : 1;
}
uint32_t fw_Texture::GetFormat() const {
    return GetDescField(format);
}

void fw_Texture::Clear(const float colour[4]) {
    if (mRenderTargetView && Device())
        Device()->ClearRenderTargetView(mRenderTargetView, colour);
}

void fw_Texture::ClearColor(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    Clear(colour);
}

void fw_Texture::ClearColor3(float r, float g, float b) {
    ClearColor(r, g, b, 0.0f);
}
void fw_Texture::ClearColor2(float r, float g) {
    ClearColor(r, g, 0.0f, 0.0f);
}
void fw_Texture::ClearGrey(float v) {
    ClearColor(v, v, v, v);
}

void fw_Texture::ClearDepth(float depthValue) {
    if (mDepthStencilView && Device())
        Device()->ClearDepthStencilView(mDepthStencilView, D3D10_CLEAR_DEPTH, depthValue, 0);
}

D3D10_VIEWPORT fw_Texture::InsetViewport(int64_t rows) const {
    D3D10_VIEWPORT viewport = mViewport;
    const int64_t height = static_cast<int64_t>(viewport.Height) - 2 * rows;
    viewport.TopLeftY = static_cast<INT>(static_cast<int64_t>(viewport.TopLeftY) + rows);
    viewport.Height = static_cast<UINT>(height > 0 ? height : 0);
    return viewport;
}

void fw_Texture::Release() {
    UnregisterFromCuda();
    SafeRelease(mShaderResourceView);
    SafeRelease(mRenderTargetView);
    SafeRelease(mDepthStencilView);
    SafeRelease(mTexture2D);
    SafeRelease(mTexture3D);
}
