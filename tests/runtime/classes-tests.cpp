#include "classes.h"
#include "rtl-exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using TLog = std::vector<std::wstring>;

// A component that writes what happens to it into a shared log.
class TProbe : public TComponent {
public:
  TProbe(TComponent* AOwner, const std::wstring& AName, TLog& ALog)
      : TComponent(AOwner), FLog(ALog) {
    SetName(AName);
  }
  ~TProbe() override { FLog.push_back(L"free " + Name()); }
  std::wstring ClassName() const override { return L"TProbe"; }

  void Loaded() override {
    TComponent::Loaded();
    // What a descendant sees in its Loaded: reading is over, and the base
    // has already cleared loading.
    FLog.push_back(L"loaded " + Name() +
                   (ComponentState().Contains(csReading) ? L" reading" : L"") +
                   (ComponentState().Contains(csLoading) ? L" loading" : L""));
    if (OnLoaded)
      OnLoaded();
  }

  std::function<void()> OnLoaded;
  std::function<void(TComponent*, TOperation)> OnNotification;

protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override {
    TComponent::Notification(AComponent, AOperation);
    // The other component's own class name: it must still be whole.
    FLog.push_back(Name() +
                   (AOperation == opRemove ? L" hears removal of " : L" hears insert of ") +
                   AComponent->Name() + L" (" + AComponent->ClassName() +
                   (AComponent->ComponentState().Contains(csDestroying) ? L", destroying)" : L")"));
    if (OnNotification)
      OnNotification(AComponent, AOperation);
  }

private:
  TLog& FLog;
};

bool Contains(const TLog& ALog, const std::wstring& AEntry) {
  return std::find(ALog.begin(), ALog.end(), AEntry) != ALog.end();
}

TLog Matching(const TLog& ALog, const std::wstring& APrefix) {
  TLog result;
  for (const auto& entry : ALog)
    if (entry.rfind(APrefix, 0) == 0)
      result.push_back(entry);
  return result;
}

// --- Ownership ---------------------------------------------------------------

TEST(ComponentOwnership, FreeingAnOwnerFreesWhatItOwnsLastInsertedFirst) {
  TLog log;
  auto* owner = new TProbe(nullptr, L"Owner", log);
  new TProbe(owner, L"A", log);
  auto* b = new TProbe(owner, L"B", log);
  new TProbe(b, L"B1", log);
  new TProbe(owner, L"C", log);
  ASSERT_EQ(owner->ComponentCount(), 3);

  TComponent::Free(owner);

  EXPECT_EQ(Matching(log, L"free "),
            (TLog{L"free Owner", L"free C", L"free B", L"free B1", L"free A"}));
}

TEST(ComponentOwnership, WatchersHearOfAFreedComponentWhileItIsStillWhole) {
  TLog log;
  auto watcher = std::make_unique<TProbe>(nullptr, L"Watcher", log);
  auto* target = new TProbe(nullptr, L"Target", log);
  target->FreeNotification(watcher.get());
  target->FreeNotification(watcher.get()); // linked once

  TComponent::Free(target);

  EXPECT_EQ(Matching(log, L"Watcher"),
            TLog{L"Watcher hears removal of Target (TProbe, destroying)"});
}

TEST(ComponentOwnership, FreeingAnOwnerTellsTheWatchersOfEveryOwnedComponent) {
  TLog log;
  auto watcher = std::make_unique<TProbe>(nullptr, L"Watcher", log);
  auto* owner = new TProbe(nullptr, L"Owner", log);
  auto* child = new TProbe(owner, L"Child", log);
  auto* grandchild = new TProbe(child, L"Grandchild", log);
  child->FreeNotification(watcher.get());
  grandchild->FreeNotification(watcher.get());

  TComponent::Free(owner);

  EXPECT_TRUE(Contains(log, L"Watcher hears removal of Child (TProbe, destroying)"));
  EXPECT_TRUE(Contains(log, L"Watcher hears removal of Grandchild (TProbe, destroying)"));
}

