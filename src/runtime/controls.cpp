#include "controls.h"

#include "application.h"
#include "resource-ledger.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr wchar_t kWindowClassName[] = L"OrvandelControl";
ATOM GClassAtom = 0;
TControl* GMouseControl = nullptr;
TControl* GCaptureControl = nullptr;

// The one drag, pending or started, and the window holding the mouse for it.
struct TDragState {
  TControl* Control = nullptr;
  HWND Window = nullptr;
  // Where the mouse was when the drag began, in screen coordinates.
  POINT Start{};
  SIZE Threshold{};
  bool Started = false;
};
TDragState GDrag;
// The last mouse point the framework saw, in screen coordinates: a drag
// measures its threshold from here.
POINT GLastMouse{};

// A failure inside a message goes to the application; without one it is
// dropped. Either way the message answers 0 and the loop goes on.
void DefaultWindowExceptionHandler(const std::exception& AError) {
  TApplication* application = ApplicationIfAny();
  if (!application)
    return;
  try {
    application->HandleException(AError);
  } catch (...) {
    // A failing report must not leave the window procedure either.
  }
}
TWindowExceptionHandler GExceptionHandler = DefaultWindowExceptionHandler;

// A system class copied under a component's own class name.
struct TWrappedClass {
  std::wstring Name;
  ATOM Atom;
  WNDPROC SystemProc;
};
std::vector<TWrappedClass> GWrappedClasses;

const TWrappedClass* FindWrappedClass(ATOM AAtom) {
  for (const auto& wrapped : GWrappedClasses)
    if (wrapped.Atom == AAtom)
      return &wrapped;
  return nullptr;
}

bool IsFrameworkClass(HWND AWindow) {
  const auto atom = ATOM(GetClassLongPtrW(AWindow, GCW_ATOM));
  return atom && ((GClassAtom && atom == GClassAtom) || FindWrappedClass(atom));
}

const TWrappedClass& RegisterWrappedClass(const std::wstring& AName,
                                          const std::wstring& ASystemClass, WNDPROC AProc) {
  for (const auto& wrapped : GWrappedClasses)
    if (_wcsicmp(wrapped.Name.c_str(), AName.c_str()) == 0)
      return wrapped;
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  // The system's own classes answer for a null instance, classes of loaded
  // libraries (the rich edit) as global classes for any.
  if (!GetClassInfoExW(nullptr, ASystemClass.c_str(), &info) &&
      !GetClassInfoExW(ModuleInstance(), ASystemClass.c_str(), &info))
    throw EOutOfResources(L"The window class \"" + ASystemClass + L"\" is not available");
  const WNDPROC systemProc = info.lpfnWndProc;
  info.cbSize = sizeof(info);
  info.lpfnWndProc = AProc;
  info.hInstance = ModuleInstance();
  info.lpszClassName = AName.c_str();
  info.lpszMenuName = nullptr;
  info.style &= ~UINT(CS_GLOBALCLASS);
  const ATOM atom = RegisterClassExW(&info);
  if (!atom)
    throw EOutOfResources(L"Cannot register the window class \"" + AName + L"\"");
  TResourceLedger::Take(TResourceKind::WindowClass, atom);
  GWrappedClasses.push_back({AName, atom, systemProc});
  return GWrappedClasses.back();
}

// The one window whose DC non-client painting is redirected, and where to.
HWND GRedirectedWindow = nullptr;
HDC GRedirectTarget = nullptr;

void RegisterWindowClass(WNDPROC AProc) {
  if (GClassAtom)
    return;
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  info.style = CS_DBLCLKS;
  info.lpfnWndProc = AProc;
  info.hInstance = ModuleInstance();
  info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  info.lpszClassName = kWindowClassName;
  GClassAtom = RegisterClassExW(&info);
  if (!GClassAtom)
    throw EOutOfResources(L"Cannot register the control window class");
  TResourceLedger::Take(TResourceKind::WindowClass, GClassAtom);
}

TShiftState ShiftFromKeys(WPARAM AKeys) {
  TShiftState shift = 0;
  if (AKeys & MK_SHIFT)
    shift |= ssShift;
  if (AKeys & MK_CONTROL)
    shift |= ssCtrl;
  if (AKeys & MK_LBUTTON)
    shift |= ssLeft;
  if (AKeys & MK_RBUTTON)
    shift |= ssRight;
  if (AKeys & MK_MBUTTON)
    shift |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0)
    shift |= ssAlt;
  return shift;
}

bool IsMouseMessage(UINT AMsg) {
  return AMsg >= WM_MOUSEMOVE && AMsg <= WM_MBUTTONDBLCLK;
}

bool IsButtonDown(UINT AMsg) {
  return AMsg == WM_LBUTTONDOWN || AMsg == WM_RBUTTONDOWN || AMsg == WM_MBUTTONDOWN ||
         AMsg == WM_LBUTTONDBLCLK || AMsg == WM_RBUTTONDBLCLK || AMsg == WM_MBUTTONDBLCLK;
}

bool IsButtonUp(UINT AMsg) {
  return AMsg == WM_LBUTTONUP || AMsg == WM_RBUTTONUP || AMsg == WM_MBUTTONUP;
}

template <typename T> void MoveInList(std::vector<T*>& AList, T* AItem, bool AToEnd) {
  auto it = std::find(AList.begin(), AList.end(), AItem);
  if (it == AList.end())
    return;
  AList.erase(it);
  if (AToEnd)
    AList.push_back(AItem);
  else
    AList.insert(AList.begin(), AItem);
}

// Keeps a bit of a control's state set for a scope, restoring what it was.
class TStateScope {
public:
  TStateScope(TControl* AControl, TControlStateItem AItem)
      : FControl(AControl), FItem(AItem), FWasSet(AControl->InState(AItem)) {
    FControl->SetControlState(FControl->ControlState() | AItem);
  }
  ~TStateScope() {
    if (!FWasSet)
      FControl->SetControlState(FControl->ControlState() & ~uint32_t(FItem));
  }
  TStateScope(const TStateScope&) = delete;
  TStateScope& operator=(const TStateScope&) = delete;

private:
  TControl* FControl;
  TControlStateItem FItem;
  bool FWasSet;
};

// Moves a DC's origin by (AX, AY) and clips it to the given size there, for
// a scope.
class TDCOriginScope {
public:
  TDCOriginScope(HDC ADC, int AX, int AY, int AWidth, int AHeight) : FDC(ADC), FSaved(SaveDC(ADC)) {
    IntersectClipRect(ADC, AX, AY, AX + AWidth, AY + AHeight);
    POINT origin;
    GetViewportOrgEx(ADC, &origin);
    SetViewportOrgEx(ADC, origin.x + AX, origin.y + AY, nullptr);
  }
  ~TDCOriginScope() { RestoreDC(FDC, FSaved); }
  TDCOriginScope(const TDCOriginScope&) = delete;
  TDCOriginScope& operator=(const TDCOriginScope&) = delete;

private:
  HDC FDC;
  int FSaved;
};

} // namespace

TShiftState KeyboardShiftState() {
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0)
    shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0)
    shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0)
    shift |= ssAlt;
  return shift;
}

