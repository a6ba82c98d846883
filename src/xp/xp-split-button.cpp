#include "xp-split-button.h"

#include "xp-colors.h"
#include "xp-system.h"

#include <windows.h>
#include <windowsx.h>

#include <utility>
#include <vector>

namespace {

// The Close button of the popup window: its size, and its place from the
// client area's right and bottom edges.
constexpr int kCloseRight = 83;
constexpr int kCloseBottom = 33;
// The client width the Close button needs.
constexpr int kMinClientWidth = 91;

// The top-level windows whose procedure a split button replaced, newest
// last, with the procedure each replaced.
struct TReplacedProc {
  HWND Window;
  TXPSplitButton* Button;
  WNDPROC Previous;
};
std::vector<TReplacedProc>& ReplacedProcs() {
  static std::vector<TReplacedProc> procs;
  return procs;
}

HWND TopLevelOf(HWND AWindow) {
  HWND top = AWindow;
  for (HWND parent = GetParent(top); parent; parent = GetParent(top))
    top = parent;
  return top;
}

} // namespace

// ===========================================================================
// TPopupContainer

TPopupContainer::TPopupContainer(TXPSplitButton* AButton, HWND AOwnerHandle)
    : TForm(AButton), FButton(AButton), FOwnerHandle(AOwnerHandle) {
  SetBorderStyle(bsNone);
  SetOwnerWindow(AOwnerHandle);
}

void TPopupContainer::CreateParams(TCreateParams& AParams) {
  TForm::CreateParams(AParams);
  // A captionless window with a thin border, above every other window.
  AParams.Style = (AParams.Style & ~DWORD(WS_CAPTION | WS_THICKFRAME)) | WS_BORDER;
  AParams.ExStyle |= WS_EX_TOPMOST;
  AParams.WndParent = FOwnerHandle;
}

void TPopupContainer::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_NCACTIVATE && AMessage.WParam == 0 && FButton->HandleAllocated())
    PostMessageW(FButton->Handle(), XPM_HIDEPOPUP, 0, 0);
  TForm::WndProc(AMessage);
}

// ===========================================================================
// TXPSplitButton

TXPSplitButton::TXPSplitButton(TComponent* AOwner) : TXPBitBtn(AOwner) {
  FControlStyle &= ~uint32_t(csDoubleClicks);
}

void TXPSplitButton::BeforeDestruction() {
  // Closed while the button is whole: the focus and activation that go back
  // to the form meanwhile must find a button its watchers may still ask.
  ClosePopupWindow();
  TXPBitBtn::BeforeDestruction();
}

TXPSplitButton::~TXPSplitButton() {
  // The top-level window must not keep a procedure that leads here.
  ClosePopupWindow();
  if (FDropDownMenu)
    FDropDownMenu->RemoveFreeNotification(this);
  if (FPopupControl)
    FPopupControl->RemoveFreeNotification(this);
}

RECT TXPSplitButton::ArrowRect() const {
  const RECT client = ClientRect();
  return RECT{client.right - kSplitArrowWidth, client.top, client.right, client.bottom};
}

void TXPSplitButton::SetDropDownMenu(TPopupMenu* AValue) {
  if (AValue == FDropDownMenu)
    return;
  if (FDropDownMenu)
    FDropDownMenu->RemoveFreeNotification(this);
  FDropDownMenu = AValue;
  if (FDropDownMenu)
    FDropDownMenu->FreeNotification(this);
}

void TXPSplitButton::SetPopupControl(TWinControl* AValue) {
  if (AValue == FPopupControl)
    return;
  if (FPopupControl)
    FPopupControl->RemoveFreeNotification(this);
  FPopupControl = AValue;
  if (!FPopupControl)
    return;
  FPopupControl->FreeNotification(this);
  if (!IsDesigning()) {
    FPopupControl->SetParent(nullptr);
    FPopupControl->Hide();
  }
}

void TXPSplitButton::Notification(TComponent* AComponent, TOperation AOperation) {
  TXPBitBtn::Notification(AComponent, AOperation);
  if (AOperation != opRemove)
    return;
  if (AComponent == FDropDownMenu)
    FDropDownMenu = nullptr;
  if (AComponent == FPopupControl) {
    FPopupControl = nullptr;
    // A popup showing a control that goes has nothing left to show.
    if (FPopupHolder && HandleAllocated())
      PostMessageW(Handle(), XPM_HIDEPOPUP, 0, 0);
  }
  if (AComponent == FPopupHolder)
    FPopupHolder = nullptr;
}

void TXPSplitButton::SetArrowButtonPressed(bool AValue) {
  if (AValue == FArrowButtonPressed)
    return;
  FArrowButtonPressed = AValue;
  Invalidate();
}

