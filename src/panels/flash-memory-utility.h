#pragma once

// The flash memory utility: the modal dialog in which the user writes a
// program image to the target's flash and verifies it, erases flash by
// address range, sector range or whole device, checks sectors for
// blankness and queries a CFI flash chip. It never touches flash itself:
// every operation is a call on the selected flash writer of the driver's
// list, which may be one of the plug-in's remote-execute writers or a
// host's. The dialog is the writers' progress and abort callback while it
// is open.

#include "com-ptr.h"
#include "flash-unit-converters.h"
#include "flash-writer.h"
#include "forms.h"
#include "host-records.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TXPExtPanel;
class TXPGroupBox;
class TXPLabel;
class TXPComboBox;
class TXPHistoryEdit;
class TXPCheckBox;
class TXPRadioButton;
class TXPBitBtn;
class TXPProgressBar;
class TVEKAbstractRemoteExecuteBaseDriver;
class TRemoteExecuteBaseDriverSerialFlash;
class TRemoteExecuteBaseDriverParallelFlash;
class TRemoteExecuteBaseDriverCFIFlash;
class TFlashMemoryUtilityCallback;

enum TControllerState { eControlState_Idle, eControlState_Working };
enum TDownloadMode { eDownloadMode_Project, eDownloadMode_File };

// Shows the answer of a CFI query that found a chip, modally over the
// dialog.
void ShowCfiFlashQueryResult(TCustomForm& AOwner, const TRemoteCommandResult& AResult);

class TFlashMemoryUtilityForm;

// The scope of one operation on the target: the operation controls
// disabled, Abort and the progress bar shown and the writer's loader
// installed for its lifetime; idle again, loader uninstalled and the bar
// hidden when it ends, also by an exception.
class TFlashUtilityTransaction {
public:
  explicit TFlashUtilityTransaction(TFlashMemoryUtilityForm& AForm);
  ~TFlashUtilityTransaction();
  TFlashUtilityTransaction(const TFlashUtilityTransaction&) = delete;
  TFlashUtilityTransaction& operator=(const TFlashUtilityTransaction&) = delete;

private:
  TFlashMemoryUtilityForm& FFlashUtilityForm;
};

class TFlashMemoryUtilityForm : public TCustomForm {
public:
  static constexpr int kProgressMax = 1000;
  // The writers' own memory-space index for everything the dialog does.
  static constexpr int32_t kGlobalSpace = 0;
  // The loader's whole-chip erase command.
  static constexpr int32_t kActionEraseAll = 58;
  // The embedded-memory category of flash images.
  static constexpr int32_t kFlashMemoryCategory = 3;

  TFlashMemoryUtilityForm(const IFlashWriters& AFlashWriters, const IDeviceLink& ADeviceLink);
  // Hands every writer an empty callback first, so none calls a freed form.
  ~TFlashMemoryUtilityForm() override;
  std::wstring ClassName() const override { return L"TFlashMemoryUtilityForm"; }

  // The form's automation interface, handed to every writer as its
  // callback: 508715 sets the progress, 508716 answers the abort query.
  IDispatch* AutomationInterface() const;
  virtual HRESULT InvokeCallback(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                 DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                 UINT* AArgErr);
  void OnFlashWriter_ProgressUpdate(int32_t APosition);
  bool OnFlashWriter_Abort();

  // ---- state --------------------------------------------------------------
  void SetControllerState(TControllerState AState, bool AForce = false);
  TControllerState CurrentState() const { return FCurrentState; }
  TDownloadMode CurrentDownloadMode() const { return FCurrentDownloadMode; }
  void SetDownloadMode(TDownloadMode AMode);
  void EnableFlashOperations(bool AEnable);
  void ShowFlashInformation(bool AShow);
  bool CheckAbort();
  bool AbortRequested() const { return FAbort; }
  void SetAbort(bool AValue) { FAbort = AValue; }
  void SetProgress(int APosition);
  void StepProgress(int AStep);
  bool Initialized() const { return FInitialized; }
  const IFlashWriter& FlashUtility() const { return FFlashUtility; }
  const std::wstring& TargetAddressSave() const { return FTargetAddressSave; }

