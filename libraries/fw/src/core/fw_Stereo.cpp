#include "fw_Cuda.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "platform/d3d10.h"
#include "platform/nvapi.h"

namespace {

std::string ErrorText(NvAPI_Status status) {
    NvAPI_ShortString text = {};
    NvAPI_GetErrorMessage(status, text);
    text[NVAPI_SHORT_STRING_MAX - 1] = '\0';
    return text;
}

}  // namespace

HRESULT fw_Framework::InitStereo() {
    if (NvAPI_Initialize() != NVAPI_OK) {
        fw_Log::Alertf(
            "This software is designed for NVIDIA GF100-based cards,\nand requires an NVIDIA based GPU to run.");
        return E_FAIL;
    }
    if (NvAPI_Stereo_SetDriverMode(NVAPI_STEREO_DRIVER_MODE_DIRECT) != NVAPI_OK)
        return S_OK;
    NvU8 enabled = 0;
    if (NvAPI_Stereo_IsEnabled(&enabled) == NVAPI_OK)
        mStereoAvailable = true;
    return S_OK;
}

void fw_Framework::InitStereoHandle() {
    StereoHandle handle = nullptr;
    NvAPI_Status status = NvAPI_Stereo_CreateHandleFromIUnknown(mDevice, &handle);
    if (status != NVAPI_OK)
        fw_Log::Alertf("NvAPI_Stereo_CreateHandleFromIUnknown failed: %s", ErrorText(status).c_str());
    mStereoHandle = handle;
    status = NvAPI_Stereo_GetEyeSeparation(handle, &mEyeSeparation);
    if (status != NVAPI_OK)
        fw_Log::Alertf("NvAPI_Stereo_GetEyeSeparation failed: %s", ErrorText(status).c_str());
    status =
        NvAPI_Stereo_SetNotificationMessage(handle, static_cast<NvU64>(reinterpret_cast<uintptr_t>(mWindow)), 3000);
    if (status != NVAPI_OK)
        fw_Log::Alertf("NvAPI_Stereo_SetNotificationMessage failed: %s", ErrorText(status).c_str());
    NvU8 enabled = 0;
    if (NvAPI_Stereo_IsEnabled(&enabled) == NVAPI_OK && !enabled)
        NvAPI_Stereo_Enable();
}

void fw_Framework::PollStereo() {
    NvU8 activated = 0;
    NvAPI_Stereo_IsActivated(mStereoHandle, &activated);
    mStereoActive = activated != 0;
    float percent = 0.0f;
    if (NvAPI_Stereo_GetSeparation(mStereoHandle, &percent) != NVAPI_OK)
        percent = 50.0f;
    mStereoSeparation = static_cast<float>(double(percent) * double(0.001f));
    float convergence = 0.0f;
    if (NvAPI_Stereo_GetConvergence(mStereoHandle, &convergence) != NVAPI_OK)
        convergence = 4.0f;
    mStereoConvergence = convergence;
}

void fw_Framework::DisableStereoDriver() {
    NvAPI_Stereo_Disable();
}

void fw_Framework::SetActiveEye(uint32_t eye) {
    // 1 makes the left eye active, 2 the right one.
    NvAPI_Stereo_SetActiveEye(mStereoHandle, static_cast<NV_STEREO_ACTIVE_EYE>(eye == 0 ? 1 : 2));
}

void fw_Framework::DestroyStereoHandle() {
    if (!mStereoHandle)
        return;
    NvAPI_Stereo_DestroyHandle(mStereoHandle);
    mStereoHandle = nullptr;
}

void fw_Framework::CudaShutdown() {
    if (PFN_cudaThreadExit threadExit = fw_CudaThreadExit())
        threadExit();
    if (PFN_cudaDeviceReset deviceReset = fw_CudaDeviceReset())
        deviceReset();
}

const char* fw_Framework::CudaGetErrorString(int error) {
    PFN_cudaGetErrorString text = fw_CudaGetErrorString();
    return text ? text(static_cast<cudaError_t>(error)) : "";
}
