#include "xp-graphics.h"

#include "seams.h"
#include "xp-drawing-support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The gradients drawn by the pixel routines or through GradientFill.
class Gradients : public XPDrawing, public testing::WithParamInterface<bool> {
protected:
  void SetUp() override {
    XPDrawing::SetUp();
    if (!GetParam())
      TSystemLibraries::Refuse(L"msimg32.dll");
    XPGraphicsStartup();
  }
  void TearDown() override {
    TSystemLibraries::Allow(L"msimg32.dll");
    XPDrawing::TearDown();
  }
};

bool Near(TColor A, TColor B, int ATolerance) {
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(int((A >> shift) & 0xFF) - int((B >> shift) & 0xFF)) > ATolerance)
      return false;
  return true;
}

TEST_P(Gradients, BindAtStartUpToGradientFillWhenTheSystemHasIt) {
  EXPECT_EQ(XPGradientFillBound(), GetParam());
}

TEST_P(Gradients, OnePixelLongGradientIsTheStartColour) {
  TBitmap bitmap(6, 6);
  FillBitmap(bitmap, clWhite);
  const HDC dc = bitmap.Canvas().Handle();
  GradientFillRect(dc, RECT{0, 0, 1, 6}, 0x204060, 0xC0A080, true);
  TImgLibManager::DrawGradient(dc, RECT{2, 0, 6, 1}, 0x204060, 0xC0A080, false);
  for (int y = 0; y < 6; ++y)
    EXPECT_EQ(PixelAt(bitmap, 0, y), 0x204060) << y;
  for (int x = 2; x < 6; ++x)
    EXPECT_EQ(PixelAt(bitmap, x, 0), 0x204060) << x;
  EXPECT_EQ(PixelAt(bitmap, 1, 0), clWhite);
}

TEST_P(Gradients, RunFromTheStartColourToTheEndColour) {
  TBitmap bitmap(16, 8);
  const HDC dc = bitmap.Canvas().Handle();
  GradientFillRect(dc, RECT{0, 0, 16, 4}, clBlack, clWhite, true);
  GradientFillRect(dc, RECT{0, 4, 16, 8}, clRed, clBlue, false);
  // GradientFill stops one step short of the end colour at the far edge.
  const int tolerance = GetParam() ? 255 / 15 + 1 : 0;
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(PixelAt(bitmap, 0, y), clBlack);
    EXPECT_TRUE(Near(PixelAt(bitmap, 15, y), clWhite, tolerance));
  }
  for (int x = 0; x < 16; ++x) {
    EXPECT_EQ(PixelAt(bitmap, x, 4), clRed);
    EXPECT_TRUE(Near(PixelAt(bitmap, x, 7), clBlue, 255 / 3 + 1));
  }
}

TEST_P(Gradients, TwoColourAndFourCornerGradientsAgreeAtTheEdges) {
  TBitmap bitmap(12, 12);
  const HDC dc = bitmap.Canvas().Handle();
  const TColor light = 0xF0E0D0, dark = 0x302010;
  TImgLibManager::DrawGradient(dc, RECT{0, 0, 12, 6}, light, dark, true);
  TImgLibManager::DrawBiGradient(dc, RECT{0, 6, 12, 12}, light, dark, 0, 1, 0, 1);
  for (int x : {0, 11})
    for (int y = 0; y < 6; ++y)
      EXPECT_TRUE(Near(PixelAt(bitmap, x, y), PixelAt(bitmap, x, 6 + y), GetParam() ? 2 : 0))
          << x << "," << y;
  EXPECT_EQ(PixelAt(bitmap, 0, 0), light);
  EXPECT_EQ(PixelAt(bitmap, 0, 11), light);
}

INSTANTIATE_TEST_SUITE_P(Roads, Gradients, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& AInfo) {
                           return AInfo.param ? "GradientFill" : "PixelRoutines";
                         });

using PixelGradients = XPDrawing;