void TXPSplitButton::BeforeShowPopup() {
  if (OnBeforeShowPopup)
    OnBeforeShowPopup(this);
  if (FPopupControl && FPopupControl->OnEnter)
    FPopupControl->OnEnter(FPopupControl);
}

void TXPSplitButton::AfterHidePopup() {
  if (FPopupControl && FPopupControl->OnExit)
    FPopupControl->OnExit(FPopupControl);
  if (OnAfterHidePopup)
    OnAfterHidePopup(this);
}

void TXPSplitButton::PressAt(int AX, int AY) {
  const RECT arrow = ArrowRect();
  if (!(AX >= arrow.left && AX < arrow.right && AY >= arrow.top && AY < arrow.bottom)) {
    TXPBitBtn::PressAt(AX, AY);
    return;
  }
  SetArrowButtonPressed(!FArrowButtonPressed);
  if (!FArrowButtonPressed) {
    PostMessageW(Handle(), XPM_HIDEPOPUP, 0, 0);
    return;
  }
  FMouseDown = true;
  PostMessageW(Handle(), XPM_SHOWPOPUP, 0, 0);
}

void TXPSplitButton::Release() {
  FMouseDown = false;
  TXPBitBtn::Release();
}

LRESULT CALLBACK TXPSplitButton::MainFormWndProc(HWND AWindow, UINT AMsg, WPARAM AWParam,
                                                 LPARAM ALParam) {
  const auto& procs = ReplacedProcs();
  WNDPROC previous = nullptr;
  for (auto it = procs.rbegin(); it != procs.rend(); ++it)
    if (it->Window == AWindow) {
      previous = it->Previous;
      break;
    }
  // The top-level window keeps its active caption while the popup is up.
  if (AMsg == WM_NCACTIVATE)
    return 1;
  if (!previous)
    return DefWindowProcW(AWindow, AMsg, AWParam, ALParam);
  return CallWindowProcW(previous, AWindow, AMsg, AWParam, ALParam);
}

void TXPSplitButton::RestoreMainFormWndProc() {
  if (!FMainFormHandle)
    return;
  auto& procs = ReplacedProcs();
  for (auto it = procs.begin(); it != procs.end(); ++it)
    if (it->Button == this) {
      if (IsWindow(it->Window))
        SetWindowLongPtrW(it->Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->Previous));
      procs.erase(it);
      break;
    }
  FMainFormHandle = nullptr;
  FMainFormWndProc = nullptr;
}

void TXPSplitButton::ShowPopup() {
  const POINT at = ClientToScreen(POINT{1, Height() - 1});
  if (!FPopupControl && !FDropDownMenu)
    return;
  BeforeShowPopup();
  if (FPopupControl) {
    if (FPopupHolder)
      return;
    FMainFormHandle = TopLevelOf(Handle());
    auto* holder = new TPopupContainer(this, FMainFormHandle);
    FPopupHolder = holder;
    holder->FreeNotification(this);
    FMainFormWndProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(FMainFormHandle, GWLP_WNDPROC));
    ReplacedProcs().push_back(TReplacedProc{FMainFormHandle, this, FMainFormWndProc});
    SetWindowLongPtrW(FMainFormHandle, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(&TXPSplitButton::MainFormWndProc));

    holder->SetBounds(at.x, at.y, FPopupControl->Width(), FPopupControl->Height());
    holder->HandleNeeded();
    const int frameWidth = holder->Width() - holder->ClientWidth();
    const int frameHeight = holder->Height() - holder->ClientHeight();
    int clientWidth = FPopupControl->Width();
    int clientHeight = FPopupControl->Height();
    if (FAutoAddCloseButton) {
      if (clientWidth < kMinClientWidth)
        clientWidth = kMinClientWidth;
      clientHeight = FPopupControl->Height() + kCloseBottom;
    }
    holder->SetBounds(at.x, at.y, clientWidth + frameWidth, clientHeight + frameHeight);

    FPopupControl->SetParent(holder);
    FPopupControl->SetAlign(alNone);
    FPopupControl->SetBounds(0, 0, FPopupControl->Width(), FPopupControl->Height());
    FPopupControl->SetAnchors(akLeft | akTop | akRight | akBottom);
    FPopupControl->Show();

    auto* close = new TXPBitBtn(holder);
    close->SetCaption(L"&Close");
    close->SetDefault(true);
    close->SetCancel(true);
    close->SetAnchors(akRight | akBottom);
    if (FAutoAddCloseButton) {
      close->SetBounds(clientWidth - kCloseRight, clientHeight - kCloseBottom, close->Width(),
                       close->Height());
    } else {
      // Out of sight, but Enter and Escape still close the popup.
      close->SetBounds(clientWidth + 10, clientHeight - kCloseBottom, close->Width(),
                       close->Height());
      close->SetTabStop(false);
    }
    const HWND button = Handle();
    close->OnClick = [button](TControl*) { PostMessageW(button, XPM_HIDEPOPUP, 0, 0); };
    close->SetParent(holder);

    MONITORINFO monitor{};
    GetMonitorInfoFromPoint(POINT{holder->Left(), holder->Top()}, monitor);
    const int right = holder->Left() + holder->Width();
    if (monitor.cbSize && right > monitor.rcMonitor.right)
      holder->SetLeft(holder->Left() - (right - monitor.rcMonitor.right));
    holder->Show();
    const HWND focus = GetFocus();
    if (focus != holder->Handle() && !IsChild(holder->Handle(), focus))
      holder->SelectFirst();
    return;
  }
  FDropDownMenu->SetPopupComponent(this);
  FDropDownMenu->Popup(at.x - 1, at.y);
  if (HandleAllocated())
    PostMessageW(Handle(), XPM_HIDEPOPUP, 0, 0);
}

