#include "kx-container.h"
#include "edit-controls-units.h"

#include "gx-hooks.h"

#include "application.h"
#include "unit-steps.h"

#include <algorithm>

bool HooksDisabled = false;

namespace {

using TGetScrollBarInfo = BOOL(WINAPI*)(HWND, LONG, PSCROLLBARINFO);
TGetScrollBarInfo GGetScrollBarInfo = nullptr;
std::vector<IkxPopupWindow*>* GPopups = nullptr;
bool GClosingByClick = false;
bool GHooksAdded = false;

bool Contains(IkxPopupWindow* APopup) {
  return GPopups && std::find(GPopups->begin(), GPopups->end(), APopup) != GPopups->end();
}

// W is the window or one of its descendants.
bool IsSameOrDescendant(HWND AParent, HWND AWnd) {
  return AParent && AWnd && (AParent == AWnd || IsChild(AParent, AWnd));
}

HWND TopLevelOf(HWND AWnd) {
  return AWnd ? GetAncestor(AWnd, GA_ROOT) : nullptr;
}

// Whether a button press on AWnd may go on; closes the popups it is outside
// of. The scan starts again from the first popup after each one closed.
bool MouseRule(HWND AWnd, UINT AMessage, POINT APoint) {
  bool answer = true;
  bool restart = true;
  while (restart && GPopups) {
    restart = false;
    for (IkxPopupWindow* popup : *GPopups) {
      if (popup->IsStandalone() && !popup->Active())
        continue;
      if (IsSameOrDescendant(popup->PopupWindow(), AWnd))
        continue;
      HWND ownerForm = TopLevelOf(popup->OwnerWindow());
      if (!IsSameOrDescendant(ownerForm, AWnd))
        continue;
      const RECT ownerArea = popup->GetOwnerScreenBounds();
      const bool onOwnerArea = IsSameOrDescendant(popup->OwnerWindow(), AWnd) &&
                               (AMessage == WM_LBUTTONDOWN || AMessage == WM_LBUTTONDBLCLK) &&
                               PtInRect(&ownerArea, APoint);
      if (onOwnerArea)
        popup->ClosedByOwnerClick = popup->ConsumesClosingClick(AWnd, AMessage, APoint);
      GClosingByClick = true;
      ++popup->CloseLockCount;
      try {
        if (answer && !onOwnerArea)
          answer = !popup->ConsumesClosingClick(AWnd, AMessage, APoint);
        popup->ClosePopup();
      } catch (...) {
        GClosingByClick = false;
        --popup->CloseLockCount;
        throw;
      }
      GClosingByClick = false;
      --popup->CloseLockCount;
      if (onOwnerArea &&
          (!IsWindow(popup->OwnerWindow()) || !IsWindowVisible(popup->OwnerWindow())))
        answer = false;
      restart = true;
      break;
    }
  }
  return answer;
}

void MouseHook(int ACode, WPARAM AWParam, LPARAM ALParam, LRESULT& AHookResult) {
  if (ACode != HC_ACTION || !GPopups || GPopups->empty())
    return;
  switch (AWParam) {
  case WM_NCLBUTTONDOWN:
  case WM_NCLBUTTONDBLCLK:
  case WM_NCRBUTTONDOWN:
  case WM_NCRBUTTONDBLCLK:
  case WM_NCMBUTTONDOWN:
  case WM_NCMBUTTONDBLCLK:
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
  case WM_RBUTTONDOWN:
  case WM_RBUTTONDBLCLK:
  case WM_MBUTTONDOWN:
  case WM_MBUTTONDBLCLK: {
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(ALParam);
    if (!MouseRule(info->hwnd, static_cast<UINT>(AWParam), info->pt))
      AHookResult = 1;
    break;
  }
  default:
    break;
  }
}

void GetMessageHook(int ACode, WPARAM AWParam, LPARAM ALParam, LRESULT&) {
  if (ACode != HC_ACTION || AWParam != PM_REMOVE || !GPopups || GPopups->empty())
    return;
  auto* msg = reinterpret_cast<MSG*>(ALParam);
  if (msg->message != WM_SYSKEYDOWN)
    return;
  IkxPopupWindow* last = GPopups->back();
  if (last->IsStandalone() && last->IgnoreSysKeys())
    return;
  if (!last->HandleSysKey(msg->wParam))
    msg->message = WM_NULL;
}

void WndProcHook(int ACode, WPARAM, LPARAM ALParam, LRESULT&) {
  if (ACode != HC_ACTION || !GPopups || GPopups->empty())
    return;
  const auto* info = reinterpret_cast<const CWPSTRUCT*>(ALParam);
  if (info->message != WM_ACTIVATEAPP || info->wParam != 0)
    return;
  // The application loses activation: every enabled popup closes unless it
  // is an active standalone one.
  bool restart = true;
  while (restart && GPopups) {
    restart = false;
    for (IkxPopupWindow* popup : *GPopups) {
      HWND ownerForm = TopLevelOf(popup->OwnerWindow());
      if (ownerForm)
        PostMessageW(ownerForm, WM_NCACTIVATE, 0, 0);
      if (!(popup->IsStandalone() && popup->Active()) && IsWindowEnabled(popup->PopupWindow())) {
        popup->ClosePopup();
        // A popup that does not leave the list would be met again forever.
        if (Contains(popup))
          RemovePopupWindow(popup);
        restart = true;
        break;
      }
    }
  }
}

} // namespace

