// The device: GL context, bound state and draws.
#include <SDL2/SDL.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "d3d10_internal.h"

namespace d3d10gl {

GLenum GLCompare(D3D10_COMPARISON_FUNC f);
GLenum GLStencilOp(D3D10_STENCIL_OP op);

namespace {

// GL_POINTS is 0: an invalid topology needs a value of its own.
constexpr GLenum kNoTopology = 0xffffffffu;

const D3D10_BLEND_DESC kDefaultBlend = {FALSE,
                                        {FALSE, FALSE, FALSE, FALSE, FALSE, FALSE, FALSE, FALSE},
                                        D3D10_BLEND_ONE,
                                        D3D10_BLEND_ZERO,
                                        D3D10_BLEND_OP_ADD,
                                        D3D10_BLEND_ONE,
                                        D3D10_BLEND_ZERO,
                                        D3D10_BLEND_OP_ADD,
                                        {15, 15, 15, 15, 15, 15, 15, 15}};

const D3D10_DEPTH_STENCILOP_DESC kDefaultStencilOp = {D3D10_STENCIL_OP_KEEP, D3D10_STENCIL_OP_KEEP,
                                                      D3D10_STENCIL_OP_KEEP, D3D10_COMPARISON_ALWAYS};
const D3D10_DEPTH_STENCIL_DESC kDefaultDepth = {TRUE, D3D10_DEPTH_WRITE_MASK_ALL, D3D10_COMPARISON_LESS, FALSE, 0xff,
                                                0xff, kDefaultStencilOp,          kDefaultStencilOp};

const D3D10_RASTERIZER_DESC kDefaultRaster = {
    D3D10_FILL_SOLID, D3D10_CULL_BACK, FALSE, 0, 0.0f, 0.0f, TRUE, FALSE, FALSE, FALSE};

const D3D10_SAMPLER_DESC kDefaultSampler = {D3D10_FILTER_MIN_MAG_MIP_LINEAR,
                                            D3D10_TEXTURE_ADDRESS_CLAMP,
                                            D3D10_TEXTURE_ADDRESS_CLAMP,
                                            D3D10_TEXTURE_ADDRESS_CLAMP,
                                            0.0f,
                                            1,
                                            D3D10_COMPARISON_NEVER,
                                            {0, 0, 0, 0},
                                            -D3D10_FLOAT32_MAX,
                                            D3D10_FLOAT32_MAX};

bool IsSoftwareRenderer(const char* renderer) {
    static const char* const kSoftware[] = {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SWR", "lavapipe"};
    for (const char* s : kSoftware)
        if (std::strstr(renderer, s))
            return true;
    return false;
}

GLuint MakeBlackTexture(GLenum target, GLuint unit) {
    GLuint t = 0;
    const BYTE black[4 * 6] = {};
    glGenTextures(1, &t);
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, t);
    if (target == GL_TEXTURE_CUBE_MAP) {
        for (int f = 0; f < 6; ++f)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    } else if (target == GL_TEXTURE_2D) {
        glTexImage2D(target, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    } else {
        glTexImage3D(target, 0, GL_RGBA8, 1, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    }
    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(target, 0);
    return t;
}

// The rasteriser on the CPU allocates and frees blocks of several megabytes for every draw
// and binned scene. Above the allocator's default thresholds each one is a fresh mapping
// whose pages fault in anew: keep them in the heap.
void KeepLargeBlocksInHeap() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

}  // namespace

// ---- context ---------------------------------------------------------------------------

HRESULT CreateContext(D3D10_DRIVER_TYPE driverType, HMODULE software, SDL_Window* window, GLContext& out) {
    out = GLContext{};
    const char* wanted = nullptr;
    switch (driverType) {
        case D3D10_DRIVER_TYPE_HARDWARE:
            if (software)
                return E_INVALIDARG;
            break;
        case D3D10_DRIVER_TYPE_SOFTWARE:
            if (!software)
                return E_INVALIDARG;
            wanted = "llvmpipe";
            break;
        case D3D10_DRIVER_TYPE_REFERENCE:
            if (software)
                return E_INVALIDARG;
            wanted = "softpipe";
            break;
        default:
            return DXGI_ERROR_UNSUPPORTED;
    }
    if (wanted) {
        // Mesa picks its rasteriser when it first opens a display; later contexts keep it.
        const char* current = std::getenv("GALLIUM_DRIVER");
        if (!current || std::strcmp(current, wanted) != 0)
            setenv("GALLIUM_DRIVER", wanted, 1);
        if (!std::getenv("LIBGL_ALWAYS_SOFTWARE"))
            setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    }
    if (!window) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return DXGI_ERROR_UNSUPPORTED;
        out.videoInit = true;
    } else if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        return E_INVALIDARG;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    if (!window) {
        window = SDL_CreateWindow("d3d10", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16, 16,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window) {
            DestroyContext(out);
            return DXGI_ERROR_UNSUPPORTED;
        }
        out.ownsWindow = true;
    }
    out.window = window;
    out.context = SDL_GL_CreateContext(window);
    if (!out.context || SDL_GL_MakeCurrent(window, out.context) != 0) {
        DestroyContext(out);
        return DXGI_ERROR_UNSUPPORTED;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    bool ok = renderer != nullptr && epoxy_is_desktop_gl() && epoxy_gl_version() >= 33 &&
              (epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control"));
    if (ok && driverType == D3D10_DRIVER_TYPE_HARDWARE && IsSoftwareRenderer(renderer))
        ok = false;
    if (ok && wanted && !std::strstr(renderer, wanted))
        ok = false;
    if (!ok) {
        DestroyContext(out);
        return DXGI_ERROR_UNSUPPORTED;
    }
    out.software = IsSoftwareRenderer(renderer);
    if (out.software)
        KeepLargeBlocksInHeap();
    return S_OK;
}

void DestroyContext(GLContext& c) {
    if (c.context) {
        if (SDL_GL_GetCurrentContext() == c.context)
            SDL_GL_MakeCurrent(c.window, nullptr);
        SDL_GL_DeleteContext(c.context);
    }
    if (c.ownsWindow && c.window)
        SDL_DestroyWindow(c.window);
    if (c.videoInit)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    c = GLContext{};
}

// ---- device lifetime ---------------------------------------------------------------------

Device::Device(const GLContext& context, UINT flags) : mContext(context), mFlags(flags) {
    makeCurrent();
    hasCopyImage = epoxy_gl_version() >= 43 || epoxy_has_gl_extension("GL_ARB_copy_image");
    hasBaseInstance = epoxy_gl_version() >= 42 || epoxy_has_gl_extension("GL_ARB_base_instance");
    hasAnisotropy = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                    epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    hasPolygonOffsetClamp = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_ARB_polygon_offset_clamp");
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &max3DTextureSize);
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &maxTextureUnits);
    glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxDrawBuffers);
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &maxVertexAttribs);
    maxTextureUnits = std::min<GLint>(maxTextureUnits, D3D10_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT + 1);

    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glEnable(GL_FRAMEBUFFER_SRGB);
    glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    glGenVertexArrays(1, &mVao);
    glBindVertexArray(mVao);
    mDefaultSampler = MakeSampler(kDefaultSampler, hasAnisotropy);
    D3D10_SAMPLER_DESC point = kDefaultSampler;
    point.Filter = D3D10_FILTER_MIN_MAG_MIP_POINT;
    mPointSampler = MakeSampler(point, hasAnisotropy);
    const GLuint scratch = GLuint(maxTextureUnits - 1);
    mBlack2D = MakeBlackTexture(GL_TEXTURE_2D, scratch);
    mBlackArray = MakeBlackTexture(GL_TEXTURE_2D_ARRAY, scratch);
    mBlackCube = MakeBlackTexture(GL_TEXTURE_CUBE_MAP, scratch);
    mBlack3D = MakeBlackTexture(GL_TEXTURE_3D, scratch);
    mUnits.resize(maxTextureUnits - 1);
    for (GLuint u = 0; u < mUnits.size(); ++u) {
        glBindSampler(u, mDefaultSampler);
        mUnits[u].sampler = mDefaultSampler;
    }
}

