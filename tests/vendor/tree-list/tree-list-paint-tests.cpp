#include "tree-list-core.h"

#include "tree-list-drawing.h"

#include "application.h"
#include "ledger-balance.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

// The tree list's paint pipeline on a real window: a test list answering
// the band and column questions is laid out and painted into a DIB, and
// the areas are checked by their pixels.

namespace {

constexpr TColor kMagenta = TColor(RGB(255, 0, 255));
constexpr TColor kRed = TColor(RGB(255, 0, 0));
constexpr TColor kGreen = TColor(RGB(0, 200, 0));
constexpr TColor kBlue = TColor(RGB(0, 0, 255));
constexpr TColor kYellow = TColor(RGB(255, 255, 0));

// Bands of three columns each, 60 pixels a column; the first band may be
// fixed at the left. Texts are kept in the nodes.
class TPaintTreeList : public TCustomgxTreeList {
public:
  explicit TPaintTreeList(TComponent* AOwner) : TCustomgxTreeList(AOwner) {
    FHeaderRowHeight = 18;
    FHeaderRowCount = 1;
    FHeaderHeight = 18;
    FRowHeight = 18;
    FBandHeight = 18;
    FBandRowCount = 1;
    FFooterRowHeight = 18;
    FFooterHeight = 22;
  }
  ~TPaintTreeList() override { ClearNodes(); }

  TgxTreeListNode* CreateNode() override { return new TgxTreeListTextNode(this); }
  static TgxTreeListTextNode* Text(TgxTreeListNode* ANode) {
    return static_cast<TgxTreeListTextNode*>(ANode);
  }
  int GetNodeImageIndex(TgxTreeListNode*) override { return -1; }
  int GetNodeSelectedIndex(TgxTreeListNode*) override { return -1; }
  int GetNodeStateIndex(TgxTreeListNode*) override { return -1; }
  void SetNodeImageIndex(TgxTreeListNode*, int) override {}
  void SetNodeSelectedIndex(TgxTreeListNode*, int) override {}
  void SetNodeStateIndex(TgxTreeListNode*, int) override {}
  std::wstring GetNodeString(TgxTreeListNode* ANode, int AColumn) override {
    return Text(ANode)->Text(AColumn);
  }
  void SetNodeString(TgxTreeListNode* ANode, int AColumn, const std::wstring& AValue) override {
    Text(ANode)->SetText(AColumn, AValue);
  }
  TgxNodeVariant GetNodeVariant(TgxTreeListNode* ANode, int AColumn) override {
    return TgxNodeVariant(GetNodeString(ANode, AColumn));
  }
  void SetNodeVariant(TgxTreeListNode* ANode, int AColumn, const TgxNodeVariant& AValue) override {
    SetNodeString(ANode, AColumn, AValue.AsText());
  }
  void GetCellText(TgxTreeListNode* ANode, int AColumn, std::wstring& AText) override {
    AText = ANode ? GetNodeString(ANode, AColumn) : std::wstring();
  }

  // ---- bands and columns ---------------------------------------------------------
  int GetColumnCount() const override { return 3 * Bands; }
  int GetVisibleBandCount() override { return Bands; }
  int GetBandCount() override { return Bands; }
  int GetLeftFixedBand() override { return FixedLeft ? 0 : -1; }
  int GetAbsoluteBandWidth(int) override { return 180; }
  int GetBandDefinedWidthValue(int) override { return 180; }
  int GetHeaderRowCount(int) override { return 1; }
  int GetHeaderColCount(int, int) override { return 3; }
  int GetHeaderAbsoluteIndex(int ABand, int, int ACol) override {
    return ACol < 3 ? ABand * 3 + ACol : -1;
  }
  int GetColumnBandIndex(int AColumn) override { return AColumn / 3; }
  int GetColumnColIndex(int AColumn) override { return AColumn % 3; }
  int GetColumnWidth(int) override { return 60; }
  int GetColumnDefinedWidth(int) override { return 60; }
  void GetHeaderCaption(int AColumn, std::wstring& AText) override {
    AText = L"C" + std::to_wstring(AColumn);
  }
  void GetBandCaption(int ABand, std::wstring& AText) override {
    AText = L"B" + std::to_wstring(ABand);
  }
  TColor GetColumnColor(int AColumn) override {
    return AColumn == ColouredColumn ? kYellow : Color();
  }
  bool IsExistFooterCell(int) override { return true; }
  TgxTreeListIndicatorKind GetRowIndicatorKind(TgxTreeListNode* ANode, bool) override {
    return ANode == FocusedNode() ? ikArrow : ikNone;
  }

