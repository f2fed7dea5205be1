#pragma once
// A critical section and a scoped lock over it.

#include "platform/win32.h"

class fw_CriticalSection {
public:
    // Initialised with spin count 4096 on construction, deleted on destruction.
    fw_CriticalSection() { Init(); }
    ~fw_CriticalSection() { Delete(); }
    fw_CriticalSection(const fw_CriticalSection&) = delete;
    fw_CriticalSection& operator=(const fw_CriticalSection&) = delete;

    void Init();
    void Enter();
    void Leave();
    void Delete();

private:
    CRITICAL_SECTION mSection;
    bool mInitialised = false;
};

class fw_ScopedLock {
public:
    explicit fw_ScopedLock(fw_CriticalSection* section) : mSection(section) { mSection->Enter(); }
    ~fw_ScopedLock() { mSection->Leave(); }
    fw_ScopedLock(const fw_ScopedLock&) = delete;
    fw_ScopedLock& operator=(const fw_ScopedLock&) = delete;

private:
    fw_CriticalSection* mSection;
};
