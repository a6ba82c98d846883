#include "xp-progress.h"

#include "resource-ledger.h"
#include "seams.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// Progress parts of the theme: the bars, the chunks and the fills, each
// horizontal then vertical.
constexpr int kPartBar = 1;
constexpr int kPartBarVert = 2;
constexpr int kPartChunk = 3;
constexpr int kPartChunkVert = 4;
constexpr int kPartFill = 5;
constexpr int kPartFillVert = 6;
constexpr int kPropChunkSize = 2411;
constexpr int kPropSpaceSize = 2412;

// --- shared images ---------------------------------------------------------

enum TSharedImage { siBarHorz, siBarVert, siChunkHorz, siChunkVert, siCount };

constexpr std::array<const wchar_t*, siCount> kSharedImageNames{
    L"XPPROGRESSBARHORZ", L"XPPROGRESSBARVERT", L"XPPROGRESSCHUNKHORZ", L"XPPROGRESSCHUNKVERT"};

using TSharedImages = std::array<std::unique_ptr<TAlphaImage>, siCount>;

std::unique_ptr<TSharedImages>& SharedImagesSlot() {
  static std::unique_ptr<TSharedImages> images;
  return images;
}

// All four at once on the first request: a missing one raises the loader's
// error and leaves nothing half loaded.
TSharedImages& SharedImages() {
  auto& slot = SharedImagesSlot();
  if (!slot) {
    auto images = std::make_unique<TSharedImages>();
    for (size_t i = 0; i < siCount; ++i) {
      (*images)[i] = std::make_unique<TAlphaImage>();
      (*images)[i]->LoadFromResource(kSharedImageNames[i]);
    }
    slot = std::move(images);
  }
  return *slot;
}

// Drawing limited to ARect for the object's lifetime.
class TClipScope {
public:
  TClipScope(HDC ADC, const RECT& ARect) : FDC(ADC), FSaved(SaveDC(ADC)) {
    IntersectClipRect(ADC, ARect.left, ARect.top, ARect.right, ARect.bottom);
  }
  TClipScope(const TClipScope&) = delete;
  TClipScope& operator=(const TClipScope&) = delete;
  ~TClipScope() { RestoreDC(FDC, FSaved); }

private:
  HDC FDC;
  int FSaved;
};

// The progress theme's chunk length and gap; false where UxTheme or its
// data is missing.
bool ReadThemeChunk(HWND AWindow, int APart, int& AChunk, int& AGap) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TOpen = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using TClose = HRESULT(WINAPI*)(HANDLE);
  using TGetInt = HRESULT(WINAPI*)(HANDLE, int, int, int, int*);
  auto open = uxtheme.Function<TOpen>("OpenThemeData");
  auto close = uxtheme.Function<TClose>("CloseThemeData");
  auto getInt = uxtheme.Function<TGetInt>("GetThemeInt");
  if (!open || !close || !getInt)
    return false;
  HANDLE theme = open(AWindow, L"PROGRESS");
  if (!theme)
    return false;
  int chunk = 0;
  int gap = 0;
  if (FAILED(getInt(theme, APart, 1, kPropChunkSize, &chunk)))
    chunk = 0;
  if (FAILED(getInt(theme, APart, 1, kPropSpaceSize, &gap)))
    gap = 0;
  close(theme);
  AChunk = chunk;
  AGap = gap;
  return true;
}

// Rounds to the nearest integer, halves to even.
int RoundEven(double AValue) {
  return int(std::nearbyint(AValue));
}

} // namespace

// ===========================================================================
// TProgressResourceManager

TAlphaImage& TProgressResourceManager::PrBarHorz() {
  return *SharedImages()[siBarHorz];
}
TAlphaImage& TProgressResourceManager::PrBarVert() {
  return *SharedImages()[siBarVert];
}
TAlphaImage& TProgressResourceManager::ChunkHorz() {
  return *SharedImages()[siChunkHorz];
}
TAlphaImage& TProgressResourceManager::ChunkVert() {
  return *SharedImages()[siChunkVert];
}
bool TProgressResourceManager::Loaded() {
  return SharedImagesSlot() != nullptr;
}
void TProgressResourceManager::FreeImages() {
  SharedImagesSlot().reset();
}

