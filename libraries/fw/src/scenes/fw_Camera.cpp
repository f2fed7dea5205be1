#include "fw_Camera.h"

#include "fw_SceneServices.h"
#include "fw_Transform.h"

fw_Camera::fw_Camera(fw_Transform* transform)
    : mTransform(transform),
      mFov(0.7853982f),
      mNear(0.005f),
      mFar(100.0f),
      mNearFocus(0.0f),
      mFarFocus(0.0f),
      mAspect(1.7777778f) {
    D3DXMatrixIdentity(&mView);
    D3DXMatrixIdentity(&mPreviousView);
    BuildProjection();
}

void fw_Camera::BuildProjection() {
    D3DXMatrixPerspectiveFovRH(&mProjection, mFov, fw_SceneServices::RenderAspect(), mNear, mFar);
}

void fw_Camera::SetProjection(float fov, float nearZ, float farZ, float nearFocus, float farFocus, float aspect) {
    mFov = fov;
    mNear = nearZ;
    mFar = farZ;
    mNearFocus = nearFocus;
    mFarFocus = farFocus;
    mAspect = aspect;
    BuildProjection();
}

D3DXMATRIX fw_Camera::ViewOf(const fw_Transform& transform) {
    const D3DXVECTOR3& p = transform.GetTranslation();
    D3DXMATRIX t, rt;
    D3DXMatrixTranslation(&t, -p.x, -p.y, -p.z);
    D3DXMatrixTranspose(&rt, &transform.GetRotationMatrix());
    return t * rt;
}

void fw_Camera::InitView() {
    if (!mTransform)
        return;
    mView = ViewOf(*mTransform);
    mPreviousView = mView;
}

void fw_Camera::Update() {
    if (!mTransform)
        return;
    const float t = fw_SceneServices::SceneTime();
    mTransform->Evaluate(static_cast<float>(double(t) - double(0.016666668f)));
    mPreviousView = ViewOf(*mTransform);
    mTransform->Evaluate(t);
    mView = ViewOf(*mTransform);
}
