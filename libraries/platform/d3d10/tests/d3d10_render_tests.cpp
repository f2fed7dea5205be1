// Pixels drawn, cleared and copied on the software device, read back through staging textures.
#include <cmath>

#include "d3d10_test_util.h"

using namespace d3d10test;

namespace {

float HalfToFloat(uint16_t h) {
    const int sign = h >> 15, exponent = (h >> 10) & 31, mantissa = h & 1023;
    float v;
    if (exponent == 0)
        v = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        v = mantissa ? NAN : INFINITY;
    else
        v = std::ldexp(float(mantissa + 1024), exponent - 25);
    return sign ? -v : v;
}

const float kBlack[4] = {0, 0, 0, 0};

const char* kTextureFS = R"(#version 330 core
in vec2 uv;
uniform sampler2D tex;
layout(location = 0) out vec4 color;
void main() { color = texture(tex, uv); }
)";

const char* kColorFS = R"(#version 330 core
uniform vec4 color;
layout(location = 0) out vec4 outColor;
void main() { outColor = color; }
)";

const char* kDepthVS = R"(#version 330 core
layout(location = 0) in vec2 position;
uniform float z;
void main() { gl_Position = vec4(position, z, 1.0); }
)";

class Render : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (!device)
            return;
        const D3D10GL_SignatureElement sig = Element("POSITION", 0, 0, D3D10GL_COMPONENT_FLOAT, 2);
        signature = D3D10GL_EncodeSignature(&sig, 1);
        const D3D10_INPUT_ELEMENT_DESC e = {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA,
                                            0};
        ASSERT_EQ(S_OK, device->CreateInputLayout(&e, 1, signature.data(), signature.size(), &layout));
        quad = Buffer(D3D10_BIND_VERTEX_BUFFER, kQuad, sizeof(kQuad));
        D3D10_SAMPLER_DESC s{D3D10_FILTER_MIN_MAG_MIP_POINT,
                             D3D10_TEXTURE_ADDRESS_CLAMP,
                             D3D10_TEXTURE_ADDRESS_CLAMP,
                             D3D10_TEXTURE_ADDRESS_CLAMP,
                             0,
                             1,
                             D3D10_COMPARISON_NEVER,
                             {0, 0, 0, 0},
                             0,
                             D3D10_FLOAT32_MAX};
        ASSERT_EQ(S_OK, device->CreateSamplerState(&s, &point));
    }
    void TearDown() override {
        SafeRelease(layout);
        SafeRelease(quad);
        SafeRelease(point);
        DeviceTest::TearDown();
    }

    // Binds the quad's input (or other vertices of its layout) and draws it with the current program.
    void DrawQuad(ID3D10Buffer* vertices = nullptr) {
        const UINT stride = 8, offset = 0;
        if (!vertices)
            vertices = quad;
        device->IASetInputLayout(layout);
        device->IASetVertexBuffers(0, 1, &vertices, &stride, &offset);
        device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        device->Draw(6, 0);
    }

    GLuint ColorProgram(const char* vs = kQuadVS) { return Program(vs, kColorFS); }
    void SetColor(GLuint program, float r, float g, float b, float a) {
        const float rgba[4] = {r, g, b, a};
        D3D10GL_SetUniform(device, program, D3D10GL_UniformLocation(device, program, "color"), D3D10GL_COMPONENT_FLOAT,
                           4, 1, rgba);
    }

    std::vector<BYTE> signature;
    ID3D10InputLayout* layout = nullptr;
    ID3D10Buffer* quad = nullptr;
    ID3D10SamplerState* point = nullptr;
};

}  // namespace

