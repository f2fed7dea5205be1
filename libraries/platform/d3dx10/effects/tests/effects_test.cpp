// Effects on the device (Mesa llvmpipe): pools and private values, invalid objects, clamped
// array setters, passes with blend states, several targets, instancing, includes through the
// handler, the compiled form and compile errors. Pixels are read back from the targets.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "../../images/tests/d3dx10_device_fixture.h"
#include "platform/d3d10.h"
#include "platform/d3dx10effect.h"

namespace {

using Pixel = std::array<int, 4>;

// The include handler of the framework: two roots, the first tried first.
class RootsInclude : public ID3D10Include {
public:
    RootsInclude(std::string a, std::string b) : roots_{std::move(a), std::move(b)} {}
    HRESULT Open(D3D10_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
        for (const auto& root : roots_) {
            std::ifstream f(root + "/" + name, std::ios::binary);
            if (!f)
                continue;
            std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            char* buf = new char[s.size()];
            std::copy(s.begin(), s.end(), buf);
            *data = buf;
            *bytes = UINT(s.size());
            ++opens;
            opened.push_back(root + "/" + name);
            return S_OK;
        }
        return E_FAIL;
    }
    HRESULT Close(LPCVOID data) override {
        delete[] static_cast<const char*>(data);
        ++closes;
        return S_OK;
    }
    int opens = 0, closes = 0;
    std::vector<std::string> opened;

private:
    std::string roots_[2];
};

std::string Text(ID3D10Blob* b) {
    return b ? static_cast<const char*>(b->GetBufferPointer()) : std::string();
}

// Shared declarations of the tests' pool.
const char* kGlobals = R"(
#ifndef GLOBALS_FXI
#define GLOBALS_FXI
sampler_state PointClamp { Filter = MIN_MAG_MIP_POINT; AddressU = CLAMP; AddressV = CLAMP; };
uniform mat4 World;
uniform vec4 Diffuse = vec4(1, 1, 1, 1);
uniform float Time;
uniform sampler2D gNoiseTexture : PointClamp;
uniform sampler2D MeshTextures[2] : PointClamp;
#endif
)";

const char* kQuadCode = R"(
void QuadVS(in vec3 pos : POSITION, out vec4 hpos : SV_Position, out vec2 uv : TEXCOORD0) {
    hpos = vec4(pos, 1.0);
    uv = pos.xy * 0.5 + 0.5;
}
)";

// A child of the pool: draws the shared texture scaled by the first row of World.
const char* kChild = R"(
#include "globals.fxi"
uniform vec4 gOwn = vec4(0.0, 0.0, 0.0, 0.0);
void SharedPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    // D3DX matrices apply as mul(v, M): World * v in GLSL.
    vec4 row0 = World * vec4(1.0, 0.0, 0.0, 0.0);
    color = vec4(texture(gNoiseTexture, uv).rgb, 1.0) * row0 + gOwn;
}
technique Shared { pass P0 { VertexShader = QuadVS; PixelShader = SharedPS; } }
)";

