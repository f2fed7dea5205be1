#include "VolumetricLight.h"

#include <vector>

#include "fw_Effect.h"
#include "fw_Framework.h"
#include "platform/crt.h"
#include "platform/d3d10.h"

namespace {

template <typename T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// rand() x 2 / 32767 - 1, in double from the float of rand.
double SignedUnit()
{
    return double(static_cast<float>(rand())) * 2.0 / 32767.0 - 1.0;
}

} // namespace

VolumetricLight::VolumetricLight()
    : mCount(kShaftCount), mEffect(nullptr), mVertexBuffer(nullptr), mInputLayout(nullptr)
{
    CreateShafts();
    LoadEffect();
}

VolumetricLight::~VolumetricLight()
{
    Release();
}

void VolumetricLight::CreateShafts()
{
    const int32_t count = mCount > 0 ? mCount : 0;
    std::vector<Vertex> vertices;
    vertices.reserve(size_t(count) * kVerticesPerShaft);
    for (int32_t s = 0; s < count; ++s) {
        const float a = static_cast<float>(SignedUnit() * 10.0);
        const float b = static_cast<float>(SignedUnit() * 10.0);
        for (int i = 0; i < kVerticesPerShaft; ++i)
            vertices.push_back(Vertex{{a, b}});
    }
    SafeRelease(mVertexBuffer);
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || vertices.empty())
        return;
    D3D10_BUFFER_DESC desc = {};
    desc.ByteWidth = static_cast<UINT>(vertices.size() * sizeof(Vertex));
    desc.Usage = D3D10_USAGE_IMMUTABLE;
    desc.BindFlags = D3D10_BIND_VERTEX_BUFFER;
    D3D10_SUBRESOURCE_DATA data = {vertices.data(), 0, 0};
    device->CreateBuffer(&desc, &data, &mVertexBuffer);
}

void VolumetricLight::LoadEffect()
{
    delete mEffect;
    mEffect = new fw_Effect("volumetricLight.fx", fw_Framework::GetEffectPool());
    SafeRelease(mInputLayout);
    ID3D10Device* device = fw_Framework::mDevice;
    ID3D10EffectTechnique* technique = mEffect->GetTechnique("lightShaft");
    D3D10_PASS_DESC pass = {};
    if (!device || FAILED(technique->GetPassByIndex(0)->GetDesc(&pass)) || !pass.pIAInputSignature)
        return;
    static const D3D10_INPUT_ELEMENT_DESC kLayout[1] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0}};
    device->CreateInputLayout(kLayout, 1, pass.pIAInputSignature, pass.IAInputSignatureSize, &mInputLayout);
}

void VolumetricLight::Draw()
{
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !mEffect || !mVertexBuffer)
        return;
    const UINT stride = sizeof(Vertex), offset = 0;
    device->IASetVertexBuffers(0, 1, &mVertexBuffer, &stride, &offset);
    device->IASetInputLayout(mInputLayout);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    ID3D10EffectTechnique* technique = mEffect->GetTechnique("lightShaft");
    D3D10_TECHNIQUE_DESC desc = {};
    if (FAILED(technique->GetDesc(&desc)))
        return;
    for (UINT p = 0; p < desc.Passes; ++p) {
        technique->GetPassByIndex(p)->Apply(0);
        device->Draw(static_cast<UINT>(mCount * kVerticesPerShaft), 0);
    }
}

void VolumetricLight::Release()
{
    delete mEffect;
    mEffect = nullptr;
    SafeRelease(mInputLayout);
    SafeRelease(mVertexBuffer);
}
