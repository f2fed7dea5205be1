#include "fw_DebugCamera.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

#include "fw_Camera.h"
#include "fw_SceneServices.h"
#include "fw_Transform.h"

const uint32_t gDebugCamData[9] = {
    0x3faa9af4, 0xbf684178, 0xbe678e4a,  // look-at
    0x41907a9d, 0xc0ad3bad, 0xc095fa93,  // position
    0x3e8261ed, 0x4237413c, 0x00000000,  // angles
};

namespace {

// The largest share of the distance one frame of dollying may cover: the camera never
// reaches or passes the look-at point.
constexpr double kMaxDolly = 0.99;

double SafeAcos(double v) {
    return std::acos(std::clamp(v, -1.0, 1.0));
}

D3DXMATRIX FreeRotation(float pitch, float yaw, float roll) {
    D3DXMATRIX rx, ry, rz;
    D3DXMatrixRotationX(&rx, pitch);
    D3DXMatrixRotationY(&ry, yaw);
    D3DXMatrixRotationZ(&rz, roll);
    return rx * ry * rz;
}

D3DXVECTOR3 AsPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, &p, &m);
    return D3DXVECTOR3(r.x, r.y, r.z);
}

}  // namespace

fw_DebugCamera::fw_DebugCamera()
    : mEnabled(true), mLookAt(0, 0, 0), mPosition(0, 0, 10), mAngles(0, 0, 0), mActiveCamera(nullptr) {
    UpdateAngles();
}

fw_DebugCamera::~fw_DebugCamera() {
    for (auto& entry : mCameras)
        delete entry.second;
}

void fw_DebugCamera::UpdateAngles() {
    // Float operations: every intermediate is kept as a float, so that the 1e-12 guard
    // vanishes next to any non-zero length.
    auto f = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    const D3DXVECTOR3 d = mPosition - mLookAt;
    const double s1 = d.x < 0.0f ? -1.0 : 1.0;
    const double lenXZ = f(std::sqrt(f(f(f(double(d.x) * d.x) + f(double(d.z) * d.z)) + double(1e-12f))));
    const float yaw = static_cast<float>(s1 * SafeAcos(f(d.z / lenXZ)));
    D3DXMATRIX ry;
    D3DXMatrixRotationY(&ry, -yaw);
    const D3DXVECTOR3 d2 = AsPoint(d, ry);
    const double s2 = d2.y > 0.0f ? -1.0 : 1.0;
    const double lenYZ = f(std::sqrt(f(f(f(double(d2.y) * d2.y) + f(double(d2.z) * d2.z)) + double(1e-12f))));
    const float pitch = static_cast<float>(s2 * SafeAcos(f(d2.z / lenYZ)));
    mAngles = D3DXVECTOR3(pitch, yaw, 0.0f);
}

void fw_DebugCamera::SetLookAt(const D3DXVECTOR3& v) {
    mLookAt = v;
    UpdateAngles();
}

void fw_DebugCamera::SetPosition(const D3DXVECTOR3& v) {
    mPosition = v;
    UpdateAngles();
}

void fw_DebugCamera::GetPose(D3DXVECTOR3& lookAt, D3DXVECTOR3& position, D3DXVECTOR3& angles) const {
    lookAt = mLookAt;
    position = mPosition;
    angles = mAngles;
}

void fw_DebugCamera::LoadCompiledPose() {
    auto stored = [](int i) { return std::bit_cast<float>(gDebugCamData[i]); };
    mLookAt = D3DXVECTOR3(stored(0), stored(1), stored(2));
    mPosition = D3DXVECTOR3(stored(3), stored(4), stored(5));
    mAngles = D3DXVECTOR3(stored(6), stored(7), stored(8));
}

void fw_DebugCamera::GetBasis(D3DXVECTOR3& forward, D3DXVECTOR3& right, D3DXVECTOR3& up) const {
    const D3DXMATRIX m = FreeRotation(mAngles.x, mAngles.y, mAngles.z);
    forward = D3DXVECTOR3(-m._31, -m._32, -m._33);
    right = D3DXVECTOR3(m._11, m._12, m._13);
    up = D3DXVECTOR3(m._21, m._22, m._23);
}

void fw_DebugCamera::RegisterCamera(const std::string& name, fw_Camera* camera) {
    auto it = mCameras.find(name);
    if (it != mCameras.end()) {
        if (it->second == camera)
            return;
        if (mActiveCamera == it->second)
            mActiveCamera = camera;
        delete it->second;
        it->second = camera;
        return;
    }
    mCameras.emplace(name, camera);
}

void fw_DebugCamera::SetActiveCamera(const std::string& name) {
    auto it = mCameras.find(name);
    if (it != mCameras.end())
        mActiveCamera = it->second;
}

void fw_DebugCamera::UpdateCameras() {
    if (!mActiveCamera) {
        if (mCameras.empty())
            return;
        mActiveCamera = mCameras.begin()->second;
    }
    if (mEnabled) {
        if (fw_Transform* transform = mActiveCamera->mTransform) {
            transform->SetRotation(mAngles);
            transform->SetTranslation(mPosition);
        }
        mActiveCamera->InitView();
    } else {
        mActiveCamera->Update();
    }
}

