#include "gx-drop-down.h"

#include "gx-container-control.h"
#include "gx-utils.h"

#include "application.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>

namespace {

// The pen and brush of one colour for the time of a mark.
class TMarkTools {
public:
  TMarkTools(HDC ADC, COLORREF AColor)
      : FDC(ADC), FPen(CreatePen(PS_SOLID, 1, AColor)), FBrush(CreateSolidBrush(AColor)) {
    FOldPen = SelectObject(ADC, FPen);
    FOldBrush = SelectObject(ADC, FBrush);
  }
  ~TMarkTools() {
    SelectObject(FDC, FOldPen);
    SelectObject(FDC, FOldBrush);
    DeleteObject(FPen);
    DeleteObject(FBrush);
  }
  TMarkTools(const TMarkTools&) = delete;
  TMarkTools& operator=(const TMarkTools&) = delete;
  HBRUSH Brush() const { return FBrush; }

private:
  HDC FDC;
  HPEN FPen;
  HBRUSH FBrush;
  HGDIOBJ FOldPen;
  HGDIOBJ FOldBrush;
};

void FillColor(HDC ADC, const RECT& ARect, int ASysColor) {
  FillRect(ADC, &ARect, GetSysColorBrush(ASysColor));
}

void DrawEllipsisAt(HDC ADC, int AX, int AY, int ASize, COLORREF AColor) {
  TMarkTools tools(ADC, AColor);
  for (int i = -1; i <= 1; ++i) {
    const RECT dot{AX + 2 * ASize * i, AY, AX + 2 * ASize * i + ASize, AY + ASize};
    FillRect(ADC, &dot, tools.Brush());
  }
}

void DrawArrowAt(HDC ADC, int AX, int AY, int AWidth, COLORREF AColor) {
  TMarkTools tools(ADC, AColor);
  const POINT corners[] = {{AX, AY}, {AX + AWidth - 1, AY}, {AX + AWidth / 2, AY + AWidth / 2}};
  Polygon(ADC, corners, 3);
}

} // namespace

// ===========================================================================
// TgxDropDownEditClass

const TgxDropDownEditClass& TgxDropDownEditClass::Instance() {
  static const TgxDropDownEditClass instance;
  return instance;
}

int TgxDropDownEditClass::CalcDefaultButtonWidth(TgxDropDownEditViewData& AViewData,
                                                 const TgxEditButtonInfo& AButtonInfo) const {
  const bool flatOrSimple = AViewData.ButtonStyle == btsFlat || AViewData.ButtonStyle == btsSimple;
  if (AButtonInfo.Kind == bkGlyph && AButtonInfo.Glyph && AButtonInfo.Glyph->Width() > 0) {
    int width = AButtonInfo.Glyph->Width() + 2;
    if (AViewData.ButtonStyle == bts3D)
      width += 2;
    else if (flatOrSimple)
      width += 1;
    return width;
  }
  return GetSystemMetrics(SM_CXVSCROLL) - (flatOrSimple ? 1 : 0);
}

void TgxDropDownEditClass::CalcButtonsInfo(TgxDropDownEditViewData& AViewData) const {
  AViewData.Buttons.fill(TgxEditButtonInfo{});
  if (AViewData.HideButtons) {
    AViewData.ButtonCount = 0;
    return;
  }
  AViewData.ButtonCount = 1;
  TgxEditButtonInfo& button = AViewData.Buttons[0];
  button.Index = 0;
  button.LeftAlignment = false;
  button.Glyph = AViewData.ButtonGlyph;
  button.Kind = AViewData.ButtonGlyph ? bkGlyph : bkDown;
  button.Width = CalcDefaultButtonWidth(AViewData, button);
}

void TgxDropDownEditClass::CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                                        TgxEditViewInfo& AViewInfo) const {
  TgxInplaceTextEditClass::CalcViewInfo(AViewData, AAutoSize, AViewInfo);
  auto* data = dynamic_cast<TgxDropDownEditViewData*>(&AViewData);
  if (!data)
    return;
  CalcButtonsInfo(*data);
  for (int i = 0; i < data->ButtonCount; ++i) {
    const TgxEditButtonInfo& button = data->Buttons[size_t(i)];
    if (button.LeftAlignment)
      AViewInfo.ClientBounds.left += button.Width;
    else
      AViewInfo.ClientBounds.right -= button.Width;
  }
}

