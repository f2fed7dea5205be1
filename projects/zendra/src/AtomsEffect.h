#pragma once
// Atoms transitions: one light streak per pixel of the render size, a line of two equal
// points that "atoms.fx" moves and colours from the first image to the second as the
// tracks "Atoms_Param" and "Atoms_TransType" say.

#include <cstdint>

#include "DrawHelpers.h"
#include "platform/d3d10.h"

class fw_Texture;

class AtomsEffect : public VertexEffect {
public:
    // Builds the streaks of width x height pixels, then loads the effect.
    AtomsEffect(int width, int height);

    // Two equal vertices (x, y) per pixel, row by row from the bottom (y = -1), into an
    // immutable buffer; logs the streak count. An empty grid creates no buffer.
    void CreateStreaks();
    // Draws the transition from first to second into the bound render target. Nothing
    // when there are no streaks or the effect did not load.
    void Draw(fw_Texture* first, fw_Texture* second);

    // The byte size of one streak vertex: two floats.
    static constexpr uint32_t kVertexSize = 8;

    // The vertex buffer holds 2 x mStreakCount vertices (none when empty); the effect is
    // "atoms.fx" in the shared pool.
    int32_t mStreakCount;  // mWidth x mHeight once built
    int32_t mWidth;
    int32_t mHeight;
};
