#include "application.h"

#include "resource-ledger.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The application is active while one of this process's windows is in the
// foreground, and not once none is.
TEST(ApplicationFocus, ActiveFollowsTheForegroundWindowOfThisProcess) {
  {
    auto window =
        std::make_unique<THiddenWindow>([](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
    SetWindowPos(window->Handle(), nullptr, 10, 10, 200, 100, SWP_NOZORDER | SWP_SHOWWINDOW);
    SetForegroundWindow(window->Handle());
    Application()->ProcessMessages();
    ASSERT_EQ(GetForegroundWindow(), window->Handle());
    EXPECT_TRUE(Application()->Active());

    window.reset();
    Application()->ProcessMessages();
    EXPECT_FALSE(Application()->Active());
    EXPECT_FALSE(Application()->Terminated());
  }
  ReleaseApplication();
  EXPECT_EQ(TResourceLedger::Total(), 0u);
}

} // namespace
