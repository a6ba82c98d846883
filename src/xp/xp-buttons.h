#pragma once

#include "alpha-image.h"
#include "controls.h"
#include "forms.h"
#include "graphics.h"
#include "unit-steps.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The library's push button and bitmap button: the pressing logic that the
// check box and radio button share, the push-button look with default and
// cancel behaviour and modal results, and the glyph with the standard kinds
// and the shield icon.

enum TXPButtonStyle : uint8_t { xpbsOffice, xpbsWindows };
using TButtonLayout = TXPButtonLayout;
enum TBitBtnKind : uint8_t {
  bkCustom,
  bkOK,
  bkCancel,
  bkHelp,
  bkYes,
  bkNo,
  bkClose,
  bkAbort,
  bkRetry,
  bkIgnore,
  bkAll
};
constexpr TModalResult mrAll = 8;

// The theme's button details the controls name (TThemedButton).
constexpr int tbPushButtonNormal = 2;
constexpr int tbPushButtonHot = 3;
constexpr int tbPushButtonPressed = 4;
constexpr int tbPushButtonDisabled = 5;
constexpr int tbPushButtonDefaulted = 6;
constexpr int tbRadioButtonUncheckedNormal = 7;
constexpr int tbCheckBoxUncheckedNormal = 15;
// The theme's button class parts.
constexpr int kButtonPartPushButton = 1;
constexpr int kButtonPartRadioButton = 2;
constexpr int kButtonPartCheckBox = 3;
constexpr int kButtonPartGroupBox = 4;

// The button message that shows or hides the shield: lParam non-zero shows it.
constexpr UINT kBCMSetShield = 0x160C;

// One row of the kinds' table.
struct TBitBtnKindInfo {
  const wchar_t* Caption;
  TModalResult ModalResult;
  // The glyph's bitmap resource; nullptr for bkCustom.
  const wchar_t* Glyph;
  bool Default;
  bool Cancel;
};
const TBitBtnKindInfo& BitBtnKindInfo(TBitBtnKind AKind);

// ---------------------------------------------------------------------------
// Pressing logic

class TWinXPCustomButtonControl : public TXPCustomControl {
public:
  explicit TWinXPCustomButtonControl(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TWinXPCustomButtonControl"; }

  bool Pressed() const { return FPressed; }
  void SetPressed(bool AValue);
  bool Hot() const { return FHot; }
  // The left button holds the button.
  bool MouseIsDown() const { return FMouseDown; }
  // The space bar holds the button.
  bool SpaceDown() const { return FSpaceDown; }
  TXPLookAndFeel LookAndFeel() const { return FLookAndFeel; }
  void SetLookAndFeel(TXPLookAndFeel AValue);
  // A changed value re-creates the window (BS_MULTILINE).
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool AValue);

  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void EnabledChanged() override;
  void TextChanged() override;

protected:
  // The framework's click.
  virtual void DoClick() { Click(); }
  virtual void PressAt(int AX, int AY);
  virtual void TrackAt(int AX, int AY);
  virtual void Release();
  // The theme's button detail of the state.
  virtual int GetThemeDetail(bool AEnabled, bool APressed, bool AHot) = 0;

  void CreateParams(TCreateParams& AParams) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void WndProc(TMessage& AMessage) override;
  LRESULT DialogCode() override { return DLGC_BUTTON; }
  bool IsDesigning() const { return ComponentState().Contains(csDesigning); }

  bool FMouseDown = false;
  bool FSpaceDown = false;
  bool FPressed = false;
  bool FHot = false;
  bool FWordWrap = false;
  TXPLookAndFeel FLookAndFeel = xlfNative;
};

// ---------------------------------------------------------------------------
// Push button

class TWinXPCustomButton : public TWinXPCustomButtonControl {
public:
  explicit TWinXPCustomButton(TComponent* AOwner);
  ~TWinXPCustomButton() override;
  std::wstring ClassName() const override { return L"TWinXPCustomButton"; }

