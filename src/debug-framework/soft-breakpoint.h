#pragma once

#include "contracts.h"
#include "memory-access.h"

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

// What software breakpoints and the debug manager use of their processor
// driver: the channel bracket, the driver's planting operations and its
// memory interface. A driver hands itself over as TBreakpointDriverOf; the
// driver is not counted, as it owns the manager that uses it.
class IBreakpointDriver {
public:
  virtual ~IBreakpointDriver() = default;
  virtual void OpenChannel() = 0;
  virtual void CloseChannel() = 0;
  // Plants a breakpoint and answers the memory word it replaced.
  virtual uint32_t AddSoftBreakpoint(int32_t AMemorySpace, int64_t AAddress) = 0;
  // Writes AReplaced back over a planted breakpoint.
  virtual bool RemoveSoftBreakpoint(int32_t AMemorySpace, int64_t AAddress, uint32_t AReplaced) = 0;
  virtual ITarvoDevice GetTarvoDevice() = 0;
  // The driver's IMemoryAccess; empty when it offers none.
  virtual TComPtr<IMemoryAccess> GetMemoryAccess() = 0;
};

using PBreakpointDriver = std::shared_ptr<IBreakpointDriver>;

// Raises EOleSysError for a failing HRESULT of a driver operation.
void CheckDriverResult(HRESULT AResult);

// Runs AWork between the driver's OpenChannel and CloseChannel; the channel
// is closed also when AWork raises.
template <class F> auto WithDriverChannel(IBreakpointDriver& ADriver, F&& AWork) {
  ADriver.OpenChannel();
  try {
    if constexpr (std::is_void_v<decltype(AWork())>) {
      AWork();
      ADriver.CloseChannel();
    } else {
      auto result = AWork();
      ADriver.CloseChannel();
      return result;
    }
  } catch (...) {
    try {
      ADriver.CloseChannel();
    } catch (...) {
    }
    throw;
  }
}

// Any driver class with the contract operations AddSoftBreakpoint,
// RemoveSoftBreakpoint and GetTarvoDevice, plain OpenChannel and
// CloseChannel, and IMemoryAccess offered through QueryInterface.
template <class TDriver> class TBreakpointDriverOf : public IBreakpointDriver {
public:
  explicit TBreakpointDriverOf(TDriver* ATarvoDriver) : FTarvoDriver(ATarvoDriver) {}
  void OpenChannel() override { FTarvoDriver->OpenChannel(); }
  void CloseChannel() override { FTarvoDriver->CloseChannel(); }
  uint32_t AddSoftBreakpoint(int32_t AMemorySpace, int64_t AAddress) override {
    uint32_t replaced = 0;
    CheckDriverResult(FTarvoDriver->AddSoftBreakpoint(AMemorySpace, AAddress, &replaced));
    return replaced;
  }
  bool RemoveSoftBreakpoint(int32_t AMemorySpace, int64_t AAddress, uint32_t AReplaced) override {
    TBoolean ok;
    CheckDriverResult(FTarvoDriver->RemoveSoftBreakpoint(AMemorySpace, AAddress, AReplaced, &ok));
    return bool(ok);
  }
  ITarvoDevice GetTarvoDevice() override {
    ITarvoDevice device;
    CheckDriverResult(FTarvoDriver->GetTarvoDevice(&device));
    return device;
  }
  TComPtr<IMemoryAccess> GetMemoryAccess() override {
    TComPtr<IMemoryAccess> access;
    static_cast<IDispatch*>(FTarvoDriver)
        ->QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(access.Receive()));
    return access;
  }

private:
  TDriver* FTarvoDriver;
};

// The framework's software breakpoint: an address in a memory space that
// the driver patches while the breakpoint is enabled.
class TSoftBreakpoint : public TAbstractSoftBreakpoint {
public:
  explicit TSoftBreakpoint(PBreakpointDriver ATarvoDriver)
      : TSoftBreakpoint(std::move(ATarvoDriver), 0, 0) {}
  TSoftBreakpoint(PBreakpointDriver ATarvoDriver, int32_t AMemorySpace, int64_t AAddress)
      : FAddress(AAddress), FTarvoDriver(std::move(ATarvoDriver)), FMemorySpace(AMemorySpace) {}

  bool Enabled() const { return FEnabled; }

  HRESULT Import_FromCore() override { return S_OK; }
  HRESULT Export_ToCore() override { return S_OK; }
  HRESULT GetReplaced(uint32_t* AResult) override;
  HRESULT GetTarvoDevice(ITarvoDevice* AResult) override;
  HRESULT SetReplaced(uint32_t AValue) override;
  // Plants the breakpoint and keeps the word it replaced. Enabling an
  // enabled breakpoint answers True and changes nothing: planting it again
  // would keep the breakpoint itself as the word to restore.
  HRESULT Enable(TBoolean* AResult) override;
  // Restores the replaced word where it was planted when the breakpoint is
  // enabled (a later SetAddress does not move the restore); answers False
  // without touching the driver when it is not enabled.
  HRESULT Disable(TBoolean* AResult) override;
  HRESULT GetMemorySpace(int32_t* AResult) override;
  HRESULT SetMemorySpace(int32_t ASpace) override;
  HRESULT Reset() override { return S_OK; }
  HRESULT GetAddress(int64_t* AResult) override;
  HRESULT SetAddress(int64_t AAddress) override;

private:
  int64_t FAddress = 0;
  uint32_t FReplaced = 0;
  PBreakpointDriver FTarvoDriver;
  int32_t FMemorySpace = 0;
  bool FEnabled = false;
  // Where the enabled breakpoint sits in memory.
  int32_t FPlantedSpace = 0;
  int64_t FPlantedAddress = 0;
};
