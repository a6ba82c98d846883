#include "parser-utils.h"

#include <string>

namespace {

std::string ToUtf8(const std::wstring& AText) {
  std::string result;
  for (std::size_t i = 0; i < AText.size(); ++i) {
    std::uint32_t code = static_cast<std::uint32_t>(AText[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (code >= 0xD800 && code < 0xDC00 && i + 1 < AText.size()) {
        const std::uint32_t low = static_cast<std::uint32_t>(AText[i + 1]);
        if (low >= 0xDC00 && low < 0xE000) {
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    if (code < 0x80) {
      result += char(code);
    } else if (code < 0x800) {
      result += char(0xC0 | (code >> 6));
      result += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      result += char(0xE0 | (code >> 12));
      result += char(0x80 | ((code >> 6) & 0x3F));
      result += char(0x80 | (code & 0x3F));
    } else {
      result += char(0xF0 | (code >> 18));
      result += char(0x80 | ((code >> 12) & 0x3F));
      result += char(0x80 | ((code >> 6) & 0x3F));
      result += char(0x80 | (code & 0x3F));
    }
  }
  return result;
}

} // namespace

EDCError::EDCError(const std::wstring& AMessage)
    : std::runtime_error(ToUtf8(AMessage)), FMessage(AMessage) {}

std::wstring FormatText(const std::wstring& AFormat, std::initializer_list<TFormatArg> AArgs) {
  std::wstring result;
  auto arg = AArgs.begin();
  for (std::size_t i = 0; i < AFormat.size(); ++i) {
    const wchar_t c = AFormat[i];
    if (c != L'%' || i + 1 == AFormat.size()) {
      result += c;
      continue;
    }
    const wchar_t directive = AFormat[i + 1];
    if (directive == L'%') {
      result += L'%';
      ++i;
      continue;
    }
    const bool wantsText = directive == L's' || directive == L'S';
    const bool wantsNumber = directive == L'd';
    if ((wantsText || wantsNumber) && arg != AArgs.end()) {
      if (wantsText && std::holds_alternative<std::wstring>(*arg)) {
        result += std::get<std::wstring>(*arg);
        ++arg;
        ++i;
        continue;
      }
      if (wantsNumber && std::holds_alternative<std::int64_t>(*arg)) {
        result += std::to_wstring(std::get<std::int64_t>(*arg));
        ++arg;
        ++i;
        continue;
      }
    }
    result += c;
  }
  return result;
}

void RaiseError(const std::wstring& AMsg) {
  throw EDCError(AMsg);
}

void RaiseErrorFmt(const std::wstring& AMsg, std::initializer_list<TFormatArg> AArgs) {
  throw EDCError(FormatText(AMsg, AArgs));
}

int CompareTextAscii(const std::wstring& AS1, const std::wstring& AS2) {
  const std::size_t n = AS1.size() < AS2.size() ? AS1.size() : AS2.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto c1 = static_cast<std::uint32_t>(FoldAsciiCase(AS1[i]));
    const auto c2 = static_cast<std::uint32_t>(FoldAsciiCase(AS2[i]));
    if (c1 != c2)
      return c1 < c2 ? -1 : 1;
  }
  if (AS1.size() == AS2.size())
    return 0;
  return AS1.size() < AS2.size() ? -1 : 1;
}

bool SameTextAscii(const std::wstring& AS1, const std::wstring& AS2) {
  return AS1.size() == AS2.size() && CompareTextAscii(AS1, AS2) == 0;
}

std::wstring TrimText(const std::wstring& AS) {
  std::size_t first = 0;
  std::size_t last = AS.size();
  while (first < last && AS[first] <= L' ')
    ++first;
  while (last > first && AS[last - 1] <= L' ')
    --last;
  return AS.substr(first, last - first);
}
