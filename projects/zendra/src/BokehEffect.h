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
    // Draws the bokeh of source into the bound render target (additively). Nothing when
    // the grid is empty, the effect did not load or source has no view.
    void Draw(fw_Texture* source);

    // The byte size of one grid vertex: two floats.
    static constexpr uint32_t kVertexSize = 8;

    // The vertex buffer holds 3 x mWidth x mHeight vertices (none for an empty grid); the
    // effect is "bokeh.fx" without the shared pool.
    int32_t mWidth;
    int32_t mHeight;
};
