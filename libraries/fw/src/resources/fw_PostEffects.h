#pragma once
// The framework's full-screen image passes over the effect "fw_PostEffects.fx" and one
// screen quad: bind a target, hand inputs to named variables, draw a named technique.

#include <cstdint>
#include <string>

#include "platform/win32_types.h"

struct ID3D10EffectTechnique;
class fw_Effect;
class fw_ScreenQuad;
class fw_Texture;

class fw_PostEffects {
public:
    fw_PostEffects();
    ~fw_PostEffects();
    fw_PostEffects(const fw_PostEffects&) = delete;
    fw_PostEffects& operator=(const fw_PostEffects&) = delete;

    // Compiles the effect into the framework's pool, builds the quad and sets
    // "texVignette" from "vignette.jpg".
    void Load();
    void Release();
    bool IsLoaded() const { return mEffect != nullptr; }

    void RunTechnique(const std::string& name);
    void DrawQuad(ID3D10EffectTechnique* technique);

    void Copy(fw_Texture* source, fw_Texture* target);
    // A separable blur through scratch; result may be source. A scratch that is the
    // source is refused with a log line. changed, when given, holds every texel of the
    // source that differs from the one value all the others have (empty: none does); a
    // blur in place of three textures of one size then draws only the texels it can change.
    void Blur5Taps(fw_Texture* source, fw_Texture* scratch, fw_Texture* result, const RECT* changed = nullptr);
    // 16 or 32 draws over the chains "r16g16b16a16f_1" and "r16g16b16a16f_2" (levels 1 to 6),
    // blended over destination. Skipped when "Post_Bloom" is 0 or less, and (with one log
    // line) when a chain level is missing.
    void Bloom(fw_Texture* source, fw_Texture* destination);
    // Draws source into the framework's swap-chain texture, with bars of bar rows above
    // and below (cleared to black when bar > 0); a negative bar draws past both edges.
    void HighQualityDownScale(fw_Texture* source, int32_t bar);

    // --- final passes: fade, colour, glitch, vignette, overlays, lens flares ----------
    // Blends first, second and third by parameter (0, 0.5, 1) into the bound target.
    void TriFade(float parameter, fw_Texture* first, fw_Texture* second, fw_Texture* third);
    // Grades source with four lens flares around the light (x, y in normalised device
    // coordinates) into the bound target. A position that is not finite puts the light
    // at the centre with no edge weight.
    void VignetteWithFlare(float lightX, float lightY, fw_Texture* source);
    // VignetteWithOverlay with the shaken "VignetteIntensity".
    void UpdateVignette(fw_Texture* source, fw_Texture* target, float greyOut);
    // Grades source into target; "overlayIndex" (truncated) picks "overlay<N>.png", 0 none.
    void VignetteWithOverlay(fw_Texture* source, fw_Texture* target, float intensity, float greyOut);

    // --- further passes ------------------------------------------------------------------
    void Albedo(fw_Texture* first, fw_Texture* second, fw_Texture* target);
    void ExpBlur(fw_Texture* source, fw_Texture* target);
    // first -> second -> third (each copy downscales), then four blurs of third through
    // scratch. Refused with a log line when second, third or scratch is first.
    void DownsampleAndBlur(fw_Texture* first, fw_Texture* second, fw_Texture* third, fw_Texture* scratch);
    void DirectionalBlur(fw_Texture* colour, fw_Texture* velocity, fw_Texture* target);
    // Blurs colour by the focus range into temporary (five iterations through output, or
    // one at low resolution through lowResScratch), then combines into output. colour is
    // never written: an output, temporary or scratch that is an input, or a blur target
    // that is temporary, is refused with a log line.
    void DepthOfField(float focusA, float focusB, fw_Texture* auxiliary, fw_Texture* colour, fw_Texture* output,
                      fw_Texture* temporary, bool highQuality, fw_Texture* lowResScratch = nullptr);
    void LightByDepth(fw_Texture* source);
    void HighQualityDownScaleSimple(fw_Texture* source, fw_Texture* target);
    // Key luminance of source down the chain "r32f_downsample1" to "r32f_downsample10"
    // (created on first use, each half the size of the one before from the render size),
    // then the tone-mapped source into target. Skipped with a log line without a source.
    void ToneMap(fw_Texture* source, fw_Texture* target);

    fw_Effect* GetEffect() const { return mEffect; }
    fw_ScreenQuad* GetQuad() const { return mQuad; }
    // Draws since construction (every applied pass counts).
    uint64_t GetDrawCount() const { return mDrawCount; }

private:
    void BindTarget(fw_Texture* target);
    void SetTexture(const char* name, fw_Texture* texture);
    void SetFloat(const char* name, float value);
    void SetFloat4(const char* name, float x, float y, float z, float w);
    void SetPixelDimInv(fw_Texture* texture, double scale);
    // "gFade", "gColorExponents", "gGlitch", "gChromaDistortion" from their tracks.
    void SetFade();
    void SetColorExponents();
    void SetGlitch();
    void SetChromaDistortion();
    // A final technique, or its variant without the glitch code while "gGlitch" is 0 or less.
    void RunFinalTechnique(const std::string& name);

    fw_Effect* mEffect;    // owned
    fw_ScreenQuad* mQuad;  // owned
    uint64_t mDrawCount = 0;
    bool mGlitchOn = false;  // the last value SetGlitch set is above 0
};
