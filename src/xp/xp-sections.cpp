#include "xp-sections.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCoefEpsilon = 1e-6;

// Rounds to the nearest integer, halves to even.
int RoundEven(double AValue) {
  return int(std::nearbyint(AValue));
}

std::unique_ptr<TBitmap>& PatternSlot() {
  static std::unique_ptr<TBitmap> pattern;
  return pattern;
}

// A frame of the pattern brush round ARect, shown while a form is designed.
void DrawPatternFrame(HDC ADC, const RECT& ARect) {
  TBrush brush;
  brush.SetBitmap(&TSectionsResourceManager::PatternBmp());
  FrameRect(ADC, &ARect, brush.Handle());
}

} // namespace

// ===========================================================================
// TSectionsResourceManager

TBitmap& TSectionsResourceManager::PatternBmp() {
  auto& slot = PatternSlot();
  if (!slot) {
    auto pattern = std::make_unique<TBitmap>();
    pattern->LoadFromResourceName(FindResourceModule(L"XPSECTIONSPATTERN", RT_BITMAP),
                                  L"XPSECTIONSPATTERN");
    slot = std::move(pattern);
  }
  return *slot;
}

bool TSectionsResourceManager::Loaded() {
  return PatternSlot() != nullptr;
}

void TSectionsResourceManager::FreeImages() {
  PatternSlot().reset();
}

// ===========================================================================
// TXPSectionSplitter

TXPSectionSplitter::TXPSectionSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  EnsureSplitCursors();
  FControlStyle &= ~uint32_t(csClickEvents | csDoubleClicks);
  SetCursor(crHSplit);
}

TXPSectionSplitter::~TXPSectionSplitter() {
  FKeyWatch.reset();
  FLineDC.reset();
}

TXPCustomSectionsPanel* TXPSectionSplitter::Panel() const {
  return dynamic_cast<TXPCustomSectionsPanel*>(Parent());
}

void TXPSectionSplitter::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  Invalidate();
}

void TXPSectionSplitter::SetVertical(bool AValue) {
  FVertical = AValue;
  UpdateCursor();
}

void TXPSectionSplitter::UpdateCursor() {
  // Only a split cursor follows the bar's direction; one the user chose stays.
  if (Cursor() != crHSplit && Cursor() != crVSplit)
    return;
  SetCursor(FVertical ? crHSplit : crVSplit);
}

void TXPSectionSplitter::Resize() {
  TGraphicControl::Resize();
  UpdateCursor();
}

bool TXPSectionSplitter::AllowResize(int& ANewSize) {
  bool accept = true;
  if (OnCanResize)
    OnCanResize(this, ANewSize, accept);
  return accept;
}

void TXPSectionSplitter::Paint() {
  if (OnPaint) {
    OnPaint(this);
    return;
  }
  if (FTransparent)
    return;
  TCanvas& canvas = Canvas();
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  canvas.Brush().SetColor(clXPBtnFace);
  canvas.FillRect(ClientRect());
}

int TXPSectionSplitter::CalcNewPos(int AX, int AY) const {
  return FVertical ? AX + Left() - FDownPos.x : AY + Top() - FDownPos.y;
}

void TXPSectionSplitter::DrawLine(TSplitterLineDC& ADC) {
  FLineVisible = !FLineVisible;
  RECT line = BoundsRect();
  if (FVertical)
    OffsetRect(&line, FNewSize - line.left, 0);
  else
    OffsetRect(&line, 0, FNewSize - line.top);
  ADC.Invert(line);
}

std::vector<TXPSectionSplitter*> TXPSectionSplitter::PreviewBars() {
  std::vector<TXPSectionSplitter*> bars;
  TXPCustomSectionsPanel* panel = Panel();
  if (panel && panel->ExtendedResize()) {
    for (int i = 0; i < panel->SectionCount(); ++i) {
      TXPCustomSection* section = panel->Sections(i);
      if (section->Visible() && section->Splitter() && section->Splitter()->Visible())
        bars.push_back(section->Splitter());
    }
  } else {
    bars.push_back(this);
  }
  return bars;
}

void TXPSectionSplitter::ShowLines() {
  if (!FLineDC)
    return;
  for (TXPSectionSplitter* bar : PreviewBars())
    if (!bar->FLineVisible)
      bar->DrawLine(*FLineDC);
}

