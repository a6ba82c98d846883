#pragma once

#include "alpha-image.h"
#include "controls.h"
#include "graphics.h"
#include "list-boxes.h"
#include "timers.h"
#include "unit-steps.h"
#include "xp-controls.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The library's own scroll bar: two arrow buttons, a shaft in two parts and
// a proportional thumb, painted in the themed, emulated-XP, classic or
// custom skinned look, with auto-repeat, thumb tracking and keys. It is
// configured from code; the list box makes its bars from it.

enum TXPScrollElem : uint8_t {
  pseNone,
  pseStartButton,
  pseBeforeThumb,
  pseThumb,
  pseAfterThumb,
  pseEndButton
};

using TScrollBarInc = int;

// The delay before a held button or shaft repeats, and the repeat interval.
constexpr UINT kXPScrollRepeatDelay = 200;
constexpr UINT kXPScrollRepeatInterval = 30;

// Painting states of the parts.
constexpr int kXPScrollStateNormal = 0;
constexpr int kXPScrollStateHot = 1;
constexpr int kXPScrollStatePressed = 2;
constexpr int kXPScrollStateDisabled = 3;

// Where each part lies, in client coordinates.
struct TXPScrollLayout {
  RECT StartButton{};
  RECT EndButton{};
  RECT BeforeThumb{};
  RECT Thumb{};
  RECT AfterThumb{};
  RECT Gripper{};
};

class TCustomXPScrollBar : public TXPCustomControl {
public:
  explicit TCustomXPScrollBar(TComponent* AOwner);
  ~TCustomXPScrollBar() override;
  std::wstring ClassName() const override { return L"TCustomXPScrollBar"; }

  TScrollBarKind Kind() const { return FKind; }
  // A changed kind swaps width and height (not while loading).
  void SetKind(TScrollBarKind AValue);
  TScrollBarInc LargeChange() const { return FLargeChange; }
  void SetLargeChange(TScrollBarInc AValue) { FLargeChange = AValue; }
  TScrollBarInc SmallChange() const { return FSmallChange; }
  void SetSmallChange(TScrollBarInc AValue) { FSmallChange = AValue; }
  int Min() const { return FMin; }
  void SetMin(int AValue) { SetParams(FPosition, AValue, FMax); }
  int Max() const { return FMax; }
  void SetMax(int AValue) { SetParams(FPosition, FMin, AValue); }
  int Position() const { return FPosition; }
  void SetPosition(int AValue) { SetParams(AValue, FMin, FMax); }
  int PageSize() const { return FPageSize; }
  // Limited to 0 .. Max - Min + 1; the position is not re-limited.
  void SetPageSize(int AValue);
  // The largest position: Max - PageSize + 1 (never below Min).
  int UsedMax() const { return FUsedMax; }
  // Nothing when all three are unchanged or AMax < AMin; otherwise the
  // range is stored and the position limited to Min .. UsedMax.
  void SetParams(int APosition, int AMin, int AMax);

  // The bar is part of another control, which takes the focus for it.
  bool BelongsToControl() const { return FBelongsToControl; }
  void SetBelongsToControl(bool AValue);

  TXPLookAndFeel LookAndFeel() const { return FLookAndFeel; }
  void SetLookAndFeel(TXPLookAndFeel AValue);
  TColor ButtonColor() const { return FButtonColor; }
  void SetButtonColor(TColor AValue);
  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor AValue);
  TColor HotButtonColor() const { return FHotButtonColor; }
  void SetHotButtonColor(TColor AValue);
  TColor ShaftColor() const { return FShaftColor; }
  void SetShaftColor(TColor AValue);
  // The custom look's images; a change repaints in the custom look.
  TPicture& ArrowImage() { return *FArrowImage; }
  TAlphaBitmap& ButtonImage() { return *FButtonImage; }
  TAlphaBitmap& ThumbImage() { return *FThumbImage; }
  TAlphaBitmap& ShaftImage() { return *FShaftImage; }

  // Aligning to the top or bottom makes the bar horizontal, to the left or
  // right vertical, without swapping its size.
  void SetAlign(TAlign AValue);

  // The element under the mouse, the element held down.
  TXPScrollElem HotElem() const { return FHotElem; }
  TXPScrollElem PressedElem() const { return FPressedElem; }
  int ButtonSize() const { return FBtnSize; }
  int TrackThumbSize() const { return FTrackThumbSize; }
  // The auto-repeat timer.
  TTimer& RepeatTimer() { return *FTimer; }
  TXPScrollLayout Layout();
  TXPScrollElem ElementAt(POINT APoint);

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void EnabledChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;

  TNotifyEvent OnChange;
  TScrollEvent OnScroll;

