#include "tree-list-control.h"

#include <algorithm>

// ===========================================================================
// the band

// The band joins its collection once its fields are set: joining tells the
// tree list, which reads them.
TgxTreeListBand::TgxTreeListBand(TCollection* ACollection) : TCollectionItem(nullptr) {
  SetCollection(ACollection);
}

TgxTreeListBand::~TgxTreeListBand() {
  // The columns keep naming existing bands: the band's own columns lose
  // theirs, the later bands' columns follow their band down.
  TCustomgxTreeListControl* treeList = TreeList();
  if (!treeList || treeList->IsDestroying() || treeList->FBandsDestroying ||
      treeList->ComponentState().Contains(csUpdating) ||
      treeList->ComponentState().Contains(csLoading))
    return;
  const int index = Index();
  for (TgxTreeListColumn* column : treeList->FColumns) {
    if (column->FBandIndex == index)
      column->FBandIndex = -1;
    else if (column->FBandIndex > index)
      --column->FBandIndex;
  }
}

TCustomgxTreeListControl* TgxTreeListBand::TreeList() const {
  auto* bands = dynamic_cast<TgxTreeListBands*>(Collection());
  return bands ? bands->TreeList() : nullptr;
}

void TgxTreeListBand::RestoreDefaults() {
  FAlignment = taCenter;
  FFixed = bfNone;
  FMinWidth = 30;
  FOnlyOwnColumns = false;
  FSizing = true;
  FWidth = 250;
}

void TgxTreeListBand::Assign(const TPersistent* ASource) {
  const auto* source = dynamic_cast<const TgxTreeListBand*>(ASource);
  if (!source) {
    TCollectionItem::Assign(ASource);
    return;
  }
  TCollection* collection = Collection();
  if (collection)
    collection->BeginUpdate();
  try {
    RestoreDefaults();
    SetAlignment(source->FAlignment);
    SetCaption(source->FCaption);
    SetFixed(source->FFixed);
    SetMinWidth(source->FMinWidth);
    FOnlyOwnColumns = source->FOnlyOwnColumns;
    SetSizing(source->FSizing);
    SetVisible(source->FVisible);
    SetWidth(source->FWidth);
  } catch (...) {
    if (collection)
      collection->EndUpdate();
    throw;
  }
  if (collection)
    collection->EndUpdate();
}

void TgxTreeListBand::SetIndex(int AValue) {
  TCollection* collection = Collection();
  if (!collection)
    return;
  AValue = std::clamp(AValue, 0, std::max(0, collection->Count() - 1));
  const int old = Index();
  // A fixed band keeps its edge.
  if (FFixed != bfNone || AValue == old)
    return;
  if (TCustomgxTreeListControl* treeList = TreeList()) {
    // The columns follow their bands: the moved band's columns are marked
    // first so that the shift of the others does not catch them.
    constexpr int kMoving = -2;
    for (TgxTreeListColumn* column : treeList->FColumns)
      if (column->FBandIndex == old)
        column->FBandIndex = kMoving;
    for (TgxTreeListColumn* column : treeList->FColumns) {
      if (AValue > old && column->FBandIndex > old && column->FBandIndex <= AValue)
        --column->FBandIndex;
      else if (AValue < old && column->FBandIndex >= AValue && column->FBandIndex < old)
        ++column->FBandIndex;
    }
    for (TgxTreeListColumn* column : treeList->FColumns)
      if (column->FBandIndex == kMoving)
        column->FBandIndex = AValue;
  }
  TCollectionItem::SetIndex(AValue);
}

void TgxTreeListBand::SetAlignment(TAlignment AValue) {
  if (FAlignment == AValue)
    return;
  FAlignment = AValue;
  Changed(false);
}

void TgxTreeListBand::SetCaption(const std::wstring& AValue) {
  if (FCaption == AValue)
    return;
  FCaption = AValue;
  Changed(false);
}

void TgxTreeListBand::SetDisableCustomizing(bool AValue) {
  if (FDisableCustomizing == AValue)
    return;
  FDisableCustomizing = AValue;
  Changed(false);
}

void TgxTreeListBand::SetSizing(bool AValue) {
  if (FSizing == AValue)
    return;
  FSizing = AValue;
  Changed(false);
}

