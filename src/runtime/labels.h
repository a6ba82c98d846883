#pragma once

#include "controls.h"

#include <string>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A caption drawn on its parent, with an optional accelerator ("&Name")
// that focuses its FocusControl. With AutoSize (the default) its bounds
// follow the caption's extent, the edge opposite the alignment staying put.
class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TCustomLabel"; }

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment AValue);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool AValue);
  // A transparent label leaves the parent's drawing under its text.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool AValue);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool AValue);
  // Held without ownership; forgotten when it is freed.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* AValue);

  void TextChanged() override;
  void FontChanged() override;
  bool DialogChar(wchar_t AChar) override;

protected:
  void Paint() override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  // Fits the bounds to the caption when AutoSize is on; a label that
  // measures its text another way replaces it.
  virtual void AdjustBounds();

private:
  UINT TextFlags() const;

  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  bool FWordWrap = false;
  bool FTransparent = false;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
  std::wstring ClassName() const override { return L"TLabel"; }
};

// True when AChar is the accelerator of AText (the character after a single
// "&"; "&&" is a literal ampersand), ignoring case.
bool IsAccel(wchar_t AChar, const std::wstring& AText);
