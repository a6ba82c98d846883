#include "kx-controls.h"
#include "edit-controls-units.h"
#include "kx-control.h"

#include "gx-core.h"
#include "resource-ledger.h"
#include "timers.h"
#include "unit-steps.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

const wchar_t* const kkxRegisteredMessageNames[2] = {L"{B2CE3777-44D8-4998-9701-47BBBC10B656}",
                                                     L"{B2CE3777-44D8-1321-4656-12C54AA613BB}"};

// The hand cursor sits between the drag cursor and the colour picker: the
// slots are filled in this order.
const TkxCursorSlot kkxCursorSlots[17] = {{2100, L"KX_DRAGCOPYCURSOR"},
                                          {2101, L"KX_FULLSCROLLCURSOR"},
                                          {2102, L"KX_HORSCROLLCURSOR"},
                                          {2103, L"KX_VERSCROLLCURSOR"},
                                          {2104, L"KX_UPSCROLLCURSOR"},
                                          {2105, L"KX_RIGHTSCROLLCURSOR"},
                                          {2106, L"KX_DOWNSCROLLCURSOR"},
                                          {2107, L"KX_LEFTSCROLLCURSOR"},
                                          {2108, L"KX_REMOVECURSOR"},
                                          {2109, L"KX_VERTSIZECURSOR"},
                                          {2110, L"KX_HORZSIZECURSOR"},
                                          {2111, L"KX_MULTIDRAGCURSOR"},
                                          {2112, L"KX_NODROPCURSOR"},
                                          {2113, L"KX_DRAGCURSOR"},
                                          {-2099, nullptr},
                                          {2114, L"KX_COLORPICKERCURSOR"},
                                          {2115, L"KX_MULTIDRAGCOPYCURSOR"}};

namespace {

TkxSystemController* GSystemController = nullptr;
UINT GRegisteredMessages[2] = {0, 0};
bool GFinalized = true;

struct TTrackingEntry {
  IkxMouseTrackingCaller* Caller;
  HWND Window;
  RECT Bounds;
  TTimer* Timer;
};
std::vector<TTrackingEntry>* GTrackingList = nullptr;

std::vector<TTrackingEntry>& TrackingList() {
  if (!GTrackingList)
    GTrackingList = new std::vector<TTrackingEntry>();
  return *GTrackingList;
}

void FreeTrackingEntry(TTrackingEntry& AEntry) {
  if (AEntry.Timer) {
    TComponent::Free(AEntry.Timer);
    AEntry.Timer = nullptr;
  }
}

void TrackingTick(IkxMouseTrackingCaller* ACaller) {
  if (!GTrackingList)
    return;
  auto it = std::find_if(GTrackingList->begin(), GTrackingList->end(),
                         [&](const TTrackingEntry& e) { return e.Caller == ACaller; });
  if (it == GTrackingList->end())
    return;
  POINT cursor{};
  if (!GetCursorPos(&cursor))
    cursor = POINT{0, 0};
  const bool inside = PtInRect(&it->Bounds, cursor) != FALSE;
  const bool unavailable = it->Window && (!IsWindow(it->Window) || !IsWindowEnabled(it->Window));
  if (inside && !unavailable)
    return;
  StopMouseTracking(ACaller);
  ACaller->TrackedMouseLeave();
}

TgxMessagesController* GMessagesController = nullptr;
// The one active block: its window and the procedure it gets back.
HWND GBlockedWindow = nullptr;
WNDPROC GBlockedOldProc = nullptr;

void EndBlock() {
  if (GBlockedWindow && IsWindow(GBlockedWindow))
    SetWindowLongPtrW(GBlockedWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GBlockedOldProc));
  GBlockedWindow = nullptr;
  GBlockedOldProc = nullptr;
}

LRESULT CALLBACK BlockingProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  if (AWnd != GBlockedWindow) {
    // Another window of the class cannot reach here; pass it on anyway.
    return GBlockedOldProc ? CallWindowProcW(GBlockedOldProc, AWnd, AMsg, AWParam, ALParam)
                           : DefWindowProcW(AWnd, AMsg, AWParam, ALParam);
  }
  EndBlock();
  return 1;
}

} // namespace

// ---------------------------------------------------------------------------

TkxMessageWindow::TkxMessageWindow()
    : FWindow(std::make_unique<THiddenWindow>(
          [this](UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
            return FReady && WndProc(AMsg, AWParam, ALParam, AResult);
          })) {
  FReady = true;
}

TkxMessageWindow::~TkxMessageWindow() {
  FReady = false;
}

bool TkxMessageWindow::WndProc(UINT, WPARAM, LPARAM, LRESULT&) {
  return false;
}

