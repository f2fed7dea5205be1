// The spectrum table, the fixed-step rule and the start state of the tetra simulation.
#include <cmath>
#include <fstream>
#include <sstream>

#include "fucrr_support.h"
#include "fw_Effect.h"
#include "fw_Log.h"
#include "fw_Music.h"
#include "platform/crt.h"

namespace fucrrtest {
namespace {

namespace fs = boost::filesystem;

constexpr float kInterval = 0.016666668f;

// Records whose values say where they are: record k holds k + i / 10.
std::vector<FftRecord> CountingRecords(size_t count) {
    std::vector<FftRecord> records(count);
    for (size_t k = 0; k < count; ++k)
        for (int i = 0; i < 8; ++i)
            records[k].values[i] = static_cast<float>(k) + i * 0.1f;
    return records;
}

// The number of 1/120 s steps from `from` to `to`, accumulated in float as the simulation does.
int StepsBetween(float from, float to) {
    int steps = 0;
    float t = from;
    while (double(to) - double(t) > double(FucrrEffect::kStepSeconds)) {
        t = static_cast<float>(double(t) + double(FucrrEffect::kStepSeconds));
        ++steps;
    }
    return steps;
}

class SpectrumTable : public FucrrTest {};

TEST_F(SpectrumTable, WithoutMusicOrCacheHoldsSilenceAndWritesNothing) {
    FucrrEffect effect;
    EXPECT_EQ(14401u, effect.mFftTable.size());
    for (const FftRecord& r : effect.mFftTable)
        for (float v : r.values)
            ASSERT_EQ(0.0f, v);
    EXPECT_FALSE(fs::exists(FucrrEffect::kFftCachePath));
    EXPECT_EQ(kInterval, effect.mRecordInterval);
    EXPECT_EQ(240.0f, effect.mDuration);
}

TEST_F(SpectrumTable, SecondCallDoesNothing) {
    WriteCache(FucrrEffect::kFftCachePath, CountingRecords(14401));
    FucrrEffect effect;
    effect.mRecordInterval = 0.5f;
    effect.mDuration = 3.0f;
    effect.mFftTable[5].values[0] = -1.0f;
    fs::remove(FucrrEffect::kFftCachePath);
    effect.LoadOrComputeFft();
    EXPECT_EQ(0.5f, effect.mRecordInterval);
    EXPECT_EQ(3.0f, effect.mDuration);
    EXPECT_EQ(-1.0f, effect.mFftTable[5].values[0]);
    EXPECT_FALSE(fs::exists(FucrrEffect::kFftCachePath));
}

TEST_F(SpectrumTable, CacheIsTrustedByItsLength) {
    std::vector<FftRecord> records = CountingRecords(14400);
    WriteCache(FucrrEffect::kFftCachePath, records);
    // Five bytes past the last whole record are ignored.
    std::ofstream(FucrrEffect::kFftCachePath, std::ios::binary | std::ios::app) << "12345";
    FucrrEffect effect;
    ASSERT_EQ(14400u, effect.mFftTable.size());
    EXPECT_EQ(0, std::memcmp(records.data(), effect.mFftTable.data(), records.size() * sizeof(FftRecord)));
}

TEST_F(SpectrumTable, ShortCacheIsRejectedAndLeftAloneWithoutMusic) {
    WriteCache(FucrrEffect::kFftCachePath, CountingRecords(14399));
    FucrrEffect effect;
    ASSERT_EQ(14401u, effect.mFftTable.size());
    EXPECT_EQ(0.0f, effect.mFftTable[100].values[0]);
    EXPECT_EQ(14399u * 32u, fs::file_size(FucrrEffect::kFftCachePath));
}

TEST_F(SpectrumTable, ComputedCacheIsWholeAndReadsBackIdentical) {
    if (!StartMusic())
        GTEST_SKIP() << "the audio module is not built";
    // An empty file counts as missing.
    WriteCache(FucrrEffect::kFftCachePath, {});
    std::vector<FftRecord> computed;
    {
        FucrrEffect effect;
        computed = effect.mFftTable;
    }
    StopMusic();
    ASSERT_EQ(14401u, computed.size());
    EXPECT_EQ(460832u, fs::file_size(FucrrEffect::kFftCachePath));
    EXPECT_FALSE(fs::exists(std::string(FucrrEffect::kFftCachePath) + ".tmp"));
    // The music is not silent: the bass bins move.
    float loudest = 0.0f;
    for (const FftRecord& r : computed)
        loudest = std::max(loudest, r.values[0] + r.values[1]);
    EXPECT_GT(loudest, 0.01f);

    const std::vector<FftRecord> file = ReadCache(FucrrEffect::kFftCachePath);
    ASSERT_EQ(computed.size(), file.size());
    EXPECT_EQ(0, std::memcmp(computed.data(), file.data(), file.size() * sizeof(FftRecord)));
    FucrrEffect again;
    ASSERT_EQ(computed.size(), again.mFftTable.size());
    EXPECT_EQ(0, std::memcmp(computed.data(), again.mFftTable.data(), file.size() * sizeof(FftRecord)));
}

TEST_F(SpectrumTable, ShortCacheIsReplacedWhenMusicExists) {
    if (!StartMusic())
        GTEST_SKIP() << "the audio module is not built";
    WriteCache(FucrrEffect::kFftCachePath, CountingRecords(100));
    FucrrEffect effect;
    EXPECT_EQ(14401u, effect.mFftTable.size());
    EXPECT_EQ(460832u, fs::file_size(FucrrEffect::kFftCachePath));
}

TEST_F(SpectrumTable, FailedWriteWarnsKeepsTableAndLeavesNoCache) {
    if (!StartMusic())
        GTEST_SKIP() << "the audio module is not built";
    // The temporary file cannot be created where a folder of its name is.
    fs::create_directory(std::string(FucrrEffect::kFftCachePath) + ".tmp");
    const int32_t warnings = fw_Log::GetWarningCount();
    FucrrEffect effect;
    EXPECT_EQ(14401u, effect.mFftTable.size());
    EXPECT_EQ(warnings + 1, fw_Log::GetWarningCount());
    EXPECT_FALSE(fs::exists(FucrrEffect::kFftCachePath));
}

TEST_F(SpectrumTable, MusicThatDoesNotDecodeIsNotCached) {
    if (!StartMusic())
        GTEST_SKIP() << "the audio module is not built";
    StopMusic();
    FucrrEffect effect;
    for (const std::string& bytes : {std::string(), std::string(6000, 'x')}) {  // empty, damaged
        std::ofstream("bad.mp3", std::ios::binary) << bytes;
        fw_Framework::mMusic = new fw_Music("bad.mp3");
        effect.mFftTable.clear();
        effect.LoadOrComputeFft();
        StopMusic();
        EXPECT_FALSE(fs::exists(FucrrEffect::kFftCachePath)) << bytes.size();
    }
}

class SpectrumSampling : public FucrrTest {
protected:
    void SetUp() override {
        FucrrTest::SetUp();
        WriteCache(FucrrEffect::kFftCachePath, CountingRecords(14401));
        effect = std::make_unique<FucrrEffect>();
    }
    void TearDown() override {
        effect.reset();
        FucrrTest::TearDown();
    }
    std::unique_ptr<FucrrEffect> effect;
};

TEST_F(SpectrumSampling, ZeroAndNegativeAndNaNGiveRecordZero) {
    for (float t : {0.0f, -3.0f, -INFINITY, NAN}) {
        const FftRecord r = effect->SampleFft(t);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(effect->mFftTable[0].values[i], r.values[i]) << t;
    }
}

TEST_F(SpectrumSampling, WholeIntervalsGiveTheirRecord) {
    for (int k : {1, 2, 60, 1000, 7777, 14398}) {
        const FftRecord r = effect->SampleFft(k * kInterval);
        EXPECT_NEAR(k, r.values[0], 2e-3) << k;
        EXPECT_NEAR(k + 0.7f, r.values[7], 2e-3) << k;
    }
}

TEST_F(SpectrumSampling, HalfwayGivesTheMean) {
    for (int k : {0, 3, 600, 14000}) {
        const FftRecord r = effect->SampleFft((k + 0.5f) * kInterval);
        EXPECT_NEAR(k + 0.5f, r.values[0], 2e-3) << k;
    }
}

TEST_F(SpectrumSampling, EndOfDurationIsPulledBackOneInterval) {
    const FftRecord pulled = effect->SampleFft(239.96666f);
    EXPECT_NEAR(14398.0f, pulled.values[0], 2e-2);
    for (float t : {239.98334f, 239.99f, 240.0f, 1.0e9f, INFINITY}) {
        const FftRecord r = effect->SampleFft(t);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(pulled.values[i], r.values[i]) << t;
    }
    // Just below the limit the last pair read is records 14398 and 14399.
    const FftRecord below = effect->SampleFft(std::nextafter(239.98334f, 0.0f));
    EXPECT_GT(below.values[0], 14398.9f);
    EXPECT_LE(below.values[0], 14399.0f);
}

TEST_F(SpectrumSampling, NeverReadsOutsideAShortTable) {
    effect->mFftTable = CountingRecords(3);
    EXPECT_NEAR(2.0f, effect->SampleFft(100.0f).values[0], 1e-6);
    effect->mFftTable.resize(1);
    EXPECT_EQ(0.0f, effect->SampleFft(100.0f).values[0]);
    effect->mFftTable.clear();
    EXPECT_EQ(0.0f, effect->SampleFft(1.0f).values[3]);
}

// ---- the fixed-step rule ---------------------------------------------------------------------

class FixedStep : public FucrrTest {
protected:
    void SetUp() override {
        FucrrTest::SetUp();
        logPath = project->Path("run.log");
        fw_Log::OpenLogFile(logPath);
        effect = std::make_unique<FucrrEffect>();
        tracks.SetConstant("Obj_MainType", 3.0f);
        // A clock not ahead of the simulation re-arms the triggers.
        UpdateAt(*effect, 0.0f);
    }
    void TearDown() override {
        effect.reset();
        fw_Log::OpenLogFile("");
        FucrrTest::TearDown();
    }
    int LogCount(const std::string& text) const {
        std::ifstream in(logPath);
        std::string line;
        int count = 0;
        while (std::getline(in, line))
            count += line.find(text) != std::string::npos;
        return count;
    }
    int Asked(const std::string& name) const {
        return static_cast<int>(std::count(tracks.asked.begin(), tracks.asked.end(), name));
    }
    float ScalarOf(const char* name) const {
        float value = -1.0f;
        effect->mSimEffect->GetVariable(name)->AsScalar()->GetFloat(&value);
        return value;
    }
    std::string logPath;
    std::unique_ptr<FucrrEffect> effect;
};

TEST_F(FixedStep, SameClockTwiceStepsOnce) {
    UpdateAt(*effect, 0.5f);
    const float simulated = SimulationTime;
    const int ring = effect->mRing;
    const int steps = Asked("FFT_Load");
    EXPECT_EQ(StepsBetween(0.0f, 0.5f), steps);
    UpdateAt(*effect, 0.5f);
    EXPECT_EQ(simulated, SimulationTime);
    EXPECT_EQ(ring, effect->mRing);
    EXPECT_EQ(steps, Asked("FFT_Load"));
}

TEST_F(FixedStep, ClockBehindSetsTimeAndRearmsTriggers) {
    tracks.SetConstant("FFT_Reset", 1.0f);
    UpdateAt(*effect, 0.1f);
    UpdateAt(*effect, 0.2f);
    EXPECT_EQ(1, LogCount("Resetting tetras."));
    UpdateAt(*effect, 0.05f);
    EXPECT_EQ(0.05f, SimulationTime);
    UpdateAt(*effect, 0.1f);
    EXPECT_EQ(2, LogCount("Resetting tetras."));
}

TEST_F(FixedStep, TenSecondJumpStepsEveryInterval) {
    UpdateAt(*effect, 10.0f);
    const int expected = StepsBetween(0.0f, 10.0f);
    EXPECT_NEAR(1200, expected, 1);
    EXPECT_EQ(expected, Asked("FFT_Load"));
    EXPECT_LE(10.0f - SimulationTime, FucrrEffect::kStepSeconds);
    // Backwards: no step, the time follows the clock.
    UpdateAt(*effect, 4.0f);
    EXPECT_EQ(expected, Asked("FFT_Load"));
    EXPECT_EQ(4.0f, SimulationTime);
}

TEST_F(FixedStep, FarSeekSimulatesTheLastStepsAndFiresTheSkippedTriggers) {
    // Rows, 17.07 a second: reset at 400, load 2 at 600, save 4 from 1000 on.
    for (auto [track, row, value] : {std::tuple{"FFT_Reset", 0u, 0.0f},
                                     {"FFT_Reset", 400u, 1.0f},
                                     {"FFT_Reset", 410u, 0.0f},
                                     {"FFT_Load", 0u, 0.0f},
                                     {"FFT_Load", 600u, 2.0f},
                                     {"FFT_Load", 610u, 0.0f},
                                     {"FFT_Save", 0u, 0.0f},
                                     {"FFT_Save", 1000u, 4.0f}})
        SetKey(track, row, value);
    UpdateAt(*effect, 100.0f);
    EXPECT_NEAR(FucrrEffect::kMaxCatchUpSteps, Asked("FFT_LookAhead"), 1);
    // The skipped keys took effect in their order; the save held into the simulated steps fired once.
    std::stringstream log;
    log << std::ifstream(logPath).rdbuf();
    EXPECT_LT(log.str().find("Resetting tetras."), log.str().find("Loading fucrr data from scenario 2."));
    EXPECT_EQ(1, LogCount("Loading fucrr data from scenario 2."));
    EXPECT_EQ(1, LogCount("Saving to file: fucrr_4_0_0.dds."));
}

TEST_F(FixedStep, OtherMainTypeKeepsPaceWithoutStepping) {
    for (float type : {0.0f, 2.9f, 4.0f, NAN, 1.0e20f, -1.0e20f}) {
        tracks.SetConstant("Obj_MainType", type);
        const int ring = effect->mRing;
        UpdateAt(*effect, SimulationTime + 1.0f);
        EXPECT_EQ(0, Asked("FFT_Load")) << type;
        EXPECT_EQ(ring, effect->mRing);
    }
}

TEST_F(FixedStep, RingIsBackAfterThreeSteps) {
    const int start = effect->mRing;
    UpdateAt(*effect, 3.5f / 120.0f);
    EXPECT_EQ(3, Asked("FFT_Load"));
    EXPECT_EQ(start, effect->mRing);
    UpdateAt(*effect, 4.5f / 120.0f);
    EXPECT_EQ((start + 1) % 3, effect->mRing);
}

TEST_F(FixedStep, LoadBelowOneDoesNotFireAndRearms) {
    // Rows: 2.0 until row 10, then 0.9 until row 20, then 2.0 again.
    SetKey("FFT_Load", 0, 2.0f);
    SetKey("FFT_Load", 10, 0.9f);
    SetKey("FFT_Load", 20, 2.0f);
    UpdateAt(*effect, 0.5f);  // rows 0 to 8.5
    EXPECT_EQ(1, LogCount("Loading fucrr data from scenario 2."));
    UpdateAt(*effect, 1.0f);  // rows up to 17: 0.9 re-arms without loading
    EXPECT_EQ(1, LogCount("Loading fucrr data from scenario 2."));
    UpdateAt(*effect, 3.0f);  // 2.0 for two seconds: one more load
    EXPECT_EQ(2, LogCount("Loading fucrr data from scenario"));
}

TEST_F(FixedStep, ResetAboveZeroFiresAndSaveFromOne) {
    tracks.SetConstant("FFT_Reset", 0.01f);
    tracks.SetConstant("FFT_Save", 0.99f);
    UpdateAt(*effect, 0.2f);
    EXPECT_EQ(1, LogCount("Resetting tetras."));
    EXPECT_EQ(0, LogCount("Saving to file"));
    tracks.SetConstant("FFT_Save", 1.0f);
    UpdateAt(*effect, 0.4f);
    EXPECT_EQ(6, LogCount("Saving to file"));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_TRUE(fs::exists(project->Path("data/" + FucrrEffect::MatrixFileName(1, i, j))));
}

TEST_F(FixedStep, TrackDefaults) {
    UpdateAt(*effect, 0.02f);
    EXPECT_EQ(0.25f, ScalarOf("gFFTScale"));
    EXPECT_EQ(15.0f, ScalarOf("gBaseSphereRadius"));
    tracks.SetConstant("FFT_Scale", 1.2f);
    tracks.SetConstant("Obj_MainScale", 2.0f);
    UpdateAt(*effect, 0.04f);
    EXPECT_FLOAT_EQ(0.6f, ScalarOf("gFFTScale"));
    EXPECT_EQ(30.0f, ScalarOf("gBaseSphereRadius"));
}

TEST_F(FixedStep, LookAheadSamplesAheadOfTheSimulation) {
    effect->mFftTable = CountingRecords(14401);
    float fft0[4] = {};
    UpdateAt(*effect, 0.02f);  // the step at simulation time 1/120 s
    effect->mSimEffect->GetVariable("gFFT0")->AsVector()->GetFloatVector(fft0);
    EXPECT_NEAR(0.5f, fft0[0], 1e-3);  // halfway to record 1, without look-ahead
    tracks.SetConstant("FFT_LookAhead", 1.0f);
    UpdateAt(*effect, 0.03f);
    effect->mSimEffect->GetVariable("gFFT0")->AsVector()->GetFloatVector(fft0);
    EXPECT_NEAR(61.0f, fft0[0], 1e-2);  // 1 s + 1/60 s ahead
    float fft1[4] = {};
    effect->mSimEffect->GetVariable("gFFT1")->AsVector()->GetFloatVector(fft1);
    EXPECT_NEAR(61.7f, fft1[3], 1e-2);
}

TEST_F(FixedStep, ForceDirectionsAreUnitAndWander) {
    float v0[4] = {}, v1[4] = {};
    UpdateAt(*effect, 0.02f);
    effect->mSimEffect->GetVariable("gForceVector2")->AsVector()->GetFloatVector(v0);
    // At time t with column vectors: (cos ay cos az, ...), angles from the rates of direction 2.
    const float t = SimulationTime - FucrrEffect::kStepSeconds;
    EXPECT_NEAR(std::cos(t * -0.33f) * std::cos(t * 0.31f), v0[0], 1e-5);
    EXPECT_NEAR(1.0f, std::sqrt(v0[0] * v0[0] + v0[1] * v0[1] + v0[2] * v0[2]), 1e-5);
    EXPECT_EQ(0.0f, v0[3]);
    UpdateAt(*effect, 2.0f);
    effect->mSimEffect->GetVariable("gForceVector2")->AsVector()->GetFloatVector(v1);
    const float ax = -0.122f * (SimulationTime - FucrrEffect::kStepSeconds);
    const float ay = -0.33f * (SimulationTime - FucrrEffect::kStepSeconds);
    const float az = 0.31f * (SimulationTime - FucrrEffect::kStepSeconds);
    EXPECT_NEAR(std::sin(ax) * std::sin(az) - std::cos(ax) * std::sin(ay) * std::cos(az), v1[2], 1e-4);
}

// ---- start state -----------------------------------------------------------------------------

class StartState : public FucrrTest {};

TEST_F(StartState, TexelsFollowTheSeededSphere) {
    FucrrEffect effect;
    // The expected centres, drawn from the generator seeded with 394.
    srand(394);
    std::vector<float> centres;
    for (int n = 0; n < FucrrEffect::kTetraCount; ++n) {
        const float a = static_cast<float>(rand() * 6.2831855 / 32767.0);
        const float z = static_cast<float>(rand() * 2.0 / 32767.0 - 1.0);
        const float q = std::sqrt(1.0f - z * z);
        centres.insert(centres.end(), {15.0f * q * std::cos(a), 15.0f * z, 15.0f * q * std::sin(a)});
    }
    for (int set = 0; set < 3; ++set) {
        const std::vector<float> state = ReadState(effect, set);
        for (int n : {0, 1, 179, 180, 12345, 32399}) {
            const float* p = &centres[n * 3];
            const float* c = &state[size_t(n) * 12];
            for (int i = 0; i < 4; ++i)
                for (int k = 0; k < 3; ++k)
                    EXPECT_EQ(effect.mBaseMatrix[i * 4 + k] + p[k], c[i * 3 + k]) << n << " " << i << " " << k;
            EXPECT_NEAR(15.0f, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 1e-3);
        }
    }
}

TEST_F(StartState, GeneratorIsReseededWithAValueDrawnBefore) {
    FucrrEffect effect;
    srand(77);
    const int r = rand();
    srand(r);
    const int expected = rand();
    srand(77);
    effect.ResetTetras();
    EXPECT_EQ(expected, rand());
}

TEST_F(StartState, InverseBaseMatrixAndMeshWeights) {
    FucrrEffect effect;
    // Corner 3 of the reference times the inverse is (0, 0, 0, 1).
    const float* m = effect.mBaseMatrix;
    for (int j = 0; j < 4; ++j) {
        float w = 0.0f;
        for (int i = 0; i < 4; ++i)
            w += m[12 + i] * effect.mInverseBaseMatrix[i * 4 + j];
        EXPECT_NEAR(j == 3 ? 1.0f : 0.0f, w, 1e-5);
    }
    EXPECT_EQ(4, effect.mTrianglesPerInstance);
    EXPECT_EQ(32400, effect.mInstanceCount);
    EXPECT_EQ("fucrr_2_1_0.dds", FucrrEffect::MatrixFileName(2, 1, 0));
    EXPECT_EQ("fucrr_-3_12_1.dds", FucrrEffect::MatrixFileName(-3, 12, 1));
}

TEST_F(StartState, LoadingAgainReplacesEverythingOnce) {
    FucrrEffect effect;
    fw_Texture* first = effect.mMatrixTextures[0];
    effect.LoadResources();
    EXPECT_NE(nullptr, effect.mMatrixTextures[0]);
    EXPECT_NE(nullptr, effect.mVertexBuffer);
    EXPECT_NE(nullptr, effect.mInputLayout);
    (void)first;  // released and deleted: the sanitizer build checks nothing leaks or is freed twice
}

}  // namespace
}  // namespace fucrrtest
