#pragma once

// The form bases of the plug-in's windows, on plain Win32 windows: a form
// with context help and its three kinds, the form of a server view, the
// modal dialog and the content of a docking panel. A form keeps its
// caption, bounds, visibility and parent window itself and creates its
// window on demand, so the host can move it between windows (the window is
// destroyed and made again). Only the host's UI thread enters them.

#include "client-access.h"
#include "host-records.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

enum class TFormBorder { None, Dialog, Sizeable };

// The modal results a dialog ends with; a push button whose control id is
// one of them ends a modal dialog with that result when clicked.
enum TModalResult : int {
  mrNone = 0,
  mrOk = IDOK,
  mrCancel = IDCANCEL,
  mrAbort = IDABORT,
  mrRetry = IDRETRY,
  mrIgnore = IDIGNORE,
  mrYes = IDYES,
  mrNo = IDNO,
};

// Dialog keys (Tab, Shift+Tab, Escape, Enter) of the plug-in's windows.
// A key the focused control does not ask for (its dialog-code answer) is
// offered, as the registered message DialogKeyMessage() (WParam: the key),
// to the control and its parents upward; the first window that answers
// non-zero has handled it. Forms move the focus on Tab, hosting panels hand
// it to their parent form.
UINT DialogKeyMessage();
// Offers AKey to AWindow and then to each parent while the window asked is a
// child; the first non-zero answer, or 0.
LRESULT OfferDialogKey(HWND AWindow, WORD AKey);
// For a message loop, before a message is dispatched: a key pressed in a
// control of a plug-in form goes to the form as its child key (F1: help or,
// with Shift, Ctrl or Alt down, the host's shortcuts); then the dialog keys;
// then the current dialog window's processing. True when the message was
// handled (it must then not be dispatched).
bool IsFormDialogMessage(const MSG& AMessage);
// The window the message loop gives the system's dialog-key processing, as
// a hosted form last named it (nullptr: none).
void SetCurrentDialogWindow(HWND AWindow);
HWND CurrentDialogWindow();
// Moves the focus to the next (or previous) enabled, visible tab stop
// inside ARoot, descending into control parents, wrapping around. False
// when ARoot holds no tab stop.
bool SelectNextTabStop(HWND ARoot, bool AForward);

class TFormWithHelp {
public:
  TFormWithHelp();
  virtual ~TFormWithHelp();
  TFormWithHelp(const TFormWithHelp&) = delete;
  TFormWithHelp& operator=(const TFormWithHelp&) = delete;

  // The form whose window this is, or nullptr.
  static TFormWithHelp* FromWindow(HWND AWindow);
  // Names a control for help keywords (an unnamed control is known by its
  // window class name without a leading "T").
  static void SetControlName(HWND AControl, const std::wstring& AName);
  static std::wstring ControlName(HWND AControl);

  const std::wstring& Name() const { return FName; }
  void SetName(std::wstring AName) { FName = std::move(AName); }
  std::wstring Caption() const { return FCaption; }
  void SetCaption(const std::wstring& ACaption);
  TFormBorder BorderStyle() const { return FBorder; }
  void SetBorderStyle(TFormBorder ABorder);

  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);

  bool Visible() const { return FVisible; }
  virtual void Show();
  void Hide();
  // The window the form sits in as a child; nullptr: a window of its own.
  HWND ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND AParent);

  // The window, made when needed; HandleAllocated tells without making it.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  HWND WindowHandle() const { return FHandle; }
  void DestroyHandle();
  // Frees the form after the messages already queued for its window.
  void Release();

  // Run when the form is shown or hidden (Detach runs OnHide).
  std::function<void()> OnShow;
  std::function<void()> OnHide;

  // Context help.
  virtual bool GetHelpReference(HWND AControl, std::wstring& AReference);
  virtual std::wstring GetHelpControlName(HWND AControl);
  virtual void BuildHelpKeyword(HWND AControl, std::wstring& AKeyword);
  virtual void ShowHelpForControl(HWND AControl);
  // A key pressed while a child control has the focus, as the control
  // hands it on: F1 asks for help (or, with Shift, Ctrl or Alt down, goes to
  // the host's shortcuts). True when the key was handled.
  bool ChildKey(HWND AControl, WORD AKey);

  bool FIgnoreWhatsThis = false;
  bool FHandleHelp = true;

