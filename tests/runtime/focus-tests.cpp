#include "controls.h"

#include "application.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A focusable field that records the focus traffic it sees.
class TField : public TWinControl {
public:
  explicit TField(TComponent* AOwner, std::vector<std::wstring>* ALog)
      : TWinControl(AOwner), FLog(ALog) {
    SetTabStop(true);
  }
  bool WantsTab = false;
  TWinControl* LastFocusChanged = nullptr;
  bool TakesChar = false;
  int DialogChars = 0;

  void DoEnter() override {
    FLog->push_back(L"enter " + Name());
    TWinControl::DoEnter();
  }
  void DoExit() override {
    FLog->push_back(L"exit " + Name());
    TWinControl::DoExit();
  }
  bool WantSpecialKey(WPARAM AKey) override { return WantsTab && AKey == VK_TAB; }
  void FocusChanged(TWinControl* AFocused) override { LastFocusChanged = AFocused; }
  bool DialogChar(wchar_t) override {
    ++DialogChars;
    return TakesChar;
  }

private:
  std::vector<std::wstring>* FLog;
};

class FocusTest : public ::testing::Test {
protected:
  void SetUp() override {
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(60, 60, 300, 200);
    const wchar_t* names[] = {L"First", L"Second", L"Third", L"Fourth"};
    for (int i = 0; i < 4; ++i) {
      auto* field = new TField(Owner.get(), &Log);
      field->SetName(names[i]);
      field->SetBounds(10, 10 + 40 * i, 100, 30);
      field->SetParent(Form);
      Fields.push_back(field);
    }
    Form->Show();
    SetForegroundWindow(Form->Handle());
    harness::PumpMessages();
  }
  void TearDown() override { Owner.reset(); }

  void PressTab(bool AShift = false) {
    HWND focused = GetFocus();
    ASSERT_NE(focused, nullptr);
    if (AShift) {
      // The shift state comes from the thread's key state, as the keyboard left it.
      BYTE keys[256];
      GetKeyboardState(keys);
      keys[VK_SHIFT] = 0x80;
      SetKeyboardState(keys);
    }
    SendMessageW(focused, WM_KEYDOWN, VK_TAB, 0);
    if (AShift) {
      BYTE keys[256];
      GetKeyboardState(keys);
      keys[VK_SHIFT] = 0;
      SetKeyboardState(keys);
    }
  }
  TField* FocusedField() {
    auto* control = TWinControl::FindControl(GetFocus());
    return dynamic_cast<TField*>(control);
  }

  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  std::vector<TField*> Fields;
  std::vector<std::wstring> Log;
};

TEST_F(FocusTest, TabMovesThroughTheTabOrderPassingOverWhatCannotTakeFocus) {
  Fields[1]->SetEnabled(false);
  Fields[2]->SetTabStop(false);
  Fields[0]->SetFocus();
  ASSERT_TRUE(Fields[0]->Focused());
  PressTab();
  EXPECT_EQ(FocusedField(), Fields[3]);
  PressTab();
  EXPECT_EQ(FocusedField(), Fields[0]) << "the order wraps round";
  Fields[1]->SetEnabled(true);
  PressTab(true);
  EXPECT_EQ(FocusedField(), Fields[3]) << "shift goes backwards";
}

TEST_F(FocusTest, TabOrderDecidesTheSequenceNotTheCreationOrder) {
  Fields[3]->SetTabOrder(0);
  EXPECT_EQ(Fields[3]->TabOrder(), 0);
  EXPECT_EQ(Fields[0]->TabOrder(), 1);
  const auto list = Form->GetTabOrderList();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], Fields[3]);
  Fields[3]->SetFocus();
  PressTab();
  EXPECT_EQ(FocusedField(), Fields[0]);
}

TEST_F(FocusTest, ControlThatWantsTabKeepsTheFocus) {
  Fields[0]->WantsTab = true;
  Fields[0]->SetFocus();
  PressTab();
  EXPECT_EQ(FocusedField(), Fields[0]);
}

