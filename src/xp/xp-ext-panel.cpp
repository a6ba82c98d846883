#include "xp-ext-panel.h"

#include "resource-ledger.h"
#include "seams.h"
#include "xp-animation.h"
#include "xp-colors.h"
#include "xp-system.h"

#include <uxtheme.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A solid GDI brush or pen for the span of one drawing step.
class TSolidBrush {
public:
  explicit TSolidBrush(TColor AColor) : FBrush(CreateSolidBrush(ColorToColorRef(AColor))) {
    TResourceLedger::Take(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(FBrush));
  }
  TSolidBrush(const TSolidBrush&) = delete;
  TSolidBrush& operator=(const TSolidBrush&) = delete;
  ~TSolidBrush() {
    DeleteObject(FBrush);
    TResourceLedger::Give(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(FBrush));
  }
  HBRUSH Handle() const { return FBrush; }

private:
  HBRUSH FBrush;
};

void FillSolid(HDC ADC, const RECT& ARect, TColor AColor) {
  TSolidBrush brush(AColor);
  FillRect(ADC, &ARect, brush.Handle());
}

// A horizontal or vertical one-pixel line in a colour, end point excluded.
void Line(HDC ADC, int AX1, int AY1, int AX2, int AY2, TColor AColor) {
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToColorRef(AColor));
  TResourceLedger::Take(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(pen));
  HGDIOBJ old = SelectObject(ADC, pen);
  MoveToEx(ADC, AX1, AY1, nullptr);
  LineTo(ADC, AX2, AY2);
  SelectObject(ADC, old);
  DeleteObject(pen);
  TResourceLedger::Give(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(pen));
}

// The GDI+ flat functions the round border draws with.
struct TGdiplusFlat {
  using TStatus = int;
  TStatus(WINAPI* CreateFromHDC)(HDC, void**) = nullptr;
  TStatus(WINAPI* DeleteGraphics)(void*) = nullptr;
  TStatus(WINAPI* SetSmoothingMode)(void*, int) = nullptr;
  TStatus(WINAPI* CreatePath)(int, void**) = nullptr;
  TStatus(WINAPI* DeletePath)(void*) = nullptr;
  TStatus(WINAPI* AddPathArcI)(void*, INT, INT, INT, INT, float, float) = nullptr;
  TStatus(WINAPI* AddPathLineI)(void*, INT, INT, INT, INT) = nullptr;
  TStatus(WINAPI* StartPathFigure)(void*) = nullptr;
  TStatus(WINAPI* ClosePathFigure)(void*) = nullptr;
  TStatus(WINAPI* CreatePen1)(uint32_t, float, int, void**) = nullptr;
  TStatus(WINAPI* DeletePen)(void*) = nullptr;
  TStatus(WINAPI* DrawPath)(void*, void*, void*) = nullptr;

  explicit TGdiplusFlat(const TSystemLibrary& ALibrary) {
    Bind(ALibrary, CreateFromHDC, "GdipCreateFromHDC");
    Bind(ALibrary, DeleteGraphics, "GdipDeleteGraphics");
    Bind(ALibrary, SetSmoothingMode, "GdipSetSmoothingMode");
    Bind(ALibrary, CreatePath, "GdipCreatePath");
    Bind(ALibrary, DeletePath, "GdipDeletePath");
    Bind(ALibrary, AddPathArcI, "GdipAddPathArcI");
    Bind(ALibrary, AddPathLineI, "GdipAddPathLineI");
    Bind(ALibrary, StartPathFigure, "GdipStartPathFigure");
    Bind(ALibrary, ClosePathFigure, "GdipClosePathFigure");
    Bind(ALibrary, CreatePen1, "GdipCreatePen1");
    Bind(ALibrary, DeletePen, "GdipDeletePen");
    Bind(ALibrary, DrawPath, "GdipDrawPath");
  }
  bool Complete() const {
    return CreateFromHDC && DeleteGraphics && SetSmoothingMode && CreatePath && DeletePath &&
           AddPathArcI && AddPathLineI && StartPathFigure && ClosePathFigure && CreatePen1 &&
           DeletePen && DrawPath;
  }

private:
  template <typename TFunction>
  static void Bind(const TSystemLibrary& ALibrary, TFunction& AFunction, const char* AName) {
    AFunction = ALibrary.Function<TFunction>(AName);
  }
};

