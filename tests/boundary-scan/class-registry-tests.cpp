// The registry of component classes with categories and the packaged
// collections that drop the items of a design group.

#include "class-registry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const TDCClassInfo kBase{L"TTestBase", nullptr};
const TDCClassInfo kDerived{L"TTestDerived", &kBase};
const TDCClassInfo kOther{L"TTestOther", nullptr};
const TDCClassInfo kField{L"TTestField", nullptr};

TEST(ClassItems, RegisteringAddsOnceAndMergesCategories) {
  TClassItems items;
  TClassItem* first = items.RegisterClass(&kBase, {icField});
  TClassItem* again = items.RegisterClass(&kBase, {icNoIcon});
  EXPECT_EQ(first, again);
  EXPECT_EQ(items.Count(), 1);
  EXPECT_EQ(first->Categories, (TClassItemCats{icField, icNoIcon}));
  EXPECT_EQ(first->Categories.Bits, 0b0110);
  items.UpdateClassCategory(&kBase, {icShowinPalette}, {icField});
  EXPECT_EQ(first->Categories, (TClassItemCats{icNoIcon, icShowinPalette}));
  items.UpdateClassCategory(&kOther, {icField}, {}); // not registered: nothing
  EXPECT_EQ(items.FindItem(&kOther), nullptr);
  items.RegisterClass(&kOther, {});
  items.UpdateAllClassesCategories({icNonActiveX}, {icShowinPalette});
  EXPECT_EQ(first->Categories, (TClassItemCats{icNoIcon, icNonActiveX}));
  EXPECT_EQ(items.FindItem(&kOther)->Categories, (TClassItemCats{icNonActiveX}));
  items.UpdateClassesCategory({&kBase, &kOther}, {icField}, {icNonActiveX});
  EXPECT_EQ(items.FindItem(&kOther)->Categories, (TClassItemCats{icField}));
}

TEST(ClassItems, FieldClassesInItemOrder) {
  TClassItems items;
  items.RegisterClass(&kField, {icField});
  items.RegisterClass(&kOther, {icNoIcon});
  items.RegisterClass(&kBase, {icField, icShowinPalette});
  std::vector<TDCClass> list = {&kOther};
  items.ListFieldClasses(list);
  EXPECT_EQ(list, (std::vector<TDCClass>{&kField, &kBase}));
}

TEST(ClassItems, TheFirstItemAClassDescendsFromDecidesItsIcon) {
  TClassItems items;
  EXPECT_TRUE(items.IsIconClass(&kDerived)); // nothing registered
  items.RegisterClass(&kBase, {icNoIcon});
  EXPECT_FALSE(items.IsIconClass(&kBase));
  EXPECT_FALSE(items.IsIconClass(&kDerived));
  EXPECT_TRUE(items.IsIconClass(&kOther));
  items.RegisterClass(&kDerived, {}); // later in order: the base item still decides
  EXPECT_FALSE(items.IsIconClass(&kDerived));
  items.UpdateClassCategory(&kBase, {}, {icNoIcon});
  EXPECT_TRUE(items.IsIconClass(&kDerived));
}

// A collection that answers a message when told to.
class TAnswering : public TPackagedCollection {
public:
  explicit TAnswering(std::intptr_t AAnswer) : TPackagedCollection(nullptr), FAnswer(AAnswer) {}
  void Dispatch(TDCMessage& AMessage) override {
    TPackagedCollection::Dispatch(AMessage);
    if (AMessage.Msg == 0x7000) {
      ++Calls;
      AMessage.Result = FAnswer;
    }
  }
  int Calls = 0;

private:
  std::intptr_t FAnswer;
};

TEST(PackagedCollections, BroadcastGoesLastFirstAndMayStopAtAnAnswer) {
  TAnswering first(0), answering(1), last(0);
  EXPECT_FALSE(BroadcastToPackagedCollections(0x7000, 0, 0, true));
  EXPECT_EQ(last.Calls, 1);
  EXPECT_EQ(answering.Calls, 1);
  EXPECT_EQ(first.Calls, 0);
  EXPECT_TRUE(BroadcastToPackagedCollections(0x7000, 0, 0, false));
  EXPECT_EQ(first.Calls, 1);
}

TEST(PackagedCollections, NoCollectionAnsweringAnswersTrue) {
  TAnswering quiet(0);
  EXPECT_TRUE(BroadcastToPackagedCollections(0x7000, 0, 0, true));
  EXPECT_EQ(quiet.Calls, 1);
}

TEST(PackagedCollections, ItemsOfADesignGroupAreDropped) {
  TPackagedCollection collection(nullptr);
  CurrentDesignGroup = 3;
  collection.Add();
  CurrentDesignGroup = 4;
  TPackagedCollectionItem* kept = collection.Add();
  CurrentDesignGroup = 3;
  collection.Add();
  CurrentDesignGroup = 0;
  EXPECT_EQ(collection.Last()->DesignGroup, 3);
  EXPECT_TRUE(BroadcastToPackagedCollections(PCM_DeleteDesignGroupItems, 3, 0, false));
  ASSERT_EQ(collection.Count(), 1);
  EXPECT_EQ(collection.Items(0), kept);
  collection.DeleteItems(4);
  EXPECT_EQ(collection.Last(), nullptr);
}

TEST(RegistrationHandlers, RegisterByNameAndCategoryWithPageAndAreas) {
  // Registered for the process's life.
  static const TDCClassInfo panel{L"TTestPanel", nullptr};
  static const TDCClassInfo hidden{L"TTestHidden", nullptr};
  CurrentAreas = L"VCL, clx";
  RegisterComponentsHandler(L"Parsers", {&panel});
  CurrentAreas = L"vcl,Web";
  RegisterNoIconHandler({&panel, &hidden});
  RegisterNonActiveXHandler({&hidden}, 0);
  CurrentAreas.clear();
  TClassItem* item = GetClassItems().FindItem(&panel);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Categories, (TClassItemCats{icShowinPalette, icNoIcon}));
  EXPECT_EQ(item->PalettePage, L"Parsers");
  EXPECT_EQ(item->Areas, L"VCL,clx,Web");
  EXPECT_EQ(GetClassItems().FindItem(&hidden)->Categories,
            (TClassItemCats{icNoIcon, icNonActiveX}));
  EXPECT_EQ(GetClassItems().FindItem(&hidden)->PalettePage, L"");
  EXPECT_FALSE(GetClassItems().IsIconClass(&panel));
  EXPECT_EQ(FindRegisteredClass(L"ttestpanel"), &panel);
}

TEST(RegistrationHandlers, AreasMergeIgnoringCase) {
  EXPECT_EQ(MergeAreas(L"a, B", L"b,c, ,A,d"), L"a,B,c,d");
  EXPECT_EQ(MergeAreas(L"", L""), L"");
}

} // namespace
