// The device-free compiler: preprocessing, declarations and their checks, stage GLSL, the
// compiled container.

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "fx_core.h"

using namespace d3dx10fx;

namespace {

struct Files {
    std::map<std::string, std::string> files;
    std::vector<std::string> opened;
    IncludeOpener Opener() {
        return [this](bool, const std::string& name, const std::string&, std::string& content) {
            opened.push_back(name);
            auto it = files.find(name);
            if (it == files.end())
                return false;
            content = it->second;
            return true;
        };
    }
};

bool Compile(const std::string& text, EffectDesc& desc, std::string& errors, Files* files = nullptr) {
    Files none;
    Preprocessed pre;
    return CompileToPreprocessed("main.fx", text, {}, (files ? files : &none)->Opener(), pre, desc, errors);
}

const char* kQuad = R"(
sampler_state LinearClamp { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = D3D10_TEXTURE_ADDRESS_WRAP; };
blend_state Additive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; };
depth_stencil_state NoDepth { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state NoCull { CullMode = NONE; };
uniform sampler2D texView1 : LinearClamp;
uniform vec4 gTint = vec4(1.0, 0.5, 0.25, 1.0);
uniform float gScale = 2;
uniform mat4 World;
uniform vec4 gArray[3];
void QuadVS(in vec3 pos : POSITION, out vec2 uv : TEXCOORD0, out vec4 hpos : SV_Position) {
    hpos = vec4(pos, 1.0);
    uv = pos.xy * 0.5 + 0.5;
}
vec4 Shade(vec2 uv) { return texture(texView1, uv) * gTint * gScale; }
void CopyPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = Shade(uv); }
technique Copy {
    pass P0 {
        VertexShader = QuadVS;
        PixelShader = CopyPS;
        BlendState = Additive;
        DepthStencilState = NoDepth;
        RasterizerState = NoCull;
        BlendFactor = vec4(0.5, 0.5, 0.5, 1);
    }
}
)";

}  // namespace

TEST(EffectPreprocessor, IncludesComeThroughTheOpenerAndKeepTheirLines) {
    Files f;
    f.files["shared.fxi"] = "#pragma once\n#define SIZE 4\nuniform float shared_value;\n";
    Preprocessed pre;
    std::string errors;
    ASSERT_TRUE(Preprocess("main.fx", "#include \"shared.fxi\"\n#include <shared.fxi>\nuniform vec4 a[SIZE];\n", {},
                           f.Opener(), pre, errors))
        << errors;
    EXPECT_NE(pre.text.find("uniform vec4 a[4];"), std::string::npos);
    // #pragma once: the second include adds nothing.
    EXPECT_EQ(pre.text.find("shared_value"), pre.text.rfind("shared_value"));
    ASSERT_EQ(pre.files.size(), 2u);
    EXPECT_EQ(pre.files[1], "shared.fxi");
    int line = 0;
    for (size_t i = 0, n = 1; i < pre.text.size(); ++i) {
        if (pre.text.compare(i, 12, "shared_value") == 0)
            line = int(n);
        if (pre.text[i] == '\n')
            ++n;
    }
    SourceLoc origin = pre.Origin(line);
    EXPECT_EQ(pre.files[size_t(origin.file)], "shared.fxi");
    EXPECT_EQ(origin.line, 3);
}

TEST(EffectPreprocessor, MissingIncludeIsAnErrorAtItsLine) {
    Files f;
    Preprocessed pre;
    std::string errors;
    EXPECT_FALSE(Preprocess("main.fx", "\n\n#include \"absent.fxi\"\n", {}, f.Opener(), pre, errors));
    EXPECT_NE(errors.find("main.fx(3): error: cannot open include file \"absent.fxi\""), std::string::npos) << errors;
}

TEST(EffectPreprocessor, AnErrorLineComesOutEscaped) {
    Preprocessed pre;
    std::string errors;
    EXPECT_FALSE(Preprocess("m.fx", "#error \x1b]0;owned\a\rm.fx(9): error: forged\n", {}, nullptr, pre, errors));
    EXPECT_EQ("m.fx(1): error: #error \\x1b]0;owned\\x07m.fx(9): error: forged\n", errors);  // CR ends no line
}

