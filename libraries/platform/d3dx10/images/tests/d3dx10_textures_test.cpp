// Image files through the device: loading keeps the file's shape, saving reads it back.
#include <filesystem>
#include <random>

#include "d3dx10_device_fixture.h"
#include "image_test_support.h"
#include "platform/d3dx10tex.h"
#include "platform/image_codec.h"

namespace fs = std::filesystem;
using image_codec::Image;
using image_test::ExpectSame;

namespace {

class Textures : public d3dx10test::DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        dir = fs::temp_directory_path() / ("d3dx10_textures_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        DeviceFixture::TearDown();
        fs::remove_all(dir);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    static Image Random(uint32_t format, uint32_t w, uint32_t h, uint32_t d, uint32_t a, uint32_t mips, bool cube) {
        const uint32_t seed = format * 31 + w;
        Image img = image_test::MakeImage(format, w, h, d, a, mips, cube, seed);
        if (format == image_codec::kR32G32B32A32_FLOAT || format == image_codec::kR32_FLOAT) {
            std::mt19937 rng(seed);
            rng.discard(img.data.size());                           // on from where the bytes ended
            for (size_t i = 0; i + 4 <= img.data.size(); i += 4) {  // finite floats only
                const float f = float(rng() % 100000) / 1000.0f - 50.0f;
                std::memcpy(&img.data[i], &f, 4);
            }
        }
        return img;
    }

    // Loads the file as a view, checks the view's kind, saves the texture as DDS and
    // returns what the saved file holds.
    Image LoadAndSave(const std::string& file, D3D10_SRV_DIMENSION expected) {
        ID3D10ShaderResourceView* view = nullptr;
        HRESULT async = E_FAIL;
        EXPECT_EQ(S_OK, D3DX10CreateShaderResourceViewFromFileA(device, file.c_str(), nullptr, nullptr, &view, &async));
        EXPECT_EQ(S_OK, async);
        if (!view)
            return {};
        Own(view);
        D3D10_SHADER_RESOURCE_VIEW_DESC d;
        view->GetDesc(&d);
        EXPECT_EQ(expected, d.ViewDimension);
        ID3D10Resource* resource = nullptr;
        view->GetResource(&resource);
        Own(resource);
        const std::string saved = file + ".saved.dds";
        EXPECT_EQ(S_OK, D3DX10SaveTextureToFileA(resource, D3DX10_IFF_DDS, saved.c_str()));
        Image back;
        std::string error;
        EXPECT_TRUE(image_codec::LoadImageFile(saved, back, &error)) << error;
        return back;
    }

    // Saves the image as a DDS file, loads that as a view of the expected kind and expects the
    // texture saved again to hold the same image.
    void ExpectDdsRoundTrip(const Image& img, const std::string& name, D3D10_SRV_DIMENSION expected) {
        ASSERT_TRUE(image_codec::SaveDDS(img, Path(name)));
        ExpectSame(img, LoadAndSave(Path(name), expected));
    }

    fs::path dir;
};

}  // namespace

TEST_F(Textures, FloatStateRoundTripsExactly) {
    ExpectDdsRoundTrip(Random(image_codec::kR32G32B32A32_FLOAT, 180, 180, 1, 1, 1, false), "state.dds",
                       D3D10_SRV_DIMENSION_TEXTURE2D);
}

TEST_F(Textures, MipChainIsKept) {
    ExpectDdsRoundTrip(Random(image_codec::kR8G8B8A8_UNORM, 64, 32, 1, 1, 7, false), "mips.dds",
                       D3D10_SRV_DIMENSION_TEXTURE2D);
}

