// The draw info: the layout of the tree list computed from scratch for each
// paint, hit test and cell rectangle, and the hit test that classifies a
// client point against it.

#include "tree-list-draw-info.h"

#include "tree-list-core.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

void TgxGridDrawInfo::Release() {
  delete[] BandsInfo;
  BandsInfo = nullptr;
  BandCount = 0;
  delete[] HeadersInfo;
  HeadersInfo = nullptr;
  HeaderCount = 0;
  delete[] EmptyRectsInfo;
  EmptyRectsInfo = nullptr;
  EmptyRectCount = 0;
  delete[] RowsInfo;
  RowsInfo = nullptr;
  RowCount = 0;
}

void TgxGridDrawInfo::Clear() {
  Release();
  const RECT none{};
  CRect = GroupPanelRect = BandRect = BandButtonRect = HeaderRect = HeaderButtonRect = none;
  IndicatorRect = NewItemRowRect = CellsRect = EmptyRectRight = EmptyRectBottom = none;
  FooterRect = StatusRect = FixedBandLeftRect = FixedBandRightRect = none;
  FixedBandLeftIndex = FixedBandRightIndex = FixedBandPrevRightIndex = -1;
  EdgeX = 0;
  EdgeY = -1;
  IndentLimit = 0;
  RowSeparatorLineWidth = 0;
}

namespace {

// The room of a counted array, filled from a vector.
template <typename T> T* CopyOut(const std::vector<T>& AItems, int32_t& ACount) {
  ACount = int32_t(AItems.size());
  if (AItems.empty())
    return nullptr;
  T* items = new T[AItems.size()];
  std::copy(AItems.begin(), AItems.end(), items);
  return items;
}

// avail x part / whole, rounded to the nearest, in 64 bits.
int Scale(int AAvail, int APart, int AWhole) {
  if (AWhole == 0)
    return 0;
  const int64_t product = int64_t(AAvail) * APart;
  const int64_t half = (AWhole > 0 ? AWhole : -AWhole) / 2;
  const int64_t rounded = product >= 0 ? (product + half) / AWhole : (product - half) / AWhole;
  return int(rounded);
}

bool Contains(const RECT& ARect, int AX, int AY) {
  return AX >= ARect.left && AX < ARect.right && AY >= ARect.top && AY < ARect.bottom;
}

bool IsEmptyRect(const RECT& ARect) {
  return ARect.right <= ARect.left || ARect.bottom <= ARect.top;
}

constexpr int kEdgeZone = 4;
constexpr int kMetafileRowLimit = 500;

} // namespace

// ===========================================================================
// the layout

void TCustomgxTreeList::FreeDrawInfo(TgxGridDrawInfo& ADrawInfo) {
  ADrawInfo.Release();
}

void TCustomgxTreeList::CalcRectInfo(TgxGridDrawInfo& ADrawInfo, bool AIncludeAll) {
  ADrawInfo.Clear();
  const int g = std::max(0, FGroupPanelHeight);
  const int b = FShowBands ? std::max(0, FBandHeight) : 0;
  const int h = FShowHeaders ? std::max(0, FHeaderHeight) : 0;
  const int n = IsShowNewItemRow() ? std::max(0, FNewItemRowHeight) : 0;
  const int i = FShowIndicator ? std::max(0, GetIndicatorWidth()) : 0;
  const int f = FShowFooter ? std::max(0, FFooterHeight) : 0;
  const int s = IsShowStatusPanel() ? std::max(0, FStatusHeight) : 0;

  RECT& c = ADrawInfo.CRect;
  c = ClientRect();
  if (AIncludeAll)
    c.right = c.left + i + GetContentWidth();
  if (g > 0)
    ADrawInfo.GroupPanelRect = RECT{c.left, c.top, c.right, c.top + g};
  ADrawInfo.BandRect = RECT{c.left + i, c.top + g, c.right, c.top + g + b};
  if (i > 0)
    ADrawInfo.BandButtonRect = RECT{c.left, c.top + g, c.left + i, c.top + g + b};
  ADrawInfo.HeaderRect = RECT{c.left + i, c.top + g + b, c.right, c.top + g + b + h};
  if (i > 0)
    ADrawInfo.HeaderButtonRect = RECT{c.left, c.top + g + b, c.left + i, c.top + g + b + h};
  if (n > 0)
    ADrawInfo.NewItemRowRect = RECT{c.left, c.top + g + b + h, c.right, c.top + g + b + h + n};
  RECT& cells = ADrawInfo.CellsRect;
  cells = RECT{c.left + i, c.top + g + b + h + n, c.right, c.bottom - f - s};
  if (cells.bottom < cells.top)
    cells.bottom = cells.top;
  ADrawInfo.IndicatorRect = RECT{c.left, cells.top, cells.left, cells.bottom};
  if (f > 0)
    ADrawInfo.FooterRect = RECT{c.left, cells.bottom, c.right, cells.bottom + f};
  if (s > 0)
    ADrawInfo.StatusRect = RECT{c.left, cells.bottom + f, c.right, cells.bottom + f + s};
}

void TCustomgxTreeList::CalcDrawInfo(TgxGridDrawInfo& ADrawInfo) {
  CalcRectInfo(ADrawInfo, false);
  CalcBandsInfo(ADrawInfo);
  std::vector<TgxTreeListNode*> rows;
  const int room =
      FRowHeight > 0 ? (ADrawInfo.CellsRect.bottom - ADrawInfo.CellsRect.top) / FRowHeight + 1 : 1;
  rows.reserve(size_t(std::max(1, room)));
  int y = ADrawInfo.CellsRect.top;
  for (TgxTreeListNode* node = FTopVisibleNode; node && y < ADrawInfo.CellsRect.bottom;
       node = node->GetNextNode()) {
    rows.push_back(node);
    y += CalcRowHeight(node, FRowHeight, false);
  }
  CalcRowsInfo(ADrawInfo, rows, true);
}

