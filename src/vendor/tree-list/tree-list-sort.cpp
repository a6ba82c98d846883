// Sorting the sibling lists of a tree list by the sort values of one or
// more columns: natural order by default, the OnCompare handler when one is
// assigned, or the user's locale with aoAnsiSort.

#include "tree-list-core.h"

#include "application.h"
#include "xp-strings.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// One node's sort value for one column; further sorted columns hang on
// PNext.
struct TNodeVariant {
  TgxTreeListNode* Node = nullptr;
  std::wstring Value;
  bool Desc = false;
  TNodeVariant* PNext = nullptr;
};

int Sign(int AValue) {
  return AValue < 0 ? -1 : (AValue > 0 ? 1 : 0);
}

int CompareAddresses(const TgxTreeListNode* A, const TgxTreeListNode* B) {
  const auto a = reinterpret_cast<uintptr_t>(A), b = reinterpret_cast<uintptr_t>(B);
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Case-insensitive in the ASCII letters only, whatever the locale.
int CompareTextAscii(const std::wstring& A, const std::wstring& B) {
  const size_t n = std::min(A.size(), B.size());
  for (size_t i = 0; i < n; ++i) {
    wchar_t a = A[i], b = B[i];
    if (a >= L'a' && a <= L'z')
      a = wchar_t(a - 32);
    if (b >= L'a' && b <= L'z')
      b = wchar_t(b - 32);
    if (a != b)
      return a < b ? -1 : 1;
  }
  return A.size() < B.size() ? -1 : (A.size() > B.size() ? 1 : 0);
}

int NaturalChain(const TNodeVariant* A, const TNodeVariant* B) {
  for (; A && B; A = A->PNext, B = B->PNext) {
    if (A->Value == B->Value)
      continue;
    const int result = AlphaNumericCompare(A->Value, B->Value);
    if (result != 0)
      return A->Desc ? -result : result;
  }
  return 0;
}

int PlainChain(const TNodeVariant* A, const TNodeVariant* B) {
  for (; A && B; A = A->PNext, B = B->PNext) {
    if (A->Value == B->Value)
      continue;
    const int order = CompareStringW(LOCALE_USER_DEFAULT, 0, A->Value.c_str(), int(A->Value.size()),
                                     B->Value.c_str(), int(B->Value.size()));
    const int result = order == CSTR_LESS_THAN ? -1 : 1;
    return A->Desc ? -result : result;
  }
  return 0;
}

// A quicksort that stays inside the array whatever the comparer answers,
// so a handler that is not a consistent order only gives an odd order.
template <typename TCompare>
void QuickSort(std::vector<TNodeVariant*>& AItems, int ALeft, int ARight, TCompare& ACompare) {
  while (ALeft < ARight) {
    int i = ALeft, j = ARight;
    TNodeVariant* pivot = AItems[size_t((ALeft + ARight) / 2)];
    do {
      while (i < ARight && ACompare(AItems[size_t(i)], pivot) < 0)
        ++i;
      while (j > ALeft && ACompare(AItems[size_t(j)], pivot) > 0)
        --j;
      if (i <= j) {
        std::swap(AItems[size_t(i)], AItems[size_t(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (ALeft < j)
      QuickSort(AItems, ALeft, j, ACompare);
    ALeft = i;
  }
}

} // namespace

int TCustomgxTreeList::CompareNodes(TgxTreeListNode* ANode1, TgxTreeListNode* ANode2) {
  return CompareAddresses(ANode1, ANode2);
}

void TCustomgxTreeList::SortNodes(int ALevel, int AColumn, bool ADesc) {
  std::optional<THourGlassScope> hourGlass;
  if (IsShowHourGlass())
    hourGlass.emplace();
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  if (OnBeforeSort)
    OnBeforeSort(this);
  // The children a node holds are reordered by moving each, in the sorted
  // order, to the end of its own list.
  auto sortChildren = [&](TgxTreeListNode* AParent) {
    if (!AParent) {
      SortNodeList(NodeList(), AColumn, ADesc);
      return;
    }
    TgxTreeListNodes children;
    AParent->AddNodesToList(children);
    SortNodeList(children, AColumn, ADesc);
    for (TgxTreeListNode* child : children)
      child->InternalMove(child, natlAdd);
  };
  // Parents before children, depth first.
  struct TPending {
    TgxTreeListNode* Parent;
    int Depth;
  };
  std::vector<TPending> pending{{nullptr, 0}};
  while (!pending.empty()) {
    const TPending item = pending.back();
    pending.pop_back();
    if (ALevel < 0 || item.Depth == ALevel)
      sortChildren(item.Parent);
    if (ALevel >= 0 && item.Depth >= ALevel)
      continue;
    TgxTreeListNodes children;
    if (item.Parent)
      item.Parent->AddNodesToList(children);
    else
      children = NodeList();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if ((*it)->Count() > 0)
        pending.push_back({*it, item.Depth + 1});
  }
}

void TCustomgxTreeList::SortNodeList(TgxTreeListNodes& AList, int AColumn, bool ADesc) {
  if (AList.size() < 2)
    return;
  const bool multi = IsMultiSortActive(AColumn) && GetSortedColumnCount() > 1;
  if (multi) {
    AColumn = GetSortedColumnIndex(0);
    ADesc = IsSortedColumnDown(0);
  }
  const size_t chain = multi ? size_t(GetSortedColumnCount()) : 1;
  std::vector<TNodeVariant> records(AList.size() * chain);
  std::vector<TNodeVariant*> items(AList.size());
  for (size_t n = 0; n < AList.size(); ++n) {
    TNodeVariant* head = &records[n * chain];
    for (size_t c = 0; c < chain; ++c) {
      TNodeVariant& record = head[c];
      record.Node = AList[n];
      const int column = c == 0 ? AColumn : GetSortedColumnIndex(int(c));
      record.Desc = c == 0 ? ADesc : IsSortedColumnDown(int(c));
      GetNodeSortValue(record.Node, column, record.Value);
      record.PNext = c + 1 < chain ? &head[c + 1] : nullptr;
    }
    items[n] = head;
  }
  auto natural = [](const TNodeVariant* A, const TNodeVariant* B) {
    if (A == B)
      return 0;
    if (const int result = NaturalChain(A, B))
      return result;
    const int texts = A->Node->CountValues();
    for (int i = 0; i < texts; ++i)
      if (const int result = Sign(CompareTextAscii(A->Node->Strings(i), B->Node->Strings(i))))
        return result;
    return CompareAddresses(A->Node, B->Node);
  };
  auto plain = [this](const TNodeVariant* A, const TNodeVariant* B) {
    if (A->Value == B->Value) {
      if (const int result = PlainChain(A->PNext, B->PNext))
        return result;
      return CompareNodes(A->Node, B->Node);
    }
    return PlainChain(A, B);
  };
  auto handler = [this](const TNodeVariant* A, const TNodeVariant* B) {
    int compare = 0;
    OnCompare(this, A->Node, B->Node, compare);
    return compare;
  };
  const int last = int(items.size()) - 1;
  if (OnCompare)
    QuickSort(items, 0, last, handler);
  else if (IsAnsiSort())
    QuickSort(items, 0, last, plain);
  else
    QuickSort(items, 0, last, natural);
  for (size_t n = 0; n < items.size(); ++n)
    AList[n] = items[n]->Node;
}

// ---- incremental search ----------------------------------------------------------------

namespace {

std::wstring SearchUpper(std::wstring AText) {
  if (!AText.empty())
    CharUpperBuffW(AText.data(), DWORD(AText.size()));
  return AText;
}

// The last node in pre-order: the last top-level node, then its last child
// down to the deepest.
TgxTreeListNode* DeepestLastNode(TgxTreeListNodeOwner& AOwner) {
  TgxTreeListNode* node = AOwner.Items(AOwner.Count() - 1);
  while (node && node->Count() > 0)
    node = node->GetLastChild();
  return node;
}

} // namespace

bool TCustomgxTreeList::StartSearch(int AColumnIndex, const std::wstring& AText) {
  HideEditor();
  FNewItemRowActive = false;
  if (AColumnIndex == -1)
    AColumnIndex = GetFocusedAbsoluteIndex(FFocusedColumn);
  FSearchColumnIndex = AColumnIndex;
  const int visible = GetFocusedVisibleIndexOrNone(AColumnIndex);
  if (visible >= 0 && visible != FFocusedColumn)
    SetFocusedColumn(visible);
  FSearching = true;
  FSearchText = AText;
  DoSearch(FSearchText, 0, true);
  return !FSearchText.empty();
}

void TCustomgxTreeList::EndSearch() {
  if (!FSearching)
    return;
  FSearching = false;
  if (!IsUpdateLocked() && FFocused && !IsDestroying())
    InvalidateNode(FFocused, false);
}

void TCustomgxTreeList::CheckSearchColumn() {
  if (IsRowSelect())
    return;
  const int focused = GetFocusedAbsoluteIndex(FFocusedColumn);
  if (focused != FSearchColumnIndex) {
    FSearchColumnIndex = focused;
    FSearchText.clear();
  }
}

void TCustomgxTreeList::SearchAddChar(wchar_t ACh) {
  CheckSearchColumn();
  FSearchText += ACh;
  DoSearch(FSearchText, 0, false);
}

void TCustomgxTreeList::SearchBackspace() {
  CheckSearchColumn();
  if (!FSearchText.empty())
    FSearchText.pop_back();
  DoSearch(FSearchText, 0, false);
}

void TCustomgxTreeList::SearchClear() {
  CheckSearchColumn();
  FSearchText.clear();
}

void TCustomgxTreeList::SearchNext(bool ABackward) {
  CheckSearchColumn();
  DoSearch(FSearchText, ABackward ? 1 : 2, false);
}

void TCustomgxTreeList::DoSearch(std::wstring& AText, int ADirection, bool AClearOnFail) {
  ++FLockSearching;
  TFinally unlock([this] { --FLockSearching; });
  if (FSearchColumnIndex >= 0 && Count() > 0) {
    TgxTreeListNode* found = nullptr;
    if (SearchNode(FSearchColumnIndex, AText, found, ADirection)) {
      MakeNodeVisible(found);
      SetFocusedNode(found, FFocusedColumn, true);
    } else if (AClearOnFail) {
      AText.clear();
    } else if (ADirection == 0 && !AText.empty()) {
      // The character that found nothing is dropped.
      AText.pop_back();
    }
  }
  if (FFocused) {
    if (IsMultiSelect()) {
      ClearSelection();
      FFocused->SetSelected(true);
    }
    MakeNodeVisible(FFocused);
    InvalidateNode(FFocused, false);
  }
}

bool TCustomgxTreeList::SearchNode(int AColumn, const std::wstring& AText, TgxTreeListNode*& ANode,
                                   int ADirection) {
  ANode = nullptr;
  if (AText.empty() || !FFocused)
    return false;
  const bool backward = ADirection == 1;
  const bool hidden = AutoExpandOnSearch();
  auto step = [&](TgxTreeListNode* ANodeFrom) -> TgxTreeListNode* {
    if (backward)
      return hidden ? ANodeFrom->GetPrev() : ANodeFrom->GetPriorNode();
    return hidden ? ANodeFrom->GetNext() : ANodeFrom->GetNextNode();
  };
  const std::wstring wanted = SearchUpper(AText);
  TgxTreeListNode* node = FFocused;
  if (ADirection != 0)
    node = step(node);
  TgxTreeListNode* stop = nullptr;
  for (;;) {
    if (!node) {
      if (stop)
        return false;
      // Off the end: on from the other end, as far as the node focused now.
      node = backward ? (hidden ? DeepestLastNode(*this) : LastNode()) : TopNode();
      stop = FFocused;
      if (!node)
        return false;
    }
    if (node == stop)
      return false;
    const std::wstring text = node->Strings(AColumn);
    if (text.size() >= AText.size() && SearchUpper(text.substr(0, AText.size())) == wanted) {
      ANode = node;
      return true;
    }
    node = step(node);
  }
}