TEST_F(Textures, CubeMapIsASixSliceArrayWithACubeView) {
    Image img = Random(image_codec::kR16G16B16A16_FLOAT, 16, 16, 1, 6, 5, true);
    ASSERT_TRUE(image_codec::SaveDDS(img, Path("probe.dds")));
    ID3D10Resource* resource = nullptr;
    ASSERT_EQ(S_OK,
              D3DX10CreateTextureFromFileA(device, Path("probe.dds").c_str(), nullptr, nullptr, &resource, nullptr));
    Own(resource);
    D3D10_RESOURCE_DIMENSION dim;
    resource->GetType(&dim);
    ASSERT_EQ(D3D10_RESOURCE_DIMENSION_TEXTURE2D, dim);
    D3D10_TEXTURE2D_DESC d;
    static_cast<ID3D10Texture2D*>(resource)->GetDesc(&d);
    EXPECT_EQ(6u, d.ArraySize);
    EXPECT_EQ(5u, d.MipLevels);
    EXPECT_TRUE(d.MiscFlags & D3D10_RESOURCE_MISC_TEXTURECUBE);
    ExpectSame(img, LoadAndSave(Path("probe.dds"), D3D10_SRV_DIMENSION_TEXTURECUBE));
}

TEST_F(Textures, VolumeIsA3DTexture) {
    ExpectDdsRoundTrip(Random(image_codec::kR8_UNORM, 32, 16, 8, 1, 1, false), "noise.dds",
                       D3D10_SRV_DIMENSION_TEXTURE3D);
}

TEST_F(Textures, CompressedFileKeepsItsBlocks) {
    ExpectDdsRoundTrip(Random(image_codec::kBC1_UNORM, 16, 16, 1, 1, 1, false), "dxt1.dds",
                       D3D10_SRV_DIMENSION_TEXTURE2D);
}

TEST_F(Textures, PngGetsAFullMipChainAndSavesBackEqual) {
    Image img = Random(image_codec::kR8G8B8A8_UNORM, 40, 24, 1, 1, 1, false);
    ASSERT_TRUE(image_codec::SavePNG(img, Path("flipCard1.png")));
    Image loaded = LoadAndSave(Path("flipCard1.png"), D3D10_SRV_DIMENSION_TEXTURE2D);
    EXPECT_EQ(6u, loaded.mipLevels);
    EXPECT_EQ(image_codec::kR8G8B8A8_UNORM, loaded.dxgiFormat);
    EXPECT_TRUE(std::equal(img.data.begin(), img.data.end(), loaded.data.begin()));

    // Saved as PNG through the device: level 0 exactly.
    ID3D10Resource* resource = nullptr;
    ASSERT_EQ(S_OK, D3DX10CreateTextureFromFileA(device, Path("flipCard1.png").c_str(), nullptr, nullptr, &resource,
                                                 nullptr));
    Own(resource);
    ASSERT_EQ(S_OK, D3DX10SaveTextureToFileA(resource, D3DX10_IFF_PNG, Path("again.png").c_str()));
    Image again;
    ASSERT_TRUE(image_codec::LoadImageFile(Path("again.png"), again));
    ExpectSame(img, again);
}

TEST_F(Textures, FloatTextureSavedAsJpgAndBmp) {
    std::vector<float> texels(32 * 16 * 4);
    for (size_t i = 0; i < texels.size(); i += 4) {
        texels[i] = 0.25f;
        texels[i + 1] = 0.5f;
        texels[i + 2] = 2.0f;  // above 1: saturates
        texels[i + 3] = 1.0f;
    }
    ID3D10Texture2D* tex =
        Own(Texture(32, 16, DXGI_FORMAT_R32G32B32A32_FLOAT, D3D10_BIND_SHADER_RESOURCE, texels.data(), 32 * 16));
    ASSERT_NE(nullptr, tex);
    ASSERT_EQ(S_OK, D3DX10SaveTextureToFileA(tex, D3DX10_IFF_JPG, Path("shot.jpg").c_str()));
    ASSERT_EQ(S_OK, D3DX10SaveTextureToFileA(tex, D3DX10_IFF_BMP, Path("shot.bmp").c_str()));
    for (const char* name : {"shot.jpg", "shot.bmp"}) {
        Image back;
        ASSERT_TRUE(image_codec::LoadImageFile(Path(name), back)) << name;
        ASSERT_EQ(32u, back.width);
        for (size_t i = 0; i < back.data.size(); i += 4) {
            EXPECT_NEAR(64, back.data[i], 3) << name;
            EXPECT_NEAR(128, back.data[i + 1], 3) << name;
            EXPECT_NEAR(255, back.data[i + 2], 3) << name;
        }
    }
    EXPECT_EQ(E_NOTIMPL, D3DX10SaveTextureToFileA(tex, D3DX10_IFF_TIFF, Path("shot.tiff").c_str()));
    EXPECT_FALSE(fs::exists(Path("shot.tiff")));
    EXPECT_EQ(E_FAIL, D3DX10SaveTextureToFileA(tex, D3DX10_IFF_PNG, Path("no/such/folder/shot.png").c_str()));
}

