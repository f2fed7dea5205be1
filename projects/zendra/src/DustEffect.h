#pragma once
// Dust: 1300 fixed random particles in [-1, 1]^3 with a fourth value in [0, 1], three
// equal vertices each, that "dust.fx" (technique "dust") places around the camera as soft
// motes with the sprite "./data/dustParticle.png", sized by the depth-of-field tracks.

#include <cstdint>

#include "DrawHelpers.h"

class DustEffect : public VertexEffect {
public:
    // 16 bytes; the three vertices of a particle are equal.
    struct Vertex {
        float position[4];
    };

    static constexpr int32_t kParticleCount = 1300;
    static constexpr int32_t kVerticesPerParticle = 3;

    // Builds the particles from the C runtime generator in its current state, then loads the effect.
    DustEffect();

    void CreateParticles();
    void LoadEffect();
    // Sets "gDepthOfFieldParameters" and "gColorScale" from the tracks "DOF_Focus",
    // "DOF_Scale", "DOF_Clamp" and "DUST_ColorScale", then draws every pass of "dust".
    void Draw();

    int32_t mCount;
};
