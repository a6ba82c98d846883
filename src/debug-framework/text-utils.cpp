#include "text-utils.h"

#include <charconv>
#include <cstdio>

std::wstring IntToHexForWidth(std::uint32_t AValue, int AWidth) {
  wchar_t buffer[9];
  swprintf(buffer, 9, L"%08X", unsigned(AValue));
  std::wstring text = buffer;
  const int digits = (AWidth + 3) / 4;
  std::size_t start = 0;
  while (int(text.size() - start) > digits && text[start] == L'0')
    ++start;
  return text.substr(start);
}

std::wstring FloatToStrFixed2(double AValue) {
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof(buffer), AValue, std::chars_format::fixed, 2);
  std::wstring text = error == std::errc() ? std::wstring(buffer, end) : std::wstring();
  if (text.size() < 2)
    text.insert(0, 2 - text.size(), L' ');
  return text;
}

bool BinStrToInt(const std::wstring& AText, std::uint32_t& AValue) {
  std::size_t i = 0;
  if (!AText.empty() && (AText[0] == L'b' || AText[0] == L'B'))
    i = 1;
  AValue = 0;
  for (; i < AText.size(); ++i) {
    const wchar_t c = AText[i];
    if (c == L'0' || c == L'1')
      AValue = (AValue << 1) | std::uint32_t(c - L'0');
    else if (c != L' ' && c != L'-') {
      AValue = 0;
      return false;
    }
  }
  return true;
}