TEST_F(PixelGradients, StepByRoundedFractions) {
  TBitmap bitmap(5, 3);
  TImgLibManager::DrawGradient(bitmap.Canvas().Handle(), RECT{0, 0, 5, 3}, 0x000000, 0x0000FF,
                               true);
  // i x 255 / 4: 63.75, 127.5 (to even), 191.25.
  const TColor expected[5] = {0x00, 0x40, 0x80, 0xBF, 0xFF};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(PixelAt(bitmap, x, y), expected[x]) << x << "," << y;
}

TEST_F(PixelGradients, FourCornerGradientMixesEachCornerByItsCoefficient) {
  TBitmap bitmap(4, 3);
  TImgLibManager::DrawBiGradient(bitmap.Canvas().Handle(), RECT{0, 0, 4, 3}, clWhite, clBlack, 0.0f,
                                 1.0f, 0.5f, 0.25f);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), 0xFFFFFF);
  EXPECT_EQ(PixelAt(bitmap, 3, 0), 0x000000);
  EXPECT_EQ(PixelAt(bitmap, 0, 2), 0x808080); // 127.5 to even
  EXPECT_EQ(PixelAt(bitmap, 3, 2), 0xBFBFBF); // 191.25
  // Halfway down the left edge: coefficient 0.25.
  EXPECT_EQ(PixelAt(bitmap, 0, 1), 0xBFBFBF);
}

TEST_F(PixelGradients, OnePixelHighFourCornerGradientTakesTheTopCorners) {
  TBitmap bitmap(3, 1);
  TImgLibManager::DrawBiGradient(bitmap.Canvas().Handle(), RECT{0, 0, 3, 1}, clWhite, clBlack, 0.0f,
                                 1.0f, 1.0f, 0.0f);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), 0xFFFFFF);
  EXPECT_EQ(PixelAt(bitmap, 2, 0), 0x000000);
}

// A source whose every pixel is distinct, opaque (alpha 255).
void PaintPattern(TBitmap& ABitmap) {
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x)
      SetPixelBGRA(ABitmap, x, y,
                   0xFF000000u | uint32_t(x * 20) << 16 | uint32_t(y * 20) << 8 | 7u);
}

class SkinBitmap : public XPDrawing, public testing::WithParamInterface<bool> {};

TEST_P(SkinBitmap, AtTheSourceSizeReproducesTheSource) {
  TBitmap source(12, 10);
  PaintPattern(source);
  TBitmap dest(12, 10);
  FillBitmap(dest, clBlack);
  DrawSkinBitmap(RECT{0, 0, 12, 10}, RECT{3, 3, 9, 7}, RECT{0, 0, 12, 10}, dest.Canvas().Handle(),
                 source, GetParam());
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x)
      ASSERT_EQ(PixelAt(dest, x, y), PixelAt(source, x, y)) << x << "," << y;
}

TEST_P(SkinBitmap, StretchedKeepsTheCornersUnscaled) {
  // The skin is the second of two cells stacked vertically.
  TBitmap source(12, 20);
  PaintPattern(source);
  TBitmap dest(30, 26);
  FillBitmap(dest, clBlack);
  DrawSkinBitmap(RECT{2, 2, 28, 24}, RECT{3, 3, 9, 7}, RECT{0, 10, 12, 20}, dest.Canvas().Handle(),
                 source, GetParam());
  // Top-left 3 x 3, top-right 3 x 3, bottom-left 3 x 3, bottom-right 3 x 3.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(PixelAt(dest, 2 + x, 2 + y), PixelAt(source, x, 10 + y));
      EXPECT_EQ(PixelAt(dest, 25 + x, 2 + y), PixelAt(source, 9 + x, 10 + y));
      EXPECT_EQ(PixelAt(dest, 2 + x, 21 + y), PixelAt(source, x, 17 + y));
      EXPECT_EQ(PixelAt(dest, 25 + x, 21 + y), PixelAt(source, 9 + x, 17 + y));
    }
  // Nothing outside the destination rectangle.
  EXPECT_EQ(PixelAt(dest, 1, 1), clBlack);
  EXPECT_EQ(PixelAt(dest, 28, 24), clBlack);
  // The centre is filled.
  EXPECT_NE(PixelAt(dest, 15, 13), clBlack);
}

