// The CUDA runtime's Direct3D 10 interoperation, as the framework reaches it: the runtime
// library "cudart32_50_35.dll" loaded by name and each entry point fetched with
// GetProcAddress. This platform ships no such library, so loading it fails. The direct
// functions below answer as a runtime without a driver does.
#pragma once

#include "platform/win32_types.h"

struct ID3D10Resource;

#define PLATFORM_CUDA_RUNTIME_LIBRARY "cudart32_50_35.dll"

enum cudaError {
    cudaSuccess = 0,
    cudaErrorMissingConfiguration = 1,
    cudaErrorMemoryAllocation = 2,
    cudaErrorInitializationError = 3,
    cudaErrorInvalidValue = 11,
    cudaErrorInvalidResourceHandle = 33,
    cudaErrorInsufficientDriver = 35,
    cudaErrorNoDevice = 38,
    cudaErrorUnknown = 30,
};
typedef cudaError cudaError_t;

enum cudaD3D10RegisterFlags {
    cudaD3D10RegisterFlagsNone = 0,
    cudaD3D10RegisterFlagsArray = 1,
};
enum cudaD3D10MapFlags {
    cudaD3D10MapFlagsNone = 0,
    cudaD3D10MapFlagsReadOnly = 1,
    cudaD3D10MapFlagsWriteDiscard = 2,
};

extern "C" {
cudaError_t cudaD3D10RegisterResource(ID3D10Resource* resource, unsigned int flags);
cudaError_t cudaD3D10ResourceSetMapFlags(ID3D10Resource* resource, unsigned int flags);
cudaError_t cudaD3D10UnregisterResource(ID3D10Resource* resource);
const char* cudaGetErrorString(cudaError_t error);
cudaError_t cudaThreadExit();
cudaError_t cudaDeviceReset();
}

typedef cudaError_t (*PFN_cudaD3D10RegisterResource)(ID3D10Resource*, unsigned int);
typedef cudaError_t (*PFN_cudaD3D10ResourceSetMapFlags)(ID3D10Resource*, unsigned int);
typedef cudaError_t (*PFN_cudaD3D10UnregisterResource)(ID3D10Resource*);
typedef const char* (*PFN_cudaGetErrorString)(cudaError_t);
typedef cudaError_t (*PFN_cudaThreadExit)();
typedef cudaError_t (*PFN_cudaDeviceReset)();