void TgxDropDownEditClass::CalcButtonRects(const TgxEditViewInfo& AViewInfo,
                                           const TgxDropDownEditViewData& AViewData,
                                           std::array<RECT, kgxMaxEditButtons>& ARects) {
  RECT rest = AViewInfo.BorderRect;
  InflateRectByBorder(rest, AViewInfo, false);
  for (int i = AViewData.ButtonCount - 1; i >= 0; --i) {
    const TgxEditButtonInfo& button = AViewData.Buttons[size_t(i)];
    RECT& r = ARects[size_t(i)];
    r = rest;
    if (button.LeftAlignment) {
      r.right = r.left + button.Width;
      rest.left = r.right;
    } else {
      r.left = r.right - button.Width;
      rest.right = r.left;
    }
  }
}

void TgxDropDownEditClass::DrawBorder(HDC ADC, TgxEditViewInfo& AViewInfo,
                                      TgxEditViewData& AViewData) const {
  TgxInplaceTextEditClass::DrawBorder(ADC, AViewInfo, AViewData);
  auto* data = dynamic_cast<TgxDropDownEditViewData*>(&AViewData);
  if (!data || data->ButtonCount <= 0)
    return;
  std::array<RECT, kgxMaxEditButtons> rects{};
  CalcButtonRects(AViewInfo, *data, rects);
  for (int i = data->ButtonCount - 1; i >= 0; --i) {
    const bool hot = i == data->ActiveButtonIndex;
    const bool pressed = hot && i == data->PressedButtonIndex;
    DrawEditButton(ADC, rects[size_t(i)], *data, data->Buttons[size_t(i)], hot, pressed,
                   data->ButtonTransparence);
  }
}

// ===========================================================================
// The button painter

