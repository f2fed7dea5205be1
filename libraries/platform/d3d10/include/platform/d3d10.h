#pragma once
// Direct3D 10: the device, its resources, views, state objects and draws, with the
// numeric values of the original interface. Implemented over OpenGL (platform/d3d10_gl.h).

#include "platform/dxgi.h"
#include "platform/win32_types.h"

#define D3D10_SDK_VERSION 29

#define D3D10_ERROR_TOO_MANY_UNIQUE_STATE_OBJECTS static_cast<HRESULT>(0x88790001u)
#define D3D10_ERROR_FILE_NOT_FOUND static_cast<HRESULT>(0x88790002u)

#define D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT 8
#define D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE 16
#define D3D10_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT 128
#define D3D10_COMMONSHADER_SAMPLER_SLOT_COUNT 16
#define D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT 16
#define D3D10_APPEND_ALIGNED_ELEMENT 0xffffffffu
#define D3D10_FLOAT32_MAX 3.402823466e+38f
#define D3D10_DEFAULT_STENCIL_READ_MASK 0xff
#define D3D10_DEFAULT_STENCIL_WRITE_MASK 0xff

enum D3D10_DRIVER_TYPE : UINT {
    D3D10_DRIVER_TYPE_HARDWARE = 0,
    D3D10_DRIVER_TYPE_REFERENCE = 1,
    D3D10_DRIVER_TYPE_NULL = 2,
    D3D10_DRIVER_TYPE_SOFTWARE = 3,
    D3D10_DRIVER_TYPE_WARP = 5,
};

enum D3D10_CREATE_DEVICE_FLAG : UINT {
    D3D10_CREATE_DEVICE_SINGLETHREADED = 0x1,
    D3D10_CREATE_DEVICE_DEBUG = 0x2,
    D3D10_CREATE_DEVICE_SWITCH_TO_REF = 0x4,
    D3D10_CREATE_DEVICE_PREVENT_INTERNAL_THREADING_OPTIMIZATIONS = 0x8,
    D3D10_CREATE_DEVICE_BGRA_SUPPORT = 0x20,
};

enum D3D10_USAGE : UINT {
    D3D10_USAGE_DEFAULT = 0,
    D3D10_USAGE_IMMUTABLE = 1,
    D3D10_USAGE_DYNAMIC = 2,
    D3D10_USAGE_STAGING = 3,
};

enum D3D10_BIND_FLAG : UINT {
    D3D10_BIND_VERTEX_BUFFER = 0x1,
    D3D10_BIND_INDEX_BUFFER = 0x2,
    D3D10_BIND_CONSTANT_BUFFER = 0x4,
    D3D10_BIND_SHADER_RESOURCE = 0x8,
    D3D10_BIND_STREAM_OUTPUT = 0x10,
    D3D10_BIND_RENDER_TARGET = 0x20,
    D3D10_BIND_DEPTH_STENCIL = 0x40,
};

enum D3D10_CPU_ACCESS_FLAG : UINT {
    D3D10_CPU_ACCESS_WRITE = 0x10000,
    D3D10_CPU_ACCESS_READ = 0x20000,
};

enum D3D10_RESOURCE_MISC_FLAG : UINT {
    D3D10_RESOURCE_MISC_GENERATE_MIPS = 0x1,
    D3D10_RESOURCE_MISC_SHARED = 0x2,
    D3D10_RESOURCE_MISC_TEXTURECUBE = 0x4,
};

enum D3D10_MAP : UINT {
    D3D10_MAP_READ = 1,
    D3D10_MAP_WRITE = 2,
    D3D10_MAP_READ_WRITE = 3,
    D3D10_MAP_WRITE_DISCARD = 4,
    D3D10_MAP_WRITE_NO_OVERWRITE = 5,
};

enum D3D10_MAP_FLAG : UINT {
    D3D10_MAP_FLAG_DO_NOT_WAIT = 0x100000,
};

