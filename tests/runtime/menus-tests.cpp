#include "menus.h"

#include "application.h"
#include "image-lists.h"
#include "resource-ledger.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// One entry of a shown menu as the system holds it.
struct TShownItem {
  std::wstring Text;
  bool Checked;
  bool Grayed;
  bool Separator;
  int Depth;
};

// Stands in for the person: reads the built menu and picks the entry whose
// text is Pick (an empty Pick chooses nothing).
class TPickingPopup : public TPopupMenuSeam {
public:
  std::wstring Pick;
  std::vector<TShownItem> Shown;
  UINT Flags = 0;
  POINT At{};
  HWND Owner = nullptr;
  size_t MenusWhileShown = 0;

  UINT Track(HMENU AMenu, UINT AFlags, int AX, int AY, HWND AOwner) override {
    Flags = AFlags;
    At = {AX, AY};
    Owner = AOwner;
    Shown.clear();
    MenusWhileShown = TResourceLedger::Count(TResourceKind::Menu);
    return Read(AMenu, 0);
  }

private:
  UINT Read(HMENU AMenu, int ADepth) {
    UINT chosen = 0;
    for (int i = 0; i < GetMenuItemCount(AMenu); ++i) {
      wchar_t text[128] = {};
      GetMenuStringW(AMenu, UINT(i), text, 128, MF_BYPOSITION);
      const UINT state = GetMenuState(AMenu, UINT(i), MF_BYPOSITION);
      Shown.push_back({text, (state & MF_CHECKED) != 0, (state & MF_GRAYED) != 0,
                       (state & MF_SEPARATOR) != 0, ADepth});
      if (HMENU sub = GetSubMenu(AMenu, i)) {
        if (UINT c = Read(sub, ADepth + 1))
          chosen = c;
      } else if (!Pick.empty() && Pick == text) {
        chosen = GetMenuItemID(AMenu, i);
      }
    }
    return chosen;
  }
};

class MenuTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { Application(); }
  void SetUp() override { Baseline = TResourceLedger::Total(); }
  void TearDown() override {
    Popup.reset();
    EXPECT_EQ(TResourceLedger::Total(), Baseline) << "every handle went back";
  }

  TMenuItem* AddItem(TMenuItem* AParent, const std::wstring& ACaption) {
    auto* item = new TMenuItem(Popup.get());
    item->SetCaption(ACaption);
    item->OnClick = [this](TMenuItem* ASender) { Clicked.push_back(ASender); };
    AParent->Add(item);
    return item;
  }

  TPickingPopup Picker;
  TSeamScope<TPopupMenuSeam> Scope{Picker};
  std::unique_ptr<TPopupMenu> Popup = std::make_unique<TPopupMenu>(nullptr);
  std::vector<TMenuItem*> Clicked;
  size_t Baseline = 0;
};

TEST_F(MenuTest, PopupShowsTheVisibleItemsWithTheirStatesAndShortCuts) {
  TMenuItem* save = AddItem(Popup->Items(), L"&Save");
  save->SetShortCut(ShortCut('S', scCtrl));
  AddItem(Popup->Items(), L"-");
  AddItem(Popup->Items(), L"Hidden")->SetVisible(false);
  AddItem(Popup->Items(), L"Grey")->SetEnabled(false);
  TMenuItem* view = AddItem(Popup->Items(), L"View");
  AddItem(view, L"Ticked")->SetChecked(true);
  Popup->Popup(100, 120);
  ASSERT_EQ(Picker.Shown.size(), 5u);
  const TShownItem expected[] = {
      {L"&Save\tCtrl+S", false, false, false, 0}, {L"", false, false, true, 0},
      {L"Grey", false, true, false, 0},           {L"View", false, false, false, 0},
      {L"Ticked", true, false, false, 1},
  };
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Picker.Shown[i].Text, expected[i].Text);
    EXPECT_EQ(Picker.Shown[i].Checked, expected[i].Checked);
    if (!expected[i].Separator) {
      EXPECT_EQ(Picker.Shown[i].Grayed, expected[i].Grayed);
    }
    EXPECT_EQ(Picker.Shown[i].Separator, expected[i].Separator);
    EXPECT_EQ(Picker.Shown[i].Depth, expected[i].Depth);
  }
  EXPECT_EQ(Picker.At.x, 100);
  EXPECT_EQ(Picker.At.y, 120);
  EXPECT_EQ(Picker.Owner, Application()->Handle());
  EXPECT_EQ(Picker.MenusWhileShown, 2u) << "the menu and its submenu";
  EXPECT_TRUE(Clicked.empty()) << "nothing was chosen";
}

TEST_F(MenuTest, ChosenItemIsClickedWithItsTagAfterTheMenuIsGone) {
  AddItem(Popup->Items(), L"One");
  TMenuItem* nested = AddItem(AddItem(Popup->Items(), L"More"), L"Two");
  nested->SetTag(42);
  size_t menusAtClick = 99;
  nested->OnClick = [&](TMenuItem* ASender) {
    Clicked.push_back(ASender);
    menusAtClick = TResourceLedger::Count(TResourceKind::Menu);
  };
  bool popupEvent = false;
  Popup->OnPopup = [&](TPopupMenu* ASender) { popupEvent = ASender == Popup.get(); };
  Picker.Pick = L"Two";
  Popup->Popup(0, 0);
  EXPECT_TRUE(popupEvent);
  ASSERT_EQ(Clicked.size(), 1u);
  EXPECT_EQ(Clicked[0]->Tag(), 42);
  EXPECT_EQ(menusAtClick, 0u);
}

