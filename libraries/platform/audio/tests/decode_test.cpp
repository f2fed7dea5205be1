// Decoding streams: formats, positions, seeking, spectra and bad input.
#include <platform/audio.h>

#include "../src/audio_internal.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace audio_test;

namespace {

constexpr DWORD kDecode = BASS_STREAM_PRESCAN | BASS_STREAM_DECODE;

class DecodeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(BASS_Init(0, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr)); }
    void TearDown() override { BASS_Free(); }

    HSTREAM Open(const std::vector<uint8_t>& mp3, DWORD flags = kDecode) {
        return BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), flags);
    }

    // Every remaining sample of a 16-bit decoding stream.
    static std::vector<int16_t> ReadAll(HSTREAM h) {
        std::vector<int16_t> all;
        std::vector<int16_t> chunk(4096);
        for (;;) {
            const DWORD n = BASS_ChannelGetData(h, chunk.data(), static_cast<DWORD>(chunk.size() * sizeof(int16_t)));
            if (n == static_cast<DWORD>(-1)) {
                EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
                break;
            }
            all.insert(all.end(), chunk.begin(), chunk.begin() + n / sizeof(int16_t));
        }
        return all;
    }
};

// Difference of a[i + shift] and b[i] over [from, from + count).
double Rms(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t count, int shift = 0) {
    double sum = 0.0;
    for (size_t i = from; i < from + count; ++i) {
        const double d = (a[i + shift] - b[i]) / 32768.0;
        sum += d * d;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

std::vector<float> Fft(HSTREAM h) {
    std::vector<float> fft(256, -7.0f);
    EXPECT_NE(BASS_ChannelGetData(h, fft.data(), BASS_DATA_FFT256), static_cast<DWORD>(-1));
    return fft;
}

size_t PeakBin(const std::vector<float>& fft) {
    return static_cast<size_t>(std::max_element(fft.begin(), fft.begin() + 128) - fft.begin());
}

}  // namespace

TEST_F(DecodeTest, DecodesGeneratedMp3SampleAligned) {
    const Sound tone = Sine(440.0, 0.5, 2.0);
    const HSTREAM h = Open(EncodeMp3(tone));
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> decoded = ReadAll(h);
    // The info frame lets the decoder trim the encoder's delay and padding.
    ASSERT_EQ(decoded.size(), tone.samples.size());
    const double aligned = Rms(decoded, tone.samples, 4000, decoded.size() - 8000);
    EXPECT_LT(aligned, 0.02);
    EXPECT_LT(aligned, Rms(decoded, tone.samples, 4000, decoded.size() - 8000, 2));
    EXPECT_LT(aligned, Rms(decoded, tone.samples, 4000, decoded.size() - 8000, -2));
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), tone.samples.size() * sizeof(int16_t));
}

TEST_F(DecodeTest, MonoStreamUsesTwoBytesAFrame) {
    const Sound tone = Sine(440.0, 0.5, 1.0, 1);
    const HSTREAM h = Open(EncodeMp3(tone, 96));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1.0), 88200u);
    const std::vector<int16_t> decoded = ReadAll(h);
    ASSERT_EQ(decoded.size(), tone.samples.size());
    EXPECT_LT(Rms(decoded, tone.samples, 2000, decoded.size() - 4000), 0.025);
}

TEST_F(DecodeTest, FloatStreamDeliversFloats) {
    const Sound tone = Sine(440.0, 0.5, 1.0);
    const std::vector<uint8_t> mp3 = EncodeMp3(tone);
    const HSTREAM h16 = Open(mp3);
    const HSTREAM hf = Open(mp3, kDecode | BASS_SAMPLE_FLOAT);
    ASSERT_NE(hf, 0u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(hf, 1.0), 352800u);
    std::vector<int16_t> a(2000);
    std::vector<float> b(2000);
    ASSERT_EQ(BASS_ChannelGetData(h16, a.data(), 4000), 4000u);
    ASSERT_EQ(BASS_ChannelGetData(hf, b.data(), 8000), 8000u);
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_FLOAT_EQ(b[i], a[i] / 32768.0f) << i;
    }
    // A 16-bit stream read with BASS_DATA_FLOAT gives the same floats.
    BASS_ChannelSetPosition(h16, 0, BASS_POS_BYTE);
    std::vector<float> c(2000);
    ASSERT_EQ(BASS_ChannelGetData(h16, c.data(), 8000 | BASS_DATA_FLOAT), 8000u);
    EXPECT_EQ(c, b);
}

