// Textures: creation by bind flags, initial data, description fields, clears, copies,
// loading with its fallbacks, saving by extension, release.
#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

#include "d3d10_read_back.h"
#include "fw_Log.h"
#include "fw_Release.h"
#include "fw_Texture.h"
#include "platform/d3dx10tex.h"
#include "resources_support.h"

using namespace restest;

namespace {

class TextureTest : public ResourceTest {};

TEST(TextureFormats, BytesPerPixelFollowsTheFormatRanges) {
    EXPECT_EQ(16u, BytesPerPixel(DXGI_FORMAT_R32G32B32A32_FLOAT));  // 2
    EXPECT_EQ(12u, BytesPerPixel(DXGI_FORMAT(6)));                  // R32G32B32_FLOAT
    EXPECT_EQ(8u, BytesPerPixel(DXGI_FORMAT_R16G16B16A16_FLOAT));   // 10
    EXPECT_EQ(8u, BytesPerPixel(DXGI_FORMAT(22)));
    EXPECT_EQ(4u, BytesPerPixel(DXGI_FORMAT(23)));
    EXPECT_EQ(4u, BytesPerPixel(DXGI_FORMAT_R8G8B8A8_UNORM));
    EXPECT_EQ(2u, BytesPerPixel(DXGI_FORMAT(48)));
    EXPECT_EQ(2u, BytesPerPixel(DXGI_FORMAT(59)));
    EXPECT_EQ(1u, BytesPerPixel(DXGI_FORMAT_R8_UNORM));  // 61
    EXPECT_EQ(1u, BytesPerPixel(DXGI_FORMAT(66)));
    EXPECT_EQ(4u, BytesPerPixel(DXGI_FORMAT(0)));
    EXPECT_EQ(4u, BytesPerPixel(DXGI_FORMAT(85)));  // the table's fallback
}

TEST(TextureFormats, UploadPitchesComeFromTheFormat) {
    EXPECT_EQ(2880u, RowPitchOf(DXGI_FORMAT_R32G32B32A32_FLOAT, 180));
    EXPECT_EQ(128u, RowPitchOf(DXGI_FORMAT_R8_UNORM, 128));
    EXPECT_EQ(20u, RowPitchOf(DXGI_FORMAT(85), 10));  // B5G6R5: two bytes, not the fallback 4
    EXPECT_EQ(20u, RowPitchOf(DXGI_FORMAT(86), 10));
    EXPECT_EQ(2u, RowPitchOf(DXGI_FORMAT(66), 9));   // R1: bits
    EXPECT_EQ(16u, RowPitchOf(DXGI_FORMAT(71), 7));  // BC1: two blocks of 8 bytes
    EXPECT_EQ(32u, RowPitchOf(DXGI_FORMAT(77), 8));  // BC3: two blocks of 16 bytes
    EXPECT_EQ(2u, RowCountOf(DXGI_FORMAT(71), 5));
    EXPECT_EQ(5u, RowCountOf(DXGI_FORMAT_R8_UNORM, 5));
}

TEST_F(TextureTest, BindFlagsChooseTheViews) {
    fw_Texture sr(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 16, 8, 1, nullptr);
    EXPECT_NE(nullptr, sr.mTexture2D);
    EXPECT_EQ(nullptr, sr.mTexture3D);
    EXPECT_NE(nullptr, sr.mShaderResourceView);
    EXPECT_EQ(nullptr, sr.mRenderTargetView);
    EXPECT_EQ(nullptr, sr.mDepthStencilView);

    fw_Texture rt(kTargetBindFlags, DXGI_FORMAT_R16G16B16A16_FLOAT, 40, 25, 1, nullptr);
    EXPECT_NE(nullptr, rt.mShaderResourceView);
    ASSERT_NE(nullptr, rt.mRenderTargetView);
    EXPECT_EQ(0, rt.mViewport.TopLeftX);
    EXPECT_EQ(0, rt.mViewport.TopLeftY);
    EXPECT_EQ(40u, rt.mViewport.Width);
    EXPECT_EQ(25u, rt.mViewport.Height);
    EXPECT_EQ(0.0f, rt.mViewport.MinDepth);
    EXPECT_EQ(1.0f, rt.mViewport.MaxDepth);

    fw_Texture depth(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, 32, 32, 1, nullptr);
    EXPECT_NE(nullptr, depth.mDepthStencilView);
    EXPECT_EQ(nullptr, depth.mShaderResourceView);
    EXPECT_EQ(nullptr, depth.mRenderTargetView);
    sr.Release();
    rt.Release();
    depth.Release();
}

TEST_F(TextureTest, DepthAboveOneMakesAVolumeWhoseTargetCoversEverySlice) {
    fw_Texture volume(kTargetBindFlags, DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 128, nullptr);
    EXPECT_EQ(nullptr, volume.mTexture2D);
    ASSERT_NE(nullptr, volume.mTexture3D);
    ASSERT_NE(nullptr, volume.mRenderTargetView);
    D3D10_RENDER_TARGET_VIEW_DESC desc = {};
    volume.mRenderTargetView->GetDesc(&desc);
    EXPECT_EQ(D3D10_RTV_DIMENSION_TEXTURE3D, desc.ViewDimension);
    EXPECT_EQ(0u, desc.Texture3D.FirstWSlice);
    EXPECT_EQ(128u, desc.Texture3D.WSize);
    EXPECT_EQ(128u, volume.GetDepth());
    EXPECT_EQ(128u, volume.GetDescField(fw_Texture::depth));
    EXPECT_EQ(1u, volume.GetDescField(fw_Texture::arraySize));
    EXPECT_EQ(1u, volume.GetDescField(fw_Texture::sampleDescCount));
    EXPECT_EQ(0u, volume.GetDescField(fw_Texture::sampleDescQuality));
    EXPECT_EQ(kTargetBindFlags, volume.GetDescField(fw_Texture::bindFlags));
    EXPECT_EQ(0u, volume.GetDescField(fw_Texture::_DescFieldName(12)));
    volume.Release();
}

TEST_F(TextureTest, DescriptionFieldsOfATwoDimensionalTexture) {
    fw_Texture t(kTargetBindFlags, DXGI_FORMAT_R32G32B32A32_FLOAT, 12, 7, 1, nullptr);
    EXPECT_EQ(12u, t.GetWidth());
    EXPECT_EQ(7u, t.GetHeight());
    EXPECT_EQ(1u, t.GetDepth());
    EXPECT_EQ(uint32_t(DXGI_FORMAT_R32G32B32A32_FLOAT), t.GetFormat());
    EXPECT_EQ(1u, t.GetDescField(fw_Texture::depth));
    EXPECT_EQ(1u, t.GetDescField(fw_Texture::mips));
    EXPECT_EQ(1u, t.GetDescField(fw_Texture::arraySize));
    EXPECT_EQ(0u, t.GetDescField(fw_Texture::usage));
    EXPECT_EQ(0u, t.GetDescField(fw_Texture::cpuAccessFlags));
    t.Release();
}

TEST_F(TextureTest, InitialDataIsReadRowByRowAtTheFormatsPitch) {
    const uint32_t w = 180, h = 3;
    std::vector<float> texels(size_t(w) * h * 4);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = float(i % 1000);
    fw_Texture t(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R32G32B32A32_FLOAT, w, h, 1, texels.data());
    const Picture p = ReadBack(t.mTexture2D);
    ASSERT_EQ(w, p.width);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x : {0u, 1u, 97u, 179u})
            EXPECT_EQ(texels[(size_t(y) * w + x) * 4 + 1], p.At(x, y)[1]) << x << "," << y;
    t.Release();
}

