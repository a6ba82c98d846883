#include "kx-control.h"

#include "kx-controls.h"

#include "application.h"
#include "gx-themes.h"
#include "menus.h"
#include "resource-ledger.h"

#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The buffered-paint service of UxTheme, bound by the theme unit.
using TBeginBufferedPaint = HPAINTBUFFER(WINAPI*)(HDC, const RECT*, BP_BUFFERFORMAT,
                                                  BP_PAINTPARAMS*, HDC*);
using TEndBufferedPaint = HRESULT(WINAPI*)(HPAINTBUFFER, BOOL);
using TBufferedPaintSetAlpha = HRESULT(WINAPI*)(HPAINTBUFFER, const RECT*, BYTE);

template <typename TFunction> TFunction BoundUxTheme(const char* AName) {
  return reinterpret_cast<TFunction>(UxThemeFunction(AName));
}

class TSystemWheelScrollLines : public TkxWheelScrollLinesSeam {
public:
  UINT Lines() override {
    UINT lines = 3;
    if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
      lines = 3;
    return lines;
  }
};

// A GDI object or memory context of a paint, given back on every path.
class TPaintBitmap {
public:
  TPaintBitmap(HDC AReference, int AWidth, int AHeight)
      : FDC(CreateCompatibleDC(AReference)),
        FBitmap(CreateCompatibleBitmap(AReference, std::max(AWidth, 1), std::max(AHeight, 1))) {
    LedgerTake(TResourceKind::DeviceContext, FDC);
    LedgerTake(TResourceKind::GdiObject, FBitmap);
    FOld = SelectObject(FDC, FBitmap);
  }
  TPaintBitmap(const TPaintBitmap&) = delete;
  TPaintBitmap& operator=(const TPaintBitmap&) = delete;
  ~TPaintBitmap() {
    SelectObject(FDC, FOld);
    DeleteDC(FDC);
    DeleteObject(FBitmap);
    LedgerGive(TResourceKind::GdiObject, FBitmap);
    LedgerGive(TResourceKind::DeviceContext, FDC);
  }
  HDC DC() const { return FDC; }

private:
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld = nullptr;
};

bool IsEmptyRect(const RECT& ARect) {
  return ARect.right <= ARect.left || ARect.bottom <= ARect.top;
}

TMouseButton ButtonOfMessage(UINT AMsg) {
  switch (AMsg) {
  case WM_RBUTTONDOWN:
    return mbRight;
  case WM_MBUTTONDOWN:
    return mbMiddle;
  default:
    return mbLeft;
  }
}

} // namespace

// ---------------------------------------------------------------------------
// Canvases and painters

void TkxCanvas::SaveDC() {
  FSavedDCs.push_back(::SaveDC(Handle()));
}

void TkxCanvas::RestoreDC() {
  if (FSavedDCs.empty())
    return;
  const int saved = FSavedDCs.back();
  FSavedDCs.pop_back();
  if (HandleAllocated())
    ::RestoreDC(Handle(), saved);
}

void TkxCanvas::FillRect(const RECT& ARect, TColor AColor) {
  HBRUSH brush = CreateSolidBrush(ColorToColorRef(AColor));
  LedgerTake(TResourceKind::GdiObject, brush);
  ::FillRect(Handle(), &ARect, brush);
  DeleteObject(brush);
  LedgerGive(TResourceKind::GdiObject, brush);
}

void TkxCanvas::FrameRect(const RECT& ARect, TColor AColor, int ALineWidth) {
  RECT r = ARect;
  for (int i = 0; i < ALineWidth && !IsEmptyRect(r); ++i) {
    HBRUSH brush = CreateSolidBrush(ColorToColorRef(AColor));
    LedgerTake(TResourceKind::GdiObject, brush);
    ::FrameRect(Handle(), &r, brush);
    DeleteObject(brush);
    LedgerGive(TResourceKind::GdiObject, brush);
    InflateRect(&r, -1, -1);
  }
}

void TkxCanvas::IntersectClipRect(const RECT& ARect) {
  ::IntersectClipRect(Handle(), ARect.left, ARect.top, ARect.right, ARect.bottom);
}

TkxScreenCanvas::TkxScreenCanvas() : TkxCanvas(*new TCanvas()), FScreenDC(GetDC(nullptr)) {
  FOwnCanvas.reset(&Canvas());
  FOwnCanvas->SetHandle(FScreenDC);
}