TEST(EffectPreprocessor, ConditionalsMacrosAndDefines) {
    Preprocessed pre;
    std::string errors;
    const char* src =
        "#define TWICE(x) ((x) * 2)\n"
        "#if defined(FAST) && TWICE(2) == 4\n"
        "fast\n"
        "#elif 1\n"
        "slow\n"
        "#endif\n"
        "#ifndef FAST\nnotfast\n#else\nisfast\n#endif\n"
        "v = TWICE(a + 1); /* gone */ // gone too\n";
    ASSERT_TRUE(Preprocess("m.fx", src, {{"FAST", ""}}, nullptr, pre, errors)) << errors;
    EXPECT_NE(pre.text.find("fast"), std::string::npos);
    EXPECT_EQ(pre.text.find("slow"), std::string::npos);
    EXPECT_NE(pre.text.find("isfast"), std::string::npos);
    EXPECT_EQ(pre.text.find("notfast"), std::string::npos);
    EXPECT_NE(pre.text.find("v = ((a + 1) * 2);"), std::string::npos) << pre.text;
    EXPECT_EQ(pre.text.find("gone"), std::string::npos);
    EXPECT_FALSE(Preprocess("m.fx", "#if 1\nx\n", {}, nullptr, pre, errors));
    EXPECT_NE(errors.find("unterminated #if"), std::string::npos);
}

TEST(EffectPreprocessor, RecursiveIncludesStop) {
    Files f;
    f.files["self.fxi"] = "#include \"self.fxi\"\n";
    Preprocessed pre;
    std::string errors;
    EXPECT_FALSE(Preprocess("m.fx", "#include \"self.fxi\"\n", {}, f.Opener(), pre, errors));
    EXPECT_NE(errors.find("nested too deeply"), std::string::npos);
}

TEST(EffectPreprocessor, AnIncludeThatDoublesAtEachLevelStopsAtTheFileLimit) {
    Files f;
    f.files["twice.fxi"] = "#include \"twice.fxi\"\n#include \"twice.fxi\"\nuniform float x;\n";
    Preprocessed pre;
    std::string errors;
    EXPECT_FALSE(Preprocess("m.fx", "#include \"twice.fxi\"\n", {}, f.Opener(), pre, errors));
    EXPECT_NE(errors.find("more than 256 files included"), std::string::npos);
    EXPECT_LE(f.opened.size(), 256u);
}

TEST(EffectPreprocessor, MacrosThatDoubleAtEachLevelStop) {
    std::string text = "#define a0 x x\n";
    for (int i = 1; i < 32; ++i)
        text += "#define a" + std::to_string(i) + " a" + std::to_string(i - 1) + " a" + std::to_string(i - 1) + "\n";
    text += "uniform float a31;\n";
    Preprocessed pre;
    std::string errors;
    EXPECT_FALSE(Preprocess("m.fx", text, {}, nullptr, pre, errors));
    EXPECT_NE(errors.find("more than 131072 macro expansions"), std::string::npos) << errors.substr(0, 200);
    EXPECT_LT(pre.text.size(), size_t(4) << 20);
    // A long line of expansions that each stay small reaches the size limit instead.
    text =
        "#define w xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n";
    text += "#define w2 w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w w\n";
    for (int i = 0; i < 1000; ++i)
        text += "w2 ";
    errors.clear();
    EXPECT_FALSE(Preprocess("m.fx", text + "\n", {}, nullptr, pre, errors));
    EXPECT_NE(errors.find("larger than 4 MiB"), std::string::npos) << errors.substr(0, 200);
}

TEST(EffectPreprocessor, IfArithmeticWithoutAResultIsAnErrorAtItsLine) {
    const char* kMin = "(-9223372036854775807 - 1)";
    const std::pair<std::string, const char*> cases[] = {
        {"9223372036854775807 + 1", "integer overflow"},
        {std::string(kMin) + " - 1", "integer overflow"},
        {"4294967296 * 4294967296", "integer overflow"},
        {std::string("-") + kMin, "integer overflow"},
        {std::string(kMin) + " / -1", "integer overflow"},
        {"3 << 62", "integer overflow"},
        {"1 / (2 - 2)", "division by zero"},
        {"1 % 0", "division by zero"},
        {"1 << 64", "shift count out of range"},
        {"1 >> -1", "shift count out of range"},
        {"9223372036854775808", "integer constant too large"},
    };
    for (const auto& [expr, message] : cases) {
        Preprocessed pre;
        std::string errors;
        EXPECT_FALSE(Preprocess("m.fx", "\n#if " + expr + "\n#endif\n", {}, nullptr, pre, errors));
        EXPECT_EQ(errors, "m.fx(2): error: " + std::string(message) + " in #if expression\n") << expr;
    }
    // The edges that have a result, and operands that && || ?: leave unevaluated.
    Preprocessed pre;
    std::string errors;
    EXPECT_TRUE(Preprocess("m.fx",
                           "#if " + std::string(kMin) +
                               " % -1 == 0 && -9223372036854775807 / -1 > 0 && (1 << 62) > 0 "
                               "&& (-1 << 63) < 0 && (" +
                               kMin +
                               " >> 63) == -1\nyes\n#endif\n"
                               "#if (0 && 1 / 0) || (1 || 9223372036854775807 + 1) && (1 ? 1 : 1 % 0)\nshort\n#endif\n",
                           {}, nullptr, pre, errors))
        << errors;
    EXPECT_NE(pre.text.find("yes"), std::string::npos);
    EXPECT_NE(pre.text.find("short"), std::string::npos);
}