constexpr int kSmoothingModeAntiAlias = 4;
constexpr int kUnitPixel = 2;
constexpr int kTabPane = 9; // TABP_PANE

} // namespace

TXPCustomExtPanel::TXPCustomExtPanel(TComponent* AOwner)
    : TXPCustomControl(AOwner), FBitmap(std::make_unique<TBitmap>()) {
  FBitmap->OnChange = [this](TGraphic*) { Invalidate(); };
  SetBounds(Left(), Top(), 185, 41);
  FControlStyle = (FControlStyle | csAcceptsControls) & ~uint32_t(csOpaque);
  SetUseDefaultColor(true);
  SetParentColor(false);
  SetTabStop(false);
}

TXPCustomExtPanel::~TXPCustomExtPanel() {
  DropWindowRegion();
}

// --- setters ---------------------------------------------------------------------

void TXPCustomExtPanel::SetKind(TXPExtPanelKind AValue) {
  if (AValue == FKind)
    return;
  FKind = AValue;
  UpdateWindowRegion();
  Realign();
  Invalidate();
}

void TXPCustomExtPanel::SetBeginColor(TColor AValue) {
  if (AValue == FBeginColor)
    return;
  FBeginColor = AValue;
  if (IsGradientKind())
    Invalidate();
}

void TXPCustomExtPanel::SetEndColor(TColor AValue) {
  if (AValue == FEndColor)
    return;
  FEndColor = AValue;
  if (IsGradientKind())
    Invalidate();
}

void TXPCustomExtPanel::SetGradientStyle(TGradientPanelStyle AValue) {
  if (AValue == FGradientStyle)
    return;
  FGradientStyle = AValue;
  if (IsGradientKind())
    Invalidate();
}

void TXPCustomExtPanel::SetBitmap(TBitmap* AValue) {
  FBitmap->Assign(AValue);
  FBitmap->SetTransparent(FBitmapTransparent);
}

void TXPCustomExtPanel::SetBitmapTransparent(bool AValue) {
  if (AValue == FBitmapTransparent)
    return;
  FBitmapTransparent = AValue;
  FBitmap->SetTransparent(AValue);
  if (IsBitmapKind())
    Invalidate();
}

void TXPCustomExtPanel::SetAlignment(TAlignment AValue) {
  if (AValue == FAlignment)
    return;
  FAlignment = AValue;
  if (IsBitmapKind())
    Invalidate();
}

void TXPCustomExtPanel::SetLayout(TTextLayout AValue) {
  if (AValue == FLayout)
    return;
  FLayout = AValue;
  if (IsBitmapKind())
    Invalidate();
}

void TXPCustomExtPanel::SetStretching(TXPGraphicStretching AValue) {
  if (AValue == FStretching)
    return;
  FStretching = AValue;
  if (IsBitmapKind())
    Invalidate();
}

void TXPCustomExtPanel::SetBorderColor(TColor AValue) {
  if (AValue == FBorderColor)
    return;
  FBorderColor = AValue;
  if (FKind == epkSimple)
    Invalidate();
}

void TXPCustomExtPanel::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  if (IsBitmapKind()) {
    if (AValue)
      FControlStyle &= ~uint32_t(csOpaque);
    else
      FControlStyle |= csOpaque;
  }
  Invalidate();
}

void TXPCustomExtPanel::SetAlphaBlendValue(uint8_t AValue) {
  if (AValue == FAlphaBlendValue)
    return;
  FAlphaBlendValue = AValue;
  Invalidate();
}

void TXPCustomExtPanel::SetShowBorder(bool AValue) {
  if (AValue == FShowBorder)
    return;
  FShowBorder = AValue;
  if (FKind == epkSimple)
    Invalidate();
}

void TXPCustomExtPanel::SetShowTop(bool AValue) {
  if (AValue == FShowTop)
    return;
  FShowTop = AValue;
  Invalidate();
}

void TXPCustomExtPanel::SetShowBottom(bool AValue) {
  if (AValue == FShowBottom)
    return;
  FShowBottom = AValue;
  if (FKind == epkSimple)
    Invalidate();
}

