#include "platform/dbghelp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Frame {
    DWORD64 pc;
    std::string function;
    std::string file;
    DWORD line = 0;
    std::string module;
};

PFN_GetModuleBaseNameA ModuleBaseName() {
    static HMODULE psapi = LoadLibraryA("psapi.dll");
    return psapi ? reinterpret_cast<PFN_GetModuleBaseNameA>(GetProcAddress(psapi, "GetModuleBaseNameA")) : nullptr;
}

// Walks the stack the way the framework's report does.
std::vector<Frame> Walk(const CONTEXT& captured) {
    CONTEXT context = captured;
    HANDLE process = GetCurrentProcess();
    EXPECT_TRUE(SymInitialize(process, nullptr, TRUE));
    SymSetOptions(SymGetOptions() | SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES);
    STACKFRAME frame{};
    frame.AddrPC = ADDRESS{context.Eip, 0, AddrModeFlat};
    frame.AddrFrame = ADDRESS{context.Ebp, 0, AddrModeFlat};
    frame.AddrStack = ADDRESS{context.Esp, 0, AddrModeFlat};
    std::vector<Frame> frames;
    while (StackWalk(IMAGE_FILE_MACHINE_I386, process, GetCurrentThread(), &frame, &context, nullptr,
                     SymFunctionTableAccess, SymGetModuleBase, nullptr) &&
           frame.AddrFrame.Offset != 0) {
        Frame f;
        f.pc = frame.AddrPC.Offset;
        alignas(SYMBOL_INFO) char storage[sizeof(SYMBOL_INFO) + MAX_SYM_NAME];
        auto* symbol = reinterpret_cast<SYMBOL_INFO*>(storage);
        symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
        symbol->MaxNameLen = MAX_SYM_NAME;
        DWORD64 displacement = 0;
        if (SymFromAddr(process, f.pc, &displacement, symbol))
            f.function = symbol->Name;
        IMAGEHLP_LINE line{};
        line.SizeOfStruct = sizeof line;
        DWORD lineDisplacement = 0;
        if (SymGetLineFromAddr(process, f.pc - 1, &lineDisplacement, &line)) {
            f.file = line.FileName;
            f.line = line.LineNumber;
        }
        char module[256] = {};
        if (auto baseName = ModuleBaseName())
            if (baseName(process, reinterpret_cast<HMODULE>(SymGetModuleBase(process, f.pc)), module, sizeof module))
                f.module = module;
        frames.push_back(f);
        if (frames.size() > 200)
            break;
    }
    return frames;
}

int captureLine = 0;

__attribute__((noinline)) CONTEXT InnerCapture() {
    CONTEXT context;
    captureLine = __LINE__ + 1;
    RtlCaptureContext(&context);
    asm volatile("" ::: "memory");
    return context;
}

__attribute__((noinline)) CONTEXT OuterCapture() {
    CONTEXT context = InnerCapture();
    asm volatile("" ::: "memory");
    return context;
}

size_t IndexOf(const std::vector<Frame>& frames, const std::string& name) {
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].function == name)
            return i;
    return frames.size();
}

TEST(StackWalk, NamesTheCallersInOrderAndEndsAtTheStartUp) {
    std::vector<Frame> frames = Walk(OuterCapture());
    ASSERT_GE(frames.size(), 4u);
    EXPECT_EQ("(anonymous namespace)::InnerCapture", frames[0].function);
    size_t outer = IndexOf(frames, "(anonymous namespace)::OuterCapture");
    ASSERT_LT(outer, frames.size());
    EXPECT_EQ(1u, outer);
    size_t main = IndexOf(frames, "main");
    size_t startup = IndexOf(frames, "mainCRTStartup");
    ASSERT_LT(main, frames.size());
    ASSERT_LT(startup, frames.size());
    EXPECT_LT(outer, main);
    EXPECT_LT(main, startup);
    EXPECT_EQ("platform_dbghelp_tests", frames[0].module);
    EXPECT_EQ("platform_dbghelp_tests", frames[main].module);
    EXPECT_NE(frames[0].module, frames[startup].module);  // the C runtime's own module
}

#ifdef PLATFORM_TESTS_HAVE_LINES
TEST(StackWalk, GivesSourceFileAndLine) {
    std::vector<Frame> frames = Walk(OuterCapture());
    ASSERT_FALSE(frames.empty());
    EXPECT_NE(std::string::npos, frames[0].file.find("dbghelp_tests.cpp")) << frames[0].file;
    EXPECT_EQ(static_cast<DWORD>(captureLine), frames[0].line);
}
#endif

TEST(StackWalk, AWalkEndsAndStaysEnded) {
    CONTEXT context = InnerCapture();
    STACKFRAME frame{};
    DWORD steps = 0;
    while (StackWalk(IMAGE_FILE_MACHINE_I386, GetCurrentProcess(), GetCurrentThread(), &frame, &context, nullptr,
                     nullptr, nullptr, nullptr))
        ++steps;
    EXPECT_EQ(context.PlatformFrameCount, steps);
    EXPECT_FALSE(StackWalk(IMAGE_FILE_MACHINE_I386, GetCurrentProcess(), GetCurrentThread(), &frame, &context, nullptr,
                           nullptr, nullptr, nullptr));
}

namespace names {
struct Widget {
    template <class T>
    __attribute__((noinline)) DWORD64 Where(T) const {
        CONTEXT context;
        RtlCaptureContext(&context);
        asm volatile("" ::: "memory");
        return context.Eip;
    }
};
}  // namespace names

TEST(Symbols, MemberTemplatesLoseOnlyTheirParameterList) {
    DWORD64 pc = names::Widget{}.Where(3);
    alignas(SYMBOL_INFO) char storage[sizeof(SYMBOL_INFO) + 256];
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(storage);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = 256;
    DWORD64 displacement = 0;
    ASSERT_TRUE(SymFromAddr(GetCurrentProcess(), pc, &displacement, symbol));
    EXPECT_STREQ("(anonymous namespace)::names::Widget::Where<int>", symbol->Name);
    EXPECT_GT(displacement, 0u);
    EXPECT_EQ(pc, symbol->Address + displacement);
}

TEST(Symbols, UnknownAddressesFail) {
    alignas(SYMBOL_INFO) char storage[sizeof(SYMBOL_INFO) + 64];
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(storage);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = 64;
    EXPECT_FALSE(SymFromAddr(GetCurrentProcess(), 16, nullptr, symbol));
    IMAGEHLP_LINE line{};
    EXPECT_FALSE(SymGetLineFromAddr(GetCurrentProcess(), 16, nullptr, &line));
    EXPECT_EQ(0u, SymGetModuleBase(GetCurrentProcess(), 16));
    char name[64];
    ASSERT_NE(nullptr, ModuleBaseName());
    EXPECT_EQ(0u, ModuleBaseName()(GetCurrentProcess(), reinterpret_cast<HMODULE>(16), name, sizeof name));
}

TEST(Memory, ReadProcessMemoryCopiesAndRefusesUnmappedAddresses) {
    const char text[] = "stack";
    char copy[sizeof text] = {};
    SIZE_T read = 0;
    EXPECT_TRUE(ReadProcessMemory(GetCurrentProcess(), text, copy, sizeof text, &read));
    EXPECT_EQ(sizeof text, read);
    EXPECT_STREQ("stack", copy);
    EXPECT_FALSE(ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(16), copy, 4, &read));
    EXPECT_EQ(0u, read);
}

}  // namespace
