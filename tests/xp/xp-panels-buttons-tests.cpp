#include "fixed-theme.h"
#include "ledger-balance.h"
#include "xp-ext-panel.h"
#include "xp-speed-button.h"

#include "application.h"
#include "menus.h"
#include "resource-ledger.h"
#include "seams.h"
#include "smooth-text.h"
#include "support/test-harness.h"
#include "timers.h"
#include "xp-colors.h"
#include "xp-controls.h"
#include "xp-graphics.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A parent form on the screen in a colour no panel or button uses.
constexpr TColor kParentColor = 0x00A000;

class PanelsButtons : public ::testing::Test {
protected:
  void SetUp() override {
    FStart = std::make_unique<TLedgerKindCounts>(
        std::initializer_list<TResourceKind>{TResourceKind::Window, TResourceKind::GdiObject,
                                             TResourceKind::DeviceContext, TResourceKind::Timer});
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(40, 40, 640, 420);
    Form->SetColor(kParentColor);
  }
  void TearDown() override {
    Owner.reset();
    TSpeedResourceManager::FreeImages();
    TSmoothTextRenderer::Shutdown();
    XPGraphicsShutdown();
    FinalizeGraphics();
    EXPECT_EQ(TTimer::RunningCount(), 0u);
    FStart->ExpectUnchanged();
  }

  TXPExtPanel* NewPanel(TXPExtPanelKind AKind, int AWidth, int AHeight) {
    auto* panel = new TXPExtPanel(Owner.get());
    panel->SetKind(AKind);
    panel->SetBounds(8, 8, AWidth, AHeight);
    panel->SetParent(Form);
    return panel;
  }
  template <typename TButton = TXPCustomSpeedButton> TButton* NewButton(int ALeft, int ATop) {
    auto* button = new TButton(Owner.get());
    button->SetBounds(ALeft, ATop, 24, 24);
    button->SetParent(Form);
    return button;
  }

  // Left press and release at client points of the button, as the window
  // gets them.
  static void Press(TWinControl* AButton, POINT AAt) {
    SendMessageW(AButton->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(AAt.x, AAt.y));
  }
  static void Release(TWinControl* AButton, POINT AAt) {
    SendMessageW(AButton->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(AAt.x, AAt.y));
  }
  static void ClickAt(TWinControl* AButton, POINT AAt = {8, 8}) {
    Press(AButton, AAt);
    Release(AButton, AAt);
  }

  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;

private:
  std::unique_ptr<TLedgerKindCounts> FStart;
};

bool NearColor(TColor A, TColor B, int ATolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = (A >> shift) & 0xFF, b = (B >> shift) & 0xFF;
    if (a - b > ATolerance || b - a > ATolerance)
      return false;
  }
  return true;
}

// The smallest rectangle of pixels in AColor; empty when there is none.
RECT BoundsOf(TBitmap& ABitmap, TColor AColor) {
  RECT bounds{ABitmap.Width(), ABitmap.Height(), 0, 0};
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x)
      if (harness::PixelAt(ABitmap, x, y) == AColor) {
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
  return bounds.right == 0 ? RECT{0, 0, 0, 0} : bounds;
}

// Whether every pixel of the area has the colour.
bool AreaIs(TBitmap& ABitmap, const RECT& AArea, TColor AColor) {
  for (int y = AArea.top; y < AArea.bottom; ++y)
    for (int x = AArea.left; x < AArea.right; ++x)
      if (harness::PixelAt(ABitmap, x, y) != AColor)
        return false;
  return true;
}

// An alpha glyph of AWidth x AHeight whose premultiplied pixels (blue,
// green, red, alpha) come from APixel (x, y from the top).
void MakeGlyph(TAlphaBitmap& AGlyph, int AWidth, int AHeight,
               const std::function<uint32_t(int, int)>& APixel) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = AWidth;
  info.bmiHeader.biHeight = AHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  auto* pixels = static_cast<uint32_t*>(bits);
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x)
      pixels[(AHeight - 1 - y) * AWidth + x] = APixel(x, y);
  AGlyph.SetHandle(section);
}

std::string Describe(const RECT& ARect) {
  return "(" + std::to_string(ARect.left) + ", " + std::to_string(ARect.top) + ", " +
         std::to_string(ARect.right) + ", " + std::to_string(ARect.bottom) + ")";
}

// ===========================================================================
// Extended panel

