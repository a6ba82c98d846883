#include "bitmap-effects.h"

#include "alpha-image.h"
#include "rtl-exceptions.h"
#include "seams.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void Require32Bit(TBitmap& ABitmap) {
  if (ABitmap.PixelFormat() != TPixelFormat::pf32bit)
    throw EAssertionFailed(L"Assertion failure (xp\\XPBitmapUtils)");
}

RECT ClampArea(TBitmap& ABitmap, RECT AArea) {
  AArea.left = std::max<LONG>(AArea.left, 0);
  AArea.top = std::max<LONG>(AArea.top, 0);
  AArea.right = std::min<LONG>(AArea.right, ABitmap.Width() - 1);
  AArea.bottom = std::min<LONG>(AArea.bottom, ABitmap.Height() - 1);
  return AArea;
}

uint8_t* Pixel(TBitmap& ABitmap, int AX, int AY) {
  return static_cast<uint8_t*>(ABitmap.ScanLine(AY)) + AX * 4;
}

// round() of the system: half to even.
int RoundEven(double AValue) {
  return int(std::nearbyint(AValue));
}

uint8_t Brighten(uint8_t AValue, int AAmount) {
  return AValue < 255 - AAmount ? uint8_t(AValue + AAmount) : uint8_t(255);
}

uint8_t Scale(uint8_t AValue, double AFactor) {
  return uint8_t(std::clamp(RoundEven((AValue + 1) * AFactor - 1), 0, 255));
}

int Luminance(const uint8_t* APixel) {
  return ((77 * APixel[2] + 151 * APixel[1] + 28 * APixel[0]) >> 8) & 0xFF;
}

} // namespace

void SoftenBitmap(TBitmap& ABitmap, RECT AArea, int ALimit) {
  Require32Bit(ABitmap);
  const RECT area = ClampArea(ABitmap, AArea);
  const int width = ABitmap.Width(), height = ABitmap.Height();
  for (int y = area.top + 1; y <= area.bottom - 1; ++y)
    for (int x = area.left + 1; x <= area.right - 1; ++x) {
      int sum[4] = {};
      for (int ny = y - 1; ny <= y + 1; ++ny)
        for (int nx = x - 1; nx <= x + 1; ++nx) {
          if (nx < 0 || ny < 0 || nx >= width || ny >= height)
            continue;
          const uint8_t* n = Pixel(ABitmap, nx, ny);
          for (int c = 0; c < 4; ++c)
            sum[c] += n[c];
        }
      uint8_t* p = Pixel(ABitmap, x, y);
      for (int c = 0; c < 4; ++c) {
        const int old = p[c];
        const int value = std::clamp(sum[c] / 9, old - ALimit, old + ALimit);
        p[c] = uint8_t(value);
      }
    }
}

void GaussianBlurBitmap(TBitmap& ABitmap, double ARadius) {
  Require32Bit(ABitmap);
  if (ARadius <= 0 || ABitmap.Empty())
    return;
  constexpr int kMaxHalf = 100;
  std::vector<double> weight(2 * kMaxHalf + 1);
  double sum = 0;
  for (int k = -kMaxHalf; k <= kMaxHalf; ++k) {
    const double q = k / ARadius;
    weight[k + kMaxHalf] = std::exp(-q * q / 2);
    sum += weight[k + kMaxHalf];
  }
  for (double& w : weight)
    w /= sum;
  int half = kMaxHalf;
  double tail = 0;
  while (tail < 1.0 / 510 && half > 1) {
    tail += 2 * weight[half + kMaxHalf];
    --half;
  }
  std::vector<double> taps(weight.begin() + (kMaxHalf - half),
                           weight.begin() + (kMaxHalf + half + 1));
  sum = 0;
  for (double w : taps)
    sum += w;
  for (double& w : taps)
    w /= sum;

  const int width = ABitmap.Width(), height = ABitmap.Height();
  // One line (row or column) at a time, through a copy of its pixels.
  auto blurLine = [&](int ACount, auto&& AAt) {
    std::vector<uint8_t> line(size_t(ACount) * 4);
    for (int i = 0; i < ACount; ++i)
      std::copy_n(AAt(i), 4, line.begin() + i * 4);
    for (int i = 0; i < ACount; ++i) {
      double acc[4] = {};
      for (int k = -half; k <= half; ++k) {
        const int j = std::clamp(i + k, 0, ACount - 1);
        for (int c = 0; c < 4; ++c)
          acc[c] += taps[k + half] * line[j * 4 + c];
      }
      uint8_t* p = AAt(i);
      for (int c = 0; c < 4; ++c) {
        // The taps sum to 1 only up to rounding (and the x87 unit rounds
        // differently from SSE): a whole value must not truncate to the
        // one below it.
        const double value = acc[c] + 1e-7;
        p[c] = value < 0 ? 0 : value >= 255 ? 255 : uint8_t(std::trunc(value));
      }
    }
  };
  for (int y = 0; y < height; ++y)
    blurLine(width, [&](int i) { return Pixel(ABitmap, i, y); });
  for (int x = 0; x < width; ++x)
    blurLine(height, [&](int i) { return Pixel(ABitmap, x, i); });
}

