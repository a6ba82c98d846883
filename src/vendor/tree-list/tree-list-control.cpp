#include "tree-list-control.h"

#include "rtl-exceptions.h"

#include <algorithm>
#include <tuple>

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

// Every node of a subtree, children before their parent.
template <typename TVisit> void VisitPostOrder(TgxTreeListNode* ANode, const TVisit& AVisit) {
  for (int i = 0; i < ANode->Count(); ++i)
    VisitPostOrder(ANode->Items(i), AVisit);
  AVisit(ANode);
}

SIZE TextSize(HDC ADC, const wchar_t* AText) {
  SIZE size{};
  GetTextExtentPoint32W(ADC, AText, int(wcslen(AText)), &size);
  return size;
}

} // namespace

// ===========================================================================
// construction

TCustomgxTreeListControl::TCustomgxTreeListControl(TComponent* AOwner) : TCustomgxTreeList(AOwner) {
  // The first band comes while the collection knows no tree list, so that
  // nobody hears of it.
  FBands = std::make_unique<TgxTreeListBands>(nullptr);
  FBands->Add();
  FBands->FTreeList = this;
}

TCustomgxTreeListControl::~TCustomgxTreeListControl() {
  FDestroying = true;
  CancelEditor();
  if (HandleAllocated())
    DestroyHandle();
  SetParent(nullptr);
  delete FDesigner;
  FDesigner = nullptr;
  DropLayoutCaches();
  // The editors this layer made go while the control is still whole.
  for (TgxInplaceEdit* editor : FEditors)
    if (editor != FInplaceEdit)
      TComponent::Free(editor);
  FEditors.clear();
  DestroyColumns();
  FBandsDestroying = true;
  FBands.reset();
}

TgxTreeListNode* TCustomgxTreeListControl::CreateNode() {
  return FDefaultNodeClass ? FDefaultNodeClass(this) : new TgxTreeListTextNode(this);
}

void TCustomgxTreeListControl::CreateWnd() {
  TCustomgxTreeList::CreateWnd();
  if (FNeedToApplyBestFit)
    ApplyBestFit(nullptr);
}

void TCustomgxTreeListControl::FontChanged() {
  TCustomgxTreeList::FontChanged();
  if (IsDestroying() || !FBands)
    return;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  for (TgxTreeListColumn* column : FColumns)
    column->RestoreDefaultFont();
}

void TCustomgxTreeListControl::Loaded() {
  TCustomgxTreeList::Loaded();
  RefreshRowIndexes();
  RefreshSortedColumns();
  LoadLayout();
}

// ===========================================================================
// band and header row counts

void TCustomgxTreeListControl::SetBands(const TgxTreeListBands& AValue) {
  FBands->Assign(&AValue);
}

void TCustomgxTreeListControl::SetBandRowCountProperty(int AValue) {
  AValue = std::min(std::max(1, AValue), FBandMaxRowCount);
  if (AValue == FBandRowCount)
    return;
  FBandRowCount = AValue;
  BandLayoutChanged();
}

void TCustomgxTreeListControl::SetBandMaxRowCount(int AValue) {
  FBandMaxRowCount = std::max(1, AValue);
  SetBandRowCountProperty(FBandRowCount);
}

void TCustomgxTreeListControl::SetHeaderPanelRowCountProperty(int AValue) {
  AValue = std::min(std::max(1, AValue), FHeaderPanelMaxRowCount);
  if (AValue == FHeaderPanelRowCount)
    return;
  // A count set by hand ends the automatic header height.
  if (!FSetAutoHeaderPanelRowCount)
    ClearAutoHeaderPanelHeight();
  FHeaderPanelRowCount = AValue;
  if (AValue > 1)
    FDefaultLayout = false;
  RefreshRowIndexes();
  HeaderChanged();
}

void TCustomgxTreeListControl::SetHeaderPanelMaxRowCount(int AValue) {
  FHeaderPanelMaxRowCount = std::max(1, AValue);
  SetHeaderPanelRowCountProperty(FHeaderPanelRowCount);
}

void TCustomgxTreeListControl::SetHeaderMinRowCount(int AValue) {
  AValue = std::max(1, AValue);
  if (AValue == FHeaderMinRowCount)
    return;
  FHeaderMinRowCount = AValue;
  HeaderChanged();
}

int TCustomgxTreeListControl::GetHeaderMinRowCount() {
  return std::max(FHeaderMinRowCount, TCustomgxTreeList::GetHeaderMinRowCount());
}

