#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Framework.h"
#include "fw_LibraryLoader.h"
#include "fw_Music.h"
#include "fw_Scene.h"
#include "fw_SyncTimer.h"
#include "fw_Texture.h"
#include "fw_Timer.h"
#include "fw_Transform.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"
#include "platform/regular_file.h"
#include "platform/win32.h"
#include "sync/device.h"
#include "sync/track.h"

namespace {

fw_Curve* FirstCameraCurve() {
    fw_Camera* camera = fw_Framework::GetActiveCamera();
    if (!camera || !camera->mTransform)
        return nullptr;
    return camera->mTransform->GetChannelCurve(0);
}

// One step of the paused keyboard timeline: to the next (or previous) key of the active
// camera with Control, else one whole row on.
void KeyStep(bool forward) {
    if (!fw_Framework::mSyncTimer || fw_Framework::mSyncTimer->IsPlaying())
        return;
    if (fw_Framework::IsControlDown()) {
        fw_Curve* curve = FirstCameraCurve();
        if (!curve)
            return;
        const double now = fw_Framework::mDemoTimer ? fw_Framework::mDemoTimer->GetSeconds() : 0.0;
        const auto& keys = curve->GetKeys();
        int found = -1;
        if (forward) {
            for (int i = 0; i < static_cast<int>(keys.size()); ++i)
                if (double(keys[size_t(i)].time) > now) {
                    found = i;
                    break;
                }
        } else {
            for (int i = static_cast<int>(keys.size()) - 1; i >= 0; --i)
                if (double(keys[size_t(i)].time) < now) {
                    found = i;
                    break;
                }
        }
        if (found < 0)
            return;
        curve->ResetCachedIndex();
        fw_Framework::Seek(static_cast<float>(double(keys[size_t(found)].time) * fw_SyncTimer::kRowRate), true);
        return;
    }
    const double row = fw_Framework::mSyncTimer->GetRow();
    fw_Framework::Seek(static_cast<float>(std::floor(row + (forward ? 1.0 : -1.0))), true);
}

}  // namespace

D3DXMATRIX* fw_Framework::GetMatrix(D3DXMATRIX* out) const {
    if (out)
        std::memcpy(out, mView.m, sizeof(mView.m));
    return out;
}

bool fw_Framework::IsShiftDown() {
    return GetKeyState(VK_SHIFT) < 0;
}
bool fw_Framework::IsControlDown() {
    return GetKeyState(VK_CONTROL) < 0;
}

fw_Scene* fw_Framework::GetCurrentScene() {
    return mCurrentScene < mScenes.size() ? mScenes[mCurrentScene] : nullptr;
}

float fw_Framework::RowToSeconds(float row) {
    return static_cast<float>(double(row) / fw_SyncTimer::kRowRate);
}
float fw_Framework::SecondsToRow(float seconds) {
    return static_cast<float>(double(seconds) * fw_SyncTimer::kRowRate);
}
float fw_Framework::GetRealTime() {
    return mRealTimer ? static_cast<float>(mRealTimer->GetSeconds()) : 0.0f;
}
bool fw_Framework::IsPaused() {
    return !mDemoTimer || mDemoTimer->IsPaused();
}
float fw_Framework::GetTime() {
    return mDemoTimer ? static_cast<float>(mDemoTimer->GetSeconds()) : 0.0f;
}

float fw_Framework::GetSceneTime() {
    return static_cast<float>(double(GetTime()) - double(mSceneStartTime));
}

float fw_Framework::GetRenderAspect() {
    return static_cast<float>(double(static_cast<float>(mRenderWidth)) / double(static_cast<float>(mRenderHeight)));
}

int fw_Framework::GetOutputWidth() {
    return mFullscreen ? mDisplayWidth : mWindowWidth;
}
int fw_Framework::GetOutputHeight() {
    return mFullscreen ? mDisplayHeight : mWindowHeight;
}

float fw_Framework::GetOutputAspect() {
    return static_cast<float>(double(static_cast<float>(GetOutputWidth())) /
                              double(static_cast<float>(GetOutputHeight())));
}

