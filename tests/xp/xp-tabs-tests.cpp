#include "fixed-theme.h"
#include "xp-page-control.h"
#include "xp-tab-control.h"
#include "xp-tab-painter.h"
#include "xp-up-down.h"

#include "application.h"
#include "classes.h"
#include "forms.h"
#include "image-lists.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "seams.h"
#include "smooth-text.h"
#include "support/test-harness.h"
#include "timers.h"
#include "xp-graphics.h"
#include "xp-speed-button.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr TColor kParentColor = 0x00A000;

// Windows, GDI objects, contexts, timers and hooks, by kind.
std::vector<size_t> Held() {
  std::vector<size_t> held;
  for (TResourceKind kind :
       {TResourceKind::Window, TResourceKind::GdiObject, TResourceKind::DeviceContext,
        TResourceKind::Timer, TResourceKind::Hook})
    held.push_back(TResourceLedger::Count(kind));
  return held;
}

// A page control that counts its relayouts.
class TCountingPages : public TWinXPPageControl {
public:
  using TWinXPPageControl::TWinXPPageControl;
  void TabsChanged() override {
    if (HandleAllocated() && LockCount() == 0)
      ++Relayouts;
    TWinXPPageControl::TabsChanged();
  }
  int Relayouts = 0;
};

// A focusable plain child.
class TField : public TXPCustomControl {
public:
  explicit TField(TComponent* AOwner) : TXPCustomControl(AOwner) { SetTabStop(true); }
};

class TabsTest : public ::testing::Test {
protected:
  void SetUp() override {
    FStart = Held();
    ThemeScope = std::make_unique<TSeamScope<TThemeSeam>>(Theme);
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TForm(Owner.get());
    Form->SetBounds(40, 40, 480, 320);
    Form->SetColor(kParentColor);
    Form->Show();
  }
  void TearDown() override {
    Sheets.clear();
    Owner.reset();
    FreeTabPainter();
    TSpeedResourceManager::FreeImages();
    TSmoothTextRenderer::Shutdown();
    XPGraphicsShutdown();
    FinalizeGraphics();
    ReleaseApplication();
    ThemeScope.reset();
    EXPECT_EQ(TTimer::RunningCount(), 0u);
    const std::vector<size_t> held = Held();
    const char* kinds[] = {"windows", "GDI objects", "contexts", "timers", "hooks"};
    for (size_t i = 0; i < held.size(); ++i)
      EXPECT_EQ(held[i], FStart[i]) << kinds[i];
  }

  template <typename TPages = TWinXPPageControl>
  TPages* NewPages(int ACount, int AWidth = 300, int AHeight = 200) {
    auto* pages = new TPages(Owner.get());
    pages->SetBounds(10, 10, AWidth, AHeight);
    pages->SetParent(Form);
    for (int i = 0; i < ACount; ++i) {
      auto* sheet = new TWinXPTabSheet(Owner.get());
      sheet->SetCaption(L"P" + std::to_wstring(i + 1));
      sheet->SetPageControl(pages);
      Sheets.push_back(sheet);
    }
    return pages;
  }
  // Pages whose tabs have no caption and an image of AImageWidth, so each
  // tab is AImageWidth + 14 wide whatever the font.
  TWinXPPageControl* NewImagePages(int ACount, int AImageWidth, int AWidth) {
    Images = new TImageList(Owner.get(), AImageWidth, 4);
    TBitmap picture(AImageWidth, 4, TPixelFormat::pf24bit);
    Images->Add(picture, nullptr);
    TWinXPPageControl* pages = NewPages(ACount, AWidth);
    pages->SetImages(Images);
    for (TWinXPTabSheet* sheet : Sheets) {
      sheet->SetCaption(L"");
      sheet->SetImageIndex(0);
    }
    return pages;
  }

