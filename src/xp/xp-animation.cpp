#include "xp-animation.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "seams.h"
#include "xp-system.h"

#include <cmath>
#include <memory>

namespace {

struct TGdiplusStartupInput {
  UINT32 GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};

struct TGdiplusReference {
  std::unique_ptr<TSystemLibrary> Library;
  ULONG_PTR Token = 0;
  int Count = 0;
};

TGdiplusReference& Gdiplus() {
  static TGdiplusReference reference;
  return reference;
}

// The screen's context for one animation.
class TScreenContext {
public:
  TScreenContext() : FDC(GetDC(nullptr)) {
    if (!FDC)
      throw EOutOfResources(L"Out of system resources");
    LedgerTake(TResourceKind::DeviceContext, FDC);
  }
  ~TScreenContext() {
    LedgerGive(TResourceKind::DeviceContext, FDC);
    ReleaseDC(nullptr, FDC);
  }
  TScreenContext(const TScreenContext&) = delete;
  TScreenContext& operator=(const TScreenContext&) = delete;
  operator HDC() const { return FDC; }

private:
  HDC FDC;
};

struct TMovingRect {
  double Left, Top, Right, Bottom;
  double StepLeft, StepTop, StepRight, StepBottom;
  TMovingRect(const RECT& AFrom, const RECT& ATo, int ASteps)
      : Left(AFrom.left), Top(AFrom.top), Right(AFrom.right), Bottom(AFrom.bottom),
        StepLeft(double(ATo.left - AFrom.left) / ASteps),
        StepTop(double(ATo.top - AFrom.top) / ASteps),
        StepRight(double(ATo.right - AFrom.right) / ASteps),
        StepBottom(double(ATo.bottom - AFrom.bottom) / ASteps) {}
  RECT Rounded() const {
    return RECT{LONG(std::nearbyint(Left)), LONG(std::nearbyint(Top)), LONG(std::nearbyint(Right)),
                LONG(std::nearbyint(Bottom))};
  }
  void Advance() { Left += StepLeft, Top += StepTop, Right += StepRight, Bottom += StepBottom; }
};

} // namespace

void GdiplusAcquire() {
  TGdiplusReference& gdiplus = Gdiplus();
  if (gdiplus.Count == 0 && gdiplus.Token == 0) {
    auto library = std::make_unique<TSystemLibrary>(L"gdiplus.dll");
    using TStartup = int(WINAPI*)(ULONG_PTR*, const TGdiplusStartupInput*, void*);
    auto startup = library->Function<TStartup>("GdiplusStartup");
    TGdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (startup && startup(&token, &input, nullptr) == 0 && token) {
      gdiplus.Token = token;
      gdiplus.Library = std::move(library);
    }
  }
  ++gdiplus.Count;
}

void GdiplusRelease() {
  TGdiplusReference& gdiplus = Gdiplus();
  if (gdiplus.Count == 0)
    return;
  if (--gdiplus.Count == 0 && gdiplus.Token) {
    using TShutdown = void(WINAPI*)(ULONG_PTR);
    if (auto shutdown = gdiplus.Library->Function<TShutdown>("GdiplusShutdown"))
      shutdown(gdiplus.Token);
    gdiplus.Token = 0;
    gdiplus.Library.reset();
  }
}

bool GdiplusRunning() {
  return Gdiplus().Token != 0;
}

void AnimateFocusRects(const RECT& AFrom, const RECT& ATo, int ASteps, DWORD ADelay) {
  if (ASteps < 1)
    return;
  TScreenContext screen;
  // XOR: the second run takes away what the first drew.
  for (int run = 0; run < 2; ++run) {
    TMovingRect edges(AFrom, ATo, ASteps);
    for (int i = 0; i < ASteps; ++i) {
      const RECT r = edges.Rounded();
      DrawFocusRect(screen, &r);
      GdiFlush();
      SleepFor(ADelay);
      edges.Advance();
    }
  }
}

uint8_t AnimationAlpha(int AStep, int ASteps, bool AFadeOut) {
  const int alpha = int(std::nearbyint(double(AStep * 255 + 255) / (ASteps + 1)));
  return AFadeOut ? uint8_t(~uint8_t(alpha)) : uint8_t(alpha);
}

void AnimateControlImage(TWinControl* AControl, bool AFadeOut, const RECT& AFrom, DWORD ADelay,
                         int ASteps, const RECT& ATo) {
  TBitmap image;
  PrintControlToBitmap(AControl, image);
  AnimateBitmap(image, AFadeOut, AFrom, ADelay, ASteps, ATo);
}

