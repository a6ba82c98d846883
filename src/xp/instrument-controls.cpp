#include "instrument-controls.h"

#include "application.h"
#include "bitmap-effects.h"
#include "xp-colors.h"
#include "xp-controls.h"
#include "xp-system.h"

#include <array>
#include <cwchar>

namespace {

bool LoadingOrReading(const TComponent& AComponent) {
  return AComponent.ComponentState().Contains(csLoading) ||
         AComponent.ComponentState().Contains(csReading);
}

// AControl's client origin in the client coordinates of APanel, one of its
// parents.
POINT OriginInPanel(TControl* AControl, TControl* APanel) {
  POINT origin{0, 0};
  for (TControl* c = AControl; c && c != APanel; c = c->Parent()) {
    origin.x += c->Left();
    origin.y += c->Top();
  }
  return origin;
}

RECT BoundsInPanel(TControl* AControl, TControl* APanel) {
  const POINT origin = OriginInPanel(AControl, APanel);
  return RECT{origin.x, origin.y, origin.x + AControl->Width(), origin.y + AControl->Height()};
}

RECT Grown(RECT ARect, int ABy) {
  InflateRect(&ARect, ABy, ABy);
  return ARect;
}

// A bitmap resource of the program's modules, or an EResNotFound naming it.
void LoadBitmapResource(TBitmap& ABitmap, const wchar_t* AName) {
  HINSTANCE module = FindResourceModule(AName, RT_BITMAP);
  ABitmap.LoadFromResourceName(module ? module : ModuleInstance(), AName);
}

// A bitmap resource as an alpha bitmap: 32 bits, its bottom-left colour
// made transparent, premultiplied. ATint recolours it for a plate first.
void LoadOpaqueGlyph(TAlphaBitmap& AGlyph, const wchar_t* AName,
                     const TInstrumentPanelStyle* ATint) {
  TBitmap bitmap;
  LoadBitmapResource(bitmap, AName);
  bitmap.SetPixelFormat(TPixelFormat::pf32bit);
  bitmap.SetTransparent(false);
  if (ATint)
    TintToPanelStyle(bitmap, *ATint);
  AGlyph.Assign(&bitmap);
  PremultiplyAlpha(AGlyph);
}

} // namespace

// ===========================================================================
// Lamp glyphs

namespace {

constexpr int kCheckStyleCount = icsWhite + 1;
constexpr int kPanelStyleCount = ipsGrayBlue + 1;

struct TLedResource {
  const wchar_t* Name;
  // Round LEDs are alpha images; the button and the rectangles are bitmaps.
  bool AlphaImage;
};

constexpr TLedResource kLedResources[kCheckStyleCount] = {
    {L"INSTRUMENT_CHECK_MIXED", true},       {L"INSTRUMENT_CHECK_RED", true},
    {L"INSTRUMENT_CHECK_GREEN", true},       {L"INSTRUMENT_CHECK_BUTTON", false},
    {L"INSTRUMENT_CHECK_RECT_AMBER", false}, {L"INSTRUMENT_CHECK_RECT_BLUE", false},
    {L"INSTRUMENT_CHECK_RECT_GREEN", false}, {L"INSTRUMENT_CHECK_RECT_PURPLE", false},
    {L"INSTRUMENT_CHECK_RECT_RED", false},   {L"INSTRUMENT_CHECK_RECT_YELLOW", false},
    {L"INSTRUMENT_CHECK_ORANGE", true},      {L"INSTRUMENT_CHECK_BLUE", true},
    {L"INSTRUMENT_CHECK_PURPLE", true},      {L"INSTRUMENT_CHECK_YELLOW", true},
    {L"INSTRUMENT_CHECK_WHITE", true},
};

struct TCheckImages {
  std::array<std::unique_ptr<TAlphaBitmap>, kCheckStyleCount> Leds;
  std::array<std::unique_ptr<TAlphaBitmap>, kPanelStyleCount> Buttons;
};

std::unique_ptr<TCheckImages>& CheckImages() {
  static std::unique_ptr<TCheckImages> images;
  return images;
}

TCheckImages& NeedCheckImages() {
  auto& images = CheckImages();
  if (images)
    return *images;
  auto fresh = std::make_unique<TCheckImages>();
  for (int i = 0; i < kCheckStyleCount; ++i) {
    fresh->Leds[i] = std::make_unique<TAlphaBitmap>();
    if (kLedResources[i].AlphaImage)
      fresh->Leds[i]->LoadFromResource(kLedResources[i].Name);
    else
      LoadOpaqueGlyph(*fresh->Leds[i], kLedResources[i].Name, nullptr);
  }
  for (int i = 0; i < kPanelStyleCount; ++i) {
    fresh->Buttons[i] = std::make_unique<TAlphaBitmap>();
    const auto style = TInstrumentPanelStyle(i);
    LoadOpaqueGlyph(*fresh->Buttons[i], L"INSTRUMENT_CHECK_BUTTON", &style);
  }
  images = std::move(fresh);
  return *images;
}

} // namespace

