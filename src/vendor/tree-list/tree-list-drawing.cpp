#include "tree-list-drawing.h"

#include "application.h"
#include "graphics.h"
#include "image-lists.h"
#include "resource-ledger.h"
#include "storage.h"

#include "gx-utils.h"
#include "labels.h"
#include "xp-colors.h"

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

UINT AlignmentTextFlag(int AAlignment) {
  switch (AAlignment) {
  case taRightJustify:
    return DT_RIGHT;
  case taCenter:
    return DT_CENTER;
  default:
    return DT_LEFT;
  }
}

void DrawHeaderCell(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                    bool APushed, bool AMultiLine, int AAlignment, TgxTreeListColumnSort ASort,
                    TBitmap* AGlyph, int APosition, TgxLookAndFeel ALook, int ADropDownState) {
  RECT r = ARect;
  DrawHeaderFrame(ADC, r, ABrush, APushed, APosition, ALook);
  if (APushed && ALook == lfStandard) {
    r.left += 3;
    r.top += 3;
  } else {
    InflateRect(&r, -1, -1);
  }
  r.bottom -= 1;
  if (ADropDownState != 0 && r.right - r.left > 14) {
    DrawDropDownGlyph(ADC, RECT{r.right - 15, r.top, r.right, r.bottom + 1}, ADropDownState);
    r.right -= 15;
  }
  if (ASort != csNone && r.right - r.left > 15) {
    DrawSortArrow(ADC, RECT{r.right - 16, r.top, r.right, r.bottom}, ASort == csUp);
    r.right -= 16;
  }
  if (AGlyph && !AGlyph->Empty() && r.right > r.left) {
    const int left = r.left - (ALook == lfStandard ? 1 : 2);
    const int width = std::min(AGlyph->Width(), int(r.right - left));
    const RECT place{left, r.top - 1, left + width, r.top - 1 + AGlyph->Height()};
    HRGN saved = nullptr;
    ClipToRect(ADC, RECT{left, r.top - 1, r.right, r.bottom + 1}, saved);
    DrawBitmapOnBrush(ADC, ABrush,
                      RECT{place.left, place.top, left + AGlyph->Width(), place.bottom}, *AGlyph);
    RestoreClipRgn(ADC, saved);
    r.left = place.right;
  }
  if (AText.empty() || r.right <= r.left)
    return;
  UINT flags =
      (AMultiLine ? kgxHeaderMultiLineFlags : kgxHeaderTextFlags) | AlignmentTextFlag(AAlignment);
  if (!AMultiLine) {
    SIZE size{0, 0};
    GetTextExtentPoint32W(ADC, AText.c_str(), int(AText.size()), &size);
    if (size.cx <= r.right - r.left)
      flags |= DT_NOCLIP;
  }
  const int oldMode = SetBkMode(ADC, TRANSPARENT);
  DrawTextW(ADC, AText.c_str(), int(AText.size()), &r, flags);
  SetBkMode(ADC, oldMode);
}

void DrawHeaderCellBuffered(HDC ADC, const RECT& ARect, const RECT& AClipRect, HBRUSH ABrush,
                            TBitmap& ABuffer, const std::wstring& AText, bool APushed,
                            bool AMultiLine, int AAlignment, TgxTreeListColumnSort ASort,
                            TBitmap* AGlyph, int APosition, TgxLookAndFeel ALook,
                            int ADropDownState) {
  const int width = ARect.right - ARect.left, height = ARect.bottom - ARect.top;
  if (width <= 0 || height <= 0)
    return;
  EnsureBitmapSize(ABuffer, width, height);
  HDC buffer = ABuffer.Canvas().Handle();
  HGDIOBJ oldFont = SelectObject(buffer, GetCurrentObject(ADC, OBJ_FONT));
  const COLORREF oldText = SetTextColor(buffer, GetTextColor(ADC));
  DrawHeaderCell(buffer, RECT{0, 0, width, height}, ABrush, AText, APushed, AMultiLine, AAlignment,
                 ASort, AGlyph, APosition, ALook, ADropDownState);
  if (ALook != lfStandard && APushed)
    PatBlt(buffer, 0, 0, width, height, DSTINVERT);
  RECT clip;
  if (IntersectRect(&clip, &AClipRect, &ARect))
    BitBlt(ADC, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, buffer,
           clip.left - ARect.left, clip.top - ARect.top, SRCCOPY);
  SetTextColor(buffer, oldText);
  SelectObject(buffer, oldFont);
}

