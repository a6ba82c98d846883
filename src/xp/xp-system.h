#pragma once

#include "controls.h"
#include "graphics.h"
#include "seams.h"
#include "xp-graphics.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The lowest layer of the drawing library: version tests, the theme state
// every control asks before it paints, a parent's background under a
// transparent control, client capture, the glyph-and-caption layout of all
// buttons, resource and monitor lookup and a five-byte code patch.

bool IsWindowsXPOrLater();
bool IsWindowsVistaOrLater();

// 0 classic, 1 the library's own emulated XP look, 2 themed.
constexpr int xtsClassic = 0;
constexpr int xtsEmulated = 1;
constexpr int xtsThemed = 2;

// The library draws its own XP look on systems older than XP.
constexpr bool XPEmulationEnabled = true;

// The state for a Windows version and the theme services' answer: themed
// whenever themes are on, the emulated look before XP, else classic.
int XPThemeStateFor(DWORD AMajorVersion, DWORD AMinorVersion, bool AThemesEnabled);
// The current state, asked afresh on every call through the theme seam.
int GetXPThemeState();

// The first resource module (this module, then the program's) holding a
// resource of the name and type; nullptr when none does.
HINSTANCE FindResourceModule(const wchar_t* AName, const wchar_t* AType);

// The shield's stock icon id; GetStockIconHandle (seams.h) gives its handle.
constexpr int kShieldStockIconId = 77;

// MONITORINFO of the monitor nearest the screen point; zeroed when there is
// none.
void GetMonitorInfoFromPoint(POINT APoint, MONITORINFO& AInfo);
TColor GetParentBackColor(TControl* AControl);

// Paints AControl's parent (erase, and paint for a windowed control) into
// ADC under the control, limited to AClip when given.
void PaintParentBackground(TControl* AControl, HDC ADC, const RECT* AClip = nullptr);
// The control's client area into ABitmap (32 bits, ClientWidth x
// ClientHeight); false when the window information cannot be read.
bool PrintControlToBitmap(TWinControl* AControl, TBitmap& ABitmap);

// One part of the system theme (class, part and state as UxTheme numbers
// them) drawn into ARect; nothing is drawn where UxTheme is missing or has
// no data for the class.
void DrawThemePart(HWND AWindow, const wchar_t* AClass, int APart, int AState, HDC ADC,
                   const RECT& ARect);
// The theme's true size of one part (ADC may be nullptr); false, with ASize
// left alone, where UxTheme is missing or has no positive size for it.
bool ThemePartTrueSize(HWND AWindow, const wchar_t* AClass, int APart, int AState, HDC ADC,
                       SIZE& ASize);

// Glyph placement against the caption: 0 glyph left, 1 right, 2 top, 3 bottom.
enum class TXPButtonLayout { blGlyphLeft = 0, blGlyphRight = 1, blGlyphTop = 2, blGlyphBottom = 3 };

struct TXPButtonPlacement {
  POINT TotalSize{};
  POINT GlyphPos{};
  RECT TextBounds{};
};

// Places a glyph and a measured text in AClient; margin and spacing -1 are
// automatic.
TXPButtonPlacement PlaceGlyphAndText(const RECT& AClient, POINT AGlyphSize, POINT ATextSize,
                                     TXPButtonLayout ALayout, int AMargin, int ASpacing);
// Measures the caption with AFont in the room the glyph leaves (line
// spacing 100, no ellipsis, the caption flags), then places both.
TXPButtonPlacement CalcXPButtonLayout(TCanvas& ACanvas, const RECT& AClient, TFont& AFont,
                                      const std::wstring& ACaption, POINT AGlyphSize,
                                      TXPButtonLayout ALayout, int AMargin, int ASpacing,
                                      TXPDrawCaptionFlags AFlags);

// A patched entry: its address (nullptr when not patched) and the five
// bytes that stood there.
struct TCodeHook {
  void* Address = nullptr;
  uint8_t Saved[5] = {};
};

// Writes a relative jump to AReplacement at AEntry. Refuses (false, empty
// record, nothing written) when the distance does not fit the jump's 32-bit
// displacement or the write fails.
bool InstallCodeHook(void* AEntry, void* AReplacement, TCodeHook& AHook);
// Puts the saved bytes back when the record holds an address.
void RemoveCodeHook(TCodeHook& AHook);
