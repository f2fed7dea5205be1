#include "Caleidoscope.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "AtomsEffect.h"
#include "BokehEffect.h"
#include "DustEffect.h"
#include "FucrrEffect.h"
#include "ObjectTypes.h"
#include "VolumetricLight.h"
#include "fw_Camera.h"
#include "fw_Convert.h"
#include "fw_DebugCamera.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Material.h"
#include "fw_Mesh.h"
#include "fw_PostEffects.h"
#include "fw_SyncCamera.h"
#include "fw_Texture.h"
#include "platform/crt.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"

using fw_Math::RotationX;
using fw_Math::RotationY;
using fw_Math::RotationZ;

bool gUseFreeCamera = true;
Caleidoscope::PassHook Caleidoscope::sPassHook = nullptr;

namespace {

constexpr double kTwoPi = 6.2831855f;
constexpr double kPi = 3.14159265358979323846;

float Track(const char* name, float defaultValue) {
    return fw_Framework::GetSyncValueNow(name, defaultValue);
}

void Bind(fw_Texture* target, fw_Texture* depth) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !target)
        return;
    ID3D10RenderTargetView* view = target->mRenderTargetView;
    device->OMSetRenderTargets(1, &view, depth ? depth->mDepthStencilView : nullptr);
    device->RSSetViewports(1, &target->mViewport);
}

void SetMatrix4(fw_Effect* effect, const char* name, const fw_Matrix4& m) {
    if (effect)
        effect->SetMatrix(name, m.m);
}

// r * k in double precision, stored as float.
float Scaled(float r, float k) {
    return static_cast<float>(double(r) * double(k));
}

fw_Matrix34 Scale(float k) {
    fw_Matrix34 s;
    s(0, 0) = k;
    s(1, 1) = k;
    s(2, 2) = k;
    return s;
}

fw_Matrix34 Translate(float x, float y, float z) {
    return fw_Math::Translation(fw_Vector3(x, y, z));
}

fw_Vector3 Apply3(const fw_Matrix34& m, const fw_Vector3& v) {
    return fw_Vector3(static_cast<float>(double(m(0, 0)) * v.x + double(m(0, 1)) * v.y + double(m(0, 2)) * v.z),
                      static_cast<float>(double(m(1, 0)) * v.x + double(m(1, 1)) * v.y + double(m(1, 2)) * v.z),
                      static_cast<float>(double(m(2, 0)) * v.x + double(m(2, 1)) * v.y + double(m(2, 2)) * v.z));
}

float Length(const fw_Vector3& v) {
    return static_cast<float>(std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z));
}

// One segment of a crystal path.
struct CrystalSegment {
    fw_Vector3 start;
    fw_Vector3 end;
    int32_t birth;
};
constexpr int kCrystalVariants = 4, kCrystalPaths = 20, kCrystalSteps = 24;

// The entry of variant v, path p, step s.
size_t CrystalIndex(int v, int p, int s) {
    return (size_t(v) * kCrystalPaths + size_t(p)) * kCrystalSteps + size_t(s);
}

void BuildCrystalTable(std::vector<CrystalSegment>& table) {
    table.resize(size_t(kCrystalVariants) * kCrystalPaths * kCrystalSteps);
    srand(882);
    for (int v = 0; v < kCrystalVariants; ++v) {
        for (int p = 0; p < kCrystalPaths; ++p) {
            fw_Vector3 previous(0.0f, 0.0f, 0.0f);
            int32_t birth = 2 * p;
            for (int s = 0; s < kCrystalSteps; ++s) {
                const float angle = static_cast<float>(double(rand()) * 6.2831854820251465 / 32767.0);
                const float z = static_cast<float>(double(rand()) * 2.0 / 32767.0 - 1.0);
                const float r = static_cast<float>(std::sqrt(1.0 - double(z) * z));
                const fw_Vector3 d(static_cast<float>(r * std::cos(double(angle))), z,
                                   static_cast<float>(r * std::sin(double(angle))));
                fw_Vector3 q = previous + d * 2.0f;
                const float length = Length(q);
                if (length != 0.0f)
                    q /= length;
                const fw_Vector3 end = q * static_cast<float>(double(Length(previous)) + 5.0);
                table[CrystalIndex(v, p, s)] = {previous, end, birth};
                birth += 10;
                previous = end;
            }
        }
    }
}

// The crystal paths of every variant, drawn once from their own seed; the caller's
// generator is left as it was.
const std::vector<CrystalSegment>& CrystalTable() {
    static const std::vector<CrystalSegment> table = [] {
        const fw_ScopedRandState generator;
        std::vector<CrystalSegment> built;
        BuildCrystalTable(built);
        return built;
    }();
    return table;
}

// The farthest point of the crystal paths from their origin.
float CrystalPathRadius() {
    static const float radius = [] {
        float farthest = 0.0f;
        for (const CrystalSegment& segment : CrystalTable())
            farthest = std::max({farthest, Length(segment.start), Length(segment.end)});
        return farthest;
    }();
    return radius;
}

// The turn of the kaleidoscope's mirror planes for its rotation track.
fw_Matrix34 MirrorTurn(float rotation) {
    return RotationZ(rotation) * RotationY(static_cast<float>(double(rotation) * double(1.34f))) *
           RotationX(static_cast<float>(double(rotation) * double(-1.119f)));
}

// The reflection through the plane with the unit normal: I - 2 n n^T.
fw_Matrix34 Reflection(const fw_Vector3& normal) {
    fw_Matrix34 h;
    const float v[3] = {normal.x, normal.y, normal.z};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            h(i, j) = static_cast<float>((i == j ? 1.0 : 0.0) - 2.0 * double(v[i]) * double(v[j]));
    return h;
}

}  // namespace

