#include "rtl-exceptions.h"

#include <windows.h>

namespace {

std::string ToUtf8(const std::wstring& AText) {
  if (AText.empty())
    return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0, nullptr,
                                 nullptr);
  std::string out(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

} // namespace

Exception::Exception(const std::wstring& AMessage) : std::runtime_error(ToUtf8(AMessage)) {}

std::wstring Exception::Message() const {
  const std::string text = what();
  if (text.empty())
    return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(size_t(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size);
  return out;
}