bool TXPSplitButton::ClosePopupWindow() {
  TPopupContainer* holder = FPopupHolder;
  if (!holder) {
    RestoreMainFormWndProc();
    return false;
  }
  if (FPopupControl && FPopupControl->Parent() == holder) {
    FPopupControl->SetAnchors(kDefaultAnchors);
    FPopupControl->Hide();
    FPopupControl->SetParent(nullptr);
  }
  RestoreMainFormWndProc();
  FPopupHolder = nullptr;
  holder->RemoveFreeNotification(this);
  TComponent::Free(holder);
  return true;
}

void TXPSplitButton::HidePopup() {
  const bool hadPopup = ClosePopupWindow();
  const bool wasPressed = FArrowButtonPressed;
  SetArrowButtonPressed(false);
  // A popup closed twice (losing the activation to a click on the arrow)
  // tells of its hiding once.
  if (hadPopup || wasPressed)
    AfterHidePopup();
}

void TXPSplitButton::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case XPM_SHOWPOPUP:
    ShowPopup();
    AMessage.Result = 0;
    return;
  case XPM_HIDEPOPUP:
    HidePopup();
    AMessage.Result = 0;
    return;
  case WM_LBUTTONUP: {
    const RECT arrow = ArrowRect();
    const POINT point{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
    if (PtInRect(&arrow, point) && !FSpaceDown) {
      // The arrow opens or closes the popup on the press; its release
      // makes no click.
      FMouseDown = false;
      SetControlState(ControlState() & ~uint32_t(csLButtonDown | csClicked));
      if (GetCapture() == Handle())
        ReleaseCapture();
      AMessage.Result = 0;
      return;
    }
    break;
  }
  default:
    break;
  }
  TXPBitBtn::WndProc(AMessage);
}

void TXPSplitButton::Paint() {
  TCanvas& canvas = Canvas();
  const RECT client = ClientRect();
  const RECT arrow = ArrowRect();
  RECT main = client;
  main.right = arrow.left;
  const TColor color = Enabled() ? Font().Color() : clXPGrayText;
  DrawButtonFace(color, client, &main, Enabled(), FPressed, FHot, false);
  DrawButtonFace(color, client, &arrow, Enabled(), FPressed || FArrowButtonPressed, FHot, false);
  HDC dc = canvas.Handle();
  HRGN saved = nullptr;
  ClipToRect(dc, main, saved);
  DrawContent(main, color);
  RestoreClipRgn(dc, saved);
  canvas.Pen().SetStyle(TPenStyle::Solid);
  canvas.Pen().SetColor(clBtnShadow);
  canvas.MoveTo(arrow.left, client.top + 4);
  canvas.LineTo(arrow.left, client.bottom - 4);
  canvas.Pen().SetColor(clBtnHighlight);
  canvas.MoveTo(arrow.left + 1, client.top + 4);
  canvas.LineTo(arrow.left + 1, client.bottom - 4);
  if (Focused()) {
    RECT focus = client;
    InflateRect(&focus, -3, -3);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    ::DrawFocusRect(dc, &focus);
  }
  // The arrow: rows of 5, 3 and 1 black pixels.
  const int L = arrow.left, y = client.bottom / 2;
  canvas.Pen().SetColor(clBlack);
  canvas.MoveTo(L + 3, y - 2);
  canvas.LineTo(L + 8, y - 2);
  canvas.MoveTo(L + 4, y - 1);
  canvas.LineTo(L + 7, y - 1);
  canvas.SetPixel(L + 5, y, clBlack);
}
