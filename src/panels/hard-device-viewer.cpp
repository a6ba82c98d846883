#include "hard-device-viewer.h"

#include "client-access.h"
#include "contracts.h"
#include "host-modules.h"
#include "instrument-controls.h"
#include "instrument-layout.h"
#include "instrument-panel.h"
#include "support-service.h"

#include <utility>

namespace {

using namespace instrument_layout;

// The panel's layout, in creation order: a 724 x 129 form whose front
// plate, 97 high, is what the rack shows.
constexpr int kClientWidth = 724, kClientHeight = 129, kMainPanelHeight = 97;
constexpr TLayoutRow kLayout[] = {
    {TLayoutKind::BackgroundPanel, L"Panel_Main", nullptr, 0, 0, kClientWidth, kMainPanelHeight,
     L"Discrete Device Controller", ltAlignTop},
    {TLayoutKind::Caption, L"Header_DeviceActions", L"Panel_Main", 16, 24, 330, 16,
     L"DEVICE ACTIONS", ltNone},
    {TLayoutKind::Button, L"Button_ResetHardDevice", L"Panel_Main", 16, 46, 70, 17, L"Reset",
     ltNone},
    {TLayoutKind::Button, L"Button_Download", L"Panel_Main", 94, 46, 90, 17, L"Download", ltNone},
    {TLayoutKind::Button, L"Button_CompileAndDownload", L"Panel_Main", 192, 46, 154, 17,
     L"Compile && Download", ltNone},
    {TLayoutKind::Button, L"Button_ChooseAndDownload", L"Panel_Main", 16, 70, 168, 17,
     L"Choose && Download", ltNone},
    {TLayoutKind::Button, L"Button_DeviceInformation", L"Panel_Main", 192, 70, 154, 17,
     L"Device Information", ltNone},
    {TLayoutKind::Caption, L"Header_DeviceStatus", L"Panel_Main", 372, 24, 336, 16,
     L"DEVICE STATUS", ltNone},
    {TLayoutKind::Panel, L"Panel_Status", L"Panel_Main", 372, 44, 336, 20, L"", ltNone},
    {TLayoutKind::Label, L"Label_Status", L"Panel_Status", 6, 3, 324, 14, L"Label_Status", ltNone},
    {TLayoutKind::CheckBox, L"CheckBox_LEDProgrammed", L"Panel_Main", 372, 70, 17, 17, L"",
     ltGreenGlyph | ltDisabled},
    {TLayoutKind::Label, L"Label_Programmed", L"Panel_Main", 392, 72, 72, 14, L"Programmed",
     ltNone},
    {TLayoutKind::CheckBox, L"CheckBox_LEDReset", L"Panel_Main", 472, 70, 17, 17, L"", ltDisabled},
    {TLayoutKind::Label, L"Label_Reset", L"Panel_Main", 492, 72, 44, 14, L"Reset", ltNone},
    {TLayoutKind::Button, L"Button_ShowPinsState", L"Panel_Main", 568, 70, 140, 17,
     L"JTAG Viewer Panel", ltNone},
};

// The device states the lamps show.
constexpr int32_t kDeviceStateReset = 1, kDeviceStateProgrammed = 2;

// The pins panel until it is part of the module: it takes every request.
class TAbsentPinsPanel final : public IHardDevicePinsPanel {};

} // namespace

// ---- the pins panel -------------------------------------------------------------

std::unique_ptr<IHardDevicePinsPanel> CreateHardDevicePinsPanel(const ITarvoDevice&,
                                                                const IJTagDevice&) {
  return std::make_unique<TAbsentPinsPanel>();
}

void ReleaseHardDevicePinsPanel(std::unique_ptr<IHardDevicePinsPanel>& APanel) {
  APanel.reset();
}

// ---- the viewer's timer handler ---------------------------------------------------

// The host's timer call (267) reaches the viewer's HandleTimer through the
// form's own interface; a failure there answers E_UNEXPECTED.
class THardDeviceViewerTimerHandler final : public TAbstractTimerHandler {
public:
  explicit THardDeviceViewerTimerHandler(THardDeviceViewerForm* AViewer) : F(AViewer) {}
  void ViewerGone() { F = nullptr; }

  HRESULT HandleTimerEvent(uint32_t ATimerId) override {
    return Guarded([&] {
      if (F)
        F->HandleTimer(ATimerId);
    });
  }

private:
  THardDeviceViewerForm* F;
};

// ---- THardDeviceViewerForm ----------------------------------------------------------

THardDeviceViewerForm::THardDeviceViewerForm(const ITarvoDevice& ADevice,
                                             const IJTagDevice& AChainDevice)
    : TRackInstrumentForm(ADevice), FChainDevice(AChainDevice) {
  CreateLayout();
  SetMouseHandler(MouseHandler());
  FTimerHandler = TComPtr<THardDeviceViewerTimerHandler>(new THardDeviceViewerTimerHandler(this));
  FPinStatesPanel = CreateHardDevicePinsPanel(ADevice, AChainDevice);
  try {
    if (const IClient client = Client()) {
      if (const ITimerManager manager = client.GetTimerManager())
        FStatusUpdateTimerID =
            uint32_t(manager.AddHandler(ITimerHandler::FromDispatch(AutomationInterface()),
                                        int32_t(kStatusUpdateMilliseconds), true));
    }
  } catch (...) {
    // The destructor does not run for a constructor that raised: what the
    // form made so far goes here.
    FTimerHandler->ViewerGone();
    ReleaseHardDevicePinsPanel(FPinStatesPanel);
    throw;
  }
  Label_Status->SetCaption(L"");
}

