#include "adi-v5.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr uint32_t kStickyOrun = 1u << 1, kStickyErr = 1u << 5;
constexpr uint32_t kCdbgPwrUpAck = 1u << 29, kCsysPwrUpAck = 1u << 31;
constexpr uint32_t kPowerUpRequests = 0x50000000, kPowerUpAndOverrun = 0x50000001;
constexpr int kPowerPolls = 10;
constexpr DWORD kPowerPollMs = 10;

std::wstring Hex(uint32_t AValue) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%x", AValue);
  return text;
}

} // namespace

void TARMADI_V5::InitializeTarget() {
  FJTAGCheckPending = false;
}

HRESULT TARMADI_V5::OpenJtagChannel() {
  return TARMv7M::OpenJtagChannel();
}
HRESULT TARMADI_V5::CloseJtagChannel() {
  return TARMv7M::CloseJtagChannel();
}

bool TARMADI_V5::AcceptedScan(uint8_t AInstruction, uint8_t AAddress, bool ARead, uint32_t AData,
                              uint32_t& ACaptured) {
  for (int attempt = 0; attempt <= kWaitRepeats; ++attempt) {
    uint8_t ack = 0;
    const bool scanned = ARead ? DapScanRead(AInstruction, AAddress, ACaptured, ack)
                               : DapScanWrite(AInstruction, AAddress, AData, ack);
    if (!scanned)
      return false;
    FAck = ack;
    if ((ack & 7) != kAckWait)
      break;
    if (attempt < kWaitRepeats)
      ++FDiagnostics.WaitRepeats;
  }
  if ((FAck & 7) == kAckOkFault)
    return true;
  ++FDiagnostics.FailedAccesses;
  return false;
}

bool TARMADI_V5::DapRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AValue) {
  uint32_t posted = 0, value = 0;
  // The posting scan starts the read; RDBUFF then brings its result.
  bool ok = AcceptedScan(AInstruction, AAddress, true, 0, posted) &&
            AcceptedScan(kDpacc, DP_RDBUFF, true, 0, value);
  if (ok)
    AValue = value;
  if (ok && AInstruction == kApacc && FTransMode == kTransAtomic)
    ok = TransactionEndCheck();
  return ok;
}

bool TARMADI_V5::DapWrite(uint8_t AInstruction, uint8_t AAddress, uint32_t AValue) {
  uint32_t captured = 0;
  bool ok = AcceptedScan(AInstruction, AAddress, false, AValue, captured);
  if (ok && AInstruction == kApacc && FTransMode == kTransAtomic)
    ok = TransactionEndCheck();
  return ok;
}

bool TARMADI_V5::ApBankSelect(uint8_t AAddress) {
  const uint32_t bank = AAddress & 0xF0;
  if (bank == FDPSelectValue)
    return true;
  if (!DpWrite(DP_SELECT, (FApSelect << 24) | bank))
    return false;
  FDPSelectValue = bank;
  return true;
}

bool TARMADI_V5::ApRead(uint8_t AAddress, uint32_t& AValue) {
  return ApBankSelect(AAddress) && DapRead(kApacc, AAddress & 0x0C, AValue);
}

bool TARMADI_V5::ApWrite(uint8_t AAddress, uint32_t AValue) {
  return ApBankSelect(AAddress) && DapWrite(kApacc, AAddress & 0x0C, AValue);
}

bool TARMADI_V5::SetupAccessPort(uint32_t ACsw, uint32_t ATar) {
  const uint32_t csw = ACsw | kCswFixed;
  if (csw != FApCswValue) {
    if (!ApWrite(AP_CSW, csw))
      return false;
    FApCswValue = csw;
  }
  if (ATar != FApTarValue) {
    if (!ApWrite(AP_TAR, ATar))
      return false;
    FApTarValue = ATar;
  }
  // The port moves TAR by itself on an auto-incrementing access.
  if (csw & 0x30)
    FApTarValue = kNothingCached;
  return true;
}

bool TARMADI_V5::MemApBankedRead(uint32_t AAddress, uint32_t& AValue) {
  FTransMode = kTransComposite;
  return SetupAccessPort(0x02, AAddress & ~0xFu) &&
         ApRead(uint8_t((AAddress & 0xC) | AP_BD0), AValue);
}

bool TARMADI_V5::MemApBankedWrite(uint32_t AAddress, uint32_t AValue) {
  FTransMode = kTransComposite;
  return SetupAccessPort(0x02, AAddress & ~0xFu) &&
         ApWrite(uint8_t((AAddress & 0xC) | AP_BD0), AValue);
}

