// A WinMain program: exits with 0 when it received the command line "alpha beta" and its
// own module handle.
#include "platform/win32.h"

#include <cstring>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    bool ok = instance == GetModuleHandleA(nullptr) && previous == nullptr &&
              std::strcmp(commandLine, "alpha beta") == 0 && showCommand == SW_SHOWDEFAULT;
    return ok ? 0 : 1;
}
