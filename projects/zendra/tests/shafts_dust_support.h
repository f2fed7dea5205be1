#pragma once
// Shared by the light-shaft and dust tests and benchmark: the production's project root,
// the shared pool, a camera and a light like the show's, float targets and read-back.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fw_Effect.h"
#include "d3d10_read_back.h"
#include "fw_Framework.h"
#include "fw_Texture.h"
#include "platform/d3d10.h"
#include "platform/d3dx10math.h"

namespace shaftsdust {

// Roots at the production (effects from projects/zendra/src/shaders, images from its
// data folder) and a fresh shared pool; the framework object must exist.
void UseProductionRoots();

// A camera looking from eye at target (right-handed, 1 rad vertical field of view),
// written into the pool's frame variables as the framework writes them.
struct Camera {
    D3DXMATRIX view, projection, viewProjection;
    D3DXVECTOR3 eye;
    // Pixel of a world point in a w x h target (x to the right, y down).
    D3DXVECTOR2 Pixel(const D3DXVECTOR3& p, uint32_t w, uint32_t h) const;
};
Camera SetCamera(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, uint32_t width, uint32_t height, float time);

// The scene's light matrices for a light at (0, y, 0) looking down with a field of view
// in degrees, set on the shafts' effect as the scene's update sets them.
void SetLight(fw_Effect& effect, float y, float fovDegrees, float intensity, const fw_Texture* varianceMap);

// An R32G32 map of size x size holding the moments of the distance from the light to the
// first caster on each texel's ray (light at (0, lightY, 0), 90 degrees): a sphere of
// that radius at the origin, else uniformDistance when positive (on the rays to world
// x < 0 only when leftHalf), else 150 (nothing).
fw_Texture* MakeVarianceMap(uint32_t size, float lightY, float sphereRadius, float uniformDistance = 0.0f,
                            bool leftHalf = false);

// "gDustTexture" and "gRightDirection" (the inverse view's first row) as the scene sets them.
void SetShaftCameraVariables(fw_Effect& effect, const Camera& camera);

// A buffer's bytes; a buffer replaced by an immutable vertex buffer of the given bytes.
using d3d10test::ReadBuffer;
void ReplaceBuffer(ID3D10Buffer*& buffer, const void* data, size_t bytes);
template <typename Vertex>
std::vector<Vertex> ReadVertices(ID3D10Buffer* buffer) {
    const std::vector<uint8_t> bytes = ReadBuffer(buffer);
    std::vector<Vertex> vertices(bytes.size() / sizeof(Vertex));
    std::memcpy(vertices.data(), bytes.data(), vertices.size() * sizeof(Vertex));
    return vertices;
}
template <typename Vertex>
void ReplaceVertices(ID3D10Buffer*& buffer, const std::vector<Vertex>& vertices) {
    ReplaceBuffer(buffer, vertices.data(), vertices.size() * sizeof(Vertex));
}

// A float colour target with its depth buffer, bound with the viewport.
struct Target {
    Target(uint32_t width, uint32_t height, DXGI_FORMAT format = DXGI_FORMAT_R16G16B16A16_FLOAT);
    ~Target();
    void Bind(bool withDepth = true);
    void Clear(float r, float g, float b, float a, float depth = 1.0f);
    fw_Texture colour;
    fw_Texture depth;
    uint32_t width, height;
};

// An RGBA float picture clamped to 8 bits, as the show's final target holds it, saved as PNG.
bool SavePng(const std::string& path, const std::vector<float>& rgba, uint32_t width, uint32_t height);

}  // namespace shaftsdust
