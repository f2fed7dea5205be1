// The texture table: find-or-load, find-or-create, downsample chains, the shared resources
// of a run and their release.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "fw_Log.h"
#include "fw_PostEffects.h"
#include "platform/d3dx10effect.h"
#include "resources_support.h"

using namespace restest;

namespace {

class TableTest : public ResourceTest {
protected:
    fw_Framework& fw() { return *gFramework; }
    fw_Texture* Entry(const std::string& name) {
        auto it = fw().mTextures.find(name);
        return it == fw().mTextures.end() ? nullptr : it->second;
    }
};

// The level names and sizes of a chain as the table holds them.
std::vector<std::string> Levels(fw_Framework& fw, const std::string& name) {
    std::vector<std::string> out;
    for (int level = 0; level < 64; ++level) {
        const std::string n = level ? name + "_downsample" + std::to_string(level) : name;
        auto it = fw.mTextures.find(n);
        if (it == fw.mTextures.end())
            break;
        out.push_back(std::to_string(it->second->GetWidth()) + "x" + std::to_string(it->second->GetHeight()));
    }
    return out;
}

TEST_F(TableTest, AnImageIsLoadedOnceUnderTheNameAsGiven) {
    WriteImage(project->Path("data/vignette.jpg"), 4, 4, 0xFFFFFFFFu);
    WriteImage(project->Path("data/flipCard1.png"), 2, 2, 0xFF0000FFu);
    fw_Texture* first = fw().FindOrLoadTexture("vignette.jpg");
    project->Write("data/vignette.jpg", "gone");  // a second load would now fail
    const int warnings = fw_Log::GetWarningCount();
    EXPECT_EQ(first, fw().FindOrLoadTexture("vignette.jpg"));
    EXPECT_EQ(warnings, fw_Log::GetWarningCount());
    EXPECT_EQ(1u, fw().mOwnedTextures.size());

    fw_Texture* a = fw().FindOrLoadTexture("./data/flipCard1.png");
    fw_Texture* b = fw().FindOrLoadTexture("flipcard1.png");
    EXPECT_NE(a, b);
    EXPECT_EQ(2u, b->GetWidth());  // the case-insensitive fallback finds the file
    EXPECT_EQ(3u, fw().mTextures.size());
    EXPECT_EQ(3u, fw().mOwnedTextures.size());
}

TEST_F(TableTest, AFrameworkThatIsNotTheGlobalOneFillsItsOwnTable) {
    fw_Framework& global = fw();
    fw_Framework other(fw_Framework::NoStartup{}, "resources_tests");
    gFramework = &global;
    fw_Texture* made = other.FindOrCreateTexture(
        "own", [] { return new fw_Texture(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 1, nullptr); });
    fw_Texture* loaded = other.FindOrLoadTexture("lost.png");
    EXPECT_EQ(made, other.mTextures["own"]);
    EXPECT_EQ(loaded, other.mTextures["lost.png"]);
    EXPECT_EQ(made, other.FindOrCreateTexture("own", nullptr));
    EXPECT_EQ(2u, other.mOwnedTextures.size());
    EXPECT_TRUE(global.mTextures.empty());
    other.ReleaseTextures();
}

TEST_F(TableTest, AFailedImageStaysRegisteredAndIsNotTriedAgain) {
    const int warnings = fw_Log::GetWarningCount();
    fw_Texture* lost = fw().FindOrLoadTexture("lost.png");
    ASSERT_NE(nullptr, lost);
    EXPECT_NE(nullptr, lost->mShaderResourceView);
    const int afterFirst = fw_Log::GetWarningCount();
    EXPECT_GT(afterFirst, warnings);
    EXPECT_EQ(lost, fw().FindOrLoadTexture("lost.png"));
    EXPECT_EQ(afterFirst, fw_Log::GetWarningCount());
}

TEST_F(TableTest, ANameOfARenderTargetGivesTheTargetAndLoadsNoFile) {
    CreateDownsampleChain("r16g16b16a16f_1", kTargetBindFlags, DXGI_FORMAT_R16G16B16A16_FLOAT, 8, 8);
    const int warnings = fw_Log::GetWarningCount();
    fw_Texture* t = fw().FindOrLoadTexture("r16g16b16a16f_1");
    EXPECT_EQ(Entry("r16g16b16a16f_1"), t);
    EXPECT_NE(nullptr, t->mRenderTargetView);
    EXPECT_EQ(warnings, fw_Log::GetWarningCount());
}

TEST_F(TableTest, TheFactoryRunsOnlyOnAMissAndANullResultIsNotRegistered) {
    int calls = 0;
    auto factory = [&] {
        ++calls;
        return NewRenderTexture(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, 64, 32);
    };
    fw_Texture* depth = fw().FindOrCreateTexture("shadowDepth", factory);
    ASSERT_NE(nullptr, depth);
    EXPECT_NE(nullptr, depth->mDepthStencilView);
    EXPECT_EQ(64u, depth->GetWidth());
    EXPECT_EQ(depth, fw().FindOrCreateTexture("shadowDepth", [&] {
        ++calls;
        return NewRenderTexture(D3D10_BIND_RENDER_TARGET, DXGI_FORMAT_R8G8B8A8_UNORM, 2, 2);
    }));
    EXPECT_EQ(1, calls);

    EXPECT_EQ(nullptr, fw().FindOrCreateTexture("nothing", [] { return static_cast<fw_Texture*>(nullptr); }));
    EXPECT_EQ(0u, fw().mTextures.count("nothing"));
    EXPECT_EQ(0u, fw().mOwnedTextures.count(nullptr));
    EXPECT_EQ(nullptr, fw().FindOrCreateTexture("empty", std::function<fw_Texture*()>()));
    EXPECT_EQ(1u, fw().mOwnedTextures.size());
}

TEST_F(TableTest, ChainsHalveDownToOneByOne) {
    CreateDownsampleChain("c", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 1280, 800);
    EXPECT_EQ((std::vector<std::string>{"1280x800", "640x400", "320x200", "160x100", "80x50", "40x25", "20x12", "10x6",
                                        "5x3", "2x1", "1x1"}),
              Levels(fw(), "c"));
    EXPECT_EQ(nullptr, Entry("c_downsample0"));
    EXPECT_EQ(nullptr, Entry("c_downsample11"));
    EXPECT_EQ(20u, Entry("c_downsample6")->GetWidth());
    EXPECT_EQ(12u, Entry("c_downsample6")->GetHeight());
    EXPECT_EQ(kTargetBindFlags, Entry("c_downsample10")->GetDescField(fw_Texture::bindFlags));

    CreateDownsampleChain("half", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 640, 400);
    EXPECT_EQ(10u, Levels(fw(), "half").size());
    CreateDownsampleChain("tall", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 1, 4);
    EXPECT_EQ((std::vector<std::string>{"1x4", "1x2", "1x1"}), Levels(fw(), "tall"));
    CreateDownsampleChain("wide", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 4, 1);
    EXPECT_EQ((std::vector<std::string>{"4x1", "2x1", "1x1"}), Levels(fw(), "wide"));
    CreateDownsampleChain("dot", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 1, 1);
    EXPECT_EQ((std::vector<std::string>{"1x1"}), Levels(fw(), "dot"));
    const size_t before = fw().mTextures.size();
    CreateDownsampleChain("none1", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 0, 8);
    CreateDownsampleChain("none2", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 8, 0);
    CreateDownsampleChain("none3", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, -4, 8);
    EXPECT_EQ(before, fw().mTextures.size());
}

TEST_F(TableTest, ARecreatedChainReplacesEntriesAndTheOldTexturesAreStillReleased) {
    CreateDownsampleChain("c", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 4, 4);
    fw_Texture* old = Entry("c_downsample1");
    CreateDownsampleChain("c", kTargetBindFlags, DXGI_FORMAT_R32_FLOAT, 8, 8);
    EXPECT_NE(old, Entry("c_downsample1"));
    EXPECT_EQ(4u, Entry("c_downsample1")->GetWidth());
    EXPECT_EQ(4u, fw().mTextures.size());
    EXPECT_EQ(7u, fw().mOwnedTextures.size());
    EXPECT_EQ(1u, fw().mOwnedTextures.count(old));
    fw().ReleaseTextures();
    EXPECT_TRUE(fw().mTextures.empty());
    EXPECT_TRUE(fw().mOwnedTextures.empty());
}

class SharedResourcesTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        fw_Framework::mRenderWidth = 1280;
        fw_Framework::mRenderHeight = 800;
        ASSERT_NE(nullptr, getcwd(oldDir, sizeof oldDir));
        ASSERT_EQ(0, chdir(project->Path().c_str()));
    }
    void TearDown() override {
        EXPECT_EQ(0, chdir(oldDir));
        TableTest::TearDown();
    }
    char oldDir[4096] = {};
};

