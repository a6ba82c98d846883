#pragma once

// Interface stable.

#include "controls.h"
#include "graphics.h"
#include "xp-controls.h"
#include "xp-graphics.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// A container that paints one of seven backgrounds (the themed pane, a
// bitmap, a gradient, a plain or blended colour, a horizontal or vertical
// wave, a gradient with a bitmap) and a border per side, square or with
// anti-aliased round corners.

enum TXPExtPanelKind : uint8_t {
  epkBackground,
  epkBitmap,
  epkGradient,
  epkSimple,
  epkWavy,
  epkGradientWithBitmap,
  epkVerticalWavy
};
enum TGradientPanelStyle : uint8_t { gsLeftToRight, gsTopToBottom, gsTopShadow };
enum TXPGraphicStretching : uint8_t {
  xgsNone,
  xgsStandard,
  xgsProportional,
  xgsHorizontal,
  xgsVertical
};
using TBorderWidth = int;

class TXPCustomExtPanel : public TXPCustomControl {
public:
  explicit TXPCustomExtPanel(TComponent* AOwner);
  ~TXPCustomExtPanel() override;
  std::wstring ClassName() const override { return L"TXPCustomExtPanel"; }

  TXPExtPanelKind Kind() const { return FKind; }
  void SetKind(TXPExtPanelKind AValue);
  TColor BeginColor() const { return FBeginColor; }
  void SetBeginColor(TColor AValue);
  TColor EndColor() const { return FEndColor; }
  void SetEndColor(TColor AValue);
  TGradientPanelStyle GradientStyle() const { return FGradientStyle; }
  void SetGradientStyle(TGradientPanelStyle AValue);
  // The panel's own bitmap; SetBitmap copies the given one into it.
  TBitmap& Bitmap() { return *FBitmap; }
  void SetBitmap(TBitmap* AValue);
  bool BitmapTransparent() const { return FBitmapTransparent; }
  void SetBitmapTransparent(bool AValue);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment AValue);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout AValue);
  TXPGraphicStretching Stretching() const { return FStretching; }
  void SetStretching(TXPGraphicStretching AValue);
  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor AValue);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool AValue);
  uint8_t AlphaBlendValue() const { return FAlphaBlendValue; }
  void SetAlphaBlendValue(uint8_t AValue);
  bool DesignTransparent() const { return FDesignTransparent; }
  void SetDesignTransparent(bool AValue) { FDesignTransparent = AValue; }
  bool ShowBorder() const { return FShowBorder; }
  void SetShowBorder(bool AValue);
  bool ShowTop() const { return FShowTop; }
  void SetShowTop(bool AValue);
  bool ShowBottom() const { return FShowBottom; }
  void SetShowBottom(bool AValue);
  bool ShowLeft() const { return FShowLeft; }
  void SetShowLeft(bool AValue);
  bool ShowRight() const { return FShowRight; }
  void SetShowRight(bool AValue);
  bool RoundCorners() const { return FRoundCorners; }
  void SetRoundCorners(bool AValue);
  int Radius() const { return FRadius; }
  void SetRadius(int AValue);
  bool UseDefaultColor() const { return FUseDefaultColor; }
  void SetUseDefaultColor(bool AValue);
  TBorderWidth BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(TBorderWidth AValue);

  // Older form data: a Boolean "Stretch" (true is xgsStandard) and a
  // "Caption" string.
  void ReadStretch(bool AValue) { SetStretching(AValue ? xgsStandard : xgsNone); }
  void ReadCaption(const std::wstring& AValue) { SetText(AValue); }

  // Kept for callers that bracket many changes; the panel repaints anyway.
  void BeginUpdate() {}
  void EndUpdate() {}

  // Replaces all of the panel's painting when assigned.
  TNotifyEvent OnPaint;

  void Loaded() override;
  void ColorChanged() override;

protected:
  // Descendants may keep the bitmap to themselves or give the panel a
  // window region; the panel has neither by default.
  virtual bool HideBitmap() { return false; }
  virtual bool UseWindowRegion() { return false; }
  virtual HRGN CreateWindowRegion();

  void Paint() override;
  void AdjustClientRect(RECT& ARect) override;
  void WndProc(TMessage& AMessage) override;

  // False when Transparent is off; at design time (without
  // DesignTransparent) only a bitmap panel and a simple panel that does not
  // blend fully stay see-through.
  bool EffectivelyTransparent() const;
  // What shows around a bitmap: the panel's colour, the design hatch, or
  // nothing (the parent shows through).
  void FillBackground(HDC ADC);
  void DrawKindBackground(HDC ADC);
  void DrawPanelBitmap(HDC ADC, bool ABackgroundFill);
  void DrawBorder(HDC ADC);
  // Where the bitmap lands in the client area by Stretching, Alignment and
  // Layout.
  RECT BitmapPlacement() const;

private:
  void UpdateWindowRegion();
  void DropWindowRegion();
  void DrawEmulatedPane(HDC ADC, int AWidth, int AHeight);
  void DrawThemedPane(HDC ADC, const RECT& ARect);
  void DrawGradient(HDC ADC);
  void DrawSimple(HDC ADC);
  void DrawWave(HDC ADC, bool AVertical);
  void DrawRoundBorder(HDC ADC, const RECT& ARect);
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  bool IsBitmapKind() const { return FKind == epkBitmap || FKind == epkGradientWithBitmap; }
  bool IsGradientKind() const { return FKind == epkGradient || FKind == epkGradientWithBitmap; }

  TXPExtPanelKind FKind = epkBackground;
  TColor FBeginColor = cl3DDkShadow;
  TColor FEndColor = clBtnFace;
  TGradientPanelStyle FGradientStyle = gsTopShadow;
  std::unique_ptr<TBitmap> FBitmap;
  bool FBitmapTransparent = false;
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  TXPGraphicStretching FStretching = xgsNone;
  TColor FBorderColor = cl3DDkShadow;
  bool FTransparent = true;
  uint8_t FAlphaBlendValue = 0;
  bool FDesignTransparent = false;
  bool FShowBorder = false;
  bool FShowTop = true;
  bool FShowBottom = true;
  bool FShowLeft = true;
  bool FShowRight = true;
  bool FRoundCorners = false;
  int FRadius = 0;
  bool FUseDefaultColor = true;
  HRGN FRegion = nullptr;
  TBorderWidth FBorderWidth = 0;
};

class TXPExtPanel : public TXPCustomExtPanel {
public:
  using TXPCustomExtPanel::TXPCustomExtPanel;
  std::wstring ClassName() const override { return L"TXPExtPanel"; }
};
