// The framework's own CPU time per frame, outside GL: the frame step with the timeline
// tracks, a scene and a swap chain that only counts presents.
#include <benchmark/benchmark.h>

#include "core_support.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"

static void FrameStepWithoutGl(benchmark::State& state) {
    core_test::ResetFramework();
    core_test::FakeSyncDevice device;
    core_test::CountingSwapChain chain;
    core_test::CountingScene scene;
    fw_Framework framework(fw_Framework::NoStartup{}, "core_bench");
    core_test::StartFrameClocks(&device, &chain);
    fw_Framework::AddScene(&scene);
    device.SetConstant("GotoRow", -1.0f);
    device.SetConstant("Scene", 0.0f);
    for (auto _ : state) {
        framework.Frame();
        device.updates.clear();
    }
    state.counters["renders"] = scene.renders;
    core_test::ResetFramework();
}
BENCHMARK(FrameStepWithoutGl)->Unit(benchmark::kMicrosecond);