TEST(ComponentOwnership, DeleteAloneStillTellsTheWatchers) {
  TLog log;
  auto watcher = std::make_unique<TProbe>(nullptr, L"Watcher", log);
  auto* target = new TProbe(nullptr, L"Target", log);
  target->FreeNotification(watcher.get());

  delete target;

  ASSERT_EQ(Matching(log, L"Watcher").size(), 1u);
  EXPECT_NE(Matching(log, L"Watcher")[0].find(L"removal of Target"), std::wstring::npos);
}

TEST(ComponentOwnership, AWatcherFreedFirstIsForgottenByWhatItWatched) {
  TLog log;
  auto* target = new TProbe(nullptr, L"Target", log);
  auto* watcher = new TProbe(nullptr, L"Watcher", log);
  target->FreeNotification(watcher);

  // The link works both ways: the target hears of the watcher's end and
  // drops it, so freeing the target afterwards calls nothing that is gone.
  TComponent::Free(watcher);
  EXPECT_TRUE(Contains(log, L"Target hears removal of Watcher (TProbe, destroying)"));
  log.clear();
  TComponent::Free(target);
  EXPECT_EQ(log, TLog{L"free Target"});
}

TEST(ComponentOwnership, RemoveFreeNotificationEndsTheLink) {
  TLog log;
  auto watcher = std::make_unique<TProbe>(nullptr, L"Watcher", log);
  auto* target = new TProbe(nullptr, L"Target", log);
  target->FreeNotification(watcher.get());
  target->RemoveFreeNotification(watcher.get());

  TComponent::Free(target);

  EXPECT_TRUE(Matching(log, L"Watcher").empty());
}

TEST(ComponentOwnership, SiblingsHearOfInsertsAndOfAComponentFreedAlone) {
  TLog log;
  auto owner = std::make_unique<TProbe>(nullptr, L"Owner", log);
  auto* a = new TProbe(owner.get(), L"A", log);
  (void)a;
  log.clear();
  // Siblings hear of a component as it comes in and as it goes; by then it
  // is only partly made or partly gone, so they may compare it and read its
  // name, not more.
  auto* b = new TProbe(owner.get(), L"", log);
  EXPECT_EQ(Matching(log, L"A hears insert of ").size(), 1u);
  b->SetName(L"B");
  log.clear();

  TComponent::Free(b);

  EXPECT_EQ(Matching(log, L"A hears removal of B (").size(), 1u);
  EXPECT_EQ(Matching(log, L"Owner hears removal of B (").size(), 1u);
  EXPECT_EQ(owner->ComponentCount(), 1);
}

TEST(ComponentOwnership, InsertingIntoAnotherOwnerMovesTheComponent) {
  TLog log;
  auto first = std::make_unique<TProbe>(nullptr, L"First", log);
  auto second = std::make_unique<TProbe>(nullptr, L"Second", log);
  auto* item = new TProbe(first.get(), L"Item", log);

  second->InsertComponent(item);

  EXPECT_EQ(item->Owner(), second.get());
  EXPECT_EQ(first->ComponentCount(), 0);
  EXPECT_EQ(second->FindComponent(L"ITEM"), item);
  EXPECT_EQ(item->ComponentIndex(), 0);
}

TEST(ComponentOwnership, ComponentIndexReordersTheOwnersList) {
  TLog log;
  auto owner = std::make_unique<TProbe>(nullptr, L"Owner", log);
  auto* a = new TProbe(owner.get(), L"A", log);
  auto* b = new TProbe(owner.get(), L"B", log);
  auto* c = new TProbe(owner.get(), L"C", log);

  c->SetComponentIndex(0);

  EXPECT_EQ(owner->Components(0), c);
  EXPECT_EQ(owner->Components(1), a);
  EXPECT_EQ(owner->Components(2), b);
  EXPECT_THROW(owner->Components(3), EListError);
}

// --- Names -------------------------------------------------------------------