bool TCustomgxTreeListControl::IsBandHeaderWidth() {
  return FDefaultLayout || TCustomgxTreeList::IsBandHeaderWidth();
}

void TCustomgxTreeListControl::SetDefaultLayout(bool AValue) {
  FDefaultLayout = AValue;
  if (!AValue)
    return;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  SetShowBands(false);
  SetHeaderPanelRowCountProperty(1);
  while (FBands->Count() > 1)
    delete FBands->Items(FBands->Count() - 1);
  if (FBands->Count() == 0)
    FBands->Add();
  FBands->Items(0)->SetVisible(true);
  for (TgxTreeListColumn* column : FColumns)
    column->SetBandIndex(0);
  FDefaultLayout = true;
}

void TCustomgxTreeListControl::BandsChanged() {
  BandLayoutChanged();
}

void TCustomgxTreeListControl::BandLayoutChanged() {
  if (!IsAutoHeaderPanelHeight()) {
    UpdateLayout();
    return;
  }
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  HeaderPanelBestFit();
}

void TCustomgxTreeListControl::HeaderPanelBestFit() {
  int row = -1;
  for (TgxTreeListColumn* column : FColumns)
    if (column->FVisible && column->FBandIndex >= 0 && column->FBandIndex < FBands->Count() &&
        FBands->Items(column->FBandIndex)->Visible())
      row = std::max(row, column->FStoredRowIndex);
  if (row < 0)
    return;
  FSetAutoHeaderPanelRowCount = true;
  TFinally reset([this] { FSetAutoHeaderPanelRowCount = false; });
  SetHeaderPanelRowCountProperty(row + 1);
}

// ===========================================================================
// columns

TgxTreeListColumn* TCustomgxTreeListControl::Columns(int AIndex) const {
  if (AIndex < 0 || AIndex >= int(FColumns.size()))
    throw EListError("List index out of bounds (" + std::to_string(AIndex) + ")");
  return FColumns[AIndex];
}

TgxTreeListColumn* TCustomgxTreeListControl::CreateColumn(TgxTreeListColumnClass AColumnClass) {
  return CreateColumnEx(AColumnClass, this);
}

TgxTreeListColumn* TCustomgxTreeListControl::CreateColumnEx(TgxTreeListColumnClass AColumnClass,
                                                            TComponent* AOwner) {
  TgxTreeListColumn* column = (AColumnClass ? AColumnClass : &TgxTreeListColumn::Make)(AOwner);
  if (!Name().empty()) {
    // The first free name in the owner: a taken one raises, the next
    // number is tried.
    for (int number = ColumnCount() + 1;; ++number) {
      try {
        column->SetName(Name() + L"Column" + std::to_wstring(number));
        break;
      } catch (const EComponentError&) {
      }
    }
  }
  column->SetTreeList(this);
  return column;
}

TgxTreeListColumn* TCustomgxTreeListControl::ColumnByName(const std::wstring& AName) const {
  for (TgxTreeListColumn* column : FColumns)
    if (CompareStringOrdinal(column->Name().c_str(), int(column->Name().size()), AName.c_str(),
                             int(AName.size()), TRUE) == CSTR_EQUAL)
      return column;
  return nullptr;
}

void TCustomgxTreeListControl::DestroyColumns() {
  while (!FColumns.empty()) {
    TgxTreeListColumn* column = FColumns.back();
    RemoveColumn(column);
    TComponent::Free(column);
  }
}

void TCustomgxTreeListControl::AssignColumns(TCustomgxTreeListControl* ATreeListControl) {
  if (!ATreeListControl || ATreeListControl == this)
    return;
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  TComponent* owner =
      FColumns.empty() || !FColumns.front()->Owner() ? this : FColumns.front()->Owner();
  DestroyColumns();
  for (TgxTreeListColumn* source : ATreeListControl->FColumns) {
    TgxTreeListColumn* column = CreateColumnEx(source->ColumnClass(), owner);
    column->Assign(source);
    column->SetName(source->Name());
  }
}

void TCustomgxTreeListControl::AddColumn(TgxTreeListColumn* AColumn) {
  FColumns.push_back(AColumn);
  AColumn->FTreeList = this;
  AColumn->Changed(true);
}

