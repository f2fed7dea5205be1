#include "fw_Scene.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <ios>
#include <optional>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "fw_Camera.h"
#include "fw_Curve.h"
#include "fw_DebugCamera.h"
#include "fw_SceneServices.h"
#include "fw_Transform.h"

namespace pt = boost::property_tree;

namespace {

// A whole token as a finite decimal number, in the "C" locale whatever the process's.
std::optional<float> ParseNumber(const std::string& token) {
    const char* first = token.data();
    const char* last = first + token.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') return std::nullopt;
    }
    float value = 0.0f;
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> out;
    size_t i = 0;
    const char* space = " \t\r\n\f\v";
    while (true) {
        i = text.find_first_not_of(space, i);
        if (i == std::string::npos) break;
        size_t j = text.find_first_of(space, i);
        out.push_back(text.substr(i, j == std::string::npos ? std::string::npos : j - i));
        if (j == std::string::npos) break;
        i = j;
    }
    return out;
}

} // namespace

void ReadCurveKeys(const std::string& text, fw_Curve& curve) {
    float group[4];
    int filled = 0;
    for (const std::string& token : Tokens(text)) {
        std::optional<float> v = ParseNumber(token);
        if (!v) break;
        group[filled++] = *v;
        if (filled == 4) {
            curve.InsertKey(group[0], group[1], group[2], group[3]);
            filled = 0;
        }
    }
}

void EvaluateCurves(fw_Scene::CurveMap* curves, float t) {
    if (!curves) return;
    for (auto& entry : *curves) entry.second->Evaluate(t);
}

void UpdateTransforms(fw_Scene::TransformMap* transforms) {
    if (!transforms) return;
    for (auto& entry : *transforms) entry.second->Update();
}

fw_Scene::fw_Scene(const std::string& name) : mName(name) {}

fw_Scene::~fw_Scene() { ReleaseDescription(); }

void fw_Scene::ReleaseDescription() {
    // Cameras first: they point at the transforms.
    mDebugCamera.reset();
    if (mTransforms) {
        for (auto& entry : *mTransforms) delete entry.second;
        mTransforms.reset();
    }
    if (mCurves) {
        for (auto& entry : *mCurves) delete entry.second;
        mCurves.reset();
    }
}

void fw_Scene::UpdateAnimation(float t) {
    if (!mDebugCamera || !mTransforms || !mCurves) return; // nothing loaded yet
    EvaluateCurves(mCurves.get(), t);
    UpdateTransforms(mTransforms.get());
    mDebugCamera->UpdateCameras();
}

void fw_Scene::LoadXml() {
    ReleaseDescription();
    mDebugCamera = std::make_unique<fw_DebugCamera>();
    mCurves = std::make_unique<CurveMap>();
    mTransforms = std::make_unique<TransformMap>();

    const std::string path = "./data/" + mName;
    pt::ptree tree;
    try {
        pt::read_xml(path, tree, 0);
    } catch (const pt::xml_parser_error&) {
        tree.clear();
    } catch (const std::ios_base::failure&) { // a read error, e.g. the name is a folder
        tree.clear();
    }
    auto scene = tree.get_child_optional("scene");
    if (!scene) {
        fw_SceneServices::Warning("Scene description " + path + " has no scene element; the scene has no transforms and cameras");
        return;
    }
    if (auto transforms = scene->get_child_optional("transforms")) LoadTransforms(*transforms, path);
    if (auto cameras = scene->get_child_optional("cameras")) LoadCameras(*cameras, path);
}

template <class Tree> void fw_Scene::LoadTransforms(const Tree& transforms, const std::string& path) {
    for (const auto& child : transforms) {
        if (child.first != "trans") continue;
        auto attributes = child.second.get_child_optional("<xmlattr>");
        if (!attributes) continue;
        auto name = attributes->template get_optional<std::string>("name");
        if (!name) {
            fw_SceneServices::Warning("Scene description " + path + ": a trans element without a name is skipped");
            continue;
        }
        const char* missing = nullptr;
        for (int c = 0; c < fw_Transform::kChannelCount && !missing; ++c)
            if (!attributes->get_child_optional(fw_Transform::ChannelName(c))) missing = fw_Transform::ChannelName(c);
        if (missing) {
            fw_SceneServices::Warning("Scene description " + path + ": trans \"" + *name + "\" has no " + missing +
                                      " channel and is skipped");
            continue;
        }

        auto* transform = new fw_Transform();
        for (int c = 0; c < fw_Transform::kChannelCount; ++c) {
            const std::string channel = fw_Transform::ChannelName(c);
            auto* curve = new fw_Curve();
            ReadCurveKeys(attributes->template get<std::string>(channel), *curve);
            curve->Evaluate(0.0f);
            transform->SetChannelCurve(c, curve);
            fw_Curve*& slot = (*mCurves)[*name + channel];
            delete slot; // a later trans of the same name takes the entry over
            slot = curve;
        }
        transform->Update();
        fw_Transform*& slot = (*mTransforms)[*name];
        delete slot;
        slot = transform;
    }
}

template <class Tree> void fw_Scene::LoadCameras(const Tree& cameras, const std::string& path) {
    for (const auto& child : cameras) {
        if (!child.first.empty() && child.first[0] == '<') continue; // attributes, comments
        auto attributes = child.second.get_child_optional("<xmlattr>");
        if (!attributes) continue;
        std::string name;
        std::optional<float> nearZ, farZ, nearFocus, farFocus, fov, aspect;
        for (const auto& attribute : *attributes) {
            const std::string& key = attribute.first;
            const std::string text = attribute.second.data();
            if (key == "name") {
                name = text;
                continue;
            }
            const float value = ParseNumber(text).value_or(0.0f);
            if (key == "nearz") nearZ = value;
            else if (key == "farz") farZ = value;
            else if (key == "nearfocus") nearFocus = value;
            else if (key == "farfocus") farFocus = value;
            else if (key == "vFOV") fov = value;
            else if (key == "aspect") aspect = value;
        }
        auto found = mTransforms->find(name);
        if (found == mTransforms->end()) {
            fw_SceneServices::Warning("Scene description " + path + ": camera \"" + name +
                                      "\" names no transform and is skipped");
            continue;
        }
        auto* camera = new fw_Camera(found->second);
        camera->SetProjection(fov.value_or(camera->mFov), nearZ.value_or(camera->mNear), farZ.value_or(camera->mFar),
                              nearFocus.value_or(camera->mNearFocus), farFocus.value_or(camera->mFarFocus),
                              aspect.value_or(camera->mAspect));
        mDebugCamera->RegisterCamera(name, camera);
    }
}
