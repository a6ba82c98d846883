#pragma once

#include "application.h"

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <vector>

// The control unit's window services: the hidden message window, the
// system controller that runs the main-thread call queue, the screen
// cursors and registered messages of the library, and mouse tracking.

// Re-read the system's scroll-bar sizes.
constexpr UINT KXM_SCROLLBARMETRICS = 0x8065;
// Run the queue of calls worker threads handed to the loading thread.
constexpr UINT KXM_SYNCHRONIZE = 0x8066;

// The two messages registered by name at load.
extern const wchar_t* const kkxRegisteredMessageNames[2];
// Their numbers while the unit is loaded, else 0.
UINT KxRegisteredMessage(int AIndex);

// The first screen-cursor slot of the library's cursors and the slot of the
// system hand cursor.
constexpr int kkxFirstCursorSlot = 2100;
constexpr int kkxHandCursorSlot = -2099;
struct TkxCursorSlot {
  int Slot;
  const wchar_t* ResourceName; // nullptr: the system hand cursor
};
// The slots in the order they are filled.
extern const TkxCursorSlot kkxCursorSlots[17];

// A hidden window of the loading thread whose messages go to WndProc.
class TkxMessageWindow {
public:
  TkxMessageWindow();
  TkxMessageWindow(const TkxMessageWindow&) = delete;
  TkxMessageWindow& operator=(const TkxMessageWindow&) = delete;
  virtual ~TkxMessageWindow();

  HWND Handle() const { return FWindow ? FWindow->Handle() : nullptr; }

protected:
  // Answers whether it handled the message (with AResult); what nobody
  // handles goes to DefWindowProcW. Messages of the window's creation,
  // before the object is whole, are not offered.
  virtual bool WndProc(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult);

private:
  std::unique_ptr<THiddenWindow> FWindow;
  bool FReady = false;
};

// Takes over the main-thread wake-up while it lives: a worker thread's wake
// posts KXM_SYNCHRONIZE to this window and the loading thread then runs the
// queued calls. The handler installed before is put back at destruction.
class TkxSystemController : public TkxMessageWindow {
public:
  TkxSystemController();
  ~TkxSystemController() override;

protected:
  bool WndProc(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) override;

private:
  TWakeMainThread FPrevWakeMainThread;
};

// The system controller while the control unit is loaded, else nullptr.
TkxSystemController* SystemController();

// Mouse tracking: tells a caller when the mouse leaves its bounds (checked
// every 10 ms while tracked).
class IkxMouseTrackingCaller {
public:
  virtual void TrackedMouseLeave() = 0;

protected:
  ~IkxMouseTrackingCaller() = default;
};

// ABounds are in AWindow's client coordinates (screen coordinates when
// AWindow is nullptr). Nothing after unload or when the caller is tracked.
void StartMouseTracking(HWND AWindow, const RECT& ABounds, IkxMouseTrackingCaller* ACaller);
void StopMouseTracking(IkxMouseTrackingCaller* ACaller);
bool IsMouseTrackingActive(IkxMouseTrackingCaller* ACaller);
// How many callers are tracked now.
size_t MouseTrackingCount();

// Message blocking: one window at a time may have its next message
// swallowed, and messages may be marked as locked so that a hook blocks
// their delivery.
class TgxMessagesController {
public:
  TgxMessagesController() = default;
  TgxMessagesController(const TgxMessagesController&) = delete;
  TgxMessagesController& operator=(const TgxMessagesController&) = delete;
  // A block still waiting gives the window its own procedure back.
  ~TgxMessagesController();

  // Whether exactly AMessage waits in the thread's queue for AWnd.
  bool IsMessageInQueue(HWND AWnd, UINT AMessage);
  // Removes queued messages for AWnd in AMin..AMax (AMax 0: AMin alone),
  // only the first unless AKillAll; a WM_QUIT met is posted again and ends
  // the removal. True when something else was removed.
  bool KillMessages(HWND AWnd, UINT AMin, UINT AMax = 0, bool AKillAll = false);
  bool IsMessageLocked(UINT AMessage) const;
  void LockMessages(std::initializer_list<UINT> AMessages);
  void UnlockMessages(std::initializer_list<UINT> AMessages);
  // The next message the window receives is answered 1 and goes no
  // further; raises EgxException "gxLockMessage fails" while a block is
  // active.
  void BlockMessage(HWND AHandle);
  // Blocks the delivery of a locked message and turns it into WM_NULL.
  void BlockLockedMessage(HWND AHandle, UINT& AMessage);
  // The window whose next message is swallowed, or nullptr.
  static HWND BlockedWindow();

private:
  std::vector<UINT> FLockedMessages;
};

// Made on first use while the control unit is loaded; nullptr after unload.
TgxMessagesController* MessagesController();

// The cursor position; (0, 0) when the system cannot tell it.
void SafeGetCursorPos(POINT& AP);
// Both distances from the press are smaller than the system's drag
// threshold.
bool IsWithinDragThreshold(POINT AMouseDownPos, int AX, int AY);
// Runs the drag detection loop on AWnd from the screen point AP: 0 the
// button was released, 1 the mouse left the threshold square, 2 cancelled.
int DetectMouseDrag(HWND AWnd, POINT AP);
// AWnd's style has WS_CHILD.
bool IsChildStyleWindow(HWND AWnd);
// The Ctrl key is down now.
bool CtrlKeyDown();
