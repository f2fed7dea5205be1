#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>

#include <sys/resource.h>
#include <zlib.h>

#include "image_test_support.h"
#include "platform/image_codec.h"

using namespace image_codec;
using image_test::ExpectSame;
using image_test::MakeImage;
namespace fs = std::filesystem;

namespace {

Image RoundTripDDS(const Image& img) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(EncodeDDS(img, bytes, &error)) << error;
    Image back;
    EXPECT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back, &error)) << error;
    return back;
}

// A legacy DDS file with a bit-mask pixel format.
std::vector<uint8_t> LegacyMaskedDDS(uint32_t w, uint32_t h, uint32_t bits, uint32_t pfFlags, uint32_t r, uint32_t g,
                                     uint32_t b, uint32_t a, const std::vector<uint8_t>& texels) {
    std::vector<uint32_t> header(32, 0);
    header[0] = 0x20534444;  // "DDS "
    header[1] = 124;
    header[2] = 0x1 | 0x2 | 0x4 | 0x1000;
    header[3] = h;
    header[4] = w;
    header[19] = 32;
    header[20] = pfFlags;
    header[22] = bits;
    header[23] = r;
    header[24] = g;
    header[25] = b;
    header[26] = a;
    header[27] = 0x1000;
    std::vector<uint8_t> out(128 + texels.size());
    std::memcpy(out.data(), header.data(), 128);
    if (!texels.empty())
        std::memcpy(out.data() + 128, texels.data(), texels.size());
    return out;
}

// One PNG chunk: its length, type, data and check value.
std::vector<uint8_t> PngChunk(const char* type, const std::vector<uint8_t>& data) {
    const uint32_t size = uint32_t(data.size());
    std::vector<uint8_t> c(size + 12);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    if (size)
        crc = crc32(crc, data.data(), uInt(size));
    for (int i = 0; i < 4; ++i) {
        c[i] = uint8_t(size >> (24 - 8 * i));
        c[4 + i] = uint8_t(type[i]);
        c[size + 8 + i] = uint8_t(crc >> (24 - 8 * i));
    }
    std::copy(data.begin(), data.end(), c.begin() + 8);
    return c;
}

// An 8-bit PNG file of one row: its colour type and the chunks after the header.
std::vector<uint8_t> PngRow(uint8_t width, uint8_t type, std::vector<std::vector<uint8_t>> chunks) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunks.insert(chunks.begin(), PngChunk("IHDR", {0, 0, 0, width, 0, 0, 0, 1, 8, type, 0, 0, 0}));
    chunks.push_back(PngChunk("IEND", {}));
    for (const auto& c : chunks)
        png.insert(png.end(), c.begin(), c.end());
    return png;
}

}  // namespace

TEST(ImageLayout, SubresourcesFollowDirect3DOrder) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 4, 4, 1, 2, 3);
    EXPECT_EQ(img.SubresourceCount(), 6u);
    EXPECT_EQ(img.SubresourceSize(0), 64u);
    EXPECT_EQ(img.SubresourceSize(1), 16u);
    EXPECT_EQ(img.SubresourceSize(2), 4u);
    EXPECT_EQ(img.SubresourceOffset(img.SubresourceIndex(1, 1)), 84u + 64u);
    EXPECT_EQ(img.TotalSize(), 168u);
    EXPECT_EQ(img.data.size(), 168u);
}

TEST(ImageLayout, BlockCompressedAndVolumePitches) {
    Image bc = MakeImage(kBC1_UNORM, 8, 8, 1, 1, 4);
    EXPECT_EQ(bc.RowPitch(0), 16u);
    EXPECT_EQ(bc.DepthPitch(0), 32u);
    EXPECT_EQ(bc.SubresourceSize(2), 8u);  // 2x2 still one block
    EXPECT_EQ(bc.SubresourceSize(3), 8u);
    EXPECT_EQ(bc.TotalSize(), 56u);

    Image vol = MakeImage(kR8_UNORM, 128, 128, 128);
    EXPECT_EQ(vol.RowPitch(0), 128u);
    EXPECT_EQ(vol.DepthPitch(0), 16384u);
    EXPECT_EQ(vol.TotalSize(), 2097152u);

    Image sim = MakeImage(kR32G32B32A32_FLOAT, 180, 180);
    EXPECT_EQ(sim.RowPitch(0), 2880u);
    EXPECT_EQ(FullMipCount(180, 180), 8u);
}

TEST(ImageLayout, AllocateRefusesImpossibleShapes) {
    Image img;
    std::string error;
    EXPECT_FALSE(img.Allocate(kR8G8B8A8_UNORM, 4, 8, 1, 6, 1, true, &error));  // cube, not square
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(img.Allocate(kR8G8B8A8_UNORM, 4, 4, 4, 2, 1, false, &error));  // volume array
    EXPECT_FALSE(img.Allocate(kR8G8B8A8_UNORM, 4, 4, 1, 1, 4, false, &error));  // too many mips
    EXPECT_FALSE(img.Allocate(12345, 4, 4, 1, 1, 1, false, &error));
    EXPECT_FALSE(img.Allocate(kR8G8B8A8_UNORM, 0, 4, 1, 1, 1, false, &error));
    EXPECT_TRUE(img.data.empty());
}

