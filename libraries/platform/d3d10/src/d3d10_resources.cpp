// Buffers, textures and views: creation, mapping, updates and copies.
#include <algorithm>
#include <cstring>

#include "d3d10_internal.h"

namespace d3d10gl {

namespace {

UINT FullMipCount(UINT w, UINT h, UINT d) {
    UINT m = std::max({w, h, d});
    UINT levels = 1;
    while (m > 1) {
        m >>= 1;
        ++levels;
    }
    return levels;
}

// Repacks rows of `rows` x `columnsBytes` from pitched source memory into tight memory.
void Repack(const BYTE* src, UINT rowPitch, UINT slicePitch, UINT rowBytes, UINT rows, UINT slices, BYTE* dst) {
    for (UINT z = 0; z < slices; ++z)
        for (UINT y = 0; y < rows; ++y)
            std::memcpy(dst + (size_t(z) * rows + y) * rowBytes, src + size_t(z) * slicePitch + size_t(y) * rowPitch,
                        rowBytes);
}

bool ValidUsage(D3D10_USAGE usage, UINT bindFlags, UINT cpuAccess, bool haveData) {
    const UINT knownCpu = D3D10_CPU_ACCESS_READ | D3D10_CPU_ACCESS_WRITE;
    if (cpuAccess & ~knownCpu)
        return false;
    switch (usage) {
        case D3D10_USAGE_DEFAULT:
            return cpuAccess == 0;
        case D3D10_USAGE_IMMUTABLE:
            return cpuAccess == 0 && haveData && bindFlags != 0;
        case D3D10_USAGE_DYNAMIC:
            return cpuAccess == D3D10_CPU_ACCESS_WRITE;
        case D3D10_USAGE_STAGING:
            return bindFlags == 0 && cpuAccess != 0;
        default:
            return false;
    }
}

void ClearGLErrors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

}  // namespace

ResourceBase* ToResource(ID3D10Resource* resource) {
    return resource ? dynamic_cast<ResourceBase*>(resource) : nullptr;
}
TextureBase* ToTexture(ID3D10Resource* resource) {
    return resource ? dynamic_cast<TextureBase*>(resource) : nullptr;
}
Buffer* ToBuffer(ID3D10Resource* resource) {
    return resource ? dynamic_cast<Buffer*>(resource) : nullptr;
}

// ---- buffers -------------------------------------------------------------------------

Buffer::Buffer(Device* device, const D3D10_BUFFER_DESC& desc) : DeviceChild(device), desc_(desc) {
    dimension = D3D10_RESOURCE_DIMENSION_BUFFER;
    usage = desc.Usage;
    bindFlags = desc.BindFlags;
    cpuAccess = desc.CPUAccessFlags;
}

Buffer::~Buffer() {
    if (glName) {
        device_->MakeCurrent();
        device_->ForgetBuffer(glName);
        glDeleteBuffers(1, &glName);
    }
}

HRESULT Buffer::QueryInterface(REFIID riid, void** object) {
    return QueryAs<Buffer, ID3D10Buffer, ID3D10Resource, ID3D10DeviceChild>(this, riid, object);
}

HRESULT Buffer::Map(D3D10_MAP mapType, UINT, void** data) {
    if (!data)
        return E_INVALIDARG;
    *data = nullptr;
    if (!HasMemory() || mapped[0])
        return E_INVALIDARG;
    const bool reads = mapType == D3D10_MAP_READ || mapType == D3D10_MAP_READ_WRITE;
    const bool writes = mapType != D3D10_MAP_READ;
    if (mapType < D3D10_MAP_READ || mapType > D3D10_MAP_WRITE_NO_OVERWRITE)
        return E_INVALIDARG;
    if (usage == D3D10_USAGE_DYNAMIC && mapType != D3D10_MAP_WRITE_DISCARD && mapType != D3D10_MAP_WRITE_NO_OVERWRITE)
        return E_INVALIDARG;
    if (usage == D3D10_USAGE_STAGING && (mapType == D3D10_MAP_WRITE_DISCARD || mapType == D3D10_MAP_WRITE_NO_OVERWRITE))
        return E_INVALIDARG;
    if ((reads && !(cpuAccess & D3D10_CPU_ACCESS_READ)) || (writes && !(cpuAccess & D3D10_CPU_ACCESS_WRITE)))
        return E_INVALIDARG;
    mapped[0] = true;
    mapType_ = mapType;
    *data = memory[0].data();
    return S_OK;
}

void Buffer::Unmap() {
    if (!HasMemory() || !mapped[0])
        return;
    mapped[0] = false;
    if (glName && mapType_ != D3D10_MAP_READ) {
        device_->MakeCurrent();
        glBindBuffer(GL_COPY_WRITE_BUFFER, glName);
        glBufferSubData(GL_COPY_WRITE_BUFFER, 0, memory[0].size(), memory[0].data());
    }
}

HRESULT Device::CreateBuffer(const D3D10_BUFFER_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                             ID3D10Buffer** buffer) {
    if (buffer)
        *buffer = nullptr;
    if (!desc || !buffer)
        return E_INVALIDARG;
    const UINT knownBind = D3D10_BIND_VERTEX_BUFFER | D3D10_BIND_INDEX_BUFFER | D3D10_BIND_CONSTANT_BUFFER |
                           D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_STREAM_OUTPUT;
    if (desc->ByteWidth == 0 || (desc->BindFlags & ~knownBind))
        return E_INVALIDARG;
    if (initialData && !initialData->pSysMem)
        return E_INVALIDARG;
    if (!ValidUsage(desc->Usage, desc->BindFlags, desc->CPUAccessFlags, initialData != nullptr))
        return E_INVALIDARG;
    if ((desc->BindFlags & D3D10_BIND_CONSTANT_BUFFER) && (desc->ByteWidth % 16) != 0)
        return E_INVALIDARG;
    MakeCurrent();
    auto* b = new Buffer(this, *desc);
    if (desc->Usage == D3D10_USAGE_STAGING || desc->Usage == D3D10_USAGE_DYNAMIC) {
        b->memory.emplace_back(desc->ByteWidth);
        b->mapped.push_back(false);
        if (initialData)
            std::memcpy(b->memory[0].data(), initialData->pSysMem, desc->ByteWidth);
    }
    if (desc->Usage != D3D10_USAGE_STAGING) {
        ClearGLErrors();
        glGenBuffers(1, &b->glName);
        b->glTarget = GL_ARRAY_BUFFER;
        glBindBuffer(GL_COPY_WRITE_BUFFER, b->glName);
        glBufferData(GL_COPY_WRITE_BUFFER, desc->ByteWidth, initialData ? initialData->pSysMem : nullptr,
                     desc->Usage == D3D10_USAGE_DYNAMIC ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
        if (glGetError() != GL_NO_ERROR) {
            b->Release();
            return E_OUTOFMEMORY;
        }
    }
    *buffer = b;
    return S_OK;
}

// ---- textures ------------------------------------------------------------------------

namespace {

// Validation shared by 2D and 3D textures; fills the common fields.
HRESULT CheckTexture(Device* device, TextureBase& t, DXGI_FORMAT format, UINT w, UINT h, UINT d, UINT mips,
                     UINT arraySize, D3D10_USAGE usage, UINT bindFlags, UINT cpuAccess, UINT misc, bool haveData,
                     bool is3D) {
    const UINT knownBind = D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET | D3D10_BIND_DEPTH_STENCIL;
    if (w == 0 || h == 0 || d == 0 || arraySize == 0)
        return E_INVALIDARG;
    if (bindFlags & ~knownBind)
        return E_INVALIDARG;
    const UINT limit =
        is3D ? std::min<UINT>(2048, device->max3DTextureSize) : std::min<UINT>(8192, device->maxTextureSize);
    if (w > limit || h > limit || d > limit || arraySize > 512)
        return E_INVALIDARG;
    if (!ValidUsage(usage, bindFlags, cpuAccess, haveData))
        return E_INVALIDARG;
    const DXGI_FORMAT storage = ResolveTypeless(format, bindFlags);
    const FormatInfo* info = FindFormat(storage);
    if (!info)
        return E_INVALIDARG;
    if ((bindFlags & D3D10_BIND_RENDER_TARGET) && !info->renderable)
        return E_INVALIDARG;
    if ((bindFlags & D3D10_BIND_DEPTH_STENCIL) && (!info->depth || is3D))
        return E_INVALIDARG;
    if (info->depth && (bindFlags & D3D10_BIND_RENDER_TARGET))
        return E_INVALIDARG;
    const UINT full = FullMipCount(w, h, is3D ? d : 1);
    if (mips > full)
        return E_INVALIDARG;
    if (misc & ~UINT(D3D10_RESOURCE_MISC_GENERATE_MIPS | D3D10_RESOURCE_MISC_TEXTURECUBE | D3D10_RESOURCE_MISC_SHARED))
        return E_INVALIDARG;
    const bool cube = (misc & D3D10_RESOURCE_MISC_TEXTURECUBE) != 0;
    if (cube && (is3D || arraySize != 6 || w != h))
        return E_INVALIDARG;
    if ((misc & D3D10_RESOURCE_MISC_GENERATE_MIPS) &&
        (bindFlags & (D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE)) !=
            (D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE))
        return E_INVALIDARG;
    t.info = info;
    t.format = format;
    t.width = w;
    t.height = h;
    t.depth = is3D ? d : 1;
    t.mipLevels = mips ? mips : full;
    t.arraySize = arraySize;
    t.cube = cube;
    t.usage = usage;
    t.bindFlags = bindFlags;
    t.cpuAccess = cpuAccess;
    return S_OK;
}

// GL storage (or memory) for a checked texture, then its initial data.
HRESULT AllocateTexture(Device* device, TextureBase& t, bool is3D, const D3D10_SUBRESOURCE_DATA* initialData) {
    const FormatInfo& f = *t.info;
    if (t.usage == D3D10_USAGE_STAGING || t.usage == D3D10_USAGE_DYNAMIC) {
        for (UINT layer = 0; layer < t.arraySize; ++layer)
            for (UINT level = 0; level < t.mipLevels; ++level) {
                t.memory.emplace_back(t.SubresourceBytes(level));
                t.mapped.push_back(false);
            }
    }
    if (t.usage != D3D10_USAGE_STAGING) {
        t.glTarget = is3D              ? GL_TEXTURE_3D
                     : t.cube          ? GL_TEXTURE_CUBE_MAP
                     : t.arraySize > 1 ? GL_TEXTURE_2D_ARRAY
                                       : GL_TEXTURE_2D;
        ClearGLErrors();
        glGenTextures(1, &t.glName);
        glActiveTexture(GL_TEXTURE0 + device->maxTextureUnits - 1);
        glBindTexture(t.glTarget, t.glName);
        // The level range before the levels: set after them, the driver held an 8192 x 8192
        // RGBA8 chain in 597 MiB instead of 341.
        glTexParameteri(t.glTarget, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(t.glTarget, GL_TEXTURE_MAX_LEVEL, GLint(t.mipLevels) - 1);
        for (UINT level = 0; level < t.mipLevels; ++level) {
            const GLsizei w = t.LevelWidth(level), h = t.LevelHeight(level);
            const GLsizei bytes2D = GLsizei(t.SlicePitch(level));
            if (t.glTarget == GL_TEXTURE_3D || t.glTarget == GL_TEXTURE_2D_ARRAY) {
                const GLsizei d = is3D ? t.LevelDepth(level) : t.arraySize;
                if (f.compressed)
                    glCompressedTexImage3D(t.glTarget, level, f.internalFormat, w, h, d, 0, bytes2D * d, nullptr);
                else
                    glTexImage3D(t.glTarget, level, f.internalFormat, w, h, d, 0, f.pixelFormat, f.pixelType, nullptr);
            } else {
                const UINT faces = t.cube ? 6 : 1;
                for (UINT face = 0; face < faces; ++face) {
                    const GLenum target = t.LayerTarget(face);
                    if (f.compressed)
                        glCompressedTexImage2D(target, level, f.internalFormat, w, h, 0, bytes2D, nullptr);
                    else
                        glTexImage2D(target, level, f.internalFormat, w, h, 0, f.pixelFormat, f.pixelType, nullptr);
                }
            }
        }
        t.baseLevel = 0;
        t.maxLevel = GLint(t.mipLevels) - 1;
        if (f.alphaOnly) {
            const GLint swizzle[4] = {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED};
            glTexParameteriv(t.glTarget, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        } else if (f.noAlpha) {
            glTexParameteri(t.glTarget, GL_TEXTURE_SWIZZLE_A, GL_ONE);
        }
        const GLenum error = glGetError();
        if (error != GL_NO_ERROR)
            return error == GL_OUT_OF_MEMORY ? E_OUTOFMEMORY : E_INVALIDARG;
    }
    if (initialData) {
        std::vector<BYTE> tight;
        for (UINT layer = 0; layer < t.arraySize; ++layer)
            for (UINT level = 0; level < t.mipLevels; ++level) {
                const UINT sub = level + layer * t.mipLevels;
                const D3D10_SUBRESOURCE_DATA& data = initialData[sub];
                const UINT rowBytes = t.RowPitch(level), rows = t.LevelRows(level), slices = t.LevelDepth(level);
                if (!data.pSysMem || (rows > 1 && data.SysMemPitch < rowBytes) ||
                    (slices > 1 && data.SysMemSlicePitch < rowBytes * rows))
                    return E_INVALIDARG;
                const UINT pitch = rows > 1 ? data.SysMemPitch : rowBytes;
                const UINT slicePitch = slices > 1 ? data.SysMemSlicePitch : rowBytes * rows;
                // Tightly packed levels go to the device as they are, without a copy of each.
                const BYTE* source = static_cast<const BYTE*>(data.pSysMem);
                if (pitch != rowBytes || slicePitch != rowBytes * rows) {
                    tight.resize(t.SubresourceBytes(level));
                    Repack(source, pitch, slicePitch, rowBytes, rows, slices, tight.data());
                    source = tight.data();
                }
                device->WriteTextureRegion(&t, sub, 0, 0, 0, t.LevelWidth(level), t.LevelHeight(level), slices, source);
            }
    }
    return S_OK;
}

void DeleteTexture(Device* device, TextureBase& t) {
    if (!t.glName)
        return;
    device->MakeCurrent();
    device->ForgetTexture(t.glName);
    glDeleteTextures(1, &t.glName);
    t.glName = 0;
}

// Checks a mapping request against the resource's usage and CPU access.
HRESULT CheckMap(TextureBase& t, UINT subresource, D3D10_MAP mapType) {
    if (!t.HasMemory() || subresource >= t.SubresourceCount() || t.mapped[subresource])
        return E_INVALIDARG;
    if (mapType < D3D10_MAP_READ || mapType > D3D10_MAP_WRITE_NO_OVERWRITE)
        return E_INVALIDARG;
    const bool reads = mapType == D3D10_MAP_READ || mapType == D3D10_MAP_READ_WRITE;
    const bool writes = mapType != D3D10_MAP_READ;
    if (t.usage == D3D10_USAGE_DYNAMIC && mapType != D3D10_MAP_WRITE_DISCARD)
        return E_INVALIDARG;
    if (t.usage == D3D10_USAGE_STAGING &&
        (mapType == D3D10_MAP_WRITE_DISCARD || mapType == D3D10_MAP_WRITE_NO_OVERWRITE))
        return E_INVALIDARG;
    if ((reads && !(t.cpuAccess & D3D10_CPU_ACCESS_READ)) || (writes && !(t.cpuAccess & D3D10_CPU_ACCESS_WRITE)))
        return E_INVALIDARG;
    t.mapped[subresource] = true;
    return S_OK;
}

void UnmapTexture(Device* device, TextureBase& t, UINT subresource) {
    if (!t.HasMemory() || subresource >= t.SubresourceCount() || !t.mapped[subresource])
        return;
    t.mapped[subresource] = false;
    if (t.glName) {
        const UINT level = subresource % t.mipLevels;
        device->MakeCurrent();
        // The memory is the upload copy of a dynamic texture: the GL texture takes it.
        device->WriteTextureRegion(&t, subresource, 0, 0, 0, t.LevelWidth(level), t.LevelHeight(level),
                                   t.LevelDepth(level), t.memory[subresource].data());
    }
}

}  // namespace

Texture2D::Texture2D(Device* device, const D3D10_TEXTURE2D_DESC& desc) : DeviceChild(device), desc_(desc) {
    dimension = D3D10_RESOURCE_DIMENSION_TEXTURE2D;
}
Texture2D::~Texture2D() {
    DeleteTexture(device_, *this);
}
HRESULT Texture2D::QueryInterface(REFIID riid, void** object) {
    return QueryAs<Texture2D, ID3D10Texture2D, ID3D10Resource, ID3D10DeviceChild>(this, riid, object);
}
HRESULT Texture2D::Map(UINT subresource, D3D10_MAP mapType, UINT, D3D10_MAPPED_TEXTURE2D* mapped) {
    if (!mapped)
        return E_INVALIDARG;
    mapped->pData = nullptr;
    mapped->RowPitch = 0;
    HRESULT hr = CheckMap(*this, subresource, mapType);
    if (FAILED(hr))
        return hr;
    mapped->pData = memory[subresource].data();
    mapped->RowPitch = RowPitch(subresource % mipLevels);
    return S_OK;
}
void Texture2D::Unmap(UINT subresource) {
    UnmapTexture(device_, *this, subresource);
}

Texture3D::Texture3D(Device* device, const D3D10_TEXTURE3D_DESC& desc) : DeviceChild(device), desc_(desc) {
    dimension = D3D10_RESOURCE_DIMENSION_TEXTURE3D;
}
Texture3D::~Texture3D() {
    DeleteTexture(device_, *this);
}
HRESULT Texture3D::QueryInterface(REFIID riid, void** object) {
    return QueryAs<Texture3D, ID3D10Texture3D, ID3D10Resource, ID3D10DeviceChild>(this, riid, object);
}
HRESULT Texture3D::Map(UINT subresource, D3D10_MAP mapType, UINT, D3D10_MAPPED_TEXTURE3D* mapped) {
    if (!mapped)
        return E_INVALIDARG;
    mapped->pData = nullptr;
    mapped->RowPitch = mapped->DepthPitch = 0;
    HRESULT hr = CheckMap(*this, subresource, mapType);
    if (FAILED(hr))
        return hr;
    mapped->pData = memory[subresource].data();
    mapped->RowPitch = RowPitch(subresource);
    mapped->DepthPitch = SlicePitch(subresource);
    return S_OK;
}
void Texture3D::Unmap(UINT subresource) {
    UnmapTexture(device_, *this, subresource);
}

HRESULT Device::CreateTexture2D(const D3D10_TEXTURE2D_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                                ID3D10Texture2D** texture) {
    if (texture)
        *texture = nullptr;
    if (!desc || !texture)
        return E_INVALIDARG;
    if (desc->SampleDesc.Count != 1 || desc->SampleDesc.Quality != 0)
        return E_INVALIDARG;
    MakeCurrent();
    auto* t = new Texture2D(this, *desc);
    HRESULT hr = CheckTexture(this, *t, desc->Format, desc->Width, desc->Height, 1, desc->MipLevels, desc->ArraySize,
                              desc->Usage, desc->BindFlags, desc->CPUAccessFlags, desc->MiscFlags,
                              initialData != nullptr, false);
    if (SUCCEEDED(hr))
        hr = AllocateTexture(this, *t, false, initialData);
    if (FAILED(hr)) {
        t->Release();
        return hr;
    }
    t->SetMipLevels(t->mipLevels);
    *texture = t;
    return S_OK;
}

HRESULT Device::CreateTexture3D(const D3D10_TEXTURE3D_DESC* desc, const D3D10_SUBRESOURCE_DATA* initialData,
                                ID3D10Texture3D** texture) {
    if (texture)
        *texture = nullptr;
    if (!desc || !texture)
        return E_INVALIDARG;
    MakeCurrent();
    auto* t = new Texture3D(this, *desc);
    HRESULT hr =
        CheckTexture(this, *t, desc->Format, desc->Width, desc->Height, desc->Depth, desc->MipLevels, 1, desc->Usage,
                     desc->BindFlags, desc->CPUAccessFlags, desc->MiscFlags, initialData != nullptr, true);
    if (SUCCEEDED(hr))
        hr = AllocateTexture(this, *t, true, initialData);
    if (FAILED(hr)) {
        t->Release();
        return hr;
    }
    t->SetMipLevels(t->mipLevels);
    *texture = t;
    return S_OK;
}

// ---- texel transfer ------------------------------------------------------------------

void Device::WriteTextureRegion(TextureBase* t, UINT subresource, UINT x, UINT y, UINT z, UINT w, UINT h, UINT d,
                                const BYTE* data) {
    const FormatInfo& f = *t->info;
    const UINT level = subresource % t->mipLevels, layer = subresource / t->mipLevels;
    const UINT bx = f.compressed ? 4 : 1;
    const UINT cols = (w + bx - 1) / bx, rows = (h + bx - 1) / bx;
    const UINT rowBytes = cols * f.elementBytes;
    if (!t->glName) {
        std::vector<BYTE>& mem = t->memory[subresource];
        const UINT pitch = t->RowPitch(level), slice = t->SlicePitch(level);
        for (UINT zz = 0; zz < d; ++zz)
            for (UINT yy = 0; yy < rows; ++yy)
                std::memcpy(
                    mem.data() + size_t(z + zz) * slice + size_t(y / bx + yy) * pitch + (x / bx) * f.elementBytes,
                    data + (size_t(zz) * rows + yy) * rowBytes, rowBytes);
        return;
    }
    MakeCurrent();
    glActiveTexture(GL_TEXTURE0 + maxTextureUnits - 1);
    glBindTexture(t->glTarget, t->glName);
    const GLsizei bytes = GLsizei(size_t(rowBytes) * rows * d);
    if (t->glTarget == GL_TEXTURE_3D || t->glTarget == GL_TEXTURE_2D_ARRAY) {
        const UINT zz = t->glTarget == GL_TEXTURE_3D ? z : layer;
        if (f.compressed)
            glCompressedTexSubImage3D(t->glTarget, level, x, y, zz, w, h, d, f.internalFormat, bytes, data);
        else
            glTexSubImage3D(t->glTarget, level, x, y, zz, w, h, d, f.pixelFormat, f.pixelType, data);
    } else {
        const GLenum target = t->LayerTarget(layer);
        if (f.compressed)
            glCompressedTexSubImage2D(target, level, x, y, w, h, f.internalFormat, bytes, data);
        else
            glTexSubImage2D(target, level, x, y, w, h, f.pixelFormat, f.pixelType, data);
    }
}

void Device::ReadTextureRegion(TextureBase* t, UINT subresource, UINT x, UINT y, UINT z, UINT w, UINT h, UINT d,
                               BYTE* out) {
    const FormatInfo& f = *t->info;
    const UINT level = subresource % t->mipLevels, layer = subresource / t->mipLevels;
    const UINT bx = f.compressed ? 4 : 1;
    const UINT cols = (w + bx - 1) / bx, rows = (h + bx - 1) / bx;
    const UINT rowBytes = cols * f.elementBytes;
    const UINT pitch = t->RowPitch(level), slice = t->SlicePitch(level);
    const BYTE* base;
    std::vector<BYTE> whole;
    if (!t->glName) {
        base = t->memory[subresource].data();
    } else {
        MakeCurrent();
        glActiveTexture(GL_TEXTURE0 + maxTextureUnits - 1);
        glBindTexture(t->glTarget, t->glName);
        if (t->glTarget == GL_TEXTURE_2D_ARRAY) {
            whole.resize(size_t(slice) * t->arraySize);
            if (f.compressed)
                glGetCompressedTexImage(t->glTarget, level, whole.data());
            else
                glGetTexImage(t->glTarget, level, f.pixelFormat, f.pixelType, whole.data());
            base = whole.data() + size_t(slice) * layer;
        } else {
            whole.resize(t->SubresourceBytes(level));
            const GLenum target = t->LayerTarget(layer);
            if (f.compressed)
                glGetCompressedTexImage(target, level, whole.data());
            else
                glGetTexImage(target, level, f.pixelFormat, f.pixelType, whole.data());
            base = whole.data();
        }
    }
    for (UINT zz = 0; zz < d; ++zz)
        for (UINT yy = 0; yy < rows; ++yy)
            std::memcpy(out + (size_t(zz) * rows + yy) * rowBytes,
                        base + size_t(z + zz) * slice + size_t(y / bx + yy) * pitch + (x / bx) * f.elementBytes,
                        rowBytes);
}

// ---- updates and copies --------------------------------------------------------------

namespace {

void WriteBuffer(Device* device, Buffer* b, UINT offset, const BYTE* data, UINT size) {
    if (b->HasMemory())
        std::memcpy(b->memory[0].data() + offset, data, size);
    if (b->glName) {
        device->MakeCurrent();
        glBindBuffer(GL_COPY_WRITE_BUFFER, b->glName);
        glBufferSubData(GL_COPY_WRITE_BUFFER, offset, size, data);
    }
}

void ReadBuffer(Device* device, Buffer* b, UINT offset, BYTE* out, UINT size) {
    if (b->HasMemory()) {
        std::memcpy(out, b->memory[0].data() + offset, size);
        return;
    }
    device->MakeCurrent();
    glBindBuffer(GL_COPY_READ_BUFFER, b->glName);
    glGetBufferSubData(GL_COPY_READ_BUFFER, offset, size, out);
}

// Whether the box (in texels) lies inside a level of the texture and on block boundaries.
bool BoxInside(const TextureBase& t, UINT level, UINT x, UINT y, UINT z, UINT w, UINT h, UINT d) {
    const UINT lw = t.LevelWidth(level), lh = t.LevelHeight(level), ld = t.LevelDepth(level);
    if (w == 0 || h == 0 || d == 0)
        return false;
    if (x + w > lw || y + h > lh || z + d > ld || x + w < x || y + h < y || z + d < z)
        return false;
    if (t.info->compressed) {
        if (x % 4 || y % 4)
            return false;
        if ((w % 4 && x + w != lw) || (h % 4 && y + h != lh))
            return false;
    }
    return true;
}

}  // namespace

void Device::UpdateSubresource(ID3D10Resource* dst, UINT dstSubresource, const D3D10_BOX* box, const void* data,
                               UINT rowPitch, UINT depthPitch) {
    if (!dst || !data)
        return;
    const BYTE* bytes = static_cast<const BYTE*>(data);
    if (Buffer* b = ToBuffer(dst)) {
        if (dstSubresource != 0 || b->usage == D3D10_USAGE_IMMUTABLE || b->usage == D3D10_USAGE_DYNAMIC)
            return;
        const UINT size = b->Desc().ByteWidth;
        UINT left = 0, right = size;
        if (box) {
            left = box->left;
            right = box->right;
        }
        if (left >= right || right > size)
            return;
        WriteBuffer(this, b, left, bytes, right - left);
        return;
    }
    TextureBase* t = ToTexture(dst);
    if (!t || dstSubresource >= t->SubresourceCount())
        return;
    if (t->usage == D3D10_USAGE_IMMUTABLE || t->usage == D3D10_USAGE_DYNAMIC)
        return;
    const UINT level = dstSubresource % t->mipLevels;
    UINT x = 0, y = 0, z = 0, w = t->LevelWidth(level), h = t->LevelHeight(level), d = t->LevelDepth(level);
    if (box) {
        if (box->right <= box->left || box->bottom <= box->top || box->back <= box->front)
            return;
        x = box->left;
        y = box->top;
        z = box->front;
        w = box->right - box->left;
        h = box->bottom - box->top;
        d = box->back - box->front;
    }
    if (!BoxInside(*t, level, x, y, z, w, h, d))
        return;
    const UINT bx = t->info->compressed ? 4 : 1;
    const UINT rowBytes = (w + bx - 1) / bx * t->info->elementBytes, rows = (h + bx - 1) / bx;
    if ((rows > 1 && rowPitch < rowBytes) || (d > 1 && depthPitch < rowPitch * rows))
        return;
    std::vector<BYTE> tight(size_t(rowBytes) * rows * d);
    Repack(bytes, rows > 1 ? rowPitch : rowBytes, d > 1 ? depthPitch : rowBytes * rows, rowBytes, rows, d,
           tight.data());
    WriteTextureRegion(t, dstSubresource, x, y, z, w, h, d, tight.data());
}

void Device::CopySubresourceRegion(ID3D10Resource* dst, UINT dstSubresource, UINT dstX, UINT dstY, UINT dstZ,
                                   ID3D10Resource* src, UINT srcSubresource, const D3D10_BOX* srcBox) {
    if (!dst || !src || dst == src)
        return;
    Buffer* bd = ToBuffer(dst);
    Buffer* bs = ToBuffer(src);
    if (bd || bs) {
        if (!bd || !bs || dstSubresource || srcSubresource)
            return;
        if (bd->usage == D3D10_USAGE_IMMUTABLE || bd->usage == D3D10_USAGE_DYNAMIC)
            return;
        UINT left = 0, right = bs->Desc().ByteWidth;
        if (srcBox) {
            left = srcBox->left;
            right = srcBox->right;
        }
        if (left >= right || right > bs->Desc().ByteWidth || dstX + (right - left) > bd->Desc().ByteWidth)
            return;
        const UINT size = right - left;
        if (bd->glName && bs->glName && !bd->HasMemory() && !bs->HasMemory()) {
            MakeCurrent();
            glBindBuffer(GL_COPY_READ_BUFFER, bs->glName);
            glBindBuffer(GL_COPY_WRITE_BUFFER, bd->glName);
            glCopyBufferSubData(GL_COPY_READ_BUFFER, GL_COPY_WRITE_BUFFER, left, dstX, size);
            return;
        }
        std::vector<BYTE> tmp(size);
        ReadBuffer(this, bs, left, tmp.data(), size);
        WriteBuffer(this, bd, dstX, tmp.data(), size);
        return;
    }
    TextureBase* td = ToTexture(dst);
    TextureBase* ts = ToTexture(src);
    if (!td || !ts || dstSubresource >= td->SubresourceCount() || srcSubresource >= ts->SubresourceCount())
        return;
    if (td->usage == D3D10_USAGE_IMMUTABLE || td->usage == D3D10_USAGE_DYNAMIC)
        return;
    if (td->info->elementBytes != ts->info->elementBytes || td->info->compressed != ts->info->compressed ||
        td->info->depth != ts->info->depth)
        return;
    const UINT srcLevel = srcSubresource % ts->mipLevels, dstLevel = dstSubresource % td->mipLevels;
    UINT x = 0, y = 0, z = 0, w = ts->LevelWidth(srcLevel), h = ts->LevelHeight(srcLevel), d = ts->LevelDepth(srcLevel);
    if (srcBox) {
        if (srcBox->right <= srcBox->left || srcBox->bottom <= srcBox->top || srcBox->back <= srcBox->front)
            return;
        x = srcBox->left;
        y = srcBox->top;
        z = srcBox->front;
        w = srcBox->right - srcBox->left;
        h = srcBox->bottom - srcBox->top;
        d = srcBox->back - srcBox->front;
    }
    if (!BoxInside(*ts, srcLevel, x, y, z, w, h, d) || !BoxInside(*td, dstLevel, dstX, dstY, dstZ, w, h, d))
        return;
    MakeCurrent();
    if (hasCopyImage && ts->glName && td->glName && !td->HasMemory()) {
        const UINT srcLayer = srcSubresource / ts->mipLevels, dstLayer = dstSubresource / td->mipLevels;
        const GLint sz = ts->glTarget == GL_TEXTURE_3D ? GLint(z) : GLint(srcLayer);
        const GLint dz = td->glTarget == GL_TEXTURE_3D ? GLint(dstZ) : GLint(dstLayer);
        glCopyImageSubData(ts->glName, ts->glTarget, srcLevel, x, y, sz, td->glName, td->glTarget, dstLevel, dstX, dstY,
                           dz, w, h, d);
        return;
    }
    const UINT bx = ts->info->compressed ? 4 : 1;
    std::vector<BYTE> tmp(size_t((w + bx - 1) / bx) * ((h + bx - 1) / bx) * ts->info->elementBytes * d);
    ReadTextureRegion(ts, srcSubresource, x, y, z, w, h, d, tmp.data());
    WriteTextureRegion(td, dstSubresource, dstX, dstY, dstZ, w, h, d, tmp.data());
}

void Device::CopyResource(ID3D10Resource* dst, ID3D10Resource* src) {
    if (!dst || !src || dst == src)
        return;
    if (Buffer* bd = ToBuffer(dst)) {
        Buffer* bs = ToBuffer(src);
        if (!bs || bs->Desc().ByteWidth != bd->Desc().ByteWidth)
            return;
        CopySubresourceRegion(dst, 0, 0, 0, 0, src, 0, nullptr);
        return;
    }
    TextureBase* td = ToTexture(dst);
    TextureBase* ts = ToTexture(src);
    if (!td || !ts || td->dimension != ts->dimension || td->width != ts->width || td->height != ts->height ||
        td->depth != ts->depth || td->mipLevels != ts->mipLevels || td->arraySize != ts->arraySize)
        return;
    for (UINT sub = 0; sub < ts->SubresourceCount(); ++sub)
        CopySubresourceRegion(dst, sub, 0, 0, 0, src, sub, nullptr);
}

void Device::GenerateMips(ID3D10ShaderResourceView* view) {
    auto* v = static_cast<ShaderResourceView*>(view);
    if (!v || !v->Texture() || !v->Texture()->glName)
        return;
    MakeCurrent();
    glActiveTexture(GL_TEXTURE0 + maxTextureUnits - 1);
    glBindTexture(v->Texture()->glTarget, v->Texture()->glName);
    glGenerateMipmap(v->Texture()->glTarget);
}

// ---- views ---------------------------------------------------------------------------

ShaderResourceView::ShaderResourceView(Device* device, ID3D10Resource* resource,
                                       const D3D10_SHADER_RESOURCE_VIEW_DESC& desc)
    : DeviceChild(device), resource_(resource), texture_(ToTexture(resource)), desc_(desc) {
    resource_->AddRef();
}
ShaderResourceView::~ShaderResourceView() {
    resource_->Release();
}
HRESULT ShaderResourceView::QueryInterface(REFIID riid, void** object) {
    return QueryAs<ShaderResourceView, ID3D10ShaderResourceView, ID3D10View, ID3D10DeviceChild>(this, riid, object);
}
void ShaderResourceView::GetResource(ID3D10Resource** resource) {
    if (!resource)
        return;
    resource_->AddRef();
    *resource = resource_;
}

RenderTargetView::RenderTargetView(Device* device, ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC& desc,
                                   Attachment a)
    : DeviceChild(device), attachment(a), resource_(resource), texture_(ToTexture(resource)), desc_(desc) {
    resource_->AddRef();
}
RenderTargetView::~RenderTargetView() {
    resource_->Release();
}
HRESULT RenderTargetView::QueryInterface(REFIID riid, void** object) {
    return QueryAs<RenderTargetView, ID3D10RenderTargetView, ID3D10View, ID3D10DeviceChild>(this, riid, object);
}
void RenderTargetView::GetResource(ID3D10Resource** resource) {
    if (!resource)
        return;
    resource_->AddRef();
    *resource = resource_;
}

DepthStencilView::DepthStencilView(Device* device, ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC& desc,
                                   Attachment a)
    : DeviceChild(device), attachment(a), resource_(resource), texture_(ToTexture(resource)), desc_(desc) {
    resource_->AddRef();
}
DepthStencilView::~DepthStencilView() {
    resource_->Release();
}
HRESULT DepthStencilView::QueryInterface(REFIID riid, void** object) {
    return QueryAs<DepthStencilView, ID3D10DepthStencilView, ID3D10View, ID3D10DeviceChild>(this, riid, object);
}
void DepthStencilView::GetResource(ID3D10Resource** resource) {
    if (!resource)
        return;
    resource_->AddRef();
    *resource = resource_;
}

namespace {

// Resolves a mip range of a view: count 0xffffffff means every level from `first`.
bool MipRange(const TextureBase& t, UINT first, UINT count, GLint& base, GLint& max) {
    if (first >= t.mipLevels)
        return false;
    if (count == 0xffffffffu)
        count = t.mipLevels - first;
    if (count == 0 || first + count > t.mipLevels)
        return false;
    base = GLint(first);
    max = GLint(first + count - 1);
    return true;
}

}  // namespace

HRESULT Device::CreateShaderResourceView(ID3D10Resource* resource, const D3D10_SHADER_RESOURCE_VIEW_DESC* desc,
                                         ID3D10ShaderResourceView** view) {
    if (view)
        *view = nullptr;
    TextureBase* t = ToTexture(resource);
    if (!t || !view || !(t->bindFlags & D3D10_BIND_SHADER_RESOURCE) || !t->glName)
        return E_INVALIDARG;
    D3D10_SHADER_RESOURCE_VIEW_DESC d{};
    if (desc) {
        d = *desc;
    } else {
        if (t->format != ResolveTypeless(t->format, 0) &&
            t->format != ResolveTypeless(t->format, D3D10_BIND_DEPTH_STENCIL))
            return E_INVALIDARG;
        d.Format = t->format;
        if (t->dimension == D3D10_RESOURCE_DIMENSION_TEXTURE3D) {
            d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE3D;
            d.Texture3D = {0, t->mipLevels};
        } else if (t->cube) {
            d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURECUBE;
            d.TextureCube = {0, t->mipLevels};
        } else if (t->arraySize > 1) {
            d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2DARRAY;
            d.Texture2DArray = {0, t->mipLevels, 0, t->arraySize};
        } else {
            d.ViewDimension = D3D10_SRV_DIMENSION_TEXTURE2D;
            d.Texture2D = {0, t->mipLevels};
        }
    }
    if (d.Format == DXGI_FORMAT_UNKNOWN)
        d.Format = t->format;
    if (!ViewCompatible(t->format, d.Format))
        return E_INVALIDARG;
    GLint base = 0, max = 0;
    GLenum target = 0;
    switch (d.ViewDimension) {
        case D3D10_SRV_DIMENSION_TEXTURE2D:
            if (t->glTarget != GL_TEXTURE_2D ||
                !MipRange(*t, d.Texture2D.MostDetailedMip, d.Texture2D.MipLevels, base, max))
                return E_INVALIDARG;
            target = GL_TEXTURE_2D;
            break;
        case D3D10_SRV_DIMENSION_TEXTURE2DARRAY:
            // The whole array only: GL cannot view a part of it.
            if (t->glTarget != GL_TEXTURE_2D_ARRAY || d.Texture2DArray.FirstArraySlice != 0 ||
                d.Texture2DArray.ArraySize != t->arraySize ||
                !MipRange(*t, d.Texture2DArray.MostDetailedMip, d.Texture2DArray.MipLevels, base, max))
                return E_INVALIDARG;
            target = GL_TEXTURE_2D_ARRAY;
            break;
        case D3D10_SRV_DIMENSION_TEXTURECUBE:
            if (t->glTarget != GL_TEXTURE_CUBE_MAP ||
                !MipRange(*t, d.TextureCube.MostDetailedMip, d.TextureCube.MipLevels, base, max))
                return E_INVALIDARG;
            target = GL_TEXTURE_CUBE_MAP;
            break;
        case D3D10_SRV_DIMENSION_TEXTURE3D:
            if (t->glTarget != GL_TEXTURE_3D ||
                !MipRange(*t, d.Texture3D.MostDetailedMip, d.Texture3D.MipLevels, base, max))
                return E_INVALIDARG;
            target = GL_TEXTURE_3D;
            break;
        default:
            return E_INVALIDARG;
    }
    auto* v = new ShaderResourceView(this, resource, d);
    v->glTarget = target;
    v->baseLevel = base;
    v->maxLevel = max;
    *view = v;
    return S_OK;
}

HRESULT Device::CreateRenderTargetView(ID3D10Resource* resource, const D3D10_RENDER_TARGET_VIEW_DESC* desc,
                                       ID3D10RenderTargetView** view) {
    if (view)
        *view = nullptr;
    TextureBase* t = ToTexture(resource);
    if (!t || !view || !(t->bindFlags & D3D10_BIND_RENDER_TARGET) || !t->glName)
        return E_INVALIDARG;
    D3D10_RENDER_TARGET_VIEW_DESC d{};
    if (desc) {
        d = *desc;
    } else {
        d.Format = t->format;
        if (t->dimension == D3D10_RESOURCE_DIMENSION_TEXTURE3D) {
            d.ViewDimension = D3D10_RTV_DIMENSION_TEXTURE3D;
            d.Texture3D = {0, 0, t->depth};
        } else if (t->arraySize > 1) {
            d.ViewDimension = D3D10_RTV_DIMENSION_TEXTURE2DARRAY;
            d.Texture2DArray = {0, 0, t->arraySize};
        } else {
            d.ViewDimension = D3D10_RTV_DIMENSION_TEXTURE2D;
            d.Texture2D = {0};
        }
    }
    if (d.Format == DXGI_FORMAT_UNKNOWN)
        d.Format = t->format;
    if (!ViewCompatible(t->format, d.Format))
        return E_INVALIDARG;
    Attachment a;
    a.texture = t->glName;
    a.target = t->glTarget;
    switch (d.ViewDimension) {
        case D3D10_RTV_DIMENSION_TEXTURE2D:
            if (t->glTarget != GL_TEXTURE_2D || d.Texture2D.MipSlice >= t->mipLevels)
                return E_INVALIDARG;
            a.level = GLint(d.Texture2D.MipSlice);
            break;
        case D3D10_RTV_DIMENSION_TEXTURE2DARRAY: {
            if (t->glTarget != GL_TEXTURE_2D_ARRAY && t->glTarget != GL_TEXTURE_CUBE_MAP)
                return E_INVALIDARG;
            const auto& r = d.Texture2DArray;
            UINT size =
                r.ArraySize == 0xffffffffu ? t->arraySize - std::min(r.FirstArraySlice, t->arraySize) : r.ArraySize;
            if (r.MipSlice >= t->mipLevels || r.FirstArraySlice >= t->arraySize || size == 0 ||
                r.FirstArraySlice + size > t->arraySize)
                return E_INVALIDARG;
            if (size == 1)
                a.layer = GLint(r.FirstArraySlice);
            else if (size != t->arraySize)
                return E_INVALIDARG;  // a part of several slices: GL attaches one or all
            a.level = GLint(r.MipSlice);
            break;
        }
        case D3D10_RTV_DIMENSION_TEXTURE3D: {
            if (t->glTarget != GL_TEXTURE_3D)
                return E_INVALIDARG;
            const auto& r = d.Texture3D;
            if (r.MipSlice >= t->mipLevels)
                return E_INVALIDARG;
            const UINT depth = t->LevelDepth(r.MipSlice);
            UINT size = r.WSize == 0xffffffffu ? depth - std::min(r.FirstWSlice, depth) : r.WSize;
            if (r.FirstWSlice >= depth || size == 0 || r.FirstWSlice + size > depth)
                return E_INVALIDARG;
            if (size == 1)
                a.layer = GLint(r.FirstWSlice);
            else if (size != depth)
                return E_INVALIDARG;
            a.level = GLint(r.MipSlice);
            break;
        }
        default:
            return E_INVALIDARG;
    }
    *view = new RenderTargetView(this, resource, d, a);
    return S_OK;
}

HRESULT Device::CreateDepthStencilView(ID3D10Resource* resource, const D3D10_DEPTH_STENCIL_VIEW_DESC* desc,
                                       ID3D10DepthStencilView** view) {
    if (view)
        *view = nullptr;
    TextureBase* t = ToTexture(resource);
    if (!t || !view || !(t->bindFlags & D3D10_BIND_DEPTH_STENCIL) || !t->glName)
        return E_INVALIDARG;
    D3D10_DEPTH_STENCIL_VIEW_DESC d{};
    if (desc) {
        d = *desc;
    } else {
        d.Format = ResolveTypeless(t->format, D3D10_BIND_DEPTH_STENCIL);
        if (t->arraySize > 1) {
            d.ViewDimension = D3D10_DSV_DIMENSION_TEXTURE2DARRAY;
            d.Texture2DArray = {0, 0, t->arraySize};
        } else {
            d.ViewDimension = D3D10_DSV_DIMENSION_TEXTURE2D;
            d.Texture2D = {0};
        }
    }
    if (d.Format == DXGI_FORMAT_UNKNOWN)
        d.Format = ResolveTypeless(t->format, D3D10_BIND_DEPTH_STENCIL);
    const FormatInfo* vf = FindFormat(d.Format);
    if (!vf || !vf->depth || !ViewCompatible(t->format, d.Format))
        return E_INVALIDARG;
    Attachment a;
    a.texture = t->glName;
    a.target = t->glTarget;
    switch (d.ViewDimension) {
        case D3D10_DSV_DIMENSION_TEXTURE2D:
            if (t->glTarget != GL_TEXTURE_2D || d.Texture2D.MipSlice >= t->mipLevels)
                return E_INVALIDARG;
            a.level = GLint(d.Texture2D.MipSlice);
            break;
        case D3D10_DSV_DIMENSION_TEXTURE2DARRAY: {
            const auto& r = d.Texture2DArray;
            if ((t->glTarget != GL_TEXTURE_2D_ARRAY && t->glTarget != GL_TEXTURE_CUBE_MAP) ||
                r.MipSlice >= t->mipLevels || r.FirstArraySlice >= t->arraySize)
                return E_INVALIDARG;
            if (r.ArraySize == 1)
                a.layer = GLint(r.FirstArraySlice);
            else if (!(r.FirstArraySlice == 0 && (r.ArraySize == t->arraySize || r.ArraySize == 0xffffffffu)))
                return E_INVALIDARG;
            a.level = GLint(r.MipSlice);
            break;
        }
        default:
            return E_INVALIDARG;
    }
    *view = new DepthStencilView(this, resource, d, a);
    return S_OK;
}

}  // namespace d3d10gl
