// Reads the effect declarations out of preprocessed effect text: variables, uniform blocks,
// state blocks, techniques and the entry functions with their semantics.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <unordered_set>

#include "fx_core.h"

namespace d3dx10fx {

const Variable* EffectDesc::FindVariable(const std::string& name) const {
    const auto it = variableIndex.find(name);
    return it == variableIndex.end() ? nullptr : &variables[it->second];
}

const Function* EffectDesc::FindFunction(const std::string& name) const {
    const auto it = functionIndex.find(name);
    return it == functionIndex.end() ? nullptr : &functions[it->second];
}

uint32_t ValueStride(const VarType& type) {
    switch (type.kind) {
        case VarKind::Scalar:
            return 1;
        case VarKind::Vector:
            return 4;
        case VarKind::Matrix:
            return 16;
        case VarKind::Texture:
            return 0;
    }
    return 0;
}

uint32_t ValueWord(BaseType base, double value) {
    switch (base) {
        case BaseType::Float: {
            float f = float(value);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            return bits;
        }
        case BaseType::Bool:
            return value != 0;
        case BaseType::UInt:
            if (!(value > 0))
                return 0;
            return value >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(value);
        case BaseType::Int:
            if (std::isnan(value))
                return 0;
            return uint32_t(int32_t(std::clamp(value, -2147483648.0, 2147483647.0)));
    }
    return 0;
}

bool ParseVarType(const std::string& g, VarType& t) {
    t = VarType{};
    t.glsl = g;
    struct Scalar {
        const char* name;
        BaseType base;
    };
    static const Scalar scalars[] = {
        {"float", BaseType::Float}, {"int", BaseType::Int}, {"uint", BaseType::UInt}, {"bool", BaseType::Bool}};
    for (const auto& s : scalars)
        if (g == s.name) {
            t.kind = VarKind::Scalar;
            t.base = s.base;
            return true;
        }
    struct Vec {
        const char* prefix;
        BaseType base;
    };
    static const Vec vecs[] = {
        {"vec", BaseType::Float}, {"ivec", BaseType::Int}, {"uvec", BaseType::UInt}, {"bvec", BaseType::Bool}};
    for (const auto& v : vecs) {
        size_t n = std::strlen(v.prefix);
        if (g.size() == n + 1 && g.compare(0, n, v.prefix) == 0 && g[n] >= '2' && g[n] <= '4') {
            t.kind = VarKind::Vector;
            t.base = v.base;
            t.cols = g[n] - '0';
            return true;
        }
    }
    if (g == "mat2" || g == "mat3" || g == "mat4" || g == "mat2x2" || g == "mat3x3" || g == "mat4x4") {
        t.kind = VarKind::Matrix;
        t.rows = t.cols = g[3] - '0';
        return true;
    }
    struct Tex {
        const char* name;
        TextureKind kind;
        BaseType base;
    };
    static const Tex texs[] = {
        {"sampler2D", TextureKind::Tex2D, BaseType::Float},
        {"sampler3D", TextureKind::Tex3D, BaseType::Float},
        {"samplerCube", TextureKind::TexCube, BaseType::Float},
        {"sampler2DArray", TextureKind::Tex2DArray, BaseType::Float},
        {"sampler2DShadow", TextureKind::Tex2D, BaseType::Float},
        {"isampler2D", TextureKind::Tex2D, BaseType::Int},
        {"usampler2D", TextureKind::Tex2D, BaseType::UInt},
        {"isampler3D", TextureKind::Tex3D, BaseType::Int},
        {"usampler3D", TextureKind::Tex3D, BaseType::UInt},
    };
    for (const auto& x : texs)
        if (g == x.name) {
            t.kind = VarKind::Texture;
            t.texture = x.kind;
            t.base = x.base;
            return true;
        }
    return false;
}

namespace {

struct Token {
    std::string_view text;  // in the source text
    enum Kind : uint8_t { Ident, Number, Punct, End } kind = End;
};

// The tokens of a text, 8 bytes each (a token of `;` takes no more): the offset, and the length
// with the kind; lines are looked up from the offsets where they start.
class TokenList {
public:
    // Texts this large cannot be held: offsets take 32 bits, lengths 30.
    static constexpr size_t kMaxText = (size_t(1) << 30) - 1;

    explicit TokenList(const std::string& s);
    size_t size() const { return packed_.size(); }
    Token operator[](size_t i) const {
        const Packed& p = packed_[i];
        return {std::string_view(text_.data() + p.offset, p.lengthKind >> 2), Token::Kind(p.lengthKind & 3)};
    }
    // The 1-based line of a token.
    int Line(const Token& t) const {
        const auto offset = uint32_t(t.text.data() - text_.data());
        return int(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) - lineStarts_.begin());
    }

private:
    struct Packed {
        uint32_t offset;
        uint32_t lengthKind;  // length << 2 | kind
    };
    const std::string& text_;
    std::vector<Packed> packed_;  // ends with an End token at the end of the text
    std::vector<uint32_t> lineStarts_;
};

TokenList::TokenList(const std::string& s) : text_(s) {
    if (s.size() > kMaxText)
        return;
    auto add = [&](size_t begin, size_t end, Token::Kind kind) {
        packed_.push_back({uint32_t(begin), uint32_t((end - begin) << 2) | kind});
    };
    // At most a token a byte other than a blank or a line break: reserved, the tokens are not
    // copied as they grow.
    size_t blanks = 0, breaks = 0;
    for (const char c : s) {
        blanks += c == ' ';
        breaks += c == '\n';
    }
    packed_.reserve(s.size() - blanks - breaks + 1);
    lineStarts_.reserve(breaks + 1);
    lineStarts_.push_back(0);
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\n') {
            lineStarts_.push_back(uint32_t(++i));
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        const size_t begin = i;
        Token::Kind kind;
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_'))
                ++i;
            kind = Token::Ident;
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            while (i < s.size()) {
                char d = s[i];
                if (std::isalnum(static_cast<unsigned char>(d)) || d == '.' || d == '_')
                    ++i;
                else if ((d == '+' || d == '-') && (s[i - 1] == 'e' || s[i - 1] == 'E') &&
                         !(s.compare(begin, 2, "0x") == 0 || s.compare(begin, 2, "0X") == 0))
                    ++i;
                else
                    break;
            }
            kind = Token::Number;
        } else {
            ++i;
            kind = Token::Punct;
        }
        add(begin, i, kind);
    }
    add(s.size(), s.size(), Token::End);
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

