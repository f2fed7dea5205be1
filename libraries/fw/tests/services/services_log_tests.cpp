#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <iomanip>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

#include <boost/filesystem.hpp>

#include "fw_Log.h"

namespace fs = boost::filesystem;

namespace {

struct ShownBox {
    std::string text;
    std::string caption;
    UINT style;
};

std::mutex gBoxMutex;
std::vector<ShownBox> gBoxes;
void (*gInsideBox)() = nullptr;

int RecordingMessageBox(HWND, const char* text, const char* caption, UINT style) {
    {
        std::lock_guard<std::mutex> lock(gBoxMutex);
        gBoxes.push_back({text, caption, style});
    }
    if (gInsideBox)
        gInsideBox();
    return IDOK;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// A clean log state for each test: no echo, no file, console alerts, caption "Test",
// message boxes recorded instead of shown.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        fw_Log::SetEcho(false);
        fw_Log::OpenLogFile("");
        fw_Log::SetAlertMode(0);
        fw_Log::SetAlertCaption("Test");
        fw_GetAlertPlatform().messageBox = RecordingMessageBox;
        gBoxes.clear();
        gInsideBox = nullptr;
        folder = fs::temp_directory_path() / fs::unique_path("fw-log-%%%%-%%%%");
        fs::create_directories(folder);
    }
    void TearDown() override {
        fw_Log::OpenLogFile("");
        fw_Log::SetEcho(false);
        fw_Log::SetAlertMode(0);
        fw_GetAlertPlatform() = fw_DefaultAlertPlatform();
        gInsideBox = nullptr;
        fs::remove_all(folder);
    }
    fs::path folder;
};

const char* const kStampPattern =
    "[0-9]{4}-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}";

}  // namespace

// --- routing: level x echo x file x alert mode ------------------------------------------

struct Route {
    fw_Log::Level level;
    bool echo;
    bool file;
    int alertMode;
};

class LogRouting : public LogTest, public ::testing::WithParamInterface<Route> {};

TEST_P(LogRouting, LineGoesWhereTheSettingsSay) {
    const Route route = GetParam();
    const fs::path logPath = folder / "routing.log";
    if (route.file)
        fw_Log::OpenLogFile(logPath.string());
    fw_Log::SetEcho(route.echo);
    fw_Log::SetAlertMode(route.alertMode);
    const int32_t warnings = fw_Log::GetWarningCount();
    const int32_t errors = fw_Log::GetErrorCount();

    ::testing::internal::CaptureStdout();
    fw_Log::Write(route.level, "routed %d", 7);
    const std::string out = ::testing::internal::GetCapturedStdout();
    fw_Log::OpenLogFile("");

    const char* prefix = route.level == 1 ? "WARNING: " : route.level == 2 ? "ERROR: " : "";
    const std::string line = std::string(prefix) + "routed 7";
    const bool alert = route.level != 0 && !route.echo && !route.file;

    std::string expectedOut;
    if (route.echo)
        expectedOut = std::string("STAMP:  ") + line + "\n";
    if (alert && route.alertMode == 0)
        expectedOut = std::string("Test: STAMP:  ") + line + "\n";
    EXPECT_EQ(std::regex_replace(out, std::regex(kStampPattern), "STAMP"), expectedOut);

    if (route.file)
        EXPECT_EQ(std::regex_replace(ReadFile(logPath), std::regex(kStampPattern), "STAMP"),
                  std::string("STAMP:  ") + line + "\r\n");
    else
        EXPECT_FALSE(fs::exists(logPath));

    if (alert && route.alertMode == 1) {
        ASSERT_EQ(gBoxes.size(), 1u);
        EXPECT_EQ(std::regex_replace(gBoxes[0].text, std::regex(kStampPattern), "STAMP"),
                  std::string("STAMP:  ") + line);
        EXPECT_EQ(gBoxes[0].caption, "Test");
        EXPECT_EQ(gBoxes[0].style, static_cast<UINT>(MB_ICONINFORMATION));
    } else {
        EXPECT_TRUE(gBoxes.empty());
    }

    // Counted whatever happened to the line.
    EXPECT_EQ(fw_Log::GetWarningCount() - warnings, route.level == 1 ? 1 : 0);
    EXPECT_EQ(fw_Log::GetErrorCount() - errors, route.level == 2 ? 1 : 0);
}

static std::vector<Route> AllRoutes() {
    std::vector<Route> routes;
    for (fw_Log::Level level : {fw_Log::kPlain, fw_Log::kWarning, fw_Log::kError})
        for (int echo = 0; echo <= 1; ++echo)
            for (int file = 0; file <= 1; ++file)
                for (int mode = 0; mode <= 2; ++mode)
                    routes.push_back({level, echo != 0, file != 0, mode});
    return routes;
}