TEST_F(SharedResourcesTest, TheNamedTargetsHaveTheirFormatsAndSizes) {
    fw().LoadSharedResources();
    ASSERT_NE(nullptr, fw_Framework::mEffectPool);
    struct Row {
        const char* name;
        DXGI_FORMAT format;
        uint32_t w, h;
    };
    const Row rows[] = {
        {"r16g16b16a16f_3", DXGI_FORMAT_R16G16B16A16_FLOAT, 1280, 800},
        {"r16g16b16a16f_4", DXGI_FORMAT_R16G16B16A16_FLOAT, 1280, 800},
        {"r16g16b16a16f_5", DXGI_FORMAT_R16G16B16A16_FLOAT, 1280, 800},
        {"r16g16f_1", DXGI_FORMAT_R16G16_FLOAT, 1280, 800},
        {"r32f_2", DXGI_FORMAT_R32_FLOAT, 1280, 800},
        {"r16g16b16a16f_1", DXGI_FORMAT_R16G16B16A16_FLOAT, 1280, 800},
        {"r16g16b16a16f_1_downsample6", DXGI_FORMAT_R16G16B16A16_FLOAT, 20, 12},
        {"r16g16b16a16f_2", DXGI_FORMAT_R16G16B16A16_FLOAT, 1280, 800},
        {"r16g16b16a16f_2_downsample3", DXGI_FORMAT_R16G16B16A16_FLOAT, 160, 100},
        {"r32f_1", DXGI_FORMAT_R32_FLOAT, 1280, 800},
        {"r32f_1_downsample10", DXGI_FORMAT_R32_FLOAT, 1, 1},
        {"r8g8b8a8_1", DXGI_FORMAT_R8G8B8A8_UNORM, 1280, 800},
        {"r8g8b8a8_2", DXGI_FORMAT_R8G8B8A8_UNORM, 1280, 800},
        {"r8g8b8a8_3", DXGI_FORMAT_R8G8B8A8_UNORM, 1280, 800},
        {"r8g8b8a8_4", DXGI_FORMAT_R8G8B8A8_UNORM, 1280, 800},
        {"backbuffer", DXGI_FORMAT_R8G8B8A8_UNORM, 1280, 800},
    };
    for (const Row& row : rows) {
        fw_Texture* t = Entry(row.name);
        ASSERT_NE(nullptr, t) << row.name;
        EXPECT_EQ(uint32_t(row.format), t->GetFormat()) << row.name;
        EXPECT_EQ(row.w, t->GetWidth()) << row.name;
        EXPECT_EQ(row.h, t->GetHeight()) << row.name;
        EXPECT_EQ(kTargetBindFlags, t->GetDescField(fw_Texture::bindFlags)) << row.name;
        EXPECT_NE(nullptr, t->mRenderTargetView) << row.name;
        EXPECT_NE(nullptr, t->mShaderResourceView) << row.name;
    }
    const std::vector<std::string> levels = {"1280x800", "640x400", "320x200", "160x100", "80x50", "40x25",
                                             "20x12",    "10x6",    "5x3",     "2x1",     "1x1"};
    for (const char* chain : {"r16g16b16a16f_1", "r16g16b16a16f_2", "r32f_1"}) {
        EXPECT_EQ(levels, Levels(fw(), chain)) << chain;
        const uint32_t format = Entry(chain)->GetFormat();
        for (int level = 1; level <= 10; ++level) {
            fw_Texture* t = Entry(std::string(chain) + "_downsample" + std::to_string(level));
            ASSERT_NE(nullptr, t);
            EXPECT_EQ(format, t->GetFormat()) << chain << level;
            EXPECT_NE(nullptr, t->mRenderTargetView) << chain << level;
            EXPECT_NE(nullptr, t->mShaderResourceView) << chain << level;
        }
    }
    EXPECT_EQ(nullptr, Entry("realBackbuffer"));  // headless: no swap chain to wrap

    fw_Texture* depth = Entry("d32f_backbuffer");
    ASSERT_NE(nullptr, depth);
    EXPECT_EQ(uint32_t(DXGI_FORMAT_D32_FLOAT), depth->GetFormat());
    EXPECT_EQ(1280u, depth->GetWidth());
    EXPECT_EQ(1u, depth->GetDescField(fw_Texture::mips));
    EXPECT_EQ(1u, depth->GetDescField(fw_Texture::sampleDescCount));
    EXPECT_NE(nullptr, depth->mDepthStencilView);
    EXPECT_EQ(nullptr, depth->mShaderResourceView);

    fw_Texture* noise = Entry("noise.dds");
    ASSERT_NE(nullptr, noise);
    ASSERT_NE(nullptr, noise->mTexture3D);
    EXPECT_EQ(128u, noise->GetDepth());
    EXPECT_EQ(uint32_t(DXGI_FORMAT_R8_UNORM), noise->GetFormat());
    EXPECT_EQ(D3D10_BIND_SHADER_RESOURCE, noise->GetDescField(fw_Texture::bindFlags));
    // 5 single targets, 3 x 11 chain levels, 4 more, backbuffer, depth, noise.
    EXPECT_EQ(5u + 33u + 4u + 3u, fw().mTextures.size());
    EXPECT_EQ(fw().mTextures.size(), fw().mOwnedTextures.size());

    ID3D10ShaderResourceView* bound = nullptr;
    fw_Framework::mEffectPool->AsEffect()->GetVariableByName("gNoiseTexture")->AsShaderResource()->GetResource(&bound);
    EXPECT_EQ(noise->mShaderResourceView, bound);
    if (bound)
        bound->Release();

    for (void* handle :
         {static_cast<void*>(fw().mWorldVar), static_cast<void*>(fw().mViewVar),
          static_cast<void*>(fw().mViewProjectionVar), static_cast<void*>(fw().mWorldBackInTimeVar),
          static_cast<void*>(fw().mViewBackInTimeVar), static_cast<void*>(fw().mViewProjectionBackInTimeVar),
          static_cast<void*>(fw().mViewInverseVar), static_cast<void*>(fw().mLightViewProjectionVar)})
        EXPECT_TRUE(static_cast<ID3D10EffectMatrixVariable*>(handle)->IsValid());
    for (ID3D10EffectVectorVariable* v :
         {fw().mEyePositionWorldVar, fw().mEyePositionLocalVar, fw().mStereoConstantsVar, fw().mNearXYZFarZVar,
          fw().mRenderDimVar, fw().mLightPositionWorldVar, fw().mAmbientVar, fw().mDiffuseVar, fw().mSpecularVar})
        EXPECT_TRUE(v->IsValid());
    EXPECT_TRUE(fw().mTimeVar->IsValid());
    EXPECT_TRUE(fw().mSpecularPowerVar->IsValid());

    fw().ReleaseSharedResources();
    EXPECT_TRUE(fw().mTextures.empty());
    EXPECT_TRUE(fw().mOwnedTextures.empty());
    EXPECT_EQ(nullptr, fw_Framework::mEffectPool);
    EXPECT_EQ(nullptr, fw().mTimeVar);
}

