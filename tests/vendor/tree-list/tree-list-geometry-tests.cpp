#include "tree-list-core.h"

#include "application.h"
#include "ledger-balance.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

// One column of the table: defined and minimum widths, whether it sizes.
struct TColumnRow {
  int Width;
  int MinWidth;
  bool Sizing;
};

// One band: its own width, minimum, sizing flag and header rows of column
// indexes.
struct TBandRow {
  int Width;
  int MinWidth;
  bool Sizing;
  std::vector<std::vector<int>> Rows;
};

// A core answering its band and column questions from a small table.
class TTableTreeList : public TCustomgxTreeList {
public:
  using TCustomgxTreeList::TCustomgxTreeList;
  ~TTableTreeList() override { ClearNodes(); }
  TgxTreeListNode* CreateNode() override { return new TgxTreeListTextNode(this); }
  int GetNodeImageIndex(TgxTreeListNode*) override { return -1; }
  int GetNodeSelectedIndex(TgxTreeListNode*) override { return -1; }
  int GetNodeStateIndex(TgxTreeListNode*) override { return -1; }
  void SetNodeImageIndex(TgxTreeListNode*, int) override {}
  void SetNodeSelectedIndex(TgxTreeListNode*, int) override {}
  void SetNodeStateIndex(TgxTreeListNode*, int) override {}
  std::wstring GetNodeString(TgxTreeListNode*, int) override { return {}; }
  void SetNodeString(TgxTreeListNode*, int, const std::wstring&) override {}
  TgxNodeVariant GetNodeVariant(TgxTreeListNode*, int) override { return {}; }
  void SetNodeVariant(TgxTreeListNode*, int, const TgxNodeVariant&) override {}

  int GetBandCount() override { return int(Bands.size()); }
  int GetVisibleBandCount() override { return int(Bands.size()); }
  int GetAbsoluteBandWidth(int ABand) override { return Bands[size_t(ABand)].Width; }
  int GetBandMinWidth(int AVisibleIndex) override { return Bands[size_t(AVisibleIndex)].MinWidth; }
  bool IsBandSizable(int AVisibleIndex) override {
    return AVisibleIndex >= 0 && AVisibleIndex < int(Bands.size()) &&
           Bands[size_t(AVisibleIndex)].Sizing;
  }
  int GetLeftFixedBand() override { return LeftFixed ? 0 : -1; }
  int GetRightFixedBand() override { return RightFixed ? int(Bands.size()) - 1 : -1; }
  int GetHeaderRowCount(int ABand) override { return int(Bands[size_t(ABand)].Rows.size()); }
  int GetHeaderColCount(int ABand, int ARow) override {
    return int(Bands[size_t(ABand)].Rows[size_t(ARow)].size());
  }
  int GetHeaderAbsoluteIndex(int ABand, int ARow, int ACol) override {
    return Bands[size_t(ABand)].Rows[size_t(ARow)][size_t(ACol)];
  }
  int GetColumnCount() const override { return int(Columns.size()); }
  int GetColumnBandIndex(int AColumn) override { return Find(AColumn).Band; }
  int GetColumnRowIndex(int AColumn) override { return Find(AColumn).Row; }
  int GetColumnColIndex(int AColumn) override { return Find(AColumn).Col; }
  int GetColumnDefinedWidth(int AColumn) override { return Columns[size_t(AColumn)].Width; }
  int GetColumnMinWidth(int AColumn) override {
    const TColumnRow& column = Columns[size_t(AColumn)];
    return column.Sizing ? column.MinWidth : column.Width;
  }
  bool IsColumnSizable(int AColumn) override { return Columns[size_t(AColumn)].Sizing; }
  int GetHeaderPanelRowCount() override { return PanelRows; }
  void SetColumnWidth(int AColumn, int AWidth) override { Columns[size_t(AColumn)].Width = AWidth; }
  void SetBandWidth(int AVisibleIndex, int AWidth) override {
    Bands[size_t(AVisibleIndex)].Width = AWidth;
  }
  bool IsLevelFooter(int ALevel) override {
    return ALevel < int(FooterLevels.size()) && FooterLevels[size_t(ALevel)];
  }
  void GetPreviewText(TgxTreeListNode*, std::wstring& AText) override { AText = Preview; }

