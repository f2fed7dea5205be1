// Start-up without a display: the project roots and data paths in temporary trees, the
// render size and letterbox table, scene selection values, screenshot names, accessors.
#include "core_support.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Scene.h"
#include "fw_Window.h"

using core_test::TempDir;

namespace {

class Roots : public testing::Test {
protected:
    void SetUp() override { core_test::ResetFramework(); }
    TempDir dir;
    std::string Root() const { return dir.Path().string(); }
};

TEST_F(Roots, ShippedFolderIsBothRoots) {
    dir.MakeDir("src");
    dir.MakeDir("data");
    fw_Framework::FindProjectRoots("zendra");
    EXPECT_EQ(Root(), fw_Framework::mProjectRoot);
    EXPECT_EQ(Root(), fw_Framework::mFrameworkRoot);
}

TEST_F(Roots, SconsMarkerMeansSourceTreeAndTheWalkStartsHere) {
    dir.MakeDir("src");
    dir.MakeDir("data");
    dir.Touch("zendra.scons");
    dir.Touch(".top");
    fw_Framework::FindProjectRoots("zendra");
    EXPECT_EQ(Root() + "/libraries/fw", fw_Framework::mFrameworkRoot);
    EXPECT_EQ(Root() + "/projects/zendra", fw_Framework::mProjectRoot);
}

TEST_F(Roots, WalksUpToTheNearestTopMarker) {
    dir.Touch(".top");
    dir.MakeDir("projects/zendra/deeper");
    boost::filesystem::current_path(dir.Path() / "projects/zendra/deeper");
    fw_Framework::FindProjectRoots("zendra");
    EXPECT_EQ(Root() + "/libraries/fw", fw_Framework::mFrameworkRoot);
    EXPECT_EQ(Root() + "/projects/zendra", fw_Framework::mProjectRoot);
}

TEST_F(Roots, WithoutAnyMarkerTheWalkEndsAtTheTopAndKeepsTheWorkingDirectory) {
    dir.MakeDir("a/b");
    boost::filesystem::current_path(dir.Path() / "a/b");
    if (boost::filesystem::exists("/.top"))
        GTEST_SKIP() << "this machine has a /.top";
    fw_Framework::FindProjectRoots("zendra");
    EXPECT_EQ(Root() + "/a/b", fw_Framework::mProjectRoot);
    EXPECT_EQ(Root() + "/a/b", fw_Framework::mFrameworkRoot);
}

TEST(DataPath, FormsOfPaths) {
    fw_Framework::mProjectRoot = "/p/zendra";
    EXPECT_EQ("C:/x.png", fw_Framework::ResolveDataPath("C:/x.png"));
    EXPECT_EQ("/p/zendra/data/img/a.png", fw_Framework::ResolveDataPath("./data/img/a.png"));
    EXPECT_EQ("/p/zendra/data/a.png", fw_Framework::ResolveDataPath("a.png"));
    EXPECT_EQ("/p/zendra/data/./a.png", fw_Framework::ResolveDataPath("./a.png"));
    EXPECT_EQ("/abs/a.png", fw_Framework::ResolveDataPath("/abs/a.png"));
    // One character is never absolute, not even a colon.
    EXPECT_EQ("/p/zendra/data/:", fw_Framework::ResolveDataPath(":"));
    EXPECT_EQ("/p/zendra/data/a", fw_Framework::ResolveDataPath("a"));
}

class RenderSize : public testing::Test {
protected:
    void SetUp() override { core_test::ResetFramework(); }
    void TearDown() override { core_test::ResetFramework(); }
};

TEST_F(RenderSize, WindowedAtAspectOnePointSixHasNoLetterbox) {
    fw_Framework::mAspect = 1.6f;
    fw_Framework::ComputeRenderSize(false);
    EXPECT_EQ(1280, fw_Framework::mRenderWidth);
    EXPECT_EQ(800, fw_Framework::mRenderHeight);
    EXPECT_FALSE(fw_Framework::mLetterbox);
    EXPECT_FALSE(fw_Framework::RenderSizeDiffers());
    EXPECT_EQ(0, fw_Framework::LetterboxBarHeight());
}

TEST_F(RenderSize, AspectTwoLetterboxesWithEightyRowBars) {
    fw_Framework::mAspect = 2.0f;
    fw_Framework::ComputeRenderSize(false);
    EXPECT_EQ(1280, fw_Framework::mRenderWidth);
    EXPECT_EQ(640, fw_Framework::mRenderHeight);
    EXPECT_TRUE(fw_Framework::mLetterbox);
    EXPECT_TRUE(fw_Framework::RenderSizeDiffers());
    EXPECT_EQ(80, fw_Framework::LetterboxBarHeight());
}

TEST_F(RenderSize, TheLetterboxIsLoggedWithTheOldAndNewSizesAndOnlyThen) {
    TempDir dir;
    const std::string log = (dir.Path() / "render.log").string();
    fw_Log::OpenLogFile(log);
    fw_Framework::mAspect = 1.6f;
    fw_Framework::ComputeRenderSize(false);  // 1280 x 800 is 1.6 already
    fw_Framework::mAspect = 2.0f;
    fw_Framework::ComputeRenderSize(false);
    fw_Log::OpenLogFile("");
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string line =
        "Resizing backbuffer dimensions: (1280, 800) -> (1280, 640) to obtain an aspet ration of "
        "2.00000.   Letterbox will be applied.";
    const size_t at = text.find(line);
    EXPECT_NE(std::string::npos, at) << text;
    EXPECT_EQ(std::string::npos, text.find("Resizing", at + 1)) << text;
}

TEST_F(RenderSize, LetterboxBarsStayWithinTheOutput) {
    fw_Framework::mLetterbox = true;
    // A picture taller than the output: no negative bar.
    fw_Framework::mRenderWidth = 1280;
    fw_Framework::mRenderHeight = 1600;
    EXPECT_EQ(0, fw_Framework::LetterboxBarHeight());
    // A picture of no height: the bars meet in the middle, no more.
    fw_Framework::mRenderHeight = -800;
    EXPECT_EQ(400, fw_Framework::LetterboxBarHeight());
    fw_Framework::mRenderHeight = 0;
    EXPECT_EQ(400, fw_Framework::LetterboxBarHeight());
    // Products that overflow 32 bits are worked out in 64.
    fw_Framework::mWindowWidth = 100000;
    fw_Framework::mWindowHeight = 100000;
    fw_Framework::mRenderWidth = 100000;
    fw_Framework::mRenderHeight = 50000;
    EXPECT_EQ(25000, fw_Framework::LetterboxBarHeight());
    fw_Framework::mRenderWidth = 0;
    EXPECT_EQ(0, fw_Framework::LetterboxBarHeight());
}

TEST_F(RenderSize, FullscreenTakesTheDisplaySize) {
    fw_Framework::mFullscreen = true;
    fw_Framework::mDisplayWidth = 1920;
    fw_Framework::mDisplayHeight = 1200;
    fw_Framework::mAspect = 1.6f;
    fw_Framework::ComputeRenderSize(false);
    EXPECT_EQ(1920, fw_Framework::mRenderWidth);
    EXPECT_EQ(1200, fw_Framework::mRenderHeight);
    EXPECT_FALSE(fw_Framework::mLetterbox);
    EXPECT_FALSE(fw_Framework::RenderSizeDiffers());
}

TEST_F(RenderSize, FinalMarkerKeepsTheWindowSizeInFullscreenAndStretches) {
    fw_Framework::mFullscreen = true;
    fw_Framework::mDisplayWidth = 1920;
    fw_Framework::mDisplayHeight = 1080;
    fw_Framework::mAspect = 1.6f;
    fw_Framework::ComputeRenderSize(true);
    EXPECT_EQ(1280, fw_Framework::mRenderWidth);
    EXPECT_EQ(800, fw_Framework::mRenderHeight);
    EXPECT_FALSE(fw_Framework::mLetterbox);
    EXPECT_TRUE(fw_Framework::RenderSizeDiffers());
    EXPECT_EQ(0, fw_Framework::LetterboxBarHeight());
    EXPECT_EQ(1920, fw_Framework::GetOutputWidth());
    EXPECT_EQ(1080, fw_Framework::GetOutputHeight());
}

TEST_F(RenderSize, ScaleHalvesBeforeTheAspect) {
    fw_Framework::mScale = 0.5f;
    fw_Framework::ComputeRenderSize(false);
    EXPECT_EQ(640, fw_Framework::mRenderWidth);
    EXPECT_EQ(400, fw_Framework::mRenderHeight);
}

TEST_F(RenderSize, AFailedDisplayQueryFallsBackToTheWindowSize) {
    fw_Framework::mFullscreen = true;
    fw_Framework::mAspect = 1.6f;
    fw_Framework::ComputeRenderSize(false);
    EXPECT_EQ(1280, fw_Framework::mRenderWidth);
    EXPECT_EQ(800, fw_Framework::mRenderHeight);
    EXPECT_FALSE(fw_Framework::mLetterbox);
}

// Without any display to ask, the display size is the window size, so a fullscreen swap
// chain and the output aspect never see a zero.
TEST(DisplayMode, AFailedQueryGivesTheWindowSizeAsTheDisplaySize) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "x11", 1);
            unsetenv("DISPLAY");
            fw_Framework::mWindowWidth = 1280;
            fw_Framework::mWindowHeight = 800;
            fw_Framework::mFullscreen = true;
            fw_Framework::QueryDisplayMode();
            const DXGI_SWAP_CHAIN_DESC desc = fw_MakeSwapChainDesc();
            const bool sound = fw_Framework::mDisplayWidth == 1280 && fw_Framework::mDisplayHeight == 800 &&
                               desc.BufferDesc.Width == 1280 && desc.BufferDesc.Height == 800 &&
                               fw_Framework::GetOutputAspect() == 1.6f;
            std::exit(sound ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RenderSize, TheSwapChainIsAskedForTheOutputSizeAndRateTwoBuffersAndSampling) {
    fw_Framework::mDisplayWidth = 1920;
    fw_Framework::mDisplayHeight = 1080;
    fw_Framework::mDisplayHz = 75;
    fw_Framework::mWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(0x1234));
    fw_Framework::mRenderWidth = 320;  // the render size plays no part
    fw_Framework::mRenderHeight = 200;
    DXGI_SWAP_CHAIN_DESC desc = fw_MakeSwapChainDesc();
    EXPECT_EQ(1280u, desc.BufferDesc.Width);
    EXPECT_EQ(800u, desc.BufferDesc.Height);
    EXPECT_EQ(75u, desc.BufferDesc.RefreshRate.Numerator);
    EXPECT_EQ(1u, desc.BufferDesc.RefreshRate.Denominator);
    EXPECT_EQ(DXGI_FORMAT_R8G8B8A8_UNORM, desc.BufferDesc.Format);
    EXPECT_EQ(1u, desc.SampleDesc.Count);
    EXPECT_EQ(0u, desc.SampleDesc.Quality);
    EXPECT_EQ(0x70u, static_cast<UINT>(desc.BufferUsage));
    EXPECT_EQ(2u, desc.BufferCount);
    EXPECT_EQ(fw_Framework::mWindow, desc.OutputWindow);
    EXPECT_TRUE(desc.Windowed);
    EXPECT_EQ(DXGI_SWAP_EFFECT_DISCARD, desc.SwapEffect);
    EXPECT_EQ(0u, desc.Flags);

    fw_Framework::mFullscreen = true;
    desc = fw_MakeSwapChainDesc();
    EXPECT_EQ(1920u, desc.BufferDesc.Width);
    EXPECT_EQ(1080u, desc.BufferDesc.Height);
    EXPECT_EQ(0u, desc.BufferDesc.RefreshRate.Numerator);
    EXPECT_EQ(1u, desc.BufferDesc.RefreshRate.Denominator);
    EXPECT_FALSE(desc.Windowed);
    fw_Framework::mWindow = nullptr;
}

