// Playing streams: the device's output, play positions against the wall clock, pause,
// seek and restart, the "no sound" fallback and concurrent use.
#include <platform/audio.h>

#include "test_signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

using namespace audio_test;
using namespace std::chrono_literals;

namespace {

double Seconds(HSTREAM h) {
    return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
}

double Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Owns the output device: the real default device under the given SDL driver, or the
// "no sound" device.
class Device {
public:
    explicit Device(const char* driver, const std::string& diskFile = "") {
        if (driver != nullptr) {
            setenv("SDL_AUDIODRIVER", driver, 1);
            if (!diskFile.empty()) {
                setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
            }
            ok = BASS_Init(-1, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr) != FALSE;
            pacedBySleeps = true;
        } else {
            ok = BASS_Init(0, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr) != FALSE;
        }
        BASS_INFO info{};
        if (ok && BASS_GetInfo(&info)) {
            latency = info.latency / 1000.0;
            buffer = info.minbuf / 1000.0;
        }
    }
    ~Device() {
        BASS_Free();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }

    bool ok = false;
    double latency = 0.0;  // seconds, as reported
    double buffer = 0.0;   // seconds of one mixed buffer
    bool pacedBySleeps = false;
};

// A playing channel is heard 'latency' after it is mixed, and mixing starts at the next
// buffer: the position lags the wall clock (base + seconds since t0) by the latency plus
// up to one buffer, never less than the latency (a few ms for a device clock that runs a
// little fast). A reading may lag more when the machine stalls the device thread, so the
// best of a few readings counts for the lag; every reading counts for the lead. SDL's disk
// and dummy drivers pace themselves by sleeping after each buffer and fall behind the wall
// clock on a busy machine: for them the lag may also grow by a tenth of the time played.
void ExpectHeard(const Device& device, HSTREAM h, double base, std::chrono::steady_clock::time_point t0,
                 const char* what, int readings = 5) {
    double bestLag = 1e9;
    for (int i = 0; i < readings; ++i) {
        if (i > 0) {
            std::this_thread::sleep_for(3ms);
        }
        const double before = base + Since(t0) - device.latency;
        const double heard = Seconds(h);
        const double after = base + Since(t0) - device.latency;
        EXPECT_LE(heard, std::max(base, after) + 0.006) << what;
        bestLag = std::min(bestLag, before - heard);
    }
    const double drift = device.pacedBySleeps ? 0.1 * Since(t0) : 0.0;
    EXPECT_LE(bestLag, device.buffer + 0.01 + drift) << what;
}

// Play, pause, resume, seek and restart, each position compared with the wall clock.
void CheckPositionsFollowTheClock(const Device& device, int rate = kRate) {
    ASSERT_GT(device.buffer, 0.0);
    const double slack = device.buffer + 0.015;
    const std::vector<uint8_t> mp3 = EncodeMp3(Sine(440.0, 0.3, 4.0, 2, rate), 128);
    const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(Seconds(h), 0.0);

    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(60ms);
        ExpectHeard(device, h, 0.0, t0, "while playing");
    }

    // Pausing keeps the position heard at that moment.
    const double lastHeard = Seconds(h);
    ASSERT_TRUE(BASS_ChannelPause(h));
    const double paused = Seconds(h);
    EXPECT_GE(paused, lastHeard);
    EXPECT_LE(paused, Since(t0) - device.latency + 0.006);
    EXPECT_FALSE(BASS_ChannelPause(h));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(Seconds(h), paused);

    // Resuming continues where the pause was heard.
    t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_EQ(Seconds(h), paused);
    std::this_thread::sleep_for(250ms);
    ExpectHeard(device, h, paused, t0, "after resuming");

    // A seek while playing is heard from the new position on.
    t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, 2.5), BASS_POS_BYTE));
    EXPECT_EQ(Seconds(h), 2.5);
    std::this_thread::sleep_for(250ms);
    ExpectHeard(device, h, 2.5, t0, "after a seek");
    // Playing again without restart changes nothing.
    const double before = Seconds(h);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_NEAR(Seconds(h), before, slack);

    // Restart goes back to the beginning.
    t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
    EXPECT_EQ(Seconds(h), 0.0);
    std::this_thread::sleep_for(200ms);
    ExpectHeard(device, h, 0.0, t0, "after a restart");

    // Stop keeps the position heard; a seek while stopped moves it.
    ASSERT_TRUE(BASS_ChannelStop(h));
    const double stopped = Seconds(h);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Seconds(h), stopped);
    EXPECT_FALSE(BASS_ChannelPause(h));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, 1.0), BASS_POS_BYTE));
    EXPECT_EQ(Seconds(h), 1.0);
    EXPECT_TRUE(BASS_StreamFree(h));
}

std::vector<float> ReadFloats(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

}  // namespace

TEST(NoSoundDevice, PositionsFollowTheClock) {
    Device device(nullptr);
    ASSERT_TRUE(device.ok);
    EXPECT_EQ(device.latency, 0.0);
    CheckPositionsFollowTheClock(device);
}

