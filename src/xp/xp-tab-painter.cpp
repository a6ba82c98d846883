#include "xp-tab-painter.h"

#include "resource-ledger.h"
#include "seams.h"
#include "xp-colors.h"
#include "xp-graphics.h"
#include "xp-page-control.h"
#include "xp-system.h"
#include "xp-tab-control.h"

#include <windows.h>

namespace {

// The frame of a tab image: 5 pixels left and top, 6 right and bottom.
constexpr RECT kTabInner{5, 5, 12, 12};
// The pane's frame: 2 pixels left and top, 5 right and bottom.
constexpr RECT kPaneInner{2, 2, 43, 43};
constexpr int kTabStates = 5;

TThemePageControlData* GPainter = nullptr;

// Holds one page control's lock for a scope.
class TTabLock {
public:
  explicit TTabLock(TWinXPPageControl* AControl) : FControl(AControl) {
    FControl->LockTabChanges();
  }
  ~TTabLock() { FControl->UnlockTabChanges(); }
  TTabLock(const TTabLock&) = delete;
  TTabLock& operator=(const TTabLock&) = delete;

private:
  TWinXPPageControl* FControl;
};

void SetPixelColor(HDC ADC, int AX, int AY, TColor AColor) {
  SetPixel(ADC, AX, AY, ColorToColorRef(ColorToRGB(AColor)));
}

} // namespace

// ===========================================================================
// The Tabs lists

void TTabControlStrings::Changed() {
  TStringList::Changed();
  if (FTabControl)
    FTabControl->TabsChanged();
}

std::wstring TPageControlStrings::Get(int AIndex) const {
  return FTabControl->Pages(AIndex)->Caption();
}

int TPageControlStrings::GetCount() const {
  return FTabControl->PageCount();
}

void* TPageControlStrings::GetObject(int AIndex) const {
  return FTabControl->Pages(AIndex)->Data();
}

void TPageControlStrings::Put(int AIndex, const std::wstring& S) {
  TTabLock lock(FTabControl);
  FTabControl->Pages(AIndex)->SetCaption(S);
}

void TPageControlStrings::PutObject(int AIndex, void* AObject) {
  TTabLock lock(FTabControl);
  FTabControl->Pages(AIndex)->SetData(AObject);
}

void TPageControlStrings::Insert(int AIndex, const std::wstring& S) {
  InsertObject(AIndex, S, nullptr);
}

void TPageControlStrings::InsertObject(int AIndex, const std::wstring& S, void* AObject) {
  TTabLock lock(FTabControl);
  auto* sheet = new TWinXPTabSheet(FTabControl->Owner());
  try {
    sheet->SetCaption(S);
    sheet->SetData(AObject);
    FTabControl->InsertPageAt(AIndex, sheet);
  } catch (...) {
    TComponent::Free(sheet);
    throw;
  }
}

void TPageControlStrings::Delete(int AIndex) {
  TTabLock lock(FTabControl);
  TComponent::Free(FTabControl->Pages(AIndex));
}

void TPageControlStrings::Clear() {
  TTabLock lock(FTabControl);
  for (int i = FTabControl->PageCount() - 1; i >= 0; --i)
    TComponent::Free(FTabControl->Pages(i));
}

void TPageControlStrings::Exchange(int AIndex1, int AIndex2) {
  TTabLock lock(FTabControl);
  FTabControl->ExchangePages(AIndex1, AIndex2);
}

void TPageControlStrings::Move(int ACurIndex, int ANewIndex) {
  TTabLock lock(FTabControl);
  FTabControl->MovePage(ACurIndex, ANewIndex);
}

// ===========================================================================
// The painter

