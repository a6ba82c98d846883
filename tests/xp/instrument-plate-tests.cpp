#include "fixed-theme.h"
#include "instrument-panel.h"

#include "instrument-controls.h"
#include "instrument-drawing.h"
#include "labels.h"
#include "resource-ledger.h"
#include "seams.h"
#include "support/test-harness.h"
#include "xp-colors.h"
#include "xp-controls.h"
#include "xp-speed-button.h"
#include "xp-system.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A source that always answers the same draw, so grain can be told apart
// from shading.
class TConstantRandom : public TRandomSeam {
public:
  explicit TConstantRandom(int AValue) : FValue(AValue) {}
  int Next(int ARange) override { return ARange < 1 ? 0 : std::min(FValue, ARange - 1); }
  double NextDouble() override { return 0.5; }

private:
  int FValue;
};

int Channel(TColor AColor, int AShift) {
  return (AColor >> AShift) & 0xFF;
}

// Every channel of AActual within ATolerance of AExpected.
bool Near(TColor AActual, TColor AExpected, int ATolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(Channel(AActual, shift) - Channel(AExpected, shift)) > ATolerance)
      return false;
  return true;
}

// Every channel of AActual in [ABase, ABase + ASpread].
bool AboveBy(TColor AActual, TColor ABase, int ASpread) {
  for (int shift : {0, 8, 16}) {
    const int d = Channel(AActual, shift) - Channel(ABase, shift);
    if (d < 0 || d > ASpread)
      return false;
  }
  return true;
}

std::string Hex(TColor AColor) {
  char text[16];
  snprintf(text, sizeof text, "0x%06X", unsigned(AColor) & 0xFFFFFF);
  return text;
}

TColor At(TBitmap& ABitmap, int AX, int AY) {
  return harness::PixelAt(ABitmap, AX, AY);
}

std::unique_ptr<TBitmap> Filled(int AWidth, int AHeight, TColor AColor) {
  auto bitmap = std::make_unique<TBitmap>(AWidth, AHeight, TPixelFormat::pf32bit);
  bitmap->Canvas().Brush().SetStyle(TBrushStyle::Solid);
  bitmap->Canvas().Brush().SetColor(AColor);
  bitmap->Canvas().FillRect(RECT{0, 0, AWidth, AHeight});
  GdiFlush();
  return bitmap;
}

// A child that offers all four interfaces and notes every call in a shared
// log as "<name>:<operation>".
class TProbe : public TGraphicControl,
               public IInstrumentBackgroundImprint,
               public IInstrumentBackgroundOverlay,
               public IInstrumentPanelStyleClient,
               public IInstrumentDisplayStyleClient {
public:
  TProbe(TComponent* AOwner, std::vector<std::string>& ALog, std::string AName)
      : TGraphicControl(AOwner), FLog(ALog), FName(std::move(AName)) {}
  void ImprintOnBackground(TCustomInstrumentBackgroundPanel*) override {
    FLog.push_back(FName + ":imprint");
  }
  void DrawOnBackground(TCustomInstrumentBackgroundPanel*) override {
    FLog.push_back(FName + ":overlay");
  }
  void PanelStyleChanged(TInstrumentPanelStyle AStyle) override {
    FLog.push_back(FName + ":panel" + std::to_string(int(AStyle)));
  }
  void DisplayStyleChanged(TDisplayStyle AStyle) override {
    FLog.push_back(FName + ":display" + std::to_string(int(AStyle)));
  }

private:
  std::vector<std::string>& FLog;
  std::string FName;
};

// A plain windowed container.
class TBox : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
};

// Windows, GDI objects and shared images: every test ends with the ledger
// where it began once the units have let go of what they made.
class InstrumentPlate : public ::testing::Test {
protected:
  void SetUp() override {
    XPLibraryShutdown();
    FStart = TResourceLedger::Total();
    Owner = std::make_unique<TComponent>(nullptr);
  }
  void TearDown() override {
    Owner.reset();
    harness::PumpMessages();
    FinalizeControls();
    InstrumentPanelsShutdown();
    TInstrumentCheckImages::FreeImages();
    TInstrumentHeaderImages::FreeImages();
    XPLibraryShutdown();
    FinalizeGraphics();
    EXPECT_EQ(TResourceLedger::Total(), FStart);
  }

  // Left, top, width and height.
  struct TPlace {
    int Left, Top, Width, Height;
  };
  template <typename T> T* Add(TWinControl* AParent, TPlace APlace) {
    auto* control = new T(Owner.get());
    control->SetBounds(APlace.Left, APlace.Top, APlace.Width, APlace.Height);
    control->SetParent(AParent);
    return control;
  }
  TInstrumentBackgroundPanel* NewPlate(TInstrumentPanelStyle AStyle, int AWidth = 724,
                                       int AHeight = 108) {
    auto* plate = new TInstrumentBackgroundPanel(Owner.get());
    plate->SetBounds(40, 40, AWidth, AHeight);
    plate->SetStyle(AStyle);
    return plate;
  }
  std::unique_ptr<TBitmap> Render(TInstrumentBackgroundPanel& APlate) {
    APlate.Show();
    harness::PumpMessages();
    return harness::RenderControl(APlate);
  }

  std::unique_ptr<TComponent> Owner;

private:
  size_t FStart = 0;
};

// ===========================================================================
// Colour tables

TEST(InstrumentTables, DisplayFaceColourPerStyleWithCreamForUnknownStyles) {
  struct TRow {
    int Style;
    bool Bright;
    TColor Expected;
  };
  const TRow rows[] = {
      {dsWhite, false, 0xFFFFFF},  {dsGray, false, 0xDCDCDC},   {dsCream, false, 0xD3EFF7},
      {dsRed, false, 0x6E6EFF},    {dsOrange, false, 0x46AAFF}, {dsLilac, false, 0xFFA0FF},
      {dsBlue, false, 0xFFC500},   {dsGreen, false, 0x96B4A0},  {dsPaleGreen, false, 0xD2EBA0},
      {dsBronze, false, 0xA0BEE6}, {dsRedLed, false, 0x323264}, {dsRedLed, true, 0x414182},
      {dsGray, true, 0xDCDCDC},    {11, false, 0xD3EFF7},       {200, true, 0xD3EFF7},
  };
  for (const TRow& row : rows)
    EXPECT_EQ(DisplayFaceColor(TDisplayStyle(row.Style), row.Bright), row.Expected)
        << "style " << row.Style << (row.Bright ? " bright" : "");
}

