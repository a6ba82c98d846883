#include "tree-list.h"

#include "tree-list-stream.h"

#include "application.h"
#include "ledger-balance.h"
#include "rtl-exceptions.h"
#include "streams.h"
#include "support/test-harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

// Little-endian stream images built by hand.
class TImage {
public:
  TImage& Int(int32_t AValue) {
    for (int i = 0; i < 4; ++i)
      FBytes.push_back(uint8_t(uint32_t(AValue) >> (8 * i)));
    return *this;
  }
  TImage& Byte(uint8_t AValue) {
    FBytes.push_back(AValue);
    return *this;
  }
  TImage& Text(const std::string& AText) {
    FBytes.insert(FBytes.end(), AText.begin(), AText.end());
    return *this;
  }
  // A new-format record of a node without data: indexes, counts, texts.
  TImage& Node(int32_t AChildren, const std::vector<std::string>& ATexts, int32_t AImage = -1) {
    Int(24).Int(AImage).Int(-1).Int(-1).Int(0).Int(AChildren).Int(int32_t(ATexts.size()));
    for (const std::string& text : ATexts)
      Int(int32_t(text.size())).Text(text);
    return *this;
  }
  const TBytes& Bytes() const { return FBytes; }

private:
  TBytes FBytes;
};

// One node in another, ALevels deep, each without texts.
TBytes Nested(int ALevels) {
  TImage image;
  image.Int(-1).Int(1);
  for (int i = 0; i < ALevels; ++i)
    image.Int(24).Int(0).Int(0).Int(0).Int(0).Int(i + 1 < ALevels ? 1 : 0).Int(0);
  return image.Bytes();
}

TBytes BytesOf(TMemoryStream& AStream) {
  const auto* data = static_cast<const uint8_t*>(AStream.Memory());
  return TBytes(data, data + AStream.GetSize());
}

class TreeListComponent : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    GxUtilsStartup();
    GxContainerStartup();
    Owner = std::make_unique<TComponent>(nullptr);
    List = MakeList();
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
  TgxTreeList* MakeList() {
    auto* list = new TgxTreeList(Owner.get());
    list->CreateColumn();
    list->CreateColumn();
    return list;
  }
  TgxTreeListNode* Add(const std::wstring& AText0, const std::wstring& AText1 = L"",
                       TgxTreeListNode* AParent = nullptr) {
    TgxTreeListNode* node = AParent ? AParent->AddChild() : List->Add();
    node->SetStrings(0, AText0);
    if (!AText1.empty())
      node->SetStrings(1, AText1);
    return node;
  }
  // The first column's texts of a sibling list, in order.
  std::vector<std::wstring> Texts(TgxTreeListNode* AParent = nullptr, int AColumn = 0) {
    std::vector<std::wstring> texts;
    const int count = AParent ? AParent->Count() : List->Count();
    for (int i = 0; i < count; ++i)
      texts.push_back((AParent ? AParent->Items(i) : List->Items(i))->Strings(AColumn));
    return texts;
  }
  void Load(const TBytes& ABytes) {
    TMemoryStreamReadOnly stream(ABytes.data(), ABytes.size());
    List->LoadFromStream(stream);
  }
  TBytes Save(TgxTreeList* AList = nullptr) {
    TMemoryStream stream;
    (AList ? AList : List)->SaveToStream(stream);
    return BytesOf(stream);
  }
  // a (a1 (a11), a2), b; with indexes, data and a second column.
  void BuildTree() {
    TgxTreeListNode* a = Add(L"a", L"first");
    TgxTreeListNode* a1 = Add(L"a1", L"", a);
    Add(L"a11", L"deep", a1);
    Add(L"a2", L"", a);
    Add(L"b");
    a->SetImageIndex(3);
    a->SetSelectedIndex(4);
    a->SetStateIndex(5);
    a1->SetData(reinterpret_cast<void*>(uintptr_t(0x1234)));
  }

  std::unique_ptr<TComponent> Owner;
  TgxTreeList* List = nullptr;
};

