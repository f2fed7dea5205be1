// Textures from image files and back, over the Direct3D 10 device.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "d3dx10_texture_image.h"
#include "platform/crt.h"
#include "platform/d3dx10tex.h"
#include "platform/image_codec.h"
#include "platform/regular_file.h"

namespace {

using image_codec::Image;

bool IsDefault(UINT v) {
    return v == D3DX10_DEFAULT || v == D3DX10_FROM_FILE;
}

HRESULT Report(HRESULT hr, HRESULT* out) {
    if (out)
        *out = hr;
    return hr;
}

D3DX10_IMAGE_FILE_FORMAT FileFormatOf(image_codec::FileType type) {
    switch (type) {
        case image_codec::FileType::BMP:
            return D3DX10_IFF_BMP;
        case image_codec::FileType::JPG:
            return D3DX10_IFF_JPG;
        case image_codec::FileType::PNG:
            return D3DX10_IFF_PNG;
        case image_codec::FileType::DDS:
            return D3DX10_IFF_DDS;
        case image_codec::FileType::TGA:
            return static_cast<D3DX10_IMAGE_FILE_FORMAT>(2);  // the older library's TGA code
        case image_codec::FileType::HDR:
            return static_cast<D3DX10_IMAGE_FILE_FORMAT>(7);  // and its HDR code
        default:
            return D3DX10_IFF_FORCE_DWORD;
    }
}

void DescribeImage(const Image& img, image_codec::FileType type, D3DX10_IMAGE_INFO* info) {
    info->Width = img.width;
    info->Height = img.height;
    info->Depth = img.depth;
    info->ArraySize = img.arraySize;
    info->MipLevels = img.mipLevels;
    info->MiscFlags = img.cube ? UINT(D3D10_RESOURCE_MISC_TEXTURECUBE) : 0u;
    info->Format = static_cast<DXGI_FORMAT>(img.dxgiFormat);
    info->ResourceDimension = img.IsVolume() ? D3D10_RESOURCE_DIMENSION_TEXTURE3D : D3D10_RESOURCE_DIMENSION_TEXTURE2D;
    info->ImageFileFormat = FileFormatOf(type);
}

// Reads the whole file (a regular file, bounded); D3D10_ERROR_FILE_NOT_FOUND when it cannot
// be opened, D3DX10_ERR_INVALID_DATA when it is no regular file, too large or unreadable.
HRESULT ReadImageFile(LPCSTR srcFile, std::vector<uint8_t>& bytes) {
    if (!srcFile || !*srcFile)
        return E_INVALIDARG;
    switch (ReadRegularFile(PlatformResolveFileName(srcFile), image_codec::kMaxImageFileBytes, bytes)) {
        case RegularFileRead::Ok:
            return S_OK;
        case RegularFileRead::NotFound:
            return D3D10_ERROR_FILE_NOT_FOUND;
        default:
            return D3DX10_ERR_INVALID_DATA;
    }
}

// Decodes the file's bytes (emptied); D3DX10_ERR_INVALID_DATA when they are no image.
HRESULT DecodeImage(std::vector<uint8_t>& bytes, Image& img, image_codec::FileType& type) {
    type = image_codec::DetectFileType(bytes.data(), bytes.size());
    return image_codec::LoadImageBytes(bytes, img) ? S_OK : D3DX10_ERR_INVALID_DATA;
}

// Applies the load information's mip selection; false when it cannot be met.
HRESULT ShapeImage(Image& img, image_codec::FileType type, const D3DX10_IMAGE_LOAD_INFO* li) {
    if (li) {
        if ((!IsDefault(li->Width) && li->Width != 0 && li->Width != img.width) ||
            (!IsDefault(li->Height) && li->Height != 0 && li->Height != img.height) ||
            (!IsDefault(li->Depth) && li->Depth != 0 && li->Depth != img.depth))
            return E_INVALIDARG;
        const UINT format = static_cast<UINT>(li->Format);
        if (!IsDefault(format) && format != 0 && format != img.dxgiFormat)
            return E_INVALIDARG;
    }
    const UINT requested = li ? li->MipLevels : D3DX10_DEFAULT;
    const UINT first = (li && !IsDefault(li->FirstMipLevel)) ? li->FirstMipLevel : 0;
    const bool fromFile = requested == D3DX10_FROM_FILE || (type == image_codec::FileType::DDS && IsDefault(requested));
    const uint32_t full = image_codec::FullMipCount(img.width, img.height, img.depth);
    uint32_t wanted = fromFile ? img.mipLevels : (requested == 0 || IsDefault(requested)) ? full : requested;
    wanted = std::min(wanted, full);
    if (wanted > img.mipLevels && !img.IsVolume() && !image_codec::IsBlockCompressed(img.dxgiFormat)) {
        if (!image_codec::GenerateMipChain(img))
            return D3DX10_ERR_INVALID_DATA;
    }
    wanted = std::min(wanted, img.mipLevels);

    if (first > 0 || wanted < img.mipLevels) {
        if (first >= wanted)
            return E_INVALIDARG;
        Image out;
        if (!out.Allocate(img.dxgiFormat, img.MipWidth(first), img.MipHeight(first), img.MipDepth(first), img.arraySize,
                          wanted - first, img.cube))
            return E_INVALIDARG;
        for (uint32_t s = 0; s < img.arraySize; ++s)
            for (uint32_t m = 0; m < out.mipLevels; ++m) {
                const uint32_t src = img.SubresourceIndex(m + first, s), dst = out.SubresourceIndex(m, s);
                std::memcpy(out.Subresource(dst), img.Subresource(src), size_t(out.SubresourceSize(dst)));
            }
        img = std::move(out);
    }
    return S_OK;
}

// How a texture is used: the fields that 2D and 3D descriptions share.
struct TextureUsage {
    D3D10_USAGE usage = D3D10_USAGE_DEFAULT;
    UINT bind = D3D10_BIND_SHADER_RESOURCE, cpu = 0, misc = 0;
};

// Single-sampled: the only kind loaded or read back.
HRESULT CreateOn(ID3D10Device* device, D3D10_TEXTURE2D_DESC d, const D3D10_SUBRESOURCE_DATA* init,
                 ID3D10Texture2D** out) {
    d.SampleDesc.Count = 1;
    d.SampleDesc.Quality = 0;
    return device->CreateTexture2D(&d, init, out);
}
HRESULT CreateOn(ID3D10Device* device, const D3D10_TEXTURE3D_DESC& d, const D3D10_SUBRESOURCE_DATA* init,
                 ID3D10Texture3D** out) {
    return device->CreateTexture3D(&d, init, out);
}

// The texture interface a description creates.
template <class Desc>
struct TextureOf;
template <>
struct TextureOf<D3D10_TEXTURE2D_DESC> {
    using type = ID3D10Texture2D;
};
template <>
struct TextureOf<D3D10_TEXTURE3D_DESC> {
    using type = ID3D10Texture3D;
};

// A texture of the description's shape with the given use; success without an object counts
// as failure. *out is set on success only.
template <class Desc, class Out>
HRESULT CreateWithUsage(ID3D10Device* device, Desc d, const TextureUsage& u, const D3D10_SUBRESOURCE_DATA* init,
                        Out** out) {
    d.Usage = u.usage;
    d.BindFlags = u.bind;
    d.CPUAccessFlags = u.cpu;
    d.MiscFlags = u.misc;
    typename TextureOf<Desc>::type* tex = nullptr;
    HRESULT hr = CreateOn(device, d, init, &tex);
    if (SUCCEEDED(hr) && !tex)
        hr = E_FAIL;
    if (SUCCEEDED(hr))
        *out = tex;
    return hr;
}

// The size, mip levels and format of a 2D or 3D description.
template <class Desc>
Desc ShapeOf(const Image& img) {
    Desc d{};
    d.Width = img.width;
    d.Height = img.height;
    d.MipLevels = img.mipLevels;
    d.Format = static_cast<DXGI_FORMAT>(img.dxgiFormat);
    return d;
}

HRESULT CreateTexture(ID3D10Device* device, const Image& img, const D3DX10_IMAGE_LOAD_INFO* li, ID3D10Resource** out) {
    TextureUsage u;
    if (li) {
        if (!IsDefault(static_cast<UINT>(li->Usage)))
            u.usage = li->Usage;
        if (!IsDefault(li->BindFlags))
            u.bind = li->BindFlags;
        if (!IsDefault(li->CpuAccessFlags))
            u.cpu = li->CpuAccessFlags;
        if (!IsDefault(li->MiscFlags))
            u.misc = li->MiscFlags;
    }
    if (img.cube)
        u.misc |= D3D10_RESOURCE_MISC_TEXTURECUBE;
    else
        u.misc &= ~UINT(D3D10_RESOURCE_MISC_TEXTURECUBE);

    std::vector<D3D10_SUBRESOURCE_DATA> init(img.SubresourceCount());
    for (uint32_t s = 0; s < img.arraySize; ++s)
        for (uint32_t m = 0; m < img.mipLevels; ++m) {
            const uint32_t sub = img.SubresourceIndex(m, s);
            init[sub].pSysMem = img.Subresource(sub);
            init[sub].SysMemPitch = static_cast<UINT>(img.RowPitch(m));
            init[sub].SysMemSlicePitch = static_cast<UINT>(img.DepthPitch(m));
        }

    if (img.IsVolume()) {
        D3D10_TEXTURE3D_DESC d = ShapeOf<D3D10_TEXTURE3D_DESC>(img);
        d.Depth = img.depth;
        return CreateWithUsage(device, d, u, init.data(), out);
    }
    D3D10_TEXTURE2D_DESC d = ShapeOf<D3D10_TEXTURE2D_DESC>(img);
    d.ArraySize = img.arraySize;
    return CreateWithUsage(device, d, u, init.data(), out);
}

HRESULT LoadTexture(ID3D10Device* device, LPCSTR srcFile, D3DX10_IMAGE_LOAD_INFO* li, ID3D10Resource** texture,
                    Image* shape) {
    if (!device || !texture)
        return E_INVALIDARG;
    *texture = nullptr;
    std::vector<uint8_t> bytes;
    HRESULT hr = ReadImageFile(srcFile, bytes);
    if (FAILED(hr))
        return hr;
    Image img;
    hr = d3dx10_images::TextureImage(bytes, li, img);
    if (FAILED(hr))
        return hr;
    hr = CreateTexture(device, img, li, texture);
    std::vector<uint8_t>().swap(img.data);  // the device holds its own copy
    if (SUCCEEDED(hr) && shape)
        *shape = std::move(img);
    return hr;
}

// --- saving -------------------------------------------------------------------------

// A subresource of a staging texture mapped for reading.
struct MappedRead {
    const uint8_t* data = nullptr;
    size_t rowPitch = 0, depthPitch = 0;
};

HRESULT MapRead(ID3D10Texture2D* tex, UINT sub, MappedRead& out) {
    D3D10_MAPPED_TEXTURE2D m{};
    const HRESULT hr = tex->Map(sub, D3D10_MAP_READ, 0, &m);
    out = {static_cast<const uint8_t*>(m.pData), m.RowPitch, 0};
    return hr;
}
HRESULT MapRead(ID3D10Texture3D* tex, UINT sub, MappedRead& out) {
    D3D10_MAPPED_TEXTURE3D m{};
    const HRESULT hr = tex->Map(sub, D3D10_MAP_READ, 0, &m);
    out = {static_cast<const uint8_t*>(m.pData), m.RowPitch, m.DepthPitch};
    return hr;
}

// Every subresource of the texture into `img` (allocated in the texture's shape), through a
// CPU-readable copy of the description `d`.
template <class Texture, class Desc>
HRESULT CopyToImage(ID3D10Device* device, Texture* tex, const Desc& d, Image& img) {
    Texture* staging = nullptr;
    HRESULT hr =
        CreateWithUsage(device, d, TextureUsage{D3D10_USAGE_STAGING, 0, D3D10_CPU_ACCESS_READ, 0}, nullptr, &staging);
    if (FAILED(hr))
        return hr;
    device->CopyResource(staging, tex);
    for (uint32_t s = 0; s < img.arraySize && SUCCEEDED(hr); ++s)
        for (uint32_t m = 0; m < img.mipLevels && SUCCEEDED(hr); ++m) {
            const uint32_t sub = img.SubresourceIndex(m, s);
            MappedRead mapped;
            hr = MapRead(staging, sub, mapped);
            if (FAILED(hr) || !mapped.data) {
                hr = FAILED(hr) ? hr : E_FAIL;
                break;
            }
            const size_t row = size_t(img.RowPitch(m));
            const uint32_t rows = image_codec::RowCount(img.dxgiFormat, img.MipHeight(m));
            for (uint32_t z = 0; z < img.MipDepth(m); ++z)
                for (uint32_t y = 0; y < rows; ++y)
                    std::memcpy(img.Subresource(sub) + z * img.DepthPitch(m) + y * row,
                                mapped.data + size_t(z) * mapped.depthPitch + size_t(y) * mapped.rowPitch, row);
            staging->Unmap(sub);
        }
    staging->Release();
    return hr;
}

HRESULT ReadBack(ID3D10Resource* resource, Image& img) {
    D3D10_RESOURCE_DIMENSION dim = D3D10_RESOURCE_DIMENSION_UNKNOWN;
    resource->GetType(&dim);
    ID3D10Device* device = nullptr;
    resource->GetDevice(&device);
    if (!device)
        return E_FAIL;
    HRESULT hr = E_INVALIDARG;
    if (dim == D3D10_RESOURCE_DIMENSION_TEXTURE2D) {
        auto* tex = static_cast<ID3D10Texture2D*>(resource);
        D3D10_TEXTURE2D_DESC d;
        tex->GetDesc(&d);
        const bool cube =
            (d.MiscFlags & D3D10_RESOURCE_MISC_TEXTURECUBE) && d.ArraySize % 6 == 0 && d.Width == d.Height;
        hr = img.Allocate(d.Format, d.Width, d.Height, 1, d.ArraySize, d.MipLevels, cube)
                 ? CopyToImage(device, tex, d, img)
                 : E_FAIL;
    } else if (dim == D3D10_RESOURCE_DIMENSION_TEXTURE3D) {
        auto* tex = static_cast<ID3D10Texture3D*>(resource);
        D3D10_TEXTURE3D_DESC d;
        tex->GetDesc(&d);
        hr = img.Allocate(d.Format, d.Width, d.Height, d.Depth, 1, d.MipLevels, false)
                 ? CopyToImage(device, tex, d, img)
                 : E_FAIL;
    }
    device->Release();
    return hr;
}

// The folder through the file-name fallback, the file's own name as given.
std::string ResolveForWriting(const std::string& name) {
    std::string exact = PlatformResolveFileName(name);
    if (exact != name)
        return exact;
    std::string native = name;
    std::replace(native.begin(), native.end(), '\\', '/');
    const std::filesystem::path p(native);
    if (!p.has_parent_path())
        return native;
    return (std::filesystem::path(PlatformResolveFileName(p.parent_path().string())) / p.filename()).string();
}

}  // namespace