INSTANTIATE_TEST_SUITE_P(AllSettings, LogRouting, ::testing::ValuesIn(AllRoutes()),
                         [](const ::testing::TestParamInfo<Route>& info) {
                             const Route& r = info.param;
                             return "Level" + std::to_string(r.level) + (r.echo ? "Echo" : "NoEcho") +
                                    (r.file ? "File" : "NoFile") + "Mode" + std::to_string(r.alertMode);
                         });

// --- the line layout --------------------------------------------------------------------

TEST(LogTimeStamp, MonthNamesAndAlwaysThreeDigitsOfMilliseconds) {
    std::tm t{};
    t.tm_year = 2013 - 1900;
    t.tm_mon = 8;
    t.tm_mday = 14;
    t.tm_hour = 13;
    t.tm_min = 25;
    t.tm_sec = 5;
    EXPECT_EQ(fw_FormatLogTimeStamp(t, 123), "2013-Sep-14 13:25:05.123");
    EXPECT_EQ(fw_FormatLogTimeStamp(t, 0), "2013-Sep-14 13:25:05.000");
    EXPECT_EQ(fw_FormatLogTimeStamp(t, 7), "2013-Sep-14 13:25:05.007");
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 0;
    t.tm_min = 0;
    t.tm_sec = 0;
    EXPECT_EQ(fw_FormatLogTimeStamp(t, 999), "2013-Jan-02 00:00:00.999");
    t.tm_mon = 11;
    EXPECT_EQ(fw_FormatLogTimeStamp(t, 40), "2013-Dec-02 00:00:00.040");
}

TEST_F(LogTest, LineIsStampColonTwoBlanksPrefixMessage) {
    fw_Log::SetEcho(true);
    const std::time_t before = std::time(nullptr);
    ::testing::internal::CaptureStdout();
    fw_Log::Write(fw_Log::kError, "disk %s at %d%%", "full", 99);
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::time_t after = std::time(nullptr);

    std::smatch match;
    ASSERT_TRUE(
        std::regex_match(out, match, std::regex(std::string("(") + kStampPattern + "):  ERROR: disk full at 99%\n")))
        << out;
    // The stamp is the local time now.
    std::tm local{};
    std::istringstream stamp(match[1].str());
    stamp >> std::get_time(&local, "%Y-%b-%d %H:%M:%S");
    ASSERT_FALSE(stamp.fail());
    local.tm_isdst = -1;
    const std::time_t written = std::mktime(&local);
    EXPECT_GE(written, before - 1);
    EXPECT_LE(written, after + 1);
}

TEST_F(LogTest, LongLinesAreCutAtTheLimit) {
    const fs::path logPath = folder / "long.log";
    fw_Log::OpenLogFile(logPath.string());
    const std::string huge(40000, 'x');
    fw_Log::Write(fw_Log::kPlain, "%s", huge.c_str());
    fw_Log::OpenLogFile("");
    const std::string content = ReadFile(logPath);
    ASSERT_GE(content.size(), 2u);
    EXPECT_EQ(content.size(), 15999u + 2u);  // 16000 bytes with the terminator, then "\r\n"
    EXPECT_EQ(content.substr(content.size() - 3), "x\r\n");
}

TEST_F(LogTest, PercentSignsReachTheAlertUnchanged) {
    fw_Log::SetAlertMode(1);
    fw_Log::Write(fw_Log::kWarning, "%s", "100% sure, %d %s");
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_THAT(gBoxes[0].text, ::testing::EndsWith("WARNING: 100% sure, %d %s"));
    fw_Log::Alert("50% off %n");
    ASSERT_EQ(gBoxes.size(), 2u);
    EXPECT_EQ(gBoxes[1].text, "50% off %n");
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
    const fs::path logPath = folder / "threads.log";
    fw_Log::OpenLogFile(logPath.string());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                fw_Log::Write(fw_Log::kPlain, "thread %d line %d %s", t, i, std::string(300, 'a' + t).c_str());
        });
    for (auto& thread : threads)
        thread.join();
    fw_Log::OpenLogFile("");
    std::istringstream lines(ReadFile(logPath));
    std::string line;
    int count = 0;
    const std::regex shape(std::string(kStampPattern) + ":  thread ([0-3]) line [0-9]+ ([a-d]{300})\r");
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line.substr(0, 80);
        EXPECT_EQ(match[3].str(), std::string(300, 'a' + std::stoi(match[2].str())));  // group 1: the month
        ++count;
    }
    EXPECT_EQ(count, 800);
}

TEST_F(LogTest, TheLockIsRecursiveForWritesFromInsideAnAlert) {
    fw_Log::SetAlertMode(1);
    // A box shown for a line holds the log lock; a line written while it is up (by the
    // same thread, as a nested message loop would) must not deadlock.
    gInsideBox = [] {
        gInsideBox = nullptr;
        fw_Log::Write(fw_Log::kWarning, "nested");
    };
    auto done = std::async(std::launch::async, [] { fw_Log::Write(fw_Log::kError, "outer"); });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    ASSERT_EQ(gBoxes.size(), 2u);
    EXPECT_THAT(gBoxes[0].text, ::testing::EndsWith("ERROR: outer"));
    EXPECT_THAT(gBoxes[1].text, ::testing::EndsWith("WARNING: nested"));
}

