#include "tree-list-control.h"

#include "application.h"
#include "ledger-balance.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The band-and-column layer with text nodes, as the published list keeps
// them.
class TTestList : public TCustomgxTreeListControl {
public:
  using TCustomgxTreeListControl::TCustomgxTreeListControl;
  ~TTestList() override { ClearNodes(); }
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
    return TgxNodeVariant(Text(ANode)->Text(AColumn));
  }
  void SetNodeVariant(TgxTreeListNode* ANode, int AColumn, const TgxNodeVariant& AValue) override {
    Text(ANode)->SetText(AColumn, AValue.AsText());
  }
  // What the core itself computes for a column, uncached.
  int ComputedWidth(int AColumn) { return TCustomgxTreeList::GetColumnWidth(AColumn); }
};

// A column kind whose default width follows its caption.
class TCaptionWideColumn : public TgxTreeListColumn {
public:
  using TgxTreeListColumn::TgxTreeListColumn;
  int DefaultWidth() override { return 10 * int(Caption().size()) + 30; }
  TgxTreeListColumnClass ColumnClass() const override {
    return [](TComponent* AOwner) -> TgxTreeListColumn* { return new TCaptionWideColumn(AOwner); };
  }
};

class TreeListColumns : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    GxUtilsStartup();
    GxContainerStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    List = new TTestList(Owner.get());
    List->SetName(L"List");
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
  // Bands A, B, C, each with the columns named in ABands (band index per
  // column, in column order).
  void ThreeBands(const std::vector<int>& AColumnBands) {
    List->Bands().Items(0)->SetCaption(L"A");
    List->Bands().Add()->SetCaption(L"B");
    List->Bands().Add()->SetCaption(L"C");
    for (int band : AColumnBands)
      List->CreateColumn()->SetBandIndex(band);
  }
  std::vector<int> BandIndexes() const {
    std::vector<int> result;
    for (int i = 0; i < List->ColumnCount(); ++i)
      result.push_back(List->Columns(i)->BandIndex());
    return result;
  }
  std::vector<std::wstring> Captions() const {
    std::vector<std::wstring> result;
    for (int i = 0; i < List->Bands().Count(); ++i)
      result.push_back(List->Bands().Items(i)->Caption());
    return result;
  }
  TgxTreeListColumn* Column(int AIndex) const { return List->Columns(AIndex); }

  std::unique_ptr<TComponent> Owner;
  TTestList* List = nullptr;
};

// --- bands ---------------------------------------------------------------------------

TEST_F(TreeListColumns, ANewControlHasOneDefaultBandAndOneHeaderRow) {
  EXPECT_EQ(List->Bands().Count(), 1);
  EXPECT_EQ(List->Bands().VisibleCount(), 1);
  EXPECT_TRUE(List->DefaultLayout());
  EXPECT_EQ(List->BandRowCount(), 1);
  EXPECT_EQ(List->BandMaxRowCount(), 5);
  EXPECT_EQ(List->HeaderPanelRowCount(), 1);
  EXPECT_EQ(List->HeaderPanelMaxRowCount(), 5);
  EXPECT_EQ(List->HeaderMinRowCount(), 1);
  EXPECT_EQ(List->GetLeftFixedBand(), -1);
  EXPECT_EQ(List->GetRightFixedBand(), -1);
  TgxTreeListBand* band = List->Bands().Items(0);
  EXPECT_EQ(band->Width(), 250);
  EXPECT_EQ(band->MinWidth(), 30);
  EXPECT_EQ(band->Alignment(), taCenter);
  EXPECT_EQ(band->Fixed(), bfNone);
  EXPECT_TRUE(band->Sizing());
  EXPECT_TRUE(band->Visible());
  EXPECT_EQ(band->HeaderRowCount(), 0);
  List->CreateColumn();
  List->CreateColumn();
  EXPECT_EQ(band->HeaderRowCount(), 1);
  EXPECT_EQ(List->GetColumnCount(), 2);
  EXPECT_EQ(Column(0)->Name(), L"ListColumn1");
  EXPECT_EQ(Column(1)->Name(), L"ListColumn2");
  EXPECT_EQ(List->ColumnByName(L"listcolumn2"), Column(1));
  EXPECT_EQ(List->ColumnByName(L"none"), nullptr);
}

TEST_F(TreeListColumns, ColumnNamesSkipNamesTheOwnerAlreadyHas) {
  auto* taken = new TComponent(List);
  taken->SetName(L"ListColumn1");
  TgxTreeListColumn* column = List->CreateColumn();
  EXPECT_EQ(column->Name(), L"ListColumn2");
  EXPECT_EQ(column->TreeList(), List);
}

