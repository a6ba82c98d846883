#include "resource-ledger.h"

#include <mutex>
#include <set>
#include <utility>

namespace {

std::mutex& LedgerLock() {
  static std::mutex lock;
  return lock;
}

std::set<std::pair<int, uintptr_t>>& Entries() {
  static std::set<std::pair<int, uintptr_t>> entries;
  return entries;
}

} // namespace

void TResourceLedger::Take(TResourceKind AKind, uintptr_t AHandle) {
  std::lock_guard guard(LedgerLock());
  Entries().emplace(int(AKind), AHandle);
}

void TResourceLedger::Give(TResourceKind AKind, uintptr_t AHandle) {
  std::lock_guard guard(LedgerLock());
  Entries().erase({int(AKind), AHandle});
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