namespace {

// Runs `f` on a thread with a stack of `bytes`.
void OnStack(size_t bytes, std::function<void()> f) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    auto run = [](void* p) -> void* {
        (*static_cast<std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, &f), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

}  // namespace

TEST(EffectPreprocessor, NestingStopsAtLimitsThatFitASmallStack) {
    std::string chain;
    for (int i = 0; i < 30000; ++i)
        chain += "#define m" + std::to_string(i) + " m" + std::to_string(i + 1) + "\n";
    const std::pair<std::string, const char*> deep[] = {
        {"#if " + Repeat("(", 2000) + "1" + Repeat(")", 2000) + "\n#endif\n",
         "m.fx(1): error: #if expression nested more than 256 deep\n"},
        {chain + "m0\n", "m.fx(30001): error: macros nested more than 256 deep\n"},
        {"#define F(x) x\n" + Repeat("F(", 20000) + "1" + Repeat(")", 20000) + "\n",
         "m.fx(2): error: macros nested more than 256 deep\n"},
        {"#define F(x) " + Repeat("x x x x ", 250) + "\nF(F(F(a)))\n",
         "m.fx(2): error: macro expansion larger than 4 MiB\n"},
        // Each argument stays under the bound, both together do not.
        {"#define A " + std::string(1000, 'x') + "\n#define B " + Repeat("A ", 3000) + "\n#define F(x, y) x\nF(B, B)\n",
         "m.fx(4): error: macro expansion larger than 4 MiB\n"},
    };
    // Just inside every limit at once: includes 31 deep, then macros, calls and #if 255 deep.
    Files f;
    for (int i = 0; i < 31; ++i)
        f.files["l" + std::to_string(i)] = "#include \"l" + std::to_string(i + 1) + "\"\n";
    f.files["l31"] = chain.substr(0, chain.find("#define m255 ")) +
                     "#define F(x) G(x)\n#define G(x) x\n"
                     "#if m0 + " +
                     Repeat("(1 || 1 && 1 | 1 ^ 1 & 1 == 1 < 1 << 1 + 1 * (1 ? ", 84) + "1" + Repeat(" : 0))", 84) +
                     "\ndeep " + Repeat("F(", 250) + "1" + Repeat(")", 250) + "\n#endif\n";
    OnStack(size_t(1) << 20, [&] {
        for (const auto& [text, message] : deep) {
            Preprocessed pre;
            std::string errors;
            EXPECT_FALSE(Preprocess("m.fx", text, {}, nullptr, pre, errors));
            EXPECT_EQ(errors, message);
        }
        Preprocessed pre;
        std::string errors;
        EXPECT_TRUE(Preprocess("m.fx", "#include \"l0\"\n", {}, f.Opener(), pre, errors)) << errors.substr(0, 300);
        EXPECT_NE(pre.text.find("deep 1\n"), std::string::npos);
    });
}

TEST(EffectPreprocessor, ExpansionsThatGiveNothingStopAtTheBoundOnWhatTheyRead) {
    // A long name read again at every use: calls that each fail, and expansions that give nothing.
    const std::string name(128 * 1024, 'N');
    const std::string cases[] = {"#define " + name + "(x) x\n#define A " + name + "()\n",
                                 "#define " + name + "\n#define A " + name + "\n"};
    PreprocessLimits limits;
    limits.scannedBytes = size_t(8) << 20;
    for (const std::string& defines : cases) {
        Preprocessed pre;
        std::string errors;
        EXPECT_FALSE(Preprocess("m.fx", defines + Repeat("A\n", 1000), {}, nullptr, pre, errors, limits));
        EXPECT_NE(errors.find("m.fx(66): error: macro expansions read more than 8 MiB of text\n"), std::string::npos)
            << errors.substr(errors.size() - std::min<size_t>(errors.size(), 300));
    }
}

TEST(EffectDeclarations, VariablesStatesAndTechniques) {
    EffectDesc d;
    std::string errors;
    ASSERT_TRUE(Compile(kQuad, d, errors)) << errors;
    const Variable* tint = d.FindVariable("gTint");
    ASSERT_NE(tint, nullptr);
    EXPECT_EQ(tint->type.kind, VarKind::Vector);
    ASSERT_EQ(tint->init.size(), 4u);
    float f;
    std::memcpy(&f, &tint->init[1], 4);
    EXPECT_FLOAT_EQ(f, 0.5f);
    const Variable* scale = d.FindVariable("gScale");
    ASSERT_NE(scale, nullptr);
    std::memcpy(&f, &scale->init[0], 4);
    EXPECT_FLOAT_EQ(f, 2.0f);
    EXPECT_EQ(d.FindVariable("gArray")->elements, 3u);
    EXPECT_EQ(d.FindVariable("World")->type.kind, VarKind::Matrix);
    EXPECT_EQ(d.FindVariable("texView1")->type.texture, TextureKind::Tex2D);
    EXPECT_EQ(d.FindVariable("texView1")->sampler, "LinearClamp");
    EXPECT_EQ(d.samplers["LinearClamp"].Filter, 0x15u);
    EXPECT_EQ(d.samplers["LinearClamp"].AddressV, 1u);
    EXPECT_EQ(d.blendStates["Additive"].BlendEnable[0], 1u);
    EXPECT_EQ(d.blendStates["Additive"].BlendEnable[1], 0u);
    EXPECT_EQ(d.blendStates["Additive"].DestBlend, 2u);
    EXPECT_EQ(d.depthStates["NoDepth"].DepthEnable, 0u);
    EXPECT_EQ(d.rasterizerStates["NoCull"].CullMode, 1u);
    ASSERT_EQ(d.techniques.size(), 1u);
    const Pass& p = d.techniques[0].passes.at(0);
    EXPECT_EQ(p.vertexShader, "QuadVS");
    EXPECT_EQ(p.blendState, "Additive");
    EXPECT_FLOAT_EQ(p.blendFactor[0], 0.5f);
    const Function* vs = d.FindFunction("QuadVS");
    ASSERT_NE(vs, nullptr);
    ASSERT_EQ(vs->params.size(), 3u);
    EXPECT_EQ(vs->params[1].semantic, "TEXCOORD");
    EXPECT_EQ(vs->params[2].semantic, "SV_POSITION");
    EXPECT_TRUE(vs->params[2].out);
}

TEST(EffectDeclarations, IntegerInitialValuesTruncateAndHoldToTheirRange) {
    EffectDesc d;
    std::string errors;
    ASSERT_TRUE(Compile(R"(
uniform uint gMask = 0xFFFFFFFF;
uniform uint gBig = 5000000000.0;
uniform uint gNegative = -2;
uniform int gInts[4] = { -3.7, 2.9, 10000000000.0, -10000000000.0 };
uniform bool gOn = 2;
rasterizer_state R { DepthBias = -2147483648.9; };
depth_stencil_state D { StencilReadMask = 4294967295.5; StencilWriteMask = 0xFFFFFFFF; };
)",
                        d, errors))
        << errors;
    // Integer states truncate too, to the edges of their type (beyond them: an error).
    EXPECT_EQ(d.rasterizerStates["R"].DepthBias, -2147483647 - 1);
    EXPECT_EQ(d.depthStates["D"].StencilReadMask, 0xFFFFFFFFu);
    EXPECT_EQ(d.FindVariable("gMask")->init.at(0), 0xFFFFFFFFu);
    EXPECT_EQ(d.FindVariable("gBig")->init.at(0), 0xFFFFFFFFu);
    EXPECT_EQ(d.FindVariable("gNegative")->init.at(0), 0u);
    const std::vector<uint32_t>& ints = d.FindVariable("gInts")->init;
    ASSERT_EQ(ints.size(), 4u);
    EXPECT_EQ(int32_t(ints[0]), -3);
    EXPECT_EQ(int32_t(ints[1]), 2);
    EXPECT_EQ(int32_t(ints[2]), 2147483647);
    EXPECT_EQ(int32_t(ints[3]), -2147483647 - 1);
    EXPECT_EQ(d.FindVariable("gOn")->init.at(0), 1u);
}

