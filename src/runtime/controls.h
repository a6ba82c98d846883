#pragma once

#include "classes.h"
#include "graphics.h"
#include "rtl-exceptions.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// An operation that the control's current state does not allow (a parent
// that would make a cycle, focusing a hidden control).
class EInvalidOperation : public Exception {
  using Exception::Exception;
};

// One window message as the controls' handler chain passes it on.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// Messages a parent reflects to the child window that sent them: the
// original number plus CN_BASE, with the original parameters.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;

// The private message a control posts to itself to repaint later; it lies
// below the reflected range.
constexpr UINT WM_ORV_INVALIDATE = 0xBB00;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

enum TAnchorKind : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;
constexpr TAnchors kDefaultAnchors = akLeft | akTop;

// What a control's class can do; fixed by the class, read by the framework.
enum TControlStyleItem : uint32_t {
  csAcceptsControls = 1u << 0,
  csCaptureMouse = 1u << 1,
  csClickEvents = 1u << 2,
  csFramed = 1u << 3,
  csSetCaption = 1u << 4,
  csOpaque = 1u << 5,
  csDoubleClicks = 1u << 6,
  csFixedWidth = 1u << 7,
  csFixedHeight = 1u << 8,
  csReplicatable = 1u << 9,
  csNoStdEvents = 1u << 10,
  csReflector = 1u << 11,
  csNeedsBorderPaint = 1u << 12,
  csParentBackground = 1u << 13,
};
using TControlStyle = uint32_t;

