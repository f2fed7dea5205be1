// kernel32 over POSIX: clocks, threads, critical sections, files, errors, modules.
#include "platform/win32.h"
#include "platform/crt.h"
#include "platform/regular_file.h"
#include "kernel_objects.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

thread_local DWORD lastError = 0;

// ---- kernel object table --------------------------------------------------------------

std::mutex& ObjectsLock() {
    static std::mutex lock;
    return lock;
}
std::map<HANDLE, std::shared_ptr<PlatformKernelObject>>& Objects() {
    static auto* objects = new std::map<HANDLE, std::shared_ptr<PlatformKernelObject>>;
    return *objects;
}

HANDLE AddObject(std::shared_ptr<PlatformKernelObject> object) {
    HANDLE handle = object.get();
    std::lock_guard<std::mutex> guard(ObjectsLock());
    Objects()[handle] = std::move(object);
    return handle;
}

template <class T>
std::shared_ptr<T> FindObject(HANDLE handle) {
    std::lock_guard<std::mutex> guard(ObjectsLock());
    auto found = Objects().find(handle);
    if (found == Objects().end())
        return nullptr;
    return std::dynamic_pointer_cast<T>(found->second);
}

struct ThreadObject : PlatformKernelObject {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD id = 0;
};

struct FileObject : PlatformKernelObject {
    int fd = -1;
    ~FileObject() override {
        if (fd >= 0)
            ::close(fd);
    }
};

struct FindObjectState : PlatformKernelObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

// ---- errors ---------------------------------------------------------------------------

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOSPC:
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_INVALID_PARAMETER;
    }
}

const char* SystemMessage(DWORD code) {
    switch (code) {
        case 0:
            return "The operation completed successfully.\r\n";
        case 1:
            return "Incorrect function.\r\n";
        case 2:
            return "The system cannot find the file specified.\r\n";
        case 3:
            return "The system cannot find the path specified.\r\n";
        case 4:
            return "The system cannot open the file.\r\n";
        case 5:
            return "Access is denied.\r\n";
        case 6:
            return "The handle is invalid.\r\n";
        case 8:
            return "Not enough memory resources are available to process this command.\r\n";
        case 11:
            return "An attempt was made to load a program with an incorrect format.\r\n";
        case 13:
            return "The data is invalid.\r\n";
        case 14:
            return "Not enough memory resources are available to complete this operation.\r\n";
        case 18:
            return "There are no more files.\r\n";
        case 29:
            return "The system cannot write to the specified device.\r\n";
        case 30:
            return "The system cannot read from the specified device.\r\n";
        case 38:
            return "Reached the end of the file.\r\n";
        case 50:
            return "The request is not supported.\r\n";
        case 80:
            return "The file exists.\r\n";
        case 87:
            return "The parameter is incorrect.\r\n";
        case 112:
            return "There is not enough space on the disk.\r\n";
        case 122:
            return "The data area passed to a system call is too small.\r\n";
        case 123:
            return "The filename, directory name, or volume label syntax is incorrect.\r\n";
        case 126:
            return "The specified module could not be found.\r\n";
        case 127:
            return "The specified procedure could not be found.\r\n";
        case 145:
            return "The directory is not empty.\r\n";
        case 183:
            return "Cannot create a file when that file already exists.\r\n";
        case 206:
            return "The filename or extension is too long.\r\n";
        case 1400:
            return "Invalid window handle.\r\n";
        case 1407:
            return "Cannot find window class.\r\n";
        case 1410:
            return "Class already exists.\r\n";
        case 1460:
            return "This operation returned because the timeout period expired.\r\n";
        case 1813:
            return "The specified resource type cannot be found in the image file.\r\n";
        case 1814:
            return "The specified resource name cannot be found in the image file.\r\n";
        default:
            return nullptr;
    }
}

// ---- paths ----------------------------------------------------------------------------