fw_Matrix4 LightViewProjection(const float lightPosition[3], float fovDegrees) {
    if (std::isnan(fovDegrees))
        fovDegrees = 90.0f;
    fovDegrees = std::fmin(std::fmax(fovDegrees, 1.0f), 179.0f);
    const float c = static_cast<float>(1.0 / std::tan(double(fovDegrees) / 180.0 * kPi * 0.5));
    const fw_Matrix4 projection(c, 0, 0, 0, 0, c, 0, 0, 0, 0, 1.0050251f, -1.0050251f, 0, 0, 1, 0);
    const fw_Matrix34 view = fw_Math::RotationX(static_cast<float>(-kPi / 2.0)) *
                             Translate(-lightPosition[0], -lightPosition[1], -lightPosition[2]);
    return projection * fw_Matrix4(view);
}

void SetWorldMatrix34(const fw_Matrix34& world) {
    if (!gFramework)
        return;
    const fw_Matrix4 m = fw_Matrix4(world).Transposed();
    D3DXMATRIX d;
    std::memcpy(&d, m.m, sizeof(m.m));
    gFramework->SetWorldMatrices(&d, &d);
}

void MirrorPlanes(const fw_Matrix34& r, int k, fw_Vector3& plane1, fw_Vector3& plane2) {
    const double a1 = k * kTwoPi / 6.0;
    const double a2 = (k + 1) * kTwoPi / 6.0;
    plane1 = Apply3(r, fw_Vector3(static_cast<float>(std::cos(a1)), 0.0f, static_cast<float>(std::sin(a1))));
    plane2 = Apply3(r, fw_Vector3(static_cast<float>(-std::cos(a2)), 0.0f, static_cast<float>(-std::sin(a2))));
}

const char* MirrorTechniqueName(int k, bool depthPass) {
    if (depthPass)
        return k % 2 == 0 ? "varianceDepthCaleidoscope" : "varianceDepthCaleidoscope_cull_back";
    return k % 2 == 0 ? "caleidoscope" : "caleidoscope_cull_back";
}

fw_Vector3 AuxPosition(const fw_Vector3& direction, float radius) {
    fw_Vector3 p = direction;
    const float length = Length(p);
    if (length != 0.0f)
        p /= length;
    return p * radius;
}

int32_t CrystalVariant(float growType) {
    return ((fw_FloatToInt(growType) % 4) + 4) % 4;
}

bool LightScreenPosition(const float lightPosition[3], const fw_Camera* camera, float& x, float& y) {
    if (!camera)
        return false;
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &camera->mView, &camera->mProjection);
    const D3DXVECTOR4 p(lightPosition[0], lightPosition[1], lightPosition[2], 1.0f);
    D3DXVECTOR4 out;
    D3DXVec4Transform(&out, &p, &m);
    // In or behind the camera plane: no screen position (and no division by zero).
    if (!(out.w > 1e-6f))
        return false;
    x = out.x / out.w;
    y = out.y / out.w;
    return std::isfinite(x) && std::isfinite(y);
}

Caleidoscope::Caleidoscope(const std::string& sceneName) : fw_Scene(sceneName) {}

Caleidoscope::~Caleidoscope() {
    DeleteOwned();
}

void Caleidoscope::DeleteOwned() {
    for (fw_Mesh** mesh :
         {&mWireframe1, &mRomstasjon, &mKuben, &mDiamond, &mSphere, &mCrystal6, &mSmallCrystals, &mSmallPyr}) {
        delete *mesh;
        *mesh = nullptr;
    }
    delete mEffect;
    mEffect = nullptr;
    SafeRelease(mCrystalInstances);
    for (ID3D10InputLayout*& layout : mCrystalLayouts)
        SafeRelease(layout);
    mMeshBoxes.clear();
    delete mBokeh;
    mBokeh = nullptr;
    delete mDust;
    mDust = nullptr;
    delete mLightShafts;
    mLightShafts = nullptr;
    delete mAtoms;
    mAtoms = nullptr;
    delete mFucrr;
    mFucrr = nullptr;
    // The slots point into what was just deleted; the shadow targets belong to the
    // framework's table, which releases them.
    ClearObjectSlots();
    mVarianceShadow0 = mVarianceShadow = mVarianceShadowDepth = nullptr;
}

void Caleidoscope::LoadResources() {
    const int width = fw_Framework::GetWidth();
    const int height = fw_Framework::GetHeight();

    delete mFucrr;
    mFucrr = new FucrrEffect();
    CreateShadowTargets();
    delete mBokeh;
    mBokeh = new BokehEffect(width, height);
    delete mDust;
    mDust = new DustEffect();
    delete mLightShafts;
    mLightShafts = new VolumetricLight();
    delete mAtoms;
    mAtoms = new AtomsEffect(width, height);

    if (fw_DebugCamera* camera = GetDebugCamera()) {
        camera->LoadCompiledPose();
        camera->SetEnabled(gUseFreeCamera);
    }

    delete mEffect;
    mEffect = new fw_Effect("caleidoscope.fx", fw_Framework::GetEffectPool());
    mEffect->SetTexture("gDepthVarianceTexture", mVarianceShadow0);

    struct MeshSlot {
        const char* file;
        fw_Mesh** member;
        const char* technique;
    };
    const MeshSlot meshes[] = {
        {"diamond.obj", &mDiamond, "plain"},         {"kuben.obj", &mKuben, "plain"},
        {"romstasjon.obj", &mRomstasjon, "plain"},   {"sphere.obj", &mSphere, "sphere"},
        {"crystal6.obj", &mCrystal6, "plain"},       {"smallCrystals.obj", &mSmallCrystals, "plain"},
        {"smallPyr.obj", &mSmallPyr, "smallObject"}, {"wireframe1.obj", &mWireframe1, "wireframe"},
    };
    for (const MeshSlot& slot : meshes) {
        delete *slot.member;
        *slot.member = new fw_Mesh("./data/", slot.file, nullptr);
        (*slot.member)->CreateLayoutSlot9(mEffect->GetTechnique(slot.technique));
    }
    if (gFramework) {
        fw_Texture* probe = gFramework->FindOrLoadTexture("350.dds");
        mEffect->SetTexture("gLightProbeTex", probe);
        if (fw_Effect* pyramids = mFucrr->GetPyramidEffect())
            pyramids->SetTexture("gLightProbeTex", probe);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        gFramework->SetWorldMatrices(&identity, &identity);
    }
    WarmUp();
    // The slots of the previous load, and the warm-up's, until the first update.
    ClearObjectSlots();
}

