#include "tree-list-core.h"

#include "application.h"
#include "ledger-balance.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// A tree list with one band of three columns, 60 pixels each, whose nodes
// keep their texts, with a selection set, and which names its nodes and
// writes the events it fires into a log, in order.
class TTestTreeList : public TCustomgxTreeList {
public:
  explicit TTestTreeList(TComponent* AOwner) : TCustomgxTreeList(AOwner) {
    OnChangeNode = [this](TControl*, TgxTreeListNode* AOld, TgxTreeListNode* ANew) {
      Log.push_back("node " + Name(AOld) + ">" + Name(ANew));
    };
    OnChangeColumn = [this](TControl*, TgxTreeListNode*, int AColumn) {
      Log.push_back("column " + std::to_string(AColumn));
    };
    OnDeletion = [this](TControl*, TgxTreeListNode* ANode) {
      Log.push_back("delete " + Name(ANode));
    };
    OnSelectedCountChange = [this](TControl*) { Log.push_back("count"); };
    OnEdited = [this](TControl*, TgxTreeListNode* ANode) {
      Log.push_back("edited " + Name(ANode));
    };
  }
  ~TTestTreeList() override {
    OnDeletion = nullptr;
    ClearNodes();
  }

  TgxTreeListNode* Add(const std::string& AName) { return Named(TCustomgxTreeList::Add(), AName); }
  TgxTreeListNode* Child(TgxTreeListNode* AParent, const std::string& AName) {
    return Named(AParent->AddChild(), AName);
  }
  TgxTreeListNode* Named(TgxTreeListNode* ANode, const std::string& AName) {
    Names[ANode] = AName;
    return ANode;
  }
  std::string Name(const TgxTreeListNode* ANode) const {
    const auto it = Names.find(ANode);
    return ANode ? (it == Names.end() ? "?" : it->second) : "-";
  }
  // The row numbers walked without the cache.
  int WalkedIndexOf(const TgxTreeListNode* ANode) const {
    return TgxTreeListNodeOwner::GetAbsoluteIndexOf(ANode);
  }
  bool CacheBuilt() const { return IsListNodesUsable(); }

  // ---- node values: texts --------------------------------------------------
  TgxTreeListNode* CreateNode() override { return new TgxTreeListTextNode(this); }
  static TgxTreeListTextNode* Text(TgxTreeListNode* ANode) {
    return static_cast<TgxTreeListTextNode*>(ANode);
  }
  int GetNodeImageIndex(TgxTreeListNode* ANode) override { return Text(ANode)->FImageIndex; }
  int GetNodeSelectedIndex(TgxTreeListNode* ANode) override { return Text(ANode)->FSelectedIndex; }
  int GetNodeStateIndex(TgxTreeListNode* ANode) override { return Text(ANode)->FStateIndex; }
  void SetNodeImageIndex(TgxTreeListNode* ANode, int AValue) override {
    Text(ANode)->FImageIndex = AValue;
  }
  void SetNodeSelectedIndex(TgxTreeListNode* ANode, int AValue) override {
    Text(ANode)->FSelectedIndex = AValue;
  }
  void SetNodeStateIndex(TgxTreeListNode* ANode, int AValue) override {
    Text(ANode)->FStateIndex = AValue;
  }
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
  void GetNodeEditValue(TgxTreeListNode* ANode, TgxInplaceEdit*, TgxVariant& AValue) override {
    AValue = GetNodeString(ANode, GetFocusedAbsoluteIndex(FocusedColumn()));
  }
  void SetNodeEditValue(TgxTreeListNode* ANode, int AColumn, TgxVariant& AValue,
                        TgxInplaceEdit*) override {
    SetNodeString(ANode, GetFocusedAbsoluteIndex(AColumn), VarToText(AValue));
  }

  // ---- one band of three columns ---------------------------------------------
  int GetColumnCount() const override { return 3; }
  int GetVisibleBandCount() override { return 1; }
  int GetBandCount() override { return 1; }
  int GetAbsoluteBandWidth(int) override { return 180; }
  int GetHeaderRowCount(int) override { return 1; }
  int GetHeaderColCount(int, int) override { return VisibleColumns; }
  int GetHeaderAbsoluteIndex(int, int, int ACol) override {
    return ACol < VisibleColumns ? ACol : -1;
  }
  int GetColumnColIndex(int AColumn) override { return AColumn; }
  int GetColumnWidth(int) override { return 60; }

