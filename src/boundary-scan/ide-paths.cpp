#include "ide-paths.h"

#include "string-routines.h"

#include <shlobj.h>

#include <vector>

std::wstring ReadRegistryString(HKEY ARoot, const std::wstring& AKey, const std::wstring& AName) {
  HKEY key = nullptr;
  // Reading needs no more than read access: a key that grants only that
  // (as HKEY_LOCAL_MACHINE does to most users) still answers.
  if (RegOpenKeyExW(ARoot, AKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  std::wstring result;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, AName.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bufferSize = DWORD(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, AName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &bufferSize) == ERROR_SUCCESS)
      result = buffer.data(); // the value need not end with a 0 of its own
  }
  RegCloseKey(key);
  return result;
}

std::wstring ReadIDERegistryString(std::int32_t AIndex, const std::wstring& AName) {
  if (AIndex < 0 || AIndex >= std::int32_t(IDEVersions.size()))
    return {};
  return ReadRegistryString(
      HKEY_LOCAL_MACHINE,
      std::wstring(L"Software\\Borland\\") + IDEVersions[std::size_t(AIndex)].RegistryKey, AName);
}

std::wstring GetIDERootDir(std::int32_t AIndex) {
  return AppendPathDelimiter(ReadIDERegistryString(AIndex, L"RootDir"));
}

std::wstring GetIDEHelpDir(std::int32_t AIndex) {
  return GetIDERootDir(AIndex) + L"HELP\\";
}

std::wstring GetD4HelpDir() {
  return GetIDEHelpDir(4);
}
std::wstring GetD3HelpDir() {
  return GetIDEHelpDir(2);
}
std::wstring GetD2HelpDir() {
  return GetIDEHelpDir(0);
}
std::wstring GetC1HelpDir() {
  return GetIDEHelpDir(1);
}
std::wstring GetC3HelpDir() {
  return GetIDEHelpDir(3);
}

std::wstring GetSystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  return AppendPathDelimiter(length > 0 && length < MAX_PATH ? std::wstring(buffer, length)
                                                             : std::wstring());
}

std::wstring GetWindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  return AppendPathDelimiter(length > 0 && length < MAX_PATH ? std::wstring(buffer, length)
                                                             : std::wstring());
}

std::wstring GetSpecialFolder(std::int32_t AFolder) {
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, AFolder, FALSE))
    return {};
  return buffer;
}

std::wstring GetProgramFilesFolder() {
  return AppendPathDelimiter(GetSpecialFolder(CSIDL_PROGRAM_FILES));
}

const std::array<TTemplateInfo, 8> TemplateInfos = {{
    {L"%SYSTEM%", GetSystemFolder},
    {L"%WINDOWS%", GetWindowsFolder},
    {L"%PROGRAMFILES%", GetProgramFilesFolder},
    {L"%C1_HELP%", GetC1HelpDir},
    {L"%C3_HELP%", GetC3HelpDir},
    {L"%D2_HELP%", GetD2HelpDir},
    {L"%D3_HELP%", GetD3HelpDir},
    {L"%D4_HELP%", GetD4HelpDir},
}};