void SplitSemantic(const std::string& sem, std::string& name, uint32_t& index) {
    std::string u = Upper(sem);
    size_t n = u.size();
    while (n > 0 && std::isdigit(static_cast<unsigned char>(u[n - 1])))
        --n;
    name = u.substr(0, n);
    index = n < u.size() ? uint32_t(std::strtoul(u.c_str() + n, nullptr, 10)) : 0;
}

// State value tables: names with or without their D3D10_ prefix.
struct Enumerant {
    const char* name;
    uint32_t value;
};
const Enumerant kBlend[] = {
    {"ZERO", 1},           {"ONE", 2},           {"SRC_COLOR", 3},        {"INV_SRC_COLOR", 4}, {"SRC_ALPHA", 5},
    {"INV_SRC_ALPHA", 6},  {"DEST_ALPHA", 7},    {"INV_DEST_ALPHA", 8},   {"DEST_COLOR", 9},    {"INV_DEST_COLOR", 10},
    {"SRC_ALPHA_SAT", 11}, {"BLEND_FACTOR", 14}, {"INV_BLEND_FACTOR", 15}};
const Enumerant kBlendOp[] = {{"ADD", 1}, {"SUBTRACT", 2}, {"REV_SUBTRACT", 3}, {"MIN", 4}, {"MAX", 5}};
const Enumerant kCompare[] = {{"NEVER", 1},   {"LESS", 2},      {"EQUAL", 3},         {"LESS_EQUAL", 4},
                              {"GREATER", 5}, {"NOT_EQUAL", 6}, {"GREATER_EQUAL", 7}, {"ALWAYS", 8}};
const Enumerant kStencilOp[] = {{"KEEP", 1},     {"ZERO", 2},   {"REPLACE", 3}, {"INCR_SAT", 4},
                                {"DECR_SAT", 5}, {"INVERT", 6}, {"INCR", 7},    {"DECR", 8}};
const Enumerant kFill[] = {{"WIREFRAME", 2}, {"SOLID", 3}};
const Enumerant kCull[] = {{"NONE", 1}, {"FRONT", 2}, {"BACK", 3}};
const Enumerant kWriteMask[] = {{"ZERO", 0}, {"ALL", 1}};
const Enumerant kAddress[] = {{"WRAP", 1}, {"MIRROR", 2}, {"CLAMP", 3}, {"BORDER", 4}, {"MIRROR_ONCE", 5}};
const Enumerant kFilter[] = {{"MIN_MAG_MIP_POINT", 0},
                             {"MIN_MAG_POINT_MIP_LINEAR", 0x1},
                             {"MIN_POINT_MAG_LINEAR_MIP_POINT", 0x4},
                             {"MIN_POINT_MAG_MIP_LINEAR", 0x5},
                             {"MIN_LINEAR_MAG_MIP_POINT", 0x10},
                             {"MIN_LINEAR_MAG_POINT_MIP_LINEAR", 0x11},
                             {"MIN_MAG_LINEAR_MIP_POINT", 0x14},
                             {"MIN_MAG_MIP_LINEAR", 0x15},
                             {"ANISOTROPIC", 0x55},
                             {"COMPARISON_MIN_MAG_MIP_POINT", 0x80},
                             {"COMPARISON_MIN_MAG_LINEAR_MIP_POINT", 0x94},
                             {"COMPARISON_MIN_MAG_MIP_LINEAR", 0x95},
                             {"COMPARISON_ANISOTROPIC", 0xD5}};
const Enumerant kBool[] = {{"FALSE", 0}, {"TRUE", 1}};

struct Assignment {
    std::string key;              // upper case
    int index = -1;               // [n] after the key
    size_t first = 0, count = 0;  // the tokens of the value
    int line = 1;
};

class Parser {
public:
    Parser(const Preprocessed& src, EffectDesc& desc, std::string& errors)
        : src_(src), desc_(desc), errors_(errors), toks_(src.text) {}

    bool Run() {
        desc_.files = src_.files;
        if (src_.text.size() > TokenList::kMaxText) {
            ErrorAt(1, "effect text larger than " + std::to_string(TokenList::kMaxText >> 20) + " MiB");
            errors_.Finish();
            return false;
        }
        CheckShape();
        while (Peek().kind != Token::End && !fatal_)
            TopLevel();
        if (!failed_)
            Check();
        errors_.Finish();
        return !failed_;
    }

private:
    const Preprocessed& src_;
    EffectDesc& desc_;
    ErrorList errors_;
    TokenList toks_;
    std::unordered_set<std::string> techniqueNames_, blockNames_;
    size_t pos_ = 0;
    bool failed_ = false;
    bool fatal_ = false;

    Token Peek(size_t ahead = 0) const {
        size_t i = std::min(pos_ + ahead, toks_.size() - 1);
        return toks_[i];
    }
    int Line(const Token& t) const { return toks_.Line(t); }
    Token Next() {
        const Token t = toks_[std::min(pos_, toks_.size() - 1)];
        if (pos_ < toks_.size() - 1)
            ++pos_;
        return t;
    }
    bool Is(const char* text, size_t ahead = 0) const {
        const Token t = Peek(ahead);
        return t.text == text && t.kind != Token::End;
    }

    void ErrorAt(int outLine, const std::string& msg) { ErrorAt(src_.Origin(outLine), msg); }
    void ErrorAt(const SourceLoc& l, const std::string& msg) {
        errors_.Add(src_.files[size_t(l.file)], l.line, msg);
        failed_ = true;
    }
    bool Expect(const char* text) {
        if (Is(text)) {
            Next();
            return true;
        }
        ErrorAt(Line(Peek()), std::string("expected '") + text + "' before '" + Quote(Peek().text) + "'");
        fatal_ = true;
        return false;
    }
    std::string ExpectIdent(const char* what) {
        if (Peek().kind == Token::Ident)
            return std::string(Next().text);
        ErrorAt(Line(Peek()), std::string("expected ") + what + " before '" + Quote(Peek().text) + "'");
        fatal_ = true;
        return {};
    }

