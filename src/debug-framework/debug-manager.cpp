#include "debug-manager.h"

#include "exceptions.h"

#include <algorithm>

namespace {

TComPtr<IUnknown> IdentityOf(const TDispRecordBase& ARecord) {
  TComPtr<IUnknown> identity;
  if (ARecord.Intf())
    ARecord.Intf()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Receive()));
  return identity;
}

// The position of the entry that is the same object as ABreakpoint.
template <class R>
typename std::vector<R>::iterator FindSame(std::vector<R>& AList,
                                           const TDispRecordBase& ABreakpoint) {
  const TComPtr<IUnknown> wanted = IdentityOf(ABreakpoint);
  if (!wanted)
    return AList.end();
  return std::find_if(AList.begin(), AList.end(),
                      [&](const R& AEntry) { return IdentityOf(AEntry).Get() == wanted.Get(); });
}

template <class R> R EntryOrEmpty(const std::vector<R>& AList, int32_t AIndex) {
  return AIndex >= 0 && std::size_t(AIndex) < AList.size() ? AList[std::size_t(AIndex)] : R();
}

void Check(HRESULT AResult) {
  CheckDriverResult(AResult);
}

constexpr int32_t TestUnitCount = 4;

} // namespace

TDeviceDebugManager::TDeviceDebugManager(PBreakpointDriver ATarvoDriver)
    : FTarvoDriver(std::move(ATarvoDriver)) {}

TDeviceDebugManager::~TDeviceDebugManager() = default;

HRESULT TDeviceDebugManager::AddHardBreakPoint(const IHardBreakpoint& ABreakpoint,
                                               uint32_t* AResult) {
  return Guarded([&] {
    FAvailableHardBreakpoints.push_back(ABreakpoint);
    if (AResult)
      *AResult = 0;
  });
}

HRESULT TDeviceDebugManager::GetNewHardBreakpoint(IHardBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = IHardBreakpoint();
    if (FCurrentBreakpointMode == eBreakpointMode_SOFT) {
      if (FCurrentDebuggerMode == eDebuggerMode_MANUAL)
        return;
      TBoolean switched;
      Check(SetBreakpointMode(eBreakpointMode_ANY, &switched));
      if (!switched)
        return;
    }
    if (FAvailableHardBreakpoints.empty())
      return;
    IHardBreakpoint breakpoint = FAvailableHardBreakpoints.front();
    FUserHardBreakpoints.push_back(breakpoint);
    FAvailableHardBreakpoints.erase(FAvailableHardBreakpoints.begin());
    *AResult = breakpoint;
  });
}

HRESULT TDeviceDebugManager::GetNewSoftBreakpoint(ISoftBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = ISoftBreakpoint();
    if (FCurrentBreakpointMode == eBreakpointMode_HARD) {
      if (FCurrentDebuggerMode == eDebuggerMode_MANUAL)
        return;
      TBoolean switched;
      Check(SetBreakpointMode(eBreakpointMode_SOFT, &switched));
      if (!switched)
        return;
    }
    if (FSoftBreakpointsRequireHard && !FSoftSystemBreakpoint) {
      if (FAvailableHardBreakpoints.empty())
        return;
      FSoftSystemBreakpoint = FAvailableHardBreakpoints.front();
      FAvailableHardBreakpoints.erase(FAvailableHardBreakpoints.begin());
    }
    TSoftBreakpoint* breakpoint = new TSoftBreakpoint(FTarvoDriver);
    const ISoftBreakpoint record =
        ISoftBreakpoint::FromDispatch(static_cast<IDispatch*>(breakpoint));
    FSoftBreakpoints.push_back(record);
    *AResult = record;
  });
}

HRESULT TDeviceDebugManager::GetSystemBreakpoint(IHardBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FSoftSystemBreakpoint;
  return S_OK;
}

HRESULT TDeviceDebugManager::ReleaseBreakpoint(const ISoftBreakpoint& ABreakpoint) {
  return Guarded([&] {
    bool found = false;
    if (auto soft = FindSame(FSoftBreakpoints, ABreakpoint); soft != FSoftBreakpoints.end()) {
      const ISoftBreakpoint breakpoint = *soft;
      breakpoint.Disable();
      breakpoint.Reset();
      FSoftBreakpoints.erase(FindSame(FSoftBreakpoints, breakpoint));
      found = true;
    } else if (auto hard = FindSame(FUserHardBreakpoints, ABreakpoint);
               hard != FUserHardBreakpoints.end()) {
      const IHardBreakpoint breakpoint = *hard;
      breakpoint.AsSoftBreakpoint().Disable();
      breakpoint.AsSoftBreakpoint().Reset();
      FAvailableHardBreakpoints.push_back(breakpoint);
      FUserHardBreakpoints.erase(FindSame(FUserHardBreakpoints, breakpoint));
      found = true;
    }
    if (found && FCurrentDebuggerMode == eDebuggerMode_AUTO && FSoftBreakpoints.empty() &&
        FSoftSystemBreakpoint) {
      FAvailableHardBreakpoints.push_back(FSoftSystemBreakpoint);
      FSoftSystemBreakpoint = IHardBreakpoint();
    }
  });
}

