// Compiling the effects of a production at start: ten effect files of realistic size (shared
// pool include, samplers and states, helper functions, several techniques of one or two passes)
// compiled as children of the pool. Each iteration varies the text so that no shader cache helps.
// Then the cost of a pass's Apply and draw on a tiny target, alternating a pass that reads a
// constant buffer with one that does not, both sampling a texture.

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/d3d10.h"
#include "platform/d3dx10effect.h"

namespace {

// The software rasteriser (llvmpipe) is asked for with any module handle.
HMODULE SoftwareModule() {
    static int marker;
    return reinterpret_cast<HMODULE>(&marker);
}

const char* kGlobals = R"(
#ifndef GLOBALS_FXI
#define GLOBALS_FXI
uniform mat4 World;
uniform mat4 View;
uniform mat4 ViewProjection;
uniform mat4 World_BackInTime;
uniform mat4 View_BackInTime;
uniform mat4 ViewProjection_BackInTime;
uniform mat4 ViewInverse;
uniform vec4 EyePositionWorld;
uniform vec4 EyePositionLocal;
uniform vec4 StereoConstants;
uniform vec4 NearXYZFarZ;
uniform vec4 RenderDim;
uniform float Time;
uniform vec4 LightPositionWorld;
uniform mat4 LightViewProjection;
uniform vec4 Ambient;
uniform vec4 Diffuse;
uniform vec4 Specular;
uniform float SpecularPower;
sampler_state LinearWrap { Filter = MIN_MAG_MIP_LINEAR; AddressU = WRAP; AddressV = WRAP; AddressW = WRAP; };
sampler_state LinearClamp { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; };
sampler_state PointClamp { Filter = MIN_MAG_MIP_POINT; AddressU = CLAMP; AddressV = CLAMP; };
uniform sampler3D gNoiseTexture : LinearWrap;
uniform sampler2D MeshTextures[4] : LinearWrap;
blend_state NoBlend { BlendEnable[0] = FALSE; };
blend_state AddBlend { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; };
blend_state AlphaBlend { BlendEnable[0] = TRUE; SrcBlend = SRC_ALPHA; DestBlend = INV_SRC_ALPHA; };
depth_stencil_state DepthOn { DepthEnable = TRUE; DepthWriteMask = ALL; DepthFunc = LESS_EQUAL; };
depth_stencil_state DepthOff { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state CullBack { CullMode = BACK; };
rasterizer_state CullNone { CullMode = NONE; };
#endif
)";

// One effect: a mesh technique, full-screen passes and a particle technique.
std::string EffectSource(int index, int variant, int techniques) {
    std::string n = std::to_string(index);
    std::string s = "#include \"globals.fxi\"\n";
    s += "const float kVariant = " + std::to_string(variant) + ".0;\n";
    s += "uniform sampler2D texView1 : LinearClamp;\nuniform sampler2D texView2 : LinearClamp;\n";
    s += "uniform sampler2D texView3 : PointClamp;\nuniform samplerCube gLightProbeTex : LinearClamp;\n";
    s += "uniform vec4 gPixelDimInv = vec4(0.001, 0.001, 0, 0);\nuniform float gFade = 1.0;\n";
    s += "uniform vec4 gColorExponents = vec4(1, 1, 1, 1);\nuniform float gGlitch;\nuniform vec4 gData" + n + "[8];\n";
    s += R"(
vec3 Tonemap(vec3 c) { c = max(c, vec3(0.0)); return c / (1.0 + c); }
float Luminance(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }
vec3 Grade(vec3 c) { return pow(max(c, vec3(0.0)), gColorExponents.xyz) * gColorExponents.w * gFade; }
float Noise(vec3 p) { return texture(gNoiseTexture, p * 0.05 + vec3(Time * 0.01)).r; }
vec4 Blur5(sampler2D t, vec2 uv, vec2 dir) {
    vec4 c = texture(t, uv) * 0.375;
    c += texture(t, uv + dir * gPixelDimInv.xy) * 0.25;
    c += texture(t, uv - dir * gPixelDimInv.xy) * 0.25;
    c += texture(t, uv + 2.0 * dir * gPixelDimInv.xy) * 0.0625;
    c += texture(t, uv - 2.0 * dir * gPixelDimInv.xy) * 0.0625;
    return c;
}
vec3 Lighting(vec3 n, vec3 worldPos, vec3 albedo) {
    vec3 l = normalize(LightPositionWorld.xyz - worldPos);
    vec3 v = normalize(EyePositionWorld.xyz - worldPos);
    vec3 h = normalize(l + v);
    float diff = max(dot(n, l), 0.0);
    float spec = pow(max(dot(n, h), 0.0), SpecularPower);
    vec3 env = texture(gLightProbeTex, reflect(-v, n)).rgb;
    return albedo * (Ambient.rgb + Diffuse.rgb * diff) + Specular.rgb * spec + env * 0.1;
}
void QuadVS(in vec3 pos : POSITION, out vec4 hpos : SV_Position, out vec2 uv : TEXCOORD0) {
    hpos = vec4(pos, 1.0);
    uv = vec2(pos.x, -pos.y) * 0.5 + 0.5;
}
void MeshVS(in vec4 pos : POSITION, in vec4 normal : NORMAL, in vec2 tex : TEXCOORD0,
            out vec4 hpos : SV_Position, out vec3 wpos : TEXCOORD1, out vec3 wnormal : TEXCOORD2,
            out vec2 uv : TEXCOORD0, out vec4 prev : TEXCOORD3) {
    vec4 w = World * vec4(pos.xyz, 1.0);
    wpos = w.xyz;
    wnormal = normalize((World * vec4(normal.xyz, 0.0)).xyz);
    uv = tex;
    hpos = ViewProjection * w;
    prev = ViewProjection_BackInTime * (World_BackInTime * vec4(pos.xyz, 1.0));
}
void MeshPS(in vec3 wpos : TEXCOORD1, in vec3 wnormal : TEXCOORD2, in vec2 uv : TEXCOORD0,
            in vec4 prev : TEXCOORD3, out vec4 color : SV_Target0, out vec4 velocity : SV_Target1) {
    vec3 albedo = texture(MeshTextures[0], uv).rgb * texture(MeshTextures[1], uv * 4.0).r;
    color = vec4(Tonemap(Lighting(normalize(wnormal), wpos, albedo)), 1.0);
    velocity = vec4(prev.xy / max(prev.w, 0.0001), 0.0, 1.0);
}
void DepthPS(in vec3 wpos : TEXCOORD1, in vec3 wnormal : TEXCOORD2, in vec2 uv : TEXCOORD0,
             in vec4 prev : TEXCOORD3, out vec4 moments : SV_Target0) {
    float d = length(wpos - LightPositionWorld.xyz) / NearXYZFarZ.w;
    moments = vec4(d, d * d, 0.0, 1.0);
}
void ParticleVS(in vec2 seed : POSITION, in int id : SV_VertexID, out vec4 hpos : SV_Position,
                out vec2 uv : TEXCOORD0, out float alpha : TEXCOORD1) {
    vec2 corner = vec2(float(id % 3 == 1), float(id % 3 == 2));
    vec3 p = vec3(seed * 10.0, Noise(vec3(seed, Time)) * 5.0);
    hpos = ViewProjection * vec4(p + (ViewInverse * vec4(corner - 0.5, 0.0, 0.0)).xyz * 0.1, 1.0);
    uv = corner;
    alpha = 0.5 + 0.5 * sin(Time + seed.x);
}
void ParticlePS(in vec2 uv : TEXCOORD0, in float alpha : TEXCOORD1, out vec4 color : SV_Target0) {
    float r = length(uv - 0.5) * 2.0;
    color = vec4(Grade(vec3(1.0, 0.9, 0.8)), alpha * (1.0 - smoothstep(0.8, 1.0, r)));
}
)";
    const char* passes[] = {"Copy", "BlurH", "BlurV", "Bright", "Vignette", "Glitch"};
    for (int t = 0; t < techniques; ++t) {
        std::string name = std::string(passes[t % 6]) + std::to_string(t);
        std::string body;
        switch (t % 6) {
            case 0:
                body = "c = texture(texView1, uv);";
                break;
            case 1:
                body = "c = Blur5(texView1, uv, vec2(1.0, 0.0));";
                break;
            case 2:
                body = "c = Blur5(texView1, uv, vec2(0.0, 1.0));";
                break;
            case 3:
                body = "vec4 s = texture(texView1, uv); c = s * step(1.0, Luminance(s.rgb));";
                break;
            case 4:
                body =
                    "vec2 d = uv - 0.5; vec3 g = Grade(texture(texView1, uv).rgb); "
                    "c = vec4(g * (1.0 - dot(d, d) * 1.5) + gData" +
                    n + "[3].rgb * 0.0, 1.0);";
                break;
            default:
                body =
                    "vec2 o = vec2(gGlitch * Noise(vec3(uv * 40.0, Time)), 0.0); "
                    "c = vec4(texture(texView1, uv + o).r, texture(texView2, uv).g, texture(texView3, uv - o).b, 1.0);";
        }
        s += "void " + name + "PS(in vec2 uv : TEXCOORD0, out vec4 c : SV_Target0) {\n    " + body +
             "\n    c.rgb += vec3(kVariant * 0.0);\n}\n";
        s += "technique " + name + " { pass P0 { VertexShader = QuadVS; PixelShader = " + name +
             "PS; BlendState = NoBlend; DepthStencilState = DepthOff; RasterizerState = CullNone; } }\n";
    }
    s += R"(
technique Mesh {
    pass P0 { VertexShader = MeshVS; PixelShader = MeshPS; BlendState = NoBlend; DepthStencilState = DepthOn; RasterizerState = CullBack; }
}
technique Depth {
    pass P0 { VertexShader = MeshVS; PixelShader = DepthPS; BlendState = NoBlend; DepthStencilState = DepthOn; RasterizerState = CullNone; }
}
technique Particles {
    pass P0 { VertexShader = ParticleVS; PixelShader = ParticlePS; BlendState = AlphaBlend; DepthStencilState = DepthOff; }
    pass P1 { VertexShader = ParticleVS; PixelShader = ParticlePS; BlendState = AddBlend; DepthStencilState = DepthOff; }
}
)";
    return s;
}

