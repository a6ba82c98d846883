#include "server-views.h"

#include "dispatch.h"
#include "client-access.h"
#include "host-utilities.h"

#include <memory>
#include <stdexcept>

namespace {

bool HostIsGoingAway() {
  const IClient client = Client();
  return client.IsEmpty() || client.IsShuttingDown();
}

HWND ToWindow(int32_t AHandle) {
  return reinterpret_cast<HWND>(intptr_t(AHandle));
}

} // namespace

// ---- TExternalFormCore ----------------------------------------------------

TExternalFormCore::TExternalFormCore(TFormWithHelp* AForm, bool AForceDestroy)
    : FForceDestroy(AForceDestroy), FForm(AForm) {
  if (FForm)
    FForm->SetBorderStyle(TFormBorder::None);
}

TExternalFormCore::~TExternalFormCore() {
  FParentWindow = nullptr;
  if (!FForm)
    return;
  bool now = FForceDestroy;
  if (!now) {
    try {
      now = HostIsGoingAway();
    } catch (...) {
      now = true; // a host that cannot answer is not waited for
    }
  }
  if (now)
    delete FForm;
  else if (FForm->HandleAllocated())
    FForm->Release();
  else
    DestroyLater(std::unique_ptr<TFormWithHelp>(FForm));
  FForm = nullptr;
}

void TExternalFormCore::SetParentWindowHolder(const IExternalFormHolder& AHolder) {
  IDispatch* holder = AHolder.Intf();
  if (holder)
    holder->AddRef();
  if (FParentWindow)
    FParentWindow->Release();
  FParentWindow = holder;
  if (FForm && !holder)
    Detach();
}

void TExternalFormCore::Attach() {
  if (!FForm)
    return;
  const int32_t left = FForm->Left(), top = FForm->Top();
  if (FParentWindow) {
    FForm->SetParentWindow(ToWindow(ParentWindow().GetHandle()));
    FForm->Show();
  } else {
    FForm->Hide();
  }
  FForm->SetBounds(left, top, FForm->Width(), FForm->Height());
}

void TExternalFormCore::Detach() {
  if (!FForm)
    return;
  if (FForm->OnHide)
    FForm->OnHide();
  FForm->DestroyHandle();
  const auto onHide = std::move(FForm->OnHide);
  FForm->OnHide = nullptr; // the hide event ran already
  FForm->Hide();
  FForm->OnHide = onHide;
  FForm->SetParentWindow(nullptr);
}

void TExternalFormCore::GetBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth,
                                  int32_t& AHeight) const {
  if (!FForm)
    return;
  ALeft = FForm->Left();
  ATop = FForm->Top();
  AWidth = FForm->Width();
  AHeight = FForm->Height();
}

std::wstring TExternalFormCore::GetCaption() const {
  return FForm ? FForm->Caption() : std::wstring();
}

uint32_t TExternalFormCore::GetHandle() const {
  return FForm ? uint32_t(reinterpret_cast<uintptr_t>(FForm->WindowHandle())) : 0;
}

void TExternalFormCore::Hide() {
  if (FForm)
    FForm->Hide();
}

void TExternalFormCore::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (FForm)
    FForm->SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TExternalFormCore::SetFocus() {
  if (!FForm || !FForm->Visible() || !FForm->HandleAllocated())
    return;
  HWND window = FForm->WindowHandle();
  if (IsWindowVisible(window) && IsWindowEnabled(window))
    ::SetFocus(window);
}

void TExternalFormCore::Show() {
  if (FForm)
    FForm->Show();
}

void TExternalFormCore::FocusFirstControl() {
  if (!FForm || !FForm->HandleAllocated())
    return;
  // The first child in tab (creation) order that takes the tab key.
  for (HWND child = GetWindow(FForm->WindowHandle(), GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT))
    if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) {
      ::SetFocus(child);
      return;
    }
}

// ---- the views ------------------------------------------------------------

TExternalForm::TExternalForm(TFormWithHelp* AForm, bool AForceDestroy)
    : TExternalFormOf<TAbstractExternalForm>(AForm, AForceDestroy) {}

TSDKServerView::TSDKServerView(const std::wstring& AViewName, TFormWithHelp* AForm)
    : TExternalFormOf<TAbstractSDKServerView>(AForm, false, AViewName) {
  if (auto* panel = dynamic_cast<TServerPanelForm*>(AForm))
    panel->FPanelName = AViewName;
}

TServerPanelView::TServerPanelView(const std::wstring& AViewName, TServerPanelForm* AForm)
    : TSDKServerView(AViewName, AForm), FPanelForm(AForm) {}

HRESULT TServerPanelView::GetIsDockingPanel(TBoolean* AResult) {
  *AResult = true;
  return S_OK;
}