TEST_F(RenderSize, NarrowerPicturesKeepTheirHeight) {
    fw_Framework::mWindowWidth = 800;
    fw_Framework::mWindowHeight = 800;
    fw_Framework::mAspect = 0.5f;
    fw_Framework::ComputeRenderSize(false);
    EXPECT_EQ(800, fw_Framework::mRenderHeight);
    EXPECT_FALSE(fw_Framework::mLetterbox);
}

TEST(SceneIndex, ValuesOfTheSceneTrack) {
    EXPECT_EQ(0u, fw_Framework::SceneIndexFromValue(-1.0f, 3));  // 0xFFFFFFFF % 3
    EXPECT_EQ(2u, fw_Framework::SceneIndexFromValue(-2.0f, 3));  // 0xFFFFFFFE % 3
    EXPECT_EQ(1u, fw_Framework::SceneIndexFromValue(4.7f, 3));
    EXPECT_EQ(0u, fw_Framework::SceneIndexFromValue(std::nanf(""), 3));
    EXPECT_EQ(0u, fw_Framework::SceneIndexFromValue(1e30f, 3));   // INT64_MAX: low word 0xFFFFFFFF
    EXPECT_EQ(0u, fw_Framework::SceneIndexFromValue(-1e30f, 3));  // INT64_MIN: low word 0
    EXPECT_EQ(0u, fw_Framework::SceneIndexFromValue(std::numeric_limits<float>::infinity(), 3));
    EXPECT_EQ(0u, fw_Framework::SceneIndexFromValue(2.0f, 0));
}

