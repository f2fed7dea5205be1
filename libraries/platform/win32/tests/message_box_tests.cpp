#include "display_test_support.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class MessageBox : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay())
            GTEST_SKIP() << "no display";
    }
};

// A self-closing box as the framework's log builds it: the title counts the seconds down.
struct Countdown {
    char title[80] = {};
    DWORD timeout = 0;
    std::atomic<int> boxResult{0};
    std::atomic<int> timedOut{0};
    std::atomic<int> retitles{0};
    std::atomic<int> titleSeenByX{-1};
};

DWORD WINAPI CountdownProc(LPVOID param) {
    auto* c = static_cast<Countdown*>(param);
    DWORD start = GetTickCount(), last = start;
    while (c->boxResult == 0) {
        DWORD now = GetTickCount();
        if (now - last >= 1000) {
            HWND box = FindWindowA(nullptr, c->title);
            if (now - start >= c->timeout) {
                c->timedOut = 1;
                PostMessageA(box, WM_CLOSE, 0, 0);
                return 0;
            }
            if (box) {
                char* blank = std::strrchr(c->title, ' ');
                std::snprintf(blank + 1, sizeof c->title - size_t(blank + 1 - c->title), "%u",
                              unsigned(std::ceil((c->timeout - (now - start)) / 1000.0)));
                SetWindowTextA(box, c->title);
                ++c->retitles;
                if (c->retitles == 1 && HaveXdotool()) {
                    // The window system shows the new title. Other tests open and close windows
                    // on the same display, and a search that meets a window as it goes away fails
                    // with an X error: such a search is tried again.
                    std::string command =
                        std::string("timeout 5 xdotool search --sync --name '^") + c->title + "$' >/dev/null 2>&1";
                    int seen = 0;
                    for (int attempt = 0; attempt < 5 && !seen; ++attempt)
                        seen = std::system(command.c_str()) == 0 ? 1 : 0;
                    c->titleSeenByX = seen;
                }
            }
            last = GetTickCount();
        }
        Sleep(5);
    }
    return 0;
}

TEST_F(MessageBox, CountdownBoxRetitlesAndClosesItselfFromAnotherThread) {
    Countdown c;
    // Five seconds: the first second may pass before a fresh process has its box up.
    c.timeout = 5000;
    std::snprintf(c.title, sizeof c.title, "%s: %d", "quiet zendra", 5);
    HANDLE thread = CreateThread(nullptr, 0, CountdownProc, &c, 0, nullptr);
    DWORD start = GetTickCount();
    int result = MessageBoxA(nullptr, "WARNING: 100% of 1 issue %s", c.title, MB_ICONINFORMATION);
    c.boxResult = result;
    DWORD elapsed = GetTickCount() - start;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(1, c.timedOut.load());
    EXPECT_GE(elapsed, 4900u);
    EXPECT_LT(elapsed, 12000u);
    EXPECT_GE(c.retitles.load(), 1);  // a loaded machine may take a second or more to show the box
    EXPECT_STREQ("quiet zendra: 1", c.title);
    if (HaveXdotool()) {
        EXPECT_EQ(1, c.titleSeenByX.load());
    }
    EXPECT_EQ(nullptr, FindWindowA(nullptr, c.title));
}

TEST_F(MessageBox, ShownFromAWorkerThreadAndClosedFromTheMainThread) {
    std::atomic<int> result{-1};
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            static_cast<std::atomic<int>*>(param)->store(MessageBoxA(nullptr, "from a worker", "Worker box", MB_OK));
            return 0;
        },
        &result, 0, nullptr);
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i) {
        box = FindWindowA(nullptr, "Worker box");
        Sleep(10);
    }
    ASSERT_NE(nullptr, box);
    char title[32];
    EXPECT_EQ(10, GetWindowTextA(box, title, sizeof title));
    EXPECT_STREQ("Worker box", title);
    EXPECT_TRUE(PostMessageA(box, WM_CLOSE, 0, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 10000));
    CloseHandle(worker);
    EXPECT_EQ(IDOK, result.load());
    EXPECT_FALSE(PostMessageA(box, WM_CLOSE, 0, 0));  // gone: refused, nothing crashes
}

}  // namespace
