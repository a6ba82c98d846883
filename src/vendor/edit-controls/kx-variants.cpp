#include "kx-variants.h"

#include "kx-resource-strings.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

[[noreturn]] void RaiseReadError() {
  throw EReadError(KxResString(L"kxSDataReadError"));
}

[[noreturn]] void RaiseWriteError() {
  throw EWriteError(KxResString(L"kxSDataWriteError"));
}

void WriteTag(TStream& AStream, TkxVariantTag ATag) {
  WriteByteToStream(AStream, uint8_t(ATag));
}

// An integer with the smallest tag that holds it.
void WriteInteger(TStream& AStream, int64_t AValue) {
  if (AValue >= INT8_MIN && AValue <= INT8_MAX) {
    WriteTag(AStream, TkxVariantTag::Int8);
    AStream.WriteValue(int8_t(AValue));
  } else if (AValue >= INT16_MIN && AValue <= INT16_MAX) {
    WriteTag(AStream, TkxVariantTag::Int16);
    WriteSmallIntToStream(AStream, int16_t(AValue));
  } else if (AValue >= INT32_MIN && AValue <= INT32_MAX) {
    WriteTag(AStream, TkxVariantTag::Int32);
    WriteIntegerToStream(AStream, int32_t(AValue));
  } else {
    WriteTag(AStream, TkxVariantTag::Int64);
    WriteLargeIntToStream(AStream, AValue);
  }
}

void WriteAnsi(TStream& AStream, const std::string& AText) {
  if (AText.size() < 256) {
    WriteTag(AStream, TkxVariantTag::ShortAnsi);
    WriteByteToStream(AStream, uint8_t(AText.size()));
    AStream.WriteBuffer(AText.data(), AText.size());
  } else {
    WriteTag(AStream, TkxVariantTag::LongAnsi);
    WriteAnsiStringToStream(AStream, AText);
  }
}

std::string ReadBytes(TStream& AStream, size_t ACount) {
  std::string bytes(ACount, '\0');
  AStream.ReadBuffer(bytes.data(), ACount);
  return bytes;
}

} // namespace

// ---- comparison and classification ---------------------------------------------------

int CompareVariants(const TVariant& A, const TVariant& B) {
  if (A.IsArray() || B.IsArray())
    return CompareVariantArrays(A, B);
  return CompareScalarVariants(A, B);
}

int CompareScalarVariants(const TVariant& A, const TVariant& B) {
  if (A.IsEmpty())
    return B.IsEmpty() ? 0 : -1;
  if (B.IsEmpty())
    return 1;
  try {
    if (A.IsNull() && B.IsNull())
      return 0;
    if (A.IsNull())
      return -1;
    if (B.IsNull())
      return 1;
    return VariantCompareOle(A, B);
  } catch (const EVariantError&) {
    // Values the run time cannot bring to one type sort first.
    return -1;
  }
}

int CompareVariantArrays(const TVariant& A, const TVariant& B) {
  if (A.IsArray() != B.IsArray())
    return A.IsArray() ? 1 : -1;
  if (!A.IsArray())
    return CompareScalarVariants(A, B);
  if (const int difference = A.HighBound() - B.HighBound(); difference != 0)
    return difference;
  // Elements are compared by index from 0; an index below an array's low
  // bound holds nothing there.
  const TVariant nothing;
  const auto element = [&nothing](const TVariant& AArray, int32_t AIndex) -> const TVariant& {
    return AIndex < AArray.LowBound() ? nothing : AArray[AIndex];
  };
  for (int32_t i = 0; i <= A.HighBound(); ++i)
    if (const int result = CompareVariants(element(A, i), element(B, i)); result != 0)
      return result;
  return 0;
}

bool VariantsEqual(const TVariant& A, const TVariant& B) {
  return CompareVariants(A, B) == 0;
}

bool VariantsEqualLoose(const TVariant& A, const TVariant& B) {
  if (!A.IsNull() && !B.IsNull() && (A.VarType() == VT_BOOL || B.VarType() == VT_BOOL)) {
    try {
      return A.AsString() == B.AsString();
    } catch (const EVariantError&) {
      return false;
    }
  }
  return VariantsEqual(A, B);
}

bool IsDateVarType(VARTYPE AVarType) {
  // The run time keeps no time-stamp type of its own, so dates are VT_DATE.
  return AVarType == VT_DATE;
}

bool IsDateVariant(const TVariant& AValue) {
  return IsDateVarType(AValue.VarType());
}

bool IsNumericVariant(const TVariant& AValue) {
  return AValue.IsNumeric();
}

bool IsNullOrEmptyStringVariant(const TVariant& AValue) {
  return AValue.IsNull() || (AValue.IsString() && AValue.AsString().empty());
}

// ---- the variant stream ----------------------------------------------------------------

