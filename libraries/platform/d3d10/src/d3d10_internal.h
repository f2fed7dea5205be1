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
    Device* device() const { return mDevice; }

protected:
    ~DeviceChild() override;
    Device* mDevice;
};

// A buffer or texture.
class ResourceBase {
public:
    D3D10_RESOURCE_DIMENSION dimension = D3D10_RESOURCE_DIMENSION_UNKNOWN;
    D3D10_USAGE usage = D3D10_USAGE_DEFAULT;
    UINT bindFlags = 0;
    UINT cpuAccess = 0;
    UINT miscFlags = 0;
    UINT evictionPriority = 0;
    // GL object: texture or buffer name (0 for staging resources, whose data live in memory).
    GLuint glName = 0;
    GLenum glTarget = 0;
    // CPU copy: staging resources, and dynamic ones (uploaded at Unmap).
    std::vector<std::vector<BYTE>> memory;  // one per subresource
    std::vector<bool> mapped;
    bool hasMemory() const { return !memory.empty(); }
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
            *desc = mDesc;
    }
    const D3D10_BUFFER_DESC& desc() const { return mDesc; }

private:
    ~Buffer() override;
    D3D10_BUFFER_DESC mDesc;
    D3D10_MAP mMapType = D3D10_MAP_READ;
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

    UINT subresourceCount() const { return mipLevels * arraySize; }
    UINT levelWidth(UINT level) const { return width >> level ? width >> level : 1; }
    UINT levelHeight(UINT level) const { return height >> level ? height >> level : 1; }
    UINT levelDepth(UINT level) const { return depth >> level ? depth >> level : 1; }
    // Elements (texels or blocks) across and down a level, and the tight row pitch.
    UINT levelColumns(UINT level) const;
    UINT levelRows(UINT level) const;
    UINT rowPitch(UINT level) const { return levelColumns(level) * info->elementBytes; }
    UINT slicePitch(UINT level) const { return rowPitch(level) * levelRows(level); }
    // Bytes of one subresource (all slices of a 3D level).
    size_t subresourceBytes(UINT level) const { return size_t(slicePitch(level)) * levelDepth(level); }
    // The GL target of one layer of a 2D texture (a cube face target for cubes).
    GLenum layerTarget(UINT layer) const;
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
            *desc = mDesc;
    }
    void setMipLevels(UINT levels) { mDesc.MipLevels = levels; }

private:
    ~Texture2D() override;
    D3D10_TEXTURE2D_DESC mDesc;
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
            *desc = mDesc;
    }
    void setMipLevels(UINT levels) { mDesc.MipLevels = levels; }

private:
    ~Texture3D() override;
    D3D10_TEXTURE3D_DESC mDesc;
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
            *desc = mDesc;
    }
    ID3D10Resource* resource() const { return mResource; }
    TextureBase* texture() const { return mTexture; }
    GLenum glTarget = 0;
    GLint baseLevel = 0, maxLevel = 0;

private:
    ~ShaderResourceView() override;
    ID3D10Resource* mResource;
    TextureBase* mTexture;
    D3D10_SHADER_RESOURCE_VIEW_DESC mDesc;
};

class RenderTargetView final : public DeviceChild<ID3D10RenderTargetView> {
public:
    RenderTargetView(Device* device, ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC& desc,
                     Attachment attachment);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetResource(ID3D10Resource** resource) override;
    void GetDesc(D3D10_RENDER_TARGET_VIEW_DESC* desc) override {
        if (desc)
            *desc = mDesc;
    }
    ID3D10Resource* resource() const { return mResource; }
    TextureBase* texture() const { return mTexture; }
    Attachment attachment;

private:
    ~RenderTargetView() override;
    ID3D10Resource* mResource;
    TextureBase* mTexture;
    D3D10_RENDER_TARGET_VIEW_DESC mDesc;
};

class DepthStencilView final : public DeviceChild<ID3D10DepthStencilView> {
public:
    DepthStencilView(Device* device, ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC& desc,
                     Attachment attachment);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetResource(ID3D10Resource** resource) override;
    void GetDesc(D3D10_DEPTH_STENCIL_VIEW_DESC* desc) override {
        if (desc)
            *desc = mDesc;
    }
    ID3D10Resource* resource() const { return mResource; }
    TextureBase* texture() const { return mTexture; }
    Attachment attachment;

private:
    ~DepthStencilView() override;
    ID3D10Resource* mResource;
    TextureBase* mTexture;
    D3D10_DEPTH_STENCIL_VIEW_DESC mDesc;
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
    const std::vector<LayoutAttribute>& attributes() const { return mAttributes; }
    UINT slotMask = 0;  // vertex-buffer slots the layout reads

private:
    ~InputLayout() override = default;
    std::vector<LayoutAttribute> mAttributes;
};

