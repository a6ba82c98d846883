// The exports of every program that hosts the plug-in: the plug-in finds
// the host's client through ClientAPI_GetClientInterface, and the stand-in
// TarvoManager.dll asks the TestHost_* ones for the chain objects. All
// answer from the current test host; without one they answer S_OK and
// nothing, as a host that has no such object yet.

#include "test-host.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

HRESULT HandOut(TFakeHostObject* AObject, IUnknown** AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = nullptr;
  if (AObject) {
    AObject->AddRef();
    *AResult = AObject->Dispatch();
  }
  return S_OK;
}

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI ClientAPI_GetClientInterface(IUnknown** AClient) {
  TTestHost* host = TTestHost::Current();
  return HandOut(host ? &host->Client() : nullptr, AClient);
}

extern "C" __declspec(dllexport) HRESULT WINAPI TestHost_GetDeviceManager(IUnknown** AManager) {
  TTestHost* host = TTestHost::Current();
  return HandOut(host ? &host->DeviceManager() : nullptr, AManager);
}

// The test host's JTAG ports: the one its channel sits on, after the
// J-Link ports of other chains a test added.
extern "C" __declspec(dllexport) HRESULT WINAPI TestHost_GetJTagPortCount(int32_t* ACount) {
  if (!ACount)
    return E_POINTER;
  TTestHost* host = TTestHost::Current();
  *ACount = host ? int32_t(host->JTagPortCount()) : 0;
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI
    TestHost_GetJTagPort(int32_t AIndex, IUnknown** APort) {
  TTestHost* host = TTestHost::Current();
  if (!APort)
    return E_POINTER;
  if (host && (AIndex < 0 || unsigned(AIndex) >= host->JTagPortCount())) {
    *APort = nullptr;
    return E_INVALIDARG;
  }
  return HandOut(host ? &host->JTagPort(unsigned(AIndex)) : nullptr, APort);
}

// Asked by the stand-in Lixtor.dll.
extern "C" __declspec(dllexport) HRESULT WINAPI TestHost_GetModelTypeManager(IUnknown** AManager) {
  TTestHost* host = TTestHost::Current();
  return HandOut(host ? &host->ModelTypeManager() : nullptr, AManager);
}

extern "C" __declspec(dllexport) HRESULT WINAPI TestHost_GetLibraryManager(IUnknown** AManager) {
  TTestHost* host = TTestHost::Current();
  return HandOut(host ? &host->LibraryManager() : nullptr, AManager);
}

// Asked by the stand-in Pelfrow.DLL.
extern "C" __declspec(dllexport) HRESULT WINAPI TestHost_GetTarvoWorkspace(IUnknown** AWorkbench) {
  TTestHost* host = TTestHost::Current();
  return HandOut(host && host->WorkbenchInstalled() ? &host->Workbench() : nullptr, AWorkbench);
}

// The host's expansion of a path relative to a base: the base's folder (the
// base itself when it ends in a backslash) joined with the relative path
// and made canonical. The result buffer holds 2048 characters; at most
// 2047 and a terminator are written.
extern "C" __declspec(dllexport) void WINAPI
    VFSAPI_VFS_ExpandRelativePath(const wchar_t* ABasePath, const wchar_t* ARelativePath,
                                  wchar_t* AResult) {
  constexpr size_t kCapacity = 2048;
  if (!AResult)
    return;
  std::wstring base = ABasePath ? ABasePath : L"";
  std::wstring relative = ARelativePath ? ARelativePath : L"";
  const size_t slash = base.find_last_of(L"\\/");
  base = slash == std::wstring::npos ? std::wstring() : base.substr(0, slash + 1);
  while (!relative.empty() && (relative.front() == L'\\' || relative.front() == L'/'))
    relative.erase(0, 1);
  const std::wstring joined = base + relative;
  std::wstring full(32768, L'\0');
  const DWORD length = GetFullPathNameW(joined.c_str(), DWORD(full.size()), full.data(), nullptr);
  full.resize(length > 0 && length < full.size() ? length : 0);
  if (full.empty())
    full = joined;
  const size_t count = std::min(full.size(), kCapacity - 1);
  full.copy(AResult, count);
  AResult[count] = L'\0';
}