void fw_DebugCamera::Update() {
    if (!mEnabled)
        return;
    double factor = 1.0;
    if (fw_SceneServices::ControlHeld())
        factor = fw_SceneServices::ShiftHeld() ? double(0.001f) : double(0.1f);
    const fw_SceneMouse mouse = fw_SceneServices::Mouse();
    const float dx = static_cast<float>(mouse.dx * factor);
    const float dy = static_cast<float>(mouse.dy * factor);

    if (mouse.rightHeld) {
        const double k = std::min(double(static_cast<float>(dy * double(0.005f))), kMaxDolly);
        const D3DXVECTOR3 v(static_cast<float>((double(mLookAt.x) - mPosition.x) * k),
                            static_cast<float>((double(mLookAt.y) - mPosition.y) * k),
                            static_cast<float>((double(mLookAt.z) - mPosition.z) * k));
        mPosition += v;
        if (mouse.middleHeld)
            mLookAt += v;
    } else if (mouse.leftHeld) {
        mAngles.y = static_cast<float>(mAngles.y - dx * double(0.01f));
        mAngles.x = static_cast<float>(mAngles.x - dy * double(0.01f));
        const D3DXVECTOR3 offset = mPosition - mLookAt;
        const float distance = D3DXVec3Length(&offset);
        D3DXMATRIX rx, ry;
        D3DXMatrixRotationX(&rx, mAngles.x);
        D3DXMatrixRotationY(&ry, mAngles.y);
        mPosition = mLookAt + AsPoint(D3DXVECTOR3(0, 0, distance), rx * ry);
    } else if (mouse.middleHeld) {
        if (!mActiveCamera)
            return;
        const D3DXVECTOR3 p = ScreenPanVector(dx, dy);
        mLookAt += p;
        mPosition += p;
    }
}

D3DXVECTOR3 fw_DebugCamera::ScreenPanVector(float dx, float dy) const {
    if (!mActiveCamera)
        return D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 forward, right, up;
    GetBasis(forward, right, up);
    const double h = fw_SceneServices::OutputHeight();
    const D3DXVECTOR3 toLookAt = mLookAt - mPosition;
    const float s = static_cast<float>(-double(D3DXVec3Dot(&forward, &toLookAt)) *
                                       static_cast<float>(std::tan(double(mActiveCamera->mFov) / 2.0)) / (h / 2.0));
    const double sx = double(s) * dx, sy = -double(s) * dy;
    return D3DXVECTOR3(static_cast<float>(right.x * sx + up.x * sy), static_cast<float>(right.y * sx + up.y * sy),
                       static_cast<float>(right.z * sx + up.z * sy));
}

void fw_DebugCamera::MoveToPickedPoint(float sx, float sy, float depth) {
    if (!mActiveCamera)
        return;
    D3DXVECTOR3 forward, right, up;
    GetBasis(forward, right, up);
    const double f = static_cast<float>(std::tan(double(mActiveCamera->mFov) / 2.0));
    const double e = static_cast<float>(mActiveCamera->mAspect * f * (2.0 * sx - 1.0));
    const double u = static_cast<float>((2.0 * sy - 1.0) * f);
    auto comp = [&](float p, float fw, float r, float upc) {
        return static_cast<float>(p + (fw + r * e + upc * u) * depth);
    };
    mLookAt = D3DXVECTOR3(comp(mPosition.x, forward.x, right.x, up.x), comp(mPosition.y, forward.y, right.y, up.y),
                          comp(mPosition.z, forward.z, right.z, up.z));
    UpdateAngles();
}

void fw_DebugCamera::TransformPose(const D3DXMATRIX& m) {
    if (!mEnabled || !mActiveCamera)
        return;
    mPosition = AsPoint(mPosition, m);
    mLookAt = AsPoint(mLookAt, m);
    if (fw_Transform* transform = mActiveCamera->mTransform) {
        transform->SetRotation(mAngles);
        transform->SetTranslation(mPosition);
    }
    mActiveCamera->Update();
}

std::string fw_DebugCamera::DumpPoseAsC() const {
    std::string lines;
    for (const D3DXVECTOR3* v : {&mLookAt, &mPosition, &mAngles}) {
        const float c[3] = {v->x, v->y, v->z};
        lines += "    ";
        for (int i = 0; i < 3; ++i) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "0x%08x,%s", std::bit_cast<uint32_t>(c[i]), i < 2 ? " " : "\n");
            lines += buf;
        }
    }
    return "static unsigned int gDebugCamData[] = {\n" + lines + "};";
}

std::string fw_DebugCamera::DumpActiveCameraXml() const {
    if (!mActiveCamera)
        return "No active camera";
    std::string name = "<unknown>";
    for (const auto& entry : mCameras)
        if (entry.second == mActiveCamera) {
            name = entry.first;
            break;
        }
    std::string out = "<trans name=\"" + name + "\"";
    if (mActiveCamera->mTransform)
        out += mActiveCamera->mTransform->ToXmlAttributes("\n    ");
    out += "/>";
    return out;
}
