// Meshes drawn on the software device, subset by subset, with the materials' techniques.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <set>

#include <boost/filesystem.hpp>

#include "d3d10_read_back.h"
#include "fw_Framework.h"
#include "fw_Mesh.h"
#include "platform/d3d10.h"
#include "platform/d3dx10effect.h"

namespace fs = boost::filesystem;

namespace {

const char* kGlobals = R"(
sampler_state PointClamp { Filter = MIN_MAG_MIP_POINT; AddressU = CLAMP; AddressV = CLAMP; };
uniform vec4 Ambient;
uniform vec4 Diffuse;
uniform vec4 Specular;
uniform float SpecularPower;
uniform sampler2D MeshTextures[2] : PointClamp;
)";

const char* kEffect = R"(
#include "globals.fxi"
void MeshVS(in vec3 pos : POSITION, in vec3 nrm : NORMAL, in vec2 uv : TEXCOORD0, out vec4 hpos : SV_Position) {
    hpos = vec4(pos, 1.0) + vec4(nrm * 0.0, 0.0) + vec4(uv * 0.0, 0.0, 0.0);
}
void MaterialPS(out vec4 color : SV_Target0) { color = vec4(Diffuse.rgb * (SpecularPower / 20.0), 1.0); }
void WhitePS(out vec4 color : SV_Target0) { color = vec4(1.0, 1.0, 1.0, 1.0); }
void TexturedPS(out vec4 color : SV_Target0) { color = texture(MeshTextures[1], vec2(0.5, 0.5)); }
technique left { pass P0 { VertexShader = MeshVS; PixelShader = MaterialPS; } }
technique right { pass P0 { VertexShader = MeshVS; PixelShader = MaterialPS; } }
technique ghost { pass P0 { VertexShader = MeshVS; PixelShader = MaterialPS; } }
technique textured { pass P0 { VertexShader = MeshVS; PixelShader = TexturedPS; } }
technique Plain { pass P0 { VertexShader = MeshVS; PixelShader = WhitePS; } }
technique Default { pass P0 { VertexShader = MeshVS; PixelShader = MaterialPS; } }
)";

// Left half in material "left", right half in "right"; "ghost" is named but has no face.
const char* kHalves =
    "mtllib halves.mtl\n"
    "v -1 -1 0\nv 0 -1 0\nv 0 1 0\nv -1 1 0\n"
    "v 0 -1 0\nv 1 -1 0\nv 1 1 0\nv 0 1 0\n"
    "usemtl ghost\n"
    "usemtl left\nf 1 3 2\nf 1 4 3\n"  // clockwise on screen: front faces
    "usemtl right\nf 5 7 6\nf 5 8 7\n";
const char* kHalvesMtl = "newmtl left\nKd 1 0 0\nNs 3\nnewmtl right\nKd 0 0 1\nnewmtl ghost\nKd 0 1 0\n";

constexpr uint32_t kRed = 0xFF0000FFu, kBlue = 0xFFFF0000u, kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

// The whole target in two triangles, in memory.
const fw_MeshVertex kQuad[4] = {{{-1, -1, 0}, {}, {}}, {{-1, 1, 0}, {}, {}}, {{1, 1, 0}, {}, {}}, {{1, -1, 0}, {}, {}}};
const uint32_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

// A triangle as its three corners' bytes, to compare meshes whatever their vertex order.
using Triangle = std::vector<float>;
std::multiset<Triangle> Triangles(const std::vector<fw_MeshVertex>& vertices, const std::vector<uint32_t>& indices) {
    std::multiset<Triangle> out;
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
        Triangle t(24);
        for (int c = 0; c < 3; ++c)
            std::memcpy(&t[size_t(c) * 8], &vertices.at(indices[i + c]), sizeof(fw_MeshVertex));
        out.insert(t);
    }
    return out;
}

// One-texel textures by name: "green.png" is green, every other name grey.
ID3D10Device* gTextureDevice = nullptr;
std::vector<ID3D10ShaderResourceView*> gTextureViews;

ID3D10ShaderResourceView* TexelView(const std::string& name) {
    const bool green = name == "green.png";
    const uint8_t px[4] = {uint8_t(green ? 0 : 128), uint8_t(green ? 255 : 128), uint8_t(green ? 0 : 128), 255};
    D3D10_TEXTURE2D_DESC d{};
    d.Width = d.Height = d.MipLevels = d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc = {1, 0};
    d.Usage = D3D10_USAGE_DEFAULT;
    d.BindFlags = D3D10_BIND_SHADER_RESOURCE;
    D3D10_SUBRESOURCE_DATA init{px, 4, 4};
    ID3D10Texture2D* texture = nullptr;
    ID3D10ShaderResourceView* view = nullptr;
    if (FAILED(gTextureDevice->CreateTexture2D(&d, &init, &texture)))
        return nullptr;
    gTextureDevice->CreateShaderResourceView(texture, nullptr, &view);
    texture->Release();
    if (view)
        gTextureViews.push_back(view);
    return view;
}

