#include "VolumetricLight.h"

#include <vector>

#include "DrawHelpers.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "platform/d3d10.h"

VolumetricLight::VolumetricLight()
    : VertexEffect("volumetricLight.fx", true, "lightShaft",
                   {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0}, sizeof(Vertex)),
      mCount(kShaftCount) {
    CreateShafts();
    LoadEffect();
}

void VolumetricLight::CreateShafts() {
    const int32_t count = mCount > 0 ? mCount : 0;
    std::vector<Vertex> vertices;
    vertices.reserve(size_t(count) * kVerticesPerShaft);
    for (int32_t s = 0; s < count; ++s) {
        const float a = static_cast<float>(SignedUnit() * 10.0);
        const float b = static_cast<float>(SignedUnit() * 10.0);
        for (int i = 0; i < kVerticesPerShaft; ++i)
            vertices.push_back(Vertex{{a, b}});
    }
    SetVertices(vertices.data(), vertices.size() * sizeof(Vertex));
}

void VolumetricLight::Draw() {
    DrawVertices(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST, static_cast<UINT>(mCount * kVerticesPerShaft));
}
