#pragma once

#include "processor-driver.h"

#include "contract-params.h"
#include "host-records.h"
#include "memory-array.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What went wrong on the raw JTAG road. The host is told nothing of these
// (reads answer 0, writes and commands are dropped, the operation answers
// S_OK), so every such event is counted here for whoever needs to know.
struct TArmDiagnostics {
  unsigned WaitRepeats = 0;    // scans sent again after a WAIT acknowledge
  unsigned FailedAccesses = 0; // accesses whose acknowledge never became OK/FAULT
  unsigned StickyErrors = 0;   // sticky flags found by a transaction check
  unsigned AccessRedos = 0;    // whole accesses redone after a sticky recovery
  unsigned PowerUpFailures = 0;
  unsigned DroppedReads = 0; // reads that answered 0 because the target failed
  unsigned DroppedWrites = 0;
  unsigned DroppedCommands = 0;  // run-control commands the target did not take
  unsigned RegisterNotReady = 0; // core register transfers S_REGRDY never confirmed
};

// The first layer of the ARM drivers: one byte-wide memory space "Main", the
// classic 47-register model, nested transactions, memory split into byte and
// word accesses, and the IARMEmbeddedICE face. Most of its own operations are
// placeholders the layers below fill in.
class TARMBase : public TTarvoProcessorDriver {
public:
  using TTarvoProcessorDriver::TTarvoProcessorDriver;

  // What a memory access answers when the target did not take the transfer.
  static constexpr HRESULT kTransferFailed = E_FAIL;

