#include "fw_Transform.h"

#include <algorithm>

#include "platform/crt.h"

namespace {

const char* const kChannelNames[fw_Transform::kChannelCount] = {
    "translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ", "scaleX", "scaleY", "scaleZ",
};

}  // namespace

fw_Transform::fw_Transform()
    : mTranslation(0, 0, 0), mRotation(0, 0, 0), mScale(1, 1, 1), mShake(0.0f), mRotationOrder(0), mOwnedCurves(0) {
    std::fill(std::begin(mCurves), std::end(mCurves), nullptr);
    D3DXMatrixIdentity(&mWorld);
    D3DXMatrixIdentity(&mTranslationMatrix);
    D3DXMatrixIdentity(&mRotationMatrixValue);
    D3DXMatrixIdentity(&mScaleMatrix);
}

fw_Transform::~fw_Transform() {
    DeleteCurves();
}

const char* fw_Transform::ChannelName(int index) {
    return index >= 0 && index < kChannelCount ? kChannelNames[index] : "unknown";
}

fw_Curve* fw_Transform::GetChannelCurve(int index) const {
    return index >= 0 && index < kChannelCount ? mCurves[index] : nullptr;
}

void fw_Transform::SetChannelCurve(int index, fw_Curve* curve, bool owned) {
    if (index < 0 || index >= kChannelCount)
        return;
    const uint32_t bit = 1u << index;
    if ((mOwnedCurves & bit) && mCurves[index] != curve)
        delete mCurves[index];
    mCurves[index] = curve;
    mOwnedCurves = owned && curve ? (mOwnedCurves | bit) : (mOwnedCurves & ~bit);
}

D3DXMATRIX fw_Transform::RotationMatrix() const {
    D3DXMATRIX rx, ry, rz;
    D3DXMatrixRotationX(&rx, mRotation.x);
    D3DXMatrixRotationY(&ry, mRotation.y);
    D3DXMatrixRotationZ(&rz, mRotation.z);
    if (mRotationOrder == 1)
        return rz * rx * ry;
    return rx * ry * rz;
}

void fw_Transform::RebuildWorld() {
    mWorld = mScaleMatrix * mRotationMatrixValue * mTranslationMatrix;
}

void fw_Transform::SetTranslation(const D3DXVECTOR3& v) {
    mTranslation = v;
    D3DXMatrixTranslation(&mTranslationMatrix, v.x, v.y, v.z);
    RebuildWorld();
}

void fw_Transform::SetRotation(const D3DXVECTOR3& v) {
    mRotation = v;
    mRotationMatrixValue = RotationMatrix();
    RebuildWorld();
}

void fw_Transform::SetScale(const D3DXVECTOR3& v) {
    mScale = v;
    D3DXMatrixScaling(&mScaleMatrix, v.x, v.y, v.z);
    RebuildWorld();
}

void fw_Transform::Update() {
    float* channels[kChannelCount] = {&mTranslation.x, &mTranslation.y, &mTranslation.z, &mRotation.x, &mRotation.y,
                                      &mRotation.z,    &mScale.x,       &mScale.y,       &mScale.z};
    for (int i = 0; i < kChannelCount; ++i)
        if (mCurves[i])
            *channels[i] = mCurves[i]->GetValue();
    if (mShake > 0.0f) {
        for (float* r : {&mRotation.x, &mRotation.y, &mRotation.z}) {
            const double jitter = double(mShake) * double(0.05f) * (2.0 * rand() / 32767.0 - 1.0);
            *r = static_cast<float>(*r + jitter);
        }
    }
    mRotationMatrixValue = RotationMatrix();
    D3DXMatrixTranslation(&mTranslationMatrix, mTranslation.x, mTranslation.y, mTranslation.z);
    D3DXMatrixScaling(&mScaleMatrix, mScale.x, mScale.y, mScale.z);
    RebuildWorld();
}

void fw_Transform::Evaluate(float t) {
    for (fw_Curve* curve : mCurves)
        if (curve)
            curve->Evaluate(t);
    Update();
}

void fw_Transform::DeleteCurves() {
    for (int i = 0; i < kChannelCount; ++i) {
        if (mOwnedCurves & (1u << i))
            delete mCurves[i];
        mCurves[i] = nullptr;
    }
    mOwnedCurves = 0;
}

std::string fw_Transform::ToXmlAttributes(const std::string& indent) const {
    const std::string inner = indent + "    ";
    std::string out;
    for (int i = 0; i < kChannelCount; ++i) {
        if (!mCurves[i])
            continue;
        out += indent;
        out += kChannelNames[i];
        out += "=\"";
        out += inner;
        out += mCurves[i]->KeysToString(inner);
        out += "\"";
    }
    return out;
}

void fw_Transform::TransformTranslationCurves(const D3DXMATRIX& m) {
    fw_Curve* cx = mCurves[0];
    fw_Curve* cy = mCurves[1];
    fw_Curve* cz = mCurves[2];
    if (!cx || !cy || !cz)
        return;
    cx->ResetCachedIndex();
    cy->ResetCachedIndex();
    cz->ResetCachedIndex();
    const int n = std::min({cx->GetKeyCount(), cy->GetKeyCount(), cz->GetKeyCount()});
    for (int k = 0; k < n; ++k) {
        fw_CurveKey& kx = cx->KeyAt(k);
        fw_CurveKey& ky = cy->KeyAt(k);
        fw_CurveKey& kz = cz->KeyAt(k);
        D3DXVECTOR3 p(kx.value, ky.value, kz.value), in(kx.inTangent, ky.inTangent, kz.inTangent),
            out(kx.outTangent, ky.outTangent, kz.outTangent);
        D3DXVECTOR4 p4;
        D3DXVec3Transform(&p4, &p, &m);
        D3DXVec3TransformNormal(&in, &in, &m);
        D3DXVec3TransformNormal(&out, &out, &m);
        kx.value = p4.x;
        ky.value = p4.y;
        kz.value = p4.z;
        kx.inTangent = in.x;
        ky.inTangent = in.y;
        kz.inTangent = in.z;
        kx.outTangent = out.x;
        ky.outTangent = out.y;
        kz.outTangent = out.z;
    }
}
