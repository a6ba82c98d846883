#pragma once

#include "persistent.h"

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

// ---------------------------------------------------------------------------
// Pointer lists

// What a list tells its `Notify` about an entry.
enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// A list of untyped pointers that never owns what they point to. Indexes run
// from 0; a bad index raises EListError. Descendants learn of every entry
// that comes or goes through `Notify`.
class TList {
public:
  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  virtual ~TList();

  int Add(void* AItem);
  void Insert(int AIndex, void* AItem);
  void Delete(int AIndex);
  // Deletes the first entry equal to AItem; answers its index or -1.
  int Remove(void* AItem);
  // Takes the first entry equal to AItem out as `lnExtracted`; answers it,
  // or nullptr when it is not listed.
  void* Extract(void* AItem);
  int IndexOf(const void* AItem) const;
  void Exchange(int AIndex1, int AIndex2);
  void Move(int ACurIndex, int ANewIndex);
  virtual void Clear();
  // Drops the nil entries.
  void Pack();
  // Orders the entries by ACompare (negative, 0, positive), keeping the
  // order of equal ones.
  void Sort(const std::function<int(void*, void*)>& ACompare);

  int Count() const { return int(FList.size()); }
  // A larger count adds nil entries; a smaller one deletes from the end.
  void SetCount(int ANewCount);
  void* Get(int AIndex) const;
  void Put(int AIndex, void* AItem);
  void* First() const { return Get(0); }
  void* Last() const { return Get(Count() - 1); }
  template <typename T> T* Item(int AIndex) const { return static_cast<T*>(Get(AIndex)); }

protected:
  virtual void Notify(void* /*APtr*/, TListNotification /*AAction*/) {}

private:
  void CheckIndex(int AIndex) const;
  std::vector<void*> FList;
};

// ---------------------------------------------------------------------------
// Components

class TComponent;
class TComponentLoading;

// Which way a component moved when its neighbours are told.
enum TOperation { opInsert, opRemove };

// A component's state flags. Nothing in this framework designs forms, so
// csDesigning is never set; code that skips design-time work still reads it.
enum TComponentStateItem : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
  csUpdating = 1u << 5,
};

class TComponentState {
public:
  bool Contains(TComponentStateItem AItem) const { return (FBits & AItem) != 0; }
  void Include(TComponentStateItem AItem) { FBits |= AItem; }
  void Exclude(TComponentStateItem AItem) { FBits &= ~unsigned(AItem); }
  bool Empty() const { return FBits == 0; }

private:
  unsigned FBits = 0;
};

// An object in an owner tree. An owner frees what it owns when it is freed,
// the component inserted last first, so that a component is freed before
// the ones it was made after (and may refer to). Free notification links two
// components so that each hears (`Notification` with opRemove) when the
// other is freed, whether or not they share an owner.
//
// Free a component with `TComponent::Free` (or `delete`): `Free` first marks
// it and all it owns as destroying and tells its watchers while the object
// is still whole, so their `Notification` may still call it.
class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* AOwner);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  ~TComponent() override;

  std::wstring ClassName() const override { return L"TComponent"; }
  TPersistent* GetOwner() const override { return FOwner; }
  std::wstring GetNamePath() const override { return FName; }

  // Marks, notifies, then deletes AComponent; nil is ignored.
  static void Free(TComponent* AComponent);
  // Marks this component and all it owns as destroying and tells every
  // watcher. Runs once; the destructor runs it when `Free` did not.
  virtual void BeforeDestruction();

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return int(FComponents.size()); }
  // Raises EListError for a bad index.
  TComponent* Components(int AIndex) const;
  // The place in the owner's list, or -1 without an owner.
  int ComponentIndex() const;
  void SetComponentIndex(int AValue);
  // The owned component of that name (ignoring case), or nullptr.
  TComponent* FindComponent(const std::wstring& AName) const;
  // Takes AComponent into this owner (out of its previous one).
  void InsertComponent(TComponent* AComponent);
  // Lets AComponent go without freeing it; it has no owner afterwards.
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, the last inserted first.
  void DestroyComponents();

  const std::wstring& Name() const { return FName; }
  // A name is empty or an identifier (a letter or "_", then letters, digits
  // and "_"), unique among the owner's components ignoring case; anything
  // else raises EComponentError.
  virtual void SetName(const std::wstring& ANewName);
  intptr_t Tag() const { return FTag; }
  void SetTag(intptr_t AValue) { FTag = AValue; }

  const TComponentState& ComponentState() const { return FComponentState; }

  // AComponent will be told when this component is freed, and this one when
  // AComponent is. Asking twice links once; nil is ignored.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // Runs once after the loading bracket that holds this component has ended;
  // this base clears csLoading. Descendants call it first, then do their own.
  virtual void Loaded();

