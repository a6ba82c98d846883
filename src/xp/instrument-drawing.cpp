#include "instrument-drawing.h"

#include "bitmap-effects.h"
#include "seams.h"
#include "xp-colors.h"
#include "xp-graphics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace {

constexpr TColor kPlateBaseColor = 0xA59B9B;
constexpr TColor kLitButtonColor = 0x7BFFFF;
constexpr TColor kLitCaptionColor = 0x625B66;
constexpr TColor kDisabledCaptionColor = 0xAFAFAF;

struct TPanelStyleRow {
  double Red, Green, Blue, Scale; // the plate
  double ButtonRed, ButtonGreen, ButtonBlue;
  TDisplayStyle Display;
};

// Indexed by TInstrumentPanelStyle.
constexpr TPanelStyleRow kPanelStyles[] = {
    {1, 1, 1, 1, 0.9, 0.9, 0.9, dsCream},                // ipsMidGray
    {1.6, 1.65, 1.5, 0.7, 1.0, 1.03, 0.95, dsWhite},     // ipsLightGray
    {1, 1, 1, 0.8, 0.9, 0.9, 0.9, dsGray},               // ipsDarkGray
    {1, 0.25, 0.25, 1, 1.1, 0.7, 0.7, dsGray},           // ipsDarkRed
    {1, 1.2, 0.8, 0.75, 0.95, 1.05, 0.95, dsCream},      // ipsOliveGreen
    {0.6, 0.87, 0.82, 0.8, 0.9, 1.05, 1.05, dsWhite},    // ipsBlueGreen
    {1.2, 1, 0.8, 0.8, 1.05, 0.9, 0.85, dsCream},        // ipsBronze
    {0.85, 0.9, 1.05, 0.8, 1.0, 1.0, 1.05, dsGray},      // ipsBlueGray
    {0.75, 1.18, 0.65, 0.75, 0.95, 1.1, 0.95, dsBronze}, // ipsGreen
    {0, 0.8, 1.2, 1, 0.5, 0.8, 1.1, dsWhite},            // ipsBlue
    {1.6, 1.65, 1.5, 0.75, 0.9, 0.9, 0.9, dsLilac},      // ipsGrayLilac
    {1.6, 1.65, 1.5, 0.75, 0.9, 0.9, 0.9, dsOrange},     // ipsGrayOrange
    {1.6, 1.65, 1.5, 0.75, 0.9, 0.9, 0.9, dsBlue},       // ipsGrayBlue
};
constexpr size_t kPanelStyleCount = sizeof(kPanelStyles) / sizeof(kPanelStyles[0]);

// Indexed by TDisplayStyle; dsCream is ScaleColor(0xC9E4EB, 1.05).
constexpr TColor kDisplayFaceColors[] = {0xFFFFFF, 0xDCDCDC, 0xD3EFF7, 0x6E6EFF, 0x46AAFF, 0xFFA0FF,
                                         0xFFC500, 0x96B4A0, 0xD2EBA0, 0xA0BEE6, 0x323264};
constexpr size_t kDisplayStyleCount = sizeof(kDisplayFaceColors) / sizeof(kDisplayFaceColors[0]);

constexpr TColor kLabelColors[] = {0x464646, 0x3C3C3C, 0x5A3830, 0x19193C, 0x142846, 0x321E32,
                                   0x503200, 0x1E3214, 0x1E3214, 0x1E283C, 0x0000FF};
static_assert(sizeof(kLabelColors) / sizeof(kLabelColors[0]) == kDisplayStyleCount);

uint8_t* PixelAt(TBitmap& ABitmap, int AX, int AY) {
  return static_cast<uint8_t*>(ABitmap.ScanLine(AY)) + size_t(AX) * 4;
}

void PutPixel(uint8_t* APixel, TColor AColor) {
  const uint32_t c = uint32_t(AColor);
  APixel[0] = uint8_t(c >> 16);
  APixel[1] = uint8_t(c >> 8);
  APixel[2] = uint8_t(c);
  APixel[3] = uint8_t(c >> 24);
}

uint8_t ScaleChannel(uint8_t AValue, double AFactor) {
  return uint8_t(std::clamp(int(std::nearbyint((AValue + 1) * AFactor - 1)), 0, 255));
}

void ScalePixel(uint8_t* APixel, double AFactor) {
  for (int c = 0; c < 3; ++c)
    APixel[c] = ScaleChannel(APixel[c], AFactor);
}

} // namespace

// --- colour tables -------------------------------------------------------------