  // ---- selection -------------------------------------------------------------------
  bool IsNodeSelected(TgxTreeListNode* ANode) const override { return Selected.count(ANode) > 0; }

  // ---- custom draw -----------------------------------------------------------------
  bool IsCustomDrawCell(TgxTreeListNode*, int) override { return CustomCells; }
  void DoCustomDrawCell(TCanvas&, const RECT& ARect, TgxTreeListNode* ANode, int AColumn, bool,
                        bool, bool, bool, std::wstring& AText, TColor& AColor, TFont&, int&,
                        bool& ADone) override {
    CellRects.push_back({ANode, AColumn, ARect});
    if (AColumn == 1)
      ADone = true;
    if (AColumn == 2)
      AColor = kBlue;
    AText = L"";
  }
  bool IsCustomDrawHeader(int) override { return CustomCells; }
  void DoCustomDrawHeader(TCanvas&, const RECT& ARect, int AColumn, std::wstring&, TColor&, TFont&,
                          int&, TgxTreeListColumnSort&, bool& ADone) override {
    HeaderRects.push_back({nullptr, AColumn, ARect});
    ADone = AColumn == 0;
  }

  int GetPreviewLineCount(TgxTreeListNode* ANode) override { return ANode == b ? 1 : 0; }
  void GetPreviewText(TgxTreeListNode*, std::wstring& AText) override { AText = L"preview"; }
  bool IsCustomDrawPreview() override { return true; }
  void DoCustomDrawPreview(TCanvas&, const RECT& ARect, TgxTreeListNode* ANode, bool, std::wstring&,
                           TColor& AColor, TColor&, TFont&, bool&) override {
    PreviewRects.push_back({ANode, -1, ARect});
    AColor = kBlue;
  }
  int DescTextHeightForTest() const { return FDescTextHeight; }
  void SetIndicator(int AWidth) { FIndicatorWidth = AWidth; }
  void SetLeft(int AValue) { FLeftCoord = AValue; }
  void Focus(TgxTreeListNode* ANode) { FFocused = ANode; }
  void SetFocusedColumnIndex(int AColumn) { FFocusedAbsoluteIndex = AColumn; }

  struct TCellCall {
    TgxTreeListNode* Node;
    int Column;
    RECT Rect;
  };
  int Bands = 1;
  bool FixedLeft = false;
  int ColouredColumn = -1;
  bool CustomCells = false;
  std::set<TgxTreeListNode*> Selected;
  std::vector<TCellCall> CellRects;
  std::vector<TCellCall> HeaderRects;
  std::vector<TCellCall> PreviewRects;
  TgxTreeListNode* b = nullptr;
};

class TreeListPaint : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    GxUtilsStartup();
    GxContainerStartup();
    GxTreeListStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(40, 40, 420, 260);
    List = new TPaintTreeList(Owner.get());
    List->SetBounds(0, 0, 400, 240);
    List->SetBorderStyle(bsNone);
    List->SetParent(Form);
    a = List->Add();
    a1 = a->AddChild();
    a2 = a->AddChild();
    b = List->Add();
    List->b = b;
    a->Expand(false);
    for (TgxTreeListNode* n : {a, a1, a2, b})
      for (int c = 0; c < 3; ++c)
        n->SetStrings(c, L"x");
    List->SetColor(clWhite);
    Form->Show();
    harness::PumpMessages();
  }
  void TearDown() override {
    Picture.reset();
    Owner.reset();
    ReleaseApplication();
    TLedgerBalancedTest::TearDown();
  }
  void ReleaseShared() override {
    GxTreeListShutdown();
    GxContainerShutdown();
    GxUtilsShutdown();
    FinalizeControls();
  }
  // Lays the list out and paints it over a magenta picture.
  void Paint() {
    Picture = std::make_unique<TBitmap>(400, 240, TPixelFormat::pf32bit);
    HDC dc = Picture->Canvas().Handle();
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    const RECT all{0, 0, 400, 240};
    FillRect(dc, &all, magenta);
    DeleteObject(magenta);
    List->FreeDrawInfo(Info);
    List->CalcDrawInfo(Info);
    List->PaintArea(Info, Picture->Canvas());
    GdiFlush();
  }
  TColor At(int AX, int AY) { return harness::PixelAt(*Picture, AX, AY); }
  int Count(const RECT& AArea, TColor AColor) {
    int count = 0;
    for (int y = AArea.top; y < AArea.bottom; ++y)
      for (int x = AArea.left; x < AArea.right; ++x)
        count += At(x, y) == AColor ? 1 : 0;
    return count;
  }
  static TColor Sys(int AIndex) { return TColor(GetSysColor(AIndex)); }
  // The header entry of a column.
  const TgxGridHeaderDrawInfo& Header(int AColumn) {
    for (int i = 0; i < Info.HeaderCount; ++i)
      if (Info.HeadersInfo[i].AbsoluteIndex == AColumn)
        return Info.HeadersInfo[i];
    ADD_FAILURE() << "no header entry for column " << AColumn;
    return Info.HeadersInfo[0];
  }
  int RowTop(int ARow) {
    int y = Info.CellsRect.top;
    for (int i = 0; i < ARow; ++i)
      y += Info.RowsInfo[i].RowHeight;
    return y;
  }

  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  TPaintTreeList* List = nullptr;
  TgxTreeListNode *a = nullptr, *a1 = nullptr, *a2 = nullptr, *b = nullptr;
  TgxGridDrawInfo Info;
  std::unique_ptr<TBitmap> Picture;
};

