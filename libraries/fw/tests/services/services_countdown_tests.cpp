#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fw_Log.h"

namespace {

// A message box on a virtual clock: time moves only when the countdown thread sleeps,
// and only once the box has been shown, so the sequence does not depend on scheduling.
struct FakeBox {
    std::mutex mutex;
    std::condition_variable changed;
    bool shown = false;         // MessageBoxA was entered (stays true)
    bool closed = false;        // the box has been asked to close
    uint32_t findableFrom = 0;  // virtual time from which FindWindowA sees the box
    uint32_t userClosesAt = UINT32_MAX;
    std::atomic<uint32_t> now{100000};  // virtual GetTickCount
    uint32_t closedAt = 0;
    std::string text;
    std::string title;
    UINT style = 0;
    std::vector<std::string> titles;  // SetWindowTextA calls
    int closePosts = 0;
};

FakeBox* gBox = nullptr;
HWND const kBoxWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4242));

int FakeMessageBox(HWND, const char* text, const char* title, UINT style) {
    std::unique_lock<std::mutex> lock(gBox->mutex);
    gBox->text = text;
    gBox->title = title;
    gBox->style = style;
    gBox->shown = true;
    gBox->changed.notify_all();
    gBox->changed.wait(lock, [] { return gBox->closed; });
    return IDOK;
}

HWND FakeFindWindow(const char*, const char* title) {
    std::lock_guard<std::mutex> lock(gBox->mutex);
    const bool visible = gBox->shown && !gBox->closed && gBox->now >= gBox->findableFrom;
    return visible && title && gBox->title == title ? kBoxWindow : nullptr;
}

BOOL FakeSetWindowText(HWND window, const char* text) {
    std::lock_guard<std::mutex> lock(gBox->mutex);
    if (window != kBoxWindow)
        return FALSE;
    gBox->titles.push_back(text);
    return TRUE;
}

BOOL FakePostMessage(HWND window, UINT message, WPARAM, LPARAM) {
    std::lock_guard<std::mutex> lock(gBox->mutex);
    if (window != kBoxWindow || message != WM_CLOSE || gBox->now < gBox->findableFrom || gBox->closed)
        return FALSE;
    ++gBox->closePosts;
    gBox->closed = true;
    gBox->closedAt = gBox->now;
    gBox->changed.notify_all();
    return TRUE;
}

DWORD FakeTickCount() {
    return gBox->now;
}

void FakeSleep(DWORD milliseconds) {
    std::unique_lock<std::mutex> lock(gBox->mutex);
    gBox->changed.wait(lock, [] { return gBox->shown; });
    if (gBox->closed) {
        // The box is going away: time stands still until MessageBoxA has returned.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    gBox->now += milliseconds + 2;  // a sleep lasts a little longer than asked
    if (gBox->now - 100000 >= gBox->userClosesAt && !gBox->closed) {
        gBox->closed = true;  // the user presses OK
        gBox->closedAt = gBox->now;
        gBox->changed.notify_all();
    }
}

class CountdownTest : public ::testing::Test {
protected:
    void SetUp() override {
        gBox = &box;
        fw_AlertPlatform& platform = fw_GetAlertPlatform();
        platform.messageBox = FakeMessageBox;
        platform.findWindow = FakeFindWindow;
        platform.setWindowText = FakeSetWindowText;
        platform.postMessage = FakePostMessage;
        platform.getTickCount = FakeTickCount;
        platform.sleep = FakeSleep;
    }
    void TearDown() override {
        fw_GetAlertPlatform() = fw_DefaultAlertPlatform();
        fw_Log::SetAlertMode(0);
        gBox = nullptr;
    }

    // Runs the box with a watchdog, so that a broken countdown fails instead of hanging.
    int Run(const char* text, const char* caption, uint32_t milliseconds) {
        auto result = std::async(std::launch::async, [=] { return TimedMessageBox(text, caption, milliseconds); });
        if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the countdown box never closed";
            std::_Exit(1);
        }
        return result.get();
    }

    uint32_t Elapsed() const { return box.closedAt - 100000; }

    FakeBox box;
};

std::vector<std::string> Countdown(const std::string& caption, int from, int to) {
    std::vector<std::string> titles;
    for (int s = from; s >= to; --s)
        titles.push_back(caption + ": " + std::to_string(s));
    return titles;
}

}  // namespace

TEST_F(CountdownTest, TwentySecondsCountDownInTheTitleAndCloseThemselves) {
    EXPECT_EQ(Run("Loading issues", "Caption", 20000), 0);
    EXPECT_EQ(box.text, "Loading issues");
    EXPECT_EQ(box.title, "Caption: 20");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(box.titles, Countdown("Caption", 19, 1));
    EXPECT_EQ(box.closePosts, 1);
    EXPECT_GE(Elapsed(), 20000u);
    EXPECT_LT(Elapsed(), 20100u);
}

TEST_F(CountdownTest, ClosingEarlyReturnsTheButton) {
    box.userClosesAt = 3500;
    EXPECT_EQ(Run("text", "Caption", 20000), IDOK);
    EXPECT_EQ(box.titles, Countdown("Caption", 19, 17));
    EXPECT_EQ(box.closePosts, 0);
}

