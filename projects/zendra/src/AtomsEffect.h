#pragma once
// Atoms transitions: one light streak per pixel of the render size, a line of two equal
// points that "atoms.fx" moves and colours from the first image to the second as the
// tracks "Atoms_Param" and "Atoms_TransType" say.

#include <cstdint>

#include "platform/d3d10.h"

class fw_Effect;
class fw_Texture;

class AtomsEffect {
public:
    // Builds the streaks of width x height pixels, then loads the effect.
    AtomsEffect(int width, int height);
    ~AtomsEffect();
    AtomsEffect(const AtomsEffect&) = delete;
    AtomsEffect& operator=(const AtomsEffect&) = delete;

    // Two equal vertices (x, y) per pixel, row by row from the bottom (y = -1), into an
    // immutable buffer; logs the streak count. An empty grid creates no buffer.
    void CreateStreaks();
    // "atoms.fx" with the shared pool; the input layout from pass 0 of "atoms".
    void LoadEffect();
    // Draws the transition from first to second into the bound render target. Nothing
    // when there are no streaks or the effect did not load.
    void Draw(fw_Texture* first, fw_Texture* second);
    // Gives up the effect, the input layout and the buffer; safe before the destructor.
    void Release();

    // The byte size of one streak vertex: two floats.
    static constexpr uint32_t kVertexSize = 8;

    int32_t mStreakCount;             // mWidth x mHeight once built
    fw_Effect* mEffect;               // owned
    int32_t mWidth;
    int32_t mHeight;
    ID3D10Buffer* mVertexBuffer;      // 2 x mStreakCount vertices; null when empty
    ID3D10InputLayout* mInputLayout;  // "POSITION" R32G32_FLOAT
};
