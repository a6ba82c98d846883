#pragma once

#include "host-ledger.h"
#include "unit-steps.h"

#include <windows.h>

#include <iterator>
#include <map>
#include <string>
#include <vector>

// Runs the steps' start-ups for its lifetime.
class TLoadedSteps {
public:
  TLoadedSteps(const TUnitStep* ASteps, unsigned ACount) : FRunner(ASteps, ACount) {
    FRunner.Startup();
  }
  ~TLoadedSteps() { Unload(); }
  void Unload() { FRunner.Shutdown(); }

private:
  TUnitStepRunner FRunner;
};

// What this program's own module told the host's ledger since the mark.
class TLedgerMark {
public:
  TLedgerMark() : FStart(THostLedger::Entries(GetModuleHandleW(nullptr)).size()) {}
  std::vector<THostLedgerEntry> Since() const {
    auto all = THostLedger::Entries(GetModuleHandleW(nullptr));
    return {all.begin() + static_cast<ptrdiff_t>(FStart), all.end()};
  }
  // The names of one kind's entries taken (or given back) since the mark.
  std::vector<std::wstring> Names(const std::wstring& AKind, bool ATaken) const {
    std::vector<std::wstring> names;
    for (const auto& e : Since())
      if (e.Kind == AKind && e.Taken == ATaken)
        names.push_back(e.Name);
    return names;
  }
  // Per kind, what was taken and not given back since the mark (steps
  // excepted); empty when everything is balanced.
  std::map<std::wstring, int> Unbalanced() const {
    std::map<std::wstring, int> balance;
    for (const auto& e : Since())
      if (e.Kind != L"Step")
        balance[e.Kind] += e.Taken ? 1 : -1;
    for (auto it = balance.begin(); it != balance.end();)
      it = it->second == 0 ? balance.erase(it) : std::next(it);
    return balance;
  }

private:
  size_t FStart;
};
