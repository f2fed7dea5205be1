// DXGI formats as GL texture and vertex formats.
#include "d3d10_internal.h"

namespace d3d10gl {
namespace {

struct Row {
    DXGI_FORMAT format;
    GLenum internalFormat, pixelFormat, pixelType;
    UINT bytes;
    enum Kind { Float, Norm, Uint, Sint, Depth, DepthStencil, Block } kind;
    bool renderable;
    GLint components;  // as a vertex attribute, 0: none
    GLenum vertexType;
};

constexpr Row kRows[] = {
    {DXGI_FORMAT_R32G32B32A32_FLOAT, GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, Row::Float, true, 4, GL_FLOAT},
    {DXGI_FORMAT_R32G32B32A32_UINT, GL_RGBA32UI, GL_RGBA_INTEGER, GL_UNSIGNED_INT, 16, Row::Uint, true, 4,
     GL_UNSIGNED_INT},
    {DXGI_FORMAT_R32G32B32A32_SINT, GL_RGBA32I, GL_RGBA_INTEGER, GL_INT, 16, Row::Sint, true, 4, GL_INT},
    {DXGI_FORMAT_R32G32B32_FLOAT, GL_RGB32F, GL_RGB, GL_FLOAT, 12, Row::Float, false, 3, GL_FLOAT},
    {DXGI_FORMAT_R32G32B32_UINT, GL_RGB32UI, GL_RGB_INTEGER, GL_UNSIGNED_INT, 12, Row::Uint, false, 3, GL_UNSIGNED_INT},
    {DXGI_FORMAT_R32G32B32_SINT, GL_RGB32I, GL_RGB_INTEGER, GL_INT, 12, Row::Sint, false, 3, GL_INT},
    {DXGI_FORMAT_R16G16B16A16_FLOAT, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, Row::Float, true, 4, GL_HALF_FLOAT},
    {DXGI_FORMAT_R16G16B16A16_UNORM, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, 8, Row::Norm, true, 4, GL_UNSIGNED_SHORT},
    {DXGI_FORMAT_R16G16B16A16_UINT, GL_RGBA16UI, GL_RGBA_INTEGER, GL_UNSIGNED_SHORT, 8, Row::Uint, true, 4,
     GL_UNSIGNED_SHORT},
    {DXGI_FORMAT_R16G16B16A16_SNORM, GL_RGBA16_SNORM, GL_RGBA, GL_SHORT, 8, Row::Norm, false, 4, GL_SHORT},
    {DXGI_FORMAT_R16G16B16A16_SINT, GL_RGBA16I, GL_RGBA_INTEGER, GL_SHORT, 8, Row::Sint, true, 4, GL_SHORT},
    {DXGI_FORMAT_R32G32_FLOAT, GL_RG32F, GL_RG, GL_FLOAT, 8, Row::Float, true, 2, GL_FLOAT},
    {DXGI_FORMAT_R32G32_UINT, GL_RG32UI, GL_RG_INTEGER, GL_UNSIGNED_INT, 8, Row::Uint, true, 2, GL_UNSIGNED_INT},
    {DXGI_FORMAT_R32G32_SINT, GL_RG32I, GL_RG_INTEGER, GL_INT, 8, Row::Sint, true, 2, GL_INT},
    {DXGI_FORMAT_R10G10B10A2_UNORM, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, Row::Norm, true, 0, 0},
    {DXGI_FORMAT_R10G10B10A2_UINT, GL_RGB10_A2UI, GL_RGBA_INTEGER, GL_UNSIGNED_INT_2_10_10_10_REV, 4, Row::Uint, true,
     0, 0},
    {DXGI_FORMAT_R11G11B10_FLOAT, GL_R11F_G11F_B10F, GL_RGB, GL_UNSIGNED_INT_10F_11F_11F_REV, 4, Row::Float, true, 0,
     0},
    {DXGI_FORMAT_R8G8B8A8_UNORM, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, Row::Norm, true, 4, GL_UNSIGNED_BYTE},
    {DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, GL_SRGB8_ALPHA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, Row::Norm, true, 0, 0},
    {DXGI_FORMAT_R8G8B8A8_UINT, GL_RGBA8UI, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, 4, Row::Uint, true, 4, GL_UNSIGNED_BYTE},
    {DXGI_FORMAT_R8G8B8A8_SNORM, GL_RGBA8_SNORM, GL_RGBA, GL_BYTE, 4, Row::Norm, false, 4, GL_BYTE},
    {DXGI_FORMAT_R8G8B8A8_SINT, GL_RGBA8I, GL_RGBA_INTEGER, GL_BYTE, 4, Row::Sint, true, 4, GL_BYTE},
    {DXGI_FORMAT_R16G16_FLOAT, GL_RG16F, GL_RG, GL_HALF_FLOAT, 4, Row::Float, true, 2, GL_HALF_FLOAT},
    {DXGI_FORMAT_R16G16_UNORM, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, 4, Row::Norm, true, 2, GL_UNSIGNED_SHORT},
    {DXGI_FORMAT_R16G16_UINT, GL_RG16UI, GL_RG_INTEGER, GL_UNSIGNED_SHORT, 4, Row::Uint, true, 2, GL_UNSIGNED_SHORT},
    {DXGI_FORMAT_R16G16_SNORM, GL_RG16_SNORM, GL_RG, GL_SHORT, 4, Row::Norm, false, 2, GL_SHORT},
    {DXGI_FORMAT_R16G16_SINT, GL_RG16I, GL_RG_INTEGER, GL_SHORT, 4, Row::Sint, true, 2, GL_SHORT},
    {DXGI_FORMAT_D32_FLOAT, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, 4, Row::Depth, false, 0, 0},
    {DXGI_FORMAT_R32_FLOAT, GL_R32F, GL_RED, GL_FLOAT, 4, Row::Float, true, 1, GL_FLOAT},
    {DXGI_FORMAT_R32_UINT, GL_R32UI, GL_RED_INTEGER, GL_UNSIGNED_INT, 4, Row::Uint, true, 1, GL_UNSIGNED_INT},
    {DXGI_FORMAT_R32_SINT, GL_R32I, GL_RED_INTEGER, GL_INT, 4, Row::Sint, true, 1, GL_INT},
    {DXGI_FORMAT_D24_UNORM_S8_UINT, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, Row::DepthStencil,
     false, 0, 0},
    {DXGI_FORMAT_R8G8_UNORM, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, Row::Norm, true, 2, GL_UNSIGNED_BYTE},
    {DXGI_FORMAT_R8G8_UINT, GL_RG8UI, GL_RG_INTEGER, GL_UNSIGNED_BYTE, 2, Row::Uint, true, 2, GL_UNSIGNED_BYTE},
    {DXGI_FORMAT_R8G8_SNORM, GL_RG8_SNORM, GL_RG, GL_BYTE, 2, Row::Norm, false, 2, GL_BYTE},
    {DXGI_FORMAT_R8G8_SINT, GL_RG8I, GL_RG_INTEGER, GL_BYTE, 2, Row::Sint, true, 2, GL_BYTE},
    {DXGI_FORMAT_R16_FLOAT, GL_R16F, GL_RED, GL_HALF_FLOAT, 2, Row::Float, true, 1, GL_HALF_FLOAT},
    {DXGI_FORMAT_D16_UNORM, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2, Row::Depth, false, 0, 0},
    {DXGI_FORMAT_R16_UNORM, GL_R16, GL_RED, GL_UNSIGNED_SHORT, 2, Row::Norm, true, 1, GL_UNSIGNED_SHORT},
    {DXGI_FORMAT_R16_UINT, GL_R16UI, GL_RED_INTEGER, GL_UNSIGNED_SHORT, 2, Row::Uint, true, 1, GL_UNSIGNED_SHORT},
    {DXGI_FORMAT_R16_SNORM, GL_R16_SNORM, GL_RED, GL_SHORT, 2, Row::Norm, false, 1, GL_SHORT},
    {DXGI_FORMAT_R16_SINT, GL_R16I, GL_RED_INTEGER, GL_SHORT, 2, Row::Sint, true, 1, GL_SHORT},
    {DXGI_FORMAT_R8_UNORM, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, Row::Norm, true, 1, GL_UNSIGNED_BYTE},
    {DXGI_FORMAT_R8_UINT, GL_R8UI, GL_RED_INTEGER, GL_UNSIGNED_BYTE, 1, Row::Uint, true, 1, GL_UNSIGNED_BYTE},
    {DXGI_FORMAT_R8_SNORM, GL_R8_SNORM, GL_RED, GL_BYTE, 1, Row::Norm, false, 1, GL_BYTE},
    {DXGI_FORMAT_R8_SINT, GL_R8I, GL_RED_INTEGER, GL_BYTE, 1, Row::Sint, true, 1, GL_BYTE},
    {DXGI_FORMAT_A8_UNORM, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, Row::Norm, false, 0, 0},
    {DXGI_FORMAT_BC1_UNORM, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, 8, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC1_UNORM_SRGB, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT1_EXT, 0, 0, 8, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC2_UNORM, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, 16, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC2_UNORM_SRGB, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT3_EXT, 0, 0, 16, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC3_UNORM, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, 16, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC3_UNORM_SRGB, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT5_EXT, 0, 0, 16, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC4_UNORM, GL_COMPRESSED_RED_RGTC1, 0, 0, 8, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC4_SNORM, GL_COMPRESSED_SIGNED_RED_RGTC1, 0, 0, 8, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC5_UNORM, GL_COMPRESSED_RG_RGTC2, 0, 0, 16, Row::Block, false, 0, 0},
    {DXGI_FORMAT_BC5_SNORM, GL_COMPRESSED_SIGNED_RG_RGTC2, 0, 0, 16, Row::Block, false, 0, 0},
    {DXGI_FORMAT_B5G6R5_UNORM, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, Row::Norm, true, 0, 0},
    {DXGI_FORMAT_B5G5R5A1_UNORM, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, Row::Norm, true, 0, 0},
    {DXGI_FORMAT_B8G8R8A8_UNORM, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, Row::Norm, true, 0, 0},
    {DXGI_FORMAT_B8G8R8X8_UNORM, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, Row::Norm, true, 0, 0},
};

struct Table {
    FormatInfo entries[DXGI_FORMAT_B8G8R8X8_UNORM + 1];
    Table() {
        for (const Row& r : kRows) {
            FormatInfo& f = entries[r.format];
            f.format = r.format;
            f.internalFormat = r.internalFormat;
            f.pixelFormat = r.pixelFormat;
            f.pixelType = r.pixelType;
            f.elementBytes = r.bytes;
            f.compressed = r.kind == Row::Block;
            f.depth = r.kind == Row::Depth || r.kind == Row::DepthStencil;
            f.stencil = r.kind == Row::DepthStencil;
            f.integer = r.kind == Row::Uint || r.kind == Row::Sint;
            f.signedInteger = r.kind == Row::Sint;
            f.renderable = r.renderable;
            f.vertexComponents = r.components;
            f.vertexType = r.vertexType;
            f.vertexNormalized = r.kind == Row::Norm ? GL_TRUE : GL_FALSE;
            f.alphaOnly = r.format == DXGI_FORMAT_A8_UNORM;
            f.noAlpha = r.format == DXGI_FORMAT_B8G8R8X8_UNORM;
        }
    }
};

const Table& FormatTable() {
    static const Table t;
    return t;
}

}  // namespace

const FormatInfo* FindFormat(DXGI_FORMAT format) {
    if (format > DXGI_FORMAT_B8G8R8X8_UNORM)
        return nullptr;
    const FormatInfo& f = FormatTable().entries[format];
    return f.internalFormat ? &f : nullptr;
}

DXGI_FORMAT ResolveTypeless(DXGI_FORMAT format, UINT bindFlags) {
    const bool depth = (bindFlags & D3D10_BIND_DEPTH_STENCIL) != 0;
    switch (format) {
        case DXGI_FORMAT_R32G32B32A32_TYPELESS:
            return DXGI_FORMAT_R32G32B32A32_FLOAT;
        case DXGI_FORMAT_R32G32B32_TYPELESS:
            return DXGI_FORMAT_R32G32B32_FLOAT;
        case DXGI_FORMAT_R16G16B16A16_TYPELESS:
            return DXGI_FORMAT_R16G16B16A16_FLOAT;
        case DXGI_FORMAT_R32G32_TYPELESS:
            return DXGI_FORMAT_R32G32_FLOAT;
        case DXGI_FORMAT_R10G10B10A2_TYPELESS:
            return DXGI_FORMAT_R10G10B10A2_UNORM;
        case DXGI_FORMAT_R8G8B8A8_TYPELESS:
            return DXGI_FORMAT_R8G8B8A8_UNORM;
        case DXGI_FORMAT_R16G16_TYPELESS:
            return DXGI_FORMAT_R16G16_FLOAT;
        case DXGI_FORMAT_R32_TYPELESS:
            return depth ? DXGI_FORMAT_D32_FLOAT : DXGI_FORMAT_R32_FLOAT;
        case DXGI_FORMAT_R24G8_TYPELESS:
            return DXGI_FORMAT_D24_UNORM_S8_UINT;
        case DXGI_FORMAT_R8G8_TYPELESS:
            return DXGI_FORMAT_R8G8_UNORM;
        case DXGI_FORMAT_R16_TYPELESS:
            return depth ? DXGI_FORMAT_D16_UNORM : DXGI_FORMAT_R16_FLOAT;
        case DXGI_FORMAT_R8_TYPELESS:
            return DXGI_FORMAT_R8_UNORM;
        case DXGI_FORMAT_BC1_TYPELESS:
            return DXGI_FORMAT_BC1_UNORM;
        case DXGI_FORMAT_BC2_TYPELESS:
            return DXGI_FORMAT_BC2_UNORM;
        case DXGI_FORMAT_BC3_TYPELESS:
            return DXGI_FORMAT_BC3_UNORM;
        case DXGI_FORMAT_BC4_TYPELESS:
            return DXGI_FORMAT_BC4_UNORM;
        case DXGI_FORMAT_BC5_TYPELESS:
            return DXGI_FORMAT_BC5_UNORM;
        default:
            return format;
    }
}

bool ViewCompatible(DXGI_FORMAT resourceFormat, DXGI_FORMAT viewFormat) {
    if (viewFormat == DXGI_FORMAT_UNKNOWN || viewFormat == resourceFormat)
        return true;
    const FormatInfo* a = FindFormat(ResolveTypeless(resourceFormat, 0));
    const FormatInfo* b = FindFormat(viewFormat);
    if (!a || !b)
        return false;
    // Depth textures are read through their colour twin (D32_FLOAT as R32_FLOAT ...).
    if (a->depth || b->depth)
        return a->elementBytes == b->elementBytes && !a->compressed && !b->compressed;
    return a->internalFormat == b->internalFormat ||
           (resourceFormat != ResolveTypeless(resourceFormat, 0) && a->elementBytes == b->elementBytes &&
            a->compressed == b->compressed && a->integer == b->integer);
}

UINT TextureBase::LevelColumns(UINT level) const {
    UINT w = LevelWidth(level);
    return info->compressed ? (w + 3) / 4 : w;
}

UINT TextureBase::LevelRows(UINT level) const {
    UINT h = LevelHeight(level);
    return info->compressed ? (h + 3) / 4 : h;
}

GLenum TextureBase::LayerTarget(UINT layer) const {
    if (cube)
        return GL_TEXTURE_CUBE_MAP_POSITIVE_X + layer;
    return glTarget;
}

}  // namespace d3d10gl

bool D3D10GL_FormatInfo(UINT dxgiFormat, unsigned int* internalFormat, unsigned int* format, unsigned int* type) {
    const d3d10gl::FormatInfo* f = d3d10gl::FindFormat(static_cast<DXGI_FORMAT>(dxgiFormat));
    if (!f)
        return false;
    if (internalFormat)
        *internalFormat = f->internalFormat;
    if (format)
        *format = f->pixelFormat;
    if (type)
        *type = f->pixelType;
    return true;
}
