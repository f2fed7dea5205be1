// The framework's full-screen passes. Every technique draws the screen quad: one float3
// "POSITION" a vertex, in clip space.
#include "fw_Globals.fxi"

sampler_state fw_LinearClamp { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; };
sampler_state fw_PointClamp { Filter = MIN_MAG_MIP_POINT; AddressU = CLAMP; AddressV = CLAMP; };

blend_state fw_Opaque { BlendEnable[0] = FALSE; };
blend_state fw_Additive { BlendEnable[0] = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
                          SrcBlendAlpha = ONE; DestBlendAlpha = ONE; BlendOpAlpha = ADD; };
depth_stencil_state fw_NoDepth { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state fw_NoCull { CullMode = NONE; };

// ---- variables ----------------------------------------------------------------------------

uniform sampler2D texView1 : fw_LinearClamp;
uniform sampler2D texView2 : fw_LinearClamp;
uniform sampler2D texView3 : fw_LinearClamp;
uniform sampler2D texView4 : fw_LinearClamp;
uniform vec4 gPixelDimInv = vec4(0.0009765625, 0.0009765625, 0.0, 0.0);
uniform float gBrightnessCutoff = 1.0;
uniform float gBloomBlendScale = 0.01;
uniform sampler2D texVignette : fw_LinearClamp;

uniform sampler2D texColorBufferForVignette : fw_LinearClamp;
uniform float gFade = 1.0;
uniform vec4 gColorExponents = vec4(1.0, 1.0, 1.0, 1.0);
uniform float gGlitch = 0.0;
uniform float gChromaDistortion = 0.0;
uniform float gVignetteIntensity = 1.0;
uniform float gGrayOut = 0.0;
uniform vec4 gOverlayUVscale = vec4(1.0, 1.0, 0.0, 0.0);
uniform float gOverlayAlphaScale = 1.0;
uniform sampler2D texOverlay : fw_LinearClamp;
uniform int gOverlayIndex = 0;
uniform sampler2D gFlareTexture1 : fw_LinearClamp;
uniform sampler2D gFlareTexture2 : fw_LinearClamp;
uniform sampler2D gFlareTexture3 : fw_LinearClamp;
uniform sampler2D gFlareTexture4 : fw_LinearClamp;
uniform vec4 gFlareData1;
uniform vec4 gFlareData2;
uniform vec4 gFlareData3;
uniform vec4 gFlareData4;
uniform float gTriFadeParameter = 0.0;

uniform sampler2D gVelocityTex : fw_LinearClamp;
uniform sampler2D gColorTex : fw_LinearClamp;
uniform vec4 gFocusMaxZ = vec4(0.0, 1.0, 0.0, 0.0);

// ---- shared entries -----------------------------------------------------------------------

// Texture row 0 is the top of the picture.
void QuadVS(in vec3 pos : POSITION, out vec4 hpos : SV_Position, out vec2 uv : TEXCOORD0) {
    hpos = vec4(pos, 1.0);
    uv = vec2(pos.x, -pos.y) * 0.5 + 0.5;
}

// texView1 as it is; a target smaller than the source averages it (linear filter).
void CopyPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = texture(texView1, uv); }

// ---- frame passes: copy, blur, bloom, downscale ----------------------------------------------

// Binomial weights 1 4 6 4 1 over five texels.
vec4 Blur5(vec2 uv, vec2 step) {
    return (texture(texView1, uv - 2.0 * step) + texture(texView1, uv + 2.0 * step)) * 0.0625 +
           (texture(texView1, uv - step) + texture(texView1, uv + step)) * 0.25 + texture(texView1, uv) * 0.375;
}

void BlurHorizontal5TapsPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = Blur5(uv, vec2(gPixelDimInv.x, 0.0));
}

void BlurVertical5TapsPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = Blur5(uv, vec2(0.0, gPixelDimInv.y));
}

