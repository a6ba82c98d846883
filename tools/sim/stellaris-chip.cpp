#include "stellaris-chip.h"

#include <climits>

namespace {

constexpr uint32_t kSramBase = 0x20000000;
constexpr uint32_t kFlashCtlBase = 0x400FD000;
constexpr uint32_t kSysCtlBase = 0x400FE000;
constexpr uint32_t kPpbBase = 0xE0000000;
constexpr uint32_t kPpbEnd = 0xE0100000;

constexpr uint32_t kCpuid = 0x411FC231;
constexpr uint32_t kAircr = 0xE000ED0C, kDfsr = 0xE000ED30, kDhcsr = 0xE000EDF0,
                   kDcrsr = 0xE000EDF4, kDcrdr = 0xE000EDF8, kDemcr = 0xE000EDFC;
constexpr uint32_t kFpCtrl = 0xE0002000, kFpComp0 = 0xE0002008, kDwtCtrl = 0xE0001000;
constexpr uint32_t kFpCtrlFixed = 0x260; // 6 code and 2 literal comparators
constexpr unsigned kFpCodeComparators = 6;
constexpr uint32_t kDwtCtrlFixed = 0x40000000; // 4 comparators

// System control registers: offset, reset value, write behaviour. DID0,
// DID1, DC0 and DC1 come from the device row and the memory sizes.
enum class TRegKind { ReadOnly, ReadWrite, WriteOneToClear, ClearOnly };
struct TRegDef {
  uint32_t Offset;
  uint32_t Reset;
  TRegKind Kind;
};
constexpr uint32_t kDid0 = 0x000, kDid1 = 0x004, kDc0 = 0x008, kDc1 = 0x010;
constexpr uint32_t kFmpre = 0x130, kFmppe = 0x134, kFmpre0 = 0x200, kFmppe0 = 0x400;
constexpr TRegDef kSysCtlRegs[] = {
    {kDid0, 0, TRegKind::ReadOnly},
    {kDid1, 0, TRegKind::ReadOnly},
    {kDc0, 0, TRegKind::ReadOnly},
    {kDc1, 0, TRegKind::ReadOnly},
    {0x014, 0x030F5317, TRegKind::ReadOnly},        // DC2
    {0x018, 0x8F0F87FF, TRegKind::ReadOnly},        // DC3
    {0x01C, 0x5000007F, TRegKind::ReadOnly},        // DC4
    {0x030, 0x00007FFD, TRegKind::ReadWrite},       // PBORCTL
    {0x034, 0x00000000, TRegKind::ReadWrite},       // LDOPCTL
    {0x040, 0x00000000, TRegKind::ReadWrite},       // SRCR0
    {0x044, 0x00000000, TRegKind::ReadWrite},       // SRCR1
    {0x048, 0x00000000, TRegKind::ReadWrite},       // SRCR2
    {0x050, 0x00000000, TRegKind::ReadOnly},        // RIS
    {0x054, 0x00000000, TRegKind::ReadWrite},       // IMC
    {0x058, 0x00000000, TRegKind::WriteOneToClear}, // MISC
    {0x05C, 0x00000003, TRegKind::ReadWrite},       // RESC: power-on and external reset
    {0x060, 0x078E3AD1, TRegKind::ReadWrite},       // RCC
    {0x064, 0x00003AC0, TRegKind::ReadOnly},        // PLLCFG
    {0x070, 0x07802810, TRegKind::ReadWrite},       // RCC2
    {0x100, 0x00000040, TRegKind::ReadWrite},       // RCGC0
    {0x104, 0x00000000, TRegKind::ReadWrite},       // RCGC1
    {0x108, 0x00000000, TRegKind::ReadWrite},       // RCGC2
    {0x110, 0x00000040, TRegKind::ReadWrite},       // SCGC0
    {0x114, 0x00000000, TRegKind::ReadWrite},       // SCGC1
    {0x118, 0x00000000, TRegKind::ReadWrite},       // SCGC2
    {0x120, 0x00000040, TRegKind::ReadWrite},       // DCGC0
    {0x124, 0x00000000, TRegKind::ReadWrite},       // DCGC1
    {0x128, 0x00000000, TRegKind::ReadWrite},       // DCGC2
    {0x140, 0x00000031, TRegKind::ReadWrite},       // USECRL: 50 MHz flash clock
    {0x144, 0x07800000, TRegKind::ReadWrite},       // DSLPCLKCFG
    {0x1D0, 0xFFFFFFFE, TRegKind::ClearOnly},       // USER_DBG
    {0x1E0, 0xFFFFFFFF, TRegKind::ClearOnly},       // USER_REG0
    {0x1E4, 0xFFFFFFFF, TRegKind::ClearOnly},       // USER_REG1
    {kFmpre0 + 0x0, 0xFFFFFFFF, TRegKind::ClearOnly},
    {kFmpre0 + 0x4, 0xFFFFFFFF, TRegKind::ClearOnly},
    {kFmpre0 + 0x8, 0xFFFFFFFF, TRegKind::ClearOnly},
    {kFmpre0 + 0xC, 0xFFFFFFFF, TRegKind::ClearOnly},
    {kFmppe0 + 0x0, 0xFFFFFFFF, TRegKind::ClearOnly},
    {kFmppe0 + 0x4, 0xFFFFFFFF, TRegKind::ClearOnly},
    {kFmppe0 + 0x8, 0xFFFFFFFF, TRegKind::ClearOnly},
    {kFmppe0 + 0xC, 0xFFFFFFFF, TRegKind::ClearOnly},
};

const TRegDef* FindSysCtlReg(uint32_t AOffset) {
  for (const auto& r : kSysCtlRegs)
    if (r.Offset == AOffset)
      return &r;
  return nullptr;
}

// The older single protection registers are the first of the banks.
uint32_t SysCtlAlias(uint32_t AOffset) {
  if (AOffset == kFmpre)
    return kFmpre0;
  if (AOffset == kFmppe)
    return kFmppe0;
  return AOffset;
}

// Flash controller.
constexpr uint32_t kFma = 0x000, kFmd = 0x004, kFmc = 0x008, kFcris = 0x00C, kFcim = 0x010,
                   kFcmisc = 0x014;
constexpr uint32_t kFmcKey = 0xA442;
constexpr uint32_t FMC_WRITE = 1u << 0, FMC_ERASE = 1u << 1, FMC_MERASE = 1u << 2,
                   FMC_COMT = 1u << 3;
constexpr uint32_t FCRIS_ARIS = 1u << 0, FCRIS_PRIS = 1u << 1;
constexpr uint32_t kFlashPage = 1024, kProtectBlock = 2048;

// CoreSight identification of the PPB components (PID0..PID4, CID class).
struct TComponent {
  uint32_t Base;
  uint32_t Size;
  uint8_t Pid[5];
  uint8_t CidClass;
  uint8_t DevType;
};
constexpr TComponent kComponents[] = {
    {0xE0000000, 0x1000, {0x01, 0xB0, 0x3B, 0x00, 0x04}, 0xE, 0x00}, // ITM
    {0xE0001000, 0x1000, {0x02, 0xB0, 0x3B, 0x00, 0x04}, 0xE, 0x00}, // DWT
    {0xE0002000, 0x1000, {0x03, 0xB0, 0x2B, 0x00, 0x04}, 0xE, 0x00}, // FPB
    {0xE000E000, 0x1000, {0x00, 0xB0, 0x0B, 0x00, 0x04}, 0xE, 0x00}, // SCS
    {0xE0040000, 0x1000, {0x23, 0xB9, 0x0B, 0x00, 0x04}, 0x9, 0x11}, // TPIU
    {0xE00FF000, 0x1000, {0xC3, 0xB4, 0x0B, 0x00, 0x04}, 0x1, 0x00}, // ROM table
};
constexpr uint32_t kRomTableBase = 0xE00FF000;
// Entries point at SCS, DWT, FPB, ITM, TPIU; the ETM entry is marked absent.
constexpr uint32_t kRomTableEntries[] = {0xFFF0F003, 0xFFF02003, 0xFFF03003, 0xFFF01003,
                                         0xFFF41003, 0xFFF42002, 0x00000000};

const TComponent* FindComponent(uint32_t AAddress) {
  for (const auto& c : kComponents)
    if (AAddress >= c.Base && AAddress - c.Base < c.Size)
      return &c;
  return nullptr;
}

// ID registers in the last 48 bytes of every component.
bool ReadComponentId(const TComponent& AComponent, uint32_t AOffset, uint32_t& AValue) {
  if (AOffset >= 0xFD0 && AOffset <= 0xFDC) {
    AValue = AOffset == 0xFD0 ? AComponent.Pid[4] : 0;
    return true;
  }
  if (AOffset >= 0xFE0 && AOffset <= 0xFEC) {
    AValue = AComponent.Pid[(AOffset - 0xFE0) / 4];
    return true;
  }
  if (AOffset >= 0xFF0) {
    constexpr uint8_t cid[4] = {0x0D, 0x00, 0x05, 0xB1};
    const unsigned n = (AOffset - 0xFF0) / 4;
    AValue = n == 1 ? uint32_t(AComponent.CidClass) << 4 : cid[n];
    return true;
  }
  if (AOffset == 0xFCC) {
    // DEVTYPE for CoreSight components, MEMTYPE (system memory present) for the ROM table.
    AValue = AComponent.CidClass == 0x1 ? 1 : AComponent.DevType;
    return true;
  }
  return false;
}

} // namespace

