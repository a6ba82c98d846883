#include "xp-labels.h"

#include "alpha-image.h"
#include "bitmap-effects.h"
#include "seams.h"
#include "xp-colors.h"
#include "xp-system.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace {

// The space between a glyph and the caption.
constexpr int kGlyphGap = 3;
// The themed tooltip background (TTP_STANDARD, TTSS_NORMAL).
constexpr int kTooltipStandard = 1;
constexpr int kTooltipNormal = 1;

TXPNavigateProc& NavigateProc() {
  static TXPNavigateProc proc;
  return proc;
}
TXPNavigateProc& NavigateInNewWindowProc() {
  static TXPNavigateProc proc;
  return proc;
}

} // namespace

void SetXPLabelNavigation(TXPNavigateProc ANavigate, TXPNavigateProc ANavigateInNewWindow) {
  NavigateProc() = std::move(ANavigate);
  NavigateInNewWindowProc() = std::move(ANavigateInNewWindow);
}

// ===========================================================================
// TXPHotTrack

void TXPHotTrack::Assign(const TPersistent* ASource) {
  auto* source = dynamic_cast<const TXPHotTrack*>(ASource);
  if (!source) {
    TPersistent::Assign(ASource);
    return;
  }
  TrackFontColor = source->TrackFontColor;
  HotFontColor = source->HotFontColor;
  TrackFontStyle = source->TrackFontStyle;
  HotFontStyle = source->HotFontStyle;
  TrackCursor = source->TrackCursor;
  HotCursor = source->HotCursor;
}

// ===========================================================================
// TLabelHintWindow

TLabelHintWindow::TLabelHintWindow(TComponent* AOwner) : THintWindow(AOwner) {}

void TLabelHintWindow::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_ERASEBKGND) {
    AMessage.Result = 1;
    return;
  }
  THintWindow::WndProc(AMessage);
}

void TLabelHintWindow::Paint() {
  TCanvas& canvas = Canvas();
  RECT rect = ClientRect();
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  canvas.Brush().SetColor(clInfoBk);
  canvas.FillRect(rect);
  if (IsWindowsVistaOrLater() && GetXPThemeState() == xtsThemed) {
    RECT background = rect;
    InflateRect(&background, 4, 4);
    HRGN saved = nullptr;
    ClipToRect(canvas.Handle(), rect, saved);
    DrawThemePart(Handle(), L"TOOLTIP", kTooltipStandard, kTooltipNormal, canvas.Handle(),
                  background);
    RestoreClipRgn(canvas.Handle(), saved);
  }
  if (!ALabel)
    return;
  rect.left += BorderWidth;
  rect.top += BorderWidth;
  DrawXPCaption(canvas, rect, ALabel->Caption(), ALabel->Font(), ALabel->Font().Color(),
                ALabel->Alignment(), ALabel->Layout(), ALabel->WordWrap() ? dcfMultiline : 0,
                epNone, 100);
}

// ===========================================================================
// TXPCustomLabel

TXPCustomLabel::TXPCustomLabel(TComponent* AOwner)
    : TCustomLabel(AOwner), FGlyph(std::make_unique<TPicture>()),
      FGlyphDisabled(std::make_unique<TPicture>()), FHotTrack(std::make_unique<TXPHotTrack>()) {
  SetTransparent(true);
  FOrigFontColor = Font().Color();
  FOrigFontStyle = Font().Style();
  FOrigParentFont = ParentFont();
  FOrigCursor = Cursor();
}

TXPCustomLabel::~TXPCustomLabel() = default;

void TXPCustomLabel::SetEllipsisPosition(TEllipsisPosition AValue) {
  if (AValue == FEllipsisPosition)
    return;
  FEllipsisPosition = AValue;
  Invalidate();
}

void TXPCustomLabel::SetGlyph(TPersistent* AValue) {
  FGlyph->Assign(AValue);
  PrepareGlyphs();
  AdjustBounds();
  Invalidate();
}

