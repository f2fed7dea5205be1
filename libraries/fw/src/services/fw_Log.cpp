#include "fw_Log.h"

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <boost/filesystem.hpp>

#include "fw_Lock.h"

namespace {

constexpr size_t kLineLimit = 16000;   // a log line with its terminator
constexpr size_t kAlertLimit = 16256;  // a formatted alert text with its terminator

std::atomic<bool> gEcho{false};
FILE* gLogFile = nullptr;
boost::filesystem::path gLogFilePath;
std::atomic<int32_t> gErrorCount{0};
std::atomic<int32_t> gWarningCount{0};
std::atomic<int32_t> gAlertMode{fw_Log::kAlertsToConsole};
std::atomic<int32_t> gAssertAlertMode{fw_Log::kAlertsToConsole};
std::atomic<int32_t> gAuxMode{0};

std::string& AlertCaption() {
    static std::string caption;
    return caption;
}

fw_CriticalSection& LogLock() {
    static fw_CriticalSection lock;
    return lock;
}

const char* LevelPrefix(fw_Log::Level level) {
    switch (level) {
        case fw_Log::kWarning:
            return "WARNING: ";
        case fw_Log::kError:
            return "ERROR: ";
        default:
            return "";
    }
}

void WriteConsoleAlert(const char* text) {
    const std::string caption = fw_Log::GetAlertCaption();
    std::fputs(caption.c_str(), stdout);
    std::fputs(": ", stdout);
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int DefaultMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    return MessageBoxA(owner, text, caption, style);
}
HWND DefaultFindWindow(const char* className, const char* title) {
    return FindWindowA(className, title);
}
BOOL DefaultSetWindowText(HWND window, const char* text) {
    return SetWindowTextA(window, text);
}
BOOL DefaultPostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(window, message, wParam, lParam);
}
DWORD DefaultGetTickCount() {
    return GetTickCount();
}
void DefaultSleep(DWORD milliseconds) {
    Sleep(milliseconds);
}

// Whole milliseconds of a time-out in seconds: negative and NaN give 0, values beyond
// the 32-bit range give its maximum.
uint32_t SecondsToMilliseconds(float seconds) {
    if (!(seconds > 0.0f))
        return 0;
    const double ms = static_cast<double>(seconds) * 1000.0;
    if (ms >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(ms);
}

}  // namespace

fw_AlertPlatform fw_DefaultAlertPlatform() {
    return fw_AlertPlatform{DefaultMessageBox,  DefaultFindWindow,   DefaultSetWindowText,
                            DefaultPostMessage, DefaultGetTickCount, DefaultSleep};
}

fw_AlertPlatform& fw_GetAlertPlatform() {
    static fw_AlertPlatform platform = fw_DefaultAlertPlatform();
    return platform;
}

std::string fw_FormatLogTimeStamp(const std::tm& local, int milliseconds) {
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int month = (local.tm_mon >= 0 && local.tm_mon < 12) ? local.tm_mon : 0;
    if (milliseconds < 0 || milliseconds > 999)
        milliseconds = 0;
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%s-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, kMonths[month],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, milliseconds);
    return stamp;
}

std::tm ToLocalTime(int64_t time) {
    std::tm local{};
    const time_t value = static_cast<time_t>(time);
    localtime_r(&value, &local);
    return local;
}