TkxScreenCanvas::~TkxScreenCanvas() {
  FOwnCanvas->SetHandle(nullptr);
  ReleaseDC(nullptr, FScreenDC);
}

int kxPainterBorderSize(const TkxCustomLookAndFeelPainter* APainter) {
  if (!APainter)
    return 1;
  switch (APainter->LookAndFeelStyle()) {
  case lfsStandard:
  case lfsNative:
    return 2;
  default:
    return 1;
  }
}

void kxPainterDrawBorder(const TkxCustomLookAndFeelPainter* APainter, TkxCanvas& ACanvas,
                         const RECT& ABounds) {
  RECT r = ABounds;
  if (kxPainterBorderSize(APainter) == 2)
    DrawEdge(ACanvas.Handle(), &r, EDGE_SUNKEN, BF_RECT);
  else
    ACanvas.FrameRect(r, clBtnShadow);
}

TkxWheelScrollLinesSeam& TkxWheelScrollLinesSeam::System() {
  static TSystemWheelScrollLines system;
  return system;
}

// ---------------------------------------------------------------------------
// Auto-scroll arithmetic

TkxAutoScrollMotion kxAutoScrollMotion(POINT AAnchor, POINT APoint, int ABitmapWidth,
                                       bool AHorizontal, bool AVertical, SIZE AScreen) {
  const int half = ABitmapWidth / 2;
  RECT area{AAnchor.x - half, AAnchor.y - half, AAnchor.x - half + ABitmapWidth,
            AAnchor.y - half + ABitmapWidth};
  // Without a bar in one direction, no movement that way counts.
  if (!AHorizontal) {
    area.left = 0;
    area.right = AScreen.cx;
  }
  if (!AVertical) {
    area.top = 0;
    area.bottom = AScreen.cy;
  }
  if (PtInRect(&area, APoint))
    return {dirNone, 0, false};
  const int dx = APoint.x - AAnchor.x;
  const int dy = APoint.y - AAnchor.y;
  const bool vertical = !AHorizontal || (AVertical && std::abs(dy) >= std::abs(dx));
  const int distance = vertical ? dy : dx;
  TkxScrollDirection direction;
  if (vertical)
    direction = distance < 0 ? dirUp : dirDown;
  else
    direction = distance < 0 ? dirLeft : dirRight;
  const int speed = std::min(kkxAutoScrollMaxSpeed, (std::abs(distance) - half) / 5 + 1);
  return {direction, std::max(speed, 1), true};
}

int kxAutoScrollCursor(TkxScrollDirection ADirection, bool AHorizontal, bool AVertical) {
  switch (ADirection) {
  case dirLeft:
    return kkxAutoScrollCursorLeft;
  case dirRight:
    return kkxAutoScrollCursorRight;
  case dirUp:
    return kkxAutoScrollCursorUp;
  case dirDown:
    return kkxAutoScrollCursorDown;
  default:
    if (AHorizontal && AVertical)
      return kkxAutoScrollCursorBoth;
    return AHorizontal ? kkxAutoScrollCursorHorizontal : kkxAutoScrollCursorVertical;
  }
}

// ---------------------------------------------------------------------------
// TkxControl

TkxControl::TkxControl(TComponent* AOwner)
    : TCustomControl(AOwner), FAlive(std::make_shared<bool>(true)) {
  FCanvas = std::make_unique<TkxCanvas>(Canvas());
  FDefaultCursor = Cursor();
  FLookAndFeel = std::make_unique<TkxLookAndFeel>();
  SetTabStop(true);
  SetControlStyle(ControlStyle() | csParentBackground);
  if (TgxResourceStringsRepository* repository = GetResourceStringsRepository())
    repository->AddListener(this);
}

TkxControl::~TkxControl() {
  *FAlive = false;
  if (TgxResourceStringsRepository* repository = GetResourceStringsRepository())
    repository->RemoveListener(this);
  if (DragControl() == this)
    EndDrag(false);
  if (FPopupMenu)
    FPopupMenu->RemoveFreeNotification(this);
  FFontListenerList.clear();
  FActiveCanvas.reset();
  FCanvas.reset();
  FLookAndFeel.reset();
}

TkxCanvas& TkxControl::ActiveCanvas() {
  if (HandleAllocated()) {
    FActiveCanvas.reset();
    return *FCanvas;
  }
  if (!FActiveCanvas)
    FActiveCanvas = std::make_unique<TkxScreenCanvas>();
  return *FActiveCanvas;
}

