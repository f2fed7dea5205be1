#pragma once
// A rectangle over the whole viewport, drawn once per pass of a technique; the carrier
// of every full-screen pass.

#include <cstdint>

#include "platform/d3dx10effect.h"
#include "platform/win32_types.h"

class fw_ScreenQuad {
public:
    // The input layout is built against pass 0 of technique (one float3 "POSITION").
    explicit fw_ScreenQuad(ID3D10EffectTechnique* technique);
    ~fw_ScreenQuad();
    fw_ScreenQuad(const fw_ScreenQuad&) = delete;
    fw_ScreenQuad& operator=(const fw_ScreenQuad&) = delete;

    void CreateBuffers();
    // Binds the quad and draws it once per pass; an invalid technique draws nothing.
    // Returns the number of draws.
    uint32_t Draw(ID3D10EffectTechnique* technique);
    // Draws with every bound viewport replaced by the rectangle (an inverted side gives
    // 0), then restores the viewports.
    uint32_t DrawInRect(const RECT& rectangle, ID3D10EffectTechnique* technique);
    void Release();

    ID3D10Buffer* mVertexBuffer;
    ID3D10Buffer* mIndexBuffer;
    ID3D10InputLayout* mInputLayout;
};
