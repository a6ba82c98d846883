#include "menus.h"

#include "application.h"
#include "image-lists.h"
#include "resource-ledger.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

struct TKeyName {
  WORD Key;
  const wchar_t* Name;
};
constexpr TKeyName kKeyNames[] = {
    {VK_BACK, L"BkSp"},   {VK_TAB, L"Tab"},    {VK_RETURN, L"Enter"}, {VK_ESCAPE, L"Esc"},
    {VK_SPACE, L"Space"}, {VK_PRIOR, L"PgUp"}, {VK_NEXT, L"PgDn"},    {VK_END, L"End"},
    {VK_HOME, L"Home"},   {VK_LEFT, L"Left"},  {VK_UP, L"Up"},        {VK_RIGHT, L"Right"},
    {VK_DOWN, L"Down"},   {VK_INSERT, L"Ins"}, {VK_DELETE, L"Del"},
};

struct TModifierName {
  TShortCut Bit;
  const wchar_t* Name;
};
constexpr TModifierName kModifierNames[] = {
    {scShift, L"Shift+"}, {scCtrl, L"Ctrl+"}, {scAlt, L"Alt+"}};

std::wstring KeyName(WORD AKey) {
  if ((AKey >= '0' && AKey <= '9') || (AKey >= 'A' && AKey <= 'Z'))
    return std::wstring(1, wchar_t(AKey));
  if (AKey >= VK_F1 && AKey <= VK_F12)
    return L"F" + std::to_wstring(AKey - VK_F1 + 1);
  for (const TKeyName& name : kKeyNames)
    if (name.Key == AKey)
      return name.Name;
  return L"";
}

class TSystemPopupMenu : public TPopupMenuSeam {
public:
  UINT Track(HMENU AMenu, UINT AFlags, int AX, int AY, HWND AOwner) override {
    // The owner must be in the foreground, or the menu does not close when
    // the user clicks elsewhere.
    SetForegroundWindow(AOwner);
    const UINT command = UINT(TrackPopupMenu(AMenu, AFlags, AX, AY, 0, AOwner, nullptr));
    PostMessageW(AOwner, WM_NULL, 0, 0);
    return command;
  }
};

// The picture of one image-list entry as a 32-bit top-down DIB section with
// premultiplied alpha, the form a menu item shows blended. The entry is drawn
// once over black and once over white: where the two agree the picture is
// opaque, and the difference gives the coverage of every other pixel, so
// masked and alpha lists come out alike.
HBITMAP MenuItemBitmap(HIMAGELIST AList, int AIndex) {
  int width = 0, height = 0;
  if (!ImageList_GetIconSize(AList, &width, &height) || width <= 0 || height <= 0)
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc)
    return nullptr;
  void* bits[2] = {};
  HBITMAP passes[2] = {CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits[0], nullptr, 0),
                       CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits[1], nullptr, 0)};
  HBITMAP result = nullptr;
  if (passes[0] && passes[1]) {
    const size_t count = size_t(width) * size_t(height);
    for (int pass = 0; pass < 2; ++pass) {
      auto* pixels = static_cast<uint32_t*>(bits[pass]);
      std::fill(pixels, pixels + count, pass == 0 ? 0x000000u : 0xFFFFFFu);
      HGDIOBJ old = SelectObject(dc, passes[pass]);
      ImageList_Draw(AList, AIndex, dc, 0, 0, ILD_NORMAL);
      SelectObject(dc, old);
    }
    GdiFlush();
    auto* black = static_cast<uint32_t*>(bits[0]);
    const auto* white = static_cast<const uint32_t*>(bits[1]);
    for (size_t i = 0; i < count; ++i) {
      // Over black a pixel is its premultiplied colour; over white each
      // channel gains the part of the background that shows through.
      const uint32_t b = black[i] & 0xFFFFFF, w = white[i] & 0xFFFFFF;
      const int through = int(w & 0xFF) - int(b & 0xFF);
      const uint32_t alpha = uint32_t(std::clamp(255 - through, 0, 255));
      uint32_t colour = b;
      if (alpha < 255) {
        // Keep each channel within the coverage, as premultiplication needs.
        colour = 0;
        for (int shift = 0; shift < 24; shift += 8)
          colour |= std::min((b >> shift) & 0xFF, alpha) << shift;
      }
      black[i] = (alpha << 24) | colour;
    }
    result = passes[0];
    passes[0] = nullptr;
  }
  for (HBITMAP bitmap : passes)
    if (bitmap)
      DeleteObject(bitmap);
  DeleteDC(dc);
  return result;
}