TEST_F(Render, ClearFillsTheWholeTargetWhateverViewportAndScissor) {
    ID3D10Texture2D* target = Texture(8, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_RENDER_TARGET);
    ID3D10RenderTargetView* rtv = Rtv(target);
    D3D10_RASTERIZER_DESC r{D3D10_FILL_SOLID, D3D10_CULL_NONE, FALSE, 0, 0, 0, TRUE, TRUE, FALSE, FALSE};
    ID3D10RasterizerState* scissored = nullptr;
    ASSERT_EQ(S_OK, device->CreateRasterizerState(&r, &scissored));
    device->RSSetState(scissored);
    D3D10_RECT rect{0, 0, 1, 1};
    device->RSSetScissorRects(1, &rect);
    SetViewport(1, 1);
    device->OMSetRenderTargets(1, &rtv, nullptr);
    const float color[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    device->ClearRenderTargetView(rtv, color);
    for (uint32_t px : ReadRGBA8(target))
        EXPECT_EQ(Rgba(255, 128, 0, 255), px);
    // A draw afterwards still honours the scissor rectangle.
    GLuint program = ColorProgram();
    SetColor(program, 0, 0, 1, 1);
    D3D10GL_SetProgram(device, program);
    SetViewport(8, 4);
    DrawQuad();
    std::vector<uint32_t> px = ReadRGBA8(target);
    EXPECT_EQ(Rgba(0, 0, 255, 255), px[0]);
    EXPECT_EQ(Rgba(255, 128, 0, 255), px[1]);
    scissored->Release();
    rtv->Release();
    target->Release();
}

TEST_F(Render, DrawWithoutProgramDrawsNothing) {
    ID3D10Texture2D* target = Target(4, 4, kBlack);
    GLuint program = ColorProgram();
    SetColor(program, 1, 1, 1, 1);
    D3D10GL_SetProgram(device, 0);
    DrawQuad();
    for (uint32_t px : ReadRGBA8(target))
        EXPECT_EQ(0u, px);
    D3D10GL_SetProgram(device, program);
    EXPECT_EQ(program, D3D10GL_GetProgram(device));
    DrawQuad();
    for (uint32_t px : ReadRGBA8(target))
        EXPECT_EQ(0xffffffffu, px);
}

TEST_F(Render, SideProgramsReportErrorsReadUniformBuffersAndLeaveTheDrawsWhenDeleted) {
    std::string log;
    EXPECT_EQ(0u, D3D10GL_CreateShader(device, D3D10GL_SHADER_FRAGMENT,
                                       "#version 330 core\nvoid main() { undeclared = 1.0; }\n", &log));
    EXPECT_NE(log.find("undeclared"), std::string::npos) << log;
    const unsigned int vs = D3D10GL_CreateShader(device, D3D10GL_SHADER_VERTEX, kQuadVS, &log);
    // Compiles, but a program without main does not link.
    const unsigned int noMain = D3D10GL_CreateShader(device, D3D10GL_SHADER_FRAGMENT,
                                                     "#version 330 core\nvec4 Helper() { return vec4(1.0); }\n", &log);
    ASSERT_TRUE(vs && noMain) << log;
    EXPECT_EQ(0u, D3D10GL_CreateProgram(device, vs, noMain, nullptr, 0, 0, &log));
    EXPECT_NE(log.find("main"), std::string::npos) << log;
    D3D10GL_DeleteShader(device, noMain);
    D3D10GL_DeleteShader(device, vs);

    // A block reads the buffer bound to its binding; a new binding reaches the next draw.
    GLuint program = Program(kQuadVS, R"(#version 330 core
layout(std140) uniform Block { vec4 blockColor; };
layout(location = 0) out vec4 c;
void main() { c = blockColor; }
)");
    EXPECT_FALSE(D3D10GL_SetUniformBlockBinding(device, program, "NoBlock", 0));
    ASSERT_TRUE(D3D10GL_SetUniformBlockBinding(device, program, "Block", 2));
    const float red[4] = {1, 0, 0, 1}, blue[4] = {0, 0, 1, 1};
    ID3D10Buffer* buffers[2] = {Own(Buffer(D3D10_BIND_CONSTANT_BUFFER, red, sizeof(red))),
                                Own(Buffer(D3D10_BIND_CONSTANT_BUFFER, blue, sizeof(blue)))};
    ID3D10Texture2D* target = Target(2, 2, kBlack);
    D3D10GL_SetProgram(device, program);
    for (int i = 0; i < 2; ++i) {
        D3D10GL_SetUniformBuffer(device, 2, buffers[i]);
        DrawQuad();
        EXPECT_EQ(i ? Rgba(0, 0, 255, 255) : Rgba(255, 0, 0, 255), ReadRGBA8(target)[3]);
    }
    D3D10GL_DeleteProgram(device, program);
    programs.pop_back();
    EXPECT_EQ(0u, D3D10GL_GetProgram(device));
}

struct FormatCase {
    DXGI_FORMAT format;
    UINT bytes;
    int components;
    enum { F32, F16, U8 } kind;
};

class RenderFormats : public Render, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(RenderFormats, TexturedQuadKeepsRowZeroOnTop) {
    const FormatCase c = GetParam();
    // Source texels: row 0 red, green; row 1 blue, white.
    const uint32_t texels[4] = {Rgba(255, 0, 0, 255), Rgba(0, 255, 0, 255), Rgba(0, 0, 255, 255),
                                Rgba(255, 255, 255, 255)};
    ID3D10Texture2D* source = Texture(2, 2, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_SHADER_RESOURCE, texels, 8);
    ID3D10ShaderResourceView* srv = Srv(source);
    ID3D10Texture2D* target = Texture(4, 4, c.format, D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE);
    ASSERT_NE(nullptr, target);
    ID3D10RenderTargetView* rtv = Rtv(target);
    device->OMSetRenderTargets(1, &rtv, nullptr);
    SetViewport(4, 4);
    device->PSSetShaderResources(0, 1, &srv);
    device->PSSetSamplers(0, 1, &point);
    D3D10GL_SetProgram(device, Program(kQuadVS, kTextureFS));
    DrawQuad();
    device->OMSetRenderTargets(0, nullptr, nullptr);
    std::vector<BYTE> bytes = ReadBack(target, c.bytes);
    auto texel = [&](int x, int y, int ch) -> float {
        const BYTE* p = bytes.data() + (size_t(y) * 4 + x) * c.bytes;
        if (c.kind == FormatCase::F32) {
            float f;
            std::memcpy(&f, p + 4 * ch, 4);
            return f;
        }
        if (c.kind == FormatCase::F16) {
            uint16_t h;
            std::memcpy(&h, p + 2 * ch, 2);
            return HalfToFloat(h);
        }
        return p[ch] / 255.0f;
    };
    const float expected[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    const int corners[4][2] = {{0, 0}, {3, 0}, {0, 3}, {3, 3}};
    for (int k = 0; k < 4; ++k)
        for (int ch = 0; ch < c.components; ++ch)
            EXPECT_NEAR(expected[k][ch], texel(corners[k][0], corners[k][1], ch), 1e-3)
                << "format " << c.format << " corner " << k << " channel " << ch;
    rtv->Release();
    target->Release();
    srv->Release();
    source->Release();
}

INSTANTIATE_TEST_SUITE_P(EachTargetFormat, RenderFormats,
                         ::testing::Values(FormatCase{DXGI_FORMAT_R32G32B32A32_FLOAT, 16, 4, FormatCase::F32},
                                           FormatCase{DXGI_FORMAT_R16G16B16A16_FLOAT, 8, 4, FormatCase::F16},
                                           FormatCase{DXGI_FORMAT_R32G32_FLOAT, 8, 2, FormatCase::F32},
                                           FormatCase{DXGI_FORMAT_R16G16_FLOAT, 4, 2, FormatCase::F16},
                                           FormatCase{DXGI_FORMAT_R8G8B8A8_UNORM, 4, 4, FormatCase::U8},
                                           FormatCase{DXGI_FORMAT_R32_FLOAT, 4, 1, FormatCase::F32},
                                           FormatCase{DXGI_FORMAT_R8_UNORM, 1, 1, FormatCase::U8}));

TEST_F(Render, SeveralTargetsAtOnce) {
    ID3D10Texture2D* a = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_RENDER_TARGET);
    ID3D10Texture2D* b = Texture(4, 4, DXGI_FORMAT_R32_FLOAT, D3D10_BIND_RENDER_TARGET);
    ID3D10Texture2D* c = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_RENDER_TARGET);
    ID3D10RenderTargetView* views[3] = {Rtv(a), Rtv(b), Rtv(c)};
    device->OMSetRenderTargets(3, views, nullptr);
    SetViewport(4, 4);
    D3D10GL_SetProgram(device, Program(kQuadVS, R"(#version 330 core
layout(location = 0) out vec4 first;
layout(location = 1) out vec4 second;
layout(location = 2) out vec4 third;
void main() { first = vec4(1, 0, 0, 1); second = vec4(0.25); third = vec4(0, 0, 1, 1); }
)"));
    DrawQuad();
    for (uint32_t px : ReadRGBA8(a))
        EXPECT_EQ(Rgba(255, 0, 0, 255), px);
    std::vector<BYTE> rb = ReadBack(b, 4);
    for (size_t i = 0; i < 16; ++i) {
        float f;
        std::memcpy(&f, rb.data() + 4 * i, 4);
        EXPECT_FLOAT_EQ(0.25f, f);
    }
    for (uint32_t px : ReadRGBA8(c))
        EXPECT_EQ(Rgba(0, 0, 255, 255), px);
    ID3D10RenderTargetView* got[3] = {};
    device->OMGetRenderTargets(3, got, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(views[i], got[i]);
        got[i]->Release();
    }
    for (auto* v : views)
        v->Release();
    a->Release();
    b->Release();
    c->Release();
}

TEST_F(Render, DepthRangeIsZeroToOne) {
    ID3D10RenderTargetView* rtv = nullptr;
    ID3D10Texture2D* target = Target(4, 4, kBlack, &rtv);
    ID3D10Texture2D* depth = Own(Texture(4, 4, DXGI_FORMAT_D32_FLOAT, D3D10_BIND_DEPTH_STENCIL));
    ID3D10DepthStencilView* dsv = nullptr;
    ASSERT_EQ(S_OK, device->CreateDepthStencilView(depth, nullptr, &dsv));
    Own(dsv);
    device->ClearDepthStencilView(dsv, D3D10_CLEAR_DEPTH, 1.0f, 0);
    device->OMSetRenderTargets(1, &rtv, dsv);
    GLuint program = ColorProgram(kDepthVS);
    D3D10GL_SetProgram(device, program);
    auto draw = [&](float z, float r, float g, float b) {
        SetColor(program, r, g, b, 1);
        glUniform1f(glGetUniformLocation(program, "z"), z);
        DrawQuad();
        return ReadRGBA8(target)[5];
    };
    EXPECT_EQ(Rgba(255, 0, 0, 255), draw(0.5f, 1, 0, 0));
    EXPECT_EQ(Rgba(255, 0, 0, 255), draw(0.75f, 0, 1, 0));  // behind: the default test is LESS
    EXPECT_EQ(Rgba(0, 0, 255, 255), draw(0.25f, 0, 0, 1));
    EXPECT_EQ(Rgba(0, 0, 255, 255), draw(-0.25f, 1, 1, 1));  // in front of the near plane: clipped
    std::vector<BYTE> d = ReadBack(depth, 4);
    float stored;
    std::memcpy(&stored, d.data() + 4 * 5, 4);
    EXPECT_NEAR(0.25f, stored, 1e-6);
    // With depth writes and test off, the colour passes anywhere and depth stays.
    D3D10_DEPTH_STENCIL_DESC off{};
    off.DepthEnable = FALSE;
    off.DepthWriteMask = D3D10_DEPTH_WRITE_MASK_ALL;
    off.DepthFunc = D3D10_COMPARISON_LESS;
    off.FrontFace =
        off.BackFace = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_ALWAYS};
    ID3D10DepthStencilState* state = nullptr;
    ASSERT_EQ(S_OK, device->CreateDepthStencilState(&off, &state));
    device->OMSetDepthStencilState(state, 0);
    EXPECT_EQ(Rgba(0, 255, 0, 255), draw(0.9f, 0, 1, 0));
    d = ReadBack(depth, 4);
    std::memcpy(&stored, d.data() + 4 * 5, 4);
    EXPECT_NEAR(0.25f, stored, 1e-6);
    device->OMSetDepthStencilState(nullptr, 0);
    state->Release();
}

