#include "kx-value-types.h"
#include "edit-controls-units.h"

#include "kx-variants.h"
#include "persistent.h"
#include "unit-steps.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cstring>
#include <memory>

namespace {

TkxValueTypeClassList* GList = nullptr;
bool GFinalized = false;

// ---- buffers -----------------------------------------------------------------------------

// The reference a buffer holds, and storing one.
template <typename T> T* Referenced(const void* ABuffer) {
  T* value;
  std::memcpy(&value, ABuffer, sizeof(value));
  return value;
}
template <typename T> void SetReference(void* ABuffer, T* AValue) {
  std::memcpy(ABuffer, &AValue, sizeof(AValue));
}
template <typename T> T Plain(const void* ABuffer) {
  T value;
  std::memcpy(&value, ABuffer, sizeof(T));
  return value;
}
template <typename T> void SetPlain(void* ABuffer, T AValue) {
  std::memcpy(ABuffer, &AValue, sizeof(T));
}

template <typename T> int Sign(T A, T B) {
  return A < B ? -1 : B < A ? 1 : 0;
}

// A value cast to a type code by the run time's rules; raises EVariantError.
TVariant Cast(const TVariant& AValue, VARTYPE AType) {
  if (AType == varUString)
    return TVariant::UString(AValue.AsString());
  if (AType == varAnsiString)
    return TVariant::Ansi(AValue.AsAnsi());
  VARIANT source = AValue.ToOle();
  VARIANT result;
  VariantInit(&result);
  const HRESULT status = VariantChangeTypeEx(&result, &source, LOCALE_USER_DEFAULT, 0, AType);
  VariantClear(&source);
  if (FAILED(status))
    throw EVariantError(L"Could not convert variant of type (" + std::to_wstring(AValue.VarType()) +
                        L") into type (" + std::to_wstring(AType) + L")");
  TVariant value = TVariant::FromOle(result);
  VariantClear(&result);
  return value;
}

// ---- the kinds ---------------------------------------------------------------------------

class TBaseKind final : public TkxValueType {
public:
  TBaseKind() : TkxValueType(L"TkxValueType") {}
};

// UTF-16 text behind a reference; nullptr is Null.
class TStringKind : public TkxValueType {
public:
  TStringKind() : TkxValueType(L"TkxStringValueType") {}

  int CompareBuffers(const void* P1, const void* P2) const override {
    return CompareValues(Referenced<std::wstring>(P1), Referenced<std::wstring>(P2));
  }
  int CompareValues(const void* P1, const void* P2) const override {
    if (!P1 || !P2)
      return P1 ? 1 : P2 ? -1 : 0;
    const int order =
        static_cast<const std::wstring*>(P1)->compare(*static_cast<const std::wstring*>(P2));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
  }
  void ReleaseBuffer(void* ABuffer) const override { ReleaseTextBuffer(ABuffer); }
  size_t BufferSize() const override { return sizeof(void*); }
  TVariant BufferValue(const void* ABuffer) const override {
    return GetValue(Referenced<std::wstring>(ABuffer));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    // Null is kept as no text at all.
    if (AValue.IsNull())
      ReleaseBuffer(ABuffer);
    else
      StoreTextBuffer(ABuffer, AValue.AsString());
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    LoadTextBuffer(ABuffer, AStream);
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    SaveTextBuffer(ABuffer, AStream);
  }
  TVariant GetValue(const void* AValue) const override {
    if (!AValue)
      return TVariant::Null();
    return Cast(TVariant(*static_cast<const std::wstring*>(AValue)), GetVarType());
  }
  VARTYPE GetVarType() const override { return varUString; }
  bool IsString() const override { return true; }
  void PrepareValueBuffer(const void*& ABuffer) const override {
    ABuffer = Referenced<const void>(ABuffer);
  }

protected:
  explicit TStringKind(const wchar_t* AClassName) : TkxValueType(AClassName) {}
};

// A heap block: a 32-bit character count, then the UTF-16 code units.
class TWideStringKind final : public TStringKind {
public:
  TWideStringKind() : TStringKind(L"TkxWideStringValueType") {}

