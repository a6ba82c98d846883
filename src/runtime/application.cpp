#include "application.h"

#include "resource-ledger.h"
#include "seams.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
  return module;
}

// ---------------------------------------------------------------------------
// Hidden windows

namespace {

constexpr wchar_t kHiddenWindowClass[] = L"TOrvandelHiddenWindow";
ATOM GHiddenClass = 0;
size_t GHiddenCount = 0;

} // namespace

THiddenWindow::THiddenWindow(THandler AHandler) : FHandler(std::move(AHandler)) {
  if (GHiddenClass == 0) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &THiddenWindow::WindowProc;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = kHiddenWindowClass;
    GHiddenClass = RegisterClassExW(&wc);
    if (GHiddenClass == 0)
      throw EOutOfResources("the hidden window class could not be registered");
    TResourceLedger::Take(TResourceKind::WindowClass, GHiddenClass);
  }
  // A hidden top-level window rather than a message-only one, so that
  // broadcast setting changes reach it too.
  FHandle = CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, ModuleInstance(), this);
  if (!FHandle) {
    if (GHiddenCount == 0) {
      UnregisterClassW(kHiddenWindowClass, ModuleInstance());
      TResourceLedger::Give(TResourceKind::WindowClass, GHiddenClass);
      GHiddenClass = 0;
    }
    throw EOutOfResources("a hidden window could not be made");
  }
  LedgerTake(TResourceKind::Window, FHandle);
  ++GHiddenCount;
}

THiddenWindow::~THiddenWindow() {
  // Cut the window off from this object first: messages sent while it is
  // being destroyed must not reach a handler that is going away.
  SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
  DestroyWindow(FHandle);
  LedgerGive(TResourceKind::Window, FHandle);
  if (--GHiddenCount == 0) {
    UnregisterClassW(kHiddenWindowClass, ModuleInstance());
    TResourceLedger::Give(TResourceKind::WindowClass, GHiddenClass);
    GHiddenClass = 0;
  }
}

size_t THiddenWindow::LiveCount() {
  return GHiddenCount;
}

