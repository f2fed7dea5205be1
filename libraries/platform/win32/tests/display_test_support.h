// Helpers of the tests that open windows on an X display.
#pragma once

#include "platform/win32.h"

#include <cstdlib>
#include <string>

inline bool HaveDisplay() {
    return std::getenv("DISPLAY") != nullptr;
}

inline bool HaveXdotool() {
    return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

struct Typing {
    std::string title;
    std::string command;
};

// On a thread of its own: waits for the visible window titled exactly `title`, gives it
// the keyboard focus and types `keys` (xdotool key names) as a person would. A window
// still open 10 seconds later is closed, so a lost key fails the test instead of hanging
// it. Tests that type run alone (RUN_SERIAL), so nothing else takes the focus.
inline HANDLE StartTyping(const std::string& title, const std::string& keys) {
    auto* typing = new Typing{title, "xdotool search --sync --onlyvisible --name '^" + title +
                                         "$' windowfocus >/dev/null 2>&1 && sleep 0.2 && xdotool key --delay 50 " +
                                         keys + " >/dev/null 2>&1"};
    return CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            Typing* t = static_cast<Typing*>(param);
            std::system(t->command.c_str());
            DWORD start = GetTickCount();
            HWND window = nullptr;
            while ((window = FindWindowA(nullptr, t->title.c_str())) && GetTickCount() - start < 10000)
                Sleep(20);
            DWORD result = 0;
            if (window) {
                PostMessageA(window, WM_CLOSE, 0, 0);
                result = 1;
            }
            delete t;
            return result;
        },
        typing, 0, nullptr);
}

// 0 when the window went away after the keys, without help.
inline DWORD FinishTyping(HANDLE thread) {
    DWORD code = 1;
    WaitForSingleObject(thread, 30000);
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}
