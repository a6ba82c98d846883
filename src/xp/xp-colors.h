#pragma once

#include "graphics.h"

#include <windows.h>

#include <cstdint>

// Colour arithmetic of the control library. Every operation that takes a
// TColor resolves system colours to RGB first; hue, saturation and
// luminance are bytes on a 0..255 scale (a full hue turn is 255). "Round"
// is round-half-to-even throughout.

// The step colours of fading buttons.
enum TXPFadeMode : uint8_t { xfmNone = 0, xfmFadeIn = 1, xfmFadeOut = 2 };

// The channels of an RGB colour (0x00BBGGRR).
inline uint8_t Red(TColor AColor) {
  return uint8_t(AColor);
}
inline uint8_t Green(TColor AColor) {
  return uint8_t(AColor >> 8);
}
inline uint8_t Blue(TColor AColor) {
  return uint8_t(AColor >> 16);
}

// A grey leaves AHue as it was (it has none) and gives saturation 0.
void ColorToHSL(TColor AColor, uint8_t& AHue, uint8_t& ASaturation, uint8_t& ALuminance);
TColor HSLToColor(uint8_t AHue, uint8_t ASaturation, uint8_t ALuminance);
// Each channel v: v + AAmount when v < 255 - AAmount, else 255.
TColor BrightenColor(TColor AColor, uint8_t AAmount);
// Each channel v: round((v + 1) x AFactor - 1), clamped to 0..255.
TColor ScaleColor(TColor AColor, double AFactor);
// Each channel v: round(v x its factor), clamped to 0..255.
TColor ScaleColorChannels(TColor AColor, double ARedFactor, double AGreenFactor,
                          double ABlueFactor);
// Each byte: c1 + round(AT x (c2 - c1)), kept to its low 8 bits.
TColor BlendColors(TColor AColor1, TColor AColor2, double AT);
// (77 r + 151 g + 28 b) shr 8.
uint8_t GetLuminance(uint8_t ARed, uint8_t AGreen, uint8_t ABlue);
// The grey of the colour's luminance.
TColor GreyOfColor(TColor AColor);
// A GDI+ ARGB value.
uint32_t MakeColor(uint8_t AAlpha, uint8_t ARed, uint8_t AGreen, uint8_t ABlue);
// The colour at AStep (0..8) of a fade: its luminance scaled by tenths
// that move from (10 - ALevel) to (10 + ALevel) when fading in, back when
// fading out; xfmNone darkens by ALevel tenths.
TColor FadeColor(TColor AColor, TXPFadeMode AMode, int AStep, uint8_t ALevel);

// Limits drawing on ADC to ARect (or, with AExclude, to everything but
// ARect). ASavedRegion receives the clip that was there before (nullptr
// when there was none) for RestoreClipRgn.
void ClipToRect(HDC ADC, const RECT& ARect, HRGN& ASavedRegion, bool AExclude = false);
// Puts the saved clip back (nullptr: no clipping) and frees the saved region.
void RestoreClipRgn(HDC ADC, HRGN ASavedRegion);
