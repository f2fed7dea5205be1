#pragma once
// The process-wide cache of run-time loaded libraries. A library, once loaded, stays
// loaded until the process ends.

#include <map>
#include <string>

#include "platform/win32.h"

class fw_LibraryCache {
public:
    // The map from library name to module handle, created empty on first use.
    static std::map<std::string, HMODULE>& Instance();
    // Loads the library on its first request; one that cannot be loaded shows
    // "Could not load <name>" and ends the process with exit code 20.
    static HMODULE Load(const char* name);
    // Frees a library loaded under this name and forgets it; nothing for other names.
    static void Unload(const char* name);
};

// The audio library's module name.
extern const char* const kBassLibraryName;

// The address of a function of that library, looked up on first use and kept in cache.
// Loading the library can end the process (see fw_LibraryCache::Load); a function the
// library lacks gives null.
template <typename Proc>
Proc GetLibraryProc(const char* library, Proc& cache, const char* name) {
    if (!cache) {
        HMODULE module = fw_LibraryCache::Load(library);
        cache = reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    return cache;
}

// The same for the audio library.
template <typename Proc>
Proc GetBassProc(Proc& cache, const char* name) {
    return GetLibraryProc(kBassLibraryName, cache, name);
}