INSTANTIATE_TEST_SUITE_P(Blits, SkinBitmap, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& AInfo) {
                           return AInfo.param ? "AlphaBlend" : "Copy";
                         });

using TransparentBlits = XPDrawing;

// A 4 x 4 source: magenta on the diagonal, a colour of its own elsewhere.
void PaintKeyed(TBitmap& ASource) {
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      SetPixelBGRA(ASource, x, y,
                   x == y ? 0x00FF00FFu
                          : 0x00000000u | uint32_t(40 * x + 10) << 8 | uint32_t(40 * y + 10));
}

TEST_F(TransparentBlits, MaskBltKeepsTheDestinationUnderTheTransparentColour) {
  TBitmap source(4, 4);
  PaintKeyed(source);
  TBitmap dest(6, 6);
  FillBitmap(dest, clLime);
  TransparentMaskBlt(dest.Canvas().Handle(), 1, 1, 4, 4, source.Canvas().Handle(), 0, 0, clFuchsia);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(PixelAt(dest, 1 + x, 1 + y), x == y ? clLime : PixelAt(source, x, y))
          << x << "," << y;
  EXPECT_EQ(PixelAt(dest, 0, 0), clLime);
  EXPECT_EQ(PixelAt(dest, 5, 5), clLime);
}

TEST_F(TransparentBlits, StretchBltStretchesSourceAndMaskTogether) {
  TBitmap source(4, 4);
  PaintKeyed(source);
  TBitmap dest(8, 8);
  FillBitmap(dest, clLime);
  TransparentStretchBlt(dest.Canvas().Handle(), 0, 0, 8, 8, source.Canvas().Handle(), 0, 0, 4, 4,
                        clFuchsia);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(PixelAt(dest, x, y), x / 2 == y / 2 ? clLime : PixelAt(source, x / 2, y / 2))
          << x << "," << y;
}

using AlphaBlends = XPDrawing;

TEST_F(AlphaBlends, ImageBlendsByPerPixelAlpha) {
  TBitmap source(2, 1);
  SetPixelBGRA(source, 0, 0, 0x80800000u); // red 128, alpha 128, premultiplied
  SetPixelBGRA(source, 1, 0, 0x00000000u); // fully transparent
  TBitmap dest(2, 1);
  FillBitmap(dest, clWhite);
  AlphaBlendImage(dest.Canvas().Handle(), 0, 0, 2, 1, source.Canvas().Handle(), 0, 0);
  EXPECT_TRUE(Near(PixelAt(dest, 0, 0), 0x7F7FFF, 1));
  EXPECT_EQ(PixelAt(dest, 1, 0), clWhite);
  EXPECT_EQ(XPBlendFunction().SourceConstantAlpha, 255);
  EXPECT_EQ(XPBlendFunction().AlphaFormat, AC_SRC_ALPHA);
}

TEST_F(AlphaBlends, ConstantAlphaBlendsWithoutPerPixelAlpha) {
  TBitmap source(1, 1);
  SetPixelBGRA(source, 0, 0, 0x00FFFFFFu); // white, alpha byte 0
  TBitmap dest(4, 2);
  FillBitmap(dest, clBlack);
  AlphaBlendConst(dest.Canvas().Handle(), 0, 0, 1, 1, source.Canvas().Handle(), 0, 0, 128, 0);
  AlphaBlendConstStretch(dest.Canvas().Handle(), 1, 0, 3, 2, source.Canvas().Handle(), 0, 0, 1, 1,
                         64, 0);
  EXPECT_TRUE(Near(PixelAt(dest, 0, 0), 0x808080, 1));
  EXPECT_TRUE(Near(PixelAt(dest, 3, 1), 0x404040, 1));
}

