// Effects, pools, variables, techniques and passes over the OpenGL side of the device.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

#include "fx_core.h"
#include "platform/d3d10_gl.h"
#include "platform/d3dx10effect.h"

const IID IID_ID3D10Blob = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};
const IID IID_ID3D10Effect = {0x51b0ca8b, 0xec0b, 0x4519, {0x87, 0x0d, 0x8e, 0xe1, 0xcb, 0x50, 0x17, 0xc7}};
const IID IID_ID3D10EffectPool = {0x9537ab04, 0x3250, 0x412e, {0x82, 0x13, 0xfc, 0xd2, 0xf8, 0x67, 0x79, 0x33}};

namespace d3dx10fx {
namespace {

std::atomic<uint64_t> gVersion{1};

// ---- Blob ----

class Blob final : public ID3D10Blob {
public:
    explicit Blob(std::string text) : data_(std::move(text)) { data_.push_back('\0'); }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3D10Blob) {
            *object = static_cast<ID3D10Blob*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }
    LPVOID GetBufferPointer() override { return data_.data(); }
    SIZE_T GetBufferSize() override { return data_.size(); }

private:
    std::string data_;
    std::atomic<ULONG> refs_{1};
};

// ---- Value stores ----

struct Store {
    VarType type;
    uint32_t count = 1;
    bool array = false;
    std::vector<uint32_t> words;
    std::vector<ID3D10ShaderResourceView*> views;  // textures, one reference each
    ID3D10Buffer* buffer = nullptr;                // constant buffers, one reference
    uint64_t version = gVersion++;

