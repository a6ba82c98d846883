#include "fixed-theme.h"
#include "xp-list-box.h"
#include "xp-list-items.h"
#include "xp-scroll-bar.h"

#include "application.h"
#include "forms.h"
#include "resource-ledger.h"
#include "seams.h"
#include "smooth-text.h"
#include "support/test-harness.h"
#include "timers.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr TColor kParentColor = 0x00A000;
// A point far from every window the tests make, where the real cursor
// waits so that mouse enter and leave see nothing under it.
constexpr POINT kCursorPark{1270, 1010};

std::vector<size_t> Held() {
  std::vector<size_t> held;
  for (TResourceKind kind : {TResourceKind::Window, TResourceKind::GdiObject,
                             TResourceKind::DeviceContext, TResourceKind::Timer})
    held.push_back(TResourceLedger::Count(kind));
  return held;
}

struct TScrollCall {
  TScrollCode Code;
  int Position;
  bool operator==(const TScrollCall& AOther) const {
    return Code == AOther.Code && Position == AOther.Position;
  }
};

std::ostream& operator<<(std::ostream& AStream, const TScrollCall& ACall) {
  return AStream << "{" << int(ACall.Code) << ", " << ACall.Position << "}";
}

class Lists : public ::testing::Test {
protected:
  void SetUp() override {
    FStart = Held();
    SetCursorPos(kCursorPark.x, kCursorPark.y);
    UseTheme(xtsEmulated);
    Owner = std::make_unique<TComponent>(nullptr);
    // A window of its own that is never shown: the tests send the input
    // messages themselves, and hiding a shown window costs seconds under Wine.
    Form = new TWinControl(Owner.get());
    Form->SetBounds(40, 40, 640, 420);
    Form->SetColor(kParentColor);
  }
  void TearDown() override {
    Owner.reset();
    FThemeScope.reset();
    UpdateXPLibraryColors();
    TXPScrollsResourceManager::FreeImages();
    TXPListsResourceManager::FreeImages();
    TSmoothTextRenderer::Shutdown();
    XPGraphicsShutdown();
    FinalizeGraphics();
    EXPECT_EQ(TTimer::RunningCount(), 0u);
    const std::vector<size_t> held = Held();
    const char* kinds[] = {"windows", "GDI objects", "contexts", "timers"};
    for (size_t i = 0; i < held.size(); ++i)
      EXPECT_EQ(held[i], FStart[i]) << kinds[i];
  }

  // The theme state every control sees, with the library colours of it.
  void UseTheme(int AState) {
    FThemeScope.reset();
    FTheme = std::make_unique<TFixedTheme>(AState);
    FThemeScope = std::make_unique<TSeamScope<TThemeSeam>>(*FTheme);
    UpdateXPLibraryColors();
  }

  TCustomXPScrollBar* NewBar(int AWidth, int AHeight, TScrollBarKind AKind = sbHorizontal) {
    auto* bar = new TCustomXPScrollBar(Owner.get());
    bar->SetKind(AKind);
    bar->SetBounds(10, 10, AWidth, AHeight);
    bar->SetParent(Form);
    bar->HandleNeeded();
    bar->OnScroll = [this](TControl*, TScrollCode ACode, int& APos) {
      Scrolls.push_back({ACode, APos});
    };
    return bar;
  }

  TXPListBox* NewList(int AWidth = 121, int AHeight = 97, int ARowHeight = 13) {
    auto* list = new TXPListBox(Owner.get());
    list->SetBounds(10, 10, AWidth, AHeight);
    if (ARowHeight > 0) {
      list->SetStyle(lbOwnerDrawFixed);
      list->SetItemHeight(ARowHeight);
    }
    list->SetParent(Form);
    list->HandleNeeded();
    list->OnClick = [this](TControl*) { ++Clicks; };
    return list;
  }
  static void AddItems(TCustomXPListBox* AList, int ACount) {
    for (int i = 0; i < ACount; ++i)
      AList->Items().Add(L"Item " + std::to_wstring(i));
  }

  static LPARAM At(int AX, int AY) { return MAKELPARAM(AX, AY); }
  static void Move(TWinControl* AControl, int AX, int AY, WPARAM AKeys = 0) {
    SendMessageW(AControl->Handle(), WM_MOUSEMOVE, AKeys, At(AX, AY));
  }
  static void Press(TWinControl* AControl, int AX, int AY, WPARAM AKeys = 0) {
    SendMessageW(AControl->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | AKeys, At(AX, AY));
  }
  static void Release(TWinControl* AControl, int AX, int AY) {
    SendMessageW(AControl->Handle(), WM_LBUTTONUP, 0, At(AX, AY));
  }
  static void ClickAt(TWinControl* AControl, int AX, int AY, WPARAM AKeys = 0) {
    Press(AControl, AX, AY, AKeys);
    Release(AControl, AX, AY);
  }
  static void Key(TWinControl* AControl, WPARAM AKey) {
    SendMessageW(AControl->Handle(), WM_KEYDOWN, AKey, 0);
    SendMessageW(AControl->Handle(), WM_KEYUP, AKey, 0);
  }
  static void Char(TWinControl* AControl, wchar_t AChar) {
    SendMessageW(AControl->Handle(), WM_CHAR, AChar, 0);
  }
  // One tick of a running timer, as its window gets it.
  static void Tick(TTimer& ATimer) {
    ASSERT_TRUE(ATimer.Running());
    SendMessageW(TTimer::Window(), WM_TIMER, ATimer.TimerId(), 0);
  }

  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  std::vector<TScrollCall> Scrolls;
  int Clicks = 0;

private:
  std::vector<size_t> FStart;
  std::unique_ptr<TFixedTheme> FTheme;
  std::unique_ptr<TSeamScope<TThemeSeam>> FThemeScope;
};

