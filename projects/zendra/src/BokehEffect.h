#pragma once
// Bokeh: a grid of one triangle per pixel of the render target, drawn from a source
// texture by "bokeh.fx", which uses one triangle per 2 x 2 block of the source. The
// brightest pixel of a bright block becomes a soft disc; other triangles collapse in the
// vertex shader and cost no rasterisation.

#include <cstdint>

#include "DrawHelpers.h"
#include "platform/d3d10.h"

class fw_Texture;

class BokehEffect : public VertexEffect {
public:
    // Builds the grid of width x height points, then loads the effect. The grid keeps its
    // size when the render size changes later.
    BokehEffect(int width, int height);

    // Three equal vertices (x, y) per grid point, row by row from the bottom (y = -1),
    // into an immutable buffer. An empty grid creates no buffer.
    void CreateGrid();
    // Draws the bokeh of source into the bound render target (additively), after the block
    // pass into the two block targets (made at the source's block size on first use).
    // Nothing when the grid is empty, the effect did not load or source has no view; the
    // bound target and viewport are as before.
    void Draw(fw_Texture* source);
    // Gives back the block targets, then what the base gives back.
    void Release() override;
    ~BokehEffect() override;

    // The byte size of one grid vertex: two floats.
    static constexpr uint32_t kVertexSize = 8;

    // The vertex buffer holds 3 x mWidth x mHeight vertices (none for an empty grid); the
    // effect is "bokeh.fx" without the shared pool.
    int32_t mWidth;
    int32_t mHeight;

private:
    // False when the block targets cannot be made for the source.
    bool PrepareBlockTargets(const fw_Texture& source);
    // Light and eye distance (32-bit float RGBA) and the spilling texel (32-bit float) of
    // each 2 x 2 block; owned.
    fw_Texture* mBlockLight = nullptr;
    fw_Texture* mBlockChoice = nullptr;
};
