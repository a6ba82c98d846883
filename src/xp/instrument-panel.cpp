#include "instrument-panel.h"

#include "bitmap-effects.h"
#include "instrument-controls.h"
#include "labels.h"
#include "rtl-exceptions.h"
#include "xp-colors.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr TColor kValueColor = 0x0000E6;
constexpr TColor kPrimaryValueColor = 0x1018FF;
constexpr wchar_t kMountingHoleName[] = L"INSTRUMENT_MOUNTING_HOLE";

bool LoadingOrReading(const TComponent& AComponent) {
  return AComponent.ComponentState().Contains(csLoading) ||
         AComponent.ComponentState().Contains(csReading);
}

bool IsDesigning(const TComponent& AComponent) {
  return AComponent.ComponentState().Contains(csDesigning);
}

// The control's bounds in the client coordinates of APanel, one of its
// parents, by way of the screen, so frames of the containers between count.
RECT BoundsIn(TControl* AControl, TWinControl* APanel) {
  const POINT origin = APanel->ScreenToClient(AControl->ClientToScreen(POINT{0, 0}));
  return RECT{origin.x, origin.y, origin.x + AControl->Width(), origin.y + AControl->Height()};
}

template <typename TInterface> TInterface* Offered(TControl* AControl) {
  return dynamic_cast<TInterface*>(AControl);
}

// Visible controls only, depth first in child order; a hidden control's
// children are passed over with it.
void WalkVisible(TControl* AControl, const std::function<void(TControl*)>& AVisit) {
  if (!AControl->Visible())
    return;
  AVisit(AControl);
  if (auto* container = dynamic_cast<TWinControl*>(AControl))
    for (int i = 0; i < container->ControlCount(); ++i)
      WalkVisible(container->Controls(i), AVisit);
}

// Every control, visible or not.
void WalkAll(TControl* AControl, const std::function<void(TControl*)>& AVisit) {
  AVisit(AControl);
  if (auto* container = dynamic_cast<TWinControl*>(AControl))
    for (int i = 0; i < container->ControlCount(); ++i)
      WalkAll(container->Controls(i), AVisit);
}

// The shared mounting-hole image, from its first use until unloading.
std::unique_ptr<TBitmap>& MountingHole() {
  static std::unique_ptr<TBitmap> hole;
  return hole;
}

// nullptr when the module carries no such image: the plate is then drawn
// without holes rather than not at all.
TBitmap* MountingHoleImage() {
  std::unique_ptr<TBitmap>& hole = MountingHole();
  if (!hole) {
    auto image = std::make_unique<TBitmap>();
    try {
      image->LoadFromResourceName(FindResourceModule(kMountingHoleName, RT_BITMAP),
                                  kMountingHoleName);
    } catch (const Exception&) {
      return nullptr;
    }
    image->SetPixelFormat(TPixelFormat::pf32bit);
    image->SetTransparent(true);
    hole = std::move(image);
  }
  return hole.get();
}

void SetLabelFont(TCustomLabel& ALabel, int ASize, TFontStyles AStyle, TColor AColor) {
  TFont& font = ALabel.Font();
  font.SetName(L"Arial");
  font.SetSize(ASize);
  font.SetStyle(AStyle);
  font.SetColor(AColor);
}

} // namespace

// --- interfaces and tree look-ups ---------------------------------------------------

void* QueryInstrumentInterface(TControl* AControl, const GUID& AIID) {
  if (!AControl)
    return nullptr;
  if (IsEqualGUID(AIID, IID_IInstrumentBackgroundImprint))
    return Offered<IInstrumentBackgroundImprint>(AControl);
  if (IsEqualGUID(AIID, IID_IInstrumentBackgroundOverlay))
    return Offered<IInstrumentBackgroundOverlay>(AControl);
  if (IsEqualGUID(AIID, IID_IInstrumentPanelStyleClient))
    return Offered<IInstrumentPanelStyleClient>(AControl);
  if (IsEqualGUID(AIID, IID_IInstrumentDisplayStyleClient))
    return Offered<IInstrumentDisplayStyleClient>(AControl);
  return nullptr;
}

TCustomInstrumentBackgroundPanel* FindBackgroundPanel(TControl* AControl, bool AThroughPanels) {
  if (!AControl)
    return nullptr;
  for (TWinControl* parent = AControl->Parent(); parent; parent = parent->Parent()) {
    if (auto* panel = dynamic_cast<TCustomInstrumentBackgroundPanel*>(parent))
      return panel;
    if (!AThroughPanels && (dynamic_cast<TCustomInstrumentPanel*>(parent) ||
                            dynamic_cast<TScrollingWinControl*>(parent)))
      return nullptr;
  }
  return nullptr;
}

