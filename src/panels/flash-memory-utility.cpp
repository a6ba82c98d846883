#include "flash-memory-utility.h"

#include "application.h"
#include "cfi-flash-writer.h"
#include "cfi-flash-query.h"
#include "data-chunk-image.h"
#include "dialogs.h"
#include "embedded-access.h"
#include "host-modules.h"
#include "image-collector.h"
#include "image-loaders.h"
#include "numeric-text.h"
#include "parallel-flash-writer.h"
#include "seams.h"
#include "serial-flash-writer.h"
#include "support-service.h"
#include "xp-buttons.h"
#include "xp-check-box.h"
#include "xp-combo-box.h"
#include "xp-ext-panel.h"
#include "xp-group-box.h"
#include "xp-history-edit.h"
#include "xp-labels.h"
#include "xp-progress.h"

#include <windows.h>

#include <utility>

namespace {

// ---- the layout -------------------------------------------------------------------

enum class TFlashLayoutKind {
  Panel,
  Group,
  Label,
  Edit,
  BrowseEdit,
  DropDownList,
  CheckBox,
  Radio,
  Button,
  Progress
};

enum TFlashLayoutTrait : unsigned {
  fltNone = 0,
  fltHidden = 1u << 0,
  fltChecked = 1u << 1,
  fltAlignClient = 1u << 2,
  fltAlignBottom = 1u << 3,
  fltGradient = 1u << 4,
};

struct TFlashLayoutRow {
  TFlashLayoutKind Kind;
  const wchar_t* Name;
  const wchar_t* Parent; // nullptr: the form
  int Left, Top, Width, Height;
  const wchar_t* Caption;
  unsigned Traits;
};

constexpr int kClientWidth = 443, kClientHeight = 688;
constexpr int kAdvancedHeight = 141, kMainHeight = 446, kStatusHeight = 40;
constexpr int kPanelGap = 3, kDialogHeight = 670, kSerialGrowth = 56;
constexpr int kSerialSizeRowTop = 132, kOtherSizeRowTop = 76;
constexpr int64_t kDefaultSPIBase = 0xFF000000, kDefaultSPIClock = 2500000,
                  kDefaultProcessorClock = 50000000;

// In creation order; the rows of the Flash Information panel that move are
// placed again by UpdateFlashSettings.
constexpr TFlashLayoutRow kLayout[] = {
    {TFlashLayoutKind::Panel, L"panelADVANCED", nullptr, 0, 0, kClientWidth, kAdvancedHeight, L"",
     fltNone},
    {TFlashLayoutKind::Group, L"XPGroupBox1", L"panelADVANCED", 0, 0, kClientWidth, kAdvancedHeight,
     L"Flash Information", fltAlignClient},
    {TFlashLayoutKind::Label, L"FlashDeviceLabel", L"XPGroupBox1", 12, 24, 150, 14,
     L"Flash Device:", fltNone},
    {TFlashLayoutKind::DropDownList, L"FlashDeviceDropDownList", L"XPGroupBox1", 170, 21, 260, 21,
     L"", fltNone},
    {TFlashLayoutKind::Label, L"FlashBaseAddressLabel", L"XPGroupBox1", 12, 52, 150, 14,
     L"Flash Base Address:", fltNone},
    {TFlashLayoutKind::Edit, L"EditFlashBaseAddress", L"XPGroupBox1", 170, 49, 170, 21,
     L"0x00000000", fltNone},
    {TFlashLayoutKind::Button, L"ButtonCfiQuery", L"XPGroupBox1", 348, 49, 82, 21, L"Query...",
     fltNone},
    {TFlashLayoutKind::Label, L"SPIBaseAddressLabel", L"XPGroupBox1", 12, 52, 150, 14,
     L"SPI Base Address:", fltHidden},
    {TFlashLayoutKind::Edit, L"EditSPIBaseAddress", L"XPGroupBox1", 170, 49, 170, 21, L"0x00000000",
     fltHidden},
    {TFlashLayoutKind::Label, L"SPIInstanceLabel", L"XPGroupBox1", 12, 52, 150, 14,
     L"SPI Instance:", fltHidden},
    {TFlashLayoutKind::DropDownList, L"SPIInstanceDropDownList", L"XPGroupBox1", 170, 49, 170, 21,
     L"", fltHidden},
    {TFlashLayoutKind::Label, L"SPIClockFreqLabel", L"XPGroupBox1", 12, 80, 150, 14,
     L"SPI Clock Frequency :", fltHidden},
    {TFlashLayoutKind::Edit, L"EditSPIClockFreq", L"XPGroupBox1", 170, 77, 170, 21, L"", fltHidden},
    {TFlashLayoutKind::DropDownList, L"comboSPIClockFreqUnits", L"XPGroupBox1", 348, 77, 82, 21,
     L"", fltHidden},
    {TFlashLayoutKind::Label, L"ProcessorClockFreqLabel", L"XPGroupBox1", 12, 108, 150, 14,
     L"Processor Clock Frequency:", fltHidden},
    {TFlashLayoutKind::Edit, L"EditProcessorClockFreq", L"XPGroupBox1", 170, 105, 170, 21,
     L"50000000", fltHidden},
    {TFlashLayoutKind::DropDownList, L"comboProcClockFreqUnits", L"XPGroupBox1", 348, 105, 82, 21,
     L"", fltHidden},
    {TFlashLayoutKind::Label, L"FlashSizeLabel", L"XPGroupBox1", 12, kOtherSizeRowTop, 150, 14,
     L"Flash Size:", fltNone},
    {TFlashLayoutKind::Edit, L"EditFlashSize", L"XPGroupBox1", 170, kOtherSizeRowTop - 3, 170, 21,
     L"0", fltNone},
    {TFlashLayoutKind::DropDownList, L"comboFlashSizeUnits", L"XPGroupBox1", 348,
     kOtherSizeRowTop - 3, 82, 21, L"", fltNone},
    {TFlashLayoutKind::Label, L"FlashWidthLabel", L"XPGroupBox1", 12, kOtherSizeRowTop + 28, 150,
     14, L"Flash Width:", fltNone},
    {TFlashLayoutKind::DropDownList, L"comboFlashWidths", L"XPGroupBox1", 170,
     kOtherSizeRowTop + 25, 82, 21, L"", fltNone},

    {TFlashLayoutKind::Panel, L"panelMAIN", nullptr, 0, kAdvancedHeight + kPanelGap, kClientWidth,
     kMainHeight, L"", fltNone},
    {TFlashLayoutKind::Group, L"groupDownload", L"panelMAIN", 0, 0, kClientWidth, 220,
     L"Write Flash", fltNone},
    {TFlashLayoutKind::Radio, L"RadioDownloadCurrentProject", L"groupDownload", 12, 22, 200, 17,
     L"Download current project", fltNone},
    {TFlashLayoutKind::Radio, L"radioDownloadFile", L"groupDownload", 12, 44, 200, 17,
     L"Download file", fltNone},
    {TFlashLayoutKind::BrowseEdit, L"EditFilename", L"groupDownload", 30, 64, 400, 21, L"",
     fltNone},
    {TFlashLayoutKind::Label, L"TargetAddressLabel", L"groupDownload", 30, 96, 150, 14,
     L"Target Memory Address", fltNone},
    {TFlashLayoutKind::Edit, L"editTargetAddress", L"groupDownload", 190, 93, 150, 21,
     L"0x00000000", fltNone},
    {TFlashLayoutKind::CheckBox, L"CheckVerifyWrite", L"groupDownload", 30, 124, 180, 17,
     L"Verify Write", fltNone},
    {TFlashLayoutKind::CheckBox, L"CheckAutoChecksum", L"groupDownload", 220, 124, 180, 17,
     L"Auto Checksum", fltHidden | fltChecked},
    {TFlashLayoutKind::CheckBox, L"CheckResetDeviceAfterLoad", L"groupDownload", 30, 146, 180, 17,
     L"Reset Device", fltChecked},
    {TFlashLayoutKind::CheckBox, L"CheckPreserveSectorData", L"groupDownload", 220, 146, 200, 17,
     L"Preserve Lead/Trail Data", fltNone},
    {TFlashLayoutKind::Button, L"ButtonDownloadToFlash", L"groupDownload", 30, 180, 180, 25,
     L"Download to Flash", fltNone},
    {TFlashLayoutKind::Button, L"ButtonVerify", L"groupDownload", 220, 180, 180, 25,
     L"Verify against Flash", fltNone},
    {TFlashLayoutKind::Group, L"groupEraseRange", L"panelMAIN", 0, 224, kClientWidth, 150,
     L"Erase Flash", fltNone},
    {TFlashLayoutKind::Button, L"ButtonEraseAddressRange", L"groupEraseRange", 12, 22, 160, 25,
     L"Erase Address Range", fltNone},
    {TFlashLayoutKind::Edit, L"EditEraseStartAddress", L"groupEraseRange", 180, 24, 120, 21,
     L"0x00000000", fltNone},
    {TFlashLayoutKind::Edit, L"EditEraseEndAddress", L"groupEraseRange", 308, 24, 120, 21,
     L"0x00000000", fltNone},
    {TFlashLayoutKind::CheckBox, L"CheckPreserveData", L"groupEraseRange", 180, 52, 220, 17,
     L"Preserve lead/trail data", fltNone},
    {TFlashLayoutKind::Button, L"ButtonEraseSectorRange", L"groupEraseRange", 12, 78, 160, 25,
     L"Erase Sector Range", fltNone},
    {TFlashLayoutKind::Edit, L"EditStartSectorNumber", L"groupEraseRange", 180, 80, 120, 21, L"0",
     fltNone},
    {TFlashLayoutKind::Edit, L"EditEndSectorNumber", L"groupEraseRange", 308, 80, 120, 21, L"0",
     fltNone},
    {TFlashLayoutKind::Button, L"ButtonEraseEntireDevice", L"groupEraseRange", 12, 112, 160, 25,
     L"&Erase Entire Device", fltNone},
    {TFlashLayoutKind::Group, L"groupUtility", L"panelMAIN", 0, 378, kClientWidth, 64, L"Utility",
     fltNone},
    {TFlashLayoutKind::Button, L"ButtonBlankCheck", L"groupUtility", 12, 24, 160, 25,
     L"Blank Check", fltNone},
    {TFlashLayoutKind::Edit, L"EditBlankCheckStart", L"groupUtility", 180, 26, 120, 21, L"0",
     fltNone},
    {TFlashLayoutKind::Edit, L"EditBlankCheckEnd", L"groupUtility", 308, 26, 120, 21, L"0",
     fltNone},

    {TFlashLayoutKind::Panel, L"panelStatus", nullptr, 0,
     kAdvancedHeight + kPanelGap + kMainHeight + kPanelGap, kClientWidth, kStatusHeight, L"",
     fltGradient},
    {TFlashLayoutKind::Progress, L"progressMainProgressBar", L"panelStatus", 10, 12, 320, 16, L"",
     fltHidden},
    {TFlashLayoutKind::Button, L"buttonClose", L"panelStatus", 345, 8, 88, 25, L"Close", fltNone},
    {TFlashLayoutKind::Button, L"buttonAbort", L"panelStatus", 345, 8, 88, 25, L"Abort", fltHidden},
};

TControl* MakeLayoutControl(TFlashLayoutKind AKind, TComponent* AOwner) {
  switch (AKind) {
  case TFlashLayoutKind::Panel:
    return new TXPExtPanel(AOwner);
  case TFlashLayoutKind::Group:
    return new TXPGroupBox(AOwner);
  case TFlashLayoutKind::Label:
    return new TXPLabel(AOwner);
  case TFlashLayoutKind::Edit:
  case TFlashLayoutKind::BrowseEdit:
    return new TXPHistoryEdit(AOwner);
  case TFlashLayoutKind::DropDownList:
    return new TXPComboBox(AOwner);
  case TFlashLayoutKind::CheckBox:
    return new TXPCheckBox(AOwner);
  case TFlashLayoutKind::Radio:
    return new TXPRadioButton(AOwner);
  case TFlashLayoutKind::Button:
    return new TXPBitBtn(AOwner);
  case TFlashLayoutKind::Progress:
    return new TXPProgressBar(AOwner);
  }
  return nullptr;
}

// Creates the rows' controls, owned by AForm, each named, parented, placed,
// captioned and styled in that order.
void CreateFlashLayoutControls(TCustomForm& AForm) {
  for (const TFlashLayoutRow& row : kLayout) {
    TControl* control = MakeLayoutControl(row.Kind, &AForm);
    control->SetName(row.Name);
    TWinControl* parent = &AForm;
    if (row.Parent)
      parent = dynamic_cast<TWinControl*>(AForm.FindComponent(row.Parent));
    control->SetParent(parent);
    control->SetBounds(row.Left, row.Top, row.Width, row.Height);
    if (row.Traits & fltAlignClient)
      control->SetAlign(alClient);
    if (auto* list = dynamic_cast<TXPComboBox*>(control))
      list->SetStyle(csDropDownList);
    if (auto* edit = dynamic_cast<TXPHistoryEdit*>(control))
      edit->SetShowButton2(row.Kind == TFlashLayoutKind::BrowseEdit);
    control->SetCaption(row.Caption);
    if (auto* check = dynamic_cast<TXPCheckControl*>(control))
      check->SetChecked((row.Traits & fltChecked) != 0);
    if (auto* panel = dynamic_cast<TXPExtPanel*>(control); panel && (row.Traits & fltGradient))
      panel->SetKind(epkGradient);
    if (auto* bar = dynamic_cast<TXPProgressBar*>(control))
      bar->SetMax(TFlashMemoryUtilityForm::kProgressMax);
    if (row.Traits & fltHidden)
      control->SetVisible(false);
  }
}

template <class T> T* Named(TComponent& AOwner, const wchar_t* AName) {
  return dynamic_cast<T*>(AOwner.FindComponent(AName));
}

std::wstring Hex8(int64_t AValue) {
  return IntToHex0x(int64_t(uint32_t(AValue)), 8);
}

bool FileExists(const std::wstring& APath) {
  if (APath.empty())
    return false;
  const DWORD attributes = GetFileAttributesW(APath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Trimmed(const std::wstring& AText) {
  const auto first = AText.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos)
    return L"";
  const auto last = AText.find_last_not_of(L" \t\r\n");
  return AText.substr(first, last - first + 1);
}

// Every control inside AParent, descending into windowed children.
template <class F> void ForEachChildControl(TWinControl& AParent, F&& AAction) {
  for (int i = 0; i < AParent.ControlCount(); ++i) {
    TControl* child = AParent.Controls(i);
    AAction(*child);
    if (auto* win = dynamic_cast<TWinControl*>(child))
      ForEachChildControl(*win, AAction);
  }
}

// The plug-in's own remote-execute writer behind a writer's dispatch
// pointer, or nullptr for a host's writer.
TVEKAbstractRemoteExecuteBaseDriver* RemoteWriterOf(IDispatch* AWriter) {
  if (!AWriter)
    return nullptr;
  void* object = nullptr;
  if (FAILED(AWriter->QueryInterface(IID_IRemoteExecuteWriterObject, &object)) || !object)
    return nullptr;
  auto* writer = static_cast<TVEKAbstractRemoteExecuteBaseDriver*>(object);
  // The caller's record keeps the writer alive.
  writer->Release();
  return writer;
}

bool EscapeKeyDown() {
  return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
}

} // namespace

void ShowCfiFlashQueryResult(TCustomForm& AOwner, const TRemoteCommandResult& AResult) {
  // Owned by the dialog, and freed here rather than left for the dialog's
  // end: the answer is read once.
  std::unique_ptr<TCfiFlashQueryForm> form(new TCfiFlashQueryForm(&AOwner, AResult));
  form->ShowModal();
}

// ---- the form's automation interface ---------------------------------------------------

// What the writers hold as their callback: the form's own Invoke, for as
// long as the form lives.
class TFlashMemoryUtilityCallback final : public TAbstractSupportService {
public:
  explicit TFlashMemoryUtilityCallback(TFlashMemoryUtilityForm* AForm) : F(AForm) {}
  void FormGone() { F = nullptr; }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                   DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                   UINT* AArgErr) override {
    if (!F)
      return TAbstractSupportService::Invoke(ADispId, AIid, ALocale, AFlags, AParams, AVarResult,
                                             AExcepInfo, AArgErr);
    return F->InvokeCallback(ADispId, AIid, ALocale, AFlags, AParams, AVarResult, AExcepInfo,
                             AArgErr);
  }
  HRESULT InheritedInvoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                          DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                          UINT* AArgErr) {
    return TAbstractSupportService::Invoke(ADispId, AIid, ALocale, AFlags, AParams, AVarResult,
                                           AExcepInfo, AArgErr);
  }

