#pragma once
// The one application object. Its process-wide state lives in one record,
// fw_FrameworkState, which the static members name; the object's operations are defined
// in the files its banners name.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fw_FrameworkState.h"
#include "platform/win32_types.h"

// The types the state record declares (fw_FrameworkState.h), and these:
enum DXGI_FORMAT : UINT;
struct ID3D10EffectMatrixVariable;
struct ID3D10EffectVectorVariable;
struct ID3D10EffectScalarVariable;
struct D3DXMATRIX;
class fw_Camera;

// A row-major 4x4 float matrix laid out as D3DXMATRIX.
struct fw_FrameMatrix {
    float m[16];
};

// The base-file record: remembers a name, opens nothing. The newest record is current;
// when it ends, the one current before it is current again.
class fw_BaseFile {
public:
    explicit fw_BaseFile(const std::string& name);
    ~fw_BaseFile();
    fw_BaseFile(const fw_BaseFile&) = delete;
    fw_BaseFile& operator=(const fw_BaseFile&) = delete;
    static fw_BaseFile* sCurrent;
    int32_t counter;
    std::string name;

private:
    fw_BaseFile* mPrevious;
};

class fw_Framework {
public:
    // --- start-up (fw_Framework.cpp) ------------------------------------------------
    // Full start-up: roots, sizes, folders, sync, dialog, window, device, music. Ends the
    // process when start-up cannot complete.
    fw_Framework(const std::string& musicPath, const std::string& applicationName, HINSTANCE instance, int showCommand,
                 const std::string& title, float scale, float aspect);
    // Only the object and its roots (steps before the display query), for tools and tests.
    struct NoStartup {};
    fw_Framework(NoStartup, const std::string& applicationName);
    ~fw_Framework();
    fw_Framework(const fw_Framework&) = delete;
    fw_Framework& operator=(const fw_Framework&) = delete;
    HRESULT Init(HINSTANCE instance, const std::string& musicPath, int showCommand);
    // Start-up on a device of the caller's, without dialog, window and swap chain (tools
    // that draw frames), on the defaults that ResetState gives (windowed, no loop, sound
    // on): the window at width x height, the render size scaled from it; then the sync
    // device and the music player, as Init leaves them.
    static void InitWithoutWindow(ID3D10Device* device, int32_t width, int32_t height, float scale, float aspect,
                                  const std::string& musicPath);
    static void InitSync();
    // With sound on and a path: the music player of that file under the project root.
    static void OpenMusic(const std::string& musicPath);
    static void FindProjectRoots(const std::string& applicationName);
    // The display mode: "\\.\DISPLAY2", then the default display; when both fail, the
    // window size and a rate of zero.
    static void QueryDisplayMode();

    // --- window, device, presentation (fw_Window.cpp) --------------------------------
    static HRESULT CreateAppWindow(HINSTANCE instance, int showCommand);
    static HRESULT CreateDeviceAndSwapChain();
    // Render size and letterbox from the window or display size, the scale and the aspect.
    static void ComputeRenderSize(bool finalMarker);
    // A window length at the render scale.
    static int32_t ScaledLength(int32_t length);
    static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static HRESULT Present();
    static void _ReenterFullscreenIfRequired();
    static void ReleaseDevice();
    void ToggleFullscreen();
    // Black bar rows above and below the picture when presenting into the output size.
    static int LetterboxBarHeight();
    // Attempts per frame at taking the swap chain back to fullscreen.
    static constexpr int kMaxFullscreenAttempts = 8;

