// The DXGI objects behind a device, the swap chain, and the interface ids.
#include <SDL2/SDL.h>

#include "d3d10_internal.h"

const IID IID_IDXGIObject = {0xaec22fb8, 0x76f3, 0x4639, {0x9b, 0xe0, 0x28, 0xeb, 0x43, 0xa6, 0x7a, 0x2e}};
const IID IID_IDXGIDeviceSubObject = {0x3d3e0379, 0xf9de, 0x4d58, {0xbb, 0x6c, 0x18, 0xd6, 0x29, 0x92, 0xf1, 0xa6}};
const IID IID_IDXGIAdapter = {0x2411e7e1, 0x12ac, 0x4ccf, {0xbd, 0x14, 0x97, 0x98, 0xe8, 0x53, 0x4d, 0xc0}};
const IID IID_IDXGIDevice = {0x54ec77fa, 0x1377, 0x44e6, {0x8c, 0x32, 0x88, 0xfd, 0x5f, 0x44, 0xc8, 0x4c}};
const IID IID_IDXGIFactory = {0x7b7166ec, 0x21c7, 0x44ae, {0xb2, 0x1a, 0xc9, 0xae, 0x32, 0x1a, 0xe3, 0x69}};
const IID IID_IDXGISwapChain = {0x310d36a0, 0xd2e7, 0x4c0a, {0xaa, 0x04, 0x6a, 0x9d, 0x23, 0xb8, 0x88, 0x6a}};