// The keyboard's shift keys as the thread sees them, for the time of a scope.
class TShiftKeys {
public:
  explicit TShiftKeys(std::initializer_list<int> AKeys) {
    GetKeyboardState(FSaved);
    BYTE state[256];
    GetKeyboardState(state);
    for (int key : AKeys)
      state[key] = 0x80;
    SetKeyboardState(state);
  }
  ~TShiftKeys() { SetKeyboardState(FSaved); }

private:
  BYTE FSaved[256];
};

bool SameColor(TColor A, TColor B) {
  return ColorToRGB(A) == ColorToRGB(B);
}

// ===========================================================================
// Scroll bar: range, layout, mouse and keys

TEST_F(Lists, ScrollPositionStaysWithinMinAndTheLastPage) {
  TCustomXPScrollBar* bar = NewBar(200, 17);
  bar->SetParams(0, 0, 99);
  bar->SetPageSize(10);
  EXPECT_EQ(bar->UsedMax(), 90);
  bar->SetPosition(95);
  EXPECT_EQ(bar->Position(), 90);
  bar->SetPosition(-4);
  EXPECT_EQ(bar->Position(), 0);

  int changes = 0;
  bar->OnChange = [&](TControl*) { ++changes; };
  bar->SetParams(30, 50, 40);
  EXPECT_EQ(changes, 0) << "a maximum below the minimum changes nothing";
  EXPECT_EQ(bar->Min(), 0);
  EXPECT_EQ(bar->Max(), 99);
  EXPECT_EQ(bar->Position(), 0);

  bar->SetPageSize(500);
  EXPECT_EQ(bar->PageSize(), 100) << "a page is at most the whole range";
  EXPECT_EQ(bar->UsedMax(), 0);
}

