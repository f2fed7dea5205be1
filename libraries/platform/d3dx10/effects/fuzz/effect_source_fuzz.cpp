// Fuzzes the effect-file compiler without a device: preprocessing, the declarations and
// the GLSL of each pass. The input up to its first NUL byte is the main file; what follows
// is the content of every file it includes.
#include <cstring>
#include <string>

#include "effect_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = size ? std::memchr(text, 0, size) : nullptr;
    const size_t mainSize = nul ? size_t(static_cast<const char*>(nul) - text) : size;
    const std::string main(text, mainSize);
    const bool hasInclude = nul != nullptr;
    const std::string include = hasInclude ? std::string(text + mainSize + 1, size - mainSize - 1) : std::string();

    const d3dx10fx::IncludeOpener open = [&](bool, const std::string& name, const std::string&, std::string& content) {
        if (!hasInclude || name.empty())
            return false;
        content = include;
        return true;
    };
    d3dx10fx::Preprocessed pre;
    std::string errors;
    const d3dx10fx::Defines defines = {{"FUZZ", "1"}, {"VALUE", "2.5"}};
    if (!d3dx10fx::Preprocess("main.fx", main, defines, open, pre, errors)) {
        effect_fuzz::CheckErrors(pre, false, errors);
        return 0;
    }
    effect_fuzz::Compile(pre);

    // The compiled container holds what preprocessing gave, exactly.
    const std::vector<uint8_t> packed = d3dx10fx::WriteContainer(pre);
    d3dx10fx::Preprocessed back;
    std::string error;
    effect_fuzz::Check(d3dx10fx::ReadContainer(packed.data(), packed.size(), back, error),
                       "a written container must read back");
    effect_fuzz::Check(back.text == pre.text && back.files == pre.files && back.lines.size() == pre.lines.size(),
                       "a container round trip changed the text");
    return 0;
}