void TXPSectionSplitter::EraseLines() {
  if (!FLineDC)
    return;
  TXPCustomSectionsPanel* panel = Panel();
  // Every bar whose line shows, whatever the panel's setting is now.
  std::vector<TXPSectionSplitter*> bars{this};
  if (panel)
    for (int i = 0; i < panel->SectionCount(); ++i)
      if (TXPSectionSplitter* bar = panel->Sections(i)->Splitter(); bar && bar != this)
        bars.push_back(bar);
  for (TXPSectionSplitter* bar : bars)
    if (bar->FLineVisible)
      bar->DrawLine(*FLineDC);
}

void TXPSectionSplitter::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft || FInSizing)
    return;
  FInSizing = true;
  FDownPos = {AX, AY};
  FOrigTop = Position();
  // A drag that ends where the bar stands moves nothing, whatever was
  // reported before the layout last changed.
  FOldSize = FOrigTop;
  TXPCustomSectionsPanel* panel = Panel();
  if (panel)
    for (int i = 0; i < panel->SectionCount(); ++i) {
      TXPCustomSection* section = panel->Sections(i);
      section->FOrigHeight = FVertical ? section->Width() : section->Height();
    }
  FNewSize = CalcNewPos(AX, AY);
  if (Parent() && Parent()->HandleAllocated())
    FLineDC = std::make_unique<TSplitterLineDC>(Parent()->Handle(), FResizeStyle == rsPattern);
  FKeyWatch = std::make_unique<TDragKeyWatch>([this] { StopSizing(true); });
  if (FResizeStyle == rsLine || FResizeStyle == rsPattern) {
    if (panel && panel->ExtendedResize())
      panel->PreviewDrag(this);
    ShowLines();
  }
}

void TXPSectionSplitter::MouseMove(TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseMove(AShift, AX, AY);
  if (!(AShift & ssLeft) || !FInSizing)
    return;
  int position = CalcNewPos(AX, AY);
  if (!AllowResize(position))
    return;
  switch (FResizeStyle) {
  case rsLine:
  case rsPattern: {
    EraseLines();
    FNewSize = position;
    TXPCustomSectionsPanel* panel = Panel();
    if (panel && panel->ExtendedResize())
      panel->PreviewDrag(this);
    ShowLines();
    break;
  }
  case rsUpdate:
    FNewSize = position;
    UpdateSize();
    break;
  case rsNone:
    FNewSize = position;
    break;
  }
}

void TXPSectionSplitter::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseUp(AButton, AShift, AX, AY);
  if (!FInSizing)
    return;
  EraseLines();
  UpdateSize();
  StopSizing(false);
}

void TXPSectionSplitter::CancelMode(TControl* ASender) {
  TGraphicControl::CancelMode(ASender);
  // A lost mouse ends the drag as Escape does: the previewed position holds.
  StopSizing(true);
}

void TXPSectionSplitter::UpdateSize() {
  if (FNewSize == FOldSize)
    return;
  Repaint();
  if (OnMoved)
    OnMoved(this);
  FOldSize = FNewSize;
}

void TXPSectionSplitter::StopSizing(bool ANotify) {
  if (!FInSizing)
    return;
  EraseLines();
  FInSizing = false;
  FLineDC.reset();
  FKeyWatch.reset();
  if (ANotify && OnMoved)
    OnMoved(this);
}

// ===========================================================================
// TXPCustomSection

TXPCustomSection::TXPCustomSection(TComponent* AOwner) : TXPNonFlickingControl(AOwner) {
  FSplitter = new TXPSectionSplitter(this);
  FSplitter->FreeNotification(this);
  FSplitter->SetHeight(5);
  FSplitter->SetMinSize(50);
  FSplitter->SetTransparent(true);
  FSplitter->OnCanResize = [this](TControl*, int& ANewSize, bool& AAccept) {
    ClampSplitterPos(ANewSize, AAccept);
  };
  FSplitter->OnMoved = [this](TControl*) { SplitterMoved(); };
  FControlStyle |= csAcceptsControls;
  SetTabStop(false);
  SetBounds(Left(), Top(), 185, Height());
}

