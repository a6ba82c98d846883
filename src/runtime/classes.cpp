#include "classes.h"

#include "rtl-exceptions.h"

#include <windows.h>

#include <algorithm>
#include <mutex>

namespace {

std::wstring IndexText(int AIndex) {
  return std::to_wstring(AIndex);
}

[[noreturn]] void ListIndexError(int AIndex) {
  throw EListError(L"List index out of bounds (" + IndexText(AIndex) + L")");
}

// Case-blind comparison of names by the system's ordinal rules, so that a
// name matches the same way whatever the user's locale.
bool SameName(const std::wstring& A, const std::wstring& B) {
  return CompareStringOrdinal(A.data(), int(A.size()), B.data(), int(B.size()), TRUE) == CSTR_EQUAL;
}

bool IsIdentifier(const std::wstring& AName) {
  if (AName.empty())
    return false;
  auto isAlpha = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
  if (!isAlpha(AName[0]) && AName[0] != L'_')
    return false;
  for (wchar_t c : AName)
    if (!isAlpha(c) && c != L'_' && !(c >= L'0' && c <= L'9'))
      return false;
  return true;
}

} // namespace

// ---------------------------------------------------------------------------
// TList

TList::~TList() {
  // Descendants have gone already; only the entries are dropped here.
  FList.clear();
}

void TList::CheckIndex(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    ListIndexError(AIndex);
}

int TList::Add(void* AItem) {
  FList.push_back(AItem);
  if (AItem)
    Notify(AItem, lnAdded);
  return Count() - 1;
}

void TList::Insert(int AIndex, void* AItem) {
  if (AIndex < 0 || AIndex > Count())
    ListIndexError(AIndex);
  FList.insert(FList.begin() + AIndex, AItem);
  if (AItem)
    Notify(AItem, lnAdded);
}

void TList::Delete(int AIndex) {
  CheckIndex(AIndex);
  void* item = FList[size_t(AIndex)];
  FList.erase(FList.begin() + AIndex);
  if (item)
    Notify(item, lnDeleted);
}

int TList::Remove(void* AItem) {
  int index = IndexOf(AItem);
  if (index >= 0)
    Delete(index);
  return index;
}

void* TList::Extract(void* AItem) {
  int index = IndexOf(AItem);
  if (index < 0)
    return nullptr;
  FList.erase(FList.begin() + index);
  Notify(AItem, lnExtracted);
  return AItem;
}

int TList::IndexOf(const void* AItem) const {
  auto it = std::find(FList.begin(), FList.end(), AItem);
  return it == FList.end() ? -1 : int(it - FList.begin());
}

void TList::Exchange(int AIndex1, int AIndex2) {
  CheckIndex(AIndex1);
  CheckIndex(AIndex2);
  std::swap(FList[size_t(AIndex1)], FList[size_t(AIndex2)]);
}

void TList::Move(int ACurIndex, int ANewIndex) {
  if (ACurIndex == ANewIndex)
    return;
  CheckIndex(ACurIndex);
  CheckIndex(ANewIndex);
  void* item = FList[size_t(ACurIndex)];
  FList.erase(FList.begin() + ACurIndex);
  FList.insert(FList.begin() + ANewIndex, item);
}

void TList::Clear() {
  while (!FList.empty())
    Delete(Count() - 1);
}

void TList::Pack() {
  FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end());
}

void TList::Sort(const std::function<int(void*, void*)>& ACompare) {
  std::stable_sort(FList.begin(), FList.end(),
                   [&](void* A, void* B) { return ACompare(A, B) < 0; });
}

void TList::SetCount(int ANewCount) {
  if (ANewCount < 0)
    throw EListError(L"List count out of bounds (" + IndexText(ANewCount) + L")");
  while (Count() > ANewCount)
    Delete(Count() - 1);
  FList.resize(size_t(ANewCount), nullptr);
}

void* TList::Get(int AIndex) const {
  CheckIndex(AIndex);
  return FList[size_t(AIndex)];
}

void TList::Put(int AIndex, void* AItem) {
  CheckIndex(AIndex);
  void* old = FList[size_t(AIndex)];
  if (old == AItem)
    return;
  FList[size_t(AIndex)] = AItem;
  if (old)
    Notify(old, lnDeleted);
  if (AItem)
    Notify(AItem, lnAdded);
}

