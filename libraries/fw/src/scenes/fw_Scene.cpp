#include "fw_Scene.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "fw_Camera.h"
#include "fw_Curve.h"
#include "fw_DebugCamera.h"
#include "fw_ReadReport.h"
#include "fw_SceneServices.h"
#include "fw_Transform.h"
#include "platform/regular_file.h"

namespace pt = boost::property_tree;

namespace {

// A whole token as a finite decimal number, in the "C" locale whatever the process's.
std::optional<float> ParseNumber(std::string_view token) {
    const char* first = token.data();
    const char* last = first + token.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return std::nullopt;
    }
    float value = 0.0f;
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool IsCurveSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The XML parser's whitespace, element-name and attribute-name characters.
bool IsXmlSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsXmlName(unsigned char c) {
    return c && !IsXmlSpace(c) && c != '/' && c != '>' && c != '?';
}
bool IsXmlAttributeName(unsigned char c) {
    return c && !IsXmlSpace(c) && c != '!' && c != '/' && (c < '<' || c > '?');
}

}  // namespace

fw_XmlShape MeasureXml(std::string_view text, int maxDepth, size_t maxNodes) {
    text = text.substr(0, text.find('\0'));  // the parser ends at the first NUL
    const size_t n = text.size();
    auto at = [&](size_t k) -> unsigned char { return k < n ? static_cast<unsigned char>(text[k]) : 0; };
    fw_XmlShape shape;
    int depth = 0;
    size_t i = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    // Moves i past the first `end` from `from`; false when there is none.
    auto skipPast = [&](size_t from, std::string_view end) {
        const size_t k = text.find(end, from);
        if (k == std::string_view::npos)
            return false;
        i = k + end.size();
        return true;
    };
    auto skipSpace = [&] {
        while (IsXmlSpace(at(i)))
            ++i;
    };
    while (shape.depth <= maxDepth && shape.nodes <= maxNodes) {
        if (depth == 0) {
            skipSpace();
            if (at(i) != '<')
                break;  // the end, or an error
        } else if (at(i) == 0) {
            break;
        } else if (at(i) != '<') {  // a text run
            ++shape.nodes;
            while (at(i) && at(i) != '<')
                ++i;
            continue;
        } else if (at(i + 1) == '/') {  // a closing tag
            i += 2;
            while (IsXmlName(at(i)))
                ++i;
            skipSpace();
            if (at(i) != '>')
                break;
            ++i;
            --depth;
            continue;
        }
        ++i;                 // past '<'
        if (at(i) == '?') {  // declaration or processing instruction
            if (!skipPast(i + 1, "?>"))
                break;
            continue;
        }
        if (at(i) == '!') {
            bool found = false;
            if (at(i + 1) == '-' && at(i + 2) == '-') {
                ++shape.nodes;
                found = skipPast(i + 3, "-->");
            } else if (text.substr(i + 1, 7) == "[CDATA[") {
                ++shape.nodes;
                found = skipPast(i + 8, "]]>");
            } else if (text.substr(i + 1, 7) == "DOCTYPE" && IsXmlSpace(at(i + 8))) {
                // To '>', skipping bracketed parts by bracket depth alone.
                for (i += 9; at(i) && at(i) != '>';) {
                    if (at(i++) != '[')
                        continue;
                    for (int brackets = 1; brackets > 0 && at(i); ++i)
                        brackets += at(i) == '[' ? 1 : at(i) == ']' ? -1 : 0;
                }
                found = at(i) == '>';
                ++i;
            } else {
                found = skipPast(i + 1, ">");
            }
            if (!found)
                break;
            continue;
        }
        // An element: name, attributes, then '>' (its contents follow) or "/>".
        const size_t name = i;
        while (IsXmlName(at(i)))
            ++i;
        if (i == name)
            break;
        ++shape.nodes;
        skipSpace();
        bool wellFormed = true;
        while (IsXmlAttributeName(at(i))) {
            while (IsXmlAttributeName(at(i)))
                ++i;
            ++shape.nodes;
            skipSpace();
            wellFormed = at(i) == '=';
            if (!wellFormed)
                break;
            ++i;
            skipSpace();
            const char quote = static_cast<char>(at(i));
            wellFormed = (quote == '"' || quote == '\'') && skipPast(i + 1, std::string_view(&quote, 1));
            if (!wellFormed)
                break;
            skipSpace();
        }
        if (!wellFormed)
            break;
        if (at(i) == '>') {
            ++i;
            shape.depth = std::max(shape.depth, ++depth);
        } else if (at(i) == '/' && at(i + 1) == '>') {
            i += 2;
        } else {
            break;
        }
    }
    return shape;
}

void ReadCurveKeys(const std::string& text, fw_Curve& curve) {
    std::vector<fw_CurveKey> groups;
    float group[4];
    int filled = 0;
    for (size_t i = 0; i < text.size();) {
        while (i < text.size() && IsCurveSpace(text[i]))
            ++i;
        const size_t start = i;
        while (i < text.size() && !IsCurveSpace(text[i]))
            ++i;
        if (start == i)
            break;
        std::optional<float> v = ParseNumber(std::string_view(text).substr(start, i - start));
        if (!v)
            break;
        group[filled++] = *v;
        if (filled == 4) {
            groups.push_back(fw_CurveKey{group[0], group[1], group[2], group[3]});
            filled = 0;
        }
    }
    // Sorted by time, equal times in text order: each run of equal times is one key with the
    // first group's time and the last group's values; inserted in ascending order, each key
    // is appended in constant time.
    std::stable_sort(groups.begin(), groups.end(),
                     [](const fw_CurveKey& a, const fw_CurveKey& b) { return a.time < b.time; });
    for (size_t i = 0; i < groups.size();) {
        size_t j = i + 1;
        while (j < groups.size() && groups[j].time == groups[i].time)
            ++j;
        const fw_CurveKey& last = groups[j - 1];
        curve.InsertKey(groups[i].time, last.value, last.inTangent, last.outTangent);
        i = j;
    }
}