void TCustomgxTreeListControl::RemoveColumn(TgxTreeListColumn* AColumn) {
  AColumn->FTreeList = nullptr;
  // The editors call their column back: none may call a column that left.
  for (TgxInplaceEdit* editor : FEditors) {
    editor->OnChange = nullptr;
    editor->OnCustomDraw = nullptr;
    editor->OnValidate = nullptr;
  }
  FColumns.erase(std::remove(FColumns.begin(), FColumns.end(), AColumn), FColumns.end());
  FSortedColumns.erase(std::remove(FSortedColumns.begin(), FSortedColumns.end(), AColumn),
                       FSortedColumns.end());
  if (!IsDestroying())
    ColumnChanged(nullptr);
}

void TCustomgxTreeListControl::ColumnChanged(TgxTreeListColumn* AColumn) {
  if (IsLoading() || IsDestroying())
    return;
  if (AColumn)
    AColumn->RefreshDefaultWidth();
  if (FLockRefreshRowIndexes == 0)
    RefreshRowIndexes();
  UpdateLayout();
}

void TCustomgxTreeListControl::MoveColumnTexts(int AFrom, int ATo) {
  auto move = [AFrom, ATo](TgxTreeListNode* ANode) {
    auto* node = dynamic_cast<TgxTreeListTextNode*>(ANode);
    if (!node)
      return;
    // Short lists are padded first so that both places exist.
    const int count = std::max({node->TextCount(), AFrom + 1, ATo + 1});
    std::vector<std::wstring> texts(count);
    for (int i = 0; i < count; ++i)
      texts[i] = node->Text(i);
    std::wstring moved = std::move(texts[AFrom]);
    texts.erase(texts.begin() + AFrom);
    texts.insert(texts.begin() + ATo, std::move(moved));
    for (int i = 0; i < count; ++i)
      node->SetText(i, texts[i]);
  };
  for (int i = 0; i < Count(); ++i)
    VisitPostOrder(Items(i), move);
  for (TgxTreeListNode* node : FHiddenList)
    VisitPostOrder(node, move);
}

void TCustomgxTreeListControl::DeleteColumnTexts(int AColumn) {
  if (AColumn < 0)
    return;
  auto drop = [AColumn](TgxTreeListNode* ANode) {
    if (auto* node = dynamic_cast<TgxTreeListTextNode*>(ANode))
      node->DeleteText(AColumn);
  };
  for (int i = 0; i < Count(); ++i)
    VisitPostOrder(Items(i), drop);
  for (TgxTreeListNode* node : FHiddenList)
    VisitPostOrder(node, drop);
}

int TCustomgxTreeListControl::GetAbsoluteColumnIndex(int AVisibleIndex) const {
  int visible = -1;
  for (int i = 0; i < ColumnCount(); ++i)
    if (FColumns[i]->FVisible && ++visible == AVisibleIndex)
      return i;
  return -1;
}

int TCustomgxTreeListControl::GetVisibleColumnIndex(int AAbsoluteIndex) const {
  if (AAbsoluteIndex < 0 || AAbsoluteIndex >= ColumnCount())
    return -1;
  int visible = 0;
  for (int i = 0; i <= AAbsoluteIndex; ++i)
    if (FColumns[i]->FVisible)
      ++visible;
  return visible - 1;
}

int TCustomgxTreeListControl::VisibleColumnCount() const {
  return int(std::count_if(FColumns.begin(), FColumns.end(),
                           [](const TgxTreeListColumn* AColumn) { return AColumn->FVisible; }));
}

std::wstring TCustomgxTreeListControl::GetDisplayValue(TgxTreeListNode* ANode, int AAbsoluteIndex) {
  TgxTreeListColumn* column = Columns(AAbsoluteIndex);
  std::wstring text;
  column->GetNodeText(ANode, text);
  return column->GetDisplayValue(ANode, text);
}

void TCustomgxTreeListControl::RefreshDefaultColumnsWidths() {
  for (TgxTreeListColumn* column : FColumns)
    column->RefreshDefaultWidth();
}

void TCustomgxTreeListControl::RestoreColumnsDefaults() {
  BeginUpdate();
  TFinally end([this] { EndUpdate(); });
  for (TgxTreeListColumn* column : FColumns)
    column->RestoreDefaults();
}

TgxTreeListColumn* TCustomgxTreeListControl::ColumnOfHit(int AX, int AY, TgxTreeListHitTest AFirst,
                                                         TgxTreeListHitTest ALast) {
  const TgxTreeListHitInfo info = GetHitInfo(POINT{AX, AY});
  if (info.hitType < AFirst || info.hitType > ALast || info.Column < 0 ||
      info.Column >= ColumnCount())
    return nullptr;
  return FColumns[info.Column];
}

