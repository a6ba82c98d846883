#include "instrument-layout.h"

#include "instrument-controls.h"
#include "instrument-panel.h"
#include "timers.h"

#include <cwctype>

namespace instrument_layout {

namespace {

TComponent* MakeComponent(TLayoutKind AKind, TComponent* AOwner) {
  switch (AKind) {
  case TLayoutKind::BackgroundPanel:
    return new TInstrumentBackgroundPanel(AOwner);
  case TLayoutKind::Panel:
    return new TInstrumentPanel(AOwner);
  case TLayoutKind::Caption:
    return new TInstrumentCaption(AOwner);
  case TLayoutKind::Button:
    return new TInstrumentButton(AOwner);
  case TLayoutKind::CheckBox:
    return new TInstrumentCheckBox(AOwner);
  case TLayoutKind::Label:
    return new TInstrumentLabel(AOwner);
  case TLayoutKind::Timer:
    return new TTimer(AOwner);
  }
  return nullptr;
}

} // namespace

void CreateLayoutControls(TWinControl& AForm, const TLayoutRow* ARows, std::size_t ACount) {
  for (std::size_t i = 0; i < ACount; ++i) {
    const TLayoutRow& row = ARows[i];
    TComponent* component = MakeComponent(row.Kind, &AForm);
    component->SetName(row.Name);
    if (row.Kind == TLayoutKind::Timer)
      continue;
    auto* control = static_cast<TControl*>(component);
    TWinControl* parent = &AForm;
    if (row.Parent)
      parent = Named<TWinControl>(AForm, row.Parent);
    control->SetParent(parent);
    control->SetBounds(row.Left, row.Top, row.Width, row.Height);
    if (row.Traits & ltAlignTop)
      control->SetAlign(alTop);
    if (auto* plate = dynamic_cast<TInstrumentBackgroundPanel*>(control))
      plate->SetTitle(row.Caption);
    else
      control->SetCaption(row.Caption);
    if (row.Traits & ltValueFont) {
      control->Font().SetName(L"Courier New");
      control->Font().SetPitch(TFontPitch::Fixed);
      control->Font().SetStyle(fsBold);
    }
    if (row.Traits & ltDisabled)
      control->SetEnabled(false);
    if (auto* check = dynamic_cast<TInstrumentCheckBox*>(control)) {
      if (row.Traits & ltGreenGlyph)
        check->SetGlyphStyle(icsGreen);
      check->SetChecked((row.Traits & ltChecked) != 0);
    }
    if (auto* win = dynamic_cast<TWinControl*>(control); win && (row.Traits & ltDoubleBuffered))
      win->SetDoubleBuffered(true);
  }
}

bool SameTextIgnoringCase(const std::wstring& AText, const wchar_t* AOther) {
  std::size_t i = 0;
  for (; i < AText.size() && AOther[i]; ++i)
    if (std::towupper(AText[i]) != std::towupper(AOther[i]))
      return false;
  return i == AText.size() && !AOther[i];
}

} // namespace instrument_layout
