#include "DustEffect.h"

#include <cmath>
#include <vector>

#include "DrawHelpers.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Texture.h"
#include "platform/crt.h"
#include "platform/d3d10.h"

namespace {

double UnitRand() {
    return double(static_cast<float>(rand())) / 32767.0;
}

// A track value; a NaN or infinite one gives the default, so that no non-finite value
// reaches the picture.
float TrackValue(const char* name, float defaultValue) {
    const float value = fw_Framework::GetSyncValueNow(name, defaultValue);
    return std::isfinite(value) ? value : defaultValue;
}

}  // namespace

DustEffect::DustEffect()
    : VertexEffect("dust.fx", true, "dust",
                   {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
                   sizeof(Vertex)),
      mCount(kParticleCount) {
    CreateParticles();
    LoadEffect();
}

void DustEffect::CreateParticles() {
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
    SetVertices(vertices.data(), vertices.size() * sizeof(Vertex));
}

void DustEffect::LoadEffect() {
    VertexEffect::LoadEffect();
    if (gFramework)
        mEffect->SetTexture("gTexture", gFramework->FindOrLoadTexture("./data/dustParticle.png"));
}

void DustEffect::Draw() {
    if (!mEffect)
        return;
    const float focus = TrackValue("DOF_Focus", 20.0f);
    const float scale = TrackValue("DOF_Scale", 50.0f);
    const float clamp = TrackValue("DOF_Clamp", 50.0f);
    mEffect->SetFloat4("gDepthOfFieldParameters", focus, static_cast<float>(double(scale) * double(0.001f)),
                       static_cast<float>(double(clamp) * double(0.01f)), 0.0f);
    mEffect->SetFloat("gColorScale", TrackValue("DUST_ColorScale", 1.0f));

    DrawVertices(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST, static_cast<UINT>(mCount * kVerticesPerParticle));
}