enum D3D10_CLEAR_FLAG : UINT {
    D3D10_CLEAR_DEPTH = 0x1,
    D3D10_CLEAR_STENCIL = 0x2,
};

enum D3D10_RESOURCE_DIMENSION : UINT {
    D3D10_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D10_RESOURCE_DIMENSION_BUFFER = 1,
    D3D10_RESOURCE_DIMENSION_TEXTURE1D = 2,
    D3D10_RESOURCE_DIMENSION_TEXTURE2D = 3,
    D3D10_RESOURCE_DIMENSION_TEXTURE3D = 4,
};

enum D3D10_SRV_DIMENSION : UINT {
    D3D10_SRV_DIMENSION_UNKNOWN = 0,
    D3D10_SRV_DIMENSION_BUFFER = 1,
    D3D10_SRV_DIMENSION_TEXTURE1D = 2,
    D3D10_SRV_DIMENSION_TEXTURE1DARRAY = 3,
    D3D10_SRV_DIMENSION_TEXTURE2D = 4,
    D3D10_SRV_DIMENSION_TEXTURE2DARRAY = 5,
    D3D10_SRV_DIMENSION_TEXTURE2DMS = 6,
    D3D10_SRV_DIMENSION_TEXTURE2DMSARRAY = 7,
    D3D10_SRV_DIMENSION_TEXTURE3D = 8,
    D3D10_SRV_DIMENSION_TEXTURECUBE = 9,
};

enum D3D10_RTV_DIMENSION : UINT {
    D3D10_RTV_DIMENSION_UNKNOWN = 0,
    D3D10_RTV_DIMENSION_BUFFER = 1,
    D3D10_RTV_DIMENSION_TEXTURE1D = 2,
    D3D10_RTV_DIMENSION_TEXTURE1DARRAY = 3,
    D3D10_RTV_DIMENSION_TEXTURE2D = 4,
    D3D10_RTV_DIMENSION_TEXTURE2DARRAY = 5,
    D3D10_RTV_DIMENSION_TEXTURE2DMS = 6,
    D3D10_RTV_DIMENSION_TEXTURE2DMSARRAY = 7,
    D3D10_RTV_DIMENSION_TEXTURE3D = 8,
};

enum D3D10_DSV_DIMENSION : UINT {
    D3D10_DSV_DIMENSION_UNKNOWN = 0,
    D3D10_DSV_DIMENSION_TEXTURE1D = 1,
    D3D10_DSV_DIMENSION_TEXTURE1DARRAY = 2,
    D3D10_DSV_DIMENSION_TEXTURE2D = 3,
    D3D10_DSV_DIMENSION_TEXTURE2DARRAY = 4,
    D3D10_DSV_DIMENSION_TEXTURE2DMS = 5,
    D3D10_DSV_DIMENSION_TEXTURE2DMSARRAY = 6,
};

enum D3D10_PRIMITIVE_TOPOLOGY : UINT {
    D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED = 0,
    D3D10_PRIMITIVE_TOPOLOGY_POINTLIST = 1,
    D3D10_PRIMITIVE_TOPOLOGY_LINELIST = 2,
    D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP = 3,
    D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST = 4,
    D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = 5,
    D3D10_PRIMITIVE_TOPOLOGY_LINELIST_ADJ = 10,
    D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP_ADJ = 11,
    D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST_ADJ = 12,
    D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP_ADJ = 13,
};

enum D3D10_INPUT_CLASSIFICATION : UINT {
    D3D10_INPUT_PER_VERTEX_DATA = 0,
    D3D10_INPUT_PER_INSTANCE_DATA = 1,
};

