#pragma once

#include "graphics.h"
#include "labels.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The drawing primitives the controls share: gradients, caption drawing and
// measuring, the nine-part skin draw, transparent-colour blits and
// AlphaBlend with the library's blend settings.

// Caption flags (a 16-bit set).
enum TXPDrawCaptionFlag : uint16_t {
  dcfFocusRect = 1 << 0,
  dcfSunkenDisabled = 1 << 1,
  dcfMultiline = 1 << 2,
  dcfNoPrefix = 1 << 3,
  dcfSmoothText = 1 << 4,
  dcfVertical = 1 << 5,
  dcfVertClockwise = 1 << 6,
  dcfNoClipping = 1 << 7,
  dcfCustomUnderline = 1 << 8,
};
using TXPDrawCaptionFlags = uint16_t;

// TAlignment (taLeftJustify, taRightJustify, taCenter) is the framework's
// label alignment (labels.h), shared so that labels draw through captions.
enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
enum TEllipsisPosition : uint8_t { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

// DrawText flags of a caption setting: line mode, ellipsis, prefix, clipping.
UINT CaptionDrawTextFlags(TXPDrawCaptionFlags AFlags, TEllipsisPosition AEllipsis);

class TImgLibManager {
public:
  // Fills ARect from AStartColor to AEndColor, left to right when
  // AHorizontal, else top to bottom.
  static void DrawGradient(HDC ADC, const RECT& ARect, TColor AStartColor, TColor AEndColor,
                           bool AHorizontal);
  // A four-corner gradient; each coefficient (0 light, 1 dark) is the mix
  // at one corner: 11 top-left, 12 top-right, 21 bottom-left, 22 bottom-right.
  static void DrawBiGradient(HDC ADC, const RECT& ARect, TColor LightColor, TColor DarkColor,
                             float Coef11, float Coef12, float Coef21, float Coef22);
};

// ARect filled, or framed one pixel wide, with a solid colour (system
// colours resolved); the brush lives for the one call.
void FillSolidRect(HDC ADC, const RECT& ARect, TColor AColor);
void FrameSolidRect(HDC ADC, const RECT& ARect, TColor AColor);

// Binds the gradients to GradientFill of "msimg32.dll" when the system has
// it, else to the pixel routines; XPGraphicsShutdown releases the library
// and goes back to the pixel routines.
void XPGraphicsStartup();
void XPGraphicsShutdown();
// True while the gradients are drawn through GradientFill.
bool XPGradientFillBound();

void GradientFillRect(HDC ADC, const RECT& ARect, TColor AStartColor, TColor AEndColor,
                      bool AHorizontal);

// Draws a caption in ARect with the font; AColor clDefault is the font's
// colour. With dcfSmoothText the smooth text renderer draws it (and only it
// uses the line spacing, in percent).
void DrawXPCaption(TCanvas& ACanvas, const RECT& ARect, const std::wstring& AText, TFont& AFont,
                   TColor AColor, TAlignment AAlignment, TTextLayout ALayout,
                   TXPDrawCaptionFlags AFlags, TEllipsisPosition AEllipsis, int ALineSpacing);
// The extent DrawXPCaption would give the caption in ARect (width and
// height exchanged for vertical text).
void MeasureXPCaption(TCanvas& ACanvas, const RECT& ARect, const std::wstring& AText, SIZE& ASize,
                      int ALineSpacing, TEllipsisPosition AEllipsis, TXPDrawCaptionFlags AFlags,
                      TFont& AFont);

// Stretches the source area of ABitmap onto ADestRect in nine parts: the
// corners unscaled, the edges along their length, the centre both ways.
// AInnerRect is relative to the source area's top-left corner. With
// AUseAlpha the parts are blended by their per-pixel alpha.
void DrawSkinBitmap(const RECT& ADestRect, const RECT& AInnerRect, const RECT& ASourceRect, HDC ADC,
                    HBITMAP ABitmap, bool AUseAlpha);
// The same for a framework bitmap (its own canvas lets go of it first).
void DrawSkinBitmap(const RECT& ADestRect, const RECT& AInnerRect, const RECT& ASourceRect, HDC ADC,
                    TBitmap& ABitmap, bool AUseAlpha);

// Copies a source area except its pixels of ATransparentColor.
void TransparentMaskBlt(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                        int ASourceX, int ASourceY, TColor ATransparentColor);
// The same, stretching the source area to the destination size.
void TransparentStretchBlt(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                           int ASourceX, int ASourceY, int ASourceWidth, int ASourceHeight,
                           TColor ATransparentColor);

// The library's blend: source over, constant alpha 255, per-pixel alpha.
BLENDFUNCTION XPBlendFunction();
void AlphaBlendImage(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                     int ASourceX, int ASourceY);
void AlphaBlendStretch(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                       int ASourceX, int ASourceY, int ASourceWidth, int ASourceHeight);
void AlphaBlendConst(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                     int ASourceX, int ASourceY, uint8_t AConstantAlpha, uint8_t AAlphaFormat);
void AlphaBlendConstStretch(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                            int ASourceX, int ASourceY, int ASourceWidth, int ASourceHeight,
                            uint8_t AConstantAlpha, uint8_t AAlphaFormat);

// True when there is no graphic, it is empty, or it has no width or height.
bool IsGraphicEmpty(const TGraphic* AGraphic);