TEST_F(TextureTest, SixteenBitFormatsAreUploadedAtTwoBytesATexel) {
    // B5G6R5 lies outside the ranges of BytesPerPixel (4); its rows are 20 bytes.
    const uint32_t w = 10, h = 3;
    std::vector<uint16_t> texels(size_t(w) * h);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = uint16_t(0x1234 + i * 0x0101);
    fw_Texture t(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT(85), w, h, 1, texels.data());
    ASSERT_NE(nullptr, t.mTexture2D);
    d3d10test::TextureCopy copy;
    ASSERT_TRUE(d3d10test::ReadTexture(t.mTexture2D, copy));
    for (uint32_t y = 0; y < h; ++y)
        EXPECT_EQ(0, std::memcmp(copy.Row(y), texels.data() + size_t(y) * w, w * 2)) << y;
    t.Release();
}

TEST_F(TextureTest, VolumeDataUsesRowAndSlicePitches) {
    const uint32_t n = 16;
    std::vector<uint8_t> bytes(n * n * n);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t((i * 7) ^ (i >> 8));
    fw_Texture t(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8_UNORM, n, n, n, bytes.data());
    ASSERT_NE(nullptr, t.mTexture3D);
    for (uint32_t z : {0u, 5u, 15u}) {
        const std::vector<uint8_t> slice = ReadVolumeSlice(t.mTexture3D, z);
        ASSERT_EQ(size_t(n) * n, slice.size());
        EXPECT_EQ(0, std::memcmp(slice.data(), bytes.data() + size_t(z) * n * n, slice.size())) << z;
    }
    t.Release();
}

