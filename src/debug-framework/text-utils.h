#pragma once

#include <cstdint>
#include <string>

// AValue in upper-case hexadecimal, with as many digits as a value of AWidth
// bits needs ((AWidth + 3) div 4), but never fewer than the value's own.
std::wstring IntToHexForWidth(std::uint32_t AValue, int AWidth);

// Fixed notation with two decimals and "." whatever the locale, padded on
// the left with blanks to at least 2 characters.
std::wstring FloatToStrFixed2(double AValue);

// A captured bit string to its value: an optional leading "b" or "B", then
// "0"/"1" digits, most significant first, of which the last 32 count; blanks
// and "-" are skipped. Any other character gives False and 0.
bool BinStrToInt(const std::wstring& AText, std::uint32_t& AValue);
