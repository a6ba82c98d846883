#include "host-forms.h"

#include "contracts.h"
#include "dialogs.h"
#include "host-utilities.h"

#include <shellapi.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

constexpr wchar_t kFormProperty[] = L"OrvandelForm";
constexpr wchar_t kNameProperty[] = L"OrvandelControlName";
// Posted to a form's own window by Release: the form is freed when it arrives.
constexpr UINT kReleaseMessage = WM_APP + 0x0B20;
// A host message to panels that means nothing to them.
constexpr UINT kPanelIgnoredMessage = 0x0BD7;
constexpr WORD kHelpKey = VK_F1;
// Arrow keys, Tab and all other keys.
constexpr LRESULT kWantsAllKeys = DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
constexpr uint32_t kPanelTimerInterval = 500;

bool ModifierDown() {
  return IsShiftDown() || IsCtrlDown() || IsAltDown();
}

// A form's class is named by the form's kind, which a descendant may
// choose: it is registered when the first form of that kind makes its window.
void RegisterFormClass(const wchar_t* AName, WNDPROC AProcedure) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = AProcedure;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = AName;
  RegisterModuleWindowClass(windowClass);
}

bool IsChildWindow(HWND AWindow) {
  return (GetWindowLongW(AWindow, GWL_STYLE) & WS_CHILD) != 0;
}

// Tab stops in tab (creation) order; control parents are walked into, not
// stopped at.
void CollectTabStops(HWND AParent, std::vector<HWND>& AStops) {
  for (HWND child = GetWindow(AParent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (!(style & WS_VISIBLE) || (style & WS_DISABLED))
      continue;
    if (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)
      CollectTabStops(child, AStops);
    else if (style & WS_TABSTOP)
      AStops.push_back(child);
  }
}

// The dialog-code bits with which a control keeps a key for itself.
struct TWantedKey {
  WORD Key;
  LRESULT Codes;
};
constexpr TWantedKey kDialogKeys[] = {
    {VK_TAB, DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE},
    {VK_ESCAPE, DLGC_WANTALLKEYS | DLGC_WANTMESSAGE},
    {VK_RETURN, DLGC_WANTALLKEYS | DLGC_WANTMESSAGE},
};

bool IsButton(HWND AWindow) {
  wchar_t className[16] = {};
  GetClassNameW(AWindow, className, 16);
  return lstrcmpiW(className, L"Button") == 0;
}

// Push buttons share their style bits with other controls' own styles:
// the class tells first.
bool IsPushButton(HWND AButton) {
  const LONG kind = GetWindowLongW(AButton, GWL_STYLE) & BS_TYPEMASK;
  return IsButton(AButton) && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON);
}

