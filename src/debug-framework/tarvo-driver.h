#pragma once

// The generic driver the host binds to one device on a JTAG chain. Every
// operation of the device-information and driver contracts has a safe
// answer here, so a device class overrides only what its hardware does.
// The operations that reach the bound device (channel, transactions, the
// debug control register and the generic debug registers) are the ones
// every scanning layer builds on.

#include "contracts.h"
#include "host-records.h"
#include "memory-access.h"
#include "rack-form.h"

#include <windows.h>

#include <cstdint>
#include <string>

// TAP states as the host's JTAG channel numbers them.
enum TJTagState : int32_t {
  eJTagState_IDLE = 2,
  eJTagState_DRSHIFT = 5,
  eJTagState_DREXIT1 = 6,
};

// Bits of the 8-bit debug control register.
inline constexpr uint8_t kControlStepCounterBreakpointEnable = 0x80;
inline constexpr uint8_t kControlReset = 0x20;
inline constexpr uint8_t kControlDebugEnable = 0x10;
inline constexpr uint8_t kControlDebugAcknowledge = 0x08;
inline constexpr uint8_t kControlDebugRequest = 0x04;
inline constexpr uint8_t kControlDebugStep = 0x02;
inline constexpr uint8_t kControlDebuggerProgramSelect = 0x01;

// Debug register address of the control register, and its width.
inline constexpr int32_t kControlRegisterAddress = 0x40;
inline constexpr int32_t kControlRegisterWidth = 8;

// Debug register address of a register index, 8 entries; the write bit
// (0x80) is added on writes.
inline constexpr uint8_t kDebugRegisterAddresses[] = {0x01, 0x02, 0x04, 0x08,
                                                      0x10, 0x20, 0x40, 0x90};
inline constexpr uint8_t kDebugRegisterWriteBit = 0x80;

// Raised for a register index the address table does not cover.
class EDebugRegisterIndex : public Exception {
public:
  using Exception::Exception;
};

class TTarvoDriver : public TAbstractTarvoDriver, public IMemoryAccess {
public:
  explicit TTarvoDriver(const std::wstring& ACoreExt = std::wstring());
  ~TTarvoDriver() override;

  // ---- IUnknown: references are not counted; the driver lives until the
  // plug-in unloads. Also hands out IMemoryAccess.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ---- device-information contract
  HRESULT GetIdCode(uint32_t* AResult) override;
  HRESULT GetDeviceName(std::wstring* AResult) override;
  HRESULT GetDeviceDescription(std::wstring* AResult) override;
  HRESULT GetFamilyName(std::wstring* AResult) override;
  HRESULT GetFamilyDescription(std::wstring* AResult) override;
  HRESULT GetLibraryName(std::wstring* AResult) override;
  HRESULT GetVendorPrimitiveLibraryName(std::wstring* AResult) override;
  HRESULT GetBaseName(std::wstring* AResult) override;
  HRESULT GetEquivalentGatesForBase(int32_t* AResult) override;
  HRESULT GetMaxIOForBase(int32_t* AResult) override;
  HRESULT GetPackageTypeId(std::wstring* AResult) override;
  HRESULT GetPackageTypeName(std::wstring* AResult) override;
  HRESULT GetPackageTypeDescription(std::wstring* AResult) override;
  HRESULT GetPackageId(std::wstring* AResult) override;
  HRESULT GetPackageName(std::wstring* AResult) override;
  HRESULT GetPackageDescription(std::wstring* AResult) override;
  HRESULT GetPackageDimensions(std::wstring* AResult) override;
  HRESULT GetTemperatureGradeId(std::wstring* AResult) override;
  HRESULT GetTemperatureGradeName(std::wstring* AResult) override;
  HRESULT GetTemperatureGradeDescription(std::wstring* AResult) override;
  HRESULT GetSpeedGradeId(std::wstring* AResult) override;
  HRESULT GetSpeedGradeName(std::wstring* AResult) override;
  HRESULT GetSpeedGradeDescription(std::wstring* AResult) override;
  HRESULT GetOptionDesignatorId(std::wstring* AResult) override;
  HRESULT GetOptionDesignatorName(std::wstring* AResult) override;
  HRESULT GetOptionDesignatorDescription(std::wstring* AResult) override;
  HRESULT GetBSDLFilename(std::wstring* AResult) override;
  HRESULT GetBSDLEntity(IBSDLEntity* AResult) override;
  HRESULT GetVendorName(std::wstring* AResult) override;
  HRESULT GetInstructionLength(int32_t* AResult) override;
  HRESULT GetDevicePinCount(int32_t* AResult) override;
  HRESULT GetDeviceIOCount(int32_t* AResult) override;
  HRESULT GetDevicePin(int32_t AIndex, IDevicePin* AResult) override;
  HRESULT GetDownloadFileExtensions(std::wstring* AResult) override;
  HRESULT GetDSPMultiplierCount(int32_t* AResult) override;
  HRESULT GetClockManagerCount(int32_t* AResult) override;
  HRESULT GetMemorySize(int32_t* AResult) override;
  HRESULT GetTerminationSupport(TBoolean* AResult) override;
  HRESULT GetGlobalClockCount(int32_t* AResult) override;
  HRESULT GetConfigMemorySize(int32_t* AResult) override;
  HRESULT GetDiffPairCount(int32_t* AResult) override;
  HRESULT GetHighSpeedDiffPairCount(int32_t* AResult) override;
  HRESULT GetIOStandardCount(int32_t* AResult) override;
  HRESULT GetIOStandard(int32_t AIndex, IDeviceIOStandard* AResult) override;
  HRESULT GetDeviceDisplayName(std::wstring* AResult) override;
  HRESULT GetDeviceParameter(const std::wstring& AName, std::wstring* AResult) override;

