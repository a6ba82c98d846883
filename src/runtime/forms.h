#pragma once

#include "controls.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Messages between the framework's controls and their form. They lie below
// the private invalidate message and the reflected range.
constexpr UINT CM_BASE = 0xB000;
// WParam the key (VK_RETURN, VK_ESCAPE); a control that acts on it answers
// non-zero, which ends the broadcast.
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
// Posted by `Release`: the form frees itself when it arrives.
constexpr UINT CM_RELEASE = CM_BASE + 0x21;

// What closing a form does with it.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

// The answer of a modal form; any non-zero value ends the modal loop.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TFormStyle { fsNormal, fsStayOnTop };

class EInvalidModalForm : public EInvalidOperation {
  using EInvalidOperation::EInvalidOperation;
};

class TCustomForm;
using TCloseEvent = std::function<void(TCustomForm* ASender, TCloseAction& AAction)>;
using TCloseQueryEvent = std::function<void(TCustomForm* ASender, bool& ACanClose)>;

// A top-level window, or a window placed into a foreign parent window (a
// panel of the host: a plain HWND of another module). A form starts hidden.
// Every live form is listed, so the module's unload can free those nobody
// freed (`FinalizeForms`).
class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  std::wstring ClassName() const override { return L"TCustomForm"; }

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle AValue);
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle AValue);
  // The window a top-level form stays above and is minimized with (a
  // host's window); nullptr: none.
  HWND OwnerWindow() const { return FOwnerWindow; }
  void SetOwnerWindow(HWND AValue);

  // Shows the form and, when it is a top-level window, brings it forward.
  void Show();
  // Asks OnCloseQuery, then OnClose with the close action (caHide by
  // default) and carries the action out. A modal form's close ends its loop
  // with mrCancel.
  void Close();
  // Answers whether the form may close (OnCloseQuery; true without one).
  virtual bool CloseQuery();

  // Shows the form and runs the modal loop until ModalResult is set; hides
  // the form and answers the result (mrCancel when the loop ended because
  // the window went away or the application is terminating). Raises
  // EInvalidModalForm for a visible, disabled or already modal form.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult AValue) { FModalResult = AValue; }
  bool Modal() const { return FModal; }

  // The control that holds, or will take, the focus when the form is active.
  TWinControl* ActiveControl() const { return FActiveControl; }
  // Raises EInvalidOperation for a control outside the form, or one that
  // cannot take the focus while the form shows.
  void SetActiveControl(TWinControl* AControl);
  // Focuses the first control in Tab order.
  void SelectFirst();

  // Frees the form once the messages already waiting have been handled, so
  // an event handler of the form (or of one of its controls) may call it.
  void Release();

  // Enter or Escape reached the form: broadcast to every control until one
  // takes it; answers whether one did.
  virtual bool DialogKey(WPARAM AKey);

  void FocusChanged(TWinControl* AFocused) override;

  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

  // Every live form, oldest first.
  static const std::vector<TCustomForm*>& Forms();

protected:
  void CreateParams(TCreateParams& AParams) override;
  void WndProc(TMessage& AMessage) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  void ShowingChanged() override;

private:
  // Runs OnCloseQuery and OnClose; answers the action chosen (caNone when
  // the form refused to close).
  TCloseAction CloseAction();
  void CarryOut(TCloseAction AAction);
  void FocusActiveControl();
  bool TopLevel() const { return !Parent() && !ParentWindow(); }

  TFormBorderStyle FBorderStyle = bsSizeable;
  TFormStyle FFormStyle = fsNormal;
  HWND FOwnerWindow = nullptr;
  TModalResult FModalResult = mrNone;
  bool FModal = false;
  bool FReleasePending = false;
  bool FReleasePosted = false;
  TWinControl* FActiveControl = nullptr;
};

class TForm : public TCustomForm {
public:
  using TCustomForm::TCustomForm;
  std::wstring ClassName() const override { return L"TForm"; }
};

// The form that holds AControl (the nearest one up its parents), or nullptr.
TCustomForm* GetParentForm(const TControl* AControl);

// Frees every live form, the newest first, with the ones waiting for their
// release; part of the module's unload, before the window classes go.
void FinalizeForms();
