#include "gx-spin-edit.h"

#include "format-settings.h"

#include <windowsx.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <memory>

// ===========================================================================
// Number texts

namespace {

// The text between leading and trailing blanks.
std::wstring Trimmed(const std::wstring& AText) {
  const size_t first = AText.find_first_not_of(L" \t");
  if (first == std::wstring::npos)
    return std::wstring();
  const size_t last = AText.find_last_not_of(L" \t");
  return AText.substr(first, last - first + 1);
}

// The float text in the C library's form ("." and "e"), or empty when the
// text is not a float of the run time's form.
std::string NormalizedFloatText(const std::wstring& AText, wchar_t ADecimalSeparator) {
  const std::wstring text = Trimmed(AText);
  std::string result;
  size_t i = 0;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
    result += char(text[i++]);
  int digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c >= L'0' && c <= L'9') {
      result += char(c);
      ++digits;
    } else if (c == ADecimalSeparator && !point) {
      result += '.';
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0)
    return std::string();
  if (i < text.size() && (text[i] == L'E' || text[i] == L'e')) {
    result += 'e';
    ++i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
      result += char(text[i++]);
    int exponentDigits = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++exponentDigits)
      result += char(text[i]);
    if (exponentDigits == 0)
      return std::string();
  }
  return i == text.size() ? result : std::string();
}

} // namespace

std::wstring FloatToStrGeneral(double AValue, int APrecision) {
  if (std::isnan(AValue))
    return L"NAN";
  if (std::isinf(AValue))
    return AValue > 0 ? L"INF" : L"-INF";
  if (AValue == 0)
    return L"0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*g", APrecision, AValue);
  std::wstring result;
  const wchar_t decimal = FormatSettings().DecimalSeparator;
  for (const char* p = buffer; *p; ++p) {
    if (*p == '.') {
      result += decimal;
    } else if (*p == 'e' || *p == 'E') {
      // The exponent without "+" and without leading zeros.
      result += L'E';
      ++p;
      if (*p == '-')
        result += L'-';
      if (*p == '-' || *p == '+')
        ++p;
      while (*p == '0' && p[1])
        ++p;
      for (; *p; ++p)
        result += wchar_t(*p);
      break;
    } else {
      result += wchar_t(*p);
    }
  }
  return result;
}

bool TryTextToExtended(const std::wstring& AText, wchar_t ADecimalSeparator, long double& AValue) {
  const std::string text = NormalizedFloatText(AText, ADecimalSeparator);
  if (text.empty())
    return false;
  char* end = nullptr;
  const long double value = std::strtold(text.c_str(), &end);
  if (!end || *end != 0 || !std::isfinite(value))
    return false;
  AValue = value;
  return true;
}

bool TryTextToFloat(const std::wstring& AText, wchar_t ADecimalSeparator, double& AValue) {
  long double value = 0;
  if (!TryTextToExtended(AText, ADecimalSeparator, value) || std::fabs(value) > DBL_MAX)
    return false;
  AValue = double(value);
  return true;
}

bool TryTextToInt(const std::wstring& AText, int& AValue) {
  const std::wstring text = Trimmed(AText);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
    negative = text[i++] == L'-';
  if (i == text.size())
    return false;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9')
      return false;
    value = value * 10 + (text[i] - L'0');
    if (value > 2147483648LL)
      return false;
  }
  if (negative)
    value = -value;
  if (value > 2147483647LL)
    return false;
  AValue = int(value);
  return true;
}

// ===========================================================================
// TgxInplaceSpinEditClass

const TgxInplaceSpinEditClass& TgxInplaceSpinEditClass::Instance() {
  static const TgxInplaceSpinEditClass instance;
  return instance;
}

int TgxInplaceSpinEditClass::CalcSpinButtonWidth(TgxEditViewData& AViewData) const {
  auto* data = dynamic_cast<TgxSpinEditViewData*>(&AViewData);
  if (!data || !data->ShowButton)
    return 0;
  int width = GetSystemMetrics(SM_CXVSCROLL);
  if (width % 2 == 0)
    --width;
  if (width < 13)
    width = 13;
  if (data->ButtonStyle == btsFlat || data->ButtonStyle == btsSimple)
    --width;
  return width;
}

void TgxInplaceSpinEditClass::CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                                           TgxEditViewInfo& AViewInfo) const {
  TgxInplaceTextEditClass::CalcViewInfo(AViewData, AAutoSize, AViewInfo);
  AViewInfo.ClientBounds.right -= CalcSpinButtonWidth(AViewData);
}