bool IsDefaultButton(HWND AButton) {
  return IsButton(AButton) &&
         (GetWindowLongW(AButton, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// An enabled, visible button among AParent's descendants matching APredicate.
template <class TPredicate> HWND FindButton(HWND AParent, TPredicate APredicate) {
  for (HWND child = GetWindow(AParent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child) || !IsWindowEnabled(child))
      continue;
    if (IsButton(child) && APredicate(child))
      return child;
    if (HWND inner = FindButton(child, APredicate))
      return inner;
  }
  return nullptr;
}

} // namespace

UINT DialogKeyMessage() {
  static const UINT message = RegisterWindowMessageW(L"OrvandelDialogKey");
  return message;
}

LRESULT OfferDialogKey(HWND AWindow, WORD AKey) {
  for (HWND window = AWindow; window; window = GetParent(window)) {
    if (const LRESULT answer = SendMessageW(window, DialogKeyMessage(), AKey, 0))
      return answer;
    if (!IsChildWindow(window))
      break; // a window of its own: its parent is only its owner
  }
  return 0;
}

namespace {

HWND GCurrentDialogWindow = nullptr;

// A key pressed in a control inside a plug-in form is the child key of its
// forms, offered from the nearest outward until one takes it; a form's own
// key is its own window's business.
bool RouteChildKey(HWND AControl, WORD AKey) {
  if (TFormWithHelp::FromWindow(AControl))
    return false;
  for (HWND window = AControl; IsChildWindow(window);) {
    window = GetParent(window);
    if (TFormWithHelp* form = TFormWithHelp::FromWindow(window))
      if (form->ChildKey(AControl, AKey))
        return true;
  }
  return false;
}

// A message for the current dialog window or one of its controls goes
// through the system's dialog-key processing of that window, which
// dispatches it.
bool IsCurrentDialogMessage(const MSG& AMessage) {
  HWND dialog = GCurrentDialogWindow;
  if (!dialog || !IsWindow(dialog) || (AMessage.hwnd != dialog && !IsChild(dialog, AMessage.hwnd)))
    return false;
  MSG copy = AMessage;
  return IsDialogMessageW(dialog, &copy) != FALSE;
}

bool HandleDialogKey(const MSG& AMessage) {
  if (AMessage.message != WM_KEYDOWN || IsAltDown())
    return false;
  const auto key =
      std::find_if(std::begin(kDialogKeys), std::end(kDialogKeys),
                   [&](const TWantedKey& AKey) { return AKey.Key == AMessage.wParam; });
  if (key == std::end(kDialogKeys))
    return false;
  MSG copy = AMessage;
  const LRESULT code =
      SendMessageW(AMessage.hwnd, WM_GETDLGCODE, AMessage.wParam, reinterpret_cast<LPARAM>(&copy));
  if (code & key->Codes)
    return false;
  return OfferDialogKey(AMessage.hwnd, key->Key) != 0;
}

} // namespace

void SetCurrentDialogWindow(HWND AWindow) {
  GCurrentDialogWindow = AWindow;
}

HWND CurrentDialogWindow() {
  return GCurrentDialogWindow;
}

bool IsFormDialogMessage(const MSG& AMessage) {
  if (!AMessage.hwnd)
    return false;
  if ((AMessage.message == WM_KEYDOWN || AMessage.message == WM_SYSKEYDOWN) &&
      RouteChildKey(AMessage.hwnd, WORD(AMessage.wParam)))
    return true;
  return HandleDialogKey(AMessage) || IsCurrentDialogMessage(AMessage);
}

bool SelectNextTabStop(HWND ARoot, bool AForward) {
  std::vector<HWND> stops;
  CollectTabStops(ARoot, stops);
  if (stops.empty())
    return false;
  const HWND focus = GetFocus();
  // The stop that holds the focus (a stop's own children count as it).
  auto current = std::find_if(stops.begin(), stops.end(),
                              [&](HWND AStop) { return AStop == focus || IsChild(AStop, focus); });
  size_t next = 0;
  if (current == stops.end())
    next = AForward ? 0 : stops.size() - 1;
  else {
    const size_t at = size_t(current - stops.begin());
    next = AForward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
  }
  SetFocus(stops[next]);
  return true;
}

// ---- TFormWithHelp --------------------------------------------------------

TFormWithHelp::TFormWithHelp() = default;

TFormWithHelp::~TFormWithHelp() {
  DestroyHandle();
}

TFormWithHelp* TFormWithHelp::FromWindow(HWND AWindow) {
  return AWindow ? static_cast<TFormWithHelp*>(GetPropW(AWindow, kFormProperty)) : nullptr;
}

void TFormWithHelp::SetControlName(HWND AControl, const std::wstring& AName) {
  if (const ATOM old = ATOM(reinterpret_cast<uintptr_t>(RemovePropW(AControl, kNameProperty))))
    GlobalDeleteAtom(old);
  if (!AName.empty())
    SetPropW(AControl, kNameProperty,
             reinterpret_cast<HANDLE>(uintptr_t(GlobalAddAtomW(AName.c_str()))));
}

std::wstring TFormWithHelp::ControlName(HWND AControl) {
  if (const TFormWithHelp* form = FromWindow(AControl))
    return form->Name();
  const ATOM atom = ATOM(reinterpret_cast<uintptr_t>(GetPropW(AControl, kNameProperty)));
  wchar_t name[256] = {};
  return atom && GlobalGetAtomNameW(atom, name, 256) ? std::wstring(name) : std::wstring();
}

void TFormWithHelp::SetCaption(const std::wstring& ACaption) {
  FCaption = ACaption;
  if (FHandle)
    SetWindowTextW(FHandle, FCaption.c_str());
}

void TFormWithHelp::SetBorderStyle(TFormBorder ABorder) {
  if (FBorder == ABorder)
    return;
  FBorder = ABorder;
  RecreateHandle();
}

void TFormWithHelp::RecreateHandle() {
  if (!FHandle)
    return;
  DestroyHandle();
  if (FVisible)
    CreateHandle();
}

void TFormWithHelp::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FHandle)
    SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFormWithHelp::Show() {
  const bool wasVisible = FVisible;
  FVisible = true;
  ShowWindow(Handle(), SW_SHOWNORMAL);
  if (!wasVisible && OnShow)
    OnShow();
}

