#pragma once

#include "ledger-balance.h"
#include "graphics.h"
#include "resource-ledger.h"
#include "smooth-text.h"
#include "xp-graphics.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

// Every drawing test ends with the ledger where it started, once the
// process-wide objects it may have made (the smooth-text cache, the
// gradient binding, the framework's shared bitmaps) are freed.
class XPDrawing : public TLedgerBalancedTest {
protected:
  void ReleaseShared() override {
    TSmoothTextRenderer::Shutdown();
    XPGraphicsShutdown();
  }
};

// A pixel of a 32-bit DIB section as 0x00BBGGRR.
inline TColor PixelAt(TBitmap& ABitmap, int AX, int AY) {
  GdiFlush();
  const uint32_t bgra = static_cast<const uint32_t*>(ABitmap.ScanLine(AY))[AX];
  return TColor(((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF));
}

inline uint8_t AlphaAt(TBitmap& ABitmap, int AX, int AY) {
  GdiFlush();
  return uint8_t(static_cast<const uint32_t*>(ABitmap.ScanLine(AY))[AX] >> 24);
}

inline void SetPixelBGRA(TBitmap& ABitmap, int AX, int AY, uint32_t ABGRA) {
  GdiFlush();
  static_cast<uint32_t*>(ABitmap.ScanLine(AY))[AX] = ABGRA;
}

inline void FillBitmap(TBitmap& ABitmap, TColor AColor) {
  ABitmap.Canvas().Brush().SetStyle(TBrushStyle::Solid);
  ABitmap.Canvas().Brush().SetColor(AColor);
  ABitmap.Canvas().FillRect(RECT{0, 0, ABitmap.Width(), ABitmap.Height()});
  GdiFlush();
}

// The smallest rectangle holding every pixel that differs from the
// background; empty when there is none.
inline RECT InkBounds(TBitmap& ABitmap, TColor ABackground) {
  RECT bounds{ABitmap.Width(), ABitmap.Height(), 0, 0};
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x)
      if (PixelAt(ABitmap, x, y) != ABackground) {
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
  if (bounds.right == 0)
    return RECT{0, 0, 0, 0};
  return bounds;
}
