#pragma once
// The extension library's mesh: vertex, index and attribute data on the CPU, optimised and
// committed to device buffers, drawn subset by subset.
//
// - Vertex buffers: one per input slot of the declaration, each vertex at the slot's
//   stride (the end of its last element). Indices are 16-bit, or 32-bit with
//   D3DX10_MESH_32_BIT; three per face. Attributes: one UINT per face (0 after creation).
// - GenerateAdjacencyAndPointReps: point representatives join vertices whose positions (the
//   element of the position semantic, three floats) differ by at most epsilon in every
//   coordinate, each mapped to the lowest such index; adjacency gives for each face edge
//   (v0 v1, v1 v2, v2 v0) the first other face sharing that edge, or 0xFFFFFFFF.
// - Optimize: D3DX10_MESHOPT_ATTR_SORT sorts the faces by attribute, stably, and builds the
//   attribute table (one range per attribute id in use, ascending; VertexStart/VertexCount
//   span the vertices the range uses). D3DX10_MESHOPT_COMPACT drops unused vertices and
//   renumbers the others in order of first use by the (sorted) faces. The vertex-cache
//   option keeps the face order within each attribute. faceRemap, when given, receives
//   for each new face its old index; no vertex remap is produced (*vertexRemap := null).
//   Adjacency and point representatives generated earlier are regenerated for the new order.
// - The buffers of GetVertexBuffer, GetIndexBuffer, GetAttributeBuffer, ... map the mesh's
//   own CPU data; CommitToDevice copies it into device buffers; DrawSubset(id) draws, from
//   the device buffers, every range of the attribute table with that AttribId (without a
//   table: the runs of faces whose attribute is id), after binding its vertex and index
//   buffers and the triangle-list topology. The caller sets input layout and shaders.
//   DrawSubsetInstanced(id, n, first) draws the same n times, instances from first; the
//   mesh binds its vertex buffers from slot 0, the caller the instance data after them.

#include "platform/d3d10.h"
#include "platform/win32_types.h"

struct ID3D10Blob;

#define D3DX10_ERR_CANNOT_MODIFY_INDEX_BUFFER static_cast<HRESULT>(0x88760B54u)
#define D3DX10_ERR_INVALID_MESH static_cast<HRESULT>(0x88760B55u)

enum D3DX10_MESH : UINT {
    D3DX10_MESH_32_BIT = 0x001,
    D3DX10_MESH_GS_ADJACENCY = 0x004,
};

enum D3DX10_MESHOPT : UINT {
    D3DX10_MESHOPT_COMPACT = 0x01000000,
    D3DX10_MESHOPT_ATTR_SORT = 0x02000000,
    D3DX10_MESHOPT_VERTEX_CACHE = 0x04000000,
    D3DX10_MESHOPT_STRIP_REORDER = 0x08000000,
    D3DX10_MESHOPT_IGNORE_VERTS = 0x10000000,
    D3DX10_MESHOPT_DO_NOT_SPLIT = 0x20000000,
    D3DX10_MESHOPT_DEVICE_INDEPENDENT = 0x00400000,
};

struct D3DX10_ATTRIBUTE_RANGE {
    UINT AttribId;
    UINT FaceStart;
    UINT FaceCount;
    UINT VertexStart;
    UINT VertexCount;
};
typedef D3DX10_ATTRIBUTE_RANGE* LPD3DX10_ATTRIBUTE_RANGE;

struct ID3DX10MeshBuffer : IUnknown {
    virtual HRESULT Map(void** data, SIZE_T* size) = 0;
    virtual HRESULT Unmap() = 0;
    virtual SIZE_T GetSize() = 0;

protected:
    ~ID3DX10MeshBuffer() = default;
};

struct ID3DX10Mesh : IUnknown {
    virtual UINT GetFaceCount() = 0;
    virtual UINT GetVertexCount() = 0;
    virtual UINT GetVertexBufferCount() = 0;
    virtual UINT GetFlags() = 0;
    virtual HRESULT GetVertexDescription(const D3D10_INPUT_ELEMENT_DESC** desc, UINT* declCount) = 0;

    virtual HRESULT SetVertexData(UINT buffer, const void* data) = 0;
    virtual HRESULT GetVertexBuffer(UINT buffer, ID3DX10MeshBuffer** vertexBuffer) = 0;
    virtual HRESULT SetIndexData(const void* data, UINT indexCount) = 0;
    virtual HRESULT GetIndexBuffer(ID3DX10MeshBuffer** indexBuffer) = 0;
    virtual HRESULT SetAttributeData(const UINT* data) = 0;
    virtual HRESULT GetAttributeBuffer(ID3DX10MeshBuffer** attributeBuffer) = 0;
    virtual HRESULT SetAttributeTable(const D3DX10_ATTRIBUTE_RANGE* table, UINT size) = 0;
    virtual HRESULT GetAttributeTable(D3DX10_ATTRIBUTE_RANGE* table, UINT* size) = 0;

    virtual HRESULT GenerateAdjacencyAndPointReps(FLOAT epsilon) = 0;
    virtual HRESULT GetAdjacencyBuffer(ID3DX10MeshBuffer** adjacency) = 0;
    virtual HRESULT GetPointRepBuffer(ID3DX10MeshBuffer** pointReps) = 0;

    virtual HRESULT Optimize(UINT flags, UINT* faceRemap, ID3D10Blob** vertexRemap) = 0;

    virtual HRESULT CommitToDevice() = 0;
    virtual HRESULT DrawSubset(UINT attribId) = 0;
    virtual HRESULT DrawSubsetInstanced(UINT attribId, UINT instanceCount, UINT startInstanceLocation) = 0;
    virtual HRESULT GetDeviceVertexBuffer(UINT buffer, ID3D10Buffer** vertexBuffer) = 0;
    virtual HRESULT GetDeviceIndexBuffer(ID3D10Buffer** indexBuffer) = 0;

protected:
    ~ID3DX10Mesh() = default;
};

typedef ID3DX10Mesh* LPD3DX10MESH;

HRESULT D3DX10CreateMesh(ID3D10Device* device, const D3D10_INPUT_ELEMENT_DESC* declaration, UINT declCount,
                         LPCSTR positionSemantic, UINT vertexCount, UINT faceCount, UINT options, ID3DX10Mesh** mesh);
