#include "tree-list-core.h"

#include "application.h"
#include "ledger-balance.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// A tree list of one band with three columns (100 pixels each, 20 at
// least) whose nodes keep their texts, with a selection set kept in node
// order, logging the column clicks and width changes.
class TInputTreeList : public TCustomgxTreeList {
public:
  explicit TInputTreeList(TComponent* AOwner) : TCustomgxTreeList(AOwner) {}
  ~TInputTreeList() override { ClearNodes(); }

  // ---- node values: texts --------------------------------------------------
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

  // ---- one band of three columns ---------------------------------------------
  int GetColumnCount() const override { return 3; }
  int GetVisibleBandCount() override { return 1; }
  int GetBandCount() override { return 1; }
  int GetAbsoluteBandWidth(int) override { return Widths[0] + Widths[1] + Widths[2]; }
  int GetHeaderRowCount(int) override { return 1; }
  int GetHeaderColCount(int, int) override { return 3; }
  int GetHeaderAbsoluteIndex(int, int ARow, int ACol) override {
    return ARow == 0 && ACol >= 0 && ACol < 3 ? ACol : -1;
  }
  int GetColumnColIndex(int AColumn) override { return AColumn; }
  int GetColumnDefinedWidth(int AColumn) override {
    return AColumn >= 0 && AColumn < 3 ? Widths[size_t(AColumn)] : 0;
  }
  int GetColumnMinWidth(int) override { return 20; }
  void SetColumnWidth(int AColumn, int AWidth) override {
    if (AColumn >= 0 && AColumn < 3)
      Widths[size_t(AColumn)] = AWidth;
  }
  void DoChangedColumnsWidth() override { Log.push_back("widths"); }
  void DoColumnClick(int AColumn) override {
    Log.push_back("column click " + std::to_string(AColumn));
  }

  // ---- a selection set ----------------------------------------------------------
  int GetSelectedCount() override { return int(Selected.size()); }
  TgxTreeListNode* GetSelectedItem(int AIndex) override {
    return AIndex >= 0 && AIndex < int(Selected.size()) ? *std::next(Selected.begin(), AIndex)
                                                        : nullptr;
  }
  bool IsNodeSelected(TgxTreeListNode* ANode) const override { return Selected.count(ANode) > 0; }
  void SetNodeSelected(TgxTreeListNode* ANode, bool AValue) override {
    if (!IsMultiSelect())
      return;
    if (AValue && CanNodeSelected(ANode))
      Selected.insert(ANode);
    else if (!AValue)
      Selected.erase(ANode);
    TCustomgxTreeList::SetNodeSelected(ANode, AValue);
  }
  void ClearSelection() override {
    Selected.clear();
    TCustomgxTreeList::ClearSelection();
  }

  int Widths[3] = {100, 100, 100};
  std::set<TgxTreeListNode*> Selected;
  std::vector<std::string> Log;
};

