#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The layout record of the tree list: every paint, hit test and cell or
// editor rectangle is derived from one of these, computed from scratch from
// the control's metrics, its bands and columns and the rows from the top
// visible node down. The record owns its four arrays from CalcDrawInfo to
// FreeDrawInfo (and frees what is left when it goes).

class TgxTreeListNode;
enum TgxTreeListIndicatorKind : uint8_t;
using TgxGridIndicatorKind = TgxTreeListIndicatorKind;

struct TgxGridBandDrawInfo {
  int32_t Index = -1; // visible band index
  RECT BandRect{};
  RECT BandClipRect{};
};

struct TgxGridHeaderDrawInfo {
  int32_t AbsoluteIndex = -1;
  int32_t BandIndex = -1;
  int32_t RowIndex = 0;
  int32_t ColIndex = 0;
  int32_t LineCount = 1;
  RECT HeaderRect{};
  RECT HeaderClipRect{};
  // The filler below the band's last header row, else empty.
  RECT HeaderEmptyRect{};
  bool FirstColumn = false;
  bool LastColumn = false;
  bool LeftEdgeColumn = false;
  bool RightEdgeColumn = false;
  bool MultiLine = false;
};

struct TgxGridEmptyRectDrawInfo {
  int32_t BandIndex = -1;
  RECT EmptyRect{};
  bool ClippingFlag = false;
};

struct TgxGridRowDrawInfo {
  TgxTreeListNode* Node = nullptr;
  bool IsGroup = false;
  bool IsSelected = false;
  int32_t RowHeight = 0;
  int32_t RowFooterCount = 0;
  int32_t RowFooterHeight = 0;
  TgxGridIndicatorKind IndicatorKind{};
  int32_t PreviewLineCount = 0;
  // -1 when rows do not grow with their text.
  int32_t RowLineCount = -1;
  int32_t Indent = 0;
};

struct TgxGridDrawInfo {
  TgxGridDrawInfo() = default;
  TgxGridDrawInfo(const TgxGridDrawInfo&) = delete;
  TgxGridDrawInfo& operator=(const TgxGridDrawInfo&) = delete;
  ~TgxGridDrawInfo() { Release(); }
  // Frees every array still held and forgets it; safe to repeat.
  void Release();
  // Forgets every rectangle and array without freeing (the arrays must be
  // released first).
  void Clear();

  RECT CRect{};
  RECT GroupPanelRect{};
  RECT BandRect{};
  RECT BandButtonRect{};
  RECT HeaderRect{};
  RECT HeaderButtonRect{};
  RECT IndicatorRect{};
  RECT NewItemRowRect{};
  RECT CellsRect{};
  RECT EmptyRectRight{};
  RECT EmptyRectBottom{};
  RECT FooterRect{};
  RECT StatusRect{};
  RECT FixedBandLeftRect{};
  RECT FixedBandRightRect{};
  int32_t FixedBandLeftIndex = -1;
  int32_t FixedBandRightIndex = -1;
  int32_t FixedBandPrevRightIndex = -1;
  // x of the last content pixel; y of the last row pixel (-1 when the rows
  // fill the cells area).
  int32_t EdgeX = 0;
  int32_t EdgeY = -1;
  // The widest tree indent that fits the first band.
  int32_t IndentLimit = 0;
  int32_t RowSeparatorLineWidth = 0;
  int32_t BandCount = 0;
  TgxGridBandDrawInfo* BandsInfo = nullptr;
  int32_t HeaderCount = 0;
  TgxGridHeaderDrawInfo* HeadersInfo = nullptr;
  int32_t EmptyRectCount = 0;
  TgxGridEmptyRectDrawInfo* EmptyRectsInfo = nullptr;
  int32_t RowCount = 0;
  TgxGridRowDrawInfo* RowsInfo = nullptr;
};

enum TgxTreeListHitTest : uint8_t {
  htNowhere,
  htColumn,
  htColumnEdge,
  htButton,
  htIcon,
  htStateIcon,
  htIndent,
  htLabel,
  htRight,
  htOutside,
  htGroupPanel,
  htBandButton,
  htBand,
  htBandEdge,
  htHeaderButton,
  htIndicator,
  htNewRowItem,
  htSummaryNodeFooter,
  htSummaryFooter,
  htBandPanelEdge,
  htHeaderPanelEdge,
  htRowEdge,
  htPreview,
  htStatusPanel
};

// What a client point of the control covers.
struct TgxTreeListHitInfo {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Band = -1;
  int32_t Column = -1; // absolute
  TgxTreeListNode* Node = nullptr;
  int32_t Row = -1; // index in the draw info's rows
  int32_t FooterRow = -1;
  TgxTreeListHitTest hitType = htNowhere;
  // y of the row's top, set for indicator hits.
  int32_t NodeTop = 0;
};

static_assert(htStatusPanel == 23);
#if defined(__i386__)
static_assert(sizeof(TgxGridBandDrawInfo) == 36);
static_assert(offsetof(TgxGridHeaderDrawInfo, HeaderRect) == 20 &&
                  offsetof(TgxGridHeaderDrawInfo, HeaderEmptyRect) == 52 &&
                  offsetof(TgxGridHeaderDrawInfo, FirstColumn) == 68 &&
                  offsetof(TgxGridHeaderDrawInfo, MultiLine) == 72 &&
                  sizeof(TgxGridHeaderDrawInfo) == 76,
              "the header entry: indexes, three rectangles, five flags");
static_assert(offsetof(TgxGridEmptyRectDrawInfo, ClippingFlag) == 20);
static_assert(offsetof(TgxGridRowDrawInfo, RowHeight) == 8 &&
                  offsetof(TgxGridRowDrawInfo, IndicatorKind) == 20 &&
                  offsetof(TgxGridRowDrawInfo, PreviewLineCount) == 24 &&
                  sizeof(TgxGridRowDrawInfo) == 36,
              "the row entry: node, flags, heights, indicator, line counts, indent");
static_assert(offsetof(TgxTreeListHitInfo, Node) == 16 &&
                  offsetof(TgxTreeListHitInfo, hitType) == 28 &&
                  offsetof(TgxTreeListHitInfo, NodeTop) == 32,
              "the hit record: point, band, column, node, row, footer row, kind, row top");
#endif