RECT TkxControl::GetBounds() {
  if (!IsEmptyRect(FBounds))
    return FBounds;
  if (HandleAllocated())
    return ClientRect();
  return {0, 0, Width(), Height()};
}

RECT TkxControl::GetClientBounds() {
  RECT r = GetBounds();
  const int border = GetBorderSize();
  InflateRect(&r, -border, -border);
  if (IsScrollBarVisible(sbHorizontal))
    r.bottom -= GetSystemMetrics(SM_CYHSCROLL);
  if (IsScrollBarVisible(sbVertical))
    r.right -= GetSystemMetrics(SM_CXVSCROLL);
  return r;
}

void TkxControl::SetBorderStyle(TkxControlBorderStyle AValue) {
  if (FBorderStyle == AValue)
    return;
  FBorderStyle = AValue;
  Invalidate();
}

int TkxControl::GetBorderSize() {
  return FBorderStyle == kxcbsNone ? 0 : kxPainterBorderSize(GetPainter());
}

void TkxControl::SetKeys(TkxKeys AValue) {
  if (FKeys != AValue)
    FKeys = AValue;
}

void TkxControl::SetCursor(TCursor AValue) {
  TCustomControl::SetCursor(AValue);
  CursorChanged();
}

void TkxControl::SetMouseCaptureObject(TPersistent* AValue) {
  if (FMouseCaptureObject == AValue)
    return;
  const bool hadCapture = HandleAllocated() && GetCapture() == Handle();
  if (auto* notify = dynamic_cast<IkxCaptureObjectNotify*>(FMouseCaptureObject))
    notify->CaptureLost();
  FMouseCaptureObject = AValue;
  if (HandleAllocated()) {
    if (AValue)
      SetCapture(Handle());
    else if (GetCapture() == Handle())
      ReleaseCapture();
  }
  const bool hasCapture = HandleAllocated() && GetCapture() == Handle();
  if (hadCapture && !hasCapture && FDragAndDropState == ddsStarting && CancelModeOnCaptureLoss())
    Perform(WM_CANCELMODE, 0, 0);
}

bool TkxControl::IsMouseInPressedArea(int AX, int AY) {
  return IsWithinDragThreshold(FMouseDownPos, AX, AY);
}

POINT TkxControl::GetMouseCursorClientPos() {
  POINT p;
  SafeGetCursorPos(p);
  return ScreenToClient(p);
}

void TkxControl::PostMouseMove() {
  PostMouseMove(GetMouseCursorClientPos());
}

void TkxControl::PostMouseMove(POINT AMousePos) {
  if (HandleAllocated() && !GetCapture())
    PostMessageW(Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(AMousePos.x, AMousePos.y));
}

bool TkxControl::AcceptMousePosForClick(int AX, int AY) {
  return DragMode() == dmManual || IsMouseInPressedArea(AX, AY);
}

bool TkxControl::CanFocusEx() {
  if (!CanFocus())
    return false;
  TWinControl* form = Parent();
  if (!form)
    return true;
  while (form->Parent())
    form = form->Parent();
  return form->CanFocus() && form->Enabled() && form->Visible();
}

void TkxControl::FinishDragAndDrop(bool) {
  if (FFinishingDragAndDrop)
    return;
  FFinishingDragAndDrop = true;
  FDragAndDropState = ddsNone;
  FFinishingDragAndDrop = false;
}

void TkxControl::Invalidate() {
  if (!HandleAllocated() || IsDestroying())
    return;
  ::InvalidateRect(Handle(), nullptr, !HasStyle(csOpaque));
  if (!FullRepaintNeeded())
    return;
  // Children that show this control through themselves are drawn again.
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* child = Controls(i);
    bool transparent;
    if (auto* probe = dynamic_cast<IkxTransparentChild*>(child))
      transparent = probe->IsTransparent();
    else {
      auto* windowed = dynamic_cast<TWinControl*>(child);
      transparent = windowed && (!windowed->HasStyle(csOpaque) || windowed->ParentBackground());
    }
    if (transparent)
      child->Invalidate();
  }
}

void TkxControl::InvalidateRect(const RECT& ARect, bool AEraseBackground) {
  if (HandleAllocated())
    ::InvalidateRect(Handle(), &ARect, AEraseBackground);
}

