// The stand-in for the host's component-library module. Its entry points
// have no result: each hands out the current test host's manager through
// the hosting program's TestHost_* export, or nothing when the program has
// none.

#include <windows.h>
#include <unknwn.h>

namespace {

using TGetInterface = HRESULT(WINAPI*)(IUnknown**);

void HandOut(const char* AHostEntry, IUnknown** AResult) {
  if (!AResult)
    return;
  *AResult = nullptr;
  const auto entry = reinterpret_cast<TGetInterface>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), AHostEntry)));
  if (entry)
    entry(AResult);
}

} // namespace

extern "C" void WINAPI LibApi_GetModelTypeManager(IUnknown** AManager) {
  HandOut("TestHost_GetModelTypeManager", AManager);
}

extern "C" void WINAPI LibApi_GetLibraryManager(IUnknown** AManager) {
  HandOut("TestHost_GetLibraryManager", AManager);
}

// The device-sheet manager is bound by the plug-in but never called.
extern "C" void WINAPI LibApi_GetDeviceSheetManager(IUnknown** AManager) {
  if (AManager)
    *AManager = nullptr;
}
