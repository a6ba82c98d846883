#pragma once

// Plug-in forms offered to the host as external forms and docked server
// views, and the panel that shows a host's external form inside the plug-in.

#include "contracts.h"
#include "host-forms.h"
#include "host-records.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

class TModuleWindowClass;

// What every external form does with the form it wraps.
class TExternalFormCore {
public:
  TExternalFormCore(TFormWithHelp* AForm, bool AForceDestroy);
  // Frees the form at once when there is no client, the host is shutting
  // down or destruction is forced; otherwise after its pending messages.
  ~TExternalFormCore();
  TExternalFormCore(const TExternalFormCore&) = delete;
  TExternalFormCore& operator=(const TExternalFormCore&) = delete;

  TFormWithHelp* Form() const { return FForm; }
  IExternalFormHolder ParentWindow() const {
    return IExternalFormHolder::FromDispatch(FParentWindow);
  }

  void SetParentWindowHolder(const IExternalFormHolder& AHolder);
  void Attach();
  void Detach();
  void GetBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth, int32_t& AHeight) const;
  std::wstring GetCaption() const;
  uint32_t GetHandle() const;
  void Hide();
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  void SetFocus();
  void Show();
  void FocusFirstControl();

private:
  bool FForceDestroy;
  TFormWithHelp* FForm;
  // Counted while held; never released at the end, as the host's holder
  // may be gone by then.
  IDispatch* FParentWindow = nullptr;
};

// The external-form operations on any contract base (TAbstractExternalForm
// or the server view's).
template <class TBase> class TExternalFormOf : public TBase {
public:
  template <class... A>
  TExternalFormOf(TFormWithHelp* AForm, bool AForceDestroy, A&&... ABaseArgs)
      : TBase(std::forward<A>(ABaseArgs)...), FCore(AForm, AForceDestroy) {}

  TFormWithHelp* Form() const { return FCore.Form(); }

  HRESULT SetParentWindowHolder(const IExternalFormHolder& AHolder) override {
    return Guarded([&] { FCore.SetParentWindowHolder(AHolder); });
  }
  HRESULT Attach() override {
    return Guarded([&] { FCore.Attach(); });
  }
  HRESULT Detach() override {
    return Guarded([&] { FCore.Detach(); });
  }
  HRESULT GetBounds(int32_t& ALeft, int32_t& ATop, int32_t& AWidth, int32_t& AHeight) override {
    return Guarded([&] { FCore.GetBounds(ALeft, ATop, AWidth, AHeight); });
  }
  HRESULT GetCaption(std::wstring* AResult) override {
    return Guarded([&] { *AResult = FCore.GetCaption(); });
  }
  HRESULT GetHandle(uint32_t* AResult) override {
    return Guarded([&] { *AResult = FCore.GetHandle(); });
  }
  HRESULT Hide() override {
    return Guarded([&] { FCore.Hide(); });
  }
  HRESULT SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override {
    return Guarded([&] { FCore.SetBounds(ALeft, ATop, AWidth, AHeight); });
  }
  HRESULT SetFocus() override {
    return Guarded([&] { FCore.SetFocus(); });
  }
  HRESULT Show() override {
    return Guarded([&] { FCore.Show(); });
  }
  HRESULT FocusFirstControl() override {
    return Guarded([&] { FCore.FocusFirstControl(); });
  }

protected:
  TExternalFormCore FCore;
};

// A plug-in form offered to the host as IExternalForm; the form becomes
// borderless. Created with no reference: the host's first AddRef owns it.
class TExternalForm : public TExternalFormOf<TAbstractExternalForm> {
public:
  TExternalForm(TFormWithHelp* AForm, bool AForceDestroy);
};

// A docked view around a plug-in form; a panel form takes the view's name.
class TSDKServerView : public TExternalFormOf<TAbstractSDKServerView> {
public:
  TSDKServerView(const std::wstring& AViewName, TFormWithHelp* AForm);
};

// The view of a docking panel: it is a docking panel, and the panel form
// learns the holder the host gives the view.
class TServerPanelView : public TSDKServerView {
public:
  TServerPanelView(const std::wstring& AViewName, TServerPanelForm* AForm);

  HRESULT GetIsDockingPanel(TBoolean* AResult) override;
  HRESULT SetParentWindowHolder(const IExternalFormHolder& AHolder) override;

  TServerPanelForm* FPanelForm;
};

// A panel window that shows a host's external form and acts as its holder.
class TExternalFormComponent {
public:
  // A panel inside AParent (a window of the plug-in), shown.
  explicit TExternalFormComponent(HWND AParent);
  virtual ~TExternalFormComponent();
  TExternalFormComponent(const TExternalFormComponent&) = delete;
  TExternalFormComponent& operator=(const TExternalFormComponent&) = delete;

  const IExternalForm& ExternalForm() const { return FExternalForm; }
  // Detaches the old form and attaches the new one inside this panel.
  void SetExternalForm(const IExternalForm& AValue);
  // Takes AValue as the shown form without detaching the previous one.
  void SwitchExternalForm(const IExternalForm& AValue);
  // The form's window, 0 without a form.
  HWND ExternHandle() const;

  HWND Handle() const { return FHandle; }
  std::wstring Caption() const { return FCaption; }
  bool Transparent() const { return FTransparent; }
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  void SetFocus();

  virtual void CaptionChanged() {}
  virtual void Activate();
  virtual bool SupportsService(const std::wstring& AName);
  // The panel's own dispatch, the form's holder (its reference counting
  // does nothing: the panel lives as long as its owner keeps it).
  IDispatch* HolderDispatch();

  std::function<void()> OnActivate;

private:
  class THolder;
  static LRESULT CALLBACK StaticWndProc(HWND AWindow, UINT AMessage, WPARAM AWParam,
                                        LPARAM ALParam);
  LRESULT WndProc(UINT AMessage, WPARAM AWParam, LPARAM ALParam);
  void CreatePanelWindow(bool AVisible);
  static TModuleWindowClass FWindowClass;

  HWND FParent;
  HWND FHandle = nullptr;
  RECT FBounds = {0, 0, 200, 150};
  std::wstring FCaption;
  IExternalForm FExternalForm;
  bool FInCMDialogKey = false;
  bool FTransparent = false;
  THolder* FHolder;
};
