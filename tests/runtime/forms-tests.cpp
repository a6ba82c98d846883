#include "forms.h"

#include "application.h"
#include "resource-ledger.h"
#include "seams.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A focusable field that records what reaches it.
class TField : public TWinControl {
public:
  explicit TField(TComponent* AOwner) : TWinControl(AOwner) { SetTabStop(true); }
  TWinControl* LastFocusChanged = nullptr;
  bool WantsEnter = false;
  int EnterKeysSeen = 0;

  bool WantSpecialKey(WPARAM AKey) override { return WantsEnter && AKey == VK_RETURN; }
  void FocusChanged(TWinControl* AFocused) override { LastFocusChanged = AFocused; }

protected:
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == WM_KEYDOWN && AMessage.WParam == VK_RETURN)
      ++EnterKeysSeen;
    TWinControl::WndProc(AMessage);
  }
};

// A button that acts on the dialog key it is bound to.
class TKeyButton : public TWinControl {
public:
  TKeyButton(TComponent* AOwner, WPARAM AKey, TModalResult AResult)
      : TWinControl(AOwner), FKey(AKey), FResult(AResult) {}
  std::vector<WPARAM> KeysSeen;

protected:
  void WndProc(TMessage& AMessage) override {
    if (AMessage.Msg == CM_DIALOGKEY) {
      KeysSeen.push_back(AMessage.WParam);
      if (AMessage.WParam == FKey) {
        if (TCustomForm* form = GetParentForm(this))
          form->SetModalResult(FResult);
        AMessage.Result = 1;
        return;
      }
    }
    TWinControl::WndProc(AMessage);
  }

private:
  WPARAM FKey;
  TModalResult FResult;
};

// A modal loop that runs a script step by step instead of waiting for a
// person, bounded, and answers as the system loop does.
class TScriptedModalLoop : public TModalLoopSeam {
public:
  std::function<void(int AStep)> Script;
  HWND Window = nullptr;
  bool WindowVisibleInLoop = false;
  int Steps = 0;

  int Run(HWND AWindow, const std::function<int()>& AResult) override {
    Window = AWindow;
    WindowVisibleInLoop = IsWindowVisible(AWindow) != FALSE;
    for (Steps = 0; Steps < 10; ++Steps) {
      if (Script)
        Script(Steps);
      harness::PumpMessages();
      if (!IsWindow(AWindow))
        return 0;
      if (int result = AResult())
        return result;
    }
    return 0;
  }
};

bool IsLive(const TCustomForm* AForm) {
  const auto& forms = TCustomForm::Forms();
  return std::find(forms.begin(), forms.end(), AForm) != forms.end();
}

class FormTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // What lives as long as the process: the application's window and the
    // framework's window class.
    Application();
    TWinControl warmUp(nullptr);
    warmUp.HandleNeeded();
  }
  void SetUp() override { Baseline = TResourceLedger::Total(); }
  void TearDown() override {
    FinalizeForms();
    harness::PumpMessages();
    EXPECT_EQ(TResourceLedger::Total(), Baseline) << "every handle went back";
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), 0u);
  }

  // Borderless unless a test is about borders: without a window manager,
  // the display server keeps a captioned window for seconds after it hides.
  // Tests that need no activation show the form with SetVisible: a window
  // that was active also takes seconds to hide there.
  TForm* NewForm(TFormBorderStyle ABorder = bsNone) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(ABorder);
    form->SetBounds(80, 80, 300, 200);
    return form;
  }
  DWORD Style(TForm* AForm) { return DWORD(GetWindowLongW(AForm->Handle(), GWL_STYLE)); }
  DWORD ExStyle(TForm* AForm) { return DWORD(GetWindowLongW(AForm->Handle(), GWL_EXSTYLE)); }

  size_t Baseline = 0;
};

TEST_F(FormTest, FormStartsHiddenAndListedUntilFreed) {
  TForm* form = NewForm();
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(IsLive(form));
  TComponent::Free(form);
  EXPECT_FALSE(IsLive(form));
}

TEST_F(FormTest, CloseCarriesOutTheActionOnCloseChose) {
  struct TCase {
    TCloseAction Action;
    bool Visible;
    bool Minimized;
    bool Live;
  };
  const TCase cases[] = {
      {caNone, true, false, true},
      {caHide, false, false, true},
      {caMinimize, true, true, true},
      {caFree, true, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.Action));
    TForm* form = NewForm();
    form->OnClose = [&](TCustomForm*, TCloseAction& AAction) {
      EXPECT_EQ(AAction, caHide) << "hiding is what closing does unless told otherwise";
      AAction = c.Action;
    };
    form->SetVisible(true);
    HWND window = form->Handle();
    form->Close();
    if (c.Action == caFree) {
      EXPECT_TRUE(IsLive(form)) << "the form outlives the handler that closed it";
      harness::PumpMessages();
      EXPECT_FALSE(IsLive(form));
      EXPECT_FALSE(IsWindow(window));
      continue;
    }
    EXPECT_EQ(form->Visible(), c.Visible);
    EXPECT_EQ(IsIconic(window) != FALSE, c.Minimized);
    TComponent::Free(form);
  }
}