void Caleidoscope::ClearObjectSlots() {
    mAuxTransforms.clear();
    mMainType = mAuxType = -1;
    mMainMesh = mAuxMesh = nullptr;
    mMainTechnique = mAuxTechnique = nullptr;
    mMainCaleido = mAuxCaleido = false;
}

void Caleidoscope::WarmUp() {
    // Every technique of the show drawn once into the targets it draws to in the show: a
    // device that prepares its programs for the states of their first draw does so while
    // loading, not in the first frame of a section. What is drawn here is cleared or
    // overwritten by every frame.
    fw_PostEffects* post = fw_Framework::GetPostEffects();
    if (!gFramework || !mEffect || !post)
        return;
    // The shaken post values draw from the generator: the show's sequence goes on as after
    // one draw, however many the warm-up makes.
    const fw_ScopedRandState generator;
    // The images the frames look up by name, loaded now rather than in the first frame that
    // draws them: the flip card of every key, the shafts' dust.
    for (const float image : fw_Framework::GetSyncKeyValues("Atoms_Image"))
        gFramework->FindOrLoadTexture(FlipCardName(image));
    gFramework->FindOrLoadTexture("dust.png");
    mAuxTransforms.assign(1, fw_Matrix34(fw_Matrix3(1.0f)));
    for (int32_t type = kObjectStation; type <= kObjectSmallCrystals; ++type) {
        for (const bool mirrored : {false, true}) {
            mMainType = mAuxType = type;
            SelectMeshTechnique(type, mMainMesh, mMainTechnique, true);
            SelectMeshTechnique(type, mAuxMesh, mAuxTechnique, false);
            mMainCaleido = mAuxCaleido = mirrored;
            RenderVarianceDepth();
            DrawObjects();
        }
    }
    // The crystals' instanced draws, however many crystals the tracks grow now: one crystal
    // into each pass's targets.
    if (mSmallCrystals) {
        const std::vector<std::vector<float>> one(
            1, {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f});
        Bind(mVarianceShadow0, mVarianceShadowDepth);
        DrawCrystals(mSmallCrystals, one, true);
        Bind(gFramework->FindTexture("r16g16b16a16f_1"), gFramework->FindTexture("d32f_backbuffer"));
        DrawCrystals(mSmallCrystals, one, false);
    }
    DrawRings();
    DrawLattice();
    if (mDust)
        mDust->Draw();
    DrawLightShafts(true);
    DrawBokeh();
    fw_Texture* glow = gFramework->FindTexture("r16g16b16a16f_2");
    post->Bloom(gFramework->FindTexture("r16g16b16a16f_1"), glow);
    // The final passes with and without flares and glitch, into both of their targets.
    for (const char* name : {"r8g8b8a8_1", "backbuffer"}) {
        fw_Texture* target = gFramework->FindTexture(name);
        post->UpdateVignette(glow, target, 0.0f);
        post->RunTechnique("Vignette");
        Bind(target, nullptr);
        post->VignetteWithFlare(1.0e4f, 1.0e4f, glow);
        post->RunTechnique("VignetteWithFlare");
    }
    DrawTransition();
    post->RunTechnique("TriFade");
}

void Caleidoscope::ReleaseResources() {
    DeleteOwned();
}

void Caleidoscope::OnKeyDown(uint32_t, bool, bool) {}

void Caleidoscope::SelectMeshTechnique(int32_t type, fw_Mesh*& mesh, ID3D10EffectTechnique*& technique, bool isMain) {
    const char* name = "sphere";
    switch (type) {
        case kObjectStation:
            mesh = mRomstasjon;
            name = "plain";
            break;
        case kObjectCube:
            mesh = mKuben;
            name = isMain ? "mainCube" : "cube";
            break;
        case kObjectDiamond:
            mesh = mDiamond;
            name = "diamond";
            break;
        case kObjectCrystal:
            mesh = mCrystal6;
            name = "plain";
            break;
        case kObjectSmallCrystals:
            mesh = mSmallCrystals;
            name = "plain";
            break;
        default:
            mesh = mSphere;
            name = "sphere";
            break;
    }
    technique = mEffect ? mEffect->GetTechnique(name) : nullptr;
}

void Caleidoscope::Update() {
    PlaceAuxiliaryObjects();
    SelectObjects();
    PlaceMainObject();
    gUseFreeCamera = Track("Camera", 0.0f) < 0.0f;
    PlaceBackground();
    SetLight();
    SetDepthOfField();
    SetPenrose();
    if (!gUseFreeCamera)
        UpdateSyncCamera(this);
}

