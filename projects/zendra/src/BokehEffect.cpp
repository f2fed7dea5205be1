#include "BokehEffect.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "DrawHelpers.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Texture.h"

namespace {

// Largest disc radius in pixels at a viewport height of 800 (scaled with the height).
constexpr double kMaxRadiusAt800 = 24.0;

}  // namespace

BokehEffect::BokehEffect(int width, int height)
    : VertexEffect("bokeh.fx", false, "bokeh",
                   {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0}, kVertexSize),
      mWidth(width),
      mHeight(height) {
    CreateGrid();
    LoadEffect();
}

void BokehEffect::CreateGrid() {
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
    SetVertices(vertices.data(), vertexCount * kVertexSize);
}

BokehEffect::~BokehEffect() {
    Release();
}

void BokehEffect::Release() {
    ReleaseAndDelete(mBlockLight);
    ReleaseAndDelete(mBlockChoice);
    VertexEffect::Release();
}

bool BokehEffect::PrepareBlockTargets(const fw_Texture& source) {
    const uint32_t width = (source.GetWidth() + 1) / 2, height = (source.GetHeight() + 1) / 2;
    if (width == 0 || height == 0)
        return false;
    if (mBlockLight && mBlockChoice && mBlockLight->GetWidth() == width && mBlockLight->GetHeight() == height)
        return true;
    ReleaseAndDelete(mBlockLight);
    ReleaseAndDelete(mBlockChoice);
    const uint32_t bind = D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE;
    mBlockLight = new fw_Texture(bind, DXGI_FORMAT_R32G32B32A32_FLOAT, width, height, 1, nullptr);
    mBlockChoice = new fw_Texture(bind, DXGI_FORMAT_R32_FLOAT, width, height, 1, nullptr);
    return mBlockLight->mRenderTargetView && mBlockChoice->mRenderTargetView;
}

void BokehEffect::Draw(fw_Texture* source) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !mVertexBuffer || !mEffect || !source || !PrepareBlockTargets(*source))
        return;
    mEffect->SetTexture("gTexture", source);

    // The block pass into its two targets, then back to the target and viewport the caller
    // bound, which the discs draw into.
    ID3D10RenderTargetView* target = nullptr;
    ID3D10DepthStencilView* depth = nullptr;
    device->OMGetRenderTargets(1, &target, &depth);
    UINT viewportCount = 1;
    D3D10_VIEWPORT viewport = {};
    device->RSGetViewports(&viewportCount, &viewport);
    mEffect->SetTexture("gBlockLight", nullptr);
    mEffect->SetTexture("gBlockChoice", nullptr);
    fw_Framework::SetRenderTargets(0, mBlockLight, mBlockChoice, nullptr, nullptr);
    DrawAllPasses(mEffect->GetTechnique("bokehBlocks"), mVertexBuffer, kVertexSize, mInputLayout,
                  D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST, 3);
    device->OMSetRenderTargets(1, &target, depth);
    device->RSSetViewports(viewportCount, &viewport);
    SafeRelease(target);
    SafeRelease(depth);
    mEffect->SetTexture("gBlockLight", mBlockLight);
    mEffect->SetTexture("gBlockChoice", mBlockChoice);

    // Guard band: the viewport grows by the largest sprite extent on every side and the
    // shader scales positions back, so that no disc vertex leaves the clip volume.
    const double maxRadius = kMaxRadiusAt800 * viewport.Height / 800.0;
    const GuardBand guard(static_cast<int32_t>(std::ceil(2.0 * maxRadius)) + 2);
    if (guard.Active()) {
        mEffect->SetFloat4("gViewport", static_cast<float>(viewport.Width), static_cast<float>(viewport.Height),
                           static_cast<float>(guard.Wide().Width), static_cast<float>(guard.Wide().Height));
        mEffect->SetFloat("gMaxRadius", static_cast<float>(maxRadius));
    }
    // The picture's triangle, then one triangle per 2 x 2 block of the source, within the grid.
    const uint64_t blocks = (uint64_t(source->GetWidth()) + 1) / 2 * ((uint64_t(source->GetHeight()) + 1) / 2);
    const uint64_t gridVertices = 3ull * uint64_t(mWidth) * uint64_t(mHeight);
    DrawVertices(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST, static_cast<UINT>(std::min(3 + 3 * blocks, gridVertices)));
}