TEST_F(DecodeTest, SecondsAndBytesConvertInWholeFrames) {
    const HSTREAM h = Open(EncodeMp3(Sine(440.0, 0.5, 0.5)));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0.0), 0u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1.0), 176400u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 12.5), 2205000u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0.4 / 44100.0), 0u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1.6 / 44100.0), 4u);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, 176400), 1.0);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, 4), 1.0 / 44100.0);
    // Every frame count survives the round trip, as do the float times the player uses.
    for (QWORD frame = 0; frame < 44100 * 300; frame += 997) {
        const double s = BASS_ChannelBytes2Seconds(h, frame * 4);
        ASSERT_EQ(BASS_ChannelSeconds2Bytes(h, s), frame * 4) << frame;
        ASSERT_EQ(BASS_ChannelSeconds2Bytes(h, static_cast<float>(s)) / 4,
                  static_cast<QWORD>(static_cast<double>(static_cast<float>(s)) * 44100.0 + 1e-6));
    }
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, -0.5), static_cast<QWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, std::nan("")), static_cast<QWORD>(-1));
}

TEST_F(DecodeTest, SeekReadsFromTheNewPosition) {
    const Sound sound = Mix(Sine(300.0, 0.3, 3.0), Clicks(0.25, 3.0));
    const std::vector<uint8_t> mp3 = EncodeMp3(sound);
    const HSTREAM h = Open(mp3);
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> all = ReadAll(h);
    ASSERT_EQ(all.size(), sound.samples.size());
    std::mt19937 random(7);
    for (int i = 0; i < 50; ++i) {
        const QWORD frame = random() % (sound.Frames() - 1000);
        ASSERT_TRUE(BASS_ChannelSetPosition(h, frame * 4, BASS_POS_BYTE));
        ASSERT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), frame * 4);
        std::vector<int16_t> chunk(2000);
        ASSERT_EQ(BASS_ChannelGetData(h, chunk.data(), 4000), 4000u);
        ASSERT_TRUE(std::equal(chunk.begin(), chunk.end(), all.begin() + static_cast<long>(frame * 2))) << frame;
        ASSERT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), frame * 4 + 4000);
    }
    // A byte offset inside a frame seeks to the start of that frame.
    ASSERT_TRUE(BASS_ChannelSetPosition(h, 4003, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 4000u);
    // The end is a valid position, beyond it is not and leaves the position alone.
    const QWORD end = all.size() * sizeof(int16_t);
    EXPECT_TRUE(BASS_ChannelSetPosition(h, end, BASS_POS_BYTE));
    std::vector<int16_t> scratch(2000);
    EXPECT_EQ(BASS_ChannelGetData(h, scratch.data(), 4000), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, 400, BASS_POS_BYTE));
    EXPECT_FALSE(BASS_ChannelSetPosition(h, end + 4, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 400u);
    EXPECT_FALSE(BASS_ChannelSetPosition(h, 400, 1));
    EXPECT_EQ(BASS_ChannelGetPosition(h, 1), static_cast<QWORD>(-1));
}

TEST_F(DecodeTest, PureTonePeaksInItsBin) {
    for (const int bin : {3, 20, 27, 100}) {
        const double frequency = bin * 44100.0 / 256.0;
        const HSTREAM h = Open(EncodeMp3(Sine(frequency, 0.5, 1.0), 256));
        ASSERT_NE(h, 0u);
        ASSERT_TRUE(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, 0.5), BASS_POS_BYTE));
        const std::vector<float> fft = Fft(h);
        EXPECT_EQ(PeakBin(fft), static_cast<size_t>(bin));
        EXPECT_NEAR(fft[bin], 0.5f, 0.05f) << bin;
        // 128 magnitudes are written, the rest of the buffer is not touched.
        EXPECT_EQ(fft[128], -7.0f);
        EXPECT_EQ(fft[255], -7.0f);
        for (int k = 0; k < 128; ++k) {
            EXPECT_GE(fft[k], 0.0f);
            if (std::abs(k - bin) > 3) {
                EXPECT_LT(fft[k], 0.01f) << "bin " << k << " of a tone in bin " << bin;
            }
        }
        BASS_StreamFree(h);
    }
}