    ~Store() {
        for (auto* v : views)
            if (v)
                v->Release();
        if (buffer)
            buffer->Release();
    }
    void Touch() { version = gVersion++; }
};

float AsFloat(const Store& s, uint32_t word) {
    if (s.type.base == BaseType::Float) {
        float f;
        std::memcpy(&f, &s.words[word], 4);
        return f;
    }
    return s.type.base == BaseType::UInt ? float(s.words[word]) : float(int32_t(s.words[word]));
}
int AsInt(const Store& s, uint32_t word) {
    if (s.type.base == BaseType::Float) {
        float f;
        std::memcpy(&f, &s.words[word], 4);
        return int(ValueWord(BaseType::Int, f));
    }
    return int32_t(s.words[word]);
}
void Put(Store& s, uint32_t word, float f) {
    if (s.type.base == BaseType::Float)
        std::memcpy(&s.words[word], &f, 4);
    else
        s.words[word] = ValueWord(s.type.base, f);
}
void Put(Store& s, uint32_t word, int v) {
    if (s.type.base == BaseType::Float) {
        float f = float(v);
        std::memcpy(&s.words[word], &f, 4);
    } else if (s.type.base == BaseType::Bool)
        s.words[word] = v != 0;
    else
        s.words[word] = uint32_t(v);
}
float Get(const Store& s, uint32_t word, float*) {
    return AsFloat(s, word);
}
int Get(const Store& s, uint32_t word, int*) {
    return AsInt(s, word);
}

// Elements [offset, offset + count) that lie inside the array; false when some do not.
bool Clamp(const Store& s, UINT offset, UINT count, UINT& n) {
    n = offset >= s.count ? 0 : std::min<UINT>(count, s.count - offset);
    return n == count;
}

// Writes `count` elements of `width` values each from element `offset` on, converting to the
// store's type; elements past the end of the array are left out and the call answers E_INVALIDARG.
template <class T>
HRESULT WriteElements(Store* s, const T* data, UINT offset, UINT count, UINT width) {
    if (!s || (!data && count))
        return E_FAIL;
    UINT n;
    bool all = Clamp(*s, offset, count, n);
    for (size_t i = 0; i < size_t(n) * width; ++i)
        Put(*s, uint32_t(size_t(offset) * width + i), data[i]);
    s->Touch();
    return all ? S_OK : E_INVALIDARG;
}
template <class T>
HRESULT ReadElements(const Store* s, T* data, UINT offset, UINT count, UINT width) {
    if (!s || (!data && count))
        return E_FAIL;
    UINT n;
    bool all = Clamp(*s, offset, count, n);
    for (size_t i = 0; i < size_t(n) * width; ++i)
        data[i] = Get(*s, uint32_t(size_t(offset) * width + i), data);
    return all ? S_OK : E_INVALIDARG;
}

class EffectImpl;

// ---- Variables ----

// The type of a variable, described from its store; invalid without one.
class TypeOf final : public ID3D10EffectType {
public:
    explicit TypeOf(const Store* s) : s_(s) {}
    BOOL IsValid() override { return s_ != nullptr; }
    HRESULT GetDesc(D3D10_EFFECT_TYPE_DESC* desc) override {
        if (!desc)
            return E_INVALIDARG;
        desc->Elements = s_ && s_->array ? s_->count : 0;
        return s_ ? S_OK : E_FAIL;
    }

private:
    const Store* s_;
};

template <class I>
class Var : public I {
public:
    Var() = default;
    Var(std::shared_ptr<Store> s, std::string name, std::string semantic, bool pooled)
        : s_(std::move(s)), name_(std::move(name)), pooled_(pooled), type_(s_.get()) {
        (void)semantic;
    }
    BOOL IsValid() override { return s_ != nullptr; }
    ID3D10EffectType* GetType() override { return &type_; }
    HRESULT GetDesc(D3D10_EFFECT_VARIABLE_DESC* desc) override;
    ID3D10EffectVariable* GetElement(UINT) override;
    ID3D10EffectConstantBuffer* GetParentConstantBuffer() override;
    ID3D10EffectScalarVariable* AsScalar() override;
    ID3D10EffectVectorVariable* AsVector() override;
    ID3D10EffectMatrixVariable* AsMatrix() override;
    ID3D10EffectShaderResourceVariable* AsShaderResource() override;
    ID3D10EffectConstantBuffer* AsConstantBuffer() override;
    HRESULT SetRawValue(void* data, UINT byteOffset, UINT byteCount) override {
        if (!s_ || !data || s_->words.empty())
            return E_FAIL;
        size_t size = s_->words.size() * 4;
        if (byteOffset > size || byteCount > size - byteOffset)
            return E_INVALIDARG;
        std::memcpy(reinterpret_cast<uint8_t*>(s_->words.data()) + byteOffset, data, byteCount);
        s_->Touch();
        return S_OK;
    }
    HRESULT GetRawValue(void* data, UINT byteOffset, UINT byteCount) override {
        if (!s_ || !data || s_->words.empty())
            return E_FAIL;
        size_t size = s_->words.size() * 4;
        if (byteOffset > size || byteCount > size - byteOffset)
            return E_INVALIDARG;
        std::memcpy(data, reinterpret_cast<const uint8_t*>(s_->words.data()) + byteOffset, byteCount);
        return S_OK;
    }

protected:
    std::shared_ptr<Store> s_;
    std::string name_;
    bool pooled_ = false;
    TypeOf type_{nullptr};
};

class ScalarVar final : public Var<ID3D10EffectScalarVariable> {
public:
    using Var::Var;
    HRESULT SetFloat(float v) override { return SetFloatArray(&v, 0, 1); }
    HRESULT GetFloat(float* v) override { return GetFloatArray(v, 0, 1); }
    HRESULT SetFloatArray(float* data, UINT offset, UINT count) override {
        return WriteElements(s_.get(), data, offset, count, 1);
    }
    HRESULT GetFloatArray(float* data, UINT offset, UINT count) override {
        return ReadElements(s_.get(), data, offset, count, 1);
    }
    HRESULT SetInt(int v) override { return SetIntArray(&v, 0, 1); }
    HRESULT GetInt(int* v) override { return GetIntArray(v, 0, 1); }
    HRESULT SetIntArray(int* data, UINT offset, UINT count) override {
        return WriteElements(s_.get(), data, offset, count, 1);
    }
    HRESULT GetIntArray(int* data, UINT offset, UINT count) override {
        return ReadElements(s_.get(), data, offset, count, 1);
    }
    HRESULT SetBool(BOOL v) override { return SetInt(v ? 1 : 0); }
    HRESULT GetBool(BOOL* v) override {
        int i = 0;
        HRESULT hr = GetInt(&i);
        if (SUCCEEDED(hr) && v)
            *v = i != 0;
        return hr;
    }
};

class VectorVar final : public Var<ID3D10EffectVectorVariable> {
public:
    using Var::Var;
    HRESULT SetFloatVector(float* data) override { return SetFloatVectorArray(data, 0, 1); }
    HRESULT GetFloatVector(float* data) override { return GetFloatVectorArray(data, 0, 1); }
    HRESULT SetIntVector(int* data) override { return SetIntVectorArray(data, 0, 1); }
    HRESULT GetIntVector(int* data) override { return GetIntVectorArray(data, 0, 1); }
    // Each element is four values in the caller's data, whatever the vector's size.
    HRESULT SetFloatVectorArray(float* data, UINT offset, UINT count) override {
        return WriteElements(s_.get(), data, offset, count, 4);
    }
    HRESULT GetFloatVectorArray(float* data, UINT offset, UINT count) override {
        return ReadElements(s_.get(), data, offset, count, 4);
    }
    HRESULT SetIntVectorArray(int* data, UINT offset, UINT count) override {
        return WriteElements(s_.get(), data, offset, count, 4);
    }
    HRESULT GetIntVectorArray(int* data, UINT offset, UINT count) override {
        return ReadElements(s_.get(), data, offset, count, 4);
    }
};

class MatrixVar final : public Var<ID3D10EffectMatrixVariable> {
public:
    using Var::Var;
    HRESULT SetMatrix(float* data) override { return SetMatrixArray(data, 0, 1); }
    HRESULT GetMatrix(float* data) override { return GetMatrixArray(data, 0, 1); }
    HRESULT SetMatrixArray(float* data, UINT offset, UINT count) override {
        return WriteElements(s_.get(), data, offset, count, 16);
    }
    HRESULT GetMatrixArray(float* data, UINT offset, UINT count) override {
        return ReadElements(s_.get(), data, offset, count, 16);
    }
    HRESULT SetMatrixTranspose(float* data) override {
        if (!data)
            return E_FAIL;
        float t[16];
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                t[r * 4 + c] = data[c * 4 + r];
        return SetMatrix(t);
    }
    HRESULT GetMatrixTranspose(float* data) override {
        float t[16];
        HRESULT hr = GetMatrix(t);
        if (FAILED(hr) || !data)
            return FAILED(hr) ? hr : E_FAIL;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                data[r * 4 + c] = t[c * 4 + r];
        return S_OK;
    }
};

class ResourceVar final : public Var<ID3D10EffectShaderResourceVariable> {
public:
    using Var::Var;
    HRESULT SetResource(ID3D10ShaderResourceView* view) override { return SetResourceArray(&view, 0, 1); }
    HRESULT GetResource(ID3D10ShaderResourceView** view) override { return GetResourceArray(view, 0, 1); }
    HRESULT SetResourceArray(ID3D10ShaderResourceView** views, UINT offset, UINT count) override {
        if (!s_ || (!views && count))
            return E_FAIL;
        UINT n;
        bool all = Clamp(*s_, offset, count, n);
        for (UINT i = 0; i < n; ++i) {
            ID3D10ShaderResourceView*& slot = s_->views[offset + i];
            if (views[i])
                views[i]->AddRef();
            if (slot)
                slot->Release();
            slot = views[i];
        }
        s_->Touch();
        return all ? S_OK : E_INVALIDARG;
    }
    // Hands out the views with a reference added.
    HRESULT GetResourceArray(ID3D10ShaderResourceView** views, UINT offset, UINT count) override {
        if (!s_ || (!views && count))
            return E_FAIL;
        UINT n;
        bool all = Clamp(*s_, offset, count, n);
        for (UINT i = 0; i < n; ++i) {
            views[i] = s_->views[offset + i];
            if (views[i])
                views[i]->AddRef();
        }
        return all ? S_OK : E_INVALIDARG;
    }
};

class BufferVar final : public Var<ID3D10EffectConstantBuffer> {
public:
    using Var::Var;
    HRESULT SetConstantBuffer(ID3D10Buffer* buffer) override {
        if (!s_)
            return E_FAIL;
        if (buffer)
            buffer->AddRef();
        if (s_->buffer)
            s_->buffer->Release();
        s_->buffer = buffer;
        s_->Touch();
        return S_OK;
    }
    HRESULT GetConstantBuffer(ID3D10Buffer** buffer) override {
        if (!s_ || !buffer)
            return E_FAIL;
        *buffer = s_->buffer;
        if (*buffer)
            (*buffer)->AddRef();
        return S_OK;
    }
};

ScalarVar gInvalidScalar;
VectorVar gInvalidVector;
MatrixVar gInvalidMatrix;
ResourceVar gInvalidResource;
BufferVar gInvalidBuffer;

template <class I>
HRESULT Var<I>::GetDesc(D3D10_EFFECT_VARIABLE_DESC* desc) {
    if (!desc)
        return E_INVALIDARG;
    std::memset(desc, 0, sizeof(*desc));
    if (!s_)
        return E_FAIL;
    desc->Name = name_.c_str();
    desc->Flags = pooled_ ? UINT(D3D10_EFFECT_VARIABLE_POOLED) : 0u;
    return S_OK;
}
template <class I>
ID3D10EffectVariable* Var<I>::GetElement(UINT) {
    return &gInvalidScalar;
}
template <class I>
ID3D10EffectConstantBuffer* Var<I>::GetParentConstantBuffer() {
    return &gInvalidBuffer;
}
// The variable itself when it is of kind J, else the invalid variable of that kind.
template <class J, class I>
J* AsKind(Var<I>* self, J& invalid) {
    if constexpr (std::is_same_v<I, J>)
        return self;
    else
        return &invalid;
}
template <class I>
ID3D10EffectScalarVariable* Var<I>::AsScalar() {
    return AsKind<ID3D10EffectScalarVariable>(this, gInvalidScalar);
}
template <class I>
ID3D10EffectVectorVariable* Var<I>::AsVector() {
    return AsKind<ID3D10EffectVectorVariable>(this, gInvalidVector);
}
template <class I>
ID3D10EffectMatrixVariable* Var<I>::AsMatrix() {
    return AsKind<ID3D10EffectMatrixVariable>(this, gInvalidMatrix);
}
template <class I>
ID3D10EffectShaderResourceVariable* Var<I>::AsShaderResource() {
    return AsKind<ID3D10EffectShaderResourceVariable>(this, gInvalidResource);
}
template <class I>
ID3D10EffectConstantBuffer* Var<I>::AsConstantBuffer() {
    return AsKind<ID3D10EffectConstantBuffer>(this, gInvalidBuffer);
}

// One variable of an effect: its object of the right kind and its store.
struct VarEntry {
    std::string name;
    std::unique_ptr<ID3D10EffectVariable, void (*)(ID3D10EffectVariable*)> object{nullptr, nullptr};
    std::shared_ptr<Store> store;
    bool pooled = false;
};

template <class T>
void DeleteAs(ID3D10EffectVariable* v) {
    delete static_cast<T*>(v);
}

VarEntry MakeVar(const std::string& name, std::shared_ptr<Store> store, bool pooled) {
    VarEntry e;
    e.name = name;
    e.store = store;
    e.pooled = pooled;
    switch (store->type.kind) {
        case VarKind::Scalar:
            e.object = {new ScalarVar(store, name, "", pooled), DeleteAs<ScalarVar>};
            break;
        case VarKind::Vector:
            e.object = {new VectorVar(store, name, "", pooled), DeleteAs<VectorVar>};
            break;
        case VarKind::Matrix:
            e.object = {new MatrixVar(store, name, "", pooled), DeleteAs<MatrixVar>};
            break;
        case VarKind::Texture:
            e.object = {new ResourceVar(store, name, "", pooled), DeleteAs<ResourceVar>};
            break;
    }
    return e;
}

// ---- Passes and techniques ----

struct UniformBinding {
    INT location;
    std::shared_ptr<Store> store;
    uint64_t uploaded = 0;
};
struct TextureBinding {
    std::shared_ptr<Store> store;
    uint32_t element;
    UINT unit;
    ID3D10SamplerState* sampler;  // owned by the effect
};
struct BlockBinding {
    UINT binding;
    std::shared_ptr<Store> store;
};

class PassImpl final : public ID3D10EffectPass {
public:
    EffectImpl* effect = nullptr;
    const Pass* desc = nullptr;
    unsigned int program = 0;
    std::vector<BYTE> signature;
    std::vector<UniformBinding> uniforms;
    std::vector<TextureBinding> textures;
    std::vector<BlockBinding> blocks;
    ID3D10BlendState* blend = nullptr;  // owned by the effect
    ID3D10DepthStencilState* depth = nullptr;
    ID3D10RasterizerState* raster = nullptr;