TXPCustomSection::~TXPCustomSection() {
  if (FSplitter) {
    FSplitter->OnCanResize = nullptr;
    FSplitter->OnMoved = nullptr;
  }
}

TXPCustomSectionsPanel* TXPCustomSection::Panel() const {
  return dynamic_cast<TXPCustomSectionsPanel*>(Parent());
}

void TXPCustomSection::Notification(TComponent* AComponent, TOperation AOperation) {
  TXPNonFlickingControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FSplitter)
    FSplitter = nullptr;
}

void TXPCustomSection::SetBorderColor(TColor AValue) {
  if (AValue == FBorderColor)
    return;
  FBorderColor = AValue;
  if (FShowBorder)
    Invalidate();
}

void TXPCustomSection::SetShowBorder(bool AValue) {
  if (AValue == FShowBorder)
    return;
  FShowBorder = AValue;
  Realign();
  Invalidate();
}

void TXPCustomSection::Resize() {
  TXPNonFlickingControl::Resize();
  Invalidate();
}

void TXPCustomSection::AdjustClientRect(RECT& ARect) {
  TXPNonFlickingControl::AdjustClientRect(ARect);
  if (FShowBorder)
    InflateRect(&ARect, -1, -1);
}

void TXPCustomSection::EraseBackground(HDC ADC) {
  TXPNonFlickingControl::EraseBackground(ADC);
  const RECT client = ClientRect();
  if (FShowBorder) {
    FrameSolidRect(ADC, client, FBorderColor);
  } else if (ComponentState().Contains(csDesigning)) {
    DrawPatternFrame(ADC, client);
  }
}

void TXPCustomSection::ValidateParent(TWinControl* AParent) {
  TXPNonFlickingControl::ValidateParent(AParent);
  if (AParent && Owner() && !dynamic_cast<TXPCustomSectionsPanel*>(AParent))
    throw Exception(ClassName() + L" can be inserted only in TXPCustomSectionsPanel.");
}

void TXPCustomSection::SetParent(TWinControl* AParent) {
  if (AParent == Parent())
    return;
  TXPCustomSectionsPanel* oldPanel = Panel();
  TXPNonFlickingControl::SetParent(AParent);
  if (FSplitter)
    FSplitter->SetParent(AParent);
  if (oldPanel)
    oldPanel->NormalizeAndRearrange();
  if (TXPCustomSectionsPanel* panel = Panel()) {
    if (FSplitter) {
      FSplitter->SetResizeStyle(panel->ResizeStyle());
      FSplitter->SetHeight(panel->SplitterWidth());
    }
    panel->NormalizeAndRearrange();
  }
}

void TXPCustomSection::VisibilityChanged() {
  if (FSplitter)
    FSplitter->SetVisible(Visible());
  if (TXPCustomSectionsPanel* panel = Panel())
    panel->Rearrange();
}

void TXPCustomSection::VisibleChanged() {
  TXPNonFlickingControl::VisibleChanged();
  VisibilityChanged();
}

void TXPCustomSection::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const RECT before = BoundsRect();
  TXPNonFlickingControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  // The framework's alignment passes every child its bounds again; only a
  // real change of the section's extent is the user's new share.
  const RECT after = BoundsRect();
  if (EqualRect(&before, &after))
    return;
  TXPCustomSectionsPanel* panel = Panel();
  if (!panel || panel->FInRearranging || ComponentState().Contains(csLoading) ||
      ComponentState().Contains(csReading))
    return;
  const std::vector<TXPCustomSection*> shown = panel->ShownSections();
  const int bar = FSplitter ? panel->Extent(FSplitter) : panel->SplitterWidth();
  const int avail = panel->ClientExtent() - panel->StartMargin() - panel->EndMargin() -
                    (int(shown.size()) - 1) * bar;
  if (avail > 0)
    FSizeCoef = double(panel->Extent(this)) / avail;
  double resizeable = 0;
  double others = 0;
  for (TXPCustomSection* section : shown) {
    if (section != this && section->FResizeable)
      resizeable += section->FSizeCoef;
    else
      others += section->FSizeCoef;
  }
  if (resizeable != 0)
    for (TXPCustomSection* section : shown)
      if (section != this && section->FResizeable)
        section->FSizeCoef *= (1 - others) / resizeable;
  panel->Rearrange();
}