void DrawFooterCellFrame(HDC ADC, RECT& ARect, HBRUSH ABrush) {
  DrawEdge(ADC, &ARect, BDR_SUNKENOUTER, BF_RIGHT | BF_BOTTOM | BF_FLAT | BF_ADJUST);
  FillRect(ADC, &ARect, ABrush);
  InflateRect(&ARect, -1, 0);
}

namespace {

int TextLength(const std::wstring& AText, int ALength) {
  const int all = int(AText.size());
  return ALength > 0 && ALength < all ? ALength : all;
}

// The colour of a solid brush; AFallback for any other brush.
COLORREF BrushColor(HBRUSH ABrush, COLORREF AFallback) {
  LOGBRUSH log{};
  if (ABrush && GetObjectW(ABrush, sizeof(log), &log) == sizeof(log) && log.lbStyle == BS_SOLID)
    return log.lbColor;
  return AFallback;
}

// Runs APaint on a buffer as large as ARect, with ADC's font and colours,
// then copies the buffer to ARect.
template <typename TPaint>
void PaintBuffered(HDC ADC, const RECT& ARect, TBitmap& ABuffer, TPaint APaint) {
  const int width = ARect.right - ARect.left, height = ARect.bottom - ARect.top;
  if (width <= 0 || height <= 0)
    return;
  EnsureBitmapSize(ABuffer, width, height);
  HDC buffer = ABuffer.Canvas().Handle();
  HGDIOBJ oldFont = SelectObject(buffer, GetCurrentObject(ADC, OBJ_FONT));
  const COLORREF oldText = SetTextColor(buffer, GetTextColor(ADC));
  const COLORREF oldBack = SetBkColor(buffer, GetBkColor(ADC));
  APaint(buffer, RECT{0, 0, width, height});
  BitBlt(ADC, ARect.left, ARect.top, width, height, buffer, 0, 0, SRCCOPY);
  SetBkColor(buffer, oldBack);
  SetTextColor(buffer, oldText);
  SelectObject(buffer, oldFont);
}

} // namespace

void DrawCellText(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText, int ALength,
                  const TgxCellTextStyle& AStyle) {
  FillRect(ADC, &ARect, ABrush);
  const int oldMode = SetBkMode(ADC, TRANSPARENT);
  RECT r = ARect;
  InflateRect(&r, -2, 0);
  r.top += AStyle.TopInset ? 2 : 1;
  UINT flags = (AStyle.MultiLine ? kgxCellMultiLineFlags : kgxCellTextFlags) |
               AlignmentTextFlag(AStyle.Alignment);
  if (AStyle.EndEllipsis)
    flags |= DT_END_ELLIPSIS;
  if (AStyle.PathEllipsis)
    flags |= DT_PATH_ELLIPSIS;
  if (r.right > r.left && r.bottom > r.top)
    DrawTextW(ADC, AText.c_str(), TextLength(AText, ALength), &r, flags);
  SetBkMode(ADC, oldMode);
}