private:
  TFlashMemoryUtilityForm* F;
};

// ---- the operation scope ------------------------------------------------------------------

TFlashUtilityTransaction::TFlashUtilityTransaction(TFlashMemoryUtilityForm& AForm)
    : FFlashUtilityForm(AForm) {
  AForm.FAbort = false;
  AForm.SetControllerState(eControlState_Working);
  try {
    if (!AForm.FFlashUtility.IsEmpty())
      AForm.FFlashUtility.InstallDriver();
  } catch (...) {
    // The destructor does not run for a constructor that raised.
    AForm.FAbort = false;
    AForm.SetControllerState(eControlState_Idle);
    throw;
  }
  AForm.SetProgress(0);
  AForm.progressMainProgressBar->SetVisible(true);
}

TFlashUtilityTransaction::~TFlashUtilityTransaction() {
  TFlashMemoryUtilityForm& form = FFlashUtilityForm;
  form.FAbort = false;
  form.SetControllerState(eControlState_Idle);
  try {
    if (!form.FFlashUtility.IsEmpty())
      form.FFlashUtility.UninstallDriver();
  } catch (...) {
    // The writer reports its own failures; the dialog must be idle again
    // whatever it answered.
  }
  form.SetProgress(0);
  form.progressMainProgressBar->SetVisible(false);
}