TEST(EffectDeclarations, ErrorsNameFileLineAndCause) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"uniform sampler2D t : Missing;\n", "sampler state 'Missing' of 't' does not exist"},
        {"uniform float a;\nuniform float a;\n", "main.fx(2): error: redefinition of variable 'a'"},
        {"uniform vec4 v = vec4(1, 2);\n", "needs 4 numbers, has 2"},
        {"uniform double d;\n", "'double' is no variable type"},
        {"blend_state B { SrcBlend = SIDEWAYS; };\n", "bad value for SRCBLEND"},
        {"void VS(in vec3 p : POSITION, out vec4 h : SV_Position) { h = vec4(p, 1); }\n"
         "void PS(in vec2 uv : TEXCOORD0, out vec4 c : SV_Target0) { c = vec4(uv, 0, 1); }\n"
         "technique T { pass P { VertexShader = VS; PixelShader = PS; } }\n",
         "pixel shader input TEXCOORD0 is not written by vertex shader 'VS'"},
        {"void VS(in vec3 p : POSITION) { }\nvoid PS(out vec4 c : SV_Target0) { c = vec4(1); }\n"
         "technique T { pass P { VertexShader = VS; PixelShader = PS; } }\n",
         "writes no SV_Position"},
        {"void VS(out vec4 h : SV_Position) { h = vec4(0); }\nvoid PS(out vec4 c : SV_Target0) { c = vec4(1); }\n"
         "technique T { pass P { VertexShader = VS; PixelShader = PS; BlendState = Nope; } }\n",
         "blend state 'Nope' does not exist"},
        {"technique T { pass P { VertexShader = Gone; PixelShader = Gone; } }\n", "'Gone' of pass 'P' does not exist"},
        {"void f() {\n", "unbalanced '{'"},
        // Refused sizes are not used: no value store of that size is made.
        {"uniform mat4 gHuge[4294967295] = mat4(1.0);\n", "bad array size"},
        {"uniform vec4 gHuge[99999999999999999999] = vec4(1.0);\n", "bad array size"},
        {"uniform float gNone[0] = 1.0;\n", "bad array size"},
        // Integer states hold only what their type holds.
        {"sampler_state S { MaxAnisotropy = 1e20; };\n", "main.fx(1): error: value of MAXANISOTROPY out of range"},
        {"rasterizer_state R {\nDepthBias = -2147483649; };\n", "main.fx(2): error: value of DEPTHBIAS out of range"},
        {"rasterizer_state R { DepthBias = 2147483648; };\n", "value of DEPTHBIAS out of range"},
        {"technique T { pass P { StencilRef = -1; } }\n", "value of STENCILREF out of range"},
        {"blend_state B { SrcBlend = 0x100000000; };\n", "value of SRCBLEND out of range"},
        {"blend_state B { BlendEnable[4294967296] = TRUE; };\n", "render target index out of range"},
    };
    for (const auto& c : cases) {
        EffectDesc d;
        std::string errors;
        EXPECT_FALSE(Compile(c.text, d, errors)) << c.text;
        EXPECT_NE(errors.find(c.message), std::string::npos) << "expected: " << c.message << "\ngot: " << errors;
    }
}

