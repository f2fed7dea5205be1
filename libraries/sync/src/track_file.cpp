#include "sync/track.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace sync {

namespace {

uint32_t LoadU32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

bool LoadTrackFile(Track& track, const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;

    unsigned char header[4];
    if (std::fread(header, sizeof header, 1, file.get()) != 1)
        return true; // opened, but not even a count: no keys
    const uint32_t count = LoadU32(header);

    // A count larger than the file holds stops at the first incomplete record.
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char record[9];
        if (std::fread(record, sizeof record, 1, file.get()) != 1)
            break;
        TrackKey key;
        const uint32_t row = LoadU32(record);
        const uint32_t bits = LoadU32(record + 4);
        std::memcpy(&key.value, &bits, sizeof key.value);
        key.type = record[8];
        track.SetKey(row, key);
    }
    return true;
}

} // namespace sync