TControl* DragControl() {
  return GDrag.Control;
}

TWindowExceptionHandler SetWindowExceptionHandler(TWindowExceptionHandler AHandler) {
  TWindowExceptionHandler previous = GExceptionHandler;
  GExceptionHandler = AHandler ? AHandler : DefaultWindowExceptionHandler;
  return previous;
}

TControl* MouseControl() {
  return GMouseControl;
}

TControl* CaptureControl() {
  return GCaptureControl;
}

void FinalizeControls() {
  if (TResourceLedger::Count(TResourceKind::Window) != 0)
    return;
  if (GClassAtom && UnregisterClassW(kWindowClassName, ModuleInstance())) {
    TResourceLedger::Give(TResourceKind::WindowClass, GClassAtom);
    GClassAtom = 0;
  }
  for (auto it = GWrappedClasses.begin(); it != GWrappedClasses.end();) {
    if (UnregisterClassW(it->Name.c_str(), ModuleInstance())) {
      TResourceLedger::Give(TResourceKind::WindowClass, it->Atom);
      it = GWrappedClasses.erase(it);
    } else {
      ++it;
    }
  }
}

void FinalizeFramework() {
  // The application's hidden window goes first, so no window keeps the
  // classes registered.
  ReleaseApplication();
  FinalizeControls();
}

HDC AcquireWindowDC(HWND AWindow) {
  if (AWindow && AWindow == GRedirectedWindow)
    return GRedirectTarget;
  HDC dc = GetWindowDC(AWindow);
  if (dc)
    LedgerTake(TResourceKind::DeviceContext, dc);
  return dc;
}

void ReleaseWindowDC(HWND AWindow, HDC ADC) {
  if (!ADC || (AWindow == GRedirectedWindow && ADC == GRedirectTarget))
    return;
  ReleaseDC(AWindow, ADC);
  LedgerGive(TResourceKind::DeviceContext, ADC);
}

bool WindowDCRedirected(HWND AWindow) {
  return AWindow && AWindow == GRedirectedWindow;
}

TWindowDCRedirect::TWindowDCRedirect(HWND AWindow, HDC ATarget)
    : FPreviousWindow(GRedirectedWindow), FPreviousTarget(GRedirectTarget) {
  GRedirectedWindow = AWindow;
  GRedirectTarget = ATarget;
}

TWindowDCRedirect::~TWindowDCRedirect() {
  GRedirectedWindow = FPreviousWindow;
  GRedirectTarget = FPreviousTarget;
}

// ===========================================================================
// TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this](TGraphicsObject*) { FontChangedHandler(); };
}

TControl::~TControl() {
  // Deleted outright rather than freed: still marked as going, so that
  // leaving the parent neither shows it again nor tells it anything.
  Destroying();
  if (GDrag.Control == this)
    GDrag = {};
  if (GMouseControl == this)
    GMouseControl = nullptr;
  if (GCaptureControl == this)
    GCaptureControl = nullptr;
  if (FParent)
    FParent->RemoveControl(this);
}

void TControl::BeforeDestruction() {
  TComponent::BeforeDestruction();
  // A control on its way out lets the mouse go and is told nothing.
  if (GDrag.Control == this) {
    GDrag.Started = false;
    FinishDrag(true, true);
  }
  if (GMouseControl == this)
    GMouseControl = nullptr;
  if (GCaptureControl == this)
    GCaptureControl = nullptr;
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent)
    return;
  if (AParent) {
    const TWinControl* self = dynamic_cast<const TWinControl*>(this);
    if (self && (self == AParent || self->ContainsControl(AParent)))
      throw EInvalidOperation(L"A control cannot have itself or its child as its parent");
  }
  ValidateParent(AParent);
  if (AParent)
    AParent->ValidateInsertControl(this);
  if (FParent)
    FParent->RemoveControl(this);
  if (AParent)
    AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
    return;
  const bool resized = AWidth != FWidth || AHeight != FHeight;
  Invalidate();
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  Invalidate();
  UpdateAnchorRules();
  if (resized)
    Resize();
  RequestAlign();
}

void TControl::UpdateAnchorRules() {
  if (!FParent || FParent->FRealigning)
    return;
  const RECT client = FParent->ClientRect();
  FAnchorRight = client.right - (FLeft + FWidth);
  FAnchorBottom = client.bottom - (FTop + FHeight);
  FAnchorRulesValid = true;
}

POINT TControl::ClientToScreen(POINT APoint) const {
  if (!FParent)
    return APoint;
  return FParent->ClientToScreen(ClientToParent(APoint));
}

POINT TControl::ScreenToClient(POINT APoint) const {
  if (!FParent)
    return APoint;
  POINT p = FParent->ScreenToClient(APoint);
  return {p.x - FLeft, p.y - FTop};
}

void TControl::SetAlign(TAlign AValue) {
  if (AValue == FAlign)
    return;
  FAlign = AValue;
  RequestAlign();
}

void TControl::SetAnchors(TAnchors AValue) {
  FAnchors = AValue;
  UpdateAnchorRules();
}

void TControl::SetVisible(bool AValue) {
  if (AValue != FVisible) {
    FVisible = AValue;
    if (!dynamic_cast<TWinControl*>(this))
      Invalidate();
    VisibleChanged();
    if (FParent && FAlign != alNone)
      RequestAlign();
  }
  UpdateShowingFromParent();
  if (!dynamic_cast<TWinControl*>(this) && FVisible)
    Invalidate();
}

bool TControl::Showing() const {
  return FVisible && FParent && FParent->Showing();
}

void TControl::UpdateShowingFromParent() {
  const bool now = Showing();
  if (now == FLastShowing)
    return;
  FLastShowing = now;
  ShowingChanged();
}

void TControl::SetEnabled(bool AValue) {
  if (AValue == FEnabled)
    return;
  FEnabled = AValue;
  EnabledChanged();
}

void TControl::SetText(const std::wstring& AValue) {
  if (AValue == FText)
    return;
  FText = AValue;
  TextChanged();
}

void TControl::SetName(const std::wstring& ANewName) {
  const std::wstring oldName = Name();
  TComponent::SetName(ANewName);
  // A caption still showing the old name follows the new one.
  if (HasStyle(csSetCaption) && FText == oldName)
    SetText(ANewName);
}

void TControl::SetColor(TColor AValue) {
  FParentColor = false;
  if (AValue == FColor)
    return;
  FColor = AValue;
  ColorChanged();
}

void TControl::SetParentColor(bool AValue) {
  FParentColor = AValue;
  if (AValue)
    ParentColorChanged();
}

void TControl::ColorChanged() {
  Invalidate();
}

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent || FParent->Color() == FColor)
    return;
  FColor = FParent->Color();
  ColorChanged();
}

void TControl::FontChangedHandler() {
  if (!FSettingParentFont)
    FParentFont = false;
  FontChanged();
}

void TControl::FontChanged() {
  Invalidate();
}

void TControl::SetParentFont(bool AValue) {
  FParentFont = AValue;
  if (AValue)
    ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!FParentFont || !FParent)
    return;
  FSettingParentFont = true;
  try {
    FFont->Assign(&FParent->Font());
  } catch (...) {
    FSettingParentFont = false;
    throw;
  }
  FSettingParentFont = false;
}