TEST(DdsRoundTrip, Float2DIsBitExact) {
    Image img = MakeImage(kR32G32B32A32_FLOAT, 180, 180, 1, 1, 1, false, 7);
    // Values that a float conversion would disturb: NaN payloads, negative zero, subnormals.
    const uint32_t specials[] = {0x7FC01234u, 0x80000000u, 0x00000001u, 0xFF800000u};
    std::memcpy(img.data.data(), specials, sizeof(specials));
    Image back = RoundTripDDS(img);
    ExpectSame(img, back);
}

TEST(DdsRoundTrip, EverySupportedFormatKeepsFormatAndBytes) {
    const uint32_t formats[] = {kR32G32B32A32_FLOAT, kR32G32B32_FLOAT,   kR16G16B16A16_FLOAT, kR16G16B16A16_UNORM,
                                kR32G32_FLOAT,       kR10G10B10A2_UNORM, kR8G8B8A8_UNORM,     kR8G8B8A8_UNORM_SRGB,
                                kR16G16_FLOAT,       kR16G16_UNORM,      kR32_FLOAT,          kR8G8_UNORM,
                                kR16_FLOAT,          kR16_UNORM,         kR8_UNORM,           kA8_UNORM,
                                kBC1_UNORM,          kBC2_UNORM,         kBC3_UNORM,          kBC4_UNORM,
                                kBC5_UNORM,          kB8G8R8A8_UNORM,    kB8G8R8X8_UNORM};
    for (uint32_t f : formats) {
        SCOPED_TRACE(f);
        Image img = MakeImage(f, 16, 8, 1, 1, 5, false, f);
        ExpectSame(img, RoundTripDDS(img));
    }
}

TEST(DdsRoundTrip, CubeMapWithMips) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 32, 32, 1, 6, 6, true, 3);
    Image back = RoundTripDDS(img);
    ExpectSame(img, back);
    EXPECT_TRUE(back.cube);
    EXPECT_EQ(back.arraySize, 6u);
}

TEST(DdsRoundTrip, CubeArrayAndPlainArrayUseTheExtendedHeader) {
    Image cubes = MakeImage(kR16G16B16A16_FLOAT, 8, 8, 1, 12, 2, true, 4);
    ExpectSame(cubes, RoundTripDDS(cubes));
    Image array = MakeImage(kR8G8B8A8_UNORM, 8, 4, 1, 3, 1, false, 5);
    ExpectSame(array, RoundTripDDS(array));
}

TEST(DdsRoundTrip, VolumeWithMips) {
    Image img = MakeImage(kR8_UNORM, 16, 8, 4, 1, 5, false, 9);
    Image back = RoundTripDDS(img);
    ExpectSame(img, back);
    EXPECT_TRUE(back.IsVolume());
    Image fvol = MakeImage(kR32G32B32A32_FLOAT, 4, 4, 8, 1, 1, false, 10);
    ExpectSame(fvol, RoundTripDDS(fvol));
}