  void SetMetrics(int AHeaderRowHeight, int AFooterRowNodeHeight, int ADescTextHeight) {
    FHeaderRowHeight = AHeaderRowHeight;
    FFooterRowNodeHeight = AFooterRowNodeHeight;
    FDescTextHeight = ADescTextHeight;
  }
  void SetIndicator(int AWidth) {
    FIndicatorWidth = AWidth;
    FShowIndicator = AWidth > 0;
  }

  std::vector<TBandRow> Bands;
  std::vector<TColumnRow> Columns;
  bool LeftFixed = false;
  bool RightFixed = false;
  int PanelRows = 1;
  std::vector<bool> FooterLevels;
  std::wstring Preview;

private:
  struct TPlace {
    int Band = -1, Row = 0, Col = 0;
  };
  TPlace Find(int AColumn) const {
    for (size_t b = 0; b < Bands.size(); ++b)
      for (size_t r = 0; r < Bands[b].Rows.size(); ++r)
        for (size_t c = 0; c < Bands[b].Rows[r].size(); ++c)
          if (Bands[b].Rows[r][c] == AColumn)
            return TPlace{int(b), int(r), int(c)};
    return TPlace{};
  }
};

class TreeListGeometry : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    GxUtilsStartup();
    GxContainerStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(40, 40, 460, 320);
    List = new TTableTreeList(Owner.get());
    List->SetBounds(0, 0, 400, 300);
    List->SetBorderStyle(bsNone);
    List->SetParent(Form);
    List->SetMetrics(18, 15, 13);
    Form->Show();
    harness::PumpMessages();
  }
  void TearDown() override {
    Owner.reset();
    ReleaseApplication();
    TLedgerBalancedTest::TearDown();
  }
  void ReleaseShared() override {
    GxContainerShutdown();
    GxUtilsShutdown();
    FinalizeControls();
  }
  // The header entries of one band row, in order.
  std::vector<TgxGridHeaderDrawInfo> RowHeaders(const TgxGridDrawInfo& AInfo, int ABand, int ARow) {
    std::vector<TgxGridHeaderDrawInfo> headers;
    for (int i = 0; i < AInfo.HeaderCount; ++i)
      if (AInfo.HeadersInfo[i].BandIndex == ABand && AInfo.HeadersInfo[i].RowIndex == ARow)
        headers.push_back(AInfo.HeadersInfo[i]);
    return headers;
  }
  std::vector<TgxTreeListNode*> AddRows(int ACount) {
    std::vector<TgxTreeListNode*> nodes;
    for (int i = 0; i < ACount; ++i)
      nodes.push_back(List->Add());
    return nodes;
  }
  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  TTableTreeList* List = nullptr;
};

// ---- proportional sharing of a band row -------------------------------------

struct TSharingCase {
  const char* Name;
  int BandWidth;
  std::vector<TColumnRow> Columns;
  std::vector<int> Expected;
};