  // ---- a selection set --------------------------------------------------------
  int GetSelectedCount() override { return int(Selected.size()); }
  TgxTreeListNode* GetSelectedItem(int AIndex) override {
    return AIndex >= 0 && AIndex < int(Selected.size()) ? *std::next(Selected.begin(), AIndex)
                                                        : nullptr;
  }
  bool IsNodeSelected(TgxTreeListNode* ANode) const override { return Selected.count(ANode) > 0; }
  void SetNodeSelected(TgxTreeListNode* ANode, bool AValue) override {
    if (AValue)
      Selected.insert(ANode);
    else
      Selected.erase(ANode);
    TCustomgxTreeList::SetNodeSelected(ANode, AValue);
  }
  void ClearSelection() override {
    Selected.clear();
    TCustomgxTreeList::ClearSelection();
  }

  int VisibleColumns = 3;
  std::set<TgxTreeListNode*> Selected;
  std::map<const TgxTreeListNode*, std::string> Names;
  std::vector<std::string> Log;
};

// Beeps counted instead of sounded.
class TCountingBeep : public TgxBeepSeam {
public:
  void Beep(UINT) override { ++Count; }
  int Count = 0;
};

// The core alone: node values only, no bands, no columns.
class TPlainTreeList : public TCustomgxTreeList {
public:
  using TCustomgxTreeList::TCustomgxTreeList;
  ~TPlainTreeList() override { ClearNodes(); }
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
};

class TreeListCore : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    GxUtilsStartup();
    GxContainerStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    List = new TTestTreeList(Owner.get());
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
  // a (a1 (a11), a2), b, c; a expanded, a1 collapsed.
  void BuildTree() {
    a = List->Add("a");
    a1 = List->Child(a, "a1");
    a11 = List->Child(a1, "a11");
    a2 = List->Child(a, "a2");
    b = List->Add("b");
    c = List->Add("c");
    a->Expand(false);
    List->Log.clear();
  }
  // The cache and a walk agree on every node's row.
  void ExpectRowsConsistent() {
    ASSERT_TRUE(List->CacheBuilt());
    for (TgxTreeListNode* n = List->TopNode(); n; n = n->GetNext())
      EXPECT_EQ(List->GetAbsoluteIndexOf(n), List->WalkedIndexOf(n)) << List->Name(n);
    int rows = 0;
    for (TgxTreeListNode* n = List->TopNode(); n; n = n->GetNextNode())
      EXPECT_EQ(List->GetNodeAtAbsoluteIndex(rows++), n);
    EXPECT_EQ(List->AbsoluteCount(), rows);
  }

  std::unique_ptr<TComponent> Owner;
  TTestTreeList* List = nullptr;
  TgxTreeListNode *a = nullptr, *a1 = nullptr, *a11 = nullptr, *a2 = nullptr, *b = nullptr,
                  *c = nullptr;
};

// --- options ------------------------------------------------------------------------

TEST_F(TreeListCore, ANewListHasTheDocumentedOptionsAndDefaults) {
  EXPECT_EQ(List->Options(), 0x37u);
  EXPECT_EQ(List->OptionsEx(), 0x8000303Eu);
  EXPECT_EQ(List->RowHeight(), 18);
  EXPECT_EQ(List->HeaderHeight(), 18);
  EXPECT_EQ(List->TextHeight(), 11);
  EXPECT_EQ(List->Indent(), 16);
  EXPECT_EQ(List->PreviewLines(), 2);
  EXPECT_EQ(List->MaxRowLineCount(), -1);
  EXPECT_EQ(List->WaitForExpandNodeTime(), 500);
  EXPECT_EQ(List->CustomizingRowCount(), 11);
  EXPECT_EQ(List->CustomizingPos().x, -1000);
  EXPECT_EQ(List->ScrollBars(), ssBoth);
  EXPECT_EQ(List->TreeLineStyle(), tlDot);
  EXPECT_EQ(List->ArrowsColor(), TColor(0x00FF00));
  EXPECT_EQ(List->GridLineColor(), clNone);
  EXPECT_EQ(List->FooterColor(), cl3DLight);
  EXPECT_EQ(List->PreviewFont().Color(), TColor(0xFF0000));
  EXPECT_EQ(List->Width(), 250);
  EXPECT_EQ(List->Height(), 150);
  EXPECT_EQ(List->Color(), clWindow);
  EXPECT_TRUE(List->TabStop());
  EXPECT_EQ(List->FocusedColumn(), -1);
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_EQ(List->GetDefaultPopupBorderStyle(xbs3D), pbFrame3D);
  List->SetLookAndFeel(lfFlat);
  EXPECT_EQ(List->GetDefaultPopupBorderStyle(xbs3D), pbSingle);
  List->SetLookAndFeel(lfUltraFlat);
  EXPECT_EQ(List->ScrollBarStyle(), ssHotTrack);
}

