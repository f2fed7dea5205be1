#include "platform/dbghelp.h"

#include <backtrace.h>
#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <sys/uio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

std::mutex symbolsLock;
backtrace_state* symbols = nullptr;
DWORD options = SYMOPT_UNDNAME;

void IgnoreError(void*, const char*, int) {}

backtrace_state* Symbols() {
    // Under symbolsLock.
    if (!symbols)
        symbols = backtrace_create_state(nullptr, 1, IgnoreError, nullptr);
    return symbols;
}

// File names handed out by SymGetLineFromAddr stay valid for the process.
const char* Intern(const std::string& text) {
    static auto* names = new std::set<std::string>;
    return names->insert(text).first->c_str();
}

struct PcInfo {
    bool any = false;
    std::string innerFile;
    int innerLine = 0;
    std::string outerFunction;
};

int CollectPcInfo(void* data, uintptr_t, const char* file, int line, const char* function) {
    auto* info = static_cast<PcInfo*>(data);
    if (!info->any && file) {
        info->innerFile = file;
        info->innerLine = line;
    }
    if (function)
        info->outerFunction = function;
    info->any = info->any || file || function;
    return 0;
}

struct SymInfo {
    std::string name;
    uintptr_t value = 0;
    uintptr_t size = 0;
};

void CollectSymInfo(void* data, uintptr_t, const char* name, uintptr_t value, uintptr_t size) {
    auto* info = static_cast<SymInfo*>(data);
    if (name) {
        info->name = name;
        info->value = value;
        info->size = size;
    }
}

std::string Demangle(const std::string& name) {
    if (name.rfind("_Z", 0) != 0)
        return name;
    int status = 0;
    char* plain = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (status != 0 || !plain)
        return name;
    std::string result(plain);
    std::free(plain);
    return result;
}

// "ns::Type<int>::Run(int) const" -> "ns::Type<int>::Run", as undecorated names read.
std::string WithoutParameters(const std::string& name) {
    int angle = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (name.compare(i, 8, "operator") == 0) {
            size_t after = i + 8;
            if (name.compare(after, 2, "()") == 0) {
                i = after + 1;
                continue;
            }
            if (after < name.size() && (name[after] == '<' || name[after] == '>')) {
                i = after + (after + 1 < name.size() &&
                                     (name[after + 1] == '<' || name[after + 1] == '>' || name[after + 1] == '=')
                                 ? 1
                                 : 0);
                continue;
            }
        }
        if (c == '<')
            ++angle;
        else if (c == '>')
            angle = std::max(0, angle - 1);
        else if (c == '(' && angle == 0) {
            if (name.compare(i, 21, "(anonymous namespace)") == 0) {
                i += 20;
                continue;
            }
            return name.substr(0, i);
        }
    }
    return name;
}

// "unsigned long ns::Where<int>" -> "ns::Where<int>": template functions carry their
// return type in front.
std::string WithoutReturnType(const std::string& name) {
    int angle = 0, paren = 0;
    size_t cut = std::string::npos;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '<')
            ++angle;
        else if (c == '>')
            angle = std::max(0, angle - 1);
        else if (c == '(')
            ++paren;
        else if (c == ')')
            paren = std::max(0, paren - 1);
        else if (c == ' ' && angle == 0 && paren == 0 && !(i >= 8 && name.compare(i - 8, 8, "operator") == 0))
            cut = i;
    }
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

// The platform's start-up frames under the names the original platform gives them.
std::string PlatformName(const std::string& name) {
    static const char* const startup[] = {"_start", "__libc_start_main", "__libc_start_main_impl",
                                          "__libc_start_call_main"};
    for (const char* s : startup)
        if (name == s)
            return "mainCRTStartup";
    if (name == "start_thread" || name == "clone" || name == "clone3" || name == "__clone" || name == "__clone3")
        return "BaseThreadInitThunk";
    return name;
}

}  // namespace

void RtlCaptureContext(PCONTEXT context) {
    if (!context)
        return;
    void* frames[PLATFORM_CONTEXT_FRAMES + 1];
    int count = ::backtrace(frames, PLATFORM_CONTEXT_FRAMES + 1);
    std::memset(context, 0, sizeof *context);
    // The walk starts at the caller: skip this function's frames (and any of the
    // machinery behind backtrace, such as a sanitizer's).
    void* caller = __builtin_return_address(0);
    int first = 1;
    for (int i = 0; i < count; ++i)
        if (frames[i] == caller) {
            first = i;
            break;
        }
    int taken = std::max(0, std::min(count - first, PLATFORM_CONTEXT_FRAMES));
    for (int i = 0; i < taken; ++i)
        context->PlatformFrames[i] = reinterpret_cast<DWORD64>(frames[i + first]);
    context->PlatformFrameCount = static_cast<DWORD>(taken);
    context->Eip = taken > 0 ? context->PlatformFrames[0] : 0;
    context->Ebp = reinterpret_cast<DWORD64>(__builtin_frame_address(0));
    context->Esp = reinterpret_cast<DWORD64>(&frames[0]);
}

DWORD SymGetOptions() {
    std::lock_guard<std::mutex> guard(symbolsLock);
    return options;
}

DWORD SymSetOptions(DWORD newOptions) {
    std::lock_guard<std::mutex> guard(symbolsLock);
    options = newOptions;
    return options;
}