  static void ClickAt(TWinControl* AControl, POINT AAt) {
    SendMessageW(AControl->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(AAt.x, AAt.y));
    SendMessageW(AControl->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(AAt.x, AAt.y));
    SendMessageW(AControl->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(AAt.x, AAt.y));
  }
  static POINT CentreOf(const RECT& ARect) {
    return {(ARect.left + ARect.right) / 2, (ARect.top + ARect.bottom) / 2};
  }
  static bool PumpUntil(const std::function<bool()>& ADone) {
    for (int round = 0; round < 200 && !ADone(); ++round)
      if (!Application()->ProcessMessage())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    return ADone();
  }
  static void PressKeys(std::initializer_list<WORD> AKeys) {
    std::vector<INPUT> input;
    for (WORD key : AKeys) {
      INPUT down{};
      down.type = INPUT_KEYBOARD;
      down.ki.wVk = key;
      input.push_back(down);
    }
    for (auto it = AKeys.end(); it != AKeys.begin();) {
      INPUT up{};
      up.type = INPUT_KEYBOARD;
      up.ki.wVk = *--it;
      up.ki.dwFlags = KEYEVENTF_KEYUP;
      input.push_back(up);
    }
    ASSERT_EQ(SendInput(UINT(input.size()), input.data(), sizeof(INPUT)), UINT(input.size()));
  }

  TFixedTheme Theme{0};
  std::unique_ptr<TSeamScope<TThemeSeam>> ThemeScope;
  std::unique_ptr<TComponent> Owner;
  TForm* Form = nullptr;
  TImageList* Images = nullptr;
  std::vector<TWinXPTabSheet*> Sheets;

private:
  std::vector<size_t> FStart;
};

// A pixel of an alpha image (rows bottom-up) as 0x00BBGGRR.
TColor ImagePixel(TAlphaImage& AImage, int AX, int AY) {
  GdiFlush();
  const auto* row = reinterpret_cast<const uint32_t*>(AImage.Bits()) +
                    size_t(AImage.Height() - 1 - AY) * AImage.Width();
  const uint32_t bgra = row[AX];
  return TColor(((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF));
}

// An alpha image's pixel blended over ABackground, as AlphaBlend does with
// premultiplied colour.
bool BlendsTo(TColor AActual, TAlphaImage& AImage, int AX, int AY, TColor ABackground) {
  GdiFlush();
  const auto* row = reinterpret_cast<const uint32_t*>(AImage.Bits()) +
                    size_t(AImage.Height() - 1 - AY) * AImage.Width();
  const uint32_t bgra = row[AX];
  const int alpha = int(bgra >> 24);
  const int source[3] = {int((bgra >> 16) & 0xFF), int((bgra >> 8) & 0xFF), int(bgra & 0xFF)};
  for (int channel = 0; channel < 3; ++channel) {
    const int back = (ABackground >> (8 * channel)) & 0xFF;
    const int expected = source[channel] + back * (255 - alpha) / 255;
    const int actual = (AActual >> (8 * channel)) & 0xFF;
    if (actual - expected > 2 || expected - actual > 2)
      return false;
  }
  return true;
}

// ===========================================================================
// Up-down

class UpDownTest : public TabsTest {
protected:
  TXPUpDown* NewUpDown(TUpDownKind AKind) {
    auto* arrows = new TXPUpDown(Owner.get());
    arrows->SetKind(AKind);
    arrows->SetLeft(20);
    arrows->SetTop(20);
    arrows->SetParent(Form);
    arrows->OnUpClick = [this](TControl*) { Log += L"U"; };
    arrows->OnDownClick = [this](TControl*) { Log += L"D"; };
    return arrows;
  }
  // One tick of the repeat timer, as its window gets it.
  static void Tick(TXPUpDown* AArrows) {
    ASSERT_NE(AArrows->RepeatTimer(), nullptr);
    ASSERT_TRUE(AArrows->RepeatTimer()->Running());
    SendMessageW(TTimer::Window(), WM_TIMER, AArrows->RepeatTimer()->TimerId(), 0);
  }
  std::wstring Log;
};

TEST_F(UpDownTest, AClickFiresOneEventOfTheButtonUnderIt) {
  struct TCase {
    TUpDownKind Kind;
    POINT At;
    const wchar_t* Expected;
  };
  const TCase cases[] = {
      {udkHorizontal, {4, 8}, L"U"}, // the left button is the "up" one
      {udkHorizontal, {28, 8}, L"D"},
      {udkVertical, {8, 4}, L"U"},
      {udkVertical, {8, 28}, L"D"},
  };
  for (const TCase& c : cases) {
    TXPUpDown* arrows = NewUpDown(c.Kind);
    EXPECT_EQ(arrows->Width(), c.Kind == udkHorizontal ? 32 : 16);
    Log.clear();
    ClickAt(arrows, c.At);
    EXPECT_EQ(Log, c.Expected) << "kind " << c.Kind << " at " << c.At.x << ", " << c.At.y;
    TComponent::Free(arrows);
  }
}

TEST_F(UpDownTest, HoldingRepeatsOnTheTimerAndPausesOffTheHeldButton) {
  TXPUpDown* arrows = NewUpDown(udkHorizontal);
  HWND window = arrows->Handle();
  SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(28, 8));
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(28, 8));
  EXPECT_TRUE(arrows->DownPressed());
  ASSERT_NE(arrows->RepeatTimer(), nullptr);
  EXPECT_EQ(arrows->RepeatTimer()->Interval(), kUpDownRepeatDelay);
  EXPECT_EQ(Log, L"");
  Tick(arrows);
  EXPECT_EQ(Log, L"D");
  EXPECT_EQ(arrows->RepeatTimer()->Interval(), kUpDownRepeatInterval);
  Tick(arrows);
  Tick(arrows);
  EXPECT_EQ(Log, L"DDD");

  // Off the held button the repeat pauses; back on it, it goes on.
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(4, 8));
  EXPECT_FALSE(arrows->RepeatTimer()->Running());
  EXPECT_FALSE(arrows->DownPressed());
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(28, 8));
  Tick(arrows);
  EXPECT_EQ(Log, L"DDDD");

  // Released on the button: the final click.
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(28, 8));
  EXPECT_EQ(Log, L"DDDDD");
  EXPECT_FALSE(arrows->RepeatTimer()->Running());
}