// ===========================================================================
// TXPProgressBar

TXPProgressBar::TXPProgressBar(TComponent* AOwner)
    : TXPCustomControl(AOwner), FBackImage(std::make_unique<TAlphaBitmap>()),
      FBarImage(std::make_unique<TAlphaBitmap>()) {
  SetBounds(Left(), Top(), 150, GetXPScrollBarSize());
  SetColor(clXPWindow);
  SetTabStop(false);
  FBackImage->OnChange = [this](TGraphic*) { SkinChanged(); };
  FBarImage->OnChange = [this](TGraphic*) { SkinChanged(); };
}

TXPProgressBar::~TXPProgressBar() {
  FBackImage->OnChange = nullptr;
  FBarImage->OnChange = nullptr;
}

void TXPProgressBar::SkinChanged() {
  if (FLookAndFeel == xlfCustom)
    Invalidate();
}

// --- properties --------------------------------------------------------------

void TXPProgressBar::SetBackgroundColor(TColor AValue) {
  if (AValue == FBackgroundColor)
    return;
  FBackgroundColor = AValue;
  Invalidate();
}

void TXPProgressBar::SetBarColor(TColor AValue) {
  if (AValue == FBarColor)
    return;
  FBarColor = AValue;
  Invalidate();
}

void TXPProgressBar::SetFrameColor(TColor AValue) {
  if (AValue == FFrameColor)
    return;
  FFrameColor = AValue;
  Invalidate();
}

void TXPProgressBar::SetBackImage(const TGraphic* AValue) {
  FBackImage->Assign(AValue);
}

void TXPProgressBar::SetBarImage(const TGraphic* AValue) {
  FBarImage->Assign(AValue);
}

void TXPProgressBar::SetLookAndFeel(TXPLookAndFeel AValue) {
  if (AValue == FLookAndFeel)
    return;
  FLookAndFeel = AValue;
  Invalidate();
}

void TXPProgressBar::ApplyRange(int AMin, int AMax, int APosition) {
  if (AMin == FMin && AMax == FMax && APosition == FPosition)
    return;
  FMin = AMin;
  FMax = AMax;
  // A range of 0 to 0 leaves the position as given: nothing is drawn then.
  if (!(FMin == 0 && FMax == 0))
    APosition = std::max(FMin, std::min(FMax, APosition));
  FPosition = APosition;
  Invalidate();
}

void TXPProgressBar::SetMin(int AValue) {
  ApplyRange(AValue, FMax, FPosition);
}

void TXPProgressBar::SetMax(int AValue) {
  ApplyRange(FMin, AValue, FPosition);
}

void TXPProgressBar::SetPosition(int AValue) {
  ApplyRange(FMin, FMax, AValue);
}