TAlphaBitmap& TInstrumentCheckImages::InstrumentLEDCheck(TInstrumentCheckStyle AStyle) {
  // A value outside the enumeration shows the default red lamp.
  const int index = int(AStyle) < kCheckStyleCount ? int(AStyle) : int(icsRed);
  return *NeedCheckImages().Leds[index];
}

TAlphaBitmap& TInstrumentCheckImages::InstrumentButtonCheck(TInstrumentPanelStyle AStyle) {
  // A value outside the enumeration has the mid-grey plate's colour.
  const int index = int(AStyle) < kPanelStyleCount ? int(AStyle) : int(ipsMidGray);
  return *NeedCheckImages().Buttons[index];
}

TAlphaBitmap& TInstrumentCheckImages::GetCheckGlyph(TInstrumentCheckStyle AGlyphStyle,
                                                    TInstrumentPanelStyle APanelStyle) {
  if (AGlyphStyle == icsButton)
    return InstrumentButtonCheck(APanelStyle);
  return InstrumentLEDCheck(AGlyphStyle);
}

bool TInstrumentCheckImages::Loaded() {
  return CheckImages() != nullptr;
}

void TInstrumentCheckImages::FreeImages() {
  CheckImages().reset();
}

void TintToPanelStyle(TBitmap& ABitmap, TInstrumentPanelStyle AStyle) {
  uint8_t hue = 0, saturation = 0, luminance = 0;
  ColorToHSL(PanelStyleColor(AStyle), hue, saturation, luminance);
  GdiFlush();
  for (int y = 0; y < ABitmap.Height(); ++y) {
    auto* row = static_cast<uint32_t*>(ABitmap.ScanLine(y));
    for (int x = 0; x < ABitmap.Width(); ++x) {
      const uint32_t bgra = row[x];
      const TColor rgb = TColor(((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF));
      uint8_t pixelHue = hue, s = 0, l = 0;
      ColorToHSL(rgb, pixelHue, s, l);
      const uint32_t tinted = uint32_t(HSLToColor(hue, s, l));
      row[x] = (bgra & 0xFF000000u) | ((tinted & 0xFF) << 16) | (tinted & 0xFF00) |
               ((tinted >> 16) & 0xFF);
    }
  }
}

void InstrumentChecksShutdown() {
  TInstrumentCheckImages::FreeImages();
}

// ===========================================================================
// TCustomInstrumentCheckBox

TCustomInstrumentCheckBox::TCustomInstrumentCheckBox(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle &= ~uint32_t(csDoubleClicks);
  Font().SetName(L"Arial Black");
  Font().SetSize(7);
  Font().SetStyle(0);
  Font().SetColor(clWhite);
  SetBounds(Left(), Top(), 150, 17);
}

void TCustomInstrumentCheckBox::SetAlignment(TAlignment AValue) {
  if (AValue == FAlignment)
    return;
  FAlignment = AValue;
  Invalidate();
}

void TCustomInstrumentCheckBox::SetChecked(bool AValue) {
  // A change made from inside OnClick would raise OnClick again: ignored.
  if (FInChanging || AValue == FChecked)
    return;
  FInChanging = true;
  try {
    FChecked = AValue;
    CheckedChanged();
    TGraphicControl::Click();
  } catch (...) {
    // The new value is stored: the lamp must show it even when the
    // handler failed.
    FInChanging = false;
    Invalidate();
    throw;
  }
  FInChanging = false;
  Invalidate();
}

void TCustomInstrumentCheckBox::SetGlyphStyle(TInstrumentCheckStyle AValue) {
  if (AValue == FGlyphStyle)
    return;
  FGlyphStyle = AValue;
  InvalidateInstrumentBackground(this);
  Invalidate();
}

void TCustomInstrumentCheckBox::Click() {
  // The toggle raises OnClick itself; a read-only lamp raises nothing.
  if (!FReadOnly)
    SetChecked(!FChecked);
}

void TCustomInstrumentCheckBox::TextChanged() {
  Invalidate();
}

void TCustomInstrumentCheckBox::PanelStyleChanged(TInstrumentPanelStyle /*AStyle*/) {
  Invalidate();
}

void TCustomInstrumentCheckBox::DrawCheck(TCanvas& ACanvas, const RECT& ARect,
                                          TInstrumentPanelStyle APanelStyle) {
  TAlphaBitmap& glyph = TInstrumentCheckImages::GetCheckGlyph(FGlyphStyle, APanelStyle);
  const int cell = glyph.Width() / 2;
  const int height = glyph.Height();
  if (cell > 0) {
    const int x = FAlignment == taRightJustify ? 0 : Width() - cell - 1;
    AlphaBlendImage(ACanvas.Handle(), ARect.left + x, ARect.top + (Height() - height) / 2, cell,
                    height, glyph.Canvas().Handle(), FChecked ? cell : 0, 0);
  }
  RECT text = FAlignment == taRightJustify ? RECT{cell + 3, 1, Width() - 2, Height() - 2}
                                           : RECT{1, 1, Width() - cell - 3, Height() - 2};
  OffsetRect(&text, ARect.left, ARect.top);
  TColor colour = Font().Color();
  if (!Enabled())
    colour = GetXPThemeState() != xtsClassic ? clXPBtnShadow : clGrayText;
  DrawXPCaption(ACanvas, text, Caption(), Font(), colour, taLeftJustify, tlCenter, dcfSmoothText,
                epNone, 100);
}

void TCustomInstrumentCheckBox::Paint() {
  TCustomInstrumentBackgroundPanel* panel = FindBackgroundPanel(this, true);
  DrawCheck(Canvas(), ClientRect(), panel ? panel->Style() : ipsDarkGray);
}

void TCustomInstrumentCheckBox::ImprintOnBackground(TCustomInstrumentBackgroundPanel* APanel) {
  const RECT bounds = BoundsInPanel(this, APanel);
  TBitmap& plate = APanel->Bitmap();
  DrawCheck(plate.Canvas(), bounds, APanel->Style());
  SoftenBitmap(plate, Grown(bounds, 1), 10);
}

// ===========================================================================
// Header images

namespace {

struct THeaderImages {
  TBitmap Image1;
  TBitmap Image2;
};

std::unique_ptr<THeaderImages>& HeaderImages() {
  static std::unique_ptr<THeaderImages> images;
  return images;
}

THeaderImages& NeedHeaderImages() {
  auto& images = HeaderImages();
  if (images)
    return *images;
  auto fresh = std::make_unique<THeaderImages>();
  for (auto [bitmap, name] : {std::pair{&fresh->Image1, L"INSTRUMENT_HEADER1"},
                              std::pair{&fresh->Image2, L"INSTRUMENT_HEADER2"}}) {
    LoadBitmapResource(*bitmap, name);
    bitmap->SetTransparentColor(clWhite);
    bitmap->SetTransparent(true);
  }
  images = std::move(fresh);
  return *images;
}

} // namespace

TBitmap& TInstrumentHeaderImages::InstrumentHeaderImage1() {
  return NeedHeaderImages().Image1;
}

TBitmap& TInstrumentHeaderImages::InstrumentHeaderImage2() {
  return NeedHeaderImages().Image2;
}

bool TInstrumentHeaderImages::Loaded() {
  return HeaderImages() != nullptr;
}

void TInstrumentHeaderImages::FreeImages() {
  HeaderImages().reset();
}

void InstrumentLabelsShutdown() {
  TInstrumentHeaderImages::FreeImages();
}

// ===========================================================================
// TCustomInstrumentLabel

TCustomInstrumentLabel::TCustomInstrumentLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
  Font().SetName(L"Arial Black");
  Font().SetSize(7);
  Font().SetStyle(0);
  Font().SetColor(clWhite);
  SetTransparent(true);
}

