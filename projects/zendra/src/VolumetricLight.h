#pragma once
// Light shafts: 1000 fixed random points in [-10, 10]^2, six equal vertices each, that
// "volumetricLight.fx" (technique "lightShaft") expands into camera-facing shafts falling
// from the scene's light. The scene sets the effect's light, shadow and camera variables.

#include <cstdint>

class fw_Effect;
struct ID3D10Buffer;
struct ID3D10InputLayout;

class VolumetricLight {
public:
    // 8 bytes; the six vertices of a shaft are equal.
    struct Vertex {
        float position[2];
    };

    static constexpr int32_t kShaftCount = 1000;
    static constexpr int32_t kVerticesPerShaft = 6;

    // Builds the shafts from the C runtime generator in its current state, then loads the effect.
    VolumetricLight();
    ~VolumetricLight();
    VolumetricLight(const VolumetricLight&) = delete;
    VolumetricLight& operator=(const VolumetricLight&) = delete;

    void CreateShafts();
    void LoadEffect();
    // Binds the buffer and layout and draws every pass of "lightShaft"; sets no variable.
    void Draw();
    fw_Effect* GetEffect() { return mEffect; }
    // Frees the effect, layout and buffer and leaves each null; safe to repeat and to
    // follow with the destructor.
    void Release();

    int32_t mCount;
    fw_Effect* mEffect;  // owned
    ID3D10Buffer* mVertexBuffer;
    ID3D10InputLayout* mInputLayout;
};
