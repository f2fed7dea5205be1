// Fuzzes the .obj and .mtl readers (fw_Mesh::LoadObjText, LoadMtlText). The input up to
// its first NUL byte is the .obj text, what follows the .mtl text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw_Framework.h"
#include "fw_Mesh.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "mesh reader: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fw_Framework::mDevice = nullptr; // the build arrays stay to be inspected
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = size ? std::memchr(text, 0, size) : nullptr;
    const size_t objSize = nul ? size_t(static_cast<const char*>(nul) - text) : size;
    const std::string obj(text, objSize);
    const std::string mtl = nul ? std::string(text + objSize + 1, size - objSize - 1) : std::string();

    fw_Mesh mesh(nullptr, 0, nullptr, 0, nullptr);
    mesh.ReleaseAll();
    (void)mesh.LoadObjText(obj);
    mesh.ClearVertexHash();
    mesh.LoadMtlText(mtl);

    // Whole triangles whose corners name built vertices, one material entry a triangle.
    Check(mesh.mIndices.size() % 3 == 0, "indices must form whole triangles");
    Check(mesh.mAttributes.size() == mesh.mIndices.size() / 3, "one attribute per triangle");
    for (uint32_t index : mesh.mIndices) Check(index < mesh.mVertices.size(), "an index names no vertex");
    for (uint32_t material : mesh.mAttributes) Check(material < mesh.mMaterials.size(), "a triangle names no material");
    return 0;
}
