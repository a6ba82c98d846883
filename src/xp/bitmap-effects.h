#pragma once

#include "graphics.h"

// Per-pixel effects on 32-bit bitmaps (blue, green, red, alpha). Every
// effect but PremultiplyAlpha and CreateAlphaSilhouette asserts that the
// bitmap is 32 bits per pixel (EAssertionFailed): a caller's mistake.
// Areas are (left, top, right, bottom) pixel coordinates, clamped to the
// bitmap (right and bottom to its last column and row).

void SoftenBitmap(TBitmap& ABitmap, RECT AArea, int ALimit);
void GaussianBlurBitmap(TBitmap& ABitmap, double ARadius);
void AddRandomNoise(TBitmap& ABitmap, RECT AArea, int AAmount);
void ApplyBrushedTexture(TBitmap& ABitmap, int ASpread, int APersistence, double AStep);
void GreyscaleBitmap(TBitmap& ABitmap);
// The disabled look: greyscale lightened by 40 %.
void LightGreyscaleBitmap(TBitmap& ABitmap);
void ColorKeyToAlpha(TBitmap& ABitmap, TColor AKey);
// AGraphic is a TAlphaBitmap; colours are multiplied by alpha where it is
// below 255.
void PremultiplyAlpha(TGraphic& AGraphic);
// A new 32-bit bitmap of AGraphic's size: its shape in AColor, premultiplied.
// The caller owns it.
TBitmap* CreateAlphaSilhouette(TGraphic& AGraphic, TColor AColor);
