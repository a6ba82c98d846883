// The stand-in for the host's debug workbench module. It has no state of
// its own: its export passes the call on to the hosting program's
// TestHost_GetTarvoWorkspace, so the workbench is the current test host's.
// A program without that export has no workbench.

#include <windows.h>
#include <unknwn.h>

namespace {

using TGetInterface = HRESULT(WINAPI*)(IUnknown**);

} // namespace

extern "C" HRESULT WINAPI GetTarvoWorkspace(IUnknown** AWorkbench) {
  if (!AWorkbench)
    return E_POINTER;
  *AWorkbench = nullptr;
  const auto entry = reinterpret_cast<TGetInterface>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(nullptr), "TestHost_GetTarvoWorkspace")));
  return entry ? entry(AWorkbench) : S_OK;
}