std::string Slashes(const char* path) {
    std::string result(path ? path : "");
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

// A name to be created: the folder through the file-name fallback, the last part as given.
std::string ResolveForCreation(const char* path) {
    std::string name = Slashes(path);
    std::string resolved = PlatformResolveFileName(name);
    struct stat info;
    if (::lstat(resolved.c_str(), &info) == 0)
        return resolved;
    size_t slash = name.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return name;
    return PlatformResolveFileName(name.substr(0, slash)) + name.substr(slash);
}

std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return ".";
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool EndsWithIgnoringCase(const std::string& text, const char* suffix) {
    size_t n = std::strlen(suffix);
    if (text.size() < n)
        return false;
    return ::strncasecmp(text.c_str() + text.size() - n, suffix, n) == 0;
}

bool MatchPattern(const char* pattern, const char* name) {
    // '*' and '?' wildcards, case-insensitive, as the directory search does.
    if (*pattern == 0)
        return *name == 0;
    if (*pattern == '*')
        return MatchPattern(pattern + 1, name) || (*name && MatchPattern(pattern, name + 1));
    if (*name == 0)
        return false;
    if (*pattern == '?' ||
        std::tolower(static_cast<unsigned char>(*pattern)) == std::tolower(static_cast<unsigned char>(*name)))
        return MatchPattern(pattern + 1, name + 1);
    return false;
}

FILETIME ToFileTime(const struct timespec& t) {
    uint64_t ticks =
        (static_cast<uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const std::string& path, const struct stat& info) {
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (::access(path.c_str(), W_OK) != 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

void FillSystemTime(LPSYSTEMTIME out, bool local) {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    struct tm parts;
    if (local)
        ::localtime_r(&now.tv_sec, &parts);
    else
        ::gmtime_r(&now.tv_sec, &parts);
    out->wYear = static_cast<WORD>(parts.tm_year + 1900);
    out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    out->wDay = static_cast<WORD>(parts.tm_mday);
    out->wHour = static_cast<WORD>(parts.tm_hour);
    out->wMinute = static_cast<WORD>(parts.tm_min);
    out->wSecond = static_cast<WORD>(parts.tm_sec);
    out->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

pthread_mutex_t* MutexOf(LPCRITICAL_SECTION section) {
    static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::PlatformMutex));
    return reinterpret_cast<pthread_mutex_t*>(section->PlatformMutex);
}

}  // namespace

PlatformKernelObject::~PlatformKernelObject() = default;

// ---- clocks -----------------------------------------------------------------------------

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count)
        return FALSE;
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    count->QuadPart = static_cast<LONGLONG>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency)
        return FALSE;
    frequency->QuadPart = 1000000000LL;
    return TRUE;
}