TgxTreeListColumn* TCustomgxTreeListControl::GetColumnAt(int AX, int AY) {
  return ColumnOfHit(AX, AY, htColumn, htLabel);
}

TgxTreeListColumn* TCustomgxTreeListControl::GetHeaderColumnAt(int AX, int AY) {
  return ColumnOfHit(AX, AY, htColumn, htColumnEdge);
}

TgxTreeListColumn* TCustomgxTreeListControl::GetFooterColumnAt(int AX, int AY) {
  return ColumnOfHit(AX, AY, htSummaryFooter, htSummaryFooter);
}

TgxTreeListColumn* TCustomgxTreeListControl::GetNodeFooterColumnAt(int AX, int AY) {
  return ColumnOfHit(AX, AY, htSummaryNodeFooter, htSummaryNodeFooter);
}

TgxTreeListBand* TCustomgxTreeListControl::GetBandAt(int AX, int AY) {
  const TgxTreeListHitInfo info = GetHitInfo(POINT{AX, AY});
  if (info.hitType != htBand && info.hitType != htBandEdge)
    return nullptr;
  return FBands->GetVisibleItem(info.Band);
}

TgxTreeListColumn* TCustomgxTreeListControl::FocusedColumnObject() {
  const int column = GetFocusedAbsoluteIndex(FFocusedColumn);
  return column >= 0 && column < ColumnCount() ? FColumns[column] : nullptr;
}

// ===========================================================================
// sorting

void TCustomgxTreeListControl::EndSorting() {
  if (--FLockSorting == 0)
    RefreshSorting();
}

TgxTreeListColumn* TCustomgxTreeListControl::SortedColumns(int AIndex) const {
  if (AIndex < 0 || AIndex >= SortedColumnCount())
    throw EListError("List index out of bounds (" + std::to_string(AIndex) + ")");
  return FSortedColumns[AIndex];
}

void TCustomgxTreeListControl::AfterColumnSorted(TgxTreeListColumn* AColumn) {
  if (AColumn->FSorted != csNone &&
      std::find(FSortedColumns.begin(), FSortedColumns.end(), AColumn) == FSortedColumns.end())
    FSortedColumns.push_back(AColumn);
}

void TCustomgxTreeListControl::ClearColumnsSorted() {
  FSortedColumns.clear();
}

void TCustomgxTreeListControl::RefreshSortedColumns() {
  FSortedColumns.clear();
  for (TgxTreeListColumn* column : FColumns)
    AfterColumnSorted(column);
  std::stable_sort(FSortedColumns.begin(), FSortedColumns.end(),
                   [](const TgxTreeListColumn* A, const TgxTreeListColumn* B) {
                     return A->FSortedOrder < B->FSortedOrder;
                   });
}

bool TCustomgxTreeListControl::IsSortedColumnDown(int AIndex) {
  return SortedColumns(AIndex)->Sorted() == csDown;
}

int TCustomgxTreeListControl::GetSortedColumnIndex(int AIndex) {
  return SortedColumns(AIndex)->GetIndex();
}

void TCustomgxTreeListControl::ToggleColumnSort(TgxTreeListColumn* AColumn) {
  bool allow = true;
  if (OnColumnSorting)
    OnColumnSorting(this, AColumn, allow);
  if (!allow)
    return;
  if (FlagClearSort)
    AColumn->SetSorted(csNone);
  else
    AColumn->SetSorted(AColumn->Sorted() == csUp ? csDown : csUp);
}

// ===========================================================================
// the caches

void TCustomgxTreeListControl::DropLayoutCaches() {
  FBandList.clear();
  FBandVisibleList.clear();
  FHeaderAbsoluteList.clear();
  FHeaderBounds.clear();
}

void TCustomgxTreeListControl::ClearListNodes() {
  TCustomgxTreeList::ClearListNodes();
  DropLayoutCaches();
}

void TCustomgxTreeListControl::ClearHeaderBounds() {
  TCustomgxTreeList::ClearHeaderBounds();
  FHeaderBounds.clear();
}

void TCustomgxTreeListControl::ResetRowHeights() {
  TCustomgxTreeList::ResetRowHeights();
  ClearHeaderBounds();
}

void TCustomgxTreeListControl::MakeListNodes() {
  TCustomgxTreeList::MakeListNodes();
  RefreshBandLists(true);
}

