#include "shafts_dust_support.h"

#include <algorithm>
#include <cmath>

#include "platform/d3dx10tex.h"

namespace shaftsdust {

namespace {

ID3D10EffectVariable* PoolVariable(const char* name) {
    return fw_Framework::mEffectPool->AsEffect()->GetVariableByName(name);
}

void PoolMatrix(const char* name, const D3DXMATRIX& m) {
    PoolVariable(name)->AsMatrix()->SetMatrix(const_cast<float*>(&m._11));
}

void PoolVector(const char* name, float x, float y, float z, float w) {
    float v[4] = {x, y, z, w};
    PoolVariable(name)->AsVector()->SetFloatVector(v);
}

}  // namespace

void UseProductionRoots() {
    fw_Framework::mProjectRoot = ZENDRA_PROJECT_DIR;
    if (fw_Framework::mEffectPool)
        fw_Framework::mEffectPool->Release();
    fw_Framework::mEffectPool = CreateSharedEffectPool();
}

D3DXVECTOR2 Camera::Pixel(const D3DXVECTOR3& p, uint32_t w, uint32_t h) const {
    D3DXVECTOR4 in(p.x, p.y, p.z, 1.0f), out;
    D3DXVec4Transform(&out, &in, &viewProjection);
    return D3DXVECTOR2((out.x / out.w * 0.5f + 0.5f) * w, (0.5f - out.y / out.w * 0.5f) * h);
}

Camera SetCamera(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, uint32_t width, uint32_t height, float time) {
    Camera c;
    c.eye = eye;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtRH(&c.view, &eye, &target, &up);
    D3DXMatrixPerspectiveFovRH(&c.projection, 1.0f, float(width) / float(height), 0.1f, 400.0f);
    D3DXMatrixMultiply(&c.viewProjection, &c.view, &c.projection);
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &c.view);
    PoolMatrix("View", c.view);
    PoolMatrix("ViewProjection", c.viewProjection);
    PoolMatrix("ViewInverse", inverse);
    PoolVector("EyePositionWorld", eye.x, eye.y, eye.z, 1.0f);
    PoolVector("RenderDim", float(width), float(height), 1.0f / width, 1.0f / height);
    PoolVariable("Time")->AsScalar()->SetFloat(time);
    return c;
}

void SetLight(fw_Effect& effect, float y, float fovDegrees, float intensity, const fw_Texture* varianceMap) {
    // L = P * V with column vectors: V = RX(-pi/2) * T(-light), P a perspective from 1 to 200.
    const double c = 1.0 / std::tan(double(fovDegrees) / 180.0 * 3.14159265358979 * 0.5);
    const double a = 1.0050251;
    const double L[4][4] = {{c, 0, 0, 0}, {0, 0, c, 0}, {0, -a, 0, a * y - a}, {0, -1, 0, y}};
    D3DXMATRIX transposed, inverse;
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            transposed.m[k][r] = static_cast<float>(L[r][k]);
    D3DXMatrixInverse(&inverse, nullptr, &transposed);
    effect.SetTexture("gDepthVarianceTexture", varianceMap);
    effect.SetFloat4("gLightPositionWorldSpace", 0.0f, y, 0.0f, 0.0f);
    effect.SetMatrix("gLightViewProjection", &transposed._11);
    effect.SetMatrix("gLightInverseViewProjection", &inverse._11);
    effect.SetFloat("gLightIntensity", intensity);
}

void SetShaftCameraVariables(fw_Effect& effect, const Camera& camera) {
    effect.SetTexture("gDustTexture", gFramework->FindOrLoadTexture("dust.png"));
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &camera.view);
    effect.SetFloat4("gRightDirection", inverse._11, inverse._12, inverse._13, 0.0f);
}

void ReplaceBuffer(ID3D10Buffer*& buffer, const void* bytes, size_t size) {
    buffer->Release();
    buffer = nullptr;
    D3D10_BUFFER_DESC desc = {UINT(size), D3D10_USAGE_IMMUTABLE, D3D10_BIND_VERTEX_BUFFER, 0, 0};
    D3D10_SUBRESOURCE_DATA data = {bytes, 0, 0};
    fw_Framework::mDevice->CreateBuffer(&desc, &data, &buffer);
}

fw_Texture* MakeVarianceMap(uint32_t size, float lightY, float sphereRadius, float uniformDistance, bool leftHalf) {
    std::vector<float> moments(size_t(size) * size * 2);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x) {
            // Texel row 0 is the top: image-plane y = +1, which is world +z.
            const double u = (x + 0.5) / size * 2.0 - 1.0, v = 1.0 - (y + 0.5) / size * 2.0;
            double dx = u, dy = -1.0, dz = v;
            const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
            dx /= length, dy /= length, dz /= length;
            double distance = uniformDistance > 0.0f && (!leftHalf || u < 0.0) ? uniformDistance : 150.0;
            if (sphereRadius > 0.0f) {
                // |o + t d|^2 = r^2 with o = (0, lightY, 0).
                const double b = lightY * dy, cc = double(lightY) * lightY - double(sphereRadius) * sphereRadius;
                const double disc = b * b - cc;
                if (disc >= 0.0 && -b - std::sqrt(disc) > 0.0)
                    distance = -b - std::sqrt(disc);
            }
            moments[(size_t(y) * size + x) * 2] = static_cast<float>(distance);
            moments[(size_t(y) * size + x) * 2 + 1] = static_cast<float>(distance * distance);
        }
    return new fw_Texture(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R32G32_FLOAT, size, size, 1, moments.data());
}

Target::Target(uint32_t w, uint32_t h, DXGI_FORMAT format)
    : colour(D3D10_BIND_RENDER_TARGET | D3D10_BIND_SHADER_RESOURCE, format, w, h, 1, nullptr),
      depth(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, w, h, 1, nullptr),
      width(w),
      height(h) {}

Target::~Target() {
    colour.Release();
    depth.Release();
}

void Target::Bind(bool withDepth) {
    fw_Framework::mDevice->OMSetRenderTargets(1, &colour.mRenderTargetView,
                                              withDepth ? depth.mDepthStencilView : nullptr);
    fw_Framework::mDevice->RSSetViewports(1, &colour.mViewport);
}

void Target::Clear(float r, float g, float b, float a, float d) {
    colour.ClearColor(r, g, b, a);
    depth.ClearDepth(d);
}

bool SavePng(const std::string& path, const std::vector<float>& rgba, uint32_t width, uint32_t height) {
    std::vector<uint32_t> texels(size_t(width) * height);
    for (size_t i = 0; i < texels.size(); ++i) {
        uint32_t texel = 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            const float v = std::clamp(rgba[i * 4 + c], 0.0f, 1.0f);
            const uint32_t byte = static_cast<uint32_t>(std::lround(v * 255.0f));
            texel |= std::min(byte, 255u) << (8 * c);
        }
        texels[i] = texel;
    }
    fw_Texture image(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, width, height, 1, texels.data());
    const bool saved = SUCCEEDED(D3DX10SaveTextureToFileA(image.mTexture2D, D3DX10_IFF_PNG, path.c_str()));
    image.Release();
    return saved;
}

}  // namespace shaftsdust
