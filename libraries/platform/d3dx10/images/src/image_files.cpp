// DDS and BMP readers, TGA and HDR through stb_image; the DDS writer, PNG, JPG and BMP
// writing through stb_image_write.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image_internal.h"
#include "platform/regular_file.h"
#include "platform/image_codec.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_PNG
#define STBI_NO_BMP
#define STBI_NO_JPEG
#define STBI_NO_PSD
#define STBI_NO_GIF
#define STBI_NO_PIC
#define STBI_NO_PNM
#define STBI_MAX_DIMENSIONS 8192  // kMaxExtent
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace image_codec {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error)
        *error = text;
    return false;
}

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

// DDS header flags and caps.
constexpr uint32_t kDdsMagic = FourCC('D', 'D', 'S', ' ');
constexpr uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8, DDSD_PIXELFORMAT = 0x1000,
                   DDSD_MIPMAPCOUNT = 0x20000, DDSD_LINEARSIZE = 0x80000, DDSD_DEPTH = 0x800000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_ALPHA = 0x2, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40,
                   DDPF_LUMINANCE = 0x20000;
constexpr uint32_t DDSCAPS_COMPLEX = 0x8, DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x200, DDSCAPS2_ALLFACES = 0xFC00, DDSCAPS2_VOLUME = 0x200000;
constexpr uint32_t kDimension1D = 2, kDimension2D = 3, kDimension3D = 4;
constexpr uint32_t kMiscTextureCube = 0x4;

struct PixelFormat {
    uint32_t size, flags, fourCC, bitCount, rMask, gMask, bMask, aMask;
};
struct DdsHeader {
    uint32_t size, flags, height, width, pitchOrLinearSize, depth, mipMapCount, reserved1[11];
    PixelFormat pf;
    uint32_t caps, caps2, caps3, caps4, reserved2;
};
struct Dx10Header {
    uint32_t dxgiFormat, resourceDimension, miscFlag, arraySize, miscFlags2;
};
static_assert(sizeof(DdsHeader) == 124 && sizeof(Dx10Header) == 20);

// Legacy format codes with a DXGI equivalent.
struct LegacyCode {
    uint32_t fourCC;
    uint32_t format;
};
constexpr LegacyCode kLegacyCodes[] = {
    {FourCC('D', 'X', 'T', '1'), kBC1_UNORM},
    {FourCC('D', 'X', 'T', '3'), kBC2_UNORM},
    {FourCC('D', 'X', 'T', '5'), kBC3_UNORM},
    {FourCC('D', 'X', 'T', '2'), kBC2_UNORM},
    {FourCC('D', 'X', 'T', '4'), kBC3_UNORM},
    {FourCC('A', 'T', 'I', '1'), kBC4_UNORM},
    {FourCC('B', 'C', '4', 'U'), kBC4_UNORM},
    {FourCC('A', 'T', 'I', '2'), kBC5_UNORM},
    {FourCC('B', 'C', '5', 'U'), kBC5_UNORM},
    {116, kR32G32B32A32_FLOAT},
    {113, kR16G16B16A16_FLOAT},
    {36, kR16G16B16A16_UNORM},
    {115, kR32G32_FLOAT},
    {112, kR16G16_FLOAT},
    {114, kR32_FLOAT},
    {111, kR16_FLOAT},
};

uint32_t LegacyFourCC(uint32_t format) {
    for (const auto& c : kLegacyCodes)
        if (c.format == format)
            return c.fourCC;
    return 0;
}

// Bit-mask layouts expanded to 8 bits a channel.
struct MaskLayout {
    uint32_t bytes;
    uint32_t mask[4];  // r, g, b, a (0: channel absent)
    bool luminance;
};

uint32_t Extract8(uint32_t pixel, uint32_t mask, uint8_t absent) {
    if (!mask)
        return absent;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t v = (pixel & mask) >> shift;
    const uint32_t maxv = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return static_cast<uint32_t>((uint64_t(v) * 255 + maxv / 2) / maxv);
}

