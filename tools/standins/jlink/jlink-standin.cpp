// The stand-in for the J-Link probe library: one probe, always present,
// wired to a simulated Stellaris chip of its own. The library's functions
// reach the chip the way a probe's firmware does, through the debug
// port's view of the bus (halting control, core register selector and
// data registers, flash patch comparators); chain identification comes
// from JTAG scans of the simulated chain.
//
// Besides the library's functions it exports controls for tests (the
// JLinkStandIn_ functions): a log of every library call, the supply
// voltage, the probe count, a function that raises a structured exception
// when called, and a look at the chip behind the probe.

#include "jlink-api.h"
#include "scan-target.h"
#include "stellaris-sim.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr uint32_t DHCSR = 0xE000EDF0, DCRSR = 0xE000EDF4, DCRDR = 0xE000EDF8, DEMCR = 0xE000EDFC,
                   AIRCR = 0xE000ED0C, FP_CTRL = 0xE0002000, FP_COMP0 = 0xE0002008,
                   DWT_CTRL = 0xE0001000;
constexpr uint32_t kDhcsrHalt = 0xA05F0003, kDhcsrStep = 0xA05F000D, kDhcsrRun = 0xA05F0001;
constexpr uint32_t kDemcrReset = 0x01000501, kAircrReset = 0x05FA0001;
constexpr uint32_t S_REGRDY = 1u << 16, S_HALT = 1u << 17;
// Bounds of the probe's own waits: status reads, and slices of a running
// core per IsHalted (the probe's time between two questions).
constexpr int kStatusPolls = 64;
constexpr int kSlicesPerPoll = 16;
constexpr size_t kLogLimit = 8192;
constexpr DWORD kRaisedCode = 0xE0A7B2C3;
constexpr uint16_t kThumbBkpt = 0xBE00;

struct TBreakpoint {
  uint32_t Address = 0;
  bool Hardware = false;
  int Comparator = -1;   // the flash patch comparator of a hardware unit
  uint16_t Replaced = 0; // the halfword a software breakpoint replaced
};

struct TProbe {
  std::unique_ptr<TStellarisSim> Sim = std::make_unique<TStellarisSim>();
  bool Open = false;
  int ProbeCount = 1;
  int TargetMillivolts = 3300;
  int ChainDevices = -1; // -1: as many as the chain has
  uint32_t Core = kJlinkCoreCortexM3;
  std::string Raising;
  std::deque<std::string> Log;
  std::map<int, TBreakpoint> Breakpoints;
  int NextHandle = 1;
};

TProbe& Probe() {
  static TProbe probe;
  return probe;
}

TStellarisChip& Chip() {
  return Probe().Sim->Chip();
}

// Logs a call and raises inside it when a test asked for that.
void Enter(const char* AName, const char* AFormat = "", ...) {
  char arguments[160] = "";
  va_list list;
  va_start(list, AFormat);
  vsnprintf(arguments, sizeof(arguments), AFormat, list);
  va_end(list);
  TProbe& probe = Probe();
  probe.Log.push_back(std::string(AName) + "(" + arguments + ")");
  if (probe.Log.size() > kLogLimit)
    probe.Log.pop_front();
  if (!probe.Raising.empty() && probe.Raising == AName)
    RaiseException(kRaisedCode, 0, 0, nullptr);
}

// Time passes for a running core while the probe talks to the chip.
void Tick() {
  Chip().RunSlice();
}

bool Read(uint32_t AAddress, unsigned ASize, uint32_t& AValue) {
  Tick();
  return Chip().DebugRead(AAddress, ASize, AValue);
}
bool Write(uint32_t AAddress, unsigned ASize, uint32_t AValue) {
  Tick();
  return Chip().DebugWrite(AAddress, ASize, AValue);
}

