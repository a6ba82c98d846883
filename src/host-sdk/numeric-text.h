#pragma once

#include <cstdint>
#include <string>

// A colour as the host's forms hold it: 0x00BBGGRR, or a system colour
// (0x80000000 + COLOR_xxx index).
using TColor = std::int32_t;

// The run time's integer conversion: optional leading blanks and sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X".
// False on any other character and on overflow; AValue is set only on success.
bool TextToInt32(const std::wstring& AText, std::int32_t& AValue);
bool TextToInt64(const std::wstring& AText, std::int64_t& AValue);

// Hexadecimal text to a 32-bit value (wrapping): a leading "0x" or "0X", then
// a leading "$" and surrounding blanks are dropped; an empty rest gives 0 and
// True; any character that is not a hex digit gives 0 and False.
bool TryHexStrToInt(const std::wstring& AText, std::uint32_t& AValue);

// The value of the leading hexadecimal digits, stopping at the first other
// character; no prefix handling.
std::uint32_t HexDigitsToInt(const std::wstring& AText);

// Empty text gives 0 and True; otherwise TextToInt32 / TextToInt64.
bool TryParseInt(const std::wstring& AText, std::int32_t& AValue);
bool TryParseInt64(const std::wstring& AText, std::int64_t& AValue);

// A size or address as users write it: "_" separators are ignored, a final
// "k" multiplies by 1024 and a final "m" by 0x100000, a "0x"/"0X" prefix
// reads hexadecimal. False and 0 when the text does not parse.
bool TryParseSize(const std::wstring& AText, std::int64_t& AValue);
// The low 32 bits of TryParseSize (0 when the text does not parse).
std::uint32_t ParseSize(const std::wstring& AText);

// The 32 bits of AValue as "0"/"1", most significant first, cut to AWidth
// digits when 0 < AWidth < 32.
std::wstring IntToBinStr(std::uint32_t AValue, int AWidth);
// The same in groups of four counted from the least significant bit, joined
// by "-": IntToGroupedBinStr(0x2A, 6) is "10-1010".
std::wstring IntToGroupedBinStr(std::uint32_t AValue, int AWidth);
// "0x" + upper-case hexadecimal with at least ADigits digits.
std::wstring IntToHex0x(std::int64_t AValue, int ADigits);

// Red, green and blue of the colour (a system colour resolved first) times
// AFactor, rounded to nearest even, clamped to 0..255.
TColor ScaleColor(TColor AColor, double AFactor);
