#include "tree-list-drawing.h"

#include "application.h"
#include "image-lists.h"
#include "ledger-balance.h"
#include "resource-ledger.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace {

class TreeListDrawing : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    Bitmap = std::make_unique<TBitmap>(40, 40, TPixelFormat::pf32bit);
    PatBlt(DC(), 0, 0, 40, 40, WHITENESS);
  }
  void ReleaseShared() override {
    Bitmap.reset();
    ReleaseApplication();
  }
  HDC DC() { return Bitmap->Canvas().Handle(); }
  TColor At(int AX, int AY) {
    GdiFlush();
    return harness::PixelAt(*Bitmap, AX, AY);
  }
  static TColor Sys(int AIndex) { return TColor(GetSysColor(AIndex)); }
  int Count(const RECT& AArea, TColor AColor) {
    GdiFlush();
    int count = 0;
    for (int y = AArea.top; y < AArea.bottom; ++y)
      for (int x = AArea.left; x < AArea.right; ++x)
        count += harness::PixelAt(*Bitmap, x, y) == AColor ? 1 : 0;
    return count;
  }
  std::unique_ptr<TBitmap> Bitmap;
};

TEST_F(TreeListDrawing, TreeButtonsShowAMinusOrAPlusInTheirBox) {
  struct TCase {
    bool Flat, Collapsed;
  };
  for (const TCase& c :
       {TCase{false, false}, TCase{false, true}, TCase{true, false}, TCase{true, true}}) {
    PatBlt(DC(), 0, 0, 40, 40, WHITENESS);
    const RECT cell{0, 0, 21, 21};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    int left, top, size;
    TColor frame, mark;
    if (c.Flat) {
      DrawFlatTreeButton(DC(), cell, c.Collapsed);
      left = 5, top = 5, size = 11;
      frame = mark = Sys(COLOR_3DDKSHADOW);
    } else {
      DrawTreeButton(DC(), cell, 10, c.Collapsed, red);
      left = 6, top = 6, size = 9;
      frame = Sys(COLOR_GRAYTEXT);
      mark = TColor(RGB(255, 0, 0));
    }
    DeleteObject(red);
    const int middle = size / 2;
    EXPECT_EQ(At(left, top), frame) << c.Flat;
    EXPECT_EQ(At(left + size - 1, top + size - 1), frame) << c.Flat;
    EXPECT_EQ(At(left + size, top + size), clWhite) << c.Flat << ": nothing past the box";
    EXPECT_EQ(At(left + 3, top + middle), mark) << c.Flat << ": the minus bar";
    EXPECT_EQ(At(left + middle, top + 3) == mark, c.Collapsed) << c.Flat << ": the plus bar";
    EXPECT_NE(At(left + 1, top + 1), mark) << c.Flat;
  }
}

TEST_F(TreeListDrawing, ASortArrowPointsUpOrDownWithItsShadowOnTheLeft) {
  const RECT cell{0, 0, 20, 20};
  const TColor red = TColor(RGB(255, 0, 0));
  const TColor shadow = Sys(COLOR_BTNSHADOW), light = Sys(COLOR_BTNHIGHLIGHT);
  auto clear = [&] {
    Bitmap->Canvas().Brush().SetColor(red);
    Bitmap->Canvas().FillRect({0, 0, 40, 40});
  };
  clear();
  DrawSortArrow(DC(), cell, true);
  EXPECT_NE(At(10, 7), red) << "apex at the top";
  EXPECT_EQ(At(10, 14), light) << "the base at the bottom in the light colour";
  EXPECT_EQ(At(8, 10), shadow) << "the left edge in the shadow colour";
  EXPECT_EQ(At(10, 11), red) << "outlined, not filled";
  clear();
  DrawSortArrow(DC(), cell, false);
  EXPECT_EQ(At(10, 7), shadow) << "the base at the top in the shadow colour";
  EXPECT_NE(At(10, 14), red) << "apex at the bottom";
  EXPECT_EQ(At(12, 10), light) << "the right edge in the light colour";
  EXPECT_EQ(At(10, 10), red) << "outlined, not filled";
}

TEST_F(TreeListDrawing, ADropDownButtonIsFilledAndMarkedByItsState) {
  struct TCase {
    int State;
    int Fill;
    TColor Mark;
  };
  const RECT button{0, 0, 15, 18};
  for (const TCase& c : {TCase{0, COLOR_BTNFACE, Sys(COLOR_BTNTEXT)},
                         TCase{kgxDropDownHot, COLOR_BTNSHADOW, Sys(COLOR_WINDOW)},
                         TCase{kgxDropDownPushed, COLOR_BTNTEXT, Sys(COLOR_WINDOW)},
                         TCase{kgxDropDownFiltered, COLOR_BTNFACE, TColor(RGB(0, 0, 255))}}) {
    PatBlt(DC(), 0, 0, 40, 40, WHITENESS);
    DrawDropDownGlyph(DC(), button, c.State);
    EXPECT_EQ(At(0, 0), Sys(COLOR_BTNSHADOW)) << c.State;
    EXPECT_EQ(At(1, 1), Sys(c.Fill)) << c.State;
    EXPECT_EQ(At(7, 8), c.Mark) << c.State << ": the triangle's middle";
    EXPECT_EQ(At(15, 0), clWhite) << c.State;
  }
}