void TXPCustomLabel::SetGlyphLayout(TXPGlyphLayout AValue) {
  if (AValue == FGlyphLayout)
    return;
  FGlyphLayout = AValue;
  AdjustBounds();
  Invalidate();
}

void TXPCustomLabel::SetHotTrack(const TXPHotTrack& AValue) {
  FHotTrack->Assign(&AValue);
  Invalidate();
}

void TXPCustomLabel::SetOrientation(TXPTextOrientation AValue) {
  if (AValue == FOrientation)
    return;
  const bool wasVertical = Vertical();
  FOrientation = AValue;
  if (wasVertical != Vertical() && !ComponentState().Contains(csLoading))
    SetBounds(Left(), Top(), Height(), Width());
  AdjustBounds();
  Invalidate();
}

void TXPCustomLabel::SetSmoothDraw(bool AValue) {
  if (AValue == FSmoothDraw)
    return;
  FSmoothDraw = AValue;
  AdjustBounds();
  Invalidate();
}

void TXPCustomLabel::SetSunkenDisabled(bool AValue) {
  if (AValue == FSunkenDisabled)
    return;
  FSunkenDisabled = AValue;
  // The disabled glyph is grey or lightened by this setting.
  PrepareGlyphs();
  AdjustBounds();
  Invalidate();
}

void TXPCustomLabel::SetLayout(TTextLayout AValue) {
  if (AValue == FLayout)
    return;
  FLayout = AValue;
  Invalidate();
}

TXPDrawCaptionFlags TXPCustomLabel::CaptionFlags() const {
  TXPDrawCaptionFlags flags = 0;
  if (!Enabled() && FSunkenDisabled)
    flags |= dcfSunkenDisabled;
  if (WordWrap())
    flags |= dcfMultiline;
  if (!ShowAccelChar())
    flags |= dcfNoPrefix;
  if (FSmoothDraw && Enabled())
    flags |= dcfSmoothText | dcfCustomUnderline;
  if (FOrientation == xtoVertical)
    flags |= dcfVertical;
  else if (FOrientation == xtoVerticalClockwise)
    flags |= dcfVertical | dcfVertClockwise;
  return flags;
}

void TXPCustomLabel::PrepareGlyphs() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(FGlyph->Graphic())) {
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetTransparent(true);
  }
  FGlyphDisabled->Assign(FGlyph.get());
  if (auto* bitmap = dynamic_cast<TBitmap*>(FGlyphDisabled->Graphic())) {
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    if (!bitmap->Empty()) {
      if (FSunkenDisabled)
        GreyscaleBitmap(*bitmap);
      else
        LightGreyscaleBitmap(*bitmap);
    }
  } else if (auto* alpha = dynamic_cast<TAlphaBitmap*>(FGlyphDisabled->Graphic())) {
    alpha->SetMonochrome(true);
  }
}

