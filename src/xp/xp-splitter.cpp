#include "xp-splitter.h"

#include "xp-animation.h"
#include "xp-controls.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>

// ===========================================================================
// TXPSplitter

TXPSplitter::TXPSplitter(TComponent* AOwner) : TSplitter(AOwner) {}

void TXPSplitter::SetDrawNotch(bool AValue) {
  if (AValue == FDrawNotch)
    return;
  FDrawNotch = AValue;
  Invalidate();
}

void TXPSplitter::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  Invalidate();
}

void TXPSplitter::SetUseDefaultColor(bool AValue) {
  if (AValue == FUseDefaultColor)
    return;
  FUseDefaultColor = AValue;
  Invalidate();
}

void TXPSplitter::Paint() {
  if (OnPaint) {
    OnPaint(this);
    return;
  }
  TCanvas& canvas = Canvas();
  const RECT client = ClientRect();
  if (!FTransparent) {
    canvas.Brush().SetStyle(TBrushStyle::Solid);
    canvas.Brush().SetColor(FUseDefaultColor ? clXPBtnFace : Color());
    canvas.FillRect(client);
    if (Beveled()) {
      // The edge's ends lie beyond the bar, so only its long sides show.
      RECT edge = client;
      if (Align() == alLeft || Align() == alRight)
        InflateRect(&edge, 0, 2);
      else
        InflateRect(&edge, 2, 0);
      DrawEdge(canvas.Handle(), &edge, BDR_RAISEDOUTER, BF_RECT | BF_SOFT);
    }
  }
  if (FDrawNotch)
    DrawGripperDots(canvas, Width(), Height(), 9, Width() < Height());
}

bool TXPSplitter::DoCanResize(int& ANewSize) {
  FIsResizing = true;
  return TSplitter::DoCanResize(ANewSize);
}

void TXPSplitter::StopSizing() {
  TSplitter::StopSizing();
  FIsResizing = false;
}

// ===========================================================================
// TXPTransButton

TXPTransButton::TXPTransButton(TComponent* AOwner, const std::wstring& AResName, bool AInversible)
    : TGraphicControl(AOwner), FGlyph(std::make_unique<TBitmap>()), FInversible(AInversible) {
  FControlStyle &= ~uint32_t(csDoubleClicks);
  SetAnchors(akTop | akRight);
  UpdateGlyph(AResName);
}

TXPTransButton::~TXPTransButton() = default;

void TXPTransButton::UpdateGlyph(const std::wstring& AResName) {
  FGlyph->LoadFromResourceName(FindResourceModule(AResName.c_str(), RT_BITMAP), AResName);
  const int cellWidth = FGlyph->Width() / (FInversible ? 4 : 2);
  SetBounds(Left(), Top(), cellWidth, FGlyph->Height());
  Invalidate();
}

void TXPTransButton::SetInverted(bool AValue) {
  if (FInSetInverted || !FInversible || AValue == FInverted)
    return;
  FInSetInverted = true;
  try {
    FInverted = AValue;
    Invalidate();
    if (auto* owner = dynamic_cast<ITransButtonOwner*>(Owner()))
      owner->InvertedChanged(AValue);
    Click();
  } catch (...) {
    FInSetInverted = false;
    throw;
  }
  FInSetInverted = false;
}

void TXPTransButton::Click() {
  if (FInClick)
    return;
  FInClick = true;
  try {
    if (FInversible && !FInSetInverted)
      SetInverted(!FInverted);
    TGraphicControl::Click();
  } catch (...) {
    FInClick = false;
    throw;
  }
  FInClick = false;
}

void TXPTransButton::MouseEnter(intptr_t AMarker) {
  TGraphicControl::MouseEnter(AMarker);
  FHot = true;
  Invalidate();
}

void TXPTransButton::MouseLeave(intptr_t AMarker) {
  TGraphicControl::MouseLeave(AMarker);
  FHot = false;
  Invalidate();
}

void TXPTransButton::Paint() {
  if (FGlyph->Empty())
    return;
  const int cellWidth = FGlyph->Width() / (FInversible ? 4 : 2);
  const int cell = 2 * (FInverted ? 1 : 0) + (FHot ? 1 : 0);
  TransparentMaskBlt(Canvas().Handle(), 0, 0, cellWidth, FGlyph->Height(),
                     FGlyph->Canvas().Handle(), cellWidth * cell, 0, FGlyph->TransparentColor());
}
