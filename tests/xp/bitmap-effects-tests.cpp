#include "bitmap-effects.h"
#include "ledger-balance.h"

#include "alpha-image.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "seams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

class BitmapEffects : public TLedgerBalancedTest {};

uint8_t* PixelOf(TBitmap& ABitmap, int AX, int AY) {
  return static_cast<uint8_t*>(ABitmap.ScanLine(AY)) + AX * 4;
}

void FillPixels(TBitmap& ABitmap, uint8_t ABlue, uint8_t AGreen, uint8_t ARed, uint8_t AAlpha) {
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x) {
      uint8_t* p = PixelOf(ABitmap, x, y);
      p[0] = ABlue, p[1] = AGreen, p[2] = ARed, p[3] = AAlpha;
    }
}

std::vector<uint8_t> AllBytes(TBitmap& ABitmap) {
  std::vector<uint8_t> bytes;
  for (int y = 0; y < ABitmap.Height(); ++y) {
    const uint8_t* row = PixelOf(ABitmap, 0, y);
    bytes.insert(bytes.end(), row, row + ABitmap.Width() * 4);
  }
  return bytes;
}

TEST_F(BitmapEffects, EffectsAssertA32BitBitmap) {
  const std::vector<std::pair<const char*, std::function<void(TBitmap&)>>> effects = {
      {"soften",
       [](TBitmap& b) {
         SoftenBitmap(b, RECT{0, 0, 4, 4}, 10);
       }},
      {"blur", [](TBitmap& b) { GaussianBlurBitmap(b, 1.5); }},
      {"noise",
       [](TBitmap& b) {
         AddRandomNoise(b, RECT{0, 0, 4, 4}, 10);
       }},
      {"brushed", [](TBitmap& b) { ApplyBrushedTexture(b, 3, 4, 0.01); }},
      {"greyscale", [](TBitmap& b) { GreyscaleBitmap(b); }},
      {"light greyscale", [](TBitmap& b) { LightGreyscaleBitmap(b); }},
      {"colour key", [](TBitmap& b) { ColorKeyToAlpha(b, clWhite); }},
  };
  for (const auto& effect : effects) {
    SCOPED_TRACE(effect.first);
    TBitmap bitmap(4, 4, TPixelFormat::pf24bit);
    try {
      effect.second(bitmap);
      ADD_FAILURE() << "no assertion";
    } catch (const EAssertionFailed& e) {
      EXPECT_NE(std::string(e.what()).find("Assertion failure"), std::string::npos);
      EXPECT_NE(std::string(e.what()).find("xp\\XPBitmapUtils"), std::string::npos);
    }
  }
}

TEST_F(BitmapEffects, BlurOfAUniformOpaqueBitmapKeepsItUniformAndOpaque) {
  TBitmap bitmap(12, 9, TPixelFormat::pf32bit);
  FillPixels(bitmap, 40, 80, 120, 255);
  GaussianBlurBitmap(bitmap, 2.5);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) {
      const uint8_t* p = PixelOf(bitmap, x, y);
      EXPECT_EQ(p[3], 255);
      EXPECT_NEAR(p[2], 120, 1);
      EXPECT_NEAR(p[0], 40, 1);
    }
}

TEST_F(BitmapEffects, BlurSpreadsASinglePointSymmetrically) {
  TBitmap bitmap(9, 9, TPixelFormat::pf32bit);
  FillPixels(bitmap, 0, 0, 0, 255);
  PixelOf(bitmap, 4, 4)[2] = 255;
  const auto before = AllBytes(bitmap);
  GaussianBlurBitmap(bitmap, 0);
  EXPECT_EQ(AllBytes(bitmap), before);
  GaussianBlurBitmap(bitmap, 1.0);
  EXPECT_LT(PixelOf(bitmap, 4, 4)[2], 255);
  EXPECT_GT(PixelOf(bitmap, 3, 4)[2], 0);
  EXPECT_EQ(PixelOf(bitmap, 3, 4)[2], PixelOf(bitmap, 5, 4)[2]);
  EXPECT_EQ(PixelOf(bitmap, 4, 3)[2], PixelOf(bitmap, 4, 5)[2]);
}

