// Frames per second of a test scene with the framework's post passes on the software
// renderer, at two render sizes, and the framework's own CPU time per frame outside GL.
//
// A frame is the run loop's: fw_Framework::Frame() on a real window, device and swap chain
// of the render size, whose scene clears "backbuffer" and "d32f_backbuffer", draws a lit
// torus of 9,216 triangles, then chains the post passes (Copy into a float target, Bloom,
// Blur5Taps, HighQualityDownScale into the swap chain's buffer); then Present, and
// glFinish so that the time covers the renderer's work. Without a display only the
// frame step outside GL is measured. A plain table of the results follows the run.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <malloc.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core_support.h"
#include "d3d10_read_back.h"
#include "fw_Effect.h"
#include "fw_Log.h"
#include "fw_Mesh.h"
#include "fw_PostEffects.h"
#include "fw_SyncTimer.h"
#include "fw_Texture.h"
#include "fw_Timer.h"
#include "platform/d3d10.h"
#include "platform/d3d10_gl.h"
#include "platform/d3dx10.h"
#include "platform/win32.h"

namespace fs = boost::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The scene's effect, a child of the framework's pool (World, ViewProjection, Diffuse).
const char* kSceneEffect = R"(
#include "fw_Globals.fxi"
blend_state Opaque { BlendEnable[0] = FALSE; };
depth_stencil_state DepthLess { DepthEnable = TRUE; DepthWriteMask = ALL; DepthFunc = LESS; };
rasterizer_state NoCull { CullMode = NONE; };
void SceneVS(in vec3 pos : POSITION, in vec3 nrm : NORMAL, in vec2 uv : TEXCOORD0,
             out vec4 hpos : SV_Position, out vec3 n : TEXCOORD1, out vec2 t : TEXCOORD0) {
    hpos = ViewProjection * (World * vec4(pos, 1.0));
    n = (World * vec4(nrm, 0.0)).xyz;
    t = uv;
}
// Diffuse light with bright stripes above the bloom cut-off.
void ScenePS(in vec3 n : TEXCOORD1, in vec2 t : TEXCOORD0, out vec4 color : SV_Target0) {
    float light = max(dot(normalize(n), normalize(vec3(0.4, 0.8, -0.5))), 0.0);
    float stripe = step(0.8, fract(t.x * 24.0));
    color = vec4(Diffuse.rgb * (0.2 + light) + vec3(stripe), 1.0);
}
technique Default { pass P0 { VertexShader = SceneVS; PixelShader = ScenePS; BlendState = Opaque;
                              DepthStencilState = DepthLess; RasterizerState = NoCull; } }
)";

constexpr int kRings = 96, kSides = 48;  // 2 * 96 * 48 = 9,216 triangles
// Quads a frame of the chain below: Copy 1, Bloom 16 (one blur round each way and level: the
// step is the shadow blur's, under half a texel), Blur5Taps 2, HighQualityDownScale 1.
constexpr double kPostDrawsPerFrame = 20.0;

// The framework's folder: ZENDRA_FW_SOURCE_ROOT, else the folder two above this file's.
std::string SourceRoot() {
    const std::string root = core_test::FrameworkSourceRoot();
    return root.empty() ? fs::path(__FILE__).parent_path().parent_path().parent_path().string() : root;
}

void DrainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message != WM_QUIT)
            DispatchMessageA(&message);
}

// A torus around the Z axis, radii 1 and 0.35.
void MakeTorus(std::vector<fw_MeshVertex>& vertices, std::vector<uint32_t>& indices) {
    const float pi2 = 6.2831853f;
    for (int i = 0; i <= kRings; ++i)
        for (int j = 0; j <= kSides; ++j) {
            const float u = pi2 * i / kRings, v = pi2 * j / kSides;
            const float nx = std::cos(u) * std::cos(v), ny = std::sin(u) * std::cos(v), nz = std::sin(v);
            vertices.push_back({{std::cos(u) + 0.35f * nx, std::sin(u) + 0.35f * ny, 0.35f * nz},
                                {nx, ny, nz},
                                {float(i) / kRings, float(j) / kSides}});
        }
    for (uint32_t i = 0; i < kRings; ++i)
        for (uint32_t j = 0; j < kSides; ++j) {
            const uint32_t a = i * (kSides + 1) + j, b = a + kSides + 1;
            indices.insert(indices.end(), {a, b, a + 1, a + 1, b, b + 1});
        }
}