TEST_F(DecodeTest, SpectrumFollowsThePositionAndConsumesItsSamples) {
    // A tone in bin 5 for one second, then one in bin 40.
    Sound sound = Sine(5 * 44100.0 / 256.0, 0.5, 1.0);
    const Sound second = Sine(40 * 44100.0 / 256.0, 0.5, 1.0);
    sound.samples.insert(sound.samples.end(), second.samples.begin(), second.samples.end());
    const HSTREAM h = Open(EncodeMp3(sound, 256));
    ASSERT_NE(h, 0u);
    const QWORD at = BASS_ChannelSeconds2Bytes(h, 1.5);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, at, BASS_POS_BYTE));
    const std::vector<float> late = Fft(h);
    EXPECT_EQ(PeakBin(late), 40u);
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), at + 256 * 4);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, 0.25), BASS_POS_BYTE));
    EXPECT_EQ(PeakBin(Fft(h)), 5u);
    // The same time gives the same spectrum.
    ASSERT_TRUE(BASS_ChannelSetPosition(h, at, BASS_POS_BYTE));
    EXPECT_EQ(Fft(h), late);
}

TEST_F(DecodeTest, SpectrumAtTheEnd) {
    const HSTREAM h = Open(EncodeMp3(Sine(20 * 44100.0 / 256.0, 0.5, 0.5)));
    ASSERT_NE(h, 0u);
    const QWORD end = BASS_ChannelSeconds2Bytes(h, 0.5);
    // Fewer than 256 samples left: they are analysed, padded with silence.
    ASSERT_TRUE(BASS_ChannelSetPosition(h, end - 100 * 4, BASS_POS_BYTE));
    std::vector<float> fft(128, 0.0f);
    EXPECT_EQ(BASS_ChannelGetData(h, fft.data(), BASS_DATA_FFT256), 400u);
    EXPECT_EQ(PeakBin(fft), 20u);
    // At the end: an error, and the buffer keeps its values.
    std::vector<float> untouched(128, 3.0f);
    EXPECT_EQ(BASS_ChannelGetData(h, untouched.data(), BASS_DATA_FFT256), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    EXPECT_EQ(untouched, std::vector<float>(128, 3.0f));
}

TEST(Spectrum, FullScaleSineGivesOneAndSilenceZero) {
    float samples[256];
    float out[128];
    for (int n = 0; n < 256; ++n) {
        samples[n] = static_cast<float>(std::sin(2.0 * std::numbers::pi * 10.0 * n / 256.0));
    }
    platform::audio::Spectrum256(samples, out);
    EXPECT_NEAR(out[10], 1.0f, 1e-4f);
    // The Hann window spreads a centred tone into its two neighbours at half height.
    EXPECT_NEAR(out[9], 0.5f, 1e-4f);
    EXPECT_NEAR(out[11], 0.5f, 1e-4f);
    EXPECT_LT(out[13], 1e-4f);
    std::fill(samples, samples + 256, 0.25f);
    platform::audio::Spectrum256(samples, out);
    EXPECT_NEAR(out[0], 0.25f, 1e-4f);
    EXPECT_LT(out[5], 1e-4f);
    // A full-scale square wave's fundamental (4/pi) is clamped to the 0..1 range.
    for (int n = 0; n < 256; ++n) {
        samples[n] = (n / 16) % 2 == 0 ? 1.0f : -1.0f;
    }
    platform::audio::Spectrum256(samples, out);
    EXPECT_EQ(out[8], 1.0f);
}

TEST_F(DecodeTest, CorruptDataGivesNoStream) {
    std::mt19937 random(3);
    std::vector<uint8_t> noise(64 * 1024);
    for (auto& b : noise) {
        b = static_cast<uint8_t>(random());
    }
    const std::string text = "This is not an MPEG audio file, only some text.";
    const std::vector<uint8_t> zeros(10000, 0);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, noise.data(), 0, noise.size(), kDecode), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, text.data(), 0, text.size(), BASS_STREAM_PRESCAN), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, zeros.data(), 0, zeros.size(), kDecode), 0u);
    // The empty buffer of a missing file.
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, zeros.data(), 0, 0, BASS_STREAM_PRESCAN), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, nullptr, 0, 100, BASS_STREAM_PRESCAN), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "/nonexistent/demo.mp3", 0, 0, BASS_STREAM_PRESCAN), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(DecodeTest, TruncatedDataPlaysWhatDecodes) {
    const Sound tone = Sine(440.0, 0.5, 2.0);
    const std::vector<uint8_t> mp3 = EncodeMp3(tone);
    const HSTREAM whole = Open(mp3);
    const std::vector<int16_t> all = ReadAll(whole);
    // Cut in the middle of a frame.
    const size_t cut = mp3.size() / 2 + 77;
    const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, cut, BASS_STREAM_PRESCAN | BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> part = ReadAll(h);
    EXPECT_GT(part.size(), all.size() * 4 / 10);
    EXPECT_LT(part.size(), all.size() * 6 / 10);
    EXPECT_LT(Rms(part, all, 4000, part.size() - 8000), 0.001);
    std::vector<uint8_t> damaged = mp3;
    std::fill(damaged.begin() + static_cast<long>(damaged.size() / 3),
              damaged.begin() + static_cast<long>(damaged.size() / 3 + 700), 0xFF);
    const HSTREAM d = Open(damaged);
    ASSERT_NE(d, 0u);
    // Damage in the middle: decoding resumes after it.
    EXPECT_GT(ReadAll(d).size(), all.size() * 9 / 10);
}