void DrawEditButton(HDC ADC, RECT B, const TgxDropDownEditViewData& AViewData,
                    const TgxEditButtonInfo& AButton, bool AHot, bool APressed, bool ATransparent) {
  if (IsRectEmpty(&B))
    return;
  TgxEditButtonViewStyle style = AViewData.ButtonStyle;
  if (style == btsSimple && (AHot || APressed))
    style = btsFlat;
  const bool glyphButton = AButton.Kind == bkGlyph;
  HBRUSH face = ATransparent && AViewData.Brush ? AViewData.Brush : GetSysColorBrush(COLOR_BTNFACE);
  COLORREF mark = GetSysColor(COLOR_BTNTEXT);
  const int fullWidth = B.right - B.left + ((style == btsFlat || style == btsSimple) ? 1 : 0);

  if (ATransparent && !glyphButton && AViewData.Brush)
    FillRect(ADC, &B, AViewData.Brush);
  const UINT middle = (!ATransparent && !glyphButton) ? BF_MIDDLE : 0;
  switch (style) {
  case bts3D:
    if (!APressed) {
      DrawEdge(ADC, &B, EDGE_RAISED, BF_RECT | BF_ADJUST | middle);
    } else {
      DrawEdge(ADC, &B, BDR_RAISEDINNER, BF_RIGHT | BF_BOTTOM | BF_ADJUST | middle);
      DrawEdge(ADC, &B, BDR_SUNKENOUTER, BF_LEFT | BF_TOP | BF_ADJUST);
    }
    break;
  case btsFlat:
    if (!ATransparent) {
      const RECT column{B.left, B.top, B.left + 1, B.bottom};
      FillColor(ADC, column, COLOR_BTNFACE);
      B.left += 1;
    }
    DrawEdge(ADC, &B, APressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST | middle);
    break;
  case btsSimple:
    if (ATransparent) {
      InflateRect(&B, -1, -1);
    } else {
      if (AViewData.Brush)
        FrameRect(ADC, &B, AViewData.Brush);
      InflateRect(&B, -1, -1);
      const RECT column{B.left, B.top, B.left + 1, B.bottom};
      if (AViewData.Brush)
        FillRect(ADC, &column, AViewData.Brush);
      B.left += 1;
      if (!glyphButton)
        FillRect(ADC, &B, face);
    }
    break;
  case btsHotFlat:
    FrameRect(ADC, &B, GetSysColorBrush(COLOR_BTNSHADOW));
    InflateRect(&B, -1, -1);
    if (AHot || APressed) {
      if (!ATransparent)
        mark = GetSysColor(COLOR_WINDOW);
      else if (!APressed)
        mark = GetSysColor(COLOR_BTNSHADOW);
    }
    if (!ATransparent) {
      int faceColor = COLOR_BTNFACE;
      if (AViewData.Enabled && APressed)
        faceColor = COLOR_BTNTEXT;
      else if (AViewData.Enabled && AHot)
        faceColor = COLOR_BTNSHADOW;
      face = GetSysColorBrush(faceColor);
      if (!glyphButton)
        FillRect(ADC, &B, face);
    }
    break;
  case btsDefault:
    break;
  }
  if (APressed && style != btsHotFlat) {
    if (glyphButton) {
      const int in = style == bts3D ? 2 : 1;
      B.left += in;
      B.top += in;
    } else {
      OffsetRect(&B, 1, 1);
    }
  }
  const int h = B.bottom - B.top;
  switch (AButton.Kind) {
  case bkEllipsis:
  case bkDown: {
    int x, y, size;
    if (AButton.Kind == bkEllipsis) {
      size = fullWidth > 15 ? 2 : 1;
      x = (B.left + B.right - size) / 2;
      y = (B.top + B.bottom - size / 2) / 2 - (h % 2);
    } else {
      size = (B.right - B.left) / 2;
      if (size % 2 == 0)
        size += 1;
      x = (B.left + B.right - size) / 2;
      y = (B.top + B.bottom - size / 2) / 2 - (h % 2);
    }
    auto draw = [&](int AX, int AY, COLORREF AColor) {
      if (AButton.Kind == bkEllipsis)
        DrawEllipsisAt(ADC, AX, AY, size, AColor);
      else
        DrawArrowAt(ADC, AX, AY, size, AColor);
    };
    if (!AViewData.Enabled) {
      draw(x + 1, y + 1, GetSysColor(COLOR_BTNHIGHLIGHT));
      draw(x, y, GetSysColor(COLOR_BTNSHADOW));
    } else {
      draw(x, y, mark);
    }
    break;
  }
  case bkGlyph:
    if (AButton.Glyph && !AButton.Glyph->Empty()) {
      RECT glyph{B.left, B.top, B.left + AButton.Glyph->Width(), B.top + AButton.Glyph->Height()};
      const int dx = (B.right - B.left) - AButton.Glyph->Width();
      if (dx > 0) {
        int offset = dx / 2;
        if (APressed && (style == btsFlat || style == btsSimple) && dx % 2 != 0)
          offset += 1;
        OffsetRect(&glyph, offset, 0);
      }
      const int dy = (B.bottom - B.top) - AButton.Glyph->Height();
      if (dy > 0)
        OffsetRect(&glyph, 0, dy / 2);
      DrawGlyphOnBrush(ADC, face, B, glyph, *AButton.Glyph);
    }
    break;
  }
}

// ===========================================================================
// TgxInplaceDropDownEdit

TgxInplaceDropDownEdit::TgxInplaceDropDownEdit(TComponent* AOwner) : TgxInplaceMaskEdit(AOwner) {}

TgxInplaceDropDownEdit::~TgxInplaceDropDownEdit() {
  // The window's last messages still come through this class's handlers.
  DestroyHandle();
}

TBitmap& TgxInplaceDropDownEdit::ButtonGlyph() {
  if (!FButtonGlyph)
    FButtonGlyph = std::make_unique<TBitmap>();
  return *FButtonGlyph;
}

void TgxInplaceDropDownEdit::SetButtonGlyph(TBitmap* AValue) {
  if (!AValue || AValue->Empty())
    FButtonGlyph.reset();
  else
    ButtonGlyph().Assign(AValue);
  RefreshView();
}

bool TgxInplaceDropDownEdit::PopupShowing() const {
  if (!FActiveList || !FListVisible)
    return false;
  return FActiveList->HandleAllocated() &&
         IsWindowVisible(const_cast<TWinControl*>(FActiveList)->Handle());
}

bool TgxInplaceDropDownEdit::DroppedDown() {
  if (!FActiveList || !FActiveList->HandleAllocated())
    return false;
  HWND list = FActiveList->Handle();
  return IsWindowVisible(list) && (GetFocus() == list || FSendChildrenStyle);
}

