// Bokeh: one triangle of the grid per 2 x 2 block of gTexture, found from the vertex index
// (the grid's own positions go unused). The first triangle carries the sharp picture over
// the whole viewport; of the others, the brightest pixel of each block whose luminance
// exceeds the threshold becomes a soft lens disc with the light of the whole block, sized
// by its brightness and by its circle of confusion (from the eye distance that the scene
// keeps in alpha). Every other triangle collapses to a point in the vertex shader and costs
// no rasterisation. The draw is additive, over whatever the target holds.
// A pass before it ("bokehBlocks") finds each block's brightest texel and light once, one
// texel per block, so that each of the block's three vertices reads them instead of
// searching the block again.

sampler_state BokehPoint { Filter = MIN_MAG_MIP_POINT; AddressU = CLAMP; AddressV = CLAMP; };
blend_state BokehAdditive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
                            SrcBlendAlpha = ONE; DestBlendAlpha = ONE; BlendOpAlpha = ADD; };
depth_stencil_state BokehNoDepth { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state BokehNoCull { CullMode = NONE; };

uniform sampler2D gTexture : BokehPoint;
// One texel per block: (light of the block, eye distance of its brightest texel), and in
// x which texel of the block spills (0 to 3, x then y), -1 for none.
uniform sampler2D gBlockLight : BokehPoint;
uniform sampler2D gBlockChoice : BokehPoint;
// (viewport width, height, width and height of the viewport with its guard band)
uniform vec4 gViewport = vec4(1280.0, 800.0, 1380.0, 900.0);
// Radius in pixels of the largest disc; the guard band is at least twice as wide.
uniform float gMaxRadius = 24.0;
// Luminance above which a pixel spills into a disc, and the brightness of the discs.
uniform float gThreshold = 1.6;
uniform float gBokehGain = 1.2;
// (focus distance, blur per unit of distance, largest blur, 0): the show's defaults.
uniform vec4 gDepthOfFieldParameters = vec4(20.0, 0.05, 0.5, 0.0);

const vec3 kLuminance = vec3(0.2126, 0.7152, 0.0722);

// Pixel position (y up, pixel centres at .5) to clip space of the guarded viewport.
vec4 PixelToClip(vec2 pixel) { return vec4((2.0 * pixel - gViewport.xy) / gViewport.zw, 0.0, 1.0); }

// The light of one texel above the threshold.
vec3 Excess(vec4 texel)
{
    float luminance = dot(texel.rgb, kLuminance);
    return luminance > gThreshold ? texel.rgb * ((luminance - gThreshold) / luminance) : vec3(0.0);
}

// local.xy: position in disc units (1 at the rim); local.z: edge softness in disc units;
// local.w < 0 marks the picture triangle (local.xy then is its texture coordinate).
void BokehVS(in vec2 position : POSITION, out vec4 hpos : SV_Position, out vec4 local : TEXCOORD0,
             out vec3 colour : TEXCOORD1)
{
    colour = vec3(0.0);
    if (gl_VertexID < 3) {
        // One triangle over the viewport: (-1,-1), (3,-1), (-1,3) in the viewport's clip space.
        vec2 q = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
        hpos = vec4(q * gViewport.xy / gViewport.zw, 0.0, 1.0);
        local = vec4(q.x * 0.5 + 0.5, 0.5 - q.y * 0.5, 0.0, -1.0);
        return;
    }
    // Integer division runs lane by lane on a CPU rasteriser: the quotients come from float
    // division, exact here (the remainders are at least half a divisor from a step).
    ivec2 size = textureSize(gTexture, 0);
    int triangle = int((float(gl_VertexID) + 0.5) / 3.0);
    int corner = gl_VertexID - 3 * triangle;
    int index = triangle - 1;
    int blocksX = (size.x + 1) / 2;
    int row = int((float(index) + 0.5) / float(blocksX));
    ivec2 block = 2 * ivec2(index - row * blocksX, row);
    local = vec4(0.0, 0.0, 1.0, 1.0);
#ifdef BOKEH_DRAW_EVERY_PRIMITIVE
    // For measurements only: a block that does not spill draws an empty 3-pixel triangle.
    vec2 origin = vec2(float(block.x) + 0.5, float(size.y - block.y) - 0.5) * gViewport.xy / vec2(size);
    hpos = PixelToClip(origin + vec2(corner == 1 ? 1.5 : 0.0, corner == 2 ? 1.5 : 0.0));
#else
    // Collapsed: a point at the guard band's corner, inside the clip volume.
    hpos = vec4(-1.0, -1.0, 0.0, 1.0);
#endif

    float choice = texelFetch(gBlockChoice, block / 2, 0).x;
    if (choice < 0.0)
        return;
    int brightest = int(choice);
    vec4 centre = texelFetch(gBlockLight, block / 2, 0);
    vec3 light = centre.rgb;
    ivec2 texel = block + ivec2(brightest & 1, brightest >> 1);
    // Pixel position, y up, at the texel's centre.
    vec2 pixel = vec2(float(texel.x) + 0.5, float(size.y - texel.y) - 0.5) * gViewport.xy / vec2(size);

    float excess = dot(light, kLuminance);
    float blur = clamp(abs(centre.a - gDepthOfFieldParameters.x) * gDepthOfFieldParameters.y, 0.0,
                       gDepthOfFieldParameters.z);
    float radius = gMaxRadius * clamp(0.22 + 0.10 * log2(1.0 + excess) + 1.5 * blur, 0.15, 1.0);

    // An equilateral triangle around the disc: corners at twice the radius.
    float angle = 1.5707964 + 2.0943952 * float(corner);
    vec2 unit = 2.0 * vec2(cos(angle), sin(angle));
    hpos = PixelToClip(pixel + unit * radius);
    local = vec4(unit, 1.5 / radius, 1.0);
    colour = light * (gBokehGain / (1.0 + 0.035 * radius * radius));
}

// The block pass: a triangle over the viewport of the block targets.
void BlocksVS(in vec2 position : POSITION, out vec4 hpos : SV_Position)
{
    hpos = vec4(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0, 0.0, 1.0);
}

// The brightest texel of the block above the threshold (the first on ties) spills with the
// light of the whole block: flat bright areas draw a quarter of the discs.
void BlocksPS(in vec4 fragCoord : SV_Position, out vec4 lightAndDepth : SV_Target0, out vec4 choice : SV_Target1)
{
    ivec2 size = textureSize(gTexture, 0);
    ivec2 block = 2 * ivec2(fragCoord.xy);
    vec3 lights[4];
    int brightest = -1;
    float own = 0.0;
    vec4 centre = vec4(0.0);
    for (int k = 0; k < 4; ++k) {
        ivec2 texel = block + ivec2(k & 1, k >> 1);
        lights[k] = vec3(0.0);
        if (any(greaterThanEqual(texel, size)))
            continue;
        vec4 value = texelFetch(gTexture, texel, 0);
        lights[k] = Excess(value);
        float luminance = dot(lights[k], kLuminance);
        if (luminance > own) {
            own = luminance;
            brightest = k;
            centre = value;
        }
    }
    vec3 light = vec3(0.0);
    if (brightest >= 0) {
        light = lights[brightest];
        for (int k = 0; k < 4; ++k)
            if (k != brightest)
                light += lights[k];
    }
    lightAndDepth = vec4(light, centre.a);
    choice = vec4(float(brightest), 0.0, 0.0, 0.0);
}

void BokehPS(in vec4 local : TEXCOORD0, in vec3 colour : TEXCOORD1, out vec4 result : SV_Target0)
{
    if (local.w < 0.0) {
        result = texture(gTexture, local.xy);
        return;
    }
    float d = length(local.xy);
    float disc = 1.0 - smoothstep(1.0 - local.z, 1.0, d);
    // A lens disc: a faintly brighter rim with a warm outer and cool inner fringe.
    float rim = 0.75 + 0.35 * smoothstep(0.6, 0.97, d);
    vec3 fringe = vec3(1.0 + 0.12 * (d - 0.7), 1.0, 1.0 - 0.12 * (d - 0.7));
    result = vec4(colour * fringe * (disc * rim), 0.0);
}

blend_state BokehOpaque { BlendEnable[0] = FALSE; BlendEnable[1] = FALSE; };

technique bokehBlocks {
    pass P0 { VertexShader = BlocksVS; PixelShader = BlocksPS; BlendState = BokehOpaque;
              DepthStencilState = BokehNoDepth; RasterizerState = BokehNoCull; }
}

technique bokeh {
    pass P0 { VertexShader = BokehVS; PixelShader = BokehPS; BlendState = BokehAdditive;
              DepthStencilState = BokehNoDepth; RasterizerState = BokehNoCull; }
}
