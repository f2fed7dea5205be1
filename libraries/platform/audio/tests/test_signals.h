// Test signals and an MP3 encoder for the audio library's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio_test {

constexpr int kRate = 44100;

// Interleaved signed 16-bit sound.
struct Sound {
    int rate = kRate;
    int channels = 2;
    std::vector<int16_t> samples;

    size_t Frames() const { return samples.size() / static_cast<size_t>(channels); }
};

// A sine on every channel.
Sound Sine(double frequency, double amplitude, double seconds, int channels = 2, int rate = kRate);
// Silence with a short burst of a 1 kHz tone every 'interval' seconds, starting at 0.
Sound Clicks(double interval, double seconds, int channels = 2, int rate = kRate);
// Sum of two sounds of the same format, the longer one's length.
Sound Mix(const Sound& a, const Sound& b);

// MP3 with an info frame, so that a decoder can trim the encoder's delay and padding.
std::vector<uint8_t> EncodeMp3(const Sound& sound, int kbps = 192);

// A file name in the temporary folder that no other test uses.
std::string TempPath(const std::string& stem);

}  // namespace audio_test