TEST_F(UpDownTest, ReleasingOutsideFiresNothing) {
  TXPUpDown* arrows = NewUpDown(udkHorizontal);
  HWND window = arrows->Handle();
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 8));
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 8));
  EXPECT_FALSE(arrows->RepeatTimer()->Running());
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(60, 8));
  EXPECT_EQ(Log, L"");
}

TEST_F(UpDownTest, ADisabledButtonFiresNothingAndDrawsDisabledWhileTheOtherWorks) {
  Theme.Set(TThemeState::Emulated);
  TXPUpDown* arrows = NewUpDown(udkHorizontal);
  auto before = harness::RenderControl(*arrows);
  arrows->SetDownEnabled(false);
  ClickAt(arrows, {28, 8});
  ClickAt(arrows, {4, 8});
  EXPECT_EQ(Log, L"U");
  SendMessageW(arrows->Handle(), WM_MOUSELEAVE, 0, 0);
  ASSERT_FALSE(arrows->UpHot());
  auto after = harness::RenderControl(*arrows);
  bool downChanged = false, upChanged = false;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x)
      if (harness::PixelAt(*before, x, y) != harness::PixelAt(*after, x, y))
        (x < 16 ? upChanged : downChanged) = true;
  EXPECT_TRUE(downChanged);
  EXPECT_FALSE(upChanged);
}

TEST_F(UpDownTest, EachLookDrawsItsOwnButtonFaces) {
  TXPUpDown* arrows = NewUpDown(udkHorizontal);
  // Flat: the hot button's face and frame are the look's own colours.
  arrows->SetFlat(true);
  SendMessageW(arrows->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(4, 8));
  ASSERT_TRUE(arrows->UpHot());
  auto flat = harness::RenderControl(*arrows);
  EXPECT_EQ(harness::PixelAt(*flat, 0, 0), TColor(0x6A240A));
  EXPECT_EQ(harness::PixelAt(*flat, 1, 1), TColor(0xD2BDB6));
  EXPECT_EQ(harness::PixelAt(*flat, 17, 1), ColorToRGB(clBtnFace));
  arrows->SetFlat(false);

  // Classic: a push frame with the button face inside.
  auto classic = harness::RenderControl(*arrows);
  EXPECT_EQ(harness::PixelAt(*classic, 3, 2), ColorToRGB(clBtnFace));

  // Emulated: the sprites' hot row on the left, the normal row on the
  // right; the two halves differ where the classic ones do not.
  Theme.Set(TThemeState::Emulated);
  auto emulated = harness::RenderControl(*arrows);
  TAlphaImage& left = TSpeedResourceManager::XPSpinBtnLeft();
  EXPECT_TRUE(BlendsTo(harness::PixelAt(*emulated, 2, 2), left, 2, 16 + 2, kParentColor))
      << "hot row";
  TAlphaImage& right = TSpeedResourceManager::XPSpinBtnRight();
  EXPECT_TRUE(BlendsTo(harness::PixelAt(*emulated, 16 + 2, 2), right, 2, 2, kParentColor))
      << "normal row";
}