TEST(EffectDeclarations, CodeNestingAndExpressionLengthStayWithinWhatTheGlCompilerTakes) {
    auto effect = [](const std::string& body) {
        return "uniform float g;\nvoid VS(out vec4 h : SV_Position) { h = vec4(g); }\nvoid PS(out vec4 c : SV_Target0) "
               "{\n" +
               body + "\n}\ntechnique T { pass P { VertexShader = VS; PixelShader = PS; } }\n";
    };
    auto sum = [](size_t terms) { return "c = vec4(g" + Repeat("+g", int(terms) - 1) + ");"; };
    const std::pair<std::string, const char*> refused[] = {
        {sum(kMaxExpressionOperators), "main.fx(4): error: expression of more than 1024 operators\n"},
        {"c = vec4(" + Repeat("(g + ", 250) + "g" + Repeat(") * g * g * g", 250) + ");",
         "main.fx(4): error: expression of more than 1024 operators\n"},
        {"c = vec4(" + Repeat("(", 256) + "g" + Repeat(")", 256) + ");",
         "main.fx(4): error: code nested more than 256 deep\n"},
        {"c = vec4(0); if (g > 0.0) c.x = 1.0;" + Repeat(" else if (g > 1.0) c.x = 2.0;", 128),
         "main.fx(4): error: code nested more than 256 deep\n"},
        {"c = vec4(0);" + Repeat(" if (g > 0.0)", 256) + " c.x = 1.0;",
         "main.fx(4): error: code nested more than 256 deep\n"},
    };
    for (const auto& [body, message] : refused) {
        EffectDesc d;
        std::string errors;
        EXPECT_FALSE(Compile(effect(body), d, errors));
        EXPECT_EQ(errors, message);
    }
    // Just inside both bounds; long lists and many statements count a part at a time.
    const std::string accepted[] = {
        sum(kMaxExpressionOperators - 4),
        "c = vec4(" + Repeat("(", 254) + "g" + Repeat(")", 254) + ");",
        "c = vec4(0); if (g > 0.0) c.x = 1.0;" + Repeat(" else if (g > 1.0) c.x = 2.0;", 126),
        "float a[4000] = float[](g" + Repeat(", g + g", 3999) + "); c = vec4(a[1]);",
        "c = vec4(0);" + Repeat(" if (g > 0.0) { c.x += g * g + g; } else { c.y = 1.0; }", 1000),
    };
    for (const auto& body : accepted) {
        EffectDesc d;
        std::string errors;
        EXPECT_TRUE(Compile(effect(body), d, errors)) << errors;
    }
}