  // ---- own virtual operations ---------------------------------------------
  virtual HRESULT ReadRegister(int32_t AIndex, uint32_t* AValue);
  virtual HRESULT WriteRegister(int32_t AIndex, uint32_t AValue);
  virtual HRESULT ReadMemory_Byte(uint32_t AAddress, uint32_t* AValue);
  virtual HRESULT ReadMemory_HalfWord(uint32_t AAddress, uint32_t* AValue);
  virtual HRESULT ReadMemory_Word(uint32_t AAddress, uint32_t* AValue);
  virtual HRESULT WriteMemory_Byte(uint32_t AAddress, uint32_t AValue);
  virtual HRESULT WriteMemory_HalfWord(uint32_t AAddress, uint32_t AValue);
  virtual HRESULT WriteMemory_Word(uint32_t AAddress, uint32_t AValue);
  virtual HRESULT ReadBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount);
  virtual HRESULT ReadWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress, int32_t ACount);
  virtual HRESULT ReadMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount);
  virtual HRESULT WriteBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                             int32_t ACount);
  virtual HRESULT WriteWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                             int32_t ACount);
  virtual HRESULT WriteMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount);
  virtual HRESULT SaveState();
  virtual HRESULT RestoreState();
  virtual HRESULT ClearState();
  virtual HRESULT ChangeToARMState();
  virtual HRESULT ChangeToThumbState();
  virtual HRESULT InitWatchPoints();
  virtual HRESULT GetTranslationTableBase(int64_t* ABase);
  virtual HRESULT TranslateVirtualAddress(int64_t AAddress, int32_t& ACacheBits, int32_t& ADomain,
                                          int32_t& AAccess, int64_t* APhysical);
  virtual HRESULT ReadPhysicalMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount);
  virtual HRESULT WritePhysicalMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount);
  virtual HRESULT HasTinyPages(TBoolean* AResult);
  virtual HRESULT EnableMMUCaches();
  virtual HRESULT DisableMMUCaches();
  virtual HRESULT DisableMMUCaches(int32_t AFirst, int32_t ASecond, int32_t AThird);
  virtual HRESULT InitializeMemory();
  virtual HRESULT OpenJtagChannel();
  virtual HRESULT CloseJtagChannel();
  virtual HRESULT SetICERegister(int32_t ARegister, uint32_t AValue);
  virtual HRESULT GetICERegister(int32_t ARegister, uint32_t* AValue);

  // ---- driver contract ------------------------------------------------------
  HRESULT GetProcessorRegisterCount(int32_t* AResult) override;
  HRESULT GetProcessorRegisterName(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetProcessorRegisterShortName(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetProcessorRegisterWidth(int32_t AIndex, uint32_t* AResult) override;
  HRESULT GetRegisterIndex_PC(int32_t* AResult) override;
  HRESULT GetRegisterIndex_SP(int32_t* AResult) override;
  HRESULT GetProcessorRegisterValue(int32_t AIndex, uint32_t* AResult) override;
  HRESULT SetProcessorRegisterValue(int32_t AIndex, uint32_t AValue, TBoolean* AResult) override;
  HRESULT GetMemorySpaceCount(int32_t* AResult) override;
  HRESULT GetMemorySpace_Program(int32_t* AResult) override;
  HRESULT GetMemorySpaceName(int32_t ASpace, std::wstring* AResult) override;
  HRESULT GetMemorySpaceShortName(int32_t ASpace, std::wstring* AResult) override;
  HRESULT GetMemorySpaceWidth(int32_t ASpace, uint32_t* AResult) override;
  HRESULT GetMemorySpaceBytesPerUnit(int32_t ASpace, uint32_t* AResult) override;
  HRESULT GetMemorySpaceKind(int32_t ASpace, TMemorySpaceKind* AResult) override;
  HRESULT GetMemorySpaceLength(int32_t ASpace, int64_t* AResult) override;
  HRESULT GetSoftBreakpointAddressByteAlign(int32_t* AResult) override;
  HRESULT AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) override;
  HRESULT RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                               TBoolean* AResult) override;
  HRESULT InitDownload(int32_t AValue, TBoolean* AResult) override;
  HRESULT FinishDownload(int32_t AValue, TBoolean* AResult) override;
  HRESULT RunDiagnostic(TBoolean* AResult) override;
  HRESULT LittleEndian(TBoolean* AResult) override;
  HRESULT RunSingleStepInSubstitutionRegister() override;
  HRESULT ResetTarvoRegisters() override;
  HRESULT ResetProcessor() override;
  HRESULT RunSteps(int32_t ACount) override;
  HRESULT ProcessorIsRunning(TBoolean* AResult) override;
  HRESULT ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) override;
  HRESULT ResetDevice(TBoolean* AResult) override;
  HRESULT GetDeviceState(TDeviceState* AResult) override;
  HRESULT Supports(const std::wstring& AFeature, TBoolean* AResult) override;
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;
  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  // The ARM controller panel.
  TInstrumentForm* CreateRackForm() override;

  // IMemoryAccess for memory space 0.
  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t AMemorySpace, PMemoryArray ABuffer, int64_t AAddress,
                                       int32_t ACount, TLongBool* ASuccess) override;
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t AMemorySpace, PMemoryArray ABuffer,
                                        int64_t AAddress, int32_t ACount,
                                        TLongBool* ASuccess) override;

  // Nested transactions: the host's transaction is opened by the outermost
  // begin and closed by its matching end.
  void TransactionBegin() override;
  void TransactionEnd() override;
  int TransactionDepth() const { return FTransactionDepth; }

  const TArmDiagnostics& Diagnostics() const { return FDiagnostics; }
  // The diagnostic line list; absent (lines dropped) until switched on.
  void EnableDebugLogging() { FDebugLogging = std::make_unique<std::vector<std::wstring>>(); }
  const std::vector<std::wstring>* DebugLines() const { return FDebugLogging.get(); }

  // ---- IARMEmbeddedICE operations the host reaches by DISPID only ----------
  HRESULT IceOpenJtagChannel() { return OpenJtagChannel(); }
  HRESULT IceCloseJtagChannel() { return CloseJtagChannel(); }
  HRESULT IceSetICERegister(int32_t ARegister, int32_t AValue);
  HRESULT IceGetICERegister(int32_t ARegister, int32_t* AValue);
  HRESULT IceReadRegister(int32_t AIndex, int32_t* AValue);
  HRESULT IceWriteRegister(int32_t AIndex, int32_t AValue);
  HRESULT IceReadModeRegister(int32_t ARegister, int32_t AMode, int32_t* AValue);
  HRESULT IceWriteModeRegister(int32_t ARegister, int32_t AValue, int32_t AMode);
  HRESULT IceReadMemory_Byte(int32_t AAddress, int32_t* AValue);
  HRESULT IceReadMemory_HalfWord(int32_t AAddress, int32_t* AValue);
  HRESULT IceReadMemory_Word(int32_t AAddress, int32_t* AValue);
  HRESULT IceWriteMemory_Byte(int32_t AAddress, int32_t AValue);
  HRESULT IceWriteMemory_HalfWord(int32_t AAddress, int32_t AValue);
  HRESULT IceWriteMemory_Word(int32_t AAddress, int32_t AValue);
  HRESULT IceSaveState() { return SaveState(); }
  HRESULT IceRestoreState() { return RestoreState(); }
  HRESULT IceClearState() { return ClearState(); }
  HRESULT IceSwitchProcessorMode_Begin(int32_t AMode);
  HRESULT IceSwitchProcessorMode_End();
  HRESULT IceChangeToARMState() { return ChangeToARMState(); }
  HRESULT IceChangeToThumbState() { return ChangeToThumbState(); }
  HRESULT IceInitWatchPoints() { return InitWatchPoints(); }
  HRESULT IceGetTranslationTableBase(int64_t* ABase) { return GetTranslationTableBase(ABase); }
  HRESULT IceTranslateVirtualAddress(int64_t AAddress, TDataWord ACacheBits, TDataWord ADomain,
                                     TDataWord AAccess, int64_t* APhysical);
  HRESULT IceHasTinyPages(TBoolean* AResult) { return HasTinyPages(AResult); }
  HRESULT IceEnableMMUCaches() { return EnableMMUCaches(); }
  HRESULT IceDisableMMUCaches() { return DisableMMUCaches(); }
  HRESULT IceDisableMMUCaches3(TDataWord, TDataWord, TDataWord) { return S_OK; }
  HRESULT IceInitializeMemory() { return InitializeMemory(); }

