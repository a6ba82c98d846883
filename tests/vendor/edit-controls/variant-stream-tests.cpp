#include "kx-variants.h"

#include "kx-resource-strings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::vector<uint8_t> Written(const TVariant& AValue) {
  TMemoryStream stream;
  WriteVariantToStream(stream, AValue);
  stream.SetPosition(0);
  return stream.ReadRest();
}

TVariant ReadBack(const std::vector<uint8_t>& ABytes) {
  TMemoryStream stream;
  stream.WriteBuffer(ABytes.data(), ABytes.size());
  stream.SetPosition(0);
  TVariant value = ReadVariantFromStream(stream);
  EXPECT_EQ(stream.GetPosition(), int64_t(ABytes.size())) << "the value took all its bytes";
  return value;
}

TEST(VariantStream, IntegersTakeTheSmallestTagThatHoldsThem) {
  struct TCase {
    TVariant Value;
    std::vector<uint8_t> Bytes;
    VARTYPE ReadType;
  };
  const TCase cases[] = {
      {TVariant(127), {2, 0x7F}, VT_I1},
      {TVariant(-128), {2, 0x80}, VT_I1},
      {TVariant(128), {3, 0x80, 0x00}, VT_I2},
      {TVariant(-32769), {4, 0xFF, 0x7F, 0xFF, 0xFF}, VT_I4},
      {TVariant(int64_t(2147483648)), {19, 0, 0, 0, 0x80, 0, 0, 0, 0}, VT_I8},
      {TVariant::Integer(VT_UI1, 5), {2, 5}, VT_I1},
      {TVariant::Integer(VT_UI4, 0xFFFFFFFF), {19, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, VT_I8},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Value.AsInt64());
    EXPECT_EQ(Written(c.Value), c.Bytes);
    const TVariant back = ReadBack(c.Bytes);
    EXPECT_EQ(back.VarType(), c.ReadType);
    EXPECT_EQ(back.AsInt64(), c.Value.AsInt64());
  }
}

TEST(VariantStream, OtherScalarsKeepTheirTagAndComeBackAsTheTableSays) {
  struct TCase {
    const char* Name;
    TVariant Value;
    std::vector<uint8_t> Bytes;
    VARTYPE ReadType;
  };
  const TCase cases[] = {
      {"unassigned", TVariant(), {13}, VT_EMPTY},
      {"null", TVariant::Null(), {0}, VT_NULL},
      {"true", TVariant(true), {9}, VT_BOOL},
      {"false", TVariant(false), {8}, VT_BOOL},
      {"single", TVariant::Single(1.5f), {15, 0, 0, 0xC0, 0x3F}, VT_R4},
      {"currency", TVariant::Currency(12345), {16, 0x39, 0x30, 0, 0, 0, 0, 0, 0}, VT_CY},
      {"date", TVariant::Date(1.0), {17, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}, VT_DATE},
      {"empty ansi", TVariant::Ansi(""), {6, 0}, varAnsiString},
      {"ansi", TVariant::Ansi("ab"), {6, 2, 'a', 'b'}, varAnsiString},
      {"wide", TVariant(L"\u00e9z"), {18, 2, 0, 0, 0, 0xE9, 0, 'z', 0}, VT_BSTR},
      {"unicode string", TVariant::UString(L"q"), {18, 1, 0, 0, 0, 'q', 0}, VT_BSTR},
      // 1.0 as 80-bit extended: mantissa 0x8000000000000000, exponent 0x3FFF.
      {"double", TVariant(1.0), {5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}, VT_R8},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Written(c.Value), c.Bytes);
    const TVariant back = ReadBack(c.Bytes);
    EXPECT_EQ(back.VarType(), c.ReadType);
    EXPECT_TRUE(VariantsEqual(back, c.Value));
  }
}

TEST(VariantStream, LongAnsiStringsUseAFourByteLength) {
  const std::string text(256, 'x');
  const std::vector<uint8_t> bytes = Written(TVariant::Ansi(text));
  ASSERT_EQ(bytes.size(), 1u + 4u + 256u);
  EXPECT_EQ(bytes[0], 12);
  EXPECT_EQ(bytes[1], 0x00);
  EXPECT_EQ(bytes[2], 0x01);
  EXPECT_EQ(ReadBack(bytes).AsAnsi(), text);
  EXPECT_EQ(Written(TVariant::Ansi(std::string(255, 'y')))[0], 6) << "255 bytes still fit";
}

