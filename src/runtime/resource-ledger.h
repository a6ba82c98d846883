#pragma once

#include <cstddef>
#include <cstdint>

// Every system resource the framework takes (windows, window classes,
// timers, hooks, GDI objects, cursors, library handles) is entered here when
// taken and struck out when given back, so a test can show that freeing a
// component, or unloading the plug-in, leaves nothing behind.
//
// When the program that hosts this module exports `kHostLedgerExport`, each
// entry and each striking-out is also handed to it, in the order they
// happen, together with the registrations and unit steps of the module's
// loading (unit-steps.h). A host that lacks the export hears nothing.
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

// The kind's word in the host's ledger ("Window", "GdiObject", ...).
const wchar_t* ResourceKindName(TResourceKind AKind);

// The host's ledger: the module handing the entry over, the kind word, the
// name (a handle as "0x" and hexadecimal digits, else a registered name) and
// whether it was taken (non-zero) or given back.
using THostLedgerRecord = void(__stdcall*)(void* AModule, const wchar_t* AKind,
                                           const wchar_t* AName, int32_t ATaken);
inline constexpr char kHostLedgerExport[] = "HostLedger_Record";

class TResourceLedger {
public:
  // Enter one resource of the kind, named by its handle or atom.
  static void Take(TResourceKind AKind, uintptr_t AHandle);
  // Strike it out; a handle the ledger does not hold is ignored.
  static void Give(TResourceKind AKind, uintptr_t AHandle);
  static size_t Count(TResourceKind AKind);
  static size_t Total();
  // Registrations made and not yet taken back (LedgerRegistration).
  static size_t Registrations();
};

// Helpers for the common case of a handle typed as a pointer.
template <typename THandle> void LedgerTake(TResourceKind AKind, THandle AHandle) {
  TResourceLedger::Take(AKind, reinterpret_cast<uintptr_t>(AHandle));
}
template <typename THandle> void LedgerGive(TResourceKind AKind, THandle AHandle) {
  TResourceLedger::Give(AKind, reinterpret_cast<uintptr_t>(AHandle));
}