TEST_F(DecodeTest, StreamFromAFileAndFromAnOffset) {
    const std::vector<uint8_t> mp3 = EncodeMp3(Sine(440.0, 0.5, 1.0));
    const std::string path = TempPath("audio-stream") + ".mp3";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite("JUNK", 1, 4, f);
    std::fwrite(mp3.data(), 1, mp3.size(), f);
    std::fclose(f);
    const HSTREAM fromFile = BASS_StreamCreateFile(FALSE, path.c_str(), 4, 0, kDecode);
    ASSERT_NE(fromFile, 0u);
    std::vector<uint8_t> padded(4 + mp3.size(), 'J');
    std::copy(mp3.begin(), mp3.end(), padded.begin() + 4);
    const HSTREAM fromMemory = BASS_StreamCreateFile(TRUE, padded.data(), 4, mp3.size(), kDecode);
    ASSERT_NE(fromMemory, 0u);
    EXPECT_EQ(ReadAll(fromFile), ReadAll(fromMemory));
    std::remove(path.c_str());
}

// MPEG-2 layer III frames of silence at 8 kbit/s and 24 kHz, stereo: 24 bytes give 576
// sample frames, the most sound per byte.
std::vector<uint8_t> TinyFrames(size_t count) {
    std::vector<uint8_t> frames;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t frame[24] = {0xFF, 0xF3, 0x14, 0x00};
        frames.insert(frames.end(), frame, frame + sizeof frame);
    }
    return frames;
}

TEST_F(DecodeTest, StreamsLongerThanTheLimitAreRefusedWhole) {
    using platform::audio::Decoded;
    const std::vector<uint8_t> tiny = TinyFrames(400);
    platform::audio::Pcm pcm;
    ASSERT_EQ(platform::audio::DecodeMpeg(tiny.data(), tiny.size(), pcm), Decoded::Sound);
    const uint64_t frames = pcm.Frames();
    EXPECT_GT(frames, 300u * 576u);
    EXPECT_EQ(platform::audio::DecodeMpeg(tiny.data(), tiny.size(), pcm, frames), Decoded::Sound);
    EXPECT_EQ(pcm.Frames(), frames);
    EXPECT_EQ(platform::audio::DecodeMpeg(tiny.data(), tiny.size(), pcm, frames - 1), Decoded::TooLong);
    EXPECT_TRUE(pcm.samples.empty());
    EXPECT_EQ(pcm.rate, 0);

    // More bytes than a stream decodes: refused before a byte is read (the pages stay unmapped).
    const size_t big = platform::audio::kMaxStreamBytes + 1;
    void* unread = mmap(nullptr, big, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(unread, MAP_FAILED);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, unread, 0, big, kDecode), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_MEM);
    munmap(unread, big);
}