TEST(DiskDevice, PositionsFollowTheClock) {
    const std::string out = TempPath("audio-disk-clock") + ".raw";
    {
        Device device("disk", out);
        ASSERT_TRUE(device.ok) << BASS_ErrorGetCode();
        EXPECT_GT(device.latency, 0.0);
        CheckPositionsFollowTheClock(device);
    }
    std::remove(out.c_str());
}

TEST(DiskDevice, ResampledStreamKeepsItsOwnRate) {
    const std::string out = TempPath("audio-disk-rate") + ".raw";
    {
        Device device("disk", out);
        ASSERT_TRUE(device.ok) << BASS_ErrorGetCode();
        CheckPositionsFollowTheClock(device, 48000);
        // A 1 kHz tone at 48 kHz comes out of the 44.1 kHz device at 1 kHz.
        const std::vector<uint8_t> mp3 = EncodeMp3(Sine(1000.0, 0.5, 1.0, 2, 48000));
        const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
        ASSERT_NE(h, 0u);
        EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1.0), 192000u);
        ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
        std::this_thread::sleep_for(500ms);
    }
    const std::vector<float> output = ReadFloats(out);
    std::remove(out.c_str());
    // The last 0.3 s of output hold the tone.
    ASSERT_GT(output.size(), 2u * 44100u);
    const size_t frames = 13230;
    const size_t from = output.size() / 2 - frames - 2048;
    int crossings = 0;
    for (size_t f = from + 1; f < from + frames; ++f) {
        crossings += (output[(f - 1) * 2] < 0.0f) != (output[f * 2] < 0.0f);
    }
    EXPECT_NEAR(crossings, 600, 6);
}

TEST(DummyDevice, PositionsFollowTheClock) {
    Device device("dummy");
    ASSERT_TRUE(device.ok) << BASS_ErrorGetCode();
    CheckPositionsFollowTheClock(device);
}

TEST(DiskDevice, OutputHoldsTheStreamsSamples) {
    const std::string out = TempPath("audio-disk-output") + ".raw";
    const Sound sound = Mix(Sine(330.0, 0.3, 3.0), Clicks(0.2, 3.0));
    const std::vector<uint8_t> mp3 = EncodeMp3(sound);
    std::vector<float> reference;
    size_t startFrame = 0;
    double pausedAt = 0.0;
    double latency = 0.0;
    {
        Device device("disk", out);
        ASSERT_TRUE(device.ok) << BASS_ErrorGetCode();
        latency = device.latency;
        ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 5000));
        const HSTREAM decode =
            BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN | BASS_STREAM_DECODE);
        ASSERT_NE(decode, 0u);
        reference.resize(sound.samples.size());
        ASSERT_EQ(
            BASS_ChannelGetData(decode, reference.data(), static_cast<DWORD>(reference.size() * 4) | BASS_DATA_FLOAT),
            reference.size() * 4);

        const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
        ASSERT_NE(h, 0u);
        ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.8f));
        const QWORD start = BASS_ChannelSeconds2Bytes(h, 0.5);
        startFrame = start / 4;
        ASSERT_TRUE(BASS_ChannelSetPosition(h, start, BASS_POS_BYTE));
        ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
        std::this_thread::sleep_for(400ms);
        ASSERT_TRUE(BASS_ChannelPause(h));
        pausedAt = Seconds(h);
        std::this_thread::sleep_for(100ms);
    }
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10000);
    const std::vector<float> output = ReadFloats(out);
    std::remove(out.c_str());

    // The stream starts at a buffer boundary, with silence before it.
    const float gain = 0.8f * 0.5f;
    auto matches = [&](size_t outFrame, size_t frames) {
        for (size_t i = 0; i < frames * 2; ++i) {
            if (std::abs(output[outFrame * 2 + i] - reference[startFrame * 2 + i] * gain) > 1e-6f) {
                return false;
            }
        }
        return true;
    };
    size_t first = output.size();
    for (size_t f = 0; f + 2048 < output.size() / 2; ++f) {
        if (output[f * 2] != 0.0f || output[f * 2 + 1] != 0.0f) {
            first = f;
            break;
        }
    }
    ASSERT_LT(first, output.size());
    // The first samples of the stream may be exact zeros: look a little before.
    size_t found = output.size();
    for (size_t f = first >= 64 ? first - 64 : 0; f <= first; ++f) {
        if (matches(f, 256)) {
            found = f;
            break;
        }
    }
    ASSERT_LT(found, output.size()) << "the stream's samples are not in the output";
    // Everything played matches sample for sample, then silence follows the pause.
    size_t played = 0;
    while (found + played < output.size() / 2 && startFrame + played < reference.size() / 2 &&
           std::abs(output[(found + played) * 2] - reference[(startFrame + played) * 2] * gain) <= 1e-6f &&
           std::abs(output[(found + played) * 2 + 1] - reference[(startFrame + played) * 2 + 1] * gain) <= 1e-6f) {
        ++played;
    }
    const double playedSeconds = static_cast<double>(played) / 44100.0;
    const double heardSeconds = pausedAt - 0.5;
    // What was mixed is what was heard at the pause plus at most the latency and a buffer.
    EXPECT_GE(playedSeconds + 0.001, heardSeconds);
    EXPECT_LE(playedSeconds, heardSeconds + latency + 0.03);
    EXPECT_GT(heardSeconds, 0.3);
    for (size_t i = (found + played) * 2; i < output.size(); ++i) {
        ASSERT_EQ(output[i], 0.0f) << "sound after the pause at frame " << i / 2;
    }
}