void TkxControl::InvalidateRgn(HRGN ARegion, bool AEraseBackground) {
  RECT box;
  if (HandleAllocated() && ARegion && GetRgnBox(ARegion, &box) != NULLREGION)
    ::InvalidateRgn(Handle(), ARegion, AEraseBackground);
}

void TkxControl::InvalidateWithChildren() {
  if (HandleAllocated())
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_NOERASE);
}

void TkxControl::UpdateWithChildren() {
  if (HandleAllocated())
    RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TkxControl::ScrollContent(TkxScrollDirection ADirection) {
  if (ADirection == dirNone)
    return;
  const TScrollBarKind kind =
      ADirection == dirLeft || ADirection == dirRight ? sbHorizontal : sbVertical;
  int position = 0;
  Scroll(kind, ADirection == dirLeft || ADirection == dirUp ? SB_LINEUP : SB_LINEDOWN, position);
}

void TkxControl::SetKxPopupMenu(TComponent* AValue) {
  if (AValue && !dynamic_cast<TPopupMenu*>(AValue) && !dynamic_cast<IkxCustomPopupMenu*>(AValue))
    AValue = nullptr;
  if (AValue == FPopupMenu)
    return;
  if (FPopupMenu)
    FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = AValue;
  if (FPopupMenu)
    FPopupMenu->FreeNotification(this);
}

void TkxControl::Notification(TComponent* AComponent, TOperation AOperation) {
  TCustomControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FPopupMenu)
    FPopupMenu = nullptr;
}

void TkxControl::AddFontListener(IkxFontListener* AListener) {
  if (AListener)
    FFontListenerList.push_back(AListener);
}

void TkxControl::RemoveFontListener(IkxFontListener* AListener) {
  auto it = std::find(FFontListenerList.begin(), FFontListenerList.end(), AListener);
  if (it != FFontListenerList.end())
    FFontListenerList.erase(it);
}

void TkxControl::AddChildComponent(TComponent* AComponent) {
  if (auto* child = dynamic_cast<TkxControlChildComponent*>(AComponent))
    child->SetControl(this);
}

void TkxControl::RemoveChildComponent(TComponent* AComponent) {
  if (auto* child = dynamic_cast<TkxControlChildComponent*>(AComponent))
    child->SetControl(nullptr);
}

void TkxControl::CreateParams(TCreateParams& AParams) {
  TCustomControl::CreateParams(AParams);
  AParams.Style |= WS_CLIPCHILDREN;
}

void TkxControl::Paint() {
  DoPaint();
}

void TkxControl::PaintWindow(HDC ADC) {
  TCustomControl::PaintWindow(ADC);
}

void TkxControl::DoPaint() {
  if (FBorderStyle == kxcbsDefault) {
    kxPainterDrawBorder(GetPainter(), *FCanvas, GetBounds());
    FCanvas->IntersectClipRect(GetClientBounds());
  }
}

void TkxControl::Resize() {
  TCustomControl::Resize();
  BoundsChanged();
}

void TkxControl::BoundsChanged() {
  if (FullRepaintNeeded())
    Invalidate();
}

void TkxControl::FocusChanged() {
  if (OnFocusChanged)
    OnFocusChanged(this);
}

void TkxControl::FontChanged() {
  TCustomControl::FontChanged();
  if (auto* notify = dynamic_cast<IkxControlFontNotify*>(this))
    notify->FontChanged(Font());
  const std::vector<IkxFontListener*> listeners = FFontListenerList;
  for (IkxFontListener* listener : listeners)
    listener->Changed(this, Font());
  Invalidate();
}

bool TkxControl::CanFocusOnClick() {
  return !IsDesigning() && FFocusOnClick && MayFocus() && CanFocus();
}

void TkxControl::CancelMouseOperations() {
  FMouseButtonPressed = false;
  SetMouseCaptureObject(nullptr);
}

bool TkxControl::GetDesignHitTest(int, int, TShiftState) {
  return FDragAndDropState != ddsNone || FMouseButtonPressed;
}

TScrollStyle TkxControl::GetMouseWheelScrollingKind() {
  return IsScrollBarVisible(sbVertical) ? ssVertical : ssNone;
}

bool TkxControl::DoShowPopupMenu(TComponent* AMenu, int AX, int AY) {
  if (!AMenu)
    return false;
  if (auto* custom = dynamic_cast<IkxCustomPopupMenu*>(AMenu)) {
    custom->Popup(AX, AY);
    return true;
  }
  if (auto* menu = dynamic_cast<TPopupMenu*>(AMenu)) {
    menu->SetPopupComponent(this);
    menu->Popup(AX, AY);
    return true;
  }
  return false;
}