TXPDrawCaptionFlags TCustomInstrumentLabel::CaptionFlags() const {
  TXPDrawCaptionFlags flags = dcfSmoothText | dcfMultiline;
  if (!Enabled())
    flags |= dcfSunkenDisabled;
  if (!ShowAccelChar())
    flags |= dcfNoPrefix;
  return flags;
}

void TCustomInstrumentLabel::SetEllipsisPosition(TEllipsisPosition AValue) {
  if (AValue == FEllipsisPosition)
    return;
  FEllipsisPosition = AValue;
  Invalidate();
}

void TCustomInstrumentLabel::SetLayout(TTextLayout AValue) {
  if (AValue == FLayout)
    return;
  FLayout = AValue;
  Invalidate();
}

void TCustomInstrumentLabel::PaintText(TCanvas& ACanvas, const RECT& ARect, TColor AColor,
                                       TAlignment AAlignment, TTextLayout ALayout) {
  DrawXPCaption(ACanvas, ARect, Caption(), Font(), AColor, AAlignment, ALayout, CaptionFlags(),
                FEllipsisPosition, 100);
}

void TCustomInstrumentLabel::DrawLabelText(TCanvas& ACanvas, const RECT& ARect) {
  PaintText(ACanvas, ARect, Font().Color(), Alignment(), FLayout);
}

