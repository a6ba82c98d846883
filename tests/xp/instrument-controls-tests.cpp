#include "fixed-theme.h"
#include "instrument-controls.h"

#include "alpha-image.h"
#include "application.h"
#include "instrument-drawing.h"
#include "instrument-panel.h"
#include "resource-ledger.h"
#include "seams.h"
#include "support/test-harness.h"
#include "xp-colors.h"
#include "xp-controls.h"
#include "xp-ext-panel.h"
#include "xp-graphics.h"
#include "xp-speed-button.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A repeatable random source that counts what it is asked: every rendering
// of a grainy face asks it once per pixel.
class TCountingRandom : public TRandomSeam {
public:
  int Next(int ARange) override {
    ++Calls;
    FState = FState * 1103515245u + 12345u;
    return ARange < 1 ? 0 : int((FState >> 8) % unsigned(ARange));
  }
  double NextDouble() override { return double(Next(1 << 20)) / double(1 << 20); }
  long Calls = 0;

private:
  unsigned FState = 1;
};

// A plain windowed parent filled with its colour.
class TSurface : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
};

// Every test ends with the ledger where it began, once the shared images
// and the layer are freed.
class InstrumentControls : public ::testing::Test {
protected:
  void SetUp() override {
    XPLibraryShutdown();
    FStart = TResourceLedger::Total();
    for (int kind = 0; kind < int(TResourceKind::Count); ++kind)
      FCounts[kind] = TResourceLedger::Count(TResourceKind(kind));
    Owner = std::make_unique<TComponent>(nullptr);
  }
  void TearDown() override {
    Owner.reset();
    harness::PumpMessages();
    TInstrumentCheckImages::FreeImages();
    TInstrumentHeaderImages::FreeImages();
    TSpeedResourceManager::FreeImages();
    InstrumentPanelsShutdown();
    XPLibraryShutdown();
    FinalizeControls();
    FinalizeGraphics();
    EXPECT_EQ(TResourceLedger::Total(), FStart);
    for (int kind = 0; kind < int(TResourceKind::Count); ++kind)
      if (TResourceLedger::Count(TResourceKind(kind)) != FCounts[kind])
        ADD_FAILURE() << "left: " << TResourceLedger::Count(TResourceKind(kind)) - FCounts[kind]
                      << " of kind " << kind;
  }
  template <typename T> T* Add(TWinControl* AParent, RECT ABounds) {
    auto* control = new T(Owner.get());
    control->SetBoundsRect(ABounds);
    control->SetParent(AParent);
    return control;
  }
  TSurface* NewSurface(int AWidth, int AHeight, TColor AColor) {
    auto* surface = new TSurface(Owner.get());
    surface->SetBounds(40, 40, AWidth, AHeight);
    surface->SetColor(AColor);
    return surface;
  }
  TInstrumentBackgroundPanel* NewPlate(TInstrumentPanelStyle AStyle) {
    auto* plate = new TInstrumentBackgroundPanel(Owner.get());
    plate->SetBounds(40, 40, 724, 108);
    plate->SetStyle(AStyle);
    return plate;
  }

  std::unique_ptr<TComponent> Owner;

private:
  size_t FStart = 0;
  size_t FCounts[size_t(TResourceKind::Count)] = {};
};

TColor At(TBitmap& ABitmap, int AX, int AY) {
  return harness::PixelAt(ABitmap, AX, AY);
}

int Channel(TColor AColor, int AShift) {
  return (AColor >> AShift) & 0xFF;
}

// Each channel of AActual lies in [AExpected, AExpected + ASpread].
bool WithinGrain(TColor AActual, TColor AExpected, int ASpread) {
  for (int shift : {0, 8, 16}) {
    const int d = Channel(AActual, shift) - Channel(AExpected, shift);
    if (d < 0 || d > ASpread)
      return false;
  }
  return true;
}

