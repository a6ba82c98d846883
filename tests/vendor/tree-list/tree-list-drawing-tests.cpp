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

TEST_F(TreeListDrawing, AHeaderCellShowsItsDropDownButtonFromFifteenPixelsOfCaption) {
  // The standard frame takes 2 pixels at the right and 1 at the left, the
  // caption area 1 more at each side: a cell 19 wide leaves 14.
  struct TCase {
    int Width;
    bool Button;
  };
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  for (const TCase& c : {TCase{19, false}, TCase{20, true}}) {
    PatBlt(DC(), 0, 0, 40, 40, WHITENESS);
    DrawHeaderCell(DC(), {0, 0, c.Width, 20}, face, L"", false, false, taLeftJustify, csNone,
                   nullptr, 0, lfStandard, kgxDropDownPushed);
    // A pushed drop-down button is filled with the button-text colour.
    EXPECT_EQ(Count({0, 0, c.Width, 20}, Sys(COLOR_BTNTEXT)) > 20, c.Button) << c.Width;
  }
}

TEST_F(TreeListDrawing, AHeaderCellShowsItsSortMarkAtTheRight) {
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  DrawHeaderCell(DC(), {0, 0, 40, 20}, face, L"", false, false, taLeftJustify, csUp, nullptr, 0,
                 lfStandard, 0);
  EXPECT_GT(Count({20, 2, 38, 18}, Sys(COLOR_BTNSHADOW)), 3) << "the mark's shadowed edge";
  EXPECT_EQ(Count({2, 2, 18, 18}, Sys(COLOR_BTNSHADOW)), 0) << "nothing at the left";
}

TEST_F(TreeListDrawing, ABufferedHeaderCellPaintsOnlyItsClipRectangle) {
  TBitmap buffer;
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  DrawHeaderCellBuffered(DC(), {0, 0, 30, 20}, {10, 0, 30, 20}, red, buffer, L"", false, false,
                         taLeftJustify, csNone, nullptr, 0, lfStandard, 0);
  DeleteObject(red);
  EXPECT_EQ(Count({0, 0, 10, 20}, clWhite), 200) << "left of the clip";
  EXPECT_EQ(At(15, 10), TColor(RGB(255, 0, 0)));
  EXPECT_GE(buffer.Width(), 30);
}

TEST_F(TreeListDrawing, AFooterCellFrameSinksItsRightAndBottomAndLeavesTheTextArea) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT cell{0, 0, 20, 10};
  DrawFooterCellFrame(DC(), cell, red);
  DeleteObject(red);
  EXPECT_EQ(At(19, 5), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(At(5, 9), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(At(5, 5), TColor(RGB(255, 0, 0)));
  EXPECT_EQ(cell.left, 1);
  EXPECT_EQ(cell.right, 18);
  EXPECT_EQ(cell.bottom, 9);
}

TEST_F(TreeListDrawing, CellTextFillsTheWholeCellOnEveryPath) {
  struct TCase {
    bool MultiLine, UseBitmap;
    int Alignment;
  };
  TBitmap buffer;
  for (const TCase& c : {TCase{false, false, taLeftJustify}, TCase{false, false, taRightJustify},
                         TCase{true, false, taCenter}, TCase{true, true, taLeftJustify}}) {
    PatBlt(DC(), 0, 0, 40, 40, WHITENESS);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    TgxCellTextStyle style;
    style.MultiLine = c.MultiLine;
    style.UseBitmap = c.UseBitmap;
    style.Alignment = c.Alignment;
    SetTextColor(DC(), RGB(0, 0, 0));
    PaintCellText(DC(), {0, 0, 30, 18}, red, L"i", 0, style, &buffer);
    DeleteObject(red);
    EXPECT_EQ(Count({0, 0, 30, 18}, clWhite), 0) << c.MultiLine << c.Alignment;
    EXPECT_GT(Count({0, 0, 30, 18}, clBlack), 0) << c.MultiLine << c.Alignment << ": the text";
    EXPECT_EQ(Count({30, 0, 40, 18}, clWhite), 10 * 18) << "nothing outside";
  }
}

TEST_F(TreeListDrawing, OpaqueCellTextPaintsOnlyTheCharactersInTheContextsColours) {
  PatBlt(DC(), 0, 0, 40, 40, WHITENESS);
  SetTextColor(DC(), RGB(255, 255, 255));
  SetBkColor(DC(), RGB(0, 0, 255));
  TgxCellTextStyle style;
  style.Opaque = true;
  PaintCellText(DC(), {0, 0, 40, 18}, GetSysColorBrush(COLOR_WINDOW), L"WW", 1, style, nullptr);
  const int blue = Count({0, 0, 40, 18}, TColor(RGB(0, 0, 255)));
  EXPECT_GT(blue, 0);
  EXPECT_EQ(At(39, 9), clWhite) << "past the one character asked for";
}

TEST_F(TreeListDrawing, PreviewTextStartsAfterItsIndent) {
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  DrawPreviewCell(DC(), {0, 0, 40, 20}, red, L"IIII", 20, RGB(0, 0, 0), nullptr, false, nullptr);
  DeleteObject(red);
  EXPECT_EQ(Count({0, 0, 20, 20}, clBlack), 0);
  EXPECT_GT(Count({20, 0, 40, 20}, clBlack), 0);
  EXPECT_EQ(Count({0, 0, 40, 20}, clWhite), 0);
}

TEST(TreeListText, RegistryPathsGetOneLeadingAndNoTrailingBackslash) {
  struct TCase {
    const wchar_t* Path;
    const wchar_t* Expected;
  };
  for (const TCase& c : {TCase{L"", L""}, TCase{L"Soft\\Layout", L"\\Soft\\Layout"},
                         TCase{L"\\Soft\\", L"\\Soft"}, TCase{L"Soft\\\\", L"\\Soft"}})
    EXPECT_EQ(NormalizeRegistryPath(c.Path), c.Expected) << c.Path;
}

TEST(TreeListText, TheSearchMatchIgnoresCaseOnly) {
  EXPECT_TRUE(SameTextUpper(L"abc", L"ABC"));
  EXPECT_TRUE(SameTextUpper(L"\u00e4b", L"\u00c4B"));
  EXPECT_FALSE(SameTextUpper(L"abc", L"abd"));
  EXPECT_FALSE(SameTextUpper(L"ab", L"abc"));
  EXPECT_THROW(RaiseTreeListError(L"no"), EInvalidgxTreeListOperation);
}

} // namespace