TEST_F(TreeListGeometry, ColumnsShareTheirBandRowAndTheLastEndsAtTheBandEdge) {
  const std::vector<TSharingCase> cases = {
      {"proportional", 300, {{100, 20, true}, {100, 20, true}, {100, 20, true}}, {100, 100, 100}},
      {"doubled", 600, {{100, 20, true}, {50, 20, true}, {150, 20, true}}, {200, 100, 300}},
      {"non-sizing keeps its width",
       400,
       {{100, 20, false}, {100, 20, true}, {100, 20, true}},
       {100, 150, 150}},
      {"minimums hold, the rest shared",
       200,
       {{100, 90, true}, {100, 20, true}, {100, 20, true}},
       {90, 55, 55}},
      {"a band is never narrower than its minimums",
       100,
       {{100, 60, true}, {100, 60, true}},
       {60, 60}},
  };
  for (const TSharingCase& test : cases) {
    SCOPED_TRACE(test.Name);
    List->Columns = test.Columns;
    std::vector<int> all(test.Columns.size());
    std::iota(all.begin(), all.end(), 0);
    List->Bands = {TBandRow{test.BandWidth, 10, true, {all}}};
    List->SetOptionsEx(List->OptionsEx() & ~OptionBit(aoBandHeaderWidth));
    TgxGridDrawInfo info;
    List->CalcDrawInfo(info);
    const std::vector<TgxGridHeaderDrawInfo> headers = RowHeaders(info, 0, 0);
    ASSERT_EQ(headers.size(), test.Expected.size());
    for (size_t i = 0; i < headers.size(); ++i)
      EXPECT_EQ(headers[i].HeaderRect.right - headers[i].HeaderRect.left, test.Expected[i])
          << "column " << i;
    EXPECT_EQ(headers.back().HeaderRect.right, info.BandsInfo[0].BandRect.right);
    EXPECT_TRUE(headers.front().FirstColumn && headers.front().LeftEdgeColumn);
    EXPECT_TRUE(headers.back().LastColumn && headers.back().RightEdgeColumn);
    List->FreeDrawInfo(info);
    List->FreeDrawInfo(info);
    EXPECT_EQ(info.HeadersInfo, nullptr) << "freeing twice is harmless";
  }
}

// ---- the strips ----------------------------------------------------------------

TEST_F(TreeListGeometry, ContentNarrowerThanTheClientLeavesAnEmptyRectOnTheRight) {
  List->Columns = {{80, 20, true}, {70, 20, true}};
  List->Bands = {TBandRow{150, 10, true, {{0, 1}}}};
  TgxGridDrawInfo info;
  List->CalcDrawInfo(info);
  EXPECT_EQ(info.HeaderRect.right, 150) << "the header strip ends at the content";
  EXPECT_EQ(info.EmptyRectRight.left, 150);
  EXPECT_EQ(info.EmptyRectRight.right, 400);
  EXPECT_EQ(info.EmptyRectRight.bottom, info.CellsRect.bottom);
  EXPECT_EQ(info.EdgeX, 149);
  List->FreeDrawInfo(info);
}

TEST_F(TreeListGeometry, RowsNotFillingTheCellsLeaveAnEmptyRectBelowAndShortenTheIndicator) {
  List->Columns = {{200, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0}}}};
  List->SetIndicator(12);
  AddRows(3);
  TgxGridDrawInfo info;
  List->CalcDrawInfo(info);
  ASSERT_EQ(info.RowCount, 3);
  const int lastRowBottom = info.CellsRect.top + 3 * 18;
  EXPECT_EQ(info.EdgeY, lastRowBottom - 1);
  EXPECT_EQ(info.EmptyRectBottom.top, lastRowBottom);
  EXPECT_EQ(info.EmptyRectBottom.bottom, info.CellsRect.bottom);
  EXPECT_EQ(info.EmptyRectBottom.right, info.EdgeX + 1);
  EXPECT_EQ(info.IndicatorRect.bottom, lastRowBottom);
  EXPECT_EQ(info.CellsRect.left, 12);
  List->FreeDrawInfo(info);

  AddRows(30);
  List->CalcDrawInfo(info);
  EXPECT_EQ(info.EdgeY, -1) << "rows fill the cells area";
  EXPECT_LE(info.RowCount, (info.CellsRect.bottom - info.CellsRect.top) / 18 + 1);
  List->FreeDrawInfo(info);
}

