#pragma once

#include "gx-mask-edit.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The numeric in-place editor: a masked text editor with an up and a down
// button at its right edge, inside the border, that steps its value by an
// increment from the keys, the mouse (with auto-repeat) and the wheel. The
// buttons live in the window's non-client area, so clicks on them arrive as
// non-client messages and the edit window keeps its whole client area.

enum TgxValueType : uint8_t { vtInt, vtFloat };
enum TgxSpinButtonState : uint8_t { sbNotDown, sbTopDown, sbBottomDown };

// --- the run time's number texts the numeric editors share ----------------------------------

// The general floating-point form with AValue's 15 significant digits and
// the locale's decimal mark: fixed notation unless the exponent is below -4
// or at least 15, then "1.5E20" / "1E-5".
std::wstring FloatToStrGeneral(double AValue, int APrecision = 15);
// A float in the run time's form: optional blanks around, an optional sign,
// digits with at most one ADecimalSeparator, an optional exponent ("E" or
// "e", optional sign, digits). At least one mantissa digit. False for
// anything else, and for values beyond the range of a Double.
bool TryTextToFloat(const std::wstring& AText, wchar_t ADecimalSeparator, double& AValue);
// The same in extended precision (no range check beyond the format's own).
bool TryTextToExtended(const std::wstring& AText, wchar_t ADecimalSeparator, long double& AValue);
// A decimal integer: optional blanks around, optional sign, digits, within
// 32 bits.
bool TryTextToInt(const std::wstring& AText, int& AValue);

class TgxSpinEditViewData : public TgxTextEditViewData {
public:
  bool ShowButton = false;
  TgxSpinButtonState StateActive = sbNotDown;
  TgxSpinButtonState StatePressed = sbNotDown;
};

// The class operations of the spin editor kind: the button column is
// reserved and drawn from the view data alone, so painted cells show the
// same buttons as the live editor.
class TgxInplaceSpinEditClass : public TgxInplaceTextEditClass {
public:
  static const TgxInplaceSpinEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxSpinEditViewData; }
  void CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                    TgxEditViewInfo& AViewInfo) const override;
  void DrawBorder(HDC ADC, TgxEditViewInfo& AViewInfo, TgxEditViewData& AViewData) const override;
  // 0 unless the view data shows spin buttons; else the system's scroll-bar
  // width made odd, at least 13, one less for flat and simple buttons.
  virtual int CalcSpinButtonWidth(TgxEditViewData& AViewData) const;
  // The column of both buttons inside the border, AWidth wide at the right.
  static RECT ButtonColumn(const TgxEditViewInfo& AViewInfo, int AWidth);
  // The button of a point in the column: the middle line and below belong
  // to the bottom button.
  static TgxSpinButtonState ButtonAt(const RECT& AColumn, POINT APoint);
  // One button's face and arrow.
  static void DrawSpinButton(HDC ADC, RECT ARect, TgxSpinEditViewData& AViewData, bool AUp,
                             bool AActive, bool APressed);
};

class TgxInplaceSpinEdit : public TgxInplaceMaskEdit {
public:
  explicit TgxInplaceSpinEdit(TComponent* AOwner);
  ~TgxInplaceSpinEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceSpinEdit"; }
  const TgxInplaceEditClass& EditClass() const override {
    return TgxInplaceSpinEditClass::Instance();
  }

  // --- the new virtual operations, in slot order ---------------------------------
  virtual double GetIncrement() { return FIncrement; }
  virtual double GetValue();
  virtual bool IsValidChar(wchar_t AKey);
  virtual void SetMaxValue(double AValue);
  virtual void SetMinValue(double AValue);
  virtual void InternalSetMinMaxValues(double AMinValue, double AMaxValue);
  virtual void InternalSetValueType(TgxValueType AValue);
  virtual void SetValue(double AValue);
  virtual double DefaultMaxValue();
  virtual double DefaultMinValue();
  virtual TgxValueType DefaultValueType();

  // --- public settings ---------------------------------------------------------------
  void SetMinMaxValues(double AMinValue, double AMaxValue);
  void SetValueType(TgxValueType AValue);
  bool EditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool AValue) { FEditorEnabled = AValue; }
  double Increment() const { return FIncrement; }
  void SetIncrement(double AValue) { FIncrement = AValue; }
  bool UseCtrlIncrement() const { return FUseCtrlIncrement; }
  void SetUseCtrlIncrement(bool AValue) { FUseCtrlIncrement = AValue; }
  double MinValue() const { return FMinValue; }
  double MaxValue() const { return FMaxValue; }
  TgxValueType ValueType() const { return FValueType; }
  double Value() { return GetValue(); }
  int IntValue();
  void SetIntValue(int AValue) { SetValue(AValue); }
  TgxSpinButtonState StateActive() const { return FStateActive; }
  TgxSpinButtonState StatePressed() const { return FStatePressed; }
  // The auto-repeat timer's identifier, 0 when none is pending.
  UINT_PTR RepeatTimer() const { return FTimer; }

  // --- overrides -----------------------------------------------------------------------
  void ReadDefinitionProperties() override;
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  bool GetDisableCloseEditor() override { return false; }
  bool HandlesMouseWheel() override { return true; }
  void SetSelected(bool AValue) override;
  void MouseButtonClick(int AX, int AY) override;
  void RestoreDefaults() override;
  void ValidateEdit() override;

  // The identifier of the auto-repeat timer and its two delays.
  static constexpr UINT_PTR kRepeatTimerId = 100;
  static constexpr UINT kFirstRepeatDelay = 400;
  static constexpr UINT kRepeatDelay = 100;

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  void KeyUp(WORD& AKey, TShiftState AShift) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void WndProc(TMessage& AMessage) override;
  void DefaultHandler(TMessage& AMessage) override;

  // One step by the pressed button (keys, buttons, timer and wheel).
  void DoSpin();
  // Ends a press of a button (mouse or keyboard).
  void StopTracking();
  void SetStateActive(TgxSpinButtonState AValue);
  void RepaintButtons();
  // A value held in the range; the range is off when both ends are 0.
  double CheckValue(double AValue) const;

private:
  // The button under a screen point, sbNotDown outside the column.
  TgxSpinButtonState HitButton(POINT AScreenPoint);
  void WMNCHitTest(TMessage& AMessage);
  void WMNCLButtonDown(TMessage& AMessage);
  void WMTimer(TMessage& AMessage);
  void StopRepeatTimer();

  bool FEditorEnabled = true;
  double FIncrement = 1.0;
  double FMaxValue = 0;
  double FMinValue = 0;
  TgxSpinButtonState FStateActive = sbNotDown;
  TgxSpinButtonState FStatePressed = sbNotDown;
  UINT_PTR FTimer = 0;
  bool FUseCtrlIncrement = false;
  TgxValueType FValueType = vtInt;
};