TEST_F(FormTest, RefusedCloseQueryKeepsTheFormAndSkipsOnClose) {
  TForm* form = NewForm();
  bool closeCalled = false;
  form->OnCloseQuery = [](TCustomForm*, bool& ACanClose) { ACanClose = false; };
  form->OnClose = [&](TCustomForm*, TCloseAction&) { closeCalled = true; };
  form->SetVisible(true);
  form->Close();
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(closeCalled);
  TComponent::Free(form);
}

TEST_F(FormTest, SystemCloseGoesThroughCloseAndKeepsTheWindow) {
  TForm* form = NewForm();
  form->SetVisible(true);
  SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(IsWindow(form->Handle())) << "the window is hidden, not destroyed";
  TComponent::Free(form);
}

TEST_F(FormTest, ShowModalAnswersTheResultSetInTheLoopAndHidesTheForm) {
  TScriptedModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  TForm* form = NewForm();
  bool modalInLoop = false;
  loop.Script = [&](int AStep) {
    modalInLoop = form->Modal();
    if (AStep == 1)
      form->SetModalResult(mrOk);
  };
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(loop.Window, form->Handle());
  EXPECT_TRUE(loop.WindowVisibleInLoop);
  EXPECT_TRUE(modalInLoop);
  EXPECT_EQ(loop.Steps, 1);
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(form->Modal());
  TComponent::Free(form);
}

TEST_F(FormTest, CloseOfAModalFormEndsTheLoopWithCancel) {
  TScriptedModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  TForm* form = NewForm();
  loop.Script = [&](int) { PostMessageW(form->Handle(), WM_CLOSE, 0, 0); };
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_FALSE(form->Visible());
  TComponent::Free(form);
}

TEST_F(FormTest, ModalFormThatRefusesToCloseStaysInTheLoop) {
  TScriptedModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  TForm* form = NewForm();
  int asked = 0;
  form->OnCloseQuery = [&](TCustomForm*, bool& ACanClose) { ACanClose = ++asked > 2; };
  loop.Script = [&](int) {
    if (form->ModalResult() == mrNone)
      form->SetModalResult(mrYes);
  };
  EXPECT_EQ(form->ShowModal(), mrYes);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(loop.Steps, 2);
  TComponent::Free(form);
}

TEST_F(FormTest, ModalLoopEndedWithoutResultAnswersCancel) {
  TScriptedModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  TForm* form = NewForm();
  EXPECT_EQ(form->ShowModal(), mrCancel);
  TComponent::Free(form);
}

TEST_F(FormTest, FreeActionOfAModalFormWaitsUntilShowModalReturned) {
  TScriptedModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  TForm* form = NewForm();
  form->OnClose = [](TCustomForm*, TCloseAction& AAction) { AAction = caFree; };
  loop.Script = [&](int) {
    form->SetModalResult(mrOk);
    // A release asked for inside the loop must not free the form under it.
    form->Release();
  };
  EXPECT_EQ(form->ShowModal(), mrOk);
  ASSERT_TRUE(IsLive(form));
  EXPECT_EQ(form->ModalResult(), mrOk);
  harness::PumpMessages();
  EXPECT_FALSE(IsLive(form));
}

TEST_F(FormTest, ShowModalRefusesAVisibleDisabledOrModalForm) {
  TScriptedModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  TForm* form = NewForm();
  form->Show();
  EXPECT_THROW(form->ShowModal(), EInvalidModalForm);
  form->Hide();
  form->SetEnabled(false);
  EXPECT_THROW(form->ShowModal(), EInvalidModalForm);
  form->SetEnabled(true);
  bool nestedRaised = false;
  loop.Script = [&](int) {
    try {
      form->Hide();
      form->ShowModal();
    } catch (const EInvalidModalForm&) {
      nestedRaised = true;
    }
    form->SetModalResult(mrOk);
  };
  form->ShowModal();
  EXPECT_TRUE(nestedRaised);
  TComponent::Free(form);
}

