#include "xp-strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct TNaturalCase {
  const wchar_t* Text1;
  const wchar_t* Text2;
  int Expected;
};

class AlphaNumericCompareTest : public testing::TestWithParam<TNaturalCase> {};

TEST_P(AlphaNumericCompareTest, OrdersNaturallyBothWays) {
  const TNaturalCase& c = GetParam();
  EXPECT_EQ(AlphaNumericCompare(c.Text1, c.Text2), c.Expected);
  EXPECT_EQ(AlphaNumericCompare(c.Text2, c.Text1), -c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, AlphaNumericCompareTest,
    testing::Values(TNaturalCase{L"Item 2", L"Item 10", -1},
                    // The first tokens differ in case only: CompareText calls them equal
                    // and the numbers are never reached.
                    TNaturalCase{L"Item 10", L"item 9", 0},
                    TNaturalCase{L"a 1", L"a1", 0},         // spaces go before tokenising
                    TNaturalCase{L"A1", L"a1", 0},          // differing tokens fall to CompareText
                    TNaturalCase{L"1.5", L"1.10", 1},       // both numbers: by value
                    TNaturalCase{L"1.0", L"1", 0},          //
                    TNaturalCase{L"", L"0", 0},             // the empty text is the number 0
                    TNaturalCase{L"", L"abc", -1},          // no digits: CompareText
                    TNaturalCase{L"-5x", L"-3x", -1},       // the sign belongs to the first token
                    TNaturalCase{L"v1.2.3", L"v1.2.10", 1}, // no numbers: CompareText
                    TNaturalCase{L"abc", L"ABD", -1},       //
                    TNaturalCase{L"x9", L"x10", -1},        //
                    TNaturalCase{L"1e3", L"999", 1},        // an exponent is part of a number
                    TNaturalCase{L"0x10", L"2", -1},        // hexadecimal is no number here
                    TNaturalCase{L"same", L"same", 0}));

TEST(AlphaNumericCompareSort, PutsItem2BeforeItem10) {
  std::vector<std::wstring> items = {L"Item 10", L"Item 1", L"Item 2", L"Item 100"};
  std::sort(items.begin(), items.end(), [](const std::wstring& a, const std::wstring& b) {
    return AlphaNumericCompare(a, b) < 0;
  });
  EXPECT_EQ(items, (std::vector<std::wstring>{L"Item 1", L"Item 2", L"Item 10", L"Item 100"}));
}

struct TAccelCase {
  const wchar_t* Caption;
  const wchar_t* Shown;
  int Position;
};

class RemoveAccelCharsTest : public testing::TestWithParam<TAccelCase> {};

TEST_P(RemoveAccelCharsTest, RemovesPrefixesAndFindsTheAcceleratedCharacter) {
  std::wstring text = GetParam().Caption;
  EXPECT_EQ(RemoveAccelChars(text), GetParam().Position);
  EXPECT_EQ(text, GetParam().Shown);
  EXPECT_EQ(StripAccelChars(GetParam().Caption), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, RemoveAccelCharsTest,
    testing::Values(TAccelCase{L"&File", L"File", 1},
                    TAccelCase{L"Save && Exit", L"Save & Exit", 0},
                    TAccelCase{L"a&b&c", L"abc", 3}, // the last single "&" counts
                    TAccelCase{L"End&", L"End", 4},  // just past the end
                    TAccelCase{L"&&&x", L"&x", 2},   // a literal "&", then x accelerated
                    TAccelCase{L"Plain", L"Plain", 0}, TAccelCase{L"", L"", 0}));

TEST(ExcludeTrailingBackslashTest, DropsOnlyOneTrailingBackslash) {
  EXPECT_EQ(ExcludeTrailingBackslash(L"Software\\Orvandel\\"), L"Software\\Orvandel");
  EXPECT_EQ(ExcludeTrailingBackslash(L"a\\\\"), L"a\\");
  EXPECT_EQ(ExcludeTrailingBackslash(L"a\\b"), L"a\\b");
  EXPECT_EQ(ExcludeTrailingBackslash(L""), L"");
}

} // namespace
