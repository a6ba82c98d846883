#pragma once

#include "controls.h"
#include "gx-core.h"
#include "kx-look-and-feels.h"
#include "list-boxes.h"
#include "seams.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

// The edit control library's windowed control base: look and feel, a
// wrapped canvas, buffered painting, the mouse-capture object, wheel
// scrolling, the middle-button auto-scroll mode, font listeners and child
// components.

class TkxControl;

enum TkxControlBorderStyle : uint8_t { kxcbsNone, kxcbsDefault };
enum TkxDragAndDropState : uint8_t { ddsNone, ddsStarting, ddsInProcess };
enum TkxKey : uint8_t { kAll = 1, kArrows = 2, kChars = 4, kTab = 8 };
using TkxKeys = uint8_t;
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TkxScrollDirection : uint8_t { dirNone, dirLeft, dirRight, dirUp, dirDown };

// The screen-cursor slots of the auto-scroll mode.
constexpr int kkxAutoScrollCursorLeft = 2107;
constexpr int kkxAutoScrollCursorRight = 2105;
constexpr int kkxAutoScrollCursorUp = 2104;
constexpr int kkxAutoScrollCursorDown = 2106;
constexpr int kkxAutoScrollCursorBoth = 2101;
constexpr int kkxAutoScrollCursorHorizontal = 2102;
constexpr int kkxAutoScrollCursorVertical = 2103;
// The auto-scroll mode's tick and its fastest speed.
constexpr UINT kkxAutoScrollTimerInterval = 20;
constexpr int kkxAutoScrollMaxSpeed = 12;

// A canvas of the library around a framework canvas.
class TkxCanvas {
public:
  explicit TkxCanvas(TCanvas& ACanvas) : FCanvas(&ACanvas) {}
  TkxCanvas(const TkxCanvas&) = delete;
  TkxCanvas& operator=(const TkxCanvas&) = delete;
  virtual ~TkxCanvas() = default;

  TCanvas& Canvas() { return *FCanvas; }
  HDC Handle() { return FCanvas->Handle(); }
  bool HandleAllocated() const { return FCanvas->HandleAllocated(); }
  // Saves and restores the context's whole state; the pairs nest.
  void SaveDC();
  void RestoreDC();
  void FillRect(const RECT& ARect, TColor AColor);
  void FrameRect(const RECT& ARect, TColor AColor, int ALineWidth = 1);
  // Drawing is limited to ARect from now on (until RestoreDC).
  void IntersectClipRect(const RECT& ARect);

private:
  TCanvas* FCanvas;
  std::vector<int> FSavedDCs;
};

// A canvas on the screen's context, for a control that has no window yet.
class TkxScreenCanvas : public TkxCanvas {
public:
  TkxScreenCanvas();
  ~TkxScreenCanvas() override;

private:
  std::unique_ptr<TCanvas> FOwnCanvas;
  HDC FScreenDC;
};

// The border a painter draws around a control, and its width.
int kxPainterBorderSize(const TkxCustomLookAndFeelPainter* APainter);
void kxPainterDrawBorder(const TkxCustomLookAndFeelPainter* APainter, TkxCanvas& ACanvas,
                         const RECT& ABounds);

// Interfaces the control asks other objects for.
class IkxCustomPopupMenu {
public:
  virtual bool IsShortCut(const TMessage& AKeyMessage) = 0;
  virtual void Popup(int AX, int AY) = 0;

protected:
  ~IkxCustomPopupMenu() = default;
};
class IkxCaptureObjectNotify {
public:
  virtual void CaptureLost() = 0;

protected:
  ~IkxCaptureObjectNotify() = default;
};
class IkxControlFontNotify {
public:
  virtual void FontChanged(TFont& AFont) = 0;

protected:
  ~IkxControlFontNotify() = default;
};
class IkxTransparentChild {
public:
  virtual bool IsTransparent() = 0;

protected:
  ~IkxTransparentChild() = default;
};
class IkxFontListener {
public:
  virtual void Changed(TPersistent* ASender, TFont& AFont) = 0;

protected:
  ~IkxFontListener() = default;
};

// How many lines one wheel notch scrolls: the system's setting. Tests put
// in their own number.
class TkxWheelScrollLinesSeam : public TSeam<TkxWheelScrollLinesSeam> {
public:
  virtual UINT Lines() = 0;
  static TkxWheelScrollLinesSeam& System();
};

// The direction and speed of the auto-scroll mode for the cursor at
// APoint, the mode anchored at AAnchor (both on the screen).
struct TkxAutoScrollMotion {
  TkxScrollDirection Direction;
  int Speed;
  // The cursor is outside the anchor area.
  bool LeftAnchorArea;
};
TkxAutoScrollMotion kxAutoScrollMotion(POINT AAnchor, POINT APoint, int ABitmapWidth,
                                       bool AHorizontal, bool AVertical, SIZE AScreen);