TEST(InstrumentTables, EachPanelStyleGivesItsPlateButtonAndDisplay) {
  struct TRow {
    int Style;
    TColor Plate;
    TColor Button;
    TDisplayStyle Display;
  };
  const TRow rows[] = {
      {ipsMidGray, 0xA59B9B, 0x9B9393, dsCream},
      {ipsLightGray, 0xADB2AD, 0xA5A8A3, dsWhite},
      {ipsDarkGray, 0x847C7C, 0x9B9393, dsGray},
      {ipsDarkRed, 0x29279B, 0x7971B3, dsGray},
      {ipsOliveGreen, 0x638B74, 0xA5AB9A, dsCream},
      {ipsBlueGreen, 0x6C6C4A, 0xB6AB93, dsWhite},
      {ipsBronze, 0x697C95, 0x9393AB, dsCream},
      {ipsBlueGray, 0x8A7069, 0xB6A3A3, dsGray},
      {ipsGreen, 0x508957, 0xA5B39A, dsBronze},
      {ipsBlue, 0xC67C00, 0xBF8252, dsWhite},
      {ipsGrayLilac, 0xBABFBA, 0x9B9393, dsLilac},
      {ipsGrayOrange, 0xBABFBA, 0x9B9393, dsOrange},
      {ipsGrayBlue, 0xBABFBA, 0x9B9393, dsBlue},
      // Outside the enumeration: the mid-grey plate and its button colour.
      {13, 0xA59B9B, ScaleColor(0xA59B9B, 1.05), dsCream},
  };
  for (const TRow& row : rows) {
    const auto style = TInstrumentPanelStyle(row.Style);
    EXPECT_EQ(Hex(PanelStyleColor(style)), Hex(row.Plate)) << "style " << row.Style;
    EXPECT_EQ(Hex(ButtonColorForPanelStyle(style)), Hex(row.Button)) << "style " << row.Style;
    EXPECT_EQ(DisplayStyleForPanelStyle(style), row.Display) << "style " << row.Style;
  }
}

TEST(InstrumentTables, LabelColourPerDisplayStyle) {
  const TColor expected[] = {0x464646, 0x3C3C3C, 0x5A3830, 0x19193C, 0x142846, 0x321E32,
                             0x503200, 0x1E3214, 0x1E3214, 0x1E283C, 0x0000FF, 0x5A3830};
  for (int style = 0; style < int(std::size(expected)); ++style)
    EXPECT_EQ(Hex(LabelColorForDisplayStyle(TDisplayStyle(style))), Hex(expected[style]))
        << "style " << style;
}

TEST(InstrumentTables, CaptionColourFollowsModeBacklightAndDisabling) {
  struct TRow {
    TInstrumentFaceOptions Options;
    TInstrumentCaptionMode Mode;
    TColor Expected;
  };
  constexpr TColor font = 0x123456, custom = 0x654321;
  const TRow rows[] = {
      {0, icmStandard, clWhite},
      {ifoLit, icmStandard, 0x625B66},
      {ifoDisabled, icmStandard, 0xAFAFAF},
      {ifoDisabled | ifoLit, icmStandard, 0x625B66},
      {0, icmFontColor, font},
      {ifoLit, icmFontColor, font},
      {ifoDisabled | ifoLit, icmFontColor, 0xAFAFAF},
      {0, icmGlow, custom},
      {ifoDisabled, icmGlow, 0xAFAFAF},
      {ifoLit, icmNone, 0x625B66},
  };
  for (const TRow& row : rows)
    EXPECT_EQ(Hex(InstrumentCaptionColor(row.Options, row.Mode, font, custom)), Hex(row.Expected))
        << "options " << row.Options << ", mode " << int(row.Mode);
}

// ===========================================================================
// Display faces

TEST(InstrumentDrawing, GrainyFaceShadesFromTheTopLeftAndDiffersOnEveryFill) {
  const TColor face = DisplayFaceColor(dsCream);
  auto first = Filled(80, 40, clBlack);
  auto second = Filled(80, 40, clBlack);
  FillDisplayFace(*first, RECT{0, 0, 80, 40}, face, dsCream);
  FillDisplayFace(*second, RECT{0, 0, 80, 40}, face, dsCream);

  bool differs = false;
  long topLeft = 0, bottomRight = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) {
      differs |= At(*first, x, y) != At(*second, x, y);
      if (x < 10 && y < 10)
        topLeft += Channel(At(*first, x, y), 8);
      if (x >= 70 && y >= 30)
        bottomRight += Channel(At(*first, x, y), 8);
    }
  EXPECT_TRUE(differs) << "each fill draws a fresh grain";
  EXPECT_GT(topLeft, bottomRight);
  // Grain only lightens, by less than 8.
  EXPECT_TRUE(AboveBy(At(*first, 0, 0), face, 7)) << Hex(At(*first, 0, 0));
  EXPECT_TRUE(AboveBy(At(*second, 0, 0), face, 7)) << Hex(At(*second, 0, 0));
}

TEST(InstrumentDrawing, FaceFillIsClippedToTheBitmapAndLeavesItsSurroundings) {
  TConstantRandom noGrain(0);
  TSeamScope<TRandomSeam> scope(noGrain);
  const TColor face = DisplayFaceColor(dsWhite);
  auto bitmap = Filled(50, 30, clBlack);
  // Reaches past the right and bottom edges and starts left of the bitmap.
  FillDisplayFace(*bitmap, RECT{-10, 5, 80, 60}, face, dsWhite);
  EXPECT_EQ(At(*bitmap, 0, 4), clBlack);
  EXPECT_NE(At(*bitmap, 0, 5), clBlack);
  EXPECT_NE(At(*bitmap, 49, 29), clBlack);
  // A rectangle of no width fills nothing.
  auto empty = Filled(20, 20, clBlack);
  FillDisplayFace(*empty, RECT{5, 5, 5, 15}, face, dsWhite);
  EXPECT_EQ(harness::PixelAt(*empty, 5, 10), clBlack);
}

