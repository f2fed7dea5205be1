// user32 over SDL2: window classes, windows, the per-thread message queue and the
// translation of SDL events into WM_* messages.
#include "platform/win32.h"
#include "platform/win32_sdl.h"
#include "window_registry.h"

#include <SDL2/SDL.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <strings.h>
#include <vector>

namespace {

// ---- window registry ----------------------------------------------------------------------

std::map<HWND, std::shared_ptr<PlatformWindow>>& Windows() {
    static auto* windows = new std::map<HWND, std::shared_ptr<PlatformWindow>>;
    return *windows;
}

// ---- window classes -------------------------------------------------------------------------

struct WindowClass {
    WNDCLASSEXA info;
    std::string name;
    ATOM atom;
};

std::mutex classesLock;
std::vector<WindowClass>& Classes() {
    static auto* classes = new std::vector<WindowClass>;
    return *classes;
}

bool FindClass(LPCSTR name, WindowClass& out) {
    std::lock_guard<std::mutex> guard(classesLock);
    for (const WindowClass& c : Classes()) {
        bool match = IS_INTRESOURCE(name) ? c.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                                          : ::strcasecmp(c.name.c_str(), name) == 0;
        if (match) {
            out = c;
            return true;
        }
    }
    return false;
}

// ---- message queues -------------------------------------------------------------------------

struct ThreadQueue {
    std::deque<MSG> messages;
    bool quit = false;
    int quitCode = 0;
};

std::mutex queuesLock;
std::condition_variable queuesChanged;
std::map<DWORD, ThreadQueue>& Queues() {
    static auto* queues = new std::map<DWORD, ThreadQueue>;
    return *queues;
}

DWORD ThisThread() {
    return static_cast<DWORD>(::syscall(SYS_gettid));
}

POINT CursorNow() {
    POINT p{0, 0};
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        p = POINT{x, y};
    }
    return p;
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    m.pt = CursorNow();
    return m;
}

// ---- key state --------------------------------------------------------------------------------

// As of the last message taken from the queue, per thread (high bit down, low bit toggled).
thread_local std::array<BYTE, 256> keyState{};
// As the events arrive.
std::array<std::atomic<bool>, 256> asyncDown{};

void SetKey(std::array<BYTE, 256>& state, int vk, bool down) {
    if (vk <= 0 || vk > 255)
        return;
    if (down && !(state[vk] & 0x80))
        state[vk] ^= 0x01;
    state[vk] = static_cast<BYTE>((state[vk] & 0x01) | (down ? 0x80 : 0));
}

void NoteKeyMessage(const MSG& m) {
    switch (m.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            bool down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
            int vk = static_cast<int>(m.wParam);
            SetKey(keyState, vk, down);
            // The side-specific code travels in the high byte of lParam's reserved bits.
            int side = static_cast<int>((static_cast<ULONG_PTR>(m.lParam) >> 32) & 0xFF);
            if (side)
                SetKey(keyState, side, down);
            break;
        }
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            SetKey(keyState, VK_LBUTTON, (m.wParam & MK_LBUTTON) != 0);
            SetKey(keyState, VK_RBUTTON, (m.wParam & MK_RBUTTON) != 0);
            SetKey(keyState, VK_MBUTTON, (m.wParam & MK_MBUTTON) != 0);
            break;
        default:
            break;
    }
}

