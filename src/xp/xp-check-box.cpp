#include "xp-check-box.h"

#include "seams.h"
#include "xp-colors.h"
#include "xp-strings.h"
#include "xp-system.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

constexpr SIZE kDefaultCheckSize{13, 13};
// The emulated look's sprites: 13-pixel rows, one per theme detail.
constexpr int kSpriteCell = 13;

} // namespace

// ===========================================================================
// TXPCheckControl

TXPCheckControl::TXPCheckControl(TComponent* AOwner)
    : TWinXPCustomButtonControl(AOwner), FCheckImage(std::make_unique<TPicture>()) {
  SetBounds(Left(), Top(), 113, 17);
  SetColor(clWindow);
  SetParentColor(true);
  FCheckImage->OnChange = [this](TPicture*) {
    if (FLookAndFeel == xlfCustom)
      Invalidate();
  };
}

TXPCheckControl::~TXPCheckControl() {
  FCheckImage->OnChange = nullptr;
}

void TXPCheckControl::SetAlignment(TAlignment AValue) {
  if (AValue == FAlignment)
    return;
  FAlignment = AValue;
  Invalidate();
}

void TXPCheckControl::SetDrawFocusRect(bool AValue) {
  if (AValue == FDrawFocusRect)
    return;
  FDrawFocusRect = AValue;
  Invalidate();
}

SIZE TXPCheckControl::GetCheckSize() {
  if (FLookAndFeel == xlfCustom) {
    if (FCheckImage->Graphic() && !FCheckImage->Graphic()->Empty())
      return SIZE{FCheckImage->Width(), FCheckImage->Width()};
    return kDefaultCheckSize;
  }
  if (GetXPThemeState() == xtsThemed) {
    const int detail = GetThemeDetail(Enabled(), FPressed, FHot);
    SIZE size{};
    HDC dc = GetDC(nullptr);
    const bool ok = ThemePartTrueSize(HandleAllocated() ? Handle() : nullptr, L"BUTTON",
                                      GetThemePart(), detail - GetFirstThemeDetail() + 1, dc, size);
    ReleaseDC(nullptr, dc);
    if (ok)
      return size;
  }
  return kDefaultCheckSize;
}

void TXPCheckControl::CreateWnd() {
  TWinXPCustomButtonControl::CreateWnd();
  const SIZE check = GetCheckSize();
  if (Height() < check.cy + 4)
    SetHeight(check.cy + 4);
  FontChanged();
}

void TXPCheckControl::FontChanged() {
  TWinXPCustomButtonControl::FontChanged();
  if (!HandleAllocated())
    return;
  TBitmap scratch(1, 1);
  scratch.Canvas().SetFont(Font());
  const std::wstring text = StripAccelChars(Caption());
  const int height = scratch.Canvas().TextHeight(text.empty() ? L"0" : text) + 2;
  if (Height() < height)
    SetHeight(height);
}

bool TXPCheckControl::DialogChar(wchar_t AChar) {
  if (!IsAccel(AChar, Caption()) || !CanFocus())
    return false;
  SetFocus();
  if (Focused())
    Toggle();
  return true;
}

void TXPCheckControl::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == CN_COMMAND) {
    if (HIWORD(AMessage.WParam) == 0 && !FSpaceDown)
      Toggle();
    AMessage.Result = 0;
    return;
  }
  TWinXPCustomButtonControl::WndProc(AMessage);
}

void TXPCheckControl::Paint() {
  HDC dc = Canvas().Handle();
  ::PaintParentBackground(this, dc);
  const int state = GetXPThemeState();
  TColor text = Font().Color();
  if (!Enabled())
    text = state == xtsClassic ? clGrayText : clXPBtnShadow;
  DrawCheckMark();
  DrawCaption(Color(), text);
}

