#include "display_test_support.h"
#include "platform/win32.h"
#include "start_dialog_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

TEST(DialogResource, StartDialogTemplate) {
    const PlatformDialogTemplate* t = PlatformFindDialog(101);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(0x80C800C0u, t->style);
    EXPECT_EQ(0u, t->exStyle);
    EXPECT_EQ(320, t->x);
    EXPECT_EQ(256, t->y);
    EXPECT_EQ(230, t->cx);
    EXPECT_EQ(132, t->cy);
    EXPECT_STREQ("Cobalt", t->caption);
    EXPECT_EQ(8, t->pointSize);
    EXPECT_STREQ("MS Sans Serif", t->faceName);
    ASSERT_EQ(7, t->controlCount);
    struct Expected {
        int id;
        const char* className;
        const char* text;
        DWORD style;
        short x, y, cx, cy;
    };
    const Expected expected[] = {
        {-1, "static", "quiet zendra", 0x50020000, 17, 17, 320, 8},
        {-1, "static", "by Tarnwick.", 0x50020000, 17, 33, 320, 8},
        {1001, "button", "Fullscreen", 0x50010005, 18, 69, 85, 8},
        {1003, "button", "Loop", 0x50010003, 18, 79, 85, 8},
        {1004, "button", "Sound", 0x50010003, 18, 89, 85, 8},
        {1, "button", "Run", 0x50010001, 120, 68, 93, 13},
        {2, "button", "Exit", 0x50012000, 120, 88, 93, 13},
    };
    for (int i = 0; i < 7; ++i) {
        const PlatformDialogControl& c = t->controls[i];
        EXPECT_EQ(expected[i].id, c.id) << i;
        EXPECT_STREQ(expected[i].className, c.className) << i;
        EXPECT_STREQ(expected[i].text, c.text) << i;
        EXPECT_EQ(expected[i].style, c.style) << i;
        EXPECT_EQ(expected[i].x, c.x) << i;
        EXPECT_EQ(expected[i].y, c.y) << i;
        EXPECT_EQ(expected[i].cx, c.cx) << i;
        EXPECT_EQ(expected[i].cy, c.cy) << i;
    }
}

TEST(DialogResource, MissingTemplateFails) {
    EXPECT_EQ(-1, DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4711), nullptr, StartProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
}

TEST_F(StartDialog, RunWithoutTouchingAnythingKeepsTheDefaults) {
    afterInit = [](HWND dialog) {
        EXPECT_EQ(nullptr, GetDlgItem(dialog, 1000));
        EXPECT_NE(nullptr, GetDlgItem(dialog, 1001));
        EXPECT_EQ(1001, GetDlgCtrlID(GetDlgItem(dialog, 1001)));
        EXPECT_EQ(dialog, FindWindowA(nullptr, "Cobalt"));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(1, Show());
    EXPECT_TRUE(choices.fullscreen);
    EXPECT_TRUE(choices.loop);
    EXPECT_TRUE(choices.sound);
    EXPECT_FALSE(choices.stereo);
    EXPECT_EQ(nullptr, FindWindowA(nullptr, "Cobalt"));
}

TEST_F(StartDialog, ExitEndsWithTwoAndLeavesQuitQueued) {
    afterInit = [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); };
    EXPECT_EQ(2, Show());
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    EXPECT_EQ(0u, m.wParam);
}

TEST_F(StartDialog, CloseBoxIsCancel) {
    afterInit = [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); };
    EXPECT_EQ(2, Show());
}

TEST_F(StartDialog, ClicksOnThePlainAndTheAutomaticBoxes) {
    // Fullscreen changes only through the procedure; Loop toggles on its own.
    afterInit = [](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, 1001), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(dialog, 1003), BM_CLICK, 0, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(1, Show());
    EXPECT_FALSE(choices.fullscreen);
    EXPECT_FALSE(choices.loop);
    EXPECT_TRUE(choices.sound);

    choices = Choices{};
    afterInit = [](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, 1001), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(dialog, 1001), BM_CLICK, 0, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(1, Show());
    EXPECT_TRUE(choices.fullscreen);
    EXPECT_TRUE(choices.loop);
}

TEST_F(StartDialog, ThreeStatesAndPushedState) {
    afterInit = [](HWND dialog) {
        CheckDlgButton(dialog, 1001, BST_INDETERMINATE);
        EXPECT_EQ(static_cast<UINT>(BST_INDETERMINATE), IsDlgButtonChecked(dialog, 1001));
        CheckDlgButton(dialog, 1001, BST_UNCHECKED);
        EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dialog, 1001));
        HWND sound = GetDlgItem(dialog, 1004);
        SendMessageA(sound, BM_SETSTATE, 2, 0);
        EXPECT_TRUE(SendMessageA(sound, BM_GETSTATE, 0, 0) & BST_PUSHED);
        EXPECT_TRUE(SendMessageA(sound, BM_GETSTATE, 0, 0) & BST_CHECKED);
        EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dialog, 1000));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(1, Show());
    EXPECT_FALSE(choices.fullscreen);
    EXPECT_EQ(0, choices.commands - 1);  // only the Run command: setting states sends none
}

TEST_F(StartDialog, EndDialogDuringInitNeverShows) {
    afterInit = [](HWND dialog) { EndDialog(dialog, 7); };
    EXPECT_EQ(7, Show());
}

}  // namespace
