#pragma once

#include "scan-target.h"
#include "stellaris-sim.h"

#include <gtest/gtest.h>

#include <cstdint>

// Talks to the simulated debug port the way a debugger does: 35-bit
// DPACC/APACC scans through the scan target, reads posted and fetched with
// RDBUFF.
class TDapFixture : public ::testing::Test {
protected:
  explicit TDapFixture(const TSimConfig& AConfig = TSimConfig())
      : Sim(AConfig), Scan(Sim), Pos(AConfig.ChipPosition) {
    Scan.ResetTap();
  }

  struct TScan {
    uint32_t Data;
    unsigned Ack;
  };

  TScan Scan35(uint32_t AInstruction, unsigned AAddress, bool ARead, uint32_t AData) {
    Scan.MoveToState(TTapState::Idle);
    Scan.ShiftIR(Pos, TSimScanTarget::ToBits(AInstruction, 4));
    const uint64_t request = (uint64_t(AData) << 3) | ((AAddress >> 1) & 6) | (ARead ? 1 : 0);
    const uint64_t got =
        TSimScanTarget::FromBits(Scan.ShiftDR(Pos, TSimScanTarget::ToBits(request, 35)));
    Scan.MoveToState(TTapState::Idle);
    return {static_cast<uint32_t>(got >> 3), static_cast<unsigned>(got & 7)};
  }

  uint32_t DpRead(unsigned AAddress) {
    Scan35(TArmDebugPort::IR_DPACC, AAddress, true, 0);
    return Scan35(TArmDebugPort::IR_DPACC, 0xC, true, 0).Data;
  }
  void DpWrite(unsigned AAddress, uint32_t AValue) {
    Scan35(TArmDebugPort::IR_DPACC, AAddress, false, AValue);
  }
  void SelectBank(uint32_t AApAddress) { DpWrite(0x8, AApAddress & 0xF0); }
  uint32_t ApRead(uint32_t AAddress) {
    SelectBank(AAddress);
    Scan35(TArmDebugPort::IR_APACC, AAddress & 0xC, true, 0);
    return Scan35(TArmDebugPort::IR_DPACC, 0xC, true, 0).Data;
  }
  void ApWrite(uint32_t AAddress, uint32_t AValue) {
    SelectBank(AAddress);
    Scan35(TArmDebugPort::IR_APACC, AAddress & 0xC, false, AValue);
  }
  void PowerUp() { DpWrite(0x4, 0x50000000); }

  // Word access through CSW/TAR/DRW.
  uint32_t ReadWord(uint32_t AAddress) {
    ApWrite(0x00, 0x02);
    ApWrite(0x04, AAddress);
    return ApRead(0x0C);
  }
  void WriteWord(uint32_t AAddress, uint32_t AValue) {
    ApWrite(0x00, 0x02);
    ApWrite(0x04, AAddress);
    ApWrite(0x0C, AValue);
  }
  uint32_t CtrlStat() { return DpRead(0x4); }
  void ClearSticky() { DpWrite(0x4, 0x50000032); }

  TStellarisSim Sim;
  TSimScanTarget Scan;
  unsigned Pos;
};

// Addresses the tests use.
constexpr uint32_t kSram = 0x20000000;
constexpr uint32_t kDhcsr = 0xE000EDF0, kDcrsr = 0xE000EDF4, kDcrdr = 0xE000EDF8,
                   kDemcr = 0xE000EDFC, kAircr = 0xE000ED0C, kDfsr = 0xE000ED30;
constexpr uint32_t kFma = 0x400FD000, kFmd = 0x400FD004, kFmc = 0x400FD008, kFcris = 0x400FD00C,
                   kFcim = 0x400FD010, kFcmisc = 0x400FD014;