TEST_F(TreeListColumns, ASecondBandEndsTheDefaultLayoutAndSettingItBackKeepsOneBand) {
  List->CreateColumn();
  List->CreateColumn();
  List->Bands().Add();
  EXPECT_FALSE(List->DefaultLayout());
  Column(1)->SetBandIndex(1);
  List->SetShowBands(true);
  List->SetHeaderPanelRowCountProperty(2);
  List->Bands().Items(0)->SetVisible(false);

  List->SetDefaultLayout(true);
  EXPECT_TRUE(List->DefaultLayout());
  EXPECT_EQ(List->Bands().Count(), 1);
  EXPECT_TRUE(List->Bands().Items(0)->Visible());
  EXPECT_EQ(BandIndexes(), (std::vector<int>{0, 0}));
  EXPECT_FALSE(List->ShowBands());
  EXPECT_EQ(List->HeaderPanelRowCount(), 1);
}

TEST_F(TreeListColumns, DeletingABandRenumbersTheColumnsAfterIt) {
  ThreeBands({0, 1, 2, 1, 2});
  delete List->Bands().Items(1);
  EXPECT_EQ(BandIndexes(), (std::vector<int>{0, -1, 1, -1, 1}));
}

TEST_F(TreeListColumns, MovingABandCarriesItsColumnsAndShiftsTheOthers) {
  ThreeBands({0, 1, 2, 0});
  List->Bands().Items(0)->SetIndex(2);
  EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"B", L"C", L"A"}));
  EXPECT_EQ(BandIndexes(), (std::vector<int>{2, 0, 1, 2}));
  List->Bands().Items(2)->SetIndex(0);
  EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"A", L"B", L"C"}));
  EXPECT_EQ(BandIndexes(), (std::vector<int>{0, 1, 2, 0}));
  // Out-of-range targets are clamped.
  List->Bands().Items(1)->SetIndex(99);
  EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"A", L"C", L"B"}));
  EXPECT_EQ(BandIndexes(), (std::vector<int>{0, 2, 1, 0}));
}

TEST_F(TreeListColumns, FixedRightMovesTheBandLastAndTakesTheEdgeFromAnother) {
  ThreeBands({0, 1, 2});
  List->Bands().Items(2)->SetFixed(bfRight);
  ASSERT_EQ(List->Bands().Items(2)->Fixed(), bfRight);
  List->Bands().Items(0)->SetFixed(bfRight);
  EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"B", L"C", L"A"}));
  EXPECT_EQ(List->Bands().Items(2)->Fixed(), bfRight);
  EXPECT_EQ(List->Bands().Items(1)->Fixed(), bfNone);
  EXPECT_EQ(BandIndexes(), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(List->GetRightFixedBand(), 2);
  EXPECT_EQ(List->GetLeftFixedBand(), -1);
  // A fixed band keeps its edge.
  List->Bands().Items(2)->SetIndex(0);
  EXPECT_EQ(List->Bands().Items(2)->Caption(), L"A");
}

TEST_F(TreeListColumns, AHiddenBandMovesToItsEdgeButHoldsNoFixedSide) {
  ThreeBands({});
  TgxTreeListBand* b = List->Bands().Items(1);
  b->SetVisible(false);
  b->SetFixed(bfLeft);
  EXPECT_EQ(b->Index(), 0);
  EXPECT_EQ(b->Fixed(), bfNone);
  EXPECT_EQ(List->GetLeftFixedBand(), -1);
}

TEST_F(TreeListColumns, HidingTheLeftFixedBandClearsItsSideForGood) {
  ThreeBands({});
  TgxTreeListBand* c = List->Bands().Items(2);
  c->SetFixed(bfLeft);
  EXPECT_EQ(c->Index(), 0);
  EXPECT_EQ(List->GetLeftFixedBand(), 0);
  c->SetVisible(false);
  EXPECT_EQ(c->Fixed(), bfNone);
  EXPECT_EQ(List->GetLeftFixedBand(), -1);
  c->SetVisible(true);
  EXPECT_EQ(c->Fixed(), bfNone);
}

TEST_F(TreeListColumns, WidthsRespectTheirMinimum) {
  struct TCase {
    int MinWidth, Width, StoredMin, StoredWidth;
  };
  for (const TCase& c : {TCase{30, 10, 30, 30}, TCase{-5, 3, 0, 3}, TCase{80, 50, 80, 80},
                         TCase{30, 400, 30, 400}}) {
    TgxTreeListBand* band = List->Bands().Add();
    band->SetMinWidth(c.MinWidth);
    band->SetWidth(c.Width);
    EXPECT_EQ(band->MinWidth(), c.StoredMin) << c.MinWidth;
    EXPECT_EQ(band->Width(), c.StoredWidth) << c.MinWidth << " " << c.Width;
    TgxTreeListColumn* column = List->CreateColumn();
    column->SetMinWidth(c.MinWidth);
    column->SetWidth(c.Width);
    EXPECT_EQ(column->MinWidth(), c.StoredMin) << c.MinWidth;
    EXPECT_EQ(column->Width(), c.StoredWidth) << c.MinWidth << " " << c.Width;
  }
  // A minimum above the width raises the width at once.
  TgxTreeListBand* band = List->Bands().Items(0);
  band->SetMinWidth(300);
  EXPECT_EQ(band->Width(), 300);
}