TEST(InstrumentDrawing, LedFaceIsAGrainlessHorizontalGradient) {
  auto first = Filled(100, 20, clBlack);
  auto second = Filled(100, 20, clBlack);
  FillDisplayFace(*first, RECT{0, 0, 100, 20}, DisplayFaceColor(dsRedLed), dsRedLed);
  FillDisplayFace(*second, RECT{0, 0, 100, 20}, DisplayFaceColor(dsRedLed), dsRedLed);
  EXPECT_TRUE(harness::SamePixels(*first, *second));
  // Left of the first cut at 0.5, the brightest band at its right end.
  EXPECT_LT(Channel(At(*first, 10, 10), 0), Channel(At(*first, 98, 10), 0));
  EXPECT_TRUE(Near(At(*first, 1, 10), ScaleColor(0x323264, 0.5), 2)) << Hex(At(*first, 1, 10));
  // The LED fill starts one pixel in.
  EXPECT_EQ(At(*first, 0, 10), clBlack);
  EXPECT_EQ(At(*first, 50, 0), clBlack);
}

TEST(InstrumentDrawing, BevelStepsAndFrameDependOnTheFaceSize) {
  constexpr TColor grey = 0x808080;
  struct TRow {
    const char* Name;
    RECT Face;
    TDisplayStyle Style;
    bool Unframed;
    POINT At;
    double Factor; // 1: untouched
  };
  const TRow rows[] = {
      // 60 x 25: three steps, the frame one pixel outside the rectangle.
      {"small, frame left of the face", {10, 10, 70, 35}, dsGray, false, {9, 20}, 0.55},
      {"small, frame below the face", {10, 10, 70, 35}, dsGray, false, {30, 35}, 0.6},
      {"small, first shadow step", {10, 10, 70, 35}, dsGray, false, {10, 20}, 0.91},
      {"small, third shadow step", {10, 10, 70, 35}, dsGray, false, {12, 20}, 0.97},
      {"small, inside the steps", {10, 10, 70, 35}, dsGray, false, {13, 20}, 1},
      {"small, unframed", {10, 10, 70, 35}, dsGray, true, {9, 20}, 1},
      {"small LED, dark frame", {10, 10, 70, 35}, dsRedLed, false, {9, 20}, 0.5},
      {"small LED, bright frame", {10, 10, 70, 35}, dsRedLed, false, {30, 35}, 1.2},
      // 41 x 41: six steps, the frame on the edge, a shadow line outside.
      {"large, frame on the left edge", {10, 10, 51, 51}, dsGray, false, {10, 30}, 0.55},
      {"large, frame on the bottom edge", {10, 10, 51, 51}, dsGray, false, {30, 50}, 0.6},
      {"large, first shadow step", {10, 10, 51, 51}, dsGray, false, {11, 30}, 0.82},
      {"large, sixth shadow step", {10, 10, 51, 51}, dsGray, false, {16, 30}, 0.97},
      {"large, inside the steps", {10, 10, 51, 51}, dsGray, false, {17, 30}, 1},
      {"large, outer shadow", {10, 10, 51, 51}, dsGray, false, {9, 30}, 0.45},
      {"large unframed, no outer shadow", {10, 10, 51, 51}, dsGray, true, {9, 30}, 1},
      {"large unframed, frame kept", {10, 10, 51, 51}, dsGray, true, {10, 30}, 0.55},
  };
  for (const TRow& row : rows) {
    auto bitmap = Filled(90, 70, grey);
    DrawDisplayBevel(*bitmap, row.Face, row.Style, row.Unframed);
    EXPECT_EQ(Hex(At(*bitmap, row.At.x, row.At.y)), Hex(ScaleColor(grey, row.Factor))) << row.Name;
  }
}

TEST(InstrumentDrawing, ShadingRunsAreClippedToTheBitmap) {
  constexpr TColor grey = 0x808080;
  auto bitmap = Filled(20, 10, grey);
  ShadeRow(*bitmap, -5, 40, 3, 0.5);
  ShadeRow(*bitmap, 0, 19, -1, 0.5);
  ShadeRow(*bitmap, 0, 19, 10, 0.5);
  ShadeColumn(*bitmap, 7, -3, 30, 0.5);
  ShadeColumn(*bitmap, 20, 0, 9, 0.5);
  ShadeColumn(*bitmap, -1, 0, 9, 0.5);
  EXPECT_EQ(At(*bitmap, 0, 3), ScaleColor(grey, 0.5));
  EXPECT_EQ(At(*bitmap, 19, 3), ScaleColor(grey, 0.5));
  EXPECT_EQ(At(*bitmap, 7, 0), ScaleColor(grey, 0.5));
  EXPECT_EQ(At(*bitmap, 7, 9), ScaleColor(grey, 0.5));
  EXPECT_EQ(At(*bitmap, 7, 3), ScaleColor(ScaleColor(grey, 0.5), 0.5));
  EXPECT_EQ(At(*bitmap, 0, 0), grey);
  EXPECT_EQ(At(*bitmap, 19, 9), grey);

  // The canvas column: inclusive ends, nothing when the run is reversed.
  ShadeCanvasColumn(bitmap->Canvas(), 2, 5, 6, 0);
  ShadeCanvasColumn(bitmap->Canvas(), 4, 6, 5, 0);
  ShadeCanvasColumn(bitmap->Canvas(), 30, 0, 9, 0);
  GdiFlush();
  EXPECT_EQ(At(*bitmap, 2, 4), grey);
  EXPECT_EQ(At(*bitmap, 2, 5), clBlack);
  EXPECT_EQ(At(*bitmap, 2, 6), clBlack);
  EXPECT_EQ(At(*bitmap, 2, 7), grey);
  EXPECT_EQ(At(*bitmap, 4, 5), grey);
}

TEST(InstrumentDrawing, MultiGradientRunsThroughItsFiveColoursInFourBands) {
  constexpr TColor colour = 0x9060C0;
  for (bool horizontal : {false, true}) {
    auto bitmap = Filled(100, 100, clBlack);
    DrawMultiGradient(bitmap->Canvas(), RECT{0, 0, 100, 100}, colour, 1.0, 0.5, 0.8, 0.3, 1.2, 0.2,
                      0.5, 0.9, horizontal);
    GdiFlush();
    auto sample = [&](int AAlong) {
      return horizontal ? At(*bitmap, AAlong, 50) : At(*bitmap, 50, AAlong);
    };
    const char* name = horizontal ? "horizontal" : "vertical";
    // Each band starts at its own colour: the cuts lie at 20, 50 and 90.
    EXPECT_TRUE(Near(sample(0), ScaleColor(colour, 1.0), 3)) << name << Hex(sample(0));
    EXPECT_TRUE(Near(sample(20), ScaleColor(colour, 0.5), 3)) << name << Hex(sample(20));
    EXPECT_TRUE(Near(sample(50), ScaleColor(colour, 0.8), 3)) << name << Hex(sample(50));
    EXPECT_TRUE(Near(sample(90), ScaleColor(colour, 0.3), 3)) << name << Hex(sample(90));
    EXPECT_TRUE(Near(sample(99), ScaleColor(colour, 1.2), 8)) << name << Hex(sample(99));
    // Across the bands the colour does not change.
    const TColor across = horizontal ? At(*bitmap, 20, 5) : At(*bitmap, 5, 20);
    EXPECT_EQ(across, sample(20)) << name;
  }
}