Device::~Device() = default;

ULONG Device::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        mTearingDown = true;
        unbindAll();
        mTearingDown = false;
        if (mChildren == 0)
            destroy();
    }
    return left;
}

void Device::releaseChild() {
    if (--mChildren == 0 && mRefs == 0 && !mTearingDown)
        destroy();
}

void Device::destroy() {
    makeCurrent();
    for (auto& [key, fbo] : mFramebuffers)
        glDeleteFramebuffers(1, &fbo);
    mFramebuffers.clear();
    GLuint textures[4] = {mBlack2D, mBlackArray, mBlackCube, mBlack3D};
    glDeleteTextures(4, textures);
    glDeleteSamplers(1, &mDefaultSampler);
    glDeleteSamplers(1, &mPointSampler);
    glDeleteVertexArrays(1, &mVao);
    DestroyContext(mContext);
    delete this;
}

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid == __uuidof(ID3D10Device) || riid == IID_IUnknown) {
        AddRef();
        *object = static_cast<ID3D10Device*>(this);
        return S_OK;
    }
    if (riid == __uuidof(IDXGIDevice) || riid == __uuidof(IDXGIObject)) {
        *object = newDxgiDevice();
        return S_OK;
    }
    return E_NOINTERFACE;
}

void Device::makeCurrent() {
    if (SDL_GL_GetCurrentContext() != mContext.context)
        SDL_GL_MakeCurrent(mContext.window, mContext.context);
}

void Device::invalidateState() {
    mTargetsDirty = mBlendDirty = mDepthDirty = mRasterDirty = true;
    mViewportDirty = mInputDirty = mTexturesDirty = mSamplersDirty = mIndexDirty = true;
    for (auto& u : mUnits)
        u.target = 0, u.texture = 0, u.sampler = 0;
    makeCurrent();
    glBindVertexArray(mVao);
}

void Device::unbindAll() {
    for (auto& v : mViews)
        assign(v, static_cast<ID3D10ShaderResourceView*>(nullptr));
    mViewCount = 0;
    for (auto& s : mSamplers)
        assign(s, static_cast<ID3D10SamplerState*>(nullptr));
    assign(mLayout, static_cast<ID3D10InputLayout*>(nullptr));
    for (auto& b : mVertexBuffers)
        assign(b, static_cast<ID3D10Buffer*>(nullptr));
    mStrides.fill(0);
    mOffsets.fill(0);
    assign(mIndexBuffer, static_cast<ID3D10Buffer*>(nullptr));
    mIndexFormat = DXGI_FORMAT_UNKNOWN;
    mIndexOffset = 0;
    mTopology = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
    for (auto& t : mTargets)
        assign(t, static_cast<ID3D10RenderTargetView*>(nullptr));
    mTargetCount = 0;
    assign(mDepthView, static_cast<ID3D10DepthStencilView*>(nullptr));
    assign(mBlend, static_cast<ID3D10BlendState*>(nullptr));
    std::fill(mBlendFactor, mBlendFactor + 4, 1.0f);
    mSampleMask = 0xffffffffu;
    assign(mDepthState, static_cast<ID3D10DepthStencilState*>(nullptr));
    mStencilRef = 0;
    assign(mRaster, static_cast<ID3D10RasterizerState*>(nullptr));
    mViewports.clear();
    mScissors.clear();
    mProgram = 0;
    mTargetsDirty = mBlendDirty = mDepthDirty = mRasterDirty = true;
    mViewportDirty = mInputDirty = mTexturesDirty = mSamplersDirty = mIndexDirty = true;
}