TStellarisChip::TStellarisChip(const TSimConfig& AConfig, TSimFaults& AFaults,
                               TSimCounters& ACounters)
    : FConfig(AConfig), FFaults(AFaults), FCounters(ACounters), FCore(*this),
      FFlash(size_t(AConfig.FlashKb) * 1024, 0xFF), FSram(size_t(AConfig.SramKb) * 1024, 0) {
  PowerOnReset();
}

void TStellarisChip::PowerOnReset() {
  std::fill(FSram.begin(), FSram.end(), 0);
  FPpbStore.clear();
  FFpEnabled = false;
  for (auto& c : FFpComp)
    c = 0;
  FDhcsrCtrl = FDfsr = FDemcr = FDcrdr = FAircrPrigroup = 0;
  FHalted = FLockup = FSleeping = FInSrst = false;
  ResetSysCtl();
  ResetCore(true);
}

void TStellarisChip::ResetSysCtl() {
  FSysCtl.clear();
  for (const auto& r : kSysCtlRegs)
    FSysCtl[r.Offset] = r.Reset;
  FSysCtl[kDid0] = FConfig.Device->Did0;
  FSysCtl[kDid1] = FConfig.Device->Did1;
  // DC0: SRAM size in 256-byte units and flash size in 2 KB units, minus one.
  FSysCtl[kDc0] = (((FConfig.SramKb * 4) - 1) << 16) | ((FConfig.FlashKb / 2) - 1);
  FSysCtl[kDc1] = FConfig.Device->Dc1;
  FFma = FFmd = FFcris = FFcim = 0;
}

