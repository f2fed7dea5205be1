#include "fw_Mesh.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <fstream>

#include <boost/filesystem.hpp>

#include "fw_Framework.h"
#include "fw_Log.h"

namespace fs = boost::filesystem;

namespace {

const char* kCube =
    "# a cube\n"
    "mtllib cube.mtl\n"
    "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
    "o cube\ng faces\ns off\n"
    "f 1//1 3//1 2//1\nf 1//1 4//1 3//1\n"
    "f 5//2 6//2 7//2\nf 5//2 7//2 8//2\n"
    "usemtl red\n"
    "f 1//3 2//3 6//3\nf 1//3 6//3 5//3\n"
    "f 4//4 8//4 7//4\nf 4//4 7//4 3//4\n"
    "usemtl blue\n"
    "f 1//5 5//5 8//5\nf 1//5 8//5 4//5\n"
    "f 2//6 3//6 7//6\nf 2//6 7//6 6//6\n";

class MeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        fw_Framework::mDevice = nullptr;
        dir = fs::temp_directory_path() / fs::unique_path("mesh-%%%%%%");
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    // A mesh that has parsed text (no device: the build arrays stay to be inspected).
    static std::unique_ptr<fw_Mesh> Parsed(const std::string& obj, bool* ok = nullptr) {
        auto mesh = std::make_unique<fw_Mesh>(nullptr, 0, nullptr, 0, nullptr);
        mesh->ReleaseAll();
        bool result = mesh->LoadObjText(obj);
        if (ok)
            *ok = result;
        return mesh;
    }

    fs::path dir;
};

}  // namespace

TEST_F(MeshTest, CubeGivesTwentyFourVertices) {
    auto mesh = Parsed(kCube);
    EXPECT_EQ(mesh->mVertices.size(), 24u);
    EXPECT_EQ(mesh->mIndices.size(), 36u);
    EXPECT_EQ(mesh->mAttributes.size(), 12u);
    // Corner 1//1 and 1//3 share the position but not the normal.
    const fw_MeshVertex& a = mesh->mVertices[mesh->mIndices[0]];
    const fw_MeshVertex& b = mesh->mVertices[mesh->mIndices[12]];
    EXPECT_EQ(a.position[0], -1.0f);
    EXPECT_EQ(a.normal[2], -1.0f);
    EXPECT_EQ(b.normal[1], -1.0f);
    EXPECT_NE(mesh->mIndices[0], mesh->mIndices[12]);
    EXPECT_EQ(mesh->mIndices[0], mesh->mIndices[3]);  // 1//1 again: the same vertex
}

TEST_F(MeshTest, MaterialsInOrderOfFirstUse) {
    auto mesh = Parsed(kCube);
    ASSERT_EQ(mesh->mMaterials.size(), 2u);
    EXPECT_EQ(mesh->mMaterials[0]->mName, "red");
    EXPECT_EQ(mesh->mMaterials[1]->mName, "blue");
    // Faces before the first usemtl belong to material 0.
    EXPECT_EQ(mesh->mAttributes[0], 0u);
    EXPECT_EQ(mesh->mAttributes[4], 0u);
    EXPECT_EQ(mesh->mAttributes[8], 1u);
    ASSERT_EQ(mesh->mMaterialLibraries.size(), 1u);
    EXPECT_EQ(mesh->mMaterialLibraries[0], "cube.mtl");
}

TEST_F(MeshTest, CornerForms) {
    auto mesh = Parsed(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nvt 0.5 0.25\nvn 0 0 1\n"
        "f 1 2/1 3/1/1 4\n"
        "f 1//1 2 3\n");
    ASSERT_EQ(mesh->mIndices.size(), 6u);  // the fourth corner is dropped
    const fw_MeshVertex& second = mesh->mVertices[mesh->mIndices[1]];
    EXPECT_EQ(second.texcoord[0], 0.5f);
    EXPECT_EQ(second.texcoord[1], 0.25f);
    EXPECT_EQ(second.normal[2], 0.0f);
    const fw_MeshVertex& third = mesh->mVertices[mesh->mIndices[2]];
    EXPECT_EQ(third.normal[2], 1.0f);
    EXPECT_EQ(mesh->mVertices[mesh->mIndices[3]].normal[2], 1.0f);
    EXPECT_EQ(mesh->mVertices.size(), 6u);  // 1//1, 2 and 3 differ from the first face's corners
}

