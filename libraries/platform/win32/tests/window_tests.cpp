#include "platform/win32.h"
#include "platform/win32_sdl.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool shiftDown;
};
std::vector<Seen> seen;
bool paintValidates = true;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({message, wParam, lParam, (GetKeyState(VK_SHIFT) & 0x8000) != 0});
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            if (paintValidates) {
                PAINTSTRUCT paint;
                BeginPaint(window, &paint);
                EndPaint(window, &paint);
            }
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE)
                PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

class Window : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXA windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.style = CS_HREDRAW | CS_VREDRAW;
            windowClass.lpfnWndProc = RecordingProc;
            windowClass.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(102));
            windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            windowClass.lpszClassName = "FrameworkWindowClass";
            ASSERT_NE(0, RegisterClassExA(&windowClass));
            EXPECT_EQ(0, RegisterClassExA(&windowClass));
            EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
            registered = true;
        }
        RECT rect{0, 0, 640, 400};
        DWORD style = WS_CAPTION | WS_SYSMENU;
        ASSERT_TRUE(AdjustWindowRect(&rect, style, FALSE));
        seen.clear();
        paintValidates = true;
        window = CreateWindowExA(0, "FrameworkWindowClass", "quiet zendra", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                 rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window);
        ShowWindow(window, SW_SHOWDEFAULT);
        Drain();
    }
    void TearDown() override {
        if (window && IsWindow(window))
            DestroyWindow(window);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    // Dispatches what is queued; returns the WM_QUIT code, or -1 when none came.
    int Drain() {
        MSG m;
        for (int i = 0; i < 1000; ++i) {
            if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
                return -1;
            if (m.message == WM_QUIT)
                return static_cast<int>(m.wParam);
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        return -1;
    }
    void Push(SDL_Event event) { ASSERT_EQ(1, SDL_PushEvent(&event)); }
    SDL_Event Key(Uint32 type, SDL_Keycode key, Uint16 mod = 0) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = SDL_GetWindowID(PlatformGetSDLWindow(window));
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = key;
        e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        e.key.keysym.mod = mod;
        return e;
    }
    std::vector<Seen> Only(UINT message) {
        std::vector<Seen> result;
        for (const Seen& s : seen)
            if (s.message == message)
                result.push_back(s);
        return result;
    }
    HWND window = nullptr;
};

TEST_F(Window, ClientAreaHasTheRequestedSizeAndAnSdlGlWindow) {
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(640, client.right - client.left);
    EXPECT_EQ(400, client.bottom - client.top);
    SDL_Window* sdl = PlatformGetSDLWindow(window);
    ASSERT_NE(nullptr, sdl);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);
    EXPECT_STREQ("quiet zendra", SDL_GetWindowTitle(sdl));
    EXPECT_EQ(nullptr, PlatformGetSDLWindow(reinterpret_cast<HWND>(&client)));
    EXPECT_EQ(window, FindWindowA(nullptr, "quiet zendra"));
    EXPECT_EQ(window, FindWindowA("frameworkwindowclass", nullptr));
}

