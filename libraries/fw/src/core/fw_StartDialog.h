#pragma once
// The start dialog (resource 101): Fullscreen, Loop and Sound, then Run or Exit.

#include "platform/win32.h"

enum : int {
    IDC_STEREO = 1000,
    IDC_FULLSCREEN = 1001,
    IDC_LOOP = 1003,
    IDC_SOUND = 1004,
};

// Copies the choices into fw_Framework's options on Run (ends the dialog with 1); Exit,
// Escape and the close box end it with 2 and post WM_QUIT.
INT_PTR CALLBACK StartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