int VirtualKey(const SDL_Keysym& key, int& side) {
    side = 0;
    SDL_Keycode k = key.sym;
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return VK_F1 + (k - SDLK_F1);
    switch (k) {
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_RETURN:
            return VK_RETURN;
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_LSHIFT:
            side = VK_LSHIFT;
            return VK_SHIFT;
        case SDLK_RSHIFT:
            side = VK_RSHIFT;
            return VK_SHIFT;
        case SDLK_LCTRL:
            side = VK_LCONTROL;
            return VK_CONTROL;
        case SDLK_RCTRL:
            side = VK_RCONTROL;
            return VK_CONTROL;
        case SDLK_LALT:
            side = VK_LMENU;
            return VK_MENU;
        case SDLK_RALT:
            side = VK_RMENU;
            return VK_MENU;
        case SDLK_LGUI:
            return VK_LWIN;
        case SDLK_RGUI:
            return VK_RWIN;
        case SDLK_APPLICATION:
            return VK_APPS;
        case SDLK_PAUSE:
            return VK_PAUSE;
        case SDLK_CAPSLOCK:
            return VK_CAPITAL;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_END:
            return VK_END;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_PRINTSCREEN:
            return VK_SNAPSHOT;
        case SDLK_INSERT:
            return VK_INSERT;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_NUMLOCKCLEAR:
            return VK_NUMLOCK;
        case SDLK_SCROLLLOCK:
            return VK_SCROLL;
        case SDLK_KP_0:
            return VK_NUMPAD0;
        case SDLK_KP_1:
            return VK_NUMPAD1;
        case SDLK_KP_2:
            return VK_NUMPAD2;
        case SDLK_KP_3:
            return VK_NUMPAD3;
        case SDLK_KP_4:
            return VK_NUMPAD4;
        case SDLK_KP_5:
            return VK_NUMPAD5;
        case SDLK_KP_6:
            return VK_NUMPAD6;
        case SDLK_KP_7:
            return VK_NUMPAD7;
        case SDLK_KP_8:
            return VK_NUMPAD8;
        case SDLK_KP_9:
            return VK_NUMPAD9;
        case SDLK_KP_MULTIPLY:
            return VK_MULTIPLY;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_KP_PERIOD:
            return VK_DECIMAL;
        case SDLK_KP_DIVIDE:
            return VK_DIVIDE;
        case SDLK_SEMICOLON:
            return VK_OEM_1;
        case SDLK_EQUALS:
            return VK_OEM_PLUS;
        case SDLK_COMMA:
            return VK_OEM_COMMA;
        case SDLK_MINUS:
            return VK_OEM_MINUS;
        case SDLK_PERIOD:
            return VK_OEM_PERIOD;
        case SDLK_SLASH:
            return VK_OEM_2;
        case SDLK_BACKQUOTE:
            return VK_OEM_3;
        case SDLK_LEFTBRACKET:
            return VK_OEM_4;
        case SDLK_BACKSLASH:
            return VK_OEM_5;
        case SDLK_RIGHTBRACKET:
            return VK_OEM_6;
        case SDLK_QUOTE:
            return VK_OEM_7;
        default:
            return 0;
    }
}

// ---- SDL state ----------------------------------------------------------------------------------

std::mutex videoLock;
DWORD videoThread = 0;
bool videoReady = false;
Uint32 mouseButtons = 0;  // as the translated events left them
HWND focusWindow = nullptr;
HWND captureWindow = nullptr;
int cursorCounter = 0;

bool EnsureVideo() {
    std::lock_guard<std::mutex> guard(videoLock);
    if (videoReady)
        return true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    videoReady = true;
    videoThread = ThisThread();
    mouseButtons = SDL_GetMouseState(nullptr, nullptr);
    return true;
}

std::shared_ptr<PlatformWindow> FindSdlWindow(Uint32 id) {
    std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
    for (auto& [handle, window] : Windows())
        if (window->kind == PlatformWindowKind::Sdl && window->sdlId == id)
            return window;
    return nullptr;
}

std::shared_ptr<PlatformWindow> FindSdl(HWND handle) {
    auto window = PlatformFindWindow(handle);
    if (!window || window->kind != PlatformWindowKind::Sdl) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return window;
}

WPARAM ModifierFlags(Uint32 buttons) {
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK)
        flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        flags |= MK_MBUTTON;
    SDL_Keymod mods = SDL_GetModState();
    if (mods & KMOD_SHIFT)
        flags |= MK_SHIFT;
    if (mods & KMOD_CTRL)
        flags |= MK_CONTROL;
    return flags;
}

LPARAM PointParam(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

LRESULT Send(const std::shared_ptr<PlatformWindow>& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window || !window->procedure)
        return 0;
    return window->procedure(window->Handle(), message, wParam, lParam);
}

void SendSize(const std::shared_ptr<PlatformWindow>& window, WPARAM kind) {
    int w = 0, h = 0;
    SDL_GetWindowSize(window->sdl, &w, &h);
    Send(window, WM_SIZE, kind, MAKELPARAM(w, h));
}

void Queue(const std::shared_ptr<PlatformWindow>& window, UINT message, WPARAM wParam, LPARAM lParam) {
    PlatformQueueMessage(window->threadId, MakeMessage(window->Handle(), message, wParam, lParam));
}

void TranslateEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT: {
            auto window = FindSdlWindow(event.window.windowID);
            if (!window)
                return;
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    Send(window, WM_CLOSE, 0, 0);
                    break;
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    SendSize(window, SIZE_RESTORED);
                    break;
                case SDL_WINDOWEVENT_MINIMIZED:
                    Send(window, WM_SIZE, SIZE_MINIMIZED, 0);
                    break;
                case SDL_WINDOWEVENT_MAXIMIZED:
                    SendSize(window, SIZE_MAXIMIZED);
                    break;
                case SDL_WINDOWEVENT_RESTORED:
                    SendSize(window, SIZE_RESTORED);
                    break;
                case SDL_WINDOWEVENT_MOVED:
                    Send(window, WM_MOVE, 0, PointParam(event.window.data1, event.window.data2));
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                    window->needsPaint = true;
                    break;
                case SDL_WINDOWEVENT_FOCUS_GAINED: {
                    HWND previous = focusWindow;
                    focusWindow = window->Handle();
                    Send(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
                    Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
                    break;
                }
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    if (focusWindow == window->Handle())
                        focusWindow = nullptr;
                    Send(window, WM_KILLFOCUS, 0, 0);
                    Send(window, WM_ACTIVATE, WA_INACTIVE, 0);
                    break;
                default:
                    break;
            }
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            auto window = FindSdlWindow(event.key.windowID);
            if (!window)
                return;
            int side = 0;
            int vk = VirtualKey(event.key.keysym, side);
            if (vk == 0)
                return;
            bool down = event.type == SDL_KEYDOWN;
            asyncDown[vk] = down;
            if (side)
                asyncDown[side] = down;
            bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
            bool system = alt || vk == VK_F10 || vk == VK_MENU;
            UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
            // Repeat count 1, scan code, context (Alt), previous state, transition; the
            // side-specific key rides above the 32 bits Windows defines.
            uint64_t bits = 1u | (static_cast<uint64_t>(event.key.keysym.scancode & 0xFF) << 16);
            if (alt)
                bits |= 1u << 29;
            if (!down || event.key.repeat)
                bits |= 1u << 30;
            if (!down)
                bits |= 1u << 31;
            bits |= static_cast<uint64_t>(side) << 32;
            Queue(window, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(bits));
            break;
        }
        case SDL_MOUSEMOTION: {
            auto window = FindSdlWindow(event.motion.windowID);
            if (!window || event.motion.which == SDL_TOUCH_MOUSEID)
                return;
            Queue(window, WM_MOUSEMOVE, ModifierFlags(mouseButtons), PointParam(event.motion.x, event.motion.y));
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            auto window = FindSdlWindow(event.button.windowID);
            if (!window || event.button.which == SDL_TOUCH_MOUSEID)
                return;
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            Uint32 mask = SDL_BUTTON(event.button.button);
            mouseButtons = down ? (mouseButtons | mask) : (mouseButtons & ~mask);
            UINT base;
            switch (event.button.button) {
                case SDL_BUTTON_LEFT:
                    base = WM_LBUTTONDOWN;
                    break;
                case SDL_BUTTON_RIGHT:
                    base = WM_RBUTTONDOWN;
                    break;
                case SDL_BUTTON_MIDDLE:
                    base = WM_MBUTTONDOWN;
                    break;
                default:
                    return;
            }
            UINT message = down ? base : base + 1;
            if (down && event.button.clicks == 2 && (window->classStyle & CS_DBLCLKS))
                message = base + 2;
            Queue(window, message, ModifierFlags(mouseButtons), PointParam(event.button.x, event.button.y));
            break;
        }
        case SDL_MOUSEWHEEL: {
            auto window = FindSdlWindow(event.wheel.windowID);
            if (!window || event.wheel.which == SDL_TOUCH_MOUSEID || event.wheel.y == 0)
                return;
            int delta = event.wheel.y * WHEEL_DELTA;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
                delta = -delta;
            POINT p = CursorNow();
            Queue(window, WM_MOUSEWHEEL, MAKEWPARAM(ModifierFlags(mouseButtons), delta), PointParam(p.x, p.y));
            break;
        }
        default:
            break;
    }
}

void PumpEvents() {
    if (!videoReady || ThisThread() != videoThread)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        TranslateEvent(event);
}

bool Matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
    if (window == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) {
        if (m.hwnd)
            return false;
    } else if (window && m.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0)
        return true;
    return m.message >= filterMin && m.message <= filterMax;
}