void TCustomgxTreeListControl::DoLayoutChanged() {
  TCustomgxTreeList::DoLayoutChanged();
  RefreshBandLists(true);
}

void TCustomgxTreeListControl::RefreshBandLists(bool) {
  if (!FBands)
    return;
  {
    FBandListLoading = true;
    TFinally done([this] { FBandListLoading = false; });
    FBandList.clear();
    FBandVisibleList.assign(FBands->Count(), -1);
    for (int i = 0; i < FBands->Count(); ++i)
      if (FBands->Items(i)->Visible()) {
        FBandVisibleList[i] = int(FBandList.size());
        FBandList.push_back(i);
      }
  }
  {
    FHeaderListLoading = true;
    TFinally done([this] { FHeaderListLoading = false; });
    FHeaderAbsoluteList.clear();
    if (FBands->Count() > 0) {
      // (band, row, column) of every shown column, in band, row, column order.
      std::vector<std::tuple<int, int, int>> shown;
      for (int i = 0; i < ColumnCount(); ++i) {
        TgxTreeListColumn* column = FColumns[i];
        const int band = column->FBandIndex;
        if (column->FVisible && band >= 0 && band < FBands->Count() &&
            FBands->Items(band)->Visible())
          shown.emplace_back(band, column->RowIndex(), i);
      }
      std::sort(shown.begin(), shown.end());
      int lastBand = -1;
      int lastRow = -1;
      for (const auto& [band, row, column] : shown) {
        if (band != lastBand) {
          // A band with no shown column keeps its place with an empty list.
          const int visible = FBandVisibleList[band];
          while (int(FHeaderAbsoluteList.size()) < visible)
            FHeaderAbsoluteList.emplace_back();
          FHeaderAbsoluteList.emplace_back();
          lastBand = band;
          lastRow = -1;
        }
        auto& rows = FHeaderAbsoluteList.back();
        if (row != lastRow) {
          rows.emplace_back();
          lastRow = row;
        }
        rows.back().push_back(column);
      }
    }
  }
  ClearHeaderBounds();
}

void TCustomgxTreeListControl::RefreshHeaderBounds() {
  FHeaderBoundsLoading = true;
  TFinally done([this] { FHeaderBoundsLoading = false; });
  std::vector<int> bounds(ColumnCount(), 0);
  for (int i = 0; i < ColumnCount(); ++i)
    if (IsHeaderVisible(i))
      bounds[i] = TCustomgxTreeList::GetColumnWidth(i);
  FHeaderBounds = std::move(bounds);
}

// ===========================================================================
// header rows

void TCustomgxTreeListControl::RefreshRowIndexes() {
  DropLayoutCaches();
  const int rows = FHeaderPanelRowCount;
  for (TgxTreeListColumn* column : FColumns)
    column->FRowIndex = std::clamp(column->FRowIndex, 0, rows - 1);
  auto shownIn = [this](const TgxTreeListColumn* AColumn, int ABand) {
    return AColumn->FVisible && AColumn->FBandIndex == ABand;
  };
  // An empty row closes up: the rows below it move up one.
  for (int visible = 0; visible < FBands->VisibleCount(); ++visible) {
    const int band = FBands->GetAbsoluteIndex(visible);
    for (int row = GetHeaderRowCount(visible) - 1; row >= 0; --row) {
      const bool used = std::any_of(FColumns.begin(), FColumns.end(), [&](auto* AColumn) {
        return shownIn(AColumn, band) && AColumn->RowIndex() == row;
      });
      if (used)
        continue;
      for (TgxTreeListColumn* column : FColumns)
        if (shownIn(column, band) && column->RowIndex() > row) {
          --column->FRowIndex;
          --column->FStoredRowIndex;
        }
    }
  }
  // No column sits below the rows its band uses.
  for (int band = 0; band < FBands->Count(); ++band) {
    std::vector<int> used;
    for (TgxTreeListColumn* column : FColumns)
      if (shownIn(column, band) &&
          std::find(used.begin(), used.end(), column->RowIndex()) == used.end())
        used.push_back(column->RowIndex());
    const int count = int(used.size());
    for (TgxTreeListColumn* column : FColumns)
      if (column->FBandIndex == band && column->FRowIndex >= count) {
        column->FRowIndex = std::max(0, count - 1);
        column->FStoredRowIndex = column->FRowIndex;
      }
  }
  if (IsAutoHeaderPanelHeight() && !FSetAutoHeaderPanelRowCount)
    HeaderPanelBestFit();
  if (!IsUpdateLocked())
    MakeListNodes();
}

