// Band and column widths: the content width, each band's width and each
// column's share of its band row, in the ordinary mode (defined widths) and
// with auto width, where the content fills the view and widths are shared
// out in proportion to the defined widths without going below minimums;
// and the redistribution after the user sizes a band or a column.

#include "tree-list-core.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Runs its end step however the scope is left.
template <typename TEnd> class TFinally {
public:
  explicit TFinally(TEnd AEnd) : FEnd(std::move(AEnd)) {}
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;
  ~TFinally() { FEnd(); }

private:
  TEnd FEnd;
};

// A proportional share; 0 for an empty whole, where MulDiv would answer -1.
int Share(int ATotal, int APart, int AWhole) {
  return AWhole == 0 ? 0 : ::MulDiv(ATotal, APart, AWhole);
}

} // namespace

int TCustomgxTreeList::GetContentWidth() {
  const int bands = GetVisibleBandCount();
  if (bands <= 0)
    return 0;
  if (!IsAutoWidth()) {
    int sum = GetBandAreaOffset();
    for (int i = 0; i < bands; ++i)
      sum += GetBandDefinedWidth(i);
    return sum;
  }
  int minSum = GetBandAreaOffset();
  bool anySizable = false;
  for (int i = 0; i < bands; ++i) {
    minSum += CalcBandMinWidth(i);
    anySizable = anySizable || IsBandSizable(i);
  }
  const int client = int(ClientRect().right - ClientRect().left) - GetIndicatorWidth();
  if (!anySizable || minSum > client)
    return minSum;
  return client;
}

int TCustomgxTreeList::GetRowDefinedWidth(int AVisibleIndex, int ARow) {
  int sum = 0;
  const int cols = GetHeaderColCount(AVisibleIndex, ARow);
  for (int col = 0; col < cols; ++col)
    sum += GetColumnDefinedWidth(GetHeaderAbsoluteIndex(AVisibleIndex, ARow, col));
  return sum;
}

int TCustomgxTreeList::GetRowMinWidth(int AVisibleIndex, int ARow) {
  int sum = 0;
  const int cols = GetHeaderColCount(AVisibleIndex, ARow);
  for (int col = 0; col < cols; ++col)
    sum += GetColumnMinWidth(GetHeaderAbsoluteIndex(AVisibleIndex, ARow, col));
  return sum;
}

int TCustomgxTreeList::CalcBandMinWidth(int AVisibleIndex) {
  int width = IsBandSizable(AVisibleIndex)
                  ? GetBandMinWidth(AVisibleIndex)
                  : GetAbsoluteBandWidth(GetBandAbsoluteIndex(AVisibleIndex));
  const int rows = GetHeaderRowCount(AVisibleIndex);
  for (int row = 0; row < rows; ++row)
    width = std::max(width, GetRowMinWidth(AVisibleIndex, row));
  return width;
}

int TCustomgxTreeList::GetBandDefinedWidth(int AVisibleIndex) {
  const int own = GetAbsoluteBandWidth(GetBandAbsoluteIndex(AVisibleIndex));
  int width = own;
  if (IsBandHeaderWidth()) {
    width = 0;
    const int rows = GetHeaderRowCount(AVisibleIndex);
    for (int row = 0; row < rows; ++row)
      width = std::max(width, GetRowDefinedWidth(AVisibleIndex, row));
    if (width == 0)
      width = own;
  }
  return std::max(width, CalcBandMinWidth(AVisibleIndex));
}