TVariant ReadVariantFromStream(TStream& AStream) {
  switch (TkxVariantTag(ReadByteFromStream(AStream))) {
  case TkxVariantTag::Null:
    return TVariant::Null();
  case TkxVariantTag::Array: {
    const TVariant count = ReadVariantFromStream(AStream);
    if (!count.IsInteger() || count.AsInt64() < 0)
      RaiseReadError();
    std::vector<TVariant> items;
    for (int64_t i = 0; i < count.AsInt64(); ++i)
      items.push_back(ReadVariantFromStream(AStream));
    return TVariant::Array(std::move(items));
  }
  case TkxVariantTag::Int8:
    return TVariant::Integer(VT_I1, AStream.ReadValue<int8_t>());
  case TkxVariantTag::Int16:
    return TVariant::Integer(VT_I2, ReadSmallIntFromStream(AStream));
  case TkxVariantTag::Int32:
    return TVariant(ReadIntegerFromStream(AStream));
  case TkxVariantTag::Extended:
    return TVariant(ReadExtendedFromStream(AStream));
  case TkxVariantTag::ShortAnsi:
    return TVariant::Ansi(ReadBytes(AStream, ReadByteFromStream(AStream)));
  case TkxVariantTag::False:
    return TVariant(false);
  case TkxVariantTag::True:
    return TVariant(true);
  case TkxVariantTag::LongAnsi:
    return TVariant::Ansi(ReadAnsiStringFromStream(AStream));
  case TkxVariantTag::Unassigned:
    return TVariant();
  case TkxVariantTag::Single:
    return TVariant::Single(AStream.ReadValue<float>());
  case TkxVariantTag::Currency:
    return TVariant::Currency(ReadCurrencyFromStream(AStream));
  case TkxVariantTag::Date:
    return TVariant::Date(ReadDateTimeFromStream(AStream));
  case TkxVariantTag::WideString:
    return TVariant(ReadWideStringFromStream(AStream));
  case TkxVariantTag::Int64:
    return TVariant(ReadLargeIntFromStream(AStream));
  }
  RaiseReadError();
}

void WriteVariantToStream(TStream& AStream, const TVariant& AValue) {
  if (AValue.IsArray()) {
    WriteTag(AStream, TkxVariantTag::Array);
    WriteInteger(AStream, int64_t(AValue.Items().size()));
    for (const TVariant& item : AValue.Items())
      WriteVariantToStream(AStream, item);
    return;
  }
  switch (AValue.VarType()) {
  case VT_EMPTY:
    WriteTag(AStream, TkxVariantTag::Unassigned);
    return;
  case VT_NULL:
    WriteTag(AStream, TkxVariantTag::Null);
    return;
  case VT_I1:
  case VT_UI1:
  case VT_I2:
  case VT_UI2:
  case VT_I4:
  case VT_UI4:
  case VT_I8:
    WriteInteger(AStream, AValue.AsInt64());
    return;
  case VT_R4:
    WriteTag(AStream, TkxVariantTag::Single);
    AStream.WriteValue(float(AValue.AsDouble()));
    return;
  case VT_R8:
  case VT_DECIMAL:
    // The decimal type goes out as the double it converts to.
    WriteTag(AStream, TkxVariantTag::Extended);
    WriteExtendedToStream(AStream, AValue.AsDouble());
    return;
  case VT_CY:
    WriteTag(AStream, TkxVariantTag::Currency);
    WriteCurrencyToStream(AStream, AValue.CurrencyScaled());
    return;
  case VT_DATE:
    WriteTag(AStream, TkxVariantTag::Date);
    WriteDateTimeToStream(AStream, AValue.AsDouble());
    return;
  case VT_BSTR:
  case varUString:
    WriteTag(AStream, TkxVariantTag::WideString);
    WriteWideStringToStream(AStream, AValue.AsString());
    return;
  case VT_BOOL:
    WriteTag(AStream, AValue.AsBoolean() ? TkxVariantTag::True : TkxVariantTag::False);
    return;
  default:
    break;
  }
  // Anything else goes as its ANSI text.
  std::string text;
  try {
    text = AValue.AsAnsi();
  } catch (const EVariantError&) {
    RaiseWriteError();
  }
  WriteAnsi(AStream, text);
}

// ---- strings and fixed-size values --------------------------------------------------------

std::string ReadAnsiStringFromStream(TStream& AStream) {
  const int32_t count = ReadIntegerFromStream(AStream);
  if (count < 0)
    RaiseReadError();
  return ReadBytes(AStream, size_t(count));
}

void WriteAnsiStringToStream(TStream& AStream, const std::string& AValue) {
  WriteIntegerToStream(AStream, int32_t(AValue.size()));
  AStream.WriteBuffer(AValue.data(), AValue.size());
}

void WriteAnsiStringToStream(TStream& AStream, const std::wstring& AValue) {
  WriteAnsiStringToStream(AStream, TVariant(AValue).AsAnsi());
}

std::wstring ReadWideStringFromStream(TStream& AStream) {
  const int32_t count = ReadIntegerFromStream(AStream);
  if (count < 0)
    RaiseReadError();
  std::wstring text(size_t(count), L'\0');
  AStream.ReadBuffer(text.data(), size_t(count) * sizeof(wchar_t));
  return text;
}