BOOL SymInitialize(HANDLE process, PCSTR, BOOL) {
    if (process != GetCurrentProcess() && reinterpret_cast<uintptr_t>(process) != GetCurrentProcessId()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(symbolsLock);
    if (!Symbols()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

BOOL SymCleanup(HANDLE) {
    return TRUE;
}

BOOL StackWalk(DWORD machineType, HANDLE, HANDLE, LPSTACKFRAME frame, PVOID contextRecord, PREAD_PROCESS_MEMORY_ROUTINE,
               PFUNCTION_TABLE_ACCESS_ROUTINE, PGET_MODULE_BASE_ROUTINE, PTRANSLATE_ADDRESS_ROUTINE) {
    auto* context = static_cast<PCONTEXT>(contextRecord);
    if (!frame || !context || (machineType != IMAGE_FILE_MACHINE_I386 && machineType != IMAGE_FILE_MACHINE_AMD64)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD64 index = frame->Reserved[0];
    if (index >= context->PlatformFrameCount || context->PlatformFrames[index] == 0) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    frame->AddrPC = ADDRESS{context->PlatformFrames[index], 0, AddrModeFlat};
    DWORD64 next = index + 1 < context->PlatformFrameCount ? context->PlatformFrames[index + 1] : 0;
    frame->AddrReturn = ADDRESS{next, 0, AddrModeFlat};
    // Frame addresses are not tracked here: a non-zero stand-in marks a valid frame.
    frame->AddrFrame = ADDRESS{context->Ebp + index + 1, 0, AddrModeFlat};
    frame->AddrStack = ADDRESS{context->Esp, 0, AddrModeFlat};
    std::memset(frame->Params, 0, sizeof frame->Params);
    frame->Reserved[0] = index + 1;
    return TRUE;
}

PVOID CALLBACK SymFunctionTableAccess(HANDLE, DWORD64) {
    return nullptr;
}

DWORD64 CALLBACK SymGetModuleBase(HANDLE, DWORD64 address) {
    Dl_info info;
    if (address == 0 || !::dladdr(reinterpret_cast<void*>(address), &info) || !info.dli_fbase)
        return 0;
    return reinterpret_cast<DWORD64>(info.dli_fbase);
}

BOOL SymFromAddr(HANDLE, DWORD64 address, PDWORD64 displacement, PSYMBOL_INFO symbol) {
    if (!symbol || symbol->MaxNameLen == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string name;
    DWORD64 start = 0, size = 0;
    {
        std::lock_guard<std::mutex> guard(symbolsLock);
        if (backtrace_state* state = Symbols()) {
            PcInfo pc;
            backtrace_pcinfo(state, static_cast<uintptr_t>(address), CollectPcInfo, IgnoreError, &pc);
            SymInfo sym;
            backtrace_syminfo(state, static_cast<uintptr_t>(address), CollectSymInfo, IgnoreError, &sym);
            // The symbol table has the full (mangled) name; debug information may have only the short one.
            name = !sym.name.empty() ? sym.name : pc.outerFunction;
            start = sym.value;
            size = sym.size;
        }
    }
    Dl_info info{};
    bool located = ::dladdr(reinterpret_cast<void*>(address), &info) != 0;
    if (name.empty() && located && info.dli_sname) {
        name = info.dli_sname;
        start = reinterpret_cast<DWORD64>(info.dli_saddr);
    }
    if (name.empty()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    name = PlatformName(WithoutReturnType(WithoutParameters(Demangle(name))));
    size_t n = std::min<size_t>(name.size(), symbol->MaxNameLen - 1);
    std::memcpy(symbol->Name, name.data(), n);
    symbol->Name[n] = 0;
    symbol->NameLen = static_cast<ULONG>(n);
    symbol->Address = start ? start : address;
    symbol->Size = static_cast<ULONG>(size);
    symbol->ModBase = located ? reinterpret_cast<ULONG64>(info.dli_fbase) : 0;
    if (displacement)
        *displacement = start && address >= start ? address - start : 0;
    return TRUE;
}

BOOL SymGetLineFromAddr(HANDLE, DWORD64 address, PDWORD displacement, PIMAGEHLP_LINE line) {
    if (!line) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(symbolsLock);
    backtrace_state* state = Symbols();
    PcInfo pc;
    if (state)
        backtrace_pcinfo(state, static_cast<uintptr_t>(address), CollectPcInfo, IgnoreError, &pc);
    if (pc.innerFile.empty() || pc.innerLine <= 0) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    line->FileName = const_cast<PCHAR>(Intern(pc.innerFile));
    line->LineNumber = static_cast<DWORD>(pc.innerLine);
    line->Address = address;
    if (displacement)
        *displacement = 0;
    return TRUE;
}

BOOL ReadProcessMemory(HANDLE process, LPCVOID baseAddress, LPVOID buffer, SIZE_T size, SIZE_T* bytesRead) {
    if (bytesRead)
        *bytesRead = 0;
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Read through the kernel, so an unmapped address fails instead of faulting.
    iovec local{buffer, size};
    iovec remote{const_cast<void*>(baseAddress), size};
    ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    if (n < 0 || static_cast<SIZE_T>(n) != size) {
        if (bytesRead && n > 0)
            *bytesRead = static_cast<SIZE_T>(n);
        SetLastError(ERROR_INVALID_ADDRESS);  // partial copy
        return FALSE;
    }
    if (bytesRead)
        *bytesRead = size;
    return TRUE;
}
