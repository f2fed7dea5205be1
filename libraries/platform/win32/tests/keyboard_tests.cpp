#include "display_test_support.h"
#include "platform/win32.h"
#include "start_dialog_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class StartDialogKeys : public StartDialog {
protected:
    void SetUp() override
    {
        StartDialog::SetUp();
        if (!IsSkipped() && !HaveXdotool())
            GTEST_SKIP() << "no xdotool";
    }
    INT_PTR ShowWithKeys(const std::string& keys)
    {
        HANDLE typist = StartTyping("Cobalt", keys);
        INT_PTR result = Show();
        EXPECT_EQ(0u, FinishTyping(typist));
        return result;
    }
};

TEST_F(StartDialogKeys, EnterRuns)
{
    EXPECT_EQ(1, ShowWithKeys("Return"));
    EXPECT_TRUE(choices.fullscreen && choices.loop && choices.sound);
}

TEST_F(StartDialogKeys, EscapeExits)
{
    EXPECT_EQ(2, ShowWithKeys("Escape"));
}

TEST_F(StartDialogKeys, TabMovesAndSpaceToggles)
{
    // Focus starts on Fullscreen; Tab reaches Loop, then Sound.
    EXPECT_EQ(1, ShowWithKeys("Tab space Tab space Return"));
    EXPECT_TRUE(choices.fullscreen);
    EXPECT_FALSE(choices.loop);
    EXPECT_FALSE(choices.sound);
}

TEST_F(StartDialogKeys, SpaceOnFullscreenGoesThroughTheProcedure)
{
    EXPECT_EQ(1, ShowWithKeys("space Return"));
    EXPECT_FALSE(choices.fullscreen);
    EXPECT_TRUE(choices.loop);
}

TEST_F(StartDialogKeys, EnterOnExitButtonExits)
{
    // Fullscreen, Loop, Sound, Run, Exit in template order.
    EXPECT_EQ(2, ShowWithKeys("Tab Tab Tab Tab Return"));
}

class MessageBoxKeys : public testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no display";
        if (!HaveXdotool())
            GTEST_SKIP() << "no xdotool";
    }
};

TEST_F(MessageBoxKeys, EnterAnswersOkAndEscapeCancels)
{
    HANDLE typist = StartTyping("Box one", "Return");
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "text", "Box one", MB_ICONINFORMATION));
    EXPECT_EQ(0u, FinishTyping(typist));
    typist = StartTyping("Box two", "Escape");
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "text", "Box two", MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(0u, FinishTyping(typist));
}

std::vector<WPARAM> keysSeen;

LRESULT CALLBACK KeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN) {
        keysSeen.push_back(wParam);
        if (wParam == VK_ESCAPE)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

using WindowKeys = MessageBoxKeys;

TEST_F(WindowKeys, KeysTypedIntoTheWindowReachItsProcedure)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = KeyProc;
    windowClass.lpszClassName = "KeyProbeClass";
    ASSERT_NE(0, RegisterClassExA(&windowClass));
    HWND window = CreateWindowExA(0, "KeyProbeClass", "Key probe", WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 100,
                                  320, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    // Focus the window and type while its pump runs.
    HANDLE typist = StartTyping("Key probe", "a shift+b Escape");
    MSG m;
    DWORD start = GetTickCount();
    int quitCode = -1;
    while (GetTickCount() - start < 15000) {
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (m.message == WM_QUIT) {
            quitCode = static_cast<int>(m.wParam);
            break;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    DestroyWindow(window);
    EXPECT_EQ(0u, FinishTyping(typist));
    EXPECT_EQ(0, quitCode);
    EXPECT_EQ((std::vector<WPARAM>{'A', VK_SHIFT, 'B', VK_ESCAPE}), keysSeen);
    UnregisterClassA("KeyProbeClass", nullptr);
}

} // namespace
