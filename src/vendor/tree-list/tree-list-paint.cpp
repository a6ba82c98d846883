#include "tree-list-core.h"
#include "tree-list-paint.h"

#include "tree-list-drawing.h"

#include "gx-text-edit.h"
#include "gx-utils.h"
#include "labels.h"
#include "xp-colors.h"

#include <algorithm>
#include <memory>
#include <utility>

// The paint pipeline: one layout per paint, the areas painted in a fixed
// order, the colour rules every cell shares, and the cell, footer, preview
// and indicator painters the areas hand their cells to.

namespace {

template <typename TEnd> class TFinally {
public:
  explicit TFinally(TEnd AEnd) : FEnd(std::move(AEnd)) {}
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;
  ~TFinally() { FEnd(); }

private:
  TEnd FEnd;
};

COLORREF Rgb(TColor AColor) {
  return COLORREF(ColorToRGB(AColor));
}

HBRUSH Solid(TColor AColor) {
  return CreateSolidBrush(Rgb(AColor));
}

bool Empty(const RECT& ARect) {
  return ARect.right <= ARect.left || ARect.bottom <= ARect.top;
}

// Selects a font and its colour into a context for the life of the scope.
class TFontScope {
public:
  TFontScope(HDC ADC, TFont& AFont)
      : FDC(ADC), FOld(SelectObject(ADC, AFont.Handle())),
        FOldColor(SetTextColor(ADC, Rgb(AFont.Color()))) {}
  ~TFontScope() {
    SetTextColor(FDC, FOldColor);
    SelectObject(FDC, FOld);
  }
  TFontScope(const TFontScope&) = delete;
  TFontScope& operator=(const TFontScope&) = delete;

private:
  HDC FDC;
  HGDIOBJ FOld;
  COLORREF FOldColor;
};

} // namespace

// ===========================================================================
// The objects of one paint

TCustomgxTreeList::TPaintObjects::~TPaintObjects() {
  for (HBRUSH brush : {Band, Header, Group, Background, Panel, Highlight, TreeLine, HideSelection,
                       Footer, FixedBandLine, PlusMinus, Level})
    if (brush)
      DeleteObject(brush);
  for (const TColumnBrush& column : Columns)
    if (column.Brush)
      DeleteObject(column.Brush);
}

void TCustomgxTreeList::TPaintObjects::DrawSegments(HDC ADC, TColor AColor) {
  if (Segments.empty())
    return;
  std::vector<DWORD> counts(Segments.size() / 2, 2);
  HPEN pen = CreatePen(PS_SOLID, 1, Rgb(AColor));
  HGDIOBJ old = SelectObject(ADC, pen);
  PolyPolyline(ADC, Segments.data(), counts.data(), DWORD(counts.size()));
  SelectObject(ADC, old);
  DeleteObject(pen);
  Segments.clear();
}

// ===========================================================================
// The pipeline

void TCustomgxTreeList::Paint() {
  TgxGridDrawInfo info;
  CalcDrawInfo(info);
  TFinally release([&] { FreeDrawInfo(info); });
  PaintArea(info, Canvas());
}

bool TCustomgxTreeList::NeedsPaint(const RECT& ARect) {
  if (FDrawNonVisibleParts)
    return !Empty(ARect);
  return FPaintDC && RectVisible(FPaintDC, &ARect);
}

void TCustomgxTreeList::HideDragImages() {
  // Nothing of the control is drawn over its window outside a paint yet:
  // the sizing line and the drag images come with sizing and dragging.
  ++FLockHideDragImages;
}

void TCustomgxTreeList::ShowDragImages() {
  if (FLockHideDragImages > 0)
    --FLockHideDragImages;
}

bool TCustomgxTreeList::IsPaintFocused() {
  if (!HandleAllocated())
    return false;
  HWND focus = GetFocus();
  if (focus && (focus == Handle() || IsChild(Handle(), focus)))
    return true;
  return FState == tsEditing && FInplaceEdit && FInplaceEdit->IsFocused();
}