void TXPCustomExtPanel::SetShowLeft(bool AValue) {
  if (AValue == FShowLeft)
    return;
  FShowLeft = AValue;
  if (FKind == epkSimple)
    Invalidate();
}

void TXPCustomExtPanel::SetShowRight(bool AValue) {
  if (AValue == FShowRight)
    return;
  FShowRight = AValue;
  if (FKind == epkSimple)
    Invalidate();
}

void TXPCustomExtPanel::SetRoundCorners(bool AValue) {
  if (AValue == FRoundCorners)
    return;
  FRoundCorners = AValue;
  if (FKind == epkSimple)
    Invalidate();
}

void TXPCustomExtPanel::SetRadius(int AValue) {
  if (AValue == FRadius)
    return;
  FRadius = AValue;
  if (FKind == epkSimple)
    Invalidate();
}

void TXPCustomExtPanel::SetUseDefaultColor(bool AValue) {
  if (AValue)
    SetColor(clXPBtnFace);
  // After the colour: a colour change outside loading clears the switch.
  FUseDefaultColor = AValue;
}

void TXPCustomExtPanel::SetBorderWidth(TBorderWidth AValue) {
  if (AValue == FBorderWidth)
    return;
  FBorderWidth = AValue;
  Realign();
  Invalidate();
}

void TXPCustomExtPanel::ColorChanged() {
  if (Designing() || !ComponentState().Contains(csLoading))
    FUseDefaultColor = false;
  TXPCustomControl::ColorChanged();
}

void TXPCustomExtPanel::Loaded() {
  TXPCustomControl::Loaded();
  if (FUseDefaultColor)
    SetUseDefaultColor(true);
}

// --- window region ------------------------------------------------------------------

HRGN TXPCustomExtPanel::CreateWindowRegion() {
  return CreateRoundRectRgn(0, 0, ClientWidth() + 1, ClientHeight() + 1, 5, 5);
}

void TXPCustomExtPanel::UpdateWindowRegion() {
  DropWindowRegion();
  if (!UseWindowRegion() || !HandleAllocated())
    return;
  HRGN region = CreateWindowRegion();
  // The window owns a region it accepted.
  if (region && SetWindowRgn(Handle(), region, TRUE))
    FRegion = region;
  else if (region)
    DeleteObject(region);
}

void TXPCustomExtPanel::DropWindowRegion() {
  if (HandleAllocated() && UseWindowRegion())
    SetWindowRgn(Handle(), nullptr, FALSE);
  FRegion = nullptr;
}

void TXPCustomExtPanel::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_SIZE:
    TXPCustomControl::WndProc(AMessage);
    if (UseWindowRegion())
      UpdateWindowRegion();
    return;
  case WM_DESTROY:
    if (UseWindowRegion())
      DropWindowRegion();
    break;
  }
  TXPCustomControl::WndProc(AMessage);
}

void TXPCustomExtPanel::AdjustClientRect(RECT& ARect) {
  TXPCustomControl::AdjustClientRect(ARect);
  int inset = FBorderWidth + (FKind == epkBackground ? 3 : 0);
  InflateRect(&ARect, -inset, -inset);
}

// --- painting ---------------------------------------------------------------------

bool TXPCustomExtPanel::EffectivelyTransparent() const {
  if (!FTransparent)
    return false;
  if (ComponentState().Contains(csDesigning) && !FDesignTransparent)
    return FKind == epkBitmap || (FKind == epkSimple && FAlphaBlendValue < 255);
  return true;
}

void TXPCustomExtPanel::FillBackground(HDC ADC) {
  const RECT client = ClientRect();
  if (!EffectivelyTransparent())
    FillSolid(ADC, client, Color());
  else if (Designing() && !FDesignTransparent)
    DrawHatch(ADC, client, TBrushStyle::DiagCross, Color());
}

void TXPCustomExtPanel::Paint() {
  if (OnPaint) {
    OnPaint(this);
    return;
  }
  HDC dc = Canvas().Handle();
  DrawKindBackground(dc);
  DrawBorder(dc);
}