class TreeListInput : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    GxUtilsStartup();
    GxContainerStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    Form = new TWinControl(Owner.get());
    Form->SetBounds(40, 40, 400, 300);
    List = new TInputTreeList(Owner.get());
    List->SetBounds(10, 10, 260, 200);
    List->SetParent(Form);
    // n0 (c0 (g0), c1, c2), n1 .. n29; n0 collapsed.
    for (int i = 0; i < 30; ++i)
      Nodes.push_back(List->Add());
    n0 = Nodes[0];
    c0 = n0->AddChild();
    g0 = c0->AddChild();
    c1 = n0->AddChild();
    c2 = n0->AddChild();
    Form->Show();
    harness::PumpMessages();
    List->SetFocusedNode(Nodes[0], 0, false);
    ::SetFocus(List->Handle());
    harness::PumpMessages();
  }
  void TearDown() override {
    SetModifiers(0);
    Owner.reset();
    ReleaseApplication();
    TLedgerBalancedTest::TearDown();
  }
  void ReleaseShared() override {
    GxContainerShutdown();
    GxUtilsShutdown();
    FinalizeControls();
  }

  // The keyboard's Shift and Ctrl as the control reads them.
  static void SetModifiers(TShiftState AShift) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = (AShift & ssShift) ? 0x80 : 0;
    state[VK_CONTROL] = (AShift & ssCtrl) ? 0x80 : 0;
    state[VK_MENU] = 0;
    SetKeyboardState(state);
  }
  void Key(WORD AKey, TShiftState AShift = 0) {
    SetModifiers(AShift);
    SendMessageW(List->Handle(), WM_KEYDOWN, AKey, 0);
    SetModifiers(0);
  }
  void Char(wchar_t AChar) { SendMessageW(List->Handle(), WM_CHAR, AChar, 0); }
  static WPARAM Keys(TShiftState AShift) {
    return ((AShift & ssShift) ? MK_SHIFT : 0) | ((AShift & ssCtrl) ? MK_CONTROL : 0);
  }
  void Mouse(UINT AMsg, POINT AP, WPARAM AKeys) {
    SendMessageW(List->Handle(), AMsg, AKeys, MAKELPARAM(AP.x, AP.y));
  }
  void Click(POINT AP, TShiftState AShift = 0) {
    Mouse(WM_LBUTTONDOWN, AP, MK_LBUTTON | Keys(AShift));
    Mouse(WM_LBUTTONUP, AP, Keys(AShift));
  }
  // The middle of a node's cell in a focus-order column.
  POINT CellPoint(TgxTreeListNode* ANode, int AColumn) {
    const RECT cell = List->CellRect(ANode, AColumn);
    return POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
  }
  // The first point of a node's row, from the left, of a hit kind.
  POINT FindInRow(TgxTreeListNode* ANode, TgxTreeListHitTest AKind) {
    const POINT middle = CellPoint(ANode, 0);
    for (int x = 0; x < 200; ++x)
      if (List->GetHitInfo(POINT{x, middle.y}).hitType == AKind)
        return POINT{x, middle.y};
    ADD_FAILURE() << "no such part in the row";
    return middle;
  }
  // The first point of the header strip, from the left, of a hit kind.
  POINT FindInHeader(TgxTreeListHitTest AKind, int AFromX = 0) {
    const int y = List->HeaderHeight() / 2;
    for (int x = AFromX; x < 300; ++x)
      if (List->GetHitInfo(POINT{x, y}).hitType == AKind)
        return POINT{x, y};
    ADD_FAILURE() << "no such part in the header";
    return POINT{0, y};
  }
  int SelectedRows() {
    int result = 0;
    for (TgxTreeListNode* n : List->Selected)
      result |= 1 << List->GetAbsoluteIndexOf(n);
    return result;
  }
  SCROLLINFO Bar(int ABar) {
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
    List->GetScrollInfo(ABar, info);
    return info;
  }
  void UseMultiSelect(bool AExtended = true) {
    List->SetOptions(List->Options() | OptionBit(aoMultiSelect) |
                     (AExtended ? OptionBit(aoExtMultiSelect) : 0));
  }

  std::unique_ptr<TComponent> Owner;
  TWinControl* Form = nullptr;
  TInputTreeList* List = nullptr;
  std::vector<TgxTreeListNode*> Nodes;
  TgxTreeListNode *n0 = nullptr, *c0 = nullptr, *g0 = nullptr, *c1 = nullptr, *c2 = nullptr;
};

// --- scrolling -----------------------------------------------------------------------

TEST_F(TreeListInput, VerticalScrollMessagesMoveTheTopRowAndTheBarFollows) {
  const int rows = List->RowCount();
  ASSERT_GT(rows, 2);
  ASSERT_LT(rows, 30);
  struct TStep {
    WPARAM Code;
    int Expected;
  };
  const int last = 30 - List->VisibleRowCount();
  const TStep steps[] = {
      {SB_LINEDOWN, 1},
      {SB_LINEDOWN, 2},
      {SB_LINEUP, 1},
      {SB_PAGEDOWN, 1 + rows},
      {SB_PAGEUP, 1},
      {MAKEWPARAM(SB_THUMBPOSITION, 12), 12},
      {MAKEWPARAM(SB_THUMBTRACK, 0), 0},
      {SB_BOTTOM, last},
      {SB_TOP, 0},
      {MAKEWPARAM(SB_THUMBPOSITION, 500), last},
      {SB_ENDSCROLL, last},
  };
  for (const TStep& step : steps) {
    SendMessageW(List->Handle(), WM_VSCROLL, step.Code, 0);
    EXPECT_EQ(List->TopIndex(), step.Expected) << "code " << LOWORD(step.Code);
    // The bar keeps its page inside its range.
    const SCROLLINFO bar = Bar(SB_VERT);
    EXPECT_EQ(bar.nPos, std::min(step.Expected, bar.nMax - int(bar.nPage) + 1))
        << "code " << LOWORD(step.Code);
  }
}