  // ---- driver contract
  HRESULT GetTarvoDevice(ITarvoDevice* AResult) override;
  HRESULT SetTarvoDevice(const ITarvoDevice& ADevice, TBoolean* AResult) override;
  HRESULT Finalize(TBoolean* AResult) override;
  HRESULT GetBitmapHandle(uint32_t* AResult) override;
  HRESULT SaveProcessorState(TBoolean* AResult) override;
  HRESULT RestoreProcessorState(TBoolean* AResult) override;
  HRESULT CreateRackViewer() override;
  HRESULT GetRackViewer(IInstrumentView* AResult) override;
  HRESULT Supports(const std::wstring& AFeature, TBoolean* AResult) override;
  HRESULT ShowAboutDialog() override;
  HRESULT VendorToolsDescriptor(std::wstring* AResult) override;
  HRESULT VendorToolsPresent(TBoolean* AResult) override;
  HRESULT VendorToolsUpToDate(TBoolean* AResult) override;
  HRESULT SetProcessorRegisterValue(int32_t AIndex, uint32_t AValue, TBoolean* AResult) override;
  HRESULT GetProcessorRegisterValue(int32_t AIndex, uint32_t* AResult) override;
  HRESULT GetProcessorRegisterWidth(int32_t AIndex, uint32_t* AResult) override;
  HRESULT GetProcessorRegisterName(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetProcessorRegisterShortName(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetProcessorRegisterCount(int32_t* AResult) override;
  HRESULT GetRegisterIndex_PC(int32_t* AResult) override;
  HRESULT GetRegisterIndex_SP(int32_t* AResult) override;
  HRESULT GetSoftBreakpointAddressByteAlign(int32_t* AResult) override;
  HRESULT GetMemorySpaceWidth(int32_t ASpace, uint32_t* AResult) override;
  HRESULT GetMemorySpaceKind(int32_t ASpace, TMemorySpaceKind* AResult) override;
  HRESULT GetMemorySpaceBytesPerUnit(int32_t ASpace, uint32_t* AResult) override;
  HRESULT GetMemorySpaceName(int32_t ASpace, std::wstring* AResult) override;
  HRESULT GetMemorySpaceShortName(int32_t ASpace, std::wstring* AResult) override;
  HRESULT GetMemorySpaceCount(int32_t* AResult) override;
  HRESULT GetMemorySpace_Program(int32_t* AResult) override;
  HRESULT InitDownload(int32_t AValue, TBoolean* AResult) override;
  HRESULT FinishDownload(int32_t AValue, TBoolean* AResult) override;
  HRESULT RunDiagnostic(TBoolean* AResult) override;
  HRESULT LittleEndian(TBoolean* AResult) override;
  HRESULT ResetDevice(TBoolean* AResult) override;
  HRESULT GetDeviceState(TDeviceState* AResult) override;
  HRESULT ProgramDevice(const std::wstring& AFileName, int32_t* AResult) override;
  HRESULT ReadUserCode(uint32_t* AResult) override;
  HRESULT FlowStage_Build(IProcessFlow* AResult) override;
  HRESULT FlowStage_Download(IProcessFlow* AResult) override;
  HRESULT CoreGen_OutputExtension(std::wstring* AResult) override;
  HRESULT ResetTarvoRegisters() override;
  HRESULT SingleStepProcessor() override;
  HRESULT RunSingleStepInSubstitutionRegister() override;
  HRESULT ResetProcessor() override;
  HRESULT PauseProcessor() override;
  HRESULT ContinueProcessor() override;
  HRESULT RunSteps(int32_t ACount) override;
  HRESULT ProcessorIsPaused(TBoolean* AResult) override;
  HRESULT ProcessorIsReset(TBoolean* AResult) override;
  HRESULT ProcessorIsRunning(TBoolean* AResult) override;
  HRESULT ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) override;
  HRESULT Flash_Reset(TBoolean* AResult) override;
  HRESULT Flash_Program(const std::wstring& AFileName, int32_t* AResult) override;
  HRESULT Flash_Configure() override;
  HRESULT SetProcessorRegisterWideValue(int32_t AIndex, const std::wstring& AValue,
                                        TBoolean* AResult) override;
  HRESULT GetProcessorRegisterWideValue(int32_t AIndex, std::wstring* AResult) override;
  HRESULT ConfigureFpgaProject(const IProject& AProject, TBoolean* AResult) override;
  HRESULT ShowConfiguration(TBoolean* AResult) override;
  HRESULT ShowCurrentSensePanel() override;
  HRESULT ReleaseResources() override;
  HRESULT InvalidateResources(TBoolean* AResult) override;
  HRESULT CustomAction_Execute(int32_t AAction) override;
  HRESULT CustomAction_GetState(int32_t AAction, TBoolean& AState1, TBoolean& AState2,
                                TBoolean& AState3, TDataWord AExtra1, TDataWord AExtra2) override;
  HRESULT EPM_Download(const std::wstring& AFirst, const std::wstring& ASecond,
                       const std::wstring& AThird, TBoolean* AResult) override;
  HRESULT EPM_InititateTest(TBoolean* AResult) override;
  HRESULT EPM_GetTestResult(int32_t AIndex, int32_t* AResult) override;
  HRESULT EPM_SetPercentCallBack(const IPercentCallback& ACallback) override;
  HRESULT Flash_ResetForBitStream(TBoolean* AResult) override;
  HRESULT GetEmbeddedConstraintFile(std::wstring* AResult) override;
  HRESULT SetEmbeddedConstraintFile(const std::wstring& AFileName) override;
  HRESULT AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) override;
  HRESULT RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                               TBoolean* AResult) override;
  HRESULT GetMemorySpaceLength(int32_t ASpace, int64_t* AResult) override;
  HRESULT GetFolder_Library(std::wstring* AResult) override;
  HRESULT ClockCoreGenerator(IClockCoreGenerator* AResult) override;
  HRESULT ClockCoreTemplateGenerator(IClockCoreTemplateGenerator* AResult) override;
  HRESULT ClockGeneratorTargetCore(ITargetCoreGenerator* AResult) override;
  HRESULT CustomCoreGenerator(int32_t AIndex, ICustomCoreGenerator* AResult) override;

  // ---- new virtual operations
  virtual int32_t GetDebugAddressInstruction(); // 3
  virtual int32_t GetDebugDataInstruction();    // 4
  // False and no object in the generic driver.
  virtual bool GetProcessorInformation(IDeviceProcessorInformation& AInformation);
  virtual bool IsCPLD();
  virtual bool IsFPGA();
  virtual bool IsPROM();
  virtual bool IsHardProcessor();
  virtual bool IsSoftProcessor();
  virtual bool IsGenericProcessor();
  // Stage 0 build, 1 download; empty in the generic driver.
  virtual IProcessFlow CreateProcessFlow(int32_t AStage);
  virtual TInstrumentViewClass GetRackViewClass();
  // A new rack form the caller owns, or nullptr.
  virtual TInstrumentForm* CreateRackForm();
  virtual TInstrumentForm* GetRackForm();
  // Open the channel and begin the device's transaction; end it and close.
  // No depth is counted here: every begin opens and every end closes.
  virtual void TransactionBegin();
  virtual void TransactionEnd();
  virtual void WriteControlRegister();
  virtual void ReadControlRegister();
  virtual void OpenChannel();
  virtual void CloseChannel();

  // ---- IMemoryAccess: the generic driver transfers nothing.
  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t AMemorySpace, PMemoryArray ABuffer, int64_t AAddress,
                                       int32_t ACount, TLongBool* ASuccess) override;
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t AMemorySpace, PMemoryArray ABuffer,
                                        int64_t AAddress, int32_t ACount,
                                        TLongBool* ASuccess) override;

  // ---- the bound device and its channel
  IJTagChannel GetJTagChannel(); // empty while unbound
  int32_t GetJTagIndex();        // 0 while unbound
  IJTagDevice GetJTagDevice();   // empty without a channel

  // ---- generic debug registers: the value or bits captured while the
  // value is shifted through the data register. Indexes outside the
  // address table raise EDebugRegisterIndex; no channel gives 0 or "0".
  uint32_t AccessDebugRegister(int32_t AIndex, uint32_t AValue, bool AWrite);
  uint32_t ReadDebugRegister(int32_t AIndex);
  uint32_t WriteDebugRegister(int32_t AIndex, uint32_t AValue);
  std::wstring AccessDebugRegisterText(int32_t AIndex, const std::wstring& ABits, bool AWrite);
  std::wstring ReadDebugRegisterText(int32_t AIndex);
  std::wstring WriteDebugRegisterText(int32_t AIndex, const std::wstring& ABits);

  // ---- the debug control register image, bit by bit
  uint8_t ControlRegister() const { return FControlRegister; }
  void SetControlRegister(uint8_t AValue) { FControlRegister = AValue; }
  bool StepCounterBreakpointEnable() const { return Bit(kControlStepCounterBreakpointEnable); }
  void SetStepCounterBreakpointEnable(bool AValue) {
    SetBit(kControlStepCounterBreakpointEnable, AValue);
  }
  bool Reset() const { return Bit(kControlReset); }
  void SetReset(bool AValue) { SetBit(kControlReset, AValue); }
  bool DebugEnable() const { return Bit(kControlDebugEnable); }
  void SetDebugEnable(bool AValue) { SetBit(kControlDebugEnable, AValue); }
  bool DebugAcknowledge() const { return Bit(kControlDebugAcknowledge); }
  void SetDebugAcknowledge(bool AValue) { SetBit(kControlDebugAcknowledge, AValue); }
  bool DebugRequest() const { return Bit(kControlDebugRequest); }
  void SetDebugRequest(bool AValue) { SetBit(kControlDebugRequest, AValue); }
  bool DebugStep() const { return Bit(kControlDebugStep); }
  void SetDebugStep(bool AValue) { SetBit(kControlDebugStep, AValue); }
  bool DebuggerProgramSelect() const { return Bit(kControlDebuggerProgramSelect); }
  void SetDebuggerProgramSelect(bool AValue) { SetBit(kControlDebuggerProgramSelect, AValue); }

  // ---- constraint files and the device picture
  // The first existing file of the search places for AName (see
  // constraint-file.h); False and an empty path when none exists.
  bool FindConstraintFile(const std::wstring& AName, std::wstring& AFullPath);
  // The generic picture with the family's image centred on it; nullptr
  // without the generic picture. The caller owns the bitmap.
  HBITMAP BuildDeviceBitmap(const std::wstring& AName);

  // The object's own reference as a 32-bit value.
  uintptr_t GetObject() const { return reinterpret_cast<uintptr_t>(this); }
  const std::wstring& CustomConstraintFile() const { return FCustomConstraintFile; }