RECT TgxInplaceSpinEditClass::ButtonColumn(const TgxEditViewInfo& AViewInfo, int AWidth) {
  RECT column = AViewInfo.BorderRect;
  InflateRectByBorder(column, AViewInfo, false);
  column.left = column.right - AWidth;
  if (AWidth <= 0)
    column.left = column.right;
  return column;
}

TgxSpinButtonState TgxInplaceSpinEditClass::ButtonAt(const RECT& AColumn, POINT APoint) {
  if (!PtInRect(&AColumn, APoint))
    return sbNotDown;
  return APoint.y < (AColumn.top + AColumn.bottom) / 2 ? sbTopDown : sbBottomDown;
}

void TgxInplaceSpinEditClass::DrawSpinButton(HDC ADC, RECT ARect, TgxSpinEditViewData& AViewData,
                                             bool AUp, bool AActive, bool APressed) {
  const bool transparentButton = AViewData.ButtonTransparence;
  const bool transparent = transparentButton || AViewData.Transparent;
  HBRUSH background = AViewData.Brush ? AViewData.Brush : GetSysColorBrush(COLOR_WINDOW);
  HBRUSH face = transparentButton ? background : GetSysColorBrush(COLOR_BTNFACE);
  TgxEditButtonViewStyle style = AViewData.ButtonStyle;
  if (style == btsSimple && (AActive || APressed))
    style = btsFlat;
  if (transparentButton && !AViewData.Transparent)
    FillRect(ADC, &ARect, background);
  const UINT middle = transparentButton ? 0 : BF_MIDDLE;
  switch (style) {
  case bts3D:
    if (APressed) {
      DrawEdge(ADC, &ARect, BDR_RAISEDINNER, BF_RIGHT | BF_BOTTOM | BF_ADJUST | middle);
      DrawEdge(ADC, &ARect, BDR_SUNKENOUTER, BF_LEFT | BF_TOP | BF_ADJUST);
    } else {
      DrawEdge(ADC, &ARect, EDGE_RAISED, BF_RECT | BF_ADJUST | middle);
    }
    break;
  case btsFlat:
    if (!transparent) {
      const RECT strip{ARect.left, ARect.top, ARect.left + 1, ARect.bottom};
      FillRect(ADC, &strip, GetSysColorBrush(COLOR_BTNFACE));
      ++ARect.left;
    }
    DrawEdge(ADC, &ARect, APressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
             BF_RECT | BF_ADJUST | middle);
    break;
  case btsSimple:
    if (transparent) {
      InflateRect(&ARect, -1, -1);
    } else {
      FrameRect(ADC, &ARect, background);
      InflateRect(&ARect, -1, -1);
      const RECT strip{ARect.left, ARect.top, ARect.left + 1, ARect.bottom};
      FillRect(ADC, &strip, background);
      ++ARect.left;
      FillRect(ADC, &ARect, face);
    }
    break;
  case btsHotFlat:
    FrameRect(ADC, &ARect, GetSysColorBrush(COLOR_BTNSHADOW));
    InflateRect(&ARect, -1, -1);
    if (!transparent) {
      int colour = COLOR_BTNFACE;
      if (AViewData.Enabled && APressed)
        colour = COLOR_BTNTEXT;
      else if (AViewData.Enabled && AActive)
        colour = COLOR_BTNSHADOW;
      FillRect(ADC, &ARect, GetSysColorBrush(colour));
    }
    break;
  default:
    break;
  }
  if (APressed && style != btsHotFlat)
    OffsetRect(&ARect, 1, 1);

  int size = (ARect.right - ARect.left - 2) / 2;
  if (size % 2 == 0)
    ++size;
  const int x = (ARect.left + ARect.right - size) / 2;
  const int y = (ARect.top + ARect.bottom - size / 2) / 2 - 1;
  int colour = COLOR_BTNTEXT;
  if (style == btsHotFlat && (AActive || APressed))
    colour = !transparent ? COLOR_WINDOW : APressed ? COLOR_BTNTEXT : COLOR_BTNSHADOW;
  const auto arrow = [&](int AX, int AY, int AColour) {
    POINT points[3];
    if (AUp) {
      points[0] = {AX, AY + size / 2};
      points[1] = {AX + size / 2, AY};
      points[2] = {AX + size - 1, AY + size / 2};
    } else {
      points[0] = {AX, AY + 1};
      points[1] = {AX + size - 1, AY + 1};
      points[2] = {AX + size / 2, AY + 1 + size / 2};
    }
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(AColour));
    HGDIOBJ oldPen = SelectObject(ADC, pen);
    HGDIOBJ oldBrush = SelectObject(ADC, GetSysColorBrush(AColour));
    Polygon(ADC, points, 3);
    SelectObject(ADC, oldBrush);
    SelectObject(ADC, oldPen);
    DeleteObject(pen);
  };
  if (AViewData.Enabled) {
    arrow(x, y, colour);
  } else {
    arrow(x + 1, y + 1, COLOR_BTNHIGHLIGHT);
    arrow(x, y, COLOR_BTNSHADOW);
  }
}

