// The frame step without a display: the timeline tracks "GotoRow" and "Scene", scene
// activation, the frames that are presented but not rendered, Seek, fullscreen re-entry.
#include "core_support.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "fw_Framework.h"
#include "fw_LibraryLoader.h"
#include "fw_Log.h"
#include "fw_Music.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"

using core_test::CountingScene;
using core_test::CountingSwapChain;
using core_test::FakeSyncDevice;

namespace {

class FrameStep : public testing::Test {
protected:
    void SetUp() override
    {
        core_test::ResetFramework();
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "zendra");
        fw_Framework::mSyncTimer = new fw_SyncTimer();
        fw_Framework::mSyncDevice = &device;
        fw_Framework::mDemoTimer = new fw_Timer();
        fw_Framework::mRealTimer = new fw_Timer();
        fw_Framework::mDemoTimer->Restart();
        fw_Framework::mRealTimer->Restart();
        fw_Framework::mSwapChain = &chain;
    }
    void TearDown() override
    {
        framework.reset();
        core_test::ResetFramework();
    }
    void AddScenes(int count)
    {
        for (int i = 0; i < count; ++i) {
            scenes.push_back(std::make_unique<CountingScene>());
            fw_Framework::AddScene(scenes.back().get());
        }
    }
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            framework->Frame();
    }
    float Row() const { return fw_Framework::mSyncTimer->GetRow(); }

    FakeSyncDevice device;
    CountingSwapChain chain;
    std::unique_ptr<fw_Framework> framework;
    std::vector<std::unique_ptr<CountingScene>> scenes;
};

TEST_F(FrameStep, FirstThreeFramesArePresentedButNotRendered)
{
    AddScenes(1);
    Frames(3);
    EXPECT_EQ(3, chain.presents);
    EXPECT_EQ(0, scenes[0]->renders);
    EXPECT_EQ(0, scenes[0]->updates);
    Frames(2);
    EXPECT_EQ(5, chain.presents);
    EXPECT_EQ(1u, chain.lastInterval);
    EXPECT_EQ(2, scenes[0]->renders);
    EXPECT_EQ(2, scenes[0]->updates);
    EXPECT_EQ(2, scenes[0]->animations);
    EXPECT_EQ(5u, fw_Framework::mFrameCounter);
    // The first scene is current from the start, without an activation.
    EXPECT_EQ(0, scenes[0]->activations);
    EXPECT_EQ(5u, device.updates.size());
}

TEST_F(FrameStep, EmptySceneListStillPresents)
{
    Frames(5);
    EXPECT_EQ(5, chain.presents);
    EXPECT_EQ(0u, fw_Framework::mCurrentScene);
}

TEST_F(FrameStep, GotoRowWithoutKeysOrBelowZeroNeverSeeks)
{
    AddScenes(1);
    fw_Framework::mDemoTimer->seconds = 2.0;
    Frames(2);
    EXPECT_GE(fw_Framework::mDemoTimer->seconds, 2.0);
    device.SetConstant("GotoRow", -1.0f);
    Frames(2);
    EXPECT_GE(fw_Framework::mDemoTimer->seconds, 2.0);
    EXPECT_TRUE(fw_Framework::mSyncTimer->IsPlaying());
}

TEST_F(FrameStep, GotoRowHalfSeeksEveryFrameAndKeepsPlaying)
{
    AddScenes(1);
    device.SetConstant("GotoRow", 0.5f);
    for (int i = 0; i < 3; ++i) {
        fw_Framework::mDemoTimer->seconds = 3.0;
        framework->Frame();
        EXPECT_NEAR(0.5f, Row(), 1e-3f);
        EXPECT_TRUE(fw_Framework::mSyncTimer->IsPlaying());
    }
    // The sync device saw the row of the seek.
    ASSERT_FALSE(device.updates.empty());
    EXPECT_FLOAT_EQ(0.5f, device.updates.back());
    EXPECT_EQ(0, scenes[0]->activations);
}