void TCustomgxTreeList::CalcDrawInfo(TgxGridDrawInfo& ADrawInfo, bool ASelectedOnly) {
  CalcRectInfo(ADrawInfo, true);
  CalcBandsInfo(ADrawInfo);
  std::vector<TgxTreeListNode*> rows;
  if (ASelectedOnly) {
    for (TgxTreeListNode* node = TopNode(); node && int(rows.size()) < kMetafileRowLimit;
         node = node->GetNext())
      if (IsNodeSelected(node))
        rows.push_back(node);
  } else {
    for (TgxTreeListNode* node = TopNode(); node && int(rows.size()) < kMetafileRowLimit;
         node = node->GetNextNode())
      rows.push_back(node);
  }
  int height = 0;
  for (TgxTreeListNode* node : rows)
    height += CalcRowHeight(node, FRowHeight, false);
  // The picture ends below its last row: the footer follows the rows, and
  // it has no status panel.
  const int footer = ADrawInfo.FooterRect.bottom - ADrawInfo.FooterRect.top;
  ADrawInfo.CellsRect.bottom = ADrawInfo.CellsRect.top + height;
  ADrawInfo.IndicatorRect.bottom = ADrawInfo.CellsRect.bottom;
  if (footer > 0)
    ADrawInfo.FooterRect = RECT{ADrawInfo.CRect.left, ADrawInfo.CellsRect.bottom,
                                ADrawInfo.CRect.right, ADrawInfo.CellsRect.bottom + footer};
  ADrawInfo.StatusRect = RECT{};
  ADrawInfo.CRect.bottom = ADrawInfo.CellsRect.bottom + std::max(0, footer);
  if (ADrawInfo.EmptyRectRight.right > ADrawInfo.EmptyRectRight.left)
    ADrawInfo.EmptyRectRight.bottom = ADrawInfo.CellsRect.bottom;
  CalcRowsInfo(ADrawInfo, rows, false);
}