// ---- the node stream --------------------------------------------------------------------

TEST_F(TreeListComponent, AnEmptyListWritesTheMarkerAndNoNodesAndStoresNoFormData) {
  EXPECT_EQ(Save(), (TBytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_FALSE(List->IsDataStored());
  Add(L"x");
  EXPECT_TRUE(List->IsDataStored());
}

TEST_F(TreeListComponent, OneNodeIsWrittenFieldByFieldWithItsTexts) {
  TgxTreeListNode* node = Add(L"A", L"BC");
  node->SetImageIndex(-1);
  const TBytes expected = TImage().Int(-1).Int(1).Node(0, {"A", "BC"}).Bytes();
  EXPECT_EQ(Save(), expected);
}

TEST_F(TreeListComponent, AFileOnDiskGivesBackTheSameTreeTextsAndIndexes) {
  BuildTree();
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring file = std::wstring(folder) + L"orvandel-tree-list-" +
                            std::to_wstring(GetCurrentProcessId()) + L".bin";
  List->SaveToFile(file);
  const TBytes written = Save();

  TgxTreeList* other = MakeList();
  other->LoadFromFile(file);
  DeleteFileW(file.c_str());
  EXPECT_EQ(other->StreamVersion(), -1);
  EXPECT_EQ(Save(other), written);
  ASSERT_EQ(other->Count(), 2);
  TgxTreeListNode* a = other->Items(0);
  EXPECT_EQ(a->Strings(1), L"first");
  EXPECT_EQ(a->ImageIndex(), 3);
  EXPECT_EQ(a->SelectedIndex(), 4);
  EXPECT_EQ(a->StateIndex(), 5);
  ASSERT_EQ(a->Count(), 2);
  EXPECT_EQ(a->Items(0)->Data(), reinterpret_cast<void*>(uintptr_t(0x1234)));
  EXPECT_EQ(a->Items(0)->Items(0)->Strings(1), L"deep");
  EXPECT_EQ(Texts(a), (std::vector<std::wstring>{L"a1", L"a2"}));
}

TEST_F(TreeListComponent, ANestingAsDeepAsTheReaderAllowsLoads) {
  Load(Nested(1024));
  TgxTreeListNode* node = List->Items(0);
  int levels = 1;
  while (node->Count() > 0) {
    node = node->Items(0);
    ++levels;
  }
  EXPECT_EQ(levels, 1024);
}

TEST_F(TreeListComponent, AnOldStreamWithOneByteLengthsLoadsAndHasVersionZero) {
  TImage old;
  old.Int(2);
  for (const char* text : {"first", "second"})
    old.Int(24).Int(0).Int(-1).Int(-1).Int(0).Int(0).Int(1).Byte(uint8_t(strlen(text))).Text(text);
  Load(old.Bytes());
  EXPECT_EQ(List->StreamVersion(), 0);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"first", L"second"}));
}

TEST_F(TreeListComponent, ALongerRecordHasItsExtraBytesSkipped) {
  const TBytes image = TImage()
                           .Int(-1)
                           .Int(1)
                           .Int(28)
                           .Int(7)
                           .Int(-1)
                           .Int(-1)
                           .Int(0)
                           .Int(0)
                           .Int(1)
                           .Int(0x55555555)
                           .Int(3)
                           .Text("abc")
                           .Bytes();
  Load(image);
  ASSERT_EQ(List->Count(), 1);
  EXPECT_EQ(List->Items(0)->ImageIndex(), 7);
  EXPECT_EQ(List->Items(0)->Strings(0), L"abc");
}

TEST_F(TreeListComponent, ATextOfMoreThan255BytesKeepsItsFourByteLength) {
  const std::wstring text(300, L'x');
  Add(text);
  const TBytes image = Save();
  ASSERT_GE(image.size(), 44u);
  // marker, count, the record's size and its 24 bytes, then the length.
  EXPECT_EQ(image[36] | image[37] << 8, 300);
  Load(image);
  EXPECT_EQ(List->Items(0)->Strings(0), text);
}

