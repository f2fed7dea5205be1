#pragma once
// The OpenGL side of the Direct3D 10 stand-in, for the code beside the device that builds
// GLSL programs and sets their uniforms (effects, fonts). That code reaches GL only through
// these functions and the Direct3D calls.
//
// Conventions the device keeps:
// - Clip space: glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE): depth 0..1, y up in clip
//   space, row 0 of every texture and render target is the top; viewports count from the top.
// - Programs: built with D3D10GL_CreateShader and D3D10GL_CreateProgram, deleted with
//   D3D10GL_DeleteProgram. A draw uses the program set with D3D10GL_SetProgram; the device
//   binds it (glUseProgram) right before each draw, since its own internal passes use other
//   programs.
// - Clip distances: Direct3D clips by the SV_ClipDistance values a vertex shader writes,
//   with no state; GL clips by gl_ClipDistance[i] only while GL_CLIP_DISTANCEi is enabled.
//   D3D10GL_CreateProgram takes the count a program writes; the device enables that many
//   for the program's draws.
// - Vertex inputs: a program's input signature lists its vertex inputs by semantic name and
//   index with their attribute locations (D3D10GL_CreateProgram binds them by name).
//   The blob of D3D10GL_EncodeSignature is what CreateInputLayout takes as shader bytecode;
//   the layout feeds each element to the location of the signature entry with the same
//   semantic, with glVertexAttribIPointer where componentType is an integer type.
// - Textures: the view bound through PSSetShaderResources / VSSetShaderResources slot N is
//   bound to texture unit N at draw time (set each sampler uniform to its slot); a view whose
//   texture is also a bound render target is replaced by a black texture. The sampler state
//   of PSSetSamplers / VSSetSamplers slot N is bound with glBindSampler to unit N.
//   Pixel and vertex stage share the units: slot N of either stage is unit N.
//   Integer-format textures are always sampled through a point-filter sampler (GL leaves
//   them incomplete under linear filtering).
// - Render-target outputs: target i of OMSetRenderTargets is colour attachment i and
//   draw buffer i (fragment output location i). A render-target view over all slices of a
//   3D texture (or all slices of an array) is attached layered: clears reach every slice,
//   draws reach slice 0 unless a geometry shader writes gl_Layer.
// - Winding: FrontCounterClockwise FALSE means triangles clockwise on the target face the
//   viewer, as in Direct3D; no shader changes are needed for the flipped origin.
// - Uniforms: D3D10GL_SetUniform and D3D10GL_SetUniformMatrix set them on a program, where
//   they persist; D3D10GL_SetUniformBuffer binds the buffer of a uniform block binding.
//   These change only the current program and the GL_UNIFORM_BUFFER bindings (generic and
//   indexed), which the device never uses between draws, so its state stays valid: none of
//   the functions here needs D3D10GL_InvalidateState. Those that call GL make the device's
//   context current themselves.

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32_types.h"

struct ID3D10Buffer;
struct ID3D10Device;
struct ID3D10Resource;
struct ID3D10ShaderResourceView;

// One vertex input of a program.
struct D3D10GL_SignatureElement {
    char semanticName[32];  // "POSITION", "TEXCOORD", ... (compared case-insensitively)
    UINT semanticIndex;
    INT location;         // the attribute location in the program
    UINT componentType;   // 0 float, 1 signed int, 2 unsigned int
    UINT componentCount;  // 1..4
};

enum : UINT {
    D3D10GL_COMPONENT_FLOAT = 0,
    D3D10GL_COMPONENT_SINT = 1,
    D3D10GL_COMPONENT_UINT = 2,
};

// Signature blob: magic, element count, then the elements as they lie in memory.
inline constexpr UINT D3D10GL_SIGNATURE_MAGIC = 0x4C475347u;  // "GSGL"

inline std::vector<BYTE> D3D10GL_EncodeSignature(const D3D10GL_SignatureElement* elements, UINT count) {
    std::vector<BYTE> blob(2 * sizeof(UINT) + sizeof(D3D10GL_SignatureElement) * count);
    const UINT header[2] = {D3D10GL_SIGNATURE_MAGIC, count};
    std::memcpy(blob.data(), header, sizeof(header));
    if (count > 0 && elements)
        std::memcpy(blob.data() + sizeof(header), elements, sizeof(D3D10GL_SignatureElement) * count);
    return blob;
}