// ---- construction ----------------------------------------------------------------------------

TFlashMemoryUtilityForm::TFlashMemoryUtilityForm(const IFlashWriters& AFlashWriters,
                                                 const IDeviceLink& ADeviceLink)
    : TCustomForm(nullptr), FFlashWriters(AFlashWriters), FDeviceLink(ADeviceLink) {
  FInitialized = false;
  FAbort = false;
  FCallback = TComPtr<TFlashMemoryUtilityCallback>(new TFlashMemoryUtilityCallback(this));
  CreateLayout();
  try {
    FillFlashDeviceList();
    if (!FFlashWriters.IsEmpty()) {
      FFlashUtility = FFlashWriters.GetSelectedFlashWriter();
      int index = -1;
      if (!FFlashUtility.IsEmpty())
        index =
            FlashDeviceDropDownList->Items().IndexOf(FFlashUtility.GetRemoteDriverDeviceTitle());
      FlashDeviceDropDownList->SetItemIndex(index);
    }
    FCurrentState = eControlState_Idle;
    SetDownloadMode(eDownloadMode_Project);
    UpdateFlashSettings();
    for (TXPHistoryEdit* edit :
         {EditStartSectorNumber, EditEndSectorNumber, EditBlankCheckStart, EditBlankCheckEnd})
      edit->SetText(L"0");
    SetWritersCallback(IFlashWriterCallback::FromDispatch(AutomationInterface()));
    FillUnitList(*comboFlashSizeUnits, FlashSizeUnits(), FSizeUnitConvertors);
    FillUnitList(*comboSPIClockFreqUnits, ClockFrequencyUnits(), FSPIClockUnitConvertors);
    FillUnitList(*comboProcClockFreqUnits, ClockFrequencyUnits(), FProcClockUnitConvertors);
    FindDebugDevice();
  } catch (...) {
    try {
      SetWritersCallback(IFlashWriterCallback());
    } catch (...) {
    }
    FCallback->FormGone();
    throw;
  }
  FInitialized = true;
}

TFlashMemoryUtilityForm::~TFlashMemoryUtilityForm() {
  try {
    SetWritersCallback(IFlashWriterCallback());
  } catch (...) {
    // A writer that cannot be told any more is gone with its host.
  }
  FCallback->FormGone();
  FCallback.Reset();
  FSizeUnitConvertors.clear();
  FSPIClockUnitConvertors.clear();
  FProcClockUnitConvertors.clear();
  if (comboFlashWidths)
    comboFlashWidths->Items().Clear();
}