void TgxInplaceSpinEditClass::DrawBorder(HDC ADC, TgxEditViewInfo& AViewInfo,
                                         TgxEditViewData& AViewData) const {
  TgxInplaceTextEditClass::DrawBorder(ADC, AViewInfo, AViewData);
  auto* data = dynamic_cast<TgxSpinEditViewData*>(&AViewData);
  if (!data || !data->ShowButton)
    return;
  const RECT column = ButtonColumn(AViewInfo, CalcSpinButtonWidth(AViewData));
  const int middle = (column.top + column.bottom) / 2;
  const RECT top{column.left, column.top, column.right, middle};
  const RECT bottom{column.left, middle, column.right, column.bottom};
  DrawSpinButton(ADC, top, *data, true, data->StateActive == sbTopDown,
                 data->StatePressed == sbTopDown && data->StateActive == sbTopDown);
  DrawSpinButton(ADC, bottom, *data, false, data->StateActive == sbBottomDown,
                 data->StatePressed == sbBottomDown && data->StateActive == sbBottomDown);
}

// ===========================================================================
// TgxInplaceSpinEdit

TgxInplaceSpinEdit::TgxInplaceSpinEdit(TComponent* AOwner) : TgxInplaceMaskEdit(AOwner) {
  SetControlStyle(ControlStyle() & ~TControlStyle(csSetCaption));
  FEditorEnabled = true;
  FIncrement = 1.0;
  SetText(L"0");
}

TgxInplaceSpinEdit::~TgxInplaceSpinEdit() {
  if (FTimer != 0 && HandleAllocated())
    KillTimer(Handle(), kRepeatTimerId);
}

int TgxInplaceSpinEdit::IntValue() {
  return int(std::trunc(GetValue()));
}

void TgxInplaceSpinEdit::SetMinMaxValues(double AMinValue, double AMaxValue) {
  SetStoredValues(TgxEditStoredValues(StoredValues() | StoredValueBit(svMinValue) |
                                      StoredValueBit(svMaxValue)));
  InternalSetMinMaxValues(AMinValue, AMaxValue);
}

void TgxInplaceSpinEdit::SetValueType(TgxValueType AValue) {
  SetStoredValues(TgxEditStoredValues(StoredValues() | StoredValueBit(svIsFloat)));
  InternalSetValueType(AValue);
}

void TgxInplaceSpinEdit::InternalSetMinMaxValues(double AMinValue, double AMaxValue) {
  FMinValue = AMinValue > AMaxValue ? AMaxValue : AMinValue;
  FMaxValue = AMaxValue;
  SetValue(GetValue());
}

void TgxInplaceSpinEdit::SetMaxValue(double AValue) {
  if (AValue < FMinValue)
    AValue = FMinValue;
  if (AValue == FMaxValue)
    return;
  FMaxValue = AValue;
  SetValue(GetValue());
}

void TgxInplaceSpinEdit::SetMinValue(double AValue) {
  if (AValue > FMaxValue)
    AValue = FMaxValue;
  if (AValue == FMinValue)
    return;
  FMinValue = AValue;
  SetValue(GetValue());
}

void TgxInplaceSpinEdit::InternalSetValueType(TgxValueType AValue) {
  if (AValue == FValueType)
    return;
  // The text is read in the old type before it is written in the new one.
  const double value = GetValue();
  FValueType = AValue;
  if (!Text().empty())
    SetValue(value);
}

double TgxInplaceSpinEdit::DefaultMaxValue() {
  return FDataDefinition ? FDataDefinition->GetMaxValue() : 0;
}