void TgxInplaceDropDownEdit::SetDroppedDown(bool AValue) {
  if (AValue == DroppedDown())
    return;
  if (AValue) {
    if (HandleAllocated())
      PostMessageW(Handle(), WM_GX_DROPDOWN, 0, 0);
  } else {
    CloseUp(false);
  }
}

void TgxInplaceDropDownEdit::FocusEditorIfPossible() {
  TApplication* application = ApplicationIfAny();
  const bool active = !application || application->Active();
  if (!Focused() && HandleAllocated() && IsWindowVisible(Handle()) && active && CanFocus())
    ::SetFocus(Handle());
}

TgxPopupBorderStyle TgxInplaceDropDownEdit::PopupBorderStyle() {
  if (FPopupBorder != pbDefault)
    return FPopupBorder;
  const TgxEditBorderStyle border = Style().BorderStyle();
  if (auto* container = dynamic_cast<TCustomgxContainer*>(Container()))
    return container->GetDefaultPopupBorderStyle(border);
  switch (border) {
  case xbsSingle:
  case xbs3D:
    return pbSingle;
  case xbsFlat:
    return pbFlat;
  default:
    return pbFrame3D;
  }
}

void TgxInplaceDropDownEdit::ListMouseUp(TControl* /*ASender*/, TMouseButton AButton,
                                         TShiftState /*AShift*/, int AX, int AY) {
  if (AButton != mbLeft)
    return;
  bool inside = false;
  if (FActiveList) {
    const RECT client = FActiveList->ClientRect();
    const POINT p{AX, AY};
    inside = PtInRect(&client, p) != 0;
  }
  CloseUp(inside);
}

void TgxInplaceDropDownEdit::CalcPopupPos(TWinControl* APopup, bool AAdjustWidth) {
  if (!APopup || !HandleAllocated())
    return;
  RECT r;
  GetWindowRect(Handle(), &r);
  std::unique_ptr<TgxEditViewData> data(TgxInplaceDropDownEdit::CreateViewData(false));
  TgxEditViewInfo info;
  EditClass().CalcViewInfo(*data, false, info);
  int width = info.BorderRect.right - info.BorderRect.left;
  if (data->Shadow)
    width += 2;
  int popupWidth = APopup->Width();
  const int popupHeight = APopup->Height();
  if (AAdjustWidth && popupWidth < width)
    popupWidth = width;
  r.left += info.BorderRect.left;
  r.right = r.left + width;
  if (data->BorderStyle == xbsNone || data->BorderStyle == xbsSingle) {
    r.top += 1;
    r.bottom -= 1;
    if (!EditClass().IsInplace() && data->BorderStyle == xbsNone) {
      r.top += 1;
      r.bottom -= 1;
    }
  }
  POINT p{r.left, r.bottom};
  switch (FPopupAlignment) {
  case taRightJustify:
    p.x = r.right - popupWidth;
    break;
  case taCenter:
    p.x = (r.left + r.right) / 2 - popupWidth / 2;
    break;
  default:
    break;
  }
  AdjustPopupPos(p, popupWidth, popupHeight, r.bottom - r.top);
  APopup->SetBounds(p.x, p.y, popupWidth, popupHeight);
}

void TgxInplaceDropDownEdit::RepaintFrame() {
  if (HandleAllocated())
    SendMessageW(Handle(), WM_NCPAINT, 1, 0);
}

void TgxInplaceDropDownEdit::SetActiveButton(int AValue) {
  if (AValue == FActiveButton)
    return;
  FActiveButton = AValue;
  RepaintFrame();
}

void TgxInplaceDropDownEdit::StartButtonPress(bool ANoCapture, int AButtonIndex) {
  if (PopupShowing() && FSendChildrenStyle) {
    CloseUp(false);
    return;
  }
  if (PopupShowing())
    return;
  FPressedButton = FActiveButton;
  if (!ANoCapture && HandleAllocated())
    SetCapture(Handle());
  RepaintFrame();
  if (AButtonIndex != -1)
    SetDroppedDown(true);
}

