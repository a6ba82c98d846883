#include "jlink-arm.h"

#include "host-modules.h"
#include "support-service.h"

#include <cstdio>
#include <cwctype>

namespace {

struct TRegisterMapRow {
  int32_t From;
  int To;
};

// The driver's ARMv7-M core numbers and the library's numbers for them;
// numbers not listed are the same on both sides.
constexpr TRegisterMapRow kArmV7MMap[] = {
    {17, 21}, {18, 22}, {19, 23}, {20, 20}, {21, 27},
    {22, 26}, {23, 25}, {24, 24}, {25, 17}, {26, 18},
};

// The classic register indexes (banked registers of every mode) and the
// library's numbers for them.
constexpr TRegisterMapRow kArmV4TMap[] = {
    {8, 10},  {20, 10}, {9, 11},  {21, 11}, {10, 12}, {22, 12}, {11, 13}, {23, 13},
    {12, 14}, {24, 14}, {13, 15}, {25, 15}, {14, 16}, {26, 16}, {15, 9},  {19, 9},
    {16, 8},  {17, 25}, {29, 25}, {27, 26}, {28, 27}, {30, 29}, {31, 30}, {32, 28},
    {33, 35}, {34, 36}, {35, 34}, {36, 32}, {37, 33}, {38, 31}, {39, 18}, {40, 19},
    {41, 20}, {42, 21}, {43, 22}, {44, 23}, {45, 24}, {46, 17},
};

template <size_t N> int Mapped(const TRegisterMapRow (&AMap)[N], int32_t ARegister) {
  for (const TRegisterMapRow& row : AMap)
    if (row.From == ARegister)
      return row.To;
  return ARegister;
}

void Answer(int* ACode, int AValue) {
  if (ACode)
    *ACode = AValue;
}
void Answer(bool* AOk, bool AValue) {
  if (AOk)
    *AOk = AValue;
}

bool SameKey(const std::wstring& A, const std::wstring& B) {
  if (A.size() != B.size())
    return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (std::towupper(A[i]) != std::towupper(B[i]))
      return false;
  return true;
}

} // namespace

// ---- the probe's breakpoint unit ---------------------------------------------

TARMJlinkHardBreakpoint::TARMJlinkHardBreakpoint(TJlink& AJlink) : FJlink(AJlink) {
  Reset();
}

HRESULT TARMJlinkHardBreakpoint::GetTarvoDevice(contract_records::ITarvoDevice* AResult) {
  *AResult = contract_records::ITarvoDevice();
  return S_OK;
}

HRESULT TARMJlinkHardBreakpoint::Reset() {
  FId = -1;
  return S_OK;
}

HRESULT TARMJlinkHardBreakpoint::Enable(TBoolean* AResult) {
  *AResult = false;
  return Guarded([&] {
    int handle = 0;
    if (FJlink.JLINKARM_SetBPEx(FAddress & ~1u, kJlinkBpTypeHardware, &handle) != kJlinkOk ||
        handle == 0)
      return;
    FId = handle;
    *AResult = true;
  });
}

HRESULT TARMJlinkHardBreakpoint::Disable(TBoolean* AResult) {
  *AResult = false;
  return Guarded([&] {
    if (FId <= 0)
      return;
    int answer = -1;
    if (FJlink.JLINKARM_ClrBPEx(FId, &answer) != kJlinkOk || answer != 0)
      return;
    FId = -1;
    *AResult = true;
  });
}

// ---- the adapter -------------------------------------------------------------

TARMJlink::~TARMJlink() {
  delete FJlink;
}

HRESULT TARMJlink::GetJlinkHandle(uint32_t* AResult) {
  *AResult = 0;
  return S_OK;
}

int TARMJlink::ArmV7MRegister(int32_t ARegister) {
  return Mapped(kArmV7MMap, ARegister);
}

int TARMJlink::ArmV4TRegister(int32_t AIndex) {
  return Mapped(kArmV4TMap, AIndex);
}

