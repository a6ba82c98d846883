#include "fixed-theme.h"
#include "ledger-balance.h"
#include "xp-collapse-sections.h"
#include "xp-progress.h"
#include "xp-sections.h"
#include "xp-splitter.h"

#include "application.h"
#include "menus.h"
#include "resource-ledger.h"
#include "seams.h"
#include "storage.h"
#include "support/test-harness.h"
#include "xp-controls.h"
#include "xp-graphics.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A parent in a colour no control here uses.
constexpr TColor kParentColor = 0x00A000;

// A plain windowed child the framework's splitter resizes.
class TBlock : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
};

// Counts the animations' pauses instead of sleeping.
class TCountingSleep : public TSleepSeam {
public:
  void Sleep(DWORD /*AMilliseconds*/) override { ++Calls; }
  int Calls = 0;
};

// Picks the popup entry whose text is Pick, and notes what was offered.
class TPickingPopup : public TPopupMenuSeam {
public:
  std::wstring Pick;
  std::vector<std::wstring> Shown;
  UINT Track(HMENU AMenu, UINT /*AFlags*/, int /*AX*/, int /*AY*/, HWND /*AOwner*/) override {
    UINT chosen = 0;
    Shown.clear();
    for (int i = 0; i < GetMenuItemCount(AMenu); ++i) {
      wchar_t text[128] = {};
      GetMenuStringW(AMenu, UINT(i), text, 128, MF_BYPOSITION);
      Shown.push_back(text);
      if (Pick == text)
        chosen = GetMenuItemID(AMenu, i);
    }
    return chosen;
  }
};

class Sections : public ::testing::Test {
protected:
  void SetUp() override {
    FStart = std::make_unique<TLedgerKindCounts>(std::initializer_list<TResourceKind>{
        TResourceKind::Window, TResourceKind::GdiObject, TResourceKind::DeviceContext,
        TResourceKind::Hook, TResourceKind::Menu});
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TBlock(Owner.get());
    Form->SetBounds(40, 40, 420, 680);
    Form->SetColor(kParentColor);
    Form->HandleNeeded();
  }
  void TearDown() override {
    Owner.reset();
    harness::PumpMessages();
    ReleaseApplication();
    TProgressResourceManager::FreeImages();
    TSectionsResourceManager::FreeImages();
    FinalizeGraphics();
    FStart->ExpectUnchanged();
  }