// The cursor slot that shows the mode's direction.
int kxAutoScrollCursor(TkxScrollDirection ADirection, bool AHorizontal, bool AVertical);

class TkxControl : public TCustomControl, public IgxLocalizerListener {
public:
  explicit TkxControl(TComponent* AOwner);
  ~TkxControl() override;
  std::wstring ClassName() const override { return L"TkxControl"; }

  // --- look and feel, canvases and bounds -------------------------------------
  TkxLookAndFeel& LookAndFeel() { return *FLookAndFeel; }
  virtual TkxLookAndFeel* GetLookAndFeel() { return FLookAndFeel.get(); }
  virtual TkxCustomLookAndFeelPainter* GetPainter() { return FLookAndFeel->Painter(); }
  // The wrapped framework canvas.
  TkxCanvas& KxCanvas() { return *FCanvas; }
  // The wrapped canvas while the window exists, else a screen canvas.
  TkxCanvas& ActiveCanvas();
  virtual RECT GetBounds();
  void SetBounds(const RECT& ABounds) { FBounds = ABounds; }
  using TCustomControl::SetBounds;
  virtual RECT GetClientBounds();
  TkxControlBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TkxControlBorderStyle AValue);
  virtual int GetBorderSize();

  // --- state -----------------------------------------------------------------
  virtual bool IsDesigning() { return ComponentState().Contains(csDesigning); }
  bool IsDestroying() const { return ComponentState().Contains(csDestroying); }
  bool IsLoading() const { return ComponentState().Contains(csLoading); }
  virtual bool IsFocused() { return Focused(); }
  bool IsScrollingContent() const { return FIsScrollingContent; }
  bool MouseButtonPressed() const { return FMouseButtonPressed; }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle AValue) { FScrollBars = AValue; }
  TkxKeys Keys() const { return FKeys; }
  void SetKeys(TkxKeys AValue);
  bool FocusOnClick() const { return FFocusOnClick; }
  void SetFocusOnClick(bool AValue) { FFocusOnClick = AValue; }
  // The cursor shown where no hit area asks for another.
  void SetCursor(TCursor AValue);
  TCursor DefaultCursor() const { return FDefaultCursor; }

  // --- mouse -----------------------------------------------------------------
  TPersistent* MouseCaptureObject() const { return FMouseCaptureObject; }
  void SetMouseCaptureObject(TPersistent* AValue);
  POINT MouseDownPos() const { return FMouseDownPos; }
  void SetMouseDownPos(POINT AValue) { FMouseDownPos = AValue; }
  bool IsMouseInPressedArea(int AX, int AY);
  POINT GetMouseCursorClientPos();
  void PostMouseMove();
  void PostMouseMove(POINT AMousePos);
  bool AcceptMousePosForClick(int AX, int AY);
  bool CanFocusEx();

  // --- drag and drop (the state the base keeps) ------------------------------
  TkxDragAndDropState DragAndDropState() const { return FDragAndDropState; }
  void SetDragAndDropState(TkxDragAndDropState AValue) { FDragAndDropState = AValue; }
  void FinishDragAndDrop(bool AAccepted);

  // --- painting and invalidation ---------------------------------------------
  void Invalidate() override;
  void InvalidateRect(const RECT& ARect, bool AEraseBackground);
  void InvalidateRgn(HRGN ARegion, bool AEraseBackground);
  void InvalidateWithChildren();
  void UpdateWithChildren();

  // --- scrolling -------------------------------------------------------------
  // One step of the content in ADirection, through Scroll.
  virtual void ScrollContent(TkxScrollDirection ADirection);

  // --- popup menu and fonts --------------------------------------------------
  // nil, a framework popup menu or a component offering IkxCustomPopupMenu;
  // anything else counts as nil.
  TComponent* KxPopupMenu() const { return FPopupMenu; }
  void SetKxPopupMenu(TComponent* AValue);
  void AddFontListener(IkxFontListener* AListener);
  void RemoveFontListener(IkxFontListener* AListener);
  void TranslationChanged() override {}

  TNotifyEvent OnFocusChanged;

  // The control's child components register here.
  virtual void AddChildComponent(TComponent* AComponent);
  virtual void RemoveChildComponent(TComponent* AComponent);