void TXPCustomLabel::DoDrawText(TCanvas& ACanvas, RECT& ARect, bool ACalculate) {
  ACanvas.SetFont(Font());
  const TXPDrawCaptionFlags flags = CaptionFlags();
  TGraphic* glyph = FGlyph->Graphic();
  const bool hasGlyph = glyph && !glyph->Empty();
  if (ACalculate) {
    SIZE text{};
    MeasureXPCaption(ACanvas, ARect, Caption().empty() ? std::wstring(L" ") : Caption(), text, 100,
                     FEllipsisPosition, flags, ACanvas.Font());
    if (hasGlyph) {
      if (!Vertical()) {
        text.cx += glyph->Width() + kGlyphGap;
        text.cy = std::max<LONG>(text.cy, glyph->Height());
      } else {
        text.cx = std::max<LONG>(text.cx, glyph->Width());
        text.cy += glyph->Width() + kGlyphGap;
      }
    }
    ARect.right = ARect.left + text.cx;
    ARect.bottom = ARect.top + text.cy;
    return;
  }
  TColor color = Font().Color();
  if (!Enabled() && !FSunkenDisabled)
    color = clBtnFace;
  RECT text = ARect;
  if (hasGlyph) {
    TGraphic* picture = Enabled() ? glyph : FGlyphDisabled->Graphic();
    if (!picture)
      picture = glyph;
    const int pw = glyph->Width(), ph = glyph->Height();
    const int gw = pw + kGlyphGap, gh = ph + kGlyphGap;
    POINT at{ARect.left, ARect.top};
    if (FGlyphLayout == xglLeft) {
      switch (FOrientation) {
      case xtoDefault:
        text.left += gw;
        break;
      case xtoVertical:
        at = {ARect.left, ARect.bottom - ph};
        text.bottom -= gh;
        break;
      case xtoVerticalClockwise:
        at = {ARect.right - pw, ARect.top};
        text.top += gh;
        break;
      }
    } else {
      switch (FOrientation) {
      case xtoDefault:
        at = {ARect.right - pw, ARect.top};
        text.right -= gw;
        break;
      case xtoVertical:
        text.top += gh;
        break;
      case xtoVerticalClockwise:
        at = {ARect.right - pw, ARect.bottom - ph};
        text.bottom -= gh;
        break;
      }
    }
    // Across the text direction the glyph follows the label's layout.
    const int d = !Vertical() ? (text.bottom - text.top) - ph : (text.right - text.left) - pw;
    const int shift = FLayout == tlCenter ? d / 2 : FLayout == tlBottom ? d : 0;
    if (FOrientation == xtoDefault)
      at.y += shift;
    else if (FOrientation == xtoVertical)
      at.x += shift;
    else
      at.x -= shift;
    ACanvas.Draw(at.x, at.y, picture);
  }
  DrawXPCaption(ACanvas, text, Caption(), Font(), color, Alignment(), FLayout, flags,
                FEllipsisPosition, 100);
}

void TXPCustomLabel::Paint() {
  TCanvas& canvas = Canvas();
  RECT rect = ClientRect();
  if (!Transparent()) {
    canvas.Brush().SetStyle(TBrushStyle::Solid);
    canvas.Brush().SetColor(Color());
    canvas.FillRect(rect);
  }
  canvas.Brush().SetStyle(TBrushStyle::Clear);
  DoDrawText(canvas, rect, false);
  canvas.Brush().SetStyle(TBrushStyle::Solid);
}

