#include "inspector-rows.h"
#include "inspector-units.h"

#include "application.h"
#include "classes.h"
#include "graphics.h"
#include "resource-ledger.h"
#include "unit-steps.h"

#include <commctrl.h>

#include <memory>

const TgxInspectorCursor kgxInspectorCursors[5] = {{-1128, L"GXINSP_INSERT"},
                                                   {-1129, L"GXINSP_ADDCHILD"},
                                                   {-1130, L"GXINSP_ADD"},
                                                   {-1141, L"GXINSP_HIDE"},
                                                   {-1142, L"GXINSP_NODRAG"}};

const wchar_t* const kgxInspectorRowClasses[2] = {L"TgxInspectorTextRow",
                                                  L"TgxInspectorComplexRow"};

const wchar_t* const kgxInspectorTextRowClasses[16] = {
    L"TgxInspectorTextMaskRow",     L"TgxInspectorTextDateRow",      L"TgxInspectorTextCheckRow",
    L"TgxInspectorTextCalcRow",     L"TgxInspectorTextButtonRow",    L"TgxInspectorTextSpinRow",
    L"TgxInspectorTextPickRow",     L"TgxInspectorTextImageRow",     L"TgxInspectorTextTimeRow",
    L"TgxInspectorTextCurrencyRow", L"TgxInspectorTextHyperLinkRow", L"TgxInspectorTextBlobRow",
    L"TgxInspectorTextMRURow",      L"TgxInspectorTextPopupRow",     L"TgxInspectorTextMemoRow",
    L"TgxInspectorTextGraphicRow"};

namespace {

// The in-place editor library's string-table texts of a check box.
constexpr UINT kCheckTrueId = 38901;
constexpr UINT kCheckFalseId = 38902;

std::unique_ptr<TBitmap> GDragBitmap;
HIMAGELIST GImageList = nullptr;
bool GCursorLoaded[5] = {};
bool GRowClassRegistered[2] = {};
bool GTextRowClassRegistered[16] = {};
std::wstring GCheckTrue;
std::wstring GCheckFalse;

// The row classes are never made by name inside this module: each is
// entered by name and description only.
bool RegisterRowClass(const wchar_t* AName) {
  try {
    if (TClassRegistry::IsRegistered(AName))
      return false;
    TClassRegistry::RegisterDescription(AName, AName);
    LedgerRegistration(L"RowClass", AName, true);
    return true;
  } catch (...) {
    return false;
  }
}

void UnregisterRowClass(const wchar_t* AName, bool& ARegistered) {
  if (!ARegistered)
    return;
  ARegistered = false;
  try {
    TClassRegistry::Unregister(AName);
  } catch (...) {
  }
  LedgerRegistration(L"RowClass", AName, false);
}

std::wstring ModuleString(UINT AId, const wchar_t* ADefault) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(ModuleInstance(), AId, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : ADefault;
}

} // namespace

HIMAGELIST InspectorImageList() {
  return GImageList;
}

bool InspectorDragBitmapExists() {
  return GDragBitmap != nullptr;
}

const std::wstring& InspectorCheckTrueText() {
  return GCheckTrue;
}

const std::wstring& InspectorCheckFalseText() {
  return GCheckFalse;
}

void GxInspectorRowsStartup() {
  try {
    GDragBitmap = std::make_unique<TBitmap>();
    LedgerRegistration(L"DragBitmap", L"TgxInspectorRow", true);
    for (size_t i = 0; i < 2; ++i)
      GRowClassRegistered[i] = RegisterRowClass(kgxInspectorRowClasses[i]);
    GImageList = ImageList_Create(1, 1, ILC_COLOR, 1, 1);
    if (GImageList)
      LedgerTake(TResourceKind::ImageList, GImageList);
    for (size_t i = 0; i < 5; ++i) {
      const auto& cursor = kgxInspectorCursors[i];
      GCursorLoaded[i] =
          Screen()->LoadModuleCursor(cursor.Slot, ModuleInstance(), cursor.ResourceName);
      if (GCursorLoaded[i])
        LedgerRegistration(L"ScreenCursor", std::to_wstring(cursor.Slot).c_str(), true);
    }
  } catch (...) {
  }
}

void GxInspectorRowsShutdown() {
  try {
    for (size_t i = 5; i-- > 0;)
      if (GCursorLoaded[i]) {
        GCursorLoaded[i] = false;
        Screen()->SetCursor(kgxInspectorCursors[i].Slot, nullptr, TCursorOwnership::Shared);
        LedgerRegistration(L"ScreenCursor", std::to_wstring(kgxInspectorCursors[i].Slot).c_str(),
                           false);
      }
    if (GImageList) {
      ImageList_Destroy(GImageList);
      LedgerGive(TResourceKind::ImageList, GImageList);
      GImageList = nullptr;
    }
    for (size_t i = 2; i-- > 0;)
      UnregisterRowClass(kgxInspectorRowClasses[i], GRowClassRegistered[i]);
    if (GDragBitmap) {
      GDragBitmap.reset();
      LedgerRegistration(L"DragBitmap", L"TgxInspectorRow", false);
    }
  } catch (...) {
  }
}

void GxInspectorRowKindsStartup() {
  try {
    GCheckTrue = ModuleString(kCheckTrueId, L"True");
    GCheckFalse = ModuleString(kCheckFalseId, L"False");
    for (size_t i = 0; i < 16; ++i)
      GTextRowClassRegistered[i] = RegisterRowClass(kgxInspectorTextRowClasses[i]);
  } catch (...) {
  }
}

void GxInspectorRowKindsShutdown() {
  try {
    // The registrations go back with the module: a registry entry naming a
    // class of an unloaded module would outlive it.
    for (size_t i = 16; i-- > 0;)
      UnregisterRowClass(kgxInspectorTextRowClasses[i], GTextRowClassRegistered[i]);
    GCheckTrue.clear();
    GCheckFalse.clear();
  } catch (...) {
  }
}