// --- the log file -----------------------------------------------------------------------

TEST_F(LogTest, LogFileIsAbsoluteAndEachRunStartsAfterABlankLine) {
    const fs::path saved = fs::current_path();
    fs::current_path(folder);
    fw_Log::OpenLogFile("run.log");
    fs::current_path(saved);
    EXPECT_EQ(fs::path(fw_Log::GetLogFilePath()), fs::canonical(folder) / "run.log");
    EXPECT_TRUE(fw_Log::IsLogFileRegular());
    fw_Log::Write(fw_Log::kPlain, "first run");
    fw_Log::OpenLogFile("");
    EXPECT_EQ(fw_Log::GetLogFilePath(), "");
    EXPECT_FALSE(fw_Log::IsLogFileRegular());

    fw_Log::OpenLogFile((folder / "run.log").string());
    fw_Log::Write(fw_Log::kPlain, "second run");
    fw_Log::OpenLogFile("");
    const std::string content = std::regex_replace(ReadFile(folder / "run.log"), std::regex(kStampPattern), "S");
    EXPECT_EQ(content, "S:  first run\r\n\r\nS:  second run\r\n");
}

TEST_F(LogTest, AFileThatCannotBeOpenedAlertsAndKeepsNoPath) {
    fw_Log::OpenLogFile((folder / "ok.log").string());
    const std::string bad = (folder / "missing-folder" / "x.log").string();
    ::testing::internal::CaptureStdout();
    fw_Log::OpenLogFile(bad);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Test: Could not open log file \"" + bad + "\" for writing.\n");
    EXPECT_EQ(fw_Log::GetLogFilePath(), "");
    EXPECT_FALSE(fw_Log::IsLogFileRegular());
    // Lines go on without a file: a warning becomes an alert again.
    ::testing::internal::CaptureStdout();
    fw_Log::Write(fw_Log::kWarning, "after");
    EXPECT_THAT(::testing::internal::GetCapturedStdout(), ::testing::EndsWith("WARNING: after\n"));
}

// --- alerts -----------------------------------------------------------------------------

TEST_F(LogTest, AlertModesAndTheCaption) {
    fw_Log::SetAlertCaption("");
    EXPECT_EQ(fw_Log::GetAlertCaption(), "Alert");
    ::testing::internal::CaptureStdout();
    fw_Log::Alert(std::string("to the console"));
    fw_Log::TimedAlert("timed on the console", 20.0f);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Alert: to the console\nAlert: timed on the console\n");

    fw_Log::SetAlertCaption("Box");
    fw_Log::SetAlertMode(1);
    fw_Log::Alertf("%d boxes", 3);
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(gBoxes[0].text, "3 boxes");
    EXPECT_EQ(gBoxes[0].caption, "Box");

    fw_Log::SetAlertMode(5);
    ::testing::internal::CaptureStdout();
    fw_Log::Alert("dropped");
    fw_Log::TimedAlertf(1.0f, "%s", "dropped too");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(gBoxes.size(), 1u);

    EXPECT_EQ(fw_Log::SetEcho(true), false);
    EXPECT_EQ(fw_Log::SetEcho(false), true);
    fw_Log::SetAuxMode(3);
    EXPECT_EQ(fw_Log::GetAuxMode(), 3);
    fw_Log::SetAuxMode(0);
}

TEST_F(LogTest, FormattedAlertsAreBounded) {
    fw_Log::SetAlertMode(1);
    const std::string huge(100000, 'y');
    fw_Log::Alertf("%s", huge.c_str());
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(gBoxes[0].text.size(), 16255u);
}

TEST_F(LogTest, LoadIssueNoticeSingular) {
    ::testing::internal::CaptureStdout();
    fw_ShowLoadIssueNotice(1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Test: WARNING: There were 1 issue found while loading resources, please look in: <>\n"
              "for details about this issue and how to resolve it.\n");
}

TEST_F(LogTest, LoadIssueNoticePlural) {
    ::testing::internal::CaptureStdout();
    fw_ShowLoadIssueNotice(3);
    fw_ShowLoadIssueNotice(0);  // nothing
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Test: WARNING: There were 3 issues found while loading resources, please look in: <>\n"
              "for details about these issues and how to resolve them.\n");
}

TEST(LocalTime, ConvertsAnEpochValue) {
    const std::tm t = ToLocalTime(0);
    std::time_t zero = 0;
    std::tm expected{};
    localtime_r(&zero, &expected);
    EXPECT_EQ(t.tm_year, expected.tm_year);
    EXPECT_EQ(t.tm_hour, expected.tm_hour);
}
