#include "fw_Framework.h"

#ifndef FW_DEFAULT_WINDOW_WIDTH
#define FW_DEFAULT_WINDOW_WIDTH 1280
#endif
#ifndef FW_DEFAULT_WINDOW_HEIGHT
#define FW_DEFAULT_WINDOW_HEIGHT 800
#endif

fw_Framework* gFramework = nullptr;

ID3D10Device* fw_Framework::mDevice = nullptr;
IDXGISwapChain* fw_Framework::mSwapChain = nullptr;
HWND fw_Framework::mWindow = nullptr;
int32_t fw_Framework::mWindowWidth = FW_DEFAULT_WINDOW_WIDTH;
int32_t fw_Framework::mWindowHeight = FW_DEFAULT_WINDOW_HEIGHT;
float fw_Framework::mScale = 1.0f;
int32_t fw_Framework::mRenderWidth = FW_DEFAULT_WINDOW_WIDTH;
int32_t fw_Framework::mRenderHeight = FW_DEFAULT_WINDOW_HEIGHT;
float fw_Framework::mAspect = 0.0f;
bool fw_Framework::mLetterbox = false;
int32_t fw_Framework::mDisplayWidth = 0;
int32_t fw_Framework::mDisplayHeight = 0;
int32_t fw_Framework::mDisplayHz = 0;
bool fw_Framework::mFullscreen = false;
bool fw_Framework::mLoop = false;
bool fw_Framework::mSound = true;
bool fw_Framework::mShowDialog = true;
bool fw_Framework::mStereoPreInit = false;
bool fw_Framework::mStereoAvailable = false;
bool fw_Framework::mStereoChosen = false;
bool fw_Framework::mStereoActive = false;
bool fw_Framework::mCudaUsed = false;
bool fw_Framework::mVerbose = false;
bool fw_Framework::mPickEnabled = false;
std::vector<fw_Scene*> fw_Framework::mScenes;
std::map<std::pair<std::string, int32_t>, fw_Font*> fw_Framework::mFonts;
std::string fw_Framework::mFrameworkRoot;
std::string fw_Framework::mProjectRoot;
std::string fw_Framework::mApplicationName;
std::string fw_Framework::mTitle;
fw_SyncTimer* fw_Framework::mSyncTimer = nullptr;
sync::Device* fw_Framework::mSyncDevice = nullptr;
fw_Music* fw_Framework::mMusic = nullptr;

fw_Timer* fw_Framework::mDemoTimer = nullptr;
fw_Timer* fw_Framework::mRealTimer = nullptr;
float fw_Framework::mSpeed = 1.0f;
fw_Mouse* fw_Framework::mMouse = nullptr;
fw_PostEffects* fw_Framework::mPostEffects = nullptr;
ID3D10EffectPool* fw_Framework::mEffectPool = nullptr;
uint32_t fw_Framework::mFrameCounter = 0;
uint32_t fw_Framework::mCurrentScene = 0;
float fw_Framework::mSceneStartTime = 0.0f;

fw_Texture* fw_Framework::mSwapChainTexture = nullptr;
ID3D10Texture2D* fw_Framework::mScreenshotTexture = nullptr;
bool fw_Framework::mPickRequest = false;
int32_t fw_Framework::mPickX = 0;
int32_t fw_Framework::mPickY = 0;
bool fw_Framework::mClockRanBeforeMove = false;
void* fw_Framework::mStereoHandle = nullptr;
float fw_Framework::mEyeSeparation = 0.1f;
float fw_Framework::mStereoSeparation = 0.0f;
float fw_Framework::mStereoConvergence = 0.0f;
bool fw_Framework::mScreenshotRequest = false;
fw_BaseFile* fw_Framework::mBaseFile = nullptr;