// ---- bus ----

bool TStellarisChip::DebugRead(uint32_t AAddress, unsigned ASize, uint32_t& AValue) {
  return Access(TMaster::Debugger, false, AAddress, ASize, AValue);
}

bool TStellarisChip::DebugWrite(uint32_t AAddress, unsigned ASize, uint32_t AValue) {
  return Access(TMaster::Debugger, true, AAddress, ASize, AValue);
}

bool TStellarisChip::Read(uint32_t AAddress, unsigned ASize, uint32_t& AValue) {
  return Access(TMaster::Core, false, AAddress, ASize, AValue);
}

bool TStellarisChip::Write(uint32_t AAddress, unsigned ASize, uint32_t AValue) {
  return Access(TMaster::Core, true, AAddress, ASize, AValue);
}

bool TStellarisChip::Access(TMaster, bool AWrite, uint32_t AAddress, unsigned ASize,
                            uint32_t& AValue) {
  bool ok = false;
  const bool sizeOk = (ASize == 1 || ASize == 2 || ASize == 4) && (AAddress & (ASize - 1)) == 0;
  if (!sizeOk) {
    ok = false;
  } else if (FFaults.BusErrorEnabled && (AAddress & ~3u) == (FFaults.BusErrorAddress & ~3u)) {
    ok = false;
  } else if (AAddress < FFlash.size()) {
    // Flash changes only through the flash controller.
    ok = !AWrite && AccessMemory(FFlash, AAddress, false, ASize, AValue);
  } else if (AAddress >= kSramBase && AAddress - kSramBase < FSram.size()) {
    ok = AccessMemory(FSram, AAddress - kSramBase, AWrite, ASize, AValue);
  } else {
    // Registers are words; narrower accesses take their lanes.
    const uint32_t word = AAddress & ~3u;
    const unsigned shift = (AAddress & 3) * 8;
    const uint32_t mask = ASize == 4 ? 0xFFFFFFFF : ((1u << (ASize * 8)) - 1) << shift;
    uint32_t current = 0;
    if (!AWrite) {
      ok = ReadRegister(word, current, false);
      if (ok)
        AValue = (current & mask) >> shift;
    } else if (ASize == 4) {
      ok = WriteRegister(word, AValue);
    } else {
      ok = ReadRegister(word, current, true) &&
           WriteRegister(word, (current & ~mask) | ((AValue << shift) & mask));
    }
  }
  if (!ok && !AWrite)
    AValue = 0;
  if (FTrace)
    FTrace(AWrite, AAddress, ASize, AValue, ok);
  return ok;
}

