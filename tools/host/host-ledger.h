#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the modules a hosting program loads tell it of their resources: the
// program exports the ledger the framework's modules look for
// (resource-ledger.h) and keeps what it hears, newest last, for tests to
// read back. It also refuses optional system libraries to its modules on a
// test's request.
struct THostLedgerEntry {
  HMODULE Module;
  std::wstring Kind; // "Step", "Window", "GdiObject", a registration kind ...
  std::wstring Name; // a handle as "0x..." or a registered name
  bool Taken;
};

class THostLedger {
public:
  // The entries of AModule (every module's when nullptr), in order.
  static std::vector<THostLedgerEntry> Entries(HMODULE AModule = nullptr);
  static void Clear();
  // The ledger keeps only the newest this many entries.
  static constexpr size_t kCapacity = 65536;
};

class THostSeams {
public:
  static void RefuseSystemLibrary(const std::wstring& AName);
  static void AllowSystemLibrary(const std::wstring& AName);
};
