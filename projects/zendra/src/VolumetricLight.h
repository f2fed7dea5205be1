#pragma once
// Light shafts: 1000 fixed random points in [-10, 10]^2, six equal vertices each, that
// "volumetricLight.fx" (technique "lightShaft") expands into camera-facing shafts falling
// from the scene's light. The scene sets the effect's light, shadow and camera variables.

#include <cstdint>

#include "DrawHelpers.h"

class VolumetricLight : public VertexEffect {
public:
    // 8 bytes; the six vertices of a shaft are equal.
    struct Vertex {
        float position[2];
    };

    static constexpr int32_t kShaftCount = 1000;
    static constexpr int32_t kVerticesPerShaft = 6;

    // Builds the shafts from the C runtime generator in its current state, then loads the effect.
    VolumetricLight();

    void CreateShafts();
    // Binds the buffer and layout and draws every pass of "lightShaft"; sets no variable.
    void Draw();

    int32_t mCount;
};
