#include <cstdio>
#include <set>

#include "fw_Framework.h"
#include "fw_Release.h"
#include "fw_Texture.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"
#include "platform/win32.h"

std::string fw_Framework::MakeScreenshotName(unsigned year, unsigned month, unsigned day, unsigned hour,
                                             unsigned minute, unsigned second, bool stereo) {
    static std::set<std::string> handedOut;
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "/screenshots/%4.4u-%2.2u-%2.2u_%2.2u%2.2u%2.2u", year, month, day, hour, minute,
                  second);
    const std::string extension = stereo ? ".jps" : ".jpg";
    std::string name = stamp + extension;
    // A second shot within the same second gets a number instead of overwriting the first.
    for (int n = 2; !handedOut.insert(name).second; ++n)
        name = std::string(stamp) + "_" + std::to_string(n) + extension;
    return name;
}

void fw_Framework::SaveScreenshot(uint32_t eye) {
    if (!mScreenshotRequest)
        return;
    fw_Texture* backbuffer = FindTexture("backbuffer");
    if (!backbuffer || !backbuffer->mTexture2D) {
        mScreenshotRequest = false;
        return;
    }
    static std::string stereoName;
    if (!mStereoActive || eye == 0) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        stereoName =
            MakeScreenshotName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, mStereoActive);
    }
    if (!mStereoActive) {
        backbuffer->SaveToFile(stereoName);
        mScreenshotRequest = false;
        return;
    }
    const uint32_t width = backbuffer->GetWidth();
    if (eye == 0) {
        SafeRelease(mScreenshotTexture);
        D3D10_TEXTURE2D_DESC desc = {};
        desc.Width = width * 2;
        desc.Height = backbuffer->GetHeight();
        desc.MipLevels = 1;
        desc.ArraySize = 1;
        desc.Format = static_cast<DXGI_FORMAT>(backbuffer->GetFormat());
        desc.SampleDesc.Count = 1;
        desc.Usage = D3D10_USAGE_DEFAULT;
        if (!mDevice || FAILED(mDevice->CreateTexture2D(&desc, nullptr, &mScreenshotTexture))) {
            mScreenshotTexture = nullptr;
            mScreenshotRequest = false;
            return;
        }
        backbuffer->CopyToStagingAt(0);
        return;
    }
    if (!mScreenshotTexture) {
        mScreenshotRequest = false;
        return;
    }
    // The right eye goes beside the left one: at the back buffer's width.
    backbuffer->CopyToStagingAt(width);
    D3DX10SaveTextureToFileA(mScreenshotTexture, D3DX10_IFF_JPG, (mProjectRoot + "/data/" + stereoName).c_str());
    SafeRelease(mScreenshotTexture);
    mScreenshotRequest = false;
}