void TgxTreeListBand::SetFixed(TgxGridBandFixed AValue) {
  if (FFixed == AValue)
    return;
  FFixed = bfNone;
  if (AValue != bfNone) {
    if (auto* bands = dynamic_cast<TgxTreeListBands*>(Collection())) {
      // One band per edge: the edge's former holder gives it up.
      for (int i = 0; i < bands->Count(); ++i)
        if (bands->Items(i)->FFixed == AValue)
          bands->Items(i)->FFixed = bfNone;
      SetIndex(AValue == bfLeft ? 0 : bands->Count() - 1);
    }
  }
  // A hidden band has no edge to hold.
  if (FVisible)
    FFixed = AValue;
  Changed(false);
}

void TgxTreeListBand::SetVisible(bool AValue) {
  if (FVisible == AValue)
    return;
  FVisible = AValue;
  if (!AValue)
    FFixed = bfNone;
  Changed(true);
}

void TgxTreeListBand::SetWidth(int AValue) {
  AValue = std::max(AValue, FMinWidth);
  TCustomgxTreeListControl* treeList = TreeList();
  // A tree list whose band widths follow the headers lays out again on
  // every width, so that the header widths are shared out anew.
  if (AValue != FWidth || (treeList && treeList->IsBandHeaderWidth())) {
    FWidth = AValue;
    Changed(true);
  }
}

void TgxTreeListBand::SetMinWidth(int AValue) {
  FMinWidth = std::max(0, AValue);
  SetWidth(FWidth);
}

int TgxTreeListBand::VisibleIndex() const {
  auto* bands = dynamic_cast<TgxTreeListBands*>(Collection());
  return bands ? bands->GetVisibleIndex(Index()) : -1;
}

int TgxTreeListBand::HeaderRowCount() const {
  TCustomgxTreeListControl* treeList = TreeList();
  return treeList ? treeList->GetHeaderRowCount(VisibleIndex()) : 0;
}

int TgxTreeListBand::GetRowColumnCount(int ARowIndex) const {
  TCustomgxTreeListControl* treeList = TreeList();
  return treeList ? treeList->GetHeaderColCount(VisibleIndex(), ARowIndex) : 0;
}

TgxTreeListColumn* TgxTreeListBand::GetRowColumn(int ARowIndex, int AIndex) const {
  TCustomgxTreeListControl* treeList = TreeList();
  if (!treeList)
    return nullptr;
  const int column = treeList->GetHeaderAbsoluteIndex(VisibleIndex(), ARowIndex, AIndex);
  return column >= 0 && column < treeList->ColumnCount() ? treeList->Columns(column) : nullptr;
}

// ===========================================================================
// the collection

TgxTreeListBands::TgxTreeListBands(TCustomgxTreeListControl* ATreeList, TBandFactory AFactory)
    : TCollection(AFactory ? TItemFactory(AFactory)
                           : TItemFactory([](TCollection* ACollection) -> TCollectionItem* {
                               return new TgxTreeListBand(ACollection);
                             })),
      FTreeList(ATreeList) {}

TPersistent* TgxTreeListBands::GetOwner() const {
  return FTreeList;
}

TgxTreeListBand* TgxTreeListBands::GetVisibleItem(int AVisibleIndex) const {
  const int index = GetAbsoluteIndex(AVisibleIndex);
  return index >= 0 && index < Count() ? Items(index) : nullptr;
}