bool TStellarisChip::AccessMemory(std::vector<uint8_t>& AMemory, uint32_t AOffset, bool AWrite,
                                  unsigned ASize, uint32_t& AValue) {
  if (AWrite) {
    for (unsigned i = 0; i < ASize; ++i)
      AMemory[AOffset + i] = uint8_t(AValue >> (8 * i));
  } else {
    uint32_t v = 0;
    for (unsigned i = 0; i < ASize; ++i)
      v |= uint32_t(AMemory[AOffset + i]) << (8 * i);
    AValue = v;
  }
  return true;
}

bool TStellarisChip::ReadRegister(uint32_t AAddress, uint32_t& AValue, bool APeek) {
  if (AAddress - kSysCtlBase < 0x1000)
    return ReadSysCtl(AAddress - kSysCtlBase, AValue);
  if (AAddress - kFlashCtlBase < 0x1000)
    return ReadFlashCtl(AAddress - kFlashCtlBase, AValue);
  if (AAddress >= kPpbBase && AAddress < kPpbEnd)
    return ReadPpb(AAddress, AValue, APeek);
  return false;
}

bool TStellarisChip::WriteRegister(uint32_t AAddress, uint32_t AValue) {
  if (AAddress - kSysCtlBase < 0x1000)
    return WriteSysCtl(AAddress - kSysCtlBase, AValue);
  if (AAddress - kFlashCtlBase < 0x1000)
    return WriteFlashCtl(AAddress - kFlashCtlBase, AValue);
  if (AAddress >= kPpbBase && AAddress < kPpbEnd)
    return WritePpb(AAddress, AValue);
  return false;
}

// ---- system control ----

bool TStellarisChip::ReadSysCtl(uint32_t AOffset, uint32_t& AValue) {
  const uint32_t offset = SysCtlAlias(AOffset);
  if (!FindSysCtlReg(offset))
    return false;
  AValue = FSysCtl[offset];
  return true;
}

bool TStellarisChip::WriteSysCtl(uint32_t AOffset, uint32_t AValue) {
  const uint32_t offset = SysCtlAlias(AOffset);
  const TRegDef* r = FindSysCtlReg(offset);
  if (!r)
    return false;
  uint32_t& v = FSysCtl[offset];
  switch (r->Kind) {
  case TRegKind::ReadOnly:
    break;
  case TRegKind::ReadWrite:
    v = AValue;
    break;
  case TRegKind::WriteOneToClear:
    v &= ~AValue;
    break;
  case TRegKind::ClearOnly:
    v &= AValue;
    break;
  }
  return true;
}

// ---- flash controller ----

bool TStellarisChip::ReadFlashCtl(uint32_t AOffset, uint32_t& AValue) {
  switch (AOffset) {
  case kFma:
    AValue = FFma;
    return true;
  case kFmd:
    AValue = FFmd;
    return true;
  case kFmc:
    // Commands complete at once: the bits read back clear, unless the
    // controller is made to hang.
    AValue = FFaults.FlashStuckBusy ? (FMC_WRITE | FMC_ERASE | FMC_MERASE | FMC_COMT) : 0;
    return true;
  case kFcris:
    AValue = FFcris;
    return true;
  case kFcim:
    AValue = FFcim;
    return true;
  case kFcmisc:
    AValue = FFcris & FFcim;
    return true;
  default:
    return false;
  }
}

