#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>
#include <stdexcept>

#include <boost/filesystem.hpp>

#include "fw_CallStack.h"
#include "fw_Log.h"

namespace fs = boost::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

std::vector<std::string> gBoxTexts;

int RecordingMessageBox(HWND, const char* text, const char*, UINT) {
    gBoxTexts.push_back(text);
    return IDOK;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

class AssertTest : public ::testing::Test {
protected:
    void SetUp() override {
        fw_Log::SetEcho(false);
        fw_Log::OpenLogFile("");
        fw_Log::SetAlertMode(0);
        fw_Log::SetAssertAlertMode(0);
        fw_Log::SetAlertCaption("Test");
        fw_Log::AssertTraces().clear();
        fw_GetAlertPlatform().messageBox = RecordingMessageBox;
        gBoxTexts.clear();
        SetLastError(0);
        folder = fs::temp_directory_path() / fs::unique_path("fw-assert-%%%%-%%%%");
        fs::create_directories(folder);
    }
    void TearDown() override {
        fw_Log::OpenLogFile("");
        fw_Log::SetEcho(false);
        fw_Log::SetAssertAlertMode(0);
        fw_Log::AssertTraces().clear();
        fw_GetAlertPlatform() = fw_DefaultAlertPlatform();
        if (fs::current_path() != saved)
            fs::current_path(saved);
        fs::remove_all(folder);
    }

    fs::path folder;
    fs::path saved = fs::current_path();
};

}  // namespace

extern "C" __attribute__((noinline)) std::string services_assert_report(const char* message) {
    ::testing::internal::CaptureStdout();
    if (message)
        fw_Log::AssertFailed("count > 0", "mesh.cpp", 42, "%s", message);
    else
        fw_Log::AssertFailed("count > 0", "mesh.cpp", 42);
    return ::testing::internal::GetCapturedStdout();
}

TEST_F(AssertTest, ReportNamesPlaceExpressionAndMessage) {
    ::testing::internal::CaptureStdout();
    fw_Log::AssertFailed("count > 0", "mesh.cpp", 42, "count is %d", -3);
    const std::vector<std::string> lines = Lines(::testing::internal::GetCapturedStdout());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "mesh.cpp(42) : assert: 'count > 0' : count is -3");
    EXPECT_EQ(lines[1], "  Call stack:");
    EXPECT_TRUE(gBoxTexts.empty());  // assert alert mode 0
}

TEST_F(AssertTest, TheFormatDecidesWhetherTheMessageIsShown) {
    auto firstLine = [](const char* format, const char* argument) {
        ::testing::internal::CaptureStdout();
        fw_Log::AssertFailed("e", "f.cpp", 1, format, argument);
        return Lines(::testing::internal::GetCapturedStdout()).at(0);
    };
    EXPECT_EQ(firstLine("x", nullptr), "f.cpp(1) : assert: 'e'");   // one character
    EXPECT_EQ(firstLine(" x", nullptr), "f.cpp(1) : assert: 'e'");  // leading blank
    EXPECT_EQ(firstLine("", nullptr), "f.cpp(1) : assert: 'e'");
    EXPECT_EQ(firstLine("%s", "y"), "f.cpp(1) : assert: 'e' : y");  // a short expansion still shows
    EXPECT_EQ(firstLine("ok", nullptr), "f.cpp(1) : assert: 'e' : ok");
    ::testing::internal::CaptureStdout();
    fw_Log::AssertFailed("e", "f.cpp", 1);
    EXPECT_EQ(Lines(::testing::internal::GetCapturedStdout()).at(0), "f.cpp(1) : assert: 'e'");
}

TEST_F(AssertTest, TracesNewestFirstAndNoHeadingWithoutThem) {
    EXPECT_THAT(services_assert_report(nullptr), Not(HasSubstr("Assert traces")));

    fw_Log::PushAssertTrace("loading %s", "scene.xml");
    fw_Log::PushAssertTrace("mesh %d", 7);
    fw_Log::PushAssertTrace(nullptr);
    fw_Log::PopAssertTrace();
    const std::vector<std::string> lines = Lines(services_assert_report(nullptr));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], "  Assert traces (most recent call first):");
    EXPECT_EQ(lines[2], "    mesh 7");
    EXPECT_EQ(lines[3], "    loading scene.xml");
    EXPECT_EQ(lines[4], "  Call stack:");
}

TEST_F(AssertTest, CallStackNamesTheCallersAndStopsAtTheRuntimeStartUp) {
    const std::vector<std::string> lines = Lines(services_assert_report("with a stack"));
    auto heading = std::find(lines.begin(), lines.end(), "  Call stack:");
    ASSERT_NE(heading, lines.end());
    std::vector<std::string> frames(heading + 1, lines.end());
    ASSERT_GE(frames.size(), 3u);
    bool sawCaller = false;
    for (const std::string& frame : frames) {
        EXPECT_EQ(frame.rfind("    ", 0), 0u) << frame;
        EXPECT_THAT(frame, HasSubstr(" : "));
        EXPECT_THAT(frame, HasSubstr("()  (0x"));
        sawCaller = sawCaller || frame.find("services_assert_report()") != std::string::npos;
        for (const std::string& stop : fw_StackStopList())
            EXPECT_THAT(frame, Not(HasSubstr(" : " + stop + "()"))) << "stop-list frame printed";
    }
    EXPECT_TRUE(sawCaller);
    // The walk ends at the C runtime's start-up, after main.
    EXPECT_THAT(frames.back(), HasSubstr(" : main()  (0x"));
    // The walker's own frame is not shown.
    for (const std::string& frame : frames)
        EXPECT_THAT(frame, Not(HasSubstr(": PrintCallStack()")));
}

