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

Device::Device(const GLContext& context, UINT flags) : context_(context), flags_(flags) {
    MakeCurrent();
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
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    defaultSampler_ = MakeSampler(kDefaultSampler, hasAnisotropy);
    D3D10_SAMPLER_DESC point = kDefaultSampler;
    point.Filter = D3D10_FILTER_MIN_MAG_MIP_POINT;
    pointSampler_ = MakeSampler(point, hasAnisotropy);
    const GLuint scratch = GLuint(maxTextureUnits - 1);
    black2D_ = MakeBlackTexture(GL_TEXTURE_2D, scratch);
    blackArray_ = MakeBlackTexture(GL_TEXTURE_2D_ARRAY, scratch);
    blackCube_ = MakeBlackTexture(GL_TEXTURE_CUBE_MAP, scratch);
    black3D_ = MakeBlackTexture(GL_TEXTURE_3D, scratch);
    units_.resize(maxTextureUnits - 1);
    for (GLuint u = 0; u < units_.size(); ++u) {
        glBindSampler(u, defaultSampler_);
        units_[u].sampler = defaultSampler_;
    }
}

Device::~Device() = default;

ULONG Device::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        tearingDown_ = true;
        UnbindAll();
        tearingDown_ = false;
        if (children_ == 0)
            Destroy();
    }
    return left;
}

void Device::ReleaseChild() {
    if (--children_ == 0 && refs_ == 0 && !tearingDown_)
        Destroy();
}

void Device::Destroy() {
    MakeCurrent();
    for (auto& [key, fbo] : framebuffers_)
        glDeleteFramebuffers(1, &fbo);
    framebuffers_.clear();
    GLuint textures[4] = {black2D_, blackArray_, blackCube_, black3D_};
    glDeleteTextures(4, textures);
    glDeleteSamplers(1, &defaultSampler_);
    glDeleteSamplers(1, &pointSampler_);
    glDeleteVertexArrays(1, &vao_);
    DestroyContext(context_);
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
        *object = NewDxgiDevice();
        return S_OK;
    }
    return E_NOINTERFACE;
}

void Device::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() != context_.context)
        SDL_GL_MakeCurrent(context_.window, context_.context);
}

void Device::InvalidateState() {
    targetsDirty_ = blendDirty_ = depthDirty_ = rasterDirty_ = true;
    viewportDirty_ = inputDirty_ = texturesDirty_ = indexDirty_ = true;
    for (auto& u : units_)
        u.target = 0, u.texture = 0, u.sampler = 0;
    MakeCurrent();
    glBindVertexArray(vao_);
}

void Device::UnbindAll() {
    for (auto& v : views_)
        Assign(v, static_cast<ID3D10ShaderResourceView*>(nullptr));
    viewCount_ = 0;
    for (auto& s : samplers_)
        Assign(s, static_cast<ID3D10SamplerState*>(nullptr));
    Assign(layout_, static_cast<ID3D10InputLayout*>(nullptr));
    for (auto& b : vertexBuffers_)
        Assign(b, static_cast<ID3D10Buffer*>(nullptr));
    strides_.fill(0);
    offsets_.fill(0);
    Assign(indexBuffer_, static_cast<ID3D10Buffer*>(nullptr));
    indexFormat_ = DXGI_FORMAT_UNKNOWN;
    indexOffset_ = 0;
    topology_ = D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED;
    for (auto& t : targets_)
        Assign(t, static_cast<ID3D10RenderTargetView*>(nullptr));
    targetCount_ = 0;
    Assign(depthView_, static_cast<ID3D10DepthStencilView*>(nullptr));
    Assign(blend_, static_cast<ID3D10BlendState*>(nullptr));
    std::fill(blendFactor_, blendFactor_ + 4, 1.0f);
    sampleMask_ = 0xffffffffu;
    Assign(depthState_, static_cast<ID3D10DepthStencilState*>(nullptr));
    stencilRef_ = 0;
    Assign(raster_, static_cast<ID3D10RasterizerState*>(nullptr));
    viewports_.clear();
    scissors_.clear();
    program_ = 0;
    targetsDirty_ = blendDirty_ = depthDirty_ = rasterDirty_ = true;
    viewportDirty_ = inputDirty_ = texturesDirty_ = indexDirty_ = true;
}