TEST_F(MenuTest, ClickHandlerMayFreeTheMenuItCameFrom) {
  TMenuItem* item = AddItem(Popup->Items(), L"Close");
  item->OnClick = [this](TMenuItem*) { Popup.reset(); };
  Picker.Pick = L"Close";
  TPopupMenu* menu = Popup.get();
  menu->Popup(0, 0);
  EXPECT_EQ(Popup, nullptr);
}

TEST_F(MenuTest, DisabledItemIgnoresClick) {
  TMenuItem* item = AddItem(Popup->Items(), L"Off");
  item->SetEnabled(false);
  item->Click();
  EXPECT_TRUE(Clicked.empty());
}

TEST_F(MenuTest, AlignmentChoosesTheSideAtThePoint) {
  const std::pair<TPopupAlignment, UINT> cases[] = {
      {paLeft, TPM_LEFTALIGN}, {paRight, TPM_RIGHTALIGN}, {paCenter, TPM_CENTERALIGN}};
  AddItem(Popup->Items(), L"Any");
  for (const auto& [alignment, flag] : cases) {
    Popup->SetAlignment(alignment);
    Popup->Popup(5, 5);
    EXPECT_EQ(Picker.Flags & (TPM_LEFTALIGN | TPM_RIGHTALIGN | TPM_CENTERALIGN), flag);
    EXPECT_NE(Picker.Flags & TPM_RETURNCMD, 0u);
  }
}

TEST_F(MenuTest, ClearFreesTheItemsAndAddMovesAnItemBetweenParents) {
  TMenuItem* first = AddItem(Popup->Items(), L"First");
  TMenuItem* second = AddItem(Popup->Items(), L"Second");
  AddItem(second, L"Inner");
  EXPECT_EQ(Popup->ComponentCount(), 3);
  first->Add(second->Items(0));
  EXPECT_EQ(second->Count(), 0);
  EXPECT_EQ(first->Count(), 1);
  EXPECT_EQ(first->Items(0)->Parent(), first);
  EXPECT_THROW(first->Items(0)->Add(first), EMenuError);
  EXPECT_THROW(Popup->Items()->Items(2), EListError);
  Popup->Items()->Clear();
  EXPECT_EQ(Popup->Items()->Count(), 0);
  EXPECT_EQ(Popup->ComponentCount(), 0) << "the items and their items are freed";
}

TEST_F(MenuTest, ItemFreedAloneLeavesItsParent) {
  TMenuItem* item = AddItem(Popup->Items(), L"Gone");
  AddItem(Popup->Items(), L"Stays");
  TComponent::Free(item);
  ASSERT_EQ(Popup->Items()->Count(), 1);
  EXPECT_EQ(Popup->Items()->Items(0)->Caption(), L"Stays");
}

TEST_F(MenuTest, ChangesReachOnChangeAndTheRegisteredLinks) {
  TMenuItem* item = AddItem(Popup->Items(), L"Item");
  std::vector<TMenuItem*> sources;
  Popup->OnChange = [&](TMenu*, TMenuItem* ASource) { sources.push_back(ASource); };
  int linkCalls = 0;
  auto link = std::make_unique<TChangeLink>();
  link->OnChange = [&](TChangeLink*) { ++linkCalls; };
  Popup->RegisterChanges(link.get());
  item->SetCaption(L"Renamed");
  item->SetCaption(L"Renamed");
  item->SetChecked(true);
  ASSERT_EQ(sources.size(), 2u) << "only real changes count";
  EXPECT_EQ(sources[0], item);
  EXPECT_EQ(linkCalls, 2);
  Popup->UnRegisterChanges(link.get());
  item->SetEnabled(false);
  EXPECT_EQ(linkCalls, 2);
  Popup->RegisterChanges(link.get());
  Popup.reset();
  EXPECT_EQ(link->Source(), nullptr) << "the link outlives its menu";
}

TEST_F(MenuTest, MenuForgetsItsImageListWhenTheListIsFreed) {
  auto* images = new TImageList(nullptr);
  Popup->SetImages(images);
  EXPECT_EQ(Popup->Images(), images);
  TComponent::Free(images);
  EXPECT_EQ(Popup->Images(), nullptr);
}

TEST(ShortCutText, NamesModifiersAndKeys) {
  const std::pair<TShortCut, const wchar_t*> cases[] = {
      {ShortCut('S', scCtrl), L"Ctrl+S"}, {ShortCut(VK_F5, scCtrl | scShift), L"Shift+Ctrl+F5"},
      {ShortCut(VK_DELETE, 0), L"Del"},   {ShortCut('1', scAlt), L"Alt+1"},
      {ShortCut(VK_F12, 0), L"F12"},      {scNone, L""},
  };
  for (const auto& [shortCut, text] : cases)
    EXPECT_EQ(ShortCutToText(shortCut), text);
}

} // namespace
