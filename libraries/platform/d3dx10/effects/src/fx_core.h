#pragma once
// The device-free part of the effect compiler: preprocessing, the effect declarations,
// the GLSL of each stage and the compiled container.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace d3dx10fx {

struct SourceLoc {
    int file = 0;  // index into Preprocessed::files
    int line = 1;  // 1-based
};

struct Preprocessed {
    std::string text;                        // one output line per entry of `lines`, comments removed
    std::vector<std::string> files;          // file names, the main file first
    std::vector<SourceLoc> lines;            // origin of each output line
    SourceLoc Origin(int outputLine) const;  // 1-based output line
};

// Reads an included file; false when it cannot be found.
using IncludeOpener =
    std::function<bool(bool system, const std::string& name, const std::string& parentText, std::string& content)>;

using Defines = std::vector<std::pair<std::string, std::string>>;

// Bounds on the work of one compilation, so that a file that includes itself more than once,
// or macros that double at each level, fail instead of growing without end.
struct PreprocessLimits {
    size_t files = 256;                    // files read, the main file among them
    size_t outputBytes = size_t(4) << 20;  // the text, and the macro expansions under way
    size_t expansions = size_t(1) << 17;   // macros expanded
    size_t inputBytes = size_t(64) << 20;  // the files read together, comments included
    // The text macro expansion reads: every expansion reads what it expands again, so that
    // expansions that give nothing, or end in an error, stop all the same.
    size_t scannedBytes = inputBytes + 16 * outputBytes;
};

// The longest file name an #include or a compiled effect may hold.
constexpr size_t kMaxFileName = 4096;

// Reads a whole regular file of at most PreprocessLimits::inputBytes (a source or a compiled
// effect); false, with `error` naming the file, when it is absent, not a regular file, larger
// or unreadable.
bool ReadFile(const std::string& path, std::string& out, std::string* error = nullptr);

// The errors of one step of a compilation, appended to `text` one a line
// "file(line): error: message": the first kMaxErrors lines of the text and the error that
// stopped the step, then one line at the first error left out that counts them all.
class ErrorList {
public:
    static constexpr size_t kMaxErrors = 100;
    explicit ErrorList(std::string& text);
    void Add(const std::string& file, int line, std::string_view message, bool stops = false);
    // Whether errors that do not stop are only counted from now on: their text may be left empty.
    bool Full() const { return lines_ >= kMaxErrors; }
    // Appends the count of the errors left out, if any.
    void Finish();

private:
    std::string& text_;
    size_t lines_ = 0;
    size_t dropped_ = 0;
    std::string droppedAt_;
};

// A name or text from the source as an error quotes it (QuoteFileText: cut to 64 bytes at a
// character boundary, control characters escaped).
std::string Quote(std::string_view text);

// Expands includes, macros and conditionals. Errors are appended to `errors`, one a line,
// "file(line): error: text".
bool Preprocess(const std::string& fileName, const std::string& source, const Defines& defines,
                const IncludeOpener& open, Preprocessed& out, std::string& errors, const PreprocessLimits& limits = {});

// ---- Effect declarations ----

enum class BaseType : uint8_t { Float, Int, UInt, Bool };
enum class VarKind : uint8_t { Scalar, Vector, Matrix, Texture };
enum class TextureKind : uint8_t { None, Tex2D, Tex3D, TexCube, Tex2DArray };

struct VarType {
    VarKind kind = VarKind::Scalar;
    BaseType base = BaseType::Float;
    int rows = 1, cols = 1;  // vector: cols = components; matrix: rows x cols (square)
    TextureKind texture = TextureKind::None;
    std::string glsl;  // the GLSL type name
    bool operator==(const VarType& o) const { return glsl == o.glsl; }
};

// Parses a GLSL type name the effect system knows as a variable type.
bool ParseVarType(const std::string& glsl, VarType& type);

struct Variable {
    std::string name;
    VarType type;
    uint32_t elements = 0;       // 0: no array
    std::vector<uint32_t> init;  // initial value, element stride ValueStride words (empty: zero)
    std::string sampler;         // textures: the sampler state of their unit
    SourceLoc loc;
    uint32_t Count() const { return elements ? elements : 1; }
};

// 32-bit words one element of a variable takes in the value store.
uint32_t ValueStride(const VarType& type);

// The word a number takes in a value of that base type: a float its bits, a bool 0 or 1, an
// int or uint the number truncated toward zero and held to the type's range (NaN gives 0).
uint32_t ValueWord(BaseType base, double value);

struct ConstantBuffer {
    std::string name;
    std::string body;  // the members, as written
    SourceLoc loc;
};

// State descriptions with the device's numeric values.
struct SamplerState {
    uint32_t Filter = 0x15, AddressU = 3, AddressV = 3, AddressW = 3;
    float MipLODBias = 0;
    uint32_t MaxAnisotropy = 16, ComparisonFunc = 1;
    float BorderColor[4] = {0, 0, 0, 0};
    float MinLOD = -3.402823466e+38f, MaxLOD = 3.402823466e+38f;
};
struct BlendState {
    uint32_t AlphaToCoverageEnable = 0;
    uint32_t BlendEnable[8] = {};
    uint32_t SrcBlend = 2, DestBlend = 1, BlendOp = 1, SrcBlendAlpha = 2, DestBlendAlpha = 1, BlendOpAlpha = 1;
    uint32_t RenderTargetWriteMask[8] = {15, 15, 15, 15, 15, 15, 15, 15};
};
struct StencilOps {
    uint32_t StencilFailOp = 1, StencilDepthFailOp = 1, StencilPassOp = 1, StencilFunc = 8;
};
struct DepthStencilState {
    uint32_t DepthEnable = 1, DepthWriteMask = 1, DepthFunc = 2, StencilEnable = 0;
    uint32_t StencilReadMask = 0xFF, StencilWriteMask = 0xFF;
    StencilOps FrontFace, BackFace;
};
struct RasterizerState {
    uint32_t FillMode = 3, CullMode = 3, FrontCounterClockwise = 0;
    int32_t DepthBias = 0;
    float DepthBiasClamp = 0, SlopeScaledDepthBias = 0;
    uint32_t DepthClipEnable = 1, ScissorEnable = 0, MultisampleEnable = 0, AntialiasedLineEnable = 0;
};