// The same blur into a target of the source's size, where every tap falls on a texel centre:
// texel reads, clamped at the edges as the sampler does (a CPU rasteriser filters each
// texture() tap at several times the cost of a read).
vec4 Blur5Texels(ivec2 p, ivec2 step) {
    ivec2 last = textureSize(texView1, 0) - 1;
    return (texelFetch(texView1, clamp(p - 2 * step, ivec2(0), last), 0) +
            texelFetch(texView1, clamp(p + 2 * step, ivec2(0), last), 0)) * 0.0625 +
           (texelFetch(texView1, clamp(p - step, ivec2(0), last), 0) +
            texelFetch(texView1, clamp(p + step, ivec2(0), last), 0)) * 0.25 +
           texelFetch(texView1, p, 0) * 0.375;
}

// Three rounds of Blur5 along one axis, in one pass, for a step under half a texel (the
// bloom's): a filtered round weighs a texel's two neighbours by a = 0.375 x the step in
// texels and the texel by 1 - 2a, so three rounds are that kernel's cube, seven texels wide.
vec4 Blur5ThreeRounds(ivec2 p, ivec2 axis, float step) {
    float a = 0.375 * step, b = 1.0 - 2.0 * a;
    float weights[4] = float[4](b * b * b + 6.0 * a * a * b, 3.0 * a * b * b + 3.0 * a * a * a, 3.0 * a * a * b,
                                a * a * a);
    ivec2 last = textureSize(texView1, 0) - 1;
    vec4 sum = texelFetch(texView1, p, 0) * weights[0];
    for (int k = 1; k <= 3; ++k)
        sum += (texelFetch(texView1, clamp(p - k * axis, ivec2(0), last), 0) +
                texelFetch(texView1, clamp(p + k * axis, ivec2(0), last), 0)) * weights[k];
    return sum;
}

void BlurHorizontal5ThreeRoundsPS(in vec4 position : SV_Position, out vec4 color : SV_Target0) {
    color = Blur5ThreeRounds(ivec2(position.xy), ivec2(1, 0), gPixelDimInv.x * float(textureSize(texView1, 0).x));
}

void BlurVertical5ThreeRoundsPS(in vec4 position : SV_Position, out vec4 color : SV_Target0) {
    color = Blur5ThreeRounds(ivec2(position.xy), ivec2(0, 1), gPixelDimInv.y * float(textureSize(texView1, 0).y));
}

void BlurHorizontal5TexelsPS(in vec4 position : SV_Position, out vec4 color : SV_Target0) {
    color = Blur5Texels(ivec2(position.xy), ivec2(1, 0));
}

void BlurVertical5TexelsPS(in vec4 position : SV_Position, out vec4 color : SV_Target0) {
    color = Blur5Texels(ivec2(position.xy), ivec2(0, 1));
}

// What lies above the cut-off.
void BrightPassPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    vec4 c = texture(texView1, uv);
    color = vec4(max(c.rgb - vec3(gBrightnessCutoff), vec3(0.0)), 1.0);
}

// The four bloom levels, scaled, added to what the target holds.
void BloomBlendPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    vec3 sum = texture(texView1, uv).rgb + texture(texView2, uv).rgb + texture(texView3, uv).rgb +
               texture(texView4, uv).rgb;
    color = vec4(sum * gBloomBlendScale, 0.0);
}

// A 4 x 4 grid of filtered taps over the source area that one target pixel covers.
void HighQualityDownScalePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    vec2 footprint = max(fwidth(uv), vec2(1e-6));
    vec4 sum = vec4(0.0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            sum += texture(texView1, uv + (vec2(float(x), float(y)) - 1.5) * 0.25 * footprint);
    color = sum * 0.0625;
}

