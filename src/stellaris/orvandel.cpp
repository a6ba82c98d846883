#include "orvandel.h"

#include "driver-catalogue.h"
#include "load-steps.h"

#include <new>

// Neither export lets an exception out; a null out pointer is refused before
// anything is made, and the out slot is only ever written, never released.

extern "C" HRESULT __stdcall GetTarvoDriverCount(int32_t* ACount) {
  EnsureModuleStarted();
  if (!ACount)
    return E_POINTER;
  *ACount = DriverKindCount();
  return S_OK;
}

extern "C" HRESULT __stdcall GetTarvoDriver_Plugin(int32_t AKind, IDispatch** ADriver) {
  EnsureModuleStarted();
  if (!ADriver)
    return E_POINTER;
  *ADriver = nullptr;
  if (AKind < 0 || AKind >= DriverKindCount())
    return S_OK;
  try {
    *ADriver = CreateDriver(AKind);
    return S_OK;
  } catch (...) {
    *ADriver = nullptr;
    return E_UNEXPECTED;
  }
}
