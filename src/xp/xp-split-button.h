#pragma once

#include "forms.h"
#include "menus.h"
#include "xp-buttons.h"

#include <windows.h>

#include <string>

// A bitmap button with an arrow part on its right that opens a popup menu,
// or a popup window holding any control of the form with a Close button.

// The split button's private messages: show and hide its popup.
constexpr UINT XPM_SHOWPOPUP = WM_USER + 7;
constexpr UINT XPM_HIDEPOPUP = WM_USER + 8;
// The arrow part: the right 16 pixels of the client area.
constexpr int kSplitArrowWidth = 16;

class TXPSplitButton;

// The popup window of a split button: a top-most window owned by the
// button's top-level window. Losing the activation closes it.
class TPopupContainer : public TForm {
public:
  TPopupContainer(TXPSplitButton* AButton, HWND AOwnerHandle);
  std::wstring ClassName() const override { return L"TPopupContainer"; }
  HWND OwnerHandle() const { return FOwnerHandle; }

protected:
  void CreateParams(TCreateParams& AParams) override;
  void WndProc(TMessage& AMessage) override;

private:
  TXPSplitButton* FButton;
  HWND FOwnerHandle;
};

class TXPSplitButton : public TXPBitBtn {
public:
  explicit TXPSplitButton(TComponent* AOwner);
  ~TXPSplitButton() override;
  std::wstring ClassName() const override { return L"TXPSplitButton"; }

  bool ArrowButtonPressed() const { return FArrowButtonPressed; }
  TPopupMenu* DropDownMenu() const { return FDropDownMenu; }
  void SetDropDownMenu(TPopupMenu* AValue);
  TWinControl* PopupControl() const { return FPopupControl; }
  // A control given leaves its parent and hides until the popup shows it.
  void SetPopupControl(TWinControl* AValue);
  bool AutoAddCloseButton() const { return FAutoAddCloseButton; }
  void SetAutoAddCloseButton(bool AValue) { FAutoAddCloseButton = AValue; }

  // The popup window while it shows, else nullptr.
  TPopupContainer* PopupHolder() const { return FPopupHolder; }
  // The top-level window whose procedure is replaced while the popup shows.
  HWND MainFormHandle() const { return FMainFormHandle; }
  // The arrow part in client coordinates.
  RECT ArrowRect() const;

  void ShowPopup();
  void HidePopup();
  void BeforeDestruction() override;

  TNotifyEvent OnAfterHidePopup;
  TNotifyEvent OnBeforeShowPopup;

protected:
  virtual void AfterHidePopup();
  virtual void BeforeShowPopup();
  void PressAt(int AX, int AY) override;
  void Release() override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  void Paint() override;
  void WndProc(TMessage& AMessage) override;

private:
  static LRESULT CALLBACK MainFormWndProc(HWND AWindow, UINT AMsg, WPARAM AWParam, LPARAM ALParam);
  void SetArrowButtonPressed(bool AValue);
  // Takes the popup control back and frees the popup window; true when
  // there was one.
  bool ClosePopupWindow();
  void RestoreMainFormWndProc();

  bool FArrowButtonPressed = false;
  TPopupMenu* FDropDownMenu = nullptr;
  HWND FMainFormHandle = nullptr;
  WNDPROC FMainFormWndProc = nullptr;
  bool FMouseDown = false;
  TPopupContainer* FPopupHolder = nullptr;
  TWinControl* FPopupControl = nullptr;
  bool FAutoAddCloseButton = true;
};