void TXPCheckControl::DrawCheckMark() {
  TCanvas& canvas = Canvas();
  HDC dc = canvas.Handle();
  const SIZE check = GetCheckSize();
  const int detail = GetThemeDetail(Enabled(), FPressed, FHot);
  const int row = detail - GetFirstThemeDetail();
  const int width = ClientWidth(), height = ClientHeight();
  const int x = FAlignment == taRightJustify ? 0 : width - check.cx - 1;
  if (FLookAndFeel == xlfCustom && FCheckImage->Graphic() && !FCheckImage->Graphic()->Empty()) {
    const int top = (height - check.cy) / 2;
    HRGN saved = nullptr;
    ClipToRect(dc, RECT{x, top, x + check.cx, top + check.cy}, saved);
    canvas.Draw(x, top - check.cy * row, FCheckImage->Graphic());
    RestoreClipRgn(dc, saved);
    return;
  }
  switch (GetXPThemeState()) {
  case xtsEmulated: {
    const int left = FAlignment == taRightJustify ? 0 : width - kSpriteCell - 1;
    const int top = (height - kSpriteCell) / 2;
    TAlphaImage& sprite = GetSpriteImage();
    if (sprite.Handle())
      DrawSkinBitmap(RECT{left, top, left + kSpriteCell, top + kSpriteCell},
                     RECT{0, 0, kSpriteCell, kSpriteCell},
                     RECT{0, row * kSpriteCell, kSpriteCell, (row + 1) * kSpriteCell}, dc,
                     sprite.Handle(), true);
    break;
  }
  case xtsThemed: {
    RECT area = ClientRect();
    if (FAlignment == taRightJustify)
      area.right = area.left + check.cx;
    else
      area.left = area.right - check.cx;
    DrawThemePart(Handle(), L"BUTTON", GetThemePart(), row + 1, dc, area);
    break;
  }
  default: {
    SIZE size{};
    GetXPCheckSize(size);
    const int left = FAlignment == taRightJustify ? 0 : width - size.cx - 1;
    const int top = (height - size.cy) / 2;
    RECT area{left, top, left + size.cx, top + size.cy};
    DrawFrameControl(dc, &area, DFC_BUTTON, GetFrameControlFlags());
    break;
  }
  }
}

void TXPCheckControl::DrawCaption(TColor /*ABackground*/, TColor ATextColor) {
  TCanvas& canvas = Canvas();
  TXPDrawCaptionFlags flags = 0;
  if (FWordWrap)
    flags |= dcfMultiline;
  if (SmoothDraw())
    flags |= dcfSmoothText;
  const SIZE check = GetCheckSize();
  const RECT client = ClientRect();
  const TXPButtonPlacement placement = CalcXPButtonLayout(
      canvas, client, Font(), Caption(), POINT{check.cx, check.cy},
      FAlignment == taRightJustify ? TButtonLayout::blGlyphLeft : TButtonLayout::blGlyphRight, 0, 3,
      flags);
  RECT text = placement.TextBounds;
  if (FAlignment == taLeftJustify)
    OffsetRect(&text, -text.left, 0);
  RECT inner = client;
  InflateRect(&inner, -1, -1);
  IntersectRect(&text, &text, &inner);
  if (Focused() && FDrawFocusRect)
    flags |= dcfFocusRect;
  DrawXPCaption(canvas, text, Caption(), Font(), ATextColor, taLeftJustify, tlCenter, flags, epNone,
                100);
}

// ===========================================================================
// TXPCheckBox

TXPCheckBox::TXPCheckBox(TComponent* AOwner) : TXPCheckControl(AOwner) {}

void TXPCheckBox::SetState(TCheckBoxState AValue) {
  if (AValue == FState)
    return;
  FState = AValue;
  if (!FMouseDown && !FSpaceDown && !ComponentState().Contains(csLoading)) {
    FDisableToggle = true;
    try {
      Click();
    } catch (...) {
      FDisableToggle = false;
      Invalidate();
      throw;
    }
    FDisableToggle = false;
  }
  Invalidate();
}

