#include "smooth-text.h"

#include "rtl-exceptions.h"
#include "xp-drawing-support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using SmoothText = XPDrawing;

TFont& FontOfHeight(TFont& AFont, int AHeight) {
  AFont.SetName(L"Tahoma");
  AFont.SetHeight(AHeight);
  return AFont;
}

TEST_F(SmoothText, SupersamplesByTheCellHeight) {
  struct TCase {
    int Height;
    int Factor;
  };
  for (const TCase& c : {TCase{-12, 16}, TCase{-60, 8}, TCase{-120, 4}}) {
    TFont font;
    EXPECT_EQ(TSmoothTextRenderer::SupersamplingFactor(FontOfHeight(font, c.Height)), c.Factor)
        << c.Height;
  }
}

TEST_F(SmoothText, BlendsCoverageIntoTheBackground) {
  struct TCase {
    uint8_t Background, Ink, Coverage, Expected;
  };
  for (const TCase& c :
       {TCase{0, 255, 128, 126}, // (127 x 255) shr 8
                                 // Ink of the background's own colour leaves it as it was.
        TCase{255, 255, 128, 255}, TCase{255, 255, 1, 255}, TCase{90, 90, 200, 90},
        TCase{255, 0, 128, 128}, TCase{77, 200, 255, 77}, TCase{77, 200, 0, 200},
        TCase{255, 255, 0, 255}, TCase{255, 255, 255, 255}})
    EXPECT_EQ(TSmoothTextRenderer::BlendChannel(c.Background, c.Ink, c.Coverage), c.Expected)
        << int(c.Background) << " " << int(c.Ink) << " " << int(c.Coverage);
}

TEST_F(SmoothText, GlyphsAreRenderedOncePerFontWithCoverageWhereTheInkIs) {
  TFont font;
  FontOfHeight(font, -20);
  TSmoothTextRenderer::TSmoothSymbolSet& set = TSmoothTextRenderer::SymbolSetOf(font);
  const TSmoothTextRenderer::TGlyph& glyph = set.Char(L'I');
  ASSERT_GT(glyph.Width, 0);
  ASSERT_GT(glyph.Height, 0);
  EXPECT_EQ(glyph.Data.size(), size_t(glyph.Width) * size_t(glyph.Height));
  uint8_t darkest = 255;
  for (uint8_t m : glyph.Data)
    darkest = std::min(darkest, m);
  EXPECT_LT(darkest, 64);
  EXPECT_EQ(&set.Char(L'I'), &glyph);
  EXPECT_EQ(&TSmoothTextRenderer::SymbolSetOf(font), &set);
  const TSmoothTextRenderer::TGlyph& space = set.Char(L' ');
  for (uint8_t m : space.Data)
    EXPECT_EQ(m, 255);
}

TEST_F(SmoothText, EmptyTextIsAsHighAsX) {
  TBitmap bitmap(100, 100);
  FontOfHeight(bitmap.Canvas().Font(), -14);
  const RECT r{0, 0, 100, 100};
  EXPECT_EQ(TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), L"", 100, 0, r),
            TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), L"X", 100, 0, r));
  EXPECT_GT(TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), L"", 100, 0, r), 0);
  EXPECT_EQ(TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), L"", 200, 0, r),
            2 * TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), L"", 100, 0, r));
}

TEST_F(SmoothText, OneCharacterMeasuresItsInkWidthAndMoreAddAdvances) {
  TBitmap bitmap(100, 100);
  TFont& font = FontOfHeight(bitmap.Canvas().Font(), -18);
  font.SetStyle(fsItalic);
  const RECT r{0, 0, 100, 100};
  TSmoothTextRenderer::TSmoothSymbolSet& set = TSmoothTextRenderer::SymbolSetOf(font);
  EXPECT_EQ(TSmoothTextRenderer::SmoothTextWidth(bitmap.Canvas(), L"f", 0, r),
            set.Char(L'f').Width);
  EXPECT_EQ(TSmoothTextRenderer::SmoothTextWidth(bitmap.Canvas(), L"fW", 0, r),
            set.Char(L'f').Advance + set.Char(L'W').Width);
}