TEST_F(TreeListColumns, ScalingBandWidthsTouchesOnlyHiddenSizableBands) {
  ThreeBands({});
  List->Bands().Items(1)->SetVisible(false);
  List->Bands().Items(2)->SetVisible(false);
  List->Bands().Items(2)->SetSizing(false);
  List->ScaleBandWidths(1, 2);
  EXPECT_EQ(List->Bands().Items(0)->Width(), 250);
  EXPECT_EQ(List->Bands().Items(1)->Width(), 125);
  EXPECT_EQ(List->Bands().Items(2)->Width(), 250);
}

TEST_F(TreeListColumns, BandOperationsOfTheCoreActOnTheBandsAndTellTheirEvents) {
  ThreeBands({0, 1, 2});
  std::vector<std::string> log;
  List->OnHideBand = [&](TControl*, int ABand) { log.push_back("hide " + std::to_string(ABand)); };
  List->OnShowBand = [&](TControl*, int ABand, int AIndex) {
    log.push_back("show " + std::to_string(ABand) + " at " + std::to_string(AIndex));
  };
  List->HideBand(0);
  EXPECT_TRUE(List->IsBandHidden(0));
  EXPECT_EQ(List->GetVisibleBandCount(), 2);
  EXPECT_EQ(List->GetBandAbsoluteIndex(0), 1);
  EXPECT_EQ(List->GetBandVisibleIndex(0), -1);
  EXPECT_EQ(List->GetBandVisibleIndex(2), 1);
  // Shown again past the visible bands: it goes last.
  List->ShowBand(7, 0);
  EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"B", L"C", L"A"}));
  EXPECT_EQ(BandIndexes(), (std::vector<int>{2, 0, 1}));
  List->MoveBand(2, 0);
  EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"A", L"B", L"C"}));
  // A visible band shown at a place moves there.
  List->ShowBand(-3, 2);
  EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"C", L"A", L"B"}));
  EXPECT_EQ(log, (std::vector<std::string>{"hide 0", "show 0 at 7", "show 2 at -3"}));

  std::wstring caption;
  List->GetBandCaption(1, caption);
  EXPECT_EQ(caption, L"A");
  List->SetBandWidth(1, 90);
  EXPECT_EQ(List->GetAbsoluteBandWidth(1), 90);
  List->SetBandWidth(9, 90); // no such visible band: nothing
  EXPECT_FALSE(List->GetBandOnlyOwnColumns(9));
  EXPECT_FALSE(List->IsBandSizable(9));
  List->Bands().Items(1)->SetSizing(false);
  EXPECT_FALSE(List->IsBandSizable(1));
  EXPECT_TRUE(List->IsBandSizable(0));
}

TEST_F(TreeListColumns, BandDraggingIsRefusedForFixedOrLockedBandsAndMayBeVetoed) {
  ThreeBands({});
  List->Bands().Items(0)->SetFixed(bfLeft);
  List->Bands().Items(1)->SetDisableDragging(true);
  EXPECT_FALSE(List->CanBandDragging(0));
  EXPECT_FALSE(List->CanBandDragging(1));
  EXPECT_TRUE(List->CanBandDragging(2));
  List->OnCanBandDragging = [](TControl*, int ABand, bool& AAllow) { AAllow = ABand != 2; };
  EXPECT_FALSE(List->CanBandDragging(2));
  List->SetOptionsEx(List->OptionsEx() & ~OptionBit(aoBandMoving));
  EXPECT_FALSE(List->CanBandDragging(2));
}

// --- columns ---------------------------------------------------------------------------

TEST_F(TreeListColumns, AnUnassignedWidthFollowsTheDefaultWidth) {
  TgxTreeListColumn* column = List->CreateColumn();
  EXPECT_EQ(column->Width(), 100);
  EXPECT_FALSE(column->IsAssigned(cvWidth));
  column->SetWidth(100);
  EXPECT_FALSE(column->IsAssigned(cvWidth));
  column->SetWidth(120);
  EXPECT_TRUE(column->IsAssigned(cvWidth));
  EXPECT_EQ(column->Width(), 120);
  column->RestoreDefaultWidth();
  EXPECT_EQ(column->Width(), 100);
  EXPECT_FALSE(column->IsAssigned(cvWidth));

  auto* wide = List->CreateColumnOf<TCaptionWideColumn>();
  wide->SetCaption(L"Twelve chars");
  EXPECT_EQ(wide->Width(), 150);
  wide->SetWidth(40);
  wide->SetCaption(L"x");
  EXPECT_EQ(wide->Width(), 40);
}

