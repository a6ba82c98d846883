#pragma once

// Interface stable.

#include "controls.h"
#include "graphics.h"
#include "instrument-drawing.h"
#include "unit-steps.h"
#include "xp-controls.h"
#include "xp-ext-panel.h"

#include <windows.h>

#include <string>

// The front plate of an instrument rack unit and the display windows set
// into it. The plate keeps one cached background image (gradient, mounting
// holes, brushed grain, grooves); the instrument controls on it bake their
// own looks into that image through the child interfaces below, so the
// whole plate is one bitmap.

class TCustomLabel;
class TCustomInstrumentBackgroundPanel;
class TCustomInstrumentPanel;

// ---------------------------------------------------------------------------
// Child notification interfaces, asked of every control of a plate's tree.

// Paints the control into the plate's background before the grain.
class IInstrumentBackgroundImprint {
public:
  virtual ~IInstrumentBackgroundImprint() = default;
  virtual void ImprintOnBackground(TCustomInstrumentBackgroundPanel* APanel) = 0;
};
inline constexpr GUID IID_IInstrumentBackgroundImprint{
    0xC9A1D2C0, 0x7292, 0x4454, {0xB9, 0x12, 0x7D, 0xEA, 0x14, 0xE0, 0x2D, 0xC5}};

// Paints the control into the plate's background after grain and grooves.
class IInstrumentBackgroundOverlay {
public:
  virtual ~IInstrumentBackgroundOverlay() = default;
  virtual void DrawOnBackground(TCustomInstrumentBackgroundPanel* APanel) = 0;
};
inline constexpr GUID IID_IInstrumentBackgroundOverlay{
    0x14304C1D, 0x33C3, 0x4B90, {0xAE, 0x64, 0x2F, 0x5B, 0xAD, 0x37, 0x00, 0x91}};

// Hears the plate's style change.
class IInstrumentPanelStyleClient {
public:
  virtual ~IInstrumentPanelStyleClient() = default;
  virtual void PanelStyleChanged(TInstrumentPanelStyle AStyle) = 0;
};
inline constexpr GUID IID_IInstrumentPanelStyleClient{
    0xCEE6EA34, 0xBFDF, 0x4481, {0x94, 0x01, 0xDD, 0x58, 0x08, 0x28, 0x1A, 0x99}};

// Hears the enclosing display window's style change.
class IInstrumentDisplayStyleClient {
public:
  virtual ~IInstrumentDisplayStyleClient() = default;
  virtual void DisplayStyleChanged(TDisplayStyle AStyle) = 0;
};
inline constexpr GUID IID_IInstrumentDisplayStyleClient{
    0x715EBD12, 0x8230, 0x4B1E, {0x8D, 0xCB, 0x94, 0x1B, 0xC4, 0x24, 0x6E, 0xEF}};

// The interface of that GUID when the control offers it (one of the four
// above), else nullptr.
void* QueryInstrumentInterface(TControl* AControl, const GUID& AIID);

// ---------------------------------------------------------------------------
// Tree look-ups

// The first plate among the control's parents. Unless AThroughPanels, a
// display window or a scroll box on the way ends the search with nullptr.
TCustomInstrumentBackgroundPanel* FindBackgroundPanel(TControl* AControl, bool AThroughPanels);
// The nearest display window among the control's parents, or nullptr.
TCustomInstrumentPanel* FindInstrumentPanel(TControl* AControl);
// Marks the background of the plate the control lies on (display windows
// stop the search) to be rebuilt; nothing while the control loads or reads.
void InvalidateInstrumentBackground(TControl* AControl);

// ---------------------------------------------------------------------------
// Display window

