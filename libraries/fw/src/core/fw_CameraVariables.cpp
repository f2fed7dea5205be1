#include <cmath>
#include <cstring>

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Framework.h"
#include "fw_Scene.h"
#include "fw_SyncTimer.h"
#include "platform/d3dx10.h"
#include "sync/device.h"
#include "sync/track.h"

namespace {

D3DXMATRIX ToD3DX(const fw_FrameMatrix& m) {
    D3DXMATRIX out;
    std::memcpy(&out, m.m, sizeof(float) * 16);
    return out;
}

fw_FrameMatrix FromD3DX(const D3DXMATRIX& m) {
    fw_FrameMatrix out;
    std::memcpy(out.m, &m, sizeof(float) * 16);
    return out;
}

D3DXMATRIX Multiply(const D3DXMATRIX& a, const D3DXMATRIX& b) {
    D3DXMATRIX out;
    D3DXMatrixMultiply(&out, &a, &b);
    return out;
}

D3DXMATRIX Inverse(const D3DXMATRIX& m) {
    D3DXMATRIX out;
    D3DXMatrixInverse(&out, nullptr, &m);
    return out;
}

void SetMatrix(ID3D10EffectMatrixVariable* variable, const D3DXMATRIX& m) {
    if (variable)
        variable->SetMatrix(const_cast<float*>(&m._11));
}

void SetVector(ID3D10EffectVectorVariable* variable, float x, float y, float z, float w) {
    if (variable) {
        float v[4] = {x, y, z, w};
        variable->SetFloatVector(v);
    }
}

template <class Handle>
Handle* Lookup(ID3D10EffectPool* pool, const char* name, Handle* (ID3D10EffectVariable::*as)()) {
    ID3D10Effect* effect = pool ? pool->AsEffect() : nullptr;
    if (!effect)
        return nullptr;
    ID3D10EffectVariable* variable = effect->GetVariableByName(name);
    return variable ? (variable->*as)() : nullptr;
}

}  // namespace

fw_Camera* fw_Framework::GetActiveCamera() {
    fw_Scene* scene = GetCurrentScene();
    fw_DebugCamera* debugCamera = scene ? scene->GetDebugCamera() : nullptr;
    return debugCamera ? debugCamera->GetActiveCamera() : nullptr;
}

void fw_Framework::LookUpPoolVariables() {
    ID3D10EffectPool* pool = mEffectPool;
    auto matrix = &ID3D10EffectVariable::AsMatrix;
    auto vector = &ID3D10EffectVariable::AsVector;
    auto scalar = &ID3D10EffectVariable::AsScalar;
    mWorldVar = Lookup(pool, "World", matrix);
    mViewVar = Lookup(pool, "View", matrix);
    mViewProjectionVar = Lookup(pool, "ViewProjection", matrix);
    mWorldBackInTimeVar = Lookup(pool, "World_BackInTime", matrix);
    mViewBackInTimeVar = Lookup(pool, "View_BackInTime", matrix);
    mViewProjectionBackInTimeVar = Lookup(pool, "ViewProjection_BackInTime", matrix);
    mViewInverseVar = Lookup(pool, "ViewInverse", matrix);
    mEyePositionWorldVar = Lookup(pool, "EyePositionWorld", vector);
    mEyePositionLocalVar = Lookup(pool, "EyePositionLocal", vector);
    mStereoConstantsVar = Lookup(pool, "StereoConstants", vector);
    mNearXYZFarZVar = Lookup(pool, "NearXYZFarZ", vector);
    mRenderDimVar = Lookup(pool, "RenderDim", vector);
    mTimeVar = Lookup(pool, "Time", scalar);
    mLightPositionWorldVar = Lookup(pool, "LightPositionWorld", vector);
    mLightViewProjectionVar = Lookup(pool, "LightViewProjection", matrix);
    mAmbientVar = Lookup(pool, "Ambient", vector);
    mDiffuseVar = Lookup(pool, "Diffuse", vector);
    mSpecularVar = Lookup(pool, "Specular", vector);
    mSpecularPowerVar = Lookup(pool, "SpecularPower", scalar);
}

