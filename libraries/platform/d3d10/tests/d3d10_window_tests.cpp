// The device and swap chain on a window of the Windows layer, created the way the framework
// does: the driver types in order, the software one with the module "d3d10warp.dll".
#include "d3d10_test_util.h"
#include "platform/win32.h"

using namespace d3d10test;

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(WindowSwapChain, FrameworkDriverOrderEndsWithAPresentableSwapChain) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Procedure;
    wc.lpszClassName = "D3D10WindowTest";
    ASSERT_NE(0, RegisterClassExA(&wc));
    HWND window = CreateWindowExA(0, "D3D10WindowTest", "d3d10", WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                                  96, 48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_SHOWNORMAL);
    RECT client{};
    GetClientRect(window, &client);

    DXGI_SWAP_CHAIN_DESC desc{};
    desc.BufferDesc = {UINT(client.right),
                       UINT(client.bottom),
                       {60, 1},
                       DXGI_FORMAT_R8G8B8A8_UNORM,
                       DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                       DXGI_MODE_SCALING_UNSPECIFIED};
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = 0x70;
    desc.BufferCount = 2;
    desc.OutputWindow = window;
    desc.Windowed = TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    IDXGISwapChain* chain = nullptr;
    ID3D10Device* device = nullptr;
    HRESULT hr = D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION,
                                               &desc, &chain, &device);
    if (FAILED(hr)) {
        EXPECT_EQ(nullptr, chain);
        EXPECT_EQ(nullptr, device);
        HMODULE warp = LoadLibraryA("d3d10warp.dll");
        ASSERT_NE(nullptr, warp);
        hr = D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, warp, 0, D3D10_SDK_VERSION, &desc,
                                           &chain, &device);
    }
    ASSERT_EQ(S_OK, hr);

    IDXGIDevice* dxgi = nullptr;
    ASSERT_EQ(S_OK, device->QueryInterface(__uuidof(IDXGIDevice), reinterpret_cast<void**>(&dxgi)));
    IDXGIAdapter* adapter = nullptr;
    ASSERT_EQ(S_OK, dxgi->GetAdapter(&adapter));
    IDXGIFactory* factory = nullptr;
    ASSERT_EQ(S_OK, adapter->GetParent(__uuidof(IDXGIFactory), reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->MakeWindowAssociation(window, DXGI_MWA_NO_WINDOW_CHANGES | DXGI_MWA_NO_ALT_ENTER));
    factory->Release();
    adapter->Release();
    dxgi->Release();

    ID3D10Texture2D* buffer = nullptr;
    ASSERT_EQ(S_OK, chain->GetBuffer(0, __uuidof(ID3D10Texture2D), reinterpret_cast<void**>(&buffer)));
    ID3D10RenderTargetView* rtv = nullptr;
    ASSERT_EQ(S_OK, device->CreateRenderTargetView(buffer, nullptr, &rtv));
    const float green[4] = {0, 1, 0, 1};
    device->ClearRenderTargetView(rtv, green);
    EXPECT_EQ(S_OK, chain->Present(1, 0));
    D3D10GL_MakeCurrent(device);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    uint32_t px = 0;
    glReadPixels(client.right / 2, client.bottom / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &px);
    EXPECT_EQ(Rgba(0, 255, 0, 255), px);
    D3D10GL_InvalidateState(device);
    rtv->Release();
    buffer->Release();
    device->ClearState();
    EXPECT_EQ(0u, chain->Release());
    EXPECT_EQ(0u, device->Release());
    DestroyWindow(window);
}

}  // namespace
