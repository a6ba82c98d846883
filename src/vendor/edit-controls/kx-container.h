#pragma once

#include <windows.h>

#include <vector>

// The container unit's library-wide state: whether the library draws its
// own scroll bars over inner controls, and the popup-closing hooks.

// True while the unit is loaded and "GetScrollBarInfo" exists in user32.
bool UseOwnScrollBars();
// Sets the record's size to 60 and asks the system when own scroll bars are
// in use; false otherwise or when the system call fails.
bool QueryScrollBarInfo(HWND AWindow, LONG AObjectId, SCROLLBARINFO& AInfo);

// What a popup (a drop-down editor's list or calendar) offers the hooks.
class IkxPopupWindow {
public:
  // The popup's own window and its owner control's window.
  virtual HWND PopupWindow() const = 0;
  virtual HWND OwnerWindow() const = 0;
  // A standalone popup behaves like a separate window.
  virtual bool IsStandalone() const { return false; }
  virtual bool IgnoreSysKeys() const { return false; }
  virtual bool Active() const { return GetActiveWindow() == PopupWindow(); }
  // The part of the owner, in screen coordinates, where a click does not
  // count as outside.
  virtual RECT GetOwnerScreenBounds() const = 0;
  // Closes the popup; it leaves the popup list.
  virtual void ClosePopup() = 0;
  // Offered a system key; false swallows it.
  virtual bool HandleSysKey(WPARAM AKey) = 0;
  // Asked about a click that closes the popup; true swallows the click.
  virtual bool ConsumesClosingClick(HWND AWindow, UINT AMessage, POINT APoint) = 0;

  bool ClosedByOwnerClick = false;
  int CloseLockCount = 0;

protected:
  ~IkxPopupWindow() = default;
};

// The shown popups in the order they were added; nullptr outside the
// unit's load.
std::vector<IkxPopupWindow*>* PopupWindowList();
void AddPopupWindow(IkxPopupWindow* APopup);
void RemovePopupWindow(IkxPopupWindow* APopup);
// True while the mouse hook closes a popup.
bool ClosingByClick();
// When true at load, the popup hooks are not registered.
extern bool HooksDisabled;
