#include "d3d10_read_back.h"

namespace d3d10test {

bool ReadTexture(ID3D10Texture2D* texture, TextureCopy& copy, bool topLeftTexelOnly) {
    copy = TextureCopy{};
    if (!texture)
        return false;
    ID3D10Device* device = nullptr;
    texture->GetDevice(&device);
    if (!device)
        return false;
    D3D10_TEXTURE2D_DESC desc = {};
    texture->GetDesc(&desc);
    if (topLeftTexelOnly)
        desc.Width = desc.Height = 1;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Usage = D3D10_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D10Texture2D* staging = nullptr;
    bool read = false;
    if (SUCCEEDED(device->CreateTexture2D(&desc, nullptr, &staging)) && staging) {
        const D3D10_BOX texel = {0, 0, 0, 1, 1, 1};
        device->CopySubresourceRegion(staging, 0, 0, 0, 0, texture, 0, topLeftTexelOnly ? &texel : nullptr);
        D3D10_MAPPED_TEXTURE2D mapped = {};
        if (SUCCEEDED(staging->Map(0, D3D10_MAP_READ, 0, &mapped)) && mapped.pData) {
            copy.desc = desc;
            copy.rowPitch = mapped.RowPitch;
            const auto* data = static_cast<const uint8_t*>(mapped.pData);
            copy.bytes.assign(data, data + size_t(mapped.RowPitch) * desc.Height);
            staging->Unmap(0);
            read = true;
        }
        staging->Release();
    }
    device->Release();
    return read;
}

std::vector<uint8_t> ReadBuffer(ID3D10Buffer* buffer) {
    std::vector<uint8_t> bytes;
    ID3D10Device* device = nullptr;
    if (buffer)
        buffer->GetDevice(&device);
    if (!device)
        return bytes;
    D3D10_BUFFER_DESC desc = {};
    buffer->GetDesc(&desc);
    const D3D10_BUFFER_DESC stagingDesc = {desc.ByteWidth, D3D10_USAGE_STAGING, 0, D3D10_CPU_ACCESS_READ, 0};
    ID3D10Buffer* staging = nullptr;
    if (SUCCEEDED(device->CreateBuffer(&stagingDesc, nullptr, &staging)) && staging) {
        device->CopyResource(staging, buffer);
        void* data = nullptr;
        if (SUCCEEDED(staging->Map(D3D10_MAP_READ, 0, &data)) && data) {
            bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + desc.ByteWidth);
            staging->Unmap();
        }
        staging->Release();
    }
    device->Release();
    return bytes;
}

}  // namespace d3d10test
