// Device and swap chain on the window of a window handle.
#include "d3d10_internal.h"
#include "platform/win32_sdl.h"

HRESULT D3D10CreateDeviceAndSwapChain(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                                      UINT sdkVersion, DXGI_SWAP_CHAIN_DESC* swapChainDesc, IDXGISwapChain** swapChain,
                                      ID3D10Device** device) {
    if (swapChain)
        *swapChain = nullptr;
    if (device)
        *device = nullptr;
    if (adapter || !swapChainDesc || !swapChain)
        return E_INVALIDARG;
    SDL_Window* window = PlatformGetSDLWindow(swapChainDesc->OutputWindow);
    if (!window)
        return DXGI_ERROR_INVALID_CALL;
    ID3D10Device* created = nullptr;
    HRESULT hr = d3d10gl::CreateDeviceForWindow(driverType, software, flags, sdkVersion, window, &created);
    if (FAILED(hr))
        return hr;
    hr = d3d10gl::CreateSwapChainForWindow(created, window, *swapChainDesc, swapChain);
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    if (device)
        *device = created;
    else
        created->Release();
    return S_OK;
}