ULONGLONG GetTickCount64() {
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000ull + static_cast<ULONGLONG>(now.tv_nsec) / 1000000ull;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        ::sched_yield();
        return;
    }
    if (milliseconds == INFINITE) {
        for (;;)
            ::pause();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void GetLocalTime(LPSYSTEMTIME time) {
    if (time)
        FillSystemTime(time, true);
}

void GetSystemTime(LPSYSTEMTIME time) {
    if (time)
        FillSystemTime(time, false);
}

void ExitProcess(UINT exitCode) {
    std::fflush(nullptr);
    ::_exit(static_cast<int>(exitCode));
}

// ---- threads ----------------------------------------------------------------------------

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                    LPDWORD threadId) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (flags & CREATE_SUSPENDED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    struct Start {
        std::shared_ptr<ThreadObject> thread;
        LPTHREAD_START_ROUTINE start;
        LPVOID param;
        std::mutex lock;
        std::condition_variable started;
        bool hasId = false;
    };
    auto* startInfo = new Start{thread, start, param, {}, {}, false};
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize > 0)
        ::pthread_attr_setstacksize(&attributes, std::max<SIZE_T>(stackSize, 65536));
    auto body = [](void* raw) -> void* {
        std::unique_ptr<Start> info(static_cast<Start*>(raw));
        std::shared_ptr<ThreadObject> self = info->thread;
        {
            std::lock_guard<std::mutex> guard(self->lock);
            self->id = static_cast<DWORD>(::syscall(SYS_gettid));
        }
        LPTHREAD_START_ROUTINE routine = info->start;
        LPVOID argument = info->param;
        info.reset();
        DWORD code = routine(argument);
        std::lock_guard<std::mutex> guard(self->lock);
        self->exitCode = code;
        self->done = true;
        self->finished.notify_all();
        return nullptr;
    };
    pthread_t id;
    int error = ::pthread_create(&id, &attributes, body, startInfo);
    ::pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete startInfo;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId) {
        // The id is the kernel's thread id, known once the thread runs.
        for (;;) {
            std::unique_lock<std::mutex> guard(thread->lock);
            if (thread->id != 0 || thread->done) {
                *threadId = thread->id;
                break;
            }
            guard.unlock();
            ::sched_yield();
        }
    }
    return AddObject(thread);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto thread = FindObject<ThreadObject>(handle);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> guard(thread->lock);
    if (milliseconds == INFINITE) {
        thread->finished.wait(guard, [&] { return thread->done; });
        return WAIT_OBJECT_0;
    }
    bool done = thread->finished.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] { return thread->done; });
    return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto thread = FindObject<ThreadObject>(handle);
    if (!thread || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(thread->lock);
    *exitCode = thread->exitCode;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    if (handle == GetCurrentProcess() || handle == GetCurrentThread())
        return TRUE;
    std::shared_ptr<PlatformKernelObject> object;
    {
        std::lock_guard<std::mutex> guard(ObjectsLock());
        auto found = Objects().find(handle);
        if (found == Objects().end() || dynamic_cast<FindObjectState*>(found->second.get())) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(found->second);
        Objects().erase(found);
    }
    return TRUE;  // the object goes when its last user (e.g. a running thread) lets go
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(::syscall(SYS_gettid));
}
DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}
HANDLE GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}
HANDLE GetCurrentThread() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
}

// ---- critical sections ------------------------------------------------------------------

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    InitializeCriticalSectionAndSpinCount(section, 0);
}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount) {
    std::memset(section, 0, sizeof *section);
    pthread_mutexattr_t attributes;
    ::pthread_mutexattr_init(&attributes);
    ::pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    int error = ::pthread_mutex_init(MutexOf(section), &attributes);
    ::pthread_mutexattr_destroy(&attributes);
    section->SpinCount = spinCount;
    return error == 0;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    for (DWORD spin = 0; spin < section->SpinCount; ++spin)
        if (::pthread_mutex_trylock(MutexOf(section)) == 0)
            return;
    ::pthread_mutex_lock(MutexOf(section));
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    return ::pthread_mutex_trylock(MutexOf(section)) == 0;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    ::pthread_mutex_unlock(MutexOf(section));
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    ::pthread_mutex_destroy(MutexOf(section));
}