void Device::ClearState() {
    unbindAll();
}

void Device::Flush() {
    makeCurrent();
    glFlush();
}

void Device::forgetTexture(GLuint texture) {
    for (auto it = mFramebuffers.begin(); it != mFramebuffers.end();) {
        bool uses = false;
        for (const Attachment& a : it->first)
            uses |= a.texture == texture;
        if (uses) {
            glDeleteFramebuffers(1, &it->second);
            it = mFramebuffers.erase(it);
            mTargetsDirty = true;
        } else {
            ++it;
        }
    }
    for (auto& u : mUnits)
        if (u.texture == texture)
            u.texture = 0, u.target = 0;
}

void Device::forgetBuffer(GLuint) {
    mInputDirty = mIndexDirty = true;
}

GLuint Device::framebuffer(const Attachment* colors, UINT count, const Attachment* depth, bool depthHasStencil) {
    std::vector<Attachment> key(colors, colors + count);
    key.push_back(depth ? *depth : Attachment{});
    auto it = mFramebuffers.find(key);
    if (it != mFramebuffers.end()) {
        glBindFramebuffer(GL_FRAMEBUFFER, it->second);
        return it->second;
    }
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    auto attach = [](GLenum point, const Attachment& a) {
        if (a.layer < 0)
            glFramebufferTexture(GL_FRAMEBUFFER, point, a.texture, a.level);
        else if (a.target == GL_TEXTURE_CUBE_MAP)
            glFramebufferTexture2D(GL_FRAMEBUFFER, point, GL_TEXTURE_CUBE_MAP_POSITIVE_X + a.layer, a.texture, a.level);
        else
            glFramebufferTextureLayer(GL_FRAMEBUFFER, point, a.texture, a.level, a.layer);
    };
    GLenum buffers[D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT];
    for (UINT i = 0; i < count; ++i) {
        buffers[i] = colors[i].texture ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
        if (colors[i].texture)
            attach(GL_COLOR_ATTACHMENT0 + i, colors[i]);
    }
    if (count)
        glDrawBuffers(GLsizei(count), buffers);
    else
        glDrawBuffer(GL_NONE);
    glReadBuffer(count && colors[0].texture ? GL_COLOR_ATTACHMENT0 : GL_NONE);
    if (depth && depth->texture)
        attach(depthHasStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT, *depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fbo);
        return 0;
    }
    mFramebuffers.emplace(std::move(key), fbo);
    return fbo;
}

// ---- state setting -----------------------------------------------------------------------

void Device::setShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views) {
    if (startSlot >= mViews.size())
        return;
    count = std::min<UINT>(count, UINT(mViews.size()) - startSlot);
    for (UINT i = 0; i < count; ++i) {
        ID3D10ShaderResourceView* v = views ? views[i] : nullptr;
        if (mViews[startSlot + i] != v) {
            assign(mViews[startSlot + i], v);
            mTexturesDirty = true;
        }
    }
    mViewCount = std::max(mViewCount, startSlot + count);
}

void Device::setSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers) {
    if (startSlot >= mSamplers.size())
        return;
    count = std::min<UINT>(count, UINT(mSamplers.size()) - startSlot);
    for (UINT i = 0; i < count; ++i) {
        ID3D10SamplerState* s = samplers ? samplers[i] : nullptr;
        if (mSamplers[startSlot + i] != s) {
            assign(mSamplers[startSlot + i], s);
            mTexturesDirty = true;
        }
    }
}

void Device::VSSetShaderResources(UINT s, UINT n, ID3D10ShaderResourceView* const* v) {
    setShaderResources(s, n, v);
}
void Device::PSSetShaderResources(UINT s, UINT n, ID3D10ShaderResourceView* const* v) {
    setShaderResources(s, n, v);
}
void Device::VSSetSamplers(UINT s, UINT n, ID3D10SamplerState* const* v) {
    setSamplers(s, n, v);
}
void Device::PSSetSamplers(UINT s, UINT n, ID3D10SamplerState* const* v) {
    setSamplers(s, n, v);
}

void Device::PSGetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView** views) {
    if (!views)
        return;
    for (UINT i = 0; i < count; ++i) {
        ID3D10ShaderResourceView* v = startSlot + i < mViews.size() ? mViews[startSlot + i] : nullptr;
        if (v)
            v->AddRef();
        views[i] = v;
    }
}

void Device::IASetInputLayout(ID3D10InputLayout* layout) {
    if (mLayout == layout)
        return;
    assign(mLayout, layout);
    mInputDirty = true;
}

void Device::IAGetInputLayout(ID3D10InputLayout** layout) {
    if (!layout)
        return;
    if (mLayout)
        mLayout->AddRef();
    *layout = mLayout;
}