TEST_F(TreeListGeometry, ALeftFixedBandDoesNotScrollNorMovesTheContentEdge) {
  List->Columns = {{100, 20, true}, {300, 20, true}, {300, 20, true}};
  List->Bands = {TBandRow{100, 10, true, {{0}}}, TBandRow{300, 10, true, {{1}}},
                 TBandRow{300, 10, true, {{2}}}};
  List->LeftFixed = true;
  TgxGridDrawInfo before;
  List->CalcDrawInfo(before);
  List->SetLeftCoord(120);
  TgxGridDrawInfo after;
  List->CalcDrawInfo(after);
  ASSERT_GE(after.BandCount, 2);
  EXPECT_EQ(after.FixedBandLeftIndex, 0);
  EXPECT_EQ(after.BandsInfo[0].BandRect.left, before.BandsInfo[0].BandRect.left);
  EXPECT_EQ(after.BandsInfo[0].BandRect.right, 100 - 2) << "less the fixed band line";
  EXPECT_EQ(after.BandsInfo[1].Index, 1);
  EXPECT_EQ(after.BandsInfo[1].BandRect.left, before.BandsInfo[1].BandRect.left - 120);
  EXPECT_EQ(after.BandsInfo[1].BandClipRect.left, 100) << "clipped at the fixed band";
  EXPECT_EQ(after.EdgeX, before.EdgeX);
  List->FreeDrawInfo(before);
  List->FreeDrawInfo(after);
}

// ---- cell rectangles --------------------------------------------------------------

TEST_F(TreeListGeometry, CellRectOfAColumnOutOfTheLayoutIsMinusOne) {
  List->Columns = {{100, 20, true}, {100, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0, 1}}}};
  TgxTreeListNode* node = AddRows(1)[0];
  const RECT inside = List->CellRect(node, 1);
  EXPECT_EQ(inside.left, 100);
  EXPECT_EQ(inside.right, 200);
  EXPECT_EQ(inside.top, 18);
  EXPECT_EQ(inside.bottom, 36);
  const RECT outside = List->CellRect(node, 5);
  EXPECT_EQ(outside.left, -1);
  EXPECT_EQ(outside.top, -1);
  EXPECT_EQ(outside.right, -1);
  EXPECT_EQ(outside.bottom, -1);
}

// ---- hit tests -----------------------------------------------------------------------

struct THitCase {
  const char* Name;
  int X, Y;
  TgxTreeListHitTest Type;
  int Column;
};

TEST_F(TreeListGeometry, HeaderPointsNearAColumnEdgeSizeItAndFartherInSelectIt) {
  List->Columns = {{100, 20, true}, {100, 20, true}, {100, 20, false}};
  List->Bands = {TBandRow{300, 10, true, {{0, 1, 2}}}};
  const std::vector<THitCase> cases = {
      {"3 left of an edge", 97, 5, htColumnEdge, 0},
      {"5 left of an edge", 95, 5, htColumn, 0},
      {"just right of an edge: the previous column's", 101, 5, htColumnEdge, 0},
      {"non-sizing column's own edge", 197, 5, htColumnEdge, 1},
      {"inside a non-sizing column", 250, 5, htColumn, 2},
      {"past the last header, bands hidden", 303, 5, htNowhere, -1},
      {"outside the client", 500, 5, htOutside, -1},
  };
  for (const THitCase& test : cases) {
    SCOPED_TRACE(test.Name);
    const TgxTreeListHitInfo hit = List->GetHitInfo(POINT{test.X, test.Y});
    EXPECT_EQ(hit.hitType, test.Type);
    EXPECT_EQ(hit.Column, test.Column);
    EXPECT_EQ(List->GetHitTestInfoAt(test.X, test.Y), test.Type);
  }
}

