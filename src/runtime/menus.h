#pragma once

#include "change-links.h"
#include "classes.h"
#include "rtl-exceptions.h"
#include "seams.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A key with its modifiers: the virtual key in the low byte.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

constexpr TShortCut ShortCut(WORD AKey, TShortCut AModifiers) {
  return TShortCut((AKey & 0xFF) | AModifiers);
}
// "Ctrl+Shift+F5", "Del", "Alt+A"; empty for scNone or a key without a name.
std::wstring ShortCutToText(TShortCut AShortCut);

class TMenu;
class TMenuItem;
class TCustomImageList;
using TMenuClickEvent = std::function<void(TMenuItem* ASender)>;

// One entry of a menu: a command, a separator (caption "-") or, when it has
// items of its own, a submenu. An item frees its items with it; an item
// freed alone leaves its parent.
class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;
  std::wstring ClassName() const override { return L"TMenuItem"; }

  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& AValue);
  bool IsLine() const { return FCaption == L"-"; }
  bool Checked() const { return FChecked; }
  void SetChecked(bool AValue);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut AValue);
  // The picture in the menu's image list; -1 for none.
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int AValue);

  // Runs OnClick when the item is enabled.
  virtual void Click();
  TMenuClickEvent OnClick;

  // --- the items of a submenu ---
  int Count() const { return int(FItems.size()); }
  // Raises EListError for a bad index.
  TMenuItem* Items(int AIndex) const;
  int IndexOf(const TMenuItem* AItem) const;
  TMenuItem* Parent() const { return FParent; }
  // Takes AItem (out of its previous parent) as the last item. Raises
  // EMenuError for an item that holds this one.
  void Add(TMenuItem* AItem);
  void Insert(int AIndex, TMenuItem* AItem);
  // Takes AItem out without freeing it.
  void Remove(TMenuItem* AItem);
  // Frees the item at AIndex.
  void Delete(int AIndex);
  // Frees every item.
  void Clear();
  // The menu this item belongs to, or nullptr.
  TMenu* Menu() const;

private:
  friend class TMenu;
  void Changed();

  std::wstring FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  TShortCut FShortCut = scNone;
  int FImageIndex = -1;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr;
  std::vector<TMenuItem*> FItems;
};

class EMenuError : public Exception {
  using Exception::Exception;
};

// A menu: a root item whose items are the menu's entries. Changes to any
// item reach OnChange and the registered change links.
class TMenu : public TComponent, public TChangeSource {
public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;
  std::wstring ClassName() const override { return L"TMenu"; }

  TMenuItem* Items() const { return FItems; }
  // Held without ownership; forgotten when the list is freed.
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* AValue);

  std::function<void(TMenu* ASender, TMenuItem* ASource)> OnChange;

protected:
  void Notification(TComponent* AComponent, TOperation AOperation) override;

private:
  friend class TMenuItem;
  void Changed(TMenuItem* ASource);

  TMenuItem* FItems;
  TCustomImageList* FImages = nullptr;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

// Shows a built popup menu and answers the command chosen (0 for none).
// The system's tracks it with TrackPopupMenu; a test picks an item.
class TPopupMenuSeam : public TSeam<TPopupMenuSeam> {
public:
  virtual UINT Track(HMENU AMenu, UINT AFlags, int AX, int AY, HWND AOwner) = 0;
  static TPopupMenuSeam& System();
};

// A context menu shown at a screen point.
class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TPopupMenu"; }

  // Which side of the menu lies at the point's x.
  TPopupAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment AValue) { FAlignment = AValue; }
  // The component the menu was shown for (set by whoever shows it).
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* AValue) { FPopupComponent = AValue; }

  // Runs OnPopup, shows the visible items at the screen point (AX, AY) and
  // clicks the one chosen, after the shown menu is gone.
  virtual void Popup(int AX, int AY);
  std::function<void(TPopupMenu* ASender)> OnPopup;

private:
  TPopupAlignment FAlignment = paLeft;
  TComponent* FPopupComponent = nullptr;
};