void TXPCustomLabel::CalculateAutoSize(const std::wstring& ACaption, int AWidth, SIZE& ASize) {
  TBitmap scratch(1, 1);
  TCanvas& canvas = scratch.Canvas();
  canvas.SetFont(Font());
  const std::wstring saved = Caption();
  RECT rect{0, 0, AWidth, 0};
  if (ACaption == saved) {
    DoDrawText(canvas, rect, true);
  } else {
    SIZE text{};
    MeasureXPCaption(canvas, rect, ACaption, text, 100, FEllipsisPosition, CaptionFlags(),
                     canvas.Font());
    rect.right = text.cx;
    rect.bottom = text.cy;
  }
  ASize = SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void TXPCustomLabel::AdjustBounds() {
  if (FAdjusting || !AutoSize() || ComponentState().Contains(csReading) ||
      ComponentState().Contains(csLoading))
    return;
  FAdjusting = true;
  SIZE size{};
  CalculateAutoSize(Caption(), Vertical() ? Height() : Width(), size);
  int width = Width(), height = Height();
  switch (Align()) {
  case alTop:
  case alBottom:
    height = size.cy;
    break;
  case alLeft:
  case alRight:
    width = size.cx;
    break;
  case alClient:
  case alCustom:
    break;
  default:
    width = size.cx;
    height = size.cy;
    break;
  }
  // A right-aligned caption keeps its right edge.
  int left = Left();
  if (Alignment() == taRightJustify)
    left += Width() - width;
  SetBounds(left, Top(), width, height);
  FAdjusting = false;
}

void TXPCustomLabel::Resize() {
  TCustomLabel::Resize();
  AdjustBounds();
}

void TXPCustomLabel::Click() {
  TCustomLabel::Click();
  if (FLinkStyle != xlsCustom)
    NavigateLink();
}

void TXPCustomLabel::NavigateLink() {
  if (FLinkAddress.empty())
    return;
  switch (FLinkStyle) {
  case xlsCustom:
    if (OnClick)
      OnClick(this);
    break;
  case xlsNavigate:
    if (NavigateProc())
      NavigateProc()(FLinkAddress);
    break;
  case xlsNavigateInNewWindow:
    if (NavigateInNewWindowProc())
      NavigateInNewWindowProc()(FLinkAddress);
    break;
  case xlsOpenExternally:
    ShellExecuteFile(nullptr, L"", FLinkAddress, L"", L"", SW_SHOW);
    break;
  }
}

void TXPCustomLabel::Loaded() {
  TCustomLabel::Loaded();
  PrepareGlyphs();
  AdjustBounds();
}

void TXPCustomLabel::EnabledChanged() {
  TCustomLabel::EnabledChanged();
  AdjustBounds();
}

void TXPCustomLabel::FontChanged() {
  TCustomLabel::FontChanged();
  if (!FInternalHotTrack) {
    FOrigFontColor = Font().Color();
    FOrigFontStyle = Font().Style();
    FOrigParentFont = ParentFont();
  }
}

void TXPCustomLabel::ParentFontChanged() {
  TCustomLabel::ParentFontChanged();
  AdjustBounds();
  if (!FInternalHotTrack) {
    FOrigFontColor = Font().Color();
    FOrigFontStyle = Font().Style();
    FOrigParentFont = ParentFont();
  }
}

void TXPCustomLabel::MouseEnter(intptr_t AMarker) {
  TCustomLabel::MouseEnter(AMarker);
  if (Hint().empty() && FRevealCaptionInHint)
    ShowRevealHint();
  if (!Enabled() || FHotTracking)
    return;
  FHotTracking = true;
  FInternalHotTrack = true;
  if (FHotTrack->TrackFontColor)
    Font().SetColor(FHotTrack->HotFontColor);
  if (FHotTrack->TrackFontStyle)
    Font().SetStyle(FHotTrack->HotFontStyle);
  if (FHotTrack->TrackCursor) {
    FOrigCursor = Cursor();
    SetCursor(FHotTrack->HotCursor);
  }
  FInternalHotTrack = false;
}

void TXPCustomLabel::MouseLeave(intptr_t AMarker) {
  TCustomLabel::MouseLeave(AMarker);
  FreeRevealHint();
  if (!FHotTracking)
    return;
  FHotTracking = false;
  FInternalHotTrack = true;
  if (FHotTrack->TrackFontColor)
    Font().SetColor(FOrigFontColor);
  if (FHotTrack->TrackFontStyle)
    Font().SetStyle(FOrigFontStyle);
  if (FHotTrack->TrackFontColor || FHotTrack->TrackFontStyle)
    SetParentFont(FOrigParentFont);
  if (FHotTrack->TrackCursor)
    SetCursor(FOrigCursor);
  FInternalHotTrack = false;
}

void TXPCustomLabel::ShowRevealHint() {
  FreeRevealHint();
  TBitmap scratch(1, 1);
  TCanvas& canvas = scratch.Canvas();
  canvas.SetFont(Font());
  RECT rect = ClientRect();
  SIZE text{};
  MeasureXPCaption(canvas, rect, Caption(), text, 100, epNone, WordWrap() ? dcfMultiline : 0,
                   canvas.Font());
  if (Width() >= text.cx)
    return;
  auto* hint = new TLabelHintWindow(this);
  hint->ALabel = this;
  hint->BorderWidth = 2;
  hint->Font().Assign(&Font());
  RECT area{rect.left, rect.top, rect.left + text.cx, rect.top + text.cy};
  InflateRect(&area, 2, 2);
  const POINT origin = ClientToScreen(POINT{0, 0});
  OffsetRect(&area, origin.x - 1, origin.y - 1);
  FRevealHintWindow = hint;
  hint->ActivateHint(area, Caption());
}

void TXPCustomLabel::FreeRevealHint() {
  TLabelHintWindow* hint = FRevealHintWindow;
  FRevealHintWindow = nullptr;
  TComponent::Free(hint);
}
