#pragma once

#include "alpha-image.h"
#include "controls.h"
#include "graphics.h"
#include "unit-steps.h"
#include "xp-controls.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The library's progress bar: a position between a minimum and a maximum
// shown as a row of chunks or a continuous bar, either way round, in the
// themed, emulated-XP, classic or custom skinned look.

enum TProgressBarOrientation : uint8_t { pbHorizontal, pbVertical };
enum TProgressBarState : uint8_t { pbsNormal, pbsError, pbsPaused };

// The measures one paint works with: margins of the inner rectangle, the
// chunk size and the gap after each chunk.
struct TXPProgressGeometry {
  int MarginX = 0;
  int MarginY = 0;
  int ChunkWidth = 0;
  int ChunkHeight = 0;
  int Gap = 0;
  RECT Inner{};
  // Along the bar: the inner rectangle's length and one chunk's.
  int Length = 0;
  int ChunkLength = 0;
};

class TXPProgressBar : public TXPCustomControl {
public:
  explicit TXPProgressBar(TComponent* AOwner);
  ~TXPProgressBar() override;
  std::wstring ClassName() const override { return L"TXPProgressBar"; }

  TColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor AValue);
  TColor BarColor() const { return FBarColor; }
  void SetBarColor(TColor AValue);
  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor AValue);
  // The skins of the custom look; assigning copies.
  TAlphaBitmap& BackImage() { return *FBackImage; }
  void SetBackImage(const TGraphic* AValue);
  TAlphaBitmap& BarImage() { return *FBarImage; }
  void SetBarImage(const TGraphic* AValue);
  TXPLookAndFeel LookAndFeel() const { return FLookAndFeel; }
  void SetLookAndFeel(TXPLookAndFeel AValue);

  int Min() const { return FMin; }
  void SetMin(int AValue);
  int Max() const { return FMax; }
  void SetMax(int AValue);
  int Position() const { return FPosition; }
  void SetPosition(int AValue);
  int Step() const { return FStep; }
  void SetStep(int AValue) { FStep = AValue; }
  TProgressBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TProgressBarOrientation AValue);
  bool Smooth() const { return FSmooth; }
  void SetSmooth(bool AValue);
  TProgressBarState State() const { return FState; }
  void SetState(TProgressBarState AValue);

  void StepIt() { SetPosition(FPosition + FStep); }
  void StepBy(int ADelta) { SetPosition(FPosition + ADelta); }

  // The measures of the current look, theme state and size.
  TXPProgressGeometry Geometry();
  // How many chunks the position fills.
  int ChunkCount(const TXPProgressGeometry& AGeometry) const;
  // The filled length of a smooth bar.
  int FilledLength(int ALength) const;

  TNotifyEvent OnPostPaint;

protected:
  void Paint() override;
  // Fires OnPostPaint after every paint.
  virtual void PostPaint();

private:
  // Keeps the position in [Min, Max] unless both are 0, then repaints.
  void ApplyRange(int AMin, int AMax, int APosition);
  TColor BarFill() const;
  TColor BackFill() const;
  void PaintClassic(const TXPProgressGeometry& AGeometry, bool ACustomFrame);
  void PaintEmulated(const TXPProgressGeometry& AGeometry);
  void PaintThemed(const TXPProgressGeometry& AGeometry);
  void PaintSkins(const TXPProgressGeometry& AGeometry);
  void SkinChanged();

  TColor FBackgroundColor = clDefault;
  TColor FBarColor = clDefault;
  TColor FFrameColor = clDefault;
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FStep = 10;
  TProgressBarOrientation FOrientation = pbHorizontal;
  bool FSmooth = false;
  TProgressBarState FState = pbsNormal;
  TXPLookAndFeel FLookAndFeel = xlfNative;
  std::unique_ptr<TAlphaBitmap> FBackImage;
  std::unique_ptr<TAlphaBitmap> FBarImage;
  // The theme's chunk length and gap, kept when the theme answers nothing.
  int FThemeChunk = 0;
  int FThemeGap = 0;
};

// The progress bar's shared artwork, loaded together on first use and
// kept until FreeImages.
class TProgressResourceManager {
public:
  static TAlphaImage& PrBarHorz();
  static TAlphaImage& PrBarVert();
  static TAlphaImage& ChunkHorz();
  static TAlphaImage& ChunkVert();
  static bool Loaded();
  static void FreeImages();
};

// The progress bar's entry for the module's unit steps: the images load on
// first use; the shut-down frees them.
inline constexpr TUnitStep kXPProgressUnitStep{L"XPProgress", nullptr,
                                               &TProgressResourceManager::FreeImages};