// Takes (or peeks) the next message for this thread: posted and input messages, then
// WM_QUIT, then WM_PAINT for a window that needs painting.
bool NextMessage(LPMSG out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    PumpEvents();
    DWORD self = ThisThread();
    {
        std::lock_guard<std::mutex> guard(queuesLock);
        ThreadQueue& queue = Queues()[self];
        for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
            if (!Matches(*it, window, filterMin, filterMax))
                continue;
            *out = *it;
            if (remove)
                queue.messages.erase(it);
            if (remove)
                NoteKeyMessage(*out);
            return true;
        }
        bool quitPasses = (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
        if (queue.quit && quitPasses) {
            *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
            if (remove)
                queue.quit = false;
            return true;
        }
    }
    bool paintPasses = (filterMin == 0 && filterMax == 0) || (WM_PAINT >= filterMin && WM_PAINT <= filterMax);
    if (paintPasses) {
        std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
        for (auto& [handle, w] : Windows()) {
            if (w->kind == PlatformWindowKind::Sdl && w->needsPaint && w->threadId == self &&
                (!window || window == handle)) {
                *out = MakeMessage(handle, WM_PAINT, 0, 0);
                return true;
            }
        }
    }
    return false;
}

int FrameLeft(DWORD style) {
    return (style & WS_THICKFRAME) ? 4 : (style & (WS_BORDER | WS_DLGFRAME)) ? 3 : 0;
}
int CaptionHeight(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION ? 23 : 0;
}

struct DeviceContext {
    HWND window;
};

}  // namespace

// ---- registry ---------------------------------------------------------------------------------

std::recursive_mutex& PlatformWindowsLock() {
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

HWND PlatformAddWindow(std::shared_ptr<PlatformWindow> window) {
    HWND handle = window->Handle();
    std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
    Windows()[handle] = std::move(window);
    return handle;
}

void PlatformRemoveWindow(HWND window) {
    std::shared_ptr<PlatformWindow> removed;
    std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
    auto found = Windows().find(window);
    if (found != Windows().end()) {
        removed = found->second;
        Windows().erase(found);
    }
}

std::shared_ptr<PlatformWindow> PlatformFindWindow(HWND window) {
    std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
    auto found = Windows().find(window);
    return found == Windows().end() ? nullptr : found->second;
}

void PlatformQueueMessage(DWORD threadId, const MSG& message) {
    {
        std::lock_guard<std::mutex> guard(queuesLock);
        Queues()[threadId].messages.push_back(message);
    }
    queuesChanged.notify_all();
}

SDL_Window* PlatformGetSDLWindow(HWND window) {
    auto found = PlatformFindWindow(window);
    return found && found->kind == PlatformWindowKind::Sdl ? found->sdl : nullptr;
}

// ---- classes ----------------------------------------------------------------------------------

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpszClassName ||
        !windowClass->lpfnWndProc || IS_INTRESOURCE(windowClass->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WindowClass existing;
    if (FindClass(windowClass->lpszClassName, existing)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    std::lock_guard<std::mutex> guard(classesLock);
    static ATOM nextAtom = 0xC000;
    WindowClass entry{*windowClass, windowClass->lpszClassName, nextAtom++};
    entry.info.lpszClassName = nullptr;
    entry.info.lpszMenuName = nullptr;
    Classes().push_back(entry);
    return entry.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    std::lock_guard<std::mutex> guard(classesLock);
    auto& classes = Classes();
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        bool match = IS_INTRESOURCE(className) ? it->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className))
                                               : ::strcasecmp(it->name.c_str(), className) == 0;
        if (match) {
            classes.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
}

// ---- windows ----------------------------------------------------------------------------------

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int frame = FrameLeft(style);
    rect->left -= frame;
    rect->right += frame;
    rect->top -= frame + CaptionHeight(style) + (menu ? 20 : 0);
    rect->bottom += frame;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    WindowClass windowClass;
    if (!className || !FindClass(className, windowClass)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (style & WS_CHILD) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!EnsureVideo())
        return nullptr;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, menu != nullptr, exStyle);
    int extraW = frame.right - frame.left, extraH = frame.bottom - frame.top;
    int clientW = width == CW_USEDEFAULT ? 800 : std::max(1, width - extraW);
    int clientH = width == CW_USEDEFAULT ? 600 : std::max(1, height - extraH);
    int sdlX = x == CW_USEDEFAULT ? SDL_WINDOWPOS_UNDEFINED : x - frame.left;
    int sdlY = x == CW_USEDEFAULT ? SDL_WINDOWPOS_UNDEFINED : y - frame.top;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME)
        flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_CAPTION) != WS_CAPTION)
        flags |= SDL_WINDOW_BORDERLESS;
    SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", sdlX, sdlY, clientW, clientH, flags);
    if (!sdl) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto window = std::make_shared<PlatformWindow>();
    window->kind = PlatformWindowKind::Sdl;
    window->className = windowClass.name;
    window->title = windowName ? windowName : "";
    window->style = style;
    window->exStyle = exStyle;
    window->parent = parent;
    window->threadId = ThisThread();
    window->procedure = windowClass.info.lpfnWndProc;
    window->classStyle = windowClass.info.style;
    window->sdl = sdl;
    window->sdlId = SDL_GetWindowID(sdl);
    HWND handle = PlatformAddWindow(window);

    CREATESTRUCTA create{param,
                         instance,
                         menu,
                         parent,
                         clientH + extraH,
                         clientW + extraW,
                         y,
                         x,
                         static_cast<LONG>(style),
                         windowName,
                         windowClass.name.c_str(),
                         exStyle};
    if (!Send(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) ||
        Send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SendSize(window, SIZE_RESTORED);
    int px = 0, py = 0;
    SDL_GetWindowPosition(sdl, &px, &py);
    Send(window, WM_MOVE, 0, PointParam(px, py));
    if (style & WS_VISIBLE)
        ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND handle) {
    auto window = PlatformFindWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->kind != PlatformWindowKind::Sdl)
        return PlatformDialogSendMessage(window, WM_CLOSE, 0, 0) ? TRUE : FALSE;
    Send(window, WM_DESTROY, 0, 0);
    Send(window, WM_NCDESTROY, 0, 0);
    if (captureWindow == handle) {
        captureWindow = nullptr;
        SDL_CaptureMouse(SDL_FALSE);
    }
    if (focusWindow == handle)
        focusWindow = nullptr;
    PlatformRemoveWindow(handle);
    SDL_DestroyWindow(window->sdl);
    {
        std::lock_guard<std::mutex> guard(queuesLock);
        auto& messages = Queues()[window->threadId].messages;
        messages.erase(std::remove_if(messages.begin(), messages.end(), [&](const MSG& m) { return m.hwnd == handle; }),
                       messages.end());
    }
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return PlatformFindWindow(window) != nullptr;
}

