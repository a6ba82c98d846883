#include "numeric-text.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct THexCase {
  const wchar_t* Text;
  bool Ok;
  std::uint32_t Value;
};

class TryHexStrToIntTest : public testing::TestWithParam<THexCase> {};

TEST_P(TryHexStrToIntTest, ReadsPrefixedHexAndZeroesOnFailure) {
  std::uint32_t value = 0xDEAD;
  EXPECT_EQ(TryHexStrToInt(GetParam().Text, value), GetParam().Ok);
  EXPECT_EQ(value, GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(Texts, TryHexStrToIntTest,
                         testing::Values(THexCase{L"0x1F", true, 31}, THexCase{L"$ff", true, 255},
                                         THexCase{L"0X10", true,
                                                  16}, // upper-case prefix accepted like "0x"
                                         THexCase{L"12G", false, 0}, THexCase{L"", true, 0},
                                         THexCase{L" 1A ", true, 26}, THexCase{L"0x$20", true, 32},
                                         THexCase{L"FFFFFFFF1", true, 0xFFFFFFF1u}, // 32-bit wrap
                                         THexCase{L"0x", true, 0}, THexCase{L"-1", false, 0}));

TEST(HexDigitsToIntTest, StopsAtTheFirstNonDigit) {
  EXPECT_EQ(HexDigitsToInt(L"1fz9"), 0x1Fu);
  EXPECT_EQ(HexDigitsToInt(L""), 0u);
  EXPECT_EQ(HexDigitsToInt(L"0x10"), 0u);
  EXPECT_EQ(HexDigitsToInt(L"C0"), 0xC0u);
}

TEST(TryParseIntTest, EmptyIsZeroAndOtherTextsUseTheIntegerConversion) {
  std::int32_t v32 = 9;
  EXPECT_TRUE(TryParseInt(L"", v32));
  EXPECT_EQ(v32, 0);
  EXPECT_TRUE(TryParseInt(L"-12", v32));
  EXPECT_EQ(v32, -12);
  EXPECT_TRUE(TryParseInt(L"$10", v32));
  EXPECT_EQ(v32, 16);
  EXPECT_FALSE(TryParseInt(L"2147483648", v32));
  EXPECT_FALSE(TryParseInt(L"12a", v32));
  std::int64_t v64 = 0;
  EXPECT_TRUE(TryParseInt64(L"-9223372036854775808", v64));
  EXPECT_EQ(v64, INT64_MIN);
  EXPECT_FALSE(TryParseInt64(L"9223372036854775808", v64));
}

struct TSizeCase {
  const wchar_t* Text;
  bool Ok;
  std::int64_t Value;
};

class TryParseSizeTest : public testing::TestWithParam<TSizeCase> {};

TEST_P(TryParseSizeTest, ReadsSizesWithSuffixesAndSeparators) {
  std::int64_t value = -1;
  EXPECT_EQ(TryParseSize(GetParam().Text, value), GetParam().Ok);
  EXPECT_EQ(value, GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TryParseSizeTest,
    testing::Values(TSizeCase{L"0x10k", true, 16384}, TSizeCase{L"1M", true, 1048576},
                    TSizeCase{L"64_k", true, 65536}, TSizeCase{L"12mk", true, 12 * 0x100000LL},
                    TSizeCase{L"0X20", true, 32}, TSizeCase{L"0X2_0K", true, 32 * 1024},
                    TSizeCase{L"4096", true, 4096}, TSizeCase{L"", true, 0},
                    TSizeCase{L"0x1_0000_0000", true, 0x100000000LL}, TSizeCase{L"abc", false, 0},
                    TSizeCase{L"0x1G", false, 0}, TSizeCase{L"k", true, 0},
                    TSizeCase{L"12kb", false, 0}, TSizeCase{L"0x10000000000000000", false, 0},
                    TSizeCase{L"9223372036854775807k", false, 0}));

TEST(ParseSizeTest, AnswersTheLow32BitsOrZero) {
  EXPECT_EQ(ParseSize(L"0x1_0000_0010"), 0x10u);
  EXPECT_EQ(ParseSize(L"2k"), 2048u);
  EXPECT_EQ(ParseSize(L"junk"), 0u);
}

struct TBinCase {
  std::uint32_t Value;
  int Width;
  const wchar_t* Plain;
  const wchar_t* Grouped;
};

class BinaryTextTest : public testing::TestWithParam<TBinCase> {};

TEST_P(BinaryTextTest, WritesWidthDigitsGroupedFromTheLeastSignificantBit) {
  EXPECT_EQ(IntToBinStr(GetParam().Value, GetParam().Width), GetParam().Plain);
  EXPECT_EQ(IntToGroupedBinStr(GetParam().Value, GetParam().Width), GetParam().Grouped);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BinaryTextTest,
    testing::Values(TBinCase{5, 4, L"0101", L"0101"}, TBinCase{0x5A, 8, L"01011010", L"0101-1010"},
                    TBinCase{0x2A, 6, L"101010", L"10-1010"},
                    TBinCase{0x1F, 5, L"11111", L"1-1111"}, TBinCase{0xFFFFFFFF, 1, L"1", L"1"},
                    TBinCase{0x12345678, 0, L"00010010001101000101011001111000",
                             L"0001-0010-0011-0100-0101-0110-0111-1000"},
                    TBinCase{0x12345678, 32, L"00010010001101000101011001111000",
                             L"0001-0010-0011-0100-0101-0110-0111-1000"},
                    TBinCase{3, -1, L"00000000000000000000000000000011",
                             L"0000-0000-0000-0000-0000-0000-0000-0011"},
                    TBinCase{0x300, 10, L"1100000000", L"11-0000-0000"}));

TEST(IntToHex0xTest, WritesUpperCaseWithAtLeastTheDigits) {
  EXPECT_EQ(IntToHex0x(255, 4), L"0x00FF");
  EXPECT_EQ(IntToHex0x(0x1ABCD, 2), L"0x1ABCD");
  EXPECT_EQ(IntToHex0x(-1, 0), L"0xFFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex0x(0x20000000, 8), L"0x20000000");
}

TEST(ScaleColorTest, ScalesEachChannelRoundingToEvenAndClamps) {
  EXPECT_EQ(ScaleColor(0xFFFFFF, 0.97), 0xF7F7F7);
  EXPECT_EQ(ScaleColor(0x804020, 2.0), 0xFF8040);
  EXPECT_EQ(ScaleColor(0x804020, -1.0), 0);
  EXPECT_EQ(ScaleColor(0x070505, 0.5), 0x040202); // 2.5 -> 2, 3.5 -> 4
  const TColor systemWindow = TColor(0x80000000u | COLOR_WINDOW);
  EXPECT_EQ(ScaleColor(systemWindow, 1.0), TColor(GetSysColor(COLOR_WINDOW)));
}

} // namespace