void fw_Log::Write(Level level, const char* format, ...) {
    if (level == kWarning)
        ++gWarningCount;
    else if (level == kError)
        ++gErrorCount;

    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const int64_t secondsNow = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const int milliseconds =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() - secondsNow * 1000);
    const std::string stamp = fw_FormatLogTimeStamp(ToLocalTime(secondsNow), milliseconds);

    char line[kLineLimit];
    int used = std::snprintf(line, sizeof line, "%s:  %s", stamp.c_str(), LevelPrefix(level));
    if (used < 0)
        used = 0;
    if (format && static_cast<size_t>(used) < sizeof line - 1) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(line + used, sizeof line - used, format, args);
        va_end(args);
    }

    fw_ScopedLock lock(&LogLock());
    const bool echo = gEcho.load();
    if (echo) {
        std::fputs(line, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (gLogFile) {
        std::fputs(line, gLogFile);
        std::fputs("\r\n", gLogFile);
        std::fflush(gLogFile);
    } else if (level != kPlain && !echo) {
        Alert(line);
    }
}

int32_t fw_Log::GetWarningCount() {
    return gWarningCount.load();
}

int32_t fw_Log::GetErrorCount() {
    return gErrorCount.load();
}

bool fw_Log::SetEcho(bool echo) {
    return gEcho.exchange(echo);
}

bool fw_Log::GetEcho() {
    return gEcho.load();
}

void fw_Log::OpenLogFile(const std::string& path) {
    fw_ScopedLock lock(&LogLock());
    if (gLogFile) {
        std::fclose(gLogFile);
        gLogFile = nullptr;
    }
    gLogFilePath.clear();
    if (path.empty())
        return;

    boost::system::error_code error;
    const boost::filesystem::path absolute = boost::filesystem::absolute(path);
    const boost::filesystem::file_status status = boost::filesystem::status(absolute, error);
    FILE* file = std::fopen(absolute.string().c_str(), "ab");
    if (!file) {
        Alertf("Could not open log file \"%s\" for writing.", absolute.string().c_str());
        return;
    }
    gLogFile = file;
    gLogFilePath = absolute;
    if (boost::filesystem::is_regular_file(status)) {
        std::fputs("\r\n", gLogFile);
        std::fflush(gLogFile);
    }
}

std::string fw_Log::GetLogFilePath() {
    fw_ScopedLock lock(&LogLock());
    return gLogFilePath.string();
}

bool fw_Log::IsLogFileRegular() {
    const std::string path = GetLogFilePath();
    if (path.empty())
        return false;
    boost::system::error_code error;
    return boost::filesystem::is_regular_file(path, error);
}

std::string fw_Log::GetAlertCaption() {
    std::string& caption = AlertCaption();
    if (caption.empty())
        caption = "Alert";
    return caption;
}

void fw_Log::SetAlertCaption(const std::string& caption) {
    AlertCaption() = caption;
}

int32_t fw_Log::GetAlertMode() {
    return gAlertMode.load();
}
void fw_Log::SetAlertMode(int32_t mode) {
    gAlertMode = mode;
}
int32_t fw_Log::GetAssertAlertMode() {
    return gAssertAlertMode.load();
}
void fw_Log::SetAssertAlertMode(int32_t mode) {
    gAssertAlertMode = mode;
}
int32_t fw_Log::GetAuxMode() {
    return gAuxMode.load();
}
void fw_Log::SetAuxMode(int32_t mode) {
    gAuxMode = mode;
}

void fw_Log::Alert(const char* text) {
    if (!text)
        text = "";
    const int32_t mode = gAlertMode.load();
    if (mode == kAlertsToConsole) {
        WriteConsoleAlert(text);
    } else if (mode == kAlertsToMessageBoxes) {
        const std::string caption = GetAlertCaption();
        fw_GetAlertPlatform().messageBox(nullptr, text, caption.c_str(), MB_ICONINFORMATION);
    }
}

void fw_Log::Alert(const std::string& text) {
    Alert(text.c_str());
}

void fw_Log::Alertf(const char* format, ...) {
    char text[kAlertLimit] = {};
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    Alert(text);
}

void fw_Log::TimedAlert(const char* text, float seconds) {
    if (!text)
        text = "";
    const int32_t mode = gAlertMode.load();
    if (mode == kAlertsToConsole) {
        WriteConsoleAlert(text);
    } else if (mode == kAlertsToMessageBoxes) {
        const std::string caption = GetAlertCaption();
        TimedMessageBox(text, caption.c_str(), SecondsToMilliseconds(seconds));
    }
}

void fw_Log::TimedAlertf(float seconds, const char* format, ...) {
    char text[kAlertLimit] = {};
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    TimedAlert(text, seconds);
}

void fw_ShowLoadIssueNotice(int32_t warningCount) {
    if (warningCount <= 0)
        return;
    const bool one = warningCount == 1;
    const std::string path = fw_Log::GetLogFilePath();
    fw_Log::TimedAlertf(20.0f,
                        "WARNING: There were %d issue%s found while loading resources, please look "
                        "in: <%s>\nfor details about %s issue%s and how to resolve %s.",
                        warningCount, one ? "" : "s", path.c_str(), one ? "this" : "these", one ? "" : "s",
                        one ? "it" : "them");
}

// --- the self-closing message box ------------------------------------------------------

int TimedMessageBox(const char* text, const char* caption, uint32_t milliseconds) {
    fw_CountdownRecord record;
    record.caption = caption ? caption : "";
    record.text = text ? text : "";
    record.boxStyle = MB_ICONINFORMATION;
    record.owner = nullptr;
    record.timeout = milliseconds;
    record.showCountdown = 1;
    return ShowCountdownMessageBox(&record);
}

namespace {

// "caption: seconds" in the title, the caption cut so that the seconds always fit.
void FormatCountdownTitle(fw_CountdownRecord* record) {
    const char* caption = record->caption ? record->caption : "";
    char* title = record->title;
    const size_t size = sizeof record->title;
    std::memset(title, 0, size);
    if (!record->showCountdown) {
        std::snprintf(title, size, "%s", caption);
        return;
    }
    char suffix[24];
    const int suffixLength = std::snprintf(suffix, sizeof suffix, ": %u", record->timeout / 1000u);
    const size_t room = size - 1 - static_cast<size_t>(suffixLength);
    const size_t captionLength = std::min(std::strlen(caption), room);
    std::memcpy(title, caption, captionLength);
    std::memcpy(title + captionLength, suffix, static_cast<size_t>(suffixLength) + 1);
}

}  // namespace

int ShowCountdownMessageBox(fw_CountdownRecord* record) {
    // The title is complete before the countdown thread can look for the box by it.
    FormatCountdownTitle(record);
    record->timedOut = 0;
    record->boxResult = 0;
    record->boxReturned = false;

    HANDLE thread = CreateThread(nullptr, 0, CountdownThreadProc, record, 0, nullptr);

    const int result = fw_GetAlertPlatform().messageBox(record->owner, record->text, record->title, record->boxStyle);
    record->boxResult = result;
    record->boxReturned = true;

    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    return record->timedOut.load() ? 0 : record->boxResult.load();
}

DWORD WINAPI CountdownThreadProc(LPVOID parameter) {
    fw_CountdownRecord* record = static_cast<fw_CountdownRecord*>(parameter);
    const fw_AlertPlatform& platform = fw_GetAlertPlatform();

    // The box is looked for by its first title, then kept by its handle: titles
    // change, and another window may carry the same text.
    char firstTitle[sizeof record->title];
    std::memcpy(firstTitle, record->title, sizeof firstTitle);
    char title[sizeof record->title];
    std::memcpy(title, record->title, sizeof title);

    const DWORD start = platform.getTickCount();
    DWORD lastTick = start;
    DWORD lastClose = start;
    HWND box = nullptr;
    bool closing = false;

    while (!record->boxReturned.load()) {
        if (!box)
            box = platform.findWindow(nullptr, firstTitle);
        const DWORD now = platform.getTickCount();
        if (!closing && static_cast<DWORD>(now - lastTick) >= 1000) {
            const DWORD elapsed = now - start;
            if (elapsed >= record->timeout) {
                record->timedOut = 1;
                closing = true;
                lastClose = now - 1000;
            } else if (record->showCountdown && box) {
                char* blank = std::strrchr(title, ' ');
                if (blank) {
                    const DWORD remaining = (record->timeout - elapsed + 999) / 1000;
                    const size_t offset = static_cast<size_t>(blank + 1 - title);
                    std::snprintf(blank + 1, sizeof title - offset, "%u", remaining);
                    platform.setWindowText(box, title);
                }
            }
            lastTick = platform.getTickCount();
        }
        // Close the box by its handle; until it is up (or while it stays up), try
        // again every second.
        if (closing && box && static_cast<DWORD>(now - lastClose) >= 1000) {
            platform.postMessage(box, WM_CLOSE, 0, 0);
            lastClose = now;
        }
        platform.sleep(5);
    }
    return 0;
}