// Streams that cannot be read: each raises EReadError, the nodes read
// before the fault stay and the list is left out of its update.
struct TBadStream {
  const char* Name;
  TBytes Bytes;
  int NodesKept;
};

class MalformedStreams : public TreeListComponent,
                         public ::testing::WithParamInterface<TBadStream> {};

TEST_P(MalformedStreams, RaiseAReadErrorAndKeepWhatWasRead) {
  Add(L"before");
  EXPECT_THROW(Load(GetParam().Bytes), EReadError);
  EXPECT_FALSE(List->IsUpdateLocked());
  EXPECT_EQ(List->Count(), GetParam().NodesKept);
  // The list goes on working.
  Add(L"after");
  EXPECT_EQ(List->Count(), GetParam().NodesKept + 1);
}

const TBytes kTwoNodes = TImage().Int(-1).Int(2).Node(0, {"one"}).Node(0, {"two"}).Bytes();

TBytes Cut(const TBytes& ABytes, size_t ALength) {
  return TBytes(ABytes.begin(), ABytes.begin() + ALength);
}

INSTANTIATE_TEST_SUITE_P(
    TreeListComponent, MalformedStreams,
    ::testing::Values(
        TBadStream{"Empty", {}, 0}, TBadStream{"MarkerOnly", Cut(kTwoNodes, 4), 0},
        TBadStream{"NestedDeeperThanAnyTree", Nested(100000), 1},
        TBadStream{"CutInTheFirstRecord", Cut(kTwoNodes, 20), 1},
        TBadStream{"CutInTheSecondText", Cut(kTwoNodes, kTwoNodes.size() - 1), 2},
        TBadStream{"RecordBelow24Bytes", TImage().Int(-1).Int(1).Int(20).Int(0).Bytes(), 1},
        TBadStream{"NegativeTopLevelCount", TImage().Int(-1).Int(-5).Bytes(), 0},
        TBadStream{"MoreNodesThanBytes", TImage().Int(-1).Int(0x7FFFFFFF).Bytes(), 0},
        TBadStream{
            "NegativeChildCount",
            TImage().Int(-1).Int(1).Int(24).Int(0).Int(0).Int(0).Int(0).Int(-1).Int(0).Bytes(), 1},
        TBadStream{"HugeTextLength",
                   TImage()
                       .Int(-1)
                       .Int(1)
                       .Int(24)
                       .Int(0)
                       .Int(0)
                       .Int(0)
                       .Int(0)
                       .Int(0)
                       .Int(1)
                       .Int(0x7FFFFFF0)
                       .Text("ab")
                       .Bytes(),
                   1}),
    [](const ::testing::TestParamInfo<TBadStream>& AInfo) { return AInfo.param.Name; });

TEST_F(TreeListComponent, AMissingFileRaisesBeforeTheListIsCleared) {
  Add(L"kept");
  EXPECT_THROW(List->LoadFromFile(L"Z:\\no\\such\\folder\\nodes.bin"), EFOpenError);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"kept"});
}

TEST_F(TreeListComponent, AssignNodesCopiesAnotherListAndRefusesOtherSources) {
  BuildTree();
  TgxTreeList* other = MakeList();
  other->Add()->SetStrings(0, L"replaced");
  other->AssignNodes(List);
  EXPECT_EQ(Save(other), Save());
  TComponent stranger(nullptr);
  EXPECT_THROW(other->AssignNodes(&stranger), EConvertError);
  EXPECT_EQ(Save(other), Save());
}

// ---- sorting ----------------------------------------------------------------------------

TEST_F(TreeListComponent, NaturalOrderComparesNumbersInsideTextsByValue) {
  for (const wchar_t* text : {L"a10", L"a9", L"a100"})
    Add(text);
  List->SortNodes(-1, 0, false);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"a9", L"a10", L"a100"}));
  List->SortNodes(-1, 0, true);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"a100", L"a10", L"a9"}));
}