void Device::IASetVertexBuffers(UINT startSlot, UINT count, ID3D10Buffer* const* buffers, const UINT* strides,
                                const UINT* offsets) {
    if (startSlot >= mVertexBuffers.size())
        return;
    count = std::min<UINT>(count, UINT(mVertexBuffers.size()) - startSlot);
    for (UINT i = 0; i < count; ++i) {
        const UINT slot = startSlot + i;
        ID3D10Buffer* b = buffers ? buffers[i] : nullptr;
        const UINT stride = strides ? strides[i] : 0, offset = offsets ? offsets[i] : 0;
        if (mVertexBuffers[slot] == b && mStrides[slot] == stride && mOffsets[slot] == offset)
            continue;
        assign(mVertexBuffers[slot], b);
        mStrides[slot] = stride;
        mOffsets[slot] = offset;
        mInputDirty = true;
    }
}

void Device::IASetIndexBuffer(ID3D10Buffer* buffer, DXGI_FORMAT format, UINT offset) {
    if (buffer != mIndexBuffer) {
        assign(mIndexBuffer, buffer);
        mIndexDirty = true;
    }
    mIndexFormat = format;
    mIndexOffset = offset;
}

void Device::IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY topology) {
    mTopology = topology;
}
void Device::IAGetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY* topology) {
    if (topology)
        *topology = mTopology;
}

void Device::OMSetRenderTargets(UINT count, ID3D10RenderTargetView* const* views,
                                ID3D10DepthStencilView* depthStencil) {
    count = std::min<UINT>(count, D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT);
    bool changed = count != mTargetCount || depthStencil != mDepthView;
    for (UINT i = 0; i < D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        ID3D10RenderTargetView* v = i < count && views ? views[i] : nullptr;
        if (mTargets[i] != v) {
            assign(mTargets[i], v);
            changed = true;
        }
    }
    assign(mDepthView, depthStencil);
    mTargetCount = count;
    if (changed)
        mTargetsDirty = mTexturesDirty = true;
}

void Device::OMGetRenderTargets(UINT count, ID3D10RenderTargetView** views, ID3D10DepthStencilView** depthStencil) {
    if (views)
        for (UINT i = 0; i < count; ++i) {
            ID3D10RenderTargetView* v = i < mTargetCount ? mTargets[i] : nullptr;
            if (v)
                v->AddRef();
            views[i] = v;
        }
    if (depthStencil) {
        if (mDepthView)
            mDepthView->AddRef();
        *depthStencil = mDepthView;
    }
}

void Device::OMSetBlendState(ID3D10BlendState* state, const FLOAT blendFactor[4], UINT sampleMask) {
    const FLOAT one[4] = {1, 1, 1, 1};
    const FLOAT* f = blendFactor ? blendFactor : one;
    if (state == mBlend && std::memcmp(f, mBlendFactor, sizeof(mBlendFactor)) == 0 && sampleMask == mSampleMask)
        return;
    assign(mBlend, state);
    std::memcpy(mBlendFactor, f, sizeof(mBlendFactor));
    mSampleMask = sampleMask;
    mBlendDirty = true;
}

void Device::OMGetBlendState(ID3D10BlendState** state, FLOAT blendFactor[4], UINT* sampleMask) {
    if (state) {
        if (mBlend)
            mBlend->AddRef();
        *state = mBlend;
    }
    if (blendFactor)
        std::memcpy(blendFactor, mBlendFactor, sizeof(mBlendFactor));
    if (sampleMask)
        *sampleMask = mSampleMask;
}

void Device::OMSetDepthStencilState(ID3D10DepthStencilState* state, UINT stencilRef) {
    if (state == mDepthState && stencilRef == mStencilRef)
        return;
    assign(mDepthState, state);
    mStencilRef = stencilRef;
    mDepthDirty = true;
}

void Device::OMGetDepthStencilState(ID3D10DepthStencilState** state, UINT* stencilRef) {
    if (state) {
        if (mDepthState)
            mDepthState->AddRef();
        *state = mDepthState;
    }
    if (stencilRef)
        *stencilRef = mStencilRef;
}

void Device::RSSetState(ID3D10RasterizerState* state) {
    if (state == mRaster)
        return;
    assign(mRaster, state);
    mRasterDirty = true;
}

void Device::RSGetState(ID3D10RasterizerState** state) {
    if (!state)
        return;
    if (mRaster)
        mRaster->AddRef();
    *state = mRaster;
}

void Device::RSSetViewports(UINT count, const D3D10_VIEWPORT* viewports) {
    count = std::min<UINT>(count, D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE);
    if (count && !viewports)
        return;
    if (count == mViewports.size() &&
        (count == 0 || std::memcmp(mViewports.data(), viewports, count * sizeof(*viewports)) == 0))
        return;
    mViewports.assign(viewports, viewports + count);
    mViewportDirty = true;
}

void Device::RSGetViewports(UINT* count, D3D10_VIEWPORT* viewports) {
    if (!count)
        return;
    if (!viewports) {
        *count = UINT(mViewports.size());
        return;
    }
    const UINT n = std::min<UINT>(*count, UINT(mViewports.size()));
    std::copy(mViewports.begin(), mViewports.begin() + n, viewports);
    *count = n;
}

void Device::RSSetScissorRects(UINT count, const D3D10_RECT* rects) {
    count = std::min<UINT>(count, D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE);
    if (count && !rects)
        return;
    mScissors.assign(rects, rects + count);
    mViewportDirty = true;
}

// ---- applying state at draw time -------------------------------------------------------

bool Device::boundAsTarget(ID3D10Resource* resource) const {
    for (UINT i = 0; i < mTargetCount; ++i)
        if (mTargets[i] && static_cast<RenderTargetView*>(mTargets[i])->resource() == resource)
            return true;
    return mDepthView && static_cast<DepthStencilView*>(mDepthView)->resource() == resource;
}

