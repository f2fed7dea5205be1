// A mesh built, optimised, committed, drawn subset by subset and read back.
#include <cstring>
#include <vector>

#include "../../images/tests/d3dx10_device_fixture.h"
#include "mesh_test_vertex.h"
#include "platform/d3dx10mesh.h"

namespace {

using mesh_test::kLayout;
using mesh_test::Vertex;

const char* kVS = R"(#version 330 core
in vec3 POSITION;
in vec3 NORMAL;
in vec2 TEXCOORD;
void main() { gl_Position = vec4(POSITION.xy, 0.5, 1.0) + vec4(NORMAL * 0.0, 0.0) + vec4(TEXCOORD * 0.0, 0.0, 0.0); }
)";
const char* kFS = R"(#version 330 core
uniform vec4 uColor;
layout(location = 0) out vec4 oColor;
void main() { oColor = uColor; }
)";

Vertex V(float x, float y, float n) {
    return Vertex{{x, y, 0.0f}, {0.0f, 0.0f, n}, {x * 0.5f + 0.5f, 0.5f - y * 0.5f}};
}

constexpr uint32_t kRed = 0xFF0000FFu, kGreen = 0xFF00FF00u, kBlack = 0xFF000000u;

class Meshes : public d3dx10test::DeviceFixture {
protected:
    // Left half of the clip square: corners 1, 7, 3, 2; right half: 0, 6, 2, 4 (2 shared);
    // vertices 5 and 8 unused. Left faces carry attribute 1, right ones 0, interleaved.
    void Build() {
        vertices = {V(0, 1, 0),  V(-1, 1, 1), V(0, -1, 2), V(-1, -1, 3), V(1, -1, 4),
                    V(-1, 1, 5), V(1, 1, 6),  V(0, 1, 7),  V(9, 9, 8)};
        indices = {1, 7, 3, /*right*/ 0, 6, 2, /*left*/ 7, 2, 3, /*right*/ 6, 4, 2};
        attributes = {1, 0, 1, 0};
        ASSERT_EQ(S_OK, D3DX10CreateMesh(device, kLayout, 3, "POSITION", UINT(vertices.size()), 4, D3DX10_MESH_32_BIT,
                                         &mesh));
        Own(mesh);
        ASSERT_EQ(S_OK, mesh->SetVertexData(0, vertices.data()));
        ASSERT_EQ(S_OK, mesh->SetIndexData(indices.data(), UINT(indices.size())));
        ASSERT_EQ(S_OK, mesh->SetAttributeData(attributes.data()));
        ASSERT_EQ(S_OK, mesh->GenerateAdjacencyAndPointReps(1e-6f));
        ASSERT_EQ(S_OK, mesh->Optimize(D3DX10_MESHOPT_COMPACT | D3DX10_MESHOPT_ATTR_SORT | D3DX10_MESHOPT_VERTEX_CACHE,
                                       remap, nullptr));
        ASSERT_EQ(S_OK, mesh->CommitToDevice());
    }

    template <class T>
    std::vector<T> Read(ID3DX10MeshBuffer* buffer) {
        void* data = nullptr;
        SIZE_T size = 0;
        EXPECT_EQ(S_OK, buffer->Map(&data, &size));
        EXPECT_EQ(size, buffer->GetSize());
        std::vector<T> out(size / sizeof(T));
        std::memcpy(out.data(), data, out.size() * sizeof(T));
        buffer->Unmap();
        buffer->Release();
        return out;
    }

    std::vector<uint8_t> ReadDevice(ID3D10Buffer* buffer) {
        std::vector<uint8_t> bytes = d3d10test::ReadBuffer(buffer);
        EXPECT_FALSE(bytes.empty());
        return bytes;
    }

    void DrawSubset(GLuint program, UINT subset, const float color[4]) {
        D3D10GL_MakeCurrent(device);
        GLint previous = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
        glUseProgram(program);
        glUniform4fv(glGetUniformLocation(program, "uColor"), 1, color);
        glUseProgram(GLuint(previous));
        D3D10GL_SetProgram(device, program);
        EXPECT_EQ(S_OK, mesh->DrawSubset(subset));
    }

    std::vector<Vertex> vertices;
    std::vector<UINT> indices, attributes;
    UINT remap[4] = {};
    ID3DX10Mesh* mesh = nullptr;
};

}  // namespace

