#pragma once

#include "controls.h"
#include "graphics.h"
#include "list-boxes.h"
#include "string-lists.h"
#include "xp-button-edit.h"
#include "xp-edit.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// The library's combo box: the XP button edit whose button drops down a
// popup list holding the items. It adds the list styles, auto-completion
// while typing, a second (ellipsis) button, drop-down sizing, keyboard and
// wheel navigation and owner drawing of the edit area.

class TXPPopupListBox;
class TXPCustomComboBox;

// csSimple behaves as csDropDown. The list styles (csDropDownList,
// csOwnerDrawFixed) only ever show one of the items.
enum TXPComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed };

// Owner drawing of the combo's edit area: ARect is the text rectangle on
// the sender's canvas; setting AHandled keeps the combo from drawing.
using TDrawEvent = std::function<void(TControl* ASender, TCanvas& ACanvas, const RECT& ARect,
                                      TOwnerDrawState AState, bool& AHandled)>;

// Makes the popup list of a combo.
using TXPPopupListBoxClass = TXPPopupListBox* (*)(TXPCustomComboBox* AOwner);

// Rows the list shows unless told otherwise; the typing pause (ms) after
// which auto-completion starts a new search.
constexpr int kXPComboDropDownCount = 8;
constexpr unsigned kXPComboAutoCompleteDelay = 500;

class TXPCustomComboBox : public TXPCustomButtonEdit {
public:
  explicit TXPCustomComboBox(TComponent* AOwner);
  ~TXPCustomComboBox() override;
  std::wstring ClassName() const override { return L"TXPCustomComboBox"; }
  void BeforeDestruction() override;

  // --- published properties ---------------------------------------------------
  bool AlphaNumericSorting() const;
  void SetAlphaNumericSorting(bool AValue);
  bool AutoComplete() const { return FAutoComplete; }
  void SetAutoComplete(bool AValue) { FAutoComplete = AValue; }
  unsigned AutoCompleteDelay() const { return FAutoCompleteDelay; }
  void SetAutoCompleteDelay(unsigned AValue) { FAutoCompleteDelay = AValue; }
  bool AutoDropDown() const { return FAutoDropDown; }
  void SetAutoDropDown(bool AValue) { FAutoDropDown = AValue; }
  bool AutoDropWidth() const { return FAutoDropWidth; }
  void SetAutoDropWidth(bool AValue) { FAutoDropWidth = AValue; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool AValue);
  int DropDownCount() const { return FDropDownCount; }
  // Values below 1 become 1.
  void SetDropDownCount(int AValue);
  int ItemHeight() const;
  void SetItemHeight(int AValue);
  int ItemIndex() const;
  // Sets the list's index, then the text to the item's (empty for -1).
  void SetItemIndex(int AValue);
  TStrings& Items();
  void SetItems(const TStrings& AValue);
  const std::wstring& NoItemText() const { return FNoItemText; }
  void SetNoItemText(const std::wstring& AValue);
  bool ShowButton2() const { return FShowButton2; }
  void SetShowButton2(bool AValue);
  bool Sorted() const;
  void SetSorted(bool AValue);
  TXPComboBoxStyle Style() const { return FStyle; }
  // csSimple is stored as csDropDown.
  void SetStyle(TXPComboBoxStyle AValue);

  TNotifyEvent OnButton2Click;
  TNotifyEvent OnCloseUp;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnSelect;
  TDrawEvent OnDraw;
  // The list's owner drawing of its items.
  TDrawItemEvent& OnDrawItem();
  void SetOnDrawItem(const TDrawItemEvent& AValue);

  // --- state and operations ---------------------------------------------------
  bool DroppedDown() const { return FDroppedDown; }
  // Opens or closes the list.
  void SetDroppedDown(bool AValue);
  TXPPopupListBox& PopupListBox() const { return *FPopupListBox; }
  TXPEditButton* Button2() const { return FButton2; }
  // In csDropDownList the text selects the matching item (an unknown text
  // changes nothing); otherwise the edit's.
  void SetText(const std::wstring& AValue) override;
  // The text and the items; the first visible character becomes 0.
  void Clear() override;
  // No item selected, then the edit's.
  void ClearSelection() override;
  HRESULT STDMETHODCALLTYPE SelectAll() override;
  TPopupMenu* GetPopupMenu() override;
  int GetAutoWidth() override;
  // Whether the style is csDropDownList or csOwnerDrawFixed.
  bool IsListStyle() const { return FStyle == csDropDownList || FStyle == csOwnerDrawFixed; }

