#pragma once
// The CPU side of the mesh: declaration, data, adjacency, optimisation, attribute ranges.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3dx10mesh.h"

namespace d3dx10_mesh {

// Bytes of one vertex element of this format (0 when it is no vertex format).
UINT ElementBytes(DXGI_FORMAT format);

class MeshData {
public:
    HRESULT Init(const D3D10_INPUT_ELEMENT_DESC* declaration, UINT declCount, LPCSTR positionSemantic, UINT vertexCount,
                 UINT faceCount, UINT options);

    UINT VertexCount() const { return vertexCount_; }
    UINT FaceCount() const { return faceCount_; }
    UINT Options() const { return options_; }
    UINT BufferCount() const { return UINT(vertices_.size()); }
    UINT Stride(UINT buffer) const { return strides_[buffer]; }
    bool Wide() const { return (options_ & D3DX10_MESH_32_BIT) != 0; }
    const std::vector<D3D10_INPUT_ELEMENT_DESC>& Declaration() const { return declaration_; }

    std::vector<uint8_t>& Vertices(UINT buffer) { return vertices_[buffer]; }
    std::vector<uint8_t>& Indices() { return indices_; }
    std::vector<UINT>& Attributes() { return attributes_; }
    std::vector<UINT>& Adjacency() { return adjacency_; }
    std::vector<UINT>& PointReps() { return pointReps_; }
    const std::vector<D3DX10_ATTRIBUTE_RANGE>& Table() const { return table_; }
    void SetTable(const D3DX10_ATTRIBUTE_RANGE* table, UINT size);

    HRESULT SetVertexData(UINT buffer, const void* data);
    HRESULT SetIndexData(const void* data, UINT indexCount);
    HRESULT SetAttributeData(const UINT* data);

    UINT Index(UINT i) const;
    void SetIndex(UINT i, UINT value);
    // Every index names an existing vertex.
    bool IndicesValid() const;

    HRESULT GenerateAdjacencyAndPointReps(float epsilon);
    HRESULT Optimize(UINT flags, UINT* faceRemap);

    // The attribute table, or when there is none the runs of equal attributes in face order.
    std::vector<D3DX10_ATTRIBUTE_RANGE> Ranges() const;
    // The ranges of Ranges() with this attribute id, in their order, that lie within the faces:
    // a lookup in a copy sorted by id, made again after AttributesChanged.
    std::pair<const D3DX10_ATTRIBUTE_RANGE*, const D3DX10_ATTRIBUTE_RANGE*> RangesOf(UINT attribId);
    // The attributes may have been written through a mapped buffer.
    void AttributesChanged() { byAttribute_.reset(); }

private:
    struct Element {
        std::string semantic;
        D3D10_INPUT_ELEMENT_DESC desc;
    };
    void RangeVertices(D3DX10_ATTRIBUTE_RANGE& range) const;
    bool Position(UINT vertex, float out[3]) const;

    std::vector<Element> elements_;
    std::vector<D3D10_INPUT_ELEMENT_DESC> declaration_;  // names point into elements_
    int positionElement_ = -1;
    UINT vertexCount_ = 0, faceCount_ = 0, options_ = 0;
    std::vector<UINT> strides_;
    std::vector<std::vector<uint8_t>> vertices_;
    std::vector<uint8_t> indices_;
    std::vector<UINT> attributes_;
    std::vector<UINT> adjacency_;
    std::vector<UINT> pointReps_;
    std::vector<D3DX10_ATTRIBUTE_RANGE> table_;
    std::unique_ptr<std::vector<D3DX10_ATTRIBUTE_RANGE>> byAttribute_;  // Ranges() by id, stably
    bool haveAdjacency_ = false;
    float epsilon_ = 0.0f;
};

}  // namespace d3dx10_mesh
