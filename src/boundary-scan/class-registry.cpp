#include "class-registry.h"

#include "parser-utils.h"

#include <algorithm>
#include <mutex>

std::uint32_t CurrentPackageHandle = 0;
std::int32_t CurrentDesignGroup = 0;
std::wstring CurrentAreas;

namespace {

// The enrolled collections, made on first use.
std::vector<TPackagedCollection*>& PackagedCollections() {
  static std::vector<TPackagedCollection*> list;
  return list;
}

std::vector<TDCClass>& NamedClasses() {
  static std::vector<TDCClass> list;
  return list;
}

std::mutex& NamedClassesLock() {
  static std::mutex lock;
  return lock;
}

std::vector<std::wstring> SplitCommaList(const std::wstring& AText) {
  std::vector<std::wstring> items;
  std::size_t start = 0;
  while (start <= AText.size()) {
    std::size_t comma = AText.find(L',', start);
    if (comma == std::wstring::npos)
      comma = AText.size();
    const std::wstring item = TrimText(AText.substr(start, comma - start));
    if (!item.empty())
      items.push_back(item);
    start = comma + 1;
  }
  return items;
}

void RegisterWithCategory(const std::vector<TDCClass>& AClasses, TClassItemCat ACategory,
                          const std::wstring& APage) {
  for (TDCClass c : AClasses) {
    if (!c)
      continue;
    RegisterClassOnce(c);
    TClassItem* item = GetClassItems().RegisterClass(c, {ACategory});
    if (item->PalettePage.empty())
      item->PalettePage = APage;
    item->Areas = MergeAreas(item->Areas, CurrentAreas);
  }
  BroadcastToPackagedCollections(PCM_ClassesRegistered, 0, 0, false);
}

} // namespace

// ---- Packaged collections ----------------------------------------------------

TPackagedCollection::TPackagedCollection(TItemClass AItemClass)
    : FItemClass(std::move(AItemClass)) {
  auto& list = PackagedCollections();
  std::erase(list, this);
  list.push_back(this);
}

TPackagedCollection::~TPackagedCollection() {
  std::erase(PackagedCollections(), this);
}

TPackagedCollectionItem* TPackagedCollection::Add() {
  std::unique_ptr<TPackagedCollectionItem> item =
      FItemClass ? FItemClass() : std::make_unique<TPackagedCollectionItem>();
  item->PackageHandle = CurrentPackageHandle;
  item->DesignGroup = CurrentDesignGroup;
  FItems.push_back(std::move(item));
  return FItems.back().get();
}

TPackagedCollectionItem* TPackagedCollection::Last() const {
  return FItems.empty() ? nullptr : FItems.back().get();
}

void TPackagedCollection::DeleteItems(std::int32_t ADesignGroup) {
  for (std::size_t i = FItems.size(); i-- > 0;)
    if (FItems[i]->DesignGroup == ADesignGroup)
      FItems.erase(FItems.begin() + std::ptrdiff_t(i));
}

void TPackagedCollection::Dispatch(TDCMessage& AMessage) {
  if (AMessage.Msg == PCM_DeleteDesignGroupItems)
    DeleteItems(std::int32_t(AMessage.WParam));
}

bool BroadcastToPackagedCollections(std::uint32_t AMsg, std::intptr_t AWParam,
                                    std::intptr_t ALParam, bool AStopOnAnswer) {
  auto& list = PackagedCollections();
  std::size_t i = list.size();
  while (i > 0) {
    --i;
    TDCMessage message{AMsg, AWParam, ALParam, 0};
    list[i]->Dispatch(message);
    if (AStopOnAnswer && message.Result != 0)
      return false;
    // A collection may leave the list while it is told.
    i = std::min(i, list.size());
  }
  return true;
}

// ---- Class items ---------------------------------------------------------------

TClassItems::TClassItems() : TPackagedCollection([] { return std::make_unique<TClassItem>(); }) {}

TClassItem* TClassItems::ClassItems(std::int32_t AIndex) const {
  return static_cast<TClassItem*>(Items(AIndex));
}