class EffectGpu : public d3dx10test::DeviceFixture {
protected:
    ID3D10Texture2D* rt[2] = {};
    ID3D10RenderTargetView* rtv[2] = {};
    ID3D10Buffer* quad = nullptr;
    std::string dir;

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(DeviceFixture::SetUp());
        char tmpl[] = "/tmp/fxtestXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        for (int i = 0; i < 2; ++i) {
            rt[i] =
                Own(Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE));
            ASSERT_NE(rt[i], nullptr);
            rtv[i] = Own(Rtv(rt[i]));
            ASSERT_NE(rtv[i], nullptr);
        }
        const float v[] = {-1, 1, 0, 1, 1, 0, 1, -1, 0, -1, 1, 0, 1, -1, 0, -1, -1, 0};
        quad = Own(Buffer(D3D10_BIND_VERTEX_BUFFER, v, sizeof(v)));
        ASSERT_NE(quad, nullptr);
        Bind(1);
    }
    void TearDown() override {
        for (auto* p : layouts)
            p->Release();
        DeviceFixture::TearDown();
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }

    void Bind(UINT targets) {
        device->OMSetRenderTargets(targets, rtv, nullptr);
        D3D10_VIEWPORT vp{0, 0, 4, 4, 0.0f, 1.0f};
        device->RSSetViewports(1, &vp);
        const float black[4] = {0, 0, 0, 0};
        for (UINT i = 0; i < targets; ++i)
            device->ClearRenderTargetView(rtv[i], black);
    }

    std::string Write(const std::string& name, const std::string& text, const std::string& sub = "") {
        std::string folder = sub.empty() ? dir : dir + "/" + sub;
        mkdir(folder.c_str(), 0755);
        std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::vector<ID3D10InputLayout*> layouts;

    // Draws the full-screen quad once per pass of the technique, as the framework's quad does.
    void DrawQuad(ID3D10EffectTechnique* t) {
        D3D10_PASS_DESC pd{};
        t->GetPassByIndex(0)->GetDesc(&pd);
        D3D10_INPUT_ELEMENT_DESC e{"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0};
        ID3D10InputLayout* layout = nullptr;
        ASSERT_EQ(device->CreateInputLayout(&e, 1, pd.pIAInputSignature, pd.IAInputSignatureSize, &layout), S_OK);
        layouts.push_back(layout);
        device->IASetInputLayout(layout);
        UINT stride = 12, offset = 0;
        device->IASetVertexBuffers(0, 1, &quad, &stride, &offset);
        device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        D3D10_TECHNIQUE_DESC td{};
        t->GetDesc(&td);
        for (UINT i = 0; i < td.Passes; ++i) {
            ASSERT_EQ(t->GetPassByIndex(i)->Apply(0), S_OK);
            device->Draw(6, 0);
        }
    }

    Pixel Read(int target = 0, UINT x = 1, UINT y = 1) {
        d3d10test::TextureCopy copy;
        Pixel p{-1, -1, -1, -1};
        if (!d3d10test::ReadTexture(rt[target], copy))
            return p;
        for (int i = 0; i < 4; ++i)
            p[size_t(i)] = copy.Row(y)[x * 4 + i];
        return p;
    }

    ID3D10ShaderResourceView* Texel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        const uint8_t px[4] = {r, g, b, a};
        ID3D10Texture2D* tex = Texture(1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE, px, 4);
        ID3D10ShaderResourceView* view = Srv(tex);
        tex->Release();
        return view;
    }

    HRESULT Pool(const std::string& path, ID3D10EffectPool** pool, std::string* messages = nullptr) {
        ID3D10Blob* errors = nullptr;
        HRESULT hr =
            D3DX10CreateEffectPoolFromFileA(path.c_str(), nullptr, nullptr, "fx_4_0", D3D10_SHADER_ENABLE_STRICTNESS, 0,
                                            device, nullptr, pool, &errors, nullptr);
        return Messages(hr, errors, messages);
    }
    HRESULT Effect(const std::string& path, ID3D10EffectPool* pool, ID3D10Include* include, ID3D10Effect** effect,
                   std::string* messages = nullptr) {
        ID3D10Blob* errors = nullptr;
        HRESULT hr = D3DX10CreateEffectFromFileA(
            path.c_str(), nullptr, include, "fx_4_0", D3D10_SHADER_ENABLE_STRICTNESS,
            pool ? UINT(D3D10_EFFECT_COMPILE_CHILD_EFFECT) : 0u, device, pool, nullptr, effect, &errors, nullptr);
        return Messages(hr, errors, messages);
    }
    // Hands the compiler's messages to the caller, or reports them as a failure when the
    // caller takes none; releases the blob.
    static HRESULT Messages(HRESULT hr, ID3D10Blob* errors, std::string* messages) {
        if (messages)
            *messages = Text(errors);
        else if (FAILED(hr))
            ADD_FAILURE() << Text(errors);
        if (errors)
            errors->Release();
        return hr;
    }
    // The shared globals and the child effect file that includes them; returns the child's path.
    std::string WriteChild() {
        Write("globals.fxi", kGlobals);
        return Write("child.fx", std::string("#include \"globals.fxi\"\n") + kQuadCode + kChild);
    }
};

void ExpectNear(const Pixel& got, const Pixel& want) {
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(got[i], want[i], 1) << "channel " << i << " of (" << got[0] << ", " << got[1] << ", " << got[2]
                                        << ", " << got[3] << ")";
}

}  // namespace

TEST_F(EffectGpu, PoolAndChildShareAMatrixAndATexture) {
    std::string childFile = WriteChild();
    ID3D10EffectPool* pool = nullptr;
    ASSERT_EQ(Pool(dir + "/globals.fxi", &pool), S_OK);
    RootsInclude inc(dir, dir);
    ID3D10Effect* child = nullptr;
    ASSERT_EQ(Effect(childFile, pool, &inc, &child), S_OK);
    ASSERT_NE(child, nullptr);

    ID3D10Effect* shared = pool->AsEffect();
    ASSERT_NE(shared, nullptr);
    EXPECT_TRUE(shared->IsPool());
    float world[16] = {0.5f, 1.0f, 1.0f, 1.0f};  // row 0 only
    ASSERT_EQ(shared->GetVariableByName("World")->AsMatrix()->SetMatrix(world), S_OK);
    ID3D10ShaderResourceView* yellow = Texel(255, 255, 0, 255);
    ASSERT_EQ(shared->GetVariableByName("gNoiseTexture")->AsShaderResource()->SetResource(yellow), S_OK);

    // The child sees the pool's values ...
    float back[16] = {};
    ASSERT_EQ(child->GetVariableByName("World")->AsMatrix()->GetMatrix(back), S_OK);
    EXPECT_EQ(back[0], 0.5f);
    DrawQuad(child->GetTechniqueByName("Shared"));
    ExpectNear(Read(), {128, 255, 0, 255});

    // ... and writes through to them.
    float half[16] = {0.0f, 0.0f, 1.0f, 1.0f};
    ASSERT_EQ(child->GetVariableByName("World")->AsMatrix()->SetMatrix(half), S_OK);
    ASSERT_EQ(shared->GetVariableByName("World")->AsMatrix()->GetMatrix(back), S_OK);
    EXPECT_EQ(back[2], 1.0f);
    EXPECT_EQ(back[0], 0.0f);
    Bind(1);
    DrawQuad(child->GetTechniqueByName("Shared"));
    ExpectNear(Read(), {0, 0, 0, 255});

    D3D10_EFFECT_DESC ed{};
    child->GetDesc(&ed);
    EXPECT_TRUE(ed.IsChildEffect);
    EXPECT_GE(ed.SharedGlobalVariables, 4u);
    EXPECT_EQ(ed.GlobalVariables, 1u);  // gOwn
    yellow->Release();
    child->Release();
    pool->Release();
}

