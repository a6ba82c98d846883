#include "labels.h"

#include <cwctype>

bool IsAccel(wchar_t AChar, const std::wstring& AText) {
  for (size_t i = 0; i + 1 < AText.size(); ++i) {
    if (AText[i] != L'&')
      continue;
    ++i;
    if (AText[i] != L'&')
      return std::towupper(AText[i]) == std::towupper(AChar);
  }
  return false;
}

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle |= csOpaque | csReplicatable;
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

UINT TCustomLabel::TextFlags() const {
  static constexpr UINT kAlignment[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  UINT flags = DT_EXPANDTABS | kAlignment[FAlignment];
  if (FWordWrap)
    flags |= DT_WORDBREAK;
  if (!FShowAccelChar)
    flags |= DT_NOPREFIX;
  return flags;
}

void TCustomLabel::AdjustBounds() {
  if (!FAutoSize || ComponentState().Contains(csLoading))
    return;
  // Measured on a scratch bitmap's context, so no window is needed.
  TBitmap scratch(1, 1);
  TCanvas& canvas = scratch.Canvas();
  canvas.SetFont(Font());
  RECT rect{0, 0, FWordWrap ? Width() : 0, 0};
  // An empty caption still measures one line.
  canvas.TextRect(rect, Caption().empty() ? std::wstring(L" ") : Caption(),
                  TextFlags() | DT_CALCRECT);
  int left = Left();
  const int width = FWordWrap ? Width() : int(rect.right);
  if (!FWordWrap && FAlignment == taRightJustify)
    left += Width() - width;
  else if (!FWordWrap && FAlignment == taCenter)
    left += (Width() - width) / 2;
  SetBounds(left, Top(), width, int(rect.bottom));
}

void TCustomLabel::Paint() {
  TCanvas& canvas = Canvas();
  RECT rect = ClientRect();
  if (!FTransparent) {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(rect);
  }
  canvas.Brush().SetStyle(TBrushStyle::Clear);
  canvas.SetFont(Font());
  if (!Enabled()) {
    canvas.Font().SetColor(clGrayText);
  }
  canvas.TextRect(rect, Caption(), TextFlags());
}

void TCustomLabel::TextChanged() {
  AdjustBounds();
  TGraphicControl::TextChanged();
}

void TCustomLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

bool TCustomLabel::DialogChar(wchar_t AChar) {
  if (!FShowAccelChar || !FFocusControl || !IsAccel(AChar, Caption()) || !FFocusControl->CanFocus())
    return false;
  FFocusControl->SetFocus();
  return true;
}

void TCustomLabel::SetAlignment(TAlignment AValue) {
  if (AValue == FAlignment)
    return;
  FAlignment = AValue;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool AValue) {
  if (AValue == FAutoSize)
    return;
  FAutoSize = AValue;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool AValue) {
  if (AValue == FWordWrap)
    return;
  FWordWrap = AValue;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  if (AValue)
    FControlStyle &= ~uint32_t(csOpaque);
  else
    FControlStyle |= csOpaque;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool AValue) {
  if (AValue == FShowAccelChar)
    return;
  FShowAccelChar = AValue;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* AValue) {
  if (AValue == FFocusControl)
    return;
  if (FFocusControl)
    RemoveFreeNotification(FFocusControl);
  FFocusControl = AValue;
  if (AValue)
    FreeNotification(AValue);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation AOperation) {
  TGraphicControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FFocusControl)
    FFocusControl = nullptr;
}
