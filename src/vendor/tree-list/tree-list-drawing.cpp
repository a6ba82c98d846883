#include "tree-list-drawing.h"

#include "application.h"
#include "graphics.h"
#include "image-lists.h"
#include "resource-ledger.h"

#include <algorithm>
#include <memory>

const TgxTreeListCursor kgxTreeListCursors[10] = {
    {kgxTreeListDeleteCursor, L"GXTLDELETECURSOR"},
    {-1131, L"GXTL_FULLSCROLLCURSOR"},
    {-1132, L"GXTL_HORSCROLLCURSOR"},
    {-1133, L"GXTL_VERSCROLLCURSOR"},
    {-1134, L"GXTL_UPSCROLLCURSOR"},
    {-1135, L"GXTL_RIGHTSCROLLCURSOR"},
    {-1136, L"GXTL_DOWNSCROLLCURSOR"},
    {-1137, L"GXTL_LEFTSCROLLCURSOR"},
    {kgxTreeListDragCopyCursor, L"GXTL_DRAGCOPY"},
    {kgxTreeListMultiDragCopyCursor, L"GXTL_MULTIDRAGCOPY"}};

namespace {

constexpr const wchar_t* kIndicatorPictures[5] = {L"GXGRID_ARROW", L"GXGRID_EDIT", L"GXGRID_INSERT",
                                                  L"GXGRID_MULTIDOT", L"GXGRID_MULTIARROW"};

bool GCursorLoaded[10] = {};
std::unique_ptr<TBitmap> GSaveBitmap;
std::unique_ptr<TBitmap> GPlusBitmap;
std::unique_ptr<TBitmap> GMinusBitmap;
std::unique_ptr<TImageList> GIndicatorImages;
HDC GScreenDC = nullptr;
std::wstring GCustomizeCaption;
std::wstring GBandsCaption;
std::wstring GHeadersCaption;

COLORREF Sys(int AIndex) {
  return GetSysColor(AIndex);
}

// A solid rectangle of a system colour.
void FillSys(HDC ADC, const RECT& ARect, int AIndex) {
  FillRect(ADC, &ARect, GetSysColorBrush(AIndex));
}

void FrameSys(HDC ADC, const RECT& ARect, int AIndex) {
  FrameRect(ADC, &ARect, GetSysColorBrush(AIndex));
}

// One-pixel line from (AX1, AY1) to (AX2, AY2), the end point included.
void Line(HDC ADC, int AX1, int AY1, int AX2, int AY2, COLORREF AColor) {
  HPEN pen = CreatePen(PS_SOLID, 1, AColor);
  HGDIOBJ old = SelectObject(ADC, pen);
  MoveToEx(ADC, AX1, AY1, nullptr);
  LineTo(ADC, AX2, AY2);
  SetPixel(ADC, AX2, AY2, AColor);
  SelectObject(ADC, old);
  DeleteObject(pen);
}

void Edge(HDC ADC, RECT& ARect, UINT AEdge, UINT AFlags) {
  DrawEdge(ADC, &ARect, AEdge, AFlags);
}

} // namespace

// ===========================================================================
// Drawing

void DrawTreeButton(HDC ADC, const RECT& ARect, int ACenterY, bool ACollapsed, HBRUSH ABrush) {
  const int left = (ARect.left + ARect.right - 9) / 2;
  const int top = ACenterY - 4;
  FrameSys(ADC, {left, top, left + 9, top + 9}, COLOR_GRAYTEXT);
  HBRUSH mark = ABrush ? ABrush : GetSysColorBrush(COLOR_WINDOWTEXT);
  const RECT minus{left + 2, top + 4, left + 7, top + 5};
  FillRect(ADC, &minus, mark);
  if (ACollapsed) {
    const RECT bar{left + 4, top + 2, left + 5, top + 7};
    FillRect(ADC, &bar, mark);
  }
}

void DrawFlatTreeButton(HDC ADC, const RECT& ARect, bool ACollapsed) {
  const int left = (ARect.left + ARect.right - 11) / 2;
  const int top = (ARect.top + ARect.bottom - 11) / 2;
  const RECT box{left, top, left + 11, top + 11};
  FillSys(ADC, box, COLOR_WINDOW);
  FrameSys(ADC, box, COLOR_3DDKSHADOW);
  FillSys(ADC, {left + 3, top + 5, left + 8, top + 6}, COLOR_3DDKSHADOW);
  if (ACollapsed)
    FillSys(ADC, {left + 5, top + 3, left + 6, top + 8}, COLOR_3DDKSHADOW);
}

void DrawSortArrow(HDC ADC, const RECT& ARect, bool AUp) {
  const int cx = (ARect.left + ARect.right) / 2;
  const int cy = (ARect.top + ARect.bottom) / 2;
  const int left = cx - 4, right = cx + 4, top = cy - 3, bottom = cy + 4;
  const COLORREF shadow = Sys(COLOR_BTNSHADOW), light = Sys(COLOR_BTNHIGHLIGHT);
  if (AUp) {
    Line(ADC, cx, top, left, bottom, shadow);
    Line(ADC, cx, top, right, bottom, light);
    Line(ADC, left, bottom, right, bottom, light);
  } else {
    Line(ADC, left, top, right, top, shadow);
    Line(ADC, left, top, cx, bottom, shadow);
    Line(ADC, right, top, cx, bottom, light);
  }
}