TEST_F(EffectGpu, EffectWithoutThePoolKeepsItsOwnValues) {
    std::string childFile = WriteChild();
    ID3D10EffectPool* pool = nullptr;
    ASSERT_EQ(Pool(dir + "/globals.fxi", &pool), S_OK);
    RootsInclude inc(dir, dir);
    ID3D10Effect* alone = nullptr;
    ASSERT_EQ(Effect(childFile, nullptr, &inc, &alone), S_OK);
    D3D10_EFFECT_DESC ed{};
    alone->GetDesc(&ed);
    EXPECT_FALSE(ed.IsChildEffect);
    EXPECT_EQ(ed.SharedGlobalVariables, 0u);

    float poolWorld[16] = {0.5f, 1.0f, 1.0f, 1.0f};
    pool->AsEffect()->GetVariableByName("World")->AsMatrix()->SetMatrix(poolWorld);
    ID3D10ShaderResourceView* white = Texel(255, 255, 255, 255);
    ID3D10ShaderResourceView* blue = Texel(0, 0, 255, 255);
    pool->AsEffect()->GetVariableByName("gNoiseTexture")->AsShaderResource()->SetResource(blue);

    float own[16] = {1.0f, 0.0f, 0.0f, 1.0f};
    alone->GetVariableByName("World")->AsMatrix()->SetMatrix(own);
    alone->GetVariableByName("gNoiseTexture")->AsShaderResource()->SetResource(white);
    DrawQuad(alone->GetTechniqueByName("Shared"));
    ExpectNear(Read(), {255, 0, 0, 255});

    // Setting the pool again leaves the private copy alone, across frames.
    float other[16] = {0.0f, 1.0f, 0.0f, 1.0f};
    pool->AsEffect()->GetVariableByName("World")->AsMatrix()->SetMatrix(other);
    float back[16];
    alone->GetVariableByName("World")->AsMatrix()->GetMatrix(back);
    EXPECT_EQ(back[0], 1.0f);
    EXPECT_EQ(back[1], 0.0f);
    Bind(1);
    DrawQuad(alone->GetTechniqueByName("Shared"));
    ExpectNear(Read(), {255, 0, 0, 255});
    white->Release();
    blue->Release();
    alone->Release();
    pool->Release();
}

TEST_F(EffectGpu, UnknownNamesAndWrongKindsGiveInvalidObjects) {
    std::string path = WriteChild();
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);

    ID3D10EffectTechnique* none = e->GetTechniqueByName("NoSuchTechnique");
    ASSERT_NE(none, nullptr);
    EXPECT_FALSE(none->IsValid());
    D3D10_TECHNIQUE_DESC td;
    td.Passes = 77;
    EXPECT_TRUE(FAILED(none->GetDesc(&td)));
    EXPECT_EQ(td.Passes, 0u);
    ASSERT_NE(none->GetPassByIndex(0), nullptr);
    EXPECT_FALSE(none->GetPassByIndex(0)->IsValid());
    EXPECT_TRUE(FAILED(none->GetPassByIndex(0)->Apply(0)));
    D3D10_PASS_DESC pd;
    EXPECT_TRUE(FAILED(none->GetPassByIndex(0)->GetDesc(&pd)));
    EXPECT_EQ(pd.pIAInputSignature, nullptr);

    ID3D10EffectTechnique* t = e->GetTechniqueByName("Shared");
    EXPECT_TRUE(t->IsValid());
    EXPECT_FALSE(t->GetPassByIndex(1)->IsValid());
    EXPECT_TRUE(t->GetPassByIndex(0)->IsValid());

    ID3D10EffectVariable* missing = e->GetVariableByName("NoSuchVariable");
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->IsValid());
    EXPECT_FALSE(missing->AsScalar()->IsValid());
    EXPECT_TRUE(FAILED(missing->AsScalar()->SetFloat(1.0f)));
    float m[16] = {};
    EXPECT_TRUE(FAILED(missing->AsMatrix()->SetMatrix(m)));
    EXPECT_TRUE(FAILED(missing->AsShaderResource()->SetResource(nullptr)));
    EXPECT_FALSE(e->GetConstantBufferByName("NoSuchBuffer")->IsValid());
    EXPECT_TRUE(FAILED(e->GetConstantBufferByName("NoSuchBuffer")->SetConstantBuffer(nullptr)));

    // A matrix is no scalar or vector: those conversions are invalid and change nothing.
    ID3D10EffectVariable* world = e->GetVariableByName("World");
    EXPECT_TRUE(world->IsValid());
    EXPECT_TRUE(world->AsMatrix()->IsValid());
    EXPECT_FALSE(world->AsScalar()->IsValid());
    EXPECT_FALSE(world->AsVector()->IsValid());
    EXPECT_FALSE(world->AsShaderResource()->IsValid());
    EXPECT_TRUE(FAILED(world->AsScalar()->SetFloat(5.0f)));
    float v[4] = {5, 5, 5, 5};
    EXPECT_TRUE(FAILED(world->AsVector()->SetFloatVector(v)));
    float back[16] = {1};
    world->AsMatrix()->GetMatrix(back);
    for (float f : back)
        EXPECT_EQ(f, 0.0f);
    e->Release();
}