TEST(ScreenshotName, StampAndUniqueness) {
    // Names are remembered for the whole process: each run of this test takes another year.
    static unsigned run = 0;
    const unsigned year = 2026 + 100 * run++;
    const std::string stamp = std::to_string(year) + "-03-04_050607";
    EXPECT_EQ("/screenshots/" + stamp + ".jpg", fw_Framework::MakeScreenshotName(year, 3, 4, 5, 6, 7, false));
    EXPECT_EQ("/screenshots/" + stamp + "_2.jpg", fw_Framework::MakeScreenshotName(year, 3, 4, 5, 6, 7, false));
    EXPECT_EQ("/screenshots/" + stamp + "_3.jpg", fw_Framework::MakeScreenshotName(year, 3, 4, 5, 6, 7, false));
    EXPECT_EQ("/screenshots/" + stamp + ".jps", fw_Framework::MakeScreenshotName(year, 3, 4, 5, 6, 7, true));
    EXPECT_EQ("/screenshots/" + std::to_string(year) + "-12-31_235959.jpg",
              fw_Framework::MakeScreenshotName(year, 12, 31, 23, 59, 59, false));
}

TEST(Accessors, RowsAndSecondsRoundTrip) {
    for (float x : {0.0f, 0.25f, 1.0f, 3.7f, 123.456f}) {
        EXPECT_NEAR(x, fw_Framework::RowToSeconds(fw_Framework::SecondsToRow(x)), 1e-5f * (1.0f + x));
    }
    EXPECT_FLOAT_EQ(17.066668f, fw_Framework::SecondsToRow(1.0f));
}