enum D3D10_BLEND : UINT {
    D3D10_BLEND_ZERO = 1,
    D3D10_BLEND_ONE = 2,
    D3D10_BLEND_SRC_COLOR = 3,
    D3D10_BLEND_INV_SRC_COLOR = 4,
    D3D10_BLEND_SRC_ALPHA = 5,
    D3D10_BLEND_INV_SRC_ALPHA = 6,
    D3D10_BLEND_DEST_ALPHA = 7,
    D3D10_BLEND_INV_DEST_ALPHA = 8,
    D3D10_BLEND_DEST_COLOR = 9,
    D3D10_BLEND_INV_DEST_COLOR = 10,
    D3D10_BLEND_SRC_ALPHA_SAT = 11,
    D3D10_BLEND_BLEND_FACTOR = 14,
    D3D10_BLEND_INV_BLEND_FACTOR = 15,
    D3D10_BLEND_SRC1_COLOR = 16,
    D3D10_BLEND_INV_SRC1_COLOR = 17,
    D3D10_BLEND_SRC1_ALPHA = 18,
    D3D10_BLEND_INV_SRC1_ALPHA = 19,
};

enum D3D10_BLEND_OP : UINT {
    D3D10_BLEND_OP_ADD = 1,
    D3D10_BLEND_OP_SUBTRACT = 2,
    D3D10_BLEND_OP_REV_SUBTRACT = 3,
    D3D10_BLEND_OP_MIN = 4,
    D3D10_BLEND_OP_MAX = 5,
};

enum D3D10_COLOR_WRITE_ENABLE : UINT {
    D3D10_COLOR_WRITE_ENABLE_RED = 1,
    D3D10_COLOR_WRITE_ENABLE_GREEN = 2,
    D3D10_COLOR_WRITE_ENABLE_BLUE = 4,
    D3D10_COLOR_WRITE_ENABLE_ALPHA = 8,
    D3D10_COLOR_WRITE_ENABLE_ALL = 15,
};

enum D3D10_COMPARISON_FUNC : UINT {
    D3D10_COMPARISON_NEVER = 1,
    D3D10_COMPARISON_LESS = 2,
    D3D10_COMPARISON_EQUAL = 3,
    D3D10_COMPARISON_LESS_EQUAL = 4,
    D3D10_COMPARISON_GREATER = 5,
    D3D10_COMPARISON_NOT_EQUAL = 6,
    D3D10_COMPARISON_GREATER_EQUAL = 7,
    D3D10_COMPARISON_ALWAYS = 8,
};

enum D3D10_DEPTH_WRITE_MASK : UINT {
    D3D10_DEPTH_WRITE_MASK_ZERO = 0,
    D3D10_DEPTH_WRITE_MASK_ALL = 1,
};

enum D3D10_STENCIL_OP : UINT {
    D3D10_STENCIL_OP_KEEP = 1,
    D3D10_STENCIL_OP_ZERO = 2,
    D3D10_STENCIL_OP_REPLACE = 3,
    D3D10_STENCIL_OP_INCR_SAT = 4,
    D3D10_STENCIL_OP_DECR_SAT = 5,
    D3D10_STENCIL_OP_INVERT = 6,
    D3D10_STENCIL_OP_INCR = 7,
    D3D10_STENCIL_OP_DECR = 8,
};

enum D3D10_FILL_MODE : UINT {
    D3D10_FILL_WIREFRAME = 2,
    D3D10_FILL_SOLID = 3,
};

enum D3D10_CULL_MODE : UINT {
    D3D10_CULL_NONE = 1,
    D3D10_CULL_FRONT = 2,
    D3D10_CULL_BACK = 3,
};