int TCustomgxTreeList::GetBandWidth(int AVisibleIndex) {
  const int bands = GetVisibleBandCount();
  if (AVisibleIndex < 0 || AVisibleIndex >= bands)
    return 0;
  if (!IsAutoWidth())
    return GetBandDefinedWidth(AVisibleIndex);
  const int extra = GetBandAreaOffset();
  const int total = GetContentWidth() - extra;
  if (AVisibleIndex == bands - 1) {
    // The last band takes whatever the others leave, so the bands always
    // end exactly at the content's right edge.
    int width = total;
    for (int i = 0; i < AVisibleIndex; ++i)
      width -= GetBandWidth(i);
    return width;
  }
  int defined = 0, minSum = 0;
  for (int i = 0; i < bands; ++i) {
    defined += GetBandDefinedWidth(i);
    minSum += CalcBandMinWidth(i);
  }
  int defined2 = 0;
  for (int i = 0; i < bands; ++i)
    if (IsBandSizable(i) && CalcBandMinWidth(i) < Share(total, GetBandDefinedWidth(i), defined))
      defined2 += GetBandDefinedWidth(i);
  const int own = GetBandDefinedWidth(AVisibleIndex);
  if (!IsBandSizable(AVisibleIndex))
    return own;
  const int share = Share(total, own, defined);
  if (defined2 == defined)
    return share;
  const int minimum = CalcBandMinWidth(AVisibleIndex);
  if (minimum < share)
    return minimum + Share(total - minSum, own, defined2);
  return minimum;
}

int TCustomgxTreeList::GetColumnWidth(int AColumn) {
  if (AColumn < 0)
    return 0;
  const int band = GetBandVisibleIndex(GetColumnBandIndex(AColumn));
  if (band < 0 || band >= GetVisibleBandCount())
    return 0;
  const int row = GetColumnRowIndex(AColumn);
  const int cols = GetHeaderColCount(band, row);
  const int bandWidth = GetBandWidth(band);
  int total = bandWidth;
  int defined = GetRowDefinedWidth(band, row);
  int minSum = GetRowMinWidth(band, row);
  // First pass: a sizable column whose share falls below its minimum holds
  // the row at the minimums; the others' defined widths share the rest.
  bool held = false;
  int defined2 = 0;
  for (int col = 0; col < cols; ++col) {
    const int column = GetHeaderAbsoluteIndex(band, row, col);
    if (!IsColumnSizable(column))
      continue;
    const int def = GetColumnDefinedWidth(column);
    if (Share(total, def, defined) < GetColumnMinWidth(column))
      held = true;
    else
      defined2 += def;
  }
  int given = 0;
  int result = 0;
  for (int col = 0; col < cols; ++col) {
    const int column = GetHeaderAbsoluteIndex(band, row, col);
    const int def = GetColumnDefinedWidth(column);
    if (col == cols - 1) {
      result = bandWidth - given;
    } else if (!IsColumnSizable(column)) {
      result = def;
      total -= def;
      defined -= def;
      minSum -= def;
    } else {
      const int share = Share(total, def, defined);
      const int minimum = GetColumnMinWidth(column);
      if (defined2 == defined)
        result = share;
      else if (minimum >= share)
        result = minimum;
      else if (held)
        result = minimum + Share(total - minSum, def, defined2);
      else
        result = share;
    }
    given += result;
    if (column == AColumn)
      break;
  }
  if (band == 0 && GetColumnColIndex(AColumn) == 0)
    result += GetBandAreaOffset();
  return result;
}

int TCustomgxTreeList::GetBandLeft(int AVisibleIndex) {
  const int bands = GetVisibleBandCount();
  if (bands < 2 || AVisibleIndex < 0 || AVisibleIndex >= bands)
    return 0;
  if (AVisibleIndex == GetLeftFixedBand() || AVisibleIndex == GetRightFixedBand())
    return 0;
  int left = GetBandAreaOffset();
  for (int i = 0; i < AVisibleIndex; ++i)
    if (i != GetLeftFixedBand())
      left += GetBandWidth(i);
  return left;
}

void TCustomgxTreeList::GetBandSizingBounds(int AVisibleIndex, int AX, int& ALeft, int& AMax,
                                            int& AMin) {
  ALeft = AX;
  AMax = AX;
  AMin = AX;
  TgxGridDrawInfo info;
  CalcDrawInfo(info);
  for (int i = 0; i < info.BandCount; ++i) {
    if (info.BandsInfo[i].Index != AVisibleIndex)
      continue;
    ALeft = info.BandsInfo[i].BandRect.left;
    AMin = ALeft + CalcBandMinWidth(AVisibleIndex) + (AVisibleIndex == 0 ? GetBandAreaOffset() : 0);
    AMax = IsBandFullSizing() ? 100000 : int(ClientRect().right - ClientRect().left) - 2;
    break;
  }
  FreeDrawInfo(info);
}

