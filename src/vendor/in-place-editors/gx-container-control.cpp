#include "gx-container-control.h"

#include "seams.h"

#include <commctrl.h>

#include <algorithm>

namespace {

// The flat scroll-bar functions, looked up in comctl32 by name; each is
// nullptr where the library lacks it, and the plain functions serve.
struct TFlatScrollBars {
  using TInitialize = BOOL(WINAPI*)(HWND);
  using TSetProp = BOOL(WINAPI*)(HWND, UINT, INT_PTR, BOOL);
  using TGetInfo = BOOL(WINAPI*)(HWND, int, LPSCROLLINFO);
  using TSetInfo = int(WINAPI*)(HWND, int, LPSCROLLINFO, BOOL);

  TFlatScrollBars() : Library(L"comctl32.dll") {
    Initialize = Library.Function<TInitialize>("InitializeFlatSB");
    SetProp = Library.Function<TSetProp>("FlatSB_SetScrollProp");
    GetInfo = Library.Function<TGetInfo>("FlatSB_GetScrollInfo");
    SetInfo = Library.Function<TSetInfo>("FlatSB_SetScrollInfo");
  }

  TSystemLibrary Library;
  TInitialize Initialize = nullptr;
  TSetProp SetProp = nullptr;
  TGetInfo GetInfo = nullptr;
  TSetInfo SetInfo = nullptr;
};

// Right-to-left locales keep the system's own scroll bars.
bool IsMiddleEastLocale() {
  switch (PRIMARYLANGID(GetUserDefaultLangID())) {
  case LANG_ARABIC:
  case LANG_HEBREW:
  case LANG_FARSI:
  case LANG_URDU:
    return true;
  default:
    return false;
  }
}

} // namespace

// ===========================================================================
// TCustomgxContainer

TCustomgxContainer::TCustomgxContainer(TComponent* AOwner) : TCustomControl(AOwner) {}

TgxPopupBorderStyle
TCustomgxContainer::GetDefaultPopupBorderStyle(TgxEditBorderStyle /*AEditBorderStyle*/) {
  return pbFrame3D;
}

void TCustomgxContainer::CreateWnd() {
  TCustomControl::CreateWnd();
  TFlatScrollBars flat;
  HWND window = Handle();
  if (!IsMiddleEastLocale() && flat.Initialize)
    flat.Initialize(window);
  if (flat.SetProp) {
    const INT_PTR mode = FlatScrollBarMode(FScrollBarStyle);
    flat.SetProp(window, WSB_PROP_HSTYLE, mode, TRUE);
    flat.SetProp(window, WSB_PROP_VSTYLE, mode, TRUE);
  }
}

bool TCustomgxContainer::GetScrollInfo(int ABarFlag, SCROLLINFO& AScrollInfo) {
  TFlatScrollBars flat;
  if (flat.GetInfo)
    return flat.GetInfo(Handle(), ABarFlag, &AScrollInfo) != FALSE;
  return ::GetScrollInfo(Handle(), ABarFlag, &AScrollInfo) != FALSE;
}

int TCustomgxContainer::SetScrollInfo(int ABarFlag, const SCROLLINFO& AScrollInfo, bool ARedraw) {
  SCROLLINFO info = AScrollInfo;
  TFlatScrollBars flat;
  if (flat.SetInfo)
    return flat.SetInfo(Handle(), ABarFlag, &info, ARedraw ? TRUE : FALSE);
  return ::SetScrollInfo(Handle(), ABarFlag, &info, ARedraw ? TRUE : FALSE);
}

void TCustomgxContainer::SetScrollBarStyle(TScrollBarStyle AValue) {
  if (FScrollBarStyle == AValue)
    return;
  FScrollBarStyle = AValue;
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomgxContainer::WndProc(TMessage& AMessage) {
  if (AMessage.Msg != WM_MOUSEWHEEL) {
    TCustomControl::WndProc(AMessage);
    return;
  }
  TCustomControl::WndProc(AMessage);
  UINT lines = 3;
  if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
    lines = 3;
  // WHEEL_PAGESCROLL asks for a page; a line count that large is what the
  // scroll handlers clamp anyway.
  const int count = lines == WHEEL_PAGESCROLL ? 0x7FFF : int(std::min<UINT>(lines, 0x7FFF));
  ScrollLines(GET_WHEEL_DELTA_WPARAM(AMessage.WParam) > 0, count);
}

// ===========================================================================
// TgxContainerHintWindow

TgxContainerHintWindow::TgxContainerHintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  SetVisible(false);
  SetColor(clInfoBk);
  SetParentFont(false);
}