enum D3D10_FILTER : UINT {
    D3D10_FILTER_MIN_MAG_MIP_POINT = 0,
    D3D10_FILTER_MIN_MAG_POINT_MIP_LINEAR = 0x1,
    D3D10_FILTER_MIN_POINT_MAG_LINEAR_MIP_POINT = 0x4,
    D3D10_FILTER_MIN_POINT_MAG_MIP_LINEAR = 0x5,
    D3D10_FILTER_MIN_LINEAR_MAG_MIP_POINT = 0x10,
    D3D10_FILTER_MIN_LINEAR_MAG_POINT_MIP_LINEAR = 0x11,
    D3D10_FILTER_MIN_MAG_LINEAR_MIP_POINT = 0x14,
    D3D10_FILTER_MIN_MAG_MIP_LINEAR = 0x15,
    D3D10_FILTER_ANISOTROPIC = 0x55,
    D3D10_FILTER_COMPARISON_MIN_MAG_MIP_POINT = 0x80,
    D3D10_FILTER_COMPARISON_MIN_MAG_POINT_MIP_LINEAR = 0x81,
    D3D10_FILTER_COMPARISON_MIN_POINT_MAG_LINEAR_MIP_POINT = 0x84,
    D3D10_FILTER_COMPARISON_MIN_POINT_MAG_MIP_LINEAR = 0x85,
    D3D10_FILTER_COMPARISON_MIN_LINEAR_MAG_MIP_POINT = 0x90,
    D3D10_FILTER_COMPARISON_MIN_LINEAR_MAG_POINT_MIP_LINEAR = 0x91,
    D3D10_FILTER_COMPARISON_MIN_MAG_LINEAR_MIP_POINT = 0x94,
    D3D10_FILTER_COMPARISON_MIN_MAG_MIP_LINEAR = 0x95,
    D3D10_FILTER_COMPARISON_ANISOTROPIC = 0xd5,
    D3D10_FILTER_TEXT_1BIT = 0x80000000u,
};

enum D3D10_TEXTURE_ADDRESS_MODE : UINT {
    D3D10_TEXTURE_ADDRESS_WRAP = 1,
    D3D10_TEXTURE_ADDRESS_MIRROR = 2,
    D3D10_TEXTURE_ADDRESS_CLAMP = 3,
    D3D10_TEXTURE_ADDRESS_BORDER = 4,
    D3D10_TEXTURE_ADDRESS_MIRROR_ONCE = 5,
};

struct D3D10_BUFFER_DESC {
    UINT ByteWidth;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
};

struct D3D10_TEXTURE2D_DESC {
    UINT Width;
    UINT Height;
    UINT MipLevels;  // 0: the full chain
    UINT ArraySize;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
};

struct D3D10_TEXTURE3D_DESC {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    DXGI_FORMAT Format;
    D3D10_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
};

struct D3D10_SUBRESOURCE_DATA {
    const void* pSysMem;
    UINT SysMemPitch;
    UINT SysMemSlicePitch;
};

struct D3D10_MAPPED_TEXTURE2D {
    void* pData;
    UINT RowPitch;
};

struct D3D10_MAPPED_TEXTURE3D {
    void* pData;
    UINT RowPitch;
    UINT DepthPitch;
};

struct D3D10_BOX {
    UINT left;
    UINT top;
    UINT front;
    UINT right;
    UINT bottom;
    UINT back;
};

struct D3D10_VIEWPORT {
    INT TopLeftX;
    INT TopLeftY;
    UINT Width;
    UINT Height;
    FLOAT MinDepth;
    FLOAT MaxDepth;
};

typedef RECT D3D10_RECT;

struct D3D10_BUFFER_SRV {
    UINT ElementOffset;
    UINT ElementWidth;
};
struct D3D10_TEX1D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
};
struct D3D10_TEX1D_ARRAY_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
    UINT FirstArraySlice;
    UINT ArraySize;
};
struct D3D10_TEX2D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;  // 0xffffffff or 0: every level from MostDetailedMip
};
struct D3D10_TEX2D_ARRAY_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
    UINT FirstArraySlice;
    UINT ArraySize;
};
struct D3D10_TEX3D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
};
struct D3D10_TEXCUBE_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
};

struct D3D10_SHADER_RESOURCE_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D10_SRV_DIMENSION ViewDimension;
    union {
        D3D10_BUFFER_SRV Buffer;
        D3D10_TEX1D_SRV Texture1D;
        D3D10_TEX1D_ARRAY_SRV Texture1DArray;
        D3D10_TEX2D_SRV Texture2D;
        D3D10_TEX2D_ARRAY_SRV Texture2DArray;
        D3D10_TEX3D_SRV Texture3D;
        D3D10_TEXCUBE_SRV TextureCube;
    };
};

