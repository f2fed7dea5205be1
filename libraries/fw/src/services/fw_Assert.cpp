#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <boost/filesystem.hpp>

#include "fw_CallStack.h"
#include "fw_Framework.h"
#include "fw_Lock.h"
#include "fw_Log.h"

namespace {

constexpr size_t kTextLimit = 16256;

bool gDetailToLog = false;
bool gDetailToStdout = false;

fw_CriticalSection& AssertLock() {
    static fw_CriticalSection lock;
    return lock;
}

// Restores the log echo flag when the report ends, however it ends.
class EchoGuard {
public:
    EchoGuard() : mSaved(fw_Log::SetEcho(false)) {}
    ~EchoGuard() { Restore(); }
    void Restore() {
        if (!mRestored)
            fw_Log::SetEcho(mSaved);
        mRestored = true;
    }

private:
    bool mSaved;
    bool mRestored = false;
};

}  // namespace

std::vector<std::string>& fw_Log::AssertTraces() {
    static std::vector<std::string> traces;
    return traces;
}

void fw_Log::PushAssertTrace(const char* format, ...) {
    char text[kTextLimit] = {};
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    AssertTraces().emplace_back(text);
}

void fw_Log::PopAssertTrace() {
    std::vector<std::string>& traces = AssertTraces();
    if (!traces.empty())
        traces.pop_back();
}

void fw_Log::PrintAssertDetail(int indent, const char* text) {
    if (!text)
        text = "";
    if (indent < 0)
        indent = 0;
    if (indent > 19)
        indent = 19;
    char blanks[20];
    std::memset(blanks, ' ', static_cast<size_t>(indent));
    blanks[indent] = '\0';
    if (gDetailToStdout) {
        std::fputs(blanks, stdout);
        std::fputs(text, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (gDetailToLog)
        Write(kPlain, "%s%s", blanks, text);
}

void fw_Log::PrintLastWindowsError() {
    const DWORD error = GetLastError();
    if (error == 0)
        return;
    char message[1025] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), message, 1024, nullptr);
    message[1024] = '\0';
    // Line ends ("\r\n" from the system) become blanks.
    for (char* c = message; *c; ++c) {
        if (*c == '\n' || *c == '\r')
            *c = ' ';
    }
    char line[1100];
    std::snprintf(line, sizeof line, "Last Windows error: %s", message);
    PrintAssertDetail(2, line);
}

// The optional message joins the report when its format is at least two characters
// long and does not begin with a blank: the format, not the formatted text, decides,
// so a "%d" or "%s" message is always shown whatever its arguments expand to.
void fw_Log::AssertFailed(const char* expression, const char* file, int line, const char* format, ...) {
    fw_ScopedLock lock(&AssertLock());

    char text[kTextLimit];
    int used =
        std::snprintf(text, sizeof text, "%s(%d) : assert: '%s'", file ? file : "", line, expression ? expression : "");
    if (used < 0)
        used = 0;
    if (format && format[0] != '\0' && format[1] != '\0' && format[0] != ' ' &&
        static_cast<size_t>(used) + 3 < sizeof text) {
        std::memcpy(text + used, " : ", 4);
        used += 3;
        va_list args;
        va_start(args, format);
        std::vsnprintf(text + used, sizeof text - used, format, args);
        va_end(args);
    }

    EchoGuard echo;
    gDetailToStdout = true;
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);

    gDetailToLog = !GetLogFilePath().empty();
    if (gDetailToLog)
        Write(kError, "%s", text);

    PrintLastWindowsError();

    const std::vector<std::string>& traces = AssertTraces();
    if (!traces.empty()) {
        PrintAssertDetail(2, "Assert traces (most recent call first):");
        for (auto trace = traces.rbegin(); trace != traces.rend(); ++trace)
            PrintAssertDetail(4, trace->c_str());
    }

    gDetailToStdout = !(IsDebuggerAttached() && gDetailToLog);
    PrintAssertDetail(2, "Call stack:");
    PrintCallStack();
    echo.Restore();

    boost::system::error_code error;
    if (boost::filesystem::exists(fw_Framework::MakeFinalMarkerPath(), error)) {
        TimedAlert(text, 60.0f);
        throw std::runtime_error("Assert");
    }

    SetLastError(0);
    if (GetAssertAlertMode() == kAlertsToMessageBoxes)
        Alert(text);
}
