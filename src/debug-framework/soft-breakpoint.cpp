#include "soft-breakpoint.h"

#include "exceptions.h"

void CheckDriverResult(HRESULT AResult) {
  if (FAILED(AResult))
    throw EOleSysError(AResult, L"Driver operation failed");
}

HRESULT TSoftBreakpoint::GetReplaced(uint32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FReplaced;
  return S_OK;
}

HRESULT TSoftBreakpoint::GetTarvoDevice(ITarvoDevice* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded(
      [&] { *AResult = FTarvoDriver ? FTarvoDriver->GetTarvoDevice() : ITarvoDevice(); });
}

HRESULT TSoftBreakpoint::SetReplaced(uint32_t AValue) {
  FReplaced = AValue;
  return S_OK;
}

HRESULT TSoftBreakpoint::Enable(TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    if (FEnabled) {
      *AResult = true;
      return;
    }
    bool ok = false;
    if (FTarvoDriver) {
      FReplaced = WithDriverChannel(
          *FTarvoDriver, [&] { return FTarvoDriver->AddSoftBreakpoint(FMemorySpace, FAddress); });
      FPlantedSpace = FMemorySpace;
      FPlantedAddress = FAddress;
      ok = true;
    }
    FEnabled = ok;
    *AResult = ok;
  });
}

HRESULT TSoftBreakpoint::Disable(TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    bool ok = false;
    if (FTarvoDriver && FEnabled)
      ok = WithDriverChannel(*FTarvoDriver, [&] {
        return FTarvoDriver->RemoveSoftBreakpoint(FPlantedSpace, FPlantedAddress, FReplaced);
      });
    FEnabled = false;
    *AResult = ok;
  });
}

HRESULT TSoftBreakpoint::GetMemorySpace(int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FMemorySpace;
  return S_OK;
}

HRESULT TSoftBreakpoint::SetMemorySpace(int32_t ASpace) {
  FMemorySpace = ASpace;
  return S_OK;
}

HRESULT TSoftBreakpoint::GetAddress(int64_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FAddress;
  return S_OK;
}

HRESULT TSoftBreakpoint::SetAddress(int64_t AAddress) {
  FAddress = AAddress;
  return S_OK;
}