protected:
  // Told about components inserted into or removed from the owner tree and
  // about freed components this one watches. The base passes it on to every
  // owned component.
  virtual void Notification(TComponent* AComponent, TOperation AOperation);
  // Marks the component (and what it owns) as destroying.
  virtual void Destroying();
  // Raises EComponentError when ANewName is taken among the owned
  // components by another than AComponent.
  virtual void ValidateRename(TComponent* AComponent, const std::wstring& ACurName,
                              const std::wstring& ANewName);
  // Raises to refuse AComponent as an owned component; the base accepts.
  virtual void ValidateInsert(TComponent* /*AComponent*/) {}

  TComponentState FComponentState;

private:
  friend class TComponentLoading;
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void TellWatchers();
  void DropLink(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  std::wstring FName;
  intptr_t FTag = 0;
  TComponentLoading* FLoading = nullptr;
  bool FWatchersTold = false;
};

// A loading bracket: the root and everything it owns are loading and
// reading from construction on, and so is every component inserted into a
// member meanwhile (the components a reader makes). `End` clears csReading
// on all of them, then runs each one's `Loaded` once, in the order they
// joined. A component already in another open bracket stays with that one,
// so nesting brackets never runs `Loaded` twice. A bracket destroyed without
// `End` (a read that failed) clears the flags without calling `Loaded`.
class TComponentLoading {
public:
  explicit TComponentLoading(TComponent* ARoot);
  TComponentLoading(const TComponentLoading&) = delete;
  TComponentLoading& operator=(const TComponentLoading&) = delete;
  ~TComponentLoading();

  // Joins AComponent and what it owns.
  void Add(TComponent* AComponent);
  void End();

private:
  friend class TComponent;
  void Forget(TComponent* AComponent);
  void Release(bool ARunLoaded);

  std::vector<TComponent*> FMembers;
  bool FEnded = false;
};

// ---------------------------------------------------------------------------
// Class registry: creating persistent objects by class name.

// Makes an object of a registered class; components get their owner.
using TClassFactory = std::function<TPersistent*(TComponent* AOwner)>;

struct TRegisteredClass {
  std::wstring ClassName;
  std::wstring Description;
  // Empty for an entry that only names and describes a class.
  TClassFactory Factory;
};

// The process-wide registry that form layouts and stored values use to make
// objects by class name. Names compare ignoring case.
class TClassRegistry {
public:
  // Raises EComponentError when the name is registered already.
  static void Register(const std::wstring& AClassName, TClassFactory AFactory,
                       const std::wstring& ADescription = {});
  // An entry that names and describes a class that cannot be made by name.
  static void RegisterDescription(const std::wstring& AClassName, const std::wstring& ADescription);
  // Unregistering a name that is not registered does nothing.
  static void Unregister(const std::wstring& AClassName);
  static bool IsRegistered(const std::wstring& AClassName);
  // A copy of the entry; EClassNotFound when the name is not registered.
  static TRegisteredClass Find(const std::wstring& AClassName);
  // Makes an object of the class; EClassNotFound when the name is not
  // registered or the entry has no factory.
  static TPersistent* CreateObject(const std::wstring& AClassName, TComponent* AOwner = nullptr);
  // As CreateObject; EComponentError when the class is no component.
  static TComponent* CreateComponent(const std::wstring& AClassName, TComponent* AOwner);
  // The registered names in registration order.
  static std::vector<std::wstring> ClassNames();