TEST_F(EffectGpu, ArraySettersStopAtTheDeclaredSize) {
    std::string path = Write("arrays.fx", std::string(kQuadCode) + R"(
sampler_state P { Filter = MIN_MAG_MIP_POINT; };
uniform float gF[3];
uniform float gAfter = 0.25;
uniform vec4 gV[2];
uniform mat4 gM[2];
uniform sampler2D MeshTextures[2] : P;
void ArrayPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = vec4(gF[0], gF[1], gF[2], gAfter) + gV[1] * 0.0;
}
void TexPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = texture(MeshTextures[0], uv) + texture(MeshTextures[1], uv);
}
technique Arrays { pass P0 { VertexShader = QuadVS; PixelShader = ArrayPS; } }
technique Textures { pass P0 { VertexShader = QuadVS; PixelShader = TexPS; } }
)");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);
    // The type gives the declared element count, 0 when the variable is no array.
    auto elements = [e](const char* name) {
        D3D10_EFFECT_TYPE_DESC type = {99};
        const HRESULT hr = e->GetVariableByName(name)->GetType()->GetDesc(&type);
        return SUCCEEDED(hr) ? int(type.Elements) : -1;
    };
    EXPECT_EQ(elements("gF"), 3);
    EXPECT_EQ(elements("gM"), 2);
    EXPECT_EQ(elements("MeshTextures"), 2);
    EXPECT_EQ(elements("gAfter"), 0);
    EXPECT_EQ(elements("gNone"), -1);
    EXPECT_FALSE(e->GetVariableByName("gNone")->GetType()->IsValid());
    ID3D10EffectScalarVariable* f = e->GetVariableByName("gF")->AsScalar();
    float five[5] = {0.2f, 0.4f, 0.6f, 0.8f, 1.0f};
    EXPECT_EQ(f->SetFloatArray(five, 0, 5), E_INVALIDARG);
    float back[5] = {-1, -1, -1, -1, -1};
    f->GetFloatArray(back, 0, 3);
    EXPECT_FLOAT_EQ(back[2], 0.6f);
    float after = 0;
    e->GetVariableByName("gAfter")->AsScalar()->GetFloat(&after);
    EXPECT_FLOAT_EQ(after, 0.25f);
    DrawQuad(e->GetTechniqueByName("Arrays"));
    ExpectNear(Read(), {51, 102, 153, 64});

    // An offset inside the array writes what fits; one past it writes nothing.
    float one[2] = {1.0f, 1.0f};
    EXPECT_EQ(f->SetFloatArray(one, 2, 2), E_INVALIDARG);
    EXPECT_EQ(f->SetFloatArray(one, 3, 1), E_INVALIDARG);
    f->GetFloatArray(back, 0, 3);
    EXPECT_FLOAT_EQ(back[1], 0.4f);
    EXPECT_FLOAT_EQ(back[2], 1.0f);

    float vecs[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ID3D10EffectVectorVariable* v = e->GetVariableByName("gV")->AsVector();
    EXPECT_EQ(v->SetFloatVectorArray(vecs, 1, 3), E_INVALIDARG);
    float vb[8] = {};
    v->GetFloatVectorArray(vb, 0, 2);
    EXPECT_EQ(vb[0], 0.0f);
    EXPECT_EQ(vb[4], 1.0f);
    EXPECT_EQ(vb[7], 4.0f);

    std::vector<float> mats(16 * 3, 2.0f);
    ID3D10EffectMatrixVariable* m = e->GetVariableByName("gM")->AsMatrix();
    EXPECT_EQ(m->SetMatrixArray(mats.data(), 0, 3), E_INVALIDARG);
    std::vector<float> mb(32, 0.0f);
    EXPECT_EQ(m->GetMatrixArray(mb.data(), 0, 2), S_OK);
    EXPECT_EQ(mb[31], 2.0f);

    // Three textures into "MeshTextures" of two: the first two are taken.
    ID3D10ShaderResourceView* views[3] = {Texel(255, 0, 0, 0), Texel(0, 255, 0, 255), Texel(0, 0, 255, 0)};
    ID3D10EffectShaderResourceVariable* t = e->GetVariableByName("MeshTextures")->AsShaderResource();
    EXPECT_EQ(t->SetResourceArray(views, 0, 3), E_INVALIDARG);
    ID3D10ShaderResourceView* got[2] = {};
    ASSERT_EQ(t->GetResourceArray(got, 0, 2), S_OK);
    EXPECT_EQ(got[0], views[0]);
    EXPECT_EQ(got[1], views[1]);
    for (auto* g : got)
        g->Release();
    Bind(1);
    DrawQuad(e->GetTechniqueByName("Textures"));
    ExpectNear(Read(), {255, 255, 0, 255});
    for (auto* view : views)
        view->Release();
    e->Release();
}