// What a control is doing now.
enum TControlStateItem : uint32_t {
  csLButtonDown = 1u << 0,
  csClicked = 1u << 1,
  csReadingState = 1u << 2,
  csAlignmentNeeded = 1u << 3,
  csFocusing = 1u << 4,
  csCreating = 1u << 5,
  // The control is being drawn into a foreign DC (PaintTo, WM_PRINT): it
  // draws its current state completely, without hover or caret effects.
  csPaintCopy = 1u << 6,
  csCustomPaint = 1u << 7,
  csDestroyingHandle = 1u << 8,
};
using TControlState = uint32_t;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem : uint8_t {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
using TShiftState = uint8_t;

// Shift, Ctrl and Alt as the keyboard holds them now.
TShiftState KeyboardShiftState();

// Cursor ids: 0 is the window's default; the negative ones are the shared
// system cursors.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crNo = -18;
constexpr TCursor crHandPoint = -21;

class TWinControl;
class TControl;
using TNotifyEvent = std::function<void(TControl* ASender)>;
using TMouseEvent = std::function<void(TControl* ASender, TMouseButton AButton, TShiftState AShift,
                                       int AX, int AY)>;
using TMouseMoveEvent = std::function<void(TControl* ASender, TShiftState AShift, int AX, int AY)>;
// The end of a drag: ACancelled for Escape, a lost capture or EndDrag(false);
// (AX, AY) is the last mouse point in the control's client coordinates.
using TEndDragEvent = std::function<void(TControl* ASender, bool ACancelled, int AX, int AY)>;

// dmAutomatic: a left button press on the control begins a drag, which
// starts once the mouse has moved past the drag threshold.
enum TDragMode { dmManual, dmAutomatic };

// A visible element with bounds in its parent's client area. A control
// without a window is painted and hit-tested by its parent.
class TControl : public TComponent {
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;
  std::wstring ClassName() const override { return L"TControl"; }
  void BeforeDestruction() override;

  TWinControl* Parent() const { return FParent; }
  // Raises EInvalidOperation when AParent is the control itself or lies
  // inside it, and whatever the parent's or the control's validation raises.
  virtual void SetParent(TWinControl* AParent);

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  RECT BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  void SetLeft(int AValue) { SetBounds(AValue, FTop, FWidth, FHeight); }
  void SetTop(int AValue) { SetBounds(FLeft, AValue, FWidth, FHeight); }
  void SetWidth(int AValue) { SetBounds(FLeft, FTop, AValue, FHeight); }
  void SetHeight(int AValue) { SetBounds(FLeft, FTop, FWidth, AValue); }
  void SetBoundsRect(const RECT& ARect) {
    SetBounds(ARect.left, ARect.top, ARect.right - ARect.left, ARect.bottom - ARect.top);
  }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  // The area children are placed in, from (0, 0).
  virtual RECT ClientRect() const { return {0, 0, FWidth, FHeight}; }
  int ClientWidth() const { return ClientRect().right; }
  int ClientHeight() const { return ClientRect().bottom; }
  virtual POINT ClientToScreen(POINT APoint) const;
  virtual POINT ScreenToClient(POINT APoint) const;
  // The point in the parent's client coordinates.
  POINT ClientToParent(POINT APoint) const { return {APoint.x + FLeft, APoint.y + FTop}; }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign AValue);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors AValue);

  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to a top-level window showing.
  virtual bool Showing() const;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue);

  const std::wstring& Caption() const { return FText; }
  void SetCaption(const std::wstring& AValue) { SetText(AValue); }
  const std::wstring& Text() const { return FText; }
  void SetText(const std::wstring& AValue);
  void SetName(const std::wstring& ANewName) override;

  TColor Color() const { return FColor; }
  void SetColor(TColor AValue);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool AValue);
  TFont& Font() { return *FFont; }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool AValue);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool AValue);

  const std::wstring& Hint() const { return FHint; }
  void SetHint(const std::wstring& AValue) { FHint = AValue; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool AValue);
  // The context menu; menus are components of their own kind, held here
  // without ownership.
  TComponent* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TComponent* AValue) { FPopupMenu = AValue; }
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor AValue) { FCursor = AValue; }
  intptr_t HelpContext() const { return FHelpContext; }
  void SetHelpContext(intptr_t AValue) { FHelpContext = AValue; }

  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle AValue) { FControlStyle = AValue; }
  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState AValue) { FControlState = AValue; }
  bool HasStyle(TControlStyleItem AItem) const { return (FControlStyle & AItem) != 0; }
  bool InState(TControlStateItem AItem) const { return (FControlState & AItem) != 0; }

  // Whether the control shows a check mark; the control listing reports it.
  virtual bool Checked() const { return false; }

  // Repaints the control's area on the next paint (its parent's area for a
  // control without a window).
  virtual void Invalidate();
  // Paints now what is invalid.
  virtual void Update();
  void Repaint() {
    Invalidate();
    Update();
  }
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }
  // Asks the parent to lay out its children again.
  void RequestAlign();
  // Sends AMessage through the control's handler chain and answers its result.
  LRESULT Perform(UINT AMsg, WPARAM AWParam, LPARAM ALParam);

  // Drags. One drag runs at a time: BeginDrag takes the mouse capture for
  // the control's window (its parent's for a graphic control) and, unless
  // AImmediate, leaves the drag pending until the mouse has moved
  // AThreshold pixels or more from the point of the last mouse message
  // (-1: the system's SM_CXDRAG and SM_CYDRAG). A release before that ends
  // the pending drag unseen and the click goes on as usual; Escape, a lost
  // capture or WM_CANCELMODE cancel it. Raises EInvalidOperation for a
  // control without a windowed parent.
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode AValue) { FDragMode = AValue; }
  void BeginDrag(bool AImmediate, int AThreshold = -1);
  // Ends this control's drag, pending or started; ADrop false cancels it.
  void EndDrag(bool ADrop);
  // The drag has started (past the threshold); a pending one does not count.
  bool Dragging() const;

  TNotifyEvent OnStartDrag;
  TEndDragEvent OnEndDrag;
  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;

  // --- the internal notifications --------------------------------------------
  // Each is called where the state changes; the base does what every control
  // needs (repaint, pass on to children) and descendants add to it.
  virtual void TextChanged() { Invalidate(); }
  virtual void FontChanged();
  virtual void ParentFontChanged();
  virtual void ColorChanged();
  virtual void ParentColorChanged();
  virtual void EnabledChanged() { Invalidate(); }
  // The control appeared or disappeared on the screen.
  virtual void ShowingChanged() {}
  // Visible changed, whether or not that changed what is showing.
  virtual void VisibleChanged() {}
  virtual void Ctl3DChanged() {}
  virtual void ShowHintChanged() {}
  // The mouse came over or left the control. AMarker is what the sender
  // passed along (0 from the mouse itself).
  virtual void MouseEnter(intptr_t AMarker);
  virtual void MouseLeave(intptr_t AMarker);
  // True when the control handles the key itself (Tab, arrows, Enter, Escape).
  virtual bool WantSpecialKey(WPARAM /*AKey*/) { return false; }
  // An accelerator character; true when the control took it.
  virtual bool DialogChar(wchar_t /*AChar*/) { return false; }
  // Another control started a capture or a mode that ends this one's.
  virtual void CancelMode(TControl* /*ASender*/) {}
  // The hint is about to show; false keeps it hidden.
  virtual bool HintShow(std::wstring& /*AHintText*/) { return true; }
  // The input focus moved to AFocused (nullptr: out of the window tree).
  virtual void FocusChanged(TWinControl* /*AFocused*/) {}
  // A button of AGroupIndex was pressed; the others of the group let go.
  virtual void ButtonPressed(int /*AGroupIndex*/, TControl* /*AButton*/) {}
  virtual void WinIniChange(const std::wstring& /*ASection*/) {}
  // Repaints later: the invalidation is posted and runs from the message loop.
  void PostInvalidate();

