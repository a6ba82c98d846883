#include "parameter-list.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::wstring Normalised(const std::wstring& AText) {
  TParameterList list;
  list.SetState(AText);
  return list.GetState();
}

struct TRoundTripCase {
  const wchar_t* Text;
  const wchar_t* Written;
};

class ParameterTextRoundTrip : public testing::TestWithParam<TRoundTripCase> {};

TEST_P(ParameterTextRoundTrip, ReadsAndWritesTheNormalisedForm) {
  EXPECT_EQ(Normalised(GetParam().Text), GetParam().Written);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParameterTextRoundTrip,
    testing::Values(TRoundTripCase{L"", L""}, TRoundTripCase{L"a=1|b=2", L"a=1|b=2"},
                    TRoundTripCase{L"a=1|b=2|", L"a=1|b=2"},
                    TRoundTripCase{L"a=1||b=2", L"a=1|b=2"}, TRoundTripCase{L"a=x=y", L"a=x=y"},
                    TRoundTripCase{L"name|b=2", L"b=2"}, TRoundTripCase{L"=v|b=2", L"b=2"},
                    TRoundTripCase{L"  \t=1|c=3", L"c=3"},
                    TRoundTripCase{L" a b = c d |x=\t", L"a b=c d|x= "},
                    TRoundTripCase{L"a=|b=2", L"a= |b=2"}, TRoundTripCase{L"a= ", L"a= "},
                    TRoundTripCase{L"a=1|a=2", L"a=1|a=2"}, TRoundTripCase{L"a=1|b", L"a=1"}));

TEST(ParameterText, EndsAtTheFirstNul) {
  EXPECT_EQ(Normalised(std::wstring(L"a=1\0b=2", 7)), L"a=1");
}

struct TLookupCase {
  const wchar_t* Text;
  const wchar_t* Name;
  bool Found;
  const wchar_t* Value;
};

class ParameterLookup : public testing::TestWithParam<TLookupCase> {};