TEST_F(DecodeTest, FilesAreReadOnlyWhenRegularAndOnlyThePartAsked) {
    const std::vector<uint8_t> mp3 = EncodeMp3(Sine(440.0, 0.5, 0.5));
    const std::string path = TempPath("audio-sparse") + ".mp3";
    // A file larger than a stream decodes, with the sound at its end.
    const off_t offset = static_cast<off_t>(platform::audio::kMaxStreamBytes);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, mp3.data(), mp3.size(), offset), static_cast<ssize_t>(mp3.size()));
    close(fd);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, kDecode), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_MEM);
    const HSTREAM part = BASS_StreamCreateFile(FALSE, path.c_str(), static_cast<QWORD>(offset), 0, kDecode);
    EXPECT_NE(part, 0u);
    const HSTREAM whole = Open(mp3);
    EXPECT_EQ(ReadAll(part), ReadAll(whole));
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), static_cast<QWORD>(offset) + mp3.size() + 1, 0, kDecode), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    std::remove(path.c_str());
    // Folders and devices are not read at all.
    for (const char* notFile : {"/tmp", "/dev/zero"}) {
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, notFile, 0, 0, kDecode), 0u) << notFile;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN) << notFile;
    }
}

TEST_F(DecodeTest, HandleZeroAndFreedHandlesFailHarmlessly) {
    const HSTREAM h = Open(EncodeMp3(Sine(440.0, 0.5, 0.2)));
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(BASS_StreamFree(h));
    for (const DWORD bad : {0u, h, 12345u}) {
        float fft[256] = {1.0f};
        EXPECT_FALSE(BASS_ChannelPlay(bad, TRUE));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
        EXPECT_FALSE(BASS_ChannelPlay(bad, FALSE));
        EXPECT_FALSE(BASS_ChannelPause(bad));
        EXPECT_FALSE(BASS_ChannelStop(bad));
        EXPECT_EQ(BASS_ChannelSeconds2Bytes(bad, 1.0), static_cast<QWORD>(-1));
        EXPECT_LT(BASS_ChannelBytes2Seconds(bad, 100), 0.0);
        EXPECT_FALSE(BASS_ChannelSetPosition(bad, 0, BASS_POS_BYTE));
        EXPECT_EQ(BASS_ChannelGetPosition(bad, BASS_POS_BYTE), static_cast<QWORD>(-1));
        EXPECT_FALSE(BASS_ChannelSetAttribute(bad, BASS_ATTRIB_VOL, 0.5f));
        EXPECT_EQ(BASS_ChannelGetData(bad, fft, BASS_DATA_FFT256), static_cast<DWORD>(-1));
        EXPECT_EQ(fft[0], 1.0f);
        EXPECT_FALSE(BASS_StreamFree(bad));
        EXPECT_FALSE(BASS_MusicFree(bad));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    }
    // The player's arithmetic on a failed stream stays harmless.
    EXPECT_FALSE(BASS_ChannelSetPosition(0, BASS_ChannelSeconds2Bytes(0, 12.5), BASS_POS_BYTE));
}

TEST_F(DecodeTest, DecodeStreamsDoNotPlay) {
    const HSTREAM h = Open(EncodeMp3(Sine(440.0, 0.5, 0.2)));
    ASSERT_NE(h, 0u);
    EXPECT_FALSE(BASS_ChannelPlay(h, TRUE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
    EXPECT_EQ(BASS_ChannelGetData(h, nullptr, 400), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    float fft[128];
    EXPECT_EQ(BASS_ChannelGetData(h, fft, BASS_DATA_FFT256 | 1), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST(AudioLibrary, InitialisationAndConfiguration) {
    const std::vector<uint8_t> mp3 = EncodeMp3(Sine(440.0, 0.5, 0.2));
    // Nothing works before BASS_Init.
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), kDecode), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    BASS_INFO info{};
    EXPECT_FALSE(BASS_GetInfo(&info));
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    // The global volumes can be set before.
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 5000));
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_SAMPLE, 5000));
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 5000));
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10001));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_SetConfig(77, 1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    EXPECT_FALSE(BASS_Init(0, 0, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_Init(0, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(0, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.initflags, static_cast<DWORD>(BASS_DEVICE_LATENCY));
    EXPECT_EQ(info.latency, 0u);  // nothing is heard on the "no sound" device
    EXPECT_FALSE(BASS_GetInfo(nullptr));
    EXPECT_EQ(BASS_MusicLoad(TRUE, mp3.data(), 0, static_cast<DWORD>(mp3.size()), 0, 44100), 0u);
    const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), kDecode);
    EXPECT_NE(h, 0u);
    EXPECT_TRUE(BASS_Free());
    // BASS_Free frees every stream.
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), static_cast<QWORD>(-1));
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), static_cast<QWORD>(-1));
    EXPECT_TRUE(BASS_Free());
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 10000);
}
