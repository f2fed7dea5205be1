#include "platform/nvapi.h"
#include "platform/win32.h"

#include <cstdio>

NvAPI_Status NvAPI_Initialize() {
    // The driver's library is what initialisation needs; without it there is no stereo.
    HMODULE library = LoadLibraryA("nvapi.dll");
    if (!library)
        return NVAPI_LIBRARY_NOT_FOUND;
    FreeLibrary(library);
    return NVAPI_NO_IMPLEMENTATION;
}

NvAPI_Status NvAPI_Unload() {
    return NVAPI_API_NOT_INITIALIZED;
}

NvAPI_Status NvAPI_GetErrorMessage(NvAPI_Status status, NvAPI_ShortString text) {
    if (!text)
        return NVAPI_INVALID_ARGUMENT;
    const char* name;
    switch (status) {
        case NVAPI_OK:
            name = "NVAPI_OK";
            break;
        case NVAPI_ERROR:
            name = "NVAPI_ERROR";
            break;
        case NVAPI_LIBRARY_NOT_FOUND:
            name = "NVAPI_LIBRARY_NOT_FOUND";
            break;
        case NVAPI_NO_IMPLEMENTATION:
            name = "NVAPI_NO_IMPLEMENTATION";
            break;
        case NVAPI_API_NOT_INITIALIZED:
            name = "NVAPI_API_NOT_INITIALIZED";
            break;
        case NVAPI_INVALID_ARGUMENT:
            name = "NVAPI_INVALID_ARGUMENT";
            break;
        case NVAPI_NVIDIA_DEVICE_NOT_FOUND:
            name = "NVAPI_NVIDIA_DEVICE_NOT_FOUND";
            break;
        case NVAPI_STEREO_NOT_INITIALIZED:
            name = "NVAPI_STEREO_NOT_INITIALIZED";
            break;
        default:
            std::snprintf(text, NVAPI_SHORT_STRING_MAX, "NVAPI error %d", static_cast<int>(status));
            return NVAPI_OK;
    }
    std::snprintf(text, NVAPI_SHORT_STRING_MAX, "%s", name);
    return NVAPI_OK;
}

NvAPI_Status NvAPI_Stereo_SetDriverMode(NV_STEREO_DRIVER_MODE) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_IsEnabled(NvU8*) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_Enable() {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_Disable() {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_CreateHandleFromIUnknown(IUnknown*, StereoHandle*) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_DestroyHandle(StereoHandle) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_Activate(StereoHandle) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_Deactivate(StereoHandle) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_IsActivated(StereoHandle, NvU8*) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_GetEyeSeparation(StereoHandle, float*) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_GetSeparation(StereoHandle, float*) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_SetSeparation(StereoHandle, float) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_GetConvergence(StereoHandle, float*) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_SetConvergence(StereoHandle, float) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_SetActiveEye(StereoHandle, NV_STEREO_ACTIVE_EYE) {
    return NVAPI_NO_IMPLEMENTATION;
}
NvAPI_Status NvAPI_Stereo_SetNotificationMessage(StereoHandle, NvU64, NvU64) {
    return NVAPI_NO_IMPLEMENTATION;
}
