#include "gx-popup.h"

#include "application.h"
#include "forms.h"

namespace {

void Edge(HDC ADC, RECT& ARect, UINT AEdge, UINT AFlags) {
  DrawEdge(ADC, &ARect, AEdge, AFlags | BF_RECT | BF_ADJUST);
}

} // namespace

int PopupBorderSize(TgxPopupBorder ABorderStyle) {
  static constexpr int kSizes[] = {0, 1, 4, 2};
  return ABorderStyle <= pbFlat ? kSizes[ABorderStyle] : 0;
}

void DrawPopupBorder(HDC ADC, RECT& ARect, TgxPopupBorder ABorderStyle, bool ABothScrollBars,
                     bool AHasShadow, int AShadowSize) {
  RECT shadow{0, 0, 0, 0};
  if (AHasShadow) {
    ARect.right -= AShadowSize;
    ARect.bottom -= AShadowSize;
    shadow = ARect;
    OffsetRect(&shadow, AShadowSize, AShadowSize);
  }
  switch (ABorderStyle) {
  case pbSingle:
    Edge(ADC, ARect, BDR_RAISEDOUTER, BF_MONO);
    break;
  case pbFrame3D:
    Edge(ADC, ARect, EDGE_RAISED, 0);
    Edge(ADC, ARect, BDR_SUNKENINNER, BF_FLAT);
    Edge(ADC, ARect, BDR_SUNKENOUTER, 0);
    break;
  case pbFlat:
    Edge(ADC, ARect, EDGE_RAISED, 0);
    break;
  default:
    break;
  }
  if (AHasShadow)
    DrawShadow(ADC, shadow, AShadowSize, GetBtnShadowBrush());
  if (ABothScrollBars) {
    RECT corner{ARect.right - GetSystemMetrics(SM_CXVSCROLL),
                ARect.bottom - GetSystemMetrics(SM_CYHSCROLL), ARect.right, ARect.bottom};
    if (AHasShadow)
      OffsetRect(&corner, -AShadowSize, -AShadowSize);
    FillRect(ADC, &corner, GetSysColorBrush(COLOR_BTNFACE));
  }
}

void DrawPopupNC(HWND AWnd, TgxPopupBorder ABorderStyle, bool ABothScrollBars, bool AHasShadow,
                 int AShadowSize) {
  HDC dc = AcquireWindowDC(AWnd);
  if (!dc)
    return;
  RECT r;
  GetWindowRect(AWnd, &r);
  OffsetRect(&r, -r.left, -r.top);
  DrawPopupBorder(dc, r, ABorderStyle, ABothScrollBars, AHasShadow, AShadowSize);
  ReleaseWindowDC(AWnd, dc);
}

void SetPopupShadowRegion(HWND AWnd, bool AHasShadow, int AShadowSize) {
  if (!AHasShadow) {
    SetWindowRgn(AWnd, nullptr, TRUE);
    return;
  }
  RECT r;
  GetWindowRect(AWnd, &r);
  OffsetRect(&r, -r.left, -r.top);
  r.right -= AShadowSize;
  r.bottom -= AShadowSize;
  HRGN region = CreateRectRgnIndirect(&r);
  OffsetRect(&r, AShadowSize, AShadowSize);
  HRGN moved = CreateRectRgnIndirect(&r);
  CombineRgn(region, region, moved, RGN_OR);
  DeleteObject(moved);
  // The system owns the region once it is the window's.
  if (!SetWindowRgn(AWnd, region, TRUE))
    DeleteObject(region);
}

// ===========================================================================
// TgxInplacePopupControl

TgxInplacePopupControl::TgxInplacePopupControl(TComponent* AOwner) : TCustomControl(AOwner) {
  FDrawNC = true;
  FShadowSize = 2;
  // The frame is the control's own drawing, on the screen and in prints.
  FControlStyle |= csNeedsBorderPaint;
}

void TgxInplacePopupControl::SetPopupBorderStyle(TgxPopupBorderStyle AValue) {
  if (AValue == FPopupBorderStyle)
    return;
  FPopupBorderStyle = AValue;
  RecreateWnd();
}

void TgxInplacePopupControl::SetShadow(bool AValue) {
  if (AValue == FShadow)
    return;
  FShadow = AValue;
  RecreateWnd();
}

