#pragma once

// Interface stable.

#include "alpha-image.h"
#include "controls.h"
#include "graphics.h"
#include "menus.h"
#include "timers.h"
#include "unit-steps.h"
#include "xp-colors.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The tool-bar push button of the control library: it can stay down, work
// in exclusive groups, show an alpha glyph strip and a caption, offer a
// drop-down arrow with a popup menu and fade its glyph on hover.

enum TXPSpeedStyle : uint8_t { xssButton, xssDropDown };
enum TXPSpeedKind : uint8_t { xskStandard, xskFading };
enum TButtonState : uint8_t { bsUp, bsDisabled, bsDown, bsExclusive };
using TXPFadeStrength = uint8_t;

// The width of the drop-down part at the right of a drop-down button.
constexpr int kSpeedDropDownWidth = 13;
// The marker of the mouse-enter and mouse-leave notifications a button
// sends itself to bring Hot up to date without starting a fade.
constexpr intptr_t kSpeedHotMarker = 224;
// One fade runs eight steps, one every 20 ms.
constexpr UINT kSpeedFadeInterval = 20;
constexpr int kSpeedFadeSteps = 8;

class TXPBaseCustomSpeedButton : public TXPCustomTransparentControl {
public:
  explicit TXPBaseCustomSpeedButton(TComponent* AOwner);
  ~TXPBaseCustomSpeedButton() override;
  std::wstring ClassName() const override { return L"TXPBaseCustomSpeedButton"; }

  int Margin() const { return FMargin; }
  void SetMargin(int AValue);
  int Spacing() const { return FSpacing; }
  void SetSpacing(int AValue);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int AValue);
  TXPButtonLayout Layout() const { return FLayout; }
  void SetLayout(TXPButtonLayout AValue);
  TXPSpeedStyle Style() const { return FStyle; }
  void SetStyle(TXPSpeedStyle AValue);
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* AValue);
  TXPSpeedKind Kind() const { return FKind; }
  void SetKind(TXPSpeedKind AValue);
  bool Down() const { return FDown; }
  void SetDown(bool AValue);
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool AValue);
  bool Flat() const { return FFlat; }
  void SetFlat(bool AValue);
  TXPFadeStrength FadeStrength() const { return FFadeStrength; }
  void SetFadeStrength(TXPFadeStrength AValue) { FFadeStrength = AValue; }

  bool Hot() const { return FHot; }
  bool Dragging() const { return FDragging; }
  bool DropdownDown() const { return FDropdownDown; }
  TButtonState State() const { return FState; }
  TXPFadeMode FadeMode() const { return FFadeMode; }
  int FadeStep() const { return FFadeStep; }
  // The timer of the running fade, nullptr between fades.
  TTimer* FadeTimer() const;

  // 0 normal, 1 hot, 2 pressed, 3 disabled, 4 checked, 5 checked and hot.
  int GetStateIndex() const;
  // The same, and 2 while the drop-down menu is open.
  int GetArrowStateIndex() const;

  void SetDownState(bool AValue);
  void UpdateDown(bool AValue);
  void UpdateHot();
  // Opens the drop-down menu below the button and waits for it to close.
  void ShowDropDown();

  void ButtonPressed(int AGroupIndex, TControl* AButton) override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void EnabledChanged() override;
  void ColorChanged() override;
  void TextChanged() override;
  bool DialogChar(wchar_t AChar) override;

protected:
  virtual bool OffsetWhenPressed() { return true; }
  virtual void ButtonClick() { Click(); }
  virtual void DrawFrame(const RECT& AButton, const RECT& AArrow, bool APressed);
  virtual void DrawFadingFrame(const RECT& AArrow, bool APressed);
  virtual void DrawGlyphFaded(TCanvas& ACanvas, POINT APosition);
  virtual void DrawCaption(const RECT& ARect, const std::wstring& AText, TColor AColor);
  virtual void DrawContent(const RECT& ARect, TColor ATextColor, bool AFadeAllowed);
  // Places glyph and caption in ARect.
  virtual TXPButtonPlacement CalcLayout(const RECT& ARect);
  virtual bool HasDropDownArrow() { return FStyle == xssDropDown; }
  virtual bool CanStayDown() { return true; }
  virtual TXPDrawCaptionFlags GetCaptionFlags();
  virtual TEllipsisPosition GetEllipsisPosition() { return epNone; }
  virtual bool UsesFadeVeil() { return true; }
  virtual void UpdateExclusive();
  // 0 colour, enabling, glyph, system colours; 1 clicks and group changes;
  // 2 a resize of a transparent button; 3 a window position change.
  virtual void AppearanceChanged(int AReason);
  virtual void RebuildVeil() {}

  // Glyph access; the base has no glyph.
  virtual void DrawGlyphImage(TCanvas& /*ACanvas*/, const RECT& /*ARect*/, bool /*AEnabled*/) {}
  virtual void DrawGlyph(const RECT& /*ARect*/) {}
  virtual bool GetGlyphSize(POINT& ASize) {
    ASize = {0, 0};
    return false;
  }

  void Paint() override;
  // Paint lays the background itself; erasing first would only flicker.
  void EraseBackground(HDC /*ADC*/) override {}
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  void Resize() override;
  void WndProc(TMessage& AMessage) override;

  void StartFade(TXPFadeMode AMode);
  void StopFade();
  // The arrow of the drop-down part in ARect.
  void DrawArrow(const RECT& ARect, TColor AColor, bool APressed, int AOffset);
  bool IsDesigning() const { return ComponentState().Contains(csDesigning); }

  TButtonState FState = bsUp;
  bool FHot = false;
  bool FDragging = false;
  TXPFadeMode FFadeMode = xfmNone;
  int FFadeStep = 0;