TEST(EffectGlsl, StagesCarryTheInterfaceAndOnlyReachableFunctions) {
    const char* src = R"(
uniform uint gBase;
vec4 OnlyPixel() { return gl_FragCoord; }
vec4 Corner(int id) { return vec4(float(id & 1), float(id >> 1), 0, 1); }
void VS(in vec4 pos : POSITION, in uvec2 cell : BLENDINDICES, in int id : SV_VertexID,
        in uint inst : SV_InstanceID, out vec4 h : SV_Position, out uvec2 c : TEXCOORD3) {
    h = pos + Corner(id); c = cell + uvec2(inst + gBase);
}
void PS(in uvec2 c : TEXCOORD3, out vec4 a : SV_Target0, out vec4 b : SV_Target2) { a = vec4(c, 0, 1); b = OnlyPixel(); }
technique T { pass P { VertexShader = VS; PixelShader = PS; } }
)";
    EffectDesc d;
    std::string errors;
    ASSERT_TRUE(Compile(src, d, errors)) << errors;
    StageSource s;
    ASSERT_TRUE(GeneratePass(d, d.techniques[0].passes[0], s, errors)) << errors;
    ASSERT_EQ(s.inputs.size(), 2u);
    EXPECT_EQ(s.inputs[0].semantic, "POSITION");
    EXPECT_EQ(s.inputs[0].componentType, 0u);
    EXPECT_EQ(s.inputs[0].componentCount, 4u);
    EXPECT_EQ(s.inputs[1].semantic, "BLENDINDICES");
    EXPECT_EQ(s.inputs[1].componentType, 2u);
    EXPECT_EQ(s.inputs[1].componentCount, 2u);
    EXPECT_NE(s.vertex.find("int(gl_VertexID)"), std::string::npos);
    EXPECT_NE(s.vertex.find("uint(gl_InstanceID)"), std::string::npos);
    EXPECT_NE(s.vertex.find("flat out uvec2 zfx_v_TEXCOORD3"), std::string::npos);
    EXPECT_EQ(s.vertex.find("OnlyPixel"), std::string::npos);
    EXPECT_NE(s.vertex.find("Corner"), std::string::npos);
    EXPECT_EQ(s.fragment.find("Corner"), std::string::npos);
    EXPECT_NE(s.fragment.find("flat in uvec2 zfx_v_TEXCOORD3"), std::string::npos);
    EXPECT_NE(s.fragment.find("layout(location = 2) out vec4"), std::string::npos);
}