TEST_F(SharedResourcesTest, TheNoiseVolumeReadsAtMostItsSizeAndLeavesTheRestZero) {
    std::string noise(2097152 + 1000, '\x11');
    noise[0] = '\x42';
    noise[2097151] = '\x43';
    project->Write("data/noise.bin", noise);
    fw().LoadSharedResources();
    fw_Texture* volume = Entry("noise.dds");
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ(0x42, ReadVolumeSlice(volume->mTexture3D, 0)[0]);
    EXPECT_EQ(0x43, ReadVolumeSlice(volume->mTexture3D, 127).back());
    fw().ReleaseSharedResources();

    project->Write("data/noise.bin", std::string(128 * 128 + 5, '\x7f'));
    fw().LoadSharedResources();
    volume = Entry("noise.dds");
    const std::vector<uint8_t> slice0 = ReadVolumeSlice(volume->mTexture3D, 0);
    const std::vector<uint8_t> slice1 = ReadVolumeSlice(volume->mTexture3D, 1);
    EXPECT_EQ(0x7f, slice0.back());
    EXPECT_EQ(0x7f, slice1[4]);
    EXPECT_EQ(0x00, slice1[5]);
    EXPECT_EQ(0x00, ReadVolumeSlice(volume->mTexture3D, 64)[100]);
}