void TgxInplaceDropDownEdit::EndButtonPress() {
  if (FPressedButton == -1)
    return;
  FPressedButton = -1;
  if (HandleAllocated() && GetCapture() == Handle())
    ReleaseCapture();
  RepaintFrame();
}

void TgxInplaceDropDownEdit::DoCloseUp(std::wstring& AValue, bool& AAccept) {
  if (OnCloseUp)
    OnCloseUp(this, AValue, AAccept);
}

void TgxInplaceDropDownEdit::DoDropDown() {
  if (OnEditButtonClick)
    OnEditButtonClick(this);
  if (OnDropDown)
    OnDropDown(this);
}

void TgxInplaceDropDownEdit::HandleDropDownKey(WORD& AKey, TShiftState AShift) {
  const bool alt = (AShift & ssAlt) != 0;
  if ((alt && (AKey == VK_UP || AKey == VK_DOWN)) || (AKey == VK_F4 && !alt)) {
    if (PopupShowing())
      CloseUp(true);
    else
      DropDown();
    AKey = 0;
    return;
  }
  if ((AKey == VK_RETURN || AKey == VK_ESCAPE) && !alt && PopupShowing()) {
    const bool accept = AKey == VK_RETURN;
    CloseUp(accept);
    if (accept && HandleAllocated())
      KillMessage(Handle(), WM_CHAR);
    AKey = 0;
  }
}

void TgxInplaceDropDownEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (!FSendChildrenStyle) {
    const bool alt = (AShift & ssAlt) != 0;
    if ((alt && (AKey == VK_UP || AKey == VK_DOWN)) || (AKey == VK_F4 && !alt)) {
      DropDown();
      AKey = 0;
      return;
    }
  }
  TgxInplaceMaskEdit::KeyDown(AKey, AShift);
}

void TgxInplaceDropDownEdit::ActivateEdit() {
  TgxInplaceMaskEdit::ActivateEdit();
  if (FImmediatePopup)
    SetDroppedDown(true);
}

void TgxInplaceDropDownEdit::Hide() {
  // The popup goes with its editor, without accepting; it is hidden, not
  // closed, as its control keeps its window.
  if (PopupShowing())
    SetWindowPos(FActiveList->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  FListVisible = false;
  TgxInplaceMaskEdit::Hide();
}

void TgxInplaceDropDownEdit::Show() {
  FListVisible = false;
  TgxInplaceMaskEdit::Show();
}

bool TgxInplaceDropDownEdit::GetModified() {
  return IsEditClass() ? TgxInplaceMaskEdit::GetModified() : FPlainModified;
}

void TgxInplaceDropDownEdit::SetModified(bool AValue) {
  if (IsEditClass())
    TgxInplaceMaskEdit::SetModified(AValue);
  else
    FPlainModified = AValue;
}

bool TgxInplaceDropDownEdit::IsFocused() {
  if (TgxInplaceMaskEdit::IsFocused())
    return true;
  return FActiveList && FActiveList->HandleAllocated() && GetFocus() == FActiveList->Handle();
}

void TgxInplaceDropDownEdit::MouseButtonClick(int AX, int AY) {
  TgxInplaceMaskEdit::MouseButtonClick(AX, AY);
  IgxEditContainer* container = Container();
  if (!container || !HandleAllocated())
    return;
  const POINT screen = container->ContainerControl()->ClientToScreen(POINT{AX, AY});
  ReleaseCapture();
  const LPARAM at = MAKELPARAM(screen.x, screen.y);
  const LRESULT hit = SendMessageW(Handle(), WM_NCHITTEST, 0, at);
  SendMessageW(Handle(), WM_NCLBUTTONDOWN, WPARAM(hit), at);
}

void TgxInplaceDropDownEdit::MouseClick(int AX, int AY) {
  if (FImmediatePopupStyle && !(FActiveList && PopupShowing()))
    DropDown();
  TgxInplaceMaskEdit::MouseClick(AX, AY);
}

void TgxInplaceDropDownEdit::SetSelected(bool AValue) {
  if (!AValue)
    SetActiveButton(-1);
  TgxInplaceMaskEdit::SetSelected(AValue);
}

TgxEditViewData* TgxInplaceDropDownEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplaceMaskEdit::CreateViewData(AFromDefinition);
  if (auto* drop = dynamic_cast<TgxDropDownEditViewData*>(data)) {
    drop->ButtonGlyph = HasButtonGlyph() ? FButtonGlyph.get() : nullptr;
    const TgxEditButtonTransparence transparence = Style().ButtonTransparence();
    drop->HideButtons =
        transparence == ebtHideAlways || (transparence == ebtHideInactive && !IsSelected());
    drop->ActiveButtonIndex = FActiveButton;
    drop->PressedButtonIndex = FPressedButton;
  }
  return data;
}