TEST_F(EffectGpu, SettersConvertToTheDeclaredTypeWithinItsRange) {
    std::string path = Write("convert.fx", std::string(kQuadCode) + R"(
uniform int gInt;
uniform uint gUint;
uniform float gFloat;
uniform ivec4 gCells;
void ConvertPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = vec4(float(gInt), float(gUint), gFloat, float(gCells.x));
}
technique Convert { pass P0 { VertexShader = QuadVS; PixelShader = ConvertPS; } }
)");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);
    ID3D10EffectScalarVariable* i = e->GetVariableByName("gInt")->AsScalar();
    ID3D10EffectScalarVariable* u = e->GetVariableByName("gUint")->AsScalar();
    ID3D10EffectScalarVariable* f = e->GetVariableByName("gFloat")->AsScalar();
    int got = 0;
    ASSERT_EQ(i->SetFloat(-2.75f), S_OK);
    ASSERT_EQ(i->GetInt(&got), S_OK);
    EXPECT_EQ(got, -2);
    ASSERT_EQ(i->SetFloat(1e10f), S_OK);
    ASSERT_EQ(i->GetInt(&got), S_OK);
    EXPECT_EQ(got, 2147483647);
    ASSERT_EQ(i->SetFloat(-1e10f), S_OK);
    ASSERT_EQ(i->GetInt(&got), S_OK);
    EXPECT_EQ(got, -2147483647 - 1);
    ASSERT_EQ(i->SetFloat(std::nanf("")), S_OK);
    ASSERT_EQ(i->GetInt(&got), S_OK);
    EXPECT_EQ(got, 0);

    float back = 0;
    ASSERT_EQ(u->SetFloat(1e10f), S_OK);
    ASSERT_EQ(u->GetFloat(&back), S_OK);
    EXPECT_EQ(back, 4294967295.0f);
    ASSERT_EQ(u->SetFloat(std::nanf("")), S_OK);
    ASSERT_EQ(u->GetFloat(&back), S_OK);
    EXPECT_EQ(back, 0.0f);

    // A float read as an int truncates and holds to the int range.
    ASSERT_EQ(f->SetFloat(3e9f), S_OK);
    ASSERT_EQ(f->GetInt(&got), S_OK);
    EXPECT_EQ(got, 2147483647);
    ASSERT_EQ(f->SetInt(-7), S_OK);
    ASSERT_EQ(f->GetFloat(&back), S_OK);
    EXPECT_EQ(back, -7.0f);

    float cells[4] = {-1e12f, 2.5f, 0.0f, 0.0f};
    ID3D10EffectVectorVariable* c = e->GetVariableByName("gCells")->AsVector();
    ASSERT_EQ(c->SetFloatVector(cells), S_OK);
    int cb[4] = {};
    ASSERT_EQ(c->GetIntVector(cb), S_OK);
    EXPECT_EQ(cb[0], -2147483647 - 1);
    EXPECT_EQ(cb[1], 2);
    e->Release();
}