TEST(DdsRoundTrip, ThroughAFile) {
    const fs::path dir = fs::temp_directory_path() / ("codec_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Image img = MakeImage(kR32_FLOAT, 33, 17, 1, 1, 6, false, 11);
    std::string error;
    const std::string path = (dir / "state.dds").string();
    ASSERT_TRUE(SaveDDS(img, path, &error)) << error;
    Image back;
    ASSERT_TRUE(LoadImageFile(path, back, &error)) << error;
    ExpectSame(img, back);
    EXPECT_FALSE(fs::exists(path + ".partial"));

    EXPECT_FALSE(SaveDDS(img, (dir / "absent" / "x.dds").string(), &error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(dir);
}

TEST(DdsLegacy, MaskedLayoutsExpandToRGBA8) {
    // B8G8R8A8 in memory order b, g, r, a.
    std::vector<uint8_t> bgra = {10, 20, 30, 40, 50, 60, 70, 80};
    auto file = LegacyMaskedDDS(2, 1, 32, 0x41, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, bgra);
    Image img;
    std::string error;
    ASSERT_TRUE(LoadImageMemory(file.data(), file.size(), img, &error)) << error;
    EXPECT_EQ(img.dxgiFormat, kR8G8B8A8_UNORM);
    EXPECT_EQ(img.data, (std::vector<uint8_t>{30, 20, 10, 40, 70, 60, 50, 80}));

    // 24-bit BGR without alpha: alpha becomes opaque.
    std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6};
    file = LegacyMaskedDDS(2, 1, 24, 0x40, 0xFF0000, 0xFF00, 0xFF, 0, bgr);
    ASSERT_TRUE(LoadImageMemory(file.data(), file.size(), img, &error)) << error;
    EXPECT_EQ(img.data, (std::vector<uint8_t>{3, 2, 1, 255, 6, 5, 4, 255}));

    // R5G6B5: full white and pure green.
    std::vector<uint8_t> rgb565 = {0xFF, 0xFF, 0xE0, 0x07};
    file = LegacyMaskedDDS(2, 1, 16, 0x40, 0xF800, 0x07E0, 0x001F, 0, rgb565);
    ASSERT_TRUE(LoadImageMemory(file.data(), file.size(), img, &error)) << error;
    EXPECT_EQ(img.data, (std::vector<uint8_t>{255, 255, 255, 255, 0, 255, 0, 255}));

    // 8-bit luminance keeps one channel.
    file = LegacyMaskedDDS(2, 1, 8, 0x20000, 0xFF, 0, 0, 0, {7, 9});
    ASSERT_TRUE(LoadImageMemory(file.data(), file.size(), img, &error)) << error;
    EXPECT_EQ(img.dxgiFormat, kR8_UNORM);
    EXPECT_EQ(img.data, (std::vector<uint8_t>{7, 9}));
}

TEST(DdsRefusal, EveryTruncationFailsWithAnError) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 8, 8, 1, 6, 2, true, 12);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeDDS(img, bytes));
    for (size_t n = 0; n < bytes.size(); n += (n < 200 ? 1 : 97)) {
        Image out;
        std::string error;
        EXPECT_FALSE(LoadImageMemory(bytes.data(), n, out, &error)) << n;
        EXPECT_FALSE(error.empty()) << n;
        EXPECT_TRUE(out.data.empty());
    }
    Image out;
    std::string error;
    EXPECT_FALSE(LoadImageMemory(bytes.data(), bytes.size() - 1, out, &error));
    EXPECT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), out, &error)) << error;
}

TEST(DdsRefusal, CorruptHeaders) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 8, 8, 1, 1, 1, false, 13);
    std::vector<uint8_t> good;
    ASSERT_TRUE(EncodeDDS(img, good));
    auto patched = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> b = good;
        std::memcpy(&b[offset], &value, 4);
        Image out;
        std::string error;
        const bool ok = LoadImageMemory(b.data(), b.size(), out, &error);
        EXPECT_TRUE(ok || !error.empty());
        return ok;
    };
    EXPECT_FALSE(patched(4, 100));              // header size
    EXPECT_FALSE(patched(16, 0));               // width 0
    EXPECT_FALSE(patched(16, 0x7FFFFFFF));      // absurd width
    EXPECT_FALSE(patched(12, 0x40000));         // height larger than the data
    EXPECT_FALSE(patched(28, 40));              // mip count beyond the chain
    EXPECT_FALSE(patched(88, 12));              // bit count
    EXPECT_FALSE(patched(80, 0x4));             // four-cc flag without a known code
    EXPECT_FALSE(patched(80, 0));               // no pixel format at all
    EXPECT_FALSE(patched(112, 0x200 | 0x400));  // cube map with one face
    EXPECT_TRUE(patched(28, 1));
}

TEST(DdsRefusal, BadExtendedHeader) {
    Image img = MakeImage(kR16G16_FLOAT, 4, 4, 1, 3, 1, false, 14);
    std::vector<uint8_t> good;
    ASSERT_TRUE(EncodeDDS(img, good));
    ASSERT_EQ(good.size(), 148u + img.data.size());
    auto patched = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> b = good;
        std::memcpy(&b[offset], &value, 4);
        Image out;
        return LoadImageMemory(b.data(), b.size(), out);
    };
    EXPECT_FALSE(patched(128, 999));  // format
    EXPECT_FALSE(patched(132, 7));    // dimension
    EXPECT_FALSE(patched(140, 0));    // array size 0
    EXPECT_FALSE(patched(140, 4));    // more slices than data
    EXPECT_FALSE(patched(140, 0xFFFFFFFF));
}

TEST(Conversion, HalfFloatsRoundTripAndRound) {
    EXPECT_EQ(FloatToHalf(1.0f), 0x3C00);
    EXPECT_EQ(FloatToHalf(-2.0f), 0xC000);
    EXPECT_EQ(FloatToHalf(65504.0f), 0x7BFF);
    EXPECT_EQ(FloatToHalf(1e6f), 0x7C00);
    EXPECT_EQ(FloatToHalf(5.9604645e-8f), 0x0001);          // smallest subnormal
    EXPECT_EQ(FloatToHalf(1.0f + 1.0f / 4096.0f), 0x3C00);  // below half an ulp
    EXPECT_EQ(FloatToHalf(1.0f + 3.0f / 2048.0f), 0x3C02);  // tie to even
    EXPECT_FLOAT_EQ(HalfToFloat(0x3555), 0.33325195f);
    for (uint32_t h = 0; h < 0x10000; ++h) {
        const bool nan = (h & 0x7C00) == 0x7C00 && (h & 0x3FF);
        if (!nan)
            ASSERT_EQ(FloatToHalf(HalfToFloat(uint16_t(h))), h) << h;
        else
            ASSERT_TRUE(std::isnan(HalfToFloat(uint16_t(h))));
    }
}

