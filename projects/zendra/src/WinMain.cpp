// The program's entry: configures the framework for this production, registers its scene,
// loads a few images ahead and runs the show.
#include "Caleidoscope.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    fw_Log::SetAlertMode(fw_Log::kAlertsToMessageBoxes);
    fw_Log::SetAssertAlertMode(fw_Log::kAlertsToMessageBoxes);
    fw_Log::Write(fw_Log::kPlain, "Starting application.");

    fw_Framework* framework =
        new fw_Framework("./data/demo.mp3", "zendra", instance, showCommand, "quiet zendra", 1.0f, 1.6f);

    // Lives until the process ends.
    static Caleidoscope* const scene = new Caleidoscope("caleidoscope.xml");
    fw_Framework::AddScene(scene);

    static const char* const kPreloads[8] = {
        "./data/fucrr_2_0_0.dds", "./data/fucrr_2_0_1.dds", "./data/fucrr_2_1_0.dds", "./data/fucrr_2_1_1.dds",
        "./data/fucrr_2_2_0.dds", "./data/fucrr_2_2_1.dds", "./data/flipCard1.png",   "./data/flipCard2.png",
    };
    for (int i = 0; i < 8; ++i)
        framework->FindOrLoadTexture(kPreloads[i]);

    framework->Run();
    fw_Log::Write(fw_Log::kPlain, "Closing application.");
    delete framework;
    return 0;
}