    // The GL compiler recurses once for each level of an expression's tree and for each nested
    // bracket or statement: both are bounded here, so that no effect text overflows its stack.
    // An expression's length is the most operators on a path from its top to an operand: the
    // operators of a part (any punctuation but brackets, ',' and ';'; a two-character operator
    // counts twice) above the longest of the brackets it holds, plus one for each bracket. The
    // parts of a list between commas and the statements between semicolons count apart. Brackets
    // nest, and so do the statements that if, else, for, while, do and switch govern; an else
    // chain nests to its end. Code beyond either bound is read no further.
    void CheckShape() {
        struct Level {
            size_t operators = 0;   // of the current part
            size_t inner = 0;       // the longest bracket closed in the current part
            size_t longest = 0;     // the longest part so far
            size_t statements = 0;  // statements governing the current one, in a block
        };
        std::vector<Level> levels(1);
        size_t path = 0;  // operators and brackets of the current parts of the open levels
        size_t nesting = 0;
        auto endPart = [&](Level& l) {
            l.longest = std::max(l.longest, l.operators + l.inner);
            path -= l.operators;
            l.operators = l.inner = 0;
        };
        // Ends the statement of the innermost level, unless an else continues it.
        auto endStatement = [&](size_t next) {
            Level& l = levels.back();
            endPart(l);
            if (toks_[next].text != "else") {
                nesting -= l.statements;
                l.statements = 0;
            }
        };
        for (size_t i = 0; i + 1 < toks_.size(); ++i) {
            const Token t = toks_[i];
            const std::string_view x = t.text;
            if (t.kind == Token::Ident) {
                if (x == "if" || x == "else" || x == "for" || x == "while" || x == "do" || x == "switch") {
                    ++levels.back().statements;
                    ++nesting;
                }
            } else if (t.kind != Token::Punct) {
                continue;
            } else if (x == "(" || x == "[" || x == "{") {
                levels.emplace_back();
                ++path;
                ++nesting;
            } else if (x == ")" || x == "]" || x == "}") {
                if (levels.size() > 1) {
                    endPart(levels.back());
                    const size_t length = 1 + levels.back().longest;
                    path -= 1;
                    nesting -= 1 + levels.back().statements;
                    levels.pop_back();
                    levels.back().inner = std::max(levels.back().inner, length);
                }
                if (x == "}")
                    endStatement(i + 1);
            } else if (x == ";") {
                endStatement(i + 1);
            } else if (x == ",") {
                endPart(levels.back());
            } else {
                ++levels.back().operators;
                ++path;
            }
            if (nesting > kMaxCodeNesting) {
                ErrorAt(Line(t), "code nested more than " + std::to_string(kMaxCodeNesting) + " deep");
                fatal_ = true;
                return;
            }
            if (path + levels.back().inner > kMaxExpressionOperators) {
                ErrorAt(Line(t), "expression of more than " + std::to_string(kMaxExpressionOperators) + " operators");
                fatal_ = true;
                return;
            }
        }
    }

    // Index of the token that closes the bracket at `open`.
    size_t Matching(size_t open) {
        const std::string o(toks_[open].text);
        const std::string c = o == "(" ? ")" : o == "[" ? "]" : "}";
        int depth = 0;
        for (size_t i = open; i < toks_.size() - 1; ++i) {
            if (toks_[i].kind != Token::Punct)
                continue;
            if (toks_[i].text == o)
                ++depth;
            else if (toks_[i].text == c && --depth == 0)
                return i;
        }
        ErrorAt(Line(toks_[open]), "unbalanced '" + o + "'");
        fatal_ = true;
        return toks_.size() - 1;
    }

    std::string Text(size_t first, size_t last) const {  // tokens first..last inclusive
        const size_t begin = size_t(toks_[first].text.data() - src_.text.data());
        return src_.text.substr(begin,
                                size_t(toks_[last].text.data() + toks_[last].text.size() - toks_[first].text.data()));
    }

    void AddText(size_t first, size_t last) {
        Item it;
        it.kind = Item::Text;
        it.text = Text(first, last);
        it.loc = src_.Origin(Line(toks_[first]));
        desc_.items.push_back(it);
    }

    void TopLevel() {
        const Token& t = Peek();
        if (t.kind == Token::Punct && t.text == ";") {
            Next();
            return;
        }
        if (t.kind == Token::Ident) {
            const std::string_view w = t.text;
            if (w == "sampler_state" || w == "blend_state" || w == "depth_stencil_state" || w == "rasterizer_state")
                return StateBlockDecl();
            if (w == "technique" || w == "technique10")
                return TechniqueDecl();
            if (w == "uniform" || w == "cbuffer")
                return UniformDecl();
        }
        OtherDecl();
    }

    std::vector<Assignment> Assignments() {
        std::vector<Assignment> out;
        while (!Is("}") && Peek().kind != Token::End && !fatal_) {
            Assignment a;
            a.line = Line(Peek());
            a.key = Upper(ExpectIdent("a state name"));
            if (Is("[")) {
                Next();
                if (Peek().kind != Token::Number) {
                    ErrorAt(Line(Peek()), "expected an index");
                    fatal_ = true;
                    break;
                }
                // Past any real index: an index too large for an int stays out of range.
                a.index = int(std::min(std::strtoull(std::string(Next().text).c_str(), nullptr, 0), 1ull << 30));
                Expect("]");
            }
            if (!Expect("="))
                break;
            a.first = pos_;
            while (!Is(";") && !Is("}") && Peek().kind != Token::End)
                Next();
            a.count = pos_ - a.first;
            Expect(";");
            out.push_back(a);
        }
        return out;
    }

    bool Enum(const Assignment& a, const Enumerant* table, size_t n, const char* prefix, uint32_t& out) {
        const Token v0 = toks_[a.first];
        if (a.count == 1 && v0.kind == Token::Number) {
            errno = 0;
            const unsigned long long v = std::strtoull(std::string(v0.text).c_str(), nullptr, 0);
            if (errno == ERANGE || v > 0xFFFFFFFFull) {
                ErrorAt(a.line, "value of " + Quote(a.key) + " out of range");
                return false;
            }
            out = uint32_t(v);
            return true;
        }
        std::string v = a.count == 1 ? Upper(std::string(v0.text)) : std::string();
        std::string p = std::string("D3D10_") + prefix;
        if (v.compare(0, p.size(), p) == 0)
            v = v.substr(p.size());
        for (size_t i = 0; i < n; ++i)
            if (v == table[i].name) {
                out = table[i].value;
                return true;
            }
        ErrorAt(a.line, "bad value for " + Quote(a.key));
        return false;
    }
    template <size_t N>
    bool Enum(const Assignment& a, const Enumerant (&table)[N], const char* prefix, uint32_t& out) {
        return Enum(a, table, N, prefix, out);
    }

