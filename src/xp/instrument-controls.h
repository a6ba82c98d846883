#pragma once

// Interface stable.

#include "alpha-image.h"
#include "controls.h"
#include "graphics.h"
#include "instrument-drawing.h"
#include "instrument-panel.h"
#include "labels.h"
#include "unit-steps.h"
#include "xp-graphics.h"
#include "xp-speed-button.h"

#include <windows.h>

#include <memory>
#include <string>

// The controls set into an instrument front plate: the lamp check box, the
// labels and section captions, and the small push button. On a background
// panel they bake themselves into the plate's image, so the whole plate is
// one bitmap with one brushed grain.

// ---------------------------------------------------------------------------
// Lamp check box

// The lamp glyphs, two cells side by side (unchecked left, checked right).
// All of them are made together on the first request and kept until
// FreeImages.
class TInstrumentCheckImages {
public:
  // The LED (or unrecoloured button) glyph of a lamp style.
  static TAlphaBitmap& InstrumentLEDCheck(TInstrumentCheckStyle AStyle);
  // The push-button cap recoloured to the hue of a plate style.
  static TAlphaBitmap& InstrumentButtonCheck(TInstrumentPanelStyle AStyle);
  // The button table's cap for icsButton, else the LED table's glyph.
  static TAlphaBitmap& GetCheckGlyph(TInstrumentCheckStyle AGlyphStyle,
                                     TInstrumentPanelStyle APanelStyle);
  static bool Loaded();
  static void FreeImages();
};

// Gives every pixel of a 32-bit bitmap the hue of the plate style's colour,
// keeping its saturation, luminance and alpha.
void TintToPanelStyle(TBitmap& ABitmap, TInstrumentPanelStyle AStyle);