protected:
  // The mode-register access of the classic cores; placeholders here.
  virtual HRESULT ReadModeRegister(int32_t ARegister, int32_t AMode, uint32_t* AValue);
  virtual HRESULT WriteModeRegister(int32_t ARegister, uint32_t AValue, int32_t AMode);
  virtual HRESULT SwitchProcessorMode_Begin(int32_t AMode);
  virtual HRESULT SwitchProcessorMode_End();

  // The host's workbench and embedded-memory manager; a test replaces them.
  virtual ITarvoWorkbench Workbench();
  virtual IEmbeddedMemoryManager EmbeddedMemoryManager();
  // The workbench's device link of the bound device: the first link, on a
  // port with a JTAG port, whose device identifier equals the bound device's
  // ignoring case. Empty when there is none.
  IDeviceLink FindDeviceLink();
  // Writes the initial values of the embedded project linked to the bound
  // device. With AMergeByName an entry is or-ed with the value the first
  // entry of the same name (ignoring case) carried.
  void WriteInitialValues(bool AMergeByName);

  // Diagnostic lines; dropped while the line list is absent.
  void LogDebug(const std::wstring& AText);
  void LogError(const std::wstring& AText);

  // Channel bracket that also closes when an exception passes.
  class TChannelScope {
  public:
    explicit TChannelScope(TARMBase& ADriver);
    ~TChannelScope();
    TChannelScope(const TChannelScope&) = delete;
    TChannelScope& operator=(const TChannelScope&) = delete;

  private:
    TARMBase& FDriver;
  };
  class TTransactionScope {
  public:
    explicit TTransactionScope(TARMBase& ADriver) : FDriver(ADriver) { FDriver.TransactionBegin(); }
    ~TTransactionScope() {
      try {
        FDriver.TransactionEnd();
      } catch (...) {
      }
    }
    TTransactionScope(const TTransactionScope&) = delete;
    TTransactionScope& operator=(const TTransactionScope&) = delete;

  private:
    TARMBase& FDriver;
  };

  // The success of a block transfer from its result and its dropped units.
  HRESULT AnswerTransfer(HRESULT AResult, bool ANothingDropped, TLongBool* ASuccess);

  bool FDownloading = false;
  int FTransactionDepth = 0;
  // Whether the outermost begin opened the host's transaction; an unbound
  // driver has none to open.
  bool FHostTransactionOpen = false;
  TArmDiagnostics FDiagnostics;
  std::unique_ptr<std::vector<std::wstring>> FDebugLogging;
};
