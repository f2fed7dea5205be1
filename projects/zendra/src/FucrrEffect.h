#pragma once
// The spectrum-driven tetrahedron swarm: 32400 rigid tetrahedra simulated on the GPU in
// three rotating sets of 180 x 180 float textures, stepped at 120 Hz from the music's
// spectrum table, and drawn as one instanced mesh.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d10.h"

class fw_Effect;
class fw_ScreenQuad;
class fw_Texture;

// One spectrum sample: bins 0 to 6 and bin 27 of a 256-sample FFT. Same layout in the
// cache file (eight little-endian float32).
struct FftRecord {
    float values[8];
};
static_assert(sizeof(FftRecord) == 32, "cache record layout");

class FucrrEffect {
public:
    static constexpr int kGridSize = 180;
    static constexpr int kTetraCount = kGridSize * kGridSize;
    // The float nearest 1/120: seconds of one simulation step.
    static constexpr float kStepSeconds = 0.008333334f;
    // Most simulation steps of one Update call. A seek further ahead than this many steps
    // simulates only the last kMaxCatchUpSteps steps before the clock, so a jump of
    // minutes costs at most about 12 s of simulation instead of freezing the window; the
    // steps before only read the trigger keys, whose last firings then take effect.
    static constexpr int kMaxCatchUpSteps = 1440;
    // The cache, relative to the working directory.
    static constexpr const char* kFftCachePath = "./data/fft.dat";
    // Records SampleFft reads for the table's duration and interval: a shorter cache is
    // not trusted.
    static constexpr size_t kRequiredRecords = 14400;
    // Records of the table computed from the music (the interval accumulated in float over
    // the duration): a longer cache is not trusted either.
    static constexpr size_t kTableRecords = 14401;

    // Empties everything, then LoadResources.
    FucrrEffect();
    ~FucrrEffect();
    FucrrEffect(const FucrrEffect&) = delete;
    FucrrEffect& operator=(const FucrrEffect&) = delete;

    // Spectrum table, reference tetrahedron, mesh, start state, both effects, the quad.
    // A second call replaces what the first created (the table is kept).
    void LoadResources();
    void LoadPyramidEffect();
    void LoadMesh();
    void ResetTetras();
    // Runs the fixed 1/120 s steps up to the demo clock (only while "Obj_MainType" is 3).
    void Update();
    // Draws all tetrahedra from the newest state with "gfx", or "depth" for the shadow map.
    void BindMatrixTextures(bool depthPass);
    void SaveMatrixTextures(int scenario);
    void LoadScenario(int scenario);
    static std::string MatrixFileName(int scenario, int i, int j);
    fw_Effect* GetPyramidEffect() { return mPyramidEffect; }

    // Spectrum table: from the cache, else computed from the music and cached when the
    // music decodes.
    void LoadOrComputeFft();
    // The spectrum at t seconds, blended between the two neighbouring records.
    FftRecord SampleFft(float t) const;

    fw_ScreenQuad* mQuad;
    ID3D10Buffer* mVertexBuffer;
    ID3D10Buffer* mInstanceBuffer;
    ID3D10Buffer* mIndexBuffer;
    fw_Effect* mSimEffect;
    fw_Effect* mPyramidEffect;
    ID3D10InputLayout* mInputLayout;
    fw_Texture* mMatrixTextures[9];  // texture i of set s at 3 s + i
    float mInverseBaseMatrix[16];
    float mBaseMatrix[16];
    int32_t mTrianglesPerInstance;
    int32_t mInstanceCount;
    int32_t mRing;  // the set holding the older of the two latest states
    float mRecordInterval;
    float mDuration;
    std::vector<FftRecord> mFftTable;

private:
    // Reads the cache; false (table empty) when it is missing, shorter than kRequiredRecords,
    // longer than kTableRecords records, or all zeros.
    bool ReadFftCache();
    // Writes the cache through a temporary file and a rename; false on failure.
    bool WriteFftCache() const;
    void ReleaseBuffers();
};
