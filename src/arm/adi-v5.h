#pragma once

#include "armv7m.h"

#include <cstdint>

// The ARM debug interface v5 over a JTAG debug port: power-up, debug-port and
// access-port register access with the SELECT, CSW and TAR caches, the
// transaction check with its sticky-error recovery, and memory access
// through the memory access port 0.
//
// A WAIT acknowledge makes the scan be sent again (at most kWaitRepeats
// times), and an acknowledge that is neither OK/FAULT nor WAIT fails the
// access, so no WAIT ever becomes a dropped write or a stale read taken for
// good data. A transaction check that finds a sticky flag clears it and
// fails the access; the memory operations then redo the whole access from
// fresh caches (at most kAccessRedos times).
class TARMADI_V5 : public TARMv7M {
public:
  static constexpr int kWaitRepeats = 11;
  static constexpr int kAccessRedos = 3;
  static constexpr uint32_t kNothingCached = 0xFFFFFFFF;

  // Debug-port registers (instruction 10) and access-port registers (11).
  static constexpr uint8_t DP_CTRL_STAT = 0x4, DP_SELECT = 0x8, DP_RDBUFF = 0xC;
  static constexpr uint8_t AP_CSW = 0x00, AP_TAR = 0x04, AP_DRW = 0x0C, AP_BD0 = 0x10,
                           AP_BASE = 0xF8, AP_IDR = 0xFC;
  static constexpr uint32_t kCswFixed = 0xA2000000;
  static constexpr uint8_t kTransAtomic = 1, kTransComposite = 2;

  using TARMv7M::TARMv7M;

  // The slot the Cortex-M3 layer fills with its lazy connection; here it only
  // ends a transaction check left pending.
  virtual void InitializeTarget();

  HRESULT OpenJtagChannel() override;
  HRESULT CloseJtagChannel() override;

protected:
  bool DapRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AValue);
  bool DapWrite(uint8_t AInstruction, uint8_t AAddress, uint32_t AValue);
  bool DpRead(uint8_t AAddress, uint32_t& AValue) { return DapRead(kDpacc, AAddress, AValue); }
  bool DpWrite(uint8_t AAddress, uint32_t AValue) { return DapWrite(kDpacc, AAddress, AValue); }
  bool ApBankSelect(uint8_t AAddress);
  bool ApRead(uint8_t AAddress, uint32_t& AValue);
  bool ApWrite(uint8_t AAddress, uint32_t AValue);
  bool SetupAccessPort(uint32_t ACsw, uint32_t ATar);

  bool MemApBankedRead(uint32_t AAddress, uint32_t& AValue);
  bool MemApBankedWrite(uint32_t AAddress, uint32_t AValue);
  bool MemApBankedReadAndCheck(uint32_t AAddress, uint32_t& AValue);
  bool MemApBankedWriteAndCheck(uint32_t AAddress, uint32_t AValue);

  // Memory through DRW, each access checked; False when the target did not
  // take the whole transfer (counted), and a failed read leaves 0.
  bool MemApReadByte(uint32_t AAddress, uint8_t& AValue);
  bool MemApReadHalfWord(uint32_t AAddress, uint32_t& AValue);
  bool MemApReadWord(uint32_t AAddress, uint32_t& AValue);
  bool MemApWriteByte(uint32_t AAddress, uint8_t AValue);
  bool MemApWriteHalfWord(uint32_t AAddress, uint32_t AValue);
  bool MemApWriteWord(uint32_t AAddress, uint32_t AValue);

  bool TransactionEndCheck();
  bool DebugPortInit();

  // Runs AAttempt again while it failed only because a transaction check
  // recovered from a sticky flag.
  template <class F> bool Redone(F&& AAttempt) {
    for (int i = 0; i < kAccessRedos; ++i) {
      FCheckRecovered = false;
      if (AAttempt())
        return true;
      if (!FCheckRecovered)
        return false;
      ++FDiagnostics.AccessRedos;
    }
    return false;
  }

  uint32_t FDpCtrlStat = kNothingCached;
  uint32_t FApSelect = 0;
  uint32_t FDPSelectValue = kNothingCached;
  uint32_t FApCswValue = kNothingCached;
  uint32_t FApTarValue = kNothingCached;
  uint8_t FTransMode = kTransAtomic;
  uint8_t FTransRW = 0;
  uint8_t FAck = 0;
  uint32_t FMemAccessTCK = 0;
  uint32_t FTarAutoIncBlock = 0;
  bool FJTAGCheckPending = false;
  bool FCheckRecovered = false;

private:
  // One scan, sent again while it answers WAIT; True when it ended OK/FAULT.
  bool AcceptedScan(uint8_t AInstruction, uint8_t AAddress, bool ARead, uint32_t AData,
                    uint32_t& ACaptured);
  bool DataAccess(uint32_t ACsw, uint32_t AAddress, bool ARead, uint32_t& AValue);
  void ForgetAccessPortCaches();
};
