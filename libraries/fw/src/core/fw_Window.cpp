#include "fw_Window.h"

#include "platform/d3dx10.h"

#include <boost/filesystem.hpp>

#include "fw_Framework.h"
#include "fw_LibraryLoader.h"
#include "fw_Log.h"
#include "fw_Mouse.h"
#include "fw_PostEffects.h"
#include "fw_Release.h"
#include "fw_DebugCamera.h"
#include "fw_Scene.h"
#include "fw_Texture.h"
#include "fw_Timer.h"
#include "platform/d3dx10.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU;
constexpr UINT kStereoNotification = 3000;

HMODULE LoadThroughLibraryLoader(const char* name) {
    return fw_LibraryCache::Load(name);
}

bool FinalMarkerExists() {
    boost::system::error_code error;
    return boost::filesystem::exists(fw_Framework::MakeFinalMarkerPath(), error);
}

}  // namespace

fw_DevicePlatform fw_DefaultDevicePlatform() {
    return {D3D10CreateDeviceAndSwapChain, LoadThroughLibraryLoader};
}

fw_DevicePlatform& fw_GetDevicePlatform() {
    static fw_DevicePlatform platform = fw_DefaultDevicePlatform();
    return platform;
}

HRESULT fw_Framework::CreateAppWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(102));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(102));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = "FrameworkWindowClass";
    if (!RegisterClassExA(&windowClass)) {
        fw_Log::Alertf("RegisterClassEx() failed");
        return E_FAIL;
    }
    RECT rect = {0, 0, mWindowWidth, mWindowHeight};
    AdjustWindowRect(&rect, kWindowStyle, FALSE);
    mWindow = CreateWindowExA(0, "FrameworkWindowClass", mTitle.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    if (!mWindow) {
        fw_Log::Alertf("CreateWindow() failed");
        return E_FAIL;
    }
    ShowWindow(mWindow, showCommand);
    if (mFullscreen)
        ShowCursor(FALSE);
    return S_OK;
}

int32_t fw_Framework::ScaledLength(int32_t length) {
    return static_cast<int32_t>(double(length) * double(mScale));
}

void fw_Framework::ComputeRenderSize(bool finalMarker) {
    if (!mFullscreen || finalMarker) {
        mRenderWidth = ScaledLength(mWindowWidth);
        mRenderHeight = ScaledLength(mWindowHeight);
    } else {
        mRenderWidth = mDisplayWidth;
        mRenderHeight = mDisplayHeight;
    }
    // No zero size (a zero scale, a display without a size): the window size instead.
    if (mRenderWidth <= 0 || mRenderHeight <= 0) {
        mRenderWidth = mWindowWidth;
        mRenderHeight = mWindowHeight;
    }
    mLetterbox = false;
    const float pictureAspect = static_cast<float>(double(mRenderWidth) / double(mRenderHeight));
    if (mAspect > 0.0f && mAspect > pictureAspect) {
        const int32_t oldHeight = mRenderHeight;
        mRenderHeight = static_cast<int32_t>(double(mRenderWidth) / double(mAspect));
        mLetterbox = true;
        fw_Log::Write(fw_Log::kPlain,
                      "Resizing backbuffer dimensions: (%d, %d) -> (%d, %d) to obtain an aspet ration of %.5f.   "
                      "Letterbox will be applied.",
                      mRenderWidth, oldHeight, mRenderWidth, mRenderHeight, double(mAspect));
    }
}

DXGI_SWAP_CHAIN_DESC fw_MakeSwapChainDesc() {
    DXGI_SWAP_CHAIN_DESC desc = {};
    desc.BufferDesc.Width = static_cast<UINT>(fw_Framework::GetOutputWidth());
    desc.BufferDesc.Height = static_cast<UINT>(fw_Framework::GetOutputHeight());
    desc.BufferDesc.RefreshRate.Numerator = fw_Framework::mFullscreen ? 0 : static_cast<UINT>(fw_Framework::mDisplayHz);
    desc.BufferDesc.RefreshRate.Denominator = 1;
    desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_SHADER_INPUT | DXGI_USAGE_RENDER_TARGET_OUTPUT | DXGI_USAGE_BACK_BUFFER;
    desc.BufferCount = 2;
    desc.OutputWindow = fw_Framework::mWindow;
    desc.Windowed = fw_Framework::mFullscreen ? FALSE : TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.Flags = 0;
    return desc;
}

