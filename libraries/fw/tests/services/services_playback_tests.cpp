// The music player on the real audio module, playing a generated MP3 through SDL's
// disk audio driver: the music position must follow the demo clock.
#include <gtest/gtest.h>

#include <lame/lame.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include <boost/filesystem.hpp>

#include "fw_Framework.h"
#include "fw_Music.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"

namespace fs = boost::filesystem;

namespace {

// Seconds of a two-tone stereo signal, encoded at 128 kbit/s.
std::vector<unsigned char> EncodeTestMusic(double seconds) {
    const int rate = 44100;
    const int frames = static_cast<int>(seconds * rate);
    std::vector<short> left(frames), right(frames);
    for (int i = 0; i < frames; ++i) {
        left[i] = static_cast<short>(8000.0 * std::sin(2.0 * M_PI * 440.0 * i / rate));
        right[i] = static_cast<short>(8000.0 * std::sin(2.0 * M_PI * 660.0 * i / rate));
    }
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 5);
    EXPECT_GE(lame_init_params(lame), 0);
    std::vector<unsigned char> mp3(static_cast<size_t>(1.25 * frames + 7200));
    int used = lame_encode_buffer(lame, left.data(), right.data(), frames, mp3.data(), static_cast<int>(mp3.size()));
    EXPECT_GE(used, 0);
    used += lame_encode_flush(lame, mp3.data() + used, static_cast<int>(mp3.size()) - used);
    lame_close(lame);
    mp3.resize(static_cast<size_t>(used));
    return mp3;
}

void Wait(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(fs::read_symlink("/proc/self/exe").parent_path() / "bass.so"))
            GTEST_SKIP() << "the audio module is not built";
        folder = fs::temp_directory_path() / fs::unique_path("fw-playback-%%%%-%%%%");
        fs::create_directories(folder);
        const std::vector<unsigned char> mp3 = EncodeTestMusic(8.0);
        std::ofstream((folder / "music.mp3").string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (folder / "heard.raw").c_str(), 1);

        fw_Framework::mDemoTimer = &clock;
        fw_Framework::mMusic = new fw_Music((folder / "music.mp3").string());
        // One audio buffer of the device.
        buffer = fw_Framework::mMusic->info.minbuf / 1000.0;
    }
    void TearDown() override {
        delete fw_Framework::mMusic;
        fw_Framework::mMusic = nullptr;
        fw_Framework::mDemoTimer = nullptr;
        if (!folder.empty())
            fs::remove_all(folder);
    }

    // The music position against the clock, advanced now.
    double Lag() {
        clock.Advance(1.0f);
        return static_cast<double>(fw_Framework::mMusic->GetPosition()) - clock.GetSeconds();
    }

    fs::path folder;
    fw_Timer clock;
    fw_SyncTimer timer;
    double buffer = 0.0;
};

}  // namespace

// The music is heard one output latency after it is mixed, and a channel that starts
// playing is first mixed at the device's next buffer, up to one buffer later: shortly
// after each start, resume and seek the position stands at the clock's time less the
// latency and half a buffer, within one audio buffer. (Over longer stretches the disk
// driver, which sleeps a buffer's time after writing each buffer, falls behind real
// time on a loaded machine; the checks are therefore made 150 ms after each operation.)
TEST_F(PlaybackTest, PositionFollowsTheClockThroughPlayPauseAndSeek) {
    fw_Music& music = *fw_Framework::mMusic;
    ASSERT_NE(music.stream, 0u);
    ASSERT_NE(music.decodeStream, 0u);
    ASSERT_GT(buffer, 0.0);
    ASSERT_LT(buffer, 0.2);
    const double latency = music.GetLatency() / 1000.0;
    // Heard position less where the clock says it should be heard.
    auto offset = [&] { return Lag() + latency + buffer / 2.0; };

    // Start as the run loop does: clock from zero, music from its beginning.
    clock.Restart();
    music.Play(0.0f);
    Wait(150);
    const double started = offset();
    EXPECT_LE(std::fabs(started), buffer) << "after starting";
    EXPECT_GT(music.GetPosition(), 0.08f);

    // Pause both: neither moves.
    timer.Pause();
    clock.Advance(1.0f);
    const double pausedAt = clock.GetSeconds();
    const float heardAtPause = music.GetPosition();
    EXPECT_LE(std::fabs(static_cast<double>(heardAtPause) - (pausedAt - latency - buffer / 2.0)), buffer)
        << "at the pause";
    for (int frame = 0; frame < 20; ++frame) {  // frames go on while paused
        Wait(15);
        clock.Advance(1.0f);
    }
    EXPECT_EQ(music.GetPosition(), heardAtPause);
    EXPECT_EQ(clock.GetSeconds(), pausedAt);

    // Resume: the music continues at the clock's time.
    timer.Play();
    Wait(150);
    const double resumed = offset();
    EXPECT_LE(std::fabs(resumed), buffer) << "after resuming";

    // A seek while paused (row 68, about 4 s): the clock stays paused there, the music
    // is moved there.
    timer.Pause();
    timer.SetRow(68.0f);
    EXPECT_FALSE(timer.IsPlaying());
    EXPECT_NEAR(clock.GetSeconds(), 68.0 / fw_SyncTimer::kRowRate, 1e-6);
    EXPECT_LE(std::fabs(static_cast<double>(music.GetPosition()) - clock.GetSeconds()), buffer) << "after seeking";
    Wait(100);
    clock.Advance(1.0f);
    timer.Play();
    Wait(150);
    const double seeked = offset();
    EXPECT_LE(std::fabs(seeked), buffer) << "playing after the seek";

    // A seek while playing, as the frame loop makes it: SetRow, then Play at once.
    timer.SetRow(34.0f);
    timer.Play();
    Wait(150);
    const double seekedPlaying = offset();
    EXPECT_LE(std::fabs(seekedPlaying), buffer) << "after a seek while playing";
    EXPECT_NEAR(clock.GetSeconds(), 34.0 / fw_SyncTimer::kRowRate + 0.15, 0.1);
    std::printf(
        "offsets (ms): start %.1f, resume %.1f, seek %.1f, seek while playing %.1f; latency %.1f, buffer %.1f\n",
        started * 1000.0, resumed * 1000.0, seeked * 1000.0, seekedPlaying * 1000.0, latency * 1000.0, buffer * 1000.0);

    // The music was played: the device wrote what it heard.
    EXPECT_GT(fs::file_size(folder / "heard.raw"), 44100u * 4u);
}

TEST_F(PlaybackTest, SpectrumAtATimeDoesNotDependOnPlayback) {
    fw_Music& music = *fw_Framework::mMusic;
    music.GetFFT(2.0f);
    const std::vector<float> first = music.fft;
    ASSERT_EQ(first.size(), 256u);
    clock.Restart();
    music.Play(0.0f);
    Wait(200);
    music.GetFFT(2.0f);
    EXPECT_EQ(music.fft, first);
    // A 440 Hz tone dominates its bin (44100 / 256 Hz a bin: bin 2 or 3).
    float peak = 0.0f;
    int peakBin = 0;
    for (int i = 1; i < 128; ++i)
        if (music.fft[i] > peak) {
            peak = music.fft[i];
            peakBin = i;
        }
    EXPECT_TRUE(peakBin == 2 || peakBin == 3 || peakBin == 4) << peakBin;
}
