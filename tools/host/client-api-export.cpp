// The exports of every program that hosts the plug-in: the plug-in finds
// the host's client through ClientAPI_GetClientInterface, and the stand-in
// TarvoManager.dll asks the TestHost_* ones for the chain objects. All
// answer from the current test host; without one they answer S_OK and
// nothing, as a host that has no such object yet.

#include "test-host.h"

#include <windows.h>

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

// The test host has one JTAG port: the one its channel sits on.
extern "C" __declspec(dllexport) HRESULT WINAPI TestHost_GetJTagPortCount(int32_t* ACount) {
  if (!ACount)
    return E_POINTER;
  *ACount = TTestHost::Current() ? 1 : 0;
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI
    TestHost_GetJTagPort(int32_t AIndex, IUnknown** APort) {
  TTestHost* host = TTestHost::Current();
  if (APort && host && AIndex != 0) {
    *APort = nullptr;
    return E_INVALIDARG;
  }
  return HandOut(host ? &host->Port() : nullptr, APort);
}
