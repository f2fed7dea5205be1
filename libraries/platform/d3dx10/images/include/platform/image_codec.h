#pragma once
// Image files without a device: decoding PNG, JPG, BMP, TGA, HDR and DDS into one texel
// layout, and encoding DDS, PNG, JPG and BMP.
//
// Layout of Image::data: the subresources in Direct3D order. For each array slice (a cube
// map's six faces +X, -X, +Y, -Y, +Z, -Z are slices 0..5), for each mip level: that level's
// depth slices, each of its rows top first, each row tightly packed (RowPitch). Block-
// compressed formats store rows of 4x4 blocks.
//
// Loading rules:
// - PNG, JPG, BMP, TGA: R8G8B8A8_UNORM (grey and RGB images are expanded, alpha 255);
//   16-bit PNG: R16G16B16A16_UNORM; Radiance HDR: R32G32B32A32_FLOAT. One mip level: the
//   codec returns what the file holds. (The texture loader of the extension library adds
//   the full mip chain, with GenerateMipChain, for these files.)
// - DDS: the file's format, size, mip chain, array, cube map or volume, unchanged. Legacy
//   headers with bit masks are expanded to R8G8B8A8_UNORM (32, 24 bit RGB/BGR), R8_UNORM
//   (8-bit luminance), A8_UNORM or R16G16_UNORM; the legacy format codes DXT1..DXT5,
//   ATI1/ATI2 and the floating-point codes map to their DXGI formats; the DX10 header's
//   format is kept as it is. A partial cube map (not all six faces) is refused.
// - Corrupt or truncated input fails with an error text; the image is left empty. So does a
//   header naming more than Direct3D 10 holds (8192 texels a side, 2048 in a volume, 512
//   array slices) or more than 2 GiB of texels, before anything is allocated for it. So
//   does a palette image (BMP, TGA, PNG) with a pixel index past its palette, and a BMP
//   whose pixels begin inside its header. A PNG file is read up to the end of its rows.
//
// Saving rules:
// - DDS writes every subresource exactly (floats bit for bit); formats with a legacy code
//   get the legacy header, the others (and texture arrays) the DX10 header.
// - PNG, JPG, BMP write subresource 0 (mip 0, array slice 0, depth slice 0) with 8 bits a
//   channel: float and 16-bit values are clamped to 0..1 and rounded, one-channel formats are
//   written grey, block-compressed formats are decoded. JPG has no alpha.
//
// Formats are the DXGI_FORMAT numbers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace image_codec {

enum Format : uint32_t {
    kUnknown = 0,
    kR32G32B32A32_FLOAT = 2,
    kR32G32B32_FLOAT = 6,
    kR16G16B16A16_FLOAT = 10,
    kR16G16B16A16_UNORM = 11,
    kR32G32_FLOAT = 16,
    kR10G10B10A2_UNORM = 24,
    kR8G8B8A8_UNORM = 28,
    kR8G8B8A8_UNORM_SRGB = 29,
    kR16G16_FLOAT = 34,
    kR16G16_UNORM = 35,
    kR32_FLOAT = 41,
    kR8G8_UNORM = 49,
    kR16_FLOAT = 54,
    kR16_UNORM = 56,
    kR8_UNORM = 61,
    kA8_UNORM = 65,
    kBC1_UNORM = 71,
    kBC2_UNORM = 74,
    kBC3_UNORM = 77,
    kBC4_UNORM = 80,
    kBC5_UNORM = 83,
    kB8G8R8A8_UNORM = 87,
    kB8G8R8X8_UNORM = 88,
};

// True for the formats this codec can hold and write.
bool IsSupportedFormat(uint32_t format);
bool IsBlockCompressed(uint32_t format);
// Bytes of one texel, or of one 4x4 block for the block-compressed formats (0 when unknown).
uint32_t BytesPerElement(uint32_t format);
// Bytes of one row (one row of blocks when block-compressed) of a level `width` wide.
uint64_t RowPitch(uint32_t format, uint32_t width);
// Rows (block rows when block-compressed) of a level `height` high.
uint32_t RowCount(uint32_t format, uint32_t height);
// max(1, size >> level)
uint32_t MipExtent(uint32_t size, uint32_t level);
// Levels of a full chain down to 1x1x1.
uint32_t FullMipCount(uint32_t width, uint32_t height, uint32_t depth = 1);

