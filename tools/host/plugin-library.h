#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <string>

// The plug-in as the host loads it: the library and its two entry points.
class TPluginLibrary {
public:
  using TGetCount = HRESULT(__stdcall*)(int32_t*);
  using TGetDriver = HRESULT(__stdcall*)(int32_t, IDispatch**);

  TPluginLibrary() = default;
  ~TPluginLibrary();
  TPluginLibrary(const TPluginLibrary&) = delete;
  TPluginLibrary& operator=(const TPluginLibrary&) = delete;

  // Loads the library; false with ErrorText() set when it or an entry point
  // is missing.
  bool Load(const std::wstring& APath);
  const std::wstring& ErrorText() const { return FError; }

  HMODULE Module() const { return FModule; }
  TGetCount GetTarvoDriverCount = nullptr;
  TGetDriver GetTarvoDriver_Plugin = nullptr;

private:
  HMODULE FModule = nullptr;
  std::wstring FError;
};

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
// "Orvandel.TRV" in the program's folder.
std::wstring DefaultPluginPath();
