#pragma once

#include "classes.h"
#include "controls.h"
#include "forms.h"
#include "graphics.h"
#include "menus.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The graphic editor's picture commands as a small always-on-top tool
// window beside the editor: up to seven flat buttons whose enabled states
// follow the editor's picture and the clipboard (the window is a clipboard
// viewer while it exists). It also owns the context menu the graphic
// editor builds for the same commands.

enum TgxPopupToolBarButton : uint8_t {
  ptbCut,
  ptbCopy,
  ptbPaste,
  ptbDelete,
  ptbLoad,
  ptbSave,
  ptbCustom
};
constexpr int kgxPopupToolBarButtonCount = 7;
// A set of buttons, bit n for button n.
using TgxPopupToolBarButtons = uint8_t;
constexpr TgxPopupToolBarButtons ToolBarButtonBit(TgxPopupToolBarButton AButton) {
  return TgxPopupToolBarButtons(1u << AButton);
}
// ptbCut to ptbSave.
constexpr TgxPopupToolBarButtons kgxStandardToolBarButtons = 63;

enum TgxPopupToolBarAlignment : uint8_t { ptaLeft, ptaRight, ptaTop, ptaBottom };

class TgxPopupToolBar;
using TgxPopupToolBarButtonClick =
    std::function<void(TgxPopupToolBar* ASender, TgxPopupToolBarButton AButton)>;

// A flat tool button: a 16 x 16 glyph with an optional caption beside it
// and a hint. It rises under the mouse, sinks while pressed and clicks on
// release.
class TgxToolButton : public TGraphicControl {
public:
  explicit TgxToolButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxToolButton"; }
  TBitmap& Glyph() { return FGlyph; }
  void SetGlyph(const TBitmap* AValue);
  bool Down() const { return FDown; }
  bool Hot() const { return FHot; }
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void EnabledChanged() override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;

private:
  TBitmap FGlyph;
  bool FDown = false;
  bool FHot = false;
};

class TgxPopupToolBar : public TForm {
public:
  explicit TgxPopupToolBar(TComponent* AOwner);
  ~TgxPopupToolBar() override;
  std::wstring ClassName() const override { return L"TgxPopupToolBar"; }

  void RefreshButtons();
  void UpdateButtons();
  // Places the window beside the owner editor whose top-left corner on the
  // screen is AP, inside the work area.
  void CalcPosition(POINT AP);
  // Shows without activating, top-most; nothing while it may not show or
  // the user closed it.
  void Show();
  void Hide();
  bool Visible();

  TgxToolButton* Buttons(TgxPopupToolBarButton AButton) const { return FButtons[AButton]; }
  bool CanShow() const { return FCanShow; }
  void SetCanShow(bool AValue) { FCanShow = AValue; }
  UINT ClipboardFormat() const { return FClipboardFormat; }
  void SetClipboardFormat(UINT AValue) { FClipboardFormat = AValue; }
  bool IsEmpty() const { return FIsEmpty; }
  void SetIsEmpty(bool AValue) { FIsEmpty = AValue; }
  bool IsPopupMenu() const { return FIsPopupMenu; }
  void SetIsPopupMenu(bool AValue) { FIsPopupMenu = AValue; }
  bool IsReadOnly() const { return FIsReadOnly; }
  void SetIsReadOnly(bool AValue) { FIsReadOnly = AValue; }
  bool ShowCaptions() const { return FShowCaptions; }
  void SetShowCaptions(bool AValue) { FShowCaptions = AValue; }
  TgxPopupToolBarAlignment ToolBarAlignment() const { return FToolBarAlignment; }
  void SetToolBarAlignment(TgxPopupToolBarAlignment AValue);
  TgxPopupToolBarButtons ToolBarButtons() const { return FToolBarButtons; }
  void SetToolBarButtons(TgxPopupToolBarButtons AValue);
  const std::wstring& CustomButtonCaption() const { return FCustomCaption; }
  void SetCustomButtonCaption(const std::wstring& AValue);
  TBitmap& CustomButtonGlyph() { return FButtons[ptbCustom]->Glyph(); }
  void SetCustomButtonGlyph(const TBitmap* AValue) { FButtons[ptbCustom]->SetGlyph(AValue); }
  bool FlagHide() const { return FFlagHide; }
  void SetFlagHide(bool AValue) { FFlagHide = AValue; }
  bool Chained() const { return FChained; }
  HWND NextWindow() const { return FNextWindow; }
  // The editor's context menu, owned here (nullptr until built).
  TPopupMenu* EditPopupMenu() const { return FEditPopupMenu; }
  void SetEditPopupMenu(TPopupMenu* AValue) { FEditPopupMenu = AValue; }