void TgxInplaceDropDownEdit::CancelMode(TControl* ASender) {
  TgxInplaceMaskEdit::CancelMode(ASender);
  if (ASender != this && ASender != FActiveList)
    CloseUp(false);
}

LRESULT TgxInplaceDropDownEdit::DialogCode() {
  LRESULT code = TgxInplaceMaskEdit::DialogCode();
  if (EditClass().IsInplace() || DroppedDown())
    code |= DLGC_WANTALLKEYS;
  return code;
}

void TgxInplaceDropDownEdit::WMNCHitTest(TMessage& AMessage) {
  TgxInplaceMaskEdit::WndProc(AMessage);
  if (ComponentState().Contains(csDesigning)) {
    SetActiveButton(-1);
    return;
  }
  RECT window;
  GetWindowRect(Handle(), &window);
  const POINT p{GET_X_LPARAM(AMessage.LParam) - window.left,
                GET_Y_LPARAM(AMessage.LParam) - window.top};
  std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
  auto* drop = dynamic_cast<TgxDropDownEditViewData*>(data.get());
  TgxEditViewInfo info;
  EditClass().CalcViewInfo(*data, false, info);
  if (!drop) {
    SetActiveButton(-1);
    return;
  }
  std::array<RECT, kgxMaxEditButtons> rects{};
  TgxDropDownEditClass::CalcButtonRects(info, *drop, rects);
  const bool capturedIdle = GetCapture() == Handle() && FPressedButton == -1;
  for (int i = drop->ButtonCount - 1; i >= 0; --i) {
    if (!PtInRect(&rects[size_t(i)], p) || capturedIdle)
      continue;
    SetActiveButton((FPressedButton == -1 || FPressedButton == i) ? i : -1);
    AMessage.Result = HTBORDER;
    return;
  }
  SetActiveButton(-1);
}