TEST(Conversion, FloatAndOneChannelFormatsTo8Bits) {
    Image img = MakeImage(kR32G32B32A32_FLOAT, 1, 1);
    const float v[4] = {-1.0f, 0.5f, 2.0f, 1.0f};
    std::memcpy(img.data.data(), v, 16);
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(ConvertToRGBA8(img, 0, 0, 0, rgba));
    EXPECT_EQ(rgba, (std::vector<uint8_t>{0, 128, 255, 255}));

    Image grey = MakeImage(kR16_FLOAT, 2, 1);
    const uint16_t g[2] = {FloatToHalf(0.25f), FloatToHalf(1.0f)};
    std::memcpy(grey.data.data(), g, 4);
    ASSERT_TRUE(ConvertToRGBA8(grey, 0, 0, 0, rgba));
    EXPECT_EQ(rgba, (std::vector<uint8_t>{64, 64, 64, 255, 255, 255, 255, 255}));

    Image two = MakeImage(kR8G8_UNORM, 1, 1);
    two.data = {9, 99};
    ASSERT_TRUE(ConvertToRGBA8(two, 0, 0, 0, rgba));
    EXPECT_EQ(rgba, (std::vector<uint8_t>{9, 99, 0, 255}));

    // A chosen slice of a volume.
    Image vol = MakeImage(kR8_UNORM, 2, 1, 3);
    vol.data = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(ConvertToRGBA8(vol, 0, 0, 2, rgba));
    EXPECT_EQ(rgba, (std::vector<uint8_t>{5, 5, 5, 255, 6, 6, 6, 255}));
    EXPECT_FALSE(ConvertToRGBA8(vol, 0, 0, 3, rgba));
}

TEST(Conversion, BlockCompressedDecodes) {
    Image img = MakeImage(kBC1_UNORM, 4, 4);
    // c0 red, c1 blue; texel i uses index i % 4.
    const uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
    std::memcpy(img.data.data(), block, 8);
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(ConvertToRGBA8(img, 0, 0, 0, rgba));
    EXPECT_EQ(std::vector<uint8_t>(rgba.begin(), rgba.begin() + 16),
              (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255, 170, 0, 85, 255, 85, 0, 170, 255}));

    Image bc3 = MakeImage(kBC3_UNORM, 4, 4);
    uint8_t b3[16] = {255, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    b3[2] = 0x08;  // texel 1 takes alpha index 1 (0)
    std::memcpy(bc3.data.data(), b3, 16);
    ASSERT_TRUE(ConvertToRGBA8(bc3, 0, 0, 0, rgba));
    EXPECT_EQ(rgba[3], 255);
    EXPECT_EQ(rgba[7], 0);
    EXPECT_EQ(rgba[0], 255);
    EXPECT_EQ(rgba[1], 255);
}

TEST(FileFormats, PngIsLossless) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 37, 21, 1, 1, 1, false, 15);
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(EncodePNG(img, bytes, &error)) << error;
    EXPECT_EQ(DetectFileType(bytes.data(), bytes.size()), FileType::PNG);
    Image back;
    ASSERT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back, &error)) << error;
    ExpectSame(img, back);
}

TEST(FileFormats, BmpKeepsColour) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 5, 3, 1, 1, 1, false, 16);
    for (size_t i = 3; i < img.data.size(); i += 4)
        img.data[i] = 255;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeBMP(img, bytes));
    Image back;
    std::string error;
    ASSERT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back, &error)) << error;
    ExpectSame(img, back);
    // The same rows stored top down, with a negative height, come out in reverse.
    bytes[22] = 0xFD, bytes[23] = bytes[24] = bytes[25] = 0xFF;
    ASSERT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back, &error)) << error;
    EXPECT_TRUE(std::equal(back.data.begin(), back.data.begin() + 20, img.data.end() - 20));
}

TEST(FileFormats, JpgWithinTolerance) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 64, 48);
    for (uint32_t y = 0; y < 48; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            uint8_t* p = &img.data[(y * 64 + x) * 4];
            p[0] = uint8_t(x * 4);
            p[1] = uint8_t(y * 5);
            p[2] = uint8_t(128 + (x + y));
            p[3] = 255;
        }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeJPG(img, bytes, 95));
    EXPECT_EQ(DetectFileType(bytes.data(), bytes.size()), FileType::JPG);
    Image back;
    std::string error;
    ASSERT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back, &error)) << error;
    ASSERT_EQ(back.width, 64u);
    ASSERT_EQ(back.height, 48u);
    double sum = 0;
    int worst = 0;
    for (size_t i = 0; i < img.data.size(); ++i) {
        const int d = std::abs(int(img.data[i]) - int(back.data[i]));
        sum += d;
        worst = std::max(worst, d);
    }
    EXPECT_LT(sum / img.data.size(), 2.0);
    EXPECT_LT(worst, 24);
}