// ===========================================================================
// Button faces

TEST(InstrumentDrawing, ButtonFaceFramesShadesAndShiftsWhenPressed) {
  constexpr TColor base = 0x9B9393;
  const TColor frame = ScaleColor(base, 0.4);
  const TColor litTop = ScaleColor(0x7BFFFF, 1.2);
  const TColor upTop = ScaleColor(base, 1.1);
  struct TRow {
    const char* Name;
    TInstrumentFaceOptions Options;
    POINT At;
    TColor Expected;
  };
  const TRow rows[] = {
      {"up: frame", 0, {0, 0}, frame},
      {"up: gradient starts inside the frame", 0, {5, 1}, upTop},
      {"lit: yellow gradient", ifoLit, {5, 1}, litTop},
      {"pressed: lighter frame", ifoPressed, {0, 0}, ScaleColor(frame, 1.2)},
      {"pressed: face moved down", ifoPressed, {5, 1}, frame},
      {"pressed: gradient one pixel lower", ifoPressed, {5, 2}, upTop},
      {"pressed: outer edge right", ifoPressed, {39, 8}, ScaleColor(frame, 1.3)},
      {"pressed: outer edge bottom", ifoPressed, {20, 16}, ScaleColor(frame, 1.3)},
      {"pressed: inner edge", ifoPressed, {38, 8}, ScaleColor(frame, 1.1)},
      {"pressed lit: inner edge", ifoPressed | ifoLit, {38, 8}, ScaleColor(0x7BFFFF, 0.7)},
      {"pressed lit: gradient one pixel lower", ifoPressed | ifoLit, {5, 2}, litTop},
  };
  TFont font;
  for (const TRow& row : rows) {
    auto face = Filled(40, 17, clBlack);
    DrawInstrumentButtonFace(*face, base, frame, RECT{0, 0, 40, 17}, L"", font, clBlack,
                             row.Options, icmStandard, 5);
    EXPECT_TRUE(Near(At(*face, row.At.x, row.At.y), row.Expected, 2))
        << row.Name << ": " << Hex(At(*face, row.At.x, row.At.y)) << " for " << Hex(row.Expected);
  }
}

TEST(InstrumentDrawing, ButtonGrainLightensByLessThanItsBound) {
  constexpr TColor base = 0x9B9393;
  TFont font;
  for (TInstrumentFaceOptions direction : {0u, unsigned(ifoHorizontal)}) {
    const int bound = direction ? 20 : 10;
    auto plain = Filled(40, 17, clBlack);
    auto grainy = Filled(40, 17, clBlack);
    DrawInstrumentButtonFace(*plain, base, ScaleColor(base, 0.4), RECT{0, 0, 40, 17}, L"", font,
                             clBlack, direction, icmStandard, 5);
    DrawInstrumentButtonFace(*grainy, base, ScaleColor(base, 0.4), RECT{0, 0, 40, 17}, L"", font,
                             clBlack, direction | ifoGrain, icmStandard, 5);
    int largest = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 39; ++x) {
        const TColor p = At(*plain, x, y), g = At(*grainy, x, y);
        ASSERT_TRUE(AboveBy(g, p, bound - 1)) << x << ", " << y << ": " << Hex(g) << Hex(p);
        largest = std::max(largest, Channel(g, 0) - Channel(p, 0));
      }
    EXPECT_GT(largest, bound / 2) << "bound " << bound;
  }
}

TEST(InstrumentDrawing, NoCaptionModeOrEmptyCaptionDrawsNoTextAndNoGlow) {
  constexpr TColor base = 0x9B9393;
  TFont font;
  font.SetName(L"Arial");
  font.SetHeight(-9);
  auto draw = [&](const std::wstring& ACaption, TInstrumentCaptionMode AMode) {
    auto face = Filled(80, 20, clBlack);
    DrawInstrumentButtonFace(*face, base, ScaleColor(base, 0.4), RECT{0, 0, 80, 20}, ACaption, font,
                             0x00FFFF, 0, AMode, 8);
    return face;
  };
  auto blank = draw(L"", icmStandard);
  EXPECT_TRUE(harness::SamePixels(*blank, *draw(L"RESET", icmNone)));
  EXPECT_TRUE(harness::SamePixels(*blank, *draw(L"", icmGlow)));
  EXPECT_FALSE(harness::SamePixels(*blank, *draw(L"RESET", icmStandard)));
  // The glow reaches beyond the plain text.
  EXPECT_FALSE(harness::SamePixels(*draw(L"RESET", icmFontColor), *draw(L"RESET", icmGlow)));
}

// ===========================================================================
// Tree look-ups and walks

