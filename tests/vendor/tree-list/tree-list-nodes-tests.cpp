#include "tree-list-nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// A tree list reduced to what its nodes ask of it: it names its nodes,
// keeps the focus and the top row as the list would, and writes every
// notification into a log, in order.
class TTestTreeList : public TgxTreeListNodeOwner {
public:
  ~TTestTreeList() override {
    FLogging = false;
    FreeAllNodes();
  }

  // ---- building, with names --------------------------------------------
  TgxTreeListNode* Add(const std::string& AName) {
    return Named(TgxTreeListNodeOwner::Add(), AName);
  }
  TgxTreeListNode* AddFirst(const std::string& AName) {
    return Named(TgxTreeListNodeOwner::AddFirst(), AName);
  }
  TgxTreeListNode* Child(TgxTreeListNode* AParent, const std::string& AName) {
    return Named(AParent->AddChild(), AName);
  }
  TgxTreeListNode* Named(TgxTreeListNode* ANode, const std::string& AName) {
    FNames[ANode] = AName;
    return ANode;
  }
  std::string Name(const TgxTreeListNode* ANode) const {
    if (!ANode)
      return "-";
    const auto it = FNames.find(ANode);
    return it == FNames.end() ? "?" : it->second;
  }
  // "a(b c(d))": the tree as it stands, children in brackets.
  std::string Shape() const {
    std::string text;
    for (int i = 0; i < Count(); ++i)
      Shape(Items(i), text);
    return text;
  }
  // Visits nodes with a walk and names them: "a b c".
  std::string Walk(TgxTreeListNode* AStart,
                   const std::function<TgxTreeListNode*(TgxTreeListNode*)>& AStep) const {
    std::string text;
    for (TgxTreeListNode* n = AStart; n; n = AStep(n))
      text += (text.empty() ? "" : " ") + Name(n);
    return text;
  }
  std::vector<std::string> TakeLog() { return std::exchange(FLog, {}); }
  void ClearAll() {
    FClearing = true;
    FreeAllNodes();
    FClearing = false;
    FFocused = FTop = nullptr;
  }

  // ---- what the nodes ask ----------------------------------------------
  bool IsUpdateLocked() const override { return FLock > 0; }
  void BeginUpdate() override {
    ++FLock;
    Log("begin-update");
  }
  void EndUpdate() override {
    --FLock;
    Log("end-update");
  }
  TgxTreeListNode* CreateNode() override { return new TgxTreeListTextNode(this); }
  void NodeAdded(TgxTreeListNode* ANode) override {
    Log("added " + Name(ANode) + " under " + Name(ANode->Parent()));
    if (!FTop)
      FTop = ANode;
    if (!FFocused)
      FFocused = FTop;
  }
  void NodeDeleted(TgxTreeListNode* ANode, TgxTreeListNode* APrior, TgxTreeListNode* ANext,
                   bool AWasLast, bool AWasVisible) override {
    Log("deleted " + Name(ANode) + " prior " + Name(APrior) + " next " + Name(ANext) +
        (AWasLast ? " last" : "") + (AWasVisible ? " visible" : ""));
    if (FClearing)
      return;
    if (Count() == 0) {
      FFocused = FTop = nullptr;
      return;
    }
    if (FTop == ANode)
      FTop = APrior ? APrior : ANext;
    if (FFocused == ANode)
      FFocused = APrior ? APrior : ANext;
  }
  void MakeListNodes() override { Log("make-list"); }
  void InvalidateNode(TgxTreeListNode* ANode, bool ARecalc) override {
    Log("invalidate " + Name(ANode) + (ARecalc ? " recalc" : ""));
  }
  void MakeNodeVisible(TgxTreeListNode* ANode) override { Log("make-visible " + Name(ANode)); }
  TgxTreeListNode* FocusedNode() const override { return FFocused; }
  int FocusedColumn() const override { return 2; }
  void SetFocusedNode(TgxTreeListNode* ANode, int AColumn, bool AMakeVisible) override {
    Log("focus " + Name(ANode) + " column " + std::to_string(AColumn) +
        (AMakeVisible ? " visible" : ""));
    if (ANode)
      FFocused = ANode;
  }
  void StoreFocusedNode(TgxTreeListNode* ANode) override {
    Log("store-focus " + Name(ANode));
    FFocused = ANode;
  }
  TgxTreeListNode* TopVisibleNode() const override { return FTop; }
  void SetTopVisibleNode(TgxTreeListNode* ANode) override {
    Log("top " + Name(ANode));
    FTop = ANode;
  }
  bool FocusCollapsingNode(TgxTreeListNode* ANode) override {
    if (!FAllowFocusCollapse) {
      Log("focus-collapsing refused " + Name(ANode));
      return false;
    }
    return TgxTreeListNodeOwner::FocusCollapsingNode(ANode);
  }
  void DoExpanding(TgxTreeListNode* ANode, bool& AAllow) override {
    Log("expanding " + Name(ANode));
    AAllow = FRefuse.count(ANode) == 0;
  }
  void DoCollapsing(TgxTreeListNode* ANode, bool& AAllow) override {
    Log("collapsing " + Name(ANode));
    AAllow = FRefuse.count(ANode) == 0;
  }
  void DoExpanded(TgxTreeListNode* ANode) override { Log("expanded " + Name(ANode)); }
  void DoCollapsed(TgxTreeListNode* ANode) override { Log("collapsed " + Name(ANode)); }

