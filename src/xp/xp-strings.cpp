#include "xp-strings.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

// The characters that cut a text into number runs and text runs.
bool IsNumericChar(wchar_t AChar) {
  return (AChar >= L'0' && AChar <= L'9') || AChar == L'.';
}

bool IsDigit(wchar_t AChar) {
  return AChar >= L'0' && AChar <= L'9';
}

wchar_t FoldAscii(wchar_t AChar) {
  return AChar >= L'A' && AChar <= L'Z' ? wchar_t(AChar - L'A' + L'a') : AChar;
}

int Sign(int AValue) {
  return AValue < 0 ? -1 : AValue > 0 ? 1 : 0;
}

// A decimal number with a point and an optional exponent, the whole text
// and nothing else; the empty text is 0. Hexadecimal, "inf" and blanks, which
// the C library would take, are no numbers here.
bool ToNumber(const std::wstring& AText, double& AValue) {
  if (AText.empty()) {
    AValue = 0;
    return true;
  }
  const wchar_t first = AText[0];
  if (!IsDigit(first) && first != L'.' && first != L'+' && first != L'-')
    return false;
  size_t i = 0;
  if (AText[i] == L'+' || AText[i] == L'-')
    ++i;
  size_t digits = 0;
  while (i < AText.size() && IsDigit(AText[i])) {
    ++i;
    ++digits;
  }
  if (i < AText.size() && AText[i] == L'.') {
    ++i;
    while (i < AText.size() && IsDigit(AText[i])) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0)
    return false;
  if (i < AText.size() && (AText[i] == L'e' || AText[i] == L'E')) {
    ++i;
    if (i < AText.size() && (AText[i] == L'+' || AText[i] == L'-'))
      ++i;
    size_t exponentDigits = 0;
    while (i < AText.size() && IsDigit(AText[i])) {
      ++i;
      ++exponentDigits;
    }
    if (exponentDigits == 0)
      return false;
  }
  if (i != AText.size())
    return false;
  // Only ASCII is left, so the narrow copy is exact; the "C" locale reads
  // the point.
  const std::string narrow(AText.begin(), AText.end());
  AValue = std::strtod(narrow.c_str(), nullptr);
  return true;
}

int CompareValues(double AValue1, double AValue2) {
  return AValue1 < AValue2 ? -1 : AValue1 > AValue2 ? 1 : 0;
}

bool HasNumericChar(const std::wstring& AText) {
  for (wchar_t c : AText)
    if (IsNumericChar(c))
      return true;
  return false;
}

// Walks a text run by run: digits and points, or everything else.
class TTokenCutter {
public:
  explicit TTokenCutter(const std::wstring& AText) : FText(AText) {}

  std::wstring Next() {
    std::wstring sign;
    if (FFirst) {
      FFirst = false;
      if (FPos < FText.size() && (FText[FPos] == L'+' || FText[FPos] == L'-'))
        sign = FText[FPos++];
    }
    const size_t start = FPos;
    if (FPos < FText.size()) {
      const bool numeric = IsNumericChar(FText[FPos]);
      while (FPos < FText.size() && IsNumericChar(FText[FPos]) == numeric)
        ++FPos;
    }
    return sign + FText.substr(start, FPos - start);
  }

private:
  const std::wstring& FText;
  size_t FPos = 0;
  bool FFirst = true;
};

std::wstring WithoutSpaces(const std::wstring& AText) {
  std::wstring result;
  for (wchar_t c : AText)
    if (c != L' ')
      result += c;
  return result;
}

// The framework's case-insensitive order: ASCII letters folded, every other
// character by its code.
int CompareText(const std::wstring& AText1, const std::wstring& AText2) {
  const size_t n = std::min(AText1.size(), AText2.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = int(FoldAscii(AText1[i])) - int(FoldAscii(AText2[i]));
    if (d != 0)
      return Sign(d);
  }
  return AText1.size() < AText2.size() ? -1 : AText1.size() > AText2.size() ? 1 : 0;
}

} // namespace

int RemoveAccelChars(std::wstring& AText) {
  int position = 0;
  size_t i = 0;
  while (i < AText.size()) {
    if (AText[i] == L'&') {
      AText.erase(i, 1);
      // A doubled "&" leaves one literal "&", skipped below; otherwise the
      // character now at i is the accelerated one.
      if (!(i < AText.size() && AText[i] == L'&'))
        position = int(i) + 1;
    }
    ++i;
  }
  return position;
}

std::wstring StripAccelChars(const std::wstring& ACaption) {
  std::wstring result = ACaption;
  RemoveAccelChars(result);
  return result;
}

std::wstring ExcludeTrailingBackslash(const std::wstring& AText) {
  if (!AText.empty() && AText.back() == L'\\')
    return AText.substr(0, AText.size() - 1);
  return AText;
}

int AlphaNumericCompare(const std::wstring& AText1, const std::wstring& AText2) {
  if (AText1 == AText2)
    return 0;
  double value1 = 0, value2 = 0;
  if (ToNumber(AText1, value1) && ToNumber(AText2, value2))
    return CompareValues(value1, value2);
  if (!HasNumericChar(AText1) || !HasNumericChar(AText2))
    return CompareText(AText1, AText2);

  const std::wstring text1 = WithoutSpaces(AText1);
  const std::wstring text2 = WithoutSpaces(AText2);
  TTokenCutter cutter1(text1), cutter2(text2);
  std::wstring token1, token2;
  do {
    token1 = cutter1.Next();
    token2 = cutter2.Next();
  } while (token1 == token2 && !(token1.empty() && token2.empty()));
  if (ToNumber(token1, value1) && ToNumber(token2, value2))
    return CompareValues(value1, value2);
  return CompareText(token1, token2);
}