void Device::applyTargets() {
    mTargetsDirty = false;
    Attachment colors[D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT];
    bool any = false;
    for (UINT i = 0; i < mTargetCount; ++i)
        if (mTargets[i]) {
            colors[i] = static_cast<RenderTargetView*>(mTargets[i])->attachment;
            any = true;
        }
    Attachment depth;
    bool stencil = false;
    if (auto* d = static_cast<DepthStencilView*>(mDepthView)) {
        depth = d->attachment;
        stencil = d->texture()->info->stencil;
        any = true;
    }
    mHaveTargets = any && framebuffer(colors, mTargetCount, mDepthView ? &depth : nullptr, stencil) != 0;
}

void Device::applyBlend() {
    mBlendDirty = false;
    auto* state = static_cast<BlendState*>(mBlend);
    const D3D10_BLEND_DESC& d = state ? state->desc() : kDefaultBlend;
    const bool uniform = state ? state->uniform : true;
    auto mask = [](GLuint i, UINT8 m) { glColorMaski(i, m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1); };
    if (uniform) {
        if (d.BlendEnable[0])
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        const UINT8 m = d.RenderTargetWriteMask[0];
        glColorMask(m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1);
    } else {
        for (GLuint i = 0; i < 8 && GLint(i) < maxDrawBuffers; ++i) {
            if (d.BlendEnable[i])
                glEnablei(GL_BLEND, i);
            else
                glDisablei(GL_BLEND, i);
            mask(i, d.RenderTargetWriteMask[i]);
        }
    }
    if (state) {
        glBlendFuncSeparate(state->src, state->dst, state->srcAlpha, state->dstAlpha);
        glBlendEquationSeparate(state->op, state->opAlpha);
    } else {
        glBlendFunc(GL_ONE, GL_ZERO);
        glBlendEquation(GL_FUNC_ADD);
    }
    glBlendColor(mBlendFactor[0], mBlendFactor[1], mBlendFactor[2], mBlendFactor[3]);
    if (d.AlphaToCoverageEnable)
        glEnable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    else
        glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
}

void Device::applyDepthStencil() {
    mDepthDirty = false;
    const D3D10_DEPTH_STENCIL_DESC& d =
        mDepthState ? static_cast<DepthStencilState*>(mDepthState)->desc() : kDefaultDepth;
    if (d.DepthEnable) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GLCompare(d.DepthFunc));
        glDepthMask(d.DepthWriteMask == D3D10_DEPTH_WRITE_MASK_ALL);
    } else {
        // No depth test also means no depth writes.
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    }
    if (d.StencilEnable) {
        glEnable(GL_STENCIL_TEST);
        const D3D10_DEPTH_STENCILOP_DESC* faces[2] = {&d.FrontFace, &d.BackFace};
        const GLenum glFaces[2] = {GL_FRONT, GL_BACK};
        for (int i = 0; i < 2; ++i) {
            glStencilFuncSeparate(glFaces[i], GLCompare(faces[i]->StencilFunc), GLint(mStencilRef), d.StencilReadMask);
            glStencilOpSeparate(glFaces[i], GLStencilOp(faces[i]->StencilFailOp),
                                GLStencilOp(faces[i]->StencilDepthFailOp), GLStencilOp(faces[i]->StencilPassOp));
        }
        glStencilMask(d.StencilWriteMask);
    } else {
        glDisable(GL_STENCIL_TEST);
    }
}

void Device::applyRasterizer() {
    mRasterDirty = false;
    const D3D10_RASTERIZER_DESC& d = mRaster ? static_cast<RasterizerState*>(mRaster)->desc() : kDefaultRaster;
    glPolygonMode(GL_FRONT_AND_BACK, d.FillMode == D3D10_FILL_WIREFRAME ? GL_LINE : GL_FILL);
    if (d.CullMode == D3D10_CULL_NONE) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(d.CullMode == D3D10_CULL_FRONT ? GL_FRONT : GL_BACK);
    }
    // The upper-left clip origin keeps the winding as seen on the target.
    glFrontFace(d.FrontCounterClockwise ? GL_CCW : GL_CW);
    if (d.DepthBias != 0 || d.SlopeScaledDepthBias != 0.0f) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_POLYGON_OFFSET_LINE);
        if (hasPolygonOffsetClamp && d.DepthBiasClamp != 0.0f)
            glPolygonOffsetClamp(d.SlopeScaledDepthBias, float(d.DepthBias), d.DepthBiasClamp);
        else
            glPolygonOffset(d.SlopeScaledDepthBias, float(d.DepthBias));
    } else {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_POLYGON_OFFSET_LINE);
    }
    if (d.DepthClipEnable)
        glDisable(GL_DEPTH_CLAMP);
    else
        glEnable(GL_DEPTH_CLAMP);
    mScissorEnabled = d.ScissorEnable != FALSE;
    if (mScissorEnabled)
        glEnable(GL_SCISSOR_TEST);
    else
        glDisable(GL_SCISSOR_TEST);
}

void Device::applyViewports() {
    mViewportDirty = false;
    if (!mViewports.empty()) {
        const D3D10_VIEWPORT& v = mViewports[0];
        // Window row 0 is the top row of the target (upper-left clip origin).
        glViewport(v.TopLeftX, v.TopLeftY, GLsizei(v.Width), GLsizei(v.Height));
        glDepthRange(v.MinDepth, v.MaxDepth);
    }
    if (!mScissors.empty()) {
        const D3D10_RECT& r = mScissors[0];
        glScissor(r.left, r.top, std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top));
    } else {
        glScissor(0, 0, 0, 0);
    }
}

