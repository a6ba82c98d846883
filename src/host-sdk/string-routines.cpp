#include "string-routines.h"

#include <windows.h>

#include <algorithm>
#include <vector>

std::wstring AppendPathDelimiter(const std::wstring& APath) {
  if (APath.empty() || APath.back() == L'\\')
    return APath;
  return APath + L'\\';
}

void CutToken(std::wstring& AText, const std::wstring& ADelimiter, std::wstring& AToken) {
  // An empty delimiter never occurs: finding it at 0 would leave the text
  // unchanged and loop a caller that cuts until the text is empty.
  const std::size_t at = ADelimiter.empty() ? std::wstring::npos : AText.find(ADelimiter);
  if (at == std::wstring::npos) {
    AToken = std::move(AText);
    AText.clear();
    return;
  }
  AToken = AText.substr(0, at);
  AText.erase(0, at + ADelimiter.size());
}

int BackPos(const std::wstring& ASubText, const std::wstring& AText, int AIndex) {
  if (ASubText.empty() || AText.empty() || ASubText.size() > AText.size())
    return 0;
  const int lastStart = int(AText.size() - ASubText.size()) + 1;
  // The index is the caller's promise; clamping keeps a broken promise from
  // reading outside the text.
  for (int start = std::min(AIndex, lastStart); start >= 1; --start)
    if (AText.compare(std::size_t(start - 1), ASubText.size(), ASubText) == 0)
      return start;
  return 0;
}

namespace {

wchar_t FoldAscii(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c;
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

int PlainCompare(const std::wstring& a, const std::wstring& b, bool caseSensitive) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const wchar_t x = caseSensitive ? a[i] : FoldAscii(a[i]);
    const wchar_t y = caseSensitive ? b[i] : FoldAscii(b[i]);
    if (x != y)
      return int(x) - int(y);
  }
  return int(a.size()) - int(b.size());
}

struct TChunk {
  std::wstring Chars; // without its blanks
  bool Digits = false;
};

// The next run of all-digit or all-other characters; blanks never end a run.
TChunk CutChunk(const std::wstring& s, std::size_t& pos) {
  TChunk chunk;
  if (pos >= s.size())
    return chunk;
  chunk.Digits = IsDigit(s[pos]);
  for (; pos < s.size(); ++pos) {
    const wchar_t c = s[pos];
    if (c == L' ')
      continue;
    if (IsDigit(c) != chunk.Digits)
      break;
    chunk.Chars.push_back(c);
  }
  return chunk;
}

int LogicalPass(const std::wstring& s1, const std::wstring& s2, bool caseSensitive) {
  if (s1.empty() || s2.empty())
    return int(s1.size()) - int(s2.size());
  std::size_t p1 = s1.find_first_not_of(L' ');
  std::size_t p2 = s2.find_first_not_of(L' ');
  if (p1 == std::wstring::npos)
    p1 = s1.size();
  if (p2 == std::wstring::npos)
    p2 = s2.size();
  for (;;) {
    const TChunk c1 = CutChunk(s1, p1);
    const TChunk c2 = CutChunk(s2, p2);
    if (c1.Chars.empty() && c2.Chars.empty())
      return 0;
    const std::size_t n = std::max(c1.Chars.size(), c2.Chars.size());
    const bool numbers = c1.Digits && c2.Digits && !c1.Chars.empty() && !c2.Chars.empty();
    for (std::size_t i = 0; i < n; ++i) {
      auto at = [&](const TChunk& c) -> wchar_t {
        if (numbers) {
          const std::size_t pad = n - c.Chars.size();
          return i < pad ? L'0' : c.Chars[i - pad];
        }
        const wchar_t ch = i < c.Chars.size() ? c.Chars[i] : L'\0';
        return caseSensitive ? ch : FoldAscii(ch);
      };
      // Running shorter against longer and negating when the second is
      // the shorter comes to the first's code minus the second's.
      const int diff = int(at(c1)) - int(at(c2));
      if (diff != 0)
        return diff;
    }
  }
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

} // namespace

int LogicalCompare(const std::wstring& AS1, const std::wstring& AS2, bool ACaseSensitive) {
  const int plain = PlainCompare(AS1, AS2, ACaseSensitive);
  if (plain == 0)
    return 0;
  const int logical = LogicalPass(AS1, AS2, ACaseSensitive);
  return Sign(logical != 0 ? logical : plain);
}

std::string WideToAnsiString(const std::wstring& AText) {
  if (AText.empty())
    return {};
  const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, AText.data(), int(AText.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(std::size_t(std::max(n, 0)), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_THREAD_ACP, 0, AText.data(), int(AText.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

std::wstring TrimBlanks(const std::wstring& AText) {
  std::size_t b = 0;
  std::size_t e = AText.size();
  while (b < e && AText[b] <= L' ')
    ++b;
  while (e > b && AText[e - 1] <= L' ')
    --e;
  return AText.substr(b, e - b);
}