TEST_F(TreeListDrawing, InvertingAFrameTwiceGivesThePictureBackAndLeavesTheInside) {
  const RECT frame{5, 5, 25, 15};
  InvertRectFrame(DC(), frame);
  EXPECT_EQ(Count(frame, clBlack), 2 * 20 + 2 * 8) << "each frame pixel once";
  EXPECT_EQ(At(10, 10), clWhite);
  InvertRectFrame(DC(), frame);
  EXPECT_EQ(Count({0, 0, 40, 40}, clWhite), 1600);
}

TEST_F(TreeListDrawing, AStandardHeaderFrameLeavesACaptionAreaInsideItsEdges) {
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  RECT r{0, 0, 30, 20};
  DrawHeaderFrame(DC(), r, face, false, 0, lfStandard);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.right, 28);
  EXPECT_EQ(r.bottom, 18);
  EXPECT_EQ(At(29, 19), Sys(COLOR_3DDKSHADOW));
  EXPECT_EQ(At(10, 10), Sys(COLOR_BTNFACE));

  RECT pushed{0, 0, 30, 20};
  PatBlt(DC(), 0, 0, 40, 40, WHITENESS);
  DrawHeaderButton(DC(), pushed, face, true, 0, lfFlat);
  EXPECT_EQ(At(10, 10), TColor(~GetSysColor(COLOR_BTNFACE) & 0xFFFFFF))
      << "a pushed flat button is inverted";
}

TEST_F(TreeListDrawing, TextLineCountsStopAtTheMaximumAndAnEmptyTextNeedsNone) {
  HFONT font = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  int height = -7;
  EXPECT_EQ(CalcTextLineCount(L"", 100, 0, -1, font, false, 0, height), 0);
  EXPECT_EQ(height, -7) << "left alone";
  EXPECT_EQ(CalcTextLineCount(L"word", 100, 0, 0, font, false, 0, height), 0);
  const std::wstring five = L"one\ntwo\nthree\nfour\nfive";
  EXPECT_EQ(CalcTextLineCount(five, 200, 0, -1, font, false, 0, height), 5)
      << "lines of the font's own height";
  EXPECT_EQ(CalcTextLineCount(five, 200, 16, 2, font, false, 0, height), 2);
  EXPECT_EQ(height, 2 * 16 + 3);
}

TEST_F(TreeListDrawing, TheUnitLoadsItsCursorsBitmapsAndContextAndGivesThemBack) {
  const size_t registrations = TResourceLedger::Registrations();
  GxTreeListStartup();
  EXPECT_EQ(TResourceLedger::Registrations(), registrations + 10);
  for (const TgxTreeListCursor& cursor : kgxTreeListCursors)
    EXPECT_TRUE(Screen()->HasCursor(cursor.Slot)) << cursor.Slot;
  ASSERT_NE(GetPlusBitmap(), nullptr);
  EXPECT_TRUE(GetPlusBitmap()->Empty());
  EXPECT_NE(GetTreeListMeasureDC(), nullptr);
  EXPECT_EQ(GetCustomizeBandsCaption(), L"    Bands    ");
  EXPECT_EQ(GetCustomizeHeadersCaption(), L"   Headers   ");

  const size_t lists = TResourceLedger::Count(TResourceKind::ImageList);
  TCustomImageList* indicators = GetIndicatorImages();
  EXPECT_EQ(GetIndicatorImages(), indicators) << "loaded once";
  EXPECT_EQ(indicators->Count(), 5);
  EXPECT_EQ(indicators->Width(), 5);
  EXPECT_EQ(indicators->Height(), 9);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::ImageList), lists + 1);
  // White is see-through: centred in a red cell only the black glyph shows.
  for (int index = 0; index < 5; ++index) {
    Bitmap->Canvas().Brush().SetColor(TColor(RGB(255, 0, 0)));
    Bitmap->Canvas().FillRect({0, 0, 40, 40});
    DrawImageCentered(DC(), {0, 0, 15, 19}, *indicators, index);
    EXPECT_EQ(Count({0, 0, 15, 19}, clWhite), 0) << index;
    EXPECT_GT(Count({5, 5, 10, 14}, clBlack), 0) << index;
  }

  GxTreeListShutdown();
  EXPECT_EQ(TResourceLedger::Registrations(), registrations);
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::ImageList), lists);
  EXPECT_EQ(GetPlusBitmap(), nullptr);
  EXPECT_EQ(GetTreeListMeasureDC(), nullptr);
}

} // namespace