TEST_F(Window, CreationSendsCreateAndSizeAndShowingPaints) {
    // SetUp cleared the record before creation and drained after showing.
    ASSERT_FALSE(Only(WM_CREATE).empty());
    auto sizes = Only(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(640, LOWORD(sizes[0].lParam));
    EXPECT_EQ(400, HIWORD(sizes[0].lParam));
    EXPECT_EQ(1u, Only(WM_PAINT).size());
    // Painted and validated: nothing more to paint until invalidated.
    seen.clear();
    Drain();
    EXPECT_TRUE(Only(WM_PAINT).empty());
    InvalidateRect(window, nullptr, FALSE);
    Drain();
    EXPECT_EQ(1u, Only(WM_PAINT).size());
}

TEST_F(Window, KeysArriveAsVirtualKeyCodesWithShiftState) {
    seen.clear();
    Push(Key(SDL_KEYDOWN, SDLK_LSHIFT, KMOD_LSHIFT));
    Push(Key(SDL_KEYDOWN, SDLK_a, KMOD_LSHIFT));
    Push(Key(SDL_KEYUP, SDLK_LSHIFT));
    Push(Key(SDL_KEYDOWN, SDLK_F5));
    Push(Key(SDL_KEYDOWN, SDLK_SPACE));
    Drain();
    auto downs = Only(WM_KEYDOWN);
    ASSERT_EQ(4u, downs.size());
    EXPECT_EQ(static_cast<WPARAM>(VK_SHIFT), downs[0].wParam);
    EXPECT_EQ(static_cast<WPARAM>('A'), downs[1].wParam);
    EXPECT_TRUE(downs[1].shiftDown);  // GetKeyState inside the window procedure
    EXPECT_EQ(static_cast<WPARAM>(VK_F5), downs[2].wParam);
    EXPECT_FALSE(downs[2].shiftDown);
    EXPECT_EQ(static_cast<WPARAM>(VK_SPACE), downs[3].wParam);
    auto chars = Only(WM_CHAR);
    ASSERT_EQ(2u, chars.size());
    EXPECT_EQ(static_cast<WPARAM>('A'), chars[0].wParam);
    EXPECT_EQ(static_cast<WPARAM>(' '), chars[1].wParam);
    ASSERT_EQ(1u, Only(WM_KEYUP).size());
    EXPECT_EQ(0, GetKeyState(VK_SHIFT) & 0x8000);
}

TEST_F(Window, EscapeQuitsWithCodeZeroAfterTheKeyIsHandled) {
    seen.clear();
    Push(Key(SDL_KEYDOWN, SDLK_ESCAPE));
    EXPECT_EQ(0, Drain());
    auto downs = Only(WM_KEYDOWN);
    ASSERT_EQ(1u, downs.size());
    EXPECT_EQ(27u, downs[0].wParam);
}

TEST_F(Window, MouseMessagesCarryButtonFlagsAndSignedCoordinates) {
    Uint32 id = SDL_GetWindowID(PlatformGetSDLWindow(window));
    seen.clear();
    SDL_Event down{};
    down.type = SDL_MOUSEBUTTONDOWN;
    down.button = SDL_MouseButtonEvent{SDL_MOUSEBUTTONDOWN, 0, id, 0, SDL_BUTTON_LEFT, SDL_PRESSED, 1, 0, 10, 20};
    Push(down);
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion = SDL_MouseMotionEvent{SDL_MOUSEMOTION, 0, id, 0, SDL_BUTTON_LMASK, -5, -7, -15, -27};
    Push(move);
    SDL_Event up = down;
    up.type = SDL_MOUSEBUTTONUP;
    up.button.type = SDL_MOUSEBUTTONUP;
    up.button.state = SDL_RELEASED;
    Push(up);
    SDL_Event right = down;
    right.button.button = SDL_BUTTON_RIGHT;
    Push(right);
    SDL_Event rightUp = up;
    rightUp.button.button = SDL_BUTTON_RIGHT;
    Push(rightUp);
    Drain();
    std::vector<Seen> mouse;
    for (const Seen& s : seen)
        if (s.message >= WM_MOUSEFIRST && s.message <= WM_MOUSELAST)
            mouse.push_back(s);
    ASSERT_EQ(5u, mouse.size());
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONDOWN), mouse[0].message);
    EXPECT_EQ(static_cast<WPARAM>(MK_LBUTTON), mouse[0].wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
    EXPECT_EQ(10, GET_X_LPARAM(mouse[0].lParam));
    EXPECT_EQ(20, GET_Y_LPARAM(mouse[0].lParam));
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEMOVE), mouse[1].message);
    EXPECT_TRUE(mouse[1].wParam & MK_LBUTTON);
    EXPECT_EQ(-5, GET_X_LPARAM(mouse[1].lParam));
    EXPECT_EQ(-7, GET_Y_LPARAM(mouse[1].lParam));
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONUP), mouse[2].message);
    EXPECT_FALSE(mouse[2].wParam & MK_LBUTTON);
    EXPECT_EQ(static_cast<UINT>(WM_RBUTTONDOWN), mouse[3].message);
    EXPECT_TRUE(mouse[3].wParam & MK_RBUTTON);
    EXPECT_EQ(static_cast<UINT>(WM_RBUTTONUP), mouse[4].message);
    EXPECT_FALSE(mouse[4].wParam & MK_RBUTTON);
}

TEST_F(Window, DoubleClicksNeedTheClassStyle) {
    Uint32 id = SDL_GetWindowID(PlatformGetSDLWindow(window));
    seen.clear();
    SDL_Event second{};
    second.type = SDL_MOUSEBUTTONDOWN;
    second.button = SDL_MouseButtonEvent{SDL_MOUSEBUTTONDOWN, 0, id, 0, SDL_BUTTON_LEFT, SDL_PRESSED, 2, 0, 1, 1};
    Push(second);
    Drain();
    EXPECT_TRUE(Only(WM_LBUTTONDBLCLK).empty());
    EXPECT_EQ(1u, Only(WM_LBUTTONDOWN).size());
}