HRESULT d3dx10_images::TextureImage(std::vector<uint8_t>& bytes, const D3DX10_IMAGE_LOAD_INFO* li, Image& img) {
    image_codec::FileType type = image_codec::FileType::Unknown;
    const HRESULT hr = DecodeImage(bytes, img, type);
    if (FAILED(hr))
        return hr;
    if (li && li->pSrcInfo)
        DescribeImage(img, type, li->pSrcInfo);
    return ShapeImage(img, type, li);
}

HRESULT D3DX10GetImageInfoFromFileA(LPCSTR srcFile, ID3DX10ThreadPump*, D3DX10_IMAGE_INFO* srcInfo, HRESULT* hResult) {
    if (!srcInfo)
        return Report(E_INVALIDARG, hResult);
    std::vector<uint8_t> bytes;
    Image img;
    image_codec::FileType type = image_codec::FileType::Unknown;
    HRESULT hr = ReadImageFile(srcFile, bytes);
    if (SUCCEEDED(hr))
        hr = DecodeImage(bytes, img, type);
    if (SUCCEEDED(hr))
        DescribeImage(img, type, srcInfo);
    return Report(hr, hResult);
}

HRESULT D3DX10CreateTextureFromFileA(ID3D10Device* device, LPCSTR srcFile, D3DX10_IMAGE_LOAD_INFO* loadInfo,
                                     ID3DX10ThreadPump*, ID3D10Resource** texture, HRESULT* hResult) {
    return Report(LoadTexture(device, srcFile, loadInfo, texture, nullptr), hResult);
}

