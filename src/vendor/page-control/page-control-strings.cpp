#include "page-control-strings.h"
#include "page-control-units.h"

#include "unit-steps.h"

#include <cwchar>

const wchar_t* const kkxPCStringsProduct = L"Page Control";

namespace {

void AddPCStrings(TgxProductResourceStrings& AProduct) {
  for (size_t i = 0; i < kxPCStringsCount; ++i)
    AProduct.Add(kxPCStrings[i].Name, &kxPCStrings[i].String);
}

} // namespace

std::wstring KxPCResString(const wchar_t* AName) {
  for (size_t i = 0; i < kxPCStringsCount; ++i)
    if (std::wcscmp(kxPCStrings[i].Name, AName) == 0)
      return LoadTranslatedResString(kxPCStrings[i].String);
  return {};
}

void KxPCStringsStartup() {
  try {
    GetResourceStringsRepository()->RegisterProduct(kkxPCStringsProduct, AddPCStrings);
    LedgerRegistration(L"ResourceStrings", kkxPCStringsProduct, true);
  } catch (...) {
  }
}

void KxPCStringsShutdown() {
  try {
    GetResourceStringsRepository()->UnRegisterProduct(kkxPCStringsProduct);
    LedgerRegistration(L"ResourceStrings", kkxPCStringsProduct, false);
  } catch (...) {
  }
}