TEST(VariantStream, ArraysComeBackZeroBasedWithTheirElements) {
  const TVariant array =
      TVariant::Array({TVariant(1), TVariant(L"two"), TVariant::Array({TVariant::Null()})}, 5);
  const std::vector<uint8_t> bytes = Written(array);
  const std::vector<uint8_t> expected = {1,  2, 3,                               // three elements
                                         2,  1,                                  // 1
                                         18, 3, 0, 0, 0, 't', 0, 'w', 0, 'o', 0, // "two"
                                         1,  2, 1, 0};                           // [Null]
  EXPECT_EQ(bytes, expected);
  const TVariant back = ReadBack(bytes);
  ASSERT_TRUE(back.IsArray());
  EXPECT_EQ(back.LowBound(), 0);
  EXPECT_EQ(back.HighBound(), 2);
  EXPECT_EQ(back[1].AsString(), L"two");
  EXPECT_TRUE(back[2][0].IsNull());
  EXPECT_EQ(CompareVariants(back, array), -5) << "high bound 2 against high bound 7";
  EXPECT_EQ(CompareVariants(back, TVariant::Array(array.Items())), 0);
  EXPECT_EQ(CompareVariants(TVariant::Array({TVariant(1)}, 2), TVariant::Array({TVariant(1)}, 2)),
            0)
      << "indexes below the low bound hold nothing on either side";
  EXPECT_EQ(CompareVariants(TVariant::Array({TVariant(1)}, 2),
                            TVariant::Array({TVariant(0), TVariant(0), TVariant(1)})),
            -1)
      << "nothing sorts before a value";
}

TEST(VariantStream, UnknownTagsAndShortInputFailWithReadErrors) {
  for (uint8_t tag : {7, 10, 11, 14, 20, 255}) {
    SCOPED_TRACE(int(tag));
    TMemoryStream stream;
    stream.WriteValue(tag);
    stream.SetPosition(0);
    try {
      ReadVariantFromStream(stream);
      ADD_FAILURE() << "read a tag outside the format";
    } catch (const EReadError& error) {
      EXPECT_EQ(error.Message(), L"Stream read error");
    }
  }
  TMemoryStream truncated;
  const uint8_t bytes[] = {4, 1, 2};
  truncated.WriteBuffer(bytes, sizeof(bytes));
  truncated.SetPosition(0);
  EXPECT_THROW(ReadVariantFromStream(truncated), EReadError);
}

TEST(VariantStream, DecimalsGoAsDoublesAndValuesWithoutTextFailTheWrite) {
  // A decimal goes as the double it converts to.
  VARIANT decimal;
  VariantInit(&decimal);
  decimal.vt = VT_R8;
  decimal.dblVal = 2.5;
  VariantChangeType(&decimal, &decimal, 0, VT_DECIMAL);
  const std::vector<uint8_t> bytes = Written(TVariant::FromOle(decimal));
  ASSERT_EQ(bytes.size(), 11u);
  EXPECT_EQ(bytes[0], 5);
  EXPECT_EQ(ReadBack(bytes).AsDouble(), 2.5);
  // An error code has no tag and no text: the write fails and writes nothing.
  VARIANT error;
  VariantInit(&error);
  error.vt = VT_ERROR;
  error.scode = 10;
  TMemoryStream stream;
  try {
    WriteVariantToStream(stream, TVariant::FromOle(error));
    ADD_FAILURE() << "wrote an error code";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), L"Stream write error");
  }
  EXPECT_EQ(stream.GetSize(), 0);
}

