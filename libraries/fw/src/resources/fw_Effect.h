#pragma once
// One compiled effect: found from its name under the framework's or the project's shader
// folder, compiled (as a child of a pool when given one), with technique lookup and typed
// setters of its variables by name.

#include <cstdint>
#include <string>
#include <vector>

#include "fw_Material.h"
#include "fw_Math.h"
#include "platform/d3dx10effect.h"

class fw_Texture;

class fw_Effect {
public:
    // A name that begins with "fw_" lies under the framework root, any other under the
    // project root, in "src/shaders/". When the source is absent its compiled form (the
    // name with "o" appended) is used. A failed compilation writes the compiler's
    // messages to the log and leaves mEffect null; the effect then gives invalid
    // techniques and variables, through which nothing is drawn or set.
    fw_Effect(const std::string& name, ID3D10EffectPool* pool);
    ~fw_Effect();
    fw_Effect(const fw_Effect&) = delete;
    fw_Effect& operator=(const fw_Effect&) = delete;

    // Never null: an unknown name (or a failed effect) gives the invalid technique.
    ID3D10EffectTechnique* GetTechnique(const std::string& name);
    // Never null: an unknown name gives the invalid variable.
    ID3D10EffectVariable* GetVariable(const std::string& name);
    bool IsValid() const { return mEffect != nullptr; }

    void SetFloat(const std::string& name, float value);
    void SetInt(const std::string& name, int32_t value);
    void SetFloat2(const std::string& name, float x, float y);
    void SetFloat3(const std::string& name, float x, float y, float z);
    void SetFloat4(const std::string& name, float x, float y, float z, float w);
    void SetVector2(const std::string& name, const fw_Vector2& value);
    void SetVector3(const std::string& name, const fw_Vector3& value);
    void SetVector(const std::string& name, const float value[4]);
    void SetMatrix(const std::string& name, const float value[16]);
    // Arrays are written from element 0; elements past the declared count are dropped.
    void SetFloatArray(const std::string& name, const std::vector<float>& values);
    void SetVectorArray(const std::string& name, const std::vector<fw_Vector4>& values);
    void SetVector3Array(const std::string& name, const std::vector<fw_Vector3>& values);
    void SetVector2Array(const std::string& name, const std::vector<fw_Vector2>& values);
    void SetMatrixArray(const std::string& name, const std::vector<fw_Matrix4>& values);
    void SetTexture(const std::string& name, const fw_Texture* texture);
    void SetTextureArray(const std::string& name, const std::vector<fw_Texture*>& textures);
    void SetConstantBuffer(const std::string& name, ID3D10Buffer* buffer);

    ID3D10Effect* mEffect;  // owned; null when the effect did not compile
    std::string mPath;      // the file that was compiled
};

// Serves the effect compiler's includes from "<root>/src/shaders/" of the framework root,
// then of the project root; never relative to the including file.
class Effect_IncludeHandler : public ID3D10Include {
public:
    Effect_IncludeHandler(const std::string& frameworkRoot, const std::string& projectRoot);
    virtual ~Effect_IncludeHandler() = default;

    // E_FAIL when the file lies under neither root, is no regular file or cannot be read
    // (the log names it), when includes nest deeper than MaxDepth, or when the includes of
    // one compilation would read more than MaxBytes together.
    HRESULT Open(D3D10_INCLUDE_TYPE includeType, LPCSTR fileName, LPCVOID parentData, LPCVOID* data,
                 UINT* bytes) override;
    HRESULT Close(LPCVOID data) override;

    static constexpr int MaxDepth = 32;
    static constexpr size_t MaxBytes = size_t(64) << 20;  // the bound on an effect's sources

    std::string mRoots[2];
    int mOpen = 0;     // includes open at the moment
    size_t mRead = 0;  // bytes of the includes read
};

// The shared pool's effect file "<framework root>/src/shaders/fw_Globals.fxi" (its compiled
// form when the source is absent). Null, with the compiler's messages in the log, on failure.
ID3D10EffectPool* CreateSharedEffectPool();