  TgxPopupToolBarButtonClick OnButtonClick;

  // Whether the clipboard holds AFormat; for the picture format, any format
  // a registered graphic class reads.
  static bool ClipboardHasFormat(UINT AFormat);

protected:
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& AMessage) override;
  // The form's own visibility logic never shows or hides the window.
  void ShowingChanged() override {}

private:
  void ButtonClicked(TControl* ASender);
  void LeaveChain();

  std::array<TgxToolButton*, kgxPopupToolBarButtonCount> FButtons{};
  bool FCanShow = false;
  bool FChained = false;
  UINT FClipboardFormat = 0;
  TPopupMenu* FEditPopupMenu = nullptr;
  bool FFlagHide = false;
  bool FIsEmpty = true;
  bool FIsPopupMenu = false;
  bool FIsReadOnly = false;
  HWND FNextWindow = nullptr;
  bool FShowCaptions = true;
  TgxPopupToolBarAlignment FToolBarAlignment = ptaRight;
  TgxPopupToolBarButtons FToolBarButtons = kgxStandardToolBarButtons;
  std::wstring FCustomCaption;
};

class TgxInplaceGraphicEdit;

// The persistent tool-bar settings an editor copies into its tool bar
// before each showing.
class TgxPopupToolBarWindow : public TPersistent {
public:
  explicit TgxPopupToolBarWindow(TgxInplaceGraphicEdit* AGraphicEdit);
  ~TgxPopupToolBarWindow() override;
  std::wstring ClassName() const override { return L"TgxPopupToolBarWindow"; }
  void Assign(const TPersistent* ASource) override;

  TgxPopupToolBarAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TgxPopupToolBarAlignment AValue) { FAlignment = AValue; }
  TgxPopupToolBarButtons Buttons() const { return FButtons; }
  void SetButtons(TgxPopupToolBarButtons AValue) { FButtons = AValue; }
  const std::wstring& CustomButtonCaption() const { return FCustomButtonCaption; }
  void SetCustomButtonCaption(const std::wstring& AValue) { FCustomButtonCaption = AValue; }
  // Made empty on the first read.
  TBitmap* CustomButtonGlyph();
  // A copy of AValue; nullptr frees the own bitmap.
  void SetCustomButtonGlyph(const TBitmap* AValue);
  bool HasCustomButtonGlyph() const { return FCustomButtonGlyph != nullptr; }
  bool IsPopupMenu() const { return FIsPopupMenu; }
  // Also the owning editor's tool bar at once.
  void SetIsPopupMenu(bool AValue);
  bool ShowCaptions() const { return FShowCaptions; }
  void SetShowCaptions(bool AValue) { FShowCaptions = AValue; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue) { FVisible = AValue; }

private:
  TgxPopupToolBarAlignment FAlignment = ptaBottom;
  TgxPopupToolBarButtons FButtons = kgxStandardToolBarButtons;
  std::wstring FCustomButtonCaption;
  std::unique_ptr<TBitmap> FCustomButtonGlyph;
  TgxInplaceGraphicEdit* FGraphicEdit;
  bool FIsPopupMenu = true;
  bool FShowCaptions = true;
  bool FVisible = true;
};

// The table captions and hints of the buttons ("Cu&t", "Cut", ...).
const std::wstring& PopupToolBarCaption(TgxPopupToolBarButton AButton);
const std::wstring& PopupToolBarHint(TgxPopupToolBarButton AButton);
