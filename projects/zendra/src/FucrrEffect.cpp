#include "FucrrEffect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "DrawHelpers.h"
#include "ObjectTypes.h"
#include "fw_Convert.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Math.h"
#include "fw_Mesh.h"
#include "fw_Music.h"
#include "fw_ScreenQuad.h"
#include "fw_Texture.h"
#include "fw_Timer.h"
#include "platform/crt.h"
#include "platform/d3dx10math.h"
#include "platform/regular_file.h"

namespace {

constexpr uint32_t kMatrixBindFlags = D3D10_BIND_SHADER_RESOURCE | D3D10_BIND_RENDER_TARGET;  // 0x28

// The reference tetrahedron, one corner per row.
constexpr float kBaseMatrix[16] = {
    -5.479541f, -3.894634f, -9.490854f, 1.0f,  //
    -5.479542f, -3.894634f, 9.490853f,  1.0f,  //
    10.959098f, -3.894634f, 0.0f,       1.0f,  //
    0.000005f,  11.603864f, 0.0f,       1.0f,
};

// Rotation rates (radians per second) about z, y and x of the four force directions.
constexpr float kForceRates[4][3] = {
    {0.211f, 0.3f, 0.1f}, {0.291f, 0.1322f, 0.119f}, {0.31f, -0.33f, -0.122f}, {0.19f, 0.2113f, 0.143f}};

// Row vector times a row-major 4x4 matrix.
void TransformRow(const float v[4], const float m[16], float out[4]) {
    for (int j = 0; j < 4; ++j)
        out[j] = v[0] * m[j] + v[1] * m[4 + j] + v[2] * m[8 + j] + v[3] * m[12 + j];
}

// Edge triggers of the scenario keys, shared by all effects. True at program start: a key
// that already holds at the first step waits until its track has dropped.
bool gLoadFired = true;
bool gSaveFired = true;
bool gResetFired = true;

enum class Trigger { Load, Save, Reset };
struct Fired {
    Trigger action;
    int scenario;
};

// The trigger keys at the simulation row: what fires, in the order load, save, reset.
std::vector<Fired> ReadTriggers() {
    std::vector<Fired> fired;
    const int load = fw_FloatToInt(fw_Framework::GetSyncValue("FFT_Load", 0.0f));
    if (load > 0 && !gLoadFired)
        fired.push_back({Trigger::Load, load});
    gLoadFired = load > 0;
    const int save = fw_FloatToInt(fw_Framework::GetSyncValue("FFT_Save", 0.0f));
    if (save > 0 && !gSaveFired)
        fired.push_back({Trigger::Save, save});
    gSaveFired = save > 0;
    const bool reset = fw_Framework::GetSyncValue("FFT_Reset", 0.0f) > 0.0f;
    if (reset && !gResetFired)
        fired.push_back({Trigger::Reset, 0});
    gResetFired = reset;
    return fired;
}

void Fire(FucrrEffect& effect, const std::vector<Fired>& fired) {
    for (const Fired& f : fired) {
        switch (f.action) {
            case Trigger::Load:
                effect.LoadScenario(f.scenario);
                break;
            case Trigger::Save:
                effect.SaveMatrixTextures(f.scenario);
                break;
            case Trigger::Reset:
                fw_Log::Write(fw_Log::kPlain, "Resetting tetras.");
                effect.ResetTetras();
                break;
        }
    }
}

ID3D10Buffer* CreateBuffer(size_t bytes, uint32_t bindFlags, const void* data) {
    return CreateFilledBuffer(data, bytes, D3D10_USAGE_DEFAULT, bindFlags);
}

}  // namespace

FucrrEffect::FucrrEffect()
    : mQuad(nullptr),
      mVertexBuffer(nullptr),
      mInstanceBuffer(nullptr),
      mIndexBuffer(nullptr),
      mSimEffect(nullptr),
      mPyramidEffect(nullptr),
      mInputLayout(nullptr),
      mMatrixTextures{},
      mInverseBaseMatrix{},
      mBaseMatrix{},
      mTrianglesPerInstance(0),
      mInstanceCount(0),
      mRing(0),
      mRecordInterval(0.016666668f),
      mDuration(240.0f) {
    LoadResources();
}

FucrrEffect::~FucrrEffect() {
    ReleaseBuffers();
    mFftTable.clear();
    mFftTable.shrink_to_fit();
    for (fw_Texture*& texture : mMatrixTextures)
        ReleaseAndDelete(texture);
    delete mPyramidEffect;
    mPyramidEffect = nullptr;
    delete mSimEffect;
    mSimEffect = nullptr;
    delete mQuad;
    mQuad = nullptr;
}