TEST_F(PanelsButtons, BackgroundPanePixelsFollowTheThemeState) {
  struct TCase {
    int State;
    POINT At;
    TColor Expected;
  };
  const TCase cases[] = {
      // The emulated look's frames and face.
      {1, {0, 0}, TColor(0xF7F7FF)},
      {1, {2, 2}, TColor(0x9C9FA0)},
      {1, {4, 4}, TColor(0xD8E9EC)},
      {1, {1, 20}, TColor(0xF7F7FF)},
      {1, {3, 20}, clWhite},
      // Classic: a push frame whose face is the button face colour.
      {0, {90, 20}, ColorToRGB(clBtnFace)},
  };
  TXPExtPanel* panel = NewPanel(epkBackground, 185, 41);
  for (const TCase& c : cases) {
    TFixedTheme theme(c.State);
    TSeamScope<TThemeSeam> scope(theme);
    auto image = harness::RenderControl(*panel);
    EXPECT_EQ(harness::PixelAt(*image, c.At.x, c.At.y), c.Expected)
        << "state " << c.State << " at (" << c.At.x << ", " << c.At.y << ")";
  }
}

TEST_F(PanelsButtons, TopShadowDrawsFourBlendedRowsThenTheColour) {
  const TColor begin = 0x202020, end = 0xE0E0E0, color = 0x3366CC;
  // 0x20 + t x 0xC0 for t = 0, 0.6, 0.8 and 0.95.
  const TColor rows[] = {0x202020, 0x939393, 0xBABABA, 0xD6D6D6};
  for (int height : {30, 3}) {
    TXPExtPanel* panel = NewPanel(epkGradient, 60, height);
    panel->SetBeginColor(begin);
    panel->SetEndColor(end);
    panel->SetColor(color);
    ASSERT_EQ(panel->GradientStyle(), gsTopShadow);
    auto image = harness::RenderControl(*panel);
    for (int y = 0; y < height; ++y)
      for (int x : {0, 30, 59})
        EXPECT_EQ(harness::PixelAt(*image, x, y), y < 4 ? rows[y] : color)
            << "height " << height << " row " << y;
    TComponent::Free(panel);
  }
}

TEST_F(PanelsButtons, BitmapLandsWhereStretchingAlignmentAndLayoutPutIt) {
  struct TCase {
    TXPGraphicStretching Stretching;
    TAlignment Alignment;
    TTextLayout Layout;
    RECT Expected;
  };
  const TCase cases[] = {
      {xgsProportional, taLeftJustify, tlTop, {0, 0, 200, 100}},
      {xgsProportional, taLeftJustify, tlCenter, {0, 50, 200, 150}},
      {xgsNone, taRightJustify, tlBottom, {100, 150, 200, 200}},
      {xgsNone, taCenter, tlCenter, {50, 75, 150, 125}},
      {xgsStandard, taLeftJustify, tlTop, {0, 0, 200, 200}},
      {xgsHorizontal, taLeftJustify, tlBottom, {0, 100, 200, 200}},
  };
  TBitmap picture(100, 50, TPixelFormat::pf32bit);
  picture.Canvas().Brush().SetColor(clRed);
  picture.Canvas().FillRect(RECT{0, 0, 100, 50});
  for (const TCase& c : cases) {
    TXPExtPanel* panel = NewPanel(epkBitmap, 200, 200);
    panel->SetTransparent(false);
    panel->SetColor(clBlue);
    panel->SetBitmap(&picture);
    panel->SetStretching(c.Stretching);
    panel->SetAlignment(c.Alignment);
    panel->SetLayout(c.Layout);
    auto image = harness::RenderControl(*panel);
    const RECT red = BoundsOf(*image, clRed);
    EXPECT_TRUE(EqualRect(&red, &c.Expected))
        << "stretching " << int(c.Stretching) << ": " << Describe(red);
    EXPECT_TRUE(AreaIs(*image, red, clRed)) << "the bitmap has holes";
    // Around the bitmap the panel's colour, not the parent.
    EXPECT_EQ(BoundsOf(*image, kParentColor).right, 0);
    TComponent::Free(panel);
  }
}

TEST_F(PanelsButtons, TransparentBitmapLetsItsKeyColourShowTheParent) {
  TBitmap picture(20, 20, TPixelFormat::pf32bit);
  picture.Canvas().Brush().SetColor(clWhite);
  picture.Canvas().FillRect(RECT{0, 0, 20, 20});
  picture.Canvas().Brush().SetColor(clRed);
  picture.Canvas().FillRect(RECT{5, 5, 15, 15});
  TXPExtPanel* panel = NewPanel(epkBitmap, 40, 40);
  panel->SetBitmap(&picture);
  panel->SetBitmapTransparent(true);
  Form->Show();
  auto image = harness::RenderControl(*panel);
  EXPECT_EQ(harness::PixelAt(*image, 10, 10), clRed);
  // The white of the bottom-left pixel and the area outside the bitmap.
  EXPECT_EQ(harness::PixelAt(*image, 1, 1), kParentColor);
  EXPECT_EQ(harness::PixelAt(*image, 30, 30), kParentColor);
}