    // --- run loop and frame (fw_RunLoop.cpp) ----------------------------------------
    int Run();
    // The run's start before its clocks start, and its end after the message loop, which
    // tools that step frames themselves share: BeginRun makes the run's objects (both clocks
    // paused at zero, the mouse state, empty post passes, the base-file record) and loads
    // every resource; EndRun gives the device back (ReleaseDevice) and deletes the run's
    // objects and the music player.
    void BeginRun();
    static void EndRun();
    void LoadResources();
    void LoadSceneResources();
    void ReleaseSceneResources();
    void ReleaseResources();
    // What differs between the frames that the run loop, the tools and the tests step.
    struct FrameStep {
        // Both clocks set to these seconds; without, the demo clock advances by mSpeed
        // and the real-time clock by 1.0.
        std::optional<double> seconds;
        // The mouse state and the "GotoRow" and "Scene" tracks.
        bool readInput = true;
        bool present = true;
        // Called between the scene's update and its render; false leaves the render out.
        std::function<bool()> beforeRender;
    };
    // One frame, in the run loop's order: the clocks, the sync device at the sync timer's
    // row, the input, the pool's "Time", RenderFrame, Present.
    void StepFrame(const FrameStep& step);
    // The run loop's frame: StepFrame with every step.
    void Frame();
    // The frame counted; from the fourth on, the current scene's update (debug camera,
    // animation, camera variables, Update), beforeRender, and the scene rendered for each
    // eye, then the depth pick.
    void RenderFrame(const std::function<bool()>& beforeRender = nullptr);
    // The frames at a run's start that render nothing.
    static constexpr uint32_t kFramesWithoutRender = 3;
    static void Seek(float row, bool restart);
    // The "Scene" track's value as a scene index for `count` scenes (0 when count is 0).
    static uint32_t SceneIndexFromValue(float value, size_t count);
    // Leaves fullscreen, closes the audio device and ends the process with code.
    [[noreturn]] static void ExitImmediately(int code);

private:
    // The steps of StepFrame and RenderFrame: the sync device at the sync timer's row; the
    // pool's "Time" from the demo clock; the frame counted and its scene (null for the
    // first frames and without a current scene); the scene's update, true when there is
    // an active camera; the scene rendered for each eye, then the depth pick.
    static void UpdateSyncDevice();
    void SetTimeVariable();
    static fw_Scene* CountFrame();
    bool UpdateScene(fw_Scene* scene);
    void RenderScene(fw_Scene* scene, bool haveCamera);

public:
    // --- camera and eye variables (fw_CameraVariables.cpp) ---------------------------
    void SetCameraVariables();
    void SetEyeVariables(uint32_t eye);
    fw_FrameMatrix StereoEyeMatrix(uint32_t eye);
    void SetWorldMatrices(const D3DXMATRIX* world, const D3DXMATRIX* worldBackInTime);
    void SetWorldMatrix(const D3DXMATRIX* world);
    // The camera whose variables the frame sets: the current scene's active camera.
    static fw_Camera* GetActiveCamera();
    void LookUpPoolVariables();

    // --- stereo and CUDA (fw_Stereo.cpp) ----------------------------------------------
    static HRESULT InitStereo();
    static void InitStereoHandle();
    static void PollStereo();
    static void DisableStereoDriver();
    static void SetActiveEye(uint32_t eye);
    static void DestroyStereoHandle();
    static void CudaShutdown();
    static const char* CudaGetErrorString(int error);

    // --- screenshots (fw_Screenshot.cpp) -----------------------------------------------
    void SaveScreenshot(uint32_t eye);
    // "/screenshots/YYYY-MM-DD_hhmmss" + extension, with "_2", "_3", ... when that name
    // was already handed out.
    static std::string MakeScreenshotName(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                          unsigned second, bool stereo);

    // --- accessors, scene lookup, development hooks (fw_FrameworkHooks.cpp) ----------
    D3DXMATRIX* GetMatrix(D3DXMATRIX* out) const;
    static ID3D10EffectPool* GetEffectPool() { return mEffectPool; }
    static fw_PostEffects* GetPostEffects() { return mPostEffects; }
    static ID3D10Device* GetDevice() { return mDevice; }
    static HWND GetWindowHandle() { return mWindow; }
    static fw_Timer* GetTimer() { return mDemoTimer; }
    static bool IsShiftDown();
    static bool IsControlDown();
    static fw_Scene* GetCurrentScene();
    static float RowToSeconds(float row);
    static float SecondsToRow(float seconds);
    static void SetSpeed(float speed) { mSpeed = speed; }
    static float GetRealTime();
    static bool IsPaused();
    static float GetTime();
    static float GetSceneTime();
    static const std::string& GetProjectRoot() { return mProjectRoot; }
    static const std::string& GetFrameworkRoot() { return mFrameworkRoot; }
    static int GetWidth() { return mRenderWidth; }
    static int GetHeight() { return mRenderHeight; }
    static float GetRenderAspect();
    static int GetOutputWidth();
    static int GetOutputHeight();
    static float GetOutputAspect();
    static bool RenderSizeDiffers();
    [[noreturn]] static void Quit();

    static void AddScene(fw_Scene* scene);
    static fw_Scene* FindScene(const std::string& name);
    static void DeleteScenes();
    static void SetRenderTargets(int offset, fw_Texture* first, fw_Texture* second, fw_Texture* third,
                                 fw_Texture* depth);
    void ReloadResources();
    static bool ReloadCurrentScene();
    static void KeyNext();
    static void KeyPrevious();
    static void TogglePause();
    static void HandleSyncJump(int code);
    static void NotifySyncRow(int value);
    static void DeleteCameraKeys();
    // The music player's 256-entry spectrum at that time; null without a music player.
    static const float* GetMusicFft(float seconds);
    static void SetMusicVolume(float volume);
    static uint64_t GetFileLength(const std::string& path);
    static uint64_t ReadWholeFile(const std::string& path, void* buffer);

    // --- development operations on the current scene's debug camera
    //     (fw_DebugCameraHooks.cpp) -----------------------------------------------------
    static void ToggleDebugCamera();
    static void StoreCameraKeys();
    static void ShowCameraDump();