TEST_P(ParameterLookup, FindsTheFirstPairByTrimmedAsciiCaseBlindName) {
  TParameterList list;
  list.SetState(GetParam().Text);
  std::wstring value = L"untouched";
  EXPECT_EQ(list.GetState_ParameterAsString(GetParam().Name, value), GetParam().Found);
  EXPECT_EQ(value, GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(Names, ParameterLookup,
                         testing::Values(TLookupCase{L"Action=Run", L"ACTION", true, L"Run"},
                                         TLookupCase{L" a =1", L"  a\t", true, L"1"},
                                         TLookupCase{L"a=1|A=2", L"a", true, L"1"},
                                         TLookupCase{L"a=", L"a", true, L""},
                                         TLookupCase{L"a=1", L"b", false, L""},
                                         TLookupCase{L"a=1", L"a1", false, L""},
                                         // Only ASCII letters fold.
                                         TLookupCase{L"\u00C4=1", L"\u00E4", false, L""},
                                         TLookupCase{L"\u00C4=1", L"\u00C4", true, L"1"}));

struct TBooleanCase {
  const wchar_t* Value;
  bool Expected;
};

class ParameterBoolean : public testing::TestWithParam<TBooleanCase> {};

TEST_P(ParameterBoolean, OnlyTheWordTrueIgnoringCaseIsTrue) {
  TParameterList list;
  list.SetState(std::wstring(L"Flag=") + GetParam().Value);
  bool value = !GetParam().Expected;
  EXPECT_TRUE(list.GetState_ParameterAsBoolean(L"flag", value));
  EXPECT_EQ(value, GetParam().Expected);
  std::int16_t wordBool = 7;
  EXPECT_TRUE(list.GetState_ParameterAsWordBool(L"flag", wordBool));
  EXPECT_EQ(wordBool, GetParam().Expected ? -1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Words, ParameterBoolean,
                         testing::Values(TBooleanCase{L"True", true}, TBooleanCase{L"true", true},
                                         TBooleanCase{L"TRUE", true}, TBooleanCase{L" True ", true},
                                         TBooleanCase{L"False", false}, TBooleanCase{L"1", false},
                                         TBooleanCase{L"Yes", false}, TBooleanCase{L"", false},
                                         TBooleanCase{L"Truely", false}));

TEST(ParameterBooleanAbsent, AnswersFalseAndLeavesTheValue) {
  TParameterList list;
  list.SetState(L"a=True");
  bool value = true;
  EXPECT_FALSE(list.GetState_ParameterAsBoolean(L"b", value));
  EXPECT_TRUE(value);
}

struct TIntegerCase {
  const wchar_t* Value;
  bool Converts;
  std::int32_t Expected;
};

class ParameterInteger : public testing::TestWithParam<TIntegerCase> {};

TEST_P(ParameterInteger, ConvertsWholeTextsAndLeavesTheValueOnFailure) {
  TParameterList list;
  list.SetState(std::wstring(L"n=") + GetParam().Value);
  std::int32_t value = 4242;
  EXPECT_EQ(list.GetState_ParameterAsInteger(L"N", value), GetParam().Converts);
  EXPECT_EQ(value, GetParam().Converts ? GetParam().Expected : 4242);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParameterInteger,
    testing::Values(TIntegerCase{L"12", true, 12}, TIntegerCase{L"-7", true, -7},
                    TIntegerCase{L"+7", true, 7}, TIntegerCase{L"$1F", true, 31},
                    TIntegerCase{L"0x10", true, 16}, TIntegerCase{L"0X10", true, 16},
                    TIntegerCase{L"x10", true, 16}, TIntegerCase{L"-$10", true, -16},
                    TIntegerCase{L"$FFFFFFFF", true, -1},
                    TIntegerCase{L"2147483647", true, 2147483647},
                    TIntegerCase{L"-2147483648", true, INT32_MIN},
                    TIntegerCase{L"2147483648", false, 0}, TIntegerCase{L"$100000000", false, 0},
                    TIntegerCase{L"12ab", false, 0}, TIntegerCase{L"1 2", false, 0},
                    TIntegerCase{L"", false, 0}, TIntegerCase{L"$", false, 0},
                    TIntegerCase{L"-", false, 0}, TIntegerCase{L"1.0", false, 0}));

TEST(ParameterNarrowIntegers, KeepTheLowBitsWithoutRangeCheck) {
  TParameterList list;
  list.SetState(L"big=65537|neg=-1");
  std::int16_t smallInt = 0;
  std::uint16_t word = 0;
  std::uint8_t byte = 0;
  EXPECT_TRUE(list.GetState_ParameterAsSmallInt(L"big", smallInt));
  EXPECT_TRUE(list.GetState_ParameterAsWord(L"big", word));
  EXPECT_TRUE(list.GetState_ParameterAsByte(L"big", byte));
  EXPECT_EQ(smallInt, 1);
  EXPECT_EQ(word, 1);
  EXPECT_EQ(byte, 1);
  EXPECT_TRUE(list.GetState_ParameterAsWord(L"neg", word));
  EXPECT_TRUE(list.GetState_ParameterAsByte(L"neg", byte));
  EXPECT_EQ(word, 0xFFFF);
  EXPECT_EQ(byte, 0xFF);
}

TEST(ParameterInt64, ConvertsTheFullRangeAndRefusesOverflow) {
  TParameterList list;
  list.SetState(L"max=9223372036854775807|over=9223372036854775808|hex=$8000000000000000");
  std::int64_t value = 5;
  EXPECT_TRUE(list.GetState_ParameterAsInt64(L"max", value));
  EXPECT_EQ(value, INT64_MAX);
  EXPECT_FALSE(list.GetState_ParameterAsInt64(L"over", value));
  EXPECT_EQ(value, INT64_MAX);
  EXPECT_TRUE(list.GetState_ParameterAsInt64(L"hex", value));
  EXPECT_EQ(value, INT64_MIN);
}

TEST(ParameterDouble, ReadsDotDecimalsAndRaisesOnOtherText) {
  TParameterList list;
  list.SetState(L"a=1.5|b=-2.5E3|c=abc|d=1,5|e=.5|f=1e");
  double value = 0;
  EXPECT_TRUE(list.GetState_ParameterAsDouble(L"a", value));
  EXPECT_EQ(value, 1.5);
  EXPECT_TRUE(list.GetState_ParameterAsDouble(L"b", value));
  EXPECT_EQ(value, -2500.0);
  EXPECT_TRUE(list.GetState_ParameterAsDouble(L"e", value));
  EXPECT_EQ(value, 0.5);
  for (const wchar_t* name : {L"c", L"d", L"f"}) {
    try {
      list.GetState_ParameterAsDouble(name, value);
      ADD_FAILURE() << "no conversion error for " << WideToUtf8(name);
    } catch (const EConvertError& e) {
      std::wstring text;
      list.GetState_ParameterAsString(name, text);
      EXPECT_EQ(e.Message(), L"'" + text + L"' is not a valid floating point value");
    }
  }
  value = 9;
  EXPECT_FALSE(list.GetState_ParameterAsDouble(L"zz", value));
  EXPECT_EQ(value, 9);
}

TEST(ParameterReal, AnswersFalseForNonNumbersWithoutRaising) {
  TParameterList list;
  list.SetState(L"a=2.25|b=abc|c=inf");
  float value = 7;
  EXPECT_TRUE(list.GetState_ParameterAsReal(L"a", value));
  EXPECT_EQ(value, 2.25f);
  value = 7;
  EXPECT_FALSE(list.GetState_ParameterAsReal(L"b", value));
  EXPECT_FALSE(list.GetState_ParameterAsReal(L"c", value));
  EXPECT_EQ(value, 7);
}

TEST(ParameterPChar, CopiesThePresentValueAndSharesTheEmptyText) {
  TParameterList list;
  list.SetState(L"a=hello");
  wchar_t* text = nullptr;
  EXPECT_TRUE(list.GetState_ParameterAsPChar(L"A", text));
  EXPECT_STREQ(text, L"hello");
  StrDispose(text);
  wchar_t* empty = nullptr;
  EXPECT_FALSE(list.GetState_ParameterAsPChar(L"b", empty));
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, L"");
  StrDispose(empty); // harmless on the shared text
}

struct TWriteCase {
  void (*Add)(TParameterList&);
  const wchar_t* Written;
};

class ParameterWrite : public testing::TestWithParam<TWriteCase> {};

TEST_P(ParameterWrite, WritesValuesInTheHostsForms) {
  TParameterList list;
  GetParam().Add(list);
  EXPECT_EQ(list.GetState(), GetParam().Written);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ParameterWrite,
    testing::Values(
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsBoolean(L"b", true); },
                   L"b=True"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsBoolean(L"b", false); },
                   L"b=False"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsInteger(L"i", -5); }, L"i=-5"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsInt64(L"i", INT64_MIN); },
                   L"i=-9223372036854775808"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsDouble(L"d", 0.1); }, L"d=0.1"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsDouble(L"d", -2.5); },
                   L"d=-2.5"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsDouble(L"d", 100); }, L"d=100"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsDouble(L"d", 1.0 / 3); },
                   L"d=0.333333333333333"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsDouble(L"d", 1e20); },
                   L"d=1E20"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameterAsDouble(L"d", 1.5e-7); },
                   L"d=1.5E-7"},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameter(L"  ", L"x"); }, L""},
        TWriteCase{[](TParameterList& l) { l.SetState_AddParameter(L" n ", L""); }, L"n= "},
        TWriteCase{[](TParameterList& l) {
                     l.SetState_AddParameter(L"a", L"1");
                     l.SetState_AddParameter(L"A", L"2");
                   },
                   L"a=1|A=2"}));