TEST_F(TreeListColumns, AssignedValuesOverrideTheDefaults) {
  TgxTreeListColumn* column = List->CreateColumn();
  EXPECT_EQ(column->Alignment(), taLeftJustify);
  EXPECT_EQ(column->Color(), List->Color());
  EXPECT_FALSE(column->ReadOnly());
  EXPECT_EQ(column->AssignedValues(), 0);
  column->SetColor(clRed);
  column->SetAlignment(taRightJustify);
  column->SetReadOnly(true);
  EXPECT_EQ(column->Color(), clRed);
  EXPECT_EQ(column->Alignment(), taRightJustify);
  EXPECT_TRUE(column->ReadOnly());
  column->Font().SetSize(15);
  EXPECT_TRUE(column->IsAssigned(cvFont));
  EXPECT_TRUE(List->IsColumnFontAssigned(0));

  TgxTreeListColumn* copy = List->CreateColumn();
  copy->SetMaxLength(7);
  copy->Assign(column);
  EXPECT_EQ(copy->Color(), clRed);
  EXPECT_EQ(copy->Alignment(), taRightJustify);
  EXPECT_EQ(copy->Font().Size(), 15);
  EXPECT_EQ(copy->MaxLength(), 0);
  column->RestoreDefaults();
  EXPECT_EQ(column->Color(), List->Color());
  EXPECT_EQ(column->AssignedValues(), 0);
}

TEST_F(TreeListColumns, MovingAColumnMovesTheNodesTextsAlong) {
  for (int i = 0; i < 3; ++i)
    List->CreateColumn();
  TgxTreeListNode* full = List->Add();
  full->SetStrings(0, L"a");
  full->SetStrings(1, L"b");
  full->SetStrings(2, L"c");
  TgxTreeListNode* child = full->AddChild();
  child->SetStrings(0, L"only");
  TgxTreeListColumn* first = Column(0);
  first->SetIndex(2);
  EXPECT_EQ(Column(2), first);
  EXPECT_EQ(first->Index(), 2);
  EXPECT_EQ(full->Strings(0), L"b");
  EXPECT_EQ(full->Strings(1), L"c");
  EXPECT_EQ(full->Strings(2), L"a");
  EXPECT_EQ(child->Strings(0), L"");
  EXPECT_EQ(child->Strings(2), L"only");
  first->SetIndex(0);
  EXPECT_EQ(full->Strings(0), L"a");
  EXPECT_EQ(full->Strings(1), L"b");

  // A freed column takes its texts with it.
  TComponent::Free(Column(1));
  EXPECT_EQ(List->ColumnCount(), 2);
  EXPECT_EQ(full->Strings(0), L"a");
  EXPECT_EQ(full->Strings(1), L"c");
}

TEST_F(TreeListColumns, ColIndexMovesAColumnWithinItsBandRow) {
  ThreeBands({0, 1, 0, 0});
  TgxTreeListColumn* first = Column(0);
  EXPECT_EQ(first->ColIndex(), 0);
  EXPECT_EQ(Column(2)->ColIndex(), 1);
  EXPECT_EQ(Column(1)->ColIndex(), 0);
  first->SetColIndex(99);
  EXPECT_EQ(first->ColIndex(), 2);
  EXPECT_EQ(first->Index(), 3);
  first->SetColIndex(1);
  EXPECT_EQ(first->ColIndex(), 1);
  EXPECT_EQ(List->GetHeaderAbsoluteIndex(0, 0, 1), first->Index());
  TgxTreeListColumn* loose = Column(1)->BandIndex() == 1 ? Column(1) : Column(0);
  loose->SetBandIndex(-1);
  const int index = loose->Index();
  loose->SetColIndex(0);
  EXPECT_EQ(loose->Index(), index);
  // Band indexes stay inside the bands.
  loose->SetBandIndex(17);
  EXPECT_EQ(loose->BandIndex(), 2);
  loose->SetBandIndex(-9);
  EXPECT_EQ(loose->BandIndex(), -1);
}

TEST_F(TreeListColumns, RowIndexIsLimitedByTheHeaderRowsButKeepsTheChosenRow) {
  List->SetHeaderPanelRowCountProperty(3);
  TgxTreeListColumn* zero = List->CreateColumn();
  TgxTreeListColumn* one = List->CreateColumn();
  TgxTreeListColumn* two = List->CreateColumn();
  one->SetRowIndex(1);
  two->SetRowIndex(2);
  EXPECT_EQ(List->GetHeaderRowCount(0), 3);
  List->SetHeaderPanelRowCountProperty(2);
  EXPECT_EQ(two->RowIndex(), 1);
  EXPECT_EQ(two->StoredRowIndex(), 2);
  List->SetHeaderPanelRowCountProperty(3);
  EXPECT_EQ(two->RowIndex(), 2);
  EXPECT_EQ(zero->RowIndex(), 0);
  // With row 1 emptied, row 2 closes up for good.
  one->SetRowIndex(0);
  EXPECT_EQ(two->RowIndex(), 1);
  EXPECT_EQ(two->StoredRowIndex(), 1);

  List->SetHeaderPanelRowCountProperty(2);
  zero->SetRowIndex(3);
  EXPECT_EQ(zero->StoredRowIndex(), 1);
}

TEST_F(TreeListColumns, EmptyHeaderRowsCloseUp) {
  List->SetHeaderPanelRowCountProperty(3);
  TgxTreeListColumn* top = List->CreateColumn();
  TgxTreeListColumn* low = List->CreateColumn();
  low->SetRowIndex(2);
  EXPECT_EQ(top->RowIndex(), 0);
  EXPECT_EQ(low->RowIndex(), 1);
  EXPECT_EQ(low->StoredRowIndex(), 1);
  EXPECT_EQ(List->GetHeaderRowCount(0), 2);
}

