#include "kx-value-types.h"

#include "kx-variants.h"
#include "persistent.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

TkxValueTypeClass Kind(const wchar_t* AClassName) {
  TkxValueTypeClass kind = FindValueTypeClass(AClassName);
  EXPECT_NE(kind, nullptr) << "no kind named that";
  return kind;
}

// A record buffer as a store keeps one: zeroed, released by its kind.
class TBuffer {
public:
  explicit TBuffer(TkxValueTypeClass AKind) : FKind(AKind) {}
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;
  ~TBuffer() { FKind->ReleaseBuffer(Bytes.data()); }
  void* Data() { return Bytes.data(); }
  const void* Data() const { return Bytes.data(); }
  alignas(8) std::array<uint8_t, 64> Bytes{};

private:
  TkxValueTypeClass FKind;
};

int SignOf(int AValue) {
  return AValue < 0 ? -1 : AValue > 0 ? 1 : 0;
}

TEST(ValueTypes, CaptionsAndTypeCodesOfEveryKind) {
  struct TCase {
    const wchar_t* ClassName;
    const wchar_t* Caption;
    size_t Size;
    VARTYPE Type;
    bool IsString;
  };
  const TCase cases[] = {
      {L"TkxValueType", L"", 0, VT_VARIANT, false},
      {L"TkxStringValueType", L"String", sizeof(void*), varUString, true},
      {L"TkxWideStringValueType", L"WideString", sizeof(void*), VT_BSTR, true},
      {L"TkxSmallintValueType", L"Smallint", 2, VT_I2, false},
      {L"TkxIntegerValueType", L"Integer", 4, VT_I4, false},
      {L"TkxWordValueType", L"Word", 2, VT_UI2, false},
      {L"TkxBooleanValueType", L"Boolean", 1, VT_BOOL, false},
      {L"TkxFloatValueType", L"Float", 8, VT_R8, false},
      {L"TkxCurrencyValueType", L"Currency", 8, VT_CY, false},
      {L"TkxDateTimeValueType", L"DateTime", 8, VT_DATE, false},
      {L"TkxLargeIntValueType", L"LargeInt", 8, VT_I8, false},
      {L"TkxFMTBcdValueType", L"FMTBcd", 34, VT_DECIMAL, false},
      {L"TkxSQLTimeStampValueType", L"SQLTimeStamp", 16, VT_DATE, false},
      {L"TkxVariantValueType", L"Variant", sizeof(void*), VT_VARIANT, false},
      {L"TkxObjectValueType", L"Object", sizeof(void*), sizeof(void*) == 4 ? VT_I4 : VT_I8, false},
      {L"TkxBLOBValueType", L"BLOB", sizeof(void*), varAnsiString, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.ClassName)));
    TkxValueTypeClass kind = Kind(c.ClassName);
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->Caption(), c.Caption);
    EXPECT_EQ(kind->BufferSize(), c.Size);
    EXPECT_EQ(kind->GetVarType(), c.Type);
    EXPECT_EQ(kind->IsString(), c.IsString);
  }
}

TEST(ValueTypes, StoredValuesComeBackAndCompareInTheirKindsOrder) {
  struct TCase {
    const wchar_t* ClassName;
    TVariant Low, High;
  };
  const TCase cases[] = {
      {L"TkxStringValueType", TVariant(L"Abc"), TVariant(L"abc")},
      {L"TkxWideStringValueType", TVariant(L"a"), TVariant(L"b")},
      {L"TkxSmallintValueType", TVariant(-300), TVariant(300)},
      {L"TkxIntegerValueType", TVariant(-70000), TVariant(70000)},
      {L"TkxWordValueType", TVariant(1), TVariant(65535)},
      {L"TkxBooleanValueType", TVariant(false), TVariant(true)},
      {L"TkxFloatValueType", TVariant(-0.25), TVariant(1e10)},
      {L"TkxCurrencyValueType", TVariant::Currency(-5), TVariant::Currency(12345)},
      {L"TkxDateTimeValueType", TVariant::Date(1.5), TVariant::Date(40000.75)},
      {L"TkxLargeIntValueType", TVariant(int64_t(-1) << 40), TVariant(int64_t(1) << 40)},
      {L"TkxFMTBcdValueType", TVariant(-123.5), TVariant(99.5)},
      {L"TkxSQLTimeStampValueType", TVariant::Date(44000.5), TVariant::Date(44000.75)},
      {L"TkxVariantValueType", TVariant(L"x"), TVariant(L"y")},
      {L"TkxBLOBValueType", TVariant::Ansi("ab"), TVariant::Ansi("b")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.ClassName)));
    TkxValueTypeClass kind = Kind(c.ClassName);
    TBuffer low(kind), high(kind);
    kind->StoreBufferValue(low.Data(), c.Low);
    kind->StoreBufferValue(high.Data(), c.High);
    EXPECT_TRUE(VariantsEqual(kind->BufferValue(low.Data()), c.Low))
        << testing::PrintToString(kind->BufferValueText(low.Data()));
    if (kind->GetVarType() != VT_VARIANT) {
      EXPECT_EQ(kind->BufferValue(high.Data()).VarType(), kind->GetVarType());
    }
    EXPECT_EQ(SignOf(kind->CompareBuffers(low.Data(), high.Data())), -1);
    EXPECT_EQ(SignOf(kind->CompareBuffers(high.Data(), low.Data())), 1);
    EXPECT_EQ(kind->CompareBuffers(low.Data(), low.Data()), 0);
    // Through the value address a store hands to GetValue.
    const void* value = low.Data();
    kind->PrepareValueBuffer(value);
    EXPECT_TRUE(VariantsEqual(kind->GetValue(value), c.Low));
  }
}