void TgxInplacePopupControl::SetShadowSize(int AValue) {
  if (AValue <= 0)
    AValue = 1;
  if (AValue == FShadowSize)
    return;
  FShadowSize = AValue;
  RecreateWnd();
}

HWND TgxInplacePopupControl::OwnerFormWindow() const {
  if (!OwnerControl)
    return nullptr;
  if (TCustomForm* form = GetParentForm(OwnerControl))
    return form->Handle();
  return OwnerControl->HandleAllocated() ? GetAncestor(OwnerControl->Handle(), GA_ROOT) : nullptr;
}

void TgxInplacePopupControl::CreateParams(TCreateParams& AParams) {
  TCustomControl::CreateParams(AParams);
  if (!FIsPopupControl)
    return;
  // An owned top-level window of the editor's form.
  AParams.Style = (AParams.Style & ~DWORD(WS_CHILD)) | WS_POPUP;
  AParams.WndParent = OwnerFormWindow();
}

void TgxInplacePopupControl::ShowPopup() {
  // Shown without activation: the editor keeps the focus and its form the
  // active caption.
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  if (HWND form = OwnerFormWindow())
    SendMessageW(form, WM_NCACTIVATE, TRUE, 0);
}

void TgxInplacePopupControl::HidePopup(bool /*AByMouse*/) {
  if (HandleAllocated() && IsWindowVisible(Handle())) {
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    TApplication* application = ApplicationIfAny();
    if (OwnerControl && application && application->Active() && OwnerControl->HandleAllocated())
      ::SetFocus(OwnerControl->Handle());
  }
  if (OwnerControl && OwnerControl->HandleAllocated())
    PostMessageW(OwnerControl->Handle(), WM_GX_POPUPCLOSED, 0, 0);
}

void TgxInplacePopupControl::PaintNonClient(HDC ADC) {
  if (!FIsPopupControl) {
    TCustomControl::PaintNonClient(ADC);
    return;
  }
  if (!FDrawNC)
    return;
  const auto style = DWORD(GetWindowLongPtrW(Handle(), GWL_STYLE));
  RECT r;
  GetWindowRect(Handle(), &r);
  OffsetRect(&r, -r.left, -r.top);
  DrawPopupBorder(ADC, r, FPopupBorderStyle, (style & WS_HSCROLL) && (style & WS_VSCROLL), FShadow,
                  FShadowSize);
}

void TgxInplacePopupControl::WndProc(TMessage& AMessage) {
  if (!FIsPopupControl) {
    TCustomControl::WndProc(AMessage);
    return;
  }
  switch (AMessage.Msg) {
  case WM_MOUSEACTIVATE:
    AMessage.Result = MA_NOACTIVATE;
    return;
  case WM_ACTIVATE: {
    TCustomControl::WndProc(AMessage);
    HWND form = OwnerFormWindow();
    if (LOWORD(AMessage.WParam) == WA_INACTIVE && form &&
        reinterpret_cast<HWND>(AMessage.LParam) != form)
      SendMessageW(form, WM_NCACTIVATE, FALSE, 0);
    return;
  }
  case WM_KILLFOCUS: {
    const auto focused = reinterpret_cast<HWND>(AMessage.WParam);
    TCustomControl::WndProc(AMessage);
    HidePopup(false);
    if (OwnerControl)
      OwnerControl->DoKillFocus(focused);
    return;
  }
  case WM_NCCALCSIZE: {
    TCustomControl::WndProc(AMessage);
    auto* r = reinterpret_cast<RECT*>(AMessage.LParam);
    const int border = PopupBorderSize(FPopupBorderStyle);
    InflateRect(r, -border, -border);
    if (FShadow) {
      r->right -= FShadowSize;
      r->bottom -= FShadowSize;
    }
    if (r->right < r->left)
      r->right = r->left;
    if (r->bottom < r->top)
      r->bottom = r->top;
    return;
  }
  case WM_SIZE:
    TCustomControl::WndProc(AMessage);
    SetPopupShadowRegion(Handle(), FShadow, FShadowSize);
    return;
  default:
    break;
  }
  TCustomControl::WndProc(AMessage);
}
