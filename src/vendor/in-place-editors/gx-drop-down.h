#pragma once

#include "gx-mask-edit.h"
#include "gx-popup.h"

#include "controls.h"
#include "graphics.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The drop-down editor base: a masked text editor with buttons in its
// non-client area (hot and pressed states, hit testing, one painter) and
// the life of a popup ("active list") that a descendant supplies: opened
// by a button, a key, a click or the wheel, placed under or over the
// editor inside the monitor's work area, fed the keys while it shows and
// closed with accept or cancel.

// Posted to the editor to open its popup after the current message.
constexpr UINT WM_GX_DROPDOWN = WM_APP + 0x66;
// The framework's cancel-mode notification a container performs on its
// editor; LParam names the control that caused it.
constexpr UINT WM_GX_CANCELMODE = 0xB004;
static_assert(WM_GX_DROPDOWN == 0x8066 && WM_GX_POPUPCLOSED == 0x8065,
              "the popup messages follow the popup's closing notice");

enum TgxEditButtonKind : uint8_t { bkEllipsis, bkDown, bkGlyph };

// One button as the painter sees it.
struct TgxEditButtonInfo {
  TBitmap* Glyph = nullptr;
  // The button's index in its owner's list of (visible) buttons.
  int Index = 0;
  TgxEditButtonKind Kind = bkEllipsis;
  bool LeftAlignment = false;
  int Width = 0;
};
constexpr int kgxMaxEditButtons = 8;
using TgxEditButtonsInfo = std::array<TgxEditButtonInfo, kgxMaxEditButtons>;

class TgxDropDownEditViewData : public TgxTextEditViewData {
public:
  int ButtonCount = 0;
  TgxEditButtonsInfo Buttons{};
  TBitmap* ButtonGlyph = nullptr;
  bool HideButtons = false;
  int ActiveButtonIndex = -1;
  int PressedButtonIndex = -1;
};

// The class operations of the drop-down kinds.
class TgxDropDownEditClass : public TgxInplaceTextEditClass {
public:
  static const TgxDropDownEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxDropDownEditViewData; }
  // The base geometry with the buttons taken out of the client area.
  void CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                    TgxEditViewInfo& AViewInfo) const override;
  void DrawBorder(HDC ADC, TgxEditViewInfo& AViewInfo, TgxEditViewData& AViewData) const override;

  // Fills the button records: one down button (a glyph button with a
  // custom glyph) at the right, none when buttons are hidden.
  virtual void CalcButtonsInfo(TgxDropDownEditViewData& AViewData) const;
  virtual int CalcDefaultButtonWidth(TgxDropDownEditViewData& AViewData,
                                     const TgxEditButtonInfo& AButtonInfo) const;
  // The rectangles of the ButtonCount buttons (window coordinates), cut
  // from the inside of the border from the last button to the first.
  static void CalcButtonRects(const TgxEditViewInfo& AViewInfo,
                              const TgxDropDownEditViewData& AViewData,
                              std::array<RECT, kgxMaxEditButtons>& ARects);
};

// Paints one button into B.
void DrawEditButton(HDC ADC, RECT B, const TgxDropDownEditViewData& AViewData,
                    const TgxEditButtonInfo& AButton, bool AHot, bool APressed, bool ATransparent);

// (Sender, Value, Accept): the popup closes with Value; the handler may
// change both.
using TgxDropDownEditCloseUp =
    std::function<void(TControl* ASender, std::wstring& AValue, bool& AAccept)>;

class TgxInplaceDropDownEdit : public TgxInplaceMaskEdit {
public:
  explicit TgxInplaceDropDownEdit(TComponent* AOwner);
  ~TgxInplaceDropDownEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceDropDownEdit"; }
  const TgxInplaceEditClass& EditClass() const override { return TgxDropDownEditClass::Instance(); }
  const TgxDropDownEditClass& DropDownClass() const {
    return static_cast<const TgxDropDownEditClass&>(EditClass());
  }

  // --- the new virtual operations, in slot order ---------------------------------
  // Sizes (AAdjustWidth: at least the editor's width) and places the popup
  // below the editor, or above it when the room below is too small.
  virtual void CalcPopupPos(TWinControl* APopup, bool AAdjustWidth);
  virtual void CloseUp(bool /*AAccept*/) {}
  virtual void StartButtonPress(bool ANoCapture, int AButtonIndex);
  virtual void ButtonClick(int /*AButtonIndex*/) {}
  virtual void DoCloseUp(std::wstring& AValue, bool& AAccept);
  virtual void HandleDropDownKey(WORD& AKey, TShiftState AShift);
  virtual void StepValue(int /*ADelta*/, bool /*ACycle*/) {}
  virtual void DropDown() {}
  virtual void DoDropDown();
  virtual void LocateListItem(const std::wstring& /*AText*/) {}