void TCustomInstrumentLabel::Paint() {
  // On a plate at run time the plate's image carries the label.
  if (!ComponentState().Contains(csDesigning) && FindBackgroundPanel(this, false))
    return;
  const RECT client = ClientRect();
  if (!Transparent()) {
    Canvas().Brush().SetStyle(TBrushStyle::Solid);
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(client);
  }
  DrawLabelText(Canvas(), client);
}

void TCustomInstrumentLabel::ImprintOnBackground(TCustomInstrumentBackgroundPanel* APanel) {
  const RECT bounds = BoundsInPanel(this, APanel);
  TBitmap& plate = APanel->Bitmap();
  DrawLabelText(plate.Canvas(), bounds);
  SoftenBitmap(plate, Grown(bounds, 1), 10);
}

void TCustomInstrumentLabel::DisplayStyleChanged(TDisplayStyle AStyle) {
  Font().SetColor(LabelColorForDisplayStyle(AStyle));
}

void TCustomInstrumentLabel::SetParent(TWinControl* AParent) {
  TCustomLabel::SetParent(AParent);
  if (TCustomInstrumentPanel* display = FindInstrumentPanel(this))
    DisplayStyleChanged(display->DisplayStyle());
}

void TCustomInstrumentLabel::TextChanged() {
  TCustomLabel::TextChanged();
  InvalidateInstrumentBackground(this);
}

void TCustomInstrumentLabel::EnabledChanged() {
  AdjustBounds();
  TCustomLabel::EnabledChanged();
  InvalidateInstrumentBackground(this);
}

void TCustomInstrumentLabel::Loaded() {
  TCustomLabel::Loaded();
  AdjustBounds();
}

void TCustomInstrumentLabel::AdjustBounds() {
  if (LoadingOrReading(*this) || !AutoSize())
    return;
  TXPDrawCaptionFlags flags = dcfSmoothText;
  if (!Enabled())
    flags |= dcfSunkenDisabled;
  if (!ShowAccelChar())
    flags |= dcfNoPrefix;
  // Measured on a scratch bitmap's context, so no window is needed.
  TBitmap scratch(1, 1);
  SIZE size{0, 0};
  MeasureXPCaption(scratch.Canvas(), RECT{0, 0, 0, 0}, Caption(), size, 100, epNone, flags, Font());
  // The sunken copy of a disabled text lies one pixel right and down.
  if (!Enabled()) {
    ++size.cx;
    ++size.cy;
  }
  SetBounds(Left(), Top(), size.cx, size.cy);
}

// ===========================================================================
// TCustomInstrumentCaption

TCustomInstrumentCaption::TCustomInstrumentCaption(TComponent* AOwner)
    : TCustomInstrumentLabel(AOwner) {
  SetAutoSize(false);
  Font().SetSize(9);
  SetBounds(Left(), Top(), 200, 14);
}

