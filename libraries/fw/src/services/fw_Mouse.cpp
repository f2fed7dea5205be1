#include "fw_Mouse.h"

#include <cmath>
#include <cstdlib>

#include "platform/win32.h"

namespace {

fw_MouseState gMouseState;
fw_Mouse* gMouseObject = nullptr;

void ClearDerived(fw_MouseButton& button) {
    button.previousDown = false;
    button.held = false;
    button.released = false;
}

void UpdateButton(fw_MouseButton& button) {
    button.held = button.down && button.previousDown;
    button.released = button.previousDown && !button.down;
    button.previousDown = button.down;
    button.pressed = button.down && !button.held;
}

}  // namespace

fw_MouseState& GetMouseState() {
    return gMouseState;
}

fw_Mouse* GetMouseObject() {
    return gMouseObject;
}

fw_Mouse::fw_Mouse() {
    ResetMouseState(this);
}

fw_Mouse::~fw_Mouse() {
    if (gMouseObject == this)
        ClearMouseWindow();
}

void ResetMouseState(fw_Mouse* object) {
    ClearDerived(gMouseState.left);
    ClearDerived(gMouseState.middle);
    ClearDerived(gMouseState.right);
    gMouseState.previousX = 0;
    gMouseState.previousY = 0;
    gMouseState.deltaX = 0;
    gMouseState.deltaY = 0;
    if (gMouseObject != nullptr)
        ExitProcess(static_cast<UINT>(-1));
    gMouseObject = object;
}

void ClearMouseWindow() {
    gMouseObject = nullptr;
}

void UpdateMouseState() {
    UpdateButton(gMouseState.left);
    UpdateButton(gMouseState.middle);
    UpdateButton(gMouseState.right);
    gMouseState.deltaX = gMouseState.x - gMouseState.previousX;
    gMouseState.previousX = gMouseState.x;
    gMouseState.deltaY = gMouseState.y - gMouseState.previousY;
    gMouseState.previousY = gMouseState.y;
}

void SetMousePosition(int x, int y) {
    gMouseState.x = x;
    gMouseState.y = y;
}

void SetMouseButtons(bool left, bool middle, bool right) {
    gMouseState.left.down = left;
    gMouseState.middle.down = middle;
    gMouseState.right.down = right;
}

bool IsLeftButtonHeld() {
    return gMouseState.left.held;
}
bool IsMiddleButtonHeld() {
    return gMouseState.middle.held;
}
bool IsRightButtonHeld() {
    return gMouseState.right.held;
}
int32_t GetMouseDeltaX() {
    return gMouseState.deltaX;
}
int32_t GetMouseDeltaY() {
    return gMouseState.deltaY;
}

bool IsMouseNear(const float point[2], float radius) {
    const double dx = static_cast<double>(point[0]) - (gMouseState.previousX + 0.5);
    const double dy = static_cast<double>(point[1]) - (gMouseState.previousY + 0.5);
    return std::sqrt(dx * dx + dy * dy) <= radius;
}