void TCustomgxTreeList::CalcBandsInfo(TgxGridDrawInfo& ADrawInfo) {
  const int bands = GetVisibleBandCount();
  const RECT cells = ADrawInfo.CellsRect;
  const int newItemSeparator = IsShowNewItemRow() ? FNewItemRowSeparatorHeight : 0;
  std::vector<TgxGridBandDrawInfo> bandInfos;
  bandInfos.reserve(size_t(std::max(0, bands)));
  int zoneLeft = ADrawInfo.BandRect.left;
  int zoneRight = ADrawInfo.BandRect.right;
  int first = 0, last = bands - 1;
  const int leftFixed = bands > 0 ? GetLeftFixedBand() : -1;
  const int rightFixed = bands > 0 ? GetRightFixedBand() : -1;

  if (leftFixed == 0) {
    const int w = GetBandWidth(0);
    zoneLeft += w;
    ADrawInfo.FixedBandLeftRect = RECT{ADrawInfo.BandRect.left, ADrawInfo.BandRect.top,
                                       ADrawInfo.BandRect.left + w, cells.top - newItemSeparator};
    TgxGridBandDrawInfo entry;
    entry.Index = 0;
    entry.BandRect =
        RECT{ADrawInfo.BandRect.left, ADrawInfo.BandRect.top,
             ADrawInfo.FixedBandLeftRect.right - FFixedBandLineWidth, ADrawInfo.BandRect.bottom};
    entry.BandClipRect = entry.BandRect;
    bandInfos.push_back(entry);
    ADrawInfo.FixedBandLeftIndex = 0;
    first = 1;
  }

  const int content = GetContentWidth();
  if (content < ADrawInfo.BandRect.right - ADrawInfo.BandRect.left) {
    const int right = ADrawInfo.BandRect.left + content;
    ADrawInfo.BandRect.right = right;
    ADrawInfo.HeaderRect.right = right;
    ADrawInfo.EmptyRectRight =
        RECT{right, ADrawInfo.BandRect.top, ADrawInfo.CRect.right, cells.bottom};
    if (!IsEmptyRect(ADrawInfo.NewItemRowRect))
      ADrawInfo.NewItemRowRect.right = right;
  }

  if (rightFixed >= 0 && rightFixed == bands - 1 && rightFixed != leftFixed) {
    const int w = GetBandWidth(rightFixed);
    RECT& fixed = ADrawInfo.FixedBandRightRect;
    fixed = RECT{ADrawInfo.BandRect.right - w, ADrawInfo.BandRect.top, ADrawInfo.BandRect.right,
                 cells.top - newItemSeparator};
    const int floor =
        std::max<int>(ADrawInfo.FixedBandLeftRect.right, ADrawInfo.IndicatorRect.right);
    if (fixed.left < floor) {
      fixed.left = floor;
      fixed.right = floor + w;
    }
    ADrawInfo.FixedBandRightIndex = last;
    --last;
    zoneRight = fixed.left;
  }

  // The scrolled bands: only those that show in the zone between the fixed
  // bands are laid out.
  int x = -FLeftCoord;
  const int zone = zoneRight - zoneLeft;
  for (int i = first; i <= last; ++i) {
    const int w = GetBandWidth(i);
    if (x < zone && x + w > 0) {
      TgxGridBandDrawInfo entry;
      entry.Index = i;
      entry.BandRect =
          RECT{zoneLeft + x, ADrawInfo.BandRect.top, zoneLeft + x + w, ADrawInfo.BandRect.bottom};
      entry.BandClipRect = entry.BandRect;
      entry.BandClipRect.left = std::max<int>(entry.BandClipRect.left, zoneLeft);
      entry.BandClipRect.right = std::min<int>(entry.BandClipRect.right, zoneRight);
      bandInfos.push_back(entry);
    }
    x += w;
    if (ADrawInfo.FixedBandRightIndex >= 0)
      ADrawInfo.FixedBandPrevRightIndex = i;
    if (x > zone)
      break;
  }

  if (ADrawInfo.FixedBandRightIndex >= 0) {
    TgxGridBandDrawInfo entry;
    entry.Index = ADrawInfo.FixedBandRightIndex;
    entry.BandRect =
        RECT{ADrawInfo.FixedBandRightRect.left + FFixedBandLineWidth, ADrawInfo.BandRect.top,
             ADrawInfo.FixedBandRightRect.right, ADrawInfo.BandRect.bottom};
    entry.BandClipRect = entry.BandRect;
    entry.BandClipRect.right = ADrawInfo.BandRect.right;
    bandInfos.push_back(entry);
  }

  // Headers: one entry per column of every band row, or one empty area for
  // a band without header rows.
  const int panelRows = std::max(1, GetHeaderPanelRowCount());
  const int headerHeight = ADrawInfo.HeaderRect.bottom - ADrawInfo.HeaderRect.top;
  const int rowHeight = FHeaderRowHeight > 0 ? FHeaderRowHeight : headerHeight / panelRows;
  const int lastScrolled = ADrawInfo.FixedBandRightIndex >= 0 ? bands - 2 : bands - 1;
  std::vector<TgxGridHeaderDrawInfo> headers;
  std::vector<TgxGridEmptyRectDrawInfo> empties;
  for (const TgxGridBandDrawInfo& band : bandInfos) {
    const RECT& clip = band.BandClipRect;
    const int rows = GetHeaderRowCount(band.Index);
    if (rows <= 0) {
      const RECT area{band.BandRect.left, band.BandRect.bottom, band.BandRect.right,
                      band.BandRect.bottom + rowHeight * panelRows};
      if (area.right > clip.left && area.left < clip.right) {
        TgxGridEmptyRectDrawInfo entry;
        entry.BandIndex = band.Index;
        entry.EmptyRect = area;
        entry.EmptyRect.left = std::max(area.left, clip.left);
        entry.EmptyRect.right = std::min(area.right, clip.right);
        entry.ClippingFlag = clip.right < band.BandRect.right;
        empties.push_back(entry);
      }
      continue;
    }
    const int width = band.BandRect.right - band.BandRect.left;
    for (int r = 0; r < rows; ++r) {
      const int cols = GetHeaderColCount(band.Index, r);
      std::vector<int> columns(size_t(std::max(0, cols)));
      int total = 0, minTotal = 0, scalableSum = 0;
      for (int col = 0; col < cols; ++col) {
        columns[size_t(col)] = GetHeaderAbsoluteIndex(band.Index, r, col);
        total += GetColumnWidth(columns[size_t(col)]);
        minTotal += GetColumnMinWidth(columns[size_t(col)]);
      }
      int avail = width;
      bool tight = false;
      for (int col = 0; col < cols; ++col) {
        const int column = columns[size_t(col)];
        const int own = GetColumnWidth(column);
        if (IsColumnSizable(column) && Scale(avail, own, total) >= GetColumnMinWidth(column))
          scalableSum += own;
        else
          tight = true;
      }
      int offset = 0;
      for (int col = 0; col < cols; ++col) {
        const int column = columns[size_t(col)];
        const int own = GetColumnWidth(column);
        const int minimum = GetColumnMinWidth(column);
        int w = 0;
        if (col == cols - 1) {
          w = width - offset;
        } else if (!IsColumnSizable(column)) {
          w = own;
          avail -= own;
          total -= own;
          minTotal -= own;
        } else {
          const int scaled = Scale(avail, own, total);
          if (scalableSum == total)
            w = scaled;
          else if (minimum < scaled)
            w = tight ? Scale(avail - minTotal, own, scalableSum) + minimum : scaled;
          else
            w = minimum;
        }
        int lines = 1;
        if (r == rows - 1) {
          lines = GetHeaderLineCount(band.Index, r, col);
          if (lines <= 0)
            lines = panelRows;
          lines = std::min(lines, panelRows - r);
          lines = std::max(1, lines);
        }
        const RECT rect{band.BandRect.left + offset, band.BandRect.bottom + rowHeight * r,
                        band.BandRect.left + offset + w,
                        band.BandRect.bottom + rowHeight * r + rowHeight * lines};
        offset += w;
        if (rect.right <= clip.left || rect.left >= clip.right)
          continue;
        TgxGridHeaderDrawInfo entry;
        entry.AbsoluteIndex = column;
        entry.BandIndex = band.Index;
        entry.RowIndex = r;
        entry.ColIndex = col;
        entry.LineCount = lines;
        entry.HeaderRect = rect;
        entry.HeaderClipRect = rect;
        entry.HeaderClipRect.left = std::max(rect.left, clip.left);
        entry.HeaderClipRect.right = std::min(rect.right, clip.right);
        if (r == rows - 1 && r + lines < panelRows)
          entry.HeaderEmptyRect =
              RECT{entry.HeaderClipRect.left, band.BandRect.bottom + (r + lines) * rowHeight,
                   entry.HeaderClipRect.right, band.BandRect.bottom + panelRows * rowHeight};
        entry.FirstColumn = col == 0;
        entry.LastColumn = col == cols - 1;
        entry.LeftEdgeColumn = band.Index == 0 && col == 0;
        entry.RightEdgeColumn = band.Index == lastScrolled && col == cols - 1;
        entry.MultiLine = GetHeaderMaxLineCount(column) != 1;
        headers.push_back(entry);
      }
    }
  }
  ADrawInfo.BandsInfo = CopyOut(bandInfos, ADrawInfo.BandCount);
  ADrawInfo.HeadersInfo = CopyOut(headers, ADrawInfo.HeaderCount);
  ADrawInfo.EmptyRectsInfo = CopyOut(empties, ADrawInfo.EmptyRectCount);

  // The widest tree indent that fits the first band.
  int limit = bands > 0 ? GetBandWidth(0) : 0;
  if (ADrawInfo.FixedBandLeftIndex >= 0)
    limit = std::min<int>(limit, ADrawInfo.FixedBandLeftRect.right - FFixedBandLineWidth -
                                     ADrawInfo.CellsRect.left);
  if (ADrawInfo.FixedBandRightIndex >= 0)
    limit = std::min<int>(limit, ADrawInfo.FixedBandRightRect.left - ADrawInfo.CellsRect.left +
                                     (ADrawInfo.FixedBandLeftIndex < 0 ? FLeftCoord : 0));
  ADrawInfo.IndentLimit = limit;
  ADrawInfo.RowSeparatorLineWidth = FShowGrid ? std::max(1, GetRowSeparatorLineWidth()) : 0;

  int edge = content + ADrawInfo.CellsRect.left - 1;
  if (ADrawInfo.FixedBandLeftIndex < 0)
    edge -= FLeftCoord;
  if (ADrawInfo.FixedBandRightIndex >= 0)
    edge = std::min<int>(edge, ADrawInfo.CellsRect.right - 1);
  ADrawInfo.EdgeX = edge;

  for (RECT* rect : {&ADrawInfo.BandRect, &ADrawInfo.BandButtonRect, &ADrawInfo.HeaderRect,
                     &ADrawInfo.HeaderButtonRect})
    if (rect->bottom <= rect->top)
      *rect = RECT{};
}