void Device::ClearState() {
    UnbindAll();
}

void Device::Flush() {
    MakeCurrent();
    glFlush();
}

void Device::ForgetTexture(GLuint texture) {
    for (auto it = framebuffers_.begin(); it != framebuffers_.end();) {
        bool uses = false;
        for (const Attachment& a : it->first)
            uses |= a.texture == texture;
        if (uses) {
            glDeleteFramebuffers(1, &it->second);
            it = framebuffers_.erase(it);
            targetsDirty_ = true;
        } else {
            ++it;
        }
    }
    for (auto& u : units_)
        if (u.texture == texture)
            u.texture = 0, u.target = 0;
}

void Device::ForgetBuffer(GLuint) {
    inputDirty_ = indexDirty_ = true;
}

GLuint Device::Framebuffer(const Attachment* colors, UINT count, const Attachment* depth, bool depthHasStencil) {
    std::vector<Attachment> key(colors, colors + count);
    key.push_back(depth ? *depth : Attachment{});
    auto it = framebuffers_.find(key);
    if (it != framebuffers_.end()) {
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
    framebuffers_.emplace(std::move(key), fbo);
    return fbo;
}

// ---- state setting -----------------------------------------------------------------------

void Device::SetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView* const* views) {
    if (startSlot >= views_.size())
        return;
    count = std::min<UINT>(count, UINT(views_.size()) - startSlot);
    for (UINT i = 0; i < count; ++i) {
        ID3D10ShaderResourceView* v = views ? views[i] : nullptr;
        if (views_[startSlot + i] != v) {
            Assign(views_[startSlot + i], v);
            texturesDirty_ = true;
        }
    }
    viewCount_ = std::max(viewCount_, startSlot + count);
}

void Device::SetSamplers(UINT startSlot, UINT count, ID3D10SamplerState* const* samplers) {
    if (startSlot >= samplers_.size())
        return;
    count = std::min<UINT>(count, UINT(samplers_.size()) - startSlot);
    for (UINT i = 0; i < count; ++i) {
        ID3D10SamplerState* s = samplers ? samplers[i] : nullptr;
        if (samplers_[startSlot + i] != s) {
            Assign(samplers_[startSlot + i], s);
            texturesDirty_ = true;
        }
    }
}

void Device::VSSetShaderResources(UINT s, UINT n, ID3D10ShaderResourceView* const* v) {
    SetShaderResources(s, n, v);
}
void Device::PSSetShaderResources(UINT s, UINT n, ID3D10ShaderResourceView* const* v) {
    SetShaderResources(s, n, v);
}
void Device::VSSetSamplers(UINT s, UINT n, ID3D10SamplerState* const* v) {
    SetSamplers(s, n, v);
}
void Device::PSSetSamplers(UINT s, UINT n, ID3D10SamplerState* const* v) {
    SetSamplers(s, n, v);
}

void Device::PSGetShaderResources(UINT startSlot, UINT count, ID3D10ShaderResourceView** views) {
    if (!views)
        return;
    for (UINT i = 0; i < count; ++i) {
        ID3D10ShaderResourceView* v = startSlot + i < views_.size() ? views_[startSlot + i] : nullptr;
        if (v)
            v->AddRef();
        views[i] = v;
    }
}

void Device::IASetInputLayout(ID3D10InputLayout* layout) {
    if (layout_ == layout)
        return;
    Assign(layout_, layout);
    inputDirty_ = true;
}

void Device::IAGetInputLayout(ID3D10InputLayout** layout) {
    if (!layout)
        return;
    if (layout_)
        layout_->AddRef();
    *layout = layout_;
}