struct Reader {
    const uint8_t* p;
    size_t size;
    size_t pos = 0;
    bool Read(void* out, size_t n) {
        if (size - pos < n)
            return false;
        std::memcpy(out, p + pos, n);
        pos += n;
        return true;
    }
};

// The most bytes a file may hold past its texels and still become the image's storage.
constexpr size_t kMaxBytesPastTexels = size_t(64) << 20;

// `file`, when given, holds the bytes: its storage becomes the image's where the texels are
// kept as they are, instead of a copy made while the file is held.
bool LoadDDS(const uint8_t* bytes, size_t size, Image& out, std::string* error, std::vector<uint8_t>* file) {
    Reader r{bytes, size};
    uint32_t magic = 0;
    DdsHeader h;
    if (!r.Read(&magic, 4) || magic != kDdsMagic)
        return Fail(error, "not a DDS file");
    if (!r.Read(&h, sizeof(h)))
        return Fail(error, "DDS file truncated in its header");
    if (h.size != 124 || h.pf.size != 32)
        return Fail(error, "DDS header is corrupt");

    uint32_t format = kUnknown;
    uint32_t width = h.width, height = h.height, depth = 1, arraySize = 1;
    bool cube = false;
    const MaskLayout* masked = nullptr;
    MaskLayout layout{};
    const uint32_t mips = h.mipMapCount ? h.mipMapCount : 1;

    if ((h.pf.flags & DDPF_FOURCC) && h.pf.fourCC == FourCC('D', 'X', '1', '0')) {
        Dx10Header x;
        if (!r.Read(&x, sizeof(x)))
            return Fail(error, "DDS file truncated in its DX10 header");
        format = x.dxgiFormat;
        if (!IsSupportedFormat(format))
            return Fail(error, "unsupported DDS pixel format " + std::to_string(format));
        arraySize = x.arraySize;
        switch (x.resourceDimension) {
            case kDimension1D:
                height = 1;
                break;
            case kDimension2D:
                if (x.miscFlag & kMiscTextureCube) {
                    cube = true;
                    if (arraySize > kMaxArraySize / 6)
                        return Fail(error, "DDS array too large");
                    arraySize *= 6;
                }
                break;
            case kDimension3D:
                depth = h.depth;
                if (arraySize != 1)
                    return Fail(error, "DDS volume arrays are not supported");
                break;
            default:
                return Fail(error, "DDS resource dimension is corrupt");
        }
    } else {
        if (h.pf.flags & DDPF_FOURCC) {
            for (const auto& c : kLegacyCodes)
                if (c.fourCC == h.pf.fourCC)
                    format = c.format;
            if (format == kUnknown)
                return Fail(error, "unsupported DDS format code");
        } else if (h.pf.flags & (DDPF_RGB | DDPF_LUMINANCE | DDPF_ALPHA)) {
            const uint32_t bits = h.pf.bitCount;
            if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
                return Fail(error, "unsupported DDS bit count");
            const uint32_t a = (h.pf.flags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) ? h.pf.aMask : 0;
            const bool lum = (h.pf.flags & DDPF_LUMINANCE) != 0;
            const bool alphaOnly = (h.pf.flags & DDPF_ALPHA) && !(h.pf.flags & (DDPF_RGB | DDPF_LUMINANCE));
            if (bits == 32 && h.pf.rMask == 0xFF && h.pf.gMask == 0xFF00 && h.pf.bMask == 0xFF0000 && a == 0xFF000000u)
                format = kR8G8B8A8_UNORM;
            else if (bits == 32 && h.pf.rMask == 0xFFFF && h.pf.gMask == 0xFFFF0000u && !h.pf.bMask && !a)
                format = kR16G16_UNORM;
            else if (bits == 8 && lum && h.pf.rMask == 0xFF && !a)
                format = kR8_UNORM;
            else if (bits == 8 && alphaOnly && a == 0xFF)
                format = kA8_UNORM;
            else if (h.pf.rMask | h.pf.gMask | h.pf.bMask | a) {
                format = kR8G8B8A8_UNORM;
                layout.bytes = bits / 8;
                layout.mask[0] = h.pf.rMask;
                layout.mask[1] = lum ? h.pf.rMask : h.pf.gMask;
                layout.mask[2] = lum ? h.pf.rMask : h.pf.bMask;
                layout.mask[3] = a;
                layout.luminance = lum;
                if (alphaOnly)
                    layout.mask[0] = layout.mask[1] = layout.mask[2] = 0;
                masked = &layout;
            } else {
                return Fail(error, "DDS pixel format has no channels");
            }
        } else {
            return Fail(error, "unsupported DDS pixel format");
        }
        if (h.caps2 & DDSCAPS2_CUBEMAP) {
            if ((h.caps2 & DDSCAPS2_ALLFACES) != DDSCAPS2_ALLFACES)
                return Fail(error, "DDS cube map without all six faces");
            cube = true;
            arraySize = 6;
        } else if ((h.caps2 & DDSCAPS2_VOLUME) && h.depth > 1) {
            depth = h.depth;
        }
    }

    Image img;
    img.dxgiFormat = format;
    img.width = width;
    img.height = height;
    img.depth = depth;
    img.arraySize = arraySize;
    img.mipLevels = mips;
    img.cube = cube;
    std::string why;
    // Validate the extents before sizing anything from them.
    if (width == 0 || height == 0 || depth == 0 || arraySize == 0)
        return Fail(error, "DDS image has an empty extent");
    if (arraySize > kMaxArraySize)
        return Fail(error, "DDS image has too many array slices");
    if (!ExtentFits(width, height, depth, arraySize))
        return Fail(error, "DDS " + ExtentTooLarge(width, height, depth));
    if (mips > FullMipCount(width, height, depth))
        return Fail(error, "DDS mip count is corrupt");
    if (cube && width != height)
        return Fail(error, "DDS cube map faces are not square");

    const uint64_t needed = img.TotalSize();
    if (needed > kMaxImageBytes)
        return Fail(error, "DDS image too large");
    const size_t remaining = size - r.pos;
    if (!masked) {
        if (remaining < needed)
            return Fail(error, "DDS file truncated in its texel data");
        if (file && remaining - needed <= kMaxBytesPastTexels) {
            std::memmove(file->data(), file->data() + r.pos, needed);
            file->resize(needed);
            img.data.swap(*file);
        } else {
            img.data.assign(bytes + r.pos, bytes + r.pos + needed);
        }
    } else {
        // Masked layouts: the file holds width * bytes per row, expanded here to RGBA8.
        uint64_t fileSize = 0;
        for (uint32_t s = 0; s < arraySize; ++s)
            for (uint32_t m = 0; m < mips; ++m)
                fileSize += uint64_t(img.MipWidth(m)) * masked->bytes * img.MipHeight(m) * img.MipDepth(m);
        if (remaining < fileSize)
            return Fail(error, "DDS file truncated in its texel data");
        img.data.resize(needed);
        const uint8_t* src = bytes + r.pos;
        uint8_t* dst = img.data.data();
        const uint64_t texels = needed / 4;
        for (uint64_t i = 0; i < texels; ++i) {
            uint32_t px = 0;
            std::memcpy(&px, src, masked->bytes);
            src += masked->bytes;
            for (int c = 0; c < 4; ++c)
                dst[c] = static_cast<uint8_t>(Extract8(px, masked->mask[c], c == 3 ? 255 : 0));
            dst += 4;
        }
    }
    if (!img.Validate(&why))
        return Fail(error, "DDS image is corrupt: " + why);
    out = std::move(img);
    return true;
}

