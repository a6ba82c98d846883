#include "dialog-hook.h"

namespace {

thread_local TDialogHook* activeHook = nullptr;

std::wstring TextOf(HWND AWindow) {
  wchar_t buf[4096];
  const int n = GetWindowTextW(AWindow, buf, int(std::size(buf)));
  return std::wstring(buf, n > 0 ? size_t(n) : 0);
}

struct TButton {
  std::wstring Text;
  int Id;
};

BOOL CALLBACK CollectButton(HWND AChild, LPARAM AList) {
  wchar_t cls[32];
  GetClassNameW(AChild, cls, 32);
  if (lstrcmpiW(cls, L"Button") == 0)
    reinterpret_cast<std::vector<TButton>*>(AList)->push_back({TextOf(AChild), GetDlgCtrlID(AChild)});
  return TRUE;
}

} // namespace

TDialogHook::TDialogHook() {
  activeHook = this;
  FHook = SetWindowsHookExW(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
}

TDialogHook::~TDialogHook() {
  if (FHook) UnhookWindowsHookEx(FHook);
  if (activeHook == this) activeHook = nullptr;
}

LRESULT CALLBACK TDialogHook::HookProc(int ACode, WPARAM AWParam, LPARAM ALParam) {
  TDialogHook* self = activeHook;
  if (self && ACode == HCBT_ACTIVATE) {
    const HWND window = reinterpret_cast<HWND>(AWParam);
    wchar_t cls[16];
    if (GetClassNameW(window, cls, 16) && lstrcmpW(cls, L"#32770") == 0) self->Answer(window);
  }
  return CallNextHookEx(self ? self->FHook : nullptr, ACode, AWParam, ALParam);
}

void TDialogHook::Answer(HWND ABox) {
  // Activation repeats when focus returns to the box; answer it once.
  if (GetPropW(ABox, L"OrvandelAnswered")) return;
  SetPropW(ABox, L"OrvandelAnswered", reinterpret_cast<HANDLE>(1));

  TDialog d;
  d.Caption = TextOf(ABox);
  if (const HWND text = GetDlgItem(ABox, 0xFFFF)) d.Text = TextOf(text);
  d.Owner = GetWindow(ABox, GW_OWNER);
  std::vector<TButton> buttons;
  EnumChildWindows(ABox, CollectButton, reinterpret_cast<LPARAM>(&buttons));
  for (const TButton& b : buttons) d.Buttons.push_back(b.Text);

  d.Scripted = !FScript.empty();
  d.Answer = IDCANCEL;
  if (d.Scripted) {
    d.Answer = FScript.front();
    FScript.pop_front();
  }
  // A box without the wanted button is closed with the button it has.
  bool present = false;
  for (const TButton& b : buttons) present = present || b.Id == d.Answer;
  if (!present && !buttons.empty() && !(d.Answer == IDCANCEL && buttons.size() > 1))
    d.Answer = buttons.front().Id;
  FDialogs.push_back(d);
  if (!d.Scripted && OnUnscripted) OnUnscripted(d);
  PostMessageW(ABox, WM_COMMAND, MAKEWPARAM(d.Answer, BN_CLICKED), 0);
}
