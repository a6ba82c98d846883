#include "xp-popup-list-box.h"

#include "application.h"
#include "resource-ledger.h"
#include "xp-combo-box.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>

namespace {

// One drop-down at a time: the list that is down, and the thread's mouse
// hook while it is.
TXPPopupListBox* GOpenPopup = nullptr;
HHOOK GMouseHook = nullptr;

bool IsButtonMessage(WPARAM AMsg) {
  return AMsg == WM_LBUTTONDOWN || AMsg == WM_LBUTTONUP || AMsg == WM_NCLBUTTONDOWN ||
         AMsg == WM_NCLBUTTONUP;
}

bool IsMouseMove(WPARAM AMsg) {
  return AMsg == WM_MOUSEMOVE || AMsg == WM_NCMOUSEMOVE;
}

} // namespace

TXPPopupListBox::TXPPopupListBox(TXPCustomComboBox* AOwner)
    : TCustomXPListBox(AOwner), FCombo(AOwner) {
  SetVisible(false);
  SetTabStop(false);
  SetFrameColor(clWindowFrame);
}

TXPPopupListBox::~TXPPopupListBox() {
  if (GOpenPopup == this) {
    RemoveHooks();
    GOpenPopup = nullptr;
  }
  RestoreComboProc();
}

TXPPopupListBox* TXPPopupListBox::OpenPopup() {
  return GOpenPopup;
}

bool TXPPopupListBox::MouseHookInstalled() {
  return GMouseHook != nullptr;
}

bool TXPPopupListBox::CustomLook() const {
  return FCombo && FCombo->LookAndFeel() == xlfCustom;
}

bool TXPPopupListBox::WantsKey(WORD AKey) {
  switch (AKey) {
  case VK_RETURN:
  case VK_ESCAPE:
  case VK_PRIOR:
  case VK_NEXT:
  case VK_END:
  case VK_HOME:
  case VK_UP:
  case VK_DOWN:
    return true;
  default:
    return false;
  }
}

bool TXPPopupListBox::WantSpecialKey(WPARAM AKey) {
  return AKey == VK_RETURN || AKey == VK_ESCAPE;
}

// ===========================================================================
// Window

void TXPPopupListBox::CreateParams(TCreateParams& AParams) {
  TCustomXPListBox::CreateParams(AParams);
  AParams.Style = WS_CHILD | WS_CLIPCHILDREN;
  if (!CustomLook())
    AParams.Style |= WS_BORDER;
  AParams.ExStyle = WS_EX_TOOLWINDOW;
}

void TXPPopupListBox::CreateWnd() {
  TCustomXPListBox::CreateWnd();
  // Off its combo's window, so it floats above everything.
  ::SetParent(Handle(), nullptr);
}

void TXPPopupListBox::DestroyWnd() {
  if (GOpenPopup == this) {
    RemoveHooks();
    GOpenPopup = nullptr;
  }
  RestoreComboProc();
  TCustomXPListBox::DestroyWnd();
}

TColor TXPPopupListBox::GetBackgroundColor() {
  if (CustomLook())
    return FCombo->Color();
  return TCustomXPListBox::GetBackgroundColor();
}

void TXPPopupListBox::AdjustNonClientRect(RECT& ARect) {
  if (CustomLook()) {
    InflateRect(&ARect, -2, -2);
    return;
  }
  TCustomXPListBox::AdjustNonClientRect(ARect);
}

bool TXPPopupListBox::PaintNonClientBorder() {
  if (!CustomLook())
    return TCustomXPListBox::PaintNonClientBorder();
  if (!HandleAllocated())
    return true;
  HWND window = Handle();
  RECT rect{};
  GetWindowRect(window, &rect);
  OffsetRect(&rect, -rect.left, -rect.top);
  if (HDC dc = AcquireWindowDC(window)) {
    const TColor frame =
        FCombo->FrameColor() != clDefault ? FCombo->FrameColor() : kXPEditFrameColor;
    FillSolidRect(dc, rect, FCombo->Color());
    FrameSolidRect(dc, rect, frame);
    ReleaseWindowDC(window, dc);
  }
  return true;
}

