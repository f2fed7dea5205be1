#pragma once
// The effect system of the extension library: effect files (GLSL with effect declarations,
// see EFFECTS.md) compiled into programs of the Direct3D 10 stand-in, the effect pool and the
// typed variable interfaces.

#include "platform/d3d10.h"
#include "platform/win32_types.h"

struct ID3DX10ThreadPump;

// ---- Shader compiler declarations -------------------------------------------------------

enum : UINT {
    D3D10_SHADER_DEBUG = 1u << 0,
    D3D10_SHADER_SKIP_VALIDATION = 1u << 1,
    D3D10_SHADER_SKIP_OPTIMIZATION = 1u << 2,
    D3D10_SHADER_PACK_MATRIX_ROW_MAJOR = 1u << 3,
    D3D10_SHADER_PACK_MATRIX_COLUMN_MAJOR = 1u << 4,
    D3D10_SHADER_PARTIAL_PRECISION = 1u << 5,
    D3D10_SHADER_NO_PRESHADER = 1u << 8,
    D3D10_SHADER_AVOID_FLOW_CONTROL = 1u << 9,
    D3D10_SHADER_PREFER_FLOW_CONTROL = 1u << 10,
    D3D10_SHADER_ENABLE_STRICTNESS = 1u << 11,
    D3D10_SHADER_ENABLE_BACKWARDS_COMPATIBILITY = 1u << 12,
    D3D10_SHADER_IEEE_STRICTNESS = 1u << 13,
    D3D10_SHADER_OPTIMIZATION_LEVEL0 = 1u << 14,
    D3D10_SHADER_OPTIMIZATION_LEVEL1 = 0,
    D3D10_SHADER_OPTIMIZATION_LEVEL2 = (1u << 14) | (1u << 15),
    D3D10_SHADER_OPTIMIZATION_LEVEL3 = 1u << 15,
    D3D10_SHADER_WARNINGS_ARE_ERRORS = 1u << 18,
};

enum : UINT {
    D3D10_EFFECT_COMPILE_CHILD_EFFECT = 1u << 0,
    D3D10_EFFECT_COMPILE_ALLOW_SLOW_OPS = 1u << 1,
    D3D10_EFFECT_SINGLE_THREADED = 1u << 3,
};

// Variable flags of D3D10_EFFECT_VARIABLE_DESC.
enum : UINT {
    D3D10_EFFECT_VARIABLE_POOLED = 1u << 0,
    D3D10_EFFECT_VARIABLE_ANNOTATION = 1u << 1,
    D3D10_EFFECT_VARIABLE_EXPLICIT_BIND_POINT = 1u << 2,
};

struct D3D10_SHADER_MACRO {
    LPCSTR Name;
    LPCSTR Definition;
};

enum D3D10_INCLUDE_TYPE {
    D3D10_INCLUDE_LOCAL = 0,
    D3D10_INCLUDE_SYSTEM = 1,
};

// The handler through which the compiler reads included files.
struct ID3D10Include {
    virtual HRESULT Open(D3D10_INCLUDE_TYPE includeType, LPCSTR fileName, LPCVOID parentData, LPCVOID* data,
                         UINT* bytes) = 0;
    virtual HRESULT Close(LPCVOID data) = 0;

protected:
    ~ID3D10Include() = default;
};

// A reference-counted byte buffer (the compiler's messages).
struct ID3D10Blob : IUnknown {
    virtual LPVOID GetBufferPointer() = 0;
    virtual SIZE_T GetBufferSize() = 0;
};
PLATFORM_DECLARE_IID(ID3D10Blob, IID_ID3D10Blob);

// ---- Descriptions -----------------------------------------------------------------------

struct D3D10_EFFECT_DESC {
    BOOL IsChildEffect;
    UINT ConstantBuffers;
    UINT SharedConstantBuffers;
    UINT GlobalVariables;
    UINT SharedGlobalVariables;
    UINT Techniques;
};

struct D3D10_TECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
};

struct D3D10_PASS_DESC {
    LPCSTR Name;
    UINT Annotations;
    BYTE* pIAInputSignature;  // a D3D10GL signature blob (platform/d3d10_gl.h)
    SIZE_T IAInputSignatureSize;
    UINT StencilRef;
    UINT SampleMask;
    FLOAT BlendFactor[4];
};

struct D3D10_EFFECT_VARIABLE_DESC {
    LPCSTR Name;
    LPCSTR Semantic;
    UINT Flags;
    UINT Annotations;
    UINT BufferOffset;
    UINT ExplicitBindPoint;
};

