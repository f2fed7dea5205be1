#pragma once
// Writes track files byte by byte in the on-disk layout, for the tests.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace sync_test {

struct Record {
    uint32_t row;
    float value;
    uint8_t type;
};

inline void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline std::string TrackBytes(uint32_t count, const std::vector<Record>& records) {
    std::string out;
    PutU32(out, count);
    for (const Record& r : records) {
        PutU32(out, r.row);
        uint32_t bits;
        std::memcpy(&bits, &r.value, 4);
        PutU32(out, bits);
        out.push_back(static_cast<char>(r.type));
    }
    return out;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace sync_test