TEST_F(InstrumentPlate, InterfacesAreFoundByTheirIdentifiers) {
  std::vector<std::string> log;
  TProbe probe(nullptr, log, "p");
  TLabel plain(nullptr);
  TInstrumentPanel display(nullptr);
  const GUID* ids[] = {&IID_IInstrumentBackgroundImprint, &IID_IInstrumentBackgroundOverlay,
                       &IID_IInstrumentPanelStyleClient, &IID_IInstrumentDisplayStyleClient};
  for (const GUID* id : ids) {
    EXPECT_NE(QueryInstrumentInterface(&probe, *id), nullptr);
    EXPECT_EQ(QueryInstrumentInterface(&plain, *id), nullptr);
  }
  const GUID other{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_EQ(QueryInstrumentInterface(&probe, other), nullptr);
  // A display window paints itself onto the plate and hears the plate's style.
  EXPECT_EQ(QueryInstrumentInterface(&display, IID_IInstrumentBackgroundOverlay),
            static_cast<IInstrumentBackgroundOverlay*>(&display));
  EXPECT_NE(QueryInstrumentInterface(&display, IID_IInstrumentPanelStyleClient), nullptr);
  EXPECT_EQ(QueryInstrumentInterface(&display, IID_IInstrumentBackgroundImprint), nullptr);
  // The identifiers themselves.
  EXPECT_EQ(IID_IInstrumentBackgroundImprint.Data1, 0xC9A1D2C0u);
  EXPECT_EQ(IID_IInstrumentBackgroundOverlay.Data4[7], 0x91);
  EXPECT_EQ(IID_IInstrumentPanelStyleClient.Data2, 0xBFDF);
  EXPECT_EQ(IID_IInstrumentDisplayStyleClient.Data3, 0x4B1E);
}

TEST_F(InstrumentPlate, BackgroundPanelIsFoundThroughDisplaysOnlyWhenAsked) {
  auto* plate = NewPlate(ipsDarkGray);
  auto* display = Add<TInstrumentPanel>(plate, {100, 30, 200, 41});
  auto* inDisplay = Add<TLabel>(display, {5, 5, 50, 13});
  auto* box = Add<TBox>(plate, {400, 30, 100, 41});
  auto* inBox = Add<TLabel>(box, {5, 5, 50, 13});
  auto* scroller = Add<TScrollBox>(plate, {550, 30, 100, 41});
  auto* scrolled = Add<TLabel>(scroller, {5, 5, 50, 13});
  auto* loose = new TBox(Owner.get());
  auto* outside = Add<TLabel>(loose, {0, 0, 10, 10});

  struct TRow {
    const char* Name;
    TControl* Control;
    bool Through;
    TCustomInstrumentBackgroundPanel* Expected;
  };
  const TRow rows[] = {
      {"display on the plate", display, false, plate},
      {"label in a display", inDisplay, false, nullptr},
      {"label in a display, through", inDisplay, true, plate},
      {"label in a plain box", inBox, false, plate},
      {"label in a scroll box", scrolled, false, nullptr},
      {"label in a scroll box, through", scrolled, true, plate},
      {"no plate above", outside, true, nullptr},
      {"the plate itself", plate, true, nullptr},
  };
  for (const TRow& row : rows)
    EXPECT_EQ(FindBackgroundPanel(row.Control, row.Through), row.Expected) << row.Name;
  EXPECT_EQ(FindInstrumentPanel(inDisplay), display);
  EXPECT_EQ(FindInstrumentPanel(inBox), nullptr);
}

TEST_F(InstrumentPlate, RebuildImprintsVisibleChildrenThenOverlaysThem) {
  std::vector<std::string> log;
  auto* plate = NewPlate(ipsDarkGray);
  auto* box = Add<TBox>(plate, {100, 30, 200, 60});
  auto* hiddenBox = Add<TBox>(plate, {320, 30, 100, 60});
  hiddenBox->Hide();
  auto add = [&](TWinControl* AParent, const char* AName) {
    auto* probe = new TProbe(Owner.get(), log, AName);
    probe->SetBounds(2, 2, 10, 10);
    probe->SetParent(AParent);
    return probe;
  };
  add(plate, "a");
  add(box, "b");
  add(hiddenBox, "inHidden");
  add(plate, "hidden")->Hide();

  log.clear();
  Render(*plate);
  const std::vector<std::string> rebuilt = {"a:imprint", "b:imprint", "a:overlay", "b:overlay"};
  EXPECT_EQ(log, rebuilt);

  // A repaint without a change uses the cached image.
  log.clear();
  plate->Invalidate();
  harness::RenderControl(*plate);
  EXPECT_TRUE(log.empty());

  // The style reaches every control, hidden or not, and the image is rebuilt.
  log.clear();
  plate->SetStyle(ipsBlue);
  const std::vector<std::string> told = {"a:panel9", "hidden:panel9", "b:panel9",
                                         "inHidden:panel9"};
  EXPECT_EQ(log, told);
  EXPECT_FALSE(plate->BackgroundValid());
}

TEST_F(InstrumentPlate, DisplayStyleReachesEveryControlInsideTheDisplay) {
  std::vector<std::string> log;
  auto* host = new TBox(Owner.get());
  host->SetBounds(0, 0, 300, 100);
  auto* display = Add<TInstrumentPanel>(host, {10, 10, 200, 41});
  auto* inner = Add<TBox>(display, {5, 5, 100, 30});
  auto* probe = new TProbe(Owner.get(), log, "deep");
  probe->SetParent(inner);
  probe->Hide();
  display->SetDisplayStyle(dsBlue);
  display->SetDisplayStyle(dsBlue);
  const std::vector<std::string> told = {"deep:display6"};
  EXPECT_EQ(log, told) << "once, also when hidden, and not again for the same style";
}

// ===========================================================================
// The background panel

TEST_F(InstrumentPlate, NewPlateShowsItsCaptionsDefaultsAndChildren) {
  auto* plate = new TInstrumentBackgroundPanel(Owner.get());
  EXPECT_EQ(plate->Width(), 724);
  EXPECT_EQ(plate->Height(), 50);
  EXPECT_EQ(plate->Style(), ipsMidGray);
  EXPECT_EQ(plate->BackgroundColor(), 0xA59B9B);
  EXPECT_EQ(plate->CoreName(), L"CoreName");
  EXPECT_EQ(plate->JtagID(), -1);
  EXPECT_EQ(plate->PortID(), -1);
  EXPECT_EQ(plate->Title(), L"");
  EXPECT_FALSE(plate->Primary());
  EXPECT_EQ(plate->Kind(), epkBitmap);
  EXPECT_TRUE(plate->DoubleBuffered());

  struct TRow {
    const wchar_t* ClassName;
    const wchar_t* Caption;
    RECT Bounds;
    int Depth;
  };
  const TRow expected[] = {
      {L"TInstrumentLabel", L"CORE", {120, 7, 150, 20}, 0},
      {L"TInstrumentLabel", L"JTAG", {32, 7, 72, 20}, 0},
      {L"TInstrumentLabel", L"Instrument Title", {414, 30, 674, 44}, 0},
      {L"TInstrumentCheckBox", L"", {660, 8, 673, 21}, 0},
      {L"TCustomInstrumentPanel", L"", {155, 6, 655, 20}, 0},
      {L"TLabel", L"CoreName", {5, 0, 485, 13}, 1},
      {L"TCustomInstrumentPanel", L"", {75, 6, 110, 20}, 0},
      {L"TLabel", L"-1", {5, 0, 40, 13}, 1},
  };
  const auto listing = ListControls(plate);
  ASSERT_EQ(listing.size(), std::size(expected));
  for (size_t i = 0; i < listing.size(); ++i) {
    const std::string where = "child " + std::to_string(i);
    EXPECT_EQ(listing[i].ClassName, expected[i].ClassName) << where;
    EXPECT_EQ(listing[i].Caption, expected[i].Caption) << where;
    EXPECT_EQ(listing[i].Bounds.left, expected[i].Bounds.left) << where;
    EXPECT_EQ(listing[i].Bounds.top, expected[i].Bounds.top) << where;
    EXPECT_EQ(listing[i].Bounds.right, expected[i].Bounds.right) << where;
    EXPECT_EQ(listing[i].Bounds.bottom, expected[i].Bounds.bottom) << where;
    EXPECT_EQ(listing[i].Depth, expected[i].Depth) << where;
  }
  EXPECT_FALSE(listing[3].Enabled) << "the primary lamp";
  EXPECT_FALSE(listing[3].Checked);
  EXPECT_EQ(plate->Label_Title()->Caption(), L"Instrument Title");

  // The title keeps its distance from the bottom right corner.
  plate->SetBounds(0, 0, 800, 108);
  EXPECT_EQ(plate->Label_Title()->Left(), 800 - 310);
  EXPECT_EQ(plate->Label_Title()->Top(), 108 - 20);
}

// The value labels of the JTAG and core-name displays, found in the tree.
TCustomLabel* ValueLabel(TInstrumentBackgroundPanel& APlate, int ADisplayWidth) {
  for (int i = 0; i < APlate.ControlCount(); ++i)
    if (auto* display = dynamic_cast<TCustomInstrumentPanel*>(APlate.Controls(i)))
      if (display->Width() == ADisplayWidth)
        return dynamic_cast<TCustomLabel*>(display->Controls(0));
  return nullptr;
}

TEST_F(InstrumentPlate, JtagDisplayShowsThePositionJoinedToThePort) {
  struct TRow {
    int JtagID;
    int PortID;
    const wchar_t* Expected;
  };
  const TRow rows[] = {
      {-1, -1, L"-1"}, {3, -1, L"3"}, {3, 0, L"0/3"}, {12, 2, L"2/12"}, {0, -5, L"0"}};
  auto* plate = NewPlate(ipsDarkGray);
  TCustomLabel* jtag = ValueLabel(*plate, 35);
  ASSERT_NE(jtag, nullptr);
  for (const TRow& row : rows) {
    plate->SetJtagID(row.JtagID);
    plate->SetPortID(row.PortID);
    EXPECT_EQ(plate->GetJtagText(), row.Expected);
    EXPECT_EQ(jtag->Caption(), row.Expected);
  }
  plate->SetCoreName(L"Cortex-M3");
  plate->SetTitle(L"ARM 32-Bit RISC Processor Core");
  EXPECT_EQ(ValueLabel(*plate, 500)->Caption(), L"Cortex-M3");
  EXPECT_EQ(plate->Label_Title()->Caption(), L"ARM 32-Bit RISC Processor Core");
}

TEST_F(InstrumentPlate, PrimaryTurnsTheValuesBoldRedAndLightsTheLampAtOnce) {
  auto* plate = NewPlate(ipsDarkGray);
  Render(*plate);
  ASSERT_TRUE(plate->BackgroundValid());
  TCustomLabel* values[] = {ValueLabel(*plate, 35), ValueLabel(*plate, 500)};
  for (TCustomLabel* label : values) {
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Font().Color(), 0x0000E6);
    EXPECT_EQ(label->Font().Style(), 0);
    EXPECT_EQ(label->Font().Name(), L"Arial");
    EXPECT_EQ(label->Font().Size(), 8);
  }
  int clicks = 0;
  TControl* lamp = nullptr;
  for (int i = 0; i < plate->ControlCount(); ++i)
    if (dynamic_cast<TInstrumentCheckBox*>(plate->Controls(i)))
      lamp = plate->Controls(i);
  ASSERT_NE(lamp, nullptr);
  lamp->OnClick = [&](TControl*) { ++clicks; };

  plate->SetPrimary(true);
  for (TCustomLabel* label : values) {
    EXPECT_EQ(label->Font().Color(), 0x1018FF);
    EXPECT_EQ(label->Font().Style(), fsBold);
  }
  EXPECT_TRUE(lamp->Checked());
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(plate->BackgroundValid()) << "the plate is not rebuilt for the primary flag";

  plate->SetPrimary(false);
  for (TCustomLabel* label : values) {
    EXPECT_EQ(label->Font().Color(), 0x0000E6);
    EXPECT_EQ(label->Font().Style(), 0);
  }
  EXPECT_FALSE(lamp->Checked());
}