  // Suppression of an immediate re-opening: Flag1 is set by the list when a
  // click outside it that closed it hit the combo; the drop button's click
  // then sets Flag2 so the closing click does not open the list again.
  bool Flag1() const { return FFlag1; }
  void SetFlag1(bool AValue) { FFlag1 = AValue; }
  bool Flag2() const { return FFlag2; }
  void SetFlag2(bool AValue) { FFlag2 = AValue; }
  // The hint settings kept while the list is down.
  void SaveHintSettings();
  void RestoreHintSettings();

  // --- new virtual operations, in slot order ----------------------------------
  // What the second button does without OnButton2Click; nothing here.
  virtual void Button2ClickDefault() {}
  // The width of an item's text on the edit's canvas; 0 out of range,
  // without a window or for an empty text.
  virtual int MeasureItemText(int AIndex);
  virtual TXPPopupListBoxClass GetPopupListBoxClass();
  // Alt+Up and Alt+Down open and close the list.
  virtual bool DropDownOnAltArrow() { return true; }

  // --- dynamic operations -----------------------------------------------------
  virtual void DropDown();
  virtual void CloseUp();
  virtual void Select();

  // Opens the list unless loading or read-only (the drop button's click).
  void ButtonClickDefault() override;
  void ClickButton() override;
  void ButtonClicked(TXPEditButton* AButton) override;
  void UpdateButtonVisibility() override;
  void EnabledChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void Invalidate() override;
  void Click() override;
  void DoExit() override;
  void DoEnter() override;
  bool WantSpecialKey(WPARAM AKey) override;

  // The combo's key and character handling, also reached from the list
  // while it is down.
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  // Change and OnChange; public for the list's accepting click.
  void Change() override;
  void CreateEditCaret() override;
  // Whether Change is suppressed right now.
  bool ChangeSuppressed() const { return FSuppressChange > 0; }

protected:
  void CreateWnd() override;
  void WndProc(TMessage& AMessage) override;
  void SetCaretPosition(int AIndex) override;
  void DestroyEditCaret() override;
  void UpdateHotTrack(bool AHot) override;
  void UpdateCursor() override;
  void GetButtonsRect(RECT& ARect) override;
  void GetTextRect(RECT& ARect) override;
  void AdjustButtonsArea(RECT& ARect) override;
  void PaintText(const RECT& ARect, TColor ABackColor, TColor AFrameColor, TColor ASelTextColor,
                 TColor ASelBackColor, TColor ATextColor) override;
  int GetThemeState() override;
  void GetThemeDetails(TXPThemeDetails& ADetails) override;
  void PaintButton(TXPEditButton* AButton) override;
  void PaintButtonGlyph(TXPEditButton* AButton, const RECT& ARect) override;
  TGraphic* GetButtonGlyph(TXPEditButton* AButton) override;
  void GetButtonDetails(TXPEditButton* AButton, TXPThemeDetails& ADetails) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;

  // Finds the next item starting with AText and makes it current; false
  // when nothing matches (an empty text clears the selection).
  bool CompleteText(const std::wstring& AText);

  int FIgnoreSetText = 0;
  TXPPopupListBox* FPopupListBox = nullptr;
  TXPComboBoxStyle FStyle = csDropDown;
  int FDropDownCount = kXPComboDropDownCount;
  bool FDroppedDown = false;
  bool FFlag1 = false;
  bool FFlag2 = false;
  bool FAutoDropWidth = true;
  bool FAutoComplete = true;
  unsigned FAutoCompleteDelay = kXPComboAutoCompleteDelay;
  std::wstring FFilter;
  DWORD FLastTime = 0;
  bool FShowButton2 = false;
  bool FAutoDropDown = false;
  bool FCaseSensitive = true;
  bool FSaveShowHint = false;
  bool FSaveParentShowHint = false;
  std::wstring FNoItemText;
  TXPEditButton* FButton2 = nullptr;

private:
  // The text as WM_SETTEXT sets it: refused (false) while ignored, or in
  // the list styles for a text that is no item; then the list follows it.
  bool ApplyText(const std::wstring& AValue);
  // The edit's own handling of a character, without OnKeyPress.
  void ProcessChar(wchar_t& AKey);
  void WheelMessage(TMessage& AMessage);
  void SelectAdjacent(int AIndex);
  void KeyPressBackspace();
  bool FDestroying = false;
  bool FLosingFocus = false;
};

// The published combo box.
class TXPComboBox : public TXPCustomComboBox {
public:
  explicit TXPComboBox(TComponent* AOwner) : TXPCustomComboBox(AOwner) {}
  std::wstring ClassName() const override { return L"TXPComboBox"; }
};