TEST(ComponentNames, NamesMustBeIdentifiers) {
  struct TCase {
    const wchar_t* Name;
    bool Valid;
  };
  const TCase cases[] = {{L"Edit1", true},  {L"_hidden", true}, {L"", true},
                         {L"1Edit", false}, {L"Edit 1", false}, {L"Edit-1", false},
                         {L"Edit.1", false}};
  TLog log;
  for (const auto& c : cases) {
    TProbe probe(nullptr, L"", log);
    if (c.Valid)
      EXPECT_NO_THROW(probe.SetName(c.Name)) << std::wstring(c.Name).size();
    else
      EXPECT_THROW(probe.SetName(c.Name), EComponentError);
  }
}

TEST(ComponentNames, ANameTakenInTheOwnerRaisesIgnoringCase) {
  TLog log;
  auto owner = std::make_unique<TProbe>(nullptr, L"Form", log);
  auto* first = new TProbe(owner.get(), L"Button", log);
  auto* second = new TProbe(owner.get(), L"Other", log);

  EXPECT_THROW(second->SetName(L"BUTTON"), EComponentError);
  EXPECT_EQ(second->Name(), L"Other");
  EXPECT_NO_THROW(first->SetName(L"BUTTON")); // its own name in another case
  EXPECT_EQ(owner->FindComponent(L"button"), first);

  // The same name under another owner is no clash, but bringing it over is.
  auto other = std::make_unique<TProbe>(nullptr, L"Other", log);
  auto* twin = new TProbe(other.get(), L"Button", log);
  EXPECT_THROW(owner->InsertComponent(twin), EComponentError);
  EXPECT_EQ(twin->Owner(), other.get());
}

// --- Loading -----------------------------------------------------------------

TEST(ComponentLoading, LoadedRunsOncePerComponentAfterTheBracketEnds) {
  TLog log;
  auto root = std::make_unique<TProbe>(nullptr, L"Root", log);
  auto* a = new TProbe(root.get(), L"A", log);
  {
    TComponentLoading loading(root.get());
    EXPECT_TRUE(a->ComponentState().Contains(csLoading));
    EXPECT_TRUE(a->ComponentState().Contains(csReading));
    // A component a reader makes inside the bracket joins it.
    auto* b = new TProbe(a, L"B", log);
    EXPECT_TRUE(b->ComponentState().Contains(csLoading));
    EXPECT_TRUE(Matching(log, L"loaded").empty());

    loading.End();
    loading.End(); // ending twice runs nothing more
  }
  EXPECT_EQ(Matching(log, L"loaded"), (TLog{L"loaded Root", L"loaded A", L"loaded B"}));
  EXPECT_TRUE(root->ComponentState().Empty());
  EXPECT_TRUE(a->ComponentState().Empty());
}

TEST(ComponentLoading, NestedBracketsRunLoadedOnlyOnce) {
  TLog log;
  auto root = std::make_unique<TProbe>(nullptr, L"Root", log);
  auto* frame = new TProbe(root.get(), L"Frame", log);
  TComponentLoading outer(root.get());
  {
    TComponentLoading inner(frame);
    inner.End();
  }
  EXPECT_TRUE(Matching(log, L"loaded").empty());
  EXPECT_TRUE(frame->ComponentState().Contains(csLoading));

  outer.End();

  EXPECT_EQ(Matching(log, L"loaded"), (TLog{L"loaded Root", L"loaded Frame"}));
}

TEST(ComponentLoading, AComponentFreedBeforeItsTurnLeavesTheBracket) {
  TLog log;
  auto root = std::make_unique<TProbe>(nullptr, L"Root", log);
  auto* a = new TProbe(root.get(), L"A", log);
  auto* b = new TProbe(root.get(), L"B", log);
  auto* c = new TProbe(root.get(), L"C", log);
  TComponentLoading loading(root.get());
  TComponent::Free(c);                        // freed while reading
  a->OnLoaded = [&] { TComponent::Free(b); }; // freed by an earlier Loaded

  loading.End();

  EXPECT_EQ(Matching(log, L"loaded"), (TLog{L"loaded Root", L"loaded A"}));
}

