#pragma once

#include "classes.h"

#include <windows.h>

#include <functional>

// A component that calls OnTimer every Interval milliseconds while it is
// Enabled and has an OnTimer. All timers share one hidden window, made with
// the first running timer and freed with the last, so an idle module holds
// no window. OnTimer may stop the timer, change it or free it: each start
// takes a new timer id, so a tick queued for an earlier start never arrives,
// and nothing of the timer is touched after OnTimer returns.
class TTimer : public TComponent {
public:
  using TTimerEvent = std::function<void(TTimer* ASender)>;

  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  std::wstring ClassName() const override { return L"TTimer"; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue);
  // Milliseconds; 0 stops the timer until another interval is set.
  UINT Interval() const { return FInterval; }
  void SetInterval(UINT AValue);
  const TTimerEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TTimerEvent AValue);

  // True while the system timer runs.
  bool Running() const { return FTimerId != 0; }
  // The system timer's id while running, else 0; a new one for each start.
  UINT_PTR TimerId() const { return FTimerId; }
  // Timers running in this module, and the window they tick on (nullptr
  // while none runs).
  static size_t RunningCount();
  static HWND Window();

protected:
  // Fires OnTimer; descendants may do their own work around it.
  virtual void Timer();

private:
  friend class TTimerWindow;
  void UpdateTimer();
  void Stop();

  bool FEnabled = true;
  UINT FInterval = 1000;
  TTimerEvent FOnTimer;
  UINT_PTR FTimerId = 0;
};