  // Mouse messages as the window gets them, at client points of AWindow.
  static void Down(TWinControl* AWindow, POINT AAt) {
    SendMessageW(AWindow->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(AAt.x, AAt.y));
  }
  static void Move(TWinControl* AWindow, POINT AAt) {
    SendMessageW(AWindow->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(AAt.x, AAt.y));
  }
  static void Up(TWinControl* AWindow, POINT AAt) {
    SendMessageW(AWindow->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(AAt.x, AAt.y));
  }
  static void Drag(TWinControl* AWindow, POINT AFrom, POINT ATo) {
    Down(AWindow, AFrom);
    Move(AWindow, ATo);
    Up(AWindow, ATo);
  }
  static void Escape(TWinControl* AWindow) {
    PostMessageW(AWindow->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    harness::PumpMessages();
  }
  static POINT CentreOf(TControl* AControl) {
    return {AControl->Left() + AControl->Width() / 2, AControl->Top() + AControl->Height() / 2};
  }

  template <typename TPanel = TXPCollapseSectionsPanel> TPanel* NewPanel(int ASections) {
    auto* panel = new TPanel(Owner.get());
    panel->SetBounds(0, 0, 321, 624);
    panel->SetMargin(1);
    panel->SetParent(Form);
    panel->BeginUpdate();
    for (int i = 0; i < ASections; ++i)
      panel->AddNewSection();
    panel->EndUpdate();
    return panel;
  }

  std::unique_ptr<TComponent> Owner;
  TBlock* Form = nullptr;

private:
  std::unique_ptr<TLedgerKindCounts> FStart;
};

std::vector<int> Heights(TXPCustomSectionsPanel* APanel) {
  std::vector<int> heights;
  for (int i = 0; i < APanel->SectionCount(); ++i)
    heights.push_back(APanel->Sections(i)->Height());
  return heights;
}

std::vector<int> Tops(TXPCustomSectionsPanel* APanel) {
  std::vector<int> tops;
  for (int i = 0; i < APanel->SectionCount(); ++i)
    tops.push_back(APanel->Sections(i)->Top());
  return tops;
}

// The smallest rectangle of pixels that differ from ABackground in AArea.
RECT InkBounds(TBitmap& ABitmap, const RECT& AArea, TColor ABackground) {
  RECT bounds{AArea.right, AArea.bottom, AArea.left, AArea.top};
  for (int y = AArea.top; y < AArea.bottom; ++y)
    for (int x = AArea.left; x < AArea.right; ++x)
      if (harness::PixelAt(ABitmap, x, y) != ABackground) {
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
  return bounds.right <= bounds.left ? RECT{0, 0, 0, 0} : bounds;
}

// ===========================================================================
// Splitter and transparent button

TEST_F(Sections, TransparentSplitterDrawsOnlyItsNotch) {
  auto* splitter = new TXPSplitter(Owner.get());
  splitter->SetBounds(100, 0, 6, 300);
  splitter->SetAlign(alNone);
  splitter->SetParent(Form);
  const RECT area{100, 0, 106, 300};
  auto plain = harness::RenderControl(*Form);
  EXPECT_EQ(InkBounds(*plain, area, kParentColor).right, 0) << "a bare transparent bar";

  splitter->SetDrawNotch(true);
  auto notched = harness::RenderControl(*Form);
  const RECT ink = InkBounds(*notched, area, kParentColor);
  // Nine dots of three pixels, four apart, centred across and along the bar.
  EXPECT_EQ(ink.bottom - ink.top, 35);
  EXPECT_EQ(ink.top, (300 - 36) / 2);
  EXPECT_EQ(ink.left, 101);
  EXPECT_EQ(ink.right, 104);
}

TEST_F(Sections, OpaqueSplitterFillsAndBevelsItsLongSidesInEachThemeState) {
  auto* splitter = new TXPSplitter(Owner.get());
  splitter->SetWidth(6);
  splitter->SetParent(Form);
  splitter->SetTransparent(false);
  splitter->SetBeveled(true);
  ASSERT_EQ(splitter->Align(), alLeft);
  for (int state : {0, 1}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    UpdateXPLibraryColors();
    const TColor face = ColorToRGB(XPLibraryColorsFor(state).BtnFace);
    auto image = harness::RenderControl(*Form);
    const int x = splitter->Left();
    const int mid = splitter->Height() / 2;
    EXPECT_EQ(harness::PixelAt(*image, x + 2, mid), face) << "state " << state;
    EXPECT_NE(harness::PixelAt(*image, x, mid), face) << "left edge, state " << state;
    EXPECT_NE(harness::PixelAt(*image, x + 5, mid), face) << "right edge, state " << state;
    // The ends along the bar carry no edge.
    EXPECT_EQ(harness::PixelAt(*image, x + 2, 0), face) << "top end, state " << state;
    EXPECT_EQ(harness::PixelAt(*image, x + 2, splitter->Height() - 1), face)
        << "bottom end, state " << state;
  }
  UpdateXPLibraryColors();
  splitter->SetUseDefaultColor(false);
  splitter->SetColor(clAqua);
  auto image = harness::RenderControl(*Form);
  EXPECT_EQ(harness::PixelAt(*image, splitter->Left() + 2, 150), TColor(clAqua));
}

TEST_F(Sections, SplitCursorFollowsTheSplittersSide) {
  auto* splitter = new TXPSplitter(Owner.get());
  splitter->SetParent(Form);
  EXPECT_EQ(splitter->Cursor(), crHSplit);
  splitter->SetAlign(alBottom);
  EXPECT_EQ(splitter->Cursor(), crVSplit);
  // A cursor of the user's own stays whatever the side.
  splitter->SetCursor(crHandPoint);
  splitter->SetAlign(alLeft);
  EXPECT_EQ(splitter->Cursor(), crHandPoint);
}

TEST_F(Sections, SplitterDragResizesTheControlBeforeIt) {
  struct TCase {
    TResizeStyle Style;
    int Dx;
    int WidthWhileMoving;
    int WidthAfter;
  };
  const TCase cases[] = {
      {rsPattern, 40, 100, 140},
      {rsLine, -30, 100, 70},
      {rsUpdate, 40, 140, 140},
      // Below the minimum the control snaps shut.
      {rsPattern, -90, 100, 0},
  };
  for (const TCase& c : cases) {
    auto* block = new TBlock(Owner.get());
    block->SetBounds(0, 0, 100, 300);
    block->SetAlign(alLeft);
    block->SetParent(Form);
    auto* splitter = new TXPSplitter(Owner.get());
    splitter->SetBounds(100, 0, 6, 300);
    splitter->SetParent(Form);
    splitter->SetResizeStyle(c.Style);
    ASSERT_EQ(splitter->Left(), 100);
    int moved = 0;
    splitter->OnMoved = [&moved](TControl*) { ++moved; };
    const POINT at{103, 50};
    Down(Form, at);
    Move(Form, {at.x + c.Dx, at.y});
    EXPECT_TRUE(splitter->IsResizing());
    EXPECT_EQ(block->Width(), c.WidthWhileMoving) << "style " << c.Style << " dx " << c.Dx;
    Up(Form, {at.x + c.Dx, at.y});
    EXPECT_EQ(block->Width(), c.WidthAfter) << "style " << c.Style << " dx " << c.Dx;
    EXPECT_EQ(moved, 1);
    EXPECT_FALSE(splitter->IsResizing());
    EXPECT_EQ(splitter->ResizeControl(), nullptr);
    TComponent::Free(splitter);
    TComponent::Free(block);
  }
}

TEST_F(Sections, EscapeEndsASplitterDragWithoutResizing) {
  auto* block = new TBlock(Owner.get());
  block->SetBounds(0, 0, 100, 300);
  block->SetAlign(alLeft);
  block->SetParent(Form);
  auto* splitter = new TXPSplitter(Owner.get());
  splitter->SetBounds(100, 0, 6, 300);
  splitter->SetParent(Form);
  const size_t hooks = TResourceLedger::Count(TResourceKind::Hook);
  Down(Form, {103, 50});
  Move(Form, {153, 50});
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), hooks + 1);
  Escape(Form);
  EXPECT_FALSE(splitter->IsResizing());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Hook), hooks);
  Up(Form, {153, 50});
  EXPECT_EQ(block->Width(), 100);
}