bool TARMADI_V5::MemApBankedReadAndCheck(uint32_t AAddress, uint32_t& AValue) {
  uint32_t value = 0;
  const bool ok = Redone([&] { return MemApBankedRead(AAddress, value) && TransactionEndCheck(); });
  if (ok)
    AValue = value;
  return ok;
}

bool TARMADI_V5::MemApBankedWriteAndCheck(uint32_t AAddress, uint32_t AValue) {
  return Redone([&] { return MemApBankedWrite(AAddress, AValue) && TransactionEndCheck(); });
}

bool TARMADI_V5::DataAccess(uint32_t ACsw, uint32_t AAddress, bool ARead, uint32_t& AValue) {
  return Redone([&] {
    FTransMode = kTransComposite;
    if (!SetupAccessPort(ACsw, AAddress))
      return false;
    const bool ok = ARead ? ApRead(AP_DRW, AValue) : ApWrite(AP_DRW, AValue);
    return ok && TransactionEndCheck();
  });
}

bool TARMADI_V5::MemApReadByte(uint32_t AAddress, uint8_t& AValue) {
  AValue = 0;
  uint32_t drw = 0;
  if (!DataAccess(0x10, AAddress, true, drw)) {
    ++FDiagnostics.DroppedReads;
    return false;
  }
  AValue = uint8_t(drw >> (8 * (AAddress & 3)));
  return true;
}

bool TARMADI_V5::MemApReadHalfWord(uint32_t AAddress, uint32_t& AValue) {
  AValue = 0;
  if (AAddress & 1) {
    // A halfword across a lane boundary: two byte accesses.
    uint8_t low = 0, high = 0;
    if (!MemApReadByte(AAddress, low) || !MemApReadByte(AAddress + 1, high))
      return false;
    AValue = low | (uint32_t(high) << 8);
    return true;
  }
  uint32_t drw = 0;
  if (!DataAccess(0x11, AAddress, true, drw)) {
    ++FDiagnostics.DroppedReads;
    return false;
  }
  AValue = (drw >> (8 * (AAddress & 3))) & 0xFFFF;
  return true;
}

bool TARMADI_V5::MemApReadWord(uint32_t AAddress, uint32_t& AValue) {
  AValue = 0;
  if (AAddress & 3) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; ++i) {
      uint8_t byte = 0;
      if (!MemApReadByte(AAddress + i, byte))
        return false;
      value |= uint32_t(byte) << (8 * i);
    }
    AValue = value;
    return true;
  }
  uint32_t drw = 0;
  if (!DataAccess(0x12, AAddress, true, drw)) {
    ++FDiagnostics.DroppedReads;
    return false;
  }
  AValue = drw;
  return true;
}

bool TARMADI_V5::MemApWriteByte(uint32_t AAddress, uint8_t AValue) {
  uint32_t drw = uint32_t(AValue) << (8 * (AAddress & 3));
  if (DataAccess(0x10, AAddress, false, drw))
    return true;
  ++FDiagnostics.DroppedWrites;
  return false;
}

bool TARMADI_V5::MemApWriteHalfWord(uint32_t AAddress, uint32_t AValue) {
  if (AAddress & 1)
    return MemApWriteByte(AAddress, uint8_t(AValue)) &&
           MemApWriteByte(AAddress + 1, uint8_t(AValue >> 8));
  uint32_t drw = (AValue & 0xFFFF) << (8 * (AAddress & 3));
  if (DataAccess(0x11, AAddress, false, drw))
    return true;
  ++FDiagnostics.DroppedWrites;
  return false;
}

bool TARMADI_V5::MemApWriteWord(uint32_t AAddress, uint32_t AValue) {
  if (AAddress & 3) {
    for (uint32_t i = 0; i < 4; ++i)
      if (!MemApWriteByte(AAddress + i, uint8_t(AValue >> (8 * i))))
        return false;
    return true;
  }
  uint32_t drw = AValue;
  if (DataAccess(0x12, AAddress, false, drw))
    return true;
  ++FDiagnostics.DroppedWrites;
  return false;
}

void TARMADI_V5::ForgetAccessPortCaches() {
  FDPSelectValue = kNothingCached;
  FApCswValue = kNothingCached;
  FApTarValue = kNothingCached;
}