protected:
  void WndProc(TMessage& AMessage) override;
  void CreateParams(TCreateParams& AParams) override;
  void Paint() override;
  void PaintWindow(HDC ADC) override;
  void Resize() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void FontChanged() override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;

  virtual bool DoShowPopupMenu(TComponent* AMenu, int AX, int AY);
  virtual bool UseFrameworkPaintBuffer() { return false; }
  virtual void EraseBackground(HDC ADC) override;
  virtual void AfterMouseDown(TMouseButton AButton, int AX, int AY);
  virtual void BeforeMouseDown(TMouseButton, TShiftState, int, int) {}
  virtual void AfterMouseUp();
  virtual void DoPaint();
  virtual TCursor GetCursor(int /*AX*/, int /*AY*/) { return FDefaultCursor; }
  virtual TScrollStyle GetMouseWheelScrollingKind();
  virtual bool PaintKeepsAlpha() { return false; }
  virtual bool AllowCompositionPaint() { return true; }
  virtual bool CanFocusOnClick();
  virtual bool NeedsFocusOnClick(int, int) { return CanFocusOnClick(); }
  virtual bool EraseBackgroundOnMessage() { return false; }
  virtual bool FullRepaintNeeded() { return false; }
  virtual bool AdjustMouseDownPosOnFocus() { return true; }
  virtual void ParentBackgroundChanged() {}
  virtual void LookAndFeelChanged() {}
  virtual bool HasScrollBars() { return true; }
  // Whether the control's own bar of that kind shows. The bars themselves
  // belong to the scroll-bar layer; the base shows none.
  virtual bool IsScrollBarVisible(TScrollBarKind) { return false; }
  // Every scroll of either bar, and every step of wheel and auto-scroll.
  virtual void Scroll(TScrollBarKind, int /*AScrollCode*/, int& /*AScrollPos*/) {}
  virtual bool CancelModeOnCaptureLoss() { return true; }
  virtual bool CanDrag(int, int) { return FDragAndDropState == ddsNone; }
  virtual bool AllowAutoDragAndDropAtDesignTime(int, int, TShiftState) { return true; }
  virtual void CancelMouseOperations();
  virtual bool GetDesignHitTest(int, int, TShiftState);
  virtual bool MayFocus() { return true; }
  virtual void BoundsChanged();
  virtual void CursorChanged() { FDefaultCursor = Cursor(); }
  virtual void FocusChanged();
  virtual bool AllowUnfocusedMouseDown() { return false; }

  // Runs the middle-button auto-scroll mode until the user ends it.
  void RunAutoScroll();

private:
  void WMPaint(TMessage& AMessage);
  void PaintDirect(TMessage& AMessage);
  bool PaintComposited();
  void PaintThroughBitmap();
  void WMEraseBkgnd(TMessage& AMessage);
  void WMMouseWheel(TMessage& AMessage);
  void WMContextMenu(TMessage& AMessage);
  LRESULT DialogCode() override;

  std::unique_ptr<TkxCanvas> FCanvas;
  std::unique_ptr<TkxScreenCanvas> FActiveCanvas;
  std::unique_ptr<TkxLookAndFeel> FLookAndFeel;
  TkxControlBorderStyle FBorderStyle = kxcbsNone;
  bool FCreatingWindow = false;
  TCursor FDefaultCursor = crDefault;
  TkxDragAndDropState FDragAndDropState = ddsNone;
  bool FFinishingDragAndDrop = false;
  bool FFocusOnClick = true;
  std::vector<IkxFontListener*> FFontListenerList;
  TkxKeys FKeys = 0;
  bool FMouseButtonPressed = false;
  TPersistent* FMouseCaptureObject = nullptr;
  POINT FMouseDownPos{0, 0};
  bool FMouseRightButtonReleased = false;
  TComponent* FPopupMenu = nullptr;
  TScrollStyle FScrollBars = ssBoth;
  bool FIsScrollingContent = false;
  bool FLastParentBackground = true;
  RECT FBounds{0, 0, 0, 0};
  // Cleared when the control dies, so a handler that freed it stops.
  std::shared_ptr<bool> FAlive;
};

// A non-visual component that lives inside a control.
class TkxControlChildComponent : public TComponent {
public:
  explicit TkxControlChildComponent(TComponent* AOwner);
  TkxControlChildComponent(TkxControl* AControl, bool AAssignOwner);
  ~TkxControlChildComponent() override;
  std::wstring ClassName() const override { return L"TkxControlChildComponent"; }

  TkxControl* Control() const { return FControl; }
  virtual void SetControl(TkxControl* AValue) { FControl = AValue; }
  virtual bool IsDestroying() const { return ComponentState().Contains(csDestroying); }
  bool IsLoading() const { return ComponentState().Contains(csLoading); }
  TComponent* GetParentComponent() const { return FControl; }
  bool HasParent() const { return FControl != nullptr; }
  void SetParentComponent(TComponent* AValue);

protected:
  virtual void Initialize() {}

private:
  TkxControl* FControl = nullptr;
};

// The control unit's classes in the framework's class registry.
void RegisterKxControlClasses();
void UnregisterKxControlClasses();