LRESULT CALLBACK THiddenWindow::WindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam) {
  if (AMsg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(ALParam);
    SetWindowLongPtrW(AWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrW(AWnd, GWLP_USERDATA));
  if (self && self->FHandler) {
    try {
      // The handler may free this object (a timer freed inside its own
      // tick): hold the handler on the stack and touch nothing afterwards.
      THandler handler = self->FHandler;
      LRESULT result = 0;
      if (handler(AMsg, AWParam, ALParam, result))
        return result;
    } catch (...) {
      HandleCurrentExceptionQuietly();
      return 0;
    }
  }
  return DefWindowProcW(AWnd, AMsg, AWParam, ALParam);
}

// ---------------------------------------------------------------------------
// Calls handed to the loading thread

namespace {

struct TCallWaiter {
  bool Started = false;
  bool Done = false;
  std::exception_ptr Error;
};

struct TQueuedCall {
  std::function<void()> Call;
  std::shared_ptr<TCallWaiter> Waiter; // empty for a call nobody waits for
};

std::mutex GQueueLock;
std::condition_variable GQueueDone;
std::deque<TQueuedCall> GQueue;
TWakeMainThread GWake;
std::atomic<DWORD> GMainThreadId{0};

void WakeMainThread() {
  TWakeMainThread wake;
  {
    std::lock_guard<std::mutex> lock(GQueueLock);
    wake = GWake;
  }
  if (wake)
    wake();
}

} // namespace

TWakeMainThread SetWakeMainThread(TWakeMainThread AHandler) {
  std::lock_guard<std::mutex> lock(GQueueLock);
  TWakeMainThread previous = std::move(GWake);
  GWake = std::move(AHandler);
  return previous;
}

void BindMainThread() {
  GMainThreadId = GetCurrentThreadId();
}

bool IsMainThread() {
  return GMainThreadId != 0 && GetCurrentThreadId() == GMainThreadId;
}

void QueueMainThreadCall(std::function<void()> ACall) {
  if (IsMainThread()) {
    try {
      ACall();
    } catch (...) {
      HandleCurrentExceptionQuietly();
    }
    return;
  }
  {
    std::lock_guard<std::mutex> lock(GQueueLock);
    GQueue.push_back({std::move(ACall), nullptr});
  }
  WakeMainThread();
}

void SynchronizeMainThreadCall(std::function<void()> ACall, DWORD ATimeoutMs) {
  if (IsMainThread()) {
    ACall();
    return;
  }
  auto waiter = std::make_shared<TCallWaiter>();
  {
    std::lock_guard<std::mutex> lock(GQueueLock);
    GQueue.push_back({std::move(ACall), waiter});
  }
  WakeMainThread();
  std::unique_lock<std::mutex> lock(GQueueLock);
  if (!GQueueDone.wait_for(lock, std::chrono::milliseconds(ATimeoutMs),
                           [&] { return waiter->Done; })) {
    if (!waiter->Started) {
      GQueue.erase(std::remove_if(GQueue.begin(), GQueue.end(),
                                  [&](const TQueuedCall& c) { return c.Waiter == waiter; }),
                   GQueue.end());
      throw EThreadTimeout("the loading thread did not take the call within " +
                           std::to_string(ATimeoutMs) + " ms");
    }
    // Begun calls cannot be taken back; the loading thread is running it.
    GQueueDone.wait(lock, [&] { return waiter->Done; });
  }
  if (waiter->Error)
    std::rethrow_exception(waiter->Error);
}

bool CheckSynchronize() {
  if (!IsMainThread())
    return false;
  std::deque<TQueuedCall> calls;
  {
    std::lock_guard<std::mutex> lock(GQueueLock);
    calls.swap(GQueue);
    for (auto& c : calls)
      if (c.Waiter)
        c.Waiter->Started = true;
  }
  for (auto& c : calls) {
    std::exception_ptr error;
    try {
      c.Call();
    } catch (...) {
      if (c.Waiter)
        error = std::current_exception();
      else
        HandleCurrentExceptionQuietly();
    }
    if (c.Waiter) {
      std::lock_guard<std::mutex> lock(GQueueLock);
      c.Waiter->Error = error;
      c.Waiter->Done = true;
      GQueueDone.notify_all();
    }
  }
  return !calls.empty();
}

// ---------------------------------------------------------------------------
// The application

namespace {
TApplication* GApplication = nullptr;
TScreen* GScreen = nullptr;
} // namespace

TApplication::TApplication(TComponent* AOwner)
    : TComponent(AOwner), FWindow([](UINT AMsg, WPARAM, LPARAM, LRESULT& AResult) {
        if (AMsg != CM_SYNCHRONIZE)
          return false;
        CheckSynchronize();
        AResult = 0;
        return true;
      }) {
  GMainThreadId = GetCurrentThreadId();
  if (!GApplication)
    GApplication = this;
  HWND window = FWindow.Handle();
  FPreviousWake = SetWakeMainThread([window] { PostMessageW(window, CM_SYNCHRONIZE, 0, 0); });
}

TApplication::~TApplication() {
  UnchainMainWindow();
  SetWakeMainThread(std::move(FPreviousWake));
  if (GApplication == this)
    GApplication = nullptr;
}

void TApplication::SetMainWindow(HWND AWindow) {
  if (AWindow == FMainWindow)
    return;
  UnchainMainWindow();
  FMainWindow = AWindow;
  if (!FHooks.empty())
    ChainMainWindow();
}

void TApplication::ChainMainWindow() {
  if (!FMainWindow || FMainPrevProc)
    return;
  FMainPrevProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      FMainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TApplication::MainWindowProc)));
}

void TApplication::UnchainMainWindow() {
  if (!FMainPrevProc)
    return;
  // Put the old procedure back only when ours is still the window's: a
  // procedure chained after ours keeps calling ours, which passes on.
  if (IsWindow(FMainWindow) && GetWindowLongPtrW(FMainWindow, GWLP_WNDPROC) ==
                                   reinterpret_cast<LONG_PTR>(&TApplication::MainWindowProc))
    SetWindowLongPtrW(FMainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FMainPrevProc));
  FMainPrevProc = nullptr;
}

LRESULT CALLBACK TApplication::MainWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam,
                                              LPARAM ALParam) {
  TApplication* app = GApplication;
  if (!app || app->FMainWindow != AWnd || !app->FMainPrevProc)
    return DefWindowProcW(AWnd, AMsg, AWParam, ALParam);
  WNDPROC previous = app->FMainPrevProc;
  if (AMsg == WM_NCDESTROY) {
    app->UnchainMainWindow();
    app->FMainWindow = nullptr;
    return CallWindowProcW(previous, AWnd, AMsg, AWParam, ALParam);
  }
  LRESULT result = 0;
  try {
    if (app->HandleWindowMessage(AMsg, AWParam, ALParam, result))
      return result;
  } catch (...) {
    HandleCurrentExceptionQuietly();
  }
  return CallWindowProcW(previous, AWnd, AMsg, AWParam, ALParam);
}

