// Row heights, level footers and panel rows: a node's row height (cached in
// the node), the level footers that end at a row, the preview line count,
// and the snapping of the band and header panel heights while they are
// sized.

#include "tree-list-core.h"

#include <algorithm>
#include <string>

namespace {

// The word-wrapped line count of a text within a width, in a font.
int WrappedLineCount(TFont& AFont, const std::wstring& AText, int AWidth, int ALineHeight) {
  if (AText.empty())
    return 0;
  if (AWidth <= 0 || ALineHeight <= 0)
    return 1;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc)
    return 1;
  HGDIOBJ old = SelectObject(dc, AFont.Handle());
  RECT rect{0, 0, AWidth, 0};
  DrawTextW(dc, AText.c_str(), int(AText.size()), &rect,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  DeleteDC(dc);
  const int height = int(rect.bottom - rect.top);
  return std::max(1, (height + ALineHeight - 1) / ALineHeight);
}

int TextHeightOf(TFont& AFont) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc)
    return 0;
  HGDIOBJ old = SelectObject(dc, AFont.Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc, L"Wg", 2, &size);
  SelectObject(dc, old);
  DeleteDC(dc);
  return int(size.cy);
}

} // namespace

bool TCustomgxTreeList::IsRowAutoHeight() {
  return !IsPreview() && GetHeaderPanelRowCount() == 1 && HasEx(aoRowAutoHeight) &&
         FMaxRowLineCount != 0;
}

int TCustomgxTreeList::CalcRowHeight(TgxTreeListNode* ANode, int ALineHeight, bool ANoCache) {
  if (ANode && !ANoCache && UseRowHeightCache() && ANode->RowHeight() != 0)
    return ANode->RowHeight();
  if (ANode)
    ANode->SetRowLineCount(0);
  const bool grids = FShowGrid && FShowPreviewGrid;
  const int preview = IsPreview() ? GetPreviewLineCount(ANode) : 0;
  int height = FShowGrid ? GetRowSeparatorLineWidth() : 0;
  int lines = 0;
  int lineHeight = ALineHeight;
  if (ANode && IsRowAutoHeight()) {
    int needed = lineHeight;
    lines = GetRowLineCount(ANode, needed);
    if (lines > 1 && needed == lineHeight)
      lineHeight += (lines - 1) * FTextHeight;
    lineHeight = std::max(lineHeight, needed);
  }
  const bool group = ANode && IsGroupNode(ANode);
  if (group) {
    height += lineHeight;
  } else {
    height += std::max(1, GetHeaderPanelRowCount()) * lineHeight + preview * FDescTextHeight;
    if (preview > 0 && grids)
      height += 1;
  }
  if (ANode && FPaintStyle == psOutlook && !FShowGrid && GetNodeHasChildren(ANode))
    height += 1;
  if (ANode && preview > 0 && !group)
    height += 2;
  if (grids)
    height -= 1;
  height += GetLevelFooterCount(ANode) * FFooterRowNodeHeight;
  if (ANode)
    height = std::max(height, GetNodeImageHeight(ANode));
  if (ANode && !ANoCache) {
    ANode->SetRowHeight(height);
    ANode->SetRowLineCount(lines);
  }
  return height;
}

int TCustomgxTreeList::GetRowLineCount(TgxTreeListNode* ANode, int& ALineHeight) {
  if (!ANode)
    return -1;
  if (ANode->RowHeight() != 0 && ANode->RowLineCount() != 0)
    return ANode->RowLineCount();
  if (IsGroupNode(ANode))
    return 1;
  const bool grids = FShowGrid && FShowPreviewGrid;
  const bool invert = IsInvertSelect();
  const int columns = GetVisibleColumnCount();
  int indent = 0, imageIndent = 0;
  GetNodeIndent(ANode, indent, imageIndent);
  int result = -1;
  int bestHeight = ALineHeight;
  for (int i = 0; i < columns; ++i) {
    const int column = GetFocusedAbsoluteIndex(i);
    std::wstring text;
    GetCellText(ANode, column, text);
    int width = GetColumnWidth(column);
    if (i == 0)
      width -= imageIndent + (invert ? 1 : 0);
    if (i == columns - 1 && invert)
      width -= 1;
    if (grids)
      width -= 1;
    int lines = 0;
    int lineHeight = ALineHeight;
    if (ColumnCalcLineCountEx(ANode, column, text, width, FTextHeight, FMaxRowLineCount, invert,
                              grids, lines, lineHeight)) {
      if (grids)
        lineHeight += 1;
      if (invert)
        lineHeight += 2;
      bestHeight = std::max(bestHeight, lineHeight);
      result = std::max(result, lines);
    }
  }
  ALineHeight = bestHeight;
  return result;
}

bool TCustomgxTreeList::ColumnCalcLineCountEx(TgxTreeListNode*, int, const std::wstring&, int, int,
                                              int, bool, bool, int&, int&) {
  return false;
}

int TCustomgxTreeList::GetPreviewLineCount(TgxTreeListNode* ANode) {
  if (!ANode)
    return std::max(0, FPreviewLines);
  if (!IsAutoCalcPreviewLines())
    return std::max(0, FPreviewLines);
  std::wstring text;
  GetPreviewText(ANode, text);
  if (text.empty())
    return 0;
  int indent = 0, imageIndent = 0;
  GetNodeIndent(ANode, indent, imageIndent);
  const int grid = FShowGrid && FShowPreviewGrid ? 1 : 0;
  const int width = GetContentWidth() - grid - imageIndent - FIndentDesc;
  int lineHeight = FDescTextHeight;
  if (lineHeight == 0)
    lineHeight = TextHeightOf(FPreviewFont);
  const int lines = WrappedLineCount(FPreviewFont, text, width, lineHeight);
  return std::max(0, std::min(lines, FPreviewLines));
}

