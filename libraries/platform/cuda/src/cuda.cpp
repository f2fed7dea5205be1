#include "platform/cuda.h"

extern "C" {

cudaError_t cudaD3D10RegisterResource(ID3D10Resource*, unsigned int) {
    return cudaErrorInsufficientDriver;
}
cudaError_t cudaD3D10ResourceSetMapFlags(ID3D10Resource*, unsigned int) {
    return cudaErrorInsufficientDriver;
}
cudaError_t cudaD3D10UnregisterResource(ID3D10Resource*) {
    return cudaErrorInsufficientDriver;
}
cudaError_t cudaThreadExit() {
    return cudaErrorInsufficientDriver;
}
cudaError_t cudaDeviceReset() {
    return cudaErrorInsufficientDriver;
}

const char* cudaGetErrorString(cudaError_t error) {
    switch (error) {
        case cudaSuccess:
            return "no error";
        case cudaErrorMissingConfiguration:
            return "__global__ function call is not configured";
        case cudaErrorMemoryAllocation:
            return "out of memory";
        case cudaErrorInitializationError:
            return "initialization error";
        case cudaErrorInvalidValue:
            return "invalid argument";
        case cudaErrorInvalidResourceHandle:
            return "invalid resource handle";
        case cudaErrorInsufficientDriver:
            return "CUDA driver version is insufficient for CUDA runtime version";
        case cudaErrorNoDevice:
            return "no CUDA-capable device is detected";
        default:
            return "unknown error";
    }
}

}  // extern "C"