void TkxControl::EraseBackground(HDC ADC) {
  if (GetThemeState() == TThemeState::Themed && Parent() && ParentBackground()) {
    PaintParentBackground(ADC);
    return;
  }
  RECT area = ClientRect();
  HBRUSH brush = CreateSolidBrush(ColorToColorRef(Color()));
  LedgerTake(TResourceKind::GdiObject, brush);
  FillRect(ADC, &area, brush);
  DeleteObject(brush);
  LedgerGive(TResourceKind::GdiObject, brush);
}

// ---- mouse ------------------------------------------------------------------

void TkxControl::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  FMouseDownPos = POINT{AX, AY};
  const std::shared_ptr<bool> alive = FAlive;
  if (NeedsFocusOnClick(AX, AY) && !(AShift & ssDouble)) {
    const POINT before = ClientToScreen(POINT{0, 0});
    SetFocus();
    if (!*alive)
      return;
    if (!Focused() && HandleAllocated())
      ::SetFocus(Handle());
    if (!Focused() && !AllowUnfocusedMouseDown()) {
      if (HandleAllocated() && GetCapture() == Handle())
        ReleaseCapture();
      return;
    }
    if (AdjustMouseDownPosOnFocus()) {
      // The control may have moved while it took the focus (a scrolling
      // parent brings it into view): the press stays on the same spot.
      const POINT after = ClientToScreen(POINT{0, 0});
      AX += before.x - after.x;
      AY += before.y - after.y;
    }
  }
  if (!*alive)
    return;
  BeforeMouseDown(AButton, AShift, AX, AY);
  if (!*alive)
    return;
  TCustomControl::MouseDown(AButton, AShift, AX, AY);
  if (*alive && HandleAllocated() && GetCapture() == Handle())
    FMouseButtonPressed = true;
}

void TkxControl::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  const std::shared_ptr<bool> alive = FAlive;
  FMouseButtonPressed = false;
  AfterMouseUp();
  if (*alive)
    TCustomControl::MouseUp(AButton, AShift, AX, AY);
}

void TkxControl::MouseMove(TShiftState AShift, int AX, int AY) {
  // The hit area's cursor shows; the default one stays as it was.
  TCustomControl::SetCursor(GetCursor(AX, AY));
  TCustomControl::MouseMove(AShift, AX, AY);
}

void TkxControl::AfterMouseUp() {
  FinishDragAndDrop(true);
  SetMouseCaptureObject(nullptr);
}

void TkxControl::AfterMouseDown(TMouseButton AButton, int AX, int AY) {
  if (AButton == mbLeft) {
    if (DragMode() == dmAutomatic && HandleAllocated() && GetCapture() == Handle() &&
        (!IsDesigning() || AllowAutoDragAndDropAtDesignTime(AX, AY, 0)) && CanDrag(AX, AY)) {
      const POINT screen = ClientToScreen(POINT{AX, AY});
      const std::shared_ptr<bool> alive = FAlive;
      if (DetectMouseDrag(Handle(), screen) == 1 && *alive)
        BeginDrag(true);
    }
  } else if (AButton == mbMiddle) {
    RunAutoScroll();
  }
}

// ---- the auto-scroll mode ------------------------------------------------------

