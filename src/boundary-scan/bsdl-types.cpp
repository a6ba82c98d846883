#include "bsdl-types.h"

#include <algorithm>

namespace {

wchar_t FoldCase(wchar_t AChar) {
  return (AChar >= L'a' && AChar <= L'z') ? static_cast<wchar_t>(AChar - L'a' + L'A') : AChar;
}

template <std::size_t N>
std::wstring_view NameAt(const std::array<std::wstring_view, N>& ATable, std::uint8_t AValue) {
  return AValue < N ? ATable[AValue] : std::wstring_view();
}

template <typename T, std::size_t N>
T ValueOfName(const std::array<std::wstring_view, N>& ATable, std::wstring_view AName) {
  for (std::size_t i = 0; i < N; ++i)
    if (SameTextIgnoringCase(ATable[i], AName))
      return static_cast<T>(i);
  return static_cast<T>(0);
}

} // namespace

std::wstring_view PinElectricalName(TPinElectrical AValue) {
  return NameAt(PinElectricalNames, AValue);
}
std::wstring_view CellKindName(TCellKind AValue) {
  return NameAt(CellKindNames, AValue);
}
std::wstring_view CellFunctionName(TCellFunction AValue) {
  return NameAt(CellFunctionNames, AValue);
}
std::wstring_view BitValueName(TBitValue AValue) {
  return NameAt(BitValueNames, AValue);
}
std::wstring_view DisableResultName(TDisableResult AValue) {
  return NameAt(DisableResultNames, AValue);
}

TCellKind CellKindFromName(std::wstring_view AName) {
  return ValueOfName<TCellKind>(CellKindNames, AName);
}
TCellFunction CellFunctionFromName(std::wstring_view AName) {
  return ValueOfName<TCellFunction>(CellFunctionNames, AName);
}
TBitValue BitValueFromName(std::wstring_view AName) {
  return ValueOfName<TBitValue>(BitValueNames, AName);
}
TDisableResult DisableResultFromName(std::wstring_view AName) {
  return ValueOfName<TDisableResult>(DisableResultNames, AName);
}

std::wstring PadRight(std::wstring_view AText, std::size_t AWidth) {
  std::wstring result(AText);
  if (result.size() < AWidth)
    result.append(AWidth - result.size(), L' ');
  return result;
}

bool SameTextIgnoringCase(std::wstring_view ALeft, std::wstring_view ARight) {
  return ALeft.size() == ARight.size() &&
         std::equal(ALeft.begin(), ALeft.end(), ARight.begin(),
                    [](wchar_t a, wchar_t b) { return FoldCase(a) == FoldCase(b); });
}

std::wstring UpperCaseAscii(std::wstring_view AText) {
  std::wstring result(AText);
  for (wchar_t& c : result)
    c = FoldCase(c);
  return result;
}
