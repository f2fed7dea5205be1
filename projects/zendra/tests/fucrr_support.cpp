#include "fucrr_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fw_Effect.h"
#include "fw_Music.h"
#include "platform/crt.h"

namespace fucrrtest {

namespace fs = boost::filesystem;

bool StartMusic() {
    if (!fs::exists(fs::read_symlink("/proc/self/exe").parent_path() / "bass.so"))
        return false;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!fw_Framework::mMusic)
        fw_Framework::mMusic = new fw_Music(std::string(ZENDRA_DATA_DIR) + "/demo.mp3");
    return fw_Framework::mMusic->decodeStream != 0;
}

void StopMusic() {
    delete fw_Framework::mMusic;
    fw_Framework::mMusic = nullptr;
}

const std::vector<FftRecord>& MusicTable() {
    static std::vector<FftRecord> table;
    if (table.empty() && StartMusic()) {
        // Computed by a whole effect object in the current tree; the cache is removed again.
        std::remove(FucrrEffect::kFftCachePath);
        FucrrEffect effect;
        table = effect.mFftTable;
        std::remove(FucrrEffect::kFftCachePath);
    }
    StopMusic();
    return table;
}

void WriteCache(const std::string& path, const std::vector<FftRecord>& records) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    if (!records.empty())
        std::fwrite(records.data(), sizeof(FftRecord), records.size(), file);
    std::fclose(file);
}

std::vector<FftRecord> ReadCache(const std::string& path) {
    std::vector<FftRecord> records;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return records;
    FftRecord record;
    while (std::fread(&record, sizeof record, 1, file) == 1)
        records.push_back(record);
    std::fclose(file);
    return records;
}

void FucrrTest::SetUp() {
    ResourceTest::SetUp();
    // The production's shaders, a data folder of links.
    const fs::path shaders = project->root / "src" / "shaders";
    fs::remove_all(shaders);
    fs::create_directory_symlink(fs::path(ZENDRA_PROJECT_DIR) / "src" / "shaders", shaders);
    for (const char* name : {"fucrr.obj", "fucrr.mtl", "350.dds", "missing.png"})
        LinkData(name);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            LinkData(FucrrEffect::MatrixFileName(2, i, j));
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    previousDirectory = cwd;
    ASSERT_EQ(0, chdir(project->Path().c_str()));

    fw_Framework::mEffectPool = CreateSharedEffectPool();
    ASSERT_NE(nullptr, fw_Framework::mEffectPool);
    fw_Framework::mSyncDevice = &tracks;
    clock.seconds = 0.0;
    fw_Framework::mDemoTimer = &clock;
    SimulationTime = 0.0f;
    srand(1);
}

void FucrrTest::TearDown() {
    StopMusic();
    fw_Framework::mDemoTimer = nullptr;
    SimulationTime = 0.0f;
    if (!previousDirectory.empty()) {
        EXPECT_EQ(0, chdir(previousDirectory.c_str()));
    }
    ResourceTest::TearDown();
}

void FucrrTest::LinkData(const std::string& name) const {
    const fs::path target = fs::path(ZENDRA_DATA_DIR) / name;
    if (fs::exists(target))
        fs::create_symlink(target, project->root / "data" / name);
}

void FucrrTest::UpdateAt(FucrrEffect& effect, float seconds) {
    clock.seconds = seconds;
    effect.Update();
}

void FucrrTest::SetKey(const std::string& track, uint32_t row, float value) {
    auto& slot = tracks.tracks[track];
    if (!slot)
        slot = std::make_unique<sync::Track>(track);
    sync::TrackKey key;
    key.value = value;
    slot->SetKey(row, key);
}

std::vector<float> FucrrTest::ReadState(const FucrrEffect& effect, int set) const {
    std::vector<float> corners(size_t(FucrrEffect::kTetraCount) * 12, 0.0f);
    restest::Picture t[3];
    for (int i = 0; i < 3; ++i)
        t[i] = restest::ReadBack(effect.mMatrixTextures[3 * set + i]->mTexture2D);
    for (int n = 0; n < FucrrEffect::kTetraCount; ++n) {
        const uint32_t x = n % FucrrEffect::kGridSize, y = n / FucrrEffect::kGridSize;
        float* c = &corners[size_t(n) * 12];
        for (int i = 0; i < 3; ++i) {
            const float* texel = t[i].At(x, y);
            c[i * 3 + 0] = texel[0];
            c[i * 3 + 1] = texel[1];
            c[i * 3 + 2] = texel[2];
            c[9 + i] = texel[3];
        }
    }
    return corners;
}

}  // namespace fucrrtest