void WriteWideStringToStream(TStream& AStream, const std::wstring& AValue) {
  WriteIntegerToStream(AStream, int32_t(AValue.size()));
  AStream.WriteBuffer(AValue.data(), AValue.size() * sizeof(wchar_t));
}

uint8_t ReadByteFromStream(TStream& AStream) {
  return AStream.ReadValue<uint8_t>();
}
void WriteByteToStream(TStream& AStream, uint8_t AValue) {
  AStream.WriteValue(AValue);
}
int16_t ReadSmallIntFromStream(TStream& AStream) {
  return AStream.ReadValue<int16_t>();
}
void WriteSmallIntToStream(TStream& AStream, int16_t AValue) {
  AStream.WriteValue(AValue);
}
uint16_t ReadWordFromStream(TStream& AStream) {
  return AStream.ReadValue<uint16_t>();
}
void WriteWordToStream(TStream& AStream, uint16_t AValue) {
  AStream.WriteValue(AValue);
}
int32_t ReadIntegerFromStream(TStream& AStream) {
  return AStream.ReadValue<int32_t>();
}
void WriteIntegerToStream(TStream& AStream, int32_t AValue) {
  AStream.WriteValue(AValue);
}
int64_t ReadLargeIntFromStream(TStream& AStream) {
  return AStream.ReadValue<int64_t>();
}
void WriteLargeIntToStream(TStream& AStream, int64_t AValue) {
  AStream.WriteValue(AValue);
}
int64_t ReadCurrencyFromStream(TStream& AStream) {
  return AStream.ReadValue<int64_t>();
}
void WriteCurrencyToStream(TStream& AStream, int64_t AScaled) {
  AStream.WriteValue(AScaled);
}
double ReadDateTimeFromStream(TStream& AStream) {
  return AStream.ReadValue<double>();
}
void WriteDateTimeToStream(TStream& AStream, double AValue) {
  AStream.WriteValue(AValue);
}

double ReadExtendedFromStream(TStream& AStream) {
  std::array<uint8_t, 10> bytes{};
  AStream.ReadBuffer(bytes.data(), bytes.size());
  return ExtendedToDouble(bytes);
}

void WriteExtendedToStream(TStream& AStream, double AValue) {
  const std::array<uint8_t, 10> bytes = DoubleToExtended(AValue);
  AStream.WriteBuffer(bytes.data(), bytes.size());
}

// ---- the extended format ------------------------------------------------------------------

std::array<uint8_t, 10> DoubleToExtended(double AValue) {
  const uint64_t bits = std::bit_cast<uint64_t>(AValue);
  const uint16_t sign = uint16_t(bits >> 63) << 15;
  const int exponent = int((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
  uint16_t top = sign;
  uint64_t mantissa = 0;
  if (exponent == 0x7FF) {
    // Infinities and NaNs keep their payload under the explicit integer bit.
    top |= 0x7FFF;
    mantissa = (uint64_t(1) << 63) | (fraction << 11);
  } else if (exponent != 0) {
    top |= uint16_t(exponent - 1023 + 16383);
    mantissa = (uint64_t(1) << 63) | (fraction << 11);
  } else if (fraction != 0) {
    // A subnormal double is a normal extended: move its leading bit to the top.
    const int leading = 63 - std::countl_zero(fraction);
    top |= uint16_t(leading - 1074 + 16383);
    mantissa = fraction << (63 - leading);
  }
  std::array<uint8_t, 10> bytes{};
  for (int i = 0; i < 8; ++i)
    bytes[size_t(i)] = uint8_t(mantissa >> (8 * i));
  bytes[8] = uint8_t(top);
  bytes[9] = uint8_t(top >> 8);
  return bytes;
}

double ExtendedToDouble(const std::array<uint8_t, 10>& ABytes) {
  uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i)
    mantissa |= uint64_t(ABytes[size_t(i)]) << (8 * i);
  const int top = ABytes[8] | (ABytes[9] << 8);
  const bool negative = (top & 0x8000) != 0;
  const int exponent = top & 0x7FFF;
  double value;
  if (exponent == 0x7FFF) {
    value = (mantissa << 1) == 0 ? std::numeric_limits<double>::infinity()
                                 : std::numeric_limits<double>::quiet_NaN();
  } else if (mantissa == 0) {
    value = 0.0;
  } else {
    // The mantissa's top 53 bits carry all a double holds; ldexp then places
    // them, rounding only where the result is subnormal.
    const int shift = std::countl_zero(mantissa);
    const uint64_t normal = mantissa << shift;
    const int exponentOfTop = (exponent == 0 ? 1 : exponent) - 16383 - shift;
    uint64_t top53 = normal >> 11;
    const uint64_t rest = normal & 0x7FF;
    // Round to nearest, ties to even.
    if (rest > 0x400 || (rest == 0x400 && (top53 & 1)))
      ++top53;
    value = std::ldexp(double(top53), exponentOfTop - 52);
  }
  return negative ? -value : value;
}