TEST_F(TreeListColumns, HeaderPanelRowCountIsLimitedAndEndsTheAutomaticHeight) {
  struct TCase {
    int Value, Stored;
  };
  for (const TCase& c : {TCase{3, 3}, TCase{0, 1}, TCase{9, 5}, TCase{-2, 1}}) {
    List->SetDefaultLayout(true);
    List->SetHeaderPanelRowCountProperty(2);
    EXPECT_FALSE(List->DefaultLayout());
    List->SetOptionsEx(List->OptionsEx() | OptionBit(aoAutoHeaderPanelHeight));
    List->SetHeaderPanelRowCountProperty(c.Value);
    EXPECT_EQ(List->HeaderPanelRowCount(), c.Stored) << c.Value;
    EXPECT_FALSE(List->OptionsEx() & OptionBit(aoAutoHeaderPanelHeight)) << c.Value;
    EXPECT_FALSE(List->DefaultLayout()) << c.Value;
  }
  List->SetHeaderPanelRowCountProperty(5);
  List->SetHeaderPanelMaxRowCount(2);
  EXPECT_EQ(List->HeaderPanelRowCount(), 2);
  List->SetBandRowCountProperty(9);
  EXPECT_EQ(List->BandRowCount(), 5);
  List->SetBandMaxRowCount(0);
  EXPECT_EQ(List->BandMaxRowCount(), 1);
  EXPECT_EQ(List->BandRowCount(), 1);
}

TEST_F(TreeListColumns, TheAutomaticHeaderHeightTakesTheHighestChosenRow) {
  List->SetHeaderPanelRowCountProperty(3);
  List->CreateColumn();
  TgxTreeListColumn* second = List->CreateColumn();
  TgxTreeListColumn* third = List->CreateColumn();
  second->SetRowIndex(1);
  third->SetRowIndex(2);
  List->SetHeaderPanelRowCountProperty(2);
  EXPECT_EQ(third->StoredRowIndex(), 2);
  List->HeaderPanelBestFit();
  EXPECT_EQ(List->HeaderPanelRowCount(), 3);
  third->SetRowIndex(1);
  List->HeaderPanelBestFit();
  EXPECT_EQ(List->HeaderPanelRowCount(), 2);
}

TEST_F(TreeListColumns, AHeaderClickWithAutoSortTogglesTheSort) {
  TgxTreeListColumn* column = List->CreateColumn();
  List->CreateColumn();
  List->SetOptions(List->Options() | OptionBit(aoAutoSort));
  std::vector<TgxTreeListColumnSort> seen;
  for (int i = 0; i < 4; ++i) {
    seen.push_back(column->Sorted());
    List->DoColumnClick(0);
  }
  EXPECT_EQ(seen, (std::vector<TgxTreeListColumnSort>{csNone, csUp, csDown, csUp}));
  EXPECT_EQ(List->GetSortedColumnCount(), 1);
  EXPECT_EQ(List->GetSortedColumnIndex(0), 0);
  EXPECT_TRUE(List->IsSortedColumnDown(0));
  List->SetClearSortFlag(true);
  List->DoColumnClick(0);
  EXPECT_EQ(column->Sorted(), csNone);
  EXPECT_EQ(List->GetSortedColumnCount(), 0);
  List->SetClearSortFlag(false);
  List->OnColumnSorting = [](TControl*, TgxTreeListColumn*, bool& AAllow) { AAllow = false; };
  List->DoColumnClick(0);
  EXPECT_EQ(column->Sorted(), csNone);
  List->OnColumnSorted = [](TControl*, TgxTreeListColumn*, TgxTreeListColumnSort& ASorted) {
    ASorted = csDown;
  };
  EXPECT_EQ(List->GetColumnSorted(0), csDown);
}

// --- the core's questions ---------------------------------------------------------------