void Device::IASetVertexBuffers(UINT startSlot, UINT count, ID3D10Buffer* const* buffers, const UINT* strides,
                                const UINT* offsets) {
    if (startSlot >= vertexBuffers_.size())
        return;
    count = std::min<UINT>(count, UINT(vertexBuffers_.size()) - startSlot);
    for (UINT i = 0; i < count; ++i) {
        const UINT slot = startSlot + i;
        ID3D10Buffer* b = buffers ? buffers[i] : nullptr;
        const UINT stride = strides ? strides[i] : 0, offset = offsets ? offsets[i] : 0;
        if (vertexBuffers_[slot] == b && strides_[slot] == stride && offsets_[slot] == offset)
            continue;
        Assign(vertexBuffers_[slot], b);
        strides_[slot] = stride;
        offsets_[slot] = offset;
        inputDirty_ = true;
    }
}

void Device::IASetIndexBuffer(ID3D10Buffer* buffer, DXGI_FORMAT format, UINT offset) {
    if (buffer != indexBuffer_) {
        Assign(indexBuffer_, buffer);
        indexDirty_ = true;
    }
    indexFormat_ = format;
    indexOffset_ = offset;
}

void Device::IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY topology) {
    topology_ = topology;
}
void Device::IAGetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY* topology) {
    if (topology)
        *topology = topology_;
}

void Device::OMSetRenderTargets(UINT count, ID3D10RenderTargetView* const* views,
                                ID3D10DepthStencilView* depthStencil) {
    count = std::min<UINT>(count, D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT);
    bool changed = count != targetCount_ || depthStencil != depthView_;
    for (UINT i = 0; i < D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        ID3D10RenderTargetView* v = i < count && views ? views[i] : nullptr;
        if (targets_[i] != v) {
            Assign(targets_[i], v);
            changed = true;
        }
    }
    Assign(depthView_, depthStencil);
    targetCount_ = count;
    if (changed)
        targetsDirty_ = texturesDirty_ = true;
}

void Device::OMGetRenderTargets(UINT count, ID3D10RenderTargetView** views, ID3D10DepthStencilView** depthStencil) {
    if (views)
        for (UINT i = 0; i < count; ++i) {
            ID3D10RenderTargetView* v = i < targetCount_ ? targets_[i] : nullptr;
            if (v)
                v->AddRef();
            views[i] = v;
        }
    if (depthStencil) {
        if (depthView_)
            depthView_->AddRef();
        *depthStencil = depthView_;
    }
}

void Device::OMSetBlendState(ID3D10BlendState* state, const FLOAT blendFactor[4], UINT sampleMask) {
    const FLOAT one[4] = {1, 1, 1, 1};
    const FLOAT* f = blendFactor ? blendFactor : one;
    if (state == blend_ && std::memcmp(f, blendFactor_, sizeof(blendFactor_)) == 0 && sampleMask == sampleMask_)
        return;
    Assign(blend_, state);
    std::memcpy(blendFactor_, f, sizeof(blendFactor_));
    sampleMask_ = sampleMask;
    blendDirty_ = true;
}

void Device::OMGetBlendState(ID3D10BlendState** state, FLOAT blendFactor[4], UINT* sampleMask) {
    if (state) {
        if (blend_)
            blend_->AddRef();
        *state = blend_;
    }
    if (blendFactor)
        std::memcpy(blendFactor, blendFactor_, sizeof(blendFactor_));
    if (sampleMask)
        *sampleMask = sampleMask_;
}

void Device::OMSetDepthStencilState(ID3D10DepthStencilState* state, UINT stencilRef) {
    if (state == depthState_ && stencilRef == stencilRef_)
        return;
    Assign(depthState_, state);
    stencilRef_ = stencilRef;
    depthDirty_ = true;
}

void Device::OMGetDepthStencilState(ID3D10DepthStencilState** state, UINT* stencilRef) {
    if (state) {
        if (depthState_)
            depthState_->AddRef();
        *state = depthState_;
    }
    if (stencilRef)
        *stencilRef = stencilRef_;
}

void Device::RSSetState(ID3D10RasterizerState* state) {
    if (state == raster_)
        return;
    Assign(raster_, state);
    rasterDirty_ = true;
}

void Device::RSGetState(ID3D10RasterizerState** state) {
    if (!state)
        return;
    if (raster_)
        raster_->AddRef();
    *state = raster_;
}