THardDeviceViewerForm::~THardDeviceViewerForm() {
  if (const uint32_t id = std::exchange(FStatusUpdateTimerID, 0)) {
    try {
      if (const IClient client = Client()) {
        if (const ITimerManager manager = client.GetTimerManager())
          manager.RemoveHandler(int32_t(id));
      }
    } catch (...) {
      // A host that cannot answer any more takes its timers with it.
    }
  }
  ReleaseHardDevicePinsPanel(FPinStatesPanel);
  if (FTimerHandler)
    FTimerHandler->ViewerGone();
  FTimerHandler.Reset();
}

void THardDeviceViewerForm::CreateLayout() {
  SetCaption(L"Hard Device Viewer");
  SetBounds(Left(), Top(), kClientWidth, kClientHeight);
  TComponentLoading loading(this);
  CreateLayoutControls(*this, kLayout);
  Panel_Main = Named<TInstrumentBackgroundPanel>(*this, L"Panel_Main");
  Header_DeviceActions = Named<TInstrumentCaption>(*this, L"Header_DeviceActions");
  Button_ResetHardDevice = Named<TInstrumentButton>(*this, L"Button_ResetHardDevice");
  Button_Download = Named<TInstrumentButton>(*this, L"Button_Download");
  Button_CompileAndDownload = Named<TInstrumentButton>(*this, L"Button_CompileAndDownload");
  Button_ChooseAndDownload = Named<TInstrumentButton>(*this, L"Button_ChooseAndDownload");
  Button_DeviceInformation = Named<TInstrumentButton>(*this, L"Button_DeviceInformation");
  Header_DeviceStatus = Named<TInstrumentCaption>(*this, L"Header_DeviceStatus");
  Panel_Status = Named<TInstrumentPanel>(*this, L"Panel_Status");
  Label_Status = Named<TInstrumentLabel>(*this, L"Label_Status");
  CheckBox_LEDProgrammed = Named<TInstrumentCheckBox>(*this, L"CheckBox_LEDProgrammed");
  Label_Programmed = Named<TInstrumentLabel>(*this, L"Label_Programmed");
  CheckBox_LEDReset = Named<TInstrumentCheckBox>(*this, L"CheckBox_LEDReset");
  Label_Reset = Named<TInstrumentLabel>(*this, L"Label_Reset");
  Button_ShowPinsState = Named<TInstrumentButton>(*this, L"Button_ShowPinsState");

  Panel_Main->SetStyle(ipsDarkGray);
  Panel_Status->SetDisplayStyle(dsGray);

  Button_ResetHardDevice->OnClick = [this](TControl* ASender) {
    Button_ResetHardDeviceClick(ASender);
  };
  Button_Download->OnClick = [this](TControl* ASender) { Button_DownloadClick(ASender); };
  Button_CompileAndDownload->OnClick = [this](TControl* ASender) {
    Button_CompileAndDownloadClick(ASender);
  };
  Button_ChooseAndDownload->OnClick = [this](TControl* ASender) {
    Button_ChooseAndDownloadClick(ASender);
  };
  Button_DeviceInformation->OnClick = [this](TControl* ASender) {
    Button_DeviceInformationClick(ASender);
  };
  Button_ShowPinsState->OnClick = [this](TControl* ASender) {
    Button_ShowPinsStates_Click(ASender);
  };
  loading.End();
}

HRESULT THardDeviceViewerForm::Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                      DISPPARAMS* AParams, VARIANT* AVarResult,
                                      EXCEPINFO* AExcepInfo, UINT* AArgErr) {
  const HRESULT own = TRackInstrumentForm::Invoke(ADispId, AIid, ALocale, AFlags, AParams,
                                                  AVarResult, AExcepInfo, AArgErr);
  if (own != E_NOTIMPL || !FTimerHandler)
    return own;
  return FTimerHandler->Invoke(ADispId, AIid, ALocale, AFlags, AParams, AVarResult, AExcepInfo,
                               AArgErr);
}

void THardDeviceViewerForm::ReceiveNotification(const INotification& ANotification) {
  TRackInstrumentForm::ReceiveNotification(ANotification);
  if (FPinStatesPanel)
    FPinStatesPanel->ReceiveNotification(ANotification);
}

void THardDeviceViewerForm::Hidden() {
  if (FPinStatesPanel)
    FPinStatesPanel->SetHidden();
}

