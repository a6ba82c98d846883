#include "gx-popup-toolbar.h"

#include "gx-graphic-edit.h"
#include "gx-resources.h"
#include "gx-utils.h"

#include "application.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

constexpr const wchar_t* kGlyphNames[kgxPopupToolBarButtonCount - 1] = {
    L"GXTOOL_CUT",    L"GXTOOL_COPY", L"GXTOOL_PASTE",
    L"GXTOOL_DELETE", L"GXTOOL_LOAD", L"GXTOOL_SAVE"};
// The tool window's caption.
constexpr wchar_t kToolboxCaption[] = L"Toolbox";
constexpr int kButtonHeight = 22;

const std::wstring& EmptyText() {
  static const std::wstring empty;
  return empty;
}

} // namespace

const std::wstring& PopupToolBarCaption(TgxPopupToolBarButton AButton) {
  return AButton < ptbCustom ? GetToolMenuCaption(TgxEditorTool(AButton)) : EmptyText();
}

const std::wstring& PopupToolBarHint(TgxPopupToolBarButton AButton) {
  return AButton < ptbCustom ? GetToolHint(TgxEditorTool(AButton)) : EmptyText();
}

// ===========================================================================
// TgxToolButton

TgxToolButton::TgxToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle |= csClickEvents;
  SetBounds(0, 0, kButtonHeight + 1, kButtonHeight);
}

void TgxToolButton::SetGlyph(const TBitmap* AValue) {
  FGlyph.Assign(AValue);
  Invalidate();
}

void TgxToolButton::MouseEnter(intptr_t AMarker) {
  FHot = true;
  TGraphicControl::MouseEnter(AMarker);
  Invalidate();
}

void TgxToolButton::MouseLeave(intptr_t AMarker) {
  FHot = false;
  TGraphicControl::MouseLeave(AMarker);
  Invalidate();
}

void TgxToolButton::EnabledChanged() {
  FDown = false;
  TGraphicControl::EnabledChanged();
}

void TgxToolButton::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton == mbLeft && Enabled()) {
    FDown = true;
    Invalidate();
  }
}

void TgxToolButton::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton == mbLeft && FDown) {
    FDown = false;
    Invalidate();
  }
  TGraphicControl::MouseUp(AButton, AShift, AX, AY);
}