void Device::RSSetViewports(UINT count, const D3D10_VIEWPORT* viewports) {
    count = std::min<UINT>(count, D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE);
    if (count && !viewports)
        return;
    if (count == viewports_.size() &&
        (count == 0 || std::memcmp(viewports_.data(), viewports, count * sizeof(*viewports)) == 0))
        return;
    viewports_.assign(viewports, viewports + count);
    viewportDirty_ = true;
}

void Device::RSGetViewports(UINT* count, D3D10_VIEWPORT* viewports) {
    if (!count)
        return;
    if (!viewports) {
        *count = UINT(viewports_.size());
        return;
    }
    const UINT n = std::min<UINT>(*count, UINT(viewports_.size()));
    std::copy(viewports_.begin(), viewports_.begin() + n, viewports);
    *count = n;
}

void Device::RSSetScissorRects(UINT count, const D3D10_RECT* rects) {
    count = std::min<UINT>(count, D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE);
    if (count && !rects)
        return;
    scissors_.assign(rects, rects + count);
    viewportDirty_ = true;
}

// ---- applying state at draw time -------------------------------------------------------

bool Device::BoundAsTarget(ID3D10Resource* resource) const {
    for (UINT i = 0; i < targetCount_; ++i)
        if (targets_[i] && static_cast<RenderTargetView*>(targets_[i])->Resource() == resource)
            return true;
    return depthView_ && static_cast<DepthStencilView*>(depthView_)->Resource() == resource;
}

void Device::ApplyTargets() {
    targetsDirty_ = false;
    Attachment colors[D3D10_SIMULTANEOUS_RENDER_TARGET_COUNT];
    bool any = false;
    for (UINT i = 0; i < targetCount_; ++i)
        if (targets_[i]) {
            colors[i] = static_cast<RenderTargetView*>(targets_[i])->attachment;
            any = true;
        }
    Attachment depth;
    bool stencil = false;
    if (auto* d = static_cast<DepthStencilView*>(depthView_)) {
        depth = d->attachment;
        stencil = d->Texture()->info->stencil;
        any = true;
    }
    haveTargets_ = any && Framebuffer(colors, targetCount_, depthView_ ? &depth : nullptr, stencil) != 0;
}

void Device::ApplyBlend() {
    blendDirty_ = false;
    auto* state = static_cast<BlendState*>(blend_);
    const D3D10_BLEND_DESC& d = state ? state->Desc() : kDefaultBlend;
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
    glBlendColor(blendFactor_[0], blendFactor_[1], blendFactor_[2], blendFactor_[3]);
    if (d.AlphaToCoverageEnable)
        glEnable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    else
        glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
}

void Device::ApplyDepthStencil() {
    depthDirty_ = false;
    const D3D10_DEPTH_STENCIL_DESC& d =
        depthState_ ? static_cast<DepthStencilState*>(depthState_)->Desc() : kDefaultDepth;
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
            glStencilFuncSeparate(glFaces[i], GLCompare(faces[i]->StencilFunc), GLint(stencilRef_), d.StencilReadMask);
            glStencilOpSeparate(glFaces[i], GLStencilOp(faces[i]->StencilFailOp),
                                GLStencilOp(faces[i]->StencilDepthFailOp), GLStencilOp(faces[i]->StencilPassOp));
        }
        glStencilMask(d.StencilWriteMask);
    } else {
        glDisable(GL_STENCIL_TEST);
    }
}

void Device::ApplyRasterizer() {
    rasterDirty_ = false;
    const D3D10_RASTERIZER_DESC& d = raster_ ? static_cast<RasterizerState*>(raster_)->Desc() : kDefaultRaster;
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
    if (d.ScissorEnable)
        glEnable(GL_SCISSOR_TEST);
    else
        glDisable(GL_SCISSOR_TEST);
}

void Device::ApplyViewports() {
    viewportDirty_ = false;
    if (!viewports_.empty()) {
        const D3D10_VIEWPORT& v = viewports_[0];
        // Window row 0 is the top row of the target (upper-left clip origin).
        glViewport(v.TopLeftX, v.TopLeftY, GLsizei(v.Width), GLsizei(v.Height));
        glDepthRange(v.MinDepth, v.MaxDepth);
    }
    if (!scissors_.empty()) {
        const D3D10_RECT& r = scissors_[0];
        glScissor(r.left, r.top, std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top));
    } else {
        glScissor(0, 0, 0, 0);
    }
}

