#include "fw_Effect.h"

#include <sys/stat.h>

#include <array>
#include <cstring>

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Release.h"
#include "fw_Texture.h"
#include "platform/crt.h"
#include "platform/file_text.h"
#include "platform/regular_file.h"

namespace {

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The compiler's messages, one log line each, at information level.
void LogCompilerMessages(const std::string& path, ID3D10Blob* errors) {
    fw_Log::Write(fw_Log::kPlain, "Could not compile the effect <%s>.", path.c_str());
    if (!errors)
        return;
    const char* text = static_cast<const char*>(errors->GetBufferPointer());
    const size_t size = errors->GetBufferSize();
    if (!text || size == 0)
        return;
    std::string all(text, strnlen(text, size));
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        // A message can carry text of the effect's own lines.
        if (end > start)
            fw_Log::Write(fw_Log::kPlain, "%s", EscapeFileText(all.substr(start, end - start)).c_str());
        start = end + 1;
    }
}

// The effect system's invalid objects for an effect that does not exist: every lookup
// on them gives another invalid object, every setter fails.
struct NullPass final : ID3D10EffectPass {
    BOOL IsValid() override { return FALSE; }
    HRESULT GetDesc(D3D10_PASS_DESC* desc) override {
        if (desc)
            *desc = {};
        return E_FAIL;
    }
    HRESULT Apply(UINT) override { return E_FAIL; }
};

struct NullTechnique final : ID3D10EffectTechnique {
    NullPass pass;
    BOOL IsValid() override { return FALSE; }
    HRESULT GetDesc(D3D10_TECHNIQUE_DESC* desc) override {
        if (desc)
            *desc = {};
        return E_FAIL;
    }
    ID3D10EffectPass* GetPassByIndex(UINT) override { return &pass; }
    ID3D10EffectPass* GetPassByName(LPCSTR) override { return &pass; }
};

struct NullType final : ID3D10EffectType {
    BOOL IsValid() override { return FALSE; }
    HRESULT GetDesc(D3D10_EFFECT_TYPE_DESC* desc) override {
        if (desc)
            *desc = {};
        return E_FAIL;
    }
};
NullType gNullType;