void TCustomgxTreeList::CalcRowsInfo(TgxGridDrawInfo& ADrawInfo,
                                     const std::vector<TgxTreeListNode*>& ANodes,
                                     bool AMarkSelected) {
  std::vector<TgxGridRowDrawInfo> rows;
  rows.reserve(ANodes.size());
  const bool preview = IsPreview();
  const bool lineCounts = IsRowAutoHeight() && GetHeaderPanelRowCount() == 1;
  int y = ADrawInfo.CellsRect.top;
  for (TgxTreeListNode* node : ANodes) {
    TgxGridRowDrawInfo row;
    row.Node = node;
    row.IsGroup = IsGroupNode(node);
    row.IsSelected = AMarkSelected && IsNodeSelected(node);
    row.RowHeight = CalcRowHeight(node, FRowHeight, false);
    row.RowFooterCount = GetLevelFooterCount(node);
    row.RowFooterHeight = row.RowFooterCount * FFooterRowNodeHeight;
    row.IndicatorKind = GetRowIndicatorKind(node, row.IsSelected);
    row.PreviewLineCount = preview ? GetPreviewLineCount(node) : 0;
    row.RowLineCount = lineCounts ? node->RowLineCount() : -1;
    int indent = 0, imageIndent = 0;
    GetNodeIndent(node, indent, imageIndent);
    row.Indent = std::min(imageIndent, int(ADrawInfo.IndentLimit));
    rows.push_back(row);
    y += row.RowHeight;
  }
  ADrawInfo.RowsInfo = CopyOut(rows, ADrawInfo.RowCount);
  ADrawInfo.EdgeY = -1;
  if (y < ADrawInfo.CellsRect.bottom) {
    ADrawInfo.EdgeY = y - 1;
    ADrawInfo.EmptyRectBottom =
        RECT{ADrawInfo.CRect.left, y, ADrawInfo.EdgeX + 1, ADrawInfo.CellsRect.bottom};
    ADrawInfo.IndicatorRect.bottom = y;
  }
}

int TCustomgxTreeList::StateImageWidth() {
  return FStateImages ? FStateImages->Width() : 0;
}

// ===========================================================================
// cells

RECT TCustomgxTreeList::CellRect(TgxTreeListNode* ANode, int AColumn) {
  const RECT none{-1, -1, -1, -1};
  const int column = GetFocusedAbsoluteIndex(AColumn);
  if (!ANode || column < 0)
    return none;
  TgxGridDrawInfo info;
  CalcDrawInfo(info);
  int rowTop = info.CellsRect.top;
  const TgxGridRowDrawInfo* row = nullptr;
  for (int i = 0; i < info.RowCount; ++i) {
    if (info.RowsInfo[i].Node == ANode) {
      row = &info.RowsInfo[i];
      break;
    }
    rowTop += info.RowsInfo[i].RowHeight;
  }
  const TgxGridHeaderDrawInfo* header = nullptr;
  for (int i = 0; i < info.HeaderCount && !header; ++i)
    if (info.HeadersInfo[i].AbsoluteIndex == column)
      header = &info.HeadersInfo[i];
  RECT rect = none;
  if (row && header) {
    int indent = 0, imageIndent = 0;
    GetNodeIndent(ANode, indent, imageIndent);
    int x = header->HeaderRect.left;
    if (info.FixedBandLeftIndex < 0)
      x += FLeftCoord;
    rect.left = header->HeaderRect.left;
    if (header->BandIndex == 0 && x - info.CellsRect.left < indent)
      rect.left = header->HeaderRect.left + indent - (x - info.CellsRect.left);
    const int d = FPaintStyle == psOutlook && !FShowGrid && GetNodeHasChildren(ANode) ? 1 : 0;
    const int cellTop = rowTop + FRowHeight * header->RowIndex;
    rect.top = cellTop + d;
    rect.bottom =
        cellTop + FRowHeight * header->LineCount + d - (FShowGrid && FShowPreviewGrid ? 1 : 0);
    rect.right = header->HeaderRect.right;
    if (IsRowAutoHeight())
      rect.bottom = rect.top + row->RowHeight - info.RowSeparatorLineWidth - row->RowFooterHeight;
  }
  FreeDrawInfo(info);
  return rect;
}