HRESULT TDeviceDebugManager::ReleaseAllocatedHardBreakpoints() {
  return Guarded([&] {
    while (!FUserHardBreakpoints.empty()) {
      const IHardBreakpoint breakpoint = FUserHardBreakpoints.front();
      breakpoint.AsSoftBreakpoint().Disable();
      breakpoint.AsSoftBreakpoint().Reset();
      FUserHardBreakpoints.erase(FUserHardBreakpoints.begin());
      FAvailableHardBreakpoints.push_back(breakpoint);
    }
  });
}

HRESULT TDeviceDebugManager::ReleaseAllocatedSoftBreakpoints() {
  return Guarded([&] {
    while (!FSoftBreakpoints.empty()) {
      const ISoftBreakpoint breakpoint = FSoftBreakpoints.front();
      breakpoint.Disable();
      breakpoint.Reset();
      FSoftBreakpoints.erase(FSoftBreakpoints.begin());
    }
  });
}

HRESULT TDeviceDebugManager::ReleaseAllBreakpoints() {
  const HRESULT hr = ReleaseAllocatedHardBreakpoints();
  if (FAILED(hr))
    return hr;
  return ReleaseAllocatedSoftBreakpoints();
}

HRESULT TDeviceDebugManager::DisableAllocatedHardBreakpoints() {
  return Guarded([&] {
    for (const IHardBreakpoint& breakpoint : std::vector(FUserHardBreakpoints))
      breakpoint.AsSoftBreakpoint().Disable();
  });
}

HRESULT TDeviceDebugManager::DisableAllocatedSoftBreakpoints() {
  return Guarded([&] {
    for (const ISoftBreakpoint& breakpoint : std::vector(FSoftBreakpoints))
      breakpoint.Disable();
  });
}

HRESULT TDeviceDebugManager::DisableAllAllocatedBreakpoints() {
  const HRESULT hr = DisableAllocatedHardBreakpoints();
  if (FAILED(hr))
    return hr;
  return DisableAllocatedSoftBreakpoints();
}

HRESULT TDeviceDebugManager::EnableAllocatedHardBreakpoints() {
  return Guarded([&] {
    for (const IHardBreakpoint& breakpoint : std::vector(FUserHardBreakpoints))
      breakpoint.AsSoftBreakpoint().Enable();
  });
}

HRESULT TDeviceDebugManager::EnableAllocatedSoftBreakpoints() {
  return Guarded([&] {
    for (const ISoftBreakpoint& breakpoint : std::vector(FSoftBreakpoints))
      breakpoint.Enable();
  });
}

HRESULT TDeviceDebugManager::EnableAllAllocatedBreakpoints() {
  const HRESULT hr = EnableAllocatedHardBreakpoints();
  if (FAILED(hr))
    return hr;
  return EnableAllocatedSoftBreakpoints();
}

HRESULT TDeviceDebugManager::GetAllocatedSoftBreakPointCount(int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = int32_t(FSoftBreakpoints.size());
  return S_OK;
}

HRESULT TDeviceDebugManager::GetAllocatedHardBreakPointCount(int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = int32_t(FUserHardBreakpoints.size());
  return S_OK;
}

HRESULT TDeviceDebugManager::GetAllocatedSoftBreakpointByIndex(int32_t AIndex,
                                                               ISoftBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = EntryOrEmpty(FSoftBreakpoints, AIndex);
  return S_OK;
}

HRESULT TDeviceDebugManager::GetAllocatedHardBreakpointByIndex(int32_t AIndex,
                                                               IHardBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = EntryOrEmpty(FUserHardBreakpoints, AIndex);
  return S_OK;
}

HRESULT TDeviceDebugManager::SetBreakpointMode(int32_t AMode, TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = false;
    if (AMode == FCurrentBreakpointMode) {
      *AResult = true;
      return;
    }
    switch (AMode) {
    case eBreakpointMode_HARD:
      if (FSoftSystemBreakpoint) {
        FAvailableHardBreakpoints.push_back(FSoftSystemBreakpoint);
        FSoftSystemBreakpoint = IHardBreakpoint();
      }
      if (FAvailableHardBreakpoints.empty())
        return;
      break;
    case eBreakpointMode_SOFT:
    case eBreakpointMode_ANY:
      if (FSoftBreakpointsRequireHard && !FSoftSystemBreakpoint) {
        if (FAvailableHardBreakpoints.empty())
          return;
        FSoftSystemBreakpoint = FAvailableHardBreakpoints.front();
        FAvailableHardBreakpoints.erase(FAvailableHardBreakpoints.begin());
      }
      break;
    default:
      return;
    }
    FCurrentBreakpointMode = TBreakpointMode(AMode);
    *AResult = true;
  });
}