TEST_F(TreeListInput, TheVerticalBarShowsEveryRowWithARowCountPage) {
  const SCROLLINFO bar = Bar(SB_VERT);
  EXPECT_EQ(bar.nMin, 0);
  EXPECT_EQ(bar.nMax, 29);
  EXPECT_EQ(int(bar.nPage), List->RowCount());
  n0->Expand(false);
  EXPECT_EQ(Bar(SB_VERT).nMax, 32) << "three more rows";
}

TEST_F(TreeListInput, WithEveryRowFittingTheVerticalRangeIsZero) {
  while (Nodes.size() > 3) {
    delete Nodes.back();
    Nodes.pop_back();
  }
  int min = -1, max = -1, pos = -1, page = -1, mask = 7;
  List->GetVScrollInfo(min, max, pos, page, mask);
  EXPECT_EQ(min, 0);
  EXPECT_EQ(max, 0);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(page, List->RowCount());
  EXPECT_EQ(mask, 7) << "the mask is not written";
  EXPECT_EQ(Bar(SB_VERT).nMax, 0);
}

TEST_F(TreeListInput, BarsKeptOnlyByEachOtherAreDroppedOnAResize) {
  auto style = [&] { return GetWindowLongPtrW(List->Handle(), GWL_STYLE); };
  ASSERT_EQ(style() & (WS_HSCROLL | WS_VSCROLL), LONG_PTR(WS_HSCROLL | WS_VSCROLL));
  const RECT client = List->ClientRect();
  const int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
  const int fullWidth = client.right + cx, fullHeight = client.bottom + cy;
  // Rows that all fit without the horizontal bar, while with it the last
  // one is not even partly shown; content that fits without the vertical
  // bar only.
  RECT cells{};
  List->GetCellsAreaRect(cells);
  const int rowsHeight = fullHeight - cells.top;
  int rows = 2;
  while (rows < 30 && (rows - 1) * (rowsHeight / rows) < rowsHeight - cy)
    ++rows;
  ASSERT_LT(rows, 30);
  const int wanted = rowsHeight / rows;
  List->SetRowHeight(wanted);
  const int row = List->CalcRowHeight(Nodes[0], List->RowHeight(), true);
  List->SetRowHeight(List->RowHeight() + wanted - row);
  ASSERT_EQ(List->CalcRowHeight(Nodes[0], List->RowHeight(), true), wanted);
  List->Widths[0] = (fullWidth - 2) / 3;
  List->Widths[1] = (fullWidth - 2) / 3;
  List->Widths[2] = fullWidth - 2 - 2 * ((fullWidth - 2) / 3);
  List->UpdateScrollBars();
  while (int(Nodes.size()) > rows) {
    delete Nodes.back();
    Nodes.pop_back();
  }
  ASSERT_EQ(style() & (WS_HSCROLL | WS_VSCROLL), LONG_PTR(WS_HSCROLL | WS_VSCROLL))
      << "each bar takes the room that keeps the other";
  SendMessageW(List->Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  EXPECT_EQ(style() & (WS_HSCROLL | WS_VSCROLL), 0);
  EXPECT_EQ(List->ClientRect().right, fullWidth);
  EXPECT_EQ(List->ClientRect().bottom, fullHeight);
}

TEST_F(TreeListInput, HorizontalThumbRoundsToFourUnlessTheEndIsReached) {
  List->Widths[0] = 300;
  List->Widths[1] = 100;
  List->Widths[2] = 100;
  List->UpdateScrollBars();
  const RECT area = List->GetScrollAreaRect();
  const int areaWidth = area.right - area.left;
  const int content = List->GetScrollableWidth();
  ASSERT_EQ(content, 500);
  ASSERT_GT(content, areaWidth + 20);
  EXPECT_EQ(Bar(SB_HORZ).nMax, 499);
  EXPECT_EQ(int(Bar(SB_HORZ).nPage), areaWidth);
  struct TStep {
    WPARAM Code;
    int Expected;
  };
  const int end = content - areaWidth;
  const TStep steps[] = {
      {MAKEWPARAM(SB_THUMBTRACK, 10), 8},
      {MAKEWPARAM(SB_THUMBTRACK, 0), 0},
      {MAKEWPARAM(SB_THUMBPOSITION, WORD(end - 1)), end},
      {SB_LEFT, 0},
      {SB_PAGERIGHT, areaWidth},
      {SB_PAGELEFT, 0},
      {SB_RIGHT, end},
      {SB_LINELEFT, -1},
  };
  int previous = 0;
  for (const TStep& step : steps) {
    SendMessageW(List->Handle(), WM_HSCROLL, step.Code, 0);
    if (step.Expected >= 0)
      EXPECT_EQ(List->LeftCoord(), step.Expected) << "code " << LOWORD(step.Code);
    else
      EXPECT_LT(List->LeftCoord(), previous) << "a line is the width of a digit";
    EXPECT_EQ(Bar(SB_HORZ).nPos, List->LeftCoord());
    previous = List->LeftCoord();
  }
}

TEST_F(TreeListInput, TheWheelScrollsTheSystemsLineCountAndReportsIt) {
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  ASSERT_GT(lines, 0u);
  ASSERT_LT(int(lines), 20);
  std::vector<std::pair<bool, int>> reports;
  List->OnMouseWheelScroll = [&](TControl*, bool AUp, int ALines) {
    reports.emplace_back(AUp, ALines);
  };
  const POINT screen = List->ClientToScreen(POINT{50, 50});
  SendMessageW(List->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)),
               MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(List->TopIndex(), int(lines));
  SendMessageW(List->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA),
               MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(List->TopIndex(), 0);
  EXPECT_EQ(reports, (std::vector<std::pair<bool, int>>{{false, int(lines)}, {true, int(lines)}}));
}

