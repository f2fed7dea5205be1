// The effect preprocessor: includes through the opener, object- and function-like macros,
// conditionals with integer expressions. Comments are removed; each output line records the
// file and line it came from.

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "fx_core.h"

namespace d3dx10fx {

SourceLoc Preprocessed::Origin(int outputLine) const {
    if (outputLine >= 1 && size_t(outputLine) <= lines.size())
        return lines[size_t(outputLine) - 1];
    return lines.empty() ? SourceLoc{} : lines.back();
}

namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

struct Macro {
    bool function = false;
    std::vector<std::string> params;
    std::string body;
};

struct Line {
    std::string text;
    int line;  // 1-based line in its file
};

// Joins continued lines and blanks out comments, keeping the line count.
bool SplitLines(const std::string& src, std::vector<Line>& out, std::string& err) {
    std::string cur;
    int lineNo = 1, startLine = 1;
    bool inBlock = false;
    size_t i = 0;
    int pad = 0;  // continued lines joined into the current one
    auto flush = [&]() {
        out.push_back({cur, startLine});
        for (int k = 1; k <= pad; ++k)
            out.push_back({"", startLine + k});
        pad = 0;
        cur.clear();
    };
    // At a line break: the logical line ends and the next starts on the next line.
    auto newLine = [&]() {
        flush();
        ++lineNo;
        startLine = lineNo;
    };
    while (i < src.size()) {
        char c = src[i];
        if (inBlock) {
            if (c == '*' && i + 1 < src.size() && src[i + 1] == '/') {
                inBlock = false;
                i += 2;
                cur += ' ';
                continue;
            }
            if (c == '\n') {
                // A block comment ends the logical line; later text keeps its own line number.
                newLine();
            }
            ++i;
            continue;
        }
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
            inBlock = true;
            i += 2;
            continue;
        }
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
            while (i < src.size() && src[i] != '\n')
                ++i;
            continue;
        }
        if (c == '\\' && i + 1 < src.size() &&
            (src[i + 1] == '\n' || (src[i + 1] == '\r' && i + 2 < src.size() && src[i + 2] == '\n'))) {
            i += src[i + 1] == '\r' ? 3 : 2;
            ++lineNo;
            ++pad;
            continue;
        }
        if (c == '\r') {
            ++i;
            continue;
        }
        if (c == '\n') {
            newLine();
            ++i;
            continue;
        }
        cur += c;
        ++i;
    }
    if (inBlock) {
        err = "unterminated comment";
        return false;
    }
    flush();
    return true;
}

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

class Preprocessor {
public:
    Preprocessor(const IncludeOpener& open, Preprocessed& out, std::string& errors)
        : open_(open), out_(out), errors_(errors) {}

    std::map<std::string, Macro> macros;

    bool Run(const std::string& name, const std::string& text) {
        ProcessFile(name, text, 0);
        return !failed_;
    }

private:
    const IncludeOpener& open_;
    Preprocessed& out_;
    std::string& errors_;
    bool failed_ = false;
    bool stopped_ = false;  // a limit was reached: nothing more is read
    std::set<std::string> once_;

    // Bounds on one compilation, so that a file that includes itself more than once, or
    // macros that double at each level, fail instead of growing without end.
    static constexpr size_t kMaxFiles = 256;
    static constexpr size_t kMaxOutput = size_t(4) << 20;
    static constexpr size_t kMaxExpansions = size_t(1) << 17;
    size_t expansions_ = 0;

    void Stop(const std::string& msg) {
        Error(msg);
        stopped_ = true;
    }
    int file_ = 0;
    int line_ = 0;

    void Error(const std::string& msg) {
        errors_ += out_.files[size_t(file_)] + "(" + std::to_string(line_) + "): error: " + msg + "\n";
        failed_ = true;
    }

    struct Cond {
        bool active;     // this branch emits
        bool taken;      // some branch of the group was taken
        bool parentActive;
        bool sawElse;
    };