// --- BMP ----------------------------------------------------------------------------

// Uncompressed and bit-field BMP files with any of the header kinds: the OS/2 1.x core
// header (12 bytes, palette entries of 3 bytes) and the Windows headers of 40, 52, 56, 108
// and 124 bytes. 1, 4 and 8 bits a pixel index the palette that lies between the header and
// the pixels; 16 and 32 bits go through masks (5-5-5 and 8-8-8-8 without bit fields), 24
// bits are BGR. Every texel comes from the file: an index past the palette is refused.
bool LoadBMP(const uint8_t* b, size_t size, Image& out, std::string* error) {
    auto u16 = [&](size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (size < 18)
        return Fail(error, "truncated BMP: the file ends in its header");
    const uint32_t offset = u32(10), headerSize = u32(14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        return Fail(error, "unsupported BMP header size " + std::to_string(headerSize));
    if (size < 14 + uint64_t(headerSize))
        return Fail(error, "truncated BMP: the file ends in its header");
    int64_t width = core ? int64_t(u16(18)) : int32_t(u32(18)), height = core ? int64_t(u16(20)) : int32_t(u32(22));
    const uint32_t planes = u16(core ? 22 : 26), bits = u16(core ? 24 : 28), compression = core ? 0 : u32(30);
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    if (planes != 1 || width <= 0 || height <= 0)
        return Fail(error, "BMP header is corrupt");
    if (width > kMaxExtent || height > kMaxExtent)
        return Fail(error, ExtentTooLarge(uint32_t(width), uint32_t(height)));
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Fail(error, "unsupported BMP bit count " + std::to_string(bits));
    if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32)))
        return Fail(error, "unsupported BMP compression " + std::to_string(compression));

    // The bit fields lie in the header from 52 bytes on, after the 40-byte one.
    uint64_t tableStart = 14 + uint64_t(headerSize);
    uint32_t mask[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
    if (bits == 16)
        mask[0] = 0x7C00, mask[1] = 0x3E0, mask[2] = 0x1F, mask[3] = 0;
    if (compression == 3) {
        if (headerSize == 40)
            tableStart += 12;
        if (size < tableStart)
            return Fail(error, "truncated BMP: the file ends in its header");
        mask[0] = u32(54), mask[1] = u32(58), mask[2] = u32(62), mask[3] = headerSize >= 56 ? u32(66) : 0;
    }
    if (offset < tableStart)
        return Fail(error, "BMP pixel offset " + std::to_string(offset) + " points into its header");
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    if (size < offset + stride * uint64_t(height - 1) + (uint64_t(width) * bits + 7) / 8)
        return Fail(error, "truncated BMP: the file is shorter than its rows");

    // The palette: as many entries as the header names (all the bit count allows when it
    // names none) that lie before the pixels.
    uint8_t palette[256][4];
    uint32_t entries = 0;
    if (bits <= 8) {
        const uint32_t entryBytes = core ? 3 : 4, named = core ? 0 : u32(46);
        const uint32_t wanted = named && named < (1u << bits) ? named : 1u << bits;
        entries = uint32_t(std::min<uint64_t>(wanted, (offset - tableStart) / entryBytes));
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* e = b + tableStart + i * entryBytes;
            palette[i][0] = e[2], palette[i][1] = e[1], palette[i][2] = e[0], palette[i][3] = 255;
        }
    }

    Image img;
    if (!img.Allocate(kR8G8B8A8_UNORM, uint32_t(width), uint32_t(height), 1, 1, 1, false, error))
        return false;
    uint32_t alphaSeen = 0;
    for (uint32_t y = 0; y < img.height; ++y) {
        const size_t row = offset + stride * (topDown ? y : img.height - 1 - y);
        uint8_t* o = img.data.data() + size_t(y) * img.width * 4;
        for (uint32_t x = 0; x < img.width; ++x, o += 4) {
            if (bits <= 8) {
                const uint32_t bit = x * bits, index = (b[row + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= entries)
                    return Fail(error, "BMP pixel index " + std::to_string(index) + " past its palette of " +
                                           std::to_string(entries) + " colours");
                std::memcpy(o, palette[index], 4);
            } else if (bits == 24) {
                const uint8_t* p = b + row + size_t(x) * 3;
                o[0] = p[2], o[1] = p[1], o[2] = p[0], o[3] = 255;
            } else {
                const uint32_t px = bits == 16 ? u16(row + size_t(x) * 2) : u32(row + size_t(x) * 4);
                for (int c = 0; c < 4; ++c)
                    o[c] = static_cast<uint8_t>(Extract8(px, mask[c], c == 3 ? 255 : 0));
                alphaSeen |= o[3];
            }
        }
    }
    // 32-bit pixels without bit fields: writers leave the fourth byte zero when it is no alpha.
    if (bits == 32 && compression == 0 && alphaSeen == 0)
        for (size_t i = 3; i < img.data.size(); i += 4)
            img.data[i] = 255;
    out = std::move(img);
    return true;
}

