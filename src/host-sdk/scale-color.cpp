#include "numeric-text.h"

#include <windows.h>

#include <cmath>
#include <cstdint>

// In a file of its own: the drawing layer has a ScaleColor of its own
// rounding, and a program that takes the number texts must not bring this
// one in beside it.
TColor ScaleColor(TColor AColor, double AFactor) {
  std::uint32_t rgb = std::uint32_t(AColor);
  if (AColor < 0)
    rgb = GetSysColor(int(rgb & 0xFF));
  auto scale = [AFactor](std::uint32_t channel) -> std::uint32_t {
    const double v = std::nearbyint(double(channel) * AFactor);
    if (v >= 255.0)
      return 255;
    if (!(v >= 0.0))
      return 0; // negative, or not a number at all
    return std::uint32_t(v);
  };
  const std::uint32_t r = scale(rgb & 0xFF);
  const std::uint32_t g = scale((rgb >> 8) & 0xFF);
  const std::uint32_t b = scale((rgb >> 16) & 0xFF);
  return TColor(r | (g << 8) | (b << 16));
}
