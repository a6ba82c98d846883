#include "xp-list-items.h"

#include "string-routines.h"
#include "xp-list-box.h"

// ===========================================================================
// TXPListItem

TXPListItem::TXPListItem(TXPListBoxStrings* AStrings, bool ASelected, void* AObject)
    : FStrings(AStrings), FStdObject(AObject), FSelected(ASelected) {}

void TXPListItem::SetSelected(bool AValue) {
  if (AValue == FSelected)
    return;
  FSelected = AValue;
  if (FStrings)
    FStrings->Changed();
}

// ===========================================================================
// TXPListBoxStrings

TXPListBoxStrings::TXPListBoxStrings(TCustomXPListBox* AListBox) : FListBox(AListBox) {
  SetDuplicates(dupAccept);
}

TXPListBoxStrings::~TXPListBoxStrings() {
  // The list box is going: nothing may reach it any more.
  OnChange = nullptr;
  OnChanging = nullptr;
  FListBox = nullptr;
  FreeAllWrappers();
}

TXPListItem* TXPListBoxStrings::Item(int AIndex) const {
  if (AIndex < 0 || AIndex >= GetCount())
    return nullptr;
  return static_cast<TXPListItem*>(TStringList::GetObject(AIndex));
}

void TXPListBoxStrings::FreeItemWrapper(int AIndex) {
  TXPListItem* item = Item(AIndex);
  if (!item)
    return;
  // The caller's object stays the caller's.
  item->SetStdObject(nullptr);
  TStringList::PutObject(AIndex, nullptr);
  delete item;
}

void TXPListBoxStrings::FreeAllWrappers() {
  for (int i = 0; i < GetCount(); ++i)
    FreeItemWrapper(i);
}

bool TXPListBoxStrings::NoteCurrent(std::wstring& AText) const {
  if (!FListBox || FInUpdating)
    return false;
  const int current = FListBox->ItemIndex();
  if (current < 0 || current >= GetCount())
    return false;
  AText = Get(current);
  return true;
}

void TXPListBoxStrings::RestoreCurrent(const std::wstring& AText) {
  FListBox->SetCurrentDirect(IndexOf(AText));
}

void TXPListBoxStrings::Put(int AIndex, const std::wstring& S) {
  TStringList::Put(AIndex, S);
  if (!FListBox || FInUpdating)
    return;
  FListBox->InvalidateItem(AIndex);
  FListBox->CalcItemsAreaWidth();
}

void* TXPListBoxStrings::GetObject(int AIndex) const {
  TStringList::GetObject(AIndex); // the list's own index check
  const TXPListItem* item = Item(AIndex);
  return item ? item->StdObject() : nullptr;
}

void TXPListBoxStrings::PutObject(int AIndex, void* AObject) {
  TStringList::GetObject(AIndex);
  if (TXPListItem* item = Item(AIndex)) {
    item->SetStdObject(AObject);
    return;
  }
  TStringList::PutObject(AIndex, new TXPListItem(this, false, AObject));
}

void TXPListBoxStrings::InsertItem(int AIndex, const std::wstring& S, void* AObject) {
  std::wstring current;
  const bool hadCurrent = NoteCurrent(current);
  auto* item = new TXPListItem(this, false, AObject);
  try {
    TStringList::InsertItem(AIndex, S, item);
  } catch (...) {
    delete item;
    throw;
  }
  if (!FListBox || FInUpdating)
    return;
  FListBox->UpdateScrollRange();
  FListBox->InvalidateFrom(AIndex);
  if (hadCurrent)
    RestoreCurrent(current);
}

int TXPListBoxStrings::AddObject(const std::wstring& S, void* AObject) {
  std::wstring current;
  const bool hadCurrent = NoteCurrent(current);
  const int index = TStringList::AddObject(S, AObject);
  if (!FListBox || FInUpdating)
    return index;
  FListBox->UpdateScrollRange();
  FListBox->InvalidateFrom(index);
  if (hadCurrent) {
    RestoreCurrent(current);
  } else if (FListBox->ItemIndex() < 0) {
    FListBox->BeginSuppressChange();
    try {
      FListBox->SetItemIndex(0);
    } catch (...) {
      FListBox->EndSuppressChange();
      throw;
    }
    FListBox->EndSuppressChange();
    FListBox->FirstItemBecameCurrent();
  }
  return index;
}

void TXPListBoxStrings::Insert(int AIndex, const std::wstring& S) {
  TStringList::Insert(AIndex, S);
  if (!FListBox || FInUpdating)
    return;
  FListBox->UpdateScrollRange();
  FListBox->InvalidateFrom(AIndex);
}

void TXPListBoxStrings::Delete(int AIndex) {
  TStringList::GetObject(AIndex); // a bad index fails before anything is freed
  FreeItemWrapper(AIndex);
  TStringList::Delete(AIndex);
  if (!FListBox || FInUpdating)
    return;
  FListBox->SetTopIndex(FListBox->TopIndex());
  FListBox->BeginSuppressChange();
  FListBox->SetItemIndex(FListBox->ItemIndex());
  FListBox->EndSuppressChange();
  FListBox->UpdateScrollRange();
  FListBox->InvalidateFrom(AIndex);
}

void TXPListBoxStrings::Clear() {
  FreeAllWrappers();
  TStringList::Clear();
  if (!FListBox || FInUpdating)
    return;
  FListBox->SetCurrentDirect(-1);
  FListBox->SetTopIndex(0);
  FListBox->ResetTracking();
  FListBox->UpdateScrollRange();
  FListBox->InvalidateItems();
}

void TXPListBoxStrings::Exchange(int AIndex1, int AIndex2) {
  TStringList::Exchange(AIndex1, AIndex2);
  if (!FListBox || FInUpdating)
    return;
  FListBox->InvalidateItem(AIndex1);
  FListBox->InvalidateItem(AIndex2);
}

void TXPListBoxStrings::Move(int ACurIndex, int ANewIndex) {
  // The plain procedure: the moved string gets a new record, so its check
  // state and selection flag start over.
  TStringList::Move(ACurIndex, ANewIndex);
  if (!FListBox || FInUpdating)
    return;
  FListBox->InvalidateFrom(std::min(ACurIndex, ANewIndex));
}

void TXPListBoxStrings::SetUpdateState(bool AUpdating) {
  FInUpdating = AUpdating;
  TStringList::SetUpdateState(AUpdating);
  if (AUpdating || !FListBox)
    return;
  if (GetCount() == 0)
    FListBox->ResetTracking();
  FListBox->SetTopIndex(FListBox->TopIndex());
  FListBox->BeginSuppressChange();
  if (FListBox->ItemIndex() < 0)
    FListBox->SetItemIndex(0);
  FListBox->SetItemIndex(FListBox->ItemIndex());
  FListBox->EndSuppressChange();
  FListBox->UpdateScrollRange();
  FListBox->InvalidateItems();
}

int TXPListBoxStrings::CompareStrings(const std::wstring& S1, const std::wstring& S2) const {
  if (FListBox && FListBox->AlphaNumericSorting())
    return LogicalCompare(S1, S2, false);
  return TStringList::CompareStrings(S1, S2);
}
