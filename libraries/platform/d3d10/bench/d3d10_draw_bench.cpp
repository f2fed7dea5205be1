// Draw-call overhead of the layer against the same draws issued as raw GL, on the software
// device: 10,000 tiny triangles per iteration, switching vertex buffer and blend state on
// every draw.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <vector>
#include <cstdlib>

#include "d3d10_read_back.h"
#include "platform/d3d10.h"
#include "platform/d3d10_gl.h"

namespace {

constexpr int kDraws = 10000;

const char* kVS = R"(#version 330 core
layout(location = 0) in vec2 position;
void main() { gl_Position = vec4(position, 0.5, 1.0); }
)";
const char* kFS = R"(#version 330 core
layout(location = 0) out vec4 color;
void main() { color = vec4(0.1, 0.2, 0.3, 0.5); }
)";

struct Scene {
    ID3D10Device* device = nullptr;
    GLuint program = 0;
    ID3D10Buffer* buffers[2] = {};
    ID3D10BlendState* blends[2] = {};
    ID3D10InputLayout* layout = nullptr;
    ID3D10Texture2D* target = nullptr;
    ID3D10RenderTargetView* rtv = nullptr;
    // Raw GL objects for the same draws.
    GLuint glBuffers[2] = {};
    GLuint vao = 0, fbo = 0, texture = 0;

    Scene() {
        static int module;
        if (FAILED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&module), 0,
                                     D3D10_SDK_VERSION, &device))) {
            std::fprintf(stderr, "no software device\n");
            std::exit(1);
        }
        D3D10GL_MakeCurrent(device);
        auto shader = [](GLenum type, const char* src) {
            GLuint s = glCreateShader(type);
            glShaderSource(s, 1, &src, nullptr);
            glCompileShader(s);
            return s;
        };
        program = glCreateProgram();
        glAttachShader(program, shader(GL_VERTEX_SHADER, kVS));
        glAttachShader(program, shader(GL_FRAGMENT_SHADER, kFS));
        glLinkProgram(program);
        // Two tiny triangles a pixel or so in size, in two buffers.
        const float tri[2][6] = {{-0.5f, -0.5f, -0.5f, -0.45f, -0.45f, -0.5f}, {0.5f, 0.5f, 0.5f, 0.55f, 0.55f, 0.5f}};
        for (int i = 0; i < 2; ++i) {
            D3D10_BUFFER_DESC d{sizeof(tri[i]), D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0, 0};
            D3D10_SUBRESOURCE_DATA init{tri[i], 0, 0};
            device->CreateBuffer(&d, &init, &buffers[i]);
        }
        D3D10_BLEND_DESC b{};
        b.SrcBlend = b.SrcBlendAlpha = D3D10_BLEND_ONE;
        b.DestBlend = b.DestBlendAlpha = D3D10_BLEND_ZERO;
        b.BlendOp = b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
        for (auto& m : b.RenderTargetWriteMask)
            m = D3D10_COLOR_WRITE_ENABLE_ALL;
        if (FAILED(device->CreateBlendState(&b, &blends[0])))
            std::exit(1);
        for (auto& e : b.BlendEnable)
            e = TRUE;
        b.SrcBlend = D3D10_BLEND_SRC_ALPHA;
        b.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
        if (FAILED(device->CreateBlendState(&b, &blends[1])))
            std::exit(1);
        D3D10GL_SignatureElement sig{};
        std::snprintf(sig.semanticName, sizeof(sig.semanticName), "POSITION");
        sig.componentCount = 2;
        std::vector<BYTE> blob = D3D10GL_EncodeSignature(&sig, 1);
        const D3D10_INPUT_ELEMENT_DESC e{"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0};
        device->CreateInputLayout(&e, 1, blob.data(), blob.size(), &layout);
        D3D10_TEXTURE2D_DESC td{
            64, 64, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D10_USAGE_DEFAULT, D3D10_BIND_RENDER_TARGET, 0, 0};
        device->CreateTexture2D(&td, nullptr, &target);
        device->CreateRenderTargetView(target, nullptr, &rtv);

        D3D10GL_MakeCurrent(device);
        glGenVertexArrays(1, &vao);
        glGenBuffers(2, glBuffers);
        for (int i = 0; i < 2; ++i) {
            glBindBuffer(GL_ARRAY_BUFFER, glBuffers[i]);
            glBufferData(GL_ARRAY_BUFFER, sizeof(tri[i]), tri[i], GL_STATIC_DRAW);
        }
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, texture, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        D3D10GL_InvalidateState(device);
    }
};