    BOOL IsValid() override { return effect != nullptr; }
    HRESULT GetDesc(D3D10_PASS_DESC* d) override {
        if (!d)
            return E_INVALIDARG;
        std::memset(d, 0, sizeof(*d));
        if (!effect)
            return E_FAIL;
        d->Name = desc->name.c_str();
        d->pIAInputSignature = signature.data();
        d->IAInputSignatureSize = signature.size();
        d->StencilRef = desc->stencilRef;
        d->SampleMask = desc->sampleMask;
        std::memcpy(d->BlendFactor, desc->blendFactor, sizeof(d->BlendFactor));
        return S_OK;
    }
    HRESULT Apply(UINT flags) override;
};

PassImpl gInvalidPass;

class TechniqueImpl final : public ID3D10EffectTechnique {
public:
    const Technique* desc = nullptr;
    std::vector<std::unique_ptr<PassImpl>> passes;

    BOOL IsValid() override { return desc != nullptr; }
    HRESULT GetDesc(D3D10_TECHNIQUE_DESC* d) override {
        if (!d)
            return E_INVALIDARG;
        std::memset(d, 0, sizeof(*d));
        if (!desc)
            return E_FAIL;
        d->Name = desc->name.c_str();
        d->Passes = UINT(passes.size());
        return S_OK;
    }
    ID3D10EffectPass* GetPassByIndex(UINT index) override {
        return index < passes.size() ? passes[index].get() : &gInvalidPass;
    }
    ID3D10EffectPass* GetPassByName(LPCSTR name) override {
        if (name)
            for (auto& p : passes)
                if (p->desc->name == name)
                    return p.get();
        return &gInvalidPass;
    }
};

TechniqueImpl gInvalidTechnique;

// ---- Effects ----

class PoolImpl;

class EffectImpl final : public ID3D10Effect {
public:
    EffectImpl(ID3D10Device* device, PoolImpl* owner) : device_(device), owner_(owner) { device_->AddRef(); }
    ~EffectImpl();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    BOOL IsValid() override { return TRUE; }
    BOOL IsPool() override { return owner_ != nullptr; }
    HRESULT GetDevice(ID3D10Device** device) override {
        if (!device)
            return E_INVALIDARG;
        *device = device_;
        device_->AddRef();
        return S_OK;
    }
    HRESULT GetDesc(D3D10_EFFECT_DESC* d) override {
        if (!d)
            return E_INVALIDARG;
        std::memset(d, 0, sizeof(*d));
        d->IsChildEffect = parent_ != nullptr;
        for (const auto& v : vars_)
            (v.pooled ? d->SharedGlobalVariables : d->GlobalVariables)++;
        for (const auto& b : buffers_)
            (b.pooled ? d->SharedConstantBuffers : d->ConstantBuffers)++;
        d->Techniques = UINT(techniques_.size());
        return S_OK;
    }
    ID3D10EffectConstantBuffer* GetConstantBufferByIndex(UINT index) override {
        return index < buffers_.size() ? static_cast<ID3D10EffectConstantBuffer*>(buffers_[index].object.get())
                                       : &gInvalidBuffer;
    }
    ID3D10EffectConstantBuffer* GetConstantBufferByName(LPCSTR name) override {
        if (name)
            for (auto& b : buffers_)
                if (b.name == name)
                    return static_cast<ID3D10EffectConstantBuffer*>(b.object.get());
        if (parent_)
            return parent_->GetConstantBufferByName(name);
        return &gInvalidBuffer;
    }
    ID3D10EffectVariable* GetVariableByIndex(UINT index) override {
        return index < vars_.size() ? vars_[index].object.get() : &gInvalidScalar;
    }
    ID3D10EffectVariable* GetVariableByName(LPCSTR name) override {
        if (name)
            for (auto& v : vars_)
                if (v.name == name)
                    return v.object.get();
        if (parent_)
            return parent_->GetVariableByName(name);
        return &gInvalidScalar;
    }
    ID3D10EffectTechnique* GetTechniqueByIndex(UINT index) override {
        return index < techniques_.size() ? techniques_[index].get() : &gInvalidTechnique;
    }
    ID3D10EffectTechnique* GetTechniqueByName(LPCSTR name) override {
        if (name)
            for (auto& t : techniques_)
                if (t->desc->name == name)
                    return t.get();
        return &gInvalidTechnique;
    }