void Device::applyInput(UINT startInstance) {
    mInputDirty = false;
    mAppliedStartInstance = startInstance;
    std::vector<GLuint> enabled;
    if (auto* layout = static_cast<InputLayout*>(mLayout)) {
        for (const LayoutAttribute& a : layout->attributes()) {
            auto* b = static_cast<Buffer*>(mVertexBuffers[a.slot]);
            if (!b || !b->glName)
                continue;
            size_t offset = size_t(mOffsets[a.slot]) + a.offset;
            if (a.divisor && startInstance && !hasBaseInstance)
                offset += size_t(startInstance / a.divisor) * mStrides[a.slot];
            glBindBuffer(GL_ARRAY_BUFFER, b->glName);
            const void* pointer = reinterpret_cast<const void*>(offset);
            if (a.integer)
                glVertexAttribIPointer(a.location, a.components, a.type, GLsizei(mStrides[a.slot]), pointer);
            else
                glVertexAttribPointer(a.location, a.components, a.type, a.normalized, GLsizei(mStrides[a.slot]),
                                      pointer);
            glVertexAttribDivisor(a.location, a.divisor);
            enabled.push_back(a.location);
        }
    }
    for (GLuint loc : mEnabledAttribs)
        if (std::find(enabled.begin(), enabled.end(), loc) == enabled.end())
            glDisableVertexAttribArray(loc);
    for (GLuint loc : enabled)
        if (std::find(mEnabledAttribs.begin(), mEnabledAttribs.end(), loc) == mEnabledAttribs.end())
            glEnableVertexAttribArray(loc);
    mEnabledAttribs.swap(enabled);
}

void Device::applyTextures() {
    mTexturesDirty = false;
    UINT last = mViewCount;
    for (UINT s = 0; s < mSamplers.size(); ++s)
        if (mSamplers[s])
            last = std::max(last, s + 1);
    last = std::min<UINT>(last, UINT(mUnits.size()));
    for (UINT slot = 0; slot < last; ++slot) {
        auto* v = slot < mViewCount ? static_cast<ShaderResourceView*>(mViews[slot]) : nullptr;
        GLenum target = 0;
        GLuint name = 0;
        bool integer = false;
        TextureBase* tex = nullptr;
        if (v) {
            target = v->glTarget;
            if (boundAsTarget(v->resource())) {
                name = target == GL_TEXTURE_2D         ? mBlack2D
                       : target == GL_TEXTURE_2D_ARRAY ? mBlackArray
                       : target == GL_TEXTURE_CUBE_MAP ? mBlackCube
                                                       : mBlack3D;
            } else {
                tex = v->texture();
                name = tex->glName;
                integer = tex->info->integer;
            }
        }
        UnitBinding& u = mUnits[slot];
        bool active = false;
        if (u.texture != name || u.target != target ||
            (tex && (tex->baseLevel != v->baseLevel || tex->maxLevel != v->maxLevel))) {
            glActiveTexture(GL_TEXTURE0 + slot);
            active = true;
            if (u.target && u.target != target)
                glBindTexture(u.target, 0);
            if (target)
                glBindTexture(target, name);
            u.texture = name;
            u.target = target;
            if (tex && (tex->baseLevel != v->baseLevel || tex->maxLevel != v->maxLevel)) {
                glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, v->baseLevel);
                glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, v->maxLevel);
                tex->baseLevel = v->baseLevel;
                tex->maxLevel = v->maxLevel;
            }
        }
        (void)active;
        // Integer textures are incomplete under linear filtering: they read through a point sampler.
        GLuint sampler = integer           ? mPointSampler
                         : mSamplers[slot] ? static_cast<SamplerState*>(mSamplers[slot])->glSampler
                                           : mDefaultSampler;
        if (u.sampler != sampler) {
            glBindSampler(slot, sampler);
            u.sampler = sampler;
        }
    }
}

bool Device::prepareDraw(UINT startInstance) {
    if (!mProgram || mTopology == D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED || mViewports.empty())
        return false;
    makeCurrent();
    if (mTargetsDirty)
        applyTargets();
    if (!mHaveTargets)
        return false;
    glUseProgram(mProgram);
    const auto clip = mProgramClipDistances.find(mProgram);
    const UINT clipDistances = clip == mProgramClipDistances.end() ? 0 : clip->second;
    for (UINT i = std::min(clipDistances, mEnabledClipDistances); i < std::max(clipDistances, mEnabledClipDistances);
         ++i) {
        if (i < clipDistances)
            glEnable(GL_CLIP_DISTANCE0 + i);
        else
            glDisable(GL_CLIP_DISTANCE0 + i);
    }
    mEnabledClipDistances = clipDistances;
    if (mBlendDirty)
        applyBlend();
    if (mDepthDirty)
        applyDepthStencil();
    if (mRasterDirty)
        applyRasterizer();
    if (mViewportDirty)
        applyViewports();
    if (mInputDirty || (startInstance != mAppliedStartInstance && !hasBaseInstance))
        applyInput(startInstance);
    if (mIndexDirty) {
        mIndexDirty = false;
        auto* b = static_cast<Buffer*>(mIndexBuffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b ? b->glName : 0);
    }
    if (mTexturesDirty)
        applyTextures();
    return true;
}