TEST_F(TreeListPaint, PaintingWithUpdatesLockedDrawsNothing) {
  List->BeginPaintUpdate();
  Paint();
  EXPECT_EQ(Count(RECT{0, 0, 400, 240}, kMagenta), 400 * 240);
  List->EndPaintUpdate();
  Paint();
  EXPECT_LT(Count(RECT{0, 0, 400, 240}, kMagenta), 400 * 240 / 10);
}

TEST_F(TreeListPaint, TheWindowPaintsThroughThePipeline) {
  List->SetHeaderColor(kGreen);
  std::unique_ptr<TBitmap> shot = harness::PrintWindow(*List);
  List->CalcDrawInfo(Info);
  const RECT& header = Info.HeadersInfo[0].HeaderRect;
  EXPECT_EQ(harness::PixelAt(*shot, header.right - 5, (header.top + header.bottom) / 2), kGreen);
  EXPECT_EQ(harness::PixelAt(*shot, 395, 230), clWhite) << "the empty area below the rows";
}

TEST_F(TreeListPaint, HeaderAndBandCellsAreFilledWithTheirColours) {
  List->SetShowBands(true);
  List->SetBandColor(kBlue);
  List->SetHeaderColor(kGreen);
  Paint();
  ASSERT_EQ(Info.BandCount, 1);
  ASSERT_EQ(Info.HeaderCount, 3);
  const RECT& band = Info.BandsInfo[0].BandRect;
  EXPECT_EQ(At(band.right - 6, (band.top + band.bottom) / 2), kBlue);
  for (int c = 0; c < 3; ++c) {
    const RECT& header = Header(c).HeaderRect;
    EXPECT_EQ(At(header.right - 6, (header.top + header.bottom) / 2), kGreen) << c;
    EXPECT_NE(At(header.right - 1, header.bottom - 1), kGreen) << c << ": the raised frame";
  }
}

TEST_F(TreeListPaint, RowsShowTheirBackgroundAndColumnColours) {
  List->ColouredColumn = 2;
  Paint();
  ASSERT_GE(Info.RowCount, 4);
  const int y = RowTop(3) + 9;
  EXPECT_EQ(At(Header(1).HeaderRect.right - 4, y), clWhite);
  EXPECT_EQ(At(Header(2).HeaderRect.right - 4, y), kYellow);
}

struct TSelectionCase {
  bool HideSelection;
  TColor Expected; // 0: the background
};

class TreeListSelectionPaint : public TreeListPaint,
                               public ::testing::WithParamInterface<TSelectionCase> {};

