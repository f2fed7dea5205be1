#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ExecutableFolder() {
    char path[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string exe(path, n);
    return exe.substr(0, exe.rfind('/'));
}

TEST(Modules, DllNamesMapToModulesBesideTheExecutable) {
    EXPECT_EQ(ExecutableFolder() + "/d3d10warp.so", PlatformModulePath("d3d10warp.dll"));
    EXPECT_EQ(ExecutableFolder() + "/bass.so", PlatformModulePath("bass.dll"));
    EXPECT_EQ(ExecutableFolder() + "/psapi.so", PlatformModulePath("psapi"));
    EXPECT_EQ("/opt/lib/x.so", PlatformModulePath("\\opt\\lib\\x.dll"));
}

TEST(Modules, SoftwareRasteriserLoadsAndResolves) {
    HMODULE module = LoadLibraryA("d3d10warp.dll");
    ASSERT_NE(nullptr, module) << GetLastError();
    auto name = reinterpret_cast<const char* (*)()>(GetProcAddress(module, "PlatformSoftwareRasterizerName"));
    ASSERT_NE(nullptr, name);
    EXPECT_STREQ("llvmpipe", name());
    char file[MAX_PATH * 4];
    EXPECT_GT(GetModuleFileNameA(module, file, sizeof file), 0u);
    EXPECT_EQ(ExecutableFolder() + "/d3d10warp.so", std::string(file));
    EXPECT_EQ(nullptr, GetProcAddress(module, "NoSuchFunction"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    // A second load hands out the same module.
    HMODULE again = LoadLibraryA("D3D10WARP.DLL");
    EXPECT_EQ(module, again);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, MissingModulesFailForReal) {
    for (const char* name : {"cudart32_50_35.dll", "nvapi.dll", "no_such_library.dll"}) {
        SetLastError(0);
        EXPECT_EQ(nullptr, LoadLibraryA(name)) << name;
        EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError()) << name;
    }
    EXPECT_EQ(nullptr, LoadLibraryA(nullptr));
    EXPECT_EQ(nullptr, GetProcAddress(nullptr, "rand"));
}

TEST(Modules, TheProgramItselfIsAModule) {
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(nullptr, self);
    EXPECT_NE(nullptr, GetProcAddress(self, "rand"));
    EXPECT_FALSE(FreeLibrary(self));
}

}  // namespace
