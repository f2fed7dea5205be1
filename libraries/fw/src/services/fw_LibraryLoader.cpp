#include "fw_LibraryLoader.h"

#include <cstdlib>

#include "fw_Log.h"

const char* const kBassLibraryName = "bass.dll";

std::map<std::string, HMODULE>& fw_LibraryCache::Instance() {
    static std::map<std::string, HMODULE> libraries;
    return libraries;
}

HMODULE fw_LibraryCache::Load(const char* name) {
    if (!name)
        name = "";
    auto [entry, inserted] = Instance().emplace(name, nullptr);
    if (inserted || !entry->second) {
        HMODULE module = LoadLibraryA(name);
        if (!module) {
            fw_Log::Alertf("Could not load %s", name);
            ExitProcess(20);
        }
        entry->second = module;
    }
    return entry->second;
}

void fw_LibraryCache::Unload(const char* name) {
    if (!name)
        return;
    auto& libraries = Instance();
    auto entry = libraries.find(name);
    if (entry == libraries.end())
        return;
    if (entry->second)
        FreeLibrary(entry->second);
    libraries.erase(entry);
}