technique Copy { pass P0 { VertexShader = QuadVS; PixelShader = CopyPS; BlendState = fw_Opaque;
                           DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique BlurHorizontal5Taps { pass P0 { VertexShader = QuadVS; PixelShader = BlurHorizontal5TapsPS;
                                          BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                          RasterizerState = fw_NoCull; } }
technique BlurVertical5Taps { pass P0 { VertexShader = QuadVS; PixelShader = BlurVertical5TapsPS;
                                        BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                        RasterizerState = fw_NoCull; } }
technique BlurHorizontal5Texels { pass P0 { VertexShader = QuadVS; PixelShader = BlurHorizontal5TexelsPS;
                                            BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                            RasterizerState = fw_NoCull; } }
technique BlurVertical5Texels { pass P0 { VertexShader = QuadVS; PixelShader = BlurVertical5TexelsPS;
                                          BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                          RasterizerState = fw_NoCull; } }
technique BlurHorizontal5ThreeRounds { pass P0 { VertexShader = QuadVS; PixelShader = BlurHorizontal5ThreeRoundsPS;
                                                 BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                                 RasterizerState = fw_NoCull; } }
technique BlurVertical5ThreeRounds { pass P0 { VertexShader = QuadVS; PixelShader = BlurVertical5ThreeRoundsPS;
                                               BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                               RasterizerState = fw_NoCull; } }
technique BrightPass { pass P0 { VertexShader = QuadVS; PixelShader = BrightPassPS; BlendState = fw_Opaque;
                                 DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique BloomBlend { pass P0 { VertexShader = QuadVS; PixelShader = BloomBlendPS; BlendState = fw_Additive;
                                 DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique HighQualityDownScale { pass P0 { VertexShader = QuadVS; PixelShader = HighQualityDownScalePS;
                                           BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                           RasterizerState = fw_NoCull; } }

// ---- final passes: glitch, chromatic distortion, colour, vignette, overlay, flares, fade --------

// A value in [0, 1) for a lattice point, from one texel of the noise volume: the texel's
// byte spread by the golden ratio, so that the smooth noise gives uncorrelated values.
float NoiseHash(vec3 p) {
    float v = texture(gNoiseTexture, (floor(p) * vec3(7.0, 11.0, 13.0) + 0.5) / 128.0).r;
    return fract(v * 255.0 * 0.61803398875 + dot(floor(p), vec3(0.1031, 0.1130, 0.0973)));
}

// Glitch: horizontal line offsets and blocky displacement, a new pattern twelve times a
// second; "gGlitch" sets how many lines and blocks jump and how far.
vec2 GlitchUV(vec2 uv) {
    if (gGlitch <= 0.0)
        return uv;
    float frame = floor(Time * 12.0);
    float band = floor(uv.y * 96.0);
    if (NoiseHash(vec3(band, frame, 3.0)) < 0.6 * gGlitch)
        uv.x += (NoiseHash(vec3(band, frame, 17.0)) - 0.5) * 0.12 * gGlitch;
    uv.x += (NoiseHash(vec3(floor(uv.y * 400.0), frame, 29.0)) - 0.5) * 0.003 * gGlitch;
    vec2 cell = floor(uv * vec2(16.0, 10.0));
    if (NoiseHash(vec3(cell, frame + 41.0)) < 0.35 * gGlitch)
        uv += (vec2(NoiseHash(vec3(cell, frame + 83.0)), NoiseHash(vec3(cell.yx, frame + 127.0))) - 0.5) *
              vec2(0.16, 0.1) * gGlitch;
    return uv;
}

// The picture with red and blue sampled apart along the radius from the centre.
vec4 SampleChroma(vec2 uv) {
    vec4 c = texture(texColorBufferForVignette, uv);
    if (gChromaDistortion != 0.0) {
        vec2 d = uv - 0.5;
        c.r = texture(texColorBufferForVignette, 0.5 + d * (1.0 + gChromaDistortion)).r;
        c.b = texture(texColorBufferForVignette, 0.5 + d * (1.0 - gChromaDistortion)).b;
    }
    return c;
}

// Per-channel exponents, the overall scale and the grey-out.
vec3 ColourGrade(vec3 c) {
    c = pow(max(c, vec3(0.0)), gColorExponents.rgb) * gColorExponents.w;
    float grey = dot(c, vec3(0.2126, 0.7152, 0.0722));
    return mix(c, vec3(grey), clamp(gGrayOut, 0.0, 1.0));
}

// texVignette darkens the borders, by "gVignetteIntensity" (0: none, 1: the image's own).
vec3 ApplyVignette(vec3 c, vec2 uv) {
    vec3 v = texture(texVignette, uv).rgb;
    return c * max(mix(vec3(1.0), v, gVignetteIntensity), vec3(0.0));
}

// The overlay image over the picture, scaled about the centre; nothing outside it.
vec3 ApplyOverlay(vec3 c, vec2 uv) {
    vec2 ouv = (uv - 0.5) * gOverlayUVscale.xy + 0.5;
    if (any(lessThan(ouv, vec2(0.0))) || any(greaterThan(ouv, vec2(1.0))))
        return c;
    vec4 o = texture(texOverlay, ouv);
    return mix(c, o.rgb, clamp(o.a * gOverlayAlphaScale, 0.0, 1.0));
}

// One flare image added around data.xy (x right, y down, -1 to 1), data.z its size (0.3
// screen heights a unit from centre to edge), data.w its weight.
vec3 Flare(sampler2D image, vec4 data, vec2 uv, float aspect) {
    float extent = data.z * 0.3;
    if (extent <= 0.0 || data.w == 0.0)
        return vec3(0.0);
    vec2 centre = data.xy * 0.5 + 0.5;
    vec2 local = (uv - centre) * vec2(aspect, 1.0) / extent;
    if (any(greaterThan(abs(local), vec2(1.0))))
        return vec3(0.0);
    return texture(image, local * 0.5 + 0.5).rgb * data.w;
}

// withGlitch false: the techniques drawn while "gGlitch" is 0, which then leave out the
// glitch code (a CPU rasteriser pays for branches it skips).
vec4 FinalGrade(vec2 uv, bool withOverlay, bool withFlares, bool withGlitch) {
    vec2 guv = withGlitch ? GlitchUV(uv) : uv;
    vec4 c = SampleChroma(guv);
    if (withFlares) {
        ivec2 size = textureSize(texColorBufferForVignette, 0);
        float aspect = size.y > 0 ? float(size.x) / float(size.y) : 1.6;
        c.rgb += Flare(gFlareTexture1, gFlareData1, guv, aspect) + Flare(gFlareTexture2, gFlareData2, guv, aspect) +
                 Flare(gFlareTexture3, gFlareData3, guv, aspect) + Flare(gFlareTexture4, gFlareData4, guv, aspect);
    }
    vec3 graded = ApplyVignette(ColourGrade(c.rgb), uv);
    if (withOverlay)
        graded = ApplyOverlay(graded, guv);
    return vec4(max(graded * gFade, vec3(0.0)), c.a);
}

void VignettePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = FinalGrade(uv, false, false, true); }
void VignetteWithOverlayPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = FinalGrade(uv, true, false, true); }
void VignetteWithFlarePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = FinalGrade(uv, false, true, true); }
void VignetteNoGlitchPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = FinalGrade(uv, false, false, false); }
void VignetteWithOverlayNoGlitchPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = FinalGrade(uv, true, false, false);
}
void VignetteWithFlareNoGlitchPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = FinalGrade(uv, false, true, false);
}