    void ProcessFile(const std::string& name, const std::string& text, int depth) {
        int fileIndex = int(out_.files.size());
        out_.files.push_back(name);
        int savedFile = file_, savedLine = line_;
        file_ = fileIndex;
        std::vector<Line> lines;
        std::string err;
        if (!SplitLines(text, lines, err)) {
            line_ = lines.empty() ? 1 : lines.back().line;
            Error(err);
        }
        std::vector<Cond> conds;
        auto active = [&]() { return conds.empty() || conds.back().active; };
        for (const Line& l : lines) {
            if (stopped_)
                break;
            line_ = l.line;
            std::string t = Trim(l.text);
            if (!t.empty() && t[0] == '#') {
                std::string rest = Trim(t.substr(1));
                size_t n = 0;
                while (n < rest.size() && IsIdentChar(rest[n]))
                    ++n;
                std::string dir = rest.substr(0, n);
                std::string arg = Trim(rest.substr(n));
                if (dir == "if" || dir == "ifdef" || dir == "ifndef") {
                    bool parent = active();
                    bool v = false;
                    if (parent) {
                        if (dir == "if")
                            v = Evaluate(arg);
                        else {
                            std::string id = FirstIdent(arg);
                            if (id.empty())
                                Error("#" + dir + " needs a macro name");
                            v = macros.count(id) != 0;
                            if (dir == "ifndef")
                                v = !v;
                        }
                    }
                    conds.push_back({parent && v, parent && v, parent, false});
                } else if (dir == "elif") {
                    if (conds.empty() || conds.back().sawElse) {
                        Error("#elif without #if");
                        continue;
                    }
                    Cond& c = conds.back();
                    if (c.parentActive && !c.taken && Evaluate(arg)) {
                        c.active = true;
                        c.taken = true;
                    } else
                        c.active = false;
                } else if (dir == "else") {
                    if (conds.empty() || conds.back().sawElse) {
                        Error("#else without #if");
                        continue;
                    }
                    Cond& c = conds.back();
                    c.sawElse = true;
                    c.active = c.parentActive && !c.taken;
                    c.taken = true;
                } else if (dir == "endif") {
                    if (conds.empty())
                        Error("#endif without #if");
                    else
                        conds.pop_back();
                } else if (!active()) {
                    // skipped
                } else if (dir == "define") {
                    Define(arg);
                } else if (dir == "undef") {
                    macros.erase(FirstIdent(arg));
                } else if (dir == "include") {
                    Include(arg, text, depth);
                } else if (dir == "pragma") {
                    if (Trim(arg) == "once")
                        once_.insert(name);
                } else if (dir == "error") {
                    Error("#error " + arg);
                } else if (dir == "line" || dir.empty()) {
                    // ignored
                } else {
                    Error("unknown directive #" + dir);
                }
                Emit("", l.line);
                continue;
            }
            if (!active()) {
                Emit("", l.line);
                continue;
            }
            std::set<std::string> disabled;
            Emit(Expand(l.text, disabled), l.line);
        }
        if (!conds.empty()) {
            Error("unterminated #if");
        }
        file_ = savedFile;
        line_ = savedLine;
    }

    void Emit(const std::string& text, int line) {
        if (out_.text.size() + text.size() >= kMaxOutput) {
            Stop("preprocessed text larger than " + std::to_string(kMaxOutput >> 20) + " MiB");
            return;
        }
        out_.text += text;
        out_.text += '\n';
        out_.lines.push_back({file_, line});
    }

    static std::string FirstIdent(const std::string& s) {
        size_t i = 0;
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
        size_t b = i;
        if (i < s.size() && IsIdentStart(s[i]))
            while (i < s.size() && IsIdentChar(s[i]))
                ++i;
        return s.substr(b, i - b);
    }

    void Define(const std::string& arg) {
        size_t i = 0;
        if (arg.empty() || !IsIdentStart(arg[0])) {
            Error("#define needs a macro name");
            return;
        }
        while (i < arg.size() && IsIdentChar(arg[i]))
            ++i;
        std::string name = arg.substr(0, i);
        Macro m;
        if (i < arg.size() && arg[i] == '(') {
            m.function = true;
            size_t close = arg.find(')', i);
            if (close == std::string::npos) {
                Error("unterminated macro parameter list");
                return;
            }
            std::string params = arg.substr(i + 1, close - i - 1);
            size_t p = 0;
            while (p <= params.size()) {
                size_t c = params.find(',', p);
                if (c == std::string::npos)
                    c = params.size();
                std::string one = Trim(params.substr(p, c - p));
                if (!one.empty())
                    m.params.push_back(one);
                p = c + 1;
            }
            i = close + 1;
        }
        m.body = Trim(arg.substr(i));
        macros[name] = m;
    }

    void Include(const std::string& arg, const std::string& parentText, int depth) {
        std::string a = Trim(arg);
        if (a.size() < 2 || !((a.front() == '"' && a.back() == '"') || (a.front() == '<' && a.back() == '>'))) {
            Error("#include expects \"file\" or <file>");
            return;
        }
        bool system = a.front() == '<';
        std::string name = a.substr(1, a.size() - 2);
        if (once_.count(name))
            return;
        if (depth >= 32) {
            Error("includes nested too deeply at \"" + name + "\"");
            return;
        }
        if (out_.files.size() >= kMaxFiles) {
            Stop("more than " + std::to_string(kMaxFiles) + " files included");
            return;
        }
        std::string content;
        if (!open_ || !open_(system, name, parentText, content)) {
            Error("cannot open include file \"" + name + "\"");
            return;
        }
        // The included lines are emitted in place; this directive's own line stays blank.
        ProcessFile(name, content, depth + 1);
    }