bool UseOwnScrollBars() {
  return GGetScrollBarInfo != nullptr;
}

bool QueryScrollBarInfo(HWND AWindow, LONG AObjectId, SCROLLBARINFO& AInfo) {
  AInfo.cbSize = sizeof(SCROLLBARINFO);
  if (!GGetScrollBarInfo)
    return false;
  return GGetScrollBarInfo(AWindow, AObjectId, &AInfo) != FALSE;
}

std::vector<IkxPopupWindow*>* PopupWindowList() {
  return GPopups;
}

void AddPopupWindow(IkxPopupWindow* APopup) {
  if (GPopups && APopup && !Contains(APopup))
    GPopups->push_back(APopup);
}

void RemovePopupWindow(IkxPopupWindow* APopup) {
  if (!GPopups)
    return;
  auto it = std::find(GPopups->begin(), GPopups->end(), APopup);
  if (it != GPopups->end())
    GPopups->erase(it);
}

bool ClosingByClick() {
  return GClosingByClick;
}

void KxContainerStartup() {
  try {
    // user32 is loaded in every process with windows: look it up, never
    // load it again.
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
      GGetScrollBarInfo = reinterpret_cast<TGetScrollBarInfo>(
          reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetScrollBarInfo")));
      if (GGetScrollBarInfo)
        LedgerRegistration(L"Binding", L"GetScrollBarInfo", true);
    }
    GPopups = new std::vector<IkxPopupWindow*>();
    if (!HooksDisabled) {
      AddThreadHookProc(TgxHookType::htWndProc, WndProcHook);
      AddThreadHookProc(TgxHookType::htGetMessage, GetMessageHook);
      AddThreadHookProc(TgxHookType::htMouse, MouseHook);
      GHooksAdded = true;
      LedgerRegistration(L"ThreadHookProc", L"PopupWndProc", true);
      LedgerRegistration(L"ThreadHookProc", L"PopupGetMessage", true);
      LedgerRegistration(L"ThreadHookProc", L"PopupMouse", true);
    }
  } catch (...) {
  }
}

void KxContainerShutdown() {
  try {
    if (GHooksAdded) {
      GHooksAdded = false;
      RemoveThreadHookProc(MouseHook);
      RemoveThreadHookProc(GetMessageHook);
      RemoveThreadHookProc(WndProcHook);
      LedgerRegistration(L"ThreadHookProc", L"PopupMouse", false);
      LedgerRegistration(L"ThreadHookProc", L"PopupGetMessage", false);
      LedgerRegistration(L"ThreadHookProc", L"PopupWndProc", false);
    }
    delete GPopups;
    GPopups = nullptr;
    if (GGetScrollBarInfo) {
      GGetScrollBarInfo = nullptr;
      LedgerRegistration(L"Binding", L"GetScrollBarInfo", false);
    }
  } catch (...) {
  }
}
