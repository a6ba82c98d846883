#pragma once

#include "flash-writer.h"
#include "stellaris-sim.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

// A processor driver stand-in over the simulated Stellaris chip: memory
// goes through the chip's debug bus, run control through its debug
// registers, and the loader really runs on the chip's Thumb core. It logs
// the loader commands it starts and can make a command misbehave.
class TSimFlashTarget : public IFlashTarget {
public:
  struct TCommand {
    uint32_t Code = 0;
    std::vector<uint32_t> Parameters; // the four parameter words
  };
  // How a command of one code is made to misbehave.
  enum class TMisbehaviour { None, ForceStatus, NeverStops, DiesSilently };
  struct TFault {
    TMisbehaviour Kind = TMisbehaviour::None;
    uint32_t Status = 0;     // for ForceStatus
    unsigned Occurrence = 0; // 0: every command of the code; n: only its n-th
  };

  explicit TSimFlashTarget(unsigned AFlashKb = 256, unsigned ASramKb = 64);

  bool MemoryRead(uint32_t ASpace, PMemoryArray ABuffer, uint64_t AAddress,
                  uint32_t ACount) override;
  bool MemoryWrite(uint32_t ASpace, PMemoryArray ABuffer, uint64_t AAddress,
                   uint32_t ACount) override;
  void ResetProcessor() override;
  void PauseProcessor() override;
  void ContinueProcessor() override;
  bool ProcessorIsRunning() override;
  bool SetCoreRegister(TCoreRegister ARegister, uint32_t AValue) override;
  void AddSoftBreakpoint(uint32_t ASpace, uint64_t AAddress) override;

  TStellarisChip& Chip() { return FSim.Chip(); }
  TSimFaults& Faults() { return FSim.Faults(); }
  std::vector<uint8_t> Sram();
  // Fills SRAM with a pattern no loader leaves behind.
  void ScrambleSram(uint32_t ASeed);

  void SetFault(uint32_t ACode, TFault AFault) { FFaults[ACode] = AFault; }
  const std::vector<TCommand>& Commands() const { return FCommands; }
  std::vector<TCommand> CommandsOf(uint32_t ACode) const;
  // Every call the writer made, whatever it was.
  unsigned CallCount() const { return FCalls; }
  unsigned PauseCount() const { return FPauses; }
  unsigned RunningPolls() const { return FRunningPolls; }
  const std::vector<std::pair<TCoreRegister, uint32_t>>& RegisterWrites() const {
    return FRegisterWrites;
  }

private:
  uint32_t ReadWord(uint32_t AAddress);
  void WriteWord(uint32_t AAddress, uint32_t AValue);

  TStellarisSim FSim;
  std::map<uint32_t, TFault> FFaults;
  std::map<uint32_t, unsigned> FSeen;
  std::vector<TCommand> FCommands;
  std::vector<std::pair<TCoreRegister, uint32_t>> FRegisterWrites;
  const TFault* FActive = nullptr;
  bool FPatched = false;
  uint32_t FPatchedWord = 0; // the loader word a fault replaced
  unsigned FCalls = 0, FPauses = 0, FRunningPolls = 0;
};