void Caleidoscope::PlaceAuxiliaryObjects() {
    // The generator is seeded from "rndSeed" for the placement and given back afterwards.
    const float seed = Track("rndSeed", 0.0f);
    const fw_ScopedRandState generator(static_cast<unsigned>(fw_FloatToInt(seed)));

    int32_t count = fw_FloatToInt(Track("Obj_NumAux", 0.0f));
    if (count < 0)
        count = 0;
    if (count > kMaxAuxObjects) {
        static bool logged = false;
        if (!logged) {
            fw_Log::Write(fw_Log::kPlain, "Obj_NumAux %d capped at %d auxiliary objects.", count, kMaxAuxObjects);
            logged = true;
        }
        count = kMaxAuxObjects;
    }
    const float auxScale = Track("Obj_AuxScale", 1.0f);
    const float auxRot = Track("Obj_AuxRot", 0.0f);
    const float auxElevation = Track("Obj_AuxElevation", 0.0f);
    mAuxTransforms.resize(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        const float x = static_cast<float>(double(rand()) * 2.0 / 32767.0 - 1.0);
        const float y = static_cast<float>(double(rand()) * 2.0 / 32767.0 - 1.0);
        const float z = static_cast<float>(double(rand()) * 2.0 / 32767.0 - 1.0);
        const float radius = static_cast<float>(double(rand()) * 20.0 / 32767.0 + 14.0);
        fw_Vector3 p = AuxPosition(fw_Vector3(x, y, z), radius);
        const float size = static_cast<float>((double(rand()) * 0.5 / 32767.0 + 0.5) * (double(auxScale) * 2.0));
        p.y = static_cast<float>(double(p.y) +
                                 ((double(rand()) * 0.5 / 32767.0 + 0.5) * (double(auxElevation) * 2.0) - 1.0) * 30.0);
        const float ax = static_cast<float>(double(i) * double(0.932f) + double(auxRot) * double(0.2f));
        const float ay = static_cast<float>(
            (std::fmod(double(i) * double(0.33f), 1.0) + double(auxRot)) * double(0.152f) + double(i) * double(1.3f));
        const float az = static_cast<float>(double(i) + double(auxRot) * double(0.25f));
        mAuxTransforms[size_t(i)] = fw_Math::Translation(p) * RotationZ(az) * RotationY(ay) * RotationX(ax) *
                                    Scale(static_cast<float>(double(size) * double(0.4f)));
    }
}

void Caleidoscope::SelectObjects() {
    mMainType = fw_FloatToInt(Track("Obj_MainType", 0.0f));
    SelectMeshTechnique(mMainType, mMainMesh, mMainTechnique, true);
    mMainCaleido = Track("Obj_MainCaleido", 0.0f) > 0.0f;
    mAuxType = fw_FloatToInt(Track("Obj_AuxType", 0.0f));
    SelectMeshTechnique(mAuxType, mAuxMesh, mAuxTechnique, false);
    mAuxCaleido = Track("Obj_AuxCaleido", 0.0f) > 0.0f;
}

void Caleidoscope::PlaceMainObject() {
    const float mainScale = Track("Obj_MainScale", 1.0f);
    const float mainRot = Track("Obj_MainRot", 0.0f);
    const float s = static_cast<float>(double(mainScale) * double(0.4f));
    if (mMainType == kObjectDiamond)
        mMainTransform = RotationY(Scaled(mainRot, 0.2f)) * Scale(s);
    else
        mMainTransform = RotationZ(Scaled(mainRot, 0.25f)) * RotationY(Scaled(mainRot, 0.152f)) *
                         RotationX(Scaled(mainRot, 0.2f)) * Scale(s);
}

void Caleidoscope::PlaceBackground() {
    const float back = Track("Obj_BackRot", 0.0f);
    mBackgroundTransform = RotationX(Scaled(back, 0.104f)) *
                           RotationY(static_cast<float>(2.4 - double(back) * double(0.0514f))) *
                           RotationZ(static_cast<float>(double(back) * double(0.0234f) + 2.4));
}

void Caleidoscope::SetLight() {
    mLightPosition[0] = 0.0f;
    mLightPosition[1] = static_cast<float>(double(Track("VLightY", 0.0f)) * double(0.1f) + 20.0);
    mLightPosition[2] = 0.0f;
    const fw_Matrix4 light = LightViewProjection(mLightPosition, Track("VLightFOV", 90.0f));
    const fw_Matrix4 lightT = light.Transposed();
    const fw_Matrix4 lightInverseT = light.Inverse().value_or(fw_Matrix4::Identity()).Transposed();

    // The kaleidoscope's and the tetrahedra's light, then the light shafts'.
    fw_Effect* pyramids = mFucrr ? mFucrr->GetPyramidEffect() : nullptr;
    SetMatrix4(mEffect, "gLightViewProjection", lightT);
    if (mEffect)
        mEffect->SetFloat4("gLightPositionWorldSpace", mLightPosition[0], mLightPosition[1], mLightPosition[2], 0.0f);
    if (pyramids)
        pyramids->SetFloat4("gLightPositionWorldSpace", mLightPosition[0], mLightPosition[1], mLightPosition[2], 0.0f);

    const float intensity = static_cast<float>(double(Track("VLight", 50.0f)) * double(0.0003f));
    if (fw_Effect* shafts = mLightShafts ? mLightShafts->GetEffect() : nullptr) {
        shafts->SetTexture("gDustTexture", gFramework ? gFramework->FindOrLoadTexture("dust.png") : nullptr);
        shafts->SetTexture("gDepthVarianceTexture", mVarianceShadow0);
        D3DXMATRIX view, inverse;
        if (gFramework)
            std::memcpy(&view, gFramework->mView.m, sizeof(view));
        else
            D3DXMatrixIdentity(&view);
        if (!D3DXMatrixInverse(&inverse, nullptr, &view))
            D3DXMatrixIdentity(&inverse);
        shafts->SetFloat4("gRightDirection", inverse._11, inverse._12, inverse._13, 0.0f);
        shafts->SetFloat4("gLightPositionWorldSpace", mLightPosition[0], mLightPosition[1], mLightPosition[2], 0.0f);
        SetMatrix4(shafts, "gLightViewProjection", lightT);
        SetMatrix4(shafts, "gLightInverseViewProjection", lightInverseT);
        shafts->SetFloat("gLightIntensity", intensity);
    }
}

void Caleidoscope::SetDepthOfField() {
    fw_Effect* pyramids = mFucrr ? mFucrr->GetPyramidEffect() : nullptr;
    const float focus = Track("DOF_Focus", 20.0f);
    const float dofScale = static_cast<float>(double(Track("DOF_Scale", 50.0f)) * double(0.001f));
    const float dofClamp = static_cast<float>(double(Track("DOF_Clamp", 50.0f)) * double(0.01f));
    if (mEffect)
        mEffect->SetFloat4("gDepthOfFieldParameters", focus, dofScale, dofClamp, 0.0f);
    if (pyramids)
        pyramids->SetFloat4("gDepthOfFieldParameters", focus, dofScale, dofClamp, 0.0f);
    // The bokeh keeps its own values (no pool): its discs follow the same focus.
    if (mBokeh && mBokeh->mEffect)
        mBokeh->mEffect->SetFloat4("gDepthOfFieldParameters", focus, dofScale, dofClamp, 0.0f);
}