TColor DisplayFaceColor(TDisplayStyle AStyle, bool ABright) {
  if (size_t(AStyle) >= kDisplayStyleCount)
    return kDisplayFaceColors[dsCream];
  if (AStyle == dsRedLed && ABright)
    return ScaleColor(kDisplayFaceColors[dsRedLed], 1.3);
  return kDisplayFaceColors[AStyle];
}

TColor PanelStyleColor(TInstrumentPanelStyle AStyle) {
  if (size_t(AStyle) >= kPanelStyleCount)
    return kPlateBaseColor;
  const TPanelStyleRow& row = kPanelStyles[AStyle];
  return ScaleColor(ScaleColorChannels(kPlateBaseColor, row.Red, row.Green, row.Blue), row.Scale);
}

TColor ButtonColorForPanelStyle(TInstrumentPanelStyle AStyle) {
  if (size_t(AStyle) >= kPanelStyleCount)
    return ScaleColor(kPlateBaseColor, 1.05);
  const TPanelStyleRow& row = kPanelStyles[AStyle];
  return ScaleColor(
      ScaleColorChannels(kPlateBaseColor, row.ButtonRed, row.ButtonGreen, row.ButtonBlue), 1.05);
}

TDisplayStyle DisplayStyleForPanelStyle(TInstrumentPanelStyle AStyle) {
  return size_t(AStyle) < kPanelStyleCount ? kPanelStyles[AStyle].Display : dsCream;
}

TColor LabelColorForDisplayStyle(TDisplayStyle AStyle) {
  return size_t(AStyle) < kDisplayStyleCount ? kLabelColors[AStyle] : kLabelColors[dsCream];
}

// --- display faces ---------------------------------------------------------------

void ShadeRow(TBitmap& ABitmap, int AX1, int AX2, int AY, double AFactor) {
  if (AY < 0 || AY >= ABitmap.Height())
    return;
  AX1 = std::max(AX1, 0);
  AX2 = std::min(AX2, ABitmap.Width() - 1);
  if (AX1 > AX2)
    return;
  uint8_t* p = PixelAt(ABitmap, AX1, AY);
  for (int x = AX1; x <= AX2; ++x, p += 4)
    ScalePixel(p, AFactor);
}

void ShadeColumn(TBitmap& ABitmap, int AX, int AY1, int AY2, double AFactor) {
  if (AX < 0 || AX >= ABitmap.Width())
    return;
  AY1 = std::max(AY1, 0);
  AY2 = std::min(AY2, ABitmap.Height() - 1);
  for (int y = AY1; y <= AY2; ++y)
    ScalePixel(PixelAt(ABitmap, AX, y), AFactor);
}

void ShadeCanvasColumn(TCanvas& ACanvas, int AX, int AY1, int AY2, double AFactor) {
  for (int y = AY1; y <= AY2; ++y) {
    const TColor pixel = ACanvas.Pixel(AX, y);
    // Outside the surface there is no pixel to shade.
    if (COLORREF(pixel) == CLR_INVALID)
      continue;
    ACanvas.SetPixel(AX, y, ScaleColor(pixel, AFactor));
  }
}

void FillDisplayFace(TBitmap& ABitmap, const RECT& ARect, TColor AFaceColor, TDisplayStyle AStyle) {
  if (AStyle == dsRedLed) {
    const RECT led{ARect.left + 1, ARect.top + 1, ARect.right, ARect.bottom};
    DrawMultiGradient(ABitmap.Canvas(), led, AFaceColor, 0.5, 0.5, 0.7, 0.9, 1.3, 0.3, 0.6, 0.8,
                      true);
    return;
  }
  const int left = std::max<int>(ARect.left, 0), top = std::max<int>(ARect.top, 0);
  int w = ARect.right - ARect.left, h = ARect.bottom - ARect.top;
  if (left + w >= ABitmap.Width())
    w = ABitmap.Width() - left;
  if (top + h >= ABitmap.Height())
    h = ABitmap.Height() - top;
  if (w <= 0 || h <= 0)
    return;
  const TColor face = ColorToRGB(AFaceColor);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = PixelAt(ABitmap, left, top + y);
    const double rowShade = 1 - 0.3 * y / h;
    for (int x = 0; x < w; ++x, p += 4) {
      const double f = ((1 - 0.3 * x / w) + rowShade) / 2;
      PutPixel(p, BrightenColor(ScaleColor(face, f), uint8_t(Random(8))));
    }
  }
}

