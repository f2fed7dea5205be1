#pragma once
// Where the Windows stand-in meets the graphics stand-in: the SDL window behind a
// window handle. Every window is created with SDL_WINDOW_OPENGL.

#include "platform/win32_types.h"

struct SDL_Window;

// The SDL window of a handle made by CreateWindowExA, or null for any other value.
SDL_Window* PlatformGetSDLWindow(HWND window);