TCustomInstrumentPanel* FindInstrumentPanel(TControl* AControl) {
  if (!AControl)
    return nullptr;
  for (TWinControl* parent = AControl->Parent(); parent; parent = parent->Parent())
    if (auto* display = dynamic_cast<TCustomInstrumentPanel*>(parent))
      return display;
  return nullptr;
}

void InvalidateInstrumentBackground(TControl* AControl) {
  if (!AControl || LoadingOrReading(*AControl))
    return;
  if (TCustomInstrumentBackgroundPanel* panel = FindBackgroundPanel(AControl, false))
    panel->UpdateBackgroundImage();
}

// --- display window ------------------------------------------------------------------

TCustomInstrumentPanel::TCustomInstrumentPanel(TComponent* AOwner) : TXPCustomControl(AOwner) {
  FControlStyle |= csAcceptsControls;
  SetTabStop(false);
  SetBounds(Left(), Top(), 100, 50);
}

void TCustomInstrumentPanel::Paint() {
  const int width = Width(), height = Height();
  if (width <= 0 || height <= 0)
    return;
  TCustomInstrumentBackgroundPanel* panel = FindBackgroundPanel(this, true);
  TBitmap face(width, height, TPixelFormat::pf32bit);
  DrawDisplayFace(face, RECT{0, 0, width, height}, panel && panel->Primary(), FDisplayStyle, true);
  Canvas().Draw(0, 0, &face);
}

void TCustomInstrumentPanel::DrawOnBackground(TCustomInstrumentBackgroundPanel* APanel) {
  DrawDisplayFace(APanel->Bitmap(), BoundsIn(this, APanel), APanel->Primary(), FDisplayStyle,
                  false);
}

void TCustomInstrumentPanel::SetDisplayStyle(TDisplayStyle AValue) {
  if (AValue == FDisplayStyle)
    return;
  FDisplayStyle = AValue;
  if (!LoadingOrReading(*this))
    FParentDisplayStyle = false;
  PropagateDisplayStyle();
  Invalidate();
}

void TCustomInstrumentPanel::SetParentDisplayStyle(bool AValue) {
  if (AValue == FParentDisplayStyle)
    return;
  FParentDisplayStyle = AValue;
  AdoptPanelStyle();
}

void TCustomInstrumentPanel::PanelStyleChanged(TInstrumentPanelStyle AStyle) {
  // Status lines lower than 20 pixels keep their own colour on any plate.
  if (!FParentDisplayStyle || Height() < 20)
    return;
  SetDisplayStyle(DisplayStyleForPanelStyle(AStyle));
  FParentDisplayStyle = true;
}

void TCustomInstrumentPanel::AdoptPanelStyle() {
  if (LoadingOrReading(*this))
    return;
  if (TCustomInstrumentBackgroundPanel* panel = FindBackgroundPanel(this, true))
    PanelStyleChanged(panel->Style());
}

void TCustomInstrumentPanel::PropagateDisplayStyle() {
  WalkAll(this, [this](TControl* AControl) {
    AControl->Invalidate();
    if (auto* client = Offered<IInstrumentDisplayStyleClient>(AControl))
      client->DisplayStyleChanged(FDisplayStyle);
  });
}

void TCustomInstrumentPanel::SetParent(TWinControl* AParent) {
  TXPCustomControl::SetParent(AParent);
  AdoptPanelStyle();
}

void TCustomInstrumentPanel::Loaded() {
  TXPCustomControl::Loaded();
  AdoptPanelStyle();
  PropagateDisplayStyle();
}

// --- background panel ------------------------------------------------------------------

