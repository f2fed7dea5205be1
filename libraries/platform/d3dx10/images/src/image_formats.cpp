// Format table, subresource layout, texel conversion and mip generation.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image_internal.h"
#include "platform/image_codec.h"

namespace image_codec {

namespace {

enum class Channel { None, U8, U16, F16, F32, R10G10B10A2, BC };

struct FormatDesc {
    uint32_t format;
    uint32_t bytes;     // per texel, or per 4x4 block
    uint32_t channels;  // 1..4
    Channel type;
};

constexpr FormatDesc kFormats[] = {
    {kR32G32B32A32_FLOAT, 16, 4, Channel::F32},
    {kR32G32B32_FLOAT, 12, 3, Channel::F32},
    {kR16G16B16A16_FLOAT, 8, 4, Channel::F16},
    {kR16G16B16A16_UNORM, 8, 4, Channel::U16},
    {kR32G32_FLOAT, 8, 2, Channel::F32},
    {kR10G10B10A2_UNORM, 4, 4, Channel::R10G10B10A2},
    {kR8G8B8A8_UNORM, 4, 4, Channel::U8},
    {kR8G8B8A8_UNORM_SRGB, 4, 4, Channel::U8},
    {kR16G16_FLOAT, 4, 2, Channel::F16},
    {kR16G16_UNORM, 4, 2, Channel::U16},
    {kR32_FLOAT, 4, 1, Channel::F32},
    {kR8G8_UNORM, 2, 2, Channel::U8},
    {kR16_FLOAT, 2, 1, Channel::F16},
    {kR16_UNORM, 2, 1, Channel::U16},
    {kR8_UNORM, 1, 1, Channel::U8},
    {kA8_UNORM, 1, 1, Channel::U8},
    {kBC1_UNORM, 8, 4, Channel::BC},
    {kBC2_UNORM, 16, 4, Channel::BC},
    {kBC3_UNORM, 16, 4, Channel::BC},
    {kBC4_UNORM, 8, 1, Channel::BC},
    {kBC5_UNORM, 16, 2, Channel::BC},
    {kB8G8R8A8_UNORM, 4, 4, Channel::U8},
    {kB8G8R8X8_UNORM, 4, 4, Channel::U8},
};

const FormatDesc* Find(uint32_t format) {
    for (const auto& d : kFormats)
        if (d.format == format)
            return &d;
    return nullptr;
}

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

uint8_t UnitToByte(float v) {
    if (!(v > 0.0f))  // NaN too
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<uint8_t>(v * 255.0f + 0.5f);
}

float LoadF32(const uint8_t* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

uint16_t LoadU16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Channel c of the texel at p as a float (unorm channels scaled to 0..1).
float ChannelValue(const FormatDesc& d, const uint8_t* p, uint32_t c) {
    switch (d.type) {
        case Channel::U8:
            return p[c] / 255.0f;
        case Channel::U16:
            return LoadU16(p + 2 * c) / 65535.0f;
        case Channel::F16:
            return HalfToFloat(LoadU16(p + 2 * c));
        case Channel::F32:
            return LoadF32(p + 4 * c);
        case Channel::R10G10B10A2: {
            uint32_t v;
            std::memcpy(&v, p, 4);
            if (c == 3)
                return (v >> 30) / 3.0f;
            return ((v >> (10 * c)) & 0x3FF) / 1023.0f;
        }
        default:
            return 0.0f;
    }
}

// --- block decoding ---------------------------------------------------------------

void DecodeColorBlock(const uint8_t* b, uint8_t out[16][4], bool allowPunchThrough) {
    const uint16_t c0 = LoadU16(b), c1 = LoadU16(b + 2);
    uint8_t pal[4][4];
    auto expand = [](uint16_t c, uint8_t* o) {
        const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, bl = c & 31;
        o[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
        o[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
        o[2] = static_cast<uint8_t>((bl << 3) | (bl >> 2));
        o[3] = 255;
    };
    expand(c0, pal[0]);
    expand(c1, pal[1]);
    if (c0 > c1 || !allowPunchThrough) {
        for (int k = 0; k < 3; ++k) {
            pal[2][k] = static_cast<uint8_t>((2 * pal[0][k] + pal[1][k] + 1) / 3);
            pal[3][k] = static_cast<uint8_t>((pal[0][k] + 2 * pal[1][k] + 1) / 3);
        }
        pal[2][3] = pal[3][3] = 255;
    } else {
        for (int k = 0; k < 3; ++k) {
            pal[2][k] = static_cast<uint8_t>((pal[0][k] + pal[1][k]) / 2);
            pal[3][k] = 0;
        }
        pal[2][3] = 255;
        pal[3][3] = 0;
    }
    uint32_t bits;
    std::memcpy(&bits, b + 4, 4);
    for (int i = 0; i < 16; ++i)
        std::memcpy(out[i], pal[(bits >> (2 * i)) & 3], 4);
}

// BC3/BC4 interpolated 8-bit channel.
void DecodeAlphaBlock(const uint8_t* b, uint8_t out[16]) {
    const uint32_t a0 = b[0], a1 = b[1];
    uint8_t pal[8];
    pal[0] = static_cast<uint8_t>(a0);
    pal[1] = static_cast<uint8_t>(a1);
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i)
            pal[i + 1] = static_cast<uint8_t>(((7 - i) * a0 + i * a1 + 3) / 7);
    } else {
        for (uint32_t i = 1; i < 5; ++i)
            pal[i + 1] = static_cast<uint8_t>(((5 - i) * a0 + i * a1 + 2) / 5);
        pal[6] = 0;
        pal[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= uint64_t(b[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        out[i] = pal[(bits >> (3 * i)) & 7];
}

void DecodeBlock(uint32_t format, const uint8_t* b, uint8_t out[16][4]) {
    uint8_t ch[16];
    switch (format) {
        case kBC1_UNORM:
            DecodeColorBlock(b, out, true);
            break;
        case kBC2_UNORM:
            DecodeColorBlock(b + 8, out, false);
            for (int i = 0; i < 16; ++i) {
                const uint8_t a = (b[i / 2] >> (4 * (i & 1))) & 15;
                out[i][3] = static_cast<uint8_t>(a * 17);
            }
            break;
        case kBC3_UNORM:
            DecodeColorBlock(b + 8, out, false);
            DecodeAlphaBlock(b, ch);
            for (int i = 0; i < 16; ++i)
                out[i][3] = ch[i];
            break;
        case kBC4_UNORM:
            DecodeAlphaBlock(b, ch);
            for (int i = 0; i < 16; ++i) {
                out[i][0] = ch[i];
                out[i][1] = out[i][2] = 0;
                out[i][3] = 255;
            }
            break;
        case kBC5_UNORM:
            DecodeAlphaBlock(b, ch);
            for (int i = 0; i < 16; ++i)
                out[i][0] = ch[i];
            DecodeAlphaBlock(b + 8, ch);
            for (int i = 0; i < 16; ++i) {
                out[i][1] = ch[i];
                out[i][2] = 0;
                out[i][3] = 255;
            }
            break;
        default:
            std::memset(out, 0, 64);
    }
}

}  // namespace

// --- format queries -----------------------------------------------------------------

bool IsSupportedFormat(uint32_t format) {
    return Find(format) != nullptr;
}

bool IsBlockCompressed(uint32_t format) {
    const FormatDesc* d = Find(format);
    return d && d->type == Channel::BC;
}

uint32_t BytesPerElement(uint32_t format) {
    const FormatDesc* d = Find(format);
    return d ? d->bytes : 0;
}

uint64_t RowPitch(uint32_t format, uint32_t width) {
    const FormatDesc* d = Find(format);
    if (!d)
        return 0;
    if (d->type == Channel::BC)
        return uint64_t((width + 3) / 4) * d->bytes;
    return uint64_t(width) * d->bytes;
}

uint32_t RowCount(uint32_t format, uint32_t height) {
    return IsBlockCompressed(format) ? (height + 3) / 4 : height;
}

uint32_t MipExtent(uint32_t size, uint32_t level) {
    if (level >= 32)
        return 1;
    return std::max<uint32_t>(1, size >> level);
}

uint32_t FullMipCount(uint32_t width, uint32_t height, uint32_t depth) {
    uint32_t m = std::max({width, height, depth, 1u});
    uint32_t levels = 1;
    while (m > 1) {
        m >>= 1;
        ++levels;
    }
    return levels;
}

bool ExtentFits(uint32_t width, uint32_t height, uint32_t depth, uint32_t arraySize) {
    const uint32_t side = depth > 1 ? kMaxVolumeExtent : kMaxExtent;
    return width <= side && height <= side && depth <= kMaxVolumeExtent && arraySize <= kMaxArraySize;
}

std::string ExtentTooLarge(uint32_t width, uint32_t height, uint32_t depth) {
    std::string text = "image extent too large: " + std::to_string(width) + " x " + std::to_string(height);
    if (depth > 1)
        text += " x " + std::to_string(depth);
    return text + " (" + std::to_string(depth > 1 ? kMaxVolumeExtent : kMaxExtent) + " at most)";
}

// --- Image --------------------------------------------------------------------------

uint64_t Image::RowPitch(uint32_t mip) const {
    return image_codec::RowPitch(dxgiFormat, MipWidth(mip));
}

uint64_t Image::DepthPitch(uint32_t mip) const {
    return RowPitch(mip) * RowCount(dxgiFormat, MipHeight(mip));
}

uint64_t Image::SubresourceSize(uint32_t subresource) const {
    if (mipLevels == 0)
        return 0;
    const uint32_t mip = subresource % mipLevels;
    return DepthPitch(mip) * MipDepth(mip);
}

uint64_t Image::SubresourceOffset(uint32_t subresource) const {
    if (mipLevels == 0)
        return 0;
    uint64_t slice = 0;
    for (uint32_t m = 0; m < mipLevels; ++m)
        slice += SubresourceSize(m);
    const uint32_t s = subresource / mipLevels, mip = subresource % mipLevels;
    uint64_t offset = slice * s;
    for (uint32_t m = 0; m < mip; ++m)
        offset += SubresourceSize(m);
    return offset;
}

uint64_t Image::TotalSize() const {
    return SubresourceOffset(SubresourceCount());
}

bool Image::Validate(std::string* error) const {
    if (!IsSupportedFormat(dxgiFormat))
        return SetError(error, "unsupported pixel format " + std::to_string(dxgiFormat)), false;
    if (width == 0 || height == 0 || depth == 0 || arraySize == 0 || mipLevels == 0)
        return SetError(error, "empty image extent"), false;
    if (arraySize > kMaxArraySize)
        return SetError(error, "too many array slices"), false;
    if (!ExtentFits(width, height, depth, arraySize))
        return SetError(error, ExtentTooLarge(width, height, depth)), false;
    if (depth > 1 && arraySize != 1)
        return SetError(error, "a volume cannot be an array"), false;
    if (mipLevels > FullMipCount(width, height, depth))
        return SetError(error, "more mip levels than the extent allows"), false;
    if (cube && (arraySize % 6 != 0 || depth != 1 || width != height))
        return SetError(error, "a cube map needs square faces in multiples of six slices"), false;
    if (TotalSize() > kMaxImageBytes)
        return SetError(error, "image too large"), false;
    if (data.size() != TotalSize())
        return SetError(error, "image data size does not match its layout"), false;
    return true;
}

bool Image::Allocate(uint32_t format, uint32_t w, uint32_t h, uint32_t d, uint32_t a, uint32_t mips, bool isCube,
                     std::string* error) {
    dxgiFormat = format;
    width = w;
    height = h;
    depth = d;
    arraySize = a;
    mipLevels = mips;
    cube = isCube;
    data.clear();
    // Size only once the extents are known to be sane.
    Image probe = *this;
    const uint64_t size =
        (IsSupportedFormat(format) && w && h && d && a && mips && ExtentFits(w, h, d, a) && mips <= 32)
            ? probe.TotalSize()
            : 0;
    if (size == 0 || size > kMaxImageBytes) {
        probe.data.clear();
        probe.Validate(error);
        if (error && error->empty())
            *error = "image too large";
        *this = Image{};
        return false;
    }
    data.assign(size, 0);
    if (!Validate(error)) {
        *this = Image{};
        return false;
    }
    return true;
}

// --- conversions --------------------------------------------------------------------

float HalfToFloat(uint16_t h) {
    const uint32_t sign = uint32_t(h & 0x8000) << 16;
    uint32_t exp = (h >> 10) & 0x1F;
    uint32_t mant = h & 0x3FF;
    uint32_t bits;
    if (exp == 0) {
        if (mant == 0) {
            bits = sign;
        } else {  // subnormal: normalise
            exp = 127 - 15 + 1;
            while (!(mant & 0x400)) {
                mant <<= 1;
                --exp;
            }
            mant &= 0x3FF;
            bits = sign | (exp << 23) | (mant << 13);
        }
    } else if (exp == 31) {
        bits = sign | 0x7F800000u | (mant << 13);
    } else {
        bits = sign | ((exp + 127 - 15) << 23) | (mant << 13);
    }
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

uint16_t FloatToHalf(float f) {
    uint32_t x;
    std::memcpy(&x, &f, 4);
    const uint16_t sign = static_cast<uint16_t>((x >> 16) & 0x8000);
    const uint32_t absx = x & 0x7FFFFFFFu;
    if (absx >= 0x7F800000u)  // Inf or NaN
        return static_cast<uint16_t>(sign | 0x7C00 | (absx > 0x7F800000u ? 0x200 : 0));
    if (absx >= 0x477FF000u)  // rounds beyond the largest half
        return static_cast<uint16_t>(sign | 0x7C00);
    if (absx < 0x38800000u) {  // subnormal half or zero
        if (absx < 0x33000000u)
            return sign;
        const uint32_t e = absx >> 23;
        const uint32_t m = (absx & 0x7FFFFF) | 0x800000;
        const uint32_t shift = 126 - e;  // to units of 2^-24
        uint32_t v = m >> shift;
        const uint32_t rem = m & ((1u << shift) - 1);
        const uint32_t half = 1u << (shift - 1);
        if (rem > half || (rem == half && (v & 1)))
            ++v;
        return static_cast<uint16_t>(sign | v);
    }
    uint32_t v = ((absx >> 13) - ((127 - 15) << 10));
    const uint32_t rem = absx & 0x1FFF;
    if (rem > 0x1000 || (rem == 0x1000 && (v & 1)))
        ++v;
    return static_cast<uint16_t>(sign | v);
}

bool ConvertToRGBA8(const Image& image, uint32_t mip, uint32_t slice, uint32_t depthSlice, std::vector<uint8_t>& rgba,
                    std::string* error) {
    rgba.clear();
    if (!image.Validate(error))
        return false;
    if (mip >= image.mipLevels || slice >= image.arraySize || depthSlice >= image.MipDepth(mip))
        return SetError(error, "no such subresource"), false;
    const FormatDesc& d = *Find(image.dxgiFormat);
    const uint32_t w = image.MipWidth(mip), h = image.MipHeight(mip);
    const uint8_t* base = image.Subresource(image.SubresourceIndex(mip, slice)) + image.DepthPitch(mip) * depthSlice;
    const uint64_t pitch = image.RowPitch(mip);
    rgba.resize(size_t(w) * h * 4);

    if (d.type == Channel::BC) {
        uint8_t block[16][4];
        for (uint32_t by = 0; by < RowCount(d.format, h); ++by)
            for (uint32_t bx = 0; bx < (w + 3) / 4; ++bx) {
                DecodeBlock(d.format, base + by * pitch + uint64_t(bx) * d.bytes, block);
                for (uint32_t j = 0; j < 4; ++j)
                    for (uint32_t i = 0; i < 4; ++i) {
                        const uint32_t x = bx * 4 + i, y = by * 4 + j;
                        if (x < w && y < h)
                            std::memcpy(&rgba[(size_t(y) * w + x) * 4], block[j * 4 + i], 4);
                    }
            }
        return true;
    }

    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* row = base + y * pitch;
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = row + uint64_t(x) * d.bytes;
            uint8_t* o = &rgba[(size_t(y) * w + x) * 4];
            switch (d.format) {
                case kR8G8B8A8_UNORM:
                case kR8G8B8A8_UNORM_SRGB:
                    std::memcpy(o, p, 4);
                    continue;
                case kB8G8R8A8_UNORM:
                case kB8G8R8X8_UNORM:
                    o[0] = p[2];
                    o[1] = p[1];
                    o[2] = p[0];
                    o[3] = d.format == kB8G8R8X8_UNORM ? 255 : p[3];
                    continue;
                case kA8_UNORM:
                    o[0] = o[1] = o[2] = 0;
                    o[3] = p[0];
                    continue;
                default:
                    break;
            }
            if (d.channels == 1) {  // grey
                o[0] = o[1] = o[2] = UnitToByte(ChannelValue(d, p, 0));
                o[3] = 255;
                continue;
            }
            for (uint32_t c = 0; c < 4; ++c)
                o[c] = c < d.channels ? UnitToByte(ChannelValue(d, p, c)) : (c == 3 ? 255 : 0);
        }
    }
    return true;
}

bool GenerateMipChain(Image& image, std::string* error) {
    if (!image.Validate(error))
        return false;
    const FormatDesc& d = *Find(image.dxgiFormat);
    if (image.IsVolume() || d.type == Channel::BC || d.type == Channel::R10G10B10A2)
        return SetError(error, "mip generation supports uncompressed 2D images only"), false;

    Image out;
    const uint32_t levels = FullMipCount(image.width, image.height);
    if (!out.Allocate(image.dxgiFormat, image.width, image.height, 1, image.arraySize, levels, image.cube, error))
        return false;
    // Level 0 copied as it is; the source is given back before the lower levels are built.
    for (uint32_t s = 0; s < image.arraySize; ++s)
        std::memcpy(out.Subresource(out.SubresourceIndex(0, s)), image.Subresource(image.SubresourceIndex(0, s)),
                    size_t(out.SubresourceSize(0)));
    std::vector<uint8_t>().swap(image.data);

    // Level by level from float averages of the level above: level 1 from level 0's texels,
    // each lower one from the floats of the last. Only two levels of floats are held, the
    // largest a quarter of level 0's texels.
    const uint32_t channels = d.channels;
    std::vector<float> cur, next;
    for (uint32_t s = 0; s < out.arraySize; ++s) {
        const uint8_t* top = out.Subresource(out.SubresourceIndex(0, s));
        uint32_t w = out.width, h = out.height;
        for (uint32_t m = 1; m < levels; ++m) {
            const uint32_t nw = MipExtent(out.width, m), nh = MipExtent(out.height, m);
            next.assign(size_t(nw) * nh * channels, 0.0f);
            auto value = [&](uint32_t x, uint32_t y, uint32_t c) {
                return m == 1 ? ChannelValue(d, top + (size_t(y) * w + x) * d.bytes, c)
                              : cur[(size_t(y) * w + x) * channels + c];
            };
            for (uint32_t y = 0; y < nh; ++y)
                for (uint32_t x = 0; x < nw; ++x) {
                    const uint32_t x0 = std::min(2 * x, w - 1), x1 = std::min(2 * x + 1, w - 1);
                    const uint32_t y0 = std::min(2 * y, h - 1), y1 = std::min(2 * y + 1, h - 1);
                    for (uint32_t c = 0; c < channels; ++c) {
                        const float sum = value(x0, y0, c) + value(x1, y0, c) + value(x0, y1, c) + value(x1, y1, c);
                        next[(size_t(y) * nw + x) * channels + c] = sum * 0.25f;
                    }
                }
            uint8_t* dst = out.Subresource(out.SubresourceIndex(m, s));
            for (size_t i = 0; i < size_t(nw) * nh; ++i)
                for (uint32_t c = 0; c < channels; ++c) {
                    const float v = next[i * channels + c];
                    uint8_t* p = dst + i * d.bytes;
                    switch (d.type) {
                        case Channel::U8:
                            p[c] = UnitToByte(v);
                            break;
                        case Channel::U16: {
                            const float cl = std::clamp(v, 0.0f, 1.0f);
                            const uint16_t u = static_cast<uint16_t>(cl * 65535.0f + 0.5f);
                            std::memcpy(p + 2 * c, &u, 2);
                            break;
                        }
                        case Channel::F16: {
                            const uint16_t u = FloatToHalf(v);
                            std::memcpy(p + 2 * c, &u, 2);
                            break;
                        }
                        case Channel::F32:
                            std::memcpy(p + 4 * c, &v, 4);
                            break;
                        default:
                            break;
                    }
                }
            cur.swap(next);
            w = nw;
            h = nh;
        }
    }
    image = std::move(out);
    return true;
}

}  // namespace image_codec
