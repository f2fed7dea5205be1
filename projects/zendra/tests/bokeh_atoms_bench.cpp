// Bokeh and atoms on the software device at the two render sizes, each timed with the
// shipped effect files (primitives that draw nothing collapse in the vertex shader) and
// with variants that draw every primitive: each pixel a 3-pixel triangle for the bokeh,
// each resting pixel a one-pixel line for the atoms. Time is draw + finish.
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/filesystem.hpp>

#include "AtomsEffect.h"
#include "BokehEffect.h"
#include "bokeh_atoms_support.h"
#include "fw_Effect.h"
#include "fw_Log.h"
#include "support/device_wait.h"

namespace {

namespace fs = boost::filesystem;

struct Environment {
    Environment() {
        static int marker;
        D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0, D3D10_SDK_VERSION,
                          &fw_Framework::mDevice);
        fw_Log::SetAlertMode(fw_Log::kAlertsToConsole);
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "bokeh_atoms_bench");
        fw_Framework::mFrameworkRoot = FW_SOURCE_ROOT;
        fw_Framework::mProjectRoot = ZENDRA_PROJECT_DIR;
        fw_Framework::mEffectPool = CreateSharedEffectPool();
        fw_Framework::mSyncDevice = &sync;
        // The variants: the shipped files behind a definition, in a project tree of their own.
        variants = fs::temp_directory_path() / fs::unique_path("bokeh-atoms-%%%%");
        fs::create_directories(variants / "src" / "shaders");
        for (const char* name : {"bokeh.fx", "atoms.fx"}) {
            std::stringstream text;
            text << std::ifstream(std::string(ZENDRA_PROJECT_DIR) + "/src/shaders/" + name).rdbuf();
            std::ofstream((variants / "src" / "shaders" / name).string())
                << "#define BOKEH_DRAW_EVERY_PRIMITIVE 1\n#define ATOMS_DRAW_EVERY_PRIMITIVE 1\n"
                << text.str();
        }
    }
    ~Environment() { fs::remove_all(variants); }
    restest::TestSyncDevice sync;
    std::unique_ptr<fw_Framework> framework;
    fs::path variants;
};

Environment& Env() {
    static Environment environment;
    return environment;
}

void UseVariants(bool everyPrimitive) {
    fw_Framework::mProjectRoot = everyPrimitive ? Env().variants.string() : std::string(ZENDRA_PROJECT_DIR);
}

// A dark scene with a share of bright pixels scattered over it (eye distances from near to
// far over the width).
std::vector<float> Scene(uint32_t w, uint32_t h, double brightShare) {
    std::vector<float> rgba(size_t(w) * h * 4);
    uint32_t state = 5;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            float* t = &rgba[(size_t(y) * w + x) * 4];
            const bool bright = (state = state * 1664525u + 1013904223u) < brightShare * 4294967296.0;
            const float level = bright ? 3.0f : 0.15f;
            t[0] = level, t[1] = level * 0.9f, t[2] = level * 0.8f, t[3] = 10.0f + 60.0f * x / w;
        }
    return rgba;
}

// Arguments: width, height, bright pixels in tenths of a percent, every primitive drawn.
void Bokeh(benchmark::State& state) {
    Env();
    const uint32_t w = uint32_t(state.range(0)), h = uint32_t(state.range(1));
    UseVariants(state.range(3) != 0);
    fw_Framework::mRenderWidth = int32_t(w);
    fw_Framework::mRenderHeight = int32_t(h);
    auto bokeh = std::make_unique<BokehEffect>(int(w), int(h));
    UseVariants(false);
    auto source = bokehatoms::FloatSource(w, h, Scene(w, h, state.range(2) / 1000.0));
    bokehatoms::Target target(w, h, DXGI_FORMAT_R16G16B16A16_FLOAT);
    target.Bind();
    bokeh->Draw(source.get());
    zendratest::WaitForTexture(target.texture->mTexture2D);
    for (auto _ : state) {
        bokeh->Draw(source.get());
        zendratest::WaitForTexture(target.texture->mTexture2D);
    }
    state.SetLabel(state.range(3) ? "every primitive" : "culled");
    bokeh.reset();
    fw_Framework::mDevice->ClearState();
}

// Arguments: width, height, parameter in percent, every primitive drawn.
void Atoms(benchmark::State& state) {
    Environment& env = Env();
    const uint32_t w = uint32_t(state.range(0)), h = uint32_t(state.range(1));
    UseVariants(state.range(3) != 0);
    fw_Framework::mRenderWidth = int32_t(w);
    fw_Framework::mRenderHeight = int32_t(h);
    fw_Log::SetEcho(false);
    auto atoms = std::make_unique<AtomsEffect>(int(w), int(h));
    UseVariants(false);
    env.sync.SetConstant("Atoms_Param", state.range(2) / 100.0f);
    env.sync.SetConstant("Atoms_TransType", 0.0f);
    fw_Texture* card = env.framework->FindOrLoadTexture("flipcard1.png");
    bokehatoms::Target second(w, h, DXGI_FORMAT_R8G8B8A8_UNORM);
    second.texture->ClearColor(0.2f, 0.3f, 0.4f, 1.0f);
    bokehatoms::Target target(w, h, DXGI_FORMAT_R8G8B8A8_UNORM);
    target.Bind();
    atoms->Draw(card, second.texture.get());
    zendratest::WaitForTexture(target.texture->mTexture2D);
    for (auto _ : state) {
        atoms->Draw(card, second.texture.get());
        zendratest::WaitForTexture(target.texture->mTexture2D);
    }
    state.SetLabel(state.range(3) ? "every primitive" : "culled");
    atoms.reset();
    fw_Framework::mDevice->ClearState();
}

void Sizes(benchmark::internal::Benchmark* b, std::vector<int64_t> values) {
    for (auto [w, h] : {std::pair{640, 400}, {1280, 800}})
        for (int64_t v : values)
            for (int every : {0, 1})
                b->Args({w, h, v, every});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
}

BENCHMARK(Bokeh)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, {0, 10, 100}); });
BENCHMARK(Atoms)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, {0, 50}); });

}  // namespace

BENCHMARK_MAIN();