void fw_Framework::SetCameraVariables() {
    fw_Camera* camera = GetActiveCamera();
    if (!camera)
        return;
    const D3DXMATRIX& view = camera->mView;
    const D3DXMATRIX& previous = camera->mPreviousView;
    const D3DXMATRIX& projection = camera->mProjection;
    SetMatrix(mViewVar, view);
    SetMatrix(mViewProjectionVar, Multiply(view, projection));
    SetMatrix(mViewBackInTimeVar, previous);
    SetMatrix(mViewProjectionBackInTimeVar, Multiply(previous, projection));
    SetMatrix(mViewInverseVar, Inverse(view));
    const float e =
        static_cast<float>(double(static_cast<float>(std::tan(double(camera->mFov) * 0.5))) * double(camera->mNear));
    SetVector(mNearXYZFarZVar, static_cast<float>(double(camera->mAspect) * double(e)), e, camera->mNear, camera->mFar);
    SetVector(mRenderDimVar, static_cast<float>(mRenderWidth), static_cast<float>(mRenderHeight),
              static_cast<float>(1.0 / double(static_cast<float>(mRenderWidth))),
              static_cast<float>(1.0 / double(static_cast<float>(mRenderHeight))));
}

fw_FrameMatrix fw_Framework::StereoEyeMatrix(uint32_t eye) {
    D3DXMATRIX e;
    D3DXMatrixIdentity(&e);
    fw_Camera* camera = GetActiveCamera();
    if (mStereoActive && camera) {
        const float separationTrack = GetSyncValueNow("Separation", 6.0f);
        const float s =
            static_cast<float>(double(mEyeSeparation) * double(separationTrack) * double(mStereoSeparation));
        const double sign = eye == 0 ? 1.0 : -1.0;
        const double p11 = camera->mProjection._11;
        e._31 = static_cast<float>(sign * s / p11);
        e._41 = static_cast<float>(-sign * s * double(mStereoConvergence) / p11);
    }
    return FromD3DX(e);
}

void fw_Framework::SetEyeVariables(uint32_t eye) {
    fw_Camera* camera = GetActiveCamera();
    if (!camera)
        return;
    const D3DXMATRIX view = camera->mView;
    const D3DXMATRIX previous = camera->mPreviousView;
    D3DXMATRIX projection = camera->mProjection;
    D3DXMATRIX e = ToD3DX(StereoEyeMatrix(eye));

    fw_Scene* scene = GetCurrentScene();
    const float scale = scene ? scene->GetProjectionScale() : 1.0f;
    const float k = static_cast<float>(1.0 / double(scale));
    e._41 = static_cast<float>(double(e._41) * double(k));
    projection._43 = static_cast<float>(double(projection._43) * double(k));

    const D3DXMATRIX ve = Multiply(view, e);
    const D3DXMATRIX vbe = Multiply(previous, e);
    const D3DXMATRIX pe = Multiply(e, projection);
    const D3DXMATRIX vpe = Multiply(view, pe);
    const D3DXMATRIX vpbe = Multiply(previous, pe);

    mView = FromD3DX(ve);
    mViewBackInTime = FromD3DX(vbe);
    mProjection = FromD3DX(pe);
    mViewProjection = FromD3DX(vpe);
    mViewProjectionBackInTime = FromD3DX(vpbe);

    SetMatrix(mViewVar, ve);
    SetMatrix(mViewProjectionVar, vpe);
    SetMatrix(mViewBackInTimeVar, vbe);
    SetMatrix(mViewProjectionBackInTimeVar, vpbe);
    const D3DXMATRIX inverse = Inverse(ve);
    SetMatrix(mViewInverseVar, inverse);

    mEyePositionWorld[0] = inverse._41;
    mEyePositionWorld[1] = inverse._42;
    mEyePositionWorld[2] = inverse._43;
    SetVector(mEyePositionWorldVar, inverse._41, inverse._42, inverse._43, 1.0f);

    const float y = mStereoActive ? static_cast<float>(double(mStereoConvergence) / double(camera->mNear)) : 1.0f;
    SetVector(mStereoConstantsVar, -e._41, y, scale, k);
}

void fw_Framework::SetWorldMatrices(const D3DXMATRIX* world, const D3DXMATRIX* worldBackInTime) {
    if (!world || !worldBackInTime)
        return;
    SetMatrix(mWorldVar, *world);
    SetMatrix(mWorldBackInTimeVar, *worldBackInTime);
    const D3DXMATRIX inverse = Inverse(*world);
    D3DXVECTOR4 eye(mEyePositionWorld[0], mEyePositionWorld[1], mEyePositionWorld[2], 1.0f);
    D3DXVECTOR4 local;
    D3DXVec4Transform(&local, &eye, &inverse);
    SetVector(mEyePositionLocalVar, local.x, local.y, local.z, local.w);
}

void fw_Framework::SetWorldMatrix(const D3DXMATRIX* world) {
    SetWorldMatrices(world, world);
}