TEST_F(Render, ViewportsCountFromTheTop) {
    ID3D10Texture2D* target = Target(4, 4, kBlack);
    GLuint program = ColorProgram();
    D3D10GL_SetProgram(device, program);
    SetColor(program, 1, 0, 0, 1);
    SetViewport(4, 1, 0, 0);
    DrawQuad();
    SetColor(program, 0, 1, 0, 1);
    SetViewport(2, 2, 2, 2);
    DrawQuad();
    std::vector<uint32_t> px = ReadRGBA8(target);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(Rgba(255, 0, 0, 255), px[x]) << x;
    EXPECT_EQ(0u, px[4 + 0]);
    EXPECT_EQ(0u, px[2 * 4 + 1]);
    EXPECT_EQ(Rgba(0, 255, 0, 255), px[2 * 4 + 2]);
    EXPECT_EQ(Rgba(0, 255, 0, 255), px[3 * 4 + 3]);

    const D3D10_VIEWPORT several[3] = {{0, 0, 4, 4, 0, 1}, {1, 2, 3, 4, 0.5f, 1}, {5, 6, 7, 8, 0, 0.5f}};
    device->RSSetViewports(3, several);
    UINT count = 0;
    device->RSGetViewports(&count, nullptr);
    EXPECT_EQ(3u, count);
    D3D10_VIEWPORT back[16] = {};
    count = 16;
    device->RSGetViewports(&count, back);
    ASSERT_EQ(3u, count);
    EXPECT_EQ(6, back[2].TopLeftY);
    EXPECT_EQ(0.5f, back[1].MinDepth);
}

