#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace {

// The same name in the test and in the child that runs the statement (a new process).
std::string TempName(const char* tag) {
    const char* build = std::getenv("PWD");
    return std::string("/tmp/win32_process_") + tag + "_" +
           std::to_string(std::hash<std::string>{}(build ? build : ""));
}

void WriteBufferedThenExit(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("written before the end", file);  // still in the stream's buffer
    ExitProcess(20);
}

TEST(Process, ExitProcessEndsWithItsCodeAndFlushesStreams) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    std::string path = TempName("exit");
    std::remove(path.c_str());
    EXPECT_EXIT(WriteBufferedThenExit(path), testing::ExitedWithCode(20), "");
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ("written before the end", text);
    std::remove(path.c_str());
}

INT_PTR CALLBACK NoProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// Exit code 0 when both user-interface calls fail the documented way.
void TryUserInterfaceWithoutDisplay() {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    int box = MessageBoxA(nullptr, "text", "caption", MB_OK);
    INT_PTR dialog = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, NoProc, 0);
    DWORD error = GetLastError();
    std::exit(box == 0 && dialog == -1 && error == ERROR_NOT_SUPPORTED ? 0 : 1);
}

TEST(Process, WithoutADisplayBoxesAndDialogsFailInsteadOfHanging) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(TryUserInterfaceWithoutDisplay(), testing::ExitedWithCode(0), "caption: text");
}

}  // namespace