RECT TCustomgxTreeList::GetEditRect(TgxTreeListNode* ANode, int AVisibleColumn) {
  RECT rect = CellRect(ANode, AVisibleColumn);
  const int column = GetFocusedAbsoluteIndex(AVisibleColumn);
  if (rect.left == -1 && rect.right == -1 && !IsNewItemRowActive())
    return rect;
  TgxGridDrawInfo info;
  CalcDrawInfo(info);
  const TgxGridHeaderDrawInfo* header = nullptr;
  for (int i = 0; i < info.HeaderCount && !header; ++i)
    if (info.HeadersInfo[i].AbsoluteIndex == column)
      header = &info.HeadersInfo[i];
  if (!header) {
    FreeDrawInfo(info);
    return rect;
  }
  const int bands = GetVisibleBandCount();
  const bool lastBand = header->BandIndex == bands - 1;
  const bool lastOfRow = header->LastColumn;
  const bool grids = FShowGrid && FShowPreviewGrid;
  if (grids) {
    const bool beforeRightFixed =
        info.FixedBandRightIndex >= 0 && header->BandIndex == info.FixedBandRightIndex - 1;
    if (!(lastOfRow && (header->BandIndex == info.FixedBandLeftIndex || beforeRightFixed)))
      rect.right -= 1;
  } else if (lastOfRow && lastBand && (!IsInvertSelect() || FShowGrid)) {
    rect.right -= 1;
  }
  int indent = 0, imageIndent = 0;
  GetNodeIndent(ANode, indent, imageIndent);
  const bool firstCell = header->BandIndex == 0 && header->ColIndex == 0;
  if (firstCell)
    rect.left = std::max<int>(rect.left, info.CellsRect.left + imageIndent);
  if (IsNewItemRowActive()) {
    if (firstCell)
      rect.left = std::max<int>(header->HeaderRect.left, int(rect.left) - imageIndent);
    if (rect.left == -1)
      rect.left = header->HeaderRect.left;
    rect.right = header->HeaderRect.right - (grids ? 1 : 0);
    rect.top = info.NewItemRowRect.top;
    rect.bottom = rect.top + FRowHeight - (grids ? 1 : 0);
  }
  if (IsInvertSelect()) {
    rect.top += 1;
    rect.bottom -= 1;
    if (firstCell)
      rect.left += 1;
    if (lastOfRow && lastBand)
      rect.right -= 1;
  }
  FreeDrawInfo(info);
  return rect;
}

// ===========================================================================
// hit tests

TgxTreeListHitInfo TCustomgxTreeList::GetHitInfo(POINT APoint) {
  TgxTreeListHitInfo hit;
  hit.X = APoint.x;
  hit.Y = APoint.y;
  hit.hitType = htOutside;
  TgxGridDrawInfo info;
  CalcDrawInfo(info);
  ClassifyPoint(info, hit);
  FreeDrawInfo(info);
  return hit;
}

// Whether the visible band may be sized by its edge.
bool TCustomgxTreeList::IsBandEdgeSizable(int AVisibleIndex) {
  if (AVisibleIndex < 0 || !HasEx(aoBandSizing) || !IsBandSizable(AVisibleIndex))
    return false;
  return !IsBandHeaderWidth() || FShowBands;
}