TEST_F(Render, ClockwiseTrianglesFaceTheViewer) {
    ID3D10Texture2D* target = Target(4, 4, kBlack);
    GLuint program = ColorProgram();
    D3D10GL_SetProgram(device, program);
    SetColor(program, 1, 1, 1, 1);
    // The quad reversed: counter-clockwise on screen, culled as a back face by default.
    const float reversed[12] = {-1, 1, 1, -1, 1, 1, -1, 1, -1, -1, 1, -1};
    ID3D10Buffer* ccw = Own(Buffer(D3D10_BIND_VERTEX_BUFFER, reversed, sizeof(reversed)));
    DrawQuad(ccw);
    for (uint32_t px : ReadRGBA8(target))
        EXPECT_EQ(0u, px);
    D3D10_RASTERIZER_DESC r{D3D10_FILL_SOLID, D3D10_CULL_BACK, TRUE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
    ID3D10RasterizerState* ccwFront = nullptr;
    ASSERT_EQ(S_OK, device->CreateRasterizerState(&r, &ccwFront));
    device->RSSetState(ccwFront);
    device->Draw(6, 0);
    for (uint32_t px : ReadRGBA8(target))
        EXPECT_EQ(0xffffffffu, px);
    device->RSSetState(nullptr);
    ccwFront->Release();
}

TEST_F(Render, BlendStateAddsToTheTarget) {
    const float start[4] = {0.2f, 0, 0, 1};
    ID3D10RenderTargetView* rtv = nullptr;
    ID3D10Texture2D* target = Target(2, 2, start, &rtv);
    D3D10_BLEND_DESC b{};
    b.BlendEnable[0] = TRUE;
    b.SrcBlend = b.DestBlend = b.SrcBlendAlpha = b.DestBlendAlpha = D3D10_BLEND_ONE;
    b.BlendOp = b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
    for (auto& m : b.RenderTargetWriteMask)
        m = D3D10_COLOR_WRITE_ENABLE_RED | D3D10_COLOR_WRITE_ENABLE_GREEN;
    ID3D10BlendState* add = nullptr;
    ASSERT_EQ(S_OK, device->CreateBlendState(&b, &add));
    device->OMSetBlendState(add, nullptr, 0xffffffff);
    GLuint program = ColorProgram();
    SetColor(program, 0.4f, 0.2f, 1.0f, 1.0f);
    D3D10GL_SetProgram(device, program);
    DrawQuad();
    // red 0.2 + 0.4, green 0 + 0.2, blue masked, alpha stays.
    EXPECT_EQ(Rgba(153, 51, 0, 255), ReadRGBA8(target)[0]);
    // Alpha blending with a zero factor for alpha.
    b.SrcBlend = D3D10_BLEND_SRC_ALPHA;
    b.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
    b.SrcBlendAlpha = D3D10_BLEND_ZERO;
    b.DestBlendAlpha = D3D10_BLEND_ZERO;
    for (auto& m : b.RenderTargetWriteMask)
        m = D3D10_COLOR_WRITE_ENABLE_ALL;
    ID3D10BlendState* over = nullptr;
    ASSERT_EQ(S_OK, device->CreateBlendState(&b, &over));
    const float grey[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    device->ClearRenderTargetView(rtv, grey);
    device->OMSetBlendState(over, nullptr, 0xffffffff);
    SetColor(program, 1.0f, 0.6f, 0.2f, 0.5f);
    DrawQuad();
    // 0.5 * colour + 0.5 * 0.2; alpha 0.
    EXPECT_EQ(Rgba(153, 102, 51, 0), ReadRGBA8(target)[0]);
    over->Release();
    device->OMSetBlendState(nullptr, nullptr, 0xffffffff);
    add->Release();
}

TEST_F(Render, InstancesReadAnIntegerAttribute) {
    // One point per instance, placed by its (column, row) pair.
    const D3D10GL_SignatureElement sig[2] = {Element("POSITION", 0, 0, D3D10GL_COMPONENT_FLOAT, 2),
                                             Element("BLENDINDICES", 0, 1, D3D10GL_COMPONENT_UINT, 2)};
    std::vector<BYTE> blob = D3D10GL_EncodeSignature(sig, 2);
    const D3D10_INPUT_ELEMENT_DESC elements[2] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"BLENDINDICES", 0, DXGI_FORMAT_R16G16_UINT, 1, 0, D3D10_INPUT_PER_INSTANCE_DATA, 1}};
    ID3D10InputLayout* instanced = nullptr;
    ASSERT_EQ(S_OK, device->CreateInputLayout(elements, 2, blob.data(), blob.size(), &instanced));
    const float origin[2] = {0, 0};
    uint16_t cells[16];
    for (int i = 0; i < 8; ++i) {
        cells[2 * i] = uint16_t(i % 4);
        cells[2 * i + 1] = uint16_t(i / 4);
    }
    const uint16_t indices[1] = {0};
    ID3D10Buffer* vb = Buffer(D3D10_BIND_VERTEX_BUFFER, origin, sizeof(origin));
    ID3D10Buffer* ib = Buffer(D3D10_BIND_VERTEX_BUFFER, cells, sizeof(cells));
    ID3D10Buffer* index = Buffer(D3D10_BIND_INDEX_BUFFER, indices, sizeof(indices));
    ID3D10Texture2D* target = Target(4, 2, kBlack);
    D3D10GL_SetProgram(device, Program(R"(#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in uvec2 cell;
flat out uvec2 vCell;
void main() {
    vCell = cell;
    gl_Position = vec4(position + vec2(-0.75 + 0.5 * float(cell.x), 0.5 - float(cell.y)), 0.0, 1.0);
}
)",
                                       R"(#version 330 core
flat in uvec2 vCell;
layout(location = 0) out vec4 color;
void main() { color = vec4(float(vCell.x) * 0.25 + 0.25, float(vCell.y), 0.0, 1.0); }
)"));
    ID3D10Buffer* buffers[2] = {vb, ib};
    const UINT strides[2] = {8, 4}, offsets[2] = {0, 0};
    device->IASetInputLayout(instanced);
    device->IASetVertexBuffers(0, 2, buffers, strides, offsets);
    device->IASetIndexBuffer(index, DXGI_FORMAT_R16_UINT, 0);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_POINTLIST);
    // Instances 2 to 7 only: the first two cells stay black.
    device->DrawIndexedInstanced(1, 6, 0, 0, 2);
    std::vector<uint32_t> px = ReadRGBA8(target);
    for (int i = 0; i < 8; ++i) {
        const int x = i % 4, y = i / 4;
        const uint32_t expected = i < 2 ? 0u : Rgba(uint32_t(std::lround((x * 0.25 + 0.25) * 255)), y * 255, 0, 255);
        EXPECT_EQ(expected, px[y * 4 + x]) << "cell " << x << "," << y;
    }
    index->Release();
    ib->Release();
    vb->Release();
    instanced->Release();
}

