#include "forms.h"

#include "application.h"
#include "resource-ledger.h"
#include "seams.h"

#include <algorithm>

namespace {

std::vector<TCustomForm*> GForms;
HHOOK GKeyHook = nullptr;

// The window styles of each border style, for a form of its own window or
// one placed into another.
struct TBorderStyles {
  DWORD Style;
  DWORD ExStyle;
};
constexpr TBorderStyles kBorderStyles[] = {
    /* bsNone */ {0, 0},
    /* bsSingle */ {WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0},
    /* bsSizeable */
    {WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0},
    /* bsDialog */ {WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_DLGMODALFRAME},
    /* bsToolWindow */ {WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW},
    /* bsSizeToolWin */ {WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, WS_EX_TOOLWINDOW},
};

// Enter and Escape go to the form before the focused control sees them,
// whichever loop (the host's or ours) takes the message from the queue,
// unless the control asks for every key.
bool RouteDialogKey(const MSG& AMsg) {
  TWinControl* control = TWinControl::FindControl(AMsg.hwnd);
  if (!control || control->WantSpecialKey(AMsg.wParam))
    return false;
  const LRESULT code =
      SendMessageW(AMsg.hwnd, WM_GETDLGCODE, AMsg.wParam, reinterpret_cast<LPARAM>(&AMsg));
  if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
    return false;
  TCustomForm* form = GetParentForm(control);
  return form && form->Enabled() && form->DialogKey(AMsg.wParam);
}

LRESULT CALLBACK KeyHookProc(int ACode, WPARAM AWParam, LPARAM ALParam) {
  if (ACode == HC_ACTION && AWParam == PM_REMOVE) {
    auto* msg = reinterpret_cast<MSG*>(ALParam);
    // Ctrl+Tab is offered too: a tab control moves to its next page with it
    // wherever inside it the focus lies; untaken, it moves the focus.
    const bool ctrlTab = msg->wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0;
    if (msg->message == WM_KEYDOWN &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE || ctrlTab)) {
      try {
        if (RouteDialogKey(*msg))
          msg->message = WM_NULL;
      } catch (...) {
        HandleCurrentExceptionQuietly();
        msg->message = WM_NULL;
      }
    }
  }
  return CallNextHookEx(GKeyHook, ACode, AWParam, ALParam);
}

void InstallKeyHook() {
  if (GKeyHook)
    return;
  GKeyHook = SetWindowsHookExW(WH_GETMESSAGE, KeyHookProc, nullptr, GetCurrentThreadId());
  if (GKeyHook)
    LedgerTake(TResourceKind::Hook, GKeyHook);
}

void RemoveKeyHook() {
  if (!GKeyHook)
    return;
  UnhookWindowsHookEx(GKeyHook);
  LedgerGive(TResourceKind::Hook, GKeyHook);
  GKeyHook = nullptr;
}

} // namespace

TCustomForm* GetParentForm(const TControl* AControl) {
  for (const TControl* c = AControl; c; c = c->Parent())
    if (auto* form = dynamic_cast<const TCustomForm*>(c))
      return const_cast<TCustomForm*>(form);
  return nullptr;
}

void FinalizeForms() {
  while (!GForms.empty())
    TComponent::Free(GForms.back());
  RemoveKeyHook();
}

// ===========================================================================
// TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle |= csAcceptsControls;
  SetVisible(false);
  SetBounds(0, 0, 320, 240);
  GForms.push_back(this);
  InstallKeyHook();
}

TCustomForm::~TCustomForm() {
  GForms.erase(std::remove(GForms.begin(), GForms.end(), this), GForms.end());
  if (GForms.empty())
    RemoveKeyHook();
}

