#include "plugin-library.h"

TPluginLibrary::~TPluginLibrary() {
  if (FModule) FreeLibrary(FModule);
}

bool TPluginLibrary::Load(const std::wstring& APath) {
  FModule = LoadLibraryW(APath.c_str());
  if (!FModule) {
    FError = L"cannot load the plug-in \"" + APath + L"\" (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  GetTarvoDriverCount =
      reinterpret_cast<TGetCount>(reinterpret_cast<void*>(GetProcAddress(FModule, "GetTarvoDriverCount")));
  GetTarvoDriver_Plugin = reinterpret_cast<TGetDriver>(
      reinterpret_cast<void*>(GetProcAddress(FModule, "GetTarvoDriver_Plugin")));
  if (!GetTarvoDriverCount || !GetTarvoDriver_Plugin) {
    FError = L"\"" + APath + L"\" is not a device-driver plug-in (an entry point is missing)";
    return false;
  }
  return true;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
  std::wstring folder(path, n);
  const auto slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

std::wstring DefaultPluginPath() { return ProgramFolder() + L"Orvandel.TRV"; }
