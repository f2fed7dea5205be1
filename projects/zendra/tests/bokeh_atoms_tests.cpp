// Bokeh and atoms: grid contents, sizes, the streak log line, the variables a draw sets
// from the tracks, empty grids and release.
#include <cstring>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "AtomsEffect.h"
#include "BokehEffect.h"
#include "bokeh_atoms_support.h"
#include "fw_Effect.h"
#include "fw_Log.h"

namespace bokehatoms {
namespace {

std::vector<float> Floats(const std::vector<uint8_t>& bytes) {
    std::vector<float> values(bytes.size() / 4);
    std::memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

UINT ByteWidth(ID3D10Buffer* buffer) {
    D3D10_BUFFER_DESC desc = {};
    buffer->GetDesc(&desc);
    return desc.ByteWidth;
}

// ---- grids --------------------------------------------------------------------------------

using BokehGrid = EffectTest;

TEST_F(BokehGrid, FourByTwoHoldsThreeCopiesOfEachPointRowByRowFromTheBottom) {
    BokehEffect bokeh(4, 2);
    ASSERT_NE(nullptr, bokeh.mVertexBuffer);
    const std::vector<float> v = Floats(ReadBuffer(bokeh.mVertexBuffer));
    ASSERT_EQ(4u * 2u * 3u * 2u, v.size());
    const float xs[4] = {-1.0f, -0.5f, 0.0f, 0.5f}, ys[2] = {-1.0f, 0.0f};
    size_t k = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 4; ++j)
            for (int copy = 0; copy < 3; ++copy, k += 2) {
                EXPECT_EQ(xs[j], v[k]) << "vertex " << k / 2;
                EXPECT_EQ(ys[i], v[k + 1]) << "vertex " << k / 2;
            }
    for (size_t n = 0; n < v.size(); n += 2)
        EXPECT_FALSE(v[n] == 1.0f && v[n + 1] == 1.0f);
}

TEST_F(BokehGrid, BufferHoldsThreeVerticesOfEightBytesPerPixelAndEffectLoads) {
    BokehEffect bokeh(1280, 800);
    ASSERT_NE(nullptr, bokeh.mVertexBuffer);
    EXPECT_EQ(24576000u, ByteWidth(bokeh.mVertexBuffer));
    ASSERT_NE(nullptr, bokeh.mEffect);
    EXPECT_TRUE(bokeh.mEffect->GetTechnique("bokeh")->IsValid());
    EXPECT_NE(nullptr, bokeh.mInputLayout);
}

TEST_F(BokehGrid, ComputesCoordinatesFromTheFloatsOfOddSizes) {
    BokehEffect bokeh(3, 7);
    const std::vector<float> v = Floats(ReadBuffer(bokeh.mVertexBuffer));
    ASSERT_EQ(3u * 7u * 6u, v.size());
    // Row 5, column 2: the last triangle of that row.
    const size_t k = ((5 * 3 + 2) * 3 + 2) * 2;
    EXPECT_EQ(static_cast<float>(2.0 * 2.0 / 3.0 - 1.0), v[k]);
    EXPECT_EQ(static_cast<float>(5.0 * 2.0 / 7.0 - 1.0), v[k + 1]);
}

using AtomsStreaks = EffectTest;

TEST_F(AtomsStreaks, LogsTheCountAndSizesTheBufferAtTheFullRenderSize) {
    const std::string log = project->Path("atoms.log");
    fw_Log::OpenLogFile(log);
    AtomsEffect atoms(1280, 800);
    fw_Log::OpenLogFile("");
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("Atoms: Created 1024000 light streaks for your transitions, Sir."))
        << text.str();
    EXPECT_EQ(1024000, atoms.mStreakCount);
    ASSERT_NE(nullptr, atoms.mVertexBuffer);
    EXPECT_EQ(16384000u, ByteWidth(atoms.mVertexBuffer));
    EXPECT_TRUE(atoms.mEffect->GetTechnique("atoms")->IsValid());
    EXPECT_NE(nullptr, atoms.mInputLayout);
}

TEST_F(AtomsStreaks, HoldsTwoCopiesOfEachPixelRowByRow) {
    AtomsEffect atoms(2, 3);
    EXPECT_EQ(6, atoms.mStreakCount);
    const std::vector<float> v = Floats(ReadBuffer(atoms.mVertexBuffer));
    ASSERT_EQ(6u * 2u * 2u, v.size());
    size_t k = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            for (int copy = 0; copy < 2; ++copy, k += 2) {
                EXPECT_EQ(static_cast<float>(j * 2.0 / 2.0 - 1.0), v[k]);
                EXPECT_EQ(static_cast<float>(i * 2.0 / 3.0 - 1.0), v[k + 1]);
            }
}

// ---- variables set by the atoms draw ---------------------------------------------------------

class AtomsVariables : public EffectTest {
protected:
    void Draw(AtomsEffect& atoms) {
        Target target(8, 8, DXGI_FORMAT_R8G8B8A8_UNORM);
        target.Bind();
        atoms.Draw(target.texture.get(), target.texture.get());
    }
    float Float(AtomsEffect& atoms, const char* name) {
        float value = -99.0f;
        atoms.mEffect->GetVariable(name)->AsScalar()->GetFloat(&value);
        return value;
    }
    int Int(AtomsEffect& atoms, const char* name) {
        int value = -99;
        atoms.mEffect->GetVariable(name)->AsScalar()->GetInt(&value);
        return value;
    }
    std::vector<float> Vector(AtomsEffect& atoms, const char* name) {
        std::vector<float> value(4, -99.0f);
        atoms.mEffect->GetVariable(name)->AsVector()->GetFloatVector(value.data());
        return value;
    }
};

TEST_F(AtomsVariables, OverlayScaleIsOneAtTheAspectOfTheShow) {
    AtomsEffect atoms(16, 10);
    Draw(atoms);
    EXPECT_EQ((std::vector<float>{1.0f, 1.0f, 0.0f, 0.0f}), Vector(atoms, "gOverlayUVscale"));
}

TEST_F(AtomsVariables, OverlayScaleFollowsTheRenderSizeNotTheGrid) {
    AtomsEffect atoms(16, 10);
    SetRenderSize(1280, 720);
    Draw(atoms);
    const float aspect = static_cast<float>(1280.0 / 720.0);
    EXPECT_EQ(static_cast<float>(double(1.6f) / aspect), Vector(atoms, "gOverlayUVscale")[1]);
    EXPECT_NEAR(0.9f, Vector(atoms, "gOverlayUVscale")[1], 1e-6f);
}

TEST_F(AtomsVariables, WithoutKeysTheParameterIsZeroAndTheTypeZero) {
    AtomsEffect atoms(16, 10);
    atoms.mEffect->SetFloat("gTransitionParameter", 0.7f);
    atoms.mEffect->SetInt("gTransitionType", 2);
    Draw(atoms);
    EXPECT_EQ(0.0f, Float(atoms, "gTransitionParameter"));
    EXPECT_EQ(0, Int(atoms, "gTransitionType"));
    EXPECT_NE(sync.asked.end(), std::find(sync.asked.begin(), sync.asked.end(), "Atoms_Param"));
    EXPECT_NE(sync.asked.end(), std::find(sync.asked.begin(), sync.asked.end(), "Atoms_TransType"));
}

TEST_F(AtomsVariables, TheTypeTruncatesTowardZero) {
    AtomsEffect atoms(16, 10);
    sync.SetConstant("Atoms_Param", 0.25f);
    sync.SetConstant("Atoms_TransType", 2.7f);
    Draw(atoms);
    EXPECT_EQ(0.25f, Float(atoms, "gTransitionParameter"));
    EXPECT_EQ(2, Int(atoms, "gTransitionType"));
    sync.SetConstant("Atoms_TransType", -0.5f);
    Draw(atoms);
    EXPECT_EQ(0, Int(atoms, "gTransitionType"));
}

TEST_F(AtomsVariables, BindsTheFirstAndSecondImages) {
    AtomsEffect atoms(16, 10);
    Target first(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM), second(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM);
    Target target(16, 10, DXGI_FORMAT_R8G8B8A8_UNORM);
    target.Bind();
    atoms.Draw(first.texture.get(), second.texture.get());
    ID3D10ShaderResourceView* view = nullptr;
    atoms.mEffect->GetVariable("gSourceTexture1")->AsShaderResource()->GetResource(&view);
    EXPECT_EQ(first.texture->mShaderResourceView, view);
    if (view)
        view->Release();
    atoms.mEffect->GetVariable("gSourceTexture2")->AsShaderResource()->GetResource(&view);
    EXPECT_EQ(second.texture->mShaderResourceView, view);
    if (view)
        view->Release();
}

// ---- empty grids and release -----------------------------------------------------------------

using EmptyAndRelease = EffectTest;

TEST_F(EmptyAndRelease, AnEmptyBokehGridHasNoBufferAndDrawsNothing) {
    for (const auto& size : {std::pair<int, int>{0, 5}, {5, 0}, {0, 0}, {-3, 4}}) {
        BokehEffect bokeh(size.first, size.second);
        EXPECT_EQ(nullptr, bokeh.mVertexBuffer);
        EXPECT_NE(nullptr, bokeh.mEffect);
        Target source(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
        source.texture->ClearColor(9.0f, 9.0f, 9.0f, 40.0f);
        Target target(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
        target.Bind();
        bokeh.Draw(source.texture.get());
        for (float c : target.Read().rgba)
            ASSERT_EQ(0.0f, c);
    }
}

TEST_F(EmptyAndRelease, AnEmptyAtomsGridHasNoBufferLogsZeroAndDrawsNothing) {
    const std::string log = project->Path("atoms.log");
    fw_Log::OpenLogFile(log);
    AtomsEffect atoms(0, 800);
    fw_Log::OpenLogFile("");
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("Created 0 light streaks"));
    EXPECT_EQ(0, atoms.mStreakCount);
    EXPECT_EQ(nullptr, atoms.mVertexBuffer);
    Target image(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM);
    image.texture->ClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    Target target(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM);
    target.Bind();
    atoms.Draw(image.texture.get(), image.texture.get());
    for (float c : target.Read().rgba)
        ASSERT_EQ(0.0f, c);
}

TEST_F(EmptyAndRelease, BokehReleaseThenDestructorGivesEachObjectBackOnce) {
    auto bokeh = std::make_unique<BokehEffect>(8, 4);
    ID3D10Buffer* buffer = bokeh->mVertexBuffer;
    ID3D10InputLayout* layout = bokeh->mInputLayout;
    ASSERT_NE(nullptr, buffer);
    ASSERT_NE(nullptr, layout);
    buffer->AddRef();
    layout->AddRef();
    bokeh->Release();
    EXPECT_EQ(nullptr, bokeh->mEffect);
    EXPECT_EQ(nullptr, bokeh->mVertexBuffer);
    EXPECT_EQ(nullptr, bokeh->mInputLayout);
    bokeh->Release();
    bokeh.reset();
    EXPECT_EQ(0u, CountAfterRelease(buffer));
    EXPECT_EQ(0u, CountAfterRelease(layout));
}

TEST_F(EmptyAndRelease, AtomsReleaseThenDestructorGivesEachObjectBackOnce) {
    auto atoms = std::make_unique<AtomsEffect>(8, 4);
    ID3D10Buffer* buffer = atoms->mVertexBuffer;
    ID3D10InputLayout* layout = atoms->mInputLayout;
    ASSERT_NE(nullptr, buffer);
    ASSERT_NE(nullptr, layout);
    buffer->AddRef();
    layout->AddRef();
    atoms->Release();
    EXPECT_EQ(nullptr, atoms->mEffect);
    EXPECT_EQ(nullptr, atoms->mVertexBuffer);
    EXPECT_EQ(nullptr, atoms->mInputLayout);
    atoms.reset();
    EXPECT_EQ(0u, CountAfterRelease(buffer));
    EXPECT_EQ(0u, CountAfterRelease(layout));
}

TEST_F(EmptyAndRelease, TheDestructorAloneGivesEachObjectBack) {
    auto bokeh = std::make_unique<BokehEffect>(8, 4);
    auto atoms = std::make_unique<AtomsEffect>(8, 4);
    IUnknown* objects[4] = {bokeh->mVertexBuffer, bokeh->mInputLayout, atoms->mVertexBuffer, atoms->mInputLayout};
    for (IUnknown* object : objects)
        object->AddRef();
    bokeh.reset();
    atoms.reset();
    for (IUnknown* object : objects)
        EXPECT_EQ(0u, CountAfterRelease(object));
}

}  // namespace
}  // namespace bokehatoms