TEST_F(Render, InputLayoutsMatchTheSignatureBySemantic) {
    const D3D10GL_SignatureElement sig[2] = {Element("POSITION", 0, 0, D3D10GL_COMPONENT_FLOAT, 3),
                                             Element("TEXCOORD", 1, 3, D3D10GL_COMPONENT_FLOAT, 2)};
    std::vector<BYTE> blob = D3D10GL_EncodeSignature(sig, 2);
    std::vector<D3D10GL_SignatureElement> decoded;
    ASSERT_TRUE(D3D10GL_DecodeSignature(blob.data(), blob.size(), decoded));
    ASSERT_EQ(2u, decoded.size());
    EXPECT_STREQ("TEXCOORD", decoded[1].semanticName);
    EXPECT_EQ(3, decoded[1].location);
    EXPECT_FALSE(D3D10GL_DecodeSignature(blob.data(), blob.size() - 1, decoded));

    ID3D10InputLayout* l = reinterpret_cast<ID3D10InputLayout*>(1);
    const D3D10_INPUT_ELEMENT_DESC missing[2] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0}};  // index 0, not 1
    EXPECT_EQ(E_INVALIDARG, device->CreateInputLayout(missing, 2, blob.data(), blob.size(), &l));
    EXPECT_EQ(nullptr, l);
    const D3D10_INPUT_ELEMENT_DESC extra[3] = {
        {"position", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, D3D10_APPEND_ALIGNED_ELEMENT, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 1, DXGI_FORMAT_R32G32_FLOAT, 0, D3D10_APPEND_ALIGNED_ELEMENT, D3D10_INPUT_PER_VERTEX_DATA, 0}};
    EXPECT_EQ(S_OK, device->CreateInputLayout(extra, 3, blob.data(), blob.size(), &l));
    ASSERT_NE(nullptr, l);
    l->Release();
    const D3D10_INPUT_ELEMENT_DESC wrongType[2] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_UINT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 1, DXGI_FORMAT_R32G32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0}};
    l = reinterpret_cast<ID3D10InputLayout*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateInputLayout(wrongType, 2, blob.data(), blob.size(), &l));
    EXPECT_EQ(nullptr, l);
    const BYTE junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    l = reinterpret_cast<ID3D10InputLayout*>(1);
    EXPECT_EQ(E_INVALIDARG, device->CreateInputLayout(extra, 3, junk, sizeof(junk), &l));
    EXPECT_EQ(nullptr, l);
}