TEST_F(CountdownTest, LessThanASecondClosesAtTheFirstCheck) {
    EXPECT_EQ(Run("short", "Caption", 300), 0);
    EXPECT_EQ(box.title, "Caption: 0");
    EXPECT_TRUE(box.titles.empty());
    EXPECT_GE(Elapsed(), 1000u);
    EXPECT_LT(Elapsed(), 1100u);
}

TEST_F(CountdownTest, ABoxThatIsNotUpYetIsClosedOnceItIs) {
    box.findableFrom = 100000 + 3200;  // appears late, after the 2-second time-out
    EXPECT_EQ(Run("late", "Caption", 2000), 0);
    EXPECT_TRUE(box.titles.empty());
    EXPECT_EQ(box.closePosts, 1);
    EXPECT_GE(Elapsed(), 3200u);
    EXPECT_LT(Elapsed(), 3300u);
}

TEST_F(CountdownTest, ALongCaptionIsShortenedToLeaveRoomForTheSeconds) {
    const std::string caption(100, 'C');
    box.userClosesAt = 1500;
    EXPECT_EQ(Run("long", caption.c_str(), 20000), IDOK);
    EXPECT_EQ(box.title, std::string(75, 'C') + ": 20");
    EXPECT_EQ(box.title.size(), 79u);
    ASSERT_EQ(box.titles.size(), 1u);
    EXPECT_EQ(box.titles[0], std::string(75, 'C') + ": 19");
}

TEST_F(CountdownTest, TimedAlertUsesTheCaptionAndClampsTheSeconds) {
    fw_Log::SetAlertCaption("Cobalt");
    fw_Log::SetAlertMode(1);
    auto run = [](FakeBox& fake, float seconds) {
        gBox = &fake;
        auto done = std::async(std::launch::async, [=] { fw_Log::TimedAlert("notice", seconds); });
        ASSERT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    };
    box.userClosesAt = 10;
    run(box, 20.0f);
    EXPECT_EQ(box.title, "Cobalt: 20");
    EXPECT_EQ(box.text, "notice");

    FakeBox negative;
    run(negative, -5.0f);  // no time-out at all: closes at the first check
    EXPECT_EQ(negative.title, "Cobalt: 0");
    EXPECT_EQ(negative.closePosts, 1);

    FakeBox notANumber;
    run(notANumber, NAN);
    EXPECT_EQ(notANumber.title, "Cobalt: 0");

    FakeBox huge;
    huge.userClosesAt = 10;
    run(huge, 1e12f);  // beyond 32 bits of milliseconds: the longest time-out
    EXPECT_EQ(huge.title, "Cobalt: 4294967");
    gBox = &box;
}

// The real message box of the stand-in on a display, on the virtual clock.
namespace {

std::mutex gRealMutex;
std::vector<std::string> gRealTitles;
std::vector<std::string> gReadBack;
std::atomic<uint32_t> gRealNow{0};
std::string gRealFirstTitle;

BOOL RecordingSetWindowText(HWND window, const char* text) {
    const BOOL ok = SetWindowTextA(window, text);
    char readBack[128] = {};
    GetWindowTextA(window, readBack, sizeof readBack);
    std::lock_guard<std::mutex> lock(gRealMutex);
    gRealTitles.push_back(text);
    gReadBack.push_back(readBack);
    return ok;
}

DWORD RealVirtualTick() {
    return gRealNow;
}

// Time starts once the box is on screen.
void RealVirtualSleep(DWORD milliseconds) {
    static thread_local bool seen = false;
    while (!seen) {
        seen = FindWindowA(nullptr, gRealFirstTitle.c_str()) != nullptr;
        if (!seen)
            Sleep(5);
    }
    gRealNow += milliseconds;
    Sleep(0);
}

}  // namespace

TEST(CountdownOnDisplay, TheRealBoxCountsDownAndClosesItself) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    gRealFirstTitle = "Display: 3";
    gRealTitles.clear();
    gReadBack.clear();
    fw_AlertPlatform& platform = fw_GetAlertPlatform();
    platform = fw_DefaultAlertPlatform();
    platform.setWindowText = RecordingSetWindowText;
    platform.getTickCount = RealVirtualTick;
    platform.sleep = RealVirtualSleep;

    auto result = std::async(std::launch::async, [] { return TimedMessageBox("closing by itself", "Display", 3000); });
    const bool finished = result.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    platform = fw_DefaultAlertPlatform();
    ASSERT_TRUE(finished) << "the box was not closed";
    EXPECT_EQ(result.get(), 0);
    const std::vector<std::string> expected = {"Display: 2", "Display: 1"};
    EXPECT_EQ(gRealTitles, expected);
    EXPECT_EQ(gReadBack, expected);  // the window really carries the new titles
    EXPECT_EQ(FindWindowA(nullptr, "Display: 1"), nullptr);
}

TEST(CountdownOnDisplay, ClosingTheRealBoxEarlyReturnsIdok) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    fw_GetAlertPlatform() = fw_DefaultAlertPlatform();
    auto result = std::async(std::launch::async, [] { return TimedMessageBox("close me", "Early", 20000); });
    HWND box = nullptr;
    for (int i = 0; i < 2000 && !box; ++i) {
        box = FindWindowA(nullptr, "Early: 20");
        if (!box)
            Sleep(5);
    }
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_CLOSE, 0, 0);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), IDOK);
}