class BlendState final : public DeviceChild<ID3D10BlendState> {
public:
    BlendState(Device* device, const D3D10_BLEND_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_BLEND_DESC* desc) override {
        if (desc)
            *desc = mDesc;
    }
    const D3D10_BLEND_DESC& desc() const { return mDesc; }
    GLenum src, dst, op, srcAlpha, dstAlpha, opAlpha;
    bool uniform;  // the same enable and mask for every target

private:
    ~BlendState() override = default;
    D3D10_BLEND_DESC mDesc;
};

class DepthStencilState final : public DeviceChild<ID3D10DepthStencilState> {
public:
    DepthStencilState(Device* device, const D3D10_DEPTH_STENCIL_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_DEPTH_STENCIL_DESC* desc) override {
        if (desc)
            *desc = mDesc;
    }
    const D3D10_DEPTH_STENCIL_DESC& desc() const { return mDesc; }

private:
    ~DepthStencilState() override = default;
    D3D10_DEPTH_STENCIL_DESC mDesc;
};

class RasterizerState final : public DeviceChild<ID3D10RasterizerState> {
public:
    RasterizerState(Device* device, const D3D10_RASTERIZER_DESC& desc);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_RASTERIZER_DESC* desc) override {
        if (desc)
            *desc = mDesc;
    }
    const D3D10_RASTERIZER_DESC& desc() const { return mDesc; }

private:
    ~RasterizerState() override = default;
    D3D10_RASTERIZER_DESC mDesc;
};