  static TgxTreeListTextNode* Text(TgxTreeListNode* ANode) {
    return static_cast<TgxTreeListTextNode*>(ANode);
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
  int GetColumnCount() const override { return 3; }
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
  bool IsMultiSelect() const override { return FMultiSelect; }
  bool IsNodeSelected(TgxTreeListNode* ANode) const override { return FSelected.count(ANode) > 0; }
  void SetNodeSelected(TgxTreeListNode* ANode, bool AValue) override {
    Log("select " + Name(ANode) + (AValue ? " on" : " off"));
    if (AValue)
      FSelected.insert({ANode, true});
    else
      FSelected.erase(ANode);
  }

  std::map<const TgxTreeListNode*, bool> FRefuse;
  std::map<const TgxTreeListNode*, bool> FSelected;
  bool FMultiSelect = false;
  bool FAllowFocusCollapse = true;
  TgxTreeListNode* FFocused = nullptr;
  TgxTreeListNode* FTop = nullptr;

private:
  void Log(const std::string& AEntry) {
    if (FLogging)
      FLog.push_back(AEntry);
  }
  void Shape(const TgxTreeListNode* ANode, std::string& AText) const {
    if (!AText.empty() && AText.back() != '(')
      AText += ' ';
    AText += Name(ANode);
    if (ANode->Count() == 0)
      return;
    AText += '(';
    for (int i = 0; i < ANode->Count(); ++i)
      Shape(ANode->Items(i), AText);
    AText += ')';
  }

  std::map<const TgxTreeListNode*, std::string> FNames;
  std::vector<std::string> FLog;
  int FLock = 0;
  bool FLogging = true;
  bool FClearing = false;
};

using TLog = std::vector<std::string>;

// a(b(c d) e) f(g)
class TreeListNodes : public ::testing::Test {
protected:
  void SetUp() override {
    a = list.Add("a");
    b = list.Child(a, "b");
    c = list.Child(b, "c");
    d = list.Child(b, "d");
    e = list.Child(a, "e");
    f = list.Add("f");
    g = list.Child(f, "g");
    list.TakeLog();
  }
  TTestTreeList list;
  TgxTreeListNode *a, *b, *c, *d, *e, *f, *g;
};

TEST(TreeListNode, ANodeWithoutOwnerIsRefused) {
  try {
    TgxTreeListTextNode node(nullptr);
    FAIL() << "a node without an owner was made";
  } catch (const EInvalidgxTreeListOperation& error) {
    EXPECT_STREQ(error.what(), "Invalid Owner TgxTreeListNode");
  }
}

TEST_F(TreeListNodes, ChildrenAreAddedInOrderAndAnnounced) {
  EXPECT_EQ(list.Shape(), "a(b(c d) e) f(g)");
  TgxTreeListNode* first = list.Named(a->AddChildFirst(), "first");
  TgxTreeListNode* before = list.Named(a->InsertChild(e), "before-e");
  TgxTreeListNode* top = list.AddFirst("top");
  TgxTreeListNode* mid = list.Named(list.Insert(f), "mid");
  EXPECT_EQ(list.Shape(), "top a(first b(c d) before-e e) mid f(g)");
  EXPECT_EQ(first->Parent(), a);
  EXPECT_EQ(before->Index(), 2);
  EXPECT_EQ(top->Index(), 0);
  EXPECT_EQ(mid->Index(), 2);
  // The names are given after the node was announced.
  EXPECT_EQ(list.TakeLog(),
            (TLog{"added ? under a", "added ? under a", "added ? under -", "added ? under -"}));
  // The first node of a new list became the top row and the focus.
  EXPECT_EQ(list.FTop, a);
  EXPECT_EQ(list.FFocused, a);
}

TEST_F(TreeListNodes, TheFirstChildSetsHasChildrenAndRepaintsTheParent) {
  TgxTreeListNode* h = list.Child(e, "h");
  EXPECT_TRUE(e->HasChildren());
  EXPECT_FALSE(e->Expanded());
  EXPECT_EQ(list.TakeLog(), (TLog{"invalidate e", "added ? under e"}));
  (void)h;
}

TEST_F(TreeListNodes, NavigationAnswersAndGivesNothingOutsideTheTree) {
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(e->Count(), 0);
  EXPECT_EQ(a->Items(2), nullptr);
  EXPECT_EQ(a->Items(-1), nullptr);
  EXPECT_EQ(e->Items(0), nullptr);
  EXPECT_EQ(list.Items(2), nullptr);
  EXPECT_EQ(a->IndexOf(c), -1);
  EXPECT_EQ(e->IndexOf(c), -1);
  EXPECT_EQ(b->IndexOf(d), 1);
  EXPECT_EQ(list.IndexOf(b), -1);
  EXPECT_EQ(c->Level(), 2);
  EXPECT_EQ(f->Level(), 0);
  EXPECT_TRUE(d->IsLast());
  EXPECT_FALSE(c->IsLast());
  EXPECT_TRUE(f->IsLast());
  EXPECT_TRUE(c->HasAsParent(a));
  EXPECT_FALSE(c->HasAsParent(c));
  EXPECT_FALSE(a->HasAsParent(c));
  EXPECT_EQ(a->GetFirstChild(), b);
  EXPECT_EQ(a->GetLastChild(), e);
  EXPECT_EQ(e->GetFirstChild(), nullptr);
  EXPECT_EQ(b->GetNextSibling(), e);
  EXPECT_EQ(e->GetNextSibling(), nullptr);
  EXPECT_EQ(a->GetNextSibling(), f);
  EXPECT_EQ(b->GetPrevSibling(), nullptr);
  EXPECT_EQ(f->GetPrevSibling(), a);
  EXPECT_EQ(c->GetPriorParentNode(), b);
  EXPECT_EQ(d->GetPriorParentNode(), c);
  EXPECT_EQ(a->GetPriorParentNode(), nullptr);
}

TEST_F(TreeListNodes, PreOrderWalksVisitCollapsedSubtreesDisplayWalksDoNot) {
  auto next = [](TgxTreeListNode* n) { return n->GetNext(); };
  auto prev = [](TgxTreeListNode* n) { return n->GetPrev(); };
  auto nextNode = [](TgxTreeListNode* n) { return n->GetNextNode(); };
  auto priorNode = [](TgxTreeListNode* n) { return n->GetPriorNode(); };
  // Everything collapsed.
  EXPECT_EQ(list.Walk(a, next), "a b c d e f g");
  EXPECT_EQ(list.Walk(g, prev), "g f e d c b a");
  EXPECT_EQ(list.Walk(a, nextNode), "a f");
  EXPECT_EQ(list.Walk(f, priorNode), "f a");
  EXPECT_EQ(list.LastNode(), f);
  EXPECT_EQ(list.GetAbsoluteCount(), 2);
  EXPECT_EQ(c->AbsoluteIndex(), -1);
  EXPECT_FALSE(c->IsVisible());

  a->Expand(false);
  EXPECT_EQ(list.Walk(a, nextNode), "a b e f");
  EXPECT_EQ(list.Walk(f, priorNode), "f e b a");
  b->Expand(false);
  f->Expand(false);
  EXPECT_EQ(list.Walk(a, nextNode), "a b c d e f g");
  EXPECT_EQ(list.Walk(g, priorNode), "g f e d c b a");
  EXPECT_EQ(list.LastNode(), g);
  EXPECT_EQ(list.GetAbsoluteCount(), 7);
  EXPECT_EQ(d->AbsoluteIndex(), 3);
  EXPECT_EQ(g->AbsoluteIndex(), 6);
  EXPECT_EQ(list.GetAbsoluteIndexOf(nullptr), -1);
}

TEST_F(TreeListNodes, ExpandingRunsItsStepsInOrder) {
  a->SetExpanded(true);
  EXPECT_EQ(list.TakeLog(),
            (TLog{"expanding a", "make-list", "invalidate a recalc", "expanded a"}));
  // No change, no steps; a node without the flag cannot expand.
  a->SetExpanded(true);
  e->SetExpanded(true);
  EXPECT_EQ(list.TakeLog(), TLog{});
  EXPECT_FALSE(e->Expanded());
}

TEST_F(TreeListNodes, ARefusedExpansionChangesNothingButRecursionGoesOn) {
  list.FRefuse[a] = true;
  a->Expand(true);
  EXPECT_FALSE(a->Expanded());
  EXPECT_TRUE(b->Expanded());
  // Inside the update lock the visible-node list is left for the end.
  EXPECT_EQ(list.TakeLog(), (TLog{"begin-update", "expanding a", "expanding b",
                                  "invalidate b recalc", "expanded b", "end-update"}));
}

TEST_F(TreeListNodes, CollapsingAroundTheTopRowAndFocusMovesThemToTheNode) {
  list.FullExpand();
  list.FTop = c;
  list.FFocused = d;
  list.TakeLog();
  a->SetExpanded(false);
  EXPECT_FALSE(a->Expanded());
  EXPECT_EQ(list.FTop, a);
  EXPECT_EQ(list.FFocused, a);
  EXPECT_EQ(list.TakeLog(), (TLog{"collapsing a", "top a", "focus a column 2", "make-list",
                                  "invalidate a recalc", "collapsed a"}));
}

TEST_F(TreeListNodes, ARefusedFocusMoveKeepsTheNodeExpanded) {
  list.FullExpand();
  list.FFocused = c;
  list.FAllowFocusCollapse = false;
  list.TakeLog();
  b->SetExpanded(false);
  EXPECT_TRUE(b->Expanded());
  EXPECT_EQ(list.TakeLog(), (TLog{"collapsing b", "focus-collapsing refused b"}));
}

TEST_F(TreeListNodes, FullCollapseClosesEveryLevelInOneUpdate) {
  list.FullExpand();
  EXPECT_TRUE(a->Expanded() && b->Expanded() && f->Expanded());
  list.TakeLog();
  list.FullCollapse();
  EXPECT_FALSE(a->Expanded() || b->Expanded() || f->Expanded());
  const TLog log = list.TakeLog();
  EXPECT_EQ(log.front(), "begin-update");
  EXPECT_EQ(log.back(), "end-update");
  EXPECT_EQ(std::count(log.begin(), log.end(), "begin-update"), 1);
  TTestTreeList empty;
  empty.FullExpand();
  EXPECT_EQ(empty.TakeLog(), TLog{});
}

TEST_F(TreeListNodes, MovesPutTheNodeWhereTheModeSays) {
  struct TCase {
    const char* Node;
    const char* Destination;
    TgxTreeListNodeAttachMode Mode;
    const char* Shape;
  };
  const TCase cases[] = {
      {"c", "e", natlAdd, "a(b(d) e c) f(g)"},
      {"c", "e", natlAddFirst, "a(c b(d) e) f(g)"},
      {"c", "e", natlInsert, "a(b(d) c e) f(g)"},
      {"c", "g", natlAddChild, "a(b(d) e) f(g(c))"},
      {"e", "b", natlAddChildFirst, "a(b(e c d)) f(g)"},
      {"g", "a", natlInsert, "g a(b(c d) e) f"},
      {"b", "f", natlAdd, "a(e) f(g) b(c d)"},
      {"c", "c", natlAdd, "a(b(d c) e) f(g)"},
      {"d", "d", natlAddFirst, "a(b(d c) e) f(g)"},
      {"a", "a", natlAdd, "f(g) a(b(c d) e)"},
      {"d", "b", natlAddChildFirst, "a(b(d c) e) f(g)"},
      {"c", "b", natlAddChild, "a(b(d c) e) f(g)"},
      {"g", "f", natlAddChild, "a(b(c d) e) f(g)"},
  };
  for (const TCase& k : cases) {
    TTestTreeList t;
    std::map<std::string, TgxTreeListNode*> n;
    n["a"] = t.Add("a");
    n["b"] = t.Child(n["a"], "b");
    n["c"] = t.Child(n["b"], "c");
    n["d"] = t.Child(n["b"], "d");
    n["e"] = t.Child(n["a"], "e");
    n["f"] = t.Add("f");
    n["g"] = t.Child(n["f"], "g");
    n["b"]->Expand(false);
    TgxTreeListNode* node = n[k.Node];
    node->MoveTo(n[k.Destination], k.Mode);
    SCOPED_TRACE(std::string(k.Node) + " to " + k.Destination + " mode " + std::to_string(k.Mode));
    EXPECT_EQ(t.Shape(), k.Shape);
    EXPECT_EQ(t.FFocused, node);
    // Each node stands in the list of its parent.
    for (auto& [name, each] : n) {
      const int index = each->Parent() ? each->Parent()->IndexOf(each) : t.IndexOf(each);
      EXPECT_GE(index, 0) << name;
    }
    // A parent that keeps its children through the move stays expanded.
    if (n["b"]->Count() > 0) {
      EXPECT_TRUE(n["b"]->Expanded());
    }
  }
}

TEST_F(TreeListNodes, AMoveIsOneUpdateThenFocusListAndScroll) {
  c->MoveTo(e, natlAdd);
  EXPECT_EQ(list.TakeLog(),
            (TLog{"begin-update", "end-update", "store-focus c", "make-list", "make-visible c"}));
}

TEST_F(TreeListNodes, MovesIntoItselfOrItsSubtreeDoNothing) {
  struct TCase {
    TgxTreeListNode* Node;
    TgxTreeListNode* Destination;
    TgxTreeListNodeAttachMode Mode;
  };
  const TCase cases[] = {
      {a, a, natlAddChild}, {a, a, natlAddChildFirst}, {a, a, natlInsert},
      {a, c, natlAdd},      {a, b, natlAddChild},      {b, d, natlInsert},
  };
  for (const TCase& k : cases) {
    EXPECT_FALSE(k.Node->CanMove(k.Destination, k.Mode));
    k.Node->MoveTo(k.Destination, k.Mode);
    EXPECT_EQ(list.Shape(), "a(b(c d) e) f(g)");
  }
  EXPECT_FALSE(a->CanMove(nullptr, natlAdd));
  a->MoveTo(nullptr, natlAdd);
  EXPECT_EQ(list.TakeLog(), TLog{});
}

TEST_F(TreeListNodes, ANodeThatLosesItsLastChildHasNoButtonAndIsCollapsed) {
  f->Expand(false);
  g->MoveTo(e, natlAdd);
  EXPECT_EQ(f->Count(), 0);
  EXPECT_FALSE(f->HasChildren());
  EXPECT_FALSE(f->Expanded());
  TgxTreeListNodes children;
  f->AddNodesToList(children);
  EXPECT_TRUE(children.empty());
  a->AddNodesToList(children);
  EXPECT_EQ(children, (TgxTreeListNodes{b, e, g}));

  b->Expand(false);
  delete c;
  delete d;
  EXPECT_FALSE(b->HasChildren());
  EXPECT_FALSE(b->Expanded());
}

TEST_F(TreeListNodes, HasChildrenStaysWhileChildrenAreThere) {
  e->SetHasChildren(true);
  EXPECT_TRUE(e->HasChildren());
  b->SetHasChildren(false);
  EXPECT_TRUE(b->HasChildren());
  e->SetHasChildren(false);
  EXPECT_EQ(list.TakeLog(), (TLog{"invalidate e", "invalidate e"}));
}

TEST_F(TreeListNodes, DeletingASubtreeFreesChildrenFirstWithTheirNeighbours) {
  a->Expand(false);
  list.TakeLog();
  delete b;
  EXPECT_EQ(list.Shape(), "a(e) f(g)");
  // c and d went while b was going: they count as not visible. b was the
  // first child (prior = its parent) and e follows it on screen.
  EXPECT_EQ(list.TakeLog(), (TLog{"deleted c prior b next d", "deleted d prior b next e last",
                                  "deleted b prior a next e visible"}));
}

TEST_F(TreeListNodes, DeletingTheFocusedNodeFocusesItsPriorNodeOrTheNext) {
  list.FFocused = f;
  delete f;
  EXPECT_EQ(list.FFocused, a);
  list.FFocused = a;
  list.FTop = a;
  delete a;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FFocused, nullptr);
  EXPECT_EQ(list.FTop, nullptr);
  EXPECT_EQ(
      list.TakeLog(),
      (TLog{"deleted g prior f next - last", "deleted f prior a next - last visible",
            "deleted c prior b next d", "deleted d prior b next e last", "deleted b prior a next e",
            "deleted e prior a next - last", "deleted a prior - next - last visible"}));
}