TEST_F(TreeListColumns, TheCoresHeaderQueriesAgreeWithAndWithoutTheCaches) {
  ThreeBands({0, 2, 0, 2, 2});
  List->SetHeaderPanelRowCountProperty(2);
  Column(3)->SetRowIndex(1);
  Column(4)->SetVisible(false);
  List->Bands().Items(1)->SetVisible(false);
  struct TAnswers {
    int Bands, Visible, Rows0, Rows1, Cols00, Cols10, Cols11, At001, At100, At110, At120;
    bool operator==(const TAnswers&) const = default;
  };
  auto ask = [&] {
    return TAnswers{List->GetBandCount(),
                    List->GetVisibleBandCount(),
                    List->GetHeaderRowCount(0),
                    List->GetHeaderRowCount(1),
                    List->GetHeaderColCount(0, 0),
                    List->GetHeaderColCount(1, 0),
                    List->GetHeaderColCount(1, 1),
                    List->GetHeaderAbsoluteIndex(0, 0, 1),
                    List->GetHeaderAbsoluteIndex(1, 0, 0),
                    List->GetHeaderAbsoluteIndex(1, 1, 0),
                    List->GetHeaderAbsoluteIndex(1, 2, 0)};
  };
  const TAnswers expected{3, 2, 1, 2, 2, 1, 1, 2, 1, 3, -1};
  List->MakeListNodes(); // the caches are built
  EXPECT_TRUE(ask() == expected);
  List->ClearListNodes(); // they are dropped: the answers are counted
  EXPECT_TRUE(ask() == expected);
  EXPECT_EQ(List->GetHeaderRowCount(-1), 0);
  EXPECT_EQ(List->GetHeaderColCount(0, -1), 0);
  EXPECT_EQ(List->GetHeaderAbsoluteIndex(7, 0, 0), -1);
  EXPECT_EQ(List->Bands().Items(2)->GetRowColumnCount(1), 1);
  EXPECT_EQ(List->Bands().Items(2)->GetRowColumn(1, 0), Column(3));
  EXPECT_EQ(List->Bands().Items(2)->GetRowColumn(1, 1), nullptr);
}

TEST_F(TreeListColumns, ABandWithoutShownColumnsKeepsItsPlaceInTheHeaderCache) {
  ThreeBands({2});
  List->MakeListNodes();
  EXPECT_EQ(List->GetHeaderRowCount(0), 0);
  EXPECT_EQ(List->GetHeaderRowCount(1), 0);
  EXPECT_EQ(List->GetHeaderRowCount(2), 1);
  EXPECT_EQ(List->GetHeaderAbsoluteIndex(2, 0, 0), 0);
}

TEST_F(TreeListColumns, ColumnWidthsAreTheComputedWidthsOfShownColumnsOnly) {
  ThreeBands({0, 1, 1, 2});
  Column(2)->SetVisible(false);
  List->Bands().Items(2)->SetVisible(false);
  List->MakeListNodes();
  EXPECT_EQ(List->GetColumnWidth(0), List->ComputedWidth(0));
  EXPECT_EQ(List->GetColumnWidth(1), List->ComputedWidth(1));
  EXPECT_EQ(List->GetColumnWidth(2), 0);
  EXPECT_EQ(List->GetColumnWidth(3), 0);
  EXPECT_EQ(List->GetColumnWidth(-1), 0);
  EXPECT_EQ(List->GetColumnWidth(9), 0);
}

TEST_F(TreeListColumns, ColumnAnswersForTheCoreComeFromTheColumns) {
  TgxTreeListColumn* column = List->CreateColumn();
  column->SetCaption(L"Name");
  column->SetHeaderAlignment(taCenter);
  column->SetMinWidth(40);
  column->SetTabStop(false);
  column->SetHeaderMaxLineCount(3);
  std::wstring text;
  List->GetHeaderCaption(0, text);
  EXPECT_EQ(text, L"Name");
  column->SetDisableCaption(true);
  List->GetHeaderCaption(0, text);
  EXPECT_EQ(text, L"");
  List->GetColumnCaption(0, text);
  EXPECT_EQ(text, L"Name");
  EXPECT_EQ(List->GetHeaderAlignment(0), taCenter);
  EXPECT_EQ(List->GetColumnMinWidth(0), 40);
  EXPECT_EQ(List->GetColumnDefinedWidth(0), 100);
  EXPECT_FALSE(List->GetColumnTabStop(0));
  EXPECT_EQ(List->GetHeaderMaxLineCount(0), 3);
  EXPECT_FALSE(List->HasHeaderGlyph(0));
  EXPECT_TRUE(List->IsColumnSizable(0));
  List->SetColumnWidth(0, 10);
  EXPECT_EQ(column->Width(), 40);
  EXPECT_TRUE(column->IsAssigned(cvWidth));
  column->SetSizing(false);
  EXPECT_EQ(List->GetColumnMinWidth(0), 40);
  EXPECT_FALSE(List->IsColumnSizable(0));
  List->SetColumnWidth(0, 300);
  EXPECT_EQ(column->Width(), 40);
  EXPECT_TRUE(List->IsHeaderVisible(0));
  EXPECT_FALSE(List->IsHeaderListedInCustomizeBox(0));
  List->HideHeader(0);
  EXPECT_FALSE(List->IsHeaderVisible(0));
  EXPECT_TRUE(List->IsHeaderListedInCustomizeBox(0));
  column->SetDisableCustomizing(true);
  EXPECT_FALSE(List->IsHeaderListedInCustomizeBox(0));
  List->ShowHeader(0, 0, 0, 0);
  EXPECT_TRUE(List->IsHeaderVisible(0));
  TgxTreeListNode* node = List->Add();
  node->SetStrings(0, L"cell");
  List->GetCellText(node, 0, text);
  EXPECT_EQ(text, L"cell");
  EXPECT_EQ(List->GetDisplayValue(node, 0), L"cell");
}