  // ---- the flash-device list and settings -----------------------------------
  void FillFlashDeviceList();
  void UpdateFlashSettings();
  void ApplyFlashSettings();
  bool ApplySPISettings();
  void SetFlashMemorySpace(int64_t ABase, int64_t ASize, int64_t AWidth);
  void SetWritersCallback(const IFlashWriterCallback& ACallback);
  // The writer an item of the device list stands for (not counted).
  IDispatch* DeviceItemWriter(int AIndex) const;

  // ---- the operations -------------------------------------------------------
  int32_t WriteOrVerify(bool AVerify);
  std::wstring GetProjectImageFile();
  // An open dialog for an image; empty when cancelled.
  std::wstring ChooseDownloadFile(const std::wstring& AInitialDir);

  // ---- event handlers -------------------------------------------------------
  void FlashDeviceChange(TControl* ASender);
  void SPIInstancesDropDownListChange(TControl* ASender);
  void EditFlashBaseAddressChange(TControl* ASender);
  void comboFlashWidthsChange(TControl* ASender);
  void comboFlashSizeUnitsChange(TControl* ASender);
  void RadioDownloadCurrentProjectClick(TControl* ASender);
  void radioDownloadFileClick(TControl* ASender);
  void EditFilenameButton2Click(TControl* ASender);
  void buttonAbortClick(TControl* ASender);
  void ButtonDownloadToFlashClick(TControl* ASender);
  void ButtonVerifyClick(TControl* ASender);
  void ButtonEraseAddressRangeClick(TControl* ASender);
  void ButtonEraseSectorRangeClick(TControl* ASender);
  void ButtonEraseEntireDeviceClick(TControl* ASender);
  void ButtonBlankCheckClick(TControl* ASender);
  void ButtonCfiQueryClick(TControl* ASender);
  void EditStartSectorNumberChange(TControl* ASender);
  void EditBlankCheckStartChange(TControl* ASender);