TEST_F(Sections, TransButtonTakesOneCellOfItsStrip) {
  // The strip is 24 x 12: two cells, or four of an inversible strip.
  for (bool inversible : {false, true}) {
    auto* button = new TXPTransButton(Owner.get(), L"XPCOLLAPSESECTION", inversible);
    EXPECT_EQ(button->Width(), inversible ? 6 : 12);
    EXPECT_EQ(button->Height(), 12);
    EXPECT_EQ(button->Anchors(), TAnchors(akTop | akRight));
    TComponent::Free(button);
  }
}

TEST_F(Sections, ClickingAnInversibleButtonFlipsItAndFiresOnClickOnce) {
  for (bool inversible : {false, true}) {
    auto* button = new TXPTransButton(Owner.get(), L"XPEXPANDSECTION", inversible);
    button->SetBounds(200, 200, button->Width(), button->Height());
    button->SetParent(Form);
    int clicks = 0;
    button->OnClick = [&clicks](TControl*) { ++clicks; };
    const POINT at = CentreOf(button);
    Down(Form, at);
    Up(Form, at);
    EXPECT_EQ(clicks, 1) << "inversible " << inversible;
    EXPECT_EQ(button->Inverted(), inversible);
    TComponent::Free(button);
  }
}

// ===========================================================================
// Progress bar

TEST_F(Sections, ChunkCountFollowsThePosition) {
  auto* bar = new TXPProgressBar(Owner.get());
  bar->SetMax(1000);
  TXPProgressGeometry geometry;
  geometry.Length = 300;
  geometry.ChunkLength = 8;
  geometry.Gap = 2;
  const struct {
    int Position;
    int Chunks;
  } cases[] = {{0, 0}, {500, 15}, {1000, 30}, {1, 1}, {334, 11}};
  for (const auto& c : cases) {
    bar->SetPosition(c.Position);
    EXPECT_EQ(bar->ChunkCount(geometry), c.Chunks) << "position " << c.Position;
  }
}

TEST_F(Sections, ProgressPositionStaysInItsRange) {
  auto* bar = new TXPProgressBar(Owner.get());
  EXPECT_EQ(bar->Width(), 150);
  bar->StepIt();
  EXPECT_EQ(bar->Position(), 10);
  bar->SetMax(1000);
  bar->SetPosition(1500);
  EXPECT_EQ(bar->Position(), 1000);
  bar->SetPosition(-5);
  EXPECT_EQ(bar->Position(), 0);
  bar->StepBy(25);
  EXPECT_EQ(bar->Position(), 25);
  bar->SetMax(0);
  bar->SetPosition(1500);
  EXPECT_EQ(bar->Position(), 1500) << "an empty range clamps nothing";
  TXPProgressGeometry geometry;
  geometry.Length = 300;
  geometry.ChunkLength = 8;
  geometry.Gap = 2;
  EXPECT_EQ(bar->ChunkCount(geometry), 0);
  bar->SetMax(100);
  EXPECT_EQ(bar->Position(), 100) << "a new maximum clamps the position";
}

