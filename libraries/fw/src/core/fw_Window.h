#pragma once
// The seams of window and device creation: the functions through which the framework
// reaches the graphics stand-in, replaceable by tests.

#include <string>

#include "platform/d3d10.h"
#include "platform/dxgi.h"

struct fw_DevicePlatform {
    // The formatter does not settle on one layout of this member.
    // clang-format off
    HRESULT (*createDeviceAndSwapChain)(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE driverType, HMODULE software,
                                        UINT flags, UINT sdkVersion, DXGI_SWAP_CHAIN_DESC* desc,
                                        IDXGISwapChain** swapChain, ID3D10Device** device);
    // clang-format on
    // The software rasteriser's module through the library loader (ends the process when
    // it cannot be loaded).
    HMODULE (*loadSoftwareModule)(const char* name);
};
fw_DevicePlatform& fw_GetDevicePlatform();
fw_DevicePlatform fw_DefaultDevicePlatform();

// The swap-chain description CreateDeviceAndSwapChain asks for.
DXGI_SWAP_CHAIN_DESC fw_MakeSwapChainDesc();