    bool Build(const Preprocessed& src, EffectImpl* parent, std::string& errors);

private:
    friend class PassImpl;
    ID3D10Device* device_;
    PoolImpl* owner_;               // set for the effect of a pool
    EffectImpl* parent_ = nullptr;  // the pool's effect of a child
    std::atomic<ULONG> refs_{1};
    EffectDesc desc_;
    std::vector<VarEntry> vars_;
    std::vector<VarEntry> buffers_;
    std::vector<std::unique_ptr<TechniqueImpl>> techniques_;
    std::map<std::string, unsigned int> shaders_;  // by source
    std::vector<unsigned int> programs_;
    std::map<std::string, ID3D10SamplerState*> samplers_;
    std::map<std::string, ID3D10BlendState*> blends_;
    std::map<std::string, ID3D10DepthStencilState*> depths_;
    std::map<std::string, ID3D10RasterizerState*> rasters_;

    unsigned int Shader(UINT stage, const std::string& source, const std::vector<SourceLoc>& lines,
                        std::string& errors);
    bool BuildPass(PassImpl& pass, const StageSource& src, std::string& errors);
    bool CreateStates(std::string& errors);
};

class PoolImpl final : public ID3D10EffectPool {
public:
    explicit PoolImpl(ID3D10Device* device) : effect(device, this) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3D10EffectPool) {
            *object = static_cast<ID3D10EffectPool*>(this);
        } else if (riid == IID_ID3D10Effect) {
            *object = static_cast<ID3D10Effect*>(&effect);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG r = --refs;
        if (r == 0)
            delete this;
        return r;
    }
    ID3D10Effect* AsEffect() override { return &effect; }