void FucrrEffect::ReleaseBuffers() {
    SafeRelease(mVertexBuffer);
    SafeRelease(mIndexBuffer);
    SafeRelease(mInstanceBuffer);
    SafeRelease(mInputLayout);
}

void FucrrEffect::LoadResources() {
    LoadOrComputeFft();
    std::memcpy(mBaseMatrix, kBaseMatrix, sizeof mBaseMatrix);
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, reinterpret_cast<const D3DXMATRIX*>(mBaseMatrix));
    std::memcpy(mInverseBaseMatrix, &inverse, sizeof mInverseBaseMatrix);
    LoadMesh();
    ResetTetras();
    LoadPyramidEffect();
    delete mSimEffect;
    mSimEffect = new fw_Effect("fucrr.fx", nullptr);
    delete mQuad;
    mQuad = new fw_ScreenQuad(mSimEffect->GetTechnique("step"));
}

void FucrrEffect::LoadPyramidEffect() {
    delete mPyramidEffect;
    mPyramidEffect = new fw_Effect("pyramides.fx", fw_Framework::GetEffectPool());
    SafeRelease(mInputLayout);
    static const D3D10_INPUT_ELEMENT_DESC kLayout[3] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"NORMAL", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 16, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"BLENDINDICES", 0, DXGI_FORMAT_R16G16_UINT, 1, 0, D3D10_INPUT_PER_INSTANCE_DATA, 1},
    };
    mInputLayout = CreatePassLayout(mPyramidEffect->GetTechnique("gfx"), kLayout, 3);
}

void FucrrEffect::LoadMesh() {
    SafeRelease(mVertexBuffer);
    SafeRelease(mIndexBuffer);
    SafeRelease(mInstanceBuffer);
    mTrianglesPerInstance = 0;
    mInstanceCount = 0;

    fw_Mesh* mesh = new fw_Mesh("./data/", "fucrr.obj", nullptr);
    std::vector<fw_Vector3> positions, normals;
    std::vector<uint32_t> indices;
    mesh->ReadPositions(positions);
    mesh->ReadNormals(normals);
    mesh->ReadIndices(indices);
    delete mesh;
    // Without a mesh nothing is drawn.
    if (positions.empty() || indices.size() < 3 || normals.size() != positions.size())
        return;

    // Each vertex as weights of the reference corners: position and normal times the
    // inverse of the reference matrix.
    std::vector<float> vertices(positions.size() * 8);
    for (size_t v = 0; v < positions.size(); ++v) {
        const float p[4] = {positions[v].x, positions[v].y, positions[v].z, 1.0f};
        const float n[4] = {normals[v].x, normals[v].y, normals[v].z, 0.0f};
        TransformRow(p, mInverseBaseMatrix, &vertices[v * 8]);
        TransformRow(n, mInverseBaseMatrix, &vertices[v * 8 + 4]);
    }
    mVertexBuffer =
        CreateBuffer(static_cast<uint32_t>(vertices.size() * sizeof(float)), D3D10_BIND_VERTEX_BUFFER, vertices.data());
    mTrianglesPerInstance = static_cast<int32_t>(indices.size() / 3);
    mIndexBuffer = CreateBuffer(static_cast<uint32_t>(indices.size() * 4), D3D10_BIND_INDEX_BUFFER, indices.data());

    std::vector<uint16_t> instances(size_t(kTetraCount) * 2);
    for (int n = 0; n < kTetraCount; ++n) {
        instances[n * 2] = static_cast<uint16_t>(n % kGridSize);
        instances[n * 2 + 1] = static_cast<uint16_t>(n / kGridSize);
    }
    mInstanceBuffer = CreateBuffer(kTetraCount * 4, D3D10_BIND_VERTEX_BUFFER, instances.data());
    mInstanceCount = kTetraCount;
}

