// The framework's window and device on the display: the window procedure's messages, and
// the order of device types with the notices shown for a fallback.
#include "core_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Mouse.h"
#include "fw_StartDialog.h"
#include "fw_Timer.h"
#include "fw_Window.h"
#include "platform/d3d10.h"
#include "platform/win32.h"

using core_test::CountingScene;

namespace {

std::vector<std::string> gAlerts;

int RecordAlert(HWND, const char* text, const char*, UINT) {
    gAlerts.push_back(text ? text : "");
    return IDOK;
}

// One window for the whole program: its class is registered once.
HWND TheWindow() {
    static HWND window = nullptr;
    if (!window) {
        fw_Framework::mTitle = "core window tests";
        if (SUCCEEDED(fw_Framework::CreateAppWindow(nullptr, SW_SHOW)))
            window = fw_Framework::mWindow;
    }
    fw_Framework::mWindow = window;
    return window;
}

void DrainQueue(std::vector<MSG>* taken = nullptr) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (taken)
            taken->push_back(m);
        else if (m.message != WM_QUIT)
            DispatchMessageA(&m);
    }
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        core_test::ResetFramework();
        window = TheWindow();
        ASSERT_NE(nullptr, window);
        fw_Framework::AddScene(&scene);
        DrainQueue();
    }
    void TearDown() override {
        DrainQueue();
        core_test::ResetFramework();
        fw_Framework::mWindow = window;
    }
    HWND window = nullptr;
    CountingScene scene;
};

TEST_F(WindowTest, EscapePostsQuitAndStillReachesTheScene) {
    EXPECT_EQ(0, SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0));
    ASSERT_EQ(1u, scene.keys.size());
    EXPECT_EQ(27u, scene.keys[0]);
    EXPECT_FALSE(scene.lastShift);
    EXPECT_FALSE(scene.lastControl);
    std::vector<MSG> taken;
    DrainQueue(&taken);
    bool quit = false;
    for (const MSG& m : taken)
        quit = quit || (m.message == WM_QUIT && m.wParam == 0);
    EXPECT_TRUE(quit);
}

TEST_F(WindowTest, OtherKeysReachTheSceneWithoutQuitting) {
    SendMessageA(window, WM_KEYDOWN, 'A', 0);
    ASSERT_EQ(1u, scene.keys.size());
    EXPECT_EQ(static_cast<uint32_t>('A'), scene.keys[0]);
    std::vector<MSG> taken;
    DrainQueue(&taken);
    for (const MSG& m : taken)
        EXPECT_NE(static_cast<UINT>(WM_QUIT), m.message);
}

TEST_F(WindowTest, ShiftAndControlAreReadAtTheKey) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no xdotool";
    std::system(
        "timeout 5 xdotool search --sync --onlyvisible --name '^core window tests$' windowactivate --sync "
        ">/dev/null 2>&1; timeout 5 xdotool keydown shift keydown ctrl >/dev/null 2>&1");
    // Key state follows the messages taken from the queue.
    for (int i = 0; i < 50 && !(GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) < 0); ++i) {
        Sleep(20);
        DrainQueue();
    }
    const bool down = GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) < 0;
    scene.keys.clear();
    SendMessageA(window, WM_KEYDOWN, 'B', 0);
    std::system("timeout 5 xdotool keyup shift keyup ctrl >/dev/null 2>&1");
    if (!down)
        GTEST_SKIP() << "the display did not deliver the modifier keys";
    ASSERT_EQ(1u, scene.keys.size());
    EXPECT_TRUE(scene.lastShift);
    EXPECT_TRUE(scene.lastControl);
    EXPECT_TRUE(fw_Framework::IsShiftDown());
    EXPECT_TRUE(fw_Framework::IsControlDown());
}