void TXPCustomSection::ClampSplitterPos(int& ANewSize, bool& AAccept) {
  AAccept = FResizeable;
  TXPCustomSectionsPanel* panel = Panel();
  if (!panel || !FSplitter)
    return;
  const int barPosition = FSplitter->Position();
  if (ANewSize == barPosition)
    return;
  if (ANewSize < barPosition) {
    const int lowest = panel->PositionOf(this) + (FResizeable ? FMinSize : panel->Extent(this));
    ANewSize = std::max(ANewSize, lowest);
    return;
  }
  const std::vector<TXPCustomSection*> shown = panel->ShownSections();
  TXPCustomSection* lastResizeable = nullptr;
  for (TXPCustomSection* section : shown)
    if (section->FResizeable)
      lastResizeable = section;
  int spaceBelow = 0;
  int below = 0;
  for (TXPCustomSection* section : shown) {
    if (panel->PositionOf(section) <= barPosition)
      continue;
    const bool keepsSize =
        !section->FResizeable || (panel->ResizeMode() == xrmStandard && section != lastResizeable);
    spaceBelow += keepsSize ? panel->Extent(section) : section->FMinSize;
    ++below;
  }
  if (below > 1)
    spaceBelow += (below - 1) * panel->Extent(FSplitter);
  const int highest =
      panel->ClientExtent() - panel->EndMargin() - panel->SplitterWidth() - spaceBelow;
  ANewSize = std::min(ANewSize, highest);
}

void TXPCustomSection::SplitterMoved() {
  TXPCustomSectionsPanel* panel = Panel();
  if (!panel || !FSplitter)
    return;
  panel->FLastResized = this;
  panel->AdjustCoefs(FSplitter);
  panel->Rearrange();
}

// ===========================================================================
// TXPCustomSectionsPanel

TXPCustomSectionsPanel::TXPCustomSectionsPanel(TComponent* AOwner) : TXPNonFlickingControl(AOwner) {
  FControlStyle |= csAcceptsControls;
  SetBounds(Left(), Top(), 185, 185);
  SetParentColor(true);
  SetParentFont(true);
  SetTabStop(false);
}

TXPCustomSectionsPanel::~TXPCustomSectionsPanel() = default;

void TXPCustomSectionsPanel::Destroying() {
  const bool first = !ComponentState().Contains(csDestroying);
  // The layout is saved while every section is still in the panel: an owner
  // that frees its components marks them all before the first one goes.
  if (first && FSaveInRegistry) {
    try {
      SaveLayout();
    } catch (...) {
      // A panel on its way out cannot report a registry that refuses.
    }
  }
  TXPNonFlickingControl::Destroying();
}

void TXPCustomSectionsPanel::CreateParams(TCreateParams& AParams) {
  TXPNonFlickingControl::CreateParams(AParams);
  AParams.Style |= WS_CLIPCHILDREN;
}

void TXPCustomSectionsPanel::SetMargin(unsigned AValue) {
  if (AValue == FMargin)
    return;
  FMargin = AValue;
  Rearrange();
}

void TXPCustomSectionsPanel::SetSplitterWidth(int AValue) {
  if (AValue == FSplitterWidth)
    return;
  FSplitterWidth = AValue;
  Rearrange();
}

void TXPCustomSectionsPanel::SetResizeMode(TXPResizeMode AValue) {
  if (AValue == FResizeMode)
    return;
  FResizeMode = AValue;
  if (AValue == xrmProportional)
    InitCoefsFromSizes();
}

void TXPCustomSectionsPanel::SetResizeStyle(TResizeStyle AValue) {
  if (AValue == FResizeStyle)
    return;
  FResizeStyle = AValue;
  for (int i = 0; i < SectionCount(); ++i)
    if (TXPSectionSplitter* bar = Sections(i)->Splitter())
      bar->SetResizeStyle(AValue);
}

void TXPCustomSectionsPanel::SetHorizontal(bool AValue) {
  FHorizontal = AValue;
  Rearrange();
}

int TXPCustomSectionsPanel::SectionCount() const {
  int count = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (dynamic_cast<TXPCustomSection*>(Controls(i)))
      ++count;
  return count;
}

