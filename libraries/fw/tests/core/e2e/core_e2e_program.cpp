// The framework's end-to-end program: the real start-up, dialog, window, device, music and
// run loop with one small scene that fills the picture with a colour that changes over time.
#include <cmath>

#include "fw_Framework.h"
#include "fw_Scene.h"
#include "fw_Texture.h"
#include "platform/d3d10.h"
#include "platform/win32.h"

namespace {

class ColourScene : public fw_Scene {
public:
    ColourScene() : fw_Scene("e2e.xml") {}
    void Render() override {
        fw_Texture* target = gFramework ? gFramework->FindTexture("backbuffer") : nullptr;
        if (!target)
            return;
        const float t = fw_Framework::GetSceneTime();
        target->ClearColor(0.5f + 0.4f * std::sin(t * 3.0f), 0.3f, 0.6f + 0.3f * std::cos(t * 2.0f), 1.0f);
    }
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    fw_Framework* framework =
        new fw_Framework("./data/demo.mp3", "e2e", instance, showCommand, "framework e2e", 1.0f, 1.6f);
    ColourScene scene;
    fw_Framework::AddScene(&scene);
    const int code = framework->Run();
    delete framework;
    return code;
}
