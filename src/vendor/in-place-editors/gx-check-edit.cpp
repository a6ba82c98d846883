#include "gx-check-edit.h"

#include "gx-resources.h"
#include "gx-utils.h"

#include "labels.h"
#include "rtl-exceptions.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

namespace {

// The system check size; a module that has not started its editor unit
// still lays out boxes of the classic 13 pixels.
void SystemCheckSize(int& AWidth, int& AHeight) {
  AWidth = GetSystemCheckWidth();
  AHeight = GetSystemCheckHeight();
  if (AWidth <= 0 || AHeight <= 0) {
    AWidth = 13;
    AHeight = 13;
  }
}

bool SameTextNoCase(const std::wstring& A, const wchar_t* B) {
  size_t i = 0;
  for (; i < A.size() && B[i]; ++i)
    if (std::towupper(A[i]) != std::towupper(B[i]))
      return false;
  return i == A.size() && B[i] == 0;
}

// The clip region of a DC kept for the scope: restored as it was, or
// removed when there was none.
class TClipScope {
public:
  explicit TClipScope(HDC ADC) : FDC(ADC), FSaved(CreateRectRgn(0, 0, 0, 0)) {
    FHad = FSaved && GetClipRgn(FDC, FSaved) == 1;
  }
  TClipScope(const TClipScope&) = delete;
  TClipScope& operator=(const TClipScope&) = delete;
  ~TClipScope() { Restore(); }
  void Restore() {
    if (FRestored)
      return;
    FRestored = true;
    SelectClipRgn(FDC, FHad ? FSaved : nullptr);
    if (FSaved)
      DeleteObject(FSaved);
  }

private:
  HDC FDC;
  HRGN FSaved;
  bool FHad = false;
  bool FRestored = false;
};

// The DrawFrameControl state bits of a check box.
UINT FrameStateOf(int AState, bool AEnabled, bool APressed, TgxShowNullFieldStyle ANullStyle) {
  if (!AEnabled)
    // Disabled boxes show only whether a value is set.
    return AState != cbsUnchecked ? DFCS_BUTTON3STATE | DFCS_PUSHED | DFCS_CHECKED
                                  : DFCS_BUTTON3STATE | DFCS_PUSHED | DFCS_INACTIVE;
  UINT flags = 0;
  if (AState == cbsChecked) {
    flags = DFCS_CHECKED;
  } else if (AState == cbsGrayed) {
    static constexpr UINT kByNullStyle[] = {0, DFCS_INACTIVE, DFCS_CHECKED};
    flags = DFCS_BUTTON3STATE | kByNullStyle[ANullStyle];
  }
  if (APressed)
    flags |= DFCS_PUSHED;
  return flags;
}

// The picture of the strip for the state: pressed pictures follow the
// three plain ones and fold back onto them when the strip has none.
int GlyphIndexOf(int AState, bool APressed, int AGlyphCount) {
  int index = AState + (APressed ? 3 : 0);
  while (index >= AGlyphCount && index > 2)
    index %= 3;
  // A strip shorter than the plain pictures shows its last one rather
  // than a picture past its end.
  if (index >= AGlyphCount)
    index = AGlyphCount - 1;
  return index;
}

void DrawGlyphPicture(HDC ADC, const RECT& ABox, TBitmap& AStrip, int AIndex, int AWidth,
                      HBRUSH ABrush) {
  TBitmap picture(AWidth, AStrip.Height(), TPixelFormat::pf32bit);
  BitBlt(picture.Canvas().Handle(), 0, 0, AWidth, AStrip.Height(), AStrip.Canvas().Handle(),
         AIndex * AWidth, 0, SRCCOPY);
  picture.SetTransparentColor(AStrip.TransparentColor());
  DrawBitmapOnBrush(ADC, ABrush, ABox, picture);
}

void DrawSystemBox(HDC ADC, const RECT& ABox, UINT AState, TgxEditButtonViewStyle AButtonStyle) {
  if (AButtonStyle != bts3D)
    AState |= DFCS_FLAT;
  RECT box = ABox;
  switch (AButtonStyle) {
  case btsFlat: {
    TClipScope clip(ADC);
    IntersectClipRect(ADC, box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
    DrawFrameControl(ADC, &box, DFC_BUTTON, DFCS_BUTTONCHECK | AState);
    clip.Restore();
    DrawEdge(ADC, &box, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    DrawEdge(ADC, &box, BDR_SUNKENINNER, BF_RECT | BF_FLAT);
    break;
  }
  case btsSimple: {
    TClipScope clip(ADC);
    IntersectClipRect(ADC, box.left, box.top, box.right, box.bottom);
    RECT grown = box;
    InflateRect(&grown, 1, 1);
    DrawFrameControl(ADC, &grown, DFC_BUTTON, DFCS_BUTTONCHECK | AState);
    clip.Restore();
    FrameRect(ADC, &box, GetSysColorBrush(COLOR_BTNSHADOW));
    break;
  }
  default:
    DrawFrameControl(ADC, &box, DFC_BUTTON, DFCS_BUTTONCHECK | AState);
    break;
  }
}

uint16_t CaptionFlagsOf(const TgxCheckEditViewData& AData) {
  // The draw alignment lays the caption out; the box's side is not the
  // text's alignment.
  uint16_t flags = uint16_t(TextFlagsOf(taLeftJustify, AData.DrawAlignment) | gxdtPrefix);
  if (AData.Focused)
    flags |= gxdtFocusRect;
  if (AData.ExactFocusRect)
    flags |= gxdtFocusTextOnly;
  if (AData.Transparent)
    flags |= gxdtNoFill;
  return flags;
}

} // namespace

// ===========================================================================
// TgxCheckEditStyleController

TgxCheckEditStyleController::TgxCheckEditStyleController(TComponent* AOwner)
    : TgxEditStyleController(AOwner) {
  SetBorderStyle(xbsNone);
  SetButtonStyle(bts3D);
}

void TgxCheckEditStyleController::RestoreDefaults() {
  BeginUpdate();
  try {
    TgxEditStyleController::RestoreDefaults();
    SetBorderStyle(xbsNone);
    SetButtonStyle(bts3D);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ===========================================================================
// TgxCheckEditStyle

TgxCheckEditStyle::TgxCheckEditStyle(TgxInplaceEdit* AEdit) : TgxEditStyle(AEdit) {
  // The base linked the editor to the edit default; a check editor follows
  // the check default instead.
  UnlinkDefault();
  FLinkedCheckDefault = GetDefaultCheckEditStyleController();
  if (FLinkedCheckDefault && AEdit)
    FLinkedCheckDefault->AddLink(AEdit);
}

TgxCheckEditStyle::~TgxCheckEditStyle() {
  // The default may have gone with its unit already.
  if (FLinkedCheckDefault && FLinkedCheckDefault == GetDefaultCheckEditStyleController() && Edit())
    FLinkedCheckDefault->RemoveLink(Edit());
  FLinkedCheckDefault = nullptr;
}

TgxEditStyleController* TgxCheckEditStyle::DefaultController() const {
  return GetDefaultCheckEditStyleController();
}

// ===========================================================================
// TgxCheckEditClass

const TgxCheckEditClass& TgxCheckEditClass::Instance() {
  static const TgxCheckEditClass instance;
  return instance;
}

TgxEditStyle* TgxCheckEditClass::CreateEditStyle(TgxInplaceEdit* AEdit) const {
  return new TgxCheckEditStyle(AEdit);
}

bool TgxCheckEditClass::CalcCheckSize(TBitmap* AGlyph, int AGlyphCount, int& ACheckWidth,
                                      int& ACheckHeight) {
  SystemCheckSize(ACheckWidth, ACheckHeight);
  if (AGlyphCount <= 0 || !AGlyph || AGlyph->Empty())
    return false;
  ACheckWidth = AGlyph->Width() / AGlyphCount;
  ACheckHeight = AGlyph->Height();
  return true;
}

void TgxCheckEditClass::PlaceCheckBox(int AWidth, int AHeight, const RECT& ARect,
                                      TAlignment AAlignment, RECT& ABox, RECT& ACaptionArea) {
  ACaptionArea = {0, 0, 0, 0};
  if (AAlignment == taCenter) {
    ABox.left = (ARect.left + ARect.right - AWidth) / 2;
    ABox.top = (ARect.top + ARect.bottom - AHeight) / 2;
  } else {
    RECT r = ARect;
    InflateRect(&r, -2, -2);
    ABox.top = (r.top + r.bottom - AHeight) / 2;
    ACaptionArea = r;
    if (AAlignment == taRightJustify) {
      ABox.left = r.right - AWidth;
      ACaptionArea.right = r.right - (AWidth + 3);
    } else {
      ABox.left = r.left;
      ACaptionArea.left = r.left + AWidth + 3;
    }
  }
  ABox.right = ABox.left + AWidth;
  ABox.bottom = ABox.top + AHeight;
}

TgxCheckBoxState TgxCheckEditClass::StateOfValue(const TgxVariant& AValue) {
  int64_t number = 0;
  if (const auto* integer = std::get_if<int64_t>(&AValue)) {
    number = *integer;
  } else if (const auto* real = std::get_if<double>(&AValue)) {
    if (!std::isfinite(*real))
      throw EConvertError(L"The value is not a check box state");
    number = int64_t(std::nearbyint(*real));
  } else if (const auto* flag = std::get_if<bool>(&AValue)) {
    return *flag ? cbsChecked : cbsUnchecked;
  } else if (const auto* text = std::get_if<std::wstring>(&AValue)) {
    size_t used = 0;
    try {
      number = std::stoll(*text, &used, 10);
    } catch (...) {
      throw EConvertError(L"'" + *text + L"' is not a check box state");
    }
    while (used < text->size() && std::iswspace((*text)[used]))
      ++used;
    if (used != text->size())
      throw EConvertError(L"'" + *text + L"' is not a check box state");
  } else {
    throw EConvertError(L"A null value is not a check box state");
  }
  // The state is the value's low byte; a byte that names no state is
  // refused rather than kept as a state nothing can draw or toggle.
  const auto state = uint8_t(number & 0xFF);
  if (state > cbsGrayed)
    throw EConvertError(L"The value is not a check box state");
  return TgxCheckBoxState(state);
}

bool TgxCheckEditClass::DoesEditorNeedActivating(const RECT& ARect, TAlignment AAlignment, int AX,
                                                 int AY) const {
  int w, h;
  SystemCheckSize(w, h);
  RECT box, caption;
  PlaceCheckBox(w, h, ARect, AAlignment, box, caption);
  return PtInRect(&box, {AX, AY}) != FALSE;
}

int TgxCheckEditClass::GetMinHeight(TgxEditViewData& AViewData) const {
  int result = TgxInplaceEditClass::GetMinHeight(AViewData);
  int w, h;
  SystemCheckSize(w, h);
  result = std::max(result, h);
  auto* data = dynamic_cast<TgxCheckEditViewData*>(&AViewData);
  if (!data)
    return result;
  if (data->Glyph && !data->Glyph->Empty())
    result = std::max(result, data->Glyph->Height());
  if (data->Alignment != taCenter) {
    CalcCheckSize(data->Glyph, data->GlyphCount, w, h);
    RECT cell = data->ViewBounds;
    InflateRect(&cell, -2, -2);
    RECT box, caption;
    PlaceCheckBox(w, h, cell, data->Alignment, box, caption);
    HDC screen = GetDC(nullptr);
    int textHeight = 0;
    DrawTextInRect(screen, data->Caption.c_str(), int(data->Caption.size()), cell, caption,
                   uint16_t(CaptionFlagsOf(*data) | gxdtMeasure), nullptr, data->Font,
                   data->BkColor, data->TextColor, &textHeight);
    ReleaseDC(nullptr, screen);
    result = std::max(result, textHeight + 4);
  }
  return result;
}

bool TgxCheckEditClass::DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                                       bool AIsControl) const {
  auto* data = dynamic_cast<TgxCheckEditViewData*>(&AViewData);
  if (!data)
    return TgxInplaceEditClass::DrawClientArea(ADC, ARect, AViewData, AIsControl);
  int w, h;
  const bool custom = CalcCheckSize(data->Glyph, data->GlyphCount, w, h);
  if (data->CalcHeight) {
    data->LineCount = 1;
    data->LineHeight = h;
    return true;
  }
  RECT box, caption;
  PlaceCheckBox(w, h, ARect, data->Alignment, box, caption);
  if (data->Alignment != taCenter) {
    const uint16_t flags = CaptionFlagsOf(*data);
    const wchar_t* text = data->Caption.c_str();
    const int length = int(data->Caption.size());
    if (data->Enabled) {
      DrawTextInRect(ADC, text, length, ARect, caption, flags, data->Brush, data->Font,
                     data->BkColor, data->TextColor);
    } else {
      RECT raised = caption;
      OffsetRect(&raised, 1, 1);
      DrawTextInRect(ADC, text, length, ARect, raised, flags, data->Brush, data->Font,
                     data->BkColor, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextInRect(ADC, text, length, ARect, caption, uint16_t(flags | gxdtNoFill), data->Brush,
                     data->Font, data->BkColor, GetSysColor(COLOR_BTNSHADOW));
    }
  } else if (!data->Transparent && data->Brush) {
    FillRect(ADC, &ARect, data->Brush);
  }
  int state = cbsUnchecked;
  try {
    state = StateOfValue(data->Data);
  } catch (const EConvertError&) {
    // A cell whose value names no state shows an empty box.
  }
  if (custom) {
    DrawGlyphPicture(ADC, box, *data->Glyph, GlyphIndexOf(state, data->Pressed, data->GlyphCount),
                     w, data->Brush);
    return true;
  }
  DrawSystemBox(ADC, box, FrameStateOf(state, data->Enabled, data->Pressed, data->NullStyle),
                data->ButtonStyle);
  return true;
}

// ===========================================================================
// TgxInplaceCheckEdit

TgxInplaceCheckEdit::TgxInplaceCheckEdit(TComponent* AOwner) : TgxInplaceEdit(AOwner) {
  // No framework capture or click: the editor tracks its own button and
  // its clicks are state changes. The frame stays the editor's drawing.
  FControlStyle = csSetCaption | csDoubleClicks | (FControlStyle & csNeedsBorderPaint);
  InitEditStyle();
}

TgxInplaceCheckEdit::~TgxInplaceCheckEdit() = default;

void TgxInplaceCheckEdit::InvalidateCheck() {
  if (HandleAllocated())
    Invalidate();
}

void TgxInplaceCheckEdit::SetState(TgxCheckBoxState AValue) {
  if (AValue == FState)
    return;
  FState = AValue;
  InvalidateCheck();
  if (!ComponentState().Contains(csLoading))
    Click();
}

void TgxInplaceCheckEdit::SetFullFocusRect(bool AValue) {
  if (AValue == FFullFocusRect)
    return;
  FFullFocusRect = AValue;
  InvalidateCheck();
}

void TgxInplaceCheckEdit::SetMultiLine(bool AValue) {
  if (AValue == FMultiLine)
    return;
  FMultiLine = AValue;
  InvalidateCheck();
}

TBitmap& TgxInplaceCheckEdit::Glyph() {
  if (!FGlyph)
    FGlyph = std::make_unique<TBitmap>();
  return *FGlyph;
}

void TgxInplaceCheckEdit::SetGlyph(TBitmap* AValue) {
  if (!AValue)
    FGlyph.reset();
  else
    Glyph().Assign(AValue);
  RefreshView();
}

void TgxInplaceCheckEdit::SetGlyphCount(int AValue) {
  if (AValue == FGlyphCount)
    return;
  FGlyphCount = AValue;
  if (FGlyph)
    RefreshView();
}

void TgxInplaceCheckEdit::SetNullStyle(TgxShowNullFieldStyle AValue) {
  if (AValue == FNullStyle)
    return;
  FNullStyle = AValue;
  InvalidateCheck();
}

void TgxInplaceCheckEdit::Toggle() {
  if (!CanEditValue())
    return;
  static constexpr TgxCheckBoxState kNext[] = {cbsChecked, cbsUnchecked, cbsChecked};
  SetState(FState == cbsUnchecked && FAllowGrayed ? cbsGrayed : kNext[FState]);
  SetModified(true);
  // A Boolean text follows the box; any other text is the caption's own.
  if (FState != cbsGrayed && (SameTextNoCase(Text(), L"False") || SameTextNoCase(Text(), L"True")))
    SetText(FState == cbsChecked ? L"True" : L"False");
  IgxEditContainer* container = Container();
  if (container && container->SingleClickCheckEdit()) {
    WORD key = VK_RETURN;
    KeyDown(key, 0);
  }
}

void TgxInplaceCheckEdit::SetEditValue(const TgxVariant& AValue) {
  const bool modified = GetModified();
  FInternalChanging = true;
  try {
    SetState(TgxCheckEditClass::StateOfValue(AValue));
  } catch (...) {
    FInternalChanging = false;
    SetModified(modified);
    throw;
  }
  FInternalChanging = false;
  SetModified(modified);
}

void TgxInplaceCheckEdit::GetDisplayValue(TgxVariant& AValue, bool /*AFromDefinition*/) {
  AValue = int64_t(FState);
}

void TgxInplaceCheckEdit::GetEditValue(TgxVariant& AValue) {
  AValue = int64_t(FState);
}

TgxEditViewData* TgxInplaceCheckEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* base = TgxInplaceEdit::CreateViewData(AFromDefinition);
  auto* data = static_cast<TgxCheckEditViewData*>(base);
  data->DrawAlignment = FMultiLine ? daMultiLine : daVCenter;
  const bool readOnly = IsStored(svReadOnly) ? ReadOnly() : DefaultReadOnly();
  data->Caption = readOnly ? std::wstring() : Text();
  data->ExactFocusRect = !FFullFocusRect;
  data->Glyph = FGlyph.get();
  data->GlyphCount = FGlyphCount;
  data->NullStyle = FNullStyle;
  data->Pressed = FPressed;
  data->Alignment = Alignment();
  return data;
}

bool TgxInplaceCheckEdit::ClickHitTest(int AX, int AY) {
  IgxEditContainer* container = Container();
  if (!container || !container->SingleClickCheckEdit())
    return true;
  int w, h;
  TgxCheckEditClass::CalcCheckSize(FGlyph.get(), FGlyphCount, w, h);
  RECT box, caption;
  TgxCheckEditClass::PlaceCheckBox(w, h, ClientRect(), Alignment(), box, caption);
  return PtInRect(&box, {AX, AY}) != FALSE;
}

void TgxInplaceCheckEdit::SetPressed(bool AValue) {
  if (AValue == FPressed)
    return;
  FPressed = AValue;
  InvalidateCheck();
}

void TgxInplaceCheckEdit::StopTracking() {
  if (!FTracking)
    return;
  FTracking = false;
  SetPressed(false);
  if (HandleAllocated() && GetCapture() == Handle())
    ReleaseCapture();
}

void TgxInplaceCheckEdit::Click() {
  if (FInternalChanging)
    return;
  TgxInplaceEdit::Click();
  DoChange();
}

void TgxInplaceCheckEdit::MouseClick(int AX, int AY) {
  if (ClickHitTest(AX, AY))
    Toggle();
}

void TgxInplaceCheckEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (AKey == VK_SPACE && !FPressed)
    SetPressed(true);
  else if (AKey == VK_LEFT)
    MoveToNextCell(true);
  else if (AKey == VK_RIGHT)
    MoveToNextCell(false);
  TgxInplaceEdit::KeyDown(AKey, AShift);
}

void TgxInplaceCheckEdit::KeyPress(wchar_t& AKey) {
  TgxInplaceEdit::KeyPress(AKey);
  // A space without its key-down (sent by another window) toggles at once.
  if (EditClass().IsInplace() && AKey == L' ' && !FPressed && CanModify())
    Toggle();
}

void TgxInplaceCheckEdit::KeyUp(WORD& AKey, TShiftState AShift) {
  if (AKey == VK_SPACE && FPressed) {
    SetPressed(false);
    if (CanModify())
      Toggle();
  }
  TgxInplaceEdit::KeyUp(AKey, AShift);
}

void TgxInplaceCheckEdit::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  if (AButton == mbLeft && ClickHitTest(AX, AY)) {
    if (HandleAllocated())
      SetCapture(Handle());
    FTracking = true;
    const RECT client = ClientRect();
    SetPressed(PtInRect(&client, {AX, AY}) != FALSE);
  }
  TgxInplaceEdit::MouseDown(AButton, AShift, AX, AY);
}

void TgxInplaceCheckEdit::MouseMove(TShiftState AShift, int AX, int AY) {
  if (FTracking) {
    const RECT client = ClientRect();
    SetPressed(PtInRect(&client, {AX, AY}) != FALSE);
  }
  TgxInplaceEdit::MouseMove(AShift, AX, AY);
}

void TgxInplaceCheckEdit::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  const bool wasPressed = FPressed;
  StopTracking();
  if (AButton == mbLeft && wasPressed && CanModify() && ClickHitTest(AX, AY))
    Toggle();
  TgxInplaceEdit::MouseUp(AButton, AShift, AX, AY);
}

void TgxInplaceCheckEdit::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_CANCELMODE)
    StopTracking();
  TgxInplaceEdit::WndProc(AMessage);
}

LRESULT TgxInplaceCheckEdit::DialogCode() {
  LRESULT code = TgxInplaceEdit::DialogCode();
  if (EditClass().IsInplace())
    code |= DLGC_WANTARROWS | DLGC_WANTALLKEYS;
  else
    code &= ~LRESULT(DLGC_WANTCHARS);
  return code;
}

bool TgxInplaceCheckEdit::DialogChar(wchar_t AChar) {
  if (!IsAccel(AChar, Text()) || !CanFocus())
    return TgxInplaceEdit::DialogChar(AChar);
  SetFocus();
  if (Focused())
    Toggle();
  return true;
}

void TgxInplaceCheckEdit::TextChanged() {
  TgxInplaceEdit::TextChanged();
  RefreshView();
}
