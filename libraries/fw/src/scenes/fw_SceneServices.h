#pragma once
// What the scene side reads from the rest of the framework: the demo clock, the sync
// timer and device, the mouse record, the modifier keys and the log. One place, so the
// scene code stays independent of how those services are kept.

#include <string>

struct fw_SceneMouse {
    bool leftHeld = false;
    bool middleHeld = false;
    bool rightHeld = false;
    int dx = 0;
    int dy = 0;
};

namespace fw_SceneServices {

// Demo-clock seconds; 0 without a demo clock.
double DemoSeconds();
// Whether the demo clock exists and is not paused.
bool DemoClockRunning();
// Scene-local time: (float) demo seconds minus the current scene's start time.
float SceneTime();
// The sync timer's current row; 0 without a sync timer.
float SyncRow();
// Held flags and movement of the mouse record, as of the last per-frame update.
fw_SceneMouse Mouse();
bool ControlHeld();
bool ShiftHeld();
// The output height: the display height when fullscreen, else the window height.
int OutputHeight();
// Render width over render height.
float RenderAspect();
void Warning(const std::string& text);

}  // namespace fw_SceneServices