TkxSystemController::TkxSystemController() {
  // The module is always a library: the loading thread's own message loop
  // belongs to the host, so the wake-up must land on a window of ours.
  HWND window = Handle();
  FPrevWakeMainThread =
      SetWakeMainThread([window] { PostMessageW(window, KXM_SYNCHRONIZE, 0, 0); });
}

TkxSystemController::~TkxSystemController() {
  SetWakeMainThread(std::move(FPrevWakeMainThread));
}

bool TkxSystemController::WndProc(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
  if (AMsg == KXM_SYNCHRONIZE) {
    CheckSynchronize();
    AResult = 0;
    return true;
  }
  return TkxMessageWindow::WndProc(AMsg, AWParam, ALParam, AResult);
}

TkxSystemController* SystemController() {
  return GSystemController;
}

UINT KxRegisteredMessage(int AIndex) {
  return AIndex >= 0 && AIndex < 2 ? GRegisteredMessages[AIndex] : 0;
}

// ---------------------------------------------------------------------------
// Message blocking

TgxMessagesController::~TgxMessagesController() {
  EndBlock();
}

bool TgxMessagesController::IsMessageInQueue(HWND AWnd, UINT AMessage) {
  MSG msg;
  return PeekMessageW(&msg, AWnd, AMessage, AMessage, PM_NOREMOVE | PM_NOYIELD) &&
         msg.hwnd == AWnd;
}

bool TgxMessagesController::KillMessages(HWND AWnd, UINT AMin, UINT AMax, bool AKillAll) {
  if (AMax == 0)
    AMax = AMin;
  bool removed = false;
  MSG msg;
  while (PeekMessageW(&msg, AWnd, AMin, AMax, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    removed = true;
    if (!AKillAll)
      break;
  }
  return removed;
}

bool TgxMessagesController::IsMessageLocked(UINT AMessage) const {
  return std::find(FLockedMessages.begin(), FLockedMessages.end(), AMessage) !=
         FLockedMessages.end();
}

void TgxMessagesController::LockMessages(std::initializer_list<UINT> AMessages) {
  FLockedMessages.insert(FLockedMessages.end(), AMessages.begin(), AMessages.end());
}

void TgxMessagesController::UnlockMessages(std::initializer_list<UINT> AMessages) {
  for (UINT message : AMessages) {
    auto it = std::find(FLockedMessages.begin(), FLockedMessages.end(), message);
    if (it != FLockedMessages.end())
      FLockedMessages.erase(it);
  }
}

void TgxMessagesController::BlockMessage(HWND AHandle) {
  if (GBlockedWindow)
    throw EgxException("gxLockMessage fails");
  if (!AHandle || !IsWindow(AHandle))
    return;
  GBlockedOldProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(AHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BlockingProc)));
  GBlockedWindow = AHandle;
}

void TgxMessagesController::BlockLockedMessage(HWND AHandle, UINT& AMessage) {
  if (!IsMessageLocked(AMessage))
    return;
  BlockMessage(AHandle);
  AMessage = WM_NULL;
}

HWND TgxMessagesController::BlockedWindow() {
  return GBlockedWindow;
}

TgxMessagesController* MessagesController() {
  if (!GMessagesController && !GFinalized)
    GMessagesController = new TgxMessagesController();
  return GMessagesController;
}

// ---------------------------------------------------------------------------
// Free routines

void SafeGetCursorPos(POINT& AP) {
  if (!GetCursorPos(&AP))
    AP = POINT{0, 0};
}

bool IsWithinDragThreshold(POINT AMouseDownPos, int AX, int AY) {
  return std::abs(AMouseDownPos.x - AX) < GetSystemMetrics(SM_CXDRAG) &&
         std::abs(AMouseDownPos.y - AY) < GetSystemMetrics(SM_CYDRAG);
}

int DetectMouseDrag(HWND AWnd, POINT AP) {
  const int dx = GetSystemMetrics(SM_CXDRAG), dy = GetSystemMetrics(SM_CYDRAG);
  const RECT square{AP.x - dx, AP.y - dy, AP.x + dx, AP.y + dy};
  SetCapture(AWnd);
  int result = 2;
  bool done = false;
  while (!done && GetCapture() == AWnd) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0)
        PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (msg.wParam == VK_ESCAPE) {
        result = 2;
        done = true;
      }
      break;
    case WM_MOUSEMOVE:
      if (msg.hwnd == AWnd) {
        POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        ClientToScreen(AWnd, &p);
        if (!PtInRect(&square, p)) {
          result = 1;
          done = true;
        }
      }
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      result = 0;
      done = true;
      break;
    default:
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (GetCapture() == AWnd)
    ReleaseCapture();
  return result;
}

