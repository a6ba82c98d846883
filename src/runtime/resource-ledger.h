#pragma once

#include <cstddef>
#include <cstdint>

// Every system resource the framework takes (windows, window classes,
// timers, hooks, GDI objects, cursors, library handles) is entered here when
// taken and struck out when given back, so a test can show that freeing a
// component, or unloading the plug-in, leaves nothing behind.
enum class TResourceKind {
  Window,
  WindowClass,
  Timer,
  Hook,
  GdiObject,
  DeviceContext,
  Cursor,
  Icon,
  Library,
  Menu,
  ImageList,
  Count
};

class TResourceLedger {
public:
  // Enter one resource of the kind, named by its handle or atom.
  static void Take(TResourceKind AKind, uintptr_t AHandle);
  // Strike it out; a handle the ledger does not hold is ignored.
  static void Give(TResourceKind AKind, uintptr_t AHandle);
  static size_t Count(TResourceKind AKind);
  static size_t Total();
};

// Helpers for the common case of a handle typed as a pointer.
template <typename THandle> void LedgerTake(TResourceKind AKind, THandle AHandle) {
  TResourceLedger::Take(AKind, reinterpret_cast<uintptr_t>(AHandle));
}
template <typename THandle> void LedgerGive(TResourceKind AKind, THandle AHandle) {
  TResourceLedger::Give(AKind, reinterpret_cast<uintptr_t>(AHandle));
}
