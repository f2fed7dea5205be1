#pragma once
// What both effect harnesses do with preprocessed text: read the declarations and, when
// they are sound, generate the GLSL of every pass and map a compiler log through the
// line origins.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fx_core.h"

namespace effect_fuzz {

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "effect compiler: %s\n", what);
        std::abort();
    }
}

inline void Compile(const d3dx10fx::Preprocessed& pre) {
    using namespace d3dx10fx;
    size_t lines = 0;
    for (char c : pre.text) lines += c == '\n';
    Check(lines == pre.lines.size(), "one line origin per output line");
    for (const SourceLoc& loc : pre.lines)
        Check(loc.file >= 0 && size_t(loc.file) < pre.files.size(), "a line origin names no file");

    EffectDesc desc;
    std::string errors;
    if (!ParseEffect(pre, desc, errors)) {
        Check(!errors.empty(), "a refused effect must say why");
        return;
    }
    for (const Technique& technique : desc.techniques)
        for (const Pass& pass : technique.passes) {
            StageSource stages;
            std::string passErrors;
            if (!GeneratePass(desc, pass, stages, passErrors)) {
                Check(!passErrors.empty(), "a refused pass must say why");
                continue;
            }
            const std::string log = "0:1(2): error: x\n0:" + std::to_string(stages.fragmentLines.size() + 5) +
                                    "(1): warning: y\n0:0(0): z\n";
            (void)MapCompilerLog(log, desc.files, stages.fragmentLines);
            (void)MapCompilerLog(log, desc.files, stages.vertexLines);
        }
}

}  // namespace effect_fuzz
