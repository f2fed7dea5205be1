// Time of one simulation step, of the instanced draw at both program sizes, and of the
// spectrum table of the production's music, on the software device.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "fucrr_support.h"
#include "fw_Effect.h"
#include "platform/d3dx10math.h"

namespace fucrrtest {
namespace {

// A fixture outside GoogleTest's runner: set up and torn down around each benchmark.
class Bench : public FucrrTest {
public:
    void TestBody() override {}
    void Begin() { SetUp(); }
    void End() { TearDown(); }
    using FucrrTest::clock;
    using FucrrTest::device;
    using FucrrTest::tracks;
    using FucrrTest::UpdateAt;
};

void Finish(ID3D10Device* device) {
    // A one-texel read forces the queued work to complete.
    fw_Texture probe(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 1,
                     nullptr);
    restest::ReadBack(probe.mTexture2D);
    probe.Release();
    (void)device;
}

void BM_SimulationStep(benchmark::State& state) {
    Bench bench;
    bench.Begin();
    {
        FucrrEffect effect;
        bench.tracks.SetConstant("Obj_MainType", 3.0f);
        float t = 0.0f;
        bench.UpdateAt(effect, t);
        for (auto _ : state) {
            t = SimulationTime + FucrrEffect::kStepSeconds * 1.5f;  // exactly one step a call
            bench.UpdateAt(effect, t);
            restest::ReadBack(effect.mMatrixTextures[3 * ((effect.mRing + 1) % 3)]->mTexture2D);
        }
    }
    bench.End();
}
BENCHMARK(BM_SimulationStep)->Unit(benchmark::kMillisecond);

void BM_TetraDraw(benchmark::State& state) {
    const uint32_t w = static_cast<uint32_t>(state.range(0)), h = static_cast<uint32_t>(state.range(1));
    Bench bench;
    bench.Begin();
    {
        FucrrEffect effect;
        fw_Texture colour(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R16G16B16A16_FLOAT, w, h,
                          1, nullptr);
        fw_Texture depth(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, w, h, 1, nullptr);
        const D3DXVECTOR3 eye(0.0f, 15.0f, -70.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
        D3DXMATRIX view, projection, viewProjection;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, 0.8f, float(w) / float(h), 1.0f, 300.0f);
        D3DXMatrixMultiply(&viewProjection, &view, &projection);
        effect.GetPyramidEffect()->SetMatrix("ViewProjection", &viewProjection._11);
        effect.GetPyramidEffect()->SetFloat4("EyePositionWorld", eye.x, eye.y, eye.z, 1.0f);
        bench.device->OMSetRenderTargets(1, &colour.mRenderTargetView, depth.mDepthStencilView);
        bench.device->RSSetViewports(1, &colour.mViewport);
        for (auto _ : state) {
            depth.ClearDepth(1.0f);
            effect.BindMatrixTextures(false);
            Finish(bench.device);
        }
        colour.Release();
        depth.Release();
    }
    bench.End();
}
BENCHMARK(BM_TetraDraw)->Args({640, 400})->Args({1280, 800})->Unit(benchmark::kMillisecond);

void BM_SpectrumTable(benchmark::State& state) {
    Bench bench;
    bench.Begin();
    if (!StartMusic()) {
        state.SkipWithError("the audio module is not built");
    } else {
        FucrrEffect effect;
        for (auto _ : state) {
            effect.mFftTable.clear();
            std::remove(FucrrEffect::kFftCachePath);
            effect.LoadOrComputeFft();
            benchmark::DoNotOptimize(effect.mFftTable.data());
        }
    }
    bench.End();
}
BENCHMARK(BM_SpectrumTable)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace fucrrtest