// The smallest rectangle of pixels that differ from ABackground.
RECT InkBounds(TBitmap& ABitmap, const RECT& AArea, TColor ABackground) {
  RECT bounds{AArea.right, AArea.bottom, AArea.left, AArea.top};
  for (int y = AArea.top; y < AArea.bottom; ++y)
    for (int x = AArea.left; x < AArea.right; ++x)
      if (At(ABitmap, x, y) != ABackground) {
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
  return bounds;
}

void PressAndRelease(TWinControl& AWindow, int AX, int AY) {
  const LPARAM at = MAKELPARAM(AX, AY);
  SendMessageW(AWindow.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(AWindow.Handle(), WM_LBUTTONUP, 0, at);
}

// --- lamp check box --------------------------------------------------------------------------

TEST_F(InstrumentControls, CheckedFromCodeRaisesOnClickOnceAndNeverAgainForTheSameValue) {
  auto* surface = NewSurface(200, 40, clBlack);
  auto* lamp = Add<TInstrumentCheckBox>(surface, {10, 10, 110, 27});
  int clicks = 0;
  lamp->OnClick = [&](TControl*) { ++clicks; };

  lamp->SetChecked(true);
  EXPECT_TRUE(lamp->Checked());
  EXPECT_EQ(clicks, 1);
  lamp->SetChecked(true);
  EXPECT_EQ(clicks, 1) << "the same value changes nothing";
  lamp->SetChecked(false);
  EXPECT_EQ(clicks, 2);
}

TEST_F(InstrumentControls, CheckedSetInsideOnClickIsIgnoredAndAFailingHandlerLeavesNoGuard) {
  auto* surface = NewSurface(200, 40, clBlack);
  auto* lamp = Add<TInstrumentCheckBox>(surface, {10, 10, 110, 27});
  int clicks = 0;
  lamp->OnClick = [&](TControl*) {
    ++clicks;
    lamp->SetChecked(!lamp->Checked());
  };
  lamp->SetChecked(true);
  EXPECT_TRUE(lamp->Checked()) << "the handler's own change is ignored";
  EXPECT_EQ(clicks, 1);

  lamp->OnClick = [&](TControl*) { throw std::runtime_error("handler failed"); };
  surface->Show();
  harness::PumpMessages();
  ValidateRect(surface->Handle(), nullptr);
  EXPECT_THROW(lamp->SetChecked(false), std::runtime_error);
  EXPECT_FALSE(lamp->Checked()) << "the value was stored before the event";
  RECT stale{};
  EXPECT_TRUE(GetUpdateRect(surface->Handle(), &stale, FALSE))
      << "the lamp is repainted to show the stored value";
  EXPECT_TRUE(PtInRect(&stale, POINT{10, 10}));
  lamp->OnClick = [&](TControl*) { ++clicks; };
  lamp->SetChecked(true);
  EXPECT_TRUE(lamp->Checked()) << "the guard is cleared when the handler raises";
  EXPECT_EQ(clicks, 2);
}

TEST_F(InstrumentControls, MouseClicksToggleTheLampUnlessReadOnly) {
  struct TRow {
    const char* Name;
    bool ReadOnly;
    bool ExpectedChecked;
    int ExpectedClicks;
  };
  const TRow rows[] = {
      {"writable", false, true, 1},
      {"read-only", true, false, 0},
  };
  for (const TRow& row : rows) {
    auto* surface = NewSurface(200, 40, clBlack);
    auto* lamp = Add<TInstrumentCheckBox>(surface, {10, 10, 110, 27});
    lamp->SetReadOnly(row.ReadOnly);
    int clicks = 0;
    lamp->OnClick = [&](TControl*) { ++clicks; };
    surface->Show();
    PressAndRelease(*surface, 20, 18);
    EXPECT_EQ(lamp->Checked(), row.ExpectedChecked) << row.Name;
    EXPECT_EQ(clicks, row.ExpectedClicks) << row.Name;
    // The lamp takes no double clicks: a second click toggles again.
    if (!row.ReadOnly) {
      SendMessageW(surface->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 18));
      SendMessageW(surface->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 18));
      EXPECT_FALSE(lamp->Checked()) << row.Name;
    }
    delete surface;
  }
}

