#pragma once

#include "gx-mask-edit.h"

#include <string>

// The currency editor: a floating-point amount edited as free text (never
// through a mask) and painted, while it is not edited, through a display
// format, by default the locale's currency format. Every keystroke is
// checked against the text it would make, the decimals are limited, the
// value can be held in a range and a null value can show a text of its own.

// The locale's currency display format: grouped digits with the locale's
// currency decimals, the symbol (its "," and "." quoted) placed by the
// locale's positive currency format, then ";-" and the same again.
std::wstring GetCurrencyDisplayFormat();

// A number formatted by a display format in the run time's notation: up to
// three sections (positive; negative; zero) separated by ";", "0" and "#"
// digit placeholders, "," anywhere before the decimal point for digit
// grouping, "." the decimal point, quoted text as it is; every other
// character as it is. The decimal and group marks are the locale's.
std::wstring FormatFloat(const std::wstring& AFormat, double AValue);

class TgxInplaceCurrencyEdit : public TgxInplaceMaskEdit {
public:
  explicit TgxInplaceCurrencyEdit(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxInplaceCurrencyEdit"; }

  // --- the new virtual operations, in slot order ---------------------------------
  virtual bool IsValidChar(wchar_t AKey);
  virtual void InternalSetDisplayFormat(const std::wstring& AValue);
  virtual void SetMaxValue(double AValue);
  virtual void SetMinValue(double AValue);
  virtual void InternalSetMinMaxValues(double AMinValue, double AMaxValue);
  virtual std::wstring DefaultDisplayFormat();
  virtual double DefaultMaxValue();
  virtual double DefaultMinValue();

  // Thousand marks removed, then the run time's text-to-float in extended
  // precision; 0 or a magnitude from 5e-324 to 1.7e308 is accepted.
  static bool TextToValue(const std::wstring& AText, double& AValue);

  // --- public settings ---------------------------------------------------------------
  void SetMinMaxValues(double AMinValue, double AMaxValue);
  int DecimalPlaces() const { return FDecimalPlaces; }
  void SetDecimalPlaces(int AValue) { FDecimalPlaces = AValue; }
  bool UseThousandSeparator() const { return FUseThousandSeparator; }
  void SetUseThousandSeparator(bool AValue) { FUseThousandSeparator = AValue; }
  const std::wstring& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const std::wstring& AValue);
  double MinValue() const { return FMinValue; }
  double MaxValue() const { return FMaxValue; }
  bool Nullable() const { return FNullable; }
  void SetNullable(bool AValue);
  const std::wstring& NullString() const { return FNullString; }
  void SetNullString(const std::wstring& AValue);
  double GetValue();
  void SetValue(double AValue);
  double Value() { return GetValue(); }

  // --- overrides -----------------------------------------------------------------------
  void ReadDefinitionProperties() override;
  void GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) override;
  void GetEditValue(TgxVariant& AValue) override;
  bool IsNeededRedraw() override;
  void RestoreDefaults() override;
  void ValidateEdit() override;
  bool HasDataDefinition() override { return true; }
  void InternalSetEditMask(const std::wstring&) override {}
  void WinIniChange(const std::wstring& ASection) override;

protected:
  void KeyPress(wchar_t& AKey) override;
  void WndProc(TMessage& AMessage) override;

private:
  void InvalidateWindow();
  double CheckValue(double AValue) const;

  int FDecimalPlaces = 2;
  std::wstring FDisplayFormat;
  double FMaxValue = 0;
  double FMinValue = 0;
  bool FNullable = false;
  std::wstring FNullString;
  bool FUseThousandSeparator = false;
};