HRESULT TDeviceDebugManager::SetDebuggerMode(int32_t AMode) {
  FCurrentDebuggerMode = TDebuggerMode(AMode);
  return S_OK;
}

HRESULT TDeviceDebugManager::SetSoftbreakpointsRequireHardware(VARIANT_BOOL AValue) {
  FSoftBreakpointsRequireHard = AValue != 0;
  return S_OK;
}

HRESULT TDeviceDebugManager::GetBreakpointMode(TBreakpointMode* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FCurrentBreakpointMode;
  return S_OK;
}

HRESULT TDeviceDebugManager::GetDebuggerMode(TDebuggerMode* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FCurrentDebuggerMode;
  return S_OK;
}

HRESULT TDeviceDebugManager::GetSoftBreakpointsRequireHardware(TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FSoftBreakpointsRequireHard;
  return S_OK;
}

HRESULT TDeviceDebugManager::GetHardBreakpointCount(int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = int32_t(FAvailableHardBreakpoints.size() + FUserHardBreakpoints.size());
  return S_OK;
}

HRESULT TDeviceDebugManager::AddressSupportsSoftBreakpoints(int32_t ASpace, int64_t AAddress,
                                                            TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = false;
    if (!FTarvoDriver)
      return;
    const TComPtr<IMemoryAccess> memory = FTarvoDriver->GetMemoryAccess();
    if (!memory)
      return;
    *AResult = WithDriverChannel(*FTarvoDriver, [&] {
      uint32_t original[TestUnitCount] = {};
      TLongBool done = LongFalse;
      Check(memory->MemoryRead(ASpace, original, AAddress, TestUnitCount, &done));
      // Without the units as they were there is nothing to put back, so
      // the memory is not touched.
      if (!done)
        return false;
      uint32_t pattern[TestUnitCount];
      for (int i = 0; i < TestUnitCount; ++i)
        pattern[i] = (original[i] + 1) % 256;
      uint32_t readBack[TestUnitCount] = {};
      try {
        uint32_t written[TestUnitCount];
        std::copy(std::begin(pattern), std::end(pattern), written);
        Check(memory->MemoryWrite(ASpace, written, AAddress, TestUnitCount, &done));
        Check(memory->MemoryRead(ASpace, readBack, AAddress, TestUnitCount, &done));
      } catch (...) {
        try {
          memory->MemoryWrite(ASpace, original, AAddress, TestUnitCount, &done);
        } catch (...) {
        }
        throw;
      }
      // Memory that took only part of the pattern is restored as well.
      Check(memory->MemoryWrite(ASpace, original, AAddress, TestUnitCount, &done));
      return std::equal(std::begin(pattern), std::end(pattern), std::begin(readBack));
    });
  });
}

HRESULT TDeviceDebugManager::GetNewBreakpoint(int32_t ASpace, int64_t AAddress,
                                              ISoftBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    ISoftBreakpoint breakpoint;
    Check(GetBreakpointByAddress(ASpace, AAddress, &breakpoint));
    if (!breakpoint) {
      TBoolean writable;
      Check(AddressSupportsSoftBreakpoints(ASpace, AAddress, &writable));
      if (writable) {
        Check(GetNewSoftBreakpoint(&breakpoint));
      } else {
        int32_t hardCount = 0;
        Check(GetHardBreakpointCount(&hardCount));
        if (hardCount > 0) {
          IHardBreakpoint hard;
          Check(GetNewHardBreakpoint(&hard));
          breakpoint = hard.AsSoftBreakpoint();
        }
      }
    }
    if (breakpoint) {
      breakpoint.Reset();
      breakpoint.SetMemorySpace(ASpace);
      breakpoint.SetAddress(AAddress);
    }
    *AResult = breakpoint;
  });
}

HRESULT TDeviceDebugManager::GetBreakpointByAddress(int32_t, int64_t AAddress,
                                                    ISoftBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = ISoftBreakpoint();
    for (const ISoftBreakpoint& breakpoint : FSoftBreakpoints)
      if (breakpoint.GetAddress() == AAddress) {
        *AResult = breakpoint;
        return;
      }
    for (const IHardBreakpoint& breakpoint : FUserHardBreakpoints)
      if (breakpoint.AsSoftBreakpoint().GetAddress() == AAddress) {
        *AResult = breakpoint.AsSoftBreakpoint();
        return;
      }
  });
}

HRESULT TDeviceDebugManager::GetBreakpointByData(int64_t AData, IHardBreakpoint* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&] {
    *AResult = IHardBreakpoint();
    for (const IHardBreakpoint& breakpoint : FUserHardBreakpoints)
      if (breakpoint.GetData() == AData) {
        *AResult = breakpoint;
        return;
      }
  });
}