void Caleidoscope::SetPenrose() {
    const float p3 = Track("Penrose3", 0.0f);
    const float p2 = Track("Penrose2", 0.0f);
    const float p1 = Track("Penrose1", 0.0f);
    if (mEffect)
        mEffect->SetFloat4("gPenrose", Scaled(p1, 0.1f), Scaled(p2, 0.1f), Scaled(p3, 0.1f), 0.0f);
}

void Caleidoscope::DrawMesh(fw_Mesh* mesh, ID3D10EffectTechnique* technique, int first, int last, bool withMaterials) {
    mesh->DrawRange(technique, first, last, withMaterials);
    ++mMeshDraws;
}

void Caleidoscope::PassDone(const char* pass) const {
    if (sPassHook)
        sPassHook(pass);
}

void Caleidoscope::Render() {
    if (!gFramework || !mEffect)
        return;
    if (mFucrr)
        mFucrr->Update();
    PassDone("tetra step");
    // Without keys the defaults give: light on, transition on, no flares.
    const bool lightOn = Track("VLight", 1.0f) > 0.0f;
    if (lightOn)
        RenderVarianceDepth();
    PassDone("shadow");
    DrawObjects();
    PassDone("objects");
    DrawRings();
    PassDone("rings");
    DrawBackground();
    PassDone("background");
    if (mDust)
        mDust->Draw();
    PassDone("dust");
    DrawLightShafts(lightOn);
    PassDone("shafts");
    DrawBokeh();
    PassDone("bokeh");
    if (fw_PostEffects* post = fw_Framework::GetPostEffects())
        post->Bloom(gFramework->FindTexture("r16g16b16a16f_1"), gFramework->FindTexture("r16g16b16a16f_2"));
    PassDone("bloom");
    const bool transition = Track("Atoms_Param", 0.0f) < 1.0f;
    DrawVignette(transition);
    PassDone("vignette");
    if (transition)
        DrawTransition();
}

void Caleidoscope::DrawObjects() {
    // Scene colour and depth, cleared; the main object, the tetrahedra, the auxiliary objects.
    fw_Texture* depth = gFramework->FindTexture("d32f_backbuffer");
    fw_Texture* colour = gFramework->FindTexture("r16g16b16a16f_1");
    Bind(colour, depth);
    if (colour)
        colour->ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    if (depth)
        depth->ClearDepth(1.0f);
    float rotation = Track("Obj_CaleidoRot", 0.0f);
    if (mMainType >= 0)
        DrawCaleidoscope(mMainType, mMainMesh, mMainCaleido, rotation, mMainTransform, mMainTechnique, false);
    if (mMainType == kObjectTetrahedra && mFucrr)
        mFucrr->BindMatrixTextures(false);
    for (const fw_Matrix34& entry : mAuxTransforms) {
        DrawCaleidoscope(mAuxType, mAuxMesh, mAuxCaleido, rotation, entry, mAuxTechnique, false);
        rotation = static_cast<float>(double(rotation) + double(1.1f));
    }
}

void Caleidoscope::DrawRings() {
    // Nine rings of 24 small objects.
    ID3D10EffectTechnique* small = mEffect->GetTechnique("smallObject");
    const float smallRot = Track("Obj_SmallRot", 0.0f);
    const float smallElevation = Track("Obj_SmallElevation", 0.0f);
    static const float kRingRadius[9] = {39, 44, 30, 51, 38, 34, 39, 34, 52};
    const double sr = smallRot;
    SetOwnMaterials(mSmallPyr);
    for (int k = 0; k < 9; ++k) {
        const float radius = kRingRadius[k];
        const float y = static_cast<float>(double(static_cast<float>((k - 4.5) * 9.0)) + double(smallElevation));
        const float phase = static_cast<float>((double(radius) * double(0.03f) + double(0.19f)) * double(0.081f) * sr);
        for (int j = 0; j < 24; ++j) {
            const fw_Matrix34 world = RotationY(static_cast<float>(kTwoPi * j / 24.0 + double(phase))) *
                                      Translate(radius, y, 0.0f) *
                                      RotationX(static_cast<float>(j * double(0.4f) + sr * double(0.23f))) *
                                      RotationY(static_cast<float>(j * double(0.1f) + sr * double(0.2f))) *
                                      RotationZ(static_cast<float>(j * double(0.34f) + sr * double(0.14f)));
            SetWorldMatrix34(world);
            if (mSmallPyr)
                DrawMesh(mSmallPyr, small, 0, int(mSmallPyr->mAttributeCount) - 1, false);
        }
    }
}

void Caleidoscope::DrawBackground() {
    const float backFade = Track("Obj_BackFade", 1.0f);
    if (backFade <= 0.0f)
        return;
    mEffect->SetFloat("gBackgroundMeshFade", backFade);
    SetWorldMatrix34(mBackgroundTransform);
    DrawLattice();
}

void Caleidoscope::DrawLattice() {
    SetOwnMaterials(mWireframe1);
    if (mWireframe1)
        DrawMesh(mWireframe1, mEffect->GetTechnique("wireframe"), 0, int(mWireframe1->mAttributeCount) - 1, false);
}