TEST(ValueTypes, NumbersCompareByTheirDifference) {
  TkxValueTypeClass smallint = Kind(L"TkxSmallintValueType");
  TBuffer a(smallint), b(smallint);
  smallint->StoreBufferValue(a.Data(), TVariant(7));
  smallint->StoreBufferValue(b.Data(), TVariant(-3));
  EXPECT_EQ(smallint->CompareBuffers(a.Data(), b.Data()), 10);
  TkxValueTypeClass boolean = Kind(L"TkxBooleanValueType");
  TBuffer t(boolean), f(boolean);
  boolean->StoreBufferValue(t.Data(), TVariant(true));
  EXPECT_EQ(boolean->CompareBuffers(f.Data(), t.Data()), -1);
  EXPECT_EQ(boolean->BufferValueText(t.Data()), L"True");
  smallint->StoreBufferValue(a.Data(), TVariant(70000));
  EXPECT_EQ(smallint->BufferValue(a.Data()).AsInt64(), 70000 - 65536) << "the low 16 bits";
}

TEST(ValueTypes, NilReferencesMeanNullAndSortFirst) {
  for (const wchar_t* name : {L"TkxStringValueType", L"TkxWideStringValueType",
                              L"TkxVariantValueType", L"TkxBLOBValueType"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    TkxValueTypeClass kind = Kind(name);
    TBuffer empty(kind), other(kind), set(kind);
    kind->StoreBufferValue(set.Data(), TVariant(L"v"));
    const bool variant = kind == Kind(L"TkxVariantValueType");
    if (!variant) {
      EXPECT_TRUE(kind->BufferValue(empty.Data()).IsNull());
      kind->StoreBufferValue(set.Data(), TVariant::Null());
      EXPECT_TRUE(kind->BufferValue(set.Data()).IsNull()) << "storing Null lets the text go";
      EXPECT_EQ(std::memcmp(set.Bytes.data(), empty.Bytes.data(), sizeof(void*)), 0);
      kind->StoreBufferValue(set.Data(), TVariant(L"v"));
    }
    const bool byBuffer = kind == Kind(L"TkxWideStringValueType");
    if (byBuffer)
      continue; // its comparison takes the buffer addresses, never nil
    EXPECT_EQ(kind->CompareBuffers(empty.Data(), set.Data()), -1);
    EXPECT_EQ(kind->CompareBuffers(set.Data(), empty.Data()), 1);
    EXPECT_EQ(kind->CompareBuffers(empty.Data(), other.Data()), 0);
  }
}

TEST(ValueTypes, IsValueValidCastsOrLeavesTheValue) {
  TkxValueTypeClass integer = Kind(L"TkxIntegerValueType");
  TVariant digits(L"42");
  EXPECT_TRUE(integer->IsValueValid(digits));
  EXPECT_EQ(digits.VarType(), VT_I4);
  EXPECT_EQ(digits.AsInt64(), 42);
  TVariant letters(L"forty");
  EXPECT_FALSE(integer->IsValueValid(letters));
  EXPECT_EQ(letters.AsString(), L"forty");
  TVariant null = TVariant::Null();
  EXPECT_TRUE(integer->IsValueValid(null));
  TVariant anything(L"x");
  EXPECT_TRUE(Kind(L"TkxVariantValueType")->IsValueValid(anything));
  EXPECT_EQ(anything.VarType(), VT_BSTR);
}

TEST(ValueTypes, StreamsTakeEachKindsOwnForm) {
  struct TCase {
    const wchar_t* ClassName;
    TVariant Value;
    size_t Bytes;
  };
  const TCase cases[] = {
      {L"TkxFloatValueType", TVariant(2.5), 10},
      {L"TkxDateTimeValueType", TVariant::Date(2.5), 8},
      {L"TkxSmallintValueType", TVariant(5), 2},
      {L"TkxWordValueType", TVariant(5), 2},
      {L"TkxIntegerValueType", TVariant(5), 4},
      {L"TkxLargeIntValueType", TVariant(5), 8},
      {L"TkxCurrencyValueType", TVariant::Currency(50000), 8},
      {L"TkxBooleanValueType", TVariant(true), 1},
      {L"TkxWideStringValueType", TVariant(L"ab"), 4 + 4},
      {L"TkxBLOBValueType", TVariant::Ansi("abc"), 4 + 3},
      {L"TkxStringValueType", TVariant(L"ab"), 4 + 4},
      // The BCD goes through the variant stream as an extended.
      {L"TkxFMTBcdValueType", TVariant(L"1.5"), 1 + 10},
      {L"TkxSQLTimeStampValueType", TVariant::Date(44000.5), 1 + 8},
      {L"TkxVariantValueType", TVariant(L"q"), 1 + 4 + 2},
      {L"TkxObjectValueType", TVariant(0), 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.ClassName)));
    TkxValueTypeClass kind = Kind(c.ClassName);
    TBuffer buffer(kind), back(kind);
    kind->StoreBufferValue(buffer.Data(), c.Value);
    TMemoryStream memory;
    TkxValueStream stream{memory, true};
    kind->SaveBufferValue(buffer.Data(), stream);
    EXPECT_EQ(memory.GetSize(), int64_t(c.Bytes));
    memory.SetPosition(0);
    kind->LoadBufferValue(back.Data(), stream);
    EXPECT_EQ(memory.GetPosition(), int64_t(c.Bytes));
    EXPECT_EQ(kind->CompareBuffers(buffer.Data(), back.Data()), 0);
  }
}