TThemePageControlData::TThemePageControlData() {
  const struct {
    std::unique_ptr<TAlphaImage>* Slot;
    const wchar_t* Name;
  } images[] = {
      {&FPaneImage, L"TABPANEEDGE"},
      {&FTabBothEdgeImage, L"TABITEMTOPBOTH"},
      {&FTabImage, L"TABITEMTOP"},
      {&FTabLeftEdgeImage, L"TABITEMTOPLEFT"},
      {&FTabRightEdgeImage, L"TABITEMTOPRIGHT"},
  };
  for (const auto& image : images) {
    *image.Slot = std::make_unique<TAlphaImage>();
    (*image.Slot)->LoadFromResource(image.Name);
  }
}

TThemePageControlData::~TThemePageControlData() = default;

int TThemePageControlData::NCCalcSizeDelta() const {
  return GetXPThemeState() == xtsEmulated ? 4 : 3;
}

int TThemePageControlData::NCCalcSizeTopDelta() const {
  return GetXPThemeState() == xtsEmulated ? 2 : 3;
}

void TThemePageControlData::DrawPane(HDC ADC, const RECT& ARect, const RECT& AClipRect) {
  HRGN saved = nullptr;
  ClipToRect(ADC, AClipRect, saved);
  switch (GetXPThemeState()) {
  case xtsClassic: {
    RECT edge = ARect;
    DrawEdge(ADC, &edge, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_SOFT);
    break;
  }
  case xtsEmulated:
    if (FPaneImage->Handle() && ARect.right > ARect.left && ARect.bottom > ARect.top)
      DrawSkinBitmap(ARect, kPaneInner,
                     RECT{0, 0, int(FPaneImage->Width()), int(FPaneImage->Height())}, ADC,
                     FPaneImage->Handle(), false);
    break;
  default:
    break;
  }
  RestoreClipRgn(ADC, saved);
}

void TThemePageControlData::DrawTabImage(TAlphaImage& AImage, HDC ADC, const RECT& ARect,
                                         TTabState AState, const RECT& AClipRect) {
  if (!AImage.Handle() || ARect.right <= ARect.left || ARect.bottom <= ARect.top)
    return;
  HRGN saved = nullptr;
  ClipToRect(ADC, AClipRect, saved);
  const int frame = int(AImage.Height()) / kTabStates;
  const RECT source{0, frame * int(AState), int(AImage.Width()), frame * (int(AState) + 1)};
  DrawSkinBitmap(ARect, kTabInner, source, ADC, AImage.Handle(), false);
  RestoreClipRgn(ADC, saved);
}

void TThemePageControlData::DrawTab(HDC ADC, const RECT& ARect, TTabState AState,
                                    const RECT& AClipRect) {
  DrawTabImage(*FTabImage, ADC, ARect, AState, AClipRect);
}

void TThemePageControlData::DrawTabLeftEdge(HDC ADC, const RECT& ARect, TTabState AState,
                                            const RECT& AClipRect) {
  DrawTabImage(*FTabLeftEdgeImage, ADC, ARect, AState, AClipRect);
}

void TThemePageControlData::DrawTabRightEdge(HDC ADC, const RECT& ARect, TTabState AState,
                                             const RECT& AClipRect) {
  DrawTabImage(*FTabRightEdgeImage, ADC, ARect, AState, AClipRect);
}

void TThemePageControlData::DrawTabBothEdge(HDC ADC, const RECT& ARect, TTabState AState,
                                            const RECT& AClipRect) {
  DrawTabImage(*FTabBothEdgeImage, ADC, ARect, AState, AClipRect);
}

