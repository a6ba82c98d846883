#include "tree-list-core.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Runs AEnd when the scope is left, by return or by exception.
template <typename TEnd> class TFinally {
public:
  explicit TFinally(TEnd AEnd) : FEnd(std::move(AEnd)) {}
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;
  ~TFinally() { FEnd(); }

private:
  TEnd FEnd;
};

bool LessByNode(const std::pair<const TgxTreeListNode*, int>& AEntry,
                const TgxTreeListNode* ANode) {
  return std::less<const TgxTreeListNode*>()(AEntry.first, ANode);
}

} // namespace

// ===========================================================================
// construction

TCustomgxTreeList::TCustomgxTreeList(TComponent* AOwner) : TCustomgxContainer(AOwner) {
  SetBounds(Left(), Top(), 250, 150);
  SetColor(clWindow);
  SetParentColor(false);
  SetTabStop(true);
  SetControlStyle(ControlStyle() | csCaptureMouse | csOpaque | csDoubleClicks);
  FPreviewFont.SetColor(TColor(0xFF0000));
  FBandFont.OnChange = [this](TGraphicsObject*) { FontsChanged(); };
  FHeaderFont.OnChange = [this](TGraphicsObject*) { FontsChanged(); };
  FPreviewFont.OnChange = [this](TGraphicsObject*) { FontsChanged(); };
  FImageChangeLink.OnChange = [this](TChangeLink*) { Invalidate(); };
  FStateChangeLink.OnChange = [this](TChangeLink*) { Invalidate(); };
}

TCustomgxTreeList::~TCustomgxTreeList() {
  FDestroying = true;
  CancelEditor();
  // The editor goes while the control is still whole: a dying editor asks
  // its container.
  delete FInplaceEdit;
  FInplaceEdit = nullptr;
  if (HandleAllocated())
    DestroyHandle();
  SetParent(nullptr);
  SetTrackNodeData(false);
  ClearListNodes();
  ClearNodes();
  FreeTooltipWindow();
  delete FHintWindow;
  FHintWindow = nullptr;
}

bool TCustomgxTreeList::IsDestroying() const {
  return FDestroying || ComponentState().Contains(csDestroying);
}

void TCustomgxTreeList::CreateParams(TCreateParams& AParams) {
  TCustomgxContainer::CreateParams(AParams);
  AParams.Style |= WS_CLIPCHILDREN | WS_TABSTOP;
  AParams.Style &= ~DWORD(WS_BORDER);
  AParams.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
  if (FBorderStyle == bsSingle && FLookAndFeel == lfStandard) {
    if (Ctl3D())
      AParams.ExStyle |= WS_EX_CLIENTEDGE;
    else
      AParams.Style |= WS_BORDER;
  }
}

void TCustomgxTreeList::CreateWnd() {
  TCustomgxContainer::CreateWnd();
  UpdateRowCount();
  UpdateScrollBars();
}

void TCustomgxTreeList::Notification(TComponent* AComponent, TOperation AOperation) {
  TCustomgxContainer::Notification(AComponent, AOperation);
  if (AOperation != opRemove)
    return;
  if (AComponent == FInplaceEdit) {
    FInplaceEdit = nullptr;
    if (FState == tsEditing)
      FState = tsNormal;
  }
  if (AComponent == FTooltipWindow)
    FTooltipWindow = nullptr;
  if (AComponent == FHintWindow)
    FHintWindow = nullptr;
  if (AComponent == FCustomizingForm)
    FCustomizingForm = nullptr;
  if (AComponent == FImages)
    SetImages(nullptr);
  if (AComponent == FStateImages)
    SetStateImages(nullptr);
}

void TCustomgxTreeList::SetImageList(TCustomImageList*& AField, TChangeLink& ALink,
                                     TCustomImageList* AValue) {
  if (AField == AValue)
    return;
  if (AField) {
    AField->UnRegisterChanges(&ALink);
    AField->RemoveFreeNotification(this);
  }
  AField = AValue;
  if (AField) {
    AField->RegisterChanges(&ALink);
    AField->FreeNotification(this);
  }
  UpdateLayout();
}

void TCustomgxTreeList::SetImages(TCustomImageList* AValue) {
  SetImageList(FImages, FImageChangeLink, AValue);
}

void TCustomgxTreeList::SetStateImages(TCustomImageList* AValue) {
  SetImageList(FStateImages, FStateChangeLink, AValue);
}

void TCustomgxTreeList::Loaded() {
  TCustomgxContainer::Loaded();
  UpdateLayout();
}

