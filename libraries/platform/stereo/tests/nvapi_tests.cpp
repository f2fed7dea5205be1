#include "platform/nvapi.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

TEST(Stereo, InitialisationFailsBecauseTheDriverLibraryIsAbsent) {
    EXPECT_EQ(nullptr, LoadLibraryA("nvapi.dll"));
    EXPECT_EQ(NVAPI_LIBRARY_NOT_FOUND, NvAPI_Initialize());
    EXPECT_NE(NVAPI_OK, NvAPI_Initialize());  // and stays failed
}

TEST(Stereo, EveryCallAnswersNoImplementationAndLeavesOutputs) {
    NvU8 flag = 7;
    float value = 4.5f;
    StereoHandle handle = reinterpret_cast<StereoHandle>(0x1234);
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_SetDriverMode(NVAPI_STEREO_DRIVER_MODE_DIRECT));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_IsEnabled(&flag));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_CreateHandleFromIUnknown(nullptr, &handle));
    EXPECT_EQ(reinterpret_cast<StereoHandle>(0x1234), handle);
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_GetEyeSeparation(handle, &value));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_SetNotificationMessage(handle, 0, 3000));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_IsActivated(handle, &flag));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_GetSeparation(handle, &value));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_GetConvergence(handle, &value));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_SetActiveEye(handle, NVAPI_STEREO_EYE_LEFT));
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_Enable());
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_Disable());
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_DestroyHandle(nullptr));
    EXPECT_EQ(7, flag);
    EXPECT_EQ(4.5f, value);
}

TEST(Stereo, ErrorMessagesNameTheStatus) {
    NvAPI_ShortString text = {};
    EXPECT_EQ(NVAPI_OK, NvAPI_GetErrorMessage(NVAPI_NO_IMPLEMENTATION, text));
    EXPECT_STREQ("NVAPI_NO_IMPLEMENTATION", text);
    EXPECT_EQ(NVAPI_OK, NvAPI_GetErrorMessage(static_cast<NvAPI_Status>(-999), text));
    EXPECT_STREQ("NVAPI error -999", text);
    EXPECT_EQ(NVAPI_NO_IMPLEMENTATION, -3);
    EXPECT_EQ(2, NVAPI_STEREO_DRIVER_MODE_DIRECT);
}

}  // namespace
