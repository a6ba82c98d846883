#pragma once

#include "rtl-exceptions.h"

#include <windows.h>

#include <array>
#include <vector>

// Thread hooks of the loading thread, shared by the parts of the library:
// one system hook per kind, installed with its first procedure and removed
// with its last. Every installed hook calls all its procedures, newest
// first, and then always passes the event on to the next hook.
enum class TgxHookType { htKeyboard, htMouse, htWndProc, htGetMessage, htCBT };
constexpr size_t kgxHookTypeCount = 5;

// A hook procedure may set AHookResult to a non-zero value to make that the
// event's answer (1 discards a mouse message, for instance).
using TgxHookProc = void (*)(int ACode, WPARAM AWParam, LPARAM ALParam, LRESULT& AHookResult);

// The system refused to install a hook; the procedure that asked for it was
// not added.
class EgxHookError : public Exception {
public:
  using Exception::Exception;
};

// How a hook kind is installed: SetWindowsHookExW for the thread by default.
// Tests put in an installer that refuses, to see the refusal reported.
using TgxHookInstaller = HHOOK (*)(int AIdHook, HOOKPROC AProc, DWORD AThreadId);
// Answers the installer it replaces; nullptr puts the system's back.
TgxHookInstaller SetHookInstaller(TgxHookInstaller AInstaller);

class TgxSystemHook {
public:
  explicit TgxSystemHook(TgxHookType AHookType);
  TgxSystemHook(const TgxSystemHook&) = delete;
  TgxSystemHook& operator=(const TgxSystemHook&) = delete;
  ~TgxSystemHook();

  // Raises EgxHookError when the first procedure's hook cannot be
  // installed; the list stays as it was.
  void Add(TgxHookProc AProc);
  void Remove(TgxHookProc AProc);
  // Drops every procedure and takes the system hook away.
  void Reset();
  LRESULT Dispatch(int ACode, WPARAM AWParam, LPARAM ALParam);

  HHOOK Handle() const { return FHandle; }
  TgxHookType HookType() const { return FHookType; }
  size_t Count() const { return FHooks.size(); }

private:
  void Install();
  void Uninstall();

  HHOOK FHandle = nullptr;
  TgxHookType FHookType;
  std::vector<TgxHookProc> FHooks;
};

class TgxHookController {
public:
  TgxHookController();
  TgxHookController(const TgxHookController&) = delete;
  TgxHookController& operator=(const TgxHookController&) = delete;
  // Hooks still installed are taken away first, so an unload never leaves a
  // hook calling into a module that is gone.
  ~TgxHookController();

  void SetHook(TgxHookType AHookType, TgxHookProc AHookProc);
  void ReleaseHook(TgxHookProc AHookProc);
  TgxSystemHook& Hook(TgxHookType AHookType) {
    return *FSystemHooks[static_cast<size_t>(AHookType)];
  }

private:
  std::array<TgxSystemHook*, kgxHookTypeCount> FSystemHooks{};
};

// The process-wide controller between the hook unit's load and unload;
// nullptr outside.
TgxHookController* HookController();
void AddThreadHookProc(TgxHookType AHookType, TgxHookProc AHookProc);
void RemoveThreadHookProc(TgxHookProc AHookProc);
