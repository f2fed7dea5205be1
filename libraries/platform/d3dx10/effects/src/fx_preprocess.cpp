// The effect preprocessor: includes through the opener, object- and function-like macros,
// conditionals with integer expressions. Comments are removed; each output line records the
// file and line it came from.

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>
#include <unordered_map>

#include "fx_core.h"
#include "platform/file_text.h"
#include "platform/regular_file.h"

namespace d3dx10fx {

SourceLoc Preprocessed::Origin(int outputLine) const {
    if (outputLine >= 1 && size_t(outputLine) <= lines.size())
        return lines[size_t(outputLine) - 1];
    return lines.empty() ? SourceLoc{} : lines.back();
}

namespace {

bool IsIdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

struct Macro {
    bool function = false;
    std::vector<std::string> params;
    std::string body;
    // Function-like: the body as text between parameters, split once where it is defined.
    struct Piece {
        size_t begin, size;  // text of the body before the parameter
        int param;           // -1: none (the last piece)
    };
    std::vector<Piece> pieces;
    bool expanding = false;  // being expanded: its name stays as it is
};

struct Line {
    std::string text;
    int line;  // 1-based line in its file
};

// Splits a file into logical lines, one at a time: joins continued lines and blanks out
// comments, keeping the line count (a continued line leaves blank lines after it).
class LineSplitter {
public:
    explicit LineSplitter(const std::string& src) : src_(src) {}
    bool unterminatedComment() const { return unterminated_; }

