#pragma once

#include "armv4t.h"
#include "armv7m-registers.h"

#include <cstdint>
#include <string>

// The ARMv7-M register set as the host sees it (30 rows, several of them
// fields of one core register), the core register access by architectural
// number, cached PC, xPSR and special-register word, Thumb software
// breakpoints, and the raw 35-bit debug-port scans on the host's channel.
class TARMv7M : public TARMv4T {
public:
  using TARMv4T::TARMv4T;

  // Core registers by architectural number; placeholders here.
  virtual uint32_t ReadCoreRegister(int32_t ARegister);
  virtual void WriteCoreRegister(int32_t ARegister, uint32_t AValue);

  HRESULT GetProcessorRegisterCount(int32_t* AResult) override;
  HRESULT GetProcessorRegisterName(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetProcessorRegisterShortName(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetProcessorRegisterWidth(int32_t AIndex, uint32_t* AResult) override;
  HRESULT GetRegisterIndex_PC(int32_t* AResult) override;
  HRESULT GetRegisterIndex_SP(int32_t* AResult) override;
  HRESULT LittleEndian(TBoolean* AResult) override;
  HRESULT ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) override;
  HRESULT ResetTarvoRegisters() override;
  HRESULT ResetProcessor() override;

  HRESULT ReadRegister(int32_t AIndex, uint32_t* AValue) override;
  HRESULT WriteRegister(int32_t AIndex, uint32_t AValue) override;
  HRESULT SaveState() override;
  HRESULT RestoreState() override;
  HRESULT ClearState() override;
  HRESULT InitWatchPoints() override;
  HRESULT AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) override;
  HRESULT RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                               TBoolean* AResult) override;

  uint32_t SavedPC() const { return FSavedPC; }
  uint32_t SavedXPSR() const { return FSavedXPSR; }
  bool StateSaved() const { return FStateSaved; }

  static constexpr uint32_t kThumbBreakpoint = 0xBE00BE00;

protected:
  // One scan each; False (nothing scanned, outputs untouched) without a
  // channel. The instruction is loaded again for every scan.
  virtual bool DapScanRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData, uint8_t& AAck);
  virtual bool DapScanPostRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData);
  virtual bool DapScanWrite(uint8_t AInstruction, uint8_t AAddress, uint32_t AData, uint8_t& AAck);

  int32_t FMode = 0;
  int32_t FSavedMode = 0;
  TARM_State FState = TARM_State::eARM_State_ARM;
  bool FBigEndian = false;
  bool FStateSaved = false;
  bool FModeSaved = false;
  uint32_t FSavedPC = 0;
  uint32_t FSavedXPSR = 0;
  uint32_t FSavedCFBP = 0;
  // Whether FSavedXPSR and FSavedCFBP hold what the core holds now. The core
  // changes them itself when it runs, so running, stepping and resetting
  // forget them; a field view then reads its word from the core again.
  bool FXpsrKnown = false;
  bool FCfbpKnown = false;
  void ForgetCoreWords() { FXpsrKnown = FCfbpKnown = false; }

private:
  // The cached word of a field view, read from the core when not known.
  uint32_t KnownWord(int32_t ACore, uint32_t& ACache, bool& AKnown);
  // Writes a whole cached word and keeps what the core now holds.
  void WriteCachedWord(int32_t ACore, uint32_t AWord, uint32_t& ACache, bool& AKnown);
  // One scan; its answer is left in FScanCaptured.
  bool Scan(uint8_t AInstruction, uint8_t AAddress, bool ARead, uint32_t AData);
  std::wstring FScanText;
  std::wstring FScanCaptured;
};
