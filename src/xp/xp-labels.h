#pragma once

#include "controls.h"
#include "graphics.h"
#include "hint-windows.h"
#include "labels.h"
#include "persistent.h"
#include "xp-graphics.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The library's label: a glyph with a generated disabled image, vertical and
// smooth text, a sunken disabled look, hot tracking of font and cursor, link
// behaviour on click, and a hint that reveals a caption cut off by the
// label's width.

enum TXPGlyphLayout : uint8_t { xglLeft, xglRight };
enum TXPLinkStyle : uint8_t { xlsCustom, xlsNavigate, xlsNavigateInNewWindow, xlsOpenExternally };
enum TXPTextOrientation : uint8_t { xtoDefault, xtoVertical, xtoVerticalClockwise };

// What hovering a label changes.
class TXPHotTrack : public TPersistent {
public:
  std::wstring ClassName() const override { return L"TXPHotTrack"; }
  void Assign(const TPersistent* ASource) override;

  bool TrackFontColor = false;
  TColor HotFontColor = clHotLight;
  bool TrackFontStyle = false;
  TFontStyles HotFontStyle = fsUnderline;
  bool TrackCursor = false;
  TCursor HotCursor = crHandPoint;
};

class TXPCustomLabel;

// The hint window that shows a label's whole caption.
class TLabelHintWindow : public THintWindow {
public:
  explicit TLabelHintWindow(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TLabelHintWindow"; }

  TXPCustomLabel* ALabel = nullptr;
  int BorderWidth = 0;

protected:
  void Paint() override;
  void WndProc(TMessage& AMessage) override;
};

// The navigation procedures of the link styles xlsNavigate and
// xlsNavigateInNewWindow; none is installed, and those styles do nothing
// without one.
using TXPNavigateProc = std::function<void(const std::wstring& AAddress)>;
void SetXPLabelNavigation(TXPNavigateProc ANavigate, TXPNavigateProc ANavigateInNewWindow);

class TXPCustomLabel : public TCustomLabel {
public:
  explicit TXPCustomLabel(TComponent* AOwner);
  ~TXPCustomLabel() override;
  std::wstring ClassName() const override { return L"TXPCustomLabel"; }

  TEllipsisPosition EllipsisPosition() const { return FEllipsisPosition; }
  void SetEllipsisPosition(TEllipsisPosition AValue);
  TPicture& Glyph() { return *FGlyph; }
  // Takes a copy, prepares the glyphs, fits the bounds and repaints.
  void SetGlyph(TPersistent* AValue);
  // The generated image shown while the label is disabled.
  TPicture& GlyphDisabled() { return *FGlyphDisabled; }
  TXPGlyphLayout GlyphLayout() const { return FGlyphLayout; }
  void SetGlyphLayout(TXPGlyphLayout AValue);
  TXPHotTrack& HotTrack() { return *FHotTrack; }
  void SetHotTrack(const TXPHotTrack& AValue);
  const std::wstring& LinkAddress() const { return FLinkAddress; }
  void SetLinkAddress(const std::wstring& AValue) { FLinkAddress = AValue; }
  TXPLinkStyle LinkStyle() const { return FLinkStyle; }
  void SetLinkStyle(TXPLinkStyle AValue) { FLinkStyle = AValue; }
  TXPTextOrientation Orientation() const { return FOrientation; }
  // Moving between horizontal and vertical exchanges width and height.
  void SetOrientation(TXPTextOrientation AValue);
  bool SmoothDraw() const { return FSmoothDraw; }
  void SetSmoothDraw(bool AValue);
  bool SunkenDisabled() const { return FSunkenDisabled; }
  void SetSunkenDisabled(bool AValue);
  // The caption under another name.
  const std::wstring& UnicodeText() const { return Caption(); }
  void SetUnicodeText(const std::wstring& AValue) { SetCaption(AValue); }
  bool RevealCaptionInHint() const { return FRevealCaptionInHint; }
  void SetRevealCaptionInHint(bool AValue) { FRevealCaptionInHint = AValue; }
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout AValue);
  // The hint showing the whole caption while the mouse is over the label,
  // else nullptr.
  TLabelHintWindow* RevealHintWindow() const { return FRevealHintWindow; }

  // The caption flags of the current state.
  TXPDrawCaptionFlags CaptionFlags() const;
  // The size the caption (and glyph) need for a label of width AWidth.
  void CalculateAutoSize(const std::wstring& ACaption, int AWidth, SIZE& ASize);

  void Click() override;
  virtual void NavigateLink();
  void Loaded() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void FontChanged() override;
  void ParentFontChanged() override;
  void EnabledChanged() override;

protected:
  void Paint() override;
  void AdjustBounds() override;
  void Resize() override;
  void PrepareGlyphs();
  // Draws (or, with ACalculate, measures into ARect) the glyph and caption.
  void DoDrawText(TCanvas& ACanvas, RECT& ARect, bool ACalculate);

private:
  void ShowRevealHint();
  void FreeRevealHint();
  bool Vertical() const { return FOrientation != xtoDefault; }

  std::unique_ptr<TPicture> FGlyph;
  std::unique_ptr<TPicture> FGlyphDisabled;
  TXPGlyphLayout FGlyphLayout = xglLeft;
  std::unique_ptr<TXPHotTrack> FHotTrack;
  std::wstring FLinkAddress;
  TXPLinkStyle FLinkStyle = xlsCustom;
  TXPTextOrientation FOrientation = xtoDefault;
  bool FSmoothDraw = false;
  bool FSunkenDisabled = true;
  bool FInternalHotTrack = false;
  TColor FOrigFontColor = clWindowText;
  TFontStyles FOrigFontStyle = 0;
  bool FOrigParentFont = true;
  TCursor FOrigCursor = crDefault;
  TLabelHintWindow* FRevealHintWindow = nullptr;
  bool FRevealCaptionInHint = false;
  TEllipsisPosition FEllipsisPosition = epNone;
  TTextLayout FLayout = tlTop;
  bool FHotTracking = false;
  bool FAdjusting = false;
};

class TXPLabel : public TXPCustomLabel {
public:
  using TXPCustomLabel::TXPCustomLabel;
  std::wstring ClassName() const override { return L"TXPLabel"; }
};