TEST_F(EffectGpu, PassesApplyTheirBlendStatesAndValuesPersist) {
    std::string path = Write("blend.fx", std::string(kQuadCode) + R"(
blend_state Opaque { BlendEnable[0] = FALSE; };
blend_state Additive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
                       SrcBlendAlpha = ONE; DestBlendAlpha = ONE; };
blend_state Multiply { BlendEnable[0] = TRUE; SrcBlend = ZERO; DestBlend = SRC_COLOR; };
depth_stencil_state NoDepth { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state NoCull { CullMode = NONE; };
uniform vec4 gFirst;
uniform vec4 gSecond;
void FirstPS(out vec4 c : SV_Target0) { c = gFirst; }
void SecondPS(out vec4 c : SV_Target0) { c = gSecond; }
technique TwoPasses {
    pass Base { VertexShader = QuadVS; PixelShader = FirstPS; BlendState = Opaque;
                DepthStencilState = NoDepth; RasterizerState = NoCull; }
    pass Add { VertexShader = QuadVS; PixelShader = SecondPS; BlendState = Additive; }
    pass Scale { VertexShader = QuadVS; PixelShader = SecondPS; BlendState = Multiply; }
}
technique Plain { pass P { VertexShader = QuadVS; PixelShader = FirstPS; BlendState = NULL; } }
)");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);
    float first[4] = {0.25f, 0.0f, 0.5f, 0.5f};
    float second[4] = {0.5f, 0.5f, 0.5f, 0.25f};
    e->GetVariableByName("gFirst")->AsVector()->SetFloatVector(first);
    e->GetVariableByName("gSecond")->AsVector()->SetFloatVector(second);
    ID3D10EffectTechnique* t = e->GetTechniqueByName("TwoPasses");
    D3D10_TECHNIQUE_DESC td{};
    ASSERT_EQ(t->GetDesc(&td), S_OK);
    EXPECT_EQ(td.Passes, 3u);
    // (0.25, 0, 0.5, 0.5) + (0.5, 0.5, 0.5, 0.25), then the colour times (0.5, 0.5, 0.5) and the
    // alpha replaced by 0.25 (ONE, ZERO for alpha).
    DrawQuad(t);
    ExpectNear(Read(), {96, 64, 128, 64});
    // The next frame, nothing set again: the same picture.
    Bind(1);
    DrawQuad(t);
    ExpectNear(Read(), {96, 64, 128, 64});
    // NULL restores the device's default (no blending).
    DrawQuad(e->GetTechniqueByName("Plain"));
    ExpectNear(Read(), {64, 0, 128, 128});
    e->Release();
}

TEST_F(EffectGpu, SeveralRenderTargetsAndIntegerValues) {
    std::string path = Write("mrt.fx", std::string(kQuadCode) + R"(
uniform int gIndex = 3;
uniform ivec4 gCells = ivec4(1, 2, 3, 4);
void TwoPS(in vec2 uv : TEXCOORD0, out vec4 a : SV_Target0, out vec4 b : SV_Target1) {
    a = vec4(float(gIndex) / 4.0, 0.0, 0.0, 1.0);
    b = vec4(0.0, float(gCells.y) / 4.0, float(gCells.w) / 4.0, 1.0);
}
technique Two { pass P { VertexShader = QuadVS; PixelShader = TwoPS; } }
)");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);
    Bind(2);
    DrawQuad(e->GetTechniqueByName("Two"));
    ExpectNear(Read(0), {191, 0, 0, 255});
    ExpectNear(Read(1), {0, 128, 255, 255});
    e->GetVariableByName("gIndex")->AsScalar()->SetInt(1);
    int cells[4] = {0, 4, 0, 2};
    e->GetVariableByName("gCells")->AsVector()->SetIntVector(cells);
    DrawQuad(e->GetTechniqueByName("Two"));
    ExpectNear(Read(0), {64, 0, 0, 255});
    ExpectNear(Read(1), {0, 255, 128, 255});
    e->Release();
}

TEST_F(EffectGpu, ConstantBuffersReadTheBufferSetIntoThem) {
    std::string path = Write("cb.fx", std::string(kQuadCode) + R"(
uniform Params { vec4 gColor; vec4 gScale; };
void BlockPS(out vec4 c : SV_Target0) { c = gColor * gScale.x; }
technique T { pass P { VertexShader = QuadVS; PixelShader = BlockPS; } }
)");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);
    ID3D10EffectConstantBuffer* cb = e->GetConstantBufferByName("Params");
    ASSERT_TRUE(cb->IsValid());
    EXPECT_FALSE(e->GetVariableByName("gColor")->IsValid());  // members live in the buffer
    const float values[8] = {1.0f, 0.5f, 0.0f, 1.0f, 0.5f, 0.0f, 0.0f, 0.0f};
    D3D10_BUFFER_DESC b{sizeof(values), D3D10_USAGE_DEFAULT, D3D10_BIND_CONSTANT_BUFFER, 0, 0};
    D3D10_SUBRESOURCE_DATA init{values, 0, 0};
    ID3D10Buffer* buf = nullptr;
    ASSERT_EQ(device->CreateBuffer(&b, &init, &buf), S_OK);
    ASSERT_EQ(cb->SetConstantBuffer(buf), S_OK);
    buf->Release();  // the effect keeps its own reference
    ID3D10Buffer* back = nullptr;
    ASSERT_EQ(cb->GetConstantBuffer(&back), S_OK);
    EXPECT_NE(back, nullptr);
    if (back)
        back->Release();
    DrawQuad(e->GetTechniqueByName("T"));
    ExpectNear(Read(), {128, 64, 0, 128});
    e->Release();
}

