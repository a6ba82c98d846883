// The stand-in for the host's workspace module. It has no state of its
// own: its one export hands out what the hosting program's
// TestHost_GetWorkspace export answers (the current fake design's
// workspace), and nothing in a program without that export.

#include <windows.h>
#include <unknwn.h>

namespace {

using TGetInterface = HRESULT(WINAPI*)(IUnknown**);

} // namespace

extern "C" HRESULT WINAPI GetWorkspace(IUnknown** AWorkspace) {
  if (!AWorkspace)
    return E_POINTER;
  *AWorkspace = nullptr;
  const auto entry = reinterpret_cast<TGetInterface>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "TestHost_GetWorkspace")));
  return entry ? entry(AWorkspace) : S_OK;
}
