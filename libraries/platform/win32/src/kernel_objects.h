// Kernel objects behind HANDLE values (threads, files, searches).
#pragma once

#include "platform/win32.h"

struct PlatformKernelObject {
    virtual ~PlatformKernelObject();
};

// The file LoadLibraryA opened for a module handle, or null.
const char* PlatformModuleFile(HMODULE module);
