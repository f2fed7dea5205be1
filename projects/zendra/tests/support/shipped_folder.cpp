#include "support/shipped_folder.h"

namespace fs = boost::filesystem;

namespace zendratest {

fs::path MakeShippedFolder(const char* prefix) {
    const fs::path root = fs::temp_directory_path() / fs::unique_path(std::string(prefix) + "-%%%%-%%%%");
    fs::create_directories(root / "src" / "shaders");
    fs::create_directories(root / "data");
    const fs::path project = ZENDRA_PROJECT_DIR;
    for (const fs::path& dir :
         {project / "src" / "shaders", project / ".." / ".." / "libraries" / "fw" / "src" / "shaders"})
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            fs::copy_file(entry.path(), root / "src" / "shaders" / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
    for (const fs::directory_entry& entry : fs::directory_iterator(ZENDRA_DATA_DIR)) {
        const fs::path name = entry.path().filename();
        if (name == "fft.dat")
            fs::copy_file(entry.path(), root / "data" / name);
        else if (name != "temp" && name != "screenshots")
            fs::create_symlink(entry.path(), root / "data" / name);
    }
    return root;
}

}  // namespace zendratest