TClassItem* TClassItems::FindItem(TDCClass C) const {
  for (std::int32_t i = 0; i < Count(); ++i)
    if (ClassItems(i)->ClassPtr == C)
      return ClassItems(i);
  return nullptr;
}

TClassItem* TClassItems::RegisterClass(TDCClass AClassPtr, TClassItemCats ACategories) {
  TClassItem* item = FindItem(AClassPtr);
  if (!item)
    item = static_cast<TClassItem*>(Add());
  item->Categories = item->Categories + ACategories;
  item->ClassPtr = AClassPtr;
  return item;
}

void TClassItems::UpdateClassCategory(TDCClass C, TClassItemCats AAddCats,
                                      TClassItemCats ARemoveCats) {
  if (TClassItem* item = FindItem(C))
    item->Categories = (item->Categories + AAddCats) - ARemoveCats;
}

void TClassItems::UpdateClassesCategory(const std::vector<TDCClass>& AClasses,
                                        TClassItemCats AAddCats, TClassItemCats ARemoveCats) {
  for (TDCClass c : AClasses)
    UpdateClassCategory(c, AAddCats, ARemoveCats);
}

void TClassItems::UpdateAllClassesCategories(TClassItemCats AAddCats, TClassItemCats ARemoveCats) {
  for (std::int32_t i = 0; i < Count(); ++i)
    ClassItems(i)->Categories = (ClassItems(i)->Categories + AAddCats) - ARemoveCats;
}

void TClassItems::ListFieldClasses(std::vector<TDCClass>& L) const {
  L.clear();
  for (std::int32_t i = 0; i < Count(); ++i)
    if (ClassItems(i)->Categories.Contains(icField))
      L.push_back(ClassItems(i)->ClassPtr);
}

bool TClassItems::IsIconClass(TDCClass c) const {
  if (!c)
    return true;
  for (std::int32_t i = 0; i < Count(); ++i) {
    const TClassItem* item = ClassItems(i);
    if (item->ClassPtr && c->InheritsFrom(item->ClassPtr))
      return !item->Categories.Contains(icNoIcon);
  }
  return true;
}

TClassItems& GetClassItems() {
  static TClassItems items;
  return items;
}

std::wstring MergeAreas(const std::wstring& AAreas, const std::wstring& AMore) {
  std::vector<std::wstring> items = SplitCommaList(AAreas);
  for (const std::wstring& item : SplitCommaList(AMore)) {
    const bool present = std::any_of(items.begin(), items.end(), [&](const std::wstring& AOld) {
      return SameTextAscii(AOld, item);
    });
    if (!present)
      items.push_back(item);
  }
  std::wstring result;
  for (const std::wstring& item : items)
    result += (result.empty() ? L"" : L",") + item;
  return result;
}

void RegisterComponentsHandler(const std::wstring& APage, const std::vector<TDCClass>& AClasses) {
  RegisterWithCategory(AClasses, icShowinPalette, APage);
}

void RegisterNoIconHandler(const std::vector<TDCClass>& AClasses) {
  RegisterWithCategory(AClasses, icNoIcon, L"");
}

void RegisterNonActiveXHandler(const std::vector<TDCClass>& AClasses, std::int32_t) {
  RegisterWithCategory(AClasses, icNonActiveX, L"");
}

// ---- Classes by name -------------------------------------------------------------

void RegisterClassOnce(TDCClass AClass) {
  if (!AClass || !AClass->ClassName)
    return;
  try {
    std::lock_guard<std::mutex> guard(NamedClassesLock());
    if (FindRegisteredClass(AClass->ClassName))
      return;
    NamedClasses().push_back(AClass);
  } catch (...) {
    // Registering is a convenience for loading by name: never a failure.
  }
}

TDCClass FindRegisteredClass(const std::wstring& AClassName) {
  for (TDCClass c : NamedClasses())
    if (SameTextAscii(c->ClassName, AClassName))
      return c;
  return nullptr;
}
