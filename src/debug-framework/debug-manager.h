#pragma once

#include "contracts.h"
#include "soft-breakpoint.h"

#include <cstdint>
#include <vector>

enum TBreakpointMode : uint8_t {
  eBreakpointMode_SOFT = 0,
  eBreakpointMode_HARD = 1,
  eBreakpointMode_ANY = 2,
};

enum TDebuggerMode : uint8_t {
  eDebuggerMode_MANUAL = 0,
  eDebuggerMode_AUTO = 1,
};

// Hands out a processor's breakpoints: the hardware ones its driver
// registers (each in exactly one place: available, handed out, or held back
// as the system breakpoint that software breakpoints need on some targets)
// and software breakpoints made on demand.
class TDeviceDebugManager : public TAbstractDeviceDebugManager {
public:
  explicit TDeviceDebugManager(PBreakpointDriver ATarvoDriver);
  // For a driver class as TBreakpointDriverOf describes.
  template <class TDriver> static TDeviceDebugManager* CreateFor(TDriver* ATarvoDriver) {
    return new TDeviceDebugManager(std::make_shared<TBreakpointDriverOf<TDriver>>(ATarvoDriver));
  }
  ~TDeviceDebugManager() override;

  HRESULT AddHardBreakPoint(const IHardBreakpoint& ABreakpoint, uint32_t* AResult) override;
  HRESULT GetNewHardBreakpoint(IHardBreakpoint* AResult) override;
  HRESULT GetNewSoftBreakpoint(ISoftBreakpoint* AResult) override;
  HRESULT GetSystemBreakpoint(IHardBreakpoint* AResult) override;
  HRESULT ReleaseBreakpoint(const ISoftBreakpoint& ABreakpoint) override;
  HRESULT ReleaseAllocatedHardBreakpoints() override;
  HRESULT ReleaseAllocatedSoftBreakpoints() override;
  HRESULT ReleaseAllBreakpoints() override;
  HRESULT DisableAllocatedHardBreakpoints() override;
  HRESULT DisableAllocatedSoftBreakpoints() override;
  HRESULT DisableAllAllocatedBreakpoints() override;
  HRESULT EnableAllocatedHardBreakpoints() override;
  HRESULT EnableAllocatedSoftBreakpoints() override;
  HRESULT EnableAllAllocatedBreakpoints() override;
  HRESULT GetAllocatedSoftBreakPointCount(int32_t* AResult) override;
  HRESULT GetAllocatedHardBreakPointCount(int32_t* AResult) override;
  HRESULT GetAllocatedSoftBreakpointByIndex(int32_t AIndex, ISoftBreakpoint* AResult) override;
  HRESULT GetAllocatedHardBreakpointByIndex(int32_t AIndex, IHardBreakpoint* AResult) override;
  HRESULT SetBreakpointMode(int32_t AMode, TBoolean* AResult) override;
  HRESULT SetDebuggerMode(int32_t AMode) override;
  HRESULT SetSoftbreakpointsRequireHardware(VARIANT_BOOL AValue) override;
  HRESULT GetBreakpointMode(TBreakpointMode* AResult) override;
  HRESULT GetDebuggerMode(TDebuggerMode* AResult) override;
  HRESULT GetSoftBreakpointsRequireHardware(TBoolean* AResult) override;
  HRESULT GetHardBreakpointCount(int32_t* AResult) override;
  // Whether the memory at the address takes writes, tested on four units
  // that are always put back as they were read.
  HRESULT AddressSupportsSoftBreakpoints(int32_t ASpace, int64_t AAddress,
                                         TBoolean* AResult) override;
  HRESULT GetNewBreakpoint(int32_t ASpace, int64_t AAddress, ISoftBreakpoint* AResult) override;
  HRESULT GetBreakpointByAddress(int32_t ASpace, int64_t AAddress,
                                 ISoftBreakpoint* AResult) override;
  HRESULT GetBreakpointByData(int64_t AData, IHardBreakpoint* AResult) override;

private:
  PBreakpointDriver FTarvoDriver;
  std::vector<IHardBreakpoint> FAvailableHardBreakpoints;
  std::vector<IHardBreakpoint> FUserHardBreakpoints;
  IHardBreakpoint FSoftSystemBreakpoint;
  std::vector<ISoftBreakpoint> FSoftBreakpoints;
  bool FSoftBreakpointsRequireHard = false;
  TBreakpointMode FCurrentBreakpointMode = eBreakpointMode_ANY;
  TDebuggerMode FCurrentDebuggerMode = eDebuggerMode_AUTO;
};