TEST_F(TreeListComponent, EqualValuesFallToTheOtherTextsAscendingWhateverTheDirection) {
  Add(L"same", L"Zeta");
  Add(L"same", L"alpha");
  Add(L"other", L"m");
  List->SortNodes(-1, 0, true);
  EXPECT_EQ(Texts(nullptr, 1), (std::vector<std::wstring>{L"alpha", L"Zeta", L"m"}));
}

TEST_F(TreeListComponent, CaseInsensitiveValuesCompareEqual) {
  TgxTreeListNode* upper = Add(L"ABC", L"2");
  TgxTreeListNode* lower = Add(L"abc", L"1");
  std::wstring a, b;
  List->SetOptions(List->Options() | OptionBit(aoCaseInsensitive));
  List->GetNodeSortValue(upper, 0, a);
  List->GetNodeSortValue(lower, 0, b);
  EXPECT_EQ(a, b);
  List->SortNodes(-1, 0, false);
  EXPECT_EQ(Texts(nullptr, 1), (std::vector<std::wstring>{L"1", L"2"}));
}

TEST_F(TreeListComponent, LevelMinusOneSortsEveryListAndALevelOnlyItsOwn) {
  TgxTreeListNode* b = Add(L"b");
  TgxTreeListNode* a = Add(L"a");
  Add(L"y", L"", b);
  Add(L"x", L"", b);
  Add(L"q", L"", a);
  Add(L"p", L"", a);
  List->SortNodes(1, 0, false);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"b", L"a"}));
  EXPECT_EQ(Texts(b), (std::vector<std::wstring>{L"x", L"y"}));
  List->SortNodes(-1, 0, true);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"b", L"a"}));
  EXPECT_EQ(Texts(a), (std::vector<std::wstring>{L"q", L"p"}));
  EXPECT_EQ(Texts(b), (std::vector<std::wstring>{L"y", L"x"}));
}

TEST_F(TreeListComponent, AHandlerThatFindsEveryPairEqualGetsEveryPairAndBeforeSortFires) {
  int beforeSort = 0, compares = 0;
  List->OnBeforeSort = [&](TControl*) { ++beforeSort; };
  Add(L"only");
  List->SortNodes(-1, 0, false);
  EXPECT_EQ(beforeSort, 1);
  List->OnCompare = [&](TControl*, TgxTreeListNode*, TgxTreeListNode*, int&) { ++compares; };
  Add(L"b");
  Add(L"a");
  List->SortNodes(-1, 0, false);
  EXPECT_EQ(beforeSort, 2);
  EXPECT_GT(compares, 0);
  EXPECT_EQ(List->Count(), 3);
}

TEST_F(TreeListComponent, AHandlerThatThrowsLeavesTheListInItsOrder) {
  Add(L"b");
  Add(L"a");
  List->OnCompare = [](TControl*, TgxTreeListNode*, TgxTreeListNode*, int&) {
    throw EConvertError(L"no order");
  };
  EXPECT_THROW(List->SortNodes(-1, 0, false), EConvertError);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"b", L"a"}));
  EXPECT_FALSE(List->IsUpdateLocked());
}

TEST_F(TreeListComponent, SortingAColumnWithAutoSortOrdersTheNodesUpAndDown) {
  List->SetOptions(List->Options() | OptionBit(aoAutoSort));
  Add(L"b", L"1");
  Add(L"c", L"3");
  Add(L"a", L"2");
  List->Columns(0)->SetSorted(csUp);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"a", L"b", L"c"}));
  EXPECT_EQ(List->SortedColumn(), List->Columns(0));
  List->Columns(0)->SetSorted(csDown);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"c", L"b", L"a"}));
  // A second column's sort replaces the first.
  List->Columns(1)->SetSorted(csUp);
  EXPECT_EQ(List->Columns(0)->Sorted(), csNone);
  EXPECT_EQ(List->SortedColumn(), List->Columns(1));
  EXPECT_EQ(Texts(nullptr, 1), (std::vector<std::wstring>{L"1", L"2", L"3"}));
}

