#include "debug-port.h"

#include "stellaris-chip.h"

namespace {

constexpr uint32_t kCtrlStatWritable = 0x00FFFF0D | (1u << 26) | (1u << 28) | (1u << 30);
constexpr uint32_t kSticky =
    TArmDebugPort::STICKYORUN | TArmDebugPort::STICKYCMP | TArmDebugPort::STICKYERR;

// AHB-AP registers.
constexpr uint32_t kCsw = 0x00, kTar = 0x04, kDrw = 0x0C, kBd0 = 0x10, kBd3 = 0x1C, kCfg = 0xF4,
                   kBase = 0xF8, kIdr = 0xFC;
// CSW: Size, AddrInc and the protection/master bits keep what was written;
// DeviceEn always reads 1. Packed increment is not implemented and reads
// back as no increment.
constexpr uint32_t kCswWritable = 0xFF000037, kCswDeviceEn = 1u << 6;

} // namespace

TArmDebugPort::TArmDebugPort(TStellarisChip& AChip, const TSimConfig& AConfig, TSimFaults& AFaults,
                             TSimCounters& ACounters)
    : TTap(4, IR_IDCODE, kIdcode), FChip(AChip), FConfig(AConfig), FFaults(AFaults),
      FCounters(ACounters) {}

uint32_t TArmDebugPort::CtrlStat() const {
  uint32_t v = FCtrlStat;
  if (!FFaults.NoPowerAck) {
    if (v & CDBGPWRUPREQ)
      v |= CDBGPWRUPACK;
    if (v & CSYSPWRUPREQ)
      v |= CSYSPWRUPACK;
  }
  if (v & CDBGRSTREQ)
    v |= CDBGRSTACK;
  return v;
}

unsigned TArmDebugPort::DataLength(uint32_t AInstruction) const {
  switch (AInstruction) {
  case IR_ABORT:
  case IR_DPACC:
  case IR_APACC:
    return 35;
  case IR_IDCODE:
    return 32;
  default:
    return 1;
  }
}

uint64_t TArmDebugPort::CaptureData(uint32_t AInstruction) {
  FWaitCaptured = false;
  switch (AInstruction) {
  case IR_DPACC:
  case IR_APACC: {
    uint32_t ack = kAckOkFault;
    if (FFaults.WaitAccesses > 0) {
      --FFaults.WaitAccesses;
      FWaitCaptured = true;
      ++FCounters.WaitResponses;
      ack = kAckWait;
      if (FCtrlStat & ORUNDETECT)
        FCtrlStat |= STICKYORUN;
    }
    return (uint64_t(FReadResult) << 3) | ack;
  }
  case IR_ABORT:
    return 0;
  case IR_IDCODE:
    return kIdcode;
  default:
    return 0;
  }
}

void TArmDebugPort::UpdateData(uint32_t AInstruction, uint64_t AValue) {
  const bool read = AValue & 1;
  const unsigned address = static_cast<unsigned>((AValue >> 1) & 3) << 2;
  const uint32_t data = static_cast<uint32_t>(AValue >> 3);
  switch (AInstruction) {
  case IR_ABORT:
    // DAPABORT gives up the stalled transaction.
    if (data & 1)
      FFaults.WaitAccesses = 0;
    return;
  case IR_DPACC:
  case IR_APACC:
    if (FWaitCaptured)
      return;
    ++FCounters.DapTransactions;
    if (AInstruction == IR_DPACC)
      DpAccess(address, read, data);
    else
      ApAccess(address, read, data);
    // A running core gets its slice of time with every transaction.
    FChip.RunSlice();
    return;
  default:
    return;
  }
}

void TArmDebugPort::DpAccess(unsigned AAddress, bool ARead, uint32_t AValue) {
  switch (AAddress) {
  case 0x0: // reserved on the JTAG-DP: reads 0, writes ignored
    if (ARead)
      FReadResult = 0;
    break;
  case 0x4:
    if (ARead) {
      FReadResult = CtrlStat();
    } else {
      // Sticky flags are cleared by writing ones.
      FCtrlStat = (FCtrlStat & kSticky & ~AValue) | (AValue & kCtrlStatWritable);
    }
    break;
  case 0x8:
    if (ARead)
      FReadResult = FSelect;
    else
      FSelect = AValue & 0xFF0000FF;
    break;
  case 0xC:
    // RDBUFF: the last result once more, without side effects.
    break;
  }
}