BOOL IsWindowVisible(HWND handle) {
    auto window = PlatformFindWindow(handle);
    if (!window)
        return FALSE;
    if (window->kind != PlatformWindowKind::Sdl)
        return TRUE;
    return (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
}

BOOL ShowWindow(HWND handle, int command) {
    auto window = FindSdl(handle);
    if (!window)
        return FALSE;
    BOOL wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    switch (command) {
        case SW_HIDE:
            SDL_HideWindow(window->sdl);
            if (wasVisible)
                Send(window, WM_SHOWWINDOW, FALSE, 0);
            return wasVisible;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE:
            SDL_ShowWindow(window->sdl);
            SDL_MinimizeWindow(window->sdl);
            break;
        case SW_SHOWMAXIMIZED:
            SDL_ShowWindow(window->sdl);
            SDL_MaximizeWindow(window->sdl);
            break;
        case SW_RESTORE:
            SDL_ShowWindow(window->sdl);
            SDL_RestoreWindow(window->sdl);
            break;
        default:
            SDL_ShowWindow(window->sdl);
            break;
    }
    window->style |= WS_VISIBLE;
    window->needsPaint = true;
    if (!wasVisible)
        Send(window, WM_SHOWWINDOW, TRUE, 0);
    return wasVisible;
}

BOOL UpdateWindow(HWND handle) {
    auto window = FindSdl(handle);
    if (!window)
        return FALSE;
    if (window->needsPaint)
        Send(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL InvalidateRect(HWND handle, const RECT*, BOOL) {
    auto window = FindSdl(handle);
    if (!window)
        return FALSE;
    window->needsPaint = true;
    return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT*) {
    auto window = FindSdl(handle);
    if (!window)
        return FALSE;
    window->needsPaint = false;
    return TRUE;
}

HWND SetFocus(HWND handle) {
    HWND previous = focusWindow;
    auto window = FindSdl(handle);
    if (!window)
        return nullptr;
    SDL_RaiseWindow(window->sdl);
    SDL_SetWindowInputFocus(window->sdl);
    return previous;
}

HWND GetFocus() {
    return focusWindow;
}

BOOL SetForegroundWindow(HWND handle) {
    auto window = FindSdl(handle);
    if (!window)
        return FALSE;
    SDL_RaiseWindow(window->sdl);
    return TRUE;
}

int ShowCursor(BOOL show) {
    cursorCounter += show ? 1 : -1;
    if (EnsureVideo())
        SDL_ShowCursor(cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCounter;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(handle);
            return 0;
        case WM_PAINT:
            ValidateRect(handle, nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETTEXT:
            return SetWindowTextA(handle, reinterpret_cast<LPCSTR>(lParam));
        case WM_GETTEXT:
            return GetWindowTextA(handle, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == 0xF060) {  // SC_CLOSE
                auto window = FindSdl(handle);
                Send(window, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (lParam & (1 << 29)))
                return DefWindowProcA(handle, WM_SYSCOMMAND, 0xF060, 0);
            return 0;
        default:
            return 0;
    }
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
    auto window = FindSdl(handle);
    if (!window || !rect)
        return FALSE;
    int w = 0, h = 0;
    SDL_GetWindowSize(window->sdl, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
    auto window = FindSdl(handle);
    if (!window || !rect)
        return FALSE;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_GetWindowSize(window->sdl, &w, &h);
    RECT outer{x, y, x + w, y + h};
    AdjustWindowRectEx(&outer, window->style, FALSE, window->exStyle);
    *rect = outer;
    return TRUE;
}

BOOL ClientToScreen(HWND handle, LPPOINT point) {
    auto window = FindSdl(handle);
    if (!window || !point)
        return FALSE;
    int x = 0, y = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    point->x += x;
    point->y += y;
    return TRUE;
}

BOOL ScreenToClient(HWND handle, LPPOINT point) {
    auto window = FindSdl(handle);
    if (!window || !point)
        return FALSE;
    int x = 0, y = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    point->x -= x;
    point->y -= y;
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point || !EnsureVideo())
        return FALSE;
    *point = CursorNow();
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    if (!EnsureVideo())
        return FALSE;
    return SDL_WarpMouseGlobal(x, y) == 0;
}

BOOL SetWindowTextA(HWND handle, LPCSTR text) {
    auto window = PlatformFindWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
        window->title = text ? text : "";
    }
    if (window->kind == PlatformWindowKind::Sdl)
        SDL_SetWindowTitle(window->sdl, text ? text : "");
    else
        PlatformDialogSetTitle(window);
    return TRUE;
}

int GetWindowTextA(HWND handle, LPSTR text, int maxCount) {
    auto window = PlatformFindWindow(handle);
    if (!window || !text || maxCount <= 0)
        return 0;
    std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
    int n = std::min(maxCount - 1, static_cast<int>(window->title.size()));
    std::memcpy(text, window->title.data(), static_cast<size_t>(n));
    text[n] = 0;
    return n;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    std::lock_guard<std::recursive_mutex> guard(PlatformWindowsLock());
    for (auto& [handle, window] : Windows()) {
        if (window->kind == PlatformWindowKind::Control)
            continue;
        if (className && !IS_INTRESOURCE(className) && ::strcasecmp(className, window->className.c_str()) != 0)
            continue;
        if (windowName && window->title != windowName)
            continue;
        return handle;
    }
    return nullptr;
}

LONG_PTR GetWindowLongPtrA(HWND handle, int index) {
    auto window = PlatformFindWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
        case GWLP_USERDATA:
            return window->userData;
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(window->procedure);
        case GWL_STYLE:
            return static_cast<LONG_PTR>(window->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(window->exStyle);
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value) {
    auto window = PlatformFindWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = GetWindowLongPtrA(handle, index);
    switch (index) {
        case GWLP_USERDATA:
            window->userData = value;
            break;
        case GWLP_WNDPROC:
            window->procedure = reinterpret_cast<WNDPROC>(value);
            break;
        case GWL_STYLE:
            window->style = static_cast<DWORD>(value);
            break;
        case GWL_EXSTYLE:
            window->exStyle = static_cast<DWORD>(value);
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
    return previous;
}

int GetSystemMetrics(int index) {
    if ((index != SM_CXSCREEN && index != SM_CYSCREEN) || !EnsureVideo())
        return 0;
    SDL_DisplayMode mode;
    if (SDL_GetCurrentDisplayMode(0, &mode) != 0)
        return 0;
    return index == SM_CXSCREEN ? mode.w : mode.h;
}

namespace {
struct IconObject {
    ULONG_PTR id;
};
struct CursorObject {
    ULONG_PTR id;
    SDL_Cursor* cursor = nullptr;
};
std::mutex resourcesLock;
}  // namespace

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    // Every icon is the application's one icon: the window system draws its own.
    std::lock_guard<std::mutex> guard(resourcesLock);
    static auto* icons = new std::map<ULONG_PTR, IconObject>;  // handles live as long as the process
    ULONG_PTR id = IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0;
    IconObject& icon = icons->try_emplace(id, IconObject{id}).first->second;
    return reinterpret_cast<HICON>(&icon);
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
    std::lock_guard<std::mutex> guard(resourcesLock);
    static auto* cursors = new std::map<ULONG_PTR, CursorObject>;
    ULONG_PTR id = IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 32512;
    CursorObject& cursor = cursors->try_emplace(id, CursorObject{id}).first->second;
    return reinterpret_cast<HCURSOR>(&cursor);
}

HCURSOR SetCursor(HCURSOR handle) {
    static HCURSOR current = nullptr;
    HCURSOR previous = current;
    current = handle;
    if (!handle || !EnsureVideo()) {
        if (videoReady)
            SDL_ShowCursor(SDL_DISABLE);
        return previous;
    }
    auto* cursor = reinterpret_cast<CursorObject*>(handle);
    if (!cursor->cursor) {
        SDL_SystemCursor kind = SDL_SYSTEM_CURSOR_ARROW;
        switch (cursor->id) {
            case 32513:
                kind = SDL_SYSTEM_CURSOR_IBEAM;
                break;
            case 32514:
                kind = SDL_SYSTEM_CURSOR_WAIT;
                break;
            case 32515:
                kind = SDL_SYSTEM_CURSOR_CROSSHAIR;
                break;
            case 32649:
                kind = SDL_SYSTEM_CURSOR_HAND;
                break;
            default:
                break;
        }
        cursor->cursor = SDL_CreateSystemCursor(kind);
    }
    if (cursor->cursor)
        SDL_SetCursor(cursor->cursor);
    if (cursorCounter >= 0)
        SDL_ShowCursor(SDL_ENABLE);
    return previous;
}

HDC GetDC(HWND window) {
    // A drawing context is a token of its window; drawing goes through the graphics layer.
    std::lock_guard<std::mutex> guard(resourcesLock);
    static auto* contexts = new std::map<HWND, DeviceContext>;
    DeviceContext& dc = contexts->try_emplace(window, DeviceContext{window}).first->second;
    return reinterpret_cast<HDC>(&dc);
}

int ReleaseDC(HWND, HDC dc) {
    return dc ? 1 : 0;
}

HDC BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    auto window = FindSdl(handle);
    if (!window || !paint)
        return nullptr;
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = GetDC(handle);
    GetClientRect(handle, &paint->rcPaint);
    window->needsPaint = false;
    return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) {
    return TRUE;
}

// ---- messages ---------------------------------------------------------------------------------

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (!message)
        return FALSE;
    return NextMessage(message, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    if (!message) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    for (;;) {
        if (NextMessage(message, window, filterMin, filterMax, true))
            return message->message == WM_QUIT ? FALSE : TRUE;
        std::unique_lock<std::mutex> guard(queuesLock);
        // SDL events do not wake the queue: look again after a short while.
        queuesChanged.wait_for(guard, std::chrono::milliseconds(videoReady ? 2 : 20));
    }
}

BOOL TranslateMessage(const MSG* message) {
    if (!message || message->message != WM_KEYDOWN)
        return FALSE;
    int vk = static_cast<int>(message->wParam);
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    int c = 0;
    if (vk >= 'A' && vk <= 'Z')
        c = control ? vk - 'A' + 1 : shift ? vk : vk + ('a' - 'A');
    else if (vk >= '0' && vk <= '9' && !shift)
        c = vk;
    else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB)
        c = vk;
    if (c == 0)
        return FALSE;
    MSG character = *message;
    character.message = WM_CHAR;
    character.wParam = static_cast<WPARAM>(c);
    {
        std::lock_guard<std::mutex> guard(queuesLock);
        Queues()[ThisThread()].messages.push_front(character);
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
    if (!message || !message->hwnd)
        return 0;
    auto window = PlatformFindWindow(message->hwnd);
    if (!window)
        return 0;
    if (window->kind == PlatformWindowKind::Sdl)
        return Send(window, message->message, message->wParam, message->lParam);
    return PlatformDialogDispatch(window, *message);
}

BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handle) {
        PlatformQueueMessage(ThisThread(), MakeMessage(nullptr, message, wParam, lParam));
        return TRUE;
    }
    auto window = PlatformFindWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->kind == PlatformWindowKind::Sdl) {
        PlatformQueueMessage(window->threadId, MakeMessage(handle, message, wParam, lParam));
        return TRUE;
    }
    return PlatformDialogPostMessage(window, message, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    PlatformQueueMessage(threadId, MakeMessage(nullptr, message, wParam, lParam));
    return TRUE;
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = PlatformFindWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->kind == PlatformWindowKind::Sdl)
        return Send(window, message, wParam, lParam);
    return PlatformDialogSendMessage(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    {
        std::lock_guard<std::mutex> guard(queuesLock);
        ThreadQueue& queue = Queues()[ThisThread()];
        queue.quit = true;
        queue.quitCode = exitCode;
    }
    queuesChanged.notify_all();
}

SHORT GetKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255)
        return 0;
    BYTE state = keyState[static_cast<size_t>(virtualKey)];
    return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

SHORT GetAsyncKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255)
        return 0;
    if (virtualKey == VK_LBUTTON || virtualKey == VK_RBUTTON || virtualKey == VK_MBUTTON) {
        Uint32 mask = virtualKey == VK_LBUTTON   ? SDL_BUTTON_LMASK
                      : virtualKey == VK_RBUTTON ? SDL_BUTTON_RMASK
                                                 : SDL_BUTTON_MMASK;
        return (mouseButtons & mask) ? static_cast<SHORT>(0x8000) : 0;
    }
    return asyncDown[static_cast<size_t>(virtualKey)] ? static_cast<SHORT>(0x8000) : 0;
}

