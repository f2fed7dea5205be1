// Window handles of this layer: SDL windows, GTK dialogs with their controls, GTK
// message boxes. An HWND is the address of its PlatformWindow; every use looks it up in
// the registry first, so a stale handle is refused rather than followed.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <mutex>
#include <string>

struct SDL_Window;

enum class PlatformWindowKind { Sdl, Dialog, Control, MessageBox };

struct PlatformDialogState;

struct PlatformWindow {
    PlatformWindowKind kind = PlatformWindowKind::Sdl;
    std::string className;  // guarded by PlatformWindowsLock()
    std::string title;      // guarded by PlatformWindowsLock()
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    DWORD threadId = 0;  // the thread whose queue receives its posted messages
    WNDPROC procedure = nullptr;
    LONG_PTR userData = 0;
    UINT classStyle = 0;

    // SDL windows
    SDL_Window* sdl = nullptr;
    uint32_t sdlId = 0;
    bool needsPaint = false;

    // dialogs and controls
    int controlId = 0;
    void* widget = nullptr;  // GtkWidget*, touched only on the GTK thread
    std::shared_ptr<PlatformDialogState> dialog;

    HWND Handle() { return reinterpret_cast<HWND>(this); }
};

std::recursive_mutex& PlatformWindowsLock();
// Registers a window; its handle stays valid until PlatformRemoveWindow.
HWND PlatformAddWindow(std::shared_ptr<PlatformWindow> window);
void PlatformRemoveWindow(HWND window);
std::shared_ptr<PlatformWindow> PlatformFindWindow(HWND window);

// The thread's queue (windows.cpp).
void PlatformQueueMessage(DWORD threadId, const MSG& message);

// The dialog and message-box host (gtk_host.cpp).
LRESULT PlatformDialogSendMessage(const std::shared_ptr<PlatformWindow>& window, UINT message, WPARAM wParam,
                                  LPARAM lParam);
BOOL PlatformDialogPostMessage(const std::shared_ptr<PlatformWindow>& window, UINT message, WPARAM wParam,
                               LPARAM lParam);
void PlatformDialogSetTitle(const std::shared_ptr<PlatformWindow>& window);
// The dialog procedure's side of a message taken from the queue (DefDlgProc).
LRESULT PlatformDialogDispatch(const std::shared_ptr<PlatformWindow>& window, const MSG& message);
