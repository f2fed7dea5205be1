// Fuzzes the spectrum-cache reader (FucrrEffect::LoadOrComputeFft over ./data/fft.dat) and
// the sampling of the table it gives. The first input byte chooses what ./data/fft.dat is:
// odd, the rest of the input repeated up to the length of a full table plus (first byte >> 1)
// bytes, so that long caches are reached from short inputs; 2 modulo 4, a folder; 4 modulo 8,
// a file of zeros without data on disk, as long as the next five bytes say (little-endian,
// below 64 GiB); else the rest of the input as it is.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

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
        fw_Log::SetAlertMode(fw_Log::kAlertsDropped);  // warnings are counted, not shown
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting setting;
    std::vector<uint8_t> file;
    const bool folder = size > 0 && data[0] % 4 == 2;
    const bool sparse = size > 0 && data[0] % 8 == 4;
    uint64_t length = 0;
    boost::system::error_code ignored;
    fs::remove_all(FucrrEffect::kFftCachePath, ignored);
    if (sparse) {
        for (size_t i = std::min<size_t>(size, 6); --i > 0;)
            length = length << 8 | data[i];
        length &= (uint64_t(1) << 36) - 1;
    } else if (size > 0 && !folder) {
        if (data[0] & 1) {
            file.resize(FucrrEffect::kRequiredRecords * sizeof(FftRecord) + (data[0] >> 1), 0);
            if (size > 1)
                for (size_t i = 0; i < file.size(); ++i)
                    file[i] = data[1 + i % (size - 1)];
        } else {
            file.assign(data + 1, data + size);
        }
        length = file.size();
    }
    if (folder) {
        fs::create_directory(FucrrEffect::kFftCachePath);
    } else {
        FILE* f = std::fopen(FucrrEffect::kFftCachePath, "wb");
        Check(f != nullptr, "cannot write the cache");
        if (!file.empty())
            std::fwrite(file.data(), 1, file.size(), f);
        if (sparse)
            Check(ftruncate(fileno(f), static_cast<off_t>(length)) == 0, "cannot size the cache");
        std::fclose(f);
    }

    FucrrEffect& effect = *setting.effect;
    const int32_t warnings = fw_Log::GetWarningCount();
    effect.mFftTable.clear();
    effect.LoadOrComputeFft();
    // Trusted: whole records from kRequiredRecords up to the computed table's length, not all
    // zeros (the silence of a table computed without music).
    const uint64_t records = length / sizeof(FftRecord);
    bool silent = true;  // every value 0 (negative zero too)
    for (uint64_t i = 0; i + sizeof(float) <= std::min<uint64_t>(file.size(), records * 32) && silent;
         i += sizeof(float)) {
        float v;
        std::memcpy(&v, &file[i], sizeof(v));
        silent = !(v != 0.0f);
    }
    if (!folder && records >= FucrrEffect::kRequiredRecords &&
        length <= FucrrEffect::kTableRecords * sizeof(FftRecord) && !silent) {
        Check(effect.mFftTable.size() == records, "a cache in range gives one record per 32 bytes");
        Check(std::memcmp(effect.mFftTable.data(), file.data(), records * sizeof(FftRecord)) == 0,
              "records differ from the cache");
    } else {
        // Without music the computed table is silence.
        Check(effect.mFftTable.size() == FucrrEffect::kTableRecords &&
                  std::all_of(effect.mFftTable.begin(), effect.mFftTable.end(),
                              [](const FftRecord& r) { return r.values[0] == 0.0f && r.values[7] == 0.0f; }),
              "a refused cache gives the computed table");
        Check(fw_Log::GetWarningCount() == warnings + (!folder && length > 0), "a refused file is reported once");
    }
    const float times[] = {0.0f, -5.0f, NAN, 0.008f, 1.0f, 120.5f, 239.98334f, 1e30f, INFINITY};
    for (float t : times)
        (void)effect.SampleFft(t);
    return 0;
}