void TCustomgxTreeList::PaintArea(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas) {
  if (FLockPaintUpdate > 0)
    return;
  HDC dc = ACanvas.Handle();
  HideDragImages();
  const HDC oldPaintDC = FPaintDC;
  TPaintObjects* const oldObjects = FPaintObjects;
  HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
  const int oldSaved = SaveDC(dc);
  TPaintObjects objects;
  TFinally done([&] {
    RestoreDC(dc, oldSaved);
    SelectObject(dc, oldFont);
    FDrawBitmap.reset();
    FPaintObjects = oldObjects;
    FPaintDC = oldPaintDC;
    ShowDragImages();
  });
  FPaintDC = dc;
  FPaintObjects = &objects;
  FDrawBitmap = std::make_unique<TBitmap>();
  if (!FCellViewData)
    FCellViewData = std::make_unique<TgxTreeListCellViewData>();
  if (GetPlusBitmap() && GetPlusBitmap()->Empty())
    MakeExpandButtonGlyphs();

  objects.Band = Solid(FBandColor);
  objects.Header = Solid(FHeaderColor);
  objects.Group = Solid(FGroupColor);
  objects.Background = Solid(Color());
  objects.PanelColor = FLookAndFeel == lfUltraFlat ? TColor(RGB(160, 160, 160)) : clBtnShadow;
  objects.Panel = Solid(objects.PanelColor);
  objects.Highlight = Solid(FHighlightColor);
  objects.TreeLine = Solid(FTreeLineColor);
  objects.HideSelection = Solid(FHideSelectionColor);
  objects.Footer = Solid(FFooterColor);
  objects.FixedBandLine = Solid(FFixedBandLineColor);
  objects.PlusMinus = Solid(FPlusMinusColor);
  objects.Focused = IsPaintFocused();
  const COLORREF background = Rgb(Color());
  for (int i = 0; i < ADrawInfo.HeaderCount; ++i) {
    TPaintObjects::TColumnBrush entry;
    entry.Column = ADrawInfo.HeadersInfo[i].AbsoluteIndex;
    entry.Color = GetColumnColor(entry.Column);
    if (Rgb(entry.Color) != background)
      entry.Brush = Solid(entry.Color);
    objects.Columns.push_back(entry);
  }

  if (NeedsPaint(ADrawInfo.GroupPanelRect))
    DrawGroupPanel(ACanvas, ADrawInfo.GroupPanelRect, objects.Panel, objects.Header);
  if (NeedsPaint(ADrawInfo.BandButtonRect))
    PaintCornerButton(dc, ADrawInfo.BandButtonRect, objects.Band, FBandButtonPushed);
  if (NeedsPaint(ADrawInfo.BandRect))
    PaintBands(ADrawInfo, ACanvas, objects);
  if (NeedsPaint(ADrawInfo.HeaderButtonRect))
    PaintCornerButton(dc, ADrawInfo.HeaderButtonRect, objects.Header, FHeaderButtonPushed);
  if (NeedsPaint(ADrawInfo.HeaderRect))
    PaintHeaders(ADrawInfo, ACanvas, objects);
  if (NeedsPaint(ADrawInfo.NewItemRowRect))
    PaintNewItemRow(ADrawInfo, ACanvas, objects);
  if (NeedsPaint(ADrawInfo.IndicatorRect)) {
    PaintIndicators(ADrawInfo, ACanvas, objects);
    const RECT& r = ADrawInfo.IndicatorRect;
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  if (NeedsPaint(ADrawInfo.FooterRect)) {
    PaintFooter(ADrawInfo, ACanvas, objects);
    const RECT& r = ADrawInfo.FooterRect;
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  if (NeedsPaint(ADrawInfo.StatusRect)) {
    PaintStatus(ADrawInfo, ACanvas, objects);
    const RECT& r = ADrawInfo.StatusRect;
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  PaintRows(ADrawInfo, ACanvas, objects);
}

void TCustomgxTreeList::PaintCornerButton(HDC ADC, const RECT& ARect, HBRUSH ABrush, bool APushed) {
  RECT r = ARect;
  if (FLookAndFeel == lfUltraFlat) {
    DrawEdge(ADC, &r, BDR_SUNKENOUTER, BF_TOP | BF_RIGHT | BF_BOTTOM | BF_ADJUST | BF_FLAT);
    FillRect(ADC, &r, ABrush);
    if (APushed)
      PatBlt(ADC, ARect.left, ARect.top, ARect.right - ARect.left, ARect.bottom - ARect.top,
             DSTINVERT);
    return;
  }
  DrawHeaderButton(ADC, r, ABrush, APushed, 0, FLookAndFeel);
}

void TCustomgxTreeList::PaintBands(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas,
                                   TPaintObjects& AObjects) {
  HDC dc = ACanvas.Handle();
  if (ADrawInfo.BandsInfo) {
    TFontScope font(dc, FBandFont);
    for (int i = 0; i < ADrawInfo.BandCount; ++i) {
      const TgxGridBandDrawInfo& band = ADrawInfo.BandsInfo[i];
      if (!NeedsPaint(band.BandClipRect))
        continue;
      std::wstring caption;
      GetBandCaption(band.Index, caption);
      int alignment = GetBandAlignment(band.Index);
      HBRUSH brush = AObjects.Band;
      HBRUSH own = nullptr;
      bool done = false;
      if (IsCustomDrawBand()) {
        FSaveFont.Assign(&FBandFont);
        HRGN saved = nullptr;
        const bool clip = !EqualRect(&band.BandClipRect, &band.BandRect);
        if (clip)
          ClipToRect(dc, band.BandClipRect, saved);
        TColor color = FBandColor;
        TFont custom;
        custom.Assign(&FBandFont);
        DoCustomDrawBand(ACanvas, band.BandRect, band.Index, caption, color, custom, alignment,
                         done);
        if (clip)
          RestoreClipRgn(dc, saved);
        if (!done && Rgb(color) != Rgb(FBandColor))
          brush = own = Solid(color);
        SetTextColor(dc, Rgb(custom.Color()));
      }
      if (!done)
        DrawHeaderCellBuffered(dc, band.BandRect, band.BandClipRect, brush, *FDrawBitmap, caption,
                               FDownBandPushed && band.Index == FDownBandIndex, FBandRowCount > 1,
                               alignment, csNone, nullptr, 0, FLookAndFeel, 0);
      if (own)
        DeleteObject(own);
      SetTextColor(dc, Rgb(FBandFont.Color()));
    }
  }
  if (!Empty(ADrawInfo.FixedBandLeftRect)) {
    const RECT& f = ADrawInfo.FixedBandLeftRect;
    const RECT strip{f.right - FFixedBandLineWidth, f.top, f.right, f.bottom};
    FillRect(dc, &strip, AObjects.FixedBandLine);
  }
  if (!Empty(ADrawInfo.FixedBandRightRect)) {
    const RECT& f = ADrawInfo.FixedBandRightRect;
    const RECT strip{f.left, f.top, f.left + FFixedBandLineWidth, f.bottom};
    FillRect(dc, &strip, AObjects.FixedBandLine);
  }
}

void TCustomgxTreeList::PaintHeaders(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas,
                                     TPaintObjects& AObjects) {
  HDC dc = ACanvas.Handle();
  if (ADrawInfo.HeadersInfo) {
    TFontScope font(dc, FHeaderFont);
    for (int i = 0; i < ADrawInfo.HeaderCount; ++i) {
      const TgxGridHeaderDrawInfo& header = ADrawInfo.HeadersInfo[i];
      const int column = header.AbsoluteIndex;
      if (NeedsPaint(header.HeaderClipRect)) {
        int alignment = GetHeaderAlignment(column);
        TBitmap* glyph = HasHeaderGlyph(column) ? GetHeaderGlyph(column) : nullptr;
        std::wstring caption;
        GetHeaderCaption(column, caption);
        TgxTreeListColumnSort sorted = GetColumnSorted(column);
        const int dropDown = GetHeaderDropDownState(column) ? kgxDropDownHot : 0;
        HBRUSH brush = AObjects.Header;
        HBRUSH own = nullptr;
        bool done = false;
        if (IsCustomDrawHeader(column)) {
          FSaveFont.Assign(&FHeaderFont);
          HRGN saved = nullptr;
          const bool clip = !EqualRect(&header.HeaderClipRect, &header.HeaderRect);
          if (clip)
            ClipToRect(dc, header.HeaderClipRect, saved);
          TColor color = FHeaderColor;
          TFont custom;
          custom.Assign(&FHeaderFont);
          DoCustomDrawHeader(ACanvas, header.HeaderRect, column, caption, color, custom, alignment,
                             sorted, done);
          if (clip)
            RestoreClipRgn(dc, saved);
          if (!done && Rgb(color) != Rgb(FHeaderColor))
            brush = own = Solid(color);
          SetTextColor(dc, Rgb(custom.Color()));
        }
        // A lone column is an outer element; the others sit inside a row.
        const int position =
            header.FirstColumn ? (header.LastColumn ? 0 : 2) : (header.LastColumn ? 1 : 3);
        const bool multiLine = header.LineCount > 1 || FHeaderLineCount > 1;
        if (!done) {
          if (FDisableHeaderImages)
            DrawHeaderCell(dc, header.HeaderRect, brush, caption, false, multiLine, alignment,
                           csNone, nullptr, position, FLookAndFeel, 0);
          else
            DrawHeaderCellBuffered(dc, header.HeaderRect, header.HeaderClipRect, brush,
                                   *FDrawBitmap, caption,
                                   FDownColumnPushed && column == FDownColumnIndex, multiLine,
                                   alignment, sorted, glyph, position, FLookAndFeel, dropDown);
        }
        if (own)
          DeleteObject(own);
        SetTextColor(dc, Rgb(FHeaderFont.Color()));
      }
      if (!Empty(header.HeaderEmptyRect))
        FillRect(dc, &header.HeaderEmptyRect, AObjects.Panel);
    }
  }
  for (int i = 0; i < ADrawInfo.EmptyRectCount && ADrawInfo.EmptyRectsInfo; ++i)
    if (!Empty(ADrawInfo.EmptyRectsInfo[i].EmptyRect))
      FillRect(dc, &ADrawInfo.EmptyRectsInfo[i].EmptyRect, AObjects.Panel);
}

void TCustomgxTreeList::DrawFocusFrame(HDC ADC, const RECT& ARect, bool AFocused) {
  if (AFocused) {
    if (!HidesFocusRect())
      DrawCellFocusRect(ADC, ARect);
  } else if (!FHideFocusRect) {
    InvertRectFrame(ADC, ARect);
  }
}

void TCustomgxTreeList::PaintNewItemRow(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas,
                                        TPaintObjects& AObjects) {
  HDC dc = ACanvas.Handle();
  const RECT& row = ADrawInfo.NewItemRowRect;
  const bool leftFixed = !Empty(ADrawInfo.FixedBandLeftRect);
  const bool rightFixed = !Empty(ADrawInfo.FixedBandRightRect);
  const int shift = leftFixed ? 0 : FLeftCoord;
  const int contentRight = ADrawInfo.CellsRect.left + GetContentWidth() - shift;
  // The separator under the row.
  if (FNewItemRowSeparatorHeight > 0) {
    RECT sep{ADrawInfo.CellsRect.left - shift, row.bottom - FNewItemRowSeparatorHeight,
             contentRight, row.bottom};
    if (rightFixed)
      sep.right = std::min(sep.right, ADrawInfo.CellsRect.right);
    HRGN saved = nullptr;
    ClipToRect(dc, RECT{ADrawInfo.CellsRect.left, sep.top, ADrawInfo.CellsRect.right, sep.bottom},
               saved);
    DrawHeaderFrame(dc, sep, AObjects.Header, false, 0,
                    FLookAndFeel == lfUltraFlat ? lfFlat : FLookAndFeel);
    RestoreClipRgn(dc, saved);
  }
  if (FIndicatorWidth > 0 && FDrawBitmap) {
    const RECT cell{row.left, row.top, row.left + FIndicatorWidth, row.top + FRowHeight};
    DrawIndicator(dc, cell, cell, nullptr, AObjects.Header, *FDrawBitmap, ikInsert, FLookAndFeel);
  }
  const bool active = IsNewItemRowActive();
  const bool both = FShowGrid && FShowPreviewGrid;
  const int g = FShowGrid ? 1 : 0;
  for (int i = 0; i < ADrawInfo.HeaderCount; ++i) {
    const TgxGridHeaderDrawInfo& header = ADrawInfo.HeadersInfo[i];
    const int column = header.AbsoluteIndex;
    RECT cell{header.HeaderRect.left, row.top + header.RowIndex * FRowHeight,
              header.HeaderRect.right - g,
              row.top + (header.RowIndex + header.LineCount) * FRowHeight - (both ? 1 : 0)};
    if (Empty(cell) || !NeedsPaint(cell))
      continue;
    const bool focusedColumn = column == FFocusedAbsoluteIndex;
    bool selected = false;
    if (active)
      selected = Has(aoRowSelect) || (IsMultiSelect() && !IsInvertSelect()) ||
                 (focusedColumn && !IsInvertSelect()) || (!focusedColumn && IsInvertSelect());
    if (FHideSelection && !AObjects.Focused)
      selected = false;
    HBRUSH brush = nullptr;
    TColor text = clWindowText, back = clWindow;
    GetCellColors(nullptr, selected, AObjects.Focused, i, 0, false, false, brush, text, back);
    const TPaintObjects::TColumnBrush& own = AObjects.Columns[size_t(i)];
    DrawCell(ACanvas, cell, own.Brush ? own.Brush : AObjects.Background, own.Color,
             header.RightEdgeColumn, header.LeftEdgeColumn, kCellNewItemRow, header.MultiLine,
             brush, text, back, false, selected, column, FFocused, FDrawBitmap.get());
    if (selected && focusedColumn && !Has(aoRowSelect) && !IsInvertSelect())
      DrawFocusFrame(dc, cell, AObjects.Focused);
    if (both)
      AObjects.AddSegment(cell.right, cell.top, cell.right, cell.bottom + 1);
  }
  AObjects.DrawSegments(dc, GetGridLineColor());
  if (active && (Has(aoRowSelect) || IsInvertSelect())) {
    RECT frame{ADrawInfo.CellsRect.left - shift, row.top, contentRight - g,
               row.top + FRowHeight - (both ? 1 : 0)};
    if (rightFixed)
      frame.right = std::min<LONG>(frame.right, ADrawInfo.CellsRect.right - g);
    DrawFocusFrame(dc, frame, AObjects.Focused);
  }
}

void TCustomgxTreeList::PaintIndicators(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas,
                                        TPaintObjects& AObjects) {
  HDC dc = ACanvas.Handle();
  int y = ADrawInfo.CellsRect.top;
  for (int i = 0; i < ADrawInfo.RowCount; ++i) {
    const TgxGridRowDrawInfo& row = ADrawInfo.RowsInfo[i];
    RECT cell{ADrawInfo.IndicatorRect.left, y, ADrawInfo.IndicatorRect.right, y + row.RowHeight};
    if (!Empty(ADrawInfo.FooterRect))
      cell.bottom = std::min(cell.bottom, ADrawInfo.FooterRect.top);
    if (NeedsPaint(cell))
      DrawIndicator(dc, cell, cell, row.Node, AObjects.Header, *FDrawBitmap, row.IndicatorKind,
                    FLookAndFeel);
    y += row.RowHeight;
  }
}

void TCustomgxTreeList::PaintFooter(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas,
                                    TPaintObjects& AObjects) {
  HDC dc = ACanvas.Handle();
  RECT frame = ADrawInfo.FooterRect;
  const bool leftFixed = !Empty(ADrawInfo.FixedBandLeftRect);
  const bool rightFixed = !Empty(ADrawInfo.FixedBandRightRect);
  const int shift = leftFixed ? 0 : FLeftCoord;
  const int contentRight = ADrawInfo.CellsRect.left + GetContentWidth() - shift;
  const int stretch = FFlat ? 1 : 2;
  if (!leftFixed && FLeftCoord != 0)
    frame.left -= stretch;
  if (!rightFixed && contentRight > frame.right)
    frame.right += stretch;
  if (FFlat) {
    DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_TOP);
    frame.top += 1;
    if (FLookAndFeel == lfUltraFlat)
      FillRect(dc, &frame, AObjects.Header);
    else
      DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
  } else {
    FrameRect(dc, &frame, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&frame, -1, -1);
    frame.left -= 1;
    DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
  }
  InflateRect(&frame, -1, -1);
  FillRect(dc, &frame, AObjects.Header);
  const bool clipToScroll =
      GetContentWidth() > ADrawInfo.CellsRect.right - ADrawInfo.CellsRect.left;
  const int lastBand = GetVisibleBandCount() - 1;
  for (int i = 0; i < ADrawInfo.HeaderCount; ++i) {
    const TgxGridHeaderDrawInfo& header = ADrawInfo.HeadersInfo[i];
    const int column = header.AbsoluteIndex;
    if (!IsExistFooterCell(column))
      continue;
    RECT cell{header.HeaderRect.left, frame.top + header.RowIndex * FFooterRowHeight,
              header.HeaderRect.right,
              frame.top + (header.RowIndex + header.LineCount) * FFooterRowHeight};
    if (header.BandIndex == 0)
      cell.left = std::max(cell.left, ADrawInfo.CellsRect.left);
    if (cell.right <= cell.left)
      continue;
    InflateRect(&cell, -1, -1);
    if (header.BandIndex == 0 && header.FirstColumn)
      cell.left += 1;
    if (header.BandIndex == lastBand && header.LastColumn)
      cell.right -= 2;
    if (Empty(cell) || !NeedsPaint(cell))
      continue;
    HRGN saved = nullptr;
    const bool clip = clipToScroll && header.BandIndex != ADrawInfo.FixedBandLeftIndex &&
                      header.BandIndex != ADrawInfo.FixedBandRightIndex;
    if (clip) {
      RECT scroll{ADrawInfo.CellsRect.left, frame.top, ADrawInfo.CellsRect.right, frame.bottom};
      if (leftFixed)
        scroll.left = ADrawInfo.FixedBandLeftRect.right;
      if (rightFixed)
        scroll.right = ADrawInfo.FixedBandRightRect.left;
      ClipToRect(dc, scroll, saved);
    }
    if (FLookAndFeel == lfUltraFlat)
      FrameRect(dc, &cell, GetSysColorBrush(COLOR_BTNSHADOW));
    else
      DrawEdge(dc, &cell, BDR_SUNKENOUTER, BF_RECT);
    InflateRect(&cell, -1, -1);
    SetTextColor(dc, Rgb(Font().Color()));
    SetBkColor(dc, Rgb(FHeaderColor));
    DrawFooterCell(ACanvas, cell, header.RightEdgeColumn, header.LeftEdgeColumn, kCellFooter,
                   header.LineCount > 1, AObjects.Header, FHeaderColor, false, false, -1, column,
                   nullptr, FDrawBitmap.get());
    if (clip)
      RestoreClipRgn(dc, saved);
  }
}

void TCustomgxTreeList::PaintStatus(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas,
                                    TPaintObjects& AObjects) {
  HDC dc = ACanvas.Handle();
  const RECT& status = ADrawInfo.StatusRect;
  std::wstring text;
  GetStatusText(text);
  const bool button = HasStatusCloseButton();
  RECT textRect = status;
  InflateRect(&textRect, -2, -2);
  if (button)
    textRect.left += 18;
  DrawTextInRect(dc, text.c_str(), int(text.size()), status, textRect, gxdtVCenter, AObjects.Panel,
                 Font().Handle(), Rgb(AObjects.PanelColor), Rgb(clBtnHighlight));
  if (!button)
    return;
  const int top = status.top + (status.bottom - status.top - 11) / 2;
  RECT box{status.left + 3, top, status.left + 15, top + 11};
  int fill = COLOR_BTNFACE;
  TColor cross = clBtnText;
  if (FStatusCloseButtonActive && FStatusCloseButtonPressed) {
    fill = COLOR_WINDOWFRAME;
    cross = clWindow;
  } else if (FStatusCloseButtonActive) {
    fill = COLOR_WINDOW;
    cross = clWindowFrame;
  }
  FillRect(dc, &box, GetSysColorBrush(fill));
  InflateRect(&box, -2, -2);
  HPEN pen = CreatePen(PS_SOLID, 1, Rgb(cross));
  HGDIOBJ old = SelectObject(dc, pen);
  for (int d = 0; d < 2; ++d) {
    MoveToEx(dc, box.left + d, box.top, nullptr);
    LineTo(dc, box.right + d - 1, box.bottom);
    MoveToEx(dc, box.right - 1 - d, box.top, nullptr);
    LineTo(dc, box.left - d - 1 + 1, box.bottom);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

// ===========================================================================
// Colours

HBRUSH TCustomgxTreeList::LevelBrush(TPaintObjects& AObjects, int ALevel) {
  if (!IsLevelColorAssigned())
    return AObjects.Group;
  TColor color = FGroupColor;
  DoGetLevelColor(ALevel, color);
  if (Rgb(color) == Rgb(FGroupColor))
    return AObjects.Group;
  if (!AObjects.Level || Rgb(AObjects.LevelColor) != Rgb(color)) {
    if (AObjects.Level)
      DeleteObject(AObjects.Level);
    AObjects.Level = Solid(color);
    AObjects.LevelColor = color;
  }
  return AObjects.Level;
}

void TCustomgxTreeList::GetCellColors(TgxTreeListNode* ANode, bool ASelected, bool AFocused,
                                      int AColumn, int ALevel, bool AHasChildren, bool AIsGroup,
                                      HBRUSH& ABrush, TColor& ATextColor, TColor& ABkColor) {
  TPaintObjects* objects = FPaintObjects;
  if (!objects)
    return;
  if (FState == tsNodeDragging && !AFocused && ANode && ANode == FFocused) {
    ABrush = objects->Highlight;
    ABkColor = FHighlightColor;
    ATextColor = FHighlightTextColor;
    return;
  }
  if (ASelected && !(FHideSelection && !AFocused)) {
    if (AFocused) {
      ABrush = objects->Highlight;
      ABkColor = FHighlightColor;
      ATextColor = FHighlightTextColor;
    } else {
      ABrush = objects->HideSelection;
      ABkColor = FHideSelectionColor;
      ATextColor = FHideSelectionTextColor;
    }
    return;
  }
  if (FPaintStyle != psStandard && (AHasChildren || AIsGroup)) {
    ABkColor = FGroupColor;
    ATextColor = FGroupTextColor == clNone ? Font().Color() : FGroupTextColor;
    ABrush = LevelBrush(*objects, ALevel);
    return;
  }
  const bool known = AColumn >= 0 && size_t(AColumn) < objects->Columns.size();
  const int absolute = known ? objects->Columns[size_t(AColumn)].Column : -1;
  ATextColor = absolute >= 0 && IsColumnFontAssigned(absolute) ? GetColumnFont(absolute).Color()
                                                               : Font().Color();
  if (known && objects->Columns[size_t(AColumn)].Brush) {
    ABrush = objects->Columns[size_t(AColumn)].Brush;
    ABkColor = objects->Columns[size_t(AColumn)].Color;
  } else {
    ABrush = objects->Background;
    ABkColor = Color();
  }
}

// ===========================================================================
// Custom-draw hooks with their values: the base offers the plain hooks.

void TCustomgxTreeList::DoCustomDrawBand(TCanvas& ACanvas, const RECT& ARect, int ABand,
                                         std::wstring&, TColor&, TFont&, int&, bool& ADone) {
  DoCustomDrawBand(ACanvas.Handle(), ARect, ABand, ADone);
}

void TCustomgxTreeList::DoCustomDrawHeader(TCanvas& ACanvas, const RECT& ARect, int AColumn,
                                           std::wstring&, TColor&, TFont&, int&,
                                           TgxTreeListColumnSort&, bool& ADone) {
  DoCustomDrawHeader(ACanvas.Handle(), ARect, AColumn, ADone);
}

void TCustomgxTreeList::DoCustomDrawCell(TCanvas& ACanvas, const RECT& ARect,
                                         TgxTreeListNode* ANode, int AColumn, bool, bool, bool,
                                         bool, std::wstring&, TColor&, TFont&, int&, bool& ADone) {
  DoCustomDrawCell(ACanvas.Handle(), ARect, ANode, AColumn, ADone);
}

void TCustomgxTreeList::DoCustomDrawFooter(TCanvas& ACanvas, const RECT& ARect, TgxTreeListNode*,
                                           int, int AFooterIndex, std::wstring&, TColor&, TFont&,
                                           int&, bool& ADone) {
  DoCustomDrawFooter(ACanvas.Handle(), ARect, AFooterIndex, ADone);
}

void TCustomgxTreeList::DoCustomDrawPreview(TCanvas& ACanvas, const RECT& ARect,
                                            TgxTreeListNode* ANode, bool, std::wstring&, TColor&,
                                            TColor&, TFont&, bool& ADone) {
  DoCustomDrawPreview(ACanvas.Handle(), ARect, ANode, ADone);
}

// ===========================================================================
// Cells

void TCustomgxTreeList::PrepareCellViewData(HDC ADC, RECT& ARect,
                                            TgxTreeListCellViewData& AViewData, int) {
  const TgxInplaceEditClass& kind = TgxInplaceTextEditClass::Instance();
  std::unique_ptr<TgxEditViewData> view(kind.NewViewData());
  view->Enabled = true;
  view->Focused = false;
  view->Selected = AViewData.Cell_HotTrackNode;
  view->BorderColor = clNone;
  view->BorderStyle = xbsNone;
  view->ButtonStyle = FLookAndFeel == lfStandard ? bts3D
                      : FLookAndFeel == lfFlat   ? btsFlat
                                                 : btsHotFlat;
  view->ButtonTransparence = false;
  view->Edges = kgxAllEdges;
  view->Shadow = false;
  view->Transparent = AViewData.Cell_InvertText;
  view->NoTransparentText = AViewData.Cell_InvertText;
  view->OffsetSize = RECT{1, 0, 0, 0};
  view->DrawAlignment = AViewData.Cell_MultiLine ? daMultiLine : daVCenter;
  view->Font = AViewData.Cell_Font;
  view->Brush = AViewData.Cell_Brush;
  view->BkColor = Rgb(AViewData.Cell_BkColor);
  view->TextColor = Rgb(AViewData.Cell_TextColor);
  view->Alignment = TAlignment(AViewData.Cell_Alignment);
  view->IsEditClass = false;
  view->Data = AViewData.Cell_Text;
  view->DataLength = AViewData.Cell_TextLength;
  view->CalcHeight = false;
  if (auto* text = dynamic_cast<TgxTextEditViewData*>(view.get())) {
    text->EndEllipsis = AViewData.Cell_DrawEndEllipsis;
    text->PathEllipsis = AViewData.Cell_DrawPathEllipsis;
  }
  if (AViewData.Cell_InvertSelect && AViewData.Cell_CellBrush) {
    // The cell's own colour frames a selected cell of an inverted selection.
    const RECT top{ARect.left, ARect.top, ARect.right, ARect.top + 1};
    const RECT bottom{ARect.left, ARect.bottom - 1, ARect.right, ARect.bottom};
    FillRect(ADC, &top, AViewData.Cell_CellBrush);
    FillRect(ADC, &bottom, AViewData.Cell_CellBrush);
    ARect.top += 1;
    ARect.bottom -= 1;
    if (AViewData.Cell_LeftEdge) {
      const RECT left{ARect.left, ARect.top, ARect.left + 1, ARect.bottom};
      FillRect(ADC, &left, AViewData.Cell_CellBrush);
      ARect.left += 1;
    }
    if (AViewData.Cell_RightEdge) {
      const RECT right{ARect.right - 1, ARect.top, ARect.right, ARect.bottom};
      FillRect(ADC, &right, AViewData.Cell_CellBrush);
      ARect.right -= 1;
    }
  }
  view->ViewBounds = ARect;
  InflateRect(&view->ViewBounds, 2, 2);
  HRGN saved = nullptr;
  ClipToRect(ADC, ARect, saved);
  kind.Draw(ADC, ARect, *view, nullptr);
  RestoreClipRgn(ADC, saved);
}

void TCustomgxTreeList::DrawCell(TCanvas& ACanvas, const RECT& ARect, HBRUSH ACellBrush,
                                 TColor ACellColor, bool ARightEdge, bool ALeftEdge, int AKind,
                                 bool AMultiLine, HBRUSH ABrush, TColor ATextColor, TColor ABkColor,
                                 bool AFocusedCell, bool ASelected, int AColumn,
                                 TgxTreeListNode* ANode, TBitmap*) {
  if (ANode)
    BeginDrawNode(ANode);
  TFinally end([&] {
    if (ANode)
      EndDrawNode(ANode);
  });
  HDC dc = ACanvas.Handle();
  std::wstring text;
  if (AKind == kCellFooter || AKind == kCellNewItemRow)
    GetNonNodeCellText(AColumn, text);
  else
    GetCellText(ANode, AColumn, text);
  int alignment = GetColumnAlignment(0, AColumn);
  const bool ownFont =
      (AKind == kCellData || AKind == kCellNewItemRow) && IsColumnFontAssigned(AColumn);
  TFont font;
  font.Assign(&Font());
  if (ownFont) {
    font.Assign(&GetColumnFont(AColumn));
    if (ASelected)
      font.SetColor(ATextColor);
    else
      ATextColor = font.Color();
  } else {
    font.SetColor(ATextColor);
  }
  TColor back = ABkColor;
  if (IsCustomDrawCell(ANode, AColumn)) {
    bool done = false;
    const TColor before = back;
    DoCustomDrawCell(ACanvas, ARect, ANode, AColumn, ASelected, AFocusedCell,
                     AKind == kCellNewItemRow, AKind == kCellGroup, text, back, font, alignment,
                     done);
    if (done)
      return;
    ATextColor = font.Color();
    if (Rgb(back) != Rgb(before)) {
      ACanvas.Brush().SetColor(back);
      ABrush = ACanvas.Brush().Handle();
    }
  }
  TgxTreeListCellViewData& view = *FCellViewData;
  view = TgxTreeListCellViewData{};
  view.Cell_Brush = ABrush;
  view.Cell_Font = font.Handle();
  view.Cell_BkColor = back;
  view.Cell_TextColor = ATextColor;
  view.Cell_Alignment = alignment;
  view.Cell_Text = text;
  view.Cell_TextLength = 0;
  view.Cell_Selected = ASelected;
  view.Cell_InvertSelect = IsInvertSelect();
  view.Cell_LeftEdge = ALeftEdge;
  view.Cell_RightEdge = ARightEdge;
  view.Cell_MultiLine = AMultiLine;
  view.Cell_DrawEndEllipsis = IsDrawEndEllipsis();
  view.Cell_DrawPathEllipsis = IsDrawPathEllipsis();
  view.Cell_Node = ANode;
  view.Cell_IsNullNode = AKind == kCellNewItemRow && !ShowNewItemRowValues();
  view.Cell_SelectionColor = AFocusedCell ? FHighlightColor : FHideSelectionColor;
  view.Cell_CellBrush = ACellBrush;
  view.Cell_CellColor = ACellColor;
  view.Cell_HotTrackNode = IsHotTrackCell(ANode, AColumn);
  view.Cell_Rect = RECT{-2, -2, ARect.right - ARect.left + 2, ARect.bottom - ARect.top + 2};
  RECT cell = ARect;
  if (view.Cell_IsNullNode)
    view.Cell_Text.clear();
  PrepareCellViewData(dc, cell, view, AColumn);
}

void TCustomgxTreeList::DrawFooterCell(TCanvas& ACanvas, const RECT& ARect, bool, bool, int AKind,
                                       bool AMultiLine, HBRUSH ABrush, TColor ABkColor, bool,
                                       bool ASelected, int AFooterIndex, int AColumn,
                                       TgxTreeListNode* ANode, TBitmap* ADrawBitmap) {
  HDC dc = ACanvas.Handle();
  std::wstring text;
  int alignment = GetColumnAlignment(0, AColumn);
  if (AKind == kCellData || AKind == kCellGroup) {
    GetCellText(ANode, AColumn, text);
  } else if (AKind == kCellFooter) {
    GetFooterCellText(ANode, AColumn, AFooterIndex, text);
    alignment = GetFooterAlignment(ANode, AColumn, AFooterIndex);
  } else {
    GetNonNodeCellText(AColumn, text);
  }
  const bool ownFont =
      (AKind == kCellData || AKind == kCellNewItemRow) && IsColumnFontAssigned(AColumn);
  const bool custom =
      AKind == kCellFooter ? IsCustomDrawFooter(AFooterIndex) : IsCustomDrawCell(ANode, AColumn);
  HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
  const COLORREF oldBack = GetBkColor(dc);
  const COLORREF oldText = GetTextColor(dc);
  TFinally restore([&] {
    SelectObject(dc, oldFont);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
  });
  TFont font;
  font.Assign(&Font());
  font.SetColor(TColor(GetTextColor(dc)));
  if (ownFont) {
    const TColor saved = font.Color();
    font.Assign(&GetColumnFont(AColumn));
    if (ASelected)
      font.SetColor(saved);
  }
  TColor back = ABkColor;
  HBRUSH own = nullptr;
  if (custom) {
    bool done = false;
    const TColor before = back;
    if (AKind == kCellFooter)
      DoCustomDrawFooter(ACanvas, ARect, ANode, AColumn, AFooterIndex, text, back, font, alignment,
                         done);
    else
      DoCustomDrawCell(ACanvas, ARect, ANode, AColumn, ASelected, false, false, AKind == kCellGroup,
                       text, back, font, alignment, done);
    if (done)
      return;
    if (Rgb(back) != Rgb(before)) {
      own = Solid(back);
      ABrush = own;
      SetBkColor(dc, Rgb(back));
    }
  }
  SelectObject(dc, font.Handle());
  SetTextColor(dc, Rgb(font.Color()));
  TgxCellTextStyle style;
  style.Alignment = alignment;
  style.TopInset = AKind != kCellFooter && IsInvertSelect();
  style.UseBitmap = IsUseBitmap();
  style.EndEllipsis = IsDrawEndEllipsis();
  style.PathEllipsis = IsDrawPathEllipsis();
  style.MultiLine = AMultiLine;
  PaintCellText(dc, ARect, ABrush, text, 0, style, ADrawBitmap);
  if (own)
    DeleteObject(own);
}

void TCustomgxTreeList::DrawPreview(TCanvas& ACanvas, const RECT& ARect, bool ASelected,
                                    HBRUSH ABrush, TColor ATextColor, TColor ABkColor,
                                    TgxTreeListNode* ANode, TBitmap* ADrawBitmap) {
  HDC dc = ACanvas.Handle();
  std::wstring text;
  GetPreviewText(ANode, text);
  if (Rgb(ABkColor) != Rgb(FHighlightColor))
    ATextColor = FPreviewFont.Color();
  TFont font;
  font.Assign(&FPreviewFont);
  const COLORREF oldBack = GetBkColor(dc);
  HBRUSH own = nullptr;
  if (IsCustomDrawPreview()) {
    bool done = false;
    TColor back = ABkColor;
    DoCustomDrawPreview(ACanvas, ARect, ANode, ASelected, text, back, ATextColor, font, done);
    if (done)
      return;
    if (Rgb(back) != Rgb(ABkColor)) {
      own = Solid(back);
      ABrush = own;
      SetBkColor(dc, Rgb(back));
    }
  }
  DrawPreviewCell(dc, ARect, ABrush, text, FIndentDesc, Rgb(ATextColor), font.Handle(),
                  IsUseBitmap(), ADrawBitmap);
  SetBkColor(dc, oldBack);
  if (own)
    DeleteObject(own);
}

void TCustomgxTreeList::DrawIndicator(HDC ADC, const RECT& ARect, const RECT& AClipRect,
                                      TgxTreeListNode* ANode, HBRUSH ABrush, TBitmap& ADrawBitmap,
                                      TgxTreeListIndicatorKind AKind, TgxLookAndFeel ALookAndFeel) {
  const int width = ARect.right - ARect.left, height = ARect.bottom - ARect.top;
  if (width <= 0 || height <= 0)
    return;
  EnsureBitmapSize(ADrawBitmap, width, height);
  HDC bitmap = ADrawBitmap.Canvas().Handle();
  RECT cell{0, 0, width, height};
  bool done = false;
  DoCustomDrawIndicator(bitmap, cell, ANode, done);
  if (!done) {
    if (ALookAndFeel == lfUltraFlat) {
      FillRect(bitmap, &cell, ABrush);
      const RECT line{cell.right - 1, cell.top, cell.right, cell.bottom};
      FillRect(bitmap, &line, GetSysColorBrush(COLOR_BTNSHADOW));
      const RECT bottom{cell.left, cell.bottom - 1, cell.right, cell.bottom};
      FillRect(bitmap, &bottom, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
      RECT face = cell;
      DrawHeaderButton(bitmap, face, ABrush, false, 0, ALookAndFeel);
    }
    if (AKind != ikNone) {
      TCustomImageList* images = GetIndicatorImages();
      if (images && int(AKind) - 1 < images->Count()) {
        const int x = (cell.left + cell.right - images->Width()) / 2;
        const int y = (cell.top + cell.bottom - images->Height()) / 2;
        ImageList_Draw(images->Handle(), int(AKind) - 1, bitmap, x, y, ILD_TRANSPARENT);
      }
    }
  }
  RECT clip;
  if (IntersectRect(&clip, &AClipRect, &ARect))
    BitBlt(ADC, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, bitmap,
           clip.left - ARect.left, clip.top - ARect.top, SRCCOPY);
}

void TCustomgxTreeList::DrawBorder(HDC ADC, const RECT& ARect) {
  RECT r = ARect;
  if (FLookAndFeel == lfUltraFlat)
    FrameRect(ADC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  else
    DrawEdge(ADC, &r, BDR_SUNKENOUTER, BF_RECT);
}

int TCustomgxTreeList::GetNodeImageWidth(TgxTreeListNode* ANode) {
  TCustomImageList* images = GetNodeImages(ANode);
  return images ? images->Width() : 0;
}

int TCustomgxTreeList::GetNodeImageHeight(TgxTreeListNode* ANode) {
  TCustomImageList* images = GetNodeImages(ANode);
  return images ? images->Height() : 0;
}

void TCustomgxTreeList::InvalidateArea(const RECT& ARect) {
  if (HandleAllocated())
    InvalidateRect(Handle(), &ARect, FALSE);
}

RECT TCustomgxTreeList::GetRowFooterRect(TgxTreeListNode* ANode, int AFooterIndex,
                                         const TgxGridDrawInfo& ADrawInfo, int AInset, int ATop) {
  const int level = GetNodeFooterLevel(ANode, AFooterIndex);
  const int indent = level == -1 ? 0 : (level + 1) * FIndent;
  const int height = FFooterRowNodeHeight;
  RECT r{ADrawInfo.CellsRect.left + indent, ATop + AFooterIndex * height,
         ADrawInfo.CellsRect.left + GetContentWidth() - AInset, ATop + (AFooterIndex + 1) * height};
  if (!FShowRoot)
    r.left -= FIndent;
  if (Empty(ADrawInfo.FixedBandLeftRect)) {
    r.left -= FLeftCoord;
    r.right -= FLeftCoord;
  } else {
    r.right -= FLeftCoord;
  }
  if (!Empty(ADrawInfo.FixedBandRightRect)) {
    if (r.right >= ADrawInfo.CellsRect.right)
      r.right = ADrawInfo.CellsRect.right - AInset;
    if (r.left > ADrawInfo.FixedBandRightRect.left)
      r.left = ADrawInfo.FixedBandRightRect.left;
  }
  r.left = std::max(r.left, ADrawInfo.CellsRect.left);
  return r;
}

void TCustomgxTreeList::MakeExpandButtonGlyphs() {
  for (int i = 0; i < 2; ++i) {
    TBitmap* glyph = i == 0 ? GetPlusBitmap() : GetMinusBitmap();
    if (!glyph)
      continue;
    glyph->SetSize(12, 12);
    HDC dc = glyph->Canvas().Handle();
    RECT r{0, 0, 12, 12};
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_LEFT | BF_TOP);
    DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM);
    RECT inner{1, 1, 11, 11};
    DrawEdge(dc, &inner, BDR_RAISEDINNER, BF_RIGHT | BF_BOTTOM);
    const RECT face{1, 1, 10, 10};
    FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
    const RECT minus{3, 5, 8, 6};
    FillRect(dc, &minus, GetSysColorBrush(COLOR_BTNTEXT));
    if (i == 0) {
      const RECT bar{5, 3, 6, 8};
      FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNTEXT));
    }
  }
}