bool TgxInplaceDropDownEdit::ForwardDragToPopup(TMessage& AMessage) {
  if (!PopupShowing())
    return false;
  POINT p{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
  ::ClientToScreen(Handle(), &p);
  HWND list = FActiveList->Handle();
  ::ScreenToClient(list, &p);
  RECT client;
  GetClientRect(list, &client);
  if (!PtInRect(&client, p))
    return false;
  EndButtonPress();
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  return true;
}

void TgxInplaceDropDownEdit::RouteKey(TMessage& AMessage) {
  WORD key = WORD(AMessage.WParam);
  if (AMessage.Msg != WM_CHAR) {
    TShiftState shift = KeyboardShiftState();
    if (AMessage.LParam & (1 << 29))
      shift |= ssAlt;
    HandleDropDownKey(key, shift);
    if (key == 0) {
      AMessage.Result = 0;
      return;
    }
  }
  if (!PopupShowing()) {
    TgxInplaceMaskEdit::WndProc(AMessage);
    return;
  }
  HWND list = FActiveList->Handle();
  if (!FSearchStyle) {
    AMessage.Result = SendMessageW(list, AMessage.Msg, AMessage.WParam, AMessage.LParam);
    return;
  }
  if (AMessage.Msg == WM_CHAR ||
      (AMessage.Msg == WM_KEYDOWN && (key == VK_BACK || key == VK_DELETE))) {
    TgxInplaceMaskEdit::WndProc(AMessage);
    LocateListItem(Text());
    return;
  }
  if (AMessage.Msg == WM_KEYDOWN) {
    if (IsEditClass() && (key == VK_END || key == VK_HOME || key == VK_LEFT || key == VK_RIGHT)) {
      TgxInplaceMaskEdit::WndProc(AMessage);
      return;
    }
    if (key >= VK_PRIOR && key <= VK_DOWN)
      SendMessageW(list, AMessage.Msg, AMessage.WParam, AMessage.LParam);
    AMessage.Result = 0;
    return;
  }
  if (AMessage.Msg == WM_SYSKEYDOWN && key == VK_F4) {
    TgxInplaceMaskEdit::WndProc(AMessage);
    return;
  }
  AMessage.Result = 0;
}

void TgxInplaceDropDownEdit::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_KEYDOWN:
  case WM_CHAR:
  case WM_SYSKEYDOWN:
    if (FSendChildrenStyle) {
      RouteKey(AMessage);
      return;
    }
    break;
  case WM_NCHITTEST:
    WMNCHitTest(AMessage);
    return;
  case WM_NCLBUTTONDOWN:
    TgxInplaceMaskEdit::WndProc(AMessage);
    if (FActiveButton != -1) {
      StartButtonPress(false, FActiveButton);
      if (HandleAllocated() && GetFocus() != Handle())
        ::SetFocus(Handle());
    }
    return;
  case WM_NCLBUTTONDBLCLK:
    DefaultHandler(AMessage);
    AMessage.Result = SendMessageW(Handle(), WM_NCLBUTTONDOWN, AMessage.WParam, AMessage.LParam);
    return;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    if (FImmediatePopupStyle)
      StartButtonPress(true, 0);
    break;
  case WM_LBUTTONUP:
    if (FPressedButton != -1) {
      const int index = FActiveButton != -1 ? FPressedButton : -1;
      EndButtonPress();
      if (index != -1)
        ButtonClick(index);
    }
    break;
  case WM_MOUSEMOVE:
    if (FPressedButton != -1 || (FImmediatePopupStyle && (AMessage.WParam & MK_LBUTTON))) {
      if (ForwardDragToPopup(AMessage)) {
        AMessage.Result = 0;
        return;
      }
      if (FPressedButton != -1 && GetCapture() == Handle()) {
        // Captured, the window is not hit-tested: the pressed button stays
        // hot only while the mouse is over it.
        POINT p{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
        ::ClientToScreen(Handle(), &p);
        RECT window;
        GetWindowRect(Handle(), &window);
        const POINT at{p.x - window.left, p.y - window.top};
        std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
        if (auto* drop = dynamic_cast<TgxDropDownEditViewData*>(data.get())) {
          TgxEditViewInfo info;
          EditClass().CalcViewInfo(*data, false, info);
          std::array<RECT, kgxMaxEditButtons> rects{};
          TgxDropDownEditClass::CalcButtonRects(info, *drop, rects);
          const bool over =
              FPressedButton < drop->ButtonCount && PtInRect(&rects[size_t(FPressedButton)], at);
          SetActiveButton(over ? FPressedButton : -1);
        }
      }
    }
    break;
  case WM_MOUSEWHEEL: {
    if (fPassMouseWheelToGrid) {
      if (Parent())
        AMessage.Result = Parent()->Perform(AMessage.Msg, AMessage.WParam, AMessage.LParam);
      return;
    }
    const bool up = GET_WHEEL_DELTA_WPARAM(AMessage.WParam) > 0;
    if (DroppedDown())
      SendMessageW(FActiveList->Handle(), WM_VSCROLL, up ? SB_LINEUP : SB_LINEDOWN, 0);
    else
      StepValue(up ? -1 : 1, false);
    AMessage.Result = 0;
    return;
  }
  case WM_KILLFOCUS:
    TgxInplaceMaskEdit::WndProc(AMessage);
    CloseUp(false);
    return;
  case WM_CANCELMODE:
    EndButtonPress();
    break;
  case WM_CAPTURECHANGED:
    TgxInplaceMaskEdit::WndProc(AMessage);
    if (reinterpret_cast<HWND>(AMessage.LParam) != Handle())
      EndButtonPress();
    return;
  case WM_GX_CANCELMODE: {
    auto* sender = reinterpret_cast<TControl*>(AMessage.LParam);
    if (sender != this && sender != FActiveList)
      CloseUp(false);
    AMessage.Result = 0;
    return;
  }
  case WM_GX_DROPDOWN:
    DropDown();
    AMessage.Result = 0;
    return;
  case WM_GX_POPUPCLOSED:
    FListVisible = false;
    AMessage.Result = 0;
    return;
  default:
    break;
  }
  TgxInplaceMaskEdit::WndProc(AMessage);
}