TEST_F(InstrumentPlate, PrimaryBrightensTheLedDisplaysAtTheirNextDrawing) {
  auto* plate = NewPlate(ipsDarkGray);
  plate->SetShowTitle(false);
  auto image = Render(*plate);
  // Inside the core-name display, clear of its text.
  const TColor before = At(*image, 640, 15);
  plate->SetPrimary(true);
  plate->UpdateBackgroundImage();
  auto lit = Render(*plate);
  const TColor after = At(*lit, 640, 15);
  EXPECT_GT(Channel(after, 0), Channel(before, 0) + 10) << Hex(before) << " " << Hex(after);
  EXPECT_TRUE(Near(after, ScaleColor(0x414182, 1.3), 40)) << Hex(after);
}

TEST_F(InstrumentPlate, BackgroundIsRebuiltOnlyAfterChangesToItsLook) {
  auto* plate = NewPlate(ipsDarkGray);
  Render(*plate);
  EXPECT_TRUE(plate->BackgroundValid());
  struct TRow {
    const char* Name;
    std::function<void()> Change;
    bool Invalidates;
  };
  const TRow rows[] = {
      {"core name", [&] { plate->SetCoreName(L"M3"); }, false},
      {"mounting holes", [&] { plate->SetShowMountingHoles(false); }, true},
      {"same mounting holes", [&] { plate->SetShowMountingHoles(false); }, false},
      {"grooves", [&] { plate->SetShowGrooves(false); }, true},
      {"JTAG display", [&] { plate->SetShowJTAG(false); }, true},
      {"resize", [&] { plate->SetBounds(40, 40, 700, 108); }, true},
      {"move", [&] { plate->SetBounds(50, 50, 700, 108); }, false},
      {"same style", [&] { plate->SetStyle(ipsDarkGray); }, true},
      {"title", [&] { plate->SetTitle(L"Core"); }, true},
  };
  for (const TRow& row : rows) {
    row.Change();
    EXPECT_EQ(!plate->BackgroundValid(), row.Invalidates) << row.Name;
    Render(*plate);
    EXPECT_TRUE(plate->BackgroundValid()) << row.Name;
  }
  EXPECT_EQ(plate->Bitmap().Width(), 700);
  EXPECT_EQ(plate->Bitmap().Height(), 108);
  EXPECT_EQ(plate->Bitmap().PixelFormat(), TPixelFormat::pf32bit);
}