void TXPProgressBar::SetOrientation(TProgressBarOrientation AValue) {
  if (AValue == FOrientation)
    return;
  FOrientation = AValue;
  if (!ComponentState().Contains(csLoading) && Align() == alNone)
    SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TXPProgressBar::SetSmooth(bool AValue) {
  if (AValue == FSmooth)
    return;
  FSmooth = AValue;
  Invalidate();
}

void TXPProgressBar::SetState(TProgressBarState AValue) {
  if (AValue == FState)
    return;
  FState = AValue;
  Invalidate();
}

// --- geometry ----------------------------------------------------------------

TXPProgressGeometry TXPProgressBar::Geometry() {
  TXPProgressGeometry g;
  const int state = GetXPThemeState();
  const bool vertical = FOrientation == pbVertical;
  const bool native = FLookAndFeel == xlfNative;
  if (native && (state == xtsEmulated || state == xtsThemed)) {
    g.MarginX = 4;
    g.MarginY = 3;
    if (state == xtsThemed && IsWindowsVistaOrLater())
      g.MarginX = g.MarginY = 0;
    g.ChunkWidth = 10;
    g.ChunkHeight = 12;
    if (vertical) {
      std::swap(g.MarginX, g.MarginY);
      g.ChunkWidth = 12;
      g.ChunkHeight = 10;
    }
  } else {
    g.MarginX = g.MarginY = 2;
    if (vertical) {
      g.ChunkWidth = Width() - 4;
      g.ChunkHeight = MulDiv(g.ChunkWidth, 3, 5);
    } else {
      g.ChunkHeight = Height() - 4;
      g.ChunkWidth = MulDiv(g.ChunkHeight, 3, 5);
    }
  }
  g.Gap = state == xtsEmulated ? 0 : 2;
  if (native && state == xtsThemed) {
    if (FThemeChunk == 0 && FThemeGap == 0) {
      FThemeChunk = vertical ? g.ChunkHeight : g.ChunkWidth;
      FThemeGap = g.Gap;
    }
    int chunk = 0;
    int gap = 0;
    if (ReadThemeChunk(HandleAllocated() ? Handle() : nullptr,
                       vertical ? kPartChunkVert : kPartChunk, chunk, gap) &&
        (chunk != 0 || gap != 0)) {
      FThemeChunk = chunk;
      FThemeGap = gap;
    }
    (vertical ? g.ChunkHeight : g.ChunkWidth) = FThemeChunk;
    g.Gap = FThemeGap;
  }
  const RECT client = ClientRect();
  g.Inner = client;
  InflateRect(&g.Inner, -g.MarginX, -g.MarginY);
  g.Length = vertical ? g.Inner.bottom - g.Inner.top : g.Inner.right - g.Inner.left;
  g.ChunkLength = vertical ? g.ChunkHeight : g.ChunkWidth;
  return g;
}

int TXPProgressBar::ChunkCount(const TXPProgressGeometry& AGeometry) const {
  if (FMin == FMax)
    return 0;
  const int64_t step = int64_t(AGeometry.ChunkLength) + AGeometry.Gap;
  if (step <= 0)
    return 0;
  const double share =
      double(int64_t(FPosition - FMin) * AGeometry.Length) / double(int64_t(FMax - FMin) * step);
  return std::max(0, int(share + 1 - 0.000001));
}

int TXPProgressBar::FilledLength(int ALength) const {
  if (FMin == FMax)
    return ALength;
  return RoundEven(double(int64_t(FPosition - FMin) * ALength) / double(FMax - FMin));
}

TColor TXPProgressBar::BarFill() const {
  if (!Enabled())
    return clXPGrayText;
  return FBarColor == clDefault ? clHighlight : FBarColor;
}

TColor TXPProgressBar::BackFill() const {
  if (!Enabled())
    return clXPBtnHighlight;
  return FBackgroundColor == clDefault ? clBtnFace : FBackgroundColor;
}

// --- painting ------------------------------------------------------------------

void TXPProgressBar::Paint() {
  const TXPProgressGeometry geometry = Geometry();
  const bool custom = FLookAndFeel == xlfCustom;
  if (custom) {
    if (IsGraphicEmpty(FBackImage.get()) || IsGraphicEmpty(FBarImage.get()))
      PaintClassic(geometry, true);
    else
      PaintSkins(geometry);
  } else {
    switch (GetXPThemeState()) {
    case xtsEmulated:
      PaintEmulated(geometry);
      break;
    case xtsThemed:
      PaintThemed(geometry);
      break;
    default:
      PaintClassic(geometry, false);
      break;
    }
  }
  PostPaint();
}

void TXPProgressBar::PostPaint() {
  if (OnPostPaint)
    OnPostPaint(this);
}

void TXPProgressBar::PaintClassic(const TXPProgressGeometry& AGeometry, bool ACustomFrame) {
  HDC dc = Canvas().Handle();
  RECT client = ClientRect();
  const TColor frame = Enabled() ? FFrameColor : clXPBtnShadow;
  if (ACustomFrame && frame != clDefault)
    FrameSolidRect(dc, client, frame);
  else
    DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
  const TColor back = BackFill();
  const TColor bar = BarFill();
  RECT ring = client;
  InflateRect(&ring, -1, -1);
  FrameSolidRect(dc, ring, back);
  const RECT inner = AGeometry.Inner;
  if (inner.right <= inner.left || inner.bottom <= inner.top)
    return;
  TClipScope clip(dc, inner);
  const bool vertical = FOrientation == pbVertical;
  if (FSmooth) {
    const int filled = FilledLength(AGeometry.Length);
    RECT done = inner;
    RECT rest = inner;
    if (vertical) {
      done.top = inner.bottom - filled;
      rest.bottom = done.top;
    } else {
      done.right = inner.left + filled;
      rest.left = done.right;
    }
    FillSolidRect(dc, done, bar);
    FillSolidRect(dc, rest, back);
    return;
  }
  const int count = ChunkCount(AGeometry);
  const int cw = AGeometry.ChunkWidth;
  const int ch = AGeometry.ChunkHeight;
  const int gap = AGeometry.Gap;
  if (vertical) {
    int reached = inner.bottom;
    for (int i = 1; i <= count; ++i) {
      const int top = inner.bottom - i * (gap + ch) + gap;
      FillSolidRect(dc, RECT{inner.left, top, inner.left + cw, top + ch}, bar);
      FillSolidRect(dc, RECT{inner.left, top + ch, inner.right, top + ch + gap}, back);
      FillSolidRect(dc, RECT{inner.left + cw, top, inner.right, top + ch}, back);
      reached = top;
      if (reached <= inner.top)
        break;
    }
    FillSolidRect(dc, RECT{inner.left, inner.top, inner.right, reached}, back);
  } else {
    int reached = inner.left;
    for (int i = 0; i < count; ++i) {
      const int left = inner.left + i * (cw + gap);
      FillSolidRect(dc, RECT{left, inner.top, left + cw, inner.top + ch}, bar);
      FillSolidRect(dc, RECT{left + cw, inner.top, left + cw + gap, inner.bottom}, back);
      FillSolidRect(dc, RECT{left, inner.top + ch, left + cw, inner.bottom}, back);
      reached = left + cw + gap;
      if (reached >= inner.right)
        break;
    }
    FillSolidRect(dc, RECT{reached, inner.top, inner.right, inner.bottom}, back);
  }
}

void TXPProgressBar::PaintEmulated(const TXPProgressGeometry& AGeometry) {
  HDC dc = Canvas().Handle();
  const RECT client = ClientRect();
  ::PaintParentBackground(this, dc, &client);
  const bool vertical = FOrientation == pbVertical;
  TAlphaImage& barImage =
      vertical ? TProgressResourceManager::PrBarVert() : TProgressResourceManager::PrBarHorz();
  const int bw = int(barImage.Width());
  const int bh = int(barImage.Height());
  const RECT barInner = vertical ? RECT{3, 4, bw - 3, bh - 4} : RECT{4, 3, bw - 4, bh - 3};
  DrawSkinBitmap(client, barInner, RECT{0, 0, bw, bh}, dc, barImage.Handle(), true);
  const RECT inner = AGeometry.Inner;
  if (inner.right <= inner.left || inner.bottom <= inner.top)
    return;
  TAlphaImage& chunkImage =
      vertical ? TProgressResourceManager::ChunkVert() : TProgressResourceManager::ChunkHorz();
  const int cw = int(chunkImage.Width());
  const int ch = int(chunkImage.Height());
  const RECT chunkInner = vertical ? RECT{6, 0, cw - 5, ch} : RECT{0, 6, cw, ch - 5};
  const int count = ChunkCount(AGeometry);
  const int k = AGeometry.ChunkLength;
  TClipScope clip(dc, inner);
  for (int i = 0; i < count; ++i) {
    RECT cell = inner;
    if (vertical) {
      cell.bottom = inner.bottom - i * k;
      cell.top = cell.bottom - k;
      if (cell.bottom <= inner.top)
        break;
    } else {
      cell.left = inner.left + i * k;
      cell.right = cell.left + k;
      if (cell.left >= inner.right)
        break;
    }
    DrawSkinBitmap(cell, chunkInner, RECT{0, 0, cw, ch}, dc, chunkImage.Handle(), true);
  }
}

void TXPProgressBar::PaintThemed(const TXPProgressGeometry& AGeometry) {
  HDC dc = Canvas().Handle();
  const RECT client = ClientRect();
  ::PaintParentBackground(this, dc, &client);
  const bool vertical = FOrientation == pbVertical;
  HWND window = HandleAllocated() ? Handle() : nullptr;
  DrawThemePart(window, L"PROGRESS", vertical ? kPartBarVert : kPartBar, 1, dc, client);
  const RECT inner = AGeometry.Inner;
  const int k = AGeometry.ChunkLength;
  const int gap = AGeometry.Gap;
  if (gap != 0) {
    const int count = ChunkCount(AGeometry);
    TClipScope clip(dc, inner);
    for (int i = 0; i < count; ++i) {
      RECT cell = inner;
      if (vertical) {
        cell.top = inner.bottom - gap - k - i * (k + gap);
        cell.bottom = inner.bottom - i * (k + gap);
      } else {
        cell.left = inner.left + i * (k + gap);
        cell.right = cell.left + k;
      }
      DrawThemePart(window, L"PROGRESS", vertical ? kPartChunkVert : kPartChunk, 1, dc, cell);
    }
    return;
  }
  if (FMin == FMax)
    return;
  RECT filled = inner;
  const int length = FilledLength(AGeometry.Length);
  if (vertical)
    filled.top = inner.bottom - length;
  else
    filled.right = inner.left + length;
  if (IsWindowsVistaOrLater())
    DrawThemePart(window, L"PROGRESS", vertical ? kPartFillVert : kPartFill, int(FState) + 1, dc,
                  filled);
  else
    DrawThemePart(window, L"PROGRESS", vertical ? kPartChunkVert : kPartChunk, 1, dc, filled);
}

void TXPProgressBar::PaintSkins(const TXPProgressGeometry& AGeometry) {
  HDC dc = Canvas().Handle();
  const RECT client = ClientRect();
  ::PaintParentBackground(this, dc, &client);
  auto skin = [dc](TAlphaBitmap& AImage, const RECT& ADest) {
    const int w = AImage.Width();
    const int h = AImage.Height();
    DrawSkinBitmap(ADest, RECT{2, 2, w - 2, h - 2}, RECT{0, 0, w, h}, dc, AImage.Handle(), true);
  };
  skin(*FBackImage, client);
  const RECT inner = AGeometry.Inner;
  const bool vertical = FOrientation == pbVertical;
  TClipScope clip(dc, inner);
  if (FSmooth) {
    const int filled = FilledLength(AGeometry.Length);
    if (filled <= 0)
      return;
    RECT done = inner;
    if (vertical)
      done.top = inner.bottom - filled;
    else
      done.right = inner.left + filled;
    skin(*FBarImage, done);
    return;
  }
  const int count = ChunkCount(AGeometry);
  const int cw = AGeometry.ChunkWidth;
  const int ch = AGeometry.ChunkHeight;
  const int gap = AGeometry.Gap;
  for (int i = 0; i < count; ++i) {
    RECT cell;
    if (vertical) {
      const int top = inner.bottom - (i + 1) * (gap + ch) + gap;
      cell = RECT{inner.left, top, inner.left + cw, top + ch};
    } else {
      const int left = inner.left + i * (cw + gap);
      cell = RECT{left, inner.top, left + cw, inner.top + ch};
    }
    skin(*FBarImage, cell);
  }
}