TEST_F(WindowTest, MouseMoveStoresHeldFlagsAndSignedPosition) {
    // Without the mouse object the message is ignored.
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 20));
    EXPECT_EQ(0, scene.lastX);

    fw_Mouse mouse;
    fw_Framework::mMouse = &mouse;
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(static_cast<WORD>(-5), 7));
    const fw_MouseState& state = GetMouseState();
    EXPECT_TRUE(state.left.down);
    EXPECT_FALSE(state.middle.down);
    EXPECT_TRUE(state.right.down);
    EXPECT_EQ(-5, state.x);
    EXPECT_EQ(7, state.y);
    EXPECT_EQ(-5, scene.lastX);
    EXPECT_EQ(7, scene.lastY);

    SendMessageA(window, WM_RBUTTONUP, MK_MBUTTON, 0);
    EXPECT_FALSE(state.left.down);
    EXPECT_TRUE(state.middle.down);
    EXPECT_FALSE(state.right.down);
    fw_Framework::mMouse = nullptr;
}

TEST_F(WindowTest, LeftButtonCapturesAndReleases) {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(window, GetCapture());
    EXPECT_EQ(1, scene.leftDowns);
    SendMessageA(window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(1, scene.leftUps);
}

TEST_F(WindowTest, DoubleClickRequestsAPickOnlyWhenEnabled) {
    SendMessageA(window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(30, 40));
    EXPECT_FALSE(fw_Framework::mPickRequest);
}

TEST_F(WindowTest, MovingPausesOnlyARunningClock) {
    fw_Timer clock;
    clock.Restart();
    fw_Framework::mDemoTimer = &clock;
    SendMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
    EXPECT_TRUE(clock.IsPaused());
    SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_FALSE(clock.IsPaused());

    clock.Pause();
    SendMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
    SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(clock.IsPaused());
    fw_Framework::mDemoTimer = nullptr;
}

// Reports windowed, or fails the question with failure.
class AskedSwapChain : public core_test::CountingSwapChain {
public:
    HRESULT GetFullscreenState(BOOL* state, IDXGIOutput** target) override {
        if (failure != S_OK)
            return failure;
        return CountingSwapChain::GetFullscreenState(state, target);
    }
    HRESULT failure = S_OK;
};

TEST_F(WindowTest, WindowStateLinesOnlyWhenVerbose) {
    core_test::TempDir dir;
    const std::string log = (dir.Path() / "window.log").string();
    fw_Log::OpenLogFile(log);
    AskedSwapChain chain;
    fw_Framework::mSwapChain = &chain;
    SendMessageA(window, WM_SIZE, 0, 0);
    SendMessageA(window, WM_SETFOCUS, 0, 0);
    SendMessageA(window, WM_KILLFOCUS, 0, 0);
    DrainQueue();
    fw_Framework::mVerbose = true;
    EXPECT_EQ(0, SendMessageA(window, WM_SIZE, 0, 0));
    chain.failure = DXGI_ERROR_INVALID_CALL;
    EXPECT_EQ(0, SendMessageA(window, WM_SIZE, 0, 0));
    EXPECT_EQ(0, SendMessageA(window, WM_SETFOCUS, 0, 0));
    EXPECT_EQ(0, SendMessageA(window, WM_KILLFOCUS, 0, 0));
    fw_Framework::mVerbose = false;
    fw_Framework::mSwapChain = nullptr;
    fw_Log::OpenLogFile("");
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t size = text.find("WM_SIZE: mFullscreen: 0, mSwapChain->GetFullscreenState(): 0.");
    const size_t failed = text.find("WM_SIZE:  mSwapChain->GetFullscreenState() failed with return code 0x887a0001");
    const size_t found = text.find("WM_SETFOCUS: Window found focus.", failed);
    const size_t lost = text.find("WM_KILLFOCUS: Window lost focus.", found);
    EXPECT_NE(std::string::npos, size) << text;
    EXPECT_NE(std::string::npos, failed) << text;
    EXPECT_NE(std::string::npos, found) << text;
    EXPECT_NE(std::string::npos, lost) << text;
    // Nothing from before mVerbose was set: the first line is the verbose WM_SIZE.
    EXPECT_EQ(text.find("WM_"), size) << text;
}

TEST_F(WindowTest, StereoNotificationAndDestroy) {
    EXPECT_EQ(0, SendMessageA(window, 3000, 1, 2));
    fw_Framework::WndProc(window, WM_DESTROY, 0, 0);
    std::vector<MSG> taken;
    DrainQueue(&taken);
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), taken.back().message);
}

