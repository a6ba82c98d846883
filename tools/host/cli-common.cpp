#include "cli-common.h"

#include <windows.h>

#include <algorithm>

std::string Utf8(std::wstring_view AText) {
  if (AText.empty())
    return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string out(std::size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

void WriteUtf8(std::FILE* AStream, std::wstring_view AText) {
  const std::string bytes = Utf8(AText);
  std::fwrite(bytes.data(), 1, bytes.size(), AStream);
  std::fflush(AStream);
}

std::wstring Widened(std::string_view AText) {
  return std::wstring(AText.begin(), AText.end());
}

std::string Narrowed(std::wstring_view AText) {
  std::string text;
  for (const wchar_t c : AText)
    text += c < 0x80 ? char(c) : '?';
  return text;
}

wchar_t AsciiUpper(wchar_t AChar) {
  return AChar >= L'a' && AChar <= L'z' ? wchar_t(AChar - 32) : AChar;
}

std::string Hex8(std::uint32_t AValue) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(AValue));
  return text;
}

namespace {

std::size_t EditDistance(std::wstring_view A, std::wstring_view B) {
  std::vector<std::size_t> row(B.size() + 1);
  for (std::size_t j = 0; j <= B.size(); ++j)
    row[j] = j;
  for (std::size_t i = 1; i <= A.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= B.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                         diagonal + (AsciiUpper(A[i - 1]) == AsciiUpper(B[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[B.size()];
}

} // namespace

bool SameName(std::wstring_view A, std::wstring_view B) {
  return A.size() == B.size() &&
         std::equal(A.begin(), A.end(), B.begin(),
                    [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

VARIANT IntVariant(std::int32_t AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = AValue;
  return v;
}

VARIANT BoolVariant(bool AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = AValue ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT ObjectVariant(IDispatch* AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = AValue;
  return v;
}

HRESULT InvokeInOrder(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs,
                      VARIANT* AResult, WORD AFlags) {
  // DISPPARAMS holds the arguments last first.
  std::reverse(AArgs.begin(), AArgs.end());
  DISPPARAMS params{AArgs.empty() ? nullptr : AArgs.data(), nullptr, UINT(AArgs.size()), 0};
  UINT argErr = 0;
  return AObject.Invoke(ADispId, IID_NULL, 0, AFlags, &params, AResult, nullptr, &argErr);
}

std::optional<std::size_t> FindPart(const std::vector<std::wstring>& ANames,
                                    std::wstring_view APart, TPartMatch AMatch) {
  auto found = std::find_if(ANames.begin(), ANames.end(),
                            [&](const std::wstring& AName) { return SameName(AName, APart); });
  if (found == ANames.end() && AMatch == TPartMatch::FullOrChipName)
    found = std::find_if(ANames.begin(), ANames.end(), [&](const std::wstring& AName) {
      return SameName(std::wstring_view(AName).substr(0, AName.find(L'-')), APart);
    });
  if (found == ANames.end())
    return std::nullopt;
  return std::size_t(found - ANames.begin());
}

std::vector<std::wstring> ClosestNames(const std::vector<std::wstring>& ANames,
                                       const std::wstring& AName, std::size_t AMaxCount) {
  std::vector<std::pair<std::size_t, std::size_t>> ranked; // distance, index
  for (std::size_t i = 0; i < ANames.size(); ++i)
    ranked.emplace_back(EditDistance(ANames[i], AName), i);
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& A, const auto& B) { return A.first < B.first; });
  std::vector<std::wstring> out;
  for (std::size_t i = 0; i < ranked.size() && i < AMaxCount; ++i)
    out.push_back(ANames[ranked[i].second]);
  return out;
}

std::wstring UnknownPartText(const std::vector<std::wstring>& ANames, const std::wstring& APart) {
  std::wstring text = L"unknown part \"" + APart + L"\"";
  const std::vector<std::wstring> closest = ClosestNames(ANames, APart);
  if (!closest.empty()) {
    text += L"; closest:";
    for (const std::wstring& name : closest)
      text += L" " + name;
  }
  return text;
}
