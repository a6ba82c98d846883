#include "hint-windows.h"

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  SetVisible(false);
  SetColor(clInfoBk);
  Font().SetColor(clInfoText);
  SetParentFont(false);
}

void THintWindow::CreateParams(TCreateParams& AParams) {
  TCustomControl::CreateParams(AParams);
  AParams.Style = WS_POPUP | WS_BORDER | WS_DISABLED;
  AParams.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  AParams.WndParent = nullptr;
}

RECT THintWindow::CalcHintRect(int AMaxWidth, const std::wstring& AHint) {
  TBitmap scratch(1, 1);
  TCanvas& canvas = scratch.Canvas();
  canvas.SetFont(Font());
  RECT rect{0, 0, AMaxWidth, 0};
  canvas.TextRect(rect, AHint.empty() ? std::wstring(L" ") : AHint, kTextFlags | DT_CALCRECT);
  // Room for the border and the margins on each side.
  rect.right += 2 * (kMargin + 1);
  rect.bottom += 2 * (kMargin + 1);
  return rect;
}

void THintWindow::ActivateHint(const RECT& ARect, const std::wstring& AHint) {
  SetCaption(AHint);
  SetBoundsRect(ARect);
  HWND window = Handle();
  SetWindowPos(window, HWND_TOPMOST, ARect.left, ARect.top, ARect.right - ARect.left,
               ARect.bottom - ARect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SetVisible(true);
  Invalidate();
}

void THintWindow::ReleaseHandle() {
  SetVisible(false);
  DestroyHandle();
}

void THintWindow::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_MOUSEACTIVATE) {
    AMessage.Result = MA_NOACTIVATE;
    return;
  }
  if (AMessage.Msg == WM_NCHITTEST) {
    // The mouse goes through to the window under the hint.
    AMessage.Result = HTTRANSPARENT;
    return;
  }
  TCustomControl::WndProc(AMessage);
}

void THintWindow::Paint() {
  TCanvas& canvas = Canvas();
  RECT rect = ClientRect();
  canvas.Brush().SetColor(Color());
  canvas.FillRect(rect);
  InflateRect(&rect, -kMargin, -kMargin);
  canvas.Brush().SetStyle(TBrushStyle::Clear);
  canvas.SetFont(Font());
  canvas.TextRect(rect, Caption(), kTextFlags);
}
