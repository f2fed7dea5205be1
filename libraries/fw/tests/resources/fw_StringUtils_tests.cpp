#include <gtest/gtest.h>

#include <vector>

#include "fw_StringUtils.h"

TEST(HexString, DigitsAndSignExtension) {
    EXPECT_EQ(ToHexString(255, 2), "0xff");
    EXPECT_EQ(ToHexString(255, 0), "0xff");
    EXPECT_EQ(ToHexString(40, 2), "0x28");
    EXPECT_EQ(ToHexString(-1, 4), "0xffff");
    EXPECT_EQ(ToHexString(-2, 4), "0xfffe");
    EXPECT_EQ(ToHexString(0x1234, 2), "0x1234");  // more digits than asked
    // -40000 does not fit in 4 hex digits sign-extended: shown whole.
    EXPECT_EQ(ToHexString(-40000, 4), "0xffffffffffff63c0");
    EXPECT_EQ(ToHexString(-1, 16), "0xffffffffffffffff");
    EXPECT_EQ(ToHexString(-1, 0), "0xffffffffffffffff");
    // Digit counts outside 0..16 are clamped.
    EXPECT_EQ(ToHexString(5, 40), "0x0000000000000005");
    EXPECT_EQ(ToHexString(5, -3), "0x5");
}

TEST(HexString, ThirtyTwoBitAlwaysEightDigits) {
    EXPECT_EQ(ToHexString32(0), "0x00000000");
    EXPECT_EQ(ToHexString32(-1), "0xffffffff");
    EXPECT_EQ(ToHexString32(INT32_MIN), "0x80000000");
    EXPECT_EQ(ToHexString32(0x1abc), "0x00001abc");
}

TEST(DecimalString, Grouping) {
    EXPECT_EQ(ToDecimalString(0, ','), "0");
    EXPECT_EQ(ToDecimalString(999, ','), "999");
    EXPECT_EQ(ToDecimalString(1000, ','), "1,000");
    EXPECT_EQ(ToDecimalString(1234567, ','), "1,234,567");
    EXPECT_EQ(ToDecimalString(-123456, ','), "-123,456");
    EXPECT_EQ(ToDecimalString(-1234, '.'), "-1.234");
    EXPECT_EQ(ToDecimalString(1234567, 0), "1234567");
    EXPECT_EQ(ToDecimalString(INT64_MIN, ','), "-9,223,372,036,854,775,808");
}

TEST(Base64, EncodeDecode) {
    EXPECT_EQ(Base64Encode(std::string("abc")), "YWJj");
    EXPECT_EQ(Base64Encode(std::string("ab")), "YWI=");
    EXPECT_EQ(Base64Encode(std::string("a")), "YQ==");
    EXPECT_EQ(Base64Encode(std::string()), "");
    EXPECT_EQ(Base64Decode(std::string("YWI=")), "ab");
    EXPECT_EQ(Base64Decode(std::string("YQ==")), "a");
    EXPECT_EQ(Base64Decode(std::string("YWJj\nYWJj")), "abcabc");
    EXPECT_EQ(Base64Decode(std::string("YWJj=YWJj")), "abc");  // '=' ends the input
}

TEST(Base64, RoundTripsEveryByteAndSkipsForeignCharacters) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
    // Bytes above 0x7F and other non-alphabet characters are skipped, never used as indices.
    EXPECT_EQ(Base64Decode(std::string("Y\xff"
                                       "W \x80Jj\r")),
              "abc");
}

TEST(Latin1, ToUtf8) {
    EXPECT_EQ(Latin1ToUtf8(std::string("\xE9")), "\xC3\xA9");
    EXPECT_EQ(Latin1ToUtf8(std::string("a\xFF"
                                       "b")),
              "a\xC3\xBF"
              "b");
    EXPECT_EQ(Latin1ToUtf8(std::string("plain")), "plain");
}

TEST(Binomial, MemoisesTheTermsItComputes) {
    std::vector<uint64_t> entries(10 * 5, 0);  // rows 0..9, stride 5
    BinomialTable table(entries.data(), 10);
    EXPECT_EQ(table.Get(5, 2), 10u);
    EXPECT_EQ(*table.Slot(4, 1), 4u);
    EXPECT_EQ(*table.Slot(4, 2), 6u);
    EXPECT_EQ(*table.Slot(3, 1), 3u);
    EXPECT_EQ(*table.Slot(5, 2), 0u);  // the result itself is not stored
    EXPECT_EQ(table.Slot(4, 3), table.Slot(4, 1));
    EXPECT_EQ(table.Get(5, 3), 10u);
    EXPECT_EQ(table.Get(0, 0), 1u);
    EXPECT_EQ(table.Get(7, 7), 1u);
    EXPECT_EQ(table.Get(3, 5), 0u);
}

TEST(Binomial, SlotsOutsideTheArrayAreNotWritten) {
    std::vector<uint64_t> entries(4 * 2, 0);  // rows 0..3
    BinomialTable table(entries.data(), 4);
    EXPECT_EQ(table.Slot(10, 3), nullptr);
    EXPECT_EQ(table.Slot(4, 1), nullptr);
    EXPECT_NE(table.Slot(3, 1), nullptr);
    EXPECT_EQ(table.Get(10, 3), 120u);
    EXPECT_EQ(table.Get(20, 10), 184756u);
    EXPECT_EQ(*table.Slot(3, 1), 3u);
    BinomialTable empty(nullptr, 0);
    EXPECT_EQ(empty.Get(6, 3), 20u);
}

TEST(Bits, LowThreeBits) {
    const uint32_t flags = 0b101;
    EXPECT_EQ(GetBit0(&flags), 1);
    EXPECT_EQ(GetBit1(&flags), 0);
    EXPECT_EQ(GetBit2(&flags), 1);
}