TEST_F(PanelsButtons, SimplePanelShowsItsColourOrBlendsOverTheParent) {
  struct TCase {
    bool Transparent;
    uint8_t Alpha;
    TColor Expected;
  };
  const TCase cases[] = {
      {false, 0, clWhite},
      {true, 0, kParentColor},
      {true, 255, clWhite},
      // White over 0x00A000 at 128/255.
      {true, 128, TColor(0x80D080)},
  };
  for (const TCase& c : cases) {
    TXPExtPanel* panel = NewPanel(epkSimple, 50, 30);
    panel->SetColor(clWhite);
    panel->SetTransparent(c.Transparent);
    panel->SetAlphaBlendValue(c.Alpha);
    Form->Show();
    auto image = harness::RenderControl(*panel);
    EXPECT_TRUE(NearColor(harness::PixelAt(*image, 25, 15), c.Expected, 2))
        << "transparent " << c.Transparent << " alpha " << int(c.Alpha) << ": " << std::hex
        << harness::PixelAt(*image, 25, 15);
    TComponent::Free(panel);
  }
}

TEST_F(PanelsButtons, BorderDrawsOnlyTheShownSides) {
  constexpr int W = 80, H = 50, R = 10;
  struct TCase {
    const char* Name;
    bool Round;
    bool Top, Bottom, Left, Right;
  };
  const TCase cases[] = {
      {"square, all", false, true, true, true, true},
      {"square, no right", false, true, true, true, false},
      {"square, no top", false, false, true, true, true},
      {"round, all", true, true, true, true, true},
      {"round, no right", true, true, true, true, false},
      {"round, no bottom", true, true, false, true, true},
  };
  for (const TCase& c : cases) {
    TXPExtPanel* panel = NewPanel(epkSimple, W, H);
    panel->SetTransparent(false);
    panel->SetColor(clWhite);
    panel->SetBorderColor(clBlack);
    panel->SetShowBorder(true);
    panel->SetRoundCorners(c.Round);
    panel->SetRadius(c.Round ? R : 0);
    panel->SetShowTop(c.Top);
    panel->SetShowBottom(c.Bottom);
    panel->SetShowLeft(c.Left);
    panel->SetShowRight(c.Right);
    auto image = harness::RenderControl(*panel);
    const int r = c.Round ? R : 0;
    // The middle of each side, away from the corners.
    const RECT right{W - r - 3, r + 3, W, H - r - 3};
    const RECT top{r + 3, 0, W - r - 3, 2};
    const RECT bottom{r + 3, H - 2, W - r - 3, H};
    const RECT left{0, r + 3, 2, H - r - 3};
    EXPECT_EQ(AreaIs(*image, right, clWhite), !c.Right) << c.Name << ": right side";
    EXPECT_EQ(AreaIs(*image, top, clWhite), !c.Top) << c.Name << ": top side";
    EXPECT_EQ(AreaIs(*image, bottom, clWhite), !c.Bottom) << c.Name << ": bottom side";
    EXPECT_EQ(AreaIs(*image, left, clWhite), !c.Left) << c.Name << ": left side";
    if (c.Round) {
      // Corners: an arc only where both its sides are shown.
      const RECT topRight{W - r, 0, W, r};
      const RECT bottomRight{W - r, H - r, W, H};
      EXPECT_EQ(AreaIs(*image, topRight, clWhite), !(c.Top && c.Right)) << c.Name;
      EXPECT_EQ(AreaIs(*image, bottomRight, clWhite), !(c.Bottom && c.Right)) << c.Name;
    }
    TComponent::Free(panel);
  }
}

TEST_F(PanelsButtons, SettersRepaintOnlyWhereTheKindShowsTheValue) {
  struct TCase {
    const char* Name;
    TXPExtPanelKind Kind;
    std::function<void(TXPExtPanel*)> Change;
    bool Repaints;
  };
  const TCase cases[] = {
      {"BeginColor on simple", epkSimple, [](TXPExtPanel* P) { P->SetBeginColor(clRed); }, false},
      {"BeginColor on gradient", epkGradient, [](TXPExtPanel* P) { P->SetBeginColor(clRed); },
       true},
      {"EndColor on gradient with bitmap", epkGradientWithBitmap,
       [](TXPExtPanel* P) { P->SetEndColor(clRed); }, true},
      {"Radius on simple", epkSimple, [](TXPExtPanel* P) { P->SetRadius(6); }, true},
      {"Radius on gradient", epkGradient, [](TXPExtPanel* P) { P->SetRadius(6); }, false},
      {"ShowRight on gradient", epkGradient, [](TXPExtPanel* P) { P->SetShowRight(false); }, false},
      {"ShowTop on gradient", epkGradient, [](TXPExtPanel* P) { P->SetShowTop(false); }, true},
      {"Alignment on bitmap", epkBitmap, [](TXPExtPanel* P) { P->SetAlignment(taCenter); }, true},
      {"Alignment on simple", epkSimple, [](TXPExtPanel* P) { P->SetAlignment(taCenter); }, false},
      {"AlphaBlendValue on wavy", epkWavy, [](TXPExtPanel* P) { P->SetAlphaBlendValue(9); }, true},
      {"same Kind again", epkWavy, [](TXPExtPanel* P) { P->SetKind(epkWavy); }, false},
  };
  Form->Show();
  for (const TCase& c : cases) {
    TXPExtPanel* panel = NewPanel(c.Kind, 60, 40);
    harness::PumpMessages();
    ValidateRect(panel->Handle(), nullptr);
    c.Change(panel);
    RECT update{};
    EXPECT_EQ(GetUpdateRect(panel->Handle(), &update, FALSE) != FALSE, c.Repaints) << c.Name;
    TComponent::Free(panel);
  }
}