TEST_F(AssertTest, LastWindowsErrorIsReportedAndClearedAfterwards) {
    SetLastError(2);
    const std::vector<std::string> lines = Lines(services_assert_report(nullptr));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("  Last Windows error: ", 0), 0u) << lines[1];
    EXPECT_GT(lines[1].size(), std::string("  Last Windows error: ").size());
    EXPECT_EQ(lines[1].find('\n'), std::string::npos);
    EXPECT_EQ(lines[1].find('\r'), std::string::npos);
    EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(AssertTest, WithALogFileTheReportAndDetailAlsoGoThere) {
    const fs::path logPath = folder / "assert.log";
    fw_Log::OpenLogFile(logPath.string());
    fw_Log::SetEcho(true);
    fw_Log::PushAssertTrace("trace");
    const int32_t errors = fw_Log::GetErrorCount();
    const std::string out = services_assert_report("logged");
    fw_Log::OpenLogFile("");
    EXPECT_TRUE(fw_Log::SetEcho(false));  // echo restored after the report

    EXPECT_EQ(fw_Log::GetErrorCount() - errors, 1);
    std::ifstream in(logPath.string());
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_THAT(content.str(), HasSubstr(":  ERROR: mesh.cpp(42) : assert: 'count > 0' : logged\r\n"));
    EXPECT_THAT(content.str(), HasSubstr(":      trace\r\n"));
    EXPECT_THAT(content.str(), HasSubstr(":    Call stack:\r\n"));
    // Echo was off during the report: log lines did not reach standard output.
    EXPECT_THAT(out, Not(HasSubstr("ERROR:")));
}

TEST_F(AssertTest, AssertAlertModeOneShowsTheTextUnchanged) {
    fw_Log::SetAssertAlertMode(1);
    fw_Log::SetAlertMode(1);
    services_assert_report("100% broken");
    ASSERT_EQ(gBoxTexts.size(), 1u);
    EXPECT_EQ(gBoxTexts[0], "mesh.cpp(42) : assert: 'count > 0' : 100% broken");
}

TEST_F(AssertTest, FinalLayoutAlertsThrowsAndReleasesEverything) {
    fs::current_path(folder);
    std::ofstream(".final").put('\n');
    fw_Log::SetEcho(true);
    ::testing::internal::CaptureStdout();
    try {
        fw_Log::AssertFailed("ready", "final.cpp", 7, "in the final layout");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Assert");
    }
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(out, HasSubstr("\nTest: final.cpp(7) : assert: 'ready' : in the final layout\n"));
    EXPECT_TRUE(fw_Log::SetEcho(false));  // restored on the thrown path too

    // The lock was released: another thread can report.
    auto other = std::async(std::launch::async, [] {
        ::testing::internal::CaptureStdout();
        try {
            fw_Log::AssertFailed("again", "final.cpp", 8);
        } catch (const std::runtime_error&) {
        }
        return ::testing::internal::GetCapturedStdout();
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "deadlock after the throw";
    EXPECT_THAT(other.get(), HasSubstr("final.cpp(8) : assert: 'again'"));
}

extern "C" __attribute__((noinline)) std::string services_target() {
    std::string name = FindCallerName("services_target", "services_skipped*");
    asm volatile("" ::: "memory");
    return name;
}

extern "C" __attribute__((noinline)) std::string services_skipped_helper() {
    std::string name = services_target();
    asm volatile("" ::: "memory");
    return name;
}

extern "C" __attribute__((noinline)) std::string services_caller() {
    std::string name = services_skipped_helper();
    asm volatile("" ::: "memory");
    return name;
}

TEST(CallerSearch, NamesTheCallerPastTheSkippedNames) {
    EXPECT_EQ(services_caller(), "services_caller");
    EXPECT_EQ(FindCallerName("no_such_function", ""), "");
}

TEST(CallerSearch, SkipNamesMatchWholeOrByPrefix) {
    const std::vector<std::string> skips = {"exact", "pre*"};
    EXPECT_TRUE(fw_MatchesSkipName("exact", skips));
    EXPECT_FALSE(fw_MatchesSkipName("exactly", skips));
    EXPECT_TRUE(fw_MatchesSkipName("prefix", skips));
    EXPECT_TRUE(fw_MatchesSkipName("pre", skips));
    EXPECT_FALSE(fw_MatchesSkipName("pr", skips));
    EXPECT_FALSE(fw_MatchesSkipName("other", {}));
}