TEST(ComponentLoading, ABracketLeftWithoutEndClearsTheStateWithoutLoaded) {
  TLog log;
  auto root = std::make_unique<TProbe>(nullptr, L"Root", log);
  auto* a = new TProbe(root.get(), L"A", log);
  { TComponentLoading loading(root.get()); }

  EXPECT_TRUE(Matching(log, L"loaded").empty());
  EXPECT_TRUE(a->ComponentState().Empty());
  // Later components join no bracket that is gone.
  auto* b = new TProbe(root.get(), L"B", log);
  EXPECT_TRUE(b->ComponentState().Empty());
}

TEST(ComponentLoading, ALoadedThatRaisesLeavesNoComponentLoading) {
  TLog log;
  auto root = std::make_unique<TProbe>(nullptr, L"Root", log);
  auto* a = new TProbe(root.get(), L"A", log);
  auto* b = new TProbe(root.get(), L"B", log);
  a->OnLoaded = [] { throw EReadError(L"bad property"); };
  {
    TComponentLoading loading(root.get());
    EXPECT_THROW(loading.End(), EReadError);
  }
  EXPECT_TRUE(a->ComponentState().Empty());
  EXPECT_TRUE(b->ComponentState().Empty());
  EXPECT_FALSE(Contains(log, L"loaded B"));
}

// --- Class registry ----------------------------------------------------------

class TRegistered : public TComponent {
public:
  using TComponent::TComponent;
  std::wstring ClassName() const override { return L"TRegistered"; }
};

class TPlainPersistent : public TPersistent {
public:
  std::wstring ClassName() const override { return L"TPlainPersistent"; }
};

TEST(ClassRegistry, ARegisteredClassIsMadeByNameWithItsOwner) {
  TClassRegistry::RegisterOf<TRegistered>(L"TRegistered", L"A registered component");
  TLog log;
  TProbe owner(nullptr, L"Owner", log);

  TComponent* made = TClassRegistry::CreateComponent(L"tregistered", &owner);

  EXPECT_EQ(made->ClassName(), L"TRegistered");
  EXPECT_EQ(made->Owner(), &owner);
  EXPECT_EQ(TClassRegistry::Find(L"TREGISTERED").Description, L"A registered component");
  TClassRegistry::Unregister(L"TRegistered");
}

TEST(ClassRegistry, UnregisteredAndUnknownNamesAreNotFound) {
  TClassRegistry::RegisterOf<TRegistered>(L"TRegistered");
  TClassRegistry::Unregister(L"TRegistered");
  TClassRegistry::Unregister(L"TNeverRegistered"); // harmless

  EXPECT_FALSE(TClassRegistry::IsRegistered(L"TRegistered"));
  EXPECT_THROW(TClassRegistry::Find(L"TRegistered"), EClassNotFound);
  EXPECT_THROW(TClassRegistry::CreateObject(L"TRegistered"), EClassNotFound);
}

TEST(ClassRegistry, ADescriptionOnlyEntryIsFoundButCannotBeMade) {
  TClassRegistry::RegisterDescription(L"TDescribedRow", L"Text row");

  EXPECT_TRUE(TClassRegistry::IsRegistered(L"TDescribedRow"));
  EXPECT_EQ(TClassRegistry::Find(L"TDescribedRow").Description, L"Text row");
  EXPECT_FALSE(TClassRegistry::Find(L"TDescribedRow").Factory);
  EXPECT_THROW(TClassRegistry::CreateObject(L"TDescribedRow"), EClassNotFound);
  TClassRegistry::Unregister(L"TDescribedRow");
}

TEST(ClassRegistry, ANameRegisteredTwiceRaisesAndKeepsTheFirst) {
  TClassRegistry::RegisterOf<TRegistered>(L"TTwice", L"first");
  EXPECT_THROW(TClassRegistry::RegisterOf<TPlainPersistent>(L"TTWICE", L"second"), EComponentError);
  EXPECT_EQ(TClassRegistry::Find(L"TTwice").Description, L"first");
  TClassRegistry::Unregister(L"TTwice");
}