protected:
  virtual bool IsCustomLook();
  // AState: 0 normal, 1 hot, 2 pressed, 3 disabled.
  virtual void PaintShaft(const RECT& ARect, int AState);
  // AGlyphBase: 0 up, 4 down, 8 left, 12 right.
  virtual void PaintArrowButton(const RECT& ARect, int AState, bool AIsStart, int AGlyphBase);
  virtual void PaintThumb(const RECT& ARect, int AState);
  virtual void Change();
  virtual void Scroll(TScrollCode AScrollCode, int& AScrollPos);

  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void Paint() override;
  void WndProc(TMessage& AMessage) override;
  LRESULT DialogCode() override { return DLGC_WANTARROWS; }
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;

private:
  void UpdateButtonSize();
  void RecalcUsedMax();
  // The hot element and the repeat timer follow the point.
  void HitTest(POINT APoint);
  void ScrollStep(TScrollCode ACode);
  void TimerTick();
  void PressAt(POINT APoint);
  void ReleaseAt(POINT APoint);
  RECT HeldRect();
  int ElementState(TXPScrollElem AElem);
  void ImagesChanged();
  void PaintThemed(const TXPScrollLayout& ALayout);
  // Along-the-bar coordinate of a point.
  int AlongOf(POINT APoint) const { return FKind == sbHorizontal ? APoint.x : APoint.y; }

  TScrollBarKind FKind = sbHorizontal;
  TScrollBarInc FLargeChange = 1;
  TScrollBarInc FSmallChange = 1;
  int FMax = 100;
  int FUsedMax = 100;
  int FMin = 0;
  int FPageSize = 1;
  int FPosition = 0;
  bool FBelongsToControl = false;
  TXPScrollElem FHotElem = pseNone;
  TXPScrollElem FPressedElem = pseNone;
  int FTrackThumbStart = 0;
  int FTrackThumbSize = 0;
  TTimer* FTimer = nullptr;
  TScrollCode FTimerCode = scLineUp;
  int FBtnSize = 0;
  TXPLookAndFeel FLookAndFeel = xlfNative;
  TColor FButtonColor = clDefault;
  TColor FFrameColor = clDefault;
  TColor FHotButtonColor = clDefault;
  TColor FShaftColor = clDefault;
  std::unique_ptr<TPicture> FArrowImage;
  std::unique_ptr<TAlphaBitmap> FButtonImage;
  std::unique_ptr<TAlphaBitmap> FThumbImage;
  std::unique_ptr<TAlphaBitmap> FShaftImage;
};

// The scroll bars' shared bitmaps, loaded together on first use.
class TXPScrollsResourceManager {
public:
  static TBitmap& ArrowGlyphs();
  static TBitmap& Arrows();
  static TBitmap& ShaftHorizontal();
  static TBitmap& ShaftVertical();
  static TBitmap& ThumbHorizontal();
  static TBitmap& ThumbVertical();
  static TBitmap& ThumbGripperHorizontal();
  static TBitmap& ThumbGripperVertical();
  static TAlphaImage& ScrollPattern();
  static bool Loaded();
  // Frees every bitmap; the next request loads them again.
  static void FreeImages();
  // Marks the bitmaps as not loaded.
  static void Startup();
};

inline constexpr TUnitStep kXPScrollsUnitStep{L"XPScrolls", &TXPScrollsResourceManager::Startup,
                                              &TXPScrollsResourceManager::FreeImages};
