#pragma once

#include "gx-container.h"
#include "gx-text-edit.h"
#include "gx-utils.h"

#include "application.h"
#include "ledger-balance.h"
#include "menus.h"
#include "resource-ledger.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A form on the screen with the least container, and the text editors
// placed on one of its cells as a tree list places them.
namespace text_editors {

class TCountingBeep : public TgxBeepSeam {
public:
  void Beep(UINT) override { ++Count; }
  int Count = 0;
};

// The exceptions window procedures hand on, kept for the test to read.
inline std::vector<std::wstring>& WindowErrors() {
  static std::vector<std::wstring> errors;
  return errors;
}
inline void KeepWindowError(const std::exception& AError) {
  if (auto* error = dynamic_cast<const Exception*>(&AError))
    WindowErrors().push_back(error->Message());
  else
    WindowErrors().push_back(L"?");
}

class TTestContainer : public TCustomControl, public IgxEditContainer {
public:
  explicit TTestContainer(TComponent* AOwner) : TCustomControl(AOwner) { SetTabStop(true); }
  TWinControl* ContainerControl() override { return this; }
  bool CanEditModify() override { return Editable; }
  bool CanEditAcceptKey(wchar_t) override { return true; }
  void ContainerKeyDown(WORD& AKey, TShiftState) override { KeysDown.push_back(AKey); }

  bool Editable = true;
  std::vector<WORD> KeysDown;

protected:
  void Paint() override {
    RECT r = ClientRect();
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(r);
  }
};

// Chooses the item with the caption from the shown menu, noting which
// items it offered enabled.
class TChoosingPopup : public TPopupMenuSeam {
public:
  explicit TChoosingPopup(std::wstring ACaption = L"") : FCaption(std::move(ACaption)) {}
  UINT Track(HMENU AMenu, UINT, int AX, int AY, HWND) override {
    ++Shown;
    ShownAt = POINT{AX, AY};
    Enabled.clear();
    UINT chosen = 0;
    for (int i = 0; i < GetMenuItemCount(AMenu); ++i) {
      wchar_t caption[64] = {};
      GetMenuStringW(AMenu, UINT(i), caption, 64, MF_BYPOSITION);
      if (caption[0] && !(GetMenuState(AMenu, UINT(i), MF_BYPOSITION) & MF_GRAYED))
        Enabled.push_back(caption);
      if (!FCaption.empty() && FCaption == caption)
        chosen = GetMenuItemID(AMenu, i);
    }
    return chosen;
  }
  int Shown = 0;
  POINT ShownAt{-1, -1};
  std::vector<std::wstring> Enabled;

private:
  std::wstring FCaption;
};

class TextEditors : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    FRegistrations = TResourceLedger::Registrations();
    GxUtilsStartup();
    GxContainerStartup();
    GxEditorStartup();
    WindowErrors().clear();
    FPreviousHandler = SetWindowExceptionHandler(&KeepWindowError);
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(80, 80, 360, 220);
    Container = new TTestContainer(Owner.get());
    Container->SetBounds(10, 10, 320, 180);
    Container->SetColor(clWhite);
    Container->SetParent(Form);
  }
  void TearDown() override {
    Owner.reset();
    ReleaseApplication();
    SetWindowExceptionHandler(FPreviousHandler);
    TLedgerBalancedTest::TearDown();
  }
  void ReleaseShared() override {
    GxEditorShutdown();
    GxContainerShutdown();
    GxUtilsShutdown();
    FinalizeControls();
    EXPECT_EQ(TResourceLedger::Registrations(), FRegistrations);
  }

  // An editor of the kind on the cell, focused and empty, as a container
  // prepares it; AConfigure sets it up before its value is loaded.
  template <typename T>
  T* NewEditor(const std::function<void(T&)>& AConfigure = nullptr, const RECT& ACell = kCell) {
    auto* editor = new T(Container);
    editor->SetParent(Container);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    if (AConfigure)
      AConfigure(*editor);
    editor->SetModified(false);
    editor->SetActive(true);
    editor->Move(ACell);
    editor->SetFocus();
    Pump([&] { return editor->Focused(); });
    return editor;
  }

  // Pumps until ADone holds, a bounded number of rounds of at most 50 ms.
  static bool Pump(const std::function<bool()>& ADone) {
    for (int round = 0; round < 100 && !ADone(); ++round) {
      harness::PumpMessages();
      if (!ADone())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    harness::PumpMessages();
    return ADone();
  }
  // Keys pressed and released one after the other, through the input queue.
  static void Keys(const std::vector<WORD>& AKeys) {
    std::vector<INPUT> inputs;
    for (WORD key : AKeys)
      for (DWORD flags : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
      }
    ASSERT_EQ(SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  }
  // Characters typed as Unicode input (no key state involved).
  static void Type(const std::wstring& AText) {
    std::vector<INPUT> inputs;
    for (wchar_t c : AText)
      for (DWORD flags : {DWORD(KEYEVENTF_UNICODE), DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)}) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = c;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
      }
    ASSERT_EQ(SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
  }
  // Waits until the input sent so far has been handled: a marker posted
  // after it comes back.
  static void Settle() {
    for (int i = 0; i < 4; ++i) {
      harness::PumpMessages();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    harness::PumpMessages();
  }
  static void PutClipboardText(const std::wstring& AText) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (AText.size() + 1) * sizeof(wchar_t));
    auto* text = static_cast<wchar_t*>(GlobalLock(memory));
    std::copy(AText.begin(), AText.end(), text);
    text[AText.size()] = 0;
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
  }
  static std::wstring ClipboardText() {
    std::wstring result;
    if (!OpenClipboard(nullptr))
      return result;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
        result = text;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    return result;
  }

  static constexpr RECT kCell{20, 30, 200, 54};
  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  TTestContainer* Container = nullptr;
  TCountingBeep Beeps;
  TSeamScope<TgxBeepSeam> BeepScope{Beeps};

private:
  size_t FRegistrations = 0;
  TWindowExceptionHandler FPreviousHandler = nullptr;
};

inline std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

} // namespace text_editors