TEST_P(TreeListSelectionPaint, AnUnfocusedSelectionShowsInTheHiddenSelectionColourOrNotAtAll) {
  const TSelectionCase& c = GetParam();
  List->SetHideSelection(c.HideSelection);
  List->SetHideSelectionColor(kRed);
  List->Selected.insert(b);
  SetFocus(nullptr);
  Paint();
  const int y = RowTop(3) + 9;
  EXPECT_EQ(At(Header(1).HeaderRect.right - 4, y), c.Expected);
  EXPECT_EQ(At(Header(1).HeaderRect.right - 4, RowTop(0) + 9), clWhite) << "an unselected row";
}

INSTANTIATE_TEST_SUITE_P(TreeListPaint, TreeListSelectionPaint,
                         ::testing::Values(TSelectionCase{false, kRed},
                                           TSelectionCase{true, clWhite}));

TEST_F(TreeListPaint, GridLinesUseTheGridColourUnlessAGridLineColourIsSet) {
  List->SetShowGrid(true);
  for (TColor line : {clNone, kBlue}) {
    List->SetGridColor(kRed);
    List->SetGridLineColor(line);
    Paint();
    const TColor expected = line == clNone ? kRed : kBlue;
    const TgxGridHeaderDrawInfo& h = Header(1);
    // The vertical line at the cell's right edge, the row line at its bottom.
    EXPECT_EQ(At(h.HeaderRect.right - 1, RowTop(3) + 9), expected);
    EXPECT_EQ(At(h.HeaderRect.right - 20, RowTop(3) + Info.RowsInfo[3].RowHeight - 1), expected);
  }
}

TEST_F(TreeListPaint, AParentRowShowsItsButtonAndItsChildrenTheirTreeLines) {
  List->SetPaintStandard(true);
  List->SetTreeLineStyle(tlSolid);
  List->SetTreeLineColor(kRed);
  List->SetPlusMinusColor(kBlue);
  Paint();
  const int left = Info.CellsRect.left;
  const int indent = List->Indent();
  // a: a minus in a 9 x 9 box centred in its first indent.
  const int ym = RowTop(0) + Info.RowsInfo[0].RowHeight / 2;
  const int boxLeft = (2 * left + indent - 1 - 9) / 2;
  EXPECT_EQ(At(boxLeft, ym - 4), Sys(COLOR_GRAYTEXT));
  EXPECT_EQ(At(boxLeft + 3, ym), kBlue) << "the minus bar";
  EXPECT_NE(At(boxLeft + 4, ym - 2), kBlue) << "expanded: no plus";
  // a1: the vertical line of level 0 passes beside it (a has more children).
  const int xv = left + indent / 2 - 1;
  EXPECT_EQ(At(xv, RowTop(1) + 2), kRed);
  // a1's own horizontal line at its middle, in its level's cell.
  const int ym1 = RowTop(1) + Info.RowsInfo[1].RowHeight / 2;
  EXPECT_EQ(At(left + indent + indent - 2, ym1), kRed);
  // b, the last top-level node: no line below its middle.
  const int ymb = RowTop(3) + Info.RowsInfo[3].RowHeight / 2;
  EXPECT_EQ(At(xv, ymb - 2), kRed);
  EXPECT_NE(At(xv, ymb + 3), kRed);
}

TEST_F(TreeListPaint, TheIndicatorShowsTheArrowOfTheFocusedRowOnly) {
  List->SetIndicator(12);
  List->SetShowIndicator(true);
  List->Focus(a1);
  Paint();
  ASSERT_EQ(Info.IndicatorRect.right - Info.IndicatorRect.left, 12);
  auto dark = [&](int ARow) {
    const RECT cell{Info.IndicatorRect.left, RowTop(ARow), Info.IndicatorRect.right,
                    RowTop(ARow) + Info.RowsInfo[ARow].RowHeight};
    return Count(RECT{cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2}, TColor(0));
  };
  EXPECT_GT(dark(1), 10) << "the arrow";
  EXPECT_EQ(dark(0), 0);
  EXPECT_EQ(dark(2), 0);
}

