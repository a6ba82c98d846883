#pragma once

#include "sim-config.h"
#include "tap.h"

#include <cstdint>

class TStellarisChip;

// The Cortex-M3's JTAG TAP: the JTAG-DP (ABORT, DPACC, APACC, IDCODE,
// BYPASS; every other instruction acts as BYPASS) and the AHB-AP behind it.
//
// DPACC/APACC scans are 35 bits: bit 0 RnW, bits 2..1 A[3:2], bits 34..3
// data. Capture loads the previous transaction's read result over the ACK
// (2 = OK/FAULT, 1 = WAIT); Update starts the new transaction unless the
// same scan captured WAIT.
class TArmDebugPort : public TTap {
public:
  static constexpr uint32_t IR_ABORT = 0x8, IR_DPACC = 0xA, IR_APACC = 0xB, IR_IDCODE = 0xE,
                            IR_BYPASS = 0xF;
  static constexpr uint32_t kIdcode = 0x3BA00477;
  static constexpr uint32_t kAckOkFault = 2, kAckWait = 1;

  // CTRL/STAT bits.
  static constexpr uint32_t ORUNDETECT = 1u << 0, STICKYORUN = 1u << 1, STICKYCMP = 1u << 4,
                            STICKYERR = 1u << 5, READOK = 1u << 6, CDBGRSTREQ = 1u << 26,
                            CDBGRSTACK = 1u << 27, CDBGPWRUPREQ = 1u << 28, CDBGPWRUPACK = 1u << 29,
                            CSYSPWRUPREQ = 1u << 30, CSYSPWRUPACK = 1u << 31;

  // AHB-AP identification.
  static constexpr uint32_t kApIdr = 0x24770011, kApBase = 0xE00FF003;

  TArmDebugPort(TStellarisChip& AChip, const TSimConfig& AConfig, TSimFaults& AFaults,
                TSimCounters& ACounters);

  uint32_t CtrlStat() const;

protected:
  unsigned DataLength(uint32_t AInstruction) const override;
  uint64_t CaptureData(uint32_t AInstruction) override;
  void UpdateData(uint32_t AInstruction, uint64_t AValue) override;

private:
  void DpAccess(unsigned AAddress, bool ARead, uint32_t AValue);
  void ApAccess(unsigned AAddress, bool ARead, uint32_t AValue);
  uint32_t ReadAp(uint32_t AAddress);
  void WriteAp(uint32_t AAddress, uint32_t AValue);
  bool MemoryRead(uint32_t AAddress, unsigned ASize, uint32_t& AValue);
  bool MemoryWrite(uint32_t AAddress, unsigned ASize, uint32_t AValue);
  void IncrementTar(unsigned ASize);
  unsigned CswSize() const;

  TStellarisChip& FChip;
  const TSimConfig& FConfig;
  TSimFaults& FFaults;
  TSimCounters& FCounters;

  uint32_t FReadResult = 0;   // captured by the next DPACC/APACC scan
  bool FWaitCaptured = false; // this scan answered WAIT: its update is dropped
  uint32_t FCtrlStat = 0;     // the writable and sticky bits; the acks are derived
  uint32_t FSelect = 0;
  uint32_t FCsw = 0, FTar = 0;
};
