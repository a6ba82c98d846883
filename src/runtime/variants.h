#pragma once

#include "rtl-exceptions.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

// Conversions between UTF-16 and the system's ANSI code page; characters
// without a counterpart become the code page's default character.
std::wstring AnsiToWide(const std::string& AText);
std::string WideToAnsi(const std::wstring& AText);

// The run time's tagged value: the OLE automation types by their VARTYPE,
// plus two string types of its own that OLE lacks: an 8-bit string in the
// system's ANSI code page and a UTF-16 string told apart from a BSTR. Arrays
// are one-dimensional lists of values with a low bound.
constexpr VARTYPE varAnsiString = 0x100;
constexpr VARTYPE varUString = 0x102;
constexpr VARTYPE varArray = VT_ARRAY | VT_VARIANT;

// A value that cannot be converted to the type asked for.
class EVariantError : public Exception {
  using Exception::Exception;
};

class TVariant {
public:
  TVariant() { VariantInit(&FOle); }
  TVariant(const TVariant& AOther);
  TVariant(TVariant&& AOther) noexcept;
  TVariant& operator=(const TVariant& AOther);
  TVariant& operator=(TVariant&& AOther) noexcept;
  ~TVariant() { Clear(); }

  // Integers keep the type of their C++ parameter.
  TVariant(int32_t AValue);
  TVariant(int64_t AValue);
  TVariant(double AValue);
  TVariant(bool AValue);
  TVariant(const std::wstring& AValue);
  TVariant(const wchar_t* AValue) : TVariant(std::wstring(AValue)) {}

  static TVariant Null();
  // An integer of an exact OLE integer type (VT_I1, VT_UI1, ..., VT_I8).
  static TVariant Integer(VARTYPE AType, int64_t AValue);
  static TVariant Single(float AValue);
  // A currency amount: the amount times 10 000.
  static TVariant Currency(int64_t AScaled);
  // Days since 30 December 1899.
  static TVariant Date(double AValue);
  static TVariant Ansi(const std::string& AValue);
  static TVariant UString(const std::wstring& AValue);
  // A one-dimensional array of values with its low bound.
  static TVariant Array(std::vector<TVariant> AItems, int32_t ALowBound = 0);
  // A copy of an OLE VARIANT (references followed); raises EVariantError for
  // what it cannot hold.
  static TVariant FromOle(const VARIANT& AValue);

  // The type code: a VARTYPE, varAnsiString, varUString or varArray.
  VARTYPE VarType() const { return FType; }
  bool IsEmpty() const { return FType == VT_EMPTY; }
  bool IsNull() const { return FType == VT_NULL; }
  bool IsArray() const { return FType == varArray; }
  bool IsString() const {
    return FType == VT_BSTR || FType == varAnsiString || FType == varUString;
  }
  bool IsInteger() const;
  bool IsNumeric() const;

  // --- arrays ---
  int32_t LowBound() const { return FLowBound; }
  int32_t HighBound() const { return FLowBound + int32_t(FItems.size()) - 1; }
  const std::vector<TVariant>& Items() const { return FItems; }
  // The element at an index between the bounds; raises EVariantError beyond.
  const TVariant& operator[](int32_t AIndex) const;

  // --- conversions; each raises EVariantError when the value has no such form ---
  int64_t AsInt64() const;
  double AsDouble() const;
  bool AsBoolean() const;
  std::wstring AsString() const;
  // The scaled currency integer of a VT_CY value.
  int64_t CurrencyScaled() const;
  // The text of an ANSI string as stored, or the value's text in the ANSI code page.
  std::string AsAnsi() const;

  // The value as an OLE VARIANT the caller clears: strings as BSTRs, arrays as
  // SAFEARRAYs of VARIANTs.
  VARIANT ToOle() const;

private:
  void Clear();
  void CopyFrom(const TVariant& AOther);
  // The scalar value in OLE form (strings as a BSTR), for the system's
  // conversions; the caller clears it.
  VARIANT ScalarOle() const;

  VARTYPE FType = VT_EMPTY;
  VARIANT FOle; // scalar OLE types and BSTR / varUString text
  std::string FAnsi;
  std::vector<TVariant> FItems;
  int32_t FLowBound = 0;
};

// The platform's equality and order of two scalar values, by the system's
// VarCmp with the user's locale: -1, 0 or 1. Two Nulls are equal, and a Null
// sorts before any other value. Raises EVariantError when the values cannot
// be compared.
int VariantCompareOle(const TVariant& A, const TVariant& B);