void FucrrEffect::ResetTetras() {
    const fw_ScopedRandState generator(394);
    std::vector<float> texels(size_t(3) * kTetraCount * 4);
    for (int n = 0; n < kTetraCount; ++n) {
        const float a = static_cast<float>(rand() * 6.2831855 / 32767.0);
        const float z = static_cast<float>(rand() * 2.0 / 32767.0 - 1.0);
        const float q = std::sqrt(1.0f - z * z);
        const float p[3] = {15.0f * q * std::cos(a), 15.0f * z, 15.0f * q * std::sin(a)};
        for (int i = 0; i < 3; ++i) {
            float* t = &texels[(size_t(i) * kTetraCount + n) * 4];
            t[0] = mBaseMatrix[i * 4 + 0] + p[0];
            t[1] = mBaseMatrix[i * 4 + 1] + p[1];
            t[2] = mBaseMatrix[i * 4 + 2] + p[2];
            t[3] = mBaseMatrix[12 + i] + p[i];
        }
    }
    for (int s = 0; s < 3; ++s) {
        for (int i = 0; i < 3; ++i) {
            fw_Texture* texture = new fw_Texture(kMatrixBindFlags, DXGI_FORMAT_R32G32B32A32_FLOAT, kGridSize, kGridSize,
                                                 1, &texels[size_t(i) * kTetraCount * 4]);
            fw_Texture*& slot = mMatrixTextures[3 * s + i];
            ReleaseAndDelete(slot);
            slot = texture;
        }
    }
}

void FucrrEffect::Update() {
    const float clock = fw_Framework::GetTime();
    if (!(clock - SimulationTime > 0.0f)) {
        SimulationTime = clock;
        gLoadFired = gSaveFired = gResetFired = false;
        return;
    }
    // A seek far ahead simulates only the last kMaxCatchUpSteps steps before the clock. The
    // skipped steps only read the triggers; the last firing of each kind takes effect, in
    // the order they fired, before the first simulated step.
    std::vector<Fired> skipped;
    while (double(clock) - double(SimulationTime) > double(kStepSeconds) * kMaxCatchUpSteps) {
        if (mSimEffect && fw_FloatToInt(fw_Framework::GetSyncValue("Obj_MainType", 0.0f)) == kObjectTetrahedra) {
            for (const Fired& f : ReadTriggers()) {
                skipped.erase(std::remove_if(skipped.begin(), skipped.end(),
                                             [&](const Fired& s) { return s.action == f.action; }),
                              skipped.end());
                skipped.push_back(f);
            }
        }
        SimulationTime = static_cast<float>(double(SimulationTime) + double(kStepSeconds));
    }
    Fire(*this, skipped);

    ID3D10EffectTechnique* step = mSimEffect ? mSimEffect->GetTechnique("step") : nullptr;
    while (double(clock) - double(SimulationTime) > double(kStepSeconds)) {
        // Every track of a step is read at the simulation time's row.
        const int type = fw_FloatToInt(fw_Framework::GetSyncValue("Obj_MainType", 0.0f));
        if (type == kObjectTetrahedra && mSimEffect) {
            Fire(*this, ReadTriggers());

            const float lookAhead = fw_Framework::GetSyncValue("FFT_LookAhead", 0.0f);
            const FftRecord fft = SampleFft(SimulationTime + lookAhead);
            mSimEffect->SetVector("gFFT0", &fft.values[0]);
            mSimEffect->SetVector("gFFT1", &fft.values[4]);

            static const char* const kForceNames[4] = {"gForceVector0", "gForceVector1", "gForceVector2",
                                                       "gForceVector3"};
            for (int k = 0; k < 4; ++k) {
                const float az = SimulationTime * kForceRates[k][0];
                const float ay = SimulationTime * kForceRates[k][1];
                const float ax = SimulationTime * kForceRates[k][2];
                const fw_Matrix34 r = fw_Math::RotationX(ax) * fw_Math::RotationY(ay) * fw_Math::RotationZ(az);
                const fw_Vector3 d = r * fw_Vector3(1.0f, 0.0f, 0.0f);
                const float v[4] = {d.x, d.y, d.z, 0.0f};
                mSimEffect->SetVector(kForceNames[k], v);
            }
            mSimEffect->SetFloat("gFFTScale", fw_Framework::GetSyncValue("FFT_Scale", 0.5f) * 0.5f);
            mSimEffect->SetFloat("gBaseSphereRadius", fw_Framework::GetSyncValue("Obj_MainScale", 1.0f) * 15.0f);

            const int older = mRing, newer = (mRing + 1) % 3, next = (mRing + 2) % 3;
            mSimEffect->SetTexture("gMatrixTexture00", mMatrixTextures[3 * older + 0]);
            mSimEffect->SetTexture("gMatrixTexture01", mMatrixTextures[3 * older + 1]);
            mSimEffect->SetTexture("gMatrixTexture02", mMatrixTextures[3 * older + 2]);
            mSimEffect->SetTexture("gMatrixTexture10", mMatrixTextures[3 * newer + 0]);
            mSimEffect->SetTexture("gMatrixTexture11", mMatrixTextures[3 * newer + 1]);
            mSimEffect->SetTexture("gMatrixTexture12", mMatrixTextures[3 * newer + 2]);
            fw_Framework::SetRenderTargets(0, mMatrixTextures[3 * next], mMatrixTextures[3 * next + 1],
                                           mMatrixTextures[3 * next + 2], nullptr);
            mQuad->Draw(step);
            mRing = (mRing + 1) % 3;
        }
        SimulationTime = static_cast<float>(double(SimulationTime) + double(kStepSeconds));
    }
}

