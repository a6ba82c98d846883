#pragma once

#include "tree-list-core.h"

#include "graphics.h"
#include "unit-steps.h"

#include <windows.h>

#include <string>

class TBitmap;
class TCustomImageList;

// The tree list's stateless drawing routines (expand buttons, header
// frames, sort and drop-down glyphs, focus frames), its text line counter,
// and what its unit shares for the whole process: the cursors, the
// save-under and expand-button bitmaps, the indicator images, a screen
// context for measuring and the customizing texts.

// The screen cursor slots the tree list registers, with their resources.
struct TgxTreeListCursor {
  int Slot;
  const wchar_t* ResourceName;
};
extern const TgxTreeListCursor kgxTreeListCursors[10];
constexpr int kgxTreeListDeleteCursor = -1124;
constexpr int kgxTreeListDragCopyCursor = -1138;
constexpr int kgxTreeListMultiDragCopyCursor = -1139;

// A 9 x 9 box framed in the grey-text colour, centred horizontally in
// ARect, rows ACenterY - 4 to ACenterY + 4, with a minus in ABrush (the
// window-text colour when nullptr) and, when collapsed, a plus.
void DrawTreeButton(HDC ADC, const RECT& ARect, int ACenterY, bool ACollapsed, HBRUSH ABrush);
// An 11 x 11 window-coloured box framed and marked in the dark 3D shadow,
// centred in ARect.
void DrawFlatTreeButton(HDC ADC, const RECT& ARect, bool ACollapsed);
// An 8 x 7 outlined triangle centred in ARect, apex up for AUp.
void DrawSortArrow(HDC ADC, const RECT& ARect, bool AUp);
// The frame and fill of a header or band; ARect becomes the caption area.
// APosition: 0 for a lone or outer element, 1 to 3 inside a row.
void DrawHeaderFrame(HDC ADC, RECT& ARect, HBRUSH ABrush, bool APushed, int APosition,
                     TgxLookAndFeel ALook);
// The frame; a pushed button of a non-standard look is inverted whole.
void DrawHeaderButton(HDC ADC, RECT& ARect, HBRUSH ABrush, bool APushed, int APosition,
                      TgxLookAndFeel ALook);
// The drop-down state bits of a header button.
enum : int { kgxDropDownHot = 2, kgxDropDownPushed = 4, kgxDropDownFiltered = 8 };
// A header's drop-down button with its downward triangle.
void DrawDropDownGlyph(HDC ADC, const RECT& ARect, int AState);
// A focus rectangle that shows the same on any cell colour.
void DrawCellFocusRect(HDC ADC, const RECT& ARect);
// Inverts the one-pixel frame of ARect, each pixel once.
void InvertRectFrame(HDC ADC, const RECT& ARect);
// Image AIndex of the list (when it has one) centred in ARect.
void DrawImageCentered(HDC ADC, const RECT& ARect, TCustomImageList& AImages, int AIndex);

// A header or band cell: frame, drop-down button (ADropDownState not 0),
// sort mark, glyph and caption. AAlignment is a TAlignment value.
void DrawHeaderCell(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                    bool APushed, bool AMultiLine, int AAlignment, TgxTreeListColumnSort ASort,
                    TBitmap* AGlyph, int APosition, TgxLookAndFeel ALook, int ADropDownState);
// DrawHeaderCell into ABuffer (grown to the cell, with ADC's font and text
// colour), then only AClipRect of it is copied to ADC, so a cell cut by a
// fixed band keeps its whole-cell look.
void DrawHeaderCellBuffered(HDC ADC, const RECT& ARect, const RECT& AClipRect, HBRUSH ABrush,
                            TBitmap& ABuffer, const std::wstring& AText, bool APushed,
                            bool AMultiLine, int AAlignment, TgxTreeListColumnSort ASort,
                            TBitmap* AGlyph, int APosition, TgxLookAndFeel ALook,
                            int ADropDownState);
// A footer cell's sunken right and bottom edge and fill; ARect becomes the
// text area.
void DrawFooterCellFrame(HDC ADC, RECT& ARect, HBRUSH ABrush);

