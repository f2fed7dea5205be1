#pragma once
// The CUDA runtime's entry points, each fetched from "cudart32_50_35.dll" through the
// library loader on first use and kept for later calls.

#include "platform/cuda.h"

PFN_cudaD3D10RegisterResource fw_CudaD3D10RegisterResource();
PFN_cudaD3D10ResourceSetMapFlags fw_CudaD3D10ResourceSetMapFlags();
PFN_cudaD3D10UnregisterResource fw_CudaD3D10UnregisterResource();
PFN_cudaGetErrorString fw_CudaGetErrorString();
PFN_cudaThreadExit fw_CudaThreadExit();
PFN_cudaDeviceReset fw_CudaDeviceReset();