// A non-windowed check box whose mark is a lamp glyph, with its caption
// beside it. Every change of Checked, by a click or by code, raises OnClick
// once.
class TCustomInstrumentCheckBox : public TGraphicControl,
                                  public IInstrumentBackgroundImprint,
                                  public IInstrumentPanelStyleClient {
public:
  explicit TCustomInstrumentCheckBox(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TCustomInstrumentCheckBox"; }

  // taRightJustify: glyph left, caption right; taLeftJustify: the reverse.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment AValue);
  bool Checked() const override { return FChecked; }
  void SetChecked(bool AValue);
  TInstrumentCheckStyle GlyphStyle() const { return FGlyphStyle; }
  void SetGlyphStyle(TInstrumentCheckStyle AValue);
  // Clicks neither toggle nor raise OnClick.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool AValue) { FReadOnly = AValue; }

  // Draws glyph and caption as the control would over ARect of ACanvas,
  // with the button cap tinted for APanelStyle.
  void DrawCheck(TCanvas& ACanvas, const RECT& ARect, TInstrumentPanelStyle APanelStyle);

  void ImprintOnBackground(TCustomInstrumentBackgroundPanel* APanel) override;
  void PanelStyleChanged(TInstrumentPanelStyle AStyle) override;
  void TextChanged() override;

protected:
  // Runs after every change of Checked, before OnClick.
  virtual void CheckedChanged() {}
  void Click() override;
  void Paint() override;

private:
  TAlignment FAlignment = taRightJustify;
  bool FChecked = false;
  TInstrumentCheckStyle FGlyphStyle = icsRed;
  bool FReadOnly = false;
  bool FInChanging = false;
};

class TInstrumentCheckBox : public TCustomInstrumentCheckBox {
public:
  using TCustomInstrumentCheckBox::TCustomInstrumentCheckBox;
  std::wstring ClassName() const override { return L"TInstrumentCheckBox"; }
};

// ---------------------------------------------------------------------------
// Labels and section captions

// The two header images of the section captions, loaded on the first
// request and kept until FreeImages.
class TInstrumentHeaderImages {
public:
  static TBitmap& InstrumentHeaderImage1();
  static TBitmap& InstrumentHeaderImage2();
  static bool Loaded();
  static void FreeImages();
};

// A transparent label drawn with smooth text. On a plate it paints nothing
// of its own: the plate's image carries it. Inside a display window it takes
// its colour from the display's style.
class TCustomInstrumentLabel : public TCustomLabel,
                               public IInstrumentBackgroundImprint,
                               public IInstrumentDisplayStyleClient {
public:
  explicit TCustomInstrumentLabel(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TCustomInstrumentLabel"; }

  TEllipsisPosition EllipsisPosition() const { return FEllipsisPosition; }
  void SetEllipsisPosition(TEllipsisPosition AValue);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout AValue);

  // The caption flags of the label's text.
  TXPDrawCaptionFlags CaptionFlags() const;
  // The label's text into ARect of ACanvas.
  virtual void DrawLabelText(TCanvas& ACanvas, const RECT& ARect);

  void ImprintOnBackground(TCustomInstrumentBackgroundPanel* APanel) override;
  void DisplayStyleChanged(TDisplayStyle AStyle) override;
  void SetParent(TWinControl* AParent) override;
  void TextChanged() override;
  void EnabledChanged() override;
  void Loaded() override;

protected:
  void Paint() override;
  void AdjustBounds() override;
  // Every text of the label and the caption goes through here.
  virtual void PaintText(TCanvas& ACanvas, const RECT& ARect, TColor AColor, TAlignment AAlignment,
                         TTextLayout ALayout);

private:
  TEllipsisPosition FEllipsisPosition = epNone;
  TTextLayout FLayout = tlTop;
};

class TInstrumentLabel : public TCustomInstrumentLabel {
public:
  using TCustomInstrumentLabel::TCustomInstrumentLabel;
  std::wstring ClassName() const override { return L"TInstrumentLabel"; }
};

// A section heading: the text over a dark band between two header images,
// in a colour derived from the plate. It paints itself also on a plate.
class TCustomInstrumentCaption : public TCustomInstrumentLabel {
public:
  explicit TCustomInstrumentCaption(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TCustomInstrumentCaption"; }

  // The text colour: the font's without a plate above the caption (display
  // windows do not stop the search), else a lighter shade of the plate.
  TColor TextColor();
  void DrawLabelText(TCanvas& ACanvas, const RECT& ARect) override;

protected:
  void Paint() override;
};

class TInstrumentCaption : public TCustomInstrumentCaption {
public:
  using TCustomInstrumentCaption::TCustomInstrumentCaption;
  std::wstring ClassName() const override { return L"TInstrumentCaption"; }
};

// ---------------------------------------------------------------------------
// Push button

// A speed button showing one of four pre-rendered faces (up or down,
// backlight off or on) in a colour that follows the plate. It bakes its
// face into the plate's image and paints the same face over it.
class TCustomInstrumentButton : public TXPCustomSpeedButton,
                                public IInstrumentBackgroundOverlay,
                                public IInstrumentPanelStyleClient {
public:
  explicit TCustomInstrumentButton(TComponent* AOwner);
  ~TCustomInstrumentButton() override;
  std::wstring ClassName() const override { return L"TCustomInstrumentButton"; }

  // Shows the lit faces; the faces are not rendered again.
  bool Backlight() const { return FBacklight; }
  void SetBacklight(bool AValue);
  // Shows the down faces; the button's own display flag, apart from the
  // group-down state of the speed button.
  bool Down() const { return FDown; }
  void SetDown(bool AValue);

  // The face shown now.
  TBitmap& GetFaceBitmap();
  // One of the four faces.
  TBitmap& FaceBitmap(bool ADown, bool AOn);
  // Whether the font belongs in a stored layout: only when it is not the
  // parent's and differs from "Arial" 6 bold italic white.
  bool IsFontStored();

  void DrawOnBackground(TCustomInstrumentBackgroundPanel* APanel) override;
  void PanelStyleChanged(TInstrumentPanelStyle AStyle) override;
  void SetParent(TWinControl* AParent) override;
  void FontChanged() override;
  void TextChanged() override;
  void Loaded() override;

protected:
  virtual TColor GetFaceTextColor();
  virtual TInstrumentFaceOptions GetFaceOptions(bool ADown, bool AOn);
  virtual TInstrumentCaptionMode GetFaceCaptionMode() { return icmStandard; }
  virtual int GetFaceGlowLevel() { return 5; }
  virtual void BitmapChanged() { Invalidate(); }
  // Renders the four faces again.
  virtual void UpdateBitmaps();

  bool OffsetWhenPressed() override { return false; }
  void DrawCaption(const RECT& ARect, const std::wstring& AText, TColor AColor) override;
  TXPButtonPlacement CalcLayout(const RECT& ARect) override;
  void AppearanceChanged(int AReason) override;
  void Paint() override;
  void Resize() override;

private:
  std::unique_ptr<TBitmap> FBackground_UpOff;
  std::unique_ptr<TBitmap> FBackground_DownOff;
  std::unique_ptr<TBitmap> FBackground_UpOn;
  std::unique_ptr<TBitmap> FBackground_DownOn;
  bool FBacklight = false;
  bool FDown = false;
  int FLockAppearanceChanged = 0;
};

class TInstrumentButton : public TCustomInstrumentButton {
public:
  using TCustomInstrumentButton::TCustomInstrumentButton;
  std::wstring ClassName() const override { return L"TInstrumentButton"; }
};

// ---------------------------------------------------------------------------
// The units' steps: nothing to start; at unloading each frees its shared
// images.
void InstrumentChecksShutdown();
void InstrumentLabelsShutdown();
inline constexpr TUnitStep kInstrumentChecksUnitStep{L"InstrumentChecks", nullptr,
                                                     &InstrumentChecksShutdown};
inline constexpr TUnitStep kInstrumentLabelsUnitStep{L"InstrumentLabels", nullptr,
                                                     &InstrumentLabelsShutdown};
inline constexpr TUnitStep kInstrumentButtonsUnitStep{L"InstrumentButtons", nullptr, nullptr};
