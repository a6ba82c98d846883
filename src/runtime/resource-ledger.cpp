#include "resource-ledger.h"
#include "unit-steps.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace {

// Never destroyed: static objects of the module and of the program may give
// their handles back while the others are already gone.
std::recursive_mutex& LedgerLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

std::set<std::pair<int, uintptr_t>>& Entries() {
  static auto* entries = new std::set<std::pair<int, uintptr_t>>;
  return *entries;
}

std::map<std::pair<std::wstring, std::wstring>, size_t>& RegistrationEntries() {
  static auto* entries = new std::map<std::pair<std::wstring, std::wstring>, size_t>;
  return *entries;
}

constexpr const wchar_t* kKindNames[] = {
    L"Window", L"WindowClass", L"Timer",   L"Hook", L"GdiObject", L"DeviceContext",
    L"Cursor", L"Icon",        L"Library", L"Menu", L"ImageList",
};
static_assert(std::size(kKindNames) == size_t(TResourceKind::Count));

HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

// The program's export is looked up once: the program hosting a module
// does not change while the module lives.
THostLedgerRecord HostLedger() {
  static const THostLedgerRecord record = [] {
    const HMODULE program = GetModuleHandleW(nullptr);
    return program ? reinterpret_cast<THostLedgerRecord>(
                         reinterpret_cast<void (*)()>(GetProcAddress(program, kHostLedgerExport)))
                   : nullptr;
  }();
  return record;
}

// Called with the ledger's lock held, so the host hears the entries in the
// order they were made.
void Forward(const wchar_t* AKind, const wchar_t* AName, bool ATaken) {
  const THostLedgerRecord record = HostLedger();
  if (!record)
    return;
  static const HMODULE module = OwnModule();
  record(module, AKind, AName, ATaken ? 1 : 0);
}

void ForwardHandle(TResourceKind AKind, uintptr_t AHandle, bool ATaken) {
  if (!HostLedger())
    return;
  // "0x" and the handle's hexadecimal digits, without leading zeros.
  wchar_t digits[2 * sizeof(uintptr_t)];
  size_t count = 0;
  uintptr_t rest = AHandle;
  do {
    digits[count++] = L"0123456789ABCDEF"[rest & 0xF];
    rest >>= 4;
  } while (rest != 0);
  wchar_t name[2 + 2 * sizeof(uintptr_t) + 1] = L"0x";
  for (size_t i = 0; i < count; ++i)
    name[2 + i] = digits[count - 1 - i];
  name[2 + count] = L'\0';
  Forward(ResourceKindName(AKind), name, ATaken);
}

} // namespace

const wchar_t* ResourceKindName(TResourceKind AKind) {
  const size_t index = size_t(AKind);
  return index < std::size(kKindNames) ? kKindNames[index] : L"";
}

void TResourceLedger::Take(TResourceKind AKind, uintptr_t AHandle) {
  std::lock_guard guard(LedgerLock());
  if (Entries().emplace(int(AKind), AHandle).second)
    ForwardHandle(AKind, AHandle, true);
}

void TResourceLedger::Give(TResourceKind AKind, uintptr_t AHandle) {
  std::lock_guard guard(LedgerLock());
  if (Entries().erase({int(AKind), AHandle}) != 0)
    ForwardHandle(AKind, AHandle, false);
}

size_t TResourceLedger::Count(TResourceKind AKind) {
  std::lock_guard guard(LedgerLock());
  size_t n = 0;
  for (const auto& entry : Entries())
    if (entry.first == int(AKind))
      ++n;
  return n;
}

size_t TResourceLedger::Total() {
  std::lock_guard guard(LedgerLock());
  return Entries().size();
}

size_t TResourceLedger::Registrations() {
  std::lock_guard guard(LedgerLock());
  size_t n = 0;
  for (const auto& entry : RegistrationEntries())
    n += entry.second;
  return n;
}

void LedgerRegistration(const wchar_t* AKind, const wchar_t* AName, bool ATaken) {
  try {
    std::lock_guard guard(LedgerLock());
    const std::pair<std::wstring, std::wstring> key(AKind ? AKind : L"", AName ? AName : L"");
    auto& entries = RegistrationEntries();
    if (ATaken) {
      ++entries[key];
    } else {
      const auto found = entries.find(key);
      if (found == entries.end())
        return; // nothing of that name was registered: nothing to take back
      if (--found->second == 0)
        entries.erase(found);
    }
    Forward(key.first.c_str(), key.second.c_str(), ATaken);
  } catch (...) {
    // The ledger only watches; a registration goes on without its entry.
  }
}

void LedgerStep(const wchar_t* AName, bool AStartup) {
  try {
    std::lock_guard guard(LedgerLock());
    Forward(L"Step", AName ? AName : L"", AStartup);
  } catch (...) {
  }
}