TEST_F(TreeListNodes, ClearingAllNodesOnlyAnnouncesEachDeletion) {
  list.ClearAll();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.TakeLog(), (TLog{"deleted c prior - next -", "deleted d prior - next -",
                                  "deleted b prior - next -", "deleted e prior - next -",
                                  "deleted a prior - next -", "deleted g prior - next -",
                                  "deleted f prior - next -"}));
}

TEST_F(TreeListNodes, DeleteChildrenEmptiesTheNodeInOrder) {
  b->DeleteChildren();
  EXPECT_EQ(list.Shape(), "a(b e) f(g)");
  EXPECT_FALSE(b->HasChildren());
  EXPECT_EQ(list.TakeLog(), (TLog{"deleted c prior b next d", "deleted d prior b next e last"}));
}

TEST_F(TreeListNodes, TextNodesGrowTheirTextsOnDemand) {
  auto* node = static_cast<TgxTreeListTextNode*>(a);
  EXPECT_EQ(a->ImageIndex(), 0);
  EXPECT_EQ(a->SelectedIndex(), -1);
  EXPECT_EQ(a->StateIndex(), -1);
  a->SetStrings(0, L"zero");
  a->SetStrings(1, L"one");
  EXPECT_EQ(a->Strings(5), L"");
  EXPECT_EQ(node->TextCount(), 2);
  a->SetStrings(5, L"five");
  EXPECT_EQ(node->TextCount(), 6);
  EXPECT_EQ(a->Strings(3), L"");
  EXPECT_EQ(a->Strings(5), L"five");
  EXPECT_EQ(a->Strings(-1), L"");
  EXPECT_THROW(a->SetStrings(-1, L"x"), EListError);
  // Values are texts: an integer written comes back as its text.
  a->SetValues(2, TgxNodeVariant(int32_t(42)));
  EXPECT_EQ(a->Strings(2), L"42");
  const TgxNodeVariant value = a->Values(2);
  EXPECT_EQ(V_VT(&value.Get()), VT_BSTR);
  EXPECT_EQ(value.AsText(), L"42");
  a->SetValues(2, TgxNodeVariant());
  EXPECT_EQ(a->Strings(2), L"");
  EXPECT_EQ(a->CountValues(), 3);
  a->SetImageIndex(4);
  a->SetSelectedIndex(5);
  a->SetStateIndex(6);
  EXPECT_EQ(a->ImageIndex() * 100 + a->SelectedIndex() * 10 + a->StateIndex(), 456);
  node->DeleteText(0);
  EXPECT_EQ(a->Strings(0), L"one");
}