int TCustomgxTreeListControl::GetHeaderRowCount(int ABand) {
  if (ABand < 0)
    return 0;
  if (!FHeaderListLoading && !FHeaderAbsoluteList.empty())
    return ABand < int(FHeaderAbsoluteList.size()) ? int(FHeaderAbsoluteList[ABand].size()) : 0;
  const int band = FBands->GetAbsoluteIndex(ABand);
  if (band < 0)
    return 0;
  int count = 0;
  for (int row = 0; row <= FHeaderPanelRowCount; ++row)
    if (std::any_of(FColumns.begin(), FColumns.end(), [&](const TgxTreeListColumn* AColumn) {
          return AColumn->FVisible && AColumn->FBandIndex == band && AColumn->RowIndex() == row;
        }))
      ++count;
  return count;
}

int TCustomgxTreeListControl::GetHeaderColCount(int ABand, int ARow) {
  if (ABand < 0 || ARow < 0)
    return 0;
  if (!FHeaderListLoading && !FHeaderAbsoluteList.empty()) {
    if (ABand >= int(FHeaderAbsoluteList.size()) || ARow >= int(FHeaderAbsoluteList[ABand].size()))
      return 0;
    return int(FHeaderAbsoluteList[ABand][ARow].size());
  }
  const int band = FBands->GetAbsoluteIndex(ABand);
  return int(std::count_if(FColumns.begin(), FColumns.end(), [&](const TgxTreeListColumn* A) {
    return band >= 0 && A->FVisible && A->FBandIndex == band && A->RowIndex() == ARow;
  }));
}

int TCustomgxTreeListControl::GetHeaderAbsoluteIndex(int ABand, int ARow, int ACol) {
  if (ABand < 0 || ARow < 0 || ACol < 0)
    return -1;
  if (!FHeaderListLoading && !FHeaderAbsoluteList.empty()) {
    if (ABand >= int(FHeaderAbsoluteList.size()) ||
        ARow >= int(FHeaderAbsoluteList[ABand].size()) ||
        ACol >= int(FHeaderAbsoluteList[ABand][ARow].size()))
      return -1;
    return FHeaderAbsoluteList[ABand][ARow][ACol];
  }
  const int band = FBands->GetAbsoluteIndex(ABand);
  for (int i = 0; i < ColumnCount(); ++i) {
    const TgxTreeListColumn* column = FColumns[i];
    if (band >= 0 && column->FVisible && column->FBandIndex == band && column->RowIndex() == ARow &&
        column->ColIndex() == ACol)
      return i;
  }
  return -1;
}

int TCustomgxTreeListControl::GetColumnWidth(int AColumn) {
  if (AColumn < 0 || AColumn >= ColumnCount())
    return 0;
  if (!IsUpdateLocked() && FHeaderBounds.empty() && !FHeaderBoundsLoading)
    RefreshHeaderBounds();
  if (FHeaderBoundsLoading || FHeaderBounds.empty() || AColumn >= int(FHeaderBounds.size()))
    return TCustomgxTreeList::GetColumnWidth(AColumn);
  return FHeaderBounds[AColumn];
}

// ===========================================================================
// the layout