void TgxTreeListBands::RestoreDefaults() {
  BeginUpdate();
  try {
    for (int i = 0; i < Count(); ++i)
      Items(i)->RestoreDefaults();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

bool TgxTreeListBands::CacheUsable(const std::vector<int>& ACache) const {
  return FTreeList && !FTreeList->FBandListLoading && !ACache.empty();
}

int TgxTreeListBands::GetAbsoluteIndex(int AVisibleIndex) const {
  if (AVisibleIndex < 0)
    return -1;
  if (FTreeList && CacheUsable(FTreeList->FBandList))
    return AVisibleIndex < int(FTreeList->FBandList.size()) ? FTreeList->FBandList[AVisibleIndex]
                                                            : -1;
  int visible = -1;
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Visible() && ++visible == AVisibleIndex)
      return i;
  return -1;
}

int TgxTreeListBands::GetVisibleIndex(int AAbsoluteIndex) const {
  if (AAbsoluteIndex < 0)
    return -1;
  if (FTreeList && CacheUsable(FTreeList->FBandVisibleList))
    return AAbsoluteIndex < int(FTreeList->FBandVisibleList.size())
               ? FTreeList->FBandVisibleList[AAbsoluteIndex]
               : -1;
  if (AAbsoluteIndex >= Count() || !Items(AAbsoluteIndex)->Visible())
    return -1;
  int visible = 0;
  for (int i = 0; i <= AAbsoluteIndex; ++i)
    if (Items(i)->Visible())
      ++visible;
  return visible - 1;
}

int TgxTreeListBands::VisibleCount() const {
  if (FTreeList && CacheUsable(FTreeList->FBandList))
    return int(FTreeList->FBandList.size());
  int count = 0;
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Visible())
      ++count;
  return count;
}

void TgxTreeListBands::Update(TCollectionItem*) {
  if (!FTreeList || FTreeList->IsDestroying() || FTreeList->FBandsDestroying)
    return;
  if (Count() != 1)
    FTreeList->FDefaultLayout = false;
  if (FTreeList->IsLoading())
    return;
  FTreeList->ClearListNodes();
  NormalizeFixedBands();
  FTreeList->BandsChanged();
}