void TControl::SetCtl3D(bool AValue) {
  if (AValue == FCtl3D)
    return;
  FCtl3D = AValue;
  Ctl3DChanged();
}

void TControl::SetShowHint(bool AValue) {
  if (AValue == FShowHint)
    return;
  FShowHint = AValue;
  ShowHintChanged();
}

void TControl::MouseEnter(intptr_t /*AMarker*/) {
  if (OnMouseEnter)
    OnMouseEnter(this);
}

void TControl::MouseLeave(intptr_t /*AMarker*/) {
  if (OnMouseLeave)
    OnMouseLeave(this);
}

void TControl::PostInvalidate() {
  auto* window = dynamic_cast<TWinControl*>(this);
  if (!window)
    window = FParent;
  if (window && window->HandleAllocated())
    PostMessageW(window->FHandle, WM_ORV_INVALIDATE, 0, 0);
}

void TControl::Invalidate() {
  if (!FParent || !FParent->HandleAllocated() || !FVisible)
    return;
  RECT area = BoundsRect();
  InvalidateRect(FParent->FHandle, &area, !HasStyle(csOpaque));
}

void TControl::Update() {
  if (FParent)
    FParent->Update();
}

void TControl::SetZOrder(bool ATopMost) {
  if (!FParent)
    return;
  MoveInList(FParent->FControls, this, ATopMost);
  Invalidate();
}

void TControl::RequestAlign() {
  if (FParent && !FParent->FRealigning)
    FParent->Realign();
}

LRESULT TControl::Perform(UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  TMessage message{AMsg, AWParam, ALParam, 0};
  WndProc(message);
  return message.Result;
}

void TControl::Click() {
  if (OnClick)
    OnClick(this);
}

void TControl::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (OnMouseDown)
    OnMouseDown(this, AButton, AShift, AX, AY);
}

void TControl::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (OnMouseUp)
    OnMouseUp(this, AButton, AShift, AX, AY);
}

void TControl::MouseMove(TShiftState AShift, int AX, int AY) {
  if (OnMouseMove)
    OnMouseMove(this, AShift, AX, AY);
}

void TControl::BeginDrag(bool AImmediate, int AThreshold) {
  if (GDrag.Control)
    return;
  TWinControl* holder = dynamic_cast<TWinControl*>(this);
  if (!holder)
    holder = FParent;
  if (!holder)
    throw EInvalidOperation(L"Control '" + Name() + L"' has no parent window");
  const HWND window = holder->Handle();
  const SIZE threshold = AThreshold < 0
                             ? SIZE{GetSystemMetrics(SM_CXDRAG), GetSystemMetrics(SM_CYDRAG)}
                             : SIZE{AThreshold, AThreshold};
  GDrag = {this, window, GLastMouse, threshold, false};
  if (GetCapture() != window)
    SetCapture(window);
  if (AImmediate && GDrag.Control == this)
    StartDrag();
}

void TControl::EndDrag(bool ADrop) {
  if (GDrag.Control == this)
    FinishDrag(!ADrop, true);
}

bool TControl::Dragging() const {
  return GDrag.Control == this && GDrag.Started;
}

void TControl::FinishDrag(bool ACancelled, bool AReleaseCapture) {
  const TDragState drag = GDrag;
  GDrag = {};
  if (!drag.Control)
    return;
  if (AReleaseCapture && drag.Window && GetCapture() == drag.Window)
    ReleaseCapture();
  if (drag.Started || ACancelled)
    drag.Control->FControlState &= ~uint32_t(csClicked);
  if (drag.Started) {
    const POINT point = drag.Control->ScreenToClient(GLastMouse);
    drag.Control->DoEndDrag(ACancelled, point.x, point.y);
  }
}

void TControl::StartDrag() {
  GDrag.Started = true;
  try {
    DoStartDrag();
  } catch (...) {
    // A drag that failed to start is no drag: nothing is told of its end.
    if (GDrag.Control == this) {
      GDrag.Started = false;
      FinishDrag(true, true);
    }
    throw;
  }
}

void TControl::DoStartDrag() {
  if (OnStartDrag)
    OnStartDrag(this);
}

void TControl::DoEndDrag(bool ACancelled, int AX, int AY) {
  if (OnEndDrag)
    OnEndDrag(this, ACancelled, AX, AY);
}

void TControl::Resize() {
  if (OnResize)
    OnResize(this);
}

void TControl::RouteMouse(TMessage& AMessage, TShiftState AShift, int AX, int AY) {
  GLastMouse = ClientToScreen({AX, AY});
  switch (AMessage.Msg) {
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    FControlState |= csLButtonDown | csClicked;
    MouseDown(mbLeft, AShift | (AMessage.Msg == WM_LBUTTONDBLCLK ? ssDouble : 0), AX, AY);
    if (FDragMode == dmAutomatic && !GDrag.Control)
      BeginDrag(false);
    break;
  case WM_RBUTTONDOWN:
  case WM_RBUTTONDBLCLK:
    MouseDown(mbRight, AShift, AX, AY);
    break;
  case WM_MBUTTONDOWN:
  case WM_MBUTTONDBLCLK:
    MouseDown(mbMiddle, AShift, AX, AY);
    break;
  case WM_LBUTTONUP: {
    const bool clicked = InState(csClicked) && HasStyle(csClickEvents) && AX >= 0 && AY >= 0 &&
                         AX < FWidth && AY < FHeight;
    FControlState &= ~uint32_t(csLButtonDown | csClicked);
    MouseUp(mbLeft, AShift, AX, AY);
    if (clicked)
      Click();
    break;
  }
  case WM_RBUTTONUP:
    MouseUp(mbRight, AShift, AX, AY);
    break;
  case WM_MBUTTONUP:
    MouseUp(mbMiddle, AShift, AX, AY);
    break;
  case WM_MOUSEMOVE:
    MouseMove(AShift, AX, AY);
    break;
  }
}

void TControl::WndProc(TMessage& AMessage) {
  if (IsMouseMessage(AMessage.Msg)) {
    RouteMouse(AMessage, ShiftFromKeys(AMessage.WParam), GET_X_LPARAM(AMessage.LParam),
               GET_Y_LPARAM(AMessage.LParam));
    return;
  }
  if (AMessage.Msg == WM_ORV_INVALIDATE) {
    Invalidate();
    return;
  }
  DefaultHandler(AMessage);
}

void TControl::DefaultHandler(TMessage& AMessage) {
  AMessage.Result = 0;
}

// ===========================================================================
// TGraphicControl

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

// ===========================================================================
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
  FControlStyle |= csAcceptsControls;
}

TWinControl::~TWinControl() {
  // See ~TControl: without the mark, a control deleted outright would make
  // itself a new top-level window once its parent let it go.
  Destroying();
  if (FHandle) {
    // The object is half gone: the window's last messages must not reach it.
    HWND window = FHandle;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    FHandle = nullptr;
    DestroyWindow(window);
    TResourceLedger::Give(TResourceKind::Window, reinterpret_cast<uintptr_t>(window));
  }
  // The children go with their parent.
  while (!FControls.empty() || !FWinControls.empty()) {
    TControl* child = FWinControls.empty() ? FControls.back() : FWinControls.back();
    RemoveControl(child);
    TComponent::Free(child);
  }
  if (FParent) {
    TWinControl* parent = FParent;
    parent->RemoveControl(this);
  }
}