// A unit at any address: naturally aligned units go whole, others by bytes.
bool ReadUnit(uint32_t AAddress, unsigned ASize, uint32_t& AValue) {
  if (AAddress % ASize == 0)
    return Read(AAddress, ASize, AValue);
  AValue = 0;
  for (unsigned i = 0; i < ASize; ++i) {
    uint32_t byte = 0;
    if (!Read(AAddress + i, 1, byte))
      return false;
    AValue |= (byte & 0xFF) << (8 * i);
  }
  return true;
}
bool WriteUnit(uint32_t AAddress, unsigned ASize, uint32_t AValue) {
  if (AAddress % ASize == 0)
    return Write(AAddress, ASize, AValue);
  for (unsigned i = 0; i < ASize; ++i)
    if (!Write(AAddress + i, 1, (AValue >> (8 * i)) & 0xFF))
      return false;
  return true;
}

bool ReadBlock(uint32_t AAddress, uint32_t ACount, uint8_t* AData) {
  uint32_t i = 0;
  while (i < ACount) {
    const uint32_t address = AAddress + i;
    uint32_t value = 0;
    if (address % 4 == 0 && ACount - i >= 4) {
      if (!Read(address, 4, value))
        return false;
      for (unsigned k = 0; k < 4; ++k)
        AData[i + k] = uint8_t(value >> (8 * k));
      i += 4;
    } else {
      if (!Read(address, 1, value))
        return false;
      AData[i++] = uint8_t(value);
    }
  }
  return true;
}
bool WriteBlock(uint32_t AAddress, uint32_t ACount, const uint8_t* AData) {
  uint32_t i = 0;
  while (i < ACount) {
    const uint32_t address = AAddress + i;
    if (address % 4 == 0 && ACount - i >= 4) {
      const uint32_t value =
          AData[i] | AData[i + 1] << 8 | AData[i + 2] << 16 | uint32_t(AData[i + 3]) << 24;
      if (!Write(address, 4, value))
        return false;
      i += 4;
    } else {
      if (!Write(address, 1, AData[i]))
        return false;
      ++i;
    }
  }
  return true;
}

bool Halted() {
  uint32_t dhcsr = 0;
  return Read(DHCSR, 4, dhcsr) && (dhcsr & S_HALT);
}

bool WaitHalted() {
  for (int i = 0; i < kStatusPolls; ++i)
    if (Halted())
      return true;
  return false;
}

// A core register by the core's selector, through DCRSR and DCRDR.
bool RegisterReady() {
  for (int i = 0; i < kStatusPolls; ++i) {
    uint32_t dhcsr = 0;
    if (!Read(DHCSR, 4, dhcsr))
      return false;
    if (dhcsr & S_REGRDY)
      return true;
  }
  return false;
}
bool ReadCore(uint32_t ASelector, uint32_t& AValue) {
  return Write(DCRSR, 4, ASelector) && RegisterReady() && Read(DCRDR, 4, AValue);
}
bool WriteCore(uint32_t ASelector, uint32_t AValue) {
  return Write(DCRDR, 4, AValue) && Write(DCRSR, 4, ASelector | 0x10000) && RegisterReady();
}

// The library's register numbers: the whole words by their selector, the
// fields of xPSR and of the special-register word by mask and shift.
struct TRegisterRow {
  int Number;
  uint32_t Selector;
  uint32_t Mask;
  unsigned Shift;
};
constexpr TRegisterRow kRegisters[] = {
    {16, 16, 0xFFFFFFFF, 0},  {17, 17, 0xFFFFFFFF, 0},  {18, 18, 0xFFFFFFFF, 0},
    {20, 20, 0xFFFFFFFF, 0},  {21, 16, 0xF80F0000, 0},  {22, 16, 0x0700FC00, 0},
    {23, 16, 0x000001FF, 0},  {24, 20, 0x00000001, 0},  {25, 20, 0x0000FF00, 8},
    {26, 20, 0x00010000, 16}, {27, 20, 0x03000000, 24},
};

