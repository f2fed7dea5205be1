// Effects: where their files are found, includes from the two shader folders, failed
// compilations, typed setters (arrays bounded), the shared pool and the framework's own
// effect files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "fw_Effect.h"
#include "fw_Log.h"
#include "fw_PostEffects.h"
#include "resources_support.h"

using namespace restest;

namespace {

const char* kPlainEffect = R"(
uniform vec4 gColor;
void VS(in vec3 pos : POSITION, out vec4 hpos : SV_Position) { hpos = vec4(pos, 1.0); }
void PS(out vec4 color : SV_Target0) { color = gColor; }
technique Plain { pass P0 { VertexShader = VS; PixelShader = PS; } }
)";

class EffectTest : public ResourceTest {
protected:
    // A project tree of its own as framework root as well, so both roots are temporary.
    void UseTemporaryFrameworkRoot() {
        frameworkTree = std::make_unique<TempTree>();
        fw_Framework::mFrameworkRoot = frameworkTree->Path();
    }
    std::unique_ptr<TempTree> frameworkTree;

    static std::vector<float> Vector(fw_Effect& effect, const char* name, UINT count = 1) {
        std::vector<float> v(4 * count, -99.0f);
        effect.GetVariable(name)->AsVector()->GetFloatVectorArray(v.data(), 0, count);
        return v;
    }
};

TEST_F(EffectTest, TheNamesPrefixChoosesTheRoot) {
    UseTemporaryFrameworkRoot();
    frameworkTree->Write("src/shaders/fw_Thing.fx", kPlainEffect);
    project->Write("src/shaders/thing.fx", kPlainEffect);
    project->Write("src/shaders/my_fw_Thing.fx", kPlainEffect);

    fw_Effect framework("fw_Thing.fx", nullptr);
    EXPECT_EQ(frameworkTree->Path() + "/src/shaders/fw_Thing.fx", framework.mPath);
    EXPECT_TRUE(framework.IsValid());
    fw_Effect projectEffect("thing.fx", nullptr);
    EXPECT_EQ(project->Path() + "/src/shaders/thing.fx", projectEffect.mPath);
    EXPECT_TRUE(projectEffect.GetTechnique("Plain")->IsValid());
    fw_Effect inner("my_fw_Thing.fx", nullptr);
    EXPECT_EQ(project->Path() + "/src/shaders/my_fw_Thing.fx", inner.mPath);
    EXPECT_TRUE(inner.IsValid());
}

TEST_F(EffectTest, WithoutTheSourceTheCompiledFormIsUsed) {
    fw_Effect missing("dust.fx", nullptr);
    EXPECT_EQ(project->Path() + "/src/shaders/dust.fxo", missing.mPath);
    EXPECT_FALSE(missing.IsValid());
    EXPECT_FALSE(missing.GetTechnique("dust")->IsValid());
}

#ifdef FW_PACKED_SHADERS
TEST_F(EffectTest, TheFrameworksCompiledEffectFilesStandInForTheirSources) {
    UseTemporaryFrameworkRoot();
    for (const char* name : {"fw_Globals.fxio", "fw_PostEffects.fxo"})
        fs::copy_file(fs::path(FW_PACKED_SHADERS) / name, frameworkTree->root / "src" / "shaders" / name);
    ID3D10EffectPool* pool = CreateSharedEffectPool();
    ASSERT_NE(nullptr, pool);
    fw_Framework::mEffectPool = pool;
    ID3D10EffectScalarVariable* time = pool->AsEffect()->GetVariableByName("Time")->AsScalar();
    ASSERT_TRUE(time->IsValid());

    fw_Effect post("fw_PostEffects.fx", pool);
    EXPECT_EQ(frameworkTree->Path() + "/src/shaders/fw_PostEffects.fxo", post.mPath);
    ASSERT_TRUE(post.IsValid());
    EXPECT_TRUE(post.GetTechnique("BloomBlend")->IsValid());
    EXPECT_TRUE(post.GetTechnique("LightByDepth")->IsValid());
    time->SetFloat(2.5f);
    float seen = 0.0f;
    post.GetVariable("Time")->AsScalar()->GetFloat(&seen);
    EXPECT_EQ(2.5f, seen);
}
#endif

