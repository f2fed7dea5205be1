#pragma once
// The one application object. Its process-wide state lives in static members, defined
// in fw_FrameworkState.cpp; the object's operations are defined by the files of the
// areas that own them.

#include <cstdint>
#include <functional>
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
struct ID3D10Texture2D;
enum DXGI_FORMAT : UINT;
struct ID3D10EffectMatrixVariable;
struct ID3D10EffectVectorVariable;
struct ID3D10EffectScalarVariable;
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

    // --- texture table and shared resources (fw_TextureTable.cpp) -------------------
    static std::map<std::string, fw_Texture*> mTextures;   // by name, as the caller gave it
    static std::set<fw_Texture*> mOwnedTextures;           // released and deleted at the end
    static fw_Texture* mSwapChainTexture;                  // the swap chain's buffer, wrapped
    static ID3D10Texture2D* mScreenshotTexture;            // both eyes of a stereo screenshot
    static bool mPickRequest;                              // a depth pick at (mPickX, mPickY)
    static int32_t mPickX;
    static int32_t mPickY;

    // Shared pool variables; borrowed from mEffectPool, looked up by LoadSharedResources.
    static ID3D10EffectMatrixVariable* mWorldVar;
    static ID3D10EffectMatrixVariable* mViewVar;
    static ID3D10EffectMatrixVariable* mViewProjectionVar;
    static ID3D10EffectMatrixVariable* mWorldBackInTimeVar;
    static ID3D10EffectMatrixVariable* mViewBackInTimeVar;
    static ID3D10EffectMatrixVariable* mViewProjectionBackInTimeVar;
    static ID3D10EffectMatrixVariable* mViewInverseVar;
    static ID3D10EffectVectorVariable* mEyePositionWorldVar;
    static ID3D10EffectVectorVariable* mEyePositionLocalVar;
    static ID3D10EffectVectorVariable* mStereoConstantsVar;
    static ID3D10EffectVectorVariable* mNearXYZFarZVar;
    static ID3D10EffectVectorVariable* mRenderDimVar;
    static ID3D10EffectScalarVariable* mTimeVar;
    static ID3D10EffectVectorVariable* mLightPositionWorldVar;
    static ID3D10EffectMatrixVariable* mLightViewProjectionVar;
    static ID3D10EffectVectorVariable* mAmbientVar;
    static ID3D10EffectVectorVariable* mDiffuseVar;
    static ID3D10EffectVectorVariable* mSpecularVar;
    static ID3D10EffectScalarVariable* mSpecularPowerVar;

    // The entry of name; else the image file of that name, loaded and registered (never null).
    static fw_Texture* FindOrLoadTexture(const std::string& name);
    // The entry of name; else factory's result, registered (a null result is not).
    static fw_Texture* FindOrCreateTexture(const std::string& name, const std::function<fw_Texture*()>& factory);
    static fw_Texture* FindTexture(const std::string& name);  // null when absent
    static bool HasTexture(const std::string& name);
    // Registers texture under name (replacing the entry) and takes ownership of it.
    static void AddTexture(const std::string& name, fw_Texture* texture);
    // Releases and deletes every owned texture and empties the table.
    static void ReleaseTextures();
    // Performs a requested depth pick (mPickRequest) against "d32f_backbuffer".
    static void PickDepth();

    // The shared resources of the run: the effect pool from fw_Globals.fxi and its
    // variables, "noise.dds" from "data/noise.bin", the post passes (when mPostEffects
    // exists), the named render targets and chains at the render size, the swap chain's
    // buffer ("backbuffer", or "realBackbuffer" and a render-size "backbuffer") and
    // "d32f_backbuffer". Scenes are not loaded here.
    static void LoadSharedResources();
    // The counterpart: the post passes' effect and quad, every owned texture, the pool.
    // Scenes release their own resources between ReleasePostEffects and ReleaseTextures.
    static void ReleasePostEffects();
    static void ReleaseSharedResources();

    // The final-layout marker ".final", relative to the working directory.
    static std::string MakeFinalMarkerPath();
};

// Creates and registers the render targets "name", "name_downsample1", ... halving down
// to 1 x 1 (a side that reaches 0 first stays 1). Nothing when width or height is below 1.
void CreateDownsampleChain(const std::string& name, uint32_t bindFlags, DXGI_FORMAT format, int32_t width,
                           int32_t height);

// The process-wide framework instance; null outside its lifetime.
extern fw_Framework* gFramework;
