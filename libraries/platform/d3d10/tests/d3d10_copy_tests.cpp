// Updates, copies and mapping of staging resources.
#include "d3d10_test_util.h"

using namespace d3d10test;

class Copies : public DeviceTest {
protected:
    ID3D10Texture3D* Volume(UINT bind, const void* data) {
        D3D10_TEXTURE3D_DESC d{4, 4, 4, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_USAGE_DEFAULT, bind, 0, 0};
        D3D10_SUBRESOURCE_DATA init{data, 16, 64};
        ID3D10Texture3D* t = nullptr;
        EXPECT_EQ(S_OK, device->CreateTexture3D(&d, data ? &init : nullptr, &t));
        return t;
    }
};

TEST_F(Copies, OneSliceOfAVolumeIntoAPlane) {
    uint32_t texels[64];
    for (int z = 0; z < 4; ++z)
        for (int i = 0; i < 16; ++i)
            texels[z * 16 + i] = Rgba(z * 60, i, 7, 255);
    ID3D10Texture3D* volume = Volume(D3D10_BIND_SHADER_RESOURCE, texels);
    ID3D10Texture2D* plane = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE);
    const D3D10_BOX slice{0, 0, 2, 4, 4, 3};
    device->CopySubresourceRegion(plane, 0, 0, 0, 0, volume, 0, &slice);
    std::vector<uint32_t> px = ReadRGBA8(plane);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Rgba(120, i, 7, 255), px[i]) << i;
    // A part of a slice lands at the destination offset.
    const D3D10_BOX corner{0, 0, 3, 2, 2, 4};
    device->CopySubresourceRegion(plane, 0, 2, 2, 0, volume, 0, &corner);
    px = ReadRGBA8(plane);
    EXPECT_EQ(Rgba(180, 0, 7, 255), px[2 * 4 + 2]);
    EXPECT_EQ(Rgba(180, 5, 7, 255), px[3 * 4 + 3]);
    EXPECT_EQ(Rgba(120, 0, 7, 255), px[0]);
    // A box outside the source is ignored.
    const D3D10_BOX outside{0, 0, 4, 4, 4, 5};
    device->CopySubresourceRegion(plane, 0, 0, 0, 0, volume, 0, &outside);
    EXPECT_EQ(Rgba(120, 0, 7, 255), ReadRGBA8(plane)[0]);
    plane->Release();
    volume->Release();
}

TEST_F(Copies, VolumeTargetViewCoversEverySlice) {
    ID3D10Texture3D* volume = Volume(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, nullptr);
    ID3D10RenderTargetView* rtv = Rtv(volume);
    D3D10_RENDER_TARGET_VIEW_DESC d;
    rtv->GetDesc(&d);
    EXPECT_EQ(D3D10_RTV_DIMENSION_TEXTURE3D, d.ViewDimension);
    EXPECT_EQ(4u, d.Texture3D.WSize);
    const float color[4] = {0, 1, 0, 1};
    device->ClearRenderTargetView(rtv, color);
    ID3D10Texture2D* plane = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE);
    for (UINT z = 0; z < 4; ++z) {
        const D3D10_BOX slice{0, 0, z, 4, 4, z + 1};
        device->CopySubresourceRegion(plane, 0, 0, 0, 0, volume, 0, &slice);
        for (uint32_t px : ReadRGBA8(plane))
            EXPECT_EQ(Rgba(0, 255, 0, 255), px) << "slice " << z;
    }
    plane->Release();
    rtv->Release();
    volume->Release();
}