TEST_F(TreeListColumns, TheControlAndDetachedColumnsLeaveNothingBehind) {
  auto* column = new TgxTreeListColumn(Owner.get());
  column->Font().SetSize(12);
  column->SetTreeList(List);
  EXPECT_EQ(List->ColumnCount(), 1);
  column->SetTreeList(nullptr);
  EXPECT_EQ(List->ColumnCount(), 0);
  EXPECT_EQ(column->Index(), -1);
  column->SetParentComponent(List);
  EXPECT_EQ(List->ColumnCount(), 1);
  EXPECT_THROW(column->SetParentComponent(Owner.get()), Exception);
  List->CreateColumn()->HeaderGlyph().SetSize(8, 8);
}

TEST_F(TreeListColumns, VisibleAndAbsoluteColumnIndexesConvertBothWays) {
  for (int i = 0; i < 4; ++i)
    List->CreateColumn();
  Column(1)->SetVisible(false);
  EXPECT_EQ(List->VisibleColumnCount(), 3);
  struct TCase {
    int Absolute, Visible;
  };
  // A hidden column answers the last visible one before it.
  for (const TCase& c : {TCase{0, 0}, TCase{1, 0}, TCase{2, 1}, TCase{3, 2}, TCase{4, -1}})
    EXPECT_EQ(List->GetVisibleColumnIndex(c.Absolute), c.Visible) << c.Absolute;
  for (const TCase& c : {TCase{0, 0}, TCase{2, 1}, TCase{3, 2}, TCase{-1, 3}})
    EXPECT_EQ(List->GetAbsoluteColumnIndex(c.Visible), c.Absolute) << c.Visible;
}

TEST_F(TreeListColumns, AssignedColumnsAreCopiesOfTheirClassAndName) {
  TComponent other(nullptr);
  auto* source = new TTestList(&other);
  source->SetName(L"Source");
  source->CreateColumn()->SetCaption(L"plain");
  auto* wide = source->CreateColumnOf<TCaptionWideColumn>();
  wide->SetCaption(L"wide");
  wide->SetColor(clRed);
  List->CreateColumn();
  List->AssignColumns(source);
  ASSERT_EQ(List->ColumnCount(), 2);
  EXPECT_EQ(Column(0)->Caption(), L"plain");
  EXPECT_EQ(Column(0)->Name(), L"SourceColumn1");
  EXPECT_NE(dynamic_cast<TCaptionWideColumn*>(Column(1)), nullptr);
  EXPECT_EQ(Column(1)->Color(), clRed);
  EXPECT_EQ(Column(1)->Width(), 70);
  EXPECT_EQ(Column(1)->TreeList(), List);
}

TEST_F(TreeListColumns, TheLayoutFollowsTheFontsAndTheHeaderRows) {
  auto textHeight = [](TFont& AFont) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, AFont.Handle());
    SIZE size{};
    GetTextExtentPoint32W(dc, L"Wg", 2, &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return int(size.cy);
  };
  List->CreateColumn();
  List->HeaderFont().SetSize(14);
  List->SetHeaderPanelRowCountProperty(2);
  const int header = textHeight(List->HeaderFont());
  const int text = textHeight(List->Font());
  EXPECT_EQ(List->HeaderHeight(), 2 * (header + 5 + 1));
  EXPECT_EQ(List->TextHeight(), text);
  EXPECT_EQ(List->RowHeight(), std::max(text + 3, 16));
  EXPECT_FALSE(List->RowHeightAssigned());
  // The flat look has no outer edge; no headers, no header height.
  List->SetLookAndFeel(lfFlat);
  List->UpdateLayout();
  EXPECT_EQ(List->HeaderHeight(), 2 * (header + 5));
  List->SetShowHeaders(false);
  EXPECT_EQ(List->HeaderHeight(), 0);
  // A row height below the least one is raised to it.
  List->SetRowHeight(3);
  EXPECT_EQ(List->RowHeight(), std::max(text + 3, 16));
  List->SetRowHeight(40);
  EXPECT_EQ(List->RowHeight(), 40);
  EXPECT_TRUE(List->RowHeightAssigned());
}

// --- best fit on a window ----------------------------------------------------------------

class TreeListBestFit : public TreeListColumns {
protected:
  void SetUp() override {
    TreeListColumns::SetUp();
    Form = new TWinControl(Owner.get());
    Form->SetBounds(60, 60, 420, 260);
    List->SetBounds(10, 10, 380, 220);
    List->SetParent(Form);
  }
  // The width of a text in a font, as the control measures it.
  int TextWidth(TFont& AFont, const std::wstring& AText) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, AFont.Handle());
    SIZE size{};
    GetTextExtentPoint32W(dc, AText.c_str(), int(AText.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return int(size.cx);
  }
  int Margin() { return TextWidth(List->Font(), L"0") / 2 + 1; }
  TWinControl* Form = nullptr;
};