void DrawHeaderFrame(HDC ADC, RECT& ARect, HBRUSH ABrush, bool APushed, int APosition,
                     TgxLookAndFeel ALook) {
  if (ALook == lfStandard) {
    Edge(ADC, ARect, BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM | BF_ADJUST);
    if (!APushed)
      Edge(ADC, ARect, BDR_RAISEDINNER, BF_RIGHT | BF_BOTTOM | BF_ADJUST);
    Edge(ADC, ARect, APushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_LEFT | BF_TOP | BF_ADJUST);
    FillRect(ADC, &ARect, ABrush);
    return;
  }
  if (APosition == 0) {
    if (ALook == lfUltraFlat) {
      FrameSys(ADC, ARect, COLOR_BTNSHADOW);
      InflateRect(&ARect, -1, -1);
    } else {
      Edge(ADC, ARect, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    }
    FillRect(ADC, &ARect, ABrush);
    InflateRect(&ARect, -1, 0);
    return;
  }
  FillRect(ADC, &ARect, ABrush);
  const UINT horizontal = ALook == lfUltraFlat ? BDR_SUNKENOUTER : BDR_RAISEDINNER;
  const UINT flat = ALook == lfUltraFlat ? BF_FLAT : 0;
  RECT lines = ARect;
  Edge(ADC, lines, horizontal, BF_TOP | BF_BOTTOM | flat);
  // The separators stop short of the horizontal lines.
  const int topInset = (APosition == 1 || APosition == 3) ? 2 : 1;
  const int bottomInset = 2;
  if (ALook == lfFlat) {
    RECT left{ARect.left, ARect.top + topInset, ARect.left + 1, ARect.bottom - bottomInset};
    Edge(ADC, left, BDR_RAISEDINNER, BF_LEFT);
  }
  const bool inside = APosition >= 2 && APosition <= 3;
  RECT right{ARect.right - 1, ARect.top + (inside ? 2 : 0), ARect.right,
             ARect.bottom - (inside ? 2 : 1)};
  Edge(ADC, right, BDR_RAISEDINNER, BF_RIGHT);
  InflateRect(&ARect, -2, -1);
}

void DrawHeaderButton(HDC ADC, RECT& ARect, HBRUSH ABrush, bool APushed, int APosition,
                      TgxLookAndFeel ALook) {
  const RECT whole = ARect;
  DrawHeaderFrame(ADC, ARect, ABrush, APushed, APosition, ALook);
  if (ALook != lfStandard && APushed)
    PatBlt(ADC, whole.left, whole.top, whole.right - whole.left, whole.bottom - whole.top,
           DSTINVERT);
}

void DrawDropDownGlyph(HDC ADC, const RECT& ARect, int AState) {
  FrameSys(ADC, ARect, COLOR_BTNSHADOW);
  RECT inside = ARect;
  InflateRect(&inside, -1, -1);
  const int fill = (AState & kgxDropDownPushed) ? COLOR_BTNTEXT
                   : (AState & kgxDropDownHot)  ? COLOR_BTNSHADOW
                                                : COLOR_BTNFACE;
  FillSys(ADC, inside, fill);
  COLORREF mark = Sys(COLOR_BTNTEXT);
  if (AState & (kgxDropDownHot | kgxDropDownPushed))
    mark = Sys(COLOR_WINDOW);
  else if (AState & kgxDropDownFiltered)
    mark = RGB(0, 0, 255);
  // A downward triangle half the button wide, made odd so it has a tip.
  int width = (ARect.right - ARect.left) / 2;
  if (width % 2 == 0)
    --width;
  if (width <= 0)
    return;
  const int left = (ARect.left + ARect.right - width) / 2;
  const int top = (ARect.top + ARect.bottom - (width + 1) / 2) / 2;
  for (int row = 0; row < (width + 1) / 2; ++row)
    Line(ADC, left + row, top + row, left + width - 1 - row, top + row, mark);
}

void DrawCellFocusRect(HDC ADC, const RECT& ARect) {
  const COLORREF oldBack = SetBkColor(ADC, RGB(0, 0, 0));
  const COLORREF oldText = SetTextColor(ADC, RGB(255, 255, 255));
  DrawFocusRect(ADC, &ARect);
  SetBkColor(ADC, oldBack);
  SetTextColor(ADC, oldText);
}

void InvertRectFrame(HDC ADC, const RECT& ARect) {
  const int w = ARect.right - ARect.left, h = ARect.bottom - ARect.top;
  if (w <= 0 || h <= 0)
    return;
  PatBlt(ADC, ARect.left, ARect.top, w, 1, DSTINVERT);
  if (h > 1) {
    PatBlt(ADC, ARect.right - 1, ARect.top + 1, 1, h - 1, DSTINVERT);
    if (w > 1)
      PatBlt(ADC, ARect.left, ARect.top + 1, 1, h - 1, DSTINVERT);
    if (w > 2)
      PatBlt(ADC, ARect.left + 1, ARect.bottom - 1, w - 2, 1, DSTINVERT);
  }
}

void DrawImageCentered(HDC ADC, const RECT& ARect, TCustomImageList& AImages, int AIndex) {
  if (AIndex < 0 || AIndex >= AImages.Count())
    return;
  const int left = (ARect.left + ARect.right - AImages.Width() + 1) / 2;
  const int top = (ARect.top + ARect.bottom - AImages.Height() + 1) / 2;
  ImageList_Draw(AImages.Handle(), AIndex, ADC, left, top, ILD_NORMAL);
}

int CalcTextLineCount(const std::wstring& AText, int AWidth, int ALineHeight, int AMaxLines,
                      HFONT AFont, bool ATight, int AMargin, int& AHeight) {
  if (AText.empty() || AMaxLines == 0)
    return 0;
  HDC dc = GScreenDC;
  const bool own = dc == nullptr;
  if (own)
    dc = GetDC(nullptr);
  HGDIOBJ oldFont = AFont ? SelectObject(dc, AFont) : nullptr;
  int lineHeight = ALineHeight;
  if (lineHeight == 0) {
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, L"Wg", 2, &size);
    lineHeight = size.cy;
  }
  RECT r{0, 0, AWidth - AMargin, ALineHeight};
  InflateRect(&r, -2, ATight ? -2 : -1);
  DrawTextW(dc, AText.c_str(), int(AText.size()), &r,
            DT_NOPREFIX | DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK);
  if (oldFont)
    SelectObject(dc, oldFont);
  if (own)
    ReleaseDC(nullptr, dc);
  int height = r.bottom - r.top;
  int lines = lineHeight > 0 ? height / lineHeight : 0;
  if (AMaxLines != -1 && AMaxLines < lines) {
    lines = AMaxLines;
    height = AMaxLines * lineHeight;
  }
  AHeight = height + 3;
  return lines;
}