void TXPCustomExtPanel::DrawKindBackground(HDC ADC) {
  const RECT client = ClientRect();
  switch (FKind) {
  case epkBackground:
    switch (GetXPThemeState()) {
    case xtsThemed:
      DrawThemedPane(ADC, client);
      break;
    case xtsEmulated:
      DrawEmulatedPane(ADC, client.right, client.bottom);
      break;
    default: {
      RECT frame = client;
      DrawFrameControl(ADC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH);
      break;
    }
    }
    break;
  case epkBitmap:
    if (EffectivelyTransparent())
      ::PaintParentBackground(this, ADC);
    DrawPanelBitmap(ADC, true);
    break;
  case epkGradient:
    DrawGradient(ADC);
    break;
  case epkSimple:
    DrawSimple(ADC);
    break;
  case epkWavy:
    DrawWave(ADC, false);
    break;
  case epkVerticalWavy:
    DrawWave(ADC, true);
    break;
  case epkGradientWithBitmap:
    DrawGradient(ADC);
    DrawPanelBitmap(ADC, false);
    break;
  }
}

void TXPCustomExtPanel::DrawThemedPane(HDC ADC, const RECT& ARect) {
  DrawThemePart(Handle(), L"TAB", kTabPane, 0, ADC, ARect);
}

void TXPCustomExtPanel::DrawEmulatedPane(HDC ADC, int AWidth, int AHeight) {
  const int w = AWidth, h = AHeight;
  // The two light outer frames.
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToColorRef(TColor(0xF7F7FF)));
  TResourceLedger::Take(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(pen));
  HGDIOBJ oldPen = SelectObject(ADC, pen);
  HGDIOBJ oldBrush = SelectObject(ADC, GetStockObject(NULL_BRUSH));
  Rectangle(ADC, 0, 0, w, h);
  Rectangle(ADC, 1, 1, w - 1, h - 1);
  SelectObject(ADC, oldBrush);
  SelectObject(ADC, oldPen);
  DeleteObject(pen);
  TResourceLedger::Give(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(pen));

  Line(ADC, 2, 2, w - 2, 2, TColor(0x9C9FA0));
  Line(ADC, 2, h - 3, w - 2, h - 3, TColor(0x9C9FA0));
  Line(ADC, 2, 3, 2, h - 3, TColor(0xB8BABB));
  Line(ADC, w - 3, 3, w - 3, h - 3, TColor(0xB8BABB));
  // White polyline (3, h - 4)-(3, 3)-(w - 3, 3).
  Line(ADC, 3, h - 4, 3, 3, clWhite);
  Line(ADC, 3, 3, w - 3, 3, clWhite);
  // 0xD8D8D8 polyline (w - 4, 4)-(w - 4, h - 4)-(3, h - 4).
  Line(ADC, w - 4, 4, w - 4, h - 4, TColor(0xD8D8D8));
  Line(ADC, w - 4, h - 4, 3, h - 4, TColor(0xD8D8D8));
  // The face: Rectangle(4, 4, w - 3, h - 3) without a pen covers one pixel
  // less on the right and at the bottom.
  if (w - 4 > 4 && h - 4 > 4)
    FillSolid(ADC, RECT{4, 4, w - 4, h - 4}, TColor(0xD8E9EC));
}

void TXPCustomExtPanel::DrawGradient(HDC ADC) {
  const RECT client = ClientRect();
  if (FGradientStyle != gsTopShadow) {
    GradientFillRect(ADC, client, FBeginColor, FEndColor, FGradientStyle == gsLeftToRight);
    return;
  }
  static constexpr double kShadow[] = {0, 0.6, 0.8, 0.95};
  const int rows = std::min<int>(4, client.bottom);
  for (int y = 0; y < rows; ++y)
    FillSolid(ADC, RECT{0, y, client.right, y + 1},
              BlendColors(ColorToRGB(FBeginColor), ColorToRGB(FEndColor), kShadow[y]));
  if (client.bottom > 4)
    FillSolid(ADC, RECT{0, 4, client.right, client.bottom}, Color());
}