void DrawDisplayBevel(TBitmap& ABitmap, const RECT& ARect, TDisplayStyle AStyle, bool AUnframed) {
  int l = ARect.left, t = ARect.top, r = ARect.right - 1, b = ARect.bottom - 1;
  auto frame = [&](double ATopLeft, double ABottomRight) {
    ShadeRow(ABitmap, l, r, t, ATopLeft);
    ShadeColumn(ABitmap, l, t + 1, b - 1, ATopLeft);
    ShadeRow(ABitmap, l, r, b, ABottomRight);
    ShadeColumn(ABitmap, r, t + 1, b - 1, ABottomRight);
  };
  if (r - l < 30 || b - t < 30) {
    --l, --t, ++r, ++b;
    for (int i = 0; i <= 2; ++i) {
      const double f = 1 - (3 - i) * 0.03;
      ShadeRow(ABitmap, l + i + 1, r, t + i + 1, f);
      ShadeColumn(ABitmap, l + i + 1, t + i + 2, b - 1, f);
    }
    if (!AUnframed) {
      if (AStyle == dsRedLed)
        frame(0.5, 1.2);
      else
        frame(0.55, 0.6);
    }
    return;
  }
  for (int i = 0; i <= 5; ++i) {
    const double f = 1 - (6 - i) * 0.03;
    ShadeRow(ABitmap, l + i + 1, r, t + i + 1, f);
    ShadeColumn(ABitmap, l + i + 1, t + i + 2, b, f);
  }
  frame(0.55, 0.6);
  if (!AUnframed) {
    ShadeRow(ABitmap, l - 1, r, t - 1, 0.45);
    ShadeColumn(ABitmap, l - 1, t, b, 0.45);
  }
}

void DrawDisplayFace(TBitmap& ABitmap, const RECT& ARect, bool ABright, TDisplayStyle AStyle,
                     bool AUnframed) {
  FillDisplayFace(ABitmap, ARect, DisplayFaceColor(AStyle, ABright), AStyle);
  DrawDisplayBevel(ABitmap, ARect, AStyle, AUnframed);
}

// --- gradients and button faces ---------------------------------------------------

void DrawMultiGradient(TCanvas& ACanvas, const RECT& ARect, TColor AColor, double AF0, double AF1,
                       double AF2, double AF3, double AF4, double AP1, double AP2, double AP3,
                       bool AHorizontal) {
  const int start = AHorizontal ? ARect.left : ARect.top;
  const int end = AHorizontal ? ARect.right : ARect.bottom;
  const int extent = end - start;
  if (extent <= 0 || ARect.right <= ARect.left || ARect.bottom <= ARect.top)
    return;
  const int cuts[5] = {start, start + int(std::nearbyint(extent * AP1)),
                       start + int(std::nearbyint(extent * AP2)),
                       start + int(std::nearbyint(extent * AP3)), end};
  const double factors[5] = {AF0, AF1, AF2, AF3, AF4};
  TColor colors[5];
  for (int i = 0; i < 5; ++i)
    colors[i] = ScaleColor(AColor, factors[i]);
  const HDC dc = ACanvas.Handle();
  for (int i = 0; i < 4; ++i) {
    if (cuts[i + 1] <= cuts[i])
      continue;
    RECT band = ARect;
    if (AHorizontal)
      band.left = cuts[i], band.right = cuts[i + 1];
    else
      band.top = cuts[i], band.bottom = cuts[i + 1];
    GradientFillRect(dc, band, colors[i], colors[i + 1], AHorizontal);
  }
}

TColor InstrumentCaptionColor(TInstrumentFaceOptions AOptions, TInstrumentCaptionMode AMode,
                              TColor AFontColor, TColor ACustomTextColor) {
  const bool lit = (AOptions & ifoLit) != 0;
  if (AOptions & ifoDisabled)
    return AMode == icmStandard && lit ? kLitCaptionColor : kDisabledCaptionColor;
  switch (AMode) {
  case icmFontColor:
    return AFontColor;
  case icmGlow:
    return ACustomTextColor;
  default:
    return lit ? kLitCaptionColor : clWhite;
  }
}