HRESULT D3DX10CreateShaderResourceViewFromFileA(ID3D10Device* device, LPCSTR srcFile, D3DX10_IMAGE_LOAD_INFO* loadInfo,
                                                ID3DX10ThreadPump*, ID3D10ShaderResourceView** view, HRESULT* hResult) {
    if (!view)
        return Report(E_INVALIDARG, hResult);
    *view = nullptr;
    ID3D10Resource* texture = nullptr;
    Image shape;
    HRESULT hr = LoadTexture(device, srcFile, loadInfo, &texture, &shape);
    if (FAILED(hr))
        return Report(hr, hResult);
    D3D10_SHADER_RESOURCE_VIEW_DESC d{};
    d.Format = static_cast<DXGI_FORMAT>(shape.dxgiFormat);
    if (shape.IsVolume()) {
        d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE3D;
        d.Texture3D.MostDetailedMip = 0;
        d.Texture3D.MipLevels = shape.mipLevels;
    } else if (shape.cube && shape.arraySize == 6) {
        d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURECUBE;
        d.TextureCube.MostDetailedMip = 0;
        d.TextureCube.MipLevels = shape.mipLevels;
    } else if (shape.arraySize > 1) {
        d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2DARRAY;
        d.Texture2DArray.MostDetailedMip = 0;
        d.Texture2DArray.MipLevels = shape.mipLevels;
        d.Texture2DArray.FirstArraySlice = 0;
        d.Texture2DArray.ArraySize = shape.arraySize;
    } else {
        d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
        d.Texture2D.MostDetailedMip = 0;
        d.Texture2D.MipLevels = shape.mipLevels;
    }
    hr = device->CreateShaderResourceView(texture, &d, view);
    if (SUCCEEDED(hr) && !*view)
        hr = E_FAIL;
    texture->Release();  // the view holds its own reference
    if (FAILED(hr))
        *view = nullptr;
    return Report(hr, hResult);
}

HRESULT D3DX10SaveTextureToFileA(ID3D10Resource* srcTexture, D3DX10_IMAGE_FILE_FORMAT destFormat, LPCSTR destFile) {
    if (!srcTexture || !destFile || !*destFile)
        return E_INVALIDARG;
    if (destFormat != D3DX10_IFF_DDS && destFormat != D3DX10_IFF_PNG && destFormat != D3DX10_IFF_JPG &&
        destFormat != D3DX10_IFF_BMP)
        return E_NOTIMPL;
    Image img;
    HRESULT hr = ReadBack(srcTexture, img);
    if (FAILED(hr))
        return hr;
    const std::string path = ResolveForWriting(destFile);
    bool ok = false;
    switch (destFormat) {
        case D3DX10_IFF_DDS:
            ok = image_codec::SaveDDS(img, path);
            break;
        case D3DX10_IFF_PNG:
            ok = image_codec::SavePNG(img, path);
            break;
        case D3DX10_IFF_JPG:
            ok = image_codec::SaveJPG(img, path);
            break;
        default:
            ok = image_codec::SaveBMP(img, path);
            break;
    }
    return ok ? S_OK : E_FAIL;
}