// The columns and rows of a glyph cell whose alpha reaches AAlpha, in the
// cell's own coordinates (the glyph's rows are stored bottom-up).
RECT AlphaBounds(TAlphaBitmap& AGlyph, int ACellLeft, int ACellWidth, int AAlpha) {
  GdiFlush();
  RECT bounds{ACellWidth, AGlyph.Height(), 0, 0};
  for (int y = 0; y < AGlyph.Height(); ++y)
    for (int x = 0; x < ACellWidth; ++x) {
      const uint8_t* p =
          AGlyph.Bits() +
          (size_t(AGlyph.Height() - 1 - y) * AGlyph.Width() + size_t(ACellLeft + x)) * 4;
      if (p[3] >= AAlpha) {
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
    }
  return bounds;
}

TEST_F(InstrumentControls, TheLampSitsAtTheEdgeItsAlignmentNames) {
  struct TRow {
    const char* Name;
    TAlignment Alignment;
    bool Checked;
    bool Enabled;
  };
  const TRow rows[] = {
      {"right-justified: glyph left", taRightJustify, true, true},
      {"left-justified: glyph right", taLeftJustify, true, true},
      {"left-justified, unchecked", taLeftJustify, false, true},
      {"a disabled status lamp still shows its state", taRightJustify, true, false}};
  const TColor background = 0xFF00FF;
  TAlphaBitmap& glyph = TInstrumentCheckImages::InstrumentLEDCheck(icsRed);
  const int cell = glyph.Width() / 2;
  ASSERT_EQ(cell, 12);
  for (TThemeState state : {TThemeState::Classic, TThemeState::Emulated}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    for (const TRow& row : rows) {
      // Faint edge pixels may vanish into the background; solid ones must show.
      const RECT may = AlphaBounds(glyph, row.Checked ? cell : 0, cell, 1);
      const RECT must = AlphaBounds(glyph, row.Checked ? cell : 0, cell, 64);
      auto* surface = NewSurface(140, 40, background);
      auto* lamp = Add<TInstrumentCheckBox>(surface, {10, 10, 110, 27});
      lamp->SetAlignment(row.Alignment);
      lamp->SetChecked(row.Checked);
      lamp->SetEnabled(row.Enabled);
      surface->Show();
      auto image = harness::RenderControl(*surface);
      const RECT ink = InkBounds(*image, RECT{0, 0, 140, 40}, background);
      const int x = 10 + (row.Alignment == taRightJustify ? 0 : 100 - cell - 1);
      const int y = 10 + (17 - glyph.Height()) / 2;
      EXPECT_LT(ink.left, ink.right) << row.Name << ": the lamp shows";
      EXPECT_GE(ink.left, x + may.left) << row.Name;
      EXPECT_LE(ink.left, x + must.left) << row.Name;
      EXPECT_GE(ink.right, x + must.right) << row.Name;
      EXPECT_LE(ink.right, x + may.right) << row.Name;
      EXPECT_GE(ink.top, y + may.top) << row.Name;
      EXPECT_LE(ink.top, y + must.top) << row.Name;
      EXPECT_GE(ink.bottom, y + must.bottom) << row.Name;
      EXPECT_LE(ink.bottom, y + may.bottom) << row.Name;
      delete surface;
    }
  }
}

TEST_F(InstrumentControls, EveryLampStyleShowsTheImagesOfItsOwnResource) {
  struct TRow {
    TInstrumentCheckStyle Style;
    const wchar_t* Resource;
    bool AlphaImage;
  };
  const TRow rows[] = {
      {icsMixed, L"INSTRUMENT_CHECK_MIXED", true},
      {icsRed, L"INSTRUMENT_CHECK_RED", true},
      {icsGreen, L"INSTRUMENT_CHECK_GREEN", true},
      {icsButton, L"INSTRUMENT_CHECK_BUTTON", false},
      {icsRectAmber, L"INSTRUMENT_CHECK_RECT_AMBER", false},
      {icsRectBlue, L"INSTRUMENT_CHECK_RECT_BLUE", false},
      {icsRectGreen, L"INSTRUMENT_CHECK_RECT_GREEN", false},
      {icsRectPurple, L"INSTRUMENT_CHECK_RECT_PURPLE", false},
      {icsRectRed, L"INSTRUMENT_CHECK_RECT_RED", false},
      {icsRectYellow, L"INSTRUMENT_CHECK_RECT_YELLOW", false},
      {icsAmber, L"INSTRUMENT_CHECK_ORANGE", true},
      {icsBlue, L"INSTRUMENT_CHECK_BLUE", true},
      {icsPurple, L"INSTRUMENT_CHECK_PURPLE", true},
      {icsYellow, L"INSTRUMENT_CHECK_YELLOW", true},
      {icsWhite, L"INSTRUMENT_CHECK_WHITE", true},
  };
  for (const TRow& row : rows) {
    TAlphaBitmap& glyph = TInstrumentCheckImages::InstrumentLEDCheck(row.Style);
    const std::string name(row.Resource, row.Resource + wcslen(row.Resource));
    if (row.AlphaImage) {
      TAlphaBitmap expected;
      expected.LoadFromResource(row.Resource);
      ASSERT_EQ(glyph.Width(), expected.Width()) << name;
      ASSERT_EQ(glyph.Height(), expected.Height()) << name;
      GdiFlush();
      EXPECT_EQ(
          0, std::memcmp(glyph.Bits(), expected.Bits(), size_t(glyph.Width()) * glyph.Height() * 4))
          << name;
    } else {
      TBitmap expected;
      expected.LoadFromResourceName(ModuleInstance(), row.Resource);
      EXPECT_EQ(glyph.Width(), expected.Width()) << name;
      EXPECT_EQ(glyph.Height(), expected.Height()) << name;
      // The bottom-left pixel's colour is the see-through one.
      GdiFlush();
      EXPECT_EQ(glyph.Bits()[3], 0) << name;
    }
  }
}

TEST_F(InstrumentControls, TheButtonCapTakesThePlatesHue) {
  for (TInstrumentPanelStyle style : {ipsBlue, ipsDarkRed, ipsGreen}) {
    uint8_t hue = 0, s = 0, l = 0;
    ColorToHSL(PanelStyleColor(style), hue, s, l);
    TAlphaBitmap& cap = TInstrumentCheckImages::GetCheckGlyph(icsButton, style);
    ASSERT_FALSE(cap.Empty());
    GdiFlush();
    int coloured = 0;
    const uint8_t* p = cap.Bits();
    for (int i = 0; i < cap.Width() * cap.Height(); ++i, p += 4) {
      if (p[3] != 255)
        continue;
      uint8_t h = hue, ps = 0, pl = 0;
      ColorToHSL(TColor(p[2] | (p[1] << 8) | (p[0] << 16)), h, ps, pl);
      // The cap is nearly grey: only pixels whose channels differ enough
      // to carry a hue count.
      if (std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) < 4)
        continue;
      ++coloured;
      const int d = std::abs(int(h) - int(hue));
      EXPECT_LE(std::min(d, 255 - d), 12) << "style " << int(style) << " pixel " << i;
    }
    EXPECT_GT(coloured, 0) << "style " << int(style);
  }
}