// --- stb ----------------------------------------------------------------------------

// Why a TGA file cannot go to the decoder, or an empty text. Past the end of the data the
// decoder reads zeros (and leaves rows short of it unwritten), and a small file naming a huge
// image would keep it busy for seconds; an index past the colour map it takes as entry 0, a
// colour the file never gave. Run-length packets are walked one by one, as the decoder reads
// them; each takes a byte of the file.
std::string TgaFault(const uint8_t* b, size_t size) {
    if (size < 18)
        return {};  // the decoder refuses it
    const bool indexed = b[1] != 0, rle = b[2] >= 8;
    const uint32_t bits = b[16], paletteLength = b[5] | b[6] << 8;
    const uint64_t paletteStart = b[3] | b[4] << 8;
    const uint64_t paletteBytes = uint64_t(paletteLength) * ((b[7] + 7) / 8);
    const uint64_t pixelBytes = std::max<uint32_t>(1, (bits + 7) / 8);
    uint64_t pixels = uint64_t(b[12] | b[13] << 8) * uint64_t(b[14] | b[15] << 8);
    uint64_t pos = 18 + uint64_t(b[0]) + (indexed ? paletteStart + paletteBytes : 0);
    const std::string truncated = "truncated TGA: the file is shorter than its pixels";
    // The values of `count` pixels from `at`: the indices among them within the colour map.
    auto indices = [&](uint64_t at, uint64_t count) {
        for (uint64_t i = 0; indexed && i < count; ++i, at += pixelBytes) {
            const uint32_t index = pixelBytes == 1 ? b[at] : b[at] | b[at + 1] << 8;
            if (index >= paletteLength)
                return "TGA pixel index " + std::to_string(index) + " past its colour map of " +
                       std::to_string(paletteLength) + " entries";
        }
        return std::string();
    };
    if (!rle)
        return size < pos + pixels * pixelBytes ? truncated : indices(pos, pixels);
    while (pixels > 0) {
        if (pos >= size)
            return truncated;
        const uint8_t packet = b[pos++];
        const uint64_t count = std::min<uint64_t>(pixels, 1 + (packet & 127));
        const uint64_t values = (packet & 128) ? 1 : count;
        if (size - pos < values * pixelBytes)
            return truncated;
        if (std::string why = indices(pos, values); !why.empty())
            return why;
        pos += values * pixelBytes;
        pixels -= count;
    }
    return {};
}