TEST_F(MeshTest, FaultyIndicesStopTheRead) {
    const char* bad[] = {"f 0 1 2\n",     "f 1 2 9\n",   "f -1 1 2\n",   "f 1/5 2 3\n",   "f 1//7 2 3\n",
                         "f 1 2 x\n",     "f 1/0 2 3\n", "f 1//0 2 3\n", "f 1/0/0 2 3\n", "f 1/1/0 2 3\n",
                         "f 1/0/1 2 3\n", "f 1 2 3/0\n", "f 1 2//0 3\n", "f 1/-1 2 3\n",  "f 1//-1 2 3\n"};
    for (const char* face : bad) {
        bool ok = true;
        auto mesh =
            Parsed(std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1 2 3\n") + face + "f 3 2 1\n", &ok);
        EXPECT_FALSE(ok) << face;
        EXPECT_EQ(mesh->mIndices.size(), 3u) << face;  // the first triangle stays, nothing after
        EXPECT_EQ(mesh->mAttributes.size(), 1u) << face;
    }
    bool ok = true;
    auto mesh = Parsed("v 0 0 0\nv 1 word 0\nv 0 1 0\n", &ok);
    EXPECT_FALSE(ok);
}

TEST_F(MeshTest, MaterialKeywordWithoutANameAtTheEndIsMalformed) {
    for (const char* tail : {"usemtl", "usemtl \n", "mtllib", "mtllib\n\n"}) {
        bool ok = true;
        auto mesh = Parsed(std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\n") + tail, &ok);
        EXPECT_FALSE(ok) << tail;
        EXPECT_EQ(mesh->mIndices.size(), 3u) << tail;  // what came before is kept
        ASSERT_EQ(mesh->mMaterials.size(), 1u) << tail;
        EXPECT_EQ(mesh->mMaterials[0]->mName, "red");
    }
    bool ok = false;
    Parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nmtllib a.mtl\nusemtl red\nf 1 2 3\n", &ok);
    EXPECT_TRUE(ok);
}

TEST_F(MeshTest, WholeLinesAreSkipped) {
    std::string longComment(5000, 'x');
    auto mesh = Parsed("v 0 0 0 7 8 9\n# " + longComment + " f 1 1 1\nv 1 0 0\nv 0 1 0\nf 1 2 3 # tail\n");
    EXPECT_EQ(mesh->mIndices.size(), 3u);
    EXPECT_EQ(mesh->mVertices.size(), 3u);
}

TEST_F(MeshTest, FacesWithoutUsemtlGetADefaultMaterial) {
    auto mesh = Parsed("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ASSERT_EQ(mesh->mMaterials.size(), 1u);
    EXPECT_EQ(mesh->mMaterials[0]->mName, "Default");
    EXPECT_FLOAT_EQ(mesh->mMaterials[0]->mDiffuse[0], 0.8f);
    EXPECT_EQ(Parsed("v 0 0 0\n")->mMaterials.size(), 0u);
}

TEST_F(MeshTest, NumbersReadInTheCLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may be absent; the test holds either way
    auto mesh = Parsed("v 0.5 -1.25 2e1\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    std::setlocale(LC_ALL, saved.c_str());
    const fw_MeshVertex& v = mesh->mVertices[mesh->mIndices[0]];
    EXPECT_EQ(v.position[0], 0.5f);
    EXPECT_EQ(v.position[1], -1.25f);
    EXPECT_EQ(v.position[2], 20.0f);
}

TEST_F(MeshTest, MaterialLibrary) {
    auto mesh = Parsed(kCube);
    mesh->LoadMtlText(
        "# lib\n"
        "Kd 9 9 9\n"  // no material current yet
        "newmtl unused\nKd 7 7 7\nNs 99\n"
        "newmtl blue\nKa 0.1 0.2 0.3\nKd 0 0 1 extra\nKs 0.5 0.5 0.5\nNs 32.5\nTr 0.3\n"
        "illum 2\nmap_Kd tex.png\nmap_Kd second.png\n"
        "newmtl red\nKd 1 0 0\nd 0.75\nillum 1\n");
    const fw_Material& red = *mesh->mMaterials[0];
    const fw_Material& blue = *mesh->mMaterials[1];
    EXPECT_EQ(blue.mAmbient[0], 0.1f);
    EXPECT_EQ(blue.mAmbient[2], 0.3f);
    EXPECT_EQ(blue.mAmbient[3], 1.0f);
    EXPECT_EQ(blue.mDiffuse[2], 1.0f);
    EXPECT_EQ(blue.mSpecular[0], 0.5f);
    EXPECT_EQ(blue.mSpecularExponent, 32);
    EXPECT_FLOAT_EQ(blue.mAlpha, 0.3f);
    EXPECT_TRUE(blue.mIllumSpecular);
    ASSERT_EQ(blue.mTextureNames.size(), 2u);
    EXPECT_EQ(blue.mTextureNames[0], "tex.png");
    EXPECT_EQ(red.mDiffuse[0], 1.0f);
    EXPECT_EQ(red.mDiffuse[3], 1.0f);
    EXPECT_FLOAT_EQ(red.mAlpha, 0.75f);
    EXPECT_FALSE(red.mIllumSpecular);
    EXPECT_EQ(red.mSpecularExponent, 0);  // default
    EXPECT_FLOAT_EQ(red.mAmbient[0], 0.2f);
    EXPECT_EQ(mesh->mMaterials.size(), 2u);  // "unused" created nothing
}

TEST_F(MeshTest, MaterialDefaults) {
    fw_Material m;
    m.SetDefaults();
    EXPECT_FLOAT_EQ(m.mAmbient[0], 0.2f);
    EXPECT_FLOAT_EQ(m.mAmbient[3], 1.0f);
    EXPECT_FLOAT_EQ(m.mDiffuse[1], 0.8f);
    EXPECT_FLOAT_EQ(m.mSpecular[2], 1.0f);
    EXPECT_EQ(m.mSpecularExponent, 0);
    EXPECT_EQ(m.mAlpha, 1.0f);
    EXPECT_FALSE(m.mIllumSpecular);
    EXPECT_EQ(m.mTechnique, nullptr);
}

TEST_F(MeshTest, LoadReadsObjAndItsLibraryFromTheDirectory) {
    Write("cube.obj", kCube);
    Write("cube.mtl", "newmtl red\nKd 1 0 0\nmap_Kd tex.png\n");
    fw_Mesh mesh(dir.string(), "cube.obj", nullptr);
    EXPECT_EQ(mesh.mName, "cube.obj");
    ASSERT_EQ(mesh.mMaterials.size(), 2u);
    EXPECT_EQ(mesh.mMaterials[0]->mDiffuse[0], 1.0f);
    EXPECT_EQ(mesh.mMaterials[0]->mTextureNames.size(), 1u);
    EXPECT_EQ(mesh.mLayouts.size(), 10u);
    // No device here: nothing was created and the build arrays are empty again.
    EXPECT_EQ(mesh.mMesh, nullptr);
    EXPECT_TRUE(mesh.mVertices.empty());
    EXPECT_TRUE(mesh.mIndices.empty());
    EXPECT_TRUE(mesh.mVertexHash.empty());
    EXPECT_EQ(mesh.GetVertexCount(), 0u);
    mesh.DrawAllSubsets();  // draws nothing, does not crash
    mesh.Draw(nullptr, true);
    std::vector<uint32_t> indices;
    mesh.ReadIndices(indices);
    EXPECT_TRUE(indices.empty());
    mesh.Load(dir.string(), "cube.obj");  // a second load starts over
    EXPECT_EQ(mesh.mMaterials.size(), 2u);
}

TEST_F(MeshTest, OnlyRegularFilesAreRead) {
    fw_Log::SetAlertMode(fw_Log::kAlertsDropped);
    fs::create_directories(dir / "folder.obj");
    int before = fw_Log::GetWarningCount();
    fw_Mesh folder(dir.string(), "folder.obj", nullptr);
    EXPECT_TRUE(folder.mMaterials.empty());
    EXPECT_EQ(fw_Log::GetWarningCount(), before + 1);
    // A device named as the library was read until memory ran out.
    std::string up;
    for (auto p = dir; p.has_relative_path(); p = p.parent_path())
        up += "../";
    Write("device.obj", "mtllib " + up + "dev/zero\nmtllib cube.mtl\nusemtl m\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    Write("cube.mtl", "newmtl m\nKd 1 0 0\n");
    before = fw_Log::GetWarningCount();
    fw_Mesh device(dir.string(), "device.obj", nullptr);
    ASSERT_EQ(device.mMaterials.size(), 1u);
    EXPECT_FLOAT_EQ(device.mMaterials[0]->mDiffuse[0], 0.8f);
    EXPECT_EQ(device.mMaterialLibraries.size(), 1u);  // the one loaded
    EXPECT_EQ(fw_Log::GetWarningCount(), before + 1);
}

TEST_F(MeshTest, MissingFilesReadAsEmpty) {
    fw_Mesh mesh(dir.string(), "absent.obj", nullptr);
    EXPECT_TRUE(mesh.mMaterials.empty());
    Write("lonely.obj", "mtllib absent.mtl\nusemtl m\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    fw_Mesh lonely(dir.string(), "lonely.obj", nullptr);
    ASSERT_EQ(lonely.mMaterials.size(), 1u);
    EXPECT_FLOAT_EQ(lonely.mMaterials[0]->mDiffuse[0], 0.8f);
}

TEST_F(MeshTest, ArraysConstructorHasOneDefaultMaterial) {
    const fw_MeshVertex v[3] = {};
    const uint32_t i[3] = {0, 1, 2};
    fw_Mesh mesh(i, 3, v, 3, nullptr);
    ASSERT_EQ(mesh.mMaterials.size(), 1u);
    EXPECT_EQ(mesh.mMaterials[0]->mName, "Default");
    EXPECT_TRUE(mesh.mName.empty());
}

TEST_F(MeshTest, UniqueVerticesCompareAllBytes) {
    auto mesh = Parsed("");
    fw_MeshVertex a = {};
    fw_MeshVertex b = {};
    b.normal[0] = -0.0f;
    EXPECT_EQ(mesh->AddUniqueVertex(3, a), 0u);
    EXPECT_EQ(mesh->AddUniqueVertex(3, a), 0u);
    EXPECT_EQ(mesh->AddUniqueVertex(3, b), 1u);  // -0.0 differs from 0.0
    EXPECT_EQ(mesh->AddUniqueVertex(0, a), 2u);  // another position never shares
    EXPECT_FALSE(mesh->mVertexHash.empty());
    mesh->ClearVertexHash();
    EXPECT_TRUE(mesh->mVertexHash.empty());
}

TEST_F(MeshTest, UniqueVerticesSurviveTheHashGrowing) {
    auto mesh = Parsed("");
    const fw_MeshVertex v = {};
    for (int pass = 0; pass < 2; ++pass)
        for (uint32_t p = 0; p < 5000; ++p)
            ASSERT_EQ(mesh->AddUniqueVertex(p, v), p);  // equal bytes, other positions
    EXPECT_EQ(mesh->mVertices.size(), 5000u);
}

TEST_F(MeshTest, TextureNamesAsManyAsCanBeBound) {
    auto mesh = Parsed("usemtl m\n");
    std::string mtl = "newmtl m\n";
    for (size_t i = 0; i <= fw_Mesh::kMaxMaterialTextures; ++i)
        mtl += "map_Kd t" + std::to_string(i) + ".png\n";
    mesh->LoadMtlText(mtl);
    ASSERT_EQ(mesh->mMaterials[0]->mTextureNames.size(), fw_Mesh::kMaxMaterialTextures);
    EXPECT_EQ(mesh->mMaterials[0]->mTextureNames.back(), "t127.png");
}

TEST_F(MeshTest, MaterialLibraryWordByWordUntilAKnownMaterialThenStopsAtABadNumber) {
    auto mesh = Parsed(kCube);
    mesh->LoadMtlText(
        "Kd 9 9 9 newmtl red\n"  // "newmtl" is found among the words of the line
        "Ka 0.5 0.5 0.5\n"
        "newmtl unused newmtl blue\n"  // an unknown name: the rest of its line still counts
        "Kd 0 0 0.5\n"
        "newmtl red\nKs 1 x 1\nKa 0.1 0.1 0.1\n");  // reading ends at "x"
    const fw_Material& red = *mesh->mMaterials[0];
    const fw_Material& blue = *mesh->mMaterials[1];
    EXPECT_EQ(red.mAmbient[0], 0.5f);
    EXPECT_FLOAT_EQ(red.mDiffuse[0], 0.8f);  // the "Kd 9 9 9" before any material went nowhere
    EXPECT_EQ(red.mSpecular[0], 1.0f);
    EXPECT_EQ(blue.mDiffuse[2], 0.5f);
    EXPECT_EQ(blue.mDiffuse[0], 0.0f);
}

TEST_F(MeshTest, OnlyTheFirstLibraryIsReadAndTextureNamesStayAsWritten) {
    static std::vector<std::string> requested;
    requested.clear();
    GetMeshServices().findOrLoadTexture = [](const std::string& name) -> ID3D10ShaderResourceView* {
        requested.push_back(name);
        return nullptr;
    };
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "sub" / "m.obj") << "mtllib first.mtl\nmtllib second.mtl\nusemtl m\n"
                                         << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::ofstream(dir / "sub" / "first.mtl") << "newmtl m\nKd 1 0 0\nmap_Kd tex.png\nmap_Kd maps/b.png\n";
    std::ofstream(dir / "sub" / "second.mtl") << "newmtl m\nKd 0 1 0\nmap_Kd other.png\n";
    fw_Mesh mesh((dir / "sub").string(), "m.obj", nullptr);
    GetMeshServices().findOrLoadTexture = nullptr;
    ASSERT_EQ(mesh.mMaterials.size(), 1u);
    EXPECT_EQ(mesh.mMaterials[0]->mDiffuse[0], 1.0f);
    EXPECT_EQ(mesh.mMaterials[0]->mDiffuse[1], 0.0f);
    // The names go to the texture table as the library writes them, not under the mesh's folder.
    EXPECT_EQ(requested, (std::vector<std::string>{"tex.png", "maps/b.png"}));
    // One view per name, at the name's position, even when the table has none for it.
    EXPECT_EQ(mesh.mMaterials[0]->mTextureViews.size(), 2u);
}