// ===========================================================================
// Tab painter

TEST_F(TabsTest, ClassicTabRoundsItsTwoOuterCornersPixelByPixel) {
  for (bool top : {true, false}) {
    TBitmap plain(40, 20, TPixelFormat::pf32bit), tab(40, 20, TPixelFormat::pf32bit);
    const RECT r{0, 0, 40, 20};
    RECT edge = r;
    DrawEdge(plain.Canvas().Handle(), &edge, EDGE_RAISED,
             BF_LEFT | BF_RIGHT | BF_MIDDLE | BF_SOFT | (top ? BF_TOP : BF_BOTTOM));
    GetTabPainter().DrawClassicTab(tab.Canvas().Handle(), r, r, top);
    const int outer = top ? 0 : 19, inner = top ? 1 : 18;
    const struct {
      int X, Y;
      TColor Color;
    } corners[] = {
        {0, outer, clBtnFace},      {0, inner, clBtnFace},     {1, outer, clBtnFace},
        {39, outer, clBtnFace},     {39, inner, clBtnFace},    {38, outer, clBtnFace},
        {1, inner, clBtnHighlight}, {38, inner, cl3DDkShadow},
    };
    for (const auto& c : corners)
      EXPECT_EQ(harness::PixelAt(tab, c.X, c.Y), ColorToRGB(c.Color))
          << (top ? "top" : "bottom") << " tab at " << c.X << ", " << c.Y;
    // Everything else is the edge as drawn.
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x) {
        if ((y == outer || y == inner) && (x < 2 || x > 37))
          continue;
        ASSERT_EQ(harness::PixelAt(tab, x, y), harness::PixelAt(plain, x, y)) << x << ", " << y;
      }
  }
}

TEST_F(TabsTest, EmulatedStatesTakeTheirFrameOfTheTabImage) {
  Theme.Set(TThemeState::Emulated);
  TThemePageControlData& painter = GetTabPainter();
  EXPECT_EQ(painter.NCCalcSizeDelta(), 4);
  EXPECT_EQ(painter.NCCalcSizeTopDelta(), 2);
  for (auto state : {TThemePageControlData::xtsNormal, TThemePageControlData::xtsHot,
                     TThemePageControlData::xtsSelected}) {
    TBitmap tab(18, 18, TPixelFormat::pf32bit);
    const RECT r{0, 0, 18, 18};
    painter.DrawTab(tab.Canvas().Handle(), r, state, r);
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 18; ++x)
        ASSERT_EQ(harness::PixelAt(tab, x, y), ImagePixel(painter.TabImage(), x, 18 * state + y))
            << "state " << state << " at " << x << ", " << y;
  }
  Theme.Set(TThemeState::Classic);
  EXPECT_EQ(painter.NCCalcSizeDelta(), 3);
  EXPECT_EQ(painter.NCCalcSizeTopDelta(), 3);
}

TEST_F(TabsTest, ThePainterIsMadeOnFirstUseAndFreedByItsUnitStep) {
  XPPageControlStartup();
  EXPECT_FALSE(TabPainterExists());
  TWinXPPageControl* pages = NewPages(2);
  harness::RenderControl(*pages);
  EXPECT_TRUE(TabPainterExists());
  TComponent::Free(pages);
  const size_t held = TResourceLedger::Count(TResourceKind::GdiObject);
  kXPPageControlUnitStep.Shutdown();
  EXPECT_FALSE(TabPainterExists());
  EXPECT_LT(TResourceLedger::Count(TResourceKind::GdiObject), held) << "its images went";
}

// ===========================================================================
// Tab control: layout

TEST_F(TabsTest, WithoutTabsTheStripIsTwoPixelsAndThePaneFillsTheRest) {
  TWinXPPageControl* pages = NewPages(0);
  EXPECT_EQ(pages->TabArea().bottom - pages->TabArea().top, 2);
  EXPECT_EQ(pages->DisplayRect().top, 0); // 2 - the classic overlap of 2
  EXPECT_EQ(pages->DisplayRect().bottom, 200);
}