bool TApplication::HandleWindowMessage(UINT AMsg, WPARAM AWParam, LPARAM ALParam,
                                       LRESULT& AResult) {
  // Walk by key over a copy: a hook may add or remove hooks while it runs.
  std::vector<int> keys;
  for (auto& h : FHooks)
    keys.push_back(h.first);
  for (int key : keys) {
    auto it = std::find_if(FHooks.begin(), FHooks.end(), [&](auto& h) { return h.first == key; });
    if (it == FHooks.end())
      continue;
    TWindowHook hook = it->second;
    if (hook(AMsg, AWParam, ALParam, AResult))
      return true;
  }
  return false;
}

int TApplication::HookMainWindow(TWindowHook AHook) {
  int key = FNextHookKey++;
  FHooks.emplace_back(key, std::move(AHook));
  ChainMainWindow();
  return key;
}

void TApplication::UnhookMainWindow(int AKey) {
  FHooks.erase(
      std::remove_if(FHooks.begin(), FHooks.end(), [&](auto& h) { return h.first == AKey; }),
      FHooks.end());
  if (FHooks.empty())
    UnchainMainWindow();
}

bool TApplication::ProcessMessage() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    // The quit belongs to the loop that owns the thread (the host's).
    PostQuitMessage(int(msg.wParam));
    return false;
  }
  try {
    bool handled = false;
    if (OnMessage)
      OnMessage(msg, handled);
    if (!handled) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  } catch (...) {
    HandleCurrentException();
  }
  return true;
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::HandleMessage() {
  if (!ProcessMessage() && !FTerminated)
    WaitMessage();
}

bool TApplication::Active() const {
  HWND foreground = GetForegroundWindow();
  if (!foreground)
    return false;
  DWORD process = 0;
  GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId();
}

void TApplication::HandleException(const std::exception& AException) {
  if (OnException)
    OnException(this, AException);
  else
    ShowException(AException);
}

void TApplication::HandleCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    HandleException(Exception("an unknown exception was raised"));
  }
}

void TApplication::ShowException(const std::exception& AException) {
  std::wstring text;
  if (auto* own = dynamic_cast<const Exception*>(&AException))
    text = own->Message();
  else
    text = Exception(std::string(AException.what())).Message();
  if (!text.empty() && text.back() != L'.')
    text += L'.';
  ShowMessageBox(FMainWindow, text, Title, MB_OK | MB_ICONSTOP);
}

bool TApplication::HelpContext(int AContext) {
  if (AContext == 0 || !OnHelp)
    return false;
  return OnHelp(HELP_CONTEXT, uintptr_t(AContext));
}

TApplication* Application() {
  if (!GApplication)
    GApplication = new TApplication(nullptr);
  return GApplication;
}

TApplication* ApplicationIfAny() {
  return GApplication;
}

void ReleaseApplication() {
  if (GScreen) {
    delete GScreen;
    GScreen = nullptr;
  }
  if (GApplication)
    TComponent::Free(GApplication);
}

void HandleCurrentExceptionQuietly() noexcept {
  try {
    if (GApplication) {
      GApplication->HandleCurrentException();
      return;
    }
    try {
      throw;
    } catch (const std::exception& e) {
      ShowErrorBox(nullptr, Exception(std::string(e.what())).Message());
    }
  } catch (...) {
    // Nothing may leave a window procedure, not even a failed report.
  }
}

// ---------------------------------------------------------------------------
// The screen's cursors

namespace {

struct TStandardCursor {
  int Slot;
  LPCWSTR Id;
};

// Slot numbers as the controls know them (crDefault, crArrow, ...).
const TStandardCursor kStandardCursors[] = {
    {0, IDC_ARROW},     {-2, IDC_ARROW},  {-3, IDC_CROSS},    {-4, IDC_IBEAM},
    {-6, IDC_SIZENESW}, {-7, IDC_SIZENS}, {-8, IDC_SIZENWSE}, {-9, IDC_SIZEWE},
    {-10, IDC_UPARROW}, {-11, IDC_WAIT},  {-18, IDC_NO},      {-19, IDC_APPSTARTING},
    {-20, IDC_HELP},    {-21, IDC_HAND},  {-22, IDC_SIZEALL},
};
constexpr int kNoCursorSlot = -1;
constexpr int kDefaultSlot = 0;

} // namespace

