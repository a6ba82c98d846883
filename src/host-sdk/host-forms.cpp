#include "host-forms.h"

#include "contracts.h"
#include "host-utilities.h"

#include <shellapi.h>

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

void RegisterFormClass(const wchar_t* AName, WNDPROC AProcedure) {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), AName, &existing))
    return;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = AProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = AName;
  RegisterClassExW(&windowClass);
}

} // namespace

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
                      FWidth, FHeight, params.Parent, nullptr, GetModuleHandleW(nullptr), this);
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
  switch (AMessage) {
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

void TFormWithHelp::HandleHelpRequest(HWND AControl) {
  std::wstring reference;
  if (GetHelpReference(AControl, reference))
    ShellExecuteW(nullptr, L"open", reference.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
  // Shown where PositionDialog put it: no placement by the system.
  TFormWithHelp::Show();
  SetWindowPos(Handle(), nullptr, Left(), Top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
