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
  // Destroying the popup's window ends the application.
  virtual bool TerminateOnDestroy() const { return false; }
  // The form's close query: false keeps the popup open.
  virtual bool CloseQuery() { return true; }
  // The form's close; a popup closes itself by default.
  virtual void Close() { ClosePopup(); }
  // The popup, or the control that opened it, is being destroyed.
  virtual bool IsDestroying() const { return false; }
  virtual bool OwnerDestroying() const { return false; }
  // The popup closed because the application lost activation: an owner
  // that is a container hears that its focus changed.
  virtual void OwnerFocusChanged() {}

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
// AWnd belongs to the control window AControl with its children: its
// window, a descendant window, or the window (or a descendant) of a listed
// popup opened by AControl or one of its descendants.
bool IsControlWindowWithChildren(HWND AControl, HWND AWnd);
// True while the mouse hook closes a popup.
bool ClosingByClick();
// When true at load, the popup hooks are not registered.
extern bool HooksDisabled;