bool IsChildStyleWindow(HWND AWnd) {
  return (GetWindowLongPtrW(AWnd, GWL_STYLE) & WS_CHILD) != 0;
}

bool CtrlKeyDown() {
  return GetAsyncKeyState(VK_CONTROL) < 0;
}

// ---------------------------------------------------------------------------
// Mouse tracking

void StartMouseTracking(HWND AWindow, const RECT& ABounds, IkxMouseTrackingCaller* ACaller) {
  if (GFinalized || !ACaller || IsMouseTrackingActive(ACaller))
    return;
  RECT bounds = ABounds;
  if (AWindow)
    MapWindowPoints(AWindow, nullptr, reinterpret_cast<POINT*>(&bounds), 2);
  auto* timer = new TTimer(nullptr);
  timer->SetInterval(10);
  timer->SetOnTimer([ACaller](TTimer*) { TrackingTick(ACaller); });
  TrackingList().push_back({ACaller, AWindow, bounds, timer});
}

void StopMouseTracking(IkxMouseTrackingCaller* ACaller) {
  if (!GTrackingList)
    return;
  auto it = std::find_if(GTrackingList->begin(), GTrackingList->end(),
                         [&](const TTrackingEntry& e) { return e.Caller == ACaller; });
  if (it == GTrackingList->end())
    return;
  TTrackingEntry entry = *it;
  GTrackingList->erase(it);
  FreeTrackingEntry(entry);
}

bool IsMouseTrackingActive(IkxMouseTrackingCaller* ACaller) {
  if (GFinalized || !GTrackingList)
    return false;
  return std::any_of(GTrackingList->begin(), GTrackingList->end(),
                     [&](const TTrackingEntry& e) { return e.Caller == ACaller; });
}

size_t MouseTrackingCount() {
  return GTrackingList ? GTrackingList->size() : 0;
}

// ---------------------------------------------------------------------------
// The unit

void KxControlsStartup() {
  try {
    GFinalized = false;
    // Queued calls run on the thread that loads the module.
    BindMainThread();
    for (const auto& slot : kkxCursorSlots) {
      const bool loaded =
          slot.ResourceName
              ? Screen()->LoadModuleCursor(slot.Slot, ModuleInstance(), slot.ResourceName)
              : Screen()->LoadSystemCursor(slot.Slot, IDC_HAND);
      if (loaded)
        LedgerRegistration(L"ScreenCursor", std::to_wstring(slot.Slot).c_str(), true);
    }
    for (int i = 0; i < 2; ++i) {
      GRegisteredMessages[i] = RegisterWindowMessageW(kkxRegisteredMessageNames[i]);
      if (GRegisteredMessages[i])
        LedgerRegistration(L"WindowMessage", kkxRegisteredMessageNames[i], true);
    }
    // The class group of streamed controls takes the child components.
    if (!TClassRegistry::IsRegistered(L"TkxControlChildComponent")) {
      RegisterKxControlClasses();
      LedgerRegistration(L"Class", L"TkxControlChildComponent", true);
    }
    GSystemController = new TkxSystemController();
  } catch (...) {
  }
}

void KxControlsShutdown() {
  try {
    GFinalized = true;
    delete GSystemController;
    GSystemController = nullptr;
    delete GMessagesController;
    GMessagesController = nullptr;
    if (TClassRegistry::IsRegistered(L"TkxControlChildComponent")) {
      UnregisterKxControlClasses();
      LedgerRegistration(L"Class", L"TkxControlChildComponent", false);
    }
    // Tracking left running when the module goes would tick into freed
    // code: every leftover timer is stopped and freed.
    if (GTrackingList) {
      for (auto& entry : *GTrackingList)
        FreeTrackingEntry(entry);
      delete GTrackingList;
      GTrackingList = nullptr;
    }
    for (int i = 1; i >= 0; --i)
      if (GRegisteredMessages[i]) {
        GRegisteredMessages[i] = 0;
        LedgerRegistration(L"WindowMessage", kkxRegisteredMessageNames[i], false);
      }
    for (size_t i = std::size(kkxCursorSlots); i-- > 0;) {
      const auto& slot = kkxCursorSlots[i];
      if (Screen()->HasCursor(slot.Slot) && Screen()->Cursor(slot.Slot)) {
        // Our own cursors are destroyed; the system's hand is only let go.
        Screen()->SetCursor(slot.Slot, nullptr, TCursorOwnership::Shared);
        LedgerRegistration(L"ScreenCursor", std::to_wstring(slot.Slot).c_str(), false);
      }
    }
  } catch (...) {
  }
}