void TWinControl::BeforeDestruction() {
  TControl::BeforeDestruction();
  if (FHandle)
    DestroyHandle();
}

HWND TWinControl::Handle() {
  if (!FHandle) {
    if (FParent)
      FParent->Handle();
    if (!FHandle)
      CreateWnd();
  }
  return FHandle;
}

POINT TWinControl::ClientToScreen(POINT APoint) const {
  if (!FHandle)
    return TControl::ClientToScreen(APoint);
  ::ClientToScreen(FHandle, &APoint);
  return APoint;
}

POINT TWinControl::ScreenToClient(POINT APoint) const {
  if (!FHandle)
    return TControl::ScreenToClient(APoint);
  ::ScreenToClient(FHandle, &APoint);
  return APoint;
}

void TWinControl::SetParentWindow(HWND AValue) {
  if (AValue == FParentWindow)
    return;
  FParentWindow = AValue;
  if (FHandle && !FParent)
    RecreateWnd();
}

TWinControl* TWinControl::FindControl(HWND AWindow) {
  if (!AWindow || !IsFrameworkClass(AWindow))
    return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(AWindow, GWLP_USERDATA));
}

void TWinControl::CreateParams(TCreateParams& AParams) {
  AParams.Caption = Text();
  AParams.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (FParent) {
    AParams.Style |= WS_CHILD;
    AParams.WndParent = FParent->Handle();
  } else if (FParentWindow) {
    AParams.Style |= WS_CHILD;
    AParams.WndParent = FParentWindow;
  } else {
    AParams.Style |= WS_POPUP;
  }
  if (!Enabled())
    AParams.Style |= WS_DISABLED;
  if (FTabStop)
    AParams.Style |= WS_TABSTOP;
  AParams.X = Left();
  AParams.Y = Top();
  AParams.Width = Width();
  AParams.Height = Height();
  AParams.WinClassName = kWindowClassName;
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  FDefWndProc = nullptr;
  if (!params.SystemClassName.empty()) {
    if (params.WinClassName.empty() || params.WinClassName == kWindowClassName)
      throw EInvalidOperation(L"A wrapped system class needs a class name of its own");
    FDefWndProc =
        RegisterWrappedClass(params.WinClassName, params.SystemClassName, WindowProc).SystemProc;
  } else {
    RegisterWindowClass(WindowProc);
  }
  TStateScope creating(this, csCreating);
  HWND window = CreateWindowExW(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                                params.Style, params.X, params.Y, params.Width, params.Height,
                                params.WndParent, nullptr, ModuleInstance(), this);
  if (!window)
    throw EOutOfResources(L"Error creating window");
  FHandle = window;
  TResourceLedger::Take(TResourceKind::Window, reinterpret_cast<uintptr_t>(window));
  // Child windows are stacked as the list says, bottom first.
  for (TWinControl* child : FWinControls) {
    child->Handle();
    SetWindowPos(child->FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (FShowing)
    ShowWindow(FHandle, SW_SHOWNOACTIVATE);
}

void TWinControl::DestroyWnd() {
  if (FHandle)
    DestroyWindow(FHandle);
}

void TWinControl::DestroyHandle() {
  if (!FHandle)
    return;
  TStateScope destroying(this, csDestroyingHandle);
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (!FHandle)
    return;
  DestroyHandle();
  Handle();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == Left() && ATop == Top() && AWidth == Width() && AHeight == Height())
    return;
  const bool resized = AWidth != Width() || AHeight != Height();
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FHandle)
    SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateAnchorRules();
  if (resized) {
    Realign();
    Resize();
  }
  RequestAlign();
}

void TWinControl::UpdateBoundsFromWindow() {
  RECT r;
  GetWindowRect(FHandle, &r);
  HWND parent = GetParent(FHandle);
  if (parent && (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  if (r.left == Left() && r.top == Top() && r.right - r.left == Width() &&
      r.bottom - r.top == Height())
    return;
  const bool resized = r.right - r.left != Width() || r.bottom - r.top != Height();
  FLeft = r.left;
  FTop = r.top;
  FWidth = r.right - r.left;
  FHeight = r.bottom - r.top;
  if (resized) {
    Realign();
    Resize();
  }
}

RECT TWinControl::ClientRect() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return r;
  }
  return {0, 0, Width(), Height()};
}

TControl* TWinControl::Controls(int AIndex) const {
  const int graphic = int(FControls.size());
  if (AIndex < 0 || AIndex >= ControlCount())
    throw EListError(L"List index out of bounds (" + std::to_wstring(AIndex) + L")");
  return AIndex < graphic ? FControls[size_t(AIndex)] : FWinControls[size_t(AIndex - graphic)];
}

bool TWinControl::ContainsControl(const TControl* AControl) const {
  for (const TControl* c = AControl; c; c = c->Parent())
    if (c == this)
      return true;
  return false;
}

TControl* TWinControl::ControlAtPos(POINT APoint, bool AAllowDisabled,
                                    bool AAllowWinControls) const {
  auto hit = [&](TControl* AControl) {
    if (!AControl->Visible() || (!AControl->Enabled() && !AAllowDisabled))
      return false;
    RECT r = AControl->BoundsRect();
    return PtInRect(&r, APoint) != FALSE;
  };
  if (AAllowWinControls)
    for (auto it = FWinControls.rbegin(); it != FWinControls.rend(); ++it)
      if (hit(*it))
        return *it;
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it)
    if (hit(*it))
      return *it;
  return nullptr;
}

void TWinControl::ValidateInsertControl(TControl* /*AControl*/) {}

void TWinControl::InsertControl(TControl* AControl) {
  AControl->FParent = this;
  if (auto* window = dynamic_cast<TWinControl*>(AControl)) {
    FWinControls.push_back(window);
    FTabList.push_back(window);
  } else {
    FControls.push_back(AControl);
  }
  AControl->ParentFontChanged();
  AControl->ParentColorChanged();
  AControl->UpdateAnchorRules();
  if (auto* window = dynamic_cast<TWinControl*>(AControl); window && FHandle)
    window->Handle();
  AControl->UpdateShowingFromParent();
  if (AControl->Align() != alNone)
    Realign();
  AControl->Invalidate();
  ControlListChanged(AControl, true);
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (AControl->FParent != this)
    return;
  if (GMouseControl == AControl)
    GMouseControl = nullptr;
  if (FCaptureControl == AControl) {
    FCaptureControl = nullptr;
    if (GCaptureControl == AControl)
      GCaptureControl = nullptr;
  }
  AControl->Invalidate();
  if (auto* window = dynamic_cast<TWinControl*>(AControl)) {
    window->DestroyHandle();
    FWinControls.erase(std::find(FWinControls.begin(), FWinControls.end(), window));
    FTabList.erase(std::find(FTabList.begin(), FTabList.end(), window));
  } else {
    FControls.erase(std::find(FControls.begin(), FControls.end(), AControl));
  }
  AControl->FParent = nullptr;
  if (!AControl->ComponentState().Contains(csDestroying)) {
    AControl->UpdateShowingFromParent();
    ControlListChanged(AControl, false);
  }
  if (AControl->Align() != alNone && !ComponentState().Contains(csDestroying))
    Realign();
}

