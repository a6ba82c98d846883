#pragma once

#include "cortex-m3.h"
#include "jlink-arm.h"

#include <cstdint>

// The Cortex-M3 driver with both roads: every operation first asks its
// J-Link adapter whether the bound device sits on a host J-Link port; when
// it does, the operation goes through that probe's library, otherwise down
// the raw JTAG road of TARM_Cortex_M3.
//
// On the probe road a library call that fails or raises is counted like a
// raw-road failure: register and run-control operations drop it and answer
// S_OK, memory transfers answer that the target did not take them.
class TJlinkCortexM3 : public TARM_Cortex_M3 {
public:
  template <class... A>
  explicit TJlinkCortexM3(A&&... AArgs) : TARM_Cortex_M3(std::forward<A>(AArgs)...) {
    InitializeTarget();
    FStateSaved = false;
  }

  void InitializeTarget() override;

  HRESULT PauseProcessor() override;
  HRESULT SingleStepProcessor() override;
  HRESULT ContinueProcessor() override;
  HRESULT ResetProcessor() override;
  HRESULT ResetTarvoRegisters() override;
  HRESULT ProcessorIsPaused(TBoolean* AResult) override;
  HRESULT ProcessorIsReset(TBoolean* AResult) override;

  HRESULT AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) override;
  HRESULT RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                               TBoolean* AResult) override;

  HRESULT ReadMemory_Byte(uint32_t AAddress, uint32_t* AValue) override;
  HRESULT ReadMemory_HalfWord(uint32_t AAddress, uint32_t* AValue) override;
  HRESULT ReadMemory_Word(uint32_t AAddress, uint32_t* AValue) override;
  HRESULT WriteMemory_Byte(uint32_t AAddress, uint32_t AValue) override;
  HRESULT WriteMemory_HalfWord(uint32_t AAddress, uint32_t AValue) override;
  HRESULT WriteMemory_Word(uint32_t AAddress, uint32_t AValue) override;
  HRESULT ReadBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                    int32_t ACount) override;
  HRESULT ReadWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                    int32_t ACount) override;
  HRESULT ReadMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) override;
  HRESULT WriteBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                     int32_t ACount) override;
  HRESULT WriteWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                     int32_t ACount) override;
  HRESULT WriteMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) override;

  HRESULT SaveState() override;

  uint32_t ReadCoreRegister(int32_t ARegister) override;
  void WriteCoreRegister(int32_t ARegister, uint32_t AValue) override;

  TARMJlink& JlinkARM() { return FJlinkARM; }
  bool JlinkInitialized() const { return FJlinkInitialized; }

protected:
  bool UsesJlink() override;

private:
  // The road of one host operation: chosen when the operation starts and
  // kept for the operations it runs in turn (a block transfer's units, a
  // reset's register writes), so the host's ports are searched once per
  // operation, not once per unit.
  class TRoad {
  public:
    explicit TRoad(TJlinkCortexM3& ADriver);
    ~TRoad() { --FDriver.FRoadDepth; }
    TRoad(const TRoad&) = delete;
    TRoad& operator=(const TRoad&) = delete;
    bool Jlink() const { return FDriver.FRoadIsJlink; }

  private:
    TJlinkCortexM3& FDriver;
  };

  bool SearchJlinkPort();
  bool JlinkCheckHalted();
  // One run-control command through the library; a command the library
  // drops is counted, its call's own result answered.
  HRESULT RunControl(HRESULT (TARMJlink::*ACommand)(int*));
  HRESULT UnitRead(HRESULT (TARMJlink::*ARead)(uint32_t, uint32_t*, bool*), uint32_t AAddress,
                   uint32_t* AValue);
  HRESULT UnitWrite(HRESULT (TARMJlink::*AWrite)(uint32_t, uint32_t, bool*), uint32_t AAddress,
                    uint32_t AValue);
  HRESULT BlockRead(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount);
  HRESULT BlockWrite(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount);

  TARMJlink FJlinkARM;
  int FRoadDepth = 0;
  bool FRoadIsJlink = false;
};