void TCustomgxTreeList::ClassifyPoint(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit) {
  const int x = AHit.X, y = AHit.Y;
  if (!Contains(AInfo.CRect, x, y))
    return;
  AHit.hitType = htNowhere;
  // The zone where bands scroll: between the fixed bands.
  const int zoneLeft =
      AInfo.FixedBandLeftIndex >= 0 ? int(AInfo.FixedBandLeftRect.right) : int(AInfo.BandRect.left);
  const int zoneRight = AInfo.FixedBandRightIndex >= 0 ? int(AInfo.FixedBandRightRect.left)
                                                       : int(AInfo.BandRect.right);
  // The right edge a sizing grip is measured from: a strip that reaches past
  // both ends of the zone is sized at the zone's end, one cut only on the
  // right by its own hidden edge.
  auto gripRight = [&](const RECT& ARect) {
    if (ARect.left < zoneLeft && ARect.right > zoneRight)
      return zoneRight;
    return int(ARect.right);
  };
  auto nearRight = [&](const RECT& ARect) {
    const int right = gripRight(ARect);
    return x >= right - kEdgeZone && x < right;
  };
  const int bands = GetVisibleBandCount();

  if (Contains(AInfo.GroupPanelRect, x, y)) {
    AHit.hitType = htGroupPanel;
    return;
  }
  if (IsBandPanelSizing() && !IsEmptyRect(AInfo.BandRect) && x >= AInfo.BandButtonRect.left &&
      x < AInfo.CRect.right && std::abs(y - int(AInfo.BandRect.bottom)) <= kEdgeZone) {
    AHit.hitType = htBandPanelEdge;
    return;
  }
  if (Contains(AInfo.BandButtonRect, x, y)) {
    AHit.hitType = htBandButton;
    return;
  }
  const bool inBandStrip = !IsEmptyRect(AInfo.BandRect) && y >= AInfo.BandRect.top &&
                           y < AInfo.BandRect.bottom && x >= AInfo.BandRect.left;
  if (inBandStrip && x < AInfo.BandRect.right) {
    AHit.hitType = htBand;
    for (int i = 0; i < AInfo.BandCount; ++i) {
      const TgxGridBandDrawInfo& band = AInfo.BandsInfo[i];
      if (!Contains(band.BandRect, x, y) || !Contains(band.BandClipRect, x, y))
        continue;
      AHit.Band = band.Index;
      if (IsBandEdgeSizable(band.Index) && nearRight(band.BandRect)) {
        AHit.hitType = htBandEdge;
      } else if (i > 0 && x <= AInfo.BandsInfo[i - 1].BandRect.right + kEdgeZone &&
                 x >= AInfo.BandsInfo[i - 1].BandRect.right - kEdgeZone &&
                 IsBandEdgeSizable(AInfo.BandsInfo[i - 1].Index)) {
        AHit.hitType = htBandEdge;
        AHit.Band = AInfo.BandsInfo[i - 1].Index;
      }
      return;
    }
    for (int i = 0; i < AInfo.BandCount; ++i) {
      const TgxGridBandDrawInfo& band = AInfo.BandsInfo[i];
      if (x >= band.BandRect.right && x < band.BandRect.right + kEdgeZone &&
          IsBandEdgeSizable(band.Index)) {
        AHit.hitType = htBandEdge;
        AHit.Band = band.Index;
        return;
      }
    }
    return;
  }
  if (inBandStrip && x < AInfo.BandRect.right + kEdgeZone) {
    if (bands > 0 && IsBandEdgeSizable(bands - 1)) {
      AHit.hitType = htBandEdge;
      AHit.Band = bands - 1;
    }
    return;
  }
  if (IsHeaderPanelSizing() && !IsEmptyRect(AInfo.HeaderRect) &&
      std::abs(y - int(AInfo.HeaderRect.bottom)) <= kEdgeZone) {
    AHit.hitType = htHeaderPanelEdge;
    return;
  }
  if (Contains(AInfo.HeaderButtonRect, x, y)) {
    AHit.hitType = htHeaderButton;
    return;
  }
  const bool inHeaderStrip = !IsEmptyRect(AInfo.HeaderRect) && y >= AInfo.HeaderRect.top &&
                             y < AInfo.HeaderRect.bottom && x >= AInfo.HeaderRect.left;
  if (inHeaderStrip && x < AInfo.HeaderRect.right + kEdgeZone) {
    ClassifyHeaderPoint(AInfo, AHit, x < AInfo.HeaderRect.right);
    return;
  }
  if (Contains(AInfo.NewItemRowRect, x, y)) {
    AHit.hitType = htNewRowItem;
    for (int i = 0; i < AInfo.HeaderCount; ++i) {
      const TgxGridHeaderDrawInfo& header = AInfo.HeadersInfo[i];
      if (x >= header.HeaderClipRect.left && x < header.HeaderClipRect.right) {
        AHit.Band = header.BandIndex;
        AHit.Column = header.AbsoluteIndex;
        break;
      }
    }
    return;
  }
  // The indicator, or with the indicator hidden the whole cells' width, for
  // the row edges.
  RECT strip = AInfo.IndicatorRect;
  if (!FShowIndicator) {
    strip.left = AInfo.CellsRect.left;
    strip.right = AInfo.CellsRect.right;
  }
  const bool rowSizing = IsRowSizing();
  if (x >= strip.left && x < strip.right && y >= strip.top && y < strip.bottom + kEdgeZone) {
    int top = AInfo.CellsRect.top;
    for (int i = 0; i < AInfo.RowCount; ++i) {
      const int bottom = top + AInfo.RowsInfo[i].RowHeight;
      if (y >= top && y < bottom) {
        if (rowSizing && i > 0 && y < top + kEdgeZone) {
          SetRowHit(AInfo, AHit, i - 1, htRowEdge);
          return;
        }
        if (rowSizing && y >= bottom - kEdgeZone) {
          SetRowHit(AInfo, AHit, i, htRowEdge);
          return;
        }
        if (FShowIndicator) {
          SetRowHit(AInfo, AHit, i, htIndicator);
          AHit.NodeTop = top;
          return;
        }
        break;
      }
      top = bottom;
    }
    if (y >= strip.bottom && rowSizing && AInfo.RowCount > 0) {
      SetRowHit(AInfo, AHit, AInfo.RowCount - 1, htRowEdge);
      return;
    }
    if (FShowIndicator && y < strip.bottom)
      return;
  }
  if (Contains(AInfo.StatusRect, x, y)) {
    AHit.hitType = htStatusPanel;
    return;
  }
  if (Contains(AInfo.FooterRect, x, y)) {
    AHit.hitType = htSummaryFooter;
    const int rowHeight = FFooterRowHeight;
    for (int i = 0; i < AInfo.HeaderCount; ++i) {
      const TgxGridHeaderDrawInfo& header = AInfo.HeadersInfo[i];
      const int top =
          AInfo.FooterRect.top + rowHeight * header.RowIndex - (header.RowIndex == 0 ? 1 : 0);
      const int bottom = top + rowHeight * header.LineCount + 3;
      if (x >= header.HeaderClipRect.left && x < header.HeaderClipRect.right && y >= top &&
          y < bottom) {
        AHit.Band = header.BandIndex;
        AHit.Column = header.AbsoluteIndex;
        break;
      }
    }
    return;
  }
  if (bands > 0 && x >= AInfo.CellsRect.left && x < AInfo.CellsRect.right &&
      y >= AInfo.CellsRect.top && y < AInfo.CellsRect.bottom)
    ClassifyRowPoint(AInfo, AHit);
}