TEST(ClassRegistry, APersistentIsMadeButIsNoComponent) {
  TClassRegistry::RegisterOf<TPlainPersistent>(L"TPlainPersistent");
  std::unique_ptr<TPersistent> object(TClassRegistry::CreateObject(L"TPlainPersistent"));
  EXPECT_EQ(object->ClassName(), L"TPlainPersistent");
  EXPECT_THROW(TClassRegistry::CreateComponent(L"TPlainPersistent", nullptr), EComponentError);
  EXPECT_EQ(TClassRegistry::ClassNames().back(), L"TPlainPersistent");
  TClassRegistry::Unregister(L"TPlainPersistent");
}

// --- Collections ---------------------------------------------------------------

class TBand : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  std::wstring ClassName() const override { return L"TBand"; }
  void Assign(const TPersistent* ASource) override {
    if (auto* band = dynamic_cast<const TBand*>(ASource)) {
      SetWidth(band->FWidth);
      return;
    }
    TCollectionItem::Assign(ASource);
  }
  int Width() const { return FWidth; }
  void SetWidth(int AValue) {
    FWidth = AValue;
    Changed(false);
  }

private:
  int FWidth = 0;
};

// Records what the collection reports.
class TBands : public TCollectionOf<TBand> {
public:
  using TCollectionOf<TBand>::TCollectionOf;
  TLog Log;

protected:
  void Update(TCollectionItem* AItem) override {
    Log.push_back(AItem ? L"update " + std::to_wstring(AItem->ID()) : L"update all");
  }
  void Notify(TCollectionItem* AItem, TCollectionNotification AAction) override {
    static const wchar_t* names[] = {L"added ", L"extracting ", L"deleting "};
    Log.push_back(names[AAction] + std::to_wstring(AItem->ID()));
  }
};

TEST(Collection, ItemIdsAreNeverReusedAndFindTheirItem) {
  TBands bands;
  bands.Add();
  TBand* second = bands.Add();
  bands.Add();
  bands.Delete(2);
  TBand* fourth = bands.Add();

  EXPECT_EQ(second->ID(), 1);
  EXPECT_EQ(fourth->ID(), 3);
  EXPECT_EQ(bands.FindItemID(3), fourth);
  EXPECT_EQ(bands.FindItemID(2), nullptr);
  EXPECT_EQ(fourth->Index(), 2);
}

TEST(Collection, AnUpdateBracketReportsOnceForAllItems) {
  TBands bands;
  TBand* band = bands.Add();
  bands.Log.clear();
  band->SetWidth(10);
  EXPECT_EQ(bands.Log, TLog{L"update 0"});

  bands.Log.clear();
  bands.BeginUpdate();
  band->SetWidth(20);
  bands.Add();
  bands.BeginUpdate();
  bands.EndUpdate();
  EXPECT_EQ(bands.Log, TLog{L"added 1"});
  bands.EndUpdate();
  EXPECT_EQ(bands.Log, (TLog{L"added 1", L"update all"}));
}

TEST(Collection, SetIndexMovesAnItemAndKeepsItsId) {
  TBands bands;
  TBand* a = bands.Add();
  TBand* b = bands.Add();
  TBand* c = bands.Add();

  c->SetIndex(0);

  EXPECT_EQ(bands.Items(0), c);
  EXPECT_EQ(bands.Items(1), a);
  EXPECT_EQ(bands.Items(2), b);
  EXPECT_EQ(c->ID(), 2);
  EXPECT_THROW(c->SetIndex(3), EListError);
  EXPECT_THROW(bands.Items(-1), EListError);
}

