#pragma once

#include "controls.h"
#include "timers.h"
#include "xp-controls.h"

#include <windows.h>

#include <memory>
#include <string>

// A pair of arrow buttons (up and down, or left and right) with auto-repeat,
// drawn in the themed, emulated-XP, classic or a flat look. The tab control
// uses one, horizontal, as its tab scroll arrows.

enum TUpDownKind { udkHorizontal, udkVertical };

// The first repeat comes this long after the press, then one every
// kUpDownRepeatInterval while the button is held.
constexpr UINT kUpDownRepeatDelay = 500;
constexpr UINT kUpDownRepeatInterval = 100;

class TXPUpDown : public TXPCustomControl {
public:
  explicit TXPUpDown(TComponent* AOwner);
  ~TXPUpDown() override;
  std::wstring ClassName() const override { return L"TXPUpDown"; }

  bool Flat() const { return FFlat; }
  void SetFlat(bool AValue);
  TUpDownKind Kind() const { return FKind; }
  void SetKind(TUpDownKind AValue);
  bool UpEnabled() const { return FUpEnabled; }
  void SetUpEnabled(bool AValue);
  bool DownEnabled() const { return FDownEnabled; }
  void SetDownEnabled(bool AValue);
  // The control the arrows serve (the tab control for its scroll arrows).
  TWinControl* Control() const { return FControl; }
  void SetControl(TWinControl* AValue) { FControl = AValue; }

  bool UpPressed() const { return FUpPressed; }
  bool UpHot() const { return FUpHot; }
  bool DownPressed() const { return FDownPressed; }
  bool DownHot() const { return FDownHot; }
  // The repeat timer; nullptr until the first press.
  TTimer* RepeatTimer() const { return FTimer.get(); }

  // Vertical: up the top half, down the bottom half. Horizontal: "up" is
  // the left half, "down" the right half.
  RECT UpRect() const;
  RECT DownRect() const;

  // Nothing when that button is disabled; otherwise UpClick / DownClick.
  void StepUp();
  void StepDown();

  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

  void EnabledChanged() override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;

protected:
  virtual void UpClick();
  virtual void DownClick();
  virtual void DrawButton(const RECT& ARect, bool APressed, bool AHot, bool AIsUp);

  void Click() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void Paint() override;

private:
  void UpdateState(int AX, int AY);
  void TimerTick();
  void ApplyKindSize();
  void DrawFlatButton(const RECT& ARect, bool APressed, bool AHot, bool AIsUp, bool AButtonEnabled);
  void DrawClassicButton(const RECT& ARect, bool APressed, bool AHot, bool AIsUp,
                         bool AButtonEnabled);
  void DrawEmulatedButton(const RECT& ARect, int AState, bool AIsUp);
  void DrawThemedButton(const RECT& ARect, int AState, bool AIsUp);

  bool FUpPressed = false;
  bool FUpHot = false;
  bool FDownPressed = false;
  bool FDownHot = false;
  bool FMouseInside = false;
  bool FMouseDown = false;
  bool FIsUpTimer = false;
  bool FUpEnabled = true;
  bool FDownEnabled = true;
  TUpDownKind FKind = udkHorizontal;
  std::unique_ptr<TTimer> FTimer;
  bool FFlat = false;
  TWinControl* FControl = nullptr;
};