TEST_F(SmoothText, WordWiderThanTheRectangleIsALineOfItsOwn) {
  TBitmap bitmap(100, 100);
  FontOfHeight(bitmap.Canvas().Font(), -14);
  const std::wstring word = L"Supercalifragilistic";
  const RECT wide{0, 0, 1000, 100}, narrow{0, 0, 20, 100};
  const int lineHeight = TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), word, 100, 0, wide);
  EXPECT_EQ(TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), word, 100, dcfMultiline, narrow),
            lineHeight);
  EXPECT_EQ(TSmoothTextRenderer::SmoothTextWidth(bitmap.Canvas(), word, dcfMultiline, narrow),
            TSmoothTextRenderer::SmoothTextWidth(bitmap.Canvas(), word, 0, wide));
  // Two words that do not fit side by side wrap; a hard break always does.
  EXPECT_EQ(
      TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), L"ab\r\ncd", 100, dcfMultiline, wide),
      2 * TSmoothTextRenderer::SmoothTextHeight(bitmap.Canvas(), L"ab\r\ncd", 100, 0, wide));
}

TEST_F(SmoothText, TheThousandAndFirstFontEvictsTheSlotAfterTheCursor) {
  // Positive heights are cell heights: each is a font of its own.
  std::vector<std::unique_ptr<TFont>> fonts;
  for (int i = 1; i <= 1002; ++i) {
    fonts.push_back(std::make_unique<TFont>());
    fonts.back()->SetHeight(i);
  }
  for (int i = 0; i < 1000; ++i)
    TSmoothTextRenderer::SymbolSetOf(*fonts[size_t(i)]);
  EXPECT_EQ(TSmoothTextRenderer::CachedSlotOf(*fonts[0]), 1);
  EXPECT_EQ(TSmoothTextRenderer::CachedSlotOf(*fonts[999]), 1000);
  EXPECT_EQ(TSmoothTextRenderer::EvictionCursor(), 0);

  TSmoothTextRenderer::SymbolSetOf(*fonts[1000]);
  EXPECT_EQ(TSmoothTextRenderer::EvictionCursor(), 1);
  EXPECT_EQ(TSmoothTextRenderer::CachedSlotOf(*fonts[0]), 0);
  EXPECT_EQ(TSmoothTextRenderer::CachedSlotOf(*fonts[1000]), 1);

  TSmoothTextRenderer::SymbolSetOf(*fonts[1001]);
  EXPECT_EQ(TSmoothTextRenderer::EvictionCursor(), 2);
  EXPECT_EQ(TSmoothTextRenderer::CachedSlotOf(*fonts[1]), 0);
  EXPECT_EQ(TSmoothTextRenderer::CachedSlotOf(*fonts[1001]), 2);
}

TEST_F(SmoothText, FontsDifferingOnlyInColourShareASet) {
  TFont black, red, bold;
  FontOfHeight(black, -13);
  FontOfHeight(red, -13).SetColor(clRed);
  FontOfHeight(bold, -13).SetStyle(fsBold);
  EXPECT_EQ(&TSmoothTextRenderer::SymbolSetOf(black), &TSmoothTextRenderer::SymbolSetOf(red));
  EXPECT_NE(&TSmoothTextRenderer::SymbolSetOf(black), &TSmoothTextRenderer::SymbolSetOf(bold));
}

TEST_F(SmoothText, WhiteOnWhiteShowsNothing) {
  TBitmap bitmap(120, 40);
  FillBitmap(bitmap, clWhite);
  TFont font;
  FontOfHeight(font, -20);
  TSmoothTextRenderer::SmoothTextOut(bitmap.Canvas(), RECT{0, 0, 120, 40}, 100, epNone, 0, tlTop,
                                     taLeftJustify, clWhite, font, L"Hello");
  const RECT ink = InkBounds(bitmap, clWhite);
  EXPECT_EQ(ink.right, ink.left);
}

