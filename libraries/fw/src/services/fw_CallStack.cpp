#include "fw_CallStack.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "fw_Lock.h"
#include "fw_Log.h"
#include "platform/dbghelp.h"
#include "platform/win32.h"

namespace {

constexpr size_t kTextLimit = 16256;
constexpr size_t kLineLimit = 8192;

// Symbol state of the walk.
HANDLE gProcess = nullptr;
HANDLE gThread = nullptr;
HANDLE gSymbolsProcess = nullptr;
fw_StackLineSink gSink = nullptr;

PFN_GetModuleBaseNameA gGetModuleBaseName = nullptr;
const char* gPsapiError = nullptr;

// Reads memory of the walked process.
BOOL CALLBACK ReadWalkedMemory(HANDLE process, DWORD64 address, PVOID buffer, DWORD size, LPDWORD bytesRead) {
    SIZE_T read = 0;
    const BOOL ok =
        ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), buffer, size, &read);
    if (bytesRead)
        *bytesRead = static_cast<DWORD>(read);
    return ok;
}

fw_CriticalSection& PrintLock() {
    static fw_CriticalSection lock;
    return lock;
}

fw_CriticalSection& SearchLock() {
    static fw_CriticalSection lock;
    return lock;
}

void EmitStackLine(const char* format, ...) FW_PRINTF(1, 2);
void EmitStackLine(const char* format, ...) {
    char text[kTextLimit] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (gSink) {
        gSink(text);
    } else {
        std::fputs(text, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

bool InitSymbols() {
    if (gSymbolsProcess == gProcess && gProcess != nullptr)
        return true;
    SymSetOptions(SymGetOptions() | SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES);
    if (!SymInitialize(gProcess, nullptr, TRUE)) {
        EmitStackLine("<SymInitialize(), error: %d>", static_cast<int>(GetLastError()));
        return false;
    }
    gSymbolsProcess = gProcess;
    return true;
}

std::vector<std::string> SplitNames(const char* names) {
    std::vector<std::string> parts;
    if (!names)
        return parts;
    const char* start = names;
    for (const char* c = names;; ++c) {
        if (*c == ';' || *c == '\0') {
            if (c > start)
                parts.emplace_back(start, c);
            if (*c == '\0')
                break;
            start = c + 1;
        }
    }
    return parts;
}

class fw_StackWalker {
public:
    explicit fw_StackWalker(const char* target, const char* namesToSkip)
        : mTarget(target), mNamesToSkip(namesToSkip ? namesToSkip : "") {
        std::memset(&mFrame, 0, sizeof mFrame);
        mLine[0] = '\0';
    }
    ~fw_StackWalker() = default;

    void Walk(CONTEXT* context, int skip) {
        InitFrame(context);
        mLength = 0;
        mLine[0] = '\0';
        if (mTarget)
            mSkipNames = SplitNames(mNamesToSkip.c_str());
        int index = 0;
        while (Step(context)) {
            if (index >= skip)
                EmitStackLine("%s", mLine);
            ++index;
            mLength = 0;
            mLine[0] = '\0';
        }
    }

    const std::string& Result() const { return mResult; }

private:
    void InitFrame(const CONTEXT* context) {
        std::memset(&mFrame, 0, sizeof mFrame);
        mFrame.AddrPC.Offset = context->Eip;
        mFrame.AddrPC.Mode = AddrModeFlat;
        mFrame.AddrFrame.Offset = context->Ebp;
        mFrame.AddrFrame.Mode = AddrModeFlat;
        mFrame.AddrStack.Offset = context->Esp;
        mFrame.AddrStack.Mode = AddrModeFlat;
    }

    // One frame; false ends the walk.
    bool Step(CONTEXT* context) {
        if (!StackWalk(IMAGE_FILE_MACHINE_AMD64, gProcess, gThread, &mFrame, context, ReadWalkedMemory,
                       SymFunctionTableAccess, SymGetModuleBase, nullptr))
            return false;
        if (mFrame.AddrFrame.Offset == 0)
            return false;
        if (!mTarget) {
            AppendFileAndLine();
            Append(" : ");
        }
        if (AppendFunctionName())
            return false;
        if (!mTarget) {
            Append("  ");
            AppendParams();
            Append(", ");
            AppendModuleName();
        }
        return true;
    }

    void Append(const char* format, ...) FW_PRINTF(2, 3) {
        if (mLength >= kLineLimit)
            return;
        va_list args;
        va_start(args, format);
        const int written = std::vsnprintf(mLine + mLength, kLineLimit - mLength, format, args);
        va_end(args);
        if (written < 0 || static_cast<size_t>(written) >= kLineLimit - mLength) {
            mLength = kLineLimit;
            mLine[kLineLimit - 1] = '\0';
        } else {
            mLength += static_cast<size_t>(written);
        }
    }

    void AppendFileAndLine() {
        IMAGEHLP_LINE line;
        std::memset(&line, 0, sizeof line);
        line.SizeOfStruct = sizeof line;
        DWORD displacement = 0;
        if (!SymGetLineFromAddr(gProcess, mFrame.AddrPC.Offset - 1, &displacement, &line) || !line.FileName) {
            Append("<filename unavailable>");
            return;
        }
        // The file's name as it lies on disk, else the path the symbols hold.
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA(line.FileName, &found);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            Append("%s(%d)", found.cFileName, static_cast<int>(line.LineNumber));
        } else {
            Append("%s(%d)", line.FileName, static_cast<int>(line.LineNumber));
        }
    }

    // True when the walk must stop at this frame.
    bool AppendFunctionName() {
        alignas(SYMBOL_INFO) char storage[sizeof(SYMBOL_INFO) + 1024];
        std::memset(storage, 0, sizeof storage);
        SYMBOL_INFO* symbol = reinterpret_cast<SYMBOL_INFO*>(storage);
        symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
        symbol->MaxNameLen = 1024;
        DWORD64 displacement = 0;
        if (!SymFromAddr(gProcess, mFrame.AddrPC.Offset, &displacement, symbol)) {
            Append("<SymFromAddr(), error: %d>", static_cast<int>(GetLastError()));
            return false;
        }
        const std::string name = symbol->Name;
        if (!mTarget) {
            Append("%s()", name.c_str());
            const std::vector<std::string>& stops = fw_StackStopList();
            return std::find(stops.begin(), stops.end(), name) != stops.end();
        }
        if (!mFound) {
            mFound = name == mTarget;
            return false;
        }
        if (fw_MatchesSkipName(name, mSkipNames)) {
            mResult.clear();  // skipped: not the caller we look for
            return false;
        }
        mResult = name;
        return true;
    }

    void AppendParams() {
        Append("(0x%08llx, 0x%08llx, 0x%08llx, 0x%08llx)", static_cast<unsigned long long>(mFrame.Params[0]),
               static_cast<unsigned long long>(mFrame.Params[1]), static_cast<unsigned long long>(mFrame.Params[2]),
               static_cast<unsigned long long>(mFrame.Params[3]));
    }

    void AppendModuleName() {
        if (!gGetModuleBaseName && !gPsapiError) {
            HMODULE psapi = LoadLibraryA("psapi.dll");
            if (!psapi)
                gPsapiError = "<Could not load psapi.dll>";
            else if (!(gGetModuleBaseName = reinterpret_cast<PFN_GetModuleBaseNameA>(
                           reinterpret_cast<void*>(GetProcAddress(psapi, "GetModuleBaseNameA")))))
                gPsapiError = "<Could not find GetModuleBaseNameA()>";
        }
        if (!gGetModuleBaseName) {
            Append("%s", gPsapiError);
            return;
        }
        const DWORD64 base = SymGetModuleBase(gProcess, mFrame.AddrPC.Offset);
        char name[257] = {};
        if (base == 0 ||
            gGetModuleBaseName(gProcess, reinterpret_cast<HMODULE>(static_cast<uintptr_t>(base)), name, 256) == 0) {
            Append("<module unavailable>");
            return;
        }
        Append("%s", name);
    }

    STACKFRAME mFrame;
    char mLine[kLineLimit];
    size_t mLength = 0;
    const char* mTarget;
    std::string mNamesToSkip;
    std::vector<std::string> mSkipNames;
    bool mFound = false;
    std::string mResult;
};

std::string CaptureStack(fw_StackLineSink sink, CONTEXT* context, int skip, const char* target,
                         const char* namesToSkip) {
    gSink = sink;
    gProcess = GetCurrentProcess();
    gThread = GetCurrentThread();
    if (!InitSymbols())
        return std::string();
    fw_StackWalker walker(target, namesToSkip);
    walker.Walk(context, skip);
    return walker.Result();
}

}  // namespace

const std::vector<std::string>& fw_StackStopList() {
    static const std::vector<std::string> stops = {
        "mainCRTStartup", "BaseThreadInitThunk", "GetModuleHandleA", "FindWindowA", "RegisterWaitForInputIdle",
        "__tmainCRTStartup",
        // The start-up of programs and threads of the C runtime on this platform.
        "__libc_start_main", "__libc_start_call_main", "_start", "start_thread", "clone", "clone3"};
    return stops;
}

bool fw_MatchesSkipName(const std::string& name, const std::vector<std::string>& skipNames) {
    for (const std::string& skip : skipNames) {
        if (!skip.empty() && skip.back() == '*') {
            if (name.compare(0, skip.size() - 1, skip, 0, skip.size() - 1) == 0)
                return true;
        } else if (name == skip) {
            return true;
        }
    }
    return false;
}

bool IsDebuggerAttached() {
    return IsDebuggerPresent() != 0;
}

void PrintStackLine(const char* line) {
    fw_Log::PrintAssertDetail(4, line);
}

void DiscardStackLine(const char*) {}

void PrintCallStack() {
    fw_ScopedLock lock(&PrintLock());
    CONTEXT context;
    std::memset(&context, 0, sizeof context);
    RtlCaptureContext(&context);
    CaptureStack(PrintStackLine, &context, 1, nullptr, nullptr);
}

std::string FindCallerName(const char* target, const char* namesToSkip) {
    fw_ScopedLock lock(&SearchLock());
    CONTEXT context;
    std::memset(&context, 0, sizeof context);
    RtlCaptureContext(&context);
    return CaptureStack(DiscardStackLine, &context, 0, target ? target : "", namesToSkip);
}

void ZeroFill16(void* record) {
    std::memset(record, 0, 16);
}
