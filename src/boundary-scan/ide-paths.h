#pragma once

// Folders of the system and of the compiler maker's development
// environments, read from the registry (for reading only) and the shell.

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

struct TIDEVersion {
  const wchar_t* Symbol;
  const wchar_t* Code;
  // Under "Software\Borland\".
  const wchar_t* RegistryKey;
};
inline constexpr std::array<TIDEVersion, 11> IDEVersions = {{
    {L"VER90", L"D2", L"Delphi\\2.0"},
    {L"VER93", L"C1", L"C++Builder\\1.0"},
    {L"VER100", L"D3", L"Delphi\\3.0"},
    {L"VER110", L"C3", L"C++Builder\\3.0"},
    {L"VER120", L"D4", L"Delphi\\4.0"},
    {L"VER125", L"C4", L"C++Builder\\4.0"},
    {L"VER130", L"D5", L"Delphi\\5.0"},
    {L"VER130", L"C5", L"C++Builder\\5.0"},
    {L"VER140", L"D6", L"Delphi\\6.0"},
    {L"VER170", L"D2005", L"BDS\\3.0"},
    {L"VER180", L"D2006", L"BDS\\4.0"},
}};

// The text value AName of the key AKey under ARoot, opened for reading
// only; empty when the key or the value is missing or cannot be read.
std::wstring ReadRegistryString(HKEY ARoot, const std::wstring& AKey, const std::wstring& AName);

// The value AName of the row's key under HKEY_LOCAL_MACHINE\Software\Borland.
std::wstring ReadIDERegistryString(std::int32_t AIndex, const std::wstring& AName);
// Its "RootDir", ending in a path delimiter (empty when there is none).
std::wstring GetIDERootDir(std::int32_t AIndex);
// The root folder + "HELP\".
std::wstring GetIDEHelpDir(std::int32_t AIndex);
std::wstring GetD4HelpDir();
std::wstring GetD3HelpDir();
std::wstring GetD2HelpDir();
std::wstring GetC1HelpDir();
std::wstring GetC3HelpDir();

std::wstring GetSystemFolder();
std::wstring GetWindowsFolder();
// The shell's special folder of that id; empty when the shell has none.
std::wstring GetSpecialFolder(std::int32_t AFolder);
std::wstring GetProgramFilesFolder();

struct TTemplateInfo {
  const wchar_t* Name;
  std::wstring (*Folder)();
};
// "%SYSTEM%" and its kin, each with the routine that answers its folder.
extern const std::array<TTemplateInfo, 8> TemplateInfos;
