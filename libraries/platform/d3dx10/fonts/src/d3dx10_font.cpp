// ID3DX10Font: glyph atlas on the device, text drawn as quads with a small GLSL program.
#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "font_dc.h"
#include "platform/d3d10_gl.h"
#include "platform/d3d10_refcounted.h"
#include "platform/d3dx10font.h"

namespace {

using d3dx10_font::Face;
using d3dx10_font::GlyphBitmap;

const char* kVertexShader = R"(#version 330 core
in vec2 POSITION;
in vec2 TEXCOORD;
uniform vec2 uViewportSize;
out vec2 vTexcoord;
void main() {
    vTexcoord = TEXCOORD;
    gl_Position = vec4(POSITION.x / uViewportSize.x * 2.0 - 1.0, 1.0 - POSITION.y / uViewportSize.y * 2.0, 0.0, 1.0);
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec2 vTexcoord;
uniform sampler2D uAtlas;
uniform vec4 uColor;
layout(location = 0) out vec4 oColor;
void main() {
    oColor = vec4(uColor.rgb, uColor.a * texture(uAtlas, vTexcoord).r);
}
)";

struct QuadVertex {
    float x, y, u, v;
};

struct AtlasGlyph {
    int x = 0, y = 0, w = 0, h = 0;  // in the atlas
    int left = 0, top = 0;           // relative to the pen on the baseline
};

constexpr int kAtlasWidth = 1024;
constexpr int kMaxAtlasHeight = 4096;

class Font final : public d3d10gl::RefCounted<ID3DX10Font> {
public:
    Font(ID3D10Device* device, const D3DX10_FONT_DESCA& desc, std::shared_ptr<Face> face)
        : device_(device), desc_(desc), face_(std::move(face)) {
        device_->AddRef();
        dc_ = d3dx10_font::NewFontDC(face_);
        atlasHeight_ = 256;
        atlas_.assign(size_t(kAtlasWidth) * atlasHeight_, 0);
    }