class TorusScene : public fw_Scene {
public:
    TorusScene() : fw_Scene("core_fps_bench.xml") {}
    void UpdateAnimation(float t) override { mTime = t; }
    void LoadResources() override {
        mEffect = std::make_unique<fw_Effect>("core_fps_scene.fx", fw_Framework::mEffectPool);
        mTechnique = mEffect->GetTechnique("Default");
        std::vector<fw_MeshVertex> vertices;
        std::vector<uint32_t> indices;
        MakeTorus(vertices, indices);
        mMesh = std::make_unique<fw_Mesh>(indices.data(), uint32_t(indices.size()), vertices.data(),
                                          uint32_t(vertices.size()), mEffect.get());
        mMesh->CreateLayoutSlot9(mTechnique);
    }
    void ReleaseResources() override {
        mMesh.reset();
        mEffect.reset();
    }
    bool IsUsable() const { return mEffect && mEffect->IsValid() && mMesh && mMesh->mMesh; }

    void Render() override {
        fw_Framework& fw = *gFramework;
        fw_Texture* back = fw.FindTexture("backbuffer");
        fw_Texture* depth = fw.FindTexture("d32f_backbuffer");
        fw_Texture* hdr = fw.FindTexture("r16g16b16a16f_3");
        fw_Texture* scratch = fw.FindTexture("r16g16b16a16f_4");
        fw_PostEffects* post = fw_Framework::mPostEffects;
        if (!back || !depth || !hdr || !scratch || !post || !mMesh)
            return;

        back->ClearColor(0.05f, 0.05f, 0.08f, 1.0f);
        depth->ClearDepth(1.0f);
        fw_Framework::SetRenderTargets(0, back, nullptr, nullptr, depth);
        D3DXMATRIX world, view, projection, viewProjection;
        D3DXMatrixRotationYawPitchRoll(&world, 0.7f * mTime, 0.4f * mTime + 0.6f, 0.0f);
        const D3DXVECTOR3 eye(0.0f, 0.0f, -3.2f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, 0.9f, fw_Framework::GetRenderAspect(), 0.1f, 100.0f);
        D3DXMatrixMultiply(&viewProjection, &view, &projection);
        fw.SetWorldMatrix(&world);
        if (fw.mViewProjectionVar)
            fw.mViewProjectionVar->SetMatrix(reinterpret_cast<float*>(&viewProjection));
        mMesh->Draw(mTechnique, true);

        // The end of a production frame: the picture into a float target, glow, a soft
        // blur in place, and the filtered pass into the swap chain's buffer.
        post->Copy(back, hdr);
        post->Bloom(hdr, hdr);
        post->Blur5Taps(hdr, scratch, hdr);
        post->HighQualityDownScale(hdr, fw_Framework::LetterboxBarHeight());
    }

private:
    float mTime = 0.0f;
    std::unique_ptr<fw_Effect> mEffect;
    std::unique_ptr<fw_Mesh> mMesh;
    ID3D10EffectTechnique* mTechnique = nullptr;
};

// Share of the texture's pixels brighter than the clear colour (RGBA8 only).
double LitFraction(fw_Texture* texture) {
    d3d10test::TextureCopy copy;
    if (!d3d10test::ReadTexture(texture->mTexture2D, copy))
        return 0.0;
    double lit = 0.0;
    for (UINT y = 0; y < copy.desc.Height; ++y) {
        const uint8_t* row = copy.Row(y);
        for (UINT x = 0; x < copy.desc.Width; ++x)
            lit += (row[4 * x] + row[4 * x + 1] + row[4 * x + 2]) > 3 * 64 ? 1.0 : 0.0;
    }
    return lit / (double(copy.desc.Width) * copy.desc.Height);
}