TEST_F(TreeListBestFit, AColumnFitsItsWidestCellOrItsCaption) {
  TgxTreeListColumn* tree = List->CreateColumn();
  TgxTreeListColumn* caption = List->CreateColumn();
  TgxTreeListColumn* plain = List->CreateColumn();
  tree->SetCaption(L"T");
  caption->SetCaption(L"A rather long caption for a column");
  plain->SetCaption(L"P");
  plain->SetDisableFilter(true);
  TgxTreeListNode* top = List->Add();
  TgxTreeListNode* deep = top->AddChild()->AddChild(); // collapsed: measured too
  top->SetStrings(0, L"x");
  deep->SetStrings(0, L"WWWWWWWWWWWWWW");
  top->SetStrings(1, L"short");
  deep->SetStrings(2, L"a plain cell, wider");
  Form->Show();
  harness::PumpMessages();
  ASSERT_TRUE(List->HandleAllocated());

  List->ApplyBestFit(nullptr);
  const int m = Margin();
  // The tree column: the deepest node's text behind its indent (two levels
  // and the root).
  EXPECT_EQ(tree->Width(), TextWidth(List->Font(), L"WWWWWWWWWWWWWW") + 3 * List->Indent() + 2 * m);
  EXPECT_EQ(caption->Width(),
            TextWidth(List->HeaderFont(), L"A rather long caption for a column") + 15 + 2 * m);
  EXPECT_EQ(plain->Width(), TextWidth(List->Font(), L"a plain cell, wider") + 2 * m);
  EXPECT_FALSE(List->NeedToApplyBestFit());

  // Without the filter allowance the caption counts without its 15 pixels.
  caption->SetDisableFilter(true);
  List->ApplyBestFit(caption);
  EXPECT_EQ(caption->Width(),
            TextWidth(List->HeaderFont(), L"A rather long caption for a column") + 2 * m);
  // A column that may not be sized keeps its width.
  plain->SetSizing(false);
  plain->SetWidth(77);
  List->ApplyBestFit(plain);
  EXPECT_EQ(plain->Width(), 77);
}

TEST_F(TreeListBestFit, ABestFitBeforeTheWindowWaitsForIt) {
  TgxTreeListColumn* column = List->CreateColumn();
  column->SetCaption(L"C");
  column->SetDisableFilter(true);
  List->Add()->SetStrings(0, L"waiting text");
  ASSERT_FALSE(List->HandleAllocated());
  List->ApplyBestFit(nullptr);
  EXPECT_TRUE(List->NeedToApplyBestFit());
  EXPECT_EQ(column->Width(), 100);
  Form->Show();
  harness::PumpMessages();
  EXPECT_FALSE(List->NeedToApplyBestFit());
  // The only column is the tree column: the root's indent counts.
  EXPECT_EQ(column->Width(),
            TextWidth(List->Font(), L"waiting text") + List->Indent() + 2 * Margin());
}

TEST_F(TreeListBestFit, ADoubleClickedBandEdgeFitsEveryColumnOfTheBand) {
  ThreeBands({0, 1, 0});
  for (int i = 0; i < 3; ++i)
    Column(i)->SetDisableFilter(true);
  TgxTreeListNode* node = List->Add();
  node->SetStrings(0, L"first");
  node->SetStrings(1, L"second");
  node->SetStrings(2, L"third");
  int changed = 0;
  List->OnChangedColumnsWidth = [&](TControl*) { ++changed; };
  Form->Show();
  harness::PumpMessages();
  List->BandEdgeDblClick(0);
  EXPECT_EQ(changed, 1);
  EXPECT_LT(Column(0)->Width(), 100);
  EXPECT_LT(Column(2)->Width(), 100);
  EXPECT_EQ(Column(1)->Width(), 100);
  List->ColumnEdgeDblClick(1);
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(Column(1)->Width(), TextWidth(List->Font(), L"second") + 2 * Margin());
}

TEST_F(TreeListBestFit, LineCountsAreLimitedByTheMaximum) {
  TgxTreeListColumn* column = List->CreateColumn();
  (void)column;
  Form->Show();
  harness::PumpMessages();
  TgxTreeListNode* node = List->Add();
  int count = 0, height = 0;
  ASSERT_TRUE(List->ColumnCalcLineCountEx(node, 0, L"one\r\ntwo\r\nthree\r\nfour", 300,
                                          List->TextHeight(), -1, false, false, count, height));
  EXPECT_EQ(count, 4);
  const int lineHeight = (height - 3) / 4;
  ASSERT_GT(lineHeight, 0);
  ASSERT_TRUE(List->ColumnCalcLineCountEx(node, 0, L"one\r\ntwo\r\nthree\r\nfour", 300,
                                          List->TextHeight(), 2, false, false, count, height));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(height, 2 * lineHeight + 3);
  // A handler that answers decides alone.
  List->OnCalcRowLineHeight = [](TControl*, TgxTreeListNode*, int, const std::wstring&, int, int,
                                 int, bool, bool, int& ALines, int& AHeight, bool& ADone) {
    ALines = 9;
    AHeight = 99;
    ADone = true;
  };
  List->ColumnCalcLineCountEx(node, 0, L"x", 300, 10, -1, false, false, count, height);
  EXPECT_EQ(count, 9);
  EXPECT_EQ(height, 99);
}

} // namespace
