#include "dialogs.h"

#include <windows.h>

namespace {

HWND applicationWindow = nullptr;

// Centres the message box on the screen when it is first activated.
thread_local HHOOK centreHook = nullptr;

LRESULT CALLBACK CentreOnScreen(int ACode, WPARAM AWParam, LPARAM ALParam) {
  if (ACode == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(AWParam);
    RECT r;
    if (GetWindowRect(box, &r)) {
      const int w = r.right - r.left, h = r.bottom - r.top;
      const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
      const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
      SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const HHOOK hook = centreHook;
    UnhookWindowsHookEx(hook);
    centreHook = nullptr;
    return CallNextHookEx(hook, ACode, AWParam, ALParam);
  }
  return CallNextHookEx(centreHook, ACode, AWParam, ALParam);
}

UINT IconOf(TDialogKind AKind) {
  switch (AKind) {
  case TDialogKind::Warning: return MB_ICONWARNING;
  case TDialogKind::Information: return MB_ICONINFORMATION;
  case TDialogKind::Error: return MB_ICONERROR;
  case TDialogKind::Confirmation: return MB_ICONQUESTION;
  }
  return 0;
}

} // namespace

void SetApplicationWindow(HWND AWindow) {
  applicationWindow = AWindow;
}

HWND ApplicationWindow() {
  return applicationWindow && IsWindow(applicationWindow) ? applicationWindow : nullptr;
}

int ShowMessageDialog(const std::wstring& ACaption, const std::wstring& AMessage, TDialogKind AKind,
                      TDialogButtons AButtons) {
  const UINT style = IconOf(AKind) | (AButtons == TDialogButtons::OkCancel ? MB_OKCANCEL : MB_OK) |
                     MB_SETFOREGROUND;
  // MessageBoxW answers 0 only when it could not make the box at all (the
  // desktop's process was not there yet or went away while starting); a
  // message the user never saw is tried again rather than silently lost.
  int result = 0;
  for (int attempt = 0; attempt < 3 && result == 0; ++attempt) {
    if (attempt > 0)
      Sleep(200);
    centreHook = SetWindowsHookExW(WH_CBT, CentreOnScreen, nullptr, GetCurrentThreadId());
    // A box without an owner would stand apart from the host, behind its
    // windows and with its own taskbar entry.
    HWND owner = GetActiveWindow();
    if (!owner)
      owner = ApplicationWindow();
    result = MessageBoxW(owner, AMessage.c_str(), ACaption.c_str(), style);
    if (centreHook) {
      UnhookWindowsHookEx(centreHook);
      centreHook = nullptr;
    }
  }
  return result;
}

int ShowWarning(const std::wstring& AMessage, const std::wstring& ACaption) {
  return ShowMessageDialog(ACaption.empty() ? L"Warning" : ACaption, AMessage, TDialogKind::Warning,
                           TDialogButtons::Ok);
}

int ShowInformation(const std::wstring& AMessage, const std::wstring& ACaption) {
  return ShowMessageDialog(ACaption.empty() ? L"Information" : ACaption, AMessage,
                           TDialogKind::Information, TDialogButtons::Ok);
}

int ShowError(const std::wstring& AMessage, const std::wstring& ACaption) {
  return ShowMessageDialog(ACaption.empty() ? L"Error" : ACaption, AMessage, TDialogKind::Error,
                           TDialogButtons::Ok);
}

bool ConfirmOkCancel(const std::wstring& AMessage) {
  return ShowMessageDialog(L"Confirm", AMessage, TDialogKind::Confirmation,
                           TDialogButtons::OkCancel) == IDOK;
}
