// The start dialog's procedure as the framework writes it, and a fixture that shows the
// dialog with it.
#pragma once

#include "display_test_support.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The choices the procedure recorded on Run.
struct Choices {
    bool fullscreen = false, loop = false, sound = false, stereo = true;
    int commands = 0;
};
Choices choices;
std::function<void(HWND)> afterInit;

INT_PTR CALLBACK StartProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            if (GetDlgItem(dialog, 1000))
                SendMessageA(GetDlgItem(dialog, 1000), BM_SETSTATE, 2, 0);
            CheckDlgButton(dialog, 1001, BST_CHECKED);
            CheckDlgButton(dialog, 1004, BST_CHECKED);
            CheckDlgButton(dialog, 1003, BST_CHECKED);
            if (afterInit)
                afterInit(dialog);
            return TRUE;
        case WM_COMMAND:
            ++choices.commands;
            if (HIWORD(wParam) == 0 && LOWORD(wParam) == 1001) {
                bool checked = IsDlgButtonChecked(dialog, 1001) == BST_CHECKED;
                CheckDlgButton(dialog, 1001, checked ? BST_UNCHECKED : BST_CHECKED);
            }
            switch (wParam) {
                case IDOK:
                    choices.stereo = IsDlgButtonChecked(dialog, 1000) == BST_CHECKED;
                    choices.fullscreen = IsDlgButtonChecked(dialog, 1001) == BST_CHECKED;
                    choices.loop = IsDlgButtonChecked(dialog, 1003) == BST_CHECKED;
                    choices.sound = IsDlgButtonChecked(dialog, 1004) == BST_CHECKED;
                    EndDialog(dialog, 1);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, 2);
                    PostQuitMessage(0);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

class StartDialog : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay())
            GTEST_SKIP() << "no display";
        choices = Choices{};
        afterInit = nullptr;
    }
    void TearDown() override {
        afterInit = nullptr;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    INT_PTR Show() { return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, StartProc, 0); }
};

}  // namespace