TCustomInstrumentBackgroundPanel::TCustomInstrumentBackgroundPanel(TComponent* AOwner)
    : TXPCustomExtPanel(AOwner) {
  Bitmap().SetPixelFormat(TPixelFormat::pf32bit);
  FBkgndValid = false;
  SetKind(epkBitmap);
  SetBounds(Left(), Top(), 724, 50);
  FCoreName = L"CoreName";

  auto caption = [this](int ALeft, int ATop, int AWidth, int AHeight, const wchar_t* AText) {
    auto* label = new TInstrumentLabel(this);
    label->SetAutoSize(false);
    label->SetAlignment(taRightJustify);
    label->SetTransparent(true);
    SetLabelFont(*label, 7, fsBold | fsItalic, clWhite);
    label->SetBounds(ALeft, ATop, AWidth, AHeight);
    label->SetParent(this);
    label->SetCaption(AText);
    return label;
  };
  auto display = [this](int ALeft, int ATop, int AWidth, int AHeight, bool AVisible) {
    auto* panel = new TCustomInstrumentPanel(this);
    panel->SetBounds(ALeft, ATop, AWidth, AHeight);
    panel->SetVisible(AVisible);
    panel->SetParent(this);
    // Set outside loading, so the LED windows keep their colour on any plate.
    panel->SetDisplayStyle(dsRedLed);
    return panel;
  };
  auto value = [this](TWinControl* AParent, int AWidth, const std::wstring& AText) {
    auto* label = new TLabel(this);
    label->SetAutoSize(false);
    label->SetAlignment(taLeftJustify);
    label->SetTransparent(true);
    SetLabelFont(*label, 8, 0, kValueColor);
    label->SetBounds(5, 0, AWidth, 13);
    label->SetParent(AParent);
    label->SetCaption(AText);
    return label;
  };

  FLabel_Caption_CoreName = caption(120, 7, 30, 13, L"CORE");
  FLabel_Caption_JTAG = caption(32, 7, 40, 13, L"JTAG");
  FLabel_Title = caption(Width() - 310, Height() - 20, 260, 14, L"Instrument Title");
  FLabel_Title->SetAnchors(akRight | akBottom);
  FLabel_Title->SetVisible(FShowTitle);
  FPanel_CoreName = display(155, 6, 500, 14, FShowCoreName);
  FPanel_JTAG = display(75, 6, 35, 14, FShowJTAG);
  FLabel_CoreName = value(FPanel_CoreName, 480, FCoreName);
  FLabel_JTAG = value(FPanel_JTAG, 35, GetJtagText());

  auto* lamp = new TInstrumentCheckBox(this);
  lamp->SetBounds(660, 8, 13, 13);
  lamp->SetEnabled(false);
  lamp->SetVisible(FShowCoreName);
  lamp->SetParent(this);
  FCheckBox_Primary = lamp;

  Bitmap().SetPixelFormat(TPixelFormat::pf32bit);
  SetDoubleBuffered(true);
  SetStyle(FInstrumentPanelStyle);
}

void TCustomInstrumentBackgroundPanel::SetStyle(TInstrumentPanelStyle AValue) {
  FInstrumentPanelStyle = AValue;
  FBackgroundColor = PanelStyleColor(AValue);
  UpdateChildControls();
}

void TCustomInstrumentBackgroundPanel::SetCoreName(const std::wstring& AValue) {
  FCoreName = AValue;
  FLabel_CoreName->SetCaption(AValue);
  FLabel_CoreName->Invalidate();
}

void TCustomInstrumentBackgroundPanel::SetJtagID(int AValue) {
  FJtagID = AValue;
  FLabel_JTAG->SetCaption(GetJtagText());
  FLabel_JTAG->Invalidate();
}

void TCustomInstrumentBackgroundPanel::SetPortID(int AValue) {
  FPortID = AValue;
  FLabel_JTAG->SetCaption(GetJtagText());
  FLabel_JTAG->Invalidate();
}

void TCustomInstrumentBackgroundPanel::SetTitle(const std::wstring& AValue) {
  FTitle = AValue;
  FLabel_Title->SetCaption(AValue);
  FLabel_Title->Invalidate();
}

void TCustomInstrumentBackgroundPanel::SetPrimary(bool AValue) {
  FPrimary = AValue;
  static_cast<TCustomInstrumentCheckBox*>(FCheckBox_Primary)->SetChecked(AValue);
  for (TCustomLabel* label : {FLabel_CoreName, FLabel_JTAG}) {
    label->Font().SetStyle(AValue ? fsBold : 0);
    label->Font().SetColor(AValue ? kPrimaryValueColor : kValueColor);
  }
}

void TCustomInstrumentBackgroundPanel::ShowChildren() {
  FPanel_JTAG->SetVisible(FShowJTAG);
  FLabel_Caption_JTAG->SetVisible(FShowJTAG);
  FPanel_CoreName->SetVisible(FShowCoreName);
  FLabel_Caption_CoreName->SetVisible(FShowCoreName);
  FCheckBox_Primary->SetVisible(FShowCoreName);
  FLabel_Title->SetVisible(FShowTitle);
  UpdateBackgroundImage();
  Invalidate();
}

void TCustomInstrumentBackgroundPanel::SetShowJTAG(bool AValue) {
  if (AValue == FShowJTAG)
    return;
  FShowJTAG = AValue;
  ShowChildren();
}

void TCustomInstrumentBackgroundPanel::SetShowCoreName(bool AValue) {
  if (AValue == FShowCoreName)
    return;
  FShowCoreName = AValue;
  ShowChildren();
}

void TCustomInstrumentBackgroundPanel::SetShowTitle(bool AValue) {
  if (AValue == FShowTitle)
    return;
  FShowTitle = AValue;
  ShowChildren();
}