protected:
  // Raises to refuse AParent; the base accepts.
  virtual void ValidateParent(TWinControl* /*AParent*/) {}
  virtual void SetZOrder(bool ATopMost);
  virtual void Click();
  virtual void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY);
  virtual void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY);
  virtual void MouseMove(TShiftState AShift, int AX, int AY);
  // The drag started; the base fires OnStartDrag.
  virtual void DoStartDrag();
  // The drag ended; the base fires OnEndDrag.
  virtual void DoEndDrag(bool ACancelled, int AX, int AY);
  virtual void Resize();
  // The handler chain: WndProc sees every message, then Dispatch finds the
  // class's handler, and unhandled messages reach DefaultHandler.
  virtual void WndProc(TMessage& AMessage);
  virtual void DefaultHandler(TMessage& AMessage);
  // The parent's showing state or the control's Visible changed.
  virtual void UpdateShowingFromParent();
  // The client area that alignment or anchors last saw.
  void UpdateAnchorRules();

  TControlStyle FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  TControlState FControlState = 0;

private:
  friend class TWinControl;
  // Ends the running drag: a started one tells its control, and the press
  // that began it no longer makes a click.
  static void FinishDrag(bool ACancelled, bool AReleaseCapture);
  void StartDrag();
  void FontChangedHandler();
  void RouteMouse(TMessage& AMessage, TShiftState AShift, int AX, int AY);

  TWinControl* FParent = nullptr;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = kDefaultAnchors;
  // Distances from the right and bottom edges of the parent's client area,
  // kept so anchored controls follow those edges.
  int FAnchorRight = 0;
  int FAnchorBottom = 0;
  bool FAnchorRulesValid = false;
  bool FVisible = true;
  bool FLastShowing = false;
  bool FEnabled = true;
  std::wstring FText;
  TColor FColor = clWindow;
  bool FParentColor = false;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  bool FSettingParentFont = false;
  bool FCtl3D = true;
  std::wstring FHint;
  bool FShowHint = false;
  TComponent* FPopupMenu = nullptr;
  TCursor FCursor = crDefault;
  intptr_t FHelpContext = 0;
  TDragMode FDragMode = dmManual;
};

// A control without a window, drawn on its parent's canvas and hit-tested by
// its parent.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  std::wstring ClassName() const override { return L"TGraphicControl"; }
  // The parent's DC for the time of a paint, clipped and moved to the control.
  TCanvas& Canvas() { return *FCanvas; }

protected:
  friend class TWinControl;
  virtual void Paint() {}

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// How a window is made: filled by CreateParams, used by CreateWnd.
struct TCreateParams {
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  HWND WndParent = nullptr;
  // The class of the window; the framework's own class unless a descendant
  // wraps a system class.
  std::wstring WinClassName;
  // A system class ("EDIT", "LISTBOX", "RichEdit20W") the window is made
  // from: its class is registered once as a copy under WinClassName, the
  // window runs through the control's handler chain, and what the chain
  // leaves goes to the system class's own procedure.
  std::wstring SystemClassName;
};