double TgxInplaceSpinEdit::DefaultMinValue() {
  return FDataDefinition ? FDataDefinition->GetMinValue() : 0;
}

TgxValueType TgxInplaceSpinEdit::DefaultValueType() {
  return FDataDefinition && FDataDefinition->GetIsFloat() ? vtFloat : vtInt;
}

void TgxInplaceSpinEdit::ReadDefinitionProperties() {
  TgxInplaceMaskEdit::ReadDefinitionProperties();
  if (!IsStored(svIsFloat))
    InternalSetValueType(DefaultValueType());
  if (!IsStored(svMaxValue) && !IsStored(svMinValue)) {
    InternalSetMinMaxValues(DefaultMinValue(), DefaultMaxValue());
  } else {
    if (!IsStored(svMaxValue))
      SetMaxValue(DefaultMaxValue());
    if (!IsStored(svMinValue))
      SetMinValue(DefaultMinValue());
  }
}

void TgxInplaceSpinEdit::RestoreDefaults() {
  TgxInplaceTextEdit::RestoreDefaults();
  InternalSetMinMaxValues(DefaultMinValue(), DefaultMaxValue());
  InternalSetValueType(DefaultValueType());
}

void TgxInplaceSpinEdit::ValidateEdit() {
  TgxInplaceMaskEdit::ValidateEdit();
  if (GetModified())
    SetValue(GetValue());
}

// --- the value --------------------------------------------------------------------------

double TgxInplaceSpinEdit::GetValue() {
  const double empty = FValueType == vtFloat ? FMinValue : std::trunc(FMinValue);
  const std::wstring text = Text();
  if (text.empty())
    return empty;
  if (FValueType == vtFloat) {
    // A point is always a decimal mark; a comma only where the locale says so.
    const wchar_t decimal =
        text.find(L',') == std::wstring::npos ? L'.' : FormatSettings().DecimalSeparator;
    double value = 0;
    return TryTextToFloat(text, decimal, value) ? value : empty;
  }
  int value = 0;
  return TryTextToInt(text, value) ? double(value) : empty;
}

double TgxInplaceSpinEdit::CheckValue(double AValue) const {
  if (FMaxValue == FMinValue && FMinValue == 0)
    return AValue;
  if (AValue < FMinValue)
    return FMinValue;
  if (AValue > FMaxValue)
    return FMaxValue;
  return AValue;
}

void TgxInplaceSpinEdit::SetValue(double AValue) {
  const double value = CheckValue(AValue);
  if (!std::isfinite(value))
    return;
  std::wstring text;
  if (FValueType == vtFloat) {
    text = FloatToStrGeneral(value);
  } else {
    // The processor's rounding: a half goes to the even neighbour.
    const double rounded = std::nearbyint(value);
    if (std::fabs(rounded) >= 9.2e18)
      return;
    text = std::to_wstring(static_cast<long long>(rounded));
  }
  if (text != Text())
    SetText(text);
}

// --- stepping --------------------------------------------------------------------------------

void TgxInplaceSpinEdit::DoSpin() {
  if (!CanModify()) {
    EditorBeep();
    return;
  }
  if (!CanEditValue())
    return;
  if (FStatePressed == sbTopDown)
    SetValue(GetValue() + GetIncrement());
  else if (FStatePressed == sbBottomDown)
    SetValue(GetValue() - GetIncrement());
  SetModified(true);
}

void TgxInplaceSpinEdit::RepaintButtons() {
  if (HandleAllocated())
    SendMessageW(Handle(), WM_NCPAINT, 1, 0);
}

void TgxInplaceSpinEdit::SetStateActive(TgxSpinButtonState AValue) {
  if (AValue == FStateActive)
    return;
  FStateActive = AValue;
  RepaintButtons();
}

void TgxInplaceSpinEdit::StopTracking() {
  if (FStatePressed == sbNotDown)
    return;
  FStatePressed = sbNotDown;
  FStateActive = sbNotDown;
  if (HandleAllocated() && GetCapture() == Handle())
    ReleaseCapture();
  RepaintButtons();
}

void TgxInplaceSpinEdit::StopRepeatTimer() {
  if (FTimer != 0 && HandleAllocated())
    KillTimer(Handle(), kRepeatTimerId);
  FTimer = 0;
}

void TgxInplaceSpinEdit::SetSelected(bool AValue) {
  if (!AValue)
    SetStateActive(sbNotDown);
  TgxInplaceMaskEdit::SetSelected(AValue);
}

