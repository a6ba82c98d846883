#pragma once

// The bases of every instrument panel a driver shows in the host's rack:
// a form bound to the host's debug-device object, and the rack form, a
// borderless panel placed inside a host rack window, which reads and
// writes the device's registers, shows its chain position, port and core
// in its front plate and passes its clicks on to the rack window.

#include "com-ptr.h"
#include "forms.h"
#include "host-records.h"

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <string>

class TInstrumentBackgroundPanel;
class TInstrumentView;
class TInstrumentFormAutomation;

class TInstrumentForm : public TCustomForm {
public:
  // The form, made without owner, bound to ADevice (empty: no device).
  explicit TInstrumentForm(const ITarvoDevice& ADevice);
  ~TInstrumentForm() override;
  std::wstring ClassName() const override { return L"TInstrumentForm"; }

  // The form as an automation object: names and type information are never
  // offered, and every call goes to the virtual Invoke. The interface is
  // counted on its own and outlives the form if the host holds it longer;
  // once the form is gone it answers E_UNEXPECTED. No reference is added.
  IDispatch* AutomationInterface();
  // The form's own calls; it serves none.
  virtual HRESULT Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                         DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                         UINT* AArgErr);

  ITarvoDevice GetTarvoDevice() const { return FTarvoDevice; }
  void SetTarvoDevice(const ITarvoDevice& ADevice) { FTarvoDevice = ADevice; }
  const ITarvoDevice& TarvoDevice() const { return FTarvoDevice; }

  virtual void ReceiveNotification(const INotification& /*ANotification*/) {}
  // Binds ADevice and captions the form "  JTAG Index: " + its chain position.
  virtual void Display(const ITarvoDevice& ADevice);
  // The host hid the panel.
  virtual void Hidden() {}
  virtual void SetProjectDetails(const std::wstring& /*AProjectPath*/,
                                 const std::wstring& /*ATarget*/) {}
  // Refreshes the enabled state of the controls.
  virtual void SetState_Controls() {}

  // The view that wraps the form, told when the form goes first.
  TInstrumentView* View() const { return FView; }
  void SetView(TInstrumentView* AView) { FView = AView; }

protected:
  void WndProc(TMessage& AMessage) override;

private:
  ITarvoDevice FTarvoDevice;
  TInstrumentView* FView = nullptr;
  TComPtr<TInstrumentFormAutomation> FAutomation;
};

// What a click on the panel does: the form's and its main panel's
// mouse-down event.
using TRackMouseHandler = TMouseEvent;

class TRackInstrumentForm : public TInstrumentForm {
public:
  // Borderless, not busy, its own clicks forwarded. A concrete form wires
  // its main panel's clicks by calling SetMouseHandler(MouseHandler()) once
  // its layout is made.
  explicit TRackInstrumentForm(const ITarvoDevice& ADevice);
  std::wstring ClassName() const override { return L"TRackInstrumentForm"; }

  // 0 when the device is offline, busy or has no such register; a read
  // never starts while another register access of this form is under way.
  virtual int32_t GetRegisterValue(int32_t AIndex);
  // Writes even while busy; nothing without a device or register.
  virtual void SetRegisterValue(int32_t AIndex, int32_t AValue);
  // Runs after every refresh request of the host.
  virtual void ForceDisplayUpdate() {}
  // The height the host's rack gives the panel.
  virtual int GetPreferredHeight() = 0;
  virtual void SetMouseHandler(const TRackMouseHandler& AHandler) = 0;
  virtual bool LiveUpdateNet(const INet& /*ANet*/, int32_t /*AEnable*/) { return false; }
  using TWinControl::SetParentWindow;
  // The host window that holds the form; clicks go there.
  virtual void SetParentWindow(const IExternalFormHolder& AHolder) {
    FParentWindowHolder = AHolder;
  }
  // The first direct child that is a front plate, or nullptr.
  virtual TInstrumentBackgroundPanel* GetMainPanel();

  bool DeviceOnline() const { return !TarvoDevice().IsEmpty(); }
  bool DeviceBusy() const { return FDeviceBusy; }
  const IExternalFormHolder& ParentWindowHolder() const { return FParentWindowHolder; }

  // The front plate's chain position, port index and core name.
  void UpdateCoreInformation();
  // The device's core in the host's debug workbench, empty without one.
  ITarvoCore GetTarvoCore();
  // A left or right press sent at once to the holder window: WM_LBUTTONDOWN
  // or WM_RBUTTONDOWN with X as WParam and Y as LParam, as the rack window
  // reads them.
  void MouseButtonDown(TControl* ASender, TMouseButton AButton, TShiftState AShift, int AX, int AY);
  TRackMouseHandler MouseHandler();

  // Shows a register on ALabel: "0x" + hex (AShowHex), the unsigned decimal
  // value (AShowDecimal) and the grouped base-2 text (AShowBinary), joined
  // by " - ". A width of 0 reads value and width from the register; an
  // empty register blanks the label.
  void ShowRegisterValue(const IProcessorRegister& ARegister, TControl& ALabel, bool AShowHex,
                         bool AShowDecimal, bool AShowBinary, int32_t AValue, int32_t AWidth);
  // Upper-case hex, zero-padded to the digits a register of AWidth bits has
  // (2 digits up to 8 bits, 8 from 29 bits on).
  static std::wstring RegisterValueToHex(uint32_t AValue, int32_t AWidth);

protected:
  // Marks the device busy for one register access, whatever happens in it.
  class TBusyScope {
  public:
    explicit TBusyScope(TRackInstrumentForm& AForm) : FForm(AForm) { FForm.FDeviceBusy = true; }
    ~TBusyScope() { FForm.FDeviceBusy = false; }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

  private:
    TRackInstrumentForm& FForm;
  };

private:
  IExternalFormHolder FParentWindowHolder;
  bool FDeviceBusy = false;
};

// The form's control tree, as the message kControlListingMessageName asks
// for it: WParam the room of the buffer in characters, LParam the buffer
// (nullptr: only the length); the answer is the length the listing needs,
// without its terminator. One line per control, depth first, its fields
// separated by tabs: depth, name, class, caption, checked (0/1), enabled,
// visible, left, top, right, bottom.
inline constexpr wchar_t kControlListingMessageName[] = L"OrvandelControlListing";