// A control with a window of the framework's window class. The window is
// made when it is first needed and can be made again (`RecreateWnd`) with
// new creation parameters; the object is found from the window by
// `FindControl`.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;
  std::wstring ClassName() const override { return L"TWinControl"; }
  void BeforeDestruction() override;

  // The window, made on demand (with the parents' windows first).
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  // A top-level control's owner window outside the framework.
  HWND ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND AValue);
  void RecreateWnd();
  static TWinControl* FindControl(HWND AWindow);

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  RECT ClientRect() const override;
  POINT ClientToScreen(POINT APoint) const override;
  POINT ScreenToClient(POINT APoint) const override;
  bool Showing() const override { return FShowing; }

  // Children: graphic controls and windowed controls each in Z-order,
  // bottom first; windowed controls lie above graphic ones.
  int ControlCount() const { return int(FControls.size() + FWinControls.size()); }
  // Graphic controls first, then windowed ones, each bottom first.
  TControl* Controls(int AIndex) const;
  bool ContainsControl(const TControl* AControl) const;
  // The child under the point (client coordinates), the topmost one; hidden
  // and (unless AAllowDisabled) disabled children are passed over.
  TControl* ControlAtPos(POINT APoint, bool AAllowDisabled, bool AAllowWinControls = false) const;
  // Raises EInvalidOperation for a control this one may not hold.
  virtual void ValidateInsertControl(TControl* AControl);
  // A child joined (AInserting) or left.
  virtual void ControlListChanged(TControl* /*AControl*/, bool /*AInserting*/) {}

  // Alignment: while disabled (nested), requests are only remembered.
  void DisableAlign();
  void EnableAlign();
  bool AlignDisabled() const { return FAlignLevel > 0; }
  void Realign();

  // Focus and Tab order.
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool AValue) { FTabStop = AValue; }
  int TabOrder() const;
  void SetTabOrder(int AValue);
  virtual bool CanFocus() const;
  bool Focused() const;
  // Raises EInvalidOperation when the control cannot take the focus.
  virtual void SetFocus();
  // The windowed descendants in Tab order (depth first).
  std::vector<TWinControl*> GetTabOrderList() const;
  // The next (or previous) focusable descendant after ACurrent, wrapping
  // round; ACheckTabStop passes over those without TabStop.
  TWinControl* FindNextControl(TWinControl* ACurrent, bool AGoForward, bool ACheckTabStop) const;
  void SelectNext(TWinControl* ACurrent, bool AGoForward, bool ACheckTabStop);

  bool DoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool AValue) { FDoubleBuffered = AValue; }
  // Whether the control's background is its parent's drawing.
  bool ParentBackground() const { return HasStyle(csParentBackground); }
  void SetParentBackground(bool AValue);

  // Draws the control and its children into ADC at (AX, AY), in paint-copy
  // state, whether or not it is on the screen; a window's frame (border,
  // client edge) is drawn too.
  void PaintTo(HDC ADC, int AX, int AY);
  // True when the window is made from a wrapped system class.
  bool WrapsSystemClass() const { return FDefWndProc != nullptr; }
  void Invalidate() override;
  void Update() override;

  // Broadcasts AMessage to every child (graphic ones too) until one sets a
  // result.
  void Broadcast(TMessage& AMessage);
  // Calls AVisit for every descendant, depth first.
  void ForEachDescendant(const std::function<void(TControl*)>& AVisit) const;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  void FontChanged() override;
  void ColorChanged() override;
  void EnabledChanged() override;
  void ShowingChanged() override;
  void TextChanged() override;
  // The window took or lost the focus.
  virtual void DoEnter();
  virtual void DoExit();

protected:
  virtual void CreateParams(TCreateParams& AParams);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  void DestroyHandle();
  // Lets the derived class shrink the area that aligned children fill.
  virtual void AdjustClientRect(RECT& /*ARect*/) {}
  virtual void AlignControls(TControl* AControl, RECT& ARect);
  void WndProc(TMessage& AMessage) override;
  void DefaultHandler(TMessage& AMessage) override;
  void SetZOrder(bool ATopMost) override;
  // Fills ADC with the background (the parent's drawing or the colour).
  virtual void EraseBackground(HDC ADC);
  // Draws the parent's background and content under this control into ADC.
  void PaintParentBackground(HDC ADC);
  // Draws the window's own content into ADC; the base draws nothing.
  virtual void PaintWindow(HDC /*ADC*/) {}
  // Draws the frame of the window (WS_BORDER, WS_EX_CLIENTEDGE,
  // WS_EX_STATICEDGE) into ADC, whose origin is the window's top left. It
  // runs on WM_NCPAINT when the print path redirected the window's DC, or
  // when the class has csNeedsBorderPaint.
  virtual void PaintNonClient(HDC ADC);
  // Paints the graphic children into ADC; AFirst: start above that one.
  void PaintControls(HDC ADC, TControl* AFirst);
  // The whole client drawing: the window, then its graphic children.
  void PaintHandler(HDC ADC);
  void UpdateShowingFromParent() override;
  // The dialog codes the window answers WM_GETDLGCODE with.
  virtual LRESULT DialogCode() { return 0; }