HRESULT TARMJlink::ARM_IsOpen(const IJTagChannel& AChannel, TBoolean* AOpen) {
  *AOpen = false;
  return Guarded([&] {
    // Without a bound device there is no port to be on: a J-Link port met
    // first would otherwise lend its probe to a device it does not serve.
    if (AChannel.IsEmpty())
      return;
    const int32_t count = GetJTagPortCount();
    for (int32_t index = 0; index < count; ++index) {
      const IJtagPort port = GetJTagPort(index);
      if (port.IsEmpty() || !::SupportsService(port.Intf(), L"JlinkPort"))
        continue;
      const IJlinkPort jlinkPort = IJlinkPort::FromDispatch(port.Intf());
      // A J-Link port serving another chain is passed over: the device's
      // own port may come later in the list.
      if (jlinkPort.GetJTagChannel().Intf() != AChannel.Intf())
        continue;
      const IJlinkDriver driver = jlinkPort.GetJlinkDriver();
      if (driver.IsEmpty())
        continue;
      const HMODULE handle =
          reinterpret_cast<HMODULE>(uintptr_t(uint32_t(driver.GetJlinkHandle())));
      if (!FJlink)
        FJlink = TJlink::CreateJlinkDriver(handle);
      else if (FJlink->Handle() != handle)
        FJlink->Rebind(handle);
      *AOpen = true;
      return;
    }
  });
}

HRESULT TARMJlink::ARM_Initialize(const IDeviceDebugManager& ADebugManager, TBoolean* AOk) {
  *AOk = false;
  return Guarded([&] {
    if (FInitialized) {
      *AOk = true;
      return;
    }
    int units = 0;
    if (FJlink && !ADebugManager.IsEmpty() && ADebugManager.GetHardBreakpointCount() == 0 &&
        FJlink->JLINKARM_GetNumBPUnits(kJlinkBpTypeHardware, &units) == kJlinkOk) {
      ADebugManager.SetSoftbreakpointsRequireHardware(false);
      for (int n = 0; n < units; ++n) {
        TComPtr<TARMJlinkHardBreakpoint> unit(new TARMJlinkHardBreakpoint(*FJlink));
        ADebugManager.AddHardBreakPoint(IHardBreakpoint::FromDispatch(unit.Get()));
      }
    }
    FInitialized = true;
    *AOk = true;
  });
}

HRESULT TARMJlink::ARM_Open() {
  return Guarded([&] {
    if (FJlink)
      return;
    FJlink = TJlink::OpenJlinkDriver();
    if (FJlink)
      FJlink->Initialize();
  });
}

HRESULT TARMJlink::ARM_Close() {
  return Guarded([&] {
    if (!FJlink)
      return;
    FJlink->JLINKARM_Close();
    delete FJlink;
    FJlink = nullptr;
  });
}

HRESULT TARMJlink::ARM_Halt(int* ACode) {
  Answer(ACode, kJlinkMissing);
  return Guarded([&] {
    if (FJlink)
      Answer(ACode, FJlink->JLINKARM_Halt());
  });
}

HRESULT TARMJlink::ARM_SingleStep(int* ACode) {
  Answer(ACode, kJlinkMissing);
  return Guarded([&] {
    if (FJlink)
      Answer(ACode, FJlink->JLINKARM_Step());
  });
}

HRESULT TARMJlink::ARM_Continue(int* ACode) {
  Answer(ACode, kJlinkMissing);
  return Guarded([&] {
    if (FJlink)
      Answer(ACode, FJlink->JLINKARM_GoEx(kJlinkGoMaxEmulInsts, kJlinkGoFlags));
  });
}

HRESULT TARMJlink::ARM_Reset(int* ACode) {
  Answer(ACode, kJlinkMissing);
  return Guarded([&] {
    if (!FJlink)
      return;
    FJlink->JLINKARM_ResetPullsRESET(1);
    Answer(ACode, FJlink->JLINKARM_Reset());
  });
}

HRESULT TARMJlink::ARM_SetResetType(int32_t AType) {
  return Guarded([&] {
    if (FJlink)
      FJlink->JLINKARM_SetResetType(AType);
  });
}