class SamplerState final : public DeviceChild<ID3D10SamplerState> {
public:
    SamplerState(Device* device, const D3D10_SAMPLER_DESC& desc, GLuint sampler);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDesc(D3D10_SAMPLER_DESC* desc) override {
        if (desc)
            *desc = mDesc;
    }
    GLuint glSampler;

private:
    ~SamplerState() override;
    D3D10_SAMPLER_DESC mDesc;
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
    ULONG AddRef() override { return ++mRefs; }
    ULONG Release() override;
    void addChild() { ++mChildren; }
    void releaseChild();

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
    UINT GetCreationFlags() override { return mFlags; }
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
    void makeCurrent();
    void invalidateState();
    void setProgram(GLuint program) { mProgram = program; }
    GLuint program() const { return mProgram; }
    void setProgramClipDistances(GLuint program, UINT count);
    static constexpr UINT kMaxClipDistances = 8;
    // Instances a draw is split into on a CPU rasteriser.
    static constexpr UINT kInstancesPerChunk = 8192;
    // Vertices a draw of a point, line or triangle list is split into on a CPU rasteriser
    // (whole primitives of each).
    static constexpr UINT kVerticesPerChunk = 6 * 16384;
    SDL_Window* window() const { return mContext.window; }
    bool ownsWindow() const { return mContext.ownsWindow; }
    // Forgets every cached GL object that refers to a texture about to be deleted.
    void forgetTexture(GLuint texture);
    void forgetBuffer(GLuint buffer);
    // Framebuffer with these attachments (cached); colour attachment i = draw buffer i.
    GLuint framebuffer(const Attachment* colors, UINT count, const Attachment* depth, bool depthHasStencil);
    // Copies a whole texture level into the window's default framebuffer, flipped so that
    // row 0 is the top of the window, and swaps. Used by the swap chain.
    void presentTexture(TextureBase* texture, int interval);
    // Reads/writes a region of a texture subresource as tight rows (elements: texels or blocks).
    void readTextureRegion(TextureBase* t, UINT subresource, UINT x, UINT y, UINT z, UINT w, UINT h, UINT d, BYTE* out);
    void writeTextureRegion(TextureBase* t, UINT subresource, UINT x, UINT y, UINT z, UINT w, UINT h, UINT d,
                            const BYTE* data);
    // A new DXGI device object for this device (one reference).
    IDXGIDevice* newDxgiDevice();
    bool hasCopyImage = false;
    bool hasBaseInstance = false;
    bool hasAnisotropy = false;
    bool hasPolygonOffsetClamp = false;
    GLint maxTextureSize = 0, max3DTextureSize = 0, maxTextureUnits = 0, maxDrawBuffers = 0, maxVertexAttribs = 0;
    GLuint fallbackPointSampler() const { return mPointSampler; }

private:
    ~Device();
    void destroy();
    void unbindAll();
    bool prepareDraw(UINT startInstance);
    void applyTargets();
    void applyBlend();
    void applyDepthStencil();
    void applyRasterizer();
    void applyViewports();
    void applyInput(UINT startInstance);
    void applyTextures();
    void applySamplers();
    void setShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views);
    void setSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers);
    bool boundAsTarget(ID3D10Resource* resource) const;
    GLenum glTopology() const;
    bool programReadsInstanceId() const;
    template <class T>
    static void assign(T*& slot, T* value) {
        if (slot == value)
            return;
        if (value)
            value->AddRef();
        if (slot)
            slot->Release();
        slot = value;
    }

    std::atomic<ULONG> mRefs{1};
    std::atomic<ULONG> mChildren{0};
    bool mTearingDown = false;
    GLContext mContext;
    UINT mFlags;

    // Bound state (one reference held on each bound object).
    GLuint mProgram = 0;
    GLuint mUsedProgram = 0;
    std::map<GLuint, UINT> mProgramClipDistances;  // programs that write clip distances
    UINT mEnabledClipDistances = 0;
    std::array<ID3D10ShaderResourceView*, D3D10_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT> mViews{};
    UINT mViewCount = 0;  // slots below this may be set
    std::array<ID3D10SamplerState*, D3D10_COMMONSHADER_SAMPLER_SLOT_COUNT> mSamplers{};
    ID3D10InputLayout* mLayout = nullptr;
    std::array<ID3D10Buffer*, D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT> mVertexBuffers{};
    std::array<UINT, D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT> mStrides{}, mOffsets{};
    ID3D10Buffer* mIndexBuffer = nullptr;
    DXGI_FORMAT mIndexFormat = DXGI_FORMAT_UNKNOWN;
    UINT mIndexOffset = 0;
    D3D10_PRIMITIVE_TOPOLOGY mTopology = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
    std::array<ID3D10RenderTargetView*, D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT> mTargets{};
    UINT mTargetCount = 0;
    ID3D10DepthStencilView* mDepthView = nullptr;
    ID3D10BlendState* mBlend = nullptr;
    FLOAT mBlendFactor[4] = {1, 1, 1, 1};
    UINT mSampleMask = 0xffffffffu;
    ID3D10DepthStencilState* mDepthState = nullptr;
    UINT mStencilRef = 0;
    ID3D10RasterizerState* mRaster = nullptr;
    std::vector<D3D10_VIEWPORT> mViewports;
    std::vector<D3D10_RECT> mScissors;

    // What GL has now.
    bool mTargetsDirty = true, mBlendDirty = true, mDepthDirty = true, mRasterDirty = true;
    bool mViewportDirty = true, mInputDirty = true, mTexturesDirty = true, mSamplersDirty = true;
    bool mIndexDirty = true;
    bool mHaveTargets = false;
    UINT mAppliedStartInstance = 0;
    std::vector<GLuint> mEnabledAttribs;
    struct UnitBinding {
        GLenum target = 0;
        GLuint texture = 0;
        GLuint sampler = 0;
    };
    std::vector<UnitBinding> mUnits;
    bool mScissorEnabled = false;
    GLuint mVao = 0;
    GLuint mDefaultSampler = 0;
    GLuint mPointSampler = 0;
    GLuint mBlack2D = 0, mBlackArray = 0, mBlackCube = 0, mBlack3D = 0;
    std::map<std::vector<Attachment>, GLuint> mFramebuffers;
    int mSwapInterval = -2;
};

inline Device* ToDevice(ID3D10Device* device) {
    return static_cast<Device*>(device);
}

template <class Interface>
DeviceChild<Interface>::DeviceChild(Device* device) : mDevice(device) {
    mDevice->addChild();
}
template <class Interface>
DeviceChild<Interface>::~DeviceChild() {
    mDevice->releaseChild();
}
template <class Interface>
void DeviceChild<Interface>::GetDevice(ID3D10Device** device) {
    if (!device)
        return;
    mDevice->AddRef();
    *device = mDevice;
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