TEST_F(InstrumentControls, ALampOutsideAnyPlateDrawsItsCapAsOnADarkGrayPlate) {
  const TColor background = 0x00FF00;
  auto* surface = NewSurface(60, 30, background);
  auto* lamp = Add<TInstrumentCheckBox>(surface, {0, 0, 40, 17});
  lamp->SetGlyphStyle(icsButton);
  lamp->SetChecked(true);
  surface->Show();
  auto image = harness::RenderControl(*surface);

  TBitmap expected(60, 30, TPixelFormat::pf32bit);
  expected.Canvas().Brush().SetColor(background);
  expected.Canvas().FillRect(RECT{0, 0, 60, 30});
  lamp->DrawCheck(expected.Canvas(), RECT{0, 0, 40, 17}, ipsDarkGray);
  GdiFlush();
  EXPECT_TRUE(harness::SamePixels(*image, expected));
}

// --- labels and captions --------------------------------------------------------------------

// Records the colours its texts were handed.
template <typename TBase> class TRecording : public TBase {
public:
  using TBase::TBase;
  std::vector<TColor> Colors;

protected:
  void PaintText(TCanvas& ACanvas, const RECT& ARect, TColor AColor, TAlignment AAlignment,
                 TTextLayout ALayout) override {
    Colors.push_back(AColor);
    TBase::PaintText(ACanvas, ARect, AColor, AAlignment, ALayout);
  }
};
using TRecordingLabel = TRecording<TInstrumentLabel>;
using TRecordingCaption = TRecording<TInstrumentCaption>;

TEST_F(InstrumentControls, ALabelOnThePlateIsPartOfThePlatesImageUntilHiddenAndRebuilt) {
  auto* plate = NewPlate(ipsDarkGray);
  auto* label = Add<TRecordingLabel>(plate, {200, 40, 300, 60});
  label->SetCaption(L"Running");
  plate->Show();
  harness::PumpMessages();
  auto image = harness::RenderControl(*plate);
  EXPECT_FALSE(label->Colors.empty()) << "the label was baked into the plate";

  // What shows over the label is the plate's image, pixel for pixel.
  TBitmap& background = plate->Bitmap();
  for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
    for (int x = label->Left(); x < label->Left() + label->Width(); ++x)
      ASSERT_EQ(At(*image, x, y), At(background, x, y)) << x << ", " << y;

  label->Colors.clear();
  label->Hide();
  plate->UpdateBackgroundImage();
  harness::RenderControl(*plate);
  EXPECT_TRUE(label->Colors.empty()) << "a hidden label is left out of the rebuilt plate";

  // The same label off the plate paints itself.
  auto* surface = NewSurface(200, 40, clBlack);
  auto* loose = Add<TRecordingLabel>(surface, {0, 0, 100, 20});
  loose->SetCaption(L"Running");
  surface->Show();
  harness::RenderControl(*surface);
  EXPECT_FALSE(loose->Colors.empty());
}

TEST_F(InstrumentControls, LookChangesOfBakedControlsMarkThePlateForARebuild) {
  auto* plate = NewPlate(ipsDarkGray);
  auto* label = Add<TInstrumentLabel>(plate, {200, 40, 300, 60});
  label->SetCaption(L"Running");
  auto* lamp = Add<TInstrumentCheckBox>(plate, {320, 40, 333, 81});
  plate->Show();
  struct TRow {
    const char* Name;
    std::function<void()> Change;
    bool Rebuilds;
  };
  const TRow rows[] = {
      {"label text", [&] { label->SetCaption(L"Halted"); }, true},
      {"label disabled", [&] { label->SetEnabled(false); }, true},
      {"lamp glyph style", [&] { lamp->SetGlyphStyle(icsAmber); }, true},
      {"label font colour: the label only repaints", [&] { label->Font().SetColor(clYellow); },
       false},
      {"lamp checked: the lamp paints itself", [&] { lamp->SetChecked(true); }, false},
  };
  for (const TRow& row : rows) {
    harness::RenderControl(*plate);
    ASSERT_TRUE(plate->BackgroundValid()) << row.Name;
    row.Change();
    EXPECT_EQ(plate->BackgroundValid(), !row.Rebuilds) << row.Name;
  }
}

