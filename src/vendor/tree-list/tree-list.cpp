#include "tree-list.h"

#include "tree-list-stream.h"

#include "rtl-exceptions.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>

namespace {

// Runs its end when the scope closes, also by an exception.
template <typename TEnd> class TFinally {
public:
  explicit TFinally(TEnd AEnd) : FEnd(std::move(AEnd)) {}
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;
  ~TFinally() { FEnd(); }

private:
  TEnd FEnd;
};

TgxTreeListTextNode* TextNode(TgxTreeListNode* ANode) {
  return dynamic_cast<TgxTreeListTextNode*>(ANode);
}

std::wstring UpperCased(std::wstring AText) {
  if (!AText.empty())
    CharUpperBuffW(AText.data(), DWORD(AText.size()));
  return AText;
}

} // namespace

TgxTreeList::TgxTreeList(TComponent* AOwner) : TCustomgxTreeListControl(AOwner) {}

TgxTreeList::~TgxTreeList() {
  try {
    ClearSelection();
  } catch (...) {
  }
  FSelectedNodes.clear();
}

// ---- node values -----------------------------------------------------------------------

std::wstring TgxTreeList::GetNodeString(TgxTreeListNode* ANode, int AColumn) {
  TgxTreeListTextNode* node = TextNode(ANode);
  return node ? node->Text(AColumn) : std::wstring();
}

void TgxTreeList::SetNodeString(TgxTreeListNode* ANode, int AColumn, const std::wstring& AValue) {
  if (TgxTreeListTextNode* node = TextNode(ANode)) {
    node->SetText(AColumn, AValue);
    if (!IsUpdateLocked() && !IsDestroying())
      InvalidateNode(ANode, false);
  }
  RequestSortRefresh();
}

TgxNodeVariant TgxTreeList::GetNodeVariant(TgxTreeListNode* ANode, int AColumn) {
  return TgxNodeVariant(GetNodeString(ANode, AColumn));
}

void TgxTreeList::SetNodeVariant(TgxTreeListNode* ANode, int AColumn,
                                 const TgxNodeVariant& AValue) {
  SetNodeString(ANode, AColumn, AValue.AsText());
}

int TgxTreeList::GetNodeImageIndex(TgxTreeListNode* ANode) {
  TgxTreeListTextNode* node = TextNode(ANode);
  return node ? node->FImageIndex : -1;
}

int TgxTreeList::GetNodeSelectedIndex(TgxTreeListNode* ANode) {
  TgxTreeListTextNode* node = TextNode(ANode);
  return node ? node->FSelectedIndex : -1;
}

int TgxTreeList::GetNodeStateIndex(TgxTreeListNode* ANode) {
  TgxTreeListTextNode* node = TextNode(ANode);
  return node ? node->FStateIndex : -1;
}

void TgxTreeList::SetNodeImageIndex(TgxTreeListNode* ANode, int AValue) {
  if (TgxTreeListTextNode* node = TextNode(ANode); node && node->FImageIndex != AValue) {
    node->FImageIndex = AValue;
    if (!IsUpdateLocked() && !IsDestroying())
      InvalidateNode(ANode, false);
  }
}

void TgxTreeList::SetNodeSelectedIndex(TgxTreeListNode* ANode, int AValue) {
  if (TgxTreeListTextNode* node = TextNode(ANode); node && node->FSelectedIndex != AValue) {
    node->FSelectedIndex = AValue;
    if (!IsUpdateLocked() && !IsDestroying())
      InvalidateNode(ANode, false);
  }
}

void TgxTreeList::SetNodeStateIndex(TgxTreeListNode* ANode, int AValue) {
  if (TgxTreeListTextNode* node = TextNode(ANode); node && node->FStateIndex != AValue) {
    node->FStateIndex = AValue;
    if (!IsUpdateLocked() && !IsDestroying())
      InvalidateNode(ANode, false);
  }
}

