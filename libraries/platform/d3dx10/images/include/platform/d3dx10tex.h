#pragma once
// The extension library's image files: textures and views loaded from image files, and
// textures saved to them.
//
// Loading (D3DX10CreateTextureFromFileA, D3DX10CreateShaderResourceViewFromFileA):
// - DDS files keep their format, size, mip chain and kind: a 2D texture (a texture array
//   when the file holds several slices), a cube map as a 2D texture of 6 slices with
//   D3D10_RESOURCE_MISC_TEXTURECUBE and a cube view, a volume as a 3D texture.
// - PNG, JPG, BMP, TGA and HDR files become R8G8B8A8_UNORM (16-bit PNG R16G16B16A16_UNORM,
//   HDR R32G32B32A32_FLOAT) 2D textures with the full mip chain, box-filtered on load, as the
//   library does with its default load information.
// - Load information (optional): D3DX10_DEFAULT or D3DX10_FROM_FILE in a field keeps the
//   file's value. MipLevels n takes the first n levels (generated where the file has fewer);
//   FirstMipLevel skips levels; Usage, BindFlags (default shader resource), CpuAccessFlags
//   and MiscFlags are passed to the texture. A width, height, depth or format other than
//   the file's is refused with E_INVALIDARG (no resampling or conversion on load).
//   pSrcInfo, when set, receives the file's description.
// - File names go through the platform's file-name fallback (case-insensitive match).
// - A missing file gives D3D10_ERROR_FILE_NOT_FOUND, a corrupt or truncated one
//   D3DX10_ERR_INVALID_DATA; nothing is created then. The thread pump is not used: loading is
//   synchronous, and the result is also written to *hResult when it is not null.
//
// Saving (D3DX10SaveTextureToFileA): the texture is copied to a staging texture and mapped.
// DDS holds every subresource exactly; BMP, JPG and PNG hold mip 0 of slice 0 (depth slice
// 0 of a volume) in 8 bits a channel (see platform/image_codec.h). TIFF, GIF and WMP are
// not written (E_NOTIMPL). The file is written whole or not at all.

#include "platform/d3d10.h"
#include "platform/win32_types.h"

struct ID3DX10ThreadPump;

#define D3DX10_DEFAULT (static_cast<UINT>(-1))
#define D3DX10_FROM_FILE (static_cast<UINT>(-3))
#define DXGI_FORMAT_FROM_FILE (static_cast<DXGI_FORMAT>(-3))

#define D3DX10_ERR_INVALID_DATA static_cast<HRESULT>(0x88760B59u)

enum D3DX10_IMAGE_FILE_FORMAT : UINT {
    D3DX10_IFF_BMP = 0,
    D3DX10_IFF_JPG = 1,
    D3DX10_IFF_PNG = 3,
    D3DX10_IFF_DDS = 4,
    D3DX10_IFF_TIFF = 10,
    D3DX10_IFF_GIF = 11,
    D3DX10_IFF_WMP = 12,
    D3DX10_IFF_FORCE_DWORD = 0x7fffffff,
};

enum D3DX10_FILTER_FLAG : UINT {
    D3DX10_FILTER_NONE = 1 << 0,
    D3DX10_FILTER_POINT = 2 << 0,
    D3DX10_FILTER_LINEAR = 3 << 0,
    D3DX10_FILTER_TRIANGLE = 4 << 0,
    D3DX10_FILTER_BOX = 5 << 0,
    D3DX10_FILTER_MIRROR_U = 1 << 16,
    D3DX10_FILTER_MIRROR_V = 2 << 16,
    D3DX10_FILTER_MIRROR_W = 4 << 16,
    D3DX10_FILTER_MIRROR = 7 << 16,
    D3DX10_FILTER_DITHER = 1 << 19,
    D3DX10_FILTER_DITHER_DIFFUSION = 2 << 19,
    D3DX10_FILTER_SRGB_IN = 1 << 21,
    D3DX10_FILTER_SRGB_OUT = 2 << 21,
    D3DX10_FILTER_SRGB = 3 << 21,
};

struct D3DX10_IMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT ArraySize;
    UINT MipLevels;
    UINT MiscFlags;
    DXGI_FORMAT Format;
    D3D10_RESOURCE_DIMENSION ResourceDimension;
    D3DX10_IMAGE_FILE_FORMAT ImageFileFormat;
};

struct D3DX10_IMAGE_LOAD_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT FirstMipLevel;
    UINT MipLevels;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CpuAccessFlags;
    UINT MiscFlags;
    DXGI_FORMAT Format;
    UINT Filter;
    UINT MipFilter;
    D3DX10_IMAGE_INFO* pSrcInfo;

    D3DX10_IMAGE_LOAD_INFO()
        : Width(D3DX10_DEFAULT),
          Height(D3DX10_DEFAULT),
          Depth(D3DX10_DEFAULT),
          FirstMipLevel(D3DX10_DEFAULT),
          MipLevels(D3DX10_DEFAULT),
          Usage(static_cast<D3D10_USAGE>(D3DX10_DEFAULT)),
          BindFlags(D3DX10_DEFAULT),
          CpuAccessFlags(D3DX10_DEFAULT),
          MiscFlags(D3DX10_DEFAULT),
          Format(static_cast<DXGI_FORMAT>(D3DX10_DEFAULT)),
          Filter(D3DX10_DEFAULT),
          MipFilter(D3DX10_DEFAULT),
          pSrcInfo(nullptr) {}
};

HRESULT D3DX10GetImageInfoFromFileA(LPCSTR srcFile, ID3DX10ThreadPump* pump, D3DX10_IMAGE_INFO* srcInfo,
                                    HRESULT* hResult);

HRESULT D3DX10CreateTextureFromFileA(ID3D10Device* device, LPCSTR srcFile, D3DX10_IMAGE_LOAD_INFO* loadInfo,
                                     ID3DX10ThreadPump* pump, ID3D10Resource** texture, HRESULT* hResult);

HRESULT D3DX10CreateShaderResourceViewFromFileA(ID3D10Device* device, LPCSTR srcFile, D3DX10_IMAGE_LOAD_INFO* loadInfo,
                                                ID3DX10ThreadPump* pump, ID3D10ShaderResourceView** view,
                                                HRESULT* hResult);

HRESULT D3DX10SaveTextureToFileA(ID3D10Resource* srcTexture, D3DX10_IMAGE_FILE_FORMAT destFormat, LPCSTR destFile);
