#include "sync/track.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/regular_file.h"

namespace sync {

namespace {

uint32_t LoadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

struct Record {
    uint32_t row;
    TrackKey key;
};

// Merges a batch of records, in file order, into the keys: sorted by row (stably, so that
// the later of two records of a row is stored last and wins), then walked in step with the
// keys and inserted at the place found, each in constant time.
void MergeBatch(Track::KeyMap& keys, std::vector<Record>& batch) {
    std::stable_sort(batch.begin(), batch.end(), [](const Record& a, const Record& b) { return a.row < b.row; });
    auto at = keys.begin();
    for (const Record& r : batch) {
        while (at != keys.end() && at->first < r.row)
            ++at;
        at = keys.insert_or_assign(at, r.row, r.key);
    }
    batch.clear();
}

}  // namespace

bool LoadTrackFileInBatches(Track& track, const std::string& path, size_t minBatch) {
    RegularFileRead status;
    const int fd = OpenRegularFile(path, status);
    if (fd < 0)
        return false;
    std::unique_ptr<FILE, FileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return false;
    }

    unsigned char header[kTrackHeaderBytes];
    if (std::fread(header, sizeof header, 1, file.get()) != 1)
        return true;  // opened, but not even a count: no keys
    uint32_t remaining = LoadU32(header);

    // A count larger than the file holds stops at the first incomplete record. Records are
    // merged a batch at a time; a batch holds as many records as there are keys (at least
    // minBatch), so that each merge's walk over the keys costs no more than the batch, and
    // what is held besides the keys stays below their own size whatever the count says.
    const size_t minRecords = std::max<size_t>(minBatch, 1);
    std::vector<unsigned char> bytes;
    std::vector<Record> batch;
    bool atEnd = false;
    while (remaining > 0 && !atEnd) {
        const size_t want = std::min<size_t>(remaining, minRecords);
        bytes.resize(want * kTrackRecordBytes);
        const size_t got = std::fread(bytes.data(), kTrackRecordBytes, want, file.get());
        for (size_t i = 0; i < got; ++i) {
            const unsigned char* record = bytes.data() + i * kTrackRecordBytes;
            Record r;
            r.row = LoadU32(record);
            const uint32_t bits = LoadU32(record + 4);
            std::memcpy(&r.key.value, &bits, sizeof r.key.value);
            r.key.type = record[8];
            batch.push_back(r);
        }
        remaining -= static_cast<uint32_t>(got);
        atEnd = got < want;
        if (batch.size() >= std::max(minRecords, track.keys.size()))
            MergeBatch(track.keys, batch);
    }
    MergeBatch(track.keys, batch);
    return true;
}

bool LoadTrackFile(Track& track, const std::string& path) {
    return LoadTrackFileInBatches(track, path, kTrackReadBatch);
}

}  // namespace sync