TEST_F(SharedResourcesTest, ANoiseVolumeThatIsNoRegularFileIsReportedAndLeftZero) {
    project->Write("data/keep.txt", "");
    const std::string noise = project->Path("data/noise.bin");
    for (const std::string kind : {"pipe", "device"}) {
        std::remove(noise.c_str());
        ASSERT_EQ(0, kind == "pipe" ? ::mkfifo(noise.c_str(), 0600) : ::symlink("/dev/zero", noise.c_str()));
        const int warnings = fw_Log::GetWarningCount();
        testing::internal::CaptureStdout();
        fw().LoadSharedResources();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(warnings + 1, fw_Log::GetWarningCount()) << kind;
        EXPECT_NE(std::string::npos, out.find("data/noise.bin is not a regular file")) << out;
        fw_Texture* volume = Entry("noise.dds");
        ASSERT_NE(nullptr, volume);
        const std::vector<uint8_t> slice = ReadVolumeSlice(volume->mTexture3D, 0);
        EXPECT_EQ(0, *std::max_element(slice.begin(), slice.end())) << kind;
        fw().ReleaseSharedResources();
    }
}

TEST_F(SharedResourcesTest, PostEffectsLoadWithTheSharedResourcesAndReleaseFirst) {
    fw_PostEffects post;
    fw_Framework::mPostEffects = &post;
    fw().LoadSharedResources();
    EXPECT_TRUE(post.IsLoaded());
    EXPECT_NE(nullptr, post.GetQuad());
    EXPECT_NE(nullptr, Entry("vignette.jpg"));  // the error image when the project has none
    fw().ReleasePostEffects();
    EXPECT_FALSE(post.IsLoaded());
    EXPECT_EQ(nullptr, post.GetQuad());
    fw().ReleaseSharedResources();
    fw_Framework::mPostEffects = nullptr;
}