TEST_F(AlphaBlends, StretchScalesTheSource) {
  TBitmap source(1, 1);
  SetPixelBGRA(source, 0, 0, 0xFFFF0000u);
  TBitmap dest(3, 3);
  FillBitmap(dest, clWhite);
  AlphaBlendStretch(dest.Canvas().Handle(), 0, 0, 3, 3, source.Canvas().Handle(), 0, 0, 1, 1);
  EXPECT_EQ(PixelAt(dest, 2, 2), clRed);
}

TEST(IsGraphicEmptyTest, NothingEmptyOrZeroSizedIsEmpty) {
  TBitmap empty, wide(5, 0), square(2, 2);
  EXPECT_TRUE(IsGraphicEmpty(nullptr));
  EXPECT_TRUE(IsGraphicEmpty(&empty));
  EXPECT_TRUE(IsGraphicEmpty(&wide));
  EXPECT_FALSE(IsGraphicEmpty(&square));
}

TEST(CaptionDrawTextFlagsTest, MapsEachSetting) {
  EXPECT_EQ(CaptionDrawTextFlags(0, epNone), UINT(DT_SINGLELINE));
  EXPECT_EQ(CaptionDrawTextFlags(dcfMultiline, epNone), UINT(DT_WORDBREAK));
  EXPECT_EQ(CaptionDrawTextFlags(dcfNoPrefix | dcfNoClipping, epPathEllipsis),
            UINT(DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | DT_PATH_ELLIPSIS));
  EXPECT_EQ(CaptionDrawTextFlags(0, epEndEllipsis), UINT(DT_SINGLELINE | DT_END_ELLIPSIS));
  EXPECT_EQ(CaptionDrawTextFlags(0, epWordEllipsis), UINT(DT_SINGLELINE | DT_WORD_ELLIPSIS));
}

using GdiCaptions = XPDrawing;

TEST_F(GdiCaptions, TooTallForItsRectangleAtTheBottomStaysAtTheTop) {
  TBitmap bitmap(120, 60);
  FillBitmap(bitmap, clWhite);
  TFont font;
  font.SetHeight(-24);
  const RECT r{10, 20, 110, 26};
  DrawXPCaption(bitmap.Canvas(), r, L"Hgjy", font, clBlack, taLeftJustify, tlBottom, dcfNoClipping,
                epNone, 100);
  const RECT ink = InkBounds(bitmap, clWhite);
  ASSERT_GT(ink.right, ink.left);
  EXPECT_GE(ink.top, r.top);
  EXPECT_GE(ink.left, r.left);
}

// Captions: where the ink lies, never which pixels the glyphs set.
class Captions : public XPDrawing, public testing::WithParamInterface<bool> {
protected:
  TXPDrawCaptionFlags Smooth() const { return GetParam() ? TXPDrawCaptionFlags(dcfSmoothText) : 0; }
};

TEST_P(Captions, MeasuringSkipsTheAcceleratorPrefix) {
  TBitmap bitmap(200, 50);
  TFont font;
  font.SetHeight(-16);
  SIZE withPrefix{}, plain{}, literal{};
  const RECT r{0, 0, 200, 50};
  MeasureXPCaption(bitmap.Canvas(), r, L"&File", withPrefix, 100, epNone, Smooth(), font);
  MeasureXPCaption(bitmap.Canvas(), r, L"File", plain, 100, epNone, Smooth(), font);
  MeasureXPCaption(bitmap.Canvas(), r, L"&File", literal, 100, epNone, Smooth() | dcfNoPrefix,
                   font);
  EXPECT_GT(plain.cx, 0);
  EXPECT_EQ(withPrefix.cx, plain.cx);
  EXPECT_EQ(withPrefix.cy, plain.cy);
  EXPECT_GT(literal.cx, plain.cx);
}

