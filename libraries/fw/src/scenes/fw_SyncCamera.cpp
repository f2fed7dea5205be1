#include "fw_SyncCamera.h"

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Math.h"
#include "fw_Scene.h"
#include "fw_Framework.h"
#include "fw_SceneServices.h"
#include "fw_Transform.h"
#include "platform/crt.h"

namespace {

float Radians(float degrees) {
    return static_cast<float>(double(degrees) * double(3.1415927f) / 180.0);
}

// angle + amplitude * (2 r / 32767 - 1), formed in double with r the next rand().
float Jittered(float angle, float amplitude) {
    return static_cast<float>(double(angle) + double(amplitude) * (2.0 * rand() / 32767.0 - 1.0));
}

}  // namespace

void UpdateSyncCamera(fw_Scene* scene) {
    const auto TrackValue = fw_Framework::GetSyncValueNow;
    const float offsetY = TrackValue("cam_OffsetY", 0.0f);
    const float offsetX = TrackValue("cam_OffsetX", 0.0f);
    const float distance = TrackValue("cam_DistToLookAt", 20.0f);
    const float roll = TrackValue("cam_Roll", 0.0f);
    const float pitch = TrackValue("cam_Pitch", 0.0f);
    const float yaw = TrackValue("cam_Yaw", 0.0f);
    const float lookAtZ = TrackValue("cam_LookAtZ", 0.0f);
    const float lookAtY = TrackValue("cam_LookAtY", 0.0f);
    const float lookAtX = TrackValue("cam_LookAtX", 0.0f);
    ApplySyncCamera(scene, D3DXVECTOR3(lookAtX, lookAtY, lookAtZ), Radians(yaw), Radians(pitch), Radians(roll),
                    distance, offsetX, offsetY);
}

void ApplySyncCamera(fw_Scene* scene, const D3DXVECTOR3& lookAt, float yaw, float pitch, float roll, float distance,
                     float offsetX, float offsetY) {
    fw_DebugCamera* debugCamera = scene ? scene->GetDebugCamera() : nullptr;
    fw_Camera* camera = debugCamera ? debugCamera->GetActiveCamera() : nullptr;
    if (!camera || !camera->mTransform)
        return;

    if (fw_SceneServices::DemoClockRunning()) {
        const float amplitude =
            static_cast<float>(double(fw_Framework::GetSyncValueNow("cam_Shake", 0.0f)) * double(0.005f));
        yaw = Jittered(yaw, amplitude);
        pitch = Jittered(pitch, amplitude);
        roll = Jittered(roll, amplitude);
    }

    fw_Vector3 v(offsetX, offsetY, distance);
    v = fw_Math::RotationZ(-roll) * v;
    v = fw_Math::RotationX(-pitch) * v;
    v = fw_Math::RotationY(yaw) * v;
    const D3DXVECTOR3 position(lookAt.x + v.x, lookAt.y + v.y, lookAt.z + v.z);

    fw_Transform* transform = camera->mTransform;
    transform->SetRotationOrderZXY();
    transform->SetTranslation(position);
    transform->SetRotation(D3DXVECTOR3(-pitch, yaw, -roll));
    camera->InitView();
}