struct Setup {
    ID3D10Device* dev = nullptr;
    std::string dir;
    Setup() {
        if (FAILED(
                D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0, D3D10_SDK_VERSION, &dev)))
            dev = nullptr;
        char tmpl[] = "/tmp/fxbenchXXXXXX";
        if (mkdtemp(tmpl))
            dir = tmpl;
        std::ofstream(dir + "/globals.fxi") << kGlobals;
    }
    ~Setup() {
        if (dev)
            dev->Release();
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }
};

void BM_CompileTenEffects(benchmark::State& state) {
    static Setup setup;
    if (!setup.dev || setup.dir.empty()) {
        state.SkipWithError("no device");
        return;
    }
    int variant = 0;
    size_t bytes = 0, programs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++variant;
        std::vector<std::string> files;
        bytes = 0;
        for (int i = 0; i < 10; ++i) {
            std::string path = setup.dir + "/effect" + std::to_string(i) + ".fx";
            std::string text = EffectSource(i, variant, 3 + i % 4);
            bytes += text.size();
            std::ofstream(path) << text;
            files.push_back(path);
        }
        state.ResumeTiming();
        ID3D10EffectPool* pool = nullptr;
        if (FAILED(D3DX10CreateEffectPoolFromFileA((setup.dir + "/globals.fxi").c_str(), nullptr, nullptr, "fx_4_0",
                                                   D3D10_SHADER_ENABLE_STRICTNESS, 0, setup.dev, nullptr, &pool,
                                                   nullptr, nullptr))) {
            state.SkipWithError("pool failed");
            return;
        }
        std::vector<ID3D10Effect*> effects;
        programs = 0;
        for (const auto& f : files) {
            ID3D10Effect* e = nullptr;
            ID3D10Blob* errors = nullptr;
            if (FAILED(D3DX10CreateEffectFromFileA(f.c_str(), nullptr, nullptr, "fx_4_0",
                                                   D3D10_SHADER_ENABLE_STRICTNESS, D3D10_EFFECT_COMPILE_CHILD_EFFECT,
                                                   setup.dev, pool, nullptr, &e, &errors, nullptr))) {
                std::fprintf(stderr, "%s\n", errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
                state.SkipWithError("compile failed");
                return;
            }
            D3D10_EFFECT_DESC d{};
            e->GetDesc(&d);
            for (UINT t = 0; t < d.Techniques; ++t) {
                D3D10_TECHNIQUE_DESC td{};
                e->GetTechniqueByIndex(t)->GetDesc(&td);
                programs += td.Passes;
            }
            effects.push_back(e);
        }
        state.PauseTiming();
        for (auto* e : effects)
            e->Release();
        pool->Release();
        state.ResumeTiming();
    }
    state.counters["source_bytes"] = double(bytes);
    state.counters["passes"] = double(programs);
}
BENCHMARK(BM_CompileTenEffects)->Unit(benchmark::kMillisecond)->UseRealTime();