HRESULT fw_Framework::CreateDeviceAndSwapChain() {
    ComputeRenderSize(FinalMarkerExists());
    if (mStereoAvailable && !mStereoChosen)
        DisableStereoDriver();

    fw_DevicePlatform& platform = fw_GetDevicePlatform();
    DXGI_SWAP_CHAIN_DESC desc = fw_MakeSwapChainDesc();
    HRESULT hr = platform.createDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, D3D10_SDK_VERSION,
                                                   &desc, &mSwapChain, &mDevice);
    const char* fallback = nullptr;
    if (FAILED(hr)) {
        HMODULE software = platform.loadSoftwareModule("d3d10warp.dll");
        desc = fw_MakeSwapChainDesc();
        hr = platform.createDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, software, 0, D3D10_SDK_VERSION,
                                               &desc, &mSwapChain, &mDevice);
        fallback = "software";
    }
    if (FAILED(hr)) {
        desc = fw_MakeSwapChainDesc();
        hr = platform.createDeviceAndSwapChain(nullptr, D3D10_DRIVER_TYPE_REFERENCE, nullptr, 0, D3D10_SDK_VERSION,
                                               &desc, &mSwapChain, &mDevice);
        fallback = "reference";
    }
    if (FAILED(hr)) {
        mSwapChain = nullptr;
        mDevice = nullptr;
        fw_Log::Alertf("D3D10CreateDeviceAndSwapChain() failed (0x%08x)", static_cast<unsigned>(hr));
        return hr;
    }
    if (fallback)
        fw_Log::Alertf("Device failed to be created on hardware, the application will try to run on %s device.",
                       fallback);

    IDXGIDevice* dxgiDevice = nullptr;
    if (SUCCEEDED(mDevice->QueryInterface(IID_IDXGIDevice, reinterpret_cast<void**>(&dxgiDevice))) && dxgiDevice) {
        IDXGIAdapter* adapter = nullptr;
        if (SUCCEEDED(dxgiDevice->GetAdapter(&adapter)) && adapter) {
            IDXGIFactory* factory = nullptr;
            if (SUCCEEDED(adapter->GetParent(IID_IDXGIFactory, reinterpret_cast<void**>(&factory))) && factory) {
                factory->MakeWindowAssociation(mWindow, DXGI_MWA_NO_WINDOW_CHANGES | DXGI_MWA_NO_ALT_ENTER);
                factory->Release();
            }
            adapter->Release();
        }
        dxgiDevice->Release();
    }
    if (mStereoChosen)
        InitStereoHandle();
    return S_OK;
}

LRESULT CALLBACK fw_Framework::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    fw_Scene* scene = GetCurrentScene();
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            if (mSwapChain) {
                BOOL state = FALSE;
                HRESULT hr = mSwapChain->GetFullscreenState(&state, nullptr);
                if (mVerbose) {
                    if (SUCCEEDED(hr))
                        fw_Log::Write(fw_Log::kPlain, "WM_SIZE: mFullscreen: %d, mSwapChain->GetFullscreenState(): %d.",
                                      mFullscreen ? 1 : 0, state ? 1 : 0);
                    else
                        fw_Log::Write(fw_Log::kPlain,
                                      "WM_SIZE:  mSwapChain->GetFullscreenState() failed with return code 0x%08x",
                                      static_cast<unsigned>(hr));
                }
            }
            return 0;
        case WM_SETFOCUS:
            if (mVerbose)
                fw_Log::Write(fw_Log::kPlain, "WM_SETFOCUS: Window found focus.");
            return 0;
        case WM_KILLFOCUS:
            if (mVerbose)
                fw_Log::Write(fw_Log::kPlain, "WM_KILLFOCUS: Window lost focus.");
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE)
                PostQuitMessage(0);
            if (scene)
                scene->OnKeyDown(static_cast<uint32_t>(wParam), GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0);
            return 0;
        case WM_MOUSEMOVE:
            if (mMouse) {
                SetMouseButtons((wParam & MK_LBUTTON) != 0, (wParam & MK_MBUTTON) != 0, (wParam & MK_RBUTTON) != 0);
                const int x = GET_X_LPARAM(lParam);
                const int y = GET_Y_LPARAM(lParam);
                SetMousePosition(x, y);
                if (scene)
                    scene->OnMouseMove(x, y);
            }
            return 0;
        case WM_LBUTTONDOWN:
            SetCapture(window);
            if (scene)
                scene->OnLeftButtonDown();
            return 0;
        case WM_LBUTTONUP:
            ReleaseCapture();
            if (scene)
                scene->OnLeftButtonUp();
            return 0;
        case WM_LBUTTONDBLCLK:
            if (scene && mPickEnabled && scene->GetDebugCamera() && scene->GetDebugCamera()->IsEnabled()) {
                mPickRequest = true;
                mPickX = LOWORD(lParam);
                mPickY = HIWORD(lParam);
            }
            return 0;
        case WM_RBUTTONUP:
            if (mMouse)
                SetMouseButtons((wParam & MK_LBUTTON) != 0, (wParam & MK_MBUTTON) != 0, (wParam & MK_RBUTTON) != 0);
            return 0;
        case WM_ENTERSIZEMOVE:
            if (mDemoTimer) {
                mClockRanBeforeMove = !mDemoTimer->IsPaused();
                if (mClockRanBeforeMove)
                    mDemoTimer->Pause();
            }
            return 0;
        case WM_EXITSIZEMOVE:
            if (mDemoTimer && mClockRanBeforeMove)
                mDemoTimer->Resume();
            return 0;
        case kStereoNotification:
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