void TXPCheckBox::Click() {
  if (FInClick)
    return;
  FInClick = true;
  try {
    if (!FDisableToggle)
      Toggle();
    TXPCheckControl::Click();
  } catch (...) {
    FInClick = false;
    throw;
  }
  FInClick = false;
}

void TXPCheckBox::Toggle() {
  switch (FState) {
  case cbUnchecked:
    SetState(FAllowGrayed ? cbGrayed : cbChecked);
    break;
  case cbChecked:
    SetState(cbUnchecked);
    break;
  case cbGrayed:
    SetState(cbChecked);
    break;
  }
}

int TXPCheckBox::GetThemeDetail(bool AEnabled, bool APressed, bool AHot) {
  const int b = !AEnabled ? 3 : APressed ? 2 : AHot ? 1 : 0;
  const int mark = FState == cbChecked ? 4 : FState == cbGrayed ? 8 : 0;
  return tbCheckBoxUncheckedNormal + b + mark;
}

UINT TXPCheckBox::GetFrameControlFlags() {
  UINT flags = DFCS_BUTTONCHECK | DFCS_ADJUSTRECT;
  if (FState != cbUnchecked)
    flags |= DFCS_CHECKED;
  if (FPressed)
    flags |= DFCS_PUSHED;
  if (!Enabled() || FState == cbGrayed)
    flags |= DFCS_INACTIVE;
  return flags;
}

// ===========================================================================
// TXPRadioButton

TXPRadioButton::TXPRadioButton(TComponent* AOwner) : TXPCheckControl(AOwner) {
  SetTabStop(false);
}

void TXPRadioButton::UncheckSiblings() {
  TWinControl* parent = Parent();
  if (!parent)
    return;
  std::vector<TXPRadioButton*> siblings;
  for (int i = 0; i < parent->ControlCount(); ++i)
    if (auto* radio = dynamic_cast<TXPRadioButton*>(parent->Controls(i)))
      if (radio != this && radio->FGroupIndex == FGroupIndex)
        siblings.push_back(radio);
  for (TXPRadioButton* radio : siblings)
    radio->SetChecked(false);
}

void TXPRadioButton::SetChecked(bool AValue) {
  if (AValue == FChecked)
    return;
  FChecked = AValue;
  SetTabStop(AValue);
  Invalidate();
  if (AValue && !ComponentState().Contains(csLoading)) {
    UncheckSiblings();
    TControl::Click();
  }
}

void TXPRadioButton::SetGroupIndex(int AValue) {
  if (AValue == FGroupIndex)
    return;
  FGroupIndex = AValue;
  if (!ComponentState().Contains(csLoading) && FChecked) {
    FChecked = false;
    SetTabStop(false);
    Invalidate();
  }
}

void TXPRadioButton::Loaded() {
  TXPCheckControl::Loaded();
  if (FChecked)
    UncheckSiblings();
}

void TXPRadioButton::DoClick() {
  if (!FChecked)
    TControl::Click();
}

void TXPRadioButton::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCheckControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton == mbLeft)
    Toggle();
}

void TXPRadioButton::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_SETFOCUS) {
    TXPCheckControl::WndProc(AMessage);
    if (!FSpaceDown)
      Toggle();
    return;
  }
  TXPCheckControl::WndProc(AMessage);
}

int TXPRadioButton::GetThemeDetail(bool AEnabled, bool APressed, bool AHot) {
  const int b = !AEnabled ? 3 : APressed ? 2 : AHot ? 1 : 0;
  return tbRadioButtonUncheckedNormal + b + (FChecked ? 4 : 0);
}

UINT TXPRadioButton::GetFrameControlFlags() {
  UINT flags = DFCS_BUTTONRADIO | DFCS_ADJUSTRECT;
  if (FChecked)
    flags |= DFCS_CHECKED;
  if (FPressed)
    flags |= DFCS_PUSHED;
  if (!Enabled())
    flags |= DFCS_INACTIVE;
  return flags;
}