TEST_F(InstrumentPlate, ShowFlagsHideTheirChildren) {
  auto* plate = NewPlate(ipsDarkGray);
  plate->SetShowJTAG(false);
  plate->SetShowCoreName(false);
  plate->SetShowTitle(false);
  for (const TControlListing& child : ListControls(plate)) {
    if (child.Depth == 0) {
      EXPECT_FALSE(child.Visible) << std::string(child.ClassName.begin(), child.ClassName.end());
    }
  }
  plate->SetShowCoreName(true);
  int visible = 0;
  for (const TControlListing& child : ListControls(plate))
    visible += child.Depth == 0 && child.Visible;
  EXPECT_EQ(visible, 3) << "caption, display and lamp of the core name";
}

class InstrumentPlatePixels : public InstrumentPlate,
                              public ::testing::WithParamInterface<TThemeState> {};

TEST_P(InstrumentPlatePixels, PlateFadesToItsDarkShadeAndHasBlackGrooves) {
  TFixedTheme theme(GetParam());
  TSeamScope<TThemeSeam> scope(theme);
  XPLibraryStartup();
  auto* plate = NewPlate(ipsDarkGray);
  auto image = Render(*plate);
  auto printed = harness::PrintWindow(*plate);
  EXPECT_TRUE(harness::SamePixels(*image, *printed)) << "PaintTo and WM_PRINT agree";
  const int width = plate->Width(), height = plate->Height();
  const TColor plateColour = 0x847C7C;
  const TColor dark = ScaleColor(plateColour, 0.8);
  // The brushed grain moves a channel by at most 2 %.
  EXPECT_TRUE(Near(At(*image, 0, 54), plateColour, 6)) << Hex(At(*image, 0, 54));
  EXPECT_TRUE(Near(At(*image, width - 100, 54), dark, 6)) << Hex(At(*image, width - 100, 54));
  EXPECT_TRUE(Near(At(*image, int(width * 0.75), 40), dark, 6));
  for (int y = 0; y < height; ++y) {
    ASSERT_EQ(At(*image, 38, y), clBlack) << "row " << y;
    ASSERT_EQ(At(*image, width - 39, y), clBlack) << "row " << y;
  }
  // Darker on the left of a groove than on its right.
  EXPECT_LT(Channel(At(*image, 37, 54), 8), Channel(At(*image, 39, 54), 8));
  EXPECT_NE(At(*image, 36, 54), clBlack);

  // A mounting hole sits in each corner.
  EXPECT_LT(Channel(At(*image, 4, 10), 8), 100) << Hex(At(*image, 4, 10));
  EXPECT_LT(Channel(At(*image, width - 5, height - 10), 8), 100);
  plate->SetShowMountingHoles(false);
  plate->SetShowGrooves(false);
  auto bare = Render(*plate);
  EXPECT_GT(Channel(At(*bare, 4, 10), 8), 100) << Hex(At(*bare, 4, 10));
  EXPECT_NE(At(*bare, 38, 54), clBlack);
  EXPECT_TRUE(InstrumentMountingHoleLoaded());
  delete plate;
  XPLibraryShutdown();
}

TEST_P(InstrumentPlatePixels, ADisplayOverAGrooveCoversIt) {
  TFixedTheme theme(GetParam());
  TSeamScope<TThemeSeam> scope(theme);
  XPLibraryStartup();
  auto* plate = NewPlate(ipsDarkGray);
  Add<TInstrumentPanel>(plate, {20, 40, 60, 41});
  auto image = Render(*plate);
  // The display is drawn into the plate after the grooves.
  for (int y = 40; y < 81; ++y)
    ASSERT_NE(At(*image, 38, y), clBlack) << "row " << y;
  for (int y : {0, 30, 38, 82, 100})
    EXPECT_EQ(At(*image, 38, y), clBlack) << "row " << y;
  // Its frame and shadow line are in the plate's own image too.
  EXPECT_NE(At(plate->Bitmap(), 38, 50), clBlack);
  delete plate;
  XPLibraryShutdown();
}

INSTANTIATE_TEST_SUITE_P(ThemeStates, InstrumentPlatePixels,
                         ::testing::Values(TThemeState::Classic, TThemeState::Emulated),
                         [](const ::testing::TestParamInfo<TThemeState>& AInfo) {
                           return AInfo.param == TThemeState::Classic ? "Classic" : "Emulated";
                         });

TEST_F(InstrumentPlate, NestedDisplayIsBakedAtItsPlaceOnThePlate) {
  auto* plate = NewPlate(ipsDarkGray);
  auto* box = Add<TBox>(plate, {300, 20, 200, 80});
  auto* display = Add<TInstrumentPanel>(box, {10, 10, 100, 41});
  EXPECT_EQ(display->DisplayStyle(), dsGray) << "the plate's style reaches through the box";
  Render(*plate);
  TBitmap& background = plate->Bitmap();
  EXPECT_TRUE(Near(At(background, 310 + 50, 30 + 20), DisplayFaceColor(dsGray), 40))
      << Hex(At(background, 360, 50));
  EXPECT_TRUE(Near(At(background, 305, 50), 0x847C7C, 40)) << Hex(At(background, 305, 50));
}

TEST_F(InstrumentPlate, HidingTheTitleTakesItOutOfTheNextRebuild) {
  auto* plate = NewPlate(ipsDarkGray);
  plate->SetTitle(L"ARM 32-Bit RISC Processor Core");
  auto brightest = [&](TBitmap& AImage) {
    int most = 0;
    for (int y = plate->Height() - 20; y < plate->Height() - 6; ++y)
      for (int x = plate->Width() - 310; x < plate->Width() - 50; ++x)
        most = std::max(most, Channel(At(AImage, x, y), 8));
    return most;
  };
  auto titled = Render(*plate);
  EXPECT_GT(brightest(*titled), 200) << "the white title is baked into the plate";
  plate->SetShowTitle(false);
  auto untitled = Render(*plate);
  EXPECT_LT(brightest(*untitled), 160);
}

