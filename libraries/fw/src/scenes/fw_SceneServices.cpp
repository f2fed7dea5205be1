#include "fw_SceneServices.h"

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Mouse.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"
#include "platform/win32.h"
#include "sync/device.h"
#include "sync/track.h"

namespace fw_SceneServices {

double DemoSeconds() {
    return fw_Framework::mDemoTimer ? fw_Framework::mDemoTimer->GetSeconds() : 0.0;
}

bool DemoClockRunning() {
    return fw_Framework::mDemoTimer && !fw_Framework::mDemoTimer->IsPaused();
}

float SceneTime() {
    return static_cast<float>(double(static_cast<float>(DemoSeconds())) - fw_Framework::mSceneStartTime);
}

float SyncRow() {
    sync::Timer* timer = fw_Framework::mSyncTimer;
    return timer ? timer->GetRow() : 0.0f;
}

fw_SceneMouse Mouse() {
    const fw_MouseState& m = GetMouseState();
    fw_SceneMouse out;
    out.leftHeld = m.left.held;
    out.middleHeld = m.middle.held;
    out.rightHeld = m.right.held;
    out.dx = m.deltaX;
    out.dy = m.deltaY;
    return out;
}

bool ControlHeld() {
    return GetKeyState(VK_CONTROL) < 0;
}

bool ShiftHeld() {
    return GetKeyState(VK_SHIFT) < 0;
}

int OutputHeight() {
    return fw_Framework::mFullscreen ? fw_Framework::mDisplayHeight : fw_Framework::mWindowHeight;
}

float RenderAspect() {
    return static_cast<float>(fw_Framework::mRenderWidth) / static_cast<float>(fw_Framework::mRenderHeight);
}

void Warning(const std::string& text) {
    fw_Log::Write(fw_Log::kWarning, "%s", text.c_str());
}

}  // namespace fw_SceneServices
