#pragma once
// The framework's log: time-stamped lines with a severity, counted by severity, sent to
// standard output, a log file, or shown as alerts; plain and self-closing alerts.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/win32.h"

#if defined(__GNUC__)
#define FW_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define FW_PRINTF(fmt, args)
#endif

class fw_Log {
public:
    // Levels of Write. Warnings and errors are counted, their lines begin "WARNING: " and
    // "ERROR: ", and with neither a log file nor echo they go to Alert.
    enum Level : int {
        kPlain = 0,
        kWarning = 1,
        kError = 2,
    };
    // Where Alert sends its text (SetAlertMode, SetAssertAlertMode); a mode other than the
    // first two drops it.
    enum AlertMode : int32_t {
        kAlertsToConsole = 0,  // standard output, after the caption
        kAlertsToMessageBoxes = 1,
        kAlertsDropped = 2,
    };

    static void Write(Level level, const char* format, ...) FW_PRINTF(2, 3);
    static int32_t GetWarningCount();
    static int32_t GetErrorCount();
    // Returns the previous value.
    static bool SetEcho(bool echo);
    static bool GetEcho();
    // An empty path closes the log file; otherwise opens it for appending.
    static void OpenLogFile(const std::string& path);
    static std::string GetLogFilePath();
    static bool IsLogFileRegular();

    // "Alert" whenever the caption is empty.
    static std::string GetAlertCaption();
    static void SetAlertCaption(const std::string& caption);
    // An AlertMode.
    static int32_t GetAlertMode();
    static void SetAlertMode(int32_t mode);
    static int32_t GetAssertAlertMode();
    static void SetAssertAlertMode(int32_t mode);
    static int32_t GetAuxMode();
    static void SetAuxMode(int32_t mode);

    static void Alert(const char* text);
    static void Alert(const std::string& text);
    static void Alertf(const char* format, ...) FW_PRINTF(1, 2);
    // An alert that closes itself after the given seconds (message-box mode).
    static void TimedAlert(const char* text, float seconds);
    static void TimedAlertf(float seconds, const char* format, ...) FW_PRINTF(2, 3);

    // --- assertions (fw_Assert.cpp) ------------------------------------------------
    // The report: where, what, the optional message, the last Windows error, the
    // traces and the call stack. In the final layout it also shows the report for 60
    // seconds and throws std::runtime_error("Assert").
    static void AssertFailed(const char* expression, const char* file, int line, const char* format = nullptr, ...)
        FW_PRINTF(4, 5);
    static void PushAssertTrace(const char* format, ...) FW_PRINTF(1, 2);
    static void PopAssertTrace();
    static std::vector<std::string>& AssertTraces();
    static void PrintAssertDetail(int indent, const char* text);
    static void PrintLastWindowsError();
};

// The load-issue notice for n warnings: a 20-second self-closing alert, shown by the
// run loop when there were warnings and the show is not fullscreen.
void fw_ShowLoadIssueNotice(int32_t warningCount);

// The time stamp of a log line: "2013-Sep-14 13:25:05.123".
std::string fw_FormatLogTimeStamp(const std::tm& local, int milliseconds);

// One self-closing message box, shared by the showing thread and its countdown thread.
struct fw_CountdownRecord {
    const char* caption = nullptr;
    const char* text = nullptr;
    uint32_t boxStyle = MB_ICONINFORMATION;
    HWND owner = nullptr;
    uint32_t timeout = 0;  // milliseconds
    std::atomic<int32_t> timedOut{0};
    int32_t showCountdown = 1;
    std::atomic<int32_t> boxResult{0};
    char title[80] = {};
    // Set once the message box has returned, whatever it returned.
    std::atomic<bool> boxReturned{false};
};

// Returns 0 when the box timed out, else the button that closed it.
int TimedMessageBox(const char* text, const char* caption, uint32_t milliseconds);
int ShowCountdownMessageBox(fw_CountdownRecord* record);
DWORD WINAPI CountdownThreadProc(LPVOID record);
// The local calendar time of a 64-bit time value.
std::tm ToLocalTime(int64_t time);

// What the alerts call on the platform; tests replace entries to run the countdown on
// a virtual clock or against a recording message box.
struct fw_AlertPlatform {
    int (*messageBox)(HWND owner, const char* text, const char* caption, UINT style);
    HWND (*findWindow)(const char* className, const char* title);
    BOOL (*setWindowText)(HWND window, const char* text);
    BOOL (*postMessage)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    DWORD (*getTickCount)();
    void (*sleep)(DWORD milliseconds);
};
fw_AlertPlatform& fw_GetAlertPlatform();
// The platform's own functions.
fw_AlertPlatform fw_DefaultAlertPlatform();