TEST_F(InstrumentControls, ALabelInADisplayTakesTheColourOfTheDisplaysStyle) {
  struct TRow {
    TDisplayStyle Style;
    TColor Expected;
  };
  const TRow rows[] = {
      {dsGray, 0x3C3C3C}, {dsWhite, 0x464646}, {dsRedLed, 0x0000FF}, {dsCream, 0x5A3830}};
  for (const TRow& row : rows) {
    auto* surface = NewSurface(200, 60, clBlack);
    auto* display = Add<TInstrumentPanel>(surface, {0, 0, 150, 41});
    display->SetDisplayStyle(row.Style);
    auto* label = new TInstrumentLabel(Owner.get());
    label->Font().SetColor(clWhite);
    label->SetParent(display);
    EXPECT_EQ(label->Font().Color(), row.Expected) << "style " << int(row.Style);
    // A later change of the display's style reaches the label.
    display->SetDisplayStyle(row.Style == dsGray ? dsWhite : dsGray);
    EXPECT_EQ(label->Font().Color(), row.Style == dsGray ? TColor(0x464646) : TColor(0x3C3C3C))
        << "style " << int(row.Style);
    delete surface;
  }
}

TEST_F(InstrumentControls, AGrayDisplayOnADarkGrayPlateColoursItsLabels) {
  auto* plate = NewPlate(ipsDarkGray);
  auto* display = Add<TInstrumentPanel>(plate, {130, 30, 577, 71});
  auto* label = Add<TInstrumentLabel>(display, {5, 5, 105, 19});
  EXPECT_EQ(display->DisplayStyle(), dsGray);
  EXPECT_EQ(label->Font().Color(), 0x3C3C3C);
}

TEST_F(InstrumentControls, ACaptionsTextColourComesFromThePlateAboveIt) {
  struct TRow {
    const char* Name;
    bool OnPlate;
    TInstrumentPanelStyle Style;
    bool InDisplay;
    TColor Expected;
  };
  const TColor fontColour = 0x123456;
  const TRow rows[] = {
      {"dark grey plate", true, ipsDarkGray, false, 0xAFA4A4},
      {"inside a display on a dark grey plate", true, ipsDarkGray, true, 0xAFA4A4},
      {"mid grey plate: light enough as it is", true, ipsMidGray, false, 0xB6ABAB},
      {"no plate", false, ipsDarkGray, false, fontColour},
  };
  for (const TRow& row : rows) {
    TWinControl* root = row.OnPlate ? static_cast<TWinControl*>(NewPlate(row.Style))
                                    : static_cast<TWinControl*>(NewSurface(724, 108, clBlack));
    TWinControl* parent = root;
    if (row.InDisplay)
      parent = Add<TInstrumentPanel>(root, {100, 30, 400, 50});
    auto* caption = Add<TRecordingCaption>(parent, {10, 10, 210, 24});
    caption->SetCaption(L"PROCESSOR CONTROL");
    caption->Font().SetColor(fontColour);
    root->Show();
    harness::PumpMessages();
    caption->Colors.clear();
    harness::RenderControl(*root);
    ASSERT_FALSE(caption->Colors.empty()) << row.Name << ": the caption paints itself";
    for (TColor colour : caption->Colors)
      EXPECT_EQ(colour, row.Expected) << row.Name;
    delete root;
  }
}

TEST_F(InstrumentControls, AnAutoSizedLabelTakesItsSmoothTextExtentAndGrowsWhenDisabled) {
  auto* surface = NewSurface(200, 60, clBlack);
  auto* label = Add<TInstrumentLabel>(surface, {10, 10, 15, 15});
  label->SetAutoSize(true);
  label->SetCaption(L"Running");
  TBitmap scratch(1, 1);
  SIZE extent{};
  MeasureXPCaption(scratch.Canvas(), RECT{0, 0, 0, 0}, L"Running", extent, 100, epNone,
                   dcfSmoothText, label->Font());
  EXPECT_EQ(label->Width(), extent.cx);
  EXPECT_EQ(label->Height(), extent.cy);
  EXPECT_EQ(label->Left(), 10);

  label->SetEnabled(false);
  MeasureXPCaption(scratch.Canvas(), RECT{0, 0, 0, 0}, L"Running", extent, 100, epNone,
                   dcfSmoothText | dcfSunkenDisabled, label->Font());
  EXPECT_EQ(label->Width(), extent.cx + 1);
  EXPECT_EQ(label->Height(), extent.cy + 1);
  EXPECT_EQ(label->Top(), 10);
}

