#include "platform/cuda.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

TEST(Cuda, TheRuntimeLibraryDoesNotLoad) {
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadLibraryA(PLATFORM_CUDA_RUNTIME_LIBRARY));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_STREQ("cudart32_50_35.dll", PLATFORM_CUDA_RUNTIME_LIBRARY);
}

TEST(Cuda, EntryPointsAnswerAsWithoutADriver) {
    EXPECT_EQ(cudaErrorInsufficientDriver, cudaD3D10RegisterResource(nullptr, cudaD3D10RegisterFlagsNone));
    EXPECT_EQ(cudaErrorInsufficientDriver, cudaD3D10ResourceSetMapFlags(nullptr, cudaD3D10MapFlagsWriteDiscard));
    EXPECT_EQ(cudaErrorInsufficientDriver, cudaD3D10UnregisterResource(nullptr));
    EXPECT_EQ(cudaErrorInsufficientDriver, cudaThreadExit());
    EXPECT_EQ(cudaErrorInsufficientDriver, cudaDeviceReset());
    EXPECT_STREQ("no error", cudaGetErrorString(cudaSuccess));
    EXPECT_STREQ("CUDA driver version is insufficient for CUDA runtime version",
                 cudaGetErrorString(cudaErrorInsufficientDriver));
    EXPECT_STREQ("unknown error", cudaGetErrorString(static_cast<cudaError_t>(12345)));
}

}  // namespace
