#include "numeric-text.h"
#include "string-routines.h"

#include <windows.h>

#include <cmath>
#include <limits>

namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9')
    return c - L'0';
  if (c >= L'A' && c <= L'F')
    return c - L'A' + 10;
  if (c >= L'a' && c <= L'f')
    return c - L'a' + 10;
  return -1;
}


bool StartsWithHexPrefix(const std::wstring& s) {
  return s.size() >= 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X');
}

// Hexadecimal accepts the full unsigned range of the type (so "$FFFFFFFF" is
// -1 for 32 bits, as the run time has it); decimal is range-checked.
template <typename TInt> bool TextToInt(const std::wstring& text, TInt& value) {
  using TUnsigned = std::make_unsigned_t<TInt>;
  std::size_t i = 0;
  while (i < text.size() && text[i] == L' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
    negative = text[i++] == L'-';
  bool hex = false;
  if (i < text.size() && (text[i] == L'$' || text[i] == L'x' || text[i] == L'X')) {
    hex = true;
    ++i;
  } else if (StartsWithHexPrefix(text.substr(i, 2))) {
    hex = true;
    i += 2;
  }
  if (i >= text.size())
    return false;
  const TUnsigned limit = hex ? std::numeric_limits<TUnsigned>::max()
                              : TUnsigned(std::numeric_limits<TInt>::max()) + (negative ? 1 : 0);
  const unsigned base = hex ? 16 : 10;
  TUnsigned magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || unsigned(digit) >= base)
      return false;
    if (magnitude > (limit - TUnsigned(digit)) / base)
      return false;
    magnitude = TUnsigned(magnitude * base + TUnsigned(digit));
  }
  value = TInt(negative ? TUnsigned(0) - magnitude : magnitude);
  return true;
}

// Hex digits only, into 64 bits; False on overflow or a non-digit.
bool HexToUInt64(const std::wstring& text, std::uint64_t& value) {
  std::uint64_t v = 0;
  for (wchar_t c : text) {
    const int digit = HexDigit(c);
    if (digit < 0 || v > (std::numeric_limits<std::uint64_t>::max() >> 4))
      return false;
    v = (v << 4) | std::uint64_t(digit);
  }
  value = v;
  return true;
}

std::wstring StripHexPrefixes(std::wstring s) {
  if (StartsWithHexPrefix(s))
    s.erase(0, 2);
  if (!s.empty() && s[0] == L'$')
    s.erase(0, 1);
  return TrimBlanks(s);
}

} // namespace

bool TextToInt32(const std::wstring& AText, std::int32_t& AValue) {
  return TextToInt(AText, AValue);
}

bool TextToInt64(const std::wstring& AText, std::int64_t& AValue) {
  return TextToInt(AText, AValue);
}

bool TryHexStrToInt(const std::wstring& AText, std::uint32_t& AValue) {
  AValue = 0;
  std::uint32_t v = 0;
  for (wchar_t c : StripHexPrefixes(AText)) {
    const int digit = HexDigit(c);
    if (digit < 0)
      return false;
    v = v * 16 + std::uint32_t(digit);
  }
  AValue = v;
  return true;
}

std::uint32_t HexDigitsToInt(const std::wstring& AText) {
  std::uint32_t v = 0;
  for (wchar_t c : AText) {
    const int digit = HexDigit(c);
    if (digit < 0)
      break;
    v = v * 16 + std::uint32_t(digit);
  }
  return v;
}

bool TryParseInt(const std::wstring& AText, std::int32_t& AValue) {
  if (AText.empty()) {
    AValue = 0;
    return true;
  }
  return TextToInt32(AText, AValue);
}

bool TryParseInt64(const std::wstring& AText, std::int64_t& AValue) {
  if (AText.empty()) {
    AValue = 0;
    return true;
  }
  return TextToInt64(AText, AValue);
}

bool TryParseSize(const std::wstring& AText, std::int64_t& AValue) {
  AValue = 0;
  std::wstring text;
  for (wchar_t c : AText)
    if (c != L'_')
      text.push_back(c);
  std::int64_t multiplier = 1;
  if (!text.empty() && (text.back() == L'k' || text.back() == L'K')) {
    multiplier = 1024;
    text.pop_back();
  }
  if (!text.empty() && (text.back() == L'm' || text.back() == L'M')) {
    multiplier = 0x100000;
    text.pop_back();
  }
  std::int64_t number = 0;
  if (StartsWithHexPrefix(text)) {
    // Sizes and addresses are 64-bit here: a hex text that does not fit is
    // refused rather than folded into 32 bits.
    std::uint64_t hex = 0;
    if (!HexToUInt64(StripHexPrefixes(text), hex) ||
        hex > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
      return false;
    number = std::int64_t(hex);
  } else if (!TryParseInt64(text, number)) {
    return false;
  }
  if (number > std::numeric_limits<std::int64_t>::max() / multiplier ||
      number < std::numeric_limits<std::int64_t>::min() / multiplier)
    return false;
  AValue = number * multiplier;
  return true;
}

std::uint32_t ParseSize(const std::wstring& AText) {
  std::int64_t value = 0;
  TryParseSize(AText, value);
  return std::uint32_t(value);
}

namespace {

// The 32 digits with the first 32 - width made blanks when width is 1..31.
std::wstring PaddedBinary(std::uint32_t value, int width) {
  std::wstring digits(32, L'0');
  for (int i = 0; i < 32; ++i)
    if (value & (1u << (31 - i)))
      digits[std::size_t(i)] = L'1';
  if (width > 0 && width < 32)
    digits.replace(0, std::size_t(32 - width), std::size_t(32 - width), L' ');
  return digits;
}

} // namespace

std::wstring IntToBinStr(std::uint32_t AValue, int AWidth) {
  return TrimBlanks(PaddedBinary(AValue, AWidth));
}

std::wstring IntToGroupedBinStr(std::uint32_t AValue, int AWidth) {
  const std::wstring digits = PaddedBinary(AValue, AWidth);
  std::wstring grouped;
  for (int group = 0; group < 8; ++group) {
    if (group)
      grouped.push_back(L'-');
    grouped.append(digits, std::size_t(group * 4), 4);
  }
  for (std::size_t i = 0; i < grouped.size(); ++i)
    if (grouped[i] == L'-' &&
        (grouped[i - 1] == L' ' || (i + 1 < grouped.size() && grouped[i + 1] == L' ')))
      grouped[i] = L' ';
  return TrimBlanks(grouped);
}

std::wstring IntToHex0x(std::int64_t AValue, int ADigits) {
  static constexpr wchar_t digitChars[] = L"0123456789ABCDEF";
  std::uint64_t v = std::uint64_t(AValue);
  std::wstring hex;
  do {
    hex.insert(hex.begin(), digitChars[v & 15]);
    v >>= 4;
  } while (v != 0);
  if (int(hex.size()) < ADigits)
    hex.insert(0, std::size_t(ADigits) - hex.size(), L'0');
  return L"0x" + hex;
}

