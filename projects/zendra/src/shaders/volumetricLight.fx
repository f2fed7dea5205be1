// Light shafts. Each shaft is six equal vertices holding a point of the light's image
// plane in [-10, 10]^2 (1 = the edge of the light's frustum). The vertex shader turns them
// into a strip along the ray from the light through that point, turned to face the eye;
// the pixel shader lights it: a soft core across, fading with distance, cut by the
// variance shadow map where the ray meets the shadow caster, speckled by drifting dust.
// The variance map holds the distance from the light and its square (cleared to 150).
#include "fw_Globals.fxi"

sampler_state ShaftLinearWrap { Filter = MIN_MAG_LINEAR_MIP_POINT; AddressU = WRAP; AddressV = WRAP; };
sampler_state ShaftLinearClamp { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; };

// Light adds up; the alpha channel of the target is left as it is.
blend_state ShaftAdditive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
                            SrcBlendAlpha = ZERO; DestBlendAlpha = ONE; BlendOpAlpha = ADD; };
depth_stencil_state ShaftDepthTest { DepthEnable = TRUE; DepthWriteMask = ZERO; DepthFunc = LESS_EQUAL; };
rasterizer_state ShaftNoCull { CullMode = NONE; };

uniform sampler2D gDustTexture : ShaftLinearWrap;
uniform sampler2D gDepthVarianceTexture : ShaftLinearClamp;
uniform vec4 gRightDirection = vec4(1.0, 0.0, 0.0, 0.0);
uniform mat4 gLightInverseViewProjection;
uniform float gLightIntensity = 0.015;

// World units from the light at which a shaft has faded out.
const float kShaftLength = 64.0;
// Mean distance between neighbouring shafts on the image plane (1000 shafts on 2 x 2).
const float kShaftSpacing = 0.063;
const vec3 kLightColour = vec3(1.0, 0.91, 0.78);

float ShaftHash(vec2 p) { return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453); }

bool Finite(vec3 v) { return !any(isnan(v)) && !any(isinf(v)); }

// World point on the light's far plane behind an image-plane point.
vec3 LightFarPoint(vec2 ndc) {
    vec4 p = gLightInverseViewProjection * vec4(ndc, 1.0, 1.0);
    return p.xyz / p.w;
}

void ShaftVS(in vec2 point : POSITION,
             out vec4 hpos : SV_Position,
             out vec3 strip : TEXCOORD0,
             out vec2 dustUV : TEXCOORD1,
             out vec4 shaft : TEXCOORD2) {
    // Two triangles; x across the strip (-1..1), y from the light (0) to the end (1).
    vec2 corners[6] = vec2[6](vec2(-1.0, 0.0), vec2(1.0, 0.0), vec2(-1.0, 1.0),
                              vec2(-1.0, 1.0), vec2(1.0, 0.0), vec2(1.0, 1.0));
    vec2 corner = corners[gl_VertexID % 6];

    vec2 ndc = point * 0.1;
    float random = ShaftHash(point);
    // A round cone inside the square frustum.
    float cone = 1.0 - smoothstep(0.45, 0.98, length(ndc));

    vec3 origin = gLightPositionWorldSpace.xyz;
    vec3 far = LightFarPoint(ndc);
    vec3 toFar = far - origin;
    float farDistance = length(toFar);
    vec3 dir = toFar / max(farDistance, 1e-6);
    // World width between neighbouring shafts per unit of distance.
    float spread = length(LightFarPoint(ndc + vec2(kShaftSpacing, 0.0)) - far) / max(farDistance, 1e-6);

    // Shadow moments along this ray; a map that holds nothing (no caster recorded) casts no shadow.
    vec2 moments = textureLod(gDepthVarianceTexture, ndc * vec2(0.5, -0.5) + 0.5, 0.0).xy;
    if (moments.x <= 0.0)
        moments = vec2(1.0e4, 1.0e8);
    float variance = max(moments.y - moments.x * moments.x, 0.02);
    // Past the caster (and its soft edge) nothing is lit: the strip ends there.
    float end = clamp(moments.x + 3.0 * sqrt(variance) + 1.0, 1.0, kShaftLength);

    float intensity = gLightIntensity * cone * (0.35 + 0.65 * random);
    float d = corner.y * end;
    vec3 centre = origin + dir * d;
    // Across the ray and the line of sight; along the camera's right where the two meet.
    vec3 side = cross(dir, centre - EyePositionWorld.xyz);
    if (dot(side, side) < 1e-8)
        side = gRightDirection.xyz - dir * dot(gRightDirection.xyz, dir);
    side *= inversesqrt(max(dot(side, side), 1e-12));
    float halfWidth = 0.05 + d * spread * (0.2 + 0.25 * random);
    vec3 world = centre + side * (corner.x * halfWidth);

    hpos = ViewProjection * vec4(world, 1.0);
    // Offset and half width are affine in the strip's plane, their ratio is not: divide per pixel.
    strip = vec3(corner.x * halfWidth, halfWidth, d);
    dustUV = vec2(corner.x * halfWidth * 0.15 + random * 7.0, d * 0.035 + random * 3.0);
    shaft = vec4(intensity, moments.x, variance, 0.0);

    // Nothing to draw (dark, at the cone's faint rim, or undefined light values): one point, no area.
    if (!(intensity > 0.0) || cone < 0.03 || isinf(intensity) || !Finite(world) || !Finite(hpos.xyz) || isnan(hpos.w) ||
        !Finite(vec3(spread, moments)))
        hpos = vec4(0.0, 0.0, 0.5, 1.0);
}

// Fraction of light that passes the caster at distance d (Chebyshev's bound, with the
// lower tail cut off against light bleeding through overlapping casters).
float ShadowPass(float d, float mean, float variance) {
    if (d <= mean)
        return 1.0;
    float delta = d - mean;
    float p = variance / (variance + delta * delta);
    return clamp((p - 0.25) / 0.75, 0.0, 1.0);
}

void ShaftPS(in vec3 strip : TEXCOORD0, in vec2 dustUV : TEXCOORD1, in vec4 shaft : TEXCOORD2,
             out vec4 color : SV_Target0) {
    float d = strip.z;
    float x = strip.x / max(strip.y, 1e-6);
    float across = max(1.0 - x * x, 0.0);
    across *= across;
    // Bright at the light, gone at kShaftLength.
    float along = smoothstep(0.0, 2.5, d) * (1.0 - d / kShaftLength) * (1.0 - d / kShaftLength) / (1.0 + d * 0.03);
    float lit = ShadowPass(d, shaft.y, shaft.z);
    // Dust drifting down the beam (one filtered tap: the texture is stretched along the shaft).
    float dust = textureLod(gDustTexture, dustUV - vec2(0.0, Time * 0.045), 0.0).r;
    float speckle = 0.3 + 1.6 * dust;
    float energy = shaft.x * across * along * lit * speckle * 10.0;
    color = vec4(kLightColour * max(energy, 0.0), 0.0);
}

technique lightShaft {
    pass P0 { VertexShader = ShaftVS; PixelShader = ShaftPS; BlendState = ShaftAdditive;
              DepthStencilState = ShaftDepthTest; RasterizerState = ShaftNoCull; }
}
