#include "fw_Lock.h"

void fw_CriticalSection::Init() {
    if (mInitialised)
        return;
    InitializeCriticalSectionAndSpinCount(&mSection, 4096);
    mInitialised = true;
}

void fw_CriticalSection::Enter() {
    EnterCriticalSection(&mSection);
}

void fw_CriticalSection::Leave() {
    LeaveCriticalSection(&mSection);
}

void fw_CriticalSection::Delete() {
    if (!mInitialised)
        return;
    DeleteCriticalSection(&mSection);
    mInitialised = false;
}
