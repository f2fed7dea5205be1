// The light shafts and the dust on the software device at the production's two render
// sizes: one draw into a half-float target with the scene's depth, until the device is done.
// A camera and a light like the show's: the light 20 above the origin looking down with a
// 90 degree cone, the camera 30 away looking at the cone from the side.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "DustEffect.h"
#include "VolumetricLight.h"
#include "fw_Log.h"
#include "platform/crt.h"
#include "shafts_dust_support.h"
#include "support/device_wait.h"

namespace {

using namespace shaftsdust;

struct Device {
    Device() {
        static int marker;
        if (FAILED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0,
                                     D3D10_SDK_VERSION, &fw_Framework::mDevice)))
            return;
        fw_Log::SetAlertMode(fw_Log::kAlertsToConsole);
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "shafts_dust_bench");
        fw_Framework::mFrameworkRoot = std::string(ZENDRA_PROJECT_DIR) + "/../../libraries/fw";
        UseProductionRoots();
    }
    ~Device() {
        if (gFramework)
            gFramework->ReleaseSharedResources();
        framework.reset();
        if (fw_Framework::mDevice)
            fw_Framework::mDevice->Release();
        fw_Framework::mDevice = nullptr;
    }
    bool Ready() const { return fw_Framework::mDevice && fw_Framework::mEffectPool; }
    std::unique_ptr<fw_Framework> framework;
};

Device& Shared() {
    static Device device;
    return device;
}

void BM_LightShafts(benchmark::State& state) {
    if (!Shared().Ready()) {
        state.SkipWithError("no software device or effect pool");
        return;
    }
    const uint32_t w = uint32_t(state.range(0)), h = uint32_t(state.range(1));
    srand(1);
    VolumetricLight shafts;
    std::unique_ptr<fw_Texture> map(MakeVarianceMap(1024, 20.0f, 4.0f));
    const Camera camera = SetCamera(D3DXVECTOR3(0.0f, 6.0f, 30.0f), D3DXVECTOR3(0.0f, 4.0f, 0.0f), w, h, 10.0f);
    SetLight(*shafts.mEffect, 20.0f, 90.0f, 0.015f, map.get());
    shafts.mEffect->SetTexture("gDustTexture", gFramework->FindOrLoadTexture("dust.png"));
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &camera.view);
    shafts.mEffect->SetFloat4("gRightDirection", inverse._11, inverse._12, inverse._13, 0.0f);
    Target target(w, h);
    for (auto _ : state) {
        target.Clear(0.0f, 0.0f, 0.0f, 0.0f);
        target.Bind();
        shafts.Draw();
        zendratest::WaitForTexture(target.colour.mTexture2D);
    }
    map->Release();
}
BENCHMARK(BM_LightShafts)->Args({640, 400})->Args({1280, 800})->Unit(benchmark::kMillisecond);

void BM_Dust(benchmark::State& state) {
    if (!Shared().Ready()) {
        state.SkipWithError("no software device or effect pool");
        return;
    }
    const uint32_t w = uint32_t(state.range(0)), h = uint32_t(state.range(1));
    srand(1);
    DustEffect dust;
    SetCamera(D3DXVECTOR3(0.0f, 6.0f, 30.0f), D3DXVECTOR3(0.0f, 4.0f, 0.0f), w, h, 10.0f);
    Target target(w, h);
    for (auto _ : state) {
        target.Clear(0.0f, 0.0f, 0.0f, 0.0f);
        target.Bind();
        dust.Draw();
        zendratest::WaitForTexture(target.colour.mTexture2D);
    }
}
BENCHMARK(BM_Dust)->Args({640, 400})->Args({1280, 800})->Unit(benchmark::kMillisecond);

// The clear and the wait alone, to subtract.
void BM_ClearOnly(benchmark::State& state) {
    if (!Shared().Ready()) {
        state.SkipWithError("no software device or effect pool");
        return;
    }
    Target target(uint32_t(state.range(0)), uint32_t(state.range(1)));
    for (auto _ : state) {
        target.Clear(0.0f, 0.0f, 0.0f, 0.0f);
        target.Bind();
        zendratest::WaitForTexture(target.colour.mTexture2D);
    }
}
BENCHMARK(BM_ClearOnly)->Args({640, 400})->Args({1280, 800})->Unit(benchmark::kMillisecond);

}  // namespace