// ---------------------------------------------------------------------------
// TComponent

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner)
    AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  if (!FWatchersTold)
    TComponent::BeforeDestruction();
  DestroyComponents();
  if (FOwner)
    FOwner->RemoveComponent(this);
  if (FLoading)
    FLoading->Forget(this);
}

void TComponent::Free(TComponent* AComponent) {
  if (!AComponent)
    return;
  AComponent->BeforeDestruction();
  delete AComponent;
}

void TComponent::BeforeDestruction() {
  if (!FComponentState.Contains(csDestroying))
    Destroying();
  TellWatchers();
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying))
    return;
  FComponentState.Include(csDestroying);
  for (TComponent* component : FComponents)
    component->Destroying();
}

void TComponent::TellWatchers() {
  if (FWatchersTold)
    return;
  FWatchersTold = true;
  // One link at a time: a watcher's notification may add or drop links.
  while (!FFreeNotifies.empty()) {
    TComponent* watcher = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    watcher->DropLink(this);
    watcher->Notification(this, opRemove);
  }
}

void TComponent::DropLink(TComponent* AComponent) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (it != FFreeNotifies.end())
    FFreeNotifies.erase(it);
}

TComponent* TComponent::Components(int AIndex) const {
  if (AIndex < 0 || AIndex >= ComponentCount())
    ListIndexError(AIndex);
  return FComponents[size_t(AIndex)];
}

int TComponent::ComponentIndex() const {
  if (!FOwner)
    return -1;
  auto& list = FOwner->FComponents;
  return int(std::find(list.begin(), list.end(), this) - list.begin());
}

void TComponent::SetComponentIndex(int AValue) {
  if (!FOwner)
    return;
  auto& list = FOwner->FComponents;
  int current = ComponentIndex();
  AValue = std::clamp(AValue, 0, int(list.size()) - 1);
  if (AValue == current)
    return;
  list.erase(list.begin() + current);
  list.insert(list.begin() + AValue, this);
}

TComponent* TComponent::FindComponent(const std::wstring& AName) const {
  if (AName.empty())
    return nullptr;
  for (TComponent* component : FComponents)
    if (SameName(component->FName, AName))
      return component;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this)
    return;
  ValidateInsert(AComponent);
  ValidateRename(AComponent, {}, AComponent->FName);
  if (AComponent->FOwner)
    AComponent->FOwner->RemoveComponent(AComponent);
  Insert(AComponent);
  if (FLoading && !AComponent->FLoading)
    FLoading->Add(AComponent);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this)
    return;
  Remove(AComponent);
  Notification(AComponent, opRemove);
}

void TComponent::Insert(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
  auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (it != FComponents.end())
    FComponents.erase(it);
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  // The owner is going: the others need not hear of each removal, but
  // every component's own watchers are told as it goes.
  while (!FComponents.empty()) {
    TComponent* component = FComponents.back();
    Remove(component);
    Free(component);
  }
}

void TComponent::SetName(const std::wstring& ANewName) {
  if (ANewName == FName)
    return;
  if (!ANewName.empty() && !IsIdentifier(ANewName))
    throw EComponentError(L"\"" + ANewName + L"\" is not a valid component name");
  if (FOwner)
    FOwner->ValidateRename(this, FName, ANewName);
  FName = ANewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::wstring& ACurName,
                                const std::wstring& ANewName) {
  if (ANewName.empty() || SameName(ACurName, ANewName))
    return;
  TComponent* holder = FindComponent(ANewName);
  if (holder && holder != AComponent)
    throw EComponentError(L"A component named " + ANewName + L" already exists");
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this)
    return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  auto& other = AComponent->FFreeNotifies;
  if (std::find(other.begin(), other.end(), this) == other.end())
    other.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent)
    return;
  DropLink(AComponent);
  AComponent->DropLink(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation AOperation) {
  // By index: a handler may free or insert components meanwhile.
  for (size_t i = 0; i < FComponents.size(); ++i)
    FComponents[i]->Notification(AComponent, AOperation);
}

void TComponent::Loaded() {
  FComponentState.Exclude(csLoading);
}

// ---------------------------------------------------------------------------
// TComponentLoading

TComponentLoading::TComponentLoading(TComponent* ARoot) {
  Add(ARoot);
}

