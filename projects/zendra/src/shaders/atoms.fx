// Atoms: every pixel of the first image leaves its place as a glowing streak, flies, and
// lands as a pixel of the second image; one line of the grid per pixel. Each pixel has a
// start delay and runs its flight over a part of "gTransitionParameter" (0: the first
// image, 1: the second), along the path of "gTransitionType":
//   0  burst: the picture explodes outwards in a swirl from the centre and falls back;
//   1  vortex: the picture turns half a turn around the centre, drawn into a whirl;
//   2  cascade: columns pour down, the second image falls in from the top.
// Pixels at rest (not yet started or landed) cost no line of their own: one streak of
// each row draws the whole row's resting pixels, the others collapse in the vertex shader.
// The draw is additive into a cleared target.
#include "fw_Globals.fxi"

sampler_state AtomsLinear { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; };
blend_state AtomsAdditive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
                            SrcBlendAlpha = ONE; DestBlendAlpha = ONE; BlendOpAlpha = ADD; };
depth_stencil_state AtomsNoDepth { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state AtomsNoCull { CullMode = NONE; };

uniform sampler2D gSourceTexture1 : AtomsLinear;
uniform sampler2D gSourceTexture2 : AtomsLinear;
uniform vec4 gOverlayUVscale = vec4(1.0, 1.0, 0.0, 0.0);
uniform float gTransitionParameter;
uniform int gTransitionType;
// (viewport width, height, width and height of the viewport with its guard band)
uniform vec4 gViewport = vec4(1280.0, 800.0, 1288.0, 808.0);

const float kPi = 3.14159265;
const float kFlight = 0.65;      // share of the parameter one pixel flies
const float kSpread = 0.28;      // latest start delay (kSpread + kFlight < 1)

// Positions are in pixels with y up; pixel centres at .5.
vec4 PixelToClip(vec2 pixel) { return vec4((2.0 * pixel - gViewport.xy) / gViewport.zw, 0.0, 1.0); }

float Hash(vec2 p)
{
    vec3 q = fract(vec3(p.xyx) * 0.1031);
    q += dot(q, q.yzx + 33.33);
    return fract((q.x + q.y) * q.z);
}

mat2 Rotation(float angle)
{
    float c = cos(angle), s = sin(angle);
    return mat2(c, s, -s, c);
}

int Type() { return gTransitionType == 1 || gTransitionType == 2 ? gTransitionType : 0; }

// Where the pixel at p lands (its inverse is the same map).
vec2 Destination(vec2 p) { return Type() == 1 ? gViewport.xy - p : p; }

// The pixel's own time: 0 before it starts, 1 once it has landed.
float LocalTime(vec2 p)
{
    vec2 centre = 0.5 * gViewport.xy;
    float h = Hash(p);
    float delay;
    if (Type() == 0)
        delay = (kSpread - 0.06) * length(p - centre) / length(centre) + 0.06 * h;
    else if (Type() == 1)
        delay = (kSpread - 0.06) * (1.0 - length(p - centre) / length(centre)) + 0.06 * h;
    else
        delay = (kSpread - 0.08) * p.x / gViewport.x + 0.08 * Hash(vec2(floor(p.x), 17.0));
    return clamp((clamp(gTransitionParameter, 0.0, 1.0) - delay) / kFlight, 0.0, 1.0);
}

vec4 First(vec2 p)
{
    vec2 uv = vec2(p.x / gViewport.x, 1.0 - p.y / gViewport.y);
    return textureLod(gSourceTexture1, (uv - 0.5) * gOverlayUVscale.xy + 0.5, 0.0);
}

vec4 Second(vec2 p) { return textureLod(gSourceTexture2, vec2(p.x / gViewport.x, 1.0 - p.y / gViewport.y), 0.0); }

// The flight of the pixel p at its time t; wrapped tells whether a cascade pixel has
// fallen through the bottom (it is then a pixel of the second image). The burst and the
// vortex share one rotation about the centre (a software device runs every branch).
vec2 Flight(vec2 p, float t, out bool wrapped)
{
    vec2 centre = 0.5 * gViewport.xy;
    float scale = gViewport.y / 800.0;
    float h = Hash(p), h2 = Hash(p + 71.3);
    float ease = t * t * (3.0 - 2.0 * t);
    float arc = sin(kPi * t);
    float inner = 1.0 - min(length(p - centre) / length(centre), 1.0);
    bool burst = Type() == 0;
    float angle = burst ? (h - 0.5) * 2.4 * arc : kPi * ease + 2.2 * arc * inner * inner;
    float grow = burst ? 1.0 + (0.6 + 1.4 * h2) * arc : 1.0 + 0.5 * arc * (0.6 + 0.4 * h2);
    vec2 turned = centre + Rotation(angle) * (p - centre) * grow;
    if (burst)
        turned += vec2(0.0, 140.0 * scale * (h - 0.35)) * arc * arc;
    float y = p.y - gViewport.y * ease;
    wrapped = Type() == 2 && y < 0.0;
    return Type() == 2 ? vec2(p.x + 14.0 * scale * (h - 0.5) * arc, wrapped ? y + gViewport.y : y) : turned;
}

// Clips the segment a-b to the box lo-hi; false when nothing of it is inside.
bool ClipSegment(inout vec2 a, inout vec2 b, vec2 lo, vec2 hi)
{
    vec2 d = b - a;
    float t0 = 0.0, t1 = 1.0;
    for (int axis = 0; axis < 2; ++axis) {
        if (abs(d[axis]) < 1e-6) {
            if (a[axis] < lo[axis] || a[axis] > hi[axis])
                return false;
            continue;
        }
        float u = (lo[axis] - a[axis]) / d[axis], v = (hi[axis] - a[axis]) / d[axis];
        t0 = max(t0, min(u, v));
        t1 = min(t1, max(u, v));
    }
    if (t0 > t1)
        return false;
    vec2 start = a;
    a = start + d * t0;
    b = start + d * t1;
    return true;
}

// colour.a: 1 on a streak (its rgb the light); 0 on a resting row, whose pixels are looked
// up in the pixel shader: then colour.x is the pixel column along the row, colour.y its row.
void AtomsVS(in vec2 position : POSITION, out vec4 hpos : SV_Position, out vec4 colour : COLOR0)
{
    bool head = (gl_VertexID & 1) == 0;
    vec2 p = floor((position * 0.5 + 0.5) * gViewport.xy + 0.5) + 0.5;
    colour = vec4(0.0);
    // Collapsed: a zero-length line at the guard band's corner, inside the clip volume.
    hpos = vec4(-1.0, -1.0, 0.0, 1.0);

#ifndef ATOMS_DRAW_EVERY_PRIMITIVE
    if (floor(p.x) == floor(Hash(vec2(p.y, 3.7)) * gViewport.x)) {
        // This row's carrier: a line over the whole row; its pixel never flies itself.
        vec2 row = vec2(head ? -0.25 : gViewport.x + 0.75, p.y);
        colour = vec4(row, 0.0, 0.0);
        hpos = PixelToClip(row);
        return;
    }
#endif
    float t = LocalTime(p);
    vec2 a, b;
    float glow = sin(kPi * t);
    bool wrapped = false;
    if (t <= 0.0 || t >= 1.0) {
#ifndef ATOMS_DRAW_EVERY_PRIMITIVE
        return;
#else
        // For measurements only: a resting pixel draws itself as a one-pixel line.
        vec2 q = t <= 0.0 ? p : Destination(p);
        colour = vec4(t <= 0.0 ? First(p).rgb : Second(q).rgb, 1.0);
        hpos = PixelToClip(q + vec2(head ? -0.25 : 0.75, 0.0));
        return;
#endif
    }
    a = Flight(p, t, wrapped);
    // The tail: where the pixel was a moment ago, at most a few dozen pixels back.
    bool tailWrapped;
    b = Flight(p, max(t - 0.045, 0.0), tailWrapped);
    if (wrapped && !tailWrapped)
        b.y += gViewport.y;
    vec2 trail = b - a;
    float len = length(trail);
    float maxLen = 56.0 * gViewport.y / 800.0;
    if (len > maxLen) {
        b = a + trail * (maxLen / len);
        len = maxLen;
    }
    if (len < 1.0) {
        a -= vec2(0.25, 0.0);
        b = a + vec2(1.0, 0.0);
        len = 1.0;
    }
    if (!ClipSegment(a, b, vec2(-1.0), gViewport.xy + 1.0))
        return;

    // A cascade pixel lands where it started: its second image is read at p as well.
    vec3 first = First(p).rgb, second = Second(Destination(p)).rgb;
    vec3 light = Type() == 2 ? (wrapped ? second : first) : mix(first, second, smoothstep(0.3, 0.7, t));
    // Glowing in flight: brighter and bluish-white at the head, fading along the trail; a
    // streak spreads its pixel's light over its length.
    float luminance = dot(light, vec3(0.2126, 0.7152, 0.0722));
    light = light * (1.0 + 3.0 * glow) + vec3(0.20, 0.32, 0.55) * glow * (0.1 + luminance);
    light /= 1.0 + 0.45 * (len - 1.0);
    colour = vec4(light * (head ? 1.0 : 0.1), head ? 1.0 : 0.1);
    hpos = PixelToClip(head ? a : b);
}

void AtomsPS(in vec4 colour : COLOR0, out vec4 result : SV_Target0)
{
    if (colour.a > 0.0) {
        result = colour;
        return;
    }
    // A resting row: the first image where its pixel has not left yet, the second where
    // the pixel that lands here has landed.
    vec2 p = floor(colour.xy) + 0.5;
    result = vec4(0.0);
    if (LocalTime(p) <= 0.0)
        result += vec4(First(p).rgb, 1.0);
    if (LocalTime(Destination(p)) >= 1.0)
        result += vec4(Second(p).rgb, 1.0);
}

technique atoms {
    pass P0 { VertexShader = AtomsVS; PixelShader = AtomsPS; BlendState = AtomsAdditive;
              DepthStencilState = AtomsNoDepth; RasterizerState = AtomsNoCull; }
}
