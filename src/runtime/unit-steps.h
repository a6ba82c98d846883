#pragma once

// Interface stable.

// The module's start-up and shut-down work, unit by unit. Each unit of the
// control libraries contributes one step: its start-up runs once on the
// thread that loads the plug-in, its shut-down once when the plug-in is
// unloaded, the shut-downs in exact reverse order of the start-ups. Neither
// routine may raise: a unit that cannot do its work leaves it undone.
struct TUnitStep {
  const wchar_t* Name;
  void (*Startup)();
  void (*Shutdown)();
};

// Notes a registration a unit makes or takes back (a class, a value type, a
// painter, a resource-string product, a screen cursor slot ...) in the
// resource ledger, by kind word and name, e.g.
// LedgerRegistration(L"ValueType", L"String", true).
void LedgerRegistration(const wchar_t* AKind, const wchar_t* AName, bool ATaken);

// Tells the host's ledger (resource-ledger.h) that a unit's start-up
// (AStartup) or shut-down ran, under the kind word "Step".
void LedgerStep(const wchar_t* AName, bool AStartup);

// Runs each step's start-up in table order, and the shut-downs in exact
// reverse; each run is noted with LedgerStep. A step whose routine raises
// is left as it stands and the others go on. Shut-down runs only the steps
// whose start-up ran.
class TUnitStepRunner {
public:
  TUnitStepRunner(const TUnitStep* ASteps, unsigned ACount) : FSteps(ASteps), FCount(ACount) {}
  void Startup();
  void Shutdown();
  bool Started() const { return FStarted != 0; }

private:
  const TUnitStep* FSteps;
  unsigned FCount;
  unsigned FStarted = 0;
};