// --- device creation ------------------------------------------------------------------

std::vector<D3D10_DRIVER_TYPE> gTried;
std::vector<D3D10_DRIVER_TYPE> gFailing;
HMODULE gSoftwareModule = nullptr;

HRESULT RecordingCreate(IDXGIAdapter* adapter, D3D10_DRIVER_TYPE type, HMODULE software, UINT flags, UINT sdk,
                        DXGI_SWAP_CHAIN_DESC* desc, IDXGISwapChain** chain, ID3D10Device** device) {
    gTried.push_back(type);
    EXPECT_EQ(type == D3D10_DRIVER_TYPE_SOFTWARE, software != nullptr);
    EXPECT_EQ(29u, sdk);
    EXPECT_EQ(0u, flags);
    EXPECT_EQ(0x70u, desc->BufferUsage);
    EXPECT_EQ(2u, desc->BufferCount);
    for (D3D10_DRIVER_TYPE failing : gFailing)
        if (failing == type)
            return static_cast<HRESULT>(0x887A0004u + type);
    return D3D10CreateDeviceAndSwapChain(adapter, type, software, flags, sdk, desc, chain, device);
}

HMODULE LoadSoftware(const char* name) {
    EXPECT_STREQ("d3d10warp.dll", name);
    gSoftwareModule = LoadLibraryA(name);
    return gSoftwareModule;
}

class DeviceCreation : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        gTried.clear();
        gFailing.clear();
        gAlerts.clear();
        saved = fw_GetAlertPlatform();
        fw_GetAlertPlatform().messageBox = RecordAlert;
        previousMode = fw_Log::GetAlertMode();
        fw_Log::SetAlertMode(1);
        fw_GetDevicePlatform() = {RecordingCreate, LoadSoftware};
    }
    void TearDown() override {
        if (!IsSkipped()) {
            fw_Framework::ReleaseDevice();
            fw_GetDevicePlatform() = fw_DefaultDevicePlatform();
            fw_GetAlertPlatform() = saved;
            fw_Log::SetAlertMode(previousMode);
        }
        WindowTest::TearDown();
    }
    fw_AlertPlatform saved{};
    int32_t previousMode = 0;
};

TEST_F(DeviceCreation, HardwareFirstAndANoticeOnlyForAFallback) {
    ASSERT_EQ(S_OK, fw_Framework::CreateDeviceAndSwapChain());
    ASSERT_FALSE(gTried.empty());
    EXPECT_EQ(D3D10_DRIVER_TYPE_HARDWARE, gTried[0]);
    if (gTried.size() == 1) {
        EXPECT_TRUE(gAlerts.empty());
    } else {
        // A software rasteriser is no hardware device: the software type follows.
        EXPECT_EQ(D3D10_DRIVER_TYPE_SOFTWARE, gTried[1]);
        ASSERT_EQ(1u, gAlerts.size());
        EXPECT_NE(std::string::npos, gAlerts[0].find("on software device."));
    }
}

TEST_F(DeviceCreation, SoftwareAfterHardwareWithItsNotice) {
    gFailing = {D3D10_DRIVER_TYPE_HARDWARE};
    ASSERT_EQ(S_OK, fw_Framework::CreateDeviceAndSwapChain());
    EXPECT_EQ((std::vector<D3D10_DRIVER_TYPE>{D3D10_DRIVER_TYPE_HARDWARE, D3D10_DRIVER_TYPE_SOFTWARE}), gTried);
    EXPECT_NE(nullptr, gSoftwareModule);
    ASSERT_EQ(1u, gAlerts.size());
    EXPECT_EQ("Device failed to be created on hardware, the application will try to run on software device.",
              gAlerts[0]);
    EXPECT_NE(nullptr, fw_Framework::mDevice);
    EXPECT_NE(nullptr, fw_Framework::mSwapChain);
}