// First (an image, scaled about the centre for the render aspect) at 0, second at 0.5,
// third at 1. The second and third come graded from the vignette pass; only the first is
// glitched, graded and faded here.
vec4 TriFadeMix(vec2 uv, bool withGlitch) {
    vec2 firstUV = ((withGlitch ? GlitchUV(uv) : uv) - 0.5) * gOverlayUVscale.xy + 0.5;
    vec4 first = texture(texView1, firstUV);
    first.rgb = max(ColourGrade(first.rgb) * gFade, vec3(0.0));
    vec4 second = texture(texView2, uv);
    vec4 third = texture(texView3, uv);
    float t = clamp(gTriFadeParameter, 0.0, 1.0);
    return t < 0.5 ? mix(first, second, t * 2.0) : mix(second, third, t * 2.0 - 1.0);
}
void TriFadePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = TriFadeMix(uv, true); }
void TriFadeNoGlitchPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = TriFadeMix(uv, false); }

technique Vignette { pass P0 { VertexShader = QuadVS; PixelShader = VignettePS; BlendState = fw_Opaque;
                               DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique VignetteWithOverlay { pass P0 { VertexShader = QuadVS; PixelShader = VignetteWithOverlayPS;
                                          BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                          RasterizerState = fw_NoCull; } }
technique VignetteWithFlare { pass P0 { VertexShader = QuadVS; PixelShader = VignetteWithFlarePS;
                                        BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                        RasterizerState = fw_NoCull; } }
technique TriFade { pass P0 { VertexShader = QuadVS; PixelShader = TriFadePS; BlendState = fw_Opaque;
                              DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique VignetteNoGlitch { pass P0 { VertexShader = QuadVS; PixelShader = VignetteNoGlitchPS; BlendState = fw_Opaque;
                                       DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique VignetteWithOverlayNoGlitch { pass P0 { VertexShader = QuadVS; PixelShader = VignetteWithOverlayNoGlitchPS;
                                                  BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                                  RasterizerState = fw_NoCull; } }
technique VignetteWithFlareNoGlitch { pass P0 { VertexShader = QuadVS; PixelShader = VignetteWithFlareNoGlitchPS;
                                                BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                                RasterizerState = fw_NoCull; } }
technique TriFadeNoGlitch { pass P0 { VertexShader = QuadVS; PixelShader = TriFadeNoGlitchPS; BlendState = fw_Opaque;
                                      DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }

// ---- further passes ----------------------------------------------------------------------------

// texView1 lit by texView2.
void AlbedoPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    vec4 albedo = texture(texView1, uv);
    color = vec4(albedo.rgb * texture(texView2, uv).rgb, albedo.a);
}

// 7 x 7 taps, one texel apart, weighted by exp(-distance).
void ExpBlurPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (int y = -3; y <= 3; ++y)
        for (int x = -3; x <= 3; ++x) {
            float w = exp(-length(vec2(x, y)));
            sum += texture(texView1, uv + vec2(x, y) * gPixelDimInv.xy) * w;
            total += w;
        }
    color = sum / total;
}

// Gaussian over nine taps, gPixelDimInv apart.
vec4 Gauss9(sampler2D image, vec2 uv, vec2 step) {
    const float w[5] = float[5](0.2270270, 0.1945946, 0.1216216, 0.0540541, 0.0162162);
    vec4 sum = texture(image, uv) * w[0];
    for (int i = 1; i < 5; ++i)
        sum += (texture(image, uv + step * float(i)) + texture(image, uv - step * float(i))) * w[i];
    return sum;
}
void BlurHorizontalPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = Gauss9(texView1, uv, vec2(gPixelDimInv.x, 0.0));
}
void BlurVerticalPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = Gauss9(texView1, uv, vec2(0.0, gPixelDimInv.y));
}

// gColorTex smeared along gVelocityTex.xy (texture units over the frame), centred on uv.
void DirectionalBlurPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    vec2 velocity = texture(gVelocityTex, uv).xy;
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 12; ++i)
        sum += texture(gColorTex, uv + velocity * (float(i) / 11.0 - 0.5));
    color = sum / 12.0;
}

// Depth of field. texView1.r holds the depth; it is sharp at gFocusMaxZ.x and fully
// blurred gFocusMaxZ.y away from it.
float CircleOfConfusion(vec2 uv) {
    return clamp(abs(texture(texView1, uv).r - gFocusMaxZ.x) / max(abs(gFocusMaxZ.y), 1e-6), 0.0, 1.0);
}

// texView2 blurred along dir by up to `radius` texels, each tap weighted by its own
// blur so that sharp areas do not bleed into blurred ones.
vec4 DofBlur(vec2 uv, vec2 dir, int taps, float radius) {
    vec2 texel = 1.0 / vec2(textureSize(texView2, 0));
    vec4 sum = texture(texView2, uv);
    float total = 1.0;
    float coc = CircleOfConfusion(uv);
    for (int i = 1; i <= taps; ++i) {
        float offset = float(i) / float(taps) * radius * coc;
        for (int s = -1; s <= 1; s += 2) {
            vec2 tuv = uv + dir * texel * offset * float(s);
            float w = CircleOfConfusion(tuv);
            sum += texture(texView2, tuv) * w;
            total += w;
        }
    }
    return sum / total;
}
void DofHighQualityHorizontalPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = DofBlur(uv, vec2(1.0, 0.0), 8, 6.0);
}
void DofHighQualityVerticalPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = DofBlur(uv, vec2(0.0, 1.0), 8, 6.0);
}
void DofHorizontalPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = DofBlur(uv, vec2(1.0, 0.0), 3, 4.0); }
void DofVerticalPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = DofBlur(uv, vec2(0.0, 1.0), 3, 4.0); }