void TFlashMemoryUtilityForm::CreateLayout() {
  SetBorderStyle(bsDialog);
  SetCaption(L"Flash Memory Controller");
  Font().SetStyle(fsBold);
  SetOwnerWindow(ApplicationWindow());
  SetBounds(Left(), Top(), kClientWidth, kClientHeight);
  TComponentLoading loading(this);
  CreateFlashLayoutControls(*this);
  panelADVANCED = Named<TXPExtPanel>(*this, L"panelADVANCED");
  XPGroupBox1 = Named<TXPGroupBox>(*this, L"XPGroupBox1");
  FlashDeviceLabel = Named<TXPLabel>(*this, L"FlashDeviceLabel");
  FlashDeviceDropDownList = Named<TXPComboBox>(*this, L"FlashDeviceDropDownList");
  FlashBaseAddressLabel = Named<TXPLabel>(*this, L"FlashBaseAddressLabel");
  EditFlashBaseAddress = Named<TXPHistoryEdit>(*this, L"EditFlashBaseAddress");
  ButtonCfiQuery = Named<TXPBitBtn>(*this, L"ButtonCfiQuery");
  SPIBaseAddressLabel = Named<TXPLabel>(*this, L"SPIBaseAddressLabel");
  EditSPIBaseAddress = Named<TXPHistoryEdit>(*this, L"EditSPIBaseAddress");
  SPIInstanceLabel = Named<TXPLabel>(*this, L"SPIInstanceLabel");
  SPIInstanceDropDownList = Named<TXPComboBox>(*this, L"SPIInstanceDropDownList");
  SPIClockFreqLabel = Named<TXPLabel>(*this, L"SPIClockFreqLabel");
  EditSPIClockFreq = Named<TXPHistoryEdit>(*this, L"EditSPIClockFreq");
  comboSPIClockFreqUnits = Named<TXPComboBox>(*this, L"comboSPIClockFreqUnits");
  ProcessorClockFreqLabel = Named<TXPLabel>(*this, L"ProcessorClockFreqLabel");
  EditProcessorClockFreq = Named<TXPHistoryEdit>(*this, L"EditProcessorClockFreq");
  comboProcClockFreqUnits = Named<TXPComboBox>(*this, L"comboProcClockFreqUnits");
  FlashSizeLabel = Named<TXPLabel>(*this, L"FlashSizeLabel");
  EditFlashSize = Named<TXPHistoryEdit>(*this, L"EditFlashSize");
  comboFlashSizeUnits = Named<TXPComboBox>(*this, L"comboFlashSizeUnits");
  FlashWidthLabel = Named<TXPLabel>(*this, L"FlashWidthLabel");
  comboFlashWidths = Named<TXPComboBox>(*this, L"comboFlashWidths");
  panelMAIN = Named<TXPExtPanel>(*this, L"panelMAIN");
  groupDownload = Named<TXPGroupBox>(*this, L"groupDownload");
  RadioDownloadCurrentProject = Named<TXPRadioButton>(*this, L"RadioDownloadCurrentProject");
  radioDownloadFile = Named<TXPRadioButton>(*this, L"radioDownloadFile");
  EditFilename = Named<TXPHistoryEdit>(*this, L"EditFilename");
  TargetAddressLabel = Named<TXPLabel>(*this, L"TargetAddressLabel");
  editTargetAddress = Named<TXPHistoryEdit>(*this, L"editTargetAddress");
  CheckVerifyWrite = Named<TXPCheckBox>(*this, L"CheckVerifyWrite");
  CheckAutoChecksum = Named<TXPCheckBox>(*this, L"CheckAutoChecksum");
  CheckResetDeviceAfterLoad = Named<TXPCheckBox>(*this, L"CheckResetDeviceAfterLoad");
  CheckPreserveSectorData = Named<TXPCheckBox>(*this, L"CheckPreserveSectorData");
  ButtonDownloadToFlash = Named<TXPBitBtn>(*this, L"ButtonDownloadToFlash");
  ButtonVerify = Named<TXPBitBtn>(*this, L"ButtonVerify");
  groupEraseRange = Named<TXPGroupBox>(*this, L"groupEraseRange");
  ButtonEraseAddressRange = Named<TXPBitBtn>(*this, L"ButtonEraseAddressRange");
  EditEraseStartAddress = Named<TXPHistoryEdit>(*this, L"EditEraseStartAddress");
  EditEraseEndAddress = Named<TXPHistoryEdit>(*this, L"EditEraseEndAddress");
  CheckPreserveData = Named<TXPCheckBox>(*this, L"CheckPreserveData");
  ButtonEraseSectorRange = Named<TXPBitBtn>(*this, L"ButtonEraseSectorRange");
  EditStartSectorNumber = Named<TXPHistoryEdit>(*this, L"EditStartSectorNumber");
  EditEndSectorNumber = Named<TXPHistoryEdit>(*this, L"EditEndSectorNumber");
  ButtonEraseEntireDevice = Named<TXPBitBtn>(*this, L"ButtonEraseEntireDevice");
  groupUtility = Named<TXPGroupBox>(*this, L"groupUtility");
  ButtonBlankCheck = Named<TXPBitBtn>(*this, L"ButtonBlankCheck");
  EditBlankCheckStart = Named<TXPHistoryEdit>(*this, L"EditBlankCheckStart");
  EditBlankCheckEnd = Named<TXPHistoryEdit>(*this, L"EditBlankCheckEnd");
  panelStatus = Named<TXPExtPanel>(*this, L"panelStatus");
  progressMainProgressBar = Named<TXPProgressBar>(*this, L"progressMainProgressBar");
  buttonClose = Named<TXPBitBtn>(*this, L"buttonClose");
  buttonAbort = Named<TXPBitBtn>(*this, L"buttonAbort");

  buttonClose->SetModalResult(mrOk);

  FlashDeviceDropDownList->OnChange = [this](TControl* ASender) { FlashDeviceChange(ASender); };
  SPIInstanceDropDownList->OnChange = [this](TControl* ASender) {
    SPIInstancesDropDownListChange(ASender);
  };
  EditFlashBaseAddress->OnChange = [this](TControl* ASender) {
    EditFlashBaseAddressChange(ASender);
  };
  EditFlashSize->OnChange = [this](TControl* ASender) { EditFlashBaseAddressChange(ASender); };
  comboFlashWidths->OnChange = [this](TControl* ASender) { comboFlashWidthsChange(ASender); };
  for (TXPComboBox* units : {comboFlashSizeUnits, comboSPIClockFreqUnits, comboProcClockFreqUnits})
    units->OnChange = [this](TControl* ASender) { comboFlashSizeUnitsChange(ASender); };
  RadioDownloadCurrentProject->OnClick = [this](TControl* ASender) {
    RadioDownloadCurrentProjectClick(ASender);
  };
  radioDownloadFile->OnClick = [this](TControl* ASender) { radioDownloadFileClick(ASender); };
  EditFilename->OnButton2Click = [this](TControl* ASender) { EditFilenameButton2Click(ASender); };
  buttonAbort->OnClick = [this](TControl* ASender) { buttonAbortClick(ASender); };
  ButtonDownloadToFlash->OnClick = [this](TControl* ASender) {
    ButtonDownloadToFlashClick(ASender);
  };
  ButtonVerify->OnClick = [this](TControl* ASender) { ButtonVerifyClick(ASender); };
  ButtonEraseAddressRange->OnClick = [this](TControl* ASender) {
    ButtonEraseAddressRangeClick(ASender);
  };
  ButtonEraseSectorRange->OnClick = [this](TControl* ASender) {
    ButtonEraseSectorRangeClick(ASender);
  };
  ButtonEraseEntireDevice->OnClick = [this](TControl* ASender) {
    ButtonEraseEntireDeviceClick(ASender);
  };
  ButtonBlankCheck->OnClick = [this](TControl* ASender) { ButtonBlankCheckClick(ASender); };
  ButtonCfiQuery->OnClick = [this](TControl* ASender) { ButtonCfiQueryClick(ASender); };
  EditStartSectorNumber->OnChange = [this](TControl* ASender) {
    EditStartSectorNumberChange(ASender);
  };
  EditBlankCheckStart->OnChange = [this](TControl* ASender) { EditBlankCheckStartChange(ASender); };
  loading.End();
}

IDispatch* TFlashMemoryUtilityForm::AutomationInterface() const {
  return static_cast<IDispatch*>(FCallback.Get());
}

void TFlashMemoryUtilityForm::FillUnitList(
    TXPComboBox& AList, std::span<const TUnitListItem> AUnits,
    std::vector<std::unique_ptr<TUnitConvertor>>& AConvertors) {
  AList.Items().Clear();
  AConvertors.clear();
  for (const TUnitListItem& unit : AUnits) {
    AConvertors.push_back(unit.Make());
    AList.Items().AddObject(unit.Text, AConvertors.back().get());
  }
  AList.SetItemIndex(0);
}

const TUnitConvertor* TFlashMemoryUtilityForm::SelectedConvertor(
    const TXPComboBox& AList, const std::vector<std::unique_ptr<TUnitConvertor>>& AConvertors) {
  const int index = AList.ItemIndex();
  if (index < 0 || std::size_t(index) >= AConvertors.size())
    return nullptr;
  return AConvertors[std::size_t(index)].get();
}

void TFlashMemoryUtilityForm::SetWritersCallback(const IFlashWriterCallback& ACallback) {
  if (FFlashWriters.IsEmpty())
    return;
  const int32_t count = FFlashWriters.GetFlashWriterCount();
  for (int32_t i = 0; i < count; ++i) {
    const IFlashWriter writer = FFlashWriters.GetFlashWriter(i);
    if (!writer.IsEmpty())
      writer.SetFlashWriterCallback(ACallback);
  }
}

void TFlashMemoryUtilityForm::FindDebugDevice() {
  const IDeviceManager manager = GetDeviceManager();
  if (manager.IsEmpty() || FDeviceLink.IsEmpty())
    return;
  const IDriverManager driverManager = IDriverManager::FromInterface(manager.AsInterface().Get());
  const ITarvoDevice device = driverManager.GetTarvoDevice(FDeviceLink.GetDeviceId());
  if (device.IsEmpty())
    return;
  const ITarvoDriver driver = device.GetDriver();
  if (driver.IsEmpty())
    return;
  const bool processor = driver.Supports(L"PROC");
  const int32_t writers = FFlashWriters.IsEmpty() ? 0 : FFlashWriters.GetFlashWriterCount();
  ShowFlashInformation(!processor || writers >= 2);
}

// ---- the writer's callback ---------------------------------------------------------------

HRESULT TFlashMemoryUtilityForm::InvokeCallback(DISPID ADispId, REFIID AIid, LCID ALocale,
                                                WORD AFlags, DISPPARAMS* AParams,
                                                VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                                UINT* AArgErr) {
  constexpr DISPID kProgressUpdate = 508715, kAbortQuery = 508716;
  if (ADispId == kProgressUpdate) {
    if (!AParams || AParams->cArgs < 1)
      return DISP_E_BADPARAMCOUNT;
    VARIANT value;
    VariantInit(&value);
    if (FAILED(VariantChangeType(&value, &AParams->rgvarg[AParams->cArgs - 1], 0, VT_I4))) {
      if (AArgErr)
        *AArgErr = AParams->cArgs - 1;
      return DISP_E_TYPEMISMATCH;
    }
    return Guarded([&] { OnFlashWriter_ProgressUpdate(value.lVal); });
  }
  if (ADispId == kAbortQuery) {
    return Guarded([&] {
      const bool abort = OnFlashWriter_Abort();
      if (AVarResult) {
        VariantClear(AVarResult);
        AVarResult->vt = VT_BOOL;
        AVarResult->boolVal = abort ? VARIANT_TRUE : VARIANT_FALSE;
      }
    });
  }
  return FCallback->InheritedInvoke(ADispId, AIid, ALocale, AFlags, AParams, AVarResult, AExcepInfo,
                                    AArgErr);
}