struct D3D10_BUFFER_RTV {
    UINT ElementOffset;
    UINT ElementWidth;
};
struct D3D10_TEX2D_RTV {
    UINT MipSlice;
};
struct D3D10_TEX2D_ARRAY_RTV {
    UINT MipSlice;
    UINT FirstArraySlice;
    UINT ArraySize;
};
struct D3D10_TEX3D_RTV {
    UINT MipSlice;
    UINT FirstWSlice;
    UINT WSize;  // 0xffffffff: every slice from FirstWSlice
};

struct D3D10_RENDER_TARGET_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D10_RTV_DIMENSION ViewDimension;
    union {
        D3D10_BUFFER_RTV Buffer;
        D3D10_TEX2D_RTV Texture2D;
        D3D10_TEX2D_ARRAY_RTV Texture2DArray;
        D3D10_TEX3D_RTV Texture3D;
    };
};

struct D3D10_TEX2D_DSV {
    UINT MipSlice;
};
struct D3D10_TEX2D_ARRAY_DSV {
    UINT MipSlice;
    UINT FirstArraySlice;
    UINT ArraySize;
};

struct D3D10_DEPTH_STENCIL_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D10_DSV_DIMENSION ViewDimension;
    union {
        D3D10_TEX2D_DSV Texture2D;
        D3D10_TEX2D_ARRAY_DSV Texture2DArray;
    };
};

struct D3D10_INPUT_ELEMENT_DESC {
    LPCSTR SemanticName;
    UINT SemanticIndex;
    DXGI_FORMAT Format;
    UINT InputSlot;
    UINT AlignedByteOffset;
    D3D10_INPUT_CLASSIFICATION InputSlotClass;
    UINT InstanceDataStepRate;
};

struct D3D10_BLEND_DESC {
    BOOL AlphaToCoverageEnable;
    BOOL BlendEnable[8];
    D3D10_BLEND SrcBlend;
    D3D10_BLEND DestBlend;
    D3D10_BLEND_OP BlendOp;
    D3D10_BLEND SrcBlendAlpha;
    D3D10_BLEND DestBlendAlpha;
    D3D10_BLEND_OP BlendOpAlpha;
    UINT8 RenderTargetWriteMask[8];
};

struct D3D10_DEPTH_STENCILOP_DESC {
    D3D10_STENCIL_OP StencilFailOp;
    D3D10_STENCIL_OP StencilDepthFailOp;
    D3D10_STENCIL_OP StencilPassOp;
    D3D10_COMPARISON_FUNC StencilFunc;
};

struct D3D10_DEPTH_STENCIL_DESC {
    BOOL DepthEnable;
    D3D10_DEPTH_WRITE_MASK DepthWriteMask;
    D3D10_COMPARISON_FUNC DepthFunc;
    BOOL StencilEnable;
    UINT8 StencilReadMask;
    UINT8 StencilWriteMask;
    D3D10_DEPTH_STENCILOP_DESC FrontFace;
    D3D10_DEPTH_STENCILOP_DESC BackFace;
};

struct D3D10_RASTERIZER_DESC {
    D3D10_FILL_MODE FillMode;
    D3D10_CULL_MODE CullMode;
    BOOL FrontCounterClockwise;
    INT DepthBias;
    FLOAT DepthBiasClamp;
    FLOAT SlopeScaledDepthBias;
    BOOL DepthClipEnable;
    BOOL ScissorEnable;
    BOOL MultisampleEnable;
    BOOL AntialiasedLineEnable;
};

struct D3D10_SAMPLER_DESC {
    D3D10_FILTER Filter;
    D3D10_TEXTURE_ADDRESS_MODE AddressU;
    D3D10_TEXTURE_ADDRESS_MODE AddressV;
    D3D10_TEXTURE_ADDRESS_MODE AddressW;
    FLOAT MipLODBias;
    UINT MaxAnisotropy;
    D3D10_COMPARISON_FUNC ComparisonFunc;
    FLOAT BorderColor[4];
    FLOAT MinLOD;
    FLOAT MaxLOD;
};