void TXPPopupListBox::FontChanged() {
  TCustomXPListBox::FontChanged();
  UpdateItemHeight();
  if (HandleAllocated() && GOpenPopup != this)
    RecreateWnd();
}

void TXPPopupListBox::FirstItemBecameCurrent() {
  if (!FCombo)
    return;
  TXPSuppressChangeScope<TCustomXPEdit> suppress(*FCombo);
  FCombo->SetText(CurrentText());
}

// ===========================================================================
// Showing and closing

void TXPPopupListBox::Popup(int AX, int AY) {
  // One list is down at a time: the hooks are the open list's.
  if (GOpenPopup && GOpenPopup != this)
    GOpenPopup->Close(false);
  TXPCustomComboBox* combo = FCombo;
  // Closing the other list may have moved the focus and closed this one.
  if (!combo->DroppedDown())
    return;
  combo->SaveHintSettings();
  combo->SetShowHint(false);

  Font().Assign(&combo->Font());
  if (combo->HotTrack())
    Font().SetStyle(Font().Style() & ~TFontStyles(fsUnderline));
  if (HandleAllocated())
    UpdateItemHeight();
  else
    HandleNeeded();

  const int theme = GetXPThemeState();
  const int count = Count();
  int width = combo->Width();
  if (combo->AutoDropWidth()) {
    int widest = 0;
    for (int i = 0; i < count; ++i)
      widest = std::max(widest, combo->MeasureItemText(i));
    if (count > combo->DropDownCount())
      widest += GetXPScrollBarSize();
    const int border = GetSystemMetrics(SM_CXBORDER);
    widest += theme == xtsClassic ? 2 * (border - 1 + 3) : 2 * (border + 3);
    widest = std::min(widest, kXPPopupListMaxWidth);
    width = std::max(widest, combo->Width());
  }
  // The width first: whether the items need a horizontal scroll bar is
  // known only once the list has it.
  SetWidth(width);
  const int rows = std::max(std::min(count, combo->DropDownCount()), 1);
  int height =
      2 * (GetSystemMetrics(SM_CYBORDER) + (theme != xtsClassic ? 1 : 0)) + UsedItemHeight() * rows;
  if (BottomPanel().Visible())
    height += BottomPanel().Height();

  // Kept on the monitor nearest the point: moved left or up by what would
  // pass its right or bottom edge.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoFromPoint(POINT{AX, AY}, monitor);
  int x = AX, y = AY;
  if (monitor.rcMonitor.right > monitor.rcMonitor.left) {
    if (x + width > monitor.rcMonitor.right)
      x -= x + width - monitor.rcMonitor.right;
    if (y + height > monitor.rcMonitor.bottom)
      y -= y + height - monitor.rcMonitor.bottom;
  }
  SetBounds(x, y, width, height);
  SetWindowPos(Handle(), HWND_TOPMOST, x, y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  {
    TXPSuppressChangeScope<TCustomXPListBox> quiet(*this);
    SetItemIndex(Items().IndexOf(combo->Text()));
  }
  SetTopIndex(ItemIndex());
  SetVisible(true);
  InstallHooks();
}

void TXPPopupListBox::Close(bool ASuccess) {
  if (FClosingFlag > 0)
    return;
  TXPCountScope closing(FClosingFlag);
  RemoveHooks();
  if (GOpenPopup == this)
    GOpenPopup = nullptr;
  if (HandleAllocated())
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetVisible(false);
  TXPCustomComboBox* combo = FCombo;
  if (!combo || combo->ComponentState().Contains(csDestroying))
    return;
  combo->SetDroppedDown(false);
  if (ASuccess) {
    if (ItemIndex() >= 0)
      combo->SetText(CurrentText());
    combo->CreateEditCaret();
    if (combo->Style() == csDropDown)
      combo->SelectAll();
  } else {
    TXPSuppressChangeScope<TCustomXPEdit> suppress(*combo);
    TXPSuppressChangeScope<TCustomXPListBox> quiet(*this);
    SetItemIndex(Items().IndexOf(combo->Text()));
  }
  combo->RestoreHintSettings();
}

void TXPPopupListBox::Click() {
  TCustomXPListBox::Click();
  TXPCustomComboBox* combo = FCombo;
  if (!combo || ItemIndex() < 0)
    return;
  {
    TXPSuppressChangeScope<TCustomXPEdit> suppress(*combo);
    combo->SetText(CurrentText());
  }
  combo->Change();
  combo->Select();
}

// ===========================================================================
// The hooks while the list is down

void TXPPopupListBox::InstallHooks() {
  GOpenPopup = this;
  if (!GMouseHook) {
    GMouseHook = SetWindowsHookExW(WH_MOUSE, &MouseHookProc, nullptr, GetCurrentThreadId());
    if (GMouseHook)
      LedgerTake(TResourceKind::Hook, GMouseHook);
  }
  if (!FMainHooked) {
    FMainKey = Application()->HookMainWindow(
        [this](UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
          TMessage message{AMsg, AWParam, ALParam, 0};
          const bool handled = MainWindowHook(message);
          AResult = message.Result;
          return handled;
        });
    FMainHooked = true;
  }
  if (!FParentHooked && FCombo && FCombo->HandleAllocated()) {
    FHookedCombo = FCombo->Handle();
    FOldWindProc = GetWindowLongPtrW(FHookedCombo, GWLP_WNDPROC);
    SetWindowLongPtrW(FHookedCombo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboProc));
    FParentHooked = true;
  }
}

