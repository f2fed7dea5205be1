// The track-read convention: look the track up by name, then evaluate it.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "sync/device.h"

namespace {

struct Fixture {
    Fixture() : device("bench/none", nullptr) {
        for (int t = 0; t < 64; ++t) {
            names.push_back("track_" + std::to_string(t));
            sync::Track* track = device.GetTrack(names.back());
            for (uint32_t k = 0; k < 256; ++k)
                track->SetKey(k * 16, sync::TrackKey{static_cast<float>(k), static_cast<int32_t>(k % 5)});
        }
    }
    sync::PlayerDevice device;
    std::vector<std::string> names;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_GetTrackThenGetValue(benchmark::State& state) {
    Fixture& f = Shared();
    size_t i = 0;
    float row = 0.0f;
    for (auto _ : state) {
        const std::string& name = f.names[i++ & 63];
        sync::Track* track = f.device.GetTrack(name);
        float v = track->HasKeys() ? track->GetValue(row) : 0.0f;
        benchmark::DoNotOptimize(v);
        row += 13.37f;
        if (row > 4096.0f)
            row -= 4096.0f;
    }
}
BENCHMARK(BM_GetTrackThenGetValue);

// Callers build the name as a std::string on every read.
void BM_BuildNameThenRead(benchmark::State& state) {
    Fixture& f = Shared();
    static const char* const literals[] = {"track_3", "track_17", "track_42", "track_63"};
    size_t i = 0;
    for (auto _ : state) {
        sync::Track* track = f.device.GetTrack(std::string(literals[i++ & 3]));
        float v = track->GetValue(1234.5f);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_BuildNameThenRead);

}  // namespace
