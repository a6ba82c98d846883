#include "xp-colors.h"

#include "xp-drawing-support.h"

#include <gtest/gtest.h>

namespace {

TEST(ColorToHSLTest, GreyLeavesTheHueAsItWas) {
  uint8_t hue = 77, saturation = 99, luminance = 0;
  ColorToHSL(0x808080, hue, saturation, luminance);
  EXPECT_EQ(hue, 77);
  EXPECT_EQ(saturation, 0);
  EXPECT_EQ(luminance, 128);
}

struct THSLCase {
  TColor Color;
  uint8_t Hue, Saturation, Luminance;
};

class ColorToHSLPrimaries : public testing::TestWithParam<THSLCase> {};

TEST_P(ColorToHSLPrimaries, GivesHueOnATurnOf255) {
  uint8_t h = 0, s = 0, l = 0;
  ColorToHSL(GetParam().Color, h, s, l);
  EXPECT_EQ(h, GetParam().Hue);
  EXPECT_EQ(s, GetParam().Saturation);
  // 127.5 rounds to the even 128.
  EXPECT_EQ(l, GetParam().Luminance);
}

INSTANTIATE_TEST_SUITE_P(Colors, ColorToHSLPrimaries,
                         testing::Values(THSLCase{clRed, 0, 255, 128},
                                         THSLCase{clLime, 85, 255, 128},
                                         THSLCase{clBlue, 170, 255, 128},
                                         THSLCase{0x400000, 170, 255, 32}));

TEST(HSLToColorTest, ConvertsGreysAndColours) {
  EXPECT_EQ(HSLToColor(0, 0, 128), 0x808080);
  EXPECT_EQ(HSLToColor(123, 0, 7), 0x070707);
  // Full saturation at the middle luminance: m1 = 1/255 stays in green and blue.
  EXPECT_EQ(HSLToColor(0, 255, 128), 0x0101FF);
}

TEST(HSLRoundTrip, KeepsColoursCloseToThemselves) {
  for (TColor color : {TColor(0x3366CC), TColor(0x10E080), TColor(0xC0C0C0), TColor(0x000000)}) {
    uint8_t h = 0, s = 0, l = 0;
    ColorToHSL(color, h, s, l);
    const TColor back = HSLToColor(h, s, l);
    for (int shift = 0; shift < 24; shift += 8)
      EXPECT_NEAR((back >> shift) & 0xFF, (color >> shift) & 0xFF, 3) << std::hex << color;
  }
}

struct TChannelCase {
  const char* Name;
  TColor Result;
  TColor Expected;
};

class ChannelArithmetic : public testing::TestWithParam<TChannelCase> {};

TEST_P(ChannelArithmetic, GivesTheStatedChannels) {
  EXPECT_EQ(GetParam().Result, GetParam().Expected) << GetParam().Name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChannelArithmetic,
    testing::Values(
        TChannelCase{"brighten 240 by 20 saturates", BrightenColor(0xF0F0F0, 20), 0xFFFFFF},
        TChannelCase{"brighten 16 by 20", BrightenColor(0x101010, 20), 0x242424},
        TChannelCase{"brighten 235 by 20 is not below 235", BrightenColor(0xEBEBEB, 20), 0xFFFFFF},
        TChannelCase{"scale by 1 keeps", ScaleColor(0x123456, 1.0), 0x123456},
        TChannelCase{"scale by 0 is black", ScaleColor(0x123456, 0.0), 0x000000},
        // (98 + 1) x 0.5 - 1 = 48.5 rounds to the even 48.
        TChannelCase{"scale rounds half to even", ScaleColor(0x626262, 0.5), 0x303030},
        TChannelCase{"scale clamps", ScaleColor(0x808080, 3.0), 0xFFFFFF},
        TChannelCase{"channels scale apart", ScaleColorChannels(0x646464, 0.5, 2.0, 4.0), 0xFFC832},
        TChannelCase{"blend halfway", BlendColors(0x000000, 0xFFFFFF, 0.5), 0x808080},
        TChannelCase{"blend rounds half to even", BlendColors(0x000001, 0x000002, 0.5), 0x000001},
        TChannelCase{"blend at 0", BlendColors(0x102030, 0xFFFFFF, 0.0), 0x102030},
        TChannelCase{"blend at 1", BlendColors(0x102030, 0x405060, 1.0), 0x405060},
        TChannelCase{"grey of white is white", GreyOfColor(clWhite), 0xFFFFFF},
        TChannelCase{"grey of red", GreyOfColor(clRed), 0x4C4C4C},
        TChannelCase{"system colours resolve first", GreyOfColor(clBtnFace),
                     GreyOfColor(ColorToRGB(clBtnFace))}));

TEST(LuminanceTest, WeightsAddUpTo256) {
  EXPECT_EQ(GetLuminance(255, 255, 255), 255);
  EXPECT_EQ(GetLuminance(255, 0, 0), 76);
  EXPECT_EQ(GetLuminance(0, 255, 0), 150);
  EXPECT_EQ(GetLuminance(0, 0, 255), 27);
}

TEST(MakeColorTest, PacksGdiplusArgb) {
  EXPECT_EQ(MakeColor(0x80, 0x01, 0x02, 0x03), 0x80010203u);
}

struct TFadeCase {
  TXPFadeMode Mode;
  int Step;
  uint8_t Level;
  TColor Expected;
};

class FadeColorTest : public testing::TestWithParam<TFadeCase> {};

TEST_P(FadeColorTest, ScalesTheLuminanceByTenths) {
  EXPECT_EQ(FadeColor(0x808080, GetParam().Mode, GetParam().Step, GetParam().Level),
            GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Grey128, FadeColorTest,
    testing::Values(TFadeCase{xfmNone, 0, 0, 0x808080}, TFadeCase{xfmFadeIn, 4, 0, 0x808080},
                    TFadeCase{xfmFadeOut, 8, 0, 0x808080}, TFadeCase{xfmNone, 0, 5, 0x404040},
                    TFadeCase{xfmFadeIn, 0, 5, 0x404040}, TFadeCase{xfmFadeIn, 8, 5, 0xC0C0C0},
                    TFadeCase{xfmFadeIn, 4, 5, 0x808080}, TFadeCase{xfmFadeOut, 0, 5, 0xC0C0C0},
                    TFadeCase{xfmFadeOut, 8, 5, 0x404040},
                    // Above 255 is white; a level past 10 darkens to black, not round.
                    TFadeCase{xfmFadeIn, 8, 9, 0xF3F3F3}, TFadeCase{xfmNone, 0, 20, 0x000000},
                    TFadeCase{xfmFadeIn, 0, 20, 0x000000}));

TEST(FadeColorWhite, SaturatesAbove255) {
  EXPECT_EQ(FadeColor(clWhite, xfmFadeIn, 8, 5), 0xFFFFFF);
}

using ClipToRectTest = XPDrawing;

TEST_F(ClipToRectTest, RestoringAContextWithoutClippingLeavesItWithout) {
  TBitmap bitmap(10, 10);
  const HDC dc = bitmap.Canvas().Handle();
  HRGN saved = reinterpret_cast<HRGN>(1);
  ClipToRect(dc, RECT{2, 2, 5, 5}, saved);
  EXPECT_EQ(saved, nullptr);
  FillBitmap(bitmap, clRed);
  EXPECT_EQ(PixelAt(bitmap, 3, 3), clRed);
  EXPECT_NE(PixelAt(bitmap, 6, 6), clRed);
  RestoreClipRgn(dc, saved);
  HRGN probe = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(dc, probe), 0);
  DeleteObject(probe);
}

TEST_F(ClipToRectTest, ExcludingAndRestoringKeepsTheEarlierClip) {
  TBitmap bitmap(10, 10);
  FillBitmap(bitmap, clWhite);
  const HDC dc = bitmap.Canvas().Handle();
  IntersectClipRect(dc, 0, 0, 8, 8);
  HRGN saved = nullptr;
  ClipToRect(dc, RECT{2, 2, 4, 4}, saved, true);
  ASSERT_NE(saved, nullptr);
  FillBitmap(bitmap, clBlue);
  EXPECT_EQ(PixelAt(bitmap, 3, 3), clWhite); // excluded
  EXPECT_EQ(PixelAt(bitmap, 5, 5), clBlue);
  EXPECT_EQ(PixelAt(bitmap, 9, 9), clWhite); // the earlier clip
  RestoreClipRgn(dc, saved);
  FillBitmap(bitmap, clLime);
  EXPECT_EQ(PixelAt(bitmap, 3, 3), clLime);
  EXPECT_EQ(PixelAt(bitmap, 9, 9), clWhite);
  SelectClipRgn(dc, nullptr);
}

} // namespace
