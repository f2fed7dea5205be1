#include "BokehEffect.h"

#include <cmath>
#include <vector>

#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Texture.h"

namespace {

template <typename T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Largest disc radius in pixels at a viewport height of 800 (scaled with the height).
constexpr double kMaxRadiusAt800 = 24.0;

}  // namespace

BokehEffect::BokehEffect(int width, int height)
    : mEffect(nullptr), mVertexBuffer(nullptr), mInputLayout(nullptr), mWidth(width), mHeight(height)
{
    CreateGrid();
    LoadEffect();
}

BokehEffect::~BokehEffect() { Release(); }

void BokehEffect::CreateGrid()
{
    SafeRelease(mVertexBuffer);
    if (mWidth <= 0 || mHeight <= 0)
        return;  // a buffer of zero bytes cannot be created: an empty grid has none
    const uint64_t vertexCount = 3ull * static_cast<uint64_t>(mWidth) * static_cast<uint64_t>(mHeight);
    if (vertexCount * kVertexSize > UINT32_MAX)
        return;
    std::vector<float> vertices;
    vertices.reserve(vertexCount * 2);
    const double w = static_cast<float>(mWidth), h = static_cast<float>(mHeight);
    for (int32_t i = 0; i < mHeight; ++i) {
        const float y = static_cast<float>(static_cast<double>(static_cast<float>(i)) * 2.0 / h - 1.0);
        for (int32_t j = 0; j < mWidth; ++j) {
            const float x = static_cast<float>(static_cast<double>(static_cast<float>(j)) * 2.0 / w - 1.0);
            for (int copy = 0; copy < 3; ++copy) {
                vertices.push_back(x);
                vertices.push_back(y);
            }
        }
    }
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device)
        return;
    D3D10_BUFFER_DESC desc = {};
    desc.ByteWidth = static_cast<UINT>(vertexCount * kVertexSize);
    desc.Usage = D3D10_USAGE_IMMUTABLE;
    desc.BindFlags = D3D10_BIND_VERTEX_BUFFER;
    D3D10_SUBRESOURCE_DATA data = {vertices.data(), 0, 0};
    if (FAILED(device->CreateBuffer(&desc, &data, &mVertexBuffer)))
        mVertexBuffer = nullptr;
}

void BokehEffect::LoadEffect()
{
    delete mEffect;
    SafeRelease(mInputLayout);
    mEffect = new fw_Effect("bokeh.fx", nullptr);
    ID3D10Device* device = fw_Framework::mDevice;
    ID3D10EffectTechnique* technique = mEffect->GetTechnique("bokeh");
    if (!device || !technique->IsValid())
        return;
    D3D10_PASS_DESC pass = {};
    if (FAILED(technique->GetPassByIndex(0)->GetDesc(&pass)) || !pass.pIAInputSignature)
        return;
    const D3D10_INPUT_ELEMENT_DESC element = {
        "POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0};
    if (FAILED(device->CreateInputLayout(&element, 1, pass.pIAInputSignature, pass.IAInputSignatureSize,
                                         &mInputLayout)))
        mInputLayout = nullptr;
}

void BokehEffect::Draw(fw_Texture* source)
{
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !mVertexBuffer || !mEffect || !source)
        return;
    mEffect->SetTexture("gTexture", source);

    const UINT stride = kVertexSize, offset = 0;
    device->IASetVertexBuffers(0, 1, &mVertexBuffer, &stride, &offset);
    device->IASetInputLayout(mInputLayout);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);

    // Guard band: the viewport grows by the largest sprite extent on every side and the
    // shader scales positions back, so that no disc vertex leaves the clip volume.
    UINT viewportCount = 1;
    D3D10_VIEWPORT viewport = {};
    device->RSGetViewports(&viewportCount, &viewport);
    const bool guarded = viewportCount > 0 && viewport.Width > 0 && viewport.Height > 0;
    if (guarded) {
        const double maxRadius = kMaxRadiusAt800 * viewport.Height / 800.0;
        const int32_t guard = static_cast<int32_t>(std::ceil(2.0 * maxRadius)) + 2;
        D3D10_VIEWPORT wide = viewport;
        wide.TopLeftX -= guard;
        wide.TopLeftY -= guard;
        wide.Width += 2 * guard;
        wide.Height += 2 * guard;
        mEffect->SetFloat4("gViewport", static_cast<float>(viewport.Width), static_cast<float>(viewport.Height),
                           static_cast<float>(wide.Width), static_cast<float>(wide.Height));
        mEffect->SetFloat("gMaxRadius", static_cast<float>(maxRadius));
        device->RSSetViewports(1, &wide);
    }

    ID3D10EffectTechnique* technique = mEffect->GetTechnique("bokeh");
    D3D10_TECHNIQUE_DESC desc = {};
    if (SUCCEEDED(technique->GetDesc(&desc))) {
        for (UINT p = 0; p < desc.Passes; ++p) {
            technique->GetPassByIndex(p)->Apply(0);
            device->Draw(static_cast<UINT>(mHeight) * static_cast<UINT>(mWidth) * 3u, 0);
        }
    }
    if (guarded)
        device->RSSetViewports(1, &viewport);
}

void BokehEffect::Release()
{
    delete mEffect;
    mEffect = nullptr;
    SafeRelease(mInputLayout);
    SafeRelease(mVertexBuffer);
}