bool TStellarisChip::WriteFlashCtl(uint32_t AOffset, uint32_t AValue) {
  switch (AOffset) {
  case kFma:
    FFma = AValue & 0x0007FFFF;
    return true;
  case kFmd:
    FFmd = AValue;
    return true;
  case kFmc:
    FlashCommand(AValue);
    return true;
  case kFcris:
    return true;
  case kFcim:
    FFcim = AValue & (FCRIS_ARIS | FCRIS_PRIS);
    return true;
  case kFcmisc:
    FFcris &= ~(AValue & (FCRIS_ARIS | FCRIS_PRIS));
    return true;
  default:
    return false;
  }
}

bool TStellarisChip::FlashWordWritable(uint32_t AAddress) const {
  if (AAddress >= FFlash.size())
    return false;
  const uint32_t block = AAddress / kProtectBlock;
  const auto it = FSysCtl.find(kFmppe0 + 4 * (block / 32));
  if (block / 32 >= 4 || it == FSysCtl.end())
    return true; // beyond the protection banks
  const uint32_t fmppe = it->second;
  return (fmppe >> (block % 32)) & 1;
}

void TStellarisChip::FlashCommand(uint32_t AFmc) {
  if ((AFmc >> 16) != kFmcKey)
    return;
  if (AFmc & FMC_WRITE) {
    const uint32_t address = FFma & ~3u;
    if (!FlashWordWritable(address)) {
      FFcris |= FCRIS_ARIS;
      return;
    }
    // Programming can only clear bits.
    for (unsigned i = 0; i < 4; ++i)
      FFlash[address + i] &= uint8_t(FFmd >> (8 * i));
    ++FCounters.FlashWordPrograms;
    FCounters.FlashBusyNs += kFlashWordProgramNs;
    FFcris |= FCRIS_PRIS;
  } else if (AFmc & FMC_ERASE) {
    const uint32_t page = FFma & ~(kFlashPage - 1);
    if (!FlashWordWritable(page)) {
      FFcris |= FCRIS_ARIS;
      return;
    }
    std::fill(FFlash.begin() + page, FFlash.begin() + page + kFlashPage, 0xFF);
    ++FCounters.FlashPageErases;
    FCounters.FlashBusyNs += kFlashPageEraseNs;
    FFcris |= FCRIS_PRIS;
  } else if (AFmc & FMC_MERASE) {
    for (uint32_t a = 0; a < FFlash.size(); a += kProtectBlock)
      if (!FlashWordWritable(a)) {
        FFcris |= FCRIS_ARIS;
        return;
      }
    std::fill(FFlash.begin(), FFlash.end(), 0xFF);
    ++FCounters.FlashMassErases;
    FCounters.FlashBusyNs += kFlashMassEraseNs;
    FFcris |= FCRIS_PRIS;
  } else if (AFmc & FMC_COMT) {
    // The protection registers already hold their values; committing them
    // only takes a word-program's time.
    FCounters.FlashBusyNs += kFlashWordProgramNs;
    FFcris |= FCRIS_PRIS;
  }
}

// ---- private peripheral bus ----

bool TStellarisChip::ReadPpb(uint32_t AAddress, uint32_t& AValue, bool APeek) {
  const TComponent* c = FindComponent(AAddress);
  if (!c)
    return false;
  const uint32_t offset = AAddress - c->Base;
  if (ReadComponentId(*c, offset, AValue))
    return true;
  if (c->Base == kRomTableBase) {
    const unsigned n = offset / 4;
    AValue = n < std::size(kRomTableEntries) ? kRomTableEntries[n] : 0;
    return true;
  }
  switch (AAddress) {
  case 0xE000ED00:
    AValue = kCpuid;
    return true;
  case 0xE000E004:
    AValue = 1;
    return true; // ICTR: up to 64 interrupt lines
  case kAircr:
    AValue = 0xFA050000 | (FAircrPrigroup << 8);
    return true;
  case kDfsr:
    AValue = FDfsr;
    return true;
  case kDhcsr:
    AValue = ReadDhcsr(APeek);
    return true;
  case kDcrsr:
    AValue = 0;
    return true;
  case kDcrdr:
    AValue = FDcrdr;
    return true;
  case kDemcr:
    AValue = FDemcr;
    return true;
  case kFpCtrl:
    AValue = kFpCtrlFixed | (FFpEnabled ? 1 : 0);
    return true;
  case kDwtCtrl: {
    auto it = FPpbStore.find(AAddress);
    AValue = kDwtCtrlFixed | (it == FPpbStore.end() ? 0 : it->second & 0x0FFFFFFF);
    return true;
  }
  default:
    break;
  }
  if (AAddress >= kFpComp0 && AAddress < kFpComp0 + 4 * std::size(FFpComp)) {
    AValue = FFpComp[(AAddress - kFpComp0) / 4];
    return true;
  }
  auto it = FPpbStore.find(AAddress);
  AValue = it == FPpbStore.end() ? 0 : it->second;
  return true;
}

