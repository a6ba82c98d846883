#include "xp-animation.h"

#include "resource-ledger.h"
#include "seams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TRecordingSleep : public TSleepSeam {
public:
  void Sleep(DWORD AMilliseconds) override { Sleeps.push_back(AMilliseconds); }
  std::vector<DWORD> Sleeps;
};

TEST(Animation, FadeAlphasStepEvenlyAndFadingOutIsTheirComplement) {
  EXPECT_EQ(AnimationAlpha(0, 3, false), 64);
  EXPECT_EQ(AnimationAlpha(1, 3, false), 128);
  EXPECT_EQ(AnimationAlpha(2, 3, false), 191);
  EXPECT_EQ(AnimationAlpha(0, 3, true), 191);
  EXPECT_EQ(AnimationAlpha(1, 3, true), 127);
  EXPECT_EQ(AnimationAlpha(2, 3, true), 64);
}

TEST(Animation, FocusRectanglesRunTwiceThroughTheSleepSeam) {
  TRecordingSleep sleep;
  TSeamScope<TSleepSeam> scope(sleep);
  const size_t before = TResourceLedger::Total();
  AnimateFocusRects(RECT{10, 10, 50, 50}, RECT{100, 100, 200, 150}, 4, 15);
  EXPECT_EQ(sleep.Sleeps, std::vector<DWORD>(8, 15));
  EXPECT_EQ(TResourceLedger::Total(), before);
}

TEST(Animation, BitmapAnimationSleepsOncePerStepAndGivesBackWhatItTook) {
  TRecordingSleep sleep;
  TSeamScope<TSleepSeam> scope(sleep);
  const size_t before = TResourceLedger::Total();
  {
    TBitmap image(20, 10, TPixelFormat::pf32bit);
    AnimateBitmap(image, true, RECT{0, 0, 20, 10}, 7, 3, RECT{30, 30, 60, 45});
  }
  FinalizeGraphics();
  EXPECT_EQ(sleep.Sleeps, std::vector<DWORD>(3, 7));
  EXPECT_EQ(TResourceLedger::Total(), before);
}

TEST(Animation, GdiplusRunsWhileAnyUserHoldsIt) {
  ASSERT_FALSE(GdiplusRunning());
  GdiplusAcquire();
  GdiplusAcquire();
  EXPECT_TRUE(GdiplusRunning());
  GdiplusRelease();
  EXPECT_TRUE(GdiplusRunning());
  GdiplusRelease();
  EXPECT_FALSE(GdiplusRunning());
  GdiplusRelease(); // one too many does nothing
  EXPECT_FALSE(GdiplusRunning());
}

TColor At(TBitmap& ABitmap, int AX, int AY) {
  return ABitmap.Canvas().Pixel(AX, AY);
}

TEST(Drawing, GripperDotsStartCentredAndStepByFour) {
  const size_t before = TResourceLedger::Total();
  {
    TBitmap area(20, 9, TPixelFormat::pf32bit);
    area.Canvas().Brush().SetColor(clBlack);
    area.Canvas().FillRect(RECT{0, 0, 20, 9});
    DrawGripperDots(area.Canvas(), 20, 9, 3, false);
    for (int dot = 0; dot < 3; ++dot) {
      const int x = 4 + 4 * dot, y = 3;
      EXPECT_EQ(At(area, x, y), TColor(0x404020));
      EXPECT_EQ(At(area, x + 1, y), TColor(0x404020));
      EXPECT_EQ(At(area, x, y + 1), TColor(0x404020));
      EXPECT_EQ(At(area, x + 1, y + 1), TColor(0x808060));
      EXPECT_EQ(At(area, x + 2, y + 2), clWhite);
      EXPECT_EQ(At(area, x + 2, y), clBlack);
    }
    EXPECT_EQ(At(area, 3, 3), clBlack);
    TBitmap column(9, 20, TPixelFormat::pf32bit);
    DrawGripperDots(column.Canvas(), 9, 20, 2, true);
    EXPECT_EQ(At(column, 3, 6), TColor(0x404020));
    EXPECT_EQ(At(column, 3, 10), TColor(0x404020));
  }
  FinalizeGraphics();
  EXPECT_EQ(TResourceLedger::Total(), before);
}

TEST(Drawing, HatchCoversTheRightAndBottomEdgeAndSolidDrawsNothing) {
  const size_t before = TResourceLedger::Total();
  {
    TBitmap area(12, 12, TPixelFormat::pf32bit);
    area.Canvas().Brush().SetColor(clWhite);
    area.Canvas().FillRect(RECT{0, 0, 12, 12});
    DrawHatch(area.Canvas().Handle(), RECT{0, 0, 8, 8}, TBrushStyle::Solid, clRed);
    DrawHatch(area.Canvas().Handle(), RECT{0, 0, 8, 8}, TBrushStyle::Clear, clRed);
    int red = 0;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 12; ++x)
        red += At(area, x, y) == clRed;
    EXPECT_EQ(red, 0);
    DrawHatch(area.Canvas().Handle(), RECT{0, 0, 8, 8}, TBrushStyle::Vertical, clRed);
    int edge = 0, outside = 0, background = 0;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 12; ++x) {
        const bool isRed = At(area, x, y) == clRed;
        if (isRed && y == 8)
          ++edge;
        if (isRed && (x > 8 || y > 8))
          ++outside;
        if (!isRed && x <= 8 && y <= 8)
          ++background;
      }
    EXPECT_GT(edge, 0);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(background, 0); // transparent background between the lines
  }
  FinalizeGraphics();
  EXPECT_EQ(TResourceLedger::Total(), before);
}

} // namespace