TEST_F(TreeListNodes, FocusedAndSelectedGoThroughTheList) {
  EXPECT_TRUE(a->Focused());
  EXPECT_TRUE(a->Selected());
  f->SetFocused(true);
  EXPECT_TRUE(f->Focused());
  f->SetFocused(true);
  f->SetFocused(false);
  EXPECT_TRUE(f->Focused());
  EXPECT_EQ(list.TakeLog(), (TLog{"focus f column 2 visible", "focus - column 2 visible"}));

  list.FMultiSelect = true;
  EXPECT_FALSE(f->Selected());
  e->SetSelected(true);
  EXPECT_TRUE(e->Selected());
  e->SetSelected(false);
  EXPECT_FALSE(e->Selected());
  EXPECT_EQ(list.TakeLog(), (TLog{"select e on", "select e off"}));
}

TEST_F(TreeListNodes, TheNodeDataIndexFollowsDataWhileTrackingIsOn) {
  int x = 0, y = 0;
  c->SetData(&x); // before tracking: not indexed
  list.SetTrackNodeData(true);
  d->SetData(&x);
  e->SetData(&x);
  g->SetData(&y);
  EXPECT_EQ(list.NodesByData(&x), (TgxTreeListNodes{d, e}));
  e->SetData(&x); // the same pointer: the index is not touched
  EXPECT_EQ(list.NodesByData(&x), (TgxTreeListNodes{d, e}));
  e->SetData(&y);
  EXPECT_EQ(list.NodesByData(&x), (TgxTreeListNodes{d}));
  EXPECT_EQ(list.NodesByData(&y), (TgxTreeListNodes{g, e}));
  delete g;
  EXPECT_EQ(list.NodesByData(&y), (TgxTreeListNodes{e}));
  // Tracking on: only the indexed nodes lose the pointer.
  list.RemoveTreeNodeDataReference(&x);
  EXPECT_EQ(d->Data(), nullptr);
  EXPECT_EQ(c->Data(), &x);
  EXPECT_TRUE(list.NodesByData(&x).empty());
  // Tracking off: every node, collapsed subtrees too.
  list.SetTrackNodeData(false);
  list.RemoveTreeNodeDataReference(&x);
  EXPECT_EQ(c->Data(), nullptr);
  EXPECT_EQ(e->Data(), &y);
}

TEST_F(TreeListNodes, APriorNodeFromTheListsCacheWins) {
  class TCachedList : public TTestTreeList {
  public:
    bool TryGetPriorListNode(const TgxTreeListNode* ANode,
                             TgxTreeListNode*& APrior) const override {
      for (std::size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i] == ANode) {
          APrior = i ? FRows[i - 1] : nullptr;
          return true;
        }
      return false;
    }
    TgxTreeListNodes FRows;
  };
  TCachedList cached;
  TgxTreeListNode* p = cached.Add("p");
  TgxTreeListNode* q = cached.Add("q");
  cached.FRows = {q, p};
  EXPECT_EQ(p->GetPriorNode(), q);
  EXPECT_EQ(q->GetPriorNode(), nullptr);
}

} // namespace
