// BASS_ChannelGetData(BASS_DATA_FFT256) on a decoding stream at random positions, as the
// spectrum table does when it analyses the music.
#include <platform/audio.h>

#include "test_signals.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace audio_test;

static void SpectrumAtRandomPositions(benchmark::State& state) {
    if (!BASS_Init(0, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr)) {
        state.SkipWithError("BASS_Init failed");
        return;
    }
    const double seconds = 30.0;
    const std::vector<uint8_t> mp3 = EncodeMp3(Mix(Sine(220.0, 0.3, seconds), Clicks(0.125, seconds)), 160);
    const HSTREAM h = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN | BASS_STREAM_DECODE);
    if (h == 0) {
        state.SkipWithError("stream creation failed");
        BASS_Free();
        return;
    }
    std::mt19937 random(1);
    std::uniform_real_distribution<double> at(0.0, seconds - 0.01);
    std::vector<float> fft(256);
    for (auto _ : state) {
        BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, at(random)), BASS_POS_BYTE);
        benchmark::DoNotOptimize(BASS_ChannelGetData(h, fft.data(), BASS_DATA_FFT256));
        benchmark::ClobberMemory();
    }
    BASS_Free();
}
BENCHMARK(SpectrumAtRandomPositions)->Unit(benchmark::kMicrosecond);
