// Fuzzes the effect preprocessor alone: includes, macros, conditionals and #if arithmetic.
// The input up to its first NUL byte is the main file; what follows is the content of every
// file it includes.
#include <cstring>
#include <string>

#include "effect_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = size ? std::memchr(text, 0, size) : nullptr;
    const size_t mainSize = nul ? size_t(static_cast<const char*>(nul) - text) : size;
    const std::string include = nul ? std::string(text + mainSize + 1, size - mainSize - 1) : std::string();
    const d3dx10fx::IncludeOpener open = [&](bool, const std::string& name, const std::string&, std::string& content) {
        if (!nul || name.empty())
            return false;
        content = include;
        return true;
    };
    d3dx10fx::Preprocessed pre;
    std::string errors;
    const d3dx10fx::Defines defines = {{"FUZZ", "1"}, {"VALUE", "2.5"}};
    const bool ok = d3dx10fx::Preprocess("main.fx", std::string(text, mainSize), defines, open, pre, errors);
    if (ok)
        effect_fuzz::CheckLines(pre);
    effect_fuzz::CheckErrors(pre, ok, errors);
    return 0;
}