TEST_F(PanelsButtons, UseDefaultColorFollowsTheLibraryFaceUntilAColourIsSet) {
  TXPExtPanel* panel = NewPanel(epkSimple, 40, 40);
  EXPECT_TRUE(panel->UseDefaultColor());
  EXPECT_EQ(panel->Color(), clXPBtnFace);
  panel->SetColor(clRed);
  EXPECT_FALSE(panel->UseDefaultColor());
  panel->SetUseDefaultColor(true);
  EXPECT_TRUE(panel->UseDefaultColor());
  EXPECT_EQ(panel->Color(), clXPBtnFace);

  // A colour read from a layout keeps the switch; the end of loading then
  // puts the library face back.
  {
    TComponentLoading loading(panel);
    panel->SetColor(clRed);
    EXPECT_TRUE(panel->UseDefaultColor());
    loading.End();
  }
  EXPECT_EQ(panel->Color(), clXPBtnFace);
}

TEST_F(PanelsButtons, ChildrenAlignInsideTheBorderWidthAndThePaneFrame) {
  struct TCase {
    TXPExtPanelKind Kind;
    int BorderWidth;
    int Inset;
  };
  const TCase cases[] = {{epkBackground, 0, 3}, {epkBackground, 2, 5}, {epkGradient, 2, 2}};
  for (const TCase& c : cases) {
    TXPExtPanel* panel = NewPanel(c.Kind, 100, 60);
    panel->SetBorderWidth(c.BorderWidth);
    auto* child = new TXPExtPanel(Owner.get());
    child->SetParent(panel);
    child->SetAlign(alClient);
    const RECT expected{c.Inset, c.Inset, 100 - c.Inset, 60 - c.Inset};
    const RECT bounds = child->BoundsRect();
    EXPECT_TRUE(EqualRect(&bounds, &expected))
        << "kind " << int(c.Kind) << ": " << Describe(bounds);
    // A panel never takes a window region.
    EXPECT_EQ(GetWindowRgn(panel->Handle(), CreateRectRgn(0, 0, 0, 0)), ERROR);
    TComponent::Free(panel);
  }
}

TEST_F(PanelsButtons, OnPaintReplacesBackgroundAndBorder) {
  TXPExtPanel* panel = NewPanel(epkSimple, 40, 30);
  panel->SetTransparent(false);
  panel->SetColor(clWhite);
  panel->SetShowBorder(true);
  int paints = 0;
  panel->OnPaint = [&](TControl*) { ++paints; };
  TBitmap image(40, 30, TPixelFormat::pf32bit);
  image.Canvas().Brush().SetColor(clFuchsia);
  image.Canvas().FillRect(RECT{0, 0, 40, 30});
  panel->PaintTo(image.Canvas().Handle(), 0, 0);
  GdiFlush();
  EXPECT_EQ(paints, 1);
  EXPECT_TRUE(AreaIs(image, RECT{0, 0, 40, 30}, clFuchsia));
}

// ===========================================================================
// Speed buttons

TEST_F(PanelsButtons, GroupedButtonsStayDownAndReleaseEachOther) {
  struct TCase {
    const char* Name;
    int Groups[3];
    bool AllowAllUp;
    std::vector<int> Clicks;
    bool Down[3];
  };
  const TCase cases[] = {
      {"no group never stays down", {0, 0, 0}, false, {0}, {false, false, false}},
      {"grouped click stays down", {1, 1, 1}, false, {0}, {true, false, false}},
      {"a second click keeps it down", {1, 1, 1}, false, {0, 0}, {true, false, false}},
      {"AllowAllUp lets it up again", {1, 1, 1}, true, {0, 0}, {false, false, false}},
      {"pressing another releases the first", {1, 1, 1}, false, {0, 1}, {false, true, false}},
      {"another group is left alone", {1, 1, 2}, false, {0, 2, 1}, {false, true, true}},
  };
  for (const TCase& c : cases) {
    TXPCustomSpeedButton* buttons[3];
    int clicks[3] = {};
    for (int i = 0; i < 3; ++i) {
      buttons[i] = NewButton(10 + 30 * i, 10);
      buttons[i]->SetGroupIndex(c.Groups[i]);
      buttons[i]->SetAllowAllUp(c.AllowAllUp);
      buttons[i]->OnClick = [&clicks, i](TControl*) { ++clicks[i]; };
    }
    int expectedClicks[3] = {};
    for (int index : c.Clicks) {
      ClickAt(buttons[index]);
      ++expectedClicks[index];
    }
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(buttons[i]->Down(), c.Down[i]) << c.Name << ", button " << i;
      EXPECT_EQ(buttons[i]->State(), c.Down[i] ? bsExclusive : bsUp) << c.Name << ", button " << i;
      EXPECT_EQ(clicks[i], expectedClicks[i]) << c.Name << ", button " << i;
    }
    for (auto* button : buttons)
      TComponent::Free(button);
  }
}