private:
  friend class TControl;
  static LRESULT CALLBACK WindowProc(HWND AWindow, UINT AMsg, WPARAM AWParam, LPARAM ALParam);
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  void AlignControl(TControl* AControl);
  void UpdateShowing();
  void UpdateBoundsFromWindow();
  void WMPaint(TMessage& AMessage);
  // The running drag's share of the window's messages; true when it took
  // the message whole.
  bool DragMessage(TMessage& AMessage);
  void HandleMouse(TMessage& AMessage);
  bool ReflectToChild(TMessage& AMessage);
  TWinControl* RootControl();
  void SetMouseControl(TControl* AControl, intptr_t AMarker);
  void WMNCPaint(TMessage& AMessage);
  // The print path shared by PaintTo and WM_PRINT: ADC's origin is the
  // window's top left.
  void PrintInto(HDC ADC, bool ANonClient, bool AClient, bool AChildren, bool AErase);
  // The client area's top left inside the window ((0, 0) without a frame).
  POINT ClientOrigin() const;

  HWND FHandle = nullptr;
  // The wrapped system class's procedure, nullptr for the framework's class.
  WNDPROC FDefWndProc = nullptr;
  HWND FParentWindow = nullptr;
  std::vector<TControl*> FControls;
  std::vector<TWinControl*> FWinControls;
  std::vector<TWinControl*> FTabList;
  TControl* FCaptureControl = nullptr;
  int FAlignLevel = 0;
  bool FShowing = false;
  bool FTabStop = false;
  bool FDoubleBuffered = false;
  bool FTrackingLeave = false;
  bool FRealigning = false;
};

// A windowed control that draws itself on its canvas in `Paint`.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  std::wstring ClassName() const override { return L"TCustomControl"; }
  TCanvas& Canvas() { return *FCanvas; }

protected:
  virtual void Paint() {}
  void PaintWindow(HDC ADC) override;

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// A windowed container whose content may reach beyond its client area.
// Walks up the parents recognise it by class and stop there.
class TScrollingWinControl : public TWinControl {
public:
  using TWinControl::TWinControl;
  std::wstring ClassName() const override { return L"TScrollingWinControl"; }
};

// The scrolling container placed on forms.
class TScrollBox : public TScrollingWinControl {
public:
  using TScrollingWinControl::TScrollingWinControl;
  std::wstring ClassName() const override { return L"TScrollBox"; }
};

// The control whose drag is pending or running, or nullptr.
TControl* DragControl();

// The control the mouse is over (a graphic child counts), or nullptr.
TControl* MouseControl();
// The control holding the mouse capture, or nullptr.
TControl* CaptureControl();

// A window procedure must not let an exception out; the framework hands it
// to this handler. The standard one hands it to the application's
// `HandleException` when an application exists and drops it otherwise.
// Installing nullptr puts the standard one back. Answers the previous handler.
using TWindowExceptionHandler = void (*)(const std::exception& AError);
TWindowExceptionHandler SetWindowExceptionHandler(TWindowExceptionHandler AHandler);

// Unregisters the framework's window classes (its own and the wrapped
// system classes) once no window of them is left.
void FinalizeControls();

// The framework's shut-down: frees the application and the screen with the
// module's cursors, then unregisters the window classes. The plug-in's
// unload calls it (the release routines of src/stellaris/plugin-lifetime.cpp,
// after the forms are gone); a test program calls it to show that nothing
// is left in the resource ledger. Safe to call more than once.
void FinalizeFramework();

// ---------------------------------------------------------------------------
// The window DC of non-client painting

// Non-client painting takes its DC here instead of from GetWindowDC, so the
// print path can hand it the print target: while a `TWindowDCRedirect` for
// the window lives, `AcquireWindowDC` answers the redirected DC; otherwise
// the window's own DC, which `ReleaseWindowDC` gives back.
HDC AcquireWindowDC(HWND AWindow);
void ReleaseWindowDC(HWND AWindow, HDC ADC);
bool WindowDCRedirected(HWND AWindow);

// Redirects one window's DC for its lifetime; redirects nest.
class TWindowDCRedirect {
public:
  TWindowDCRedirect(HWND AWindow, HDC ATarget);
  TWindowDCRedirect(const TWindowDCRedirect&) = delete;
  TWindowDCRedirect& operator=(const TWindowDCRedirect&) = delete;
  ~TWindowDCRedirect();

private:
  HWND FPreviousWindow;
  HDC FPreviousTarget;
};

// One control as the listing query reports it.
struct TControlListing {
  std::wstring Name;
  std::wstring ClassName;
  std::wstring Caption;
  bool Checked;
  bool Enabled;
  bool Visible;
  // In the parent's client coordinates.
  RECT Bounds;
  // 0 for the children of the control asked about.
  int Depth;
};

// Every control inside AParent, graphic ones too, depth first in the order
// `Controls` lists them.
std::vector<TControlListing> ListControls(const TWinControl* AParent);