TEST_F(EffectGpu, VertexIdInstancesAndIntegerInstanceData) {
    std::string path = Write("inst.fx", R"(
blend_state Additive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; };
rasterizer_state NoCull { CullMode = NONE; };
void TriVS(in uvec2 cell : BLENDINDICES, in int id : SV_VertexID, in int instance : SV_InstanceID,
           out vec4 hpos : SV_Position, out vec4 color : COLOR0) {
    // One triangle covering the viewport, from the vertex id alone.
    vec2 p = vec2(float((id & 1) << 2) - 1.0, float((id & 2) << 1) - 1.0);
    hpos = vec4(p, 0.0, 1.0);
    color = vec4(float(cell.x) / 255.0, float(cell.y) / 255.0, float(instance) / 255.0, 0.0);
}
void TriPS(in vec4 color : COLOR0, out vec4 c : SV_Target0) { c = color; }
technique Instanced { pass P { VertexShader = TriVS; PixelShader = TriPS; BlendState = Additive;
                            RasterizerState = NoCull; } }
)");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);
    D3D10_PASS_DESC pd{};
    ASSERT_EQ(e->GetTechniqueByName("Instanced")->GetPassByIndex(0)->GetDesc(&pd), S_OK);
    D3D10_INPUT_ELEMENT_DESC el{"BLENDINDICES", 0, DXGI_FORMAT_R16G16_UINT, 0, 0, D3D10_INPUT_PER_INSTANCE_DATA, 1};
    ID3D10InputLayout* layout = nullptr;
    ASSERT_EQ(device->CreateInputLayout(&el, 1, pd.pIAInputSignature, pd.IAInputSignatureSize, &layout), S_OK);
    const uint16_t cells[6] = {10, 20, 30, 40, 50, 60};
    D3D10_BUFFER_DESC b{sizeof(cells), D3D10_USAGE_DEFAULT, D3D10_BIND_VERTEX_BUFFER, 0, 0};
    D3D10_SUBRESOURCE_DATA init{cells, 0, 0};
    ID3D10Buffer* buf = nullptr;
    ASSERT_EQ(device->CreateBuffer(&b, &init, &buf), S_OK);
    device->IASetInputLayout(layout);
    UINT stride = 4, offset = 0;
    device->IASetVertexBuffers(0, 1, &buf, &stride, &offset);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    ASSERT_EQ(e->GetTechniqueByName("Instanced")->GetPassByIndex(0)->Apply(0), S_OK);
    device->DrawInstanced(3, 3, 0, 0);
    // Instances 0, 1, 2 add their cells and ids: (10+30+50, 20+40+60, 0+1+2).
    ExpectNear(Read(), {90, 120, 3, 0});
    buf->Release();
    layout->Release();
    e->Release();
}

TEST_F(EffectGpu, ClipDistancesClipTheDrawsOfTheProgramThatWritesThem) {
    std::string path = Write("clip.fx", std::string(kQuadCode) + R"(
void ClipVS(in vec3 pos : POSITION, out vec4 hpos : SV_Position, out vec2 clip : SV_ClipDistance0) {
    hpos = vec4(pos, 1.0);
    clip = pos.xy;  // kept: right of x = 0 and above y = 0
}
void RedPS(out vec4 c : SV_Target0) { c = vec4(1.0, 0.0, 0.0, 1.0); }
void GreenPS(in vec2 uv : TEXCOORD0, out vec4 c : SV_Target0) { c = vec4(0.0, 1.0, 0.0, 1.0); }
rasterizer_state NoCull { CullMode = NONE; };
technique Clipped { pass P { VertexShader = ClipVS; PixelShader = RedPS; RasterizerState = NoCull; } }
technique Plain { pass P { VertexShader = QuadVS; PixelShader = GreenPS; RasterizerState = NoCull; } }
)");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, nullptr, &e), S_OK);
    DrawQuad(e->GetTechniqueByName("Clipped"));
    ExpectNear(Read(0, 3, 0), {255, 0, 0, 255});
    for (auto [x, y] : {std::pair<UINT, UINT>{0, 0}, {0, 3}, {3, 3}})
        ExpectNear(Read(0, x, y), {0, 0, 0, 0});
    Bind(1);
    DrawQuad(e->GetTechniqueByName("Plain"));  // whole: the clipping went with its program
    ExpectNear(Read(0, 0, 3), {0, 255, 0, 255});
    e->Release();
}