// ---- Variables --------------------------------------------------------------------------
// Variables, techniques and passes belong to their effect (no reference counts). A lookup that
// finds nothing, or a conversion to the wrong kind, gives an invalid object: IsValid is FALSE
// and every operation on it does nothing and fails.

struct ID3D10EffectScalarVariable;
struct ID3D10EffectVectorVariable;
struct ID3D10EffectMatrixVariable;
struct ID3D10EffectShaderResourceVariable;
struct ID3D10EffectConstantBuffer;

// Of a variable's type only the element count is described: 0 for a variable that is not
// an array.
struct D3D10_EFFECT_TYPE_DESC {
    UINT Elements;
};

struct ID3D10EffectType {
    virtual BOOL IsValid() = 0;
    virtual HRESULT GetDesc(D3D10_EFFECT_TYPE_DESC* desc) = 0;

protected:
    ~ID3D10EffectType() = default;
};

struct ID3D10EffectVariable {
    virtual BOOL IsValid() = 0;
    virtual ID3D10EffectType* GetType() = 0;
    virtual HRESULT GetDesc(D3D10_EFFECT_VARIABLE_DESC* desc) = 0;
    virtual ID3D10EffectVariable* GetElement(UINT index) = 0;
    virtual ID3D10EffectConstantBuffer* GetParentConstantBuffer() = 0;
    virtual ID3D10EffectScalarVariable* AsScalar() = 0;
    virtual ID3D10EffectVectorVariable* AsVector() = 0;
    virtual ID3D10EffectMatrixVariable* AsMatrix() = 0;
    virtual ID3D10EffectShaderResourceVariable* AsShaderResource() = 0;
    virtual ID3D10EffectConstantBuffer* AsConstantBuffer() = 0;
    virtual HRESULT SetRawValue(void* data, UINT byteOffset, UINT byteCount) = 0;
    virtual HRESULT GetRawValue(void* data, UINT byteOffset, UINT byteCount) = 0;

protected:
    ~ID3D10EffectVariable() = default;
};

struct ID3D10EffectScalarVariable : ID3D10EffectVariable {
    virtual HRESULT SetFloat(float value) = 0;
    virtual HRESULT GetFloat(float* value) = 0;
    virtual HRESULT SetFloatArray(float* data, UINT offset, UINT count) = 0;
    virtual HRESULT GetFloatArray(float* data, UINT offset, UINT count) = 0;
    virtual HRESULT SetInt(int value) = 0;
    virtual HRESULT GetInt(int* value) = 0;
    virtual HRESULT SetIntArray(int* data, UINT offset, UINT count) = 0;
    virtual HRESULT GetIntArray(int* data, UINT offset, UINT count) = 0;
    virtual HRESULT SetBool(BOOL value) = 0;
    virtual HRESULT GetBool(BOOL* value) = 0;

protected:
    ~ID3D10EffectScalarVariable() = default;
};

struct ID3D10EffectVectorVariable : ID3D10EffectVariable {
    virtual HRESULT SetFloatVector(float* data) = 0;
    virtual HRESULT GetFloatVector(float* data) = 0;
    virtual HRESULT SetIntVector(int* data) = 0;
    virtual HRESULT GetIntVector(int* data) = 0;
    virtual HRESULT SetFloatVectorArray(float* data, UINT offset, UINT count) = 0;
    virtual HRESULT GetFloatVectorArray(float* data, UINT offset, UINT count) = 0;
    virtual HRESULT SetIntVectorArray(int* data, UINT offset, UINT count) = 0;
    virtual HRESULT GetIntVectorArray(int* data, UINT offset, UINT count) = 0;

protected:
    ~ID3D10EffectVectorVariable() = default;
};

// Matrices are 16 floats as a D3DXMATRIX lies in memory (row-major, row vectors).
struct ID3D10EffectMatrixVariable : ID3D10EffectVariable {
    virtual HRESULT SetMatrix(float* data) = 0;
    virtual HRESULT GetMatrix(float* data) = 0;
    virtual HRESULT SetMatrixArray(float* data, UINT offset, UINT count) = 0;
    virtual HRESULT GetMatrixArray(float* data, UINT offset, UINT count) = 0;
    virtual HRESULT SetMatrixTranspose(float* data) = 0;
    virtual HRESULT GetMatrixTranspose(float* data) = 0;

protected:
    ~ID3D10EffectMatrixVariable() = default;
};

