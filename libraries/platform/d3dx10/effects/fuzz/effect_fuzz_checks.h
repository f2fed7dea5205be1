#pragma once
// What the effect harnesses check: line origins and error lines of preprocessing; and with
// preprocessed text, read the declarations and, when they are sound, generate the GLSL of
// every pass and map a compiler log through the line origins. They run at the compiler's own
// limits (PreprocessLimits, kMaxGeneratedBytes).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>

#include "fx_core.h"

namespace effect_fuzz {

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "effect compiler: %s\n", what);
        std::abort();
    }
}

inline void CheckLines(const d3dx10fx::Preprocessed& pre) {
    size_t lines = 0;
    for (char c : pre.text)
        lines += c == '\n';
    Check(lines == pre.lines.size(), "one line origin per output line");
    for (const d3dx10fx::SourceLoc& loc : pre.lines)
        Check(loc.file >= 0 && size_t(loc.file) < pre.files.size(), "a line origin names no file");
}

// A compilation that failed says why; every error is a line "file(line): error: text" that
// names a file the compilation read.
inline void CheckErrors(const d3dx10fx::Preprocessed& pre, bool ok, const std::string& errors) {
    Check(ok || !errors.empty(), "a failed compilation must say why");
    const std::unordered_set<std::string_view> files(pre.files.begin(), pre.files.end());
    for (size_t at = 0, end; at < errors.size(); at = end + 1) {
        end = errors.find('\n', at);
        Check(end != std::string::npos, "an error must end its line");
        const std::string_view line(errors.data() + at, end - at);
        bool located = false;
        for (size_t mark = line.find("): error: "); mark != line.npos && !located;
             mark = line.find("): error: ", mark + 1)) {
            size_t open = mark;
            while (open > 0 && line[open - 1] >= '0' && line[open - 1] <= '9')
                --open;
            located = open < mark && open > 0 && line[open - 1] == '(' && files.count(line.substr(0, open - 1));
        }
        Check(located, "an error must name its file and line");
    }
}

inline void Compile(const d3dx10fx::Preprocessed& pre) {
    using namespace d3dx10fx;
    CheckLines(pre);

    EffectDesc desc;
    std::string errors;
    if (!ParseEffect(pre, desc, errors)) {
        CheckErrors(pre, false, errors);
        return;
    }
    // The programs of the passes, as an effect builds them.
    std::vector<std::shared_ptr<const StageSource>> programs;
    std::string passErrors;
    if (!GenerateAllPasses(desc, programs, passErrors)) {
        Check(!passErrors.empty(), "a refused pass must say why");
        return;
    }
    std::set<const StageSource*> mapped;
    for (const auto& stages : programs) {
        if (!mapped.insert(stages.get()).second)
            continue;
        const std::string log =
            "0:1(2): error: x\n0:" + std::to_string(stages->fragmentLines.size() + 5) + "(1): warning: y\n0:0(0): z\n";
        (void)MapCompilerLog(log, desc.files, stages->fragmentLines);
        (void)MapCompilerLog(log, desc.files, stages->vertexLines);
    }
}

}  // namespace effect_fuzz