void TgxToolButton::Paint() {
  TCanvas& canvas = Canvas();
  HDC dc = canvas.Handle();
  RECT rect{0, 0, Width(), Height()};
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(rect);
  if (Enabled() && (FDown || FHot))
    DrawEdge(dc, &rect, FDown ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  const int shift = FDown ? 1 : 0;
  int x = Caption().empty() ? (Width() - 16) / 2 : 4;
  const int y = (Height() - 16) / 2;
  if (!FGlyph.Empty()) {
    const UINT transparent = ColorToColorRef(ColorToRGB(FGlyph.TransparentColor()));
    if (Enabled())
      TransparentBlt(dc, x + shift, y + shift, 16, 16, FGlyph.Canvas().Handle(), 0, 0,
                     std::min(16, FGlyph.Width()), std::min(16, FGlyph.Height()), transparent);
    else
      DitherRect(dc, RECT{x, y, x + 16, y + 16}, clBtnShadow);
  }
  if (!Caption().empty()) {
    x += 16 + 4;
    RECT text{x + shift, shift, Width() + shift, Height() + shift};
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, Caption().c_str(), int(Caption().size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    SelectObject(dc, old);
  }
}

// ===========================================================================
// TgxPopupToolBar

TgxPopupToolBar::TgxPopupToolBar(TComponent* AOwner) : TForm(AOwner) {
  TBitmap glyph;
  for (int i = 0; i < kgxPopupToolBarButtonCount; ++i) {
    const auto button = TgxPopupToolBarButton(i);
    if (button == ptbCustom) {
      // The custom button has no picture of its own: a blank button face.
      glyph.SetSize(16, 16);
      glyph.Canvas().Brush().SetColor(clBtnFace);
      glyph.Canvas().FillRect(RECT{0, 0, 16, 16});
    } else {
      glyph.LoadFromResourceName(ModuleInstance(), kGlyphNames[i]);
    }
    auto* item = new TgxToolButton(this);
    item->SetCaption(PopupToolBarCaption(button));
    item->SetHint(PopupToolBarHint(button));
    item->SetGlyph(&glyph);
    item->SetParent(this);
    item->OnClick = [this](TControl* ASender) { ButtonClicked(ASender); };
    FButtons[size_t(i)] = item;
  }
  FToolBarButtons = kgxStandardToolBarButtons;
  FShowCaptions = true;
  FToolBarAlignment = ptaRight;
  SetBorderStyle(bsToolWindow);
  SetCaption(kToolboxCaption);
  SetFormStyle(fsStayOnTop);
  SetShowHint(true);
  FClipboardFormat = CF_PICTURE();
}

TgxPopupToolBar::~TgxPopupToolBar() {
  if (FEditPopupMenu) {
    TComponent::Free(FEditPopupMenu);
    FEditPopupMenu = nullptr;
  }
  // The chain is left while the object is still this class.
  DestroyHandle();
}

void TgxPopupToolBar::CreateParams(TCreateParams& AParams) {
  TForm::CreateParams(AParams);
  // The system menu only: no minimize or maximize boxes.
  AParams.Style &= ~DWORD(WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  AParams.Style |= WS_SYSMENU;
  AParams.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

void TgxPopupToolBar::CreateWnd() {
  TForm::CreateWnd();
  FNextWindow = SetClipboardViewer(Handle());
  FChained = true;
  if (HMENU menu = GetSystemMenu(Handle(), FALSE)) {
    for (UINT command : {SC_MAXIMIZE, SC_MINIMIZE, SC_SIZE, SC_RESTORE})
      DeleteMenu(menu, command, MF_BYCOMMAND);
  }
}

void TgxPopupToolBar::LeaveChain() {
  if (!FChained)
    return;
  FChained = false;
  if (HandleAllocated())
    ChangeClipboardChain(Handle(), FNextWindow);
  FNextWindow = nullptr;
}

void TgxPopupToolBar::DestroyWnd() {
  LeaveChain();
  TForm::DestroyWnd();
}

void TgxPopupToolBar::ButtonClicked(TControl* ASender) {
  if (!OnButtonClick)
    return;
  for (int i = 0; i < kgxPopupToolBarButtonCount; ++i)
    if (FButtons[size_t(i)] == ASender) {
      OnButtonClick(this, TgxPopupToolBarButton(i));
      return;
    }
}

void TgxPopupToolBar::SetToolBarAlignment(TgxPopupToolBarAlignment AValue) {
  if (AValue == FToolBarAlignment)
    return;
  FToolBarAlignment = AValue;
  RefreshButtons();
}

void TgxPopupToolBar::SetToolBarButtons(TgxPopupToolBarButtons AValue) {
  if (AValue == FToolBarButtons)
    return;
  FToolBarButtons = AValue;
  RefreshButtons();
}

void TgxPopupToolBar::SetCustomButtonCaption(const std::wstring& AValue) {
  FCustomCaption = AValue;
  FButtons[ptbCustom]->SetCaption(AValue);
  RefreshButtons();
}

void TgxPopupToolBar::RefreshButtons() {
  const bool column = FToolBarAlignment == ptaLeft || FToolBarAlignment == ptaRight;
  const bool captions = FShowCaptions && column;
  TCanvas measure;
  HDC dc = CreateCompatibleDC(nullptr);
  measure.SetHandle(dc);
  measure.SetFont(Font());
  int height = kButtonHeight;
  if (captions)
    height = std::max(kButtonHeight, measure.TextHeight(L"Wg") + 9);
  int width = height + 1;
  int widest = 0, count = 0;
  for (int i = 0; i < kgxPopupToolBarButtonCount; ++i) {
    if (!(FToolBarButtons & (1u << i)))
      continue;
    TgxToolButton* button = FButtons[size_t(i)];
    if (!captions)
      button->SetCaption(L"");
    else
      button->SetCaption(i == ptbCustom ? FCustomCaption
                                        : PopupToolBarCaption(TgxPopupToolBarButton(i)));
    widest = std::max(widest, measure.TextWidth(button->Caption()));
    ++count;
  }
  measure.SetHandle(nullptr);
  DeleteDC(dc);
  int clientWidth, clientHeight;
  if (column) {
    if (widest != 0)
      width += widest;
    clientWidth = width;
    clientHeight = count * height;
  } else {
    clientWidth = width * count;
    clientHeight = height;
  }
  // The window's frame around the client size, as the window has it.
  HWND window = Handle();
  RECT outer{}, inner{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &inner);
  SetBounds(Left(), Top(), clientWidth + (outer.right - outer.left) - inner.right,
            clientHeight + (outer.bottom - outer.top) - inner.bottom);
  int x = 0, y = 0;
  for (int i = 0; i < kgxPopupToolBarButtonCount; ++i) {
    TgxToolButton* button = FButtons[size_t(i)];
    if (!(FToolBarButtons & (1u << i))) {
      button->SetVisible(false);
      continue;
    }
    button->SetBounds(x, y, width, height);
    button->SetVisible(true);
    if (column)
      y += height;
    else
      x += width;
  }
  UpdateButtons();
}

bool TgxPopupToolBar::ClipboardHasFormat(UINT AFormat) {
  if (IsClipboardFormatAvailable(AFormat))
    return true;
  if (AFormat != CF_PICTURE())
    return false;
  for (UINT format :
       {UINT(CF_BITMAP), UINT(CF_DIB), UINT(CF_DIBV5), UINT(CF_METAFILEPICT), UINT(CF_ENHMETAFILE)})
    if (IsClipboardFormatAvailable(format) && TPicture::SupportsClipboardFormat(format))
      return true;
  return false;
}

void TgxPopupToolBar::UpdateButtons() {
  const bool paste = !FIsReadOnly && ClipboardHasFormat(FClipboardFormat);
  const bool states[ptbCustom] = {!FIsEmpty && !FIsReadOnly, !FIsEmpty,    paste,
                                  !FIsEmpty && !FIsReadOnly, !FIsReadOnly, !FIsEmpty};
  for (int i = 0; i < ptbCustom; ++i)
    FButtons[size_t(i)]->SetEnabled(states[i]);
  if (FIsPopupMenu && FEditPopupMenu) {
    static constexpr int kItems[ptbCustom] = {0, 1, 2, 3, 5, 6};
    TMenuItem* items = FEditPopupMenu->Items();
    for (int i = 0; i < ptbCustom; ++i)
      if (kItems[i] < items->Count())
        items->Items(kItems[i])->SetEnabled(states[i]);
  }
}

void TgxPopupToolBar::CalcPosition(POINT AP) {
  RECT work{};
  GetWorkAreaFromPoint(AP, work);
  const auto* editor = dynamic_cast<const TControl*>(Owner());
  const int editorWidth = editor ? editor->Width() : 0;
  const int editorHeight = editor ? editor->Height() : 0;
  int x = AP.x, y = AP.y;
  switch (FToolBarAlignment) {
  case ptaLeft:
    x = AP.x - Width();
    if (x < work.left)
      x = AP.x + editorWidth;
    break;
  case ptaRight:
    x = AP.x + editorWidth;
    if (x + Width() > work.right)
      x = AP.x - Width();
    break;
  case ptaTop:
    y = AP.y - Height();
    if (y < work.top)
      y = AP.y + editorHeight;
    break;
  case ptaBottom:
    y = AP.y + editorHeight;
    if (AP.y > work.bottom)
      y = AP.y - Height();
    break;
  }
  if (x + Width() > work.right)
    x = work.right - Width();
  if (x < work.left)
    x = work.left;
  if (y + Height() > work.bottom)
    y = work.bottom - Height();
  if (y < work.top)
    y = work.top;
  SetBounds(x, y, Width(), Height());
}

void TgxPopupToolBar::Show() {
  if (!FCanShow || FFlagHide)
    return;
  HWND window = Handle();
  SendMessageW(window, WM_NCACTIVATE, 1, 0);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TgxPopupToolBar::Hide() {
  if (HandleAllocated())
    ShowWindow(Handle(), SW_HIDE);
}

bool TgxPopupToolBar::Visible() {
  return HandleAllocated() && IsWindowVisible(Handle());
}

void TgxPopupToolBar::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_DRAWCLIPBOARD:
    UpdateButtons();
    if (FNextWindow)
      SendMessageW(FNextWindow, AMessage.Msg, AMessage.WParam, AMessage.LParam);
    break;
  case WM_CHANGECBCHAIN:
    if (reinterpret_cast<HWND>(AMessage.WParam) == FNextWindow)
      FNextWindow = reinterpret_cast<HWND>(AMessage.LParam);
    else if (FNextWindow)
      SendMessageW(FNextWindow, AMessage.Msg, AMessage.WParam, AMessage.LParam);
    break;
  case WM_NCDESTROY:
    LeaveChain();
    break;
  case WM_MOUSEACTIVATE:
    TForm::WndProc(AMessage);
    // A click on a button leaves the activation with the editor's form.
    AMessage.Result = MA_NOACTIVATE;
    return;
  case WM_ACTIVATE:
    if (LOWORD(AMessage.WParam) != WA_INACTIVE) {
      if (auto* editor = dynamic_cast<TControl*>(Owner()))
        if (TCustomForm* form = GetParentForm(editor))
          if (form->HandleAllocated())
            SendMessageW(form->Handle(), WM_NCACTIVATE, 1, 0);
    }
    TForm::WndProc(AMessage);
    UpdateButtons();
    return;
  case WM_KILLFOCUS: {
    TForm::WndProc(AMessage);
    auto* editor = dynamic_cast<TWinControl*>(Owner());
    const HWND focused = reinterpret_cast<HWND>(AMessage.WParam);
    if (!editor || !editor->HandleAllocated() || focused != editor->Handle())
      Hide();
    return;
  }
  case WM_CLOSE:
    // The close box: hidden until the editor's next showing.
    FFlagHide = true;
    Hide();
    AMessage.Result = 0;
    return;
  default:
    break;
  }
  TForm::WndProc(AMessage);
}

// ===========================================================================
// TgxPopupToolBarWindow

TgxPopupToolBarWindow::TgxPopupToolBarWindow(TgxInplaceGraphicEdit* AGraphicEdit)
    : FGraphicEdit(AGraphicEdit) {}

TgxPopupToolBarWindow::~TgxPopupToolBarWindow() = default;

void TgxPopupToolBarWindow::Assign(const TPersistent* ASource) {
  const auto* source = dynamic_cast<const TgxPopupToolBarWindow*>(ASource);
  if (!source) {
    TPersistent::Assign(ASource);
    return;
  }
  FAlignment = source->FAlignment;
  FButtons = source->FButtons;
  FCustomButtonCaption = source->FCustomButtonCaption;
  SetCustomButtonGlyph(source->FCustomButtonGlyph.get());
  SetIsPopupMenu(source->FIsPopupMenu);
  FShowCaptions = source->FShowCaptions;
  FVisible = source->FVisible;
}

TBitmap* TgxPopupToolBarWindow::CustomButtonGlyph() {
  if (!FCustomButtonGlyph)
    FCustomButtonGlyph = std::make_unique<TBitmap>();
  return FCustomButtonGlyph.get();
}

void TgxPopupToolBarWindow::SetCustomButtonGlyph(const TBitmap* AValue) {
  if (!AValue) {
    FCustomButtonGlyph.reset();
    return;
  }
  CustomButtonGlyph()->Assign(AValue);
}

void TgxPopupToolBarWindow::SetIsPopupMenu(bool AValue) {
  FIsPopupMenu = AValue;
  if (FGraphicEdit && FGraphicEdit->PopupToolBar())
    FGraphicEdit->PopupToolBar()->SetIsPopupMenu(AValue);
}