TEST_F(TextureTest, ClearsWriteTheirColourAndFillMissingChannelsWithZero) {
    fw_Texture t(kTargetBindFlags, DXGI_FORMAT_R32G32B32A32_FLOAT, 4, 4, 1, nullptr);
    t.ClearColor3(0.25f, 0.5f, 0.75f);
    Picture p = ReadBack(t.mTexture2D);
    EXPECT_EQ(0.25f, p.At(2, 3)[0]);
    EXPECT_EQ(0.75f, p.At(2, 3)[2]);
    EXPECT_EQ(0.0f, p.At(2, 3)[3]);
    t.ClearColor2(1.0f, 2.0f);
    p = ReadBack(t.mTexture2D);
    EXPECT_EQ(2.0f, p.At(0, 0)[1]);
    EXPECT_EQ(0.0f, p.At(0, 0)[2]);
    t.ClearGrey(0.5f);
    p = ReadBack(t.mTexture2D);
    EXPECT_EQ(0.5f, p.At(1, 1)[3]);

    fw_Texture depth(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, 4, 4, 1, nullptr);
    depth.ClearDepth(0.375f);
    p = ReadBack(depth.mTexture2D);
    EXPECT_EQ(0.375f, p.At(3, 3)[0]);
    t.Release();
    depth.Release();
}

TEST_F(TextureTest, CopiesMoveWholeResources) {
    fw_Texture a(kTargetBindFlags, DXGI_FORMAT_R32G32B32A32_FLOAT, 4, 4, 1, nullptr);
    fw_Texture b(kTargetBindFlags, DXGI_FORMAT_R32G32B32A32_FLOAT, 4, 4, 1, nullptr);
    a.ClearColor(1, 2, 3, 4);
    b.CopyFrom(a);
    EXPECT_EQ(3.0f, ReadBack(b.mTexture2D).At(3, 0)[2]);
    a.ClearColor(5, 6, 7, 8);
    a.CopyTo(b.mTexture2D);
    EXPECT_EQ(8.0f, ReadBack(b.mTexture2D).At(0, 3)[3]);
    a.Release();
    b.Release();
}

TEST_F(TextureTest, ReleaseIsSafeTwiceAndOperationsWithoutAResourceDoNothing) {
    fw_Texture t(kTargetBindFlags, DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4, 1, nullptr);
    t.Release();
    EXPECT_EQ(nullptr, t.mTexture2D);
    EXPECT_EQ(nullptr, t.mShaderResourceView);
    EXPECT_EQ(nullptr, t.mRenderTargetView);
    t.Release();

    fw_Texture empty;
    empty.ClearColor(1, 1, 1, 1);
    empty.ClearDepth(1.0f);
    empty.Unmap(0);
    empty.CopyTo(nullptr);
    empty.CopyToStagingAt(0);
    D3D10_MAPPED_TEXTURE2D mapped = {};
    EXPECT_TRUE(FAILED(empty.Map2D(0, D3D10_MAP_READ, 0, &mapped)));
    EXPECT_EQ(0u, empty.GetWidth());
    EXPECT_EQ(0u, empty.GetDescField(fw_Texture::format));
    EXPECT_FALSE(empty.SaveToFile("nothing.png"));
    EXPECT_FALSE(fs::exists(project->root / "data" / "nothing.png"));
}