void TFormWithHelp::Hide() {
  const bool wasVisible = FVisible;
  FVisible = false;
  if (FHandle)
    ShowWindow(FHandle, SW_HIDE);
  if (wasVisible && OnHide)
    OnHide();
}

void TFormWithHelp::SetParentWindow(HWND AParent) {
  if (FParentWindow == AParent)
    return;
  FParentWindow = AParent;
  // A child and a window of its own differ in style: the window is made again.
  RecreateHandle();
}

HWND TFormWithHelp::Handle() {
  if (!FHandle)
    CreateHandle();
  return FHandle;
}

void TFormWithHelp::CreateParams(TCreateParams& AParams) {
  // The focus moves through a form's controls into those of its children.
  AParams.ExStyle |= WS_EX_CONTROLPARENT;
  if (FParentWindow) {
    AParams.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    AParams.Parent = FParentWindow;
  } else {
    AParams.Style = WS_POPUP | WS_CLIPCHILDREN;
  }
  switch (FBorder) {
  case TFormBorder::None:
    break;
  case TFormBorder::Dialog:
    AParams.Style |= WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    AParams.ExStyle |= WS_EX_DLGMODALFRAME;
    break;
  case TFormBorder::Sizeable:
    AParams.Style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    break;
  }
}

void TFormWithHelp::CreateHandle() {
  if (FHandle)
    return;
  RegisterFormClass(ClassName(), &StaticWndProc);
  TCreateParams params;
  CreateParams(params);
  HWND window =
      CreateWindowExW(params.ExStyle, ClassName(), FCaption.c_str(), params.Style, FLeft, FTop,
                      FWidth, FHeight, params.Parent, nullptr, GetModuleInstance(), this);
  if (!window)
    throw std::runtime_error("The form's window could not be created");
  if (FVisible)
    ShowWindow(window, SW_SHOWNA);
}

void TFormWithHelp::DestroyHandle() {
  if (!FHandle)
    return;
  HWND window = FHandle;
  FRecreating = true;
  DestroyWindow(window);
  FRecreating = false;
  FHandle = nullptr;
}

void TFormWithHelp::Release() {
  if (FHandle)
    PostMessageW(FHandle, kReleaseMessage, 0, 0);
}

LRESULT CALLBACK TFormWithHelp::StaticWndProc(HWND AWindow, UINT AMessage, WPARAM AWParam,
                                              LPARAM ALParam) {
  TFormWithHelp* form = nullptr;
  if (AMessage == WM_NCCREATE) {
    form = static_cast<TFormWithHelp*>(reinterpret_cast<CREATESTRUCTW*>(ALParam)->lpCreateParams);
    form->FHandle = AWindow;
    SetPropW(AWindow, kFormProperty, form);
  } else {
    form = FromWindow(AWindow);
  }
  if (!form)
    return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
  if (AMessage == kReleaseMessage) {
    delete form;
    return 0;
  }
  if (AMessage == WM_NCDESTROY) {
    RemovePropW(AWindow, kFormProperty);
    form->FHandle = nullptr;
    return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
  }
  try {
    return form->WndProc(AMessage, AWParam, ALParam);
  } catch (...) {
    // No failure crosses the window procedure into the host's message loop.
    return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
  }
}

LRESULT TFormWithHelp::DefaultHandler(UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  return DefWindowProcW(FHandle, AMessage, AWParam, ALParam);
}

