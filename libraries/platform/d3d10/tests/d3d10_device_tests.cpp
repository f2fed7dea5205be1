// Device creation, reference counting, the DXGI chain, and refusals of bad descriptions.
#include <epoxy/gl.h>

#include "d3d10_test_util.h"

using namespace d3d10test;

TEST(DeviceCreation, SoftwareDeviceRunsOnLlvmpipe) {
    ID3D10Device* device = nullptr;
    ASSERT_EQ(S_OK,
              D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0, D3D10_SDK_VERSION, &device));
    D3D10GL_MakeCurrent(device);
    EXPECT_NE(nullptr, std::strstr(reinterpret_cast<const char*>(glGetString(GL_RENDERER)), "llvmpipe"));
    EXPECT_EQ(0u, device->Release());
}

TEST(DeviceCreation, HardwareIsRefusedOnASoftwareRasteriser) {
    ID3D10Device* device = reinterpret_cast<ID3D10Device*>(1);
    HRESULT hr = D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION, &device);
    if (SUCCEEDED(hr)) {
        D3D10GL_MakeCurrent(device);
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        EXPECT_EQ(nullptr, std::strstr(renderer, "llvmpipe"));
        EXPECT_EQ(nullptr, std::strstr(renderer, "softpipe"));
        device->Release();
    } else {
        EXPECT_EQ(nullptr, device);
        // Where the hardware type fails, the software one is what is left.
        ASSERT_EQ(S_OK, D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0, D3D10_SDK_VERSION,
                                          &device));
        device->Release();
    }
}

TEST(DeviceCreation, ReferenceDeviceRunsOnSoftpipe) {
    ID3D10Device* device = nullptr;
    ASSERT_EQ(S_OK, D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_REFERENCE, nullptr, 0, D3D10_SDK_VERSION, &device));
    D3D10GL_MakeCurrent(device);
    EXPECT_NE(nullptr, std::strstr(reinterpret_cast<const char*>(glGetString(GL_RENDERER)), "softpipe"));
    device->Release();
}

TEST(DeviceCreation, BadArgumentsFailWithNullOutput) {
    ID3D10Device* device = reinterpret_cast<ID3D10Device*>(1);
    EXPECT_EQ(E_INVALIDARG,
              D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, nullptr, 0, D3D10_SDK_VERSION, &device));
    EXPECT_EQ(nullptr, device);
    device = reinterpret_cast<ID3D10Device*>(1);
    EXPECT_TRUE(FAILED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0, 28, &device)));
    EXPECT_EQ(nullptr, device);
    device = reinterpret_cast<ID3D10Device*>(1);
    EXPECT_TRUE(FAILED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_NULL, nullptr, 0, D3D10_SDK_VERSION, &device)));
    EXPECT_EQ(nullptr, device);
}

class DeviceObjects : public DeviceTest {};

TEST_F(DeviceObjects, DxgiChainReachesTheFactory) {
    IDXGIDevice* dxgi = nullptr;
    ASSERT_EQ(S_OK, device->QueryInterface(__uuidof(IDXGIDevice), reinterpret_cast<void**>(&dxgi)));
    ID3D10Device* back = nullptr;
    ASSERT_EQ(S_OK, dxgi->QueryInterface(__uuidof(ID3D10Device), reinterpret_cast<void**>(&back)));
    EXPECT_EQ(device, back);
    back->Release();
    IDXGIAdapter* adapter = nullptr;
    ASSERT_EQ(S_OK, dxgi->GetAdapter(&adapter));
    IDXGIFactory* factory = nullptr;
    ASSERT_EQ(S_OK, adapter->GetParent(__uuidof(IDXGIFactory), reinterpret_cast<void**>(&factory)));
    HWND window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(S_OK, factory->MakeWindowAssociation(window, DXGI_MWA_NO_WINDOW_CHANGES | DXGI_MWA_NO_ALT_ENTER));
    HWND associated = nullptr;
    EXPECT_EQ(S_OK, factory->GetWindowAssociation(&associated));
    EXPECT_EQ(window, associated);
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(0u, adapter->Release());
    EXPECT_EQ(0u, dxgi->Release());
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, device->QueryInterface(__uuidof(ID3D10Texture2D), &none));
    EXPECT_EQ(nullptr, none);
}