// A swap chain whose buffer 0 is a texture of the test's size.
class FakeSwapChain final : public IDXGISwapChain {
public:
    FakeSwapChain(ID3D10Device* device, UINT w, UINT h) {
        const D3D10_TEXTURE2D_DESC desc = TextureDesc(w, h, DXGI_FORMAT_R8G8B8A8_UNORM, kTargetBindFlags);
        device->CreateTexture2D(&desc, nullptr, &buffer);
    }
    ~FakeSwapChain() {
        if (buffer)
            buffer->Release();
    }
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetParent(REFIID, void**) override { return E_NOTIMPL; }
    HRESULT GetDevice(REFIID, void**) override { return E_NOTIMPL; }
    HRESULT Present(UINT, UINT) override { return S_OK; }
    HRESULT GetBuffer(UINT index, REFIID, void** surface) override {
        if (index != 0 || !buffer)
            return E_FAIL;
        buffer->AddRef();
        *surface = buffer;
        return S_OK;
    }
    HRESULT SetFullscreenState(BOOL, IDXGIOutput*) override { return S_OK; }
    HRESULT GetFullscreenState(BOOL*, IDXGIOutput**) override { return E_NOTIMPL; }
    HRESULT GetDesc(DXGI_SWAP_CHAIN_DESC*) override { return E_NOTIMPL; }
    HRESULT ResizeBuffers(UINT, UINT, UINT, DXGI_FORMAT, UINT) override { return E_NOTIMPL; }
    ID3D10Texture2D* buffer = nullptr;
};

