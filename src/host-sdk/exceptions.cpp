#include "exceptions.h"

std::string WideToUtf8(const std::wstring& AText) {
  if (AText.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Utf8ToWide(const std::string& AText) {
  if (AText.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, AText.data(), int(AText.size()), out.data(), n);
  return out;
}
