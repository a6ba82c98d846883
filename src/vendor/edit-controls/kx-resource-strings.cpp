#include "kx-resource-strings.h"
#include "edit-controls-units.h"

#include "unit-steps.h"

#include <cwchar>

const wchar_t* const kkxDataStringsProduct = L"Edit Controls Data";
const wchar_t* const kkxEditStringsProduct = L"Edit Controls Editors";
const wchar_t* const kkxFilterStringsProduct = L"Edit Controls Filter";
const wchar_t* const kkxFilterControlStringsProduct = L"Edit Controls Filter Control";

namespace {

struct TStringSet {
  const TkxResourceStringEntry* Entries;
  const size_t* Count;
};

const TStringSet kSets[] = {{kxDataStrings, &kxDataStringsCount},
                            {kxEditStrings, &kxEditStringsCount},
                            {kxFilterStrings, &kxFilterStringsCount},
                            {kxFilterControlStrings, &kxFilterControlStringsCount}};

void AddAll(TgxProductResourceStrings& AProduct, const TkxResourceStringEntry* AEntries,
            size_t ACount) {
  for (size_t i = 0; i < ACount; ++i)
    AProduct.Add(AEntries[i].Name, &AEntries[i].String);
}

void AddDataStrings(TgxProductResourceStrings& AProduct) {
  AddAll(AProduct, kxDataStrings, kxDataStringsCount);
}
void AddEditStrings(TgxProductResourceStrings& AProduct) {
  AddAll(AProduct, kxEditStrings, kxEditStringsCount);
}
void AddFilterStrings(TgxProductResourceStrings& AProduct) {
  AddAll(AProduct, kxFilterStrings, kxFilterStringsCount);
}
void AddFilterControlStrings(TgxProductResourceStrings& AProduct) {
  AddAll(AProduct, kxFilterControlStrings, kxFilterControlStringsCount);
}

void RegisterProduct(const wchar_t* ATitle, TgxAddResourceStringsProcedure AProc) {
  try {
    GetResourceStringsRepository()->RegisterProduct(ATitle, AProc);
    LedgerRegistration(L"ResourceStrings", ATitle, true);
  } catch (...) {
  }
}

void UnregisterProduct(const wchar_t* ATitle) {
  try {
    GetResourceStringsRepository()->UnRegisterProduct(ATitle);
    LedgerRegistration(L"ResourceStrings", ATitle, false);
  } catch (...) {
  }
}

} // namespace

std::wstring KxResString(const wchar_t* AName) {
  for (const auto& set : kSets)
    for (size_t i = 0; i < *set.Count; ++i)
      if (std::wcscmp(set.Entries[i].Name, AName) == 0)
        return LoadTranslatedResString(set.Entries[i].String);
  return {};
}

void KxDataStringsStartup() {
  RegisterProduct(kkxDataStringsProduct, AddDataStrings);
}
void KxDataStringsShutdown() {
  UnregisterProduct(kkxDataStringsProduct);
}
void KxEditStringsStartup() {
  RegisterProduct(kkxEditStringsProduct, AddEditStrings);
}
void KxEditStringsShutdown() {
  UnregisterProduct(kkxEditStringsProduct);
}
void KxFilterStringsStartup() {
  RegisterProduct(kkxFilterStringsProduct, AddFilterStrings);
}
void KxFilterStringsShutdown() {
  UnregisterProduct(kkxFilterStringsProduct);
}
void KxFilterControlStringsStartup() {
  RegisterProduct(kkxFilterControlStringsProduct, AddFilterControlStrings);
}
void KxFilterControlStringsShutdown() {
  UnregisterProduct(kkxFilterControlStringsProduct);
}