void TThemePageControlData::DrawClassicTab(HDC ADC, const RECT& ARect, const RECT& AClipRect,
                                           bool AIsTop) {
  RECT r = ARect;
  r.right = AClipRect.right;
  UINT sides = BF_LEFT | BF_RIGHT | BF_MIDDLE | BF_SOFT | (AIsTop ? BF_TOP : BF_BOTTOM);
  RECT edge = r;
  DrawEdge(ADC, &edge, EDGE_RAISED, sides);
  // The two outer corners are rounded off pixel by pixel; a bottom tab
  // takes the same pattern mirrored onto its two bottom rows.
  const int outer = AIsTop ? r.top : r.bottom - 1;
  const int inner = AIsTop ? r.top + 1 : r.bottom - 2;
  const struct {
    int X;
    int Y;
    TColor Color;
  } pixels[] = {
      {r.left, outer, clBtnFace},          {r.left, inner, clBtnFace},
      {r.left + 1, outer, clBtnFace},      {r.right - 1, outer, clBtnFace},
      {r.right - 1, inner, clBtnFace},     {r.right - 2, outer, clBtnFace},
      {r.left + 1, inner, clBtnHighlight}, {r.right - 2, inner, cl3DDkShadow},
  };
  for (const auto& pixel : pixels)
    SetPixelColor(ADC, pixel.X, pixel.Y, pixel.Color);
}

void TThemePageControlData::DrawRoot(HDC ADC, const RECT& ARect, TColor AColor) {
  FillSolidRect(ADC, ARect, AColor);
}

// ===========================================================================
// Unit routines

int GetFontTextHeight(TFont& AFont) {
  HDC dc = GetDC(nullptr);
  if (!dc)
    return 0;
  HGDIOBJ old = SelectObject(dc, AFont.Handle());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return metrics.tmHeight;
}

bool IsSystemThemed() {
  return GetXPThemeState() == xtsThemed;
}

TThemePageControlData& GetTabPainter() {
  if (!GPainter) {
    GPainter = new TThemePageControlData();
  }
  return *GPainter;
}

bool TabPainterExists() {
  return GPainter != nullptr;
}

void FreeTabPainter() {
  if (!GPainter)
    return;
  delete GPainter;
  GPainter = nullptr;
}

void XPPageControlStartup() {
  GPainter = nullptr;
}

void XPPageControlShutdown() {
  try {
    FreeTabPainter();
  } catch (...) {
  }
}

// ===========================================================================
// The system's tab theme

namespace {

using TOpenThemeData = HANDLE(WINAPI*)(HWND, LPCWSTR);
using TCloseThemeData = HRESULT(WINAPI*)(HANDLE);

} // namespace

void DrawTabThemePart(HWND AWindow, HDC ADC, int APart, int AState, const RECT& ARect,
                      const RECT* AClip) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TDraw = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
  auto open = uxtheme.Function<TOpenThemeData>("OpenThemeData");
  auto close = uxtheme.Function<TCloseThemeData>("CloseThemeData");
  auto draw = uxtheme.Function<TDraw>("DrawThemeBackground");
  if (!open || !close || !draw)
    return;
  HANDLE theme = open(AWindow, L"TAB");
  if (!theme)
    return;
  draw(theme, ADC, APart, AState, &ARect, AClip);
  close(theme);
}

bool GetTabPaneInsets(HWND AWindow, RECT& AInsets) {
  AInsets = RECT{};
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TContent = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, RECT*);
  auto open = uxtheme.Function<TOpenThemeData>("OpenThemeData");
  auto close = uxtheme.Function<TCloseThemeData>("CloseThemeData");
  auto content = uxtheme.Function<TContent>("GetThemeBackgroundContentRect");
  if (!open || !close || !content)
    return false;
  HANDLE theme = open(AWindow, L"TAB");
  if (!theme)
    return false;
  const RECT bounds{0, 0, 20, 20};
  RECT inner = bounds;
  const bool ok = SUCCEEDED(content(theme, nullptr, kTabPartPane, 0, &bounds, &inner));
  close(theme);
  if (!ok)
    return false;
  AInsets = RECT{inner.left - bounds.left, inner.top - bounds.top, bounds.right - inner.right,
                 bounds.bottom - inner.bottom};
  return true;
}

void DrawThemedParentBackground(HWND AWindow, HDC ADC, const RECT& ARect) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TDrawParent = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
  if (auto draw = uxtheme.Function<TDrawParent>("DrawThemeParentBackground"))
    draw(AWindow, ADC, &ARect);
}