    EffectImpl effect;
    std::atomic<ULONG> refs{1};
};

HRESULT EffectImpl::QueryInterface(REFIID riid, void** object) {
    if (owner_)
        return owner_->QueryInterface(riid, object);
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3D10Effect) {
        *object = static_cast<ID3D10Effect*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}
ULONG EffectImpl::AddRef() {
    return owner_ ? owner_->AddRef() : ++refs_;
}
ULONG EffectImpl::Release() {
    if (owner_)
        return owner_->Release();
    ULONG r = --refs_;
    if (r == 0)
        delete this;
    return r;
}

template <class S>
void ReleaseAll(const std::map<std::string, S*>& objects) {
    for (const auto& [name, object] : objects)
        object->Release();
}

EffectImpl::~EffectImpl() {
    for (unsigned int p : programs_)
        D3D10GL_DeleteProgram(device_, p);
    for (auto& [src, s] : shaders_)
        D3D10GL_DeleteShader(device_, s);
    ReleaseAll(samplers_);
    ReleaseAll(blends_);
    ReleaseAll(depths_);
    ReleaseAll(rasters_);
    techniques_.clear();
    vars_.clear();
    buffers_.clear();
    if (parent_)
        parent_->Release();
    device_->Release();
}

unsigned int EffectImpl::Shader(UINT stage, const std::string& source, const std::vector<SourceLoc>& lines,
                                std::string& errors) {
    auto it = shaders_.find(source);
    if (it != shaders_.end())
        return it->second;
    std::string log;
    const unsigned int s = D3D10GL_CreateShader(device_, stage, source.c_str(), &log);
    if (!s) {
        errors += MapCompilerLog(log, desc_.files, lines);
        return 0;
    }
    shaders_[source] = s;
    return s;
}

// Keeps the state object the device made for `name`, or reports that the device refused it.
template <class S>
bool Keep(HRESULT hr, S*& object, std::map<std::string, S*>& into, const std::string& name, const char* kind,
          std::string& errors) {
    if (FAILED(hr) || !object) {
        errors += std::string(kind) + " '" + name + "' was refused by the device\n";
        return false;
    }
    into[name] = object;
    return true;
}

bool EffectImpl::CreateStates(std::string& errors) {
    for (const auto& [name, s] : desc_.samplers) {
        D3D10_SAMPLER_DESC d{};
        d.Filter = D3D10_FILTER(s.Filter);
        d.AddressU = D3D10_TEXTURE_ADDRESS_MODE(s.AddressU);
        d.AddressV = D3D10_TEXTURE_ADDRESS_MODE(s.AddressV);
        d.AddressW = D3D10_TEXTURE_ADDRESS_MODE(s.AddressW);
        d.MipLODBias = s.MipLODBias;
        d.MaxAnisotropy = s.MaxAnisotropy;
        d.ComparisonFunc = D3D10_COMPARISON_FUNC(s.ComparisonFunc);
        std::memcpy(d.BorderColor, s.BorderColor, sizeof(d.BorderColor));
        d.MinLOD = s.MinLOD;
        d.MaxLOD = s.MaxLOD;
        ID3D10SamplerState* o = nullptr;
        if (!Keep(device_->CreateSamplerState(&d, &o), o, samplers_, name, "sampler state", errors))
            return false;
    }
    for (const auto& [name, s] : desc_.blendStates) {
        D3D10_BLEND_DESC d{};
        d.AlphaToCoverageEnable = BOOL(s.AlphaToCoverageEnable);
        for (int i = 0; i < 8; ++i) {
            d.BlendEnable[i] = BOOL(s.BlendEnable[i]);
            d.RenderTargetWriteMask[i] = UINT8(s.RenderTargetWriteMask[i]);
        }
        d.SrcBlend = D3D10_BLEND(s.SrcBlend);
        d.DestBlend = D3D10_BLEND(s.DestBlend);
        d.BlendOp = D3D10_BLEND_OP(s.BlendOp);
        d.SrcBlendAlpha = D3D10_BLEND(s.SrcBlendAlpha);
        d.DestBlendAlpha = D3D10_BLEND(s.DestBlendAlpha);
        d.BlendOpAlpha = D3D10_BLEND_OP(s.BlendOpAlpha);
        ID3D10BlendState* o = nullptr;
        if (!Keep(device_->CreateBlendState(&d, &o), o, blends_, name, "blend state", errors))
            return false;
    }
    for (const auto& [name, s] : desc_.depthStates) {
        D3D10_DEPTH_STENCIL_DESC d{};
        d.DepthEnable = BOOL(s.DepthEnable);
        d.DepthWriteMask = D3D10_DEPTH_WRITE_MASK(s.DepthWriteMask);
        d.DepthFunc = D3D10_COMPARISON_FUNC(s.DepthFunc);
        d.StencilEnable = BOOL(s.StencilEnable);
        d.StencilReadMask = UINT8(s.StencilReadMask);
        d.StencilWriteMask = UINT8(s.StencilWriteMask);
        auto ops = [](D3D10_DEPTH_STENCILOP_DESC& o, const StencilOps& x) {
            o.StencilFailOp = D3D10_STENCIL_OP(x.StencilFailOp);
            o.StencilDepthFailOp = D3D10_STENCIL_OP(x.StencilDepthFailOp);
            o.StencilPassOp = D3D10_STENCIL_OP(x.StencilPassOp);
            o.StencilFunc = D3D10_COMPARISON_FUNC(x.StencilFunc);
        };
        ops(d.FrontFace, s.FrontFace);
        ops(d.BackFace, s.BackFace);
        ID3D10DepthStencilState* o = nullptr;
        if (!Keep(device_->CreateDepthStencilState(&d, &o), o, depths_, name, "depth-stencil state", errors))
            return false;
    }
    for (const auto& [name, s] : desc_.rasterizerStates) {
        D3D10_RASTERIZER_DESC d{};
        d.FillMode = D3D10_FILL_MODE(s.FillMode);
        d.CullMode = D3D10_CULL_MODE(s.CullMode);
        d.FrontCounterClockwise = BOOL(s.FrontCounterClockwise);
        d.DepthBias = s.DepthBias;
        d.DepthBiasClamp = s.DepthBiasClamp;
        d.SlopeScaledDepthBias = s.SlopeScaledDepthBias;
        d.DepthClipEnable = BOOL(s.DepthClipEnable);
        d.ScissorEnable = BOOL(s.ScissorEnable);
        d.MultisampleEnable = BOOL(s.MultisampleEnable);
        d.AntialiasedLineEnable = BOOL(s.AntialiasedLineEnable);
        ID3D10RasterizerState* o = nullptr;
        if (!Keep(device_->CreateRasterizerState(&d, &o), o, rasters_, name, "rasterizer state", errors))
            return false;
    }
    return true;
}