void TCustomgxTreeListControl::UpdateLayout() {
  if (IsUpdateLocked() || IsDestroying() || IsLoading())
    return;
  ++FLockUpdate;
  {
    TFinally unlock([this] { --FLockUpdate; });
    HDC dc = GetDC(nullptr);
    {
      TFinally release([dc] { ReleaseDC(nullptr, dc); });
      HGDIOBJ saved = GetCurrentObject(dc, OBJ_FONT);
      TFinally restore([dc, saved] { SelectObject(dc, saved); });
      FBandRowCount = GetBandRowCount();
      FHeaderRowCount = GetHeaderPanelRowCount();
      FHeaderLineCount = GetHeaderMinRowCount();
      FFlat = FLookAndFeel != lfStandard;
      FPaintStandard = FPaintStyle == psStandard;
      const int edge = FFlat ? 0 : 1;

      SelectObject(dc, FBandFont.Handle());
      FBandTextHeight = int(TextSize(dc, L"Wg").cy);
      FBandHeight = FShowBands ? FBandTextHeight * FBandRowCount + 5 + edge : 0;

      SelectObject(dc, FHeaderFont.Handle());
      FHeaderRowHeight = int(TextSize(dc, L"Wg").cy) * FHeaderLineCount + 5 + edge;
      FHeaderHeight = FShowHeaders ? FHeaderRowHeight * FHeaderRowCount : 0;
      FGroupPanelHeight = GetGroupPanelHeight();

      SelectObject(dc, Font().Handle());
      const int text = int(TextSize(dc, L"Wg").cy);
      FTextHeight = text;
      FFooterRowHeight = text + 7;
      FFooterHeight = FShowFooter ? (text + 7) * FHeaderRowCount + 3 + edge : 0;
      FFooterRowNodeHeight = (text + 7) * FHeaderRowCount + 2 + (FShowGrid && FShowPreviewGrid);
      FStatusHeight = IsShowStatusPanel() ? std::max(17, text + 5) : 0;
      FDeltaHScroll = int(TextSize(dc, L"0").cx);

      const int grid = FShowGrid && FShowPreviewGrid ? 1 : 0;
      int minimum = std::max(text + 3, 16);
      const int rows = std::max(1, FHeaderRowCount);
      const int stateHeight = FStateImages ? FStateImages->Height() : 0;
      if (stateHeight > (minimum + grid) * rows)
        minimum = stateHeight;
      TCanvas canvas;
      canvas.SetHandle(dc);
      const int columnText = GetMaxColumnTextHeight(&canvas);
      canvas.SetHandle(nullptr);
      if (columnText > (minimum + grid) * rows)
        minimum = columnText;
      minimum += grid;
      if (IsInvertSelect())
        minimum += 2;
      FMinRowHeight = minimum;
      if (!FRowHeightAssigned || FRowHeight < minimum)
        FRowHeight = minimum;
      if (FRowHeight == minimum)
        FRowHeightAssigned = false;

      FNewItemRowSeparatorHeight = FFlat ? 5 : 6;
      FNewItemRowHeight = FHeaderRowCount == 1 && FShowNewItemRow && FBands->VisibleCount() > 0
                              ? FRowHeight + FNewItemRowSeparatorHeight
                              : 0;

      SelectObject(dc, FPreviewFont.Handle());
      FDescTextHeight = int(TextSize(dc, L"Wg").cy);
    }
    ClearListNodes();
    DoLayoutChanged();
    UpdateRowCount();
    UpdateScrollBars();
    MakeListNodes();
    LayoutRefreshed();
    if (!IsListNodesUsable())
      MakeListNodes();
    if (HandleAllocated())
      DropUnneededScrollBars();
  }
  if (!IsPaintLocked())
    Invalidate();
}

// ===========================================================================
// best fit

void TCustomgxTreeListControl::ApplyBestFit(TgxTreeListColumn* AColumn) {
  if (!HandleAllocated()) {
    FNeedToApplyBestFit = true;
    return;
  }
  HDC dc = GetDC(Handle());
  TFinally release([this, dc] { ReleaseDC(Handle(), dc); });
  TCanvas canvas;
  canvas.SetHandle(dc);
  TFinally detach([&canvas] { canvas.SetHandle(nullptr); });
  canvas.Font().Assign(&Font());
  const int margin = canvas.TextWidth(L"0") / 2 + 1;

  auto fit = [&](TgxTreeListColumn* AFit) {
    const int index = AFit->GetIndex();
    const bool treeColumn = IsHeaderVisible(index) &&
                            FBands->GetVisibleIndex(AFit->FBandIndex) == 0 && AFit->ColIndex() == 0;
    canvas.Font().Assign(AFit->IsAssigned(cvFont) ? &AFit->Font() : &Font());
    int width = 0;
    auto measure = [&](TgxTreeListNode* ANode) {
      if (IsGroupNode(ANode))
        return;
      int nodeWidth = AFit->GetBestFit(canvas, ANode);
      if (treeColumn) {
        const int level = ANode->Level() + (FShowRoot && FPaintStyle == psStandard ? 1 : 0);
        nodeWidth += level * FIndent;
        if (FStateImages && GetNodeStateIndex(ANode) >= 0)
          nodeWidth += FStateImages->Width();
        nodeWidth -= GetBandAreaOffset();
        if (FImages && (GetNodeImageIndex(ANode) >= 0 || GetNodeSelectedIndex(ANode) >= 0))
          nodeWidth += FImages->Width();
      }
      width = std::max(width, nodeWidth);
    };
    for (int i = 0; i < Count(); ++i)
      VisitPostOrder(Items(i), measure);
    width += AFit->FExtraWidth;
    canvas.Font().Assign(&FHeaderFont);
    const int caption = canvas.TextWidth(AFit->Caption()) + (AFit->FDisableFilter ? 0 : 15);
    width = std::max(width, caption);
    if (AFit->FSizing)
      AFit->SetWidth(width + 2 * margin);
  };

  if (AColumn) {
    fit(AColumn);
  } else {
    BeginUpdate();
    TFinally end([this] { EndUpdate(); });
    for (TgxTreeListColumn* column : FColumns)
      fit(column);
  }
  FNeedToApplyBestFit = false;
}

