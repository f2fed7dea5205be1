// The swap chain on an SDL window: its buffer, the flip at Present, fullscreen state.
// A test-only window map stands in for the Windows layer's handle table.
#include <SDL2/SDL.h>

#include "d3d10_test_util.h"
#include "platform/win32_sdl.h"

using namespace d3d10test;

namespace {

SDL_Window* gWindow = nullptr;
HWND const kHandle = reinterpret_cast<HWND>(0x5150);

}  // namespace

SDL_Window* PlatformGetSDLWindow(HWND window) {
    return window == kHandle ? gWindow : nullptr;
}

namespace {

class SwapChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
        gWindow = SDL_CreateWindow("swap chain test", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL);
        ASSERT_NE(nullptr, gWindow) << SDL_GetError();
        desc = {};
        desc.BufferDesc = {kWidth,
                           kHeight,
                           {60, 1},
                           DXGI_FORMAT_R8G8B8A8_UNORM,
                           DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                           DXGI_MODE_SCALING_UNSPECIFIED};
        desc.SampleDesc = {1, 0};
        desc.BufferUsage = DXGI_USAGE_SHADER_INPUT | DXGI_USAGE_RENDER_TARGET_OUTPUT | DXGI_USAGE_BACK_BUFFER;
        desc.BufferCount = 2;
        desc.OutputWindow = kHandle;
        desc.Windowed = TRUE;
        desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    }
    void TearDown() override {
        if (chain) {
            EXPECT_EQ(0u, chain->Release());
        }
        if (device) {
            EXPECT_EQ(0u, device->Release());
        }
        if (gWindow)
            SDL_DestroyWindow(gWindow);
        gWindow = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    static constexpr UINT kWidth = 64, kHeight = 32;
    DXGI_SWAP_CHAIN_DESC desc;
    IDXGISwapChain* chain = nullptr;
    ID3D10Device* device = nullptr;
};

TEST_F(SwapChainTest, BufferIsASampleableTargetAndPresentFlipsItOnce) {
    ASSERT_EQ(S_OK, D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0,
                                                  D3D10_SDK_VERSION, &desc, &chain, &device));
    ID3D10Texture2D* buffer = nullptr;
    ASSERT_EQ(S_OK, chain->GetBuffer(0, __uuidof(ID3D10Texture2D), reinterpret_cast<void**>(&buffer)));
    D3D10_TEXTURE2D_DESC td;
    buffer->GetDesc(&td);
    EXPECT_EQ(kWidth, td.Width);
    EXPECT_EQ(kHeight, td.Height);
    EXPECT_EQ(DXGI_FORMAT_R8G8B8A8_UNORM, td.Format);
    EXPECT_EQ(UINT(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE), td.BindFlags);
    ID3D10RenderTargetView* rtv = nullptr;
    ID3D10ShaderResourceView* srv = nullptr;
    EXPECT_EQ(S_OK, device->CreateRenderTargetView(buffer, nullptr, &rtv));
    EXPECT_EQ(S_OK, device->CreateShaderResourceView(buffer, nullptr, &srv));
    // Top rows red, bottom rows blue (row 0 is the top).
    std::vector<uint32_t> texels(kWidth * kHeight);
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            texels[y * kWidth + x] = y < kHeight / 2 ? Rgba(255, 0, 0, 255) : Rgba(0, 0, 255, 255);
    device->UpdateSubresource(buffer, 0, nullptr, texels.data(), kWidth * 4, 0);
    ASSERT_EQ(S_OK, chain->Present(1, 0));
    // GL's window rows count from the bottom: its last row must show the top of the picture.
    D3D10GL_MakeCurrent(device);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    uint32_t top = 0, bottom = 0;
    glReadPixels(kWidth / 2, kHeight - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &top);
    glReadPixels(kWidth / 2, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &bottom);
    EXPECT_EQ(Rgba(255, 0, 0, 255), top);
    EXPECT_EQ(Rgba(0, 0, 255, 255), bottom);
    D3D10GL_InvalidateState(device);
    rtv->Release();
    srv->Release();
    buffer->Release();

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(DXGI_ERROR_INVALID_CALL, chain->GetBuffer(1, __uuidof(ID3D10Texture2D), &other));
    EXPECT_EQ(nullptr, other);
    ID3D10Device* owner = nullptr;
    ASSERT_EQ(S_OK, chain->GetDevice(__uuidof(ID3D10Device), reinterpret_cast<void**>(&owner)));
    EXPECT_EQ(device, owner);
    owner->Release();
}

TEST_F(SwapChainTest, FullscreenStateFollowsTheWindow) {
    ASSERT_EQ(S_OK, D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0,
                                                  D3D10_SDK_VERSION, &desc, &chain, &device));
    BOOL fullscreen = TRUE;
    ASSERT_EQ(S_OK, chain->GetFullscreenState(&fullscreen, nullptr));
    EXPECT_FALSE(fullscreen);
    ASSERT_EQ(S_OK, chain->SetFullscreenState(TRUE, nullptr));
    ASSERT_EQ(S_OK, chain->GetFullscreenState(&fullscreen, nullptr));
    EXPECT_TRUE(fullscreen);
    EXPECT_TRUE(SDL_GetWindowFlags(gWindow) & SDL_WINDOW_FULLSCREEN);
    // Present still works at the display size.
    EXPECT_EQ(S_OK, chain->Present(1, 0));
    EXPECT_EQ(S_OK, chain->SetFullscreenState(FALSE, nullptr));
    ASSERT_EQ(S_OK, chain->GetFullscreenState(&fullscreen, nullptr));
    EXPECT_FALSE(fullscreen);
}

TEST_F(SwapChainTest, StartsFullscreenWhenNotWindowed) {
    desc.Windowed = FALSE;
    ASSERT_EQ(S_OK, D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0,
                                                  D3D10_SDK_VERSION, &desc, &chain, &device));
    BOOL fullscreen = FALSE;
    ASSERT_EQ(S_OK, chain->GetFullscreenState(&fullscreen, nullptr));
    EXPECT_TRUE(fullscreen);
    DXGI_SWAP_CHAIN_DESC back{};
    ASSERT_EQ(S_OK, chain->GetDesc(&back));
    EXPECT_FALSE(back.Windowed);
    EXPECT_EQ(kWidth, back.BufferDesc.Width);  // the buffer keeps its size; Present scales it
    EXPECT_EQ(S_OK, chain->SetFullscreenState(FALSE, nullptr));
}

TEST_F(SwapChainTest, BadWindowOrDescriptionFailsWithNullOutputs) {
    desc.OutputWindow = reinterpret_cast<HWND>(0x77);
    chain = reinterpret_cast<IDXGISwapChain*>(1);
    device = reinterpret_cast<ID3D10Device*>(1);
    EXPECT_TRUE(FAILED(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0,
                                                     D3D10_SDK_VERSION, &desc, &chain, &device)));
    EXPECT_EQ(nullptr, chain);
    EXPECT_EQ(nullptr, device);
    desc.OutputWindow = kHandle;
    desc.BufferDesc.Format = DXGI_FORMAT_BC1_UNORM;
    EXPECT_TRUE(FAILED(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0,
                                                     D3D10_SDK_VERSION, &desc, &chain, &device)));
    EXPECT_EQ(nullptr, chain);
    EXPECT_EQ(nullptr, device);
    desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.BufferCount = 0;
    EXPECT_TRUE(FAILED(D3D10CreateDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0,
                                                     D3D10_SDK_VERSION, &desc, &chain, &device)));
    EXPECT_EQ(nullptr, chain);
    EXPECT_EQ(nullptr, device);
}

}  // namespace
