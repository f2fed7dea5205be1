#pragma once
// Shared helpers of the data generator: errors, files, a seeded random generator.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace datagen {

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws Error("<file>:<line>: <message>").
[[noreturn]] void Fail(const std::string& file, int line, const std::string& message);

std::string ReadTextFile(const std::filesystem::path& path);
// Writes the whole file or nothing (beside the target, then renamed). A file that already
// holds these bytes is left alone; returns whether the file was written.
bool WriteFile(const std::filesystem::path& path, const void* data, size_t size);
inline bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    return WriteFile(path, bytes.data(), bytes.size());
}

// Splits on blanks and tabs; a word that begins with '#' starts a comment that runs to
// the end of the line.
std::vector<std::string> Tokenize(std::string_view line);
std::vector<std::string> SplitLines(const std::string& text);

double ParseNumber(const std::string& token, const std::string& file, int line);

// Small deterministic generator (PCG32), the same numbers on every platform.
class Rng {
public:
    explicit Rng(uint64_t seed) : mState(0), mInc((seed << 1u) | 1u) {
        Next();
        mState += 0x853c49e6748fea9bULL + seed;
        Next();
    }
    uint32_t Next() {
        uint64_t old = mState;
        mState = old * 6364136223846793005ULL + mInc;
        uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
        uint32_t rot = static_cast<uint32_t>(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((-rot) & 31));
    }
    // Uniform in [0, 1).
    double Uniform() { return Next() * (1.0 / 4294967296.0); }
    // Uniform in [-1, 1).
    double Signed() { return Uniform() * 2.0 - 1.0; }

private:
    uint64_t mState;
    uint64_t mInc;
};

}  // namespace datagen