void TCustomgxTreeList::GetColumnSizingBounds(int AColumn, int AX, int& ALeft, int& AMax,
                                              int& AMin) {
  ALeft = AX;
  AMax = AX;
  AMin = AX;
  TgxGridDrawInfo info;
  CalcDrawInfo(info);
  for (int i = 0; i < info.HeaderCount; ++i) {
    const TgxGridHeaderDrawInfo& header = info.HeadersInfo[i];
    if (header.AbsoluteIndex != AColumn)
      continue;
    ALeft = header.HeaderRect.left;
    const bool first = header.BandIndex == 0 && header.ColIndex == 0;
    AMin = ALeft + GetColumnMinWidth(AColumn) + (first ? GetBandAreaOffset() : 0);
    if (!IsAutoWidth() && IsColumnFullSizing())
      AMax = 100000;
    else if (IsHeaderBandSizing())
      AMax = int(ClientRect().right - ClientRect().left) - 1;
    else {
      AMax = header.HeaderRect.right;
      for (int b = 0; b < info.BandCount; ++b)
        if (info.BandsInfo[b].Index == header.BandIndex)
          AMax = info.BandsInfo[b].BandRect.right;
    }
    break;
  }
  FreeDrawInfo(info);
}

void TCustomgxTreeList::ResizeBandAutoWidth(int AVisibleIndex, int ANewWidth) {
  const int bands = GetVisibleBandCount();
  if (AVisibleIndex < 0 || AVisibleIndex >= bands)
    return;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  const int extra = GetBandAreaOffset();
  std::vector<int> widths(size_t(bands), 0);
  for (int i = 0; i < bands; ++i)
    widths[size_t(i)] = GetBandWidth(i) - (i == 0 ? extra : 0);
  const int old = widths[size_t(AVisibleIndex)];
  widths[size_t(AVisibleIndex)] = ANewWidth;
  // The bands after the sized one give or take its change; sizing the last
  // band moves the ones before it.
  int first = AVisibleIndex + 1, last = bands - 1;
  if (AVisibleIndex == bands - 1) {
    first = 0;
    last = bands - 2;
  }
  int sum = 0;
  for (int i = first; i <= last; ++i)
    sum += widths[size_t(i)];
  if (sum > 0) {
    const int newTotal = sum + old - ANewWidth;
    int given = 0;
    for (int i = first; i <= last; ++i) {
      const int w = i == last ? newTotal - given : Share(widths[size_t(i)], newTotal, sum);
      given += w;
      widths[size_t(i)] = w;
    }
    ScaleBandWidths(newTotal, sum);
  }
  for (int i = 0; i < bands; ++i) {
    if (IsBandHeaderWidth()) {
      RefreshBandLists(true);
      ScaleBandColumns(i, widths[size_t(i)]);
    } else {
      SetBandWidth(i, widths[size_t(i)]);
    }
  }
}

