// d3dx10_fxpack: writes the compiled form of an effect file (preprocessed, includes inlined,
// declarations checked) for loading when the source is absent.
//
//   d3dx10_fxpack [-I dir]... [-D NAME[=VALUE]]... [-d depfile] -o output input

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "fx_core.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: d3dx10_fxpack [-I dir]... [-D NAME[=VALUE]]... [-d depfile] -o output input\n");
    return 2;
}

std::string Escape(const std::string& path) {
    std::string r;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '$' || c == '\\')
            r += '\\';
        r += c;
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> dirs;
    d3dx10fx::Defines defines;
    std::string output, input, depfile;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "-I")
            dirs.push_back(value());
        else if (a == "-o")
            output = value();
        else if (a == "-d")
            depfile = value();
        else if (a == "-D") {
            std::string d = value();
            size_t eq = d.find('=');
            defines.push_back({d.substr(0, eq), eq == std::string::npos ? "" : d.substr(eq + 1)});
        } else if (!a.empty() && a[0] == '-')
            return Usage();
        else if (input.empty())
            input = a;
        else
            return Usage();
    }
    if (input.empty() || output.empty())
        return Usage();
    std::string source, why;
    if (!d3dx10fx::ReadFile(input, source, &why)) {
        std::fprintf(stderr, "%s: error: %s\n", input.c_str(), why.c_str());
        return 1;
    }
    size_t slash = input.find_last_of('/');
    std::string inputDir = slash == std::string::npos ? std::string() : input.substr(0, slash + 1);
    std::set<std::string> used;
    d3dx10fx::IncludeOpener open = [&](bool, const std::string& name, const std::string&, std::string& content) {
        std::vector<std::string> candidates;
        for (const auto& d : dirs)
            candidates.push_back(d + "/" + name);
        candidates.push_back(inputDir + name);
        for (const auto& c : candidates)
            if (d3dx10fx::ReadFile(c, content)) {
                used.insert(c);
                return true;
            }
        return false;
    };
    d3dx10fx::Preprocessed pre;
    d3dx10fx::EffectDesc desc;
    std::string errors;
    // The container records the file by its name only, as the loader would see it.
    std::string shown = slash == std::string::npos ? input : input.substr(slash + 1);
    if (!d3dx10fx::CompileToPreprocessed(shown, source, defines, open, pre, desc, errors)) {
        std::fputs(errors.c_str(), stderr);
        return 1;
    }
    std::vector<uint8_t> bytes = d3dx10fx::WriteContainer(pre);
    std::string tmp = output + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!f) {
            std::fprintf(stderr, "%s: error: cannot write the file\n", tmp.c_str());
            std::remove(tmp.c_str());
            return 1;
        }
    }
    if (std::rename(tmp.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "%s: error: cannot write the file\n", output.c_str());
        std::remove(tmp.c_str());
        return 1;
    }
    if (!depfile.empty()) {
        std::ofstream d(depfile, std::ios::trunc);
        d << Escape(output) << ":";
        for (const auto& u : used)
            d << " " << Escape(u);
        d << "\n";
    }
    return 0;
}