void TgxContainerHintWindow::CreateParams(TCreateParams& AParams) {
  TCustomControl::CreateParams(AParams);
  AParams.Style = WS_POPUP;
  AParams.ExStyle = WS_EX_TOOLWINDOW;
  AParams.WndParent = nullptr;
}

void TgxContainerHintWindow::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_NCHITTEST) {
    // The mouse goes through to the cell under the hint.
    AMessage.Result = HTTRANSPARENT;
    return;
  }
  if (AMessage.Msg == WM_MOUSEACTIVATE) {
    AMessage.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::WndProc(AMessage);
}

void TgxContainerHintWindow::Paint() {
  TCanvas& canvas = Canvas();
  RECT rect = ClientRect();
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(rect);
  DrawEdge(canvas.Handle(), &rect, BDR_RAISEDOUTER, BF_RECT);
  canvas.SetFont(Font());
  InflateRect(&rect, -1, -1);
  rect.left += 2;
  rect.top += 2;
  canvas.Brush().SetStyle(TBrushStyle::Clear);
  canvas.TextRect(rect, Caption(), DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP);
}

void TgxContainerHintWindow::ActivateHint(POINT AP, const std::wstring& AHint, TFont& AFont) {
  ActivateHintEx(AP, GetSystemMetrics(SM_CXSCREEN), AHint, AFont, false);
}

void TgxContainerHintWindow::ActivateHintEx(POINT AP, int AWidth, const std::wstring& AHint,
                                            TFont& AFont, bool AUseFontSize) {
  SetCaption(AHint);
  // The hint's font lives in the control; the canvas takes it at paint.
  TFont& font = Font();
  NONCLIENTMETRICSW metrics{};
  // The record as the oldest systems know it (without the padded border
  // width), which every later system accepts.
  metrics.cbSize = 504;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
    HFONT status = CreateFontIndirectW(&metrics.lfStatusFont);
    font.SetHandle(status);
    DeleteObject(status);
  } else {
    font.SetSize(8);
  }
  font.SetColor(clInfoText);
  font.SetName(AFont.Name());
  font.SetCharset(AFont.Charset());
  if (AUseFontSize)
    font.SetSize(AFont.Size());

  if (AWidth <= 0)
    AWidth = GetSystemMetrics(SM_CXSCREEN);
  RECT measure{0, 0, AWidth, 0};
  {
    TBitmap scratch(1, 1);
    scratch.Canvas().SetFont(font);
    scratch.Canvas().TextRect(measure, AHint, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  }
  const int width = int(measure.right - measure.left) + 6;
  const int height = int(measure.bottom - measure.top) + 6;

  RECT rect{AP.x, AP.y, AP.x + width, AP.y + height};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (HMONITOR nearest = MonitorFromPoint(AP, MONITOR_DEFAULTTONEAREST);
      nearest && GetMonitorInfoW(nearest, &monitor)) {
    const RECT& area = monitor.rcMonitor;
    if (rect.bottom > area.bottom)
      OffsetRect(&rect, 0, area.bottom - rect.bottom);
    if (rect.right > area.right)
      OffsetRect(&rect, area.right - rect.right, 0);
    // The top-left corner wins when the hint is larger than the monitor.
    if (rect.left < area.left)
      OffsetRect(&rect, area.left - rect.left, 0);
    if (rect.top < area.top)
      OffsetRect(&rect, 0, area.top - rect.top);
  }
  SetBoundsRect(rect);
  SetWindowPos(Handle(), HWND_TOPMOST, rect.left, rect.top, width, height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SetVisible(true);
  Invalidate();
}

void TgxContainerHintWindow::HideHint() {
  if (!HandleAllocated())
    return;
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
  SetVisible(false);
}