TEST(Collection, AnItemFreedAloneLeavesItsCollection) {
  TBands bands;
  bands.Add();
  TBand* b = bands.Add();
  bands.Log.clear();

  delete b;

  EXPECT_EQ(bands.Count(), 1);
  EXPECT_EQ(bands.Log, (TLog{L"extracting 1", L"update all"}));
}

TEST(Collection, AnItemMovedToAnotherCollectionGetsThatCollectionsId) {
  TBands first;
  TBands second;
  second.Add();
  second.Add();
  TBand* band = first.Add();

  band->SetCollection(&second);

  EXPECT_EQ(first.Count(), 0);
  EXPECT_EQ(band->Collection(), &second);
  EXPECT_EQ(band->ID(), 2);
}

TEST(Collection, AssignCopiesEveryItemThroughItsAssign) {
  TBands source;
  source.Add()->SetWidth(30);
  source.Add()->SetWidth(40);
  TBands dest;
  dest.Add()->SetWidth(99);
  dest.Log.clear();

  dest.Assign(&source);

  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest.Items(0)->Width(), 30);
  EXPECT_EQ(dest.Items(1)->Width(), 40);
  // One report at the end of the copy, not one per change.
  EXPECT_EQ(std::count(dest.Log.begin(), dest.Log.end(), L"update all"), 1);
  TPlainPersistent other;
  EXPECT_THROW(dest.Assign(&other), EConvertError);
}

TEST(Collection, ItemsNameThemselvesFromTheirOwnersDown) {
  TLog log;
  TProbe grid(nullptr, L"Grid", log);
  TBands bands(&grid);
  bands.Add();
  TBand* band = bands.Add();

  EXPECT_EQ(band->GetOwner(), &bands);
  EXPECT_EQ(bands.GetOwner(), &grid);
  EXPECT_EQ(band->GetNamePath(), L"Grid.TCollection[1]");
  EXPECT_EQ(grid.GetNamePath(), L"Grid");
  TBands loose;
  EXPECT_EQ(loose.Add()->GetNamePath(), L"TCollection[0]");
}

// --- Pointer lists -------------------------------------------------------------

class TLoggingList : public TList {
public:
  TLog Log;

protected:
  void Notify(void* APtr, TListNotification AAction) override {
    static const wchar_t* names[] = {L"added ", L"extracted ", L"deleted "};
    Log.push_back(names[AAction] + std::to_wstring(*static_cast<int*>(APtr)));
  }
};

TEST(PointerList, EntriesComeAndGoThroughNotify) {
  int one = 1, two = 2, three = 3;
  TLoggingList list;
  list.Add(&one);
  list.Add(&two);
  list.Insert(0, &three);
  EXPECT_EQ(list.Extract(&two), &two);
  EXPECT_EQ(list.Remove(&one), 1);
  EXPECT_EQ(list.Remove(&one), -1);
  list.Clear();

  EXPECT_EQ(list.Log,
            (TLog{L"added 1", L"added 2", L"added 3", L"extracted 2", L"deleted 1", L"deleted 3"}));
}

TEST(PointerList, MoveExchangeSortAndPackKeepEveryEntry) {
  int v[] = {3, 1, 2, 1};
  TList list;
  for (int& x : v)
    list.Add(&x);
  list.Add(nullptr);

  list.Pack();
  ASSERT_EQ(list.Count(), 4);
  list.Sort([](void* A, void* B) { return *static_cast<int*>(A) - *static_cast<int*>(B); });
  EXPECT_EQ(list.Item<int>(0), &v[1]); // equal entries keep their order
  EXPECT_EQ(list.Item<int>(1), &v[3]);
  list.Move(0, 3);
  EXPECT_EQ(list.Last(), &v[1]);
  list.Exchange(0, 3);
  EXPECT_EQ(list.First(), &v[1]);
  EXPECT_THROW(list.Get(4), EListError);
  EXPECT_THROW(list.Insert(6, nullptr), EListError);
  EXPECT_THROW(list.Move(0, 4), EListError);
  list.SetCount(6);
  EXPECT_EQ(list.Get(5), nullptr);
}

} // namespace