// ---- level footers ---------------------------------------------------------

int TCustomgxTreeList::GetLevelFooterCount(TgxTreeListNode* ANode) {
  if (!ANode || !FShowRowFooter || ANode->Count() > 0 || !ANode->IsLast())
    return 0;
  int count = 0;
  for (TgxTreeListNode* node = ANode; node && node->IsLast(); node = node->Parent()) {
    TgxTreeListNode* parent = node->Parent();
    if (parent && IsLevelFooter(parent->Level()))
      ++count;
  }
  return count;
}

int TCustomgxTreeList::GetNodeFooterLevel(TgxTreeListNode* ANode, int AIndex) {
  int found = -1;
  int number = 0;
  for (TgxTreeListNode* parent = ANode ? ANode->Parent() : nullptr; parent;
       parent = parent->Parent()) {
    if (!IsLevelFooter(parent->Level()))
      continue;
    found = parent->Level();
    if (number++ == AIndex)
      break;
  }
  return found;
}

int TCustomgxTreeList::GetFooterCountBelowLevel(TgxTreeListNode* ANode, int ALevel) {
  const int count = GetLevelFooterCount(ANode);
  if (count == 0)
    return -1;
  int below = 0;
  for (int i = 0; i < count; ++i)
    if (GetNodeFooterLevel(ANode, i) < ALevel)
      ++below;
  return below;
}

// ---- sizing ----------------------------------------------------------------

int TCustomgxTreeList::GetRowHeightForHeight(TgxTreeListNode* ANode, int AHeight) {
  if (!ANode || AHeight < FMinRowHeight)
    return FRowHeight;
  for (int lineHeight = AHeight; lineHeight >= FMinRowHeight && lineHeight > 0; --lineHeight)
    if (CalcRowHeight(ANode, lineHeight, true) <= AHeight)
      return lineHeight;
  return FRowHeight;
}

void TCustomgxTreeList::GetRowSizingBounds(TgxTreeListNode* ANode, int AY, int& AMax, int& AMin) {
  AMax = AY;
  AMin = AY;
  if (!ANode)
    return;
  RECT row{};
  GetNodeRowRect(ANode, row);
  if (row.top == -1 && row.bottom == -1)
    return;
  AMin = row.top + CalcRowHeight(ANode, FMinRowHeight, true);
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  AMax = info.FooterRect.bottom > info.FooterRect.top ? int(info.FooterRect.top) - 1
                                                      : int(info.CRect.bottom) - 1;
}

int TCustomgxTreeList::GetBandPanelHeight(int ARows) {
  return ARows * FBandTextHeight + 5 + (FFlat ? 0 : 1);
}

int TCustomgxTreeList::GetBandRowsAbove(int AY) {
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  int rows = 0;
  for (int r = 1; r <= GetBandMaxRowCount(); ++r)
    if (info.BandRect.top + GetBandPanelHeight(r) <= AY)
      rows = r;
  return rows;
}

void TCustomgxTreeList::SnapBandPanelHeight(int AY, int& AMin, int& AValue) {
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  AValue = AY;
  if (info.BandRect.bottom <= info.BandRect.top)
    return;
  const int top = info.BandRect.top;
  AMin = top + GetBandPanelHeight(1);
  int rows = 1;
  const int maximum = std::max(1, GetBandMaxRowCount());
  // The next row count starts at the middle between two heights.
  while (rows < maximum &&
         AY >= top + (GetBandPanelHeight(rows) + GetBandPanelHeight(rows + 1)) / 2)
    ++rows;
  AValue = top + GetBandPanelHeight(rows);
}

int TCustomgxTreeList::GetHeaderRowsAt(int AY) {
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  if (FHeaderRowHeight <= 0)
    return 1;
  return std::max(1, (AY + FHeaderRowHeight / 2 - int(info.HeaderRect.top)) / FHeaderRowHeight);
}

void TCustomgxTreeList::SnapHeaderPanelHeight(int AY, int& AMin, int& AValue) {
  TgxGridDrawInfo info;
  CalcRectInfo(info, false);
  AValue = AY;
  if (info.HeaderRect.bottom <= info.HeaderRect.top)
    return;
  AMin = int(info.HeaderRect.top) + FHeaderRowHeight;
  const int rows = std::min(GetHeaderRowsAt(AY), std::max(1, GetHeaderPanelMaxRowCount()));
  AValue = int(info.HeaderRect.top) + rows * FHeaderRowHeight;
}

int TCustomgxTreeList::GetHeaderLineCount(int AVisibleIndex, int ARow, int ACol) {
  if (ARow < GetHeaderRowCount(AVisibleIndex) - 1)
    return 1;
  int lines = std::max(1, GetHeaderPanelRowCount() - ARow);
  const int column = GetHeaderAbsoluteIndex(AVisibleIndex, ARow, ACol);
  const int maximum = column >= 0 ? GetHeaderMaxLineCount(column) : 0;
  if (maximum != 0)
    lines = std::min(lines, maximum);
  return lines;
}
