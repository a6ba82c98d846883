#pragma once

// The parser support library's registry of component classes with their
// categories, its self-enrolling collections that drop the items of one
// design group, and the registry of classes that can be made by name.
// Plain C++.

#include "dc-component.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The platform headers name a window-class routine RegisterClass; here it
// is the registry's operation.
#ifdef RegisterClass
#undef RegisterClass
#endif

// A message dispatched to the packaged collections.
struct TDCMessage {
  std::uint32_t Msg = 0;
  std::intptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
};
// Asks each collection to drop the items of the design group in WParam.
constexpr std::uint32_t PCM_DeleteDesignGroupItems = 2058;
// Told to every collection after classes were registered.
constexpr std::uint32_t PCM_ClassesRegistered = 2069;

class TPackagedCollectionItem {
public:
  virtual ~TPackagedCollectionItem() = default;
  std::uint32_t PackageHandle = 0;
  std::int32_t DesignGroup = 0;
};

// The package handle and design group new items take: nothing in this
// program sets them, so both are 0 unless a caller does.
extern std::uint32_t CurrentPackageHandle;
extern std::int32_t CurrentDesignGroup;

class TPackagedCollection {
public:
  using TItemClass = std::function<std::unique_ptr<TPackagedCollectionItem>()>;

  // Enrols the collection in the process-wide list (at its end).
  explicit TPackagedCollection(TItemClass AItemClass);
  // Leaves the list.
  virtual ~TPackagedCollection();
  TPackagedCollection(const TPackagedCollection&) = delete;
  TPackagedCollection& operator=(const TPackagedCollection&) = delete;

  TPackagedCollectionItem* Add();
  TPackagedCollectionItem* Last() const;
  std::int32_t Count() const { return std::int32_t(FItems.size()); }
  TPackagedCollectionItem* Items(std::int32_t AIndex) const { return FItems.at(AIndex).get(); }
  // Frees every item of that group, from the last to the first.
  void DeleteItems(std::int32_t ADesignGroup);
  virtual void Dispatch(TDCMessage& AMessage);

protected:
  TItemClass FItemClass;
  std::vector<std::unique_ptr<TPackagedCollectionItem>> FItems;
};

// Dispatches the message to every enrolled collection, from the last to
// the first. With AStopOnAnswer, stops at the first that sets a non-zero
// result and answers False; otherwise True.
bool BroadcastToPackagedCollections(std::uint32_t AMsg, std::intptr_t AWParam,
                                    std::intptr_t ALParam, bool AStopOnAnswer);

enum TClassItemCat : std::uint8_t {
  icNonActiveX = 0,
  icField = 1,
  icNoIcon = 2,
  icShowinPalette = 3
};

// A set of TClassItemCat, one bit each (bit n for value n).
struct TClassItemCats {
  std::uint8_t Bits = 0;

  TClassItemCats() = default;
  TClassItemCats(std::initializer_list<TClassItemCat> ACats) {
    for (TClassItemCat cat : ACats)
      Bits |= std::uint8_t(1u << cat);
  }
  bool Contains(TClassItemCat ACat) const { return (Bits >> ACat) & 1u; }
  friend TClassItemCats operator+(TClassItemCats A, TClassItemCats B) {
    A.Bits |= B.Bits;
    return A;
  }
  friend TClassItemCats operator-(TClassItemCats A, TClassItemCats B) {
    A.Bits &= std::uint8_t(~B.Bits);
    return A;
  }
  bool operator==(const TClassItemCats&) const = default;
};

class TClassItem : public TPackagedCollectionItem {
public:
  TDCClass ClassPtr = nullptr;
  TClassItemCats Categories;
  std::wstring PalettePage;
  std::wstring Areas; // comma-separated
};

class TClassItems : public TPackagedCollection {
public:
  TClassItems();

  // The item of that class, or a new one at the end; adds the categories.
  TClassItem* RegisterClass(TDCClass AClassPtr, TClassItemCats ACategories);
  TClassItem* FindItem(TDCClass C) const;
  TClassItem* ClassItems(std::int32_t AIndex) const;
  void UpdateClassCategory(TDCClass C, TClassItemCats AAddCats, TClassItemCats ARemoveCats);
  void UpdateClassesCategory(const std::vector<TDCClass>& AClasses, TClassItemCats AAddCats,
                             TClassItemCats ARemoveCats);
  void UpdateAllClassesCategories(TClassItemCats AAddCats, TClassItemCats ARemoveCats);
  // Clears L, then the class of every item with icField, in item order.
  void ListFieldClasses(std::vector<TDCClass>& L) const;
  // The first item whose class c is or descends from decides: True unless
  // it has icNoIcon; True when none does.
  bool IsIconClass(TDCClass c) const;
};

// The process-wide registry, made on first use.
TClassItems& GetClassItems();

// The areas text the registration handlers merge into each item (nothing
// in this program sets it).
extern std::wstring CurrentAreas;
// Items of the second comma-separated list missing (ignoring case) from the
// first are appended; the result as comma-separated text.
std::wstring MergeAreas(const std::wstring& AAreas, const std::wstring& AMore);

// The registration handlers: register components on a palette page;
// register classes without a palette icon; register classes excluded from
// ActiveX. Each registers every class once by name and with the registry
// under its category, then tells the packaged collections.
void RegisterComponentsHandler(const std::wstring& APage, const std::vector<TDCClass>& AClasses);
void RegisterNoIconHandler(const std::vector<TDCClass>& AClasses);
void RegisterNonActiveXHandler(const std::vector<TDCClass>& AClasses, std::int32_t AAxRegType);

// Classes that can be found by name (for loading from stored forms).
// Registers the class unless one of that name is registered already.
void RegisterClassOnce(TDCClass AClass);
TDCClass FindRegisteredClass(const std::wstring& AClassName);
