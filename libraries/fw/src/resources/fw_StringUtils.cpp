#include "fw_StringUtils.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

std::string ToHexString(int64_t value, int32_t digits) {
    digits = std::clamp(digits, 0, 16);
    char buffer[32];
    if (digits == 0) {
        std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
        return buffer;
    }
    uint64_t bits = static_cast<uint64_t>(value);
    if (value < 0 && digits < 16) {
        const uint64_t high = ~uint64_t{0} << (4 * digits - 1);
        if ((bits & high) == high)
            bits &= ~(~uint64_t{0} << (4 * digits));
    }
    std::snprintf(buffer, sizeof buffer, "0x%0*llx", digits, static_cast<unsigned long long>(bits));
    return buffer;
}

std::string ToHexString32(int32_t value) {
    return ToHexString(static_cast<int64_t>(value), 8);
}

std::string ToDecimalString(int64_t value, char separator) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    std::string digits = buffer;
    if (separator == 0)
        return digits;
    const size_t first = (digits[0] == '-') ? 1 : 0;
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    size_t count = 0;
    for (size_t i = digits.size(); i-- > first;) {
        if (count != 0 && count % 3 == 0)
            out.push_back(separator);
        out.push_back(digits[i]);
        ++count;
    }
    if (first)
        out.push_back('-');
    std::reverse(out.begin(), out.end());
    return out;
}

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct ReverseTable {
    unsigned char value[256];
    ReverseTable() {
        std::fill(std::begin(value), std::end(value), 64);
        for (int i = 0; i < 64; ++i)
            value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<unsigned char>(i);
    }
};

}  // namespace

std::string Base64Encode(const void* bytes, size_t count) {
    const auto* in = static_cast<const unsigned char*>(bytes);
    std::string out;
    out.reserve((count + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const uint32_t v = in[i] << 16 | in[i + 1] << 8 | in[i + 2];
        out.push_back(kAlphabet[v >> 18]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    const size_t rest = count - i;
    if (rest) {
        const uint32_t v = in[i] << 16 | (rest == 2 ? in[i + 1] << 8 : 0);
        out.push_back(kAlphabet[v >> 18]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::string Base64Encode(const std::string& bytes) {
    return Base64Encode(bytes.data(), bytes.size());
}

std::string Base64Decode(const char* text, size_t count) {
    static const ReverseTable table;
    std::string out;
    out.reserve((count + 3) / 4 * 3);
    uint32_t group = 0;
    int have = 0;
    for (size_t i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '=')
            break;
        const unsigned char v = table.value[c];
        if (v == 64)
            continue;  // line ends and anything outside the alphabet
        group = group << 6 | v;
        if (++have == 4) {
            out.push_back(static_cast<char>(group >> 16));
            out.push_back(static_cast<char>(group >> 8));
            out.push_back(static_cast<char>(group));
            group = 0;
            have = 0;
        }
    }
    if (have >= 2) {
        group <<= 6 * (4 - have);
        out.push_back(static_cast<char>(group >> 16));
        if (have == 3)
            out.push_back(static_cast<char>(group >> 8));
    }
    return out;
}

std::string Base64Decode(const std::string& text) {
    return Base64Decode(text.data(), text.size());
}

std::string Latin1ToUtf8(const void* bytes, size_t count) {
    const auto* in = static_cast<const unsigned char*>(bytes);
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

std::string Latin1ToUtf8(const std::string& bytes) {
    return Latin1ToUtf8(bytes.data(), bytes.size());
}

BinomialTable::BinomialTable(uint64_t* entries, uint64_t size) : mEntries(entries), mSize(size), mStride(size / 2) {}

uint64_t* BinomialTable::Slot(uint64_t n, uint64_t k) const {
    if (k > n || n >= mSize || mEntries == nullptr)
        return nullptr;
    const uint64_t column = std::min(k, n - k);
    if (column >= mStride)
        return nullptr;  // size 0 or 1: no room for any entry
    return &mEntries[n * mStride + column];
}

uint64_t BinomialTable::Get(uint64_t n, uint64_t k) {
    if (k > n)
        return 0;
    if (k == 0 || k == n)
        return 1;
    auto term = [this](uint64_t tn, uint64_t tk) {
        uint64_t* slot = Slot(tn, tk);
        if (slot && *slot != 0)
            return *slot;
        const uint64_t value = Get(tn, tk);
        if (slot)
            *slot = value;
        return value;
    };
    return term(n - 1, k - 1) + term(n - 1, k);
}

int GetBit0(const uint32_t* flags) {
    return static_cast<int>(*flags & 1u);
}
int GetBit1(const uint32_t* flags) {
    return static_cast<int>((*flags >> 1) & 1u);
}
int GetBit2(const uint32_t* flags) {
    return static_cast<int>((*flags >> 2) & 1u);
}