void FucrrEffect::BindMatrixTextures(bool depthPass) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!device || !mPyramidEffect || !mVertexBuffer || !mIndexBuffer || !mInstanceBuffer || !mInputLayout ||
        mTrianglesPerInstance <= 0)
        return;
    const int k = (mRing + 1) % 3;
    mPyramidEffect->SetTexture("gMatrixTexture0", mMatrixTextures[3 * k + 0]);
    mPyramidEffect->SetTexture("gMatrixTexture1", mMatrixTextures[3 * k + 1]);
    mPyramidEffect->SetTexture("gMatrixTexture2", mMatrixTextures[3 * k + 2]);
    // The scene's blurred variance shadow map, when it exists.
    if (!depthPass && gFramework && gFramework->HasTexture("r32g32f_VarianceShadow0"))
        mPyramidEffect->SetTexture("gDepthVarianceTexture", gFramework->FindTexture("r32g32f_VarianceShadow0"));

    device->IASetInputLayout(mInputLayout);
    ID3D10Buffer* buffers[2] = {mVertexBuffer, mInstanceBuffer};
    const UINT strides[2] = {32, 4};
    const UINT offsets[2] = {0, 0};
    device->IASetVertexBuffers(0, 2, buffers, strides, offsets);
    device->IASetIndexBuffer(mIndexBuffer, DXGI_FORMAT_R32_UINT, 0);
    device->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);

    ID3D10EffectTechnique* technique = mPyramidEffect->GetTechnique(depthPass ? "depth" : "gfx");
    D3D10_TECHNIQUE_DESC desc = {};
    if (FAILED(technique->GetDesc(&desc)))
        return;
    for (UINT pass = 0; pass < desc.Passes; ++pass) {
        technique->GetPassByIndex(pass)->Apply(0);
        device->DrawIndexedInstanced(3 * mTrianglesPerInstance, mInstanceCount, 0, 0, 0);
    }
}

std::string FucrrEffect::MatrixFileName(int scenario, int i, int j) {
    return "fucrr_" + std::to_string(scenario) + "_" + std::to_string(i) + "_" + std::to_string(j) + ".dds";
}

void FucrrEffect::SaveMatrixTextures(int scenario) {
    for (int i = 0; i < 3; ++i) {
        std::string name = MatrixFileName(scenario, i, 0);
        fw_Log::Write(fw_Log::kPlain, "Saving to file: %s.", name.c_str());
        if (fw_Texture* texture = mMatrixTextures[3 * mRing + i])
            texture->SaveToFile(name);
        name = MatrixFileName(scenario, i, 1);
        fw_Log::Write(fw_Log::kPlain, "Saving to file: %s.", name.c_str());
        if (fw_Texture* texture = mMatrixTextures[3 * ((mRing + 1) % 3) + i])
            texture->SaveToFile(name);
    }
}

void FucrrEffect::LoadScenario(int scenario) {
    if (!mSimEffect || !mQuad || !gFramework)
        return;
    ID3D10EffectTechnique* init = mSimEffect->GetTechnique("init");
    fw_Log::Write(fw_Log::kPlain, "Loading fucrr data from scenario %d.", scenario);
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 3; ++i) {
            fw_Texture* texture = gFramework->FindOrLoadTexture(MatrixFileName(scenario, i, j));
            mSimEffect->SetTexture("gMatrixTexture0" + std::to_string(i), texture);
        }
        const int set = (mRing + j) % 3;
        fw_Framework::SetRenderTargets(0, mMatrixTextures[3 * set], mMatrixTextures[3 * set + 1],
                                       mMatrixTextures[3 * set + 2], nullptr);
        mQuad->Draw(init);
    }
}

// ---- spectrum table -------------------------------------------------------------------------