struct Param {
    bool out = false;
    std::string interpolation;  // "flat", "noperspective", "smooth", "centroid" or empty
    std::string type;
    std::string name;
    std::string semantic;  // upper case, without the index
    uint32_t index = 0;
};

struct Function {
    std::string name;
    std::string returnType;
    std::string returnSemantic;  // entries returning a value
    uint32_t returnIndex = 0;
    std::vector<Param> params;
    bool hasSemantics = false;
};

struct Pass {
    std::string name;
    std::string vertexShader, pixelShader;
    // Empty: the pass leaves that state alone; "NULL": the device's default state.
    std::string blendState, depthStencilState, rasterizerState;
    float blendFactor[4] = {0, 0, 0, 0};
    uint32_t sampleMask = 0xFFFFFFFFu;
    uint32_t stencilRef = 0;
    SourceLoc loc;
};

struct Technique {
    std::string name;
    std::vector<Pass> passes;
    SourceLoc loc;
};

// A piece of the shader code at top level, in source order.
struct Item {
    enum Kind { Text, Uniform, Func, CBuffer } kind = Text;
    std::string text;  // Text and Func: the code as GLSL takes it
    int index = -1;    // Uniform: variable, Func: function, CBuffer: constant buffer
    SourceLoc loc;
    std::vector<std::string> idents;  // Func: identifiers its body uses
};

struct EffectDesc {
    std::vector<Variable> variables;
    std::vector<ConstantBuffer> constantBuffers;
    std::map<std::string, SamplerState> samplers;
    std::map<std::string, BlendState> blendStates;
    std::map<std::string, DepthStencilState> depthStates;
    std::map<std::string, RasterizerState> rasterizerStates;
    std::vector<Technique> techniques;
    std::vector<Function> functions;
    std::vector<Item> items;
    std::vector<std::string> files;
    // The first variable and the first function of each name.
    std::unordered_map<std::string, size_t> variableIndex, functionIndex;

    const Variable* FindVariable(const std::string& name) const;
    const Function* FindFunction(const std::string& name) const;
};

// Reads the effect declarations of preprocessed text and checks them (entries exist and carry
// semantics, every state named exists, fragment inputs are written by the vertex entry).
// A pixel entry reads at most kMaxPixelInputs interpolated inputs (a fragment stage takes no
// more components), so that checking the pairs of entries the passes name stays linear.
constexpr size_t kMaxPixelInputs = 128;
// The shape of the code the GL compiler takes (brackets and statements nested, operators in
// one expression), well within what it compiles on a thread's stack.
constexpr size_t kMaxCodeNesting = 256;
constexpr size_t kMaxExpressionOperators = 1024;
bool ParseEffect(const Preprocessed& source, EffectDesc& out, std::string& errors);

// ---- GLSL ----

struct VertexInput {
    std::string semantic;
    uint32_t index = 0;
    int location = 0;
    uint32_t componentType = 0;  // 0 float, 1 int, 2 uint
    uint32_t componentCount = 4;
};

struct StageSource {
    std::string vertex, fragment;
    std::vector<SourceLoc> vertexLines, fragmentLines;  // origin of each line
    std::vector<VertexInput> inputs;
    uint32_t clipDistances = 0;  // gl_ClipDistance[0..n-1] written by the vertex stage
};

bool GeneratePass(const EffectDesc& desc, const Pass& pass, StageSource& out, std::string& errors);

// The GLSL of every pass of the effect, in the order of its techniques and passes: passes with
// the same entries share their StageSource. Refused when the distinct programs together would
// exceed kMaxGeneratedBytes (every program holds the effect's shared code).
constexpr size_t kMaxGeneratedBytes = size_t(64) << 20;
bool GenerateAllPasses(const EffectDesc& desc, std::vector<std::shared_ptr<const StageSource>>& passes,
                       std::string& errors);

// Turns "0:L(C): message" lines of the GL compiler into "file(line,col): message" through
// the line origins of the stage.
std::string MapCompilerLog(const std::string& log, const std::vector<std::string>& files,
                           const std::vector<SourceLoc>& lines);

// ---- Compiled container ----

// The container holds the preprocessed text with its line origins.
std::vector<uint8_t> WriteContainer(const Preprocessed& source);
bool ReadContainer(const void* data, size_t size, Preprocessed& out, std::string& error);
bool IsContainer(const void* data, size_t size);
// The checksum that ends a container, over the bytes before it.
uint64_t ContainerChecksum(const void* data, size_t size);

// Compiles a source file without a device as far as the declarations go.
bool CompileToPreprocessed(const std::string& fileName, const std::string& source, const Defines& defines,
                           const IncludeOpener& open, Preprocessed& out, EffectDesc& desc, std::string& errors);

}  // namespace d3dx10fx