TEST_F(DeviceObjects, ChildrenKeepTheDeviceAndViewsKeepTheirResource) {
    ID3D10Texture2D* texture = Texture(8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE);
    ID3D10ShaderResourceView* view = Srv(texture);
    EXPECT_EQ(1u, texture->Release());  // the view still holds it
    ID3D10Resource* resource = nullptr;
    view->GetResource(&resource);
    EXPECT_EQ(static_cast<ID3D10Resource*>(texture), resource);
    ID3D10Texture2D* again = nullptr;
    ASSERT_EQ(S_OK, resource->QueryInterface(__uuidof(ID3D10Texture2D), reinterpret_cast<void**>(&again)));
    D3D10_TEXTURE2D_DESC desc;
    again->GetDesc(&desc);
    EXPECT_EQ(8u, desc.Width);
    again->Release();
    resource->Release();
    // Bound objects are held by the device until unbound.
    device->PSSetShaderResources(0, 1, &view);
    EXPECT_EQ(1u, view->Release());
    ID3D10ShaderResourceView* bound = nullptr;
    device->PSGetShaderResources(0, 1, &bound);
    EXPECT_EQ(view, bound);
    bound->Release();
    device->ClearState();
    device->PSGetShaderResources(0, 1, &bound);
    EXPECT_EQ(nullptr, bound);
    ID3D10Device* owner = nullptr;
    ID3D10Buffer* buffer = Buffer(D3D10_BIND_VERTEX_BUFFER, kQuad, sizeof(kQuad));
    buffer->GetDevice(&owner);
    EXPECT_EQ(device, owner);
    owner->Release();
    EXPECT_EQ(0u, buffer->Release());
}

TEST_F(DeviceObjects, DescriptionsComeBackAsGiven) {
    D3D10_TEXTURE3D_DESC d3{16, 8, 4, 0, DXGI_FORMAT_R8_UNORM, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0, 0};
    ID3D10Texture3D* volume = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture3D(&d3, nullptr, &volume));
    D3D10_TEXTURE3D_DESC out;
    volume->GetDesc(&out);
    EXPECT_EQ(16u, out.Width);
    EXPECT_EQ(4u, out.Depth);
    EXPECT_EQ(5u, out.MipLevels);  // 0 asks for the full chain
    ID3D10ShaderResourceView* view = Srv(volume);
    D3D10_SHADER_RESOURCE_VIEW_DESC vd;
    view->GetDesc(&vd);
    EXPECT_EQ(D3D10_SRV_DIMENSION_TEXTURE3D, vd.ViewDimension);
    EXPECT_EQ(5u, vd.Texture3D.MipLevels);
    D3D10_RESOURCE_DIMENSION dim;
    volume->GetType(&dim);
    EXPECT_EQ(D3D10_RESOURCE_DIMENSION_TEXTURE3D, dim);
    view->Release();
    volume->Release();

    ID3D10Texture2D* depth = Texture(32, 16, DXGI_FORMAT_D32_FLOAT, D3D10_BIND_DEPTH_STENCIL);
    D3D10_DEPTH_STENCIL_VIEW_DESC dd{DXGI_FORMAT_D32_FLOAT, D3D10_DSV_DIMENSION_TEXTURE2D, {}};
    ID3D10DepthStencilView* dsv = nullptr;
    ASSERT_EQ(S_OK, device->CreateDepthStencilView(depth, &dd, &dsv));
    D3D10_DEPTH_STENCIL_VIEW_DESC back;
    dsv->GetDesc(&back);
    EXPECT_EQ(D3D10_DSV_DIMENSION_TEXTURE2D, back.ViewDimension);
    dsv->Release();
    depth->Release();
}

TEST_F(DeviceObjects, BadTextureDescriptionsAreRefused) {
    D3D10_TEXTURE2D_DESC good{};
    good.Width = 4;
    good.Height = 4;
    good.MipLevels = 1;
    good.ArraySize = 1;
    good.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    good.SampleDesc = {1, 0};
    good.BindFlags = D3D10_BIND_SHADER_RESOURCE;
    auto refused = [&](D3D10_TEXTURE2D_DESC d, const D3D10_SUBRESOURCE_DATA* data = nullptr) {
        ID3D10Texture2D* t = reinterpret_cast<ID3D10Texture2D*>(1);
        HRESULT hr = device->CreateTexture2D(&d, data, &t);
        EXPECT_TRUE(hr == E_INVALIDARG || hr == E_FAIL) << std::hex << hr;
        EXPECT_EQ(nullptr, t);
    };
    D3D10_TEXTURE2D_DESC d = good;
    d.Width = 0;
    refused(d);
    d = good;
    d.Height = 0;
    refused(d);
    d = good;
    d.ArraySize = 0;
    refused(d);
    d = good;
    d.Width = 100000;
    refused(d);
    d = good;
    d.MipLevels = 4;  // a 4 x 4 texture has 3 levels
    refused(d);
    d = good;
    d.Format = DXGI_FORMAT_R1_UNORM;
    refused(d);
    d = good;
    d.SampleDesc.Count = 4;
    refused(d);
    d = good;
    d.Format = DXGI_FORMAT_BC1_UNORM;
    d.BindFlags = D3D10_BIND_RENDER_TARGET;
    refused(d);
    d = good;
    d.Format = DXGI_FORMAT_D32_FLOAT;
    d.BindFlags = D3D10_BIND_RENDER_TARGET | D3D10_BIND_DEPTH_STENCIL;
    refused(d);
    d = good;
    d.BindFlags = D3D10_BIND_DEPTH_STENCIL;  // a colour format
    refused(d);
    d = good;
    d.Usage = D3D10_USAGE_STAGING;  // with bind flags
    d.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    refused(d);
    d = good;
    d.Usage = D3D10_USAGE_IMMUTABLE;  // without data
    refused(d);
    d = good;
    d.MiscFlags = D3D10_RESOURCE_MISC_TEXTURECUBE;  // needs 6 slices
    refused(d);
    d = good;
    d.BindFlags = D3D10_BIND_VERTEX_BUFFER;
    refused(d);
    d = good;
    D3D10_SUBRESOURCE_DATA shortPitch{std::vector<BYTE>(64).data(), 8, 0};  // rows need 16 bytes
    refused(d, &shortPitch);

    D3D10_TEXTURE3D_DESC v{4, 4, 0, 1, DXGI_FORMAT_R8_UNORM, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE, 0, 0};
    ID3D10Texture3D* volume = reinterpret_cast<ID3D10Texture3D*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateTexture3D(&v, nullptr, &volume));
    EXPECT_EQ(nullptr, volume);
    EXPECT_EQ(E_INVALIDARG, device->CreateTexture2D(nullptr, nullptr, nullptr));
}

