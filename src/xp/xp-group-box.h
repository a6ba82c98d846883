#pragma once

#include "controls.h"
#include "xp-controls.h"

#include <windows.h>

#include <cstdint>
#include <string>

// A frame around a group of child controls under a caption, drawn through
// the system theme, in the emulated XP look (rounded frame, blue caption) or
// in the classic etched look.

enum TXPGroupBoxOption : uint8_t { xgbIgnoreThemeFont = 1 };
using TXPGroupBoxOptions = uint8_t;

class TXPCustomGroupBox : public TXPCustomControl {
public:
  explicit TXPCustomGroupBox(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPCustomGroupBox"; }

  TXPGroupBoxOptions Options() const { return FOptions; }
  // Repaints only where the options show: in the themed look.
  void SetOptions(TXPGroupBoxOptions AValue);

  void EnabledChanged() override;
  void TextChanged() override;
  void Ctl3DChanged() override;
  // The caption's accelerator focuses the first child.
  bool DialogChar(wchar_t AChar) override;

protected:
  void AdjustClientRect(RECT& ARect) override;
  void CreateParams(TCreateParams& AParams) override;
  void EraseBackground(HDC ADC) override;
  void Paint() override;
  void WndProc(TMessage& AMessage) override;

private:
  // The caption's rectangle (8, 0, 8 + width, height) grown by 4 left and
  // right; empty without a caption.
  RECT CaptionGap(TCanvas& ACanvas, SIZE& ATextSize);
  void PaintClassic(TCanvas& ACanvas);
  void PaintEmulated(TCanvas& ACanvas);
  void PaintThemed(TCanvas& ACanvas);
  void DrawCaptionIn(TCanvas& ACanvas, const RECT& AGap, TColor AColor);

  TXPGroupBoxOptions FOptions = 0;
};

class TXPGroupBox : public TXPCustomGroupBox {
public:
  using TXPCustomGroupBox::TXPCustomGroupBox;
  std::wstring ClassName() const override { return L"TXPGroupBox"; }
};
