// Debug help: capture the calling thread's context, walk its call stack frame by frame,
// and name each frame's function, source line and module. Addresses are 64-bit.
//
// On this platform a CONTEXT holds the return addresses captured by RtlCaptureContext, and
// StackWalk steps through them (frame->Reserved[0] counts the frames taken). Function
// names come demangled and without their parameter lists; the C runtime's start-up frames
// are named "mainCRTStartup" and a thread's start frame "BaseThreadInitThunk", as the
// original platform names them. Lines need debug information in the program.
#pragma once

#include "platform/win32.h"

#define IMAGE_FILE_MACHINE_I386 0x014c
#define IMAGE_FILE_MACHINE_AMD64 0x8664

#define SYMOPT_CASE_INSENSITIVE 0x00000001
#define SYMOPT_UNDNAME 0x00000002
#define SYMOPT_DEFERRED_LOADS 0x00000004
#define SYMOPT_LOAD_LINES 0x00000010

#define ERROR_INVALID_ADDRESS 487L

#define PLATFORM_CONTEXT_FRAMES 128

struct CONTEXT {
    DWORD ContextFlags;
    DWORD64 Eip;
    DWORD64 Ebp;
    DWORD64 Esp;
    // The captured return addresses, innermost first (Eip is the first).
    DWORD PlatformFrameCount;
    DWORD64 PlatformFrames[PLATFORM_CONTEXT_FRAMES];
};
typedef CONTEXT* PCONTEXT;

enum ADDRESS_MODE { AddrMode1616, AddrMode1632, AddrModeReal, AddrModeFlat };

struct ADDRESS {
    DWORD64 Offset;
    WORD Segment;
    ADDRESS_MODE Mode;
};
typedef ADDRESS* LPADDRESS;

struct KDHELP {
    DWORD64 Reserved[8];
};

struct STACKFRAME {
    ADDRESS AddrPC;
    ADDRESS AddrReturn;
    ADDRESS AddrFrame;
    ADDRESS AddrStack;
    ADDRESS AddrBStore;
    PVOID FuncTableEntry;
    DWORD64 Params[4];
    BOOL Far;
    BOOL Virtual;
    DWORD64 Reserved[3];
    KDHELP KdHelp;
};
typedef STACKFRAME* LPSTACKFRAME;

#define MAX_SYM_NAME 2000

struct SYMBOL_INFO {
    ULONG SizeOfStruct;
    ULONG TypeIndex;
    ULONG64 Reserved[2];
    ULONG Index;
    ULONG Size;
    ULONG64 ModBase;
    ULONG Flags;
    ULONG64 Value;
    ULONG64 Address;
    ULONG Register;
    ULONG Scope;
    ULONG Tag;
    ULONG NameLen;
    ULONG MaxNameLen;
    CHAR Name[1];
};
typedef SYMBOL_INFO* PSYMBOL_INFO;

struct IMAGEHLP_LINE {
    DWORD SizeOfStruct;
    PVOID Key;
    DWORD LineNumber;
    PCHAR FileName;
    DWORD64 Address;
};
typedef IMAGEHLP_LINE* PIMAGEHLP_LINE;

typedef BOOL(CALLBACK* PREAD_PROCESS_MEMORY_ROUTINE)(HANDLE process, DWORD64 baseAddress, PVOID buffer, DWORD size,
                                                     LPDWORD bytesRead);
typedef PVOID(CALLBACK* PFUNCTION_TABLE_ACCESS_ROUTINE)(HANDLE process, DWORD64 address);
typedef DWORD64(CALLBACK* PGET_MODULE_BASE_ROUTINE)(HANDLE process, DWORD64 address);
typedef DWORD64(CALLBACK* PTRANSLATE_ADDRESS_ROUTINE)(HANDLE process, HANDLE thread, LPADDRESS address);

// Captures the caller's context: Eip is the address in the calling function.
void RtlCaptureContext(PCONTEXT context);

DWORD SymGetOptions();
DWORD SymSetOptions(DWORD options);
// Only the calling process can be walked; TRUE for it.
BOOL SymInitialize(HANDLE process, PCSTR searchPath, BOOL invadeProcess);
BOOL SymCleanup(HANDLE process);
// One frame per call, innermost first; FALSE after the last one.
BOOL StackWalk(DWORD machineType, HANDLE process, HANDLE thread, LPSTACKFRAME frame, PVOID context,
               PREAD_PROCESS_MEMORY_ROUTINE readMemory, PFUNCTION_TABLE_ACCESS_ROUTINE functionTableAccess,
               PGET_MODULE_BASE_ROUTINE getModuleBase, PTRANSLATE_ADDRESS_ROUTINE translateAddress);
PVOID CALLBACK SymFunctionTableAccess(HANDLE process, DWORD64 address);
// The load address of the module holding `address`; pass it to GetModuleBaseNameA.
DWORD64 CALLBACK SymGetModuleBase(HANDLE process, DWORD64 address);
BOOL SymFromAddr(HANDLE process, DWORD64 address, PDWORD64 displacement, PSYMBOL_INFO symbol);
BOOL SymGetLineFromAddr(HANDLE process, DWORD64 address, PDWORD displacement, PIMAGEHLP_LINE line);
BOOL ReadProcessMemory(HANDLE process, LPCVOID baseAddress, LPVOID buffer, SIZE_T size, SIZE_T* bytesRead);

// psapi ("psapi.dll", a module beside the executable): the file name without folder of
// the module loaded at `module` (a base address from SymGetModuleBase; null for the
// program).
typedef DWORD(WINAPI* PFN_GetModuleBaseNameA)(HANDLE process, HMODULE module, LPSTR baseName, DWORD size);