const IID IID_ID3D10DeviceChild = {0x9b7e4c00, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10Resource = {0x9b7e4c01, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10Buffer = {0x9b7e4c02, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10Texture2D = {0x9b7e4c04, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10Texture3D = {0x9b7e4c05, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10ShaderResourceView = {0x9b7e4c07, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10RenderTargetView = {0x9b7e4c08, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10DepthStencilView = {0x9b7e4c09, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10InputLayout = {0x9b7e4c0b, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10SamplerState = {0x9b7e4c0c, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10Device = {0x9b7e4c0f, 0x342c, 0x4106, {0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0}};
const IID IID_ID3D10View = {0xc902b03f, 0x60a7, 0x49ba, {0x99, 0x36, 0x2a, 0x3a, 0xb3, 0x7a, 0x7e, 0x33}};
const IID IID_ID3D10BlendState = {0xedad8d19, 0x8a35, 0x4d6d, {0x85, 0x66, 0x2e, 0xa2, 0x76, 0xcd, 0xe1, 0x61}};
const IID IID_ID3D10DepthStencilState = {0x2b4b1cc8, 0xa4ad, 0x41f8, {0x83, 0x22, 0xca, 0x86, 0xfc, 0x3e, 0xc6, 0x75}};
const IID IID_ID3D10RasterizerState = {0xa2a07292, 0x89af, 0x4345, {0xbe, 0x2e, 0xc5, 0x3d, 0x9f, 0xbb, 0x6e, 0x9f}};

namespace d3d10gl {

namespace {

// A new T as the interface `riid`: the parent of the object asked.
template <class T>
HRESULT NewParent(REFIID riid, void** parent) {
    if (!parent)
        return DXGI_ERROR_INVALID_CALL;
    *parent = nullptr;
    auto* object = new T();
    const HRESULT hr = object->QueryInterface(riid, parent);
    object->Release();
    return hr;
}

class Factory final : public RefCounted<IDXGIFactory> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        return QueryAs<Factory, IDXGIFactory, IDXGIObject>(this, riid, object);
    }
    HRESULT GetParent(REFIID, void** parent) override {
        if (parent)
            *parent = nullptr;
        return E_NOINTERFACE;
    }
    // The association is kept for GetWindowAssociation; nothing here reacts to Alt+Enter
    // or changes a window on its own, whatever the flags.
    HRESULT MakeWindowAssociation(HWND window, UINT flags) override {
        if (flags & ~DXGI_MWA_VALID)
            return DXGI_ERROR_INVALID_CALL;
        window_ = window;
        return S_OK;
    }
    HRESULT GetWindowAssociation(HWND* window) override {
        if (!window)
            return DXGI_ERROR_INVALID_CALL;
        *window = window_;
        return S_OK;
    }
    HRESULT EnumAdapters(UINT adapter, IDXGIAdapter** out);

private:
    HWND window_ = nullptr;
};

class Adapter final : public RefCounted<IDXGIAdapter> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        return QueryAs<Adapter, IDXGIAdapter, IDXGIObject>(this, riid, object);
    }
    HRESULT GetParent(REFIID riid, void** parent) override { return NewParent<Factory>(riid, parent); }
    HRESULT EnumOutputs(UINT, IDXGIOutput** out) override {
        if (out)
            *out = nullptr;
        return DXGI_ERROR_NOT_FOUND;
    }
};

HRESULT Factory::EnumAdapters(UINT adapter, IDXGIAdapter** out) {
    if (!out)
        return DXGI_ERROR_INVALID_CALL;
    *out = nullptr;
    if (adapter != 0)
        return DXGI_ERROR_NOT_FOUND;
    *out = new Adapter();
    return S_OK;
}

class DxgiDeviceObject final : public RefCounted<IDXGIDevice> {
public:
    explicit DxgiDeviceObject(Device* device) : device_(device) { device_->AddRef(); }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object && riid == __uuidof(ID3D10Device))
            return device_->QueryInterface(riid, object);
        return QueryAs<DxgiDeviceObject, IDXGIDevice, IDXGIObject>(this, riid, object);
    }
    HRESULT GetParent(REFIID riid, void** parent) override { return NewParent<Adapter>(riid, parent); }
    HRESULT GetAdapter(IDXGIAdapter** adapter) override {
        if (!adapter)
            return DXGI_ERROR_INVALID_CALL;
        *adapter = new Adapter();
        return S_OK;
    }

private:
    ~DxgiDeviceObject() override { device_->Release(); }
    Device* device_;
};

}  // namespace

IDXGIDevice* Device::NewDxgiDevice() {
    return new DxgiDeviceObject(this);
}

class SwapChain final : public RefCounted<IDXGISwapChain> {
public:
    SwapChain(Device* device, SDL_Window* window, const DXGI_SWAP_CHAIN_DESC& desc)
        : device_(device), window_(window), desc_(desc) {
        device_->AddRef();
    }
    HRESULT Init() {
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window_, &w, &h);
        if (desc_.BufferDesc.Width == 0)
            desc_.BufferDesc.Width = UINT(std::max(w, 1));
        if (desc_.BufferDesc.Height == 0)
            desc_.BufferDesc.Height = UINT(std::max(h, 1));
        HRESULT hr = MakeBuffer();
        if (FAILED(hr))
            return hr;
        // A refused fullscreen switch leaves a windowed swap chain; the caller sees it in
        // GetFullscreenState and may ask again.
        if (!desc_.Windowed)
            SetFullscreenState(TRUE, nullptr);
        return S_OK;
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        return QueryAs<SwapChain, IDXGISwapChain, IDXGIDeviceSubObject, IDXGIObject>(this, riid, object);
    }
    HRESULT GetParent(REFIID riid, void** parent) override { return NewParent<Factory>(riid, parent); }
    HRESULT GetDevice(REFIID riid, void** device) override {
        if (!device)
            return DXGI_ERROR_INVALID_CALL;
        return device_->QueryInterface(riid, device);
    }
    HRESULT Present(UINT syncInterval, UINT flags) override {
        if (syncInterval > 4)
            return DXGI_ERROR_INVALID_CALL;
        if (flags & DXGI_PRESENT_TEST)
            return S_OK;
        device_->PresentTexture(static_cast<Texture2D*>(buffer_), int(syncInterval));
        return S_OK;
    }
    HRESULT GetBuffer(UINT buffer, REFIID riid, void** surface) override {
        if (!surface)
            return DXGI_ERROR_INVALID_CALL;
        *surface = nullptr;
        // With the discard effect only buffer 0 can be reached.
        if (buffer != 0)
            return DXGI_ERROR_INVALID_CALL;
        return buffer_->QueryInterface(riid, surface);
    }
    HRESULT SetFullscreenState(BOOL fullscreen, IDXGIOutput*) override {
        if (SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0)
            return DXGI_ERROR_NOT_CURRENTLY_AVAILABLE;
        desc_.Windowed = !fullscreen;
        return S_OK;
    }
    HRESULT GetFullscreenState(BOOL* fullscreen, IDXGIOutput** target) override {
        if (fullscreen)
            *fullscreen = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
        if (target)
            *target = nullptr;
        return S_OK;
    }
    HRESULT GetDesc(DXGI_SWAP_CHAIN_DESC* desc) override {
        if (!desc)
            return DXGI_ERROR_INVALID_CALL;
        *desc = desc_;
        desc->Windowed = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) == 0;
        return S_OK;
    }
    HRESULT ResizeBuffers(UINT bufferCount, UINT width, UINT height, DXGI_FORMAT format, UINT flags) override {
        // The buffer must not be held elsewhere.
        buffer_->AddRef();
        if (buffer_->Release() != 1)
            return DXGI_ERROR_INVALID_CALL;
        DXGI_SWAP_CHAIN_DESC old = desc_;
        if (bufferCount)
            desc_.BufferCount = bufferCount;
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window_, &w, &h);
        desc_.BufferDesc.Width = width ? width : UINT(std::max(w, 1));
        desc_.BufferDesc.Height = height ? height : UINT(std::max(h, 1));
        if (format != DXGI_FORMAT_UNKNOWN)
            desc_.BufferDesc.Format = format;
        desc_.Flags = flags;
        ID3D10Texture2D* previous = buffer_;
        buffer_ = nullptr;
        HRESULT hr = MakeBuffer();
        if (FAILED(hr)) {
            desc_ = old;
            buffer_ = previous;
            return hr;
        }
        previous->Release();
        return S_OK;
    }

private:
    ~SwapChain() override {
        if (buffer_)
            buffer_->Release();
        device_->Release();
    }
    HRESULT MakeBuffer() {
        D3D10_TEXTURE2D_DESC t{};
        t.Width = desc_.BufferDesc.Width;
        t.Height = desc_.BufferDesc.Height;
        t.MipLevels = 1;
        t.ArraySize = 1;
        t.Format = desc_.BufferDesc.Format;
        t.SampleDesc = {1, 0};
        t.Usage = D3D10_USAGE_DEFAULT;
        t.BindFlags = D3D10_BIND_RENDER_TARGET;
        if (desc_.BufferUsage & DXGI_USAGE_SHADER_INPUT)
            t.BindFlags |= D3D10_BIND_SHADER_RESOURCE;
        return device_->CreateTexture2D(&t, nullptr, &buffer_);
    }
    Device* device_;
    SDL_Window* window_;
    DXGI_SWAP_CHAIN_DESC desc_;
    ID3D10Texture2D* buffer_ = nullptr;
};

HRESULT CreateSwapChainForWindow(ID3D10Device* device, SDL_Window* window, const DXGI_SWAP_CHAIN_DESC& desc,
                                 IDXGISwapChain** swapChain) {
    if (swapChain)
        *swapChain = nullptr;
    if (!device || !window || !swapChain)
        return DXGI_ERROR_INVALID_CALL;
    if (desc.BufferCount == 0 || desc.BufferCount > 16 || desc.SampleDesc.Count != 1 || desc.SampleDesc.Quality != 0 ||
        !(desc.BufferUsage & DXGI_USAGE_RENDER_TARGET_OUTPUT) ||
        (desc.SwapEffect != DXGI_SWAP_EFFECT_DISCARD && desc.SwapEffect != DXGI_SWAP_EFFECT_SEQUENTIAL))
        return DXGI_ERROR_INVALID_CALL;
    const FormatInfo* f = FindFormat(desc.BufferDesc.Format);
    if (!f || !f->renderable)
        return DXGI_ERROR_INVALID_CALL;
    auto* chain = new SwapChain(ToDevice(device), window, desc);
    HRESULT hr = chain->Init();
    if (FAILED(hr)) {
        chain->Release();
        return hr;
    }
    *swapChain = chain;
    return S_OK;
}

}  // namespace d3d10gl
