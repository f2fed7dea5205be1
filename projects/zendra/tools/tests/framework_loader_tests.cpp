// The generated scene description and meshes through the framework's own readers.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "fw_DebugCamera.h"
#include "fw_Mesh.h"
#include "fw_Scene.h"

namespace fs = std::filesystem;

namespace {

TEST(FrameworkReaders, TheSceneLoaderFindsTheTransformsAndCameras) {
    // The loader reads "./data/" + name from the working directory, as the program does.
    fs::path previous = fs::current_path();
    fs::current_path(fs::path(ZENDRA_DATA_DIR).parent_path());
    fw_Scene scene("caleidoscope.xml");
    scene.LoadXml();
    fs::current_path(previous);
    ASSERT_NE(scene.GetTransforms(), nullptr);
    EXPECT_TRUE(scene.GetTransforms()->count("camera1"));
    EXPECT_TRUE(scene.GetTransforms()->count("orbit"));
    ASSERT_NE(scene.GetTracks(), nullptr);
    EXPECT_TRUE(scene.GetTracks()->count("camera1translateZ"));
    ASSERT_NE(scene.GetDebugCamera(), nullptr);
    EXPECT_GE(scene.GetDebugCamera()->GetCameras().size(), 1u);
    EXPECT_TRUE(scene.GetDebugCamera()->GetCameras().count("camera1"));
}

class FrameworkMeshes : public ::testing::TestWithParam<const char*> {};

TEST_P(FrameworkMeshes, EveryMeshReadsWithItsMaterials) {
    const char* files[] = {"diamond.obj",       "kuben.obj",    "romstasjon.obj", "sphere.obj", "crystal6.obj",
                           "smallCrystals.obj", "smallPyr.obj", "wireframe1.obj", "fucrr.obj"};
    for (const char* file : files) {
        fw_Mesh mesh(nullptr, 0, nullptr, 0, nullptr);  // no device: nothing is built on one
        mesh.ReleaseAll();
        fs::path dir = GetParam();
        ASSERT_TRUE(mesh.LoadObj((dir / file).string())) << file;
        ASSERT_EQ(mesh.mMaterialLibraries.size(), 1u) << file;
        mesh.LoadMtl((dir / mesh.mMaterialLibraries[0]).string());
        ASSERT_FALSE(mesh.mIndices.empty()) << file;
        EXPECT_EQ(mesh.mIndices.size() % 3, 0u) << file;
        EXPECT_EQ(mesh.mAttributes.size(), mesh.mIndices.size() / 3) << file;
        for (uint32_t a : mesh.mAttributes)
            ASSERT_LT(a, mesh.mMaterials.size()) << file;
        for (const fw_Material* m : mesh.mMaterials)
            EXPECT_GT(m->mDiffuse[0] + m->mDiffuse[1] + m->mDiffuse[2], 0.1f)
                << file << ": " << m->mName << " read from the library";
        for (const fw_MeshVertex& v : mesh.mVertices) {
            float n = v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] + v.normal[2] * v.normal[2];
            ASSERT_NEAR(n, 1.0f, 1e-3f) << file << ": every corner has a unit normal";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, FrameworkMeshes, ::testing::Values(ZENDRA_DATA_DIR, ZENDRA_TESTDATA_DIR));

}  // namespace
