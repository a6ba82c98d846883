#include "gx-hooks.h"
#include "edit-controls-units.h"

#include "application.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "unit-steps.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kHookIds[kgxHookTypeCount] = {WH_KEYBOARD, WH_MOUSE, WH_CALLWNDPROC, WH_GETMESSAGE,
                                            WH_CBT};

TgxHookController* GController = nullptr;

HHOOK SystemHookInstaller(int AIdHook, HOOKPROC AProc, DWORD AThreadId) {
  return SetWindowsHookExW(AIdHook, AProc, nullptr, AThreadId);
}
TgxHookInstaller GInstaller = SystemHookInstaller;

const char* const kHookKindNames[kgxHookTypeCount] = {"keyboard", "mouse", "window-procedure",
                                                      "get-message", "CBT"};

[[noreturn]] void HookAssertion(int ALine) {
  throw EAssertionFailed("Assertion failure (gxHooks, line " + std::to_string(ALine) + ")");
}

template <TgxHookType AType> LRESULT CALLBACK HookEntry(int ACode, WPARAM AWParam, LPARAM ALParam) {
  if (!GController)
    return CallNextHookEx(nullptr, ACode, AWParam, ALParam);
  return GController->Hook(AType).Dispatch(ACode, AWParam, ALParam);
}

constexpr HOOKPROC kEntries[kgxHookTypeCount] = {
    HookEntry<TgxHookType::htKeyboard>, HookEntry<TgxHookType::htMouse>,
    HookEntry<TgxHookType::htWndProc>, HookEntry<TgxHookType::htGetMessage>,
    HookEntry<TgxHookType::htCBT>};

} // namespace

TgxSystemHook::TgxSystemHook(TgxHookType AHookType) : FHookType(AHookType) {}

TgxSystemHook::~TgxSystemHook() {
  // A kind that still has procedures is a caller's fault, but the hook
  // must not outlive its module, so it is taken away all the same.
  Reset();
}

void TgxSystemHook::Add(TgxHookProc AProc) {
  if (std::find(FHooks.begin(), FHooks.end(), AProc) != FHooks.end())
    HookAssertion(161);
  if (FHooks.empty())
    Install();
  FHooks.push_back(AProc);
}

void TgxSystemHook::Remove(TgxHookProc AProc) {
  auto it = std::find(FHooks.begin(), FHooks.end(), AProc);
  if (it == FHooks.end())
    return;
  FHooks.erase(it);
  if (FHooks.empty())
    Uninstall();
}

void TgxSystemHook::Reset() {
  FHooks.clear();
  if (FHandle)
    Uninstall();
}

void TgxSystemHook::Install() {
  if (FHandle)
    HookAssertion(175);
  const auto index = static_cast<size_t>(FHookType);
  HHOOK handle = GInstaller(kHookIds[index], kEntries[index], GetCurrentThreadId());
  if (!handle) {
    // A kind without its system hook would take procedures that never run:
    // the caller hears of it at once.
    const DWORD error = GetLastError();
    throw EgxHookError(std::string("Cannot install the ") + kHookKindNames[index] +
                       " hook of the thread (system error " + std::to_string(error) + ")");
  }
  FHandle = handle;
  LedgerTake(TResourceKind::Hook, FHandle);
}

void TgxSystemHook::Uninstall() {
  if (!FHandle)
    HookAssertion(181);
  UnhookWindowsHookEx(FHandle);
  LedgerGive(TResourceKind::Hook, FHandle);
  FHandle = nullptr;
}

LRESULT TgxSystemHook::Dispatch(int ACode, WPARAM AWParam, LPARAM ALParam) {
  LRESULT result = 0;
  // A procedure may remove itself while it runs: walk a copy.
  const std::vector<TgxHookProc> procs(FHooks.rbegin(), FHooks.rend());
  for (TgxHookProc proc : procs) {
    try {
      proc(ACode, AWParam, ALParam, result);
    } catch (...) {
      HandleCurrentExceptionQuietly();
    }
  }
  const LRESULT next = CallNextHookEx(FHandle, ACode, AWParam, ALParam);
  return result != 0 ? result : next;
}

TgxHookInstaller SetHookInstaller(TgxHookInstaller AInstaller) {
  TgxHookInstaller previous = GInstaller;
  GInstaller = AInstaller ? AInstaller : SystemHookInstaller;
  return previous;
}

TgxHookController::TgxHookController() {
  for (size_t i = 0; i < kgxHookTypeCount; ++i)
    FSystemHooks[i] = new TgxSystemHook(static_cast<TgxHookType>(i));
}

TgxHookController::~TgxHookController() {
  for (auto*& hook : FSystemHooks) {
    delete hook;
    hook = nullptr;
  }
}

void TgxHookController::SetHook(TgxHookType AHookType, TgxHookProc AHookProc) {
  Hook(AHookType).Add(AHookProc);
}

void TgxHookController::ReleaseHook(TgxHookProc AHookProc) {
  for (auto* hook : FSystemHooks)
    hook->Remove(AHookProc);
}

TgxHookController* HookController() {
  return GController;
}

void AddThreadHookProc(TgxHookType AHookType, TgxHookProc AHookProc) {
  if (GController)
    GController->SetHook(AHookType, AHookProc);
}

void RemoveThreadHookProc(TgxHookProc AHookProc) {
  if (GController)
    GController->ReleaseHook(AHookProc);
}

void GxHooksStartup() {
  try {
    if (!GController) {
      GController = new TgxHookController();
      LedgerRegistration(L"HookController", L"gxHooks", true);
    }
  } catch (...) {
  }
}

void GxHooksShutdown() {
  try {
    if (GController) {
      TgxHookController* controller = GController;
      GController = nullptr;
      delete controller;
      LedgerRegistration(L"HookController", L"gxHooks", false);
    }
  } catch (...) {
  }
}