TEST_F(PanelsButtons, ReleasingOutsideDoesNotClickAndRestoresTheLook) {
  struct TCase {
    int Group;
    bool DownBefore;
    TButtonState After;
  };
  const TCase cases[] = {{0, false, bsUp}, {1, false, bsUp}, {1, true, bsExclusive}};
  for (const TCase& c : cases) {
    TXPCustomSpeedButton* button = NewButton(10, 10);
    button->SetGroupIndex(c.Group);
    if (c.DownBefore)
      ClickAt(button);
    int clicks = 0;
    button->OnClick = [&](TControl*) { ++clicks; };
    Press(button, {8, 8});
    EXPECT_TRUE(button->Dragging());
    EXPECT_EQ(button->State(), c.DownBefore ? bsExclusive : bsDown);
    Release(button, {60, 8});
    EXPECT_EQ(clicks, 0) << "group " << c.Group;
    EXPECT_EQ(button->State(), c.After) << "group " << c.Group;
    EXPECT_EQ(button->Down(), c.DownBefore);
    EXPECT_FALSE(button->Dragging());
    TComponent::Free(button);
  }
}

TEST_F(PanelsButtons, GlyphStripWidthGivesTheNumberOfImages) {
  struct TCase {
    int Width, Height, NumGlyphs;
  };
  const TCase cases[] = {{64, 16, 4}, {40, 16, 1}, {16, 16, 1}, {32, 16, 2}, {48, 16, 3}};
  TXPCustomSpeedButton* button = NewButton(10, 10);
  for (const TCase& c : cases) {
    TAlphaBitmap strip;
    MakeGlyph(strip, c.Width, c.Height, [](int, int) { return 0xFF808080u; });
    button->SetNumGlyphs(1);
    button->SetGlyph(&strip);
    EXPECT_EQ(button->NumGlyphs(), c.NumGlyphs) << c.Width << " x " << c.Height;
  }
}

TEST_F(PanelsButtons, StateIndexFollowsHoverPressDownAndEnabling) {
  struct TCase {
    const char* Name;
    bool Flat;
    int Group;
    std::function<void(TXPCustomSpeedButton*)> Act;
    int Index;
  };
  const TCase cases[] = {
      {"flat and idle", true, 0, [](TXPCustomSpeedButton*) {}, 0},
      {"raised and idle", false, 0, [](TXPCustomSpeedButton*) {}, 1},
      {"flat under the mouse", true, 0, [](TXPCustomSpeedButton* B) { B->MouseEnter(0); }, 1},
      {"held down", true, 0,
       [](TXPCustomSpeedButton* B) {
         Press(B, {8, 8});
       },
       2},
      {"disabled", false, 0, [](TXPCustomSpeedButton* B) { B->SetEnabled(false); }, 3},
      {"stays down in its group", true, 1, [](TXPCustomSpeedButton* B) { ClickAt(B); }, 4},
      {"down and under the mouse", true, 1,
       [](TXPCustomSpeedButton* B) {
         ClickAt(B);
         B->MouseEnter(kSpeedHotMarker);
       },
       5},
      {"left again", true, 0,
       [](TXPCustomSpeedButton* B) {
         B->MouseEnter(0);
         B->MouseLeave(0);
       },
       0},
  };
  for (const TCase& c : cases) {
    TXPCustomSpeedButton* button = NewButton(10, 10);
    button->SetFlat(c.Flat);
    button->SetGroupIndex(c.Group);
    c.Act(button);
    EXPECT_EQ(button->GetStateIndex(), c.Index) << c.Name;
    Release(button, {8, 8});
    TComponent::Free(button);
  }
}

TEST_F(PanelsButtons, EraseLeavesTheBackgroundToThePaint) {
  const bool kTransparent[] = {true, false};
  for (bool transparent : kTransparent) {
    TXPCustomSpeedButton* button = NewButton(10, 10);
    button->SetTransparent(transparent);
    button->SetColor(clBlack);
    TBitmap target(24, 24, TPixelFormat::pf32bit);
    target.Canvas().Brush().SetColor(TColor(0x123456));
    target.Canvas().FillRect(RECT{0, 0, 24, 24});
    SendMessageW(button->Handle(), WM_ERASEBKGND, WPARAM(target.Canvas().Handle()), 0);
    EXPECT_TRUE(AreaIs(target, RECT{0, 0, 24, 24}, TColor(0x123456)))
        << (transparent ? "transparent" : "opaque");
    TComponent::Free(button);
  }
}