bool EffectImpl::Build(const Preprocessed& src, EffectImpl* parent, std::string& errors) {
    if (!ParseEffect(src, desc_, errors))
        return false;
    if (parent) {
        parent_ = parent;
        parent_->AddRef();
    }
    // Variables: a child shares the store of the pool's variable of the same name (a pool's
    // names are unique: it was built).
    std::map<std::string_view, const VarEntry*> pooledVars, pooledBuffers;
    if (parent_) {
        for (const auto& pv : parent_->vars_)
            pooledVars.emplace(pv.name, &pv);
        for (const auto& pb : parent_->buffers_)
            pooledBuffers.emplace(pb.name, &pb);
    }
    for (const auto& v : desc_.variables) {
        std::shared_ptr<Store> store;
        bool pooled = false;
        if (const auto found = pooledVars.find(v.name); found != pooledVars.end()) {
            const VarEntry& pv = *found->second;
            if (!(pv.store->type == v.type) || pv.store->array != (v.elements != 0) || pv.store->count != v.Count()) {
                errors += desc_.files[size_t(v.loc.file)] + "(" + std::to_string(v.loc.line) + "): error: '" +
                          Quote(v.name) + "' is declared differently in the effect pool\n";
                return false;
            }
            store = pv.store;
            pooled = true;
        }
        if (!store) {
            store = std::make_shared<Store>();
            store->type = v.type;
            store->count = v.Count();
            store->array = v.elements != 0;
            if (v.type.kind == VarKind::Texture)
                store->views.assign(store->count, nullptr);
            else {
                store->words.assign(size_t(ValueStride(v.type)) * store->count, 0);
                if (!v.init.empty())
                    store->words = v.init;
            }
        }
        vars_.push_back(MakeVar(v.name, store, pooled));
    }
    for (const auto& c : desc_.constantBuffers) {
        std::shared_ptr<Store> store;
        bool pooled = false;
        if (const auto found = pooledBuffers.find(c.name); found != pooledBuffers.end()) {
            store = found->second->store;
            pooled = true;
        }
        if (!store)
            store = std::make_shared<Store>();
        VarEntry e;
        e.name = c.name;
        e.store = store;
        e.pooled = pooled;
        e.object = {new BufferVar(store, c.name, "", pooled), DeleteAs<BufferVar>};
        buffers_.push_back(std::move(e));
    }
    if (!CreateStates(errors))
        return false;
    std::vector<std::shared_ptr<const StageSource>> programs;
    if (!GenerateAllPasses(desc_, programs, errors))
        return false;
    size_t next = 0;
    for (const auto& t : desc_.techniques) {
        auto tech = std::make_unique<TechniqueImpl>();
        tech->desc = &t;
        for (const auto& p : t.passes) {
            auto pass = std::make_unique<PassImpl>();
            pass->desc = &p;
            if (!BuildPass(*pass, *programs[next++], errors)) {
                errors += "in pass '" + Quote(p.name) + "' of technique '" + Quote(t.name) + "'\n";
                return false;
            }
            pass->effect = this;
            tech->passes.push_back(std::move(pass));
        }
        techniques_.push_back(std::move(tech));
    }
    return true;
}