TEST_F(TreeListGeometry, RowPointsInTheIndicatorFindRowsAndRowEdges) {
  List->Columns = {{200, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0}}}};
  List->SetIndicator(12);
  const std::vector<TgxTreeListNode*> nodes = AddRows(3);
  const int top = 18;
  TgxTreeListHitInfo hit = List->GetHitInfo(POINT{5, top + 18 + 3});
  EXPECT_EQ(hit.hitType, htIndicator) << "without row sizing";
  EXPECT_EQ(hit.Node, nodes[1]);
  EXPECT_EQ(hit.NodeTop, top + 18);

  List->SetOptionsEx(List->OptionsEx() | OptionBit(aoRowSizing));
  hit = List->GetHitInfo(POINT{5, top + 18 + 3});
  EXPECT_EQ(hit.hitType, htRowEdge) << "3 below a row's top: the row above";
  EXPECT_EQ(hit.Node, nodes[0]);
  EXPECT_EQ(hit.Row, 0);
  hit = List->GetHitInfo(POINT{5, top + 18 + 8});
  EXPECT_EQ(hit.hitType, htIndicator);
  hit = List->GetHitInfo(POINT{5, top + 3 * 18 + 2});
  EXPECT_EQ(hit.hitType, htRowEdge) << "just below the last row";
  EXPECT_EQ(hit.Node, nodes[2]);

  hit = List->GetHitInfo(POINT{60, top + 18 + 8});
  EXPECT_EQ(hit.hitType, htLabel);
  EXPECT_EQ(hit.Node, nodes[1]);
  EXPECT_EQ(hit.Column, 0);
  EXPECT_EQ(List->GetNodeAt(60, top + 18 + 8), nodes[1]);
  hit = List->GetHitInfo(POINT{300, top + 18 + 8});
  EXPECT_EQ(hit.hitType, htRight) << "right of the content";
  hit = List->GetHitInfo(POINT{60, top + 5 * 18});
  EXPECT_EQ(hit.hitType, htNowhere) << "below the rows";
  EXPECT_EQ(hit.Node, nullptr);
}

// ---- widths --------------------------------------------------------------------------

TEST_F(TreeListGeometry, AutoWidthSharesTheViewAndKeepsANonSizingBand) {
  List->Columns = {{100, 20, true}, {100, 20, true}, {100, 20, true}};
  List->Bands = {TBandRow{100, 30, true, {{0}}}, TBandRow{100, 30, false, {{1}}},
                 TBandRow{100, 30, true, {{2}}}};
  List->SetOptionsEx(List->OptionsEx() & ~OptionBit(aoBandHeaderWidth));
  List->SetOptions(List->Options() | OptionBit(aoAutoWidth));
  EXPECT_EQ(List->GetContentWidth(), 400);
  EXPECT_EQ(List->GetBandWidth(1), 100) << "not sizable";
  EXPECT_EQ(List->GetBandWidth(0) + List->GetBandWidth(1) + List->GetBandWidth(2), 400);
  // 30 + (400 - (30 + 100 + 30)) x 100 / 200
  EXPECT_EQ(List->GetBandWidth(0), 150);
  EXPECT_EQ(List->GetColumnWidth(2), List->GetBandWidth(2)) << "a column fills its band row";
}

TEST_F(TreeListGeometry, AutoWidthNarrowerThanTheMinimumsKeepsThemAndScrolls) {
  List->Columns = {{100, 20, true}, {100, 20, true}};
  List->Bands = {TBandRow{100, 250, true, {{0}}}, TBandRow{100, 250, true, {{1}}}};
  List->SetOptions(List->Options() | OptionBit(aoAutoWidth));
  EXPECT_EQ(List->GetContentWidth(), 500);
  EXPECT_EQ(List->GetBandWidth(0), 250);
  EXPECT_EQ(List->GetBandWidth(1), 250);
}

TEST_F(TreeListGeometry, ColumnWidthsOfARowAlwaysSumToTheBandWidth) {
  List->Columns = {{33, 5, true}, {33, 5, true}, {34, 5, true}};
  List->Bands = {TBandRow{100, 10, true, {{0, 1, 2}}}};
  List->SetOptionsEx(List->OptionsEx() & ~OptionBit(aoBandHeaderWidth));
  List->SetOptions(List->Options() | OptionBit(aoAutoWidth));
  const int band = List->GetBandWidth(0);
  EXPECT_EQ(band, 400);
  EXPECT_EQ(List->GetColumnWidth(0) + List->GetColumnWidth(1) + List->GetColumnWidth(2), band);
}

TEST_F(TreeListGeometry, SizingTheLastBandInAutoWidthMovesTheBandsBeforeIt) {
  List->Columns = {{100, 20, true}, {100, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0}}}, TBandRow{200, 10, true, {{1}}}};
  List->SetOptionsEx(List->OptionsEx() & ~OptionBit(aoBandHeaderWidth));
  List->SetOptions(List->Options() | OptionBit(aoAutoWidth));
  List->ResizeBandAutoWidth(1, 100);
  EXPECT_EQ(List->Bands[1].Width, 100);
  EXPECT_EQ(List->Bands[0].Width, 300);
}

