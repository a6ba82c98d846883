#pragma once

#include "flash-writer.h"
#include "stellaris-sim.h"
#include "tarvo-driver.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

// A processor driver over the simulated Stellaris chip, reached as a writer
// reaches its driver: run control and registers by DISPID through the
// driver's dispatch, memory through its IMemoryAccess. Memory goes through
// the chip's debug bus, run control through its debug registers, and the
// loader really runs on the chip's Thumb core. Registers are numbered as the
// ARMv7-M drivers number them. It logs the loader commands it starts and
// can make a command misbehave.
class TSimFlashTarget : public TTarvoDriver {
public:
  enum class TCoreRegister { PC, SP, XPSR };
  static constexpr int32_t kPcIndex = 29, kSpIndex = 13, kXpsrIndex = 16;

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

  // The driver as a writer holds it.
  ITarvoDriver Driver() { return ITarvoDriver::FromDispatch(static_cast<IDispatch*>(this)); }

  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress,
                                       int32_t ACount, TLongBool* ASuccess) override;
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress,
                                        int32_t ACount, TLongBool* ASuccess) override;
  HRESULT ResetProcessor() override;
  HRESULT PauseProcessor() override;
  HRESULT ContinueProcessor() override;
  HRESULT ProcessorIsRunning(TBoolean* AResult) override;
  HRESULT GetRegisterIndex_PC(int32_t* AResult) override;
  HRESULT GetRegisterIndex_SP(int32_t* AResult) override;
  HRESULT SetProcessorRegisterValue(int32_t AIndex, uint32_t AValue, TBoolean* AResult) override;

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