  // --- overrides of the editor base --------------------------------------------
  void ActivateEdit() override;
  void Hide() override;
  void Show() override;
  bool IsFocused() override;
  void MouseButtonClick(int AX, int AY) override;
  void MouseClick(int AX, int AY) override;
  void SetSelected(bool AValue) override;
  bool HandlesMouseWheel() override { return true; }
  // A kind without an edit window keeps its modified flag itself.
  bool GetModified() override;
  void SetModified(bool AValue) override;
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  void CancelMode(TControl* ASender) override;
  // No hint over an editor whose popup is down.
  bool HintShow(std::wstring& /*AHintText*/) override { return !DroppedDown(); }

  // The popup shows (and has the focus or receives the keys).
  bool DroppedDown();
  // True opens the popup after the current message; false closes it
  // without accepting.
  void SetDroppedDown(bool AValue);
  void FocusEditorIfPossible();
  // The popup border in effect (pbSingle to pbFlat).
  TgxPopupBorderStyle PopupBorderStyle();
  // A list popup's mouse-up handler: the left button closes the popup,
  // accepting when the point lies inside the list.
  void ListMouseUp(TControl* ASender, TMouseButton AButton, TShiftState AShift, int AX, int AY);

  // A custom picture for the drop-down button, created on first read.
  TBitmap& ButtonGlyph();
  bool HasButtonGlyph() const { return FButtonGlyph && !FButtonGlyph->Empty(); }
  // nullptr or an empty bitmap frees the glyph.
  void SetButtonGlyph(TBitmap* AValue);
  int DropDownRows() const { return FDropDownRows; }
  void SetDropDownRows(int AValue) { FDropDownRows = AValue; }
  int DropDownWidth() const { return FDropDownWidth; }
  void SetDropDownWidth(int AValue) { FDropDownWidth = AValue; }
  bool ImmediateDropDown() const { return FImmediateDropDown; }
  void SetImmediateDropDown(bool AValue) { FImmediateDropDown = AValue; }
  bool ImmediatePopup() const { return FImmediatePopup; }
  void SetImmediatePopup(bool AValue) { FImmediatePopup = AValue; }
  TAlignment PopupAlignment() const { return FPopupAlignment; }
  void SetPopupAlignment(TAlignment AValue) { FPopupAlignment = AValue; }
  TgxPopupBorder PopupBorder() const { return FPopupBorder; }
  void SetPopupBorder(TgxPopupBorder AValue) { FPopupBorder = AValue; }
  bool PassMouseWheelToGrid() const { return fPassMouseWheelToGrid; }
  void SetPassMouseWheelToGrid(bool AValue) { fPassMouseWheelToGrid = AValue; }
  TWinControl* ActiveList() const { return FActiveList; }
  bool ListVisible() const { return FListVisible; }
  int ActiveButton() const { return FActiveButton; }
  int PressedButton() const { return FPressedButton; }

  TgxDropDownEditCloseUp OnCloseUp;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnEditButtonClick;

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void WndProc(TMessage& AMessage) override;
  LRESULT DialogCode() override;

  // Whether the popup is attached and its window shows.
  bool PopupShowing() const;
  void SetActiveButton(int AValue);
  void EndButtonPress();
  void RepaintFrame();

  int FActiveButton = -1;
  std::unique_ptr<TBitmap> FButtonGlyph;
  int FDropDownRows = 7;
  int FDropDownWidth = 0;
  bool FImmediateDropDown = true;
  bool FImmediatePopup = false;
  TAlignment FPopupAlignment = taLeftJustify;
  TgxPopupBorder FPopupBorder = pbDefault;
  int FPressedButton = -1;
  bool fPassMouseWheelToGrid = false;
  TWinControl* FActiveList = nullptr;
  bool FListVisible = false;
  bool FSendChildrenStyle = true;
  bool FSearchStyle = false;
  // A click in the editor opens the popup (the image editor).
  bool FImmediatePopupStyle = false;

private:
  bool FPlainModified = false;
  void WMNCHitTest(TMessage& AMessage);
  void RouteKey(TMessage& AMessage);
  bool ForwardDragToPopup(TMessage& AMessage);
};
