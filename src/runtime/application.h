#pragma once

#include "classes.h"
#include "rtl-exceptions.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The module this framework is linked into (the plug-in DLL, or a test
// program): window classes and resources are registered under it.
HINSTANCE ModuleInstance();

// ---------------------------------------------------------------------------
// Hidden windows

// A hidden top-level window of the framework's one hidden-window class that
// hands every message to its handler. Timers, the application's
// synchronisation wake-up and controllers that only need a message target
// use one. The class is registered with the first window and unregistered
// with the last, so nothing is left behind at unload. An exception the
// handler raises goes to the application's exception handler; the message
// then answers 0.
class THiddenWindow {
public:
  // Answers whether it handled the message; AResult is its result then.
  using THandler = std::function<bool(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult)>;

  explicit THiddenWindow(THandler AHandler);
  THiddenWindow(const THiddenWindow&) = delete;
  THiddenWindow& operator=(const THiddenWindow&) = delete;
  ~THiddenWindow();

  HWND Handle() const { return FHandle; }
  static size_t LiveCount();

private:
  static LRESULT CALLBACK WindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam);
  HWND FHandle = nullptr;
  THandler FHandler;
};

// ---------------------------------------------------------------------------
// Calls handed to the loading thread

// The private message on which the loading thread runs the queued calls.
constexpr UINT CM_SYNCHRONIZE = 0x8066;

// Worker threads hand calls to the thread that created the application (the
// loading thread) through one queue. After queuing, they fire the wake-up
// handler, which must make that thread call `CheckSynchronize` soon; the
// application's own handler posts CM_SYNCHRONIZE to its hidden window, and a
// controller may install another (keeping the previous one to put back).
using TWakeMainThread = std::function<void()>;
// Installs AHandler (may be empty: nobody is woken); answers the previous one.
TWakeMainThread SetWakeMainThread(TWakeMainThread AHandler);

// Queues ACall for the loading thread and returns at once; on the loading
// thread itself it runs at once. An exception it raises goes to the
// application's exception handler.
void QueueMainThreadCall(std::function<void()> ACall);
// Runs ACall on the loading thread and waits for it, at most ATimeoutMs;
// an exception it raised is raised again here. A call not begun in time is
// taken back and EThreadTimeout raised. On the loading thread it runs at once.
void SynchronizeMainThreadCall(std::function<void()> ACall, DWORD ATimeoutMs = 30000);
// Runs the queued calls on the loading thread (nothing on another thread);
// answers whether any ran.
bool CheckSynchronize();
bool IsMainThread();
// Makes the calling thread the loading thread without making the
// application object (a controller with its own wake-up window needs no
// other).
void BindMainThread();

class EThreadTimeout : public Exception {
  using Exception::Exception;
};

// ---------------------------------------------------------------------------
// The application

// The process-wide application object of this module. Inside a host it owns
// no main window of its own: the host's, or a form's, is named as the main
// window, and hooks on its messages are chained into its window procedure.
class TApplication : public TComponent {
public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;
  std::wstring ClassName() const override { return L"TApplication"; }

  // The hidden window on which CM_SYNCHRONIZE runs the call queue.
  HWND Handle() const { return FWindow.Handle(); }

  HWND MainWindow() const { return FMainWindow; }
  // Moves the hooks' chaining to AWindow (nullptr: none).
  void SetMainWindow(HWND AWindow);

  // Handles one pending message; false when there was none. WM_QUIT marks
  // the application terminated and is posted again for the host's own loop.
  bool ProcessMessage();
  // Handles every pending message, stopping at WM_QUIT.
  void ProcessMessages();
  // Handles one message, waiting for one when none is pending.
  void HandleMessage();

  // Marks the application as ending; modal loops end. A plug-in never ends
  // its host's loop, so nothing is posted.
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // True when the foreground window belongs to this process.
  bool Active() const;

  // Hands an exception to OnException, or shows it in an error box.
  void HandleException(const std::exception& AException);
  // For use inside a catch block: hands on whatever was caught.
  void HandleCurrentException();
  void ShowException(const std::exception& AException);