const TRegisterRow* RegisterRow(int ANumber) {
  static TRegisterRow core;
  if (ANumber >= 0 && ANumber <= 15) {
    core = {ANumber, uint32_t(ANumber), 0xFFFFFFFF, 0};
    return &core;
  }
  for (const TRegisterRow& row : kRegisters)
    if (row.Number == ANumber)
      return &row;
  return nullptr;
}

int CodeComparators() {
  uint32_t fpCtrl = 0;
  if (!Read(FP_CTRL, 4, fpCtrl))
    return 0;
  return int(((fpCtrl >> 8) & 0x70) | ((fpCtrl >> 4) & 0xF));
}

uint32_t ComparatorValue(uint32_t AAddress) {
  return (AAddress & 0x1FFFFFFC) | ((AAddress & 2) ? 0x80000000u : 0x40000000u) | 1u;
}

int FreeComparator() {
  const int count = CodeComparators();
  for (int n = 0; n < count; ++n) {
    bool used = false;
    for (const auto& entry : Probe().Breakpoints)
      used = used || entry.second.Comparator == n;
    if (!used)
      return n;
  }
  return -1;
}

int SetBreakpoint(uint32_t AAddress, bool AHardware) {
  TBreakpoint breakpoint;
  breakpoint.Address = AAddress & ~1u;
  uint32_t replaced = 0;
  // Software breakpoints go into RAM; code the bus cannot write (flash)
  // takes a comparator instead, as the probe does.
  if (!AHardware && Read(breakpoint.Address, 2, replaced) &&
      Write(breakpoint.Address, 2, kThumbBkpt)) {
    uint32_t check = 0;
    if (Read(breakpoint.Address, 2, check) && check == kThumbBkpt) {
      breakpoint.Replaced = uint16_t(replaced);
      const int handle = Probe().NextHandle++;
      Probe().Breakpoints[handle] = breakpoint;
      return handle;
    }
  }
  const int comparator = FreeComparator();
  if (comparator < 0)
    return 0;
  if (!Write(FP_CTRL, 4, 3) ||
      !Write(FP_COMP0 + 4 * uint32_t(comparator), 4, ComparatorValue(breakpoint.Address)))
    return 0;
  breakpoint.Hardware = true;
  breakpoint.Comparator = comparator;
  const int handle = Probe().NextHandle++;
  Probe().Breakpoints[handle] = breakpoint;
  return handle;
}

bool ClearBreakpoint(int AHandle) {
  auto found = Probe().Breakpoints.find(AHandle);
  if (found == Probe().Breakpoints.end())
    return false;
  const TBreakpoint breakpoint = found->second;
  Probe().Breakpoints.erase(found);
  if (breakpoint.Hardware)
    return Write(FP_COMP0 + 4 * uint32_t(breakpoint.Comparator), 4, 0);
  return Write(breakpoint.Address, 2, breakpoint.Replaced);
}

// A core halted on a breakpoint of the probe's leaves it with one step
// taken with the breakpoint out of the way, as the probe does.
void StepOffBreakpoint() {
  uint32_t pc = 0;
  if (!Halted() || !ReadCore(15, pc))
    return;
  for (auto& entry : Probe().Breakpoints) {
    TBreakpoint& breakpoint = entry.second;
    if (breakpoint.Address != (pc & ~1u))
      continue;
    if (breakpoint.Hardware)
      Write(FP_COMP0 + 4 * uint32_t(breakpoint.Comparator), 4, 0);
    else
      Write(breakpoint.Address, 2, breakpoint.Replaced);
    Write(DHCSR, 4, kDhcsrStep);
    WaitHalted();
    if (breakpoint.Hardware)
      Write(FP_COMP0 + 4 * uint32_t(breakpoint.Comparator), 4, ComparatorValue(breakpoint.Address));
    else
      Write(breakpoint.Address, 2, kThumbBkpt);
    return;
  }
}