TEST_F(TabsTest, ThePaneReachesIntoTheStripByTheLooksOverlap) {
  TWinXPPageControl* pages = NewPages(2);
  EXPECT_EQ(pages->DisplayRect().top, pages->TabArea().bottom - 2);
  Theme.Set(TThemeState::Emulated);
  pages->RedrawControl();
  EXPECT_EQ(pages->DisplayRect().top, pages->TabArea().bottom - 1);
  // Bottom tabs: the pane ends inside the strip by the bottom overlap.
  pages->SetTabPosition(tpBottom);
  EXPECT_EQ(pages->TabArea().bottom, 200);
  EXPECT_EQ(pages->DisplayRect().bottom, pages->TabArea().top + 3);
  // The sheets sit 4 pixels inside the pane.
  const RECT pane = pages->DisplayRect();
  pages->Realign();
  EXPECT_EQ(Sheets[0]->Top(), pane.top + 4);
  EXPECT_EQ(Sheets[0]->Left(), pane.left + 4);
}

TEST_F(TabsTest, TabWidthIsCaptionAndImagePlusTwelveAndAtLeast42) {
  struct TCase {
    int ImageWidth;
    int ImageIndex;
    int Expected;
  };
  const TCase cases[] = {
      {18, 0, 42}, // 18 + 2 = 20
      {38, 0, 52}, // 38 + 2 = 40
      {38, 3, 42}, // no such image: no room for it
      {38, -1, 42},
  };
  for (const TCase& c : cases) {
    TWinXPPageControl* pages = NewImagePages(2, c.ImageWidth, 300);
    Sheets[1]->SetImageIndex(c.ImageIndex);
    pages->SetActivePageIndex(0);
    const RECT r = pages->TabRect(1);
    EXPECT_EQ(r.right - r.left, c.Expected) << c.ImageWidth << " / " << c.ImageIndex;
    TComponent::Free(pages);
    Sheets.clear();
  }
}

TEST_F(TabsTest, ScrollArrowsShowOnlyWhenTheTabsDoNotFit) {
  // Three tabs of 100: 300 > 250 - 6, but not > 310 - 6.
  TWinXPPageControl* pages = NewImagePages(3, 86, 250);
  ASSERT_EQ(pages->TabRect(1).right - pages->TabRect(1).left, 100);
  TXPUpDown* arrows = pages->ScrollButtons();
  EXPECT_TRUE(arrows->Visible());
  const int a = pages->TabArea().bottom - pages->TabArea().top - 4;
  EXPECT_EQ(arrows->Left(), 250 - 2 * a);
  EXPECT_EQ(arrows->Width(), 2 * a);

  // The right arrow scrolls the strip by one tab, the left one back.
  ClickAt(arrows, {arrows->Width() - 2, a / 2});
  EXPECT_EQ(pages->StartTab(), 1);
  const RECT scrolledOut = pages->TabRect(0);
  EXPECT_TRUE(IsRectEmpty(&scrolledOut));
  ClickAt(arrows, {1, a / 2});
  EXPECT_EQ(pages->StartTab(), 0);

  ClickAt(arrows, {arrows->Width() - 2, a / 2});
  pages->SetWidth(310);
  EXPECT_FALSE(arrows->Visible());
  EXPECT_EQ(pages->StartTab(), 0);
}

// ===========================================================================
// Tab control: selection

TEST_F(TabsTest, TabIndexCountsShownTabsOnly) {
  TWinXPPageControl* pages = NewPages(4);
  Sheets[1]->SetTabVisible(false);
  pages->SetTabIndex(1);
  EXPECT_EQ(pages->CurrentTabIndex(), 2);
  EXPECT_EQ(pages->ActivePage(), Sheets[2]);
  EXPECT_EQ(pages->TabIndex(), 1);
  EXPECT_EQ(Sheets[2]->TabIndex(), 1);
  EXPECT_EQ(Sheets[1]->TabIndex(), -1);
  EXPECT_EQ(pages->Tabs().Count(), 4) << "hidden tabs count too";
}

