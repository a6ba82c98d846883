#pragma once

#include "contracts.h"
#include "hard-breakpoints.h"
#include "host-records.h"
#include "jlink-library.h"
#include "memory-array.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One breakpoint unit of a J-Link probe, set and cleared through the
// library binding.
class TARMJlinkHardBreakpoint : public TARMHardBreakpointBase {
public:
  explicit TARMJlinkHardBreakpoint(TJlink& AJlink);

  HRESULT GetTarvoDevice(contract_records::ITarvoDevice* AResult) override;
  HRESULT Reset() override;
  HRESULT Enable(TBoolean* AResult) override;
  HRESULT Disable(TBoolean* AResult) override;

  // The probe's handle while the unit is set; -1 when none is.
  int Id() const { return FId; }

private:
  TJlink& FJlink;
  int FId = -1;
};

// The J-Link road of an ARM driver: whether the driver's device sits on a
// host JTAG port that is a J-Link probe, and run control, registers, memory
// and breakpoints through that probe's library when it does. The library is
// the one the host loaded for the port; the adapter adopts its handle.
//
// The adapter is never freed by reference counting: its driver keeps it.
class TARMJlink : public TAbstractJlinkDriver {
public:
  TARMJlink() = default;
  ~TARMJlink() override;

  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(-1); }
  ULONG STDMETHODCALLTYPE Release() override { return ULONG(-1); }
  HRESULT GetJlinkHandle(uint32_t* AResult) override;

  // Library register numbers of the driver's core register numbers.
  static int ArmV7MRegister(int32_t ARegister);
  static int ArmV4TRegister(int32_t AIndex);

  // True when a J-Link port of the host serves AChannel; that port's
  // library becomes the binding. An empty channel (no bound device) is on
  // no port.
  HRESULT ARM_IsOpen(const IJTagChannel& AChannel, TBoolean* AOpen);
  // Offers the probe's breakpoint units to the debug manager, once.
  HRESULT ARM_Initialize(const IDeviceDebugManager& ADebugManager, TBoolean* AOk);
  // The library loaded from the host's System folder, for a driver that has
  // no J-Link port; and closing it again.
  HRESULT ARM_Open();
  HRESULT ARM_Close();

  // Each answers the wrapper code of its last library call through ACode
  // when given one (kJlinkOk, kJlinkMissing, kJlinkRaised).
  HRESULT ARM_Halt(int* ACode = nullptr);
  HRESULT ARM_SingleStep(int* ACode = nullptr);
  HRESULT ARM_Continue(int* ACode = nullptr);
  HRESULT ARM_Reset(int* ACode = nullptr);
  HRESULT ARM_SetResetType(int32_t AType);
  HRESULT ARM_IsHalted(TBoolean* AHalted);
  HRESULT ARM_SaveSate() { return S_OK; }
  HRESULT ARM_ResetRegisters();

  HRESULT ARM_ReadRegister(int32_t ARegister, uint32_t* AValue, int* ACode = nullptr);
  HRESULT ARM_WriteRegister(int32_t ARegister, uint32_t AValue, int* ACode = nullptr);
  HRESULT ARM_ReadRegisterV4T(int32_t AIndex, uint32_t* AValue);
  HRESULT ARM_WriteRegisterV4T(int32_t AIndex, uint32_t AValue);

  // Single units; AOk (when given) tells whether the probe moved the unit.
  HRESULT ARM_ReadByte(uint32_t AAddress, uint32_t* AValue, bool* AOk = nullptr);
  HRESULT ARM_ReadHalfWord(uint32_t AAddress, uint32_t* AValue, bool* AOk = nullptr);
  HRESULT ARM_ReadWord(uint32_t AAddress, uint32_t* AValue, bool* AOk = nullptr);
  HRESULT ARM_WriteByte(uint32_t AAddress, uint32_t AValue, bool* AOk = nullptr);
  HRESULT ARM_WriteHalfWord(uint32_t AAddress, uint32_t AValue, bool* AOk = nullptr);
  HRESULT ARM_WriteWord(uint32_t AAddress, uint32_t AValue, bool* AOk = nullptr);
  // Blocks of ACount bytes between cells AIndex.. of ABuffer (one byte a
  // cell) and the target.
  HRESULT ARM_ReadBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount,
                        bool* AOk = nullptr);
  HRESULT ARM_WriteBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount,
                         bool* AOk = nullptr);
  HRESULT ARM_ReadWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount,
                        bool* AOk = nullptr) {
    return ARM_ReadBytes(ABuffer, AIndex, AAddress, ACount, AOk);
  }
  HRESULT ARM_WriteWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount,
                         bool* AOk = nullptr) {
    return ARM_WriteBytes(ABuffer, AIndex, AAddress, ACount, AOk);
  }

  // Breakpoints kept by address ("0x" and at least eight upper-case hex
  // digits); AHandle is the probe's handle.
  HRESULT ARM_AddBreakpoint(int64_t AAddress, int32_t* AHandle, int* ACode = nullptr);
  HRESULT ARM_AddBreakpointEx(int64_t AAddress, bool AThumb, int32_t* AHandle);
  HRESULT ARM_RemoveBreakpoint(int64_t AAddress, TBoolean* ARemoved);

  TJlink* Jlink() const { return FJlink; }
  bool Initialized() const { return FInitialized; }
  const std::vector<std::pair<std::wstring, int32_t>>& Breakpoints() const { return FBPList; }
  static std::wstring BreakpointKey(int64_t AAddress);

private:
  HRESULT AddBreakpoint(int64_t AAddress, uint32_t AType, int32_t* AHandle, int* ACode);

  TJlink* FJlink = nullptr;
  bool FInitialized = false;
  std::vector<std::pair<std::wstring, int32_t>> FBPList;
};