void TArmDebugPort::ApAccess(unsigned AAddress, bool ARead, uint32_t AValue) {
  // While a sticky flag is set every AP transaction is discarded.
  if (FCtrlStat & kSticky)
    return;
  if (!(CtrlStat() & CDBGPWRUPACK)) {
    FCtrlStat |= STICKYERR;
    return;
  }
  const uint32_t address = (FSelect & 0xF0) | AAddress;
  if ((FSelect >> 24) != 0) {
    // No access port but the AHB-AP: reads as zero.
    if (ARead)
      FReadResult = 0;
    return;
  }
  if (ARead) {
    FCtrlStat &= ~READOK;
    FReadResult = ReadAp(address);
    if (!(FCtrlStat & STICKYERR))
      FCtrlStat |= READOK;
  } else {
    WriteAp(address, AValue);
  }
}

unsigned TArmDebugPort::CswSize() const {
  switch (FCsw & 7) {
  case 0:
    return 1;
  case 1:
    return 2;
  case 2:
    return 4;
  default:
    return 0;
  }
}

void TArmDebugPort::IncrementTar(unsigned ASize) {
  if (((FCsw >> 4) & 3) != 1)
    return;
  const uint32_t block = FConfig.TarWrapBytes;
  FTar = (FTar & ~(block - 1)) | ((FTar + ASize) & (block - 1));
}

bool TArmDebugPort::MemoryRead(uint32_t AAddress, unsigned ASize, uint32_t& AValue) {
  if (ASize == 0 || !FChip.DebugRead(AAddress, ASize, AValue)) {
    FCtrlStat |= STICKYERR;
    AValue = 0;
    return false;
  }
  return true;
}

bool TArmDebugPort::MemoryWrite(uint32_t AAddress, unsigned ASize, uint32_t AValue) {
  if (ASize == 0 || !FChip.DebugWrite(AAddress, ASize, AValue)) {
    FCtrlStat |= STICKYERR;
    return false;
  }
  return true;
}

uint32_t TArmDebugPort::ReadAp(uint32_t AAddress) {
  switch (AAddress) {
  case kCsw:
    return FCsw | kCswDeviceEn;
  case kTar:
    return FTar;
  case kDrw: {
    // The value comes back on its byte lanes of the 32-bit data bus.
    const unsigned size = CswSize();
    const uint32_t address = size ? FTar & ~(size - 1) : FTar;
    uint32_t value = 0;
    MemoryRead(address, size, value);
    IncrementTar(size);
    return value << (8 * (address & 3));
  }
  case kCfg:
    return 0;
  case kBase:
    return kApBase;
  case kIdr:
    return kApIdr;
  default:
    if (AAddress >= kBd0 && AAddress <= kBd3) {
      uint32_t value = 0;
      MemoryRead((FTar & ~0xFu) | (AAddress - kBd0), 4, value);
      return value;
    }
    return 0;
  }
}

void TArmDebugPort::WriteAp(uint32_t AAddress, uint32_t AValue) {
  switch (AAddress) {
  case kCsw:
    FCsw = AValue & kCswWritable;
    if (((FCsw >> 4) & 3) == 2)
      FCsw &= ~0x30u;
    return;
  case kTar:
    FTar = AValue;
    return;
  case kDrw: {
    const unsigned size = CswSize();
    const uint32_t address = size ? FTar & ~(size - 1) : FTar;
    MemoryWrite(address, size, AValue >> (8 * (address & 3)));
    IncrementTar(size);
    return;
  }
  default:
    if (AAddress >= kBd0 && AAddress <= kBd3)
      MemoryWrite((FTar & ~0xFu) | (AAddress - kBd0), 4, AValue);
    return;
  }
}
