// State objects and input layouts.
#include <algorithm>
#include <cstring>
#include <strings.h>

#include "d3d10_internal.h"

namespace d3d10gl {

namespace {

GLenum GLBlend(D3D10_BLEND b) {
    switch (b) {
        case D3D10_BLEND_ZERO:
            return GL_ZERO;
        case D3D10_BLEND_ONE:
            return GL_ONE;
        case D3D10_BLEND_SRC_COLOR:
            return GL_SRC_COLOR;
        case D3D10_BLEND_INV_SRC_COLOR:
            return GL_ONE_MINUS_SRC_COLOR;
        case D3D10_BLEND_SRC_ALPHA:
            return GL_SRC_ALPHA;
        case D3D10_BLEND_INV_SRC_ALPHA:
            return GL_ONE_MINUS_SRC_ALPHA;
        case D3D10_BLEND_DEST_ALPHA:
            return GL_DST_ALPHA;
        case D3D10_BLEND_INV_DEST_ALPHA:
            return GL_ONE_MINUS_DST_ALPHA;
        case D3D10_BLEND_DEST_COLOR:
            return GL_DST_COLOR;
        case D3D10_BLEND_INV_DEST_COLOR:
            return GL_ONE_MINUS_DST_COLOR;
        case D3D10_BLEND_SRC_ALPHA_SAT:
            return GL_SRC_ALPHA_SATURATE;
        case D3D10_BLEND_BLEND_FACTOR:
            return GL_CONSTANT_COLOR;
        case D3D10_BLEND_INV_BLEND_FACTOR:
            return GL_ONE_MINUS_CONSTANT_COLOR;
        case D3D10_BLEND_SRC1_COLOR:
            return GL_SRC1_COLOR;
        case D3D10_BLEND_INV_SRC1_COLOR:
            return GL_ONE_MINUS_SRC1_COLOR;
        case D3D10_BLEND_SRC1_ALPHA:
            return GL_SRC1_ALPHA;
        case D3D10_BLEND_INV_SRC1_ALPHA:
            return GL_ONE_MINUS_SRC1_ALPHA;
        default:
            return 0;
    }
}

GLenum GLBlendOp(D3D10_BLEND_OP op) {
    switch (op) {
        case D3D10_BLEND_OP_ADD:
            return GL_FUNC_ADD;
        case D3D10_BLEND_OP_SUBTRACT:
            return GL_FUNC_SUBTRACT;
        case D3D10_BLEND_OP_REV_SUBTRACT:
            return GL_FUNC_REVERSE_SUBTRACT;
        case D3D10_BLEND_OP_MIN:
            return GL_MIN;
        case D3D10_BLEND_OP_MAX:
            return GL_MAX;
        default:
            return 0;
    }
}

bool ValidCompare(D3D10_COMPARISON_FUNC f) {
    return f >= D3D10_COMPARISON_NEVER && f <= D3D10_COMPARISON_ALWAYS;
}
bool ValidStencilOp(D3D10_STENCIL_OP op) {
    return op >= D3D10_STENCIL_OP_KEEP && op <= D3D10_STENCIL_OP_DECR;
}
bool ValidAddress(D3D10_TEXTURE_ADDRESS_MODE m) {
    return m >= D3D10_TEXTURE_ADDRESS_WRAP && m <= D3D10_TEXTURE_ADDRESS_MIRROR_ONCE;
}

GLenum GLAddress(D3D10_TEXTURE_ADDRESS_MODE m) {
    switch (m) {
        case D3D10_TEXTURE_ADDRESS_WRAP:
            return GL_REPEAT;
        case D3D10_TEXTURE_ADDRESS_MIRROR:
            return GL_MIRRORED_REPEAT;
        case D3D10_TEXTURE_ADDRESS_CLAMP:
            return GL_CLAMP_TO_EDGE;
        case D3D10_TEXTURE_ADDRESS_BORDER:
            return GL_CLAMP_TO_BORDER;
        case D3D10_TEXTURE_ADDRESS_MIRROR_ONCE:
            return GL_MIRROR_CLAMP_TO_EDGE;
        default:
            return GL_CLAMP_TO_EDGE;
    }
}

}  // namespace

GLenum GLCompare(D3D10_COMPARISON_FUNC f) {
    return GL_NEVER + (f - D3D10_COMPARISON_NEVER);
}

GLenum GLStencilOp(D3D10_STENCIL_OP op) {
    switch (op) {
        case D3D10_STENCIL_OP_KEEP:
            return GL_KEEP;
        case D3D10_STENCIL_OP_ZERO:
            return GL_ZERO;
        case D3D10_STENCIL_OP_REPLACE:
            return GL_REPLACE;
        case D3D10_STENCIL_OP_INCR_SAT:
            return GL_INCR;
        case D3D10_STENCIL_OP_DECR_SAT:
            return GL_DECR;
        case D3D10_STENCIL_OP_INVERT:
            return GL_INVERT;
        case D3D10_STENCIL_OP_INCR:
            return GL_INCR_WRAP;
        case D3D10_STENCIL_OP_DECR:
            return GL_DECR_WRAP;
        default:
            return GL_KEEP;
    }
}

bool ValidBlend(D3D10_BLEND b) {
    return (b >= D3D10_BLEND_ZERO && b <= D3D10_BLEND_SRC_ALPHA_SAT) ||
           (b >= D3D10_BLEND_BLEND_FACTOR && b <= D3D10_BLEND_INV_SRC1_ALPHA);
}

bool ValidBlendDesc(const D3D10_BLEND_DESC& d) {
    // (GL_ZERO is 0: the D3D values are checked, not the GL ones.)
    return ValidBlend(d.SrcBlend) && ValidBlend(d.DestBlend) && ValidBlend(d.SrcBlendAlpha) &&
           ValidBlend(d.DestBlendAlpha) && GLBlendOp(d.BlendOp) && GLBlendOp(d.BlendOpAlpha) &&
           // colour factors are not allowed for alpha
           d.SrcBlendAlpha != D3D10_BLEND_SRC_COLOR && d.SrcBlendAlpha != D3D10_BLEND_INV_SRC_COLOR &&
           d.SrcBlendAlpha != D3D10_BLEND_DEST_COLOR && d.SrcBlendAlpha != D3D10_BLEND_INV_DEST_COLOR &&
           d.DestBlendAlpha != D3D10_BLEND_SRC_COLOR && d.DestBlendAlpha != D3D10_BLEND_INV_SRC_COLOR &&
           d.DestBlendAlpha != D3D10_BLEND_DEST_COLOR && d.DestBlendAlpha != D3D10_BLEND_INV_DEST_COLOR;
}

bool ValidDepthStencilDesc(const D3D10_DEPTH_STENCIL_DESC& d) {
    auto face = [](const D3D10_DEPTH_STENCILOP_DESC& f) {
        return ValidStencilOp(f.StencilFailOp) && ValidStencilOp(f.StencilDepthFailOp) &&
               ValidStencilOp(f.StencilPassOp) && ValidCompare(f.StencilFunc);
    };
    return (d.DepthWriteMask == D3D10_DEPTH_WRITE_MASK_ZERO || d.DepthWriteMask == D3D10_DEPTH_WRITE_MASK_ALL) &&
           ValidCompare(d.DepthFunc) && face(d.FrontFace) && face(d.BackFace);
}

bool ValidRasterizerDesc(const D3D10_RASTERIZER_DESC& d) {
    return (d.FillMode == D3D10_FILL_SOLID || d.FillMode == D3D10_FILL_WIREFRAME) &&
           (d.CullMode >= D3D10_CULL_NONE && d.CullMode <= D3D10_CULL_BACK);
}

bool ValidSamplerDesc(const D3D10_SAMPLER_DESC& d) {
    const UINT f = d.Filter & ~0x80u;
    const bool knownFilter = f == 0x55 || (f & ~0x15u) == 0;
    return knownFilter && ValidAddress(d.AddressU) && ValidAddress(d.AddressV) && ValidAddress(d.AddressW) &&
           d.MaxAnisotropy <= 16 && (!(d.Filter & 0x80u) || ValidCompare(d.ComparisonFunc)) && d.MinLOD <= d.MaxLOD;
}

GLuint MakeSampler(const D3D10_SAMPLER_DESC& d, bool anisotropy) {
    GLuint s = 0;
    glGenSamplers(1, &s);
    const bool aniso = (d.Filter & 0x40u) != 0;
    const bool minLinear = aniso || (d.Filter & 0x10u);
    const bool magLinear = aniso || (d.Filter & 0x04u);
    const bool mipLinear = aniso || (d.Filter & 0x01u);
    const GLenum minFilter = minLinear ? (mipLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                                       : (mipLinear ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GLAddress(d.AddressU));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GLAddress(d.AddressV));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, GLAddress(d.AddressW));
    glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, d.MipLODBias);
    glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, d.MinLOD);
    glSamplerParameterf(s, GL_TEXTURE_MAX_LOD, d.MaxLOD);
    glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, d.BorderColor);
    if (d.Filter & 0x80u) {
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_FUNC, GLCompare(d.ComparisonFunc));
    }
    if (aniso && anisotropy)
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT, float(std::max<UINT>(1, d.MaxAnisotropy)));
    return s;
}