// --- push button --------------------------------------------------------------------------

TEST_F(InstrumentControls, AButtonOnADarkGrayPlateTakesTheButtonColourAndADarkFrame) {
  const TColor frame = ScaleColor(0x9B9393, 0.4);
  for (TThemeState state : {TThemeState::Classic, TThemeState::Emulated}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    auto* plate = NewPlate(ipsDarkGray);
    auto* button = Add<TInstrumentButton>(plate, {100, 60, 158, 77});
    button->SetCaption(L"Reset");
    EXPECT_EQ(button->Color(), 0x9B9393);
    plate->Show();
    harness::PumpMessages();
    auto image = harness::RenderControl(*button);
    // Corners and edge middles of the frame, lightened only by the grain.
    const POINT points[] = {{0, 0}, {57, 0}, {0, 16}, {57, 16}, {29, 0}, {0, 8}, {57, 8}};
    for (POINT p : points)
      EXPECT_TRUE(WithinGrain(At(*image, p.x, p.y), frame, 9))
          << "state " << int(state) << " at " << p.x << ", " << p.y << ": " << std::hex
          << At(*image, p.x, p.y);
    delete plate;
  }
}

TEST_F(InstrumentControls, TheButtonShowsTheFaceOfItsDownAndBacklightFlagsAndItsPress) {
  auto* surface = NewSurface(100, 40, clBlack);
  auto* button = Add<TInstrumentButton>(surface, {10, 10, 68, 27});
  button->SetCaption(L"Step");
  surface->Show();
  harness::PumpMessages();
  struct TRow {
    const char* Name;
    bool Down, Backlight, Held;
    bool FaceDown, FaceOn;
  };
  const TRow rows[] = {
      {"idle", false, false, false, false, false},
      {"lit", false, true, false, false, true},
      {"down", true, false, false, true, false},
      {"down and lit", true, true, false, true, true},
      {"held by the mouse", false, false, true, true, false},
  };
  for (const TRow& row : rows) {
    button->SetDown(row.Down);
    button->SetBacklight(row.Backlight);
    if (row.Held)
      SendMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    auto image = harness::RenderControl(*button);
    EXPECT_TRUE(harness::SamePixels(*image, button->FaceBitmap(row.FaceDown, row.FaceOn)))
        << row.Name;
    if (row.Held)
      SendMessageW(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
  }
}

TEST_F(InstrumentControls, FacesAreRenderedAgainForLookChangesButNotForClicksOrFlags) {
  TCountingRandom random;
  TSeamScope<TRandomSeam> scope(random);
  auto* surface = NewSurface(300, 60, clBlack);
  auto* button = Add<TInstrumentButton>(surface, {10, 10, 68, 27});
  button->SetCaption(L"Run");
  surface->Show();
  harness::PumpMessages();
  struct TRow {
    const char* Name;
    std::function<void()> Act;
    bool Rendered;
  };
  const TRow rows[] = {
      {"caption", [&] { button->SetCaption(L"Halt"); }, true},
      {"font", [&] { button->Font().SetSize(8); }, true},
      {"disabled", [&] { button->SetEnabled(false); }, true},
      {"enabled", [&] { button->SetEnabled(true); }, true},
      {"resize", [&] { button->SetWidth(117); }, true},
      {"backlight", [&] { button->SetBacklight(true); }, false},
      {"down", [&] { button->SetDown(true); }, false},
      {"group", [&] { button->SetGroupIndex(3); }, false},
      {"click",
       [&] {
         PressAndRelease(*button, 5, 5);
         harness::PumpMessages();
       },
       false},
      {"move", [&] { button->SetLeft(20); }, false},
  };
  for (const TRow& row : rows) {
    const long before = random.Calls;
    row.Act();
    harness::PumpMessages();
    if (row.Rendered)
      EXPECT_GE(random.Calls - before, long(button->Width()) * button->Height() * 2) << row.Name;
    else
      EXPECT_EQ(random.Calls, before) << row.Name;
  }
}

TEST_F(InstrumentControls, ADisabledButtonKeepsItsGradientAndAZeroSizedOneHasEmptyFaces) {
  auto* surface = NewSurface(300, 60, clBlack);
  auto* button = Add<TInstrumentButton>(surface, {10, 10, 10, 27});
  EXPECT_TRUE(button->FaceBitmap(false, false).Empty());
  EXPECT_TRUE(button->FaceBitmap(true, true).Empty());

  button->SetWidth(58);
  ASSERT_FALSE(button->FaceBitmap(false, false).Empty());
  // The face darkens downwards, disabled or not: rows left of the caption,
  // averaged over the grain.
  button->SetColor(0x9B9393);
  auto rowAverage = [&](TBitmap& AFace, int AY) {
    int sum = 0;
    for (int x = 2; x < 9; ++x)
      sum += Channel(At(AFace, x, AY), 8);
    return sum / 7;
  };
  for (bool enabled : {true, false}) {
    button->SetEnabled(enabled);
    TBitmap& face = button->FaceBitmap(false, false);
    EXPECT_GT(rowAverage(face, 3) - rowAverage(face, 14), 5) << (enabled ? "enabled" : "disabled");
  }
}

TEST_F(InstrumentControls, TheButtonFontIsStoredOnlyWhenItDiffersFromTheInstrumentFont) {
  struct TRow {
    const char* Name;
    std::function<void(TInstrumentButton&)> Change;
    bool Stored;
  };
  const TRow rows[] = {
      {"as made", [](TInstrumentButton&) {}, false},
      {"name in other case", [](TInstrumentButton& b) { b.Font().SetName(L"ARIAL"); }, false},
      {"other name", [](TInstrumentButton& b) { b.Font().SetName(L"Tahoma"); }, true},
      {"other size", [](TInstrumentButton& b) { b.Font().SetSize(7); }, true},
      {"bold only", [](TInstrumentButton& b) { b.Font().SetStyle(fsBold); }, true},
      {"other colour", [](TInstrumentButton& b) { b.Font().SetColor(clYellow); }, true},
      {"the parent's font",
       [](TInstrumentButton& b) {
         b.Font().SetName(L"Tahoma");
         b.SetParentFont(true);
       },
       false},
  };
  for (const TRow& row : rows) {
    TInstrumentButton button(nullptr);
    row.Change(button);
    EXPECT_EQ(button.IsFontStored(), row.Stored) << row.Name;
  }
}

// --- the front-panel scene -----------------------------------------------------------------

// A processor's front panel as the control panels lay it out, with the
// extended panel kinds and a row of speed buttons below it.
struct TFrontPanelScene {
  TSurface* Root = nullptr;
  TInstrumentBackgroundPanel* Plate = nullptr;
  TInstrumentPanel* Display = nullptr;
  TInstrumentCheckBox* Polling = nullptr;
  TInstrumentButton* Lit = nullptr;
  TInstrumentButton* Pressed = nullptr;
  TInstrumentButton* Disabled = nullptr;
};

TFrontPanelScene BuildFrontPanel(TComponent* AOwner) {
  TFrontPanelScene scene;
  auto add = [&](auto* AControl, TWinControl* AParent, RECT ABounds) {
    AControl->SetBoundsRect(ABounds);
    AControl->SetParent(AParent);
    return AControl;
  };
  auto rect = [](int AX, int AY, int AW, int AH) { return RECT{AX, AY, AX + AW, AY + AH}; };
  auto font = [](TFont& AFont, const wchar_t* AName, int AHeight, TFontStyles AStyle) {
    AFont.SetName(AName);
    AFont.SetHeight(AHeight);
    AFont.SetStyle(AStyle);
  };

  scene.Root = new TSurface(AOwner);
  scene.Root->SetBounds(40, 40, 724, 250);
  scene.Root->SetColor(clBtnFace);

  scene.Plate = new TInstrumentBackgroundPanel(AOwner);
  scene.Plate->SetStyle(ipsDarkGray);
  scene.Plate->SetTitle(L"ARM 32-Bit RISC Processor Core");
  scene.Plate->SetPortID(-1);
  scene.Plate->SetDoubleBuffered(true);
  add(scene.Plate, scene.Root, rect(0, 0, 724, 108));

  scene.Display = add(new TInstrumentPanel(AOwner), scene.Plate, rect(262, 28, 447, 41));
  const wchar_t* names[] = {L"PC", L"SP", L"LR"};
  const wchar_t* values[] = {L"0x20000004", L"0x20001FF0", L"0xFFFFFFFF"};
  for (int i = 0; i < 3; ++i) {
    auto* name = add(new TInstrumentLabel(AOwner), scene.Display, rect(8 + 145 * i, 4, 40, 14));
    font(name->Font(), L"Arial", -11, fsBold);
    name->SetCaption(names[i]);
    auto* value = new TInstrumentLabel(AOwner);
    value->SetAutoSize(false);
    add(value, scene.Display, rect(8 + 145 * i, 20, 120, 14));
    font(value->Font(), L"Courier New", -11, fsBold);
    value->SetCaption(values[i]);
  }

  auto* caption = add(new TInstrumentCaption(AOwner), scene.Plate, rect(44, 26, 200, 14));
  font(caption->Font(), L"Arial Black", -11, 0);
  caption->SetCaption(L"PROCESSOR CONTROL");

  scene.Polling = add(new TInstrumentCheckBox(AOwner), scene.Plate, rect(44, 46, 100, 41));
  font(scene.Polling->Font(), L"Arial", -9, fsBold | fsItalic);
  scene.Polling->SetGlyphStyle(icsGreen);
  scene.Polling->SetCaption(L"Polling");
  scene.Polling->SetChecked(true);

  auto* running = add(new TInstrumentCheckBox(AOwner), scene.Plate, rect(150, 46, 17, 41));
  running->SetGlyphStyle(icsGreen);
  running->SetChecked(true);
  running->SetEnabled(false);
  auto* runningLabel = add(new TInstrumentLabel(AOwner), scene.Plate, rect(169, 60, 40, 14));
  font(runningLabel->Font(), L"Arial Black", -8, fsItalic);
  runningLabel->SetCaption(L"Running");
  auto* reset = add(new TInstrumentCheckBox(AOwner), scene.Plate, rect(214, 46, 13, 41));
  reset->SetEnabled(false);
  auto* resetLabel = add(new TInstrumentLabel(AOwner), scene.Plate, rect(229, 60, 30, 14));
  font(resetLabel->Font(), L"Arial Black", -8, fsItalic);
  resetLabel->SetCaption(L"Reset");

  const wchar_t* buttonCaptions[] = {L"Reset", L"Pause", L"Step"};
  TInstrumentButton* buttons[3] = {};
  for (int i = 0; i < 3; ++i) {
    buttons[i] = add(new TInstrumentButton(AOwner), scene.Plate, rect(150 + 62 * i, 88, 58, 17));
    buttons[i]->SetCaption(buttonCaptions[i]);
  }
  scene.Lit = buttons[0];
  scene.Lit->SetBacklight(true);
  scene.Pressed = buttons[1];
  scene.Pressed->SetDown(true);
  scene.Disabled = buttons[2];
  scene.Disabled->SetEnabled(false);

  // Below the plate: each extended panel kind, then speed buttons.
  for (int kind = epkBackground; kind <= epkVerticalWavy; ++kind) {
    auto* panel = add(new TXPExtPanel(AOwner), scene.Root, rect(4 + 102 * kind, 116, 98, 60));
    panel->SetKind(TXPExtPanelKind(kind));
    panel->SetBeginColor(0xF0D0A0);
    panel->SetEndColor(0x806040);
    panel->SetShowBorder(true);
  }
  const wchar_t* speedCaptions[] = {L"Open", L"Save", L"Down", L"Off", L"Menu"};
  for (int i = 0; i < 5; ++i) {
    auto* speed = add(new TXPCustomSpeedButton(AOwner), scene.Root, rect(4 + 84 * i, 186, 80, 24));
    speed->SetCaption(speedCaptions[i]);
    if (i == 2) {
      speed->SetGroupIndex(1);
      speed->SetDown(true);
    }
    if (i == 3)
      speed->SetEnabled(false);
    if (i == 4)
      speed->SetStyle(xssDropDown);
  }
  return scene;
}

bool Lists(const std::vector<TControlListing>& AListing, const std::wstring& ACaption) {
  return std::any_of(AListing.begin(), AListing.end(),
                     [&](const TControlListing& AItem) { return AItem.Caption == ACaption; });
}

TEST_F(InstrumentControls, FrontPanelSceneInEachThemeState) {
  const TColor frame = ScaleColor(0x9B9393, 0.4);
  for (TThemeState state : {TThemeState::Classic, TThemeState::Emulated, TThemeState::Themed}) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    XPLibraryStartup();
    TFrontPanelScene scene = BuildFrontPanel(Owner.get());
    scene.Root->Show();
    harness::PumpMessages();
    auto image = harness::RenderControl(*scene.Root);
    harness::SaveScreenshot(L"front-panel-" + std::to_wstring(int(state)), *image);

    const auto listing = ListControls(scene.Root);
    for (const wchar_t* text : {L"ARM 32-Bit RISC Processor Core", L"PROCESSOR CONTROL", L"Polling",
                                L"Running", L"Reset", L"0x20000004"})
      EXPECT_TRUE(Lists(listing, text)) << "state " << int(state);
    EXPECT_TRUE(scene.Polling->Checked());
    EXPECT_EQ(scene.Display->DisplayStyle(), dsGray);

    // The buttons' frames over the plate: lit and disabled in the frame
    // colour, the down one in its lighter pressed frame.
    for (TInstrumentButton* button : {scene.Lit, scene.Pressed, scene.Disabled}) {
      const TColor expected = button == scene.Pressed ? ScaleColor(frame, 1.2) : frame;
      const TColor corner = At(*image, button->Left(), button->Top());
      EXPECT_TRUE(WithinGrain(corner, expected, 9))
          << "state " << int(state) << " " << std::hex << corner;
    }
    delete scene.Root;
    XPLibraryShutdown();
  }
}

} // namespace
