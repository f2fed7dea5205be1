#pragma once
// The objects behind the Direct3D 10 / DXGI interfaces, over OpenGL.

#include <epoxy/gl.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/d3d10.h"
#include "platform/d3d10_gl.h"
#include "platform/d3d10_refcounted.h"

struct SDL_Window;

namespace d3d10gl {

class Device;

// Element layout of a DXGI format on the GL side.
struct FormatInfo {
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    GLenum internalFormat = 0;  // sized (or compressed) internal format
    GLenum pixelFormat = 0;
    GLenum pixelType = 0;   // 0 for compressed formats
    UINT elementBytes = 0;  // bytes per texel, or per 4x4 block when compressed
    bool compressed = false;
    bool depth = false;
    bool stencil = false;
    bool integer = false;  // UINT/SINT: sampled with point filtering, cleared with integers
    bool signedInteger = false;
    bool renderable = false;
    // As a vertex attribute (0 components: not a vertex format).
    GLint vertexComponents = 0;
    GLenum vertexType = 0;
    GLboolean vertexNormalized = GL_FALSE;
    bool alphaOnly = false;  // A8_UNORM: the red channel read as alpha
    bool noAlpha = false;    // B8G8R8X8_UNORM: alpha reads 1
};

const FormatInfo* FindFormat(DXGI_FORMAT format);
// The storage format of a typeless format for the given bind flags (itself otherwise).
DXGI_FORMAT ResolveTypeless(DXGI_FORMAT format, UINT bindFlags);
// Formats whose elements have the same size and kind may view each other.
bool ViewCompatible(DXGI_FORMAT resourceFormat, DXGI_FORMAT viewFormat);

// Children of a device keep it alive through its child count (see Device).
template <class Interface>
class DeviceChild : public RefCounted<Interface> {
public:
    explicit DeviceChild(Device* device);
    void GetDevice(ID3D10Device** device) override;

protected:
    ~DeviceChild() override;
    Device* device_;
};

// A buffer or texture.
class ResourceBase {
public:
    D3D10_RESOURCE_DIMENSION dimension = D3D10_RESOURCE_DIMENSION_UNKNOWN;
    D3D10_USAGE usage = D3D10_USAGE_DEFAULT;
    UINT bindFlags = 0;
    UINT cpuAccess = 0;
    UINT evictionPriority = 0;
    // GL object: texture or buffer name (0 for staging resources, whose data live in memory).
    GLuint glName = 0;
    GLenum glTarget = 0;
    // CPU copy: staging resources, and dynamic ones (uploaded at Unmap).
    std::vector<std::vector<BYTE>> memory;  // one per subresource
    std::vector<bool> mapped;
    bool HasMemory() const { return !memory.empty(); }
};

class Buffer final : public DeviceChild<ID3D10Buffer>, public ResourceBase {
public:
    Buffer(Device* device, const D3D10_BUFFER_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetType(D3D10_RESOURCE_DIMENSION* type) override {
        if (type)
            *type = D3D10_RESOURCE_DIMENSION_BUFFER;
    }
    void SetEvictionPriority(UINT p) override { evictionPriority = p; }
    UINT GetEvictionPriority() override { return evictionPriority; }
    HRESULT Map(D3D10_MAP mapType, UINT mapFlags, void** data) override;
    void Unmap() override;
    void GetDesc(D3D10_BUFFER_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    const D3D10_BUFFER_DESC& Desc() const { return desc_; }

private:
    ~Buffer() override;
    D3D10_BUFFER_DESC desc_;
    D3D10_MAP mapType_ = D3D10_MAP_READ;
};

// Shared by 2D and 3D textures.
class TextureBase : public ResourceBase {
public:
    const FormatInfo* info = nullptr;
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;  // as created (typeless kept)
    UINT width = 0, height = 0, depth = 1;     // depth: 3D textures
    UINT mipLevels = 1;
    UINT arraySize = 1;  // 2D arrays and cubes
    bool cube = false;
    // Mip range currently set on the GL texture (views may narrow it).
    GLint baseLevel = 0, maxLevel = 0;

    UINT SubresourceCount() const { return mipLevels * arraySize; }
    UINT LevelWidth(UINT level) const { return width >> level ? width >> level : 1; }
    UINT LevelHeight(UINT level) const { return height >> level ? height >> level : 1; }
    UINT LevelDepth(UINT level) const { return depth >> level ? depth >> level : 1; }
    // Elements (texels or blocks) across and down a level, and the tight row pitch.
    UINT LevelColumns(UINT level) const;
    UINT LevelRows(UINT level) const;
    UINT RowPitch(UINT level) const { return LevelColumns(level) * info->elementBytes; }
    UINT SlicePitch(UINT level) const { return RowPitch(level) * LevelRows(level); }
    // Bytes of one subresource (all slices of a 3D level).
    size_t SubresourceBytes(UINT level) const { return size_t(SlicePitch(level)) * LevelDepth(level); }
    // The GL target of one layer of a 2D texture (a cube face target for cubes).
    GLenum LayerTarget(UINT layer) const;
};

class Texture2D final : public DeviceChild<ID3D10Texture2D>, public TextureBase {
public:
    Texture2D(Device* device, const D3D10_TEXTURE2D_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetType(D3D10_RESOURCE_DIMENSION* type) override {
        if (type)
            *type = D3D10_RESOURCE_DIMENSION_TEXTURE2D;
    }
    void SetEvictionPriority(UINT p) override { evictionPriority = p; }
    UINT GetEvictionPriority() override { return evictionPriority; }
    HRESULT Map(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE2D* mapped) override;
    void Unmap(UINT subresource) override;
    void GetDesc(D3D10_TEXTURE2D_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    void SetMipLevels(UINT levels) { desc_.MipLevels = levels; }

private:
    ~Texture2D() override;
    D3D10_TEXTURE2D_DESC desc_;
};

class Texture3D final : public DeviceChild<ID3D10Texture3D>, public TextureBase {
public:
    Texture3D(Device* device, const D3D10_TEXTURE3D_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetType(D3D10_RESOURCE_DIMENSION* type) override {
        if (type)
            *type = D3D10_RESOURCE_DIMENSION_TEXTURE3D;
    }
    void SetEvictionPriority(UINT p) override { evictionPriority = p; }
    UINT GetEvictionPriority() override { return evictionPriority; }
    HRESULT Map(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE3D* mapped) override;
    void Unmap(UINT subresource) override;
    void GetDesc(D3D10_TEXTURE3D_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    void SetMipLevels(UINT levels) { desc_.MipLevels = levels; }

private:
    ~Texture3D() override;
    D3D10_TEXTURE3D_DESC desc_;
};

// The implementation object behind any ID3D10Resource of this device (null for foreign ones).
ResourceBase* ToResource(ID3D10Resource* resource);
TextureBase* ToTexture(ID3D10Resource* resource);
Buffer* ToBuffer(ID3D10Resource* resource);

// One attachment of a framebuffer: a texture level and a layer (-1: every layer).
struct Attachment {
    GLuint texture = 0;
    GLenum target = 0;  // the texture's target (not part of the identity)
    GLint level = 0;
    GLint layer = -1;
    bool operator<(const Attachment& o) const {
        if (texture != o.texture)
            return texture < o.texture;
        if (level != o.level)
            return level < o.level;
        return layer < o.layer;
    }
    bool operator==(const Attachment& o) const { return texture == o.texture && level == o.level && layer == o.layer; }
};

class ShaderResourceView final : public DeviceChild<ID3D10ShaderResourceView> {
public:
    ShaderResourceView(Device* device, ID3D10Resource* resource, const D3D10_SHADER_RESOURCE_VIEW_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetResource(ID3D10Resource** resource) override;
    void GetDesc(D3D10_SHADER_RESOURCE_VIEW_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    ID3D10Resource* Resource() const { return resource_; }
    TextureBase* Texture() const { return texture_; }
    GLenum glTarget = 0;
    GLint baseLevel = 0, maxLevel = 0;

private:
    ~ShaderResourceView() override;
    ID3D10Resource* resource_;
    TextureBase* texture_;
    D3D10_SHADER_RESOURCE_VIEW_DESC desc_;
};

class RenderTargetView final : public DeviceChild<ID3D10RenderTargetView> {
public:
    RenderTargetView(Device* device, ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC& desc,
                     Attachment attachment);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetResource(ID3D10Resource** resource) override;
    void GetDesc(D3D10_RENDER_TARGET_VIEW_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    ID3D10Resource* Resource() const { return resource_; }
    TextureBase* Texture() const { return texture_; }
    Attachment attachment;

private:
    ~RenderTargetView() override;
    ID3D10Resource* resource_;
    TextureBase* texture_;
    D3D10_RENDER_TARGET_VIEW_DESC desc_;
};

class DepthStencilView final : public DeviceChild<ID3D10DepthStencilView> {
public:
    DepthStencilView(Device* device, ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC& desc,
                     Attachment attachment);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetResource(ID3D10Resource** resource) override;
    void GetDesc(D3D10_DEPTH_STENCIL_VIEW_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    ID3D10Resource* Resource() const { return resource_; }
    TextureBase* Texture() const { return texture_; }
    Attachment attachment;

private:
    ~DepthStencilView() override;
    ID3D10Resource* resource_;
    TextureBase* texture_;
    D3D10_DEPTH_STENCIL_VIEW_DESC desc_;
};

struct LayoutAttribute {
    GLuint location;
    UINT slot;
    UINT offset;
    GLint components;
    GLenum type;
    GLboolean normalized;
    bool integer;
    UINT divisor;  // 0 per vertex
};

class InputLayout final : public DeviceChild<ID3D10InputLayout> {
public:
    InputLayout(Device* device, std::vector<LayoutAttribute> attributes);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    const std::vector<LayoutAttribute>& Attributes() const { return attributes_; }

private:
    ~InputLayout() override = default;
    std::vector<LayoutAttribute> attributes_;
};

class BlendState final : public DeviceChild<ID3D10BlendState> {
public:
    BlendState(Device* device, const D3D10_BLEND_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_BLEND_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    const D3D10_BLEND_DESC& Desc() const { return desc_; }
    GLenum src, dst, op, srcAlpha, dstAlpha, opAlpha;
    bool uniform;  // the same enable and mask for every target

private:
    ~BlendState() override = default;
    D3D10_BLEND_DESC desc_;
};

class DepthStencilState final : public DeviceChild<ID3D10DepthStencilState> {
public:
    DepthStencilState(Device* device, const D3D10_DEPTH_STENCIL_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_DEPTH_STENCIL_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    const D3D10_DEPTH_STENCIL_DESC& Desc() const { return desc_; }

private:
    ~DepthStencilState() override = default;
    D3D10_DEPTH_STENCIL_DESC desc_;
};

class RasterizerState final : public DeviceChild<ID3D10RasterizerState> {
public:
    RasterizerState(Device* device, const D3D10_RASTERIZER_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_RASTERIZER_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    const D3D10_RASTERIZER_DESC& Desc() const { return desc_; }

private:
    ~RasterizerState() override = default;
    D3D10_RASTERIZER_DESC desc_;
};

class SamplerState final : public DeviceChild<ID3D10SamplerState> {
public:
    SamplerState(Device* device, const D3D10_SAMPLER_DESC& desc, GLuint sampler);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_SAMPLER_DESC* desc) override {
        if (desc)
            *desc = desc_;
    }
    GLuint glSampler;

private:
    ~SamplerState() override;
    D3D10_SAMPLER_DESC desc_;
};

// Creates a GL sampler object from a description (validated by the caller).
GLuint MakeSampler(const D3D10_SAMPLER_DESC& desc, bool anisotropy);

bool ValidBlendDesc(const D3D10_BLEND_DESC& desc);
bool ValidDepthStencilDesc(const D3D10_DEPTH_STENCIL_DESC& desc);
bool ValidRasterizerDesc(const D3D10_RASTERIZER_DESC& desc);
bool ValidSamplerDesc(const D3D10_SAMPLER_DESC& desc);

class SwapChain;
class DxgiDevice;

// The GL context a device renders with: a window given by the swap chain, or a hidden window.
struct GLContext {
    SDL_Window* window = nullptr;
    void* context = nullptr;  // SDL_GLContext
    bool ownsWindow = false;
    bool videoInit = false;
    bool software = false;  // a rasteriser on the CPU
};

// Creates the context for a driver type (see D3D10CreateDevice); window null: a hidden one.
HRESULT CreateContext(D3D10_DRIVER_TYPE driverType, HMODULE software, SDL_Window* window, GLContext& out);
void DestroyContext(GLContext& context);

HRESULT CreateDeviceForWindow(D3D10_DRIVER_TYPE driverType, HMODULE software, UINT flags, UINT sdkVersion,
                              SDL_Window* window, ID3D10Device** device);
HRESULT CreateSwapChainForWindow(ID3D10Device* device, SDL_Window* window, const DXGI_SWAP_CHAIN_DESC& desc,
                                 IDXGISwapChain** swapChain);

class Device final : public ID3D10Device {
public:
    Device(const GLContext& context, UINT flags);

    // IUnknown. The device lives while the application holds a reference or any of its
    // children exists; the last application release clears the bound state.
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    void AddChild() { ++children_; }
    void ReleaseChild();

    void VSSetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views) override;
    void VSSetSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers) override;
    void PSSetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views) override;
    void PSSetSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers) override;
    void PSGetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView** views) override;
    void IASetInputLayout(ID3D10InputLayout* layout) override;
    void IASetVertexBuffers(UINT startSlot, UINT count, ID3D10Buffer* const* buffers, const UINT* strides,
                            const UINT* offsets) override;
    void IASetIndexBuffer(ID3D10Buffer* buffer, DXGI_FORMAT format, UINT offset) override;
    void IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY topology) override;
    void IAGetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY* topology) override;
    void IAGetInputLayout(ID3D10InputLayout** layout) override;
    void Draw(UINT vertexCount, UINT startVertex) override;
    void DrawIndexed(UINT indexCount, UINT startIndex, INT baseVertex) override;
    void DrawInstanced(UINT vertexCountPerInstance, UINT instanceCount, UINT startVertex, UINT startInstance) override;
    void DrawIndexedInstanced(UINT indexCountPerInstance, UINT instanceCount, UINT startIndex, INT baseVertex,
                              UINT startInstance) override;
    void OMSetRenderTargets(UINT count, ID3D10RenderTargetView* const* views,
                            ID3D10DepthStencilView* depthStencil) override;
    void OMGetRenderTargets(UINT count, ID3D10RenderTargetView** views, ID3D10DepthStencilView** depthStencil) override;
    void OMSetBlendState(ID3D10BlendState* state, const FLOAT blendFactor[4], UINT sampleMask) override;
    void OMGetBlendState(ID3D10BlendState** state, FLOAT blendFactor[4], UINT* sampleMask) override;
    void OMSetDepthStencilState(ID3D10DepthStencilState* state, UINT stencilRef) override;
    void OMGetDepthStencilState(ID3D10DepthStencilState** state, UINT* stencilRef) override;
    void RSSetState(ID3D10RasterizerState* state) override;
    void RSGetState(ID3D10RasterizerState** state) override;
    void RSSetViewports(UINT count, const D3D10_VIEWPORT* viewports) override;
    void RSGetViewports(UINT* count, D3D10_VIEWPORT* viewports) override;
    void RSSetScissorRects(UINT count, const D3D10_RECT* rects) override;
    void CopySubresourceRegion(ID3D10Resource* dst, UINT dstSubresource, UINT dstX, UINT dstY, UINT dstZ,
                               ID3D10Resource* src, UINT srcSubresource, const D3D10_BOX* srcBox) override;
    void CopyResource(ID3D10Resource* dst, ID3D10Resource* src) override;
    void UpdateSubresource(ID3D10Resource* dst, UINT dstSubresource, const D3D10_BOX* dstBox, const void* data,
                           UINT rowPitch, UINT depthPitch) override;
    void ClearRenderTargetView(ID3D10RenderTargetView* view, const FLOAT color[4]) override;
    void ClearDepthStencilView(ID3D10DepthStencilView* view, UINT clearFlags, FLOAT depth, UINT8 stencil) override;
    void GenerateMips(ID3D10ShaderResourceView* view) override;
    HRESULT GetDeviceRemovedReason() override { return S_OK; }
    UINT GetCreationFlags() override { return flags_; }
    void ClearState() override;
    void Flush() override;
    HRESULT CreateBuffer(const D3D10_BUFFER_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                         ID3D10Buffer** buffer) override;
    HRESULT CreateTexture2D(const D3D10_TEXTURE2D_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                            ID3D10Texture2D** texture) override;
    HRESULT CreateTexture3D(const D3D10_TEXTURE3D_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                            ID3D10Texture3D** texture) override;
    HRESULT CreateShaderResourceView(ID3D10Resource* resource, const D3D10_SHADER_RESOURCE_VIEW_DESC* desc,
                                     ID3D10ShaderResourceView** view) override;
    HRESULT CreateRenderTargetView(ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC* desc,
                                   ID3D10RenderTargetView** view) override;
    HRESULT CreateDepthStencilView(ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC* desc,
                                   ID3D10DepthStencilView** view) override;
    HRESULT CreateInputLayout(const D3D10_INPUT_ELEMENT_DESC* elements, UINT count, const void* bytecode,
                              SIZE_T bytecodeLength, ID3D10InputLayout** layout) override;
    HRESULT CreateBlendState(const D3D10_BLEND_DESC* desc, ID3D10BlendState** state) override;
    HRESULT CreateDepthStencilState(const D3D10_DEPTH_STENCIL_DESC* desc, ID3D10DepthStencilState** state) override;
    HRESULT CreateRasterizerState(const D3D10_RASTERIZER_DESC* desc, ID3D10RasterizerState** state) override;
    HRESULT CreateSamplerState(const D3D10_SAMPLER_DESC* desc, ID3D10SamplerState** state) override;

    // GL side.
    void MakeCurrent();
    void InvalidateState();
    void SetProgram(GLuint program) { program_ = program; }
    GLuint Program() const { return program_; }
    void SetProgramClipDistances(GLuint program, UINT count);
    static constexpr UINT kMaxClipDistances = 8;
    // Instances a draw is split into on a CPU rasteriser.
    static constexpr UINT kInstancesPerChunk = 8192;
    // Vertices a draw of a point, line or triangle list is split into on a CPU rasteriser
    // (whole primitives of each).
    static constexpr UINT kVerticesPerChunk = 6 * 16384;
    // Forgets every cached GL object that refers to a texture about to be deleted.
    void ForgetTexture(GLuint texture);
    void ForgetBuffer(GLuint buffer);
    // Framebuffer with these attachments (cached); colour attachment i = draw buffer i.
    GLuint Framebuffer(const Attachment* colors, UINT count, const Attachment* depth, bool depthHasStencil);
    // Copies a whole texture level into the window's default framebuffer, flipped so that
    // row 0 is the top of the window, and swaps. Used by the swap chain.
    void PresentTexture(TextureBase* texture, int interval);
    // Reads/writes a region of a texture subresource as tight rows (elements: texels or blocks).
    void ReadTextureRegion(TextureBase* t, UINT subresource, UINT x, UINT y, UINT z, UINT w, UINT h, UINT d, BYTE* out);
    void WriteTextureRegion(TextureBase* t, UINT subresource, UINT x, UINT y, UINT z, UINT w, UINT h, UINT d,
                            const BYTE* data);
    // A new DXGI device object for this device (one reference).
    IDXGIDevice* NewDxgiDevice();
    bool hasCopyImage = false;
    bool hasBaseInstance = false;
    bool hasAnisotropy = false;
    bool hasPolygonOffsetClamp = false;
    GLint maxTextureSize = 0, max3DTextureSize = 0, maxTextureUnits = 0, maxDrawBuffers = 0, maxVertexAttribs = 0;

private:
    ~Device();
    void Destroy();
    void UnbindAll();
    bool PrepareDraw(UINT startInstance);
    void ApplyTargets();
    void ApplyBlend();
    void ApplyDepthStencil();
    void ApplyRasterizer();
    void ApplyViewports();
    void ApplyInput(UINT startInstance);
    void ApplyTextures();
    void SetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views);
    void SetSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers);
    bool BoundAsTarget(ID3D10Resource* resource) const;
    GLenum GlTopology() const;
    bool ProgramReadsInstanceId() const;
    template <class T>
    static void Assign(T*& slot, T* value) {
        if (slot == value)
            return;
        if (value)
            value->AddRef();
        if (slot)
            slot->Release();
        slot = value;
    }

    std::atomic<ULONG> refs_{1};
    std::atomic<ULONG> children_{0};
    bool tearingDown_ = false;
    GLContext context_;
    UINT flags_;

    // Bound state (one reference held on each bound object).
    GLuint program_ = 0;
    std::map<GLuint, UINT> programClipDistances_;  // programs that write clip distances
    UINT enabledClipDistances_ = 0;
    std::array<ID3D10ShaderResourceView*, D3D10_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT> views_{};
    UINT viewCount_ = 0;  // slots below this may be set
    std::array<ID3D10SamplerState*, D3D10_COMMONSHADER_SAMPLER_SLOT_COUNT> samplers_{};
    ID3D10InputLayout* layout_ = nullptr;
    std::array<ID3D10Buffer*, D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT> vertexBuffers_{};
    std::array<UINT, D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT> strides_{}, offsets_{};
    ID3D10Buffer* indexBuffer_ = nullptr;
    DXGI_FORMAT indexFormat_ = DXGI_FORMAT_UNKNOWN;
    UINT indexOffset_ = 0;
    D3D10_PRIMITIVE_TOPOLOGY topology_ = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
    std::array<ID3D10RenderTargetView*, D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT> targets_{};
    UINT targetCount_ = 0;
    ID3D10DepthStencilView* depthView_ = nullptr;
    ID3D10BlendState* blend_ = nullptr;
    FLOAT blendFactor_[4] = {1, 1, 1, 1};
    UINT sampleMask_ = 0xffffffffu;
    ID3D10DepthStencilState* depthState_ = nullptr;
    UINT stencilRef_ = 0;
    ID3D10RasterizerState* raster_ = nullptr;
    std::vector<D3D10_VIEWPORT> viewports_;
    std::vector<D3D10_RECT> scissors_;

    // What GL has now.
    bool targetsDirty_ = true, blendDirty_ = true, depthDirty_ = true, rasterDirty_ = true;
    bool viewportDirty_ = true, inputDirty_ = true, texturesDirty_ = true;  // textures: views and samplers
    bool indexDirty_ = true;
    bool haveTargets_ = false;
    UINT appliedStartInstance_ = 0;
    std::vector<GLuint> enabledAttribs_;
    struct UnitBinding {
        GLenum target = 0;
        GLuint texture = 0;
        GLuint sampler = 0;
    };
    std::vector<UnitBinding> units_;
    GLuint vao_ = 0;
    GLuint defaultSampler_ = 0;
    GLuint pointSampler_ = 0;
    GLuint black2D_ = 0, blackArray_ = 0, blackCube_ = 0, black3D_ = 0;
    std::map<std::vector<Attachment>, GLuint> framebuffers_;
    int swapInterval_ = -2;
};

inline Device* ToDevice(ID3D10Device* device) {
    return static_cast<Device*>(device);
}

template <class Interface>
DeviceChild<Interface>::DeviceChild(Device* device) : device_(device) {
    device_->AddChild();
}
template <class Interface>
DeviceChild<Interface>::~DeviceChild() {
    device_->ReleaseChild();
}
template <class Interface>
void DeviceChild<Interface>::GetDevice(ID3D10Device** device) {
    if (!device)
        return;
    device_->AddRef();
    *device = device_;
}

// Fills *object for the listed interface ids of an object.
template <class Self, class... Interfaces>
HRESULT QueryAs(Self* self, REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    bool found = ((riid == __uuidof(Interfaces) ? (*object = static_cast<Interfaces*>(self), true) : false) || ...);
    if (!found && riid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(self);
        found = true;
    }
    if (!found)
        return E_NOINTERFACE;
    self->AddRef();
    return S_OK;
}

}  // namespace d3d10gl