TEST(FileFormats, TgaShorterThanItsPixelsIsRefused) {
    // Uncompressed true-colour, 2 x 1, 24 bits.
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6};
    Image img;
    std::string error;
    ASSERT_TRUE(LoadImageMemory(tga.data(), tga.size(), img, &error)) << error;
    EXPECT_EQ(img.width, 2u);
    tga.pop_back();
    EXPECT_FALSE(LoadImageMemory(tga.data(), tga.size(), img, &error));
    EXPECT_NE(error.find("truncated TGA"), std::string::npos) << error;
    // Run-length, 8192 x 8192, one packet: refused before any pixel is decoded.
    std::vector<uint8_t> rle = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0x20, 32, 8, 0xFF, 1, 2, 3, 4};
    EXPECT_FALSE(LoadImageMemory(rle.data(), rle.size(), img, &error));
    EXPECT_NE(error.find("truncated TGA"), std::string::npos) << error;
    EXPECT_TRUE(img.data.empty());
}

TEST(FileFormats, PngWithAnEmptyImageDataChunkLoadsTheSame) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 4, 3);
    for (size_t i = 0; i < img.data.size(); ++i)
        img.data[i] = uint8_t(i * 7);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodePNG(img, bytes));
    // An empty IDAT chunk (length 0, its CRC) right after the header chunk.
    const uint8_t empty[12] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    bytes.insert(bytes.begin() + 8 + 25, empty, empty + 12);
    Image back;
    std::string error;
    ASSERT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back, &error)) << error;
    ExpectSame(img, back);
}

TEST(FileFormats, BmpHdrOrPngShorterThanItsTexelsIsRefused) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 5, 3);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeBMP(img, bytes));
    Image back;
    std::string error;
    ASSERT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back, &error)) << error;
    // The same header naming 8000 x 8000 pixels: refused before any row is decoded.
    for (size_t at : {18, 22}) {
        bytes[at] = 0x40, bytes[at + 1] = 0x1F, bytes[at + 2] = 0, bytes[at + 3] = 0;
    }
    EXPECT_FALSE(LoadImageMemory(bytes.data(), bytes.size(), back, &error));
    EXPECT_NE(error.find("truncated BMP"), std::string::npos) << error;
    EXPECT_TRUE(back.data.empty());
    bytes[33] = 0x99;  // an unknown compression code
    EXPECT_FALSE(LoadImageMemory(bytes.data(), bytes.size(), back, &error));
    EXPECT_NE(error.find("compression"), std::string::npos) << error;
    // A PNG file naming 8192 x 8192 texels with the data of one.
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePNG(MakeImage(kR8G8B8A8_UNORM, 1, 1), png));
    png[18] = png[22] = 0x20, png[19] = png[23] = 0;
    EXPECT_FALSE(LoadImageMemory(png.data(), png.size(), back, &error));
    EXPECT_NE(error.find("truncated PNG"), std::string::npos) << error;
    // A Radiance file naming 8192 x 8192 texels and holding none of them.
    const std::string hdr = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 8192 +X 8192\n";
    EXPECT_FALSE(LoadImageMemory(hdr.data(), hdr.size(), back, &error));
    EXPECT_NE(error.find("truncated HDR"), std::string::npos) << error;
}

// Every prefix of a Radiance or run-length TGA file short of its texels is refused: the
// decoders read zeros past the end (a flat file repeats its last texel, zero run counts never
// end a scanline).
TEST(FileFormats, RadianceAndTgaPrefixesAreRefused) {
    const std::string head = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X ";
    std::string rle = head + "8\n", flat = head + "4\n";
    const size_t rleTexels = rle.size(), flatTexels = flat.size();
    for (int y = 0; y < 2; ++y) {
        rle += std::string("\x02\x02\x00\x08", 4);
        for (int c = 0; c < 4; ++c)
            rle += c == 1 ? std::string("\x03\x01\x02\x03\x85\x40", 6) : std::string("\x88\x80", 2);
        flat += std::string(16, '\x81');
    }
    std::vector<uint8_t> tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 2, 0, 24, 0};
    const size_t tgaTexels = tga.size();
    for (uint8_t b : {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x82, 13, 14, 15})
        tga.push_back(b);
    Image img;
    std::string error;
    for (const auto& [file, texels] : {std::pair{std::string(rle), rleTexels}, std::pair{flat, flatTexels},
                                       std::pair{std::string(tga.begin(), tga.end()), tgaTexels}}) {
        ASSERT_TRUE(LoadImageMemory(file.data(), file.size(), img, &error)) << error;
        EXPECT_EQ(img.height, 2u);
        for (size_t size = texels; size < file.size(); ++size) {
            EXPECT_FALSE(LoadImageMemory(file.data(), size, img, &error)) << size << " of " << file.size();
            EXPECT_NE(error.find("truncated"), std::string::npos) << error;
        }
    }
}

