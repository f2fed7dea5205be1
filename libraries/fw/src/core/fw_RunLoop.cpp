#include "platform/d3dx10.h"
#include <cmath>
#include <cstdio>
#include <cstring>

#include "fw_Convert.h"
#include "fw_DebugCamera.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Mouse.h"
#include "fw_Music.h"
#include "fw_PostEffects.h"
#include "fw_Scene.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"
#include "platform/win32.h"
#include "sync/device.h"
#include "sync/track.h"

namespace {

void NewPausedClock(fw_Timer*& clock) {
    delete clock;
    clock = new fw_Timer();
    clock->seconds = 0.0;
    clock->paused = true;
    clock->lastCounter = fw_ReadPerformanceCounter();
}

}  // namespace

int fw_Framework::Run() {
    BeginRun();

    if (!mFullscreen)
        fw_ShowLoadIssueNotice(fw_Log::GetWarningCount());

    mDemoTimer->Restart();
    mRealTimer->Restart();
    if (mMusic)
        mMusic->Play(0.0f);

    MSG message = {};
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            Frame();
        }
    }

    EndRun();
    return static_cast<int>(message.wParam);
}

void fw_Framework::BeginRun() {
    NewPausedClock(mDemoTimer);
    NewPausedClock(mRealTimer);
    delete mMouse;
    mMouse = new fw_Mouse();
    delete mPostEffects;
    mPostEffects = new fw_PostEffects();
    delete mBaseFile;
    mBaseFile = new fw_BaseFile("basefile.dat");

    LoadResources();
}

void fw_Framework::EndRun() {
    ReleaseDevice();

    delete mBaseFile;
    mBaseFile = nullptr;
    delete mDemoTimer;
    mDemoTimer = nullptr;
    delete mRealTimer;
    mRealTimer = nullptr;
    delete mMouse;
    mMouse = nullptr;
    delete mPostEffects;
    mPostEffects = nullptr;
    delete mMusic;
    mMusic = nullptr;
}

void fw_Framework::LoadResources() {
    fw_Log::Write(fw_Log::kPlain, "Start loading resources.");
    fw_BaseFile loading("dummyname");
    LoadSharedResources();
    LoadSceneResources();
    fw_Log::Write(fw_Log::kPlain, "Finished loading resources.");
}

void fw_Framework::LoadSceneResources() {
    for (fw_Scene* scene : mScenes) {
        if (!scene)
            continue;
        scene->LoadXml();
        scene->LoadResources();
    }
}

void fw_Framework::ReleaseSceneResources() {
    for (fw_Scene* scene : mScenes)
        if (scene)
            scene->ReleaseResources();
}

void fw_Framework::ReleaseResources() {
    ReleasePostEffects();
    ReleaseSceneResources();
    ReleaseSharedResources();
}

uint32_t fw_Framework::SceneIndexFromValue(float value, size_t count) {
    if (count == 0)
        return 0;
    const int64_t whole = fw_FloatToInt64(value);
    const uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(whole) & 0xFFFFFFFFu);
    return static_cast<uint32_t>(low % count);
}

void fw_Framework::ExitImmediately(int code) {
    // Leave fullscreen and close the audio device so that neither outlives the process.
    if (mSwapChain) {
        BOOL state = FALSE;
        if (SUCCEEDED(mSwapChain->GetFullscreenState(&state, nullptr)) && state)
            mSwapChain->SetFullscreenState(FALSE, nullptr);
    }
    delete mMusic;
    mMusic = nullptr;
    ExitProcess(static_cast<UINT>(code));
}

void fw_Framework::Frame() {
    StepFrame(FrameStep());
}

void fw_Framework::StepFrame(const FrameStep& step) {
    if (step.seconds) {
        if (mDemoTimer)
            mDemoTimer->SetSeconds(*step.seconds, 0.0);
        if (mRealTimer)
            mRealTimer->SetSeconds(*step.seconds, 0.0);
    } else {
        if (mDemoTimer)
            mDemoTimer->Advance(mSpeed);
        if (mRealTimer)
            mRealTimer->Advance(1.0f);
    }

    UpdateSyncDevice();

    if (step.readInput) {
        UpdateMouseState();

        const float gotoRow = fw_Framework::GetSyncValueNow("GotoRow", -1.0f);
        if (gotoRow >= 0.0f) {
            if (gotoRow == 0.0f && !mLoop)
                ExitImmediately(0);
            Seek(gotoRow, true);
        }

        const float sceneValue = fw_Framework::GetSyncValueNow("Scene", 0.0f);
        const uint32_t index = SceneIndexFromValue(sceneValue, mScenes.size());
        if (index != mCurrentScene || gotoRow == 0.0f) {
            mCurrentScene = index;
            mSceneStartTime = mDemoTimer ? static_cast<float>(mDemoTimer->GetSeconds()) : 0.0f;
            if (index < mScenes.size() && mScenes[index])
                mScenes[index]->OnActivate();
        }
    }

    if (gFramework) {
        gFramework->SetTimeVariable();
        gFramework->RenderFrame(step.beforeRender);
    }
    if (step.present)
        Present();
}

void fw_Framework::UpdateSyncDevice() {
    if (mSyncTimer && mSyncDevice)
        mSyncDevice->Update(mSyncTimer->GetRow());
}

void fw_Framework::SetTimeVariable() {
    if (mTimeVar)
        mTimeVar->SetFloat(mDemoTimer ? static_cast<float>(mDemoTimer->GetSeconds()) : 0.0f);
}

void fw_Framework::RenderFrame(const std::function<bool()>& beforeRender) {
    fw_Scene* scene = CountFrame();
    if (!scene)
        return;
    const bool haveCamera = UpdateScene(scene);
    if (beforeRender && !beforeRender())
        return;
    RenderScene(scene, haveCamera);
}

fw_Scene* fw_Framework::CountFrame() {
    const uint32_t before = mFrameCounter++;
    return before < kFramesWithoutRender ? nullptr : GetCurrentScene();
}

bool fw_Framework::UpdateScene(fw_Scene* scene) {
    if (fw_DebugCamera* debugCamera = scene->GetDebugCamera())
        debugCamera->Update();
    scene->UpdateAnimation(GetSceneTime());
    const bool haveCamera = GetActiveCamera() != nullptr;
    if (haveCamera)
        SetCameraVariables();
    scene->Update();
    return haveCamera;
}

void fw_Framework::RenderScene(fw_Scene* scene, bool haveCamera) {
    if (mStereoChosen)
        PollStereo();
    for (uint32_t eye = 0; eye == 0 || (eye == 1 && mStereoActive); ++eye) {
        if (mStereoActive)
            SetActiveEye(eye);
        if (haveCamera)
            SetEyeVariables(eye);
        scene->Render();
        SaveScreenshot(eye);
    }
    PickDepth();
}

void fw_Framework::Seek(float row, bool restart) {
    if (!mSyncTimer)
        return;
    const bool playing = mSyncTimer->IsPlaying();
    if (playing && !restart)
        return;
    if (!(row >= 0.0f))
        row = 0.0f;
    mSyncTimer->SetRow(row);
    if (!playing)
        mSyncTimer->Play();
    if (mSyncDevice)
        mSyncDevice->Update(row);
    if (!playing)
        mSyncTimer->Pause();
    mSyncTimer->SetRow(row);
    if (playing)
        mSyncTimer->Play();
}