TEST_F(FormTest, WindowStylesFollowBorderFormStyleAndOwner) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  struct TCase {
    TFormBorderStyle Border;
    TFormStyle Style;
    DWORD StyleWanted;
    DWORD StyleRefused;
    DWORD ExWanted;
    DWORD ExRefused;
  };
  const TCase cases[] = {
      {bsNone, fsNormal, WS_POPUP, WS_CAPTION | WS_THICKFRAME, 0, WS_EX_TOPMOST},
      {bsSizeable, fsNormal, WS_CAPTION | WS_THICKFRAME, 0, 0, WS_EX_TOOLWINDOW},
      {bsDialog, fsNormal, WS_CAPTION, WS_THICKFRAME, WS_EX_DLGMODALFRAME, 0},
      {bsToolWindow, fsStayOnTop, WS_CAPTION, WS_THICKFRAME, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 0},
      {bsSizeToolWin, fsNormal, WS_THICKFRAME, 0, WS_EX_TOOLWINDOW, WS_EX_TOPMOST},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.Border));
    TForm* form = NewForm(c.Border);
    form->SetFormStyle(c.Style);
    form->SetOwnerWindow(owner);
    form->SetVisible(true);
    EXPECT_EQ(Style(form) & c.StyleWanted, c.StyleWanted);
    EXPECT_EQ(Style(form) & c.StyleRefused, 0u);
    EXPECT_EQ(ExStyle(form) & c.ExWanted, c.ExWanted);
    EXPECT_EQ(ExStyle(form) & c.ExRefused, 0u);
    EXPECT_EQ(GetWindow(form->Handle(), GW_OWNER), owner);
    TComponent::Free(form);
  }
  TForm* form = NewForm(bsSizeable);
  form->SetVisible(true);
  form->SetFormStyle(fsStayOnTop);
  EXPECT_NE(ExStyle(form) & WS_EX_TOPMOST, 0u) << "a shown form goes on top at once";
  form->SetBorderStyle(bsNone);
  EXPECT_EQ(Style(form) & WS_CAPTION, 0u) << "a new border style makes the window again";
  EXPECT_TRUE(form->Visible());
  TComponent::Free(form);
  DestroyWindow(owner);
}

TEST_F(FormTest, FormPlacedIntoAForeignWindowIsItsBorderlessChild) {
  HWND host = CreateWindowExW(0, L"STATIC", L"panel", WS_POPUP | WS_VISIBLE, 10, 10, 400, 300,
                              nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  TForm* form = NewForm();
  form->SetBorderStyle(bsNone);
  form->SetParentWindow(host);
  form->SetBounds(0, 0, 400, 300);
  auto* field = new TField(form);
  field->SetBounds(10, 10, 80, 24);
  field->SetParent(form);
  form->SetVisible(true);
  EXPECT_EQ(GetParent(form->Handle()), host);
  EXPECT_NE(Style(form) & WS_CHILD, 0u);
  EXPECT_EQ(Style(form) & (WS_CAPTION | WS_THICKFRAME), 0u);
  EXPECT_TRUE(IsWindowVisible(field->Handle()));
  form->Close();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  TComponent::Free(form);
  DestroyWindow(host);
}

TEST_F(FormTest, FinalizeFormsFreesEveryLiveFormAndWhatWaitsForRelease) {
  TForm* first = NewForm();
  auto* owned = new TForm(first);
  TForm* released = NewForm();
  auto* field = new TField(first);
  field->SetParent(first);
  first->SetVisible(true);
  owned->SetVisible(true);
  released->Release();
  ASSERT_EQ(TCustomForm::Forms().size(), 3u);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), 1u) << "the dialog-key hook";
  FinalizeForms();
  EXPECT_TRUE(TCustomForm::Forms().empty());
  EXPECT_EQ(TResourceLedger::Total(), Baseline);
  harness::PumpMessages();
}

// --- focus and dialog keys, with a form in front --------------------------

class FormFocusTest : public FormTest {
protected:
  void SetUp() override {
    FormTest::SetUp();
    Form = NewForm();
    // Two fields on the form, then a panel with the third and the buttons.
    for (int i = 0; i < 3; ++i) {
      if (i == 2) {
        Panel = new TWinControl(Form);
        Panel->SetBounds(0, 100, 300, 100);
        Panel->SetParent(Form);
      }
      auto* field = new TField(Form);
      field->SetBounds(10, 10 + 30 * i, 100, 24);
      field->SetParent(i == 2 ? Panel : static_cast<TWinControl*>(Form));
      Fields.push_back(field);
    }
    OkButton = new TKeyButton(Form, VK_RETURN, mrOk);
    OkButton->SetBounds(150, 10, 60, 24);
    OkButton->SetParent(Panel);
    CancelButton = new TKeyButton(Form, VK_ESCAPE, mrCancel);
    CancelButton->SetBounds(220, 10, 60, 24);
    CancelButton->SetParent(Panel);
  }
  void ShowInFront() {
    Form->Show();
    SetForegroundWindow(Form->Handle());
    harness::PumpMessages();
  }
  TField* FocusedField() { return dynamic_cast<TField*>(TWinControl::FindControl(GetFocus())); }
  void PostKey(WPARAM AKey) {
    PostMessageW(GetFocus(), WM_KEYDOWN, AKey, 0);
    harness::PumpMessages();
  }