TScreen::~TScreen() {
  ReleaseCursors();
}

void TScreen::Drop(TSlot& ASlot) {
  if (ASlot.Ownership == TCursorOwnership::Owned && ASlot.Handle) {
    DestroyCursor(ASlot.Handle);
    LedgerGive(TResourceKind::Cursor, ASlot.Handle);
  }
  ASlot.Handle = nullptr;
}

HCURSOR TScreen::Cursor(int ASlot) {
  if (ASlot == kNoCursorSlot)
    return nullptr;
  auto it = FSlots.find(ASlot);
  if (it != FSlots.end())
    return it->second.Handle;
  for (auto& standard : kStandardCursors)
    if (standard.Slot == ASlot) {
      HCURSOR cursor = LoadCursorW(nullptr, standard.Id);
      FSlots[ASlot] = {cursor, TCursorOwnership::Shared};
      return cursor;
    }
  return Cursor(kDefaultSlot);
}

bool TScreen::HasCursor(int ASlot) const {
  return FSlots.count(ASlot) != 0;
}

void TScreen::SetCursor(int ASlot, HCURSOR ACursor, TCursorOwnership AOwnership) {
  auto it = FSlots.find(ASlot);
  if (it != FSlots.end()) {
    if (it->second.Handle == ACursor) {
      // The same cursor changes hands: it is kept, only who frees it moves.
      if (it->second.Ownership == TCursorOwnership::Owned && AOwnership == TCursorOwnership::Shared)
        LedgerGive(TResourceKind::Cursor, ACursor);
      else if (it->second.Ownership == TCursorOwnership::Shared &&
               AOwnership == TCursorOwnership::Owned && ACursor)
        LedgerTake(TResourceKind::Cursor, ACursor);
      it->second.Ownership = AOwnership;
      return;
    }
    Drop(it->second);
  }
  if (AOwnership == TCursorOwnership::Owned && ACursor)
    LedgerTake(TResourceKind::Cursor, ACursor);
  FSlots[ASlot] = {ACursor, AOwnership};
}

bool TScreen::LoadModuleCursor(int ASlot, HINSTANCE AModule, LPCWSTR AName) {
  // Without LR_SHARED the cursor is this module's own copy, destroyed when
  // the slot lets it go.
  auto cursor =
      static_cast<HCURSOR>(LoadImageW(AModule, AName, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
  if (!cursor)
    return false;
  SetCursor(ASlot, cursor, TCursorOwnership::Owned);
  return true;
}

bool TScreen::LoadSystemCursor(int ASlot, LPCWSTR AId) {
  HCURSOR cursor = LoadCursorW(nullptr, AId);
  if (!cursor)
    return false;
  SetCursor(ASlot, cursor, TCursorOwnership::Shared);
  return true;
}

void TScreen::ReleaseCursors() {
  for (auto& slot : FSlots)
    Drop(slot.second);
  FSlots.clear();
}

size_t TScreen::OwnedCount() const {
  return size_t(std::count_if(FSlots.begin(), FSlots.end(), [](auto& s) {
    return s.second.Ownership == TCursorOwnership::Owned && s.second.Handle;
  }));
}

void TScreen::SetCurrentCursor(int ASlot) {
  if (ASlot == FCurrentCursor)
    return;
  FCurrentCursor = ASlot;
  // Back to 0 the arrow shows until the mouse moves and the window under it
  // chooses its own.
  ::SetCursor(Cursor(ASlot));
}

TScreen* Screen() {
  if (!GScreen)
    GScreen = new TScreen();
  return GScreen;
}

THourGlassScope::THourGlassScope() : FSaved(Screen()->CurrentCursor()) {
  Screen()->SetCurrentCursor(kHourGlassCursor);
}

THourGlassScope::~THourGlassScope() {
  // The screen may have been released inside the scope (the module
  // unloading); nothing is left to restore then.
  if (GScreen)
    GScreen->SetCurrentCursor(FSaved);
}