// Whether a Radiance file holds every scanline the decoder reads. Past the end of the data
// the decoder reads zeros: a flat file repeats its last texel to the end, and a run-length
// scanline of zero counts never ends. The header's lines and the scanlines are walked as the
// decoder reads them, each step taking a byte of the file at least.
bool HdrHoldsItsScanlines(const uint8_t* b, size_t size, uint32_t width, uint32_t height) {
    size_t pos = 0;
    auto get = [&]() -> uint8_t { return pos < size ? b[pos++] : 0; };
    // One header line; whether the decoder takes it as empty (its first character nul).
    auto line = [&]() {
        uint8_t c = get(), first = 0;
        size_t length = 0;
        while (pos < size && c != '\n') {
            if (length++ == 0)
                first = c;
            if (length == 1023) {  // the decoder's buffer: the rest of the line is skipped
                while (pos < size && get() != '\n') {
                }
                break;
            }
            c = get();
        }
        return length == 0 || first == 0;
    };
    line();  // the signature
    while (!line()) {
    }
    line();  // the extent
    const uint64_t flat = uint64_t(width) * height * 4;
    if (width < 8 || width >= 32768)
        return size - pos >= flat;
    for (uint32_t y = 0; y < height; ++y) {
        if (size - pos < 4)
            return false;
        // A scanline without the run-length mark makes the decoder read the whole image flat
        // from here.
        if (b[pos] != 2 || b[pos + 1] != 2 || (b[pos + 2] & 0x80))
            return size - pos >= flat;
        if ((uint32_t(b[pos + 2]) << 8 | b[pos + 3]) != width)
            return true;  // the decoder refuses it
        pos += 4;
        for (int channel = 0; channel < 4; ++channel)
            for (uint32_t x = 0; x < width;) {
                if (pos >= size)
                    return false;
                const uint32_t count = b[pos++];
                const uint32_t run = count > 128 ? count - 128 : count;
                if (run > width - x)
                    return true;  // the decoder refuses it
                const uint64_t bytes = count > 128 ? 1 : count;
                if (size - pos < bytes)
                    return false;
                pos += bytes;
                x += run;
            }
    }
    return true;
}

