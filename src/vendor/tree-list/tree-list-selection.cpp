#include "tree-list-core.h"

#include <algorithm>
#include <utility>

// The selection operations of the core: the set itself lives in the
// published list, so the base answers are empty or counting, and the rules
// that do not depend on the storage (who may join, the anchor, the range
// walk, the repaint) are kept here.

namespace {

template <typename TEnd> class TFinally {
public:
  explicit TFinally(TEnd AEnd) : FEnd(std::move(AEnd)) {}
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;
  ~TFinally() { FEnd(); }

private:
  TEnd FEnd;
};

// More selected rows than this repaint the whole control at once.
constexpr int kMaxRowsRepaintedOneByOne = 10;

} // namespace

bool TCustomgxTreeList::CanNodeSelected(TgxTreeListNode* ANode) {
  bool allow = true;
  if (OnCanNodeSelected)
    OnCanNodeSelected(this, ANode, allow);
  if (!allow || IsExtMultiSelect() || !ANode)
    return allow;
  // Without the extended mode a selection stays among siblings.
  TgxTreeListNode* first = GetFirstSelectedNode();
  return !first || first->Parent() == ANode->Parent();
}

void TCustomgxTreeList::ClearSelection() {
  FSelecting = false;
  DoSelectedCountChange();
}

int TCustomgxTreeList::CompareWithAnchor(TgxTreeListNode* ANode) {
  const int index = GetAbsoluteIndexOf(ANode);
  const int anchor = GetAbsoluteIndexOf(FSelectionAnchor);
  if (index < anchor)
    return -1;
  return index > anchor ? 1 : 0;
}

void TCustomgxTreeList::DeleteSelection() {
  FSelecting = false;
}

void TCustomgxTreeList::DoSelectedCountChange() {
  if (IsDestroying() || FLockSelection > 0)
    return;
  if (OnSelectedCountChange)
    OnSelectedCountChange(this);
}

void TCustomgxTreeList::InvalidateSelection() {
  if (!HandleAllocated() || IsDestroying())
    return;
  auto repaintRow = [this](TgxTreeListNode* ANode) {
    RECT row{-1, -1, -1, -1};
    GetNodeRowRect(ANode, row);
    if (row.left != -1 || row.top != -1)
      InvalidateRect(Handle(), &row, FALSE);
  };
  if (FFocused)
    repaintRow(FFocused);
  const int count = GetSelectedCount();
  if (count > kMaxRowsRepaintedOneByOne) {
    Invalidate();
    return;
  }
  for (int i = 0; i < count; ++i)
    if (TgxTreeListNode* node = GetSelectedItem(i))
      repaintRow(node);
}

void TCustomgxTreeList::SetNodeSelected(TgxTreeListNode* ANode, bool) {
  DoSelectionChanged(ANode);
  DoSelectedCountChange();
}

void TCustomgxTreeList::SelectNodes(TgxTreeListNode* ANode1, TgxTreeListNode* ANode2) {
  BeginSelection();
  TFinally end([this] { EndSelection(); });
  try {
    int first = GetAbsoluteIndexOf(ANode1), last = GetAbsoluteIndexOf(ANode2);
    TgxTreeListNode* stop = ANode2;
    TgxTreeListNode* node = ANode1;
    if (first > last) {
      std::swap(first, last);
      std::swap(node, stop);
    }
    for (int i = 0; node && i <= last - first; ++i, node = GetNextVisible(node)) {
      node->SetSelected(true);
      if (node == stop)
        break;
    }
  } catch (...) {
    // A refused node ends the range where it stands.
  }
}

TgxTreeListNode* TCustomgxTreeList::GetFirstSelectedNode() {
  return GetSelectedCount() > 0 ? GetSelectedItem(0) : FFirstSelectedNode;
}
