// The frame step without a display: the timeline tracks "GotoRow" and "Scene", scene
// activation, the frames that are presented but not rendered, Seek, fullscreen re-entry.
#include "core_support.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "fw_Framework.h"
#include "fw_LibraryLoader.h"
#include "fw_Log.h"
#include "fw_Music.h"
#include "fw_Effect.h"
#include "fw_PostEffects.h"
#include "fw_SyncTimer.h"
#include "fw_Release.h"
#include "fw_Texture.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"
#include "fw_Timer.h"

using core_test::CountingScene;
using core_test::CountingSwapChain;
using core_test::FakeSyncDevice;

namespace {

class FrameStep : public testing::Test {
protected:
    void SetUp() override {
        core_test::ResetFramework();
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "zendra");
        core_test::StartFrameClocks(&device, &chain);
    }
    void TearDown() override {
        framework.reset();
        core_test::ResetFramework();
    }
    void AddScenes(int count) {
        for (int i = 0; i < count; ++i) {
            scenes.push_back(std::make_unique<CountingScene>());
            fw_Framework::AddScene(scenes.back().get());
        }
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            framework->Frame();
    }
    float Row() const { return fw_Framework::mSyncTimer->GetRow(); }

    FakeSyncDevice device;
    CountingSwapChain chain;
    std::unique_ptr<fw_Framework> framework;
    std::vector<std::unique_ptr<CountingScene>> scenes;
};

