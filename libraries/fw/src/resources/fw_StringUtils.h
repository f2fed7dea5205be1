#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// "0x" and the value in lower-case hex, at least `digits` digits (clamped to 0..16);
// a negative value that fits in `digits` digits as a sign-extended number is shown in
// exactly that many.
std::string ToHexString(int64_t value, int32_t digits);
std::string ToHexString32(int32_t value);
// Decimal with `separator` between groups of three digits (0: no grouping).
std::string ToDecimalString(int64_t value, char separator);

std::string Base64Encode(const void* bytes, size_t count);
std::string Base64Encode(const std::string& bytes);
// Line ends and characters outside the alphabet are skipped; '=' ends the input.
std::string Base64Decode(const char* text, size_t count);
std::string Base64Decode(const std::string& text);

std::string Latin1ToUtf8(const void* bytes, size_t count);
std::string Latin1ToUtf8(const std::string& bytes);

// Memoised binomial coefficients over a caller's array (0 = not computed yet). The
// array holds `size` rows of size / 2 entries: rows n = 0 .. size - 1.
class BinomialTable {
public:
    BinomialTable(uint64_t* entries, uint64_t size);
    // The entry for (n, k), shared with (n, n - k); null for n >= size or k > n.
    uint64_t* Slot(uint64_t n, uint64_t k) const;
    uint64_t Get(uint64_t n, uint64_t k);

private:
    uint64_t* mEntries;
    uint64_t mSize;
    uint64_t mStride;
};

int GetBit0(const uint32_t* flags);
int GetBit1(const uint32_t* flags);
int GetBit2(const uint32_t* flags);