TEST_F(InstrumentPlate, ChildrenInvalidateThePlateOnlyOutsideDisplaysAndLoading) {
  auto* plate = NewPlate(ipsDarkGray);
  auto* onPlate = Add<TLabel>(plate, {200, 40, 50, 13});
  auto* display = Add<TInstrumentPanel>(plate, {100, 30, 200, 41});
  auto* inDisplay = Add<TLabel>(display, {5, 5, 50, 13});
  auto* loose = Add<TLabel>(new TBox(Owner.get()), {0, 0, 10, 10});
  Render(*plate);
  struct TRow {
    const char* Name;
    TControl* Control;
    bool Invalidates;
  };
  const TRow rows[] = {
      {"on the plate", onPlate, true},
      {"a display on the plate", display, true},
      {"inside a display", inDisplay, false},
      {"off any plate", loose, false},
      {"nothing", nullptr, false},
  };
  for (const TRow& row : rows) {
    InvalidateInstrumentBackground(row.Control);
    EXPECT_EQ(!plate->BackgroundValid(), row.Invalidates) << row.Name;
    Render(*plate);
  }
}

TEST_F(InstrumentPlate, StoredLayoutSettlesTitleAndDisplaysWhenLoaded) {
  TInstrumentBackgroundPanel* plate = nullptr;
  TInstrumentPanel* status = nullptr;
  TInstrumentPanel* line = nullptr;
  {
    TComponentLoading loading(Owner.get());
    plate = new TInstrumentBackgroundPanel(Owner.get());
    plate->SetBounds(0, 0, 724, 97);
    plate->SetStyle(ipsDarkGray);
    plate->SetTitle(L"Hard Device");
    status = Add<TInstrumentPanel>(plate, {130, 30, 447, 41});
    line = Add<TInstrumentPanel>(plate, {130, 75, 385, 17});
    EXPECT_EQ(status->DisplayStyle(), dsCream) << "nothing is adopted while loading";
    plate->UpdateBackgroundImage();
    loading.End();
  }
  EXPECT_EQ(plate->Label_Title()->Top(), 97 - 20);
  EXPECT_EQ(status->DisplayStyle(), dsGray);
  EXPECT_TRUE(status->ParentDisplayStyle());
  EXPECT_EQ(line->DisplayStyle(), dsCream);
  EXPECT_FALSE(plate->BackgroundValid());
  Render(*plate);
  EXPECT_TRUE(plate->BackgroundValid());
  EXPECT_EQ(plate->Bitmap().Height(), 97);
}

// ===========================================================================
// Display windows

TEST_F(InstrumentPlate, DisplayAdoptsThePlateStyleFromTwentyPixelsHigh) {
  struct TRow {
    int Height;
    TDisplayStyle Expected;
  };
  const TRow rows[] = {{17, dsCream}, {19, dsCream}, {20, dsGray}, {41, dsGray}};
  for (const TRow& row : rows) {
    auto* display = Add<TInstrumentPanel>(NewPlate(ipsDarkGray), {130, 30, 447, row.Height});
    EXPECT_EQ(display->DisplayStyle(), row.Expected) << row.Height << " px";
    EXPECT_TRUE(display->ParentDisplayStyle()) << row.Height << " px";
  }
  auto* plate = NewPlate(ipsDarkGray);

  auto* adopting = Add<TInstrumentPanel>(plate, {130, 30, 447, 41});
  auto* own = Add<TInstrumentPanel>(plate, {130, 75, 447, 41});
  own->SetDisplayStyle(dsPaleGreen);
  EXPECT_FALSE(own->ParentDisplayStyle());
  plate->SetStyle(ipsGreen);
  EXPECT_EQ(adopting->DisplayStyle(), dsBronze);
  EXPECT_TRUE(adopting->ParentDisplayStyle());
  EXPECT_EQ(own->DisplayStyle(), dsPaleGreen) << "a display with its own style keeps it";
  // Turning the parent style back on adopts the plate's at once.
  own->SetParentDisplayStyle(true);
  EXPECT_EQ(own->DisplayStyle(), dsBronze);

  // The plate's own LED windows keep their colour on every plate.
  for (int i = 0; i < plate->ControlCount(); ++i)
    if (auto* display = dynamic_cast<TCustomInstrumentPanel*>(plate->Controls(i)))
      if (display != adopting && display != own) {
        EXPECT_EQ(display->DisplayStyle(), dsRedLed);
      }
}

TEST_F(InstrumentPlate, DisplayOffAnyPlateKeepsItsStyleAndPaintsItsFace) {
  auto* host = new TBox(Owner.get());
  host->SetBounds(40, 40, 300, 100);
  auto* display = Add<TInstrumentPanel>(host, {10, 10, 200, 41});
  EXPECT_EQ(display->DisplayStyle(), dsCream);
  EXPECT_EQ(display->Width(), 200);
  display->SetParentDisplayStyle(false);
  display->SetParentDisplayStyle(true);
  EXPECT_EQ(display->DisplayStyle(), dsCream);
  host->Show();
  harness::PumpMessages();
  auto image = harness::RenderControl(*host);
  // Unframed on screen: the top left pixel is the face's own, lightly shaded.
  const TColor corner = At(*image, 10 + 20, 10 + 20);
  EXPECT_TRUE(Near(corner, DisplayFaceColor(dsCream), 40)) << Hex(corner);
  EXPECT_FALSE(display->TabStop());
}

// ===========================================================================
// The scene

TEST_F(InstrumentPlate, SceneInstrumentPlateInEveryThemeState) {
  const TThemeState states[] = {TThemeState::Classic, TThemeState::Emulated, TThemeState::Themed};
  for (TThemeState state : states) {
    TFixedTheme theme(state);
    TSeamScope<TThemeSeam> scope(theme);
    XPLibraryStartup();
    auto* plate = NewPlate(ipsDarkGray);
    plate->SetTitle(L"ARM 32-Bit RISC Processor Core");
    plate->SetCoreName(L"Cortex-M3 (LM3S811)");
    plate->SetJtagID(0);
    auto* display = Add<TInstrumentPanel>(plate, {130, 30, 447, 41});
    EXPECT_EQ(display->DisplayStyle(), dsGray);
    auto image = Render(*plate);
    const std::wstring path =
        harness::SaveScreenshot(L"instrument-plate-" + std::to_wstring(int(state)), *image);
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    // The display's grey face inside its bevel.
    EXPECT_TRUE(Near(At(*image, 130 + 20, 30 + 12), DisplayFaceColor(dsGray), 30))
        << Hex(At(*image, 150, 42));
    delete plate;
    XPLibraryShutdown();
  }
}

} // namespace