ID3D10EffectTechnique* TechniqueOf(fw_Effect* effect, const std::string& name) {
    return reinterpret_cast<ID3D10Effect*>(effect)->GetTechniqueByName(name.c_str());
}

class MeshGpuTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int marker;
        ASSERT_EQ(S_OK, D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0,
                                          D3D10_SDK_VERSION, &device));
        dir = fs::temp_directory_path() / fs::unique_path("meshgpu-%%%%%%");
        fs::create_directories(dir);
        Write("globals.fxi", kGlobals);
        Write("mesh.fx", kEffect);
        Write("halves.obj", kHalves);
        Write("halves.mtl", kHalvesMtl);
        ID3D10Blob* errors = nullptr;
        ASSERT_EQ(S_OK, D3DX10CreateEffectPoolFromFileA((dir / "globals.fxi").c_str(), nullptr, nullptr, "fx_4_0", 0, 0,
                                                        device, nullptr, &pool, &errors, nullptr))
            << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        ASSERT_EQ(S_OK, D3DX10CreateEffectFromFileA((dir / "mesh.fx").c_str(), nullptr, nullptr, "fx_4_0", 0,
                                                    D3D10_EFFECT_COMPILE_CHILD_EFFECT, device, pool, nullptr, &effect,
                                                    &errors, nullptr))
            << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        fw_Framework::mDevice = device;
        fw_Framework::mEffectPool = pool;
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "mesh_gpu_tests");
        framework->LookUpPoolVariables();  // the materials reach the pool through its handles
        GetMeshServices().getTechnique = TechniqueOf;

        D3D10_TEXTURE2D_DESC d{};
        d.Width = 8;
        d.Height = 4;
        d.MipLevels = 1;
        d.ArraySize = 1;
        d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        d.SampleDesc = {1, 0};
        d.Usage = D3D10_USAGE_DEFAULT;
        d.BindFlags = D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE;
        ASSERT_EQ(S_OK, device->CreateTexture2D(&d, nullptr, &target));
        ASSERT_EQ(S_OK, device->CreateRenderTargetView(target, nullptr, &rtv));
        device->OMSetRenderTargets(1, &rtv, nullptr);
        D3D10_VIEWPORT vp{0, 0, 8, 4, 0.0f, 1.0f};
        device->RSSetViewports(1, &vp);
        Clear();
    }
    void TearDown() override {
        GetMeshServices().getTechnique = nullptr;
        GetMeshServices().findOrLoadTexture = nullptr;
        for (ID3D10ShaderResourceView* v : gTextureViews)
            v->Release();
        gTextureViews.clear();
        framework.reset();
        fw_Framework::mDevice = nullptr;
        fw_Framework::mEffectPool = nullptr;
        if (device)
            device->ClearState();
        if (rtv)
            rtv->Release();
        if (target)
            target->Release();
        if (effect)
            effect->Release();
        if (pool)
            pool->Release();
        if (device)
            device->Release();
        fs::remove_all(dir);
    }
    void Write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    void Clear() {
        const float black[4] = {0, 0, 0, 1};
        device->ClearRenderTargetView(rtv, black);
    }
    std::vector<uint32_t> Read() {
        d3d10test::TextureCopy copy;
        EXPECT_TRUE(d3d10test::ReadTexture(target, copy));
        std::vector<uint32_t> out(size_t(copy.desc.Width) * copy.desc.Height);
        for (UINT y = 0; y < copy.desc.Height; ++y)
            std::memcpy(&out[size_t(y) * copy.desc.Width], copy.Row(y), size_t(copy.desc.Width) * 4);
        return out;
    }
    fw_Effect* Effect() { return reinterpret_cast<fw_Effect*>(effect); }

    std::unique_ptr<fw_Framework> framework;
    ID3D10Device* device = nullptr;
    ID3D10EffectPool* pool = nullptr;
    ID3D10Effect* effect = nullptr;
    ID3D10Texture2D* target = nullptr;
    ID3D10RenderTargetView* rtv = nullptr;
    fs::path dir;
};

}  // namespace