TEST_F(BitmapEffects, SoftenWithLimitZeroChangesNothingAndALimitBoundsTheChange) {
  TBitmap bitmap(5, 5, TPixelFormat::pf32bit);
  FillPixels(bitmap, 0, 0, 0, 0);
  PixelOf(bitmap, 2, 2)[2] = 200;
  const auto before = AllBytes(bitmap);
  SoftenBitmap(bitmap, RECT{0, 0, 100, 100}, 0);
  EXPECT_EQ(AllBytes(bitmap), before);
  SoftenBitmap(bitmap, RECT{-5, -5, 100, 100}, 5);
  // The centre drops by at most 5; a neighbour rises by at most 5.
  EXPECT_EQ(PixelOf(bitmap, 2, 2)[2], 195);
  EXPECT_EQ(PixelOf(bitmap, 1, 1)[2], 5);
  // The border rows and columns are outside the softened inside.
  EXPECT_EQ(PixelOf(bitmap, 0, 0)[2], 0);
}

TEST_F(BitmapEffects, ColourKeyMakesTheKeyTransparentBlackAndScalesTheRest) {
  TBitmap bitmap(3, 1, TPixelFormat::pf32bit);
  FillPixels(bitmap, 255, 0, 255, 255); // magenta
  uint8_t* closeBy = PixelOf(bitmap, 1, 0);
  closeBy[1] = 100; // distance 100 from the key
  uint8_t* distant = PixelOf(bitmap, 2, 0);
  distant[0] = distant[2] = 0, distant[1] = 255; // green: distance 765
  ColorKeyToAlpha(bitmap, TColor(0xFF00FF));
  const uint8_t* key = PixelOf(bitmap, 0, 0);
  EXPECT_EQ(std::vector<uint8_t>(key, key + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(closeBy[3], 100);
  EXPECT_EQ(closeBy[2], MulDiv(255, 100, 255));
  EXPECT_EQ(closeBy[1], MulDiv(100, 100, 255));
  EXPECT_EQ(distant[3], 255);
  EXPECT_EQ(distant[1], 255);
}

TEST_F(BitmapEffects, GreyscalesUseTheWeightedLuminance) {
  TBitmap bitmap(1, 1, TPixelFormat::pf32bit);
  FillPixels(bitmap, 30, 60, 200, 77);
  GreyscaleBitmap(bitmap);
  const int grey = (77 * 200 + 151 * 60 + 28 * 30) >> 8;
  EXPECT_EQ(PixelOf(bitmap, 0, 0)[0], grey);
  EXPECT_EQ(PixelOf(bitmap, 0, 0)[2], grey);
  EXPECT_EQ(PixelOf(bitmap, 0, 0)[3], 77);
  FillPixels(bitmap, 0, 0, 0, 255);
  LightGreyscaleBitmap(bitmap);
  EXPECT_EQ(PixelOf(bitmap, 0, 0)[1], 255 - 255 * 3 / 5); // black lightened 40 %
  EXPECT_EQ(PixelOf(bitmap, 0, 0)[3], 0);
}

class TFixedRandom : public TRandomSeam {
public:
  int Next(int ARange) override { return ARange > 7 ? 7 : 0; }
  double NextDouble() override { return 0.25; }
};

TEST_F(BitmapEffects, NoiseBrightensByTheRandomAmountInsideTheArea) {
  TFixedRandom random;
  TSeamScope<TRandomSeam> scope(random);
  TBitmap bitmap(4, 4, TPixelFormat::pf32bit);
  FillPixels(bitmap, 250, 100, 10, 255);
  AddRandomNoise(bitmap, RECT{0, 0, 3, 3}, 10);
  const uint8_t* inside = PixelOf(bitmap, 1, 1);
  EXPECT_EQ(inside[0], 255); // 250 is not below 255 - 7
  EXPECT_EQ(inside[1], 107);
  EXPECT_EQ(inside[2], 17);
  EXPECT_EQ(inside[3], 0);
  EXPECT_EQ(PixelOf(bitmap, 3, 3)[2], 10);
}

TEST_F(BitmapEffects, BrushedTextureWalksTheBrightnessAlongThePixels) {
  TFixedRandom random; // never above 1 - 1/persistence: the walk only turns at its spread
  TSeamScope<TRandomSeam> scope(random);
  TBitmap bitmap(4, 1, TPixelFormat::pf32bit);
  FillPixels(bitmap, 100, 100, 100, 255);
  ApplyBrushedTexture(bitmap, 2, 2, 0.1);
  // Offsets 0.1, 0.2, then turned at |0.2| >= 0.2: 0.1, 0.0.
  const double offsets[] = {0.1, 0.2, 0.1, 0.0};
  for (int x = 0; x < 4; ++x) {
    const int expected = int(std::nearbyint(101 * (1 - offsets[x]) - 1));
    EXPECT_NEAR(PixelOf(bitmap, x, 0)[2], expected, 1) << x;
    EXPECT_EQ(PixelOf(bitmap, x, 0)[3], 0);
  }
  EXPECT_LT(PixelOf(bitmap, 1, 0)[2], PixelOf(bitmap, 0, 0)[2]);
  EXPECT_GT(PixelOf(bitmap, 3, 0)[2], PixelOf(bitmap, 2, 0)[2]);
}

TEST_F(BitmapEffects, SilhouetteOfABitmapKeepsItsOpaqueHalf) {
  TBitmap source(16, 16, TPixelFormat::pf24bit);
  source.Canvas().Brush().SetColor(clFuchsia);
  source.Canvas().FillRect(RECT{0, 0, 8, 16});
  source.Canvas().Brush().SetColor(clGreen);
  source.Canvas().FillRect(RECT{8, 0, 16, 16});
  source.SetTransparentColor(clFuchsia);
  std::unique_ptr<TBitmap> shape(CreateAlphaSilhouette(source, clBlue));
  ASSERT_EQ(shape->Width(), 16);
  ASSERT_EQ(shape->Height(), 16);
  for (int y = 0; y < 16; y += 5) {
    const uint8_t* left = PixelOf(*shape, 3, y);
    const uint8_t* right = PixelOf(*shape, 12, y);
    EXPECT_EQ(std::vector<uint8_t>(left, left + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(right, right + 4), (std::vector<uint8_t>{255, 0, 0, 255}));
  }
  shape.reset();
  source.Dormant();
}

TEST_F(BitmapEffects, SilhouetteOfAnAlphaBitmapReadsItsRowsBottomUp) {
  // A 1 x 2 image: top pixel alpha 255, bottom pixel alpha 0 (stored bottom first).
  std::vector<uint8_t> content(4 + 40 + 8);
  const uint32_t count = 48;
  std::memcpy(content.data(), &count, 4);
  BITMAPINFOHEADER header{};
  header.biSize = 40, header.biWidth = 1, header.biHeight = 2, header.biPlanes = 1;
  header.biBitCount = 32;
  std::memcpy(content.data() + 4, &header, 40);
  const uint8_t pixels[8] = {0, 0, 0, 0, 9, 9, 9, 255};
  std::memcpy(content.data() + 44, pixels, 8);
  const auto stream = ZCompressBytes(content.data(), content.size());
  TAlphaBitmap image;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  image.LoadFromStream(source);
  std::unique_ptr<TBitmap> shape(CreateAlphaSilhouette(image, clRed));
  EXPECT_EQ(PixelOf(*shape, 0, 0)[3], 255);
  EXPECT_EQ(PixelOf(*shape, 0, 0)[2], 255);
  EXPECT_EQ(PixelOf(*shape, 0, 1)[3], 0);
}

TEST_F(BitmapEffects, PremultiplyTouchesOnlyTranslucentPixels) {
  std::vector<uint8_t> content(4 + 40 + 8);
  const uint32_t count = 48;
  std::memcpy(content.data(), &count, 4);
  BITMAPINFOHEADER header{};
  header.biSize = 40, header.biWidth = 2, header.biHeight = 1, header.biPlanes = 1;
  header.biBitCount = 32;
  std::memcpy(content.data() + 4, &header, 40);
  const uint8_t pixels[8] = {200, 200, 200, 255, 255, 255, 255, 255};
  std::memcpy(content.data() + 44, pixels, 8);
  const auto stream = ZCompressBytes(content.data(), content.size());
  TAlphaBitmap image;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  image.LoadFromStream(source);
  image.Bits()[7] = 128; // the second pixel translucent now
  PremultiplyAlpha(image);
  EXPECT_EQ(image.Bits()[0], 200);
  EXPECT_EQ(image.Bits()[4], MulDiv(255, 128, 255));
}

} // namespace