TColor TCustomInstrumentCaption::TextColor() {
  TCustomInstrumentBackgroundPanel* panel = FindBackgroundPanel(this, true);
  if (!panel)
    return Font().Color();
  TColor plate = ColorToRGB(panel->BackgroundColor());
  uint8_t hue = 0, saturation = 0, luminance = 0;
  ColorToHSL(plate, hue, saturation, luminance);
  // A dark plate gets a lighter text first, so the text stays readable.
  if (luminance < 150)
    plate = ScaleColor(plate, 1.2);
  return ScaleColor(plate, 1.1);
}

void TCustomInstrumentCaption::DrawLabelText(TCanvas& ACanvas, const RECT& ARect) {
  SIZE text{0, 0};
  MeasureXPCaption(ACanvas, ARect, Caption(), text, 100, epNone, CaptionFlags(), Font());
  TBitmap& image1 = TInstrumentHeaderImages::InstrumentHeaderImage1();
  TBitmap& image2 = TInstrumentHeaderImages::InstrumentHeaderImage2();
  const int w1 = image1.Width(), h1 = image1.Height();
  const int end = w1 + text.cx + 8;
  const int x = ARect.left, y = ARect.top;

  ACanvas.Draw(x, y, &image1);
  ACanvas.Draw(x + end, y, &image2);
  // The canvas may be the plate's, which others draw on after us: its brush
  // and pen are put back as they were.
  const TColor brushColour = ACanvas.Brush().Color();
  const TBrushStyle brushStyle = ACanvas.Brush().Style();
  const TPenStyle penStyle = ACanvas.Pen().Style();
  ACanvas.Brush().SetStyle(TBrushStyle::Solid);
  ACanvas.Brush().SetColor(0x202020);
  ACanvas.Pen().SetStyle(TPenStyle::Clear);
  // The dark band under the text, and a thin bar on to the right edge.
  ACanvas.Rectangle(x + w1, y, x + end + 1, y + h1 + 1);
  ACanvas.Rectangle(x + end, y, x + Width() + 1, y + 4);
  ACanvas.Pen().SetStyle(penStyle);
  ACanvas.Brush().SetColor(brushColour);
  ACanvas.Brush().SetStyle(brushStyle);

  RECT textRect = ARect;
  textRect.left += w1;
  OffsetRect(&textRect, 0, 1);
  PaintText(ACanvas, textRect, TextColor(), taLeftJustify, tlCenter);
}

void TCustomInstrumentCaption::Paint() {
  DrawLabelText(Canvas(), ClientRect());
}

// ===========================================================================
// TCustomInstrumentButton

namespace {

constexpr TFontStyles kButtonFontStyle = fsBold | fsItalic;

} // namespace

TCustomInstrumentButton::TCustomInstrumentButton(TComponent* AOwner)
    : TXPCustomSpeedButton(AOwner) {
  ++FLockAppearanceChanged;
  for (auto* face :
       {&FBackground_UpOff, &FBackground_DownOff, &FBackground_UpOn, &FBackground_DownOn}) {
    *face = std::make_unique<TBitmap>(0, 0, TPixelFormat::pf32bit);
    (*face)->OnChange = [this](TGraphic*) { BitmapChanged(); };
  }
  SetParentFont(false);
  Font().SetName(L"Arial");
  Font().SetSize(6);
  Font().SetStyle(kButtonFontStyle);
  Font().SetColor(clWhite);
  --FLockAppearanceChanged;
}

TCustomInstrumentButton::~TCustomInstrumentButton() {
  for (auto* face :
       {&FBackground_UpOff, &FBackground_DownOff, &FBackground_UpOn, &FBackground_DownOn})
    (*face)->OnChange = nullptr;
}

void TCustomInstrumentButton::SetBacklight(bool AValue) {
  if (AValue == FBacklight)
    return;
  FBacklight = AValue;
  Invalidate();
}

void TCustomInstrumentButton::SetDown(bool AValue) {
  if (AValue == FDown)
    return;
  FDown = AValue;
  Invalidate();
}

TBitmap& TCustomInstrumentButton::FaceBitmap(bool ADown, bool AOn) {
  if (ADown)
    return AOn ? *FBackground_DownOn : *FBackground_DownOff;
  return AOn ? *FBackground_UpOn : *FBackground_UpOff;
}

TBitmap& TCustomInstrumentButton::GetFaceBitmap() {
  const bool down = FDown || State() == bsDown || State() == bsExclusive;
  return FaceBitmap(down, FBacklight);
}

