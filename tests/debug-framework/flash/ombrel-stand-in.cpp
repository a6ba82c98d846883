// A stand-in for the host's workspace module, for the tests that need the
// host's design workspace. It has no state of its own: its one export
// hands out what the hosting program's FlashTest_GetWorkspace export
// answers, and nothing in a program without that export.

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
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "FlashTest_GetWorkspace")));
  return entry ? entry(AWorkspace) : S_OK;
}