uint32_t IdCode(unsigned APosition) {
  TSimScanTarget scan(*Probe().Sim);
  if (APosition >= scan.DeviceCount())
    return 0;
  scan.ResetTap();
  return uint32_t(TSimScanTarget::FromBits(scan.ShiftDR(APosition, std::string(32, '0'))));
}

} // namespace

// ---- the library's functions -------------------------------------------------

extern "C" {

const char* JLINK_API JLINKARM_Open() {
  Enter("JLINKARM_Open");
  Probe().Open = true;
  return nullptr;
}
void JLINK_API JLINKARM_Close() {
  Enter("JLINKARM_Close");
  Probe().Open = false;
}
void JLINK_API JLINKARM_GetIdData(TJlinkIdData* pIdData) {
  Enter("JLINKARM_GetIdData");
  if (!pIdData)
    return;
  const int chain = int(TSimScanTarget(*Probe().Sim).DeviceCount());
  pIdData->NumDevices = int16_t(Probe().ChainDevices >= 0 ? Probe().ChainDevices : chain);
}
int JLINK_API JLINKARM_SetInitRegsOnReset(int OnOff) {
  Enter("JLINKARM_SetInitRegsOnReset", "%d", OnOff);
  return 0;
}
void JLINK_API JLINKARM_SetMaxSpeed() {
  Enter("JLINKARM_SetMaxSpeed");
}
void JLINK_API JLINKARM_SetSpeed(uint32_t Speed) {
  Enter("JLINKARM_SetSpeed", "%u", Speed);
}
int JLINK_API JLINKARM_GetHWStatus(TJlinkHwStatus* pStatus) {
  Enter("JLINKARM_GetHWStatus");
  if (pStatus)
    pStatus->VTarget = int16_t(Probe().TargetMillivolts);
  return 0;
}
uint32_t JLINK_API JLINKARM_GetId() {
  Enter("JLINKARM_GetId");
  return IdCode(0);
}
uint32_t JLINK_API JLINKARM_JTAG_GetDeviceId(unsigned DeviceIndex) {
  Enter("JLINKARM_JTAG_GetDeviceId", "%u", DeviceIndex);
  return IdCode(DeviceIndex);
}
int JLINK_API JLINKARM_JTAG_GetDeviceInfo(unsigned DeviceIndex, TJlinkJtagDeviceInfo* pInfo) {
  Enter("JLINKARM_JTAG_GetDeviceInfo", "%u", DeviceIndex);
  TSimScanTarget scan(*Probe().Sim);
  if (DeviceIndex >= scan.DeviceCount() || !pInfo)
    return -1;
  const bool chip = IdCode(DeviceIndex) == kJlinkIdCortexM3;
  pInfo->sName = chip ? "ARM Cortex-M3" : "Unknown device";
  pInfo->IRLen = scan.IrLength(DeviceIndex);
  pInfo->IRPrint = 1;
  return 0;
}
void JLINK_API JLINKARM_JTAG_GetData(uint8_t* pDest, int BitPos, int NumBits) {
  Enter("JLINKARM_JTAG_GetData", "%d, %d", BitPos, NumBits);
  if (pDest && NumBits > 0)
    std::memset(pDest, 0, size_t((NumBits + 7) / 8));
}
uint8_t JLINK_API JLINKARM_JTAG_GetU8(int BitPos) {
  Enter("JLINKARM_JTAG_GetU8", "%d", BitPos);
  return 0;
}
uint16_t JLINK_API JLINKARM_JTAG_GetU16(int BitPos) {
  Enter("JLINKARM_JTAG_GetU16", "%d", BitPos);
  return 0;
}
uint32_t JLINK_API JLINKARM_JTAG_GetU32(int BitPos) {
  Enter("JLINKARM_JTAG_GetU32", "%d", BitPos);
  return 0;
}
void JLINK_API JLINKARM_JTAG_StoreGetData(const uint8_t*, uint8_t* pTDO, int NumBits) {
  Enter("JLINKARM_JTAG_StoreGetData", "%d", NumBits);
  if (pTDO && NumBits > 0)
    std::memset(pTDO, 0, size_t((NumBits + 7) / 8));
}
void JLINK_API JLINKARM_JTAG_StoreGetRaw(const uint8_t*, uint8_t* pTDO, const uint8_t*,
                                         uint32_t NumBits) {
  Enter("JLINKARM_JTAG_StoreGetRaw", "%u", NumBits);
  if (pTDO && NumBits > 0)
    std::memset(pTDO, 0, size_t((NumBits + 7) / 8));
}
int JLINK_API JLINKARM_JTAG_StoreInst(const uint8_t*, int IRLen) {
  Enter("JLINKARM_JTAG_StoreInst", "%d", IRLen);
  return 0;
}
int JLINK_API JLINKARM_JTAG_StoreData(const uint8_t*, int NumBits) {
  Enter("JLINKARM_JTAG_StoreData", "%d", NumBits);
  return 0;
}
int JLINK_API JLINKARM_JTAG_StoreRaw(const uint8_t*, const uint8_t*, uint32_t NumBits) {
  Enter("JLINKARM_JTAG_StoreRaw", "%u", NumBits);
  return 0;
}
void JLINK_API JLINKARM_JTAG_SyncBits() {
  Enter("JLINKARM_JTAG_SyncBits");
}
void JLINK_API JLINKARM_JTAG_SyncBytes() {
  Enter("JLINKARM_JTAG_SyncBytes");
}
int JLINK_API JLINKARM_JTAG_WriteData(const uint8_t*, uint8_t* pTDO, int NumBits) {
  Enter("JLINKARM_JTAG_WriteData", "%d", NumBits);
  if (pTDO && NumBits > 0)
    std::memset(pTDO, 0, size_t((NumBits + 7) / 8));
  return 0;
}
void JLINK_API JLINKARM_Go() {
  Enter("JLINKARM_Go");
  StepOffBreakpoint();
  Write(DHCSR, 4, kDhcsrRun);
}
void JLINK_API JLINKARM_GoEx(uint32_t MaxEmulInsts, uint32_t Flags) {
  Enter("JLINKARM_GoEx", "%u, %u", MaxEmulInsts, Flags);
  StepOffBreakpoint();
  Write(DHCSR, 4, kDhcsrRun);
}
uint8_t JLINK_API JLINKARM_Halt() {
  Enter("JLINKARM_Halt");
  return Write(DHCSR, 4, kDhcsrHalt) && WaitHalted() ? 0 : 1;
}
uint8_t JLINK_API JLINKARM_IsConnected() {
  Enter("JLINKARM_IsConnected");
  return 1;
}
uint8_t JLINK_API JLINKARM_IsHalted() {
  Enter("JLINKARM_IsHalted");
  for (int i = 0; i < kSlicesPerPoll; ++i)
    Tick();
  return Halted() ? 1 : 0;
}
uint8_t JLINK_API JLINKARM_IsOpen() {
  Enter("JLINKARM_IsOpen");
  return Probe().Open ? 1 : 0;
}
int JLINK_API JLINKARM_Reset() {
  Enter("JLINKARM_Reset");
  Write(DEMCR, 4, kDemcrReset);
  if (!Write(AIRCR, 4, kAircrReset))
    return -1;
  return WaitHalted() ? 0 : -1;
}
void JLINK_API JLINKARM_ResetNoHalt() {
  Enter("JLINKARM_ResetNoHalt");
}
void JLINK_API JLINKARM_ResetPullsRESET(uint8_t OnOff) {
  Enter("JLINKARM_ResetPullsRESET", "%u", unsigned(OnOff));
}
void JLINK_API JLINKARM_ResetPullsTRST(uint8_t OnOff) {
  Enter("JLINKARM_ResetPullsTRST", "%u", unsigned(OnOff));
}
void JLINK_API JLINKARM_ResetTRST() {
  Enter("JLINKARM_ResetTRST");
}
int JLINK_API JLINKARM_SetResetType(int ResetType) {
  Enter("JLINKARM_SetResetType", "%d", ResetType);
  return 0;
}
uint8_t JLINK_API JLINKARM_Step() {
  Enter("JLINKARM_Step");
  if (!Halted())
    return 1;
  uint32_t pc = 0;
  ReadCore(15, pc);
  for (const auto& entry : Probe().Breakpoints)
    if (entry.second.Address == (pc & ~1u)) {
      StepOffBreakpoint();
      return 0;
    }
  return Write(DHCSR, 4, kDhcsrStep) && WaitHalted() ? 0 : 1;
}
int JLINK_API JLINKARM_ReadMem(uint32_t Addr, uint32_t NumBytes, void* pData) {
  Enter("JLINKARM_ReadMem", "0x%08X, %u", Addr, NumBytes);
  return pData && ReadBlock(Addr, NumBytes, static_cast<uint8_t*>(pData)) ? 0 : -1;
}
}

