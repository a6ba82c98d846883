#pragma once

// Pieces every verb of the command-line host shares: text conversion for
// the terminal, calls by DISPID in the host's argument order, and finding a
// part among the catalogue's names.

#include <oaidl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// UTF-8, so that texts such as the degree sign reach the terminal whole.
std::string Utf8(std::wstring_view AText);

// Writes AText as UTF-8 and flushes, so that messages and progress appear
// in the order they were made even when both streams share a terminal.
void WriteUtf8(std::FILE* AStream, std::wstring_view AText);

// ASCII text widened as it is; the messages of the C++ library are ASCII.
std::wstring Widened(std::string_view AText);

// The text with every character outside ASCII shown as '?'.
std::string Narrowed(std::wstring_view AText);

// "0x" and eight upper-case hexadecimal digits.
std::string Hex8(std::uint32_t AValue);

// The letter in upper case when it is an ASCII letter.
wchar_t AsciiUpper(wchar_t AChar);

// Whether two names are equal, ASCII letter case ignored.
bool SameName(std::wstring_view A, std::wstring_view B);

// Arguments of a call by DISPID; they are plain values or borrowed objects,
// so nothing needs clearing.
VARIANT IntVariant(std::int32_t AValue);
VARIANT BoolVariant(bool AValue);
VARIANT ObjectVariant(IDispatch* AValue);

// Invokes ADispId with its arguments in declaration order (the order the
// host writes them in), answering the HRESULT; AResult may be null.
HRESULT InvokeInOrder(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs,
                      VARIANT* AResult, WORD AFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET);

// How a typed part name may match a catalogue name.
enum class TPartMatch {
  FullName,
  // Also the chip's name alone (before the first '-'), picking its first
  // variant: the variants of one chip (package, temperature, revision)
  // debug alike.
  FullOrChipName,
};

// The index of the part APart names in ANames (any letter case); a full
// name wins over a chip name. Empty when none matches.
std::optional<std::size_t> FindPart(const std::vector<std::wstring>& ANames,
                                    std::wstring_view APart,
                                    TPartMatch AMatch = TPartMatch::FullName);

// Names nearest to a misspelt one (fewest single-letter edits, letter case
// ignored), nearest first and in list order among equals.
std::vector<std::wstring> ClosestNames(const std::vector<std::wstring>& ANames,
                                       const std::wstring& AName, std::size_t AMaxCount = 5);

// The message for a part that is not in ANames, with the closest names:
// `unknown part "X"; closest: A B` (no "orvandel: " prefix, no line end).
std::wstring UnknownPartText(const std::vector<std::wstring>& ANames, const std::wstring& APart);