// A recessed face in a display style colour that hands its style down to
// the labels inside it. While ParentDisplayStyle is on it adopts the style
// its plate's style calls for, provided it is at least 20 pixels high.
class TCustomInstrumentPanel : public TXPCustomControl,
                               public IInstrumentBackgroundOverlay,
                               public IInstrumentPanelStyleClient {
public:
  explicit TCustomInstrumentPanel(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TCustomInstrumentPanel"; }

  TDisplayStyle DisplayStyle() const { return FDisplayStyle; }
  // A changed style clears ParentDisplayStyle (outside loading) and is
  // passed to every control inside.
  void SetDisplayStyle(TDisplayStyle AValue);
  bool ParentDisplayStyle() const { return FParentDisplayStyle; }
  void SetParentDisplayStyle(bool AValue);

  // The framed face into the plate's background over the window's bounds.
  void DrawOnBackground(TCustomInstrumentBackgroundPanel* APanel) override;
  void PanelStyleChanged(TInstrumentPanelStyle AStyle) override;
  void SetParent(TWinControl* AParent) override;
  void Loaded() override;

protected:
  void Paint() override;

private:
  void PropagateDisplayStyle();
  void AdoptPanelStyle();

  TDisplayStyle FDisplayStyle = dsCream;
  bool FParentDisplayStyle = true;
};

class TInstrumentPanel : public TCustomInstrumentPanel {
public:
  using TCustomInstrumentPanel::TCustomInstrumentPanel;
  std::wstring ClassName() const override { return L"TInstrumentPanel"; }
};

// ---------------------------------------------------------------------------
// Background panel

// The plate behind one processor core's controls: a JTAG display, a core
// name display, a "primary" lamp and a title, over a cached background that
// is rebuilt on the next paint after anything that changes its look.
class TCustomInstrumentBackgroundPanel : public TXPCustomExtPanel {
public:
  explicit TCustomInstrumentBackgroundPanel(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TCustomInstrumentBackgroundPanel"; }

  TCustomLabel* Label_Title() const { return FLabel_Title; }

  TInstrumentPanelStyle Style() const { return FInstrumentPanelStyle; }
  // Sets BackgroundColor and tells the whole tree, also for the same style.
  void SetStyle(TInstrumentPanelStyle AValue);
  TColor BackgroundColor() const { return FBackgroundColor; }
  const std::wstring& CoreName() const { return FCoreName; }
  void SetCoreName(const std::wstring& AValue);
  int JtagID() const { return FJtagID; }
  void SetJtagID(int AValue);
  // Negative when the device is on no numbered port.
  int PortID() const { return FPortID; }
  void SetPortID(int AValue);
  const std::wstring& Title() const { return FTitle; }
  void SetTitle(const std::wstring& AValue);
  // Checks the lamp and shows the core name and JTAG texts bold and bright
  // red; the LED displays brighten at their next drawing.
  bool Primary() const { return FPrimary; }
  void SetPrimary(bool AValue);
  bool ShowJTAG() const { return FShowJTAG; }
  void SetShowJTAG(bool AValue);
  bool ShowCoreName() const { return FShowCoreName; }
  void SetShowCoreName(bool AValue);
  bool ShowTitle() const { return FShowTitle; }
  void SetShowTitle(bool AValue);
  bool ShowGrooves() const { return FShowGrooves; }
  void SetShowGrooves(bool AValue);
  bool ShowMountingHoles() const { return FShowMountingHoles; }
  void SetShowMountingHoles(bool AValue);

  // The JTAG display's text: "<JtagID>", or "<PortID>/<JtagID>" on a port.
  std::wstring GetJtagText() const;
  // Marks the background to be rebuilt and repaints (not while loading).
  void UpdateBackgroundImage();
  // Tells every control of the tree the style, then rebuilds and repaints.
  void UpdateChildControls();
  // Whether the cached background matches the plate's state.
  bool BackgroundValid() const { return FBkgndValid; }

  void Loaded() override;

protected:
  void Paint() override;
  // A new size needs a new background.
  void Resize() override;
  // Draws the whole background image anew.
  void RebuildBackground();

private:
  void ShowChildren();

  TInstrumentPanelStyle FInstrumentPanelStyle = ipsMidGray;
  TColor FBackgroundColor = 0;
  std::wstring FCoreName;
  int FJtagID = -1;
  int FPortID = -1;
  std::wstring FTitle;
  bool FPrimary = false;
  bool FShowJTAG = true;
  bool FShowCoreName = true;
  bool FShowTitle = true;
  bool FShowGrooves = true;
  bool FShowMountingHoles = true;
  TCustomLabel* FLabel_JTAG = nullptr;
  TCustomInstrumentPanel* FPanel_JTAG = nullptr;
  TCustomLabel* FLabel_Caption_JTAG = nullptr;
  TCustomLabel* FLabel_CoreName = nullptr;
  TCustomInstrumentPanel* FPanel_CoreName = nullptr;
  TCustomLabel* FLabel_Caption_CoreName = nullptr;
  TControl* FCheckBox_Primary = nullptr;
  TCustomLabel* FLabel_Title = nullptr;
  bool FBkgndValid = false;
};

class TInstrumentBackgroundPanel : public TCustomInstrumentBackgroundPanel {
public:
  using TCustomInstrumentBackgroundPanel::TCustomInstrumentBackgroundPanel;
  std::wstring ClassName() const override { return L"TInstrumentBackgroundPanel"; }
};

// ---------------------------------------------------------------------------
// The unit's step: nothing to start; at unloading the shared mounting-hole
// image is freed.
void InstrumentPanelsShutdown();
// Whether the shared mounting-hole image is loaded.
bool InstrumentMountingHoleLoaded();
inline constexpr TUnitStep kInstrumentPanelsUnitStep{L"InstrumentPanels", nullptr,
                                                     &InstrumentPanelsShutdown};