  TForm* Form = nullptr;
  TWinControl* Panel = nullptr;
  std::vector<TField*> Fields;
  TKeyButton* OkButton = nullptr;
  TKeyButton* CancelButton = nullptr;
};

TEST_F(FormFocusTest, ShowingTheFormFocusesTheFirstControlInTabOrder) {
  ShowInFront();
  EXPECT_EQ(FocusedField(), Fields[0]);
  EXPECT_EQ(Form->ActiveControl(), Fields[0]);
  TComponent::Free(Form);
}

TEST_F(FormFocusTest, ActiveControlSetBeforeShowingTakesTheFocus) {
  Form->SetActiveControl(Fields[2]);
  ShowInFront();
  EXPECT_EQ(FocusedField(), Fields[2]);
  Form->SetActiveControl(Fields[1]);
  EXPECT_EQ(FocusedField(), Fields[1]) << "an active form moves the focus at once";
  TComponent::Free(Form);
}

TEST_F(FormFocusTest, ActiveControlFollowsTheFocusAndEveryControlHearsOfIt) {
  ShowInFront();
  Fields[2]->SetFocus();
  EXPECT_EQ(Form->ActiveControl(), Fields[2]);
  for (TField* field : Fields)
    EXPECT_EQ(field->LastFocusChanged, Fields[2]);
  TField* freed = Fields[2];
  TComponent::Free(freed);
  EXPECT_NE(Form->ActiveControl(), freed) << "a freed control is forgotten";
  if (Form->ActiveControl()) {
    EXPECT_EQ(Form->ActiveControl(), TWinControl::FindControl(GetFocus()));
  }
  TComponent::Free(Form);
}

TEST_F(FormFocusTest, ActiveControlOutsideTheFormOrHiddenIsRefused) {
  TForm* other = NewForm();
  auto* stranger = new TField(other);
  stranger->SetParent(other);
  EXPECT_THROW(Form->SetActiveControl(stranger), EInvalidOperation);
  ShowInFront();
  Fields[1]->Hide();
  EXPECT_THROW(Form->SetActiveControl(Fields[1]), EInvalidOperation);
  TComponent::Free(other);
  TComponent::Free(Form);
}

TEST_F(FormFocusTest, EnterAndEscapeGoToEveryControlOfTheFormInsteadOfTheFocusedOne) {
  ShowInFront();
  Fields[1]->SetFocus();
  PostKey(VK_RETURN);
  EXPECT_EQ(Form->ModalResult(), mrOk);
  EXPECT_EQ(Fields[1]->EnterKeysSeen, 0) << "the key was the form's";
  ASSERT_EQ(CancelButton->KeysSeen.size(), 0u) << "the broadcast stops at the one that took it";
  PostKey(VK_ESCAPE);
  EXPECT_EQ(Form->ModalResult(), mrCancel);
  EXPECT_EQ(OkButton->KeysSeen.size(), 2u) << "a control nested in a panel hears both keys";
  TComponent::Free(Form);
}

TEST_F(FormFocusTest, ControlThatWantsEnterKeepsIt) {
  ShowInFront();
  Fields[0]->WantsEnter = true;
  Fields[0]->SetFocus();
  PostKey(VK_RETURN);
  EXPECT_EQ(Fields[0]->EnterKeysSeen, 1);
  EXPECT_TRUE(OkButton->KeysSeen.empty());
  EXPECT_EQ(Form->ModalResult(), mrNone);
  TComponent::Free(Form);
}

TEST_F(FormFocusTest, DialogKeyReachesTheFormInsideItsModalLoop) {
  TScriptedModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  loop.Script = [&](int AStep) {
    if (AStep == 0) {
      SetForegroundWindow(Form->Handle());
      harness::PumpMessages();
      PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    }
  };
  EXPECT_EQ(Form->ShowModal(), mrCancel);
  EXPECT_EQ(CancelButton->KeysSeen.size(), 1u);
  TComponent::Free(Form);
}

} // namespace
