// Fuzzes the mesh reader (fw_Mesh::Read: the .obj file and the material library it names).
// The input up to its first NUL byte is the .obj text, what follows the .mtl text. Both are
// written to a private folder, the .mtl under the name of the first "mtllib" when that is a
// plain file name; any other name is read from wherever it leads (a folder, a device).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <boost/filesystem.hpp>

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Mesh.h"

namespace fs = boost::filesystem;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "mesh reader: %s\n", what);
        std::abort();
    }
}

struct Setting {
    Setting() {
        dir = fs::temp_directory_path() / fs::unique_path("zendra-mesh-fuzz-%%%%%%");
        fs::create_directories(dir);
        fw_Log::SetAlertMode(fw_Log::kAlertsDropped);  // warnings are counted, not shown
        fw_Framework::mDevice = nullptr;               // the build arrays stay to be inspected
    }
    ~Setting() {
        boost::system::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
};

bool Write(const fs::path& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting setting;
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = size ? std::memchr(text, 0, size) : nullptr;
    const size_t objSize = nul ? size_t(static_cast<const char*>(nul) - text) : size;
    const std::string obj(text, objSize);
    const std::string mtl = nul ? std::string(text + objSize + 1, size - objSize - 1) : std::string();

    if (!Write(setting.dir / "mesh.obj", obj))
        std::abort();
    fs::path library;
    {
        fw_Mesh names(nullptr, 0, nullptr, 0, nullptr);
        names.LoadObjText(obj);
        const std::string name = names.mMaterialLibraries.empty() ? std::string() : names.mMaterialLibraries[0];
        if (!name.empty() && name.size() < 200 && name.find('/') == std::string::npos && name != "." && name != ".." &&
            name != "mesh.obj") {
            library = setting.dir / name;
            if (!Write(library, mtl))
                library.clear();
        }
    }

    fw_Mesh mesh(nullptr, 0, nullptr, 0, nullptr);
    mesh.ReleaseAll();
    (void)mesh.Read(setting.dir.string(), "mesh.obj");
    if (!library.empty())
        fs::remove(library);

    // Whole triangles whose corners name built vertices, one material entry a triangle.
    Check(mesh.mIndices.size() % 3 == 0, "indices must form whole triangles");
    Check(mesh.mAttributes.size() == mesh.mIndices.size() / 3, "one attribute per triangle");
    for (uint32_t index : mesh.mIndices)
        Check(index < mesh.mVertices.size(), "an index names no vertex");
    for (uint32_t material : mesh.mAttributes)
        Check(material < mesh.mMaterials.size(), "a triangle names no material");
    Check(mesh.mVertexHash.empty(), "the vertex hash is given back after reading");
    Check(mesh.mMaterialLibraries.size() <= 1, "only the library that is loaded is kept");
    for (const fw_Material* m : mesh.mMaterials)
        Check(m->mTextureNames.size() <= fw_Mesh::kMaxMaterialTextures, "more texture names than can be bound");
    return 0;
}