TEST(ValueTypes, TextBuffersFollowTheStreamsUnicodeFlag) {
  TkxValueTypeClass kind = Kind(L"TkxIntegerValueType");
  void* text = nullptr;
  EXPECT_EQ(kind->TextBufferText(&text), L"");
  kind->StoreTextBuffer(&text, L"caf\u00e9");
  for (bool unicode : {true, false}) {
    SCOPED_TRACE(unicode);
    TMemoryStream memory;
    TkxValueStream stream{memory, unicode};
    kind->SaveTextBuffer(&text, stream);
    EXPECT_EQ(memory.GetSize(), unicode ? 4 + 8 : 4 + 4);
    memory.SetPosition(0);
    void* back = nullptr;
    kind->LoadTextBuffer(&back, stream);
    EXPECT_EQ(kind->TextBufferText(&back), L"caf\u00e9");
    kind->ReleaseTextBuffer(&back);
    EXPECT_EQ(back, nullptr);
  }
  kind->ReleaseTextBuffer(&text);
}

TEST(ValueTypes, TimeStampsKeepTheirFieldsAndMilliseconds) {
  TkxValueTypeClass kind = Kind(L"TkxSQLTimeStampValueType");
  TBuffer a(kind), b(kind);
  // 3 January 1900, 06:00:01.250
  kind->StoreBufferValue(a.Data(), TVariant::Date(4.0 + (6 * 3600 + 1.25) / 86400.0));
  TkxSQLTimeStamp stamp;
  std::memcpy(&stamp, a.Data(), sizeof(stamp));
  EXPECT_EQ(stamp.Year, 1900);
  EXPECT_EQ(stamp.Month, 1);
  EXPECT_EQ(stamp.Day, 3);
  EXPECT_EQ(stamp.Hour, 6);
  EXPECT_EQ(stamp.Minute, 0);
  EXPECT_EQ(stamp.Second, 1);
  EXPECT_EQ(stamp.Fractions, 250u);
  EXPECT_NEAR(kind->BufferValue(a.Data()).AsDouble(), 4.0 + (6 * 3600 + 1.25) / 86400.0, 1e-9);
  stamp.Day = 10;
  stamp.Hour = 1;
  std::memcpy(b.Data(), &stamp, sizeof(stamp));
  EXPECT_EQ(kind->CompareBuffers(a.Data(), b.Data()), -7) << "the day decides, by its difference";
}

TEST(ValueTypes, BcdKeepsItsDigitsAndPlaces) {
  TkxValueTypeClass kind = Kind(L"TkxFMTBcdValueType");
  TBuffer buffer(kind);
  kind->StoreBufferValue(buffer.Data(), TVariant(L"-0123.4500"));
  TkxBcd bcd;
  std::memcpy(&bcd, buffer.Data(), sizeof(bcd));
  // The digits of the value: trailing zeros of the fraction do not count.
  EXPECT_EQ(bcd.Precision, 5);                // 12345
  EXPECT_EQ(bcd.SignSpecialPlaces, 0x80 | 2); // negative, two places
  EXPECT_EQ(bcd.Fraction[0], 0x12);
  EXPECT_EQ(kind->BufferValueText(buffer.Data()), L"-123.45");
  EXPECT_EQ(BcdToText(VariantToBcd(TVariant(0))), L"0");
}

// An object that tells when it goes.
class TWatched : public TPersistent {
public:
  explicit TWatched(bool& AGone) : FGone(AGone) {}
  ~TWatched() override { FGone = true; }

private:
  bool& FGone;
};

TEST(ValueTypes, TheObjectKindOwnsItsObject) {
  TkxValueTypeClass kind = Kind(L"TkxObjectValueType");
  bool gone = false;
  TBuffer buffer(kind);
  kind->StoreBufferValue(buffer.Data(),
                         TVariant(int64_t(reinterpret_cast<intptr_t>(new TWatched(gone)))));
  EXPECT_FALSE(gone);
  kind->ReleaseBuffer(buffer.Data());
  EXPECT_TRUE(gone);
}

} // namespace
