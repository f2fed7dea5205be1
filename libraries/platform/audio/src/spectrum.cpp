#include "audio_internal.h"

#include <kiss_fftr.h>

#include <cmath>
#include <numbers>

namespace platform::audio {
namespace {

struct Analyser {
    kiss_fftr_cfg cfg = kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr);
    float window[kFftSize];
    float windowSum = 0.0f;

    Analyser() {
        for (int n = 0; n < kFftSize; ++n) {
            window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize));
            windowSum += window[n];
        }
    }
    ~Analyser() { kiss_fftr_free(cfg); }
};

}  // namespace

// Callers serialise: the transform uses scratch memory inside the configuration.
void Spectrum256(const float* samples, float* magnitudes) {
    static Analyser analyser;
    float in[kFftSize];
    kiss_fft_cpx out[kFftSize / 2 + 1];
    for (int n = 0; n < kFftSize; ++n) {
        in[n] = samples[n] * analyser.window[n];
    }
    kiss_fftr(analyser.cfg, in, out);
    for (int k = 0; k < kFftBins; ++k) {
        const float scale = (k == 0 ? 1.0f : 2.0f) / analyser.windowSum;
        const float m = std::sqrt(out[k].r * out[k].r + out[k].i * out[k].i) * scale;
        magnitudes[k] = m > 1.0f ? 1.0f : m;
    }
}

}  // namespace platform::audio