TEST_F(FrameStep, FirstThreeFramesArePresentedButNotRendered) {
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

TEST_F(FrameStep, EmptySceneListStillPresents) {
    Frames(5);
    EXPECT_EQ(5, chain.presents);
    EXPECT_EQ(0u, fw_Framework::mCurrentScene);
}

TEST_F(FrameStep, GotoRowWithoutKeysOrBelowZeroNeverSeeks) {
    AddScenes(1);
    fw_Framework::mDemoTimer->seconds = 2.0;
    Frames(2);
    EXPECT_GE(fw_Framework::mDemoTimer->seconds, 2.0);
    device.SetConstant("GotoRow", -1.0f);
    Frames(2);
    EXPECT_GE(fw_Framework::mDemoTimer->seconds, 2.0);
    EXPECT_TRUE(fw_Framework::mSyncTimer->IsPlaying());
}

TEST_F(FrameStep, GotoRowHalfSeeksEveryFrameAndKeepsPlaying) {
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

TEST_F(FrameStep, GotoRowZeroWithLoopRestartsAndReactivatesTheCurrentScene) {
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

TEST_F(FrameStep, GotoRowZeroWithoutLoopEndsTheProcessWithCodeZero) {
    AddScenes(1);
    device.SetConstant("GotoRow", 0.0f);
    EXPECT_EXIT(framework->Frame(), testing::ExitedWithCode(0), "");
}

// Appends its fullscreen changes to the recording audio module's call file.
class RecordingSwapChain : public CountingSwapChain {
public:
    HRESULT SetFullscreenState(BOOL state, IDXGIOutput* output) override {
        std::ofstream(calls, std::ios::app) << "SetFullscreenState(" << state << ")\n";
        return CountingSwapChain::SetFullscreenState(state, output);
    }
    std::string calls;
};

std::string ReadFile(const boost::filesystem::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(FrameStep, GotoRowZeroLeavesFullscreenAndClosesTheAudioBeforeExiting) {
    // The recording audio module (built beside this program) stands in for the audio library.
    const boost::filesystem::path module = core_test::RecordingAudioModule();
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

TEST_F(FrameStep, SceneTrackSelectsByTruncationAndModulo) {
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

TEST_F(FrameStep, SceneTimeStartsAtActivation) {
    AddScenes(2);
    Frames(3);
    fw_Framework::mDemoTimer->seconds = 10.0;
    device.SetConstant("Scene", 1.0f);
    Frames(1);
    EXPECT_EQ(1, scenes[1]->animations);
    EXPECT_GE(scenes[1]->lastAnimationTime, 0.0f);
    EXPECT_LT(scenes[1]->lastAnimationTime, 0.05f);
}

TEST_F(FrameStep, SeekKeepsPlayOrPause) {
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

TEST_F(FrameStep, FullscreenReentryIsBoundedPerFrameAndRetried) {
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

TEST_F(FrameStep, VerboseReentryLogsTheInconsistencyAndTheAttemptsTaken) {
    core_test::TempDir dir;
    const std::string log = (dir.Path() / "reentry.log").string();
    fw_Log::OpenLogFile(log);
    fw_Framework::mFullscreen = true;
    chain.refusals = 2;
    fw_Framework::Present();  // quiet without mVerbose
    chain.fullscreen = FALSE;
    fw_Framework::mVerbose = true;
    chain.refusals = 2;
    fw_Framework::Present();
    chain.fullscreen = FALSE;
    fw_Framework::Present();
    chain.fullscreen = FALSE;
    chain.refusals = 1000;
    fw_Framework::Present();  // refused all frame long: no success line
    fw_Log::OpenLogFile("");
    const std::string text = ReadFile(log);
    const std::string inconsistency =
        "_ReenterFullscreenIfRequired(): Internal fullscreen state inconsistency.  "
        "mSwapChain->GetFullscreenState(): 0, fw_Framework::mFullscreen: 1, ";
    size_t count = 0;
    for (size_t at = text.find(inconsistency); at != std::string::npos; at = text.find(inconsistency, at + 1))
        ++count;
    EXPECT_EQ(3u, count) << text;
    const std::string three =
        "_ReenterFullscreenIfRequired(): Succeeded setting fullscreen state on swap chain after 3 "
        "attempts.";
    const std::string one =
        "_ReenterFullscreenIfRequired(): Succeeded setting fullscreen state on swap chain after 1 "
        "attempt.";
    const size_t first = text.find(three);
    ASSERT_NE(std::string::npos, first) << text;
    const size_t second = text.find(one, first);
    ASSERT_NE(std::string::npos, second) << text;
    EXPECT_EQ(std::string::npos, text.find("Succeeded", second + one.size())) << text;
}

TEST_F(FrameStep, WindowedNeverTouchesFullscreen) {
    chain.refusals = 0;
    fw_Framework::Present();
    EXPECT_EQ(0, chain.fullscreenCalls);
}

// --- the run loop around a quit already queued, on the software device ----------------

class RunLoop : public testing::Test {
protected:
    void SetUp() override {
        core_test::ResetFramework();
        ID3D10Device* device = core_test::SharedSoftwareDevice();
        ASSERT_NE(nullptr, device);
        device->AddRef();  // Run releases the device it ends with
        fw_Framework::mDevice = device;
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "core_tests");
        fw_Framework::mFrameworkRoot = core_test::FrameworkSourceRoot();
        fw_Framework::mProjectRoot = dir.Path().string();
        previousMode = fw_Log::GetAlertMode();
        previousCaption = fw_Log::GetAlertCaption();
        fw_Log::SetAlertMode(0);
        fw_Log::SetAlertCaption("run");
    }
    void TearDown() override {
        fw_Log::SetAlertMode(previousMode);
        fw_Log::SetAlertCaption(previousCaption == "Alert" ? "" : previousCaption);
        framework.reset();
        core_test::ResetFramework();
    }
    // Run with WM_QUIT(code) waiting; what it wrote to standard output.
    std::string RunUntilQuit(int code, int* result) {
        PostQuitMessage(code);
        testing::internal::CaptureStdout();
        *result = framework->Run();
        return testing::internal::GetCapturedStdout();
    }
    core_test::TempDir dir;
    std::unique_ptr<fw_Framework> framework;
    int32_t previousMode = 0;
    std::string previousCaption;
};

TEST_F(RunLoop, LoadsReportsLoadingIssuesWhenWindowedReleasesAndReturnsTheQuitCode) {
    fw_Log::SetAlertMode(5);
    fw_Log::Write(fw_Log::kWarning, "an issue while loading");
    fw_Log::SetAlertMode(0);
    int result = -1;
    const std::string out = RunUntilQuit(7, &result);
    EXPECT_EQ(7, result);
    const int32_t issues = fw_Log::GetWarningCount();  // with those of the loading itself
    const std::string notice =
        "run: WARNING: There were " + std::to_string(issues) + (issues == 1 ? " issue" : " issues") +
        " found while loading resources, please look in: <>\nfor details about " +
        (issues == 1 ? "this issue and how to resolve it." : "these issues and how to resolve them.");
    EXPECT_NE(std::string::npos, out.find(notice)) << out;
    // The quit came first: no frame ran. Everything of the run is gone again.
    EXPECT_EQ(0u, fw_Framework::mFrameCounter);
    EXPECT_EQ(nullptr, fw_Framework::mDevice);
    EXPECT_EQ(nullptr, fw_Framework::mEffectPool);
    EXPECT_TRUE(framework->mTextures.empty());
    EXPECT_TRUE(framework->mOwnedTextures.empty());
    EXPECT_EQ(nullptr, fw_Framework::mDemoTimer);
    EXPECT_EQ(nullptr, fw_Framework::mRealTimer);
    EXPECT_EQ(nullptr, fw_Framework::mMouse);
    EXPECT_EQ(nullptr, fw_Framework::mPostEffects);
    EXPECT_EQ(nullptr, fw_Framework::mBaseFile);
}

TEST_F(RunLoop, FullscreenShowsNoLoadingNotice) {
    fw_Log::SetAlertMode(5);
    fw_Log::Write(fw_Log::kWarning, "an issue while loading");
    fw_Log::SetAlertMode(0);
    fw_Framework::mFullscreen = true;
    int result = -1;
    const std::string out = RunUntilQuit(0, &result);
    EXPECT_EQ(0, result);
    EXPECT_EQ(std::string::npos, out.find("found while loading resources")) << out;
}

// --- screenshots and the down-scale on the software device --------------------------

struct Rgba {
    uint8_t r, g, b, a;
};

// Four flat quadrants (flat areas survive the lossy file format).
std::vector<Rgba> Quadrants(uint32_t width, uint32_t height, Rgba a, Rgba b, Rgba c, Rgba d) {
    std::vector<Rgba> texels(width * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            texels[y * width + x] = y < height / 2 ? (x < width / 2 ? a : b) : (x < width / 2 ? c : d);
    return texels;
}

// The first mip of an image file, read back through a staging texture.
std::vector<Rgba> ReadImage(const std::string& path, uint32_t* width, uint32_t* height) {
    D3DX10_IMAGE_INFO info = {};
    EXPECT_EQ(S_OK, D3DX10GetImageInfoFromFileA(path.c_str(), nullptr, &info, nullptr)) << path;
    *width = info.Width;
    *height = info.Height;
    D3DX10_IMAGE_LOAD_INFO load;
    load.MipLevels = 1;
    load.Usage = D3D10_USAGE_STAGING;
    load.BindFlags = 0;
    load.CpuAccessFlags = D3D10_CPU_ACCESS_READ;
    ID3D10Resource* resource = nullptr;
    std::vector<Rgba> texels;
    if (FAILED(D3DX10CreateTextureFromFileA(core_test::SharedSoftwareDevice(), path.c_str(), &load, nullptr, &resource,
                                            nullptr)) ||
        !resource) {
        ADD_FAILURE() << "cannot read " << path;
        return texels;
    }
    auto* texture = static_cast<ID3D10Texture2D*>(resource);
    D3D10_MAPPED_TEXTURE2D mapped = {};
    if (SUCCEEDED(texture->Map(0, D3D10_MAP_READ, 0, &mapped))) {
        texels.resize(size_t(info.Width) * info.Height);
        for (uint32_t y = 0; y < info.Height; ++y)
            std::memcpy(&texels[size_t(y) * info.Width],
                        static_cast<const uint8_t*>(mapped.pData) + y * mapped.RowPitch, info.Width * sizeof(Rgba));
        texture->Unmap(0);
    }
    texture->Release();
    return texels;
}

void ExpectNear(Rgba expected, Rgba actual, const std::string& where) {
    EXPECT_NEAR(expected.r, actual.r, 12) << where;
    EXPECT_NEAR(expected.g, actual.g, 12) << where;
    EXPECT_NEAR(expected.b, actual.b, 12) << where;
}

// The middle of each quadrant of the picture at x offset left and the given size.
void ExpectQuadrants(const std::vector<Rgba>& picture, uint32_t pictureWidth, uint32_t left, uint32_t width,
                     uint32_t height, const std::vector<Rgba>& expected, const std::string& name) {
    for (uint32_t y : {height / 4, height * 3 / 4})
        for (uint32_t x : {width / 4, width * 3 / 4})
            ExpectNear(expected[y * width + x], picture[size_t(y) * pictureWidth + left + x],
                       name + " at " + std::to_string(x) + ", " + std::to_string(y));
}

// A framework without start-up on the shared software device.
class SoftwareFramework : public testing::Test {
protected:
    void SetUp() override {
        core_test::ResetFramework();
        fw_Framework::mDevice = core_test::SharedSoftwareDevice();
        ASSERT_NE(nullptr, fw_Framework::mDevice);
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "core_tests");
    }
    std::unique_ptr<fw_Framework> framework;
};

class Screenshots : public SoftwareFramework {
protected:
    void SetUp() override {
        SoftwareFramework::SetUp();
        if (HasFatalFailure())
            return;
        fw_Framework::mProjectRoot = dir.Path().string();
        dir.MakeDir("data/screenshots");
    }
    void TearDown() override {
        framework.reset();
        if (fw_Framework::mScreenshotTexture)
            fw_Framework::mScreenshotTexture->Release();
        fw_Framework::mScreenshotTexture = nullptr;
        core_test::ResetFramework();
    }
    // Owned by the framework.
    void BackBuffer(const std::vector<Rgba>& texels) {
        auto* texture = new fw_Texture(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE,
                                       DXGI_FORMAT_R8G8B8A8_UNORM, kWidth, kHeight, 1, texels.data());
        framework->AddTexture("backbuffer", texture);
    }
    std::vector<std::string> Shots() const {
        std::vector<std::string> names;
        for (const auto& entry : boost::filesystem::directory_iterator(dir.Path() / "data/screenshots"))
            names.push_back(entry.path().string());
        return names;
    }
    static constexpr uint32_t kWidth = 64, kHeight = 32;
    core_test::TempDir dir;
};

TEST_F(Screenshots, MonoWritesTheBackBufferAsAPicture) {
    const std::vector<Rgba> texels =
        Quadrants(kWidth, kHeight, {230, 20, 20, 255}, {20, 230, 20, 255}, {20, 20, 230, 255}, {230, 230, 230, 255});
    BackBuffer(texels);
    framework->SaveScreenshot(0);  // not requested: nothing
    EXPECT_TRUE(Shots().empty());

    fw_Framework::mScreenshotRequest = true;
    framework->SaveScreenshot(0);
    EXPECT_FALSE(fw_Framework::mScreenshotRequest);
    const std::vector<std::string> shots = Shots();
    ASSERT_EQ(1u, shots.size());
    EXPECT_EQ(".jpg", boost::filesystem::path(shots[0]).extension().string());
    uint32_t width = 0, height = 0;
    const std::vector<Rgba> picture = ReadImage(shots[0], &width, &height);
    ASSERT_EQ(kWidth, width);
    ASSERT_EQ(kHeight, height);
    ASSERT_EQ(size_t(width) * height, picture.size());
    ExpectQuadrants(picture, width, 0, kWidth, kHeight, texels, "mono");
}

TEST_F(Screenshots, StereoPutsTheEyesSideBySideInOneDoubleWidthPicture) {
    fw_Framework::mStereoActive = true;
    const std::vector<Rgba> left =
        Quadrants(kWidth, kHeight, {230, 20, 20, 255}, {20, 230, 20, 255}, {20, 20, 230, 255}, {230, 230, 20, 255});
    const std::vector<Rgba> right =
        Quadrants(kWidth, kHeight, {20, 230, 230, 255}, {230, 20, 230, 255}, {128, 128, 128, 255}, {20, 20, 20, 255});
    BackBuffer(left);
    fw_Framework::mScreenshotRequest = true;
    framework->SaveScreenshot(0);
    EXPECT_TRUE(fw_Framework::mScreenshotRequest);  // the picture waits for the second eye
    EXPECT_TRUE(Shots().empty());

    BackBuffer(right);
    framework->SaveScreenshot(1);
    EXPECT_FALSE(fw_Framework::mScreenshotRequest);
    EXPECT_EQ(nullptr, fw_Framework::mScreenshotTexture);
    const std::vector<std::string> shots = Shots();
    ASSERT_EQ(1u, shots.size());
    EXPECT_EQ(".jps", boost::filesystem::path(shots[0]).extension().string());
    uint32_t width = 0, height = 0;
    const std::vector<Rgba> picture = ReadImage(shots[0], &width, &height);
    ASSERT_EQ(2 * kWidth, width);
    ASSERT_EQ(kHeight, height);
    ASSERT_EQ(size_t(width) * height, picture.size());
    ExpectQuadrants(picture, width, 0, kWidth, kHeight, left, "left eye");
    ExpectQuadrants(picture, width, kWidth, kWidth, kHeight, right, "right eye");
}

TEST_F(Screenshots, WithoutABackBufferTheRequestIsDropped) {
    fw_Framework::mScreenshotRequest = true;
    framework->SaveScreenshot(0);
    EXPECT_FALSE(fw_Framework::mScreenshotRequest);
    EXPECT_TRUE(Shots().empty());
}

// The down-scale into the swap chain's buffer: the picture goes between the letterbox bars,
// whatever the bar height asked for.
class DownScale : public SoftwareFramework {
protected:
    void SetUp() override {
        SoftwareFramework::SetUp();
        if (HasFatalFailure())
            return;
        fw_Framework::mFrameworkRoot = core_test::FrameworkSourceRoot();
        fw_Framework::mEffectPool = CreateSharedEffectPool();
        ASSERT_NE(nullptr, fw_Framework::mEffectPool);
        fw_Framework::mPostEffects = &post;
        post.Load();
        ASSERT_TRUE(post.IsLoaded());
        fw_Framework::mWindowWidth = 64;
        fw_Framework::mWindowHeight = 40;
        output.reset(new fw_Texture(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM,
                                    64, 40, 1, nullptr));
        source = new fw_Texture(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 64,
                                20, 1, nullptr);
        fw_Framework::mSwapChainTexture = output.get();
        framework->AddTexture("backbuffer", source);
        fw_Framework::mSwapChain = &chain;
    }
    void TearDown() override {
        post.Release();
        fw_Framework::mPostEffects = nullptr;
        fw_Framework::mSwapChainTexture = nullptr;
        if (fw_Framework::mEffectPool)
            fw_Framework::mEffectPool->Release();
        fw_Framework::mEffectPool = nullptr;
        framework.reset();
        core_test::ResetFramework();
    }
    D3D10_VIEWPORT Viewport() {
        UINT count = 1;
        D3D10_VIEWPORT viewport = {};
        fw_Framework::mDevice->RSGetViewports(&count, &viewport);
        EXPECT_EQ(1u, count);
        return viewport;
    }
    fw_PostEffects post;
    CountingSwapChain chain;
    std::unique_ptr<fw_Texture, fw_ReleaseAndDelete> output;
    fw_Texture* source = nullptr;  // owned by the framework
};

TEST_F(DownScale, PresentPutsThePictureBetweenTheBars) {
    fw_Framework::mLetterbox = true;
    fw_Framework::mRenderWidth = 64;
    fw_Framework::mRenderHeight = 20;
    EXPECT_EQ(S_OK, fw_Framework::Present());
    D3D10_VIEWPORT viewport = Viewport();
    EXPECT_EQ(10, viewport.TopLeftY);
    EXPECT_EQ(20u, viewport.Height);
    EXPECT_EQ(64u, viewport.Width);

    // Taller than the output: no bars.
    fw_Framework::mRenderHeight = 80;
    EXPECT_EQ(S_OK, fw_Framework::Present());
    viewport = Viewport();
    EXPECT_EQ(0, viewport.TopLeftY);
    EXPECT_EQ(40u, viewport.Height);

    // No picture height: the bars cover everything, the viewport stays within the output.
    fw_Framework::mRenderHeight = -40;
    EXPECT_EQ(S_OK, fw_Framework::Present());
    viewport = Viewport();
    EXPECT_EQ(20, viewport.TopLeftY);
    EXPECT_EQ(0u, viewport.Height);
    EXPECT_EQ(3, chain.presents);
}

TEST_F(DownScale, NegativeBarsDrawPastTheEdgesAndOversizedOnesLeaveNothingToDraw) {
    // Presenting never asks for a negative bar; asked directly, the viewport moves up and grows.
    post.HighQualityDownScale(source, -7);
    D3D10_VIEWPORT viewport = Viewport();
    EXPECT_EQ(-7, viewport.TopLeftY);
    EXPECT_EQ(54u, viewport.Height);

    post.HighQualityDownScale(source, 21);
    viewport = Viewport();
    EXPECT_EQ(0u, viewport.Height);
    EXPECT_LE(viewport.TopLeftY, 40);

    post.HighQualityDownScale(source, 5);
    viewport = Viewport();
    EXPECT_EQ(5, viewport.TopLeftY);
    EXPECT_EQ(30u, viewport.Height);
}

}  // namespace
