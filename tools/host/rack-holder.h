#pragma once

// The host's side of a rack panel: the rack window that holds a driver's
// panel and the holder object handed to the panel's view, and the calls a
// host makes to embed the panel and to let it go.

#include "com-ptr.h"
#include "fake-host-object.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A click the panel sent to its holder window, as the window received it.
struct TRackClick {
  UINT Message;
  WPARAM WParam;
  LPARAM LParam;
};

// A visible top-level window of the host's process and the object that
// stands for it (IExternalFormHolder: 69 its handle, 71 a caption change,
// service "ExternalFormHolder"). Messages sent to the window are answered
// on the calling thread, so a click the panel sends arrives at once.
class TRackHolder {
public:
  // AWidth x AHeight client area, at (AX, AY) on the screen.
  explicit TRackHolder(int AX = 40, int AY = 40, int AWidth = 760, int AHeight = 180);
  ~TRackHolder();
  TRackHolder(const TRackHolder&) = delete;
  TRackHolder& operator=(const TRackHolder&) = delete;

  HWND Handle() const { return FWindow; }
  TFakeHostObject& Object() { return *FObject.Get(); }
  const std::vector<TRackClick>& Clicks() const { return FClicks; }
  unsigned CaptionChanges() const { return FCaptionChanges; }

private:
  static LRESULT CALLBACK WindowProc(HWND AWindow, UINT AMessage, WPARAM AWParam, LPARAM ALParam);
  HWND FWindow = nullptr;
  TComPtr<TFakeHostObject> FObject;
  std::vector<TRackClick> FClicks;
  unsigned FCaptionChanges = 0;
};

// One DISPID call and its answer, as the host made it.
struct TRackCall {
  DISPID DispId;
  HRESULT Answer;
};

// The view the host embedded, with the bounds it asked for and every call
// of the embedding in order.
struct TRackPanel {
  TComPtr<IDispatch> View;
  int32_t Left = -1, Top = -1, Width = -1, Height = -1;
  std::vector<TRackCall> Calls;
  // The first failing call's answer, or S_OK.
  HRESULT Answer() const;
};

// Embeds ADriver's rack panel in AHolder as the host does: CreateRackViewer
// (503759) and GetRackViewer (503760) on the driver, then on the view the
// holder (49), its bounds (503700), the same bounds set (56), attach (50),
// show (58) and an update of its display (503697). Stops at the first
// failing call.
TRackPanel EmbedRackPanel(IDispatch& ADriver, TRackHolder& AHolder);
// The host hides the panel (503704) and drops its reference to the view.
HRESULT ReleaseRackPanel(TRackPanel& APanel);
// An Invoke of AObject by DISPID with the arguments in declaration order
// (by-reference ones as the caller built them); answers the call's HRESULT.
HRESULT InvokeRack(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs,
                   VARIANT* AResult = nullptr, WORD AFlags = DISPATCH_METHOD);

// One control of a panel's window, as the panel lists its control tree
// (the registered message "OrvandelControlListing").
struct TPanelControl {
  int Depth = 0;
  std::wstring Name;
  std::wstring ClassName;
  std::wstring Caption;
  bool Checked = false;
  bool Enabled = false;
  bool Visible = false;
  RECT Bounds = {};
};

// The control tree of the panel whose window is AForm; empty when the
// window does not answer the listing.
std::vector<TPanelControl> ReadPanelControls(HWND AForm);
// The control of that name, or nullptr.
const TPanelControl* FindPanelControl(const std::vector<TPanelControl>& AControls,
                                      const std::wstring& AName);
