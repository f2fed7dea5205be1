#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

#include "fw_Framework.h"
#include "fw_LibraryLoader.h"
#include "fw_Log.h"
#include "fw_Music.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"
#include "services_child.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

void Print(const char* key, const std::string& value) {
    std::printf("RESULT %s=%s\n", key, value.c_str());
    std::fflush(stdout);
}

std::string Song() {
    return ChildFolder() + "/song.mp3";
}

const std::vector<std::string> kStartUp = {
    "SetConfig(6, 5000)",
    "SetConfig(4, 5000)",
    "SetConfig(5, 5000)",
    "Init(-1, 44100, 0x100, window, null)",
    "StreamCreateFile(1, data, 0, 1000, 0x20000)",
    "StreamCreateFile(1, data, 0, 1000, 0x220000)",
    "GetInfo()",
};

const std::vector<std::string> kShutDown = {"ChannelStop(1)", "StreamFree(1)", "StreamFree(2)", "Free()"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

// The body of every child process; skipped when run as a plain test.
TEST(MusicChild, Scenario) {
    const std::string scenario = ChildScenario();
    if (scenario.empty())
        GTEST_SKIP() << "runs only as a child of the other music tests";
    fw_Log::SetAlertMode(0);
    fw_Framework::mWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000));

    if (scenario == "lifetime") {
        delete new fw_Music(Song());
    } else if (scenario == "playback") {
        fw_Music music(Song());
        Print("latency", std::to_string(music.GetLatency()));
        music.Play(0.0f);
        music.Play(12.5f);
        music.Pause();
        music.SetPosition(3.0f);
        Print("position", std::to_string(music.GetPosition()));
        Print("volume", std::to_string(music.SetVolume(0.5f)));
    } else if (scenario == "spectrum") {
        fw_Music music(Song());
        music.Play(0.0f);
        music.GetFFT(1.0f);
        const std::vector<float> first = music.fft;
        music.Play(7.0f);  // the play stream moves; the spectrum does not
        music.GetFFT(1.0f);
        Print("size", std::to_string(music.fft.size()));
        Print("same", first == music.fft ? "yes" : "no");
        Print("tail", std::to_string(music.fft[200]));
    } else if (scenario == "missing-file") {
        fw_Music music(ChildFolder() + "/absent.mp3");
        Print("stream", std::to_string(music.stream));
        music.GetFFT(0.5f);
        Print("size", std::to_string(music.fft.size()));
        music.Play(0.0f);
    } else if (scenario == "folder-as-file") {
        fw_Music music(ChildFolder());
        Print("stream", std::to_string(music.stream));
    } else if (scenario == "too-large") {
        // Sparse: one byte more than a stream decodes, nothing of it on disk.
        const std::string path = ChildFolder() + "/large.mp3";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool sized = file && ftruncate(fileno(file), platform::audio::kMaxStreamBytes + 1) == 0;
        if (file)
            std::fclose(file);
        Print("sized", sized ? "yes" : "no");
        fw_Music music(path);
        Print("stream", std::to_string(music.stream));
        Print("data", std::to_string(music.fileData.size()));
    } else if (scenario == "sync") {
        fw_Timer clock;
        fw_Framework::mDemoTimer = &clock;
        fw_Framework::mMusic = new fw_Music(Song());
        fw_SyncTimer timer;
        timer.SetRow(256.0f);  // 15.0 seconds
        Print("playing", timer.IsPlaying() ? "yes" : "no");
        timer.Play();
        timer.Pause();
        delete fw_Framework::mMusic;
        fw_Framework::mMusic = nullptr;
        fw_Framework::mDemoTimer = nullptr;
    } else if (scenario == "load-twice") {
        HMODULE first = fw_LibraryCache::Load("bass.dll");
        const std::string name = "bass.dll";  // another string with the same text
        HMODULE second = fw_LibraryCache::Load(name.c_str());
        Print("same", first && first == second ? "yes" : "no");
        Print("entries", std::to_string(fw_LibraryCache::Instance().size()));
        fw_LibraryCache::Unload("not-loaded.dll");
        Print("entries", std::to_string(fw_LibraryCache::Instance().size()));
    }
}

TEST(MusicPlayer, StartUpAndShutDownCallSequence) {
    const ChildRun run = RunChildScenario("lifetime", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.calls, ElementsAreArray(Join({kStartUp, kShutDown})));
}