void FucrrEffect::LoadOrComputeFft() {
    if (!mFftTable.empty())
        return;
    mRecordInterval = 0.016666668f;
    mDuration = 240.0f;
    mFftTable.clear();

    if (ReadFftCache()) {
        fw_Log::Write(fw_Log::kPlain, "done.");
        return;
    }

    fw_Log::Write(fw_Log::kPlain, "Precomputing FFT...");
    // Music counts only when it decodes: a player over an empty or damaged file gives silence.
    const bool haveMusic = fw_Framework::mMusic != nullptr && fw_Framework::mMusic->decodeStream != 0;
    float t = 0.0f;
    if (mDuration > 0.0f) {
        do {
            FftRecord record = {};
            if (const float* spectrum = haveMusic ? fw_Framework::GetMusicFft(t) : nullptr) {
                for (int b = 0; b < 7; ++b)
                    record.values[b] = spectrum[b];
                record.values[7] = spectrum[27];
            }
            mFftTable.push_back(record);
            t = static_cast<float>(double(t) + double(mRecordInterval));
        } while (mDuration > t);
    }
    // Without music the table is silence; no cache is written, so that a later start with
    // sound computes the real one.
    if (haveMusic) {
        fw_Log::Write(fw_Log::kPlain, "Saving FFT analysis to file \"%s\".", kFftCachePath);
        if (!WriteFftCache())
            fw_Log::Write(fw_Log::kWarning, "Could not write the FFT cache \"%s\"; the spectrum stays in memory.",
                          kFftCachePath);
    }
    fw_Log::Write(fw_Log::kPlain, "done.");
}

bool FucrrEffect::ReadFftCache() {
    // Only a regular file, and never more bytes than the table of the music: a longer file
    // is refused before it is read.
    constexpr size_t kMostBytes = kTableRecords * sizeof(FftRecord);
    std::vector<uint8_t> bytes;
    std::string error;
    const RegularFileRead read = ReadRegularFile(kFftCachePath, kMostBytes, bytes, &error);
    if (read == RegularFileRead::NotFound || read == RegularFileRead::NotRegular ||
        (read == RegularFileRead::Ok && bytes.empty()))
        return false;
    fw_Log::Write(fw_Log::kPlain, "Reading FFT data from file \"%s\"...", kFftCachePath);
    // Fewer records than the sampling reads, and the file is not such a table either.
    const size_t count = bytes.size() / sizeof(FftRecord);
    bool ok = read == RegularFileRead::Ok && count >= kRequiredRecords;
    if (ok) {
        mFftTable.resize(count);
        std::memcpy(mFftTable.data(), bytes.data(), count * sizeof(FftRecord));
    }
    // All zeros is the silence of a table computed without music.
    ok = ok && std::any_of(mFftTable.begin(), mFftTable.end(), [](const FftRecord& r) {
             return std::any_of(std::begin(r.values), std::end(r.values), [](float v) { return v != 0.0f; });
         });
    if (!ok) {
        const std::string what = read == RegularFileRead::Ok ? std::to_string(bytes.size()) + " bytes" : error;
        fw_Log::Write(fw_Log::kWarning,
                      "The FFT cache \"%s\" (%s) is not a spectrum table of the music; computing it again.",
                      kFftCachePath, what.c_str());
        mFftTable.clear();
    }
    return ok;
}

bool FucrrEffect::WriteFftCache() const {
    const std::string temporary = std::string(kFftCachePath) + ".tmp";
    std::FILE* file = CreateNewRegularFile(temporary);
    if (!file)
        return false;
    const size_t written = std::fwrite(mFftTable.data(), sizeof(FftRecord), mFftTable.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != mFftTable.size() || !closed || std::rename(temporary.c_str(), kFftCachePath) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

FftRecord FucrrEffect::SampleFft(float t) const {
    FftRecord result = {};
    if (mFftTable.empty())
        return result;
    if (std::isnan(t) || t < 0.0f)
        t = 0.0f;
    if (double(t) >= double(static_cast<float>(double(mDuration) - double(mRecordInterval))))
        t = static_cast<float>(double(mDuration) - 2.0 * double(mRecordInterval));
    const double position = double(t) / double(mRecordInterval);
    // Never outside the table: the last pair of records at most.
    const int64_t last = static_cast<int64_t>(mFftTable.size()) - 1;
    int64_t h = position > 0.0 ? static_cast<int64_t>(position) : 0;
    if (last == 0)
        return mFftTable[0];
    float w = (t - static_cast<float>(h) * mRecordInterval) / mRecordInterval;
    if (h >= last) {
        h = last - 1;
        w = 1.0f;
    }
    const FftRecord& a = mFftTable[h];
    const FftRecord& b = mFftTable[h + 1];
    for (int i = 0; i < 8; ++i)
        result.values[i] = a.values[i] * (1.0f - w) + b.values[i] * w;
    return result;
}
