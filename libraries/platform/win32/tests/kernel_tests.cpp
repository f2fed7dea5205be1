#include "platform/win32.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(Clocks, PerformanceCounterIsMonotonicAndMatchesSleep) {
    LARGE_INTEGER frequency, a, b;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_GT(frequency.QuadPart, 1000000);
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    DWORD ticks = GetTickCount();
    Sleep(50);
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    double seconds = double(b.QuadPart - a.QuadPart) / double(frequency.QuadPart);
    EXPECT_GE(seconds, 0.049);
    EXPECT_LT(seconds, 1.0);
    DWORD elapsed = GetTickCount() - ticks;
    EXPECT_GE(elapsed, 49u);
    EXPECT_LT(elapsed, 1000u);
}

TEST(Clocks, LocalTimeIsACalendarDate) {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    EXPECT_GE(t.wYear, 2020);
    EXPECT_GE(t.wMonth, 1);
    EXPECT_LE(t.wMonth, 12);
    EXPECT_GE(t.wDay, 1);
    EXPECT_LE(t.wDay, 31);
    EXPECT_LE(t.wHour, 23);
    EXPECT_LE(t.wMilliseconds, 999);
}

DWORD WINAPI ReturnParam(LPVOID param) {
    Sleep(30);
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(param));
}

TEST(Threads, CreateWaitExitCodeAndClose) {
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ReturnParam, reinterpret_cast<LPVOID>(uintptr_t{77}), 0, &id);
    ASSERT_NE(nullptr, thread);
    EXPECT_NE(0u, id);
    EXPECT_NE(GetCurrentThreadId(), id);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(77u, code);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(thread, 0));
}

struct LockProbe {
    CRITICAL_SECTION section;
    std::atomic<bool> entered{false};
};

DWORD WINAPI EnterAndLeave(LPVOID param) {
    auto* probe = static_cast<LockProbe*>(param);
    EnterCriticalSection(&probe->section);
    probe->entered = true;
    LeaveCriticalSection(&probe->section);
    return 0;
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    LockProbe probe;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&probe.section, 4096));
    EnterCriticalSection(&probe.section);
    EnterCriticalSection(&probe.section);  // the owner enters again without blocking
    EXPECT_TRUE(TryEnterCriticalSection(&probe.section));
    HANDLE other = CreateThread(nullptr, 0, EnterAndLeave, &probe, 0, nullptr);
    ASSERT_NE(nullptr, other);
    LeaveCriticalSection(&probe.section);
    LeaveCriticalSection(&probe.section);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(other, 100));
    EXPECT_FALSE(probe.entered);  // still held once
    LeaveCriticalSection(&probe.section);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other, 5000));
    EXPECT_TRUE(probe.entered);
    CloseHandle(other);
    DeleteCriticalSection(&probe.section);
}

TEST(Errors, LastErrorIsPerThreadAndFormatsAsText) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    HANDLE other = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return GetLastError(); }, nullptr, 0, nullptr);
    WaitForSingleObject(other, INFINITE);
    DWORD otherError = 1;
    GetExitCodeThread(other, &otherError);
    CloseHandle(other);
    EXPECT_EQ(0u, otherError);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    char text[256];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    EXPECT_STREQ("The system cannot find the file specified.\r\n", text);
    EXPECT_EQ(std::strlen(text), n);

    char* allocated = nullptr;
    n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_MOD_NOT_FOUND, 0,
                       reinterpret_cast<LPSTR>(&allocated), 0, nullptr);
    ASSERT_NE(nullptr, allocated);
    EXPECT_STREQ("The specified module could not be found.\r\n", allocated);
    LocalFree(allocated);

    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 999999, 0, text, sizeof text, nullptr));
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, text, 5, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(Debugger, NotAttachedUnderTheTestRunner) {
    // The test runs untraced unless someone debugs it.
    std::ifstream status("/proc/self/status");
    std::string line;
    bool traced = false;
    while (std::getline(status, line))
        if (line.rfind("TracerPid:", 0) == 0)
            traced = std::stoi(line.substr(10)) != 0;
    EXPECT_EQ(traced, IsDebuggerPresent() != FALSE);
}

class Files : public testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("win32_files_" + std::to_string(::getpid()) + "_" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(Files, CurrentDirectoryReportsLengthAndNeededSize) {
    fs::path previous = fs::current_path();
    fs::current_path(root);
    char buffer[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
    EXPECT_EQ(fs::canonical(root).string(), std::string(buffer));
    EXPECT_EQ(std::strlen(buffer), n);
    char small[2];
    EXPECT_EQ(n + 1, GetCurrentDirectoryA(sizeof small, small));
    fs::current_path(previous);
}

TEST_F(Files, CreateDirectoryFailsWhenPresentOrParentMissing) {
    std::string folder = (root / "data").string();
    EXPECT_TRUE(CreateDirectoryA((folder + "/").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(CreateDirectoryA((root / "no" / "such").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY),
              GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Files, AttributesOfFilesFoldersAndMissingNames) {
    std::ofstream(root / ".final") << "";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root / ".final").c_str()));
    EXPECT_EQ(0u, GetFileAttributesA((root / ".final").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root / "absent").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(Files, CreateReadSizeAndCaseFallback) {
    fs::create_directories(root / "Shaders");
    std::ofstream(root / "Shaders" / "Fw_Globals.fxi") << "float Time;";
    std::string asked = root.string() + "\\shaders\\fw_globals.fxi";
    HANDLE file = CreateFileA(asked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD high = 1;
    EXPECT_EQ(11u, GetFileSize(file, &high));
    EXPECT_EQ(0u, high);
    char text[32] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
    EXPECT_EQ(11u, read);
    EXPECT_STREQ("float Time;", text);
    EXPECT_TRUE(CloseHandle(file));

    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA((root / "none.fx").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    // Only regular files open: a pipe would block, a device never ends.
    const std::string pipe = (root / "pipe").string();
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    for (const std::string& other : {pipe, std::string("/dev/zero")}) {
        for (const DWORD access : {DWORD(GENERIC_READ), DWORD(GENERIC_WRITE)})
            for (const DWORD disposition : {DWORD(OPEN_EXISTING), DWORD(OPEN_ALWAYS)}) {
                EXPECT_EQ(INVALID_HANDLE_VALUE,
                          CreateFileA(other.c_str(), access, 0, nullptr, disposition, 0, nullptr));
                EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << other;
            }
    }
}

TEST_F(Files, WriteThenReadBack) {
    std::string path = (root / "out.bin").string();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "abcdef", 6, &written, nullptr));
    EXPECT_EQ(6u, written);
    CloseHandle(file);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(3u, SetFilePointer(file, 3, nullptr, FILE_BEGIN));
    char text[8] = {};
    DWORD read = 0;
    ReadFile(file, text, 8, &read, nullptr);
    EXPECT_STREQ("def", text);
    CloseHandle(file);
}

TEST_F(Files, FindFirstFileGivesTheOnDiskSpelling) {
    std::ofstream(root / "Caleidoscope.CPP") << "x";
    std::ofstream(root / "other.txt") << "y";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((root / "caleidoscope.cpp").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_STREQ("Caleidoscope.CPP", data.cFileName);
    EXPECT_EQ(1u, data.nFileSizeLow);
    EXPECT_FALSE(FindNextFileA(find, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    EXPECT_TRUE(FindClose(find));

    find = FindFirstFileA((root / "*.txt").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_STREQ("other.txt", data.cFileName);
    FindClose(find);
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((root / "*.none").c_str(), &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

}  // namespace