void TCustomgxTreeList::SetFlag(bool& AField, bool AValue) {
  if (AField == AValue)
    return;
  AField = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetColorField(TColor& AField, TColor AValue) {
  if (AField == AValue)
    return;
  AField = AValue;
  Invalidate();
}

void TCustomgxTreeList::FontsChanged() {
  UpdateLayout();
}

// ===========================================================================
// container hooks

TgxEditStyle* TCustomgxTreeList::CreateEditStyle(TgxInplaceEdit* AEdit) {
  return TCustomgxContainer::CreateEditStyle(AEdit);
}

void TCustomgxTreeList::ScrollLines(bool AUp, int ACount) {
  FreeTooltipWindow();
  if (OnMouseWheelScroll)
    OnMouseWheelScroll(this, AUp, ACount);
  TCustomgxContainer::ScrollLines(AUp, ACount);
}

TColor TCustomgxTreeList::GetEditorColor() {
  TColor color = Color();
  const int column = GetFocusedAbsoluteIndex(FFocusedColumn);
  if (column >= 0)
    color = GetColumnColor(column);
  if (OnGetEditColor)
    OnGetEditColor(this, color);
  return color;
}

TFont& TCustomgxTreeList::GetEditFont() {
  const int column = GetFocusedAbsoluteIndex(FFocusedColumn);
  if (column >= 0 && IsColumnFontAssigned(column))
    return GetColumnFont(column);
  return Font();
}

bool TCustomgxTreeList::IsImmediateEdit(int AColumn) {
  bool immediate = Has(aoImmediateEditor);
  if (AColumn >= 0 && OnImmediateEdit)
    OnImmediateEdit(this, AColumn, immediate);
  return immediate;
}

bool TCustomgxTreeList::WantsTabs() {
  return Has(aoTabs) && GetAsyncKeyState(VK_CONTROL) >= 0;
}

void TCustomgxTreeList::FocusNextEditCell(bool ABackward) {
  CloseEditor();
  const int count = GetVisibleColumnCount();
  const int next = FFocusedColumn + (ABackward ? -1 : 1);
  if (next >= 0 && next < count)
    SetFocusedColumn(next);
}

TgxPopupBorderStyle TCustomgxTreeList::GetDefaultPopupBorderStyle(TgxEditBorderStyle) {
  return FLookAndFeel != lfStandard ? pbSingle : pbFrame3D;
}

// ===========================================================================
// virtual operations with a body

bool TCustomgxTreeList::HandleSingleClickEdit(int, TgxTreeListNode*, int, int) {
  return false;
}

void TCustomgxTreeList::CancelMouseOperation() {
  switch (FState) {
  case tsColumnSizing:
  case tsBandSizing:
  case tsBandPanelSizing:
  case tsHeaderPanelSizing:
  case tsRowSizing:
  case tsColumnDragging:
  case tsBandDragging:
    SetState(tsNormal);
    Invalidate();
    break;
  case tsBandDown:
    FDownBandIndex = -1;
    FDownBandPushed = false;
    SetState(tsNormal);
    Invalidate();
    break;
  case tsColumnDown:
    FDownColumnIndex = -1;
    FDownColumnPushed = false;
    SetState(tsNormal);
    Invalidate();
    break;
  case tsBandButtonDown:
    FBandButtonPushed = false;
    SetState(tsNormal);
    Invalidate();
    break;
  case tsHeaderButtonDown:
    FHeaderButtonPushed = false;
    SetState(tsNormal);
    Invalidate();
    break;
  case tsDropDownButtonDown:
    FDropDownButtonColumnPushed = false;
    SetState(tsNormal);
    Invalidate();
    break;
  case tsStatusCloseButtonDown:
    FStatusCloseButtonPressed = false;
    SetState(tsNormal);
    Invalidate();
    break;
  default:
    break;
  }
  FreeTooltipWindow();
}

void TCustomgxTreeList::CreateNodeDragImage(TgxTreeListNode*, int) {}

bool TCustomgxTreeList::GetNodeHasChildren(TgxTreeListNode* ANode) {
  return TgxTreeListNodeOwner::GetNodeHasChildren(ANode);
}

void TCustomgxTreeList::DoCollapsed(TgxTreeListNode* ANode) {
  if (OnCollapsed)
    OnCollapsed(this, ANode);
}

void TCustomgxTreeList::DoEdited(TgxTreeListNode* ANode) {
  if (OnEdited)
    OnEdited(this, ANode);
}

void TCustomgxTreeList::DoExpanded(TgxTreeListNode* ANode) {
  if (OnExpanded)
    OnExpanded(this, ANode);
}

void TCustomgxTreeList::DoCollapsing(TgxTreeListNode* ANode, bool& AAllow) {
  if (OnCollapsing)
    OnCollapsing(this, ANode, AAllow);
}

void TCustomgxTreeList::DoEditing(TgxTreeListNode* ANode, bool& AAllow) {
  if (OnEditing)
    OnEditing(this, ANode, AAllow);
}

void TCustomgxTreeList::DoExpanding(TgxTreeListNode* ANode, bool& AAllow) {
  if (OnExpanding)
    OnExpanding(this, ANode, AAllow);
}

void TCustomgxTreeList::DoChangeColumn(TgxTreeListNode* ANode, int AColumn) {
  if (OnChangeColumn)
    OnChangeColumn(this, ANode, AColumn);
}

void TCustomgxTreeList::DoChangeLeftCoord() {
  if (OnChangeLeftCoord)
    OnChangeLeftCoord(this);
}

void TCustomgxTreeList::DoChangeNode(TgxTreeListNode* AOldNode, TgxTreeListNode* ANode) {
  if (OnChangeNode)
    OnChangeNode(this, AOldNode, ANode);
}

void TCustomgxTreeList::DoEditChange(TControl*) {
  if (OnEditChange)
    OnEditChange(this);
}

void TCustomgxTreeList::DoEditValidate(TControl*, std::wstring& AErrorText, bool& AAccept) {
  if (OnEditValidate)
    OnEditValidate(this, AErrorText, AAccept);
}

void TCustomgxTreeList::DeleteColumnValues(TgxTreeListNode* ANode, int AColumn) {
  for (TgxTreeListNode* n = ANode; n; n = n->GetNext()) {
    if (n != ANode && !n->HasAsParent(ANode))
      break;
    if (auto* text = dynamic_cast<TgxTreeListTextNode*>(n); text && AColumn < text->TextCount())
      text->DeleteText(AColumn);
  }
}

// [geometry] GetCellsAreaRect: tree-list-draw-info.cpp

bool TCustomgxTreeList::IsHotTrackCellAt(int, int, int& AActiveIndex, int, TgxTreeListNode*) {
  AActiveIndex = -1;
  return HasEx(aoHotTrack) && false;
}

void TCustomgxTreeList::GetHeaderHotTrack(int, int, int,
                                          TgxTreeListHeaderHotTrack& AHeaderHotTrack) {
  AHeaderHotTrack = hhtNone;
}

void TCustomgxTreeList::UpdateLayout() {
  if (IsUpdateLocked() || IsDestroying())
    return;
  ++FLockUpdate;
  {
    TFinally unlock([this] { --FLockUpdate; });
    DoLayoutChanged();
    if (!FMakeListNodesFlag)
      MakeListNodes();
    UpdateRowCount();
    UpdateScrollBars();
    LayoutRefreshed();
  }
  if (!IsPaintLocked())
    Invalidate();
}

bool TCustomgxTreeList::FocusCollapsingNode(TgxTreeListNode* ANode) {
  SetFocusedNode(ANode, FFocusedColumn, false);
  return true;
}

bool TCustomgxTreeList::IsShowCellButton(TgxTreeListNode* ANode, int) {
  return ShowsButtonsAlways() || ANode == FFocused;
}

void TCustomgxTreeList::GetNodeSortValue(TgxTreeListNode*, int, std::wstring& AValue) {
  AValue.clear();
}

void TCustomgxTreeList::SetTopVisibleNode(TgxTreeListNode* ANode) {
  FTopVisibleNode = ANode;
  if (OnChangeTopVisibleNode)
    OnChangeTopVisibleNode(this);
}

int TCustomgxTreeList::GetColumnTextHeight(TCanvas*, int) {
  return FTextHeight;
}

// [geometry] GetRowLineCount: tree-list-rows.cpp

int TCustomgxTreeList::ColumnCalcLineCount(TgxTreeListNode*, int, const std::wstring&, int, int) {
  return 1;
}

int TCustomgxTreeList::GetMaxColumnTextHeight(TCanvas*) {
  return FTextHeight;
}

// [geometry] GetPreviewLineCount: tree-list-rows.cpp

void TCustomgxTreeList::SetRowHeight(int AValue) {
  if (AValue == FRowHeight)
    return;
  FRowHeight = AValue;
  FRowHeightAssigned = true;
  UpdateLayout();
}

int TCustomgxTreeList::CalcDropPosition(TgxTreeListNode*, POINT) {
  return -1;
}

void TCustomgxTreeList::GetDragCursor(POINT, TCursor& ACursor) {
  ACursor = crNo;
}

void TCustomgxTreeList::DoBeginDragNode(TgxTreeListNode* ANode) {
  if (OnBeginDragNode)
    OnBeginDragNode(this, ANode);
}

void TCustomgxTreeList::DoHotTrackNode(const TgxTreeListHotTrackInfo& AInfo, TCursor& ACursor) {
  if (OnHotTrackNode)
    OnHotTrackNode(this, AInfo, ACursor);
}

void TCustomgxTreeList::DoSelectionChanged(TgxTreeListNode* ANode) {
  if (!IsDestroying() && OnSelectionChanged)
    OnSelectionChanged(this, ANode);
}

void TCustomgxTreeList::BeginSelection() {
  if (FLockSelection++ == 0)
    FPrevSelectedCount = GetSelectedCount();
}

void TCustomgxTreeList::EndSelection() {
  if (--FLockSelection == 0 && GetSelectedCount() != FPrevSelectedCount)
    DoSelectedCountChange();
}

// ===========================================================================
// update locks

void TCustomgxTreeList::BeginUpdate() {
  ++FLockUpdate;
  if (FState == tsNodeDown)
    FlagEditor = true;
  FInplaceColumn = -1;
  FInplaceNode = nullptr;
  SetState(tsNormal);
  if (FInplaceEdit)
    HideInplaceEditor(false);
  ClearListNodes();
  BeginSelection();
}

void TCustomgxTreeList::EndUpdate() {
  --FLockUpdate;
  TFinally end([this] { EndSelection(); });
  UpdateLayout();
}

void TCustomgxTreeList::CancelUpdate() {
  --FLockUpdate;
  EndSelection();
}

void TCustomgxTreeList::EndPaintUpdate() {
  if (--FLockPaintUpdate == 0)
    Invalidate();
}

// ===========================================================================
// the visible rows

bool TCustomgxTreeList::IsListNodesUsable() const {
  return !FListNodes.empty() && !IsDestroying();
}

void TCustomgxTreeList::ClearListNodes() {
  if (FClearListNodesFlag)
    return;
  FMakeListNodesFlag = false;
  FListRealNodes.clear();
  FListNodes.clear();
  FFocusedAbsoluteIndex = -1;
  ResetRowHeights();
}

void TCustomgxTreeList::ResetRowHeights() {
  if (IsClearingNodes() || IsDestroying())
    return;
  for (TgxTreeListNode* n = TopNode(); n; n = n->GetNext())
    n->SetRowHeight(0);
}

void TCustomgxTreeList::MakeListNodes() {
  if (FMakeListNode) {
    if (!FMakeListNodeVisible || !IsListNodesUsable()) {
      FMakeListNodesFlag = true;
      return;
    }
    TgxTreeListNode* node = FMakeListNode;
    if (FNodeDeleteing) {
      auto it = std::lower_bound(FListNodes.begin(), FListNodes.end(), node, LessByNode);
      if (it != FListNodes.end() && it->first == node) {
        const int row = it->second;
        FListNodes.erase(it);
        for (auto& entry : FListNodes)
          if (entry.second >= row)
            --entry.second;
        if (row < int(FListRealNodes.size()))
          FListRealNodes.erase(FListRealNodes.begin() + row);
      }
    } else {
      // The row of the node that follows it in display order.
      int row = int(FListRealNodes.size());
      for (const TgxTreeListNode* n = node; n; n = n->Parent())
        if (const TgxTreeListNode* next = n->GetNextSibling()) {
          auto it = std::lower_bound(FListNodes.begin(), FListNodes.end(), next, LessByNode);
          if (it != FListNodes.end() && it->first == next)
            row = it->second;
          break;
        }
      for (auto& entry : FListNodes)
        if (entry.second >= row)
          ++entry.second;
      FListNodes.insert(std::lower_bound(FListNodes.begin(), FListNodes.end(), node, LessByNode),
                        {node, row});
      FListRealNodes.insert(
          FListRealNodes.begin() + std::min<size_t>(size_t(row), FListRealNodes.size()), node);
    }
    // The last child's row carries the level footers: the sibling that
    // stops being the last one is measured again.
    if (!FNodeDeleteing)
      if (TgxTreeListNode* parent = node->Parent(); parent && parent->Count() > 1 && node->IsLast())
        if (TgxTreeListNode* prev = node->GetPrevSibling())
          prev->SetRowHeight(0);
  } else {
    FListRealNodes.clear();
    FListRealNodes.reserve(size_t(Count()));
    FListNodes.clear();
    for (TgxTreeListNode* n = TopNode(); n; n = TgxTreeListNodeOwner::GetNextVisible(n)) {
      FListNodes.emplace_back(n, int(FListRealNodes.size()));
      FListRealNodes.push_back(n);
    }
    std::sort(FListNodes.begin(), FListNodes.end(), [](const auto& A, const auto& B) {
      return std::less<const TgxTreeListNode*>()(A.first, B.first);
    });
  }
  if (!FClearListNodesFlag && IsRowAutoHeightEnabled())
    ResetRowHeights();
  FMakeListNodesFlag = true;
}

void TCustomgxTreeList::PatchListNodes(TgxTreeListNode* ANode, bool ADeleting) {
  FMakeListNode = ANode;
  FMakeListNodeVisible = FMakeListNodeVisible || IsNodeVisible(ANode);
  FNodeDeleteing = ADeleting;
  TFinally reset([this] {
    FMakeListNode = nullptr;
    FMakeListNodeVisible = false;
  });
  MakeListNodes();
}

int TCustomgxTreeList::GetAbsoluteCount() const {
  if (IsListNodesUsable())
    return int(FListRealNodes.size());
  return TgxTreeListNodeOwner::GetAbsoluteCount();
}

int TCustomgxTreeList::GetAbsoluteIndexOf(const TgxTreeListNode* ANode) const {
  if (!ANode || Count() == 0)
    return -1;
  if (IsListNodesUsable()) {
    auto it = std::lower_bound(FListNodes.begin(), FListNodes.end(), ANode, LessByNode);
    return it != FListNodes.end() && it->first == ANode ? it->second : -1;
  }
  return TgxTreeListNodeOwner::GetAbsoluteIndexOf(ANode);
}

TgxTreeListNode* TCustomgxTreeList::GetNodeAtAbsoluteIndex(int AIndex) const {
  if (AIndex < 0)
    return nullptr;
  if (IsListNodesUsable())
    return AIndex < int(FListRealNodes.size()) ? FListRealNodes[size_t(AIndex)] : nullptr;
  TgxTreeListNode* n = TopNode();
  for (int i = 0; n && i < AIndex; ++i)
    n = TgxTreeListNodeOwner::GetNextVisible(n);
  return n;
}

TgxTreeListNode* TCustomgxTreeList::GetNextVisible(TgxTreeListNode* ANode) const {
  if (ANode && IsListNodesUsable()) {
    const int row = GetAbsoluteIndexOf(ANode);
    if (row >= 0)
      return row + 1 < int(FListRealNodes.size()) ? FListRealNodes[size_t(row + 1)] : nullptr;
  }
  return TgxTreeListNodeOwner::GetNextVisible(ANode);
}

bool TCustomgxTreeList::TryGetPriorListNode(const TgxTreeListNode* ANode,
                                            TgxTreeListNode*& APrior) const {
  APrior = nullptr;
  if (!IsListNodesUsable())
    return false;
  const int row = GetAbsoluteIndexOf(ANode);
  if (row < 0)
    return false;
  APrior = row > 0 ? FListRealNodes[size_t(row - 1)] : nullptr;
  return true;
}

void TCustomgxTreeList::ClearNodes() {
  const bool destroying = IsDestroying();
  if (!destroying)
    BeginUpdate();
  {
    TFinally end([this, destroying] {
      if (!destroying)
        EndUpdate();
    });
    ClearListNodes();
    const bool savedFlag = FClearListNodesFlag;
    FClearListNodesFlag = true;
    TFinally restore([this, savedFlag] { FClearListNodesFlag = savedFlag; });
    if (!destroying)
      ClearSelection();
    ClearNodeReferences();
    FHotTrackInfo = {};
    FreeAllNodes();
    for (TgxTreeListNode* node : FHiddenList)
      delete node;
    FHiddenList.clear();
  }
}

void TCustomgxTreeList::ClearNodeReferences() {
  SetTopVisibleNode(nullptr);
  FFocused = nullptr;
  FInplaceNode = nullptr;
  FSelectionAnchor = nullptr;
  OldFocusedNode = nullptr;
  FDragNode = nullptr;
  FHotTrackInfo.Node = nullptr;
  FTooltipNode = nullptr;
  FInplaceColumn = -1;
  FSelecting = false;
}

void TCustomgxTreeList::NodeAdded(TgxTreeListNode* ANode) {
  CancelEditor();
  if (!FTopVisibleNode)
    SetTopVisibleNode(ANode);
  if (!FFocused)
    FFocused = FTopVisibleNode;
  if (IsUpdateLocked())
    return;
  if (!ComponentState().Contains(csLoading) && !IsDestroying())
    PatchListNodes(ANode, false);
  TgxTreeListNode* around = ANode->GetPrevSibling();
  if (!around)
    around = ANode->Parent();
  InvalidateNode(around ? around : ANode, true);
}

void TCustomgxTreeList::NodeDeleted(TgxTreeListNode* ANode, TgxTreeListNode* APriorNode,
                                    TgxTreeListNode* ANextVisible, bool AWasLast,
                                    bool AWasVisible) {
  if (OnDeletion)
    OnDeletion(this, ANode);
  if (IsClearingNodes())
    return;
  if (FInplaceNode == ANode)
    FInplaceNode = nullptr;
  if (IsNodeSelected(ANode))
    SetNodeSelected(ANode, false);
  if (Count() == 0) {
    if (!IsDestroying() && !FClearListNodesFlag)
      ClearListNodes();
    ClearNodeReferences();
    if (!IsUpdateLocked() && !IsDestroying()) {
      UpdateScrollBars();
      Invalidate();
    }
    return;
  }
  TgxTreeListNode* replacement = APriorNode ? APriorNode : ANextVisible;
  if (FTopVisibleNode == ANode || (FTopVisibleNode && FTopVisibleNode->HasAsParent(ANode)))
    SetTopVisibleNode(replacement);
  if (FFocused == ANode || (FFocused && FFocused->HasAsParent(ANode)))
    FFocused = replacement;
  OldFocusedNode = nullptr;
  FDragNode = nullptr;
  FHotTrackInfo.Node = nullptr;
  if (FTooltipNode == ANode)
    FTooltipNode = nullptr;
  if (FSelectionAnchor == ANode || (FSelectionAnchor && FSelectionAnchor->HasAsParent(ANode)))
    FSelectionAnchor = replacement;
  CancelEditor();
  // A node whose parent is going reports itself hidden, yet its row is in
  // the cache: whatever row the cache holds for the node goes with it, so
  // no row ever names a freed node.
  if (!IsUpdateLocked()) {
    FMakeListNodeVisible = true;
    PatchListNodes(ANode, true);
  }
  // The row before, now the last of its level, carries the level footers.
  if (AWasLast && APriorNode && APriorNode != ANode->Parent())
    APriorNode->SetRowHeight(0);
  if (AWasVisible) {
    TgxTreeListNode* repaint = FTopVisibleNode;
    if (!repaint)
      repaint = FFocused;
    if (!repaint)
      repaint = replacement;
    InvalidateNode(repaint, true);
  }
}

void TCustomgxTreeList::InvalidateNode(TgxTreeListNode* ANode, bool ARecalc) {
  if (!ANode || ANode->Deleting() || IsUpdateLocked() || IsDestroying() || !IsNodeVisible(ANode))
    return;
  if (ARecalc)
    UpdateScrollBars();
  if (HandleAllocated() && !IsPaintLocked())
    Invalidate();
}

// ===========================================================================
// focus and navigation

int TCustomgxTreeList::GetVisibleColumnCount() {
  int count = 0;
  const int bands = GetVisibleBandCount();
  for (int band = 0; band < bands; ++band)
    for (int row = 0; row < GetHeaderRowCount(band); ++row)
      count += GetHeaderColCount(band, row);
  return count;
}

int TCustomgxTreeList::GetFocusedAbsoluteIndex(int AFocusedIndex) {
  if (AFocusedIndex < 0)
    return -1;
  const int bands = GetVisibleBandCount();
  int rows = 0;
  for (int band = 0; band < bands; ++band)
    rows = std::max(rows, GetHeaderRowCount(band));
  int position = 0;
  for (int row = 0; row < rows; ++row)
    for (int band = 0; band < bands; ++band) {
      if (row >= GetHeaderRowCount(band))
        continue;
      const int cols = GetHeaderColCount(band, row);
      if (AFocusedIndex < position + cols)
        return GetHeaderAbsoluteIndex(band, row, AFocusedIndex - position);
      position += cols;
    }
  return -1;
}

int TCustomgxTreeList::GetFocusedVisibleIndexOrNone(int AAbsoluteIndex) {
  const int count = GetVisibleColumnCount();
  for (int i = 0; i < count; ++i)
    if (GetFocusedAbsoluteIndex(i) == AAbsoluteIndex)
      return i;
  return -1;
}

int TCustomgxTreeList::GetFocusedVisibleIndex(int AAbsoluteIndex) {
  return std::max(0, GetFocusedVisibleIndexOrNone(AAbsoluteIndex));
}

void TCustomgxTreeList::SetFocusedColumn(int AValue) {
  if (FFocused)
    SetFocusedNode(FFocused, AValue, true);
  else
    FFocusedColumn = AValue;
}

void TCustomgxTreeList::SetFocusedNode(TgxTreeListNode* ANode, int AVisibleColumn,
                                       bool AMakeVisible) {
  if (!ANode)
    return;
  HideEditor();
  FFocusedAbsoluteIndex = -1;
  TgxTreeListNode* oldNode = FFocused;
  const int oldColumn = FFocusedColumn;
  if (IsUpdateLocked()) {
    FFocused = ANode;
    FFocusedColumn = AVisibleColumn;
    return;
  }
  const bool rowSelect = IsRowSelect();
  if (ANode != oldNode || (!rowSelect && AVisibleColumn != oldColumn)) {
    if (ANode != oldNode || rowSelect) {
      if (!rowSelect) {
        FFocusedColumn = AVisibleColumn;
        MakeColumnVisible(GetFocusedAbsoluteIndex(AVisibleColumn));
      }
      InvalidateNode(oldNode, false);
      FFocused = ANode;
      InvalidateNode(ANode, false);
      FNewItemRowActive = false;
    } else {
      MakeColumnVisible(GetFocusedAbsoluteIndex(AVisibleColumn));
      FFocusedColumn = AVisibleColumn;
      InvalidateNode(ANode, false);
    }
  }
  if (AMakeVisible && FFocused)
    MakeNodeVisible(FFocused);
  if (FFocused != oldNode)
    DoChangeNode(oldNode, FFocused);
  if (FFocusedColumn != oldColumn)
    DoChangeColumn(FFocused, FFocusedColumn);
}

void TCustomgxTreeList::SetFocusedNumber(int AIndex) {
  if (Count() == 0 || AIndex == FocusedNumber())
    return;
  AIndex = std::clamp(AIndex, 0, std::max(0, AbsoluteCount() - 1));
  SetFocusedNode(GetNodeAtAbsoluteIndex(AIndex), FFocusedColumn, true);
}

void TCustomgxTreeList::SetTopIndex(int AValue) {
  const int count = AbsoluteCount();
  if (count == 0)
    return;
  const int top = std::clamp(AValue, 0, std::max(0, count - std::max(1, FVisibleRowCount)));
  TgxTreeListNode* node = GetNodeAtAbsoluteIndex(top);
  if (node && node != FTopVisibleNode) {
    const int old = std::max(0, TopIndex());
    const int distance = GetScrollDistance(old - top);
    SetTopVisibleNode(node);
    UpdateScrollBars();
    if (CanScrollContent() && std::abs(top - old) <= FRowCount)
      ScrollContentVert(distance);
    else
      Invalidate();
  }
}

TgxTreeListNode* TCustomgxTreeList::GetStepNode(TgxTreeListNode* ANode, int AKind,
                                                bool AGotoHidden) {
  if (!ANode)
    return nullptr;
  switch (AKind) {
  case 0:
    return TopNode();
  case 1:
    return ANode->GetPriorNode();
  case 2:
    return AGotoHidden ? ANode->GetNext() : ANode->GetNextNode();
  case 3: {
    TgxTreeListNode* last = LastNode();
    if (AGotoHidden)
      while (last && last->Count() > 0)
        last = last->GetLastChild();
    return last;
  }
  default:
    return nullptr;
  }
}

TgxTreeListNode* TCustomgxTreeList::StepFocus(int AKind, bool AGotoHidden) {
  TgxTreeListNode* old = FFocused;
  TgxTreeListNode* node = GetStepNode(old, AKind, AGotoHidden);
  if (!node)
    return nullptr;
  const bool moveSelection =
      IsMultiSelect() && GetSelectedCount() == 1 && GetSelectedItem(0) == old;
  SetFocusedNode(node, FFocusedColumn, true);
  if (moveSelection) {
    ClearSelection();
    node->SetSelected(true);
  }
  return node;
}

bool TCustomgxTreeList::IsActive() {
  if (!HandleAllocated())
    return false;
  HWND focus = GetFocus();
  if (focus && (focus == Handle() || IsChild(Handle(), focus)))
    return true;
  return FState == tsEditing && FInplaceEdit && FInplaceEdit->IsFocused();
}

bool TCustomgxTreeList::IsBOF() {
  return Count() == 0 || FFocused == TopNode();
}

bool TCustomgxTreeList::IsEOF() {
  return Count() == 0 || FFocused == LastNode();
}

void TCustomgxTreeList::MakeNodeVisible(TgxTreeListNode* ANode) {
  if (!ANode)
    return;
  bool expanded = false;
  if (!IsNodeVisible(ANode)) {
    BeginUpdate();
    TFinally end([this] { EndUpdate(); });
    for (TgxTreeListNode* p = ANode->Parent(); p; p = p->Parent())
      if (!p->Expanded()) {
        p->SetExpanded(true);
        expanded = true;
      }
  }
  UpdateRowCount();
  const int index = GetAbsoluteIndexOf(ANode);
  const int top = TopIndex();
  if (index < 0)
    return;
  if (top < 0 || index < top)
    SetTopIndex(index);
  else if (index > top + FRowCount - 1)
    SetTopIndex(GetTopIndexForLastRow(index));
  else if (expanded)
    Invalidate();
}

int TCustomgxTreeList::BandLeft(int AVisibleIndex) {
  int left = GetBandAreaOffset();
  for (int i = 0; i < AVisibleIndex; ++i)
    left += GetAbsoluteBandWidth(GetBandAbsoluteIndex(i));
  return left;
}

void TCustomgxTreeList::SetLeftCoord(int AValue) {
  if (AValue < 0)
    AValue = 0;
  if (AValue == FLeftCoord)
    return;
  const int distance = FLeftCoord - AValue;
  FLeftCoord = AValue;
  UpdateScrollBars();
  const RECT area = GetScrollAreaRect();
  if (CanScrollContent() && std::abs(distance) <= int(area.right - area.left))
    ScrollContentHorz(distance);
  else
    Invalidate();
  DoChangeLeftCoord();
}

void TCustomgxTreeList::MakeBandVisible(int AVisibleIndex) {
  const int bands = GetVisibleBandCount();
  if (bands < 2 || AVisibleIndex < 0 || AVisibleIndex >= bands)
    return;
  if (AVisibleIndex == GetLeftFixedBand() || AVisibleIndex == GetRightFixedBand())
    return;
  const int left = BandLeft(AVisibleIndex);
  const int width = GetAbsoluteBandWidth(GetBandAbsoluteIndex(AVisibleIndex));
  const int area = int(ClientRect().right) - GetIndicatorWidth();
  if (left >= FLeftCoord && left + width <= FLeftCoord + area)
    return;
  SetLeftCoord(left >= FLeftCoord ? std::min(left, left + width - area) : left);
}

void TCustomgxTreeList::MakeColumnVisible(int AAbsoluteIndex) {
  if (AAbsoluteIndex < 0 || GetVisibleBandCount() < 1)
    return;
  const int band = GetBandVisibleIndex(GetColumnBandIndex(AAbsoluteIndex));
  if (band < 0 || band == GetLeftFixedBand() || band == GetRightFixedBand())
    return;
  int left = BandLeft(band);
  const int row = GetColumnRowIndex(AAbsoluteIndex);
  for (int col = 0; col < GetColumnColIndex(AAbsoluteIndex); ++col)
    left += GetColumnWidth(GetHeaderAbsoluteIndex(band, row, col));
  const int width = GetColumnWidth(AAbsoluteIndex);
  const int area = int(ClientRect().right) - GetIndicatorWidth();
  if (left >= FLeftCoord && left + width <= FLeftCoord + area)
    return;
  SetLeftCoord(left >= FLeftCoord ? std::min(left, left + width - area) : left);
}

// [geometry] GetHitInfo: tree-list-draw-info.cpp

void TCustomgxTreeList::Resize() {
  TCustomgxContainer::Resize();
  UpdateRowCount();
}

void TCustomgxTreeList::AdjustColumnsWidth() {
  if (Has(aoAutoWidth))
    return;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  FOptions |= OptionBit(aoAutoWidth);
  TFinally off([this] { FOptions &= ~OptionBit(aoAutoWidth); });
  RefreshBandLists(true);
  StabilizeAutoWidth();
}

void TCustomgxTreeList::StabilizeAutoWidth() {
  if (IsBandHeaderWidth() && GetVisibleColumnCount() > 0 && GetVisibleBandCount() == 1) {
    const int column = GetFocusedAbsoluteIndex(0);
    SetColumnWidth(column, GetColumnWidth(column));
  } else if (GetBandCount() > 0) {
    SetBandWidth(0, GetAbsoluteBandWidth(GetBandAbsoluteIndex(0)));
  }
}

// ===========================================================================
// the editor

void TCustomgxTreeList::SetState(TgxTreeListState AValue) {
  FState = AValue;
  if (AValue == tsEditing) {
    if (FInplaceEdit)
      FInplaceEdit->Deselect();
    FSearching = false;
  }
}

bool TCustomgxTreeList::IsEditorActive() {
  return FState == tsEditing && FLockUpdate == 0 && HandleAllocated();
}

TgxInplaceEdit* TCustomgxTreeList::CreateTextEditor(int) {
  FInplaceEdit = new TgxInplaceEdit(this);
  return FInplaceEdit;
}

void TCustomgxTreeList::GetEditingText(std::wstring& AText) {
  AText = FState == tsEditing && FInplaceEdit ? FInplaceEdit->GetEditingText() : std::wstring();
}

void TCustomgxTreeList::SetEditingText(const std::wstring& AText) {
  if (FState == tsEditing && FInplaceEdit)
    FInplaceEdit->SetEditingText(AText);
}

void TCustomgxTreeList::InitEditProperties(TgxInplaceEdit* AEditor) {
  AEditor->SetCloseFlag(false);
  COLORREF color = ColorToRGB(GetEditorColor());
  if (HDC screen = GetDC(nullptr)) {
    color = GetNearestColor(screen, color);
    ReleaseDC(nullptr, screen);
  }
  AEditor->SetColor(TColor(color));
  AEditor->Font().Assign(&GetEditFont());
  AEditor->SetOffsetSize(RECT{1, 0, 0, 0});
}

void TCustomgxTreeList::GetNodeEditValue(TgxTreeListNode*, TgxInplaceEdit*, TgxVariant& AValue) {
  AValue = std::wstring();
}

void TCustomgxTreeList::SetNodeEditValue(TgxTreeListNode*, int, TgxVariant& AValue,
                                         TgxInplaceEdit*) {
  AValue = std::wstring();
}

// [geometry] GetEditRect: tree-list-draw-info.cpp

void TCustomgxTreeList::ShowInplaceEditor(bool AActivate) {
  if (!IsEditorActive())
    return;
  TgxInplaceEdit* editor = FindInplaceEditor(FFocusedColumn);
  const int column = IsRowSelect() || FFocusedColumn < 0 ? 0 : FFocusedColumn;
  bool initialise = true;
  if (editor) {
    if (FInplaceNode == FFocused && FInplaceColumn == column && FInplaceColumn >= 0)
      initialise = false;
    else if (FInplaceNode || FInplaceColumn >= 0) {
      HideInplaceEditor(false);
      SetState(tsEditing);
    }
  } else {
    editor = CreateTextEditor(FFocusedColumn);
  }
  if (initialise) {
    FInplaceNode = FFocused;
    FInplaceColumn = column;
    FInplaceColumnIndex = FInplaceColumn;
    editor->SetParent(this);
    if (FInplaceNode) {
      BeginInitEdit();
      TFinally end([this] { EndInitEdit(); });
      InitEditProperties(editor);
      TgxVariant value;
      GetNodeEditValue(FInplaceNode, editor, value);
      editor->SetEditValue(value);
      editor->SetModified(false);
      if (IsContainerReadOnly())
        editor->SetReadOnly(true);
      editor->SetActive(true);
    }
  }
  const RECT rect = GetEditRect(FFocused, FFocusedColumn);
  if (IsEditorActive()) {
    if (!AActivate)
      editor->LockActivate();
    TFinally unlock([editor, AActivate] {
      if (!AActivate)
        editor->UnLockActivate();
    });
    editor->Move(rect);
  } else {
    FInplaceColumn = -1;
    FInplaceNode = nullptr;
  }
}

void TCustomgxTreeList::HideInplaceEditor(bool AFocusControl) {
  TgxInplaceEdit* editor = FInplaceEdit;
  if (!editor)
    return;
  editor->SetCloseFlag(true);
  const bool hadFocus = editor->HandleAllocated() && GetFocus() == editor->Handle();
  TFinally hide([this, editor, AFocusControl, hadFocus] {
    FInplaceColumn = -1;
    FInplaceNode = nullptr;
    editor->Hide();
    if ((AFocusControl || hadFocus) && HandleAllocated() && IsWindowVisible(Handle()) &&
        !IsDestroying())
      ::SetFocus(Handle());
  });
  if (!editor->ComponentState().Contains(csDestroying) && FInplaceNode && FInplaceColumn >= 0) {
    TgxTreeListNode* node = FInplaceNode;
    if (editor->Modified()) {
      TgxVariant value;
      editor->GetEditValue(value);
      SetNodeEditValue(node, FInplaceColumn, value, editor);
    }
    DoEdited(node);
  }
}

void TCustomgxTreeList::ShowEditor() {
  if (!IsEditing() || IsRowSelect() || !FFocused)
    return;
  bool allow = true;
  if (IsNewItemRowActive())
    DoNewItemRowEditing(allow);
  else
    DoEditing(FFocused, allow);
  if (!allow) {
    FInplaceColumn = -1;
    FInplaceNode = nullptr;
    return;
  }
  if (FState != tsNormal || FFocusedColumn < 0 || GetVisibleColumnCount() < 1)
    return;
  MakeColumnVisible(GetFocusedAbsoluteIndex(FFocusedColumn));
  MakeNodeVisible(FFocused);
  SetState(tsEditing);
  ShowInplaceEditor(true);
}

void TCustomgxTreeList::ShowEditorChar(wchar_t ACh) {
  ShowEditor();
  if (FState != tsEditing || !FInplaceEdit || !FInplaceEdit->HandleAllocated())
    return;
  HWND window = FInplaceEdit->Handle();
  if (ACh == 22)
    PostMessageW(window, WM_PASTE, 0, 0);
  else if (ACh == 24)
    PostMessageW(window, WM_CUT, 0, 0);
  else
    PostMessageW(window, WM_CHAR, WPARAM(ACh), 0);
}

void TCustomgxTreeList::ShowEditorMouse(int AX, int AY) {
  ShowEditor();
  if (FState == tsEditing && FInplaceEdit)
    FInplaceEdit->MouseClick(AX, AY);
}

void TCustomgxTreeList::ShowButtonEditorMouse(int AX, int AY) {
  ShowEditor();
  if (FState == tsEditing && FInplaceEdit)
    FInplaceEdit->MouseButtonClick(AX, AY);
}

void TCustomgxTreeList::CloseEditor() {
  if (FState != tsEditing)
    return;
  if (FInplaceEdit && !IsDestroying())
    FInplaceEdit->ValidateEdit();
  SetState(tsNormal);
  HideInplaceEditor(true);
}

void TCustomgxTreeList::HideEditor() {
  if (FState != tsEditing)
    return;
  if (FInplaceEdit && !IsDestroying())
    FInplaceEdit->ValidateEdit();
  SetState(tsNormal);
  HideInplaceEditor(false);
}

void TCustomgxTreeList::CancelEditor() {
  FInplaceColumn = -1;
  FInplaceNode = nullptr;
  if (IsDestroying()) {
    FState = tsNormal;
    return;
  }
  CloseEditor();
}

void TCustomgxTreeList::EditorKillFocus(HWND AFocusedWnd) {
  if (!HandleAllocated() || AFocusedWnd == Handle() || IsChild(Handle(), AFocusedWnd))
    return;
  PostMessageW(Handle(), WM_GX_TREELISTEXIT, 0, 0);
}

void TCustomgxTreeList::DoExit() {
  TCustomgxContainer::DoExit();
  // The focus going into the control's own editor does not leave it.
  if (FFocusLeavingFor && HandleAllocated() && IsChild(Handle(), FFocusLeavingFor))
    return;
  HideEditor();
}

void TCustomgxTreeList::FreeTooltipWindow() {
  delete FTooltipWindow;
  FTooltipWindow = nullptr;
  FTooltipNode = nullptr;
  FTooltipColumn = -1;
}

// ===========================================================================
// options and appearance

void TCustomgxTreeList::SetOptions(TgxTreeListOptions AValue) {
  if (AValue == FOptions)
    return;
  const TgxTreeListOptions old = FOptions;
  FOptions = AValue;
  if ((old ^ AValue) & (OptionBit(aoRowSelect) | OptionBit(aoEditing)))
    HideEditor();
  if (((old ^ AValue) & OptionBit(aoMultiSelect)) && !(AValue & OptionBit(aoMultiSelect)))
    ClearSelection();
  UpdateLayout();
}

void TCustomgxTreeList::SetOptionsEx(TgxTreeListOptionsEx AValue) {
  if (AValue == FOptionsEx)
    return;
  FOptionsEx = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetLookAndFeel(TgxLookAndFeel AValue) {
  if (AValue == FLookAndFeel)
    return;
  FLookAndFeel = AValue;
  SetScrollBarStyle(AValue == lfUltraFlat ? ssHotTrack : ssRegular);
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomgxTreeList::SetScrollBars(TScrollStyle AValue) {
  if (AValue == FScrollBars)
    return;
  FScrollBars = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetBorderStyle(TBorderStyle AValue) {
  if (AValue == FBorderStyle)
    return;
  FBorderStyle = AValue;
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomgxTreeList::SetPreviewLines(int AValue) {
  if (AValue == FPreviewLines)
    return;
  FPreviewLines = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetMaxRowLineCount(int AValue) {
  if (AValue == FMaxRowLineCount)
    return;
  FMaxRowLineCount = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetIndicatorWidth(int AValue) {
  if (AValue == FIndicatorWidth)
    return;
  FIndicatorWidth = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetTreeLineStyle(TgxTreeLineStyle AValue) {
  if (AValue == FTreeLineStyle)
    return;
  FTreeLineStyle = AValue;
  Invalidate();
}

void TCustomgxTreeList::SetPaintStyle(TgxTreeListPaintStyle AValue) {
  if (AValue == FPaintStyle)
    return;
  FPaintStyle = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetShowNewItemRow(bool AValue) {
  SetFlag(FShowNewItemRow, AValue);
}

void TCustomgxTreeList::SetNewItemRowHeight(int AValue) {
  if (AValue == FNewItemRowHeight)
    return;
  FNewItemRowHeight = AValue;
  UpdateLayout();
}

void TCustomgxTreeList::SetShowRowFooter(bool AValue) {
  SetFlag(FShowRowFooter, AValue);
}