TEST_F(FrameStep, GotoRowZeroWithLoopRestartsAndReactivatesTheCurrentScene)
{
    AddScenes(2);
    fw_Framework::mLoop = true;
    fw_Framework::mDemoTimer->seconds = 4.0;
    device.SetConstant("GotoRow", 0.0f);
    device.SetConstant("Scene", 1.0f);
    framework->Frame();
    EXPECT_EQ(1u, fw_Framework::mCurrentScene);
    EXPECT_EQ(1, scenes[1]->activations);
    EXPECT_LT(fw_Framework::mDemoTimer->seconds, 0.01);
    EXPECT_FLOAT_EQ(static_cast<float>(fw_Framework::mDemoTimer->seconds), fw_Framework::mSceneStartTime);
    // Already current: activated again because the timeline started over.
    framework->Frame();
    EXPECT_EQ(2, scenes[1]->activations);
    EXPECT_EQ(0, scenes[0]->activations);
    EXPECT_TRUE(fw_Framework::mSyncTimer->IsPlaying());
}

TEST_F(FrameStep, GotoRowZeroWithoutLoopEndsTheProcessWithCodeZero)
{
    AddScenes(1);
    device.SetConstant("GotoRow", 0.0f);
    EXPECT_EXIT(framework->Frame(), testing::ExitedWithCode(0), "");
}

// Appends its fullscreen changes to the recording audio module's call file.
class RecordingSwapChain : public CountingSwapChain {
public:
    HRESULT SetFullscreenState(BOOL state, IDXGIOutput* output) override
    {
        std::ofstream(calls, std::ios::app) << "SetFullscreenState(" << state << ")\n";
        return CountingSwapChain::SetFullscreenState(state, output);
    }
    std::string calls;
};