// Compressed text before the image data is skipped, not kept: 48 chunks of 7 MB text each.
TEST(FileFormats, PngTextChunksAreNotKept) {
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePNG(MakeImage(kR8G8B8A8_UNORM, 2, 2), png));
    const std::vector<uint8_t> text(7 << 20, 'x');
    std::vector<uint8_t> packed(compressBound(uLong(text.size())));
    uLongf packedSize = uLongf(packed.size());
    ASSERT_EQ(Z_OK, compress2(packed.data(), &packedSize, text.data(), uLong(text.size()), 9));
    packed.resize(packedSize);
    packed.insert(packed.begin(), {'k', 0, 0});  // keyword, its end, deflate
    const std::vector<uint8_t> one = PngChunk("zTXt", packed);
    for (int i = 0; i < 48; ++i)
        png.insert(png.begin() + 33, one.begin(), one.end());  // after the header chunk
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    Image img;
    std::string error;
    ASSERT_TRUE(LoadImageMemory(png.data(), png.size(), img, &error)) << error;
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB more at the peak";
}

// Palettes are read whole, for every header kind, and an index past the palette is refused.
TEST(FileFormats, PalettesAreWholeAndIndicesPastThemRefused) {
    Image img;
    std::string error;
    // An OS/2 1.x BMP, 2 x 1, with 256 entries (blue i, green i + 1, red i + 2); its pixels
    // take the last two.
    std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0x1A, 3, 0, 0, 12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 8, 0};
    for (int i = 0; i < 256; ++i)
        bmp.insert(bmp.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2)});
    bmp.insert(bmp.end(), {254, 255, 0, 0});
    ASSERT_TRUE(LoadImageMemory(bmp.data(), bmp.size(), img, &error)) << error;
    EXPECT_EQ(img.data, (std::vector<uint8_t>{0, 255, 254, 255, 1, 0, 255, 255}));
    bmp[10] -= 6;  // the pixels start two entries earlier: the palette has 254
    EXPECT_FALSE(LoadImageMemory(bmp.data(), bmp.size(), img, &error));
    EXPECT_NE(error.find("index 254 past its palette of 254"), std::string::npos) << error;
    bmp[10] = 20, bmp[11] = 0;
    EXPECT_FALSE(LoadImageMemory(bmp.data(), bmp.size(), img, &error));
    EXPECT_NE(error.find("offset 20 points into its header"), std::string::npos) << error;

    // A colour-mapped TGA, 2 x 1, with two entries.
    std::vector<uint8_t> tga = {0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0, 1, 2, 3, 4, 5, 6, 1, 0};
    ASSERT_TRUE(LoadImageMemory(tga.data(), tga.size(), img, &error)) << error;
    EXPECT_EQ(img.data, (std::vector<uint8_t>{6, 5, 4, 255, 3, 2, 1, 255}));
    tga.back() = 2;
    EXPECT_FALSE(LoadImageMemory(tga.data(), tga.size(), img, &error));
    EXPECT_NE(error.find("index 2 past its colour map of 2"), std::string::npos) << error;

    // A palette PNG, 2 x 1, with two entries, the first one transparent.
    for (const uint8_t last : {1, 2}) {
        const uint8_t row[3] = {0, 0, last};
        std::vector<uint8_t> packed(64);
        uLongf packedSize = uLongf(packed.size());
        ASSERT_EQ(Z_OK, compress(packed.data(), &packedSize, row, 3));
        packed.resize(packedSize);
        const std::vector<uint8_t> png =
            PngRow(2, 3, {PngChunk("PLTE", {1, 2, 3, 4, 5, 6}), PngChunk("tRNS", {9}), PngChunk("IDAT", packed)});
        EXPECT_EQ(LoadImageMemory(png.data(), png.size(), img, &error), last == 1) << error;
    }
    EXPECT_NE(error.find("index 2 past its palette of 2"), std::string::npos) << error;
}