void Caleidoscope::SetOwnMaterials(const fw_Mesh* mesh) {
    // The colours of the first two attribute ranges (ambient, diffuse, specular with the
    // power in w); the second's from its first vertex on, when its vertices follow the
    // first's.
    if (!mesh || mesh->mAttributeCount == 0 || !mesh->mAttributeTable)
        return;
    std::vector<fw_Vector4> colours;
    int32_t secondVertex = INT32_MAX;
    for (uint32_t k = 0; k < std::min<uint32_t>(mesh->mAttributeCount, 2); ++k) {
        const D3DX10_ATTRIBUTE_RANGE& range = mesh->mAttributeTable[k];
        if (range.AttribId >= mesh->mMaterials.size())
            break;
        const fw_Material& m = *mesh->mMaterials[range.AttribId];
        colours.emplace_back(m.mAmbient[0], m.mAmbient[1], m.mAmbient[2], m.mAmbient[3]);
        colours.emplace_back(m.mDiffuse[0], m.mDiffuse[1], m.mDiffuse[2], m.mDiffuse[3]);
        colours.emplace_back(m.mSpecular[0], m.mSpecular[1], m.mSpecular[2], fw_Material::kSpecularPower);
        const D3DX10_ATTRIBUTE_RANGE& first = mesh->mAttributeTable[0];
        if (k == 1 && range.VertexStart >= uint64_t(first.VertexStart) + first.VertexCount &&
            range.VertexStart <= uint32_t(INT32_MAX))
            secondVertex = static_cast<int32_t>(range.VertexStart);
    }
    if (colours.empty())
        return;
    while (colours.size() < 6)
        colours.push_back(colours[colours.size() - 3]);
    mEffect->SetVectorArray("gOwnMaterials", colours);
    mEffect->SetInt("gOwnSecondVertex", secondVertex);
}

void Caleidoscope::DrawLightShafts(bool lightOn) {
    // Into the second float target, cleared first, against the scene's depth.
    fw_Texture* glow = gFramework->FindTexture("r16g16b16a16f_2");
    if (glow)
        glow->ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    if (lightOn && mLightShafts) {
        Bind(glow, gFramework->FindTexture("d32f_backbuffer"));
        mLightShafts->Draw();
    }
}

void Caleidoscope::DrawBokeh() {
    Bind(gFramework->FindTexture("r16g16b16a16f_2"), nullptr);
    if (mBokeh)
        mBokeh->Draw(gFramework->FindTexture("r16g16b16a16f_1"));
}

void Caleidoscope::DrawVignette(bool transition) {
    // Into the backbuffer, or while a transition runs into the first 8-bit target.
    fw_PostEffects* post = fw_Framework::GetPostEffects();
    if (!post)
        return;
    fw_Texture* glow = gFramework->FindTexture("r16g16b16a16f_2");
    fw_Texture* target = gFramework->FindTexture(transition ? "r8g8b8a8_1" : "backbuffer");
    if (Track("Post_Flares", 0.0f) <= 0.0f) {
        post->UpdateVignette(glow, target, 0.0f);
        return;
    }
    float x = 0.0f, y = 0.0f;
    fw_DebugCamera* debugCamera = GetDebugCamera();
    if (!LightScreenPosition(mLightPosition, debugCamera ? debugCamera->GetActiveCamera() : nullptr, x, y)) {
        // Off screen: far enough that no flare reaches the picture.
        x = 1.0e4f;
        y = 1.0e4f;
    }
    Bind(target, nullptr);
    post->VignetteWithFlare(x, y, glow);
}

std::string Caleidoscope::FlipCardName(float image) {
    return "flipcard" + std::to_string(fw_FloatToInt(image)) + ".png";
}

void Caleidoscope::DrawTransition() {
    // The atoms of the flip card into the second 8-bit target, then the three-way fade.
    fw_Texture* depth = gFramework->FindTexture("d32f_backbuffer");
    fw_Texture* atomsTarget = gFramework->FindTexture("r8g8b8a8_2");
    fw_Texture* vignetted = gFramework->FindTexture("r8g8b8a8_1");
    fw_Texture* card = gFramework->FindOrLoadTexture(FlipCardName(Track("Atoms_Image", 1.0f)));
    if (atomsTarget)
        atomsTarget->ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    if (depth)
        depth->ClearDepth(1.0f);
    Bind(atomsTarget, depth);
    if (mAtoms)
        mAtoms->Draw(card, vignetted);
    PassDone("atoms");
    Bind(gFramework->FindTexture("backbuffer"), nullptr);
    if (fw_PostEffects* post = fw_Framework::GetPostEffects())
        post->TriFade(Track("Atoms_Param", 0.0f), card, atomsTarget, vignetted);
    PassDone("fade");
}