void TXPCustomExtPanel::DrawSimple(HDC ADC) {
  const RECT client = ClientRect();
  if (!EffectivelyTransparent()) {
    FillSolid(ADC, client, Color());
    return;
  }
  ::PaintParentBackground(this, ADC);
  if (FAlphaBlendValue > 0) {
    if (client.right <= 0 || client.bottom <= 0)
      return;
    TBitmap veil(client.right, client.bottom, TPixelFormat::pf32bit);
    FillSolid(veil.Canvas().Handle(), client, Color());
    AlphaBlendConst(ADC, 0, 0, client.right, client.bottom, veil.Canvas().Handle(), 0, 0,
                    FAlphaBlendValue, 0);
  } else if (Designing() && !FDesignTransparent) {
    DrawHatch(ADC, client, TBrushStyle::DiagCross, Color());
  }
}

void TXPCustomExtPanel::DrawWave(HDC ADC, bool AVertical) {
  const RECT client = ClientRect();
  uint8_t hue = 0, saturation = 0, luminance = 0;
  ColorToHSL(Color(), hue, saturation, luminance);
  const int extent = AVertical ? client.right : client.bottom;
  for (int i = 0; i < extent; ++i) {
    const double v = std::sin(i - extent / 2.0) * 3 + luminance - 20.0 * i / extent;
    const uint8_t level = v < 0 ? 0 : v > 255 ? 255 : uint8_t(std::lround(v));
    const TColor color = HSLToColor(hue, saturation, level);
    if (AVertical)
      FillSolid(ADC, RECT{i, 0, i + 1, client.bottom}, color);
    else
      FillSolid(ADC, RECT{0, i, client.right, i + 1}, color);
  }
}

RECT TXPCustomExtPanel::BitmapPlacement() const {
  const RECT client = ClientRect();
  const int cw = client.right, ch = client.bottom;
  const int bw = FBitmap->Width(), bh = FBitmap->Height();
  int w = bw, h = bh;
  if (bw > 0 && bh > 0) {
    const double sx = double(cw) / bw, sy = double(ch) / bh;
    switch (FStretching) {
    case xgsNone:
      break;
    case xgsStandard:
      w = cw;
      h = ch;
      break;
    case xgsProportional:
      if (sx > sy) {
        w = int(bw * sy);
        h = int(bh * sy);
      } else {
        w = int(bw * sx);
        h = int(bh * sx);
      }
      break;
    case xgsHorizontal:
      w = cw;
      h = int(bh * sx);
      break;
    case xgsVertical:
      w = int(bw * sy);
      h = ch;
      break;
    }
  }
  int x = 0, y = 0;
  switch (FAlignment) {
  case taLeftJustify:
    x = 0;
    break;
  case taRightJustify:
    x = cw - w;
    break;
  case taCenter:
    x = (cw - w) / 2;
    break;
  }
  switch (FLayout) {
  case tlTop:
    y = 0;
    break;
  case tlCenter:
    y = (ch - h) / 2;
    break;
  case tlBottom:
    y = ch - h;
    break;
  }
  return RECT{x, y, x + w, y + h};
}

void TXPCustomExtPanel::DrawPanelBitmap(HDC ADC, bool ABackgroundFill) {
  const bool drawn = !IsGraphicEmpty(FBitmap.get()) && !HideBitmap();
  if (!drawn) {
    if (ABackgroundFill)
      FillBackground(ADC);
    return;
  }
  const RECT place = BitmapPlacement();
  if (ABackgroundFill) {
    if (FBitmapTransparent) {
      FillBackground(ADC);
    } else {
      HRGN saved = nullptr;
      ClipToRect(ADC, place, saved, true);
      FillBackground(ADC);
      RestoreClipRgn(ADC, saved);
    }
  }
  const int w = place.right - place.left, h = place.bottom - place.top;
  const int bw = FBitmap->Width(), bh = FBitmap->Height();
  HDC source = FBitmap->Canvas().Handle();
  const TColor key = FBitmap->Canvas().Pixel(0, bh - 1);
  if (FStretching != xgsNone) {
    if (FBitmapTransparent) {
      TransparentStretchBlt(ADC, place.left, place.top, w, h, source, 0, 0, bw, bh, key);
    } else {
      const int oldMode = SetStretchBltMode(ADC, COLORONCOLOR);
      StretchBlt(ADC, place.left, place.top, w, h, source, 0, 0, bw, bh, SRCCOPY);
      SetStretchBltMode(ADC, oldMode);
    }
  } else if (FBitmapTransparent) {
    TransparentMaskBlt(ADC, place.left, place.top, w, h, source, 0, 0, key);
  } else {
    BitBlt(ADC, place.left, place.top, w, h, source, 0, 0, SRCCOPY);
  }
}