TComponentLoading::~TComponentLoading() {
  if (!FEnded)
    Release(false);
}

void TComponentLoading::Add(TComponent* AComponent) {
  if (FEnded || !AComponent || AComponent->FLoading)
    return;
  AComponent->FLoading = this;
  AComponent->FComponentState.Include(csLoading);
  AComponent->FComponentState.Include(csReading);
  FMembers.push_back(AComponent);
  for (TComponent* owned : AComponent->FComponents)
    Add(owned);
}

void TComponentLoading::Forget(TComponent* AComponent) {
  std::replace(FMembers.begin(), FMembers.end(), AComponent, static_cast<TComponent*>(nullptr));
}

void TComponentLoading::End() {
  if (FEnded)
    return;
  Release(true);
}

void TComponentLoading::Release(bool ARunLoaded) {
  FEnded = true;
  for (TComponent* member : FMembers)
    if (member)
      member->FComponentState.Exclude(csReading);
  // By index, and each member leaves the bracket just before its `Loaded`:
  // a `Loaded` may free a member that has not had its turn yet, which then
  // leaves the list through `Forget`.
  for (size_t i = 0; i < FMembers.size(); ++i) {
    TComponent* member = FMembers[i];
    if (!member)
      continue;
    FMembers[i] = nullptr;
    member->FLoading = nullptr;
    if (ARunLoaded) {
      try {
        member->Loaded();
      } catch (...) {
        // The rest leave the bracket unloaded, so none keeps a link to it.
        member->FComponentState.Exclude(csLoading);
        Release(false);
        throw;
      }
    }
    member->FComponentState.Exclude(csLoading);
  }
  FMembers.clear();
}

// ---------------------------------------------------------------------------
// TClassRegistry

namespace {

struct TClassTable {
  std::mutex Lock;
  std::vector<TRegisteredClass> Entries;

  std::vector<TRegisteredClass>::iterator Find(const std::wstring& AName) {
    return std::find_if(Entries.begin(), Entries.end(),
                        [&](const TRegisteredClass& e) { return SameName(e.ClassName, AName); });
  }
};

TClassTable& ClassTable() {
  static TClassTable table;
  return table;
}

[[noreturn]] void ClassNotFound(const std::wstring& AName) {
  throw EClassNotFound(L"Class " + AName + L" not found");
}

} // namespace

void TClassRegistry::Register(const std::wstring& AClassName, TClassFactory AFactory,
                              const std::wstring& ADescription) {
  if (AClassName.empty())
    throw EComponentError(L"A class needs a name to be registered");
  auto& table = ClassTable();
  std::lock_guard guard(table.Lock);
  if (table.Find(AClassName) != table.Entries.end())
    throw EComponentError(L"A class named " + AClassName + L" is registered already");
  table.Entries.push_back({AClassName, ADescription, std::move(AFactory)});
}

void TClassRegistry::RegisterDescription(const std::wstring& AClassName,
                                         const std::wstring& ADescription) {
  Register(AClassName, {}, ADescription);
}

void TClassRegistry::Unregister(const std::wstring& AClassName) {
  auto& table = ClassTable();
  std::lock_guard guard(table.Lock);
  auto it = table.Find(AClassName);
  if (it != table.Entries.end())
    table.Entries.erase(it);
}

bool TClassRegistry::IsRegistered(const std::wstring& AClassName) {
  auto& table = ClassTable();
  std::lock_guard guard(table.Lock);
  return table.Find(AClassName) != table.Entries.end();
}

TRegisteredClass TClassRegistry::Find(const std::wstring& AClassName) {
  auto& table = ClassTable();
  std::lock_guard guard(table.Lock);
  auto it = table.Find(AClassName);
  if (it == table.Entries.end())
    ClassNotFound(AClassName);
  return *it;
}

TPersistent* TClassRegistry::CreateObject(const std::wstring& AClassName, TComponent* AOwner) {
  // The factory runs outside the lock: a constructor may register or look
  // up classes itself.
  TRegisteredClass entry = Find(AClassName);
  if (!entry.Factory)
    throw EClassNotFound(L"Class " + entry.ClassName + L" cannot be created by name");
  return entry.Factory(AOwner);
}

