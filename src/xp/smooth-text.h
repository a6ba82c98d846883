#pragma once

#include "graphics.h"
#include "xp-graphics.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Anti-aliased text that does not depend on the system's font smoothing.
// Every character is rendered once per font into a supersampled bitmap,
// reduced to a grey coverage map and cached; drawing composes the cached
// coverage and blends it onto the target in the text colour.
class TSmoothTextRenderer {
public:
  // One character of one font. Coverage is 255 where the cell has no ink
  // and 0 where it is fully covered; Height = Width = -1 until rendered.
  struct TGlyph {
    std::vector<uint8_t> Data; // Width x Height bytes, top row first
    int Height = -1;
    int Width = -1; // ink width
    int Advance = 0;
  };

  // The rendered characters of one font.
  class TSmoothSymbolSet {
  public:
    explicit TSmoothSymbolSet(TFont& AFont);
    TFont Font;
    int Ascent = 0;
    // The glyph of a character, rendered on first use.
    const TGlyph& Char(wchar_t ACode);
    // Coverage bytes held by the rendered characters.
    size_t CoverageBytes() const;

  private:
    // 65536 records, kept in pages made when a character of the page is
    // first asked for, so a cached font costs only what it has rendered.
    using TPage = std::array<TGlyph, 256>;
    std::array<std::unique_ptr<TPage>, 256> FPages;
  };

  // A 24-bit top-down DIB section with its own memory context; pixels are
  // blue, green, red.
  class TFastBMP {
  public:
    TFastBMP(int AWidth, int AHeight);
    ~TFastBMP();
    TFastBMP(const TFastBMP&) = delete;
    TFastBMP& operator=(const TFastBMP&) = delete;
    int Gap = 0;
    int RowInc = 0;
    int Size = 0;
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t*> Pixels;
    uint8_t* Bits = nullptr;
    HBITMAP Handle = nullptr;
    HDC hDC = nullptr;
    BITMAPINFO bmInfo{};
    BITMAPINFOHEADER& bmHeader = bmInfo.bmiHeader;

  private:
    HGDIOBJ FOldBitmap = nullptr;
  };

  static void SmoothTextOut(TCanvas& ACanvas, const RECT& ARect, int ALineSpacing,
                            TEllipsisPosition AEllipsis, TXPDrawCaptionFlags AFlags,
                            TTextLayout ALayout, TAlignment AAlignment, TColor AColor, TFont& AFont,
                            const std::wstring& AText);
  // Width of the widest line (wrapped in ARect with dcfMultiline) in the
  // canvas's font.
  static int SmoothTextWidth(TCanvas& ACanvas, const std::wstring& AText,
                             TXPDrawCaptionFlags AFlags, const RECT& ARect);
  // Line height x lines, in the canvas's font.
  static int SmoothTextHeight(TCanvas& ACanvas, const std::wstring& AText, int ALineSpacing,
                              TXPDrawCaptionFlags AFlags, const RECT& ARect);
  // Draws every character from the APosition-th on (a hard line break
  // counting 2) struck out; APosition 0 or less strikes nothing. Refuses
  // vertical text.
  static void SmoothTextOut_MakeStrikeOutAfter(TCanvas& ACanvas, const RECT& ARect,
                                               int ALineSpacing, TXPDrawCaptionFlags AFlags,
                                               TTextLayout ALayout, TAlignment AAlignment,
                                               TColor AColor, TFont& AFont, int APosition,
                                               const std::wstring& AText);

  // The supersampling factor a font renders with: 16 up to a cell height of
  // 50 pixels, 8 up to 100, else 4.
  static int SupersamplingFactor(TFont& AFont);
  // A background channel under ink of the given coverage.
  static uint8_t BlendChannel(uint8_t ABackground, uint8_t AInk, uint8_t ACoverage);
  // The cache slot (1..1000) holding the font's symbol set, 0 when none.
  static int CachedSlotOf(const TFont& AFont);
  // The set of a font, added to the cache when it has none.
  static TSmoothSymbolSet& SymbolSetOf(TFont& AFont);
  static int EvictionCursor();

  // Frees the cache and the work surfaces (at unloading; everything works
  // again afterwards).
  static void Shutdown();
};