const char* kApplyEffect = R"(
sampler_state Linear { Filter = MIN_MAG_MIP_LINEAR; };
uniform sampler2D gTexture : Linear;
uniform Params { vec4 gColor; };
uniform vec4 gTint;
blend_state AddBlend { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; };
blend_state NoBlend { BlendEnable[0] = FALSE; };
void TriVS(in int id : SV_VertexID, out vec4 hpos : SV_Position, out vec2 uv : TEXCOORD0) {
    vec2 p = vec2(float((id & 1) << 2) - 1.0, float((id & 2) << 1) - 1.0);
    hpos = vec4(p, 0.0, 1.0);
    uv = p * 0.5 + 0.5;
}
void BlockPS(in vec2 uv : TEXCOORD0, out vec4 c : SV_Target0) { c = gColor * texture(gTexture, uv); }
void PlainPS(in vec2 uv : TEXCOORD0, out vec4 c : SV_Target0) { c = gTint * texture(gTexture, uv); }
technique Block { pass P { VertexShader = TriVS; PixelShader = BlockPS; BlendState = AddBlend; } }
technique Plain { pass P { VertexShader = TriVS; PixelShader = PlainPS; BlendState = NoBlend; } }
)";

void BM_ApplyAndDraw(benchmark::State& state) {
    static Setup setup;
    ID3D10Device* d = setup.dev;
    const std::string path = setup.dir + "/apply.fx";
    std::ofstream(path) << kApplyEffect;
    ID3D10Effect* e = nullptr;
    if (!d || FAILED(D3DX10CreateEffectFromFileA(path.c_str(), nullptr, nullptr, "fx_4_0", 0, 0, d, nullptr, nullptr,
                                                 &e, nullptr, nullptr))) {
        state.SkipWithError("no effect");
        return;
    }
    D3D10_TEXTURE2D_DESC td{16,
                            16,
                            1,
                            1,
                            DXGI_FORMAT_R8G8B8A8_UNORM,
                            {1, 0},
                            D3D10_USAGE_DEFAULT,
                            D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE,
                            0,
                            0};
    ID3D10Texture2D *target = nullptr, *source = nullptr;
    ID3D10RenderTargetView* rtv = nullptr;
    ID3D10ShaderResourceView* srv = nullptr;
    const float values[4] = {0.001f, 0.001f, 0.001f, 0.001f};
    D3D10_BUFFER_DESC bd{sizeof(values), D3D10_USAGE_DEFAULT, D3D10_BIND_CONSTANT_BUFFER, 0, 0};
    D3D10_SUBRESOURCE_DATA init{values, 0, 0};
    ID3D10Buffer* buffer = nullptr;
    d->CreateTexture2D(&td, nullptr, &target);
    d->CreateTexture2D(&td, nullptr, &source);
    d->CreateRenderTargetView(target, nullptr, &rtv);
    d->CreateShaderResourceView(source, nullptr, &srv);
    d->CreateBuffer(&bd, &init, &buffer);
    e->GetConstantBufferByName("Params")->SetConstantBuffer(buffer);
    e->GetVariableByName("gTexture")->AsShaderResource()->SetResource(srv);
    ID3D10EffectPass* block = e->GetTechniqueByName("Block")->GetPassByIndex(0);
    ID3D10EffectPass* plain = e->GetTechniqueByName("Plain")->GetPassByIndex(0);
    d->OMSetRenderTargets(1, &rtv, nullptr);
    D3D10_VIEWPORT vp{0, 0, 16, 16, 0, 1};
    d->RSSetViewports(1, &vp);
    d->IASetInputLayout(nullptr);
    d->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    constexpr int kPairs = 500;
    for (auto _ : state) {
        for (int i = 0; i < kPairs; ++i) {
            block->Apply(0);
            d->Draw(3, 0);
            plain->Apply(0);
            d->Draw(3, 0);
        }
        d->Flush();
    }
    state.counters["draws"] = 2.0 * kPairs;
    d->ClearState();
    for (IUnknown* o : std::initializer_list<IUnknown*>{buffer, srv, rtv, source, target})
        o->Release();
    e->Release();
}
BENCHMARK(BM_ApplyAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