protected:
  // The virtual operations' plain answers, for code that is not at a COM
  // boundary: a failing HRESULT raises EOleSysError.
  std::wstring DeviceName();
  std::wstring FamilyName();
  std::wstring VendorName();
  int32_t ProcessorRegisterCount();
  int32_t ProcessorRegisterWidth(int32_t AIndex);
  bool PauseAsOwn();

  ITarvoDevice FTarvoDevice;
  HBITMAP FDeviceImage = nullptr;
  HBITMAP FDeviceAboutImage = nullptr;
  IPercentCallback FCallBack;
  std::wstring FCustomConstraintFile;
  IProcessFlow FBuildFlow;
  IProcessFlow FDownloadFlow;
  IProcessFlow FVerifyFlow;
  TInstrumentForm* FRackForm = nullptr;
  IInstrumentView FRackView;
  uint8_t FControlRegister = 0;
  std::wstring FCoreExt;

private:
  bool Bit(uint8_t AMask) const { return (FControlRegister & AMask) != 0; }
  void SetBit(uint8_t AMask, bool AValue) {
    FControlRegister =
        AValue ? uint8_t(FControlRegister | AMask) : uint8_t(FControlRegister & ~AMask);
  }
  // The address byte of a register index for a read or a write.
  static uint8_t DebugRegisterAddress(int32_t AIndex, bool AWrite);
  // Steps shared by both register accesses: address scan, then the data
  // register selected and the TAP in DRSHIFT; answers the bit count.
  int32_t SelectDebugRegister(const IJTagChannel& AChannel, int32_t AIndex, bool AWrite);
};

// Raises EOleSysError for a failing HRESULT of an own operation.
void CheckOperation(HRESULT AResult, const wchar_t* AOperation);
