#include "kx-container.h"
#include "edit-controls-units.h"

#include "gx-hooks.h"
#include "kx-controls.h"

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

bool IsSameOrDescendant(HWND AParent, HWND AWnd) {
  return AParent && AWnd && (AParent == AWnd || IsChild(AParent, AWnd));
}

bool BelongsWithChildren(HWND AControl, HWND AWnd, size_t ADepth) {
  if (!AControl || !AWnd)
    return false;
  if (IsSameOrDescendant(AControl, AWnd))
    return true;
  // A popup opened from inside the control counts as part of it; popups
  // opened from popups are followed as far as the list goes.
  if (!GPopups || ADepth > GPopups->size())
    return false;
  for (IkxPopupWindow* popup : *GPopups)
    if (popup->PopupWindow() != AControl && IsSameOrDescendant(AControl, popup->OwnerWindow()) &&
        BelongsWithChildren(popup->PopupWindow(), AWnd, ADepth + 1))
      return true;
  return false;
}

// The owner's form: the top-level window of the owner control.
HWND OwnerForm(const IkxPopupWindow* APopup) {
  HWND owner = APopup->OwnerWindow();
  return owner && IsWindow(owner) ? GetAncestor(owner, GA_ROOT) : nullptr;
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
      if (BelongsWithChildren(popup->PopupWindow(), AWnd, 0))
        continue;
      if (!BelongsWithChildren(OwnerForm(popup), AWnd, 0))
        continue;
      const RECT ownerArea = popup->GetOwnerScreenBounds();
      const bool onOwnerArea = BelongsWithChildren(popup->OwnerWindow(), AWnd, 0) &&
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
      if (onOwnerArea && (popup->OwnerDestroying() || !IsWindow(popup->OwnerWindow()) ||
                          !IsWindowVisible(popup->OwnerWindow())))
        answer = false;
      // A popup that does not leave the list would be met again forever.
      RemovePopupWindow(popup);
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

// Closes a popup on the hook's behalf; one that stays listed is taken off,
// so no scan meets it again.
void CloseListed(IkxPopupWindow* APopup) {
  APopup->ClosePopup();
  RemovePopupWindow(APopup);
}

void PopupDestroyed(HWND AWnd) {
  for (IkxPopupWindow* popup : *GPopups) {
    if (popup->IsDestroying() || popup->PopupWindow() != AWnd)
      continue;
    popup->Close();
    if (!Contains(popup) && !popup->IsDestroying() && popup->TerminateOnDestroy())
      if (TApplication* application = Application())
        application->Terminate();
    return;
  }
}

void PopupClosing(HWND AWnd) {
  for (IkxPopupWindow* popup : *GPopups) {
    if (popup->IsDestroying())
      continue;
    if (popup->PopupWindow() == AWnd) {
      HWND top = nullptr;
      if (popup->IsStandalone() && !popup->OwnerDestroying() && popup->OwnerWindow()) {
        top = popup->OwnerWindow();
        while (top && IsChildStyleWindow(top))
          top = GetParent(top);
      }
      if (popup->CloseQuery())
        popup->ClosePopup();
      if (!Contains(popup) && top)
        SendMessageW(top, WM_CLOSE, 0, 0);
      return;
    }
    if (!popup->IsStandalone() && !popup->OwnerDestroying()) {
      HWND form = OwnerForm(popup);
      if (!form || form == AWnd)
        CloseListed(popup);
      return;
    }
  }
}

void OwnerHidden(HWND AWnd) {
  for (size_t i = GPopups->size(); i-- > 0;) {
    IkxPopupWindow* popup = (*GPopups)[i];
    if (popup->IsDestroying() || popup->OwnerDestroying() || !popup->OwnerWindow() ||
        !IsWindow(popup->OwnerWindow()))
      continue;
    if (popup->OwnerWindow() != AWnd)
      continue;
    // The popups opened after this one go with it, newest first.
    const std::vector<IkxPopupWindow*> closing(GPopups->begin() + static_cast<ptrdiff_t>(i),
                                               GPopups->end());
    for (size_t k = closing.size(); k-- > 0;)
      if (Contains(closing[k]))
        CloseListed(closing[k]);
    return;
  }
}

void ApplicationDeactivated() {
  // The application loses activation: every enabled popup closes unless it
  // is an active standalone one.
  bool restart = true;
  while (restart && GPopups) {
    restart = false;
    for (IkxPopupWindow* popup : *GPopups) {
      if (HWND form = OwnerForm(popup))
        PostMessageW(form, WM_NCACTIVATE, 0, 0);
      if (!(popup->IsStandalone() && popup->Active()) && IsWindowEnabled(popup->PopupWindow())) {
        CloseListed(popup);
        popup->OwnerFocusChanged();
        restart = true;
        break;
      }
    }
  }
}

void OwnerMovedOrHidden(HWND AWnd) {
  bool restart = true;
  while (restart && GPopups) {
    restart = false;
    for (IkxPopupWindow* popup : *GPopups) {
      HWND owner = popup->OwnerWindow();
      if (!popup->PopupWindow() || popup->IsDestroying() || !owner || popup->OwnerDestroying() ||
          owner != AWnd || IsWindowVisible(owner))
        continue;
      CloseListed(popup);
      restart = true;
      break;
    }
  }
}

void FormDeactivating(HWND AWnd) {
  bool block = GClosingByClick;
  if (!block)
    for (IkxPopupWindow* popup : *GPopups)
      if (!popup->IsDestroying() && OwnerForm(popup) == AWnd) {
        block = true;
        break;
      }
  // The owner's form keeps its active caption while its popup is open.
  if (block)
    if (TgxMessagesController* controller = MessagesController())
      controller->BlockMessage(AWnd);
}

void WndProcHook(int ACode, WPARAM, LPARAM ALParam, LRESULT&) {
  if (ACode != HC_ACTION)
    return;
  const auto* info = reinterpret_cast<const CWPSTRUCT*>(ALParam);
  if (TgxMessagesController* controller = MessagesController()) {
    UINT message = info->message;
    controller->BlockLockedMessage(info->hwnd, message);
  }
  if (!GPopups || GPopups->empty())
    return;
  switch (info->message) {
  case WM_DESTROY:
    PopupDestroyed(info->hwnd);
    break;
  case WM_CLOSE:
    PopupClosing(info->hwnd);
    break;
  case WM_SHOWWINDOW:
    if (info->wParam == 0)
      OwnerHidden(info->hwnd);
    break;
  case WM_ACTIVATEAPP:
    if (info->wParam == 0)
      ApplicationDeactivated();
    break;
  case WM_WINDOWPOSCHANGED:
    OwnerMovedOrHidden(info->hwnd);
    break;
  case WM_NCACTIVATE:
    if (info->wParam == 0)
      FormDeactivating(info->hwnd);
    break;
  default:
    break;
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

bool IsControlWindowWithChildren(HWND AControl, HWND AWnd) {
  return BelongsWithChildren(AControl, AWnd, 0);
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
      try {
        AddThreadHookProc(TgxHookType::htWndProc, WndProcHook);
        AddThreadHookProc(TgxHookType::htGetMessage, GetMessageHook);
        AddThreadHookProc(TgxHookType::htMouse, MouseHook);
      } catch (...) {
        // All three or none: a refused hook takes the others back.
        RemoveThreadHookProc(MouseHook);
        RemoveThreadHookProc(GetMessageHook);
        RemoveThreadHookProc(WndProcHook);
        throw;
      }
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