// Reading ends with the rows: a 1 x 1 PNG whose image data inflates to 4 GiB past them.
TEST(FileFormats, PngDataPastTheRowsIsNotInflated) {
    std::vector<uint8_t> zeros(1 << 20, 0), block(1 << 20);
    z_stream z{};
    ASSERT_EQ(Z_OK, deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY));
    z.next_in = zeros.data(), z.avail_in = uInt(zeros.size());
    z.next_out = block.data(), z.avail_out = uInt(block.size());
    ASSERT_EQ(Z_OK, deflate(&z, Z_FULL_FLUSH));  // byte-aligned: repeated, it goes on
    block.resize(block.size() - z.avail_out);
    deflateEnd(&z);
    std::vector<uint8_t> data = {0x78, 0xDA};
    for (int i = 0; i < 4096; ++i)
        data.insert(data.end(), block.begin(), block.end());
    data.insert(data.end(), {3, 0, 0, 0, 0, 1});  // the last block, empty
    const std::vector<uint8_t> png = PngRow(1, 6, {PngChunk("IDAT", data)});
    Image img;
    std::string error;
    const std::clock_t start = std::clock();
    ASSERT_TRUE(LoadImageMemory(png.data(), png.size(), img, &error)) << error;
    EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 1.0) << "seconds for one texel";
    EXPECT_EQ(img.data, (std::vector<uint8_t>{0, 0, 0, 0}));
}

// A DDS file's storage becomes the image's: 128 MiB of texels are not copied.
TEST(FileFormats, DdsTexelsAreNotCopied) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeDDS(MakeImage(kR8G8B8A8_UNORM, 1, 1), bytes));
    bytes[12] = bytes[16] = 0, bytes[13] = 0x20, bytes[17] = 0x10;  // 4096 x 8192
    bytes.resize(bytes.size() - 4 + (size_t(128) << 20), 7);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    Image img;
    std::string error;
    ASSERT_TRUE(LoadImageBytes(bytes, img, &error)) << error;
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "KiB more at the peak";
    EXPECT_EQ(img.width * img.height, 1u << 25);
    EXPECT_EQ(img.data.back(), 7);
}

TEST(FileFormats, FloatImageSavedAsPngIsConverted) {
    Image img = MakeImage(kR32_FLOAT, 3, 1);
    const float v[3] = {0.0f, 0.5f, 7.0f};
    std::memcpy(img.data.data(), v, 12);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodePNG(img, bytes));
    Image back;
    ASSERT_TRUE(LoadImageMemory(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.dxgiFormat, kR8G8B8A8_UNORM);
    EXPECT_EQ(back.data, (std::vector<uint8_t>{0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}));
}