bool EffectImpl::BuildPass(PassImpl& pass, const StageSource& src, std::string& errors) {
    const Pass& p = *pass.desc;
    const unsigned int vs = Shader(D3D10GL_SHADER_VERTEX, src.vertex, src.vertexLines, errors);
    const unsigned int fs = Shader(D3D10GL_SHADER_FRAGMENT, src.fragment, src.fragmentLines, errors);
    if (!vs || !fs)
        return false;
    std::vector<std::string> names;
    std::vector<D3D10GL_SignatureElement> sig;
    for (const auto& in : src.inputs) {
        names.push_back("zfx_in_" + in.semantic + std::to_string(in.index));
        D3D10GL_SignatureElement e{};
        std::snprintf(e.semanticName, sizeof(e.semanticName), "%s", in.semantic.c_str());
        e.semanticIndex = in.index;
        e.location = in.location;
        e.componentType = in.componentType;
        e.componentCount = in.componentCount;
        sig.push_back(e);
    }
    std::vector<D3D10GL_AttributeBinding> attributes;
    for (size_t i = 0; i < sig.size(); ++i)
        attributes.push_back({names[i].c_str(), UINT(sig[i].location)});
    std::string log;
    const unsigned int prog =
        D3D10GL_CreateProgram(device_, vs, fs, attributes.data(), UINT(attributes.size()), src.clipDistances, &log);
    if (!prog) {
        errors += MapCompilerLog(log, desc_.files, {});
        return false;
    }
    programs_.push_back(prog);
    pass.program = prog;
    pass.signature = D3D10GL_EncodeSignature(sig.data(), UINT(sig.size()));
    UINT unit = 0;
    for (size_t i = 0; i < vars_.size(); ++i) {
        const Variable& v = desc_.variables[i];
        const auto& store = vars_[i].store;
        if (v.type.kind != VarKind::Texture) {
            const INT loc = D3D10GL_UniformLocation(device_, prog, v.name.c_str());
            if (loc >= 0)
                pass.uniforms.push_back({loc, store, 0});
            continue;
        }
        for (uint32_t e = 0; e < v.Count(); ++e) {
            std::string n = v.elements ? v.name + "[" + std::to_string(e) + "]" : v.name;
            const INT loc = D3D10GL_UniformLocation(device_, prog, n.c_str());
            if (loc < 0)
                continue;
            if (unit >= D3D10_COMMONSHADER_SAMPLER_SLOT_COUNT) {
                errors += "pass '" + p.name + "' uses more than " +
                          std::to_string(D3D10_COMMONSHADER_SAMPLER_SLOT_COUNT) + " textures\n";
                return false;
            }
            const INT slot = INT(unit);
            D3D10GL_SetUniform(device_, prog, loc, D3D10GL_COMPONENT_SINT, 1, 1, &slot);
            ID3D10SamplerState* sampler = v.sampler.empty() ? nullptr : samplers_[v.sampler];
            pass.textures.push_back({store, e, unit, sampler});
            ++unit;
        }
    }
    for (size_t i = 0; i < buffers_.size(); ++i) {
        if (D3D10GL_SetUniformBlockBinding(device_, prog, buffers_[i].name.c_str(), UINT(i)))
            pass.blocks.push_back({UINT(i), buffers_[i].store});
    }
    if (!p.blendState.empty() && p.blendState != "NULL")
        pass.blend = blends_[p.blendState];
    if (!p.depthStencilState.empty() && p.depthStencilState != "NULL")
        pass.depth = depths_[p.depthStencilState];
    if (!p.rasterizerState.empty() && p.rasterizerState != "NULL")
        pass.raster = rasters_[p.rasterizerState];
    return true;
}

// Sets a uniform of the program from its store, whose elements take four words each and
// whose matrices are 4 x 4 rows.
void Upload(ID3D10Device* dev, unsigned int program, UniformBinding& u) {
    const Store& s = *u.store;
    const UINT n = UINT(s.count);
    const uint32_t* w = s.words.data();
    const UINT componentType = s.type.base == BaseType::Float  ? D3D10GL_COMPONENT_FLOAT
                               : s.type.base == BaseType::UInt ? D3D10GL_COMPONENT_UINT
                                                               : D3D10GL_COMPONENT_SINT;
    switch (s.type.kind) {
        case VarKind::Scalar:
            D3D10GL_SetUniform(dev, program, u.location, componentType, 1, n, w);
            break;
        case VarKind::Vector: {
            const int c = s.type.cols;
            std::vector<uint32_t> packed(size_t(n) * size_t(c));
            for (UINT e = 0; e < n; ++e)
                for (int k = 0; k < c; ++k)
                    packed[size_t(e) * size_t(c) + size_t(k)] = w[e * 4 + k];
            D3D10GL_SetUniform(dev, program, u.location, componentType, UINT(c), n, packed.data());
            break;
        }
        case VarKind::Matrix: {
            const float* f = reinterpret_cast<const float*>(w);
            const int d = s.type.rows;
            if (d == 4) {
                D3D10GL_SetUniformMatrix(dev, program, u.location, 4, n, f);
                break;
            }
            // Upper-left d x d of each 4 x 4: D3D row r becomes GLSL column r.
            std::vector<float> m(size_t(n) * size_t(d * d));
            for (UINT e = 0; e < n; ++e)
                for (int r = 0; r < d; ++r)
                    for (int c = 0; c < d; ++c)
                        m[size_t(e) * size_t(d * d) + size_t(r * d + c)] = f[e * 16 + r * 4 + c];
            D3D10GL_SetUniformMatrix(dev, program, u.location, UINT(d), n, m.data());
            break;
        }
        case VarKind::Texture:
            break;
    }
    u.uploaded = s.version;
}

HRESULT PassImpl::Apply(UINT flags) {
    if (!effect || flags != 0)
        return E_FAIL;
    ID3D10Device* dev = effect->device_;
    for (auto& u : uniforms)
        if (u.uploaded != u.store->version)
            Upload(dev, program, u);
    for (const auto& t : textures) {
        ID3D10ShaderResourceView* view = t.store->views[t.element];
        ID3D10SamplerState* sampler = t.sampler;
        dev->PSSetShaderResources(t.unit, 1, &view);
        dev->VSSetShaderResources(t.unit, 1, &view);
        dev->PSSetSamplers(t.unit, 1, &sampler);
        dev->VSSetSamplers(t.unit, 1, &sampler);
    }
    for (const auto& b : blocks)
        D3D10GL_SetUniformBuffer(dev, b.binding, b.store->buffer);
    if (!desc->blendState.empty())
        dev->OMSetBlendState(blend, desc->blendFactor, desc->sampleMask);
    if (!desc->depthStencilState.empty())
        dev->OMSetDepthStencilState(depth, desc->stencilRef);
    if (!desc->rasterizerState.empty())
        dev->RSSetState(raster);
    D3D10GL_SetProgram(dev, program);
    return S_OK;
}

