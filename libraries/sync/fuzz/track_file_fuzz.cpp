// Fuzzes the track-file reader (LoadTrackFile at its size limit, and the same merging a few
// records at a time) and the evaluation of what it read.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "sync/track.h"

namespace {

std::string TempPath() {
    return "/tmp/zendra-track-fuzz-" + std::to_string(::getpid()) + ".track";
}

uint32_t U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "track file reader: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    sync::Track track("fuzz");
    const bool fits = size <= sync::kMaxTrackFileBytes;
    Check(sync::LoadTrackFile(track, path) == fits, "a file must load exactly when it is within the size limit");
    if (!fits) {
        Check(!track.HasKeys(), "a refused file gave keys");
        ::unlink(path.c_str());
        return 0;
    }

    // Complete records only, up to the count; the last record of a row wins.
    using sync::kTrackHeaderBytes;
    using sync::kTrackRecordBytes;
    const uint32_t count = size >= kTrackHeaderBytes ? U32(data) : 0;
    const uint64_t complete = size >= kTrackHeaderBytes ? (size - kTrackHeaderBytes) / kTrackRecordBytes : 0;
    const uint64_t used = count < complete ? count : complete;
    Check(track.KeyCount() <= used, "more keys than complete records");
    sync::Track expected("expected");
    for (uint64_t i = 0; i < used; ++i) {
        const uint8_t* r = data + kTrackHeaderBytes + kTrackRecordBytes * i;
        sync::TrackKey key;
        const uint32_t bits = U32(r + 4);
        std::memcpy(&key.value, &bits, 4);
        key.type = r[8];
        expected.SetKey(U32(r), key);
    }
    Check(track.KeyCount() == expected.KeyCount(), "key count differs from the records");
    for (const auto& [row, key] : expected.keys) {
        const sync::TrackKey* got = track.FindKey(row);
        Check(got && std::memcmp(&got->value, &key.value, 4) == 0 && got->type == key.type,
              "a key differs from the last record of its row");
    }

    // The same file merged a few records at a time, over many of the reader's batches.
    sync::Track batched("batched");
    Check(sync::LoadTrackFileInBatches(batched, path, 1 + size % 8), "a readable file must load in batches");
    Check(batched.KeyCount() == expected.KeyCount(), "key count differs when read in batches");
    for (const auto& [row, key] : expected.keys) {
        const sync::TrackKey* got = batched.FindKey(row);
        Check(got && std::memcmp(&got->value, &key.value, 4) == 0 && got->type == key.type,
              "a key read in batches differs from the last record of its row");
    }

    // Evaluation between, on and around the keys, and at rows no file names.
    const float rows[] = {-1.0f, 0.0f, 0.5f, 1.0f, 3.25f, 1e9f, -1e30f, INFINITY, NAN};
    for (float row : rows)
        (void)track.GetValue(row);
    for (const auto& [row, key] : track.keys) {
        (void)track.GetValue(static_cast<float>(row));
        (void)track.GetValue(static_cast<float>(row) + 0.5f);
    }
    ::unlink(path.c_str());
    return 0;
}
