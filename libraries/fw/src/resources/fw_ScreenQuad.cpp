#include "fw_ScreenQuad.h"

#include "fw_Framework.h"
#include "fw_Math.h"
#include "fw_Release.h"

fw_ScreenQuad::fw_ScreenQuad(ID3D10EffectTechnique* technique)
    : mVertexBuffer(nullptr), mIndexBuffer(nullptr), mInputLayout(nullptr) {
    CreateBuffers();
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !technique || !technique->IsValid())
        return;
    ID3D10EffectPass* pass = technique->GetPassByIndex(0);
    D3D10_PASS_DESC desc = {};
    if (!pass || FAILED(pass->GetDesc(&desc)) || !desc.pIAInputSignature)
        return;
    const D3D10_INPUT_ELEMENT_DESC element = {
        "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0};
    device->CreateInputLayout(&element, 1, desc.pIAInputSignature, desc.IAInputSignatureSize, &mInputLayout);
}

fw_ScreenQuad::~fw_ScreenQuad() {
    Release();
}

void fw_ScreenQuad::CreateBuffers() {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device)
        return;
    static const fw_Vector3 kVertices[4] = {
        {-1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {1.0f, -1.0f, 0.0f}, {-1.0f, -1.0f, 0.0f}};
    static const uint32_t kIndices[6] = {0, 1, 2, 0, 2, 3};
    static_assert(sizeof kVertices == 48 && sizeof kIndices == 24, "quad layout");

    D3D10_BUFFER_DESC desc = {};
    desc.ByteWidth = sizeof kVertices;
    desc.Usage = D3D10_USAGE_DEFAULT;
    desc.BindFlags = D3D10_BIND_VERTEX_BUFFER;
    D3D10_SUBRESOURCE_DATA data = {kVertices, 0, 0};
    SafeRelease(mVertexBuffer);
    device->CreateBuffer(&desc, &data, &mVertexBuffer);

    desc.ByteWidth = sizeof kIndices;
    desc.BindFlags = D3D10_BIND_INDEX_BUFFER;
    data.pSysMem = kIndices;
    SafeRelease(mIndexBuffer);
    device->CreateBuffer(&desc, &data, &mIndexBuffer);
}

uint32_t fw_ScreenQuad::Draw(ID3D10EffectTechnique* technique) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device)
        return 0;
    device->IASetInputLayout(mInputLayout);
    const UINT stride = 12, offset = 0;
    device->IASetVertexBuffers(0, 1, &mVertexBuffer, &stride, &offset);
    device->IASetIndexBuffer(mIndexBuffer, DXGI_FORMAT_R32_UINT, 0);
    device->IASetPrimitiveTopology(static_cast<D3D10_PRIMITIVE_TOPOLOGY>(4));
    if (!technique || !technique->IsValid())
        return 0;
    D3D10_TECHNIQUE_DESC desc = {};
    if (FAILED(technique->GetDesc(&desc)))
        return 0;
    uint32_t draws = 0;
    for (UINT i = 0; i < desc.Passes; ++i) {
        technique->GetPassByIndex(i)->Apply(0);
        device->DrawIndexed(6, 0, 0);
        ++draws;
    }
    return draws;
}

uint32_t fw_ScreenQuad::DrawInRect(const RECT& rectangle, ID3D10EffectTechnique* technique) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device)
        return 0;
    D3D10_VIEWPORT saved[D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE] = {};
    UINT count = D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE;
    device->RSGetViewports(&count, saved);
    if (count > D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE)
        count = D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE;
    const int64_t w = static_cast<int64_t>(rectangle.right) - rectangle.left;
    const int64_t h = static_cast<int64_t>(rectangle.bottom) - rectangle.top;
    D3D10_VIEWPORT rect[D3D10_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE];
    for (UINT i = 0; i < count; ++i)
        rect[i] = {static_cast<INT>(rectangle.left),
                   static_cast<INT>(rectangle.top),
                   static_cast<UINT>(w > 0 ? w : 0),
                   static_cast<UINT>(h > 0 ? h : 0),
                   0.0f,
                   1.0f};
    device->RSSetViewports(count, rect);
    const uint32_t draws = Draw(technique);
    device->RSSetViewports(count, saved);
    return draws;
}

void fw_ScreenQuad::Release() {
    SafeRelease(mInputLayout);
    SafeRelease(mVertexBuffer);
    SafeRelease(mIndexBuffer);
}