bool TARMADI_V5::TransactionEndCheck() {
  if (FJTAGCheckPending)
    return false;
  FJTAGCheckPending = true;
  // The flag ends with the check, whatever its outcome.
  struct TPendingGuard {
    bool& Flag;
    ~TPendingGuard() { Flag = false; }
  } guard{FJTAGCheckPending};

  uint32_t ctrlStat = 0;
  if (!DpRead(DP_CTRL_STAT, ctrlStat))
    return false;
  if (!(ctrlStat & (kStickyOrun | kStickyErr)))
    return true;

  ++FDiagnostics.StickyErrors;
  if ((ctrlStat & 0xF0000000) != 0xF0000000) {
    // A power domain went down: power up again. The access that raised the
    // flag is lost; the caller may redo it once the port is back.
    DebugPortInit();
    uint32_t after = 0;
    FCheckRecovered = DpRead(DP_CTRL_STAT, after) && (after & kCdbgPwrUpAck) &&
                      !(after & (kStickyOrun | kStickyErr));
    return false;
  }
  if (FApTarValue != kNothingCached)
    LogDebug(L"MEM-AP Cached values: ap_bank " + Hex(FDPSelectValue) + L", ap_csw " +
             Hex(FApCswValue) + L", ap_tar " + Hex(FApTarValue));
  if (ctrlStat & kStickyOrun)
    LogError(L"JTAG-DP OVERRUN - check clock, memaccess, or reduce jtag speed");
  if (ctrlStat & kStickyErr)
    LogError(L"JTAG-DP STICKY ERROR");
  // Writing ones to the sticky bits clears them.
  if (!DpWrite(DP_CTRL_STAT, FDpCtrlStat | kStickyOrun | kStickyErr))
    return false;
  uint32_t cleared = 0;
  if (DpRead(DP_CTRL_STAT, cleared))
    LogDebug(L"jtag-dp: CTRL/STAT " + Hex(cleared));
  uint32_t csw = 0, tar = 0;
  if (ApRead(AP_CSW, csw) && ApRead(AP_TAR, tar))
    LogError(L"MEM-AP_CSW " + Hex(csw) + L", MEM_AP_TAR " + Hex(tar));
  // What the port holds after an error is not what was cached.
  ForgetAccessPortCaches();
  FCheckRecovered = true;
  return false;
}

bool TARMADI_V5::DebugPortInit() {
  FApSelect = 0;
  FDpCtrlStat = kNothingCached;
  ForgetAccessPortCaches();
  FTransMode = kTransAtomic;

  uint32_t ctrlStat = 0;
  bool ok = DpRead(DP_CTRL_STAT, ctrlStat) && DpWrite(DP_CTRL_STAT, kStickyErr) &&
            DpRead(DP_CTRL_STAT, ctrlStat);
  if (ok) {
    FDpCtrlStat = kPowerUpRequests;
    ok = DpWrite(DP_CTRL_STAT, FDpCtrlStat) && DpRead(DP_CTRL_STAT, ctrlStat);
  }
  if (!ok)
    return false;
  for (int i = 0; i < kPowerPolls && !(ctrlStat & kCdbgPwrUpAck); ++i) {
    LogDebug(L"DAP : wait CDBGPWRUPACK");
    if (!DpRead(DP_CTRL_STAT, ctrlStat))
      return false;
    Sleep(kPowerPollMs);
  }
  for (int i = 0; i < kPowerPolls && !(ctrlStat & kCsysPwrUpAck); ++i) {
    LogDebug(L"DAP : wait CSYSPWRUPACK");
    if (!DpRead(DP_CTRL_STAT, ctrlStat))
      return false;
    Sleep(kPowerPollMs);
  }
  // Without the debug domain nothing behind the port answers.
  const bool debugPowered = (ctrlStat & kCdbgPwrUpAck) != 0;
  ok = DpRead(DP_CTRL_STAT, ctrlStat);
  if (ok) {
    FDpCtrlStat = kPowerUpAndOverrun;
    ok = DpWrite(DP_CTRL_STAT, FDpCtrlStat) && DpRead(DP_CTRL_STAT, ctrlStat);
  }
  uint32_t idr = 0xFFFFFFFF, base = 0xFFFFFFFF;
  if (ok && debugPowered)
    ok = ApRead(AP_IDR, idr) && ApRead(AP_BASE, base);
  wchar_t line[96];
  swprintf(line, 96, L"%d ID Register 0x%x, Debug ROM Address 0x%x", int(FApSelect), idr, base);
  LogDebug(std::wstring(L"MEM-AP #") + line);
  if (!debugPowered) {
    ++FDiagnostics.PowerUpFailures;
    return false;
  }
  return ok;
}