void TkxControl::RunAutoScroll() {
  const bool horizontal = IsScrollBarVisible(sbHorizontal);
  const bool vertical = IsScrollBarVisible(sbVertical);
  if ((!horizontal && !vertical) || !HandleAllocated())
    return;
  const std::shared_ptr<bool> alive = FAlive;
  HWND window = Handle();
  FIsScrollingContent = true;
  POINT anchor;
  SafeGetCursorPos(anchor);

  const wchar_t* name = horizontal && vertical ? L"KX_FULLSCROLLBITMAP"
                        : horizontal           ? L"KX_HORSCROLLBITMAP"
                                               : L"KX_VERSCROLLBITMAP";
  auto bitmap = static_cast<HBITMAP>(LoadImageW(ModuleInstance(), name, IMAGE_BITMAP, 0, 0, 0));
  SIZE size{29, 29};
  if (bitmap) {
    LedgerTake(TResourceKind::GdiObject, bitmap);
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof(info), &info)) {
      size.cx = info.bmWidth;
      size.cy = info.bmHeight;
    }
  }
  HWND anchorWindow = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP,
                                      anchor.x - size.cx / 2, anchor.y - size.cy / 2, size.cx,
                                      size.cy, window, nullptr, nullptr, nullptr);
  if (anchorWindow) {
    LedgerTake(TResourceKind::Window, anchorWindow);
    // The window owns its region from here on.
    SetWindowRgn(anchorWindow, CreateEllipticRgn(0, 0, size.cx + 1, size.cy + 1), FALSE);
    ShowWindow(anchorWindow, SW_SHOWNOACTIVATE);
    if (HDC dc = GetDC(anchorWindow)) {
      if (bitmap) {
        TPaintBitmap copy(dc, 1, 1);
        SelectObject(copy.DC(), bitmap);
        BitBlt(dc, 0, 0, size.cx, size.cy, copy.DC(), 0, 0, SRCCOPY);
      }
      HRGN frame = CreateEllipticRgn(0, 0, size.cx + 1, size.cy + 1);
      LedgerTake(TResourceKind::GdiObject, frame);
      FrameRgn(dc, frame, GetSysColorBrush(COLOR_WINDOWTEXT), 1, 1);
      DeleteObject(frame);
      LedgerGive(TResourceKind::GdiObject, frame);
      ReleaseDC(anchorWindow, dc);
    }
  }

  TkxScrollDirection direction = dirNone;
  int speed = 1;
  int ticks = 0;
  bool leftAnchorArea = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, kkxAutoScrollTimerInterval, nullptr);
  if (timer)
    LedgerTake(TResourceKind::Timer, timer);
  SetCapture(window);
  auto showCursor = [&] {
    if (HCURSOR cursor = Screen()->Cursor(kxAutoScrollCursor(direction, horizontal, vertical)))
      ::SetCursor(cursor);
  };
  showCursor();
  const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  POINT last = anchor;

  try {
    while (*alive && GetCapture() == window) {
      MSG msg;
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got <= 0) {
        if (got == 0)
          PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (msg.message == WM_PAINT && anchorWindow && msg.hwnd == anchorWindow) {
        ValidateRect(anchorWindow, nullptr);
        continue;
      }
      if (msg.message > WM_MOUSEMOVE && msg.message <= 0x20E && msg.message != WM_MBUTTONUP)
        break;
      bool dispatch = true;
      bool end = false;
      switch (msg.message) {
      case WM_KEYDOWN:
      case WM_KEYUP:
        end = msg.wParam == VK_ESCAPE;
        break;
      case WM_TIMER:
        if (msg.hwnd == nullptr && msg.wParam == timer) {
          dispatch = false;
          ++ticks;
          if (direction != dirNone && ticks % (13 - speed) == 0)
            ScrollContent(direction);
        }
        break;
      case WM_MOUSEMOVE: {
        POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        ::ClientToScreen(msg.hwnd, &p);
        if (p.x != last.x || p.y != last.y) {
          last = p;
          const TkxAutoScrollMotion motion =
              kxAutoScrollMotion(anchor, p, size.cx, horizontal, vertical, screen);
          leftAnchorArea = leftAnchorArea || motion.LeftAnchorArea;
          direction = motion.Direction;
          speed = motion.Speed;
          showCursor();
        }
        break;
      }
      case WM_MBUTTONUP:
        // A release on the anchor keeps the mode; one after the mouse has
        // been away ends it.
        end = leftAnchorArea;
        dispatch = end;
        break;
      default:
        break;
      }
      if (dispatch) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      if (end)
        break;
    }
  } catch (...) {
    if (GetCapture() == window)
      ReleaseCapture();
    if (timer) {
      KillTimer(nullptr, timer);
      LedgerGive(TResourceKind::Timer, timer);
    }
    if (anchorWindow) {
      DestroyWindow(anchorWindow);
      LedgerGive(TResourceKind::Window, anchorWindow);
    }
    if (bitmap) {
      DeleteObject(bitmap);
      LedgerGive(TResourceKind::GdiObject, bitmap);
    }
    if (*alive)
      FIsScrollingContent = false;
    throw;
  }
  if (GetCapture() == window)
    ReleaseCapture();
  if (timer) {
    KillTimer(nullptr, timer);
    LedgerGive(TResourceKind::Timer, timer);
  }
  if (anchorWindow) {
    DestroyWindow(anchorWindow);
    LedgerGive(TResourceKind::Window, anchorWindow);
  }
  if (bitmap) {
    DeleteObject(bitmap);
    LedgerGive(TResourceKind::GdiObject, bitmap);
  }
  if (*alive)
    FIsScrollingContent = false;
}