    // --- sync-track values (fw_SyncValue.cpp) ----------------------------------------
    static float GetSyncValue(const std::string& name, float defaultValue);
    static float GetSyncValueNow(const std::string& name, float defaultValue);
    // The values of the track's keys in row order; none without the track or keys.
    static std::vector<float> GetSyncKeyValues(const std::string& name);

    // --- texture table, shared resources, data paths (fw_TextureTable.cpp) ------------
    fw_Texture* FindTexture(const std::string& name) const;
    bool HasTexture(const std::string& name) const;
    void AddTexture(const std::string& name, fw_Texture* texture);
    // Whether the texture is in the owned set.
    bool OwnsTexture(const fw_Texture* texture) const;
    // The entry of name; else the image file of that name, loaded and registered (never null).
    fw_Texture* FindOrLoadTexture(const std::string& name);
    // The entry of name; else factory's result, registered (a null result is not).
    fw_Texture* FindOrCreateTexture(const std::string& name, const std::function<fw_Texture*()>& factory);
    // Releases and deletes every owned texture and empties the table.
    void ReleaseTextures();
    // Performs a requested depth pick (mPickRequest) against "d32f_backbuffer".
    void PickDepth();
    // The run's shared resources: the effect pool from fw_Globals.fxi and the handles of
    // its variables, "noise.dds" from "data/noise.bin" (and "gNoiseTexture"), the post
    // passes (when mPostEffects exists), the named render targets and chains at the render
    // size, the swap chain's buffer ("backbuffer", or "realBackbuffer" and a render-size
    // "backbuffer") and "d32f_backbuffer". Scenes are not loaded here.
    void LoadSharedResources();
    // The counterparts: the post passes' effect and quad (first of all releases); then,
    // after the scenes, every owned texture and the pool.
    void ReleasePostEffects();
    void ReleaseSharedResources();
    // Where an image of that name is read: a name with ':' second or '/' first as it is;
    // "./data/x" under the project root; any other under the project's data folder.
    static std::string ResolveDataPath(const std::string& path);

    // --- fonts (fw_Font.cpp) ----------------------------------------------------------
    // The cached font of that face name and height; created and cached on a miss.
    static fw_Font* GetFont(const std::string& faceName, int32_t height);
    // Deletes every cached font and empties the cache.
    static void ReleaseFonts();

    // --- per-object state -------------------------------------------------------------
    fw_FrameMatrix mView = {};
    fw_FrameMatrix mProjection = {};
    fw_FrameMatrix mViewProjection = {};
    fw_FrameMatrix mViewBackInTime = {};
    fw_FrameMatrix mViewProjectionBackInTime = {};
    std::map<std::string, fw_Texture*> mTextures;
    std::set<fw_Texture*> mOwnedTextures;
    ID3D10EffectMatrixVariable* mWorldBackInTimeVar = nullptr;
    ID3D10EffectMatrixVariable* mViewProjectionBackInTimeVar = nullptr;
    ID3D10EffectMatrixVariable* mViewBackInTimeVar = nullptr;
    ID3D10EffectMatrixVariable* mWorldVar = nullptr;
    ID3D10EffectMatrixVariable* mViewProjectionVar = nullptr;
    ID3D10EffectMatrixVariable* mViewVar = nullptr;
    ID3D10EffectMatrixVariable* mViewInverseVar = nullptr;
    ID3D10EffectVectorVariable* mEyePositionWorldVar = nullptr;
    ID3D10EffectVectorVariable* mEyePositionLocalVar = nullptr;
    ID3D10EffectVectorVariable* mStereoConstantsVar = nullptr;
    ID3D10EffectVectorVariable* mNearXYZFarZVar = nullptr;
    ID3D10EffectVectorVariable* mRenderDimVar = nullptr;
    ID3D10EffectScalarVariable* mTimeVar = nullptr;
    ID3D10EffectVectorVariable* mAmbientVar = nullptr;
    ID3D10EffectVectorVariable* mDiffuseVar = nullptr;
    ID3D10EffectVectorVariable* mSpecularVar = nullptr;
    ID3D10EffectScalarVariable* mSpecularPowerVar = nullptr;
    ID3D10EffectVectorVariable* mLightPositionWorldVar = nullptr;
    ID3D10EffectMatrixVariable* mLightViewProjectionVar = nullptr;
    float mEyePositionWorld[3] = {0.0f, 0.0f, 0.0f};

