#include "DrawHelpers.h"

#include "fw_Effect.h"
#include "fw_Framework.h"
#include "platform/crt.h"

double SignedUnit() {
    return double(static_cast<float>(rand())) * 2.0 / 32767.0 - 1.0;
}

ID3D10Buffer* CreateFilledBuffer(const void* data, size_t bytes, D3D10_USAGE usage, UINT bindFlags) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || bytes == 0 || bytes > UINT32_MAX)
        return nullptr;
    D3D10_BUFFER_DESC desc = {};
    desc.ByteWidth = static_cast<UINT>(bytes);
    desc.Usage = usage;
    desc.BindFlags = bindFlags;
    D3D10_SUBRESOURCE_DATA init = {data, 0, 0};
    ID3D10Buffer* buffer = nullptr;
    if (FAILED(device->CreateBuffer(&desc, &init, &buffer)))
        return nullptr;
    return buffer;
}

ID3D10InputLayout* CreatePassLayout(ID3D10EffectTechnique* technique, const D3D10_INPUT_ELEMENT_DESC* elements,
                                    UINT count) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !technique || !technique->IsValid())
        return nullptr;
    D3D10_PASS_DESC pass = {};
    if (FAILED(technique->GetPassByIndex(0)->GetDesc(&pass)) || !pass.pIAInputSignature)
        return nullptr;
    ID3D10InputLayout* layout = nullptr;
    if (FAILED(device->CreateInputLayout(elements, count, pass.pIAInputSignature, pass.IAInputSignatureSize, &layout)))
        return nullptr;
    return layout;
}

void DrawAllPasses(ID3D10EffectTechnique* technique, ID3D10Buffer* buffer, UINT stride, ID3D10InputLayout* layout,
                   D3D10_PRIMITIVE_TOPOLOGY topology, UINT vertexCount) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !technique || !buffer)
        return;
    const UINT offset = 0;
    device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
    device->IASetInputLayout(layout);
    device->IASetPrimitiveTopology(topology);
    D3D10_TECHNIQUE_DESC desc = {};
    if (FAILED(technique->GetDesc(&desc)))
        return;
    for (UINT p = 0; p < desc.Passes; ++p) {
        technique->GetPassByIndex(p)->Apply(0);
        device->Draw(vertexCount, 0);
    }
}

GuardBand::GuardBand(int32_t guard) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device)
        return;
    UINT count = 1;
    device->RSGetViewports(&count, &mViewport);
    if (count == 0 || mViewport.Width == 0 || mViewport.Height == 0)
        return;
    mWide = mViewport;
    mWide.TopLeftX -= guard;
    mWide.TopLeftY -= guard;
    mWide.Width += 2 * guard;
    mWide.Height += 2 * guard;
    device->RSSetViewports(1, &mWide);
    mActive = true;
}

GuardBand::~GuardBand() {
    if (mActive && fw_Framework::mDevice)
        fw_Framework::mDevice->RSSetViewports(1, &mViewport);
}

VertexEffect::VertexEffect(const char* file, bool inPool, const char* technique,
                           const D3D10_INPUT_ELEMENT_DESC& element, UINT stride)
    : mFile(file), mInPool(inPool), mTechnique(technique), mElement(element), mStride(stride) {}

VertexEffect::~VertexEffect() {
    Release();
}

void VertexEffect::LoadEffect() {
    delete mEffect;
    SafeRelease(mInputLayout);
    mEffect = new fw_Effect(mFile, mInPool ? fw_Framework::GetEffectPool() : nullptr);
    mInputLayout = CreatePassLayout(Technique(), &mElement, 1);
}

void VertexEffect::Release() {
    delete mEffect;
    mEffect = nullptr;
    SafeRelease(mInputLayout);
    SafeRelease(mVertexBuffer);
}

void VertexEffect::SetVertices(const void* data, size_t bytes) {
    SafeRelease(mVertexBuffer);
    mVertexBuffer = CreateFilledBuffer(data, bytes);
}

ID3D10EffectTechnique* VertexEffect::Technique() const {
    return mEffect ? mEffect->GetTechnique(mTechnique) : nullptr;
}

void VertexEffect::DrawVertices(D3D10_PRIMITIVE_TOPOLOGY topology, UINT vertexCount) const {
    if (mEffect)
        DrawAllPasses(Technique(), mVertexBuffer, mStride, mInputLayout, topology, vertexCount);
}
