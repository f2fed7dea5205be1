#pragma once
// A mesh material: its values from the .mtl file, its textures and technique, and the
// shared pool's material block. Loaded and applied by the meshes (fw_Mesh.cpp).

#include <cstdint>
#include <string>
#include <vector>

struct ID3D10ShaderResourceView;
struct ID3D10EffectTechnique;

// The material block that meshes hand to the shared pool.
struct MaterialConstants {
    float Ambient[4];
    float Diffuse[4];
    float Specular[4];
    float SpecularPower;
};

class fw_Material {
public:
    // Every material draws with this specular power, whatever its "Ns".
    static constexpr float kSpecularPower = 20.0f;

    fw_Material() = default;
    // Colours, exponent, alpha, illumination and technique to their defaults.
    void SetDefaults();
    // Sets the pool's "Ambient", "Diffuse", "Specular" and "SpecularPower" through the
    // framework's handles of them; nothing before they are looked up.
    static void Apply(const MaterialConstants& constants);

    std::string mName;
    float mAmbient[4] = {0, 0, 0, 0};
    float mDiffuse[4] = {0, 0, 0, 0};
    float mSpecular[4] = {0, 0, 0, 0};
    int32_t mSpecularExponent = 0;
    float mAlpha = 0.0f;
    bool mIllumSpecular = false;
    std::vector<std::string> mTextureNames;
    std::vector<ID3D10ShaderResourceView*> mTextureViews;  // not owned: the texture table's
    ID3D10EffectTechnique* mTechnique = nullptr;           // not owned
};
