#include "xp-graphics.h"

#include "resource-ledger.h"
#include "seams.h"
#include "smooth-text.h"
#include "xp-colors.h"
#include "xp-strings.h"

#include <cmath>
#include <memory>

namespace {

int RoundEven(double AValue) {
  return int(std::nearbyint(AValue));
}

using TGradientFill = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
using TDrawGradientProc = void (*)(HDC, const RECT&, TColor, TColor, bool);
using TDrawBiGradientProc = void (*)(HDC, const RECT&, TColor, TColor, float, float, float, float);

void PixelGradient(HDC ADC, const RECT& ARect, TColor AStartColor, TColor AEndColor,
                   bool AHorizontal) {
  const int width = ARect.right - ARect.left;
  const int height = ARect.bottom - ARect.top;
  if (width <= 0 || height <= 0)
    return;
  const TColor start = ColorToRGB(AStartColor);
  const TColor end = ColorToRGB(AEndColor);
  const int n = (AHorizontal ? width : height) - 1;
  // A gradient one pixel long is its start colour.
  auto step = [n](int AStart, int AEnd, int AI) {
    return n == 0 ? AStart : AStart + RoundEven(double(AI) * (AEnd - AStart) / n);
  };
  for (int i = 0; i <= n; ++i) {
    const COLORREF c = RGB(step(Red(start), Red(end), i), step(Green(start), Green(end), i),
                           step(Blue(start), Blue(end), i));
    if (AHorizontal)
      SetPixel(ADC, ARect.left + i, ARect.top, c);
    else
      SetPixel(ADC, ARect.left, ARect.top + i, c);
  }
  if (AHorizontal)
    for (int y = 1; y < height; ++y)
      BitBlt(ADC, ARect.left, ARect.top + y, width, 1, ADC, ARect.left, ARect.top, SRCCOPY);
  else
    for (int x = 1; x < width; ++x)
      BitBlt(ADC, ARect.left + x, ARect.top, 1, height, ADC, ARect.left, ARect.top, SRCCOPY);
}

int Mix(int ALight, int ADark, double ACoef) {
  return RoundEven((1 - ACoef) * ALight + ACoef * ADark);
}

COLORREF MixColors(TColor ALight, TColor ADark, double ACoef) {
  return RGB(Mix(Red(ALight), Red(ADark), ACoef), Mix(Green(ALight), Green(ADark), ACoef),
             Mix(Blue(ALight), Blue(ADark), ACoef));
}

void PixelBiGradient(HDC ADC, const RECT& ARect, TColor ALight, TColor ADark, float ACoef11,
                     float ACoef12, float ACoef21, float ACoef22) {
  const int width = ARect.right - ARect.left;
  const int height = ARect.bottom - ARect.top;
  if (width <= 0 || height <= 0)
    return;
  const TColor light = ColorToRGB(ALight);
  const TColor dark = ColorToRGB(ADark);
  const double rowDivisor = height == 1 ? 1 : height - 1;
  const double columnDivisor = width == 1 ? 1 : width - 1;
  for (int y = 0; y < height; ++y) {
    const double g = y / rowDivisor;
    const double right = ACoef12 + (double(ACoef22) - ACoef12) * g;
    const double left = ACoef11 + (double(ACoef21) - ACoef11) * g;
    for (int x = 0; x < width; ++x)
      SetPixel(ADC, ARect.left + x, ARect.top + y,
               MixColors(light, dark, left + (right - left) * x / columnDivisor));
  }
}

struct TGradientBinding {
  std::unique_ptr<TSystemLibrary> Library;
  TGradientFill GradientFill = nullptr;
  TDrawGradientProc DrawGradient = PixelGradient;
  TDrawBiGradientProc DrawBiGradient = PixelBiGradient;
};

TGradientBinding& Binding() {
  static TGradientBinding binding;
  return binding;
}

TRIVERTEX Vertex(LONG AX, LONG AY, COLORREF AColor) {
  TRIVERTEX v{};
  v.x = AX;
  v.y = AY;
  v.Red = COLOR16(GetRValue(AColor) << 8);
  v.Green = COLOR16(GetGValue(AColor) << 8);
  v.Blue = COLOR16(GetBValue(AColor) << 8);
  v.Alpha = 0;
  return v;
}

void SystemGradient(HDC ADC, const RECT& ARect, TColor AStartColor, TColor AEndColor,
                    bool AHorizontal) {
  TRIVERTEX vertices[2] = {Vertex(ARect.left, ARect.top, ColorToColorRef(AStartColor)),
                           Vertex(ARect.right, ARect.bottom, ColorToColorRef(AEndColor))};
  GRADIENT_RECT rect{0, 1};
  Binding().GradientFill(ADC, vertices, 2, &rect, 1,
                         AHorizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}

void SystemBiGradient(HDC ADC, const RECT& ARect, TColor ALight, TColor ADark, float ACoef11,
                      float ACoef12, float ACoef21, float ACoef22) {
  const TColor light = ColorToRGB(ALight);
  const TColor dark = ColorToRGB(ADark);
  TRIVERTEX vertices[4] = {Vertex(ARect.left, ARect.top, MixColors(light, dark, ACoef11)),
                           Vertex(ARect.right, ARect.top, MixColors(light, dark, ACoef12)),
                           Vertex(ARect.left, ARect.bottom, MixColors(light, dark, ACoef21)),
                           Vertex(ARect.right, ARect.bottom, MixColors(light, dark, ACoef22))};
  GRADIENT_TRIANGLE upper{0, 1, 2};
  GRADIENT_TRIANGLE lower{3, 1, 2};
  Binding().GradientFill(ADC, vertices, 4, &upper, 1, GRADIENT_FILL_TRIANGLE);
  Binding().GradientFill(ADC, vertices, 4, &lower, 1, GRADIENT_FILL_TRIANGLE);
}

// A memory context with a bitmap selected, both given back on destruction.
class TMemoryContext {
public:
  TMemoryContext(HDC ACompatible, HBITMAP ABitmap) : FDC(CreateCompatibleDC(ACompatible)) {
    if (!FDC)
      return;
    LedgerTake(TResourceKind::DeviceContext, FDC);
    FOld = SelectObject(FDC, ABitmap);
  }
  ~TMemoryContext() {
    if (!FDC)
      return;
    SelectObject(FDC, FOld);
    LedgerGive(TResourceKind::DeviceContext, FDC);
    DeleteDC(FDC);
  }
  TMemoryContext(const TMemoryContext&) = delete;
  TMemoryContext& operator=(const TMemoryContext&) = delete;
  HDC DC() const { return FDC; }

private:
  HDC FDC;
  HGDIOBJ FOld = nullptr;
};

// A monochrome mask of a source area: 1 where the source has the
// transparent colour, 0 elsewhere.
class TTransparencyMask {
public:
  TTransparencyMask(HDC ASourceDC, int ASourceX, int ASourceY, int AWidth, int AHeight,
                    TColor ATransparentColor)
      : FBitmap(CreateBitmap(AWidth, AHeight, 1, 1, nullptr)) {
    if (!FBitmap)
      return;
    LedgerTake(TResourceKind::GdiObject, FBitmap);
    FContext = std::make_unique<TMemoryContext>(ASourceDC, FBitmap);
    const COLORREF oldBack = SetBkColor(ASourceDC, ColorToColorRef(ATransparentColor));
    BitBlt(FContext->DC(), 0, 0, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, SRCCOPY);
    SetBkColor(ASourceDC, oldBack);
  }
  ~TTransparencyMask() {
    FContext.reset();
    if (FBitmap) {
      LedgerGive(TResourceKind::GdiObject, FBitmap);
      DeleteObject(FBitmap);
    }
  }
  TTransparencyMask(const TTransparencyMask&) = delete;
  TTransparencyMask& operator=(const TTransparencyMask&) = delete;
  bool Valid() const { return FContext && FContext->DC(); }
  HDC DC() const { return FContext->DC(); }
  HBITMAP Bitmap() const { return FBitmap; }

private:
  HBITMAP FBitmap;
  std::unique_ptr<TMemoryContext> FContext;
};

bool IsNTFamily() {
  return (GetVersion() & 0x80000000u) == 0;
}

// Invert the source in, cut the mask out, invert the source back: the
// destination is left where the mask is 1 and gets the source elsewhere.
void InvertAndMask(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                   int ASourceX, int ASourceY, int ASourceWidth, int ASourceHeight,
                   const TTransparencyMask& AMask) {
  const COLORREF oldBack = SetBkColor(ADestDC, RGB(255, 255, 255));
  const COLORREF oldText = SetTextColor(ADestDC, RGB(0, 0, 0));
  // Halftoning would mix the inverted colours; whole pixels keep the trick exact.
  const int oldMode = SetStretchBltMode(ADestDC, COLORONCOLOR);
  StretchBlt(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, ASourceWidth,
             ASourceHeight, SRCINVERT);
  StretchBlt(ADestDC, AX, AY, AWidth, AHeight, AMask.DC(), 0, 0, ASourceWidth, ASourceHeight,
             SRCAND);
  StretchBlt(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, ASourceWidth,
             ASourceHeight, SRCINVERT);
  SetStretchBltMode(ADestDC, oldMode);
  SetTextColor(ADestDC, oldText);
  SetBkColor(ADestDC, oldBack);
}

RECT Grown(const RECT& ARect, int ABy) {
  return RECT{ARect.left - ABy, ARect.top - ABy, ARect.right + ABy, ARect.bottom + ABy};
}

} // namespace

UINT CaptionDrawTextFlags(TXPDrawCaptionFlags AFlags, TEllipsisPosition AEllipsis) {
  static constexpr UINT ellipsisFlags[] = {0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS};
  UINT flags = (AFlags & dcfMultiline) ? DT_WORDBREAK : DT_SINGLELINE;
  flags |= ellipsisFlags[AEllipsis <= epWordEllipsis ? AEllipsis : epNone];
  if (AFlags & dcfNoPrefix)
    flags |= DT_NOPREFIX;
  if (AFlags & dcfNoClipping)
    flags |= DT_NOCLIP;
  return flags;
}

void TImgLibManager::DrawGradient(HDC ADC, const RECT& ARect, TColor AStartColor, TColor AEndColor,
                                  bool AHorizontal) {
  Binding().DrawGradient(ADC, ARect, AStartColor, AEndColor, AHorizontal);
}

void TImgLibManager::DrawBiGradient(HDC ADC, const RECT& ARect, TColor LightColor, TColor DarkColor,
                                    float Coef11, float Coef12, float Coef21, float Coef22) {
  Binding().DrawBiGradient(ADC, ARect, LightColor, DarkColor, Coef11, Coef12, Coef21, Coef22);
}

void XPGraphicsStartup() {
  XPGraphicsShutdown();
  TGradientBinding& binding = Binding();
  binding.Library = std::make_unique<TSystemLibrary>(L"msimg32.dll");
  binding.GradientFill = binding.Library->Function<TGradientFill>("GradientFill");
  if (binding.GradientFill) {
    binding.DrawGradient = SystemGradient;
    binding.DrawBiGradient = SystemBiGradient;
  }
}

void XPGraphicsShutdown() {
  TGradientBinding& binding = Binding();
  binding.DrawGradient = PixelGradient;
  binding.DrawBiGradient = PixelBiGradient;
  binding.GradientFill = nullptr;
  binding.Library.reset();
}

bool XPGradientFillBound() {
  return Binding().DrawGradient == SystemGradient;
}

void GradientFillRect(HDC ADC, const RECT& ARect, TColor AStartColor, TColor AEndColor,
                      bool AHorizontal) {
  TImgLibManager::DrawGradient(ADC, ARect, AStartColor, AEndColor, AHorizontal);
}

void DrawXPCaption(TCanvas& ACanvas, const RECT& ARect, const std::wstring& AText, TFont& AFont,
                   TColor AColor, TAlignment AAlignment, TTextLayout ALayout,
                   TXPDrawCaptionFlags AFlags, TEllipsisPosition AEllipsis, int ALineSpacing) {
  const TColor color = AColor == clDefault ? AFont.Color() : AColor;
  if (AFlags & dcfSmoothText) {
    TSmoothTextRenderer::SmoothTextOut(ACanvas, ARect, ALineSpacing, AEllipsis, AFlags, ALayout,
                                       AAlignment, color, AFont, AText);
    return;
  }
  const HDC dc = ACanvas.Handle();
  const int saved = SaveDC(dc);
  SelectObject(dc, AFont.Handle());
  HRGN savedClip = nullptr;
  const bool clip = !(AFlags & dcfNoClipping);
  if (clip)
    ClipToRect(dc, Grown(ARect, 1), savedClip);

  const bool vertical = (AFlags & dcfVertical) != 0;
  RECT work = ARect;
  if (vertical) {
    work.right = ARect.left + (ARect.bottom - ARect.top);
    work.bottom = ARect.top + (ARect.right - ARect.left);
  }
  SetBkMode(dc, TRANSPARENT);
  const UINT flags = CaptionDrawTextFlags(AFlags, AEllipsis);
  RECT box = work;
  DrawTextW(dc, AText.c_str(), int(AText.size()), &box, flags | DT_CALCRECT);

  if (vertical) {
    SetGraphicsMode(dc, GM_ADVANCED);
    XFORM transform{};
    if (AFlags & dcfVertClockwise) {
      transform.eM12 = 1;
      transform.eM21 = -1;
      transform.eDx = FLOAT(work.left + work.bottom);
      transform.eDy = FLOAT(work.top - work.left);
    } else {
      transform.eM12 = -1;
      transform.eM21 = 1;
      transform.eDx = FLOAT(work.left - work.top);
      transform.eDy = FLOAT(work.top + work.right);
    }
    SetWorldTransform(dc, &transform);
  }

  const int textWidth = box.right - box.left;
  const int textHeight = box.bottom - box.top;
  const int spareWidth = (work.right - work.left) - textWidth;
  if (AAlignment == taRightJustify)
    OffsetRect(&box, spareWidth, 0);
  else if (AAlignment == taCenter)
    OffsetRect(&box, spareWidth / 2, 0);
  const int spareHeight = (work.bottom - work.top) - textHeight;
  const int down = ALayout == tlCenter ? spareHeight / 2 : ALayout == tlBottom ? spareHeight : 0;
  if (down > 0)
    OffsetRect(&box, 0, down);

  auto drawAt = [&](RECT ABox, TColor AInk) {
    SetTextColor(dc, ColorToColorRef(AInk));
    DrawTextW(dc, AText.c_str(), int(AText.size()), &ABox, flags);
  };
  if (AFlags & dcfSunkenDisabled) {
    RECT shifted = box;
    OffsetRect(&shifted, 1, 1);
    drawAt(shifted, clBtnHighlight);
    drawAt(box, clBtnShadow);
  } else {
    drawAt(box, color);
  }
  if ((AFlags & dcfFocusRect) && !AText.empty()) {
    RECT focus{};
    IntersectRect(&focus, &box, &work);
    focus = Grown(focus, 1);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &focus);
  }
  if (vertical) {
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    SetGraphicsMode(dc, GM_COMPATIBLE);
  }
  if (clip)
    RestoreClipRgn(dc, savedClip);
  RestoreDC(dc, saved);
}

