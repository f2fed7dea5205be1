// Fuzzes the scene-description reader (fw_Scene::LoadXml) and one animation update of
// what it read. The input is written as ./data/scene.xml in a private folder. Where the
// depth scan lets a description through, the tree that the XML parser makes of it must be
// no deeper than the scan said.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <boost/filesystem.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Scene.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"
#include "sync/device.h"

namespace fs = boost::filesystem;

namespace {

struct Setting {
    Setting() {
        dir = fs::temp_directory_path() / fs::unique_path("zendra-scene-fuzz-%%%%%%");
        fs::create_directories(dir / "data");
        fs::current_path(dir);
        fw_Log::SetAlertMode(fw_Log::kAlertsDropped);  // warnings are counted, not shown
        fw_Framework::ResetState();
        fw_Framework::mDemoTimer = &timer;
        fw_Framework::mSyncTimer = &syncTimer;
        fw_Framework::mSyncDevice = &device;
    }
    ~Setting() {
        fw_Framework::ResetState();
        boost::system::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
    fw_Timer timer;
    fw_SyncTimer syncTimer;
    sync::PlayerDevice device{"absent", nullptr};
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "scene description reader: %s\n", what);
        std::abort();
    }
}

// Levels below the root, walked without recursion.
int TreeDepth(const boost::property_tree::ptree& root) {
    int deepest = 0;
    std::vector<std::pair<const boost::property_tree::ptree*, int>> open{{&root, 0}};
    while (!open.empty()) {
        auto [tree, depth] = open.back();
        open.pop_back();
        deepest = std::max(deepest, depth);
        for (const auto& child : *tree)
            open.emplace_back(&child.second, depth + 1);
    }
    return deepest;
}

// An element one level below the deepest open one, its attribute list and an attribute
// are three levels more than the scan's element depth.
void CheckScan(const std::string& text) {
    const fw_XmlShape shape = MeasureXml(text, fw_Scene::kMaxDescriptionDepth, fw_Scene::kMaxDescriptionNodes);
    if (shape.depth > fw_Scene::kMaxDescriptionDepth || shape.nodes > fw_Scene::kMaxDescriptionNodes)
        return;
    boost::property_tree::ptree tree;
    try {
        std::istringstream in(text);
        boost::property_tree::read_xml(in, tree, 0);
    } catch (const boost::property_tree::xml_parser_error&) {
        return;
    }
    Check(TreeDepth(tree) <= shape.depth + 3, "the depth scan counted fewer levels than the parser made");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting setting;
    FILE* f = std::fopen("data/scene.xml", "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    fw_Scene scene("scene.xml");
    scene.LoadXml();
    Check(scene.GetTransforms() && scene.GetTracks() && scene.GetDebugCamera(),
          "a load must leave transforms, curves and cameras");
    scene.UpdateAnimation(0.0f);
    scene.UpdateAnimation(2.5f);
    scene.UpdateAnimation(-1.0f);
    CheckScan(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
