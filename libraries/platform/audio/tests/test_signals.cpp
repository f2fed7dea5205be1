#include "test_signals.h"

#include <lame/lame.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <stdexcept>
#include <unistd.h>

namespace audio_test {

Sound Sine(double frequency, double amplitude, double seconds, int channels, int rate) {
    Sound s;
    s.rate = rate;
    s.channels = channels;
    const size_t frames = static_cast<size_t>(seconds * rate);
    s.samples.resize(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) {
            s.samples[i * channels + c] = static_cast<int16_t>(std::lround(v * 32767.0));
        }
    }
    return s;
}

Sound Clicks(double interval, double seconds, int channels, int rate) {
    Sound s;
    s.rate = rate;
    s.channels = channels;
    const size_t frames = static_cast<size_t>(seconds * rate);
    s.samples.assign(frames * channels, 0);
    const size_t burst = static_cast<size_t>(0.01 * rate);
    for (double t = 0.0; t < seconds; t += interval) {
        const size_t start = static_cast<size_t>(t * rate);
        for (size_t i = 0; i < burst && start + i < frames; ++i) {
            const double v = 0.8 * std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(i) / rate);
            for (int c = 0; c < channels; ++c) {
                s.samples[(start + i) * channels + c] = static_cast<int16_t>(std::lround(v * 32767.0));
            }
        }
    }
    return s;
}

Sound Mix(const Sound& a, const Sound& b) {
    Sound s = a.samples.size() >= b.samples.size() ? a : b;
    const Sound& other = a.samples.size() >= b.samples.size() ? b : a;
    for (size_t i = 0; i < other.samples.size(); ++i) {
        s.samples[i] = static_cast<int16_t>(std::clamp(s.samples[i] + other.samples[i], -32768, 32767));
    }
    return s;
}

std::vector<uint8_t> EncodeMp3(const Sound& sound, int kbps) {
    lame_global_flags* gf = lame_init();
    if (gf == nullptr) {
        throw std::runtime_error("lame_init failed");
    }
    lame_set_in_samplerate(gf, sound.rate);
    lame_set_out_samplerate(gf, sound.rate);
    lame_set_num_channels(gf, sound.channels);
    lame_set_mode(gf, sound.channels == 1 ? MONO : STEREO);
    lame_set_brate(gf, kbps);
    lame_set_quality(gf, 2);
    lame_set_bWriteVbrTag(gf, 1);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_init_params failed");
    }
    const int frames = static_cast<int>(sound.Frames());
    std::vector<uint8_t> out(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
    int n = 0;
    if (sound.channels == 1) {
        std::vector<short> mono(sound.samples.begin(), sound.samples.end());
        n = lame_encode_buffer(gf, mono.data(), mono.data(), frames, out.data(), static_cast<int>(out.size()));
    } else {
        std::vector<short> pcm(sound.samples.begin(), sound.samples.end());
        n = lame_encode_buffer_interleaved(gf, pcm.data(), frames, out.data(), static_cast<int>(out.size()));
    }
    if (n < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_encode_buffer failed");
    }
    const int tail = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    if (tail < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_encode_flush failed");
    }
    out.resize(static_cast<size_t>(n + tail));
    // The first frame was written as a placeholder for the info frame.
    std::vector<uint8_t> tag(8192);
    const size_t tagSize = lame_get_lametag_frame(gf, tag.data(), tag.size());
    if (tagSize > 0 && tagSize <= out.size()) {
        std::memcpy(out.data(), tag.data(), tagSize);
    }
    lame_close(gf);
    return out;
}

std::string TempPath(const std::string& stem) {
    static std::atomic<int> counter{0};
    return (std::filesystem::temp_directory_path() /
            (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
        .string();
}

}  // namespace audio_test