// The DrawText flags of the cell, caption and preview texts.
enum : UINT {
  kgxHeaderTextFlags = 0x8864,
  kgxHeaderMultiLineFlags = 0x850,
  kgxCellTextFlags = 0x864,
  kgxCellMultiLineFlags = 0x850,
  kgxPreviewTextFlags = 0x8850
};
// DT_LEFT, DT_RIGHT or DT_CENTER of a TAlignment value.
UINT AlignmentTextFlag(int AAlignment);

// How a cell's text is painted.
struct TgxCellTextStyle {
  int Alignment = 0; // TAlignment
  // Only the characters and the background behind them, in the context's
  // colours: the search highlight over an already painted cell.
  bool Opaque = false;
  // The text starts one pixel lower (the selection frame takes the top line).
  bool TopInset = false;
  bool UseBitmap = false;
  bool EndEllipsis = false;
  bool PathEllipsis = false;
  bool MultiLine = false;
};
// Fills ARect with ABrush and draws ALength characters (0: all) of AText
// transparently in the context's font and text colour.
void DrawCellText(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText, int ALength,
                  const TgxCellTextStyle& AStyle);
// A cell's text: one clipped text output for plain single-line texts in a
// device colour, otherwise DrawCellText, through ABuffer when the style
// asks for it and a buffer is given.
void PaintCellText(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                   int ALength, const TgxCellTextStyle& AStyle, TBitmap* ABuffer);
// The preview text, word-wrapped with an end ellipsis, AIndent pixels in.
void DrawPreviewText(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                     int AIndent, COLORREF ATextColor, HFONT AFont);
void DrawPreviewCell(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                     int AIndent, COLORREF ATextColor, HFONT AFont, bool AUseBitmap,
                     TBitmap* ABuffer);

// The incremental search's match: equal once both are upper-cased.
bool SameTextUpper(const std::wstring& AS1, const std::wstring& AS2);
[[noreturn]] void RaiseTreeListError(const std::wstring& AMessage);
// A non-empty path with a leading backslash and no trailing one.
std::wstring NormalizeRegistryPath(const std::wstring& APath);
// The routine that names the registry root the layouts of older versions
// were kept under; none is set in the plug-in.
using TgxRegistryRootProvider = std::wstring (*)();
void SetRegistryRootProvider(TgxRegistryRootProvider AProvider);
// Deletes the "Software" subkey under the provider's path of
// HKEY_CURRENT_USER; nothing without a provider or a path.
void DeleteOldRegistryLayouts();

// The lines AText needs at AWidth (0 for an empty text or AMaxLines 0,
// leaving AHeight alone), at most AMaxLines unless that is -1; AHeight
// receives the lines' height + 3. A ALineHeight of 0 takes the font's.
int CalcTextLineCount(const std::wstring& AText, int AWidth, int ALineHeight, int AMaxLines,
                      HFONT AFont, bool ATight, int AMargin, int& AHeight);

// The indicator pictures (arrow, edit, insert, multi-dot, multi-arrow),
// one list made on the first call.
TCustomImageList* GetIndicatorImages();
// The shared bitmaps: the drop arrows' save-under and the expand glyphs.
TBitmap* GetDropArrowSaveBitmap();
TBitmap* GetPlusBitmap();
TBitmap* GetMinusBitmap();
// The screen context kept for measuring; nullptr outside the unit's load.
HDC GetTreeListMeasureDC();
// The customizing form's caption and its two page captions.
const std::wstring& GetCustomizeCaption();
const std::wstring& GetCustomizeBandsCaption();
const std::wstring& GetCustomizeHeadersCaption();

// gxTL: the cursors, the three bitmaps, the customizing texts and the
// screen context at load; at unload those and the indicator images go.
void GxTreeListStartup();
void GxTreeListShutdown();

inline constexpr TUnitStep kGxTreeListUnitStep{L"gxTL", &GxTreeListStartup, &GxTreeListShutdown};
