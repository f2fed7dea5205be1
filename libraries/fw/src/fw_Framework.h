#pragma once
// The one application object. Its process-wide state lives in static members, defined
// in fw_FrameworkState.cpp; the object's operations are defined by the files of the
// areas that own them.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/win32_types.h"

namespace sync {
class Device;
}

struct ID3D10Device;
struct IDXGISwapChain;
struct ID3D10EffectPool;
class fw_Timer;
class fw_SyncTimer;
class fw_Music;
class fw_Mouse;
class fw_Scene;
class fw_Texture;
class fw_PostEffects;

class fw_Framework {
public:
    // --- process-wide state -------------------------------------------------------
    static ID3D10Device* mDevice;
    static IDXGISwapChain* mSwapChain;
    static HWND mWindow;
    static int32_t mWindowWidth;
    static int32_t mWindowHeight;
    static float mScale;
    static int32_t mRenderWidth;
    static int32_t mRenderHeight;
    static float mAspect;
    static bool mLetterbox;
    static int32_t mDisplayWidth;
    static int32_t mDisplayHeight;
    static int32_t mDisplayHz;
    static bool mFullscreen;
    static bool mLoop;
    static bool mSound;
    static bool mShowDialog;
    static bool mStereoPreInit;
    static bool mStereoAvailable;
    static bool mStereoChosen;
    static bool mStereoActive;
    static bool mCudaUsed;
    static bool mVerbose;
    static bool mPickEnabled;
    static std::vector<fw_Scene*> mScenes;
    static std::string mFrameworkRoot;
    static std::string mProjectRoot;
    static std::string mApplicationName;
    static std::string mTitle;
    static fw_SyncTimer* mSyncTimer;   // owned
    static sync::Device* mSyncDevice;  // never deleted
    static fw_Music* mMusic;           // owned; null when sound is off

    // Created by the run loop.
    static fw_Timer* mDemoTimer;
    static fw_Timer* mRealTimer;
    static float mSpeed;
    static fw_Mouse* mMouse;
    static fw_PostEffects* mPostEffects;
    static ID3D10EffectPool* mEffectPool;
    static uint32_t mFrameCounter;
    static uint32_t mCurrentScene;     // index into mScenes
    static float mSceneStartTime;      // demo seconds at which the current scene became current

    // The final-layout marker ".final", relative to the working directory.
    static std::string MakeFinalMarkerPath();
};

// The process-wide framework instance; null outside its lifetime.
extern fw_Framework* gFramework;
