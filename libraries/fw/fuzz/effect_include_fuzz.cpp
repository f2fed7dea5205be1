// Fuzzes the framework's effect loader (fw_Effect and its include handler) on the software
// device. The input up to its first NUL byte is the project effect "main.fx", what follows
// the text of the file its first #include names: written under the project root when that is a
// plain file name; any other name is read from wherever it leads (a folder, a device, the pipe
// "../../../pipe" that nobody writes).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <boost/filesystem.hpp>

#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"

namespace fs = boost::filesystem;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "effect loader: %s\n", what);
        std::abort();
    }
}

HMODULE SoftwareModule() {
    static int marker;
    return reinterpret_cast<HMODULE>(&marker);
}

struct Setting {
    Setting() {
        dir = fs::temp_directory_path() / fs::unique_path("zendra-effect-fuzz-%%%%%%");
        fs::create_directories(dir / "fw/src/shaders");
        fs::create_directories(dir / "project/src/shaders");
        Check(::mkfifo((dir / "pipe").c_str(), 0600) == 0, "cannot make the pipe");
        fw_Framework::mFrameworkRoot = (dir / "fw").string();
        fw_Framework::mProjectRoot = (dir / "project").string();
        fw_Log::SetAlertMode(fw_Log::kAlertsDropped);
        Check(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, SoftwareModule(), 0, D3D10_SDK_VERSION,
                                &fw_Framework::mDevice) == S_OK,
              "no software device");
    }
    ~Setting() {
        fw_Framework::mDevice->Release();
        fw_Framework::mDevice = nullptr;
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

// The name in the first `#include "name"` or `#include <name>` of the text, if any.
std::string FirstInclude(const std::string& text) {
    const size_t at = text.find("#include");
    if (at == std::string::npos)
        return {};
    size_t open = text.find_first_not_of(" \t", at + 8);
    if (open == std::string::npos || (text[open] != '"' && text[open] != '<'))
        return {};
    const size_t close = text.find(text[open] == '"' ? '"' : '>', open + 1);
    return close == std::string::npos ? std::string() : text.substr(open + 1, close - open - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting setting;
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = size ? std::memchr(text, 0, size) : nullptr;
    const size_t mainSize = nul ? size_t(static_cast<const char*>(nul) - text) : size;
    const std::string main(text, mainSize);
    const std::string include = nul ? std::string(text + mainSize + 1, size - mainSize - 1) : std::string();

    const fs::path shaders = setting.dir / "project/src/shaders";
    if (!Write(shaders / "main.fx", main))
        std::abort();
    fs::path written;
    const std::string name = FirstInclude(main);
    if (!name.empty() && name.size() < 200 && name.find('/') == std::string::npos &&
        name.find('\n') == std::string::npos && name != "." && name != ".." && name != "main.fx") {
        written = shaders / name;
        if (!Write(written, include))
            written.clear();
    }

    {
        fw_Effect effect("main.fx", nullptr);
        Check(effect.mPath == (shaders / "main.fx").string(), "the effect is compiled from the project root");
        D3D10_EFFECT_DESC desc = {};
        if (effect.IsValid()) {
            Check(effect.mEffect->GetDesc(&desc) == S_OK, "a compiled effect describes itself");
            for (UINT t = 0; t < desc.Techniques; ++t) {
                D3D10_TECHNIQUE_DESC technique = {};
                Check(effect.mEffect->GetTechniqueByIndex(t)->GetDesc(&technique) == S_OK,
                      "a technique describes itself");
                Check(effect.GetTechnique(technique.Name)->IsValid(), "a technique is found by its name");
            }
        }
        // Lookups of what the effect lacks give invalid objects, never null.
        Check(!effect.GetTechnique("\x01missing")->IsValid(), "an unknown technique is invalid");
        Check(!effect.GetVariable("\x01missing")->IsValid(), "an unknown variable is invalid");
        effect.SetFloat4("\x01missing", 1, 2, 3, 4);
    }
    if (!written.empty())
        fs::remove(written);
    return 0;
}