TEST_F(Copies, StagingReadBackHonoursPitches) {
    // Rows of 3 texels with 4 bytes of padding.
    std::vector<BYTE> src(3 * (12 + 4), 0xEE);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const uint32_t v = Rgba(x * 10, y * 10, 200, 255);
            std::memcpy(src.data() + y * 16 + x * 4, &v, 4);
        }
    ID3D10Texture2D* texture = Texture(3, 3, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE);
    device->UpdateSubresource(texture, 0, nullptr, src.data(), 16, 0);
    std::vector<uint32_t> px = ReadRGBA8(texture);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Rgba(x * 10, y * 10, 200, 255), px[y * 3 + x]);
    // A box update touches only its texels.
    const uint32_t one = Rgba(1, 2, 3, 4);
    const D3D10_BOX box{1, 2, 0, 2, 3, 1};
    device->UpdateSubresource(texture, 0, &box, &one, 4, 0);
    px = ReadRGBA8(texture);
    EXPECT_EQ(one, px[2 * 3 + 1]);
    EXPECT_EQ(Rgba(0, 20, 200, 255), px[2 * 3 + 0]);

    D3D10_MAPPED_TEXTURE2D mapped{reinterpret_cast<void*>(1), 1};
    EXPECT_EQ(E_INVALIDARG, texture->Map(0, D3D10_MAP_READ, 0, &mapped));  // default usage
    EXPECT_EQ(nullptr, mapped.pData);

    // Written through a staging texture and copied back in.
    D3D10_TEXTURE2D_DESC sd;
    texture->GetDesc(&sd);
    sd.Usage = D3D10_USAGE_STAGING;
    sd.BindFlags = 0;
    sd.CPUAccessFlags = D3D10_CPU_ACCESS_WRITE;
    ID3D10Texture2D* upload = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture2D(&sd, nullptr, &upload));
    EXPECT_EQ(E_INVALIDARG, upload->Map(0, D3D10_MAP_READ, 0, &mapped));  // no read access
    ASSERT_EQ(S_OK, upload->Map(0, D3D10_MAP_WRITE, 0, &mapped));
    EXPECT_GE(mapped.RowPitch, 12u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const uint32_t v = Rgba(9, 9, x + y, 9);
            std::memcpy(static_cast<BYTE*>(mapped.pData) + y * mapped.RowPitch + x * 4, &v, 4);
        }
    EXPECT_EQ(E_INVALIDARG, upload->Map(0, D3D10_MAP_WRITE, 0, &mapped));  // mapped already
    upload->Unmap(0);
    device->CopyResource(texture, upload);
    px = ReadRGBA8(texture);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Rgba(9, 9, x + y, 9), px[y * 3 + x]);
    upload->Release();
    texture->Release();
}

TEST_F(Copies, DepthBufferReadsBackThroughStaging) {
    ID3D10Texture2D* depth = Texture(5, 3, DXGI_FORMAT_D32_FLOAT, D3D10_BIND_DEPTH_STENCIL);
    ID3D10DepthStencilView* dsv = nullptr;
    ASSERT_EQ(S_OK, device->CreateDepthStencilView(depth, nullptr, &dsv));
    device->ClearDepthStencilView(dsv, D3D10_CLEAR_DEPTH, 0.375f, 0);
    std::vector<BYTE> bytes = ReadBack(depth, 4);
    ASSERT_EQ(60u, bytes.size());
    for (size_t i = 0; i < 15; ++i) {
        float f;
        std::memcpy(&f, bytes.data() + 4 * i, 4);
        EXPECT_FLOAT_EQ(0.375f, f);
    }
    dsv->Release();
    depth->Release();
}

TEST_F(Copies, BuffersCopyAndMap) {
    const uint32_t values[4] = {1, 2, 3, 4};
    ID3D10Buffer* vb = Buffer(D3D10_BIND_VERTEX_BUFFER, values, sizeof(values));
    D3D10_BUFFER_DESC sd{16, D3D10_USAGE_STAGING, 0, D3D10_CPU_ACCESS_READ | D3D10_CPU_ACCESS_WRITE, 0};
    ID3D10Buffer* staging = nullptr;
    ASSERT_EQ(S_OK, device->CreateBuffer(&sd, nullptr, &staging));
    device->CopyResource(staging, vb);
    void* data = nullptr;
    ASSERT_EQ(S_OK, staging->Map(D3D10_MAP_READ, 0, &data));
    EXPECT_EQ(0, std::memcmp(values, data, 16));
    staging->Unmap();
    const uint32_t two[2] = {7, 8};
    const D3D10_BOX box{8, 0, 0, 16, 1, 1};
    device->UpdateSubresource(vb, 0, &box, two, 0, 0);
    device->CopySubresourceRegion(staging, 0, 0, 0, 0, vb, 0, nullptr);
    ASSERT_EQ(S_OK, staging->Map(D3D10_MAP_READ_WRITE, 0, &data));
    const uint32_t expected[4] = {1, 2, 7, 8};
    EXPECT_EQ(0, std::memcmp(expected, data, 16));
    staging->Unmap();
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_INVALIDARG, vb->Map(D3D10_MAP_READ, 0, &none));
    EXPECT_EQ(nullptr, none);

    D3D10_BUFFER_DESC dd{16, D3D10_USAGE_DYNAMIC, D3D10_BIND_VERTEX_BUFFER, D3D10_CPU_ACCESS_WRITE, 0};
    ID3D10Buffer* dynamic = nullptr;
    ASSERT_EQ(S_OK, device->CreateBuffer(&dd, nullptr, &dynamic));
    ASSERT_EQ(S_OK, dynamic->Map(D3D10_MAP_WRITE_DISCARD, 0, &data));
    std::memcpy(data, expected, 16);
    dynamic->Unmap();
    device->CopyResource(staging, dynamic);
    ASSERT_EQ(S_OK, staging->Map(D3D10_MAP_READ, 0, &data));
    EXPECT_EQ(0, std::memcmp(expected, data, 16));
    staging->Unmap();
    dynamic->Release();
    staging->Release();
    vb->Release();
}