HRESULT TARMJlink::ARM_IsHalted(TBoolean* AHalted) {
  *AHalted = false;
  return Guarded([&] {
    uint8_t halted = 0;
    if (FJlink && FJlink->JLINKARM_IsHalted(&halted) == kJlinkOk)
      *AHalted = halted != 0;
  });
}

HRESULT TARMJlink::ARM_ResetRegisters() {
  return Guarded([&]() -> HRESULT {
    uint32_t pc = 0, sp = 0;
    HRESULT hr = ARM_ReadWord(4, &pc);
    if (SUCCEEDED(hr))
      hr = ARM_WriteRegister(15, pc & ~1u);
    if (SUCCEEDED(hr))
      hr = ARM_ReadWord(0, &sp);
    if (SUCCEEDED(hr))
      hr = ARM_WriteRegister(13, sp & ~3u);
    return hr;
  });
}

HRESULT TARMJlink::ARM_ReadRegister(int32_t ARegister, uint32_t* AValue, int* ACode) {
  *AValue = 0;
  Answer(ACode, kJlinkMissing);
  return Guarded([&] {
    if (FJlink)
      Answer(ACode, FJlink->JLINKARM_ReadReg(ArmV7MRegister(ARegister), AValue));
  });
}

HRESULT TARMJlink::ARM_WriteRegister(int32_t ARegister, uint32_t AValue, int* ACode) {
  Answer(ACode, kJlinkMissing);
  return Guarded([&] {
    if (FJlink)
      Answer(ACode, FJlink->JLINKARM_WriteReg(ArmV7MRegister(ARegister), AValue));
  });
}

HRESULT TARMJlink::ARM_ReadRegisterV4T(int32_t AIndex, uint32_t* AValue) {
  *AValue = 0;
  return Guarded([&] {
    if (FJlink)
      FJlink->JLINKARM_ReadReg(ArmV4TRegister(AIndex), AValue);
  });
}

HRESULT TARMJlink::ARM_WriteRegisterV4T(int32_t AIndex, uint32_t AValue) {
  return Guarded([&] {
    if (FJlink)
      FJlink->JLINKARM_WriteReg(ArmV4TRegister(AIndex), AValue);
  });
}

HRESULT TARMJlink::ARM_ReadByte(uint32_t AAddress, uint32_t* AValue, bool* AOk) {
  *AValue = 0;
  Answer(AOk, false);
  return Guarded([&] {
    uint8_t value = 0, status = 0;
    int items = 0;
    if (FJlink && FJlink->JLINKARM_ReadMemU8(AAddress, 1, &value, &status, &items) == kJlinkOk) {
      *AValue = value;
      Answer(AOk, items >= 1 && status == 0);
    }
  });
}

HRESULT TARMJlink::ARM_ReadHalfWord(uint32_t AAddress, uint32_t* AValue, bool* AOk) {
  *AValue = 0;
  Answer(AOk, false);
  return Guarded([&] {
    uint16_t value = 0;
    uint8_t status = 0;
    int items = 0;
    if (FJlink && FJlink->JLINKARM_ReadMemU16(AAddress, 1, &value, &status, &items) == kJlinkOk) {
      *AValue = value;
      Answer(AOk, items >= 1 && status == 0);
    }
  });
}

HRESULT TARMJlink::ARM_ReadWord(uint32_t AAddress, uint32_t* AValue, bool* AOk) {
  *AValue = 0;
  Answer(AOk, false);
  return Guarded([&] {
    uint32_t value = 0;
    uint8_t status = 0;
    int items = 0;
    if (FJlink && FJlink->JLINKARM_ReadMemU32(AAddress, 1, &value, &status, &items) == kJlinkOk) {
      *AValue = value;
      Answer(AOk, items >= 1 && status == 0);
    }
  });
}

HRESULT TARMJlink::ARM_WriteByte(uint32_t AAddress, uint32_t AValue, bool* AOk) {
  Answer(AOk, false);
  return Guarded([&] {
    int answer = -1;
    if (FJlink && FJlink->JLINKARM_WriteU8(AAddress, uint8_t(AValue), &answer) == kJlinkOk)
      Answer(AOk, answer >= 0);
  });
}

