#pragma once

// The host-facing views of the instrument panels. The host docks a view in
// its rack and drives it by DISPID: the external form's calls (49 to 59)
// place the wrapped form into the host's window, and 503697 to 503704 pass
// display updates, project details, bounds, live nets, notifications and
// hiding on to the form. A view owns its form and frees it with itself; a
// form freed first (the module's unload) leaves the view empty.

#include "client-access.h"
#include "contracts.h"
#include "host-records.h"

#include <cstdint>
#include <string>

class TInstrumentForm;
class TRackInstrumentForm;

class TInstrumentView : public TAbstractExternalForm {
public:
  // Registers a notification handler with the host client for the view's
  // life; its notifications reach ReceiveNotification.
  explicit TInstrumentView(TInstrumentForm* AForm);
  ~TInstrumentView() override;

  TInstrumentForm* Form() const { return FForm; }
  // The form is being freed: the view lets it go, and no longer takes the
  // host's notifications.
  void FormGone(TInstrumentForm* AForm);

  // The external form (DISPIDs 49 to 59): the holder, placing the form
  // into the holder's window and out of it, bounds, caption, window,
  // showing, hiding and focus.
  HRESULT SetParentWindowHolder(const IExternalFormHolder& AHolder) override;
  HRESULT Attach() override;
  HRESULT Detach() override;
  HRESULT GetBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth, int32_t& AHeight) override;
  HRESULT GetCaption(std::wstring* AResult) override;
  HRESULT GetHandle(uint32_t* AResult) override;
  HRESULT Hide() override;
  HRESULT SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  HRESULT SetFocus() override;
  HRESULT Show() override;
  HRESULT FocusFirstControl() override;

  // The view's own calls (503697 to 503704). Bounds are the rack's
  // (503700, 503701), beside the external form's own (52, 56).
  virtual HRESULT UpdateDisplay();
  virtual HRESULT GetProjectDetails(std::wstring& AProjectPath, std::wstring& ATarget);
  virtual HRESULT SetProjectDetails(std::wstring AProjectPath, std::wstring ATarget);
  virtual HRESULT GetRackBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth, int32_t& AHeight);
  virtual HRESULT SetRackBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  virtual HRESULT LiveUpdateNet(INet ANet, int32_t AEnable, TBoolean* AResult);
  virtual HRESULT ReceiveNotification(INotification ANotification);
  virtual HRESULT Hidden();

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;

  const std::wstring& ProjectPath() const { return FProjectPath; }
  const std::wstring& Target() const { return FTarget; }
  const IExternalFormHolder& ParentWindowHolder() const { return FParentWindow; }
  TNotificationHandler* NotificationHandler() const { return FNHandler.Get(); }

protected:
  TInstrumentForm* FForm;

private:
  IExternalFormHolder FParentWindow;
  TComPtr<TNotificationHandler> FNHandler;
  std::wstring FProjectPath;
  std::wstring FTarget;
};

class TRackInstrumentView : public TInstrumentView {
public:
  explicit TRackInstrumentView(TInstrumentForm* AForm) : TInstrumentView(AForm) {}

  // The holder also goes to the rack form, whose clicks it receives.
  HRESULT SetParentWindowHolder(const IExternalFormHolder& AHolder) override;
  // The front plate's core header, then the form's own refresh.
  HRESULT UpdateDisplay() override;
  // Always 724 wide at (0, 0); a rack form's preferred height.
  HRESULT GetRackBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth, int32_t& AHeight) override;
  HRESULT LiveUpdateNet(INet ANet, int32_t AEnable, TBoolean* AResult) override;

  static constexpr int32_t kRackWidth = 724;

private:
  TRackInstrumentForm* RackForm() const;
};

// A view class: builds the view around a form and answers its dispatch
// interface as the host's view record (the record holds the view's only
// reference).
using TInstrumentViewClass = IInstrumentView (*)(TInstrumentForm* AForm);
IInstrumentView CreateRackInstrumentView(TInstrumentForm* AForm);
