// The framework's own CPU time per frame, outside GL: the frame step with the timeline
// tracks, a scene and a swap chain that only counts presents.
#include <benchmark/benchmark.h>

#include "core_support.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"

static void FrameStepWithoutGl(benchmark::State& state)
{
    core_test::ResetFramework();
    core_test::FakeSyncDevice device;
    core_test::CountingSwapChain chain;
    core_test::CountingScene scene;
    fw_Framework framework(fw_Framework::NoStartup{}, "core_bench");
    fw_Framework::mSyncTimer = new fw_SyncTimer();
    fw_Framework::mSyncDevice = &device;
    fw_Framework::mDemoTimer = new fw_Timer();
    fw_Framework::mRealTimer = new fw_Timer();
    fw_Framework::mDemoTimer->Restart();
    fw_Framework::mRealTimer->Restart();
    fw_Framework::mSwapChain = &chain;
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
