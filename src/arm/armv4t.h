#pragma once

#include "arm-base.h"

#include <cstdint>

enum class TARM_State : uint8_t { eARM_State_ARM, eARM_State_Thumb, eARM_State_Jazelle };

// The classic ARM7/ARM9 layer: banked registers reached by switching the
// processor mode, ARM/Thumb state, ARM and Thumb software breakpoints and the
// walk of the MMU translation tables. A Cortex-M3 replaces all of it but the
// translation walk.
class TARMv4T : public TARMBase {
public:
  using TARMBase::TARMBase;

  static constexpr uint32_t kArmBreakpoint = 0xE1200070;
  static constexpr uint32_t kThumbBreakpointV4 = 0xBE00BE00;
  static constexpr uint32_t kResetCpsr = 0xDF;

  HRESULT LittleEndian(TBoolean* AResult) override;
  HRESULT ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) override;
  HRESULT ReadRegister(int32_t AIndex, uint32_t* AValue) override;
  HRESULT WriteRegister(int32_t AIndex, uint32_t AValue) override;
  HRESULT ResetTarvoRegisters() override;
  HRESULT SaveState() override;
  HRESULT RestoreState() override;
  HRESULT ClearState() override;
  // The two EmbeddedICE watchpoint units, as hardware breakpoints of the
  // driver's debug manager.
  HRESULT InitWatchPoints() override;
  HRESULT AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) override;
  HRESULT RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                               TBoolean* AResult) override;
  HRESULT TranslateVirtualAddress(int64_t AAddress, int32_t& ACacheBits, int32_t& ADomain,
                                  int32_t& AAccess, int64_t* APhysical) override;

protected:
  HRESULT ReadModeRegister(int32_t ARegister, int32_t AMode, uint32_t* AValue) override;
  HRESULT WriteModeRegister(int32_t ARegister, uint32_t AValue, int32_t AMode) override;
  HRESULT SwitchProcessorMode_Begin(int32_t AMode) override;
  HRESULT SwitchProcessorMode_End() override;

  uint32_t FMode = 0;
  uint32_t FSavedMode = 0;
  TARM_State FState = TARM_State::eARM_State_ARM;
  bool FBigEndian = false;
  bool FStateSaved = false;
  bool FModeSaved = false;

private:
  uint32_t ReadPhysicalWord(uint32_t AAddress);
};