// `file`, when given, holds the bytes and is given back once the decoder is done with them,
// before its texels are copied.
bool LoadStb(const uint8_t* bytes, size_t size, Image& out, std::string* error, std::vector<uint8_t>* file) {
    if (size > size_t(0x7FFFFFFF))
        return Fail(error, "image file too large");
    const int len = static_cast<int>(size);
    int w = 0, h = 0, comp = 0;
    const bool known = stbi_info_from_memory(bytes, len, &w, &h, &comp) && w > 0 && h > 0;
    if (known && (uint32_t(w) > kMaxExtent || uint32_t(h) > kMaxExtent))
        return Fail(error, ExtentTooLarge(uint32_t(w), uint32_t(h)));
    const FileType type = DetectFileType(bytes, size);
    if (type == FileType::HDR && known && !HdrHoldsItsScanlines(bytes, size, uint32_t(w), uint32_t(h)))
        return Fail(error, "truncated HDR: the file ends before its scanlines");
    if (std::string why = type == FileType::TGA ? TgaFault(bytes, size) : ""; !why.empty())
        return Fail(error, why);
    Image img;
    const bool hdr = stbi_is_hdr_from_memory(bytes, len);
    void* px = hdr ? static_cast<void*>(stbi_loadf_from_memory(bytes, len, &w, &h, &comp, 4))
                   : static_cast<void*>(stbi_load_from_memory(bytes, len, &w, &h, &comp, 4));
    if (!px)
        return Fail(error, std::string("image decoding failed: ") + stbi_failure_reason());
    if (file)
        std::vector<uint8_t>().swap(*file);
    const bool allocated =
        img.Allocate(hdr ? kR32G32B32A32_FLOAT : kR8G8B8A8_UNORM, uint32_t(w), uint32_t(h), 1, 1, 1, false, error);
    if (allocated)
        std::memcpy(img.data.data(), px, img.data.size());
    stbi_image_free(px);
    if (!allocated)
        return false;
    out = std::move(img);
    return true;
}

void AppendBytes(void* context, void* data, int size) {
    auto* v = static_cast<std::vector<uint8_t>*>(context);
    const auto* p = static_cast<const uint8_t*>(data);
    v->insert(v->end(), p, p + size);
}

enum class StbKind { PNG, JPG, BMP };

bool EncodeStb(const Image& image, StbKind kind, int quality, std::vector<uint8_t>& out, std::string* error) {
    out.clear();
    std::vector<uint8_t> rgba;
    if (!ConvertToRGBA8(image, 0, 0, 0, rgba, error))
        return false;
    const int w = int(image.width), h = int(image.height);
    int ok = 0;
    switch (kind) {
        case StbKind::PNG:
            ok = stbi_write_png_to_func(AppendBytes, &out, w, h, 4, rgba.data(), w * 4);
            break;
        case StbKind::JPG:
            ok = stbi_write_jpg_to_func(AppendBytes, &out, w, h, 4, rgba.data(), std::clamp(quality, 1, 100));
            break;
        case StbKind::BMP:
            ok = stbi_write_bmp_to_func(AppendBytes, &out, w, h, 4, rgba.data());
            break;
    }
    if (!ok || out.empty()) {
        out.clear();
        return Fail(error, "image encoding failed");
    }
    return true;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    const std::string temp = path + ".partial";
    FILE* f = CreateNewRegularFile(temp);
    if (!f)
        return Fail(error, "cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::remove(temp.c_str());
        return Fail(error, "cannot write " + path);
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return Fail(error, "cannot write " + path + ": " + std::strerror(errno));
    }
    return true;
}

}  // namespace