LRESULT TFormWithHelp::WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  if (AMessage == DialogKeyMessage())
    return DialogKey(WORD(AWParam));
  switch (AMessage) {
  case WM_NCCREATE: {
    const LRESULT result = DefaultHandler(AMessage, AWParam, ALParam);
    // A dialog border cannot be sized, minimised or maximised: its system
    // menu does not offer it.
    if (FBorder == TFormBorder::Dialog)
      if (HMENU menu = GetSystemMenu(FHandle, FALSE))
        for (const UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE})
          DeleteMenu(menu, command, MF_BYCOMMAND);
    return result;
  }
  case WM_HELP: {
    const auto* info = reinterpret_cast<const HELPINFO*>(ALParam);
    if (!FHandleHelp || !info || info->iContextType != HELPINFO_WINDOW)
      break;
    if (!FIgnoreWhatsThis) {
      ClearHostStatusText();
      HandleHelpRequest(static_cast<HWND>(info->hItemHandle));
    }
    FIgnoreWhatsThis = false;
    return TRUE;
  }
  case WM_WINDOWPOSCHANGED: {
    const auto* position = reinterpret_cast<const WINDOWPOS*>(ALParam);
    if (!IsIconic(FHandle) && !(position->flags & SWP_NOMOVE)) {
      FLeft = position->x;
      FTop = position->y;
    }
    if (!IsIconic(FHandle) && !(position->flags & SWP_NOSIZE)) {
      FWidth = position->cx;
      FHeight = position->cy;
    }
    break;
  }
  case WM_SETTEXT:
    FCaption = ALParam ? reinterpret_cast<const wchar_t*>(ALParam) : L"";
    break;
  default:
    break;
  }
  return DefaultHandler(AMessage, AWParam, ALParam);
}

LRESULT TFormWithHelp::DialogKey(WORD AKey) {
  if (AKey != VK_TAB || !FHandle)
    return 0;
  if (IsChildWindow(FHandle))
    if (const LRESULT answer = OfferDialogKey(GetParent(FHandle), AKey))
      return answer;
  return SelectNextTabStop(FHandle, !IsShiftDown()) ? 1 : 0;
}