TEST_F(Meshes, OptimisedDataReadsBackEqualToTheInput) {
    Build();
    EXPECT_EQ(4u, mesh->GetFaceCount());
    EXPECT_EQ(7u, mesh->GetVertexCount());  // the unused vertices are gone
    EXPECT_EQ((std::vector<UINT>{1, 3, 0, 2}), std::vector<UINT>(remap, remap + 4));

    UINT count = 0;
    ASSERT_EQ(S_OK, mesh->GetAttributeTable(nullptr, &count));
    ASSERT_EQ(2u, count);
    D3DX10_ATTRIBUTE_RANGE table[2];
    ASSERT_EQ(S_OK, mesh->GetAttributeTable(table, &count));
    EXPECT_EQ(0u, table[0].AttribId);
    EXPECT_EQ(0u, table[0].FaceStart);
    EXPECT_EQ(2u, table[0].FaceCount);
    EXPECT_EQ(1u, table[1].AttribId);
    EXPECT_EQ(2u, table[1].FaceStart);

    ID3DX10MeshBuffer* vb = nullptr;
    ID3DX10MeshBuffer* ib = nullptr;
    ASSERT_EQ(S_OK, mesh->GetVertexBuffer(0, &vb));
    ASSERT_EQ(S_OK, mesh->GetIndexBuffer(&ib));
    const std::vector<Vertex> outVertices = Read<Vertex>(vb);
    const std::vector<UINT> outIndices = Read<UINT>(ib);
    ASSERT_EQ(7u, outVertices.size());
    ASSERT_EQ(12u, outIndices.size());
    // Every corner of every face carries the vertex it had before.
    for (UINT f = 0; f < 4; ++f)
        for (UINT c = 0; c < 3; ++c)
            EXPECT_EQ(0, std::memcmp(&outVertices[outIndices[f * 3 + c]], &vertices[indices[remap[f] * 3 + c]],
                                     sizeof(Vertex)))
                << f << " " << c;

    // The device buffers hold the same bytes.
    ID3D10Buffer* deviceVb = nullptr;
    ID3D10Buffer* deviceIb = nullptr;
    ASSERT_EQ(S_OK, mesh->GetDeviceVertexBuffer(0, &deviceVb));
    ASSERT_EQ(S_OK, mesh->GetDeviceIndexBuffer(&deviceIb));
    Own(deviceVb);
    Own(deviceIb);
    const std::vector<uint8_t> vbBytes = ReadDevice(deviceVb), ibBytes = ReadDevice(deviceIb);
    ASSERT_EQ(vbBytes.size(), outVertices.size() * sizeof(Vertex));
    EXPECT_EQ(0, std::memcmp(vbBytes.data(), outVertices.data(), vbBytes.size()));
    ASSERT_EQ(ibBytes.size(), outIndices.size() * 4);
    EXPECT_EQ(0, std::memcmp(ibBytes.data(), outIndices.data(), ibBytes.size()));
}

TEST_F(Meshes, SubsetsDrawTheirOwnFaces) {
    Build();
    const float black[4] = {0, 0, 0, 1}, red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1};
    ID3D10Texture2D* target = Target(32, 16, black);
    ASSERT_TRUE(target);
    GLuint program = Program(kVS, kFS, {"POSITION", "NORMAL", "TEXCOORD"});
    D3D10GL_SignatureElement sig[3] = {};
    const char* names[3] = {"POSITION", "NORMAL", "TEXCOORD"};
    const UINT counts[3] = {3, 3, 2};
    for (int i = 0; i < 3; ++i) {
        std::strcpy(sig[i].semanticName, names[i]);
        sig[i].location = i;
        sig[i].componentType = D3D10GL_COMPONENT_FLOAT;
        sig[i].componentCount = counts[i];
    }
    const std::vector<BYTE> blob = D3D10GL_EncodeSignature(sig, 3);
    ID3D10InputLayout* layout = nullptr;
    ASSERT_EQ(S_OK, device->CreateInputLayout(kLayout, 3, blob.data(), blob.size(), &layout));
    Own(layout);
    device->IASetInputLayout(layout);

    DrawSubset(program, 0, red);
    std::vector<uint32_t> px = ReadRGBA8(target);
    for (UINT y = 0; y < 16; ++y)
        for (UINT x = 0; x < 32; ++x)
            ASSERT_EQ(x < 16 ? kBlack : kRed, px[y * 32 + x]) << x << "," << y;

    DrawSubset(program, 1, green);
    px = ReadRGBA8(target);
    for (UINT y = 0; y < 16; ++y)
        for (UINT x = 0; x < 32; ++x)
            ASSERT_EQ(x < 16 ? kGreen : kRed, px[y * 32 + x]) << x << "," << y;

    // An attribute id without faces draws nothing.
    DrawSubset(program, 7, black);
    EXPECT_EQ(px, ReadRGBA8(target));
}

TEST_F(Meshes, RefusesBadInput) {
    ID3DX10Mesh* m = nullptr;
    EXPECT_EQ(E_INVALIDARG, D3DX10CreateMesh(nullptr, kLayout, 3, "POSITION", 3, 1, 0, &m));
    EXPECT_EQ(E_INVALIDARG, D3DX10CreateMesh(device, kLayout, 3, "POSITION", 0, 1, 0, &m));
    EXPECT_EQ(E_INVALIDARG, D3DX10CreateMesh(device, kLayout, 3, "POSITION", 70000, 1, 0, &m));
    EXPECT_EQ(nullptr, m);
    ASSERT_EQ(S_OK, D3DX10CreateMesh(device, kLayout, 3, "POSITION", 3, 1, 0, &m));
    Own(m);
    const uint16_t bad[3] = {0, 1, 5};
    ASSERT_EQ(S_OK, m->SetIndexData(bad, 3));
    EXPECT_EQ(D3DX10_ERR_INVALID_MESH, m->CommitToDevice());
    EXPECT_EQ(E_FAIL, m->DrawSubset(0));  // nothing on the device
    ID3DX10MeshBuffer* b = nullptr;
    EXPECT_EQ(E_INVALIDARG, m->GetVertexBuffer(1, &b));
    EXPECT_EQ(nullptr, b);
}