TEST_F(TreeListPaint, TheFooterIsFilledWithTheHeaderColourAndFramesItsCells) {
  List->SetShowFooter(true);
  List->SetHeaderColor(kGreen);
  Paint();
  const RECT& footer = Info.FooterRect;
  ASSERT_GT(footer.bottom - footer.top, 0);
  const RECT& column = Header(1).HeaderRect;
  const int y = (footer.top + footer.bottom) / 2;
  EXPECT_EQ(At(column.right - 6, y), kGreen) << "inside a footer cell";
  EXPECT_NE(At(column.left + 1, y), kGreen) << "the cell's sunken frame";
  EXPECT_EQ(Count(RECT{footer.left, footer.top, footer.right, footer.bottom}, kMagenta), 0);
}

TEST_F(TreeListPaint, TheFixedBandLineSeparatesTheLeftFixedBand) {
  List->Bands = 2;
  List->FixedLeft = true;
  List->SetShowBands(true);
  List->SetFixedBandLineColor(kRed);
  Paint();
  ASSERT_FALSE(IsRectEmpty(&Info.FixedBandLeftRect));
  const int x = Info.FixedBandLeftRect.right - 1;
  EXPECT_EQ(At(x, (Info.BandRect.top + Info.BandRect.bottom) / 2), kRed) << "over the bands";
  EXPECT_EQ(At(x, RowTop(2) + 3), kRed) << "over the rows";
}

TEST_F(TreeListPaint, CustomDrawHooksGetTheCellRectanglesAndMayPaintInstead) {
  List->CustomCells = true;
  List->SetHeaderColor(kGreen);
  Paint();
  ASSERT_FALSE(List->CellRects.empty());
  // Every data cell of the last row was offered with its rectangle.
  const int top = RowTop(3);
  int offered = 0;
  for (const TPaintTreeList::TCellCall& call : List->CellRects)
    if (call.Node == b) {
      ++offered;
      const RECT& header = Header(call.Column).HeaderRect;
      EXPECT_EQ(call.Rect.top, top) << call.Column;
      EXPECT_EQ(call.Rect.right, header.right) << call.Column;
      if (call.Column > 0) {
        EXPECT_EQ(call.Rect.left, header.left) << call.Column;
      }
    }
  EXPECT_EQ(offered, 3);
  // Column 1 was done by the hook: nothing painted there; column 2's hook
  // changed the background.
  EXPECT_EQ(At(Header(1).HeaderRect.right - 4, top + 9), kMagenta);
  EXPECT_EQ(At(Header(2).HeaderRect.right - 4, top + 9), kBlue);
  // Headers likewise: column 0's hook painted it (nothing), column 1 is
  // the list's.
  ASSERT_EQ(List->HeaderRects.size(), 3u);
  const RECT& h0 = Header(0).HeaderRect;
  EXPECT_TRUE(EqualRect(&List->HeaderRects[0].Rect, &h0));
  EXPECT_EQ(At(h0.right - 6, (h0.top + h0.bottom) / 2), kMagenta);
  const RECT& h1 = Header(1).HeaderRect;
  EXPECT_EQ(At(h1.right - 6, (h1.top + h1.bottom) / 2), kGreen);
}

TEST_F(TreeListPaint, APreviewTakesTheBottomOfItsRowUnderTheCells) {
  List->SetOptions(List->Options() | OptionBit(aoPreview));
  Paint();
  ASSERT_GE(Info.RowCount, 4);
  ASSERT_EQ(Info.RowsInfo[3].PreviewLineCount, 1);
  ASSERT_EQ(List->PreviewRects.size(), 1u);
  const TPaintTreeList::TCellCall& call = List->PreviewRects[0];
  EXPECT_EQ(call.Node, b);
  const int bottom = RowTop(3) + Info.RowsInfo[3].RowHeight;
  EXPECT_EQ(call.Rect.bottom, bottom);
  EXPECT_EQ(call.Rect.top, bottom - List->DescTextHeightForTest() - 2);
  EXPECT_EQ(call.Rect.left, Info.CellsRect.left + Info.RowsInfo[3].Indent);
  // The hook's colour fills the preview; the cells above keep theirs.
  EXPECT_EQ(At(Header(1).HeaderRect.right - 4, bottom - 2), kBlue);
  EXPECT_EQ(At(Header(1).HeaderRect.right - 4, RowTop(3) + 3), clWhite);
}

} // namespace