TEST_F(EffectGpu, IncludesAreServedByTheHandlerFromEitherRoot) {
    Write("common.fxi", "uniform vec4 gFromFramework = vec4(1.0, 0.0, 0.0, 1.0);\n", "fw");
    Write("common.fxi", "uniform vec4 gShadowed = vec4(0.0, 1.0, 0.0, 1.0);\n", "project");
    Write("project.fxi", "uniform vec4 gFromProject = vec4(0.0, 0.0, 1.0, 0.0);\n", "project");
    std::string path = Write("inc.fx",
                             std::string("#include \"common.fxi\"\n#include <project.fxi>\n") + kQuadCode +
                                 R"(
void IncPS(out vec4 c : SV_Target0) { c = gFromFramework + gFromProject; }
technique T { pass P { VertexShader = QuadVS; PixelShader = IncPS; } }
)",
                             "project");
    RootsInclude inc(dir + "/fw", dir + "/project");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(path, nullptr, &inc, &e), S_OK);
    EXPECT_EQ(inc.opens, 2);
    EXPECT_EQ(inc.closes, 2);
    ASSERT_EQ(inc.opened.size(), 2u);
    EXPECT_EQ(inc.opened[0], dir + "/fw/common.fxi");
    EXPECT_EQ(inc.opened[1], dir + "/project/project.fxi");
    EXPECT_FALSE(e->GetVariableByName("gShadowed")->IsValid());
    DrawQuad(e->GetTechniqueByName("T"));
    ExpectNear(Read(), {255, 0, 255, 255});
    e->Release();

    // An include under neither root fails the compilation with the name in the messages.
    std::string bad = Write("bad.fx", "\n#include \"nowhere.fxi\"\n", "project");
    std::string messages;
    ID3D10Effect* none = reinterpret_cast<ID3D10Effect*>(1);
    EXPECT_EQ(Effect(bad, nullptr, &inc, &none, &messages), E_FAIL);
    EXPECT_EQ(none, nullptr);
    EXPECT_NE(messages.find("bad.fx(2): error: cannot open include file \"nowhere.fxi\""), std::string::npos)
        << messages;
}

TEST_F(EffectGpu, CompiledFormLoadsWithoutItsSource) {
    // Packed at build time from tests/data/packed.fx with its include inlined.
    std::string packed = D3DX10_TEST_PACKED_DIR "/packed.fxo";
    std::ifstream probe(D3DX10_TEST_PACKED_DIR "/packed.fx");
    ASSERT_FALSE(probe.good()) << "the source must not lie beside the compiled form";
    RootsInclude nothing(dir + "/none", dir + "/none");
    ID3D10Effect* e = nullptr;
    ASSERT_EQ(Effect(packed, nullptr, &nothing, &e), S_OK);
    EXPECT_EQ(nothing.opens, 0);
    float tint[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    ASSERT_EQ(e->GetVariableByName("gTint")->AsVector()->SetFloatVector(tint), S_OK);
    DrawQuad(e->GetTechniqueByName("Packed"));
    ExpectNear(Read(), {128, 255, 0, 255});
    e->Release();

    // A damaged container is refused.
    std::ifstream in(packed, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes[bytes.size() / 2] ^= 0x5A;
    std::string broken = Write("broken.fxo", bytes);
    std::string messages;
    EXPECT_EQ(Effect(broken, nullptr, nullptr, &e, &messages), E_FAIL);
    EXPECT_NE(messages.find("damaged"), std::string::npos) << messages;
}

TEST_F(EffectGpu, CompileErrorsFailWithTheMessagesInTheBlob) {
    std::string path = Write("broken.fx", std::string(kQuadCode) + R"(
void BrokenPS(out vec4 c : SV_Target0) {
    c = undeclaredThing * 2.0;
}
technique T { pass P { VertexShader = QuadVS; PixelShader = BrokenPS; } }
)");
    std::string messages;
    ID3D10Effect* e = nullptr;
    EXPECT_EQ(Effect(path, nullptr, nullptr, &e, &messages), E_FAIL);
    EXPECT_EQ(e, nullptr);
    // The GLSL message points at the effect file's own line.
    EXPECT_NE(messages.find("broken.fx(8,"), std::string::npos) << messages;
    EXPECT_NE(messages.find("undeclaredThing"), std::string::npos) << messages;

    std::string decl = Write("decl.fx", "uniform vec4 v = vec4(1.0);\nuniform vec4 v;\n");
    EXPECT_EQ(Effect(decl, nullptr, nullptr, &e, &messages), E_FAIL);
    EXPECT_NE(messages.find("decl.fx(2): error: redefinition of variable 'v'"), std::string::npos) << messages;

    EXPECT_EQ(Effect(dir + "/absent.fx", nullptr, nullptr, &e, &messages), D3D10_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(e, nullptr);

    ID3D10Blob* blob = nullptr;
    EXPECT_EQ(D3DX10CreateEffectFromFileA(path.c_str(), nullptr, nullptr, "fx_5_0", 0, 0, device, nullptr, nullptr, &e,
                                          &blob, nullptr),
              E_INVALIDARG);
    ASSERT_NE(blob, nullptr);
    EXPECT_NE(Text(blob).find("fx_4_0"), std::string::npos);
    blob->Release();

    // A child whose declaration differs from the pool's is refused.
    std::string globals = Write("globals.fxi", kGlobals);
    ID3D10EffectPool* pool = nullptr;
    ASSERT_EQ(Pool(globals, &pool), S_OK);
    std::string clash = Write("clash.fx", "uniform vec4 World;\n");
    EXPECT_EQ(Effect(clash, pool, nullptr, &e, &messages), E_FAIL);
    EXPECT_NE(messages.find("'World' is declared differently in the effect pool"), std::string::npos) << messages;
    pool->Release();
}