bool TStellarisChip::WritePpb(uint32_t AAddress, uint32_t AValue) {
  const TComponent* c = FindComponent(AAddress);
  if (!c)
    return false;
  const uint32_t offset = AAddress - c->Base;
  if (offset >= 0xFCC || c->Base == kRomTableBase)
    return true; // read-only identification
  switch (AAddress) {
  case 0xE000ED00:
  case 0xE000E004:
    return true;
  case kAircr:
    WriteAircr(AValue);
    return true;
  case kDfsr:
    FDfsr &= ~AValue;
    return true;
  case kDhcsr:
    WriteDhcsr(AValue);
    return true;
  case kDcrsr:
    WriteDcrsr(AValue);
    return true;
  case kDcrdr:
    FDcrdr = AValue;
    return true;
  case kDemcr:
    FDemcr = AValue & 0x010F07F1;
    return true;
  case kFpCtrl:
    if (AValue & 2)
      FFpEnabled = AValue & 1; // writes without KEY are ignored
    return true;
  default:
    break;
  }
  if (AAddress >= kFpComp0 && AAddress < kFpComp0 + 4 * std::size(FFpComp)) {
    FFpComp[(AAddress - kFpComp0) / 4] = AValue & 0xDFFFFFFD;
    return true;
  }
  if (AAddress == 0xE000ED28 || AAddress == 0xE000ED2C) {
    FPpbStore[AAddress] &= ~AValue; // CFSR, HFSR: write one to clear
    return true;
  }
  FPpbStore[AAddress] = AValue;
  return true;
}

// ---- run control ----

uint32_t TStellarisChip::ReadDhcsr(bool APeek) {
  if (FTransferPending && !APeek) {
    if (!FHalted)
      FTransferPending = false;
    else if (FReadyCountdown == 0) {
      FTransferPending = false;
      TransferCoreRegister(FPendingDcrsr);
    } else if (FReadyCountdown != UINT_MAX)
      --FReadyCountdown;
  }
  uint32_t v = FDhcsrCtrl;
  if (FHalted && FRegRdy)
    v |= S_REGRDY;
  if (FHalted && !FFaults.NeverShowHalted)
    v |= S_HALT;
  if (FSleeping)
    v |= S_SLEEP;
  if (FLockup)
    v |= S_LOCKUP;
  if (FRetireSt)
    v |= S_RETIRE_ST;
  if (FResetSt || FInSrst)
    v |= S_RESET_ST;
  if (!APeek)
    FResetSt = FRetireSt = false;
  return v;
}

void TStellarisChip::WriteDhcsr(uint32_t AValue) {
  if ((AValue >> 16) != 0xA05F)
    return;
  uint32_t ctrl = AValue & (C_DEBUGEN | C_HALT | C_STEP | C_MASKINTS | C_SNAPSTALL);
  // Without C_DEBUGEN halting debug is off and the other control bits mean nothing.
  if (!(ctrl & C_DEBUGEN))
    ctrl = 0;
  FDhcsrCtrl = ctrl;
  if (ctrl & C_HALT) {
    if (!FHalted)
      Halt(DFSR_HALTED);
    return;
  }
  if (!FHalted)
    return;
  FHalted = false;
  FRegRdy = false;
  FTransferPending = false;
  if (ctrl & C_STEP) {
    if (StepOnce(true))
      Halt(DFSR_HALTED);
  }
}

void TStellarisChip::Halt(uint32_t AReason) {
  FHalted = true;
  FLockup = FSleeping = false;
  FRegRdy = true;
  FDhcsrCtrl |= C_HALT;
  FDfsr |= AReason;
}