namespace {
template <class T> int ReadItems(uint32_t AAddress, uint32_t ACount, T* AData, uint8_t* AStatus) {
  int valid = 0;
  for (uint32_t i = 0; i < ACount; ++i) {
    uint32_t value = 0;
    const bool ok = ReadUnit(AAddress + i * sizeof(T), sizeof(T) > 4 ? 4 : sizeof(T), value);
    if (AData)
      AData[i] = T(value);
    if (AStatus)
      AStatus[i] = ok ? 0 : 1;
    if (!ok)
      return valid;
    ++valid;
  }
  return valid;
}
} // namespace

extern "C" {
int JLINK_API JLINKARM_ReadMemU8(uint32_t Addr, uint32_t NumItems, uint8_t* pData,
                                 uint8_t* pStatus) {
  Enter("JLINKARM_ReadMemU8", "0x%08X, %u", Addr, NumItems);
  return ReadItems(Addr, NumItems, pData, pStatus);
}
int JLINK_API JLINKARM_ReadMemU16(uint32_t Addr, uint32_t NumItems, uint16_t* pData,
                                  uint8_t* pStatus) {
  Enter("JLINKARM_ReadMemU16", "0x%08X, %u", Addr, NumItems);
  return ReadItems(Addr, NumItems, pData, pStatus);
}
int JLINK_API JLINKARM_ReadMemU32(uint32_t Addr, uint32_t NumItems, uint32_t* pData,
                                  uint8_t* pStatus) {
  Enter("JLINKARM_ReadMemU32", "0x%08X, %u", Addr, NumItems);
  return ReadItems(Addr, NumItems, pData, pStatus);
}
int JLINK_API JLINKARM_ReadMemU64(uint32_t Addr, uint32_t NumItems, uint64_t* pData,
                                  uint8_t* pStatus) {
  Enter("JLINKARM_ReadMemU64", "0x%08X, %u", Addr, NumItems);
  int valid = 0;
  for (uint32_t i = 0; i < NumItems; ++i) {
    uint32_t low = 0, high = 0;
    const bool ok = ReadUnit(Addr + 8 * i, 4, low) && ReadUnit(Addr + 8 * i + 4, 4, high);
    if (pData)
      pData[i] = uint64_t(high) << 32 | low;
    if (pStatus)
      pStatus[i] = ok ? 0 : 1;
    if (!ok)
      break;
    ++valid;
  }
  return valid;
}
int JLINK_API JLINKARM_WriteMem(uint32_t Addr, uint32_t NumBytes, const void* pData) {
  Enter("JLINKARM_WriteMem", "0x%08X, %u", Addr, NumBytes);
  return pData && WriteBlock(Addr, NumBytes, static_cast<const uint8_t*>(pData)) ? int(NumBytes)
                                                                                 : -1;
}
int JLINK_API JLINKARM_WriteU8(uint32_t Addr, uint8_t Data) {
  Enter("JLINKARM_WriteU8", "0x%08X, 0x%02X", Addr, unsigned(Data));
  return WriteUnit(Addr, 1, Data) ? 0 : -1;
}
int JLINK_API JLINKARM_WriteU16(uint32_t Addr, uint16_t Data) {
  Enter("JLINKARM_WriteU16", "0x%08X, 0x%04X", Addr, unsigned(Data));
  return WriteUnit(Addr, 2, Data) ? 0 : -1;
}
int JLINK_API JLINKARM_WriteU32(uint32_t Addr, uint32_t Data) {
  Enter("JLINKARM_WriteU32", "0x%08X, 0x%08X", Addr, Data);
  return WriteUnit(Addr, 4, Data) ? 0 : -1;
}
int JLINK_API JLINKARM_WriteU64(uint32_t Addr, uint64_t Data) {
  Enter("JLINKARM_WriteU64", "0x%08X", Addr);
  return WriteUnit(Addr, 4, uint32_t(Data)) && WriteUnit(Addr + 4, 4, uint32_t(Data >> 32)) ? 0
                                                                                            : -1;
}
uint32_t JLINK_API JLINKARM_ReadReg(int RegIndex) {
  Enter("JLINKARM_ReadReg", "%d", RegIndex);
  const TRegisterRow* row = RegisterRow(RegIndex);
  uint32_t word = 0;
  if (!row || !ReadCore(row->Selector, word))
    return 0;
  return (word & row->Mask) >> row->Shift;
}
uint8_t JLINK_API JLINKARM_WriteReg(int RegIndex, uint32_t Data) {
  Enter("JLINKARM_WriteReg", "%d, 0x%08X", RegIndex, Data);
  const TRegisterRow* row = RegisterRow(RegIndex);
  if (!row)
    return 1;
  uint32_t word = Data;
  if (row->Mask != 0xFFFFFFFF) {
    if (!ReadCore(row->Selector, word))
      return 1;
    word = (word & ~row->Mask) | ((Data << row->Shift) & row->Mask);
  }
  return WriteCore(row->Selector, word) ? 0 : 1;
}
int JLINK_API JLINKARM_GetNumBPUnits(uint32_t Type) {
  Enter("JLINKARM_GetNumBPUnits", "0x%08X", Type);
  return (Type & kJlinkBpTypeHardware) ? CodeComparators() : 0x100;
}
int JLINK_API JLINKARM_GetNumWPUnits() {
  Enter("JLINKARM_GetNumWPUnits");
  uint32_t dwtCtrl = 0;
  return Read(DWT_CTRL, 4, dwtCtrl) ? int(dwtCtrl >> 28) : 0;
}
void JLINK_API JLINKARM_ClrBP(unsigned BPIndex) {
  Enter("JLINKARM_ClrBP", "%u", BPIndex);
  ClearBreakpoint(int(BPIndex) + 1);
}
int JLINK_API JLINKARM_ClrBPEx(int BPHandle) {
  Enter("JLINKARM_ClrBPEx", "%d", BPHandle);
  return ClearBreakpoint(BPHandle) ? 0 : 1;
}
void JLINK_API JLINKARM_SetBP(unsigned BPIndex, uint32_t Addr) {
  Enter("JLINKARM_SetBP", "%u, 0x%08X", BPIndex, Addr);
  SetBreakpoint(Addr, true);
}
int JLINK_API JLINKARM_SetBPEx(uint32_t Addr, uint32_t Type) {
  Enter("JLINKARM_SetBPEx", "0x%08X, 0x%08X", Addr, Type);
  return SetBreakpoint(Addr, (Type & kJlinkBpTypeHardware) == kJlinkBpTypeHardware);
}
int JLINK_API JLINKARM_TIF_Select(int Interface) {
  Enter("JLINKARM_TIF_Select", "%d", Interface);
  return 0;
}
uint32_t JLINK_API JLINKARM_CORE_GetFound() {
  Enter("JLINKARM_CORE_GetFound");
  return Probe().Core;
}
int JLINK_API JLINKARM_EMU_GetNumDevices() {
  Enter("JLINKARM_EMU_GetNumDevices");
  return Probe().ProbeCount;
}
int JLINK_API JLINKARM_EMU_GetList(int HostIFs, TJlinkEmuConnectInfo* paConnectInfo, int MaxInfos) {
  Enter("JLINKARM_EMU_GetList", "%d, %d", HostIFs, MaxInfos);
  for (int i = 0; i < std::min(MaxInfos, Probe().ProbeCount) && paConnectInfo; ++i)
    paConnectInfo[i].SerialNumber = 260000001u + unsigned(i);
  return Probe().ProbeCount;
}

// ---- controls for tests --------------------------------------------------------

// A fresh probe over a fresh chip: closed, one probe, 3.3 V, nothing logged.
void JLINK_API JLinkStandIn_Reset() {
  Probe() = TProbe();
}
// The function (by its library name) that raises a structured exception
// when called next and every time after; null or empty: none.
void JLINK_API JLinkStandIn_SetRaising(const char* AName) {
  Probe().Raising = AName ? AName : "";
}
void JLINK_API JLinkStandIn_SetTargetMillivolts(int AMillivolts) {
  Probe().TargetMillivolts = AMillivolts;
}
void JLINK_API JLinkStandIn_SetProbeCount(int ACount) {
  Probe().ProbeCount = ACount;
}
// The chain length GetIdData reports (-1: the chain's own) and the core
// the serial wire interface finds.
void JLINK_API JLinkStandIn_SetChain(int ADevices, uint32_t ACore) {
  Probe().ChainDevices = ADevices;
  Probe().Core = ACore;
}
// The calls so far, one a line: "JLINKARM_Name(arguments)". Answers the
// length of the whole text; copies what fits, terminated.
int JLINK_API JLinkStandIn_GetLog(char* ABuffer, int ASize) {
  std::string text;
  for (const std::string& line : Probe().Log)
    text += line + "\n";
  if (ABuffer && ASize > 0) {
    const size_t count = std::min(text.size(), size_t(ASize - 1));
    std::memcpy(ABuffer, text.data(), count);
    ABuffer[count] = '\0';
  }
  return int(text.size());
}
void JLINK_API JLinkStandIn_ClearLog() {
  Probe().Log.clear();
}
// The chip behind the probe, seen without the probe: bus access as the
// debugger has it, the core's registers by selector, its run state.
BOOL JLINK_API JLinkStandIn_ChipRead(uint32_t AAddress, unsigned ASize, uint32_t* AValue) {
  uint32_t value = 0;
  const bool ok = Chip().DebugRead(AAddress, ASize, value);
  if (AValue)
    *AValue = value;
  return ok;
}
BOOL JLINK_API JLinkStandIn_ChipWrite(uint32_t AAddress, unsigned ASize, uint32_t AValue) {
  return Chip().DebugWrite(AAddress, ASize, AValue);
}
uint32_t JLINK_API JLinkStandIn_ChipCoreRegister(unsigned ASelector) {
  return Chip().Core().ReadRegister(ASelector);
}
BOOL JLINK_API JLinkStandIn_ChipHalted() {
  return Chip().IsHalted();
}
// A bus error on every access to the word at AAddress, or none.
void JLINK_API JLinkStandIn_SetBusError(BOOL AEnabled, uint32_t AAddress) {
  Probe().Sim->Faults().BusErrorEnabled = AEnabled != 0;
  Probe().Sim->Faults().BusErrorAddress = AAddress;
}
}
