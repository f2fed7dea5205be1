#pragma once
// The process-wide mouse record: raw state stored by the window procedure, and the
// per-frame state derived from it once a frame.

#include <cstdint>

struct fw_MouseButton {
    bool down = false;          // stored by the window procedure
    bool previousDown = false;  // down as of the previous update
    bool held = false;          // down in this update and the previous one
    bool pressed = false;       // down now, not at the previous update
    bool released = false;      // down at the previous update, not now
};

struct fw_MouseState {
    fw_MouseButton left;
    fw_MouseButton middle;
    fw_MouseButton right;
    int32_t x = 0;  // client coordinates, stored by the window procedure
    int32_t y = 0;
    int32_t previousX = 0;  // as of the previous update
    int32_t previousY = 0;
    int32_t deltaX = 0;
    int32_t deltaY = 0;
};

// The one record (the window procedure writes down, x and y directly).
fw_MouseState& GetMouseState();

// The mouse object: its existence tells the window procedure to feed the record.
// Only one may exist; a second one ends the process with exit code -1.
class fw_Mouse {
public:
    fw_Mouse();
    ~fw_Mouse();
    fw_Mouse(const fw_Mouse&) = delete;
    fw_Mouse& operator=(const fw_Mouse&) = delete;
};

// The registered mouse object, or null.
fw_Mouse* GetMouseObject();
// Clears the derived state and registers the object (exit code -1 if one exists).
void ResetMouseState(fw_Mouse* object);
// Unregisters the mouse object.
void ClearMouseWindow();
// Once per frame: held, pressed, released and the deltas since the previous update.
void UpdateMouseState();
void SetMousePosition(int x, int y);
void SetMouseButtons(bool left, bool middle, bool right);
bool IsLeftButtonHeld();
bool IsMiddleButtonHeld();
bool IsRightButtonHeld();
int32_t GetMouseDeltaX();
int32_t GetMouseDeltaY();
// Whether the cursor's pixel centre as of the last update lies within radius of point.
bool IsMouseNear(const float point[2], float radius);