TEST_F(SmoothText, InkOnlyInTheTextColourMixedWithTheBackground) {
  TBitmap bitmap(120, 40);
  FillBitmap(bitmap, clBlack);
  TFont font;
  FontOfHeight(font, -20);
  TSmoothTextRenderer::SmoothTextOut(bitmap.Canvas(), RECT{5, 5, 115, 35}, 100, epNone, 0, tlCenter,
                                     taCenter, clRed, font, L"Hello");
  bool full = false;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const TColor c = PixelAt(bitmap, x, y);
      EXPECT_EQ(c & 0xFFFF00, 0) << x << "," << y; // only red over black
      full = full || c == clRed;
    }
  EXPECT_TRUE(full);
}

TEST_F(SmoothText, EllipsisShortensTextToTheRectangle) {
  TBitmap bitmap(300, 40);
  FillBitmap(bitmap, clWhite);
  TFont& font = FontOfHeight(bitmap.Canvas().Font(), -14);
  const RECT r{0, 0, 60, 40};
  TSmoothTextRenderer::SmoothTextOut(bitmap.Canvas(), r, 100, epEndEllipsis, dcfNoClipping, tlTop,
                                     taLeftJustify, clBlack, font, L"A rather long caption");
  const RECT ink = InkBounds(bitmap, clWhite);
  ASSERT_GT(ink.right, ink.left);
  EXPECT_LE(ink.right, r.right);
}

TEST_F(SmoothText, StrikeOutOfVerticalTextIsRefused) {
  TBitmap bitmap(60, 60);
  TFont font;
  FontOfHeight(font, -12);
  try {
    TSmoothTextRenderer::SmoothTextOut_MakeStrikeOutAfter(bitmap.Canvas(), RECT{0, 0, 60, 60}, 100,
                                                          dcfVertical, tlTop, taLeftJustify,
                                                          clBlack, font, 2, L"Text");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()),
              "Can't do Vertical Text when some of the text will be drawn Strike-Out.");
  }
  // Nothing to strike: drawn as usual, vertical or not.
  EXPECT_NO_THROW(TSmoothTextRenderer::SmoothTextOut_MakeStrikeOutAfter(
      bitmap.Canvas(), RECT{0, 0, 60, 60}, 100, dcfVertical, tlTop, taLeftJustify, clBlack, font, 0,
      L"Text"));
}

TEST_F(SmoothText, StrikeOutChangesOnlyTheTail) {
  TFont font;
  FontOfHeight(font, -20);
  auto draw = [&font](TBitmap& ABitmap, int APosition) {
    FillBitmap(ABitmap, clWhite);
    TSmoothTextRenderer::SmoothTextOut_MakeStrikeOutAfter(ABitmap.Canvas(), RECT{0, 0, 200, 40},
                                                          100, 0, tlTop, taLeftJustify, clBlack,
                                                          font, APosition, L"ab  cd");
  };
  TBitmap plain(200, 40), struck(200, 40);
  draw(plain, 0);
  draw(struck, 4);
  TFont& measured = FontOfHeight(plain.Canvas().Font(), -20);
  TSmoothTextRenderer::TSmoothSymbolSet& set = TSmoothTextRenderer::SymbolSetOf(measured);
  const int headWidth = set.Char(L'a').Advance + set.Char(L'b').Advance + set.Char(L' ').Advance;
  bool tailDiffers = false;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) {
      if (x < headWidth - 1)
        EXPECT_EQ(PixelAt(plain, x, y), PixelAt(struck, x, y)) << x << "," << y;
      else
        tailDiffers = tailDiffers || PixelAt(plain, x, y) != PixelAt(struck, x, y);
    }
  EXPECT_TRUE(tailDiffers);
}

} // namespace