FileType DetectFileType(const void* data, size_t size) {
    const auto* b = static_cast<const uint8_t*>(data);
    auto starts = [&](const char* sig, size_t n) { return size >= n && std::memcmp(b, sig, n) == 0; };
    if (starts("DDS ", 4))
        return FileType::DDS;
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return FileType::PNG;
    if (starts("\xFF\xD8\xFF", 3))
        return FileType::JPG;
    if (starts("BM", 2))
        return FileType::BMP;
    if (starts("#?RADIANCE", 10) || starts("#?RGBE", 6))
        return FileType::HDR;
    if (size >= 18 && (b[2] == 1 || b[2] == 2 || b[2] == 3 || b[2] == 9 || b[2] == 10 || b[2] == 11))
        return FileType::TGA;  // TGA has no signature: a plausible image type byte
    return FileType::Unknown;
}

namespace {

bool LoadImage(const void* data, size_t size, Image& out, std::string* error, std::vector<uint8_t>* file) {
    out = Image{};
    if (!data || size == 0)
        return Fail(error, "empty image file");
    const auto* bytes = static_cast<const uint8_t*>(data);
    switch (DetectFileType(data, size)) {
        case FileType::DDS:
            return LoadDDS(bytes, size, out, error, file);
        case FileType::PNG:
            return LoadPNG(bytes, size, out, error);
        case FileType::JPG:
            return LoadJPG(bytes, size, out, error);
        case FileType::BMP:
            return LoadBMP(bytes, size, out, error);
        case FileType::Unknown:
            return Fail(error, "unrecognised image file format");
        default:
            return LoadStb(bytes, size, out, error, file);
    }
}

}  // namespace

bool LoadImageMemory(const void* data, size_t size, Image& out, std::string* error) {
    return LoadImage(data, size, out, error, nullptr);
}

bool LoadImageBytes(std::vector<uint8_t>& bytes, Image& out, std::string* error) {
    const bool ok = LoadImage(bytes.data(), bytes.size(), out, error, &bytes);
    std::vector<uint8_t>().swap(bytes);
    return ok;
}

bool LoadImageFile(const std::string& path, Image& out, std::string* error) {
    out = Image{};
    std::vector<uint8_t> bytes;
    std::string why;
    if (ReadRegularFile(path, kMaxImageFileBytes, bytes, &why) != RegularFileRead::Ok)
        return Fail(error, why);
    if (!LoadImageBytes(bytes, out, &why))
        return Fail(error, path + ": " + why);
    return true;
}