  bool Cancel() const { return FCancel; }
  void SetCancel(bool AValue) { FCancel = AValue; }
  bool Default() const { return FDefault; }
  // A changed value makes every button of the form work out again which
  // one acts on Enter.
  void SetDefault(bool AValue);
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult AValue) { FModalResult = AValue; }
  TXPButtonStyle Style() const { return FStyle; }
  void SetStyle(TXPButtonStyle AValue);
  // Drawn and acting as the form's default button now.
  bool Active() const { return FActive; }

  TColor HotColor() const { return FHotColor; }
  void SetHotColor(TColor AValue);
  TColor PressedColor() const { return FPressedColor; }
  void SetPressedColor(TColor AValue);
  TColor HotFrameColor() const { return FHotFrameColor; }
  void SetHotFrameColor(TColor AValue);
  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor AValue);
  TAlphaBitmap& CustomImage() { return *FCustomImage; }
  void SetCustomImage(TGraphic* AValue);

  // When enabled, the parent form's ModalResult takes the button's; then
  // OnClick.
  void Click() override;
  void FocusChanged(TWinControl* AFocused) override;
  bool DialogChar(wchar_t AChar) override;

protected:
  virtual bool UsesClassicOffset();
  virtual void DrawCaptionText(const RECT& ARect, TColor AColor);
  virtual void DrawContent(const RECT& ARect, TColor AColor);
  // AClip nullptr: no clip.
  virtual void DrawButtonFace(TColor AColor, const RECT& ARect, const RECT* AClip, bool AEnabled,
                              bool APressed, bool AHot, bool AContent);
  int GetThemeDetail(bool AEnabled, bool APressed, bool AHot) override;
  void CreateWnd() override;
  void Paint() override;
  void WndProc(TMessage& AMessage) override;
  void DrawOfficeFace(const RECT& ARect, TColor AColor);

  bool FCancel = false;
  bool FDefault = false;
  TModalResult FModalResult = mrNone;
  TXPButtonStyle FStyle = xpbsWindows;
  bool FActive = false;
  TColor FHotColor = TColor(0xD2BDB6);
  TColor FPressedColor = TColor(0xB59285);
  TColor FHotFrameColor = TColor(0x6A240A);
  TColor FFrameColor = clWindowFrame;
  std::unique_ptr<TAlphaBitmap> FCustomImage;
};

// ---------------------------------------------------------------------------
// Bitmap button

class TXPCustomBitBtn : public TWinXPCustomButton {
public:
  explicit TXPCustomBitBtn(TComponent* AOwner);
  ~TXPCustomBitBtn() override;
  std::wstring ClassName() const override { return L"TXPCustomBitBtn"; }

  TBitmap& Glyph() { return *FGlyph; }
  // Copies AValue into the glyph (nullptr empties it).
  void SetGlyph(TGraphic* AValue);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout AValue);
  int Margin() const { return FMargin; }
  // Values below -1 are refused.
  void SetMargin(int AValue);
  int Spacing() const { return FSpacing; }
  void SetSpacing(int AValue);
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int AValue);
  // bkCustom, and stays so, once Default, Cancel, ModalResult or the glyph
  // no longer match the kind's row.
  TBitBtnKind Kind();
  void SetKind(TBitBtnKind AValue);
  bool ShowShieldIcon() const { return FShowShieldIcon; }
  void SetShowShieldIcon(bool AValue);
  bool ModifiedGlyph() const { return FModifiedGlyph; }

  void Click() override;

protected:
  void DrawContent(const RECT& ARect, TColor AColor) override;
  void WndProc(TMessage& AMessage) override;
  virtual void GlyphChanged();

  std::unique_ptr<TBitmap> FGlyph;
  TButtonLayout FLayout = TButtonLayout::blGlyphLeft;
  int FMargin = -1;
  int FSpacing = 4;
  int FNumGlyphs = 1;
  TBitBtnKind FKind = bkCustom;
  bool FModifiedGlyph = false;
  bool FShowShieldIcon = false;
};

class TXPBitBtn : public TXPCustomBitBtn {
public:
  using TXPCustomBitBtn::TXPCustomBitBtn;
  std::wstring ClassName() const override { return L"TXPBitBtn"; }
};

// ---------------------------------------------------------------------------
// Shared images

// The kind glyphs, the push-button, check-box and radio-button sprites and
// the shield icon, all made together on the first request and kept until
// FreeImages.
class TXPButtonResourceManager {
public:
  // The glyph of a kind; empty for bkCustom.
  static TBitmap& BitBtnGlyph(TBitBtnKind AKind);
  static TAlphaImage& PushButton();
  static TAlphaImage& CheckBox();
  static TAlphaImage& RadioButton();
  // The small stock shield icon on Vista and later, else nullptr.
  static HICON ShieldIcon();
  static bool Loaded();
  static void FreeImages();
};

// The buttons' entry for the module's unit steps: the images load on first
// use; the shut-down frees them.
inline constexpr TUnitStep kXPButtonsUnitStep{L"WinXPButtons", nullptr,
                                              &TXPButtonResourceManager::FreeImages};