namespace {

void DrawButtonCaption(TBitmap& ABitmap, TColor ABaseColor, const RECT& ARect,
                       const std::wstring& ACaption, TFont& AFont, TColor AColor, bool APressed,
                       TInstrumentCaptionMode AMode, int AGlowLevel) {
  if (ACaption.empty() || AMode == icmNone)
    return;
  RECT text = ARect;
  OffsetRect(&text, 0, 1);
  if (APressed)
    OffsetRect(&text, 1, 1);
  TCanvas& canvas = ABitmap.Canvas();
  if (AMode == icmGlow) {
    auto glow = std::make_unique<TBitmap>(ABitmap.Width(), ABitmap.Height(), TPixelFormat::pf32bit);
    TCanvas& glowCanvas = glow->Canvas();
    glowCanvas.Brush().SetStyle(TBrushStyle::Solid);
    glowCanvas.Brush().SetColor(ABaseColor);
    glowCanvas.FillRect(RECT{0, 0, glow->Width(), glow->Height()});
    SIZE size{};
    MeasureXPCaption(glowCanvas, text, ACaption, size, 100, epNone, dcfSmoothText | dcfNoPrefix,
                     AFont);
    RECT halo;
    halo.left = (text.left + text.right - size.cx) / 2;
    halo.top = (text.top + text.bottom - size.cy) / 2;
    halo.right = halo.left + size.cx;
    halo.bottom = halo.top + size.cy;
    InflateRect(&halo, int(ACaption.size() / 2), 0);
    OffsetRect(&halo, 0, 1);
    glowCanvas.Brush().SetColor(ScaleColor(AColor, 0.85));
    glowCanvas.Pen().SetStyle(TPenStyle::Clear);
    glowCanvas.RoundRect(halo.left, halo.top, halo.right, halo.bottom, 2, 2);
    GaussianBlurBitmap(*glow, 4);
    ColorKeyToAlpha(*glow, ABaseColor);
    const int alpha = std::clamp(15 + 24 * AGlowLevel, 0, 255);
    AlphaBlendConst(canvas.Handle(), 0, 0, glow->Width(), glow->Height(), glowCanvas.Handle(), 0, 0,
                    uint8_t(alpha), AC_SRC_ALPHA);
  }
  DrawXPCaption(canvas, text, ACaption, AFont, AColor, taCenter, tlCenter, dcfSmoothText, epNone,
                100);
}

} // namespace

void DrawInstrumentButtonFace(TBitmap& ABitmap, TColor ABaseColor, TColor AFrameColor,
                              const RECT& ARect, const std::wstring& ACaption, TFont& AFont,
                              TColor ACustomTextColor, TInstrumentFaceOptions AOptions,
                              TInstrumentCaptionMode ACaptionMode, int AGlowLevel) {
  const bool pressed = (AOptions & ifoPressed) != 0;
  const bool lit = (AOptions & ifoLit) != 0;
  const bool horizontal = (AOptions & ifoHorizontal) != 0;
  TCanvas& canvas = ABitmap.Canvas();
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  canvas.Brush().SetColor(AFrameColor);
  canvas.FrameRect(ARect);

  const TColor captionColor =
      InstrumentCaptionColor(AOptions, ACaptionMode, AFont.Color(), ACustomTextColor);
  RECT inner = ARect;
  InflateRect(&inner, -1, -1);
  if (pressed) {
    canvas.FillRect(ARect);
    OffsetRect(&inner, 1, 1);
  }
  if (lit)
    DrawMultiGradient(canvas, inner, ScaleColor(kLitButtonColor, 1.2), 1.0, 0.95, 0.9, 0.75, 0.8,
                      0.25, 0.5, 0.8, horizontal);
  else
    DrawMultiGradient(canvas, inner, ScaleColor(ABaseColor, 1.1), 1.0, 0.8, 0.8, 0.7, 0.5, 0.1, 0.5,
                      0.95, horizontal);

  DrawButtonCaption(ABitmap, ABaseColor, ARect, ACaption, AFont, captionColor, pressed,
                    ACaptionMode, AGlowLevel);

  if (pressed) {
    canvas.Brush().SetStyle(TBrushStyle::Solid);
    canvas.Brush().SetColor(ScaleColor(AFrameColor, 1.2));
    canvas.FrameRect(ARect);
    canvas.Pen().SetStyle(TPenStyle::Solid);
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetColor(ScaleColor(AFrameColor, 1.3));
    canvas.MoveTo(ARect.left, ARect.bottom - 1);
    canvas.LineTo(ARect.right - 1, ARect.bottom - 1);
    canvas.LineTo(ARect.right - 1, ARect.top);
    canvas.Pen().SetColor(lit ? ScaleColor(kLitButtonColor, 0.7) : ScaleColor(AFrameColor, 1.1));
    canvas.MoveTo(ARect.left + 1, ARect.bottom - 2);
    canvas.LineTo(ARect.right - 2, ARect.bottom - 2);
    canvas.LineTo(ARect.right - 2, ARect.top);
  }
  if (AOptions & ifoGrain)
    AddRandomNoise(ABitmap, ARect, horizontal ? 20 : 10);
}
