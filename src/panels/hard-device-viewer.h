#pragma once

// The hard device viewer: the rack panel of a chain device with a
// boundary-scan description (a programmable logic device and the like).
// It sends the device and design-flow actions to the host (reset, download,
// compile and download, choose and download, device information), shows
// the Reset and Programmed lamps, refreshed every second by a host timer,
// shows the project and target the host links to the device, and owns the
// device's pin states panel, to which it hands the host's notifications,
// project details, hiding and live-net requests.

#include "instrument-forms.h"

#include <cstdint>
#include <memory>
#include <string>

class TInstrumentBackgroundPanel;
class TInstrumentPanel;
class TInstrumentCaption;
class TInstrumentButton;
class TInstrumentCheckBox;
class TInstrumentLabel;

// What the viewer asks of the device's pin states panel. The panel itself
// is not part of the module yet: CreateHardDevicePinsPanel gives one that
// takes every request and shows nothing.
class IHardDevicePinsPanel {
public:
  virtual ~IHardDevicePinsPanel() = default;
  virtual void ReceiveNotification(const INotification& /*ANotification*/) {}
  virtual void SetHidden() {}
  virtual void SetProjectDetails(const std::wstring& /*AProjectPath*/,
                                 const std::wstring& /*ATarget*/) {}
  virtual void SetState_Controls() {}
  virtual bool LiveUpdateNet(const INet& /*ANet*/, int32_t /*AEnable*/) { return false; }
  virtual void SetVisible() {}
};

// The pins panel of ADevice on AChainDevice; it also registers its own
// host view.
std::unique_ptr<IHardDevicePinsPanel> CreateHardDevicePinsPanel(const ITarvoDevice& ADevice,
                                                                const IJTagDevice& AChainDevice);
// Lets the panel go, with its host view.
void ReleaseHardDevicePinsPanel(std::unique_ptr<IHardDevicePinsPanel>& APanel);

class THardDeviceViewerTimerHandler;

class THardDeviceViewerForm : public TRackInstrumentForm {
public:
  static constexpr unsigned kStatusUpdateMilliseconds = 1000;
  // The name the host gives a device that has no driver of its own.
  static constexpr wchar_t kGenericDeviceName[] = L"GenericDevice";

  // Registers the form's automation interface with the host's timer
  // manager as the lamps' timer handler.
  THardDeviceViewerForm(const ITarvoDevice& ADevice, const IJTagDevice& AChainDevice);
  // Removes the host timer and lets the pins panel go.
  ~THardDeviceViewerForm() override;
  std::wstring ClassName() const override { return L"THardDeviceViewerForm"; }

  // The host's timer manager holds the form's own interface as the timer
  // handler: what the form does not serve goes to the handler.
  HRESULT Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags, DISPPARAMS* AParams,
                 VARIANT* AVarResult, EXCEPINFO* AExcepInfo, UINT* AArgErr) override;
  void ReceiveNotification(const INotification& ANotification) override;
  void Hidden() override;
  // The status line shows the project's display name and the target.
  void SetProjectDetails(const std::wstring& AProjectPath, const std::wstring& ATarget) override;
  // Lamps, action buttons, then the pins panel's controls.
  void SetState_Controls() override;
  int GetPreferredHeight() override;
  void SetMouseHandler(const TRackMouseHandler& AHandler) override;
  bool LiveUpdateNet(const INet& ANet, int32_t AEnable) override;

  // A host timer fired: the status timer refreshes the lamps, other ids
  // change nothing.
  virtual void HandleTimer(uint32_t ATimerId);

  // The driver's device state lights the lamps: 1 Reset, 2 Programmed.
  void UpdateStatusLamps();
  // A device without a driver of its own has nothing to reset or download.
  void UpdateActionButtons();

  // The handlers of the layout's controls.
  void Button_ResetHardDeviceClick(TControl* ASender);
  void Button_DownloadClick(TControl* ASender);
  void Button_CompileAndDownloadClick(TControl* ASender);
  void Button_ChooseAndDownloadClick(TControl* ASender);
  void Button_DeviceInformationClick(TControl* ASender);
  void Button_ShowPinsStates_Click(TControl* ASender);

  uint32_t StatusUpdateTimerID() const { return FStatusUpdateTimerID; }
  const IJTagDevice& ChainDevice() const { return FChainDevice; }
  IHardDevicePinsPanel* PinStatesPanel() const { return FPinStatesPanel.get(); }

  // The layout's controls, made by the form's layout routine and owned by it.
  TInstrumentBackgroundPanel* Panel_Main = nullptr;
  TInstrumentCaption* Header_DeviceActions = nullptr;
  TInstrumentButton* Button_ResetHardDevice = nullptr;
  TInstrumentButton* Button_Download = nullptr;
  TInstrumentButton* Button_CompileAndDownload = nullptr;
  TInstrumentButton* Button_ChooseAndDownload = nullptr;
  TInstrumentButton* Button_DeviceInformation = nullptr;
  TInstrumentCaption* Header_DeviceStatus = nullptr;
  TInstrumentPanel* Panel_Status = nullptr;
  TInstrumentLabel* Label_Status = nullptr;
  TInstrumentCheckBox* CheckBox_LEDProgrammed = nullptr;
  TInstrumentLabel* Label_Programmed = nullptr;
  TInstrumentCheckBox* CheckBox_LEDReset = nullptr;
  TInstrumentLabel* Label_Reset = nullptr;
  TInstrumentButton* Button_ShowPinsState = nullptr;

private:
  // Makes the layout's controls inside one loading bracket.
  void CreateLayout();
  // Runs one host process with "Index=" + the 1-based chain position
  // appended to AParameters.
  void RunDeviceCommand(const wchar_t* AProcess, const wchar_t* AParameters);
  bool IsGenericDevice() const;

  uint32_t FStatusUpdateTimerID = 0;
  IJTagDevice FChainDevice;
  std::unique_ptr<IHardDevicePinsPanel> FPinStatesPanel;
  TComPtr<THardDeviceViewerTimerHandler> FTimerHandler;
};

// The viewer of ADevice on AChainDevice; the caller owns the form.
THardDeviceViewerForm* CreateHardDeviceViewerForm(const ITarvoDevice& ADevice,
                                                  const IJTagDevice& AChainDevice);