HRESULT TServerPanelView::SetParentWindowHolder(const IExternalFormHolder& AHolder) {
  return Guarded([&] {
    FCore.SetParentWindowHolder(AHolder);
    if (FPanelForm)
      FPanelForm->SetParentWindowHolder(AHolder);
  });
}

// ---- TExternalFormComponent -----------------------------------------------

// The panel acting as its form's IExternalFormHolder.
class TExternalFormComponent::THolder : public TAbstractSupportService {
public:
  explicit THolder(TExternalFormComponent& AOwner) : FOwner(AOwner) {}

  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT GetHandle(int32_t* AResult) {
    *AResult = int32_t(reinterpret_cast<intptr_t>(FOwner.FHandle));
    return S_OK;
  }
  HRESULT SetDialogWindow(int32_t AHandle) {
    SetCurrentDialogWindow(ToWindow(AHandle));
    return S_OK;
  }
  HRESULT CaptionChanged() {
    return Guarded([&] { FOwner.CaptionChanged(); });
  }

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override {
    static constexpr TDispEntry kTable[] = {
        Op<&THolder::GetHandle>(69),
        Op<&THolder::SetDialogWindow>(70),
        Op<&THolder::CaptionChanged>(71),
    };
    ORV_DISPATCH_THROUGH(kTable, TAbstractSupportService);
  }
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override {
    return Guarded([&] {
      *AResult = FOwner.SupportsService(AName ? std::wstring(AName, SysStringLen(AName)) : L"");
    });
  }

private:
  TExternalFormComponent& FOwner;
};

namespace {
// Switches a hosting panel's transparency (WParam non-zero: transparent).
constexpr UINT kSetTransparentMessage = 0x0401;
} // namespace

TExternalFormComponent::TExternalFormComponent(HWND AParent)
    : FParent(AParent), FHolder(new THolder(*this)) {
  CreatePanelWindow(true);
}

TExternalFormComponent::~TExternalFormComponent() {
  if (!FExternalForm.IsEmpty()) {
    try {
      FExternalForm.Hide();
      FExternalForm.Detach();
      FExternalForm.SetParentWindowHolder(IExternalFormHolder());
    } catch (...) {
      // The host's form may be gone; the panel goes anyway.
    }
    FExternalForm = IExternalForm();
  }
  if (FHandle)
    DestroyWindow(FHandle);
  delete FHolder;
}

IDispatch* TExternalFormComponent::HolderDispatch() {
  return FHolder;
}

bool TExternalFormComponent::SupportsService(const std::wstring& AName) {
  return SameServiceName(AName, L"ExternalFormHolder");
}

TModuleWindowClass TExternalFormComponent::FWindowClass([] {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &TExternalFormComponent::StaticWndProc;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"TExternalFormComponent";
  return windowClass;
}());

void TExternalFormComponent::CreatePanelWindow(bool AVisible) {
  const DWORD style = WS_CHILD | WS_TABSTOP | WS_CLIPCHILDREN | (AVisible ? WS_VISIBLE : 0);
  if (!CreateWindowExW(WS_EX_CONTROLPARENT, FWindowClass.Use(), FCaption.c_str(), style,
                       FBounds.left, FBounds.top, FBounds.right - FBounds.left,
                       FBounds.bottom - FBounds.top, FParent, nullptr, GetModuleInstance(), this))
    throw std::runtime_error("The hosting panel's window could not be created");
}

void TExternalFormComponent::SetExternalForm(const IExternalForm& AValue) {
  if (AValue.Intf() == FExternalForm.Intf())
    return;
  if (!FExternalForm.IsEmpty())
    FExternalForm.Detach();
  FExternalForm = AValue;
  if (FExternalForm.IsEmpty())
    return;
  FCaption = FExternalForm.GetCaption();
  // The panel's window is made again, and the form attaches to the new one
  // once it knows this panel as its holder.
  const IExternalForm form = std::exchange(FExternalForm, IExternalForm());
  if (FHandle)
    DestroyWindow(FHandle);
  FExternalForm = form;
  FExternalForm.SetParentWindowHolder(IExternalFormHolder::FromDispatch(FHolder));
  CreatePanelWindow(true);
}

void TExternalFormComponent::SwitchExternalForm(const IExternalForm& AValue) {
  if (AValue.IsEmpty() || AValue.Intf() == FExternalForm.Intf())
    return;
  RECT client = {};
  GetClientRect(FHandle, &client);
  AValue.SetParentWindowHolder(IExternalFormHolder::FromDispatch(FHolder));
  AValue.SetBounds(0, 0, client.right, client.bottom);
  AValue.Attach();
  AValue.Show();
  FExternalForm = AValue;
  FCaption = FExternalForm.GetCaption();
  SetWindowTextW(FHandle, FCaption.c_str());
}

