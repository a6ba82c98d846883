#pragma once

#include "controls.h"
#include "xp-list-box.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The drop-down list of the combo box: a list box in a top-level tool window
// shown under its combo. While it is down a thread mouse hook, a hook on the
// application's main window and a replaced window procedure of the combo
// route clicks and keys to it, so that a click elsewhere closes it and the
// keyboard reaches it. Closing either accepts the highlighted item into the
// combo or puts the list back on the combo's text.

class TXPCustomComboBox;

// The widest a list grows to fit its items.
constexpr int kXPPopupListMaxWidth = 400;

class TXPPopupListBox : public TCustomXPListBox {
public:
  // The owner is always the combo box.
  explicit TXPPopupListBox(TXPCustomComboBox* AOwner);
  ~TXPPopupListBox() override;
  std::wstring ClassName() const override { return L"TXPPopupListBox"; }

  TXPCustomComboBox* Combo() const { return FCombo; }

  // Shows the list with its top-left corner at the screen point (AX, AY).
  void Popup(int AX, int AY);
  // Hides the list; ASuccess accepts the highlighted item.
  void Close(bool ASuccess);
  // Accepting by click: the combo takes the list's text, then its Change
  // and Select run.
  void Click() override;
  // Enter, Escape, Page Up, Page Down, End, Home, Up and Down are the list's
  // own; every other key down goes to the combo.
  virtual bool WantsKey(WORD AKey);

  bool ParentHooked() const { return FParentHooked; }
  bool Closing() const { return FClosingFlag > 0; }
  // The list that is down right now, if any (one at a time).
  static TXPPopupListBox* OpenPopup();
  static bool MouseHookInstalled();

  bool WantSpecialKey(WPARAM AKey) override;
  // The combo keeps the focus while its list is down.
  bool CanFocus() const override { return false; }
  void FontChanged() override;
  void FirstItemBecameCurrent() override;

protected:
  TColor GetBackgroundColor() override;
  void AdjustNonClientRect(RECT& ARect) override;
  bool PaintNonClientBorder() override;
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& AMessage) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;

private:
  bool CustomLook() const;
  void InstallHooks();
  void RemoveHooks();
  void RestoreComboProc();
  static LRESULT CALLBACK MouseHookProc(int ACode, WPARAM AWParam, LPARAM ALParam);
  static LRESULT CALLBACK ComboProc(HWND AWindow, UINT AMsg, WPARAM AWParam, LPARAM ALParam);
  bool MainWindowHook(TMessage& AMessage);
  // A key message that reached the combo while the list is down.
  void RouteKey(UINT AMsg, WPARAM AWParam, LPARAM ALParam);

  TXPCustomComboBox* FCombo;
  intptr_t FOldWindProc = 0;
  bool FParentHooked = false;
  int FClosingFlag = 0;
  bool FMainHooked = false;
  int FMainKey = 0;
  HWND FHookedCombo = nullptr;
};