void TWinControl::DisableAlign() {
  ++FAlignLevel;
}

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0 && --FAlignLevel == 0 && InState(csAlignmentNeeded)) {
    FControlState &= ~uint32_t(csAlignmentNeeded);
    Realign();
  }
}

void TWinControl::Realign() {
  if (FAlignLevel > 0) {
    FControlState |= csAlignmentNeeded;
    return;
  }
  RECT area = ClientRect();
  AdjustClientRect(area);
  AlignControls(nullptr, area);
}

void TWinControl::AlignControls(TControl* /*AControl*/, RECT& ARect) {
  FRealigning = true;
  try {
    const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
    std::vector<TControl*> all;
    for (int i = 0; i < ControlCount(); ++i)
      all.push_back(Controls(i));
    for (TAlign align : order) {
      std::vector<TControl*> group;
      for (TControl* c : all)
        if (c->Align() == align && c->Visible())
          group.push_back(c);
      // Controls of one side keep the order of their current positions, so
      // moving one past another reorders them.
      std::stable_sort(group.begin(), group.end(), [align](TControl* A, TControl* B) {
        switch (align) {
        case alTop:
          return A->Top() < B->Top();
        case alBottom:
          return A->Top() + A->Height() > B->Top() + B->Height();
        case alLeft:
          return A->Left() < B->Left();
        case alRight:
          return A->Left() + A->Width() > B->Left() + B->Width();
        default:
          return false;
        }
      });
      for (TControl* c : group) {
        const int w = ARect.right - ARect.left;
        const int h = ARect.bottom - ARect.top;
        switch (align) {
        case alTop:
          c->SetBounds(ARect.left, ARect.top, w, c->Height());
          ARect.top += c->Height();
          break;
        case alBottom:
          c->SetBounds(ARect.left, ARect.bottom - c->Height(), w, c->Height());
          ARect.bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(ARect.left, ARect.top, c->Width(), h);
          ARect.left += c->Width();
          break;
        case alRight:
          c->SetBounds(ARect.right - c->Width(), ARect.top, c->Width(), h);
          ARect.right -= c->Width();
          break;
        default:
          c->SetBounds(ARect.left, ARect.top, std::max(w, 0), std::max(h, 0));
          break;
        }
      }
    }
    // Unaligned controls follow the right and bottom edges they are anchored to.
    const RECT client = ClientRect();
    for (TControl* c : all) {
      if (c->Align() != alNone || !c->FAnchorRulesValid)
        continue;
      int left = c->Left(), top = c->Top(), width = c->Width(), height = c->Height();
      if (c->Anchors() & akRight) {
        if (c->Anchors() & akLeft)
          width = std::max<int>(0, client.right - c->FAnchorRight - left);
        else
          left = client.right - c->FAnchorRight - width;
      }
      if (c->Anchors() & akBottom) {
        if (c->Anchors() & akTop)
          height = std::max<int>(0, client.bottom - c->FAnchorBottom - top);
        else
          top = client.bottom - c->FAnchorBottom - height;
      }
      c->SetBounds(left, top, width, height);
    }
  } catch (...) {
    FRealigning = false;
    throw;
  }
  FRealigning = false;
}

int TWinControl::TabOrder() const {
  if (!Parent())
    return -1;
  const auto& list = Parent()->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int AValue) {
  if (!Parent())
    return;
  auto& list = Parent()->FTabList;
  list.erase(std::find(list.begin(), list.end(), this));
  AValue = std::clamp(AValue, 0, int(list.size()));
  list.insert(list.begin() + AValue, this);
}

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled())
      return false;
  return true;
}

bool TWinControl::Focused() const {
  return FHandle && GetFocus() == FHandle;
}