void TFlashMemoryUtilityForm::OnFlashWriter_ProgressUpdate(int32_t APosition) {
  SetProgress(APosition);
}

bool TFlashMemoryUtilityForm::OnFlashWriter_Abort() {
  return CheckAbort();
}

bool TFlashMemoryUtilityForm::CheckAbort() {
  Application()->ProcessMessages();
  if (EscapeKeyDown())
    FAbort = true;
  return FAbort;
}

void TFlashMemoryUtilityForm::SetProgress(int APosition) {
  progressMainProgressBar->SetPosition(APosition);
  progressMainProgressBar->Update();
}

void TFlashMemoryUtilityForm::StepProgress(int AStep) {
  progressMainProgressBar->SetPosition(progressMainProgressBar->Position() + AStep);
}

// ---- state ---------------------------------------------------------------------------------

void TFlashMemoryUtilityForm::ForEachOperationControl(bool AEnable) {
  for (TXPGroupBox* group : {groupDownload, groupEraseRange, groupUtility})
    ForEachChildControl(*group, [AEnable](TControl& AControl) { AControl.SetEnabled(AEnable); });
}

void TFlashMemoryUtilityForm::SetControllerState(TControllerState AState, bool AForce) {
  if (AForce || AState != FCurrentState) {
    const bool working = AState == eControlState_Working;
    ForEachOperationControl(!working);
    buttonAbort->SetVisible(working);
    FCurrentState = AState;
  }
  Application()->ProcessMessages();
}

void TFlashMemoryUtilityForm::EnableFlashOperations(bool AEnable) {
  ForEachOperationControl(AEnable);
  for (TControl* control : std::initializer_list<TControl*>{
           FlashSizeLabel, EditFlashSize, comboFlashSizeUnits, FlashWidthLabel, comboFlashWidths})
    control->SetEnabled(AEnable);
}

void TFlashMemoryUtilityForm::ShowFlashInformation(bool AShow) {
  panelADVANCED->SetVisible(AShow);
  if (AShow) {
    panelMAIN->SetTop(panelADVANCED->Top() + panelADVANCED->Height());
    SetHeight(panelMAIN->Height() + panelADVANCED->Height() + panelStatus->Height() + 40);
  } else {
    panelMAIN->SetTop(panelADVANCED->Top());
    SetHeight(panelMAIN->Height() + panelStatus->Height() + 40);
  }
  panelStatus->SetTop(panelMAIN->Top() + panelMAIN->Height() + kPanelGap);
}

void TFlashMemoryUtilityForm::SetDownloadMode(TDownloadMode AMode) {
  FCurrentDownloadMode = AMode;
  const bool file = AMode == eDownloadMode_File;
  RadioDownloadCurrentProject->SetChecked(!file);
  radioDownloadFile->SetChecked(file);
  EditFilename->SetEnabled(file);
  editTargetAddress->SetEnabled(file);
  CheckAutoChecksum->SetChecked(!file);
  editTargetAddress->SetText(EditFlashBaseAddress->Text());
}

// ---- the flash-device list -----------------------------------------------------------------

IDispatch* TFlashMemoryUtilityForm::DeviceItemWriter(int AIndex) const {
  if (AIndex < 0 || std::size_t(AIndex) >= FDeviceItems.size())
    return nullptr;
  return FDeviceItems[std::size_t(AIndex)];
}

void TFlashMemoryUtilityForm::FillFlashDeviceList() {
  FlashDeviceDropDownList->Items().Clear();
  FDeviceItems.clear();
  if (FFlashWriters.IsEmpty())
    return;
  const int32_t count = FFlashWriters.GetFlashWriterCount();
  for (int32_t i = 0; i < count; ++i) {
    const IFlashWriter writer = FFlashWriters.GetFlashWriter(i);
    if (writer.IsEmpty())
      continue;
    if (auto* serial =
            dynamic_cast<TRemoteExecuteBaseDriverSerialFlash*>(RemoteWriterOf(writer.Intf()))) {
      bool platformPresent = false, clockPresent = false;
      if (serial->GetSPIData(FDeviceLink, platformPresent, clockPresent) || !platformPresent) {
        for (const std::wstring& name : serial->SupportedDeviceNames()) {
          FlashDeviceDropDownList->Items().Add(name);
          FDeviceItems.push_back(writer.Intf());
        }
      }
      continue;
    }
    FlashDeviceDropDownList->Items().Add(writer.GetRemoteDriverDeviceTitle());
    FDeviceItems.push_back(writer.Intf());
  }
  if (FDeviceItems.size() == 1)
    FFlashWriters.SelectFlashWriter(FFlashWriters.GetFlashWriter(0));
}

void TFlashMemoryUtilityForm::FlashDeviceChange(TControl*) {
  if (Filling())
    return;
  const int index = FlashDeviceDropDownList->ItemIndex();
  IDispatch* item = DeviceItemWriter(index);
  if (!item || FFlashWriters.IsEmpty())
    return;
  const IFlashWriter writer = IFlashWriter::FromDispatch(item);
  FFlashWriters.SelectFlashWriter(writer);
  if (auto* serial = dynamic_cast<TRemoteExecuteBaseDriverSerialFlash*>(RemoteWriterOf(item)))
    serial->SetSelectedDevice(FlashDeviceDropDownList->Items().Strings(index));
  FFlashUtility = FFlashWriters.GetSelectedFlashWriter();
  UpdateFlashSettings();
}

void TFlashMemoryUtilityForm::SPIInstancesDropDownListChange(TControl*) {
  if (Filling())
    return;
  const int index = SPIInstanceDropDownList->ItemIndex();
  if (index < 0)
    return;
  if (TRemoteExecuteBaseDriverSerialFlash* serial = SerialWriter())
    serial->SetSelectedSPI(SPIInstanceDropDownList->Items().Strings(index));
}

TVEKAbstractRemoteExecuteBaseDriver* TFlashMemoryUtilityForm::RemoteWriter() const {
  return RemoteWriterOf(FFlashUtility.Intf());
}

TRemoteExecuteBaseDriverSerialFlash* TFlashMemoryUtilityForm::SerialWriter() const {
  return dynamic_cast<TRemoteExecuteBaseDriverSerialFlash*>(RemoteWriter());
}

TRemoteExecuteBaseDriverParallelFlash* TFlashMemoryUtilityForm::ParallelWriter() const {
  return dynamic_cast<TRemoteExecuteBaseDriverParallelFlash*>(RemoteWriter());
}

TRemoteExecuteBaseDriverCFIFlash* TFlashMemoryUtilityForm::CfiWriter() const {
  return dynamic_cast<TRemoteExecuteBaseDriverCFIFlash*>(RemoteWriter());
}

// ---- the Flash Information panel -----------------------------------------------------------

