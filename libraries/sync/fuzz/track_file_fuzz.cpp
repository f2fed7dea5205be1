// Fuzzes the track-file reader (LoadTrackFile) and the evaluation of what it read. An input
// whose count has its top bit set is also read spread over more than two of the reader's
// batches: its records repeated, each batch's with other values, and compared with the
// records stored one by one in file order.
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

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "track file reader: %s\n", what);
        std::abort();
    }
}

} // namespace

// Loads `bytes` and compares the track with the records of `bytes` stored one by one.
void LoadAndCompare(const std::string& path, const std::string& bytes, uint64_t records) {
    FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr, "cannot write the track file");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    sync::Track track("spread");
    Check(sync::LoadTrackFile(track, path), "a readable file must load");
    sync::Track expected("expected");
    for (uint64_t i = 0; i < records; ++i) {
        const uint8_t* r = reinterpret_cast<const uint8_t*>(bytes.data()) + sync::kTrackHeaderBytes +
                           sync::kTrackRecordBytes * i;
        sync::TrackKey key;
        const uint32_t bits = U32(r + 4);
        std::memcpy(&key.value, &bits, 4);
        key.type = r[8];
        expected.SetKey(U32(r), key);
    }
    Check(track.KeyCount() == expected.KeyCount(), "key count differs from the records spread over batches");
    for (const auto& [row, key] : expected.keys) {
        const sync::TrackKey* got = track.FindKey(row);
        Check(got && std::memcmp(&got->value, &key.value, 4) == 0 && got->type == key.type,
              "a key differs from the last record of its row, spread over batches");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    sync::Track track("fuzz");
    Check(sync::LoadTrackFile(track, path), "a readable file must load");

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

    if ((count & 0x80000000u) && used > 0) {
        const uint64_t records = 2 * sync::kTrackReadBatch + used;
        std::string bytes(sync::kTrackHeaderBytes + sync::kTrackRecordBytes * records, '\0');
        for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>(records >> (8 * i));
        for (uint64_t i = 0; i < records; ++i) {
            char* r = &bytes[sync::kTrackHeaderBytes + sync::kTrackRecordBytes * i];
            std::memcpy(r, data + kTrackHeaderBytes + kTrackRecordBytes * (i % used), kTrackRecordBytes);
            r[4] = static_cast<char>(r[4] ^ (i / sync::kTrackReadBatch)); // another value a batch
        }
        LoadAndCompare(path, bytes, records);
    }

    // Evaluation between, on and around the keys, and at rows no file names.
    const float rows[] = {-1.0f, 0.0f, 0.5f, 1.0f, 3.25f, 1e9f, -1e30f, INFINITY, NAN};
    for (float row : rows) (void)track.GetValue(row);
    for (const auto& [row, key] : track.keys) {
        (void)track.GetValue(static_cast<float>(row));
        (void)track.GetValue(static_cast<float>(row) + 0.5f);
    }
    ::unlink(path.c_str());
    return 0;
}