// ---- directories and files --------------------------------------------------------------

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char path[4096];
    if (!::getcwd(path, sizeof path)) {
        SetLastError(ErrorFromErrno(errno));
        return 0;
    }
    DWORD length = static_cast<DWORD>(std::strlen(path));
    if (!buffer || bufferLength < length + 1)
        return length + 1;
    std::memcpy(buffer, path, length + 1);
    return length;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    std::string name = PlatformResolveFileName(Slashes(path));
    if (::chdir(name.c_str()) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string name = ResolveForCreation(path);
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    if (::mkdir(name.c_str(), 0777) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string name = PlatformResolveFileName(Slashes(path));
    struct stat info;
    if (::stat(name.c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(name, info);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    std::string path;
    if (!module || module == GetModuleHandleA(nullptr)) {
        char exe[4096];
        ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0)
            path.assign(exe, static_cast<size_t>(n));
    } else {
        const char* name = PlatformModuleFile(module);
        if (name)
            path = name;
    }
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    DWORD copied = std::min<DWORD>(size - 1, static_cast<DWORD>(path.size()));
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = 0;
    if (copied < path.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return copied;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD, HANDLE) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    int flags = 0;
    bool reads = (access & GENERIC_READ) != 0, writes = (access & GENERIC_WRITE) != 0;
    flags = reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    bool creates = false;
    switch (disposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            creates = true;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            creates = true;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            creates = true;
            break;
        case TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    std::string name = creates ? ResolveForCreation(path) : PlatformResolveFileName(Slashes(path));
    // Only regular files are opened: a folder, a device, a pipe (whose open could wait forever)
    // or a socket is refused as a folder is on the original platform.
    struct stat before;
    bool existed = ::stat(name.c_str(), &before) == 0;
    if (existed && !S_ISREG(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    RegularFileRead status = RegularFileRead::Ok;
    int fd = -1;
    if (flags == O_RDONLY) {
        fd = OpenRegularFile(name, status);
    } else if ((fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666)) >= 0) {
        struct stat info;
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            fd = -1;
            status = RegularFileRead::NotRegular;
        } else {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        }
    }
    if (fd < 0) {
        DWORD error = status == RegularFileRead::NotFound || status == RegularFileRead::Ok ? ErrorFromErrno(errno)
                                                                                           : ERROR_ACCESS_DENIED;
        if (errno == EEXIST)
            error = ERROR_FILE_EXISTS;
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<FileObject>();
    file->fd = fd;
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                         : ERROR_SUCCESS);
    return AddObject(file);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
    auto file = FindObject<FileObject>(handle);
    if (bytesRead)
        *bytesRead = 0;
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < bytesToRead) {
        ssize_t n = ::read(file->fd, static_cast<char*>(buffer) + total, bytesToRead - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastError(ErrorFromErrno(errno));
            if (bytesRead)
                *bytesRead = total;
            return FALSE;
        }
        if (n == 0)
            break;
        total += static_cast<DWORD>(n);
    }
    if (bytesRead)
        *bytesRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED) {
    auto file = FindObject<FileObject>(handle);
    if (bytesWritten)
        *bytesWritten = 0;
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < bytesToWrite) {
        ssize_t n = ::write(file->fd, static_cast<const char*>(buffer) + total, bytesToWrite - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetLastError(n < 0 ? ErrorFromErrno(errno) : ERROR_WRITE_FAULT);
            if (bytesWritten)
                *bytesWritten = total;
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (bytesWritten)
        *bytesWritten = total;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD fileSizeHigh) {
    auto file = FindObject<FileObject>(handle);
    struct stat info;
    if (!file || ::fstat(file->fd, &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
    auto file = FindObject<FileObject>(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t offset = distanceHigh ? (static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance)
                                  : static_cast<int64_t>(distance);
    int whence = moveMethod == FILE_CURRENT ? SEEK_CUR : moveMethod == FILE_END ? SEEK_END : SEEK_SET;
    off_t position = ::lseek(file->fd, offset, whence);
    if (position < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL DeleteFileA(LPCSTR path) {
    std::string name = PlatformResolveFileName(Slashes(path));
    if (::unlink(name.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string full = Slashes(pattern);
    size_t slash = full.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : full.substr(0, slash);
    std::string namePattern = slash == std::string::npos ? full : full.substr(slash + 1);
    folder = PlatformResolveFileName(folder);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<FindObjectState>();
    while (dirent* entry = ::readdir(dir)) {
        if (!MatchPattern(namePattern.c_str(), entry->d_name))
            continue;
        std::string path = folder + "/" + entry->d_name;
        struct stat info;
        if (::stat(path.c_str(), &info) != 0)
            continue;
        WIN32_FIND_DATAA found{};
        found.dwFileAttributes = AttributesOf(path, info);
        found.ftCreationTime = ToFileTime(info.st_ctim);
        found.ftLastAccessTime = ToFileTime(info.st_atim);
        found.ftLastWriteTime = ToFileTime(info.st_mtim);
        uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
        found.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        found.nFileSizeLow = static_cast<DWORD>(size);
        std::snprintf(found.cFileName, sizeof found.cFileName, "%s", entry->d_name);
        search->entries.push_back(found);
    }
    ::closedir(dir);
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(search->entries.begin(), search->entries.end(), [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
        int order = ::strcasecmp(a.cFileName, b.cFileName);
        return order != 0 ? order < 0 : std::strcmp(a.cFileName, b.cFileName) < 0;
    });
    *data = search->entries[0];
    search->next = 1;
    return AddObject(search);
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    auto search = FindObject<FindObjectState>(find);
    if (!search || !data) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    std::lock_guard<std::mutex> guard(ObjectsLock());
    auto found = Objects().find(find);
    if (found == Objects().end() || !dynamic_cast<FindObjectState*>(found->second.get())) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Objects().erase(found);
    return TRUE;
}

// ---- errors and debugging -----------------------------------------------------------------

DWORD GetLastError() {
    return lastError;
}
void SetLastError(DWORD error) {
    lastError = error;
}

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
    std::string text;
    if (flags & FORMAT_MESSAGE_FROM_STRING) {
        text = source ? static_cast<const char*>(source) : "";
    } else if (flags & FORMAT_MESSAGE_FROM_SYSTEM) {
        const char* message = SystemMessage(messageId);
        if (!message) {
            SetLastError(ERROR_MR_MID_NOT_FOUND);
            return 0;
        }
        text = message;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if ((flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0) {
        // Line breaks of the message text become blanks; a trailing one goes.
        std::string flat;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                flat += ' ';
                ++i;
            } else {
                flat += text[i];
            }
        }
        while (!flat.empty() && flat.back() == ' ')
            flat.pop_back();
        flat += ' ';
        text = flat;
    }
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        if (!buffer) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        size_t bytes = std::max<size_t>(text.size() + 1, size);
        char* allocated = static_cast<char*>(std::malloc(bytes));
        if (!allocated) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(allocated, text.c_str(), text.size() + 1);
        *reinterpret_cast<char**>(buffer) = allocated;
        return static_cast<DWORD>(text.size());
    }
    if (!buffer || size < text.size() + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

BOOL IsDebuggerPresent() {
    std::string status;
    ReadRegularFile("/proc/self/status", 1 << 20, status);
    const size_t at = status.find("\nTracerPid:");
    return at != std::string::npos && std::atoi(status.c_str() + at + 11) != 0;
}

void OutputDebugStringA(LPCSTR text) {
    // Only a debugger listens on the original platform; here it reads standard error.
    if (text && IsDebuggerPresent())
        std::fputs(text, stderr);
}

void DebugBreak() {
    ::raise(SIGTRAP);
}

// ---- modules ------------------------------------------------------------------------------

namespace {
struct ModuleTable {
    std::mutex lock;
    std::map<void*, std::string> files;  // dlopen handle -> path
};
ModuleTable& Modules() {
    static auto* table = new ModuleTable;
    return *table;
}
}  // namespace

const char* PlatformModuleFile(HMODULE module) {
    ModuleTable& table = Modules();
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.files.find(module);
    return found == table.files.end() ? nullptr : found->second.c_str();
}

std::string PlatformModulePath(const char* dllName) {
    std::string name = Slashes(dllName);
    if (EndsWithIgnoringCase(name, ".dll"))
        name = name.substr(0, name.size() - 4) + ".so";
    else if (name.find('.', name.rfind('/') == std::string::npos ? 0 : name.rfind('/')) == std::string::npos)
        name += ".so";
    if (name.find('/') == std::string::npos)
        name = ExecutableFolder() + "/" + name;
    return PlatformResolveFileName(name);
}

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = PlatformModulePath(fileName);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    ModuleTable& table = Modules();
    std::lock_guard<std::mutex> guard(table.lock);
    table.files[handle] = path;
    return static_cast<HMODULE>(handle);
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) {
        static void* self = ::dlopen(nullptr, RTLD_NOW);
        return static_cast<HMODULE>(self);
    }
    std::string path = PlatformModulePath(moduleName);
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ::dlclose(handle);  // RTLD_NOLOAD added a reference; the module stays loaded
    return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (!module || !procName || IS_INTRESOURCE(procName)) {
        SetLastError(module ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(module, procName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    if (!module || module == GetModuleHandleA(nullptr)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (::dlclose(module) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