TEST_F(Render, BoundTargetReadsBlack) {
    ID3D10Texture2D* both =
        Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE);
    ID3D10Texture2D* out = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_BIND_RENDER_TARGET);
    ID3D10RenderTargetView* bothRtv = Rtv(both);
    ID3D10ShaderResourceView* bothSrv = Srv(both);
    ID3D10RenderTargetView* outRtv = Rtv(out);
    const float white[4] = {1, 1, 1, 1};
    device->ClearRenderTargetView(bothRtv, white);
    device->ClearRenderTargetView(outRtv, white);
    ID3D10RenderTargetView* targets[2] = {outRtv, bothRtv};
    device->OMSetRenderTargets(2, targets, nullptr);
    SetViewport(4, 4);
    device->PSSetShaderResources(0, 1, &bothSrv);
    D3D10GL_SetProgram(device, Program(kQuadVS, R"(#version 330 core
in vec2 uv;
uniform sampler2D tex;
layout(location = 0) out vec4 color;
void main() { color = texture(tex, uv); }
)"));
    DrawQuad();
    for (uint32_t px : ReadRGBA8(out))
        EXPECT_EQ(0u, px);
    // Once it is no longer a target, its content reads again (the draw above left it undefined).
    device->OMSetRenderTargets(1, &outRtv, nullptr);
    device->ClearRenderTargetView(bothRtv, white);
    DrawQuad();
    for (uint32_t px : ReadRGBA8(out))
        EXPECT_EQ(0xffffffffu, px);
    outRtv->Release();
    bothSrv->Release();
    bothRtv->Release();
    out->Release();
    both->Release();
}