struct NullVariable final : ID3D10EffectScalarVariable,
                            ID3D10EffectVectorVariable,
                            ID3D10EffectMatrixVariable,
                            ID3D10EffectShaderResourceVariable,
                            ID3D10EffectConstantBuffer {
    // ID3D10EffectVariable, shared by all bases.
#define FW_NULL_VARIABLE_BASE                                         \
    BOOL IsValid() override {                                         \
        return FALSE;                                                 \
    }                                                                 \
    ID3D10EffectType* GetType() override {                            \
        return &gNullType;                                            \
    }                                                                 \
    HRESULT GetDesc(D3D10_EFFECT_VARIABLE_DESC* desc) override {      \
        if (desc)                                                     \
            *desc = {};                                               \
        return E_FAIL;                                                \
    }                                                                 \
    ID3D10EffectVariable* GetElement(UINT) override {                 \
        return Self();                                                \
    }                                                                 \
    ID3D10EffectConstantBuffer* GetParentConstantBuffer() override {  \
        return Owner();                                               \
    }                                                                 \
    ID3D10EffectScalarVariable* AsScalar() override {                 \
        return Owner();                                               \
    }                                                                 \
    ID3D10EffectVectorVariable* AsVector() override {                 \
        return Owner();                                               \
    }                                                                 \
    ID3D10EffectMatrixVariable* AsMatrix() override {                 \
        return Owner();                                               \
    }                                                                 \
    ID3D10EffectShaderResourceVariable* AsShaderResource() override { \
        return Owner();                                               \
    }                                                                 \
    ID3D10EffectConstantBuffer* AsConstantBuffer() override {         \
        return Owner();                                               \
    }                                                                 \
    HRESULT SetRawValue(void*, UINT, UINT) override {                 \
        return E_FAIL;                                                \
    }                                                                 \
    HRESULT GetRawValue(void*, UINT, UINT) override {                 \
        return E_FAIL;                                                \
    }
    FW_NULL_VARIABLE_BASE
#undef FW_NULL_VARIABLE_BASE

    NullVariable* Owner() {
        return this;
    }
    ID3D10EffectVariable* Self() {
        return static_cast<ID3D10EffectScalarVariable*>(this);
    }

    HRESULT SetFloat(float) override {
        return E_FAIL;
    }
    HRESULT GetFloat(float*) override {
        return E_FAIL;
    }
    HRESULT SetFloatArray(float*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT GetFloatArray(float*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT SetInt(int) override {
        return E_FAIL;
    }
    HRESULT GetInt(int*) override {
        return E_FAIL;
    }
    HRESULT SetIntArray(int*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT GetIntArray(int*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT SetBool(BOOL) override {
        return E_FAIL;
    }
    HRESULT GetBool(BOOL*) override {
        return E_FAIL;
    }
    HRESULT SetFloatVector(float*) override {
        return E_FAIL;
    }
    HRESULT GetFloatVector(float*) override {
        return E_FAIL;
    }
    HRESULT SetIntVector(int*) override {
        return E_FAIL;
    }
    HRESULT GetIntVector(int*) override {
        return E_FAIL;
    }
    HRESULT SetFloatVectorArray(float*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT GetFloatVectorArray(float*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT SetIntVectorArray(int*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT GetIntVectorArray(int*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT SetMatrix(float*) override {
        return E_FAIL;
    }
    HRESULT GetMatrix(float*) override {
        return E_FAIL;
    }
    HRESULT SetMatrixArray(float*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT GetMatrixArray(float*, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT SetMatrixTranspose(float*) override {
        return E_FAIL;
    }
    HRESULT GetMatrixTranspose(float*) override {
        return E_FAIL;
    }
    HRESULT SetResource(ID3D10ShaderResourceView*) override {
        return E_FAIL;
    }
    HRESULT GetResource(ID3D10ShaderResourceView** view) override {
        if (view)
            *view = nullptr;
        return E_FAIL;
    }
    HRESULT SetResourceArray(ID3D10ShaderResourceView**, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT GetResourceArray(ID3D10ShaderResourceView**, UINT, UINT) override {
        return E_FAIL;
    }
    HRESULT SetConstantBuffer(ID3D10Buffer*) override {
        return E_FAIL;
    }
    HRESULT GetConstantBuffer(ID3D10Buffer** buffer) override {
        if (buffer)
            *buffer = nullptr;
        return E_FAIL;
    }
};

NullTechnique gNullTechnique;
NullVariable gNullVariable;

// The effect system writes only the elements that fit into the declared array.
UINT Count(size_t requested) {
    return requested > 0xFFFFu ? 0xFFFFu : static_cast<UINT>(requested);
}

// Sets a vector array from values widened to four floats each (at most Count() of them).
template <class T, class Widen>
void SetFloat4Array(ID3D10EffectVectorVariable* variable, const std::vector<T>& values, Widen widen) {
    const UINT count = Count(values.size());
    if (count == 0)
        return;
    std::vector<float> data;
    data.reserve(count * 4);
    for (UINT i = 0; i < count; ++i) {
        const std::array<float, 4> v = widen(values[i]);
        data.insert(data.end(), v.begin(), v.end());
    }
    variable->SetFloatVectorArray(data.data(), 0, count);
}

}  // namespace

// ---- fw_Effect ---------------------------------------------------------------------------

fw_Effect::fw_Effect(const std::string& name, ID3D10EffectPool* pool) : mEffect(nullptr) {
    const bool framework = name.compare(0, 3, "fw_") == 0;
    const std::string& root = framework ? fw_Framework::mFrameworkRoot : fw_Framework::mProjectRoot;
    mPath = root + "/src/shaders/" + name;
    std::string resolved = PlatformResolveFileName(mPath);
    if (!FileExists(resolved)) {
        mPath += 'o';
        resolved = PlatformResolveFileName(mPath);
    }
    Effect_IncludeHandler includes(fw_Framework::mFrameworkRoot, fw_Framework::mProjectRoot);
    ID3D10Blob* errors = nullptr;
    const HRESULT hr =
        D3DX10CreateEffectFromFileA(resolved.c_str(), nullptr, &includes, "fx_4_0", D3D10_SHADER_ENABLE_STRICTNESS,
                                    pool ? D3D10_EFFECT_COMPILE_CHILD_EFFECT : 0u, fw_Framework::mDevice, pool, nullptr,
                                    &mEffect, &errors, nullptr);
    if (FAILED(hr) || !mEffect) {
        SafeRelease(mEffect);
        LogCompilerMessages(mPath, errors);
    }
    SafeRelease(errors);
}

fw_Effect::~fw_Effect() {
    SafeRelease(mEffect);
}

ID3D10EffectTechnique* fw_Effect::GetTechnique(const std::string& name) {
    if (!mEffect)
        return &gNullTechnique;
    ID3D10EffectTechnique* technique = mEffect->GetTechniqueByName(name.c_str());
    return technique ? technique : &gNullTechnique;
}

ID3D10EffectVariable* fw_Effect::GetVariable(const std::string& name) {
    if (!mEffect)
        return static_cast<ID3D10EffectScalarVariable*>(&gNullVariable);
    ID3D10EffectVariable* variable = mEffect->GetVariableByName(name.c_str());
    return variable ? variable : static_cast<ID3D10EffectScalarVariable*>(&gNullVariable);
}

void fw_Effect::SetFloat(const std::string& name, float value) {
    GetVariable(name)->AsScalar()->SetFloat(value);
}

void fw_Effect::SetInt(const std::string& name, int32_t value) {
    GetVariable(name)->AsScalar()->SetInt(value);
}

void fw_Effect::SetFloat2(const std::string& name, float x, float y) {
    SetFloat4(name, x, y, 0.0f, 0.0f);
}

void fw_Effect::SetFloat3(const std::string& name, float x, float y, float z) {
    SetFloat4(name, x, y, z, 0.0f);
}

void fw_Effect::SetFloat4(const std::string& name, float x, float y, float z, float w) {
    float v[4] = {x, y, z, w};
    GetVariable(name)->AsVector()->SetFloatVector(v);
}

void fw_Effect::SetVector2(const std::string& name, const fw_Vector2& value) {
    SetFloat4(name, value.x, value.y, 0.0f, 0.0f);
}

void fw_Effect::SetVector3(const std::string& name, const fw_Vector3& value) {
    SetFloat4(name, value.x, value.y, value.z, 0.0f);
}

void fw_Effect::SetVector(const std::string& name, const float value[4]) {
    float v[4] = {value[0], value[1], value[2], value[3]};
    GetVariable(name)->AsVector()->SetFloatVector(v);
}

void fw_Effect::SetMatrix(const std::string& name, const float value[16]) {
    float m[16];
    std::memcpy(m, value, sizeof m);
    GetVariable(name)->AsMatrix()->SetMatrix(m);
}

void fw_Effect::SetFloatArray(const std::string& name, const std::vector<float>& values) {
    ID3D10EffectScalarVariable* variable = GetVariable(name)->AsScalar();
    const UINT count = Count(values.size());
    if (count == 0)
        return;
    std::vector<float> data(values.begin(), values.begin() + count);
    variable->SetFloatArray(data.data(), 0, count);
}

void fw_Effect::SetVectorArray(const std::string& name, const std::vector<fw_Vector4>& values) {
    SetFloat4Array(GetVariable(name)->AsVector(), values, [](const fw_Vector4& v) {
        return std::array<float, 4>{v.x, v.y, v.z, v.w};
    });
}

void fw_Effect::SetVector3Array(const std::string& name, const std::vector<fw_Vector3>& values) {
    SetFloat4Array(GetVariable(name)->AsVector(), values, [](const fw_Vector3& v) {
        return std::array<float, 4>{v.x, v.y, v.z, 0.0f};
    });
}

void fw_Effect::SetVector2Array(const std::string& name, const std::vector<fw_Vector2>& values) {
    SetFloat4Array(GetVariable(name)->AsVector(), values, [](const fw_Vector2& v) {
        return std::array<float, 4>{v.x, v.y, 0.0f, 0.0f};
    });
}

void fw_Effect::SetMatrixArray(const std::string& name, const std::vector<fw_Matrix4>& values) {
    ID3D10EffectMatrixVariable* variable = GetVariable(name)->AsMatrix();
    const UINT count = Count(values.size());
    if (count == 0)
        return;
    std::vector<float> data;
    data.reserve(count * 16);
    for (UINT i = 0; i < count; ++i)
        data.insert(data.end(), values[i].m, values[i].m + 16);
    variable->SetMatrixArray(data.data(), 0, count);
}

void fw_Effect::SetTexture(const std::string& name, const fw_Texture* texture) {
    GetVariable(name)->AsShaderResource()->SetResource(texture ? texture->mShaderResourceView : nullptr);
}

void fw_Effect::SetTextureArray(const std::string& name, const std::vector<fw_Texture*>& textures) {
    ID3D10EffectShaderResourceVariable* variable = GetVariable(name)->AsShaderResource();
    const UINT count = Count(textures.size());
    if (count == 0)
        return;
    std::vector<ID3D10ShaderResourceView*> views(count, nullptr);
    for (UINT i = 0; i < count; ++i)
        views[i] = textures[i] ? textures[i]->mShaderResourceView : nullptr;
    variable->SetResourceArray(views.data(), 0, count);
}

void fw_Effect::SetConstantBuffer(const std::string& name, ID3D10Buffer* buffer) {
    if (!mEffect)
        return;
    ID3D10EffectConstantBuffer* cb = mEffect->GetConstantBufferByName(name.c_str());
    if (cb)
        cb->SetConstantBuffer(buffer);
}

// ---- Effect_IncludeHandler ---------------------------------------------------------------

Effect_IncludeHandler::Effect_IncludeHandler(const std::string& frameworkRoot, const std::string& projectRoot) {
    mRoots[0] = frameworkRoot;
    mRoots[1] = projectRoot;
}

HRESULT Effect_IncludeHandler::Open(D3D10_INCLUDE_TYPE, LPCSTR fileName, LPCVOID, LPCVOID* data, UINT* bytes) {
    if (data)
        *data = nullptr;
    if (bytes)
        *bytes = 0;
    if (!fileName || !data || !bytes || mOpen >= MaxDepth)
        return E_FAIL;
    for (const std::string& root : mRoots) {
        const std::string path = PlatformResolveFileName(root + "/src/shaders/" + fileName);
        std::string content, error;
        const RegularFileRead read = ReadRegularFile(path, MaxBytes - mRead, content, &error);
        if (read == RegularFileRead::NotFound)
            continue;
        if (read != RegularFileRead::Ok) {
            // The compilation fails at the #include; the log says which file and why.
            fw_Log::Write(fw_Log::kPlain, "Effect include not read: %s", error.c_str());
            return E_FAIL;
        }
        mRead += content.size();
        char* buffer = new char[content.size() + 1];
        std::memcpy(buffer, content.data(), content.size());
        buffer[content.size()] = '\0';
        *data = buffer;
        *bytes = static_cast<UINT>(content.size());
        ++mOpen;
        return S_OK;
    }
    return E_FAIL;
}

HRESULT Effect_IncludeHandler::Close(LPCVOID data) {
    if (data) {
        delete[] static_cast<const char*>(data);
        if (mOpen > 0)
            --mOpen;
    }
    return S_OK;
}

// ---- The shared pool ---------------------------------------------------------------------

ID3D10EffectPool* CreateSharedEffectPool() {
    std::string path = fw_Framework::mFrameworkRoot + "/src/shaders/fw_Globals.fxi";
    std::string resolved = PlatformResolveFileName(path);
    if (!FileExists(resolved)) {
        path += 'o';
        resolved = PlatformResolveFileName(path);
    }
    ID3D10EffectPool* pool = nullptr;
    ID3D10Blob* errors = nullptr;
    const HRESULT hr =
        D3DX10CreateEffectPoolFromFileA(resolved.c_str(), nullptr, nullptr, "fx_4_0", D3D10_SHADER_ENABLE_STRICTNESS, 0,
                                        fw_Framework::mDevice, nullptr, &pool, &errors, nullptr);
    if (FAILED(hr) || !pool) {
        SafeRelease(pool);
        LogCompilerMessages(path, errors);
    }
    SafeRelease(errors);
    return pool;
}