    // The numbers of `count` tokens from `first`.
    bool Numbers(size_t first, size_t count, std::vector<double>& out, int line) {
        out.clear();
        double sign = 1;
        for (size_t i = first; i < first + count; ++i) {
            const Token t = toks_[i];
            if (t.kind == Token::Number) {
                const std::string s(t.text);
                double v;
                if (s.size() > 2 && (s[1] == 'x' || s[1] == 'X'))
                    v = double(std::strtoull(s.c_str(), nullptr, 16));
                else
                    v = std::strtod(s.c_str(), nullptr);
                out.push_back(sign * v);
                sign = 1;
            } else if (t.text == "-")
                sign = -sign;
            else if (t.text == "true" || t.text == "TRUE")
                out.push_back(1);
            else if (t.text == "false" || t.text == "FALSE")
                out.push_back(0);
            else if (t.kind == Token::Punct && (t.text == "(" || t.text == ")" || t.text == "," || t.text == "{" ||
                                                t.text == "}" || t.text == "+" || t.text == "[" || t.text == "]"))
                continue;
            else if (t.kind == Token::Ident)
                continue;  // constructor names
            else {
                ErrorAt(line, "expected a number, found '" + Quote(t.text) + "'");
                return false;
            }
        }
        return true;
    }
    bool Number(const Assignment& a, double& v) {
        std::vector<double> n;
        if (!Numbers(a.first, a.count, n, a.line))
            return false;
        if (n.size() != 1) {
            ErrorAt(a.line, "expected one number for " + Quote(a.key));
            return false;
        }
        v = n[0];
        return true;
    }
    // A number held by an integer state: truncated toward zero, refused outside the state's type.
    template <typename T>
    bool Integer(const Assignment& a, T& out) {
        double v;
        if (!Number(a, v))
            return false;
        if (!(v > double(std::numeric_limits<T>::min()) - 1 && v < double(std::numeric_limits<T>::max()) + 1)) {
            ErrorAt(a.line, "value of " + Quote(a.key) + " out of range");
            return false;
        }
        out = T(v);
        return true;
    }
    bool Float4(const Assignment& a, float* out) {
        std::vector<double> n;
        if (!Numbers(a.first, a.count, n, a.line))
            return false;
        if (n.size() != 4) {
            ErrorAt(a.line, "expected four numbers for " + Quote(a.key));
            return false;
        }
        for (int i = 0; i < 4; ++i)
            out[i] = float(n[size_t(i)]);
        return true;
    }
    bool Bool(const Assignment& a, uint32_t& out) { return Enum(a, kBool, "", out); }

