#pragma once

// The parser support library's small helpers: its general exception, the
// message formatting its errors use, and the text type of its version
// property. Plain C++: the tokenizer builds in every tree.

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <variant>

// The library's general exception. The message is kept as wide text; what()
// answers it as UTF-8.
class EDCError : public std::runtime_error {
public:
  explicit EDCError(const std::wstring& AMessage);
  const std::wstring& Message() const { return FMessage; }

private:
  std::wstring FMessage;
};

// One argument of a formatted message: a number for %d, a text for %s / %S.
using TFormatArg = std::variant<std::int64_t, std::wstring>;

// Fills %s, %S (text), %d (number) and %% in AFormat from AArgs in order. A
// directive without an argument, or of the wrong kind, is kept as written:
// a message never fails to be built.
std::wstring FormatText(const std::wstring& AFormat, std::initializer_list<TFormatArg> AArgs);

[[noreturn]] void RaiseError(const std::wstring& AMsg);
[[noreturn]] void RaiseErrorFmt(const std::wstring& AMsg, std::initializer_list<TFormatArg> AArgs);

inline std::int32_t MinInt(std::int32_t A, std::int32_t B) {
  return A < B ? A : B;
}
inline void AssignText(const std::wstring& AS, std::wstring& AVariable) {
  AVariable = AS;
}

// The type of the tokenizer's Version property.
using TDCVersion = std::wstring;

// Letter case folded for a to z only: the reserved-word hash folds exactly
// these, so comparing the same way keeps a bucket and its lookups agreeing.
inline wchar_t FoldAsciiCase(wchar_t AChar) {
  return (AChar >= L'a' && AChar <= L'z') ? wchar_t(AChar - 32) : AChar;
}
// <0, 0 or >0 with a to z folded.
int CompareTextAscii(const std::wstring& AS1, const std::wstring& AS2);
bool SameTextAscii(const std::wstring& AS1, const std::wstring& AS2);
// Blanks and control characters (codes 0 to 32) removed at both ends.
std::wstring TrimText(const std::wstring& AS);