TEST_F(EffectTest, IncludesComeFromTheFrameworkRootFirstThenTheProjectRoot) {
    UseTemporaryFrameworkRoot();
    frameworkTree->Write("src/shaders/shared.fxi", "uniform vec4 gFromFramework;\n");
    project->Write("src/shaders/shared.fxi", "uniform vec4 gFromProject;\n");
    project->Write("src/shaders/only_here.fxi", "uniform float gOnlyHere;\n");
    project->Write("src/shaders/sub/nested.fxi", "uniform float gNested;\n");
    project->Write("src/shaders/uses.fx",
                   std::string("#include \"shared.fxi\"\n#include \"only_here.fxi\"\n") + kPlainEffect);
    fw_Effect effect("uses.fx", nullptr);
    ASSERT_TRUE(effect.IsValid());
    EXPECT_TRUE(effect.GetVariable("gFromFramework")->IsValid());
    EXPECT_FALSE(effect.GetVariable("gFromProject")->IsValid());
    EXPECT_TRUE(effect.GetVariable("gOnlyHere")->IsValid());
}

TEST_F(EffectTest, AnIncludeUnderNeitherRootFailsTheCompilationWithMessagesInTheLog) {
    project->Write("src/shaders/broken.fx", std::string("#include \"nowhere.fxi\"\n") + kPlainEffect);
    const int warnings = fw_Log::GetWarningCount();
    const std::string logPath = project->Path("effects.log");
    fw_Log::OpenLogFile(logPath);
    fw_Effect effect("broken.fx", nullptr);
    fw_Log::OpenLogFile("");
    std::ifstream in(logPath);
    const std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(effect.IsValid());
    EXPECT_NE(std::string::npos, out.find("broken.fx")) << out;
    EXPECT_NE(std::string::npos, out.find("nowhere.fxi")) << out;
    EXPECT_EQ(warnings, fw_Log::GetWarningCount());  // information, not warnings

    // Everything on the failed effect is an invalid object; nothing crashes.
    ID3D10EffectTechnique* technique = effect.GetTechnique("Plain");
    EXPECT_FALSE(technique->IsValid());
    D3D10_TECHNIQUE_DESC desc = {};
    technique->GetDesc(&desc);
    EXPECT_EQ(0u, desc.Passes);
    EXPECT_FALSE(technique->GetPassByIndex(0)->IsValid());
    effect.SetFloat("x", 1.0f);
    effect.SetFloat3("gColor", 1, 2, 3);
    effect.SetMatrixArray("m", {fw_Matrix4::Identity()});
    effect.SetTexture("t", nullptr);
    effect.SetConstantBuffer("cb", nullptr);
    EXPECT_FALSE(effect.GetVariable("gColor")->AsVector()->IsValid());
}

TEST_F(EffectTest, IncludesOfAPipeADeviceOrBeyondTheSourceBoundFailNamingTheFile) {
    // A pipe nobody writes would block a reader; a device never ends.
    ASSERT_EQ(0, ::mkfifo(project->Path("src/shaders/pipe.fxi").c_str(), 0600));
    ASSERT_EQ(0, ::symlink("/dev/zero", project->Path("src/shaders/zero.fxi").c_str()));
    for (const char* name : {"pipe.fxi", "zero.fxi"}) {
        project->Write("src/shaders/uses.fx", "#include \"" + std::string(name) + "\"\n" + kPlainEffect);
        const std::string logPath = project->Path("effects.log");
        fw_Log::OpenLogFile(logPath);
        fw_Effect effect("uses.fx", nullptr);
        fw_Log::OpenLogFile("");
        std::ifstream in(logPath);
        const std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(effect.IsValid());
        EXPECT_NE(std::string::npos, out.find(project->Path("src/shaders/") + name + " is not a regular file")) << out;
    }
    // The includes of one compilation read no more than an effect's sources hold.
    project->Write("src/shaders/small.fxi", "uniform float x;\n");
    Effect_IncludeHandler handler(project->Path(), project->Path());
    handler.mRead = Effect_IncludeHandler::MaxBytes - 17;
    LPCVOID data = nullptr;
    UINT bytes = 0;
    ASSERT_EQ(S_OK, handler.Open(D3D10_INCLUDE_LOCAL, "small.fxi", nullptr, &data, &bytes));
    handler.Close(data);
    EXPECT_EQ(E_FAIL, handler.Open(D3D10_INCLUDE_LOCAL, "small.fxi", nullptr, &data, &bytes));
    EXPECT_EQ(nullptr, data);
}