  // Registers T, made with its owner when T takes one, else without.
  template <typename T>
  static void RegisterOf(const std::wstring& AClassName, const std::wstring& ADescription = {}) {
    Register(
        AClassName,
        [](TComponent* AOwner) -> TPersistent* {
          if constexpr (std::is_constructible_v<T, TComponent*>)
            return new T(AOwner);
          else {
            (void)AOwner;
            return new T();
          }
        },
        ADescription);
  }
};

// ---------------------------------------------------------------------------
// Collections

class TCollection;

// One item of a collection. Its ID is given by the collection when it comes
// in and never reused by that collection, so stored layouts can name an
// item whatever its position.
class TCollectionItem : public TPersistent {
public:
  // Joins ACollection at its end when one is given.
  explicit TCollectionItem(TCollection* ACollection);
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;
  // Leaves its collection.
  ~TCollectionItem() override;

  std::wstring ClassName() const override { return L"TCollectionItem"; }
  TPersistent* GetOwner() const override;
  // The collection's path with the item's index in brackets.
  std::wstring GetNamePath() const override;

  TCollection* Collection() const { return FCollection; }
  // Moves the item into another collection (nil: into none).
  void SetCollection(TCollection* AValue);
  int ID() const { return FID; }
  int Index() const;
  // Moves the item to another place in its collection.
  virtual void SetIndex(int AValue);
  // The item's name in lists; the class name unless a descendant says
  // otherwise.
  virtual std::wstring DisplayName() const { return ClassName(); }

protected:
  // Tells the collection this item (or, with AAllItems, every item) changed.
  void Changed(bool AAllItems);

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

// What a collection tells its `Notify` about an item.
enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

// A list of collection items that owns them. `Add` makes an item through the
// collection's item factory. Changes are reported through `Update`, held
// back while an update bracket is open and reported once (for all items)
// when it closes.
class TCollection : public TPersistent {
public:
  using TItemFactory = std::function<TCollectionItem*(TCollection* ACollection)>;

  explicit TCollection(TItemFactory AItemFactory, TPersistent* AOwner = nullptr);
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;
  ~TCollection() override;

  std::wstring ClassName() const override { return L"TCollection"; }
  TPersistent* GetOwner() const override { return FOwner; }

  // Copies another collection: clears, then adds one item per source item
  // and assigns it from that item.
  void Assign(const TPersistent* ASource) override;

  TCollectionItem* Add();
  TCollectionItem* Insert(int AIndex);
  void Delete(int AIndex);
  void Clear();
  int Count() const { return int(FItems.size()); }
  // Raises EListError for a bad index.
  TCollectionItem* Items(int AIndex) const;
  TCollectionItem* FindItemID(int AID) const;
  TPersistent* Owner() const { return FOwner; }
  int NextID() const { return FNextID; }

  virtual void BeginUpdate();
  virtual void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

protected:
  // Called after a change of AItem, or of the whole collection (nil). The
  // base does nothing.
  virtual void Update(TCollectionItem* /*AItem*/) {}
  virtual void Notify(TCollectionItem* /*AItem*/, TCollectionNotification /*AAction*/) {}
  // Runs `Update` unless an update bracket is open.
  void Changed();

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* AItem);
  void RemoveItem(TCollectionItem* AItem);
  void ItemChanged(TCollectionItem* AItem);

  TItemFactory FItemFactory;
  TPersistent* FOwner;
  std::vector<TCollectionItem*> FItems;
  int FNextID = 0;
  int FUpdateCount = 0;
};

// A collection of items of the class T (derived from TCollectionItem and
// made from the collection alone).
template <typename T> class TCollectionOf : public TCollection {
public:
  explicit TCollectionOf(TPersistent* AOwner = nullptr)
      : TCollection([](TCollection* ACollection) { return new T(ACollection); }, AOwner) {}
  T* Add() { return static_cast<T*>(TCollection::Add()); }
  T* Insert(int AIndex) { return static_cast<T*>(TCollection::Insert(AIndex)); }
  T* Items(int AIndex) const { return static_cast<T*>(TCollection::Items(AIndex)); }
};