TEST_F(MeshGpuTest, DeviceMeshHoldsTheOptimisedData) {
    fw_Mesh mesh(dir.string(), "halves.obj", Effect());
    ASSERT_NE(mesh.mMesh, nullptr);
    EXPECT_EQ(mesh.GetVertexCount(), 8u);
    EXPECT_EQ(mesh.mAttributeCount, 2u);  // the faceless material has no range
    EXPECT_EQ(mesh.mAttributeTable[0].AttribId, 1u);
    EXPECT_EQ(mesh.mAttributeTable[1].AttribId, 2u);
    EXPECT_NE(mesh.mInputLayout, nullptr);
    std::vector<fw_Vector3> positions;
    std::vector<uint32_t> indices;
    mesh.ReadPositions(positions);
    mesh.ReadIndices(indices);
    EXPECT_EQ(positions.size(), 8u);
    ASSERT_EQ(indices.size(), 12u);
    for (uint32_t i : indices)
        EXPECT_LT(i, 8u);
    EXPECT_TRUE(mesh.mVertices.empty());
}

TEST_F(MeshGpuTest, SubsetsDrawWithTheirMaterials) {
    fw_Mesh mesh(dir.string(), "halves.obj", Effect());
    mesh.DrawAllSubsets();
    const std::vector<uint32_t> px = Read();
    // Each range draws with the material of its AttribId and a specular power of 20.
    EXPECT_EQ(px[1 * 8 + 1], kRed);
    EXPECT_EQ(px[2 * 8 + 6], kBlue);
}

TEST_F(MeshGpuTest, DrawRangeDrawsOnlyTheChosenRanges) {
    fw_Mesh mesh(dir.string(), "halves.obj", Effect());
    ID3D10EffectTechnique* plain = effect->GetTechniqueByName("Plain");
    mesh.CreateLayoutSlot9(plain);
    mesh.DrawRange(plain, 1, 1, false);
    std::vector<uint32_t> px = Read();
    EXPECT_EQ(px[1 * 8 + 1], kBlack);
    EXPECT_EQ(px[1 * 8 + 6], kWhite);
    Clear();
    mesh.Draw(plain, false);
    px = Read();
    EXPECT_EQ(px[1 * 8 + 1], kWhite);
    EXPECT_EQ(px[1 * 8 + 6], kWhite);
}

TEST_F(MeshGpuTest, EmptyMeshCreatesAndDrawsNothing) {
    Write("empty.obj", "v 0 0 0\n");
    fw_Mesh mesh(dir.string(), "empty.obj", Effect());
    EXPECT_EQ(mesh.mMesh, nullptr);
    mesh.DrawAllSubsets();
    mesh.Draw(effect->GetTechniqueByName("Plain"), true);
    EXPECT_EQ(Read()[0], kBlack);
}

TEST_F(MeshGpuTest, TextureListsAreClampedToTheDeclaredArray) {
    gTextureDevice = device;
    GetMeshServices().findOrLoadTexture = TexelView;
    // Three textures for an array of two: the first two are set, the third is left out.
    Write("tex.obj", "mtllib tex.mtl\nv -1 -1 0\nv -1 1 0\nv 1 1 0\nv 1 -1 0\nusemtl textured\nf 1 2 3\nf 1 3 4\n");
    Write("tex.mtl", "newmtl textured\nmap_Kd grey.png\nmap_Kd green.png\nmap_Kd grey.png\n");
    fw_Mesh mesh(dir.string(), "tex.obj", Effect());
    ASSERT_EQ(mesh.mMaterials.size(), 1u);
    EXPECT_EQ(mesh.mMaterials[0]->mTextureViews.size(), 3u);
    mesh.DrawAllSubsets();
    EXPECT_EQ(Read()[2 * 8 + 4], 0xFF00FF00u);
}

TEST_F(MeshGpuTest, DrawRangeWithMaterialsTakesEachRangesMaterial) {
    fw_Mesh mesh(dir.string(), "halves.obj", Effect());
    ID3D10EffectTechnique* material = effect->GetTechniqueByName("left");
    mesh.CreateLayoutSlot9(material);
    mesh.DrawRange(material, 0, 1, true);
    std::vector<uint32_t> px = Read();
    // The ranges' AttribIds are 1 and 2: "left" is red, "right" blue, at a specular power of 20.
    EXPECT_EQ(px[1 * 8 + 1], kRed);
    EXPECT_EQ(px[2 * 8 + 6], kBlue);
    Clear();
    mesh.DrawRange(material, 1, 1, true);
    px = Read();
    EXPECT_EQ(px[1 * 8 + 1], kBlack);
    EXPECT_EQ(px[2 * 8 + 6], kBlue);
}