TEST(MusicPlayer, FailedDefaultDeviceFallsBackToNoOutputSilently) {
    const ChildRun run = RunChildScenario("lifetime", FAKE_BASS_PATH, {"FAKE_BASS_INIT_FAIL=1"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::string> expected = kStartUp;
    expected.insert(expected.begin() + 4, "Init(0, 44100, 0x100, window, null)");
    EXPECT_THAT(run.calls, ElementsAreArray(Join({expected, kShutDown})));
    EXPECT_THAT(run.output, ::testing::Not(HasSubstr("Alert:")));
}

TEST(MusicPlayer, PlayZeroRestartsAndOtherTimesSeek) {
    const ChildRun run = RunChildScenario("playback", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<std::string> playback = {
        "ChannelPlay(1, 1)",  // Play(0): restart, no seek
        "ChannelSeconds2Bytes(1, 12.5000)",
        "ChannelSetPosition(1, 2205000, 0)",
        "ChannelPlay(1, 0)",  // Play(12.5): seek, no restart
        "ChannelPause(1)",
        "ChannelSeconds2Bytes(1, 3.0000)",
        "ChannelSetPosition(1, 529200, 0)",
        "ChannelGetPosition(1, 0)",
        "ChannelBytes2Seconds(1, 529200)",
        "ChannelSetAttribute(1, 2, 0.50)",
    };
    EXPECT_THAT(run.calls, ElementsAreArray(Join({kStartUp, playback, kShutDown})));
    EXPECT_THAT(run.output, HasSubstr("RESULT latency=42\n"));
    EXPECT_THAT(run.output, HasSubstr("RESULT position=3.000000\n"));
    EXPECT_THAT(run.output, HasSubstr("RESULT volume=1\n"));
}

TEST(MusicPlayer, SpectraComeFromTheDecodeStreamAtTheAskedTime) {
    const ChildRun run = RunChildScenario("spectrum", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<std::string> spectrum = {
        "ChannelSeconds2Bytes(2, 1.0000)",
        "ChannelSetPosition(2, 176400, 0)",
        "ChannelGetData(2, 0x80000000)",
    };
    const std::vector<std::string> seek = {
        "ChannelSeconds2Bytes(1, 7.0000)",
        "ChannelSetPosition(1, 1234800, 0)",
        "ChannelPlay(1, 0)",
    };
    EXPECT_THAT(run.calls,
                ElementsAreArray(Join({kStartUp, {"ChannelPlay(1, 1)"}, spectrum, seek, spectrum, kShutDown})));
    EXPECT_THAT(run.output, HasSubstr("RESULT size=256\n"));
    EXPECT_THAT(run.output, HasSubstr("RESULT same=yes\n"));
    EXPECT_THAT(run.output, HasSubstr("RESULT tail=0.000000\n"));  // not written by the library
}

TEST(MusicPlayer, MissingFileGivesStreamZeroAndNoFreeOfIt) {
    const ChildRun run = RunChildScenario("missing-file", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("RESULT stream=0\n"));
    EXPECT_THAT(run.output, HasSubstr("RESULT size=256\n"));
    const std::vector<std::string> expected = {
        "SetConfig(6, 5000)",
        "SetConfig(4, 5000)",
        "SetConfig(5, 5000)",
        "Init(-1, 44100, 0x100, window, null)",
        "GetInfo()",
        "ChannelPlay(0, 1)",  // the show goes on without sound
        "Free()",
    };
    EXPECT_THAT(run.calls, ElementsAreArray(expected));
}

TEST(MusicPlayer, AFolderIsNotReadAsMusic) {
    const ChildRun run = RunChildScenario("folder-as-file", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("RESULT stream=0\n"));
    for (const std::string& call : run.calls)
        EXPECT_THAT(call, ::testing::Not(HasSubstr("StreamCreateFile")));
}

TEST(MusicPlayer, AFileLargerThanAStreamIsRefusedUnreadWithAWarning) {
    const ChildRun run = RunChildScenario("too-large", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("RESULT sized=yes\n"));
    EXPECT_THAT(run.output, HasSubstr("WARNING: The music is not played: "));
    EXPECT_THAT(run.output, HasSubstr("large.mp3 is larger than 268435456 bytes"));
    EXPECT_THAT(run.output, HasSubstr("RESULT stream=0\nRESULT data=0\n"));
    for (const std::string& call : run.calls)
        EXPECT_THAT(call, ::testing::Not(HasSubstr("StreamCreateFile")));
}

TEST(MusicPlayer, SyncTimerSeekMovesTheMusicAndPauseResumeFollow) {
    const ChildRun run = RunChildScenario("sync", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("RESULT playing=no\n"));
    // Row 256 is 15 seconds; SetRow steps the time up to the first float whose row
    // floors to 256, so the seek lands a hair after 15 s.
    ASSERT_GE(run.calls.size(), kStartUp.size() + 4);
    const std::vector<std::string> tail(run.calls.begin() + kStartUp.size(), run.calls.end());
    fw_Timer clock;
    fw_Framework::mDemoTimer = &clock;
    fw_SyncTimer().SetRow(256.0f);
    fw_Framework::mDemoTimer = nullptr;
    const float t = static_cast<float>(clock.GetSeconds());
    EXPECT_NEAR(t, 15.0f, 1e-5f);
    const std::string bytes = "ChannelSetPosition(1, " +
                              std::to_string(static_cast<unsigned long long>(static_cast<double>(t) * 176400.0)) +
                              ", 0)";
    EXPECT_THAT(tail, ElementsAre("ChannelSeconds2Bytes(1, 15.0000)", bytes, "ChannelSeconds2Bytes(1, 15.0000)", bytes,
                                  "ChannelPlay(1, 0)", "ChannelPause(1)", "ChannelStop(1)", "StreamFree(1)",
                                  "StreamFree(2)", "Free()"));
}

TEST(LibraryCache, LoadsALibraryOncePerName) {
    const ChildRun run = RunChildScenario("load-twice", FAKE_BASS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("RESULT same=yes\nRESULT entries=1\nRESULT entries=1\n"));
}

TEST(LibraryCache, AMissingAudioModuleEndsWithExitCode20) {
    const ChildRun run = RunChildScenario("lifetime", "");
    EXPECT_EQ(run.exitCode, 20) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Alert: Could not load bass.dll\n"));
    EXPECT_TRUE(run.calls.empty());
}