void TFlashMemoryUtilityForm::UpdateFlashSettings() {
  FUpdating = true;
  struct TUpdatingScope {
    bool& F;
    ~TUpdatingScope() { F = false; }
  } updating{FUpdating};

  bool baseKnown = false, sizeKnown = false;
  int64_t base = 0, size = 0;
  int64_t spiBase = kDefaultSPIBase, spiClock = kDefaultSPIClock,
          processorClock = kDefaultProcessorClock;
  bool showBaseRow = false, spiDataFound = false;
  bool platformPresent = false, clockPresent = false;
  std::vector<std::wstring> spiList;

  panelADVANCED->SetHeight(kAdvancedHeight);
  panelMAIN->SetTop(panelADVANCED->Top() + panelADVANCED->Height() + kPanelGap);
  panelStatus->SetTop(panelMAIN->Top() + panelMAIN->Height() + kPanelGap);
  SetHeight(kDialogHeight);

  TRemoteExecuteBaseDriverSerialFlash* serial = SerialWriter();
  TRemoteExecuteBaseDriverParallelFlash* parallel = ParallelWriter();
  TRemoteExecuteBaseDriverCFIFlash* cfi = CfiWriter();
  int sizeRowTop = kOtherSizeRowTop;
  if (serial) {
    if (serial->GetSPIData(FDeviceLink, platformPresent, clockPresent)) {
      const TSPIData& data = serial->SelectedSPI();
      TextToInt64(data.FSPIBaseAddress, spiBase);
      TextToInt64(data.FSPIClockFreq, spiClock);
      TextToInt64(data.FProcessorClockFreq, processorClock);
      spiDataFound = true;
      for (const auto& [name, spi] : serial->SPIList())
        spiList.push_back(name);
    }
    panelADVANCED->SetHeight(panelADVANCED->Height() + kSerialGrowth);
    panelMAIN->SetTop(panelMAIN->Top() + kSerialGrowth);
    panelStatus->SetTop(panelStatus->Top() + kSerialGrowth);
    SetHeight(Height() + kSerialGrowth);
    sizeRowTop = kSerialSizeRowTop;
  } else if (parallel) {
    if (!FDeviceLink.IsEmpty() && parallel->GetFlashData(FDeviceLink.GetProject())) {
      base = parallel->BaseAddress();
      size = parallel->Size();
      baseKnown = sizeKnown = true;
    }
    showBaseRow = true;
  } else if (RemoteWriter()) {
    showBaseRow = true;
  }

  if (baseKnown && sizeKnown) {
    FTargetAddressSave = Hex8(base);
    EditFlashSize->SetText(std::to_wstring(size));
  } else if (FFlashUtility.IsEmpty() || FFlashUtility.GetFlashMemorySpaceCount() == 0) {
    FTargetAddressSave = L"0x00000000";
  } else {
    int32_t space = 0, start = 0, end = 0, width = 0;
    FFlashUtility.GetFlashMemorySpace(0, space, start, end, width);
    FTargetAddressSave = Hex8(uint32_t(start));
    EditFlashSize->SetText(std::to_wstring(int64_t(uint32_t(end)) - int64_t(uint32_t(start))));
  }

  FlashSizeLabel->SetTop(sizeRowTop);
  EditFlashSize->SetTop(sizeRowTop - 3);
  comboFlashSizeUnits->SetTop(EditFlashSize->Top());
  FlashWidthLabel->SetTop(sizeRowTop + 28);
  comboFlashWidths->SetTop(sizeRowTop + 25);
  FlashBaseAddressLabel->SetVisible(showBaseRow);
  EditFlashBaseAddress->SetVisible(showBaseRow);
  ButtonCfiQuery->SetVisible(showBaseRow && cfi != nullptr);

  const bool spiRows = serial != nullptr;
  SPIBaseAddressLabel->SetVisible(spiRows && spiList.empty());
  EditSPIBaseAddress->SetVisible(spiRows && spiList.empty());
  EditSPIBaseAddress->SetEnabled(!spiDataFound);
  EditSPIBaseAddress->SetText(Hex8(spiBase));
  SPIInstanceLabel->SetVisible(spiRows && !spiList.empty());
  SPIInstanceDropDownList->SetVisible(spiRows && !spiList.empty());
  SPIInstanceDropDownList->Items().Clear();
  for (const std::wstring& name : spiList)
    SPIInstanceDropDownList->Items().Add(name);
  for (TControl* control : std::initializer_list<TControl*>{
           SPIClockFreqLabel, EditSPIClockFreq, comboSPIClockFreqUnits, ProcessorClockFreqLabel,
           EditProcessorClockFreq, comboProcClockFreqUnits})
    control->SetVisible(spiRows);
  EditSPIClockFreq->SetText(std::to_wstring(spiClock));
  EditSPIClockFreq->SetEnabled(!clockPresent);
  comboSPIClockFreqUnits->SetEnabled(!clockPresent);
  EditProcessorClockFreq->SetText(std::to_wstring(processorClock));
  EditProcessorClockFreq->SetEnabled(!platformPresent);
  comboProcClockFreqUnits->SetEnabled(!platformPresent);
  comboSPIClockFreqUnits->SetItemIndex(comboSPIClockFreqUnits->Items().IndexOf(L"Hz"));
  comboProcClockFreqUnits->SetItemIndex(comboProcClockFreqUnits->Items().IndexOf(L"Hz"));

  for (TXPHistoryEdit* edit :
       {EditEraseStartAddress, EditEraseEndAddress, editTargetAddress, EditFlashBaseAddress})
    edit->SetText(FTargetAddressSave);

  comboFlashWidths->Items().Clear();
  int32_t defaultWidth = 0;
  if (!FFlashUtility.IsEmpty()) {
    for (const int32_t width : {8, 16, 32})
      if (FFlashUtility.IsFlashWidthSupported(width))
        comboFlashWidths->Items().Add(std::to_wstring(width));
    defaultWidth = FFlashUtility.GetDefaultFlashWidth();
  }
  comboFlashWidths->SetItemIndex(comboFlashWidths->Items().IndexOf(std::to_wstring(defaultWidth)));

  if (baseKnown && sizeKnown)
    SetFlashMemorySpace(base, size, defaultWidth);

  const bool sizeEditable = serial == nullptr;
  EditFlashSize->SetEnabled(sizeEditable);
  comboFlashSizeUnits->SetEnabled(sizeEditable);
  comboFlashWidths->SetEnabled(sizeEditable);
  if (cfi)
    EnableFlashOperations(cfi->QueryOk());
}

void TFlashMemoryUtilityForm::SetFlashMemorySpace(int64_t ABase, int64_t ASize, int64_t AWidth) {
  if (FFlashUtility.IsEmpty())
    return;
  FFlashUtility.ClearFlashMemorySpaces();
  // The writer's interface takes 32-bit values: the end wraps as the
  // writer would sum it.
  const uint32_t start = uint32_t(ABase);
  const uint32_t end = start + uint32_t(ASize);
  FFlashUtility.AddFlashMemorySpace(kGlobalSpace, int32_t(start), int32_t(end), int32_t(AWidth));
}

void TFlashMemoryUtilityForm::ApplyFlashSettings() {
  if (FFlashUtility.IsEmpty() || !FInitialized || FUpdating)
    return;
  int64_t base = 0, size = 0, width = 0;
  if (!TryParseSize(EditFlashBaseAddress->Text(), base)) {
    ShowErrorMessage(L"Please enter a valid base Flash address!");
    return;
  }
  if (!TryParseSize(EditFlashSize->Text(), size)) {
    ShowErrorMessage(L"Please enter a valid Flash size!");
    return;
  }
  if (!TryParseSize(comboFlashWidths->Text(), width)) {
    ShowErrorMessage(L"Please enter a valid base Flash width!");
    return;
  }
  if (const TUnitConvertor* units = SelectedConvertor(*comboFlashSizeUnits, FSizeUnitConvertors))
    size = units->Convert(size);
  const std::wstring baseText = EditFlashBaseAddress->Text();
  EditEraseStartAddress->SetText(baseText);
  EditEraseEndAddress->SetText(baseText);
  editTargetAddress->SetText(baseText);
  SetFlashMemorySpace(base, size, width);
  if (TRemoteExecuteBaseDriverCFIFlash* cfi = CfiWriter())
    EnableFlashOperations(base == cfi->BaseAddress());
}

bool TFlashMemoryUtilityForm::ApplySPISettings() {
  bool result = true;
  int64_t spiBase = 0, spiClock = 0, processorClock = 0;
  if (!TryParseSize(EditSPIBaseAddress->Text(), spiBase)) {
    ShowErrorMessage(L"Please enter a valid base SPI address!");
    result = false;
  } else if (!TryParseSize(EditSPIClockFreq->Text(), spiClock)) {
    ShowErrorMessage(L"Please enter a valid SPI clock frequency!");
    result = false;
  } else if (!TryParseSize(EditProcessorClockFreq->Text(), processorClock)) {
    ShowErrorMessage(L"Please enter a valid system clock frequency!");
    result = false;
  }
  if (TRemoteExecuteBaseDriverSerialFlash* serial = SerialWriter()) {
    if (const TUnitConvertor* units =
            SelectedConvertor(*comboSPIClockFreqUnits, FSPIClockUnitConvertors))
      spiClock = units->Convert(spiClock);
    if (const TUnitConvertor* units =
            SelectedConvertor(*comboProcClockFreqUnits, FProcClockUnitConvertors))
      processorClock = units->Convert(processorClock);
    TSPIData data = serial->SelectedSPI();
    data.FSPIBaseAddress = EditSPIBaseAddress->Text();
    data.FSPIClockFreq = std::to_wstring(spiClock);
    data.FProcessorClockFreq = std::to_wstring(processorClock);
    serial->SetSelectedSPIData(data);
  }
  return result;
}