// ---- Creation ----

std::string Directory(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Hands the messages (null when there are none) and the result to the caller's outputs.
HRESULT Finish(HRESULT hr, const std::string& text, ID3D10Blob** errors, HRESULT* hResult) {
    if (errors)
        *errors = text.empty() ? nullptr : new Blob(text);
    if (hResult)
        *hResult = hr;
    return hr;
}

// Reads and preprocesses the file (or unpacks the compiled container).
HRESULT Load(LPCSTR fileName, const D3D10_SHADER_MACRO* defines, ID3D10Include* include, LPCSTR profile,
             ID3D10Device* device, ID3DX10ThreadPump* pump, Preprocessed& src, std::string& errors) {
    if (!fileName || !device) {
        errors = "no file name or no device\n";
        return E_INVALIDARG;
    }
    if (!profile || std::strcmp(profile, "fx_4_0") != 0) {
        errors = std::string("unsupported profile \"") + (profile ? profile : "") + "\"; effects take \"fx_4_0\"\n";
        return E_INVALIDARG;
    }
    if (pump) {
        errors = "asynchronous compilation is not supported\n";
        return E_NOTIMPL;
    }
    std::string data, why;
    if (!ReadFile(fileName, data, &why)) {
        errors = std::string(fileName) + ": error: " + why + "\n";
        return D3D10_ERROR_FILE_NOT_FOUND;
    }
    if (IsContainer(data.data(), data.size())) {
        std::string err;
        if (!ReadContainer(data.data(), data.size(), src, err)) {
            errors = std::string(fileName) + ": error: " + err + "\n";
            return E_FAIL;
        }
        return S_OK;
    }
    Defines defs;
    for (const D3D10_SHADER_MACRO* m = defines; m && m->Name; ++m)
        defs.push_back({m->Name, m->Definition ? m->Definition : ""});
    std::string dir = Directory(fileName);
    IncludeOpener open = [&](bool system, const std::string& name, const std::string& parent, std::string& content) {
        if (include) {
            LPCVOID p = nullptr;
            UINT bytes = 0;
            if (FAILED(include->Open(system ? D3D10_INCLUDE_SYSTEM : D3D10_INCLUDE_LOCAL, name.c_str(), parent.data(),
                                     &p, &bytes)))
                return false;
            content.assign(static_cast<const char*>(p), p ? bytes : 0);
            include->Close(p);
            return true;
        }
        return (name.empty() || name[0] != '/' ? ReadFile(dir + name, content) : false) || ReadFile(name, content);
    };
    if (!Preprocess(fileName, data, defs, open, src, errors))
        return E_FAIL;
    return S_OK;
}

}  // namespace
}  // namespace d3dx10fx

using namespace d3dx10fx;

HRESULT D3DX10CreateEffectFromFileA(LPCSTR fileName, const D3D10_SHADER_MACRO* defines, ID3D10Include* include,
                                    LPCSTR profile, UINT hlslFlags, UINT fxFlags, ID3D10Device* device,
                                    ID3D10EffectPool* pool, ID3DX10ThreadPump* pump, ID3D10Effect** effect,
                                    ID3D10Blob** errors, HRESULT* hResult) {
    (void)hlslFlags;
    if (effect)
        *effect = nullptr;
    if (!effect)
        return Finish(E_INVALIDARG, "no effect to return\n", errors, hResult);
    if ((fxFlags & D3D10_EFFECT_COMPILE_CHILD_EFFECT) && !pool)
        return Finish(E_INVALIDARG, "a child effect needs a pool\n", errors, hResult);
    std::string text;
    Preprocessed src;
    HRESULT hr = Load(fileName, defines, include, profile, device, pump, src, text);
    if (FAILED(hr))
        return Finish(hr, text, errors, hResult);
    EffectImpl* parent = pool ? &static_cast<PoolImpl*>(pool)->effect : nullptr;
    auto* e = new EffectImpl(device, nullptr);
    if (!e->Build(src, parent, text)) {
        e->Release();
        return Finish(E_FAIL, text, errors, hResult);
    }
    *effect = e;
    return Finish(S_OK, text, errors, hResult);
}

HRESULT D3DX10CreateEffectPoolFromFileA(LPCSTR fileName, const D3D10_SHADER_MACRO* defines, ID3D10Include* include,
                                        LPCSTR profile, UINT hlslFlags, UINT fxFlags, ID3D10Device* device,
                                        ID3DX10ThreadPump* pump, ID3D10EffectPool** pool, ID3D10Blob** errors,
                                        HRESULT* hResult) {
    (void)hlslFlags;
    (void)fxFlags;
    if (pool)
        *pool = nullptr;
    if (!pool)
        return Finish(E_INVALIDARG, "no pool to return\n", errors, hResult);
    std::string text;
    Preprocessed src;
    HRESULT hr = Load(fileName, defines, include, profile, device, pump, src, text);
    if (FAILED(hr))
        return Finish(hr, text, errors, hResult);
    auto* p = new PoolImpl(device);
    if (!p->effect.Build(src, nullptr, text)) {
        p->Release();
        return Finish(E_FAIL, text, errors, hResult);
    }
    *pool = p;
    return Finish(S_OK, text, errors, hResult);
}