TgxEditViewData* TgxInplaceSpinEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* data = TgxInplaceMaskEdit::CreateViewData(AFromDefinition);
  if (auto* spin = dynamic_cast<TgxSpinEditViewData*>(data)) {
    const TgxEditButtonTransparence transparence = Style().ButtonTransparence();
    spin->ShowButton =
        !(transparence == ebtHideAlways || (transparence == ebtHideInactive && !IsSelected()));
    spin->StatePressed = FStatePressed;
    const bool keyboardPress =
        FStatePressed != sbNotDown && !(HandleAllocated() && GetCapture() == Handle());
    spin->StateActive = keyboardPress ? FStatePressed : FStateActive;
  }
  return data;
}

// --- keys ---------------------------------------------------------------------------------

bool TgxInplaceSpinEdit::IsValidChar(wchar_t AKey) {
  bool valid = AKey == L'+' || AKey == L'-' || (AKey >= L'0' && AKey <= L'9') ||
               (FValueType == vtFloat && AKey == FormatSettings().DecimalSeparator) || AKey < 32;
  if (valid && !FEditorEnabled)
    valid = AKey < 32 && AKey != VK_BACK;
  return valid;
}

void TgxInplaceSpinEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (!FEditorEnabled && IsTextChangingKey(AKey, AShift))
    AKey = 0;
  if ((AKey == VK_UP || AKey == VK_DOWN) && (!FUseCtrlIncrement || (AShift & ssCtrl))) {
    FStatePressed = AKey == VK_UP ? sbTopDown : sbBottomDown;
    FStateActive = FStatePressed;
    if (HandleAllocated() && GetCapture() == Handle())
      ReleaseCapture();
    RepaintButtons();
    DoSpin();
    AKey = 0;
    return;
  }
  if (AKey == 0)
    return;
  TgxInplaceMaskEdit::KeyDown(AKey, AShift);
}

void TgxInplaceSpinEdit::KeyPress(wchar_t& AKey) {
  if (AKey == L',' || AKey == L'.')
    AKey = FormatSettings().DecimalSeparator;
  // Characters beyond the 8-bit range are asked too: none of them belongs
  // in a number, and letting them through would leave unreadable text.
  if ((AKey == VK_BACK || AKey >= 32) && !IsValidChar(AKey)) {
    AKey = 0;
    EditorBeep();
    return;
  }
  TgxInplaceMaskEdit::KeyPress(AKey);
}

void TgxInplaceSpinEdit::KeyUp(WORD& AKey, TShiftState AShift) {
  if (AKey == VK_UP || AKey == VK_DOWN)
    StopTracking();
  TgxInplaceMaskEdit::KeyUp(AKey, AShift);
}

void TgxInplaceSpinEdit::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  StopTracking();
  TgxInplaceMaskEdit::MouseUp(AButton, AShift, AX, AY);
}

void TgxInplaceSpinEdit::DefaultHandler(TMessage& AMessage) {
  // The edit window never sees the stepping keys.
  if (AMessage.Msg == WM_KEYDOWN && (AMessage.WParam == VK_UP || AMessage.WParam == VK_DOWN)) {
    AMessage.Result = 0;
    return;
  }
  TgxInplaceMaskEdit::DefaultHandler(AMessage);
}

// --- mouse -------------------------------------------------------------------------------

TgxSpinButtonState TgxInplaceSpinEdit::HitButton(POINT AScreenPoint) {
  RECT window;
  GetWindowRect(Handle(), &window);
  const POINT point{AScreenPoint.x - window.left, AScreenPoint.y - window.top};
  std::unique_ptr<TgxEditViewData> data(CreateViewData(false));
  TgxEditViewInfo info;
  const auto& kind = static_cast<const TgxInplaceSpinEditClass&>(EditClass());
  kind.CalcViewInfo(*data, false, info);
  const RECT column = TgxInplaceSpinEditClass::ButtonColumn(info, kind.CalcSpinButtonWidth(*data));
  return TgxInplaceSpinEditClass::ButtonAt(column, point);
}

void TgxInplaceSpinEdit::WMNCHitTest(TMessage& AMessage) {
  TgxInplaceMaskEdit::WndProc(AMessage);
  if (ComponentState().Contains(csDesigning))
    return;
  const TgxSpinButtonState button =
      HitButton(POINT{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)});
  if (button != sbNotDown && (GetCapture() == nullptr || FStatePressed != sbNotDown)) {
    SetStateActive(FStatePressed != sbNotDown && FStatePressed != button ? sbNotDown : button);
    AMessage.Result = HTBORDER;
  } else {
    SetStateActive(sbNotDown);
  }
}

