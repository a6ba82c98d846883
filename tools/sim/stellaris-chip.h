#pragma once

#include "sim-config.h"
#include "thumb-core.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <functional>
#include <map>
#include <vector>

// The Stellaris chip behind the debug port: flash, SRAM, the system control
// and flash controller blocks, the Cortex-M3 private peripheral bus (SCS
// debug registers, FPB, DWT, ITM, TPIU, ROM table) and run control of the
// execution core. As ISimBus it is the core's view of the system bus.
class TStellarisChip : public ISimBus {
public:
  // DHCSR bits.
  static constexpr uint32_t C_DEBUGEN = 1u << 0, C_HALT = 1u << 1, C_STEP = 1u << 2,
                            C_MASKINTS = 1u << 3, C_SNAPSTALL = 1u << 5;
  static constexpr uint32_t S_REGRDY = 1u << 16, S_HALT = 1u << 17, S_SLEEP = 1u << 18,
                            S_LOCKUP = 1u << 19, S_RETIRE_ST = 1u << 24, S_RESET_ST = 1u << 25;
  // DFSR bits.
  static constexpr uint32_t DFSR_HALTED = 1u << 0, DFSR_BKPT = 1u << 1, DFSR_DWTTRAP = 1u << 2,
                            DFSR_VCATCH = 1u << 3, DFSR_EXTERNAL = 1u << 4;
  // DEMCR vector catches the run control looks at.
  static constexpr uint32_t VC_CORERESET = 1u << 0, VC_HARDERR = 1u << 10;

  TStellarisChip(const TSimConfig& AConfig, TSimFaults& AFaults, TSimCounters& ACounters);

  // The debugger's view (the AHB-AP as bus master): like the core's, but
  // flash cannot be written through the bus by anyone.
  bool DebugRead(uint32_t AAddress, unsigned ASize, uint32_t& AValue);
  bool DebugWrite(uint32_t AAddress, unsigned ASize, uint32_t AValue);

  // ISimBus (the core's view).
  bool Read(uint32_t AAddress, unsigned ASize, uint32_t& AValue) override;
  bool Write(uint32_t AAddress, unsigned ASize, uint32_t AValue) override;

  // Lets a running core execute its bounded slice of instructions.
  void RunSlice();
  // The SRST pin: while asserted the core is held in reset; releasing it is
  // a system reset.
  void SetSrst(bool AAsserted);
  // Power-on: memories and every register to their reset state (flash
  // content survives, as it does on silicon).
  void PowerOnReset();

  bool IsHalted() const { return FHalted; }
  bool IsLockedUp() const { return FLockup; }
  TThumbCore& Core() { return FCore; }
  const std::vector<uint8_t>& Flash() const { return FFlash; }
  uint32_t FlashSize() const { return static_cast<uint32_t>(FFlash.size()); }
  uint32_t SramSize() const { return static_cast<uint32_t>(FSram.size()); }

  // Observes every bus access (debugger and core): for the server's trace.
  using TTraceHook = std::function<void(bool AWrite, uint32_t AAddress, unsigned ASize,
                                        uint32_t AValue, bool AOk)>;
  void SetTraceHook(TTraceHook AHook) { FTrace = std::move(AHook); }

private:
  enum class TMaster { Debugger, Core };

  bool Access(TMaster AMaster, bool AWrite, uint32_t AAddress, unsigned ASize, uint32_t& AValue);
  bool AccessMemory(std::vector<uint8_t>& AMemory, uint32_t AOffset, bool AWrite, unsigned ASize,
                    uint32_t& AValue);
  // Word-wide registers; APeek reads without side effects (clear-on-read).
  bool ReadRegister(uint32_t AAddress, uint32_t& AValue, bool APeek);
  bool WriteRegister(uint32_t AAddress, uint32_t AValue);

  bool ReadSysCtl(uint32_t AOffset, uint32_t& AValue);
  bool WriteSysCtl(uint32_t AOffset, uint32_t AValue);
  bool ReadFlashCtl(uint32_t AOffset, uint32_t& AValue);
  bool WriteFlashCtl(uint32_t AOffset, uint32_t AValue);
  bool ReadPpb(uint32_t AAddress, uint32_t& AValue, bool APeek);
  bool WritePpb(uint32_t AAddress, uint32_t AValue);

  void ResetSysCtl();
  void FlashCommand(uint32_t AFmc);
  bool FlashWordWritable(uint32_t AAddress) const;

  void WriteDhcsr(uint32_t AValue);
  uint32_t ReadDhcsr(bool APeek);
  void WriteDcrsr(uint32_t AValue);
  void WriteAircr(uint32_t AValue);
  void Halt(uint32_t AReason);
  void ResetCore(bool ASystem);
  // One instruction of a core outside debug state; false when it stopped.
  bool StepOnce(bool AStepping);
  bool FpbMatches(uint32_t APc) const;
  void EnterFault(bool AStepping);

  const TSimConfig FConfig;
  TSimFaults& FFaults;
  TSimCounters& FCounters;
  TThumbCore FCore;
  TTraceHook FTrace;

  std::vector<uint8_t> FFlash, FSram;

  std::map<uint32_t, uint32_t> FSysCtl; // by offset in the system control block
  uint32_t FFma = 0, FFmd = 0, FFcris = 0, FFcim = 0;

  std::map<uint32_t, uint32_t> FPpbStore; // plain read/write words of the PPB blocks
  bool FFpEnabled = false;
  uint32_t FFpComp[8] = {};

  uint32_t FDhcsrCtrl = 0; // C_* bits
  uint32_t FDfsr = 0;
  uint32_t FDemcr = 0;
  uint32_t FDcrdr = 0;
  uint32_t FAircrPrigroup = 0;
  bool FHalted = false, FLockup = false, FSleeping = false, FInSrst = false;
  bool FResetSt = false, FRetireSt = false, FRegRdy = true;
  // A DCRSR transfer held back by the RegisterReadyLate fault.
  bool FTransferPending = false;
  uint32_t FPendingDcrsr = 0;
  unsigned FReadyCountdown = 0;
  void TransferCoreRegister(uint32_t ADcrsr);
};
