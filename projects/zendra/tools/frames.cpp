// zendra_frames: draws the production at chosen rows on the software device and writes one
// PNG file a row. The show is stepped from row 0 in frames, as it runs.
//   zendra_frames [--root DIR] [--data DIR] [--size WxH] [--out DIR] ROW...
// --root: a folder laid out like the shipped one (default: the working directory);
// --data: another data folder (for instance the short test data set) in place of its own.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "frames_renderer.h"

namespace fs = boost::filesystem;

namespace {

int Usage(const char* self) {
    std::fprintf(stderr, "usage: %s [--root DIR] [--data DIR] [--size WxH] [--out DIR] ROW...\n", self);
    return 2;
}

// "1536" or "1536.5": the row, with the text kept for the file name.
bool ParseRow(const std::string& text, float& row) {
    char* end = nullptr;
    row = std::strtof(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && row >= 0.0f && row < 1e7f;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root = ".", data, out = ".";
    int width = 1280, height = 800;
    std::vector<std::pair<float, std::string>> rows;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--root" && hasValue) {
            root = argv[++i];
        } else if (arg == "--data" && hasValue) {
            data = argv[++i];
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 || width > 8192 ||
                height > 8192)
                return Usage(argv[0]);
        } else {
            float row = 0.0f;
            if (!ParseRow(arg, row))
                return Usage(argv[0]);
            rows.emplace_back(row, arg);
        }
    }
    if (rows.empty())
        return Usage(argv[0]);

    boost::system::error_code ec;
    const fs::path outDir = fs::absolute(out);
    fs::create_directories(outDir, ec);
    fs::path workDir = fs::absolute(root);
    fs::path scratch;
    if (!data.empty()) {
        // A folder of its own: the root's src beside the chosen data folder.
        scratch = fs::temp_directory_path() / fs::unique_path("zendra-frames-%%%%-%%%%");
        fs::create_directories(scratch);
        fs::create_directory_symlink(fs::absolute(workDir / "src"), scratch / "src", ec);
        if (!ec)
            fs::create_directory_symlink(fs::absolute(data), scratch / "data", ec);
        if (ec) {
            std::fprintf(stderr, "cannot prepare %s: %s\n", scratch.string().c_str(), ec.message().c_str());
            fs::remove_all(scratch, ec);
            return 1;
        }
        workDir = scratch;
    }
    if (::chdir(workDir.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", workDir.string().c_str());
        return 1;
    }

    int result = 0;
    {
        zendra_frames::ShowRenderer renderer;
        std::string error;
        if (!renderer.Open(width, height, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            result = 1;
        } else {
            std::stable_sort(rows.begin(), rows.end());
            for (const auto& [row, text] : rows) {
                renderer.RenderAt(row);
                const zendra_frames::Picture picture = renderer.ReadPicture();
                const std::string file = (outDir / ("row_" + text + ".png")).string();
                if (!zendra_frames::WritePng(picture, file)) {
                    std::fprintf(stderr, "cannot write %s\n", file.c_str());
                    result = 1;
                    continue;
                }
                std::printf("%s  brightness %.3f  lit %.3f  non-finite %zu\n", file.c_str(),
                            zendra_frames::MeanBrightness(picture), zendra_frames::LitShare(picture, 16),
                            renderer.CountNonFinite());
            }
        }
    }
    if (!scratch.empty())
        fs::remove_all(scratch, ec);
    return result;
}