inline UINT D3D10CalcSubresource(UINT mipSlice, UINT arraySlice, UINT mipLevels) {
    return mipSlice + arraySlice * mipLevels;
}

struct ID3D10Device;

struct ID3D10DeviceChild : IUnknown {
    // The device, with one reference added.
    virtual void GetDevice(ID3D10Device** device) = 0;

protected:
    ~ID3D10DeviceChild() = default;
};

struct ID3D10Resource : ID3D10DeviceChild {
    virtual void GetType(D3D10_RESOURCE_DIMENSION* type) = 0;
    virtual void SetEvictionPriority(UINT priority) = 0;
    virtual UINT GetEvictionPriority() = 0;

protected:
    ~ID3D10Resource() = default;
};

struct ID3D10Buffer : ID3D10Resource {
    virtual HRESULT Map(D3D10_MAP mapType, UINT mapFlags, void** data) = 0;
    virtual void Unmap() = 0;
    virtual void GetDesc(D3D10_BUFFER_DESC* desc) = 0;

protected:
    ~ID3D10Buffer() = default;
};

struct ID3D10Texture2D : ID3D10Resource {
    virtual HRESULT Map(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE2D* mapped) = 0;
    virtual void Unmap(UINT subresource) = 0;
    virtual void GetDesc(D3D10_TEXTURE2D_DESC* desc) = 0;

protected:
    ~ID3D10Texture2D() = default;
};

struct ID3D10Texture3D : ID3D10Resource {
    virtual HRESULT Map(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE3D* mapped) = 0;
    virtual void Unmap(UINT subresource) = 0;
    virtual void GetDesc(D3D10_TEXTURE3D_DESC* desc) = 0;

protected:
    ~ID3D10Texture3D() = default;
};

struct ID3D10View : ID3D10DeviceChild {
    // The viewed resource, with one reference added.
    virtual void GetResource(ID3D10Resource** resource) = 0;

protected:
    ~ID3D10View() = default;
};

struct ID3D10ShaderResourceView : ID3D10View {
    virtual void GetDesc(D3D10_SHADER_RESOURCE_VIEW_DESC* desc) = 0;

protected:
    ~ID3D10ShaderResourceView() = default;
};

struct ID3D10RenderTargetView : ID3D10View {
    virtual void GetDesc(D3D10_RENDER_TARGET_VIEW_DESC* desc) = 0;

protected:
    ~ID3D10RenderTargetView() = default;
};

struct ID3D10DepthStencilView : ID3D10View {
    virtual void GetDesc(D3D10_DEPTH_STENCIL_VIEW_DESC* desc) = 0;

protected:
    ~ID3D10DepthStencilView() = default;
};

struct ID3D10InputLayout : ID3D10DeviceChild {
protected:
    ~ID3D10InputLayout() = default;
};

struct ID3D10BlendState : ID3D10DeviceChild {
    virtual void GetDesc(D3D10_BLEND_DESC* desc) = 0;

protected:
    ~ID3D10BlendState() = default;
};

struct ID3D10DepthStencilState : ID3D10DeviceChild {
    virtual void GetDesc(D3D10_DEPTH_STENCIL_DESC* desc) = 0;

protected:
    ~ID3D10DepthStencilState() = default;
};

struct ID3D10RasterizerState : ID3D10DeviceChild {
    virtual void GetDesc(D3D10_RASTERIZER_DESC* desc) = 0;

protected:
    ~ID3D10RasterizerState() = default;
};

struct ID3D10SamplerState : ID3D10DeviceChild {
    virtual void GetDesc(D3D10_SAMPLER_DESC* desc) = 0;

protected:
    ~ID3D10SamplerState() = default;
};