// Everything a frame needs at one render size: clocks, sync tracks, window, device, swap
// chain, the framework's shared resources and the scene.
class Rig {
public:
    Rig(int width, int height) : mWidth(width), mHeight(height) {}
    ~Rig() { Stop(); }

    // An empty text, or why the frames cannot run.
    std::string Start() {
        core_test::ResetFramework();
        // The roots: the framework's sources and the scratch folder (the working directory).
        fw_Framework::mFrameworkRoot = SourceRoot();
        fw_Framework::mProjectRoot = fs::current_path().string();
        core_test::StartFrameClocks(&mSync);
        mSync.SetConstant("GotoRow", -1.0f);
        mSync.SetConstant("Scene", 0.0f);
        mSync.SetConstant("Post_Bloom", 20.0f);
        mSync.SetConstant("bloomCutoff", 0.6f);
        fw_Framework::AddScene(&mScene);

        fw_Framework::mWindowWidth = mWidth;
        fw_Framework::mWindowHeight = mHeight;
        fw_Framework::mTitle = "core fps bench";
        if (FAILED(fw_Framework::CreateAppWindow(nullptr, SW_SHOW)))
            return "no window";
        mWindow = fw_Framework::mWindow;
        const HRESULT hr = fw_Framework::CreateDeviceAndSwapChain();
        if (FAILED(hr))
            return "no device";
        fw_Framework::mPostEffects = new fw_PostEffects();
        gFramework->LoadSharedResources();
        mScene.LoadResources();
        if (!mScene.IsUsable())
            return "the test scene's effect or mesh could not be made";
        if (!fw_Framework::mPostEffects->GetEffect() || !fw_Framework::mPostEffects->GetEffect()->IsValid())
            return "the post passes' effect could not be made";
        DrainMessages();
        return {};
    }

    void Frame() {
        DrainMessages();
        gFramework->Frame();
        mSync.updates.clear();
        D3D10GL_MakeCurrent(fw_Framework::mDevice);
        glFinish();
    }

    void Stop() {
        if (fw_Framework::mDevice)
            fw_Framework::ReleaseDevice();
        delete fw_Framework::mPostEffects;
        fw_Framework::mPostEffects = nullptr;
        if (mWindow) {
            DestroyWindow(mWindow);
            UnregisterClassA("FrameworkWindowClass", nullptr);
            mWindow = nullptr;
            fw_Framework::mWindow = nullptr;
        }
        DrainMessages();
        core_test::ResetFramework();
    }

    bool Is(int width, int height) const { return width == mWidth && height == mHeight; }

private:
    int mWidth, mHeight;
    core_test::FakeSyncDevice mSync;
    TorusScene mScene;
    HWND mWindow = nullptr;
};

// Process-wide: the framework object, a scratch working folder holding the scene's
// effect, the rig of the size measured last, the results and whether a run failed.
struct Bench {
    core_test::TempDir folder;
    fw_Framework framework{fw_Framework::NoStartup{}, "core_fps_bench"};
    std::unique_ptr<Rig> rig;
    std::vector<std::pair<std::string, double>> msPerFrame;  // in order of first result
    bool failed = false;

    void Record(const std::string& name, double ms) {
        for (auto& entry : msPerFrame)
            if (entry.first == name) {
                entry.second = ms;  // the last run of a benchmark is its measured one
                return;
            }
        msPerFrame.emplace_back(name, ms);
    }
};
Bench* gBench = nullptr;

