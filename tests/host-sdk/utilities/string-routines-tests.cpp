#include "memory-array.h"
#include "sorted-string-list.h"
#include "string-routines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

namespace {

struct TCompareCase {
  const wchar_t* S1;
  const wchar_t* S2;
  bool CaseSensitive;
  int Expected;
};

class LogicalCompareTest : public testing::TestWithParam<TCompareCase> {};

TEST_P(LogicalCompareTest, OrdersNumbersByValueThenByPlainText) {
  const TCompareCase& c = GetParam();
  EXPECT_EQ(LogicalCompare(c.S1, c.S2, c.CaseSensitive), c.Expected);
  EXPECT_EQ(LogicalCompare(c.S2, c.S1, c.CaseSensitive), -c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, LogicalCompareTest,
    testing::Values(TCompareCase{L"item2", L"item10", false, -1},
                    TCompareCase{L"Item2", L"item2", true, -1},
                    TCompareCase{L"Item2", L"item2", false, 0},
                    // The logical pass ties; the plain order decides.
                    TCompareCase{L"x007", L"x7", false, -1}, TCompareCase{L"a 1", L"a1", false, -1},
                    TCompareCase{L"abc", L"abc", true, 0}, TCompareCase{L"", L"a", false, -1},
                    TCompareCase{L"", L"", false, 0}, TCompareCase{L"abc", L"abcd", false, -1},
                    TCompareCase{L"file9.txt", L"file10.txt", false, -1},
                    TCompareCase{L"a10b2", L"a10b10", false, -1},
                    TCompareCase{L"v1.10", L"v1.9", false, 1}, TCompareCase{L"2", L"a", false, -1},
                    TCompareCase{L"  b", L"a", false, 1},
                    TCompareCase{L"chip100", L"chip99x", false, 1}));

TEST(LogicalCompareSort, SortsNamesNaturally) {
  std::vector<std::wstring> names = {L"lm3s10", L"LM3S2", L"lm3s1", L"lm3s2a", L"lm3s100"};
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return LogicalCompare(a, b, false) < 0;
  });
  EXPECT_EQ(names,
            (std::vector<std::wstring>{L"lm3s1", L"LM3S2", L"lm3s2a", L"lm3s10", L"lm3s100"}));
}

struct TCutCase {
  const wchar_t* Text;
  const wchar_t* Delimiter;
  const wchar_t* Token;
  const wchar_t* Rest;
};

class CutTokenTest : public testing::TestWithParam<TCutCase> {};

TEST_P(CutTokenTest, CutsAtTheFirstWholeDelimiter) {
  std::wstring text = GetParam().Text;
  std::wstring token = L"stale";
  CutToken(text, GetParam().Delimiter, token);
  EXPECT_EQ(token, GetParam().Token);
  EXPECT_EQ(text, GetParam().Rest);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CutTokenTest,
    testing::Values(TCutCase{L"a::b::c", L"::", L"a", L"b::c"}, TCutCase{L"abc", L",", L"abc", L""},
                    TCutCase{L"A,b", L"a", L"A,b", L""}, TCutCase{L",x", L",", L"", L"x"},
                    TCutCase{L"x,", L",", L"x", L""}, TCutCase{L"abc", L"", L"abc", L""},
                    TCutCase{L"", L",", L"", L""}));

TEST(BackPosTest, FindsTheLastOccurrenceStartingAtOrBeforeTheIndex) {
  EXPECT_EQ(BackPos(L"ab", L"xabxab", 5), 5); // starts exactly at the index
  EXPECT_EQ(BackPos(L"ab", L"xabxab", 6), 5); // would run past the end at 6
  EXPECT_EQ(BackPos(L"ab", L"xabxab", 4), 2);
  EXPECT_EQ(BackPos(L"ab", L"xabxab", 1), 0);
  EXPECT_EQ(BackPos(L"abc", L"ab", 1), 0);
  EXPECT_EQ(BackPos(L"", L"x", 1), 0);
  EXPECT_EQ(BackPos(L"x", L"", 1), 0);
  EXPECT_EQ(BackPos(L"b", L"abc", 99), 2); // an index past the end reads nothing outside
}

TEST(AppendPathDelimiterTest, AddsOneBackslashToNonEmptyPaths) {
  EXPECT_EQ(AppendPathDelimiter(L""), L"");
  EXPECT_EQ(AppendPathDelimiter(L"C:\\x"), L"C:\\x\\");
  EXPECT_EQ(AppendPathDelimiter(L"C:\\x\\"), L"C:\\x\\");
}

TEST(WideToAnsiStringTest, ConvertsPlainText) {
  EXPECT_EQ(WideToAnsiString(L"Orvandel 1.0"), "Orvandel 1.0");
  EXPECT_EQ(WideToAnsiString(L""), "");
}

std::vector<std::wstring> Lowered(const TSortedStringList& AList) {
  std::vector<std::wstring> out;
  for (const std::wstring& s : AList) {
    std::wstring l = s;
    for (wchar_t& c : l)
      c = wchar_t(std::towlower(c));
    out.push_back(l);
  }
  return out;
}

TEST(SortedStringListTest, KeepsCaseBlindOrderWithDuplicates) {
  TSortedStringList list;
  for (const wchar_t* s : {L"b", L"A", L"c", L"a", L"B"})
    list.Add(s);
  EXPECT_EQ(Lowered(list), (std::vector<std::wstring>{L"a", L"a", L"b", L"b", L"c"}));
  EXPECT_EQ(list.IndexOf(L"C"), 4);
  EXPECT_EQ(list.IndexOf(L"B"), 2);
  EXPECT_EQ(list.IndexOf(L"d"), -1);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 4);
}

TEST(SortedUniqueStringListTest, AddingAnExistingTextInAnyCaseChangesNothing) {
  TSortedUniqueStringList list;
  EXPECT_EQ(list.Add(L"ABC"), 0);
  EXPECT_EQ(list.Add(L"xyz"), 1);
  EXPECT_EQ(list.Add(L"Abc"), 0);
  EXPECT_EQ(list.Add(L"abd"), 1);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], L"ABC");
  EXPECT_EQ(list[1], L"abd");
}

TEST(MemoryArrayTest, AllocatesZeroedCellsBeyondTheNominalLength) {
  const std::size_t count = MemoryArrayLength + 100;
  PMemoryArray block = AllocMemoryArray(count);
  EXPECT_TRUE(std::all_of(block, block + count, [](std::uint32_t v) { return v == 0; }));
  std::fill_n(block, count, 0xA5A5A5A5u);
  ClearMemoryArray(block);
  EXPECT_TRUE(
      std::all_of(block, block + MemoryArrayLength, [](std::uint32_t v) { return v == 0; }));
  EXPECT_EQ(block[MemoryArrayLength], 0xA5A5A5A5u); // only the nominal cells
  FreeMemoryArray(block);
}

TEST(ExtractByteTest, ShiftsByWholeBytesModulo32) {
  const std::uint32_t word = 0x11223344;
  EXPECT_EQ(ExtractByte(0, word) & 0xFF, 0x44u);
  EXPECT_EQ(ExtractByte(1, word) & 0xFF, 0x33u);
  EXPECT_EQ(ExtractByte(3, word) & 0xFF, 0x11u);
  EXPECT_EQ(ExtractByte(4, word) & 0xFF, 0x44u);
  EXPECT_EQ(ExtractByte(2, word), 0x1122u);
}

} // namespace