struct ID3D10Device : IUnknown {
    // Shader inputs. Slot N of either stage is texture/sampler unit N (platform/d3d10_gl.h).
    virtual void VSSetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views) = 0;
    virtual void VSSetSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers) = 0;
    virtual void PSSetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views) = 0;
    virtual void PSSetSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers) = 0;
    virtual void PSGetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView** views) = 0;

    // Input assembler.
    virtual void IASetInputLayout(ID3D10InputLayout* layout) = 0;
    virtual void IASetVertexBuffers(UINT startSlot, UINT count, ID3D10Buffer* const* buffers, const UINT* strides,
                                    const UINT* offsets) = 0;
    virtual void IASetIndexBuffer(ID3D10Buffer* buffer, DXGI_FORMAT format, UINT offset) = 0;
    virtual void IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY topology) = 0;
    virtual void IAGetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY* topology) = 0;
    virtual void IAGetInputLayout(ID3D10InputLayout** layout) = 0;

    // Draws.
    virtual void Draw(UINT vertexCount, UINT startVertex) = 0;
    virtual void DrawIndexed(UINT indexCount, UINT startIndex, INT baseVertex) = 0;
    virtual void DrawInstanced(UINT vertexCountPerInstance, UINT instanceCount, UINT startVertex,
                               UINT startInstance) = 0;
    virtual void DrawIndexedInstanced(UINT indexCountPerInstance, UINT instanceCount, UINT startIndex, INT baseVertex,
                                      UINT startInstance) = 0;

    // Output merger and rasteriser.
    virtual void OMSetRenderTargets(UINT count, ID3D10RenderTargetView* const* views,
                                    ID3D10DepthStencilView* depthStencil) = 0;
    virtual void OMGetRenderTargets(UINT count, ID3D10RenderTargetView** views,
                                    ID3D10DepthStencilView** depthStencil) = 0;
    virtual void OMSetBlendState(ID3D10BlendState* state, const FLOAT blendFactor[4], UINT sampleMask) = 0;
    virtual void OMGetBlendState(ID3D10BlendState** state, FLOAT blendFactor[4], UINT* sampleMask) = 0;
    virtual void OMSetDepthStencilState(ID3D10DepthStencilState* state, UINT stencilRef) = 0;
    virtual void OMGetDepthStencilState(ID3D10DepthStencilState** state, UINT* stencilRef) = 0;
    virtual void RSSetState(ID3D10RasterizerState* state) = 0;
    virtual void RSGetState(ID3D10RasterizerState** state) = 0;
    virtual void RSSetViewports(UINT count, const D3D10_VIEWPORT* viewports) = 0;
    // With viewports null, *count receives the number bound; else up to *count are copied
    // and *count is set to the number copied.
    virtual void RSGetViewports(UINT* count, D3D10_VIEWPORT* viewports) = 0;
    virtual void RSSetScissorRects(UINT count, const D3D10_RECT* rects) = 0;

    // Copies and clears.
    virtual void CopySubresourceRegion(ID3D10Resource* dst, UINT dstSubresource, UINT dstX, UINT dstY, UINT dstZ,
                                       ID3D10Resource* src, UINT srcSubresource, const D3D10_BOX* srcBox) = 0;
    virtual void CopyResource(ID3D10Resource* dst, ID3D10Resource* src) = 0;
    virtual void UpdateSubresource(ID3D10Resource* dst, UINT dstSubresource, const D3D10_BOX* dstBox, const void* data,
                                   UINT rowPitch, UINT depthPitch) = 0;
    virtual void ClearRenderTargetView(ID3D10RenderTargetView* view, const FLOAT color[4]) = 0;
    virtual void ClearDepthStencilView(ID3D10DepthStencilView* view, UINT clearFlags, FLOAT depth, UINT8 stencil) = 0;
    virtual void GenerateMips(ID3D10ShaderResourceView* view) = 0;

    virtual HRESULT GetDeviceRemovedReason() = 0;
    virtual UINT GetCreationFlags() = 0;
    virtual void ClearState() = 0;
    virtual void Flush() = 0;

    // Object creation: on failure the output is set to null.
    virtual HRESULT CreateBuffer(const D3D10_BUFFER_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                                 ID3D10Buffer** buffer) = 0;
    virtual HRESULT CreateTexture2D(const D3D10_TEXTURE2D_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                                    ID3D10Texture2D** texture) = 0;
    virtual HRESULT CreateTexture3D(const D3D10_TEXTURE3D_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                                    ID3D10Texture3D** texture) = 0;
    virtual HRESULT CreateShaderResourceView(ID3D10Resource* resource, const D3D10_SHADER_RESOURCE_VIEW_DESC* desc,
                                             ID3D10ShaderResourceView** view) = 0;
    virtual HRESULT CreateRenderTargetView(ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC* desc,
                                           ID3D10RenderTargetView** view) = 0;
    virtual HRESULT CreateDepthStencilView(ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC* desc,
                                           ID3D10DepthStencilView** view) = 0;
    // bytecode: a signature blob of D3D10GL_EncodeSignature (platform/d3d10_gl.h).
    virtual HRESULT CreateInputLayout(const D3D10_INPUT_ELEMENT_DESC* elements, UINT count, const void* bytecode,
                                      SIZE_T bytecodeLength, ID3D10InputLayout** layout) = 0;
    virtual HRESULT CreateBlendState(const D3D10_BLEND_DESC* desc, ID3D10BlendState** state) = 0;
    virtual HRESULT CreateDepthStencilState(const D3D10_DEPTH_STENCIL_DESC* desc, ID3D10DepthStencilState** state) = 0;
    virtual HRESULT CreateRasterizerState(const D3D10_RASTERIZER_DESC* desc, ID3D10RasterizerState** state) = 0;
    virtual HRESULT CreateSamplerState(const D3D10_SAMPLER_DESC* desc, ID3D10SamplerState** state) = 0;