void FramesPerSecond(benchmark::State& state, int width, int height) {
    Bench& bench = *gBench;
    if (!bench.rig || !bench.rig->Is(width, height)) {
        bench.rig.reset();
        bench.rig = std::make_unique<Rig>(width, height);
        const std::string error = bench.rig->Start();
        if (!error.empty()) {
            bench.rig.reset();
            bench.failed = true;
            state.SkipWithError(error.c_str());
            return;
        }
        // The run loop renders nothing in its first three frames; the rest settle the renderer.
        for (int i = 0; i < 8; ++i)
            bench.rig->Frame();
    }
    const uint64_t drawsBefore = fw_Framework::mPostEffects->GetDrawCount();
    const Clock::time_point start = Clock::now();
    for (auto _ : state)
        bench.rig->Frame();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double frames = double(state.iterations());
    const double postDraws = double(fw_Framework::mPostEffects->GetDrawCount() - drawsBefore) / frames;
    const double lit = LitFraction(fw_Framework::mSwapChainTexture);
    state.counters["frames/s"] = frames / seconds;
    state.counters["post_draws"] = postDraws;
    state.counters["lit"] = lit;
    // A picture of the clear colour alone, or passes that did not draw, are no such frame.
    const char* fault = lit < 0.02                       ? "the picture shows no scene"
                        : postDraws < kPostDrawsPerFrame ? "the post passes drew fewer quads than the chain has"
                                                         : nullptr;
    if (fault) {
        bench.failed = true;
        state.SkipWithError(fault);
        return;
    }
    bench.Record(std::to_string(width) + " x " + std::to_string(height), 1000.0 * seconds / frames);
}

// The frame step of the run loop without GL: timeline tracks, a scene that only counts,
// a swap chain that only counts presents (as core_bench's FrameStepWithoutGl).
void FrameStepWithoutGl(benchmark::State& state) {
    gBench->rig.reset();
    core_test::ResetFramework();
    core_test::FakeSyncDevice device;
    core_test::CountingSwapChain chain;
    core_test::CountingScene scene;
    core_test::StartFrameClocks(&device, &chain);
    fw_Framework::AddScene(&scene);
    device.SetConstant("GotoRow", -1.0f);
    device.SetConstant("Scene", 0.0f);
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        gFramework->Frame();
        device.updates.clear();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["renders"] = scene.renders;
    core_test::ResetFramework();
    gBench->Record("frame step without GL", 1000.0 * seconds / double(state.iterations()));
}

void PrintTable(const Bench& bench) {
    if (bench.msPerFrame.empty())
        return;
    std::printf("\n%-24s | %10s | %10s\n", "size", "frames/s", "ms/frame");
    std::printf("-------------------------+------------+-----------\n");
    for (const auto& [name, ms] : bench.msPerFrame) {
        // The frame step alone is no frame rate: only its time is shown.
        char rate[32] = "-";
        if (name.find(" x ") != std::string::npos)
            std::snprintf(rate, sizeof rate, "%.1f", 1000.0 / ms);
        std::printf("%-24s | %10s | %10.4g\n", name.c_str(), rate, ms);
    }
    std::printf("(llvmpipe; the frame step without GL is the framework's own CPU time, target under 0.5 ms)\n");
}

}  // namespace

int main(int argc, char** argv) {
    // No vertical sync: the swap must not wait for a display refresh.
    setenv("vblank_mode", "0", 1);
    // llvmpipe frees and regrows large blocks every frame; keep the heap from trimming.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const int alertMode = fw_Log::GetAlertMode();
    fw_Log::SetAlertMode(2);  // the notice of the software device is expected here
    int code = 0;
    {
        Bench bench;
        gBench = &bench;
        fw_Framework::mFrameworkRoot = SourceRoot();
        fw_Framework::mProjectRoot = bench.folder.Path().string();
        bench.folder.MakeDir("src/shaders");
        fs::ofstream(bench.folder.Path() / "src/shaders/core_fps_scene.fx") << kSceneEffect;

        benchmark::RegisterBenchmark("FrameStepWithoutGl", FrameStepWithoutGl)->Unit(benchmark::kMicrosecond);
        if (std::getenv("DISPLAY")) {
            for (auto [w, h] : {std::pair{640, 400}, std::pair{1280, 800}})
                benchmark::RegisterBenchmark(("FramesPerSecond/" + std::to_string(w) + "x" + std::to_string(h)).c_str(),
                                             FramesPerSecond, w, h)
                    ->UseRealTime()
                    ->Unit(benchmark::kMillisecond);
        } else {
            std::printf("no display: the frame-rate runs are skipped, only the frame step without GL is measured\n");
        }
        benchmark::RunSpecifiedBenchmarks();
        bench.rig.reset();
        benchmark::Shutdown();
        PrintTable(bench);
        code = bench.failed ? 1 : 0;
        gBench = nullptr;
    }
    fw_Log::SetAlertMode(alertMode);
    return code;
}