TEST_F(TabsTest, TabIndexSetWhileLoadingIsAppliedSilentlyAtLoaded) {
  auto* pages = new TWinXPPageControl(Owner.get());
  int changing = 0, changes = 0;
  pages->OnChanging = [&](TControl*, bool&) { ++changing; };
  pages->OnChange = [&](TControl*) { ++changes; };
  {
    TComponentLoading loading(pages);
    for (int i = 0; i < 3; ++i)
      pages->Tabs().Add(L"T" + std::to_wstring(i));
    pages->SetTabIndex(2);
    pages->SetTabIndex(0);
    loading.End();
  }
  EXPECT_EQ(pages->CurrentTabIndex(), 2);
  EXPECT_EQ(changing, 0);
  EXPECT_EQ(changes, 0);
  pages->SetBounds(10, 10, 300, 200);
  pages->SetParent(Form);
  EXPECT_EQ(pages->ActivePageIndex(), 2);
  pages->SetTabIndex(1);
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changes, 1);
}

TEST_F(TabsTest, AClickSelectsTheTabUnderItUnlessOnChangingVetoes) {
  TWinXPPageControl* pages = NewPages(3);
  int changing = 0, changes = 0;
  bool allow = true;
  pages->OnChanging = [&](TControl*, bool& AAllow) {
    ++changing;
    AAllow = allow;
  };
  pages->OnChange = [&](TControl*) { ++changes; };
  ClickAt(pages, CentreOf(pages->TabRect(2)));
  EXPECT_EQ(pages->ActivePage(), Sheets[2]);
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(Sheets[2]->Visible());
  EXPECT_FALSE(Sheets[0]->Visible());

  allow = false;
  ClickAt(pages, CentreOf(pages->TabRect(0)));
  EXPECT_EQ(pages->ActivePage(), Sheets[2]);
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changes, 1);
}

TEST_F(TabsTest, AClickAtTheLeftEdgeSelectsTheTabScrolledOutThere) {
  TWinXPPageControl* pages = NewImagePages(5, 86, 250);
  pages->SetActivePageIndex(4);
  pages->ScrollTabs(-10);
  ASSERT_EQ(pages->StartTab(), 0);
  pages->ScrollTabs(2);
  ASSERT_EQ(pages->StartTab(), 2);
  const RECT strip = pages->TabArea();
  ClickAt(pages, {0, (strip.top + strip.bottom) / 2});
  EXPECT_EQ(pages->CurrentTabIndex(), 1);
}

TEST_F(TabsTest, ArrowKeysAndAcceleratorsSelectTabs) {
  TWinXPPageControl* pages = NewPages(3);
  Sheets[0]->SetCaption(L"&Alpha");
  Sheets[1]->SetCaption(L"&Beta");
  Sheets[2]->SetCaption(L"&Gamma");
  EXPECT_EQ(pages->Tabs().Strings(0), L"&Alpha");
  SendMessageW(pages->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(pages->ActivePage(), Sheets[1]);
  SendMessageW(pages->Handle(), WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(pages->ActivePage(), Sheets[0]);
  SendMessageW(pages->Handle(), WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(pages->ActivePage(), Sheets[0]) << "no wrap on the arrow keys";

  // Alt+G selects the sheet whose caption has it; a disabled sheet's does
  // nothing.
  SendMessageW(pages->Handle(), WM_SYSCHAR, L'g', 0);
  EXPECT_EQ(pages->ActivePage(), Sheets[2]);
  Sheets[1]->SetEnabled(false);
  SendMessageW(pages->Handle(), WM_SYSCHAR, L'b', 0);
  EXPECT_EQ(pages->ActivePage(), Sheets[2]);
}

TEST_F(TabsTest, CtrlTabFromThePageMovesToTheNextTabAndWrapsBackward) {
  TWinXPPageControl* pages = NewPages(3);
  auto* field = new TField(Owner.get());
  field->SetBounds(4, 4, 40, 20);
  field->SetParent(Sheets[0]);
  SetForegroundWindow(Form->Handle());
  field->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return field->Focused(); }));

  PressKeys({VK_CONTROL, VK_SHIFT, VK_TAB});
  EXPECT_TRUE(PumpUntil([&] { return pages->ActivePage() == Sheets[2]; }))
      << "Ctrl+Shift+Tab on the first tab wraps to the last shown one";
  PressKeys({VK_CONTROL, VK_TAB});
  EXPECT_TRUE(PumpUntil([&] { return pages->ActivePage() == Sheets[0]; }));
}

// ===========================================================================
// Page control