void Caleidoscope::DrawCaleidoscope(int32_t type, fw_Mesh* mesh, bool mirrored, float rotation,
                                    const fw_Matrix34& transform, ID3D10EffectTechnique* technique, bool depthPass) {
    const fw_ScopedRandState generator;
    if (!mEffect || !mesh)
        return;
    const int lastRange = int(mesh->mAttributeCount) - 1;

    if (mirrored) {
        const fw_Matrix34 r = MirrorTurn(rotation);
        ID3D10EffectTechnique* techniques[2] = {mEffect->GetTechnique(MirrorTechniqueName(0, depthPass)),
                                                mEffect->GetTechnique(MirrorTechniqueName(1, depthPass))};
        const fw_Vector3 t = transform.GetTranslation();
        mEffect->SetFloat4("gPostTranslation", t.x, t.y, t.z, 0.0f);
        fw_Matrix34 n = transform;
        n(0, 3) = n(1, 3) = n(2, 3) = 0.0f;
        // The mirrors so far: the distortion applies in the first segment's frame.
        fw_Matrix34 mirror{fw_Matrix3(1.0f)};
        for (int k = 0; k < 6; ++k) {
            fw_Vector3 m1, m2;
            MirrorPlanes(r, k, m1, m2);
            SetWorldMatrix34(n);
            mEffect->SetFloat4("gPlane1", m1.x, m1.y, m1.z, 0.0f);
            mEffect->SetFloat4("gPlane2", m2.x, m2.y, m2.z, 0.0f);
            SetMatrix4(mEffect, "gMirror", fw_Matrix4(mirror).Transposed());
            DrawMesh(mesh, techniques[k % 2], 0, lastRange, true);
            // Mirror through the plane with normal m2.
            const fw_Matrix34 h = Reflection(m2);
            n = h * n;
            mirror = h * mirror;
        }
    } else if (type == kObjectSmallCrystals) {
        mEffect->SetFloat4("gPostTranslation", 0.0f, 0.0f, 0.0f, 0.0f);
        const std::vector<CrystalSegment>& table = CrystalTable();
        const int32_t grown = fw_FloatToInt(Track("CRSTL_Num", 0.0f));
        const int32_t variant = CrystalVariant(Track("CRSTL_GrowType", 0.0f));
        const int ranges = int(mesh->mAttributeCount);
        std::vector<std::vector<float>> columns(size_t(std::max(ranges, 0)));
        for (int p = 0; p < kCrystalPaths && ranges > 0; ++p) {
            for (int s = 0; s < kCrystalSteps; ++s) {
                const CrystalSegment& segment = table[CrystalIndex(variant, p, s)];
                const fw_Vector3 delta = segment.end - segment.start;
                const float length = Length(delta);
                fw_Vector3 dir = delta;
                if (length != 0.0f)
                    dir /= length;
                fw_Vector3 b1(0.0f, 1.0f, 0.0f), b2(0.0f, 0.0f, 1.0f);
                fw_Math::OrthonormalBasis(dir, b1, b2);
                const fw_Matrix34 basis(fw_Matrix3::FromColumns(dir, b1, b2));
                const int32_t birth = segment.birth;
                srand(static_cast<unsigned>(birth));
                int shape = rand() % ranges;
                for (int c = 0; c < 10 && int64_t(birth) + c < grown; ++c) {
                    const int j1 = rand();
                    const int j2 = rand();
                    const fw_Matrix34 world =
                        transform * Translate(segment.start.x, segment.start.y, segment.start.z) * basis *
                        Translate(static_cast<float>(c / 10.0 * double(length)), 0.0f, 0.0f) *
                        RotationX(static_cast<float>(j2)) *
                        RotationY(static_cast<float>((double(j1) / 32767.0 - 0.5) * double(0.03f)));
                    std::vector<float>& out = columns[size_t(shape)];
                    for (int column = 0; column < 4; ++column)
                        for (int row = 0; row < 3; ++row)
                            out.push_back(world(row, column));
                    shape = (shape + 1) % ranges;
                }
            }
        }
        DrawCrystals(mesh, columns, depthPass);
    } else {
        mEffect->SetFloat4("gPostTranslation", 0.0f, 0.0f, 0.0f, 0.0f);
        SetWorldMatrix34(transform);
        DrawMesh(mesh, technique, 0, lastRange, true);
    }
}

void Caleidoscope::DrawCrystals(fw_Mesh* mesh, const std::vector<std::vector<float>>& columns, bool depthPass) {
    // Thousands of crystals: a draw each would cost the device more than drawing them.
    static const D3D10_INPUT_ELEMENT_DESC kInstance[4] = {
        {"WORLD", 0, DXGI_FORMAT_R32G32B32_FLOAT, 1, 0, D3D10_INPUT_PER_INSTANCE_DATA, 1},
        {"WORLD", 1, DXGI_FORMAT_R32G32B32_FLOAT, 1, 12, D3D10_INPUT_PER_INSTANCE_DATA, 1},
        {"WORLD", 2, DXGI_FORMAT_R32G32B32_FLOAT, 1, 24, D3D10_INPUT_PER_INSTANCE_DATA, 1},
        {"WORLD", 3, DXGI_FORMAT_R32G32B32_FLOAT, 1, 36, D3D10_INPUT_PER_INSTANCE_DATA, 1},
    };
    std::vector<float> all;
    std::vector<UINT> first;
    for (const std::vector<float>& shape : columns) {
        first.push_back(UINT(all.size() / kCrystalColumns));
        all.insert(all.end(), shape.begin(), shape.end());
    }
    if (all.empty())
        return;
    SafeRelease(mCrystalInstances);
    mCrystalInstances = CreateFilledBuffer(all.data(), all.size() * sizeof(float));
    ID3D10EffectTechnique* technique = mEffect->GetTechnique(depthPass ? "varianceDepthInstanced" : "plainInstanced");
    ID3D10InputLayout*& layout = mCrystalLayouts[depthPass ? 1 : 0];
    if (!layout)
        layout = fw_Mesh::CreateInstancedLayout(technique, kInstance, 4);
    for (size_t s = 0; s < columns.size(); ++s) {
        const UINT count = UINT(columns[s].size() / kCrystalColumns);
        if (count == 0)
            continue;
        mesh->DrawRangeInstanced(technique, int(s), layout, mCrystalInstances, UINT(kCrystalColumns * sizeof(float)),
                                 first[s], count);
        mMeshDraws += count;
    }
}

void Caleidoscope::CreateShadowTargets() {
    constexpr uint32_t kColourTarget = D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET;
    if (!gFramework)
        return;
    const auto factory = [](uint32_t bind, DXGI_FORMAT format) {
        return [bind, format]() -> fw_Texture* {
            fw_Texture* texture = new fw_Texture(bind, format, kShadowMapSize, kShadowMapSize, 1, nullptr);
            if (!texture->GetResource()) {
                delete texture;
                return nullptr;
            }
            return texture;
        };
    };
    mVarianceShadowDepth = gFramework->FindOrCreateTexture("d32f_VarianceShadow",
                                                           factory(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT));
    mVarianceShadow0 =
        gFramework->FindOrCreateTexture("r32g32f_VarianceShadow0", factory(kColourTarget, DXGI_FORMAT_R32G32_FLOAT));
    mVarianceShadow =
        gFramework->FindOrCreateTexture("r32g32f_VarianceShadow", factory(kColourTarget, DXGI_FORMAT_R32G32_FLOAT));
}

