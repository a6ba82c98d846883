#include "tree-list-core.h"
#include "tree-list-paint.h"

#include "tree-list-drawing.h"

#include "gx-utils.h"
#include "xp-colors.h"

#include <algorithm>
#include <utility>

// The data rows: the tree area at the left of each row (level cells, tree
// lines, expand buttons, state and node images), then the cells, previews,
// row footers and focus frames; the grid lines of both passes are
// collected and drawn at once.

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

bool Empty(const RECT& ARect) {
  return ARect.right <= ARect.left || ARect.bottom <= ARect.top;
}

// A one-pixel tree line, both end points included.
void TreeLine(HDC ADC, HBRUSH ABrush, int AX1, int AY1, int AX2, int AY2) {
  if (AX2 < AX1 || AY2 < AY1)
    return;
  const RECT r{AX1, AY1, AX2 + 1, AY2 + 1};
  FillRect(ADC, &r, ABrush);
}

} // namespace

void TCustomgxTreeList::GetNodeIndent(TgxTreeListNode* ANode, int& AIndent, int& AImageIndent) {
  AIndent = 0;
  AImageIndent = 0;
  if (!ANode)
    return;
  const int level = ANode->Level();
  const int levels =
      GetNodeHasChildren(ANode) ? level + 1 : level + (FPaintStyle == psStandard ? 1 : 0);
  AIndent = FIndent * levels;
  if (!FShowRoot)
    AIndent -= FIndent;
  AImageIndent = AIndent;
  if (FStateImages && GetNodeStateIndex(ANode) != -1)
    AImageIndent += FStateImages->Width();
  AImageIndent += GetNodeImageWidth(ANode);
}