TEST_F(FocusTest, EnterAndExitComeInOrderAndEveryControlHearsOfTheFocus) {
  Fields[0]->SetFocus();
  Log.clear();
  Fields[2]->SetFocus();
  ASSERT_EQ(Log.size(), 2u);
  EXPECT_EQ(Log[0], L"exit First");
  EXPECT_EQ(Log[1], L"enter Third");
  for (TField* field : Fields)
    EXPECT_EQ(field->LastFocusChanged, Fields[2]);
}

TEST_F(FocusTest, FocusingAHiddenOrDisabledControlRaises) {
  Fields[1]->Hide();
  EXPECT_THROW(Fields[1]->SetFocus(), EInvalidOperation);
  Fields[1]->Show();
  Form->SetEnabled(false);
  EXPECT_THROW(Fields[1]->SetFocus(), EInvalidOperation) << "a disabled parent disables the child";
}

TEST_F(FocusTest, AcceleratorCharacterGoesToTheFirstControlThatTakesIt) {
  Fields[0]->SetFocus();
  Fields[2]->TakesChar = true;
  SendMessageW(Fields[0]->Handle(), WM_SYSCHAR, L'x', 0);
  EXPECT_EQ(Fields[1]->DialogChars, 1);
  EXPECT_EQ(Fields[2]->DialogChars, 1);
  EXPECT_EQ(Fields[3]->DialogChars, 0) << "asking stops at the control that took it";
}

// --- real input --------------------------------------------------------------------------

// Real keys and mouse moves go through the thread's input queue, where the
// application's OnMessage sees them before any window does.
class RealInput : public FocusTest {
protected:
  void TearDown() override {
    FocusTest::TearDown();
    ReleaseApplication();
  }
  // Pumps through the application until ADone holds, at most a bounded number
  // of rounds; each round waits for input at most 50 ms.
  static bool PumpUntil(const std::function<bool()>& ADone) {
    for (int round = 0; round < 200 && !ADone(); ++round)
      if (!Application()->ProcessMessage())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    return ADone();
  }
  static void MoveMouseTo(POINT AScreen) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = LONG((AScreen.x * 65535 + width / 2) / (width - 1));
    input.mi.dy = LONG((AScreen.y * 65535 + height / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
  }
};

TEST_F(RealInput, TabKeyFromTheKeyboardIsSeenByTheApplicationAndMovesTheFocus) {
  std::vector<UINT> seen;
  Application()->OnMessage = [&](MSG& AMsg, bool&) {
    if (AMsg.message == WM_KEYDOWN && AMsg.wParam == VK_TAB)
      seen.push_back(AMsg.message);
  };
  Fields[0]->SetFocus();
  ASSERT_TRUE(Fields[0]->Focused());
  INPUT keys[2]{};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_TAB;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
  EXPECT_TRUE(PumpUntil([&] { return FocusedField() == Fields[1]; }))
      << "the key never reached the focused control";
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(RealInput, MouseEnterAndLeaveComeFromRealMouseMoves) {
  int enters = 0, leaves = 0, moves = 0;
  Fields[1]->OnMouseEnter = [&](TControl*) { ++enters; };
  Fields[1]->OnMouseLeave = [&](TControl*) { ++leaves; };
  Application()->OnMessage = [&](MSG& AMsg, bool&) {
    if (AMsg.message == WM_MOUSEMOVE && AMsg.hwnd == Fields[1]->Handle())
      ++moves;
  };
  MoveMouseTo(Form->ClientToScreen({250, 190}));
  ASSERT_TRUE(PumpUntil([&] { return MouseControl() == Form; }));
  ASSERT_EQ(enters, 0);

  MoveMouseTo(Fields[1]->ClientToScreen({20, 10}));
  EXPECT_TRUE(PumpUntil([&] { return enters == 1; })) << "no enter";
  EXPECT_EQ(MouseControl(), Fields[1]);
  EXPECT_GE(moves, 1) << "the application saw the move first";
  MoveMouseTo(Form->ClientToScreen({250, 190}));
  EXPECT_TRUE(PumpUntil([&] { return leaves == 1; })) << "no leave";
  EXPECT_EQ(enters, 1);
}

} // namespace