TEST_F(Textures, MissingAndCorruptFilesFailCleanly) {
    ID3D10ShaderResourceView* view = reinterpret_cast<ID3D10ShaderResourceView*>(1);
    HRESULT async = S_OK;
    EXPECT_EQ(D3D10_ERROR_FILE_NOT_FOUND, D3DX10CreateShaderResourceViewFromFileA(device, Path("absent.png").c_str(),
                                                                                  nullptr, nullptr, &view, &async));
    EXPECT_EQ(nullptr, view);
    EXPECT_EQ(D3D10_ERROR_FILE_NOT_FOUND, async);

    Image img = Random(image_codec::kR8G8B8A8_UNORM, 8, 8, 1, 6, 1, true);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(image_codec::EncodeDDS(img, bytes));
    bytes.resize(bytes.size() - 10);
    FILE* f = std::fopen(Path("cut.dds").c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    EXPECT_EQ(D3DX10_ERR_INVALID_DATA, D3DX10CreateShaderResourceViewFromFileA(device, Path("cut.dds").c_str(), nullptr,
                                                                               nullptr, &view, nullptr));
    EXPECT_EQ(nullptr, view);
}

TEST_F(Textures, FileNamesFallBackIgnoringCase) {
    Image img = Random(image_codec::kR8G8B8A8_UNORM, 4, 4, 1, 1, 1, false);
    ASSERT_TRUE(image_codec::SavePNG(img, Path("FlipCard1.png")));
    ID3D10ShaderResourceView* view = nullptr;
    EXPECT_EQ(S_OK, D3DX10CreateShaderResourceViewFromFileA(device, Path("flipcard1.PNG").c_str(), nullptr, nullptr,
                                                            &view, nullptr));
    Own(view);
}

TEST_F(Textures, LoadInformationAndImageInformation) {
    Image img = Random(image_codec::kR8G8B8A8_UNORM, 64, 64, 1, 1, 1, false);
    ASSERT_TRUE(image_codec::SavePNG(img, Path("vignette.png")));
    D3DX10_IMAGE_INFO info{};
    ASSERT_EQ(S_OK, D3DX10GetImageInfoFromFileA(Path("vignette.png").c_str(), nullptr, &info, nullptr));
    EXPECT_EQ(64u, info.Width);
    EXPECT_EQ(1u, info.MipLevels);
    EXPECT_EQ(D3DX10_IFF_PNG, info.ImageFileFormat);
    EXPECT_EQ(D3D10_RESOURCE_DIMENSION_TEXTURE2D, info.ResourceDimension);

    D3DX10_IMAGE_LOAD_INFO load;
    D3DX10_IMAGE_INFO source{};
    load.MipLevels = 1;
    load.pSrcInfo = &source;
    ID3D10Resource* resource = nullptr;
    ASSERT_EQ(S_OK,
              D3DX10CreateTextureFromFileA(device, Path("vignette.png").c_str(), &load, nullptr, &resource, nullptr));
    Own(resource);
    D3D10_TEXTURE2D_DESC d;
    static_cast<ID3D10Texture2D*>(resource)->GetDesc(&d);
    EXPECT_EQ(1u, d.MipLevels);
    EXPECT_EQ(64u, source.Height);

    load.MipLevels = D3DX10_DEFAULT;
    load.Width = 32;  // resampling is not offered
    ID3D10Resource* refused = nullptr;
    EXPECT_EQ(E_INVALIDARG,
              D3DX10CreateTextureFromFileA(device, Path("vignette.png").c_str(), &load, nullptr, &refused, nullptr));
    EXPECT_EQ(nullptr, refused);
}