bool TCustomInstrumentButton::IsFontStored() {
  if (ParentFont())
    return false;
  TFont& font = Font();
  return _wcsicmp(font.Name().c_str(), L"Arial") != 0 || font.Size() != 6 ||
         font.Style() != kButtonFontStyle || ColorToRGB(font.Color()) != clWhite;
}

TColor TCustomInstrumentButton::GetFaceTextColor() {
  return Font().Color();
}

TInstrumentFaceOptions TCustomInstrumentButton::GetFaceOptions(bool ADown, bool AOn) {
  TInstrumentFaceOptions options = ifoGrain;
  if (ADown)
    options |= ifoPressed;
  if (AOn)
    options |= ifoLit;
  if (!Enabled())
    options |= ifoDisabled;
  return options;
}

void TCustomInstrumentButton::UpdateBitmaps() {
  const TColor base = ColorToRGB(Color());
  const TColor frame = ScaleColor(base, 0.4);
  const int width = Width(), height = Height();
  const RECT client{0, 0, width, height};
  struct TFace {
    bool Down, On;
  };
  for (const TFace face :
       {TFace{false, false}, TFace{true, false}, TFace{false, true}, TFace{true, true}}) {
    TBitmap& bitmap = FaceBitmap(face.Down, face.On);
    bitmap.SetSize(width, height);
    if (width > 0 && height > 0)
      DrawInstrumentButtonFace(bitmap, base, frame, client, Caption(), Font(), GetFaceTextColor(),
                               GetFaceOptions(face.Down, face.On), GetFaceCaptionMode(),
                               GetFaceGlowLevel());
  }
  Invalidate();
}

void TCustomInstrumentButton::DrawCaption(const RECT& /*ARect*/, const std::wstring& /*AText*/,
                                          TColor /*AColor*/) {
  // The faces carry the caption.
}

TXPButtonPlacement TCustomInstrumentButton::CalcLayout(const RECT& ARect) {
  TBitmap& face = GetFaceBitmap();
  if (face.Empty())
    return TXPCustomSpeedButton::CalcLayout(ARect);
  TBitmap scratch(1, 1);
  return CalcXPButtonLayout(scratch.Canvas(), ARect, Font(), Caption(),
                            POINT{face.Width(), face.Height()}, Layout(), Margin(), Spacing(),
                            GetCaptionFlags());
}

void TCustomInstrumentButton::AppearanceChanged(int AReason) {
  TXPCustomSpeedButton::AppearanceChanged(AReason);
  if (LoadingOrReading(*this) || FLockAppearanceChanged > 0)
    return;
  // Clicks, group changes and moves only choose another face.
  if (AReason == 0 || AReason == 2)
    UpdateBitmaps();
}

void TCustomInstrumentButton::Paint() {
  TBitmap& face = GetFaceBitmap();
  if (!face.Empty())
    Canvas().Draw(0, 0, &face);
}

void TCustomInstrumentButton::Resize() {
  TXPCustomTransparentControl::Resize();
  AppearanceChanged(2);
}

void TCustomInstrumentButton::FontChanged() {
  TXPCustomSpeedButton::FontChanged();
  AppearanceChanged(0);
}

void TCustomInstrumentButton::TextChanged() {
  TXPCustomSpeedButton::TextChanged();
  AppearanceChanged(0);
}

void TCustomInstrumentButton::Loaded() {
  TXPCustomSpeedButton::Loaded();
  UpdateBitmaps();
}

void TCustomInstrumentButton::SetParent(TWinControl* AParent) {
  TXPCustomSpeedButton::SetParent(AParent);
  if (TCustomInstrumentBackgroundPanel* panel = FindBackgroundPanel(this, true))
    PanelStyleChanged(panel->Style());
}

void TCustomInstrumentButton::PanelStyleChanged(TInstrumentPanelStyle AStyle) {
  SetColor(ButtonColorForPanelStyle(AStyle));
  AppearanceChanged(0);
}

void TCustomInstrumentButton::DrawOnBackground(TCustomInstrumentBackgroundPanel* APanel) {
  const RECT bounds = BoundsInPanel(this, APanel);
  TBitmap& plate = APanel->Bitmap();
  TBitmap& face = GetFaceBitmap();
  if (!face.Empty())
    plate.Canvas().Draw(bounds.left, bounds.top, &face);
  SoftenBitmap(plate, Grown(bounds, 2), 30);
}