// ---- messages -------------------------------------------------------------------

LRESULT TkxControl::DialogCode() {
  LRESULT code = 0;
  if (FKeys & kAll)
    code |= DLGC_WANTALLKEYS;
  if (FKeys & kArrows)
    code |= DLGC_WANTARROWS;
  if (FKeys & kChars)
    code |= DLGC_WANTCHARS;
  // Ctrl+Tab stays the dialog's, to leave the control.
  if ((FKeys & kTab) && GetKeyState(VK_CONTROL) >= 0)
    code |= DLGC_WANTTAB;
  return code;
}

void TkxControl::WMEraseBkgnd(TMessage& AMessage) {
  // The buffered paths send the erase with both parameters the context:
  // that one is the control's own.
  const bool own = AMessage.WParam == static_cast<WPARAM>(AMessage.LParam);
  if (!own && !EraseBackgroundOnMessage()) {
    AMessage.Result = 0;
    return;
  }
  if (own || !DoubleBuffered()) {
    HDC dc = reinterpret_cast<HDC>(AMessage.WParam);
    const int saved = ::SaveDC(dc);
    try {
      EraseBackground(dc);
    } catch (...) {
      ::RestoreDC(dc, saved);
      throw;
    }
    ::RestoreDC(dc, saved);
  }
  AMessage.Result = 1;
}

void TkxControl::PaintDirect(TMessage& AMessage) {
  if (AMessage.WParam) {
    PaintHandler(reinterpret_cast<HDC>(AMessage.WParam));
    AMessage.Result = 0;
  } else {
    TCustomControl::WndProc(AMessage);
  }
}

bool TkxControl::PaintComposited() {
  auto begin = BoundUxTheme<TBeginBufferedPaint>("BeginBufferedPaint");
  auto end = BoundUxTheme<TEndBufferedPaint>("EndBufferedPaint");
  auto setAlpha = BoundUxTheme<TBufferedPaintSetAlpha>("BufferedPaintSetAlpha");
  if (!begin || !end)
    return false;
  HWND window = Handle();
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  try {
    HDC bufferDC = nullptr;
    HPAINTBUFFER buffer = begin(dc, &ps.rcPaint, BPBF_TOPDOWNDIB, nullptr, &bufferDC);
    if (buffer) {
      try {
        SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(bufferDC),
                     reinterpret_cast<LPARAM>(bufferDC));
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(bufferDC), PRF_CLIENT);
        if (!PaintKeepsAlpha() && setAlpha)
          setAlpha(buffer, &ps.rcPaint, 255);
      } catch (...) {
        end(buffer, TRUE);
        throw;
      }
      end(buffer, TRUE);
    }
  } catch (...) {
    EndPaint(window, &ps);
    throw;
  }
  EndPaint(window, &ps);
  return true;
}

void TkxControl::PaintThroughBitmap() {
  HWND window = Handle();
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  try {
    const RECT& r = ps.rcPaint;
    if (!IsEmptyRect(r)) {
      TPaintBitmap memory(dc, r.right - r.left, r.bottom - r.top);
      SetWindowOrgEx(memory.DC(), r.left, r.top, nullptr);
      SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.DC()),
                   reinterpret_cast<LPARAM>(memory.DC()));
      TMessage paint{WM_PAINT, reinterpret_cast<WPARAM>(memory.DC()), 0, 0};
      PaintDirect(paint);
      BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory.DC(), r.left, r.top,
             SRCCOPY);
    }
  } catch (...) {
    EndPaint(window, &ps);
    throw;
  }
  EndPaint(window, &ps);
}

void TkxControl::WMPaint(TMessage& AMessage) {
  if ((!DoubleBuffered() && !OSVersionFlags().Win7Up) || AMessage.WParam) {
    PaintDirect(AMessage);
    return;
  }
  AMessage.Result = 0;
  if (IsDesktopCompositionEnabled() && AllowCompositionPaint() && PaintComposited())
    return;
  if (UseFrameworkPaintBuffer()) {
    TCustomControl::WndProc(AMessage);
    return;
  }
  PaintThroughBitmap();
}