  int CompareBuffers(const void* P1, const void* P2) const override {
    return CompareValues(P1, P2);
  }
  int CompareValues(const void* P1, const void* P2) const override {
    if (!P1 || !P2)
      return P1 ? 1 : P2 ? -1 : 0;
    const int order = Text(BufferValue(P1)).compare(Text(BufferValue(P2)));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
  }
  void ReleaseBuffer(void* ABuffer) const override {
    delete[] Referenced<uint8_t>(ABuffer);
    SetReference<uint8_t>(ABuffer, nullptr);
  }
  TVariant BufferValue(const void* ABuffer) const override {
    return GetValue(Referenced<const uint8_t>(ABuffer));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    ReleaseBuffer(ABuffer);
    if (AValue.IsNull())
      return;
    const std::wstring text = AValue.AsString();
    const int32_t count = int32_t(text.size());
    auto* block = new uint8_t[sizeof(count) + text.size() * sizeof(wchar_t)];
    std::memcpy(block, &count, sizeof(count));
    std::memcpy(block + sizeof(count), text.data(), text.size() * sizeof(wchar_t));
    SetReference(ABuffer, block);
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    StoreBufferValue(ABuffer, TVariant(ReadWideStringFromStream(AStream.Stream)));
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    WriteWideStringToStream(AStream.Stream, Text(BufferValue(ABuffer)));
  }
  TVariant GetValue(const void* AValue) const override {
    if (!AValue)
      return TVariant::Null();
    const auto* block = static_cast<const uint8_t*>(AValue);
    const int32_t count = Plain<int32_t>(block);
    std::wstring text(size_t(count), L'\0');
    std::memcpy(text.data(), block + sizeof(count), text.size() * sizeof(wchar_t));
    return TVariant(text);
  }
  VARTYPE GetVarType() const override { return VT_BSTR; }

private:
  static std::wstring Text(const TVariant& AValue) {
    return AValue.IsNull() ? std::wstring() : AValue.AsString();
  }
};

// A plain number of type TNumber held in the buffer itself.
template <typename TNumber, VARTYPE kType> class TNumberKind : public TkxValueType {
public:
  explicit TNumberKind(const wchar_t* AClassName) : TkxValueType(AClassName) {}
  size_t BufferSize() const override { return sizeof(TNumber); }
  TVariant BufferValue(const void* ABuffer) const override {
    return TVariant::Integer(kType, Plain<TNumber>(ABuffer));
  }
  // The difference of the two numbers in 32-bit arithmetic.
  int CompareValues(const void* P1, const void* P2) const override {
    return int(uint32_t(int32_t(Plain<TNumber>(P1))) - uint32_t(int32_t(Plain<TNumber>(P2))));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain(ABuffer, TNumber(AValue.AsInt64()));
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    SetPlain(ABuffer, AStream.Stream.ReadValue<TNumber>());
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    AStream.Stream.WriteValue(Plain<TNumber>(ABuffer));
  }
  VARTYPE GetVarType() const override { return kType; }
};

using TSmallintKind = TNumberKind<int16_t, VT_I2>;
using TWordKind = TNumberKind<uint16_t, VT_UI2>;

class TIntegerKind : public TNumberKind<int32_t, VT_I4> {
public:
  TIntegerKind() : TNumberKind(L"TkxIntegerValueType") {}

protected:
  explicit TIntegerKind(const wchar_t* AClassName) : TNumberKind(AClassName) {}
};

class TBooleanKind final : public TkxValueType {
public:
  TBooleanKind() : TkxValueType(L"TkxBooleanValueType") {}
  size_t BufferSize() const override { return 1; }
  TVariant BufferValue(const void* ABuffer) const override {
    return TVariant(Plain<uint8_t>(ABuffer) != 0);
  }
  std::wstring BufferValueText(const void* ABuffer) const override {
    return Plain<uint8_t>(ABuffer) != 0 ? L"True" : L"False";
  }
  int CompareValues(const void* P1, const void* P2) const override {
    return int(Plain<uint8_t>(P1)) - int(Plain<uint8_t>(P2));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain<uint8_t>(ABuffer, AValue.AsBoolean() ? 1 : 0);
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    SetPlain(ABuffer, ReadByteFromStream(AStream.Stream));
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    WriteByteToStream(AStream.Stream, Plain<uint8_t>(ABuffer));
  }
  VARTYPE GetVarType() const override { return VT_BOOL; }
};

// A double: the Float and DateTime kinds.
class TDoubleKind : public TkxValueType {
public:
  using TkxValueType::TkxValueType;
  size_t BufferSize() const override { return sizeof(double); }
  int CompareValues(const void* P1, const void* P2) const override {
    return Sign(Plain<double>(P1), Plain<double>(P2));
  }
};

class TFloatKind final : public TDoubleKind {
public:
  TFloatKind() : TDoubleKind(L"TkxFloatValueType") {}
  TVariant BufferValue(const void* ABuffer) const override {
    return TVariant(Plain<double>(ABuffer));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain(ABuffer, AValue.AsDouble());
  }
  // On the stream a float takes the 10-byte extended form.
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    SetPlain(ABuffer, ReadExtendedFromStream(AStream.Stream));
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    WriteExtendedToStream(AStream.Stream, Plain<double>(ABuffer));
  }
  VARTYPE GetVarType() const override { return VT_R8; }
};