void Caleidoscope::RenderVarianceDepth() {
    // A target that could not be made: no shadow pass.
    if (!mVarianceShadow0 || !mVarianceShadow || !mVarianceShadowDepth || !mEffect)
        return;
    Bind(mVarianceShadow0, mVarianceShadowDepth);
    mVarianceShadowDepth->ClearDepth(1.0f);
    mVarianceShadow0->ClearColor(150.0f, 22500.0f, 0.0f, 0.0f);
    const float rotation = Track("Obj_CaleidoRot", 0.0f);
    if (mMainType >= 0)
        DrawCaleidoscope(mMainType, mMainMesh, mMainCaleido, rotation, mMainTransform,
                         mEffect->GetTechnique("varianceDepth"), true);
    if (mMainType == kObjectTetrahedra && mFucrr)
        mFucrr->BindMatrixTextures(true);
    if (fw_PostEffects* post = fw_Framework::GetPostEffects()) {
        const RECT changed = ShadowCasterRect();
        post->Blur5Taps(mVarianceShadow0, mVarianceShadow, mVarianceShadow0, &changed);
    }
}

const std::pair<fw_Vector3, fw_Vector3>& Caleidoscope::MeshBox(fw_Mesh* mesh) {
    const auto known = mMeshBoxes.find(mesh);
    if (known != mMeshBoxes.end())
        return known->second;
    std::vector<fw_Vector3> positions;
    mesh->ReadPositions(positions);
    fw_Vector3 lo(0.0f, 0.0f, 0.0f), hi(0.0f, 0.0f, 0.0f);
    for (size_t i = 0; i < positions.size(); ++i) {
        const fw_Vector3& p = positions[i];
        lo = i == 0 ? p : fw_Vector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = i == 0 ? p : fw_Vector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    return mMeshBoxes[mesh] = {lo, hi};
}

RECT Caleidoscope::ShadowCasterRect() {
    const RECT whole{0, 0, kShadowMapSize, kShadowMapSize};
    if (mMainType < 0 || !mMainMesh)
        return RECT{0, 0, 0, 0};
    if (mMainType == kObjectTetrahedra)
        return whole;
    const auto& [lo, hi] = MeshBox(mMainMesh);
    const auto corner = [](const fw_Vector3& a, const fw_Vector3& b, int k) {
        return fw_Vector3((k & 1) ? b.x : a.x, (k & 2) ? b.y : a.y, (k & 4) ? b.z : a.z);
    };
    // World points whose projections bound every texel the object covers.
    std::vector<fw_Vector3> points;
    if (mMainCaleido) {
        // In the first segment's frame the stretched box bounds the height and the distance
        // from the vertical axis; the twist turns about that axis, the ripple and the fold
        // move a point by at most their sizes. The other segments are its reflections.
        double radius = 0.0, bottom = HUGE_VAL, top = -HUGE_VAL;
        for (int k = 0; k < 8; ++k) {
            const fw_Vector3 q = Apply3(mMainTransform, corner(lo, hi, k));
            radius = std::max(radius, std::hypot(double(q.x), double(q.z)));
            bottom = std::min(bottom, double(q.y));
            top = std::max(top, double(q.y));
        }
        const double ripple = 1.5 * std::fabs(double(Scaled(Track("Penrose2", 0.0f), 0.1f)));
        const double fold = 2.0 * std::fabs(double(Scaled(Track("Penrose3", 0.0f), 0.1f)));
        const float r = float(radius + ripple);
        const fw_Vector3 low(-r, float(bottom - ripple - fold), -r), high(r, float(top + ripple + fold), r);
        const fw_Matrix34 turn = MirrorTurn(Track("Obj_CaleidoRot", 0.0f));
        fw_Matrix34 mirror{fw_Matrix3(1.0f)};
        for (int segment = 0; segment < 6; ++segment) {
            for (int k = 0; k < 8; ++k)
                points.push_back(Apply3(mirror, corner(low, high, k)) + mMainTransform.GetTranslation());
            fw_Vector3 m1, m2;
            MirrorPlanes(turn, segment, m1, m2);
            mirror = Reflection(m2) * mirror;
        }
    } else if (mMainType == kObjectSmallCrystals) {
        // The crystals lie along their paths, each within the mesh's reach of a path point.
        const float r = CrystalPathRadius() + std::max(Length(lo), Length(hi));
        for (int k = 0; k < 8; ++k)
            points.push_back(mMainTransform * corner(fw_Vector3(-r, -r, -r), fw_Vector3(r, r, r), k));
    } else {
        for (int k = 0; k < 8; ++k)
            points.push_back(mMainTransform * corner(lo, hi, k));
    }
    const fw_Matrix4 light = LightViewProjection(mLightPosition, Track("VLightFOV", 90.0f));
    double u0 = HUGE_VAL, v0 = HUGE_VAL, u1 = -HUGE_VAL, v1 = -HUGE_VAL;
    for (const fw_Vector3& p : points) {
        const double world[4] = {p.x, p.y, p.z, 1.0};
        double clip[4] = {0.0, 0.0, 0.0, 0.0};
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                clip[r] += double(light(r, k)) * world[k];
        if (!(clip[3] > 1e-4) || !std::isfinite(clip[0] / clip[3]) || !std::isfinite(clip[1] / clip[3]))
            return whole;
        const double u = (clip[0] / clip[3] * 0.5 + 0.5) * kShadowMapSize;
        const double v = (0.5 - clip[1] / clip[3] * 0.5) * kShadowMapSize;
        u0 = std::min(u0, u);
        u1 = std::max(u1, u);
        v0 = std::min(v0, v);
        v1 = std::max(v1, v);
    }
    const auto texel = [](double x) { return LONG(std::clamp(x, 0.0, double(kShadowMapSize))); };
    return RECT{texel(std::floor(u0) - 1.0), texel(std::floor(v0) - 1.0), texel(std::ceil(u1) + 1.0),
                texel(std::ceil(v1) + 1.0)};
}