// A built popup: its menus and item pictures in the ledger, its commands
// mapped to items.
class TBuiltMenu {
public:
  TBuiltMenu() = default;
  TBuiltMenu(const TBuiltMenu&) = delete;
  TBuiltMenu& operator=(const TBuiltMenu&) = delete;
  ~TBuiltMenu() {
    if (FRoot)
      DestroyMenu(FRoot);
    for (HMENU menu : FMenus)
      LedgerGive(TResourceKind::Menu, menu);
    // The menus do not own their item pictures.
    for (HBITMAP bitmap : FBitmaps) {
      DeleteObject(bitmap);
      LedgerGive(TResourceKind::GdiObject, bitmap);
    }
  }

  HMENU Build(const TMenuItem& AItems, TCustomImageList* AImages) {
    FImages = AImages && AImages->Count() > 0 ? AImages->Handle() : nullptr;
    FImageCount = AImages ? AImages->Count() : 0;
    FRoot = NewMenu();
    Fill(FRoot, AItems);
    return FRoot;
  }
  TMenuItem* ItemOf(UINT ACommand) const {
    return ACommand >= 1 && ACommand <= FCommands.size() ? FCommands[ACommand - 1] : nullptr;
  }

private:
  HMENU NewMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu)
      throw EOutOfResources(L"Error creating menu");
    LedgerTake(TResourceKind::Menu, menu);
    FMenus.push_back(menu);
    return menu;
  }
  void Fill(HMENU AMenu, const TMenuItem& AItems) {
    for (int i = 0; i < AItems.Count(); ++i) {
      TMenuItem* item = AItems.Items(i);
      if (!item->Visible())
        continue;
      if (item->IsLine()) {
        AppendMenuW(AMenu, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      std::wstring text = item->Caption();
      const std::wstring shortCut = ShortCutToText(item->ShortCut());
      if (!shortCut.empty())
        text += L"\t" + shortCut;
      UINT flags =
          MF_STRING | (item->Checked() ? MF_CHECKED : 0) | (item->Enabled() ? 0 : MF_GRAYED);
      UINT_PTR id;
      if (item->Count() > 0) {
        HMENU sub = NewMenu();
        Fill(sub, *item);
        flags |= MF_POPUP;
        id = reinterpret_cast<UINT_PTR>(sub);
      } else {
        FCommands.push_back(item);
        id = FCommands.size();
      }
      if (!AppendMenuW(AMenu, flags, id, text.c_str()))
        throw EOutOfResources(L"Error building menu");
      if (FImages && item->ImageIndex() >= 0 && item->ImageIndex() < FImageCount)
        SetPicture(AMenu, item->ImageIndex());
    }
  }

  // Gives the last item of AMenu the picture of image AIndex. A picture that
  // cannot be made leaves the item without one.
  void SetPicture(HMENU AMenu, int AIndex) {
    HBITMAP bitmap = MenuItemBitmap(FImages, AIndex);
    if (!bitmap)
      return;
    LedgerTake(TResourceKind::GdiObject, bitmap);
    FBitmaps.push_back(bitmap);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_BITMAP;
    info.hbmpItem = bitmap;
    SetMenuItemInfoW(AMenu, UINT(GetMenuItemCount(AMenu) - 1), TRUE, &info);
  }

  HIMAGELIST FImages = nullptr;
  int FImageCount = 0;
  std::vector<HBITMAP> FBitmaps;
  HMENU FRoot = nullptr;
  std::vector<HMENU> FMenus;
  std::vector<TMenuItem*> FCommands;
};

} // namespace

std::wstring ShortCutToText(TShortCut AShortCut) {
  const std::wstring key = KeyName(WORD(AShortCut & 0xFF));
  if (key.empty())
    return L"";
  std::wstring text;
  for (const TModifierName& modifier : kModifierNames)
    if (AShortCut & modifier.Bit)
      text += modifier.Name;
  return text + key;
}

TPopupMenuSeam& TPopupMenuSeam::System() {
  static TSystemPopupMenu system;
  return system;
}

// ===========================================================================
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  while (!FItems.empty()) {
    TMenuItem* item = FItems.back();
    FItems.pop_back();
    item->FParent = nullptr;
    TComponent::Free(item);
  }
  if (FParent)
    FParent->Remove(this);
}