TEST_F(SharedResourcesTest, ASwapChainOfTheRenderSizeIsTheBackbufferItself) {
    FakeSwapChain chain(device, 1280, 800);
    fw_Framework::mSwapChain = &chain;
    fw().LoadSharedResources();
    fw_Framework::mSwapChain = nullptr;
    ASSERT_NE(nullptr, fw_Framework::mSwapChainTexture);
    EXPECT_EQ(chain.buffer, fw_Framework::mSwapChainTexture->mTexture2D);
    EXPECT_EQ(fw_Framework::mSwapChainTexture, Entry("backbuffer"));
    EXPECT_EQ(nullptr, Entry("realBackbuffer"));
    EXPECT_NE(nullptr, fw_Framework::mSwapChainTexture->mRenderTargetView);
    fw().ReleaseSharedResources();
    EXPECT_EQ(nullptr, fw_Framework::mSwapChainTexture);
}

TEST_F(SharedResourcesTest, AnOutputOfAnotherSizeGetsARenderSizeBackbuffer) {
    FakeSwapChain chain(device, 1920, 1200);
    fw_Framework::mSwapChain = &chain;
    const std::string logPath = project->Path("load.log");
    fw_Log::OpenLogFile(logPath);
    fw().LoadSharedResources();
    fw_Log::OpenLogFile("");
    fw_Framework::mSwapChain = nullptr;
    ASSERT_NE(nullptr, fw_Framework::mSwapChainTexture);
    EXPECT_EQ(fw_Framework::mSwapChainTexture, Entry("realBackbuffer"));
    EXPECT_EQ(1920u, Entry("realBackbuffer")->GetWidth());
    fw_Texture* back = Entry("backbuffer");
    ASSERT_NE(nullptr, back);
    EXPECT_NE(fw_Framework::mSwapChainTexture, back);
    EXPECT_EQ(1280u, back->GetWidth());
    EXPECT_EQ(800u, back->GetHeight());
    EXPECT_EQ(uint32_t(DXGI_FORMAT_R8G8B8A8_UNORM), back->GetFormat());
    std::ifstream in(logPath);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, log.find("LoadResources: Creating extra backbuffer of dimensions (1280, 800)."))
        << log;
}

TEST_F(SharedResourcesTest, WithoutARequestPickDepthDoesNothing) {
    fw().LoadSharedResources();
    const size_t count = fw().mTextures.size();
    fw_Framework::mPickRequest = false;
    fw().PickDepth();
    EXPECT_EQ(count, fw().mTextures.size());

    // A request outside the buffer is bounded and then cleared; no scene, no camera move.
    Entry("d32f_backbuffer")->ClearDepth(0.5f);
    fw_Framework::mPickRequest = true;
    fw_Framework::mPickX = 100000;
    fw_Framework::mPickY = -5;
    fw().PickDepth();
    EXPECT_FALSE(fw_Framework::mPickRequest);
}

}  // namespace