void TkxControl::WMMouseWheel(TMessage& AMessage) {
  const TScrollStyle kind = GetMouseWheelScrollingKind();
  if (kind == ssNone) {
    TCustomControl::WndProc(AMessage);
    return;
  }
  const int delta = GET_WHEEL_DELTA_WPARAM(AMessage.WParam);
  TkxScrollDirection direction;
  if (kind == ssVertical)
    direction = delta > 0 ? dirUp : dirDown;
  else
    direction = delta > 0 ? dirLeft : dirRight;
  const std::shared_ptr<bool> alive = FAlive;
  const UINT lines = TkxWheelScrollLinesSeam::Current().Lines();
  for (UINT i = 0; i < lines && *alive; ++i)
    ScrollContent(direction);
  AMessage.Result = 0;
}

void TkxControl::WMContextMenu(TMessage& AMessage) {
  POINT p{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
  // A request from the keyboard shows the menu at the client origin.
  if (p.x == -1 && p.y == -1)
    p = ClientToScreen(POINT{0, 0});
  if (DoShowPopupMenu(FPopupMenu, p.x, p.y)) {
    AMessage.Result = 0;
    return;
  }
  TCustomControl::WndProc(AMessage);
}

void TkxControl::WndProc(TMessage& AMessage) {
  const std::shared_ptr<bool> alive = FAlive;
  switch (AMessage.Msg) {
  case WM_PAINT:
    WMPaint(AMessage);
    break;
  case WM_ERASEBKGND:
    WMEraseBkgnd(AMessage);
    break;
  case WM_NCCALCSIZE:
    TCustomControl::WndProc(AMessage);
    if (*alive && HandleAllocated())
      PostMessageW(Handle(), KXM_SCROLLBARMETRICS, 0, 0);
    break;
  case KXM_SCROLLBARMETRICS:
    AMessage.Result = 0;
    break;
  case WM_CANCELMODE:
    TCustomControl::WndProc(AMessage);
    if (*alive) {
      FinishDragAndDrop(false);
      CancelMouseOperations();
    }
    break;
  case WM_MOUSEWHEEL:
    WMMouseWheel(AMessage);
    break;
  case WM_CONTEXTMENU:
    WMContextMenu(AMessage);
    break;
  case CN_KEYDOWN:
    if (FDragAndDropState != ddsNone) {
      FinishDragAndDrop(false);
      AMessage.Result = 1;
    } else {
      TCustomControl::WndProc(AMessage);
    }
    break;
  case WM_RBUTTONUP:
    FMouseRightButtonReleased = true;
    TCustomControl::WndProc(AMessage);
    if (*alive)
      FMouseRightButtonReleased = false;
    break;
  default:
    TCustomControl::WndProc(AMessage);
    break;
  }
  if (!*alive || IsDestroying())
    return;
  switch (AMessage.Msg) {
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    FocusChanged();
    break;
  case WM_PAINT:
    if (ParentBackground() != FLastParentBackground) {
      FLastParentBackground = ParentBackground();
      ParentBackgroundChanged();
    }
    break;
  case WM_LBUTTONDOWN:
  case WM_RBUTTONDOWN:
  case WM_MBUTTONDOWN:
    AfterMouseDown(ButtonOfMessage(AMessage.Msg), GET_X_LPARAM(AMessage.LParam),
                   GET_Y_LPARAM(AMessage.LParam));
    break;
  default:
    break;
  }
}

// ---------------------------------------------------------------------------
// TkxControlChildComponent

TkxControlChildComponent::TkxControlChildComponent(TComponent* AOwner) : TComponent(AOwner) {
  Initialize();
}

TkxControlChildComponent::TkxControlChildComponent(TkxControl* AControl, bool AAssignOwner)
    : TComponent(AAssignOwner && AControl ? AControl->Owner() : nullptr) {
  Initialize();
  SetControl(AControl);
}

TkxControlChildComponent::~TkxControlChildComponent() {
  if (FControl)
    FControl->RemoveChildComponent(this);
}

void TkxControlChildComponent::SetParentComponent(TComponent* AValue) {
  if (auto* control = dynamic_cast<TkxControl*>(AValue))
    control->AddChildComponent(this);
}

void RegisterKxControlClasses() {
  TClassRegistry::RegisterOf<TkxControlChildComponent>(L"TkxControlChildComponent");
}

void UnregisterKxControlClasses() {
  TClassRegistry::Unregister(L"TkxControlChildComponent");
}