void TFlashMemoryUtilityForm::EditFlashBaseAddressChange(TControl*) {
  ApplyFlashSettings();
}

void TFlashMemoryUtilityForm::comboFlashWidthsChange(TControl*) {
  ApplyFlashSettings();
}

void TFlashMemoryUtilityForm::comboFlashSizeUnitsChange(TControl*) {
  // The size the dialog fills in is a byte count; a list standing on
  // "Byte" moves to "KByte".
  if (Filling())
    return;
  if (comboFlashSizeUnits->ItemIndex() == 0)
    comboFlashSizeUnits->SetItemIndex(1);
}

void TFlashMemoryUtilityForm::RadioDownloadCurrentProjectClick(TControl*) {
  if (RadioDownloadCurrentProject->GetChecked() && FCurrentDownloadMode != eDownloadMode_Project)
    SetDownloadMode(eDownloadMode_Project);
}

void TFlashMemoryUtilityForm::radioDownloadFileClick(TControl*) {
  if (radioDownloadFile->GetChecked() && FCurrentDownloadMode != eDownloadMode_File)
    SetDownloadMode(eDownloadMode_File);
}

void TFlashMemoryUtilityForm::buttonAbortClick(TControl*) {
  FAbort = true;
}

// ---- messages ------------------------------------------------------------------------------

void TFlashMemoryUtilityForm::ShowErrorMessage(const std::wstring& AText) {
  ShowErrorBox(HandleAllocated() ? Handle() : nullptr, AText);
}

