// The plug-in's message dialogs answered through the test host's hook.

#include "dialog-hook.h"
#include "dialogs.h"

#include <gtest/gtest.h>

namespace {

class DialogHook : public ::testing::Test {
protected:
  TDialogHook Hook;
};

TEST_F(DialogHook, OneButtonDialogsCarryTheirDefaultCaptions) {
  struct TCase {
    int (*Show)(const std::wstring&, const std::wstring&);
    const wchar_t* Caption;
  };
  const TCase cases[] = {{ShowWarning, L"Warning"}, {ShowInformation, L"Information"}, {ShowError, L"Error"}};
  for (const TCase& c : cases) {
    Hook.Script(IDOK);
    EXPECT_EQ(c.Show(L"Target is not responding.", L""), IDOK);
    ASSERT_FALSE(Hook.Dialogs().empty());
    const auto& d = Hook.Dialogs().back();
    EXPECT_EQ(d.Caption, c.Caption);
    EXPECT_EQ(d.Text, L"Target is not responding.");
    ASSERT_EQ(d.Buttons.size(), 1u);
    EXPECT_TRUE(d.Scripted);
  }
  Hook.Script(IDOK);
  ShowWarning(L"x", L"Flash");
  EXPECT_EQ(Hook.Dialogs().back().Caption, L"Flash");
}

TEST_F(DialogHook, ConfirmationCountsOnlyOk) {
  Hook.Script(IDOK);
  EXPECT_TRUE(ConfirmOkCancel(L"Error: BUSY\n OK to continue?"));
  Hook.Script(IDCANCEL);
  EXPECT_FALSE(ConfirmOkCancel(L"Error: BUSY\n OK to continue?"));
  ASSERT_EQ(Hook.Dialogs().size(), 2u);
  EXPECT_EQ(Hook.Dialogs()[0].Caption, L"Confirm");
  EXPECT_EQ(Hook.Dialogs()[0].Buttons.size(), 2u);
}

TEST_F(DialogHook, UnscriptedDialogIsReportedAndAnsweredCancel) {
  int unscripted = 0;
  Hook.OnUnscripted = [&](const TDialogHook::TDialog&) { ++unscripted; };
  EXPECT_FALSE(ConfirmOkCancel(L"Nobody scripted this"));
  EXPECT_EQ(unscripted, 1);
  EXPECT_FALSE(Hook.Dialogs().back().Scripted);
}

} // namespace