TEST(ParameterRemove, RemovesOnlyTheFirstPairOfTheName) {
  TParameterList list;
  list.SetState(L"a=1|b=2|A=3");
  EXPECT_TRUE(list.SetState_RemoveByName(L" A "));
  EXPECT_EQ(list.GetState(), L"b=2|A=3");
  EXPECT_FALSE(list.SetState_RemoveByName(L"c"));
  list.ClearAllParameters();
  EXPECT_EQ(list.GetState(), L"");
}

TEST(GetParameterFromStateTest, EmptiesTheValueAndAnswersFalseForAnEmptyState) {
  std::wstring value = L"old";
  EXPECT_FALSE(GetParameterFromState(L"", L"a", value));
  EXPECT_EQ(value, L"");
  EXPECT_FALSE(GetParameterFromState(L"a=1", L"b", value));
  EXPECT_EQ(value, L"");
}

TEST(GetParameterFromStateTest, ATextDifferingOnlyInCaseIsReadAnew) {
  std::wstring value;
  EXPECT_TRUE(GetParameterFromState(L"Mode=fast|a=x", L"a", value));
  EXPECT_EQ(value, L"x");
  EXPECT_TRUE(GetParameterFromState(L"Mode=fast|a=x", L"MODE", value));
  EXPECT_EQ(value, L"fast");
  EXPECT_TRUE(GetParameterFromState(L"Mode=fast|a=X", L"a", value));
  EXPECT_EQ(value, L"X");
}

struct TSetCase {
  const wchar_t* State;
  const wchar_t* Name;
  const wchar_t* Value;
  const wchar_t* Result;
};

class SetParameterInStateTest : public testing::TestWithParam<TSetCase> {};

TEST_P(SetParameterInStateTest, ChangesTheFirstPairOrAppendsAndNormalises) {
  std::wstring state = GetParam().State;
  SetParameterInState(state, GetParam().Name, GetParam().Value);
  EXPECT_EQ(state, GetParam().Result);
}

INSTANTIATE_TEST_SUITE_P(States, SetParameterInStateTest,
                         testing::Values(TSetCase{L"a=1|b=2", L"B", L"3", L"a=1|b=3"},
                                         TSetCase{L"a=1", L"c", L"", L"a=1|c= "},
                                         TSetCase{L" a = 1 |junk|x=", L"a", L" 9 ", L"a=9|x= "},
                                         TSetCase{L"a=1|A=2", L"a", L"5", L"a=5|A=2"},
                                         TSetCase{L"", L"a", L"1", L"a=1"},
                                         TSetCase{L"a=1 | b = 2", L"  ", L"1", L"a=1|b=2"}));

} // namespace