TEST_F(DeviceCreation, ReferenceLastWithItsNotice) {
    gFailing = {D3D10_DRIVER_TYPE_HARDWARE, D3D10_DRIVER_TYPE_SOFTWARE};
    const HRESULT hr = fw_Framework::CreateDeviceAndSwapChain();
    EXPECT_EQ((std::vector<D3D10_DRIVER_TYPE>{D3D10_DRIVER_TYPE_HARDWARE, D3D10_DRIVER_TYPE_SOFTWARE,
                                              D3D10_DRIVER_TYPE_REFERENCE}),
              gTried);
    if (FAILED(hr))
        GTEST_SKIP() << "the reference type is not available here";
    ASSERT_EQ(1u, gAlerts.size());
    EXPECT_EQ("Device failed to be created on hardware, the application will try to run on reference device.",
              gAlerts[0]);
}

TEST_F(DeviceCreation, AllFailingReportsTheLastResultAndReleasesNothingAbsent) {
    gFailing = {D3D10_DRIVER_TYPE_HARDWARE, D3D10_DRIVER_TYPE_SOFTWARE, D3D10_DRIVER_TYPE_REFERENCE};
    const HRESULT hr = fw_Framework::CreateDeviceAndSwapChain();
    EXPECT_EQ(static_cast<HRESULT>(0x887A0004u + D3D10_DRIVER_TYPE_REFERENCE), hr);
    ASSERT_EQ(1u, gAlerts.size());
    EXPECT_EQ("D3D10CreateDeviceAndSwapChain() failed (0x887a0005)", gAlerts[0]);
    EXPECT_EQ(nullptr, fw_Framework::mDevice);
    EXPECT_EQ(nullptr, fw_Framework::mSwapChain);
    fw_Framework::ReleaseDevice();  // nothing exists: nothing is touched
}

// A scene that counts the releases of its resources.
class ReleasingScene : public CountingScene {
public:
    void ReleaseResources() override { ++releases; }
    int releases = 0;
};

TEST_F(DeviceCreation, ReleasingAfterAFailureWithAFrameworkReleasesItsNothingCleanly) {
    gFailing = {D3D10_DRIVER_TYPE_HARDWARE, D3D10_DRIVER_TYPE_SOFTWARE, D3D10_DRIVER_TYPE_REFERENCE};
    fw_Framework framework(fw_Framework::NoStartup{}, "core_tests");
    ASSERT_EQ(&framework, gFramework);
    ReleasingScene releasing;
    fw_Framework::AddScene(&releasing);
    EXPECT_TRUE(FAILED(fw_Framework::CreateDeviceAndSwapChain()));
    // What the constructor does next: the framework's resources are released with nothing created.
    fw_Framework::ReleaseDevice();
    EXPECT_EQ(1, releasing.releases);
    EXPECT_EQ(nullptr, fw_Framework::mDevice);
    EXPECT_EQ(nullptr, fw_Framework::mSwapChain);
    EXPECT_EQ(nullptr, fw_Framework::mEffectPool);
    EXPECT_EQ(nullptr, framework.FindTexture("backbuffer"));
    fw_Framework::ReleaseDevice();  // and again: still nothing to do
    EXPECT_EQ(2, releasing.releases);
}

TEST_F(DeviceCreation, SwapChainHasTheOutputSizeNotTheRenderSize) {
    fw_Framework::mAspect = 2.0f;
    gFailing = {D3D10_DRIVER_TYPE_HARDWARE};
    ASSERT_EQ(S_OK, fw_Framework::CreateDeviceAndSwapChain());
    DXGI_SWAP_CHAIN_DESC desc = {};
    ASSERT_EQ(S_OK, fw_Framework::mSwapChain->GetDesc(&desc));
    EXPECT_EQ(1280u, desc.BufferDesc.Width);
    EXPECT_EQ(800u, desc.BufferDesc.Height);
    EXPECT_TRUE(desc.Windowed);
    EXPECT_EQ(640, fw_Framework::mRenderHeight);
    EXPECT_EQ(S_OK, fw_Framework::mSwapChain->Present(1, 0));
}