TEST_F(Render, BlockCompressedTexturesSample) {
    // One BC1 block: both end colours pure red (RGB565 0xF800), every index 0.
    const BYTE bc1[8] = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    // One BC3 block: alpha 255, colour pure green (0x07E0).
    const BYTE bc3[16] = {255, 255, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0xE0, 0x07, 0, 0, 0, 0};
    const struct {
        DXGI_FORMAT format;
        const BYTE* data;
        UINT pitch;
        uint32_t expected;
    } cases[2] = {{DXGI_FORMAT_BC1_UNORM, bc1, 8, Rgba(255, 0, 0, 255)},
                  {DXGI_FORMAT_BC3_UNORM, bc3, 16, Rgba(0, 255, 0, 255)}};
    GLuint program = Program(kQuadVS, kTextureFS);
    for (const auto& c : cases) {
        ID3D10Texture2D* source = Texture(4, 4, c.format, D3D10_BIND_SHADER_RESOURCE, c.data, c.pitch);
        ASSERT_NE(nullptr, source);
        ID3D10ShaderResourceView* srv = Srv(source);
        ID3D10Texture2D* target = Target(2, 2, kBlack);
        device->PSSetShaderResources(0, 1, &srv);
        D3D10GL_SetProgram(device, program);
        DrawQuad();
        for (uint32_t px : ReadRGBA8(target))
            EXPECT_EQ(c.expected, px) << "format " << c.format;
        device->ClearState();
        srv->Release();
        source->Release();
    }
}

