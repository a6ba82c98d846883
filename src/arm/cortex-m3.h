#pragma once

#include "adi-v5.h"

#include "hard-breakpoints.h"

#include <cstdint>
#include <vector>

// The Cortex-M3 core: lazy connection and discovery, run control through the
// debug halting control register, core registers through the register
// selector and data registers, memory, software breakpoints, and the flash
// patch comparators as hardware breakpoints.
//
// Every operation asks UsesJlink first; the probe road is served by a
// descendant that overrides it and the operations it takes over, so this
// class carries the raw JTAG road.
class TARM_Cortex_M3 : public TARMADI_V5 {
public:
  // System-control and debug registers.
  static constexpr uint32_t CPUID = 0xE000ED00, AIRCR = 0xE000ED0C, DHCSR = 0xE000EDF0,
                            DCRSR = 0xE000EDF4, DCRDR = 0xE000EDF8, DEMCR = 0xE000EDFC,
                            FP_CTRL = 0xE0002000, FP_COMP0 = 0xE0002008, DWT_CTRL = 0xE0001000;
  static constexpr uint32_t kDhcsrHalt = 0xA05F0003, kDhcsrStep = 0xA05F000D,
                            kDhcsrRun = 0xA05F0001, kDemcrReset = 0x01000501,
                            kAircrReset = 0x05FA0001;
  static constexpr uint32_t S_HALT = 1u << 17;
  static constexpr uint32_t S_REGRDY = 1u << 16;
  static constexpr int kHaltPolls = 11;
  static constexpr int kRegisterReadyPolls = 11;
  inline static const std::wstring kNotResponding = L"Target is not responding.";

  template <class... A>
  explicit TARM_Cortex_M3(A&&... AArgs) : TARMADI_V5(std::forward<A>(AArgs)...) {
    FTarAutoIncBlock = 4096;
    InitializeTarget();
    FStateSaved = false;
  }

  void InitializeTarget() override;

  HRESULT PauseProcessor() override;
  HRESULT SingleStepProcessor() override;
  HRESULT ContinueProcessor() override;
  HRESULT ResetProcessor() override;
  HRESULT ResetTarvoRegisters() override;
  HRESULT ProcessorIsPaused(TBoolean* AResult) override;
  HRESULT ProcessorIsReset(TBoolean* AResult) override;

  HRESULT AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) override;
  HRESULT RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                               TBoolean* AResult) override;

  HRESULT ReadMemory_Byte(uint32_t AAddress, uint32_t* AValue) override;
  HRESULT ReadMemory_HalfWord(uint32_t AAddress, uint32_t* AValue) override;
  HRESULT ReadMemory_Word(uint32_t AAddress, uint32_t* AValue) override;
  HRESULT WriteMemory_Byte(uint32_t AAddress, uint32_t AValue) override;
  HRESULT WriteMemory_HalfWord(uint32_t AAddress, uint32_t AValue) override;
  HRESULT WriteMemory_Word(uint32_t AAddress, uint32_t AValue) override;

  HRESULT SaveState() override;
  HRESULT InitWatchPoints() override;
  // The embedded project's initial values, entries of one name merged.
  HRESULT InitializeMemory() override;

  uint32_t ReadCoreRegister(int32_t ARegister) override;
  void WriteCoreRegister(int32_t ARegister, uint32_t AValue) override;

  // The flash patch comparators seen as hardware breakpoints: word access to
  // the target for them, inside a transaction.
  bool ReadDebugWord(uint32_t AAddress, uint32_t& AValue);
  bool WriteDebugWord(uint32_t AAddress, uint32_t AValue);

  bool Initialized() const { return FInitialized; }
  bool TargetNotResponding() const { return FTargetNotResponding; }
  bool FpEnabled() const { return FFpEnabled; }
  int FpNumCode() const { return FFpNumCode; }
  int FpNumLit() const { return FFpNumLit; }
  int DwtNumComp() const { return FDwtNumComp; }
  // The flash patch comparators made at connection, in comparator order.
  const std::vector<TComPtr<TARM_Cortex_M3HardBreakpoint>>& HardBreakpoints() const {
    return FHardBreakpoints;
  }

protected:
  // The seam of the probe road: True when the device sits on a probe port
  // whose adapter serves it. The raw road alone is built here.
  virtual bool UsesJlink() { return false; }
  // Registers a hardware breakpoint object with the driver's debug manager.
  virtual void AddHardBreakpointToManager(IDispatch* ABreakpoint);
  virtual void SetSoftbreakpointsRequireHardware(bool AValue);

  bool FInitialized = false;
  bool FJlinkInitialized = false;
  bool FFpEnabled = false;
  int FFpNumCode = 0;
  int FFpNumLit = 0;
  int FDwtNumComp = 0;
  bool FTargetNotResponding = false;
  std::vector<TComPtr<TARM_Cortex_M3HardBreakpoint>> FHardBreakpoints;

private:
  uint32_t DcbReadCoreRegister(int32_t ARegister);
  void DcbWriteCoreRegister(int32_t ARegister, uint32_t AValue);
  bool CheckHalted();
  bool WaitHalted();
  void ParkInstructionRegister();
  bool WriteDhcsr(uint32_t AValue);
  // Polls DHCSR until the core register transfer is done; bounded, counted.
  bool WaitRegisterReady();
  // The answer of a single-unit access.
  HRESULT Transferred(bool ATaken);
};