void TFormWithHelp::HandleHelpRequest(HWND AControl) {
  std::wstring reference;
  if (GetHelpReference(AControl, reference))
    ShellExecuteW(ApplicationWindow(), L"open", reference.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool TFormWithHelp::ChildKey(HWND AControl, WORD AKey) {
  if (AKey != kHelpKey || !FHandleHelp)
    return false;
  FIgnoreWhatsThis = true;
  if (ModifierDown())
    ProcessHostShortcut(AKey);
  else
    ShowHelpForControl(AControl);
  return true;
}

bool TFormWithHelp::GetHelpReference(HWND AControl, std::wstring& AReference) {
  if (!AControl)
    return false;
  const IClientAPI_Interface api = ClientAPI();
  if (api.IsEmpty())
    return false;
  std::wstring keyword;
  BuildHelpKeyword(AControl, keyword);
  std::wstring reference;
  if (!api.FindHelpTopic(keyword, reference))
    return false;
  AReference = reference;
  return true;
}

std::wstring TFormWithHelp::GetHelpControlName(HWND AControl) {
  if (!AControl || AControl == FHandle)
    return !FName.empty() ? FName
                          : std::wstring(ClassName()).substr(ClassName()[0] == L'T' ? 1 : 0);
  std::wstring name = ControlName(AControl);
  if (!name.empty())
    return name;
  wchar_t className[256] = {};
  GetClassNameW(AControl, className, 256);
  name = className;
  if (!name.empty() && name[0] == L'T')
    name.erase(0, 1);
  return name;
}

void TFormWithHelp::BuildHelpKeyword(HWND AControl, std::wstring& AKeyword) {
  std::wstring prefix;
  const IClientAPI_Interface api = ClientAPI();
  if (!api.IsEmpty())
    api.FindDialogHelpTopic(GetModuleBaseName(), prefix); // its answer does not matter
  AKeyword = prefix + L".Dlg." + GetHelpControlName(nullptr);
  if (!AControl || AControl == FHandle)
    return;
  std::wstring path = GetHelpControlName(AControl);
  for (HWND parent = GetParent(AControl); parent && parent != FHandle && !FromWindow(parent) &&
                                          (GetWindowLongW(parent, GWL_STYLE) & WS_CHILD);
       parent = GetParent(parent))
    path = GetHelpControlName(parent) + L"." + path;
  AKeyword += L"." + path;
}

void TFormWithHelp::ShowHelpForControl(HWND AControl) {
  HandleHelpRequest(AControl);
}

// ---- TServerViewForm ------------------------------------------------------

LRESULT TServerViewForm::WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  switch (AMessage) {
  case WM_GETDLGCODE:
    return kWantsAllKeys;
  case WM_KEYDOWN: {
    // A plain key-down carries no control: F1 asks help for the focused
    // child, or the form itself when the focus is elsewhere.
    HWND focus = GetFocus();
    if (!focus || (focus != WindowHandle() && !IsChild(WindowHandle(), focus)))
      focus = WindowHandle();
    if (!ChildKey(focus, WORD(AWParam)))
      ProcessHostShortcut(WORD(AWParam));
    return 0;
  }
  case WM_SYSKEYDOWN:
    ProcessHostShortcut(WORD(AWParam));
    return 0;
  default:
    return TFormWithHelp::WndProc(AMessage, AWParam, ALParam);
  }
}

// ---- TServerPanelForm -----------------------------------------------------

TServerPanelForm::TServerPanelForm()
    : FTimerHandler(TTimerHandler::Create([this](uint32_t AId) { DoTimer(AId); },
                                          kPanelTimerInterval, false)) {}

TServerPanelForm::~TServerPanelForm() {
  FTimerHandler->Destroy();
  FTimerHandler.Reset();
  DestroyHandle();
}

void TServerPanelForm::SetParentWindowHolder(const IExternalFormHolder& AWindowHolder) {
  FParentWindowHolder = AWindowHolder;
}

void TServerPanelForm::DoTimer(uint32_t) {}

LRESULT TServerPanelForm::WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  switch (AMessage) {
  case WM_ERASEBKGND: {
    if (FParentWindowHolder.IsEmpty())
      break;
    HWND holder = reinterpret_cast<HWND>(intptr_t(FParentWindowHolder.GetHandle()));
    HDC dc = reinterpret_cast<HDC>(AWParam);
    const int saved = SaveDC(dc);
    SendMessageW(holder, WM_ERASEBKGND, AWParam, 0);
    RestoreDC(dc, saved);
    return 1;
  }
  case WM_SETTEXT: {
    const LRESULT result = TServerViewForm::WndProc(AMessage, AWParam, ALParam);
    if (!FParentWindowHolder.IsEmpty()) {
      HWND holder = reinterpret_cast<HWND>(intptr_t(FParentWindowHolder.GetHandle()));
      SetWindowTextW(holder, Caption().c_str());
      FParentWindowHolder.CaptionChanged();
    }
    return result;
  }
  case kPanelIgnoredMessage:
    return 0;
  default:
    break;
  }
  return TServerViewForm::WndProc(AMessage, AWParam, ALParam);
}

// ---- TServerDialog --------------------------------------------------------

TServerDialog::TServerDialog(bool ASizeable) : FSizeableDialog(ASizeable) {
  // A sizeable dialog keeps its sizing frame on the dialog border.
  SetBorderStyle(TFormBorder::Dialog);
  PositionDialog();
}

void TServerDialog::PositionDialog() {
  HWND active = GetActiveWindow();
  HMONITOR monitor = MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  if (!monitor || !GetMonitorInfoW(monitor, &info))
    return;
  const RECT& area = info.rcMonitor;
  SetBounds(area.left + (area.right - area.left - Width()) / 2,
            area.top + (area.bottom - area.top - Height()) / 2, Width(), Height());
  FCentredAt = TPlacement{Left(), Top(), Width(), Height()};
}

void TServerDialog::CreateParams(TCreateParams& AParams) {
  TFormWithHelp::CreateParams(AParams);
  if (FSizeableDialog)
    AParams.Style |= WS_THICKFRAME;
  if (!ParentWindow())
    AParams.Parent =
        UseHostAsOwner() ? reinterpret_cast<HWND>(intptr_t(GetHostMainWindowHandle())) : nullptr;
}