bool EncodeDDS(const Image& image, std::vector<uint8_t>& out, std::string* error) {
    out.clear();
    if (!image.Validate(error))
        return false;
    DdsHeader h{};
    h.size = 124;
    h.pf.size = 32;
    h.width = image.width;
    h.height = image.height;
    h.depth = image.IsVolume() ? image.depth : 0;
    h.mipMapCount = image.mipLevels;
    h.flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_MIPMAPCOUNT;
    const bool compressed = IsBlockCompressed(image.dxgiFormat);
    if (compressed) {
        h.flags |= DDSD_LINEARSIZE;
        h.pitchOrLinearSize = static_cast<uint32_t>(image.DepthPitch(0));
    } else {
        h.flags |= DDSD_PITCH;
        h.pitchOrLinearSize = static_cast<uint32_t>(image.RowPitch(0));
    }
    if (image.IsVolume())
        h.flags |= DDSD_DEPTH;
    h.caps = DDSCAPS_TEXTURE;
    if (image.mipLevels > 1)
        h.caps |= DDSCAPS_COMPLEX | DDSCAPS_MIPMAP;
    if (image.cube || image.IsVolume() || image.arraySize > 1)
        h.caps |= DDSCAPS_COMPLEX;
    if (image.cube && image.arraySize == 6)
        h.caps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_ALLFACES;
    else if (image.IsVolume())
        h.caps2 = DDSCAPS2_VOLUME;

    // The legacy header where it says everything, the DX10 header otherwise.
    const bool simpleKind = image.arraySize == 1 || (image.cube && image.arraySize == 6);
    const uint32_t code = LegacyFourCC(image.dxgiFormat);
    bool dx10 = false;
    if (simpleKind && code) {
        h.pf.flags = DDPF_FOURCC;
        h.pf.fourCC = code;
    } else if (simpleKind && image.dxgiFormat == kR8G8B8A8_UNORM) {
        h.pf.flags = DDPF_RGB | DDPF_ALPHAPIXELS;
        h.pf.bitCount = 32;
        h.pf.rMask = 0xFF;
        h.pf.gMask = 0xFF00;
        h.pf.bMask = 0xFF0000;
        h.pf.aMask = 0xFF000000u;
    } else if (simpleKind && image.dxgiFormat == kR16G16_UNORM) {
        h.pf.flags = DDPF_RGB;
        h.pf.bitCount = 32;
        h.pf.rMask = 0xFFFF;
        h.pf.gMask = 0xFFFF0000u;
    } else if (simpleKind && image.dxgiFormat == kR8_UNORM) {
        h.pf.flags = DDPF_LUMINANCE;
        h.pf.bitCount = 8;
        h.pf.rMask = 0xFF;
    } else if (simpleKind && image.dxgiFormat == kA8_UNORM) {
        h.pf.flags = DDPF_ALPHA;
        h.pf.bitCount = 8;
        h.pf.aMask = 0xFF;
    } else {
        dx10 = true;
        h.pf.flags = DDPF_FOURCC;
        h.pf.fourCC = FourCC('D', 'X', '1', '0');
    }

    const size_t headerBytes = 4 + sizeof(h) + (dx10 ? sizeof(Dx10Header) : 0);
    out.resize(headerBytes + image.data.size());
    uint8_t* p = out.data();
    std::memcpy(p, &kDdsMagic, 4);
    std::memcpy(p + 4, &h, sizeof(h));
    if (dx10) {
        Dx10Header x{};
        x.dxgiFormat = image.dxgiFormat;
        x.resourceDimension = image.IsVolume() ? kDimension3D : kDimension2D;
        x.miscFlag = image.cube ? kMiscTextureCube : 0;
        x.arraySize = image.cube ? image.arraySize / 6 : image.arraySize;
        std::memcpy(p + 4 + sizeof(h), &x, sizeof(x));
    }
    std::memcpy(p + headerBytes, image.data.data(), image.data.size());
    return true;
}

bool EncodePNG(const Image& image, std::vector<uint8_t>& out, std::string* error) {
    return EncodeStb(image, StbKind::PNG, 0, out, error);
}

bool EncodeJPG(const Image& image, std::vector<uint8_t>& out, int jpgQuality, std::string* error) {
    return EncodeStb(image, StbKind::JPG, jpgQuality, out, error);
}

bool EncodeBMP(const Image& image, std::vector<uint8_t>& out, std::string* error) {
    return EncodeStb(image, StbKind::BMP, 0, out, error);
}

bool SaveDDS(const Image& image, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    return EncodeDDS(image, bytes, error) && WriteWhole(path, bytes, error);
}

bool SavePNG(const Image& image, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    return EncodePNG(image, bytes, error) && WriteWhole(path, bytes, error);
}

bool SaveJPG(const Image& image, const std::string& path, int jpgQuality, std::string* error) {
    std::vector<uint8_t> bytes;
    return EncodeJPG(image, bytes, jpgQuality, error) && WriteWhole(path, bytes, error);
}

bool SaveBMP(const Image& image, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    return EncodeBMP(image, bytes, error) && WriteWhole(path, bytes, error);
}

}  // namespace image_codec