BlendState::BlendState(Device* device, const D3D10_BLEND_DESC& desc) : DeviceChild(device), desc_(desc) {
    src = GLBlend(desc.SrcBlend);
    dst = GLBlend(desc.DestBlend);
    op = GLBlendOp(desc.BlendOp);
    srcAlpha = GLBlend(desc.SrcBlendAlpha);
    dstAlpha = GLBlend(desc.DestBlendAlpha);
    opAlpha = GLBlendOp(desc.BlendOpAlpha);
    uniform = true;
    for (int i = 1; i < 8; ++i)
        if (bool(desc.BlendEnable[i]) != bool(desc.BlendEnable[0]) ||
            desc.RenderTargetWriteMask[i] != desc.RenderTargetWriteMask[0])
            uniform = false;
}
HRESULT BlendState::QueryInterface(REFIID riid, void** object) {
    return QueryAs<BlendState, ID3D10BlendState, ID3D10DeviceChild>(this, riid, object);
}

DepthStencilState::DepthStencilState(Device* device, const D3D10_DEPTH_STENCIL_DESC& desc)
    : DeviceChild(device), desc_(desc) {}
HRESULT DepthStencilState::QueryInterface(REFIID riid, void** object) {
    return QueryAs<DepthStencilState, ID3D10DepthStencilState, ID3D10DeviceChild>(this, riid, object);
}