TEST_F(TreeListComponent, MultiSortOrdersByTheSecondColumnWithinEqualFirstValues) {
  List->SetOptionsEx(List->OptionsEx() | OptionBit(aoMultiSort));
  Add(L"x", L"2");
  Add(L"y", L"1");
  Add(L"x", L"1");
  Add(L"y", L"2");
  List->Columns(0)->SetSorted(csUp);
  List->Columns(1)->SetSorted(csDown);
  ASSERT_EQ(List->SortedColumnCount(), 2);
  List->SortNodes(-1, 0, false);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"x", L"x", L"y", L"y"}));
  EXPECT_EQ(Texts(nullptr, 1), (std::vector<std::wstring>{L"2", L"1", L"2", L"1"}));
}

TEST_F(TreeListComponent, AutoSortRefreshResortsAtOnceOutsideAnUpdateAndOnceAtItsEnd) {
  List->SetOptions(List->Options() | OptionBit(aoAutoSort));
  List->SetOptionsEx(List->OptionsEx() | OptionBit(aoAutoSortRefresh));
  Add(L"b");
  Add(L"c");
  List->Columns(0)->SetSorted(csUp);
  int sorts = 0;
  List->OnBeforeSort = [&](TControl*) { ++sorts; };
  List->Items(1)->SetStrings(0, L"a");
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(sorts, 1);
  sorts = 0;
  List->BeginUpdate();
  List->Items(0)->SetStrings(0, L"z");
  Add(L"m");
  EXPECT_EQ(sorts, 0);
  List->EndUpdate();
  EXPECT_EQ(sorts, 1);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"b", L"m", L"z"}));
}

// A header click as the mouse code makes it: Shift marks a multi-sort click.
class TClickedTreeList : public TgxTreeList {
public:
  using TgxTreeList::TgxTreeList;
  void ClickHeader(int AColumn, bool AShift) {
    FlagMultiSort = IsMultiSort() && AShift;
    DoColumnClick(AColumn);
    FlagMultiSort = false;
  }
};

TEST_F(TreeListComponent, AShiftClickAddsASortColumnAndAPlainClickReplacesTheSort) {
  auto* list = new TClickedTreeList(Owner.get());
  List = list;
  list->CreateColumn();
  list->CreateColumn();
  list->SetOptions(list->Options() | OptionBit(aoAutoSort));
  list->SetOptionsEx(list->OptionsEx() | OptionBit(aoMultiSort));
  Add(L"y", L"1");
  Add(L"x", L"1");
  Add(L"x", L"2");
  list->ClickHeader(0, false);
  list->ClickHeader(1, true);
  list->ClickHeader(1, true);
  EXPECT_EQ(list->Columns(0)->Sorted(), csUp);
  EXPECT_EQ(list->Columns(1)->Sorted(), csDown);
  ASSERT_EQ(list->SortedColumnCount(), 2);
  list->RefreshSorting();
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"x", L"x", L"y"}));
  EXPECT_EQ(Texts(nullptr, 1), (std::vector<std::wstring>{L"2", L"1", L"1"}));
  list->ClickHeader(1, false);
  EXPECT_EQ(list->Columns(0)->Sorted(), csNone);
  EXPECT_EQ(list->SortedColumnCount(), 1);
  EXPECT_EQ(list->SortedColumn(), list->Columns(1));
}

// ---- selection --------------------------------------------------------------------------

TEST_F(TreeListComponent, SelectAllWithExtendedSelectionExpandsAndSelectsEveryNode) {
  List->SetOptions(List->Options() | OptionBit(aoMultiSelect) | OptionBit(aoExtMultiSelect));
  BuildTree();
  List->SelectAll();
  int nodes = 0;
  for (TgxTreeListNode* node = List->TopNode(); node; node = node->GetNext()) {
    ++nodes;
    EXPECT_TRUE(List->IsNodeSelected(node)) << node->Strings(0).size();
  }
  EXPECT_EQ(nodes, 5);
  EXPECT_EQ(List->SelectedCount(), 5);
  EXPECT_TRUE(List->Items(0)->Items(0)->Expanded());
}