void THardDeviceViewerForm::SetProjectDetails(const std::wstring& AProjectPath,
                                              const std::wstring& ATarget) {
  if (AProjectPath.empty() && ATarget.empty()) {
    Label_Status->SetCaption(L"No Compatible Project Configurations Found");
  } else {
    // Without the host's client API the path is all there is to show.
    const IClientAPI_Interface api = ClientAPI();
    const std::wstring name = api.IsEmpty() ? AProjectPath : api.GetDisplayName(AProjectPath);
    Label_Status->SetCaption(name + L" / " + ATarget);
  }
  if (FPinStatesPanel)
    FPinStatesPanel->SetProjectDetails(AProjectPath, ATarget);
}

void THardDeviceViewerForm::SetState_Controls() {
  TRackInstrumentForm::SetState_Controls();
  UpdateStatusLamps();
  UpdateActionButtons();
  if (FPinStatesPanel)
    FPinStatesPanel->SetState_Controls();
}

int THardDeviceViewerForm::GetPreferredHeight() {
  return Panel_Main->Height();
}

void THardDeviceViewerForm::SetMouseHandler(const TRackMouseHandler& AHandler) {
  Panel_Main->OnMouseDown = AHandler;
}

bool THardDeviceViewerForm::LiveUpdateNet(const INet& ANet, int32_t AEnable) {
  return FPinStatesPanel ? FPinStatesPanel->LiveUpdateNet(ANet, AEnable) : false;
}

void THardDeviceViewerForm::HandleTimer(uint32_t ATimerId) {
  if (FStatusUpdateTimerID != 0 && ATimerId == FStatusUpdateTimerID)
    UpdateStatusLamps();
}

void THardDeviceViewerForm::UpdateStatusLamps() {
  // No device, or a device without a driver: no state to show.
  int32_t state = 0;
  if (const ITarvoDevice device = TarvoDevice(); !device.IsEmpty()) {
    if (const ITarvoDriver driver = device.GetDriver(); !driver.IsEmpty())
      state = driver.GetDeviceState();
  }
  CheckBox_LEDReset->SetChecked(state == kDeviceStateReset);
  CheckBox_LEDProgrammed->SetChecked(state == kDeviceStateProgrammed);
}

bool THardDeviceViewerForm::IsGenericDevice() const {
  return SameTextIgnoringCase(TarvoDevice().GetDeviceName(), kGenericDeviceName);
}

void THardDeviceViewerForm::UpdateActionButtons() {
  // Without a device there is nothing to reset or download either.
  const bool enabled = DeviceOnline() && !IsGenericDevice();
  for (TInstrumentButton* button : {Button_Download, Button_ResetHardDevice,
                                    Button_CompileAndDownload, Button_ChooseAndDownload})
    button->SetEnabled(enabled);
}

void THardDeviceViewerForm::RunDeviceCommand(const wchar_t* AProcess, const wchar_t* AParameters) {
  std::wstring parameters =
      AParameters + std::to_wstring(int64_t(TarvoDevice().GetJTagIndex()) + 1);
  RunProcess(AProcess, parameters, IServerDocumentView());
}

void THardDeviceViewerForm::Button_ResetHardDeviceClick(TControl*) {
  if (!DeviceOnline())
    return;
  RunDeviceCommand(L"Pelfrow:DeviceAction", L"Target=HardDevice|Action=ResetDevice|Index=");
  UpdateStatusLamps();
}

void THardDeviceViewerForm::Button_DownloadClick(TControl*) {
  if (!DeviceOnline())
    return;
  RunDeviceCommand(L"Pelfrow:FlowAction", L"Action=DownloadExistingHardDeviceFile|Index=");
  UpdateStatusLamps();
}

void THardDeviceViewerForm::Button_CompileAndDownloadClick(TControl*) {
  if (!DeviceOnline())
    return;
  RunDeviceCommand(L"Pelfrow:FlowAction", L"Action=CompileHardDeviceFileAndDownload|Index=");
  UpdateStatusLamps();
}

void THardDeviceViewerForm::Button_ChooseAndDownloadClick(TControl*) {
  if (!DeviceOnline())
    return;
  RunDeviceCommand(L"Pelfrow:DeviceAction", L"Target=HardDevice|Action=ChooseAndDownload|Index=");
  UpdateStatusLamps();
}

void THardDeviceViewerForm::Button_DeviceInformationClick(TControl*) {
  if (!DeviceOnline())
    return;
  const std::wstring name = TarvoDevice().GetDeviceName();
  if (SameTextIgnoringCase(name, kGenericDeviceName)) {
    // The host knows a generic device only by its JTAG id: it is asked to
    // map that id to a device.
    RunDeviceCommand(L"Pelfrow:DeviceAction",
                     L"Target=HardDevice|Action=ConfigureJTAGIdMapping|Index=");
    return;
  }
  if (const IDeviceManager manager = GetDeviceManager(); !manager.IsEmpty())
    manager.ShowDeviceInformation(name, L"Mode=Browse");
}

void THardDeviceViewerForm::Button_ShowPinsStates_Click(TControl*) {
  if (FPinStatesPanel)
    FPinStatesPanel->SetVisible();
}

THardDeviceViewerForm* CreateHardDeviceViewerForm(const ITarvoDevice& ADevice,
                                                  const IJTagDevice& AChainDevice) {
  return new THardDeviceViewerForm(ADevice, AChainDevice);
}