TEST_F(Sections, OrientationChangeSwapsTheSize) {
  auto* bar = new TXPProgressBar(Owner.get());
  bar->SetBounds(10, 10, 341, 32);
  bar->SetOrientation(pbVertical);
  EXPECT_EQ(bar->Width(), 32);
  EXPECT_EQ(bar->Height(), 341);
}

TEST_F(Sections, ClassicBarPaintsChunksInTheBarColour) {
  TFixedTheme theme(0);
  TSeamScope<TThemeSeam> scope(theme);
  UpdateXPLibraryColors();
  auto* bar = new TXPProgressBar(Owner.get());
  bar->SetBounds(10, 10, 100, 24);
  bar->SetParent(Form);
  bar->SetPosition(50);
  // Margins 2, chunks 12 x 20 with a gap of 2; 50 % of 96 pixels needs four.
  struct TCase {
    bool Enabled;
    TColor Bar;
    TColor Back;
  };
  const TCase cases[] = {{true, ColorToRGB(clHighlight), ColorToRGB(clBtnFace)},
                         {false, ColorToRGB(clXPGrayText), ColorToRGB(clXPBtnHighlight)}};
  for (const TCase& c : cases) {
    bar->SetEnabled(c.Enabled);
    auto image = harness::RenderControl(*bar);
    for (int i = 0; i < 4; ++i) {
      const int left = 2 + i * 14;
      EXPECT_EQ(harness::PixelAt(*image, left + 6, 12), c.Bar) << "chunk " << i;
      EXPECT_EQ(harness::PixelAt(*image, left + 12, 12), c.Back) << "gap " << i;
    }
    EXPECT_EQ(harness::PixelAt(*image, 2 + 4 * 14 + 6, 12), c.Back) << "beyond the last chunk";
    EXPECT_EQ(harness::PixelAt(*image, 1, 12), c.Back) << "the ring inside the frame";
  }
  UpdateXPLibraryColors();
}

TEST_F(Sections, SmoothBarRoundsHalvesToEven) {
  TFixedTheme theme(0);
  TSeamScope<TThemeSeam> scope(theme);
  auto* bar = new TXPProgressBar(Owner.get());
  bar->SetBounds(10, 10, 100, 24);
  bar->SetParent(Form);
  bar->SetSmooth(true);
  bar->SetMax(64);
  // 96 inner pixels: position 1 fills 1.5 (2), position 3 fills 4.5 (4).
  for (const auto& [position, filled] : {std::pair{1, 2}, std::pair{3, 4}, std::pair{64, 96}}) {
    bar->SetPosition(position);
    auto image = harness::RenderControl(*bar);
    EXPECT_EQ(harness::PixelAt(*image, 2 + filled - 1, 12), ColorToRGB(clHighlight))
        << "position " << position;
    if (filled < 96) {
      EXPECT_EQ(harness::PixelAt(*image, 2 + filled, 12), ColorToRGB(clBtnFace))
          << "position " << position;
    }
  }
}

TEST_F(Sections, EmulatedBarDrawsChunksOnlyUpToThePosition) {
  TFixedTheme theme(1);
  TSeamScope<TThemeSeam> scope(theme);
  auto* bar = new TXPProgressBar(Owner.get());
  bar->SetBounds(10, 10, 150, 19);
  bar->SetParent(Form);
  const TXPProgressGeometry geometry = bar->Geometry();
  EXPECT_EQ(geometry.Gap, 0);
  EXPECT_EQ(geometry.Inner.left, 4);
  auto empty = harness::RenderControl(*bar);
  bar->SetPosition(30);
  const int chunks = bar->ChunkCount(geometry);
  ASSERT_GT(chunks, 0);
  auto filled = harness::RenderControl(*bar);
  const int end = geometry.Inner.left + chunks * geometry.ChunkLength;
  bool changed = false;
  for (int x = geometry.Inner.left; x < end; ++x)
    for (int y = geometry.Inner.top; y < geometry.Inner.bottom; ++y)
      changed |= harness::PixelAt(*empty, x, y) != harness::PixelAt(*filled, x, y);
  EXPECT_TRUE(changed) << "the chunks show";
  for (int x = end; x < bar->Width(); ++x)
    for (int y = 0; y < bar->Height(); ++y)
      ASSERT_EQ(harness::PixelAt(*empty, x, y), harness::PixelAt(*filled, x, y))
          << "beyond the chunks at (" << x << ", " << y << ")";
  EXPECT_TRUE(TProgressResourceManager::Loaded());
}

// ===========================================================================
// Sections panel