void TXPPopupListBox::RestoreComboProc() {
  if (!FParentHooked)
    return;
  FParentHooked = false;
  if (IsWindow(FHookedCombo) &&
      GetWindowLongPtrW(FHookedCombo, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ComboProc))
    SetWindowLongPtrW(FHookedCombo, GWLP_WNDPROC, FOldWindProc);
  FHookedCombo = nullptr;
}

void TXPPopupListBox::RemoveHooks() {
  RestoreComboProc();
  if (FMainHooked) {
    FMainHooked = false;
    if (TApplication* application = ApplicationIfAny())
      application->UnhookMainWindow(FMainKey);
  }
  if (HWND capture = GetCapture())
    SendMessageW(capture, WM_CANCELMODE, 0, 0);
  if (GMouseHook) {
    UnhookWindowsHookEx(GMouseHook);
    LedgerGive(TResourceKind::Hook, GMouseHook);
    GMouseHook = nullptr;
  }
}

bool TXPPopupListBox::MainWindowHook(TMessage& AMessage) {
  if (AMessage.Msg == WM_ACTIVATEAPP)
    Close(false);
  return false;
}

LRESULT CALLBACK TXPPopupListBox::MouseHookProc(int ACode, WPARAM AWParam, LPARAM ALParam) {
  HHOOK hook = GMouseHook;
  TXPPopupListBox* list = GOpenPopup;
  if (ACode < 0 || ACode == HC_NOREMOVE || !list || !list->HandleAllocated())
    return CallNextHookEx(hook, ACode, AWParam, ALParam);
  const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(ALParam);
  HWND window = list->Handle();
  RECT bounds{};
  GetWindowRect(window, &bounds);
  const bool inside = PtInRect(&bounds, info->pt) != FALSE;
  try {
    if (IsButtonMessage(AWParam) && !inside) {
      TXPCustomComboBox* combo = list->FCombo;
      bool onCombo = false;
      if (combo && combo->HandleAllocated()) {
        RECT comboRect{};
        GetWindowRect(combo->Handle(), &comboRect);
        onCombo = PtInRect(&comboRect, info->pt) != FALSE;
      }
      list->Close(false);
      if (combo) {
        combo->SetFlag1(onCombo);
        combo->SetFlag2(false);
      }
      return CallNextHookEx(hook, ACode, AWParam, ALParam);
    }
    if (AWParam == WM_LBUTTONDOWN && inside && info->hwnd == window) {
      POINT point = info->pt;
      ::ScreenToClient(window, &point);
      SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
      return 1;
    }
  } catch (...) {
    // A hook is a system boundary: nothing may pass it.
    return CallNextHookEx(hook, ACode, AWParam, ALParam);
  }
  if (IsMouseMove(AWParam) && !inside)
    return 0;
  return CallNextHookEx(hook, ACode, AWParam, ALParam);
}

