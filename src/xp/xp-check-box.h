#pragma once

#include "graphics.h"
#include "labels.h"
#include "xp-buttons.h"

#include <windows.h>

#include <memory>
#include <string>

// The library's check box and radio button: focusable controls on the
// buttons' pressing logic that draw their mark in the themed, emulated-XP or
// classic look, or from a picture of the user's, with the caption beside it.

enum TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

class TXPCheckControl : public TWinXPCustomButtonControl {
public:
  explicit TXPCheckControl(TComponent* AOwner);
  ~TXPCheckControl() override;
  std::wstring ClassName() const override { return L"TXPCheckControl"; }

  // taRightJustify: the mark at the left, the caption to its right;
  // taLeftJustify the reverse.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment AValue);
  bool DrawFocusRect() const { return FDrawFocusRect; }
  void SetDrawFocusRect(bool AValue);
  TPicture& CheckImage() { return *FCheckImage; }
  void SetCheckImage(TPersistent* AValue) { FCheckImage->Assign(AValue); }

  bool Checked() const override { return GetChecked(); }
  virtual bool GetChecked() const = 0;
  virtual void SetChecked(bool AValue) = 0;
  // The size of the mark in the current look.
  SIZE GetCheckSize();

  void FontChanged() override;
  bool DialogChar(wchar_t AChar) override;

protected:
  virtual void DrawCaption(TColor ABackground, TColor ATextColor);
  virtual void Toggle() = 0;
  virtual int GetThemePart() = 0;
  virtual int GetFirstThemeDetail() = 0;
  virtual TAlphaImage& GetSpriteImage() = 0;
  virtual UINT GetFrameControlFlags() = 0;

  void CreateWnd() override;
  void Paint() override;
  void WndProc(TMessage& AMessage) override;
  void DrawCheckMark();

  TAlignment FAlignment = taRightJustify;
  bool FDrawFocusRect = true;
  TCheckBoxState FSavedState = cbUnchecked;
  std::unique_ptr<TPicture> FCheckImage;
};

class TXPCheckBox : public TXPCheckControl {
public:
  explicit TXPCheckBox(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPCheckBox"; }

  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool AValue) { FAllowGrayed = AValue; }
  TCheckBoxState State() const { return FState; }
  // A change fires OnClick, unless the mouse or the space bar holds the box
  // (its own click follows) or the form is loading.
  void SetState(TCheckBoxState AValue);
  bool GetChecked() const override { return FState == cbChecked; }
  void SetChecked(bool AValue) override { SetState(AValue ? cbChecked : cbUnchecked); }

  void Click() override;
  bool IsModified() override { return FState != FSavedState; }
  void SaveModifiedState() override { FSavedState = FState; }

protected:
  int GetThemeDetail(bool AEnabled, bool APressed, bool AHot) override;
  void Toggle() override;
  int GetThemePart() override { return kButtonPartCheckBox; }
  int GetFirstThemeDetail() override { return tbCheckBoxUncheckedNormal; }
  TAlphaImage& GetSpriteImage() override { return TXPButtonResourceManager::CheckBox(); }
  UINT GetFrameControlFlags() override;

  bool FAllowGrayed = false;
  TCheckBoxState FState = cbUnchecked;
  bool FInClick = false;
  bool FDisableToggle = false;
};

class TXPRadioButton : public TXPCheckControl {
public:
  explicit TXPRadioButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPRadioButton"; }

  bool GetChecked() const override { return FChecked; }
  // Checking unchecks every radio button of the same parent and group and
  // fires OnClick.
  void SetChecked(bool AValue) override;
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int AValue);

  // The framework's click of a radio button does nothing: checking it
  // fires OnClick.
  void Click() override {}
  void Loaded() override;
  bool IsModified() override { return FChecked != (FSavedState == cbChecked); }
  void SaveModifiedState() override { FSavedState = FChecked ? cbChecked : cbUnchecked; }

protected:
  void DoClick() override;
  int GetThemeDetail(bool AEnabled, bool APressed, bool AHot) override;
  void Toggle() override { SetChecked(true); }
  int GetThemePart() override { return kButtonPartRadioButton; }
  int GetFirstThemeDetail() override { return tbRadioButtonUncheckedNormal; }
  TAlphaImage& GetSpriteImage() override { return TXPButtonResourceManager::RadioButton(); }
  UINT GetFrameControlFlags() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void WndProc(TMessage& AMessage) override;

private:
  void UncheckSiblings();

  bool FChecked = false;
  int FGroupIndex = 0;
};