void Device::ApplyInput(UINT startInstance) {
    inputDirty_ = false;
    appliedStartInstance_ = startInstance;
    std::vector<GLuint> enabled;
    if (auto* layout = static_cast<InputLayout*>(layout_)) {
        for (const LayoutAttribute& a : layout->Attributes()) {
            auto* b = static_cast<Buffer*>(vertexBuffers_[a.slot]);
            if (!b || !b->glName)
                continue;
            size_t offset = size_t(offsets_[a.slot]) + a.offset;
            if (a.divisor && startInstance && !hasBaseInstance)
                offset += size_t(startInstance / a.divisor) * strides_[a.slot];
            glBindBuffer(GL_ARRAY_BUFFER, b->glName);
            const void* pointer = reinterpret_cast<const void*>(offset);
            if (a.integer)
                glVertexAttribIPointer(a.location, a.components, a.type, GLsizei(strides_[a.slot]), pointer);
            else
                glVertexAttribPointer(a.location, a.components, a.type, a.normalized, GLsizei(strides_[a.slot]),
                                      pointer);
            glVertexAttribDivisor(a.location, a.divisor);
            enabled.push_back(a.location);
        }
    }
    for (GLuint loc : enabledAttribs_)
        if (std::find(enabled.begin(), enabled.end(), loc) == enabled.end())
            glDisableVertexAttribArray(loc);
    for (GLuint loc : enabled)
        if (std::find(enabledAttribs_.begin(), enabledAttribs_.end(), loc) == enabledAttribs_.end())
            glEnableVertexAttribArray(loc);
    enabledAttribs_.swap(enabled);
}

void Device::ApplyTextures() {
    texturesDirty_ = false;
    UINT last = viewCount_;
    for (UINT s = 0; s < samplers_.size(); ++s)
        if (samplers_[s])
            last = std::max(last, s + 1);
    last = std::min<UINT>(last, UINT(units_.size()));
    for (UINT slot = 0; slot < last; ++slot) {
        auto* v = slot < viewCount_ ? static_cast<ShaderResourceView*>(views_[slot]) : nullptr;
        GLenum target = 0;
        GLuint name = 0;
        bool integer = false;
        TextureBase* tex = nullptr;
        if (v) {
            target = v->glTarget;
            if (BoundAsTarget(v->Resource())) {
                name = target == GL_TEXTURE_2D         ? black2D_
                       : target == GL_TEXTURE_2D_ARRAY ? blackArray_
                       : target == GL_TEXTURE_CUBE_MAP ? blackCube_
                                                       : black3D_;
            } else {
                tex = v->Texture();
                name = tex->glName;
                integer = tex->info->integer;
            }
        }
        UnitBinding& u = units_[slot];
        if (u.texture != name || u.target != target ||
            (tex && (tex->baseLevel != v->baseLevel || tex->maxLevel != v->maxLevel))) {
            glActiveTexture(GL_TEXTURE0 + slot);
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
        // Integer textures are incomplete under linear filtering: they read through a point sampler.
        GLuint sampler = integer           ? pointSampler_
                         : samplers_[slot] ? static_cast<SamplerState*>(samplers_[slot])->glSampler
                                           : defaultSampler_;
        if (u.sampler != sampler) {
            glBindSampler(slot, sampler);
            u.sampler = sampler;
        }
    }
}

bool Device::PrepareDraw(UINT startInstance) {
    if (!program_ || topology_ == D3D10_PRIMITIVE_TOPOLOGY_UNDEFINED || viewports_.empty())
        return false;
    MakeCurrent();
    if (targetsDirty_)
        ApplyTargets();
    if (!haveTargets_)
        return false;
    glUseProgram(program_);
    const auto clip = programClipDistances_.find(program_);
    const UINT clipDistances = clip == programClipDistances_.end() ? 0 : clip->second;
    for (UINT i = std::min(clipDistances, enabledClipDistances_); i < std::max(clipDistances, enabledClipDistances_);
         ++i) {
        if (i < clipDistances)
            glEnable(GL_CLIP_DISTANCE0 + i);
        else
            glDisable(GL_CLIP_DISTANCE0 + i);
    }
    enabledClipDistances_ = clipDistances;
    if (blendDirty_)
        ApplyBlend();
    if (depthDirty_)
        ApplyDepthStencil();
    if (rasterDirty_)
        ApplyRasterizer();
    if (viewportDirty_)
        ApplyViewports();
    if (inputDirty_ || (startInstance != appliedStartInstance_ && !hasBaseInstance))
        ApplyInput(startInstance);
    if (indexDirty_) {
        indexDirty_ = false;
        auto* b = static_cast<Buffer*>(indexBuffer_);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b ? b->glName : 0);
    }
    if (texturesDirty_)
        ApplyTextures();
    return true;
}