TEST_F(PanelsButtons, SharedImagesLoadTogetherAndGoTogether) {
  struct TCase {
    const char* Name;
    TAlphaImage& (*Image)();
    unsigned Width, Height;
  };
  const TCase cases[] = {
      {"XPSPEEDBTN", &TSpeedResourceManager::SpeedButton, 20, 138},
      {"XPSPEEDSPLIT", &TSpeedResourceManager::SpeedSplit, 24, 138},
      {"XPSPEEDDROPDOWN", &TSpeedResourceManager::SpeedDropDown, 11, 138},
      {"XPSPINBTNDOWN", &TSpeedResourceManager::XPSpinBtnDown, 15, 64},
      {"XPSPINBTNLEFT", &TSpeedResourceManager::XPSpinBtnLeft, 15, 64},
      {"XPSPINBTNRIGHT", &TSpeedResourceManager::XPSpinBtnRight, 15, 64},
      {"XPSPINBTNUP", &TSpeedResourceManager::XPSpinBtnUp, 15, 64},
      {"XPSPINGLYPHDOWN", &TSpeedResourceManager::XPSpinGlyphDown, 7, 24},
      {"XPSPINGLYPHUP", &TSpeedResourceManager::XPSpinGlyphUp, 7, 24},
      {"XPSPINGLYPHLEFT", &TSpeedResourceManager::XPSpinGlyphLeft, 6, 28},
      {"XPSPINGLYPHRIGHT", &TSpeedResourceManager::XPSpinGlyphRight, 6, 28},
  };
  const size_t before = TResourceLedger::Count(TResourceKind::GdiObject);
  EXPECT_FALSE(TSpeedResourceManager::Loaded());
  for (const TCase& c : cases) {
    TAlphaImage& image = c.Image();
    EXPECT_EQ(image.ResName(), std::wstring(c.Name, c.Name + strlen(c.Name)));
    EXPECT_EQ(image.Width(), c.Width) << c.Name;
    EXPECT_EQ(image.Height(), c.Height) << c.Name;
  }
  TBitmap& arrows = TSpeedResourceManager::StdArrows();
  EXPECT_EQ(arrows.Width(), 16);
  EXPECT_EQ(arrows.Height(), 32);
  EXPECT_TRUE(TSpeedResourceManager::Loaded());
  TSpeedResourceManager::FreeImages();
  EXPECT_FALSE(TSpeedResourceManager::Loaded());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::GdiObject), before);
}

// A fading button with an opaque mid-grey 16 x 16 glyph, centred.
class FadingButton : public PanelsButtons {
protected:
  void SetUp() override {
    PanelsButtons::SetUp();
    Button = NewButton(10, 10);
    Button->SetTransparent(false);
    Button->SetColor(clBlack);
    Button->SetKind(xskFading);
    TAlphaBitmap glyph;
    MakeGlyph(glyph, 16, 16, [](int, int) { return 0xFF808080u; });
    Button->SetGlyph(&glyph);
    ASSERT_NE(Button->VeilBitmap(), nullptr);
  }
  // The green channel of the glyph's centre.
  int GlyphLevel() {
    auto image = harness::RenderControl(*Button);
    return (harness::PixelAt(*image, 12, 12) >> 8) & 0xFF;
  }
  // One tick of the fade timer, as the timer window gets it.
  void Tick() {
    TTimer* timer = Button->FadeTimer();
    ASSERT_NE(timer, nullptr) << "no fade is running";
    EXPECT_EQ(timer->Interval(), kSpeedFadeInterval);
    SendMessageW(TTimer::Window(), WM_TIMER, timer->TimerId(), 0);
  }
  TXPCustomSpeedButton* Button = nullptr;
};

TEST_F(FadingButton, HoverLightensTheGlyphInEightTicksAndLeavingReversesIt) {
  const int idle = GlyphLevel();
  EXPECT_EQ(idle, 0x80);
  Button->MouseEnter(0);
  EXPECT_TRUE(Button->Hot());
  std::vector<int> levels{GlyphLevel()};
  for (int i = 0; i < kSpeedFadeSteps; ++i) {
    Tick();
    levels.push_back(GlyphLevel());
  }
  EXPECT_EQ(Button->FadeTimer(), nullptr) << "the fade runs on after eight steps";
  EXPECT_EQ(TTimer::RunningCount(), 0u);
  for (size_t i = 1; i < levels.size(); ++i)
    EXPECT_GT(levels[i], levels[i - 1]) << "step " << i;
  // Eight steps of 3 x 4 blend 96/255 of white over the grey.
  EXPECT_NEAR(levels.back(), 0x80 + (0xFF - 0x80) * 96 / 255, 2);

  Button->MouseLeave(0);
  EXPECT_FALSE(Button->Hot());
  std::vector<int> back{GlyphLevel()};
  for (int i = 0; i < kSpeedFadeSteps; ++i) {
    Tick();
    back.push_back(GlyphLevel());
  }
  for (size_t i = 1; i < back.size(); ++i)
    EXPECT_LT(back[i], back[i - 1]) << "step " << i;
  EXPECT_EQ(back.back(), idle);
}