TEST_F(Sections, SectionsShareThePanelByTheirCoefficients) {
  struct TCase {
    std::vector<double> Coefs;
    std::vector<int> Heights;
    std::vector<int> Tops;
  };
  // 624 - 2 margins: 617 free with one bar, 612 with two.
  const TCase cases[] = {
      {{308, 309}, {308, 309}, {1, 314}},
      // A share at or below the minimum is pinned there.
      {{1, 100}, {50, 567}, {1, 56}},
      {{1, 1, 1}, {204, 204, 204}, {1, 210, 419}},
  };
  for (const TCase& c : cases) {
    auto* panel = new TXPCustomSectionsPanel(Owner.get());
    panel->SetBounds(0, 0, 321, 624);
    panel->SetMargin(1);
    panel->SetParent(Form);
    panel->BeginUpdate();
    for (double coef : c.Coefs) {
      TXPCustomSection* section = new TXPSection(Owner.get());
      section->SetSizeCoef(coef);
      panel->AddSection(section, true);
    }
    panel->EndUpdate();
    EXPECT_EQ(Heights(panel), c.Heights);
    EXPECT_EQ(Tops(panel), c.Tops);
    EXPECT_EQ(panel->Sections(0)->Left(), 1);
    EXPECT_EQ(panel->Sections(0)->Width(), 319);
    // The last section's bar is hidden, the others sit right below their section.
    const int last = panel->SectionCount() - 1;
    EXPECT_FALSE(panel->Sections(last)->Splitter()->Visible());
    EXPECT_EQ(panel->Sections(0)->Splitter()->Top(), c.Tops[0] + c.Heights[0]);
    panel->ClearSections();
    EXPECT_EQ(panel->SectionCount(), 0);
    TComponent::Free(panel);
  }
}

TEST_F(Sections, ResizingASectionFromCodeRebalancesTheOthers) {
  auto* panel = NewPanel<TXPCustomSectionsPanel>(2);
  panel->Sections(0)->SetSizeCoef(308);
  panel->Sections(1)->SetSizeCoef(309);
  panel->Rearrange();
  panel->Sections(0)->SetHeight(200);
  EXPECT_NEAR(panel->Sections(0)->SizeCoef() + panel->Sections(1)->SizeCoef(), 1.0, 1e-9);
  EXPECT_EQ(Heights(panel), (std::vector<int>{200, 417}));
  EXPECT_EQ(Tops(panel), (std::vector<int>{1, 206}));
}