void TCustomgxTreeList::SetRowHit(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit, int ARow,
                                  TgxTreeListHitTest AType) {
  AHit.Row = ARow;
  AHit.Node = AInfo.RowsInfo[ARow].Node;
  AHit.hitType = AType;
}

void TCustomgxTreeList::ClassifyHeaderPoint(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit,
                                            bool AInside) {
  const int x = AHit.X, y = AHit.Y;
  const int zoneLeft =
      AInfo.FixedBandLeftIndex >= 0 ? int(AInfo.FixedBandLeftRect.right) : int(AInfo.BandRect.left);
  const int zoneRight = AInfo.FixedBandRightIndex >= 0 ? int(AInfo.FixedBandRightRect.left)
                                                       : int(AInfo.HeaderRect.right);
  auto columnSizable = [&](int AColumn) { return AColumn >= 0 && CanSizeColumn(AColumn); };
  // The edge rule of a header's right side: the column's own edge, or for
  // the last column of a band the band's edge.
  auto rightEdge = [&](const TgxGridHeaderDrawInfo& AHeader) {
    if (columnSizable(AHeader.AbsoluteIndex) && (!AHeader.LastColumn || IsHeaderBandSizing())) {
      AHit.hitType = htColumnEdge;
      AHit.Band = AHeader.BandIndex;
      AHit.Column = AHeader.AbsoluteIndex;
      return true;
    }
    if (AHeader.LastColumn && !IsHeaderBandSizing() && IsBandEdgeSizable(AHeader.BandIndex)) {
      AHit.hitType = htBandEdge;
      AHit.Band = AHeader.BandIndex;
      AHit.Column = -1;
      return true;
    }
    return false;
  };
  AHit.hitType = AInside ? htColumn : htNowhere;
  if (!AInside) {
    // Just right of the header strip: the last band's last columns.
    const TgxGridHeaderDrawInfo* lastHeader = nullptr;
    for (int i = 0; i < AInfo.HeaderCount; ++i) {
      const TgxGridHeaderDrawInfo& header = AInfo.HeadersInfo[i];
      if (header.LastColumn && y >= header.HeaderRect.top && y < header.HeaderRect.bottom &&
          header.HeaderRect.right <= x && x < header.HeaderRect.right + kEdgeZone)
        lastHeader = &header;
    }
    if (lastHeader)
      rightEdge(*lastHeader);
    return;
  }
  for (int i = 0; i < AInfo.HeaderCount; ++i) {
    const TgxGridHeaderDrawInfo& header = AInfo.HeadersInfo[i];
    if (!Contains(header.HeaderRect, x, y) || !Contains(header.HeaderClipRect, x, y))
      continue;
    AHit.Band = header.BandIndex;
    AHit.Column = header.AbsoluteIndex;
    int right = header.HeaderRect.right;
    if (header.HeaderRect.left < zoneLeft && header.HeaderRect.right > zoneRight)
      right = zoneRight;
    if (x >= right - kEdgeZone && x < right && rightEdge(header))
      return;
    if (x < header.HeaderRect.left + kEdgeZone) {
      if (header.ColIndex > 0) {
        const int previous =
            GetHeaderAbsoluteIndex(header.BandIndex, header.RowIndex, header.ColIndex - 1);
        if (columnSizable(previous)) {
          AHit.hitType = htColumnEdge;
          AHit.Column = previous;
        }
      } else if (header.BandIndex > 0) {
        const int previousBand = header.BandIndex - 1;
        if (!IsHeaderBandSizing()) {
          if (IsBandEdgeSizable(previousBand)) {
            AHit.hitType = htBandEdge;
            AHit.Band = previousBand;
            AHit.Column = -1;
          }
        } else {
          const int rows = GetHeaderRowCount(previousBand);
          const int cols = rows > 0 ? GetHeaderColCount(previousBand, rows - 1) : 0;
          const int previous =
              cols > 0 ? GetHeaderAbsoluteIndex(previousBand, rows - 1, cols - 1) : -1;
          if (columnSizable(previous)) {
            AHit.hitType = htColumnEdge;
            AHit.Band = previousBand;
            AHit.Column = previous;
          }
        }
      }
    }
    return;
  }
  AHit.hitType = htNowhere;
}

