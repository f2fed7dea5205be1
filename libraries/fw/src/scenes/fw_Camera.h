#pragma once
// A camera carried by a transform: its projection parameters, its view, and the view
// one sixtieth of a second earlier.

#include "platform/d3dx10math.h"

class fw_Transform;

class fw_Camera {
public:
    explicit fw_Camera(fw_Transform* transform);

    // Stores the six values and rebuilds the projection with the render aspect (the
    // aspect member is kept for the frustum variables only).
    void SetProjection(float fov, float nearZ, float farZ, float nearFocus, float farFocus, float aspect);
    // View from the transform's current pose; previous view := view.
    void InitView();
    // Evaluates the transform one sixtieth of a second before the scene time and at it.
    void Update();

    // The view of a pose: translation by minus the position, then the transposed rotation.
    static D3DXMATRIX ViewOf(const fw_Transform& transform);

    fw_Transform* mTransform;  // not owned
    float mFov;
    float mNear;
    float mFar;
    float mNearFocus;
    float mFarFocus;
    float mAspect;
    D3DXMATRIX mProjection;
    D3DXMATRIX mView;
    D3DXMATRIX mPreviousView;

private:
    void BuildProjection();
};