void TMenuItem::Changed() {
  if (TMenu* menu = Menu())
    menu->Changed(this);
}

void TMenuItem::SetCaption(const std::wstring& AValue) {
  if (AValue == FCaption)
    return;
  FCaption = AValue;
  Changed();
}

void TMenuItem::SetChecked(bool AValue) {
  if (AValue == FChecked)
    return;
  FChecked = AValue;
  Changed();
}

void TMenuItem::SetEnabled(bool AValue) {
  if (AValue == FEnabled)
    return;
  FEnabled = AValue;
  Changed();
}

void TMenuItem::SetVisible(bool AValue) {
  if (AValue == FVisible)
    return;
  FVisible = AValue;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut AValue) {
  if (AValue == FShortCut)
    return;
  FShortCut = AValue;
  Changed();
}

void TMenuItem::SetImageIndex(int AValue) {
  if (AValue == FImageIndex)
    return;
  FImageIndex = AValue;
  Changed();
}

void TMenuItem::Click() {
  if (FEnabled && OnClick)
    OnClick(this);
}

TMenuItem* TMenuItem::Items(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    throw EListError(L"Menu index out of bounds (" + std::to_wstring(AIndex) + L")");
  return FItems[size_t(AIndex)];
}

int TMenuItem::IndexOf(const TMenuItem* AItem) const {
  auto it = std::find(FItems.begin(), FItems.end(), AItem);
  return it == FItems.end() ? -1 : int(it - FItems.begin());
}

TMenu* TMenuItem::Menu() const {
  const TMenuItem* item = this;
  while (item->FParent)
    item = item->FParent;
  return item->FMenu;
}

void TMenuItem::Add(TMenuItem* AItem) {
  Insert(Count(), AItem);
}

void TMenuItem::Insert(int AIndex, TMenuItem* AItem) {
  if (!AItem)
    return;
  for (const TMenuItem* p = this; p; p = p->FParent)
    if (p == AItem)
      throw EMenuError(L"A menu item cannot hold itself");
  if (AIndex < 0 || AIndex > Count())
    throw EListError(L"Menu index out of bounds (" + std::to_wstring(AIndex) + L")");
  if (AItem->FParent)
    AItem->FParent->Remove(AItem);
  FItems.insert(FItems.begin() + AIndex, AItem);
  AItem->FParent = this;
  Changed();
}

void TMenuItem::Remove(TMenuItem* AItem) {
  const int index = IndexOf(AItem);
  if (index < 0)
    return;
  FItems.erase(FItems.begin() + index);
  AItem->FParent = nullptr;
  Changed();
}

void TMenuItem::Delete(int AIndex) {
  TMenuItem* item = Items(AIndex);
  Remove(item);
  TComponent::Free(item);
}

void TMenuItem::Clear() {
  if (FItems.empty())
    return;
  while (!FItems.empty()) {
    TMenuItem* item = FItems.back();
    FItems.pop_back();
    item->FParent = nullptr;
    TComponent::Free(item);
  }
  Changed();
}

// ===========================================================================
// TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {
  FItems->FMenu = this;
}

TMenu::~TMenu() {
  // The items must not report changes to a menu that is going.
  FItems->FMenu = nullptr;
  TComponent::Free(FItems);
}

void TMenu::SetImages(TCustomImageList* AValue) {
  if (AValue == FImages)
    return;
  if (FImages)
    RemoveFreeNotification(FImages);
  FImages = AValue;
  if (FImages)
    FreeNotification(FImages);
  Changed(nullptr);
}

void TMenu::Notification(TComponent* AComponent, TOperation AOperation) {
  TComponent::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FImages)
    FImages = nullptr;
}

void TMenu::Changed(TMenuItem* ASource) {
  if (ComponentState().Contains(csDestroying))
    return;
  if (OnChange)
    OnChange(this, ASource);
  NotifyLinks();
}

// ===========================================================================
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

void TPopupMenu::Popup(int AX, int AY) {
  if (OnPopup)
    OnPopup(this);
  static constexpr UINT kAlignment[] = {TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN};
  TMenuItem* chosen = nullptr;
  {
    TBuiltMenu built;
    HMENU menu = built.Build(*Items(), Images());
    const UINT command = TPopupMenuSeam::Current().Track(
        menu, kAlignment[FAlignment] | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, AX, AY,
        Application()->Handle());
    chosen = built.ItemOf(command);
  }
  if (chosen)
    chosen->Click();
}
