#include "gx-currency-edit.h"

#include "gx-spin-edit.h"
#include "gx-utils.h"

#include "format-settings.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <vector>

// ===========================================================================
// Display formats

std::wstring GetCurrencyDisplayFormat() {
  const TFormatSettings& settings = FormatSettings();
  const std::wstring number =
      L",0." + std::wstring(size_t(std::max(settings.CurrencyDecimals, 0)), L'0');
  std::wstring symbol;
  for (wchar_t c : settings.CurrencyString)
    symbol += (c == L',' || c == L'.') ? std::wstring{L'\'', c, L'\''} : std::wstring(1, c);
  std::wstring positive = number;
  if (!symbol.empty()) {
    switch (settings.CurrencyFormat) {
    case 1:
      positive = number + symbol;
      break;
    case 2:
      positive = symbol + L" " + number;
      break;
    case 3:
      positive = number + L" " + symbol;
      break;
    default:
      positive = symbol + number;
      break;
    }
  }
  return positive + L";-" + positive;
}

namespace {

// The sections of a format, split at ";" outside quoted text.
std::vector<std::wstring> FormatSections(const std::wstring& AFormat) {
  std::vector<std::wstring> sections(1);
  wchar_t quote = 0;
  for (wchar_t c : AFormat) {
    if (quote) {
      quote = c == quote ? 0 : quote;
    } else if (c == L'\'' || c == L'"') {
      quote = c;
    } else if (c == L';') {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

struct TSectionLayout {
  int IntRequired = 0;
  int FracRequired = 0;
  int FracMax = 0;
  bool Grouping = false;
  bool HasDigits = false;
};

TSectionLayout LayoutOf(const std::wstring& ASection) {
  TSectionLayout layout;
  bool point = false, firstZero = false;
  wchar_t quote = 0;
  for (wchar_t c : ASection) {
    if (quote) {
      quote = c == quote ? 0 : quote;
      continue;
    }
    if (c == L'\'' || c == L'"') {
      quote = c;
    } else if (c == L'0' || c == L'#') {
      layout.HasDigits = true;
      if (point) {
        ++layout.FracMax;
        if (c == L'0')
          layout.FracRequired = layout.FracMax;
      } else {
        firstZero = firstZero || c == L'0';
        if (firstZero)
          ++layout.IntRequired;
      }
    } else if (c == L'.') {
      point = true;
    } else if (c == L',' && !point) {
      layout.Grouping = true;
    }
  }
  return layout;
}

std::wstring FormatSection(const std::wstring& ASection, double AValue, bool& AAllZero) {
  const TSectionLayout layout = LayoutOf(ASection);
  const TFormatSettings& settings = FormatSettings();
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", layout.FracMax, std::fabs(AValue));
  std::string digits(buffer);
  const size_t dot = digits.find('.');
  std::string intPart = dot == std::string::npos ? digits : digits.substr(0, dot);
  std::string fracPart = dot == std::string::npos ? std::string() : digits.substr(dot + 1);
  AAllZero = intPart.find_first_not_of('0') == std::string::npos &&
             fracPart.find_first_not_of('0') == std::string::npos;
  while (int(fracPart.size()) > layout.FracRequired && !fracPart.empty() && fracPart.back() == '0')
    fracPart.pop_back();
  if (intPart == "0" && layout.IntRequired == 0)
    intPart.clear();
  while (int(intPart.size()) < layout.IntRequired)
    intPart.insert(intPart.begin(), '0');
  std::wstring integer;
  for (size_t k = 0; k < intPart.size(); ++k) {
    if (layout.Grouping && k > 0 && (intPart.size() - k) % 3 == 0)
      integer += settings.ThousandSeparator;
    integer += wchar_t(intPart[k]);
  }
  std::wstring result;
  bool point = false, intWritten = false;
  size_t fracIndex = 0;
  for (size_t i = 0; i < ASection.size(); ++i) {
    const wchar_t c = ASection[i];
    if (c == L'\'' || c == L'"') {
      const size_t close = ASection.find(c, i + 1);
      const size_t end = close == std::wstring::npos ? ASection.size() : close;
      result += ASection.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == L'0' || c == L'#') {
      if (!point) {
        if (!intWritten)
          result += integer;
        intWritten = true;
      } else if (fracIndex < fracPart.size()) {
        result += wchar_t(fracPart[fracIndex++]);
      }
    } else if (c == L'.' && !point) {
      point = true;
      if (!intWritten)
        result += integer;
      intWritten = true;
      if (!fracPart.empty())
        result += settings.DecimalSeparator;
    } else if (c == L',') {
      // Grouping is decided by the layout; the comma itself shows nothing.
    } else {
      result += c;
    }
  }
  return result;
}

} // namespace

std::wstring FormatFloat(const std::wstring& AFormat, double AValue) {
  if (AFormat.empty() || !std::isfinite(AValue))
    return FloatToStrGeneral(AValue);
  const std::vector<std::wstring> sections = FormatSections(AFormat);
  size_t index = 0;
  if (AValue < 0 && sections.size() >= 2 && !sections[1].empty())
    index = 1;
  else if (AValue == 0 && sections.size() >= 3 && !sections[2].empty())
    index = 2;
  bool allZero = false;
  std::wstring text = FormatSection(sections[index], AValue, allZero);
  if (index == 0 && AValue < 0 && !allZero && LayoutOf(sections[0]).HasDigits)
    text = L"-" + text;
  return text;
}

// ===========================================================================
// TgxInplaceCurrencyEdit

TgxInplaceCurrencyEdit::TgxInplaceCurrencyEdit(TComponent* AOwner) : TgxInplaceMaskEdit(AOwner) {
  SetControlStyle(ControlStyle() & ~TControlStyle(csSetCaption));
  FDecimalPlaces = 2;
  FDisplayFormat = DefaultDisplayFormat();
}

bool TgxInplaceCurrencyEdit::TextToValue(const std::wstring& AText, double& AValue) {
  const wchar_t thousand = FormatSettings().ThousandSeparator;
  std::wstring text = AText;
  for (size_t k = text.size(); k-- > 0;)
    if (text[k] == thousand)
      text.erase(k, 1);
  long double value = 0;
  if (TryTextToExtended(text, FormatSettings().DecimalSeparator, value)) {
    const long double magnitude = std::fabs(value);
    if (value == 0 || (magnitude >= 5e-324L && magnitude <= 1.7e308L)) {
      AValue = double(value);
      return true;
    }
  }
  AValue = 0;
  return false;
}

std::wstring TgxInplaceCurrencyEdit::DefaultDisplayFormat() {
  if (FDataDefinition) {
    const std::wstring format = FDataDefinition->GetDisplayFormat();
    if (!format.empty())
      return format;
  }
  return GetCurrencyDisplayFormat();
}

double TgxInplaceCurrencyEdit::DefaultMaxValue() {
  return FDataDefinition ? FDataDefinition->GetMaxValue() : 0;
}

double TgxInplaceCurrencyEdit::DefaultMinValue() {
  return FDataDefinition ? FDataDefinition->GetMinValue() : 0;
}

void TgxInplaceCurrencyEdit::InvalidateWindow() {
  if (HandleAllocated())
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TgxInplaceCurrencyEdit::SetMinMaxValues(double AMinValue, double AMaxValue) {
  SetStoredValues(TgxEditStoredValues(StoredValues() | StoredValueBit(svMinValue) |
                                      StoredValueBit(svMaxValue)));
  InternalSetMinMaxValues(AMinValue, AMaxValue);
}

void TgxInplaceCurrencyEdit::InternalSetMinMaxValues(double AMinValue, double AMaxValue) {
  FMinValue = AMinValue > AMaxValue ? AMaxValue : AMinValue;
  FMaxValue = AMaxValue;
  SetValue(GetValue());
}

void TgxInplaceCurrencyEdit::SetMaxValue(double AValue) {
  if (AValue < FMinValue)
    AValue = FMinValue;
  if (AValue == FMaxValue)
    return;
  FMaxValue = AValue;
  SetValue(GetValue());
}

void TgxInplaceCurrencyEdit::SetMinValue(double AValue) {
  if (AValue > FMaxValue)
    AValue = FMaxValue;
  if (AValue == FMinValue)
    return;
  FMinValue = AValue;
  SetValue(GetValue());
}

void TgxInplaceCurrencyEdit::SetDisplayFormat(const std::wstring& AValue) {
  SetStoredValues(TgxEditStoredValues(StoredValues() | StoredValueBit(svDisplayFormat)));
  InternalSetDisplayFormat(AValue);
}

void TgxInplaceCurrencyEdit::InternalSetDisplayFormat(const std::wstring& AValue) {
  if (AValue == FDisplayFormat)
    return;
  FDisplayFormat = AValue;
  InvalidateWindow();
}

void TgxInplaceCurrencyEdit::SetNullable(bool AValue) {
  if (AValue == FNullable)
    return;
  FNullable = AValue;
  InvalidateWindow();
}

void TgxInplaceCurrencyEdit::SetNullString(const std::wstring& AValue) {
  if (AValue == FNullString)
    return;
  FNullString = AValue;
  InvalidateWindow();
}

void TgxInplaceCurrencyEdit::ReadDefinitionProperties() {
  TgxInplaceMaskEdit::ReadDefinitionProperties();
  if (!IsStored(svDisplayFormat))
    InternalSetDisplayFormat(DefaultDisplayFormat());
  if (!IsStored(svMaxValue) && !IsStored(svMinValue)) {
    InternalSetMinMaxValues(DefaultMinValue(), DefaultMaxValue());
  } else {
    if (!IsStored(svMaxValue))
      SetMaxValue(DefaultMaxValue());
    if (!IsStored(svMinValue))
      SetMinValue(DefaultMinValue());
  }
}

void TgxInplaceCurrencyEdit::RestoreDefaults() {
  TgxInplaceTextEdit::RestoreDefaults();
  InternalSetDisplayFormat(DefaultDisplayFormat());
  InternalSetMinMaxValues(DefaultMinValue(), DefaultMaxValue());
}

bool TgxInplaceCurrencyEdit::IsNeededRedraw() {
  return TgxInplaceMaskEdit::IsNeededRedraw() || !FDisplayFormat.empty();
}

double TgxInplaceCurrencyEdit::GetValue() {
  const std::wstring text = Text();
  if (text.empty())
    return 0;
  double value = 0;
  return TextToValue(text, value) ? value : FMinValue;
}

double TgxInplaceCurrencyEdit::CheckValue(double AValue) const {
  if (FMaxValue == FMinValue && FMinValue == 0)
    return AValue;
  return AValue < FMinValue ? FMinValue : AValue > FMaxValue ? FMaxValue : AValue;
}

void TgxInplaceCurrencyEdit::SetValue(double AValue) {
  const bool modified = GetModified();
  try {
    const std::wstring text = FloatToStrGeneral(CheckValue(AValue));
    if (text != Text())
      SetText(text);
  } catch (...) {
    SetModified(modified);
    throw;
  }
  SetModified(modified);
}

void TgxInplaceCurrencyEdit::ValidateEdit() {
  TgxInplaceMaskEdit::ValidateEdit();
  if (GetModified() && !(Text().empty() && FNullable))
    SetValue(GetValue());
}

void TgxInplaceCurrencyEdit::GetEditValue(TgxVariant& AValue) {
  if (FNullable && Text().empty())
    AValue = std::monostate();
  else
    TgxInplaceMaskEdit::GetEditValue(AValue);
}

void TgxInplaceCurrencyEdit::GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) {
  if (FDisplayFormat.empty()) {
    TgxInplaceMaskEdit::GetDisplayValue(AValue, AFromDefinition);
    return;
  }
  double value = 0;
  bool null = false;
  if (AFromDefinition && FDataDefinition) {
    const TgxVariant data = FDataDefinition->GetEditValue();
    const auto* text = std::get_if<std::wstring>(&data);
    if (std::holds_alternative<std::monostate>(data) || (text && text->empty()))
      null = true;
    else if (const auto* number = std::get_if<double>(&data))
      value = *number;
    else if (const auto* integer = std::get_if<int64_t>(&data))
      value = double(*integer);
    else if (const auto* flag = std::get_if<bool>(&data))
      value = *flag ? -1.0 : 0.0;
    else if (!TextToValue(*text, value))
      value = 0;
  } else {
    TgxVariant base;
    TgxInplaceMaskEdit::GetDisplayValue(base, AFromDefinition);
    const std::wstring text = VarToText(base);
    if (text.empty())
      null = true;
    else if (!TextToValue(text, value))
      value = 0;
  }
  if (null) {
    if (FNullable) {
      AValue = FNullString;
      return;
    }
    value = 0;
  }
  AValue = FormatFloat(FDisplayFormat, value);
}

bool TgxInplaceCurrencyEdit::IsValidChar(wchar_t AKey) {
  const TFormatSettings& settings = FormatSettings();
  const bool allowed = AKey == L'+' || AKey == L'-' || (AKey >= L'0' && AKey <= L'9') ||
                       AKey == L'E' || AKey == L'e' || AKey == settings.DecimalSeparator ||
                       (FUseThousandSeparator && AKey == settings.ThousandSeparator);
  if (!allowed || AKey >= 256)
    return false;
  std::wstring text = Text();
  int start = 0, end = 0;
  if (HandleAllocated())
    GetSelection(start, end);
  start = std::clamp(start, 0, int(text.size()));
  end = std::clamp(end, start, int(text.size()));
  text.erase(size_t(start), size_t(end - start));
  if (AKey == L'-' && text.empty())
    return true;
  text.insert(size_t(start), 1, AKey);
  const size_t point = text.find(settings.DecimalSeparator);
  if (point != std::wstring::npos) {
    const size_t exponent = text.find_first_of(L"Ee");
    const int decimals = exponent != std::wstring::npos && point < exponent
                             ? int(exponent - point - 1)
                             : int(text.size() - point - 1);
    if (decimals > FDecimalPlaces)
      return false;
  }
  double value = 0;
  return TextToValue(text, value);
}

void TgxInplaceCurrencyEdit::KeyPress(wchar_t& AKey) {
  const TFormatSettings& settings = FormatSettings();
  if (!(FUseThousandSeparator && AKey == settings.ThousandSeparator) &&
      (AKey == L',' || AKey == L'.'))
    AKey = settings.DecimalSeparator;
  // Characters beyond the 8-bit range are asked too, so no text the value
  // cannot be read from is ever typed.
  if (AKey >= 32 && !IsValidChar(AKey)) {
    AKey = 0;
    EditorBeep();
    return;
  }
  TgxInplaceMaskEdit::KeyPress(AKey);
}

void TgxInplaceCurrencyEdit::WinIniChange(const std::wstring& ASection) {
  TgxInplaceMaskEdit::WinIniChange(ASection);
  if (IsStored(svDisplayFormat))
    return;
  ReloadFormatSettings();
  InternalSetDisplayFormat(DefaultDisplayFormat());
}

void TgxInplaceCurrencyEdit::WndProc(TMessage& AMessage) {
  if (AMessage.Msg != WM_PASTE) {
    TgxInplaceMaskEdit::WndProc(AMessage);
    return;
  }
  AMessage.Result = 0;
  if (!CanModify())
    return;
  const std::wstring saved = Text();
  bool readable = false;
  try {
    TgxInplaceMaskEdit::WndProc(AMessage);
    // The plain conversion: a pasted text keeps no group marks.
    double value = 0;
    readable = TryTextToFloat(Text(), FormatSettings().DecimalSeparator, value);
  } catch (const std::exception&) {
    readable = false;
  }
  if (!readable) {
    SetText(saved);
    SelectAll();
  }
}