int fw_Framework::LetterboxBarHeight() {
    if (!mLetterbox || mRenderWidth <= 0)
        return 0;
    const int64_t outputWidth = GetOutputWidth();
    const int64_t outputHeight = GetOutputHeight();
    int64_t bar = (outputHeight - outputWidth * mRenderHeight / mRenderWidth) / 2;
    if (bar < 0)
        bar = 0;
    if (bar > outputHeight / 2)
        bar = outputHeight / 2;
    return static_cast<int>(bar);
}

HRESULT fw_Framework::Present() {
    if (GetOutputWidth() != mRenderWidth || GetOutputHeight() != mRenderHeight) {
        fw_Texture* source = gFramework ? gFramework->FindTexture("backbuffer") : nullptr;
        if (mPostEffects && source && mSwapChainTexture && source != mSwapChainTexture)
            mPostEffects->HighQualityDownScale(source, LetterboxBarHeight());
    }
    _ReenterFullscreenIfRequired();
    return mSwapChain ? mSwapChain->Present(1, 0) : E_FAIL;
}

void fw_Framework::_ReenterFullscreenIfRequired() {
    if (!mSwapChain || !mFullscreen)
        return;
    BOOL state = FALSE;
    mSwapChain->GetFullscreenState(&state, nullptr);
    if (state)
        return;
    if (mVerbose)
        fw_Log::Write(fw_Log::kPlain,
                      "_ReenterFullscreenIfRequired(): Internal fullscreen state inconsistency.  "
                      "mSwapChain->GetFullscreenState(): %d, fw_Framework::mFullscreen: %d, ",
                      0, 1);
    // Bounded per frame: a swap chain that keeps refusing is tried again next frame.
    int attempts = 0;
    bool succeeded = false;
    while (attempts < kMaxFullscreenAttempts && !succeeded) {
        ++attempts;
        SetFocus(mWindow);
        succeeded = SUCCEEDED(mSwapChain->SetFullscreenState(TRUE, nullptr));
    }
    if (mVerbose && succeeded)
        fw_Log::Write(fw_Log::kPlain,
                      "_ReenterFullscreenIfRequired(): Succeeded setting fullscreen state on swap chain after %d "
                      "attempt%s.",
                      attempts, attempts > 1 ? "s" : "");
}

void fw_Framework::ReleaseDevice() {
    if (mSwapChain) {
        BOOL state = FALSE;
        if (SUCCEEDED(mSwapChain->GetFullscreenState(&state, nullptr)) && state)
            mSwapChain->SetFullscreenState(FALSE, nullptr);
    }
    if (gFramework)
        gFramework->ReleaseResources();
    if (mCudaUsed)
        CudaShutdown();
    if (mDevice)
        mDevice->ClearState();
    SafeRelease(mSwapChain);
    SafeRelease(mDevice);
    DestroyStereoHandle();
}

void fw_Framework::ToggleFullscreen() {
    mFullscreen = !mFullscreen;
    ReleaseDevice();
    if (SUCCEEDED(CreateDeviceAndSwapChain()))
        LoadResources();
}