// The sharp colour (texView2) where in focus, the blurred one (texView3) out of it.
void DofPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = mix(texture(texView2, uv), texture(texView3, uv), CircleOfConfusion(uv));
}

// Light falling off with the depth in texView1.r (1 at depth 0).
void LightByDepthPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    float z = max(texture(texView1, uv).r, 0.0);
    color = vec4(vec3(1.0 / (1.0 + 4.0 * z * z)), 1.0);
}

// The log of the Rec. 709 luminance of texView1: averaged down the chain, its exponential
// is the picture's geometric mean luminance (the key).
void KeyLuminancePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    float l = dot(texture(texView1, uv).rgb, vec3(0.2126, 0.7152, 0.0722));
    l = log(max(l, 0.0) + 1e-4);
    color = vec4(l, l, l, 1.0);
}

// texView1 exposed so that its key (the 1 x 1 texView2) maps to 0.18, then compressed
// into 0..1 (x / (1 + x)).
void ToneMapPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    vec4 c = texture(texView1, uv);
    float key = exp(texture(texView2, vec2(0.5)).r);
    vec3 exposed = max(c.rgb, vec3(0.0)) * (0.18 / max(key, 1e-4));
    color = vec4(exposed / (1.0 + exposed), c.a);
}

technique Albedo { pass P0 { VertexShader = QuadVS; PixelShader = AlbedoPS; BlendState = fw_Opaque;
                             DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique ExpBlur { pass P0 { VertexShader = QuadVS; PixelShader = ExpBlurPS; BlendState = fw_Opaque;
                              DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique BlurHorizontal { pass P0 { VertexShader = QuadVS; PixelShader = BlurHorizontalPS; BlendState = fw_Opaque;
                                     DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique BlurVertical { pass P0 { VertexShader = QuadVS; PixelShader = BlurVerticalPS; BlendState = fw_Opaque;
                                   DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DirectionalBlur { pass P0 { VertexShader = QuadVS; PixelShader = DirectionalBlurPS; BlendState = fw_Opaque;
                                      DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DOF_HighQualityBlurHorizontal { pass P0 { VertexShader = QuadVS; PixelShader = DofHighQualityHorizontalPS;
                                                    BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                                    RasterizerState = fw_NoCull; } }
technique DOF_HighQualityBlurVertical { pass P0 { VertexShader = QuadVS; PixelShader = DofHighQualityVerticalPS;
                                                  BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                                  RasterizerState = fw_NoCull; } }
technique DOF_BlurHorizontal { pass P0 { VertexShader = QuadVS; PixelShader = DofHorizontalPS; BlendState = fw_Opaque;
                                         DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DOF_BlurVertical { pass P0 { VertexShader = QuadVS; PixelShader = DofVerticalPS; BlendState = fw_Opaque;
                                       DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DOF { pass P0 { VertexShader = QuadVS; PixelShader = DofPS; BlendState = fw_Opaque;
                          DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique LightByDepth { pass P0 { VertexShader = QuadVS; PixelShader = LightByDepthPS; BlendState = fw_Opaque;
                                   DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique RGB_to_KeyLuminance { pass P0 { VertexShader = QuadVS; PixelShader = KeyLuminancePS;
                                          BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                          RasterizerState = fw_NoCull; } }
technique ToneMap { pass P0 { VertexShader = QuadVS; PixelShader = ToneMapPS; BlendState = fw_Opaque;
                              DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
