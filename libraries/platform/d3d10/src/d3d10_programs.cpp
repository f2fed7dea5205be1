// Programs and uniforms for the code beside the device (see platform/d3d10_gl.h).

#include <algorithm>
#include <cstring>

#include "d3d10_internal.h"

using namespace d3d10gl;

namespace {

Device* Current(ID3D10Device* device) {
    Device* d = ToDevice(device);
    d->MakeCurrent();
    return d;
}

// The info log of a shader or, with `program`, a program, trimmed at its terminating zero.
void ReadLog(GLuint object, bool program, std::string* log) {
    if (!log)
        return;
    GLint length = 0;
    if (program)
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::string text(size_t(std::max(length, 1)), '\0');
    if (program)
        glGetProgramInfoLog(object, length, nullptr, text.data());
    else
        glGetShaderInfoLog(object, length, nullptr, text.data());
    text.resize(std::strlen(text.c_str()));
    *log = std::move(text);
}

}  // namespace

unsigned int D3D10GL_CreateShader(ID3D10Device* device, UINT stage, const char* source, std::string* log) {
    if (log)
        log->clear();
    if (!device || !source || (stage != D3D10GL_SHADER_VERTEX && stage != D3D10GL_SHADER_FRAGMENT))
        return 0;
    Current(device);
    const GLuint shader = glCreateShader(stage == D3D10GL_SHADER_VERTEX ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        ReadLog(shader, false, log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

void D3D10GL_DeleteShader(ID3D10Device* device, unsigned int shader) {
    if (!device || !shader)
        return;
    Current(device);
    glDeleteShader(shader);
}

unsigned int D3D10GL_CreateProgram(ID3D10Device* device, unsigned int vertexShader, unsigned int fragmentShader,
                                   const D3D10GL_AttributeBinding* attributes, UINT attributeCount, UINT clipDistances,
                                   std::string* log) {
    if (log)
        log->clear();
    if (!device || !vertexShader || !fragmentShader || (attributeCount && !attributes))
        return 0;
    Device* d = Current(device);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    for (UINT i = 0; i < attributeCount; ++i)
        glBindAttribLocation(program, attributes[i].location, attributes[i].name);
    glLinkProgram(program);
    glDetachShader(program, vertexShader);
    glDetachShader(program, fragmentShader);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        ReadLog(program, true, log);
        glDeleteProgram(program);
        return 0;
    }
    d->SetProgramClipDistances(program, clipDistances);
    return program;
}

void D3D10GL_DeleteProgram(ID3D10Device* device, unsigned int glProgram) {
    if (!device || !glProgram)
        return;
    Device* d = Current(device);
    if (d->Program() == glProgram)
        d->SetProgram(0);
    // GL may give the name out again.
    d->SetProgramClipDistances(glProgram, 0);
    glDeleteProgram(glProgram);
}

INT D3D10GL_UniformLocation(ID3D10Device* device, unsigned int glProgram, const char* name) {
    if (!device || !glProgram || !name)
        return -1;
    Current(device);
    return glGetUniformLocation(glProgram, name);
}

void D3D10GL_SetUniform(ID3D10Device* device, unsigned int glProgram, INT location, UINT componentType, UINT components,
                        UINT count, const void* values) {
    if (!device || !glProgram || location < 0 || count == 0 || !values)
        return;
    Current(device);
    glUseProgram(glProgram);
    const GLsizei n = GLsizei(count);
    const auto* f = static_cast<const GLfloat*>(values);
    const auto* i = static_cast<const GLint*>(values);
    const auto* u = static_cast<const GLuint*>(values);
    switch (componentType * 4 + components) {
        case D3D10GL_COMPONENT_FLOAT * 4 + 1:
            glUniform1fv(location, n, f);
            break;
        case D3D10GL_COMPONENT_FLOAT * 4 + 2:
            glUniform2fv(location, n, f);
            break;
        case D3D10GL_COMPONENT_FLOAT * 4 + 3:
            glUniform3fv(location, n, f);
            break;
        case D3D10GL_COMPONENT_FLOAT * 4 + 4:
            glUniform4fv(location, n, f);
            break;
        case D3D10GL_COMPONENT_SINT * 4 + 1:
            glUniform1iv(location, n, i);
            break;
        case D3D10GL_COMPONENT_SINT * 4 + 2:
            glUniform2iv(location, n, i);
            break;
        case D3D10GL_COMPONENT_SINT * 4 + 3:
            glUniform3iv(location, n, i);
            break;
        case D3D10GL_COMPONENT_SINT * 4 + 4:
            glUniform4iv(location, n, i);
            break;
        case D3D10GL_COMPONENT_UINT * 4 + 1:
            glUniform1uiv(location, n, u);
            break;
        case D3D10GL_COMPONENT_UINT * 4 + 2:
            glUniform2uiv(location, n, u);
            break;
        case D3D10GL_COMPONENT_UINT * 4 + 3:
            glUniform3uiv(location, n, u);
            break;
        case D3D10GL_COMPONENT_UINT * 4 + 4:
            glUniform4uiv(location, n, u);
            break;
        default:
            break;
    }
}

void D3D10GL_SetUniformMatrix(ID3D10Device* device, unsigned int glProgram, INT location, UINT size, UINT count,
                              const float* values) {
    if (!device || !glProgram || location < 0 || count == 0 || !values)
        return;
    Current(device);
    glUseProgram(glProgram);
    const GLsizei n = GLsizei(count);
    if (size == 2)
        glUniformMatrix2fv(location, n, GL_FALSE, values);
    else if (size == 3)
        glUniformMatrix3fv(location, n, GL_FALSE, values);
    else if (size == 4)
        glUniformMatrix4fv(location, n, GL_FALSE, values);
}

bool D3D10GL_SetUniformBlockBinding(ID3D10Device* device, unsigned int glProgram, const char* block, UINT binding) {
    if (!device || !glProgram || !block)
        return false;
    Current(device);
    const GLuint index = glGetUniformBlockIndex(glProgram, block);
    if (index == GL_INVALID_INDEX)
        return false;
    glUniformBlockBinding(glProgram, index, binding);
    return true;
}

void D3D10GL_SetUniformBuffer(ID3D10Device* device, UINT binding, ID3D10Buffer* buffer) {
    if (!device)
        return;
    Current(device);
    Buffer* b = buffer ? ToBuffer(buffer) : nullptr;
    glBindBufferBase(GL_UNIFORM_BUFFER, binding, b ? b->glName : 0);
}
