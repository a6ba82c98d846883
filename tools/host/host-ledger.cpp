// The hosting program's ledger and library refusals, exported by name so
// that a module finds them with GetProcAddress(GetModuleHandle(nullptr)).

#include "host-ledger.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <deque>
#include <mutex>
#include <set>

namespace {

// Never destroyed: modules still loaded while the program's own static
// objects go (at its exit) may report to the ledger until the very end.
std::mutex& GLedgerLock = *new std::mutex;
std::deque<THostLedgerEntry>& GEntries = *new std::deque<THostLedgerEntry>;

std::mutex& GRefusedLock = *new std::mutex;
std::set<std::wstring>& GRefused = *new std::set<std::wstring>;

// A library's name as its file name, lower case, without ".dll".
std::wstring LibraryKey(std::wstring AName) {
  const size_t slash = AName.find_last_of(L"\\/");
  if (slash != std::wstring::npos)
    AName.erase(0, slash + 1);
  std::transform(AName.begin(), AName.end(), AName.begin(),
                 [](wchar_t c) { return wchar_t(std::towlower(c)); });
  if (AName.size() > 4 && AName.compare(AName.size() - 4, 4, L".dll") == 0)
    AName.resize(AName.size() - 4);
  return AName;
}

} // namespace

std::vector<THostLedgerEntry> THostLedger::Entries(HMODULE AModule) {
  std::lock_guard guard(GLedgerLock);
  std::vector<THostLedgerEntry> result;
  for (const THostLedgerEntry& entry : GEntries)
    if (!AModule || entry.Module == AModule)
      result.push_back(entry);
  return result;
}

void THostLedger::Clear() {
  std::lock_guard guard(GLedgerLock);
  GEntries.clear();
}

void THostSeams::RefuseSystemLibrary(const std::wstring& AName) {
  std::lock_guard guard(GRefusedLock);
  GRefused.insert(LibraryKey(AName));
}

void THostSeams::AllowSystemLibrary(const std::wstring& AName) {
  std::lock_guard guard(GRefusedLock);
  GRefused.erase(LibraryKey(AName));
}

extern "C" __declspec(dllexport) void WINAPI
    HostLedger_Record(void* AModule, const wchar_t* AKind, const wchar_t* AName, int32_t ATaken) {
  try {
    std::lock_guard guard(GLedgerLock);
    if (GEntries.size() >= THostLedger::kCapacity)
      GEntries.pop_front();
    GEntries.push_back(
        {static_cast<HMODULE>(AModule), AKind ? AKind : L"", AName ? AName : L"", ATaken != 0});
  } catch (...) {
    // A module's call never brings an exception back with it.
  }
}

extern "C" __declspec(dllexport) int32_t WINAPI
    HostSeam_IsSystemLibraryRefused(const wchar_t* AName) {
  if (!AName)
    return 0;
  try {
    std::lock_guard guard(GRefusedLock);
    return GRefused.count(LibraryKey(AName)) != 0 ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