class TDateTimeKind final : public TDoubleKind {
public:
  TDateTimeKind() : TDoubleKind(L"TkxDateTimeValueType") {}
  TVariant BufferValue(const void* ABuffer) const override {
    return TVariant::Date(Plain<double>(ABuffer));
  }
  std::wstring BufferValueText(const void* ABuffer) const override {
    try {
      return BufferValue(ABuffer).AsString();
    } catch (const EVariantError&) {
      return DefaultText(Plain<double>(ABuffer));
    }
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain(ABuffer, Cast(AValue, VT_DATE).AsDouble());
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    SetPlain(ABuffer, ReadDateTimeFromStream(AStream.Stream));
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    WriteDateTimeToStream(AStream.Stream, Plain<double>(ABuffer));
  }
  VARTYPE GetVarType() const override { return VT_DATE; }

private:
  // Days and the time of day for dates the system's conversion refuses.
  static std::wstring DefaultText(double AValue) {
    const double days = AValue < 0 ? -std::ceil(AValue) : std::floor(AValue);
    const double fraction = std::fabs(AValue - (AValue < 0 ? -days : days));
    const long long seconds = std::llround(fraction * 86400.0);
    wchar_t text[64];
    swprintf(text, 64, L"%s%.0f %02lld:%02lld:%02lld", AValue < 0 ? L"-" : L"", days,
             seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    return text;
  }
};

class TCurrencyKind final : public TkxValueType {
public:
  TCurrencyKind() : TkxValueType(L"TkxCurrencyValueType") {}
  size_t BufferSize() const override { return sizeof(int64_t); }
  TVariant BufferValue(const void* ABuffer) const override {
    return TVariant::Currency(Plain<int64_t>(ABuffer));
  }
  int CompareValues(const void* P1, const void* P2) const override {
    return Sign(Plain<int64_t>(P1), Plain<int64_t>(P2));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain(ABuffer, AValue.CurrencyScaled());
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    SetPlain(ABuffer, ReadCurrencyFromStream(AStream.Stream));
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    WriteCurrencyToStream(AStream.Stream, Plain<int64_t>(ABuffer));
  }
  VARTYPE GetVarType() const override { return VT_CY; }
};

class TLargeIntKind final : public TkxValueType {
public:
  TLargeIntKind() : TkxValueType(L"TkxLargeIntValueType") {}
  size_t BufferSize() const override { return sizeof(int64_t); }
  TVariant BufferValue(const void* ABuffer) const override {
    return TVariant(Plain<int64_t>(ABuffer));
  }
  int CompareValues(const void* P1, const void* P2) const override {
    return Sign(Plain<int64_t>(P1), Plain<int64_t>(P2));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain(ABuffer, AValue.AsInt64());
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    SetPlain(ABuffer, ReadLargeIntFromStream(AStream.Stream));
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    AStream.Stream.WriteBuffer(ABuffer, sizeof(int64_t));
  }
  VARTYPE GetVarType() const override { return VT_I8; }
};

class TFMTBcdKind final : public TkxValueType {
public:
  TFMTBcdKind() : TkxValueType(L"TkxFMTBcdValueType") {}
  size_t BufferSize() const override { return sizeof(TkxBcd); }
  TVariant BufferValue(const void* ABuffer) const override {
    return Cast(TVariant(BcdToText(Plain<TkxBcd>(ABuffer))), VT_DECIMAL);
  }
  std::wstring BufferValueText(const void* ABuffer) const override {
    return BcdToText(Plain<TkxBcd>(ABuffer));
  }
  int CompareValues(const void* P1, const void* P2) const override {
    return BcdCompare(Plain<TkxBcd>(P1), Plain<TkxBcd>(P2));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain(ABuffer, VariantToBcd(AValue));
  }
  VARTYPE GetVarType() const override { return VT_DECIMAL; }
};

class TSQLTimeStampKind final : public TkxValueType {
public:
  TSQLTimeStampKind() : TkxValueType(L"TkxSQLTimeStampValueType") {}
  size_t BufferSize() const override { return sizeof(TkxSQLTimeStamp); }
  TVariant BufferValue(const void* ABuffer) const override {
    const auto stamp = Plain<TkxSQLTimeStamp>(ABuffer);
    SYSTEMTIME time{};
    time.wYear = WORD(stamp.Year);
    time.wMonth = stamp.Month;
    time.wDay = stamp.Day;
    time.wHour = stamp.Hour;
    time.wMinute = stamp.Minute;
    time.wSecond = stamp.Second;
    double date = 0;
    if (!SystemTimeToVariantTime(&time, &date))
      throw EVariantError(L"Invalid argument to time encode");
    // The system's conversion drops the milliseconds.
    date += (date < 0 ? -1.0 : 1.0) * stamp.Fractions / 86400000.0;
    return TVariant::Date(date);
  }
  // The difference of the first field that differs, year first.
  int CompareValues(const void* P1, const void* P2) const override {
    const auto a = Plain<TkxSQLTimeStamp>(P1), b = Plain<TkxSQLTimeStamp>(P2);
    const int64_t fields[][2] = {
        {a.Year, b.Year},          {a.Month, b.Month},   {a.Day, b.Day},
        {a.Hour, b.Hour},          {a.Minute, b.Minute}, {a.Second, b.Second},
        {a.Fractions, b.Fractions}};
    for (const auto& field : fields)
      if (field[0] != field[1])
        return int(field[0] - field[1]);
    return 0;
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    // Whole seconds go through the system, which rounds to them; the
    // milliseconds come from the time of day. A date's fraction is the time
    // of day also for dates before 1900, whose whole part is negative.
    const double date = Cast(AValue, VT_DATE).AsDouble();
    const double sign = date < 0 ? -1.0 : 1.0;
    double days = std::trunc(date);
    long long milliseconds = std::llround(std::fabs(date - days) * 86400000.0);
    if (milliseconds >= 86400000) {
      milliseconds -= 86400000;
      days += sign;
    }
    SYSTEMTIME time{};
    if (!VariantTimeToSystemTime(days + sign * double(milliseconds / 1000) / 86400.0, &time))
      throw EVariantError(L"Could not convert variant to a time stamp");
    TkxSQLTimeStamp stamp{};
    stamp.Year = int16_t(time.wYear);
    stamp.Month = time.wMonth;
    stamp.Day = time.wDay;
    stamp.Hour = time.wHour;
    stamp.Minute = time.wMinute;
    stamp.Second = time.wSecond;
    stamp.Fractions = uint32_t(milliseconds % 1000);
    SetPlain(ABuffer, stamp);
  }
  VARTYPE GetVarType() const override { return VT_DATE; }
};

// Any value, in a heap variant made when it is first set.
class TVariantKind final : public TkxValueType {
public:
  TVariantKind() : TkxValueType(L"TkxVariantValueType") {}
  int CompareBuffers(const void* P1, const void* P2) const override {
    return CompareValues(Referenced<TVariant>(P1), Referenced<TVariant>(P2));
  }
  int CompareValues(const void* P1, const void* P2) const override {
    if (!P1 || !P2)
      return P1 ? 1 : P2 ? -1 : 0;
    return CompareVariants(*static_cast<const TVariant*>(P1), *static_cast<const TVariant*>(P2));
  }
  void ReleaseBuffer(void* ABuffer) const override {
    delete Referenced<TVariant>(ABuffer);
    SetReference<TVariant>(ABuffer, nullptr);
  }
  size_t BufferSize() const override { return sizeof(void*); }
  TVariant BufferValue(const void* ABuffer) const override {
    return GetValue(Referenced<TVariant>(ABuffer));
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    if (TVariant* value = Referenced<TVariant>(ABuffer))
      *value = AValue;
    else
      SetReference(ABuffer, new TVariant(AValue));
  }
  // A value never set reads as unassigned.
  TVariant GetValue(const void* AValue) const override {
    return AValue ? *static_cast<const TVariant*>(AValue) : TVariant();
  }
  void PrepareValueBuffer(const void*& ABuffer) const override {
    ABuffer = Referenced<const void>(ABuffer);
  }
};

// An owned object, its reference held as a pointer-sized integer.
class TObjectKind final : public TIntegerKind {
public:
  TObjectKind() : TIntegerKind(L"TkxObjectValueType") {}
  size_t BufferSize() const override { return sizeof(intptr_t); }
  TVariant BufferValue(const void* ABuffer) const override {
    return TVariant::Integer(GetVarType(), Plain<intptr_t>(ABuffer));
  }
  int CompareValues(const void* P1, const void* P2) const override {
    return Sign(Plain<intptr_t>(P1), Plain<intptr_t>(P2));
  }
  void ReleaseBuffer(void* ABuffer) const override {
    delete reinterpret_cast<TPersistent*>(Plain<intptr_t>(ABuffer));
    SetPlain<intptr_t>(ABuffer, 0);
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    SetPlain(ABuffer, intptr_t(AValue.AsInt64()));
  }
  void LoadBufferValue(void*, TkxValueStream&) const override {}
  void SaveBufferValue(const void*, TkxValueStream&) const override {}
  VARTYPE GetVarType() const override { return sizeof(intptr_t) == 4 ? VT_I4 : VT_I8; }
};

// Bytes in a heap 8-bit string; nullptr is Null.
class TBLOBKind final : public TkxValueType {
public:
  TBLOBKind() : TkxValueType(L"TkxBLOBValueType") {}
  int CompareBuffers(const void* P1, const void* P2) const override {
    const std::string *a = Referenced<std::string>(P1), *b = Referenced<std::string>(P2);
    if (!a || !b)
      return a ? 1 : b ? -1 : 0;
    const int order = a->compare(*b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
  }
  int CompareValues(const void* P1, const void* P2) const override {
    return CompareBuffers(P1, P2);
  }
  void ReleaseBuffer(void* ABuffer) const override {
    delete Referenced<std::string>(ABuffer);
    SetReference<std::string>(ABuffer, nullptr);
  }
  size_t BufferSize() const override { return sizeof(void*); }
  TVariant BufferValue(const void* ABuffer) const override {
    const std::string* bytes = Referenced<std::string>(ABuffer);
    return bytes ? TVariant::Ansi(*bytes) : TVariant::Null();
  }
  void StoreBufferValue(void* ABuffer, const TVariant& AValue) const override {
    if (AValue.IsNull()) {
      ReleaseBuffer(ABuffer);
      return;
    }
    std::string bytes = AValue.AsAnsi();
    if (std::string* held = Referenced<std::string>(ABuffer))
      *held = std::move(bytes);
    else
      SetReference(ABuffer, new std::string(std::move(bytes)));
  }
  void LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const override {
    StoreBufferValue(ABuffer, TVariant::Ansi(ReadAnsiStringFromStream(AStream.Stream)));
  }
  void SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const override {
    const std::string* bytes = Referenced<std::string>(ABuffer);
    WriteAnsiStringToStream(AStream.Stream, bytes ? *bytes : std::string());
  }
  VARTYPE GetVarType() const override { return varAnsiString; }
  bool IsString() const override { return true; }
};

const TBaseKind kBase;
const TStringKind kString;
const TWideStringKind kWideString;
const TSmallintKind kSmallint(L"TkxSmallintValueType");
const TIntegerKind kInteger;
const TWordKind kWord(L"TkxWordValueType");
const TBooleanKind kBoolean;
const TFloatKind kFloat;
const TCurrencyKind kCurrency;
const TDateTimeKind kDateTime;
const TLargeIntKind kLargeInt;
const TFMTBcdKind kFMTBcd;
const TSQLTimeStampKind kSQLTimeStamp;
const TVariantKind kVariant;
const TObjectKind kObject;
const TBLOBKind kBLOB;

} // namespace

const TkxValueTypeClass kkxValueTypes[15] = {
    &kString,   &kWideString, &kSmallint, &kInteger,      &kWord,    &kBoolean, &kFloat, &kCurrency,
    &kDateTime, &kLargeInt,   &kFMTBcd,   &kSQLTimeStamp, &kVariant, &kObject,  &kBLOB,
};

TkxValueTypeClass kxBaseValueType() {
  return &kBase;
}

TkxValueTypeClass FindValueTypeClass(const std::wstring& AClassName) {
  if (AClassName == kBase.ClassName())
    return &kBase;
  for (TkxValueTypeClass type : kkxValueTypes)
    if (AClassName == type->ClassName())
      return type;
  return nullptr;
}

// ---- the base kind ----------------------------------------------------------------------

int TkxValueType::CompareBuffers(const void* P1, const void* P2) const {
  return CompareValues(P1, P2);
}

void TkxValueType::ReleaseBuffer(void*) const {}

void TkxValueType::ReleaseTextBuffer(void* ATextBuffer) const {
  delete Referenced<std::wstring>(ATextBuffer);
  SetReference<std::wstring>(ATextBuffer, nullptr);
}

TVariant TkxValueType::BufferValue(const void*) const {
  return TVariant::Null();
}

std::wstring TkxValueType::BufferValueText(const void* ABuffer) const {
  try {
    return BufferValue(ABuffer).AsString();
  } catch (const EVariantError&) {
    return {};
  }
}

std::wstring TkxValueType::TextBufferText(const void* ATextBuffer) const {
  const std::wstring* text = Referenced<std::wstring>(ATextBuffer);
  return text ? *text : std::wstring();
}

void TkxValueType::LoadBufferValue(void* ABuffer, TkxValueStream& AStream) const {
  StoreBufferValue(ABuffer, ReadVariantFromStream(AStream.Stream));
}

void TkxValueType::LoadTextBuffer(void* ATextBuffer, TkxValueStream& AStream) const {
  StoreTextBuffer(ATextBuffer, AStream.Unicode
                                   ? ReadWideStringFromStream(AStream.Stream)
                                   : AnsiToWide(ReadAnsiStringFromStream(AStream.Stream)));
}

void TkxValueType::StoreBufferValue(void*, const TVariant&) const {}

void TkxValueType::StoreTextBuffer(void* ATextBuffer, const std::wstring& AText) const {
  if (std::wstring* text = Referenced<std::wstring>(ATextBuffer))
    *text = AText;
  else
    SetReference(ATextBuffer, new std::wstring(AText));
}

void TkxValueType::SaveBufferValue(const void* ABuffer, TkxValueStream& AStream) const {
  WriteVariantToStream(AStream.Stream, BufferValue(ABuffer));
}

void TkxValueType::SaveTextBuffer(const void* ATextBuffer, TkxValueStream& AStream) const {
  const std::wstring text = TextBufferText(ATextBuffer);
  if (AStream.Unicode)
    WriteWideStringToStream(AStream.Stream, text);
  else
    WriteAnsiStringToStream(AStream.Stream, text);
}

std::wstring TkxValueType::Caption() const {
  std::wstring caption = FClassName;
  if (caption.rfind(L"Tkx", 0) == 0)
    caption.erase(0, 3);
  if (const size_t at = caption.find(L"ValueType"); at != std::wstring::npos)
    caption.erase(at, 9);
  return caption;
}

int TkxValueType::CompareValues(const void* P1, const void* P2) const {
  return CompareVariants(BufferValue(P1), BufferValue(P2));
}

bool TkxValueType::IsValueValid(TVariant& AValue) const {
  if (AValue.IsNull() || GetVarType() == VT_VARIANT)
    return true;
  try {
    AValue = Cast(AValue, GetVarType());
    return true;
  } catch (const EVariantError&) {
    return false;
  }
}

// ---- BCD ---------------------------------------------------------------------------------

TkxBcd VariantToBcd(const TVariant& AValue) {
  // The exact decimal digits of the value, in the invariant form.
  VARIANT source = AValue.ToOle();
  VARIANT decimal;
  VariantInit(&decimal);
  HRESULT status = VariantChangeTypeEx(&decimal, &source, LOCALE_USER_DEFAULT, 0, VT_DECIMAL);
  VariantClear(&source);
  VARIANT text;
  VariantInit(&text);
  if (SUCCEEDED(status))
    status = VariantChangeTypeEx(&text, &decimal, LOCALE_INVARIANT, 0, VT_BSTR);
  VariantClear(&decimal);
  if (FAILED(status))
    throw EVariantError(L"Could not convert variant to BCD");
  const std::wstring digits(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);

  TkxBcd bcd{};
  bool negative = false;
  int places = 0, count = 0;
  bool afterPoint = false, leading = true;
  for (wchar_t c : digits) {
    if (c == L'-') {
      negative = true;
    } else if (c == L'.') {
      afterPoint = true;
    } else if (c >= L'0' && c <= L'9') {
      // Leading zeros of the whole part take no digit.
      if (leading && c == L'0' && !afterPoint)
        continue;
      leading = false;
      if (count >= 64)
        break;
      const uint8_t digit = uint8_t(c - L'0');
      bcd.Fraction[count / 2] |= count % 2 == 0 ? uint8_t(digit << 4) : digit;
      ++count;
      if (afterPoint)
        ++places;
    }
  }
  if (count == 0)
    count = 1; // zero: one digit 0
  bcd.Precision = uint8_t(count);
  bcd.SignSpecialPlaces = uint8_t((negative ? 0x80 : 0) | (places & 0x3F));
  return bcd;
}

std::wstring BcdToText(const TkxBcd& AValue) {
  const int count = std::min<int>(AValue.Precision, 64);
  const int places = std::min(AValue.SignSpecialPlaces & 0x3F, count);
  std::wstring digits;
  for (int i = 0; i < count; ++i) {
    const uint8_t pair = AValue.Fraction[i / 2];
    digits += wchar_t(L'0' + (i % 2 == 0 ? pair >> 4 : pair & 0x0F));
  }
  std::wstring whole = digits.substr(0, size_t(count - places));
  std::wstring fraction = digits.substr(size_t(count - places));
  whole.erase(0, std::min(whole.find_first_not_of(L'0'), whole.size()));
  if (whole.empty())
    whole = L"0";
  while (!fraction.empty() && fraction.back() == L'0')
    fraction.pop_back();
  std::wstring text = whole + (fraction.empty() ? L"" : L"." + fraction);
  if ((AValue.SignSpecialPlaces & 0x80) && text != L"0")
    text = L"-" + text;
  return text;
}

int BcdCompare(const TkxBcd& A, const TkxBcd& B) {
  DECIMAL a{}, b{};
  std::wstring ta = BcdToText(A), tb = BcdToText(B);
  if (FAILED(VarDecFromStr(ta.data(), LOCALE_INVARIANT, 0, &a)) ||
      FAILED(VarDecFromStr(tb.data(), LOCALE_INVARIANT, 0, &b)))
    throw EVariantError(L"BCD overflow");
  switch (VarDecCmp(&a, &b)) {
  case VARCMP_LT:
    return -1;
  case VARCMP_GT:
    return 1;
  default:
    return 0;
  }
}

// ---- the registry ------------------------------------------------------------------------

void TkxValueTypeClassList::RegisterItem(TkxValueTypeClass AItem) {
  if (AItem && std::find(FItems.begin(), FItems.end(), AItem) == FItems.end())
    FItems.push_back(AItem);
}

void TkxValueTypeClassList::UnregisterItem(TkxValueTypeClass AItem) {
  auto it = std::find(FItems.begin(), FItems.end(), AItem);
  if (it != FItems.end())
    FItems.erase(it);
}

TkxValueTypeClass TkxValueTypeClassList::ItemByCaption(const std::wstring& ACaption) const {
  for (TkxValueTypeClass item : FItems)
    if (ACaption == item->Caption())
      return item;
  return nullptr;
}

TkxValueTypeClassList* ValueTypeClassList() {
  if (!GList && !GFinalized)
    GList = new TkxValueTypeClassList();
  return GList;
}

void KxDataStorageStartup() {
  try {
    GFinalized = false;
    for (TkxValueTypeClass type : kkxValueTypes) {
      ValueTypeClassList()->RegisterItem(type);
      LedgerRegistration(L"ValueType", type->Caption().c_str(), true);
    }
  } catch (...) {
  }
}

void KxDataStorageShutdown() {
  try {
    if (GList)
      for (size_t i = std::size(kkxValueTypes); i-- > 0;) {
        GList->UnregisterItem(kkxValueTypes[i]);
        LedgerRegistration(L"ValueType", kkxValueTypes[i]->Caption().c_str(), false);
      }
    delete GList;
    GList = nullptr;
    GFinalized = true;
  } catch (...) {
  }
}
