// The start dialog as a person meets it: shown for real on the display, answered by
// commands posted from another thread.
#include "core_support.h"

#include <cstdlib>
#include <functional>

#include "fw_Framework.h"
#include "fw_StartDialog.h"
#include "platform/win32.h"

namespace {

struct Answer {
    std::vector<WPARAM> commands;
};

DWORD WINAPI AnswerDialog(LPVOID param) {
    auto* answer = static_cast<Answer*>(param);
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && !(dialog = FindWindowA(nullptr, "Cobalt")); ++i)
        Sleep(10);
    if (!dialog)
        return 1;
    for (WPARAM command : answer->commands)
        PostMessageA(dialog, WM_COMMAND, command, 0);
    return 0;
}

class StartDialog : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        core_test::ResetFramework();
        fw_Framework::mFullscreen = false;
        fw_Framework::mLoop = false;
        fw_Framework::mSound = false;
        fw_Framework::mStereoChosen = true;
    }
    void TearDown() override {
        TakeQueue();
        core_test::ResetFramework();
    }
    // Empties the thread's queue, dispatching what is for a window (a window of other tests
    // keeps asking to be painted until it is); true when a WM_QUIT with code 0 was in it.
    static bool TakeQueue() {
        bool quit = false;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT)
                quit = quit || m.wParam == 0;
            else
                DispatchMessageA(&m);
        }
        return quit;
    }
    INT_PTR Show(std::vector<WPARAM> commands) {
        Answer answer{std::move(commands)};
        HANDLE thread = CreateThread(nullptr, 0, AnswerDialog, &answer, 0, nullptr);
        INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, StartDialogProc, 0);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        return result;
    }
};

TEST_F(StartDialog, RunWithoutTouchingAnythingGivesFullscreenLoopAndSound) {
    EXPECT_EQ(1, Show({IDOK}));
    EXPECT_TRUE(fw_Framework::mFullscreen);
    EXPECT_TRUE(fw_Framework::mLoop);
    EXPECT_TRUE(fw_Framework::mSound);
    EXPECT_FALSE(fw_Framework::mStereoChosen);  // no stereo box in this dialog
}

TEST_F(StartDialog, FullscreenOnceUnchecksIt) {
    EXPECT_EQ(1, Show({IDC_FULLSCREEN, IDOK}));
    EXPECT_FALSE(fw_Framework::mFullscreen);
    EXPECT_TRUE(fw_Framework::mLoop);
    EXPECT_TRUE(fw_Framework::mSound);
}

TEST_F(StartDialog, FullscreenTwiceLeavesItCheckedNeverIndeterminate) {
    EXPECT_EQ(1, Show({IDC_FULLSCREEN, IDC_FULLSCREEN, IDOK}));
    EXPECT_TRUE(fw_Framework::mFullscreen);
    EXPECT_EQ(1, Show({IDC_FULLSCREEN, IDC_FULLSCREEN, IDC_FULLSCREEN, IDOK}));
    EXPECT_FALSE(fw_Framework::mFullscreen);
}

TEST_F(StartDialog, ExitEndsWithTwoQueuesQuitAndKeepsTheOptions) {
    EXPECT_EQ(2, Show({IDCANCEL}));
    EXPECT_TRUE(TakeQueue());
    EXPECT_FALSE(fw_Framework::mFullscreen);
    EXPECT_FALSE(fw_Framework::mLoop);
    EXPECT_FALSE(fw_Framework::mSound);
}

TEST(StartDialogProcedure, UnknownCommandsAndMessagesAreNotHandled) {
    EXPECT_EQ(FALSE, StartDialogProc(nullptr, WM_COMMAND, 4711, 0));
    EXPECT_EQ(FALSE, StartDialogProc(nullptr, WM_PAINT, 0, 0));
}

}  // namespace