TEST_F(TreeListGeometry, ColumnSizingBoundsStopAtTheMinimumAndTheBandEdge) {
  List->Columns = {{100, 40, true}, {100, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0, 1}}}};
  List->SetOptionsEx(List->OptionsEx() & ~OptionBit(aoFullSizing));
  int left = 0, maximum = 0, minimum = 0;
  List->GetColumnSizingBounds(0, 50, left, maximum, minimum);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(minimum, 40);
  EXPECT_EQ(maximum, 200);
}

// ---- row heights ---------------------------------------------------------------------

TEST_F(TreeListGeometry, RowHeightsCountPreviewLinesGridsAndLevelFooters) {
  List->Columns = {{200, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0}}}};
  TgxTreeListNode* parent = List->Add();
  TgxTreeListNode* child = parent->AddChild();
  TgxTreeListNode* leaf = child->AddChild();
  EXPECT_EQ(List->CalcRowHeight(leaf, 18, true), 18);

  List->SetOptions(List->Options() | OptionBit(aoPreview));
  List->SetOptionsEx(List->OptionsEx() & ~OptionBit(aoAutoCalcPreviewLines));
  EXPECT_EQ(List->CalcRowHeight(leaf, 18, true), 18 + 2 * 13 + 2) << "two preview lines";
  List->SetShowGrid(true);
  EXPECT_EQ(List->CalcRowHeight(leaf, 18, true), 1 + 18 + 2 * 13 + 1 + 2 - 1)
      << "grid and preview grid share a line";
  List->SetShowGrid(false);
  List->SetOptions(List->Options() & ~OptionBit(aoPreview));

  List->SetShowRowFooter(true);
  List->FooterLevels = {true, true};
  EXPECT_EQ(List->GetLevelFooterCount(leaf), 2) << "the leaf closes two subtrees";
  EXPECT_EQ(List->CalcRowHeight(leaf, 18, true), 18 + 2 * 15);
  EXPECT_EQ(List->GetLevelFooterCount(child), 0) << "not a leaf";
  EXPECT_EQ(List->GetNodeFooterLevel(leaf, 0), 1);
  EXPECT_EQ(List->GetNodeFooterLevel(leaf, 1), 0);
  EXPECT_EQ(List->GetFooterCountBelowLevel(leaf, 1), 1);

  EXPECT_EQ(List->CalcRowHeight(leaf, 18, false), 48);
  EXPECT_EQ(leaf->RowHeight(), 48) << "cached in the node";
}

TEST_F(TreeListGeometry, HeaderPanelSizingSnapsToTheNearestRow) {
  List->Columns = {{200, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0}}}};
  int minimum = 0, value = 0;
  List->SnapHeaderPanelHeight(int(2.4 * 18), minimum, value);
  EXPECT_EQ(value, 2 * 18);
  List->SnapHeaderPanelHeight(int(2.5 * 18), minimum, value);
  EXPECT_EQ(value, 3 * 18);
  List->SnapHeaderPanelHeight(9 * 18, minimum, value);
  EXPECT_EQ(value, 4 * 18) << "at most the panel's maximum rows";
}

// ---- rows on screen --------------------------------------------------------------------

TEST_F(TreeListGeometry, ANodeRowRectIsFoundFromTheTopRowAndMinusOneOffScreen) {
  List->Columns = {{200, 20, true}};
  List->Bands = {TBandRow{200, 10, true, {{0}}}};
  const std::vector<TgxTreeListNode*> nodes = AddRows(40);
  RECT rect{};
  List->GetNodeRowRect(nodes[2], rect);
  EXPECT_EQ(rect.top, 18 + 2 * 18);
  EXPECT_EQ(rect.bottom, 18 + 3 * 18);
  List->GetNodeRowRect(nodes[39], rect);
  EXPECT_EQ(rect.top, -1) << "below the window";
  List->GetNodeRowToBottomRect(nodes[2], rect);
  EXPECT_EQ(rect.bottom, 300);
}

} // namespace
