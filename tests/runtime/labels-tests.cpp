#include "labels.h"

#include "application.h"
#include "resource-ledger.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kBlack = 0x000000;

class LabelTest : public ::testing::Test {
protected:
  void SetUp() override {
    Owner = std::make_unique<TComponent>(nullptr);
    Parent = new TWinControl(Owner.get());
    Parent->SetBounds(40, 40, 300, 120);
    Parent->SetColor(kRed);
    Label = new TLabel(Owner.get());
    Label->SetLeft(100);
    Label->SetParent(Parent);
  }
  void TearDown() override { Owner.reset(); }

  // How many pixels inside the label's bounds have AColor.
  int CountInLabel(TBitmap& ABitmap, TColor AColor) {
    int count = 0;
    const RECT r = Label->BoundsRect();
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        count += harness::PixelAt(ABitmap, x, y) == AColor;
    return count;
  }

  std::unique_ptr<TComponent> Owner;
  TWinControl* Parent = nullptr;
  TLabel* Label = nullptr;
};

TEST_F(LabelTest, AutoSizeFollowsTheCaptionKeepingTheEdgeOppositeTheAlignment) {
  Label->SetCaption(L"Short");
  const int shortWidth = Label->Width();
  EXPECT_GT(shortWidth, 0);
  EXPECT_GT(Label->Height(), 0);
  Label->SetCaption(L"A much longer caption");
  EXPECT_GT(Label->Width(), shortWidth);
  EXPECT_EQ(Label->Left(), 100);
  Label->SetAlignment(taRightJustify);
  const int right = Label->Left() + Label->Width();
  Label->SetCaption(L"Short");
  EXPECT_EQ(Label->Left() + Label->Width(), right) << "a right-aligned label grows leftwards";
  Label->SetAutoSize(false);
  Label->SetCaption(L"A much longer caption again");
  EXPECT_EQ(Label->Width(), shortWidth) << "without AutoSize the bounds stay";
}

TEST_F(LabelTest, PaintsItsTextOverItsColourOrOverTheParentWhenTransparent) {
  Label->SetParentColor(false);
  Label->SetColor(kBlue);
  Label->Font().SetColor(kBlack);
  Label->SetCaption(L"Text");
  auto opaque = harness::RenderControl(*Parent);
  EXPECT_GT(CountInLabel(*opaque, kBlack), 0) << "the text";
  EXPECT_GT(CountInLabel(*opaque, kBlue), 0) << "the label's own background";
  EXPECT_EQ(CountInLabel(*opaque, kRed), 0);
  Label->SetTransparent(true);
  auto transparent = harness::RenderControl(*Parent);
  harness::SaveScreenshot(L"label-transparent", *transparent);
  EXPECT_GT(CountInLabel(*transparent, kBlack), 0);
  EXPECT_EQ(CountInLabel(*transparent, kBlue), 0);
  EXPECT_GT(CountInLabel(*transparent, kRed), 0) << "the parent shows through";
}

TEST_F(LabelTest, AcceleratorFocusesTheFocusControl) {
  auto* field = new TWinControl(Owner.get());
  field->SetTabStop(true);
  field->SetBounds(10, 60, 80, 24);
  field->SetParent(Parent);
  auto* other = new TWinControl(Owner.get());
  other->SetTabStop(true);
  other->SetBounds(10, 90, 80, 24);
  other->SetParent(Parent);
  Label->SetCaption(L"&Name");
  Label->SetFocusControl(field);
  Parent->Show();
  SetForegroundWindow(Parent->Handle());
  other->SetFocus();
  SendMessageW(other->Handle(), WM_SYSCHAR, L'n', 0);
  EXPECT_TRUE(field->Focused());
  other->SetFocus();
  Label->SetShowAccelChar(false);
  SendMessageW(other->Handle(), WM_SYSCHAR, L'n', 0);
  EXPECT_TRUE(other->Focused()) << "without accelerators the label takes no key";
  TComponent::Free(field);
  EXPECT_EQ(Label->FocusControl(), nullptr);
}

TEST(Accelerators, SingleAmpersandMarksTheKeyAndDoubleOneIsLiteral) {
  struct TCase {
    wchar_t Char;
    const wchar_t* Text;
    bool Accel;
  };
  const TCase cases[] = {
      {L'n', L"&Name", true},         {L'N', L"&name", true},         {L'a', L"&Name", false},
      {L'x', L"Save && E&xit", true}, {L'e', L"Save && Exit", false}, {L'n', L"Name&", false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(IsAccel(c.Char, c.Text), c.Accel) << c.Text;
}

} // namespace
