// Fuzzes the spectrum-cache reader (FucrrEffect::LoadOrComputeFft over ./data/fft.dat) and
// the sampling of the table it gives. The first input byte chooses what ./data/fft.dat is:
// odd, the rest of the input repeated up to the length of a full table plus (first byte >> 1)
// bytes, so that long caches are reached from short inputs; 2 modulo 4, a folder; else the
// rest of the input as it is.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "FucrrEffect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "platform/d3d10.h"

namespace fs = boost::filesystem;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "spectrum cache reader: %s\n", what);
        std::abort();
    }
}

// The effect made once on the software device, in a project folder without shaders or data.
struct Setting {
    Setting() {
        dir = fs::temp_directory_path() / fs::unique_path("zendra-fft-fuzz-%%%%%%");
        fs::create_directories(dir / "data");
        fs::current_path(dir);
        static int marker;
        Check(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0,
                                D3D10_SDK_VERSION, &device) == S_OK,
              "no software device");
        fw_Framework::mDevice = device;
        fw_Log::SetAlertMode(2); // warnings are counted, not shown
        framework = new fw_Framework(fw_Framework::NoStartup{}, "spectrum_cache_fuzz");
        fw_Framework::mFrameworkRoot = dir.string();
        fw_Framework::mProjectRoot = dir.string();
        effect = new FucrrEffect();
    }
    // The effect and the device stay to the end of the process; the folder goes.
    ~Setting() {
        boost::system::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
    ID3D10Device* device = nullptr;
    fw_Framework* framework = nullptr;
    FucrrEffect* effect = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting setting;
    std::vector<uint8_t> file;
    const bool folder = size > 0 && data[0] % 4 == 2;
    boost::system::error_code ignored;
    fs::remove_all(FucrrEffect::kFftCachePath, ignored);
    if (size > 0 && !folder) {
        if (data[0] & 1) {
            const size_t length = FucrrEffect::kRequiredRecords * sizeof(FftRecord) + (data[0] >> 1);
            file.resize(length, 0);
            if (size > 1)
                for (size_t i = 0; i < length; ++i) file[i] = data[1 + i % (size - 1)];
        } else {
            file.assign(data + 1, data + size);
        }
    }
    if (folder) {
        fs::create_directory(FucrrEffect::kFftCachePath);
    } else {
        FILE* f = std::fopen(FucrrEffect::kFftCachePath, "wb");
        Check(f != nullptr, "cannot write the cache");
        if (!file.empty()) std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }

    FucrrEffect& effect = *setting.effect;
    effect.mFftTable.clear();
    effect.LoadOrComputeFft();
    const size_t records = file.size() / sizeof(FftRecord);
    if (records >= FucrrEffect::kRequiredRecords) {
        Check(effect.mFftTable.size() == records, "a long cache gives one record per 32 bytes");
        Check(std::memcmp(effect.mFftTable.data(), file.data(), records * sizeof(FftRecord)) == 0,
              "records differ from the cache");
    } else {
        Check(effect.mFftTable.size() == 14401, "a short cache gives the computed table");
    }
    const float times[] = {0.0f, -5.0f, NAN, 0.008f, 1.0f, 120.5f, 239.98334f, 1e30f, INFINITY};
    for (float t : times) (void)effect.SampleFft(t);
    return 0;
}
