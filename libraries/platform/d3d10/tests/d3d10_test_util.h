#pragma once
// Shared helpers of the device tests (this library's and the extension library's): a
// software device, GLSL programs with their input signatures, render targets, and read-back
// of textures (d3d10_read_back.h).

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "d3d10_read_back.h"
#include "platform/d3d10.h"
#include "platform/d3d10_gl.h"

namespace d3d10test {

inline HMODULE SoftwareModule() {
    static int marker;
    return reinterpret_cast<HMODULE>(&marker);
}

template <class T>
void SafeRelease(T*& p) {
    if (p)
        p->Release();
    p = nullptr;
}

// A linked program; `attributes` are bound to locations 0, 1, ... in order before linking.
// Adds a failure with the compiler's or linker's log when a step fails.
inline GLuint CompileProgram(ID3D10Device* device, const std::string& vs, const std::string& fs,
                             const std::vector<std::string>& attributes = {}) {
    std::string log;
    const unsigned int v = D3D10GL_CreateShader(device, D3D10GL_SHADER_VERTEX, vs.c_str(), &log);
    EXPECT_NE(v, 0u) << log;
    const unsigned int f = D3D10GL_CreateShader(device, D3D10GL_SHADER_FRAGMENT, fs.c_str(), &log);
    EXPECT_NE(f, 0u) << log;
    std::vector<D3D10GL_AttributeBinding> bindings;
    for (size_t i = 0; i < attributes.size(); ++i)
        bindings.push_back({attributes[i].c_str(), UINT(i)});
    const unsigned int program = D3D10GL_CreateProgram(device, v, f, bindings.data(), UINT(bindings.size()), 0, &log);
    EXPECT_NE(program, 0u) << log;
    D3D10GL_DeleteShader(device, v);
    D3D10GL_DeleteShader(device, f);
    return program;
}

inline D3D10GL_SignatureElement Element(const char* name, UINT index, INT location, UINT type, UINT count) {
    D3D10GL_SignatureElement e{};
    std::strncpy(e.semanticName, name, sizeof(e.semanticName) - 1);
    e.semanticIndex = index;
    e.location = location;
    e.componentType = type;
    e.componentCount = count;
    return e;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0, D3D10_SDK_VERSION,
                                          &device));
        ASSERT_NE(device, nullptr);
    }
    // Nothing but the fixture may hold the device at the end.
    void TearDown() override {
        if (device) {
            EXPECT_EQ(0u, ReleaseDevice());
        }
    }

    // Deletes the programs, releases the owned objects and the fixture's reference to the
    // device; returns the references left.
    ULONG ReleaseDevice() {
        device->ClearState();
        for (GLuint p : programs)
            D3D10GL_DeleteProgram(device, p);
        programs.clear();
        for (IUnknown* o : owned)
            o->Release();
        owned.clear();
        const ULONG left = device->Release();
        device = nullptr;
        return left;
    }

    // Releases the object at TearDown.
    template <class T>
    T* Own(T* object) {
        if (object)
            owned.push_back(object);
        return object;
    }

    // Deleted at TearDown.
    GLuint Program(const std::string& vs, const std::string& fs, const std::vector<std::string>& attributes = {}) {
        GLuint p = CompileProgram(device, vs, fs, attributes);
        programs.push_back(p);
        return p;
    }

    ID3D10Texture2D* Texture(UINT w, UINT h, DXGI_FORMAT format, UINT bind, const void* data = nullptr,
                             UINT pitch = 0) {
        D3D10_TEXTURE2D_DESC d{};
        d.Width = w;
        d.Height = h;
        d.MipLevels = 1;
        d.ArraySize = 1;
        d.Format = format;
        d.SampleDesc = {1, 0};
        d.Usage = D3D10_USAGE_DEFAULT;
        d.BindFlags = bind;
        D3D10_SUBRESOURCE_DATA init{data, pitch, 0};
        ID3D10Texture2D* t = nullptr;
        EXPECT_EQ(S_OK, device->CreateTexture2D(&d, data ? &init : nullptr, &t));
        return t;
    }

    ID3D10RenderTargetView* Rtv(ID3D10Resource* r) {
        ID3D10RenderTargetView* v = nullptr;
        EXPECT_EQ(S_OK, device->CreateRenderTargetView(r, nullptr, &v));
        return v;
    }
    ID3D10ShaderResourceView* Srv(ID3D10Resource* r) {
        ID3D10ShaderResourceView* v = nullptr;
        EXPECT_EQ(S_OK, device->CreateShaderResourceView(r, nullptr, &v));
        return v;
    }

    // A w x h R8G8B8A8_UNORM render target (also a shader resource), cleared and bound alone
    // with a full viewport; texture and view are owned. The view goes to `view` if given.
    ID3D10Texture2D* Target(UINT w, UINT h, const float clear[4], ID3D10RenderTargetView** view = nullptr) {
        ID3D10Texture2D* t =
            Own(Texture(w, h, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE));
        if (!t)
            return nullptr;
        ID3D10RenderTargetView* rtv = Own(Rtv(t));
        if (view)
            *view = rtv;
        device->OMSetRenderTargets(1, &rtv, nullptr);
        device->ClearRenderTargetView(rtv, clear);
        SetViewport(w, h);
        return t;
    }

    ID3D10Buffer* Buffer(UINT bind, const void* data, UINT size) {
        D3D10_BUFFER_DESC d{size, D3D10_USAGE_DEFAULT, bind, 0, 0};
        D3D10_SUBRESOURCE_DATA init{data, 0, 0};
        ID3D10Buffer* b = nullptr;
        EXPECT_EQ(S_OK, device->CreateBuffer(&d, &init, &b));
        return b;
    }

    // The bytes of subresource 0 of a 2D texture, row by row (tight), through a staging copy.
    std::vector<BYTE> ReadBack(ID3D10Texture2D* texture, UINT bytesPerTexel) {
        TextureCopy copy;
        EXPECT_TRUE(ReadTexture(texture, copy));
        const size_t rowBytes = size_t(copy.desc.Width) * bytesPerTexel;
        std::vector<BYTE> out(rowBytes * copy.desc.Height);
        for (UINT y = 0; y < copy.desc.Height; ++y)
            std::memcpy(out.data() + y * rowBytes, copy.Row(y), rowBytes);
        return out;
    }

    std::vector<uint32_t> ReadRGBA8(ID3D10Texture2D* texture) {
        std::vector<BYTE> bytes = ReadBack(texture, 4);
        std::vector<uint32_t> out(bytes.size() / 4);
        std::memcpy(out.data(), bytes.data(), bytes.size());
        return out;
    }

    void SetViewport(UINT w, UINT h, INT x = 0, INT y = 0) {
        D3D10_VIEWPORT vp{x, y, w, h, 0.0f, 1.0f};
        device->RSSetViewports(1, &vp);
    }

    ID3D10Device* device = nullptr;
    std::vector<GLuint> programs;
    std::vector<IUnknown*> owned;
};

// Little-endian RGBA8 as one value: R in the low byte.
constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | (g << 8) | (b << 16) | (a << 24);
}

// A screen-filling quad (triangle list of 6 vertices, two floats each) and the program
// pieces that draw it.
inline const float kQuad[12] = {-1, 1, 1, 1, 1, -1, -1, 1, 1, -1, -1, -1};
inline const char* kQuadVS = R"(#version 330 core
layout(location = 0) in vec2 position;
out vec2 uv;
void main() {
    // uv (0,0) is the top-left corner, as in Direct3D.
    uv = vec2(position.x * 0.5 + 0.5, 0.5 - position.y * 0.5);
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

}  // namespace d3d10test