// The variable holds a reference on each view set into it.
struct ID3D10EffectShaderResourceVariable : ID3D10EffectVariable {
    virtual HRESULT SetResource(ID3D10ShaderResourceView* view) = 0;
    virtual HRESULT GetResource(ID3D10ShaderResourceView** view) = 0;
    virtual HRESULT SetResourceArray(ID3D10ShaderResourceView** views, UINT offset, UINT count) = 0;
    virtual HRESULT GetResourceArray(ID3D10ShaderResourceView** views, UINT offset, UINT count) = 0;

protected:
    ~ID3D10EffectShaderResourceVariable() = default;
};

// A uniform block; its contents come from the buffer set into it (std140 layout).
struct ID3D10EffectConstantBuffer : ID3D10EffectVariable {
    virtual HRESULT SetConstantBuffer(ID3D10Buffer* buffer) = 0;
    virtual HRESULT GetConstantBuffer(ID3D10Buffer** buffer) = 0;

protected:
    ~ID3D10EffectConstantBuffer() = default;
};

// ---- Techniques and passes ----------------------------------------------------------------

struct ID3D10EffectPass {
    virtual BOOL IsValid() = 0;
    virtual HRESULT GetDesc(D3D10_PASS_DESC* desc) = 0;
    // Makes the pass current on the device: program, values, textures, samplers and the
    // states the pass names. flags must be 0.
    virtual HRESULT Apply(UINT flags) = 0;

protected:
    ~ID3D10EffectPass() = default;
};

struct ID3D10EffectTechnique {
    virtual BOOL IsValid() = 0;
    // An invalid technique reports 0 passes (and fails).
    virtual HRESULT GetDesc(D3D10_TECHNIQUE_DESC* desc) = 0;
    virtual ID3D10EffectPass* GetPassByIndex(UINT index) = 0;
    virtual ID3D10EffectPass* GetPassByName(LPCSTR name) = 0;

protected:
    ~ID3D10EffectTechnique() = default;
};

// ---- Effects and pools ----------------------------------------------------------------------

struct ID3D10Effect : IUnknown {
    virtual BOOL IsValid() = 0;
    virtual BOOL IsPool() = 0;
    virtual HRESULT GetDevice(ID3D10Device** device) = 0;
    virtual HRESULT GetDesc(D3D10_EFFECT_DESC* desc) = 0;
    virtual ID3D10EffectConstantBuffer* GetConstantBufferByIndex(UINT index) = 0;
    virtual ID3D10EffectConstantBuffer* GetConstantBufferByName(LPCSTR name) = 0;
    virtual ID3D10EffectVariable* GetVariableByIndex(UINT index) = 0;
    virtual ID3D10EffectVariable* GetVariableByName(LPCSTR name) = 0;
    virtual ID3D10EffectTechnique* GetTechniqueByIndex(UINT index) = 0;
    virtual ID3D10EffectTechnique* GetTechniqueByName(LPCSTR name) = 0;
};
PLATFORM_DECLARE_IID(ID3D10Effect, IID_ID3D10Effect);

// One value store shared by the effects compiled as its children.
struct ID3D10EffectPool : IUnknown {
    virtual ID3D10Effect* AsEffect() = 0;
};
PLATFORM_DECLARE_IID(ID3D10EffectPool, IID_ID3D10EffectPool);

// ---- Creation -------------------------------------------------------------------------------
// fileName is an effect source or a compiled effect (the container of EFFECTS.md, told
// apart by its signature). profile must be "fx_4_0". Compile
// errors fail with E_FAIL and put the messages into *errors (when errors is not null);
// hResult (optional) receives the same result. pump must be null.

HRESULT D3DX10CreateEffectFromFileA(LPCSTR fileName, const D3D10_SHADER_MACRO* defines, ID3D10Include* include,
                                    LPCSTR profile, UINT hlslFlags, UINT fxFlags, ID3D10Device* device,
                                    ID3D10EffectPool* pool, ID3DX10ThreadPump* pump, ID3D10Effect** effect,
                                    ID3D10Blob** errors, HRESULT* hResult);

HRESULT D3DX10CreateEffectPoolFromFileA(LPCSTR fileName, const D3D10_SHADER_MACRO* defines, ID3D10Include* include,
                                        LPCSTR profile, UINT hlslFlags, UINT fxFlags, ID3D10Device* device,
                                        ID3DX10ThreadPump* pump, ID3D10EffectPool** pool, ID3D10Blob** errors,
                                        HRESULT* hResult);
