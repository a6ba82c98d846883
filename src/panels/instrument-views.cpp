#include "instrument-views.h"

#include "dispatch.h"
#include "instrument-forms.h"

namespace {

HWND HolderWindow(const IExternalFormHolder& AHolder) {
  // Window handles travel as 32-bit values on both architectures and widen
  // by sign, as the system widens them.
  return reinterpret_cast<HWND>(static_cast<intptr_t>(AHolder.GetHandle()));
}

} // namespace

TInstrumentView::TInstrumentView(TInstrumentForm* AForm) : FForm(AForm) {
  if (FForm)
    FForm->SetView(this);
  FNHandler = TNotificationHandler::Create([this](const INotification& ANotification) {
    const HRESULT hr = ReceiveNotification(ANotification);
    if (FAILED(hr))
      throw EOleSysError(hr, L"The panel did not take the notification.");
  });
}

TInstrumentView::~TInstrumentView() {
  // The host's reference to the handler may outlive the view: take it off
  // the host's list now, so no notification reaches a freed view.
  if (FNHandler)
    FNHandler->Destroy();
  if (TInstrumentForm* form = std::exchange(FForm, nullptr)) {
    form->SetView(nullptr);
    TComponent::Free(form);
  }
}

void TInstrumentView::FormGone(TInstrumentForm* AForm) {
  if (FForm != AForm)
    return;
  FForm = nullptr;
  // A form goes before its view only when the module is being unloaded:
  // the host is told now, while it can be, that the handler goes too.
  if (FNHandler)
    FNHandler->Destroy();
}

// ---- the external form ------------------------------------------------------

HRESULT TInstrumentView::SetParentWindowHolder(const IExternalFormHolder& AHolder) {
  return Guarded([&] {
    FParentWindow = AHolder;
    if (FForm && AHolder.IsEmpty())
      Detach();
  });
}

HRESULT TInstrumentView::Attach() {
  return Guarded([&] {
    if (!FForm)
      return;
    if (FParentWindow.IsEmpty()) {
      FForm->Hide();
      return;
    }
    FForm->SetParentWindow(HolderWindow(FParentWindow));
    FForm->Show();
  });
}

HRESULT TInstrumentView::Detach() {
  return Guarded([&] {
    if (!FForm)
      return;
    FForm->Hide();
    FForm->SetParentWindow(HWND(nullptr));
  });
}

HRESULT TInstrumentView::GetBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth,
                                   int32_t& AHeight) {
  return Guarded([&] {
    if (!FForm)
      return;
    ALeft = FForm->Left();
    ATop = FForm->Top();
    AWidth = FForm->Width();
    AHeight = FForm->Height();
  });
}

HRESULT TInstrumentView::GetCaption(std::wstring* AResult) {
  return Guarded([&] { *AResult = FForm ? FForm->Caption() : std::wstring(); });
}

HRESULT TInstrumentView::GetHandle(uint32_t* AResult) {
  return Guarded(
      [&] { *AResult = FForm ? uint32_t(reinterpret_cast<uintptr_t>(FForm->Handle())) : 0; });
}

HRESULT TInstrumentView::Hide() {
  return Guarded([&] {
    if (FForm)
      FForm->Hide();
  });
}

HRESULT TInstrumentView::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  return Guarded([&] {
    if (FForm)
      FForm->SetBounds(ALeft, ATop, AWidth, AHeight);
  });
}

HRESULT TInstrumentView::SetFocus() {
  return Guarded([&] {
    if (FForm && FForm->Showing() && FForm->CanFocus())
      FForm->TWinControl::SetFocus();
  });
}

HRESULT TInstrumentView::Show() {
  return Guarded([&] {
    if (FForm)
      FForm->Show();
  });
}

HRESULT TInstrumentView::FocusFirstControl() {
  return Guarded([&] {
    if (FForm && FForm->Showing())
      FForm->SelectFirst();
  });
}

// ---- the view's own calls ------------------------------------------------------

HRESULT TInstrumentView::UpdateDisplay() {
  return S_OK;
}

HRESULT TInstrumentView::GetProjectDetails(std::wstring& AProjectPath, std::wstring& ATarget) {
  return Guarded([&] {
    AProjectPath.clear();
    ATarget.clear();
    AProjectPath = FProjectPath;
    ATarget = FTarget;
  });
}