bool fw_Framework::RenderSizeDiffers() {
    return GetOutputWidth() != mRenderWidth || GetOutputHeight() != mRenderHeight;
}

void fw_Framework::Quit() {
    ExitProcess(0);
}

void fw_Framework::AddScene(fw_Scene* scene) {
    mScenes.push_back(scene);
}

fw_Scene* fw_Framework::FindScene(const std::string& name) {
    const std::string fileName = name + ".xml";
    for (fw_Scene* scene : mScenes)
        if (scene && scene->GetName() == fileName)
            return scene;
    return nullptr;
}

void fw_Framework::DeleteScenes() {
    for (fw_Scene* scene : mScenes)
        delete scene;
    mScenes.clear();
    mCurrentScene = 0;
}

void fw_Framework::SetRenderTargets(int offset, fw_Texture* first, fw_Texture* second, fw_Texture* third,
                                    fw_Texture* depth) {
    if (!mDevice)
        return;
    ID3D10RenderTargetView* views[3] = {};
    D3D10_VIEWPORT viewports[3] = {};
    UINT count = 0;
    for (fw_Texture* target : {first, second, third}) {
        if (!target)
            continue;
        views[count] = target->mRenderTargetView;
        viewports[count] = target->InsetViewport(offset);
        ++count;
    }
    mDevice->OMSetRenderTargets(count, views, depth ? depth->mDepthStencilView : nullptr);
    mDevice->RSSetViewports(count, viewports);
}

void fw_Framework::ReloadResources() {
    ReleaseResources();
    LoadResources();
}

bool fw_Framework::ReloadCurrentScene() {
    fw_Scene* scene = GetCurrentScene();
    if (!scene)
        return false;
    scene->ReleaseResources();
    scene->LoadResources();
    return true;
}

void fw_Framework::KeyNext() {
    KeyStep(true);
}
void fw_Framework::KeyPrevious() {
    KeyStep(false);
}

void fw_Framework::TogglePause() {
    if (mDemoTimer)
        mDemoTimer->paused = !mDemoTimer->paused;
    if (mSyncDevice)
        mSyncDevice->OnPauseToggled();
}

void fw_Framework::HandleSyncJump(int code) {
    if (!mSyncDevice)
        return;
    const float answer = mSyncDevice->GetJumpTime(code);
    if (answer >= 0.0f)
        Seek(answer, true);
}

void fw_Framework::NotifySyncRow(int value) {
    if (mSyncDevice)
        mSyncDevice->NotifyRow(value, mSyncTimer ? mSyncTimer->GetRow() : 0.0f);
}

void fw_Framework::DeleteCameraKeys() {
    fw_Camera* camera = GetActiveCamera();
    if (!camera || !camera->mTransform)
        return;
    const float t = GetSceneTime();
    const float below = t == 0.0f ? -1.1754944e-38f : std::nextafter(t, -INFINITY);
    const float above = t == 0.0f ? 1.1754944e-38f : std::nextafter(t, INFINITY);
    for (int channel = 0; channel < 6; ++channel)
        if (fw_Curve* curve = camera->mTransform->GetChannelCurve(channel))
            curve->RemoveKeys(below, above);
}

const float* fw_Framework::GetMusicFft(float seconds) {
    if (!mMusic)
        return nullptr;
    mMusic->GetFFT(seconds);
    return mMusic->fft.data();
}

void fw_Framework::SetMusicVolume(float volume) {
    if (mMusic)
        mMusic->SetVolume(volume);
}

// Both open regular files only (bounded reads): a pipe or a device has length 0.
uint64_t fw_Framework::GetFileLength(const std::string& path) {
    RegularFileRead status;
    uint64_t length = 0;
    const int fd = OpenRegularFile(path, status, nullptr, &length);
    if (fd < 0)
        return 0;
    ::close(fd);
    return length;
}

uint64_t fw_Framework::ReadWholeFile(const std::string& path, void* buffer) {
    std::vector<uint8_t> bytes;
    if (ReadRegularFileStart(path, static_cast<size_t>(GetFileLength(path)), bytes) != RegularFileRead::Ok)
        return 0;
    if (!bytes.empty())
        std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
}
