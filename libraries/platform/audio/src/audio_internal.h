// Internals of the audio library stand-in: the MPEG decoder and the spectrum analyser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <platform/audio.h>

namespace platform::audio {

// Decoded sound: interleaved signed 16-bit samples.
struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;

    size_t Frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};

enum class Decoded {
    Sound,
    NoSound,  // not a single frame decodes
    TooLong,  // more than maxFrames sample frames, or more memory than there is
};

// Decodes MPEG audio held in memory. Corrupt or truncated data gives what decodes before
// the fault. Unless the result is Sound, `out` is left empty.
Decoded DecodeMpeg(const uint8_t* data, size_t size, Pcm& out, uint64_t maxFrames = kMaxStreamFrames);

// Spectrum of 256 samples: Hann window, real FFT, 128 magnitudes. A full-scale sine
// centred on a bin gives 1.0 in that bin; values are clamped to 0..1.
constexpr int kFftSize = 256;
constexpr int kFftBins = kFftSize / 2;
void Spectrum256(const float* samples, float* magnitudes);

}  // namespace platform::audio