void TCustomgxTreeList::PaintRows(TgxGridDrawInfo& ADrawInfo, TCanvas& ACanvas,
                                  TPaintObjects& AObjects) {
  HDC dc = ACanvas.Handle();
  if (!FDrawTransparent) {
    if (NeedsPaint(ADrawInfo.EmptyRectRight))
      FillRect(dc, &ADrawInfo.EmptyRectRight, AObjects.Background);
    if (NeedsPaint(ADrawInfo.EmptyRectBottom))
      FillRect(dc, &ADrawInfo.EmptyRectBottom, AObjects.Background);
  }
  if (!NeedsPaint(ADrawInfo.CellsRect) || GetVisibleBandCount() == 0 || ADrawInfo.RowCount == 0)
    return;

  const RECT& cells = ADrawInfo.CellsRect;
  const bool leftFixed = !Empty(ADrawInfo.FixedBandLeftRect);
  const bool rightFixed = !Empty(ADrawInfo.FixedBandRightRect);
  const int shift = leftFixed ? 0 : FLeftCoord;
  const int rootShift = FShowRoot ? 0 : FIndent;
  const int g = FShowGrid ? 1 : 0;
  const bool both = FShowGrid && FShowPreviewGrid;
  const bool standard = FPaintStyle == psStandard;
  const int separator = ADrawInfo.RowSeparatorLineWidth;
  const int contentRight = cells.left + GetContentWidth() - shift;
  const bool focused = AObjects.Focused;
  const bool newItemActive = IsNewItemRowActive();

  // Pass 1: the tree area.
  {
    HRGN saved = nullptr;
    ClipToRect(
        dc, RECT{cells.left, cells.top, cells.left + ADrawInfo.IndentLimit - shift, cells.bottom},
        saved);
    TFinally restoreClip([&] { RestoreClipRgn(dc, saved); });
    HBRUSH treeBrush = AObjects.TreeLine;
    const COLORREF oldText = GetTextColor(dc), oldBack = GetBkColor(dc);
    TFinally restoreColors([&] {
      SetTextColor(dc, oldText);
      SetBkColor(dc, oldBack);
    });
    if (FPaintStandard && FShowLines && FTreeLineStyle == tlDot) {
      // The dots stay where they are on the control whatever the cells' origin.
      treeBrush = GetHalftoneBrush();
      const bool odd = ((cells.left + cells.top) & 1) != 0;
      SetTextColor(dc, ColorToRGB(odd ? FTreeLineColor : Color()));
      SetBkColor(dc, ColorToRGB(odd ? Color() : FTreeLineColor));
    }
    int y = cells.top;
    for (int r = 0; r < ADrawInfo.RowCount; ++r) {
      TgxGridRowDrawInfo& row = ADrawInfo.RowsInfo[r];
      TgxTreeListNode* node = row.Node;
      const int top = y, bottom = y + row.RowHeight;
      y = bottom;
      BeginDrawNode(node);
      TFinally end([&] { EndDrawNode(node); });
      int indent = 0, imageIndent = 0;
      GetNodeIndent(node, indent, imageIndent);
      row.Indent = std::min(imageIndent, ADrawInfo.IndentLimit);
      const RECT area{cells.left - shift, top, cells.left + imageIndent - shift, bottom};
      if (Empty(area) || !NeedsPaint(area))
        continue;
      const int level = node->Level();
      const bool children = GetNodeHasChildren(node);
      const int cellCount = children || standard ? level + 1 : level;
      for (int i = 0; i < cellCount; ++i) {
        RECT cell{cells.left + i * FIndent - rootShift - shift, top,
                  cells.left + (i + 1) * FIndent - 1 - rootShift - shift, bottom};
        if (!standard && !FShowGrid && children && i == cellCount - 1)
          cell.top += 1;
        if (!FShowGrid && standard)
          cell.right += 1;
        else
          cell.bottom -= separator;
        HBRUSH brush = AObjects.Background;
        if (!standard)
          brush = i <= (children ? level : level - 1) ? LevelBrush(AObjects, i) : AObjects.Group;
        if (!FDrawTransparent)
          FillRect(dc, &cell, brush);
      }
      const int x0 = cells.left + level * FIndent - rootShift - shift;
      const int ym = top + row.RowHeight / 2;
      const bool button = FShowButtons && children;
      if (standard && FShowLines) {
        const int xv = x0 + FIndent / 2 - 1;
        TreeLine(dc, treeBrush, xv + (button ? 5 : 0), ym, x0 + FIndent - 1, ym);
        const bool firstTop = IsFirstNode(node);
        const bool last = node->IsLast();
        int raise = 0;
        if (r > 0 && node->Parent() && node->Parent()->GetFirstChild() == node &&
            GetNodeImageHeight(node) > 0)
          raise = (ADrawInfo.RowsInfo[r - 1].RowHeight - GetNodeImageHeight(node)) / 2;
        if (button) {
          if (!firstTop)
            TreeLine(dc, treeBrush, xv, top - raise, xv, ym - 5);
          if (!last)
            TreeLine(dc, treeBrush, xv, ym + 5, xv, bottom - 1);
        } else {
          const int from = firstTop ? ym : top - raise;
          const int to = last ? ym : bottom - 1;
          TreeLine(dc, treeBrush, xv, from, xv, to);
        }
        int ax = xv;
        for (TgxTreeListNode* up = node->Parent(); up; up = up->Parent()) {
          ax -= FIndent;
          if (!up->IsLast())
            TreeLine(dc, treeBrush, ax, top, ax, bottom - 1);
        }
      }
      if (children && (!standard || !FShowGrid)) {
        const int x = cells.left + cellCount * FIndent - 1 - rootShift - shift;
        const RECT strip{x, top, x + 1, bottom - separator};
        FillRect(dc, &strip,
                 standard
                     ? AObjects.Background
                     : (IsLevelColorAssigned() ? LevelBrush(AObjects, level) : AObjects.Group));
      }
      if (button) {
        const RECT box{x0, top, x0 + FIndent - 1, standard ? bottom : bottom - separator};
        if (standard)
          DrawTreeButton(dc, box, ym, !node->Expanded(), AObjects.PlusMinus);
        else
          DrawFlatTreeButton(dc, box, !node->Expanded());
      }
      HBRUSH imageBrush = AObjects.Background;
      if (!standard && (children || row.IsGroup))
        imageBrush = LevelBrush(AObjects, level);
      int x = cells.left + indent - shift;
      const int stateIndex = GetNodeStateIndex(node);
      if (FStateImages && stateIndex != -1) {
        const RECT state{x, top, x + FStateImages->Width(), bottom - separator};
        if (!FDrawTransparent)
          FillRect(dc, &state, imageBrush);
        DrawImageCentered(dc, state, *FStateImages, stateIndex);
        x = state.right;
      }
      if (TCustomImageList* images = GetNodeImages(node)) {
        const RECT image{x, top, x + images->Width(), bottom - separator};
        if (!FDrawTransparent)
          FillRect(dc, &image, imageBrush);
        const int index = row.IsSelected ? GetNodeSelectedIndex(node) : GetNodeImageIndex(node);
        if (index != -1) {
          DrawImageCentered(dc, image, *images, index);
          if (OnPostDrawImage)
            OnPostDrawImage(this, image, node, index);
        }
      }
    }
  }

  // Pass 2: the cells.
  const int headerRows = std::max(FHeaderRowCount, 1);
  const bool clipScroll = GetContentWidth() > cells.right - cells.left;
  int y = cells.top;
  for (int r = 0; r < ADrawInfo.RowCount; ++r) {
    TgxGridRowDrawInfo& row = ADrawInfo.RowsInfo[r];
    TgxTreeListNode* node = row.Node;
    const int top = y, bottom = y + row.RowHeight;
    y = bottom;
    BeginDrawNode(node);
    TFinally end([&] { EndDrawNode(node); });
    const int level = node->Level();
    const bool children = GetNodeHasChildren(node);
    const bool nodeFocused = node == FFocused;
    const int t1 = !standard && !FShowGrid && children ? 1 : 0;
    const int treeEnd = cells.left + row.Indent - shift;
    const int previewHeight =
        row.PreviewLineCount > 0 ? row.PreviewLineCount * FDescTextHeight + (both ? 3 : 2) : 0;
    const int cellsBottom = bottom - previewHeight - separator - row.RowFooterHeight;
    const bool rowSelected = row.IsSelected && !(newItemActive && !IsMultiSelect());
    if (row.IsGroup) {
      RECT cell{cells.left + FIndent - shift, top + t1, contentRight - g, bottom - separator};
      if (rightFixed)
        cell.right = std::min<LONG>(cell.right, cells.right - g);
      if (!Empty(cell) && NeedsPaint(cell)) {
        HBRUSH brush = nullptr;
        TColor text = clWindowText, back = clWindow;
        GetCellColors(node, rowSelected, focused, -1, level, children, true, brush, text, back);
        SetTextColor(dc, ColorToRGB(text));
        SetBkColor(dc, ColorToRGB(back));
        DrawFooterCell(ACanvas, cell, true, true, kCellGroup, false, brush, back,
                       focused && nodeFocused, rowSelected, -1, FFocusedAbsoluteIndex, node,
                       FDrawBitmap.get());
        if (nodeFocused && !newItemActive)
          DrawFocusFrame(dc, cell, focused);
      }
    } else {
      int cb = std::min<int>(cellsBottom,
                             Empty(ADrawInfo.FooterRect) ? cellsBottom : ADrawInfo.FooterRect.top);
      if (leftFixed) {
        const RECT strip{ADrawInfo.FixedBandLeftRect.right - FFixedBandLineWidth, top,
                         ADrawInfo.FixedBandLeftRect.right, cb};
        FillRect(dc, &strip, AObjects.FixedBandLine);
      }
      if (rightFixed) {
        const RECT strip{ADrawInfo.FixedBandRightRect.left, top,
                         ADrawInfo.FixedBandRightRect.left + FFixedBandLineWidth, cb};
        FillRect(dc, &strip, AObjects.FixedBandLine);
      }
      for (int i = 0; i < ADrawInfo.HeaderCount; ++i) {
        const TgxGridHeaderDrawInfo& header = ADrawInfo.HeadersInfo[i];
        const int column = header.AbsoluteIndex;
        RECT cell{header.HeaderRect.left, top + header.RowIndex * FRowHeight + t1,
                  header.HeaderRect.right,
                  top + (header.RowIndex + header.LineCount) * FRowHeight -
                      (FShowPreviewGrid ? g : 0)};
        if (header.BandIndex == 0 && cell.left - (cells.left - shift) < row.Indent)
          cell.left = treeEnd;
        if (headerRows == 1)
          cell.bottom = cellsBottom;
        const bool lastOfFixed =
            (leftFixed && header.BandIndex == ADrawInfo.FixedBandLeftIndex && header.LastColumn) ||
            (rightFixed && header.BandIndex == ADrawInfo.FixedBandPrevRightIndex &&
             header.LastColumn);
        if (!lastOfFixed && FShowPreviewGrid)
          cell.right -= g;
        else if (FShowGrid && !FShowPreviewGrid && header.RightEdgeColumn)
          cell.right -= g;
        if (cell.right <= cell.left || !NeedsPaint(cell))
          continue;
        HRGN saved = nullptr;
        const bool clip = clipScroll && header.BandIndex != ADrawInfo.FixedBandLeftIndex &&
                          header.BandIndex != ADrawInfo.FixedBandRightIndex;
        if (clip) {
          RECT scroll = cells;
          if (leftFixed)
            scroll.left = ADrawInfo.FixedBandLeftRect.right;
          if (rightFixed)
            scroll.right = ADrawInfo.FixedBandRightRect.left;
          ClipToRect(dc, scroll, saved);
        }
        const bool focusedColumn = column == FFocusedAbsoluteIndex;
        bool selected = false;
        if (rowSelected)
          selected = Has(aoRowSelect) || (IsMultiSelect() && !IsInvertSelect()) ||
                     (IsMultiSelect() && IsInvertSelect() && newItemActive) ||
                     (IsMultiSelect() && IsInvertSelect() && !nodeFocused) ||
                     (focusedColumn && !IsInvertSelect()) || (!focusedColumn && IsInvertSelect());
        if (FHideSelection && !focused)
          selected = false;
        const bool focusedCell =
            focused && nodeFocused && (IsInvertSelect() || Has(aoRowSelect) || focusedColumn);
        HBRUSH brush = nullptr;
        TColor text = clWindowText, back = clWindow;
        GetCellColors(node, selected, focused, i, level, children, false, brush, text, back);
        const TPaintObjects::TColumnBrush& own = AObjects.Columns[size_t(i)];
        DrawCell(ACanvas, cell, own.Brush ? own.Brush : AObjects.Background, own.Color,
                 header.RightEdgeColumn, header.LeftEdgeColumn, kCellData,
                 header.LineCount > 1 || row.RowLineCount > 1 || header.MultiLine, brush, text,
                 back, focusedCell, selected, column, node, FDrawBitmap.get());
        if (!newItemActive && !Has(aoRowSelect) && !IsInvertSelect() && nodeFocused &&
            focusedColumn)
          DrawFocusFrame(dc, cell, focused);
        if (both && headerRows > 1)
          AObjects.AddSegment(cell.left, cell.bottom, cell.right, cell.bottom);
        if (both && !lastOfFixed) {
          int lineBottom = cell.bottom + 1;
          if (header.LastColumn)
            lineBottom = std::max(lineBottom, headerRows == 1 ? cellsBottom + 1
                                                              : top + headerRows * FRowHeight);
          AObjects.AddSegment(cell.right, cell.top, cell.right, lineBottom);
        }
        if (!Empty(header.HeaderEmptyRect)) {
          const RECT below{cell.left, cell.bottom + (both ? 1 : 0), cell.right + g,
                           top + headerRows * FRowHeight};
          if (!Empty(below))
            FillRect(dc, &below, AObjects.Background);
        }
        if (clip)
          RestoreClipRgn(dc, saved);
      }
      for (int i = 0; i < ADrawInfo.EmptyRectCount; ++i) {
        const TgxGridEmptyRectDrawInfo& empty = ADrawInfo.EmptyRectsInfo[i];
        RECT area{empty.BandIndex == 0 ? treeEnd : empty.EmptyRect.left, top + t1,
                  empty.EmptyRect.right,
                  headerRows == 1 ? cellsBottom : top + headerRows * FRowHeight};
        if (both && !empty.ClippingFlag) {
          area.right -= 1;
          AObjects.AddSegment(area.right, area.top, area.right, area.bottom);
        }
        if (!Empty(area) && NeedsPaint(area))
          FillRect(dc, &area, AObjects.Background);
      }
    }
    if (row.PreviewLineCount > 0) {
      const RECT preview{treeEnd,
                         bottom - row.PreviewLineCount * FDescTextHeight - separator -
                             row.RowFooterHeight - 2,
                         contentRight - g, bottom - separator - row.RowFooterHeight};
      if (!Empty(preview) && NeedsPaint(preview)) {
        const bool selected = rowSelected &&
                              (Has(aoRowSelect) || IsInvertSelect() || IsMultiSelect()) &&
                              !(FHideSelection && !focused);
        HBRUSH brush = nullptr;
        TColor text = clWindowText, back = clWindow;
        GetCellColors(node, selected, focused, -1, level, children, false, brush, text, back);
        DrawPreview(ACanvas, preview, selected, brush, text, back, node, FDrawBitmap.get());
        if (both)
          AObjects.AddSegment(preview.left, preview.top - 1, preview.right, preview.top - 1);
      }
    }
    for (int j = 0; j < row.RowFooterCount; ++j) {
      RECT footer =
          GetRowFooterRect(node, j, ADrawInfo, g, bottom - separator - row.RowFooterHeight);
      if (both) {
        AObjects.AddSegment(footer.left, footer.top, footer.right, footer.top);
        if (footer.right < cells.right)
          AObjects.AddSegment(footer.right, footer.top, footer.right, footer.bottom);
        footer.top += g;
      }
      if (Empty(footer) || !NeedsPaint(footer))
        continue;
      const int footerLevel = GetNodeFooterLevel(node, j);
      HBRUSH brush =
          IsLevelColorAssigned() ? LevelBrush(AObjects, std::max(footerLevel, 0)) : AObjects.Footer;
      FillRect(dc, &footer, brush);
      const int lastBand = GetVisibleBandCount() - 1;
      for (int i = 0; i < ADrawInfo.HeaderCount; ++i) {
        const TgxGridHeaderDrawInfo& header = ADrawInfo.HeadersInfo[i];
        if (!IsExistRowFooterCell(node, header.AbsoluteIndex, j))
          continue;
        RECT cell{std::max<LONG>(header.HeaderRect.left, footer.left),
                  footer.top + 1 + header.RowIndex * FFooterRowHeight, header.HeaderRect.right,
                  footer.top + 1 + (header.RowIndex + header.LineCount) * FFooterRowHeight};
        InflateRect(&cell, -1, -1);
        if (header.BandIndex == 0 && header.FirstColumn)
          cell.left += 1;
        if (header.BandIndex == lastBand && header.LastColumn)
          cell.right -= 2;
        if (Empty(cell) || !NeedsPaint(cell))
          continue;
        if (FLookAndFeel == lfUltraFlat)
          FrameRect(dc, &cell, GetSysColorBrush(COLOR_BTNSHADOW));
        else
          DrawEdge(dc, &cell, BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&cell, -1, -1);
        SetTextColor(dc, ColorToRGB(FFooterTextColor));
        SetBkColor(dc, ColorToRGB(FFooterColor));
        DrawFooterCell(ACanvas, cell, header.RightEdgeColumn, header.LeftEdgeColumn, kCellFooter,
                       header.LineCount > 1, brush, FFooterColor, false, false, j,
                       header.AbsoluteIndex, node, FDrawBitmap.get());
      }
    }
    if (!newItemActive && (Has(aoRowSelect) || IsInvertSelect()) && nodeFocused &&
        ((focused && !HidesFocusRect()) || (!focused && !FHideFocusRect))) {
      const RECT frame{treeEnd, top + t1, contentRight - g,
                       bottom - separator - row.RowFooterHeight};
      if (!Empty(frame))
        DrawFocusFrame(dc, frame, focused);
    }
    // Level lines and the separator under the row.
    const int levelLines = standard ? (FShowGrid ? level + 1 : 0) : level;
    for (int i = 0; i < levelLines; ++i) {
      const int x = cells.left + (i + 1) * FIndent - 1 - rootShift - shift;
      if (x >= cells.left && x < treeEnd)
        AObjects.AddSegment(x, top, x, bottom);
    }
    if (FShowGrid || (!standard && children)) {
      int start = level * FIndent;
      TgxTreeListNode* next = r + 1 < ADrawInfo.RowCount ? ADrawInfo.RowsInfo[r + 1].Node : nullptr;
      if (node->Expanded() && children)
        start += FIndent - 1;
      else if (!children && node->IsLast())
        start -= FIndent;
      if (next && next->Level() < level)
        start = next->Level() * FIndent;
      if (IsLastNode(node))
        start = 0;
      start -= rootShift;
      bool onTop = false;
      if (!standard && !FShowGrid && children) {
        start = level * FIndent - rootShift;
        onTop = true;
      }
      start = std::min(start, int(ADrawInfo.IndentLimit));
      const int x = std::max<int>(cells.left + start - shift, cells.left);
      const int lines = FShowGrid ? std::max(separator, 1) : 1;
      const int end = ADrawInfo.EdgeX + (FShowGrid ? 0 : 1);
      for (int k = 0; k < lines; ++k) {
        const int ly = onTop ? top + k : bottom - 1 - k;
        AObjects.AddSegment(x, ly, end, ly);
      }
    }
  }
  if (FShowGrid) {
    const int lineBottom = ADrawInfo.EdgeY != -1 ? ADrawInfo.EdgeY + 1 : cells.bottom;
    AObjects.AddSegment(ADrawInfo.EdgeX, cells.top, ADrawInfo.EdgeX, lineBottom);
  }
  AObjects.DrawSegments(dc, FShowGrid ? GetGridLineColor() : Color());
}