    void StateBlockDecl() {
        const std::string kind(Next().text);
        int line = Line(Peek());
        std::string name = ExpectIdent("a state name");
        if (!Expect("{"))
            return;
        std::vector<Assignment> as = Assignments();
        Expect("}");
        if (Is(";"))
            Next();
        if (fatal_)
            return;
        bool dup = desc_.samplers.count(name) || desc_.blendStates.count(name) || desc_.depthStates.count(name) ||
                   desc_.rasterizerStates.count(name);
        if (dup)
            ErrorAt(line, "redefinition of state '" + Quote(name) + "'");
        if (name == "NULL")
            ErrorAt(line, "'NULL' is no state name");
        if (kind == "sampler_state") {
            SamplerState s;
            for (const auto& a : as) {
                double d;
                if (a.key == "FILTER")
                    Enum(a, kFilter, "FILTER_", s.Filter);
                else if (a.key == "ADDRESSU")
                    Enum(a, kAddress, "TEXTURE_ADDRESS_", s.AddressU);
                else if (a.key == "ADDRESSV")
                    Enum(a, kAddress, "TEXTURE_ADDRESS_", s.AddressV);
                else if (a.key == "ADDRESSW")
                    Enum(a, kAddress, "TEXTURE_ADDRESS_", s.AddressW);
                else if (a.key == "MIPLODBIAS") {
                    if (Number(a, d))
                        s.MipLODBias = float(d);
                } else if (a.key == "MAXANISOTROPY")
                    Integer(a, s.MaxAnisotropy);
                else if (a.key == "COMPARISONFUNC")
                    Enum(a, kCompare, "COMPARISON_", s.ComparisonFunc);
                else if (a.key == "BORDERCOLOR")
                    Float4(a, s.BorderColor);
                else if (a.key == "MINLOD") {
                    if (Number(a, d))
                        s.MinLOD = float(d);
                } else if (a.key == "MAXLOD") {
                    if (Number(a, d))
                        s.MaxLOD = float(d);
                } else
                    ErrorAt(a.line, "unknown sampler state '" + Quote(a.key) + "'");
            }
            desc_.samplers[name] = s;
        } else if (kind == "blend_state") {
            BlendState s;
            for (const auto& a : as) {
                uint32_t v = 0;
                if (a.key == "BLENDENABLE" || a.key == "RENDERTARGETWRITEMASK") {
                    if (a.index >= 8) {
                        ErrorAt(a.line, "render target index out of range");
                        continue;
                    }
                    if (a.key == "BLENDENABLE" ? !Bool(a, v) : !Enum(a, nullptr, 0, "", v))
                        continue;
                    uint32_t* arr = a.key == "BLENDENABLE" ? s.BlendEnable : s.RenderTargetWriteMask;
                    if (a.index < 0)
                        for (int i = 0; i < 8; ++i)
                            arr[i] = v;
                    else
                        arr[a.index] = v;
                } else if (a.key == "ALPHATOCOVERAGEENABLE")
                    Bool(a, s.AlphaToCoverageEnable);
                else if (a.key == "SRCBLEND")
                    Enum(a, kBlend, "BLEND_", s.SrcBlend);
                else if (a.key == "DESTBLEND")
                    Enum(a, kBlend, "BLEND_", s.DestBlend);
                else if (a.key == "BLENDOP")
                    Enum(a, kBlendOp, "BLEND_OP_", s.BlendOp);
                else if (a.key == "SRCBLENDALPHA")
                    Enum(a, kBlend, "BLEND_", s.SrcBlendAlpha);
                else if (a.key == "DESTBLENDALPHA")
                    Enum(a, kBlend, "BLEND_", s.DestBlendAlpha);
                else if (a.key == "BLENDOPALPHA")
                    Enum(a, kBlendOp, "BLEND_OP_", s.BlendOpAlpha);
                else
                    ErrorAt(a.line, "unknown blend state '" + Quote(a.key) + "'");
            }
            desc_.blendStates[name] = s;
        } else if (kind == "depth_stencil_state") {
            DepthStencilState s;
            for (const auto& a : as) {
                if (a.key == "DEPTHENABLE")
                    Bool(a, s.DepthEnable);
                else if (a.key == "DEPTHWRITEMASK")
                    Enum(a, kWriteMask, "DEPTH_WRITE_MASK_", s.DepthWriteMask);
                else if (a.key == "DEPTHFUNC")
                    Enum(a, kCompare, "COMPARISON_", s.DepthFunc);
                else if (a.key == "STENCILENABLE")
                    Bool(a, s.StencilEnable);
                else if (a.key == "STENCILREADMASK")
                    Integer(a, s.StencilReadMask);
                else if (a.key == "STENCILWRITEMASK")
                    Integer(a, s.StencilWriteMask);
                else if (a.key == "FRONTFACESTENCILFAIL")
                    Enum(a, kStencilOp, "STENCIL_OP_", s.FrontFace.StencilFailOp);
                else if (a.key == "FRONTFACESTENCILDEPTHFAIL")
                    Enum(a, kStencilOp, "STENCIL_OP_", s.FrontFace.StencilDepthFailOp);
                else if (a.key == "FRONTFACESTENCILPASS")
                    Enum(a, kStencilOp, "STENCIL_OP_", s.FrontFace.StencilPassOp);
                else if (a.key == "FRONTFACESTENCILFUNC")
                    Enum(a, kCompare, "COMPARISON_", s.FrontFace.StencilFunc);
                else if (a.key == "BACKFACESTENCILFAIL")
                    Enum(a, kStencilOp, "STENCIL_OP_", s.BackFace.StencilFailOp);
                else if (a.key == "BACKFACESTENCILDEPTHFAIL")
                    Enum(a, kStencilOp, "STENCIL_OP_", s.BackFace.StencilDepthFailOp);
                else if (a.key == "BACKFACESTENCILPASS")
                    Enum(a, kStencilOp, "STENCIL_OP_", s.BackFace.StencilPassOp);
                else if (a.key == "BACKFACESTENCILFUNC")
                    Enum(a, kCompare, "COMPARISON_", s.BackFace.StencilFunc);
                else
                    ErrorAt(a.line, "unknown depth-stencil state '" + Quote(a.key) + "'");
            }
            desc_.depthStates[name] = s;
        } else {
            RasterizerState s;
            for (const auto& a : as) {
                double d;
                if (a.key == "FILLMODE")
                    Enum(a, kFill, "FILL_", s.FillMode);
                else if (a.key == "CULLMODE")
                    Enum(a, kCull, "CULL_", s.CullMode);
                else if (a.key == "FRONTCOUNTERCLOCKWISE")
                    Bool(a, s.FrontCounterClockwise);
                else if (a.key == "DEPTHBIAS")
                    Integer(a, s.DepthBias);
                else if (a.key == "DEPTHBIASCLAMP") {
                    if (Number(a, d))
                        s.DepthBiasClamp = float(d);
                } else if (a.key == "SLOPESCALEDDEPTHBIAS") {
                    if (Number(a, d))
                        s.SlopeScaledDepthBias = float(d);
                } else if (a.key == "DEPTHCLIPENABLE")
                    Bool(a, s.DepthClipEnable);
                else if (a.key == "SCISSORENABLE")
                    Bool(a, s.ScissorEnable);
                else if (a.key == "MULTISAMPLEENABLE")
                    Bool(a, s.MultisampleEnable);
                else if (a.key == "ANTIALIASEDLINEENABLE")
                    Bool(a, s.AntialiasedLineEnable);
                else
                    ErrorAt(a.line, "unknown rasterizer state '" + Quote(a.key) + "'");
            }
            desc_.rasterizerStates[name] = s;
        }
    }

    void TechniqueDecl() {
        Next();
        Technique t;
        t.loc = src_.Origin(Line(Peek()));
        t.name = ExpectIdent("a technique name");
        if (!Expect("{"))
            return;
        std::unordered_set<std::string> passNames;
        while (Is("pass") && !fatal_) {
            Next();
            Pass p;
            p.loc = src_.Origin(Line(Peek()));
            p.name = ExpectIdent("a pass name");
            if (!Expect("{"))
                return;
            for (const auto& a : Assignments()) {
                const Token v0 = toks_[a.first];
                std::string v = a.count == 1 && v0.kind == Token::Ident ? std::string(v0.text) : std::string();
                auto need = [&](std::string& dst) {
                    if (v.empty())
                        ErrorAt(a.line, "expected a name for " + Quote(a.key));
                    dst = v;
                };
                if (a.key == "VERTEXSHADER")
                    need(p.vertexShader);
                else if (a.key == "PIXELSHADER" || a.key == "FRAGMENTSHADER")
                    need(p.pixelShader);
                else if (a.key == "BLENDSTATE")
                    need(p.blendState);
                else if (a.key == "DEPTHSTENCILSTATE")
                    need(p.depthStencilState);
                else if (a.key == "RASTERIZERSTATE")
                    need(p.rasterizerState);
                else if (a.key == "BLENDFACTOR")
                    Float4(a, p.blendFactor);
                else if (a.key == "SAMPLEMASK")
                    Integer(a, p.sampleMask);
                else if (a.key == "STENCILREF")
                    Integer(a, p.stencilRef);
                else
                    ErrorAt(a.line, "unknown pass setting '" + Quote(a.key) + "'");
            }
            Expect("}");
            if (Is(";"))
                Next();
            if (!passNames.insert(p.name).second)
                ErrorAt(p.loc, "pass '" + Quote(p.name) + "' defined twice");
            t.passes.push_back(p);
        }
        Expect("}");
        if (Is(";"))
            Next();
        if (!techniqueNames_.insert(t.name).second)
            ErrorAt(t.loc, "redefinition of technique '" + Quote(t.name) + "'");
        desc_.techniques.push_back(t);
    }