TEST_F(Sections, NewSectionsInOneUpdateGetEqualCoefficients) {
  auto* panel = NewPanel<TXPCustomSectionsPanel>(3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(panel->Sections(i)->SizeCoef(), 1.0);
  EXPECT_EQ(Heights(panel), (std::vector<int>{204, 204, 204}));
  EXPECT_EQ(panel->Sections(0)->ClassName(), L"TXPSection");
}

TEST_F(Sections, ProportionalCoefficientsSumToOne) {
  auto* panel = NewPanel<TXPCustomSectionsPanel>(3);
  panel->SetResizeMode(xrmProportional);
  auto sum = [panel] {
    double total = 0;
    for (int i = 0; i < panel->SectionCount(); ++i)
      total += panel->Sections(i)->SizeCoef();
    return total;
  };
  EXPECT_NEAR(sum(), 1.0, 1e-9);
  TXPSectionSplitter* bar = panel->Sections(0)->Splitter();
  Drag(panel, CentreOf(bar), {CentreOf(bar).x, CentreOf(bar).y + 60});
  EXPECT_NEAR(sum(), 1.0, 1e-9);
  EXPECT_EQ(panel->Sections(0)->Height(), 264);
}

TEST_F(Sections, BarDragsStopAtTheSectionsLimits) {
  struct TCase {
    TXPResizeMode Mode;
    bool Resizeable;
    int Dy;
    std::vector<int> Heights;
  };
  // Two sections of 308 and 309 in 617 free pixels.
  const TCase cases[] = {
      // Up: no higher than the section's top plus its minimum.
      {xrmAdjacent, true, -400, {50, 567}},
      // Down, standard: the last section keeps its minimum.
      {xrmStandard, true, 1000, {567, 50}},
      {xrmAdjacent, true, 40, {348, 269}},
      {xrmStandard, true, -100, {208, 409}},
      // A section that may not resize keeps its bar where it is.
      {xrmAdjacent, false, 60, {308, 309}},
  };
  for (const TCase& c : cases) {
    auto* panel = NewPanel(2);
    panel->SetResizeMode(c.Mode);
    panel->Sections(0)->SetSizeCoef(308);
    panel->Sections(1)->SetSizeCoef(309);
    panel->Rearrange();
    ASSERT_EQ(Heights(panel), (std::vector<int>{308, 309}));
    panel->Sections(0)->SetResizeable(c.Resizeable);
    TXPSectionSplitter* bar = panel->Sections(0)->Splitter();
    const POINT at = CentreOf(bar);
    Drag(panel, at, {at.x, at.y + c.Dy});
    EXPECT_EQ(Heights(panel), c.Heights) << "mode " << c.Mode << " dy " << c.Dy;
    EXPECT_FALSE(bar->InSizing());
    panel->ClearSections();
    TComponent::Free(panel);
  }
}

TEST_F(Sections, AdjacentDragCascadesTheShortfall) {
  auto* panel = NewPanel<TXPCustomSectionsPanel>(3);
  ASSERT_EQ(Heights(panel), (std::vector<int>{204, 204, 204}));
  TXPSectionSplitter* bar = panel->Sections(0)->Splitter();
  const POINT at = CentreOf(bar);
  // 200 down: the second gives up 154 down to its minimum, the third the rest.
  Drag(panel, at, {at.x, at.y + 200});
  EXPECT_EQ(Heights(panel), (std::vector<int>{404, 50, 158}));
}

TEST_F(Sections, EscapeAppliesTheLastPreviewedPosition) {
  for (bool extended : {false, true}) {
    auto* panel = NewPanel(2);
    panel->SetExtendedResize(extended);
    panel->Sections(0)->SetSizeCoef(308);
    panel->Sections(1)->SetSizeCoef(309);
    panel->Rearrange();
    TXPSectionSplitter* bar = panel->Sections(0)->Splitter();
    const POINT at = CentreOf(bar);
    const size_t contexts = TResourceLedger::Count(TResourceKind::DeviceContext);
    Down(panel, at);
    Move(panel, {at.x, at.y + 50});
    EXPECT_TRUE(bar->LineVisible());
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::DeviceContext), contexts + 1);
    Escape(panel);
    EXPECT_FALSE(bar->InSizing());
    EXPECT_FALSE(bar->LineVisible());
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::DeviceContext), contexts);
    EXPECT_EQ(Heights(panel), (std::vector<int>{358, 259})) << "extended " << extended;
    Up(panel, {at.x, at.y + 50});
    EXPECT_EQ(Heights(panel), (std::vector<int>{358, 259}));
    panel->ClearSections();
    TComponent::Free(panel);
  }
}

TEST_F(Sections, OnlySectionsAndBarsJoinAPanel) {
  auto* panel = NewPanel<TXPCustomSectionsPanel>(0);
  auto* block = new TBlock(Owner.get());
  try {
    block->SetParent(panel);
    ADD_FAILURE() << "a foreign control joined";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), L"TCustomControl can't be inserted into TXPCustomSectionsPanel.");
  }
  auto* section = new TXPSection(Owner.get());
  try {
    section->SetParent(Form);
    ADD_FAILURE() << "a section joined a plain control";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), L"TXPSection can be inserted only in TXPCustomSectionsPanel.");
  }
  EXPECT_EQ(section->Parent(), nullptr);
}

TEST_F(Sections, ShowBorderPutsAlignedChildrenOnePixelInside) {
  auto* panel = NewPanel<TXPCustomSectionsPanel>(1);
  TXPCustomSection* section = panel->Sections(0);
  auto* child = new TBlock(Owner.get());
  child->SetParent(section);
  child->SetAlign(alClient);
  EXPECT_EQ(child->Left(), 0);
  section->SetBorderColor(clRed);
  section->SetShowBorder(true);
  EXPECT_EQ(child->Left(), 1);
  EXPECT_EQ(child->Top(), 1);
  EXPECT_EQ(child->Width(), section->ClientWidth() - 2);
  EXPECT_EQ(child->Height(), section->ClientHeight() - 2);
  child->SetVisible(false);
  auto image = harness::RenderControl(*section);
  EXPECT_EQ(harness::PixelAt(*image, 0, 10), TColor(clRed));
  EXPECT_NE(harness::PixelAt(*image, 1, 10), TColor(clRed));
}