    // The next line; false after the last.
    bool Next(Line& out) {
        out.text.clear();
        if (pad_ > 0) {
            --pad_;
            out.line = padLine_++;
            return true;
        }
        if (done_)
            return false;
        const std::string& src = src_;
        std::string& cur = out.text;
        out.line = lineNo_;
        int pad = 0;  // continued lines joined into the current one
        auto end = [&]() {
            pad_ = pad;
            padLine_ = out.line + 1;
            return true;
        };
        while (i_ < src.size()) {
            char c = src[i_];
            if (inBlock_) {
                if (c == '*' && i_ + 1 < src.size() && src[i_ + 1] == '/') {
                    inBlock_ = false;
                    i_ += 2;
                    cur += ' ';
                    continue;
                }
                ++i_;
                if (c == '\n') {
                    // A block comment ends the logical line; later text keeps its own line number.
                    ++lineNo_;
                    return end();
                }
                continue;
            }
            if (c == '/' && i_ + 1 < src.size() && src[i_ + 1] == '*') {
                inBlock_ = true;
                i_ += 2;
                continue;
            }
            if (c == '/' && i_ + 1 < src.size() && src[i_ + 1] == '/') {
                while (i_ < src.size() && src[i_] != '\n')
                    ++i_;
                continue;
            }
            if (c == '\\' && i_ + 1 < src.size() &&
                (src[i_ + 1] == '\n' || (src[i_ + 1] == '\r' && i_ + 2 < src.size() && src[i_ + 2] == '\n'))) {
                i_ += src[i_ + 1] == '\r' ? 3 : 2;
                ++lineNo_;
                ++pad;
                continue;
            }
            ++i_;
            if (c == '\r')
                continue;
            if (c == '\n') {
                ++lineNo_;
                return end();
            }
            cur += c;
        }
        done_ = true;
        unterminated_ = inBlock_;
        return end();
    }

private:
    const std::string& src_;
    size_t i_ = 0;
    int lineNo_ = 1;  // within PreprocessLimits::inputBytes: no overflow
    bool inBlock_ = false, done_ = false, unterminated_ = false;
    int pad_ = 0, padLine_ = 0;  // blank lines still due after a continued line
};

std::string_view Trim(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::string Trim(const std::string& s) {
    return std::string(Trim(std::string_view(s)));
}

std::string_view FirstIdent(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    size_t b = i;
    if (i < s.size() && IsIdentStart(s[i]))
        while (i < s.size() && IsIdentChar(s[i]))
            ++i;
    return s.substr(b, i - b);
}

std::string Bytes(size_t n) {
    if (n % (size_t(1) << 20) == 0)
        return std::to_string(n >> 20) + " MiB";
    return n % 1024 == 0 ? std::to_string(n >> 10) + " KiB" : std::to_string(n) + " bytes";
}

class Preprocessor {
public:
    Preprocessor(const IncludeOpener& open, Preprocessed& out, std::string& errors, const PreprocessLimits& limits)
        : open_(open), out_(out), errors_(errors), limits_(limits) {}

    std::map<std::string, Macro, std::less<>> macros;

    bool Run(const std::string& name, const std::string& text) {
        out_.files.push_back(name);
        if (Read(text.size()))
            ProcessFile(text, 0);
        errors_.Finish();
        return !failed_;
    }

private:
    const IncludeOpener& open_;
    Preprocessed& out_;
    ErrorList errors_;
    bool failed_ = false;
    bool stopped_ = false;  // a limit was reached: nothing more is read
    std::set<std::string> once_;

    const PreprocessLimits limits_;
    // Bounds on nesting, so that recursion stays well within a thread's stack (sanitizer
    // builds included): macro expansions inside one another, parentheses and ?: in #if.
    static constexpr int kMaxMacroDepth = 256;
    static constexpr int kMaxExprDepth = 256;
    size_t expansions_ = 0;
    size_t scanned_ = 0;  // bytes that expansions read
    size_t held_ = 0;
    size_t read_ = 0;  // bytes of the files read
    bool includePending_ = false, includeSystem_ = false;

    void Stop(const std::string& msg) {
        errors_.Add(out_.files[size_t(file_)], line_, msg, true);
        failed_ = true;
        stopped_ = true;
    }
    int file_ = 0;
    int line_ = 0;

    void Error(const std::string& msg) {
        errors_.Add(out_.files[size_t(file_)], line_, msg);
        failed_ = true;
    }

    // Counts a file of `size` bytes against the bound on what is read; false past it.
    bool Read(size_t size) {
        if (size > limits_.inputBytes - read_) {
            Stop("files read larger than " + Bytes(limits_.inputBytes) + " together");
            return false;
        }
        read_ += size;
        return true;
    }

    struct Cond {
        bool active;  // this branch emits
        bool taken;   // some branch of the group was taken
        bool parentActive;
        bool sawElse;
    };

    // Includes recurse through here: the work of each line is done in functions of their own,
    // so that a level of nesting takes little stack.
    // The file last added to out_.files, of which `text` is the content.
    void ProcessFile(const std::string& text, int depth) {
        int savedFile = file_, savedLine = line_;
        file_ = int(out_.files.size()) - 1;
        const std::string name = out_.files.back();
        LineSplitter lines(text);
        Line l;
        std::vector<Cond> conds;
        std::string included, content;
        while (!stopped_ && lines.Next(l)) {
            line_ = l.line;
            if (Directive(l.text, name, conds, included)) {
                // The included lines are emitted in place; the directive's own line stays blank.
                if (includePending_ && Open(included, text, depth, content))
                    ProcessFile(content, depth + 1);
                Emit({}, l.line);
            } else
                TextLine(l, conds.empty() || conds.back().active);
        }
        if (lines.unterminatedComment())
            Error("unterminated comment");
        if (!conds.empty() && !stopped_)
            Error("unterminated #if");
        file_ = savedFile;
        line_ = savedLine;
    }

    [[gnu::noinline]] void TextLine(const Line& l, bool active) {
        Emit(active ? ExpandLine(l.text) : std::string(), l.line);
    }

    // Handles a line that is a directive and returns true. An #include to be read sets
    // includePending_ and `included` to the name.
    [[gnu::noinline]] bool Directive(const std::string& line, const std::string& name, std::vector<Cond>& conds,
                                     std::string& included) {
        includePending_ = false;
        std::string t = Trim(line);
        if (t.empty() || t[0] != '#')
            return false;
        auto active = [&]() { return conds.empty() || conds.back().active; };
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
                    std::string id(FirstIdent(arg));
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
                return true;
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
                return true;
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
            macros.erase(std::string(FirstIdent(arg)));
        } else if (dir == "include") {
            IncludeName(arg, included);
        } else if (dir == "pragma") {
            if (Trim(arg) == "once")
                once_.insert(name);
        } else if (dir == "error") {
            Error("#error " + Quote(arg));
        } else if (dir == "line" || dir.empty()) {
            // ignored
        } else {
            Error("unknown directive #" + Quote(dir));
        }
        return true;
    }

    void Emit(const std::string& text, int line) {
        if (out_.text.size() + text.size() >= limits_.outputBytes) {
            Stop("preprocessed text larger than " + Bytes(limits_.outputBytes));
            return;
        }
        out_.text += text;
        out_.text += '\n';
        out_.lines.push_back({file_, line});
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
        if (m.function)
            SplitBody(m);
        macros[name] = std::move(m);
    }

    // Splits the body of a function-like macro at its parameters (the first of a name counts).
    static void SplitBody(Macro& m) {
        std::unordered_map<std::string_view, int> params;
        for (size_t k = 0; k < m.params.size(); ++k)
            params.emplace(m.params[k], int(k));
        const std::string_view body = m.body;
        size_t text = 0;
        for (size_t p = 0; p < body.size();) {
            if (!IsIdentStart(body[p])) {
                ++p;
                continue;
            }
            size_t q = p;
            while (q < body.size() && IsIdentChar(body[q]))
                ++q;
            const auto it = params.find(body.substr(p, q - p));
            if (it != params.end()) {
                m.pieces.push_back({text, p - text, it->second});
                text = q;
            }
            p = q;
        }
        m.pieces.push_back({text, body.size() - text, -1});
    }

    void IncludeName(const std::string& arg, std::string& name) {
        std::string a = Trim(arg);
        if (a.size() < 2 || !((a.front() == '"' && a.back() == '"') || (a.front() == '<' && a.back() == '>'))) {
            Error("#include expects \"file\" or <file>");
            return;
        }
        if (a.size() - 2 > kMaxFileName) {
            Error("#include names a file longer than " + std::to_string(kMaxFileName) + " bytes");
            return;
        }
        name = a.substr(1, a.size() - 2);
        includeSystem_ = a.front() == '<';
        includePending_ = !once_.count(name);
    }

    // Reads the file an #include names into `content`; false, with the error, when it is not read.
    [[gnu::noinline]] bool Open(const std::string& name, const std::string& parentText, int depth,
                                std::string& content) {
        if (depth >= 32) {
            Error("includes nested too deeply at \"" + Quote(name) + "\"");
            return false;
        }
        if (out_.files.size() >= limits_.files) {
            Stop("more than " + std::to_string(limits_.files) + " files included");
            return false;
        }
        if (!open_ || !open_(includeSystem_, name, parentText, content)) {
            Error("cannot open include file \"" + Quote(name) + "\"");
            return false;
        }
        if (!Read(content.size()))
            return false;
        out_.files.push_back(name);
        return true;
    }

    // Appends the macro expansion of `s` to `out` (function-like invocations must close
    // within `s`). `depth` counts the expansions this one is nested in. held_ counts the bytes
    // the expansions around this one keep in other buffers meanwhile: together with `out` they
    // stay within the output bound. Every call reads `s` once (an invocation's arguments at
    // most twice), within the bound on what expansions read. The recursion keeps its frames
    // small: what needs more is in functions of its own.
    void Expand(std::string_view s, std::string& out, int depth) {
        if (depth > kMaxMacroDepth)
            return StopTooDeep();
        if (s.size() > limits_.scannedBytes - scanned_)
            return StopReadTooMuch();
        scanned_ += s.size();
        size_t i = 0;
        while (i < s.size() && !stopped_) {
            if (held_ + out.size() >= limits_.outputBytes)
                return StopTooLarge();
            char c = s[i];
            if (IsIdentStart(c)) {
                size_t b = i;
                while (i < s.size() && IsIdentChar(s[i]))
                    ++i;
                Macro* m = Lookup(s.data() + b, i - b);
                if (!m) {
                    out.append(s.data() + b, i - b);
                } else if (++expansions_ > limits_.expansions) {
                    return StopTooMany();
                } else if (!m->function) {
                    m->expanding = true;
                    Expand(m->body, out, depth + 1);
                    m->expanding = false;
                } else
                    i = Call(*m, s, b, i, out, depth);
                continue;
            }
            if (std::isdigit(static_cast<unsigned char>(c))) {
                // Numbers such as 1e5f keep their letters.
                while (i < s.size() && (IsIdentChar(s[i]) || s[i] == '.'))
                    out += s[i++];
                continue;
            }
            out += c;
            ++i;
        }
    }

    // The macro a name stands for, unless it is being expanded.
    [[gnu::noinline]] Macro* Lookup(const char* name, size_t size) {
        auto it = macros.find(std::string_view(name, size));
        return it == macros.end() || it->second.expanding ? nullptr : &it->second;
    }
    [[gnu::noinline]] void StopTooDeep() {
        Stop("macros nested more than " + std::to_string(kMaxMacroDepth) + " deep");
    }
    [[gnu::noinline]] void StopReadTooMuch() {
        Stop("macro expansions read more than " + Bytes(limits_.scannedBytes) + " of text");
    }
    [[gnu::noinline]] void StopTooLarge() { Stop("macro expansion larger than " + Bytes(limits_.outputBytes)); }
    [[gnu::noinline]] void StopTooMany() {
        Stop("more than " + std::to_string(limits_.expansions) + " macro expansions");
    }

    // The function-like macro named by s[b, i): its arguments are expanded first, then
    // substituted and the result rescanned with the macro itself left alone. Returns where
    // the invocation ends in `s`; a name without arguments stays as it is.
    size_t Call(Macro& m, std::string_view s, size_t b, size_t i, std::string& out, int depth) {
        std::vector<std::string_view> args;
        const size_t end = Arguments(m, s, b, i, args);
        if (end == i) {
            out.append(s.data() + b, i - b);
            return i;
        }
        if (stopped_ || end > s.size())
            return s.size();
        const size_t heldBefore = held_;
        held_ += out.size();
        std::string body;
        {
            std::vector<std::string> expanded(args.size());
            for (size_t a = 0; a < args.size() && !stopped_; ++a) {
                Expand(args[a], expanded[a], depth + 1);
                held_ += expanded[a].size();
            }
            Substitute(m, expanded, body);
        }
        held_ = heldBefore + body.size();
        if (!stopped_) {
            m.expanding = true;
            Expand(body, out, depth + 1);
            m.expanding = false;
        }
        held_ = heldBefore;
        return end;
    }

    // The arguments of an invocation at s[i] of the macro named by s[b, i). Returns the end
    // of the invocation; `i` when no '(' follows the name; past the end of `s` on an error.
    [[gnu::noinline]] size_t Arguments(const Macro& m, std::string_view s, size_t b, size_t i,
                                       std::vector<std::string_view>& args) {
        size_t j = i;
        while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j])))
            ++j;
        if (j >= s.size() || s[j] != '(')
            return i;
        const std::string_view name = s.substr(b, i - b);
        int parens = 0;
        size_t k = j + 1, start = k;
        for (; k < s.size(); ++k) {
            char d = s[k];
            if (d == '(')
                ++parens;
            else if (d == ')' && parens-- == 0)
                break;
            else if (d == ',' && parens == 0) {
                args.push_back(Trim(s.substr(start, k - start)));
                start = k + 1;
            }
        }
        if (k >= s.size()) {
            Error("unterminated arguments of macro " + Quote(name));
            return s.size() + 1;
        }
        std::string_view last = Trim(s.substr(start, k - start));
        if (!last.empty() || !args.empty())
            args.push_back(last);
        if (args.size() != m.params.size()) {
            Error("macro " + Quote(name) + " takes " + std::to_string(m.params.size()) + " arguments");
            return s.size() + 1;
        }
        return k + 1;
    }

    // The body of a function-like macro with its parameters replaced by `args`.
    [[gnu::noinline]] void Substitute(const Macro& m, const std::vector<std::string>& args, std::string& body) {
        for (const Macro::Piece& piece : m.pieces) {
            if (stopped_)
                return;
            const size_t arg = piece.param < 0 ? 0 : args[size_t(piece.param)].size();
            if (held_ + body.size() + piece.size + arg >= limits_.outputBytes)
                return StopTooLarge();
            body.append(m.body, piece.begin, piece.size);
            if (piece.param >= 0)
                body += args[size_t(piece.param)];
        }
    }

    // The expansion of a line, within the output bound together with the text so far.
    std::string ExpandLine(std::string_view s) {
        std::string r;
        held_ = out_.text.size();
        Expand(s, r, 0);
        held_ = 0;
        return r;
    }

    // #if expressions: integers, defined(), ! ~ - + * / % << >> < > <= >= == != & ^ | && || ?:
    // Overflow, division by zero and shifts out of range are errors, except in an operand that
    // && || ?: leave unevaluated. Parentheses and ?: nest at most kMaxExprDepth deep; unary
    // operators are applied without recursion.
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
                    const std::string name(FirstIdent(std::string_view(expr).substr(i)));
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
        exprText_ = ExpandLine(pre);
        if (stopped_)
            return false;
        exprPos_ = 0;
        exprError_ = false;
        exprFault_.clear();
        exprDepth_ = 0;
        exprTooDeep_ = false;
        skip_ = 0;
        unary_.clear();
        long long v = ParseTernary();
        SkipSpace();
        if (exprTooDeep_) {
            Stop("#if expression nested more than " + std::to_string(kMaxExprDepth) + " deep");
            return false;
        }
        if (exprPos_ != exprText_.size() || exprError_) {
            Error("bad #if expression \"" + Quote(expr) + "\"");
            return false;
        }
        if (!exprFault_.empty()) {
            Error(exprFault_ + " in #if expression");
            return false;
        }
        return v != 0;
    }

    std::string exprText_;
    size_t exprPos_ = 0;
    bool exprError_ = false;  // not an expression
    std::string exprFault_;   // the first operation without a result
    int exprDepth_ = 0;
    bool exprTooDeep_ = false;
    int skip_ = 0;       // > 0: in an operand that is not evaluated
    std::string unary_;  // prefix operators waiting for their operand

    void Fault(const char* what) {
        if (!skip_ && exprFault_.empty())
            exprFault_ = what;
    }

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
        if (exprTooDeep_ || ++exprDepth_ > kMaxExprDepth) {
            exprTooDeep_ = true;
            return 0;
        }
        long long c = ParseBinary(0);
        if (Accept("?")) {
            skip_ += c == 0;
            long long a = ParseTernary();
            skip_ -= c == 0;
            if (!Accept(":"))
                exprError_ = true;
            skip_ += c != 0;
            long long b = ParseTernary();
            skip_ -= c != 0;
            c = c ? a : b;
        }
        --exprDepth_;
        return c;
    }

    enum class Op { Or, And, BitOr, Xor, BitAnd, Eq, Ne, Le, Ge, Lt, Gt, Shl, Shr, Add, Sub, Mul, Div, Mod };
    struct BinaryOp {
        const char* text;
        int precedence;
        Op op;
    };
    // Precedence climbing: the right operand of an operator takes only tighter ones.
    long long ParseBinary(int minPrecedence) {
        static const BinaryOp kOps[] = {
            {"||", 0, Op::Or}, {"&&", 1, Op::And}, {"|", 2, Op::BitOr}, {"^", 3, Op::Xor}, {"&", 4, Op::BitAnd},
            {"==", 5, Op::Eq}, {"!=", 5, Op::Ne},  {"<=", 6, Op::Le},   {">=", 6, Op::Ge}, {"<", 6, Op::Lt},
            {">", 6, Op::Gt},  {"<<", 7, Op::Shl}, {">>", 7, Op::Shr},  {"+", 8, Op::Add}, {"-", 8, Op::Sub},
            {"*", 9, Op::Mul}, {"/", 9, Op::Div},  {"%", 9, Op::Mod}};
        long long l = ParseUnary();
        for (;;) {
            const BinaryOp* found = nullptr;
            const size_t at = exprPos_;
            for (const BinaryOp& op : kOps)
                if (Accept(op.text)) {
                    found = &op;
                    break;
                }
            if (!found || found->precedence < minPrecedence) {
                exprPos_ = at;
                return l;
            }
            const bool shortCircuit = (found->op == Op::Or && l != 0) || (found->op == Op::And && l == 0);
            skip_ += shortCircuit;
            long long r = ParseBinary(found->precedence + 1);
            skip_ -= shortCircuit;
            l = Apply(found->op, l, r);
        }
    }
    long long Apply(Op op, long long l, long long r) {
        long long v = 0;
        switch (op) {
            case Op::Or:
                return l || r;
            case Op::And:
                return l && r;
            case Op::BitOr:
                return l | r;
            case Op::Xor:
                return l ^ r;
            case Op::BitAnd:
                return l & r;
            case Op::Eq:
                return l == r;
            case Op::Ne:
                return l != r;
            case Op::Le:
                return l <= r;
            case Op::Ge:
                return l >= r;
            case Op::Lt:
                return l < r;
            case Op::Gt:
                return l > r;
            case Op::Shl:
            case Op::Shr:
                if (r < 0 || r > 63) {
                    Fault("shift count out of range");
                    return 0;
                }
                if (op == Op::Shr)
                    return l >> r;
                v = static_cast<long long>(static_cast<unsigned long long>(l) << r);
                if ((v >> r) != l) {
                    Fault("integer overflow");
                    return 0;
                }
                return v;
            case Op::Add:
            case Op::Sub:
            case Op::Mul:
                if (op == Op::Add   ? __builtin_add_overflow(l, r, &v)
                    : op == Op::Sub ? __builtin_sub_overflow(l, r, &v)
                                    : __builtin_mul_overflow(l, r, &v)) {
                    Fault("integer overflow");
                    return 0;
                }
                return v;
            case Op::Div:
            case Op::Mod:
                if (r == 0) {
                    Fault("division by zero");
                    return 0;
                }
                if (r == -1)  // the one quotient that overflows: LLONG_MIN / -1
                    return op == Op::Mod ? 0 : Apply(Op::Sub, 0, l);
                return op == Op::Div ? l / r : l % r;
        }
        return 0;
    }
    long long ParseUnary() {
        const size_t base = unary_.size();
        for (;;) {
            if (Accept("!"))
                unary_ += '!';
            else if (Accept("~"))
                unary_ += '~';
            else if (Accept("-"))
                unary_ += '-';
            else if (!Accept("+"))
                break;
        }
        long long v = ParsePrimary();
        for (size_t k = unary_.size(); k > base; --k) {
            const char op = unary_[k - 1];
            v = op == '!' ? !v : op == '~' ? ~v : Apply(Op::Sub, 0, v);
        }
        unary_.resize(base);
        return v;
    }
    long long ParsePrimary() {
        if (Accept("(")) {
            long long v = ParseTernary();
            if (!Accept(")"))
                exprError_ = true;
            return v;
        }
        SkipSpace();
        if (exprPos_ < exprText_.size() && std::isdigit(static_cast<unsigned char>(exprText_[exprPos_]))) {
            char* end = nullptr;
            errno = 0;
            long long v = std::strtoll(exprText_.c_str() + exprPos_, &end, 0);
            if (errno == ERANGE)
                exprFault_ = "integer constant too large";
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
                const IncludeOpener& open, Preprocessed& out, std::string& errors, const PreprocessLimits& limits) {
    out = Preprocessed{};
    Preprocessor pp(open, out, errors, limits);
    for (const auto& d : defines) {
        Macro m;
        m.body = d.second.empty() ? "1" : d.second;
        pp.macros[d.first] = m;
    }
    return pp.Run(fileName, source);
}

bool ReadFile(const std::string& path, std::string& out, std::string* error) {
    return ReadRegularFile(path, PreprocessLimits{}.inputBytes, out, error) == RegularFileRead::Ok;
}

ErrorList::ErrorList(std::string& text) : text_(text) {
    for (char c : text)
        lines_ += c == '\n';
}

void ErrorList::Add(const std::string& file, int line, std::string_view message, bool stops) {
    auto at = [&] { return file + "(" + std::to_string(line) + "): error: "; };
    if (Full() && !stops) {
        if (dropped_++ == 0)
            droppedAt_ = at();
        return;
    }
    text_ += at();
    text_ += message;
    text_ += '\n';
    ++lines_;
}

void ErrorList::Finish() {
    if (dropped_)
        text_ += droppedAt_ + std::to_string(dropped_) + " more errors not shown\n";
    dropped_ = 0;
}

std::string Quote(std::string_view text) {
    return QuoteFileText(text);
}

}  // namespace d3dx10fx