    void UniformDecl() {
        size_t first = pos_;
        bool isCbuffer = Next().text == "cbuffer";
        if (isCbuffer || (Peek().kind == Token::Ident && Is("{", 1))) {
            ConstantBuffer cb;
            cb.loc = src_.Origin(Line(Peek()));
            cb.name = ExpectIdent("a block name");
            if (!Is("{")) {
                Expect("{");
                return;
            }
            size_t open = pos_, close = Matching(open);
            cb.body = close > open + 1 ? Text(open + 1, close - 1) : std::string();
            pos_ = close + 1;
            if (Is(";"))
                Next();
            if (!blockNames_.insert(cb.name).second)
                ErrorAt(cb.loc, "redefinition of block '" + Quote(cb.name) + "'");
            Item it;
            it.kind = Item::CBuffer;
            it.index = int(desc_.constantBuffers.size());
            it.loc = cb.loc;
            desc_.constantBuffers.push_back(cb);
            desc_.items.push_back(it);
            return;
        }
        (void)first;
        Variable v;
        v.loc = src_.Origin(Line(Peek()));
        int line = Line(Peek());
        std::string type = ExpectIdent("a type");
        if (fatal_)
            return;
        if (!ParseVarType(type, v.type)) {
            ErrorAt(line, "'" + Quote(type) + "' is no variable type of an effect");
        }
        v.name = ExpectIdent("a variable name");
        if (Is("[")) {
            Next();
            if (Peek().kind != Token::Number) {
                ErrorAt(Line(Peek()), "array size must be a number");
                fatal_ = true;
                return;
            }
            long n = std::strtol(std::string(Next().text).c_str(), nullptr, 0);
            if (n <= 0 || n > 4096) {
                ErrorAt(line, "bad array size");
                n = 1;  // parsing goes on for further errors
            }
            v.elements = uint32_t(n);
            Expect("]");
        }
        size_t initFirst = 0, initCount = 0;
        if (Is("=")) {
            Next();
            initFirst = pos_;
            while (!Is(";") && !Is(":") && Peek().kind != Token::End)
                Next();
            initCount = pos_ - initFirst;
        }
        if (Is(":")) {
            Next();
            v.sampler = ExpectIdent("a sampler state name");
            if (v.type.kind != VarKind::Texture)
                ErrorAt(line, "only textures name a sampler state");
        }
        Expect(";");
        if (fatal_)
            return;
        if (initCount)
            Initialise(v, initFirst, initCount, line);
        if (const Variable* old = desc_.FindVariable(v.name))
            ErrorAt(line, "redefinition of variable '" + Quote(v.name) + "' (first at " +
                              desc_.files[size_t(old->loc.file)] + "(" + std::to_string(old->loc.line) + "))");
        Item it;
        it.kind = Item::Uniform;
        it.index = int(desc_.variables.size());
        it.loc = v.loc;
        desc_.variableIndex.emplace(v.name, desc_.variables.size());
        desc_.variables.push_back(v);
        desc_.items.push_back(it);
    }

    void Initialise(Variable& v, size_t initFirst, size_t initCount, int line) {
        if (v.type.kind == VarKind::Texture) {
            ErrorAt(line, "textures take no initial value");
            return;
        }
        std::vector<double> n;
        if (!Numbers(initFirst, initCount, n, line))
            return;
        uint32_t stride = ValueStride(v.type);
        uint32_t comps = v.type.kind == VarKind::Scalar   ? 1
                         : v.type.kind == VarKind::Vector ? uint32_t(v.type.cols)
                                                          : uint32_t(v.type.rows * v.type.cols);
        uint32_t count = v.Count();
        v.init.assign(size_t(stride) * count, 0);
        auto put = [&](uint32_t element, uint32_t comp, double value) {
            uint32_t word = element * stride;
            if (v.type.kind == VarKind::Matrix)
                word += (comp / uint32_t(v.type.cols)) * 4 + comp % uint32_t(v.type.cols);
            else
                word += comp;
            v.init[word] = ValueWord(v.type.base, value);
        };
        if (n.size() == 1 && count == 1 && comps > 1) {
            // vecN(x) fills every component, matN(x) the diagonal.
            for (uint32_t c = 0; c < comps; ++c)
                if (v.type.kind == VarKind::Vector || c / uint32_t(v.type.cols) == c % uint32_t(v.type.cols))
                    put(0, c, n[0]);
            return;
        }
        if (n.size() != size_t(comps) * count) {
            ErrorAt(line, "initial value of '" + Quote(v.name) + "' needs " + std::to_string(comps * count) +
                              " numbers, has " + std::to_string(n.size()));
            return;
        }
        for (size_t k = 0; k < n.size(); ++k)
            put(uint32_t(k / comps), uint32_t(k % comps), n[k]);
    }

    // A function definition, or any other declaration taken over as it is.
    void OtherDecl() {
        size_t first = pos_;
        // Look for "... name ( ... ) [: SEM] {" before a ';' at depth 0.
        for (size_t i = pos_; i < toks_.size() - 1; ++i) {
            const Token t = toks_[i];
            if (t.kind == Token::Punct && (t.text == ";" || t.text == "=" || t.text == "{")) {
                if (t.text == "{") {
                    // struct or block: take it with the declarators up to ';'
                    size_t close = Matching(i);
                    size_t j = close + 1;
                    while (j < toks_.size() - 1 && toks_[j].text != ";")
                        ++j;
                    if (j >= toks_.size() - 1) {
                        ErrorAt(Line(t), "expected ';' after block");
                        fatal_ = true;
                        return;
                    }
                    AddText(first, j);
                    pos_ = j + 1;
                    return;
                }
                break;
            }
            if (t.kind == Token::Punct && t.text == "(") {
                if (i == first || toks_[i - 1].kind != Token::Ident)
                    break;
                size_t close = Matching(i);
                if (fatal_)
                    return;
                size_t j = close + 1;
                std::string retSem;
                if (toks_[j].text == ":" && toks_[j + 1].kind == Token::Ident) {
                    retSem = toks_[j + 1].text;
                    j += 2;
                }
                if (toks_[j].text != "{")
                    break;  // a prototype or a call in an initialiser
                size_t bodyClose = Matching(j);
                if (fatal_)
                    return;
                FunctionDecl(first, i, close, retSem, j, bodyClose);
                pos_ = bodyClose + 1;
                return;
            }
        }
        // Plain declaration up to ';' (depth-aware).
        int depth = 0;
        size_t i = pos_;
        for (; i < toks_.size() - 1; ++i) {
            const std::string_view x = toks_[i].text;
            if (toks_[i].kind != Token::Punct)
                continue;
            if (x == "(" || x == "[" || x == "{")
                ++depth;
            else if (x == ")" || x == "]" || x == "}")
                --depth;
            else if (x == ";" && depth == 0)
                break;
        }
        if (i >= toks_.size() - 1) {
            ErrorAt(Line(toks_[first]), "expected ';' at the end of the file");
            fatal_ = true;
            return;
        }
        AddText(first, i);
        pos_ = i + 1;
    }

