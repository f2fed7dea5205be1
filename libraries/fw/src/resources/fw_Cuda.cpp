// The CUDA runtime's entry points and the textures' registration with it.
#include "fw_Cuda.h"

#include "fw_LibraryLoader.h"
#include "fw_Texture.h"

// fw_CudaX(): the runtime's entry point cudaX, looked up once.
#define FW_CUDA_ENTRY(X)                                                        \
    PFN_cuda##X fw_Cuda##X() {                                                  \
        static PFN_cuda##X cache = nullptr;                                     \
        return GetLibraryProc(PLATFORM_CUDA_RUNTIME_LIBRARY, cache, "cuda" #X); \
    }
FW_CUDA_ENTRY(D3D10RegisterResource)
FW_CUDA_ENTRY(D3D10ResourceSetMapFlags)
FW_CUDA_ENTRY(D3D10UnregisterResource)
FW_CUDA_ENTRY(GetErrorString)
FW_CUDA_ENTRY(ThreadExit)
FW_CUDA_ENTRY(DeviceReset)
#undef FW_CUDA_ENTRY

void fw_Texture::RegisterWithCuda(unsigned int registerFlags, unsigned int mapFlags) {
    ID3D10Resource* resource = GetResource();
    if (PFN_cudaD3D10RegisterResource registerResource = fw_CudaD3D10RegisterResource())
        registerResource(resource, registerFlags);
    if (PFN_cudaD3D10ResourceSetMapFlags setMapFlags = fw_CudaD3D10ResourceSetMapFlags())
        setMapFlags(resource, mapFlags);
    mCudaRegistered = true;
}

void fw_Texture::UnregisterFromCuda() {
    ID3D10Resource* resource = GetResource();
    if (mCudaRegistered && resource)
        if (PFN_cudaD3D10UnregisterResource unregisterResource = fw_CudaD3D10UnregisterResource())
            unregisterResource(resource);
    mCudaRegistered = false;
}