void MeasureXPCaption(TCanvas& ACanvas, const RECT& ARect, const std::wstring& AText, SIZE& ASize,
                      int ALineSpacing, TEllipsisPosition AEllipsis, TXPDrawCaptionFlags AFlags,
                      TFont& AFont) {
  if (&AFont != &ACanvas.Font())
    ACanvas.SetFont(AFont);
  if (AFlags & dcfSmoothText) {
    const std::wstring text = (AFlags & dcfNoPrefix) ? AText : StripAccelChars(AText);
    const TXPDrawCaptionFlags flags = AFlags & ~(dcfVertical | dcfVertClockwise);
    ASize.cx = TSmoothTextRenderer::SmoothTextWidth(ACanvas, text, flags, ARect);
    ASize.cy = TSmoothTextRenderer::SmoothTextHeight(ACanvas, text, ALineSpacing, flags, ARect);
  } else {
    RECT r = ARect;
    ACanvas.TextRect(r, AText, CaptionDrawTextFlags(AFlags, AEllipsis) | DT_CALCRECT);
    ASize.cx = r.right - r.left;
    ASize.cy = r.bottom - r.top;
  }
  if (AFlags & dcfVertical)
    std::swap(ASize.cx, ASize.cy);
}

void DrawSkinBitmap(const RECT& ADestRect, const RECT& AInnerRect, const RECT& ASourceRect, HDC ADC,
                    HBITMAP ABitmap, bool AUseAlpha) {
  const int sx = ASourceRect.left, sy = ASourceRect.top;
  const int sw = ASourceRect.right - ASourceRect.left;
  const int sh = ASourceRect.bottom - ASourceRect.top;
  const int dx = ADestRect.left, dy = ADestRect.top;
  const int dw = ADestRect.right - ADestRect.left;
  const int dh = ADestRect.bottom - ADestRect.top;
  const int left = AInnerRect.left, top = AInnerRect.top;
  const int innerWidth = AInnerRect.right - AInnerRect.left;
  const int innerHeight = AInnerRect.bottom - AInnerRect.top;
  const int right = sw - AInnerRect.right, bottom = sh - AInnerRect.bottom;
  const int middleWidth = dw - left - right, middleHeight = dh - top - bottom;

  SetStretchBltMode(ADC, HALFTONE);
  SetBrushOrgEx(ADC, 0, 0, nullptr);
  TMemoryContext source(ADC, ABitmap);
  if (!source.DC())
    return;
  const BLENDFUNCTION blend = XPBlendFunction();
  auto part = [&](int AX, int AY, int AW, int AH, int ASX, int ASY, int ASW, int ASH) {
    if (AW <= 0 || AH <= 0 || ASW <= 0 || ASH <= 0)
      return;
    if (AUseAlpha)
      AlphaBlend(ADC, AX, AY, AW, AH, source.DC(), ASX, ASY, ASW, ASH, blend);
    else if (AW == ASW && AH == ASH)
      BitBlt(ADC, AX, AY, AW, AH, source.DC(), ASX, ASY, SRCCOPY);
    else
      StretchBlt(ADC, AX, AY, AW, AH, source.DC(), ASX, ASY, ASW, ASH, SRCCOPY);
  };
  const int innerX = sx + AInnerRect.left, innerY = sy + AInnerRect.top;
  const int rightX = sx + AInnerRect.right, bottomY = sy + AInnerRect.bottom;
  part(dx, dy, left, top, sx, sy, left, top);
  part(dx, dy + top, left, middleHeight, sx, innerY, left, innerHeight);
  part(dx, dy + dh - bottom, left, bottom, sx, bottomY, left, bottom);
  part(dx + left, dy, middleWidth, top, innerX, sy, innerWidth, top);
  part(dx + left, dy + top, middleWidth, middleHeight, innerX, innerY, innerWidth, innerHeight);
  part(dx + left, dy + dh - bottom, middleWidth, bottom, innerX, bottomY, innerWidth, bottom);
  part(dx + dw - right, dy, right, top, rightX, sy, right, top);
  part(dx + dw - right, dy + top, right, middleHeight, rightX, innerY, right, innerHeight);
  part(dx + dw - right, dy + dh - bottom, right, bottom, rightX, bottomY, right, bottom);
}