  // Hooks on the main window's messages, called in the order they were
  // added; the first that answers true handles the message (with its
  // AResult), otherwise the window's own procedure does. A hook may remove
  // itself or others while it runs. Answers a key for `UnhookMainWindow`.
  using TWindowHook =
      std::function<bool(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult)>;
  int HookMainWindow(TWindowHook AHook);
  void UnhookMainWindow(int AKey);

  // Asks OnHelp to show the help of AContext (HELP_CONTEXT); false when
  // nobody handled it or AContext is 0.
  bool HelpContext(int AContext);

  std::wstring Title = L"Orvandel";
  std::function<void(TApplication* ASender, const std::exception& AException)> OnException;
  // Every message ProcessMessage takes sees this first; AHandled stops it.
  std::function<void(MSG& AMsg, bool& AHandled)> OnMessage;
  // Answers whether the help was shown.
  std::function<bool(UINT ACommand, uintptr_t AData)> OnHelp;

private:
  static LRESULT CALLBACK MainWindowProc(HWND AWnd, UINT AMsg, WPARAM AWParam, LPARAM ALParam);
  void ChainMainWindow();
  void UnchainMainWindow();
  bool HandleWindowMessage(UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult);

  THiddenWindow FWindow;
  HWND FMainWindow = nullptr;
  WNDPROC FMainPrevProc = nullptr;
  std::vector<std::pair<int, TWindowHook>> FHooks;
  int FNextHookKey = 1;
  bool FTerminated = false;
  TWakeMainThread FPreviousWake;
};

// The application object, made on first use on the calling (loading) thread.
TApplication* Application();
// The application object if it exists, else nullptr.
TApplication* ApplicationIfAny();
// Frees the application and the screen with every cursor the module owns:
// the module's unload work.
void ReleaseApplication();
// Hands the exception being caught to the application (used by every
// window procedure of the framework, so none lets an exception through).
void HandleCurrentExceptionQuietly() noexcept;

// ---------------------------------------------------------------------------
// The screen's cursors

// Whether a slot's cursor is the module's own (destroyed when replaced or
// released) or a shared one the system keeps (never destroyed).
enum class TCursorOwnership { Owned, Shared };

class TScreen {
public:
  TScreen() = default;
  TScreen(const TScreen&) = delete;
  TScreen& operator=(const TScreen&) = delete;
  ~TScreen();

  // The slot's cursor. The standard slots (0 the default arrow, -2 to -22
  // the system's arrow, cross, I-beam, sizing, wait, no, help, hand and
  // move cursors) answer shared system cursors made on first use; -1 answers
  // no cursor, and any other slot never set the default arrow.
  HCURSOR Cursor(int ASlot);
  bool HasCursor(int ASlot) const;
  // Puts ACursor into the slot, destroying an owned cursor it held.
  void SetCursor(int ASlot, HCURSOR ACursor, TCursorOwnership AOwnership);
  // Loads the named cursor resource of AModule as an owned cursor; answers
  // false (and leaves the slot) when the module has none.
  bool LoadModuleCursor(int ASlot, HINSTANCE AModule, LPCWSTR AName);
  // Puts a shared system cursor (IDC_HAND, ...) into the slot.
  bool LoadSystemCursor(int ASlot, LPCWSTR AId);
  // Destroys the owned cursors and forgets every slot.
  void ReleaseCursors();

  size_t OwnedCount() const;

  // The slot whose cursor the module shows over all its windows, ahead of
  // what each control asks for; 0 lets the controls choose. A slot other
  // than 0 shows at once.
  int CurrentCursor() const { return FCurrentCursor; }
  void SetCurrentCursor(int ASlot);

private:
  struct TSlot {
    HCURSOR Handle;
    TCursorOwnership Ownership;
  };
  void Drop(TSlot& ASlot);
  std::map<int, TSlot> FSlots;
  int FCurrentCursor = 0;
};

TScreen* Screen();

// The hourglass slot.
constexpr int kHourGlassCursor = -11;

// Makes the hourglass the screen's current cursor for its lifetime and puts
// back the cursor that was current before, also when an exception ends the
// scope; scopes nest.
class THourGlassScope {
public:
  THourGlassScope();
  THourGlassScope(const THourGlassScope&) = delete;
  THourGlassScope& operator=(const THourGlassScope&) = delete;
  ~THourGlassScope();

private:
  int FSaved;
};