LRESULT CALLBACK TXPPopupListBox::ComboProc(HWND AWindow, UINT AMsg, WPARAM AWParam,
                                            LPARAM ALParam) {
  TXPPopupListBox* list = GOpenPopup;
  if (list && list->FHookedCombo == AWindow) {
    if (AMsg >= WM_KEYFIRST && AMsg <= WM_SYSDEADCHAR) {
      try {
        list->RouteKey(AMsg, AWParam, ALParam);
      } catch (...) {
        // A window procedure is a system boundary: nothing may pass it.
      }
      return 0;
    }
    return CallWindowProcW(reinterpret_cast<WNDPROC>(list->FOldWindProc), AWindow, AMsg, AWParam,
                           ALParam);
  }
  // The list let go while a message was on its way.
  if (TWinControl* control = TWinControl::FindControl(AWindow))
    return control->Perform(AMsg, AWParam, ALParam);
  return DefWindowProcW(AWindow, AMsg, AWParam, ALParam);
}

void TXPPopupListBox::RouteKey(UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  Perform(AMsg, AWParam, ALParam);
}

// ===========================================================================
// Keys

void TXPPopupListBox::KeyDown(WORD& AKey, TShiftState AShift) {
  if (WantsKey(AKey)) {
    TCustomXPListBox::KeyDown(AKey, AShift);
    return;
  }
  if (FCombo)
    FCombo->KeyDown(AKey, AShift);
}

void TXPPopupListBox::KeyPress(wchar_t& AKey) {
  if (FCombo)
    FCombo->KeyPress(AKey);
}

void TXPPopupListBox::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN: {
    const WORD key = WORD(AMessage.WParam);
    const TShiftState shift = KeyboardShiftState();
    if ((key == VK_RETURN || key == VK_ESCAPE) && (shift & (ssShift | ssCtrl | ssAlt)) == 0) {
      HWND combo = FHookedCombo;
      Close(key == VK_RETURN);
      // The key is spent: its character must not reach the combo as well.
      MSG pending{};
      if (combo)
        while (PeekMessageW(&pending, combo, WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
               (pending.wParam == VK_RETURN || pending.wParam == VK_ESCAPE) &&
               PeekMessageW(&pending, combo, WM_CHAR, WM_CHAR, PM_REMOVE)) {
        }
      AMessage.Result = 0;
      return;
    }
    if ((key == VK_UP || key == VK_DOWN) && (shift & ssAlt) && FCombo &&
        FCombo->DropDownOnAltArrow()) {
      Close(true);
      AMessage.Result = 0;
      return;
    }
    if (AMessage.Msg == WM_SYSKEYDOWN)
      break;
    WORD routed = key;
    KeyDown(routed, shift);
    AMessage.Result = 0;
    return;
  }
  case WM_CHAR: {
    wchar_t key = wchar_t(AMessage.WParam);
    KeyPress(key);
    AMessage.Result = 0;
    return;
  }
  default:
    break;
  }
  TCustomXPListBox::WndProc(AMessage);
}

// ===========================================================================
// Mouse

void TXPPopupListBox::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TCustomXPListBox::MouseDown(AButton, AShift, AX, AY);
}

void TXPPopupListBox::MouseMove(TShiftState AShift, int AX, int AY) {
  TCustomXPListBox::MouseMove(AShift, AX, AY);
  const POINT point{AX, AY};
  if (PtInScrollBars(point))
    return;
  const RECT client = ClientRect();
  if (!PtInRect(&client, point))
    return;
  const int index = ItemIndexAt(point, false);
  if (index >= 0 && index < Count() && index != ItemIndex()) {
    FItemIndexByMouse = true;
    SetItemIndex(index);
  }
}

void TXPPopupListBox::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TCustomXPListBox::MouseUp(AButton, AShift, AX, AY);
  if (AButton != mbLeft || GOpenPopup != this)
    return;
  if (PtInScrollBars(POINT{AX, AY}))
    return;
  Close(true);
}
