#pragma once
// Triangle meshes from a subset of the .obj / .mtl text formats, turned into an
// extension-library mesh on the device with one attribute range per material.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fw_Material.h"
#include "fw_Math.h"
#include "platform/d3dx10effect.h"
#include "platform/d3dx10mesh.h"

class fw_Effect;

// 32 bytes: "POSITION", "NORMAL", "TEXCOORD" in slot 0.
struct fw_MeshVertex {
    float position[3];
    float normal[3];
    float texcoord[2];
};
static_assert(sizeof(fw_MeshVertex) == 32);

// What the mesh asks of the framework's effects and texture table. Until the owner of
// those installs them, no technique and no texture view is found.
struct fw_MeshServices {
    ID3D10EffectTechnique* (*getTechnique)(fw_Effect* effect, const std::string& name) = nullptr;
    ID3D10ShaderResourceView* (*findOrLoadTexture)(const std::string& name) = nullptr;
};
fw_MeshServices& GetMeshServices();

class fw_Mesh {
public:
    // The largest .obj or .mtl file read; a larger one, or one that is not a regular file,
    // is refused with a warning naming it.
    static constexpr size_t kMaxFileBytes = size_t(16) << 20;
    // Texture names kept per material: as many as a shader stage can bind.
    static constexpr size_t kMaxMaterialTextures = 128;

    // Reads directory + "/" + fileName and its first material library.
    fw_Mesh(const std::string& directory, const std::string& fileName, fw_Effect* effect);
    // One "Default" material; every triangle belongs to it.
    fw_Mesh(const uint32_t* indices, uint32_t indexCount, const fw_MeshVertex* vertices, uint32_t vertexCount,
            fw_Effect* effect);
    ~fw_Mesh();
    fw_Mesh(const fw_Mesh&) = delete;
    fw_Mesh& operator=(const fw_Mesh&) = delete;

    void Load(const std::string& directory, const std::string& fileName);
    // The reading part of Load: the .obj into the build arrays and materials, then its
    // first material library. False when the .obj is malformed.
    bool Read(const std::string& directory, const std::string& fileName);
    // Parses the .obj into the build arrays and materials. False when the text is
    // malformed (what was read before the fault is kept).
    bool LoadObj(const std::string& path);
    bool LoadObjText(const std::string& text);
    void LoadMtl(const std::string& path);
    void LoadMtlText(const std::string& text);
    // The index of the vertex made earlier from the same position index with the same 32
    // bytes, or of the vertex appended now.
    uint32_t AddUniqueVertex(uint32_t positionIndex, const fw_MeshVertex& vertex);
    void ClearVertexHash();
    // Builds the device mesh; an empty one (no vertex or no triangle) creates nothing.
    void CreateD3DXMesh(uint32_t indexCount, uint32_t vertexCount, const uint32_t* indices,
                        const fw_MeshVertex* vertices);
    void CreateLayoutSlot9(ID3D10EffectTechnique* technique);
    void DrawRange(ID3D10EffectTechnique* technique, int first, int last, bool withMaterials);
    void Draw(ID3D10EffectTechnique* technique, bool withMaterials);
    // Draws attribute range k with its material once per instance: instanceCount instances
    // from firstInstance of the buffer in slot 1 (stride bytes each), through a layout of
    // CreateInstancedLayout. Nothing without a committed mesh, technique, layout or buffer.
    void DrawRangeInstanced(ID3D10EffectTechnique* technique, int k, ID3D10InputLayout* layout, ID3D10Buffer* instances,
                            UINT stride, UINT firstInstance, UINT instanceCount);
    // The layout of kVertexElements in slot 0 and elements (per instance, slot 1) for pass 0
    // of technique; the caller owns it. Null when the technique or the device is missing.
    static ID3D10InputLayout* CreateInstancedLayout(ID3D10EffectTechnique* technique,
                                                    const D3D10_INPUT_ELEMENT_DESC* elements, UINT count);
    void DrawSubsets(int last);
    void DrawAllSubsets();
    void ReadPositions(std::vector<fw_Vector3>& out);
    void ReadNormals(std::vector<fw_Vector3>& out);
    void ReadVertices(std::vector<fw_MeshVertex>& out);
    void ReadIndices(std::vector<uint32_t>& out);
    uint32_t GetVertexCount();
    void ReleaseAll();

    static const D3D10_INPUT_ELEMENT_DESC kVertexElements[3];

    std::string mName;
    fw_Effect* mEffect;
    ID3D10InputLayout* mInputLayout = nullptr;
    std::map<int, ID3D10InputLayout*> mLayouts;
    ID3DX10Mesh* mMesh = nullptr;
    // Build-time hash of the unique vertices, open addressing: position index << 32 | vertex
    // index, or kNoVertex.
    std::vector<uint64_t> mVertexHash;
    static constexpr uint64_t kNoVertex = ~uint64_t(0);
    std::vector<fw_MeshVertex> mVertices;
    std::vector<uint32_t> mIndices;
    std::vector<uint32_t> mAttributes;
    std::vector<fw_Material*> mMaterials;  // owned
    uint32_t mAttributeCount = 0;
    D3DX10_ATTRIBUTE_RANGE* mAttributeTable = nullptr;  // owned
    std::vector<std::string> mMaterialLibraries;        // the first "mtllib" name, the one loaded

private:
    void InitLayouts();
    void ReadVertexBuffer(const std::function<void(const fw_MeshVertex&)>& sink);
};