void TCustomgxTreeList::ClassifyRowPoint(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit) {
  const int x = AHit.X, y = AHit.Y;
  int top = AInfo.CellsRect.top;
  int index = -1;
  for (int i = 0; i < AInfo.RowCount; ++i) {
    if (y >= top && y < top + AInfo.RowsInfo[i].RowHeight) {
      index = i;
      break;
    }
    top += AInfo.RowsInfo[i].RowHeight;
  }
  if (index < 0)
    return;
  const TgxGridRowDrawInfo& row = AInfo.RowsInfo[index];
  SetRowHit(AInfo, AHit, index, x < AInfo.EdgeX ? htLabel : htRight);
  TgxTreeListNode* node = row.Node;
  const int separator = AInfo.RowSeparatorLineWidth;
  const int contentBottom = top + row.RowHeight - separator - row.RowFooterHeight;
  // A point in one of the level footers below the row's cells.
  if (row.RowFooterCount > 0 && y >= contentBottom && FFooterRowNodeHeight > 0) {
    AHit.hitType = htSummaryNodeFooter;
    AHit.FooterRow = std::min(row.RowFooterCount - 1, (y - contentBottom) / FFooterRowNodeHeight);
  } else {
    int indent = 0, imageIndent = 0;
    GetNodeIndent(node, indent, imageIndent);
    int treeRight = AInfo.CellsRect.left + std::min(imageIndent, int(AInfo.IndentLimit));
    if (AInfo.FixedBandLeftIndex < 0)
      treeRight -= FLeftCoord;
    if (x < treeRight) {
      ClassifyTreeArea(AInfo, AHit, node);
      return;
    }
    if (AHit.hitType == htLabel && row.PreviewLineCount > 0 &&
        y >= contentBottom - (row.PreviewLineCount * FDescTextHeight + 2) && y < contentBottom) {
      AHit.hitType = htPreview;
      return;
    }
  }
  if (AHit.hitType != htLabel && AHit.hitType != htSummaryNodeFooter)
    return;
  const int panelRows = std::max(1, GetHeaderPanelRowCount());
  for (int i = 0; i < AInfo.HeaderCount; ++i) {
    const TgxGridHeaderDrawInfo& header = AInfo.HeadersInfo[i];
    if (x < header.HeaderClipRect.left || x >= header.HeaderClipRect.right)
      continue;
    const int cellTop = top + FRowHeight * header.RowIndex;
    int cellBottom = cellTop + FRowHeight * header.LineCount;
    if (panelRows == 1 || AHit.hitType == htSummaryNodeFooter)
      cellBottom = std::max(cellBottom, contentBottom);
    if (AHit.hitType == htSummaryNodeFooter || (y >= cellTop && y < cellBottom)) {
      AHit.Band = header.BandIndex;
      AHit.Column = header.AbsoluteIndex;
      break;
    }
  }
}

void TCustomgxTreeList::ClassifyTreeArea(const TgxGridDrawInfo& AInfo, TgxTreeListHitInfo& AHit,
                                         TgxTreeListNode* ANode) {
  int x = AHit.X - AInfo.CellsRect.left;
  if (AInfo.FixedBandLeftIndex < 0)
    x += FLeftCoord;
  const int limit = AInfo.IndentLimit;
  const int level = ANode->Level();
  const bool children = GetNodeHasChildren(ANode);
  const int shift = FShowRoot ? 0 : FIndent;
  const int outlookShift = FPaintStyle == psOutlook && !children ? FIndent : 0;
  struct TSpan {
    int Left = 0, Right = 0;
    bool Present = false;
  };
  TSpan button, state, image;
  if (children && FShowButtons)
    button = {level * FIndent, (level + 1) * FIndent, true};
  if (GetNodeStateIndex(ANode) != -1) {
    const int left = (level + 1) * FIndent - outlookShift;
    state = {left, left + StateImageWidth(), true};
  }
  if (GetNodeImageIndex(ANode) != -1 || GetNodeSelectedIndex(ANode) != -1) {
    const int w = GetNodeImageWidth(ANode);
    if (state.Present)
      image = {state.Left + w, state.Left + 2 * w, true};
    else {
      const int left = (level + 1) * FIndent - outlookShift;
      image = {left, left + w - 1, true};
    }
  }
  int firstEdge = 0;
  for (const TSpan* span : {&button, &state, &image})
    if (span->Present) {
      firstEdge = span->Left;
      break;
    }
  const TSpan indentArea{0, firstEdge, firstEdge != 0};
  auto hits = [&](const TSpan& ASpan) {
    const int left = std::min(ASpan.Left - shift, limit);
    const int right = std::min(ASpan.Right - shift, limit);
    return ASpan.Present && x >= left && x < right;
  };
  if (hits(indentArea))
    AHit.hitType = htIndent;
  else if (hits(button))
    AHit.hitType = htButton;
  else if (hits(state))
    AHit.hitType = htStateIcon;
  else if (hits(image))
    AHit.hitType = htIcon;
  else
    AHit.hitType = htNowhere;
}

// ===========================================================================
// rows on screen

void TCustomgxTreeList::GetCellsAreaRect(RECT& ARect) {
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  ARect = info.CellsRect;
  if (FShowIndicator)
    ARect.left = info.IndicatorRect.left;
}

void TCustomgxTreeList::GetNodeRowRect(TgxTreeListNode* ANode, RECT& ARect) {
  ARect = RECT{-1, -1, -1, -1};
  if (!HandleAllocated() || !ANode)
    return;
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  const RECT cells = info.CellsRect;
  int top = cells.top;
  for (TgxTreeListNode* node = FTopVisibleNode; node && top < cells.bottom;
       node = node->GetNextNode()) {
    const int height = CalcRowHeight(node, FRowHeight, false);
    if (node == ANode) {
      ARect = RECT{FShowIndicator ? info.IndicatorRect.left : cells.left, top, cells.right,
                   top + height};
      return;
    }
    top += height;
  }
}

void TCustomgxTreeList::GetNodeRowToBottomRect(TgxTreeListNode* ANode, RECT& ARect) {
  GetNodeRowRect(ANode, ARect);
  if (ARect.top == -1 && ARect.bottom == -1)
    return;
  RECT cells{};
  GetCellsAreaRect(cells);
  ARect.bottom = cells.bottom;
}