TEST_F(TreeListComponent, SelectAllWithoutExtendedSelectionTakesTheFocusedNodesSiblings) {
  List->SetOptions(List->Options() | OptionBit(aoMultiSelect));
  BuildTree();
  TgxTreeListNode* a = List->Items(0);
  a->Expand(false);
  List->SetFocusedNode(a->Items(1), 0, false);
  List->SelectAll();
  EXPECT_EQ(List->SelectedCount(), 2);
  EXPECT_TRUE(List->IsNodeSelected(a->Items(0)));
  EXPECT_TRUE(List->IsNodeSelected(a->Items(1)));
  EXPECT_FALSE(List->IsNodeSelected(a));
}

TEST_F(TreeListComponent, ADeletedNodeLeavesTheSelectedSet) {
  List->SetOptions(List->Options() | OptionBit(aoMultiSelect) | OptionBit(aoExtMultiSelect));
  TgxTreeListNode* a = Add(L"a");
  Add(L"b");
  a->SetSelected(true);
  ASSERT_EQ(List->SelectedCount(), 1);
  delete a;
  EXPECT_EQ(List->SelectedCount(), 0);
}

TEST_F(TreeListComponent, TheIndicatorShowsTheFocusedAndTheSelectedRows) {
  List->SetOptions(List->Options() | OptionBit(aoMultiSelect));
  TgxTreeListNode* a = Add(L"a");
  TgxTreeListNode* b = Add(L"b");
  List->SetFocusedNode(a, 0, false);
  EXPECT_EQ(List->GetRowIndicatorKind(a, false), ikArrow);
  EXPECT_EQ(List->GetRowIndicatorKind(a, true), ikMultiArrow);
  EXPECT_EQ(List->GetRowIndicatorKind(b, true), ikMultiDot);
  EXPECT_EQ(List->GetRowIndicatorKind(b, false), ikNone);
}

// ---- incremental search -----------------------------------------------------------------

TEST_F(TreeListComponent, ACharacterThatMatchesNothingIsDroppedAndTheFocusStays) {
  Add(L"apple");
  TgxTreeListNode* banana = Add(L"Banana");
  Add(L"cherry");
  EXPECT_TRUE(List->StartSearch(0, L"b"));
  EXPECT_EQ(List->FocusedNode(), banana);
  List->SearchAddChar(L'x');
  EXPECT_EQ(List->SearchText(), L"b");
  EXPECT_EQ(List->FocusedNode(), banana);
  List->SearchAddChar(L'A');
  EXPECT_EQ(List->SearchText(), L"bA");
  EXPECT_EQ(List->FocusedNode(), banana);
  List->EndSearch();
  EXPECT_FALSE(List->IsSearching());
}

TEST_F(TreeListComponent, AStartThatMatchesNothingClearsTheText) {
  Add(L"apple");
  EXPECT_FALSE(List->StartSearch(0, L"q"));
  EXPECT_EQ(List->SearchText(), L"");
}

TEST_F(TreeListComponent, ASearchPastTheLastNodeWrapsAndStopsAtTheFocusedNode) {
  TgxTreeListNode* first = Add(L"ab");
  Add(L"x");
  TgxTreeListNode* last = Add(L"ac");
  ASSERT_TRUE(List->StartSearch(0, L"ac"));
  ASSERT_EQ(List->FocusedNode(), last);
  List->SearchBackspace();
  EXPECT_EQ(List->SearchText(), L"a");
  List->SearchNext(false);
  EXPECT_EQ(List->FocusedNode(), first);
  List->SearchNext(true);
  EXPECT_EQ(List->FocusedNode(), last);
  // Only the focused node matches: the walk comes round to it and stops.
  List->SearchAddChar(L'c');
  ASSERT_EQ(List->SearchText(), L"ac");
  List->SearchNext(false);
  EXPECT_EQ(List->FocusedNode(), last);
  EXPECT_EQ(List->SearchText(), L"ac");
}