TEST_F(TreeListInput, MovingTheFocusBelowThePageScrollsAndMovesTheBar) {
  List->SetFocusedNode(Nodes[0], 0, false);
  for (int i = 0; i < List->RowCount() + 2; ++i)
    Key(VK_DOWN);
  EXPECT_GT(List->TopIndex(), 0);
  EXPECT_EQ(Bar(SB_VERT).nPos, List->TopIndex());
}

TEST_F(TreeListInput, TheDialogCodeAsksForArrowsAndCharsOnlyWhenTheyAreUsed) {
  List->SetOptions(OptionBit(aoRowSelect));
  EXPECT_EQ(SendMessageW(List->Handle(), WM_GETDLGCODE, 0, 0), LRESULT(DLGC_WANTARROWS));
  List->SetOptions(OptionBit(aoRowSelect) | OptionBit(aoEditing));
  EXPECT_EQ(SendMessageW(List->Handle(), WM_GETDLGCODE, 0, 0),
            LRESULT(DLGC_WANTARROWS | DLGC_WANTCHARS));
  List->SetOptions(OptionBit(aoTabs));
  EXPECT_EQ(SendMessageW(List->Handle(), WM_GETDLGCODE, 0, 0),
            LRESULT(DLGC_WANTARROWS | DLGC_WANTTAB));
}

// --- keyboard ------------------------------------------------------------------------

struct TKeyCase {
  const char* Name;
  std::vector<std::pair<WORD, TShiftState>> Keys;
  int ExpectedRow;
};

class KeyMoves : public TreeListInput, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(KeyMoves, FocusTheExpectedRow) {
  const TKeyCase& c = GetParam();
  List->SetFocusedNode(Nodes[2], 0, true);
  for (const auto& [key, shift] : c.Keys)
    Key(key, shift);
  EXPECT_EQ(List->FocusedNumber(), c.ExpectedRow);
}