HRESULT TInstrumentView::SetProjectDetails(std::wstring AProjectPath, std::wstring ATarget) {
  return Guarded([&] {
    FProjectPath = std::move(AProjectPath);
    FTarget = std::move(ATarget);
    if (FForm)
      FForm->SetProjectDetails(FProjectPath, FTarget);
  });
}

HRESULT TInstrumentView::GetRackBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth,
                                       int32_t& AHeight) {
  return Guarded([&] {
    if (!FForm)
      return;
    ALeft = FForm->Left();
    ATop = FForm->Top();
    AWidth = FForm->ClientWidth();
    AHeight = FForm->ClientHeight();
  });
}

HRESULT TInstrumentView::SetRackBounds(int32_t ALeft, int32_t ATop, int32_t AWidth,
                                       int32_t AHeight) {
  return Guarded([&] {
    if (FForm)
      FForm->SetBounds(ALeft, ATop, AWidth, AHeight);
  });
}

HRESULT TInstrumentView::LiveUpdateNet(INet, int32_t, TBoolean* AResult) {
  *AResult = false;
  return S_OK;
}

HRESULT TInstrumentView::ReceiveNotification(INotification ANotification) {
  return Guarded([&] {
    if (FForm)
      FForm->ReceiveNotification(ANotification);
  });
}

HRESULT TInstrumentView::Hidden() {
  return Guarded([&] {
    if (FForm)
      FForm->Hidden();
  });
}

struct TInstrumentViewTable {
  static constexpr TDispEntry Table[] = {
      Op<&TInstrumentView::UpdateDisplay>(503697),
      Op<&TInstrumentView::GetProjectDetails>(503698),
      Op<&TInstrumentView::SetProjectDetails>(503699),
      Op<&TInstrumentView::GetRackBounds>(503700),
      Op<&TInstrumentView::SetRackBounds>(503701),
      Op<&TInstrumentView::LiveUpdateNet>(503702),
      Op<&TInstrumentView::ReceiveNotification>(503703),
      Op<&TInstrumentView::Hidden>(503704),
  };
};

HRESULT TInstrumentView::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  ORV_DISPATCH_THROUGH(TInstrumentViewTable::Table, TAbstractExternalForm);
}

HRESULT STDMETHODCALLTYPE TInstrumentView::SupportsService(BSTR AName, TBoolean* AResult) {
  return ChainSupportsService(TAbstractExternalForm::SupportsService(AName, AResult), AName,
                              L"InstrumentView", AResult);
}

// ---- the rack view ------------------------------------------------------------

TRackInstrumentForm* TRackInstrumentView::RackForm() const {
  return dynamic_cast<TRackInstrumentForm*>(FForm);
}

HRESULT TRackInstrumentView::SetParentWindowHolder(const IExternalFormHolder& AHolder) {
  const HRESULT hr = TInstrumentView::SetParentWindowHolder(AHolder);
  if (FAILED(hr))
    return hr;
  return Guarded([&] {
    if (TRackInstrumentForm* form = RackForm())
      form->SetParentWindow(AHolder);
  });
}

HRESULT TRackInstrumentView::UpdateDisplay() {
  return Guarded([&] {
    if (TRackInstrumentForm* form = RackForm()) {
      form->UpdateCoreInformation();
      form->ForceDisplayUpdate();
    }
  });
}

HRESULT TRackInstrumentView::GetRackBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth,
                                           int32_t& AHeight) {
  const HRESULT hr = TInstrumentView::GetRackBounds(ALeft, ATop, AWidth, AHeight);
  if (FAILED(hr))
    return hr;
  return Guarded([&] {
    ALeft = 0;
    ATop = 0;
    AWidth = kRackWidth;
    if (TRackInstrumentForm* form = RackForm())
      AHeight = form->GetPreferredHeight();
  });
}

HRESULT TRackInstrumentView::LiveUpdateNet(INet ANet, int32_t AEnable, TBoolean* AResult) {
  TRackInstrumentForm* form = RackForm();
  if (!form)
    return TInstrumentView::LiveUpdateNet(ANet, AEnable, AResult);
  return Guarded([&] { *AResult = form->LiveUpdateNet(ANet, AEnable); });
}

IInstrumentView CreateRackInstrumentView(TInstrumentForm* AForm) {
  auto* view = new TRackInstrumentView(AForm);
  return IInstrumentView::FromDispatch(view);
}