void PaintCellText(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                   int ALength, const TgxCellTextStyle& AStyle, TBitmap* ABuffer) {
  const COLORREF textColor = GetTextColor(ADC);
  const bool pure = GetNearestColor(ADC, textColor) == textColor;
  if (AStyle.Opaque || (!AStyle.PathEllipsis && !AStyle.MultiLine && pure)) {
    RECT text = ARect;
    text.right -= 2;
    if (AStyle.Alignment != taLeftJustify)
      text.left += 2;
    const int y = ARect.top + (AStyle.TopInset ? 2 : 1);
    UINT align = TA_LEFT;
    int x = ARect.left + 2;
    if (AStyle.Alignment == taRightJustify) {
      align = TA_RIGHT;
      x = text.right;
    } else if (AStyle.Alignment == taCenter) {
      align = TA_CENTER;
      x = (text.left + text.right) / 2;
    }
    const UINT oldAlign = SetTextAlign(ADC, align | TA_TOP);
    const int oldMode = SetBkMode(ADC, OPAQUE);
    COLORREF oldBack = GetBkColor(ADC);
    if (!AStyle.Opaque)
      SetBkColor(ADC, BrushColor(ABrush, oldBack));
    if (text.right > text.left || !AStyle.Opaque)
      ExtTextOutW(ADC, x, y, ETO_CLIPPED | (AStyle.Opaque ? 0 : ETO_OPAQUE), &text, AText.c_str(),
                  UINT(TextLength(AText, ALength)), nullptr);
    SetBkColor(ADC, oldBack);
    SetBkMode(ADC, oldMode);
    SetTextAlign(ADC, oldAlign);
    if (!AStyle.Opaque) {
      const RECT right{std::max(text.right, ARect.left), ARect.top, ARect.right, ARect.bottom};
      FillRect(ADC, &right, ABrush);
      if (text.left > ARect.left) {
        const RECT left{ARect.left, ARect.top, std::min(text.left, ARect.right), ARect.bottom};
        FillRect(ADC, &left, ABrush);
      }
    }
    return;
  }
  if (AStyle.UseBitmap && ABuffer) {
    PaintBuffered(ADC, ARect, *ABuffer, [&](HDC ABufferDC, const RECT& ACell) {
      DrawCellText(ABufferDC, ACell, ABrush, AText, ALength, AStyle);
    });
    return;
  }
  DrawCellText(ADC, ARect, ABrush, AText, ALength, AStyle);
}

void DrawPreviewText(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                     int AIndent, COLORREF ATextColor, HFONT AFont) {
  FillRect(ADC, &ARect, ABrush);
  const int oldMode = SetBkMode(ADC, TRANSPARENT);
  RECT r = ARect;
  InflateRect(&r, -1, -1);
  r.left += AIndent;
  const COLORREF oldText = SetTextColor(ADC, ATextColor);
  HGDIOBJ oldFont = AFont ? SelectObject(ADC, AFont) : nullptr;
  if (r.right > r.left && r.bottom > r.top)
    DrawTextW(ADC, AText.c_str(), int(AText.size()), &r, kgxPreviewTextFlags);
  if (oldFont)
    SelectObject(ADC, oldFont);
  SetTextColor(ADC, oldText);
  SetBkMode(ADC, oldMode);
}

void DrawPreviewCell(HDC ADC, const RECT& ARect, HBRUSH ABrush, const std::wstring& AText,
                     int AIndent, COLORREF ATextColor, HFONT AFont, bool AUseBitmap,
                     TBitmap* ABuffer) {
  if (AUseBitmap && ABuffer) {
    PaintBuffered(ADC, ARect, *ABuffer, [&](HDC ABufferDC, const RECT& ACell) {
      DrawPreviewText(ABufferDC, ACell, ABrush, AText, AIndent, ATextColor, AFont);
    });
    return;
  }
  DrawPreviewText(ADC, ARect, ABrush, AText, AIndent, ATextColor, AFont);
}

bool SameTextUpper(const std::wstring& AS1, const std::wstring& AS2) {
  if (AS1.size() != AS2.size())
    return false;
  std::wstring a = AS1, b = AS2;
  if (!a.empty())
    CharUpperBuffW(a.data(), DWORD(a.size()));
  if (!b.empty())
    CharUpperBuffW(b.data(), DWORD(b.size()));
  return a == b;
}

void RaiseTreeListError(const std::wstring& AMessage) {
  throw EInvalidgxTreeListOperation(AMessage);
}

std::wstring NormalizeRegistryPath(const std::wstring& APath) {
  std::wstring path = APath;
  if (path.empty())
    return path;
  if (path.front() != L'\\')
    path.insert(path.begin(), L'\\');
  while (!path.empty() && path.back() == L'\\')
    path.pop_back();
  return path;
}

namespace {
TgxRegistryRootProvider GRegistryRootProvider = nullptr;
}

void SetRegistryRootProvider(TgxRegistryRootProvider AProvider) {
  GRegistryRootProvider = AProvider;
}

void DeleteOldRegistryLayouts() {
  if (!GRegistryRootProvider)
    return;
  const std::wstring path = GRegistryRootProvider();
  if (path.empty())
    return;
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (registry.OpenKey(path, false))
    registry.DeleteKey(L"Software");
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
