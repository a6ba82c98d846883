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