void TServerDialog::Show() {
  if (FCentredAt && FCentredAt->Left == Left() && FCentredAt->Top == Top() &&
      (FCentredAt->Width != Width() || FCentredAt->Height != Height()))
    PositionDialog();
  FCentredAt.reset();
  // Shown where PositionDialog put it: no placement by the system.
  TFormWithHelp::Show();
  SetWindowPos(Handle(), nullptr, Left(), Top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

// Disables the dialog's owner for the modal loop and gives it back (and
// the activation) however the loop ends.
class TModalScope {
public:
  explicit TModalScope(HWND AOwner)
      : FOwner(AOwner), FPreviousActive(GetActiveWindow()),
        FOwnerWasEnabled(AOwner && IsWindowEnabled(AOwner)) {
    if (FOwnerWasEnabled)
      EnableWindow(FOwner, FALSE);
  }
  ~TModalScope() {
    // Enabled before the dialog hides, so the activation does not go to
    // another program's window in between.
    if (FOwnerWasEnabled && IsWindow(FOwner))
      EnableWindow(FOwner, TRUE);
  }
  void Restore() const {
    if (FPreviousActive && IsWindow(FPreviousActive))
      SetActiveWindow(FPreviousActive);
  }

private:
  HWND FOwner;
  HWND FPreviousActive;
  bool FOwnerWasEnabled;
};

} // namespace

int TServerDialog::ShowModal() {
  if (FModal)
    throw std::logic_error("The dialog is shown modally already");
  HWND window = Handle();
  FModalResult = mrNone;
  FModal = true;
  {
    TModalScope scope(GetWindow(window, GW_OWNER));
    try {
      Show();
      SetActiveWindow(window);
      SelectNextTabStop(window, true);
      MSG message;
      while (FModalResult == mrNone) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
          // The program is ending: the outer loop must see the quit too.
          PostQuitMessage(int(message.wParam));
          FModalResult = mrCancel;
          break;
        }
        if (got < 0) {
          FModalResult = mrCancel;
          break;
        }
        if (!IsFormDialogMessage(message)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
        if (!HandleAllocated() && FModalResult == mrNone)
          FModalResult = mrCancel; // the window went away under the loop
      }
    } catch (...) {
      FModal = false;
      Hide();
      throw;
    }
    Hide();
    scope.Restore();
  }
  FModal = false;
  return FModalResult;
}

LRESULT TServerDialog::WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) {
  switch (AMessage) {
  case WM_NCCREATE:
    // A sizeable dialog keeps the system's frame handling and system menu.
    if (FSizeableDialog)
      return DefaultHandler(AMessage, AWParam, ALParam);
    break;
  case WM_CLOSE:
    if (CloseQuery()) {
      // A result given just before (an edit control clicks the default
      // button and then closes its dialog) is kept.
      if (FModal && FModalResult == mrNone)
        FModalResult = mrCancel;
      else
        Hide();
    }
    return 0;
  case DM_GETDEFID:
    // Controls that press the default button themselves ask for it.
    if (HWND button = FindButton(WindowHandle(), &IsDefaultButton))
      return MAKELRESULT(GetDlgCtrlID(button), DC_HASDEFID);
    return 0;
  case WM_COMMAND: {
    const WORD id = LOWORD(AWParam);
    if (FModal && ALParam && HIWORD(AWParam) == BN_CLICKED && id >= mrOk && id <= mrNo) {
      FModalResult = id;
      return 0;
    }
    break;
  }
  default:
    break;
  }
  return TFormWithHelp::WndProc(AMessage, AWParam, ALParam);
}

LRESULT TServerDialog::DialogKey(WORD AKey) {
  HWND window = WindowHandle();
  if (!window)
    return 0;
  HWND button = nullptr;
  if (AKey == VK_ESCAPE) {
    button = FindButton(window, [](HWND AButton) {
      return IsPushButton(AButton) && GetDlgCtrlID(AButton) == IDCANCEL;
    });
  } else if (AKey == VK_RETURN) {
    // The focused push button, else the default one, else the OK button.
    const HWND focus = GetFocus();
    if (focus && IsChild(window, focus) && IsPushButton(focus))
      button = focus;
    if (!button)
      button = FindButton(window, &IsDefaultButton);
    if (!button)
      button = FindButton(window, [](HWND AButton) {
        return IsPushButton(AButton) && GetDlgCtrlID(AButton) == IDOK;
      });
  } else {
    return TFormWithHelp::DialogKey(AKey);
  }
  if (!button)
    return 0;
  // Told as the button's own click, without the mouse emulation of a
  // click message that needs the dialog to be the active window.
  SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return 1;
}