std::string ReadFile(const boost::filesystem::path& path)
{
    std::ifstream in(path.string(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(FrameStep, GotoRowZeroLeavesFullscreenAndClosesTheAudioBeforeExiting)
{
    // The recording audio module (built beside this program) stands in for the audio library.
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    const boost::filesystem::path module = boost::filesystem::path(self).parent_path() / "fake_bass.so";
    ASSERT_TRUE(boost::filesystem::exists(module)) << module << " is missing: build services_fake_bass";
    core_test::TempDir dir;
    const std::string calls = (dir.Path() / "calls.txt").string();
    const std::string log = (dir.Path() / "log.txt").string();
    std::ofstream(dir.Path() / "demo.mp3", std::ios::binary) << "ID3 music";

    AddScenes(1);
    device.SetConstant("GotoRow", 0.0f);
    EXPECT_EXIT(
        {
            setenv("FAKE_BASS_LOG", calls.c_str(), 1);
            fw_LibraryCache::Instance()[kBassLibraryName] = LoadLibraryA(module.string().c_str());
            RecordingSwapChain fullscreenChain;
            fullscreenChain.calls = calls;
            fullscreenChain.fullscreen = TRUE;
            fw_Framework::mSwapChain = &fullscreenChain;
            fw_Framework::mFullscreen = true;
            fw_Framework::mVerbose = true;
            fw_Framework::mMusic = new fw_Music((dir.Path() / "demo.mp3").string());
            fw_Log::OpenLogFile(log);
            std::ofstream(calls, std::ios::app) << "frame\n";
            framework->Frame();
            std::ofstream(calls, std::ios::app) << "returned\n";
        },
        testing::ExitedWithCode(0), "");

    const std::string recorded = ReadFile(calls);
    const size_t frame = recorded.find("frame\n");
    const size_t windowed = recorded.find("SetFullscreenState(0)");
    const size_t stop = recorded.find("ChannelStop(1)");
    const size_t freed = recorded.find("Free()", frame);
    ASSERT_NE(std::string::npos, frame) << recorded;
    EXPECT_NE(std::string::npos, windowed) << recorded;
    EXPECT_NE(std::string::npos, stop) << recorded;
    EXPECT_NE(std::string::npos, freed) << recorded;
    EXPECT_LT(frame, windowed) << recorded;
    EXPECT_LT(windowed, freed) << recorded;
    EXPECT_LT(stop, freed) << recorded;
    EXPECT_EQ(std::string::npos, recorded.find("returned")) << recorded;
    EXPECT_EQ("", ReadFile(log));
}

TEST_F(FrameStep, SceneTrackSelectsByTruncationAndModulo)
{
    AddScenes(3);
    device.SetConstant("Scene", -1.0f);  // 0xFFFFFFFF mod 3 = 0, already current
    Frames(2);
    EXPECT_EQ(0u, fw_Framework::mCurrentScene);
    EXPECT_EQ(0, scenes[0]->activations);

    device.SetConstant("Scene", -2.0f);  // 0xFFFFFFFE mod 3 = 2
    fw_Framework::mDemoTimer->seconds = 1.5;
    Frames(2);
    EXPECT_EQ(2u, fw_Framework::mCurrentScene);
    EXPECT_EQ(1, scenes[2]->activations);
    EXPECT_NEAR(1.5f, fw_Framework::mSceneStartTime, 0.05f);

    device.SetConstant("Scene", 4.7f);  // 4 mod 3 = 1
    Frames(1);
    EXPECT_EQ(1u, fw_Framework::mCurrentScene);
    EXPECT_EQ(1, scenes[1]->activations);
}

TEST_F(FrameStep, SceneTimeStartsAtActivation)
{
    AddScenes(2);
    Frames(3);
    fw_Framework::mDemoTimer->seconds = 10.0;
    device.SetConstant("Scene", 1.0f);
    Frames(1);
    EXPECT_EQ(1, scenes[1]->animations);
    EXPECT_GE(scenes[1]->lastAnimationTime, 0.0f);
    EXPECT_LT(scenes[1]->lastAnimationTime, 0.05f);
}

TEST_F(FrameStep, SeekKeepsPlayOrPause)
{
    fw_Framework::mDemoTimer->paused = true;
    fw_Framework::Seek(10.0f, false);
    EXPECT_FALSE(fw_Framework::mSyncTimer->IsPlaying());
    EXPECT_NEAR(10.0f, Row(), 1e-3f);
    EXPECT_FLOAT_EQ(10.0f, device.updates.back());

    fw_Framework::mDemoTimer->paused = false;
    fw_Framework::Seek(20.0f, false);  // playing and no restart: nothing
    EXPECT_NEAR(10.0f, Row(), 1e-3f);
    fw_Framework::Seek(20.0f, true);
    EXPECT_TRUE(fw_Framework::mSyncTimer->IsPlaying());
    EXPECT_NEAR(20.0f, Row(), 1e-2f);

    fw_Framework::Seek(-5.0f, true);  // clamped to 0
    EXPECT_NEAR(0.0f, Row(), 1e-3f);
}

TEST_F(FrameStep, FullscreenReentryIsBoundedPerFrameAndRetried)
{
    fw_Framework::mFullscreen = true;
    chain.refusals = 1000;
    fw_Framework::Present();
    EXPECT_EQ(fw_Framework::kMaxFullscreenAttempts, chain.fullscreenCalls);
    EXPECT_EQ(1, chain.presents);
    chain.refusals = 2;
    fw_Framework::Present();
    EXPECT_EQ(fw_Framework::kMaxFullscreenAttempts + 3, chain.fullscreenCalls);
    EXPECT_TRUE(chain.fullscreen);
    fw_Framework::Present();  // fullscreen again: nothing to do
    EXPECT_EQ(fw_Framework::kMaxFullscreenAttempts + 3, chain.fullscreenCalls);
}

TEST_F(FrameStep, WindowedNeverTouchesFullscreen)
{
    chain.refusals = 0;
    fw_Framework::Present();
    EXPECT_EQ(0, chain.fullscreenCalls);
}

} // namespace