TComponent* TClassRegistry::CreateComponent(const std::wstring& AClassName, TComponent* AOwner) {
  TPersistent* object = CreateObject(AClassName, AOwner);
  if (auto* component = dynamic_cast<TComponent*>(object))
    return component;
  delete object;
  throw EComponentError(L"Class " + AClassName + L" is not a component class");
}

std::vector<std::wstring> TClassRegistry::ClassNames() {
  auto& table = ClassTable();
  std::lock_guard guard(table.Lock);
  std::vector<std::wstring> names;
  for (const auto& entry : table.Entries)
    names.push_back(entry.ClassName);
  return names;
}

// ---------------------------------------------------------------------------
// Collections

TCollectionItem::TCollectionItem(TCollection* ACollection) {
  SetCollection(ACollection);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection)
    FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* AValue) {
  if (AValue == FCollection)
    return;
  if (FCollection)
    FCollection->RemoveItem(this);
  if (AValue)
    AValue->InsertItem(this);
}

TPersistent* TCollectionItem::GetOwner() const {
  return FCollection;
}

std::wstring TCollectionItem::GetNamePath() const {
  if (!FCollection)
    return ClassName();
  return FCollection->GetNamePath() + L"[" + std::to_wstring(Index()) + L"]";
}

int TCollectionItem::Index() const {
  if (!FCollection)
    return -1;
  auto& items = FCollection->FItems;
  return int(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int AValue) {
  int current = Index();
  if (current < 0 || AValue == current)
    return;
  auto& items = FCollection->FItems;
  if (AValue < 0 || AValue >= int(items.size()))
    ListIndexError(AValue);
  items.erase(items.begin() + current);
  items.insert(items.begin() + AValue, this);
  Changed(true);
}

void TCollectionItem::Changed(bool AAllItems) {
  if (FCollection)
    FCollection->ItemChanged(AAllItems ? nullptr : this);
}

TCollection::TCollection(TItemFactory AItemFactory, TPersistent* AOwner)
    : FItemFactory(std::move(AItemFactory)), FOwner(AOwner) {}

TCollection::~TCollection() {
  // No bracket: descendants are gone, so nothing is reported any more.
  FUpdateCount = 1;
  while (!FItems.empty())
    delete FItems.back();
}

void TCollection::Assign(const TPersistent* ASource) {
  auto* source = dynamic_cast<const TCollection*>(ASource);
  if (!source) {
    TPersistent::Assign(ASource);
    return;
  }
  if (source == this)
    return;
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : source->FItems)
      Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = FItemFactory(this);
  // A factory that made the item without this collection hands it over.
  if (item->Collection() != this)
    item->SetCollection(this);
  return item;
}

TCollectionItem* TCollection::Insert(int AIndex) {
  if (AIndex < 0 || AIndex > Count())
    ListIndexError(AIndex);
  BeginUpdate();
  TCollectionItem* item = nullptr;
  try {
    item = Add();
    item->SetIndex(AIndex);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return item;
}

void TCollection::Delete(int AIndex) {
  TCollectionItem* item = Items(AIndex);
  Notify(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (FItems.empty())
    return;
  BeginUpdate();
  try {
    while (!FItems.empty()) {
      TCollectionItem* item = FItems.back();
      Notify(item, cnDeleting);
      delete item;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TCollectionItem* TCollection::Items(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    ListIndexError(AIndex);
  return FItems[size_t(AIndex)];
}

TCollectionItem* TCollection::FindItemID(int AID) const {
  for (TCollectionItem* item : FItems)
    if (item->FID == AID)
      return item;
  return nullptr;
}

void TCollection::BeginUpdate() {
  ++FUpdateCount;
}

void TCollection::EndUpdate() {
  --FUpdateCount;
  Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0)
    Update(nullptr);
}

void TCollection::ItemChanged(TCollectionItem* AItem) {
  if (FUpdateCount == 0)
    Update(AItem);
}

void TCollection::InsertItem(TCollectionItem* AItem) {
  FItems.push_back(AItem);
  AItem->FCollection = this;
  AItem->FID = FNextID++;
  Notify(AItem, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* AItem) {
  auto it = std::find(FItems.begin(), FItems.end(), AItem);
  if (it == FItems.end())
    return;
  Notify(AItem, cnExtracting);
  FItems.erase(it);
  AItem->FCollection = nullptr;
  Changed();
}