TEST(Accessors, FindSceneByDescriptionName) {
    core_test::ResetFramework();
    core_test::CountingScene a("intro.xml"), b("caleidoscope.xml");
    fw_Framework::AddScene(&a);
    fw_Framework::AddScene(&b);
    EXPECT_EQ(&b, fw_Framework::FindScene("caleidoscope"));
    EXPECT_EQ(nullptr, fw_Framework::FindScene("caleidoscope.xml"));
    fw_Framework::mCurrentScene = 5;
    EXPECT_EQ(nullptr, fw_Framework::GetCurrentScene());
    fw_Framework::mCurrentScene = 0;
    EXPECT_EQ(&a, fw_Framework::GetCurrentScene());
    core_test::ResetFramework();
}

TEST(Accessors, ABaseFileRecordThatEndsHandsCurrentBack) {
    fw_BaseFile outer("basefile.dat");
    {
        fw_BaseFile loading("dummyname");
        EXPECT_EQ(&loading, fw_BaseFile::sCurrent);
        EXPECT_EQ("dummyname", fw_BaseFile::sCurrent->name);
        EXPECT_EQ(0, fw_BaseFile::sCurrent->counter);
    }
    EXPECT_EQ(&outer, fw_BaseFile::sCurrent);
}

TEST(Accessors, FileUtilities) {
    TempDir dir;
    dir.Touch("one.bin");
    EXPECT_EQ(1u, fw_Framework::GetFileLength("one.bin"));
    char buffer[4] = {};
    EXPECT_EQ(1u, fw_Framework::ReadWholeFile("one.bin", buffer));
    EXPECT_EQ('x', buffer[0]);
    EXPECT_EQ(0u, fw_Framework::GetFileLength("absent.bin"));
    EXPECT_EQ(0u, fw_Framework::ReadWholeFile("absent.bin", buffer));
    // Neither blocks on a pipe nor reads a device.
    ASSERT_EQ(0, ::mkfifo("pipe", 0600));
    for (const char* other : {"pipe", "/dev/zero"}) {
        EXPECT_EQ(0u, fw_Framework::GetFileLength(other)) << other;
        EXPECT_EQ(0u, fw_Framework::ReadWholeFile(other, buffer)) << other;
    }
    EXPECT_EQ('x', buffer[0]);
}

TEST(SourceRoot, FallsBackToTheCompiledFolderWithoutTheEnvironment) {
    const char* set = std::getenv("ZENDRA_FW_SOURCE_ROOT");
    const std::string saved = set ? set : "";
    unsetenv("ZENDRA_FW_SOURCE_ROOT");
    const std::string root = core_test::FrameworkSourceRoot();
    if (set)
        setenv("ZENDRA_FW_SOURCE_ROOT", saved.c_str(), 1);
    ASSERT_FALSE(root.empty());
    EXPECT_TRUE(boost::filesystem::is_regular_file(boost::filesystem::path(root) / "src/shaders/fw_Globals.fxi"))
        << root;
}

}  // namespace