// ===========================================================================
// Unit resources

TCustomImageList* GetIndicatorImages() {
  if (!GIndicatorImages) {
    auto list = std::make_unique<TImageList>(nullptr);
    for (size_t i = 0; i < std::size(kIndicatorPictures); ++i) {
      TBitmap picture;
      picture.LoadFromResourceName(ModuleInstance(), kIndicatorPictures[i]);
      if (i == 0)
        list->SetSize(picture.Width(), picture.Height());
      list->AddMasked(picture, clWhite);
    }
    GIndicatorImages = std::move(list);
  }
  return GIndicatorImages.get();
}

TBitmap* GetDropArrowSaveBitmap() {
  return GSaveBitmap.get();
}

TBitmap* GetPlusBitmap() {
  return GPlusBitmap.get();
}

TBitmap* GetMinusBitmap() {
  return GMinusBitmap.get();
}

HDC GetTreeListMeasureDC() {
  return GScreenDC;
}

const std::wstring& GetCustomizeCaption() {
  return GCustomizeCaption;
}

const std::wstring& GetCustomizeBandsCaption() {
  return GBandsCaption;
}

const std::wstring& GetCustomizeHeadersCaption() {
  return GHeadersCaption;
}

void GxTreeListStartup() {
  try {
    for (size_t i = 0; i < std::size(kgxTreeListCursors); ++i) {
      const TgxTreeListCursor& cursor = kgxTreeListCursors[i];
      GCursorLoaded[i] =
          Screen()->LoadModuleCursor(cursor.Slot, ModuleInstance(), cursor.ResourceName);
      if (GCursorLoaded[i])
        LedgerRegistration(L"ScreenCursor", std::to_wstring(cursor.Slot).c_str(), true);
    }
    GSaveBitmap = std::make_unique<TBitmap>();
    GPlusBitmap = std::make_unique<TBitmap>();
    GMinusBitmap = std::make_unique<TBitmap>();
    GCustomizeCaption = L"Customize";
    GBandsCaption = L"    Bands    ";
    GHeadersCaption = L"   Headers   ";
    GScreenDC = GetDC(nullptr);
    if (GScreenDC)
      LedgerTake(TResourceKind::DeviceContext, GScreenDC);
  } catch (...) {
  }
}

void GxTreeListShutdown() {
  try {
    if (GScreenDC) {
      ReleaseDC(nullptr, GScreenDC);
      LedgerGive(TResourceKind::DeviceContext, GScreenDC);
      GScreenDC = nullptr;
    }
    GCustomizeCaption.clear();
    GBandsCaption.clear();
    GHeadersCaption.clear();
    GIndicatorImages.reset();
    GMinusBitmap.reset();
    GPlusBitmap.reset();
    GSaveBitmap.reset();
    for (size_t i = std::size(kgxTreeListCursors); i-- > 0;)
      if (GCursorLoaded[i]) {
        GCursorLoaded[i] = false;
        Screen()->SetCursor(kgxTreeListCursors[i].Slot, nullptr, TCursorOwnership::Shared);
        LedgerRegistration(L"ScreenCursor", std::to_wstring(kgxTreeListCursors[i].Slot).c_str(),
                           false);
      }
  } catch (...) {
  }
}