RasterizerState::RasterizerState(Device* device, const D3D10_RASTERIZER_DESC& desc)
    : DeviceChild(device), desc_(desc) {}
HRESULT RasterizerState::QueryInterface(REFIID riid, void** object) {
    return QueryAs<RasterizerState, ID3D10RasterizerState, ID3D10DeviceChild>(this, riid, object);
}

SamplerState::SamplerState(Device* device, const D3D10_SAMPLER_DESC& desc, GLuint sampler)
    : DeviceChild(device), glSampler(sampler), desc_(desc) {}
SamplerState::~SamplerState() {
    device_->MakeCurrent();
    glDeleteSamplers(1, &glSampler);
}
HRESULT SamplerState::QueryInterface(REFIID riid, void** object) {
    return QueryAs<SamplerState, ID3D10SamplerState, ID3D10DeviceChild>(this, riid, object);
}

InputLayout::InputLayout(Device* device, std::vector<LayoutAttribute> attributes)
    : DeviceChild(device), attributes_(std::move(attributes)) {}
HRESULT InputLayout::QueryInterface(REFIID riid, void** object) {
    return QueryAs<InputLayout, ID3D10InputLayout, ID3D10DeviceChild>(this, riid, object);
}

HRESULT Device::CreateBlendState(const D3D10_BLEND_DESC* desc, ID3D10BlendState** state) {
    if (state)
        *state = nullptr;
    if (!desc || !state || !ValidBlendDesc(*desc))
        return E_INVALIDARG;
    *state = new BlendState(this, *desc);
    return S_OK;
}

HRESULT Device::CreateDepthStencilState(const D3D10_DEPTH_STENCIL_DESC* desc, ID3D10DepthStencilState** state) {
    if (state)
        *state = nullptr;
    if (!desc || !state || !ValidDepthStencilDesc(*desc))
        return E_INVALIDARG;
    *state = new DepthStencilState(this, *desc);
    return S_OK;
}