void TXPCustomExtPanel::DrawBorder(HDC ADC) {
  if (!FShowBorder)
    return;
  const RECT client = ClientRect();
  if (FRoundCorners) {
    DrawRoundBorder(ADC, client);
    return;
  }
  const int l = client.left, t = client.top, r = client.right, b = client.bottom;
  if (FShowTop)
    Line(ADC, l, t, r, t, FBorderColor);
  if (FShowBottom)
    Line(ADC, l, b - 1, r, b - 1, FBorderColor);
  if (FShowLeft)
    Line(ADC, l, t, l, b, FBorderColor);
  if (FShowRight)
    Line(ADC, r - 1, t, r - 1, b, FBorderColor);
}

void TXPCustomExtPanel::DrawRoundBorder(HDC ADC, const RECT& ARect) {
  GdiplusAcquire();
  struct TRelease {
    ~TRelease() { GdiplusRelease(); }
  } release;
  TSystemLibrary library(L"gdiplus.dll");
  TGdiplusFlat gdip(library);
  if (!GdiplusRunning() || !gdip.Complete())
    return;

  void* graphics = nullptr;
  if (gdip.CreateFromHDC(ADC, &graphics) != 0 || !graphics)
    return;
  void* path = nullptr;
  void* pen = nullptr;
  gdip.SetSmoothingMode(graphics, kSmoothingModeAntiAlias);
  if (gdip.CreatePath(0, &path) == 0 && path) {
    const int l = ARect.left, t = ARect.top, r = ARect.right, b = ARect.bottom;
    const int rad = FRadius;
    // The pieces in path order; a piece whose side is hidden is left out,
    // and the path breaks there so that no connecting line stands in for it.
    bool broken = false;
    bool started = false;
    auto piece = [&](bool AShown, auto AAdd) {
      if (!AShown) {
        broken = true;
        return;
      }
      if (broken && started)
        gdip.StartPathFigure(path);
      AAdd();
      started = true;
    };
    auto arc = [&](int AX, int AY, float AStart) {
      if (rad > 0)
        gdip.AddPathArcI(path, AX, AY, rad, rad, AStart, 90.0f);
    };
    piece(FShowTop && FShowLeft, [&] { arc(l, t, 180.0f); });
    piece(FShowTop, [&] { gdip.AddPathLineI(path, l + rad, t, r - rad - 1, t); });
    piece(FShowTop && FShowRight, [&] { arc(r - rad - 1, t, 270.0f); });
    piece(FShowRight, [&] { gdip.AddPathLineI(path, r - 1, t + rad, r - 1, b - rad - 1); });
    piece(FShowBottom && FShowRight, [&] { arc(r - rad - 1, b - rad - 1, 0.0f); });
    piece(FShowBottom, [&] { gdip.AddPathLineI(path, r - rad - 1, b - 1, l + rad, b - 1); });
    piece(FShowBottom && FShowLeft, [&] { arc(l, b - rad - 1, 90.0f); });
    piece(FShowLeft, [&] { gdip.AddPathLineI(path, l, b - rad - 1, l, t + rad); });
    if (!broken)
      gdip.ClosePathFigure(path);

    const TColor rgb = ColorToRGB(FBorderColor);
    const uint8_t alpha = FAlphaBlendValue ? FAlphaBlendValue : 255;
    const uint32_t argb = MakeColor(alpha, uint8_t(rgb & 0xFF), uint8_t((rgb >> 8) & 0xFF),
                                    uint8_t((rgb >> 16) & 0xFF));
    if (started && gdip.CreatePen1(argb, 1.0f, kUnitPixel, &pen) == 0 && pen)
      gdip.DrawPath(graphics, pen, path);
  }
  if (pen)
    gdip.DeletePen(pen);
  if (path)
    gdip.DeletePath(path);
  gdip.DeleteGraphics(graphics);
}