void AnimateBitmap(TBitmap& ABitmap, bool AFadeOut, const RECT& AFrom, DWORD ADelay, int ASteps,
                   const RECT& ATo) {
  if (ASteps < 1 || ABitmap.Empty())
    return;
  TScreenContext screen;
  TMovingRect edges(AFrom, ATo, ASteps);
  HDC source = ABitmap.Canvas().Handle();
  for (int i = 0; i < ASteps; ++i) {
    const RECT r = edges.Rounded();
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width > 0 && height > 0) {
      TBitmap saved(width, height, TPixelFormat::pf32bit);
      BitBlt(saved.Canvas().Handle(), 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
      const BLENDFUNCTION blend{AC_SRC_OVER, 0, AnimationAlpha(i, ASteps, AFadeOut), 0};
      AlphaBlend(screen, r.left, r.top, width, height, source, 0, 0, ABitmap.Width(),
                 ABitmap.Height(), blend);
      GdiFlush();
      SleepFor(ADelay);
      BitBlt(screen, r.left, r.top, width, height, saved.Canvas().Handle(), 0, 0, SRCCOPY);
    } else {
      SleepFor(ADelay);
    }
    edges.Advance();
  }
  ABitmap.Dormant();
}

void DrawDesignFrame(TControl* AControl) {
  if (!AControl->ComponentState().Contains(csDesigning))
    return;
  TCanvas* canvas = nullptr;
  if (auto custom = dynamic_cast<TCustomControl*>(AControl))
    canvas = &custom->Canvas();
  else if (auto graphic = dynamic_cast<TGraphicControl*>(AControl))
    canvas = &graphic->Canvas();
  if (!canvas)
    return;
  canvas->Pen().SetStyle(TPenStyle::Dash);
  canvas->Pen().SetColor(clBtnText);
  canvas->Brush().SetStyle(TBrushStyle::Clear);
  canvas->Rectangle(0, 0, AControl->ClientWidth(), AControl->ClientHeight());
}

void DrawGripperDots(TCanvas& ACanvas, int AWidth, int AHeight, int ACount, bool AVertical) {
  int x = AVertical ? (AWidth - 3) / 2 : (AWidth - 4 * ACount) / 2;
  int y = AVertical ? (AHeight - 4 * ACount) / 2 : (AHeight - 3) / 2;
  struct TDot {
    int DX, DY;
    TColor Color;
  };
  static constexpr TDot kDot[] = {{0, 0, 0x404020}, {1, 0, 0x404020}, {0, 1, 0x404020},
                                  {1, 1, 0x808060}, {2, 1, clWhite},  {1, 2, clWhite},
                                  {2, 2, clWhite}};
  for (int i = 0; i < ACount; ++i) {
    for (const TDot& dot : kDot)
      ACanvas.SetPixel(x + dot.DX, y + dot.DY, dot.Color);
    (AVertical ? y : x) += 4;
  }
}

void DrawHatch(HDC ADC, const RECT& ARect, TBrushStyle AStyle, TColor AColor) {
  struct THatch {
    TBrushStyle Style;
    int Hatch;
  };
  static constexpr THatch kHatches[] = {
      {TBrushStyle::Horizontal, HS_HORIZONTAL}, {TBrushStyle::Vertical, HS_VERTICAL},
      {TBrushStyle::FDiagonal, HS_FDIAGONAL},   {TBrushStyle::BDiagonal, HS_BDIAGONAL},
      {TBrushStyle::Cross, HS_CROSS},           {TBrushStyle::DiagCross, HS_DIAGCROSS}};
  for (const THatch& hatch : kHatches) {
    if (hatch.Style != AStyle)
      continue;
    HBRUSH brush = CreateHatchBrush(hatch.Hatch, ColorToColorRef(AColor));
    if (!brush)
      throw EOutOfResources(L"Out of system resources");
    LedgerTake(TResourceKind::GdiObject, brush);
    const int mode = SetBkMode(ADC, TRANSPARENT);
    // FillRect leaves out the right and bottom edge; the hatch covers them.
    const RECT area{ARect.left, ARect.top, ARect.right + 1, ARect.bottom + 1};
    FillRect(ADC, &area, brush);
    SetBkMode(ADC, mode);
    LedgerGive(TResourceKind::GdiObject, brush);
    DeleteObject(brush);
    return;
  }
}
