#pragma once
// A scene's camera registry and free-flying camera: holds the cameras by name, chooses
// the active one, and keeps a free-camera pose (look-at point, position, angles) that the
// mouse moves. While the free camera is enabled the active camera sits at that pose.

#include <cstdint>
#include <map>
#include <string>

#include "platform/d3dx10math.h"

class fw_Camera;

// The compiled free-camera pose: look-at, position and angles as float bit patterns.
extern const uint32_t gDebugCamData[9];

class fw_DebugCamera {
public:
    using CameraMap = std::map<std::string, fw_Camera*>;

    fw_DebugCamera();
    ~fw_DebugCamera();
    fw_DebugCamera(const fw_DebugCamera&) = delete;
    fw_DebugCamera& operator=(const fw_DebugCamera&) = delete;

    // Angles (pitch, yaw, 0) from position and look-at.
    void UpdateAngles();
    void SetLookAt(const D3DXVECTOR3& v);
    void SetPosition(const D3DXVECTOR3& v);
    void GetPose(D3DXVECTOR3& lookAt, D3DXVECTOR3& position, D3DXVECTOR3& angles) const;
    void LoadCompiledPose();
    // Forward (minus the third row), right and up of Rx(pitch) * Ry(yaw) * Rz(roll).
    void GetBasis(D3DXVECTOR3& forward, D3DXVECTOR3& right, D3DXVECTOR3& up) const;

    // Takes the camera over; a camera already registered under the name is deleted.
    void RegisterCamera(const std::string& name, fw_Camera* camera);
    // A name that is not registered leaves the active camera unchanged.
    void SetActiveCamera(const std::string& name);
    fw_Camera* GetActiveCamera() const { return mActiveCamera; }
    const CameraMap& GetCameras() const { return mCameras; }

    // Picks the first camera if none is active, then places it at the free pose or
    // lets it follow its transform.
    void UpdateCameras();
    // Mouse control of the free camera, once a rendered frame.
    void Update();
    D3DXVECTOR3 ScreenPanVector(float dx, float dy) const;
    void MoveToPickedPoint(float sx, float sy, float depth);
    void TransformPose(const D3DXMATRIX& m);
    std::string DumpPoseAsC() const;
    std::string DumpActiveCameraXml() const;

    bool IsEnabled() const { return mEnabled; }
    void SetEnabled(bool enabled) { mEnabled = enabled; }
    const D3DXVECTOR3& GetLookAt() const { return mLookAt; }
    const D3DXVECTOR3& GetPosition() const { return mPosition; }
    const D3DXVECTOR3& GetAngles() const { return mAngles; }

private:
    CameraMap mCameras;  // owned
    bool mEnabled;
    D3DXVECTOR3 mLookAt;
    D3DXVECTOR3 mPosition;
    D3DXVECTOR3 mAngles;       // pitch (X), yaw (Y), roll (Z), radians
    fw_Camera* mActiveCamera;  // one of mCameras, or null
};