GLenum Device::glTopology() const {
    switch (mTopology) {
        case D3D10_PRIMITIVE_TOPOLOGY_POINTLIST:
            return GL_POINTS;
        case D3D10_PRIMITIVE_TOPOLOGY_LINELIST:
            return GL_LINES;
        case D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP:
            return GL_LINE_STRIP;
        case D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST:
            return GL_TRIANGLES;
        case D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP:
            return GL_TRIANGLE_STRIP;
        case D3D10_PRIMITIVE_TOPOLOGY_LINELIST_ADJ:
            return GL_LINES_ADJACENCY;
        case D3D10_PRIMITIVE_TOPOLOGY_LINESTRIP_ADJ:
            return GL_LINE_STRIP_ADJACENCY;
        case D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST_ADJ:
            return GL_TRIANGLES_ADJACENCY;
        case D3D10_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP_ADJ:
            return GL_TRIANGLE_STRIP_ADJACENCY;
        default:
            return kNoTopology;
    }
}

void Device::Draw(UINT vertexCount, UINT startVertex) {
    if (vertexCount == 0 || glTopology() == kNoTopology || !prepareDraw(0))
        return;
    // On a CPU rasteriser, as with instances: a long list of points, lines or triangles goes
    // in chunks of whole primitives with a flush between them. The vertex id counts from the
    // draw's first vertex, so every chunk sees the ids it would have seen in one draw.
    const GLenum topology = glTopology();
    const bool list = topology == GL_POINTS || topology == GL_LINES || topology == GL_TRIANGLES;
    const UINT chunk =
        mContext.software && list && vertexCount > 2 * kVerticesPerChunk ? kVerticesPerChunk : vertexCount;
    for (UINT done = 0; done < vertexCount; done += chunk) {
        if (done)
            glFlush();
        glDrawArrays(topology, GLint(startVertex + done), GLsizei(std::min(chunk, vertexCount - done)));
    }
}

void Device::DrawInstanced(UINT vertexCount, UINT instanceCount, UINT startVertex, UINT startInstance) {
    if (vertexCount == 0 || instanceCount == 0 || glTopology() == kNoTopology || !prepareDraw(startInstance))
        return;
    if (startInstance && hasBaseInstance)
        glDrawArraysInstancedBaseInstance(glTopology(), GLint(startVertex), GLsizei(vertexCount),
                                          GLsizei(instanceCount), startInstance);
    else
        glDrawArraysInstanced(glTopology(), GLint(startVertex), GLsizei(vertexCount), GLsizei(instanceCount));
}

void Device::DrawIndexed(UINT indexCount, UINT startIndex, INT baseVertex) {
    DrawIndexedInstanced(indexCount, 1, startIndex, baseVertex, 0);
}

void Device::DrawIndexedInstanced(UINT indexCount, UINT instanceCount, UINT startIndex, INT baseVertex,
                                  UINT startInstance) {
    if (indexCount == 0 || instanceCount == 0 || !mIndexBuffer || glTopology() == kNoTopology)
        return;
    GLenum type;
    size_t size;
    if (mIndexFormat == DXGI_FORMAT_R16_UINT) {
        type = GL_UNSIGNED_SHORT;
        size = 2;
    } else if (mIndexFormat == DXGI_FORMAT_R32_UINT) {
        type = GL_UNSIGNED_INT;
        size = 4;
    } else {
        return;
    }
    if (!static_cast<Buffer*>(mIndexBuffer)->glName)
        return;
    const void* offset = reinterpret_cast<const void*>(size_t(mIndexOffset) + size * startIndex);
    // On a CPU rasteriser a draw of many instances is binned whole before any of it is
    // rasterised: in chunks, with a flush between them, rasterising overlaps the binning.
    // Instance ids restart with every draw, so a program that reads them is drawn whole.
    UINT chunk = instanceCount;
    if (mContext.software && hasBaseInstance && instanceCount > 2 * kInstancesPerChunk && !programReadsInstanceId())
        chunk = kInstancesPerChunk;
    for (UINT done = 0; done < instanceCount; done += chunk) {
        const UINT count = std::min(chunk, instanceCount - done);
        const UINT first = startInstance + done;
        if (!prepareDraw(first))
            return;
        if (done)
            glFlush();
        if (count == 1 && first == 0)
            glDrawElementsBaseVertex(glTopology(), GLsizei(indexCount), type, offset, baseVertex);
        else if (first && hasBaseInstance)
            glDrawElementsInstancedBaseVertexBaseInstance(glTopology(), GLsizei(indexCount), type, offset,
                                                          GLsizei(count), baseVertex, first);
        else
            glDrawElementsInstancedBaseVertex(glTopology(), GLsizei(indexCount), type, offset, GLsizei(count),
                                              baseVertex);
    }
}

bool Device::programReadsInstanceId() const {
    if (!mProgram)
        return false;
    GLint attributes = 0;
    glGetProgramiv(mProgram, GL_ACTIVE_ATTRIBUTES, &attributes);
    for (GLint i = 0; i < attributes; ++i) {
        char name[32] = {};
        GLint arraySize = 0;
        GLenum type = 0;
        glGetActiveAttrib(mProgram, GLuint(i), sizeof(name), nullptr, &arraySize, &type, name);
        if (std::strcmp(name, "gl_InstanceID") == 0)
            return true;
    }
    return false;
}

// ---- clears and presentation -------------------------------------------------------------

