#include "fw_Framework.h"

#include <cstring>
#include <memory>

#include <boost/filesystem.hpp>

#include "fw_Log.h"
#include "fw_Music.h"
#include "fw_StartDialog.h"
#include "fw_SyncTimer.h"
#include "platform/win32.h"
#include "sync/device.h"

namespace {

bool PathExists(const std::string& path) {
    boost::system::error_code error;
    return boost::filesystem::exists(path, error);
}

std::string WorkingDirectory() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
    if (length == 0 || length >= sizeof(buffer))
        return ".";
    std::string directory(buffer, length);
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    return directory;
}

}  // namespace

fw_BaseFile* fw_BaseFile::sCurrent = nullptr;

fw_BaseFile::fw_BaseFile(const std::string& fileName) : counter(0), name(fileName), mPrevious(sCurrent) {
    sCurrent = this;
}

fw_BaseFile::~fw_BaseFile() {
    if (sCurrent == this)
        sCurrent = mPrevious;
}

fw_Framework::fw_Framework(NoStartup, const std::string& applicationName) {
    FindProjectRoots(applicationName);
    gFramework = this;
    mApplicationName = applicationName;
}

fw_Framework::fw_Framework(const std::string& musicPath, const std::string& applicationName, HINSTANCE instance,
                           int showCommand, const std::string& title, float scale, float aspect) {
    // The process starts on the state's defaults (fw_FrameworkState); the window size is
    // the one the program's entry gave.
    fw_Log::SetAlertCaption(title);
    FindProjectRoots(applicationName);
    gFramework = this;
    mApplicationName = applicationName;
    mTitle = title;

    mScale = scale;
    mRenderWidth = ScaledLength(mWindowWidth);
    mRenderHeight = ScaledLength(mWindowHeight);
    mAspect = aspect;

    QueryDisplayMode();
    mFullscreen = PathExists(MakeFinalMarkerPath());

    CreateDirectoryA((mProjectRoot + "/data/temp/").c_str(), nullptr);
    CreateDirectoryA((mProjectRoot + "/data/screenshots/").c_str(), nullptr);

    if (Init(instance, musicPath, showCommand) < 0)
        ExitProcess(20);
}

fw_Framework::~fw_Framework() {
    if (gFramework == this)
        gFramework = nullptr;
    // What the run's end has not given back goes with the framework.
    ReleaseTextures();
}

void fw_Framework::QueryDisplayMode() {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    if (!EnumDisplaySettingsA("\\\\.\\DISPLAY2", ENUM_CURRENT_SETTINGS, &mode)) {
        std::memset(&mode, 0, sizeof(mode));
        mode.dmSize = sizeof(mode);
        if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
            std::memset(&mode, 0, sizeof(mode));
    }
    mDisplayWidth = static_cast<int32_t>(mode.dmPelsWidth);
    mDisplayHeight = static_cast<int32_t>(mode.dmPelsHeight);
    mDisplayHz = static_cast<int32_t>(mode.dmDisplayFrequency);
    // Without a display size the output falls back to the window size: no 0 x 0 swap
    // chain and no zero in an aspect ratio.
    if (mDisplayWidth <= 0 || mDisplayHeight <= 0) {
        mDisplayWidth = mWindowWidth;
        mDisplayHeight = mWindowHeight;
    }
}

HRESULT fw_Framework::Init(HINSTANCE instance, const std::string& musicPath, int showCommand) {
    InitSync();
    if (mStereoPreInit && InitStereo() < 0)
        return E_FAIL;
    if (mShowDialog) {
        INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(101), nullptr, StartDialogProc, 0);
        if (result != 1)
            ExitProcess(0);
    }
    if (CreateAppWindow(instance, showCommand) < 0)
        return E_FAIL;
    if (CreateDeviceAndSwapChain() < 0) {
        ReleaseDevice();
        return E_FAIL;
    }
    OpenMusic(musicPath);
    return S_OK;
}

void fw_Framework::InitWithoutWindow(ID3D10Device* device, int32_t width, int32_t height, float scale, float aspect,
                                     const std::string& musicPath) {
    mDevice = device;
    mScale = scale;
    mAspect = aspect;
    mWindowWidth = width;
    mWindowHeight = height;
    mRenderWidth = ScaledLength(width);
    mRenderHeight = ScaledLength(height);
    InitSync();
    OpenMusic(musicPath);
}

void fw_Framework::InitSync() {
    fw_SyncTimer* timer = new fw_SyncTimer();
    delete mSyncTimer;
    mSyncTimer = timer;
    mSyncDevice = sync::CreateSyncDevice("data/sync/sync", mSyncTimer);
}

void fw_Framework::OpenMusic(const std::string& musicPath) {
    if (!mSound || musicPath.empty())
        return;
    fw_Music* music = new fw_Music(mProjectRoot + "/" + musicPath);
    delete mMusic;
    mMusic = music;
}

void fw_Framework::FindProjectRoots(const std::string& applicationName) {
    const std::string workingDirectory = WorkingDirectory();
    const std::string prefix = workingDirectory == "/" ? "" : workingDirectory;
    if (!PathExists(prefix + "/" + applicationName + ".scons") && PathExists(prefix + "/src") &&
        PathExists(prefix + "/data")) {
        mFrameworkRoot = workingDirectory;
        mProjectRoot = workingDirectory;
        return;
    }
    std::string directory = workingDirectory;
    for (;;) {
        const std::string base = directory == "/" ? "" : directory;
        if (PathExists(base + "/.top")) {
            mFrameworkRoot = base + "/libraries/fw";
            mProjectRoot = base + "/projects/" + applicationName;
            return;
        }
        const size_t cut = directory.find_last_of('/');
        if (cut == std::string::npos || directory == "/")
            break;
        directory = cut == 0 ? "/" : directory.substr(0, cut);
    }
    // No marker anywhere up to the top: the working directory serves as both roots.
    mFrameworkRoot = workingDirectory;
    mProjectRoot = workingDirectory;
}
