#include "menus.h"

#include "application.h"
#include "image-lists.h"
#include "resource-ledger.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// The picture a shown entry carries: the premultiplied BGRA pixels of its
// bitmap, empty when it has none.
struct TShownPicture {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;
  uint32_t At(int AX, int AY) const { return Pixels[size_t(AY * Width + AX)]; }
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
  size_t GdiObjectsWhileShown = 0;
  std::vector<TShownPicture> Pictures;

  UINT Track(HMENU AMenu, UINT AFlags, int AX, int AY, HWND AOwner) override {
    Flags = AFlags;
    At = {AX, AY};
    Owner = AOwner;
    Shown.clear();
    Pictures.clear();
    MenusWhileShown = TResourceLedger::Count(TResourceKind::Menu);
    GdiObjectsWhileShown = TResourceLedger::Count(TResourceKind::GdiObject);
    return Read(AMenu, 0);
  }

private:
  static TShownPicture PictureOf(HMENU AMenu, int AIndex) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_BITMAP;
    TShownPicture picture;
    DIBSECTION dib{};
    if (!GetMenuItemInfoW(AMenu, UINT(AIndex), TRUE, &info) || !info.hbmpItem ||
        GetObjectW(info.hbmpItem, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits ||
        dib.dsBm.bmBitsPixel != 32)
      return picture;
    picture.Width = dib.dsBm.bmWidth;
    picture.Height = dib.dsBm.bmHeight;
    const auto* bits = static_cast<const uint32_t*>(dib.dsBm.bmBits);
    picture.Pixels.assign(bits, bits + size_t(picture.Width) * size_t(picture.Height));
    return picture;
  }

  UINT Read(HMENU AMenu, int ADepth) {
    UINT chosen = 0;
    for (int i = 0; i < GetMenuItemCount(AMenu); ++i) {
      wchar_t text[128] = {};
      GetMenuStringW(AMenu, UINT(i), text, 128, MF_BYPOSITION);
      const UINT state = GetMenuState(AMenu, UINT(i), MF_BYPOSITION);
      Shown.push_back({text, (state & MF_CHECKED) != 0, (state & MF_GRAYED) != 0,
                       (state & MF_SEPARATOR) != 0, ADepth});
      Pictures.push_back(PictureOf(AMenu, i));
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

TEST_F(MenuTest, ItemsWithAnImageOfTheMenusListShowItsPictureBlended) {
  // A blue square with a see-through border of two pixels.
  TBitmap image(16, 16);
  image.Canvas().Brush().SetColor(0xFF00FF);
  image.Canvas().FillRect({0, 0, 16, 16});
  image.Canvas().Brush().SetColor(0xFF0000);
  image.Canvas().FillRect({2, 2, 14, 14});
  TImageList images(nullptr, 16, 16);
  images.AddMasked(image, 0xFF00FF);
  Popup->SetImages(&images);
  AddItem(Popup->Items(), L"Pictured")->SetImageIndex(0);
  AddItem(Popup->Items(), L"Plain");
  AddItem(Popup->Items(), L"Beyond the list")->SetImageIndex(1);
  AddItem(AddItem(Popup->Items(), L"Sub"), L"Nested")->SetImageIndex(0);
  const size_t objectsBefore = TResourceLedger::Count(TResourceKind::GdiObject);
  Popup->Popup(0, 0);

  ASSERT_EQ(Picker.Pictures.size(), 5u);
  const bool pictured[] = {true, false, false, false, true};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const TShownPicture& picture = Picker.Pictures[i];
    EXPECT_EQ(!picture.Pixels.empty(), pictured[i]);
    if (picture.Pixels.empty())
      continue;
    ASSERT_EQ(picture.Width, 16);
    ASSERT_EQ(picture.Height, 16);
    EXPECT_EQ(picture.At(8, 8), 0xFF0000FFu) << "opaque blue, BGRA";
    EXPECT_EQ(picture.At(0, 0), 0u) << "the mask colour is fully transparent";
    EXPECT_EQ(picture.At(15, 8), 0u);
  }
  EXPECT_EQ(Picker.GdiObjectsWhileShown, objectsBefore + 2) << "one picture per pictured item";
  Popup->SetImages(nullptr);
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

namespace {

// Runs the system's own popup tracking and, once the menu window is up, copies
// what it shows from the screen and closes it.
class TCapturingPopup : public TPopupMenuSeam {
public:
  std::vector<uint32_t> Pixels;
  int Width = 0;
  int Height = 0;

  UINT Track(HMENU AMenu, UINT AFlags, int AX, int AY, HWND AOwner) override {
    Self = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &TCapturingPopup::Tick);
    const UINT command = TPopupMenuSeam::System().Track(AMenu, AFlags, AX, AY, AOwner);
    KillTimer(nullptr, timer);
    Self = nullptr;
    return command;
  }

private:
  // Finds the thread's visible menu window.
  static BOOL CALLBACK FindMenu(HWND AWindow, LPARAM AFound) {
    wchar_t name[16] = {};
    GetClassNameW(AWindow, name, 16);
    if (lstrcmpW(name, L"#32768") != 0 || !IsWindowVisible(AWindow))
      return TRUE;
    *reinterpret_cast<HWND*>(AFound) = AWindow;
    return FALSE;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND menu = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &TCapturingPopup::FindMenu,
                      reinterpret_cast<LPARAM>(&menu));
    // A few ticks let the menu finish painting.
    if (!menu || !Self || ++Self->Ticks < 3)
      return;
    RECT r{};
    GetWindowRect(menu, &r);
    Self->Width = r.right - r.left;
    Self->Height = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = Self->Width;
    info.bmiHeader.biHeight = -Self->Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, Self->Width, Self->Height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    Self->Pixels.assign(p, p + size_t(Self->Width) * size_t(Self->Height));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EndMenu();
  }

  static inline TCapturingPopup* Self = nullptr;
  int Ticks = 0;
};

TEST(ShownPopupMenu, DrawsTheItemsPictureBesideItsCaption) {
  Application();
  const size_t baseline = TResourceLedger::Total();
  {
    TBitmap image(16, 16);
    image.Canvas().Brush().SetColor(0xFF00FF);
    image.Canvas().FillRect({0, 0, 16, 16});
    image.Canvas().Brush().SetColor(0x00C000);
    image.Canvas().FillRect({2, 2, 14, 14});
    TImageList images(nullptr, 16, 16);
    images.AddMasked(image, 0xFF00FF);
    TPopupMenu popup(nullptr);
    popup.SetImages(&images);
    auto* item = new TMenuItem(&popup);
    item->SetCaption(L"Green");
    item->SetImageIndex(0);
    popup.Items()->Add(item);
    TCapturingPopup capture;
    TSeamScope<TPopupMenuSeam> scope{capture};
    popup.Popup(40, 40);
    ASSERT_FALSE(capture.Pixels.empty()) << "the menu window was seen";
    size_t green = 0;
    for (uint32_t pixel : capture.Pixels)
      if ((pixel & 0xFFFFFF) == 0x00C000)
        ++green;
    EXPECT_GE(green, 12u * 12u) << "the picture's opaque square is on the menu";
    EXPECT_LT(green, 14u * 14u) << "its see-through border is not";
  }
  EXPECT_EQ(TResourceLedger::Total(), baseline);
}

} // namespace