TEST_F(MeshGpuTest, ArraysMeshDrawsWithTheDefaultTechnique) {
    fw_Mesh mesh(kQuadIndices, 6, kQuad, 4, Effect());
    ASSERT_NE(mesh.mMesh, nullptr);
    ASSERT_EQ(mesh.mAttributeCount, 1u);
    EXPECT_EQ(mesh.mAttributeTable[0].AttribId, 0u);
    EXPECT_EQ(mesh.mAttributeTable[0].FaceCount, 2u);
    ASSERT_NE(mesh.mMaterials[0]->mTechnique, nullptr);
    EXPECT_TRUE(mesh.mMaterials[0]->mTechnique->IsValid());
    mesh.CreateLayoutSlot9(mesh.mMaterials[0]->mTechnique);
    Clear();
    mesh.Draw(mesh.mMaterials[0]->mTechnique, true);
    const std::vector<uint32_t> px = Read();
    // The default diffuse colour 0.8.
    EXPECT_EQ(px[0], 0xFFCCCCCCu);
    EXPECT_EQ(px[3 * 8 + 7], 0xFFCCCCCCu);
}

TEST_F(MeshGpuTest, BuildingAgainReleasesTheOldDeviceMesh) {
    fw_Mesh mesh(dir.string(), "halves.obj", Effect());
    ID3DX10Mesh* old = mesh.mMesh;
    ASSERT_NE(old, nullptr);
    old->AddRef();
    mesh.CreateD3DXMesh(6, 4, kQuadIndices, kQuad);
    ASSERT_NE(mesh.mMesh, nullptr);
    EXPECT_NE(mesh.mMesh, old);
    EXPECT_EQ(mesh.mAttributeCount, 1u);
    EXPECT_EQ(old->Release(), 0u);                // only this test's reference was left
    mesh.CreateD3DXMesh(0, 0, nullptr, nullptr);  // empty: no mesh, no ranges
    EXPECT_EQ(mesh.mMesh, nullptr);
    EXPECT_EQ(mesh.mAttributeCount, 0u);
    EXPECT_EQ(mesh.mAttributeTable, nullptr);
    mesh.DrawAllSubsets();
    EXPECT_EQ(Read()[0], kBlack);
}

TEST_F(MeshGpuTest, ReadBackGivesTheTrianglesThatWereRead) {
    const std::string cube =
        "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
        "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\nvt 0.25 0.75\n"
        "usemtl b\nf 1/1/1 3/1/1 2/1/1\nf 1//1 4//1 3//1\nf 5//2 6//2 7//2\nf 5//2 7//2 8//2\n"
        "usemtl a\nf 1//3 2//3 6//3\nf 1//3 6//3 5//3\nf 4//4 8//4 7//4\nf 4//4 7//4 3//4\n"
        "usemtl b\nf 1//5 5//5 8//5\nf 1//5 8//5 4//5\nf 2//6 3//6 7//6\nf 2//6 7//6 6//6\n";
    Write("cube.obj", cube);
    fw_Mesh parsed(nullptr, 0, nullptr, 0, nullptr);  // the build arrays, kept off the device
    parsed.ReleaseAll();
    ASSERT_TRUE(parsed.LoadObjText(cube));
    const std::multiset<Triangle> expected = Triangles(parsed.mVertices, parsed.mIndices);
    // The cube's first face has texture coordinates: its side holds six vertices, not four.
    ASSERT_EQ(parsed.mVertices.size(), 26u);

    fw_Mesh mesh(dir.string(), "cube.obj", nullptr);
    ASSERT_NE(mesh.mMesh, nullptr);
    std::vector<fw_MeshVertex> vertices;
    std::vector<fw_Vector3> positions, normals;
    std::vector<uint32_t> indices;
    mesh.ReadVertices(vertices);
    mesh.ReadPositions(positions);
    mesh.ReadNormals(normals);
    mesh.ReadIndices(indices);
    ASSERT_EQ(vertices.size(), 26u);
    ASSERT_EQ(mesh.GetVertexCount(), 26u);
    ASSERT_EQ(indices.size(), 36u);
    EXPECT_EQ(Triangles(vertices, indices), expected);
    ASSERT_EQ(positions.size(), vertices.size());
    ASSERT_EQ(normals.size(), vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        EXPECT_EQ(positions[i].x, vertices[i].position[0]);
        EXPECT_EQ(positions[i].z, vertices[i].position[2]);
        EXPECT_EQ(normals[i].y, vertices[i].normal[1]);
    }
    // Sorted by material: "b" (material 0) holds eight triangles, "a" four.
    ASSERT_EQ(mesh.mAttributeCount, 2u);
    EXPECT_EQ(mesh.mAttributeTable[0].AttribId, 0u);
    EXPECT_EQ(mesh.mAttributeTable[0].FaceCount, 8u);
    EXPECT_EQ(mesh.mAttributeTable[1].FaceStart, 8u);
    EXPECT_EQ(mesh.mAttributeTable[1].FaceCount, 4u);
}