void EvaluateCurves(fw_Scene::CurveMap* curves, float t) {
    if (!curves)
        return;
    for (auto& entry : *curves)
        entry.second->Evaluate(t);
}

void UpdateTransforms(fw_Scene::TransformMap* transforms) {
    if (!transforms)
        return;
    for (auto& entry : *transforms)
        entry.second->Update();
}

fw_Scene::fw_Scene(const std::string& name) : mName(name) {}

fw_Scene::~fw_Scene() {
    ReleaseDescription();
}

void fw_Scene::ReleaseDescription() {
    // Cameras first: they point at the transforms.
    mDebugCamera.reset();
    if (mTransforms) {
        for (auto& entry : *mTransforms)
            delete entry.second;
        mTransforms.reset();
    }
    if (mCurves) {
        for (auto& entry : *mCurves)
            delete entry.second;
        mCurves.reset();
    }
}

void fw_Scene::UpdateAnimation(float t) {
    if (!mDebugCamera || !mTransforms || !mCurves)
        return;  // nothing loaded yet
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
    const std::string what = "Scene description " + path;
    const std::string nothing = "; the scene has no transforms and cameras";
    fw_ReadReport report(what);
    std::string text, error;
    const RegularFileRead read = ReadRegularFile(path, kMaxDescriptionBytes, text, &error);
    if (read != RegularFileRead::Ok && read != RegularFileRead::NotFound) {
        report.Warn(what + " not read: " + error + nothing);
        return;
    }
    const fw_XmlShape shape = MeasureXml(text, kMaxDescriptionDepth, kMaxDescriptionNodes);
    if (shape.depth > kMaxDescriptionDepth || shape.nodes > kMaxDescriptionNodes) {
        report.Warn(what +
                    (shape.depth > kMaxDescriptionDepth
                         ? " nests elements deeper than " + std::to_string(kMaxDescriptionDepth) + " levels"
                         : " holds more than " + std::to_string(kMaxDescriptionNodes) + " nodes") +
                    nothing);
        return;
    }
    pt::ptree tree;
    try {
        std::istringstream in(std::move(text));
        pt::read_xml(in, tree, 0);
    } catch (const pt::xml_parser_error&) {
        tree.clear();
    }
    auto scene = tree.get_child_optional("scene");
    if (!scene) {
        report.Warn(what + " has no scene element" + nothing);
        return;
    }
    if (auto transforms = scene->get_child_optional("transforms"))
        LoadTransforms(*transforms, what, report);
    if (auto cameras = scene->get_child_optional("cameras"))
        LoadCameras(*cameras, what, report);
}

template <class Tree>
void fw_Scene::LoadTransforms(const Tree& transforms, const std::string& what, fw_ReadReport& report) {
    for (const auto& child : transforms) {
        if (child.first != "trans")
            continue;
        auto attributes = child.second.get_child_optional("<xmlattr>");
        if (!attributes)
            continue;
        auto name = attributes->template get_optional<std::string>("name");
        if (!name) {
            report.Warn(what + ": a trans element without a name is skipped");
            continue;
        }
        const char* missing = nullptr;
        for (int c = 0; c < fw_Transform::kChannelCount && !missing; ++c)
            if (!attributes->get_child_optional(fw_Transform::ChannelName(c)))
                missing = fw_Transform::ChannelName(c);
        if (missing) {
            report.Warn(what + ": trans " + fw_ReadReport::Quote(*name) + " has no " + missing +
                        " channel and is skipped");
            continue;
        }

        auto* transform = new fw_Transform();
        for (int c = 0; c < fw_Transform::kChannelCount; ++c) {
            const std::string channel = fw_Transform::ChannelName(c);
            auto* curve = new fw_Curve();
            ReadCurveKeys(attributes->get_child(channel).data(), *curve);
            curve->Evaluate(0.0f);
            transform->SetChannelCurve(c, curve);
            fw_Curve*& slot = (*mCurves)[*name + channel];
            delete slot;  // a later trans of the same name takes the entry over
            slot = curve;
        }
        transform->Update();
        fw_Transform*& slot = (*mTransforms)[*name];
        delete slot;
        slot = transform;
    }
}

template <class Tree>
void fw_Scene::LoadCameras(const Tree& cameras, const std::string& what, fw_ReadReport& report) {
    for (const auto& child : cameras) {
        if (!child.first.empty() && child.first[0] == '<')
            continue;  // attributes, comments
        auto attributes = child.second.get_child_optional("<xmlattr>");
        if (!attributes)
            continue;
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
            if (key == "nearz")
                nearZ = value;
            else if (key == "farz")
                farZ = value;
            else if (key == "nearfocus")
                nearFocus = value;
            else if (key == "farfocus")
                farFocus = value;
            else if (key == "vFOV")
                fov = value;
            else if (key == "aspect")
                aspect = value;
        }
        auto found = mTransforms->find(name);
        if (found == mTransforms->end()) {
            report.Warn(what + ": camera " + fw_ReadReport::Quote(name) + " names no transform and is skipped");
            continue;
        }
        auto* camera = new fw_Camera(found->second);
        camera->SetProjection(fov.value_or(camera->mFov), nearZ.value_or(camera->mNear), farZ.value_or(camera->mFar),
                              nearFocus.value_or(camera->mNearFocus), farFocus.value_or(camera->mFarFocus),
                              aspect.value_or(camera->mAspect));
        mDebugCamera->RegisterCamera(name, camera);
    }
}
