#pragma once

#include "streams.h"
#include "variants.h"

#include <array>
#include <cstdint>
#include <string>

// Comparison and classification of the values the data units keep, and the
// variant stream: one tag byte per value, then its payload, little-endian.

// Order of two values: arrays element by element, scalars with unassigned
// first, then Null, then by the run time's order.
int CompareVariants(const TVariant& A, const TVariant& B);
int CompareScalarVariants(const TVariant& A, const TVariant& B);
// Two arrays: the difference of their high bounds when they differ, else the
// first element that differs decides.
int CompareVariantArrays(const TVariant& A, const TVariant& B);
bool VariantsEqual(const TVariant& A, const TVariant& B);
// As VariantsEqual, except that a Boolean compares with a non-Null value by
// their texts.
bool VariantsEqualLoose(const TVariant& A, const TVariant& B);
bool IsDateVarType(VARTYPE AVarType);
bool IsDateVariant(const TVariant& AValue);
bool IsNumericVariant(const TVariant& AValue);
bool IsNullOrEmptyStringVariant(const TVariant& AValue);

// The tags of the variant stream.
enum class TkxVariantTag : uint8_t {
  Null = 0,
  Array = 1,
  Int8 = 2,
  Int16 = 3,
  Int32 = 4,
  Extended = 5,
  ShortAnsi = 6,
  False = 8,
  True = 9,
  LongAnsi = 12,
  Unassigned = 13,
  Single = 15,
  Currency = 16,
  Date = 17,
  WideString = 18,
  Int64 = 19,
};

// Reads one value; an unknown tag raises EReadError "Stream read error".
TVariant ReadVariantFromStream(TStream& AStream);
// Writes one value; a value the stream cannot hold raises EWriteError
// "Stream write error" after what was already written.
void WriteVariantToStream(TStream& AStream, const TVariant& AValue);

// Length-prefixed strings: a 4-byte byte count and the ANSI bytes, or a
// 4-byte character count and the UTF-16 code units.
std::string ReadAnsiStringFromStream(TStream& AStream);
void WriteAnsiStringToStream(TStream& AStream, const std::string& AValue);
// Text held in UTF-16 goes out in the system's ANSI code page.
void WriteAnsiStringToStream(TStream& AStream, const std::wstring& AValue);
std::wstring ReadWideStringFromStream(TStream& AStream);
void WriteWideStringToStream(TStream& AStream, const std::wstring& AValue);

// Fixed-size values.
uint8_t ReadByteFromStream(TStream& AStream);
void WriteByteToStream(TStream& AStream, uint8_t AValue);
int16_t ReadSmallIntFromStream(TStream& AStream);
void WriteSmallIntToStream(TStream& AStream, int16_t AValue);
uint16_t ReadWordFromStream(TStream& AStream);
void WriteWordToStream(TStream& AStream, uint16_t AValue);
int32_t ReadIntegerFromStream(TStream& AStream);
void WriteIntegerToStream(TStream& AStream, int32_t AValue);
int64_t ReadLargeIntFromStream(TStream& AStream);
void WriteLargeIntToStream(TStream& AStream, int64_t AValue);
// Currency as its scaled 64-bit integer (the amount times 10 000).
int64_t ReadCurrencyFromStream(TStream& AStream);
void WriteCurrencyToStream(TStream& AStream, int64_t AScaled);
double ReadDateTimeFromStream(TStream& AStream);
void WriteDateTimeToStream(TStream& AStream, double AValue);
// The 10-byte x87 extended format, held here as a double.
double ReadExtendedFromStream(TStream& AStream);
void WriteExtendedToStream(TStream& AStream, double AValue);

// The 10-byte extended form of a double and back (exact for every double;
// an extended value beyond a double's range becomes an infinity or zero).
std::array<uint8_t, 10> DoubleToExtended(double AValue);
double ExtendedToDouble(const std::array<uint8_t, 10>& ABytes);