    void FunctionDecl(size_t first, size_t open, size_t close, const std::string& retSem, size_t bodyOpen,
                      size_t bodyClose) {
        Function f;
        f.name = toks_[open - 1].text;
        f.returnType = open >= first + 2 ? toks_[open - 2].text : "void";
        int line = Line(toks_[open]);
        if (!retSem.empty()) {
            SplitSemantic(retSem, f.returnSemantic, f.returnIndex);
            f.hasSemantics = true;
        }
        // Parameters, split at commas; the GLSL text drops the ": SEMANTIC" parts.
        std::string glslParams;
        size_t start = open + 1;
        std::vector<std::pair<size_t, size_t>> params;
        int depth = 0;
        for (size_t i = open + 1; i <= close; ++i) {
            const std::string_view x = toks_[i].text;
            if (i == close || (x == "," && depth == 0)) {
                if (i > start)
                    params.push_back({start, i - 1});
                start = i + 1;
                continue;
            }
            if (x == "(" || x == "[")
                ++depth;
            else if (x == ")" || x == "]")
                --depth;
        }
        bool anySem = !retSem.empty();
        for (auto [a, b] : params)
            for (size_t i = a; i <= b; ++i)
                if (toks_[i].text == ":")
                    anySem = true;
        for (size_t k = 0; k < params.size(); ++k) {
            auto [a, b] = params[k];
            size_t textEnd = b;
            Param p;
            for (size_t i = a; i <= b; ++i)
                if (toks_[i].text == ":") {
                    textEnd = i - 1;
                    if (i + 1 <= b && toks_[i + 1].kind == Token::Ident && i + 1 == b)
                        SplitSemantic(std::string(toks_[i + 1].text), p.semantic, p.index);
                    else
                        ErrorAt(line, "bad semantic in parameter " + std::to_string(k + 1) + " of " + Quote(f.name));
                    break;
                }
            if (k)
                glslParams += ", ";
            if (!anySem) {
                if (textEnd >= a)
                    glslParams += Text(a, textEnd);
                continue;
            }
            // Entry parameter: [in|out] [interpolation] type name. The interpolation belongs
            // to the stage's varying, not to the function's parameter.
            std::vector<std::string> words;
            std::string paramText;
            for (size_t i = a; i <= textEnd; ++i)
                words.emplace_back(toks_[i].text);
            for (const auto& w : words) {
                const bool qualifier = w == "flat" || w == "noperspective" || w == "smooth" || w == "centroid";
                if (w == "out")
                    p.out = true;
                else if (w == "inout")
                    ErrorAt(line, "entry parameters are in or out, not inout (" + Quote(f.name) + ")");
                else if (qualifier)
                    p.interpolation = w;
                if (!qualifier)
                    paramText += (paramText.empty() ? "" : " ") + w;
            }
            glslParams += paramText;
            if (words.size() < 2 || words.back() == "]") {
                ErrorAt(line, "entry parameters are 'type name : SEMANTIC' (" + Quote(f.name) + ")");
                continue;
            }
            p.name = words[words.size() - 1];
            p.type = words[words.size() - 2];
            if (p.semantic.empty())
                ErrorAt(line, "parameter '" + Quote(p.name) + "' of entry " + Quote(f.name) + " has no semantic");
            f.params.push_back(p);
        }
        f.hasSemantics = anySem;
        Item it;
        it.kind = Item::Func;
        it.index = int(desc_.functions.size());
        it.loc = src_.Origin(Line(toks_[first]));
        // The body keeps its lines: the head gets as many line breaks as it had.
        std::string head = Text(first, open) + glslParams + ")";
        auto breaks = [](const std::string& t) { return std::count(t.begin(), t.end(), '\n'); };
        long missing = long(breaks(Text(first, bodyOpen))) - long(breaks(head));
        head += missing > 0 ? std::string(size_t(missing), '\n') : std::string(" ");
        it.text = head + Text(bodyOpen, bodyClose);
        for (size_t i = bodyOpen; i <= bodyClose; ++i)
            if (toks_[i].kind == Token::Ident)
                it.idents.emplace_back(toks_[i].text);
        std::sort(it.idents.begin(), it.idents.end());
        it.idents.erase(std::unique(it.idents.begin(), it.idents.end()), it.idents.end());
        // Overloads share their name; entries must be unique.
        if (const Function* old = desc_.FindFunction(f.name))
            if (old->hasSemantics || f.hasSemantics)
                ErrorAt(line, "entry function '" + Quote(f.name) + "' is overloaded");
        desc_.functionIndex.emplace(f.name, desc_.functions.size());
        desc_.functions.push_back(f);
        desc_.items.push_back(it);
    }

    static bool IsSystem(const std::string& s) { return s.compare(0, 3, "SV_") == 0; }

    // Pixel entries with more inputs than kMaxPixelInputs: their pairs are not checked.
    std::unordered_set<const Function*> tooManyInputs_;

