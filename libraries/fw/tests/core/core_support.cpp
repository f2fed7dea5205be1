#include "core_support.h"

#include <unistd.h>

#include <cstdlib>

#include "fw_Mouse.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"
#include "platform/d3d10.h"
#include "platform/win32.h"

namespace fs = boost::filesystem;

namespace core_test {

void ResetFramework() {
    // The clocks and the sync timer are the ones StartFrameClocks made.
    delete fw_Framework::mDemoTimer;
    delete fw_Framework::mRealTimer;
    delete fw_Framework::mSyncTimer;
    fw_Framework::ResetState();
}

TempDir::TempDir() {
    mPrevious = fs::current_path();
    mPath = fs::temp_directory_path() / fs::unique_path("core-%%%%-%%%%-%%%%");
    fs::create_directories(mPath);
    mPath = fs::canonical(mPath);
    fs::current_path(mPath);
}

TempDir::~TempDir() {
    boost::system::error_code error;
    fs::current_path(mPrevious, error);
    fs::remove_all(mPath, error);
}

void TempDir::Touch(const std::string& relative) const {
    fs::create_directories((mPath / relative).parent_path());
    fs::ofstream(mPath / relative) << "x";
}

void TempDir::MakeDir(const std::string& relative) const {
    fs::create_directories(mPath / relative);
}

sync::Track* FakeSyncDevice::GetTrack(const std::string& name) {
    auto& track = tracks[name];
    if (!track)
        track = std::make_unique<sync::Track>(name);
    return track.get();
}

void FakeSyncDevice::SetConstant(const std::string& name, float value) {
    sync::Track* track = GetTrack(name);
    track->Clear();
    sync::TrackKey key;
    key.value = value;
    key.type = sync::Step;
    track->SetKey(0, key);
}

void SetKeyDown(int virtualKey, bool down) {
    PostThreadMessageA(GetCurrentThreadId(), down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), 0);
    // Thread messages only (no window), and only key messages: nothing else is taken.
    MSG message;
    while (PeekMessageA(&message, reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)), WM_KEYDOWN, WM_KEYUP, PM_REMOVE)) {
    }
}

std::string FrameworkSourceRoot() {
    const char* root = std::getenv("ZENDRA_FW_SOURCE_ROOT");
    if (root && *root)
        return root;
    // Run directly, without the test environment: the folder the build names (a compiler
    // cache may have made this file's own path relative).
    boost::system::error_code error;
    const fs::path compiled = FW_SOURCE_ROOT;
    if (compiled.is_absolute() && fs::is_directory(compiled / "src" / "shaders", error))
        return compiled.string();
    ADD_FAILURE() << "the framework's source folder is unknown: set ZENDRA_FW_SOURCE_ROOT to libraries/fw";
    return "";
}

void StartFrameClocks(sync::Device* device, IDXGISwapChain* chain) {
    fw_Framework::mSyncTimer = new fw_SyncTimer();
    fw_Framework::mSyncDevice = device;
    fw_Framework::mDemoTimer = new fw_Timer();
    fw_Framework::mRealTimer = new fw_Timer();
    fw_Framework::mDemoTimer->Restart();
    fw_Framework::mRealTimer->Restart();
    if (chain)
        fw_Framework::mSwapChain = chain;
}

boost::filesystem::path RecordingAudioModule() {
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return {};
    return boost::filesystem::path(self).parent_path() / "fake_bass.so";
}

ID3D10Device* SharedSoftwareDevice() {
    static ID3D10Device* shared = nullptr;
    if (!shared) {
        static int marker;
        if (FAILED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0,
                                     D3D10_SDK_VERSION, &shared)))
            shared = nullptr;
    }
    return shared;
}

}  // namespace core_test