TEST_F(TextureTest, LoadingResolvesNamesUnderTheProjectData) {
    WriteImage(project->Path("data/red.png"), 4, 2, 0xFF0000FFu);
    WriteImage(project->Path("data/sub/blue.png"), 2, 2, 0xFFFF0000u);
    const int warnings = fw_Log::GetWarningCount();

    fw_Texture* red = fw_Texture::LoadFromFile("red.png");
    ASSERT_NE(nullptr, red->mShaderResourceView);
    ASSERT_NE(nullptr, red->mTexture2D);
    EXPECT_EQ(4u, red->GetWidth());
    EXPECT_EQ(nullptr, red->mRenderTargetView);
    EXPECT_NEAR(1.0f, ReadBack(red->mTexture2D).At(3, 1)[0], 1e-6);

    fw_Texture* blue = fw_Texture::LoadFromFile("./data/sub/blue.png");
    ASSERT_NE(nullptr, blue->mTexture2D);
    EXPECT_NEAR(1.0f, ReadBack(blue->mTexture2D).At(0, 0)[2], 1e-6);

    fw_Texture* absolute = fw_Texture::LoadFromFile(project->Path("data/red.png"));
    EXPECT_EQ(4u, absolute->GetWidth());
    EXPECT_EQ(warnings, fw_Log::GetWarningCount());
    for (fw_Texture* t : {red, blue, absolute})
        ReleaseAndDelete(t);

    EXPECT_EQ(project->Path() + "/data/vignette.jpg", fw_Framework::ResolveDataPath("vignette.jpg"));
    EXPECT_EQ(project->Path() + "/data/flipCard1.png", fw_Framework::ResolveDataPath("./data/flipCard1.png"));
    EXPECT_EQ("C:/x.png", fw_Framework::ResolveDataPath("C:/x.png"));
}

TEST_F(TextureTest, ACubeMapImageKeepsItsCubeResourceAsTheTwoDimensionalTexture) {
    const D3D10_TEXTURE2D_DESC desc =
        TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE, 6, D3D10_RESOURCE_MISC_TEXTURECUBE);
    ID3D10Texture2D* cube = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture2D(&desc, nullptr, &cube));
    ASSERT_EQ(S_OK, D3DX10SaveTextureToFileA(cube, D3DX10_IFF_DDS, project->Path("data/probe.dds").c_str()));
    cube->Release();

    fw_Texture* probe = fw_Texture::LoadFromFile("probe.dds");
    ASSERT_NE(nullptr, probe->mShaderResourceView);
    D3D10_SHADER_RESOURCE_VIEW_DESC view = {};
    probe->mShaderResourceView->GetDesc(&view);
    EXPECT_EQ(D3D10_SRV_DIMENSION_TEXTURECUBE, view.ViewDimension);
    ASSERT_NE(nullptr, probe->mTexture2D);
    EXPECT_EQ(nullptr, probe->mTexture3D);
    EXPECT_EQ(6u, probe->GetDescField(fw_Texture::arraySize));
    EXPECT_EQ(1u, probe->GetDepth());
    ReleaseAndDelete(probe);
}

TEST_F(TextureTest, AnUnreadableFileFallsBackToMissingPngThenToTheBuiltInImage) {
    // Without "./data/missing.png" in the working directory: two warnings, the error image.
    const int warnings = fw_Log::GetWarningCount();
    fw_Texture* lost = fw_Texture::LoadFromFile("does-not-exist.png");
    EXPECT_EQ(warnings + 2, fw_Log::GetWarningCount());
    ASSERT_NE(nullptr, lost->mShaderResourceView);
    ASSERT_NE(nullptr, lost->mTexture2D);
    EXPECT_EQ(8u, lost->GetWidth());
    ReleaseAndDelete(lost);

    // With it: one warning, and the fallback picture under the requested name.
    TempTree cwd;
    WriteImage(cwd.Path("data/missing.png"), 3, 5, 0xFF00FF00u);
    project->Write("data/corrupt.png", "not an image");
    char old[4096];
    ASSERT_NE(nullptr, getcwd(old, sizeof old));
    ASSERT_EQ(0, chdir(cwd.Path().c_str()));
    const int before = fw_Log::GetWarningCount();
    fw_Texture* corrupt = fw_Texture::LoadFromFile("corrupt.png");
    EXPECT_EQ(0, chdir(old));
    EXPECT_EQ(before + 1, fw_Log::GetWarningCount());
    ASSERT_NE(nullptr, corrupt->mTexture2D);
    EXPECT_EQ(3u, corrupt->GetWidth());
    EXPECT_EQ(5u, corrupt->GetHeight());
    ReleaseAndDelete(corrupt);
}