TXPCustomSection* TXPCustomSectionsPanel::Sections(int AIndex) const {
  int index = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* section = dynamic_cast<TXPCustomSection*>(Controls(i))) {
      if (index == AIndex)
        return section;
      ++index;
    }
  return nullptr;
}

std::vector<TXPCustomSection*> TXPCustomSectionsPanel::ShownSections() const {
  std::vector<TXPCustomSection*> shown;
  for (int i = 0; i < SectionCount(); ++i)
    if (TXPCustomSection* section = Sections(i); IsSectionShown(section))
      shown.push_back(section);
  return shown;
}

TXPCustomSection* TXPCustomSectionsPanel::CreateSection(TComponent* AOwner) {
  return new TXPSection(AOwner);
}

bool TXPCustomSectionsPanel::IsSectionShown(const TXPCustomSection* ASection) const {
  return ASection->Visible() || IsDesigning();
}

TXPCustomSection* TXPCustomSectionsPanel::AddNewSection() {
  TXPCustomSection* section = CreateSection(Owner());
  try {
    AddSection(section, false);
  } catch (...) {
    TComponent::Free(section);
    throw;
  }
  return section;
}

void TXPCustomSectionsPanel::AddSection(TXPCustomSection* ASection, bool AKeepSizeCoef) {
  if (!ASection || ASection->Parent() == this)
    return;
  BeginUpdate();
  try {
    if (!AKeepSizeCoef) {
      const int count = SectionCount();
      ASection->FSizeCoef = count > 0 ? Sections(count - 1)->FSizeCoef : 1.0;
    }
    ASection->SetParent(this);
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
}

void TXPCustomSectionsPanel::RemoveSection(TXPCustomSection* ASection) {
  if (!ASection || ASection->Parent() != this)
    return;
  BeginUpdate();
  try {
    ASection->SetParent(nullptr);
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
}

void TXPCustomSectionsPanel::ClearSections() {
  BeginUpdate();
  try {
    for (int i = SectionCount() - 1; i >= 0; --i)
      TComponent::Free(Sections(i));
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
}

void TXPCustomSectionsPanel::EndUpdate() {
  if (FUpdateCount <= 0)
    return;
  if (--FUpdateCount == 0)
    NormalizeAndRearrange();
}

void TXPCustomSectionsPanel::ValidateInsertControl(TControl* AControl) {
  TXPNonFlickingControl::ValidateInsertControl(AControl);
  if (!dynamic_cast<TXPCustomSection*>(AControl) && !dynamic_cast<TXPSectionSplitter*>(AControl))
    throw Exception(AControl->ClassName() + L" can't be inserted into " + ClassName() + L".");
}

void TXPCustomSectionsPanel::EraseBackground(HDC ADC) {
  TXPNonFlickingControl::EraseBackground(ADC);
  if (IsDesigning())
    DrawPatternFrame(ADC, ClientRect());
}

void TXPCustomSectionsPanel::Loaded() {
  TXPNonFlickingControl::Loaded();
  InitCoefsFromSizes();
  if (!(FSaveInRegistry && LoadLayout()))
    Rearrange();
}

void TXPCustomSectionsPanel::Resize() {
  TXPNonFlickingControl::Resize();
  Rearrange();
  Invalidate();
}

int TXPCustomSectionsPanel::ClientExtent() const {
  const RECT client = ClientRect();
  return FHorizontal ? client.right - client.left : client.bottom - client.top;
}

// --- coefficients --------------------------------------------------------------

void TXPCustomSectionsPanel::Normalize(std::vector<double>& ACoefs) const {
  if (FResizeMode != xrmProportional || FUpdateCount > 0 || FInRearranging)
    return;
  double sum = 0;
  for (double coef : ACoefs)
    sum += coef;
  if (sum == 1 || std::fabs(sum) <= kCoefEpsilon)
    return;
  for (double& coef : ACoefs)
    coef /= sum;
}

void TXPCustomSectionsPanel::NormalizeAndRearrange() {
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading))
    return;
  std::vector<double> coefs;
  for (int i = 0; i < SectionCount(); ++i)
    coefs.push_back(Sections(i)->FSizeCoef);
  Normalize(coefs);
  for (int i = 0; i < SectionCount(); ++i)
    Sections(i)->FSizeCoef = coefs[size_t(i)];
  Rearrange();
}

void TXPCustomSectionsPanel::InitCoefsFromSizes() {
  std::vector<double> coefs;
  for (int i = 0; i < SectionCount(); ++i)
    coefs.push_back(Extent(Sections(i)));
  Normalize(coefs);
  for (int i = 0; i < SectionCount(); ++i)
    Sections(i)->FSizeCoef = coefs[size_t(i)];
}

void TXPCustomSectionsPanel::AdjustCoefs(TXPSectionSplitter* ASplitter) {
  const std::vector<TXPCustomSection*> shown = ShownSections();
  const int n = int(shown.size());
  int dragged = -1;
  for (int i = 0; i < n; ++i)
    if (shown[size_t(i)]->Splitter() == ASplitter)
      dragged = i;
  if (dragged < 0)
    return;
  std::vector<double> coefs(size_t(n), 0.0);
  for (int i = 0; i < n; ++i)
    coefs[size_t(i)] = shown[size_t(i)]->FSizeCoef;
  const int extent = ClientExtent();
  const int freeExtent = extent - StartMargin() - EndMargin() - (n - 1) * FSplitterWidth;
  switch (FResizeMode) {
  case xrmStandard: {
    int last = -1;
    for (int i = 0; i < n; ++i)
      if (shown[size_t(i)]->FResizeable)
        last = i;
    const int delta = ASplitter->NewSize() - ASplitter->Position();
    for (int i = 0; i < n; ++i)
      coefs[size_t(i)] = Extent(shown[size_t(i)]);
    coefs[size_t(dragged)] += delta;
    if (last >= 0) {
      double others = 0;
      for (int i = 0; i < n; ++i)
        if (i != last)
          others += RoundEven(coefs[size_t(i)]);
      coefs[size_t(last)] = freeExtent - others;
    }
    break;
  }
  case xrmAdjacent: {
    const int delta = ASplitter->NewSize() - ASplitter->OrigTop();
    for (int i = 0; i < n; ++i)
      coefs[size_t(i)] = shown[size_t(i)]->FOrigHeight;
    coefs[size_t(dragged)] += delta;
    // The next sections give up what the dragged one takes, each down to
    // its minimum, the rest passing on to the one after.
    double shortfall = delta;
    for (int i = dragged + 1; i < n && shortfall != 0; ++i) {
      TXPCustomSection* section = shown[size_t(i)];
      const double wanted = section->FOrigHeight - shortfall;
      if (wanted < section->FMinSize) {
        coefs[size_t(i)] = section->FMinSize;
        shortfall = section->FMinSize - RoundEven(wanted);
      } else {
        coefs[size_t(i)] = wanted;
        shortfall = 0;
      }
    }
    break;
  }
  case xrmProportional: {
    if (freeExtent <= 0)
      break;
    coefs[size_t(dragged)] =
        double(ASplitter->NewSize() - PositionOf(shown[size_t(dragged)])) / freeExtent;
    if (dragged + 1 < n) {
      const double below =
          extent - EndMargin() - PositionOf(shown[size_t(dragged + 1)]) - (n - 2) * FSplitterWidth;
      const double rest = extent - EndMargin() - ASplitter->NewSize() - (n - 1) * FSplitterWidth;
      if (below != 0)
        for (int i = 0; i < n; ++i)
          if (i != dragged)
            coefs[size_t(i)] = rest * coefs[size_t(i)] / below;
    }
    break;
  }
  }
  Normalize(coefs);
  for (int i = 0; i < n; ++i)
    shown[size_t(i)]->FSizeCoef = coefs[size_t(i)];
}

// --- layout --------------------------------------------------------------------

std::vector<int> TXPCustomSectionsPanel::CalcSizes(const std::vector<TXPCustomSection*>& AShown) {
  const int n = int(AShown.size());
  std::vector<int> sizes(size_t(n), 0);
  if (n == 0)
    return sizes;
  const int total = ClientExtent() - StartMargin() - EndMargin() - (n - 1) * FSplitterWidth;
  double sumCoef = 0;
  for (TXPCustomSection* section : AShown)
    sumCoef += section->FSizeCoef;
  enum TKind { kUndecided, kFixed, kPinned, kFree };
  std::vector<TKind> kinds(size_t(n), kUndecided);
  for (int i = 0; i < n; ++i) {
    if (AShown[size_t(i)] != FLastResized)
      continue;
    for (int j = 0; j < i; ++j) {
      sizes[size_t(j)] = Extent(AShown[size_t(j)]);
      kinds[size_t(j)] = kFixed;
    }
    if (TXPSectionSplitter* bar = AShown[size_t(i)]->Splitter())
      sizes[size_t(i)] = bar->NewSize() - PositionOf(AShown[size_t(i)]);
    else
      sizes[size_t(i)] = Extent(AShown[size_t(i)]);
    kinds[size_t(i)] = kFixed;
  }
  double sumFree = 0;
  for (int i = 0; i < n; ++i) {
    if (kinds[size_t(i)] != kUndecided)
      continue;
    TXPCustomSection* section = AShown[size_t(i)];
    if (!section->FResizeable || std::fabs(sumCoef) <= kCoefEpsilon) {
      sizes[size_t(i)] = Extent(section);
      kinds[size_t(i)] = kFixed;
    } else if (RoundEven(total * section->FSizeCoef / sumCoef) > section->FMinSize) {
      kinds[size_t(i)] = kFree;
      sumFree += section->FSizeCoef;
    } else {
      sizes[size_t(i)] = section->FMinSize;
      kinds[size_t(i)] = kPinned;
    }
  }
  int rest = total;
  for (int i = 0; i < n; ++i)
    if (kinds[size_t(i)] == kFixed || kinds[size_t(i)] == kPinned)
      rest -= sizes[size_t(i)];
  if (sumFree > kCoefEpsilon) {
    int lastFree = -1;
    for (int i = 0; i < n; ++i)
      if (kinds[size_t(i)] == kFree) {
        sizes[size_t(i)] = RoundEven(rest * AShown[size_t(i)]->FSizeCoef / sumFree);
        lastFree = i;
      }
    int others = 0;
    for (int i = 0; i < n; ++i)
      if (i != lastFree)
        others += sizes[size_t(i)];
    sizes[size_t(lastFree)] = total - others;
  }
  int sum = 0;
  for (int size : sizes)
    sum += size;
  if (sum < total) {
    int extra = total;
    double sumPinned = 0;
    for (int i = 0; i < n; ++i) {
      if (kinds[size_t(i)] == kPinned)
        sumPinned += AShown[size_t(i)]->FSizeCoef;
      else
        extra -= sizes[size_t(i)];
    }
    if (sumPinned > kCoefEpsilon && total != 0)
      for (int i = 0; i < n; ++i) {
        if (kinds[size_t(i)] != kPinned)
          continue;
        TXPCustomSection* section = AShown[size_t(i)];
        sizes[size_t(i)] = RoundEven(extra * section->FSizeCoef / sumPinned);
        section->FSizeCoef = section->FSizeCoef / sumPinned * (double(extra) / total);
      }
  }
  for (int& size : sizes)
    size = std::abs(size);
  return sizes;
}

void TXPCustomSectionsPanel::ApplySizes(const std::vector<TXPCustomSection*>& AShown,
                                        const std::vector<int>& ASizes) {
  const int cross = FHorizontal ? GetTopMargin() : GetLeftMargin();
  const RECT client = ClientRect();
  const int crossExtent = FHorizontal ? client.bottom - GetTopMargin() - GetBottomMargin()
                                      : client.right - GetLeftMargin() - GetRightMargin();
  HDWP batch = BeginDeferWindowPos(int(AShown.size()));
  auto place = [this, cross, crossExtent](int AAt, int ASize) -> RECT {
    return FHorizontal ? RECT{AAt, cross, AAt + ASize, cross + crossExtent}
                       : RECT{cross, AAt, cross + crossExtent, AAt + ASize};
  };
  try {
    int running = StartMargin();
    for (size_t i = 0; i < AShown.size(); ++i) {
      TXPCustomSection* section = AShown[i];
      const int size = std::max(ASizes[i], section->FMinSize);
      const RECT bounds = place(running, size);
      if (section->HandleAllocated() && batch)
        batch = DeferWindowPos(batch, section->Handle(), nullptr, bounds.left, bounds.top,
                               bounds.right - bounds.left, bounds.bottom - bounds.top,
                               SWP_NOZORDER | SWP_NOACTIVATE);
      else
        section->SetBoundsRect(bounds);
      running += size;
      if (TXPSectionSplitter* bar = section->Splitter()) {
        bar->SetVisible(true);
        bar->SetBoundsRect(place(running, FSplitterWidth));
      }
      section->SetTabOrder(int(i));
      running += FSplitterWidth;
    }
    if (!AShown.empty())
      if (TXPSectionSplitter* bar = AShown.back()->Splitter())
        bar->SetVisible(false);
  } catch (...) {
    if (batch)
      EndDeferWindowPos(batch);
    throw;
  }
  if (batch)
    EndDeferWindowPos(batch);
}

void TXPCustomSectionsPanel::Rearrange() {
  if (FUpdateCount > 0 || FInRearranging || !HandleAllocated())
    return;
  const int count = SectionCount();
  for (int i = 0; i < count; ++i)
    if (TXPSectionSplitter* bar = Sections(i)->Splitter())
      bar->SetVertical(FHorizontal);
  DisableAlign();
  for (int i = 0; i < count; ++i)
    Sections(i)->DisableAlign();
  FInRearranging = true;
  auto finish = [this, count] {
    FLastResized = nullptr;
    EnableAlign();
    for (int i = 0; i < count; ++i) {
      Sections(i)->EnableAlign();
      Sections(i)->Invalidate();
    }
    FInRearranging = false;
  };
  try {
    const std::vector<TXPCustomSection*> shown = ShownSections();
    ApplySizes(shown, CalcSizes(shown));
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TXPCustomSectionsPanel::PreviewDrag(TXPSectionSplitter* ASplitter) {
  auto* section = dynamic_cast<TXPCustomSection*>(ASplitter->Owner());
  if (!section)
    return;
  FLastResized = section;
  if (FResizeMode != xrmProportional)
    AdjustCoefs(ASplitter);
  const std::vector<TXPCustomSection*> shown = ShownSections();
  const std::vector<int> sizes = CalcSizes(shown);
  int running = StartMargin();
  for (size_t i = 0; i < shown.size(); ++i) {
    if (TXPSectionSplitter* bar = shown[i]->Splitter())
      bar->SetNewSize(running + sizes[i]);
    running += sizes[i] + FSplitterWidth;
  }
}

// --- persistence -------------------------------------------------------------------

void TXPCustomSectionsPanel::SaveSection(TXPCustomSection* ASection, TCustomIniFile& AIni,
                                         int AIndex) {
  const std::wstring index = std::to_wstring(AIndex);
  AIni.WriteFloat(L"", Name() + L"_SizeCoef" + index, ASection->FSizeCoef);
  AIni.WriteBool(L"", Name() + L"_Visibility" + index, ASection->Visible());
}

void TXPCustomSectionsPanel::LoadSection(TXPCustomSection* ASection, TCustomIniFile& AIni,
                                         int AIndex) {
  const std::wstring index = std::to_wstring(AIndex);
  ASection->FSizeCoef = AIni.ReadFloat(L"", Name() + L"_SizeCoef" + index, ASection->FSizeCoef);
  ASection->SetVisible(AIni.ReadBool(L"", Name() + L"_Visibility" + index, ASection->Visible()));
}

void TXPCustomSectionsPanel::SaveLayout() {
  if (FRegistryKey.empty() || IsDesigning())
    return;
  TRegistryIniFile ini(FRegistryKey);
  for (int i = 0; i < SectionCount(); ++i)
    SaveSection(Sections(i), ini, i);
}

bool TXPCustomSectionsPanel::LoadLayout() {
  if (FRegistryKey.empty() || IsDesigning())
    return false;
  {
    // Reading must not make the key: a layout never saved reads as none.
    TRegistry probe(KEY_READ);
    if (!probe.KeyExists(FRegistryKey))
      return false;
  }
  TRegistryIniFile ini(FRegistryKey);
  BeginUpdate();
  try {
    for (int i = 0; i < SectionCount(); ++i)
      LoadSection(Sections(i), ini, i);
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
  return true;
}