void TCustomgxTreeList::ResizeColumnAutoWidth(int AVisibleIndex, int AColumn, int ANewWidth) {
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  RefreshBandLists(false);
  const int row = GetColumnRowIndex(AColumn);
  const int cols = GetHeaderColCount(AVisibleIndex, row);
  const int pos = GetColumnColIndex(AColumn);
  if (cols <= 0 || pos < 0 || pos >= cols)
    return;
  const int extra = GetBandAreaOffset();
  const int bandWidthBefore = GetBandWidth(AVisibleIndex);
  std::vector<int> widths(size_t(cols), 0);
  std::vector<int> columns(size_t(cols), -1);
  for (int col = 0; col < cols; ++col) {
    columns[size_t(col)] = GetHeaderAbsoluteIndex(AVisibleIndex, row, col);
    widths[size_t(col)] =
        GetColumnWidth(columns[size_t(col)]) - (AVisibleIndex == 0 && col == 0 ? extra : 0);
  }
  const int old = widths[size_t(pos)];
  widths[size_t(pos)] = ANewWidth - (AVisibleIndex == 0 && pos == 0 ? extra : 0);
  int first = pos + 1, last = cols - 1;
  if (pos == cols - 1) {
    first = 0;
    last = cols - 2;
  }
  int sum = 0;
  for (int col = first; col <= last; ++col)
    sum += widths[size_t(col)];
  if (sum > 0) {
    const int newTotal = sum + old - widths[size_t(pos)];
    int given = 0;
    for (int col = first; col <= last; ++col) {
      const int w = col == last ? newTotal - given : Share(widths[size_t(col)], newTotal, sum);
      given += w;
      widths[size_t(col)] = w;
    }
    ScaleColumnWidths(AVisibleIndex, newTotal, sum);
  }
  int rowSum = 0;
  for (int col = 0; col < cols; ++col) {
    SetColumnWidth(columns[size_t(col)], widths[size_t(col)]);
    rowSum += widths[size_t(col)];
  }
  // Every other header row of the band keeps the band's width.
  if (IsBandHeaderWidth() && bandWidthBefore > 0) {
    const int rows = GetHeaderRowCount(AVisibleIndex);
    for (int r = 0; r < rows; ++r) {
      if (r == row)
        continue;
      const int n = GetHeaderColCount(AVisibleIndex, r);
      for (int col = 0; col < n; ++col) {
        const int column = GetHeaderAbsoluteIndex(AVisibleIndex, r, col);
        SetColumnWidth(column, Share(GetColumnDefinedWidth(column), rowSum, bandWidthBefore));
      }
    }
  }
}

void TCustomgxTreeList::ScaleBandColumns(int AVisibleIndex, int ANewWidth) {
  const bool lock = !IsUpdateLocked();
  if (lock)
    BeginUpdate();
  TFinally end([this, lock] {
    if (lock)
      EndUpdate();
  });
  const int bandWidth = GetBandWidth(AVisibleIndex);
  const int extra = GetBandAreaOffset();
  const int rows = GetHeaderRowCount(AVisibleIndex);
  std::vector<std::pair<int, int>> scaled;
  for (int r = 0; r < rows; ++r) {
    const int n = GetHeaderColCount(AVisibleIndex, r);
    for (int col = 0; col < n; ++col) {
      const int column = GetHeaderAbsoluteIndex(AVisibleIndex, r, col);
      const int width = GetColumnWidth(column) - (AVisibleIndex == 0 && col == 0 ? extra : 0);
      scaled.emplace_back(column, Share(width, ANewWidth, bandWidth));
    }
  }
  for (const auto& [column, width] : scaled)
    SetColumnWidth(column, width);
  ScaleColumnWidths(AVisibleIndex, ANewWidth, bandWidth);
  SetBandWidth(AVisibleIndex, ANewWidth);
}

void TCustomgxTreeList::ResizeColumnInBand(int AVisibleIndex, int AColumn, int ANewWidth) {
  const int bandWidth = GetBandWidth(AVisibleIndex);
  const int newBand = ANewWidth + bandWidth - GetColumnWidth(AColumn);
  const int sizedRow = GetColumnRowIndex(AColumn);
  const int rows = GetHeaderRowCount(AVisibleIndex);
  std::vector<std::pair<int, int>> widths;
  for (int r = 0; r < rows; ++r) {
    const int n = GetHeaderColCount(AVisibleIndex, r);
    int given = 0;
    for (int col = 0; col < n; ++col) {
      const int column = GetHeaderAbsoluteIndex(AVisibleIndex, r, col);
      int width = GetColumnWidth(column);
      if (col == n - 1 && !(r == sizedRow && column == AColumn && n == 1))
        width = newBand - given;
      else if (column == AColumn)
        width = ANewWidth;
      else if (r != sizedRow)
        width = Share(width, newBand, bandWidth);
      if (column == AColumn)
        width = ANewWidth;
      given += width;
      widths.emplace_back(column, width);
    }
  }
  for (const auto& [column, width] : widths)
    SetColumnWidth(column, width);
  ScaleColumnWidths(AVisibleIndex, newBand, bandWidth);
}