void Device::ClearRenderTargetView(ID3D10RenderTargetView* view, const FLOAT color[4]) {
    auto* v = static_cast<RenderTargetView*>(view);
    if (!v || !color)
        return;
    makeCurrent();
    if (!framebuffer(&v->attachment, 1, nullptr, false))
        return;
    glDisable(GL_SCISSOR_TEST);
    glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const FormatInfo& f = *v->texture()->info;
    if (f.integer && f.signedInteger) {
        const GLint c[4] = {GLint(color[0]), GLint(color[1]), GLint(color[2]), GLint(color[3])};
        glClearBufferiv(GL_COLOR, 0, c);
    } else if (f.integer) {
        const GLuint c[4] = {GLuint(std::max(0.0f, color[0])), GLuint(std::max(0.0f, color[1])),
                             GLuint(std::max(0.0f, color[2])), GLuint(std::max(0.0f, color[3]))};
        glClearBufferuiv(GL_COLOR, 0, c);
    } else {
        glClearBufferfv(GL_COLOR, 0, color);
    }
    mTargetsDirty = mBlendDirty = mRasterDirty = true;
}

void Device::ClearDepthStencilView(ID3D10DepthStencilView* view, UINT clearFlags, FLOAT depth, UINT8 stencil) {
    auto* v = static_cast<DepthStencilView*>(view);
    if (!v || !(clearFlags & (D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL)))
        return;
    makeCurrent();
    const bool hasStencil = v->texture()->info->stencil;
    if (!framebuffer(nullptr, 0, &v->attachment, hasStencil))
        return;
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(GL_TRUE);
    glStencilMask(0xff);
    const float d = std::clamp(depth, 0.0f, 1.0f);
    if (clearFlags & D3D10_CLEAR_DEPTH)
        glClearBufferfv(GL_DEPTH, 0, &d);
    if ((clearFlags & D3D10_CLEAR_STENCIL) && hasStencil) {
        const GLint s = stencil;
        glClearBufferiv(GL_STENCIL, 0, &s);
    }
    mTargetsDirty = mDepthDirty = mRasterDirty = true;
}

void Device::presentTexture(TextureBase* texture, int interval) {
    makeCurrent();
    Attachment a;
    a.texture = texture->glName;
    a.target = texture->glTarget;
    a.level = 0;
    a.layer = -1;
    if (!framebuffer(&a, 1, nullptr, false))
        return;
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(mContext.window, &dw, &dh);
    if (dw > 0 && dh > 0) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_FRAMEBUFFER_SRGB);
        const GLint w = GLint(texture->width), h = GLint(texture->height);
        // Row 0 of the texture is the top: it goes to the top row of the window.
        glBlitFramebuffer(0, 0, w, h, 0, dh, dw, 0, GL_COLOR_BUFFER_BIT, (w == dw && h == dh) ? GL_NEAREST : GL_LINEAR);
        glEnable(GL_FRAMEBUFFER_SRGB);
    }
    const int wanted = interval > 0 ? 1 : 0;
    if (wanted != mSwapInterval) {
        // Late swap tearing where vertical sync is unsupported falls back to none.
        if (SDL_GL_SetSwapInterval(wanted) != 0 && wanted)
            SDL_GL_SetSwapInterval(0);
        mSwapInterval = wanted;
    }
    SDL_GL_SwapWindow(mContext.window);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    mTargetsDirty = mRasterDirty = true;
}

// ---- creation ------------------------------------------------------------------------------

HRESULT CreateDeviceForWindow(D3D10_DRIVER_TYPE driverType, HMODULE software, UINT flags, UINT sdkVersion,
                              SDL_Window* window, ID3D10Device** device) {
    if (device)
        *device = nullptr;
    if (!device || sdkVersion != D3D10_SDK_VERSION)
        return E_INVALIDARG;
    GLContext context;
    HRESULT hr = CreateContext(driverType, software, window, context);
    if (FAILED(hr))
        return hr;
    *device = new Device(context, flags);
    return S_OK;
}

}  // namespace d3d10gl

using namespace d3d10gl;

HRESULT D3D10CreateDevice(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                          UINT sdkVersion, ID3D10Device** device) {
    if (device)
        *device = nullptr;
    if (adapter)
        return E_INVALIDARG;
    return CreateDeviceForWindow(driverType, software, flags, sdkVersion, nullptr, device);
}

void D3D10GL_SetProgram(ID3D10Device* device, unsigned int glProgram) {
    if (device)
        ToDevice(device)->setProgram(glProgram);
}

unsigned int D3D10GL_GetProgram(ID3D10Device* device) {
    return device ? ToDevice(device)->program() : 0;
}

void D3D10GL_SetProgramClipDistances(ID3D10Device* device, unsigned int glProgram, unsigned int count) {
    if (device)
        ToDevice(device)->setProgramClipDistances(glProgram, count);
}

void Device::setProgramClipDistances(GLuint program, UINT count) {
    count = std::min(count, kMaxClipDistances);
    if (count == 0)
        mProgramClipDistances.erase(program);
    else
        mProgramClipDistances[program] = count;
}

void D3D10GL_MakeCurrent(ID3D10Device* device) {
    if (device)
        ToDevice(device)->makeCurrent();
}

void D3D10GL_InvalidateState(ID3D10Device* device) {
    if (device)
        ToDevice(device)->invalidateState();
}

unsigned int D3D10GL_TextureName(ID3D10ShaderResourceView* view, unsigned int* glTarget) {
    auto* v = static_cast<ShaderResourceView*>(view);
    if (glTarget)
        *glTarget = v ? v->glTarget : 0;
    return v && v->texture() ? v->texture()->glName : 0;
}

unsigned int D3D10GL_ResourceName(ID3D10Resource* resource, unsigned int* glTarget) {
    ResourceBase* r = ToResource(resource);
    if (glTarget)
        *glTarget = r ? r->glTarget : 0;
    return r ? r->glName : 0;
}