TEST_F(EffectTest, SelfIncludingFilesStopAtTheNestingBound) {
    project->Write("src/shaders/loop.fxi", "#include \"loop.fxi\"\n");
    project->Write("src/shaders/loop.fx", std::string("#include \"loop.fxi\"\n") + kPlainEffect);
    testing::internal::CaptureStdout();
    fw_Effect effect("loop.fx", nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(effect.IsValid());

    Effect_IncludeHandler handler(project->Path(), project->Path());
    std::vector<LPCVOID> open;
    for (int i = 0; i < Effect_IncludeHandler::MaxDepth + 1; ++i) {
        LPCVOID data = nullptr;
        UINT bytes = 0;
        const HRESULT hr = handler.Open(D3D10_INCLUDE_LOCAL, "loop.fxi", nullptr, &data, &bytes);
        if (i < Effect_IncludeHandler::MaxDepth) {
            EXPECT_EQ(S_OK, hr) << i;
            EXPECT_EQ(20u, bytes);
            open.push_back(data);
        } else {
            EXPECT_EQ(E_FAIL, hr);
            EXPECT_EQ(nullptr, data);
        }
    }
    for (LPCVOID data : open)
        EXPECT_EQ(S_OK, handler.Close(data));
    LPCVOID data = nullptr;
    UINT bytes = 0;
    EXPECT_EQ(S_OK, handler.Open(D3D10_INCLUDE_SYSTEM, "loop.fxi", nullptr, &data, &bytes));
    handler.Close(data);
}

TEST_F(EffectTest, VectorSettersFillTheMissingComponentsWithZero) {
    project->Write("src/shaders/vectors.fx", std::string(R"(
uniform vec4 gA; uniform vec4 gB; uniform vec4 gC;
uniform vec4 gArray[2];
uniform vec4 gAfter = vec4(7.0, 7.0, 7.0, 7.0);
uniform float gScalars[3];
uniform float gScalarAfter = 5.0;
uniform mat4 gMatrices[1];
uniform int gInt;
)") + kPlainEffect);
    fw_Effect effect("vectors.fx", nullptr);
    ASSERT_TRUE(effect.IsValid());
    effect.SetFloat3("gA", 1, 2, 3);
    EXPECT_EQ((std::vector<float>{1, 2, 3, 0}), Vector(effect, "gA"));
    effect.SetFloat4("gB", 9, 9, 9, 9);
    effect.SetFloat2("gB", 4, 5);
    EXPECT_EQ((std::vector<float>{4, 5, 0, 0}), Vector(effect, "gB"));
    effect.SetVector3("gC", fw_Vector3(6, 7, 8));
    EXPECT_EQ((std::vector<float>{6, 7, 8, 0}), Vector(effect, "gC"));
    effect.SetVector2("gC", fw_Vector2(1.5f, 2.5f));
    EXPECT_EQ((std::vector<float>{1.5f, 2.5f, 0, 0}), Vector(effect, "gC"));

    effect.SetVector3Array("gArray", {fw_Vector3(1, 2, 3), fw_Vector3(4, 5, 6)});
    EXPECT_EQ((std::vector<float>{1, 2, 3, 0, 4, 5, 6, 0}), Vector(effect, "gArray", 2));
    effect.SetVector2Array("gArray", {fw_Vector2(1, 2)});
    EXPECT_EQ((std::vector<float>{1, 2, 0, 0, 4, 5, 6, 0}), Vector(effect, "gArray", 2));

    effect.SetInt("gInt", 42);
    int i = 0;
    effect.GetVariable("gInt")->AsScalar()->GetInt(&i);
    EXPECT_EQ(42, i);
}

TEST_F(EffectTest, ArraySettersNeverWritePastTheDeclaredSize) {
    project->Write("src/shaders/arrays.fx", std::string(R"(
uniform vec4 gArray[2];
uniform vec4 gAfter = vec4(7.0, 7.0, 7.0, 7.0);
uniform float gScalars[3];
uniform float gScalarAfter = 5.0;
uniform sampler2D gTextures[2];
)") + kPlainEffect);
    fw_Effect effect("arrays.fx", nullptr);
    ASSERT_TRUE(effect.IsValid());
    effect.SetVectorArray("gArray", {fw_Vector4(1, 1, 1, 1), fw_Vector4(2, 2, 2, 2), fw_Vector4(3, 3, 3, 3)});
    EXPECT_EQ((std::vector<float>{1, 1, 1, 1, 2, 2, 2, 2}), Vector(effect, "gArray", 2));
    EXPECT_EQ((std::vector<float>{7, 7, 7, 7}), Vector(effect, "gAfter"));
    effect.SetVector3Array("gArray", std::vector<fw_Vector3>(5, fw_Vector3(9, 9, 9)));
    EXPECT_EQ((std::vector<float>{7, 7, 7, 7}), Vector(effect, "gAfter"));

    effect.SetFloatArray("gScalars", {1, 2, 3, 4, 5});
    float scalars[3] = {};
    effect.GetVariable("gScalars")->AsScalar()->GetFloatArray(scalars, 0, 3);
    EXPECT_EQ(3.0f, scalars[2]);
    float after = 0;
    effect.GetVariable("gScalarAfter")->AsScalar()->GetFloat(&after);
    EXPECT_EQ(5.0f, after);

    fw_Texture a(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 2, 2, 1, nullptr);
    fw_Texture b(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 2, 2, 1, nullptr);
    effect.SetTextureArray("gTextures", {&a, &b, &a});
    ID3D10ShaderResourceView* views[2] = {};
    effect.GetVariable("gTextures")->AsShaderResource()->GetResourceArray(views, 0, 2);
    EXPECT_EQ(a.mShaderResourceView, views[0]);
    EXPECT_EQ(b.mShaderResourceView, views[1]);
    for (ID3D10ShaderResourceView* v : views)
        if (v)
            v->Release();
    effect.SetVectorArray("gArray", {});  // an empty sequence sets nothing
    EXPECT_EQ((std::vector<float>{9, 9, 9, 0, 9, 9, 9, 0}), Vector(effect, "gArray", 2));
    a.Release();
    b.Release();
}

TEST_F(EffectTest, AnUnknownTechniqueIsInvalidAndNotReported) {
    project->Write("src/shaders/plain.fx", kPlainEffect);
    fw_Effect effect("plain.fx", nullptr);
    testing::internal::CaptureStdout();
    ID3D10EffectTechnique* technique = effect.GetTechnique("Nope");
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(nullptr, technique);
    EXPECT_FALSE(technique->IsValid());
    EXPECT_EQ("", out);
}

TEST_F(EffectTest, ThePoolSharesItsValuesWithItsChildrenOnly) {
    ID3D10EffectPool* pool = CreateSharedEffectPool();
    ASSERT_NE(nullptr, pool);
    fw_Framework::mEffectPool = pool;
    project->Write("src/shaders/child.fx", std::string("#include \"fw_Globals.fxi\"\n") + kPlainEffect);
    fw_Effect child("child.fx", pool);
    fw_Effect alone("child.fx", nullptr);
    ASSERT_TRUE(child.IsValid());
    ASSERT_TRUE(alone.IsValid());

    ID3D10Effect* shared = pool->AsEffect();
    gFramework->mAmbientVar = shared->GetVariableByName("Ambient")->AsVector();
    gFramework->mDiffuseVar = shared->GetVariableByName("Diffuse")->AsVector();
    gFramework->mSpecularVar = shared->GetVariableByName("Specular")->AsVector();
    gFramework->mSpecularPowerVar = shared->GetVariableByName("SpecularPower")->AsScalar();
    MaterialConstants material = {{0.1f, 0.2f, 0.3f, 1}, {0.4f, 0.5f, 0.6f, 1}, {0.7f, 0.8f, 0.9f, 1}, 12.0f};
    fw_Material::Apply(material);
    EXPECT_EQ((std::vector<float>{0.4f, 0.5f, 0.6f, 1}), Vector(child, "Diffuse"));
    EXPECT_EQ((std::vector<float>{0.7f, 0.8f, 0.9f, 1}), Vector(child, "Specular"));
    float power = 0;
    child.GetVariable("SpecularPower")->AsScalar()->GetFloat(&power);
    EXPECT_EQ(12.0f, power);
    EXPECT_EQ((std::vector<float>{1, 1, 1, 1}), Vector(alone, "Diffuse"));  // its own copy

    child.SetFloat4("Ambient", 3, 3, 3, 3);
    std::vector<float> ambient(4);
    gFramework->mAmbientVar->GetFloatVector(ambient.data());
    EXPECT_EQ((std::vector<float>{3, 3, 3, 3}), ambient);
}

TEST_F(EffectTest, TheSharedIncludeDeclaresThePoolVariables) {
    ID3D10EffectPool* pool = CreateSharedEffectPool();
    ASSERT_NE(nullptr, pool);
    fw_Framework::mEffectPool = pool;
    ID3D10Effect* shared = pool->AsEffect();
    for (const char* name : {"World", "View", "ViewProjection", "World_BackInTime", "View_BackInTime",
                             "ViewProjection_BackInTime", "ViewInverse", "LightViewProjection", "gLightViewProjection"})
        EXPECT_TRUE(shared->GetVariableByName(name)->AsMatrix()->IsValid()) << name;
    for (const char* name :
         {"EyePositionWorld", "EyePositionLocal", "StereoConstants", "NearXYZFarZ", "RenderDim", "LightPositionWorld",
          "Ambient", "Diffuse", "Specular", "gLightPositionWorldSpace", "gDepthOfFieldParameters"})
        EXPECT_TRUE(shared->GetVariableByName(name)->AsVector()->IsValid()) << name;
    for (const char* name : {"Time", "SpecularPower"})
        EXPECT_TRUE(shared->GetVariableByName(name)->AsScalar()->IsValid()) << name;
    EXPECT_TRUE(shared->GetVariableByName("gNoiseTexture")->AsShaderResource()->IsValid());
    EXPECT_TRUE(shared->GetVariableByName("MeshTextures")->AsShaderResource()->IsValid());
    ID3D10ShaderResourceView* views[5] = {};
    EXPECT_EQ(S_OK, shared->GetVariableByName("MeshTextures")->AsShaderResource()->SetResourceArray(views, 0, 4));
    EXPECT_EQ(E_INVALIDARG,
              shared->GetVariableByName("MeshTextures")->AsShaderResource()->SetResourceArray(views, 0, 5));
}

TEST_F(EffectTest, ThePostEffectFileDeclaresEveryTechniqueAndVariable) {
    fw_Framework::mEffectPool = CreateSharedEffectPool();
    ASSERT_NE(nullptr, fw_Framework::mEffectPool);
    fw_Effect effect("fw_PostEffects.fx", fw_Framework::mEffectPool);
    ASSERT_TRUE(effect.IsValid());
    EXPECT_EQ(SourceRoot() + "/src/shaders/fw_PostEffects.fx", effect.mPath);
    for (const char* name : {"Copy",
                             "BlurHorizontal5Taps",
                             "BlurVertical5Taps",
                             "BrightPass",
                             "BloomBlend",
                             "HighQualityDownScale",
                             "LightByDepth",
                             "Vignette",
                             "VignetteWithOverlay",
                             "VignetteWithFlare",
                             "TriFade",
                             "Albedo",
                             "ExpBlur",
                             "BlurHorizontal",
                             "BlurVertical",
                             "DirectionalBlur",
                             "DOF_HighQualityBlurHorizontal",
                             "DOF_HighQualityBlurVertical",
                             "DOF_BlurHorizontal",
                             "DOF_BlurVertical",
                             "DOF",
                             "RGB_to_KeyLuminance",
                             "ToneMap"}) {
        ID3D10EffectTechnique* t = effect.GetTechnique(name);
        EXPECT_TRUE(t->IsValid()) << name;
        EXPECT_TRUE(t->GetPassByIndex(0)->IsValid()) << name;
    }
    for (const char* name :
         {"texView1", "texView2", "texView3", "texView4", "texVignette", "texColorBufferForVignette", "texOverlay",
          "gFlareTexture1", "gFlareTexture2", "gFlareTexture3", "gFlareTexture4", "gVelocityTex", "gColorTex"})
        EXPECT_TRUE(effect.GetVariable(name)->AsShaderResource()->IsValid()) << name;
    for (const char* name : {"gPixelDimInv", "gColorExponents", "gOverlayUVscale", "gFlareData1", "gFlareData2",
                             "gFlareData3", "gFlareData4", "gFocusMaxZ"})
        EXPECT_TRUE(effect.GetVariable(name)->AsVector()->IsValid()) << name;
    for (const char* name :
         {"gBrightnessCutoff", "gBloomBlendScale", "gFade", "gGlitch", "gChromaDistortion", "gVignetteIntensity",
          "gGrayOut", "gOverlayAlphaScale", "gTriFadeParameter", "gOverlayIndex"})
        EXPECT_TRUE(effect.GetVariable(name)->AsScalar()->IsValid()) << name;
    D3D10_PASS_DESC pass = {};
    effect.GetTechnique("LightByDepth")->GetPassByIndex(0)->GetDesc(&pass);
    EXPECT_NE(nullptr, pass.pIAInputSignature);
}

}  // namespace