TEST_F(Sections, LayoutRoundTripsThroughTheRegistry) {
  const std::wstring key =
      L"Software\\OrvandelTests\\Sections" + std::to_wstring(GetCurrentProcessId());
  auto makePanel = [&] {
    auto* panel = new TXPCollapseSectionsPanel(Owner.get());
    panel->SetName(L"P");
    panel->SetBounds(0, 0, 321, 624);
    panel->SetMargin(1);
    panel->SetRegistryKey(key);
    panel->SetSaveInRegistry(true);
    panel->SetParent(Form);
    return panel;
  };
  {
    auto* panel = makePanel();
    panel->BeginUpdate();
    for (int i = 0; i < 3; ++i)
      panel->AddNewSection();
    panel->EndUpdate();
    panel->Sections(0)->SetSizeCoef(0.25);
    panel->Sections(1)->SetSizeCoef(2.5);
    static_cast<TXPCollapseSection*>(panel->Sections(0))->SetCollapsed(true);
    panel->Sections(1)->SetVisible(false);
    TComponent::Free(panel);
  }
  {
    TRegistry registry(KEY_READ);
    ASSERT_TRUE(registry.OpenKeyReadOnly(key));
    EXPECT_EQ(registry.GetDataType(L"P_SizeCoef0"), rdBinary);
    EXPECT_EQ(registry.GetDataSize(L"P_SizeCoef0"), 8);
    EXPECT_EQ(registry.ReadFloat(L"P_SizeCoef0"), 0.25);
    EXPECT_EQ(registry.ReadString(L"P_Visibility0"), L"1");
    EXPECT_EQ(registry.ReadString(L"P_Visibility1"), L"0");
    EXPECT_EQ(registry.ReadString(L"P_Collapsed0"), L"1");
    EXPECT_EQ(registry.ReadString(L"P_Collapsed2"), L"0");
  }
  // Loading the form again: the sections come first, the layout at the end.
  TXPCollapseSectionsPanel* panel = nullptr;
  {
    TComponentLoading loading(Owner.get());
    panel = makePanel();
    for (int i = 0; i < 3; ++i) {
      auto* section = new TXPCollapseSection(Owner.get());
      section->SetBounds(1, 1 + i * 100, 307, 95);
      section->SetParent(panel);
    }
    loading.End();
  }
  EXPECT_EQ(panel->Sections(0)->SizeCoef(), 0.25);
  EXPECT_EQ(panel->Sections(1)->SizeCoef(), 2.5);
  EXPECT_FALSE(panel->Sections(1)->Visible());
  EXPECT_TRUE(static_cast<TXPCollapseSection*>(panel->Sections(0))->Collapsed());
  EXPECT_FALSE(static_cast<TXPCollapseSection*>(panel->Sections(2))->Collapsed());
  // The one section left open takes the whole panel below the expand button.
  ASSERT_EQ(panel->ShownSections().size(), 1u);
  EXPECT_EQ(panel->Sections(2)->Top(), 7);
  EXPECT_EQ(panel->Sections(2)->Height(), 624 - 7 - 1);
  panel->SetSaveInRegistry(false);
  TRegistry registry;
  // Only this process's key: the other architecture's run shares the hive.
  EXPECT_TRUE(registry.DeleteKey(key));
}

// ===========================================================================
// Collapse sections

TEST_F(Sections, FoldingTheFirstOfTwoSections) {
  auto* panel = NewPanel(2);
  auto* first = static_cast<TXPCollapseSection*>(panel->Sections(0));
  auto* second = static_cast<TXPCollapseSection*>(panel->Sections(1));
  EXPECT_EQ(panel->GetRightMargin(), 13);
  EXPECT_EQ(first->Width(), 321 - 1 - 13);
  ASSERT_TRUE(first->CollapseButton()->Visible());
  EXPECT_EQ(first->CollapseButton()->Left(), first->Left() + first->ClientWidth() + 2);
  EXPECT_EQ(first->CollapseButton()->Top(), first->Top() + 2);
  std::vector<std::string> events;
  first->OnCollapsing = [&](TControl*) { events.push_back("collapsing"); };
  first->OnCollapse = [&](TControl*) { events.push_back("collapse"); };
  const POINT at = CentreOf(first->CollapseButton());
  Down(panel, at);
  Up(panel, at);
  EXPECT_TRUE(first->Collapsed());
  EXPECT_EQ(events, (std::vector<std::string>{"collapsing", "collapse"}));
  EXPECT_FALSE(IsWindowVisible(first->Handle()));
  EXPECT_FALSE(second->CollapseButton()->Visible()) << "one section must stay open";
  EXPECT_EQ(panel->GetTopMargin(), 7);
  EXPECT_EQ(second->Top(), 7);
  EXPECT_EQ(second->Height(), 624 - 7 - 1);
  TControl* expand = first->ExpandButton();
  EXPECT_TRUE(expand->Visible());
  EXPECT_EQ(expand->Top(), 7 - std::max(5, expand->Height()));
  // The last open section cannot fold.
  events.clear();
  second->SetCollapsed(true);
  EXPECT_FALSE(second->Collapsed());
  // Unfolding through the expand button.
  Down(panel, CentreOf(expand));
  Up(panel, CentreOf(expand));
  EXPECT_FALSE(first->Collapsed());
  EXPECT_EQ(Heights(panel), (std::vector<int>{308, 309}));
  EXPECT_FALSE(expand->Visible());
}

