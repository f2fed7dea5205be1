#pragma once
// An animated node of the scene description: nine channels (translation, rotation in
// radians, scale), each optionally driven by a curve, and the matrices built from them
// in the extension library's row-vector convention (world = S * R * T).

#include <cstdint>
#include <string>

#include "fw_Curve.h"
#include "platform/d3dx10math.h"

class fw_Transform {
public:
    enum { kChannelCount = 9 };

    fw_Transform();
    // Deletes only the curves handed over with owned = true.
    ~fw_Transform();
    fw_Transform(const fw_Transform&) = delete;
    fw_Transform& operator=(const fw_Transform&) = delete;

    // "translateX" .. "scaleZ"; "unknown" for any other index.
    static const char* ChannelName(int index);

    fw_Curve* GetChannelCurve(int index) const;
    // Curves of the scene description belong to the scene: owned stays false for them.
    void SetChannelCurve(int index, fw_Curve* curve, bool owned = false);

    // Rx * Ry * Rz for order 0, Rz * Rx * Ry for order 1.
    D3DXMATRIX RotationMatrix() const;
    void SetTranslation(const D3DXVECTOR3& v);
    void SetRotation(const D3DXVECTOR3& v);
    void SetScale(const D3DXVECTOR3& v);
    void SetRotationOrderZXY() { mRotationOrder = 1; }
    // Channel values from the curves' last evaluation, the shake jitter, all matrices.
    void Update();
    // Evaluates every curve at t, then Update().
    void Evaluate(float t);
    // Deletes the curves this transform owns and detaches all nine.
    void DeleteCurves();
    std::string ToXmlAttributes(const std::string& indent) const;
    // Transforms the keys of the translation curves by M: values as a point, tangents
    // as directions, over the key indices all three curves have.
    void TransformTranslationCurves(const D3DXMATRIX& m);

    const D3DXVECTOR3& GetTranslation() const { return mTranslation; }
    const D3DXVECTOR3& GetRotation() const { return mRotation; }
    const D3DXVECTOR3& GetScale() const { return mScale; }
    const D3DXMATRIX& GetWorld() const { return mWorld; }
    const D3DXMATRIX& GetTranslationMatrix() const { return mTranslationMatrix; }
    const D3DXMATRIX& GetRotationMatrix() const { return mRotationMatrixValue; }
    const D3DXMATRIX& GetScaleMatrix() const { return mScaleMatrix; }
    float GetShake() const { return mShake; }
    void SetShake(float shake) { mShake = shake; }
    int32_t GetRotationOrder() const { return mRotationOrder; }
    void SetRotationOrder(int32_t order) { mRotationOrder = order; }

private:
    void RebuildWorld();

    fw_Curve* mCurves[kChannelCount];
    D3DXVECTOR3 mTranslation;
    D3DXVECTOR3 mRotation;
    D3DXVECTOR3 mScale;
    D3DXMATRIX mWorld;
    D3DXMATRIX mTranslationMatrix;
    D3DXMATRIX mRotationMatrixValue;
    D3DXMATRIX mScaleMatrix;
    float mShake;
    int32_t mRotationOrder;
    uint32_t mOwnedCurves;  // bit i: curve i belongs to this transform
};
