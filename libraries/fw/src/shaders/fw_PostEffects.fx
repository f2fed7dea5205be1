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
technique BrightPass { pass P0 { VertexShader = QuadVS; PixelShader = BrightPassPS; BlendState = fw_Opaque;
                                 DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique BloomBlend { pass P0 { VertexShader = QuadVS; PixelShader = BloomBlendPS; BlendState = fw_Additive;
                                 DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique HighQualityDownScale { pass P0 { VertexShader = QuadVS; PixelShader = HighQualityDownScalePS;
                                           BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                           RasterizerState = fw_NoCull; } }

// ---- final passes: the picture passes through ------------------------------------------------

void VignettePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    color = texture(texColorBufferForVignette, uv);
}

void TriFadePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = texture(texView1, uv); }

technique Vignette { pass P0 { VertexShader = QuadVS; PixelShader = VignettePS; BlendState = fw_Opaque;
                               DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique VignetteWithOverlay { pass P0 { VertexShader = QuadVS; PixelShader = VignettePS; BlendState = fw_Opaque;
                                          DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique VignetteWithFlare { pass P0 { VertexShader = QuadVS; PixelShader = VignettePS; BlendState = fw_Opaque;
                                        DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique TriFade { pass P0 { VertexShader = QuadVS; PixelShader = TriFadePS; BlendState = fw_Opaque;
                              DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }

// ---- further passes: pass-throughs of their main input ---------------------------------------

void View2PS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = texture(texView2, uv); }
void ColorTexPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = texture(gColorTex, uv); }

// Rec. 709 luminance of texView1 in every channel.
void KeyLuminancePS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) {
    float l = dot(texture(texView1, uv).rgb, vec3(0.2126, 0.7152, 0.0722));
    color = vec4(l, l, l, 1.0);
}

technique Albedo { pass P0 { VertexShader = QuadVS; PixelShader = CopyPS; BlendState = fw_Opaque;
                             DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique ExpBlur { pass P0 { VertexShader = QuadVS; PixelShader = CopyPS; BlendState = fw_Opaque;
                              DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique BlurHorizontal { pass P0 { VertexShader = QuadVS; PixelShader = CopyPS; BlendState = fw_Opaque;
                                     DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique BlurVertical { pass P0 { VertexShader = QuadVS; PixelShader = CopyPS; BlendState = fw_Opaque;
                                   DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DirectionalBlur { pass P0 { VertexShader = QuadVS; PixelShader = ColorTexPS; BlendState = fw_Opaque;
                                      DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DOF_HighQualityBlurHorizontal { pass P0 { VertexShader = QuadVS; PixelShader = View2PS;
                                                    BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                                    RasterizerState = fw_NoCull; } }
technique DOF_HighQualityBlurVertical { pass P0 { VertexShader = QuadVS; PixelShader = View2PS;
                                                  BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                                  RasterizerState = fw_NoCull; } }
technique DOF_BlurHorizontal { pass P0 { VertexShader = QuadVS; PixelShader = View2PS; BlendState = fw_Opaque;
                                         DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DOF_BlurVertical { pass P0 { VertexShader = QuadVS; PixelShader = View2PS; BlendState = fw_Opaque;
                                       DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique DOF { pass P0 { VertexShader = QuadVS; PixelShader = View2PS; BlendState = fw_Opaque;
                          DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique LightByDepth { pass P0 { VertexShader = QuadVS; PixelShader = CopyPS; BlendState = fw_Opaque;
                                   DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
technique RGB_to_KeyLuminance { pass P0 { VertexShader = QuadVS; PixelShader = KeyLuminancePS;
                                          BlendState = fw_Opaque; DepthStencilState = fw_NoDepth;
                                          RasterizerState = fw_NoCull; } }
technique ToneMap { pass P0 { VertexShader = QuadVS; PixelShader = CopyPS; BlendState = fw_Opaque;
                              DepthStencilState = fw_NoDepth; RasterizerState = fw_NoCull; } }