TEST_F(TextureTest, SavingChoosesTheFormatFromTheExactExtension) {
    std::vector<uint32_t> texels(16, 0xFF336699u);
    fw_Texture t(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4, 1, texels.data());
    EXPECT_TRUE(t.SaveToFile("shot.jpg"));
    EXPECT_TRUE(t.SaveToFile("shot.png"));
    EXPECT_TRUE(fs::exists(project->root / "data" / "shot.jpg"));
    EXPECT_TRUE(fs::exists(project->root / "data" / "shot.png"));
    EXPECT_FALSE(t.SaveToFile("shot.JPG"));
    EXPECT_FALSE(t.SaveToFile("shot.jps"));
    EXPECT_FALSE(fs::exists(project->root / "data" / "shot.JPG"));
    EXPECT_FALSE(fs::exists(project->root / "data" / "shot.jps"));

    fw_Texture* back = fw_Texture::LoadFromFile("shot.png");
    EXPECT_NEAR(0x66 / 255.0f, ReadBack(back->mTexture2D).At(2, 2)[1], 1e-6);
    ReleaseAndDelete(back);
    t.Release();
}

TEST_F(TextureTest, AVolumeIsSavedSliceBySliceOrAsOneDdsFile) {
    std::vector<uint32_t> texels(4 * 4 * 3);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = 0xFF000000u | uint32_t(i / 16) * 0x40;
    fw_Texture volume(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4, 3, texels.data());
    EXPECT_TRUE(volume.SaveToFile("vol.png"));
    for (const char* name : {"vol0000.png", "vol0001.png", "vol0002.png"})
        EXPECT_TRUE(fs::exists(project->root / "data" / name)) << name;
    EXPECT_FALSE(fs::exists(project->root / "data" / "vol0003.png"));
    EXPECT_FALSE(fs::exists(project->root / "data" / "vol.png"));

    fw_Texture* slice2 = fw_Texture::LoadFromFile("vol0002.png");
    EXPECT_NEAR(0x80 / 255.0f, ReadBack(slice2->mTexture2D).At(1, 1)[0], 1e-6);
    ReleaseAndDelete(slice2);

    EXPECT_TRUE(volume.SaveToFile("vol.dds"));
    EXPECT_TRUE(fs::exists(project->root / "data" / "vol.dds"));
    EXPECT_FALSE(fs::exists(project->root / "data" / "vol0000.dds"));
    fw_Texture* dds = fw_Texture::LoadFromFile("vol.dds");
    ASSERT_NE(nullptr, dds->mTexture3D);
    EXPECT_EQ(3u, dds->GetDepth());
    ReleaseAndDelete(dds);
    volume.Release();
}

TEST_F(TextureTest, WrappingTakesOverTheCallersReference) {
    const D3D10_TEXTURE2D_DESC desc = TextureDesc(20, 10, DXGI_FORMAT_R8G8B8A8_UNORM, kTargetBindFlags);
    ID3D10Texture2D* raw = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture2D(&desc, nullptr, &raw));
    raw->AddRef();
    fw_Texture wrapped(raw, kTargetBindFlags | D3D10_BIND_DEPTH_STENCIL);  // the depth flag is not looked at
    EXPECT_EQ(raw, wrapped.mTexture2D);
    EXPECT_NE(nullptr, wrapped.mRenderTargetView);
    EXPECT_NE(nullptr, wrapped.mShaderResourceView);
    EXPECT_EQ(nullptr, wrapped.mDepthStencilView);
    EXPECT_EQ(20u, wrapped.mViewport.Width);
    EXPECT_EQ(10u, wrapped.mViewport.Height);
    wrapped.Release();
    EXPECT_EQ(0u, raw->Release());  // only our extra reference was left
}

}  // namespace
