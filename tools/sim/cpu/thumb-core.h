#pragma once

#include "bus.h"

#include <cstdint>

// ARMv7-M Thumb execution core of the simulated Cortex-M3. The core knows
// registers and instructions only; halting, stepping, breakpoint comparators
// and the debug registers belong to the chip model that drives it.
//
// Exceptions and interrupts are not modelled: an instruction that would take
// one (a fault, SVC, an exception return) stops with TStepResult::Fault and
// leaves the registers as they were before it, so the chip model can halt
// (vector catch) or lock up.
class TThumbCore {
public:
  // Core register selectors as the debug core register selector (DCRSR)
  // numbers them.
  enum TRegister : unsigned {
    R0 = 0,
    R12 = 12,
    SP = 13,
    LR = 14,
    DebugReturnAddress = 15,
    XPSR = 16,
    MSP = 17,
    PSP = 18,
    SpecialRegs = 20, // CONTROL[31:24] FAULTMASK[23:16] BASEPRI[15:8] PRIMASK[7:0]
  };

  enum class TStepResult {
    Executed,         // one instruction completed
    Breakpoint,       // a BKPT instruction; PC still points at it
    Fault,            // the instruction faulted (bus fault, undefined, usage); PC unchanged
    WaitForInterrupt, // WFI/WFE executed; PC is past it
  };

  // Why the last Step answered Fault; the names follow the fault status bits
  // a Cortex-M3 would set (CFSR), so the chip model can report them.
  enum class TFaultKind {
    None,
    InstructionBusError, // IBUSERR: the instruction fetch failed (LastFaultAddress = halfword)
    DataBusError,        // PRECISERR: a load or store failed (LastFaultAddress = data address)
    Undefined,           // UNDEFINSTR: undefined, DSP or floating-point encoding
    InvalidState,        // INVSTATE: executing with EPSR.T clear
    Unaligned,           // UNALIGNED: LDM/STM/PUSH/POP/LDRD/STRD/LDREX/STREX off alignment
    NoCoprocessor,       // NOCP: any coprocessor encoding
    ExceptionReturn,     // a branch to an EXC_RETURN value (0xFxxxxxxx); returns are not modelled
    SupervisorCall,      // SVC: the exception is not modelled
  };

  explicit TThumbCore(ISimBus& ABus) : FBus(ABus) {}

  // Loads SP_main from the word at 0 and PC from the word at 4 (the vector
  // table), xPSR with only the Thumb bit, the other registers as a reset
  // leaves them. Returns false when the vector table cannot be read.
  bool Reset();

  // Executes exactly one instruction, also one inside an IT block (a
  // conditional instruction that fails its condition still counts as one
  // step and advances the IT state).
  TStepResult Step();

  // Register access by DCRSR selector; an unknown selector reads 0 and
  // ignores writes.
  uint32_t ReadRegister(unsigned ASelector) const;
  void WriteRegister(unsigned ASelector, uint32_t AValue);

  uint32_t GetPC() const { return FR[15]; }
  void SetPC(uint32_t AValue) { FR[15] = AValue & ~1u; }

  // Length in bytes (2 or 4) of the instruction at PC, or 0 when it cannot be read.
  unsigned InstructionLengthAt(uint32_t AAddress) const;

  // The address of the last fault, when Step answered Fault: the data address
  // of a failed load/store, otherwise the address of the faulting instruction.
  uint32_t LastFaultAddress() const { return FLastFaultAddress; }
  TFaultKind LastFaultKind() const { return FLastFaultKind; }

  // ITSTATE (firstcond:mask, as xPSR bits 15:10 and 26:25 hold it); non-zero
  // inside an IT block.
  uint8_t ItState() const { return FIt; }
  bool InItBlock() const { return (FIt & 0xF) != 0; }

  // Instructions completed (skipped conditional ones included) since construction.
  uint64_t ExecutedCount() const { return FExecutedCount; }

private:
  friend struct TThumbExec;

  bool UsingProcessStack() const { return (FControl & 2) != 0 && FIpsr == 0; }
  // Moves the stack pointers between FR[13] and the banked copies after
  // CONTROL.SPSEL or the mode changed.
  void SelectStack();

  ISimBus& FBus;
  uint32_t FR[16] = {}; // R13 is the banked SP in use (see FUsingPsp)
  bool FN = false, FZ = false, FC = false, FV = false, FQ = false;
  bool FThumb = true;          // EPSR.T
  uint8_t FIt = 0;             // EPSR.IT
  uint16_t FIpsr = 0;          // exception number; 0 = Thread mode
  uint32_t FMsp = 0, FPsp = 0; // the copy of the SP not in FR[13] is current here
  bool FUsingPsp = false;
  uint8_t FControl = 0, FFaultMask = 0, FBasePri = 0, FPriMask = 0;
  bool FExclusiveOpen = false; // local exclusive monitor (single core)
  bool FEventRegister = false; // set by SEV, consumed by WFE
  uint32_t FNextPc = 0;        // branch target chosen by the instruction in flight
  uint32_t FLastFaultAddress = 0;
  TFaultKind FLastFaultKind = TFaultKind::None;
  uint64_t FExecutedCount = 0;
};
