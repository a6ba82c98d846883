#pragma once

#include "controls.h"
#include "graphics.h"
#include "splitters.h"

#include <windows.h>

#include <memory>
#include <string>

// Two small graphic controls: the framework's splitter with the library's
// look, and the image button drawn from a bitmap strip with a transparent
// colour that the collapsible sections' arrows are made of.

// The library's splitter: transparent by default, or filled with the
// library's button face (or its own colour), with an optional raised edge
// along its long sides and a row of gripper dots.
class TXPSplitter : public TSplitter {
public:
  explicit TXPSplitter(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPSplitter"; }

  bool DrawNotch() const { return FDrawNotch; }
  void SetDrawNotch(bool AValue);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool AValue);
  bool UseDefaultColor() const { return FUseDefaultColor; }
  void SetUseDefaultColor(bool AValue);
  // A drag is in progress.
  bool IsResizing() const { return FIsResizing; }

protected:
  void Paint() override;
  bool DoCanResize(int& ANewSize) override;
  void StopSizing() override;

private:
  bool FDrawNotch = false;
  bool FTransparent = true;
  bool FUseDefaultColor = true;
  bool FIsResizing = false;
};

// Offered by the owner of an inversible transparent button that wants to
// hear when the button flips.
class ITransButtonOwner {
public:
  virtual ~ITransButtonOwner() = default;
  virtual void InvertedChanged(bool AValue) = 0;
};

// An image button drawn from a strip of cells (normal, hot; an inversible
// strip goes on with inverted normal, inverted hot) whose bottom-left
// pixel's colour is see-through.
class TXPTransButton : public TGraphicControl {
public:
  TXPTransButton(TComponent* AOwner, const std::wstring& AResName, bool AInversible);
  ~TXPTransButton() override;
  std::wstring ClassName() const override { return L"TXPTransButton"; }

  // Loads the strip from the module's bitmap resource AResName and takes
  // the size of one cell.
  void UpdateGlyph(const std::wstring& AResName);
  TBitmap& Glyph() { return *FGlyph; }
  bool Inversible() const { return FInversible; }
  bool Hot() const { return FHot; }
  bool Inverted() const { return FInverted; }
  void SetInverted(bool AValue);

  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;

protected:
  void Paint() override;
  void Click() override;

private:
  std::unique_ptr<TBitmap> FGlyph;
  bool FInversible = false;
  bool FHot = false;
  bool FInverted = false;
  bool FInSetInverted = false;
  bool FInClick = false;
};