TEST_F(TreeListComponent, NodesInCollapsedParentsAreFoundOnlyWithAutoExpandOnSearch) {
  TgxTreeListNode* parent = Add(L"parent");
  TgxTreeListNode* hidden = Add(L"hidden", L"", parent);
  Add(L"other");
  parent->Collapse(false);
  List->SetAutoExpandOnSearch(false);
  EXPECT_FALSE(List->StartSearch(0, L"hid"));
  EXPECT_NE(List->FocusedNode(), hidden);
  List->SetAutoExpandOnSearch(true);
  EXPECT_TRUE(List->StartSearch(0, L"hid"));
  EXPECT_EQ(List->FocusedNode(), hidden);
  EXPECT_TRUE(parent->Expanded());
}

// ---- edit style and mask column ---------------------------------------------------------

TEST_F(TreeListComponent, EditorsTakeTheirBorderAndButtonsFromTheList) {
  auto* edit = new TgxInplaceTreeListMaskEdit(Owner.get());
  TgxTreeListEditStyle style(edit, List);
  struct TCase {
    bool Grid;
    TgxLookAndFeel LookAndFeel;
    TgxEditBorderStyle Border;
    TgxEditButtonViewStyle Buttons;
  };
  for (const TCase& c :
       {TCase{true, lfStandard, xbsNone, bts3D}, TCase{false, lfFlat, xbsSingle, btsFlat},
        TCase{false, lfUltraFlat, xbsSingle, btsHotFlat}}) {
    List->SetShowGrid(c.Grid);
    List->SetLookAndFeel(c.LookAndFeel);
    EXPECT_EQ(style.DefaultBorderStyle(), c.Border) << c.Grid;
    EXPECT_EQ(style.DefaultButtonStyle(), c.Buttons) << int(c.LookAndFeel);
  }
  EXPECT_EQ(style.DefaultBorderColor(), clWindowFrame);
  EXPECT_EQ(style.DefaultEdges(), kgxAllEdges);
  EXPECT_EQ(style.DefaultButtonTransparence(), ebtNone);
  EXPECT_FALSE(style.DefaultHotTrack());
  EXPECT_FALSE(style.DefaultShadow());
}

TEST_F(TreeListComponent, AMaskColumnCopiesItsMaskButNotItsBlankRuleAndRestoresNone) {
  auto* source =
      static_cast<TgxTreeListMaskColumn*>(List->CreateColumn(&TgxTreeListMaskColumn::Make));
  auto* target =
      static_cast<TgxTreeListMaskColumn*>(List->CreateColumn(&TgxTreeListMaskColumn::Make));
  source->SetEditMask(L"000;1;_");
  source->SetIgnoreMaskBlank(true);
  target->Assign(source);
  EXPECT_EQ(target->EditMask(), L"000;1;_");
  EXPECT_FALSE(target->IgnoreMaskBlank());
  EXPECT_FALSE(List->IsUpdateLocked());
  target->RestoreDefaults();
  EXPECT_EQ(target->EditMask(), L"");
  EXPECT_EQ(&target->GetEditorClass(), &TreeListMaskEditClass());
}

TEST_F(TreeListComponent, AMaskColumnHandsItsMaskToItsEditor) {
  auto* column =
      static_cast<TgxTreeListMaskColumn*>(List->CreateColumn(&TgxTreeListMaskColumn::Make));
  column->SetEditMask(L"00:00");
  column->SetIgnoreMaskBlank(true);
  TgxInplaceEdit* edit = column->GetEditorClass().Create(Owner.get());
  auto* mask = dynamic_cast<TgxInplaceTreeListMaskEdit*>(edit);
  ASSERT_NE(mask, nullptr);
  column->InitEditor(mask);
  EXPECT_EQ(mask->EditMask(), L"00:00");
  EXPECT_TRUE(mask->IgnoreMaskBlank());
}

} // namespace
