// The stand-in for the host's debug-chain module. It has no state of its
// own: each export passes the call on to the hosting program's TestHost_*
// export, so the answers are the current test host's objects. A program
// without those exports has no device manager and no JTAG ports.

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

namespace {

template <class TEntry> TEntry HostEntry(const char* AName) {
  return reinterpret_cast<TEntry>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), AName)));
}

using TGetInterface = HRESULT(WINAPI*)(IUnknown**);
using TGetCount = HRESULT(WINAPI*)(int32_t*);
using TGetPort = HRESULT(WINAPI*)(int32_t, IUnknown**);

} // namespace

extern "C" HRESULT WINAPI GetDeviceManager(IUnknown** AManager) {
  if (!AManager)
    return E_POINTER;
  *AManager = nullptr;
  const auto entry = HostEntry<TGetInterface>("TestHost_GetDeviceManager");
  return entry ? entry(AManager) : S_OK;
}

extern "C" HRESULT WINAPI GetJTagPortCount(int32_t* ACount) {
  if (!ACount)
    return E_POINTER;
  *ACount = 0;
  const auto entry = HostEntry<TGetCount>("TestHost_GetJTagPortCount");
  return entry ? entry(ACount) : S_OK;
}

extern "C" HRESULT WINAPI GetJTagPort(int32_t AIndex, IUnknown** APort) {
  if (!APort)
    return E_POINTER;
  *APort = nullptr;
  const auto entry = HostEntry<TGetPort>("TestHost_GetJTagPort");
  return entry ? entry(AIndex, APort) : E_INVALIDARG;
}
