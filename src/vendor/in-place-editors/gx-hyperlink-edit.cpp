#include "gx-hyperlink-edit.h"

#include "gx-resources.h"
#include "gx-utils.h"

#include "forms.h"
#include "seams.h"

#include <richedit.h>
#include <windowsx.h>

#include <memory>

// ===========================================================================
// TgxInplaceHyperLinkEditClass

const TgxInplaceHyperLinkEditClass& TgxInplaceHyperLinkEditClass::Instance() {
  static const TgxInplaceHyperLinkEditClass instance;
  return instance;
}

TCursor TgxInplaceHyperLinkEditClass::GetEditCursor(int AX, int AY,
                                                    TgxEditViewData& AViewData) const {
  auto* data = dynamic_cast<TgxHyperLinkEditViewData*>(&AViewData);
  if (data && data->IsLink)
    return TCursor(kgxHandPointCursor);
  return TgxInplaceTextEditClass::GetEditCursor(AX, AY, AViewData);
}

// ===========================================================================
// TgxInplaceHyperLinkEdit

TgxInplaceHyperLinkEdit::TgxInplaceHyperLinkEdit(TComponent* AOwner) : TgxInplaceTextEdit(AOwner) {
  SetAutoSelect(false);
  FLinkColor = clBlue;
  FStartKey = kgxDefaultStartKey;
}

TgxInplaceHyperLinkEdit::~TgxInplaceHyperLinkEdit() {
  delete FLinkFont;
  FLinkFont = nullptr;
}

TFont& TgxInplaceHyperLinkEdit::LinkFont() {
  if (!FLinkFont) {
    FLinkFont = new TFont;
    UpdateLinkFont();
  }
  return *FLinkFont;
}

void TgxInplaceHyperLinkEdit::UpdateLinkFont() {
  if (!FLinkFont)
    return;
  FLinkFont->Assign(&Font());
  FLinkFont->SetStyle(TFontStyles(FLinkFont->Style() | fsUnderline));
  FLinkFont->SetColor(FLinkColor);
}

void TgxInplaceHyperLinkEdit::FontChanged() {
  TgxInplaceTextEdit::FontChanged();
  UpdateLinkFont();
}

void TgxInplaceHyperLinkEdit::SetLinkColor(TColor AValue) {
  if (AValue == FLinkColor)
    return;
  FLinkColor = AValue;
  FontChanged();
  if (HandleAllocated())
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TgxInplaceHyperLinkEdit::ApplyLinkCharFormat() {
  if (!HandleAllocated())
    return;
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR | CFM_LINK;
  format.dwEffects = 0;
  format.crTextColor = (FLinkColor == clWindowText || FLinkColor == clDefault)
                           ? RGB(0, 0, 0)
                           : ColorToColorRef(ColorToRGB(FLinkColor));
  SendMessageW(Handle(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

TgxEditViewData* TgxInplaceHyperLinkEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplaceTextEdit::CreateViewData(AFromDefinition);
  if (auto* link = dynamic_cast<TgxHyperLinkEditViewData*>(data)) {
    link->IsLink = !ComponentState().Contains(csDesigning) &&
                   (FSingleClick || EditClass().IsInplace() || !CanModify());
  }
  TFont& font = LinkFont();
  data->TextColor = ColorToColorRef(ColorToRGB(font.Color()));
  data->Font = font.Handle();
  return data;
}

void TgxInplaceHyperLinkEdit::DoStart() {
  if (OnStartClick) {
    OnStartClick(this);
    return;
  }
  const std::wstring text = Text();
  if (text.find_first_not_of(L" \t\r\n") == std::wstring::npos)
    return;
  HWND owner = nullptr;
  if (TCustomForm* form = GetParentForm(this))
    owner = form->HandleAllocated() ? form->Handle() : nullptr;
  ShellExecuteFile(owner, L"OPEN", text, std::wstring(), std::wstring(), SW_SHOWMAXIMIZED);
}

void TgxInplaceHyperLinkEdit::SelectAll() {
  if (!EditClass().IsInplace())
    TgxInplaceTextEdit::SelectAll();
}

void TgxInplaceHyperLinkEdit::MouseClick(int /*AX*/, int /*AY*/) {
  if (!FSingleClick)
    return;
  if (HandleAllocated())
    UpdateWindow(Handle());
  DoStart();
}

void TgxInplaceHyperLinkEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  TShortCut shortCut = AKey;
  if (AShift & ssShift)
    shortCut |= scShift;
  if (AShift & ssCtrl)
    shortCut |= scCtrl;
  if (AShift & ssAlt)
    shortCut |= scAlt;
  if (AKey != 0 && shortCut == FStartKey) {
    if (HandleAllocated())
      KillMessage(Handle(), WM_CHAR);
    DoStart();
    AKey = 0;
    return;
  }
  TgxInplaceTextEdit::KeyDown(AKey, AShift);
}

void TgxInplaceHyperLinkEdit::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TgxInplaceTextEdit::MouseUp(AButton, AShift, AX, AY);
  if (AButton != mbLeft)
    return;
  const RECT client = ClientRect();
  if (!PtInRect(&client, POINT{AX, AY}))
    return;
  if (FSingleClick || EditClass().IsInplace() || !CanModify())
    DoStart();
}

void TgxInplaceHyperLinkEdit::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_LBUTTONDBLCLK:
    if (FSingleClick || !CanModify())
      break;
    AMessage.Result = 0;
    DoStart();
    return;
  case WM_SETFONT:
    TgxInplaceTextEdit::WndProc(AMessage);
    ApplyLinkCharFormat();
    return;
  default:
    break;
  }
  TgxInplaceTextEdit::WndProc(AMessage);
}