void TgxTreeListBands::NormalizeFixedBands() {
  TgxTreeListBand* left = nullptr;
  TgxTreeListBand* right = nullptr;
  bool wrong = false;
  for (int i = 0; i < Count(); ++i) {
    TgxTreeListBand* band = Items(i);
    if (band->FFixed == bfLeft) {
      if (left)
        wrong = true;
      else
        left = band;
    } else if (band->FFixed == bfRight) {
      if (right)
        wrong = true;
      else
        right = band;
    }
  }
  if (left && left->VisibleIndex() != 0)
    wrong = true;
  if (right && right->VisibleIndex() != VisibleCount() - 1)
    wrong = true;
  if (!wrong)
    return;
  for (int i = 0; i < Count(); ++i)
    Items(i)->FFixed = bfNone;
  BeginUpdate();
  try {
    if (left)
      left->SetFixed(bfLeft);
    if (right)
      right->SetFixed(bfRight);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ===========================================================================
// the control's band operations

int TCustomgxTreeListControl::GetAbsoluteBandAlignment(int ABand) {
  return FBands->Items(ABand)->Alignment();
}

void TCustomgxTreeListControl::GetAbsoluteBandCaption(int ABand, std::wstring& AText) {
  AText = FBands->Items(ABand)->Caption();
}

int TCustomgxTreeListControl::GetAbsoluteBandWidth(int ABand) {
  return FBands->Items(ABand)->Width();
}

int TCustomgxTreeListControl::GetBandAlignment(int AVisibleIndex) {
  return FBands->Items(FBands->GetAbsoluteIndex(AVisibleIndex))->Alignment();
}

void TCustomgxTreeListControl::GetBandCaption(int AVisibleIndex, std::wstring& AText) {
  AText = FBands->Items(FBands->GetAbsoluteIndex(AVisibleIndex))->Caption();
}

int TCustomgxTreeListControl::GetBandDefinedWidthValue(int AVisibleIndex) {
  return FBands->Items(FBands->GetAbsoluteIndex(AVisibleIndex))->Width();
}

int TCustomgxTreeListControl::GetBandMinWidth(int AVisibleIndex) {
  return FBands->Items(FBands->GetAbsoluteIndex(AVisibleIndex))->MinWidth();
}

int TCustomgxTreeListControl::GetLeftFixedBand() {
  TgxTreeListBand* band = FBands->GetVisibleItem(0);
  return band && band->Fixed() == bfLeft ? 0 : -1;
}

int TCustomgxTreeListControl::GetRightFixedBand() {
  const int last = FBands->VisibleCount() - 1;
  TgxTreeListBand* band = FBands->GetVisibleItem(last);
  return band && band->Fixed() == bfRight ? last : -1;
}

bool TCustomgxTreeListControl::GetBandOnlyOwnColumns(int AVisibleIndex) {
  TgxTreeListBand* band = FBands->GetVisibleItem(AVisibleIndex);
  return band && band->OnlyOwnColumns();
}

bool TCustomgxTreeListControl::IsBandSizable(int AVisibleIndex) {
  TgxTreeListBand* band = FBands->GetVisibleItem(AVisibleIndex);
  return band && TCustomgxTreeList::IsBandSizable(AVisibleIndex) && band->Sizing();
}

bool TCustomgxTreeListControl::IsBandCustomizingDisabled(int ABand) {
  return FBands->Items(ABand)->DisableCustomizing();
}

bool TCustomgxTreeListControl::IsBandHidden(int ABand) {
  return !FBands->Items(ABand)->Visible();
}

void TCustomgxTreeListControl::SetBandWidth(int AVisibleIndex, int AWidth) {
  if (TgxTreeListBand* band = FBands->GetVisibleItem(AVisibleIndex))
    band->SetWidth(AWidth);
}

bool TCustomgxTreeListControl::CanBandDragging(int AVisibleIndex) {
  bool allow = TCustomgxTreeList::CanBandDragging(AVisibleIndex);
  TgxTreeListBand* band = FBands->GetVisibleItem(AVisibleIndex);
  if (!band)
    return allow;
  if (band->Fixed() != bfNone || band->DisableDragging())
    allow = false;
  if (allow && OnCanBandDragging)
    OnCanBandDragging(this, band->Index(), allow);
  return allow;
}

void TCustomgxTreeListControl::StartBandDragging(int ABand) {
  TCustomgxTreeList::StartBandDragging(ABand);
  if (OnStartBandDragging)
    OnStartBandDragging(this, ABand);
}

void TCustomgxTreeListControl::DoDragOverBand(POINT APoint, int ABand, bool& AAccept) {
  TCustomgxTreeList::DoDragOverBand(APoint, ABand, AAccept);
  if (OnDragOverBand)
    OnDragOverBand(this, ABand, APoint, AAccept);
}

void TCustomgxTreeListControl::DoDragEndBand(POINT APoint, int ABand) {
  TCustomgxTreeList::DoDragEndBand(APoint, ABand);
  if (OnDragEndBand) {
    int newIndex = ABand;
    bool accept = true;
    OnDragEndBand(this, ABand, APoint, ABand, FBands->GetVisibleIndex(ABand), newIndex, accept);
  }
}

void TCustomgxTreeListControl::MoveBand(int AFrom, int ATo) {
  if (AFrom == ATo)
    return;
  TgxTreeListBand* band = FBands->GetVisibleItem(AFrom);
  const int target = FBands->GetAbsoluteIndex(ATo);
  if (band && target >= 0)
    band->SetIndex(target);
}

void TCustomgxTreeListControl::HideBand(int ABand) {
  FBands->Items(ABand)->SetVisible(false);
  if (OnHideBand)
    OnHideBand(this, ABand);
}

void TCustomgxTreeListControl::ShowBand(int ANewIndex, int ABand) {
  TgxTreeListBand* band = FBands->Items(ABand);
  BeginUpdate();
  try {
    band->SetVisible(true);
    const int position = std::max(0, ANewIndex);
    if (FBands->VisibleCount() > 1) {
      if (position < FBands->VisibleCount())
        band->SetIndex(FBands->GetAbsoluteIndex(position));
      else
        band->SetIndex(FBands->Count() - 1);
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  if (OnShowBand)
    OnShowBand(this, ABand, ANewIndex);
}

void TCustomgxTreeListControl::DoBandButtonClick() {
  if (OnBandButtonClick)
    OnBandButtonClick(this);
}

void TCustomgxTreeListControl::DoBandClick(int AVisibleIndex) {
  if (OnBandClick)
    OnBandClick(this, AVisibleIndex);
}

void TCustomgxTreeListControl::ScaleBandWidths(int ANumerator, int ADenominator) {
  if (ADenominator == 0)
    return;
  BeginUpdate();
  try {
    // The visible bands are the caller's: it shares out their widths.
    for (int i = 0; i < FBands->Count(); ++i) {
      TgxTreeListBand* band = FBands->Items(i);
      if (!band->Visible() && band->Sizing())
        band->SetWidth(MulDiv(band->Width(), ANumerator, ADenominator));
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}