    HRESULT QueryInterface(REFIID, void** object) override {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT GetDevice(ID3D10Device** device) override {
        if (!device)
            return E_INVALIDARG;
        *device = device_;
        device_->AddRef();
        return S_OK;
    }
    HRESULT GetDescA(D3DX10_FONT_DESCA* desc) override {
        if (!desc)
            return E_INVALIDARG;
        *desc = desc_;
        return S_OK;
    }
    BOOL GetTextMetricsA(TEXTMETRICA* tm) override {
        if (!tm)
            return FALSE;
        *tm = TEXTMETRICA{};
        tm->tmHeight = face_->LineHeight();
        tm->tmAscent = face_->Ascent();
        tm->tmDescent = face_->Descent();
        tm->tmAveCharWidth = face_->Advance(face_->GlyphIndex('x'));
        tm->tmMaxCharWidth = face_->MaxAdvance();
        tm->tmWeight = face_->Bold() ? FW_BOLD : FW_NORMAL;
        tm->tmItalic = face_->Italic() ? 1 : 0;
        tm->tmFirstChar = 32;
        tm->tmLastChar = 255;
        tm->tmDefaultChar = '?';
        tm->tmBreakChar = ' ';
        tm->tmPitchAndFamily = VARIABLE_PITCH | TRUETYPE_FONTTYPE;
        tm->tmCharSet = desc_.CharSet;
        return TRUE;
    }
    HDC GetDC() override { return dc_; }

    HRESULT PreloadCharacters(UINT first, UINT last) override {
        if (last < first)
            return S_OK;
        last = std::min(last, first + 0xFFFFu);
        for (UINT c = first; c <= last; ++c)
            if (!Cache(face_->GlyphIndex(c)))
                return E_OUTOFMEMORY;
        return S_OK;
    }
    HRESULT PreloadGlyphs(UINT first, UINT last) override {
        if (last < first)
            return S_OK;
        last = std::min(last, first + 0xFFFFu);
        for (UINT g = first; g <= last && g < face_->GlyphCount(); ++g)
            if (!Cache(g))
                return E_OUTOFMEMORY;
        return S_OK;
    }
    HRESULT PreloadTextA(LPCSTR text, INT count) override {
        if (!text)
            return E_INVALIDARG;
        const size_t n = count < 0 ? std::strlen(text) : size_t(count);
        for (size_t i = 0; i < n; ++i)
            if (!Cache(face_->GlyphIndex(d3dx10_font::CodePointOf(uint8_t(text[i])))))
                return E_OUTOFMEMORY;
        return S_OK;
    }

    INT DrawTextA(ID3DX10Sprite*, LPCSTR text, INT count, LPRECT rect, UINT format, D3DXCOLOR color) override {
        if (!rect || !text)
            return 0;
        d3dx10_font::Layout layout = d3dx10_font::LayoutText(*face_, text, count, *rect, format);
        if (format & DT_CALCRECT) {
            *rect = layout.bounds;
            return layout.height;
        }
        Draw(layout, *rect, format, color);
        return layout.height;
    }

private:
    ~Font() override {
        ReleaseDeviceObjects();
        d3dx10_font::FreeFontDC(dc_);
        device_->Release();
    }

    // Places a glyph in the atlas once; false when the atlas is full.
    bool Cache(uint32_t glyph) {
        if (glyphs_.count(glyph))
            return true;
        GlyphBitmap bm;
        AtlasGlyph ag;
        if (face_->Render(glyph, bm) && bm.width > 0 && bm.height > 0) {
            if (bm.width + 2 > kAtlasWidth)
                return false;
            if (shelfX_ + bm.width + 1 > kAtlasWidth) {
                shelfY_ += shelfHeight_ + 1;
                shelfX_ = 1;
                shelfHeight_ = 0;
            }
            while (shelfY_ + bm.height + 1 > atlasHeight_) {
                if (atlasHeight_ * 2 > kMaxAtlasHeight)
                    return false;
                atlasHeight_ *= 2;
                atlas_.resize(size_t(kAtlasWidth) * atlasHeight_, 0);
                atlasResized_ = true;
            }
            ag = AtlasGlyph{shelfX_, shelfY_, bm.width, bm.height, bm.left, bm.top};
            for (int y = 0; y < bm.height; ++y)
                std::memcpy(&atlas_[size_t(shelfY_ + y) * kAtlasWidth + shelfX_], &bm.coverage[size_t(y) * bm.width],
                            bm.width);
            shelfX_ += bm.width + 1;
            shelfHeight_ = std::max(shelfHeight_, bm.height);
            atlasDirty_ = true;
        }
        glyphs_[glyph] = ag;
        return true;
    }

    bool EnsureDeviceObjects() {
        if (!program_) {
            program_ = BuildProgram();
            if (!program_)
                return false;
        }
        if (!layout_) {
            const D3D10_INPUT_ELEMENT_DESC elements[] = {
                {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
                {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 8, D3D10_INPUT_PER_VERTEX_DATA, 0},
            };
            D3D10GL_SignatureElement sig[2] = {};
            std::strcpy(sig[0].semanticName, "POSITION");
            sig[0].location = 0;
            sig[0].componentType = D3D10GL_COMPONENT_FLOAT;
            sig[0].componentCount = 2;
            std::strcpy(sig[1].semanticName, "TEXCOORD");
            sig[1].location = 1;
            sig[1].componentType = D3D10GL_COMPONENT_FLOAT;
            sig[1].componentCount = 2;
            const std::vector<BYTE> blob = D3D10GL_EncodeSignature(sig, 2);
            if (FAILED(device_->CreateInputLayout(elements, 2, blob.data(), blob.size(), &layout_)))
                return false;
        }
        if (!blend_) {
            D3D10_BLEND_DESC b{};
            b.BlendEnable[0] = TRUE;
            b.SrcBlend = D3D10_BLEND_SRC_ALPHA;
            b.DestBlend = D3D10_BLEND_INV_SRC_ALPHA;
            b.BlendOp = D3D10_BLEND_OP_ADD;
            b.SrcBlendAlpha = D3D10_BLEND_ONE;
            b.DestBlendAlpha = D3D10_BLEND_INV_SRC_ALPHA;
            b.BlendOpAlpha = D3D10_BLEND_OP_ADD;
            for (auto& m : b.RenderTargetWriteMask)
                m = D3D10_COLOR_WRITE_ENABLE_ALL;
            D3D10_DEPTH_STENCIL_DESC d{};
            d.DepthEnable = FALSE;
            d.DepthWriteMask = D3D10_DEPTH_WRITE_MASK_ZERO;
            d.DepthFunc = D3D10_COMPARISON_ALWAYS;
            d.StencilEnable = FALSE;
            d.FrontFace = d.BackFace = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP,
                                        D3D10_COMPARISON_ALWAYS};
            D3D10_RASTERIZER_DESC r{};
            r.FillMode = D3D10_FILL_SOLID;
            r.CullMode = D3D10_CULL_NONE;
            r.DepthClipEnable = TRUE;
            D3D10_SAMPLER_DESC s{};
            s.Filter = D3D10_FILTER_MIN_MAG_MIP_POINT;
            s.AddressU = s.AddressV = s.AddressW = D3D10_TEXTURE_ADDRESS_CLAMP;
            s.ComparisonFunc = D3D10_COMPARISON_NEVER;
            s.MaxLOD = D3D10_FLOAT32_MAX;
            if (FAILED(device_->CreateBlendState(&b, &blend_)) ||
                FAILED(device_->CreateDepthStencilState(&d, &depth_)) ||
                FAILED(device_->CreateRasterizerState(&r, &raster_)) ||
                FAILED(device_->CreateSamplerState(&s, &sampler_)))
                return false;
        }
        if (!atlasTexture_ || atlasResized_) {
            if (atlasView_)
                atlasView_->Release();
            if (atlasTexture_)
                atlasTexture_->Release();
            atlasView_ = nullptr;
            atlasTexture_ = nullptr;
            D3D10_TEXTURE2D_DESC t{};
            t.Width = kAtlasWidth;
            t.Height = UINT(atlasHeight_);
            t.MipLevels = 1;
            t.ArraySize = 1;
            t.Format = DXGI_FORMAT_R8_UNORM;
            t.SampleDesc.Count = 1;
            t.Usage = D3D10_USAGE_DEFAULT;
            t.BindFlags = D3D10_BIND_SHADER_RESOURCE;
            D3D10_SUBRESOURCE_DATA init{atlas_.data(), UINT(kAtlasWidth), UINT(atlas_.size())};
            D3D10_SHADER_RESOURCE_VIEW_DESC view{};
            view.Format = DXGI_FORMAT_R8_UNORM;
            view.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
            view.Texture2D.MostDetailedMip = 0;
            view.Texture2D.MipLevels = 1;
            if (FAILED(device_->CreateTexture2D(&t, &init, &atlasTexture_)) || !atlasTexture_ ||
                FAILED(device_->CreateShaderResourceView(atlasTexture_, &view, &atlasView_)) || !atlasView_)
                return false;
            atlasResized_ = false;
            atlasDirty_ = false;
        }
        if (atlasDirty_) {
            device_->UpdateSubresource(atlasTexture_, 0, nullptr, atlas_.data(), UINT(kAtlasWidth),
                                       UINT(atlas_.size()));
            atlasDirty_ = false;
        }
        return true;
    }

    unsigned int BuildProgram() {
        const unsigned int vs = D3D10GL_CreateShader(device_, D3D10GL_SHADER_VERTEX, kVertexShader, nullptr);
        const unsigned int fs = D3D10GL_CreateShader(device_, D3D10GL_SHADER_FRAGMENT, kFragmentShader, nullptr);
        const D3D10GL_AttributeBinding attributes[] = {{"POSITION", 0}, {"TEXCOORD", 1}};
        const unsigned int p = vs && fs ? D3D10GL_CreateProgram(device_, vs, fs, attributes, 2, 0, nullptr) : 0;
        D3D10GL_DeleteShader(device_, vs);
        D3D10GL_DeleteShader(device_, fs);
        if (!p)
            return 0;
        viewportUniform_ = D3D10GL_UniformLocation(device_, p, "uViewportSize");
        colorUniform_ = D3D10GL_UniformLocation(device_, p, "uColor");
        const INT atlasUnit = 0;
        D3D10GL_SetUniform(device_, p, D3D10GL_UniformLocation(device_, p, "uAtlas"), D3D10GL_COMPONENT_SINT, 1, 1,
                           &atlasUnit);
        return p;
    }

    void Draw(const d3dx10_font::Layout& layout, const RECT& clip, UINT format, const D3DXCOLOR& color) {
        for (const auto& g : layout.glyphs)
            Cache(g.glyph);
        UINT viewportCount = 1;
        D3D10_VIEWPORT vp{};
        device_->RSGetViewports(&viewportCount, &vp);
        if (viewportCount == 0 || vp.Width == 0 || vp.Height == 0)
            return;

        std::vector<QuadVertex> vertices;
        const bool clipped = !(format & DT_NOCLIP);
        const float invW = 1.0f / kAtlasWidth, invH = 1.0f / float(atlasHeight_);
        for (const auto& pg : layout.glyphs) {
            const AtlasGlyph& a = glyphs_[pg.glyph];
            if (a.w == 0 || a.h == 0)
                continue;
            float x0 = float(pg.x + a.left), y0 = float(pg.y - a.top);
            float x1 = x0 + float(a.w), y1 = y0 + float(a.h);
            float u0 = a.x * invW, v0 = a.y * invH, u1 = (a.x + a.w) * invW, v1 = (a.y + a.h) * invH;
            if (clipped) {
                const float cl = float(clip.left), ct = float(clip.top), cr = float(clip.right),
                            cb = float(clip.bottom);
                if (x1 <= cl || x0 >= cr || y1 <= ct || y0 >= cb)
                    continue;
                auto cut = [](float& p0, float& p1, float& t0, float& t1, float lo, float hi) {
                    const float scale = (t1 - t0) / (p1 - p0);
                    if (p0 < lo) {
                        t0 += (lo - p0) * scale;
                        p0 = lo;
                    }
                    if (p1 > hi) {
                        t1 -= (p1 - hi) * scale;
                        p1 = hi;
                    }
                };
                cut(x0, x1, u0, u1, cl, cr);
                cut(y0, y1, v0, v1, ct, cb);
            }
            const QuadVertex q[6] = {{x0, y0, u0, v0}, {x1, y0, u1, v0}, {x0, y1, u0, v1},
                                     {x1, y0, u1, v0}, {x1, y1, u1, v1}, {x0, y1, u0, v1}};
            vertices.insert(vertices.end(), q, q + 6);
        }
        if (vertices.empty() || !EnsureDeviceObjects() || !EnsureVertexBuffer(vertices.size()))
            return;
        void* mapped = nullptr;
        if (FAILED(vertexBuffer_->Map(D3D10_MAP_WRITE_DISCARD, 0, &mapped)) || !mapped)
            return;
        std::memcpy(mapped, vertices.data(), vertices.size() * sizeof(QuadVertex));
        vertexBuffer_->Unmap();

        // Keep the caller's pipeline state.
        ID3D10InputLayout* oldLayout = nullptr;
        D3D10_PRIMITIVE_TOPOLOGY oldTopology = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
        ID3D10BlendState* oldBlend = nullptr;
        FLOAT oldFactor[4] = {};
        UINT oldMask = 0xFFFFFFFFu;
        ID3D10DepthStencilState* oldDepth = nullptr;
        UINT oldRef = 0;
        ID3D10RasterizerState* oldRaster = nullptr;
        ID3D10ShaderResourceView* oldView = nullptr;
        device_->IAGetInputLayout(&oldLayout);
        device_->IAGetPrimitiveTopology(&oldTopology);
        device_->OMGetBlendState(&oldBlend, oldFactor, &oldMask);
        device_->OMGetDepthStencilState(&oldDepth, &oldRef);
        device_->RSGetState(&oldRaster);
        device_->PSGetShaderResources(0, 1, &oldView);
        const unsigned int oldProgram = D3D10GL_GetProgram(device_);

        const float viewportSize[2] = {float(vp.Width), float(vp.Height)};
        const float rgba[4] = {color.r, color.g, color.b, color.a};
        D3D10GL_SetUniform(device_, program_, viewportUniform_, D3D10GL_COMPONENT_FLOAT, 2, 1, viewportSize);
        D3D10GL_SetUniform(device_, program_, colorUniform_, D3D10GL_COMPONENT_FLOAT, 4, 1, rgba);

        const UINT stride = sizeof(QuadVertex), offset = 0;
        const FLOAT factor[4] = {0, 0, 0, 0};
        device_->IASetInputLayout(layout_);
        device_->IASetVertexBuffers(0, 1, &vertexBuffer_, &stride, &offset);
        device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        device_->OMSetBlendState(blend_, factor, 0xFFFFFFFFu);
        device_->OMSetDepthStencilState(depth_, 0);
        device_->RSSetState(raster_);
        device_->PSSetShaderResources(0, 1, &atlasView_);
        device_->PSSetSamplers(0, 1, &sampler_);
        D3D10GL_SetProgram(device_, program_);
        device_->Draw(UINT(vertices.size()), 0);

        D3D10GL_SetProgram(device_, oldProgram);
        device_->IASetInputLayout(oldLayout);
        device_->IASetPrimitiveTopology(oldTopology);
        device_->OMSetBlendState(oldBlend, oldFactor, oldMask);
        device_->OMSetDepthStencilState(oldDepth, oldRef);
        device_->RSSetState(oldRaster);
        device_->PSSetShaderResources(0, 1, &oldView);
        for (IUnknown* o : std::initializer_list<IUnknown*>{oldLayout, oldBlend, oldDepth, oldRaster, oldView})
            if (o)
                o->Release();
    }

    bool EnsureVertexBuffer(size_t count) {
        if (vertexBuffer_ && vertexCapacity_ >= count)
            return true;
        if (vertexBuffer_)
            vertexBuffer_->Release();
        vertexBuffer_ = nullptr;
        size_t capacity = std::max<size_t>(count, 6 * 256);
        D3D10_BUFFER_DESC d{};
        d.ByteWidth = UINT(capacity * sizeof(QuadVertex));
        d.Usage = D3D10_USAGE_DYNAMIC;
        d.BindFlags = D3D10_BIND_VERTEX_BUFFER;
        d.CPUAccessFlags = D3D10_CPU_ACCESS_WRITE;
        if (FAILED(device_->CreateBuffer(&d, nullptr, &vertexBuffer_)) || !vertexBuffer_)
            return false;
        vertexCapacity_ = capacity;
        return true;
    }

    void ReleaseDeviceObjects() {
        for (IUnknown* o : std::initializer_list<IUnknown*>{layout_, blend_, depth_, raster_, sampler_, atlasView_,
                                                            atlasTexture_, vertexBuffer_})
            if (o)
                o->Release();
        D3D10GL_DeleteProgram(device_, program_);
    }

    ID3D10Device* device_;
    D3DX10_FONT_DESCA desc_;
    std::shared_ptr<Face> face_;
    HDC dc_ = nullptr;

    std::unordered_map<uint32_t, AtlasGlyph> glyphs_;
    std::vector<uint8_t> atlas_;
    int atlasHeight_ = 0;
    int shelfX_ = 1, shelfY_ = 1, shelfHeight_ = 0;
    bool atlasDirty_ = false, atlasResized_ = false;

    unsigned int program_ = 0;
    INT viewportUniform_ = -1, colorUniform_ = -1;
    ID3D10InputLayout* layout_ = nullptr;
    ID3D10BlendState* blend_ = nullptr;
    ID3D10DepthStencilState* depth_ = nullptr;
    ID3D10RasterizerState* raster_ = nullptr;
    ID3D10SamplerState* sampler_ = nullptr;
    ID3D10Texture2D* atlasTexture_ = nullptr;
    ID3D10ShaderResourceView* atlasView_ = nullptr;
    ID3D10Buffer* vertexBuffer_ = nullptr;
    size_t vertexCapacity_ = 0;
};

}  // namespace

HRESULT D3DX10CreateFontIndirectA(ID3D10Device* device, const D3DX10_FONT_DESCA* desc, ID3DX10Font** font) {
    if (!font)
        return E_INVALIDARG;
    *font = nullptr;
    if (!device || !desc)
        return E_INVALIDARG;
    const std::string face(desc->FaceName, strnlen(desc->FaceName, LF_FACESIZE));
    std::shared_ptr<Face> f = Face::Open(face, desc->Height, int(desc->Weight), desc->Italic != FALSE);
    if (!f)
        return E_FAIL;
    D3DX10_FONT_DESCA copy = *desc;
    copy.FaceName[LF_FACESIZE - 1] = '\0';
    auto* object = new (std::nothrow) Font(device, copy, std::move(f));
    if (!object)
        return E_OUTOFMEMORY;
    *font = object;
    return S_OK;
}