TEST_F(DeviceObjects, BadBufferAndViewDescriptionsAreRefused) {
    auto refused = [&](D3D10_BUFFER_DESC d, const void* data) {
        D3D10_SUBRESOURCE_DATA init{data, 0, 0};
        ID3D10Buffer* b = reinterpret_cast<ID3D10Buffer*>(1);
        EXPECT_EQ(E_INVALIDARG, device->CreateBuffer(&d, data ? &init : nullptr, &b));
        EXPECT_EQ(nullptr, b);
    };
    refused({0, D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0, 0}, nullptr);
    refused({16, D3D10_USAGE_IMMUTABLE, D3D10_BIND_VERTEX_BUFFER, 0, 0}, nullptr);
    refused({16, D3D10_USAGE_STAGING, D3D10_BIND_VERTEX_BUFFER, D3D10_CPU_ACCESS_READ, 0}, nullptr);
    refused({16, D3D10_USAGE_DYNAMIC, D3D10_BIND_VERTEX_BUFFER, 0, 0}, nullptr);
    refused({16, D3D10_USAGE_DEFAULT, D3D10_BIND_RENDER_TARGET, 0, 0}, nullptr);

    ID3D10Texture2D* srOnly = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE);
    ID3D10RenderTargetView* rtv = reinterpret_cast<ID3D10RenderTargetView*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateRenderTargetView(srOnly, nullptr, &rtv));
    EXPECT_EQ(nullptr, rtv);
    ID3D10DepthStencilView* dsv = reinterpret_cast<ID3D10DepthStencilView*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateDepthStencilView(srOnly, nullptr, &dsv));
    EXPECT_EQ(nullptr, dsv);
    D3D10_SHADER_RESOURCE_VIEW_DESC cube{};
    cube.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    cube.ViewDimension = D3D10_SRV_DIMENSION_TEXTURECUBE;
    cube.TextureCube = {0, 1};
    ID3D10ShaderResourceView* srv = reinterpret_cast<ID3D10ShaderResourceView*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateShaderResourceView(srOnly, &cube, &srv));
    EXPECT_EQ(nullptr, srv);
    D3D10_SHADER_RESOURCE_VIEW_DESC mips{};
    mips.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    mips.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
    mips.Texture2D = {1, 1};  // the texture has one level
    srv = reinterpret_cast<ID3D10ShaderResourceView*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateShaderResourceView(srOnly, &mips, &srv));
    EXPECT_EQ(nullptr, srv);
    srOnly->Release();

    D3D10_BLEND_DESC blend{};
    ID3D10BlendState* bs = reinterpret_cast<ID3D10BlendState*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateBlendState(&blend, &bs));  // zeroed enums are not valid
    EXPECT_EQ(nullptr, bs);
}

TEST_F(DeviceObjects, CubeMapsAndMipChainsAreCreated) {
    D3D10_TEXTURE2D_DESC d{};
    d.Width = d.Height = 16;
    d.MipLevels = 0;
    d.ArraySize = 6;
    d.Format = DXGI_FORMAT_R16G16B16A16_FLOAT;
    d.SampleDesc = {1, 0};
    d.BindFlags = D3D10_BIND_SHADER_RESOURCE;
    d.MiscFlags = D3D10_RESOURCE_MISC_TEXTURECUBE;
    ID3D10Texture2D* cube = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture2D(&d, nullptr, &cube));
    D3D10_TEXTURE2D_DESC out;
    cube->GetDesc(&out);
    EXPECT_EQ(5u, out.MipLevels);
    ID3D10ShaderResourceView* view = Srv(cube);
    D3D10_SHADER_RESOURCE_VIEW_DESC vd;
    view->GetDesc(&vd);
    EXPECT_EQ(D3D10_SRV_DIMENSION_TEXTURECUBE, vd.ViewDimension);
    unsigned int target = 0;
    EXPECT_NE(0u, D3D10GL_TextureName(view, &target));
    EXPECT_EQ(unsigned(GL_TEXTURE_CUBE_MAP), target);
    view->Release();
    cube->Release();
}
