#pragma once

// The rack panels build themselves from a table of controls, the way a form
// layout would create them: in order, each named, parented, placed and
// captioned, inside the form's loading bracket.

#include "controls.h"

#include <cstddef>
#include <string>

namespace instrument_layout {

// What a control of a layout is.
enum class TLayoutKind { BackgroundPanel, Panel, Caption, Button, CheckBox, Label, Timer };

// How a control of a layout looks beyond its place and text.
enum TLayoutTrait : unsigned {
  ltNone = 0,
  ltAlignTop = 1u << 0,
  ltDoubleBuffered = 1u << 1,
  ltChecked = 1u << 2,
  ltDisabled = 1u << 3,
  ltGreenGlyph = 1u << 4,
  ltValueFont = 1u << 5, // the fixed-pitch bold face of the shown values
};

struct TLayoutRow {
  TLayoutKind Kind;
  const wchar_t* Name;
  const wchar_t* Parent; // nullptr: the form
  int Left, Top, Width, Height;
  const wchar_t* Caption;
  unsigned Traits;
};

// Creates the rows' components, owned by AForm, in table order. The caller
// holds the loading bracket, so `Loaded` reaches them once it has wired
// them too.
void CreateLayoutControls(TWinControl& AForm, const TLayoutRow* ARows, std::size_t ACount);

template <std::size_t N>
void CreateLayoutControls(TWinControl& AForm, const TLayoutRow (&ARows)[N]) {
  CreateLayoutControls(AForm, ARows, N);
}

// A component of the layout by its name; null when absent or of another class.
template <class T> T* Named(TComponent& AOwner, const wchar_t* AName) {
  return dynamic_cast<T*>(AOwner.FindComponent(AName));
}

// The host's state and device names compare without regard to case.
bool SameTextIgnoringCase(const std::wstring& AText, const wchar_t* AOther);

} // namespace instrument_layout