protected:
    ~ID3D10Device() = default;
};

PLATFORM_DECLARE_IID(ID3D10Device, IID_ID3D10Device);
PLATFORM_DECLARE_IID(ID3D10DeviceChild, IID_ID3D10DeviceChild);
PLATFORM_DECLARE_IID(ID3D10Resource, IID_ID3D10Resource);
PLATFORM_DECLARE_IID(ID3D10Buffer, IID_ID3D10Buffer);
PLATFORM_DECLARE_IID(ID3D10Texture2D, IID_ID3D10Texture2D);
PLATFORM_DECLARE_IID(ID3D10Texture3D, IID_ID3D10Texture3D);
PLATFORM_DECLARE_IID(ID3D10View, IID_ID3D10View);
PLATFORM_DECLARE_IID(ID3D10ShaderResourceView, IID_ID3D10ShaderResourceView);
PLATFORM_DECLARE_IID(ID3D10RenderTargetView, IID_ID3D10RenderTargetView);
PLATFORM_DECLARE_IID(ID3D10DepthStencilView, IID_ID3D10DepthStencilView);
PLATFORM_DECLARE_IID(ID3D10InputLayout, IID_ID3D10InputLayout);
PLATFORM_DECLARE_IID(ID3D10BlendState, IID_ID3D10BlendState);
PLATFORM_DECLARE_IID(ID3D10DepthStencilState, IID_ID3D10DepthStencilState);
PLATFORM_DECLARE_IID(ID3D10RasterizerState, IID_ID3D10RasterizerState);
PLATFORM_DECLARE_IID(ID3D10SamplerState, IID_ID3D10SamplerState);

// A device without a window: its render targets are textures only (headless rendering).
// adapter must be null; software must be non-null exactly for D3D10_DRIVER_TYPE_SOFTWARE.
HRESULT D3D10CreateDevice(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                          UINT sdkVersion, ID3D10Device** device);

// A device rendering into the SDL window of swapChainDesc->OutputWindow, and its swap chain.
HRESULT D3D10CreateDeviceAndSwapChain(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                                      UINT sdkVersion, DXGI_SWAP_CHAIN_DESC* swapChainDesc, IDXGISwapChain** swapChain,
                                      ID3D10Device** device);