TEST(ExtendedFormat, EveryKindOfDoubleSurvivesTheRoundTrip) {
  const double values[] = {0.0,
                           -0.0,
                           1.0,
                           -2.75,
                           1e300,
                           1e-300,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::min() / 3,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  for (double value : values) {
    SCOPED_TRACE(value);
    const double back = ExtendedToDouble(DoubleToExtended(value));
    EXPECT_EQ(back, value);
    EXPECT_EQ(std::signbit(back), std::signbit(value));
  }
  EXPECT_TRUE(std::isnan(ExtendedToDouble(DoubleToExtended(std::nan("")))));
  // An extended with more precision than a double rounds to nearest: 1 + 2^-60 is 1.
  std::array<uint8_t, 10> fine = DoubleToExtended(1.0);
  fine[0] = 0x08;
  EXPECT_EQ(ExtendedToDouble(fine), 1.0);
}

TEST(ExtendedFormat, MatchesTheMachinesOwnExtendedWhereItHasOne) {
  if constexpr (std::numeric_limits<long double>::digits != 64) {
    GTEST_SKIP() << "no 80-bit long double here";
  } else {
    for (double value : {3.141592653589793, -1e-310, 6.02214076e23}) {
      long double native = value;
      std::array<uint8_t, 10> bytes{};
      std::memcpy(bytes.data(), &native, 10);
      EXPECT_EQ(DoubleToExtended(value), bytes) << value;
    }
  }
}

TEST(TypedStream, FixedSizesAndLengthPrefixedStrings) {
  TMemoryStream stream;
  WriteByteToStream(stream, 0xAB);
  WriteSmallIntToStream(stream, -2);
  WriteWordToStream(stream, 0xBEEF);
  WriteIntegerToStream(stream, -5);
  WriteLargeIntToStream(stream, int64_t(1) << 40);
  WriteCurrencyToStream(stream, 15000);
  WriteDateTimeToStream(stream, 2.5);
  WriteExtendedToStream(stream, -0.5);
  WriteAnsiStringToStream(stream, std::wstring(L"abc"));
  WriteWideStringToStream(stream, L"de");
  EXPECT_EQ(stream.GetSize(), 1 + 2 + 2 + 4 + 8 + 8 + 8 + 10 + (4 + 3) + (4 + 4));
  stream.SetPosition(0);
  EXPECT_EQ(ReadByteFromStream(stream), 0xAB);
  EXPECT_EQ(ReadSmallIntFromStream(stream), -2);
  EXPECT_EQ(ReadWordFromStream(stream), 0xBEEF);
  EXPECT_EQ(ReadIntegerFromStream(stream), -5);
  EXPECT_EQ(ReadLargeIntFromStream(stream), int64_t(1) << 40);
  EXPECT_EQ(ReadCurrencyFromStream(stream), 15000);
  EXPECT_EQ(ReadDateTimeFromStream(stream), 2.5);
  EXPECT_EQ(ReadExtendedFromStream(stream), -0.5);
  EXPECT_EQ(ReadAnsiStringFromStream(stream), "abc");
  EXPECT_EQ(ReadWideStringFromStream(stream), L"de");
  EXPECT_THROW(ReadByteFromStream(stream), EReadError);
}

TEST(VariantCompare, OrderOfUnassignedNullAndValues) {
  struct TCase {
    const char* Name;
    TVariant A, B;
    int Expected;
  };
  const TCase cases[] = {
      {"both unassigned", TVariant(), TVariant(), 0},
      {"unassigned first", TVariant(), TVariant::Null(), -1},
      {"null after unassigned", TVariant::Null(), TVariant(), 1},
      {"null before a number", TVariant::Null(), TVariant(5), -1},
      {"number after null", TVariant(5), TVariant::Null(), 1},
      {"two nulls", TVariant::Null(), TVariant::Null(), 0},
      {"numbers", TVariant(2), TVariant(3.5), -1},
      {"equal across types", TVariant(int64_t(7)), TVariant::Integer(VT_UI1, 7), 0},
      {"strings", TVariant(L"b"), TVariant::Ansi("a"), 1},
      {"arrays differ in length by two", TVariant::Array({TVariant(1)}),
       TVariant::Array({TVariant(1), TVariant(2), TVariant(3)}), -2},
      {"array after a scalar", TVariant::Array({}), TVariant(1), 1},
      {"arrays by their first different element", TVariant::Array({TVariant(1), TVariant(9)}),
       TVariant::Array({TVariant(1), TVariant(2)}), 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(CompareVariants(c.A, c.B), c.Expected);
  }
}

TEST(VariantCompare, LooseEqualityComparesBooleansByText) {
  const std::wstring trueText = TVariant(true).AsString();
  EXPECT_TRUE(VariantsEqualLoose(TVariant(true), TVariant(trueText)));
  EXPECT_FALSE(VariantsEqualLoose(TVariant(false), TVariant(trueText)));
  EXPECT_FALSE(VariantsEqualLoose(TVariant(true), TVariant::Null()))
      << "with a Null the strict rule decides";
  EXPECT_TRUE(VariantsEqualLoose(TVariant(3), TVariant(3.0)));
}

TEST(VariantClasses, DatesNumbersAndEmptyStrings) {
  EXPECT_TRUE(IsDateVariant(TVariant::Date(0)));
  EXPECT_FALSE(IsDateVariant(TVariant(0.0)));
  EXPECT_TRUE(IsNumericVariant(TVariant::Currency(1)));
  EXPECT_TRUE(IsNumericVariant(TVariant::Integer(VT_UI2, 1)));
  EXPECT_FALSE(IsNumericVariant(TVariant(L"1")));
  EXPECT_TRUE(IsNullOrEmptyStringVariant(TVariant::Null()));
  EXPECT_TRUE(IsNullOrEmptyStringVariant(TVariant::Ansi("")));
  EXPECT_FALSE(IsNullOrEmptyStringVariant(TVariant()));
  EXPECT_FALSE(IsNullOrEmptyStringVariant(TVariant(L" ")));
}

} // namespace