void TgxInplaceSpinEdit::WMNCLButtonDown(TMessage& AMessage) {
  TgxInplaceMaskEdit::WndProc(AMessage);
  if (FStateActive != sbNotDown) {
    FStatePressed = FStateActive;
    SetCapture(Handle());
    RepaintButtons();
    DoSpin();
    if (FTimer == 0) {
      FTimer = SetTimer(Handle(), kRepeatTimerId, kFirstRepeatDelay, nullptr);
    } else {
      // A second press soon after the last release steps once.
      StopRepeatTimer();
    }
  }
  if (HandleAllocated() && GetFocus() != Handle() && CanFocus())
    SetFocus();
}

void TgxInplaceSpinEdit::WMTimer(TMessage& AMessage) {
  if (AMessage.WParam != kRepeatTimerId) {
    TgxInplaceMaskEdit::WndProc(AMessage);
    return;
  }
  AMessage.Result = 0;
  StopRepeatTimer();
  if (FStatePressed == sbNotDown || GetCapture() != Handle())
    return;
  if (FStatePressed == FStateActive)
    DoSpin();
  FTimer = SetTimer(Handle(), kRepeatTimerId, kRepeatDelay, nullptr);
}

void TgxInplaceSpinEdit::MouseButtonClick(int AX, int AY) {
  IgxEditContainer* container = Container();
  if (!container || !HandleAllocated())
    return;
  TWinControl* control = container->ContainerControl();
  POINT point{AX, AY};
  if (control->HandleAllocated())
    ::ClientToScreen(control->Handle(), &point);
  ReleaseCapture();
  const LPARAM position = MAKELPARAM(short(point.x), short(point.y));
  const LRESULT hit = SendMessageW(Handle(), WM_NCHITTEST, 0, position);
  SendMessageW(Handle(), WM_NCLBUTTONDOWN, WPARAM(hit), position);
}

void TgxInplaceSpinEdit::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_NCHITTEST:
    WMNCHitTest(AMessage);
    return;
  case WM_NCLBUTTONDOWN:
    WMNCLButtonDown(AMessage);
    return;
  case WM_NCLBUTTONDBLCLK: {
    TgxInplaceMaskEdit::WndProc(AMessage);
    StopTracking();
    StopRepeatTimer();
    SendMessageW(Handle(), WM_NCLBUTTONDOWN, AMessage.WParam, AMessage.LParam);
    SendMessageW(Handle(), WM_NCLBUTTONUP, AMessage.WParam, AMessage.LParam);
    return;
  }
  case WM_MOUSEMOVE:
    // Under the capture the hit test is not asked, so the hot button
    // follows the mouse here: moving off the button pauses the repeat.
    if (FStatePressed != sbNotDown && GetCapture() == Handle()) {
      POINT point{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
      ::ClientToScreen(Handle(), &point);
      const TgxSpinButtonState button = HitButton(point);
      SetStateActive(button == FStatePressed ? button : sbNotDown);
    }
    break;
  case WM_TIMER:
    WMTimer(AMessage);
    return;
  case WM_MOUSEWHEEL: {
    // One step per message, whatever the delta.
    const TgxSpinButtonState saved = FStatePressed;
    FStatePressed = short(HIWORD(AMessage.WParam)) > 0 ? sbTopDown : sbBottomDown;
    try {
      DoSpin();
    } catch (...) {
      FStatePressed = saved;
      throw;
    }
    FStatePressed = saved;
    AMessage.Result = 0;
    return;
  }
  case WM_CUT:
  case WM_CLEAR:
  case WM_PASTE:
    if (!FEditorEnabled) {
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_LBUTTONUP:
    StopTracking();
    break;
  case WM_CANCELMODE:
    StopTracking();
    break;
  case WM_CAPTURECHANGED:
    TgxInplaceMaskEdit::WndProc(AMessage);
    StopTracking();
    return;
  case WM_KILLFOCUS:
    if (GetAsyncKeyState(VK_UP) < 0 || GetAsyncKeyState(VK_DOWN) < 0)
      StopTracking();
    break;
  default:
    break;
  }
  TgxInplaceMaskEdit::WndProc(AMessage);
}
