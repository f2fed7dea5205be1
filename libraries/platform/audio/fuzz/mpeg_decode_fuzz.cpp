// Fuzzes the MPEG audio decoder over data in memory, and the spectrum of what it decoded.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "audio_internal.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "audio decoder: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace platform::audio;
    Pcm pcm;
    // At the product's limit on the length of a stream.
    const Decoded result = DecodeMpeg(data, size, pcm, kMaxStreamFrames);
    if (result != Decoded::Sound) {
        Check(pcm.rate == 0 && pcm.channels == 0 && pcm.samples.empty(), "a failed decode must not claim sound");
        return 0;
    }
    Check(pcm.Frames() <= kMaxStreamFrames, "no more frames than the limit");
    // The limit's refusal, which fuzz inputs cannot reach at its real size: with one frame
    // fewer allowed, the stream is refused whole.
    Pcm shorter;
    Check(DecodeMpeg(data, size, shorter, pcm.Frames() - 1) == Decoded::TooLong && shorter.samples.empty(),
          "a stream longer than the limit must be refused whole");
    Check(pcm.rate > 0 && (pcm.channels == 1 || pcm.channels == 2),
          "a decoded stream needs a rate and 1 or 2 channels");
    Check(pcm.samples.size() % size_t(pcm.channels) == 0, "whole frames only");

    // The first window of the left channel, as the spectrum reads it.
    float window[kFftSize] = {};
    for (size_t i = 0; i < size_t(kFftSize) && i < pcm.Frames(); ++i)
        window[i] = pcm.samples[i * size_t(pcm.channels)] / 32768.0f;
    float magnitudes[kFftBins];
    Spectrum256(window, magnitudes);
    for (float m : magnitudes)
        Check(m >= 0.0f && m <= 1.0f, "spectrum values lie in 0..1");
    return 0;
}