protected:
  struct TCreateParams {
    DWORD Style = 0;
    DWORD ExStyle = 0;
    HWND Parent = nullptr; // parent of a child, owner of a window of its own
  };
  virtual const wchar_t* ClassName() const { return L"TFormWithHelp"; }
  virtual void CreateParams(TCreateParams& AParams);
  // Messages of the form's window; unhandled ones go to DefaultHandler.
  virtual LRESULT WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam);
  LRESULT DefaultHandler(UINT AMessage, WPARAM AWParam, LPARAM ALParam);
  void CreateHandle();
  // A style change: an existing window is made again (shown if the form is).
  void RecreateHandle();
  // F1 or the help message for a window: the help of its control.
  void HandleHelpRequest(HWND AControl);
  // A dialog key offered to the form: Tab and Shift+Tab go first to the
  // windows the form sits in, and move the focus inside the form when none
  // of them takes the key. Non-zero when handled.
  virtual LRESULT DialogKey(WORD AKey);
  bool FRecreating = false;

private:
  static LRESULT CALLBACK StaticWndProc(HWND AWindow, UINT AMessage, WPARAM AWParam,
                                        LPARAM ALParam);

  HWND FHandle = nullptr;
  HWND FParentWindow = nullptr;
  std::wstring FName;
  std::wstring FCaption;
  TFormBorder FBorder = TFormBorder::Sizeable;
  int32_t FLeft = 0, FTop = 0, FWidth = 320, FHeight = 240;
  bool FVisible = false;
};

// The form of a server view: every key is its own; keys it does not use
// for help go to the host's shortcuts.
class TServerViewForm : public TFormWithHelp {
protected:
  const wchar_t* ClassName() const override { return L"TServerViewForm"; }
  LRESULT WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) override;
};

// The content of a docking panel: draws its background through the holder
// the host gave it and tells the holder of caption changes. Owns a 500 ms
// host timer, created disabled, that calls DoTimer.
class TServerPanelForm : public TServerViewForm {
public:
  TServerPanelForm();
  ~TServerPanelForm() override;

  void SetParentWindowHolder(const IExternalFormHolder& AWindowHolder);
  const IExternalFormHolder& ParentWindowHolder() const { return FParentWindowHolder; }
  TTimerHandler* TimerHandler() const { return FTimerHandler.Get(); }

  IExternalFormHolder FParentWindowHolder;
  std::wstring FPanelName;
  TComPtr<TTimerHandler> FTimerHandler;

  virtual void DoTimer(uint32_t AId);

protected:
  const wchar_t* ClassName() const override { return L"TServerPanelForm"; }
  LRESULT WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) override;
};

// A modal dialog of the plug-in, owned by the host's main window and
// centred on the monitor of the active window when it is made.
class TServerDialog : public TFormWithHelp {
public:
  // ASizeable: the dialog keeps a sizing frame.
  explicit TServerDialog(bool ASizeable = false);

  bool FSizeableDialog = false;

  virtual bool UseHostAsOwner() { return true; }
  // Centres the dialog on the whole area of the monitor nearest to the
  // active window, keeping its size.
  virtual void PositionDialog();
  // Shows the dialog where it was placed. A dialog laid out after it was
  // centred (a descendant sizes itself in its own constructor) and not
  // moved since is centred again at its final size when first shown.
  void Show() override;

  // Shows the dialog modally: its owner is disabled and the dialog runs its
  // own message loop until a modal result is set (a button with a result
  // id, closing the window: mrCancel, SetModalResult), then it is hidden,
  // the owner enabled again and the result answered. A quit message ends
  // the loop with mrCancel and is posted again for the outer loop.
  int ShowModal();
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int AResult) { FModalResult = AResult; }
  bool Modal() const { return FModal; }
  // Asked before the window closes; false keeps it open.
  virtual bool CloseQuery() { return true; }

protected:
  const wchar_t* ClassName() const override { return L"TServerDialog"; }
  void CreateParams(TCreateParams& AParams) override;
  LRESULT WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam) override;
  LRESULT DialogKey(WORD AKey) override;

private:
  struct TPlacement {
    int32_t Left, Top, Width, Height;
  };
  int FModalResult = mrNone;
  bool FModal = false;
  // Where and at which size PositionDialog placed the dialog, until it is
  // first shown.
  std::optional<TPlacement> FCentredAt;
};