struct Image {
    uint32_t dxgiFormat = kUnknown;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 1;      // > 1: a volume (arraySize then 1)
    uint32_t arraySize = 1;  // 6 for a cube map
    uint32_t mipLevels = 1;
    bool cube = false;
    std::vector<uint8_t> data;

    bool IsVolume() const { return depth > 1; }
    uint32_t SubresourceCount() const { return arraySize * mipLevels; }
    // Direct3D numbering: mip + slice * mipLevels.
    uint32_t SubresourceIndex(uint32_t mip, uint32_t slice) const { return mip + slice * mipLevels; }
    uint32_t MipWidth(uint32_t mip) const { return MipExtent(width, mip); }
    uint32_t MipHeight(uint32_t mip) const { return MipExtent(height, mip); }
    uint32_t MipDepth(uint32_t mip) const { return MipExtent(depth, mip); }
    uint64_t RowPitch(uint32_t mip) const;
    uint64_t DepthPitch(uint32_t mip) const;  // bytes of one depth slice of the level
    uint64_t SubresourceSize(uint32_t subresource) const;
    uint64_t SubresourceOffset(uint32_t subresource) const;
    uint64_t TotalSize() const;
    uint8_t* Subresource(uint32_t subresource) { return data.data() + SubresourceOffset(subresource); }
    const uint8_t* Subresource(uint32_t subresource) const { return data.data() + SubresourceOffset(subresource); }

    // Checks format, extents, mip count, cube and volume rules and the data size.
    bool Validate(std::string* error = nullptr) const;
    // Sets the fields and sizes `data` (zero-filled) for them; false when they do not validate.
    bool Allocate(uint32_t format, uint32_t width, uint32_t height, uint32_t depth = 1, uint32_t arraySize = 1,
                  uint32_t mipLevels = 1, bool cube = false, std::string* error = nullptr);
};

// The most texel bytes an image may hold, and the largest image file read (the image and
// its headers); only a regular file is read.
inline constexpr uint64_t kMaxImageBytes = uint64_t(1) << 31;
inline constexpr size_t kMaxImageFileBytes = size_t(kMaxImageBytes) + (size_t(1) << 20);

enum class FileType { Unknown, DDS, PNG, JPG, BMP, TGA, HDR };

// By the leading bytes of the file.
FileType DetectFileType(const void* data, size_t size);

bool LoadImageMemory(const void* data, size_t size, Image& out, std::string* error = nullptr);
// As LoadImageMemory from a file's bytes, which it empties: a DDS file's storage becomes the
// image's, and where a decoder makes its own copy of the texels the file is given back
// before that copy is taken over.
bool LoadImageBytes(std::vector<uint8_t>& bytes, Image& out, std::string* error = nullptr);
// A regular file of at most kMaxImageFileBytes; the error names the file.
bool LoadImageFile(const std::string& path, Image& out, std::string* error = nullptr);

// Encoders into memory. jpgQuality 1..100.
bool EncodeDDS(const Image& image, std::vector<uint8_t>& out, std::string* error = nullptr);
bool EncodePNG(const Image& image, std::vector<uint8_t>& out, std::string* error = nullptr);
bool EncodeJPG(const Image& image, std::vector<uint8_t>& out, int jpgQuality = 90, std::string* error = nullptr);
bool EncodeBMP(const Image& image, std::vector<uint8_t>& out, std::string* error = nullptr);

// File writers: the whole file or nothing (written beside the target, then renamed).
bool SaveDDS(const Image& image, const std::string& path, std::string* error = nullptr);
bool SavePNG(const Image& image, const std::string& path, std::string* error = nullptr);
bool SaveJPG(const Image& image, const std::string& path, int jpgQuality = 90, std::string* error = nullptr);
bool SaveBMP(const Image& image, const std::string& path, std::string* error = nullptr);

// One 2D surface (mip, array slice, depth slice) as R8G8B8A8 texels, rows top first,
// with the conversions of the 8-bit file formats.
bool ConvertToRGBA8(const Image& image, uint32_t mip, uint32_t slice, uint32_t depthSlice, std::vector<uint8_t>& rgba,
                    std::string* error = nullptr);

// Replaces the mip levels of a 2D image (array slices included) by a full box-filtered chain
// built from level 0. Uncompressed 8-bit, 16-bit UNORM and float formats; false otherwise.
bool GenerateMipChain(Image& image, std::string* error = nullptr);

// IEEE half <-> float.
float HalfToFloat(uint16_t h);
uint16_t FloatToHalf(float f);

}  // namespace image_codec
