#include "sync/track.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_text.h"
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

using Entry = Track::Entry;

// Sorts a batch of records, in file order, by row (stably) and keeps the last record of
// each row.
void SortBatch(std::vector<Entry>& batch) {
    std::stable_sort(batch.begin(), batch.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
    auto out = batch.begin();
    for (const Entry& e : batch) {
        if (out != batch.begin() && std::prev(out)->first == e.first)
            *std::prev(out) = e;
        else
            *out++ = e;
    }
    batch.erase(out, batch.end());
}

// Merges a batch into the keys in place, from the back: a record replaces the key of its
// row. The keys grow to exactly the rows they hold.
void MergeBatch(Track::KeyMap& keys, std::vector<Entry>& batch) {
    SortBatch(batch);
    size_t added = 0;
    auto at = keys.cbegin();
    for (const Entry& e : batch) {
        while (at != keys.cend() && at->first < e.first)
            ++at;
        added += at == keys.cend() || at->first != e.first;
    }
    size_t from = keys.size();
    if (from + added > keys.capacity())
        keys.reserve(from + added);
    keys.resize(from + added);
    size_t to = keys.size();
    for (size_t b = batch.size(); b > 0;) {
        if (from > 0 && keys[from - 1].first > batch[b - 1].first) {
            keys[--to] = keys[--from];
            continue;
        }
        if (from > 0 && keys[from - 1].first == batch[b - 1].first)
            --from;
        keys[--to] = batch[--b];
    }
    batch.clear();
}

}  // namespace

bool LoadTrackFileInBatches(Track& track, const std::string& path, size_t minBatch, std::string* refusal) {
    RegularFileRead status;
    uint64_t size = 0;
    const int fd = OpenRegularFile(path, status, nullptr, &size);
    if (fd < 0)
        return false;
    if (size > kMaxTrackFileBytes) {
        ::close(fd);
        if (refusal)
            *refusal = EscapeFileText(path) + " is larger than " + std::to_string(kMaxTrackFileBytes) + " bytes";
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return false;
    }

    unsigned char header[kTrackHeaderBytes];
    if (std::fread(header, sizeof header, 1, file.get()) != 1)
        return true;  // opened, but not even a count: no keys
    // A count larger than the file holds stops at the last complete record (or earlier, at
    // the first incomplete one, should the file shrink meanwhile).
    const uint64_t held = size >= kTrackHeaderBytes ? (size - kTrackHeaderBytes) / kTrackRecordBytes : 0;
    size_t remaining = static_cast<size_t>(std::min<uint64_t>(LoadU32(header), held));

    // Records are merged a batch at a time; a batch holds as many records as there are keys
    // (at least minBatch), so that each merge's walk over the keys costs no more than the
    // batch, and what is held besides the keys stays within their own size.
    const size_t minRecords = std::max<size_t>(minBatch, 1);
    std::vector<unsigned char> bytes;
    std::vector<Entry> batch;
    bool atEnd = false;
    while (remaining > 0 && !atEnd) {
        const size_t batchRecords = std::min(remaining, std::max(minRecords, track.keys.size()));
        batch.reserve(batchRecords);
        while (batch.size() < batchRecords) {
            const size_t want = std::min(batchRecords - batch.size(), minRecords);
            bytes.resize(want * kTrackRecordBytes);
            const size_t got = std::fread(bytes.data(), kTrackRecordBytes, want, file.get());
            for (size_t i = 0; i < got; ++i) {
                const unsigned char* record = bytes.data() + i * kTrackRecordBytes;
                Entry e;
                e.first = LoadU32(record);
                const uint32_t bits = LoadU32(record + 4);
                std::memcpy(&e.second.value, &bits, sizeof e.second.value);
                e.second.type = record[8];
                batch.push_back(e);
            }
            if (got < want) {
                atEnd = true;
                break;
            }
        }
        remaining -= batch.size();
        MergeBatch(track.keys, batch);
    }
    return true;
}

bool LoadTrackFile(Track& track, const std::string& path, std::string* refusal) {
    return LoadTrackFileInBatches(track, path, kTrackReadBatch, refusal);
}

}  // namespace sync
