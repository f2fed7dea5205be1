#pragma once
// The framework's process-wide state in one record: every member with its default, here
// and nowhere else. fw_Framework names each member as a static member of its own.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32_types.h"

namespace sync {
class Device;
}

struct ID3D10Device;
struct IDXGISwapChain;
struct ID3D10EffectPool;
struct ID3D10Texture2D;
class fw_Timer;
class fw_SyncTimer;
class fw_Music;
class fw_Mouse;
class fw_Scene;
class fw_Texture;
class fw_PostEffects;
class fw_Font;
class fw_BaseFile;

struct fw_FrameworkState {
    // The window's client size unless the program's entry gives another.
    static constexpr int32_t kDefaultWindowWidth = 1280;
    static constexpr int32_t kDefaultWindowHeight = 800;

    ID3D10Device* mDevice = nullptr;
    IDXGISwapChain* mSwapChain = nullptr;
    HWND mWindow = nullptr;
    int32_t mWindowWidth = kDefaultWindowWidth;
    int32_t mWindowHeight = kDefaultWindowHeight;
    float mScale = 1.0f;
    int32_t mRenderWidth = kDefaultWindowWidth;
    int32_t mRenderHeight = kDefaultWindowHeight;
    float mAspect = 0.0f;
    bool mLetterbox = false;
    int32_t mDisplayWidth = 0;
    int32_t mDisplayHeight = 0;
    int32_t mDisplayHz = 0;
    bool mFullscreen = false;
    bool mLoop = false;
    bool mSound = true;
    bool mShowDialog = true;
    bool mStereoPreInit = false;
    bool mStereoAvailable = false;
    bool mStereoChosen = false;
    bool mStereoActive = false;
    bool mCudaUsed = false;
    bool mVerbose = false;
    bool mPickEnabled = false;
    std::vector<fw_Scene*> mScenes;
    std::map<std::pair<std::string, int32_t>, fw_Font*> mFonts;
    std::string mFrameworkRoot;
    std::string mProjectRoot;
    std::string mApplicationName;
    std::string mTitle;
    fw_SyncTimer* mSyncTimer = nullptr;   // owned
    sync::Device* mSyncDevice = nullptr;  // never deleted
    fw_Music* mMusic = nullptr;           // owned; null when sound is off

    // Window and presentation.
    fw_Texture* mSwapChainTexture = nullptr;
    bool mClockRanBeforeMove = false;
    bool mPickRequest = false;
    int32_t mPickX = 0;
    int32_t mPickY = 0;

    // Stereo, CUDA, screenshots.
    void* mStereoHandle = nullptr;
    float mEyeSeparation = 0.1f;
    float mStereoSeparation = 0.0f;
    float mStereoConvergence = 0.0f;
    bool mScreenshotRequest = false;
    ID3D10Texture2D* mScreenshotTexture = nullptr;

    // Created by the run loop.
    fw_Timer* mDemoTimer = nullptr;
    fw_Timer* mRealTimer = nullptr;
    float mSpeed = 1.0f;
    fw_Mouse* mMouse = nullptr;
    fw_PostEffects* mPostEffects = nullptr;
    ID3D10EffectPool* mEffectPool = nullptr;
    fw_BaseFile* mBaseFile = nullptr;
    uint32_t mFrameCounter = 0;
    uint32_t mCurrentScene = 0;    // index into mScenes
    float mSceneStartTime = 0.0f;  // demo seconds at which the current scene became current
};