TEST_F(TabsTest, RemovingAPageLeavesThePageThatFollowedItActive) {
  struct TCase {
    const char* Name;
    int Active;
    std::vector<int> Removed;
    int Expected; // -1: none
  };
  const TCase cases[] = {
      {"active middle page", 1, {1}, 2},
      {"then the last, wrapping", 1, {1, 2}, 0},
      {"an inactive page", 2, {0}, 1},
      {"the only page", 0, {0, 1, 2}, -1},
  };
  for (const TCase& c : cases) {
    TWinXPPageControl* pages = NewPages(3);
    pages->SetActivePage(Sheets[size_t(c.Active)]);
    for (int index : c.Removed)
      pages->RemovePage(Sheets[size_t(index)]);
    TWinXPTabSheet* expected = c.Expected < 0 ? nullptr : Sheets[size_t(c.Expected)];
    EXPECT_EQ(pages->ActivePage(), expected) << c.Name;
    if (expected) {
      EXPECT_TRUE(expected->Visible()) << c.Name;
    }
    for (int index : c.Removed)
      EXPECT_EQ(Sheets[size_t(index)]->PageControl(), nullptr) << c.Name;
    // The removed sheets are still its children and go with it.
    TComponent::Free(pages);
    Sheets.clear();
  }
}

TEST_F(TabsTest, HidingTheActiveTabKeepsItsSheetUnlessNoShownTabPrecedesIt) {
  TWinXPPageControl* pages = NewPages(3);
  pages->SetActivePage(Sheets[1]);
  Sheets[1]->SetTabVisible(false);
  EXPECT_EQ(pages->ActivePage(), Sheets[1]);
  EXPECT_TRUE(Sheets[1]->Visible());
  EXPECT_EQ(pages->CurrentTabIndex(), 1);

  pages->SetActivePage(Sheets[0]);
  Sheets[0]->SetTabVisible(false);
  EXPECT_EQ(pages->ActivePage(), Sheets[2]);
  EXPECT_TRUE(Sheets[2]->Visible());
  EXPECT_FALSE(Sheets[0]->Visible());
}

TEST_F(TabsTest, PageIndexMovesTheSheetAndSelectsIt) {
  TWinXPPageControl* pages = NewPages(3);
  Sheets[0]->SetPageIndex(7);
  EXPECT_EQ(Sheets[0]->PageIndex(), 2);
  EXPECT_EQ(pages->Pages(0), Sheets[1]);
  EXPECT_EQ(pages->ActivePage(), Sheets[0]);
  EXPECT_EQ(pages->Tabs().Strings(2), L"P1");
  EXPECT_THROW(Sheets[0]->SetPageIndex(-1), EListError);
}

TEST_F(TabsTest, TabsEditsMakeRenameAndFreeSheets) {
  TCountingPages* pages = NewPages<TCountingPages>(3);
  TStrings& tabs = pages->Tabs();
  tabs.Add(L"Last");
  ASSERT_EQ(pages->PageCount(), 4);
  EXPECT_EQ(pages->Pages(3)->Caption(), L"Last");
  EXPECT_EQ(pages->Pages(3)->Owner(), Owner.get());
  tabs.Insert(0, L"First");
  EXPECT_EQ(pages->Pages(0)->Caption(), L"First");
  tabs.Put(1, L"Renamed");
  EXPECT_EQ(Sheets[0]->Caption(), L"Renamed");
  int data = 0;
  tabs.PutObject(1, &data);
  EXPECT_EQ(Sheets[0]->Data(), &data);
  EXPECT_EQ(tabs.Objects(1), &data);

  // The tab texts follow the sheets' captions.
  const int before = pages->TabRect(1).right - pages->TabRect(1).left;
  Sheets[0]->SetCaption(L"A much longer caption than before");
  EXPECT_EQ(tabs.Strings(1), L"A much longer caption than before");
  EXPECT_GT(pages->TabRect(1).right - pages->TabRect(1).left, before);

  pages->Relayouts = 0;
  tabs.Clear();
  EXPECT_EQ(pages->PageCount(), 0);
  EXPECT_EQ(pages->Relayouts, 1);
  EXPECT_EQ(pages->ActivePage(), nullptr);
  Sheets.clear();
}