TEST(FileFormats, TruncatedOrForeignFilesFail) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 16, 16, 1, 1, 1, false, 17);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePNG(img, png));
    Image out;
    std::string error;
    EXPECT_FALSE(LoadImageMemory(png.data(), png.size() / 2, out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(LoadImageMemory(png.data(), 8, out, &error));
    const char text[] = "hello, this is not an image at all";
    EXPECT_FALSE(LoadImageMemory(text, sizeof(text), out, &error));
    EXPECT_FALSE(LoadImageMemory(nullptr, 0, out, &error));
    EXPECT_FALSE(LoadImageFile("/nonexistent/dir/picture.png", out, &error));
    EXPECT_NE(error.find("/nonexistent/dir/picture.png"), std::string::npos);
    EXPECT_TRUE(out.data.empty());
}

TEST(MipChain, BoxFilteredFromLevelZero) {
    Image img = MakeImage(kR8G8B8A8_UNORM, 4, 2);
    for (uint32_t i = 0; i < 8; ++i)
        for (int c = 0; c < 4; ++c)
            img.data[i * 4 + c] = uint8_t(i * 10 + c);
    const std::vector<uint8_t> level0 = img.data;
    std::string error;
    ASSERT_TRUE(GenerateMipChain(img, &error)) << error;
    EXPECT_EQ(img.mipLevels, 3u);
    EXPECT_TRUE(std::equal(level0.begin(), level0.end(), img.data.begin()));
    const uint8_t* m1 = img.Subresource(1);
    // texels 0, 1, 4, 5 average to 25 (+c); texels 2, 3, 6, 7 to 45.
    EXPECT_EQ(m1[0], 25);
    EXPECT_EQ(m1[3], 28);
    EXPECT_EQ(m1[4], 45);
    const uint8_t* m2 = img.Subresource(2);
    EXPECT_EQ(m2[0], 35);

    Image f = MakeImage(kR32G32B32A32_FLOAT, 2, 2, 1, 6, 1, true);
    float vals[16];
    for (int i = 0; i < 16; ++i)
        vals[i] = float(i);
    for (uint32_t s = 0; s < 6; ++s)
        std::memcpy(f.Subresource(f.SubresourceIndex(0, s)), vals, sizeof(vals));
    ASSERT_TRUE(GenerateMipChain(f, &error)) << error;
    EXPECT_TRUE(f.cube);
    float top[4];
    std::memcpy(top, f.Subresource(f.SubresourceIndex(1, 5)), 16);
    EXPECT_FLOAT_EQ(top[0], 6.0f);
    EXPECT_FLOAT_EQ(top[3], 9.0f);

    Image bc = MakeImage(kBC1_UNORM, 8, 8);
    EXPECT_FALSE(GenerateMipChain(bc, &error));
}

TEST(DdsRefusal, RandomCorruptionNeverYieldsAnInconsistentImage) {
    const Image sources[] = {
        MakeImage(kR8G8B8A8_UNORM, 8, 8, 1, 6, 4, true, 21), MakeImage(kR16G16B16A16_FLOAT, 8, 4, 1, 3, 2, false, 22),
        MakeImage(kR8_UNORM, 4, 4, 4, 1, 3, false, 23), MakeImage(kBC3_UNORM, 16, 8, 1, 1, 3, false, 24)};
    std::mt19937 rng(99);
    int refused = 0;
    for (const Image& source : sources) {
        std::vector<uint8_t> good;
        ASSERT_TRUE(EncodeDDS(source, good));
        for (int round = 0; round < 500; ++round) {
            std::vector<uint8_t> bytes = good;
            const int edits = 1 + int(rng() % 4);
            for (int e = 0; e < edits; ++e) {
                const size_t at = 4 + rng() % (std::min<size_t>(bytes.size(), 148) - 4);  // in the headers
                bytes[at] = uint8_t(rng());
            }
            Image out;
            std::string error;
            if (LoadImageMemory(bytes.data(), bytes.size(), out, &error)) {
                EXPECT_TRUE(out.Validate(&error)) << error;
                EXPECT_LE(out.data.size(), 4 * bytes.size());  // masked layouts expand to RGBA8
            } else {
                EXPECT_FALSE(error.empty());
                EXPECT_TRUE(out.data.empty());
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 100);
}

// Every decoder refuses a header beyond the texture limits before reading or allocating the
// texels: each file holds only the texels of the largest extent allowed, which loads.
TEST(ImageLimits, HeadersBeyondTheTextureLimitsAreRefused) {
    auto patched = [](std::vector<uint8_t> b, size_t at, uint32_t v, int n, bool bigEndian) {
        for (int i = 0; i < n; ++i)
            b[at + i] = uint8_t(v >> 8 * (bigEndian ? n - 1 - i : i));
        return b;
    };
    auto check = [&](const std::vector<uint8_t>& b, size_t at, uint32_t limit, int n, bool bigEndian) {
        Image out;
        std::string error;
        SCOPED_TRACE(DetectFileType(b.data(), b.size()) == FileType::DDS ? at : b.size());
        const auto at_limit = patched(b, at, limit, n, bigEndian), beyond = patched(b, at, limit + 1, n, bigEndian);
        EXPECT_TRUE(LoadImageMemory(at_limit.data(), at_limit.size(), out, &error)) << error;
        EXPECT_FALSE(LoadImageMemory(beyond.data(), beyond.size(), out, &error));
        EXPECT_NE(error.find("too "), std::string::npos) << error;
        EXPECT_TRUE(out.data.empty());
    };
    const Image row = MakeImage(kR8G8B8A8_UNORM, 8192, 1);
    std::vector<uint8_t> png, jpg, bmp, dds, volume, array, floats;
    ASSERT_TRUE(EncodePNG(row, png) && EncodeJPG(row, jpg) && EncodeBMP(row, bmp) && EncodeDDS(row, dds));
    ASSERT_TRUE(EncodeDDS(MakeImage(kR8_UNORM, 2048, 1, 2), volume));
    ASSERT_TRUE(EncodeDDS(MakeImage(kR8_UNORM, 1, 1, 1, 512), array));
    check(png, 16, 8192, 4, true);
    const uint8_t sof[2] = {0xFF, 0xC0};
    check(jpg, size_t(std::search(jpg.begin(), jpg.end(), sof, sof + 2) - jpg.begin()) + 7, 8192, 2, true);
    check(bmp, 18, 8192, 4, false);
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 1, 0, 24, 0};
    tga.resize(18 + 8192 * 3);
    check(tga, 12, 8192, 2, false);
    const std::string header = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X ";
    std::vector<uint8_t> hdr(header.begin(), header.end());
    hdr.insert(hdr.end(), {'8', '1', '9', '2', '\n'});
    hdr.resize(hdr.size() + 8192 * 4, 0x80);
    check(hdr, header.size() + 3, '2', 1, false);  // 8192 -> 8193
    check(dds, 16, 8192, 4, false);
    check(volume, 16, 2048, 4, false);
    check(array, 140, 512, 4, false);
    // 8192 x 8192 x 3 float texels: more bytes than one image may hold, refused before any read.
    ASSERT_TRUE(EncodeDDS(MakeImage(kR32G32B32A32_FLOAT, 1, 1, 1, 3), floats));
    Image out;
    std::string error;
    floats = patched(patched(floats, 12, 8192, 4, false), 16, 8192, 4, false);
    EXPECT_FALSE(LoadImageMemory(floats.data(), floats.size(), out, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}