TEST(DiskDevice, StreamEndsAtItsLength) {
    const std::string out = TempPath("audio-disk-end") + ".raw";
    {
        Device device("disk", out);
        ASSERT_TRUE(device.ok);
        const std::vector<uint8_t> mp3 = EncodeMp3(Sine(440.0, 0.3, 0.3));
        const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
        ASSERT_NE(h, 0u);
        ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
        std::this_thread::sleep_for(600ms);
        EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), BASS_ChannelSeconds2Bytes(h, 0.3));
        EXPECT_FALSE(BASS_ChannelPause(h));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
        // Restart plays it again.
        ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
        std::this_thread::sleep_for(100ms);
        EXPECT_LT(Seconds(h), 0.2);
        EXPECT_TRUE(BASS_ChannelPause(h));
    }
    std::remove(out.c_str());
}

TEST(NoSoundDevice, SpectraOfTheDecodeStreamLeaveThePlayStreamAlone) {
    Device device(nullptr);
    ASSERT_TRUE(device.ok);
    const std::vector<uint8_t> mp3 = EncodeMp3(Mix(Sine(20 * 44100.0 / 256.0, 0.3, 3.0), Clicks(0.25, 3.0)), 128);
    const HSTREAM play = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
    const HSTREAM decode =
        BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN | BASS_STREAM_DECODE);
    ASSERT_NE(play, 0u);
    ASSERT_NE(decode, 0u);
    ASSERT_TRUE(BASS_ChannelSetPosition(play, BASS_ChannelSeconds2Bytes(play, 1.0), BASS_POS_BYTE));
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(play, FALSE));
    std::vector<float> first(256), again(256);
    for (int i = 0; i < 20; ++i) {
        const QWORD at = BASS_ChannelSeconds2Bytes(decode, 0.1 * i);
        ASSERT_TRUE(BASS_ChannelSetPosition(decode, at, BASS_POS_BYTE));
        ASSERT_EQ(BASS_ChannelGetData(decode, first.data(), BASS_DATA_FFT256), 1024u);
        std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(BASS_ChannelSetPosition(decode, at, BASS_POS_BYTE));
        ASSERT_EQ(BASS_ChannelGetData(decode, again.data(), BASS_DATA_FFT256), 1024u);
        EXPECT_EQ(first, again) << "at " << 0.1 * i << " s";
    }
    ExpectHeard(device, play, 1.0, t0, "while the decode stream seeks");
}

TEST(Fallback, NoDeviceFallsBackToNoSound) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(BASS_Init(-1, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_TRUE(BASS_Init(0, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr));
    const std::vector<uint8_t> mp3 = EncodeMp3(Sine(440.0, 0.3, 1.0));
    const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
    std::this_thread::sleep_for(200ms);
    EXPECT_GT(Seconds(h), 0.1);
    EXPECT_TRUE(BASS_Free());
}

TEST(Concurrency, CallsWhileTheDevicePlays) {
    const std::string out = TempPath("audio-disk-threads") + ".raw";
    {
        Device device("disk", out);
        ASSERT_TRUE(device.ok);
        const std::vector<uint8_t> mp3 = EncodeMp3(Mix(Sine(440.0, 0.3, 2.0), Clicks(0.1, 2.0)), 128);
        const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
        ASSERT_NE(h, 0u);
        ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
        std::atomic<bool> stop{false};
        std::atomic<int> bad{0};
        std::thread churn([&] {
            // Streams come and go while the mixer runs.
            while (!stop) {
                const HSTREAM s = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
                if (s == 0 || !BASS_ChannelPlay(s, TRUE)) {
                    ++bad;
                }
                std::this_thread::sleep_for(5ms);
                BASS_StreamFree(s);
            }
        });
        std::mt19937 random(11);
        const auto t0 = std::chrono::steady_clock::now();
        while (Since(t0) < 1.0) {
            switch (random() % 5) {
                case 0:
                    BASS_ChannelPause(h);
                    break;
                case 1:
                    BASS_ChannelPlay(h, random() % 2);
                    break;
                case 2:
                    BASS_ChannelSetPosition(h, (random() % 80000) * 4, BASS_POS_BYTE);
                    break;
                case 3:
                    BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, (random() % 100) / 100.0f);
                    break;
                default: {
                    const QWORD p = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
                    if (p == static_cast<QWORD>(-1) || p % 4 != 0 || p > BASS_ChannelSeconds2Bytes(h, 2.0)) {
                        ++bad;
                    }
                }
            }
            std::this_thread::sleep_for(1ms);
        }
        stop = true;
        churn.join();
        EXPECT_EQ(bad, 0);
    }
    std::remove(out.c_str());
}