TEST_F(FadingButton, TheMarkedNotificationUpdatesHotWithoutFading) {
  Button->MouseEnter(kSpeedHotMarker);
  EXPECT_TRUE(Button->Hot());
  EXPECT_EQ(Button->FadeTimer(), nullptr);
  EXPECT_EQ(Button->FadeMode(), xfmNone);
}

TEST_F(FadingButton, DisablingStopsTheFade) {
  Button->MouseEnter(0);
  Tick();
  Button->SetEnabled(false);
  EXPECT_EQ(Button->FadeTimer(), nullptr);
  EXPECT_EQ(Button->FadeMode(), xfmNone);
  EXPECT_EQ(TTimer::RunningCount(), 0u);
}

TEST_F(FadingButton, DestroyingTheButtonMidFadeStopsItsTimer) {
  Button->MouseEnter(0);
  Tick();
  Tick();
  const UINT_PTR stale = Button->FadeTimer()->TimerId();
  HWND timerWindow = TTimer::Window();
  TComponent::Free(Button);
  EXPECT_EQ(TTimer::RunningCount(), 0u);
  // A tick that was already on its way finds nothing.
  if (IsWindow(timerWindow))
    SendMessageW(timerWindow, WM_TIMER, stale, 0);
}

TEST_F(FadingButton, ANewHoverAfterAFinishedFadeStartsAgain) {
  Button->MouseEnter(0);
  for (int i = 0; i < kSpeedFadeSteps; ++i)
    Tick();
  Button->MouseLeave(0);
  EXPECT_EQ(Button->FadeStep(), 0);
  EXPECT_EQ(Button->FadeMode(), xfmFadeOut);
  ASSERT_NE(Button->FadeTimer(), nullptr);
  Tick();
  EXPECT_EQ(Button->FadeStep(), 1);
}

// ---------------------------------------------------------------------------
// The drop-down part under real input

class TRecordingPopup : public TPopupMenuSeam {
public:
  std::function<void(POINT)> OnTrack;
  UINT Track(HMENU, UINT, int AX, int AY, HWND) override {
    OnTrack(POINT{AX, AY});
    return 0;
  }
};