// ---- node stream -----------------------------------------------------------------------

void TgxTreeList::WriteNodes(TStream& AStream) {
  WriteTreeListNodes(*this, AStream);
}

void TgxTreeList::ReadNodes(TStream& AStream) {
  ClearNodes();
  ReadTreeListNodes(*this, AStream, FStreamVersion);
}

void TgxTreeList::SaveToStream(TStream& AStream) {
  WriteNodes(AStream);
}

void TgxTreeList::LoadFromStream(TStream& AStream) {
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  ClearNodes();
  ReadNodes(AStream);
}

void TgxTreeList::SaveToFile(const std::wstring& AFileName) {
  TFileStream stream(AFileName, fmCreate);
  SaveToStream(stream);
}

void TgxTreeList::LoadFromFile(const std::wstring& AFileName) {
  TFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TgxTreeList::AssignNodes(const TPersistent* ASource) {
  auto* source = dynamic_cast<const TgxTreeList*>(ASource);
  if (!source) {
    Assign(ASource);
    return;
  }
  if (source == this)
    return;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  // The source's nodes are written first, so a failure leaves this list
  // as it was.
  TMemoryStream stream;
  const_cast<TgxTreeList*>(source)->WriteNodes(stream);
  stream.SetPosition(0);
  ClearNodes();
  ReadNodes(stream);
}

// ---- sorting ---------------------------------------------------------------------------

void TgxTreeList::RequestSortRefresh() {
  if (IsClearingNodes() || IsDestroying() || !IsAutoSortRefresh())
    return;
  if (IsUpdateLocked())
    FNeededSortRefresh = true;
  else
    RefreshSorting();
}

void TgxTreeList::DoLayoutChanged() {
  TCustomgxTreeListControl::DoLayoutChanged();
  HideEditor();
  const bool pending = FNeededSortRefresh;
  FNeededSortRefresh = false;
  if (pending && IsAutoSortRefresh() && !IsDestroying())
    RefreshSorting();
}

void TgxTreeList::RefreshSorting() {
  if (!IsAutoSort())
    return;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  TgxTreeListColumn* column = GetSortedColumn();
  if (column && column->Sorted() != csNone)
    SortNodes(-1, column->Index(), column->Sorted() == csDown);
}

TgxTreeListColumn* TgxTreeList::GetSortedColumn() {
  TgxTreeListColumn* found = nullptr;
  for (int i = 0; i < ColumnCount() && !found; ++i)
    if (Columns(i)->Sorted() != csNone)
      found = Columns(i);
  if (IsMultiSort()) {
    if (SortedColumnCount() > 0)
      return SortedColumns(0);
    if (found)
      TCustomgxTreeListControl::AfterColumnSorted(found);
  }
  return found;
}

void TgxTreeList::ClearColumnsSorted() {
  TCustomgxTreeListControl::ClearColumnsSorted();
  // Under the sorting lock, unsorting a column sorts nothing.
  BeginSorting();
  TFinally end([this] { EndSorting(); });
  for (int i = 0; i < ColumnCount(); ++i)
    Columns(i)->SetSorted(csNone);
}

// A Shift+click of a header with multi-sort keeps the other sorted columns.
void TgxTreeList::BeforeColumnSorted(TgxTreeListColumn*) {
  if (IsAutoSort() && !FlagMultiSort && !IsSortingLocked())
    ClearColumnsSorted();
}

void TgxTreeList::AfterColumnSorted(TgxTreeListColumn* AColumn) {
  if (IsMultiSort())
    GetSortedColumn();
  TCustomgxTreeListControl::AfterColumnSorted(AColumn);
  if (IsAutoSort() && !IsSortingLocked())
    SortNodes(-1, AColumn->Index(), AColumn->Sorted() == csDown);
}

void TgxTreeList::GetNodeSortValue(TgxTreeListNode* ANode, int AColumn, std::wstring& AValue) {
  AValue = GetNodeString(ANode, AColumn);
  if (IsCaseInsensitive())
    AValue = UpperCased(AValue);
}

// ---- node notifications ----------------------------------------------------------------

void TgxTreeList::NodeAdded(TgxTreeListNode* ANode) {
  TCustomgxTreeListControl::NodeAdded(ANode);
  RequestSortRefresh();
}

void TgxTreeList::NodeDeleted(TgxTreeListNode* ANode, TgxTreeListNode* APriorNode,
                              TgxTreeListNode* ANextVisible, bool AWasLast, bool AWasVisible) {
  TCustomgxTreeListControl::NodeDeleted(ANode, APriorNode, ANextVisible, AWasLast, AWasVisible);
  // A node that goes leaves the selected set whatever the options are now.
  const auto it = std::lower_bound(FSelectedNodes.begin(), FSelectedNodes.end(), ANode);
  if (it != FSelectedNodes.end() && *it == ANode)
    FSelectedNodes.erase(it);
  RequestSortRefresh();
}

// ---- edited values ---------------------------------------------------------------------

void TgxTreeList::SetNodeEditValue(TgxTreeListNode* ANode, int AColumn, TgxVariant& AValue,
                                   TgxInplaceEdit* AEditor) {
  const int absolute = GetFocusedAbsoluteIndex(AColumn);
  if (absolute < 0) {
    AValue = std::wstring();
  } else {
    TgxTreeListColumn* column = Columns(absolute);
    column->SaveEditValue(ANode, AEditor, AValue);
    if (!FOneEditUpdateIsEnough) {
      std::wstring text;
      column->GetNodeText(ANode, text);
      ANode->SetStrings(column->Index(), text);
    }
    if (IsRowAutoHeightEnabled() || (IsPreview() && IsAutoCalcPreviewLines())) {
      BeginUpdate();
      TFinally end([this] { EndUpdate(); });
      InvalidateNode(ANode, true);
    }
    if (IsAutoSortRefresh() && !IsDestroying() && !IsUpdateLocked()) {
      RefreshSorting();
      ANode->MakeVisible();
    }
  }
  TgxVariant scratch;
  TCustomgxTreeListControl::SetNodeEditValue(ANode, AColumn, scratch, AEditor);
}

// ---- selection storage -----------------------------------------------------------------

void TgxTreeList::ClearSelection() {
  if (!FSelectedNodes.empty()) {
    if (!IsDestroying() && !IsClearingNodes())
      InvalidateSelection();
    if (OnSelectionChanged) {
      while (!FSelectedNodes.empty()) {
        TgxTreeListNode* node = FSelectedNodes.back();
        FSelectedNodes.pop_back();
        OnSelectionChanged(this, node);
      }
    }
    FSelectedNodes.clear();
  }
  TCustomgxTreeListControl::ClearSelection();
}

void TgxTreeList::DeleteSelection() {
  TCustomgxTreeListControl::DeleteSelection();
  FSelecting = false;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  while (!FSelectedNodes.empty()) {
    TgxTreeListNode* node = FSelectedNodes.front();
    FSelectedNodes.erase(FSelectedNodes.begin());
    delete node;
  }
}

TgxTreeListNode* TgxTreeList::GetSelectedItem(int AIndex) {
  if (AIndex < 0 || AIndex >= int(FSelectedNodes.size()))
    return nullptr;
  return FSelectedNodes[size_t(AIndex)];
}

bool TgxTreeList::IsNodeSelected(TgxTreeListNode* ANode) const {
  return std::binary_search(FSelectedNodes.begin(), FSelectedNodes.end(), ANode);
}

void TgxTreeList::SetNodeSelected(TgxTreeListNode* ANode, bool AValue) {
  if (!IsMultiSelect() || !ANode)
    return;
  const auto it = std::lower_bound(FSelectedNodes.begin(), FSelectedNodes.end(), ANode);
  const bool present = it != FSelectedNodes.end() && *it == ANode;
  if (AValue) {
    if (!present && CanNodeSelected(ANode))
      FSelectedNodes.insert(it, ANode);
  } else if (present) {
    FSelectedNodes.erase(it);
  }
  if (!IsDestroying() && !IsUpdateLocked())
    InvalidateNode(ANode, false);
  TCustomgxTreeListControl::SetNodeSelected(ANode, AValue);
}

void TgxTreeList::SelectNodes(TgxTreeListNode* ANode1, TgxTreeListNode* ANode2) {
  BeginSelection();
  TFinally endSelection([this] { EndSelection(); });
  BeginUpdate();
  TFinally endUpdate([this] { EndUpdate(); });
  TFinally forget([this] { FFirstSelectedNode = nullptr; });
  MakeListNodes();
  int first = GetAbsoluteIndexOf(ANode1), last = GetAbsoluteIndexOf(ANode2);
  if (first < 0 || last < 0)
    return;
  if (first > last)
    std::swap(first, last);
  std::vector<TgxTreeListNode*> range;
  FFirstSelectedNode = GetNodeAtAbsoluteIndex(first);
  for (int i = first; i <= last; ++i)
    if (TgxTreeListNode* node = GetNodeAtAbsoluteIndex(i); node && CanNodeSelected(node))
      range.push_back(node);
  std::sort(range.begin(), range.end());
  std::vector<TgxTreeListNode*> merged;
  merged.reserve(FSelectedNodes.size() + range.size());
  std::set_union(FSelectedNodes.begin(), FSelectedNodes.end(), range.begin(), range.end(),
                 std::back_inserter(merged));
  FSelectedNodes.swap(merged);
  if (OnSelectionChanged)
    for (auto it = FSelectedNodes.rbegin(); it != FSelectedNodes.rend(); ++it)
      OnSelectionChanged(this, *it);
}

void TgxTreeList::SelectAll() {
  if (!IsMultiSelect() || Count() == 0)
    return;
  BeginSelection();
  TFinally endSelection([this] { EndSelection(); });
  BeginUpdate();
  TFinally endUpdate([this] { EndUpdate(); });
  ClearSelection();
  TgxTreeListNode* first = nullptr;
  TgxTreeListNode* last = nullptr;
  if (IsExtMultiSelect()) {
    FullExpand();
    first = Items(0);
    last = Items(Count() - 1);
    while (last->Count() > 0)
      last = last->GetLastChild();
  } else if (FFocused && FFocused->Parent()) {
    first = FFocused->Parent()->GetFirstChild();
    last = FFocused->Parent()->GetLastChild();
  } else {
    first = Items(0);
    last = Items(Count() - 1);
  }
  SelectNodes(first, last);
}

// ---- answers to the layers below -------------------------------------------------------

TgxTreeListIndicatorKind TgxTreeList::GetRowIndicatorKind(TgxTreeListNode* ANode, bool ASelected) {
  if (ANode && ANode == FFocused)
    return ASelected && IsMultiSelect() ? ikMultiArrow : ikArrow;
  return ASelected ? ikMultiDot : ikNone;
}

void TgxTreeList::GetPreviewText(TgxTreeListNode* ANode, std::wstring& AText) {
  TCustomgxTreeListControl::GetPreviewText(ANode, AText);
  if (OnGetPreviewText)
    OnGetPreviewText(this, ANode, AText);
}

int TgxTreeList::GetRowLineCount(TgxTreeListNode* ANode, int& ALineHeight) {
  int count = TCustomgxTreeListControl::GetRowLineCount(ANode, ALineHeight);
  if (OnGetRowLineCount)
    OnGetRowLineCount(this, ANode, count);
  return count;
}

int TgxTreeList::GetPreviewLineCount(TgxTreeListNode* ANode) {
  int count = TCustomgxTreeListControl::GetPreviewLineCount(ANode);
  if (OnGetPreviewLineCount)
    OnGetPreviewLineCount(this, ANode, count);
  return count;
}

void TgxTreeList::GetFooterCellText(TgxTreeListNode* ANode, int AColumn, int AFooterIndex,
                                    std::wstring& AText) {
  AText.clear();
  if (OnGetFooterCellText)
    OnGetFooterCellText(this, ANode, AColumn, AFooterIndex, AText);
}

bool TgxTreeList::IsExistRowFooterCell(TgxTreeListNode* ANode, int AColumn, int AFooterIndex) {
  bool exist = false;
  if (OnIsExistRowFooterCell)
    OnIsExistRowFooterCell(this, ANode, AColumn, AFooterIndex, exist);
  return exist;
}

bool TgxTreeList::IsLevelFooter(int ALevel) {
  bool exist = false;
  if (OnIsLevelFooter)
    OnIsLevelFooter(this, ALevel, exist);
  return exist;
}

TgxEditStyle* TgxTreeList::CreateEditStyle(TgxInplaceEdit* AEdit) {
  return new TgxTreeListEditStyle(AEdit, this);
}

// ---- the edit style --------------------------------------------------------------------

TgxTreeListEditStyle::TgxTreeListEditStyle(TgxInplaceEdit* AEdit, TCustomgxTreeList* ATreeList)
    : TgxEditStyle(AEdit), FTreeList(ATreeList) {}

TgxEditBorderStyle TgxTreeListEditStyle::DefaultBorderStyle() {
  return FTreeList && FTreeList->ShowGrid() ? xbsNone : xbsSingle;
}

TgxEditButtonViewStyle TgxTreeListEditStyle::DefaultButtonStyle() {
  static constexpr TgxEditButtonViewStyle kByLookAndFeel[] = {bts3D, btsFlat, btsHotFlat};
  const int lookAndFeel = FTreeList ? int(FTreeList->LookAndFeel()) : int(lfStandard);
  return kByLookAndFeel[std::min(lookAndFeel, 2)];
}

// ---- the mask column -------------------------------------------------------------------

const TgxTreeListEditorClass& TreeListMaskEditClass() {
  static const TgxTreeListEditorClass kClass{
      L"TgxInplaceTreeListMaskEdit",
      []() -> const TgxInplaceEditClass& { return TgxInplaceTextEditClass::Instance(); },
      [](TComponent* AOwner) -> TgxInplaceEdit* { return new TgxInplaceTreeListMaskEdit(AOwner); },
      [](const TgxInplaceEdit* AEdit) {
        return dynamic_cast<const TgxInplaceTreeListMaskEdit*>(AEdit) != nullptr;
      }};
  return kClass;
}

void TgxTreeListMaskColumn::Assign(const TPersistent* ASource) {
  const auto* source = dynamic_cast<const TgxTreeListMaskColumn*>(ASource);
  if (!source) {
    TgxTreeListColumn::Assign(ASource);
    return;
  }
  TCustomgxTreeListControl* list = TreeList();
  if (list)
    list->BeginUpdate();
  TFinally end([list] {
    if (list)
      list->EndUpdate();
  });
  TgxTreeListColumn::Assign(ASource);
  SetEditMask(source->EditMask());
}

void TgxTreeListMaskColumn::RestoreDefaults() {
  TgxTreeListColumn::RestoreDefaults();
  SetEditMask(std::wstring());
}

void TgxTreeListMaskColumn::InitEditor(TgxInplaceEdit* AEdit) {
  TgxTreeListColumn::InitEditor(AEdit);
  if (auto* mask = dynamic_cast<TgxInplaceMaskEdit*>(AEdit)) {
    mask->SetEditMask(FEditMask);
    mask->SetIgnoreMaskBlank(FIgnoreMaskBlank);
  }
}
