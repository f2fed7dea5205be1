// The program's entry: starts the framework with the show's settings, sets the show up
// (its scene, the images loaded ahead) and runs it.
#include "Show.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    fw_Log::SetAlertMode(fw_Log::kAlertsToMessageBoxes);
    fw_Log::SetAssertAlertMode(fw_Log::kAlertsToMessageBoxes);
    fw_Log::Write(fw_Log::kPlain, "Starting application.");

    const ShowSettings& show = kShowSettings;
#if defined(ZENDRA_WINDOW_WIDTH) && defined(ZENDRA_WINDOW_HEIGHT)
    // A program of another window size than the framework's default.
    fw_Framework::mWindowWidth = ZENDRA_WINDOW_WIDTH;
    fw_Framework::mWindowHeight = ZENDRA_WINDOW_HEIGHT;
#endif
    fw_Framework* framework = new fw_Framework(show.musicPath, show.applicationName, instance, showCommand, show.title,
                                               show.scale, show.aspect);
    SetUpShow(*framework);

    framework->Run();
    fw_Log::Write(fw_Log::kPlain, "Closing application.");
    fw_Framework::DeleteScenes();
    delete framework;
    return 0;
}