    // --- process-wide state (fw_FrameworkState.cpp) -------------------------------------
    // Every member back to its default (fw_FrameworkState); deletes nothing, so owners give
    // back what the members point to first.
    static void ResetState();
    // The final-layout marker ".final", relative to the working directory.
    static std::string MakeFinalMarkerPath();
    static fw_FrameworkState sState;
    static constexpr ID3D10Device*& mDevice = sState.mDevice;
    static constexpr IDXGISwapChain*& mSwapChain = sState.mSwapChain;
    static constexpr HWND& mWindow = sState.mWindow;
    static constexpr int32_t& mWindowWidth = sState.mWindowWidth;
    static constexpr int32_t& mWindowHeight = sState.mWindowHeight;
    static constexpr float& mScale = sState.mScale;
    static constexpr int32_t& mRenderWidth = sState.mRenderWidth;
    static constexpr int32_t& mRenderHeight = sState.mRenderHeight;
    static constexpr float& mAspect = sState.mAspect;
    static constexpr bool& mLetterbox = sState.mLetterbox;
    static constexpr int32_t& mDisplayWidth = sState.mDisplayWidth;
    static constexpr int32_t& mDisplayHeight = sState.mDisplayHeight;
    static constexpr int32_t& mDisplayHz = sState.mDisplayHz;
    static constexpr bool& mFullscreen = sState.mFullscreen;
    static constexpr bool& mLoop = sState.mLoop;
    static constexpr bool& mSound = sState.mSound;
    static constexpr bool& mShowDialog = sState.mShowDialog;
    static constexpr bool& mStereoPreInit = sState.mStereoPreInit;
    static constexpr bool& mStereoAvailable = sState.mStereoAvailable;
    static constexpr bool& mStereoChosen = sState.mStereoChosen;
    static constexpr bool& mStereoActive = sState.mStereoActive;
    static constexpr bool& mCudaUsed = sState.mCudaUsed;
    static constexpr bool& mVerbose = sState.mVerbose;
    static constexpr bool& mPickEnabled = sState.mPickEnabled;
    static constexpr std::vector<fw_Scene*>& mScenes = sState.mScenes;
    static constexpr std::map<std::pair<std::string, int32_t>, fw_Font*>& mFonts = sState.mFonts;
    static constexpr std::string& mFrameworkRoot = sState.mFrameworkRoot;
    static constexpr std::string& mProjectRoot = sState.mProjectRoot;
    static constexpr std::string& mApplicationName = sState.mApplicationName;
    static constexpr std::string& mTitle = sState.mTitle;
    static constexpr fw_SyncTimer*& mSyncTimer = sState.mSyncTimer;
    static constexpr sync::Device*& mSyncDevice = sState.mSyncDevice;
    static constexpr fw_Music*& mMusic = sState.mMusic;

    // Window and presentation.
    static constexpr fw_Texture*& mSwapChainTexture = sState.mSwapChainTexture;
    static constexpr bool& mClockRanBeforeMove = sState.mClockRanBeforeMove;
    static constexpr bool& mPickRequest = sState.mPickRequest;
    static constexpr int32_t& mPickX = sState.mPickX;
    static constexpr int32_t& mPickY = sState.mPickY;

    // Stereo, CUDA, screenshots.
    static constexpr void*& mStereoHandle = sState.mStereoHandle;
    static constexpr float& mEyeSeparation = sState.mEyeSeparation;
    static constexpr float& mStereoSeparation = sState.mStereoSeparation;
    static constexpr float& mStereoConvergence = sState.mStereoConvergence;
    static constexpr bool& mScreenshotRequest = sState.mScreenshotRequest;
    static constexpr ID3D10Texture2D*& mScreenshotTexture = sState.mScreenshotTexture;

    // Created by the run loop.
    static constexpr fw_Timer*& mDemoTimer = sState.mDemoTimer;
    static constexpr fw_Timer*& mRealTimer = sState.mRealTimer;
    static constexpr float& mSpeed = sState.mSpeed;
    static constexpr fw_Mouse*& mMouse = sState.mMouse;
    static constexpr fw_PostEffects*& mPostEffects = sState.mPostEffects;
    static constexpr ID3D10EffectPool*& mEffectPool = sState.mEffectPool;
    static constexpr fw_BaseFile*& mBaseFile = sState.mBaseFile;
    static constexpr uint32_t& mFrameCounter = sState.mFrameCounter;
    static constexpr uint32_t& mCurrentScene = sState.mCurrentScene;
    static constexpr float& mSceneStartTime = sState.mSceneStartTime;
};

// Creates and registers in gFramework's table the render targets "name",
// "name_downsample1", ... halving down to 1 x 1 (a side that reaches 0 first stays 1).
// Nothing when width or height is below 1.
void CreateDownsampleChain(const std::string& name, uint32_t bindFlags, DXGI_FORMAT format, int32_t width,
                           int32_t height);

// Seconds the production's simulation has stepped to; only the simulation writes it.
extern float SimulationTime;

// The process-wide framework instance; null outside its lifetime.
extern fw_Framework* gFramework;