HWND SetCapture(HWND handle) {
    HWND previous = captureWindow;
    if (FindSdl(handle)) {
        captureWindow = handle;
        SDL_CaptureMouse(SDL_TRUE);
    }
    return previous;
}

BOOL ReleaseCapture() {
    if (captureWindow) {
        captureWindow = nullptr;
        SDL_CaptureMouse(SDL_FALSE);
    }
    return TRUE;
}

HWND GetCapture() {
    return captureWindow;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode) {
    if (!mode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!EnsureVideo())
        return FALSE;
    int display = 0;
    if (deviceName) {
        const char* prefix = "\\\\.\\DISPLAY";
        size_t n = std::strlen(prefix);
        if (::strncasecmp(deviceName, prefix, n) != 0 || std::atoi(deviceName + n) < 1) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        display = std::atoi(deviceName + n) - 1;
    }
    if (display >= SDL_GetNumVideoDisplays()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SDL_DisplayMode sdlMode;
    int result;
    if (modeNumber == ENUM_CURRENT_SETTINGS)
        result = SDL_GetCurrentDisplayMode(display, &sdlMode);
    else if (modeNumber == ENUM_REGISTRY_SETTINGS)
        result = SDL_GetDesktopDisplayMode(display, &sdlMode);
    else if (static_cast<int>(modeNumber) < SDL_GetNumDisplayModes(display))
        result = SDL_GetDisplayMode(display, static_cast<int>(modeNumber), &sdlMode);
    else
        result = -1;
    if (result != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WORD size = mode->dmSize;
    WORD extra = mode->dmDriverExtra;
    std::memset(mode, 0, sizeof *mode);
    std::snprintf(reinterpret_cast<char*>(mode->dmDeviceName), sizeof mode->dmDeviceName, "\\\\.\\DISPLAY%d",
                  display + 1);
    mode->dmSize = size ? size : static_cast<WORD>(sizeof(DEVMODEA));
    mode->dmDriverExtra = extra;
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    int bits = static_cast<int>(SDL_BITSPERPIXEL(sdlMode.format));
    mode->dmBitsPerPel = static_cast<DWORD>(bits >= 24 ? 32 : bits);
    mode->dmPelsWidth = static_cast<DWORD>(sdlMode.w);
    mode->dmPelsHeight = static_cast<DWORD>(sdlMode.h);
    mode->dmDisplayFrequency = static_cast<DWORD>(sdlMode.refresh_rate);
    return TRUE;
}