TEST_F(Lists, ArrowButtonsTakeTheThicknessOrHalfAShortBar) {
  struct TCase {
    int Theme;
    TScrollBarKind Kind;
    int Width, Height;
    int Button;
  };
  const TCase cases[] = {
      {xtsEmulated, sbHorizontal, 100, 17, 17},
      {xtsEmulated, sbHorizontal, 30, 17, 15},
      {xtsEmulated, sbVertical, 17, 100, 17},
      {xtsEmulated, sbVertical, 17, 30, 15},
      // The classic look's static edge takes a pixel on every side.
      {xtsClassic, sbHorizontal, 100, 17, 15},
  };
  for (const TCase& c : cases) {
    UseTheme(c.Theme);
    TCustomXPScrollBar* bar = NewBar(c.Width, c.Height, c.Kind);
    EXPECT_EQ(bar->ButtonSize(), c.Button) << c.Width << " x " << c.Height;
    const bool edge = (GetWindowLongW(bar->Handle(), GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0;
    EXPECT_EQ(edge, c.Theme == xtsClassic);
    TComponent::Free(bar);
  }
}

TEST_F(Lists, ABarOfAnotherControlHasNoEdgeInTheClassicLook) {
  UseTheme(xtsClassic);
  TCustomXPScrollBar* bar = NewBar(100, 17);
  bar->SetBelongsToControl(true);
  EXPECT_EQ(GetWindowLongW(bar->Handle(), GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
  EXPECT_EQ(bar->ButtonSize(), 17);
}

TEST_F(Lists, ThumbIsNeverShorterThanTheBarIsThick) {
  TCustomXPScrollBar* bar = NewBar(300, 17);
  bar->SetParams(0, 0, 1000);
  bar->SetPageSize(1);
  bar->Layout();
  EXPECT_EQ(bar->TrackThumbSize(), 17);
  bar->SetPageSize(501);
  bar->Layout();
  EXPECT_EQ(bar->TrackThumbSize(), MulDiv(501, 300 - 34, 1001));
}

TEST_F(Lists, KindAndAlignmentTurnTheBar) {
  TCustomXPScrollBar* bar = NewBar(100, 17);
  bar->SetKind(sbVertical);
  EXPECT_EQ(bar->Width(), 17);
  EXPECT_EQ(bar->Height(), 100);
  bar->SetAlign(alBottom);
  EXPECT_EQ(bar->Kind(), sbHorizontal);
  bar->SetAlign(alLeft);
  EXPECT_EQ(bar->Kind(), sbVertical);
}

TEST_F(Lists, HoldingTheEndButtonStepsAtOnceThenRepeatsWhileThePointerStaysOnIt) {
  TCustomXPScrollBar* bar = NewBar(200, 17);
  TTimer& timer = bar->RepeatTimer();
  Move(bar, 190, 8);
  Press(bar, 190, 8);
  EXPECT_EQ(bar->PressedElem(), pseEndButton);
  EXPECT_EQ(bar->Position(), 1) << "the first step comes with the press";
  EXPECT_TRUE(timer.Running());
  EXPECT_EQ(timer.Interval(), kXPScrollRepeatDelay);
  Tick(timer);
  EXPECT_EQ(bar->Position(), 2);
  EXPECT_EQ(timer.Interval(), kXPScrollRepeatInterval);
  Tick(timer);
  EXPECT_EQ(bar->Position(), 3);

  Move(bar, 100, 8, MK_LBUTTON);
  EXPECT_FALSE(timer.Running()) << "leaving the button pauses the repeat";
  EXPECT_EQ(bar->Position(), 3);
  Move(bar, 191, 9, MK_LBUTTON);
  EXPECT_EQ(bar->Position(), 4) << "coming back steps once more";
  EXPECT_TRUE(timer.Running());
  EXPECT_EQ(timer.Interval(), kXPScrollRepeatDelay);

  Release(bar, 191, 9);
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(bar->PressedElem(), pseNone);
  const std::vector<TScrollCall> expected{
      {scLineDown, 1}, {scLineDown, 2}, {scLineDown, 3}, {scLineDown, 4}, {scEndScroll, 4}};
  EXPECT_EQ(Scrolls, expected);
}

TEST_F(Lists, PressingTheShaftPagesByLargeChange) {
  TCustomXPScrollBar* bar = NewBar(200, 17);
  bar->SetParams(50, 0, 99);
  bar->SetPageSize(10);
  bar->SetLargeChange(7);
  const TXPScrollLayout layout = bar->Layout();
  Move(bar, layout.BeforeThumb.left + 2, 8);
  Press(bar, layout.BeforeThumb.left + 2, 8);
  EXPECT_EQ(bar->PressedElem(), pseBeforeThumb);
  EXPECT_EQ(bar->Position(), 43);
  Release(bar, layout.BeforeThumb.left + 2, 8);
  const TXPScrollLayout after = bar->Layout();
  Move(bar, after.AfterThumb.right - 2, 8);
  ClickAt(bar, after.AfterThumb.right - 2, 8);
  EXPECT_EQ(bar->Position(), 50);
}

TEST_F(Lists, DraggingTheThumbTracksToTheLastPageThenReportsTheEnd) {
  TCustomXPScrollBar* bar = NewBar(200, 17);
  bar->SetParams(0, 0, 99);
  bar->SetPageSize(10);
  const TXPScrollLayout layout = bar->Layout();
  ASSERT_EQ(layout.Thumb.left, 17);
  ASSERT_EQ(bar->TrackThumbSize(), 17);
  Move(bar, 25, 8);
  Press(bar, 25, 8);
  EXPECT_EQ(bar->PressedElem(), pseThumb);
  EXPECT_FALSE(bar->RepeatTimer().Running()) << "the thumb does not repeat";
  Move(bar, 60, 8, MK_LBUTTON);
  // The grab point stays under the pointer: 35 of the 149 pixels the thumb
  // can travel.
  EXPECT_EQ(bar->Position(), MulDiv(35, 90, 149));
  Move(bar, 300, 8, MK_LBUTTON);
  EXPECT_EQ(bar->Position(), 90);
  Move(bar, 400, 8, MK_LBUTTON);
  Release(bar, 400, 8);
  const std::vector<TScrollCall> expected{
      {scTrack, MulDiv(35, 90, 149)}, {scTrack, 90}, {scPosition, 90}, {scEndScroll, 90}};
  EXPECT_EQ(Scrolls, expected);
}

TEST_F(Lists, AScrollHandlerDecidesWhereAStepEnds) {
  TCustomXPScrollBar* bar = NewBar(200, 17);
  bar->OnScroll = [](TControl*, TScrollCode ACode, int& APos) {
    if (ACode == scLineDown)
      APos = 42;
  };
  Key(bar, VK_DOWN);
  EXPECT_EQ(bar->Position(), 42);
}

TEST_F(Lists, KeysScrollBySmallAndLargeChangeAndReportTheEnd) {
  struct TCase {
    WPARAM Key;
    int LargeChange;
    int Expected;
    TScrollCode Code;
  };
  const TCase cases[] = {
      {VK_PRIOR, 1, 49, scPageUp}, {VK_NEXT, 1, 51, scPageDown},  {VK_NEXT, 7, 57, scPageDown},
      {VK_END, 1, 90, scBottom},   {VK_HOME, 1, 0, scTop},        {VK_LEFT, 1, 49, scLineUp},
      {VK_UP, 1, 49, scLineUp},    {VK_RIGHT, 1, 51, scLineDown}, {VK_DOWN, 1, 51, scLineDown},
  };
  TCustomXPScrollBar* bar = NewBar(200, 17);
  EXPECT_NE(SendMessageW(bar->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, 0);
  for (const TCase& c : cases) {
    bar->SetParams(50, 0, 99);
    bar->SetPageSize(10);
    bar->SetLargeChange(c.LargeChange);
    Scrolls.clear();
    Key(bar, c.Key);
    EXPECT_EQ(bar->Position(), c.Expected) << "key " << c.Key;
    const std::vector<TScrollCall> expected{{c.Code, c.Expected}, {scEndScroll, c.Expected}};
    EXPECT_EQ(Scrolls, expected) << "key " << c.Key;
  }
  Scrolls.clear();
  Key(bar, VK_TAB + 0x40);
  EXPECT_TRUE(Scrolls.empty()) << "other keys are not the bar's";
}

// ===========================================================================
// Scroll bar: painting

TEST_F(Lists, ClassicShaftIsAPatternThatTurnsBlackWhileHeld) {
  UseTheme(xtsClassic);
  TCustomXPScrollBar* bar = NewBar(200, 17);
  bar->SetParams(50, 0, 99);
  bar->SetPageSize(10);
  TXPScrollLayout layout = bar->Layout();
  const int y = 8;
  {
    auto image = harness::RenderControl(*bar);
    const int x = layout.AfterThumb.left + 10;
    // The edge moves the client area by a pixel.
    EXPECT_NE(harness::PixelAt(*image, x + 1, y + 1), harness::PixelAt(*image, x + 2, y + 1));
    EXPECT_EQ(harness::PixelAt(*image, x + 1, y + 1), harness::PixelAt(*image, x + 2, y + 2));
  }
  Move(bar, layout.BeforeThumb.left + 2, y);
  Press(bar, layout.BeforeThumb.left + 2, y);
  layout = bar->Layout();
  auto image = harness::RenderControl(*bar);
  EXPECT_EQ(harness::PixelAt(*image, layout.BeforeThumb.left + 3, y + 1), clBlack);
  EXPECT_NE(harness::PixelAt(*image, layout.AfterThumb.left + 11, y + 1), clBlack);
  Release(bar, layout.BeforeThumb.left + 2, y);
}

TEST_F(Lists, EmulatedPartsShowTheirStates) {
  TCustomXPScrollBar* bar = NewBar(200, 17);
  bar->SetParams(50, 0, 99);
  bar->SetPageSize(10);
  const TXPScrollLayout layout = bar->Layout();
  auto normal = harness::RenderControl(*bar);
  Move(bar, 190, 8);
  ASSERT_EQ(bar->HotElem(), pseEndButton);
  auto hot = harness::RenderControl(*bar);
  bar->SetEnabled(false);
  auto disabled = harness::RenderControl(*bar);
  auto differs = [&](TBitmap& A, TBitmap& B, const RECT& AArea) {
    for (int y = AArea.top; y < AArea.bottom; ++y)
      for (int x = AArea.left; x < AArea.right; ++x)
        if (harness::PixelAt(A, x, y) != harness::PixelAt(B, x, y))
          return true;
    return false;
  };
  EXPECT_TRUE(differs(*normal, *hot, layout.EndButton));
  EXPECT_FALSE(differs(*normal, *hot, layout.StartButton));
  EXPECT_TRUE(differs(*normal, *disabled, layout.StartButton));
  EXPECT_TRUE(differs(*normal, *disabled, layout.Thumb));
}

TEST_F(Lists, FlatCustomLookUsesItsOwnColours) {
  const TColor frame = 0x0000C0, shaft = 0x00C000, button = 0xC00000, hotButton = 0x00C0C0;
  TCustomXPScrollBar* bar = NewBar(200, 17);
  bar->SetLookAndFeel(xlfCustom);
  bar->SetFrameColor(frame);
  bar->SetShaftColor(shaft);
  bar->SetButtonColor(button);
  bar->SetHotButtonColor(hotButton);
  bar->SetParams(50, 0, 99);
  bar->SetPageSize(10);
  const TXPScrollLayout layout = bar->Layout();
  const int shaftX = layout.AfterThumb.left + 10;
  const int thumbX = (layout.Thumb.left + layout.Thumb.right) / 2;
  {
    auto image = harness::RenderControl(*bar);
    EXPECT_EQ(harness::PixelAt(*image, shaftX, 0), frame);
    EXPECT_EQ(harness::PixelAt(*image, shaftX, 16), frame);
    EXPECT_EQ(harness::PixelAt(*image, shaftX, 8), shaft);
    EXPECT_EQ(harness::PixelAt(*image, thumbX, 8), button);
    EXPECT_EQ(harness::PixelAt(*image, 8, 8), button) << "arrow buttons are drawn as the thumb";
  }
  Move(bar, thumbX, 8);
  {
    auto image = harness::RenderControl(*bar);
    EXPECT_EQ(harness::PixelAt(*image, thumbX, 8), hotButton);
  }
  bar->SetEnabled(false);
  auto image = harness::RenderControl(*bar);
  EXPECT_TRUE(SameColor(harness::PixelAt(*image, shaftX, 8), clXPBtnHighlight));
  EXPECT_TRUE(SameColor(harness::PixelAt(*image, shaftX, 0), clXPBtnShadow));
}

// ===========================================================================
// List items

TEST_F(Lists, ObjectsAreTheCallersAndOutliveTheirStrings) {
  // No window needed: the store works on its own.
  auto* list = new TXPListBox(Owner.get());
  int first = 1, second = 2;
  list->Items().AddObject(L"x", &first);
  list->Items().AddObject(L"y", nullptr);
  EXPECT_EQ(list->Items().Objects(0), &first);
  EXPECT_EQ(list->Items().Objects(1), nullptr);
  list->Items().PutObject(1, &second);
  EXPECT_EQ(list->Items().Objects(1), &second);
  list->Items().Delete(0);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(list->Items().Objects(0), &second);
  EXPECT_EQ(list->Items().IndexOfObject(&second), 0);
  EXPECT_THROW(list->Items().Objects(5), EStringListError);
}

TEST_F(Lists, TheFirstItemBecomesCurrentWithoutAClick) {
  TXPListBox* list = NewList();
  list->Items().Add(L"one");
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(Clicks, 0);
  list->Items().Add(L"two");
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_TRUE(list->Selected(0));
}

TEST_F(Lists, InsertingBeforeTheCurrentItemKeepsItCurrent) {
  TXPListBox* list = NewList();
  list->Items().Add(L"a");
  list->Items().Add(L"c");
  list->SetItemIndex(1);
  list->Items().Insert(1, L"b");
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->CurrentText(), L"c");
}

TEST_F(Lists, SortingIsNaturalOnlyWithAlphaNumericSorting) {
  struct TCase {
    bool AlphaNumeric;
    std::vector<std::wstring> Order;
  };
  const TCase cases[] = {{true, {L"Item 9", L"Item 10", L"item 11"}},
                         {false, {L"Item 10", L"item 11", L"Item 9"}}};
  for (const TCase& c : cases) {
    auto* list = new TXPListBox(Owner.get());
    list->SetAlphaNumericSorting(c.AlphaNumeric);
    list->SetSorted(true);
    for (const wchar_t* text : {L"Item 10", L"item 11", L"Item 9"})
      list->Items().Add(text);
    std::vector<std::wstring> order;
    for (int i = 0; i < list->Count(); ++i)
      order.push_back(list->Items().Strings(i));
    EXPECT_EQ(order, c.Order) << "alphanumeric " << c.AlphaNumeric;
    // Switching the comparison sorts the list again.
    list->SetAlphaNumericSorting(!c.AlphaNumeric);
    EXPECT_EQ(list->Items().Strings(0), cases[c.AlphaNumeric ? 1 : 0].Order[0]);
  }
}

TEST_F(Lists, AMovedItemStartsOverUncheckedAndUnselected) {
  TXPListBox* list = NewList();
  list->SetMultiSelect(true);
  for (const wchar_t* text : {L"a", L"b", L"c"})
    list->Items().Add(text);
  list->SetItemChecked(0, true);
  list->SetSelected(0, true);
  list->Items().Move(0, 2);
  EXPECT_EQ(list->Items().Strings(2), L"a");
  EXPECT_FALSE(list->ItemChecked(2));
  EXPECT_FALSE(list->Selected(2));
}

TEST_F(Lists, AnUpdateBracketLeavesTheFirstItemCurrentAtItsEnd) {
  TXPListBox* list = NewList();
  int changes = 0;
  list->OnSelectionChanged = [&](TControl*) { ++changes; };
  list->Items().BeginUpdate();
  for (const wchar_t* text : {L"a", L"b", L"c"})
    list->Items().Add(text);
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(changes, 0);
  list->Items().EndUpdate();
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_GT(changes, 0);
  EXPECT_EQ(Clicks, 0);
}

TEST_F(Lists, ClearForgetsTheCurrentItemAndTheScrollPosition) {
  TXPListBox* list = NewList();
  AddItems(list, 20);
  list->SetItemIndex(15);
  ASSERT_GT(list->TopIndex(), 0);
  list->Clear();
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(list->TopIndex(), 0);
  EXPECT_FALSE(list->VertScrollBar().Visible());
  list->Items().Add(L"again");
  EXPECT_EQ(list->ItemIndex(), 0);
}

TEST_F(Lists, DeletingTheLastItemsPullsTheCurrentItemBack) {
  TXPListBox* list = NewList();
  AddItems(list, 5);
  list->SetItemIndex(4);
  list->Items().Delete(4);
  EXPECT_EQ(list->ItemIndex(), 3);
  EXPECT_EQ(Clicks, 1) << "only the explicit change clicked";
}

// ===========================================================================
// List box: layout and scrolling

TEST_F(Lists, RowsThatFitDecideTheVisibleCountAndTheLastTopIndex) {
  TXPListBox* list = NewList(121, 97, 13);
  EXPECT_EQ(list->UsedItemHeight(), 13);
  EXPECT_EQ(list->VisibleCount(), 7) << "93 client pixels hold 7 full rows";
  AddItems(list, 20);
  list->SetTopIndex(100);
  EXPECT_EQ(list->TopIndex(), 13);
  list->SetTopIndex(-3);
  EXPECT_EQ(list->TopIndex(), 0);
}

TEST_F(Lists, AutoScrollBarsAppearWhenTheItemsNoLongerFit) {
  TXPListBox* list = NewList(121, 97, 13);
  AddItems(list, 7);
  EXPECT_FALSE(list->VertScrollBar().Visible());
  EXPECT_FALSE(list->Corner().Visible());
  EXPECT_EQ(list->VisibleAreaSize().cx, 117);
  list->Items().Add(L"eighth");
  EXPECT_TRUE(list->VertScrollBar().Visible());
  EXPECT_TRUE(list->Corner().Visible());
  EXPECT_EQ(list->VisibleAreaSize().cx, 117 - list->VertScrollBar().Width());
  EXPECT_EQ(list->VertScrollBar().Max(), 7);
  EXPECT_EQ(list->VertScrollBar().UsedMax(), 1);

  list->VertScrollBar().SetPosition(1);
  EXPECT_EQ(list->TopIndex(), 1) << "the bar scrolls the list";
  list->SetTopIndex(0);
  EXPECT_EQ(list->VertScrollBar().Position(), 0) << "the list moves the bar";

  list->SetScrollBars(pssNone);
  EXPECT_FALSE(list->VertScrollBar().Visible());
  list->SetScrollBars(pssBoth);
  EXPECT_TRUE(list->VertScrollBar().Visible());
  EXPECT_TRUE(list->BottomPanel().Visible());
  EXPECT_EQ(list->VisibleCount(), (93 - list->BottomPanel().Height()) / 13);
}

TEST_F(Lists, AWideItemScrollsSideways) {
  TXPListBox* list = NewList(121, 97, 13);
  list->Items().Add(std::wstring(80, L'W'));
  EXPECT_TRUE(list->HorzScrollBar().Visible());
  EXPECT_TRUE(list->BottomPanel().Visible());
  const int room = list->ItemsAreaWidth() - list->VisibleAreaSize().cx;
  ASSERT_GT(room, 0);
  list->HorzScrollBar().SetPosition(1000000);
  EXPECT_EQ(list->HorzDelta(), std::min(room, list->HorzScrollBar().UsedMax()));
  EXPECT_EQ(list->ItemRect(0).left, -list->HorzDelta());
  list->Items().Clear();
  list->Items().Add(L"x");
  EXPECT_FALSE(list->HorzScrollBar().Visible());
  EXPECT_EQ(list->HorzDelta(), 0);
}

TEST_F(Lists, ColumnsRunDownThenAcrossAndScrollByColumns) {
  // A client area of 150 x 100 pixels: 10 rows of 10, three 50-pixel columns.
  TXPListBox* list = NewList(154, 104, 10);
  list->SetColumns(3);
  AddItems(list, 30);
  EXPECT_EQ(list->ColumnCount(), 10);
  EXPECT_EQ(list->VisibleCount(), 30);
  const RECT rect = list->ItemRect(25);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(rect.right, 150);
  EXPECT_EQ(rect.bottom, 60);
  EXPECT_EQ(list->ItemAtPos(POINT{120, 55}, true), 25);

  list->SetItemIndex(4);
  Key(list, VK_RIGHT);
  EXPECT_EQ(list->ItemIndex(), 14);
  Key(list, VK_LEFT);
  EXPECT_EQ(list->ItemIndex(), 4);

  AddItems(list, 70);
  EXPECT_FALSE(list->VertScrollBar().Visible()) << "columns never show the vertical bar";
  EXPECT_TRUE(list->HorzScrollBar().Visible());
  const int rows = list->ColumnCount();
  list->HorzScrollBar().SetPosition(2);
  EXPECT_EQ(list->TopIndex(), 2 * rows);
  list->SetTopIndex(2 * rows + 1);
  EXPECT_EQ(list->TopIndex() % rows, 0) << "the top is always a column's first item";
}

TEST_F(Lists, TheCurrentItemScrollsIntoViewAndIsClamped) {
  TXPListBox* list = NewList(121, 97, 13);
  AddItems(list, 20);
  struct TCase {
    int Set;
    int Index;
    int Top;
  };
  const TCase cases[] = {{15, 15, 9}, {12, 12, 9}, {3, 3, 3}, {-5, -1, 3}, {23, 19, 13}};
  for (const TCase& c : cases) {
    list->SetItemIndex(c.Set);
    EXPECT_EQ(list->ItemIndex(), c.Index) << "set " << c.Set;
    EXPECT_EQ(list->TopIndex(), c.Top) << "set " << c.Set;
  }
}

TEST_F(Lists, TheFrameFollowsTheBorderStyleAndTheLook) {
  struct TCase {
    int Theme;
    TBorderStyle Border;
    bool Border1;
    bool ClientEdge;
    int ClientHeight;
  };
  const TCase cases[] = {{xtsEmulated, bsSingle, true, false, 93},
                         {xtsClassic, bsSingle, false, true, 93},
                         {xtsEmulated, bsNone, false, false, 95},
                         {xtsClassic, bsNone, false, false, 97}};
  for (const TCase& c : cases) {
    UseTheme(c.Theme);
    TXPListBox* list = NewList(121, 97, 13);
    list->SetBorderStyle(c.Border);
    const LONG style = GetWindowLongW(list->Handle(), GWL_STYLE);
    const LONG exStyle = GetWindowLongW(list->Handle(), GWL_EXSTYLE);
    EXPECT_EQ((style & WS_BORDER) != 0, c.Border1) << c.Theme << " " << c.Border;
    EXPECT_EQ((exStyle & WS_EX_CLIENTEDGE) != 0, c.ClientEdge) << c.Theme << " " << c.Border;
    EXPECT_NE(style & WS_CLIPCHILDREN, 0);
    EXPECT_EQ(list->ClientRect().bottom, c.ClientHeight) << c.Theme << " " << c.Border;
    EXPECT_TRUE(list->VertScrollBar().BelongsToControl());
    EXPECT_FALSE(list->VertScrollBar().TabStop());
    TComponent::Free(list);
  }
}

TEST_F(Lists, StandardRowsFollowTheFontAndDisablingReachesTheBars) {
  TXPListBox* list = NewList(121, 97, 0);
  AddItems(list, 30);
  const int small = list->UsedItemHeight();
  list->Font().SetSize(list->Font().Size() * 3);
  EXPECT_GT(list->UsedItemHeight(), small);
  EXPECT_EQ(list->VisibleCount(), 93 / list->UsedItemHeight());
  ASSERT_TRUE(list->VertScrollBar().Visible());
  list->SetEnabled(false);
  EXPECT_FALSE(list->VertScrollBar().Enabled());
  EXPECT_FALSE(list->HorzScrollBar().Enabled());
  list->SetEnabled(true);
  EXPECT_TRUE(list->VertScrollBar().Enabled());
}

TEST_F(Lists, RowsWithCheckBoxesAreAtLeastACheckBoxHigh) {
  struct TCase {
    int Theme;
    int Minimum;
  };
  SIZE check{};
  GetXPCheckSize(check);
  const TCase cases[] = {{xtsEmulated, 16}, {xtsClassic, int(check.cy)}};
  for (const TCase& c : cases) {
    UseTheme(c.Theme);
    TXPListBox* list = NewList(121, 97, 0);
    list->SetUseCheckBoxes(true);
    EXPECT_GE(list->UsedItemHeight(), c.Minimum) << "theme " << c.Theme;
    TComponent::Free(list);
    list = NewList(121, 97, 1);
    list->SetUseCheckBoxes(true);
    EXPECT_EQ(list->UsedItemHeight(), 1) << "an owner-drawn list keeps its height";
    TComponent::Free(list);
  }
}

// ===========================================================================
// List box: keys, search and text

TEST_F(Lists, KeysMoveTheCurrentItemAndClickOnce) {
  struct TCase {
    WPARAM Key;
    int Expected;
  };
  const TCase cases[] = {{VK_DOWN, 6},  {VK_UP, 4},    {VK_HOME, 0}, {VK_END, 19},
                         {VK_NEXT, 11}, {VK_PRIOR, 0}, {VK_LEFT, 5}, {VK_RIGHT, 5}};
  TXPListBox* list = NewList(121, 97, 13);
  AddItems(list, 20);
  for (const TCase& c : cases) {
    list->SetItemIndex(5);
    Clicks = 0;
    Key(list, c.Key);
    EXPECT_EQ(list->ItemIndex(), c.Expected) << "key " << c.Key;
    EXPECT_EQ(Clicks, 1) << "key " << c.Key;
    EXPECT_TRUE(list->Selected(c.Expected));
    EXPECT_EQ(list->SelCount(), -1);
  }
  const int dialogCode = int(SendMessageW(list->Handle(), WM_GETDLGCODE, 0, 0));
  EXPECT_EQ(dialogCode & (DLGC_WANTARROWS | DLGC_WANTCHARS), DLGC_WANTARROWS | DLGC_WANTCHARS);
}

TEST_F(Lists, ShiftArrowsExtendAMultipleSelectionFromTheAnchor) {
  TXPListBox* list = NewList(121, 97, 13);
  list->SetMultiSelect(true);
  AddItems(list, 10);
  ClickAt(list, 20, 2 * 13 + 6);
  ASSERT_EQ(list->ItemIndex(), 2);
  Clicks = 0;
  {
    TShiftKeys shift({VK_SHIFT});
    Key(list, VK_DOWN);
    Key(list, VK_DOWN);
  }
  EXPECT_EQ(list->ItemIndex(), 4);
  EXPECT_EQ(Clicks, 2);
  std::vector<int> selected;
  for (int i = 0; i < list->Count(); ++i)
    if (list->Selected(i))
      selected.push_back(i);
  EXPECT_EQ(selected, (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(list->SelCount(), 3);
  Key(list, VK_UP);
  EXPECT_EQ(list->SelCount(), 1) << "without Shift only the current item stays selected";
  EXPECT_TRUE(list->Selected(3));
}

TEST_F(Lists, CtrlClickTogglesOneItemOfAMultipleSelection) {
  TXPListBox* list = NewList(121, 97, 13);
  list->SetMultiSelect(true);
  AddItems(list, 10);
  ClickAt(list, 20, 1 * 13 + 6);
  ClickAt(list, 20, 3 * 13 + 6, MK_CONTROL);
  EXPECT_TRUE(list->Selected(1));
  EXPECT_TRUE(list->Selected(3));
  ClickAt(list, 20, 3 * 13 + 6, MK_CONTROL);
  EXPECT_FALSE(list->Selected(3));
  ClickAt(list, 20, 5 * 13 + 6, MK_SHIFT);
  EXPECT_EQ(list->SelCount(), 3) << "Shift selects from the anchor";
  list->SetMultiSelect(false);
  EXPECT_EQ(list->SelCount(), -1);
  EXPECT_TRUE(list->Selected(list->ItemIndex()));
  EXPECT_FALSE(list->Selected(1));
}

TEST_F(Lists, TypingSearchesByPrefixAfterTheCurrentItem) {
  TXPListBox* list = NewList(121, 97, 13);
  for (const wchar_t* text : {L"Apple", L"Banana", L"Abacus", L"Cherry", L"Abbey"})
    list->Items().Add(text);
  list->SetAutoCompleteDelay(0x7FFFFFFF);
  struct TStep {
    wchar_t Char;
    int Expected;
  };
  // "a" passes over the current Apple; "ab" finds Abbey after Abacus; "abz"
  // matches nothing and falls back to "ab" from Abbey on, wrapping round.
  const TStep steps[] = {{L'a', 2}, {L'B', 4}, {L'z', 2}};
  for (const TStep& step : steps) {
    Clicks = 0;
    Char(list, step.Char);
    EXPECT_EQ(list->ItemIndex(), step.Expected) << char(step.Char);
    EXPECT_EQ(Clicks, 1);
  }
  EXPECT_EQ(list->Filter(), L"aBz");
  Char(list, VK_BACK);
  EXPECT_EQ(list->Filter(), L"aB");
}

TEST_F(Lists, AfterThePauseANewKeyStartsANewPrefix) {
  TXPListBox* list = NewList(121, 97, 13);
  for (const wchar_t* text : {L"Apple", L"Banana", L"Cherry", L"Cab"})
    list->Items().Add(text);
  list->SetAutoCompleteDelay(0);
  Char(list, L'c');
  EXPECT_EQ(list->ItemIndex(), 2);
  Char(list, L'b');
  EXPECT_EQ(list->ItemIndex(), 1) << "b alone, not cb";
  list->SetAutoComplete(false);
  Char(list, L'a');
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST_F(Lists, WindowTextIsTheCurrentItem) {
  TXPListBox* list = NewList(121, 97, 13);
  for (const wchar_t* text : {L"Apple", L"Banana", L"Cherry"})
    list->Items().Add(text);
  EXPECT_EQ(SendMessageW(list->Handle(), WM_SETTEXT, 0, LPARAM(L"cherry")), 1);
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(SendMessageW(list->Handle(), WM_GETTEXTLENGTH, 0, 0), 6);
  wchar_t buffer[4] = {L'?', L'?', L'?', L'?'};
  EXPECT_EQ(SendMessageW(list->Handle(), WM_GETTEXT, 4, LPARAM(buffer)), 3);
  EXPECT_EQ(std::wstring(buffer), L"Che");
  SendMessageW(list->Handle(), WM_SETTEXT, 0, LPARAM(L"Durian"));
  EXPECT_EQ(list->ItemIndex(), -1);
}

// ===========================================================================
// List box: mouse, check boxes and wheel

TEST_F(Lists, AClickSelectsTheItemUnderItAndNothingBelowTheLast) {
  TXPListBox* list = NewList(121, 97, 13);
  AddItems(list, 3);
  ClickAt(list, 30, 2 * 13 + 4);
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(Clicks, 1);
  ClickAt(list, 30, 5 * 13 + 4);
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->ItemAtPos(POINT{30, 5 * 13 + 4}, true), -1);
  EXPECT_EQ(list->ItemAtPos(POINT{30, 5 * 13 + 4}, false), 5) << "the extended hit test";
}

TEST_F(Lists, CheckBoxClicksCycleThroughGrayedWhenAllowed) {
  TXPListBox* list = NewList(121, 97, 0);
  list->SetUseCheckBoxes(true);
  list->SetAllowGrayed(true);
  AddItems(list, 3);
  int checks = 0;
  list->OnClickCheck = [&](TControl*) { ++checks; };
  const int y = list->UsedItemHeight() / 2;
  std::vector<TCheckBoxState> states;
  for (int i = 0; i < 4; ++i) {
    ClickAt(list, 5, y);
    states.push_back(list->State(0));
  }
  EXPECT_EQ(states, (std::vector<TCheckBoxState>{cbGrayed, cbChecked, cbUnchecked, cbGrayed}));
  EXPECT_EQ(checks, 4);
  EXPECT_EQ(list->PressedIndex(), -1);
  list->SetItemIndex(0);
  Key(list, VK_SPACE);
  EXPECT_EQ(list->State(0), cbChecked) << "Space checks a grayed item";
  list->SetAllowGrayed(false);
  ClickAt(list, 5, y);
  ClickAt(list, 5, y);
  EXPECT_EQ(list->State(0), cbChecked);
}

TEST_F(Lists, AWheelNotchScrollsBySystemLinesOrAPageWithCtrl) {
  TXPListBox* list = NewList(121, 97, 13);
  AddItems(list, 40);
  list->SetTopIndex(20);
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  const POINT screen = list->ClientToScreen(POINT{20, 20});
  const LPARAM at = MAKELPARAM(screen.x, screen.y);
  EXPECT_EQ(SendMessageW(list->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), at), 1);
  EXPECT_EQ(list->TopIndex(), 20 + int(lines));
  SendMessageW(list->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 120), at);
  EXPECT_EQ(list->TopIndex(), 20 + int(lines) - (list->VisibleCount() - 1));
  EXPECT_EQ(list->HotIndex(), list->TopIndex() + 1);
  SendMessageW(list->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 60), at);
  EXPECT_EQ(list->TopIndex(), 20 + int(lines) - (list->VisibleCount() - 1))
      << "less than a notch does nothing";
}

TEST_F(Lists, HoldingTheButtonOutsideScrollsFasterFartherAway) {
  TXPListBox* list = NewList(121, 97, 13);
  AddItems(list, 40);
  const int bottom = list->ClientRect().bottom;
  Press(list, 30, 6);
  ASSERT_EQ(list->ItemIndex(), 0);
  struct TCase {
    int Y;
    bool Running;
    UINT Interval;
  };
  const TCase cases[] = {{bottom + 120, true, kXPListScrollFast},
                         {bottom + 60, true, kXPListScrollMedium},
                         {bottom + 10, true, kXPListScrollSlow},
                         {-120, true, kXPListScrollFast},
                         {30, false, kXPListScrollSlow}};
  for (const TCase& c : cases) {
    Move(list, 30, c.Y, MK_LBUTTON);
    EXPECT_EQ(list->ScrollTimer().Running(), c.Running) << "y " << c.Y;
    EXPECT_EQ(list->ScrollTimer().Interval(), c.Interval) << "y " << c.Y;
  }
  // A tick selects as many rows on as the pointer is rows away.
  Move(list, 30, bottom + 3 * 13, MK_LBUTTON);
  const POINT cursor = list->ClientToScreen(POINT{30, bottom + 3 * 13});
  SetCursorPos(cursor.x, cursor.y);
  Tick(list->ScrollTimer());
  SetCursorPos(kCursorPark.x, kCursorPark.y);
  const int expected = (bottom + 3 * 13) / 13;
  EXPECT_EQ(list->ItemIndex(), expected);
  EXPECT_EQ(list->TopIndex(), expected - list->VisibleCount() + 1);
  Release(list, 30, bottom + 3 * 13);
  EXPECT_FALSE(list->ScrollTimer().Running());
}

// ===========================================================================
// List box: painting

TEST_F(Lists, RowsArePaintedInTheLibraryColoursOfEachThemeState) {
  struct TCase {
    int Theme;
    bool Enabled;
  };
  const TCase cases[] = {{xtsEmulated, true}, {xtsEmulated, false}, {xtsClassic, true}};
  for (const TCase& c : cases) {
    UseTheme(c.Theme);
    TXPListBox* list = NewList(121, 97, 0);
    for (const wchar_t* text : {L"a", L"b", L"c"})
      list->Items().Add(text);
    list->SetItemIndex(1);
    list->SetEnabled(c.Enabled);
    auto image = harness::RenderControl(*list);
    const POINT origin = list->ClientToScreen(POINT{0, 0});
    RECT window{};
    GetWindowRect(list->Handle(), &window);
    const int dx = origin.x - window.left, dy = origin.y - window.top;
    const int h = list->UsedItemHeight();
    const int x = dx + list->VisibleAreaSize().cx - 5;
    const TColor background = c.Enabled ? clXPWindow : clXPBtnHighlight;
    const TColor selected = c.Enabled ? clXPHighlight : clXPBtnShadow;
    EXPECT_TRUE(SameColor(harness::PixelAt(*image, x, dy + h / 2), background)) << c.Theme;
    EXPECT_TRUE(SameColor(harness::PixelAt(*image, x, dy + h + h / 2), selected)) << c.Theme;
    EXPECT_TRUE(SameColor(harness::PixelAt(*image, x, dy + 3 * h + 4), background))
        << "the empty area below the items";
    TComponent::Free(list);
  }
}

TEST_F(Lists, CheckBoxesShowTheirStateInTheEmulatedAndClassicLooks) {
  for (int theme : {xtsEmulated, xtsClassic}) {
    UseTheme(theme);
    TXPListBox* list = NewList(121, 97, 0);
    list->SetUseCheckBoxes(true);
    for (const wchar_t* text : {L"a", L"b"})
      list->Items().Add(text);
    list->SetItemChecked(0, true);
    auto image = harness::RenderControl(*list);
    RECT window{};
    GetWindowRect(list->Handle(), &window);
    const POINT origin = list->ClientToScreen(POINT{0, 0});
    const int dx = origin.x - window.left, dy = origin.y - window.top;
    const int h = list->UsedItemHeight();
    // The mark sits in the middle of the box; the box's corner is the same.
    int differing = 0;
    for (int y = 3; y < 10; ++y)
      for (int x = 3; x < 10; ++x)
        if (harness::PixelAt(*image, dx + x, dy + (h - 13) / 2 + y) !=
            harness::PixelAt(*image, dx + x, dy + h + (h - 13) / 2 + y))
          ++differing;
    EXPECT_GT(differing, 3) << "theme " << theme;
    TComponent::Free(list);
  }
}

TEST_F(Lists, OwnerDrawnRowsAreAskedForWithTheirStates) {
  TXPListBox* list = NewList(121, 97, 13);
  AddItems(list, 20);
  list->SetItemIndex(2);
  list->SetItemChecked(1, true);
  std::vector<std::pair<int, TOwnerDrawState>> drawn;
  list->OnDrawItem = [&](TWinControl*, int AIndex, const RECT& ARect, TOwnerDrawState AState) {
    EXPECT_EQ(ARect.top, AIndex * 13);
    drawn.emplace_back(AIndex, AState);
  };
  harness::RenderControl(*list);
  ASSERT_EQ(drawn.size(), 8u) << "seven full rows and the partial eighth";
  EXPECT_EQ(drawn[0].second, 0);
  EXPECT_EQ(drawn[1].second, odChecked);
  EXPECT_EQ(drawn[2].second, odSelected | odFocused);
  list->SetEnabled(false);
  drawn.clear();
  harness::RenderControl(*list);
  EXPECT_EQ(drawn[0].second, odDisabled);
}

} // namespace
