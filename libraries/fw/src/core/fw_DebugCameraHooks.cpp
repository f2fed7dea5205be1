// Development operations between the current scene's free camera and its active camera:
// take over the active camera's pose, key the free pose into the camera's curves, and
// show both as text for pasting into source and scene description.
#include <string>

#include "fw_Camera.h"
#include "fw_Curve.h"
#include "fw_DebugCamera.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Scene.h"
#include "fw_Timer.h"
#include "fw_Transform.h"

namespace {

// The current scene's debug camera, or null when there is no current scene or it has
// not been loaded.
fw_DebugCamera* CurrentDebugCamera() {
    fw_Scene* scene = fw_Framework::GetCurrentScene();
    return scene ? scene->GetDebugCamera() : nullptr;
}

// The transform of the current scene's active camera, or null.
fw_Transform* ActiveCameraTransform(fw_DebugCamera* debugCamera) {
    fw_Camera* camera = debugCamera ? debugCamera->GetActiveCamera() : nullptr;
    return camera ? camera->mTransform : nullptr;
}

}  // namespace

void fw_Framework::ToggleDebugCamera() {
    fw_DebugCamera* debugCamera = CurrentDebugCamera();
    fw_Transform* transform = ActiveCameraTransform(debugCamera);
    if (!transform)
        return;
    // Only the clock stops: the music keeps playing.
    if (mDemoTimer && !mDemoTimer->IsPaused())
        mDemoTimer->Pause();
    const D3DXMATRIX& world = transform->GetWorld();
    const D3DXVECTOR3 position(world._41, world._42, world._43);
    debugCamera->SetPosition(position);
    // A point just ahead along the camera's view direction (it looks along local -Z).
    const D3DXVECTOR3 backward(world._31, world._32, world._33);
    debugCamera->SetLookAt(position - backward * 0.01f);
    debugCamera->SetEnabled(!debugCamera->IsEnabled());
}

void fw_Framework::StoreCameraKeys() {
    fw_DebugCamera* debugCamera = CurrentDebugCamera();
    fw_Transform* transform = ActiveCameraTransform(debugCamera);
    if (!transform)
        return;
    const float now = mDemoTimer ? static_cast<float>(mDemoTimer->GetSeconds()) : 0.0f;
    const float t = now - mSceneStartTime;
    const D3DXVECTOR3& position = debugCamera->GetPosition();
    const D3DXVECTOR3& angles = debugCamera->GetAngles();
    const float values[6] = {position.x, position.y, position.z, angles.x, angles.y, angles.z};
    // Channels 0..5: translateX, Y, Z, rotateX, Y, Z. A channel without a curve is skipped.
    for (int channel = 0; channel < 6; ++channel)
        if (fw_Curve* curve = transform->GetChannelCurve(channel))
            curve->SetKey(t, values[channel]);
}

void fw_Framework::ShowCameraDump() {
    fw_Scene* scene = GetCurrentScene();
    fw_DebugCamera* debugCamera = scene ? scene->GetDebugCamera() : nullptr;
    if (!debugCamera)
        return;
    scene->OnBeginCameraDump();
    const std::string text = debugCamera->DumpPoseAsC() + "\n\n" + debugCamera->DumpActiveCameraXml();
    scene->OnEndCameraDump();
    fw_Log::Alert(text);
}
