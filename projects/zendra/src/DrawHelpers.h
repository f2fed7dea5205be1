#pragma once
// Steps of a draw that the production's effects share: the effects drawn from one vertex
// buffer, vertex buffers, the input layout of a technique's first pass, drawing every pass of a
// technique, the guard band of the one-primitive-per-pixel passes, and the random numbers
// their vertices are strewn with.
#include <cstddef>
#include <cstdint>

#include "fw_Release.h"
#include "platform/d3d10.h"
#include "platform/d3dx10.h"

// A buffer with the given contents; null without a device, for zero bytes or when the
// device refuses it.
ID3D10Buffer* CreateFilledBuffer(const void* data, size_t bytes, D3D10_USAGE usage = D3D10_USAGE_IMMUTABLE,
                                 UINT bindFlags = D3D10_BIND_VERTEX_BUFFER);
// The layout of the elements for pass 0 of the technique; null when the technique, its
// input signature or the device is missing.
ID3D10InputLayout* CreatePassLayout(ID3D10EffectTechnique* technique, const D3D10_INPUT_ELEMENT_DESC* elements,
                                    UINT count);
// Binds one vertex buffer at slot 0 with its layout and topology, then applies and draws
// every pass of the technique with vertexCount vertices from vertex 0.
void DrawAllPasses(ID3D10EffectTechnique* technique, ID3D10Buffer* buffer, UINT stride, ID3D10InputLayout* layout,
                   D3D10_PRIMITIVE_TOPOLOGY topology, UINT vertexCount);

// rand() x 2 / 32767 - 1, in double from the float of rand: -1 to 1.
double SignedUnit();

class fw_Effect;

// The shape of the effects drawn from one vertex buffer (dust, light shafts, bokeh, atoms):
// the effect, the input layout of its technique's first pass for one vertex element, and
// the buffer. The effect joins the framework's pool or keeps its values to itself.
class VertexEffect {
public:
    VertexEffect(const char* file, bool inPool, const char* technique, const D3D10_INPUT_ELEMENT_DESC& element,
                 UINT stride);
    virtual ~VertexEffect();
    VertexEffect(const VertexEffect&) = delete;
    VertexEffect& operator=(const VertexEffect&) = delete;

    // Compiles the effect anew and makes the layout of the technique's first pass.
    void LoadEffect();
    // Gives back the effect, layout and buffer and leaves each null; safe to repeat and
    // to follow with the destructor.
    virtual void Release();
    fw_Effect* GetEffect() { return mEffect; }

    fw_Effect* mEffect = nullptr;  // owned
    ID3D10Buffer* mVertexBuffer = nullptr;
    ID3D10InputLayout* mInputLayout = nullptr;

protected:
    // Replaces the vertex buffer by one holding these bytes (none for zero bytes).
    void SetVertices(const void* data, size_t bytes);
    ID3D10EffectTechnique* Technique() const;
    // Every pass of the technique with vertexCount vertices of the buffer; nothing without
    // an effect or a buffer.
    void DrawVertices(D3D10_PRIMITIVE_TOPOLOGY topology, UINT vertexCount) const;

private:
    const char* mFile;
    bool mInPool;
    const char* mTechnique;
    D3D10_INPUT_ELEMENT_DESC mElement;
    UINT mStride;
};

// While it lives, the bound viewport is grown by guard pixels on every side (and given back
// afterwards), so that sprites and streaks up to that size never leave the clip volume.
class GuardBand {
public:
    explicit GuardBand(int32_t guard);
    ~GuardBand();
    GuardBand(const GuardBand&) = delete;
    GuardBand& operator=(const GuardBand&) = delete;
    // False when no usable viewport is bound (nothing was changed).
    bool Active() const { return mActive; }
    const D3D10_VIEWPORT& Viewport() const { return mViewport; }
    const D3D10_VIEWPORT& Wide() const { return mWide; }

private:
    bool mActive = false;
    D3D10_VIEWPORT mViewport = {};
    D3D10_VIEWPORT mWide = {};
};
