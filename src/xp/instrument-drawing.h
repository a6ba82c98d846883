#pragma once
// Interface stable.

#include "graphics.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The drawing routines and shared enumerations of the instrument front
// panels: display faces (a recessed, shaded, grainy plate or a dark red LED
// gradient), instrument push-button faces, the four-band gradient both use,
// and the routines that darken or lighten a run of pixels. Everything draws
// into 32-bit bitmaps the callers own; a pixel written here carries the
// colour's red, green and blue and its top byte in the alpha byte.

// The colour of a display window.
enum TDisplayStyle : uint8_t {
  dsWhite,
  dsGray,
  dsCream,
  dsRed,
  dsOrange,
  dsLilac,
  dsBlue,
  dsGreen,
  dsPaleGreen,
  dsBronze,
  dsRedLed
};

// The colour scheme of a whole front panel.
enum TInstrumentPanelStyle : uint8_t {
  ipsMidGray,
  ipsLightGray,
  ipsDarkGray,
  ipsDarkRed,
  ipsOliveGreen,
  ipsBlueGreen,
  ipsBronze,
  ipsBlueGray,
  ipsGreen,
  ipsBlue,
  ipsGrayLilac,
  ipsGrayOrange,
  ipsGrayBlue
};

// The lamp glyph of the instrument check box.
enum TInstrumentCheckStyle : uint8_t {
  icsMixed,
  icsRed,
  icsGreen,
  icsButton,
  icsRectAmber,
  icsRectBlue,
  icsRectGreen,
  icsRectPurple,
  icsRectRed,
  icsRectYellow,
  icsAmber,
  icsBlue,
  icsPurple,
  icsYellow,
  icsWhite
};

// Options of a button face (a set of bits).
enum TInstrumentFaceOption : unsigned {
  ifoPressed = 1 << 0,    // drawn down: content one pixel right and down, other frame
  ifoLit = 1 << 1,        // backlight on: yellow gradient, dark caption
  ifoDisabled = 1 << 2,   // grey caption
  ifoGrain = 1 << 3,      // random grain over the whole face at the end
  ifoHorizontal = 1 << 4, // gradients left to right; grain bound 20 instead of 10
};
using TInstrumentFaceOptions = unsigned;

// How a button face draws its caption.
enum TInstrumentCaptionMode : uint8_t {
  icmNone = 0,      // no caption
  icmStandard = 1,  // white, dark on a lit face, grey when disabled
  icmFontColor = 2, // the font's colour
  icmGlow = 3,      // the given colour over a soft glow
};

// --- colour tables -------------------------------------------------------------

// The face colour of a display style; ABright matters only for dsRedLed.
// A value outside the enumeration takes the dsCream colour.
TColor DisplayFaceColor(TDisplayStyle AStyle, bool ABright = false);
// The plate colour of a panel style; 0xA59B9B outside the enumeration.
TColor PanelStyleColor(TInstrumentPanelStyle AStyle);
// The colour of the push buttons on a plate of the style;
// ScaleColor(0xA59B9B, 1.05) outside the enumeration.
TColor ButtonColorForPanelStyle(TInstrumentPanelStyle AStyle);
// The display style a display window adopts on a plate of the style;
// dsCream outside the enumeration.
TDisplayStyle DisplayStyleForPanelStyle(TInstrumentPanelStyle AStyle);
// The font colour of the instrument labels inside a display of the style.
TColor LabelColorForDisplayStyle(TDisplayStyle AStyle);

// --- display faces ---------------------------------------------------------------

// FillDisplayFace then DrawDisplayBevel. AUnframed leaves out the outer
// frame lines.
void DrawDisplayFace(TBitmap& ABitmap, const RECT& ARect, bool ABright, TDisplayStyle AStyle,
                     bool AUnframed);
// The shaded grain fill (a fresh grain on every call), or the LED gradient
// for dsRedLed. The area is clipped to the bitmap.
void FillDisplayFace(TBitmap& ABitmap, const RECT& ARect, TColor AFaceColor, TDisplayStyle AStyle);
// The inner shadow and the frame: three steps and the frame one pixel
// outside for faces narrower or lower than 30 pixels, six steps and the
// frame on the edge otherwise.
void DrawDisplayBevel(TBitmap& ABitmap, const RECT& ARect, TDisplayStyle AStyle, bool AUnframed);
// Each pixel of the run (inclusive) becomes ScaleColor(pixel, AFactor); runs
// outside the bitmap are clipped or skipped.
void ShadeRow(TBitmap& ABitmap, int AX1, int AX2, int AY, double AFactor);
void ShadeColumn(TBitmap& ABitmap, int AX, int AY1, int AY2, double AFactor);
// The same through the canvas's pixel access, for y from AY1 to AY2
// inclusive; nothing when AY2 is below AY1.
void ShadeCanvasColumn(TCanvas& ACanvas, int AX, int AY1, int AY2, double AFactor);

// --- gradients and button faces ---------------------------------------------------

// Four bands cut at AP1, AP2 and AP3 of the extent, coloured from
// ScaleColor(AColor, AF0) through AF4; left to right when AHorizontal,
// else top to bottom.
void DrawMultiGradient(TCanvas& ACanvas, const RECT& ARect, TColor AColor, double AF0, double AF1,
                       double AF2, double AF3, double AF4, double AP1, double AP2, double AP3,
                       bool AHorizontal);

// The colour a button face gives its caption.
TColor InstrumentCaptionColor(TInstrumentFaceOptions AOptions, TInstrumentCaptionMode AMode,
                              TColor AFontColor, TColor ACustomTextColor);

// One instrument button face in ARect of a 32-bit bitmap: frame, gradient,
// caption (with a glow in icmGlow, AGlowLevel 0..10), pressed frame and grain.
void DrawInstrumentButtonFace(TBitmap& ABitmap, TColor ABaseColor, TColor AFrameColor,
                              const RECT& ARect, const std::wstring& ACaption, TFont& AFont,
                              TColor ACustomTextColor, TInstrumentFaceOptions AOptions,
                              TInstrumentCaptionMode ACaptionMode, int AGlowLevel);
