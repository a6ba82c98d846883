#pragma once

#include "graphics.h"
#include "seams.h"

#include <windows.h>

#include <cstdint>
#include <string>

class TPersistent;
class TStrings;

// Routines the editors, their popups and the tree list share: the two
// process-wide brushes, bitmap and glyph blits, the one routine that draws
// and measures every cell text, drop shadows, popup placement, the message
// queue helper and the pieces of a sizeable popup's bottom bar.

// --- beeps ---------------------------------------------------------------------

// A refused key or a rejected value beeps; tests count the beeps here.
class TgxBeepSeam : public TSeam<TgxBeepSeam> {
public:
  virtual void Beep(UINT AType) = 0;
  static TgxBeepSeam& System();
};
// MessageBeep(0) through the seam.
void EditorBeep();

// --- brushes -------------------------------------------------------------------

// An 8 x 8 checkerboard pattern brush (black where x and y have the same
// parity), made on first request, deleted by FreeHalftoneBrush.
HBRUSH GetHalftoneBrush();
void FreeHalftoneBrush();
// A solid brush of the button-shadow colour for every drop shadow, made on
// first request, deleted by FreeBtnShadowBrush.
HBRUSH GetBtnShadowBrush();
void FreeBtnShadowBrush();

// --- bitmaps -------------------------------------------------------------------

// Grows the bitmap to at least the given size, never shrinking it.
void EnsureBitmapSize(TBitmap& ABitmap, int AWidth, int AHeight);
// A 50 % checkerboard of AColor over the rectangle; the other pixels stay.
void DitherRect(HDC ADC, const RECT& ARect, TColor AColor);
// The bitmap at ARect with its transparent colour replaced by the brush.
void DrawBitmapOnBrush(HDC ADC, HBRUSH ABrush, const RECT& ARect, TBitmap& ABitmap);
// AAreaRect filled with the brush and the bitmap at AGlyphRect inside it,
// its transparent colour showing the brush; one blit to the DC.
void DrawGlyphOnBrush(HDC ADC, HBRUSH ABrush, const RECT& AAreaRect, const RECT& AGlyphRect,
                      TBitmap& ABitmap);

// --- text ------------------------------------------------------------------------

// The option bits of DrawTextInRect.
enum : uint16_t {
  gxdtLeft = 0x0000,
  gxdtCenter = 0x0001,
  gxdtRight = 0x0002,
  gxdtAlignMask = 0x0003,
  gxdtVCenter = 0x0004,
  gxdtBottom = 0x0008,
  gxdtWordWrap = 0x0010,
  gxdtWordWrapVCenter = 0x0014,
  gxdtLayoutMask = 0x001C,
  gxdtEndEllipsis = 0x0100,
  gxdtPathEllipsis = 0x0200,
  gxdtFocusRect = 0x0400,
  gxdtFocusTextOnly = 0x0800,
  gxdtNoFill = 0x1000,
  gxdtPrefix = 0x2000,
  gxdtMeasure = 0x4000,
  gxdtKeepBkMode = 0x8000,
};

// Draws (or with gxdtMeasure measures) ALength characters of AText in
// ATextRect inside the cell AClipRect, which it fills with ABrush and clips
// to. The font and colours are selected for the call and restored on every
// exit. Measuring answers the height the cell needs, drawing 0; ATextHeight
// (optional) receives the text's own height when measuring.
int DrawTextInRect(HDC ADC, const wchar_t* AText, int ALength, const RECT& AClipRect,
                   const RECT& ATextRect, uint16_t AFlags, HBRUSH ABrush, HFONT AFont,
                   COLORREF ABkColor, COLORREF ATextColor, int* ATextHeight = nullptr);

// --- shadows and popups --------------------------------------------------------------

// The bottom strip (ASize high) and the right strip (ASize wide) of ARect.
void DrawShadow(HDC ADC, const RECT& ARect, int ASize, HBRUSH ABrush);
// The work area of the monitor nearest AP (the desktop's when the monitor
// cannot be read).
void GetWorkAreaFromPoint(POINT AP, RECT& ARect);
// Keeps a popup of the size, opening just below an editor AEditHeight high
// at AP, inside the work area; it opens above the editor when the room
// below is too small and there is more above.
void AdjustPopupPos(POINT& AP, int AWidth, int AHeight, int AEditHeight);
// clNone gives CLR_NONE, clDefault CLR_DEFAULT, any other colour its RGB.
COLORREF GetImageListColor(TColor AColor);
// Removes one pending AMsg of the window from the queue; a WM_QUIT taken
// out with it is posted again.
void KillMessage(HWND AWnd, UINT AMsg);

// --- the sizeable popup's bottom bar ------------------------------------------------

enum TgxCorner { coTopLeft, coTopRight, coBottomLeft, coBottomRight };

int GetPopupBarHeight();
LRESULT GetHitTestByCorner(TgxCorner ACorner);
// The close button at the end of the bar away from the size grip's corner;
// ARect is the bar.
void DrawCloseButton(HDC ADC, RECT& ARect, bool AHot, bool APressed, TgxCorner ACorner);
void DrawSizeGrip(HDC ADC, const RECT& ARect, TgxCorner ACorner);

// --- layout storage --------------------------------------------------------------

// One set of read, write and erase calls over an ini file object
// (TCustomIniFile and its kin) or a registry ini object (TRegIniFile), so
// the same save and load code serves both. The storage object is the
// caller's; the wrapper only chooses whose operation to call.
class TgxRegIniWrapper {
public:
  TPersistent* RegIniObject() const { return FRegIniObject; }
  void SetRegIniObject(TPersistent* AValue) { FRegIniObject = AValue; }

  std::wstring ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                          const std::wstring& ADefault);
  void WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                   const std::wstring& AValue);
  int ReadInteger(const std::wstring& ASection, const std::wstring& AIdent, int ADefault);
  void WriteInteger(const std::wstring& ASection, const std::wstring& AIdent, int AValue);
  bool ReadBool(const std::wstring& ASection, const std::wstring& AIdent, bool ADefault);
  void WriteBool(const std::wstring& ASection, const std::wstring& AIdent, bool AValue);
  void ReadSection(const std::wstring& ASection, TStrings& AStrings);
  void ReadSections(TStrings& AStrings);
  void ReadSectionValues(const std::wstring& ASection, TStrings& AStrings);
  void EraseSection(const std::wstring& ASection);
  void DeleteKey(const std::wstring& ASection, const std::wstring& AIdent);
  // Registry objects only: the value's size with ABufSize 0 or less, else
  // the bytes read (at most ABufSize); 0 for a missing key or value. The
  // registry object's current key is the same afterwards, also on failure.
  int ReadBinaryData(const std::wstring& ASection, const std::wstring& AIdent, void* ABuffer,
                     int ABufSize);
  void WriteBinaryData(const std::wstring& ASection, const std::wstring& AIdent,
                       const void* ABuffer, int ABufSize);
  // Ini objects only: erases every section whose name begins with APath
  // (case-sensitive), the stored layout with all its sub-sections.
  void Erase(const std::wstring& APath);

private:
  TPersistent* FRegIniObject = nullptr;
};
