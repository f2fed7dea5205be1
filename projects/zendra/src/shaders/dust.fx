// Dust: 1300 motes floating in a box that wraps around the eye, so the field moves with
// the camera and each mote keeps its place in the world. Each particle is three equal
// vertices (position in [-1, 1]^3, w a random value in [0, 1]) that become one screen
// triangle around a round sprite. Out of focus a mote grows into a soft disc of the
// same energy (gDepthOfFieldParameters: focus distance, blur per unit, largest blur).
#include "fw_Globals.fxi"

sampler_state DustLinearClamp { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; };

blend_state DustAdditive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
                           SrcBlendAlpha = ZERO; DestBlendAlpha = ONE; BlendOpAlpha = ADD; };
depth_stencil_state DustDepthTest { DepthEnable = TRUE; DepthWriteMask = ZERO; DepthFunc = LESS_EQUAL; };
rasterizer_state DustNoCull { CullMode = NONE; };

uniform sampler2D gTexture : DustLinearClamp;
uniform float gColorScale = 1.0;

// Half the side of the box of motes around the eye, in world units.
const float kHalfBox = 28.0;
// Radius of a mote in world units, and of the largest blur disc as a fraction of the screen height.
const float kMoteRadius = 0.08;
const float kBlurRadius = 0.06;

float DustHash(vec3 p) { return fract(sin(dot(p, vec3(12.9898, 78.233, 37.719))) * 43758.5453); }

void DustVS(in vec4 particle : POSITION,
            out vec4 hpos : SV_Position,
            out vec3 sprite : TEXCOORD0,
            out vec3 tint : TEXCOORD1) {
    // A triangle around the unit disc.
    vec2 corners[3] = vec2[3](vec2(0.0, 2.0), vec2(-1.7320508, -1.0), vec2(1.7320508, -1.0));
    vec2 corner = corners[gl_VertexID % 3];

    float seed = particle.w;
    float phase = DustHash(particle.xyz) * 6.2831853;
    // Slow swirl and a slow fall, different for every mote.
    float t = Time;
    vec3 drift = vec3(sin(t * (0.11 + 0.07 * seed) + phase) * 1.6,
                      -t * (0.12 + 0.18 * seed) + sin(t * 0.23 + phase * 1.7) * 0.6,
                      cos(t * (0.09 + 0.05 * seed) + phase * 0.6) * 1.6);
    vec3 eye = EyePositionWorld.xyz;
    vec3 local = particle.xyz * kHalfBox + drift - eye;
    local = mod(local + kHalfBox, 2.0 * kHalfBox) - kHalfBox;
    vec3 world = eye + local;

    vec4 centre = ViewProjection * vec4(world, 1.0);
    float depth = centre.w;
    // Screen size of one world unit at this depth, along the camera's up.
    vec3 up = (ViewInverse * vec4(0.0, 1.0, 0.0, 0.0)).xyz;
    vec4 above = ViewProjection * vec4(world + up * 0.01, 1.0);
    float unit = length(above.xy / above.w - centre.xy / centre.w) * 100.0;

    float focusBlur = abs(depth - gDepthOfFieldParameters.x) * max(gDepthOfFieldParameters.y, 0.0);
    float coc = clamp(focusBlur, 0.0, max(gDepthOfFieldParameters.z, 0.0));
    float sharpRadius = kMoteRadius * (0.5 + 1.0 * seed) * unit;
    // Not below a pixel and a half: a smaller mote is drawn at that size with its energy.
    float pixel = 3.0 / max(RenderDim.y, 1.0);
    float coverage = min(sharpRadius / pixel, 1.0);
    sharpRadius = max(sharpRadius, pixel);
    float blurRadius = coc * kBlurRadius * 2.0;
    float radius = sharpRadius + blurRadius;
    float blur = blurRadius / max(radius, 1e-6);

    // Near the lens, far away and at the box's faces the motes fade, so wrapping never pops.
    float fade = smoothstep(0.4, 2.0, depth) * (1.0 - smoothstep(0.7 * kHalfBox, 0.98 * kHalfBox, length(local))) *
                 exp(-depth * 0.015);
    // The energy of a sharp mote spread over the blur disc (less steeply, so blurred motes stay visible).
    float energy = pow(sharpRadius / max(radius, 1e-6), 1.5) * coverage * coverage * fade;
    // A glint on the sixteenths at 128 beats a minute, each mote on one of the four.
    float beat = t * (128.0 / 60.0) + floor(seed * 4.0) * 0.25;
    float twinkle = 0.8 + 0.6 * pow(max(cos(6.2831853 * beat), 0.0), 8.0);
    float brightness = 0.3 + 0.7 * seed * seed;
    vec3 colour = mix(vec3(0.72, 0.84, 1.0), vec3(1.0, 0.86, 0.66), DustHash(particle.zyx));
    tint = colour * (energy * twinkle * brightness * 3.5 * max(gColorScale, 0.0));

    float aspect = RenderDim.y / max(RenderDim.x, 1.0);
    hpos = centre + vec4(corner.x * radius * aspect, corner.y * radius, 0.0, 0.0) * centre.w;
    sprite = vec3(corner, blur);

    // Behind the eye, invisible, or undefined: one point, no area.
    if (!(depth > 0.05) || !(tint.r + tint.g + tint.b > 1e-5) || any(isinf(tint)) || any(isnan(hpos)) ||
        any(isinf(hpos)))
        hpos = vec4(0.0, 0.0, 0.5, 1.0);
}

void DustPS(in vec3 sprite : TEXCOORD0, in vec3 tint : TEXCOORD1, out vec4 color : SV_Target0) {
    float r = length(sprite.xy);
    // In focus the sprite's own shape; out of focus a flat disc with a faint bright rim.
    float sharp = texture(gTexture, sprite.xy * 0.5 + 0.5).a;
    float edge = max(fwidth(r) * 1.5, 0.04);
    float disc = (1.0 - smoothstep(1.0 - edge, 1.0, r)) * (0.8 + 0.35 * smoothstep(0.55, 0.95, r));
    float shape = mix(sharp, disc * 0.75, sprite.z) * step(r, 1.0);
    color = vec4(tint * shape, 0.0);
}

technique dust {
    pass P0 { VertexShader = DustVS; PixelShader = DustPS; BlendState = DustAdditive;
              DepthStencilState = DustDepthTest; RasterizerState = DustNoCull; }
}