TEST_P(Captions, VerticalMeasureExchangesWidthAndHeight) {
  TBitmap bitmap(200, 200);
  TFont font;
  font.SetHeight(-16);
  SIZE across{}, up{};
  const RECT r{0, 0, 200, 200};
  MeasureXPCaption(bitmap.Canvas(), r, L"Caption", across, 100, epNone, Smooth(), font);
  MeasureXPCaption(bitmap.Canvas(), r, L"Caption", up, 100, epNone, Smooth() | dcfVertical, font);
  EXPECT_EQ(up.cx, across.cy);
  EXPECT_EQ(up.cy, across.cx);
}

TEST_P(Captions, AreClippedToTheRectangleGrownByOne) {
  TBitmap bitmap(120, 60);
  FillBitmap(bitmap, clWhite);
  TFont font;
  font.SetHeight(-24);
  const RECT r{10, 10, 30, 20};
  DrawXPCaption(bitmap.Canvas(), r, L"Wide caption", font, clBlack, taLeftJustify, tlTop, Smooth(),
                epNone, 100);
  const RECT ink = InkBounds(bitmap, clWhite);
  ASSERT_GT(ink.right, ink.left);
  EXPECT_GE(ink.left, r.left - 1);
  EXPECT_GE(ink.top, r.top - 1);
  EXPECT_LE(ink.right, r.right + 1);
  EXPECT_LE(ink.bottom, r.bottom + 1);
}

TEST_P(Captions, RightAlignedInkEndsAtTheRightEdge) {
  TBitmap bitmap(200, 40);
  FillBitmap(bitmap, clWhite);
  TFont font;
  font.SetHeight(-16);
  const RECT r{10, 5, 190, 35};
  DrawXPCaption(bitmap.Canvas(), r, L"Right", font, clBlack, taRightJustify, tlCenter, Smooth(),
                epNone, 100);
  const RECT ink = InkBounds(bitmap, clWhite);
  ASSERT_GT(ink.right, ink.left);
  EXPECT_GT(ink.left, 100);
  EXPECT_LE(ink.right, r.right + 1);
}

TEST_P(Captions, VerticalTopLeftStartsAtTheCornerOfTheTurnedBox) {
  TBitmap bitmap(100, 120);
  FillBitmap(bitmap, clWhite);
  TFont font;
  font.SetHeight(-16);
  const RECT r{10, 10, 90, 110};
  SIZE size{};
  MeasureXPCaption(bitmap.Canvas(), r, L"Up", size, 100, epNone, Smooth() | dcfVertical, font);
  // Unclipped: the placement is what counts here (Wine cuts clipped GDI text
  // drawn under a turning transform).
  DrawXPCaption(bitmap.Canvas(), r, L"Up", font, clBlack, taLeftJustify, tlTop,
                Smooth() | dcfVertical | dcfNoClipping, epNone, 100);
  const RECT ink = InkBounds(bitmap, clWhite);
  ASSERT_GT(ink.right, ink.left);
  // Counter-clockwise text reads upwards from the bottom-left corner: its
  // box is size.cx wide at the left edge and size.cy high at the bottom.
  EXPECT_LE(ink.bottom, r.bottom);
  EXPECT_GE(ink.top, r.bottom - size.cy - 1);
  // Across, only the smooth renderer's own turn is checked: Wine sets GDI
  // glyphs under a turning transform about a line's height off their cell.
  if (GetParam()) {
    EXPECT_GE(ink.left, r.left);
    EXPECT_LE(ink.right, r.left + size.cx + 1);
  }
}

TEST_P(Captions, DefaultColourIsTheFontColour) {
  TBitmap bitmap(80, 30);
  FillBitmap(bitmap, clWhite);
  TFont font;
  font.SetHeight(-20);
  font.SetColor(clRed);
  DrawXPCaption(bitmap.Canvas(), RECT{0, 0, 80, 30}, L"III", font, clDefault, taLeftJustify, tlTop,
                Smooth(), epNone, 100);
  bool red = false;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 80; ++x)
      red = red || PixelAt(bitmap, x, y) == clRed;
  EXPECT_TRUE(red);
}

INSTANTIATE_TEST_SUITE_P(Renderers, Captions, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& AInfo) {
                           return AInfo.param ? "Smooth" : "Gdi";
                         });

} // namespace
