// The tetrahedron swarm, drawn as instances of one mesh whose vertices are weights of the
// four corners. Each instance takes its corners from its texel of the three state
// textures: texel i = (corner i, coordinate i of corner 3).
#include "fw_Globals.fxi"

sampler_state PointClamp { Filter = MIN_MAG_MIP_POINT; AddressU = CLAMP; AddressV = CLAMP; };
sampler_state LinearClamp { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; AddressW = CLAMP; };
blend_state Opaque { BlendEnable[0] = FALSE; };
depth_stencil_state DepthWrite { DepthEnable = TRUE; DepthWriteMask = ALL; DepthFunc = LESS_EQUAL; };
// The tetrahedra are closed and wound alike: the faces that point inwards always lie behind
// the outer ones. On screen the outer faces wind counter-clockwise, in the light's view
// clockwise.
rasterizer_state CullInnerOnScreen { CullMode = FRONT; };
rasterizer_state CullInnerFromLight { CullMode = BACK; };

uniform sampler2D gMatrixTexture0 : PointClamp;
uniform sampler2D gMatrixTexture1 : PointClamp;
uniform sampler2D gMatrixTexture2 : PointClamp;
// Environment for reflections (a cube map) and the blurred variance shadow map (depth
// from the light and its square).
uniform samplerCube gLightProbeTex : LinearClamp;
uniform sampler2D gDepthVarianceTexture : LinearClamp;

void Corners(uvec2 cell, out vec3 c0, out vec3 c1, out vec3 c2, out vec3 c3) {
    ivec2 texel = ivec2(cell);
    vec4 t0 = texelFetch(gMatrixTexture0, texel, 0);
    vec4 t1 = texelFetch(gMatrixTexture1, texel, 0);
    vec4 t2 = texelFetch(gMatrixTexture2, texel, 0);
    c0 = t0.xyz;
    c1 = t1.xyz;
    c2 = t2.xyz;
    c3 = vec3(t0.w, t1.w, t2.w);
    // A tetrahedron turned inside out by the simulation swaps two corners: that maps its
    // faces onto each other with their winding turned over, so that its outer faces wind
    // like every other tetrahedron's and culling keeps them.
    if (dot(c1 - c0, cross(c2 - c0, c3 - c0)) < 0.0) {
        vec3 c = c1;
        c1 = c2;
        c2 = c;
    }
}

float Hash(vec2 p) { return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453); }

void GfxVS(in vec4 weights : POSITION, in vec4 normalWeights : NORMAL, in uvec2 cell : BLENDINDICES,
           out vec4 hpos : SV_Position, out vec3 worldPos : TEXCOORD0, out vec3 worldNormal : TEXCOORD1,
           out vec2 tint : TEXCOORD2) {
    vec3 c0, c1, c2, c3;
    Corners(cell, c0, c1, c2, c3);
    worldPos = weights.x * c0 + weights.y * c1 + weights.z * c2 + weights.w * c3;
    // The normal's weights sum to zero: only the corners' rotation reaches it.
    worldNormal = normalWeights.x * c0 + normalWeights.y * c1 + normalWeights.z * c2 + normalWeights.w * c3;
    hpos = ViewProjection * vec4(worldPos, 1.0);
    tint = vec2(Hash(vec2(cell)), Hash(vec2(cell) + vec2(3.0, 11.0)));
}

// Chebyshev's bound on the lit fraction from the blurred moments.
float ShadowFactor(vec3 p) {
    vec4 clip = gLightViewProjection * vec4(p, 1.0);
    if (clip.w <= 1e-4)
        return 1.0;
    vec2 uv = clip.xy / clip.w * vec2(0.5, -0.5) + 0.5;
    if (any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0))))
        return 1.0;
    vec2 moments = texture(gDepthVarianceTexture, uv).xy;
    float depth = distance(p, gLightPositionWorldSpace.xyz);
    if (moments.x <= 0.0 || depth <= moments.x)
        return 1.0;
    float variance = max(moments.y - moments.x * moments.x, 0.02);
    float d = depth - moments.x;
    float lit = variance / (variance + d * d);
    return clamp((lit - 0.25) / 0.75, 0.0, 1.0);
}

void GfxPS(in vec3 worldPos : TEXCOORD0, in vec3 worldNormal : TEXCOORD1, in vec2 tint : TEXCOORD2,
           out vec4 color : SV_Target0) {
    vec3 n = normalize(worldNormal);
    vec3 v = normalize(EyePositionWorld.xyz - worldPos);
    if (dot(n, v) < 0.0)
        n = -n;
    vec3 r = reflect(-v, n);
    vec3 toLight = gLightPositionWorldSpace.xyz - worldPos;
    float lightDistance = length(toLight);
    vec3 l = toLight / max(lightDistance, 1e-4);

    // Dark polished steel, a few copper pieces among them.
    vec3 steel = vec3(0.5, 0.56, 0.68), copper = vec3(0.95, 0.5, 0.25);
    vec3 base = mix(steel, copper, step(0.93, tint.x)) * (0.7 + 0.6 * tint.y);
    float shadow = ShadowFactor(worldPos);
    float attenuation = 1.0 / (1.0 + lightDistance * lightDistance * 0.0004);
    float diffuse = max(dot(n, l), 0.0) * shadow * attenuation;
    float specular = pow(max(dot(r, l), 0.0), 80.0) * shadow * attenuation;
    float fresnel = 0.05 + 0.95 * pow(1.0 - max(dot(n, v), 0.0), 5.0);
    vec3 probe = texture(gLightProbeTex, r).rgb;

    vec3 c = base * (0.02 + diffuse * 1.1);
    c += probe * mix(base * 0.4, vec3(0.9), fresnel);
    c += vec3(1.0, 0.93, 0.8) * specular * 2.0;
    // Alpha: the distance from the eye, which the depth-of-field passes read.
    color = vec4(c, length(EyePositionWorld.xyz - worldPos));
}

// The shadow pass: depth from the light and its square, as the variance map keeps them.
void DepthVS(in vec4 weights : POSITION, in vec4 normalWeights : NORMAL, in uvec2 cell : BLENDINDICES,
             out vec4 hpos : SV_Position, out vec3 worldPos : TEXCOORD0) {
    vec3 c0, c1, c2, c3;
    Corners(cell, c0, c1, c2, c3);
    worldPos = weights.x * c0 + weights.y * c1 + weights.z * c2 + weights.w * c3;
    hpos = gLightViewProjection * vec4(worldPos, 1.0);
}

void DepthPS(in vec3 worldPos : TEXCOORD0, out vec4 color : SV_Target0) {
    float d = distance(worldPos, gLightPositionWorldSpace.xyz);
    color = vec4(d, d * d, 0.0, 1.0);
}

technique gfx {
    pass P0 { VertexShader = GfxVS; PixelShader = GfxPS; BlendState = Opaque; DepthStencilState = DepthWrite;
              RasterizerState = CullInnerOnScreen; }
}

technique depth {
    pass P0 { VertexShader = DepthVS; PixelShader = DepthPS; BlendState = Opaque; DepthStencilState = DepthWrite;
              RasterizerState = CullInnerFromLight; }
}