TEST_F(Window, FocusAndSizeEventsBecomeMessages) {
    Uint32 id = SDL_GetWindowID(PlatformGetSDLWindow(window));
    seen.clear();
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id;
    e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    Push(e);
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    Push(e);
    e.window.event = SDL_WINDOWEVENT_MINIMIZED;
    Push(e);
    Drain();
    EXPECT_EQ(1u, Only(WM_SETFOCUS).size());
    EXPECT_EQ(1u, Only(WM_KILLFOCUS).size());
    auto sizes = Only(WM_SIZE);
    ASSERT_EQ(1u, sizes.size());
    EXPECT_EQ(static_cast<WPARAM>(SIZE_MINIMIZED), sizes[0].wParam);
}

TEST_F(Window, ClosingDestroysTheWindowAndQuits) {
    seen.clear();
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(PlatformGetSDLWindow(window));
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    Push(e);
    EXPECT_EQ(0, Drain());
    EXPECT_EQ(1u, Only(WM_CLOSE).size());
    EXPECT_EQ(1u, Only(WM_DESTROY).size());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, PlatformGetSDLWindow(window));
}

TEST_F(Window, PostedMessagesComeInOrderBeforeQuitWithItsCode) {
    seen.clear();
    PostMessageA(window, WM_USER + 1, 11, 0);
    PostQuitMessage(42);
    PostMessageA(window, WM_USER + 2, 22, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 1), m.message);  // not removed
    int loops = 0;
    for (;;) {
        ASSERT_LT(++loops, 100);
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            continue;
        if (m.message == WM_QUIT)
            break;
        DispatchMessageA(&m);
    }
    EXPECT_EQ(42u, m.wParam);
    auto order = std::vector<UINT>{};
    for (const Seen& s : seen)
        if (s.message > WM_USER)
            order.push_back(s.message);
    EXPECT_EQ((std::vector<UINT>{WM_USER + 1, WM_USER + 2}), order);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the quit was taken
}

TEST_F(Window, GetMessageReturnsFalseOnQuitAndWakesForOtherThreads) {
    HANDLE poster = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            Sleep(50);
            PostMessageA(static_cast<HWND>(param), WM_USER + 5, 5, 0);
            return 0;
        },
        window, 0, nullptr);
    MSG m;
    BOOL got = FALSE;
    do {
        got = GetMessageA(&m, nullptr, 0, 0);
        ASSERT_NE(-1, got);
    } while (m.message != WM_USER + 5);
    EXPECT_TRUE(got);
    EXPECT_EQ(window, m.hwnd);
    WaitForSingleObject(poster, INFINITE);
    CloseHandle(poster);
    PostQuitMessage(3);
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(3u, m.wParam);
}

TEST_F(Window, CaptureIsTracked) {
    EXPECT_EQ(nullptr, SetCapture(window));
    EXPECT_EQ(window, GetCapture());
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(Window, DisplaySettingsOfThePrimaryAndAMissingDisplay) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    SDL_DisplayMode sdl;
    ASSERT_EQ(0, SDL_GetCurrentDisplayMode(0, &sdl));
    EXPECT_EQ(static_cast<DWORD>(sdl.w), mode.dmPelsWidth);
    EXPECT_EQ(static_cast<DWORD>(sdl.h), mode.dmPelsHeight);
    EXPECT_EQ(static_cast<DWORD>(sdl.refresh_rate), mode.dmDisplayFrequency);
    DEVMODEA second{};
    second.dmSize = sizeof second;
    if (SDL_GetNumVideoDisplays() < 2) {
        EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\DISPLAY2", ENUM_CURRENT_SETTINGS, &second));
    }
    EXPECT_TRUE(EnumDisplaySettingsA("\\\\.\\DISPLAY1", ENUM_CURRENT_SETTINGS, &second));
    EXPECT_EQ(mode.dmPelsWidth, second.dmPelsWidth);
}

TEST_F(Window, UnknownClassAndStaleHandlesFail) {
    EXPECT_EQ(nullptr,
              CreateWindowExA(0, "NoSuchClass", "", WS_CAPTION, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    HWND stale = window;
    DestroyWindow(window);
    window = nullptr;
    EXPECT_FALSE(PostMessageA(stale, WM_USER, 0, 0));
    EXPECT_FALSE(ShowWindow(stale, SW_SHOW));
    EXPECT_EQ(0, SendMessageA(stale, WM_USER, 0, 0));
}

}  // namespace
