// The stereo driver interface. This platform has no such driver: NvAPI_Initialize fails
// because its library ("nvapi.dll") does not load, and every other function answers
// NVAPI_NO_IMPLEMENTATION without touching its outputs, as before initialisation.
#pragma once

#include "platform/win32_types.h"

typedef uint8_t NvU8;
typedef uint32_t NvU32;
typedef int32_t NvS32;
typedef uint64_t NvU64;

#define NVAPI_SHORT_STRING_MAX 64
typedef char NvAPI_ShortString[NVAPI_SHORT_STRING_MAX];

enum NvAPI_Status : int {
    NVAPI_OK = 0,
    NVAPI_ERROR = -1,
    NVAPI_LIBRARY_NOT_FOUND = -2,
    NVAPI_NO_IMPLEMENTATION = -3,
    NVAPI_API_NOT_INITIALIZED = -4,
    NVAPI_INVALID_ARGUMENT = -5,
    NVAPI_NVIDIA_DEVICE_NOT_FOUND = -6,
    NVAPI_STEREO_NOT_INITIALIZED = -140,
};

typedef void* StereoHandle;

enum NV_STEREO_DRIVER_MODE {
    NVAPI_STEREO_DRIVER_MODE_AUTOMATIC = 0,
    NVAPI_STEREO_DRIVER_MODE_DIRECT = 2,
};

enum NV_STEREO_ACTIVE_EYE {
    NVAPI_STEREO_EYE_RIGHT = 1,
    NVAPI_STEREO_EYE_LEFT = 2,
    NVAPI_STEREO_EYE_MONO = 3,
};

NvAPI_Status NvAPI_Initialize();
NvAPI_Status NvAPI_Unload();
// The text of a status; works without the driver.
NvAPI_Status NvAPI_GetErrorMessage(NvAPI_Status status, NvAPI_ShortString text);
NvAPI_Status NvAPI_Stereo_SetDriverMode(NV_STEREO_DRIVER_MODE mode);
NvAPI_Status NvAPI_Stereo_IsEnabled(NvU8* enabled);
NvAPI_Status NvAPI_Stereo_Enable();
NvAPI_Status NvAPI_Stereo_Disable();
NvAPI_Status NvAPI_Stereo_CreateHandleFromIUnknown(IUnknown* device, StereoHandle* handle);
NvAPI_Status NvAPI_Stereo_DestroyHandle(StereoHandle handle);
NvAPI_Status NvAPI_Stereo_Activate(StereoHandle handle);
NvAPI_Status NvAPI_Stereo_Deactivate(StereoHandle handle);
NvAPI_Status NvAPI_Stereo_IsActivated(StereoHandle handle, NvU8* activated);
NvAPI_Status NvAPI_Stereo_GetEyeSeparation(StereoHandle handle, float* separation);
NvAPI_Status NvAPI_Stereo_GetSeparation(StereoHandle handle, float* percent);
NvAPI_Status NvAPI_Stereo_SetSeparation(StereoHandle handle, float percent);
NvAPI_Status NvAPI_Stereo_GetConvergence(StereoHandle handle, float* convergence);
NvAPI_Status NvAPI_Stereo_SetConvergence(StereoHandle handle, float convergence);
NvAPI_Status NvAPI_Stereo_SetActiveEye(StereoHandle handle, NV_STEREO_ACTIVE_EYE eye);
NvAPI_Status NvAPI_Stereo_SetNotificationMessage(StereoHandle handle, NvU64 window, NvU64 messageId);