INSTANTIATE_TEST_SUITE_P(
    TreeListInput, KeyMoves,
    ::testing::Values(TKeyCase{"Down", {{VK_DOWN, 0}}, 3}, TKeyCase{"Up", {{VK_UP, 0}}, 1},
                      TKeyCase{"UpTwiceStopsAtTheTop", {{VK_UP, 0}, {VK_UP, 0}, {VK_UP, 0}}, 0},
                      TKeyCase{"End", {{VK_END, 0}}, 29}, TKeyCase{"Home", {{VK_HOME, 0}}, 0},
                      TKeyCase{"CtrlDown", {{VK_DOWN, ssCtrl}}, 3},
                      TKeyCase{"CtrlEnd", {{VK_END, ssCtrl}}, 29},
                      TKeyCase{"DownAtTheLastStays", {{VK_END, 0}, {VK_DOWN, 0}}, 29}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(TreeListInput, PageDownGoesToThePagesLastRowThenByAPageLessOneRow) {
  const int rows = List->RowCount();
  ASSERT_GT(rows, 3);
  List->SetFocusedNode(Nodes[1], 0, true);
  Key(VK_NEXT);
  EXPECT_EQ(List->FocusedNumber(), rows - 1);
  Key(VK_NEXT);
  EXPECT_EQ(List->FocusedNumber(), rows - 1 + rows - 1);
  const int top = List->TopIndex();
  ASSERT_LT(top, List->FocusedNumber());
  Key(VK_PRIOR);
  EXPECT_EQ(List->FocusedNumber(), top) << "inside the page a page up goes to its top row";
  Key(VK_PRIOR);
  EXPECT_EQ(List->FocusedNumber(), top - (rows - 1));
}

TEST_F(TreeListInput, PlusMinusAndStarExpandAndCollapseTheFocusedNode) {
  List->SetFocusedNode(n0, 0, true);
  Char(L'+');
  EXPECT_TRUE(n0->Expanded());
  EXPECT_FALSE(c0->Expanded());
  Char(L'-');
  EXPECT_FALSE(n0->Expanded());
  Char(L'*');
  EXPECT_TRUE(n0->Expanded());
  EXPECT_TRUE(c0->Expanded()) << "the whole subtree";
  EXPECT_EQ(List->AbsoluteCount(), 34);
}

TEST_F(TreeListInput, RightExpandsThenEntersAndLeftClimbsThenCollapses) {
  UseMultiSelect();
  List->SetFocusedNode(n0, 0, true);
  Key(VK_RIGHT);
  EXPECT_TRUE(n0->Expanded());
  EXPECT_EQ(List->FocusedNode(), n0);
  Key(VK_RIGHT);
  EXPECT_EQ(List->FocusedNode(), c0);
  EXPECT_EQ(List->Selected, std::set<TgxTreeListNode*>{c0});
  Key(VK_LEFT);
  EXPECT_EQ(List->FocusedNode(), n0);
  EXPECT_EQ(List->Selected, std::set<TgxTreeListNode*>{n0}) << "the parent alone";
  Key(VK_LEFT);
  EXPECT_FALSE(n0->Expanded());
  EXPECT_EQ(List->FocusedNode(), n0);
}

TEST_F(TreeListInput, TabWalksTheColumnsAndThroughToTheNextNode) {
  List->SetOptions(OptionBit(aoTabThrough));
  List->SetFocusedNode(Nodes[1], 0, true);
  Key(VK_TAB);
  EXPECT_EQ(List->FocusedColumn(), 1);
  Key(VK_TAB);
  EXPECT_EQ(List->FocusedColumn(), 2);
  Key(VK_TAB);
  EXPECT_EQ(List->FocusedNode(), Nodes[2]);
  EXPECT_EQ(List->FocusedColumn(), 0);
  Key(VK_TAB, ssShift);
  EXPECT_EQ(List->FocusedNode(), Nodes[1]);
  EXPECT_EQ(List->FocusedColumn(), 2);
  List->SetOptions(0);
  List->SetFocusedNode(Nodes[1], 2, true);
  Key(VK_TAB);
  EXPECT_EQ(List->FocusedNode(), Nodes[1]) << "without tab-through the node stays";
}

TEST_F(TreeListInput, ArrowsAndHomeEndMoveAmongColumnsInCellMode) {
  List->SetOptions(0);
  List->SetOptionsEx(List->OptionsEx() | OptionBit(aoHorzThrough));
  List->SetFocusedNode(Nodes[1], 0, true);
  Key(VK_RIGHT);
  EXPECT_EQ(List->FocusedColumn(), 1);
  Key(VK_END);
  EXPECT_EQ(List->FocusedColumn(), 2);
  EXPECT_EQ(List->FocusedNode(), Nodes[1]);
  Key(VK_RIGHT);
  EXPECT_EQ(List->FocusedNode(), Nodes[2]) << "through to the next node";
  EXPECT_EQ(List->FocusedColumn(), 0);
  Key(VK_LEFT);
  EXPECT_EQ(List->FocusedNode(), Nodes[1]);
  EXPECT_EQ(List->FocusedColumn(), 2);
  Key(VK_HOME);
  EXPECT_EQ(List->FocusedColumn(), 0);
}

TEST_F(TreeListInput, ShiftArrowsGrowAndShrinkARangeFromTheAnchor) {
  UseMultiSelect();
  List->SetFocusedNode(Nodes[3], 0, true);
  Key(VK_DOWN);
  EXPECT_EQ(SelectedRows(), 1 << 4) << "a plain move selects the new node alone";
  Key(VK_DOWN, ssShift);
  EXPECT_EQ(SelectedRows(), (1 << 4) | (1 << 5));
  Key(VK_DOWN, ssShift);
  EXPECT_EQ(SelectedRows(), (1 << 4) | (1 << 5) | (1 << 6));
  Key(VK_UP, ssShift);
  EXPECT_EQ(SelectedRows(), (1 << 4) | (1 << 5));
  Key(VK_DOWN, ssCtrl);
  EXPECT_EQ(List->FocusedNumber(), 6);
  EXPECT_EQ(SelectedRows(), (1 << 4) | (1 << 5)) << "Ctrl moves the focus alone";
  Key(VK_SPACE, ssCtrl);
  EXPECT_EQ(SelectedRows(), (1 << 4) | (1 << 5) | (1 << 6));
  Key(VK_DOWN);
  EXPECT_EQ(SelectedRows(), 1 << 7);
}

TEST_F(TreeListInput, DownOnTheLastNodeKeepsItsSingleSelection) {
  UseMultiSelect();
  List->SetFocusedNode(Nodes[29], 0, true);
  Key(VK_DOWN);
  EXPECT_EQ(List->FocusedNode(), Nodes[29]);
  EXPECT_EQ(List->Selected, std::set<TgxTreeListNode*>{Nodes[29]});
}

TEST_F(TreeListInput, SelectedCountChangeFiresOncePerKey) {
  UseMultiSelect();
  List->SetFocusedNode(Nodes[3], 0, true);
  Key(VK_DOWN);
  int changes = 0;
  List->OnSelectedCountChange = [&](TControl*) { ++changes; };
  Key(VK_DOWN, ssShift);
  Key(VK_DOWN, ssShift);
  EXPECT_EQ(changes, 2);
  Key(VK_DOWN);
  EXPECT_EQ(changes, 3);
}

TEST_F(TreeListInput, KeyDownEventCanSwallowTheKey) {
  List->OnKeyDown = [](TControl*, WORD& AKey, TShiftState) {
    if (AKey == VK_DOWN)
      AKey = 0;
  };
  List->SetFocusedNode(Nodes[2], 0, true);
  Key(VK_DOWN);
  EXPECT_EQ(List->FocusedNumber(), 2);
}

TEST_F(TreeListInput, TypingStartsASearchOnTheFocusedColumnAndBackspaceEmptiesIt) {
  List->SetOptions(0);
  List->SetOptionsEx(List->OptionsEx() | OptionBit(aoAutoSearch));
  Nodes[3]->SetStrings(0, L"alpha");
  Nodes[5]->SetStrings(0, L"beta");
  Nodes[8]->SetStrings(0, L"bravo");
  List->SetFocusedNode(Nodes[1], 0, true);
  Char(L'b');
  EXPECT_TRUE(List->IsSearching());
  EXPECT_EQ(List->SearchText(), L"b");
  EXPECT_EQ(List->FocusedNode(), Nodes[5]);
  Char(L'r');
  EXPECT_EQ(List->FocusedNode(), Nodes[8]);
  Key(VK_BACK);
  Key(VK_BACK);
  EXPECT_EQ(List->SearchText(), L"");
  EXPECT_TRUE(List->IsSearching());
  Key(VK_ESCAPE);
  EXPECT_FALSE(List->IsSearching());
  EXPECT_EQ(List->FocusedNode(), Nodes[8]) << "Esc ends the search and does nothing else";
}

// --- mouse ---------------------------------------------------------------------------

TEST_F(TreeListInput, AClickOnACellFocusesItsNodeAndFiresClick) {
  List->SetOptions(0);
  int clicks = 0;
  List->OnClick = [&](TControl*) { ++clicks; };
  Click(CellPoint(Nodes[4], 1));
  EXPECT_EQ(List->FocusedNode(), Nodes[4]);
  EXPECT_EQ(List->FocusedColumn(), 1);
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_EQ(clicks, 1);
}

TEST_F(TreeListInput, TheExpandButtonTogglesTheNode) {
  const POINT button = FindInRow(n0, htButton);
  Click(button);
  EXPECT_TRUE(n0->Expanded());
  Click(button);
  EXPECT_FALSE(n0->Expanded());
}

TEST_F(TreeListInput, ADoubleClickOnTheTextTogglesTheNodeAndFiresDblClick) {
  int doubles = 0;
  List->OnDblClick = [&](TControl*) { ++doubles; };
  const POINT text = CellPoint(n0, 1);
  Click(text);
  Mouse(WM_LBUTTONDBLCLK, text, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, text, 0);
  EXPECT_TRUE(n0->Expanded());
  EXPECT_EQ(doubles, 1);
  List->SetDblClkExpanding(false);
  Mouse(WM_LBUTTONDBLCLK, text, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, text, 0);
  EXPECT_TRUE(n0->Expanded()) << "without double-click expanding it stays open";
  EXPECT_EQ(doubles, 2);
}

TEST_F(TreeListInput, CtrlClickTogglesAndShiftClickSelectsTheRangeFromTheAnchor) {
  UseMultiSelect();
  std::vector<int> changed;
  List->OnSelectionChanged = [&](TControl*, TgxTreeListNode* ANode) {
    changed.push_back(List->GetAbsoluteIndexOf(ANode));
  };
  Click(CellPoint(Nodes[2], 0));
  EXPECT_EQ(SelectedRows(), 1 << 2);
  EXPECT_EQ(List->SelectionAnchor(), Nodes[2]);
  Click(CellPoint(Nodes[4], 0), ssCtrl);
  EXPECT_EQ(SelectedRows(), (1 << 2) | (1 << 4));
  EXPECT_EQ(List->SelectionAnchor(), Nodes[4]);
  Click(CellPoint(Nodes[4], 0), ssCtrl);
  EXPECT_EQ(SelectedRows(), 1 << 2) << "a second Ctrl-click deselects";
  Click(CellPoint(Nodes[7], 0), ssShift);
  EXPECT_EQ(SelectedRows(), (1 << 4) | (1 << 5) | (1 << 6) | (1 << 7))
      << "from the anchor, the rest dropped";
  Click(CellPoint(Nodes[1], 0), ssShift | ssCtrl);
  EXPECT_EQ(SelectedRows(), 0xFE) << "Ctrl keeps what was selected";
  EXPECT_EQ(List->FocusedNode(), Nodes[1]);
  EXPECT_FALSE(changed.empty());
  Click(CellPoint(Nodes[5], 0));
  EXPECT_EQ(SelectedRows(), 1 << 5) << "a plain click on a selected node keeps it alone";
}

TEST_F(TreeListInput, WithoutExtendedModeCtrlClickStaysAmongSiblings) {
  UseMultiSelect(false);
  n0->Expand(false);
  Click(CellPoint(c1, 0));
  Click(CellPoint(Nodes[3], 0), ssCtrl);
  EXPECT_EQ(List->Selected, std::set<TgxTreeListNode*>{c1}) << "another parent is refused";
  Click(CellPoint(c2, 0), ssCtrl);
  EXPECT_EQ(List->Selected, (std::set<TgxTreeListNode*>{c1, c2}));
  List->ClearSelection();
  Click(CellPoint(Nodes[3], 0), ssCtrl);
  EXPECT_EQ(List->Selected, std::set<TgxTreeListNode*>{Nodes[3]}) << "the first is always taken";
}

TEST_F(TreeListInput, DraggingAColumnEdgeResizesTheColumn) {
  List->SetOptions(OptionBit(aoColumnSizing));
  const POINT edge = FindInHeader(htColumnEdge);
  ASSERT_EQ(List->GetHitInfo(edge).Column, 0);
  Mouse(WM_LBUTTONDOWN, edge, MK_LBUTTON);
  EXPECT_EQ(List->State(), tsColumnSizing);
  Mouse(WM_MOUSEMOVE, POINT{edge.x + 30, edge.y}, MK_LBUTTON);
  EXPECT_EQ(List->SizingPos(), edge.x + 30);
  Mouse(WM_LBUTTONUP, POINT{edge.x + 30, edge.y}, 0);
  EXPECT_EQ(List->State(), tsNormal);
  const int left = FindInHeader(htColumn).x;
  EXPECT_EQ(List->Widths[0], edge.x + 30 - left + 1)
      << "the width runs from the column's left to the line";
  EXPECT_EQ(List->Widths[1], 100);
  EXPECT_EQ(List->Log, std::vector<std::string>{"widths"});
}

TEST_F(TreeListInput, ASizingLineStopsAtTheColumnsMinimumAndEscapeCancels) {
  List->SetOptions(OptionBit(aoColumnSizing));
  const POINT edge = FindInHeader(htColumnEdge);
  Mouse(WM_LBUTTONDOWN, edge, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, POINT{edge.x - 200, edge.y}, MK_LBUTTON);
  EXPECT_EQ(List->SizingPos(), FindInHeader(htColumn).x + 20) << "the column's minimum";
  Key(VK_ESCAPE);
  EXPECT_EQ(List->State(), tsNormal);
  Mouse(WM_LBUTTONUP, POINT{edge.x - 200, edge.y}, 0);
  EXPECT_EQ(List->Widths[0], 100) << "a cancelled sizing changes nothing";
  EXPECT_TRUE(List->Log.empty());
}

TEST_F(TreeListInput, AHeaderClickCountsOnlyWhenReleasedOnTheSameHeader) {
  List->SetOptions(0);
  const POINT first = FindInHeader(htColumn);
  const POINT second{first.x + 120, first.y};
  ASSERT_EQ(List->GetHitInfo(second).Column, 1);
  Mouse(WM_LBUTTONDOWN, first, MK_LBUTTON);
  EXPECT_EQ(List->State(), tsColumnDown);
  Mouse(WM_LBUTTONUP, second, 0);
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_TRUE(List->Log.empty());
  Click(second);
  EXPECT_EQ(List->Log, std::vector<std::string>{"column click 1"});
}

TEST_F(TreeListInput, AnImmediateEditorOpensOnReleaseOverTheSameCellOnly) {
  List->SetOptions(OptionBit(aoEditing) | OptionBit(aoImmediateEditor));
  Mouse(WM_LBUTTONDOWN, CellPoint(Nodes[3], 1), MK_LBUTTON);
  Mouse(WM_LBUTTONUP, CellPoint(Nodes[4], 1), 0);
  EXPECT_EQ(List->State(), tsNormal) << "released on another row";
  Click(CellPoint(Nodes[5], 1), ssShift);
  EXPECT_EQ(List->State(), tsNormal) << "Shift opens none";
  Click(CellPoint(Nodes[6], 1));
  EXPECT_EQ(List->State(), tsEditing);
  EXPECT_EQ(List->FocusedNode(), Nodes[6]);
  EXPECT_EQ(List->InplaceNode(), Nodes[6]);
  Key(VK_ESCAPE);
  EXPECT_EQ(List->State(), tsNormal) << "Esc closes the editor";
}

TEST_F(TreeListInput, ASecondClickOnTheFocusedCellStartsTheClickToEditTimer) {
  List->SetOptions(OptionBit(aoEditing));
  Click(CellPoint(Nodes[3], 1));
  EXPECT_FALSE(List->IsClickEditTimerRunning()) << "the first click only focuses";
  Click(CellPoint(Nodes[3], 1));
  EXPECT_TRUE(List->IsClickEditTimerRunning());
  SendMessageW(List->Handle(), WM_TIMER, 2, 0);
  EXPECT_FALSE(List->IsClickEditTimerRunning());
  EXPECT_EQ(List->State(), tsEditing);
}

} // namespace