GLenum Device::GlTopology() const {
    switch (topology_) {
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
    if (vertexCount == 0 || GlTopology() == kNoTopology || !PrepareDraw(0))
        return;
    // On a CPU rasteriser, as with instances: a long list of points, lines or triangles goes
    // in chunks of whole primitives with a flush between them. The vertex id counts from the
    // draw's first vertex, so every chunk sees the ids it would have seen in one draw.
    const GLenum topology = GlTopology();
    const bool list = topology == GL_POINTS || topology == GL_LINES || topology == GL_TRIANGLES;
    const UINT chunk =
        context_.software && list && vertexCount > 2 * kVerticesPerChunk ? kVerticesPerChunk : vertexCount;
    for (UINT done = 0; done < vertexCount; done += chunk) {
        if (done)
            glFlush();
        glDrawArrays(topology, GLint(startVertex + done), GLsizei(std::min(chunk, vertexCount - done)));
    }
}

void Device::DrawInstanced(UINT vertexCount, UINT instanceCount, UINT startVertex, UINT startInstance) {
    if (vertexCount == 0 || instanceCount == 0 || GlTopology() == kNoTopology || !PrepareDraw(startInstance))
        return;
    if (startInstance && hasBaseInstance)
        glDrawArraysInstancedBaseInstance(GlTopology(), GLint(startVertex), GLsizei(vertexCount),
                                          GLsizei(instanceCount), startInstance);
    else
        glDrawArraysInstanced(GlTopology(), GLint(startVertex), GLsizei(vertexCount), GLsizei(instanceCount));
}

void Device::DrawIndexed(UINT indexCount, UINT startIndex, INT baseVertex) {
    DrawIndexedInstanced(indexCount, 1, startIndex, baseVertex, 0);
}

void Device::DrawIndexedInstanced(UINT indexCount, UINT instanceCount, UINT startIndex, INT baseVertex,
                                  UINT startInstance) {
    if (indexCount == 0 || instanceCount == 0 || !indexBuffer_ || GlTopology() == kNoTopology)
        return;
    GLenum type;
    size_t size;
    if (indexFormat_ == DXGI_FORMAT_R16_UINT) {
        type = GL_UNSIGNED_SHORT;
        size = 2;
    } else if (indexFormat_ == DXGI_FORMAT_R32_UINT) {
        type = GL_UNSIGNED_INT;
        size = 4;
    } else {
        return;
    }
    if (!static_cast<Buffer*>(indexBuffer_)->glName)
        return;
    const void* offset = reinterpret_cast<const void*>(size_t(indexOffset_) + size * startIndex);
    // On a CPU rasteriser a draw of many instances is binned whole before any of it is
    // rasterised: in chunks, with a flush between them, rasterising overlaps the binning.
    // Instance ids restart with every draw, so a program that reads them is drawn whole.
    UINT chunk = instanceCount;
    if (context_.software && hasBaseInstance && instanceCount > 2 * kInstancesPerChunk && !ProgramReadsInstanceId())
        chunk = kInstancesPerChunk;
    for (UINT done = 0; done < instanceCount; done += chunk) {
        const UINT count = std::min(chunk, instanceCount - done);
        const UINT first = startInstance + done;
        if (!PrepareDraw(first))
            return;
        if (done)
            glFlush();
        if (count == 1 && first == 0)
            glDrawElementsBaseVertex(GlTopology(), GLsizei(indexCount), type, offset, baseVertex);
        else if (first && hasBaseInstance)
            glDrawElementsInstancedBaseVertexBaseInstance(GlTopology(), GLsizei(indexCount), type, offset,
                                                          GLsizei(count), baseVertex, first);
        else
            glDrawElementsInstancedBaseVertex(GlTopology(), GLsizei(indexCount), type, offset, GLsizei(count),
                                              baseVertex);
    }
}

bool Device::ProgramReadsInstanceId() const {
    if (!program_)
        return false;
    GLint attributes = 0;
    glGetProgramiv(program_, GL_ACTIVE_ATTRIBUTES, &attributes);
    for (GLint i = 0; i < attributes; ++i) {
        char name[32] = {};
        GLint arraySize = 0;
        GLenum type = 0;
        glGetActiveAttrib(program_, GLuint(i), sizeof(name), nullptr, &arraySize, &type, name);
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
    MakeCurrent();
    if (!Framebuffer(&v->attachment, 1, nullptr, false))
        return;
    glDisable(GL_SCISSOR_TEST);
    glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const FormatInfo& f = *v->Texture()->info;
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
    targetsDirty_ = blendDirty_ = rasterDirty_ = true;
}

void Device::ClearDepthStencilView(ID3D10DepthStencilView* view, UINT clearFlags, FLOAT depth, UINT8 stencil) {
    auto* v = static_cast<DepthStencilView*>(view);
    if (!v || !(clearFlags & (D3D10_CLEAR_DEPTH | D3D10_CLEAR_STENCIL)))
        return;
    MakeCurrent();
    const bool hasStencil = v->Texture()->info->stencil;
    if (!Framebuffer(nullptr, 0, &v->attachment, hasStencil))
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
    targetsDirty_ = depthDirty_ = rasterDirty_ = true;
}

void Device::PresentTexture(TextureBase* texture, int interval) {
    MakeCurrent();
    Attachment a;
    a.texture = texture->glName;
    a.target = texture->glTarget;
    a.level = 0;
    a.layer = -1;
    if (!Framebuffer(&a, 1, nullptr, false))
        return;
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(context_.window, &dw, &dh);
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
    if (wanted != swapInterval_) {
        // Late swap tearing where vertical sync is unsupported falls back to none.
        if (SDL_GL_SetSwapInterval(wanted) != 0 && wanted)
            SDL_GL_SetSwapInterval(0);
        swapInterval_ = wanted;
    }
    SDL_GL_SwapWindow(context_.window);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    targetsDirty_ = rasterDirty_ = true;
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
        ToDevice(device)->SetProgram(glProgram);
}

unsigned int D3D10GL_GetProgram(ID3D10Device* device) {
    return device ? ToDevice(device)->Program() : 0;
}

void Device::SetProgramClipDistances(GLuint program, UINT count) {
    count = std::min(count, kMaxClipDistances);
    if (count == 0)
        programClipDistances_.erase(program);
    else
        programClipDistances_[program] = count;
}

void D3D10GL_MakeCurrent(ID3D10Device* device) {
    if (device)
        ToDevice(device)->MakeCurrent();
}

void D3D10GL_InvalidateState(ID3D10Device* device) {
    if (device)
        ToDevice(device)->InvalidateState();
}

unsigned int D3D10GL_TextureName(ID3D10ShaderResourceView* view, unsigned int* glTarget) {
    auto* v = static_cast<ShaderResourceView*>(view);
    if (glTarget)
        *glTarget = v ? v->glTarget : 0;
    return v && v->Texture() ? v->Texture()->glName : 0;
}

unsigned int D3D10GL_ResourceName(ID3D10Resource* resource, unsigned int* glTarget) {
    ResourceBase* r = ToResource(resource);
    if (glTarget)
        *glTarget = r ? r->glTarget : 0;
    return r ? r->glName : 0;
}