void AddRandomNoise(TBitmap& ABitmap, RECT AArea, int AAmount) {
  Require32Bit(ABitmap);
  const RECT area = ClampArea(ABitmap, AArea);
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      uint8_t* p = Pixel(ABitmap, x, y);
      const int amount = Random(AAmount);
      for (int c = 0; c < 3; ++c)
        p[c] = Brighten(p[c], amount);
      p[3] = 0;
    }
}

void ApplyBrushedTexture(TBitmap& ABitmap, int ASpread, int APersistence, double AStep) {
  Require32Bit(ABitmap);
  double offset = 0;
  int direction = 1;
  const double turn = APersistence ? 1.0 - 1.0 / APersistence : 0.0;
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x) {
      if (RandomDouble() > turn || std::abs(offset) >= AStep * ASpread)
        direction = -direction;
      offset += direction * AStep;
      uint8_t* p = Pixel(ABitmap, x, y);
      for (int c = 0; c < 3; ++c)
        p[c] = Scale(p[c], 1 - offset);
      p[3] = 0;
    }
}

void GreyscaleBitmap(TBitmap& ABitmap) {
  Require32Bit(ABitmap);
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x) {
      uint8_t* p = Pixel(ABitmap, x, y);
      p[0] = p[1] = p[2] = uint8_t(Luminance(p));
    }
}

void LightGreyscaleBitmap(TBitmap& ABitmap) {
  Require32Bit(ABitmap);
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x) {
      uint8_t* p = Pixel(ABitmap, x, y);
      // A grey's luminance is its own level; lift it 40 % of the way to white.
      const int light = 255 - ((255 - Luminance(p)) * 3 / 5);
      p[0] = p[1] = p[2] = uint8_t(light);
      p[3] = 0;
    }
}

void ColorKeyToAlpha(TBitmap& ABitmap, TColor AKey) {
  Require32Bit(ABitmap);
  const uint32_t key = uint32_t(ColorToRGB(AKey));
  const int keyRed = key & 0xFF, keyGreen = (key >> 8) & 0xFF, keyBlue = (key >> 16) & 0xFF;
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x) {
      uint8_t* p = Pixel(ABitmap, x, y);
      const int alpha = std::min(255, std::abs(p[2] - keyRed) + std::abs(p[1] - keyGreen) +
                                          std::abs(p[0] - keyBlue));
      if (alpha < 255)
        for (int c = 0; c < 3; ++c)
          p[c] = uint8_t(MulDiv(p[c], alpha, 255));
      p[3] = uint8_t(alpha);
    }
}

void PremultiplyAlpha(TGraphic& AGraphic) {
  auto alpha = dynamic_cast<TAlphaBitmap*>(&AGraphic);
  if (!alpha || alpha->Empty())
    return;
  alpha->BeginUpdate();
  uint8_t* p = alpha->Bits();
  for (size_t i = 0; i < size_t(alpha->Width()) * alpha->Height(); ++i, p += 4)
    if (p[3] < 255)
      for (int c = 0; c < 3; ++c)
        p[c] = uint8_t(MulDiv(p[c], p[3], 255));
  alpha->EndUpdate();
}

TBitmap* CreateAlphaSilhouette(TGraphic& AGraphic, TColor AColor) {
  const int width = AGraphic.Width(), height = AGraphic.Height();
  auto result = std::make_unique<TBitmap>(width, height, TPixelFormat::pf32bit);
  const uint32_t rgb = uint32_t(ColorToRGB(AColor));
  const uint8_t colour[3] = {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)};
  auto paint = [&](int AX, int AY, int AAlpha) {
    uint8_t* p = Pixel(*result, AX, AY);
    for (int c = 0; c < 3; ++c)
      p[c] = uint8_t(MulDiv(colour[c], AAlpha, 255));
    p[3] = uint8_t(AAlpha);
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = Pixel(*result, x, y);
      p[0] = colour[0], p[1] = colour[1], p[2] = colour[2], p[3] = 0;
    }
  if (auto png = dynamic_cast<TPngImage*>(&AGraphic)) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        paint(x, y, png->Alpha(x, y));
  } else if (auto alpha = dynamic_cast<TAlphaBitmap*>(&AGraphic)) {
    // Its rows are stored bottom-up.
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        paint(x, y, alpha->Bits()[(size_t(height - 1 - y) * width + x) * 4 + 3]);
  } else if (auto bitmap = dynamic_cast<TBitmap*>(&AGraphic)) {
    const uint32_t transparent = uint32_t(ColorToRGB(bitmap->TransparentColor())) & 0xFFFFFF;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint32_t pixel = uint32_t(ColorToRGB(bitmap->Canvas().Pixel(x, y))) & 0xFFFFFF;
        paint(x, y, pixel != transparent ? 255 : 0);
      }
    bitmap->Dormant();
  }
  return result.release();
}
