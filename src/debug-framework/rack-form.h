#pragma once

// The rack panel of a chain device as the drivers see it: a form bound to
// the host's device object, and the host view that wraps it. Until the
// instrument panels exist the form is a plain window with a caption; the
// drivers use only the operations below, so the panels can take its place.

#include "contracts.h"
#include "host-records.h"

#include <windows.h>

#include <cstdint>
#include <string>

class TInstrumentForm {
public:
  explicit TInstrumentForm(std::wstring ACaption);
  virtual ~TInstrumentForm();
  TInstrumentForm(const TInstrumentForm&) = delete;
  TInstrumentForm& operator=(const TInstrumentForm&) = delete;

  // Stores the device and does nothing else.
  void SetTarvoDevice(const ITarvoDevice& ADevice);
  // Stores the device, then captions the form "  JTAG Index: " + its chain index.
  void Display(const ITarvoDevice& ADevice);
  // Refreshes the enabled state of the controls; the plain form has none.
  virtual void SetState_Controls() {}
  // The host hid the panel.
  virtual void Hidden();

  const ITarvoDevice& TarvoDevice() const { return FTarvoDevice; }
  std::wstring Caption() const;
  void SetCaption(const std::wstring& ACaption);
  // The form's window; made on first use, 0 when the system refuses one.
  HWND Handle();
  // The window as it is, none made.
  HWND CurrentHandle() const { return FHandle; }
  bool IsHiddenByHost() const { return FHiddenByHost; }

private:
  ITarvoDevice FTarvoDevice;
  std::wstring FCaption;
  HWND FHandle = nullptr;
  bool FHiddenByHost = false;
};

// The panel of a device that has a boundary-scan description.
class THardDeviceViewerForm : public TInstrumentForm {
public:
  THardDeviceViewerForm(const ITarvoDevice& ADevice, const IJTagDevice& AChainDevice);
  void SetState_Controls() override;

  const IJTagDevice& ChainDevice() const { return FChainDevice; }
  unsigned StateRefreshes() const { return FStateRefreshes; }

private:
  IJTagDevice FChainDevice;
  unsigned FStateRefreshes = 0;
};

// Caption "Hard Device Viewer"; the caller owns the form.
THardDeviceViewerForm* CreateHardDeviceViewerForm(const ITarvoDevice& ADevice,
                                                  const IJTagDevice& AChainDevice);
// The ARM controller panel: captioned "  JTag Index: " + the device's chain
// position, not shown; the caller owns the form.
TInstrumentForm* CreateARMBaseInstrumentForm(const ITarvoDevice& ADevice,
                                             const IJTagDevice& AChainDevice);

// The host view around a rack form. It owns the form from its construction
// on and frees it with itself. DISPID 503704 (ReleaseView) tells the form
// that the panel was hidden.
class TInstrumentView : public TAbstractSupportService {
public:
  explicit TInstrumentView(TInstrumentForm* AForm);
  ~TInstrumentView() override;

  HRESULT ReleaseView();
  // The form's window (DISPID 54), 0 while it has none; none is made.
  HRESULT GetHandle(std::uint32_t* AResult);
  TInstrumentForm* Form() const { return FForm; }

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;

private:
  TInstrumentForm* FForm;
};

class TRackInstrumentView : public TInstrumentView {
public:
  using TInstrumentView::TInstrumentView;
};

// A view class: builds the view around a form and answers its dispatch
// interface as the host's view record (the record holds the view's only
// reference).
using TInstrumentViewClass = IInstrumentView (*)(TInstrumentForm* AForm);
IInstrumentView CreateRackInstrumentView(TInstrumentForm* AForm);
