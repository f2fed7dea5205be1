#pragma once
// A software device for the extension library's device tests, with render targets and
// read-back through staging copies.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d10.h"
#include "platform/d3d10_gl.h"

namespace d3dx10test {

class DeviceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static int marker;
        ASSERT_EQ(S_OK, D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0,
                                          D3D10_SDK_VERSION, &device));
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override {
        if (!device)
            return;
        device->ClearState();
        D3D10GL_MakeCurrent(device);
        for (GLuint p : programs)
            glDeleteProgram(p);
        for (IUnknown* o : owned)
            o->Release();
        device->Release();
    }

    template <class T> T* Own(T* object) {
        if (object)
            owned.push_back(object);
        return object;
    }

    GLuint Program(const char* vs, const char* fs, const std::vector<std::string>& attributes) {
        D3D10GL_MakeCurrent(device);
        auto shader = [](GLenum type, const char* src) {
            GLuint s = glCreateShader(type);
            glShaderSource(s, 1, &src, nullptr);
            glCompileShader(s);
            GLint ok = 0;
            glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
            if (!ok) {
                char log[2048];
                glGetShaderInfoLog(s, sizeof(log), nullptr, log);
                ADD_FAILURE() << log;
            }
            return s;
        };
        GLuint p = glCreateProgram();
        GLuint v = shader(GL_VERTEX_SHADER, vs), f = shader(GL_FRAGMENT_SHADER, fs);
        glAttachShader(p, v);
        glAttachShader(p, f);
        for (size_t i = 0; i < attributes.size(); ++i)
            glBindAttribLocation(p, GLuint(i), attributes[i].c_str());
        glLinkProgram(p);
        GLint ok = 0;
        glGetProgramiv(p, GL_LINK_STATUS, &ok);
        EXPECT_TRUE(ok);
        glDeleteShader(v);
        glDeleteShader(f);
        programs.push_back(p);
        return p;
    }

    // A 2D render target of R8G8B8A8_UNORM, bound with a full viewport and cleared.
    ID3D10Texture2D* Target(UINT w, UINT h, const float clear[4]) {
        D3D10_TEXTURE2D_DESC d{};
        d.Width = w;
        d.Height = h;
        d.MipLevels = 1;
        d.ArraySize = 1;
        d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        d.SampleDesc = {1, 0};
        d.Usage = D3D10_USAGE_DEFAULT;
        d.BindFlags = D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE;
        ID3D10Texture2D* t = nullptr;
        EXPECT_EQ(S_OK, device->CreateTexture2D(&d, nullptr, &t));
        if (!t)
            return nullptr;
        Own(t);
        ID3D10RenderTargetView* rtv = nullptr;
        EXPECT_EQ(S_OK, device->CreateRenderTargetView(t, nullptr, &rtv));
        Own(rtv);
        device->OMSetRenderTargets(1, &rtv, nullptr);
        device->ClearRenderTargetView(rtv, clear);
        D3D10_VIEWPORT vp{0, 0, w, h, 0.0f, 1.0f};
        device->RSSetViewports(1, &vp);
        return t;
    }

    // Subresource 0 of an R8G8B8A8 texture, one uint32 a texel (R in the low byte).
    std::vector<uint32_t> ReadRGBA8(ID3D10Texture2D* texture) {
        D3D10_TEXTURE2D_DESC d;
        texture->GetDesc(&d);
        d.MipLevels = 1;
        d.ArraySize = 1;
        d.Usage = D3D10_USAGE_STAGING;
        d.BindFlags = 0;
        d.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
        d.MiscFlags = 0;
        ID3D10Texture2D* staging = nullptr;
        EXPECT_EQ(S_OK, device->CreateTexture2D(&d, nullptr, &staging));
        if (!staging)
            return {};
        device->CopySubresourceRegion(staging, 0, 0, 0, 0, texture, 0, nullptr);
        D3D10_MAPPED_TEXTURE2D mapped{};
        std::vector<uint32_t> out(size_t(d.Width) * d.Height);
        if (SUCCEEDED(staging->Map(0, D3D10_MAP_READ, 0, &mapped)) && mapped.pData) {
            for (UINT y = 0; y < d.Height; ++y)
                std::memcpy(&out[size_t(y) * d.Width], static_cast<BYTE*>(mapped.pData) + size_t(y) * mapped.RowPitch,
                            size_t(d.Width) * 4);
            staging->Unmap(0);
        } else {
            ADD_FAILURE() << "map failed";
        }
        staging->Release();
        return out;
    }

    ID3D10Device* device = nullptr;
    std::vector<GLuint> programs;
    std::vector<IUnknown*> owned;
};

}  // namespace d3dx10test
