#pragma once
// The production's only scene: the kaleidoscope objects, crystals, rings, background, the
// tetra simulation, light shafts with variance shadows, dust, bokeh, the final grade and
// the flip-card transitions, all driven by sync tracks.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fw_Math.h"
#include "fw_Scene.h"
#include "platform/win32_types.h"

class fw_Effect;
class fw_Mesh;
class fw_Texture;
class fw_Camera;
class BokehEffect;
class DustEffect;
class VolumetricLight;
class AtomsEffect;
class FucrrEffect;
struct ID3D10Buffer;
struct ID3D10EffectTechnique;
struct ID3D10InputLayout;

// While set, the mouse-driven free camera is shown instead of the sync camera.
extern bool gUseFreeCamera;

class Caleidoscope : public fw_Scene {
public:
    explicit Caleidoscope(const std::string& sceneName);
    ~Caleidoscope() override;

    void Update() override;
    void Render() override;
    void LoadResources() override;
    void ReleaseResources() override;
    void OnKeyDown(uint32_t key, bool shift, bool control) override;

    void SelectMeshTechnique(int32_t type, fw_Mesh*& mesh, ID3D10EffectTechnique*& technique, bool isMain);
    void DrawCaleidoscope(int32_t type, fw_Mesh* mesh, bool mirrored, float rotation, const fw_Matrix34& transform,
                          ID3D10EffectTechnique* technique, bool depthPass);
    void CreateShadowTargets();
    void RenderVarianceDepth();
    // The texels of the variance map that the shadow pass can change: the main object's
    // bounds as the light sees them, widened by a texel. The whole map for the tetrahedra
    // or bounds not wholly in front of the light; empty without a main object.
    RECT ShadowCasterRect();
    static constexpr int32_t kShadowMapSize = 1024;

    // Called after each pass of Render with the pass's name, when set (the show's
    // benchmark times the passes with it); null in the program.
    using PassHook = void (*)(const char* pass);
    static PassHook sPassHook;

    // More auxiliary objects than any timeline asks for; "Obj_NumAux" is clamped to it.
    static constexpr int32_t kMaxAuxObjects = 4096;

    // Mesh draws made by the scene since it was made (diagnostics and tests).
    uint64_t GetMeshDrawCount() const { return mMeshDraws; }

    fw_Mesh* mMainMesh = nullptr;
    bool mMainCaleido = false;
    ID3D10EffectTechnique* mMainTechnique = nullptr;
    fw_Mesh* mAuxMesh = nullptr;
    bool mAuxCaleido = false;
    ID3D10EffectTechnique* mAuxTechnique = nullptr;
    fw_Mesh* mWireframe1 = nullptr;
    fw_Mesh* mRomstasjon = nullptr;
    fw_Mesh* mKuben = nullptr;
    fw_Mesh* mDiamond = nullptr;
    fw_Mesh* mSphere = nullptr;
    fw_Mesh* mCrystal6 = nullptr;
    fw_Mesh* mSmallCrystals = nullptr;
    fw_Mesh* mSmallPyr = nullptr;
    fw_Effect* mEffect = nullptr;
    BokehEffect* mBokeh = nullptr;
    DustEffect* mDust = nullptr;
    VolumetricLight* mLightShafts = nullptr;
    AtomsEffect* mAtoms = nullptr;
    FucrrEffect* mFucrr = nullptr;
    float mLightPosition[3] = {0.0f, 0.0f, 0.0f};
    fw_Texture* mVarianceShadow0 = nullptr;
    fw_Texture* mVarianceShadow = nullptr;
    fw_Texture* mVarianceShadowDepth = nullptr;
    fw_Matrix34 mMainTransform;
    std::vector<fw_Matrix34> mAuxTransforms;
    fw_Matrix34 mBackgroundTransform;
    int32_t mMainType = -1;
    int32_t mAuxType = -1;
    uint64_t mMeshDraws = 0;

private:
    // Draws every technique once (at the end of loading); leaves the object slots to
    // ClearObjectSlots.
    void WarmUp();
    // The object slots as a new scene has them: no objects until the next update.
    void ClearObjectSlots();
    // The steps of Update, in their order.
    void PlaceAuxiliaryObjects();
    void SelectObjects();
    void PlaceMainObject();
    void PlaceBackground();
    void SetLight();
    void SetDepthOfField();
    void SetPenrose();
    // The steps of Render between the tetra step, the shadow pass and the bloom.
    void DrawObjects();
    void DrawRings();
    void DrawBackground();
    // The lattice mesh in its own materials, with the world matrix and fade as set.
    void DrawLattice();
    // The material variables of the rings' and the lattice's techniques, which draw their
    // meshes without materials.
    void SetOwnMaterials(const fw_Mesh* mesh);
    void DrawLightShafts(bool lightOn);
    void DrawBokeh();
    void DrawVignette(bool transition);
    void DrawTransition();
    static std::string FlipCardName(float image);

    void DrawMesh(fw_Mesh* mesh, ID3D10EffectTechnique* technique, int first, int last, bool withMaterials);
    // The crystals of the mesh's shapes, one instanced draw per shape: kCrystalColumns floats
    // a crystal (the columns of its world matrix), in each shape's order of drawing.
    void DrawCrystals(fw_Mesh* mesh, const std::vector<std::vector<float>>& columns, bool depthPass);
    static constexpr size_t kCrystalColumns = 12;
    ID3D10Buffer* mCrystalInstances = nullptr;
    // The box of a mesh's vertices (lowest and highest corner), once measured.
    const std::pair<fw_Vector3, fw_Vector3>& MeshBox(fw_Mesh* mesh);
    std::map<const fw_Mesh*, std::pair<fw_Vector3, fw_Vector3>> mMeshBoxes;
    ID3D10InputLayout* mCrystalLayouts[2] = {};  // screen, shadow
    void PassDone(const char* pass) const;
    void DeleteOwned();
};

// The light's projection times view (column vectors) for a height and a field of view in
// degrees; finite and invertible for any field of view (clamped to 1 to 179 degrees, NaN
// as 90).
fw_Matrix4 LightViewProjection(const float lightPosition[3], float fovDegrees);
// The world matrix of a draw: widened, transposed, set as "World" and "World_BackInTime"
// with "EyePositionLocal".
void SetWorldMatrix34(const fw_Matrix34& world);
// The normals of the two mirror planes of kaleidoscope segment k (0 to 5) turned by R.
void MirrorPlanes(const fw_Matrix34& r, int k, fw_Vector3& plane1, fw_Vector3& plane2);
// The technique of segment k: even segments cull as usual, odd (mirrored) ones the other way.
const char* MirrorTechniqueName(int k, bool depthPass);
// An auxiliary object's position: the direction scaled to the radius (a zero direction
// stays at the origin).
fw_Vector3 AuxPosition(const fw_Vector3& direction, float radius);
// Crystal variant of a "CRSTL_GrowType" value: its integer part modulo 4, in 0 to 3.
int32_t CrystalVariant(float growType);
// The light's screen position for the flares: false (off screen) when the light lies in or
// behind the camera plane.
bool LightScreenPosition(const float lightPosition[3], const fw_Camera* camera, float& x, float& y);
