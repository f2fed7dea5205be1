// "psapi.dll": module base names.
#include "platform/win32_types.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

extern "C" __attribute__((visibility("default"))) DWORD GetModuleBaseNameA(HANDLE, HMODULE module, LPSTR baseName,
                                                                           DWORD size) {
    if (!baseName || size == 0)
        return 0;
    std::string path;
    if (module) {
        Dl_info info{};
        if (!::dladdr(reinterpret_cast<void*>(module), &info) || info.dli_fbase != reinterpret_cast<void*>(module))
            return 0;  // not the load address of a module
        if (info.dli_fname)
            path = info.dli_fname;
    }
    if (path.empty()) {  // the program itself
        char exe[4096];
        ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0)
            return 0;
        path.assign(exe, static_cast<size_t>(n));
    }
    size_t slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DWORD n = static_cast<DWORD>(std::min<size_t>(base.size(), size - 1));
    std::memcpy(baseName, base.data(), n);
    baseName[n] = 0;
    return n;
}