TEST(EffectGlsl, InterpolationQualifiersGoToTheVaryingsNotTheEntrySignature) {
    const char* src = R"(
void VS(in vec4 pos : POSITION, out vec4 h : SV_Position, out flat vec3 a : TEXCOORD0,
        out noperspective vec2 b : TEXCOORD1) { h = pos; a = pos.xyz; b = pos.xy; }
void PS(in vec3 a : TEXCOORD0, in vec2 b : TEXCOORD1, out vec4 c : SV_Target0) { c = vec4(a, b.x); }
technique T { pass P { VertexShader = VS; PixelShader = PS; } }
)";
    EffectDesc d;
    std::string errors;
    ASSERT_TRUE(Compile(src, d, errors)) << errors;
    ASSERT_EQ(d.functions[0].params[2].interpolation, "flat");
    StageSource s;
    ASSERT_TRUE(GeneratePass(d, d.techniques[0].passes[0], s, errors)) << errors;
    EXPECT_NE(s.vertex.find("flat out vec3 zfx_v_TEXCOORD0"), std::string::npos);
    EXPECT_NE(s.vertex.find("noperspective out vec2 zfx_v_TEXCOORD1"), std::string::npos);
    EXPECT_NE(s.fragment.find("flat in vec3 zfx_v_TEXCOORD0"), std::string::npos);
    // GLSL allows no interpolation qualifier on a function parameter.
    EXPECT_NE(s.vertex.find("out vec3 a"), std::string::npos);
    EXPECT_EQ(s.vertex.find("flat vec3 a"), std::string::npos);
    EXPECT_EQ(s.vertex.find("noperspective vec2 b"), std::string::npos);
}

TEST(EffectGlsl, EveryLineKeepsItsOrigin) {
    const char* src =
        "void VS(out vec4 h : SV_Position,\n"
        "        in vec4 p : POSITION)\n"
        "{\n"
        "    h = p;\n"
        "}\n"
        "void PS(out vec4 c : SV_Target0) {\n"
        "    c = vec4(1.0);\n"
        "}\n"
        "technique T { pass P { VertexShader = VS; PixelShader = PS; } }\n";
    EffectDesc d;
    std::string errors;
    ASSERT_TRUE(Compile(src, d, errors)) << errors;
    StageSource s;
    ASSERT_TRUE(GeneratePass(d, d.techniques[0].passes[0], s, errors));
    auto lineOf = [](const std::string& text, const std::string& what) {
        size_t at = text.find(what);
        return at == std::string::npos ? 0 : size_t(std::count(text.begin(), text.begin() + long(at), '\n'));
    };
    size_t v = lineOf(s.vertex, "h = p;");
    ASSERT_LT(v, s.vertexLines.size());
    EXPECT_EQ(s.vertexLines[v].file, 0);
    EXPECT_EQ(s.vertexLines[v].line, 4);
    size_t f = lineOf(s.fragment, "c = vec4(1.0);");
    ASSERT_LT(f, s.fragmentLines.size());
    EXPECT_EQ(s.fragmentLines[f].line, 7);
    EXPECT_EQ(s.fragmentLines[lineOf(s.fragment, "void main")].file, -1);
}

TEST(EffectGlsl, CompilerLogPointsAtTheSourceFile) {
    std::vector<SourceLoc> lines = {{-1, 0}, {0, 4}, {1, 7}};
    std::string log = MapCompilerLog("0:3(12): error: `foo' undeclared\nplain line\n0:1(2): error: x\n",
                                     {"main.fx", "inc.fxi"}, lines);
    EXPECT_EQ(log, "inc.fxi(7,12): error: `foo' undeclared\nplain line\n(generated code)(1,2): error: x\n");
}

TEST(EffectContainer, RoundTripsAndRefusesDamage) {
    Files f;
    f.files["inc.fxi"] = "uniform float fromInclude;\n";
    Preprocessed pre;
    EffectDesc d;
    std::string errors;
    ASSERT_TRUE(
        CompileToPreprocessed("m.fx", std::string("#include \"inc.fxi\"\n") + kQuad, {}, f.Opener(), pre, d, errors))
        << errors;
    std::vector<uint8_t> bytes = WriteContainer(pre);
    EXPECT_TRUE(IsContainer(bytes.data(), bytes.size()));
    Preprocessed back;
    std::string err;
    ASSERT_TRUE(ReadContainer(bytes.data(), bytes.size(), back, err)) << err;
    EXPECT_EQ(back.text, pre.text);
    EXPECT_EQ(back.files, pre.files);
    ASSERT_EQ(back.lines.size(), pre.lines.size());
    EffectDesc d2;
    ASSERT_TRUE(ParseEffect(back, d2, errors)) << errors;
    EXPECT_NE(d2.FindVariable("fromInclude"), nullptr);

    std::vector<uint8_t> flipped = bytes;
    flipped[flipped.size() / 2] ^= 0x20;
    EXPECT_FALSE(ReadContainer(flipped.data(), flipped.size(), back, err));
    for (size_t n : {size_t(0), size_t(3), size_t(12), bytes.size() - 1})
        EXPECT_FALSE(ReadContainer(bytes.data(), n, back, err)) << n;
    EXPECT_FALSE(IsContainer("uniform", 7));
}