private:
  void FadeTick();
  void DrawEmulatedFrame(const RECT& AButton, const RECT& AArrow, bool AArrowShown);
  void DrawThemedFrame(const RECT& AButton, const RECT& AArrow, bool AArrowShown);
  void DrawClassicFrame(RECT AButton, const RECT& AArrow, bool AArrowShown, bool APressed);
  bool CursorInside();

  int FMargin = -1;
  int FSpacing = 4;
  int FGroupIndex = 0;
  TXPButtonLayout FLayout = TXPButtonLayout::blGlyphLeft;
  TXPSpeedStyle FStyle = xssButton;
  TPopupMenu* FDropdownMenu = nullptr;
  TXPSpeedKind FKind = xskStandard;
  bool FDown = false;
  bool FAllowAllUp = false;
  bool FFlat = false;
  bool FDropdownDown = false;
  // The fade timer; a finished one is only stopped in its own tick and
  // freed at the next fade or with the button.
  std::unique_ptr<TTimer> FFadeTimer;
  TXPFadeStrength FFadeStrength = 3;
};

// The button with an alpha glyph: a strip of equal images side by side,
// one per state (up, disabled, down, exclusive).
class TXPCustomSpeedButton : public TXPBaseCustomSpeedButton {
public:
  explicit TXPCustomSpeedButton(TComponent* AOwner);
  ~TXPCustomSpeedButton() override;
  std::wstring ClassName() const override { return L"TXPCustomSpeedButton"; }

  TAlphaBitmap& Glyph() { return *FGlyph; }
  // Copies AValue into the button's glyph (nullptr empties it).
  void SetGlyph(TGraphic* AValue);
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int AValue);
  // The white silhouette blended over the glyph while fading; nullptr when
  // the button does not fade.
  TBitmap* VeilBitmap() const { return FVeilBitmap.get(); }

  void Loaded() override;

protected:
  void DrawGlyphFaded(TCanvas& ACanvas, POINT APosition) override;
  void RebuildVeil() override;
  virtual void GlyphChanged();
  virtual int GetGlyphIndex();

  void DrawGlyphImage(TCanvas& ACanvas, const RECT& ARect, bool AEnabled) override;
  void DrawGlyph(const RECT& ARect) override;
  bool GetGlyphSize(POINT& ASize) override;

private:
  std::unique_ptr<TAlphaBitmap> FGlyph;
  std::unique_ptr<TBitmap> FVeilBitmap;
  int FNumGlyphs = 1;
};

// The shared artwork of the speed buttons and the up-down control, loaded
// together on the first request and kept until FreeImages.
class TSpeedResourceManager {
public:
  static TAlphaImage& SpeedButton();
  static TAlphaImage& SpeedSplit();
  static TAlphaImage& SpeedDropDown();
  static TAlphaImage& XPSpinBtnDown();
  static TAlphaImage& XPSpinBtnLeft();
  static TAlphaImage& XPSpinBtnRight();
  static TAlphaImage& XPSpinBtnUp();
  static TAlphaImage& XPSpinGlyphDown();
  static TAlphaImage& XPSpinGlyphUp();
  static TAlphaImage& XPSpinGlyphLeft();
  static TAlphaImage& XPSpinGlyphRight();
  // The 16 x 32 bitmap of 8 x 8 arrows the classic up-down draws from.
  static TBitmap& StdArrows();
  static bool Loaded();
  // Frees every image; the next request loads them again. The module's
  // shut-down calls it.
  static void FreeImages();
};

// The speed buttons' entry for the module's unit steps: nothing to do at
// start-up (the images load on first use); the shut-down frees them.
inline constexpr TUnitStep kXPSpeedButtonsUnitStep{L"XPSpeedButtons", nullptr,
                                                   &TSpeedResourceManager::FreeImages};
