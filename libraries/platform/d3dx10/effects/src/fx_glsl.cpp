// The GLSL of one pass: the effect's shared code, the functions its entries reach, the stage
// interface named after the semantics and a main() that calls the entry.

#include <cctype>
#include <cstring>
#include <set>
#include <string_view>
#include <unordered_map>

#include "fx_core.h"

namespace d3dx10fx {

namespace {

std::string VaryingName(const std::string& sem, uint32_t index) {
    return "zfx_v_" + sem + std::to_string(index);
}

bool IsIntegerType(const std::string& type) {
    VarType t;
    return ParseVarType(type, t) && (t.base == BaseType::Int || t.base == BaseType::UInt);
}

// Functions reachable from the entry (overloads of a name count together).
std::set<std::string> Reachable(const EffectDesc& d, const std::string& entry) {
    std::unordered_map<std::string_view, std::vector<const Item*>> bodies;  // of each function name
    for (const auto& it : d.items)
        if (it.kind == Item::Func)
            bodies[d.functions[size_t(it.index)].name].push_back(&it);
    std::set<std::string> seen{entry};
    std::vector<std::string_view> todo{entry};
    while (!todo.empty()) {
        const auto found = bodies.find(todo.back());
        todo.pop_back();
        if (found == bodies.end())
            continue;
        for (const Item* it : found->second)
            for (const auto& id : it->idents)
                if (bodies.count(id) && seen.insert(id).second)
                    todo.push_back(id);
    }
    return seen;
}

// Appends code and keeps the origin of every line (file -1: generated).
struct Writer {
    std::string& s;
    std::vector<SourceLoc>& lines;
    void Add(const std::string& text, SourceLoc loc) {
        s += text;
        s += '\n';
        for (char c : text) {
            if (c == '\n') {
                lines.push_back(loc);
                ++loc.line;
            }
        }
        lines.push_back(loc);
    }
    void Gen(const std::string& text) { Add(text, SourceLoc{-1, 0}); }
};

void Shared(const EffectDesc& d, const std::set<std::string>& reach, Writer& w) {
    for (const auto& it : d.items) {
        std::string text;
        switch (it.kind) {
            case Item::Text:
                text = it.text;
                break;
            case Item::Func:
                if (!reach.count(d.functions[size_t(it.index)].name))
                    continue;
                text = it.text;
                break;
            case Item::Uniform: {
                const Variable& v = d.variables[size_t(it.index)];
                text = "uniform " + v.type.glsl + " " + v.name;
                if (v.elements)
                    text += "[" + std::to_string(v.elements) + "]";
                text += ";";
                break;
            }
            case Item::CBuffer: {
                const ConstantBuffer& c = d.constantBuffers[size_t(it.index)];
                text = "layout(std140) uniform " + c.name + " {" + c.body + "};";
                break;
            }
        }
        w.Add(text, it.loc);
    }
}

const char* kPrologue = "#version 330 core";

}  // namespace

bool GeneratePass(const EffectDesc& d, const Pass& pass, StageSource& out, std::string& errors) {
    out = StageSource{};
    const Function* vs = d.FindFunction(pass.vertexShader);
    const Function* ps = d.FindFunction(pass.pixelShader);
    if (!vs || !ps) {
        errors += "pass '" + Quote(pass.name) + "' names a missing entry\n";
        return false;
    }
    // Vertex stage.
    Writer v{out.vertex, out.vertexLines};
    v.Gen(kPrologue);
    v.Gen("#define VERTEX_SHADER 1");
    Shared(d, Reachable(d, vs->name), v);
    std::string args, pre, locals, post;
    int location = 0;
    std::map<std::string, std::string> interp;  // varying -> qualifier, shared with the pixel stage
    for (const auto& p : vs->params) {
        if (!args.empty())
            args += ", ";
        if (p.out) {
            if (p.semantic == "SV_POSITION") {
                args += "gl_Position";
                continue;
            }
            if (p.semantic == "SV_CLIPDISTANCE") {
                // Direct3D clips by these without any state; the device enables as many.
                VarType t;
                ParseVarType(p.type, t);
                const uint32_t count = uint32_t(t.kind == VarKind::Vector ? t.cols : 1);
                const std::string name = "zfx_clip" + std::to_string(p.index);
                locals += "    " + p.type + " " + name + ";\n";
                for (uint32_t c = 0; c < count; ++c) {
                    const uint32_t slot = 4 * uint32_t(p.index) + c;
                    post += "\n    gl_ClipDistance[" + std::to_string(slot) + "] = " + name +
                            (count > 1 ? "[" + std::to_string(c) + "]" : std::string()) + ";";
                    out.clipDistances = std::max(out.clipDistances, slot + 1);
                }
                args += name;
                continue;
            }
            std::string name = VaryingName(p.semantic, p.index);
            std::string q = p.interpolation;
            if (q.empty() && IsIntegerType(p.type))
                q = "flat";
            interp[name] = q;
            v.Gen((q.empty() ? "" : q + " ") + "out " + p.type + " " + name + ";");
            args += name;
            continue;
        }
        if (p.semantic == "SV_VERTEXID") {
            args += p.type + "(gl_VertexID)";
            continue;
        }
        if (p.semantic == "SV_INSTANCEID") {
            args += p.type + "(gl_InstanceID)";
            continue;
        }
        std::string name = "zfx_in_" + p.semantic + std::to_string(p.index);
        v.Gen("in " + p.type + " " + name + ";");
        args += name;
        VarType t;
        ParseVarType(p.type, t);
        VertexInput in;
        in.semantic = p.semantic;
        in.index = p.index;
        in.location = location++;
        in.componentType = t.base == BaseType::Int ? 1 : t.base == BaseType::UInt ? 2 : 0;
        in.componentCount = uint32_t(t.kind == VarKind::Vector ? t.cols : 1);
        out.inputs.push_back(in);
    }
    if (vs->returnSemantic == "SV_POSITION")
        pre = "gl_Position = ";
    v.Gen("void main() {\n" + locals + "    " + pre + vs->name + "(" + args + ");" + post + "\n}");

    // Pixel stage.
    Writer f{out.fragment, out.fragmentLines};
    f.Gen(kPrologue);
    f.Gen("#define FRAGMENT_SHADER 1");
    Shared(d, Reachable(d, ps->name), f);
    args.clear();
    pre.clear();
    auto target = [&](uint32_t index, const std::string& type) {
        std::string name = "zfx_target" + std::to_string(index);
        f.Gen("layout(location = " + std::to_string(index) + ") out " + type + " " + name + ";");
        return name;
    };
    for (const auto& p : ps->params) {
        if (!args.empty())
            args += ", ";
        if (p.out) {
            if (p.semantic == "SV_DEPTH")
                args += "gl_FragDepth";
            else
                args += target(p.index, p.type);
            continue;
        }
        if (p.semantic == "SV_POSITION") {
            args += p.type + "(gl_FragCoord)";
            continue;
        }
        if (p.semantic == "SV_ISFRONTFACE") {
            args += p.type + "(gl_FrontFacing)";
            continue;
        }
        if (p.semantic == "SV_PRIMITIVEID") {
            args += p.type + "(gl_PrimitiveID)";
            continue;
        }
        std::string name = VaryingName(p.semantic, p.index);
        std::string q = interp.count(name) ? interp[name] : p.interpolation;
        f.Gen((q.empty() ? "" : q + " ") + "in " + p.type + " " + name + ";");
        args += name;
    }
    if (ps->returnType != "void") {
        if (ps->returnSemantic == "SV_DEPTH")
            pre = "gl_FragDepth = ";
        else
            pre = target(ps->returnIndex, ps->returnType) + " = ";
    }
    f.Gen("void main() {\n    " + pre + ps->name + "(" + args + ");\n}");
    return true;
}

bool GenerateAllPasses(const EffectDesc& d, std::vector<std::shared_ptr<const StageSource>>& passes,
                       std::string& errors) {
    passes.clear();
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const StageSource>> programs;  // by entries
    size_t bytes = 0;
    for (const auto& t : d.techniques)
        for (const auto& p : t.passes) {
            auto& program = programs[{p.vertexShader, p.pixelShader}];
            if (!program) {
                auto stages = std::make_shared<StageSource>();
                if (!GeneratePass(d, p, *stages, errors))
                    return false;
                bytes += stages->vertex.size() + stages->fragment.size();
                if (bytes > kMaxGeneratedBytes) {
                    errors += "the programs of the passes are larger than " + std::to_string(kMaxGeneratedBytes >> 20) +
                              " MiB together (at pass '" + Quote(p.name) + "' of technique '" + Quote(t.name) + "')\n";
                    return false;
                }
                program = std::move(stages);
            }
            passes.push_back(program);
        }
    return true;
}

std::string MapCompilerLog(const std::string& log, const std::vector<std::string>& files,
                           const std::vector<SourceLoc>& lines) {
    // Lines look like "0:14(7): error: ..." (source string 0, line 14, column 7).
    std::string out;
    size_t pos = 0;
    while (pos < log.size()) {
        size_t nl = log.find('\n', pos);
        if (nl == std::string::npos)
            nl = log.size();
        std::string line = log.substr(pos, nl - pos);
        pos = nl + 1;
        if (line.empty())
            continue;
        unsigned file = 0, ln = 0, col = 0;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%u:%u(%u): %n", &file, &ln, &col, &consumed) == 3 && consumed > 0 && ln >= 1 &&
            ln <= lines.size()) {
            SourceLoc at = lines[ln - 1];
            std::string where = at.file >= 0 && size_t(at.file) < files.size() ? files[size_t(at.file)]
                                                                               : std::string("(generated code)");
            out += where + "(" + std::to_string(at.file >= 0 ? at.line : int(ln)) + "," + std::to_string(col) +
                   "): " + line.substr(size_t(consumed));
        } else
            out += line;
        out += "\n";
    }
    return out;
}