void TWinControl::SetFocus() {
  if (!CanFocus())
    throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

std::vector<TWinControl*> TWinControl::GetTabOrderList() const {
  std::vector<TWinControl*> list;
  for (TWinControl* child : FTabList) {
    list.push_back(child);
    auto nested = child->GetTabOrderList();
    list.insert(list.end(), nested.begin(), nested.end());
  }
  return list;
}

TWinControl* TWinControl::FindNextControl(TWinControl* ACurrent, bool AGoForward,
                                          bool ACheckTabStop) const {
  const auto list = GetTabOrderList();
  const int count = int(list.size());
  if (count == 0)
    return nullptr;
  auto it = std::find(list.begin(), list.end(), ACurrent);
  int index = it == list.end() ? (AGoForward ? -1 : count) : int(it - list.begin());
  for (int step = 0; step < count; ++step) {
    index = AGoForward ? (index + 1) % count : (index - 1 + count) % count;
    TWinControl* candidate = list[size_t(index)];
    if (candidate == ACurrent)
      break;
    if ((!ACheckTabStop || candidate->TabStop()) && candidate->CanFocus())
      return candidate;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* ACurrent, bool AGoForward, bool ACheckTabStop) {
  if (TWinControl* next = FindNextControl(ACurrent, AGoForward, ACheckTabStop))
    next->SetFocus();
}

void TWinControl::SetParentBackground(bool AValue) {
  if (AValue)
    FControlStyle |= csParentBackground;
  else
    FControlStyle &= ~uint32_t(csParentBackground);
  Invalidate();
}

void TWinControl::Invalidate() {
  if (FHandle)
    InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update() {
  if (FHandle)
    UpdateWindow(FHandle);
}

void TWinControl::SetZOrder(bool ATopMost) {
  if (!Parent())
    return;
  MoveInList(Parent()->FWinControls, this, ATopMost);
  if (FHandle)
    SetWindowPos(FHandle, ATopMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::UpdateShowingFromParent() {
  UpdateShowing();
}

void TWinControl::UpdateShowing() {
  const bool now = Visible() && (Parent() ? Parent()->FShowing : true);
  if (now && !FHandle)
    Handle();
  if (now != FShowing) {
    FShowing = now;
    if (FHandle)
      ShowWindow(FHandle, now ? SW_SHOWNOACTIVATE : SW_HIDE);
    ShowingChanged();
  }
  for (TControl* child : FControls)
    child->UpdateShowingFromParent();
  for (TWinControl* child : FWinControls)
    child->UpdateShowingFromParent();
}

void TWinControl::Broadcast(TMessage& AMessage) {
  for (int i = 0; i < ControlCount(); ++i) {
    Controls(i)->WndProc(AMessage);
    if (AMessage.Result != 0)
      return;
  }
}

void TWinControl::ForEachDescendant(const std::function<void(TControl*)>& AVisit) const {
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* child = Controls(i);
    AVisit(child);
    if (auto* window = dynamic_cast<TWinControl*>(child))
      window->ForEachDescendant(AVisit);
  }
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (int i = 0; i < ControlCount(); ++i)
    Controls(i)->ParentFontChanged();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (int i = 0; i < ControlCount(); ++i)
    Controls(i)->ParentColorChanged();
}

void TWinControl::EnabledChanged() {
  if (FHandle)
    EnableWindow(FHandle, Enabled());
  TControl::EnabledChanged();
}

void TWinControl::ShowingChanged() {}

void TWinControl::TextChanged() {
  if (FHandle)
    SetWindowTextW(FHandle, Text().c_str());
  TControl::TextChanged();
}

void TWinControl::DoEnter() {
  if (OnEnter)
    OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit)
    OnExit(this);
}

TWinControl* TWinControl::RootControl() {
  TWinControl* root = this;
  while (root->Parent())
    root = root->Parent();
  return root;
}

void TWinControl::SetMouseControl(TControl* AControl, intptr_t AMarker) {
  if (GMouseControl == AControl)
    return;
  TControl* previous = GMouseControl;
  GMouseControl = AControl;
  if (previous)
    previous->MouseLeave(AMarker);
  if (AControl)
    AControl->MouseEnter(AMarker);
}

// --- painting --------------------------------------------------------------------

void TWinControl::EraseBackground(HDC ADC) {
  if (ParentBackground() && Parent()) {
    PaintParentBackground(ADC);
    return;
  }
  if (Color() == clNone)
    return;
  RECT area = ClientRect();
  HBRUSH brush = CreateSolidBrush(ColorToColorRef(Color()));
  TResourceLedger::Take(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(brush));
  FillRect(ADC, &area, brush);
  DeleteObject(brush);
  TResourceLedger::Give(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(brush));
}

void TWinControl::PaintParentBackground(HDC ADC) {
  TWinControl* parent = Parent();
  if (!parent)
    return;
  // The parent draws in its own coordinates, clipped to this control's area.
  TDCOriginScope origin(ADC, -Left(), -Top(), Left() + Width(), Top() + Height());
  IntersectClipRect(ADC, Left(), Top(), Left() + Width(), Top() + Height());
  TStateScope copying(parent, csPaintCopy);
  parent->EraseBackground(ADC);
  parent->PaintHandler(ADC);
}

void TWinControl::PaintControls(HDC ADC, TControl* AFirst) {
  auto it = FControls.begin();
  if (AFirst) {
    it = std::find(FControls.begin(), FControls.end(), AFirst);
    if (it != FControls.end())
      ++it;
  }
  for (; it != FControls.end(); ++it) {
    auto* control = static_cast<TGraphicControl*>(*it);
    if (!control->Visible())
      continue;
    RECT area = control->BoundsRect();
    if (!RectVisible(ADC, &area))
      continue;
    TDCOriginScope origin(ADC, control->Left(), control->Top(), control->Width(),
                          control->Height());
    const bool copying = InState(csPaintCopy);
    TStateScope painting(control, csCustomPaint);
    std::unique_ptr<TStateScope> copy;
    if (copying)
      copy = std::make_unique<TStateScope>(control, csPaintCopy);
    TCanvas& canvas = control->Canvas();
    canvas.SetHandle(ADC);
    try {
      canvas.Font().Assign(&control->Font());
      canvas.Brush().SetColor(control->Color());
      control->Paint();
    } catch (...) {
      canvas.SetHandle(nullptr);
      throw;
    }
    canvas.SetHandle(nullptr);
  }
}

void TWinControl::PaintHandler(HDC ADC) {
  const int saved = SaveDC(ADC);
  try {
    PaintWindow(ADC);
  } catch (...) {
    RestoreDC(ADC, saved);
    throw;
  }
  RestoreDC(ADC, saved);
  PaintControls(ADC, nullptr);
}

void TWinControl::WMPaint(TMessage& AMessage) {
  AMessage.Result = 0;
  if (AMessage.WParam) {
    PaintHandler(reinterpret_cast<HDC>(AMessage.WParam));
    return;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(FHandle, &ps);
  try {
    if (FDoubleBuffered && !InState(csPaintCopy)) {
      // The whole picture is made off screen and copied once, so the window
      // never shows an erased background between two drawings.
      const RECT client = ClientRect();
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max<int>(client.right, 1),
                                              std::max<int>(client.bottom, 1));
      TResourceLedger::Take(TResourceKind::DeviceContext, reinterpret_cast<uintptr_t>(memory));
      TResourceLedger::Take(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(bitmap));
      HGDIOBJ old = SelectObject(memory, bitmap);
      auto release = [&] {
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        TResourceLedger::Give(TResourceKind::GdiObject, reinterpret_cast<uintptr_t>(bitmap));
        TResourceLedger::Give(TResourceKind::DeviceContext, reinterpret_cast<uintptr_t>(memory));
      };
      try {
        EraseBackground(memory);
        PaintHandler(memory);
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, memory, ps.rcPaint.left, ps.rcPaint.top,
               SRCCOPY);
      } catch (...) {
        release();
        throw;
      }
      release();
    } else {
      PaintHandler(dc);
    }
  } catch (...) {
    EndPaint(FHandle, &ps);
    throw;
  }
  EndPaint(FHandle, &ps);
}

void TWinControl::PaintTo(HDC ADC, int AX, int AY) {
  TDCOriginScope origin(ADC, AX, AY, Width(), Height());
  PrintInto(ADC, true, true, true, true);
}

POINT TWinControl::ClientOrigin() const {
  if (!FHandle)
    return {0, 0};
  RECT window;
  GetWindowRect(FHandle, &window);
  POINT client{0, 0};
  ::ClientToScreen(FHandle, &client);
  return {client.x - window.left, client.y - window.top};
}

void TWinControl::PrintInto(HDC ADC, bool ANonClient, bool AClient, bool AChildren, bool AErase) {
  TStateScope copying(this, csPaintCopy);
  POINT client{0, 0};
  if (ANonClient && FHandle) {
    client = ClientOrigin();
    const RECT inner = ClientRect();
    if (client.x != 0 || client.y != 0 || inner.right != Width() || inner.bottom != Height()) {
      // The frame is drawn by the window's own non-client painting, whose
      // DC is the print target for the time of this message.
      TWindowDCRedirect redirect(FHandle, ADC);
      Perform(WM_NCPAINT, 0, 0);
    }
  }
  if (!AClient)
    return;
  const RECT inner = ClientRect();
  TDCOriginScope clientArea(ADC, client.x, client.y, inner.right, inner.bottom);
  if (FDefWndProc) {
    // The system class draws its own content.
    CallWindowProcW(FDefWndProc, FHandle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(ADC),
                    PRF_CLIENT | (AErase ? PRF_ERASEBKGND : 0));
  } else {
    if (AErase)
      EraseBackground(ADC);
    PaintHandler(ADC);
  }
  if (AChildren)
    for (TWinControl* child : FWinControls)
      if (child->Visible())
        child->PaintTo(ADC, child->Left(), child->Top());
}

void TWinControl::PaintNonClient(HDC ADC) {
  if (!FHandle)
    return;
  RECT window;
  GetWindowRect(FHandle, &window);
  RECT frame{0, 0, window.right - window.left, window.bottom - window.top};
  const auto style = DWORD(GetWindowLongPtrW(FHandle, GWL_STYLE));
  const auto exStyle = DWORD(GetWindowLongPtrW(FHandle, GWL_EXSTYLE));
  if (style & WS_BORDER) {
    FrameRect(ADC, &frame, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&frame, -1, -1);
  }
  if (exStyle & WS_EX_CLIENTEDGE)
    DrawEdge(ADC, &frame, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  else if (exStyle & WS_EX_STATICEDGE)
    DrawEdge(ADC, &frame, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
}

void TWinControl::WMNCPaint(TMessage& AMessage) {
  const bool redirected = WindowDCRedirected(FHandle);
  // The system's own non-client painting (scroll bars, captions) draws on
  // the screen only; a print gets the frame alone.
  if (!redirected)
    DefaultHandler(AMessage);
  if (!redirected && !HasStyle(csNeedsBorderPaint))
    return;
  HDC dc = AcquireWindowDC(FHandle);
  if (!dc)
    return;
  const int saved = SaveDC(dc);
  try {
    PaintNonClient(dc);
  } catch (...) {
    RestoreDC(dc, saved);
    ReleaseWindowDC(FHandle, dc);
    throw;
  }
  RestoreDC(dc, saved);
  ReleaseWindowDC(FHandle, dc);
  AMessage.Result = 0;
}

// --- messages ----------------------------------------------------------------------

LRESULT CALLBACK TWinControl::WindowProc(HWND AWindow, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  if (AMsg == WM_NCCREATE) {
    auto* control =
        static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(ALParam)->lpCreateParams);
    SetWindowLongPtrW(AWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    control->FHandle = AWindow;
  }
  auto* control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(AWindow, GWLP_USERDATA));
  if (!control) {
    // Messages before WM_NCCREATE, or after the control let the window go.
    if (const TWrappedClass* wrapped = FindWrappedClass(ATOM(GetClassLongPtrW(AWindow, GCW_ATOM))))
      return CallWindowProcW(wrapped->SystemProc, AWindow, AMsg, AWParam, ALParam);
    return DefWindowProcW(AWindow, AMsg, AWParam, ALParam);
  }
  TMessage message{AMsg, AWParam, ALParam, 0};
  try {
    control->WndProc(message);
  } catch (const std::exception& error) {
    GExceptionHandler(error);
    message.Result = 0;
  } catch (...) {
    GExceptionHandler(Exception("Unknown exception in a window procedure"));
    message.Result = 0;
  }
  if (AMsg == WM_NCDESTROY) {
    SetWindowLongPtrW(AWindow, GWLP_USERDATA, 0);
    if (control->FHandle == AWindow) {
      control->FHandle = nullptr;
      TResourceLedger::Give(TResourceKind::Window, reinterpret_cast<uintptr_t>(AWindow));
    }
    control->FTrackingLeave = false;
  }
  return message.Result;
}

bool TWinControl::ReflectToChild(TMessage& AMessage) {
  HWND child = nullptr;
  switch (AMessage.Msg) {
  case WM_COMMAND:
  case WM_HSCROLL:
  case WM_VSCROLL:
  case WM_CTLCOLORBTN:
  case WM_CTLCOLOREDIT:
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORLISTBOX:
  case WM_CTLCOLORSCROLLBAR:
  case WM_CTLCOLORDLG:
  case WM_CTLCOLORMSGBOX:
    child = reinterpret_cast<HWND>(AMessage.LParam);
    break;
  case WM_NOTIFY:
    if (AMessage.LParam)
      child = reinterpret_cast<NMHDR*>(AMessage.LParam)->hwndFrom;
    break;
  case WM_DRAWITEM: {
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(AMessage.LParam);
    if (item && item->CtlType != ODT_MENU)
      child = item->hwndItem;
    break;
  }
  case WM_MEASUREITEM:
  case WM_DELETEITEM:
  case WM_COMPAREITEM:
    if (AMessage.WParam && FHandle)
      child = GetDlgItem(FHandle, int(AMessage.WParam));
    break;
  }
  if (!child || child == FHandle)
    return false;
  TWinControl* target = FindControl(child);
  if (!target)
    return false;
  AMessage.Result = target->Perform(CN_BASE + AMessage.Msg, AMessage.WParam, AMessage.LParam);
  return true;
}

bool TWinControl::DragMessage(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_KEYDOWN:
    if (AMessage.WParam != VK_ESCAPE)
      return false;
    FinishDrag(true, true);
    AMessage.Result = 0;
    return true;
  case WM_CANCELMODE:
    FinishDrag(true, true);
    return false;
  case WM_CAPTURECHANGED:
    if (FHandle == GDrag.Window && reinterpret_cast<HWND>(AMessage.LParam) != FHandle)
      FinishDrag(true, false);
    return false;
  }
  if (!FHandle || FHandle != GDrag.Window || !IsMouseMessage(AMessage.Msg))
    return false;
  POINT screen{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
  ::ClientToScreen(FHandle, &screen);
  GLastMouse = screen;
  if (AMessage.Msg == WM_MOUSEMOVE) {
    if (!GDrag.Started) {
      if (std::abs(screen.x - GDrag.Start.x) < GDrag.Threshold.cx &&
          std::abs(screen.y - GDrag.Start.y) < GDrag.Threshold.cy)
        return false;
      GDrag.Control->StartDrag();
    }
    // A started drag owns the mouse: the control sees no moves meanwhile.
    AMessage.Result = 0;
    return true;
  }
  // The release ends the drag; the usual handling then lets the capture go.
  if (IsButtonUp(AMessage.Msg))
    FinishDrag(false, false);
  return false;
}

void TWinControl::HandleMouse(TMessage& AMessage) {
  const POINT point{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
  TControl* target = FCaptureControl;
  if (!target)
    target = ControlAtPos(point, false);
  if (!target)
    target = this;
  if (AMessage.Msg == WM_MOUSEMOVE) {
    SetMouseControl(target, 0);
    if (!FTrackingLeave && FHandle) {
      TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, FHandle, 0};
      FTrackingLeave = TrackMouseEvent(&track) != FALSE;
    }
  }
  if (IsButtonDown(AMessage.Msg) && target->HasStyle(csCaptureMouse)) {
    if (GCaptureControl && GCaptureControl != target)
      GCaptureControl->CancelMode(target);
    if (target != this)
      FCaptureControl = target;
    GCaptureControl = target;
    if (FHandle && GetCapture() != FHandle)
      SetCapture(FHandle);
  }
  if (target != this) {
    TMessage routed{AMessage.Msg, AMessage.WParam,
                    MAKELPARAM(point.x - target->Left(), point.y - target->Top()), 0};
    target->WndProc(routed);
    AMessage.Result = routed.Result;
  } else {
    TControl::WndProc(AMessage);
    // A system class tracks its own clicks (selection, caret).
    if (FDefWndProc)
      DefaultHandler(AMessage);
  }
  if (IsButtonUp(AMessage.Msg) && (AMessage.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
    FCaptureControl = nullptr;
    if (GCaptureControl == target)
      GCaptureControl = nullptr;
    if (FHandle && GetCapture() == FHandle)
      ReleaseCapture();
  }
}

void TWinControl::WndProc(TMessage& AMessage) {
  if (GDrag.Control && DragMessage(AMessage))
    return;
  switch (AMessage.Msg) {
  case WM_PAINT:
    if (FDefWndProc)
      break;
    WMPaint(AMessage);
    return;
  case WM_NCPAINT:
    WMNCPaint(AMessage);
    return;
  case WM_PRINTCLIENT:
    if (FDefWndProc)
      break;
    PrintInto(reinterpret_cast<HDC>(AMessage.WParam), false, true, false,
              (AMessage.LParam & PRF_ERASEBKGND) != 0);
    AMessage.Result = 0;
    return;
  case WM_PRINT: {
    AMessage.Result = 0;
    if ((AMessage.LParam & PRF_CHECKVISIBLE) && !Showing())
      return;
    const LPARAM flags = AMessage.LParam;
    PrintInto(reinterpret_cast<HDC>(AMessage.WParam), (flags & PRF_NONCLIENT) != 0,
              (flags & PRF_CLIENT) != 0, (flags & PRF_CHILDREN) != 0,
              (flags & PRF_ERASEBKGND) != 0);
    return;
  }
  case WM_ERASEBKGND:
    if (FDefWndProc)
      break;
    // A double-buffered control erases off screen as part of its paint.
    if (!FDoubleBuffered || InState(csPaintCopy))
      EraseBackground(reinterpret_cast<HDC>(AMessage.WParam));
    AMessage.Result = 1;
    return;
  case WM_COMMAND:
  case WM_NOTIFY:
  case WM_HSCROLL:
  case WM_VSCROLL:
  case WM_CTLCOLORBTN:
  case WM_CTLCOLOREDIT:
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORLISTBOX:
  case WM_CTLCOLORSCROLLBAR:
  case WM_CTLCOLORDLG:
  case WM_CTLCOLORMSGBOX:
  case WM_DRAWITEM:
  case WM_MEASUREITEM:
  case WM_DELETEITEM:
  case WM_COMPAREITEM:
    if (ReflectToChild(AMessage))
      return;
    break;
  case WM_SETFOCUS: {
    DoEnter();
    TWinControl* root = RootControl();
    root->FocusChanged(this);
    root->ForEachDescendant([this](TControl* AControl) { AControl->FocusChanged(this); });
    break;
  }
  case WM_KILLFOCUS:
    DoExit();
    break;
  case WM_GETDLGCODE:
    if (FDefWndProc)
      DefaultHandler(AMessage);
    else
      AMessage.Result = 0;
    AMessage.Result |= DialogCode();
    return;
  case WM_KEYDOWN:
    if (AMessage.WParam == VK_TAB && !WantSpecialKey(VK_TAB) && !(DialogCode() & DLGC_WANTTAB)) {
      RootControl()->SelectNext(this, GetKeyState(VK_SHIFT) >= 0, true);
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_SYSCHAR: {
    bool taken = false;
    RootControl()->ForEachDescendant([&](TControl* AControl) {
      if (!taken && AControl->Showing() && AControl->Enabled())
        taken = AControl->DialogChar(wchar_t(AMessage.WParam));
    });
    if (taken) {
      AMessage.Result = 0;
      return;
    }
    break;
  }
  case WM_MOUSELEAVE:
    FTrackingLeave = false;
    if (GMouseControl == this || (GMouseControl && GMouseControl->Parent() == this &&
                                  !dynamic_cast<TWinControl*>(GMouseControl)))
      SetMouseControl(nullptr, 0);
    AMessage.Result = 0;
    return;
  case WM_CAPTURECHANGED:
    if (reinterpret_cast<HWND>(AMessage.LParam) != FHandle) {
      if (GCaptureControl == this || (FCaptureControl && GCaptureControl == FCaptureControl))
        GCaptureControl = nullptr;
      FCaptureControl = nullptr;
    }
    break;
  case WM_CANCELMODE:
    if (FHandle && GetCapture() == FHandle)
      ReleaseCapture();
    FCaptureControl = nullptr;
    CancelMode(nullptr);
    break;
  case WM_SETCURSOR:
    if (const int current = Screen()->CurrentCursor(); current != crDefault) {
      // The screen's cursor (an hourglass while the module works) stands
      // over every window of the module.
      ::SetCursor(Screen()->Cursor(current));
      AMessage.Result = TRUE;
      return;
    }
    if (LOWORD(AMessage.LParam) == HTCLIENT && reinterpret_cast<HWND>(AMessage.WParam) == FHandle) {
      const DWORD position = GetMessagePos();
      POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
      ::ScreenToClient(FHandle, &point);
      TControl* target = ControlAtPos(point, false);
      TCursor cursor = target ? target->Cursor() : crDefault;
      if (cursor == crDefault)
        cursor = Cursor();
      // Through the screen's slots, so the module's own cursors (2100 and
      // on) serve controls as the shared system ones do.
      if (HCURSOR handle = cursor == crDefault ? nullptr : Screen()->Cursor(cursor)) {
        ::SetCursor(handle);
        AMessage.Result = TRUE;
        return;
      }
    }
    break;
  case WM_WINDOWPOSCHANGED:
    if (FHandle)
      UpdateBoundsFromWindow();
    break;
  case WM_SETTINGCHANGE: {
    const std::wstring section =
        AMessage.LParam ? reinterpret_cast<const wchar_t*>(AMessage.LParam) : L"";
    WinIniChange(section);
    ForEachDescendant([&](TControl* AControl) { AControl->WinIniChange(section); });
    break;
  }
  case WM_ORV_INVALIDATE:
    Invalidate();
    return;
  default:
    if (IsMouseMessage(AMessage.Msg)) {
      HandleMouse(AMessage);
      return;
    }
    break;
  }
  DefaultHandler(AMessage);
}

void TWinControl::DefaultHandler(TMessage& AMessage) {
  if (!FHandle)
    AMessage.Result = 0;
  else if (FDefWndProc)
    AMessage.Result =
        CallWindowProcW(FDefWndProc, FHandle, AMessage.Msg, AMessage.WParam, AMessage.LParam);
  else
    AMessage.Result = DefWindowProcW(FHandle, AMessage.Msg, AMessage.WParam, AMessage.LParam);
}

// ===========================================================================
// TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC ADC) {
  TStateScope painting(this, csCustomPaint);
  FCanvas->SetHandle(ADC);
  try {
    FCanvas->Font().Assign(&Font());
    FCanvas->Brush().SetColor(Color());
    Paint();
  } catch (...) {
    FCanvas->SetHandle(nullptr);
    throw;
  }
  FCanvas->SetHandle(nullptr);
}

// ===========================================================================
// The control listing

namespace {

void ListInto(const TWinControl* AParent, int ADepth, std::vector<TControlListing>& AList) {
  for (int i = 0; i < AParent->ControlCount(); ++i) {
    TControl* control = AParent->Controls(i);
    AList.push_back({control->Name(), control->ClassName(), control->Caption(), control->Checked(),
                     control->Enabled(), control->Visible(), control->BoundsRect(), ADepth});
    if (auto* window = dynamic_cast<const TWinControl*>(control))
      ListInto(window, ADepth + 1, AList);
  }
}

} // namespace

std::vector<TControlListing> ListControls(const TWinControl* AParent) {
  std::vector<TControlListing> list;
  if (AParent)
    ListInto(AParent, 0, list);
  return list;
}
