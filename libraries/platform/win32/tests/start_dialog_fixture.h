// A fixture that shows the start dialog with the framework's own procedure, and records
// what it is sent and what it chose.
#pragma once

#include "display_test_support.h"
#include "fw_Framework.h"
#include "fw_StartDialog.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The options the procedure chose on Run, and the commands it was sent.
struct Choices {
    bool fullscreen = false, loop = false, sound = false, stereo = true;
    int commands = 0;
};
Choices choices;
std::function<void(HWND)> afterInit;

INT_PTR CALLBACK StartProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        ++choices.commands;
    const INT_PTR handled = StartDialogProc(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG && afterInit)
        afterInit(dialog);
    if (message == WM_COMMAND && wParam == IDOK) {
        choices.stereo = fw_Framework::mStereoChosen;
        choices.fullscreen = fw_Framework::mFullscreen;
        choices.loop = fw_Framework::mLoop;
        choices.sound = fw_Framework::mSound;
    }
    return handled;
}

class StartDialog : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay())
            GTEST_SKIP() << "no display";
        choices = Choices{};
        afterInit = nullptr;
        fw_Framework::mStereoAvailable = false;
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
