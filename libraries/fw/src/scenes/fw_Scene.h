#pragma once
// The base of every scene: the whole interface between the framework's run loop and the
// production, and the owner of what the scene description gives a scene (transforms,
// their curves, the cameras in the debug camera).

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <boost/noncopyable.hpp>

#include "fw_Framework.h"

class fw_Curve;
class fw_DebugCamera;
class fw_ReadReport;
class fw_Transform;

class fw_Scene : private boost::noncopyable {
public:
    using TransformMap = std::map<std::string, fw_Transform*>;
    using CurveMap = std::map<std::string, fw_Curve*>;

    explicit fw_Scene(const std::string& name);

    // The base animation update: all curves at t, all transforms, then the cameras.
    virtual void UpdateAnimation(float t);
    virtual void Update() {}
    virtual void Render() {}
    virtual void LoadResources() {}
    virtual void ReleaseResources() {}
    virtual void OnKeyDown(uint32_t /*key*/, bool /*shift*/, bool /*control*/) {}
    virtual void OnLeftButtonDown() {}
    virtual void OnLeftButtonUp() {}
    virtual void OnMouseMove(int /*x*/, int /*y*/) {}
    virtual void ExtraHook(uint32_t /*argument*/) {}
    virtual void OnBeginCameraDump() {}
    virtual void OnEndCameraDump() {}
    virtual float GetProjectionScale() { return 1.0f; }
    virtual void OnActivate() {}
    virtual ~fw_Scene();

    // What a description may hold; one beyond any of them is refused, with a warning,
    // before the XML parser (which recurses once per nesting level) reads it.
    static constexpr size_t kMaxDescriptionBytes = size_t(16) << 20;
    static constexpr int kMaxDescriptionDepth = 256;         // element nesting
    static constexpr size_t kMaxDescriptionNodes = 1 << 16;  // elements, attributes, comments, text runs

    // Reads "./data/" + name; replaces everything an earlier load made.
    void LoadXml();

    const std::string& GetName() const { return mName; }
    // Null until the description is loaded.
    TransformMap* GetTransforms() const { return mTransforms.get(); }
    CurveMap* GetTracks() const { return mCurves.get(); }
    fw_DebugCamera* GetDebugCamera() const { return mDebugCamera.get(); }
    // The framework's depth pick; nothing without a framework.
    void PickDepth() {
        if (gFramework)
            gFramework->PickDepth();
    }

private:
    void ReleaseDescription();
    template <class Tree>
    void LoadTransforms(const Tree& transforms, const std::string& what, fw_ReadReport& report);
    template <class Tree>
    void LoadCameras(const Tree& cameras, const std::string& what, fw_ReadReport& report);

    std::string mName;
    std::unique_ptr<fw_DebugCamera> mDebugCamera;
    std::unique_ptr<TransformMap> mTransforms;  // owns its transforms
    std::unique_ptr<CurveMap> mCurves;          // owns its curves
};

// Evaluates every curve of the map at t, in key order.
void EvaluateCurves(fw_Scene::CurveMap* curves, float t);
// Runs fw_Transform::Update on every transform of the map, in name order.
void UpdateTransforms(fw_Scene::TransformMap* transforms);

// The shape of XML text as the scene's XML parser reads it, up to where that parser stops
// (the first NUL byte or syntax error): the deepest element nesting and the number of
// nodes (elements, attributes, comments, text runs). Linear in the text, without recursion;
// it stops counting once depth exceeds maxDepth or nodes exceed maxNodes.
struct fw_XmlShape {
    int depth = 0;
    size_t nodes = 0;
};
fw_XmlShape MeasureXml(std::string_view text, int maxDepth, size_t maxNodes);

// A channel attribute's text: whitespace-separated decimal numbers ("C" locale), read up
// to the first token that is not a finite number; complete groups of four only (time,
// value, in tangent, out tangent) become keys, as fw_Curve::InsertKey of each group in turn
// would leave them (in n log n time, whatever the order of the groups).
void ReadCurveKeys(const std::string& text, fw_Curve& curve);