void DrawSkinBitmap(const RECT& ADestRect, const RECT& AInnerRect, const RECT& ASourceRect, HDC ADC,
                    TBitmap& ABitmap, bool AUseAlpha) {
  // A bitmap is selected into one context at a time.
  ABitmap.Dormant();
  DrawSkinBitmap(ADestRect, AInnerRect, ASourceRect, ADC, ABitmap.Handle(), AUseAlpha);
}

void TransparentMaskBlt(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                        int ASourceX, int ASourceY, TColor ATransparentColor) {
  if (AWidth <= 0 || AHeight <= 0)
    return;
  TTransparencyMask mask(ASourceDC, ASourceX, ASourceY, AWidth, AHeight, ATransparentColor);
  if (!mask.Valid())
    return;
  if (IsNTFamily())
    MaskBlt(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, mask.Bitmap(), 0, 0,
            0xCCAA0029);
  else
    InvertAndMask(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, AWidth, AHeight,
                  mask);
}

void TransparentStretchBlt(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                           int ASourceX, int ASourceY, int ASourceWidth, int ASourceHeight,
                           TColor ATransparentColor) {
  if (AWidth <= 0 || AHeight <= 0 || ASourceWidth <= 0 || ASourceHeight <= 0)
    return;
  TTransparencyMask mask(ASourceDC, ASourceX, ASourceY, ASourceWidth, ASourceHeight,
                         ATransparentColor);
  if (mask.Valid())
    InvertAndMask(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, ASourceWidth,
                  ASourceHeight, mask);
}