void TStellarisChip::WriteDcrsr(uint32_t AValue) {
  // The transfer only happens in debug state; S_REGRDY goes high again at
  // once, or after the reads the RegisterReadyLate fault holds it back for.
  if (!FHalted)
    return;
  if (FFaults.RegisterReadyLate > 0) {
    FTransferPending = true;
    FPendingDcrsr = AValue;
    FReadyCountdown = FFaults.RegisterReadyLate;
    FRegRdy = false;
    return;
  }
  TransferCoreRegister(AValue);
}

void TStellarisChip::TransferCoreRegister(uint32_t AValue) {
  const unsigned selector = AValue & 0x7F;
  const bool valid = selector <= 18 || selector == 20;
  if (AValue & 0x10000) {
    if (valid)
      FCore.WriteRegister(selector, FDcrdr);
  } else if (valid) {
    FDcrdr = FCore.ReadRegister(selector);
  }
  FRegRdy = true;
}

void TStellarisChip::WriteAircr(uint32_t AValue) {
  if ((AValue >> 16) != 0x05FA)
    return;
  FAircrPrigroup = (AValue >> 8) & 7;
  if (AValue & 4)
    ResetCore(true); // SYSRESETREQ
  else if (AValue & 1)
    ResetCore(false); // VECTRESET
}

void TStellarisChip::ResetCore(bool ASystem) {
  if (ASystem)
    ResetSysCtl();
  FResetSt = true;
  FSleeping = false;
  FLockup = !FCore.Reset();
  // The debug registers survive a reset; a vector catch halts at the first
  // instruction, otherwise the core runs.
  if ((FDhcsrCtrl & C_DEBUGEN) && (FDemcr & VC_CORERESET)) {
    Halt(DFSR_VCATCH);
  } else {
    FHalted = false;
    FDhcsrCtrl &= ~C_HALT;
  }
}

void TStellarisChip::SetSrst(bool AAsserted) {
  if (AAsserted == FInSrst)
    return;
  FInSrst = AAsserted;
  if (!AAsserted)
    ResetCore(true);
}

bool TStellarisChip::FpbMatches(uint32_t APc) const {
  if (!FFpEnabled || APc >= 0x20000000)
    return false;
  for (unsigned i = 0; i < kFpCodeComparators; ++i) {
    const uint32_t comp = FFpComp[i];
    if (!(comp & 1) || (comp & 0x1FFFFFFC) != (APc & 0x1FFFFFFC))
      continue;
    const unsigned replace = comp >> 30;
    if (replace == 3 || (replace == 1 && !(APc & 2)) || (replace == 2 && (APc & 2)))
      return true;
  }
  return false;
}

void TStellarisChip::EnterFault(bool) {
  // Without exception entry in the core a fault escalates to lockup unless
  // the debugger catches it.
  if ((FDhcsrCtrl & C_DEBUGEN) && (FDemcr & VC_HARDERR))
    Halt(DFSR_VCATCH);
  else
    FLockup = true;
}

bool TStellarisChip::StepOnce(bool AStepping) {
  const bool debug = FDhcsrCtrl & C_DEBUGEN;
  if (FpbMatches(FCore.GetPC())) {
    if (debug)
      Halt(DFSR_BKPT);
    else
      EnterFault(AStepping);
    return false;
  }
  switch (FCore.Step()) {
  case TThumbCore::TStepResult::Executed:
    ++FCounters.Instructions;
    FRetireSt = true;
    return true;
  case TThumbCore::TStepResult::Breakpoint:
    if (debug)
      Halt(DFSR_BKPT);
    else
      EnterFault(AStepping);
    return false;
  case TThumbCore::TStepResult::Fault:
    EnterFault(AStepping);
    return false;
  case TThumbCore::TStepResult::WaitForInterrupt:
    ++FCounters.Instructions;
    FRetireSt = true;
    // No interrupt ever comes: a running core sleeps, a stepped one halts.
    if (!AStepping)
      FSleeping = true;
    return AStepping;
  }
  return false;
}

void TStellarisChip::RunSlice() {
  for (unsigned i = 0; i < FConfig.StepsPerAccess; ++i) {
    if (FHalted || FLockup || FSleeping || FInSrst)
      return;
    if (!StepOnce(false))
      return;
  }
}