// False (and `out` empty) when the data is no signature blob of this kind.
inline bool D3D10GL_DecodeSignature(const void* data, SIZE_T size, std::vector<D3D10GL_SignatureElement>& out) {
    out.clear();
    if (!data || size < 2 * sizeof(UINT))
        return false;
    UINT header[2];
    std::memcpy(header, data, sizeof(header));
    if (header[0] != D3D10GL_SIGNATURE_MAGIC)
        return false;
    if (header[1] > (size - sizeof(header)) / sizeof(D3D10GL_SignatureElement) ||
        size != sizeof(header) + sizeof(D3D10GL_SignatureElement) * SIZE_T(header[1]))
        return false;
    out.resize(header[1]);
    if (header[1] > 0)
        std::memcpy(out.data(), static_cast<const BYTE*>(data) + sizeof(header),
                    sizeof(D3D10GL_SignatureElement) * header[1]);
    for (auto& e : out)
        e.semanticName[sizeof(e.semanticName) - 1] = '\0';
    return true;
}

// The program the following draws use; 0 = none (a draw without a program draws nothing).
// The program must have been made on this device's context.
void D3D10GL_SetProgram(ID3D10Device* device, unsigned int glProgram);

// The program set last with D3D10GL_SetProgram (0 when none).
unsigned int D3D10GL_GetProgram(ID3D10Device* device);

enum : UINT {
    D3D10GL_SHADER_VERTEX = 0,
    D3D10GL_SHADER_FRAGMENT = 1,
};

// Compiles the GLSL of one stage (D3D10GL_SHADER_*). 0 on failure, with the compiler's log
// in *log when log is not null. A shader may go into any number of programs.
unsigned int D3D10GL_CreateShader(ID3D10Device* device, UINT stage, const char* source, std::string* log);
void D3D10GL_DeleteShader(ID3D10Device* device, unsigned int shader);

// A vertex input of a program's GLSL and the attribute location it is bound to.
struct D3D10GL_AttributeBinding {
    const char* name;
    UINT location;
};

// Links a vertex and a fragment shader into a program, its inputs bound to their locations;
// its vertex stage writes gl_ClipDistance[0..clipDistances-1] (at most 8). 0 on failure,
// with the linker's log in *log when log is not null. The shaders stay the caller's.
unsigned int D3D10GL_CreateProgram(ID3D10Device* device, unsigned int vertexShader, unsigned int fragmentShader,
                                   const D3D10GL_AttributeBinding* attributes, UINT attributeCount, UINT clipDistances,
                                   std::string* log);

// Deletes a program; when it is the program set for draws, none is set afterwards.
void D3D10GL_DeleteProgram(ID3D10Device* device, unsigned int glProgram);

// The location of a uniform of the program; -1 when it has none of that name (setting
// location -1 does nothing).
INT D3D10GL_UniformLocation(ID3D10Device* device, unsigned int glProgram, const char* name);

// Sets `count` elements of a uniform, each `components` (1..4) values of componentType
// (D3D10GL_COMPONENT_*; bool uniforms take signed ints), the elements tightly packed.
void D3D10GL_SetUniform(ID3D10Device* device, unsigned int glProgram, INT location, UINT componentType, UINT components,
                        UINT count, const void* values);

// Sets `count` square float matrices of size x size (2..4), each column after column.
void D3D10GL_SetUniformMatrix(ID3D10Device* device, unsigned int glProgram, INT location, UINT size, UINT count,
                              const float* values);

// Feeds the program's uniform block `block` from uniform-buffer binding `binding`; false
// when the program has no active block of that name.
bool D3D10GL_SetUniformBlockBinding(ID3D10Device* device, unsigned int glProgram, const char* block, UINT binding);

// Binds a buffer of this device (or none, for null) to uniform-buffer binding `binding`.
void D3D10GL_SetUniformBuffer(ID3D10Device* device, UINT binding, ID3D10Buffer* buffer);

// Makes the device's GL context current on the calling thread.
void D3D10GL_MakeCurrent(ID3D10Device* device);

// The GL texture behind a shader-resource view, and its target (GL_TEXTURE_2D,
// GL_TEXTURE_2D_ARRAY for 2D arrays, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_3D) in *glTarget when
// glTarget is not null. 0 for a null view.
unsigned int D3D10GL_TextureName(ID3D10ShaderResourceView* view, unsigned int* glTarget);

// The GL object behind a resource: the texture name of a texture (target as above, cube
// textures report GL_TEXTURE_CUBE_MAP) or the buffer name of a buffer (GL_ARRAY_BUFFER).
// Staging resources have no GL object and give 0.
unsigned int D3D10GL_ResourceName(ID3D10Resource* resource, unsigned int* glTarget);

// Code that calls GL itself and changes state other than the current program and uniforms
// (binding textures, buffers or framebuffers of its own, as tests do) calls this afterwards:
// the device then sets all of its state again at the next draw.
void D3D10GL_InvalidateState(ID3D10Device* device);

// The GL upload/download formats of a DXGI format value: sized internal format, pixel
// format and pixel type (type 0 for the block-compressed formats, whose internal format is
// the compressed one). False for formats the device does not support.
bool D3D10GL_FormatInfo(UINT dxgiFormat, unsigned int* internalFormat, unsigned int* format, unsigned int* type);
