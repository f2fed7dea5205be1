// Fuzzes the scene-description reader (fw_Scene::LoadXml) and one animation update of
// what it read. The input is written as ./data/scene.xml in a private folder.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <boost/filesystem.hpp>

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
        fw_Log::SetAlertMode(fw_Log::kAlertsDropped); // warnings are counted, not shown
        fw_Framework::mRenderWidth = 1280;
        fw_Framework::mRenderHeight = 800;
        fw_Framework::mWindowHeight = 800;
        fw_Framework::mDemoTimer = &timer;
        fw_Framework::mSyncTimer = &syncTimer;
        fw_Framework::mSyncDevice = &device;
    }
    ~Setting() {
        fw_Framework::mDemoTimer = nullptr;
        fw_Framework::mSyncTimer = nullptr;
        fw_Framework::mSyncDevice = nullptr;
        boost::system::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
    fw_Timer timer;
    fw_SyncTimer syncTimer;
    sync::PlayerDevice device{"absent", nullptr};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting setting;
    FILE* f = std::fopen("data/scene.xml", "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    fw_Scene scene("scene.xml");
    scene.LoadXml();
    if (!scene.GetTransforms() || !scene.GetTracks() || !scene.GetDebugCamera()) {
        std::fprintf(stderr, "scene description reader: a load must leave transforms, curves and cameras\n");
        std::abort();
    }
    scene.UpdateAnimation(0.0f);
    scene.UpdateAnimation(2.5f);
    scene.UpdateAnimation(-1.0f);
    return 0;
}