TEST_F(Sections, AdjacentFoldedSectionsShareOneExpandButton) {
  auto* panel = NewPanel(3);
  std::vector<TXPCollapseSection*> sections;
  for (int i = 0; i < 3; ++i) {
    sections.push_back(static_cast<TXPCollapseSection*>(panel->Sections(i)));
    sections.back()->SetCaption(L"Part" + std::to_wstring(i));
  }
  sections[0]->SetCollapsed(true);
  sections[1]->SetCollapsed(true);
  auto* head = static_cast<TXPExpandButton*>(sections[0]->ExpandButton());
  EXPECT_TRUE(head->Visible());
  EXPECT_TRUE(head->Multiple());
  EXPECT_FALSE(sections[1]->ExpandButton()->Visible());
  std::wstring hint;
  head->HintShow(hint);
  EXPECT_EQ(hint, L"Show hidden sections");
  TPickingPopup picker;
  picker.Pick = L"Part1";
  TSeamScope<TPopupMenuSeam> scope(picker);
  Down(panel, CentreOf(head));
  Up(panel, CentreOf(head));
  EXPECT_EQ(picker.Shown, (std::vector<std::wstring>{L"Part0", L"Part1"}));
  EXPECT_TRUE(sections[0]->Collapsed());
  EXPECT_FALSE(sections[1]->Collapsed());
  EXPECT_FALSE(head->Multiple());
}

TEST_F(Sections, ArrowHintsNameTheirSections) {
  auto* panel = NewPanel(2);
  auto* first = static_cast<TXPCollapseSection*>(panel->Sections(0));
  first->SetCaption(L"Pins");
  std::wstring hint = L"framework";
  first->CollapseButton()->HintShow(hint);
  EXPECT_EQ(hint, L"Hide Pins");
  first->SetCollapsed(true);
  first->ExpandButton()->HintShow(hint);
  EXPECT_EQ(hint, L"Show Pins");
  bool asked = false;
  panel->OnGetButtonHint = [&](TXPCustomCollapseSectionsPanel* ASender,
                               const std::vector<TXPCustomCollapseSection*>& ASections,
                               std::wstring& AHint, bool AIsExpand) {
    asked = ASender == panel && ASections.size() == 1 && AIsExpand;
    AHint = L"Bring back " + ASections.front()->Caption();
  };
  first->ExpandButton()->HintShow(hint);
  EXPECT_TRUE(asked);
  EXPECT_EQ(hint, L"Bring back Pins");
}

TEST_F(Sections, MakingAFoldedSectionVisibleUnfoldsIt) {
  auto* panel = NewPanel(2);
  auto* first = static_cast<TXPCollapseSection*>(panel->Sections(0));
  first->SetCollapsed(true);
  first->SetVisible(false);
  EXPECT_TRUE(first->Collapsed());
  first->SetVisible(true);
  EXPECT_FALSE(first->Collapsed());
  first->SetCollapsible(false);
  first->SetCollapsed(true);
  EXPECT_FALSE(first->Collapsed()) << "a section that may not fold stays open";
  EXPECT_FALSE(first->CollapseButton()->Visible());
}

TEST_F(Sections, OnlyTheUsersFoldsAnimate) {
  TCountingSleep sleeps;
  TSeamScope<TSleepSeam> scope(sleeps);
  auto* panel = NewPanel(2);
  panel->SetCanCloseAll(true);
  auto* first = static_cast<TXPCollapseSection*>(panel->Sections(0));
  struct TCase {
    TXPAnimationKind Kind;
    bool ByUser;
    bool Sleeps;
  };
  const TCase cases[] = {{xakNone, true, false},
                         {xakFocusRects, false, false},
                         {xakFocusRects, true, true},
                         {xakFading, true, true}};
  for (const TCase& c : cases) {
    panel->CollapseProperties().SetAnimationKind(c.Kind);
    sleeps.Calls = 0;
    if (c.ByUser) {
      first->UserSetCollapsed(true);
      first->UserSetCollapsed(false);
    } else {
      first->SetCollapsed(true);
      first->SetCollapsed(false);
    }
    EXPECT_EQ(sleeps.Calls > 0, c.Sleeps) << "kind " << c.Kind << " by user " << c.ByUser;
    EXPECT_FALSE(first->Collapsed());
  }
}

} // namespace