  // ---- the layout's controls, owned by the form ------------------------------
  TXPExtPanel* panelADVANCED = nullptr;
  TXPGroupBox* XPGroupBox1 = nullptr;
  TXPLabel* FlashDeviceLabel = nullptr;
  TXPComboBox* FlashDeviceDropDownList = nullptr;
  TXPLabel* FlashBaseAddressLabel = nullptr;
  TXPHistoryEdit* EditFlashBaseAddress = nullptr;
  TXPBitBtn* ButtonCfiQuery = nullptr;
  TXPLabel* SPIBaseAddressLabel = nullptr;
  TXPHistoryEdit* EditSPIBaseAddress = nullptr;
  TXPLabel* SPIInstanceLabel = nullptr;
  TXPComboBox* SPIInstanceDropDownList = nullptr;
  TXPLabel* SPIClockFreqLabel = nullptr;
  TXPHistoryEdit* EditSPIClockFreq = nullptr;
  TXPComboBox* comboSPIClockFreqUnits = nullptr;
  TXPLabel* ProcessorClockFreqLabel = nullptr;
  TXPHistoryEdit* EditProcessorClockFreq = nullptr;
  TXPComboBox* comboProcClockFreqUnits = nullptr;
  TXPLabel* FlashSizeLabel = nullptr;
  TXPHistoryEdit* EditFlashSize = nullptr;
  TXPComboBox* comboFlashSizeUnits = nullptr;
  TXPLabel* FlashWidthLabel = nullptr;
  TXPComboBox* comboFlashWidths = nullptr;
  TXPExtPanel* panelMAIN = nullptr;
  TXPGroupBox* groupDownload = nullptr;
  TXPRadioButton* RadioDownloadCurrentProject = nullptr;
  TXPRadioButton* radioDownloadFile = nullptr;
  TXPHistoryEdit* EditFilename = nullptr;
  TXPLabel* TargetAddressLabel = nullptr;
  TXPHistoryEdit* editTargetAddress = nullptr;
  TXPCheckBox* CheckVerifyWrite = nullptr;
  TXPCheckBox* CheckAutoChecksum = nullptr;
  TXPCheckBox* CheckResetDeviceAfterLoad = nullptr;
  TXPCheckBox* CheckPreserveSectorData = nullptr;
  TXPBitBtn* ButtonDownloadToFlash = nullptr;
  TXPBitBtn* ButtonVerify = nullptr;
  TXPGroupBox* groupEraseRange = nullptr;
  TXPBitBtn* ButtonEraseAddressRange = nullptr;
  TXPHistoryEdit* EditEraseStartAddress = nullptr;
  TXPHistoryEdit* EditEraseEndAddress = nullptr;
  TXPCheckBox* CheckPreserveData = nullptr;
  TXPBitBtn* ButtonEraseSectorRange = nullptr;
  TXPHistoryEdit* EditStartSectorNumber = nullptr;
  TXPHistoryEdit* EditEndSectorNumber = nullptr;
  TXPBitBtn* ButtonEraseEntireDevice = nullptr;
  TXPGroupBox* groupUtility = nullptr;
  TXPBitBtn* ButtonBlankCheck = nullptr;
  TXPHistoryEdit* EditBlankCheckStart = nullptr;
  TXPHistoryEdit* EditBlankCheckEnd = nullptr;
  TXPExtPanel* panelStatus = nullptr;
  TXPProgressBar* progressMainProgressBar = nullptr;
  TXPBitBtn* buttonClose = nullptr;
  TXPBitBtn* buttonAbort = nullptr;

private:
  friend class TFlashUtilityTransaction;
  void CreateLayout();
  void FillUnitList(TXPComboBox& AList, std::span<const TUnitListItem> AUnits,
                    std::vector<std::unique_ptr<TUnitConvertor>>& AConvertors);
  // The converter of a unit list's selected item; nullptr without one.
  static const TUnitConvertor*
  SelectedConvertor(const TXPComboBox& AList,
                    const std::vector<std::unique_ptr<TUnitConvertor>>& AConvertors);
  void FindDebugDevice();
  // The plug-in's own writer behind the selected writer, if it is one.
  TVEKAbstractRemoteExecuteBaseDriver* RemoteWriter() const;
  TRemoteExecuteBaseDriverSerialFlash* SerialWriter() const;
  TRemoteExecuteBaseDriverParallelFlash* ParallelWriter() const;
  TRemoteExecuteBaseDriverCFIFlash* CfiWriter() const;
  void ForEachOperationControl(bool AEnable);
  // The error box, captioned "Error", over the dialog.
  void ShowErrorMessage(const std::wstring& AText);
  bool ConfirmMessage(const std::wstring& AText);
  void ShowInformationMessage(const std::wstring& AText, const std::wstring& ACaption);
  // Erases sectors AFirst to ALast one by one, stepping the progress bar.
  void EraseSectorsSingly(int32_t ASpace, uint32_t AFirst, uint32_t ALast);
  // The blank check's bound: whether the sector's flash address lies past
  // the end of flash memory space 0.
  bool SectorBeyondSpace(int32_t ASector, uint32_t ASpaceEnd);

  bool FInitialized = false;
  TControllerState FCurrentState = eControlState_Idle;
  TDownloadMode FCurrentDownloadMode = eDownloadMode_Project;
  IFlashWriters FFlashWriters;
  IFlashWriter FFlashUtility;
  IDeviceLink FDeviceLink;
  bool FAbort = false;
  std::wstring FTargetAddressSave;
  bool FUpdating = false;
  // Lists and edits the dialog fills itself raise their change events
  // too; those are not the user's choices.
  bool Filling() const { return !FInitialized || FUpdating; }
  std::vector<IDispatch*> FDeviceItems;
  std::vector<std::unique_ptr<TUnitConvertor>> FSizeUnitConvertors;
  std::vector<std::unique_ptr<TUnitConvertor>> FSPIClockUnitConvertors;
  std::vector<std::unique_ptr<TUnitConvertor>> FProcClockUnitConvertors;
  TComPtr<TFlashMemoryUtilityCallback> FCallback;
};

// The processor driver's flash-utility command: the dialog over the
// driver's writers and the host's device link, shown modally and freed.
void RunFlashMemoryUtility(const IFlashWriters& AFlashWriters, const IDeviceLink& ADeviceLink);