TEST_F(TabsTest, ContainersRefuseForeignChildrenWithTheirTexts) {
  TWinXPPageControl* pages = NewPages(1);
  auto* stranger = new TField(Owner.get());
  try {
    stranger->SetParent(pages);
    ADD_FAILURE() << "a plain control was accepted";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), L"TXPCustomControl can't be inserted into TWinXPPageControl.");
  }
  auto* sheet = new TWinXPTabSheet(Owner.get());
  try {
    sheet->SetParent(Form);
    ADD_FAILURE() << "a sheet went into a form";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), L"TWinXPTabSheet can be inserted only in TWinXPPageControl.");
  }
  EXPECT_EQ(sheet->Parent(), nullptr);
}

TEST_F(TabsTest, PassFocusOnChangeSendsTheFocusIntoTheSheet) {
  TWinXPPageControl* pages = NewPages(2);
  auto* field = new TField(Owner.get());
  field->SetBounds(4, 4, 40, 20);
  field->SetParent(Sheets[1]);
  SetForegroundWindow(Form->Handle());
  PumpUntil([&] { return GetForegroundWindow() == Form->Handle(); });
  ClickAt(pages, CentreOf(pages->TabRect(1)));
  EXPECT_TRUE(pages->Focused());
  ClickAt(pages, CentreOf(pages->TabRect(0)));
  pages->SetPassFocusOnChange(true);
  ClickAt(pages, CentreOf(pages->TabRect(1)));
  EXPECT_TRUE(field->Focused());
}

// ===========================================================================
// Painting

TEST_F(TabsTest, ClassicPaneAndTabsAreDrawnWithEdges) {
  TWinXPPageControl* pages = NewPages(2);
  auto image = harness::RenderControl(*pages);
  const RECT pane = pages->DisplayRect();
  EXPECT_EQ(harness::PixelAt(*image, 150, 120), ColorToRGB(clBtnFace)) << "pane body";
  EXPECT_EQ(harness::PixelAt(*image, pane.left + 10, pane.bottom - 1), ColorToRGB(cl3DDkShadow));
  // Above the tabs the parent shows.
  const RECT second = pages->TabRect(1);
  EXPECT_EQ(harness::PixelAt(*image, second.left + 5, 0), kParentColor);
  // The selected tab's rounded corner.
  const RECT first = pages->TabRect(0);
  EXPECT_EQ(harness::PixelAt(*image, first.left, first.top), ColorToRGB(clBtnFace));
  EXPECT_EQ(harness::PixelAt(*image, first.left + 1, first.top + 1), ColorToRGB(clBtnHighlight));
}

TEST_F(TabsTest, EmulatedTabsUseThePainterFramesAndBottomTabsAreMirrored) {
  Theme.Set(TThemeState::Emulated);
  TWinXPPageControl* pages = NewPages(1);
  pages->RedrawControl();
  TThemePageControlData& painter = GetTabPainter();
  TAlphaImage both(L"TABITEMTOPBOTH");
  auto image = harness::RenderControl(*pages);
  RECT tab = pages->TabRect(0);
  // The selected frame's unscaled corner, at the top left.
  for (POINT p : {POINT{2, 2}, POINT{3, 1}})
    EXPECT_EQ(harness::PixelAt(*image, tab.left + p.x, tab.top + p.y),
              ImagePixel(both, p.x, 36 + p.y));
  // The pane's left frame is the pane image's left column, stretched.
  EXPECT_EQ(harness::PixelAt(*image, pages->DisplayRect().left, 120),
            ImagePixel(painter.PaneImage(), 0, 24));

  pages->SetTabPosition(tpBottom);
  image = harness::RenderControl(*pages);
  tab = pages->TabRect(0);
  for (POINT p : {POINT{2, 2}, POINT{3, 1}})
    EXPECT_EQ(harness::PixelAt(*image, tab.left + p.x, tab.bottom - 1 - p.y),
              ImagePixel(both, p.x, 36 + p.y))
        << "mirrored row " << p.y;
}

TEST_F(TabsTest, ThemedLookLeavesTheTabPainterUnmade) {
  Theme.Set(TThemeState::Themed);
  TWinXPPageControl* pages = NewPages(2);
  pages->RedrawControl();
  harness::RenderControl(*pages);
  EXPECT_FALSE(TabPainterExists());
  RECT insets{};
  if (GetTabPaneInsets(pages->Handle(), insets)) {
    EXPECT_EQ(pages->DisplayRect().top, pages->TabArea().bottom - (insets.top - 1));
  }
}

} // namespace