Scene& GetScene() {
    // llvmpipe allocates and frees large blocks on state changes; without these the
    // allocator trims and regrows the heap on every draw, which swamps what is measured.
    static const bool tuned = (mallopt(M_TRIM_THRESHOLD, 256 << 20), mallopt(M_MMAP_THRESHOLD, 256 << 20), true);
    (void)tuned;
    static Scene scene;
    return scene;
}

// Texels of the layer's target that a draw reached.
double CountDrawn(ID3D10Texture2D* target) {
    d3d10test::TextureCopy copy;
    d3d10test::ReadTexture(target, copy);
    int n = 0;
    for (UINT y = 0; y < copy.desc.Height; ++y)
        for (UINT x = 0; x < copy.desc.Width; ++x) {
            uint32_t texel;
            std::memcpy(&texel, copy.Row(y) + x * 4, 4);
            n += texel != 0;
        }
    return n;
}

void BM_LayerDraws(benchmark::State& state) {
    Scene& s = GetScene();
    ID3D10Device* d = s.device;
    D3D10GL_InvalidateState(d);
    d->OMSetRenderTargets(1, &s.rtv, nullptr);
    D3D10_VIEWPORT vp{0, 0, 64, 64, 0, 1};
    d->RSSetViewports(1, &vp);
    d->IASetInputLayout(s.layout);
    d->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    D3D10GL_SetProgram(d, s.program);
    const UINT stride = 8, offset = 0;
    auto draws = [&](int count) {
        for (int i = 0; i < count; ++i) {
            d->IASetVertexBuffers(0, 1, &s.buffers[i & 1], &stride, &offset);
            d->OMSetBlendState(s.blends[i & 1], nullptr, 0xffffffff);
            d->Draw(3, 0);
        }
        glFinish();
    };
    draws(200);  // warm-up: the rasteriser compiles its variants
    for (auto _ : state)
        draws(kDraws);
    state.counters["draws_per_second"] =
        benchmark::Counter(double(kDraws) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["drawn_pixels"] = CountDrawn(s.target);
}
BENCHMARK(BM_LayerDraws)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RawGLDraws(benchmark::State& state) {
    Scene& s = GetScene();
    D3D10GL_MakeCurrent(s.device);
    glBindVertexArray(s.vao);
    glBindFramebuffer(GL_FRAMEBUFFER, s.fbo);
    glViewport(0, 0, 64, 64);
    glUseProgram(s.program);
    glEnableVertexAttribArray(0);
    // The fixed state the layer sets once for these draws (Direct3D defaults).
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_SCISSOR_TEST);
    auto draws = [&](int count) {
        for (int i = 0; i < count; ++i) {
            glBindBuffer(GL_ARRAY_BUFFER, s.glBuffers[i & 1]);
            glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
            if (i & 1) {
                glEnable(GL_BLEND);
                glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ZERO);
            } else {
                glDisable(GL_BLEND);
                glBlendFuncSeparate(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
            }
            glDrawArrays(GL_TRIANGLES, 0, 3);
        }
        glFinish();
    };
    draws(200);  // warm-up: the rasteriser compiles its variants
    for (auto _ : state)
        draws(kDraws);
    D3D10GL_InvalidateState(s.device);
    state.counters["draws_per_second"] =
        benchmark::Counter(double(kDraws) * state.iterations(), benchmark::Counter::kIsRate);
    D3D10GL_MakeCurrent(s.device);
    std::vector<uint32_t> px(64 * 64);
    glBindTexture(GL_TEXTURE_2D, s.texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    D3D10GL_InvalidateState(s.device);
    state.counters["drawn_pixels"] = double(std::count_if(px.begin(), px.end(), [](uint32_t v) { return v != 0; }));
}
BENCHMARK(BM_RawGLDraws)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
