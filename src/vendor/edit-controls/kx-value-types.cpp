#include "kx-value-types.h"
#include "edit-controls-units.h"

#include "unit-steps.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>

namespace {
// The variant types of the run time's own kinds.
constexpr unsigned short kVarUnicodeString = 0x0102;
constexpr unsigned short kVarAnsiString = 0x0100;
constexpr unsigned short kVarFMTBcd = 0x0110;
constexpr unsigned short kVarSQLTimeStamp = 0x0111;

TkxValueTypeClassList* GList = nullptr;
bool GFinalized = false;
} // namespace

const TkxValueTypeClass kkxValueTypes[15] = {
    {L"TkxStringValueType", L"String", 4, kVarUnicodeString},
    {L"TkxWideStringValueType", L"WideString", 4, VT_BSTR},
    {L"TkxSmallintValueType", L"Smallint", 2, VT_I2},
    {L"TkxIntegerValueType", L"Integer", 4, VT_I4},
    {L"TkxWordValueType", L"Word", 2, VT_UI2},
    {L"TkxBooleanValueType", L"Boolean", 1, VT_BOOL},
    {L"TkxFloatValueType", L"Float", 8, VT_R8},
    {L"TkxCurrencyValueType", L"Currency", 8, VT_CY},
    {L"TkxDateTimeValueType", L"DateTime", 8, VT_DATE},
    {L"TkxLargeIntValueType", L"LargeInt", 8, VT_I8},
    {L"TkxFMTBcdValueType", L"FMTBcd", 34, kVarFMTBcd},
    {L"TkxSQLTimeStampValueType", L"SQLTimeStamp", 16, kVarSQLTimeStamp},
    {L"TkxVariantValueType", L"Variant", 4, VT_VARIANT},
    {L"TkxObjectValueType", L"Object", 4, VT_I4},
    {L"TkxBLOBValueType", L"BLOB", 4, kVarAnsiString},
};

void TkxValueTypeClassList::RegisterItem(const TkxValueTypeClass* AItem) {
  if (AItem && std::find(FItems.begin(), FItems.end(), AItem) == FItems.end())
    FItems.push_back(AItem);
}

void TkxValueTypeClassList::UnregisterItem(const TkxValueTypeClass* AItem) {
  auto it = std::find(FItems.begin(), FItems.end(), AItem);
  if (it != FItems.end())
    FItems.erase(it);
}

const TkxValueTypeClass* TkxValueTypeClassList::ItemByCaption(const std::wstring& ACaption) const {
  for (const auto* item : FItems)
    if (ACaption == item->Caption)
      return item;
  return nullptr;
}

TkxValueTypeClassList* ValueTypeClassList() {
  if (!GList && !GFinalized)
    GList = new TkxValueTypeClassList();
  return GList;
}

void KxDataStorageStartup() {
  try {
    GFinalized = false;
    for (const auto& type : kkxValueTypes) {
      ValueTypeClassList()->RegisterItem(&type);
      LedgerRegistration(L"ValueType", type.Caption, true);
    }
  } catch (...) {
  }
}

void KxDataStorageShutdown() {
  try {
    if (GList)
      for (size_t i = std::size(kkxValueTypes); i-- > 0;) {
        GList->UnregisterItem(&kkxValueTypes[i]);
        LedgerRegistration(L"ValueType", kkxValueTypes[i].Caption, false);
      }
    delete GList;
    GList = nullptr;
    GFinalized = true;
  } catch (...) {
  }
}