// ---- Container ----
// "ZFXO", version, file names, line origins, text, then an FNV-1a hash of all bytes before it.

namespace {
constexpr uint32_t kMagic = 0x4F58465Au;  // "ZFXO"
constexpr uint32_t kVersion = 1;

uint64_t Fnv(const uint8_t* p, size_t n) {
    // The offset basis compiled effects were written with (not FNV's own): kept for them.
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
void PutString(std::vector<uint8_t>& b, const std::string& s) {
    Put32(b, uint32_t(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}
struct Reader {
    const uint8_t* p;
    size_t n, at = 0;
    bool ok = true;
    uint32_t U32() {
        if (n - at < 4) {
            ok = false;
            return 0;
        }
        uint32_t v = uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
        at += 4;
        return v;
    }
    // A string of at most `max` bytes.
    std::string Str(size_t max) {
        uint32_t len = U32();
        if (!ok || len > max || n - at < len) {
            ok = false;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(p + at), len);
        at += len;
        return s;
    }
};
}  // namespace

std::vector<uint8_t> WriteContainer(const Preprocessed& src) {
    std::vector<uint8_t> b;
    Put32(b, kMagic);
    Put32(b, kVersion);
    Put32(b, uint32_t(src.files.size()));
    for (const auto& f : src.files)
        PutString(b, f);
    Put32(b, uint32_t(src.lines.size()));
    for (const auto& l : src.lines) {
        Put32(b, uint32_t(l.file));
        Put32(b, uint32_t(l.line));
    }
    PutString(b, src.text);
    uint64_t h = Fnv(b.data(), b.size());
    Put32(b, uint32_t(h));
    Put32(b, uint32_t(h >> 32));
    return b;
}

uint64_t ContainerChecksum(const void* data, size_t size) {
    return Fnv(static_cast<const uint8_t*>(data), size);
}

bool IsContainer(const void* data, size_t size) {
    if (size < 4)
        return false;
    uint32_t m;
    std::memcpy(&m, data, 4);
    return m == kMagic;
}

bool ReadContainer(const void* data, size_t size, Preprocessed& out, std::string& error) {
    out = Preprocessed{};
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (!IsContainer(data, size) || size < 16) {
        error = "not a compiled effect";
        return false;
    }
    uint64_t stored = 0;
    std::memcpy(&stored, p + size - 8, 8);
    if (Fnv(p, size - 8) != stored) {
        error = "compiled effect is damaged (checksum mismatch)";
        return false;
    }
    Reader r{p, size - 8};
    r.U32();
    if (r.U32() != kVersion) {
        error = "compiled effect has an unknown version";
        return false;
    }
    // What preprocessing within its limits can give: as many files, a text as long, lines
    // numbered from 1 up to the output's length (each output line takes a byte of it).
    const PreprocessLimits limits;
    uint32_t nf = r.U32();
    if (nf > limits.files)
        r.ok = false;
    for (uint32_t i = 0; i < nf && r.ok; ++i) {
        out.files.push_back(r.Str(kMaxFileName));
        if (out.files.back().find('\n') != std::string::npos)  // no #include names one; errors quote it in a line
            r.ok = false;
    }
    uint32_t nl = r.U32();
    if (r.ok && ((r.n - r.at) / 8 < nl || nl >= limits.outputBytes))
        r.ok = false;
    if (r.ok)
        out.lines.reserve(nl);
    for (uint32_t i = 0; i < nl && r.ok; ++i) {
        const uint32_t file = r.U32(), line = r.U32();
        if (file >= out.files.size() || line < 1 || line >= limits.outputBytes)
            r.ok = false;
        out.lines.push_back({int(file), int(line)});
    }
    out.text = r.Str(limits.outputBytes - 1);
    if (!r.ok || r.at != r.n || out.files.empty()) {
        error = "compiled effect is truncated or malformed";
        return false;
    }
    size_t lines = 0;
    for (char c : out.text)
        lines += c == '\n';
    if (lines != out.lines.size()) {
        error = "compiled effect is malformed (line table)";
        return false;
    }
    return true;
}

}  // namespace d3dx10fx
