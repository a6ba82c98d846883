#include "xp-colors.h"

#include "resource-ledger.h"

#include <algorithm>
#include <cmath>

namespace {

// Round half to even, as the FPU does by default.
int RoundEven(double AValue) {
  return int(std::nearbyint(AValue));
}

int Clamp255(int AValue) {
  return std::clamp(AValue, 0, 255);
}

TColor Rgb(int ARed, int AGreen, int ABlue, TColor ATop) {
  return TColor((uint32_t(ATop) & 0xFF000000u) | uint32_t(ARed) | (uint32_t(AGreen) << 8) |
                (uint32_t(ABlue) << 16));
}

// Applies AChannel to red, green and blue, keeping the resolved top byte.
template <typename TChannel> TColor MapChannels(TColor AColor, TChannel AChannel) {
  const TColor rgb = ColorToRGB(AColor);
  return Rgb(AChannel(Red(rgb), 0), AChannel(Green(rgb), 1), AChannel(Blue(rgb), 2), rgb);
}

} // namespace

void ColorToHSL(TColor AColor, uint8_t& AHue, uint8_t& ASaturation, uint8_t& ALuminance) {
  const TColor rgb = ColorToRGB(AColor);
  const double r = Red(rgb) / 255.0;
  const double g = Green(rgb) / 255.0;
  const double b = Blue(rgb) / 255.0;
  const double mn = std::min({r, g, b});
  const double mx = std::max({r, g, b});
  const double l = (mn + mx) / 2;
  if (mn == mx) {
    ASaturation = 0;
    ALuminance = uint8_t(RoundEven(mn * 255));
    return;
  }
  const double d = mx - mn;
  const double s = l >= 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
  double h;
  if (r == mx)
    h = (g - b) / d;
  else if (g == mx)
    h = (b - r) / d + 2;
  else
    h = (r - g) / d + 4;
  h /= 6;
  if (h < 0)
    h += 1;
  AHue = uint8_t(RoundEven(h * 255));
  ASaturation = uint8_t(RoundEven(s * 255));
  ALuminance = uint8_t(RoundEven(l * 255));
}

TColor HSLToColor(uint8_t AHue, uint8_t ASaturation, uint8_t ALuminance) {
  const double s = ASaturation / 255.0;
  if (s == 0)
    return TColor(uint32_t(ALuminance) * 0x010101u);
  const double l = ALuminance / 255.0;
  const double m2 = l >= 0.5 ? l + s - l * s : l * (1 + s);
  const double m1 = 2 * l - m2;
  const double h = AHue / 255.0;
  auto value = [m1, m2](double x) {
    if (x < 0)
      x += 1;
    if (x > 1)
      x -= 1;
    if (6 * x < 1)
      return m1 + (m2 - m1) * 6 * x;
    if (2 * x < 1)
      return m2;
    if (3 * x < 2)
      return m1 + (m2 - m1) * (2.0 / 3 - x) * 6;
    return m1;
  };
  return Rgb(Clamp255(RoundEven(255 * value(h + 1.0 / 3))), Clamp255(RoundEven(255 * value(h))),
             Clamp255(RoundEven(255 * value(h - 1.0 / 3))), 0);
}

TColor BrightenColor(TColor AColor, uint8_t AAmount) {
  return MapChannels(AColor,
                     [AAmount](int v, int) { return v < 255 - AAmount ? v + AAmount : 255; });
}

TColor ScaleColor(TColor AColor, double AFactor) {
  return MapChannels(AColor,
                     [AFactor](int v, int) { return Clamp255(RoundEven((v + 1) * AFactor - 1)); });
}

TColor ScaleColorChannels(TColor AColor, double ARedFactor, double AGreenFactor,
                          double ABlueFactor) {
  const double factors[3] = {ARedFactor, AGreenFactor, ABlueFactor};
  return MapChannels(AColor,
                     [&factors](int v, int i) { return Clamp255(RoundEven(v * factors[i])); });
}

TColor BlendColors(TColor AColor1, TColor AColor2, double AT) {
  const uint32_t c1 = uint32_t(ColorToRGB(AColor1));
  const uint32_t c2 = uint32_t(ColorToRGB(AColor2));
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int b1 = int((c1 >> shift) & 0xFF);
    const int b2 = int((c2 >> shift) & 0xFF);
    result |= (uint32_t(b1 + RoundEven(AT * (b2 - b1))) & 0xFFu) << shift;
  }
  return TColor(result);
}

uint8_t GetLuminance(uint8_t ARed, uint8_t AGreen, uint8_t ABlue) {
  return uint8_t((77 * ARed + 151 * AGreen + 28 * ABlue) >> 8);
}

TColor GreyOfColor(TColor AColor) {
  const TColor rgb = ColorToRGB(AColor);
  return TColor(uint32_t(GetLuminance(Red(rgb), Green(rgb), Blue(rgb))) * 0x010101u);
}

uint32_t MakeColor(uint8_t AAlpha, uint8_t ARed, uint8_t AGreen, uint8_t ABlue) {
  return uint32_t(ABlue) | (uint32_t(AGreen) << 8) | (uint32_t(ARed) << 16) |
         (uint32_t(AAlpha) << 24);
}

TColor FadeColor(TColor AColor, TXPFadeMode AMode, int AStep, uint8_t ALevel) {
  uint8_t hue = 0, saturation = 0, luminance = 0;
  ColorToHSL(AColor, hue, saturation, luminance);
  const int a = 10 - ALevel;
  const int b = (ALevel & 0x7F) + 10;
  int l = luminance;
  switch (AMode) {
  case xfmNone:
    l = MulDiv(l, a, 10);
    break;
  case xfmFadeIn:
    l = RoundEven(l * (a + (b - a) * AStep / 8.0) / 10);
    break;
  case xfmFadeOut:
    l = RoundEven(l * (b - (b - a) * AStep / 8.0) / 10);
    break;
  }
  // A level above 10 makes the factor negative: that is black, not a
  // luminance wrapped round to a bright one.
  return HSLToColor(hue, saturation, uint8_t(Clamp255(l)));
}

void ClipToRect(HDC ADC, const RECT& ARect, HRGN& ASavedRegion, bool AExclude) {
  ASavedRegion = CreateRectRgn(0, 0, 0, 0);
  if (ASavedRegion) {
    LedgerTake(TResourceKind::GdiObject, ASavedRegion);
    if (GetClipRgn(ADC, ASavedRegion) != 1) {
      LedgerGive(TResourceKind::GdiObject, ASavedRegion);
      DeleteObject(ASavedRegion);
      ASavedRegion = nullptr;
    }
  }
  if (AExclude)
    ExcludeClipRect(ADC, ARect.left, ARect.top, ARect.right, ARect.bottom);
  else
    IntersectClipRect(ADC, ARect.left, ARect.top, ARect.right, ARect.bottom);
}

void RestoreClipRgn(HDC ADC, HRGN ASavedRegion) {
  SelectClipRgn(ADC, ASavedRegion);
  if (ASavedRegion) {
    LedgerGive(TResourceKind::GdiObject, ASavedRegion);
    DeleteObject(ASavedRegion);
  }
}