namespace {

// Samples a texture at fixed coordinates into the texels of a 1 x n target, one per texel.
const char* kProbeVS = R"(#version 330 core
layout(location = 0) in vec2 position;
void main() { gl_Position = vec4(position, 0.0, 1.0); }
)";

}  // namespace

TEST_F(Render, CubeFacesAndVolumeSlicesKeepTheirOrientation) {
    // Face i holds colour i in its top row and colour i + 6 in its bottom row (2 x 2 faces).
    auto colour = [](int i) { return Rgba(i * 20, 255 - i * 20, i & 1 ? 255 : 0, 255); };
    std::vector<uint32_t> faces(6 * 4);
    std::vector<D3D10_SUBRESOURCE_DATA> init(6);
    for (int f = 0; f < 6; ++f) {
        faces[f * 4 + 0] = faces[f * 4 + 1] = colour(f);
        faces[f * 4 + 2] = faces[f * 4 + 3] = colour(f + 6);
        init[f] = {faces.data() + f * 4, 8, 0};
    }
    D3D10_TEXTURE2D_DESC d{};
    d.Width = d.Height = 2;
    d.MipLevels = 1;
    d.ArraySize = 6;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc = {1, 0};
    d.BindFlags = D3D10_BIND_SHADER_RESOURCE;
    d.MiscFlags = D3D10_RESOURCE_MISC_TEXTURECUBE;
    ID3D10Texture2D* cube = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture2D(&d, init.data(), &cube));
    ID3D10ShaderResourceView* cubeView = Srv(cube);
    // A 2 x 2 x 2 volume: slice 0 red, slice 1 green.
    uint32_t volumeTexels[8];
    for (int i = 0; i < 8; ++i)
        volumeTexels[i] = i < 4 ? Rgba(255, 0, 0, 255) : Rgba(0, 255, 0, 255);
    D3D10_TEXTURE3D_DESC vd{2, 2, 2, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D10_USAGE_DEFAULT, D3D10_BIND_SHADER_RESOURCE,
                            0, 0};
    D3D10_SUBRESOURCE_DATA vinit{volumeTexels, 8, 16};
    ID3D10Texture3D* volume = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture3D(&vd, &vinit, &volume));
    ID3D10ShaderResourceView* volumeView = Srv(volume);

    ID3D10Texture2D* target = Target(8, 1, kBlack);
    ID3D10ShaderResourceView* views[2] = {cubeView, volumeView};
    device->PSSetShaderResources(0, 2, views);
    ID3D10SamplerState* samplers[2] = {point, point};
    device->PSSetSamplers(0, 2, samplers);
    GLuint program = Program(kProbeVS, R"(#version 330 core
uniform samplerCube cube;
uniform sampler3D volume;
layout(location = 0) out vec4 color;
void main() {
    int i = int(gl_FragCoord.x);
    vec3 dirs[6] = vec3[6](vec3(1, 0.5, 0), vec3(1, -0.5, 0), vec3(-1, 0.5, 0), vec3(0, 1, 0.5), vec3(0, -1, 0.5),
                           vec3(0, 0.5, 1));
    if (i < 6) color = texture(cube, dirs[i]);
    else color = texture(volume, vec3(0.5, 0.5, i == 6 ? 0.25 : 0.75));
}
)");
    D3D10GL_MakeCurrent(device);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "cube"), 0);
    glUniform1i(glGetUniformLocation(program, "volume"), 1);
    D3D10GL_SetProgram(device, program);
    DrawQuad();
    std::vector<uint32_t> px = ReadRGBA8(target);
    EXPECT_EQ(colour(0), px[0]);      // +X, above the horizon: its top row
    EXPECT_EQ(colour(0 + 6), px[1]);  // +X, below: its bottom row
    EXPECT_EQ(colour(1), px[2]);      // -X
    // +Y seen from inside: +z lies towards its bottom row; -Y: +z towards its top row.
    EXPECT_EQ(colour(2 + 6), px[3]);
    EXPECT_EQ(colour(3), px[4]);
    EXPECT_EQ(colour(4), px[5]);  // +Z, above the horizon
    EXPECT_EQ(Rgba(255, 0, 0, 255), px[6]);
    EXPECT_EQ(Rgba(0, 255, 0, 255), px[7]);
    volumeView->Release();
    volume->Release();
    cubeView->Release();
    cube->Release();
}