class DropDownInput : public PanelsButtons {
protected:
  void SetUp() override {
    PanelsButtons::SetUp();
    Form->Show();
    SetForegroundWindow(Form->Handle());
    harness::PumpMessages();
  }
  // The menu is shown for the application's window.
  void TearDown() override {
    ReleaseApplication();
    PanelsButtons::TearDown();
  }
  static bool PumpUntil(const std::function<bool()>& ADone) {
    for (int round = 0; round < 200 && !ADone(); ++round) {
      harness::PumpMessages();
      if (!ADone())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return ADone();
  }
  static void MouseTo(POINT AScreen, DWORD AFlags) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = LONG((AScreen.x * 65535 + width / 2) / (width - 1));
    input.mi.dy = LONG((AScreen.y * 65535 + height / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | AFlags;
    ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
  }
};

TEST_F(DropDownInput, ArrowClickOpensTheMenuBelowTheButtonWithoutPressingIt) {
  auto* button = NewButton(20, 20);
  button->SetBounds(20, 20, 60, 24);
  button->SetStyle(xssDropDown);
  auto* menu = new TPopupMenu(Owner.get());
  auto* item = new TMenuItem(menu);
  item->SetCaption(L"Item");
  menu->Items()->Add(item);
  button->SetDropdownMenu(menu);
  int clicks = 0;
  button->OnClick = [&](TControl*) { ++clicks; };

  TRecordingPopup popup;
  std::vector<POINT> shownAt;
  bool droppedWhileShown = false;
  popup.OnTrack = [&](POINT APoint) {
    shownAt.push_back(APoint);
    droppedWhileShown = button->DropdownDown() && button->GetArrowStateIndex() == 2;
  };
  TSeamScope<TPopupMenuSeam> scope(popup);

  MouseTo(button->ClientToScreen({60 - 6, 12}), 0);
  MouseTo(button->ClientToScreen({60 - 6, 12}), MOUSEEVENTF_LEFTDOWN);
  MouseTo(button->ClientToScreen({60 - 6, 12}), MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(PumpUntil([&] { return !shownAt.empty() && !button->DropdownDown(); }))
      << "the menu never showed";
  harness::PumpMessages();
  const POINT corner = button->ClientToScreen({0, 24});
  EXPECT_EQ(shownAt.size(), 1u);
  EXPECT_EQ(shownAt[0].x, corner.x);
  EXPECT_EQ(shownAt[0].y, corner.y);
  EXPECT_TRUE(droppedWhileShown);
  EXPECT_EQ(menu->PopupComponent(), button);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(button->State(), bsUp);

  // The body of the same button clicks as usual.
  MouseTo(button->ClientToScreen({10, 12}), MOUSEEVENTF_LEFTDOWN);
  MouseTo(button->ClientToScreen({10, 12}), MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; })) << "the body never clicked";
  EXPECT_EQ(shownAt.size(), 1u);
}

TEST_F(DropDownInput, AButtonReleasedUnderTheCursorIsHotAgain) {
  struct TCase {
    const char* Name;
    int Group;
    int Index;
  };
  const TCase cases[] = {{"plain click", 0, 1}, {"stays down in its group", 1, 5}};
  for (const TCase& c : cases) {
    auto* button = NewButton(20, 20);
    button->SetFlat(true);
    button->SetGroupIndex(c.Group);
    int clicks = 0;
    button->OnClick = [&](TControl*) { ++clicks; };
    MouseTo(button->ClientToScreen({12, 12}), 0);
    MouseTo(button->ClientToScreen({12, 12}), MOUSEEVENTF_LEFTDOWN);
    MouseTo(button->ClientToScreen({12, 12}), MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([&] { return clicks == 1; })) << c.Name << ": never clicked";
    harness::PumpMessages();
    EXPECT_TRUE(button->Hot()) << c.Name;
    EXPECT_EQ(button->GetStateIndex(), c.Index) << c.Name;
    EXPECT_EQ(GetCapture(), nullptr) << c.Name;
    TComponent::Free(button);
  }
}

// ---------------------------------------------------------------------------
// Scene: each panel kind and a row of speed buttons

class TSceneButton : public TXPCustomSpeedButton {
public:
  using TXPCustomSpeedButton::TXPCustomSpeedButton;
};

TEST_F(PanelsButtons, SceneXPPanelsInEveryThemeState) {
  const TXPExtPanelKind kinds[] = {epkBackground,  epkBitmap, epkGradient,
                                   epkSimple,      epkWavy,   epkGradientWithBitmap,
                                   epkVerticalWavy};
  TBitmap picture(24, 24, TPixelFormat::pf32bit);
  picture.Canvas().Brush().SetColor(TColor(0x2060C0));
  picture.Canvas().FillRect(RECT{0, 0, 24, 24});
  picture.Canvas().Brush().SetColor(clYellow);
  picture.Canvas().FillRect(RECT{6, 6, 18, 18});
  for (int i = 0; i < 7; ++i) {
    TXPExtPanel* panel = NewPanel(kinds[i], 84, 70);
    panel->SetBounds(8 + 90 * i, 8, 84, 70);
    panel->SetColor(TColor(0xC08040));
    panel->SetBeginColor(TColor(0x604020));
    panel->SetEndColor(TColor(0xF0E0D0));
    panel->SetBitmap(&picture);
    panel->SetStretching(xgsProportional);
    panel->SetAlignment(taCenter);
    panel->SetLayout(tlCenter);
    panel->SetShowBorder(kinds[i] == epkSimple);
    panel->SetRoundCorners(true);
    panel->SetRadius(8);
    panel->SetTransparent(kinds[i] != epkSimple);
  }
  TAlphaBitmap glyph;
  MakeGlyph(glyph, 16, 16, [](int x, int y) { return (x + y) % 8 < 4 ? 0xFF2050D0u : 0u; });
  struct TLook {
    const wchar_t* Caption;
    bool Flat;
    TXPSpeedStyle Style;
    TXPSpeedKind Kind;
    bool Down;
    bool Enabled;
  };
  const TLook looks[] = {
      {L"Plain", false, xssButton, xskStandard, false, true},
      {L"Flat", true, xssButton, xskStandard, false, true},
      {L"Down", false, xssButton, xskStandard, true, true},
      {L"Menu", false, xssDropDown, xskStandard, false, true},
      {L"Fade", false, xssButton, xskFading, false, true},
      {L"Off", false, xssButton, xskStandard, false, false},
  };
  for (int i = 0; i < 6; ++i) {
    auto* button = NewButton<TSceneButton>(8 + 100 * i, 90);
    button->SetBounds(8 + 100 * i, 90, 90, 26);
    button->SetCaption(looks[i].Caption);
    button->SetFlat(looks[i].Flat);
    button->SetStyle(looks[i].Style);
    button->SetKind(looks[i].Kind);
    button->SetGlyph(&glyph);
    button->SetGroupIndex(looks[i].Down ? 1 : 0);
    button->SetDown(looks[i].Down);
    button->SetEnabled(looks[i].Enabled);
  }
  Form->SetBounds(40, 40, 650, 124);
  for (int state : {0, 1, 2}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    auto image = harness::RenderControl(*Form);
    harness::SaveScreenshot(L"xp-panels-" + std::to_wstring(state), *image);
    // Every panel covers its place; the parent shows only between them.
    EXPECT_NE(harness::PixelAt(*image, 8 + 42, 8 + 35), kParentColor) << "state " << state;
  }
}

} // namespace
