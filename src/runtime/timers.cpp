#include "timers.h"

#include "application.h"
#include "resource-ledger.h"

#include <map>

// The hidden window all timers tick on, with the running timers by id.
class TTimerWindow {
public:
  static UINT_PTR Start(TTimer* ATimer, UINT AInterval) {
    if (!FWindow)
      FWindow = new THiddenWindow(&TTimerWindow::Handle);
    UINT_PTR id = NextId();
    if (!SetTimer(FWindow->Handle(), id, AInterval, nullptr)) {
      ReleaseIfIdle();
      throw EOutOfResources("no timer could be started");
    }
    TResourceLedger::Take(TResourceKind::Timer, id);
    FTimers[id] = ATimer;
    return id;
  }

  static void Stop(UINT_PTR AId) {
    if (!FWindow || !FTimers.erase(AId))
      return;
    // KillTimer also drops a tick of this id already in the queue.
    KillTimer(FWindow->Handle(), AId);
    TResourceLedger::Give(TResourceKind::Timer, AId);
    ReleaseIfIdle();
  }

  static size_t Count() { return FTimers.size(); }
  static HWND Window() { return FWindow ? FWindow->Handle() : nullptr; }

private:
  static UINT_PTR NextId() {
    // Ids are never reused while running, so a stale tick finds nobody.
    do {
      if (++FLastId == 0)
        FLastId = 1;
    } while (FTimers.count(FLastId));
    return FLastId;
  }

  static void ReleaseIfIdle() {
    if (FTimers.empty()) {
      delete FWindow;
      FWindow = nullptr;
    }
  }

  static bool Handle(UINT AMsg, WPARAM AWParam, LPARAM, LRESULT& AResult) {
    if (AMsg != WM_TIMER)
      return false;
    AResult = 0;
    auto it = FTimers.find(UINT_PTR(AWParam));
    if (it != FTimers.end())
      it->second->Timer();
    // The timer, and this window with it, may be gone now.
    return true;
  }

  // A plain pointer: nothing of it may run in the process's exit sequence.
  static inline THiddenWindow* FWindow = nullptr;
  static inline std::map<UINT_PTR, TTimer*> FTimers;
  static inline UINT_PTR FLastId = 0;
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() {
  Stop();
}

size_t TTimer::RunningCount() {
  return TTimerWindow::Count();
}

HWND TTimer::Window() {
  return TTimerWindow::Window();
}

void TTimer::SetEnabled(bool AValue) {
  if (AValue == FEnabled)
    return;
  FEnabled = AValue;
  UpdateTimer();
}

void TTimer::SetInterval(UINT AValue) {
  if (AValue == FInterval)
    return;
  FInterval = AValue;
  UpdateTimer();
}

void TTimer::SetOnTimer(TTimerEvent AValue) {
  FOnTimer = std::move(AValue);
  UpdateTimer();
}

void TTimer::Stop() {
  if (FTimerId) {
    TTimerWindow::Stop(FTimerId);
    FTimerId = 0;
  }
}

void TTimer::UpdateTimer() {
  // Every change restarts the count with a fresh id.
  Stop();
  if (FEnabled && FInterval != 0 && FOnTimer)
    FTimerId = TTimerWindow::Start(this, FInterval);
}

void TTimer::Timer() {
  // OnTimer may free this timer, and with it the event: run a copy.
  TTimerEvent event = FOnTimer;
  if (event)
    event(this);
}
