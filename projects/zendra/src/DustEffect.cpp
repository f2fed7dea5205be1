#include "DustEffect.h"

#include <cmath>
#include <vector>

#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Texture.h"
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

double UnitRand()
{
    return double(static_cast<float>(rand())) / 32767.0;
}

double SignedUnit()
{
    return double(static_cast<float>(rand())) * 2.0 / 32767.0 - 1.0;
}

// A track value; a NaN or infinite one gives the default, so that no non-finite value
// reaches the picture.
float TrackValue(const char* name, float defaultValue)
{
    const float value = fw_Framework::GetSyncValueNow(name, defaultValue);
    return std::isfinite(value) ? value : defaultValue;
}

} // namespace

DustEffect::DustEffect()
    : mCount(kParticleCount), mEffect(nullptr), mVertexBuffer(nullptr), mInputLayout(nullptr)
{
    CreateParticles();
    LoadEffect();
}

DustEffect::~DustEffect()
{
    Release();
}

void DustEffect::CreateParticles()
{
    const int32_t count = mCount > 0 ? mCount : 0;
    std::vector<Vertex> vertices;
    vertices.reserve(size_t(count) * kVerticesPerParticle);
    for (int32_t p = 0; p < count; ++p) {
        const float a = static_cast<float>(SignedUnit());
        const float b = static_cast<float>(SignedUnit());
        const float c = static_cast<float>(SignedUnit());
        const float d = static_cast<float>(UnitRand());
        for (int i = 0; i < kVerticesPerParticle; ++i)
            vertices.push_back(Vertex{{a, b, c, d}});
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

void DustEffect::LoadEffect()
{
    delete mEffect;
    mEffect = new fw_Effect("dust.fx", fw_Framework::GetEffectPool());
    if (gFramework)
        mEffect->SetTexture("gTexture", gFramework->FindOrLoadTexture("./data/dustParticle.png"));
    SafeRelease(mInputLayout);
    ID3D10Device* device = fw_Framework::mDevice;
    ID3D10EffectTechnique* technique = mEffect->GetTechnique("dust");
    D3D10_PASS_DESC pass = {};
    if (!device || FAILED(technique->GetPassByIndex(0)->GetDesc(&pass)) || !pass.pIAInputSignature)
        return;
    static const D3D10_INPUT_ELEMENT_DESC kLayout[1] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0}};
    device->CreateInputLayout(kLayout, 1, pass.pIAInputSignature, pass.IAInputSignatureSize, &mInputLayout);
}

void DustEffect::Draw()
{
    if (!mEffect)
        return;
    const float focus = TrackValue("DOF_Focus", 20.0f);
    const float scale = TrackValue("DOF_Scale", 50.0f);
    const float clamp = TrackValue("DOF_Clamp", 50.0f);
    mEffect->SetFloat4("gDepthOfFieldParameters", focus, static_cast<float>(double(scale) * double(0.001f)),
                       static_cast<float>(double(clamp) * double(0.01f)), 0.0f);
    mEffect->SetFloat("gColorScale", TrackValue("DUST_ColorScale", 1.0f));

    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !mVertexBuffer)
        return;
    const UINT stride = sizeof(Vertex), offset = 0;
    device->IASetVertexBuffers(0, 1, &mVertexBuffer, &stride, &offset);
    device->IASetInputLayout(mInputLayout);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    ID3D10EffectTechnique* technique = mEffect->GetTechnique("dust");
    D3D10_TECHNIQUE_DESC desc = {};
    if (FAILED(technique->GetDesc(&desc)))
        return;
    for (UINT p = 0; p < desc.Passes; ++p) {
        technique->GetPassByIndex(p)->Apply(0);
        device->Draw(static_cast<UINT>(mCount * kVerticesPerParticle), 0);
    }
}

void DustEffect::Release()
{
    delete mEffect;
    mEffect = nullptr;
    SafeRelease(mInputLayout);
    SafeRelease(mVertexBuffer);
}