// --- the whole start when no device type works ----------------------------------------

std::string gRecordPath;

void Record(const std::string& line) {
    FILE* file = std::fopen(gRecordPath.c_str(), "ab");
    if (!file)
        return;
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
}

int RecordAlertToFile(HWND, const char* text, const char*, UINT) {
    Record(std::string("alert: ") + (text ? text : ""));
    return IDOK;
}

HRESULT FailingCreate(IDXGIAdapter*, D3D10_DRIVER_TYPE type, HMODULE, UINT, UINT, DXGI_SWAP_CHAIN_DESC*,
                      IDXGISwapChain** chain, ID3D10Device** device) {
    Record("create " + std::to_string(type));
    *chain = nullptr;
    *device = nullptr;
    return static_cast<HRESULT>(0x887A0001u);
}

HMODULE NoSoftwareModule(const char*) {
    return nullptr;
}

// Waits for the start dialog; with `run`, unchecks fullscreen and runs, otherwise records
// that it showed and exits there.
DWORD WINAPI AnswerTheDialog(LPVOID run) {
    HWND dialog = nullptr;
    for (int i = 0; i < 1000 && !(dialog = FindWindowA(nullptr, "Cobalt")); ++i)
        Sleep(10);
    if (!dialog)
        return 1;
    if (run) {
        PostMessageA(dialog, WM_COMMAND, IDC_FULLSCREEN, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    } else {
        Record("dialog");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return 0;
}

// The framework's whole start with every device type failing, answered at the dialog.
// Returning from the constructor is recorded and ends with code 3.
void StartAnsweringTheDialog(const std::string& root, bool run) {
    SetCurrentDirectoryA(root.c_str());
    core_test::ResetFramework();
    fw_GetAlertPlatform().messageBox = RecordAlertToFile;
    fw_Log::SetAlertMode(1);
    fw_GetDevicePlatform() = {FailingCreate, NoSoftwareModule};
    CloseHandle(CreateThread(nullptr, 0, AnswerTheDialog, run ? &gRecordPath : nullptr, 0, nullptr));
    new fw_Framework("data/none.mp3", "core_tests", nullptr, SW_SHOW, "core start-up", 1.0f, 1.6f);
    Record("constructed");
    std::_Exit(3);
}

// Runs the start in a fresh process (no window class registered by the other tests) that
// runs the calling test again: the parent's folder reaches it through `env`. Expects
// `code` and returns what the child recorded; `root` is the folder used.
std::string StartInAChild(const char* env, bool run, int code, std::string& root) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    static std::unique_ptr<core_test::TempDir> dir;
    if (const char* shared = std::getenv(env)) {
        root = shared;
    } else {
        dir = std::make_unique<core_test::TempDir>();
        dir->MakeDir("data");
        root = dir->Path().string();
        setenv(env, root.c_str(), 1);
    }
    gRecordPath = root + "/record.txt";
    EXPECT_EXIT(StartAnsweringTheDialog(root, run), testing::ExitedWithCode(code), "");
    unsetenv(env);
    std::ifstream in(gRecordPath);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(StartUp, NoDeviceTypeWorkingEndsTheProcessWithCodeTwenty) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    std::string root;
    EXPECT_EQ("create 0\ncreate 3\ncreate 1\nalert: D3D10CreateDeviceAndSwapChain() failed (0x887a0001)\n",
              StartInAChild("CORE_STARTUP_FAILURE_DIR", true, 20, root));
}

TEST(StartUp, ExitAtTheDialogEndsTheProcessWithCodeZeroBeforeAnyWindowOrDevice) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    std::string root;
    // Neither a window nor a device was asked for (no alert, no device type tried).
    EXPECT_EQ("dialog\n", StartInAChild("CORE_STARTUP_EXIT_DIR", false, 0, root));
    // The folders come before the dialog.
    EXPECT_TRUE(boost::filesystem::is_directory(root + "/data/temp"));
    EXPECT_TRUE(boost::filesystem::is_directory(root + "/data/screenshots"));
}

}  // namespace