void TCustomgxTreeListControl::BandEdgeDblClick(int ABand) {
  {
    BeginUpdate();
    TFinally end([this] { EndUpdate(); });
    for (int row = 0; row < GetHeaderRowCount(ABand); ++row)
      for (int col = 0; col < GetHeaderColCount(ABand, row); ++col) {
        const int column = GetHeaderAbsoluteIndex(ABand, row, col);
        if (column >= 0)
          ApplyBestFit(FColumns[column]);
      }
  }
  DoChangedColumnsWidth();
}

void TCustomgxTreeListControl::ColumnEdgeDblClick(int AColumn) {
  ApplyBestFit(Columns(AColumn));
  DoChangedColumnsWidth();
}

void TCustomgxTreeListControl::DoChangedColumnsWidth() {
  if (OnChangedColumnsWidth)
    OnChangedColumnsWidth(this);
}

// ===========================================================================
// measuring cell texts

bool TCustomgxTreeListControl::ColumnCalcLineCountEx(TgxTreeListNode* ANode, int AAbsoluteIndex,
                                                     const std::wstring& AText, int ABoundsWidth,
                                                     int ATextHeight, int AMaxLineCount,
                                                     bool AInflateFlag, bool AGridFlag,
                                                     int& ALineCount, int& ALineHeight) {
  if (OnCalcRowLineHeight) {
    bool done = false;
    OnCalcRowLineHeight(this, ANode, AAbsoluteIndex, AText, ABoundsWidth, ATextHeight,
                        AMaxLineCount, AInflateFlag, AGridFlag, ALineCount, ALineHeight, done);
    if (done)
      return true;
  }
  TgxTreeListColumn* column = Columns(AAbsoluteIndex);
  const TgxTreeListEditorClass& kind = column->GetEditorClass();
  std::unique_ptr<TgxEditViewData> data(kind.ClassOps().NewViewData());
  data->Brush = nullptr;
  data->Font = column->IsAssigned(cvFont) ? column->Font().Handle() : Font().Handle();
  data->BkColor = 0;
  data->TextColor = 0;
  data->Alignment = column->Alignment();
  data->Data = AText;
  data->DataLength = 0;
  data->Edges = 0;
  data->DrawAlignment = daMultiLine;
  data->Selected = false;
  RECT bounds{0, 0, ABoundsWidth, ATextHeight};
  InflateRect(&bounds, 2, 2);
  data->ViewBounds = bounds;
  bool measured = false;
  {
    column->FActualNode = ANode;
    TFinally clear([column] { column->FActualNode = nullptr; });
    column->PrepareViewData(*data, *data);
    data->ViewBounds = bounds;
    TgxEditViewInfo info;
    kind.ClassOps().CalcViewInfo(*data, false, info);
    data->CalcHeight = true;
    data->LineCount = 0;
    HDC dc = CreateCompatibleDC(nullptr);
    TFinally release([dc] { DeleteDC(dc); });
    RECT rect = bounds;
    measured = kind.ClassOps().DrawClientArea(dc, rect, *data, false);
  }
  if (measured) {
    ALineHeight = data->LineHeight;
    ALineCount = data->LineCount;
    if (AMaxLineCount != -1 && AMaxLineCount < ALineCount) {
      ALineCount = AMaxLineCount;
      ALineHeight = data->LineTextHeight * ALineCount;
    }
  } else {
    ALineCount = 1;
  }
  ALineHeight += 3;
  return true;
}

// ===========================================================================
// the designer hook

TgxTreeListDesigner::TgxTreeListDesigner(TCustomgxTreeListControl* ATreeList)
    : FTreeList(ATreeList) {
  if (FTreeList)
    FTreeList->FDesigner = this;
}

TgxTreeListDesigner::~TgxTreeListDesigner() {
  if (FTreeList && FTreeList->FDesigner == this)
    FTreeList->FDesigner = nullptr;
}