HWND TExternalFormComponent::ExternHandle() const {
  return FExternalForm.IsEmpty() ? nullptr : ToWindow(FExternalForm.GetHandle());
}

void TExternalFormComponent::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth,
                                       int32_t AHeight) {
  // The form follows through the panel's size message.
  MoveWindow(FHandle, ALeft, ATop, AWidth, AHeight, TRUE);
}

void TExternalFormComponent::SetFocus() {
  ::SetFocus(FHandle);
  if (FHandle && IsWindowEnabled(FHandle))
    Activate();
}

void TExternalFormComponent::Activate() {
  if (!FExternalForm.IsEmpty())
    FExternalForm.SetFocus();
  if (OnActivate)
    OnActivate();
}

LRESULT CALLBACK TExternalFormComponent::StaticWndProc(HWND AWindow, UINT AMessage, WPARAM AWParam,
                                                       LPARAM ALParam) {
  auto* panel =
      reinterpret_cast<TExternalFormComponent*>(GetWindowLongPtrW(AWindow, GWLP_USERDATA));
  if (AMessage == WM_NCCREATE) {
    panel = static_cast<TExternalFormComponent*>(
        reinterpret_cast<CREATESTRUCTW*>(ALParam)->lpCreateParams);
    panel->FHandle = AWindow;
    SetWindowLongPtrW(AWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(panel));
  }
  if (!panel)
    return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
  if (AMessage == WM_NCDESTROY) {
    SetWindowLongPtrW(AWindow, GWLP_USERDATA, 0);
    panel->FHandle = nullptr;
    return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
  }
  try {
    return panel->WndProc(AMessage, AWParam, ALParam);
  } catch (...) {
    // A failing host call does not cross into the message loop.
    return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
  }
}

LRESULT TExternalFormComponent::WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  if (AMessage == DialogKeyMessage()) {
    // Tab moves through the form this panel sits in, of which the hosted
    // form's controls are a part; other dialog keys, Alt+Tab and a Tab that
    // comes back here are not the panel's.
    if (AWParam != VK_TAB || IsAltDown() || FInCMDialogKey)
      return 0;
    FInCMDialogKey = true;
    const LRESULT answer = OfferDialogKey(FParent, VK_TAB);
    FInCMDialogKey = false;
    return answer;
  }
  switch (AMessage) {
  case WM_CREATE:
    if (!FExternalForm.IsEmpty())
      FExternalForm.Attach();
    break;
  case WM_DESTROY:
    if (!FExternalForm.IsEmpty())
      FExternalForm.Detach();
    break;
  case WM_WINDOWPOSCHANGED: {
    const auto* position = reinterpret_cast<const WINDOWPOS*>(ALParam);
    if (!(position->flags & SWP_NOMOVE)) {
      FBounds.right += position->x - FBounds.left;
      FBounds.bottom += position->y - FBounds.top;
      FBounds.left = position->x;
      FBounds.top = position->y;
    }
    if (!(position->flags & SWP_NOSIZE)) {
      FBounds.right = FBounds.left + position->cx;
      FBounds.bottom = FBounds.top + position->cy;
    }
    break;
  }
  case WM_SIZE:
    if (!FExternalForm.IsEmpty())
      FExternalForm.SetBounds(0, 0, LOWORD(ALParam), HIWORD(ALParam));
    return 0;
  case WM_GETDLGCODE:
    if (!FExternalForm.IsEmpty())
      return SendMessageW(ExternHandle(), AMessage, AWParam, ALParam);
    break;
  case WM_MOUSEACTIVATE:
    Activate();
    break;
  case kSetTransparentMessage:
    FTransparent = AWParam != 0;
    InvalidateRect(FHandle, nullptr, TRUE);
    return 1;
  case WM_ERASEBKGND:
    if (FTransparent && FParent) {
      HDC dc = reinterpret_cast<HDC>(AWParam);
      const int saved = SaveDC(dc);
      POINT origin = {};
      OffsetWindowOrgEx(dc, FBounds.left, FBounds.top, &origin);
      SendMessageW(FParent, WM_ERASEBKGND, AWParam, 0);
      SendMessageW(FParent, WM_PRINTCLIENT, AWParam, PRF_CLIENT);
      SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
      RestoreDC(dc, saved);
      return 1;
    }
    break;
  case WM_PAINT:
    if (FTransparent) {
      ValidateRect(FHandle, nullptr);
      return 0;
    }
    break;
  default:
    break;
  }
  return DefWindowProcW(FHandle, AMessage, AWParam, ALParam);
}
