#pragma once
// The vertex of the mesh tests: position, normal and texture coordinates, and its layout.
#include "platform/d3d10.h"

namespace mesh_test {

struct Vertex {
    float position[3];
    float normal[3];
    float texcoord[2];
};

inline const D3D10_INPUT_ELEMENT_DESC kLayout[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
    {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 24, D3D10_INPUT_PER_VERTEX_DATA, 0},
};

}  // namespace mesh_test