    // Macro expansion of one line (function-like invocations must close on the same line).
    std::string Expand(const std::string& s, std::set<std::string>& disabled) {
        std::string r;
        size_t i = 0;
        while (i < s.size()) {
            if (stopped_)
                return r;
            if (r.size() >= kMaxOutput) {
                Stop("macro expansion larger than " + std::to_string(kMaxOutput >> 20) + " MiB");
                return r;
            }
            char c = s[i];
            if (IsIdentStart(c)) {
                size_t b = i;
                while (i < s.size() && IsIdentChar(s[i]))
                    ++i;
                std::string id = s.substr(b, i - b);
                auto it = macros.find(id);
                if (it == macros.end() || disabled.count(id)) {
                    r += id;
                    continue;
                }
                if (++expansions_ > kMaxExpansions) {
                    Stop("more than " + std::to_string(kMaxExpansions) + " macro expansions");
                    return r;
                }
                const Macro& m = it->second;
                if (!m.function) {
                    disabled.insert(id);
                    r += Expand(m.body, disabled);
                    disabled.erase(id);
                    continue;
                }
                size_t j = i;
                while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j])))
                    ++j;
                if (j >= s.size() || s[j] != '(') {
                    r += id;
                    continue;
                }
                std::vector<std::string> args;
                int depth = 0;
                std::string cur;
                size_t k = j + 1;
                bool closed = false;
                for (; k < s.size(); ++k) {
                    char d = s[k];
                    if (d == '(')
                        ++depth;
                    else if (d == ')') {
                        if (depth == 0) {
                            closed = true;
                            break;
                        }
                        --depth;
                    } else if (d == ',' && depth == 0) {
                        args.push_back(Trim(cur));
                        cur.clear();
                        continue;
                    }
                    cur += d;
                }
                if (!closed) {
                    Error("unterminated arguments of macro " + id);
                    return r;
                }
                if (!Trim(cur).empty() || !args.empty())
                    args.push_back(Trim(cur));
                if (args.size() != m.params.size()) {
                    Error("macro " + id + " takes " + std::to_string(m.params.size()) + " arguments");
                    return r;
                }
                // Arguments are expanded first, then substituted and the result rescanned.
                std::vector<std::string> expanded;
                for (auto& a : args)
                    expanded.push_back(Expand(a, disabled));
                std::string body;
                for (size_t p = 0; p < m.body.size();) {
                    if (IsIdentStart(m.body[p])) {
                        size_t q = p;
                        while (q < m.body.size() && IsIdentChar(m.body[q]))
                            ++q;
                        std::string w = m.body.substr(p, q - p);
                        size_t idx = 0;
                        for (; idx < m.params.size(); ++idx)
                            if (m.params[idx] == w)
                                break;
                        body += idx < m.params.size() ? expanded[idx] : w;
                        p = q;
                    } else
                        body += m.body[p++];
                }
                disabled.insert(id);
                r += Expand(body, disabled);
                disabled.erase(id);
                i = k + 1;
                continue;
            }
            if (std::isdigit(static_cast<unsigned char>(c))) {
                // Numbers such as 1e5f keep their letters.
                while (i < s.size() && (IsIdentChar(s[i]) || s[i] == '.'))
                    r += s[i++];
                continue;
            }
            r += c;
            ++i;
        }
        return r;
    }

    // #if expressions: integers, defined(), ! ~ - + * / % << >> < > <= >= == != & ^ | && || ?:
    bool Evaluate(const std::string& expr) {
        std::string pre;
        for (size_t i = 0; i < expr.size();) {
            if (IsIdentStart(expr[i])) {
                size_t b = i;
                while (i < expr.size() && IsIdentChar(expr[i]))
                    ++i;
                std::string id = expr.substr(b, i - b);
                if (id == "defined") {
                    while (i < expr.size() && std::isspace(static_cast<unsigned char>(expr[i])))
                        ++i;
                    bool paren = i < expr.size() && expr[i] == '(';
                    if (paren)
                        ++i;
                    std::string name = FirstIdent(expr.substr(i));
                    i = expr.find(name, i) + name.size();
                    if (paren) {
                        while (i < expr.size() && expr[i] != ')')
                            ++i;
                        ++i;
                    }
                    if (name.empty())
                        Error("defined needs a macro name");
                    pre += macros.count(name) ? " 1 " : " 0 ";
                } else
                    pre += id;
            } else
                pre += expr[i++];
        }
        std::set<std::string> disabled;
        exprText_ = Expand(pre, disabled);
        exprPos_ = 0;
        exprError_ = false;
        long long v = ParseTernary();
        SkipSpace();
        if (exprPos_ != exprText_.size() || exprError_) {
            Error("bad #if expression \"" + expr + "\"");
            return false;
        }
        return v != 0;
    }

    std::string exprText_;
    size_t exprPos_ = 0;
    bool exprError_ = false;

    void SkipSpace() {
        while (exprPos_ < exprText_.size() && std::isspace(static_cast<unsigned char>(exprText_[exprPos_])))
            ++exprPos_;
    }
    bool Accept(const char* op) {
        SkipSpace();
        size_t n = std::strlen(op);
        if (exprText_.compare(exprPos_, n, op) == 0) {
            // Do not take "<" out of "<<" or "<=", "&" out of "&&", and so on.
            if (n == 1 && exprPos_ + 1 < exprText_.size()) {
                char nx = exprText_[exprPos_ + 1];
                if ((op[0] == '<' || op[0] == '>') && (nx == op[0] || nx == '='))
                    return false;
                if ((op[0] == '&' || op[0] == '|') && nx == op[0])
                    return false;
                if ((op[0] == '!' || op[0] == '=') && nx == '=')
                    return false;
            }
            exprPos_ += n;
            return true;
        }
        return false;
    }
    long long ParseTernary() {
        long long c = ParseBinary(0);
        if (Accept("?")) {
            long long a = ParseTernary();
            if (!Accept(":"))
                exprError_ = true;
            long long b = ParseTernary();
            return c ? a : b;
        }
        return c;
    }
    long long ParseBinary(int level) {
        static const std::vector<std::vector<const char*>> ops = {
            {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"<<", ">>"}, {"+", "-"},
            {"*", "/", "%"}};
        if (level >= int(ops.size()))
            return ParseUnary();
        long long l = ParseBinary(level + 1);
        for (;;) {
            const char* found = nullptr;
            for (const char* op : ops[size_t(level)])
                if (Accept(op)) {
                    found = op;
                    break;
                }
            if (!found)
                return l;
            long long r = ParseBinary(level + 1);
            std::string o = found;
            if (o == "||") l = l || r;
            else if (o == "&&") l = l && r;
            else if (o == "|") l |= r;
            else if (o == "^") l ^= r;
            else if (o == "&") l &= r;
            else if (o == "==") l = l == r;
            else if (o == "!=") l = l != r;
            else if (o == "<=") l = l <= r;
            else if (o == ">=") l = l >= r;
            else if (o == "<") l = l < r;
            else if (o == ">") l = l > r;
            else if (o == "<<") l = r >= 0 && r < 63 ? l << r : 0;
            else if (o == ">>") l = r >= 0 && r < 63 ? l >> r : 0;
            else if (o == "+") l += r;
            else if (o == "-") l -= r;
            else if (o == "*") l *= r;
            else if (o == "/" || o == "%") {
                if (r == 0) {
                    exprError_ = true;
                    return 0;
                }
                l = o == "/" ? l / r : l % r;
            }
        }
    }
    long long ParseUnary() {
        if (Accept("!"))
            return !ParseUnary();
        if (Accept("~"))
            return ~ParseUnary();
        if (Accept("-"))
            return -ParseUnary();
        if (Accept("+"))
            return ParseUnary();
        if (Accept("(")) {
            long long v = ParseTernary();
            if (!Accept(")"))
                exprError_ = true;
            return v;
        }
        SkipSpace();
        if (exprPos_ < exprText_.size() && std::isdigit(static_cast<unsigned char>(exprText_[exprPos_]))) {
            char* end = nullptr;
            long long v = std::strtoll(exprText_.c_str() + exprPos_, &end, 0);
            exprPos_ = size_t(end - exprText_.c_str());
            while (exprPos_ < exprText_.size() && (exprText_[exprPos_] == 'u' || exprText_[exprPos_] == 'U' ||
                                                   exprText_[exprPos_] == 'l' || exprText_[exprPos_] == 'L'))
                ++exprPos_;
            return v;
        }
        if (exprPos_ < exprText_.size() && IsIdentStart(exprText_[exprPos_])) {
            // An identifier that is no macro counts as 0.
            while (exprPos_ < exprText_.size() && IsIdentChar(exprText_[exprPos_]))
                ++exprPos_;
            return 0;
        }
        exprError_ = true;
        return 0;
    }
};

}  // namespace

bool Preprocess(const std::string& fileName, const std::string& source, const Defines& defines,
                const IncludeOpener& open, Preprocessed& out, std::string& errors) {
    out = Preprocessed{};
    Preprocessor pp(open, out, errors);
    for (const auto& d : defines) {
        Macro m;
        m.body = d.second.empty() ? "1" : d.second;
        pp.macros[d.first] = m;
    }
    return pp.Run(fileName, source);
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream s;
    s << f.rdbuf();
    if (f.bad())
        return false;
    out = s.str();
    return true;
}

}  // namespace d3dx10fx
