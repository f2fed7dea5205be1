#pragma once
// The framework's full-screen image passes over the effect "fw_PostEffects.fx" and one
// screen quad: bind a target, hand inputs to named variables, draw a named technique.

#include <cstdint>
#include <string>

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
    // source is refused with a log line.
    void Blur5Taps(fw_Texture* source, fw_Texture* scratch, fw_Texture* result);
    // 32 draws over the chains "r16g16b16a16f_1" and "r16g16b16a16f_2" (levels 1 to 6),
    // blended over destination. Skipped when "Post_Bloom" is 0 or less, and (with one log
    // line) when a chain level is missing.
    void Bloom(fw_Texture* source, fw_Texture* destination);
    // Draws source into the framework's swap-chain texture, with bars of bar rows above
    // and below (cleared to black when bar > 0); a negative bar draws past both edges.
    void HighQualityDownScale(fw_Texture* source, int32_t bar);

    // Value of a sync track at the current row, defaultValue when it has no keys.

    fw_Effect* GetEffect() const { return mEffect; }
    fw_ScreenQuad* GetQuad() const { return mQuad; }
    // Draws since construction (every applied pass counts).
    uint64_t GetDrawCount() const { return mDrawCount; }

private:
    void BindTarget(fw_Texture* target);
    void SetTexture(const char* name, fw_Texture* texture);

    fw_Effect* mEffect;     // owned
    fw_ScreenQuad* mQuad;   // owned
    uint64_t mDrawCount = 0;
};
