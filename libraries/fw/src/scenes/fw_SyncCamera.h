#pragma once
// Places a scene's active camera from the "cam_*" sync tracks: a look-at point, yaw,
// pitch and roll in degrees, a distance, an offset in the image plane, and a shake.

#include "platform/d3dx10math.h"

class fw_Scene;

// Reads the placement tracks at the current row and calls ApplySyncCamera.
void UpdateSyncCamera(fw_Scene* scene);
// Angles in radians. Does nothing when the scene has no active camera.
void ApplySyncCamera(fw_Scene* scene, const D3DXVECTOR3& lookAt, float yaw, float pitch, float roll, float distance,
                     float offsetX, float offsetY);