TEST(EffectContainer, RefusesLineOriginsPreprocessingCannotGive) {
    Preprocessed pre;
    pre.files = {"a.fx"};
    pre.text = "x\ny\n";
    pre.lines = {{0, 1}, {0, 2}};
    Preprocessed back;
    std::string err;
    for (int line : {1, 0, int(PreprocessLimits{}.outputBytes), 0x7FFFFFFF}) {
        pre.lines[1].line = line;
        const std::vector<uint8_t> bytes = WriteContainer(pre);
        EXPECT_EQ(ReadContainer(bytes.data(), bytes.size(), back, err), line == 1) << line;
    }
    // Nor a file name no #include can give: an error naming it would take two lines.
    pre.files = {"a\n.fx"};
    pre.lines[1].line = 2;
    const std::vector<uint8_t> bytes = WriteContainer(pre);
    EXPECT_FALSE(ReadContainer(bytes.data(), bytes.size(), back, err));
}

TEST(EffectErrors, TheFirstHundredAreKeptAndTheRestCounted) {
    Preprocessed pre;
    std::string errors;
    std::string text;
    for (int i = 0; i < 250; ++i)
        text += "#bogus_" + std::string(200, 'x') + "\n";
    EXPECT_FALSE(Preprocess("m.fx", text, {}, nullptr, pre, errors));
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 101);
    EXPECT_NE(errors.find("m.fx(100): error: unknown directive #bogus_" + std::string(58, 'x') + "...\n"),
              std::string::npos);
    EXPECT_NE(errors.find("m.fx(101): error: 150 more errors not shown\n"), std::string::npos) << errors.substr(0, 200);

    // A limit that stops the compilation is reported past the hundred.
    Files f;
    f.files["twice.fxi"] = "#include \"twice.fxi\"\n#include \"twice.fxi\"\n";
    errors.clear();
    EXPECT_FALSE(Preprocess("m.fx", "#include \"twice.fxi\"\n", {}, f.Opener(), pre, errors));
    EXPECT_NE(errors.find("more than 256 files included"), std::string::npos);
}

TEST(EffectErrors, EntryPairsAreCheckedUpToThePixelInputBound) {
    auto effect = [](size_t inputs) {
        std::string ps = "vec4 PS(float v0 : T0";
        for (size_t i = 1; i < inputs; ++i)
            ps += ", float v" + std::to_string(i) + " : T" + std::to_string(i);
        return ps +
               ") : SV_Target { return vec4(1.0); }\n"
               "vec4 V1(vec4 p : POSITION) : SV_Position { return p; }\n"
               "vec4 V2(vec4 p : POSITION) : SV_Position { return p; }\n"
               "technique T { pass A { VertexShader = V1; PixelShader = PS; }\n"
               "pass B { VertexShader = V2; PixelShader = PS; } }\n";
    };
    // Every input of each pair is an error; those past the hundred are counted, both pairs' among them.
    EffectDesc d;
    std::string errors;
    EXPECT_FALSE(Compile(effect(kMaxPixelInputs), d, errors));
    EXPECT_NE(errors.find("main.fx(4): error: " + std::to_string(2 * kMaxPixelInputs - 100) + " more errors not shown"),
              std::string::npos)
        << errors.substr(errors.size() - 200);
    // One input more: refused once, and its pairs are left unchecked.
    errors.clear();
    EXPECT_FALSE(Compile(effect(kMaxPixelInputs + 1), d, errors));
    EXPECT_EQ(errors, "main.fx(4): error: pixel shader 'PS' reads " + std::to_string(kMaxPixelInputs + 1) +
                          " inputs, more than " + std::to_string(kMaxPixelInputs) + "\n");
}

TEST(EffectFiles, OnlyRegularFilesAreRead) {
    std::string content, why;
    EXPECT_FALSE(ReadFile("/dev/zero", content, &why));
    EXPECT_NE(why.find("/dev/zero"), std::string::npos) << why;
    EXPECT_FALSE(ReadFile("/", content, &why));
}
