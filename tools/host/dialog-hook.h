#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Answers the plug-in's modal message boxes without a person: a WH_CBT hook
// on the host thread reads each box as it is activated, records it and
// presses the scripted button. An unscripted box is reported and answered
// Cancel (or its only button), so nothing ever waits for a person.
class TDialogHook {
public:
  struct TDialog {
    std::wstring Caption;
    std::wstring Text;
    std::vector<std::wstring> Buttons;
    HWND Owner = nullptr;
    bool Scripted = false;
    int Answer = 0;
  };

  TDialogHook();
  ~TDialogHook();
  TDialogHook(const TDialogHook&) = delete;
  TDialogHook& operator=(const TDialogHook&) = delete;

  // The next boxes are answered with these results (IDOK, IDCANCEL ...), in order.
  void Script(int AAnswer) { FScript.push_back(AAnswer); }
  const std::vector<TDialog>& Dialogs() const { return FDialogs; }
  // Called for every box that found no scripted answer.
  std::function<void(const TDialog&)> OnUnscripted;

private:
  static LRESULT CALLBACK HookProc(int ACode, WPARAM AWParam, LPARAM ALParam);
  void Answer(HWND ABox);

  HHOOK FHook = nullptr;
  std::deque<int> FScript;
  std::vector<TDialog> FDialogs;
};