BLENDFUNCTION XPBlendFunction() {
  return BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
}

void AlphaBlendImage(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                     int ASourceX, int ASourceY) {
  AlphaBlend(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, AWidth, AHeight,
             XPBlendFunction());
}

void AlphaBlendStretch(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                       int ASourceX, int ASourceY, int ASourceWidth, int ASourceHeight) {
  AlphaBlend(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, ASourceWidth,
             ASourceHeight, XPBlendFunction());
}

void AlphaBlendConst(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                     int ASourceX, int ASourceY, uint8_t AConstantAlpha, uint8_t AAlphaFormat) {
  AlphaBlendConstStretch(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, AWidth,
                         AHeight, AConstantAlpha, AAlphaFormat);
}

void AlphaBlendConstStretch(HDC ADestDC, int AX, int AY, int AWidth, int AHeight, HDC ASourceDC,
                            int ASourceX, int ASourceY, int ASourceWidth, int ASourceHeight,
                            uint8_t AConstantAlpha, uint8_t AAlphaFormat) {
  AlphaBlend(ADestDC, AX, AY, AWidth, AHeight, ASourceDC, ASourceX, ASourceY, ASourceWidth,
             ASourceHeight, BLENDFUNCTION{AC_SRC_OVER, 0, AConstantAlpha, AAlphaFormat});
}

bool IsGraphicEmpty(const TGraphic* AGraphic) {
  return !AGraphic || AGraphic->Empty() || AGraphic->Width() == 0 || AGraphic->Height() == 0;
}

namespace {

template <typename TPaint>
void PaintSolid(HDC ADC, const RECT& ARect, TColor AColor, TPaint APaint) {
  if (ARect.right <= ARect.left || ARect.bottom <= ARect.top)
    return;
  HBRUSH brush = CreateSolidBrush(ColorToColorRef(AColor));
  if (!brush)
    return;
  LedgerTake(TResourceKind::GdiObject, brush);
  APaint(ADC, &ARect, brush);
  DeleteObject(brush);
  LedgerGive(TResourceKind::GdiObject, brush);
}

} // namespace

void FillSolidRect(HDC ADC, const RECT& ARect, TColor AColor) {
  PaintSolid(ADC, ARect, AColor, FillRect);
}

void FrameSolidRect(HDC ADC, const RECT& ARect, TColor AColor) {
  PaintSolid(ADC, ARect, AColor, FrameRect);
}