const std::vector<TCustomForm*>& TCustomForm::Forms() {
  return GForms;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle AValue) {
  if (AValue == FBorderStyle)
    return;
  FBorderStyle = AValue;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle AValue) {
  if (AValue == FFormStyle)
    return;
  FFormStyle = AValue;
  if (HandleAllocated() && TopLevel())
    SetWindowPos(Handle(), AValue == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetOwnerWindow(HWND AValue) {
  if (AValue == FOwnerWindow)
    return;
  FOwnerWindow = AValue;
  if (TopLevel())
    RecreateWnd();
}

void TCustomForm::CreateParams(TCreateParams& AParams) {
  TWinControl::CreateParams(AParams);
  const TBorderStyles& border = kBorderStyles[FBorderStyle];
  AParams.Style |= border.Style;
  AParams.ExStyle |= border.ExStyle | WS_EX_CONTROLPARENT;
  if (!(AParams.Style & WS_CHILD)) {
    AParams.WndParent = FOwnerWindow;
    if (FFormStyle == fsStayOnTop)
      AParams.ExStyle |= WS_EX_TOPMOST;
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  if (TopLevel()) {
    HWND window = Handle();
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
  }
}

void TCustomForm::ShowingChanged() {
  TWinControl::ShowingChanged();
  if (Showing()) {
    if (OnShow)
      OnShow(this);
  } else if (OnHide) {
    OnHide(this);
  }
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery)
    OnCloseQuery(this, canClose);
  return canClose;
}

TCloseAction TCustomForm::CloseAction() {
  if (!CloseQuery())
    return caNone;
  TCloseAction action = caHide;
  if (OnClose)
    OnClose(this, action);
  return action;
}

void TCustomForm::CarryOut(TCloseAction AAction) {
  switch (AAction) {
  case caNone:
    break;
  case caHide:
    Hide();
    break;
  case caMinimize:
    // Only a window of its own can be minimized; a form inside a host's
    // panel stays as it is.
    if (TopLevel())
      ShowWindow(Handle(), SW_MINIMIZE);
    break;
  case caFree:
    Release();
    break;
  }
}

void TCustomForm::Close() {
  if (FModal) {
    // The modal loop asks the form and carries the action out.
    FModalResult = mrCancel;
    return;
  }
  CarryOut(CloseAction());
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || FModal)
    throw EInvalidModalForm(L"Cannot make a visible window modal");
  FModal = true;
  FModalResult = mrNone;
  struct TModalScope {
    TCustomForm* Form;
    ~TModalScope() { Form->FModal = false; }
  } scope{this};
  Show();
  try {
    RunModalLoop(Handle(), [this] {
      if (FModalResult != mrNone) {
        const TCloseAction action = CloseAction();
        if (action == caNone)
          FModalResult = mrNone;
        else if (action == caFree)
          FReleasePending = true;
      }
      return FModalResult;
    });
  } catch (...) {
    Hide();
    throw;
  }
  if (FModalResult == mrNone)
    FModalResult = mrCancel;
  Hide();
  FModal = false;
  // A release asked for while the loop ran waits until the loop is left,
  // so the form outlives this call.
  if (FReleasePending) {
    FReleasePending = false;
    Release();
  }
  return FModalResult;
}

void TCustomForm::SetActiveControl(TWinControl* AControl) {
  if (AControl == FActiveControl)
    return;
  if (AControl && (AControl == this || !ContainsControl(AControl)))
    throw EInvalidOperation(L"The active control must lie inside the form");
  if (AControl && Showing() && !AControl->CanFocus())
    throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  if (FActiveControl)
    RemoveFreeNotification(FActiveControl);
  FActiveControl = AControl;
  if (AControl)
    FreeNotification(AControl);
  if (AControl && Showing() && HandleAllocated()) {
    HWND focus = GetFocus();
    const bool focusInside = focus && (focus == Handle() || IsChild(Handle(), focus));
    if (focusInside || (TopLevel() && GetActiveWindow() == Handle()))
      AControl->SetFocus();
  }
}

void TCustomForm::SelectFirst() {
  if (TWinControl* first = FindNextControl(nullptr, true, true))
    first->SetFocus();
}

void TCustomForm::FocusActiveControl() {
  if (FActiveControl && FActiveControl->CanFocus())
    FActiveControl->SetFocus();
  else
    SelectFirst();
}

void TCustomForm::FocusChanged(TWinControl* AFocused) {
  TWinControl::FocusChanged(AFocused);
  if (AFocused && AFocused != this && ContainsControl(AFocused) && AFocused != FActiveControl) {
    if (FActiveControl)
      RemoveFreeNotification(FActiveControl);
    FActiveControl = AFocused;
    FreeNotification(AFocused);
  }
}

void TCustomForm::Notification(TComponent* AComponent, TOperation AOperation) {
  TWinControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FActiveControl)
    FActiveControl = nullptr;
}

void TCustomForm::Release() {
  if (FModal) {
    FReleasePending = true;
    return;
  }
  if (FReleasePosted)
    return;
  FReleasePosted = true;
  PostMessageW(Handle(), CM_RELEASE, 0, 0);
}

bool TCustomForm::DialogKey(WPARAM AKey) {
  bool taken = false;
  ForEachDescendant([&](TControl* AControl) {
    if (!taken && AControl->Showing() && AControl->Enabled())
      taken = AControl->Perform(CM_DIALOGKEY, AKey, 0) != 0;
  });
  return taken;
}

void TCustomForm::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case CM_RELEASE:
    // Nothing of the form may be touched after this.
    TComponent::Free(this);
    return;
  case CM_DIALOGKEY:
    AMessage.Result = DialogKey(AMessage.WParam) ? 1 : 0;
    return;
  case WM_CLOSE:
    Close();
    AMessage.Result = 0;
    return;
  case WM_ACTIVATE:
    TWinControl::WndProc(AMessage);
    if (LOWORD(AMessage.WParam) != WA_INACTIVE && !HIWORD(AMessage.WParam))
      FocusActiveControl();
    return;
  default:
    break;
  }
  TWinControl::WndProc(AMessage);
}
