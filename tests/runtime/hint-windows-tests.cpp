#include "hint-windows.h"

#include "resource-ledger.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class HintWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    Owner = std::make_unique<TComponent>(nullptr);
    Hint = new THintWindow(Owner.get());
  }
  void TearDown() override { Owner.reset(); }

  std::unique_ptr<TComponent> Owner;
  THintWindow* Hint = nullptr;
};

TEST_F(HintWindowTest, ActivateHintShowsOnTopWithoutTakingActivationOrFocus) {
  auto* window = new TWinControl(Owner.get());
  window->SetBounds(20, 20, 200, 100);
  auto* field = new TWinControl(Owner.get());
  field->SetTabStop(true);
  field->SetBounds(10, 10, 80, 24);
  field->SetParent(window);
  window->Show();
  SetForegroundWindow(window->Handle());
  field->SetFocus();
  harness::PumpMessages();
  const size_t windowsBefore = TResourceLedger::Count(TResourceKind::Window);

  const RECT at{240, 200, 340, 224};
  Hint->ActivateHint(at, L"A hint");
  harness::PumpMessages();
  HWND hint = Hint->Handle();
  EXPECT_TRUE(IsWindowVisible(hint));
  RECT shown;
  GetWindowRect(hint, &shown);
  EXPECT_TRUE(EqualRect(&shown, &at));
  EXPECT_NE(GetWindowLongW(hint, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(GetForegroundWindow(), window->Handle());
  EXPECT_TRUE(field->Focused());

  Hint->ReleaseHandle();
  EXPECT_FALSE(Hint->HandleAllocated());
  EXPECT_FALSE(IsWindow(hint));
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Window), windowsBefore);
}

TEST_F(HintWindowTest, HintRectGrowsWithTheTextAndWrapsAtTheMaximumWidth) {
  const RECT shortRect = Hint->CalcHintRect(400, L"Tip");
  const RECT longRect = Hint->CalcHintRect(400, L"A much longer tip");
  EXPECT_EQ(shortRect.left, 0);
  EXPECT_EQ(shortRect.top, 0);
  EXPECT_GT(longRect.right, shortRect.right);
  EXPECT_EQ(longRect.bottom, shortRect.bottom);
  const RECT wrapped =
      Hint->CalcHintRect(60, L"words that cannot all fit on one line of sixty pixels");
  EXPECT_LE(wrapped.right, 60 + 6);
  EXPECT_GT(wrapped.bottom, 2 * shortRect.bottom - 6) << "several lines";
}

TEST_F(HintWindowTest, HintPaintsItsTextOnItsColour) {
  Hint->SetColor(0x00FFFF);
  Hint->Font().SetColor(0x000000);
  RECT at = Hint->CalcHintRect(300, L"Painted hint");
  OffsetRect(&at, 50, 50);
  Hint->ActivateHint(at, L"Painted hint");
  auto picture = harness::RenderControl(*Hint);
  int text = 0;
  int back = 0;
  for (int y = 0; y < picture->Height(); ++y)
    for (int x = 0; x < picture->Width(); ++x) {
      const TColor pixel = harness::PixelAt(*picture, x, y);
      text += pixel == 0x000000;
      back += pixel == 0x00FFFF;
    }
  EXPECT_GT(text, 0);
  EXPECT_GT(back, text);
}

} // namespace