void TCustomInstrumentBackgroundPanel::SetShowGrooves(bool AValue) {
  if (AValue == FShowGrooves)
    return;
  FShowGrooves = AValue;
  ShowChildren();
}

void TCustomInstrumentBackgroundPanel::SetShowMountingHoles(bool AValue) {
  if (AValue == FShowMountingHoles)
    return;
  FShowMountingHoles = AValue;
  ShowChildren();
}

std::wstring TCustomInstrumentBackgroundPanel::GetJtagText() const {
  if (FPortID >= 0)
    return std::to_wstring(FPortID) + L"/" + std::to_wstring(FJtagID);
  return std::to_wstring(FJtagID);
}

void TCustomInstrumentBackgroundPanel::UpdateBackgroundImage() {
  if (LoadingOrReading(*this))
    return;
  FBkgndValid = false;
  Invalidate();
}

void TCustomInstrumentBackgroundPanel::UpdateChildControls() {
  const TInstrumentPanelStyle style = FInstrumentPanelStyle;
  WalkAll(this, [style](TControl* AControl) {
    AControl->Invalidate();
    if (auto* client = Offered<IInstrumentPanelStyleClient>(AControl))
      client->PanelStyleChanged(style);
  });
  UpdateBackgroundImage();
  Invalidate();
}

void TCustomInstrumentBackgroundPanel::Loaded() {
  TXPCustomExtPanel::Loaded();
  FLabel_Title->SetTop(Height() - 20);
  FBkgndValid = false;
  UpdateChildControls();
}

void TCustomInstrumentBackgroundPanel::Resize() {
  TXPCustomExtPanel::Resize();
  UpdateBackgroundImage();
}

void TCustomInstrumentBackgroundPanel::Paint() {
  if (!FBkgndValid && !LoadingOrReading(*this))
    RebuildBackground();
  TXPCustomExtPanel::Paint();
}

void TCustomInstrumentBackgroundPanel::RebuildBackground() {
  TBitmap& background = Bitmap();
  const int width = Width(), height = Height();
  if (background.PixelFormat() != TPixelFormat::pf32bit)
    background.SetPixelFormat(TPixelFormat::pf32bit);
  background.SetSize(width, height);
  if (width <= 0 || height <= 0) {
    FBkgndValid = true;
    return;
  }
  TCanvas& canvas = background.Canvas();
  const TColor dark = ScaleColor(FBackgroundColor, 0.8);

  const int x70 = int(std::nearbyint(width * 0.7));
  GradientFillRect(canvas.Handle(), RECT{0, 0, x70, height}, FBackgroundColor, dark, true);
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  canvas.Brush().SetColor(dark);
  canvas.FillRect(RECT{x70, 0, width, height});

  if (FShowMountingHoles)
    if (TBitmap* hole = MountingHoleImage()) {
      const int w = hole->Width(), h = hole->Height();
      const POINT centres[] = {
          {11, 10}, {width - 12, 10}, {11, height - 10}, {width - 12, height - 10}};
      for (const POINT& c : centres) {
        canvas.Draw(c.x - w / 2, c.y - h / 2, hole);
        SoftenBitmap(background,
                     RECT{c.x - w / 2 - 2, c.y - h / 2 - 2, c.x + w / 2 + 2, c.y + h / 2 + 2}, 20);
      }
    }

  if (!IsDesigning(*this))
    WalkVisible(this, [this](TControl* AControl) {
      if (auto* imprint = Offered<IInstrumentBackgroundImprint>(AControl))
        imprint->ImprintOnBackground(this);
    });

  ApplyBrushedTexture(background, 10, 20, 0.002);

  if (FShowGrooves) {
    auto groove = [&canvas, height](int AX, double AStrength) {
      ShadeCanvasColumn(canvas, AX - 1, 0, height - 1, 0.7 * AStrength);
      ShadeCanvasColumn(canvas, AX, 0, height - 1, 0);
      ShadeCanvasColumn(canvas, AX + 1, 0, height - 1, 1.3 * AStrength);
    };
    groove(38, 0.9);
    groove(width - 39, 1.0);
  }

  if (!IsDesigning(*this))
    WalkVisible(this, [this](TControl* AControl) {
      if (auto* overlay = Offered<IInstrumentBackgroundOverlay>(AControl))
        overlay->DrawOnBackground(this);
    });

  FBkgndValid = true;
}

// --- the unit's step ------------------------------------------------------------------------

void InstrumentPanelsShutdown() {
  MountingHole().reset();
}

bool InstrumentMountingHoleLoaded() {
  return MountingHole() != nullptr;
}