struct TQueryCase {
  const char* Name;
  TgxTreeListOptions Options;
  TgxTreeListOptionsEx OptionsEx;
  std::function<void(TCustomgxTreeList&)> Tweak;
  std::function<bool(TCustomgxTreeList&)> Query;
  bool Expected;
};

class OptionQueries : public TreeListCore, public ::testing::WithParamInterface<TQueryCase> {};

TEST_P(OptionQueries, AnswerFromTheirOptionAndTheirConditions) {
  const TQueryCase& c = GetParam();
  List->SetOptions(c.Options);
  List->SetOptionsEx(c.OptionsEx);
  if (c.Tweak)
    c.Tweak(*List);
  EXPECT_EQ(c.Query(*List), c.Expected);
}

const auto Nothing = std::function<void(TCustomgxTreeList&)>();
INSTANTIATE_TEST_SUITE_P(
    TreeListCore, OptionQueries,
    ::testing::Values(
        TQueryCase{"EnterThroughAlone", 0, OptionBit(aoEnterThrough), Nothing,
                   [](TCustomgxTreeList& L) { return L.IsEnterThrough(); }, false},
        TQueryCase{"EnterThroughWithShowEditor", 0,
                   OptionBit(aoEnterThrough) | OptionBit(aoEnterShowEditor), Nothing,
                   [](TCustomgxTreeList& L) { return L.IsEnterThrough(); }, true},
        TQueryCase{"MouseScrollWhileEditing", OptionBit(aoEditing), OptionBit(aoMouseScroll),
                   Nothing, [](TCustomgxTreeList& L) { return L.IsMouseScroll(); }, false},
        TQueryCase{"MouseScrollWithRowSelect", OptionBit(aoEditing) | OptionBit(aoRowSelect),
                   OptionBit(aoMouseScroll), Nothing,
                   [](TCustomgxTreeList& L) { return L.IsMouseScroll(); }, true},
        TQueryCase{"MouseScrollWithoutEditing", 0, OptionBit(aoMouseScroll), Nothing,
                   [](TCustomgxTreeList& L) { return L.IsMouseScroll(); }, true},
        TQueryCase{"RowAutoHeightWithNoLines", 0, OptionBit(aoRowAutoHeight),
                   [](TCustomgxTreeList& L) { L.SetMaxRowLineCount(0); },
                   [](TCustomgxTreeList& L) { return L.IsRowAutoHeightEnabled(); }, false},
        TQueryCase{"RowAutoHeightUnlimited", 0, OptionBit(aoRowAutoHeight), Nothing,
                   [](TCustomgxTreeList& L) { return L.IsRowAutoHeightEnabled(); }, true},
        TQueryCase{"PreviewWithNoLines", OptionBit(aoPreview), 0,
                   [](TCustomgxTreeList& L) { L.SetPreviewLines(0); },
                   [](TCustomgxTreeList& L) { return L.IsPreview(); }, false},
        TQueryCase{"Preview", OptionBit(aoPreview), 0, Nothing,
                   [](TCustomgxTreeList& L) { return L.IsPreview(); }, true},
        TQueryCase{"NewItemRowWithoutHeight", 0, 0,
                   [](TCustomgxTreeList& L) { L.SetShowNewItemRow(true); },
                   [](TCustomgxTreeList& L) { return L.IsShowNewItemRow(); }, false},
        TQueryCase{"NewItemRowWithHeight", 0, 0,
                   [](TCustomgxTreeList& L) {
                     L.SetShowNewItemRow(true);
                     L.SetNewItemRowHeight(20);
                   },
                   [](TCustomgxTreeList& L) { return L.IsShowNewItemRow(); }, true},
        TQueryCase{"HorizontalBarWithVerticalOnly", 0, 0,
                   [](TCustomgxTreeList& L) { L.SetScrollBars(ssVertical); },
                   [](TCustomgxTreeList& L) { return L.IsHorzScrollBarAllowed(); }, false},
        TQueryCase{"VerticalBarWithVerticalOnly", 0, 0,
                   [](TCustomgxTreeList& L) { L.SetScrollBars(ssVertical); },
                   [](TCustomgxTreeList& L) { return L.IsVertScrollBarAllowed(); }, true},
        TQueryCase{"ColumnSizingOff", 0, 0, Nothing,
                   [](TCustomgxTreeList& L) { return L.CanSizeColumn(0); }, false},
        TQueryCase{
            "BothFullSizingsFromOneOption", 0, OptionBit(aoFullSizing), Nothing,
            [](TCustomgxTreeList& L) { return L.IsBandFullSizing() && L.IsColumnFullSizing(); },
            true},
        TQueryCase{"HideFocusRectIsTheContainersAnswer", OptionBit(aoHideFocusRect), 0, Nothing,
                   [](TCustomgxTreeList& L) { return L.HidesFocusRect(); }, true},
        TQueryCase{"ButtonsAlwaysIsTheContainersAnswer", 0, OptionBit(aoShowButtonAlways), Nothing,
                   [](TCustomgxTreeList& L) { return L.ShowsButtonsAlways(); }, true},
        TQueryCase{"MultiSortActiveFollowsMultiSort", 0, OptionBit(aoMultiSort), Nothing,
                   [](TCustomgxTreeList& L) { return L.IsMultiSortActive(0); }, true},
        TQueryCase{"InvertSelect", 0, OptionBit(aoInvertSelect), Nothing,
                   [](TCustomgxTreeList& L) { return L.IsInvertSelect(); }, true}),
    [](const ::testing::TestParamInfo<TQueryCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

TEST_F(TreeListCore, ACoreWithoutBandsAnswersNoBandsNoColumnsAndNoPanels) {
  TPlainTreeList plain(nullptr);
  EXPECT_EQ(plain.GetVisibleBandCount(), 0);
  EXPECT_EQ(plain.GetColumnCount(), 0);
  EXPECT_EQ(plain.GetVisibleColumnCount(), 0);
  EXPECT_EQ(plain.GetFocusedAbsoluteIndex(0), -1);
  EXPECT_EQ(plain.GetLeftFixedBand(), -1);
  EXPECT_EQ(plain.GetRightFixedBand(), -1);
  EXPECT_EQ(plain.GetHeaderAbsoluteIndex(0, 0, 0), -1);
  EXPECT_EQ(plain.GetHeaderMaxLineCount(0), 1);
  EXPECT_EQ(plain.GetColumnSorted(0), csNone);
  EXPECT_EQ(plain.GetBandMaxRowCount(), 5);
  EXPECT_EQ(plain.GetHeaderPanelMaxRowCount(), 4);
  EXPECT_EQ(plain.GetGroupPanelHeight(), 0);
  EXPECT_FALSE(plain.IsShowStatusPanel());
  EXPECT_EQ(plain.GetColumnColor(0), plain.Color());
  EXPECT_EQ(plain.CompareNodes(7, 3), 4);
  plain.SetRowHeight(18);
  EXPECT_FALSE(plain.RowHeightAssigned()) << "an unchanged row height is not marked";
  plain.SetRowHeight(22);
  EXPECT_TRUE(plain.RowHeightAssigned());
}

TEST_F(TreeListCore, AnImageListThatGoesIsForgottenAndItsChangesRepaint) {
  auto* images = new TImageList(Owner.get());
  auto* states = new TImageList(Owner.get());
  List->SetImages(images);
  List->SetStateImages(states);
  delete images;
  EXPECT_EQ(List->Images(), nullptr);
  EXPECT_EQ(List->StateImages(), states);
  List->SetStateImages(nullptr);
  delete states;
  EXPECT_EQ(List->StateImages(), nullptr);
}

// --- nodes and focus -------------------------------------------------------------------

TEST_F(TreeListCore, TheFirstAddedNodeIsFocusedAndTopWithoutAnEvent) {
  TgxTreeListNode* first = List->Add("first");
  List->Add("second");
  EXPECT_EQ(List->FocusedNode(), first);
  EXPECT_EQ(List->TopVisibleNode(), first);
  EXPECT_TRUE(List->Log.empty());
}

struct TDeleteCase {
  const char* Name;
  const char* Deleted;
  const char* Focused;
};

class DeletingTheFocusedNode : public TreeListCore,
                               public ::testing::WithParamInterface<TDeleteCase> {};

TEST_P(DeletingTheFocusedNode, FocusesThePriorNodeOrTheNextRowWithoutAnEvent) {
  BuildTree();
  TgxTreeListNode* victim = nullptr;
  for (TgxTreeListNode* n = List->TopNode(); n; n = n->GetNext())
    if (List->Name(n) == GetParam().Deleted)
      victim = n;
  ASSERT_NE(victim, nullptr);
  List->SetFocusedNode(victim, -1, false);
  List->Log.clear();
  delete victim;
  EXPECT_EQ(List->Name(List->FocusedNode()), GetParam().Focused);
  // Children go before their parent; nothing but deletions fires.
  ASSERT_FALSE(List->Log.empty());
  EXPECT_EQ(List->Log.back(), std::string("delete ") + GetParam().Deleted);
  for (const std::string& entry : List->Log)
    EXPECT_EQ(entry.rfind("delete ", 0), 0u) << entry;
  ExpectRowsConsistent();
}

INSTANTIATE_TEST_SUITE_P(TreeListCore, DeletingTheFocusedNode,
                         ::testing::Values(TDeleteCase{"LaterSibling", "a2", "a1"},
                                           TDeleteCase{"FirstChild", "a1", "a"},
                                           TDeleteCase{"FirstTopLevel", "a", "b"},
                                           TDeleteCase{"LastTopLevel", "c", "b"}),
                         [](const ::testing::TestParamInfo<TDeleteCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST_F(TreeListCore, DeletingTheLastNodeClearsEveryNodeReference) {
  TgxTreeListNode* only = List->Add("only");
  List->SetSelectionAnchor(only);
  delete only;
  EXPECT_EQ(List->FocusedNode(), nullptr);
  EXPECT_EQ(List->TopVisibleNode(), nullptr);
  EXPECT_EQ(List->SelectionAnchor(), nullptr);
  EXPECT_EQ(List->AbsoluteCount(), 0);
  EXPECT_EQ(List->LastNode(), nullptr);
}

TEST_F(TreeListCore, ClearNodesFiresOnlyTheDeletionOfEveryNode) {
  BuildTree();
  List->ClearNodes();
  std::vector<std::string> deleted = List->Log;
  std::sort(deleted.begin(), deleted.end());
  EXPECT_EQ(deleted, (std::vector<std::string>{"delete a", "delete a1", "delete a11", "delete a2",
                                               "delete b", "delete c"}));
  EXPECT_EQ(List->Count(), 0);
  EXPECT_EQ(List->FocusedNode(), nullptr);
}

TEST_F(TreeListCore, TheRowCacheFollowsAdditionsDeletionsMovesAndCollapses) {
  BuildTree();
  List->MakeListNodes();
  ExpectRowsConsistent();
  EXPECT_EQ(List->AbsoluteCount(), 5) << "a11 lies inside the collapsed a1";
  EXPECT_EQ(List->GetAbsoluteIndexOf(a11), -1);
  TgxTreeListNode* a3 = List->Child(a, "a3");
  ExpectRowsConsistent();
  EXPECT_EQ(List->GetAbsoluteIndexOf(a3), 3);
  delete a2;
  ExpectRowsConsistent();
  a1->Expand(false);
  ExpectRowsConsistent();
  EXPECT_EQ(List->GetAbsoluteIndexOf(a11), 2);
  a->Collapse(false);
  ExpectRowsConsistent();
  EXPECT_EQ(List->AbsoluteCount(), 3);
}

TEST_F(TreeListCore, AMovedFocusedNodeKeepsTheFocusAndTheRowsStayConsistent) {
  BuildTree();
  List->SetFocusedNode(a2, -1, false);
  a2->MoveTo(c, natlAddChild);
  EXPECT_EQ(List->FocusedNode(), a2);
  EXPECT_EQ(a2->Parent(), c);
  EXPECT_TRUE(c->Expanded()) << "the moved node is made visible";
  ExpectRowsConsistent();
  EXPECT_EQ(List->FocusedNumber(), List->AbsoluteCount() - 1);
}

TEST_F(TreeListCore, AFocusChangeFiresTheNodeEventThenTheColumnEvent) {
  BuildTree();
  List->SetOptions(List->Options() & ~OptionBit(aoRowSelect));
  List->SetFocusedNode(b, 2, false);
  EXPECT_EQ(List->Log, (std::vector<std::string>{"node a>b", "column 2"}));
  List->Log.clear();
  List->SetFocusedNode(b, 2, false);
  EXPECT_TRUE(List->Log.empty()) << "nothing changed, nothing fires";
  List->SetFocusedColumn(1);
  EXPECT_EQ(List->Log, (std::vector<std::string>{"column 1"}));
}

TEST_F(TreeListCore, FocusStepsWalkTheDisplayOrderAndGotoLastHiddenReachesTheDeepestNode) {
  BuildTree();
  EXPECT_TRUE(List->IsBOF());
  EXPECT_TRUE(List->GotoNext(false));
  EXPECT_EQ(List->FocusedNode(), a1);
  EXPECT_TRUE(List->GotoNext(false));
  EXPECT_EQ(List->FocusedNode(), a2) << "a11 is hidden";
  EXPECT_TRUE(List->GotoPrev(false));
  EXPECT_TRUE(List->GotoNext(true));
  EXPECT_EQ(List->FocusedNode(), a11) << "with hidden nodes the walk enters collapsed a1";
  TgxTreeListNode* c1 = List->Child(c, "c1");
  TgxTreeListNode* c11 = List->Child(c1, "c11");
  List->GotoLast(false);
  EXPECT_EQ(List->FocusedNode(), c);
  EXPECT_TRUE(List->IsEOF());
  List->GotoLast(true);
  EXPECT_EQ(List->FocusedNode(), c11);
  EXPECT_TRUE(c->Expanded() && c1->Expanded()) << "focusing makes it visible";
  List->GotoFirst();
  EXPECT_EQ(List->FocusedNode(), a);
  EXPECT_FALSE(List->GotoPrev(false));
}

TEST_F(TreeListCore, AStepWithOneSelectedFocusedNodeMovesTheSelectionAlong) {
  BuildTree();
  List->SetOptions(List->Options() | OptionBit(aoMultiSelect));
  a->SetSelected(true);
  List->GotoNext(false);
  EXPECT_EQ(List->Selected, (std::set<TgxTreeListNode*>{a1}));
}

TEST_F(TreeListCore, MakeNodeVisibleExpandsEveryCollapsedAncestor) {
  BuildTree();
  a->Collapse(false);
  ASSERT_FALSE(List->IsNodeVisible(a11));
  List->MakeNodeVisible(a11);
  EXPECT_TRUE(a->Expanded());
  EXPECT_TRUE(a1->Expanded());
  EXPECT_TRUE(List->IsNodeVisible(a11));
  EXPECT_GE(List->GetAbsoluteIndexOf(a11), 0);
}

TEST_F(TreeListCore, FocusOrderPositionsAndTheirInverse) {
  List->VisibleColumns = 2;
  EXPECT_EQ(List->GetFocusedAbsoluteIndex(1), 1);
  EXPECT_EQ(List->GetFocusedAbsoluteIndex(2), -1);
  EXPECT_EQ(List->GetFocusedVisibleIndex(1), 1);
  EXPECT_EQ(List->GetFocusedVisibleIndex(2), 0) << "a column that is not visible gives 0";
}

// --- update locks ---------------------------------------------------------------------

TEST_F(TreeListCore, NestedUpdatesReportTheSelectedCountOnceAtTheOutermostEnd) {
  BuildTree();
  List->BeginUpdate();
  List->BeginUpdate();
  a->SetSelected(true);
  b->SetSelected(true);
  List->EndUpdate();
  EXPECT_TRUE(List->Log.empty());
  List->EndUpdate();
  EXPECT_EQ(List->Log, std::vector<std::string>{"count"});
  List->Log.clear();
  List->BeginSelection();
  a->SetSelected(false);
  a->SetSelected(true);
  List->EndSelection();
  EXPECT_TRUE(List->Log.empty()) << "the same count at the end reports nothing";
}

TEST_F(TreeListCore, ANodeAddedWhileLockedIsNotPatchedInAndTheEndRebuildsTheRows) {
  BuildTree();
  List->MakeListNodes();
  List->BeginUpdate();
  EXPECT_FALSE(List->CacheBuilt()) << "an update drops the row cache";
  TgxTreeListNode* d = List->Add("d");
  EXPECT_FALSE(List->CacheBuilt());
  List->EndUpdate();
  ExpectRowsConsistent();
  EXPECT_EQ(List->GetAbsoluteIndexOf(d), 5);
}

TEST_F(TreeListCore, CancelAndDisableUpdateLeaveTheRowsUnbuilt) {
  BuildTree();
  List->BeginUpdate();
  List->CancelUpdate();
  EXPECT_FALSE(List->IsUpdateLocked());
  EXPECT_FALSE(List->CacheBuilt()) << "cancelling does not recalculate";
  List->DisableUpdate();
  EXPECT_TRUE(List->IsUpdateLocked());
  List->EnableUpdate();
  EXPECT_FALSE(List->CacheBuilt());
  List->BeginPaintUpdate();
  EXPECT_TRUE(List->IsPaintLocked());
  List->EndPaintUpdate();
  EXPECT_FALSE(List->IsPaintLocked());
}

TEST_F(TreeListCore, FullExpandAndCollapseRunInsideOneUpdate) {
  BuildTree();
  int changes = 0;
  List->OnChangeTopVisibleNode = [&](TControl*) { ++changes; };
  List->FullExpand();
  EXPECT_TRUE(a1->Expanded());
  ExpectRowsConsistent();
  EXPECT_EQ(List->AbsoluteCount(), 6);
  List->FullCollapse();
  EXPECT_EQ(List->AbsoluteCount(), 3);
  EXPECT_EQ(changes, 0);
}

// --- the editor ----------------------------------------------------------------------

class TreeListEditor : public TreeListCore {
protected:
  void SetUp() override {
    TreeListCore::SetUp();
    Form = new TWinControl(Owner.get());
    Form->SetBounds(60, 60, 320, 220);
    List->SetBounds(10, 10, 280, 180);
    List->SetParent(Form);
    List->SetOptions(OptionBit(aoEditing));
    BuildTree();
    a->SetStrings(0, L"alpha");
    a->SetStrings(1, L"one");
    List->SetFocusedNode(a, 1, false);
    List->Log.clear();
    Form->Show();
    harness::PumpMessages();
  }
  TWinControl* Form = nullptr;
  TCountingBeep Beeps;
  TSeamScope<TgxBeepSeam> BeepScope{Beeps};
};

TEST_F(TreeListEditor, ShowEditorWithRowSelectDoesNothing) {
  List->SetOptions(OptionBit(aoEditing) | OptionBit(aoRowSelect));
  List->ShowEditor();
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_EQ(List->InplaceEditor(), nullptr);
}

TEST_F(TreeListEditor, ARefusedEditingLeavesNoEditor) {
  List->OnEditing = [](TControl*, TgxTreeListNode*, bool& AAllow) { AAllow = false; };
  List->ShowEditor();
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_EQ(List->InplaceEditor(), nullptr);
}

TEST_F(TreeListEditor, TheEditorOpensOnTheFocusedCellWithItsValueAndStoresItsChange) {
  List->ShowEditor();
  ASSERT_EQ(List->State(), tsEditing);
  TgxInplaceEdit* editor = List->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Container(), static_cast<IgxEditContainer*>(List));
  EXPECT_TRUE(editor->IsVisible());
  EXPECT_FALSE(List->IsInitEdit()) << "the init bracket is closed again";
  EXPECT_EQ(editor->GetEditingText(), L"one");
  const RECT cell = List->GetEditRect(a, 1);
  EXPECT_EQ(cell.left, 60);
  EXPECT_EQ(cell.right, 120);
  EXPECT_EQ(editor->Left(), cell.left - 2) << "the frame lies around the cell";
  EXPECT_EQ(editor->Top(), cell.top - 2);
  EXPECT_EQ(List->InplaceNode(), a);

  editor->SetEditingText(L"uno");
  editor->SetModified(true);
  List->CloseEditor();
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_FALSE(editor->IsVisible());
  EXPECT_EQ(a->Strings(1), L"uno");
  EXPECT_EQ(List->Log, std::vector<std::string>{"edited a"});
  EXPECT_EQ(List->InplaceNode(), nullptr);
}

TEST_F(TreeListEditor, ClosingAnUnchangedEditorFiresEditedButStoresNothing) {
  List->ShowEditor();
  TgxInplaceEdit* editor = List->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  editor->SetEditingText(L"not kept");
  editor->SetModified(false);
  List->CloseEditor();
  EXPECT_EQ(a->Strings(1), L"one");
  EXPECT_EQ(List->Log, std::vector<std::string>{"edited a"});
}

TEST_F(TreeListEditor, CancelEditorPostsNothingAndAnUpdateHidesTheEditor) {
  List->ShowEditor();
  TgxInplaceEdit* editor = List->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  editor->SetEditingText(L"dropped");
  editor->SetModified(true);
  List->CancelEditor();
  EXPECT_EQ(a->Strings(1), L"one");
  EXPECT_TRUE(List->Log.empty());

  List->ShowEditor();
  ASSERT_EQ(List->State(), tsEditing);
  EXPECT_EQ(List->InplaceEditor(), editor) << "the control reuses its editor";
  List->BeginUpdate();
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_FALSE(editor->IsVisible());
  List->EndUpdate();
}

TEST_F(TreeListEditor, MovingTheFocusHidesTheEditorAndSavesItsValue) {
  List->ShowEditor();
  TgxInplaceEdit* editor = List->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  editor->SetEditingText(L"moved");
  editor->SetModified(true);
  List->SetFocusedNode(b, 1, false);
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_EQ(a->Strings(1), L"moved");
  EXPECT_EQ(List->Log, (std::vector<std::string>{"edited a", "node a>b"}));
}

TEST_F(TreeListEditor, TheFocusGoingIntoTheEditorKeepsItAndLeavingTheControlClosesIt) {
  auto* other = new TWinControl(Owner.get());
  other->SetBounds(0, 195, 20, 20);
  other->SetTabStop(true);
  other->SetParent(Form);
  harness::PumpMessages();
  List->SetFocus();
  List->ShowEditor();
  TgxInplaceEdit* editor = List->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  editor->SetFocus();
  harness::PumpMessages();
  EXPECT_EQ(List->State(), tsEditing);
  EXPECT_TRUE(List->IsActive());
  editor->SetEditingText(L"left");
  editor->SetModified(true);
  other->SetFocus();
  harness::PumpMessages();
  EXPECT_EQ(List->State(), tsNormal);
  EXPECT_FALSE(editor->IsVisible());
  EXPECT_EQ(a->Strings(1), L"left");
  EXPECT_FALSE(List->IsActive());
}

TEST_F(TreeListEditor, AValueTheEditorRefusesKeepsItOpenWhenTheFocusLeaves) {
  auto* other = new TWinControl(Owner.get());
  other->SetBounds(0, 195, 20, 20);
  other->SetParent(Form);
  harness::PumpMessages();
  List->ShowEditor();
  TgxInplaceEdit* editor = List->InplaceEditor();
  ASSERT_NE(editor, nullptr);
  editor->OnValidate = [](TControl*, std::wstring&, bool& AAccept) { AAccept = false; };
  editor->SetFocus();
  harness::PumpMessages();
  editor->SetEditingText(L"refused");
  editor->SetModified(true);
  other->SetFocus();
  harness::PumpMessages();
  EXPECT_EQ(List->State(), tsEditing);
  EXPECT_TRUE(editor->IsVisible());
  EXPECT_EQ(GetFocus(), editor->Handle()) << "the editor took the focus back";
  EXPECT_EQ(a->Strings(1), L"one");
  EXPECT_EQ(Beeps.Count, 1) << "one refusal, one beep";
  editor->OnValidate = nullptr;
  List->CancelEditor();
}

TEST_F(TreeListEditor, MakeNodeVisibleScrollsARowBelowTheWindowToTheBottomAndOneAboveToTheTop) {
  std::vector<TgxTreeListNode*> rows;
  for (TgxTreeListNode* n = List->TopNode(); n; n = n->GetNextNode())
    rows.push_back(n);
  for (int i = 0; i < 20; ++i)
    rows.push_back(List->Add("n" + std::to_string(i)));
  const int shown = List->VisibleRowCount();
  ASSERT_GT(shown, 2);
  List->MakeNodeVisible(rows[15]);
  EXPECT_EQ(List->TopIndex(), 15 - shown + 1) << "the smallest top at which it is wholly visible";
  const int top = List->TopIndex();
  List->MakeNodeVisible(rows[top + 1]);
  EXPECT_EQ(List->TopIndex(), top) << "a row inside the window scrolls nothing";
  List->MakeNodeVisible(rows[2]);
  EXPECT_EQ(List->TopIndex(), 2);
  // The point in a row's second column hits that node and column.
  const RECT cell = List->GetEditRect(rows[3], 1);
  const TgxTreeListHitInfo hit = List->GetHitInfo(POINT{cell.left + 5, cell.top + 5});
  EXPECT_EQ(hit.Node, rows[3]);
  EXPECT_EQ(hit.Column, 1);
  EXPECT_EQ(List->GetNodeAt(cell.left + 5, cell.top + 5), rows[3]);
}

TEST_F(TreeListEditor, TabsAreWantedOnlyWithTheTabsOption) {
  EXPECT_FALSE(List->WantsTabs());
  List->SetOptions(List->Options() | OptionBit(aoTabs));
  EXPECT_EQ(List->WantsTabs(), GetAsyncKeyState(VK_CONTROL) >= 0);
}

} // namespace