bool TFlashMemoryUtilityForm::ConfirmMessage(const std::wstring& AText) {
  return ShowMessageBox(HandleAllocated() ? Handle() : nullptr, AText, L"Confirm",
                        MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

void TFlashMemoryUtilityForm::ShowInformationMessage(const std::wstring& AText,
                                                     const std::wstring& ACaption) {
  ShowMessageBox(HandleAllocated() ? Handle() : nullptr, AText, ACaption,
                 MB_OK | MB_ICONINFORMATION);
}

// ---- files ---------------------------------------------------------------------------------

std::wstring TFlashMemoryUtilityForm::ChooseDownloadFile(const std::wstring& AInitialDir) {
  TOpenFileRequest request;
  request.Owner = HandleAllocated() ? Handle() : nullptr;
  request.Title = L"Choose File For Download";
  request.Filter = std::wstring(L"Intel Hex Files (*.hex)|*.hex") + L"|" + L"All files (*.*)|*.*";
  request.FilterIndex = 1;
  request.InitialDir = AInitialDir;
  if (!ExecuteOpenFile(request))
    return L"";
  return request.FileName;
}

void TFlashMemoryUtilityForm::EditFilenameButton2Click(TControl*) {
  std::wstring folder;
  const std::wstring current = EditFilename->Text();
  if (FileExists(current)) {
    folder = current;
  } else if (!FDeviceLink.IsEmpty()) {
    if (const IProject project = FDeviceLink.GetProject(); !project.IsEmpty())
      folder = project.GetOutputPath(L"");
  }
  const std::wstring chosen = ChooseDownloadFile(folder);
  if (!chosen.empty())
    EditFilename->SetText(chosen);
}

std::wstring TFlashMemoryUtilityForm::GetProjectImageFile() {
  if (FDeviceLink.IsEmpty())
    return L"";
  const IProject project = FDeviceLink.GetProject();
  if (project.IsEmpty())
    return L"";
  std::vector<std::wstring> candidates;
  if (const IEmbeddedMemoryManager manager = GetEmbeddedMemoryManager(); !manager.IsEmpty()) {
    if (const IEmbeddedMemories memories = manager.GetMemories(kFlashMemoryCategory);
        !memories.IsEmpty()) {
      memories.LoadFromProject(project, true);
      const int32_t count = memories.GetCount();
      for (int32_t i = 0; i < count; ++i) {
        const IEmbeddedMemory memory = memories.GetMemory(i);
        if (memory.IsEmpty())
          continue;
        const std::wstring file = memory.GetFileName(project);
        if (FileExists(file))
          candidates.push_back(file);
      }
    }
  }
  if (candidates.size() == 1)
    return candidates.front();
  return ChooseDownloadFile(project.GetOutputPath(L""));
}

// ---- the operations ------------------------------------------------------------------------

int32_t TFlashMemoryUtilityForm::WriteOrVerify(bool AVerify) {
  if (!ApplySPISettings() || FFlashUtility.IsEmpty())
    return 0;
  int64_t address = 0;
  if (!TryParseSize(editTargetAddress->Text(), address)) {
    ShowErrorMessage(L"Please enter a valid memory address!");
    return 0;
  }
  if (!FFlashUtility.IsAddressInFlash(kGlobalSpace, int32_t(uint32_t(address)))) {
    ShowErrorMessage(L"Target address is not within a valid flash memory space!");
    return 0;
  }
  std::wstring name = Trimmed(EditFilename->Text());
  TLoadFileCallBackHelper loader(&LoadFile);
  if (FCurrentDownloadMode == eDownloadMode_Project) {
    name = GetProjectImageFile();
    if (name.empty())
      return 0;
    if (!loader.ProcessFile(name)) {
      ShowErrorMessage(L"No valid rom file was found!");
      return 0;
    }
  } else {
    if (name.empty())
      name = GetProjectImageFile();
    if (!FileExists(name)) {
      ShowErrorMessage(L"Please enter a valid file path!");
      return 0;
    }
    if (!loader.ProcessFile(name))
      return 0;
  }
  auto data = std::make_shared<TDynamicLongWordArray>(loader.GetBuffer());
  const uint32_t length = uint32_t(data->size());
  const TComPtr<TDataChunkImageInterface> chunk(
      new TDataChunkImageInterface(uint32_t(address), data, length));
  const IDataChunkImageInterface image =
      IDataChunkImageInterface::FromDispatch(static_cast<IDispatch*>(chunk.Get()));

  TFlashUtilityTransaction transaction(*this);
  if (AVerify) {
    const int32_t differences =
        FFlashUtility.CompareFlashImage(kGlobalSpace, image, int32_t(uint32_t(address)),
                                        int32_t(length), CheckAutoChecksum->GetChecked());
    std::wstring report = L"Compared Bytes: " + std::to_wstring(length) + L"\r\n";
    if (differences != 0)
      report += L"There are (" + std::to_wstring(differences) + L") differences.";
    else
      report += L"File and Flash are identical";
    ShowInformationMessage(report, L"Compare File to Flash");
    return 0;
  }
  return FFlashUtility.WriteFlashImage(
      kGlobalSpace, image, CheckAutoChecksum->GetChecked(), CheckPreserveSectorData->GetChecked(),
      CheckResetDeviceAfterLoad->GetChecked(), CheckVerifyWrite->GetChecked());
}

void TFlashMemoryUtilityForm::ButtonDownloadToFlashClick(TControl*) {
  WriteOrVerify(false);
}

void TFlashMemoryUtilityForm::ButtonVerifyClick(TControl*) {
  WriteOrVerify(true);
}

void TFlashMemoryUtilityForm::EraseSectorsSingly(int32_t ASpace, uint32_t AFirst, uint32_t ALast) {
  const uint32_t count = ALast - AFirst + 1;
  const int step = count == 0 ? 0 : int(uint32_t(kProgressMax) / count);
  SetProgress(0);
  for (uint32_t sector = AFirst;; ++sector) {
    FFlashUtility.EraseSectorRange(ASpace, int32_t(sector), int32_t(sector));
    StepProgress(step);
    if (sector == ALast)
      break;
  }
}

void TFlashMemoryUtilityForm::ButtonEraseAddressRangeClick(TControl*) {
  if (!ApplySPISettings() || FFlashUtility.IsEmpty())
    return;
  int64_t start = 0, end = 0;
  if (!TryParseSize(EditEraseStartAddress->Text(), start) ||
      !TryParseSize(EditEraseEndAddress->Text(), end)) {
    ShowErrorMessage(L"Please enter a valid memory address!");
    return;
  }
  if (!FFlashUtility.IsAddressInFlash(kGlobalSpace, int32_t(uint32_t(start)))) {
    ShowErrorMessage(L"Start address is not within a valid flash memory space!");
    return;
  }
  if (!FFlashUtility.IsAddressInFlash(kGlobalSpace, int32_t(uint32_t(end)))) {
    ShowErrorMessage(L"End address is not within a valid flash memory space!");
    return;
  }
  if (end < start) {
    ShowErrorMessage(L"Start address must be less then or equal to END address!");
    return;
  }
  if (!ConfirmMessage(L"Confirm erase address range:" + EditEraseStartAddress->Text() + L" -> " +
                      EditEraseEndAddress->Text() + L" ?"))
    return;
  TFlashUtilityTransaction transaction(*this);
  const uint32_t first =
      uint32_t(FFlashUtility.GetFlashSectorFromAddress(kGlobalSpace, int32_t(uint32_t(start))));
  const uint32_t last =
      uint32_t(FFlashUtility.GetFlashSectorFromAddress(kGlobalSpace, int32_t(uint32_t(end))));
  if (last < first)
    return;
  EraseSectorsSingly(kGlobalSpace, first, last);
}

void TFlashMemoryUtilityForm::ButtonEraseSectorRangeClick(TControl*) {
  if (!ApplySPISettings() || FFlashUtility.IsEmpty())
    return;
  int32_t first = 0, last = 0;
  if (!TryParseInt(EditStartSectorNumber->Text(), first)) {
    ShowErrorMessage(L"Please enter a valid start sector number!");
    return;
  }
  if (!TryParseInt(EditEndSectorNumber->Text(), last)) {
    ShowErrorMessage(L"Please enter a valid end sector number!");
    return;
  }
  if (last < first) {
    EditEndSectorNumber->SetText(EditStartSectorNumber->Text());
    last = first;
  }
  if (!ConfirmMessage(L"Confirm erase sectors:  " + EditStartSectorNumber->Text() + L"  ->  " +
                      EditEndSectorNumber->Text() + L"?"))
    return;
  TFlashUtilityTransaction transaction(*this);
  EraseSectorsSingly(kGlobalSpace, uint32_t(first), uint32_t(last));
}

void TFlashMemoryUtilityForm::ButtonEraseEntireDeviceClick(TControl*) {
  if (!ConfirmMessage(L"Erase entire device ?"))
    return;
  if (!ApplySPISettings() || FFlashUtility.IsEmpty())
    return;
  TFlashUtilityTransaction transaction(*this);
  const int32_t count = FFlashUtility.GetFlashMemorySpaceCount();
  for (int32_t i = 0; i < count; ++i) {
    int32_t global = 0, start = 0, end = 0, width = 0;
    FFlashUtility.GetFlashMemorySpace(i, global, start, end, width);
    if (FFlashUtility.SupportsAction(kActionEraseAll)) {
      FFlashUtility.EraseEntireDevice(global);
      continue;
    }
    // The number of sectors below the space's end, which lies one past its
    // last byte.
    const uint32_t sectors = uint32_t(FFlashUtility.GetFlashSectorFromAddress(global, end));
    if (sectors == 0)
      return;
    EraseSectorsSingly(global, 0, sectors - 1);
  }
}

bool TFlashMemoryUtilityForm::SectorBeyondSpace(int32_t ASector, uint32_t ASpaceEnd) {
  // The space's end lies one past its last byte: a sector starting there
  // or above is not part of the device.
  const uint32_t address = uint32_t(FFlashUtility.GetFlashAddressFromSector(kGlobalSpace, ASector));
  return address >= ASpaceEnd;
}

void TFlashMemoryUtilityForm::ButtonBlankCheckClick(TControl*) {
  if (!ApplySPISettings() || FFlashUtility.IsEmpty())
    return;
  TFlashUtilityTransaction transaction(*this);
  int32_t first = 0, last = 0;
  if (!TryParseInt(EditBlankCheckStart->Text(), first)) {
    ShowErrorMessage(L"Please enter a valid start sector number!");
    return;
  }
  int32_t global = 0, start = 0, end = 0, width = 0;
  FFlashUtility.GetFlashMemorySpace(kGlobalSpace, global, start, end, width);
  if (SectorBeyondSpace(first, uint32_t(end)) &&
      !ConfirmMessage(L"Entered start sector number exceeds total sectors reported for this "
                      L"device!\r\nContinue anyway?"))
    return;
  if (!TryParseInt(EditBlankCheckEnd->Text(), last)) {
    ShowErrorMessage(L"Please enter a valid END sector number!");
    return;
  }
  if (SectorBeyondSpace(last, uint32_t(end)) &&
      !ConfirmMessage(L"Entered end sector number exceeds total sectors reported for this "
                      L"device!\r\nContinue anyway?"))
    return;
  if (last < first) {
    EditBlankCheckEnd->SetText(EditBlankCheckStart->Text());
    last = first;
  }
  const uint32_t count = uint32_t(last) - uint32_t(first) + 1;
  const int step = count == 0 ? 0 : int(uint32_t(kProgressMax) / count);
  unsigned notBlank = 0;
  for (int32_t sector = first;; ++sector) {
    if (FFlashUtility.BlankCheckSectors(kGlobalSpace, sector, sector) != 0) {
      ++notBlank;
      if (!ConfirmMessage(L"Sector [" + std::to_wstring(sector) + L"] not blank!\r\n" +
                          L"Continue checking ?"))
        return;
    }
    StepProgress(step);
    if (sector == last)
      break;
  }
  if (notBlank == 0)
    ShowInformationMessage(L"All valid sectors within the selected range are blank.",
                           L"Information");
}

void TFlashMemoryUtilityForm::ButtonCfiQueryClick(TControl*) {
  TRemoteExecuteBaseDriverCFIFlash* cfi = CfiWriter();
  if (!cfi)
    return;
  int64_t base = 0;
  if (!TryParseSize(EditFlashBaseAddress->Text(), base)) {
    ShowErrorMessage(L"Please enter a valid memory address!");
    return;
  }
  {
    TFlashUtilityTransaction transaction(*this);
    TRemoteCommandResult result;
    if (cfi->QueryFlash(result)) {
      ShowCfiFlashQueryResult(*this, result);
      SetFlashMemorySpace(cfi->BaseAddress(), cfi->Size(), FFlashUtility.GetDefaultFlashWidth());
    } else {
      ShowErrorMessage(L"No CFI flash detected at address " + Hex8(base) + L" !");
    }
  }
  UpdateFlashSettings();
}

void TFlashMemoryUtilityForm::EditStartSectorNumberChange(TControl*) {
  if (!FInitialized)
    return;
  int32_t start = 0;
  if (!TryParseInt(EditStartSectorNumber->Text(), start)) {
    ShowErrorMessage(L"Please enter a valid start sector number!");
    return;
  }
  int32_t end = 0;
  if (!TryParseInt(EditEndSectorNumber->Text(), end))
    end = 0;
  if (end < start)
    EditEndSectorNumber->SetText(EditStartSectorNumber->Text());
}

void TFlashMemoryUtilityForm::EditBlankCheckStartChange(TControl*) {
  if (!FInitialized)
    return;
  if (!ApplySPISettings())
    return;
  int32_t start = 0;
  if (!TryParseInt(EditBlankCheckStart->Text(), start)) {
    ShowErrorMessage(L"Please enter a valid start sector number!");
    return;
  }
  int32_t end = 0;
  if (!TryParseInt(EditBlankCheckEnd->Text(), end))
    end = 0;
  if (end < start)
    EditBlankCheckEnd->SetText(EditBlankCheckStart->Text());
}

// ---- the driver's command ------------------------------------------------------------------

void RunFlashMemoryUtility(const IFlashWriters& AFlashWriters, const IDeviceLink& ADeviceLink) {
  std::unique_ptr<TFlashMemoryUtilityForm> form(
      new TFlashMemoryUtilityForm(AFlashWriters, ADeviceLink));
  form->ShowModal();
}