HRESULT TARMJlink::ARM_WriteHalfWord(uint32_t AAddress, uint32_t AValue, bool* AOk) {
  Answer(AOk, false);
  return Guarded([&] {
    int answer = -1;
    if (FJlink && FJlink->JLINKARM_WriteU16(AAddress, uint16_t(AValue), &answer) == kJlinkOk)
      Answer(AOk, answer >= 0);
  });
}

HRESULT TARMJlink::ARM_WriteWord(uint32_t AAddress, uint32_t AValue, bool* AOk) {
  Answer(AOk, false);
  return Guarded([&] {
    int answer = -1;
    if (FJlink && FJlink->JLINKARM_WriteU32(AAddress, AValue, &answer) == kJlinkOk)
      Answer(AOk, answer >= 0);
  });
}

HRESULT TARMJlink::ARM_ReadBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                 int32_t ACount, bool* AOk) {
  Answer(AOk, false);
  return Guarded([&] {
    if (!FJlink || ACount <= 0 || AIndex < 0)
      return;
    std::vector<uint8_t> bytes(size_t(ACount), 0);
    int answer = -1;
    const int code =
        FJlink->JLINKARM_ReadMem(uint32_t(AAddress), uint32_t(ACount), bytes.data(), &answer);
    for (int32_t i = 0; i < ACount; ++i)
      ABuffer[AIndex + i] = bytes[size_t(i)];
    Answer(AOk, code == kJlinkOk && answer == 0);
  });
}

HRESULT TARMJlink::ARM_WriteBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                  int32_t ACount, bool* AOk) {
  Answer(AOk, false);
  return Guarded([&] {
    if (!FJlink || ACount <= 0 || AIndex < 0)
      return;
    std::vector<uint8_t> bytes(static_cast<size_t>(ACount));
    for (int32_t i = 0; i < ACount; ++i)
      bytes[size_t(i)] = uint8_t(ABuffer[AIndex + i]);
    int answer = -1;
    const int code =
        FJlink->JLINKARM_WriteMem(uint32_t(AAddress), uint32_t(ACount), bytes.data(), &answer);
    Answer(AOk, code == kJlinkOk && answer >= 0);
  });
}

std::wstring TARMJlink::BreakpointKey(int64_t AAddress) {
  wchar_t text[32];
  swprintf(text, 32, L"0x%08llX", static_cast<unsigned long long>(AAddress));
  return text;
}

HRESULT TARMJlink::AddBreakpoint(int64_t AAddress, uint32_t AType, int32_t* AHandle, int* ACode) {
  *AHandle = 0;
  Answer(ACode, kJlinkMissing);
  return Guarded([&] {
    if (!FJlink)
      return;
    int handle = 0;
    const int code = FJlink->JLINKARM_SetBPEx(uint32_t(AAddress), AType, &handle);
    Answer(ACode, code);
    if (code != kJlinkOk)
      return;
    *AHandle = handle;
    FBPList.emplace_back(BreakpointKey(AAddress), handle);
  });
}

HRESULT TARMJlink::ARM_AddBreakpoint(int64_t AAddress, int32_t* AHandle, int* ACode) {
  return AddBreakpoint(AAddress, kJlinkBpTypeSoftware, AHandle, ACode);
}

HRESULT TARMJlink::ARM_AddBreakpointEx(int64_t AAddress, bool AThumb, int32_t* AHandle) {
  return AddBreakpoint(AAddress, AThumb ? kJlinkBpTypeSoftwareThumb : kJlinkBpTypeSoftwareArm,
                       AHandle, nullptr);
}

HRESULT TARMJlink::ARM_RemoveBreakpoint(int64_t AAddress, TBoolean* ARemoved) {
  *ARemoved = false;
  return Guarded([&] {
    const std::wstring key = BreakpointKey(AAddress);
    for (auto entry = FBPList.begin(); entry != FBPList.end(); ++entry) {
      if (!SameKey(entry->first, key))
        continue;
      int answer = -1;
      if (FJlink && FJlink->JLINKARM_ClrBPEx(entry->second, &answer) == kJlinkOk)
        *ARemoved = answer == 0;
      FBPList.erase(entry);
      return;
    }
  });
}
