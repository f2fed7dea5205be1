#include "support/device_wait.h"

#include "fw_Framework.h"

namespace zendratest {

void WaitForTexture(ID3D10Texture2D* texture) {
    D3D10_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    desc.Width = desc.Height = 1;
    desc.MipLevels = desc.ArraySize = 1;
    desc.Usage = D3D10_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D10Texture2D* staging = nullptr;
    if (FAILED(fw_Framework::mDevice->CreateTexture2D(&desc, nullptr, &staging)))
        return;
    D3D10_BOX box = {0, 0, 0, 1, 1, 1};
    fw_Framework::mDevice->CopySubresourceRegion(staging, 0, 0, 0, 0, texture, 0, &box);
    D3D10_MAPPED_TEXTURE2D mapped = {};
    if (SUCCEEDED(staging->Map(0, D3D10_MAP_READ, 0, &mapped)))
        staging->Unmap(0);
    staging->Release();
}

}  // namespace zendratest