HRESULT Device::CreateRasterizerState(const D3D10_RASTERIZER_DESC* desc, ID3D10RasterizerState** state) {
    if (state)
        *state = nullptr;
    if (!desc || !state || !ValidRasterizerDesc(*desc))
        return E_INVALIDARG;
    *state = new RasterizerState(this, *desc);
    return S_OK;
}

HRESULT Device::CreateSamplerState(const D3D10_SAMPLER_DESC* desc, ID3D10SamplerState** state) {
    if (state)
        *state = nullptr;
    if (!desc || !state || !ValidSamplerDesc(*desc))
        return E_INVALIDARG;
    MakeCurrent();
    *state = new SamplerState(this, *desc, MakeSampler(*desc, hasAnisotropy));
    return S_OK;
}

HRESULT Device::CreateInputLayout(const D3D10_INPUT_ELEMENT_DESC* elements, UINT count, const void* bytecode,
                                  SIZE_T bytecodeLength, ID3D10InputLayout** layout) {
    if (layout)
        *layout = nullptr;
    if (!layout || (count && !elements) || count > 32)
        return E_INVALIDARG;
    std::vector<D3D10GL_SignatureElement> signature;
    if (!D3D10GL_DecodeSignature(bytecode, bytecodeLength, signature))
        return E_INVALIDARG;
    std::vector<LayoutAttribute> attributes;
    std::vector<UINT> slotEnd(D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT, 0);
    std::vector<bool> matched(signature.size(), false);
    for (UINT i = 0; i < count; ++i) {
        const D3D10_INPUT_ELEMENT_DESC& e = elements[i];
        if (!e.SemanticName || e.InputSlot >= D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT)
            return E_INVALIDARG;
        if (e.InputSlotClass != D3D10_INPUT_PER_VERTEX_DATA && e.InputSlotClass != D3D10_INPUT_PER_INSTANCE_DATA)
            return E_INVALIDARG;
        const FormatInfo* f = FindFormat(e.Format);
        if (!f || f->vertexComponents == 0)
            return E_INVALIDARG;
        const UINT size = f->elementBytes;
        const UINT offset =
            e.AlignedByteOffset == D3D10_APPEND_ALIGNED_ELEMENT ? slotEnd[e.InputSlot] : e.AlignedByteOffset;
        slotEnd[e.InputSlot] = offset + size;
        // Two elements with one semantic are an error.
        for (UINT j = 0; j < i; ++j)
            if (elements[j].SemanticName && strcasecmp(elements[j].SemanticName, e.SemanticName) == 0 &&
                elements[j].SemanticIndex == e.SemanticIndex)
                return E_INVALIDARG;
        for (size_t s = 0; s < signature.size(); ++s) {
            const D3D10GL_SignatureElement& se = signature[s];
            if (strcasecmp(se.semanticName, e.SemanticName) != 0 || se.semanticIndex != e.SemanticIndex)
                continue;
            matched[s] = true;
            const bool shaderInteger = se.componentType != D3D10GL_COMPONENT_FLOAT;
            if (shaderInteger != f->integer || se.location < 0 || se.location >= maxVertexAttribs)
                return E_INVALIDARG;
            LayoutAttribute a;
            a.location = GLuint(se.location);
            a.slot = e.InputSlot;
            a.offset = offset;
            a.components = f->vertexComponents;
            a.type = f->vertexType;
            a.normalized = f->vertexNormalized;
            a.integer = f->integer;
            a.divisor =
                e.InputSlotClass == D3D10_INPUT_PER_INSTANCE_DATA ? std::max<UINT>(1, e.InstanceDataStepRate) : 0;
            if (e.InputSlotClass == D3D10_INPUT_PER_INSTANCE_DATA && e.InstanceDataStepRate == 0)
                a.divisor = 0x7fffffff;  // one value for every instance
            attributes.push_back(a);
        }
    }
    // Every input the shader reads must come from the layout (system values excepted).
    for (size_t s = 0; s < signature.size(); ++s)
        if (!matched[s] && strncasecmp(signature[s].semanticName, "SV_", 3) != 0)
            return E_INVALIDARG;
    *layout = new InputLayout(this, std::move(attributes));
    return S_OK;
}

}  // namespace d3d10gl