    void CheckEntry(const Pass& p, const std::string& name, bool vertex) {
        const Function* f = desc_.FindFunction(name);
        const char* stage = vertex ? "vertex" : "pixel";
        if (!f) {
            ErrorAt(p.loc, std::string(stage) + " shader '" + Quote(name) + "' of pass '" + Quote(p.name) +
                               "' does not exist");
            return;
        }
        if (!f->hasSemantics && !f->params.empty())
            ErrorAt(p.loc, "entry '" + Quote(name) + "' needs semantics on its parameters");
        if (!f->returnSemantic.empty() == (f->returnType == "void"))
            ErrorAt(p.loc, "entry '" + Quote(name) + "' returns a value exactly when it has a return semantic");
        bool position = f->returnSemantic == "SV_POSITION";
        auto check = [&](bool out, const std::string& sem) {
            if (!IsSystem(sem))
                return;
            bool ok = vertex ? (out ? sem == "SV_POSITION" || sem == "SV_CLIPDISTANCE"
                                    : (sem == "SV_VERTEXID" || sem == "SV_INSTANCEID"))
                             : (out ? (sem == "SV_TARGET" || sem == "SV_DEPTH")
                                    : (sem == "SV_POSITION" || sem == "SV_ISFRONTFACE" || sem == "SV_PRIMITIVEID"));
            if (!ok)
                ErrorAt(p.loc, "semantic " + Quote(sem) + (out ? " (out)" : " (in)") + " is not available in the " +
                                   stage + " shader '" + Quote(name) + "'");
        };
        if (!f->returnSemantic.empty())
            check(true, f->returnSemantic);
        if (f->returnSemantic == "SV_CLIPDISTANCE")
            ErrorAt(p.loc, "entry '" + Quote(name) + "' returns SV_ClipDistance; write it through an out parameter");
        for (const auto& prm : f->params) {
            check(prm.out, prm.semantic);
            if (vertex && prm.out && prm.semantic == "SV_CLIPDISTANCE") {
                VarType t;
                if (prm.index > 1 || !ParseVarType(prm.type, t) || t.base != BaseType::Float ||
                    (t.kind != VarKind::Scalar && t.kind != VarKind::Vector))
                    ErrorAt(p.loc,
                            "SV_ClipDistance of '" + Quote(name) + "' must be a float or float vector, index 0 or 1");
            }
            if (prm.out && prm.semantic == "SV_POSITION")
                position = true;
            if (vertex && !prm.out && !IsSystem(prm.semantic)) {
                VarType t;
                if (!ParseVarType(prm.type, t) || t.kind == VarKind::Texture || t.kind == VarKind::Matrix ||
                    t.base == BaseType::Bool)
                    ErrorAt(p.loc,
                            "vertex input '" + Quote(prm.name) + "' must be a float, int or uint scalar or vector");
            }
        }
        if (vertex && !position)
            ErrorAt(p.loc, "vertex shader '" + Quote(name) + "' writes no SV_Position");
        if (!vertex) {
            const size_t inputs = size_t(std::count_if(f->params.begin(), f->params.end(),
                                                       [](const Param& i) { return !i.out && !IsSystem(i.semantic); }));
            if (inputs > kMaxPixelInputs) {
                ErrorAt(p.loc, "pixel shader '" + Quote(name) + "' reads " + std::to_string(inputs) +
                                   " inputs, more than " + std::to_string(kMaxPixelInputs));
                tooManyInputs_.insert(f);
            }
        }
    }

    void Check() {
        std::set<std::pair<std::string, bool>> entriesChecked;
        std::set<std::pair<const Function*, const Function*>> pairsChecked;
        std::map<const Function*, std::map<std::pair<std::string, uint32_t>, const Param*>> outputs;
        for (const auto& v : desc_.variables)
            if (!v.sampler.empty() && !desc_.samplers.count(v.sampler))
                ErrorAt(v.loc, "sampler state '" + Quote(v.sampler) + "' of '" + Quote(v.name) + "' does not exist");
        for (const auto& t : desc_.techniques)
            for (const auto& p : t.passes) {
                if (p.vertexShader.empty() || p.pixelShader.empty()) {
                    ErrorAt(p.loc, "pass '" + Quote(p.name) + "' of technique '" + Quote(t.name) +
                                       "' needs a VertexShader and a PixelShader");
                    continue;
                }
                // Each entry, and each pair of entries, is checked once, at the first pass naming it.
                if (entriesChecked.insert({p.vertexShader, true}).second)
                    CheckEntry(p, p.vertexShader, true);
                if (entriesChecked.insert({p.pixelShader, false}).second)
                    CheckEntry(p, p.pixelShader, false);
                auto state = [&](const std::string& n, bool exists, const char* what) {
                    if (!n.empty() && n != "NULL" && !exists)
                        ErrorAt(p.loc, std::string(what) + " '" + Quote(n) + "' does not exist");
                };
                state(p.blendState, desc_.blendStates.count(p.blendState) != 0, "blend state");
                state(p.depthStencilState, desc_.depthStates.count(p.depthStencilState) != 0, "depth-stencil state");
                state(p.rasterizerState, desc_.rasterizerStates.count(p.rasterizerState) != 0, "rasterizer state");
                const Function* vs = desc_.FindFunction(p.vertexShader);
                const Function* ps = desc_.FindFunction(p.pixelShader);
                if (!vs || !ps || tooManyInputs_.count(ps) || !pairsChecked.insert({vs, ps}).second)
                    continue;
                auto [written, fresh] = outputs.try_emplace(vs);
                if (fresh)
                    for (const auto& o : vs->params)
                        if (o.out)
                            written->second[{o.semantic, o.index}] = &o;  // the last one counts
                for (const auto& in : ps->params) {
                    if (in.out || IsSystem(in.semantic))
                        continue;
                    const auto found = written->second.find({in.semantic, in.index});
                    const Param* src = found == written->second.end() ? nullptr : found->second;
                    if ((!src || src->type != in.type) && errors_.Full())
                        ErrorAt(p.loc, {});  // counted only
                    else if (!src)
                        ErrorAt(p.loc, "pixel shader input " + Quote(in.semantic) + std::to_string(in.index) +
                                           " is not written by vertex shader '" + Quote(vs->name) + "'");
                    else if (src->type != in.type)
                        ErrorAt(p.loc, "pixel shader input " + Quote(in.semantic) + std::to_string(in.index) + " is " +
                                           Quote(in.type) + " but the vertex shader writes " + Quote(src->type));
                }
            }
    }
};

}  // namespace

bool ParseEffect(const Preprocessed& source, EffectDesc& out, std::string& errors) {
    out = EffectDesc{};
    Parser p(source, out, errors);
    return p.Run();
}

bool CompileToPreprocessed(const std::string& fileName, const std::string& source, const Defines& defines,
                           const IncludeOpener& open, Preprocessed& out, EffectDesc& desc, std::string& errors) {
    if (!Preprocess(fileName, source, defines, open, out, errors))
        return false;
    return ParseEffect(out, desc, errors);
}

}  // namespace d3dx10fx
